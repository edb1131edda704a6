// Accuracy of every fit on generated scans of known shapes: every axis
// direction a user meets (coordinate axes, coordinate-plane diagonals,
// random ones), sizes from 1e-3 to 1e4, parts near the origin and far from
// it, Gaussian noise of 0.1% and 1% of the size, short arcs and, for the
// fits that claim it, 10% gross outliers. Each recovered parameter must lie
// within a bound derived from the noise; degenerate input must be reported
// as a failure. Seeds are fixed, so a failure reproduces.
#include "fitting/circle_fit.h"
#include "fitting/cylinder_fit.h"
#include "fitting/fit_drivers.h"
#include "fitting/line_fit.h"
#include "fitting/plane_fit.h"
#include "fitting/sphere_fit.h"
#include "fitting/symmetry_plane_fit.h"

#include "core/mesh.h"
#include "core/tests/support/geometry_scene_object.h"
#include "fit_samples.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace
{

using namespace fit_samples;

// Where parts lie: their size, and the offset of their centre from the
// origin (a few sizes away, or a millimetre part two metres out).
struct Placement
{
    double size;
    double offset[3];
};

constexpr Placement kPlacements[] = {
    {1e-3, {2e-3, -1e-3, 3e-3}},
    {1.0, {0.5, 2.0, -1.0}},
    {5.0, {1000.0, 1500.0, -800.0}},
    {1e4, {3e4, -2e4, 1e4}},
};

constexpr double kNoiseLevels[] = {1e-3, 1e-2};

std::string Describe(const Placement& at, double noise, const double direction[3], double span = 0.0)
{
    std::ostringstream s;
    s << "size " << at.size << " at (" << at.offset[0] << ", " << at.offset[1] << ", " << at.offset[2]
      << "), noise " << noise << ", direction (" << direction[0] << ", " << direction[1] << ", "
      << direction[2] << ")";
    if (span > 0.0)
        s << ", arc " << span * 180.0 / kPi << " degrees";
    return s.str();
}

double Dot3(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Root mean square of the deviations of the points from a shape, given as
// a distance function.
template <class DistanceTo> double RmsOf(const tFitPointQueue& q, DistanceTo distance)
{
    double sum = 0.0;
    for (const stFitPoint& p : q)
    {
        double x[3];
        FitPointPosition(p, x);
        const double e = distance(x);
        sum += e * e;
    }
    return std::sqrt(sum / double(q.size()));
}

TEST(FitAccuracy, LinesInEveryDirection)
{
    std::mt19937 rng(101);
    for (const Placement& at : kPlacements)
        for (double level : kNoiseLevels)
            for (const auto& d : TestDirections(rng))
            {
                const double sigma = level * at.size;
                SCOPED_TRACE(Describe(at, sigma, d.data()));
                const double length = at.size;
                double start[3];
                for (int k = 0; k < 3; ++k)
                    start[k] = at.offset[k] - 0.5 * length * d[k];
                const cLineFit fit(Line(rng, start, d.data(), length, sigma, 200));
                double origin[3], direction[3];
                ASSERT_TRUE(fit.Fit(origin, direction));
                EXPECT_LT(LineAngle(direction, d.data()), 2.0 * sigma / length);
                EXPECT_LT(DistanceFromLine(at.offset, origin, direction), 0.5 * sigma);
            }
}

TEST(FitAccuracy, CirclesInTheXYPlaneOnFullAndShortArcs)
{
    std::mt19937 rng(102);
    const double up[3] = {0, 0, 1};
    for (const Placement& at : kPlacements)
        for (double level : kNoiseLevels)
            for (double span : {2.0 * kPi, kPi, kPi / 3.0})
            {
                const double radius = 0.5 * at.size, sigma = level * at.size;
                SCOPED_TRACE(Describe(at, sigma, up, span));
                cCircleFit fit(Circle(rng, at.offset, up, radius, 0.3, 0.3 + span, sigma, 300));
                double centre[3], r;
                ASSERT_TRUE(fit.Fit(centre, r));
                ASSERT_TRUE(fit.Refine(centre, r));
                // Short arcs leave the radius and the centre along the arc's
                // bisector loosely determined.
                const double slack = span < kPi ? 6.0 : 1.0;
                EXPECT_NEAR(r, radius, slack * sigma);
                const double c[3] = {centre[0], centre[1], at.offset[2]};
                EXPECT_LT(Distance(c, at.offset), slack * sigma);
            }
}

TEST(FitAccuracy, CirclesInSpaceAndTheirConstrainedRefinement)
{
    std::mt19937 rng(103);
    for (const Placement& at : kPlacements)
        for (double level : kNoiseLevels)
            for (const auto& n : TestDirections(rng))
                for (double span : {2.0 * kPi, kPi / 3.0})
                {
                    const double radius = 0.5 * at.size, sigma = level * at.size;
                    SCOPED_TRACE(Describe(at, sigma, n.data(), span));
                    const tFitPointQueue q = Circle(rng, at.offset, n.data(), radius, 0.0, span, sigma, 200);
                    const double slack = span < kPi ? 15.0 : 1.0;
                    {
                        cCircleFit fit(q);
                        double axis[3], centre[3], r;
                        ASSERT_TRUE(FitCircle3D(fit, axis, centre, r));
                        ASSERT_TRUE(RefineCircleInFrame(fit, axis, centre, centre, r));
                        EXPECT_LT(LineAngle(axis, n.data()), 4.0 * sigma / radius);
                        EXPECT_NEAR(r, radius, slack * sigma);
                        EXPECT_LT(Distance(centre, at.offset), slack * sigma);
                    }
                    // Everything open, from the true circle with its axis
                    // tilted by 5 degrees: the distance in space has its
                    // minimum at the true axis.
                    {
                        cCircleFit fit(q);
                        double u[3], v[3];
                        Basis(n.data(), u, v);
                        const double tilt = 5.0 * kPi / 180.0;
                        double axis[3], centre[3], r = radius;
                        for (int k = 0; k < 3; ++k)
                        {
                            axis[k] = std::cos(tilt) * n[k] + std::sin(tilt) * u[k];
                            centre[k] = at.offset[k];
                        }
                        const std::uint8_t allOpen[7] = {0, 0, 0, 0, 0, 0, 0};
                        ASSERT_TRUE(FitConstrainedCircle3D(fit, axis, centre, r, allOpen));
                        EXPECT_LT(LineAngle(axis, n.data()), 4.0 * sigma / radius);
                        EXPECT_NEAR(r, radius, slack * sigma);
                    }
                    // The axis alone, about the true centre and radius.
                    {
                        cCircleFit fit(q);
                        double u[3], v[3];
                        Basis(n.data(), u, v);
                        const double tilt = 5.0 * kPi / 180.0;
                        double axis[3], centre[3] = {at.offset[0], at.offset[1], at.offset[2]}, r = radius;
                        for (int k = 0; k < 3; ++k)
                            axis[k] = std::cos(tilt) * n[k] + std::sin(tilt) * v[k];
                        const std::uint8_t axisOpen[7] = {0, 0, 0, 1, 1, 1, 1};
                        ASSERT_TRUE(FitConstrainedCircle3D(fit, axis, centre, r, axisOpen));
                        EXPECT_LT(LineAngle(axis, n.data()), 4.0 * sigma / radius);
                        EXPECT_EQ(r, radius);
                    }
                }
}

TEST(FitAccuracy, ArcsAboutAGivenAxisAndAboutASphereAxis)
{
    std::mt19937 rng(104);
    for (const Placement& at : kPlacements)
        for (double level : kNoiseLevels)
            for (const auto& n : TestDirections(rng, 1))
            {
                const double radius = 0.5 * at.size, sigma = level * at.size;
                SCOPED_TRACE(Describe(at, sigma, n.data()));
                // A 90-degree arc across the given axis.
                const tFitPointQueue arc =
                    Circle(rng, at.offset, n.data(), radius, 0.0, 0.5 * kPi, sigma, 150);
                double s[3], m[3], e[3];
                ASSERT_TRUE(FitArcInAxisPlane(cFitContainer(arc), n.data(), at.offset, s, m, e));
                for (const double* p : {s, m, e})
                {
                    const double w[3] = {p[0] - at.offset[0], p[1] - at.offset[1], p[2] - at.offset[2]};
                    EXPECT_NEAR(Distance(p, at.offset), radius, 6.0 * sigma);
                    EXPECT_LT(std::fabs(Dot3(w, n.data())), 6.0 * sigma);
                }
                // A band of latitude of a sphere, 20 degrees wide, about n;
                // p0 the centre of its middle circle, on the sphere's axis.
                const double sphereRadius = 0.5 * at.size, polar = std::acos(0.6);
                const double ringRadius = 0.8 * sphereRadius, height = 0.6 * sphereRadius;
                double u[3], v[3];
                Basis(n.data(), u, v);
                std::uniform_real_distribution<double> band(polar - 10.0 * kPi / 180.0,
                                                            polar + 10.0 * kPi / 180.0);
                std::uniform_real_distribution<double> turn(0.0, 2.0 * kPi);
                std::normal_distribution<double> gauss(0.0, sigma);
                tFitPointQueue ring;
                for (int i = 0; i < 200; ++i)
                {
                    const double t = band(rng), phi = turn(rng), r = sphereRadius + gauss(rng);
                    double p[3], dir[3];
                    for (int k = 0; k < 3; ++k)
                    {
                        dir[k] =
                            std::cos(t) * n[k] + std::sin(t) * (std::cos(phi) * u[k] + std::sin(phi) * v[k]);
                        p[k] = at.offset[k] - height * n[k] + r * dir[k];
                    }
                    ring.push_back(Point(p, dir));
                }
                double axis[3];
                ASSERT_TRUE(FitArcAboutSphereAxis(cFitContainer(ring), axis, at.offset, s, m, e));
                EXPECT_LT(LineAngle(axis, n.data()), 10.0 * sigma / height);
                for (const double* p : {s, m, e})
                    EXPECT_NEAR(Distance(p, at.offset), ringRadius, 0.05 * ringRadius);
            }
}

TEST(FitAccuracy, PlanesAndPlanesWithAFixedNormalComponent)
{
    std::mt19937 rng(105);
    for (const Placement& at : kPlacements)
        for (double level : kNoiseLevels)
            for (const auto& n : TestDirections(rng))
            {
                const double sigma = level * at.size;
                SCOPED_TRACE(Describe(at, sigma, n.data()));
                const tFitPointQueue q = Plane(rng, at.offset, n.data(), 0.5 * at.size, sigma, 300);
                tPlane<double> plane;
                double rms = 0.0;
                ASSERT_TRUE(FitPlane(cFitContainer(q), plane, rms, false, 0.0));
                EXPECT_LT(LineAngle(plane.normal, n.data()), 1.0 * sigma / at.size);
                EXPECT_LT(std::fabs(Dot3(plane.normal, at.offset) + plane.d), 0.5 * sigma);
                EXPECT_GT(rms, 0.8 * sigma);
                EXPECT_LT(rms, 1.2 * sigma);
                // The largest component held at its true value.
                int big = 0;
                for (int k = 1; k < 3; ++k)
                    if (std::fabs(n[k]) > std::fabs(n[big]))
                        big = k;
                cPlaneFit fit(q);
                double normal[3] = {n[0], n[1], n[2]}, offset = 0.0;
                std::uint8_t open[4] = {1, 1, 1, 1};
                open[big] = 0;
                ASSERT_TRUE(FitConstrainedPlane(fit, normal, offset, open));
                EXPECT_NEAR(normal[big], n[big], 1e-12);
                EXPECT_LT(LineAngle(normal, n.data()), 1.0 * sigma / at.size);
                EXPECT_LT(std::fabs(Dot3(normal, at.offset) + offset), 0.5 * sigma);
            }
}

TEST(FitAccuracy, SpheresAndCapsWithAndWithoutAFixedRadius)
{
    std::mt19937 rng(106);
    for (const Placement& at : kPlacements)
        for (double level : kNoiseLevels)
            for (double cap : {kPi, 0.5 * kPi, kPi / 3.0})
            {
                const double radius = 0.5 * at.size, sigma = level * at.size;
                const double up[3] = {0, 0, 1};
                SCOPED_TRACE(Describe(at, sigma, up, cap));
                const tFitPointQueue q = Sphere(rng, at.offset, radius, cap, sigma, 300);
                const double slack = cap < 0.5 * kPi ? 6.0 : 1.0;
                tSphere<double> sphere;
                double rms = 0.0;
                ASSERT_TRUE(FitSphere(cFitContainer(q), sphere, rms));
                EXPECT_NEAR(sphere.radius, radius, slack * sigma);
                EXPECT_LT(Distance(sphere.centre, at.offset), slack * sigma);
                EXPECT_GT(rms, 0.8 * sigma);
                EXPECT_LT(rms, 1.2 * sigma);

                const cSphereFit fit(q);
                double centre[3] = {sphere.centre[0] + 0.1 * radius, sphere.centre[1], sphere.centre[2]};
                double r = radius;
                const std::uint8_t centreOpen[4] = {1, 1, 1, 0};
                ASSERT_TRUE(fit.RefineConstrained(centre, r, centreOpen));
                EXPECT_EQ(r, radius);
                EXPECT_LT(Distance(centre, at.offset), slack * sigma);
            }
}

TEST(FitAccuracy, CylindersAlongEveryAxisOnFullAndShortArcs)
{
    std::mt19937 rng(107);
    for (const Placement& at : kPlacements)
        for (double level : kNoiseLevels)
            for (const auto& a : TestDirections(rng))
                for (double span : {2.0 * kPi, kPi / 3.0})
                {
                    const double radius = 0.5 * at.size, height = at.size, sigma = level * at.size;
                    SCOPED_TRACE(Describe(at, sigma, a.data(), span));
                    double base[3];
                    for (int k = 0; k < 3; ++k)
                        base[k] = at.offset[k] - 0.5 * height * a[k];
                    const tFitPointQueue q =
                        Cylinder(rng, base, a.data(), radius, height, 0.0, span, sigma, 300);
                    const double slack = span < kPi ? 10.0 : 1.0;
                    tCylinder<double> cylinder;
                    double rms = 0.0;
                    ASSERT_TRUE(FitCylinder(cFitContainer(q), cylinder, rms, 0.0));
                    EXPECT_LT(LineAngle(cylinder.axis, a.data()), slack * 4.0 * sigma / radius);
                    EXPECT_NEAR(cylinder.radius, radius, slack * sigma);
                    EXPECT_LT(DistanceFromLine(at.offset, cylinder.axisPoint, cylinder.axis), slack * sigma);
                    EXPECT_GT(rms, 0.8 * sigma);
                    EXPECT_LT(rms, 1.2 * sigma);
                    EXPECT_NEAR(cylinder.height, height, 0.05 * height);
                }
}

TEST(FitAccuracy, ConstrainedCylindersKeepWhatIsFixed)
{
    std::mt19937 rng(108);
    for (const Placement& at : kPlacements)
        for (const auto& a : TestDirections(rng, 1))
        {
            const double radius = 0.5 * at.size, height = at.size, sigma = 1e-3 * at.size;
            SCOPED_TRACE(Describe(at, sigma, a.data()));
            double base[3];
            for (int k = 0; k < 3; ++k)
                base[k] = at.offset[k] - 0.5 * height * a[k];
            const tFitPointQueue q = Cylinder(rng, base, a.data(), radius, height, 0.0, kPi, sigma, 300);
            // The direction fixed: the circle across it gives the rest.
            {
                cCylinderFit fit(q);
                double point[3] = {0, 0, 0}, direction[3] = {a[0], a[1], a[2]}, r = 0.0;
                const std::uint8_t open[7] = {0, 0, 0, 1, 1, 1, 1};
                ASSERT_TRUE(FitConstrainedCylinder(fit, point, direction, r, open));
                EXPECT_LT(LineAngle(direction, a.data()), 1e-9);
                EXPECT_NEAR(r, radius, sigma);
                EXPECT_LT(DistanceFromLine(at.offset, point, a.data()), sigma);
            }
            // The radius fixed, everything else open.
            {
                cCylinderFit fit(q);
                double point[3] = {0, 0, 0}, direction[3] = {0, 0, 1}, r = radius;
                const std::uint8_t open[7] = {1, 1, 1, 1, 1, 1, 0};
                ASSERT_TRUE(FitConstrainedCylinder(fit, point, direction, r, open));
                EXPECT_EQ(r, radius);
                EXPECT_LT(LineAngle(direction, a.data()), 4.0 * sigma / radius);
                EXPECT_LT(DistanceFromLine(at.offset, point, direction), sigma);
            }
        }
}

// Circles in the XY plane with 10% of the points moved far off: both
// outlier-resistant fits must find the circle and switch off the outliers
// but not the good points, whatever the size.
TEST(FitAccuracy, RobustCirclesIgnoreOutliersAtEveryScale)
{
    std::mt19937 rng(109);
    const double up[3] = {0, 0, 1};
    for (const Placement& at : kPlacements)
        for (double level : kNoiseLevels)
            for (int outliers : {0, 30})
            {
                const double radius = 0.5 * at.size, sigma = level * at.size;
                SCOPED_TRACE(Describe(at, sigma, up) + (outliers ? ", with outliers" : ""));
                tFitPointQueue q = Circle(rng, at.offset, up, radius, 0.0, 2.0 * kPi, sigma, 300);
                // Radial moves of 0.2 to 0.6 radii, in or out: gross, but
                // near enough to pull a plain fit off.
                std::uniform_int_distribution<std::size_t> pick(0, q.size() - 1);
                std::uniform_real_distribution<double> length(0.2 * radius, 0.6 * radius);
                std::vector<bool> moved(q.size(), false);
                for (int i = 0; i < outliers; ++i)
                {
                    std::size_t j = pick(rng);
                    while (moved[j])
                        j = pick(rng);
                    moved[j] = true;
                    const double du = q[j].position[0] - at.offset[0], dv = q[j].position[1] - at.offset[1];
                    const double l = (i % 2 ? 1.0 : -1.0) * length(rng) / std::sqrt(du * du + dv * dv);
                    q[j].position[0] = static_cast<float>(q[j].position[0] + l * du);
                    q[j].position[1] = static_cast<float>(q[j].position[1] + l * dv);
                }
                for (int variant = 0; variant < 2; ++variant)
                {
                    SCOPED_TRACE(variant == 0 ? "trimming" : "consensus");
                    cCircleFit fit(q);
                    double centre[3] = {0, 0, 0}, r = 0.0;
                    ASSERT_TRUE(variant == 0 ? fit.FitRobust(centre, r, sigma)
                                             : fit.FitConsensus(centre, r, sigma));
                    EXPECT_NEAR(r, radius, sigma);
                    const double c[3] = {centre[0], centre[1], at.offset[2]};
                    EXPECT_LT(Distance(c, at.offset), sigma);
                    int goodOff = 0, badOn = 0;
                    for (std::size_t i = 0; i < q.size(); ++i)
                    {
                        const bool active = fit.Points()[i].active != 0;
                        goodOff += !moved[i] && !active;
                        badOn += moved[i] && active;
                    }
                    // Both end by trimming at 1.5 rms, which drops the tail
                    // of the noise too.
                    EXPECT_LE(goodOff, 50) << "good points switched off";
                    EXPECT_EQ(badOn, 0) << "outliers left on";
                }
            }
}

// A noisy height field, mirror-symmetric about the local plane x = 0, moved
// so that the plane has the given normal and passes through the offset.
cMesh* MirrorSymmetricMesh(std::mt19937& rng, const Placement& at, const double normal[3], double noise)
{
    double u[3], v[3];
    Basis(normal, u, v);
    std::normal_distribution<double> gauss(0.0, noise);
    auto* mesh = new cMesh();
    const int nx = 41, ny = 25;
    const double s = at.size;
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j)
        {
            const double x = -1.0 + 0.05 * i, y = -0.6 + 0.05 * j;
            const double z =
                0.3 * std::cos(1.5 * x) + 0.15 * y + 0.1 * y * y * y +
                0.2 * std::exp(-((std::fabs(x) - 0.5) * (std::fabs(x) - 0.5) + (y - 0.2) * (y - 0.2)) / 0.1);
            const double local[3] = {x * s, y * s, z * s + gauss(rng)};
            float p[3];
            for (int k = 0; k < 3; ++k)
                p[k] = static_cast<float>(at.offset[k] + local[0] * normal[k] + local[1] * u[k] +
                                          local[2] * v[k]);
            mesh->AddVertex(p);
        }
    for (int i = 0; i + 1 < nx; ++i)
        for (int j = 0; j + 1 < ny; ++j)
        {
            const std::uint32_t a = i * ny + j, b = (i + 1) * ny + j, c = i * ny + j + 1,
                                d = (i + 1) * ny + j + 1;
            mesh->AddTriangle(a, b, d);
            mesh->AddTriangle(a, d, c);
        }
    mesh->Update();
    return mesh;
}

TEST(FitAccuracy, SymmetryPlanesOfMirrorSymmetricScans)
{
    std::mt19937 rng(110);
    const auto directions = TestDirections(rng, 1);
    // The millimetre parts a metre or two out are where a plane offset
    // measured from the world origin went wrong: they get every coordinate
    // axis, diagonals and a random direction too.
    constexpr Placement kFarOut[] = {
        {5.0, {-1200.0, 300.0, 900.0}},
        {5.0, {0.0, 0.0, 1000.0}},
    };
    std::vector<std::pair<Placement, std::array<double, 3>>> cases;
    for (const Placement& at : kPlacements)
        for (const auto& n : {directions[0], directions[3], directions[5], directions.back()})
            cases.push_back({at, n});
    for (const Placement& at : kFarOut)
        for (const auto& n : {directions[0], directions[1], directions[2], directions[4], directions[7],
                              directions[9], directions.back()})
            cases.push_back({at, n});
    for (const auto& [at, n] : cases)
    {
        const double sigma = 1e-3 * at.size;
        SCOPED_TRACE(Describe(at, sigma, n.data()));
        GeometrySceneObject object(MirrorSymmetricMesh(rng, at, n.data(), sigma));
        cSymmetryPlaneFit fit(0.2 * at.size, 300, &object);
        // A start 4 degrees and 3% of the size off, as a fitted plane
        // gives it.
        double u[3], v[3];
        Basis(n.data(), u, v);
        const double tilt = 4.0 * kPi / 180.0;
        double normal[3];
        for (int k = 0; k < 3; ++k)
            normal[k] = std::cos(tilt) * n[k] + std::sin(tilt) * u[k];
        double offset = -Dot3(normal, at.offset) + 0.03 * at.size;
        const std::uint8_t open[4] = {1, 1, 1, 1};
        ASSERT_TRUE(fit.Fit(normal, offset, open));
        // The minimiser's own tolerance, not the noise, bounds the result.
        EXPECT_LT(LineAngle(normal, n.data()), 1.0 * kPi / 180.0);
        EXPECT_LT(std::fabs(Dot3(normal, at.offset) + offset), 0.005 * at.size);
    }
}

// Input without the shape must fail, never come back as a shape. Lines and
// planes along the coordinate axes, so that single precision keeps them
// exactly degenerate.
TEST(FitAccuracy, DegenerateInputIsReportedAsAFailure)
{
    std::mt19937 rng(111);
    const auto directions = TestDirections(rng, 0);
    for (const Placement& at : kPlacements)
        for (const auto& d : {directions[0], directions[1], directions[2]})
        {
            SCOPED_TRACE(Describe(at, 0.0, d.data()));
            const tFitPointQueue line = Line(rng, at.offset, d.data(), at.size, 0.0, 50);
            tFitPointQueue point;
            for (int i = 0; i < 20; ++i)
                point.push_back(line.front());
            const tFitPointQueue plane = Plane(rng, at.offset, d.data(), at.size, 0.0, 60);

            double origin[3], direction[3];
            EXPECT_FALSE(cLineFit(point).Fit(origin, direction));
            double normal[3], offset;
            EXPECT_FALSE(cPlaneFit(line).EstimateNormal(normal, offset));
            double centre[3], radius;
            cCircleFit circle(line);
            EXPECT_FALSE(FitCircle3D(circle, normal, centre, radius));
            tSphere<double> sphere;
            double rms;
            EXPECT_FALSE(FitSphere(cFitContainer(plane), sphere, rms));
            EXPECT_FALSE(FitSphere(cFitContainer(line), sphere, rms));
            tCylinder<double> cylinder;
            EXPECT_FALSE(FitCylinder(cFitContainer(line), cylinder, rms, 0.0));
            EXPECT_FALSE(FitCylinder(cFitContainer(point), cylinder, rms, 0.0));
        }
}

} // namespace
