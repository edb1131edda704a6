// The plane driver searches the smallest-rectangle frame on the read that
// weighs the estimate's two candidate planes, along the first candidate's
// frames, and takes the second candidate's extents from the measured rim
// alone when it can prove them: every result must be what the estimate and
// the frame built on reads of their own give, bit for bit.
#include "fitting/plane_candidate_sums.h"
#include "fitting/plane_fit.h"
#include "fitting/plane_frame_search.h"

#include "fit_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace
{

using namespace fit_samples;

constexpr int kPairs = 62;

struct Frames
{
    double first[kPairs][3];
    double second[kPairs][3];
};

// The frame (u, v) and its 61 turns from -90 to +90 degrees, all turned
// further by tilt about u (out of the plane) and by turn about the normal.
Frames TurnedFrames(const double n[3], double turn, double tilt)
{
    double u[3], v[3];
    Basis(n, u, v);
    Frames f;
    for (int r = 0; r < kPairs; ++r)
    {
        const double angle = turn + (r == 0 ? 0.0 : (-90.0 + 3.0 * (r - 1)) * kPi / 180.0);
        const double c = std::cos(angle), s = std::sin(angle);
        for (int k = 0; k < 3; ++k)
        {
            // v tilted about u by tilt: v cos + n sin.
            const double tiltedV = v[k] * std::cos(tilt) + n[k] * std::sin(tilt);
            f.first[r][k] = c * u[k] + s * tiltedV;
            f.second[r][k] = -s * u[k] + c * tiltedV;
        }
    }
    return f;
}

double Parting(const double a[3], const double b[3])
{
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

double SizeOf(const double v[3]) { return std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]); }

// A square region of side 2 * size about centre with noise across the
// plane, some records thrown far off it.
tFitPointQueue Square(std::mt19937& rng, const double centre[3], const double n[3], double size, int count,
                      int outliers)
{
    double u[3], v[3];
    Basis(n, u, v);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    tFitPointQueue q;
    for (int i = 0; i < count; ++i)
    {
        const double a = size * unit(rng), b = size * unit(rng), h = 1e-3 * size * unit(rng);
        double p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = centre[k] + a * u[k] + b * v[k] + h * n[k];
        q.push_back(Point(p, n));
    }
    AddOutliers(rng, q, outliers, 2.0 * size, 20.0 * size);
    return q;
}

} // namespace

TEST(PlaneEstimateFrame, FramesNearTheSearchedOnesTakeTheirExtentsFromTheRimOrSayTheyCannot)
{
    std::mt19937 rng(520);
    double n[3] = {0.3, -0.2, 0.93};
    Normalise(n);
    const double centre[3] = {1800.0, -650.0, 900.0};
    int proven = 0, refused = 0;
    for (int outliers : {0, 30})
    {
        const tFitPointQueue q = Square(rng, centre, n, 25.0, 30000, outliers);
        const Frames searched = TurnedFrames(n, 0.0, 0.0);
        // Other frames: a hair turned, tilted and moved, as the second
        // candidate's frames lie; and ones far off, which no rim can serve.
        for (double parting : {1e-9, 1e-7, 1e-5, 3e-3})
        {
            SCOPED_TRACE(std::to_string(outliers) + " outliers, frames parting by " + std::to_string(parting));
            const Frames other = TurnedFrames(n, parting, 0.5 * parting);
            double otherOrigin[3];
            for (int k = 0; k < 3; ++k)
                otherOrigin[k] = centre[k] + 40.0 * parting * (k + 1);
            const double sizeCap = 6.0 * 25.0;
            double widest = 0.0;
            for (int r = 0; r < kPairs; ++r)
                widest = std::max({widest, Parting(searched.first[r], other.first[r]),
                                   Parting(searched.second[r], other.second[r])});
            const double reach = 1.01 * sizeCap + 1e-6 * SizeOf(centre);
            const double clearance = 3.0 * (reach * widest + Parting(centre, otherOrigin) +
                                            1e-12 * (reach + SizeOf(centre) + SizeOf(otherOrigin)));

            cCandidateSums sums(stCandidatePlanes{{n[0], n[1], n[2]}, -1.0, {0.0, 0.0, 1.0}, 2.0});
            std::vector<const stFitPoint*> rim;
            double ranges[kPairs][4], every[kPairs][4];
            ASSERT_TRUE(MeasureFramePairsWithSums(q, centre, n, kPairs, searched.first, searched.second, ranges,
                                                  clearance, sizeCap, sums, rim));
            MeasureFramePairsOnEveryPoint(q, centre, kPairs, searched.first, searched.second, every);
            for (int r = 0; r < kPairs; ++r)
                for (int k = 0; k < 4; ++k)
                    ASSERT_EQ(ranges[r][k], every[r][k]) << "searched frame " << r << ", bound " << k;
            // The sums are those of every record added in order.
            cCandidateSums inOrder(stCandidatePlanes{{n[0], n[1], n[2]}, -1.0, {0.0, 0.0, 1.0}, 2.0});
            for (const stFitPoint& p : q)
                inOrder.Add<true>(p);
            for (int lane : {0, 1})
            {
                EXPECT_EQ(sums.Absolute(lane), inOrder.Absolute(lane));
                EXPECT_EQ(sums.Squares(lane), inOrder.Squares(lane));
            }
            // Only the rim was measured (a thick one for frames far apart).
            if (parting <= 1e-5)
            {
                EXPECT_LT(rim.size(), q.size() / 10);
            }

            double onRim[kPairs][4], otherEvery[kPairs][4];
            // Either way the extents are those of every record.
            const bool served = MeasureNearFrames(q, rim, centre, kPairs, searched.first, searched.second, ranges,
                                                  clearance, sizeCap, otherOrigin, n, other.first, other.second,
                                                  onRim);
            MeasureFramePairsOnEveryPoint(q, otherOrigin, kPairs, other.first, other.second, otherEvery);
            for (int r = 0; r < kPairs; ++r)
                for (int k = 0; k < 4; ++k)
                    ASSERT_EQ(onRim[r][k], otherEvery[r][k]) << "other frame " << r << ", bound " << k;
            (served ? proven : refused) += 1;
            // Without the clearance the rim cannot vouch for frames that
            // part at all: every record is measured.
            if (parting >= 1e-7)
            {
                ASSERT_TRUE(MeasureFramePairsWithSums(q, centre, n, kPairs, searched.first, searched.second, ranges,
                                                      0.0, sizeCap, sums, rim));
                EXPECT_FALSE(MeasureNearFrames(q, rim, centre, kPairs, searched.first, searched.second, ranges, 0.0,
                                               sizeCap, otherOrigin, n, other.first, other.second, onRim));
                for (int r = 0; r < kPairs; ++r)
                    for (int k = 0; k < 4; ++k)
                        ASSERT_EQ(onRim[r][k], otherEvery[r][k]) << "other frame " << r << ", bound " << k;
            }
        }
    }
    // With the clearance the rim serves every one of them; too few records
    // for the search are left to the caller.
    EXPECT_EQ(proven, 8);
    EXPECT_EQ(refused, 0);
    cCandidateSums sums(stCandidatePlanes{});
    std::vector<const stFitPoint*> rim;
    const Frames searched = TurnedFrames(n, 0.0, 0.0);
    double ranges[kPairs][4];
    const tFitPointQueue few = Square(rng, centre, n, 25.0, 5000, 0);
    EXPECT_FALSE(MeasureFramePairsWithSums(few, centre, n, kPairs, searched.first, searched.second, ranges, 0.0,
                                           100.0, sums, rim));
}

TEST(PlaneEstimateFrame, EstimateWithFrameIsTheEstimateAndTheFrameOfSeparateReads)
{
    std::mt19937 rng(521);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const double normals[][3] = {{0.0, 0.0, 1.0}, {1.0, 1.0, 0.0}, {0.3, -0.2, 0.93}, {-0.5, 0.4, -0.77}};
    const double centres[][3] = {{1500.0, -700.0, 2200.0}, {-40.0, 25.0, 10.0}, {-2500.0, 800.0, 1200.0}};
    const double farOut[3] = {1609.0, -1210.0, 705.0};
    int index = 0;
    for (const auto& raw : normals)
    {
        double n[3] = {raw[0], raw[1], raw[2]};
        Normalise(n);
        double u[3], v[3];
        Basis(n, u, v);
        for (int shape = 0; shape < 5; ++shape)
        {
            const double* centre = shape == 4 ? farOut : centres[index % 3];
            ++index;
            SCOPED_TRACE("normal " + std::to_string(index) + ", shape " + std::to_string(shape));
            tFitPointQueue q;
            const int count = 9000 + 4001 * shape;
            for (int i = 0; i < count; ++i)
            {
                double a = 30.0 * unit(rng), b = 12.0 * unit(rng), h = 0.02 * unit(rng);
                if (shape == 1) // an L
                {
                    b = 30.0 * unit(rng);
                    if (a > 0.0 && b > 0.0)
                        a = -a;
                }
                if (shape == 2) // a curved patch: the two candidates part
                    h += 0.3 * (a * a) / 30.0;
                if (shape == 3) // a tilted grid of rows far apart: the candidates part a little
                    h += 0.05 * std::round(b / 4.0);
                if (shape == 4) // a part a millimetre wide, far out, with outliers: they part widely
                    a *= 0.02, b *= 0.02, h *= 0.05;
                double p[3];
                for (int k = 0; k < 3; ++k)
                    p[k] = centre[k] + a * u[k] + b * v[k] + h * n[k];
                q.push_back(Point(p, n));
            }
            if (shape == 0)
                AddOutliers(rng, q, 40, 5.0, 400.0);
            if (shape == 4)
                AddOutliers(rng, q, 20, 0.06, 6.0);
            const cPlaneFit fit(q);
            for (double marginFactor : {0.0, 1.0})
            {
                double n1[3], d1, n2[3], d2;
                stPlaneEstimateSums s1, s2;
                ASSERT_TRUE(fit.EstimateNormal(n1, d1, s1));
                stPlaneFrame built;
                ASSERT_TRUE(fit.BuildFrame(n1, d1, s1.centroid, s1.scatter, built.origin, built.firstAxis,
                                           built.firstHalf, built.secondAxis, built.secondHalf, marginFactor));
                stPlaneFrame searched;
                bool framed = false;
                ASSERT_TRUE(fit.EstimateWithFrame(n2, d2, s2, searched, framed, marginFactor));
                ASSERT_TRUE(framed);
                for (int k = 0; k < 3; ++k)
                {
                    EXPECT_EQ(n2[k], n1[k]);
                    EXPECT_EQ(s2.centroid[k], s1.centroid[k]);
                    EXPECT_EQ(searched.origin[k], built.origin[k]);
                    EXPECT_EQ(searched.firstAxis[k], built.firstAxis[k]);
                    EXPECT_EQ(searched.secondAxis[k], built.secondAxis[k]);
                }
                EXPECT_EQ(d2, d1);
                EXPECT_EQ(s2.sumSquaredDistances, s1.sumSquaredDistances);
                EXPECT_EQ(s2.activeCount, s1.activeCount);
                EXPECT_EQ(searched.firstHalf, built.firstHalf);
                EXPECT_EQ(searched.secondHalf, built.secondHalf);
            }
        }
    }
}

TEST(PlaneEstimateFrame, SwitchedOffRecordsAndFewPointsTakeTheSeparateReads)
{
    std::mt19937 rng(522);
    double n[3] = {0.1, 0.95, -0.3};
    Normalise(n);
    const double centre[3] = {700.0, 1900.0, -2600.0};
    // Records that are not all active: the search declines after its first
    // read and says why (the driver fits an activated copy then).
    cFitContainer source(Square(rng, centre, n, 20.0, 12000, 0));
    source.Points()[17].active = 0;
    const cPlaneFit shared(source, kShareRecords);
    double normal[3], offset;
    stPlaneEstimateSums sums;
    stPlaneFrame frame;
    bool framed = true;
    EXPECT_FALSE(shared.EstimateWithFrame(normal, offset, sums, frame, framed, 0.0));
    EXPECT_FALSE(framed);
    EXPECT_EQ(sums.activeCount, source.Points().size() - 1);

    // Three points: their plane, and its frame.
    tFitPointQueue three;
    const double corners[3][3] = {{1.0, 2.0, 3.0}, {11.0, 2.0, 3.0}, {1.0, 7.0, 3.0}};
    const double up[3] = {0.0, 0.0, 1.0};
    for (const auto& c : corners)
        three.push_back(Point(c, up));
    const cPlaneFit small(three);
    ASSERT_TRUE(small.EstimateWithFrame(normal, offset, sums, frame, framed, 0.0));
    EXPECT_TRUE(framed);
    EXPECT_NEAR(normal[2], 1.0, 1e-12);
    EXPECT_NEAR(offset, -3.0, 1e-9);
    // The right triangle's smallest rectangle, along its legs or along its
    // long side, has 50 square units; the turns in 3 degree steps come
    // within 1.5 degrees of either.
    EXPECT_GE(4.0 * frame.firstHalf * frame.secondHalf, 50.0 - 1e-9);
    EXPECT_LE(4.0 * frame.firstHalf * frame.secondHalf, 51.5);
    stPlaneFrame built;
    ASSERT_TRUE(small.BuildFrame(normal, offset, built.origin, built.firstAxis, built.firstHalf, built.secondAxis,
                                 built.secondHalf, 0.0));
    EXPECT_EQ(frame.firstHalf, built.firstHalf);
    EXPECT_EQ(frame.secondHalf, built.secondHalf);
}
