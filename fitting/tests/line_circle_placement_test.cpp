// The plane, line and circle refinements give the same answer for the same
// scan wherever the part lies and whatever its unit: a millimetre part at the
// origin, two metres out (also on the x axis, two coordinates 0) and a five
// metre part at the origin and out. Each result is measured against the
// minimum an independent minimiser finds, in units of the scan's noise, so
// that a refinement stopping short of it shows at any placement. The scans
// carry noise of 0.1% of the part and a few gross outliers, in several
// orientations.
#include "fitting/circle_fit.h"
#include "fitting/line_fit.h"
#include "fitting/plane_fit.h"

#include "fit_samples.h"
#include "least_squares_reference.h"

#include <gtest/gtest.h>

#include <Eigen/Eigenvalues>

#include <algorithm>
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

const double kDirections[][3] = {
    {0.0, 0.0, 1.0}, {1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.6, 0.0, 0.8}, {0.48, -0.6, 0.64}, {-0.36, 0.48, 0.8},
};

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

// A few points thrown off by 5% to 30% of the part.
void AddPartOutliers(std::mt19937& rng, tFitPointQueue& q, int count, double size)
{
    AddOutliers(rng, q, count, 0.05 * size, 0.3 * size);
}

double LineAngle(const Eigen::Vector3d& a, const Eigen::Vector3d& b)
{
    return std::atan2(a.cross(b).norm(), std::fabs(a.dot(b)));
}

// Iteratively reweighted least squares for the least mean absolute distance:
// each pass weighs every point by the inverse of its distance from the last
// answer and takes the weighted principal axes through the weighted centroid.
// `smallest` picks the plane's normal, otherwise the line's direction.
void LeastMeanDistanceAxis(const std::vector<Eigen::Vector3d>& p, bool smallest, double floor, Eigen::Vector3d& centre,
                           Eigen::Vector3d& axis)
{
    std::vector<double> w(p.size(), 1.0);
    for (int pass = 0; pass < 400; ++pass)
    {
        centre.setZero();
        double total = 0.0;
        for (std::size_t i = 0; i < p.size(); ++i)
        {
            centre += w[i] * p[i];
            total += w[i];
        }
        centre /= total;
        Eigen::Matrix3d scatter = Eigen::Matrix3d::Zero();
        for (std::size_t i = 0; i < p.size(); ++i)
            scatter += w[i] * (p[i] - centre) * (p[i] - centre).transpose();
        Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver(scatter);
        axis = solver.eigenvectors().col(smallest ? 0 : 2);
        for (std::size_t i = 0; i < p.size(); ++i)
        {
            const Eigen::Vector3d d = p[i] - centre;
            const double distance = smallest ? std::fabs(d.dot(axis)) : d.cross(axis).norm();
            w[i] = 1.0 / std::max(distance, floor);
        }
    }
}

// ---------------------------------------------------------------------------
// Plane (the least mean absolute distance)

TEST(LineCirclePlacement, APlaneIsTheSameWhereverThePartLies)
{
    for (const Placement& at : kPlacements)
        for (const auto& n : kDirections)
        {
            SCOPED_TRACE(Describe(at, n, "plane"));
            const double sigma = kNoise * at.size;
            std::mt19937 rng(11);
            tFitPointQueue q = Plane(rng, at.centre, n, 0.5 * at.size, sigma, kPointCount);
            AddPartOutliers(rng, q, 4, at.size);
            const cPlaneFit fit(q);
            double normal[3], offset;
            ASSERT_TRUE(fit.Fit(normal, offset));

            Eigen::Vector3d c, best;
            LeastMeanDistanceAxis(ref::Positions(q), true, 1e-9 * at.size, c, best);
            const double bestOffset = -best.dot(c);
            const double mean = fit.GetMeanAbsDistance(normal, offset);
            const double least = fit.GetMeanAbsDistance(best.data(), bestOffset);
            EXPECT_LT(mean, least + 1e-3 * sigma);
            EXPECT_LT(LineAngle(V(normal), best), 0.03 * sigma / at.size);
            // The part's centre lies as far from the fitted plane as from
            // the best (signs as the normals point).
            const double sign = V(normal).dot(best) < 0.0 ? -1.0 : 1.0;
            EXPECT_NEAR(V(normal).dot(V(at.centre)) + offset, sign * (best.dot(V(at.centre)) + bestOffset),
                        0.02 * sigma);
        }
}

// ---------------------------------------------------------------------------
// Line (the least mean distance)

TEST(LineCirclePlacement, ALineIsTheSameWhereverThePartLies)
{
    for (const Placement& at : kPlacements)
        for (const auto& d : kDirections)
        {
            SCOPED_TRACE(Describe(at, d, "line"));
            const double sigma = kNoise * at.size;
            double start[3];
            for (int k = 0; k < 3; ++k)
                start[k] = at.centre[k] - 0.5 * at.size * d[k];
            std::mt19937 rng(13);
            tFitPointQueue q = Line(rng, start, d, at.size, sigma, kPointCount);
            AddPartOutliers(rng, q, 4, at.size);
            const cLineFit fit(q);
            double origin[3], direction[3];
            ASSERT_TRUE(fit.Fit(origin, direction));

            Eigen::Vector3d c, best;
            LeastMeanDistanceAxis(ref::Positions(q), false, 1e-9 * at.size, c, best);
            const double mean = fit.MeanDistance(origin, direction);
            const double least = fit.MeanDistance(c.data(), best.data());
            EXPECT_LT(mean, least + 1e-3 * sigma);
            EXPECT_LT(LineAngle(V(direction), best), 0.03 * sigma / at.size);
            // The part's centre lies as far from the fitted line as from the
            // best.
            const Eigen::Vector3d m = V(at.centre);
            const double fitted = (m - V(origin)).cross(V(direction)).norm();
            const double wanted = (m - c).cross(best).norm();
            EXPECT_NEAR(fitted, wanted, 0.02 * sigma);
        }
}

// ---------------------------------------------------------------------------
// Circle in the XY plane

// The least-squares circle (centre in the XY plane and radius) from the
// start, in units of the part.
void ReferenceCircle(const tFitPointQueue& q, const double start[3], double startRadius, double size,
                     double centre[2], double& radius)
{
    const std::vector<Eigen::Vector3d> p = ref::Positions(q);
    Eigen::VectorXd x = Eigen::VectorXd::Zero(3);
    x = ref::Minimise(x, int(p.size()),
                      [&](const Eigen::VectorXd& y, Eigen::VectorXd& r)
                      {
                          const double cx = start[0] + size * y[0], cy = start[1] + size * y[1];
                          for (std::size_t i = 0; i < p.size(); ++i)
                              r[Eigen::Index(i)] = std::hypot(p[i][0] - cx, p[i][1] - cy) - (startRadius + size * y[2]);
                      });
    centre[0] = start[0] + size * x[0];
    centre[1] = start[1] + size * x[1];
    radius = startRadius + size * x[2];
}

TEST(LineCirclePlacement, ARefinedCircleIsTheSameWhereverThePartLies)
{
    const double up[3] = {0.0, 0.0, 1.0};
    // Arcs that start at several angles, and the whole circle (first and
    // last angle; the third value only fills the description).
    const double arcs[][3] = {{0.0, 0.5 * kPi, 0.0}, {0.8, 2.6, 0.0}, {2.0, 4.5, 0.0}, {-1.3, 0.9, 0.0},
                              {0.0, 2.0 * kPi, 0.0}};
    for (const Placement& at : kPlacements)
        for (const auto& arc : arcs)
        {
            SCOPED_TRACE(Describe(at, arc, "circle"));
            const double sigma = kNoise * at.size;
            const double radius = 0.5 * at.size;
            std::mt19937 rng(17);
            tFitPointQueue q = Circle(rng, at.centre, up, radius, arc[0], arc[1], sigma, kPointCount);
            AddPartOutliers(rng, q, 3, at.size);
            cCircleFit fit(q);
            double c[3], r;
            ASSERT_TRUE(fit.Fit(c, r));
            ASSERT_TRUE(fit.Refine(c, r));
            EXPECT_EQ(c[2], 0.0);

            double best[2], bestRadius;
            ReferenceCircle(q, at.centre, radius, at.size, best, bestRadius);
            EXPECT_NEAR(c[0], best[0], 0.05 * sigma);
            EXPECT_NEAR(c[1], best[1], 0.05 * sigma);
            EXPECT_NEAR(r, bestRadius, 0.05 * sigma);
        }
}

// ---------------------------------------------------------------------------
// Circle in space with values held

struct SpaceCircle
{
    Eigen::Vector3d axis;
    Eigen::Vector3d centre;
    double radius;
};

// Distances of a point from a circle in space: across the circle's plane
// and along its axis.
void CircleResiduals(const SpaceCircle& circle, const Eigen::Vector3d& p, double& radial, double& axial)
{
    const Eigen::Vector3d w = p - circle.centre;
    axial = w.dot(circle.axis);
    radial = (w - axial * circle.axis).norm() - circle.radius;
}

double MeanSquaredDistance(const std::vector<Eigen::Vector3d>& p, const SpaceCircle& circle)
{
    double sum = 0.0;
    for (const Eigen::Vector3d& x : p)
    {
        double radial, axial;
        CircleResiduals(circle, x, radial, axial);
        sum += radial * radial + axial * axial;
    }
    return sum / double(p.size());
}

enum Held
{
    kNothingHeld,
    kAxisHeld,
    kRadiusHeld,
};

// The least-squares circle in space from the start, with the axis or the
// radius held at the start's when asked; lengths in units of the part, the
// axis turned by two angles in the start axis's basis.
SpaceCircle ReferenceSpaceCircle(const std::vector<Eigen::Vector3d>& p, const SpaceCircle& start, Held held,
                                 double size)
{
    double u[3], v[3];
    Basis(start.axis.data(), u, v);
    auto circleAt = [&](const Eigen::VectorXd& y)
    {
        SpaceCircle c = start;
        int i = 0;
        if (held != kAxisHeld)
        {
            c.axis = (start.axis + y[i] * V(u) + y[i + 1] * V(v)).normalized();
            i += 2;
        }
        c.centre = start.centre + size * Eigen::Vector3d(y[i], y[i + 1], y[i + 2]);
        i += 3;
        if (held != kRadiusHeld)
            c.radius = start.radius + size * y[i];
        return c;
    };
    const int count = 3 + (held != kAxisHeld ? 2 : 0) + (held != kRadiusHeld ? 1 : 0);
    Eigen::VectorXd x = Eigen::VectorXd::Zero(count);
    x = ref::Minimise(x, int(2 * p.size()),
                      [&](const Eigen::VectorXd& y, Eigen::VectorXd& r)
                      {
                          const SpaceCircle c = circleAt(y);
                          for (std::size_t i = 0; i < p.size(); ++i)
                              CircleResiduals(c, p[i], r[Eigen::Index(2 * i)], r[Eigen::Index(2 * i + 1)]);
                      });
    return circleAt(x);
}

TEST(LineCirclePlacement, AConstrainedCircleInSpaceIsTheSameWhereverThePartLies)
{
    const char* names[] = {"circle in space, nothing held", "circle in space, axis held 1 degree off",
                           "circle in space, radius held 1% over"};
    for (const Placement& at : kPlacements)
        for (const auto& n : kDirections)
            for (Held held : {kNothingHeld, kAxisHeld, kRadiusHeld})
            {
                SCOPED_TRACE(Describe(at, n, names[held]));
                const double sigma = kNoise * at.size;
                const double radius = 0.5 * at.size;
                std::mt19937 rng(19);
                tFitPointQueue q = Circle(rng, at.centre, n, radius, 0.3, 3.6, sigma, kPointCount);
                AddPartOutliers(rng, q, 3, at.size);
                cCircleFit fit(q);

                // Held values a little off the scan's own, as a user types
                // them: the axis a degree off, the radius 1% over.
                double u[3], v[3];
                Basis(n, u, v);
                const double t = kPi / 180.0;
                double axis[3], centre[3] = {at.centre[0], at.centre[1], at.centre[2]};
                for (int k = 0; k < 3; ++k)
                    axis[k] = std::cos(t) * n[k] + std::sin(t) * u[k];
                double r = held == kRadiusHeld ? 1.01 * radius : radius;
                std::uint8_t fixed[7] = {0, 0, 0, 0, 0, 0, 0};
                if (held == kAxisHeld)
                    fixed[0] = fixed[1] = fixed[2] = 1;
                if (held == kRadiusHeld)
                    fixed[6] = 1;
                const SpaceCircle given{V(axis), V(centre), r};
                ASSERT_TRUE(FitConstrainedCircle3D(fit, axis, centre, r, fixed));

                const std::vector<Eigen::Vector3d> p = ref::Positions(q);
                SpaceCircle start = given;
                if (held != kAxisHeld)
                    start.axis = V(n);
                if (held != kRadiusHeld)
                    start.radius = radius;
                const SpaceCircle best = ReferenceSpaceCircle(p, start, held, at.size);
                const SpaceCircle ours{V(axis), V(centre), r};
                EXPECT_LT(MeanSquaredDistance(p, ours), MeanSquaredDistance(p, best) * (1.0 + 1e-4));
                EXPECT_LT(LineAngle(ours.axis, best.axis), 0.1 * sigma / radius);
                EXPECT_LT((ours.centre - best.centre).norm(), 0.1 * sigma);
                EXPECT_NEAR(ours.radius, best.radius, 0.1 * sigma);
            }
}

} // namespace
