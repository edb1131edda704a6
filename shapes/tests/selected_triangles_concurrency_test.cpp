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

TEST(SelectedTrianglesOnAPool, TheSelectedRegionIsTheOneTheLastTaggedTriangleMarks)
{
    // 80,000 triangles: the tags of MarkSelectedTriangles and the region that
    // marking from its last tagged triangle gives (its flags, and its list as
    // bits), the region bit left set on triangles outside it and cleared on
    // some inside by an earlier region, made in one pass on a pool.
    auto make = [] {
        std::unique_ptr<cMesh> mesh = MakeGridMesh(200, 200, 1.0);
        for (std::uint32_t i = 0; i < mesh->GetTriangleCount(); ++i)
        {
            cMeshTriangle* t = mesh->GetTriangle(i);
            t->colour = 0x44000003u;
            t->flags = static_cast<std::uint8_t>((i % 7 == 0 ? kSweepRegionFlag : 0) | (i % 5 == 0 ? 1 : 0) |
                                                 (i % 35 == 5 ? 2 : 0) | (i % 3 == 0 ? 8 : 0));
        }
        return mesh;
    };
    std::unique_ptr<cMesh> apart = make(), together = make();
    const std::int64_t last = MarkSelectedTriangles(*apart);
    std::vector<std::uint32_t> listed;
    MarkRegionFromSeeds(*apart, {static_cast<std::uint32_t>(last)}, false, &listed);
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    std::vector<std::uint64_t> bits{7, 7};
    const std::int64_t found = MarkSelectedRegion(*together, bits);
    SetSharedThreadPool(nullptr);
    EXPECT_EQ(found, last);
    std::vector<std::uint64_t> expected((apart->GetTriangleCount() + 63) / 64, 0);
    for (const std::uint32_t i : listed)
        expected[i / 64] |= std::uint64_t{1} << (i % 64);
    EXPECT_EQ(bits, expected);
    for (std::uint32_t i = 0; i < apart->GetTriangleCount(); ++i)
    {
        ASSERT_EQ(together->GetTriangle(i)->flags, apart->GetTriangle(i)->flags) << i;
        ASSERT_EQ(together->GetTriangle(i)->colour, apart->GetTriangle(i)->colour) << i;
    }
}
