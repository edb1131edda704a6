// Normals counted nearly square to trial directions: every kernel gives the
// scalar count of each trial.
#include "fitting/direction_trial_counts.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

TEST(DirectionTrialCounts, EveryKernelCountsEachTrialAsTheScalarCount)
{
    // 37 normals (a tail for every lane width), one not a number and one
    // whose product with the first trial is the limit itself (not below it);
    // seven trials, so that a lane is left over.
    std::vector<double> normals;
    for (int i = 0; i < 37; ++i)
    {
        const double t = 0.41 * i;
        const double n[3] = {std::cos(t) * 0.8, std::sin(t) * 0.8, i % 2 ? 0.6 : -0.6};
        normals.insert(normals.end(), n, n + 3);
    }
    normals[3 * 11 + 2] = std::numeric_limits<double>::quiet_NaN();
    double trials[kTrialsPerCount][3];
    for (std::size_t t = 0; t < kTrialsPerCount; ++t)
    {
        const double a = 0.7 * static_cast<double>(t) + 0.2;
        trials[t][0] = std::cos(a) * 0.6, trials[t][1] = std::sin(a) * 0.6, trials[t][2] = 0.8;
    }
    const double* n = &normals[3 * 5];
    const double limit = std::fabs(n[0] * trials[0][0] + n[1] * trials[0][1] + n[2] * trials[0][2]);
    std::array<std::size_t, kTrialsPerCount> expected{};
    for (std::size_t i = 0; i < 37; ++i)
        for (std::size_t t = 0; t < 7; ++t)
        {
            const double* m = &normals[3 * i];
            expected[t] += std::fabs(m[0] * trials[t][0] + m[1] * trials[t][1] + m[2] * trials[t][2]) < limit;
        }
    expected[7] = 5; // left as it was
    ASSERT_GT(expected[0], 0u);
    ASSERT_LT(expected[0], 35u);
    for (eTrialCountKernel kernel : {eTrialCountKernel::kScalar, eTrialCountKernel::kSse2, eTrialCountKernel::kAvx512})
    {
        if (!IsTrialCountKernelAvailable(kernel))
            continue;
        // Added to what the counts held, in two runs of the normals.
        std::array<std::size_t, kTrialsPerCount> below{};
        below[7] = 5;
        CountNearlySquare(kernel, normals.data(), 20, trials, 7, limit, below.data());
        CountNearlySquare(kernel, normals.data() + 3 * 20, 17, trials, 7, limit, below.data());
        EXPECT_EQ(below, expected) << static_cast<int>(kernel);
    }
}
