#include "core/bucket_search_tree_prop.h"

#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/scene_object.h"
#include "core/vertex_grid.h"
#include "support/geometry_scene_object.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{

using GeometryObject = GeometrySceneObject;

// An object whose geometry answers no point interface.
class PlainObject : public GeometrySceneObject
{
public:
    PlainObject() : GeometrySceneObject(nullptr) {}
};

const cVertex* BruteNearest(cPointCloud& cloud, const double q[3], double radius)
{
    const cVertex* best = nullptr;
    double r2 = radius * radius;
    for (std::uint32_t i = 0; i < cloud.GetVertexCount(); ++i)
    {
        const cVertex* v = cloud.GetVertex(i);
        if (v->IsExcluded())
            continue;
        const double dx = q[0] - v->x, dy = q[1] - v->y, dz = q[2] - v->z;
        const double d2 = dx * dx + dy * dy + dz * dz;
        if (r2 > d2)
        {
            r2 = d2;
            best = v;
        }
    }
    return best;
}

cMesh* MakeCloud(std::uint32_t n)
{
    auto* mesh = new cMesh();
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> unit(-5.0f, 5.0f);
    for (std::uint32_t i = 0; i < n; ++i)
    {
        const float p[3] = {unit(rng), unit(rng), unit(rng)};
        mesh->AddVertex(p);
    }
    return mesh;
}

TEST(BucketSearchTreeProp, IsAttachedOnceAndReusedUntilDetached)
{
    cMesh* mesh = MakeCloud(500);
    GeometryObject object(mesh);
    cBucketSearchTreeProp* property = cBucketSearchTreeProp::GetOrAttach(&object, kBucketSearchTreePropertyName);
    ASSERT_NE(property, nullptr);
    EXPECT_EQ(object.FindAttachedProperty(kBucketSearchTreePropertyName), property);
    EXPECT_FALSE(property->IsBuilt());
    EXPECT_GE(property->Build(1), 2u);
    EXPECT_EQ(cBucketSearchTreeProp::GetOrAttach(&object, kBucketSearchTreePropertyName), property);
    EXPECT_TRUE(property->IsBuilt());

    object.DetachProperty(kBucketSearchTreePropertyName);
    cBucketSearchTreeProp* fresh = cBucketSearchTreeProp::GetOrAttach(&object, kBucketSearchTreePropertyName);
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(fresh->IsBuilt());
    EXPECT_EQ(cBucketSearchTreeProp::GetOrAttach(nullptr, kBucketSearchTreePropertyName), nullptr);
}

TEST(BucketSearchTreeProp, CloudSearchesMatchAFullScanAndSkipExcludedVertices)
{
    cMesh* mesh = MakeCloud(2000);
    for (std::uint32_t i = 0; i < mesh->GetVertexCount(); i += 5)
        mesh->GetVertex(i)->flags |= kVertexFlagExcluded;
    GeometryObject object(mesh);
    auto* property = cBucketSearchTreeProp::GetOrAttach(&object, kBucketSearchTreePropertyName);
    ASSERT_TRUE(property->EnsureBuilt());
    std::mt19937 rng(4);
    std::uniform_real_distribution<double> unit(-6.0, 6.0);
    for (int k = 0; k < 200; ++k)
    {
        const double q[3] = {unit(rng), unit(rng), unit(rng)};
        double radius = 0.8;
        EXPECT_EQ(property->FindNearest(q, radius), BruteNearest(*mesh, q, 0.8));
    }
    // Every second vertex only.
    property->Build(2);
    std::uint32_t count = 0;
    for (std::uint32_t i = 0; i < property->GetTree().GetNodeCount(); ++i)
        count += property->GetTree().GetNode(i)->GetBucketCount();
    EXPECT_EQ(count, 800u); // 1000 even indices, 200 of them excluded
}

TEST(BucketSearchTreeProp, GridContributesItsNonEmptyLatticePoints)
{
    auto* grid = new cVertexGrid(6, 5, false);
    for (std::uint32_t c = 0; c < 5; ++c)
    {
        for (std::uint32_t r = 0; r < 6; ++r)
        {
            cVertex* v = grid->GetVertex(grid->IndexOf(r, c));
            v->x = static_cast<float>(c);
            v->y = static_cast<float>(r);
        }
    }
    cVertex* hole = grid->GetVertex(grid->IndexOf(2, 2));
    hole->x = FLT_MAX;
    hole->flags |= kVertexFlagExcluded;
    GeometryObject object(grid);
    auto* property = cBucketSearchTreeProp::GetOrAttach(&object, kBucketSearchTreePropertyName);
    EXPECT_GE(property->Build(2), 1u);
    // Rows 0, 2, 4 of columns 0, 2, 4, without the hole.
    std::uint32_t count = 0;
    for (std::uint32_t i = 0; i < property->GetTree().GetNodeCount(); ++i)
        count += property->GetTree().GetNode(i)->GetBucketCount();
    EXPECT_EQ(count, 8u);
    const double q[3] = {2.1, 2.1, 0.0};
    double radius = 5.0;
    EXPECT_NE(property->FindNearest(q, radius), hole);
    EXPECT_NEAR(radius, std::sqrt(0.1 * 0.1 + 1.9 * 1.9), 1e-6);
}

TEST(BucketSearchTreeProp, MovingOrChangingTheObjectEmptiesTheTreeButKeepsItAttached)
{
    cMesh* mesh = MakeCloud(300);
    GeometryObject object(mesh);
    auto* property = cBucketSearchTreeProp::GetOrAttach(&object, kBucketSearchTreePropertyName);
    ASSERT_TRUE(property->EnsureBuilt());
    double shift[12];
    MakeIdentity3x4(shift);
    shift[3] = 100.0;
    object.ApplyTransform(shift);
    EXPECT_EQ(object.FindAttachedProperty(kBucketSearchTreePropertyName), property);
    EXPECT_FALSE(property->IsBuilt());
    // Searched at the old place it finds nothing stale; rebuilt it answers
    // at the new place.
    const double q[3] = {mesh->GetVertex(0)->x - 100.0, mesh->GetVertex(0)->y, mesh->GetVertex(0)->z};
    double radius = 1.0;
    EXPECT_EQ(property->FindNearest(q, radius), nullptr);
    ASSERT_TRUE(property->EnsureBuilt());
    const double moved[3] = {mesh->GetVertex(0)->x, mesh->GetVertex(0)->y, mesh->GetVertex(0)->z};
    radius = 1.0;
    EXPECT_EQ(property->FindNearest(moved, radius), mesh->GetVertex(0));

    object.UpdateGeometry();
    EXPECT_FALSE(property->IsBuilt());
}

TEST(BucketSearchTreeProp, ObjectWithoutPointsBuildsNothing)
{
    PlainObject object;
    auto* property = cBucketSearchTreeProp::GetOrAttach(&object, kBucketSearchTreePropertyName);
    ASSERT_NE(property, nullptr);
    EXPECT_EQ(property->Build(1), 0u);
    EXPECT_FALSE(property->EnsureBuilt());
    cRCObject<cBucketSearchTreeProp> orphan(kBucketSearchTreePropertyName, nullptr);
    EXPECT_EQ(orphan.Build(1), 0u);
}

} // namespace
