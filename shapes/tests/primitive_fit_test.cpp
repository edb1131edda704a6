#include "shapes/analytic_primitives.h"

#include "fitting/fit_container.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>

namespace
{

stFitPoint Point(double x, double y, double z)
{
    stFitPoint p;
    p.position[0] = static_cast<float>(x);
    p.position[1] = static_cast<float>(y);
    p.position[2] = static_cast<float>(z);
    return p;
}

} // namespace

TEST(PrimitiveFit, SphereFitsNoisySamples)
{
    std::mt19937 rng(21);
    std::normal_distribution<double> g(0.0, 1.0), noise(0.0, 0.01);
    const double c[3] = {10.0, -4.0, 2.5}, r = 7.0;
    tFitPointQueue points;
    for (int i = 0; i < 2000; ++i)
    {
        double v[3] = {g(rng), g(rng), std::fabs(g(rng))}; // a hemisphere
        const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        const double rr = r + noise(rng);
        points.push_back(Point(c[0] + rr * v[0] / l, c[1] + rr * v[1] / l, c[2] + rr * v[2] / l));
    }
    cSphere s;
    double rms = 0.0;
    ASSERT_TRUE(s.FitToPoints(points, &rms));
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(s.centre[i], c[i], 0.005);
    EXPECT_NEAR(s.radius, r, 0.005);
    EXPECT_NEAR(rms, 0.01, 0.002);
    ASSERT_TRUE(s.FitToPoints(points, nullptr)); // the RMS is optional
}

TEST(PrimitiveFit, SphereNeedsFourPointsAndStaysUnchangedOtherwise)
{
    tFitPointQueue points = {Point(1, 0, 0), Point(0, 1, 0), Point(-1, 0, 0)};
    cSphere s;
    s.radius = 3.0;
    double rms = 0.0;
    EXPECT_FALSE(s.FitToPoints(points, &rms));
    EXPECT_EQ(s.radius, 3.0);
    EXPECT_EQ(rms, FLT_MAX);
}

TEST(PrimitiveFit, PlaneFitsNoisySamplesAndItsPatchCoversThem)
{
    std::mt19937 rng(4);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::normal_distribution<double> noise(0.0, 0.001);
    // The plane z = 0.5 x + 3 over x in [-4, 4], y in [-1, 1].
    double n[3] = {-0.5, 0.0, 1.0};
    const double nl = std::sqrt(1.25);
    for (double& v : n)
        v /= nl;
    tFitPointQueue points;
    for (int i = 0; i < 1000; ++i)
    {
        const double x = 4 * u(rng), y = u(rng);
        points.push_back(Point(x, y, 0.5 * x + 3 + noise(rng)));
    }
    cPlane p;
    double rms = 0.0;
    ASSERT_TRUE(p.FitToPoints(points, &rms));
    EXPECT_NEAR(std::fabs(p.normal[0] * n[0] + p.normal[1] * n[1] + p.normal[2] * n[2]), 1.0, 1e-5);
    EXPECT_NEAR(rms, 0.001 / nl, 0.0003);
    EXPECT_NEAR(p.d, -(p.normal[0] * p.origin[0] + p.normal[1] * p.origin[1] + p.normal[2] * p.origin[2]), 1e-12);
    EXPECT_TRUE(IsPlaneValid(p));
    // The patch holds every point's projection.
    double y[3] = {p.normal[1] * p.xAxis[2] - p.normal[2] * p.xAxis[1], p.normal[2] * p.xAxis[0] - p.normal[0] * p.xAxis[2],
                   p.normal[0] * p.xAxis[1] - p.normal[1] * p.xAxis[0]};
    for (const stFitPoint& q : points)
    {
        double v[3] = {q.position[0] - p.origin[0], q.position[1] - p.origin[1], q.position[2] - p.origin[2]};
        EXPECT_LE(std::fabs(v[0] * p.xAxis[0] + v[1] * p.xAxis[1] + v[2] * p.xAxis[2]), p.halfWidth + 1e-9);
        EXPECT_LE(std::fabs(v[0] * y[0] + v[1] * y[1] + v[2] * y[2]), p.halfHeight + 1e-9);
    }
}

TEST(PrimitiveFit, PlaneThroughThreePointsHasZeroRms)
{
    tFitPointQueue points = {Point(0, 0, 1), Point(2, 0, 1), Point(0, 3, 1)};
    cPlane p;
    double rms = 1.0;
    ASSERT_TRUE(p.FitToPoints(points, &rms));
    EXPECT_NEAR(rms, 0.0, 1e-7);
    EXPECT_NEAR(std::fabs(p.normal[2]), 1.0, 1e-7);
    EXPECT_NEAR(p.origin[2], 1.0, 1e-7);
    tFitPointQueue collinear = {Point(0, 0, 0), Point(1, 1, 1), Point(2, 2, 2)};
    cPlane q;
    EXPECT_FALSE(q.FitToPoints(collinear, &rms));
    EXPECT_EQ(rms, FLT_MAX);
    EXPECT_EQ(q.normal[2], 0.0);
}
