#include "shapes/region_tags.h"

#include "shapes/primitive_geometry.h"
#include "support/test_shapes.h"
#include "support/test_meshes.h"

#include <gtest/gtest.h>

namespace
{

using Plane = TestPlane;

std::uint32_t CountFlagged(cMesh& mesh, std::uint8_t mask)
{
    std::uint32_t n = 0;
    mesh.ForEachTriangle([&](cMeshTriangle& t) { n += (t.flags & mask) == mask ? 1 : 0; });
    return n;
}

} // namespace

// 6 x 4 quads: columns 0-2 tag 7, columns 3-5 tag 9.
class RegionTags : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mesh = MakeGridMesh(6, 4, 1.0);
        TagQuads(*mesh, 6, [](int i, int) { return i < 3 ? 7u : 9u; });
    }
    std::unique_ptr<cMesh> mesh;
};

TEST_F(RegionTags, FloodStopsAtTheTagBorder)
{
    FloodRegionTag(mesh->GetTriangle(0), 0x5A, 4);
    EXPECT_EQ(CountFlagged(*mesh, 4), 24u);
    for (std::uint32_t t = 0; t < mesh->GetTriangleCount(); ++t)
    {
        const cMeshTriangle* tri = mesh->GetTriangle(t);
        const bool inside = tri->GetLabel() == 7;
        EXPECT_EQ((tri->flags & 4) != 0, inside) << t;
        EXPECT_EQ(tri->colour >> 24, inside ? 0x5Au : 0u) << t;
        EXPECT_EQ(tri->GetLabel(), inside ? 7u : 9u); // the tag itself is kept
    }
}

TEST_F(RegionTags, FloodDoesNotCrossMarkedTriangles)
{
    // Mark column 1 of the tag-7 block: the flood from column 0 cannot pass.
    for (int j = 0; j < 4; ++j)
        for (int k = 0; k < 2; ++k)
            mesh->GetTriangle(static_cast<std::uint32_t>(2 * (j * 6 + 1) + k))->flags |= 4;
    FloodRegionTag(mesh->GetTriangle(0), 1, 4);
    EXPECT_EQ(CountFlagged(*mesh, 4), 8u + 8u); // column 0 and the pre-marked column 1
    EXPECT_EQ(mesh->GetTriangle(2 * 2)->flags & 4, 0);
}

TEST_F(RegionTags, DisconnectedPatchesOfOneTagStaySeparate)
{
    TagQuads(*mesh, 6, [](int i, int) { return i == 2 || i == 3 ? 9u : 7u; }); // 7 | 9 | 7
    FloodRegionTag(mesh->GetTriangle(0), 1, 4);
    EXPECT_EQ(CountFlagged(*mesh, 4), 16u);
    EXPECT_EQ(mesh->GetTriangle(2 * 5)->flags & 4, 0);
}

TEST_F(RegionTags, UntaggedOrNullStartChangesNothing)
{
    mesh->GetTriangle(0)->SetLabel(kTriangleUnlabelled);
    FloodRegionTag(mesh->GetTriangle(0), 1, 4);
    FloodRegionTag(nullptr, 1, 4);
    EXPECT_EQ(CountFlagged(*mesh, 4), 0u);
    EXPECT_EQ(mesh->GetTriangle(0)->colour >> 24, 0u);
}

TEST_F(RegionTags, OneSeedPerTag)
{
    Plane plane;
    for (std::uint32_t t = 0; t < mesh->GetTriangleCount(); ++t)
        AddRegionSeed(plane, *mesh, t);
    ASSERT_EQ(plane.GetSeeds().size(), 2u);
    EXPECT_EQ(plane.GetSeeds()[0], 0u);
    EXPECT_EQ(plane.GetSeeds()[1], 6u); // the first triangle of column 3
}

TEST_F(RegionTags, SeedsOutsideTheMeshNameNoTriangle)
{
    Plane plane;
    EXPECT_FALSE(AddRegionSeed(plane, *mesh, mesh->GetTriangleCount()));
    EXPECT_TRUE(plane.GetSeeds().empty());
    // A stale seed from a document does not block a real one.
    plane.GetSeeds().push_back(100000);
    EXPECT_TRUE(AddRegionSeed(plane, *mesh, 0));
    EXPECT_EQ(plane.GetSeeds().size(), 2u);
}

TEST_F(RegionTags, LargeRegionNeedsNoDeepRecursion)
{
    auto big = MakeGridMesh(300, 300, 1.0);
    TagQuads(*big, 300, [](int, int) { return 3u; });
    FloodRegionTag(big->GetTriangle(0), 2, 4);
    EXPECT_EQ(CountFlagged(*big, 4), big->GetTriangleCount());
}
