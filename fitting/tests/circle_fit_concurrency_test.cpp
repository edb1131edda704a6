#include "fitting/circle_fit.h"

#include "core/thread_pool.h"
#include "fit_samples.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

namespace
{

using namespace fit_samples;

struct stCircleResult
{
    std::array<double, 3> axis;
    std::array<double, 3> centre;
    double radius;
};

// A constrained 3D circle fit of circle number i (each of its own size,
// place and tilt), starting from a deliberately poor guess.
stCircleResult FitCircleNumber(int i)
{
    std::mt19937 rng(100 + i);
    double n[3] = {0.1 * i, 1.0, 2.0 - 0.2 * i};
    Normalise(n);
    const double centre[3] = {1.0 * i, -2.0, 0.5 * i};
    cCircleFit fit(Circle(rng, centre, n, 2.0 + i, 0.0, 1.5 * kPi, 0.001, 150));
    stCircleResult r{{n[0] + 0.1, n[1], n[2]}, {centre[0] + 0.2, centre[1], centre[2]}, 1.0};
    const std::uint8_t allFree[7] = {0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(FitConstrainedCircle3D(fit, r.axis.data(), r.centre.data(), r.radius, allFree));
    return r;
}

// The constrained circle fit keeps its reference point with the fit, not in
// the process: fits on several threads at once give exactly the results of
// the same fits run one after another.
TEST(CircleFitConcurrency, ConstrainedFitsOnSeveralThreadsMatchSequentialRuns)
{
    constexpr int kFits = 6;
    std::vector<stCircleResult> sequential;
    for (int i = 0; i < kFits; ++i)
        sequential.push_back(FitCircleNumber(i));

    std::vector<stCircleResult> parallel(kFits);
    std::vector<std::thread> threads;
    for (int i = 0; i < kFits; ++i)
        threads.emplace_back([i, &parallel] { parallel[i] = FitCircleNumber(i); });
    for (std::thread& t : threads)
        t.join();

    for (int i = 0; i < kFits; ++i)
    {
        EXPECT_EQ(parallel[i].radius, sequential[i].radius) << i;
        EXPECT_EQ(parallel[i].centre, sequential[i].centre) << i;
        EXPECT_EQ(parallel[i].axis, sequential[i].axis) << i;
        EXPECT_NEAR(sequential[i].radius, 2.0 + i, 0.01) << i;
    }
}

} // namespace

TEST(CircleFitConcurrency, ArcEndsOfManyPointsOnAPoolAreTheOnesFoundAlone)
{
    // 200,000 points on a noisy arc far out and tilted, its ends repeated
    // further on: the ends, the middle and their directions to the bit.
    tFitPointQueue arc;
    std::uint64_t state = 5;
    const auto noise = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5;
    };
    const double axis[3] = {0.48, -0.64, 0.6}, centre[3] = {1800.0, -600.0, 300.0};
    double u[3] = {0.8, 0.6, 0.0}, v[3];
    v[0] = axis[1] * u[2] - axis[2] * u[1], v[1] = axis[2] * u[0] - axis[0] * u[2], v[2] = axis[0] * u[1] - axis[1] * u[0];
    for (int i = 0; i < 200000; ++i)
    {
        const double a = 2.2 * ((i * 7919) % 200000) / 200000.0 - 0.9, r = 25.0 + 0.05 * noise();
        stFitPoint p;
        for (int k = 0; k < 3; ++k)
            p.position[k] = static_cast<float>(centre[k] + r * (std::cos(a) * u[k] + std::sin(a) * v[k]) + 0.1 * noise() * axis[k]);
        arc.push_back(p);
    }
    arc.push_back(arc[arc.size() / 3]);
    const cCircleFit fit(arc);
    double ends[2][9];
    cThreadPool pool(4);
    for (int pooled = 0; pooled < 2; ++pooled)
    {
        SetSharedThreadPool(pooled ? &pool : nullptr);
        GetArcEndsInFrame(fit, axis, centre, 25.0, ends[pooled], ends[pooled] + 3, ends[pooled] + 6);
        SetSharedThreadPool(nullptr);
    }
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(ends[1][k], ends[0][k]) << k;
}

TEST(CircleFitConcurrency, ArcEndsAmongNearTiesAreTheOnesEveryAngleGave)
{
    // 300,000 points round most of a circle far out and tilted, each end
    // three times over (the first of equal angles), the others beside the
    // ends within a few roundings of their angle.
    tFitPointQueue arc;
    const double axis[3] = {0.48, -0.64, 0.6}, centre[3] = {1800.0, -600.0, 300.0};
    double u[3] = {0.8, 0.6, 0.0}, v[3];
    v[0] = axis[1] * u[2] - axis[2] * u[1], v[1] = axis[2] * u[0] - axis[0] * u[2], v[2] = axis[0] * u[1] - axis[1] * u[0];
    const auto at = [&](double a) {
        stFitPoint p;
        for (int k = 0; k < 3; ++k)
            p.position[k] = static_cast<float>(centre[k] + 25.0 * (std::cos(a) * u[k] + std::sin(a) * v[k]));
        return p;
    };
    for (int i = 0; i < 300000; ++i)
    {
        const double a = 5.5 * static_cast<double>((std::int64_t{i} * 7919) % 300000) / 300000.0 - 2.75;
        arc.push_back(at(i % 1000 == 7 ? 2.75 - 1e-7 * (i % 3) : (i % 1000 == 9 ? -2.75 + 1e-7 * (i % 3) : a)));
    }
    const cCircleFit fit(arc);
    double ends[9];
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    GetArcEndsInFrame(fit, axis, centre, 25.0, ends, ends + 3, ends + 6);
    SetSharedThreadPool(nullptr);
    // What the scan that took every point's angle gave.
    const double expected[9] = {0x1.c700008f29adap+10, -0x1.2480017dc51e4p+9, 0x1.2bfffb076fb66p+8,
                                0x1.bc850e65c335cp+10, -0x1.30a46e1a0ec97p+9, 0x1.33a21a3e80d9ap+8,
                                0x1.be3cba5ee2ae2p+10, -0x1.3538e4066812fp+9, 0x1.245de74b3b888p+8};
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(ends[k], expected[k]) << k;
}

TEST(CircleFitConcurrency, ARefinedCircleOfManyPointsOnAPoolIsTheOneRefinedAlone)
{
    // 60,000 noisy points on an arc far out in the plane of its records'
    // x and y: the refinement measures its steps' candidates side by side on
    // a pool, and ends on the circle it reaches one candidate at a time.
    tFitPointQueue arc;
    std::uint64_t state = 11;
    const auto noise = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5;
    };
    for (int i = 0; i < 60000; ++i)
    {
        const double a = 1.7 * i / 60000.0 - 0.4, r = 31.0 + 0.2 * noise();
        stFitPoint p;
        p.position[0] = static_cast<float>(2400.0 + r * std::cos(a));
        p.position[1] = static_cast<float>(-900.0 + r * std::sin(a));
        arc.push_back(p);
    }
    cCircleFit fit(arc);
    double circles[2][4];
    cThreadPool pool(4);
    for (int pooled = 0; pooled < 2; ++pooled)
    {
        double* c = circles[pooled];
        c[0] = 2399.0, c[1] = -899.0, c[2] = 0.0, c[3] = 30.0;
        SetSharedThreadPool(pooled ? &pool : nullptr);
        EXPECT_TRUE(fit.Refine(c, c[3]));
        SetSharedThreadPool(nullptr);
    }
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(circles[1][k], circles[0][k]) << k;
    EXPECT_NEAR(circles[0][3], 31.0, 0.01);
}
