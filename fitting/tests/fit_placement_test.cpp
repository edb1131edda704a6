// The constrained plane, the sphere and the cylinder fits give the same
// answer for the same scan wherever the part lies and whatever its unit: a
// millimetre part at the origin, two metres out (also with two coordinates
// 0) and a five metre part at the origin and out. Each result is measured
// against the least-squares minimum an independent minimiser finds, in units
// of the scan's noise, so that a fit stopping short of it shows at any
// placement. The scans carry noise of 0.1% of the part and a few gross
// outliers, in several orientations.
#include "fitting/cylinder_fit.h"
#include "fitting/fit_drivers.h"
#include "fitting/packed_fit_points.h"
#include "fitting/plane_fit.h"
#include "fitting/simplex_scale.h"
#include "fitting/sphere_fit.h"

#include "fit_samples.h"
#include "least_squares_reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>

namespace
{

using namespace fit_samples;
namespace ref = least_squares_reference;

struct Placement
{
    const char* name;
    double size;
    double centre[3];
};

constexpr Placement kPlacements[] = {
    {"5 mm part at the origin", 5.0, {0.0, 0.0, 0.0}},
    {"5 mm part 2 m out", 5.0, {1200.0, -1400.0, 800.0}},
    {"5 mm part on the x axis 2 m out", 5.0, {2000.0, 0.0, 0.0}},
    {"5 m part at the origin", 5000.0, {0.0, 0.0, 0.0}},
    {"5 m part 2 m out", 5000.0, {2000.0, -1500.0, 800.0}},
};

constexpr double kNoise = 1e-3; // of the part's size
constexpr int kPointCount = 300;

std::string Describe(const Placement& at, const double direction[3], const char* what)
{
    std::ostringstream s;
    s << what << ", " << at.name << ", direction (" << direction[0] << ", " << direction[1] << ", "
      << direction[2] << ")";
    return s.str();
}

Eigen::Vector3d V(const double p[3])
{
    return {p[0], p[1], p[2]};
}

double Dot3(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// A few points thrown off by 5% to 30% of the part.
void AddPartOutliers(std::mt19937& rng, tFitPointQueue& q, int count, double size)
{
    AddOutliers(rng, q, count, 0.05 * size, 0.3 * size);
}

// The unit vector at `angle` radians from n towards the first vector of its
// basis.
void Tilt(const double n[3], double angle, double out[3])
{
    double u[3], v[3];
    Basis(n, u, v);
    for (int k = 0; k < 3; ++k)
        out[k] = std::cos(angle) * n[k] + std::sin(angle) * u[k];
}

// ---------------------------------------------------------------------------
// Constrained plane

struct PlaneCase
{
    const char* what;
    int fixed; // the component held, or -1 for "z held at 0"
};

// The plane of least squares with component k of the normal held at value:
// the other two turn by one angle, the offset is the centroid's distance.
void ReferencePlane(const tFitPointQueue& q, int k, double value, const double start[3], double size,
                    double normal[3], double& offset)
{
    const std::vector<Eigen::Vector3d> p = ref::Positions(q);
    Eigen::Vector3d c = Eigen::Vector3d::Zero();
    for (const Eigen::Vector3d& x : p)
        c += x;
    c /= double(p.size());
    const int a = (k + 1) % 3, b = (k + 2) % 3;
    const double rest = std::sqrt(std::max(0.0, 1.0 - value * value));
    auto plane = [&](const Eigen::VectorXd& x, double n[3], double& d)
    {
        n[k] = value;
        n[a] = rest * std::cos(x[0]);
        n[b] = rest * std::sin(x[0]);
        d = x[1] * size - V(n).dot(c);
    };
    Eigen::VectorXd x(2);
    x << std::atan2(start[b], start[a]), 0.0;
    x = ref::Minimise(x, int(p.size()),
                      [&](const Eigen::VectorXd& y, Eigen::VectorXd& r)
                      {
                          double n[3], d;
                          plane(y, n, d);
                          for (std::size_t i = 0; i < p.size(); ++i)
                              r[Eigen::Index(i)] = V(n).dot(p[i]) + d;
                      });
    plane(x, normal, offset);
}

TEST(FitPlacement, AConstrainedPlaneIsTheSameWhereverThePartLies)
{
    std::mt19937 directions(104);
    const PlaneCase cases[] = {
        {"largest component held", 0}, {"smallest component held", 1}, {"z held at 0", -1}};
    for (const auto& n : TestDirections(directions, 3))
        for (const PlaneCase& held : cases)
            for (const Placement& at : kPlacements)
            {
                SCOPED_TRACE(Describe(at, n.data(), held.what));
                int big = 0, small = 0;
                for (int k = 1; k < 3; ++k)
                {
                    big = std::fabs(n[k]) > std::fabs(n[big]) ? k : big;
                    small = std::fabs(n[k]) < std::fabs(n[small]) ? k : small;
                }
                // The user holds a component of the normal a degree off the
                // scan's own, or makes a nearly upright plane upright.
                double truth[3];
                Tilt(n.data(), kPi / 180.0, truth);
                double given[3] = {n[0], n[1], n[2]};
                std::uint8_t open[4] = {1, 1, 1, 1};
                int fixedComponent = held.fixed == 0 ? big : small;
                if (held.fixed < 0)
                {
                    if (std::fabs(n[2]) > 0.5)
                        continue;
                    given[2] = 0.0;
                    fixedComponent = 2;
                }
                open[fixedComponent] = 0;
                const double sigma = kNoise * at.size;
                std::mt19937 rng(7);
                tFitPointQueue q = Plane(rng, at.centre, truth, 0.5 * at.size, sigma, kPointCount);
                AddPartOutliers(rng, q, 5, at.size);

                cPlaneFit fit(q);
                double normal[3] = {given[0], given[1], given[2]}, offset = 0.0;
                ASSERT_TRUE(FitConstrainedPlane(fit, normal, offset, open));
                double held3[3] = {given[0], given[1], given[2]};
                bool fixedFlags[3] = {open[0] == 0, open[1] == 0, open[2] == 0};
                NormaliseConstrainedDirection(held3, fixedFlags);
                EXPECT_NEAR(normal[fixedComponent], held3[fixedComponent], 1e-12);
                EXPECT_NEAR(Dot3(normal, normal), 1.0, 1e-12);

                double best[3], bestOffset;
                ReferencePlane(q, fixedComponent, held3[fixedComponent], held3, at.size, best, bestOffset);
                std::uint64_t count = 0;
                const double sum = fit.GetSumSquaredDistances(normal, offset, count);
                const double least = fit.GetSumSquaredDistances(best, bestOffset, count);
                EXPECT_LT(sum, least * (1.0 + 1e-5));
                // A thirtieth of the noise across the part, a few per cent of
                // the normal's own uncertainty.
                EXPECT_LT(LineAngle(normal, best), 0.03 * sigma / at.size);
                // The offset is the world one: the part's centre lies as far
                // from the fitted plane as from the best.
                EXPECT_NEAR(Dot3(normal, at.centre) + offset, Dot3(best, at.centre) + bestOffset,
                            0.02 * sigma);
            }
}

// A small patch two metres out with z held at 0: turning the normal must
// not swing the plane about the origin, so the fit ends where it does at the
// origin, on the best upright plane (better than the scan's own normal made
// upright).
TEST(FitPlacement, AnUprightPlaneOfASmallPatchFarOutEndsAsAtTheOrigin)
{
    const double n[3] = {0.70710678, 0.70710678, 0.0};
    const double t = kPi / 180.0;
    const double truth[3] = {std::cos(t) * n[0], std::cos(t) * n[1], std::sin(t)};
    const std::uint8_t open[4] = {1, 1, 0, 1};
    double sums[2], normals[2][3];
    const double centres[2][3] = {{0.0, 0.0, 0.0}, {1200.0, -1400.0, 800.0}};
    for (int i = 0; i < 2; ++i)
    {
        std::mt19937 rng(5);
        const tFitPointQueue q = Plane(rng, centres[i], truth, 2.5, 0.005, 300);
        cPlaneFit fit(q);
        double normal[3] = {0.7, 0.7, 0.0}, offset = 0.0;
        ASSERT_TRUE(FitConstrainedPlane(fit, normal, offset, open));
        EXPECT_EQ(normal[2], 0.0);
        std::uint64_t count = 0;
        sums[i] = fit.GetSumSquaredDistances(normal, offset, count);
        std::copy(normal, normal + 3, normals[i]);
        double best[3], bestOffset;
        ReferencePlane(q, 2, 0.0, normal, 5.0, best, bestOffset);
        EXPECT_LT(sums[i], fit.GetSumSquaredDistances(best, bestOffset, count) * (1.0 + 1e-6));
        EXPECT_LT(LineAngle(normal, best), 0.01 * 0.005 / 5.0);
        double upright[3] = {truth[0], truth[1], 0.0};
        Normalise(upright);
        double c[3];
        fit.GetCentroid(c);
        EXPECT_LT(sums[i], fit.GetSumSquaredDistances(upright, -Dot3(upright, c), count));
    }
    EXPECT_NEAR(sums[1], sums[0], 1e-4 * sums[0]);
    EXPECT_LT(LineAngle(normals[0], normals[1]), 0.02 * 0.005 / 5.0);
}

// ---------------------------------------------------------------------------
// Sphere

// A cap of polar angle `cap` about `axis`, scanned with noise and outliers.
tFitPointQueue SphereCap(const Placement& at, const double axis[3], double cap, unsigned seed)
{
    std::mt19937 rng(seed);
    const double origin[3] = {0.0, 0.0, 0.0};
    // One point more than a multiple of four, so that a sum taken four
    // points at a time has a remainder to add.
    tFitPointQueue q = Sphere(rng, origin, 0.5 * at.size, cap, kNoise * at.size, kPointCount + 1);
    double u[3], v[3];
    Basis(axis, u, v);
    for (stFitPoint& p : q)
    {
        const double d[3] = {p.position[0], p.position[1], p.position[2]};
        for (int k = 0; k < 3; ++k)
            p.position[k] = static_cast<float>(at.centre[k] + d[0] * u[k] + d[1] * v[k] + d[2] * axis[k]);
    }
    AddPartOutliers(rng, q, 5, at.size);
    return q;
}

// The least-squares sphere; the radius held at `radius` when it is given.
void ReferenceSphere(const tFitPointQueue& q, const Placement& at, double centre[3], double& radius,
                     bool radiusHeld)
{
    const std::vector<Eigen::Vector3d> p = ref::Positions(q);
    const Eigen::Vector3d c0 = V(at.centre);
    const double held = radius;
    Eigen::VectorXd x(4);
    x << 0.0, 0.0, 0.0, 0.5;
    x = ref::Minimise(x, int(p.size()),
                      [&](const Eigen::VectorXd& y, Eigen::VectorXd& r)
                      {
                          const Eigen::Vector3d c = c0 + at.size * y.head<3>();
                          const double rr = radiusHeld ? held : at.size * y[3];
                          for (std::size_t i = 0; i < p.size(); ++i)
                              r[Eigen::Index(i)] = (p[i] - c).norm() - rr;
                      });
    for (int k = 0; k < 3; ++k)
        centre[k] = at.centre[k] + at.size * x[k];
    radius = radiusHeld ? held : at.size * x[3];
}

TEST(FitPlacement, ASphereIsTheSameWhereverThePartLies)
{
    std::mt19937 directions(105);
    const auto axes = TestDirections(directions, 2);
    for (std::size_t o = 0; o < axes.size(); ++o)
        for (double cap : {kPi / 3.0, 0.5 * kPi, kPi})
            for (const Placement& at : kPlacements)
            {
                const double* axis = axes[o].data();
                SCOPED_TRACE(Describe(at, axis,
                                      cap < 1.1   ? "60 degree cap"
                                      : cap < 2.0 ? "half sphere"
                                                  : "sphere"));
                const double sigma = kNoise * at.size;
                const tFitPointQueue q = SphereCap(at, axis, cap, 20 + unsigned(o));
                double best[3], bestRadius = 0.0;
                ReferenceSphere(q, at, best, bestRadius, false);
                const cSphereFit fit(q);
                std::uint64_t count = 0;
                const double least = fit.SumSquaredRadialErrors(best, bestRadius, count);

                // The driver: the algebraic estimate refined.
                tSphere<double> sphere;
                double rms = 0.0;
                ASSERT_TRUE(FitSphere(cFitContainer(q), sphere, rms));
                EXPECT_NEAR(sphere.radius, bestRadius, 0.1 * sigma);
                EXPECT_LT(Distance(sphere.centre, best), 0.15 * sigma);
                EXPECT_LT(fit.SumSquaredRadialErrors(sphere.centre, sphere.radius, count),
                          least * (1.0 + 2e-5));

                // Every value open: the same sphere, from any given one.
                double centre[3] = {at.centre[0], at.centre[1], at.centre[2]}, radius = 0.0;
                const std::uint8_t all[4] = {1, 1, 1, 1};
                ASSERT_TRUE(fit.RefineConstrained(centre, radius, all));
                EXPECT_NEAR(radius, bestRadius, 0.1 * sigma);
                EXPECT_LT(Distance(centre, best), 0.15 * sigma);

                // The radius held at the scan's own: the centre that suits it.
                double heldCentre[3] = {best[0], best[1], best[2]}, held = 0.5 * at.size;
                ReferenceSphere(q, at, heldCentre, held, true);
                double c2[3] = {at.centre[0], at.centre[1], at.centre[2]}, r2 = 0.5 * at.size;
                const std::uint8_t centreOpen[4] = {1, 1, 1, 0};
                ASSERT_TRUE(fit.RefineConstrained(c2, r2, centreOpen));
                EXPECT_EQ(r2, 0.5 * at.size);
                EXPECT_LT(Distance(c2, heldCentre), 0.15 * sigma);
            }
}

// ---------------------------------------------------------------------------
// Cylinder

struct stCylinderResult
{
    double point[3];
    double direction[3];
    double radius;
};

// The least-squares cylinder about the scan's own axis; the radius or the
// direction held when asked.
stCylinderResult ReferenceCylinder(const tFitPointQueue& q, const Placement& at, const double axis[3],
                                   double radius, bool radiusHeld, bool directionHeld)
{
    const std::vector<Eigen::Vector3d> p = ref::Positions(q);
    double u[3], v[3];
    Basis(axis, u, v);
    const Eigen::Vector3d A = V(axis), U = V(u), W = V(v), C = V(at.centre);
    auto cylinder = [&](const Eigen::VectorXd& x, Eigen::Vector3d& o, Eigen::Vector3d& d, double& r)
    {
        o = C + at.size * (x[0] * U + x[1] * W);
        d = directionHeld ? A : (A + x[2] * U + x[3] * W).normalized();
        r = radiusHeld ? radius : at.size * x[4];
    };
    Eigen::VectorXd x(5);
    x << 0.0, 0.0, 0.0, 0.0, radius / at.size;
    x = ref::Minimise(x, int(p.size()),
                      [&](const Eigen::VectorXd& y, Eigen::VectorXd& res)
                      {
                          Eigen::Vector3d o, d;
                          double r;
                          cylinder(y, o, d, r);
                          for (std::size_t i = 0; i < p.size(); ++i)
                              res[Eigen::Index(i)] = (p[i] - o).cross(d).norm() - r;
                      });
    Eigen::Vector3d o, d;
    stCylinderResult out{};
    cylinder(x, o, d, out.radius);
    for (int k = 0; k < 3; ++k)
    {
        out.point[k] = o[k];
        out.direction[k] = d[k];
    }
    return out;
}

// The fitted cylinder against the best: its axis passes the best axis at the
// part within `within` noise units, both ends of the part included, and its
// radius matches.
void ExpectSameCylinder(const cCylinderFit& fit, const stCylinderResult& got, const stCylinderResult& best,
                        double size, double within)
{
    const double sigma = kNoise * size;
    EXPECT_LT(DistanceFromLine(best.point, got.point, got.direction), within * sigma);
    EXPECT_LT(LineAngle(got.direction, best.direction) * size, within * sigma);
    EXPECT_NEAR(got.radius, best.radius, within * sigma);
    std::uint64_t count = 0;
    EXPECT_LT(fit.SumSquaredRadialErrors(got.point, got.direction, got.radius, count),
              fit.SumSquaredRadialErrors(best.point, best.direction, best.radius, count) * (1.0 + 1e-5));
}

TEST(FitPlacement, ACylinderOnAQuarterArcIsTheSameWhereverThePartLies)
{
    std::mt19937 directions(106);
    const auto axes = TestDirections(directions, 3);
    for (std::size_t o = 0; o < axes.size(); ++o)
        for (const Placement& at : kPlacements)
        {
            const double* axis = axes[o].data();
            SCOPED_TRACE(Describe(at, axis, "quarter arc"));
            const double radius = 0.5 * at.size, height = at.size;
            double base[3];
            for (int k = 0; k < 3; ++k)
                base[k] = at.centre[k] - 0.5 * height * axis[k];
            std::mt19937 rng(30 + unsigned(o));
            tFitPointQueue q =
                Cylinder(rng, base, axis, radius, height, 0.0, 0.5 * kPi, kNoise * at.size, kPointCount);
            AddPartOutliers(rng, q, 3, at.size);

            {
                // At a nominal radius 1% over the scan's: the axis moves
                // some ten noise units off the fitted one to suit it.
                SCOPED_TRACE("radius held");
                const double nominal = 1.01 * radius;
                cCylinderFit fit(q);
                stCylinderResult got{{0.0, 0.0, 0.0}, {0.0, 0.0, 1.0}, nominal};
                const std::uint8_t open[7] = {1, 1, 1, 1, 1, 1, 0};
                ASSERT_TRUE(FitConstrainedCylinder(fit, got.point, got.direction, got.radius, open));
                EXPECT_EQ(got.radius, nominal);
                ExpectSameCylinder(fit, got, ReferenceCylinder(q, at, axis, nominal, true, false), at.size,
                                   0.1);
            }
            {
                SCOPED_TRACE("direction held");
                cCylinderFit fit(q);
                stCylinderResult got{{0.0, 0.0, 0.0}, {axis[0], axis[1], axis[2]}, 0.0};
                const std::uint8_t open[7] = {0, 0, 0, 1, 1, 1, 1};
                ASSERT_TRUE(FitConstrainedCylinder(fit, got.point, got.direction, got.radius, open));
                EXPECT_LT(LineAngle(got.direction, axis), 1e-12);
                const stCylinderResult best = ReferenceCylinder(q, at, axis, radius, false, true);
                ExpectSameCylinder(fit, got, best, at.size, 0.1);
                // One coordinate of the axis point open, the other two held
                // on the best axis: the fit moves that coordinate alone
                // onto it, whichever it is.
                for (int open1 = 0; open1 < 3; ++open1)
                {
                    SCOPED_TRACE(open1);
                    stCylinderResult one{{best.point[0], best.point[1], best.point[2]}, {axis[0], axis[1], axis[2]},
                                         0.0};
                    std::uint8_t flags[7] = {0, 0, 0, 0, 0, 0, 1};
                    flags[3 + open1] = 1;
                    ASSERT_TRUE(FitConstrainedCylinder(fit, one.point, one.direction, one.radius, flags));
                    for (int k = 0; k < 3; ++k)
                    {
                        if (k != open1)
                        {
                            EXPECT_EQ(one.point[k], best.point[k]);
                        }
                    }
                    ExpectSameCylinder(fit, one, best, at.size, 0.1);
                }
            }
            {
                SCOPED_TRACE("every value open");
                tCylinder<double> c;
                double rms = 0.0;
                ASSERT_TRUE(FitCylinder(cFitContainer(q), c, rms, 0.0));
                const cCylinderFit fit(q);
                const stCylinderResult got{{c.axisPoint[0], c.axisPoint[1], c.axisPoint[2]},
                                           {c.axis[0], c.axis[1], c.axis[2]},
                                           c.radius};
                ExpectSameCylinder(fit, got, ReferenceCylinder(q, at, axis, radius, false, false), at.size,
                                   0.1);
            }
        }
}

// ---------------------------------------------------------------------------
// The unit the fits measure their steps in

TEST(FitPlacement, ThePointsSpreadIsTheSameFarOutAndCountsActivePointsOnly)
{
    std::mt19937 rng(9);
    const double near[3] = {0.0, 0.0, 0.0}, far[3] = {1200.0, -1400.0, 800.0};
    const double n[3] = {0.0, 0.0, 1.0};
    tFitPointQueue a = Plane(rng, near, n, 2.5, 0.0, 200);
    tFitPointQueue b = a;
    for (stFitPoint& p : b)
        for (int k = 0; k < 3; ++k)
            p.position[k] = static_cast<float>(p.position[k] + far[k]);
    // A flat square of side 5: RMS distance from its centre 5 / sqrt(6).
    double centroid[3];
    cFitContainer atOrigin(a), farOut(b);
    const double spread = ActivePointSpread(atOrigin, centroid);
    EXPECT_NEAR(spread, 5.0 / std::sqrt(6.0), 0.15);
    EXPECT_NEAR(ActivePointSpread(farOut, centroid), spread, 1e-4 * spread);
    EXPECT_NEAR(centroid[0], far[0], 0.5);
    const cPackedFitPoints packedNear(a), packedFar(b);
    EXPECT_NEAR(PackedPointSpread(packedNear, nullptr, near), spread, 1e-9 * spread);
    EXPECT_NEAR(PackedPointSpread(packedFar, nullptr, far), spread, 1e-4 * spread);
    // Measured about a point far from the part, the spread is the same.
    EXPECT_NEAR(PackedPointSpread(packedNear, nullptr, far), spread, 1e-6 * spread);

    // Switched-off points (a trimming pass's outliers) do not count.
    tFitPointQueue c = a;
    for (int i = 0; i < 20; ++i)
        c.push_back(Point(far, n));
    cFitContainer mixed(c);
    for (std::size_t i = a.size(); i < c.size(); ++i)
        mixed.Points()[i].active = 0;
    EXPECT_NEAR(ActivePointSpread(mixed, centroid), spread, 1e-9 * spread);
    EXPECT_NEAR(centroid[2], 0.0, 1e-6);

    // No point or no spread: a unit of 1, never 0.
    const tFitPointQueue same(5, Point(far, n));
    cFitContainer none(same);
    EXPECT_EQ(ActivePointSpread(none, centroid), 1.0);
    for (stFitPoint& p : none.Points())
        p.active = 0;
    EXPECT_EQ(ActivePointSpread(none, centroid), 1.0);
    EXPECT_EQ(PackedPointSpread(cPackedFitPoints(), nullptr, far), 1.0);
    EXPECT_EQ(PackedPointSpread(cPackedFitPoints(same), nullptr, far), 1.0);

    // A length as a parameter: 1 at its start, one more per unit.
    const stSimplexLength length{2000.0, 4.0};
    EXPECT_EQ(length.Pack(2000.0), 1.0);
    EXPECT_EQ(length.Pack(2008.0), 3.0);
    EXPECT_EQ(length.Unpack(0.5), 1998.0);
}

} // namespace
