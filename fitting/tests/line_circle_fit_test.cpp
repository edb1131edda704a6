#include "fitting/circle_fit.h"
#include "fitting/line_fit.h"

#include "fit_samples.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

using namespace fit_samples;

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

tFitPointQueue LinePoints(std::mt19937& rng, const double p0[3], const double dir[3], double noise, int count)
{
    std::uniform_real_distribution<double> t(-5, 5);
    std::normal_distribution<double> gauss(0, noise > 0 ? noise : 1);
    double u[3], v[3];
    Basis(dir, u, v);
    tFitPointQueue q;
    for (int i = 0; i < count; ++i)
    {
        const double s = t(rng), a = noise > 0 ? gauss(rng) : 0, b = noise > 0 ? gauss(rng) : 0;
        double p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = p0[k] + s * dir[k] + a * u[k] + b * v[k];
        q.push_back(Point(p, u));
    }
    return q;
}

TEST(LineFit, TwoPointsAndNoisyLines)
{
    tFitPointQueue two;
    const double n[3] = {0, 0, 1};
    const double a[3] = {1, 1, 0}, b[3] = {3, 1, 0};
    two.push_back(Point(a, n));
    two.push_back(Point(b, n));
    cLineFit fit(two);
    double o[3], d[3];
    ASSERT_TRUE(fit.EstimateLine(o, d));
    EXPECT_NEAR(d[0], 1.0, 1e-12);
    // The origin is the foot of the perpendicular from the coordinate origin.
    EXPECT_NEAR(o[0], 0.0, 1e-12);
    EXPECT_NEAR(o[1], 1.0, 1e-12);

    std::mt19937 rng(12);
    double dir[3] = {1, -2, 0.5};
    Normalise(dir);
    const double p0[3] = {4, 5, 6};
    cLineFit noisy(LinePoints(rng, p0, dir, 0.01, 300));
    ASSERT_TRUE(noisy.Fit(o, d));
    EXPECT_NEAR(std::fabs(Dot(d, dir)), 1.0, 1e-4);
    EXPECT_NEAR(Dot(o, d), 0.0, 1e-9);
    EXPECT_LT(noisy.MeanDistance(o, d), 0.03);

    double start[3], end[3];
    noisy.GetExtent(o, d, start, end);
    const double span[3] = {end[0] - start[0], end[1] - start[1], end[2] - start[2]};
    EXPECT_NEAR(std::sqrt(Dot(span, span)), 10.0, 0.2);

    cLineFit one(tFitPointQueue(1, Point(a, n)));
    EXPECT_FALSE(one.Fit(o, d));
    cLineFit empty{tFitPointQueue{}};
    EXPECT_EQ(empty.MeanDistance(o, d), kNoFitError);
    empty.GetExtent(o, d, start, end);
    EXPECT_EQ(start[0], o[0]);
}

TEST(LineFit, CoincidentPointsHaveNoDirection)
{
    const double n[3] = {0, 0, 1};
    const double a[3] = {1, 2, 3};
    for (std::size_t count : {2u, 3u, 10u})
    {
        cLineFit fit(tFitPointQueue(count, Point(a, n)));
        double o[3] = {7, 7, 7}, d[3] = {7, 7, 7};
        EXPECT_FALSE(fit.EstimateLine(o, d)) << count;
        EXPECT_FALSE(fit.Fit(o, d)) << count;
        EXPECT_EQ(o[0], 7.0);
        EXPECT_EQ(d[0], 7.0);
    }
    // A single distinct point among inactive others is no line either.
    tFitPointQueue q(5, Point(a, n));
    const double b[3] = {4, 2, 3};
    q.push_back(Point(b, n));
    cLineFit fit(q);
    fit.Points().back().active = 0;
    double o[3], d[3];
    EXPECT_FALSE(fit.EstimateLine(o, d));
    fit.ActivateAllPoints();
    ASSERT_TRUE(fit.EstimateLine(o, d));
    EXPECT_NEAR(std::fabs(d[0]), 1.0, 1e-9);
}

TEST(CircleFit, ArcsInTheXYPlane)
{
    std::mt19937 rng(21);
    const double centre[3] = {3, -2, 0};
    const double up[3] = {0, 0, 1};
    for (double span : {kPi / 3, kPi, 2 * kPi})
        for (double noise : {0.0, 0.01})
        {
            cCircleFit fit(Circle(rng, centre, up, 4.0, 0.2, 0.2 + span, noise, 200));
            double c[3], r;
            ASSERT_TRUE(fit.Fit(c, r));
            ASSERT_TRUE(fit.Refine(c, r));
            EXPECT_EQ(fit.AxisSelector(), 2);
            const double tol = 1e-3 + noise * (span < 2 ? 20 : 5);
            EXPECT_NEAR(r, 4.0, tol);
            EXPECT_NEAR(c[0], 3.0, tol);
            EXPECT_NEAR(c[1], -2.0, tol);
        }

    // A half arc: ends on either side of the middle, the middle on the mean.
    cCircleFit half(Circle(rng, centre, up, 4.0, 0.0, kPi, 0.0, 100));
    double c[3] = {3, -2, 0};
    double middle[3], start[3], end[3];
    half.GetArcEnds(c, 4.0, middle, start, end);
    // The samples run from -y through +x to +y of the centre.
    EXPECT_NEAR(middle[0], 7.0, 0.2);
    EXPECT_NEAR(middle[1], -2.0, 0.2);
    EXPECT_NEAR(std::fabs(start[1] - end[1]), 8.0, 0.2);
    EXPECT_NEAR(start[0], 3.0, 0.2);
}

TEST(CircleFit, CollinearAndTooFewPointsFail)
{
    tFitPointQueue q;
    const double n[3] = {0, 0, 1};
    for (int i = 0; i < 3; ++i)
    {
        const double p[3] = {double(i), double(i), 0};
        q.push_back(Point(p, n));
    }
    cCircleFit fit(q);
    double c[3] = {7, 7, 7}, r = 7;
    EXPECT_FALSE(fit.Fit(c, r));
    EXPECT_EQ(c[0], 7.0);
    cCircleFit two(tFitPointQueue(q.begin(), q.begin() + 2));
    EXPECT_FALSE(two.Fit(c, r));
    double axis[3];
    EXPECT_FALSE(FitCircle3D(fit, axis, c, r));

    // All points equal: no circle, in the plane or in 3D.
    for (std::size_t count : {3u, 4u, 12u})
    {
        cCircleFit same(tFitPointQueue(count, q[1]));
        EXPECT_FALSE(same.Fit(c, r)) << count;
        EXPECT_FALSE(FitCircle3D(same, axis, c, r)) << count;
        EXPECT_FALSE(same.FitConsensus(c, r, 0.01)) << count;
    }
    EXPECT_EQ(c[0], 7.0);
}

TEST(CircleFit, TrimmingAndConsensusResistOutliers)
{
    std::mt19937 rng(31);
    const double centre[3] = {0, 0, 0};
    const double up[3] = {0, 0, 1};
    tFitPointQueue q = Circle(rng, centre, up, 10.0, 0.0, 2 * kPi, 0.005, 200);
    std::uniform_real_distribution<double> junk(-4, 4);
    for (int i = 0; i < 30; ++i)
    {
        const double p[3] = {junk(rng), junk(rng), 0};
        q.push_back(Point(p, up));
    }
    {
        cCircleFit fit(q);
        double c[3], r;
        ASSERT_TRUE(fit.FitRobust(c, r, 0.01));
        EXPECT_NEAR(r, 10.0, 0.05);
        EXPECT_LT(fit.CountActive(), q.size());
        fit.ActivateAllPoints();
        EXPECT_EQ(fit.CountActive(), q.size());
        for (const stFitPoint& p : fit.Points())
            EXPECT_EQ(p.residual, 0.0);
    }
    {
        cCircleFit fit(q);
        double c[3], r;
        ASSERT_TRUE(fit.FitConsensus(c, r, 0.01));
        EXPECT_NEAR(r, 10.0, 0.05);
        EXPECT_NEAR(c[0], 0.0, 0.05);
    }
    {
        // A target above the first RMS switches nothing off.
        cCircleFit fit(Circle(rng, centre, up, 10.0, 0.0, 2 * kPi, 0.0, 50));
        double c[3], r;
        ASSERT_TRUE(fit.FitRobust(c, r, 1.0));
        EXPECT_EQ(fit.CountActive(), 50u);
    }
}

TEST(CircleFit, ARobustFitThatFailsWhileTrimmingLeavesTheCircleAlone)
{
    // Four points with a circle of their own whose trimming pass keeps
    // three collinear ones, which have no circle.
    const double up[3] = {0, 0, 1};
    const double pts[4][3] = {{0, -5, 0}, {2, 3, 0}, {3, 4, 0}, {2, 1, 0}};
    tFitPointQueue q;
    for (const auto& p : pts)
        q.push_back(Point(p, up));
    double c[3], r;
    ASSERT_TRUE(cCircleFit(q).Fit(c, r));
    cCircleFit fit(q);
    double centre[3] = {7, 7, 7}, radius = 7;
    ASSERT_FALSE(fit.FitRobust(centre, radius, 0.0));
    EXPECT_EQ(fit.CountActive(), 3u);
    EXPECT_EQ(fit.Points()[1].active, 0);
    EXPECT_EQ(centre[0], 7.0);
    EXPECT_EQ(centre[1], 7.0);
    EXPECT_EQ(radius, 7.0);
}

TEST(CircleFit, AxisFrameIsWorldToLocal)
{
    // The axis (0, 0, -1) only translates.
    const double down[3] = {0, 0, -1};
    const double q[3] = {1, 2, 3};
    double m[12];
    BuildAxisFrame(m, down, q);
    EXPECT_EQ(m[0], 1.0);
    EXPECT_EQ(m[5], 1.0);
    EXPECT_EQ(m[10], 1.0);
    EXPECT_EQ(m[3], -1.0);

    // A general axis maps onto +Z, the point onto the origin, and back.
    double a[3] = {1, 1, 1};
    Normalise(a);
    BuildAxisFrame(m, a, q);
    double local[3], world[3];
    const double tip[3] = {q[0] + a[0], q[1] + a[1], q[2] + a[2]};
    MapIntoFrame(m, tip, local);
    EXPECT_NEAR(local[0], 0.0, 1e-12);
    EXPECT_NEAR(local[1], 0.0, 1e-12);
    EXPECT_NEAR(local[2], 1.0, 1e-12);
    const double some[3] = {0.5, -2, 7};
    MapIntoFrame(m, some, local);
    MapOutOfFrame(m, local, world);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(world[k], some[k], 1e-12);
}

TEST(CircleFit, CirclesIn3DAndAcrossAGivenAxis)
{
    std::mt19937 rng(41);
    double n[3] = {1, 2, -1};
    Normalise(n);
    const double centre[3] = {5, 1, -3};
    cCircleFit fit(Circle(rng, centre, n, 2.5, 0.0, 1.5 * kPi, 0.002, 150));
    double axis[3], c[3], r;
    ASSERT_TRUE(FitCircle3D(fit, axis, c, r));
    EXPECT_NEAR(std::fabs(Dot(axis, n)), 1.0, 1e-4);
    EXPECT_NEAR(r, 2.5, 0.01);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(c[k], centre[k], 0.01);
    EXPECT_LT(CircleRMSInFrame(fit, axis, c, c, r), 0.01);

    ASSERT_TRUE(RefineCircleInFrame(fit, axis, c, c, r));
    EXPECT_NEAR(r, 2.5, 0.01);

    double c2[3], r2;
    ASSERT_TRUE(FitCircleAcrossAxis(fit, n, -Dot(n, centre), c2, r2));
    EXPECT_NEAR(r2, 2.5, 0.01);

    double middle[3], start[3], end[3];
    GetArcEndsInFrame(fit, axis, c, r, middle, start, end);
    const double dm[3] = {middle[0] - c[0], middle[1] - c[1], middle[2] - c[2]};
    EXPECT_NEAR(std::sqrt(Dot(dm, dm)), r, 1e-9);
    EXPECT_NEAR(Dot(dm, axis), 0.0, 1e-9);
}

TEST(CircleFit, ConstrainedCircleKeepsFixedValuesAndIsReentrant)
{
    std::mt19937 rng(51);
    const double up[3] = {0, 0, 1};
    const double centre[3] = {1, 1, 4};
    cCircleFit fit(Circle(rng, centre, up, 3.0, 0.0, 2 * kPi, 0.001, 120));
    double axis[3] = {0.1, 0.0, 1.0};
    double c[3] = {1, 1, 4};
    double r = 2.0;
    const std::uint8_t radiusFixed[7] = {0, 0, 0, 0, 0, 0, 1};
    ASSERT_TRUE(FitConstrainedCircle3D(fit, axis, c, r, radiusFixed));
    EXPECT_EQ(r, 2.0);

    double axis2[3] = {0, 0, 1};
    double c2[3] = {0, 0, 4};
    double r2 = 1.0;
    const std::uint8_t axisFixed[7] = {1, 1, 1, 0, 0, 1, 0};
    ASSERT_TRUE(FitConstrainedCircle3D(fit, axis2, c2, r2, axisFixed));
    EXPECT_EQ(axis2[2], 1.0);
    EXPECT_EQ(c2[2], 4.0);
    EXPECT_NEAR(r2, 3.0, 0.01);
    EXPECT_NEAR(c2[0], 1.0, 0.01);

    // Two fits with different data give the same results whether run in
    // sequence or interleaved: nothing is kept between calls.
    cCircleFit other(Circle(rng, centre, up, 6.0, 0.0, 2 * kPi, 0.0, 120));
    double a3[3] = {0, 0, 1}, c3[3] = {0, 0, 4}, r3 = 1.0;
    ASSERT_TRUE(FitConstrainedCircle3D(other, a3, c3, r3, axisFixed));
    double a4[3] = {0, 0, 1}, c4[3] = {0, 0, 4}, r4 = 1.0;
    ASSERT_TRUE(FitConstrainedCircle3D(fit, a4, c4, r4, axisFixed));
    EXPECT_DOUBLE_EQ(r4, r2);
    EXPECT_NEAR(r3, 6.0, 0.01);
}

} // namespace

TEST(CircleFit, AFarOutCircleIn3DGivesTheCircleItGaveToTheBit)
{
    // A noisy arc far from the origin, every record active and then every
    // fifth one switched off (the plane is then fitted to a copy of them all).
    std::mt19937 rng(77);
    double n[3] = {0.3, -0.5, 0.8};
    Normalise(n);
    const double centre[3] = {1500.0, -800.0, 250.0};
    cCircleFit fit(Circle(rng, centre, n, 30.0, 0.0, 1.2 * kPi, 0.05, 3000));
    const double expected[2][7] = {
        {-0x1.3651a0eb754f6p-2, 0x1.02995b6ec9c6cp-1, -0x1.9dc22be4866f4p-1, 0x1.76ffd58daea02p+10,
         -0x1.900020115845cp+9, 0x1.f4002f2b98ef8p+7, 0x1.e0065d4f0c5abp+4},
        {-0x1.3651a0eb754f6p-2, 0x1.02995b6ec9c6cp-1, -0x1.9dc22be4866f4p-1, 0x1.76ffcca06a4e2p+10,
         -0x1.9000088bb75b3p+9, 0x1.f40084c1782fcp+7, 0x1.e0089a8ee39cap+4}};
    for (int pass = 0; pass < 2; ++pass)
    {
        double axis[3], c[3], r, mean[3], all[3];
        ASSERT_TRUE(FitCircle3D(fit, axis, c, r, mean));
        fit.GetMeanPosition(all);
        for (int k = 0; k < 3; ++k)
        {
            EXPECT_EQ(axis[k], expected[pass][k]) << pass << k;
            EXPECT_EQ(c[k], expected[pass][3 + k]) << pass << k;
            // The mean of every record it hands back, for the arc's ends.
            EXPECT_EQ(mean[k], all[k]) << pass << k;
        }
        EXPECT_EQ(r, expected[pass][6]) << pass;
        for (std::size_t i = 0; i < fit.Points().size(); ++i)
            fit.Points()[i].residual = i % 5 == 0 ? 1.0 : 0.0;
        fit.KeepWithinResidual(0.5);
    }
}
