// The solid pass's gatherer thread and the GL thread hand batches over
// without losing, repeating or racing on any (run under ThreadSanitizer).
// No GL context is current here: the draws are no-ops, the hand-over is
// what is tested.
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "render/solid_pass_pipeline.h"

#include <gtest/gtest.h>

#include <atomic>

namespace
{

// A strip of n quads (2n triangles); every seventh triangle selected, every
// eleventh hidden.
void BuildStrip(cMesh& mesh, std::uint32_t n, bool select = true)
{
    for (std::uint32_t i = 0; i <= n; ++i)
        for (float y : {0.0f, 1.0f})
        {
            const float p[3] = {float(i), y, 0.0f};
            mesh.AddVertex(p);
        }
    for (std::uint32_t i = 0; i < n; ++i)
    {
        mesh.AddTriangle(2 * i, 2 * i + 2, 2 * i + 3);
        mesh.AddTriangle(2 * i, 2 * i + 3, 2 * i + 1);
    }
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
    {
        if (select && i % 7 == 0)
            mesh.GetTriangle(i)->flags |= kTriangleFlagSelected;
        if (i % 11 == 0)
            mesh.GetTriangle(i)->flags |= kTriangleFlagHidden;
    }
}

std::atomic<std::uint32_t> g_ticks{0};
std::uint32_t Tick() { return g_ticks.fetch_add(1) + 1; }

TEST(SolidPassPipelineConcurrency, EveryPassEndsAndTheSelectionMaterialComesOnceBeforeTheSelectedBatches)
{
    cMesh mesh;
    // Enough triangles for several batches of shared corners; the flat
    // runs' batches are filled on a pool.
    BuildStrip(mesh, 300000);
    cSolidPassPipeline pipeline;
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    for (int run = 0; run < 4; ++run)
    {
        int materials = 0;
        cSolidPassPipeline::stRequest request;
        request.mesh = &mesh;
        request.flat = run % 2 == 1;
        request.now = [] { return std::uint32_t(0); };
        request.beforeSelected = [&] { ++materials; };
        std::uint8_t complete = 0;
        EXPECT_EQ(pipeline.Run(request, &complete), 0u);
        EXPECT_EQ(complete, 1);
        EXPECT_EQ(materials, 1) << "run " << run;
    }
    SetSharedThreadPool(nullptr);
}

TEST(SolidPassPipelineConcurrency, WithoutSelectedTrianglesTheSelectionMaterialNeverComes)
{
    cMesh mesh;
    BuildStrip(mesh, 100000, false);
    cSolidPassPipeline pipeline;
    int materials = 0;
    cSolidPassPipeline::stRequest request;
    request.mesh = &mesh;
    request.now = [] { return std::uint32_t(0); };
    request.beforeSelected = [&] { ++materials; };
    std::uint8_t complete = 0;
    EXPECT_EQ(pipeline.Run(request, &complete), 0u);
    EXPECT_EQ(complete, 1);
    EXPECT_EQ(materials, 0);
}

TEST(SolidPassPipelineConcurrency, ABudgetStopsTheGathererAtACheckAndTheGLThreadStillEnds)
{
    cMesh mesh;
    BuildStrip(mesh, 300000);
    cSolidPassPipeline pipeline;
    for (std::uint32_t budget : {0u, 5u, 100u})
    {
        g_ticks = 0;
        cSolidPassPipeline::stRequest request;
        request.mesh = &mesh;
        request.budget = budget;
        request.now = &Tick;
        request.start = 0;
        std::uint8_t complete = 1;
        const std::uint32_t elapsed = pipeline.Run(request, &complete);
        EXPECT_EQ(complete, 0) << budget;
        // The clock moves one tick per check: the pass stops at the first
        // check past the budget.
        EXPECT_EQ(elapsed, budget + 1) << budget;
    }
}

} // namespace
