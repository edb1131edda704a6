#include "analysis/cad_search_tree.h"

#include "analysis_test_meshes.h"
#include "distance_oracle.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>

namespace
{

// The smallest oracle distance from p to any face (quads as two triangles).
double BruteForceDistance(const ON_Mesh& mesh, const float p[3])
{
    double best = DBL_MAX;
    for (const ON_MeshFace& f : mesh.m_F)
    {
        const float* v[4];
        for (int k = 0; k < 4; ++k)
            v[k] = &mesh.m_V[f.vi[k]].x;
        best = std::min(best, analysis_test::OracleDistance(p, v[0], v[1], v[2]));
        if (f.IsQuad())
            best = std::min(best, analysis_test::OracleDistance(p, v[0], v[2], v[3]));
    }
    return best;
}

void BuildTree(cCADSearchTree& tree, const ON_Mesh& mesh)
{
    const std::vector<const ON_Mesh*> meshes{&mesh};
    tree.BuildVertexTree(meshes);
    tree.BuildFaceTree(meshes, nullptr);
}

// Checks the tree's closest face against the brute force for random points,
// including points far outside the soup.
void ExpectMatchesBruteForce(const ON_Mesh& mesh, std::mt19937& rng, float extent, int queries)
{
    cCADSearchTree tree;
    BuildTree(tree, mesh);
    ASSERT_TRUE(tree.IsSearchable());
    std::uniform_real_distribution<float> u(-2.0f * extent, 2.0f * extent);
    for (int q = 0; q < queries; ++q)
    {
        const float p[3] = {u(rng), u(rng), u(rng)};
        double d = FLT_MAX;
        double closest[3];
        const cInspectionFace* face = tree.ClosestFace(p, d, closest);
        ASSERT_NE(face, nullptr);
        const double expected = BruteForceDistance(mesh, p);
        ASSERT_NEAR(std::fabs(d), expected, 1e-6 * std::max(1.0, expected)) << q;
        // Inside a face the sign is the side of its normal the point is on
        // (at corners and edges the pseudo-normals decide, tested apart).
        std::uint8_t feature = 0;
        double again[3];
        cCADSearchTree::MeasureFace(*face, p, FLT_MAX, again, &feature);
        if (feature != 0)
            continue;
        const double side = (p[0] - closest[0]) * face->normal[0] + (p[1] - closest[1]) * face->normal[1] +
                            (p[2] - closest[2]) * face->normal[2];
        ASSERT_EQ(d < 0.0, side < 0.0) << q;
    }
}

} // namespace

TEST(CADSearchTree, ClosestFaceMatchesBruteForceOnRandomSoupsAtEveryScale)
{
    std::mt19937 rng(3);
    // Small parts (no split under the plain 2-unit rule), a 1000-unit part
    // that splits deeply, and a millimetre part a metre from the origin.
    for (const float extent : {0.05f, 1.0f, 500.0f})
    {
        const ON_Mesh soup = analysis_test::RandomSoup(rng, 400, extent, false);
        ExpectMatchesBruteForce(soup, rng, extent, 300);
    }
    ON_Mesh far = analysis_test::RandomSoup(rng, 300, 5.0f, false);
    for (ON_3fPoint& p : far.m_V)
        p.x += 1000.0f;
    cCADSearchTree tree;
    BuildTree(tree, far);
    std::uniform_real_distribution<float> u(-10.0f, 10.0f);
    for (int q = 0; q < 200; ++q)
    {
        const float p[3] = {1000.0f + u(rng), u(rng), u(rng)};
        double d = FLT_MAX, closest[3];
        ASSERT_NE(tree.ClosestFace(p, d, closest), nullptr);
        const double expected = BruteForceDistance(far, p);
        ASSERT_NEAR(std::fabs(d), expected, 1e-6 * std::max(1.0, expected) + 1e-4) << q;
    }
}

TEST(CADSearchTree, DegenerateFacesNeverGiveNaN)
{
    std::mt19937 rng(5);
    const ON_Mesh soup = analysis_test::RandomSoup(rng, 500, 3.0f, true);
    ExpectMatchesBruteForce(soup, rng, 3.0f, 300);
}

TEST(CADSearchTree, SmallModelsSplitAndLargeModelsKeepTheTwoUnitRule)
{
    // 40,000 faces on a 1-unit plate: the tree must split well below 2 units.
    const ON_Mesh small = analysis_test::PlaneGrid(100, 1.0f, 0.0f);
    cCADSearchTree tree;
    BuildTree(tree, small);
    EXPECT_GT(tree.GetFaceTree().GetNodeCount(), 100u);
    EXPECT_LT(tree.GetFaceTree().GetMinimumVoxelEdge(), 0.01f);

    const ON_Mesh large = analysis_test::PlaneGrid(10, 1000.0f, 0.0f);
    BuildTree(tree, large);
    EXPECT_FLOAT_EQ(tree.GetFaceTree().GetMinimumVoxelEdge(), cCADSearchTree::kMinimumVoxelEdge);
}

TEST(CADSearchTree, AHugeThinBandOfRingsBuildsATreeOfBoundedSize)
{
    // A surface of revolution fitted to a nearly flat patch: 40 km round and
    // 27 units wide, 55 rings of long slivers half a unit apart. Every leaf
    // down to the two-unit edge held more than 25 of them, and each sliver
    // went into thousands of leaves along its length.
    const ON_Mesh band = analysis_test::CylinderMesh(2.0e4, 27.0, 72, 54);
    cCADSearchTree tree;
    BuildTree(tree, band);
    EXPECT_LT(tree.GetFaceTree().GetNodeCount(), 100000u);
    std::mt19937 rng(4);
    ExpectMatchesBruteForce(band, rng, 2.0e4f, 50);
}

TEST(CADSearchTree, LeavesAtTheMinimumEdgeTakeAnyNumberOfFaces)
{
    // 60 faces in one 1.5-unit model of 3000 units' tree would split; here
    // the whole model fits one leaf whose edge is at the limit.
    ON_Mesh fan(60, 62, false, false);
    fan.SetVertex(0, ON_3fPoint(0, 0, 0));
    for (int i = 0; i <= 60; ++i)
        fan.SetVertex(i + 1, ON_3fPoint(std::cos(i * 0.1f), std::sin(i * 0.1f), 0));
    for (int i = 0; i < 60; ++i)
        fan.SetTriangle(i, 0, i + 1, i + 2);
    fan.SetVertex(fan.VertexCount(), ON_3fPoint(3000, 0, 0)); // a far, unused vertex sets the scale
    cCADSearchTree tree;
    BuildTree(tree, fan);
    // Every leaf that holds the centre vertex's faces stopped at the limit.
    const auto* root = tree.GetFaceTree().GetRoot();
    ASSERT_NE(root, nullptr);
    std::uint32_t largest = 0;
    std::vector<const tFaceOcTree::Node*> stack{root};
    while (!stack.empty())
    {
        const auto* node = stack.back();
        stack.pop_back();
        if (node->IsLeaf())
        {
            largest = std::max(largest, node->bucket.GetCount());
            if (node->bucket.GetCount() > cCADSearchTree::kFaceBucketMaximum)
            {
                EXPECT_LE(node->voxel.EdgeX(), tree.GetFaceTree().GetMinimumVoxelEdge());
            }
        }
        for (const auto* c = node->firstChild; c != nullptr; c = c->nextSibling)
            stack.push_back(c);
    }
    EXPECT_EQ(largest, 60u);
}

TEST(CADSearchTree, CoincidentVerticesBoundaryFacesAndFarPoints)
{
    // Every vertex at one point: the margin still gives a cube, queries work.
    ON_Mesh point(2, 3, false, false);
    for (int i = 0; i < 3; ++i)
        point.SetVertex(i, ON_3fPoint(5, 5, 5));
    point.SetTriangle(0, 0, 1, 2);
    cCADSearchTree tree;
    BuildTree(tree, point);
    ASSERT_TRUE(tree.IsSearchable());
    const float p[3] = {5, 5, 6};
    double d = 10.0, closest[3];
    ASSERT_NE(tree.ClosestFace(p, d, closest), nullptr);
    EXPECT_DOUBLE_EQ(d, 1.0);

    // A point farther than the start bound: no face, d unchanged.
    const ON_Mesh plane = analysis_test::PlaneGrid(4, 1.0f, 0.0f);
    BuildTree(tree, plane);
    const float far[3] = {0.5f, 0.5f, 3.0f};
    d = 2.0;
    EXPECT_EQ(tree.ClosestFace(far, d, closest), nullptr);
    EXPECT_EQ(d, 2.0);
    // On the face: +0.
    const float on[3] = {0.3f, 0.6f, 0.0f};
    d = 1.0;
    ASSERT_NE(tree.ClosestFace(on, d, closest), nullptr);
    EXPECT_EQ(d, 0.0);
    EXPECT_FALSE(std::signbit(d));

    // A face exactly on an octant boundary is found from both sides.
    ON_Mesh split = analysis_test::PlaneGrid(60, 2000.0f, 0.0f, false, -1000.0f, -1000.0f);
    const int base = split.VertexCount();
    split.SetVertex(base, ON_3fPoint(0.0f, -500.0f, -500.0f));
    split.SetVertex(base + 1, ON_3fPoint(0.0f, 500.0f, -500.0f));
    split.SetVertex(base + 2, ON_3fPoint(0.0f, 0.0f, 500.0f));
    split.SetTriangle(split.FaceCount(), base, base + 1, base + 2);
    BuildTree(tree, split);
    for (const float x : {-0.5f, 0.5f})
    {
        const float q[3] = {x, 0.0f, 200.0f};
        d = FLT_MAX;
        ASSERT_NE(tree.ClosestFace(q, d, closest), nullptr);
        EXPECT_NEAR(std::fabs(d), 0.5, 1e-6);
    }
}

TEST(CADSearchTree, BadHostMeshesBuildWhatIsUsable)
{
    ON_Mesh mesh = analysis_test::PlaneGrid(2, 1.0f, 0.0f);
    mesh.SetTriangle(mesh.FaceCount(), 0, 1, 99);     // index beyond the vertices
    mesh.SetTriangle(mesh.FaceCount(), -1, 1, 2);      // negative index
    mesh.SetVertex(mesh.VertexCount(), ON_3fPoint(NAN, 0, 0));
    mesh.SetTriangle(mesh.FaceCount(), 0, 1, mesh.VertexCount() - 1); // a NaN corner
    cCADSearchTree tree;
    BuildTree(tree, mesh);
    EXPECT_EQ(tree.GetFaceCount(), 8u);
    const float p[3] = {0.5f, 0.5f, 0.25f};
    double d = 1.0, closest[3];
    ASSERT_NE(tree.ClosestFace(p, d, closest), nullptr);
    EXPECT_DOUBLE_EQ(d, 0.25);

    // Only non-finite vertices, or no meshes: empty trees that find nothing.
    ON_Mesh nan(1, 3, false, false);
    for (int i = 0; i < 3; ++i)
        nan.SetVertex(i, ON_3fPoint(NAN, NAN, NAN));
    nan.SetTriangle(0, 0, 1, 2);
    BuildTree(tree, nan);
    EXPECT_FALSE(tree.IsSearchable());
    tree.BuildVertexTree({});
    tree.BuildFaceTree({nullptr}, nullptr);
    EXPECT_FALSE(tree.IsSearchable());
    d = 1.0;
    EXPECT_EQ(tree.ClosestFace(p, d, closest), nullptr);
    double r = 10.0;
    EXPECT_EQ(tree.NearestVertex(p, r), nullptr);
    tree.Clear();
    EXPECT_EQ(tree.GetFaceCount(), 0u);
}

TEST(CADSearchTree, FacesOnTopOfEachOtherDoNotSplitWithoutEnd)
{
    // Forty copies of one large triangle over a 1000-unit model: no split
    // can tell them apart, so the tree must stop instead of copying them
    // into every leaf down to the minimum edge.
    ON_Mesh stack(40, 3, false, false);
    stack.SetVertex(0, ON_3fPoint(0, 0, 0));
    stack.SetVertex(1, ON_3fPoint(1000, 0, 0));
    stack.SetVertex(2, ON_3fPoint(0, 1000, 10));
    for (int i = 0; i < 40; ++i)
        stack.SetTriangle(i, 0, 1, 2);
    cCADSearchTree tree;
    BuildTree(tree, stack);
    EXPECT_LT(tree.GetFaceTree().GetNodeCount(), 100u);
    std::mt19937 rng(9);
    ExpectMatchesBruteForce(stack, rng, 500.0f, 100);
}
