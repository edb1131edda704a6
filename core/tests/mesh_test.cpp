#include "core/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "mesh_builders.h"
#include "recording_progress.h"

namespace
{

TEST(Mesh, RefusesDegenerateTriangles)
{
    cMesh mesh;
    EXPECT_EQ(mesh.AddTriangle(3, 3, 5), nullptr);
    EXPECT_EQ(mesh.AddTriangle(3, 5, 3), nullptr);
    EXPECT_EQ(mesh.AddTriangle(5, 3, 3), nullptr);
    EXPECT_EQ(mesh.GetTriangleCount(), 0u);

    const cMeshTriangle* t = mesh.AddTriangle(0, 1, 2);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetLabel(), kTriangleUnlabelled);
    EXPECT_EQ(t->flags, 0);
    EXPECT_EQ(t->neighbourEdge[1], kNoNeighbourEdge);
    EXPECT_EQ(t->neighbour[2], nullptr);
    EXPECT_EQ(t->vertexIndex[2], 2u);
    EXPECT_EQ(mesh.GetTriangleCount(), 1u);
}

TEST(Mesh, IdsAreUniqueAndAnInterfaceQueryFindsEveryPart)
{
    cMesh a;
    cMesh b;
    EXPECT_EQ(a.GetId(1), a.GetId(0) + 1);
    EXPECT_EQ(a.GetId(2), a.GetId(0) + 2);
    EXPECT_NE(a.GetId(0), b.GetId(0));
    EXPECT_NE(a.GetId(2), b.GetId(0));

    EXPECT_EQ(a.QueryInterface(IID_cMesh), static_cast<void*>(&a));
    EXPECT_EQ(a.QueryInterface(IID_ITopology), static_cast<void*>(static_cast<ITopology*>(&a)));
    EXPECT_EQ(a.QueryInterface(IID_cPointCloud), static_cast<void*>(static_cast<cPointCloud*>(&a)));
    EXPECT_NE(a.QueryInterface(IID_IBase), nullptr);
}

TEST(MeshNormals, TetrahedronNormalsPointOutwards)
{
    cMesh mesh;
    BuildTetrahedron(mesh);
    const cMeshTriangle* bottom = mesh.GetTriangle(0); // (0, 2, 1) in z = 0
    EXPECT_NEAR(bottom->nz, -1.0f, 1e-6);
    const cMeshTriangle* slanted = mesh.GetTriangle(2); // (1, 2, 3)
    EXPECT_NEAR(slanted->nx, 1.0f / std::sqrt(3.0f), 1e-6);

    // The apex at the origin sees three unit right triangles equally.
    const cVertex* origin = mesh.GetVertex(0);
    const float third = -1.0f / std::sqrt(3.0f);
    EXPECT_NEAR(origin->nx, third, 1e-6);
    EXPECT_NEAR(origin->ny, third, 1e-6);
    EXPECT_NEAR(origin->nz, third, 1e-6);
    EXPECT_NEAR(origin->GetScalar(), 1.5f, 1e-6) << "the summed area of its triangles";

    // Vertex 1 weights its faces by area: the two small faces pull towards -y
    // and -z exactly as much as the large slanted one pulls back, leaving +x.
    // An unweighted mean would lean away from x.
    const cVertex* v1 = mesh.GetVertex(1);
    const double big = std::sqrt(3.0) / 2.0;
    EXPECT_NEAR(v1->nx, 1.0f, 1e-6);
    EXPECT_NEAR(v1->ny, 0.0f, 1e-6);
    EXPECT_NEAR(v1->nz, 0.0f, 1e-6);
    EXPECT_NEAR(v1->GetScalar(), 1.0 + big, 1e-6);
}

TEST(MeshNormals, ZeroAreaTriangleLeavesZeroNormals)
{
    cMesh mesh;
    BuildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {{0, 1, 2}});
    const cMeshTriangle* t = mesh.GetTriangle(0);
    EXPECT_EQ(t->nx, 0.0f);
    EXPECT_EQ(t->ny, 0.0f);
    EXPECT_EQ(t->nz, 0.0f);
    for (std::uint32_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(mesh.GetVertex(i)->nx, 0.0f);
        EXPECT_EQ(mesh.GetVertex(i)->nz, 0.0f);
    }
    EXPECT_TRUE(mesh.ComputeVertexNormals());
    EXPECT_EQ(mesh.GetVertex(1)->nz, 0.0f);
}

TEST(MeshNormals, TheCrossProductSubtractsInDouble)
{
    // In float, 1e7 - 0.1 rounds to 1e7.
    const float a[3] = {0.1f, 0.0f, 0.0f}, b[3] = {1.0e7f, 0.0f, 0.0f}, c[3] = {0.1f, 1.0f, 0.0f};
    double n[3];
    TriangleCrossProduct(a, b, c, n);
    EXPECT_EQ(n[0], 0.0);
    EXPECT_EQ(n[1], 0.0);
    EXPECT_EQ(n[2], 1.0e7 - double(0.1f));
    // Every corner off the axes: (3, 4, 0) x (0, 0, 5).
    const float d[3] = {1, 2, 3}, e[3] = {4, 6, 3}, f[3] = {1, 2, 8};
    TriangleCrossProduct(d, e, f, n);
    EXPECT_EQ(n[0], 20.0);
    EXPECT_EQ(n[1], -15.0);
    EXPECT_EQ(n[2], 0.0);
}

TEST(MeshNormals, UnweightedVertexNormals)
{
    cMesh mesh;
    BuildTetrahedron(mesh);
    const float areaBefore = mesh.GetVertex(1)->GetScalar();
    ASSERT_TRUE(mesh.ComputeVertexNormals());
    // Plain mean of the three face normals at vertex 1: (0,0,-1), (0,-1,0),
    // (1,1,1)/sqrt(3), then unit length.
    const double s = 1.0 / std::sqrt(3.0);
    const double sum[3] = {s, -1.0 + s, -1.0 + s};
    const double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
    EXPECT_NEAR(mesh.GetVertex(1)->nx, sum[0] / length, 1e-6);
    EXPECT_NEAR(mesh.GetVertex(1)->ny, sum[1] / length, 1e-6);
    EXPECT_EQ(mesh.GetVertex(1)->GetScalar(), areaBefore) << "the extra field is not touched";

    cMesh noTriangles;
    BuildMesh(noTriangles, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {});
    EXPECT_FALSE(noTriangles.ComputeVertexNormals());
    cMesh twoVertices;
    BuildMesh(twoVertices, {{0, 0, 0}, {1, 0, 0}}, {});
    EXPECT_TRUE(twoVertices.ComputeVertexNormals());
}

TEST(MeshNormals, TrianglesWithIndicesOutsideTheVerticesAreSkipped)
{
    cMesh mesh;
    BuildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 1, 99}});
    EXPECT_EQ(mesh.GetTriangleCount(), 2u);
    EXPECT_NEAR(mesh.GetVertex(0)->nz, 1.0f, 1e-6);
    EXPECT_EQ(mesh.GetTriangle(1)->neighbour[0], nullptr);
    auto iterator = mesh.CreateTriIterator();
    iterator->Next();
    EXPECT_EQ(iterator->GetTriangle()->corner[2], nullptr);
}

TEST(MeshFlip, FlipNormalsReversesEveryTriangleAndKeepsTheLinks)
{
    cMesh mesh;
    BuildGrid(mesh, 3, 3);
    ASSERT_EQ(CheckLinks(mesh), "");
    std::vector<std::vector<const cMeshTriangle*>> neighboursBefore;
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
    {
        const cMeshTriangle* t = mesh.GetTriangle(i);
        std::vector<const cMeshTriangle*> around(t->neighbour, t->neighbour + 3);
        std::sort(around.begin(), around.end());
        neighboursBefore.push_back(around);
    }
    const cMeshTriangle before = *mesh.GetTriangle(0);

    mesh.FlipNormals();
    const cMeshTriangle* after = mesh.GetTriangle(0);
    EXPECT_EQ(after->vertexIndex[0], before.vertexIndex[0]);
    EXPECT_EQ(after->vertexIndex[1], before.vertexIndex[2]);
    EXPECT_EQ(after->vertexIndex[2], before.vertexIndex[1]);
    EXPECT_EQ(after->nz, -before.nz);
    EXPECT_EQ(CheckLinks(mesh), "");
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
    {
        const cMeshTriangle* t = mesh.GetTriangle(i);
        std::vector<const cMeshTriangle*> around(t->neighbour, t->neighbour + 3);
        std::sort(around.begin(), around.end());
        EXPECT_EQ(around, neighboursBefore[i]) << "triangle " << i;
    }
    EXPECT_NEAR(mesh.GetVertex(4)->nz, -1.0f, 1e-6) << "vertex normals follow the flipped triangles";
}

TEST(MeshFlip, FlippingOneTriangleKeepsItsNeighboursConsistent)
{
    cMesh mesh;
    BuildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {2, 1, 3}});
    cMeshTriangle* a = mesh.GetTriangle(0);
    cMeshTriangle* b = mesh.GetTriangle(1);
    cMesh::FlipTriangle(b); // (2, 3, 1): the shared edge 1 -> 2 is now its edge 2
    EXPECT_EQ(b->neighbour[2], a);
    EXPECT_EQ(b->neighbourEdge[2], 1);
    EXPECT_EQ(a->neighbourEdge[1], 2);
    EXPECT_EQ(b->neighbour[0], nullptr);
}

TEST(MeshTransform, NormalsTurnOnceAboutAPoint)
{
    cMesh mesh;
    BuildMesh(mesh, {{1, 1, 0}, {2, 1, 0}, {1, 1, 1}}, {{0, 1, 2}}); // normal -y
    ASSERT_NEAR(mesh.GetTriangle(0)->ny, -1.0f, 1e-6);
    const double rotation[12] = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0}; // x -> y
    const float pivot[3] = {1, 1, 0};
    mesh.TransformAboutPoint(rotation, pivot);
    EXPECT_FLOAT_EQ(mesh.GetVertex(0)->x, 1.0f);
    EXPECT_FLOAT_EQ(mesh.GetVertex(0)->y, 1.0f);
    EXPECT_FLOAT_EQ(mesh.GetVertex(1)->y, 2.0f);
    EXPECT_NEAR(mesh.GetTriangle(0)->nx, 1.0f, 1e-6);
    EXPECT_NEAR(mesh.GetTriangle(0)->ny, 0.0f, 1e-6);
    EXPECT_NEAR(mesh.GetVertex(0)->nx, 1.0f, 1e-6);
    EXPECT_TRUE(mesh.IsTopologyValid()) << "geometry edits keep the topology";
}

TEST(MeshIterator, WalksEveryTriangleAndStartsOver)
{
    cMesh mesh;
    BuildGrid(mesh, 2, 3);
    auto iterator = mesh.CreateTriIterator();
    EXPECT_EQ(iterator->GetCount(), 4u);
    EXPECT_TRUE(iterator->HasTriangles());
    std::uint32_t seen = 0;
    for (iterator->First(); !iterator->IsDone(); iterator->Next())
    {
        const tTriangle<cVertex>* view = iterator->GetTriangle();
        const cMeshTriangle* record = mesh.GetTriangle(seen);
        EXPECT_EQ(view->corner[1], mesh.GetVertex(record->vertexIndex[1]));
        EXPECT_EQ(view->nz, record->nz);
        EXPECT_EQ(view->edgeFlags[0], 0);
        ++seen;
    }
    EXPECT_EQ(seen, 4u);
    iterator->First();
    EXPECT_EQ(iterator->GetTriangle()->corner[0], mesh.GetVertex(mesh.GetTriangle(0)->vertexIndex[0]));

    cMesh empty;
    auto none = empty.CreateTriIterator();
    EXPECT_FALSE(none->HasTriangles());
    EXPECT_TRUE(none->IsDone());
}

TEST(MeshLabels, LabelSpreadsOverUnlabelledUnblockedTriangles)
{
    // A strip whose triangles are linked in the order 1-0-3-2-5-4.
    cMesh mesh;
    BuildGrid(mesh, 4, 2);
    auto reset = [&mesh]
    {
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
            mesh.GetTriangle(i)->SetLabel(kTriangleUnlabelled);
    };
    mesh.GetTriangle(3)->flags = kTriangleFlagSelected | kTriangleFlagHidden;
    mesh.GetTriangle(0)->colour = 0xAB000000 | kTriangleUnlabelled;

    // Triangle 3 holds every bit of the mask and stops the spread.
    mesh.GetTriangle(2)->SetLabel(5);
    EXPECT_EQ(mesh.LabelConnectedTriangles(mesh.GetTriangle(2), kTriangleFlagSelected | kTriangleFlagHidden),
              3u);
    EXPECT_EQ(mesh.GetTriangle(3)->GetLabel(), kTriangleUnlabelled);
    EXPECT_EQ(mesh.GetTriangle(4)->GetLabel(), 5u);

    // Labelled triangles are not taken; mask 0 blocks nothing.
    mesh.GetTriangle(0)->SetLabel(9);
    EXPECT_EQ(mesh.GetTriangle(0)->colour >> 24, 0xABu) << "the top byte stays";
    mesh.GetTriangle(1)->SetLabel(7);
    EXPECT_EQ(mesh.LabelConnectedTriangles(mesh.GetTriangle(0), 0), 2u);
    EXPECT_EQ(mesh.GetTriangle(3)->GetLabel(), 9u);

    // One bit of a triangle's flags is enough to hold a one-bit mask; a mask
    // with a bit the triangle lacks does not stop it.
    reset();
    mesh.GetTriangle(0)->SetLabel(9);
    EXPECT_EQ(mesh.LabelConnectedTriangles(mesh.GetTriangle(0), kTriangleFlagSelected), 2u);
    reset();
    mesh.GetTriangle(0)->SetLabel(9);
    EXPECT_EQ(mesh.LabelConnectedTriangles(mesh.GetTriangle(0), kTriangleFlagSelected | kTriangleFlagScratch),
              6u);
    EXPECT_EQ(mesh.GetHighestLabel(), 9u);
}

TEST(MeshLabels, UnlabelledStartDoesNotSpread)
{
    cMesh mesh;
    BuildGrid(mesh, 5, 5);
    EXPECT_EQ(mesh.LabelConnectedTriangles(mesh.GetTriangle(0), 0), 1u);
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        EXPECT_EQ(mesh.GetTriangle(i)->GetLabel(), kTriangleUnlabelled);
    EXPECT_EQ(mesh.GetHighestLabel(), 0u);
    EXPECT_EQ(mesh.LabelConnectedTriangles(nullptr, 0), 0u);

    mesh.GetTriangle(0)->SetLabel(3);
    EXPECT_EQ(mesh.LabelConnectedTriangles(mesh.GetTriangle(0), 0), 32u);
    EXPECT_EQ(mesh.GetHighestLabel(), 3u);
    mesh.GetTriangle(5)->SetLabel(kTriangleUnlabelled);
    mesh.GetTriangle(5)->SetLabel(2);
    mesh.LabelConnectedTriangles(mesh.GetTriangle(5), 0);
    EXPECT_EQ(mesh.GetHighestLabel(), 3u);
}

TEST(MeshFlags, WholeMeshFlagEdits)
{
    cMesh mesh;
    BuildGrid(mesh, 3, 2);
    mesh.GetTriangle(1)->SetLabel(0x123456);
    mesh.GetTriangle(1)->colour |= 0xFF000000;
    mesh.FlagTrianglesByColour(0xFF123456);
    EXPECT_EQ(mesh.GetTriangle(1)->flags, kTriangleFlagScratch);
    EXPECT_EQ(mesh.GetTriangle(0)->flags, 0);
    for (std::uint32_t k = 0; k < 3; ++k)
        EXPECT_EQ(mesh.GetVertex(mesh.GetTriangle(1)->vertexIndex[k])->flags, 4u);

    mesh.SetTriangleFlag4();
    mesh.GetTriangle(2)->flags |= kTriangleFlagSelected;
    mesh.ClearTriangleFlag4();
    EXPECT_EQ(mesh.GetTriangle(1)->flags, 0);
    EXPECT_EQ(mesh.GetTriangle(2)->flags, kTriangleFlagSelected);
}

TEST(MeshUpdate, ReportsToTheAttachedProgressAndDetachesIt)
{
    cMesh mesh;
    BuildGrid(mesh, 20, 20, {}, false);
    RecordingProgress progress;
    mesh.SetProgress(&progress);
    mesh.Update();
    EXPECT_EQ(mesh.GetProgress(), nullptr);
    ASSERT_EQ(progress.captions.size(), 1u);
    EXPECT_EQ(progress.captions[0], L"Generating Mesh ...");
    ASSERT_GE(progress.calls.size(), 3u);
    EXPECT_EQ(progress.calls[0], "position");
    EXPECT_EQ(progress.calls[1], "caption");
    EXPECT_EQ(progress.calls[2], "range");
    EXPECT_EQ(progress.rangeEnd, 722.0f);
    // One report per tenth of the triangles: 0, 72, ..., 720.
    EXPECT_EQ(progress.positions.size(), 1u + 11u);
    EXPECT_EQ(progress.positions.back(), 720.0f);
    EXPECT_TRUE(mesh.IsTopologyValid());
    EXPECT_EQ(CheckLinks(mesh), "");
}

TEST(MeshUpdate, CancelStopsTheTopologyBuild)
{
    cMesh mesh;
    BuildGrid(mesh, 50, 50, {}, false);
    RecordingProgress progress;
    progress.cancelAnswer = 1;
    progress.cancelAfter = 3;
    mesh.SetProgress(&progress);
    mesh.Update();
    EXPECT_EQ(progress.cancelQueries, 3);
    EXPECT_FALSE(mesh.IsTopologyValid());
    EXPECT_EQ(mesh.GetProgress(), nullptr);
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        ASSERT_EQ(mesh.GetTriangle(i)->neighbour[0], nullptr);

    // An answer other than 1 goes on.
    cMesh other;
    BuildGrid(other, 10, 10, {}, false);
    RecordingProgress goesOn;
    goesOn.cancelAnswer = 2;
    other.SetProgress(&goesOn);
    other.Update();
    EXPECT_TRUE(other.IsTopologyValid());
}

TEST(MeshUpdate, ResetEmptiesAndInvalidates)
{
    cMesh mesh;
    BuildTetrahedron(mesh);
    ASSERT_TRUE(mesh.IsTopologyValid());
    mesh.Reset();
    EXPECT_FALSE(mesh.IsTopologyValid());
    EXPECT_EQ(mesh.GetTriangleCount(), 0u);
    EXPECT_EQ(mesh.GetVertexCount(), 0u);
    EXPECT_FALSE(mesh.IsBoxValid());
    mesh.Update(); // nothing to do, nothing breaks
    EXPECT_TRUE(mesh.IsTopologyValid());
}

} // namespace
