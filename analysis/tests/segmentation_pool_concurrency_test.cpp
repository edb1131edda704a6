// The sharpness values of a big scan, with the process's pool sharing their
// passes: the same value on every vertex as computed alone.
#include "analysis/segmentation.h"
#include "analysis_test_meshes.h"
#include "core/thread_pool.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{

TEST(SegmentationPool, SharedPassesGiveEveryVertexTheSameValue)
{
    // A CAD block subdivided past one block of the angle pass, with a
    // vertex that no triangle uses.
    const ON_Mesh block = analysis_test::MidpointSubdivision(analysis_test::MidpointSubdivision(
        analysis_test::MidpointSubdivision(analysis_test::CadBlock(6, 8, 30))));
    cMesh alone, shared;
    for (cMesh* mesh : {&alone, &shared})
    {
        analysis_test::FillMesh(*mesh, block);
        const float lone[3] = {0.0f, 0.0f, 0.0f};
        mesh->AddVertex(lone);
    }
    ASSERT_GT(alone.GetTriangleCount(), 1u << 14);
    ComputeSegmentationValues(alone);
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    ComputeSegmentationValues(shared);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    std::size_t sharp = 0;
    for (std::uint32_t i = 0; i < alone.GetVertexCount(); ++i)
    {
        const float a = alone.GetVertex(i)->GetScalar(), b = shared.GetVertex(i)->GetScalar();
        ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "vertex " << i;
        sharp += a > 50.0f;
    }
    EXPECT_GT(sharp, 0u) << "the block's edges are sharp";
}

} // namespace
