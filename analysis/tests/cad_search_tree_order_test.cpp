// The closest-face search walks the octants nearest first and prunes by the
// sphere of the best distance. It must give what the plain walk gives (every
// octant in order, pruned by the cube around the point): the same distance
// bit for bit and, from the deviation pass's start, the same face and
// closest point, also among ties.
#include "analysis/cad_search_tree.h"

#include "analysis_test_meshes.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>

namespace
{

constexpr double kTwoPi = 6.283185307179586;

bool CubeContains(const float box[6], const float p[3], double margin)
{
    for (int i = 0; i < 3; ++i)
        if (!(static_cast<double>(box[i]) - margin <= p[i] && p[i] <= static_cast<double>(box[i + 3]) + margin))
            return false;
    return true;
}

// The plain walk: octants in order, faces in bucket order, a face taken when
// strictly nearer than the best so far.
const cInspectionFace* PlainClosestFace(const tFaceOcTree::Node* node, const float p[3], double& d, double closest[3])
{
    if (node == nullptr || !CubeContains(node->voxel.box, p, std::fabs(d)))
        return nullptr;
    const cInspectionFace* best = nullptr;
    if (!node->IsLeaf())
    {
        for (const auto* child = node->firstChild; child != nullptr; child = child->nextSibling)
        {
            double childD = d, childClosest[3];
            const cInspectionFace* found = PlainClosestFace(child, p, childD, childClosest);
            if (found != nullptr && std::fabs(childD) < std::fabs(d))
            {
                best = found;
                d = childD;
                closest[0] = childClosest[0], closest[1] = childClosest[1], closest[2] = childClosest[2];
            }
        }
        return best;
    }
    for (const auto* entry = node->bucket.GetHead(); entry != nullptr; entry = entry->link)
    {
        const double limit = std::fabs(d);
        if (!CubeContains(entry->value->box, p, limit))
            continue;
        double faceClosest[3];
        const double faceD = cCADSearchTree::MeasureFace(*entry->value, p, limit, faceClosest);
        if (std::fabs(faceD) < limit)
        {
            best = entry->value;
            d = faceD;
            closest[0] = faceClosest[0], closest[1] = faceClosest[1], closest[2] = faceClosest[2];
        }
    }
    return best;
}

ON_Mesh Torus(int around, int tube, double major, double minor)
{
    ON_Mesh m(around * tube * 2, around * tube, false, false);
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < tube; ++j)
        {
            const double u = kTwoPi * i / around, v = kTwoPi * j / tube;
            m.SetVertex(m.VertexCount(), ON_3dPoint((major + minor * std::cos(v)) * std::cos(u) + 250.0,
                                                    (major + minor * std::cos(v)) * std::sin(u) - 120.0,
                                                    minor * std::sin(v) + 40.0));
        }
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < tube; ++j)
        {
            const int a = i * tube + j, b = ((i + 1) % around) * tube + j;
            const int c = ((i + 1) % around) * tube + (j + 1) % tube, d = i * tube + (j + 1) % tube;
            m.SetTriangle(m.FaceCount(), a, b, c);
            m.SetTriangle(m.FaceCount(), a, c, d);
        }
    return m;
}

struct stCounts
{
    int found = 0;
};

// Both searches from the same start bound. From the pass's start (the
// nearest vertex's distance and a hair) the plain walk's choice among tied
// faces is the first in its order, and the search must make the same one.
// From a looser start the plain walk's choice also depends on where its
// bound happened to stand when it met each tied face; then the distance
// must still be the same bit for bit.
void ExpectSameAnswer(const cCADSearchTree& tree, const float p[3], double start, bool passStart, stCounts& counts)
{
    double d = start, closest[3] = {0, 0, 0};
    const cInspectionFace* face = tree.ClosestFace(p, d, closest);
    double plainD = start, plainClosest[3] = {0, 0, 0};
    const cInspectionFace* plain = PlainClosestFace(tree.GetFaceTree().GetRoot(), p, plainD, plainClosest);
    ASSERT_EQ(face == nullptr, plain == nullptr);
    if (face == nullptr)
        return;
    ++counts.found;
    ASSERT_EQ(std::fabs(d), std::fabs(plainD)) << p[0] << " " << p[1] << " " << p[2] << " from " << start;
    if (passStart)
    {
        ASSERT_EQ(face, plain) << p[0] << " " << p[1] << " " << p[2];
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(closest[i], plainClosest[i]);
    }
    else
    {
        double again[3];
        EXPECT_EQ(std::fabs(cCADSearchTree::MeasureFace(*face, p, FLT_MAX, again)), std::fabs(d));
    }
}

// The pass's start for p.
double PassStart(const cCADSearchTree& tree, const float p[3])
{
    double radius = FLT_MAX;
    EXPECT_NE(tree.NearestVertex(p, radius), nullptr);
    return radius + 0.001;
}

void Build(cCADSearchTree& tree, const ON_Mesh& mesh)
{
    tree.BuildVertexTree({&mesh});
    tree.BuildFaceTree({&mesh}, nullptr);
}

} // namespace

TEST(CADSearchTreeOrder, TorusPointsAtEveryOffsetFindThePlainWalksFace)
{
    const ON_Mesh torus = Torus(120, 48, 100.0, 30.0);
    cCADSearchTree tree;
    Build(tree, torus);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> angle(0.0, kTwoPi);
    stCounts counts;
    for (const double offset : {0.0, 0.3, 2.0, 10.0, 20.0, 40.0, -12.0})
        for (int q = 0; q < 150; ++q)
        {
            const double u = angle(rng), v = angle(rng), r = 30.0 + offset;
            const float p[3] = {static_cast<float>((100.0 + r * std::cos(v)) * std::cos(u) + 250.0),
                                static_cast<float>((100.0 + r * std::cos(v)) * std::sin(u) - 120.0),
                                static_cast<float>(r * std::sin(v) + 40.0)};
            ExpectSameAnswer(tree, p, PassStart(tree, p), true, counts);
            ExpectSameAnswer(tree, p, FLT_MAX, false, counts);
        }
    EXPECT_EQ(counts.found, 7 * 150 * 2);
}

TEST(CADSearchTreeOrder, TiesAtSharedVerticesAndEdgesGoToTheSameFace)
{
    // Points straight above grid vertices and edge midpoints of a folded
    // plate lie at exactly the same distance from several faces.
    ON_Mesh plate = analysis_test::PlaneGrid(40, 80.0f, 3.0f, false, -17.0f, 9.0f);
    for (ON_3fPoint& v : plate.m_V)
        v.z += std::fabs(v.x - 3.0f) < 20.0f ? 0.0f : 0.25f * (std::fabs(v.x - 3.0f) - 20.0f);
    const ON_Mesh quads = analysis_test::PlaneGrid(30, 60.0f, -5.0f, true, 100.0f, 100.0f);
    for (const ON_Mesh* mesh : {static_cast<const ON_Mesh*>(&plate), &quads})
    {
        cCADSearchTree tree;
        Build(tree, *mesh);
        stCounts counts;
        std::mt19937 rng(4);
        std::uniform_real_distribution<float> height(-30.0f, 30.0f);
        for (int i = 0; i < mesh->VertexCount(); i += 3)
        {
            const ON_3fPoint& v = mesh->m_V[i];
            const ON_3fPoint& w = mesh->m_V[(i + 1) % mesh->VertexCount()];
            const float above[3] = {v.x, v.y, v.z + height(rng)};
            const float edge[3] = {(v.x + w.x) / 2, (v.y + w.y) / 2, v.z + height(rng)};
            for (const float* p : {above, edge})
            {
                ExpectSameAnswer(tree, p, PassStart(tree, p), true, counts);
                for (const double start : {double{FLT_MAX}, 35.0, 4.0})
                    ExpectSameAnswer(tree, p, start, false, counts);
            }
        }
        EXPECT_GT(counts.found, mesh->VertexCount() / 2);
    }
}

TEST(CADSearchTreeOrder, RandomSoupsAndFarPointsAgree)
{
    std::mt19937 rng(8);
    for (const float extent : {0.05f, 3.0f, 700.0f})
    {
        const ON_Mesh soup = analysis_test::RandomSoup(rng, 600, extent, true);
        cCADSearchTree tree;
        Build(tree, soup);
        stCounts counts;
        std::uniform_real_distribution<float> u(-6.0f * extent, 6.0f * extent);
        for (int q = 0; q < 200; ++q)
        {
            const float p[3] = {u(rng), u(rng), u(rng)};
            ExpectSameAnswer(tree, p, PassStart(tree, p), true, counts);
            ExpectSameAnswer(tree, p, FLT_MAX, false, counts);
            ExpectSameAnswer(tree, p, 0.5 * extent, false, counts);
        }
        EXPECT_GE(counts.found, 300);
    }
}
