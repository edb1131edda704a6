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

TEST(MeridianLeans, EveryKernelTurnsSamplesIntoTheHalfPlaneWithTheOneSampleBits)
{
    // 45 samples far out (the last 37 in a chunk: a tail for every
    // lane width) round a tilted axis, in every quadrant about it, with one
    // on the axis (no radius) and one not a number.
    const double s = std::sqrt(0.5);
    const stHalfPlaneFrame frame{{0.48, -0.64, 0.6}, {1200.25, -700.5, 450.125}, {0.8, 0.6, 0.0}, {-0.36, 0.48, 0.8}};
    std::vector<double> p[3], n[3];
    for (int i = 0; i < 45; ++i)
    {
        const double t = 0.61 * i, radius = 10.0 + 0.1 * i, height = 0.3 * i - 4.0;
        for (int k = 0; k < 3; ++k)
        {
            p[k].push_back(frame.at[k] + radius * (std::cos(t) * frame.u[k] + std::sin(t) * frame.v[k]) +
                           height * frame.dir[k]);
            n[k].push_back(s * (std::cos(t + 0.01 * i) * frame.u[k] + std::sin(t) * frame.v[k]) - s * frame.dir[k]);
        }
    }
    for (int k = 0; k < 3; ++k)
        p[k][9] = frame.at[k];
    p[1][30] = std::numeric_limits<double>::quiet_NaN();
    const double* const pc[3] = {p[0].data(), p[1].data(), p[2].data()};
    const double* const nc[3] = {n[0].data(), n[1].data(), n[2].data()};
    stHalfPlaneChunk scalar{};
    TurnIntoHalfPlane(eMeridianLeanKernel::kScalar, pc, nc, 8, 37, frame, scalar);
    EXPECT_EQ(scalar.r[1], 0.0);
    EXPECT_TRUE(std::isnan(scalar.r[22]));
    for (int j = 0; j < 37; ++j)
    {
        if (j == 1 || j == 22)
            continue;
        EXPECT_LT(std::fabs(scalar.angle[j] - std::atan2(scalar.b[j], scalar.a[j])), 1e-4) << j;
    }
    if (IsMeridianLeanKernelAvailable(eMeridianLeanKernel::kAvx512))
    {
        stHalfPlaneChunk lanes{};
        TurnIntoHalfPlane(eMeridianLeanKernel::kAvx512, pc, nc, 8, 37, frame, lanes);
        for (int j = 0; j < 37; ++j)
        {
            const double* expected[7] = {scalar.h, scalar.a, scalar.b, scalar.r, scalar.mr, scalar.mh, scalar.angle};
            const double* got[7] = {lanes.h, lanes.a, lanes.b, lanes.r, lanes.mr, lanes.mh, lanes.angle};
            for (int value = 0; value < 7; ++value)
                EXPECT_EQ(Bits(got[value][j]), Bits(expected[value][j])) << value << " " << j;
        }
    }
}
