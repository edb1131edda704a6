// The copy of a big host mesh welds its faces on the pool, a block of faces
// per job: the vertices and triangles are those of welding every corner on
// its own, in face order.
#include "core/host_mesh_import.h"
#include "core/thread_pool.h"
#include "mesh_builders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace
{

// A sheet of 330 x 330 vertices in triangles (over 200,000 faces, four
// jobs), whose later faces name near twins of earlier corners, a chain of
// near twins, a point the merge index cannot hold and a face naming a
// vertex twice, and a face naming a vertex past the last; quads at the end
// name vertices first met there, then a triangle without area, a third
// triangle on an edge and one turned against its neighbours. `n` is the
// sheet's side.
ON_Mesh AwkwardHost(int& n, int& twin)
{
    ON_Mesh host;
    n = 330;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            host.m_V.Append(ON_3fPoint(300.0f + 0.25f * float(i), -200.0f + 0.25f * float(j),
                                       40.0f + 0.01f * float((i * 7 + j * 3) % 11)));
    const auto at = [&n](int i, int j) { return j * n + i; };
    twin = host.VertexCount();
    const ON_3fPoint& near = host.m_V[at(5, 3)];
    host.m_V.Append(ON_3fPoint(near.x + 6e-5f, near.y, near.z - 6e-5f)); // twin of (5, 3)
    host.m_V.Append(ON_3fPoint(near.x + 1.2e-4f, near.y, near.z));       // twin of the twin only
    host.m_V.Append(ON_3fPoint(std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f));
    const int lone = host.VertexCount();
    for (int k = 0; k < 4; ++k)
        host.m_V.Append(ON_3fPoint(200.0f + float(k), 0.0f, 0.0f));
    for (int j = 0; j + 1 < n; ++j)
        for (int i = 0; i + 1 < n; ++i)
        {
            int a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            if (j == 250 && i == 10)
                a = twin + 1; // met before its twin's twin: welds onto it later
            if (j == 260 && i == 20)
                a = twin;
            if ((j == 100 || j == 300) && i == 40)
                b = twin + 2;
            host.SetTriangle(host.FaceCount(), a, b, c);
            host.SetTriangle(host.FaceCount(), a, c, j == 150 && i == 60 ? a : d);
            if (j == 10 && i == 10)
                host.m_F.Append(ON_MeshFace{{a, b, n * n + 99, n * n + 99}}); // past the vertices
        }
    host.SetQuad(host.FaceCount(), lone, lone + 1, lone + 2, lone + 3);
    host.SetQuad(host.FaceCount(), at(0, 0), lone + 1, twin, lone + 3);
    const int line = host.VertexCount();
    for (int k = 0; k < 3; ++k)
        host.m_V.Append(ON_3fPoint(310.0f + float(k), -190.0f + float(k), 41.0f));
    host.SetTriangle(host.FaceCount(), line, line + 1, line + 2);
    host.SetTriangle(host.FaceCount(), at(5, 5), at(6, 5), lone);
    host.SetTriangle(host.FaceCount(), at(7, 7), at(8, 8), at(8, 7));
    return host;
}

// Welds every corner on its own, in face order.
void WeldCornerByCorner(const ON_Mesh& host, cMesh& expected)
{
    expected.SetIndexed(true);
    for (const ON_MeshFace& face : host.m_F)
    {
        if (face.vi[2] >= host.VertexCount())
            continue;
        std::uint32_t index[4];
        for (int k = 0; k < (face.IsQuad() ? 4 : 3); ++k)
        {
            const ON_3fPoint& p = host.m_V[face.vi[k]];
            index[k] = expected.AddVertex(p.x, p.y, p.z, true, kImportMergeTolerance);
        }
        expected.AddTriangle(index[0], index[1], index[2]);
        if (face.IsQuad())
            expected.AddTriangle(index[0], index[2], index[3]);
    }
}

TEST(HostMeshImportOnPool, WeldsTwinsAcrossBlocksAsCornerByCorner)
{
    int n = 0, twin = 0;
    const ON_Mesh host = AwkwardHost(n, twin);
    const auto seed = [](cMesh& mesh)
    {
        const float p[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        for (const auto& q : p)
            mesh.AddVertex(q);
        mesh.AddTriangle(0, 1, 2);
    };
    cMesh expected;
    seed(expected);
    WeldCornerByCorner(host, expected);

    cThreadPool pool(3);
    cMesh mesh;
    seed(mesh);
    const std::uint32_t added = AddHostMeshFaces(mesh, host, &pool);
    pool.Stop();
    EXPECT_EQ(added, expected.GetTriangleCount() - 1);
    ASSERT_EQ(mesh.GetVertexCount(), expected.GetVertexCount());
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
    {
        const cVertex& v = *mesh.GetVertex(i);
        ASSERT_EQ(std::memcmp(v.Position(), expected.GetVertex(i)->Position(), 3 * sizeof(float)), 0) << i;
        ASSERT_EQ(v.index, i);
        ASSERT_EQ(v.flags, 0u);
    }
    ASSERT_EQ(mesh.GetTriangleCount(), expected.GetTriangleCount());
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(mesh.GetTriangle(i)->vertexIndex[k], expected.GetTriangle(i)->vertexIndex[k])
                << i << " " << k;
    EXPECT_EQ(mesh.GetVertexCount(), 3u + n * n + 1 + 2 + 4 + 3)
        << "the twins weld; the point the index cannot hold is a "
           "vertex at each of its two corners";
}

TEST(HostMeshImportOnPool, NormalsAndLinksAreThoseOfUpdatingTheWeldedMesh)
{
    int n = 0, twin = 0;
    const ON_Mesh host = AwkwardHost(n, twin);
    cMesh expected;
    WeldCornerByCorner(host, expected);
    expected.ClearMergeIndex();
    expected.SetIndexed(false);
    expected.Update();

    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    cMesh mesh;
    AddHostMeshFaces(mesh, host, &pool);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    ASSERT_TRUE(mesh.IsTopologyValid());
    EXPECT_EQ(std::memcmp(mesh.GetBoundingBox(), expected.GetBoundingBox(), 6 * sizeof(float)), 0);
    ExpectSameNormalsAndLinks(expected, mesh);
}

TEST(HostMeshImportOnPool, VerticesMetByLaterBlocksAddTheirTermsInTriangleOrder)
{
    // A sheet over three blocks of faces: every 40th face of the later rows
    // also fans out from a vertex of the first block and from the near twin
    // of another, each fan triangle lifted differently, so that those
    // vertices sum terms of every block, their own block's first.
    ON_Mesh host;
    const int n = 300;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            host.m_V.Append(ON_3fPoint(-120.0f + 0.5f * float(i), 80.0f + 0.5f * float(j),
                                       -30.0f + 0.02f * float((i * 5 + j * 9) % 13)));
    const auto at = [n](int i, int j) { return j * n + i; };
    const int twin = host.VertexCount();
    const ON_3fPoint& near = host.m_V[at(40, 20)];
    host.m_V.Append(ON_3fPoint(near.x + 5e-5f, near.y, near.z));
    const int lifted = host.VertexCount();
    for (int k = 0; k < 13; ++k)
        host.m_V.Append(ON_3fPoint(-100.0f + 3.0f * float(k), 150.0f, 10.0f + float(k)));
    for (int j = 0; j + 1 < n; ++j)
        for (int i = 0; i + 1 < n; ++i)
        {
            const int a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            host.SetTriangle(host.FaceCount(), a, b, c);
            host.SetTriangle(host.FaceCount(), a, c, d);
            if (j > 20 && host.FaceCount() % 40 == 0)
            {
                const int top = lifted + host.FaceCount() / 40 % 13;
                host.SetTriangle(host.FaceCount(), at(7, 90), b, top);
                host.SetTriangle(host.FaceCount(), j % 2 ? twin : at(40, 20), top, c);
            }
        }
    cMesh expected;
    WeldCornerByCorner(host, expected);
    expected.ClearMergeIndex();
    expected.SetIndexed(false);
    expected.Update();

    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    cMesh mesh;
    AddHostMeshFaces(mesh, host, &pool);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    ExpectSameNormalsAndLinks(expected, mesh);
}

} // namespace
