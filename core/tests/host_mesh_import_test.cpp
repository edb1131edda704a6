#include "core/host_mesh_import.h"
#include "core/mesh_object.h"
#include "core/triangle_colour_property.h"

#include <gtest/gtest.h>

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
