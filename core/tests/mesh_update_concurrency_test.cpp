// A mesh's normals and neighbour links made on a pool: the same, to the bit,
// as made on the calling thread.
#include "core/mesh.h"
#include "core/thread_pool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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
    mesh.AddTriangle(a, a + 1, a + 2);          // zero area
    mesh.AddTriangle(0, 1, mesh.GetVertexCount() + 5); // a corner past the vertices
    mesh.AddTriangle(1, columns, 3 * columns);  // a third triangle on an edge
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
    ASSERT_EQ(pooled.GetVertexCount(), alone.GetVertexCount());
    for (std::uint32_t i = 0; i < alone.GetVertexCount(); ++i)
    {
        const cVertex& a = *alone.GetVertex(i);
        const cVertex& b = *pooled.GetVertex(i);
        ASSERT_EQ(std::memcmp(a.Normal(), b.Normal(), 3 * sizeof(float)), 0) << i;
        ASSERT_EQ(a.GetScalar(), b.GetScalar()) << i;
    }
    ASSERT_EQ(pooled.GetTriangleCount(), alone.GetTriangleCount());
    // Links compared by the numbers of the triangles they name.
    const auto numbers = [](cMesh& mesh) {
        std::unordered_map<const cMeshTriangle*, std::ptrdiff_t> number{{nullptr, -1}};
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
            number[mesh.GetTriangle(i)] = i;
        return number;
    };
    const auto numberAlone = numbers(alone), numberPooled = numbers(pooled);
    for (std::uint32_t i = 0; i < alone.GetTriangleCount(); ++i)
    {
        const cMeshTriangle& a = *alone.GetTriangle(i);
        const cMeshTriangle& b = *pooled.GetTriangle(i);
        ASSERT_EQ(std::memcmp(a.Normal(), b.Normal(), 3 * sizeof(float)), 0) << i;
        for (int k = 0; k < 3; ++k)
        {
            ASSERT_EQ(numberAlone.at(a.neighbour[k]), numberPooled.at(b.neighbour[k])) << i << ":" << k;
            ASSERT_EQ(a.neighbourEdge[k], b.neighbourEdge[k]) << i << ":" << k;
        }
    }
}
