#include "fitting/circle_fit.h"

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
