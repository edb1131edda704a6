// The selection taken as a revolved, extruded or free-form region on a pool,
// as alone.
#include "shapes/extracted_revolved_surface.h"

#include "core/mesh.h"
#include "core/thread_pool.h"
#include "support/test_meshes.h"

#include <gtest/gtest.h>

TEST(SelectedTrianglesOnAPool, TheLastSelectedTriangleAndTheLabelsAreTheOnesAloneGives)
{
    // 80,000 triangles: selections in the first blocks only, one of them
    // excluded, and every label's top byte kept.
    std::unique_ptr<cMesh> mesh = MakeGridMesh(200, 200, 1.0);
    const std::uint32_t count = mesh->GetTriangleCount();
    for (std::uint32_t i = 0; i < count; ++i)
        mesh->GetTriangle(i)->colour = 0x33000005u;
    for (std::uint32_t i : {3u, 20000u, 20001u, 40000u})
        mesh->GetTriangle(i)->flags = 1;
    mesh->GetTriangle(40000)->flags |= 2;
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    const std::int64_t last = MarkSelectedTriangles(*mesh);
    SetSharedThreadPool(nullptr);
    EXPECT_EQ(last, 20001);
    for (std::uint32_t i = 0; i < count; ++i)
        ASSERT_EQ(mesh->GetTriangle(i)->colour, (i == 3 || i == 20000 || i == 20001) ? 0x33000001u : 0x33000000u) << i;
}
