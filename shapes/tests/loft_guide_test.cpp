// Guide lines of free-form surfaces made from noisy scan patches.
#include "shapes/loft_guide.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace
{

// A noisy rectangle of half sizes (hx, hy) in the plane z = z0 a metre
// from the origin, its normals along +z or -z.
tFitPointQueue Patch(double hx, double hy, double z0, float normalZ)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::normal_distribution<double> noise(0.0, 0.0005);
    tFitPointQueue q;
    for (int i = 0; i < 400; ++i)
    {
        stFitPoint p;
        p.position[0] = static_cast<float>(1000.0 + hx * u(rng));
        p.position[1] = static_cast<float>(-500.0 + hy * u(rng));
        p.position[2] = static_cast<float>(z0 + noise(rng));
        p.normal[2] = normalZ;
        q.push_back(p);
    }
    return q;
}

TEST(LoftGuide, TheFrameIsRightHandedAndSurvivesAnUpAlongTheAxis)
{
    const double origin[3] = {1, 2, 3}, axis[3] = {0, 0, 1};
    double frame[12];
    for (const double* up : {(const double[3]){0, 1, 0}, (const double[3]){0, 0, 2}})
    {
        BuildGuideFrame(frame, origin, axis, up);
        const double w[3] = {frame[0], frame[4], frame[8]}, v[3] = {frame[1], frame[5], frame[9]};
        EXPECT_NEAR(w[0] * w[0] + w[1] * w[1] + w[2] * w[2], 1.0, 1e-12);
        EXPECT_NEAR(v[0] * v[0] + v[1] * v[1] + v[2] * v[2], 1.0, 1e-12);
        EXPECT_NEAR(w[0] * v[0] + w[1] * v[1] + w[2] * v[2], 0.0, 1e-12);
        // W x V is the axis.
        EXPECT_NEAR(w[0] * v[1] - w[1] * v[0], 1.0, 1e-12);
        EXPECT_EQ(frame[3], 1.0);
        EXPECT_EQ(frame[11], 3.0);
    }
}

TEST(LoftGuide, AxisAlignedGuideRunsAlongTheLongerSideInsideThePatch)
{
    const tFitPointQueue q = Patch(40.0, 10.0, 250.0, 1.0f);
    cFitContainer points(q);
    stLoftGuideBlock block;
    block.curves = 4;
    double s[3], e[3];
    ComputeAxisAlignedGuide(points, block, s, e);
    EXPECT_EQ(block.axisChoice, 0) << "the x side is longer";
    // Pulled in by half of one of four spacings of the ~80 long side.
    EXPECT_NEAR(s[0], 1000.0 - 40.0 + 10.0, 1.0);
    EXPECT_NEAR(e[0], 1000.0 + 40.0 - 10.0, 1.0);
    EXPECT_NEAR(s[1], -500.0, 0.5);
    EXPECT_NEAR(s[2], 250.0, 0.01);
    EXPECT_EQ(block.up[1], 1.0f);

    // Normals turned over flip the up vector; the second axis is honoured.
    const tFitPointQueue flipped = Patch(40.0, 10.0, 250.0, -1.0f);
    cFitContainer back(flipped);
    stLoftGuideBlock second;
    second.axisChoice = 1;
    ComputeAxisAlignedGuide(back, second, s, e);
    EXPECT_NEAR(s[0], 1000.0, 0.5);
    EXPECT_LT(s[1], e[1]);
    EXPECT_EQ(second.up[0], 1.0f);
}

TEST(LoftGuide, PatchGuideCrossesTheFittedPlaneAlongItsLongerHalfExtent)
{
    const tFitPointQueue q = Patch(10.0, 40.0, -3.0, 1.0f);
    cFitContainer points(q);
    stLoftGuideBlock block;
    block.curves = 8;
    double s[3], e[3];
    ASSERT_TRUE(ComputePatchGuide(points, block, s, e));
    const double length = std::hypot(e[0] - s[0], e[1] - s[1], e[2] - s[2]);
    EXPECT_NEAR(length, 80.0 * 7.0 / 8.0, 2.0) << "the long side less one spacing";
    EXPECT_NEAR(std::fabs(e[1] - s[1]), length, 0.5) << "along y";
    EXPECT_NEAR(s[2], -3.0, 0.01);
    EXPECT_NEAR(e[2], -3.0, 0.01);
    // Up is in the plane, across the guide.
    EXPECT_NEAR(std::fabs(block.up[0]), 1.0f, 1e-3f);

    tFitPointQueue none;
    cFitContainer empty(none);
    stLoftGuideBlock untouched;
    EXPECT_FALSE(ComputePatchGuide(empty, untouched, s, e));
}

// A scan grid has exact borders: each end of the patch guide lies half a
// spacing inside them, on whichever side the guide runs. A resolved choice
// is kept for later guides (the free-form refit shares its block between
// the guide kinds, so a choice made by one steers the next).
TEST(LoftGuide, PatchGuideEndsLieHalfASpacingInsideTheScan)
{
    tFitPointQueue q;
    for (int j = 0; j <= 30; ++j)
        for (int i = 0; i <= 80; ++i)
        {
            stFitPoint p;
            p.position[0] = static_cast<float>(960.0 + i);
            p.position[1] = static_cast<float>(-515.0 + j);
            p.position[2] = 250.0f;
            p.normal[2] = 1.0f;
            q.push_back(p);
        }
    cFitContainer points(q);
    stLoftGuideBlock block;
    block.curves = 8;
    double s[3], e[3];
    ASSERT_TRUE(ComputePatchGuide(points, block, s, e));
    const std::uint8_t longer = block.axisChoice;
    ASSERT_NE(longer, 2) << "the choice is resolved";
    // 80 mm in eight spacings of 10: the ends 5 inside.
    EXPECT_NEAR(std::min(s[0], e[0]), 965.0, 1e-3);
    EXPECT_NEAR(std::max(s[0], e[0]), 1035.0, 1e-3);
    EXPECT_NEAR(s[1], -500.0, 1e-3);
    EXPECT_NEAR(e[1], -500.0, 1e-3);

    ASSERT_TRUE(ComputePatchGuide(points, block, s, e));
    EXPECT_EQ(block.axisChoice, longer);
    EXPECT_NEAR(std::fabs(e[0] - s[0]), 70.0, 1e-3) << "the kept choice";

    // The other axis: 30 mm in eight spacings of 3.75, the ends 1.875 inside.
    block.axisChoice = static_cast<std::uint8_t>(1 - longer);
    ASSERT_TRUE(ComputePatchGuide(points, block, s, e));
    EXPECT_NEAR(std::min(s[1], e[1]), -513.125, 1e-3);
    EXPECT_NEAR(std::max(s[1], e[1]), -486.875, 1e-3);
    EXPECT_NEAR(s[0], 1000.0, 1e-3);
    EXPECT_NEAR(s[2], 250.0, 1e-4);
}

} // namespace
