// The pick of the mesh point under the cursor scans a big mesh on the shared
// pool, a block of triangles per job: the answer is the single scan's.
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "modes/mode_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{

TEST(MeshPickOnPool, KeepsTheEarliestOfEqualDepthsAcrossBlocks)
{
    // A bumpy sheet of 300 x 300 cells (180,000 triangles, three jobs of the
    // pool) far out; a copy of an early triangle is added at the end, in the
    // last job, so two triangles lie at the same depth under the cursor.
    cMesh mesh;
    std::mt19937 random(11);
    std::uniform_real_distribution<float> noise(-0.02f, 0.02f);
    const int n = 300;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
        {
            const float p[3] = {4000.0f + 0.5f * i + noise(random), -3000.0f + 0.5f * j + noise(random),
                                800.0f + std::sin(i * 0.05f) * std::cos(j * 0.04f)};
            mesh.AddVertex(p);
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            const std::uint32_t v = std::uint32_t(j * (n + 1) + i);
            mesh.AddTriangle(v, v + 1, v + n + 2);
            mesh.AddTriangle(v, v + n + 2, v + n + 1);
        }
    const std::uint32_t early = 2 * (20 * n + 30);
    const cMeshTriangle original = *mesh.GetTriangle(early);
    mesh.AddTriangle(original.vertexIndex[0], original.vertexIndex[1], original.vertexIndex[2]);
    mesh.Update();
    for (std::uint32_t i = 7; i < mesh.GetTriangleCount(); i += 29)
        mesh.GetTriangle(i)->flags |= kTriangleFlagHidden;
    mesh.GetTriangle(early)->flags &= std::uint8_t(~kTriangleFlagHidden);
    mesh.GetTriangle(mesh.GetTriangleCount() - 1)->flags &= std::uint8_t(~kTriangleFlagHidden);

    // Seen slightly turned; the cursor at the early triangle's centre.
    const float centre[3] = {4075.0f, -2925.0f, 800.0f};
    const double a = 0.3, ca = std::cos(a), sa = std::sin(a);
    const double m[12] = {ca, 0, -sa, 2.0, 0, 1, 0, -1.0, sa, 0, ca, 0.0};
    const auto toView = [&](const cVertex* v, double& x, double& y)
    {
        const double d[3] = {v->x - double(centre[0]), v->y - double(centre[1]), v->z - double(centre[2])};
        x += (m[0] * d[0] + m[1] * d[1] + m[2] * d[2] + m[3]) / 3.0;
        y += (m[4] * d[0] + m[5] * d[1] + m[6] * d[2] + m[7]) / 3.0;
    };
    double cx = 0.0, cy = 0.0;
    for (std::uint32_t index : original.vertexIndex)
        toView(mesh.GetVertex(index), cx, cy);

    cThreadPool pool(3);
    std::uniform_real_distribution<float> cursor(-70.0f, 70.0f);
    for (int q = 0; q < 60; ++q)
    {
        const float x = q == 0 ? float(cx) : cursor(random), y = q == 0 ? float(cy) : cursor(random);
        const cMeshTriangle* alone = nullptr;
        const cVertex single = PickMeshPointUnderCursor(mesh, x, y, m, centre, &alone);
        SetSharedThreadPool(&pool);
        const cMeshTriangle* shared = nullptr;
        const cVertex onPool = PickMeshPointUnderCursor(mesh, x, y, m, centre, &shared);
        SetSharedThreadPool(nullptr);
        ASSERT_EQ(alone, shared) << q;
        ASSERT_EQ(single.flags, onPool.flags) << q;
        ASSERT_EQ(single.x, onPool.x) << q;
        ASSERT_EQ(single.y, onPool.y) << q;
        ASSERT_EQ(single.z, onPool.z) << q;
        ASSERT_EQ(single.index, onPool.index) << q;
        if (q == 0)
        {
            EXPECT_EQ(shared, mesh.GetTriangle(early)) << "the earlier of the two at the same depth";
        }
    }
    pool.Stop();
}

} // namespace
