#include "platform/geometry/mesh.h"
#include "platform/geometry/xform.h"

#include <gtest/gtest.h>

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
