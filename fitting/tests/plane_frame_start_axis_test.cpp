// The plane's rectangle frame when the normal lies along the points' middle
// principal axis, as a plane fitted to a tube or a disc can: the frame must
// still lie in the plane and bound the points, and the fit over a whole tube
// must answer a plane.
#include "fitting/fit_drivers.h"
#include "fitting/plane_fit.h"

#include "fit_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{

using namespace fit_samples;

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// A lattice filling a box of half sizes 30, 20 and 10 along three tilted
// orthonormal directions a, b, c around a centre far from the origin, so its
// principal axes are a (largest), b (middle) and c (smallest).
struct Box
{
    double a[3], b[3], c[3];
    double centre[3] = {-420.0, 910.0, 275.0};
    tFitPointQueue points;
    double mean[3] = {0, 0, 0};
    double scatter[6] = {0, 0, 0, 0, 0, 0}; // xx, xy, xz, yy, yz, zz

    explicit Box(const double along[3])
    {
        std::copy(along, along + 3, a);
        Normalise(a);
        Basis(a, b, c);
        for (int i = -6; i <= 6; ++i)
            for (int j = -4; j <= 4; ++j)
                for (int k = -2; k <= 2; ++k)
                {
                    double p[3];
                    for (int m = 0; m < 3; ++m)
                        p[m] = centre[m] + 5.0 * (i * a[m] + j * b[m] + k * c[m]);
                    points.push_back(Point(p, b));
                }
        const double n = double(points.size());
        for (const stFitPoint& p : points)
            for (int m = 0; m < 3; ++m)
                mean[m] += p.position[m] / n;
        for (const stFitPoint& p : points)
        {
            const double d[3] = {p.position[0] - mean[0], p.position[1] - mean[1], p.position[2] - mean[2]};
            scatter[0] += d[0] * d[0], scatter[1] += d[0] * d[1], scatter[2] += d[0] * d[2];
            scatter[3] += d[1] * d[1], scatter[4] += d[1] * d[2], scatter[5] += d[2] * d[2];
        }
    }
};

void ExpectFrameInThePlaneAroundTheBox(const Box& box, const double origin[3], const double u[3], double hu,
                                       const double v[3], double hv)
{
    EXPECT_NEAR(Dot(u, u), 1.0, 1e-9);
    EXPECT_NEAR(Dot(v, v), 1.0, 1e-9);
    EXPECT_NEAR(Dot(u, v), 0.0, 1e-9);
    EXPECT_NEAR(Dot(u, box.b), 0.0, 1e-9);
    EXPECT_NEAR(Dot(v, box.b), 0.0, 1e-9);
    // The plane holds the box's a-c section: half extents 30 and 10, with
    // the rectangle's sides along a and c.
    // The points are held in floats, a metre from the origin.
    EXPECT_NEAR(std::max(hu, hv), 30.0, 1e-4);
    EXPECT_NEAR(std::min(hu, hv), 10.0, 1e-4);
    const double* longer = hu > hv ? u : v;
    EXPECT_NEAR(std::fabs(Dot(longer, box.a)), 1.0, 1e-9);
    for (int m = 0; m < 3; ++m)
        EXPECT_NEAR(origin[m], box.centre[m], 1e-4);
}

TEST(PlaneFrameStartAxis, ANormalAlongTheMiddleAxisStillFramesThePoints)
{
    const double directions[][3] = {{1, 0, 0}, {0.3, 0.5, 0.81}, {-0.7, 0.2, -0.4}};
    for (const auto& along : directions)
    {
        const Box box(along);
        cPlaneFit fit(box.points);
        const double offset = -Dot(box.b, box.centre);
        double origin[3], u[3], v[3], hu = 0, hv = 0;
        ASSERT_TRUE(fit.BuildFrame(box.b, offset, box.mean, box.scatter, origin, u, hu, v, hv, 0.0))
            << "from the caller's scatter";
        ExpectFrameInThePlaneAroundTheBox(box, origin, u, hu, v, hv);
        ASSERT_TRUE(fit.BuildFrame(box.b, offset, origin, u, hu, v, hv, 0.0)) << "from the fit's own axes";
        ExpectFrameInThePlaneAroundTheBox(box, origin, u, hu, v, hv);
    }
}

TEST(PlaneFrameStartAxis, APlaneFitsEveryWholeTube)
{
    // A tube as tall as it is wide spreads nearly alike along every
    // direction, so which axis comes out as the middle one is rounding's.
    std::mt19937 rng(42);
    for (const auto& direction : TestDirections(rng, 6))
        for (double height : {20.0 * std::sqrt(6.0), 50.0, 60.0})
        {
            const double axis[3] = {direction[0], direction[1], direction[2]};
            const double base[3] = {-40.0, 80.0, 900.0};
            const cFitContainer tube(Cylinder(rng, base, axis, 20.0, height, 0.0, 2.0 * kPi, 0.01, 600));
            tPlane<double> plane;
            double rms = 0.0;
            ASSERT_TRUE(FitPlane(tube, plane, rms, false, 0.0)) << "height " << height;
            EXPECT_NEAR(Dot(plane.normal, plane.normal), 1.0, 1e-9);
            EXPECT_NEAR(Dot(plane.xAxis, plane.normal), 0.0, 1e-9);
            EXPECT_GT(plane.halfWidth, 15.0);
            EXPECT_GT(plane.halfHeight, 15.0);
        }
}

} // namespace
