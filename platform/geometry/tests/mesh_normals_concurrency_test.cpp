// The normals of a mesh big enough to be computed on several threads are
// the ones a single pass gives, bit for bit; its check finds a bad vertex or
// face wherever it lies.
#include "platform/geometry/mesh.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cmath>
#include <cstring>
#include <vector>

namespace
{

TEST(MeshNormals, NormalsOfABigMeshAreSummedFaceByFaceInFaceOrder)
{
    // 160k faces far from the origin whose corners are scattered over the
    // whole vertex table, or numbered row by row as the faces go (each slice
    // of vertices then reads a range of faces of its own), quads among them,
    // and one face with a bad index.
    for (const bool scattered : {true, false})
    {
        SCOPED_TRACE(scattered ? "scattered" : "in order");
        const int side = 300;
        ON_Mesh m;
        std::vector<int> slot(std::size_t(side * side));
        for (int i = 0; i < side * side; ++i)
            slot[std::size_t(i)] = scattered ? int((std::int64_t{i} * 7919) % (side * side)) : i;
        m.m_V.SetCount(side * side);
        for (int j = 0; j < side; ++j)
            for (int i = 0; i < side; ++i)
                m.m_V[slot[std::size_t(j * side + i)]] =
                    ON_3fPoint(5000.0f + 0.3f * float(i), -800.0f + 0.3f * float(j),
                               40.0f + 0.01f * float((i * j) % 17));
        for (int j = 0; j + 1 < side; ++j)
            for (int i = 0; i + 1 < side; ++i)
            {
                const int a = slot[std::size_t(j * side + i)], b = slot[std::size_t(j * side + i + 1)];
                const int c = slot[std::size_t((j + 1) * side + i + 1)], d = slot[std::size_t((j + 1) * side + i)];
                if ((i + j) % 5 == 0)
                    m.SetQuad(m.FaceCount(), a, b, c, d);
                else
                {
                    m.SetTriangle(m.FaceCount(), a, b, c);
                    m.SetTriangle(m.FaceCount(), a, c, d);
                }
            }
        m.SetTriangle(m.FaceCount(), 0, side * side + 3, 1);

        std::vector<ON_3dVector> sums(std::size_t(side * side));
        std::vector<ON_3fVector> faceNormals;
        for (const ON_MeshFace& f : m.m_F)
        {
            if (f.vi[1] >= side * side)
            {
                faceNormals.emplace_back(0.0f, 0.0f, 0.0f);
                continue;
            }
            const ON_3dPoint a(m.m_V[f.vi[0]]), b(m.m_V[f.vi[1]]), c(m.m_V[f.vi[2]]), d(m.m_V[f.vi[3]]);
            const ON_3dVector n = ON_CrossProduct(c - a, d - b);
            for (int k = 0; k < (f.IsTriangle() ? 3 : 4); ++k)
                sums[std::size_t(f.vi[k])] += n;
            ON_3dVector unit = n;
            if (!unit.Unitize())
                unit = ON_3dVector();
            faceNormals.emplace_back(unit);
        }
        EXPECT_FALSE(m.ComputeFaceNormals());
        ASSERT_TRUE(m.ComputeVertexNormals());
        ASSERT_EQ(m.m_FN.Count(), m.FaceCount());
        for (int i = 0; i < m.FaceCount(); ++i)
            ASSERT_EQ(std::memcmp(&m.m_FN[i], &faceNormals[std::size_t(i)], sizeof(ON_3fVector)), 0) << "face " << i;
        for (int i = 0; i < side * side; ++i)
        {
            ON_3dVector unit = sums[std::size_t(i)];
            if (!unit.Unitize())
                unit = ON_3dVector();
            const ON_3fVector expected(unit);
            ASSERT_EQ(std::memcmp(&m.m_N[i], &expected, sizeof expected), 0) << "vertex " << i;
        }
    }
}

TEST(MeshNormals, ABigMeshIsInvalidWithOneVertexNotFiniteOrOneFaceOutOfRangeAnywhere)
{
    // A strip of 300,000 triangles checked on several threads.
    const int n = 150000;
    ON_Mesh m;
    m.m_V.SetCount(2 * (n + 1));
    for (int i = 0; i <= n; ++i)
    {
        m.m_V[2 * i] = ON_3fPoint(float(i), 0.0f, 9000.0f);
        m.m_V[2 * i + 1] = ON_3fPoint(float(i), 1.0f, 9000.0f);
    }
    for (int i = 0; i < n; ++i)
    {
        m.SetTriangle(m.FaceCount(), 2 * i, 2 * i + 2, 2 * i + 3);
        m.SetTriangle(m.FaceCount(), 2 * i, 2 * i + 3, 2 * i + 1);
    }
    ASSERT_TRUE(m.IsValid());
    for (const int at : {0, 123457, 2 * n + 1})
    {
        ON_Mesh bad = m;
        bad.m_V[at].y = std::nanf("");
        EXPECT_FALSE(bad.IsValid()) << at;
    }
    for (const int at : {0, 200001, 2 * n - 1})
    {
        ON_Mesh bad = m;
        bad.m_F[at].vi[1] = 2 * (n + 1);
        EXPECT_FALSE(bad.IsValid()) << at;
    }
}

} // namespace
