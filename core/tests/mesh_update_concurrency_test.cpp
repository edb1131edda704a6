// A mesh's normals, neighbour links and first triangles of its vertices made
// on a pool: the same, to the bit, as made on the calling thread.
#include "core/bounding_box.h"
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "mesh_builders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <unordered_map>
#include <vector>

namespace
{

// A wavy sheet far out with enough vertices and triangles for several jobs,
// and what a scan brings: a zero-area triangle, a corner past the vertices,
// an edge of three triangles, a triangle turned against its neighbours.
void BuildAwkwardSheet(cMesh& mesh)
{
    const std::uint32_t columns = 160, rows = 130;
    for (std::uint32_t r = 0; r < rows; ++r)
        for (std::uint32_t c = 0; c < columns; ++c)
        {
            const float p[3] = {52000.0f + 0.37f * float(c), -8100.0f + 0.41f * float(r),
                                310.0f + 0.2f * std::sin(0.3f * float(c)) * std::cos(0.23f * float(r))};
            mesh.AddVertex(p);
        }
    for (std::uint32_t r = 0; r + 1 < rows; ++r)
        for (std::uint32_t c = 0; c + 1 < columns; ++c)
        {
            const std::uint32_t v = c + r * columns;
            if ((c + r) % 97 == 5)
                mesh.AddTriangle(v, v + columns, v + 1); // turned
            else
                mesh.AddTriangle(v, v + 1, v + columns);
            mesh.AddTriangle(v + 1, v + columns + 1, v + columns);
        }
    const float same[3] = {52010.0f, -8090.0f, 310.0f};
    const std::uint32_t a = mesh.GetVertexCount();
    mesh.AddVertex(same);
    mesh.AddVertex(same);
    mesh.AddVertex(same);
    mesh.AddTriangle(a, a + 1, a + 2);                 // zero area
    mesh.AddTriangle(0, 1, mesh.GetVertexCount() + 5); // a corner past the vertices
    mesh.AddTriangle(1, columns, 3 * columns);         // a third triangle on an edge
}

TEST(MeshUpdateOnAPool, ABigCloudsBoxIsTheOneGrownVertexByVertex)
{
    // 300,000 points far out (many jobs of the box), the least x both +0 and
    // -0 (the first, +0, in an early block), a NaN, and an excluded vertex
    // beyond the others that the box passes over.
    cPointCloud cloud;
    std::mt19937 random(3);
    std::uniform_real_distribution<float> spread(0.5f, 900.0f);
    for (int i = 0; i < 300000; ++i)
    {
        const float p[3] = {spread(random), -4000.0f - spread(random), 7000.0f + spread(random)};
        cloud.AddVertex(p);
    }
    cloud.GetVertex(100000)->x = 0.0f;
    cloud.GetVertex(200000)->x = -0.0f;
    cloud.GetVertex(150000)->z = std::numeric_limits<float>::quiet_NaN();
    cloud.GetVertex(250000)->y = 50.0f;
    cloud.GetVertex(250000)->flags |= kVertexFlagExcluded;
    float expected[6];
    MakeEmptyBox3f(expected);
    for (std::uint32_t i = 0; i < cloud.GetVertexCount(); ++i)
        if (!cloud.GetVertex(i)->IsExcluded())
            GrowBox3f(expected, cloud.GetVertex(i)->Position());
    ASSERT_FALSE(std::signbit(expected[0]));
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    cloud.UpdateBoundingBox();
    ASSERT_TRUE(cloud.IsBoxValid()) << "else reading it would grow it again";
    EXPECT_EQ(std::memcmp(cloud.GetBoundingBox(), expected, sizeof expected), 0);
    SetSharedThreadPool(nullptr);
    pool.Stop();
}

} // namespace

TEST(MeshUpdateOnAPool, NormalsAndLinksAreThoseOfTheCallingThread)
{
    cMesh alone, pooled;
    BuildAwkwardSheet(alone);
    BuildAwkwardSheet(pooled);
    alone.Update();
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    pooled.Update();
    SetSharedThreadPool(nullptr);

    ASSERT_TRUE(pooled.IsTopologyValid());
    ExpectSameNormalsAndLinks(alone, pooled);
}

TEST(MeshUpdateOnAPool, EachVertexAddsItsTrianglesInTriangleOrderAcrossJobs)
{
    // A sheet of 300 x 300 vertices far out (three jobs of triangles), and
    // after it triangles on vertices the first job also meets: a far corner
    // of the sheet, and a third triangle on one of its edges.
    cMesh alone, pooled;
    const std::uint32_t n = 300;
    for (cMesh* mesh : {&alone, &pooled})
    {
        for (std::uint32_t r = 0; r < n; ++r)
            for (std::uint32_t c = 0; c < n; ++c)
            {
                const float p[3] = {-7300.0f + 0.29f * float(c) + 0.003f * float(r % 7),
                                    9100.0f + 0.31f * float(r),
                                    40.0f + 0.5f * std::sin(0.05f * float(c * r % 97))};
                mesh->AddVertex(p);
            }
        for (std::uint32_t r = 0; r + 1 < n; ++r)
            for (std::uint32_t c = 0; c + 1 < n; ++c)
            {
                const std::uint32_t v = c + r * n;
                mesh->AddTriangle(v, v + 1, v + n);
                mesh->AddTriangle(v + 1, v + n + 1, v + n);
            }
        mesh->AddTriangle(0, 5 * n + 3, 2 * n + 9);
        mesh->AddTriangle(1, n, 7 * n + 4);
    }
    alone.Update();
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    pooled.Update();
    SetSharedThreadPool(nullptr);
    pool.Stop();

    // Each vertex's summed area, added in triangle order in float.
    std::vector<float> summed(alone.GetVertexCount(), 0.0f);
    for (std::uint32_t i = 0; i < alone.GetTriangleCount(); ++i)
    {
        const cMeshTriangle& t = *alone.GetTriangle(i);
        const cVertex* corner[3];
        ASSERT_TRUE(alone.GetCorners(t, corner));
        double cross[3];
        TriangleCrossProduct(corner[0]->Position(), corner[1]->Position(), corner[2]->Position(), cross);
        const double area = 0.5 * std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]);
        for (std::uint32_t index : t.vertexIndex)
            summed[index] = static_cast<float>(summed[index] + area);
    }
    for (std::uint32_t i = 0; i < alone.GetVertexCount(); ++i)
    {
        ASSERT_EQ(pooled.GetVertex(i)->GetScalar(), summed[i]) << i;
        ASSERT_EQ(alone.GetVertex(i)->GetScalar(), summed[i]) << i;
        ASSERT_EQ(std::memcmp(alone.GetVertex(i)->Normal(), pooled.GetVertex(i)->Normal(), 3 * sizeof(float)),
                  0)
            << i;
    }
    ASSERT_TRUE(pooled.IsTopologyValid());
    const auto numberAlone = TriangleNumbers(alone), numberPooled = TriangleNumbers(pooled);
    for (std::uint32_t i = 0; i < alone.GetTriangleCount(); ++i)
        for (int k = 0; k < 3; ++k)
        {
            ASSERT_EQ(numberAlone.at(alone.GetTriangle(i)->neighbour[k]),
                      numberPooled.at(pooled.GetTriangle(i)->neighbour[k]))
                << i << ":" << k;
            ASSERT_EQ(alone.GetTriangle(i)->neighbourEdge[k], pooled.GetTriangle(i)->neighbourEdge[k]);
        }
}

TEST(MeshUpdateOnAPool, EachVertexsFirstTriangleIsTheLeastThatNamesItAcrossJobs)
{
    // Three jobs of triangles; the sheet's rows at the jobs' borders share
    // vertices, and the last triangles come back to vertices of the first,
    // one naming the vertex just past the last.
    cMesh mesh;
    BuildAwkwardSheet(mesh);
    mesh.AddTriangle(2, 3, mesh.GetVertexCount());
    std::vector<std::uint32_t> expected(mesh.GetVertexCount(), cMesh::kNoTriangle);
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        for (const std::uint32_t v : mesh.GetTriangle(i)->vertexIndex)
            if (v < expected.size() && expected[v] == cMesh::kNoTriangle)
                expected[v] = i;
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    const auto pooled = mesh.FirstTriangleOfEachVertex();
    SetSharedThreadPool(nullptr);
    EXPECT_EQ(std::vector<std::uint32_t>(pooled.begin(), pooled.end()), expected);
}
