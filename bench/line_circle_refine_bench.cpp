// The simplex refinements of the plane (least mean distance), line, circle
// in the XY plane and circle in space on generated noisy scans of a 50 mm
// part half a metre out, its axis (or normal) tilted out of every coordinate
// plane. Counters: mean_distance (the refined shape's mean distance or RMS,
// so that a faster refinement that stops short shows).
#include "fitting/circle_fit.h"
#include "fitting/line_fit.h"
#include "fitting/plane_fit.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr double kCentre[3] = {400.0, -300.0, 200.0};
constexpr double kSize = 50.0;
constexpr double kNoise = 0.05;

void Unit(double v[3])
{
    const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int k = 0; k < 3; ++k)
        v[k] /= l;
}

// Two unit vectors completing n (a unit vector) to an orthonormal basis.
void Basis(const double n[3], double u[3], double v[3])
{
    const double a[3] = {std::fabs(n[0]) < 0.9 ? 1.0 : 0.0, std::fabs(n[0]) < 0.9 ? 0.0 : 1.0, 0.0};
    u[0] = a[1] * n[2] - a[2] * n[1];
    u[1] = a[2] * n[0] - a[0] * n[2];
    u[2] = a[0] * n[1] - a[1] * n[0];
    Unit(u);
    v[0] = n[1] * u[2] - n[2] * u[1];
    v[1] = n[2] * u[0] - n[0] * u[2];
    v[2] = n[0] * u[1] - n[1] * u[0];
}

enum Kind
{
    kPlanePoints,
    kLinePoints,
    kCirclePoints,
};

tFitPointQueue Scan(Kind kind, const double axis[3], int count)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    std::normal_distribution<double> gauss(0.0, kNoise);
    double u[3], v[3];
    Basis(axis, u, v);
    tFitPointQueue q;
    for (int i = 0; i < count; ++i)
    {
        double p[3];
        const double a = uniform(rng), b = uniform(rng), e = gauss(rng), f = gauss(rng);
        for (int k = 0; k < 3; ++k)
        {
            if (kind == kPlanePoints)
                p[k] = kCentre[k] + kSize * (a * u[k] + b * v[k]) + e * axis[k];
            else if (kind == kLinePoints)
                p[k] = kCentre[k] + kSize * a * axis[k] + e * u[k] + f * v[k];
            else
            {
                const double t = 3.0 * kPi * a; // 270 degrees
                p[k] = kCentre[k] + (0.5 * kSize + e) * (std::cos(t) * u[k] + std::sin(t) * v[k]) + f * axis[k];
            }
        }
        stFitPoint r;
        for (int k = 0; k < 3; ++k)
        {
            r.position[k] = static_cast<float>(p[k]);
            r.normal[k] = static_cast<float>(axis[k]);
        }
        q.push_back(r);
    }
    return q;
}

const double* Tilted()
{
    static double axis[3] = {0.3, -0.2, 0.93};
    Unit(axis);
    return axis;
}

void BM_PlaneRefine(benchmark::State& state)
{
    const cPlaneFit fit(Scan(kPlanePoints, Tilted(), int(state.range(0))));
    double n[3] = {0.0, 0.0, 1.0}, d = 0.0;
    for (auto _ : state)
        benchmark::DoNotOptimize(fit.Fit(n, d));
    state.counters["mean_distance"] = fit.GetMeanAbsDistance(n, d);
}

void BM_LineFit(benchmark::State& state)
{
    const cLineFit fit(Scan(kLinePoints, Tilted(), int(state.range(0))));
    double o[3] = {0.0, 0.0, 0.0}, d[3] = {1.0, 0.0, 0.0};
    for (auto _ : state)
        benchmark::DoNotOptimize(fit.Fit(o, d));
    state.counters["mean_distance"] = fit.MeanDistance(o, d);
}

void BM_CircleRefine(benchmark::State& state)
{
    const double up[3] = {0.0, 0.0, 1.0};
    cCircleFit fit(Scan(kCirclePoints, up, int(state.range(0))));
    double c[3] = {0.0, 0.0, 0.0}, r = 0.0;
    for (auto _ : state)
        benchmark::DoNotOptimize(fit.Fit(c, r) && fit.Refine(c, r));
    std::uint64_t count = 0;
    state.counters["mean_distance"] = std::sqrt(fit.SumSquaredRadialErrors(2, c, r, count) / double(count));
}

void BM_ConstrainedCircle3D(benchmark::State& state)
{
    cCircleFit fit(Scan(kCirclePoints, Tilted(), int(state.range(0))));
    const std::uint8_t open[7] = {0, 0, 0, 0, 0, 0, 0};
    double a[3], c[3], r = 0.0;
    for (auto _ : state)
    {
        for (int k = 0; k < 3; ++k)
        {
            a[k] = Tilted()[k];
            c[k] = kCentre[k];
        }
        r = 0.5 * kSize;
        benchmark::DoNotOptimize(FitConstrainedCircle3D(fit, a, c, r, open));
    }
    state.counters["mean_distance"] = CircleRMSInFrame(fit, a, c, c, r);
}

} // namespace

BENCHMARK(BM_PlaneRefine)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LineFit)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CircleRefine)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConstrainedCircle3D)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
