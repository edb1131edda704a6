#include "analysis/analysed_vertex_tree.h"
#include "core/mesh_object.h"
#include "platform/geometry/mesh.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

namespace
{

// A tree over n points along x with the given deviations.
void Fill(cAVTree& tree, ON_Mesh& mesh, const std::vector<float>& deviations)
{
    mesh.Destroy();
    for (std::size_t i = 0; i < deviations.size(); ++i)
        mesh.SetVertex(static_cast<int>(i), ON_3fPoint(static_cast<float>(i), 0, 0));
    tree.Build(&mesh);
    for (std::size_t i = 0; i < deviations.size(); ++i)
        tree.SetDeviation(static_cast<std::uint32_t>(i), deviations[i]);
}

} // namespace

TEST(AnalysedVertexTree, StatisticsCountTheToleranceBandAsInAndKeepTheFirstExtreme)
{
    cAVTree tree;
    ON_Mesh mesh;
    Fill(tree, mesh, {0.1f, -0.1f, 0.2f, -0.3f, FLT_MAX, -0.3f, 0.2f, 0.0f});
    tree.ComputeStatistics(0.1f);
    const stDeviationStatistics& s = tree.GetStatistics();
    ASSERT_TRUE(s.valid);
    EXPECT_EQ(s.compared, 7u);
    EXPECT_EQ(s.inTolerance, 3u); // +-0.1 exactly and 0
    EXPECT_EQ(s.aboveTolerance, 2u);
    EXPECT_EQ(s.belowTolerance, 2u);
    EXPECT_FLOAT_EQ(s.minimum, -0.3f);
    EXPECT_FLOAT_EQ(s.minimumPoint[0], 3.0f); // the first of two equal minima
    EXPECT_FLOAT_EQ(s.maximum, 0.2f);
    EXPECT_FLOAT_EQ(s.maximumPoint[0], 2.0f);
    const double sum = 0.01 + 0.01 + 0.04 + 0.09 + 0.09 + 0.04 + 0.0;
    EXPECT_NEAR(s.rms, std::sqrt(sum / 7.0), 1e-7);

    Fill(tree, mesh, {FLT_MAX, FLT_MAX});
    tree.ComputeStatistics(0.1f);
    EXPECT_FALSE(tree.GetStatistics().valid);
    EXPECT_EQ(tree.GetStatistics().compared, 0u);
    EXPECT_FALSE(tree.SetDeviation(2, 0.0f));
}

TEST(AnalysedVertexTree, PointsBeyondTheRangeAreCountedByTheirSide)
{
    cAVTree tree;
    ON_Mesh mesh;
    // Measured past +-0.5 (one exactly at it), and unmeasured with their
    // side found, one below, one above, and one whose side is unknown.
    Fill(tree, mesh, {0.6f, 0.5f, -0.7f, 0.1f, FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX});
    EXPECT_TRUE(tree.SetBeyondSide(4, -1));
    EXPECT_TRUE(tree.SetBeyondSide(5, 1));
    EXPECT_TRUE(tree.SetBeyondSide(6, -3));
    EXPECT_FALSE(tree.SetBeyondSide(8, 1));
    tree.ComputeStatistics(0.1f, 0.5f);
    const stDeviationStatistics& s = tree.GetStatistics();
    EXPECT_EQ(s.compared, 4u);
    EXPECT_EQ(s.beyondAbove, 2u); // 0.6 and vertex 5
    EXPECT_EQ(s.beyondBelow, 3u); // -0.7 and vertices 4 and 6
    EXPECT_FLOAT_EQ(s.maximum, 0.6f) << "the compared extremes stay";

    // Nothing compared, yet the sides are known.
    Fill(tree, mesh, {FLT_MAX, FLT_MAX});
    tree.SetBeyondSide(1, 1);
    tree.ComputeStatistics(0.1f, 0.5f);
    EXPECT_FALSE(tree.GetStatistics().valid);
    EXPECT_EQ(tree.GetStatistics().beyondAbove, 1u);
    EXPECT_EQ(tree.GetStatistics().beyondBelow, 0u);
}

TEST(AnalysedVertexTree, NearestRecordAndEmptyTrees)
{
    cAVTree tree;
    ON_Mesh mesh;
    Fill(tree, mesh, {0.0f, 0.0f, 0.0f, 0.0f});
    const float p[3] = {2.2f, 0.5f, 0.0f};
    double distance = 0.0;
    const cON_AVertex* record = tree.NearestRecord(p, &distance);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->vertexIndex, 2u);
    EXPECT_NEAR(distance, std::sqrt(0.04 + 0.25), 1e-6);

    ON_Mesh empty;
    tree.Build(&empty);
    EXPECT_EQ(tree.NearestRecord(p), nullptr);
    tree.Build(static_cast<const cMesh*>(nullptr));
    EXPECT_EQ(tree.GetCount(), 0u);
    tree.ComputeStatistics(0.1f);
    EXPECT_FALSE(tree.GetStatistics().valid);
}

TEST(AnalysedVertexTree, HostAttachmentIsFoundAgainAndRemovedOnce)
{
    ON_Mesh mesh;
    mesh.SetVertex(0, ON_3fPoint(1, 2, 3));
    cON_AVTree* tree = cON_AVTree::GetOrCreate(&mesh);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->GetCount(), 1u);
    EXPECT_EQ(cON_AVTree::GetOrCreate(&mesh), tree);
    EXPECT_EQ(cON_AVTree::Find(&mesh), tree);
    ON_wString description;
    tree->GetDescription(description);
    EXPECT_EQ(description.Str(), L"analyzer vertex tree");
    cON_AVTree::Remove(&mesh);
    EXPECT_EQ(cON_AVTree::Find(&mesh), nullptr);
    cON_AVTree::Remove(&mesh);
    EXPECT_EQ(cON_AVTree::GetOrCreate(nullptr), nullptr);

    // Only meshes get a tree.
    ON_UserData notAMesh;
    EXPECT_EQ(cON_AVTree::GetOrCreate(&notAMesh), nullptr);
    // A mesh that dies takes its tree with it (no leak under the sanitizer).
    auto* doomed = new ON_Mesh(mesh);
    ASSERT_NE(cON_AVTree::GetOrCreate(doomed), nullptr);
    delete doomed;
}

TEST(AnalysedVertexTree, SceneAttachmentIsOwnedByTheObjectAndIgnoresMoves)
{
    cMeshObject object;
    const float p[3] = {1, 1, 1};
    object.GetMesh()->AddVertex(p);
    cVTL_AVTree* property = cVTL_AVTree::GetOrCreateProperty(&object);
    ASSERT_NE(property, nullptr);
    EXPECT_EQ(cVTL_AVTree::GetOrCreateProperty(&object), property);
    property->Build(object.GetMesh());
    const double shift[12] = {1, 0, 0, 5, 0, 1, 0, 0, 0, 0, 1, 0};
    object.ApplyTransform(shift);
    EXPECT_FLOAT_EQ(property->GetRecord(0)->x, 1.0f); // stale until the next pass
    EXPECT_EQ(cVTL_AVTree::GetOrCreateProperty(nullptr), nullptr);
}
