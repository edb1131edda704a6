#include "platform/geometry/fresh_pages.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/xform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace
{

// Unit square in z = 0 as one quad and one triangle beside it.
ON_Mesh QuadAndTriangle()
{
    ON_Mesh m(2, 5, false, false);
    m.SetVertex(0, ON_3dPoint(0, 0, 0));
    m.SetVertex(1, ON_3dPoint(1, 0, 0));
    m.SetVertex(2, ON_3dPoint(1, 1, 0));
    m.SetVertex(3, ON_3dPoint(0, 1, 0));
    m.SetVertex(4, ON_3dPoint(2, 0, 0));
    m.SetQuad(0, 0, 1, 2, 3);
    m.SetTriangle(1, 1, 4, 2);
    return m;
}

} // namespace

TEST(Mesh, BuildsTrianglesAndQuads)
{
    ON_Mesh m = QuadAndTriangle();
    EXPECT_EQ(m.VertexCount(), 5);
    EXPECT_EQ(m.FaceCount(), 2);
    EXPECT_EQ(m.TriangleCount(), 1);
    EXPECT_EQ(m.QuadCount(), 1);
    EXPECT_TRUE(m.m_F[1].IsTriangle());
    EXPECT_EQ(m.m_F[1].vi[3], 2);
    EXPECT_TRUE(m.IsValid());
    EXPECT_FALSE(m.SetVertex(7, ON_3dPoint(0, 0, 0))); // beyond count + 1
    const ON_BoundingBox b = m.BoundingBox();
    EXPECT_EQ(b.m_max.x, 2.0);
    EXPECT_EQ(ON_Mesh::Cast(static_cast<ON_Object*>(&m)), &m);
}

TEST(Mesh, ValidityRejectsBadIndicesDegenerateFacesAndNonFiniteVertices)
{
    ON_Mesh empty;
    EXPECT_FALSE(empty.IsValid());

    ON_Mesh m = QuadAndTriangle();
    m.SetTriangle(1, 1, 5, 2); // index out of range
    EXPECT_FALSE(m.IsValid());
    m.SetTriangle(1, 1, 1, 2); // repeated corner
    EXPECT_FALSE(m.IsValid());
    m.SetTriangle(1, 1, 4, 2);
    m.m_V[4].x = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(m.IsValid());
    m.m_V[4].x = 2.0f;
    m.m_N.Append(ON_3fVector(0, 0, 1)); // one normal for five vertices
    EXPECT_FALSE(m.IsValid());
}

TEST(Mesh, NormalsAreUnitAndFollowTransforms)
{
    ON_Mesh m = QuadAndTriangle();
    ASSERT_TRUE(m.ComputeFaceNormals());
    ASSERT_TRUE(m.ComputeVertexNormals());
    ASSERT_TRUE(m.HasVertexNormals());
    for (const auto& n : m.m_N)
        EXPECT_NEAR(n.z, 1.0f, 1e-6);
    // A non-uniform scale must keep normals perpendicular to the surface.
    ON_Mesh tilted;
    tilted.SetVertex(0, ON_3dPoint(0, 0, 0));
    tilted.SetVertex(1, ON_3dPoint(1, 0, 1));
    tilted.SetVertex(2, ON_3dPoint(0, 1, 0));
    tilted.SetTriangle(0, 0, 1, 2);
    ASSERT_TRUE(tilted.ComputeVertexNormals());
    ON_Xform scale;
    scale.m_xform[0][0] = 3.0;
    ASSERT_TRUE(tilted.Transform(scale));
    const ON_3dVector edge = ON_3dPoint(tilted.m_V[1]) - ON_3dPoint(tilted.m_V[0]);
    const ON_3fVector& n = tilted.m_N[0];
    EXPECT_NEAR(ON_DotProduct(edge, ON_3dVector(n.x, n.y, n.z)), 0.0, 1e-6);
    EXPECT_NEAR(n.Length(), 1.0, 1e-6);
}

TEST(Mesh, NormalsOfFacesWithBadIndicesAreNotComputed)
{
    ON_Mesh m = QuadAndTriangle();
    m.SetTriangle(1, 1, 40, 2);
    EXPECT_FALSE(m.ComputeFaceNormals());
    EXPECT_TRUE(m.ComputeVertexNormals()); // skips the bad face
    EXPECT_EQ(m.m_N[4].Length(), 0.0);
}

TEST(Mesh, FacesWithoutADirectionGetZeroNormalsAndTheOthersTheirUnitCrossProduct)
{
    // A tilted triangle far out, one with a corner at infinity, one with a
    // corner that is not a number and one of no area, each on its own
    // vertices but for the flat one, which shares the tilted one's corner.
    ON_Mesh m;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const ON_3fPoint corners[] = {{5000.25f, -800.5f, 40.0f}, {5001.0f, -800.0f, 40.75f}, {5000.0f, -799.0f, 41.5f},
                                  {0, 0, 0},   {inf, 0, 0},   {0, 1, 0},
                                  {0, 0, 0},   {1, nan, 0},   {0, 1, 0},
                                  {5002.0f, -800.5f, 40.0f},  {5004.0f, -800.5f, 40.0f}};
    for (const ON_3fPoint& p : corners)
        m.m_V.Append(p);
    m.SetTriangle(0, 0, 1, 2);
    m.SetTriangle(1, 3, 4, 5);
    m.SetTriangle(2, 6, 7, 8);
    m.SetTriangle(3, 0, 9, 10);
    ASSERT_TRUE(m.ComputeFaceNormals());
    ASSERT_TRUE(m.ComputeVertexNormals());
    const ON_3dVector cross =
        ON_CrossProduct(ON_3dPoint(m.m_V[2]) - ON_3dPoint(m.m_V[0]), ON_3dPoint(m.m_V[2]) - ON_3dPoint(m.m_V[1]));
    ON_3dVector unit = cross;
    ASSERT_TRUE(unit.Unitize());
    const ON_3fVector expected(unit), zero;
    for (const int vertex : {0, 1, 2})
        EXPECT_EQ(std::memcmp(&m.m_N[vertex], &expected, sizeof expected), 0) << "vertex " << vertex;
    EXPECT_EQ(std::memcmp(&m.m_FN[0], &expected, sizeof expected), 0);
    for (const int face : {1, 2, 3})
        EXPECT_EQ(std::memcmp(&m.m_FN[face], &zero, sizeof zero), 0) << "face " << face;
    for (const int vertex : {3, 4, 5, 6, 7, 8, 9, 10})
        EXPECT_EQ(std::memcmp(&m.m_N[vertex], &zero, sizeof zero), 0) << "vertex " << vertex;
}

TEST(Mesh, ABigArraySizedOnFreshPagesKeepsItsElementsAndClearsTheNewOnes)
{
    // 12 MB of normals, past the size that takes fresh pages of its own.
    ON_SimpleArray<ON_3fVector> normals;
    normals.Append(ON_3fVector(1.0f, 2.0f, 3.0f));
    normals.Append(ON_3fVector(4.0f, 5.0f, 6.0f));
    const int count = 1 << 20;
    ON_SetCountOnFreshPages(normals, count);
    ASSERT_EQ(normals.Count(), count);
    EXPECT_EQ(normals[1].z, 6.0f);
    int cleared = 0;
    for (int i = 2; i < count; ++i)
        cleared += normals[i].x == 0.0f && normals[i].y == 0.0f && normals[i].z == 0.0f;
    EXPECT_EQ(cleared, count - 2);
    ON_SetCountOnFreshPages(normals, 1);
    ASSERT_EQ(normals.Count(), 1);
    EXPECT_EQ(normals[0].x, 1.0f);
}
