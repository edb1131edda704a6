// Plane, sphere and cylinder fits on noisy points, side by side with a
// Levenberg-Marquardt least-squares reference written with Eigen. Counters of
// the reference benchmarks: rms (ours), ref_rms (the reference's), rms_rel
// (relative difference), time_ratio (our time / the reference's).
#include "fitting/cylinder_fit.h"
#include "fitting/fit_drivers.h"
#include "fitting/plane_fit.h"
#include "fitting/sphere_fit.h"

#include <Eigen/Dense>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <random>

namespace
{

constexpr double kPi = 3.14159265358979323846;

enum Shape
{
    kPlaneShape,
    kSphereShape,
    kCylinderShape
};

// Noisy samples of each shape, made once per size.
const tFitPointQueue& Samples(Shape shape, int count)
{
    static std::map<std::pair<int, int>, tFitPointQueue> cache;
    auto key = std::make_pair(int(shape), count);
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    std::mt19937 rng(1234 + count + shape);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::normal_distribution<double> noise(0.0, 0.01);
    tFitPointQueue q;
    for (int i = 0; i < count; ++i)
    {
        double p[3], n[3];
        const double a = 2 * kPi * u(rng), b = u(rng);
        switch (shape)
        {
        case kPlaneShape:
            n[0] = 0.3;
            n[1] = -0.2;
            n[2] = std::sqrt(1 - 0.13);
            p[0] = 20 * u(rng) - 10;
            p[1] = 20 * u(rng) - 10;
            p[2] = (5.0 - n[0] * p[0] - n[1] * p[1]) / n[2] + noise(rng);
            break;
        case kSphereShape:
        {
            const double z = 2 * b - 1, s = std::sqrt(1 - z * z);
            n[0] = s * std::cos(a);
            n[1] = s * std::sin(a);
            n[2] = z;
            const double r = 7.0 + noise(rng);
            for (int k = 0; k < 3; ++k)
                p[k] = 1.0 + r * n[k];
            break;
        }
        case kCylinderShape:
            n[0] = std::cos(a);
            n[1] = std::sin(a);
            n[2] = 0;
            p[0] = (4.0 + noise(rng)) * n[0] + 2;
            p[1] = (4.0 + noise(rng)) * n[1] - 1;
            p[2] = 30 * b;
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

// Levenberg-Marquardt on per-point residuals with a forward-difference
// Jacobian, accumulating J^T J and J^T r without storing J.
using Residual = std::function<double(const Eigen::VectorXd&, const float*)>;

Eigen::VectorXd LevenbergMarquardt(const tFitPointQueue& points, Eigen::VectorXd x, const Residual& residual)
{
    const int k = static_cast<int>(x.size());
    double lambda = 1e-3;
    auto cost = [&](const Eigen::VectorXd& v) {
        double s = 0;
        for (const stFitPoint& p : points)
        {
            const double r = residual(v, p.position);
            s += r * r;
        }
        return s;
    };
    double current = cost(x);
    for (int iteration = 0; iteration < 50; ++iteration)
    {
        Eigen::MatrixXd jtj = Eigen::MatrixXd::Zero(k, k);
        Eigen::VectorXd jtr = Eigen::VectorXd::Zero(k);
        Eigen::VectorXd row(k);
        for (const stFitPoint& p : points)
        {
            const double r = residual(x, p.position);
            for (int j = 0; j < k; ++j)
            {
                Eigen::VectorXd h = x;
                const double step = 1e-7 * std::max(1.0, std::fabs(x(j)));
                h(j) += step;
                row(j) = (residual(h, p.position) - r) / step;
            }
            jtj.noalias() += row * row.transpose();
            jtr.noalias() += row * r;
        }
        bool improved = false;
        for (int attempt = 0; attempt < 10 && !improved; ++attempt)
        {
            Eigen::MatrixXd a = jtj;
            a.diagonal() *= (1.0 + lambda);
            const Eigen::VectorXd delta = a.ldlt().solve(-jtr);
            const Eigen::VectorXd trial = x + delta;
            const double c = cost(trial);
            if (c < current)
            {
                const double gain = (current - c) / std::max(current, 1e-300);
                x = trial;
                current = c;
                lambda = std::max(lambda / 10, 1e-12);
                improved = true;
                if (gain < 1e-12)
                    return x;
            }
            else
            {
                lambda *= 10;
            }
        }
        if (!improved)
            break;
    }
    return x;
}

Eigen::Vector3d Direction(double theta, double phi)
{
    return {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)};
}

double PlaneResidual(const Eigen::VectorXd& x, const float* p)
{
    return Direction(x(0), x(1)).dot(Eigen::Vector3d(p[0], p[1], p[2])) + x(2);
}

double SphereResidual(const Eigen::VectorXd& x, const float* p)
{
    return (Eigen::Vector3d(p[0], p[1], p[2]) - x.head<3>()).norm() - x(3);
}

double CylinderResidual(const Eigen::VectorXd& x, const float* p)
{
    const Eigen::Vector3d a = Direction(x(3), x(4));
    return (Eigen::Vector3d(p[0], p[1], p[2]) - x.head<3>()).cross(a).norm() - x(5);
}

double RmsOfResidual(const tFitPointQueue& points, const Eigen::VectorXd& x, const Residual& residual)
{
    double s = 0;
    for (const stFitPoint& p : points)
    {
        const double r = residual(x, p.position);
        s += r * r;
    }
    return std::sqrt(s / double(points.size()));
}

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The reference starts where our algebraic estimate starts, so both solve
// the same problem from the same point. time_ratio = our time / the
// reference's, each timed once in the same run.
void Report(benchmark::State& state, double ours, double reference, double ourSeconds, double referenceSeconds)
{
    state.counters["rms"] = ours;
    state.counters["ref_rms"] = reference;
    state.counters["rms_rel"] = std::fabs(ours - reference) / reference;
    state.counters["time_ratio"] = referenceSeconds > 0 ? ourSeconds / referenceSeconds : 0.0;
}

void BM_PlaneFit(benchmark::State& state)
{
    const cFitContainer points(Samples(kPlaneShape, static_cast<int>(state.range(0))));
    tPlane<double> plane;
    double rms = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(FitPlane(points, plane, rms, true, 0.0));
    state.counters["rms"] = rms;
}

void BM_PlaneFitReference(benchmark::State& state)
{
    const tFitPointQueue& points = Samples(kPlaneShape, static_cast<int>(state.range(0)));
    cPlaneFit estimate(points);
    double n[3], d;
    estimate.EstimateNormal(n, d);
    Eigen::VectorXd x(3);
    x << std::acos(n[2]), std::atan2(n[1], n[0]), d;
    Eigen::VectorXd result;
    double referenceSeconds = 0;
    for (auto _ : state)
    {
        const Clock::time_point start = Clock::now();
        result = LevenbergMarquardt(points, x, PlaneResidual);
        referenceSeconds = SecondsSince(start);
    }
    tPlane<double> plane;
    double ours = 0;
    const Clock::time_point start = Clock::now();
    FitPlane(cFitContainer(points), plane, ours, true, 0.0);
    const double ourSeconds = SecondsSince(start);
    Report(state, ours, RmsOfResidual(points, result, PlaneResidual), ourSeconds, referenceSeconds);
}

void BM_SphereFit(benchmark::State& state)
{
    const cFitContainer points(Samples(kSphereShape, static_cast<int>(state.range(0))));
    tSphere<double> sphere;
    double rms = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(FitSphere(points, sphere, rms));
    state.counters["rms"] = rms;
}

void BM_SphereFitReference(benchmark::State& state)
{
    const tFitPointQueue& points = Samples(kSphereShape, static_cast<int>(state.range(0)));
    cSphereFit estimate(points);
    double c[3], r;
    estimate.Fit(c, r);
    Eigen::VectorXd x(4);
    x << c[0], c[1], c[2], r;
    Eigen::VectorXd result;
    double referenceSeconds = 0;
    for (auto _ : state)
    {
        const Clock::time_point start = Clock::now();
        result = LevenbergMarquardt(points, x, SphereResidual);
        referenceSeconds = SecondsSince(start);
    }
    tSphere<double> sphere;
    double ours = 0;
    const Clock::time_point start = Clock::now();
    FitSphere(cFitContainer(points), sphere, ours);
    const double ourSeconds = SecondsSince(start);
    Report(state, ours, RmsOfResidual(points, result, SphereResidual), ourSeconds, referenceSeconds);
}

void BM_CylinderFit(benchmark::State& state)
{
    const cFitContainer points(Samples(kCylinderShape, static_cast<int>(state.range(0))));
    tCylinder<double> cylinder;
    double rms = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(FitCylinder(points, cylinder, rms, 0.0));
    state.counters["rms"] = rms;
}

void BM_CylinderFitReference(benchmark::State& state)
{
    const tFitPointQueue& points = Samples(kCylinderShape, static_cast<int>(state.range(0)));
    cCylinderFit estimate(points);
    double o[3], a[3], r;
    estimate.Estimate(o, a, r);
    Eigen::VectorXd x(6);
    x << o[0], o[1], o[2], std::acos(std::clamp(a[2], -1.0, 1.0)), std::atan2(a[1], a[0]), r;
    Eigen::VectorXd result;
    double referenceSeconds = 0;
    for (auto _ : state)
    {
        const Clock::time_point start = Clock::now();
        result = LevenbergMarquardt(points, x, CylinderResidual);
        referenceSeconds = SecondsSince(start);
    }
    tCylinder<double> cylinder;
    double ours = 0;
    const Clock::time_point start = Clock::now();
    FitCylinder(cFitContainer(points), cylinder, ours, 0.0);
    const double ourSeconds = SecondsSince(start);
    Report(state, ours, RmsOfResidual(points, result, CylinderResidual), ourSeconds, referenceSeconds);
}

} // namespace

#define FIT_SIZES ->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1)
BENCHMARK(BM_PlaneFit) FIT_SIZES;
BENCHMARK(BM_PlaneFitReference) FIT_SIZES;
BENCHMARK(BM_SphereFit) FIT_SIZES;
BENCHMARK(BM_SphereFitReference) FIT_SIZES;
BENCHMARK(BM_CylinderFit) FIT_SIZES;
BENCHMARK(BM_CylinderFitReference) FIT_SIZES;
