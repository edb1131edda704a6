// A region marked from its seeds' labels on a pool, as alone: the triangles'
// and their corners' bits, and the list of its triangles.
#include "fitting/sweep_surface_builders.h"

#include "core/mesh.h"
#include "core/thread_pool.h"
#include "fitting/mesh_plane_sectioner.h"
#include "fitting/tests/section_meshes.h"

#include <gtest/gtest.h>

#include <vector>

TEST(RegionMarkingOnAPool, SeedsMarkTheTrianglesOfTheirLabelsAndTheirCornersAsAlone)
{
    // A wall of 80,000 triangles far out in bands of three labels, every
    // triangle's bit and every vertex's bit set beforehand, a triangle of the
    // seeds' label naming a vertex past the last.
    cMesh mesh;
    section_meshes::BuildWall(mesh, 1000.0, 1200.0, -50.0, 50.0, 400, 100);
    const std::uint32_t count = mesh.GetTriangleCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        mesh.GetTriangle(i)->SetLabel(1 + (i / 5000) % 3);
        mesh.GetTriangle(i)->flags |= 4;
    }
    mesh.ForEachVertex([](cVertex& v) { v.flags |= 4; });
    mesh.GetTriangle(count - 3)->SetLabel(2);
    mesh.GetTriangle(count - 3)->vertexIndex[1] = mesh.GetVertexCount() + 5;
    const std::vector<std::uint32_t> seeds{7000, count + 4, 12000, 6000};
    const auto bits = [&](std::vector<std::uint32_t>& triangles, std::vector<std::uint32_t>& vertices) {
        triangles.clear(), vertices.clear();
        for (std::uint32_t i = 0; i < count; ++i)
            triangles.push_back(mesh.GetTriangle(i)->flags);
        for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
            vertices.push_back(mesh.GetVertex(i)->flags);
    };
    cThreadPool pool(4);
    for (const bool withVertices : {false, true})
    {
        std::vector<std::uint32_t> aloneT, aloneV, pooledT, pooledV;
        MarkRegionFromSeeds(mesh, seeds, withVertices);
        bits(aloneT, aloneV);
        mesh.ForEachTriangle([](cMeshTriangle& t) { t.flags ^= 4; });
        // The pooled marking also lists the region (a list held before is
        // replaced): the triangles with the bit, in order.
        std::vector<std::uint32_t> listed{99};
        SetSharedThreadPool(&pool);
        MarkRegionFromSeeds(mesh, seeds, withVertices, &listed);
        SetSharedThreadPool(nullptr);
        bits(pooledT, pooledV);
        EXPECT_EQ(pooledT, aloneT) << withVertices;
        EXPECT_EQ(pooledV, aloneV) << withVertices;
        EXPECT_EQ(listed, TrianglesWithFlag(mesh, 4)) << withVertices;
        // Labels 2 (seeds 7000 and 6000) and 3 (seed 12000) are marked.
        EXPECT_EQ(aloneT[1000] & 4, 0u);
        EXPECT_EQ(aloneT[6500] & 4, 4u);
        EXPECT_EQ(aloneT[count - 3] & 4, 4u);
        // Corners of marked triangles are marked, others cleared, when asked.
        EXPECT_EQ(aloneV[mesh.GetTriangle(6500)->vertexIndex[2]] & 4, 4u);
        EXPECT_EQ(aloneV[0] & 4, withVertices ? 0u : 4u);
    }
}
