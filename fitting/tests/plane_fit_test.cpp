#include "fitting/plane_fit.h"

#include "fit_samples.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

using namespace fit_samples;

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

TEST(PlaneFit, RecoversNoisyPlanesAtAnyOrientation)
{
    std::mt19937 rng(1);
    const double normals[][3] = {{0, 0, 1}, {1, 2, 3}, {-1, 0.5, 0.1}, {0.3, -0.9, -0.2}};
    for (const auto& raw : normals)
    {
        double n[3] = {raw[0], raw[1], raw[2]};
        Normalise(n);
        const double origin[3] = {5.0, -3.0, 12.0};
        for (double noise : {0.0, 0.01})
        {
            cPlaneFit fit(Plane(rng, origin, n, 10.0, noise, 400));
            double normal[3], offset;
            ASSERT_TRUE(fit.Fit(normal, offset));
            EXPECT_NEAR(Dot(normal, n), 1.0, 1e-4) << "oriented by the point normals";
            EXPECT_NEAR(offset, -Dot(n, origin), 0.01 + 5 * noise);
            std::uint64_t count = 0;
            const double rms = std::sqrt(fit.GetSumSquaredDistances(normal, offset, count) / double(count));
            EXPECT_LT(rms, 2 * noise + 1e-4);
        }
    }
}

TEST(PlaneFit, PlaneThroughTheOriginUsesTotalLeastSquares)
{
    std::mt19937 rng(2);
    const double origin[3] = {0, 0, 0};
    double n[3] = {0, 1, 1};
    Normalise(n);
    cPlaneFit fit(Plane(rng, origin, n, 5.0, 0.0, 50));
    double normal[3], offset;
    ASSERT_TRUE(fit.EstimateNormal(normal, offset));
    EXPECT_NEAR(std::fabs(Dot(normal, n)), 1.0, 1e-6);
    EXPECT_NEAR(offset, 0.0, 1e-6);
}

// The estimate's sums stand in for separate passes over the records in the
// plane driver; they must say what those passes would. A part a few
// millimetres wide a metre out, with switched-off records (the first among
// them, and one whose position is not even a number).
TEST(PlaneFit, EstimateSumsAgreeWithTheSeparatePasses)
{
    std::mt19937 rng(3);
    const double origin[3] = {1000.0, -800.0, 650.0};
    double n[3] = {0.3, -0.2, 0.93};
    Normalise(n);
    tFitPointQueue q = Plane(rng, origin, n, 4.0, 0.005, 300);
    std::uniform_real_distribution<double> tilt(-0.3, 0.3);
    for (std::size_t i = 0; i < q.size(); ++i)
        for (int k = 0; k < 3; ++k)
            q[i].normal[k] += static_cast<float>(tilt(rng));
    cPlaneFit all(q);
    cPlaneFit some(q);
    for (std::size_t i = 0; i < q.size(); i += 7)
        some.Points()[i].active = 0;
    some.Points()[14].position[1] = std::nanf("");
    for (const cPlaneFit* fit : {&all, &some})
    {
        double plain[3], plainOffset;
        double normal[3], offset;
        stPlaneEstimateSums sums;
        ASSERT_TRUE(fit->EstimateNormal(plain, plainOffset));
        ASSERT_TRUE(fit->EstimateNormal(normal, offset, sums));
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(normal[k], plain[k]);
        EXPECT_EQ(offset, plainOffset);
        EXPECT_NEAR(Dot(normal, n), 1.0, 1e-3);
        EXPECT_EQ(sums.activeCount, fit->CountActive());
        double average[3], centroid[3];
        fit->GetAverageNormal(average);
        fit->GetCentroid(centroid);
        for (int k = 0; k < 3; ++k)
        {
            EXPECT_EQ(sums.averageNormal[k], average[k]);
            EXPECT_NEAR(sums.centroid[k], centroid[k], 1e-12 * 1000.0);
        }
        std::uint64_t count = 0;
        const double squares = fit->GetSumSquaredDistances(normal, offset, count);
        EXPECT_NEAR(sums.sumSquaredDistances, squares, 1e-9 * squares);

        // The frame about a mean the caller has is the frame about the
        // records' own mean.
        double mean[3];
        all.GetMeanPosition(mean);
        double o1[3], u1[3], r1[3] = {1, 0, 0}, hu1, hv1;
        double o2[3], u2[3], r2[3] = {1, 0, 0}, hu2, hv2;
        ASSERT_TRUE(all.BuildFrameWithAxis(normal, offset, o1, u1, hu1, r1, hv1));
        ASSERT_TRUE(all.BuildFrameWithAxis(normal, offset, mean, o2, u2, hu2, r2, hv2));
        for (int k = 0; k < 3; ++k)
        {
            EXPECT_EQ(o1[k], o2[k]);
            EXPECT_EQ(u1[k], u2[k]);
            EXPECT_EQ(r1[k], r2[k]);
        }
        EXPECT_EQ(hu1, hu2);
        EXPECT_EQ(hv1, hv2);
    }

    // Too few active records fail, and are still counted.
    cPlaneFit few(tFitPointQueue(q.begin(), q.begin() + 4));
    few.Points()[1].active = 0;
    few.Points()[2].active = 0;
    double normal[3], offset;
    stPlaneEstimateSums sums;
    EXPECT_FALSE(few.EstimateNormal(normal, offset, sums));
    EXPECT_EQ(sums.activeCount, 2u);

    // Three points: their triangle, at no distance from its plane.
    few.Points()[2].active = 1;
    ASSERT_TRUE(few.EstimateNormal(normal, offset, sums));
    EXPECT_EQ(sums.activeCount, 3u);
    EXPECT_LT(sums.sumSquaredDistances, 1e-18);
}

TEST(PlaneFit, ThreePointsKeepTheirOrientationAndDegenerateInputsFail)
{
    tFitPointQueue q;
    const double down[3] = {0, 0, -1};
    const double pts[3][3] = {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}};
    for (const auto& p : pts)
        q.push_back(Point(p, down));
    cPlaneFit fit(q);
    double normal[3] = {9, 9, 9}, offset = 9;
    ASSERT_TRUE(fit.EstimateNormal(normal, offset));
    EXPECT_NEAR(normal[2], 1.0, 1e-12) << "no orientation step for three points";
    EXPECT_NEAR(offset, -1.0, 1e-12);

    tFitPointQueue collinear;
    for (int i = 0; i < 3; ++i)
    {
        const double p[3] = {double(i), 2.0 * i, 0};
        collinear.push_back(Point(p, down));
    }
    cPlaneFit line(collinear);
    double before[3] = {7, 7, 7};
    EXPECT_FALSE(line.EstimateNormal(before, offset));
    EXPECT_FALSE(line.Fit(before, offset));
    EXPECT_EQ(before[0], 7.0);

    cPlaneFit empty{tFitPointQueue{}};
    EXPECT_FALSE(empty.Fit(before, offset));
    EXPECT_EQ(empty.GetMeanAbsDistance(before, 0.0), kNoFitError);
    EXPECT_FALSE(empty.OffsetForNormal(before, offset));

    tFitPointQueue manyOnALine;
    for (int i = 0; i < 10; ++i)
    {
        const double p[3] = {double(i), 2.0 * i, 1.0};
        manyOnALine.push_back(Point(p, down));
    }
    cPlaneFit onALine(manyOnALine);
    EXPECT_FALSE(onALine.Fit(before, offset)) << "collinear points lie on every plane through them";

    tFitPointQueue same(10, Point(pts[0], down));
    cPlaneFit coincident(same);
    EXPECT_FALSE(coincident.Fit(before, offset));

    // A point without a finite position gives no plane, never a NaN one.
    for (float bad : {std::nanf(""), INFINITY})
    {
        tFitPointQueue broken = q;
        broken[1].position[0] = bad;
        cPlaneFit three(broken);
        EXPECT_FALSE(three.EstimateNormal(before, offset));
        broken.push_back(Point(pts[0], down));
        cPlaneFit four(broken);
        EXPECT_FALSE(four.Fit(before, offset));
    }
    EXPECT_EQ(before[0], 7.0);
}

TEST(PlaneFit, ConstrainedFitKeepsFixedValues)
{
    std::mt19937 rng(3);
    const double origin[3] = {0, 0, 2.5};
    const double up[3] = {0, 0, 1};
    cPlaneFit fit(Plane(rng, origin, up, 4.0, 0.002, 200));

    // z fixed at 1 fixes x and y at 0; only the offset is fitted.
    double normal[3] = {0.3, 0.1, 1.0};
    double offset = 0.0;
    const std::uint8_t offsetOnly[4] = {1, 1, 0, 1};
    ASSERT_TRUE(FitConstrainedPlane(fit, normal, offset, offsetOnly));
    EXPECT_EQ(normal[0], 0.0);
    EXPECT_EQ(normal[1], 0.0);
    EXPECT_EQ(normal[2], 1.0);
    EXPECT_NEAR(offset, -2.5, 1e-3);

    // Nothing open: succeeds with the given plane when the estimate agrees.
    double given[3] = {0, 0, 2};
    double d = -7.0;
    const std::uint8_t none[4] = {0, 0, 0, 0};
    ASSERT_TRUE(FitConstrainedPlane(fit, given, d, none));
    EXPECT_EQ(d, -7.0);
    EXPECT_DOUBLE_EQ(given[2], 1.0);

    // A given normal more than 45 degrees away from the points' plane fails.
    double sideways[3] = {1, 0, 0};
    double d2 = 0;
    const std::uint8_t xFixed[4] = {0, 1, 1, 1};
    EXPECT_FALSE(FitConstrainedPlane(fit, sideways, d2, xFixed));

    // A fixed component that is not +-1 keeps its value.
    double n[3] = {0.2, 0.0, 0.9};
    double d3 = 0.0;
    const std::uint8_t xKept[4] = {0, 1, 1, 1};
    cPlaneFit tilted(Plane(rng, origin, up, 4.0, 0.0, 200));
    ASSERT_TRUE(FitConstrainedPlane(tilted, n, d3, xKept));
    EXPECT_DOUBLE_EQ(n[0], 0.2);
    EXPECT_NEAR(Dot(n, n), 1.0, 1e-9);
    // With the points on z = 2.5 the distances are 0.2 x + ny y + const, so
    // the best ny is the least-squares slope -0.2 Sxy / Syy of the sample.
    double mx = 0, my = 0;
    for (const stFitPoint& p : tilted.Points())
    {
        mx += p.position[0];
        my += p.position[1];
    }
    mx /= double(tilted.Points().size());
    my /= double(tilted.Points().size());
    double sxy = 0, syy = 0;
    for (const stFitPoint& p : tilted.Points())
    {
        sxy += (p.position[0] - mx) * (p.position[1] - my);
        syy += (p.position[1] - my) * (p.position[1] - my);
    }
    EXPECT_NEAR(n[1], -0.2 * sxy / syy, 1e-3);
    EXPECT_GT(n[2], 0.97);
}

TEST(PlaneFit, FrameCoversThePointsWithNearMinimalArea)
{
    // A 10 x 2 rectangle turned by 30 degrees in the XY plane.
    tFitPointQueue q;
    const double up[3] = {0, 0, 1};
    const double c = std::cos(kPi / 6), s = std::sin(kPi / 6);
    for (int i = 0; i <= 20; ++i)
        for (int j = 0; j <= 4; ++j)
        {
            const double a = -5.0 + 0.5 * i, b = -1.0 + 0.5 * j;
            const double p[3] = {3 + a * c - b * s, 4 + a * s + b * c, 1.0};
            q.push_back(Point(p, up));
        }
    cPlaneFit fit(q);
    double normal[3], offset;
    ASSERT_TRUE(fit.Fit(normal, offset));
    double origin[3], u[3], v[3], hu, hv;
    ASSERT_TRUE(fit.BuildFrame(normal, offset, origin, u, hu, v, hv, 0.0));
    EXPECT_NEAR(origin[0], 3.0, 1e-3);
    EXPECT_NEAR(origin[1], 4.0, 1e-3);
    EXPECT_NEAR(4 * hu * hv, 20.0, 0.5);
    for (const stFitPoint& p : fit.Points())
    {
        double d[3];
        for (int k = 0; k < 3; ++k)
            d[k] = p.position[k] - origin[k];
        EXPECT_LE(std::fabs(Dot(d, u)), hu + 1e-6);
        EXPECT_LE(std::fabs(Dot(d, v)), hv + 1e-6);
    }
    double hu2, hv2;
    ASSERT_TRUE(fit.BuildFrame(normal, offset, origin, u, hu2, v, hv2, 1.0));
    EXPECT_NEAR(hu2 - hu, 0.5 * std::max(hu, hv), 1e-9);

    // Hundreds of records, the corners last: the search reads the records a
    // block at a time, and the last block is a partial one.
    tFitPointQueue many;
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> along(-4.9, 4.9), across(-0.9, 0.9);
    const auto turned = [&](double a, double b) {
        const double p[3] = {3 + a * c - b * s, 4 + a * s + b * c, 1.0};
        many.push_back(Point(p, up));
    };
    for (int i = 0; i < 700; ++i)
        turned(along(rng), across(rng));
    for (double a : {-5.0, 5.0})
        for (double b : {-1.0, 1.0})
            turned(a, b);
    cPlaneFit large(many);
    ASSERT_TRUE(large.EstimateNormal(normal, offset));
    ASSERT_TRUE(large.BuildFrame(normal, offset, origin, u, hu, v, hv, 0.0));
    EXPECT_NEAR(4 * hu * hv, 20.0, 1.5);
    for (const stFitPoint& p : large.Points())
    {
        double d[3];
        for (int k = 0; k < 3; ++k)
            d[k] = p.position[k] - origin[k];
        EXPECT_LE(std::fabs(Dot(d, u)), hu + 1e-6);
        EXPECT_LE(std::fabs(Dot(d, v)), hv + 1e-6);
    }

    double ref[3] = {0, 1, 0};
    ASSERT_TRUE(fit.BuildFrameWithAxis(normal, offset, origin, u, hu, ref, hv));
    EXPECT_NEAR(ref[1], 1.0, 1e-9);
    double parallel[3] = {0, 0, 1};
    EXPECT_FALSE(fit.BuildFrameWithAxis(normal, offset, origin, u, hu, parallel, hv))
        << "a reference along the normal has no in-plane direction";
}

} // namespace
