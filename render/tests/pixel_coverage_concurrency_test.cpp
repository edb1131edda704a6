// The triangles a big mesh's frame leaves out are found on the shared pool:
// the same bits as alone (run under ThreadSanitizer). No GL context: the
// view is given as its map.
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "platform/wgl/wgl.h"
#include "render/pixel_coverage.h"
#include "render/tests/support/ball_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>

namespace
{

// An orthographic view of 160 x 150 pixels onto the ball, turned about x,
// its depth along the view.
stWindowMap BallView()
{
    return ::BallView(1.0, {3, 2, 160, 150});
}

stFragmentRules Rules(std::uint32_t cull)
{
    stFragmentRules rules;
    rules.cull = cull;
    rules.nearestStays = cull == 0;
    rules.depthStep = std::ldexp(1.0, -24);
    return rules;
}

TEST(PixelCoverageConcurrency, TheTrianglesLeftOutOnAPoolAreTheOnesFoundAlone)
{
    cMesh mesh;
    BuildBall(mesh, 300);
    mesh.Update();
    const stWindowMap map = BallView();
    for (const std::uint32_t cull : {0u, std::uint32_t(GL_BACK)})
    {
        const stFragmentRules rules = Rules(cull);
        std::vector<std::uint64_t> alone[2], pooled[2];
        bool behindAlone = false, behindPooled = false;
        SetSharedThreadPool(nullptr);
        FindTrianglesCoveringNoPixel(mesh, map, alone[0]);
        FindTrianglesDrawingNothing(mesh, map, rules, alone[0], alone[1], behindAlone);
        cThreadPool pool(4);
        SetSharedThreadPool(&pool);
        FindTrianglesCoveringNoPixel(mesh, map, pooled[0]);
        FindTrianglesDrawingNothing(mesh, map, rules, pooled[0], pooled[1], behindPooled);
        SetSharedThreadPool(nullptr);
        EXPECT_EQ(alone[0], pooled[0]);
        EXPECT_EQ(alone[1], pooled[1]) << "culled faces " << cull;
        EXPECT_EQ(behindAlone, behindPooled);
        EXPECT_EQ(behindAlone, cull == 0);
        std::size_t left = 0, none = 0;
        for (std::uint64_t word : alone[1])
            left += std::size_t(std::popcount(word));
        for (std::uint64_t word : alone[0])
            none += std::size_t(std::popcount(word));
        // A good share of those covering a centre: the far side.
        EXPECT_GT(left, (mesh.GetTriangleCount() - none) / 4) << "culled faces " << cull;
    }
}

// A view's cache finds the coverage, turns and depths in one pass and
// lists what may cover a centre for the triangles left out: what the steps
// find one after another alone.
TEST(PixelCoverageConcurrency, AViewsCacheOnAPoolLeavesOutWhatTheStepsDoAlone)
{
    cMesh mesh;
    BuildBall(mesh, 300);
    mesh.Update();
    const stWindowMap map = BallView();
    for (const std::uint32_t cull : {0u, std::uint32_t(GL_BACK)})
    {
        const stFragmentRules rules = Rules(cull);
        std::vector<std::uint64_t> alone[2];
        bool behindAlone = false, behindKept = false;
        SetSharedThreadPool(nullptr);
        FindTrianglesCoveringNoPixel(mesh, map, alone[0]);
        FindTrianglesDrawingNothing(mesh, map, rules, alone[0], alone[1], behindAlone);
        cThreadPool pool(4);
        SetSharedThreadPool(&pool);
        cPixelCoverageCache cache(cPixelCoverageCache::kName, nullptr);
        const std::vector<std::uint64_t> kept = cache.FindDrawingNothing(mesh, map, rules, behindKept);
        SetSharedThreadPool(nullptr);
        EXPECT_EQ(cache.Find(mesh, map), alone[0]) << "culled faces " << cull;
        EXPECT_EQ(kept, alone[1]) << "culled faces " << cull;
        EXPECT_EQ(behindKept, behindAlone);
    }
}

} // namespace
