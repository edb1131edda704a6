#include "fitting/cylinder_fit.h"

#include "fit_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{

using namespace fit_samples;

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Points on a cylinder patch: base point, unit axis, radius, height, angular span.
tFitPointQueue CylinderPoints(std::mt19937& rng, const double base[3], const double axis[3], double radius,
                              double height, double span, double noise, int count)
{
    std::uniform_real_distribution<double> angle(0.0, span), along(0.0, height);
    std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
    double u[3], v[3];
    Basis(axis, u, v);
    tFitPointQueue q;
    for (int i = 0; i < count; ++i)
    {
        const double t = angle(rng), h = along(rng), r = radius + (noise > 0 ? gauss(rng) : 0.0);
        double p[3], n[3];
        for (int k = 0; k < 3; ++k)
        {
            n[k] = std::cos(t) * u[k] + std::sin(t) * v[k];
            p[k] = base[k] + h * axis[k] + r * n[k];
        }
        q.push_back(Point(p, n));
    }
    return q;
}

// Distance of point q from the line (o, a).
double LineDistance(const double q[3], const double o[3], const double a[3])
{
    double d[3] = {q[0] - o[0], q[1] - o[1], q[2] - o[2]};
    const double t = Dot(d, a);
    for (int k = 0; k < 3; ++k)
        d[k] -= t * a[k];
    return std::sqrt(Dot(d, d));
}

struct CylinderCase
{
    double axis[3];
    double spanDegrees;
    double noise;
};

TEST(CylinderFit, RecoversAxisRadiusAndExtentAtAnyOrientation)
{
    std::mt19937 rng(61);
    const CylinderCase cases[] = {
        {{0, 0, 1}, 360, 0.0},   {{1, 0, 0}, 180, 0.005}, {{1, 2, 3}, 360, 0.005},
        {{-2, 1, 0.5}, 120, 0.0}, {{0.3, 0.3, 1}, 90, 0.002}, {{1, 2, 3}, 60, 0.0},
        {{1, 2, 3}, 60, 0.002},   {{0, 1, 0}, 60, 0.002},  {{0.3, -0.5, 1}, 60, 0.001},
    };
    for (const CylinderCase& c : cases)
    {
        double axis[3] = {c.axis[0], c.axis[1], c.axis[2]};
        Normalise(axis);
        const double base[3] = {2.0, -1.0, 3.0};
        cCylinderFit fit(CylinderPoints(rng, base, axis, 5.0, 20.0, c.spanDegrees * kPi / 180, c.noise, 600));
        double point[3], direction[3], radius;
        ASSERT_TRUE(fit.Estimate(point, direction, radius)) << c.spanDegrees;
        ASSERT_TRUE(fit.Optimise(point, direction, radius, 1e-5, 1000));
        // The narrower the arc, the more the noise moves the axis.
        const double spread = c.noise * (360 / c.spanDegrees);
        const double angleTolerance = 1e-4 + 0.05 * spread;
        const double lengthTolerance = 1e-4 + 0.5 * spread;
        EXPECT_LT(std::acos(std::min(1.0, std::fabs(Dot(direction, axis)))), angleTolerance) << c.spanDegrees;
        EXPECT_NEAR(Dot(direction, direction), 1.0, 1e-12);
        EXPECT_NEAR(radius, 5.0, lengthTolerance) << c.spanDegrees;
        EXPECT_LT(LineDistance(base, point, direction), lengthTolerance) << c.spanDegrees;

        const double length = fit.GetAxisExtent(point, direction, 0.0);
        EXPECT_NEAR(length, 20.0, 0.5);
        // The axis point sits at the lowest projection of the points.
        double lowest = 1e300;
        for (const stFitPoint& p : fit.Points())
        {
            const double q[3] = {p.position[0], p.position[1], p.position[2]};
            lowest = std::min(lowest, Dot(q, direction));
        }
        EXPECT_NEAR(Dot(point, direction), lowest, 1e-6);
    }
}

TEST(CylinderFit, WideCylindersGetTheirAxisFromTheEstimate)
{
    // Radius 50 (a scan in millimetres): the quadric's coefficients are tiny,
    // yet the estimate reads the tilted axis from them rather than falling
    // back to a coordinate axis 37 degrees away.
    std::mt19937 rng(66);
    double axis[3] = {1, 2, 3};
    Normalise(axis);
    const double base[3] = {10.0, 10.0, 10.0};
    for (double spanDegrees : {360.0, 120.0})
    {
        cCylinderFit fit(CylinderPoints(rng, base, axis, 50.0, 200.0, spanDegrees * kPi / 180, 0.05, 2000));
        double point[3], direction[3], radius;
        ASSERT_TRUE(fit.Estimate(point, direction, radius));
        EXPECT_LT(std::acos(std::min(1.0, std::fabs(Dot(direction, axis)))), 0.02) << spanDegrees;
        EXPECT_NEAR(radius, 50.0, 0.5) << spanDegrees;
        ASSERT_TRUE(fit.Optimise(point, direction, radius, 1e-5, 1000));
        EXPECT_NEAR(radius, 50.0, 0.05) << spanDegrees;
        EXPECT_LT(LineDistance(base, point, direction), 0.05) << spanDegrees;
    }
}

TEST(CylinderFit, AFewOutliersOnlyNudgeTheCylinder)
{
    // One point in a hundred scattered inside the cylinder: the least-squares
    // fit still finds it, moved by no more than the outliers' weight.
    std::mt19937 rng(65);
    double axis[3] = {1, 2, 3};
    Normalise(axis);
    const double base[3] = {2.0, -1.0, 3.0};
    tFitPointQueue q = CylinderPoints(rng, base, axis, 5.0, 20.0, 2 * kPi, 0.002, 600);
    std::uniform_real_distribution<double> junk(-3, 3);
    for (int i = 0; i < 6; ++i)
    {
        double p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = base[k] + 10 * axis[k] + junk(rng);
        q.push_back(Point(p, axis));
    }
    cCylinderFit fit(q);
    double point[3], direction[3], radius;
    ASSERT_TRUE(fit.Estimate(point, direction, radius));
    ASSERT_TRUE(fit.Optimise(point, direction, radius, 1e-5, 1000));
    EXPECT_LT(std::acos(std::min(1.0, std::fabs(Dot(direction, axis)))), 5e-3);
    EXPECT_NEAR(radius, 5.0, 0.1);
    EXPECT_LT(LineDistance(base, point, direction), 0.05);
}

TEST(CylinderFit, MarginGrowsTheExtentHalfBelowTheLowestPoint)
{
    std::mt19937 rng(62);
    const double axis[3] = {0, 0, 1};
    const double base[3] = {0, 0, 10};
    cCylinderFit fit(CylinderPoints(rng, base, axis, 1.0, 4.0, 2 * kPi, 0.0, 200));
    double point[3] = {0, 0, 0};
    double lowest = 1e300, highest = -1e300;
    for (const stFitPoint& p : fit.Points())
    {
        lowest = std::min(lowest, double(p.position[2]));
        highest = std::max(highest, double(p.position[2]));
    }
    const double span = highest - lowest;
    const double length = fit.GetAxisExtent(point, axis, 0.5);
    EXPECT_NEAR(length, 1.5 * span, 1e-9);
    EXPECT_NEAR(point[2], lowest - 0.25 * span, 1e-9);

    cCylinderFit empty{tFitPointQueue{}};
    double untouched[3] = {1, 2, 3};
    EXPECT_EQ(empty.GetAxisExtent(untouched, axis, 1.0), 0.0);
    EXPECT_EQ(untouched[2], 3.0);
}

TEST(CylinderFit, TooFewOrDegeneratePointsFailWithoutNaN)
{
    std::mt19937 rng(63);
    const double axis[3] = {0, 1, 0};
    const double base[3] = {0, 0, 0};
    double point[3] = {7, 7, 7}, direction[3] = {7, 7, 7}, radius = 7;
    cCylinderFit few(CylinderPoints(rng, base, axis, 2.0, 3.0, 2 * kPi, 0.0, 8));
    EXPECT_FALSE(few.Estimate(point, direction, radius));
    EXPECT_EQ(point[0], 7.0);

    // A flat patch is no cylinder: whatever the estimate does, it never
    // reports a non-finite shape.
    const double up[3] = {0, 0, 1};
    cCylinderFit flat(Plane(rng, base, up, 5.0, 0.0, 100));
    if (flat.Estimate(point, direction, radius))
    {
        EXPECT_TRUE(std::isfinite(radius));
        EXPECT_TRUE(std::isfinite(point[0]) && std::isfinite(direction[0]));
    }
    tFitPointQueue same(20, Point(base, up));
    cCylinderFit coincident(same);
    double p2[3] = {1, 1, 1}, d2[3] = {1, 0, 0}, r2 = 1;
    EXPECT_FALSE(coincident.Estimate(p2, d2, r2));
}

TEST(CylinderFit, ConstrainedFitKeepsFixedValues)
{
    std::mt19937 rng(64);
    const double axis[3] = {0, 0, 1};
    const double base[3] = {1, 2, 0};
    cCylinderFit fit(CylinderPoints(rng, base, axis, 3.0, 10.0, 2 * kPi, 0.002, 400));

    // Direction fixed: the circle across the axis seeds the fit.
    double point[3] = {0, 0, 0}, direction[3] = {0, 0, 1}, radius = 1.0;
    const std::uint8_t directionFixed[7] = {0, 0, 0, 1, 1, 0, 1};
    ASSERT_TRUE(FitConstrainedCylinder(fit, point, direction, radius, directionFixed));
    EXPECT_EQ(direction[2], 1.0);
    EXPECT_EQ(point[2], 0.0) << "a fixed axis point coordinate keeps its value";
    EXPECT_NEAR(radius, 3.0, 0.01);
    EXPECT_NEAR(point[0], 1.0, 0.01);
    EXPECT_NEAR(point[1], 2.0, 0.01);

    // Radius fixed at a wrong value stays.
    double p2[3] = {1, 2, 0}, d2[3] = {0.1, 0, 1}, r2 = 2.5;
    const std::uint8_t radiusFixed[7] = {1, 1, 1, 1, 1, 1, 0};
    ASSERT_TRUE(FitConstrainedCylinder(fit, p2, d2, r2, radiusFixed));
    EXPECT_EQ(r2, 2.5);
    EXPECT_NEAR(Dot(d2, d2), 1.0, 1e-9);
    EXPECT_NEAR(std::fabs(d2[2]), 1.0, 1e-3) << "the axis still follows the points";

    // Nothing open: the given values stand.
    double p3[3] = {5, 5, 5}, d3[3] = {0, 0, 2}, r3 = 9;
    const std::uint8_t none[7] = {0, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(FitConstrainedCylinder(fit, p3, d3, r3, none));
    EXPECT_EQ(p3[0], 5.0);
    EXPECT_EQ(r3, 9.0);
    EXPECT_EQ(d3[2], 1.0);
}

} // namespace
