// Normals' leans out of their meridian planes, measured a block of samples
// laid out by component at a time: every kernel gives the one-sample
// measure's bits.
#include "fitting/meridian_lean_pass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace
{

std::uint64_t Bits(double v)
{
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

} // namespace

TEST(MeridianLeans, EveryKernelGivesTheOneSampleBitsOfSamplesLaidOutByComponent)
{
    // 21 samples far out about a tilted axis, in blocks of 16 and 5 (tails
    // for every lane width); one on the axis (no lean), one not a number.
    const double axis[3] = {0.48, -0.64, 0.6}, point[3] = {1200.25, -700.5, 450.125};
    std::vector<double> samples;
    for (int i = 0; i < 21; ++i)
    {
        const double t = 0.37 * i;
        const double p[3] = {point[0] + 10.0 * std::cos(t) + 0.1 * i, point[1] + 10.0 * std::sin(t), point[2] + 0.3 * i};
        const double n[3] = {std::cos(t), std::sin(t) + 0.01 * i, -0.3};
        samples.insert(samples.end(), p, p + 3);
        samples.insert(samples.end(), n, n + 3);
    }
    const double onAxis[6] = {point[0], point[1], point[2], 0.0, 0.0, 1.0};
    std::copy(onAxis, onAxis + 6, samples.begin() + 6 * 3);
    samples[6 * 17 + 1] = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> expected;
    for (int i = 0; i < 21; ++i)
        expected.push_back(MeridianLean(&samples[6 * i], &samples[6 * i + 3], axis, point));
    EXPECT_EQ(expected[3], -1.0);
    EXPECT_EQ(expected[17], -1.0);

    LaySamplesOutByComponent(samples.data(), 21, 16);
    for (eMeridianLeanKernel kernel : {eMeridianLeanKernel::kScalar, eMeridianLeanKernel::kSse2, eMeridianLeanKernel::kAvx512})
    {
        if (!IsMeridianLeanKernelAvailable(kernel))
            continue;
        std::vector<double> leans(21, 0.0);
        MeridianLeansOfBlock(kernel, samples.data(), 16, axis, point, leans.data());
        MeridianLeansOfBlock(kernel, samples.data() + 6 * 16, 5, axis, point, leans.data() + 16);
        for (int i = 0; i < 21; ++i)
            EXPECT_EQ(Bits(leans[i]), Bits(expected[i])) << static_cast<int>(kernel) << " sample " << i;
    }
}
