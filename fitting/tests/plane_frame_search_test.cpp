// The smallest-rectangle search measures only the points that can bound a
// frame: its extents must be those of measuring every point, bit for bit,
// whatever the region's outline, the order of its points, how far they
// leave the plane or where the part lies.
#include "fitting/fit_drivers.h"
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

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

struct Frames
{
    double first[kPairs][3];
    double second[kPairs][3];
};

// The unturned frame (u, v) and 61 frames turned in its plane from -90 to +90
// degrees, as the search turns them.
Frames TurnedFrames(const double u[3], const double v[3])
{
    Frames f;
    for (int r = 0; r < kPairs; ++r)
    {
        const double angle = r == 0 ? 0.0 : (-90.0 + 3.0 * (r - 1)) * kPi / 180.0;
        const double c = std::cos(angle), s = std::sin(angle);
        for (int k = 0; k < 3; ++k)
        {
            f.first[r][k] = c * u[k] + s * v[k];
            f.second[r][k] = -s * u[k] + c * v[k];
        }
    }
    return f;
}

enum Outline
{
    kSquare,
    kDisc,
    kRing,
    kStrip,
    kCurvedPatch
};

// Points of a region about centre in the plane with normal n: its outline,
// a little noise across the plane (or, for the curved patch, a bulge of a
// quarter of its size).
tFitPointQueue Region(std::mt19937& rng, Outline outline, const double centre[3], const double n[3], double size,
                      int count)
{
    double u[3], v[3];
    Basis(n, u, v);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> noise(0.0, 1e-3 * size);
    tFitPointQueue q;
    for (int i = 0; i < count; ++i)
    {
        double a = 0.0, b = 0.0, h = noise(rng);
        const double angle = 2.0 * kPi * unit(rng);
        switch (outline)
        {
        case kSquare:
            a = size * (2.0 * unit(rng) - 1.0);
            b = size * (2.0 * unit(rng) - 1.0);
            break;
        case kDisc:
            a = size * std::sqrt(unit(rng)) * std::cos(angle);
            b = size * std::sqrt(unit(rng)) * std::sin(angle);
            break;
        case kRing:
            a = size * (0.9 + 0.1 * unit(rng)) * std::cos(angle);
            b = size * (0.9 + 0.1 * unit(rng)) * std::sin(angle);
            break;
        case kStrip:
            a = size * (2.0 * unit(rng) - 1.0);
            b = 0.02 * size * (2.0 * unit(rng) - 1.0);
            break;
        case kCurvedPatch:
            a = size * (2.0 * unit(rng) - 1.0);
            b = size * (2.0 * unit(rng) - 1.0);
            h += 0.25 * size * (1.0 - (a * a) / (size * size));
            break;
        }
        double p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = centre[k] + a * u[k] + b * v[k] + h * n[k];
        q.push_back(Point(p, n));
    }
    return q;
}

void ExpectSameExtents(const tFitPointQueue& q, const double n[3], const double o[3])
{
    double u[3], v[3];
    Basis(n, u, v);
    const Frames f = TurnedFrames(u, v);
    double fast[kPairs][4], every[kPairs][4];
    MeasureFramePairs(q, o, n, kPairs, f.first, f.second, fast);
    MeasureFramePairsOnEveryPoint(q, o, kPairs, f.first, f.second, every);
    for (int r = 0; r < kPairs; ++r)
        for (int k = 0; k < 4; ++k)
            ASSERT_EQ(fast[r][k], every[r][k]) << "frame " << r << ", bound " << k;
}

} // namespace

TEST(PlaneFrameSearch, ExtentsOfEveryOutlineAndOrderAreThoseOfEveryPoint)
{
    std::mt19937 rng(401);
    double n[3] = {0.3, -0.2, 0.93};
    Normalise(n);
    const double centre[3] = {1500.0, -700.0, 2200.0};
    for (Outline outline : {kSquare, kDisc, kRing, kStrip, kCurvedPatch})
    {
        SCOPED_TRACE("outline " + std::to_string(int(outline)));
        tFitPointQueue q = Region(rng, outline, centre, n, 40.0, 30000);
        // The projection of the mean, as the frame search is given it.
        double mean[3] = {0.0, 0.0, 0.0};
        for (const stFitPoint& p : q)
            for (int k = 0; k < 3; ++k)
                mean[k] += p.position[k] / double(q.size());
        ExpectSameExtents(q, n, mean);
        // Scan order instead of random order: the rim is found last.
        double u[3], v[3];
        Basis(n, u, v);
        std::sort(q.begin(), q.end(), [&](const stFitPoint& a, const stFitPoint& b) {
            const double da = std::hypot(a.position[0] - mean[0], a.position[1] - mean[1], a.position[2] - mean[2]);
            const double db = std::hypot(b.position[0] - mean[0], b.position[1] - mean[1], b.position[2] - mean[2]);
            return da < db;
        });
        ExpectSameExtents(q, n, mean);
    }
}

TEST(PlaneFrameSearch, NonFinitePointsAndAnOriginOnTheRim)
{
    std::mt19937 rng(402);
    const double n[3] = {0.0, 0.0, 1.0};
    const double centre[3] = {10.0, 20.0, 30.0};
    tFitPointQueue q = Region(rng, kDisc, centre, n, 5.0, 20000);
    q[7].position[0] = std::numeric_limits<float>::quiet_NaN();
    q[9000].position[2] = std::numeric_limits<float>::infinity();
    ExpectSameExtents(q, n, centre);
    // An origin at the edge of the region: the extents on one side are 0.
    const double edge[3] = {15.0, 20.0, 30.0};
    ExpectSameExtents(q, n, edge);
    // All points on one spot.
    tFitPointQueue spot(10000, q[0]);
    ExpectSameExtents(spot, n, centre);
}

TEST(PlaneFrameSearch, FrameFromTheEstimatesScatterIsTheFramesOwn)
{
    // A 2:1 rectangle, so that its principal axes are well defined: the
    // frame from the estimate's mean and scatter is the frame the container
    // finds by its own passes, up to rounding.
    std::mt19937 rng(403);
    double n[3] = {-0.5, 0.4, 0.77};
    Normalise(n);
    double u[3], v[3];
    Basis(n, u, v);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    tFitPointQueue q;
    const double centre[3] = {-2500.0, 800.0, 1200.0};
    for (int i = 0; i < 20000; ++i)
    {
        const double a = 40.0 * unit(rng), b = 20.0 * unit(rng), h = 0.02 * unit(rng);
        double p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = centre[k] + a * (0.8 * u[k] + 0.6 * v[k]) + b * (-0.6 * u[k] + 0.8 * v[k]) + h * n[k];
        q.push_back(Point(p, n));
    }
    const cPlaneFit fit(q);
    double normal[3], d;
    stPlaneEstimateSums sums;
    ASSERT_TRUE(fit.EstimateNormal(normal, d, sums));
    double o1[3], x1[3], y1[3], hu1, hv1, o2[3], x2[3], y2[3], hu2, hv2;
    ASSERT_TRUE(fit.BuildFrame(normal, d, o1, x1, hu1, y1, hv1, 0.0));
    ASSERT_TRUE(fit.BuildFrame(normal, d, sums.centroid, sums.scatter, o2, x2, hu2, y2, hv2, 0.0));
    // The same rectangle. Which of its sides comes first is a tie of the
    // search (every frame has its twin turned by 90 degrees), settled by
    // rounding.
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(o2[k], o1[k], 1e-9);
    EXPECT_NEAR(std::fabs(Dot(x2, x1)) + std::fabs(Dot(x2, y1)), 1.0, 1e-9);
    EXPECT_NEAR(std::max(hu2, hv2), std::max(hu1, hv1), 1e-9);
    EXPECT_NEAR(std::min(hu2, hv2), std::min(hu1, hv1), 1e-9);
    // The rectangle itself: 80 by 40 along its own sides.
    EXPECT_NEAR(std::max(hu1, hv1), 40.0, 0.05);
    EXPECT_NEAR(std::min(hu1, hv1), 20.0, 0.05);

    // The driver takes the same frame.
    tPlane<double> plane;
    double rms = 0.0;
    ASSERT_TRUE(FitPlane(cFitContainer(q), plane, rms, false, 0.0));
    EXPECT_NEAR(std::max(plane.halfWidth, plane.halfHeight), std::max(hu1, hv1), 1e-9);
    EXPECT_NEAR(std::min(plane.halfWidth, plane.halfHeight), std::min(hu1, hv1), 1e-9);
}

// Most points are settled by a rectangle inside the table, along the
// tightest turned frame: outlines whose sides lie between the turned frames,
// whose corners the rectangle cannot reach (an L, a triangle), with points
// exactly on the rectangle's sides and corners, and odd counts, all keep
// the extents of every point.
TEST(PlaneFrameSearch, ShapesAroundTheInnerRectangleKeepTheExtentsOfEveryPoint)
{
    std::mt19937 rng(404);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    double n[3] = {-0.1, 0.7, 0.7};
    Normalise(n);
    double u[3], v[3];
    Basis(n, u, v);
    const double centre[3] = {-900.0, 3100.0, 450.0};
    enum Shape
    {
        kTurnedRectangle, // sides 1.5 degrees off the nearest turned frame
        kL,
        kTriangle,
        kGrid, // a lattice: many points on one line, on the rectangle's sides
    };
    for (Shape shape : {kTurnedRectangle, kL, kTriangle, kGrid})
    {
        for (int count : {20001, 40000})
        {
            SCOPED_TRACE("shape " + std::to_string(int(shape)) + ", " + std::to_string(count) + " points");
            const double turn = 1.5 * kPi / 180.0;
            tFitPointQueue q;
            for (int i = 0; i < count; ++i)
            {
                double a = 0.0, b = 0.0;
                switch (shape)
                {
                case kTurnedRectangle:
                {
                    const double s = 30.0 * unit(rng), t = 10.0 * unit(rng);
                    a = s * std::cos(turn) - t * std::sin(turn);
                    b = s * std::sin(turn) + t * std::cos(turn);
                    break;
                }
                case kL:
                    a = 20.0 * unit(rng);
                    b = 20.0 * unit(rng);
                    if (a > 0.0 && b > 0.0)
                        a = -a;
                    break;
                case kTriangle:
                    a = 25.0 * unit(rng);
                    b = 25.0 * unit(rng);
                    if (a + b > 0.0)
                        a = -a, b = -b;
                    break;
                case kGrid:
                    a = std::round(10.0 * unit(rng)) * 2.0;
                    b = std::round(10.0 * unit(rng)) * 1.5;
                    break;
                }
                const double h = 1e-3 * unit(rng);
                double p[3];
                for (int k = 0; k < 3; ++k)
                    p[k] = centre[k] + a * u[k] + b * v[k] + h * n[k];
                q.push_back(Point(p, n));
            }
            double mean[3] = {0.0, 0.0, 0.0};
            for (const stFitPoint& p : q)
                for (int k = 0; k < 3; ++k)
                    mean[k] += p.position[k] / double(q.size());
            ExpectSameExtents(q, n, mean);
            // Off-centre origins: the rectangle is shrunk towards them.
            double offCentre[3];
            for (int k = 0; k < 3; ++k)
                offCentre[k] = mean[k] + 8.0 * u[k] - 5.0 * v[k];
            ExpectSameExtents(q, n, offCentre);
        }
    }
}
