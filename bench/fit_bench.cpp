// Plane, sphere and cylinder fits on generated noisy points, side by side with
// a peer written with Eigen on the same points: for spheres and cylinders
// Eigen's own Levenberg-Marquardt (unsupported NonLinearOptimization module)
// on the geometric distance with analytic Jacobians, started from its own
// algebraic estimate; for planes the closed form (centroid and the smallest
// eigenvector of the scatter), which is all a plane needs. Each shape comes
// with its axis (or normal) in a coordinate plane and tilted out of every
// coordinate plane.
//
// Every benchmark runs our fit and the peer's alternately, a few times in
// the same process, everything inside the timing (the peer's start too),
// timed in CPU time of the thread (the machine is shared). The geometric RMS
// of either result is measured afterwards, outside the timing, except where
// a side must hand back its RMS: the plane driver returns the RMS of its
// plane, so the peer of that row computes the same RMS pass inside its
// timing. Counters: ours_ms and peer_ms (medians), time_ratio (median of the
// paired ratios ours / peer), rms and peer_rms (geometric RMS of either
// result, measured the same way) and rms_diff ((ours - peer) / peer). The
// plane driver runs with either frame: along the coordinate axis least
// aligned with the normal (BM_PlaneFit) and the smallest rectangle
// (BM_PlaneFitSmallestFrame). The cylinder driver also runs on the thread
// pool (BM_CylinderFitOnPool, wall time).
#include "bench/paired_timing.h"
#include "core/thread_pool.h"
#include "fitting/fit_drivers.h"
#include "fitting/plane_fit.h"
#include "fitting/sphere_fit.h"

#include <Eigen/Dense>
#include <benchmark/benchmark.h>
#include <unsupported/Eigen/NonLinearOptimization>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <random>
#include <tuple>
#include <vector>


namespace
{

constexpr double kPi = 3.14159265358979323846;

enum Shape
{
    kPlaneShape,
    kSphereShape,
    kCylinderShape
};

// Axis (or normal) in the XY plane, and tilted out of every coordinate plane.
Eigen::Vector3d AxisOf(int orientation)
{
    return orientation == 0 ? Eigen::Vector3d(1, 1, 0).normalized() : Eigen::Vector3d(0.3, -0.2, 0.93).normalized();
}

void Basis(const Eigen::Vector3d& n, Eigen::Vector3d& u, Eigen::Vector3d& v)
{
    u = n.unitOrthogonal();
    v = n.cross(u);
}

// Noisy samples (noise 0.01) of each shape, made once per size: a 20 x 20
// plane patch, a sphere of radius 7 and a cylinder of radius 4 and height 30.
const tFitPointQueue& Samples(Shape shape, int orientation, int count)
{
    static std::map<std::tuple<int, int, int>, tFitPointQueue> cache;
    const auto key = std::make_tuple(int(shape), orientation, count);
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    std::mt19937 rng(1234 + count + 7 * shape + 31 * orientation);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> noise(0.0, 0.01);
    const Eigen::Vector3d axis = AxisOf(orientation), origin(2.0, -1.0, 5.0);
    Eigen::Vector3d u, v;
    Basis(axis, u, v);
    tFitPointQueue q;
    for (int i = 0; i < count; ++i)
    {
        Eigen::Vector3d p, n;
        const double a = 2 * kPi * unit(rng), b = unit(rng);
        switch (shape)
        {
        case kPlaneShape:
            n = axis;
            p = origin + (20 * unit(rng) - 10) * u + (20 * b - 10) * v + noise(rng) * axis;
            break;
        case kSphereShape:
        {
            const double z = 2 * b - 1, s = std::sqrt(1 - z * z);
            n = s * std::cos(a) * u + s * std::sin(a) * v + z * axis;
            p = origin + (7.0 + noise(rng)) * n;
            break;
        }
        case kCylinderShape:
            n = std::cos(a) * u + std::sin(a) * v;
            p = origin + (4.0 + noise(rng)) * n + 30 * b * axis;
            break;
        }
        stFitPoint f;
        for (int k = 0; k < 3; ++k)
        {
            f.position[k] = static_cast<float>(p[k]);
            f.normal[k] = static_cast<float>(n[k]);
        }
        q.push_back(f);
    }
    return cache.emplace(key, std::move(q)).first->second;
}

Eigen::Vector3d PositionOf(const stFitPoint& p) { return {p.position[0], p.position[1], p.position[2]}; }

// Geometric RMS of a result, measured the same way for both sides.
template <class Distance> double RmsOf(const tFitPointQueue& points, Distance distance)
{
    double sum = 0;
    for (const stFitPoint& p : points)
    {
        const double e = distance(PositionOf(p));
        sum += e * e;
    }
    return std::sqrt(sum / double(points.size()));
}

double CylinderDistance(const Eigen::Vector3d& q, const Eigen::Vector3d& c, const Eigen::Vector3d& a, double r)
{
    return (q - c).cross(a).norm() - r;
}

// --- The peer ---

// The closed-form plane: centroid, then the eigenvector of the smallest
// eigenvalue of the scatter about it.
void PeerPlane(const tFitPointQueue& points, Eigen::Vector3d& normal, double& d)
{
    Eigen::Vector3d mean = Eigen::Vector3d::Zero();
    for (const stFitPoint& p : points)
        mean += PositionOf(p);
    mean /= double(points.size());
    Eigen::Matrix3d scatter = Eigen::Matrix3d::Zero();
    for (const stFitPoint& p : points)
    {
        const Eigen::Vector3d w = PositionOf(p) - mean;
        scatter.noalias() += w * w.transpose();
    }
    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> eigen(scatter);
    normal = eigen.eigenvectors().col(0);
    d = -normal.dot(mean);
}

// Residuals of the points and their analytic Jacobian, in the form Eigen's
// Levenberg-Marquardt takes.
struct PeerFunctor
{
    using Scalar = double;
    enum
    {
        InputsAtCompileTime = Eigen::Dynamic,
        ValuesAtCompileTime = Eigen::Dynamic
    };
    using InputType = Eigen::VectorXd;
    using ValueType = Eigen::VectorXd;
    using JacobianType = Eigen::MatrixXd;

    explicit PeerFunctor(const std::vector<Eigen::Vector3d>& p, int n) : points(p), parameters(n) {}
    int inputs() const { return parameters; }
    int values() const { return static_cast<int>(points.size()); }

    const std::vector<Eigen::Vector3d>& points;
    int parameters;
};

// Sphere: (centre, radius).
struct SphereFunctor : PeerFunctor
{
    explicit SphereFunctor(const std::vector<Eigen::Vector3d>& p) : PeerFunctor(p, 4) {}
    int operator()(const Eigen::VectorXd& x, Eigen::VectorXd& f) const
    {
        const Eigen::Vector3d c = x.head<3>();
        for (std::size_t i = 0; i < points.size(); ++i)
            f[i] = (points[i] - c).norm() - x[3];
        return 0;
    }
    int df(const Eigen::VectorXd& x, Eigen::MatrixXd& j) const
    {
        const Eigen::Vector3d c = x.head<3>();
        for (std::size_t i = 0; i < points.size(); ++i)
        {
            const Eigen::Vector3d w = points[i] - c;
            const double l = w.norm();
            j.row(i).head<3>() = -w / l;
            j(i, 3) = -1.0;
        }
        return 0;
    }
};

Eigen::Vector3d AxisFromAngles(double theta, double phi)
{
    return {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)};
}

// Cylinder: (axis point, polar and azimuth angles of the axis, radius).
struct CylinderFunctor : PeerFunctor
{
    explicit CylinderFunctor(const std::vector<Eigen::Vector3d>& p) : PeerFunctor(p, 6) {}
    int operator()(const Eigen::VectorXd& x, Eigen::VectorXd& f) const
    {
        const Eigen::Vector3d c = x.head<3>(), a = AxisFromAngles(x[3], x[4]);
        for (std::size_t i = 0; i < points.size(); ++i)
            f[i] = CylinderDistance(points[i], c, a, x[5]);
        return 0;
    }
    int df(const Eigen::VectorXd& x, Eigen::MatrixXd& j) const
    {
        const Eigen::Vector3d c = x.head<3>(), a = AxisFromAngles(x[3], x[4]);
        const double st = std::sin(x[3]), ct = std::cos(x[3]), sp = std::sin(x[4]), cp = std::cos(x[4]);
        const Eigen::Vector3d daTheta(ct * cp, ct * sp, -st), daPhi(-st * sp, st * cp, 0.0);
        for (std::size_t i = 0; i < points.size(); ++i)
        {
            const Eigen::Vector3d w = points[i] - c;
            const double t = w.dot(a);
            const Eigen::Vector3d e = w - t * a;
            const double rho = std::max(e.norm(), 1e-300);
            const Eigen::Vector3d dRhoDa = -t * w / rho;
            j.row(i).head<3>() = -e / rho;
            j(i, 3) = dRhoDa.dot(daTheta);
            j(i, 4) = dRhoDa.dot(daPhi);
            j(i, 5) = -1.0;
        }
        return 0;
    }
};

// The stopping tolerance of both sides: the relative change of the sum of
// squares at which our geometric refinement settles.
constexpr double kStopTolerance = 1e-12;

template <class Functor> void PeerMinimise(Functor& functor, Eigen::VectorXd& x)
{
    Eigen::LevenbergMarquardt<Functor> lm(functor);
    lm.parameters.ftol = kStopTolerance;
    lm.parameters.xtol = kStopTolerance;
    lm.parameters.maxfev = 200;
    lm.minimize(x);
}

std::vector<Eigen::Vector3d> PeerPoints(const tFitPointQueue& points)
{
    std::vector<Eigen::Vector3d> out;
    out.reserve(points.size());
    for (const stFitPoint& p : points)
        out.push_back(PositionOf(p));
    return out;
}

// Algebraic sphere |p|^2 + D.p + E = 0 by normal equations, then LM.
void PeerSphere(const tFitPointQueue& points, Eigen::Vector3d& centre, double& radius)
{
    const std::vector<Eigen::Vector3d> q = PeerPoints(points);
    Eigen::Matrix4d a = Eigen::Matrix4d::Zero();
    Eigen::Vector4d b = Eigen::Vector4d::Zero();
    for (const Eigen::Vector3d& p : q)
    {
        const Eigen::Vector4d row(p[0], p[1], p[2], 1.0);
        a.noalias() += row * row.transpose();
        b.noalias() -= p.squaredNorm() * row;
    }
    const Eigen::Vector4d s = a.ldlt().solve(b);
    Eigen::VectorXd x(4);
    x.head<3>() = -0.5 * s.head<3>();
    x[3] = std::sqrt(std::max(0.0, x.head<3>().squaredNorm() - s[3]));
    SphereFunctor functor(q);
    PeerMinimise(functor, x);
    centre = x.head<3>();
    radius = std::fabs(x[3]);
}

// Axis from the largest principal direction, the algebraic circle across
// it, then LM.
void PeerCylinder(const tFitPointQueue& points, Eigen::Vector3d& point, Eigen::Vector3d& axis, double& radius)
{
    const std::vector<Eigen::Vector3d> q = PeerPoints(points);
    Eigen::Vector3d mean = Eigen::Vector3d::Zero();
    for (const Eigen::Vector3d& p : q)
        mean += p;
    mean /= double(q.size());
    Eigen::Matrix3d scatter = Eigen::Matrix3d::Zero();
    for (const Eigen::Vector3d& p : q)
        scatter.noalias() += (p - mean) * (p - mean).transpose();
    const Eigen::Vector3d a = Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d>(scatter).eigenvectors().col(2);
    Eigen::Vector3d u, v;
    Basis(a, u, v);
    Eigen::Matrix3d m = Eigen::Matrix3d::Zero();
    Eigen::Vector3d rhs = Eigen::Vector3d::Zero();
    for (const Eigen::Vector3d& p : q)
    {
        const Eigen::Vector3d row((p - mean).dot(u), (p - mean).dot(v), 1.0);
        m.noalias() += row * row.transpose();
        rhs -= (row[0] * row[0] + row[1] * row[1]) * row;
    }
    const Eigen::Vector3d s = m.ldlt().solve(rhs);
    const double cu = -0.5 * s[0], cv = -0.5 * s[1];
    Eigen::VectorXd x(6);
    x.head<3>() = mean + cu * u + cv * v;
    x[3] = std::acos(std::clamp(a[2], -1.0, 1.0));
    x[4] = std::atan2(a[1], a[0]);
    x[5] = std::sqrt(std::max(0.0, cu * cu + cv * cv - s[2]));
    CylinderFunctor functor(q);
    PeerMinimise(functor, x);
    point = x.head<3>();
    axis = AxisFromAngles(x[3], x[4]);
    radius = std::fabs(x[5]);
}

// --- Paired runs ---

// Runs ours and the peer alternately `repetitions` times (ours first on even
// rounds, the peer first on odd ones) and reports the medians; the RMS of
// each side's last result is measured after the timing.
template <class Ours, class Peer, class OursRms, class PeerRms>
void Paired(benchmark::State& state, Ours ours, Peer peer, OursRms oursRms, PeerRms peerRms)
{
    const int repetitions = static_cast<int>(state.range(1));
    PairedTimes times;
    for (auto _ : state)
        for (int i = 0; i < repetitions; ++i)
            times.Run(i, [&](int) { ours(); }, [&](int) { peer(); });
    const double rms = oursRms(), peerRmsValue = peerRms();
    times.Report(state);
    state.counters["rms"] = rms;
    state.counters["peer_rms"] = peerRmsValue;
    state.counters["rms_diff"] = (rms - peerRmsValue) / peerRmsValue;
}

// The driver hands back a finished plane record with its RMS: the peer of
// this row computes the same RMS pass inside its timing. The driver also
// builds the plane's frame (origin, in-plane axis and extents over all
// records), for which the peer has no counterpart.
void PlaneDriver(benchmark::State& state, bool useAxisFrame)
{
    const int orientation = static_cast<int>(state.range(2));
    const tFitPointQueue& samples = Samples(kPlaneShape, orientation, static_cast<int>(state.range(0)));
    const cFitContainer points(samples);
    tPlane<double> plane;
    double oursRms = 0, peerRms = 0;
    Eigen::Vector3d peerNormal;
    double peerD = 0;
    Paired(
        state,
        [&] { benchmark::DoNotOptimize(FitPlane(points, plane, oursRms, useAxisFrame, 0.0)); },
        [&] {
            PeerPlane(samples, peerNormal, peerD);
            // Read after the timing; DoNotOptimize on a double lvalue may
            // move it through an integer register and lose it (g++ 12).
            peerRms = RmsOf(samples, [&](const Eigen::Vector3d& q) { return peerNormal.dot(q) + peerD; });
        },
        [&] {
            const Eigen::Vector3d n(plane.normal[0], plane.normal[1], plane.normal[2]);
            return RmsOf(samples, [&](const Eigen::Vector3d& q) { return n.dot(q) + plane.d; });
        },
        [&] { return peerRms; });
    state.counters["driver_rms_diff"] = (oursRms - peerRms) / peerRms;
}

// The frame along the coordinate axis least aligned with the normal, and
// the frame of the smallest rectangle (61 turned frames measured).
void BM_PlaneFit(benchmark::State& state) { PlaneDriver(state, true); }
void BM_PlaneFitSmallestFrame(benchmark::State& state) { PlaneDriver(state, false); }

void BM_SphereFit(benchmark::State& state)
{
    const int orientation = static_cast<int>(state.range(2));
    const tFitPointQueue& samples = Samples(kSphereShape, orientation, static_cast<int>(state.range(0)));
    const cFitContainer points(samples);
    tSphere<double> sphere;
    Eigen::Vector3d peerCentre;
    double peerRadius = 0;
    Paired(
        state,
        [&] {
            double rms = 0;
            benchmark::DoNotOptimize(FitSphere(points, sphere, rms));
        },
        [&] { PeerSphere(samples, peerCentre, peerRadius); },
        [&] {
            const Eigen::Vector3d c(sphere.centre[0], sphere.centre[1], sphere.centre[2]);
            return RmsOf(samples, [&](const Eigen::Vector3d& q) { return (q - c).norm() - sphere.radius; });
        },
        [&] { return RmsOf(samples, [&](const Eigen::Vector3d& q) { return (q - peerCentre).norm() - peerRadius; }); });
}

void BM_CylinderFit(benchmark::State& state)
{
    const int orientation = static_cast<int>(state.range(2));
    const tFitPointQueue& samples = Samples(kCylinderShape, orientation, static_cast<int>(state.range(0)));
    const cFitContainer points(samples);
    tCylinder<double> cylinder;
    Eigen::Vector3d peerPoint, peerAxis;
    double peerRadius = 0;
    Paired(
        state,
        [&] {
            double rms = 0;
            benchmark::DoNotOptimize(FitCylinder(points, cylinder, rms, 0.0));
        },
        [&] { PeerCylinder(samples, peerPoint, peerAxis, peerRadius); },
        [&] {
            const Eigen::Vector3d c(cylinder.axisPoint[0], cylinder.axisPoint[1], cylinder.axisPoint[2]);
            const Eigen::Vector3d a(cylinder.axis[0], cylinder.axis[1], cylinder.axis[2]);
            return RmsOf(samples, [&](const Eigen::Vector3d& q) { return CylinderDistance(q, c, a, cylinder.radius); });
        },
        [&] {
            return RmsOf(samples,
                         [&](const Eigen::Vector3d& q) { return CylinderDistance(q, peerPoint, peerAxis, peerRadius); });
        });
}

// The cylinder driver on the plug-in's thread pool against the same peer.
// Time on other threads is not CPU time of this one: this row times both
// sides by the wall clock (run it on otherwise idle cores).
void BM_CylinderFitOnPool(benchmark::State& state)
{
    static cThreadPool* pool = [] {
        auto* p = new cThreadPool;
        p->Start();
        return p;
    }();
    const int orientation = static_cast<int>(state.range(2));
    const tFitPointQueue& samples = Samples(kCylinderShape, orientation, static_cast<int>(state.range(0)));
    const cFitContainer points(samples);
    tCylinder<double> cylinder, alone;
    double rms = 0, aloneRms = 0;
    Eigen::Vector3d peerPoint, peerAxis;
    double peerRadius = 0;
    const int repetitions = static_cast<int>(state.range(1));
    std::vector<double> ours, peer, ratios;
    auto wall = [](auto run) {
        const auto start = std::chrono::steady_clock::now();
        run();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    for (auto _ : state)
        for (int i = 0; i < repetitions; ++i)
        {
            const double o = wall([&] { benchmark::DoNotOptimize(FitCylinder(points, cylinder, rms, 0.0, pool)); });
            const double p = wall([&] { PeerCylinder(samples, peerPoint, peerAxis, peerRadius); });
            ours.push_back(o);
            peer.push_back(p);
            ratios.push_back(o / p);
        }
    state.counters["ours_ms"] = 1e3 * Median(ours);
    state.counters["peer_ms"] = 1e3 * Median(peer);
    state.counters["time_ratio"] = Median(ratios);
    // The pool changes no bit of the result.
    FitCylinder(points, alone, aloneRms, 0.0);
    state.counters["same_as_alone"] = alone.radius == cylinder.radius && aloneRms == rms &&
                                      alone.axisPoint[0] == cylinder.axisPoint[0] &&
                                      alone.axis[0] == cylinder.axis[0];
}

// The kernels alone. The plane estimate (both candidates, the choice and the
// orientation) against the closed form.
void BM_PlaneEstimate(benchmark::State& state)
{
    const int orientation = static_cast<int>(state.range(2));
    const tFitPointQueue& samples = Samples(kPlaneShape, orientation, static_cast<int>(state.range(0)));
    const cPlaneFit fit(samples);
    double n[3] = {0, 0, 0}, d = 0;
    Eigen::Vector3d peerNormal;
    double peerD = 0;
    Paired(
        state, [&] { benchmark::DoNotOptimize(fit.EstimateNormal(n, d)); },
        [&] { PeerPlane(samples, peerNormal, peerD); },
        [&] {
            const Eigen::Vector3d normal(n[0], n[1], n[2]);
            return RmsOf(samples, [&](const Eigen::Vector3d& q) { return normal.dot(q) + d; });
        },
        [&] { return RmsOf(samples, [&](const Eigen::Vector3d& q) { return peerNormal.dot(q) + peerD; }); });
}

// The algebraic sphere against the same normal equations (about the mean of
// the points) built and solved with Eigen.
void BM_SphereAlgebraic(benchmark::State& state)
{
    const int orientation = static_cast<int>(state.range(2));
    const tFitPointQueue& samples = Samples(kSphereShape, orientation, static_cast<int>(state.range(0)));
    const cSphereFit fit(samples);
    double c[3] = {0, 0, 0}, r = 0;
    Eigen::Vector3d peerCentre;
    double peerRadius = 0;
    Paired(
        state, [&] { benchmark::DoNotOptimize(fit.Fit(c, r)); },
        [&] {
            Eigen::Vector3d mean = Eigen::Vector3d::Zero();
            for (const stFitPoint& p : samples)
                mean += PositionOf(p);
            mean /= double(samples.size());
            Eigen::Matrix4d a = Eigen::Matrix4d::Zero();
            Eigen::Vector4d b = Eigen::Vector4d::Zero();
            for (const stFitPoint& p : samples)
            {
                const Eigen::Vector3d q = PositionOf(p) - mean;
                const Eigen::Vector4d row(q[0], q[1], q[2], 1.0);
                a.noalias() += row * row.transpose();
                b.noalias() -= q.squaredNorm() * row;
            }
            const Eigen::Vector4d x = a.ldlt().solve(b);
            peerCentre = mean - 0.5 * x.head<3>();
            peerRadius = 0.5 * std::sqrt(x.head<3>().squaredNorm() - 4.0 * x[3]);
        },
        [&] {
            const Eigen::Vector3d centre(c[0], c[1], c[2]);
            return RmsOf(samples, [&](const Eigen::Vector3d& q) { return (q - centre).norm() - r; });
        },
        [&] { return RmsOf(samples, [&](const Eigen::Vector3d& q) { return (q - peerCentre).norm() - peerRadius; }); });
}

} // namespace

// Arguments: points, paired repetitions, orientation (0: axis in the XY
// plane, 1: tilted). The plane kernels take milliseconds: more pairs.
#define FIT_CASES(small, large)                                                                                     \
    ->ArgNames({"points", "reps", "tilted"})                                                                        \
        ->Args({100000, small, 0})                                                                                  \
        ->Args({100000, small, 1})                                                                                  \
        ->Args({1000000, large, 0})                                                                                 \
        ->Args({1000000, large, 1})                                                                                 \
        ->Unit(benchmark::kMillisecond)                                                                             \
        ->Iterations(1)
BENCHMARK(BM_PlaneFit) FIT_CASES(31, 11);
BENCHMARK(BM_PlaneFitSmallestFrame) FIT_CASES(31, 11);
BENCHMARK(BM_SphereFit) FIT_CASES(5, 3);
BENCHMARK(BM_CylinderFit) FIT_CASES(5, 3);
BENCHMARK(BM_CylinderFitOnPool) FIT_CASES(5, 3);
BENCHMARK(BM_PlaneEstimate) FIT_CASES(31, 11);
BENCHMARK(BM_SphereAlgebraic) FIT_CASES(5, 3);
