#include "core/host_mesh_import.h"
#include "core/mesh_object.h"
#include "core/triangle_colour_property.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "mesh_builders.h"

namespace
{

// Two quads side by side whose shared corners are stored twice, a hair apart.
ON_Mesh TwoQuadsWithDuplicatedCorners()
{
    ON_Mesh host;
    const float points[8][3] = {{0, 0, 0},        {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                {1.00005f, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1.00005f, 0}};
    for (int i = 0; i < 8; ++i)
        host.SetVertex(i, ON_3fPoint(points[i]));
    host.SetQuad(0, 0, 1, 2, 3);
    host.SetQuad(1, 4, 5, 6, 7);
    return host;
}

TEST(HostMeshImport, QuadsSplitAndCornersWeld)
{
    const ON_Mesh host = TwoQuadsWithDuplicatedCorners();
    cMesh mesh;
    EXPECT_EQ(AddHostMeshFaces(mesh, host), 4u);
    EXPECT_EQ(mesh.GetVertexCount(), 6u) << "the two shared corners are welded";
    const cMeshTriangle* second = mesh.GetTriangle(1);
    EXPECT_EQ(second->vertexIndex[0], 0u);
    EXPECT_EQ(second->vertexIndex[1], 2u);
    EXPECT_EQ(second->vertexIndex[2], 3u);
    EXPECT_FALSE(mesh.IsIndexed());
    EXPECT_TRUE(mesh.IsTopologyValid()) << "the import runs Update";
    EXPECT_EQ(CheckLinks(mesh), "");
    tVertexDeque border;
    EXPECT_EQ(mesh.GetBoundaryVertices(border), 6u);
    EXPECT_NE(mesh.GetTriangle(0)->neighbour[1], nullptr) << "the quad's own diagonal";
    EXPECT_NE(mesh.GetTriangle(2)->neighbour[2], nullptr) << "across the welded edge";
}

TEST(HostMeshImport, CollapsedAndOutOfRangeFacesAreSkipped)
{
    ON_Mesh host;
    for (int i = 0; i < 4; ++i)
        host.SetVertex(i, ON_3fPoint(static_cast<float>(i % 2), static_cast<float>(i / 2), 0.0f));
    host.SetVertex(4, ON_3fPoint(0.00001f, 0.0f, 0.0f)); // welds onto vertex 0
    host.SetTriangle(0, 0, 1, 2);
    host.SetTriangle(1, 0, 4, 1);                 // collapses after welding
    host.SetQuad(2, 0, 1, 3, 4);                  // (0, 1, 3) stays, (0, 3, 0) collapses
    host.m_F.Append(ON_MeshFace{{0, 1, 99, 99}}); // an index outside the vertices
    host.m_F.Append(ON_MeshFace{{-1, 1, 2, 2}});
    cMesh mesh;
    EXPECT_EQ(AddHostMeshFaces(mesh, host), 2u);
    EXPECT_EQ(mesh.GetVertexCount(), 4u);
}

// Every corner of every face merged on its own, in face order: what the
// import must give however it shortcuts shared corners.
void MergeCornerByCorner(const ON_Mesh& host, cMesh& mesh)
{
    mesh.SetIndexed(true);
    for (const ON_MeshFace& face : host.m_F)
    {
        std::uint32_t index[4];
        for (int k = 0; k < (face.IsQuad() ? 4 : 3); ++k)
        {
            const ON_3fPoint& p = host.m_V[face.vi[k]];
            index[k] = mesh.AddVertex(p.x, p.y, p.z, true, kImportMergeTolerance);
        }
        mesh.AddTriangle(index[0], index[1], index[2]);
        if (face.IsQuad())
            mesh.AddTriangle(index[0], index[2], index[3]);
    }
}

TEST(HostMeshImport, SharedCornersWeldAsIfEachCornerWereMergedOnItsOwn)
{
    // A fan of shared corners, a chain of near twins (each within the
    // tolerance of the next, the ends not), first met in an order that welds
    // the chain onto its middle, and corners the merge index cannot hold (not
    // finite, too far out), each shared by two faces.
    ON_Mesh host;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float points[][3] = {{0, 0, 0},        {1, 0, 0},     {1, 1, 0},    {0, 1, 0},        {0.00008f, 0, 0},
                               {0.00016f, 0, 0}, {nan, 0.5f, 0}, {3e30f, 0, 0}, {0.5f, 0.5f, 1.0f}};
    for (int i = 0; i < 9; ++i)
        host.SetVertex(i, ON_3fPoint(points[i]));
    const int faces[][3] = {{4, 1, 8}, {0, 1, 2}, {5, 2, 8}, {0, 2, 3}, {3, 0, 8}, {6, 1, 2},
                            {6, 2, 3}, {7, 1, 8}, {7, 3, 8}, {4, 5, 8}, {1, 2, 8}};
    for (const auto& f : faces)
        host.SetTriangle(host.FaceCount(), f[0], f[1], f[2]);
    host.SetQuad(host.FaceCount(), 0, 1, 2, 3);

    cMesh mesh;
    AddHostMeshFaces(mesh, host);
    cMesh expected;
    MergeCornerByCorner(host, expected);
    ASSERT_EQ(mesh.GetVertexCount(), expected.GetVertexCount());
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        EXPECT_EQ(std::memcmp(mesh.GetVertex(i)->Position(), expected.GetVertex(i)->Position(), 3 * sizeof(float)), 0)
            << "vertex " << i;
    ASSERT_EQ(mesh.GetTriangleCount(), expected.GetTriangleCount());
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(mesh.GetTriangle(i)->vertexIndex[k], expected.GetTriangle(i)->vertexIndex[k])
                << "triangle " << i << " corner " << k;
    EXPECT_EQ(mesh.GetVertexCount(), 9u) << "the chain welds onto one vertex; a corner the index cannot hold is a "
                                            "new vertex at each of its faces";
}

TEST(HostMeshImport, EmptyHostMesh)
{
    ON_Mesh host;
    cMesh mesh;
    EXPECT_EQ(AddHostMeshFaces(mesh, host), 0u);
    EXPECT_EQ(mesh.GetVertexCount(), 0u);
}

TEST(HostMeshImport, MeshObjectGetsOneZeroColourBytePerTriangle)
{
    cMeshObject object;
    EXPECT_EQ(AddHostMeshFaces(object, TwoQuadsWithDuplicatedCorners()), 4u);
    auto* colours =
        dynamic_cast<CTriangleColourProperties*>(object.FindAttachedProperty(kTriangleColoursPropertyName));
    ASSERT_NE(colours, nullptr);
    ASSERT_EQ(colours->GetCount(), 4u);
    for (std::uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(colours->Get(i), 0);

    // A second import into the same object keeps the one property and sizes
    // it to the whole mesh, clean.
    colours->Set(1, 7);
    EXPECT_EQ(AddHostMeshFaces(object, TwoQuadsWithDuplicatedCorners()), 4u);
    EXPECT_EQ(object.FindAttachedProperty(kTriangleColoursPropertyName), colours);
    EXPECT_EQ(colours->GetCount(), object.GetMesh()->GetTriangleCount());
    EXPECT_EQ(colours->Get(1), 0);

    cMeshObject empty;
    EXPECT_EQ(AddHostMeshFaces(empty, ON_Mesh{}), 0u);
    EXPECT_FALSE(empty.HasAttachedProperty(kTriangleColoursPropertyName)) << "no triangles, no property";
}

} // namespace
