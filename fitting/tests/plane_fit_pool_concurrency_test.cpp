// The plane refinements over a big scan: the same plane to the bit whether
// the process's pool shares the sums or not.
#include "core/thread_pool.h"
#include "fitting/packed_fit_points.h"
#include "fitting/plane_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <random>

namespace
{

// A tilted, noisy patch half a metre out, of several packing blocks.
tFitPointQueue TiltedPatch(int count = 70000)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> along(-40.0, 40.0);
    std::normal_distribution<double> noise(0.0, 0.02);
    tFitPointQueue points;
    for (int i = 0; i < count; ++i)
    {
        const double u = along(random), v = along(random), w = noise(random);
        stFitPoint p;
        p.position[0] = float(500.0 + 0.8 * u + 0.36 * w);
        p.position[1] = float(-200.0 + 0.6 * v - 0.48 * w);
        p.position[2] = float(70.0 - 0.6 * u + 0.8 * w);
        p.normal[2] = 1.0f;
        points.push_back(p);
    }
    return points;
}

struct stPlane
{
    double normal[3] = {0, 0, 0};
    double offset = 0;
    double lmdNormal[3] = {0, 0, 0};
    double lmdOffset = 0;
};

stPlane FitBoth(const tFitPointQueue& points)
{
    stPlane plane;
    cPlaneFit fit(points);
    fit.ActivateAllPoints();
    EXPECT_TRUE(fit.Fit(plane.lmdNormal, plane.lmdOffset));
    const std::uint8_t open[4] = {1, 1, 1, 1};
    plane.normal[2] = 1.0;
    EXPECT_TRUE(FitConstrainedPlane(fit, plane.normal, plane.offset, open));
    return plane;
}

TEST(PlaneFitPool, SharedSumsGiveTheSamePlaneToTheBit)
{
    const tFitPointQueue points = TiltedPatch();
    const stPlane alone = FitBoth(points);
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    const stPlane shared = FitBoth(points);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_EQ(shared.normal[k], alone.normal[k]) << k;
        EXPECT_EQ(shared.lmdNormal[k], alone.lmdNormal[k]) << k;
    }
    EXPECT_EQ(shared.offset, alone.offset);
    EXPECT_EQ(shared.lmdOffset, alone.lmdOffset);
    // The planes the refinements gave when they tried one point at a time.
    const double pinned[4] = {0x1.3333990346cc3p-1, 0x1.3d42daf798405p-17, 0x1.99994d3cfc42ap-1,
                              -0x1.63ffdbb393516p+8};
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(alone.lmdNormal[k], pinned[k]) << k;
    EXPECT_EQ(alone.lmdOffset, pinned[3]);
    const double constrained[4] = {0x1.3333893675299p-1, 0x1.11186d85dbep-17, 0x1.99995916bef9cp-1,
                                   -0x1.63ffde38c3025p+8};
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(alone.normal[k], constrained[k]) << k;
    EXPECT_EQ(alone.offset, constrained[3]);
    // And the plane is the patch's: normal (0.6, 0, 0.8) up to its sign.
    EXPECT_NEAR(std::fabs(alone.normal[0]), 0.6, 1e-3);
    EXPECT_NEAR(std::fabs(alone.normal[2]), 0.8, 1e-3);
}

TEST(PlaneFitPool, AConstrainedPlaneOfManyPointsOnATeamIsThePlaneAlone)
{
    // Enough points for the passes to run on a team of the pool's threads.
    const tFitPointQueue points = TiltedPatch(int(kPackedPoolMinimum) + 1000);
    cPlaneFit fit(points);
    fit.ActivateAllPoints();
    const std::uint8_t open[4] = {1, 1, 1, 1};
    double alone[4] = {0.0, 0.0, 1.0, 0.0}, pooled[4] = {0.0, 0.0, 1.0, 0.0};
    ASSERT_TRUE(FitConstrainedPlane(fit, alone, alone[3], open));
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    EXPECT_TRUE(FitConstrainedPlane(fit, pooled, pooled[3], open));
    SetSharedThreadPool(nullptr);
    pool.Stop();
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(pooled[k], alone[k]) << k;
}

TEST(PlaneFitPool, APlaneOfManyPointsOnATeamIsThePlaneAlone)
{
    // Enough points for the mean distance's passes to run on a team of the
    // pool's threads.
    const tFitPointQueue points = TiltedPatch(int(kPackedPoolMinimum) + 1000);
    cPlaneFit fit(points);
    fit.ActivateAllPoints();
    double alone[4], pooled[4];
    ASSERT_TRUE(fit.Fit(alone, alone[3]));
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    EXPECT_TRUE(fit.Fit(pooled, pooled[3]));
    SetSharedThreadPool(nullptr);
    pool.Stop();
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(pooled[k], alone[k]) << k;
}

TEST(PlaneFitPool, PlanesSummedSideBySideSumAsEachAlone)
{
    // Five planes (a pass of four and one with lanes left over), their
    // distances' sizes and squares, alone and on a pool.
    const std::unique_ptr<cPackedFitPoints> packed = PackActivePoints(TiltedPatch());
    ASSERT_TRUE(packed);
    const double normals[15] = {0.6, 0.0, 0.8, 0.0, 1.0, 0.0, 0.48, 0.6, 0.64, -0.8, 0.0, 0.6, 1.0, 0.0, 0.0};
    const double offsets[5] = {-356.0, 200.0, -100.25, 300.5, -500.0};
    cThreadPool pool(3);
    for (cThreadPool* on : {static_cast<cThreadPool*>(nullptr), &pool})
        for (const bool squared : {false, true})
        {
            double sums[5];
            SumPlaneDistancesSideBySide(*packed, normals, offsets, 5, squared, on, sums);
            for (int c = 0; c < 5; ++c)
                EXPECT_EQ(sums[c], squared ? SumSquaredPlaneDistances(*packed, normals + 3 * c, offsets[c], on)
                                           : SumAbsPlaneDistances(*packed, normals + 3 * c, offsets[c], on))
                    << c << " " << squared;
        }
    pool.Stop();
}

TEST(PlaneFitPool, ADistanceRangeOnAPoolIsTheOnePassRange)
{
    // Three patches one after another (four blocks of the pool pass), one
    // record not a number.
    tFitPointQueue points;
    for (int copy = 0; copy < 3; ++copy)
        for (stFitPoint p : TiltedPatch())
        {
            p.position[1] += float(copy);
            points.push_back(p);
        }
    points[100000].position[0] = std::nanf("");
    const cPlaneFit fit(points);
    const double normal[3] = {0.6, 0.0, 0.8}, offset = -356.0;
    double low = FLT_MAX, high = -FLT_MAX;
    for (const stFitPoint& p : points)
    {
        const double q[3] = {p.position[0], p.position[1], p.position[2]};
        const double dist = normal[0] * q[0] + normal[1] * q[1] + normal[2] * q[2] + offset;
        low = std::min(low, dist), high = std::max(high, dist);
    }
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    double pooled[2];
    fit.GetDistanceRange(normal, offset, pooled[0], pooled[1]);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    EXPECT_EQ(pooled[0], low);
    EXPECT_EQ(pooled[1], high);
    EXPECT_LT(low, -0.05);
    EXPECT_GT(high, 0.05);
}

} // namespace
