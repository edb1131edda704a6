// The sign of a deviation on closed CAD meshes: negative inside, positive
// outside, also where the closest point lies on an edge or a corner whose
// faces disagree. The winding number of the mesh is the judge.
#include "analysis/cad_search_tree.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace
{

constexpr double kPi = 3.14159265358979323846;

struct stFrame
{
    double r[3][3];
    double t[3];

    ON_3dPoint Apply(double x, double y, double z) const
    {
        return ON_3dPoint(r[0][0] * x + r[0][1] * y + r[0][2] * z + t[0], r[1][0] * x + r[1][1] * y + r[1][2] * z + t[1],
                          r[2][0] * x + r[2][1] * y + r[2][2] * z + t[2]);
    }
};

// A rotation about the axis (1, 2, 3) by `angle`, then a shift away from
// the origin.
stFrame Placement(double angle, double tx, double ty, double tz)
{
    const double n = std::sqrt(14.0);
    const double u[3] = {1.0 / n, 2.0 / n, 3.0 / n};
    const double c = std::cos(angle), s = std::sin(angle);
    stFrame f{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            f.r[i][j] = (i == j ? c : 0.0) + (1.0 - c) * u[i] * u[j];
    f.r[0][1] -= s * u[2], f.r[0][2] += s * u[1];
    f.r[1][0] += s * u[2], f.r[1][2] -= s * u[0];
    f.r[2][0] -= s * u[1], f.r[2][1] += s * u[0];
    f.t[0] = tx, f.t[1] = ty, f.t[2] = tz;
    return f;
}

// A bumpy closed ball (outward triangles, one vertex at each pole): deep
// dents make concave edges and saddle corners all over it.
ON_Mesh BumpyBall(const stFrame& frame, int around, int rings, double radius)
{
    ON_Mesh m(0, 0, false, false);
    auto at = [&](double theta, double phi) {
        const double r = radius * (1.0 + 0.35 * std::sin(3.0 * theta) * std::sin(2.0 * phi));
        return frame.Apply(r * std::sin(phi) * std::cos(theta), r * std::sin(phi) * std::sin(theta), r * std::cos(phi));
    };
    m.SetVertex(0, frame.Apply(0, 0, radius));
    for (int j = 1; j < rings; ++j)
        for (int i = 0; i < around; ++i)
            m.SetVertex(m.VertexCount(), at(2.0 * kPi * i / around, kPi * j / rings));
    const int south = m.VertexCount();
    m.SetVertex(south, frame.Apply(0, 0, -radius));
    auto ring = [&](int j, int i) { return 1 + (j - 1) * around + (i % around); };
    for (int i = 0; i < around; ++i)
    {
        m.SetTriangle(m.FaceCount(), 0, ring(1, i), ring(1, i + 1));
        m.SetTriangle(m.FaceCount(), south, ring(rings - 1, i + 1), ring(rings - 1, i));
    }
    for (int j = 1; j < rings - 1; ++j)
        for (int i = 0; i < around; ++i)
        {
            m.SetTriangle(m.FaceCount(), ring(j, i), ring(j + 1, i), ring(j + 1, i + 1));
            m.SetTriangle(m.FaceCount(), ring(j, i), ring(j + 1, i + 1), ring(j, i + 1));
        }
    return m;
}

// A coarse torus (its inner half is saddle-shaped).
ON_Mesh CoarseTorus(const stFrame& frame, int around, int tube, double major, double minor)
{
    ON_Mesh m(0, 0, false, false);
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < tube; ++j)
        {
            const double u = 2.0 * kPi * i / around, v = 2.0 * kPi * j / tube;
            m.SetVertex(m.VertexCount(), frame.Apply((major + minor * std::cos(v)) * std::cos(u),
                                                     (major + minor * std::cos(v)) * std::sin(u), minor * std::sin(v)));
        }
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < tube; ++j)
        {
            const int a = i * tube + j, b = ((i + 1) % around) * tube + j;
            const int c = ((i + 1) % around) * tube + (j + 1) % tube, d = i * tube + (j + 1) % tube;
            m.SetTriangle(m.FaceCount(), a, b, c);
            m.SetTriangle(m.FaceCount(), a, c, d);
        }
    return m;
}

// A cube of n x n quads a side whose inner grid points are pushed in or out
// at random (quads that are not flat, dents and bumps), each side its own
// mesh with its own copies of the shared border vertices, as the render
// meshes of a brep's faces are.
std::vector<ON_Mesh> DentedCubeSides(const stFrame& frame, int n, double half, std::mt19937& rng)
{
    std::uniform_real_distribution<double> push(-0.35 * half, 0.2 * half);
    // The height of every grid point of the cube's surface, shared by the
    // sides that meet there (borders stay flat so the sides still meet).
    auto key = [&](int i, int j, int k) { return (i * (n + 1) + j) * (n + 1) + k; };
    std::vector<double> depth(static_cast<std::size_t>((n + 1) * (n + 1) * (n + 1)), 0.0);
    for (double& d : depth)
        d = push(rng);
    std::vector<ON_Mesh> sides;
    for (int axis = 0; axis < 3; ++axis)
        for (const int end : {0, n})
        {
            ON_Mesh m(0, 0, false, false);
            for (int a = 0; a <= n; ++a)
                for (int b = 0; b <= n; ++b)
                {
                    int g[3];
                    g[axis] = end;
                    g[(axis + 1) % 3] = a;
                    g[(axis + 2) % 3] = b;
                    double x[3];
                    for (int k = 0; k < 3; ++k)
                        x[k] = -half + 2.0 * half * g[k] / n;
                    const bool inner = a > 0 && a < n && b > 0 && b < n;
                    if (inner)
                        x[axis] += (end == 0 ? -1.0 : 1.0) * depth[static_cast<std::size_t>(key(g[0], g[1], g[2]))];
                    m.SetVertex(m.VertexCount(), frame.Apply(x[0], x[1], x[2]));
                }
            for (int a = 0; a < n; ++a)
                for (int b = 0; b < n; ++b)
                {
                    const int v00 = a * (n + 1) + b, v10 = (a + 1) * (n + 1) + b;
                    const int v11 = v10 + 1, v01 = v00 + 1;
                    // Outward: (axis+1, axis+2) is right-handed about +axis.
                    if (end == n)
                        m.SetQuad(m.FaceCount(), v00, v10, v11, v01);
                    else
                        m.SetQuad(m.FaceCount(), v00, v01, v11, v10);
                }
            sides.push_back(m);
        }
    return sides;
}

// The winding number of the meshes' triangles (quads as (A, B, C) and
// (A, C, D)) about p: 1 inside a closed outward mesh, 0 outside.
double WindingNumber(const std::vector<const ON_Mesh*>& meshes, const float pf[3])
{
    const double p[3] = {pf[0], pf[1], pf[2]};
    double total = 0.0;
    auto add = [&](const ON_3fPoint& a, const ON_3fPoint& b, const ON_3fPoint& c) {
        double v[3][3];
        const ON_3fPoint* corners[3] = {&a, &b, &c};
        double length[3];
        for (int k = 0; k < 3; ++k)
        {
            v[k][0] = corners[k]->x - p[0], v[k][1] = corners[k]->y - p[1], v[k][2] = corners[k]->z - p[2];
            length[k] = std::sqrt(v[k][0] * v[k][0] + v[k][1] * v[k][1] + v[k][2] * v[k][2]);
        }
        const double triple = v[0][0] * (v[1][1] * v[2][2] - v[1][2] * v[2][1]) -
                              v[0][1] * (v[1][0] * v[2][2] - v[1][2] * v[2][0]) +
                              v[0][2] * (v[1][0] * v[2][1] - v[1][1] * v[2][0]);
        auto dot = [&](int i, int j) { return v[i][0] * v[j][0] + v[i][1] * v[j][1] + v[i][2] * v[j][2]; };
        const double below = length[0] * length[1] * length[2] + dot(0, 1) * length[2] + dot(0, 2) * length[1] +
                             dot(1, 2) * length[0];
        total += 2.0 * std::atan2(triple, below);
    };
    for (const ON_Mesh* mesh : meshes)
        for (const ON_MeshFace& f : mesh->m_F)
        {
            add(mesh->m_V[f.vi[0]], mesh->m_V[f.vi[1]], mesh->m_V[f.vi[2]]);
            if (f.IsQuad())
                add(mesh->m_V[f.vi[0]], mesh->m_V[f.vi[2]], mesh->m_V[f.vi[3]]);
        }
    return total / (4.0 * kPi);
}

struct stSignCounts
{
    int measured = 0;
    int atFeatures = 0;
    int faceNormalWrong = 0; // where the found face's own normal gives the wrong side
};

// Points around every corner and edge of the meshes, on both sides: the
// deviation's sign must say what the winding number says.
void ExpectInsideIsNegative(const std::vector<const ON_Mesh*>& meshes, double reach, std::mt19937& rng,
                            stSignCounts& counts)
{
    cCADSearchTree tree;
    tree.BuildVertexTree(meshes);
    tree.BuildFaceTree(meshes, nullptr);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const ON_Mesh* mesh : meshes)
        for (const ON_MeshFace& f : mesh->m_F)
            for (int k = 0; k < (f.IsQuad() ? 4 : 3); ++k)
            {
                // Near the corner, then near the middle of the side after it.
                const ON_3fPoint& a = mesh->m_V[f.vi[k]];
                const ON_3fPoint& b = mesh->m_V[f.vi[(k + 1) % (f.IsQuad() ? 4 : 3)]];
                for (int which = 0; which < 2; ++which)
                {
                    const double s = which == 0 ? 0.0 : 0.5;
                    double dir[3] = {gauss(rng), gauss(rng), gauss(rng)};
                    const double norm = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
                    const double r = reach * (0.05 + unit(rng));
                    const float p[3] = {static_cast<float>(a.x + s * (b.x - a.x) + r * dir[0] / norm),
                                        static_cast<float>(a.y + s * (b.y - a.y) + r * dir[1] / norm),
                                        static_cast<float>(a.z + s * (b.z - a.z) + r * dir[2] / norm)};
                    double radius = FLT_MAX;
                    tree.NearestVertex(p, radius);
                    double d = radius + 0.001, closest[3];
                    const cInspectionFace* face = tree.ClosestFace(p, d, closest);
                    ASSERT_NE(face, nullptr);
                    if (std::fabs(d) < 1e-3 * reach)
                        continue; // too close to the surface to tell
                    const double winding = WindingNumber(meshes, p);
                    ASSERT_TRUE(std::fabs(winding) < 0.02 || std::fabs(winding - 1.0) < 0.02) << winding;
                    ++counts.measured;
                    EXPECT_EQ(d < 0.0, winding > 0.5)
                        << "d " << d << " winding " << winding << " at " << p[0] << " " << p[1] << " " << p[2];
                    std::uint8_t feature = 0;
                    double again[3];
                    cCADSearchTree::MeasureFace(*face, p, FLT_MAX, again, &feature);
                    if (feature == 0)
                        continue;
                    ++counts.atFeatures;
                    const double side = (p[0] - closest[0]) * face->normal[0] + (p[1] - closest[1]) * face->normal[1] +
                                        (p[2] - closest[2]) * face->normal[2];
                    if ((side < 0.0) != (winding > 0.5))
                        ++counts.faceNormalWrong;
                }
            }
}

} // namespace

TEST(CADSearchTreeSign, InsideIsNegativeAtTheEdgesAndCornersOfClosedMeshes)
{
    std::mt19937 rng(52);
    stSignCounts counts;
    for (const double angle : {0.0, 0.7, 2.3})
    {
        const stFrame frame = Placement(angle, 480.0, -310.0, 125.0);
        // Coarse enough for sharp edges (a torus of triangular section) and
        // spiky corners (the ball's poles and bumps).
        const ON_Mesh ball = BumpyBall(frame, 7, 5, 40.0);
        ExpectInsideIsNegative({&ball}, 8.0, rng, counts);
        const ON_Mesh torus = CoarseTorus(frame, 9, 3, 60.0, 22.0);
        ExpectInsideIsNegative({&torus}, 8.0, rng, counts);
        const ON_Mesh fine = CoarseTorus(frame, 16, 8, 60.0, 22.0);
        ExpectInsideIsNegative({&fine}, 4.0, rng, counts);
    }
    EXPECT_GT(counts.measured, 1500);
    EXPECT_GT(counts.atFeatures, counts.measured / 10);
    // Without the pseudo-normals these meshes would show wrong speckles.
    EXPECT_GT(counts.faceNormalWrong, 10);
    std::printf("measured %d, at corners or edges %d, wrong by the face's own normal %d\n", counts.measured,
                counts.atFeatures, counts.faceNormalWrong);
}

TEST(CADSearchTreeSign, RenderMeshesOfSeparateFacesAreWeldedAtTheirBorders)
{
    std::mt19937 rng(7);
    stSignCounts counts;
    for (const double angle : {0.3, 1.9})
    {
        const std::vector<ON_Mesh> sides = DentedCubeSides(Placement(angle, -250.0, 900.0, 40.0), 4, 30.0, rng);
        std::vector<const ON_Mesh*> meshes;
        for (const ON_Mesh& side : sides)
            meshes.push_back(&side);
        ExpectInsideIsNegative(meshes, 5.0, rng, counts);
    }
    EXPECT_GT(counts.measured, 500);
    EXPECT_GT(counts.faceNormalWrong, 5);
    std::printf("measured %d, at corners or edges %d, wrong by the face's own normal %d\n", counts.measured,
                counts.atFeatures, counts.faceNormalWrong);
}

TEST(CADSearchTreeSign, AFoldedFinAndAnOpenSheetKeepTheirFacesSign)
{
    // Two faces folded flat onto each other cancel at their shared edge:
    // their own normal decides there. An open sheet's border edge has one
    // face: points beyond it take that face's side.
    ON_Mesh fin(0, 0, false, false);
    fin.SetVertex(0, ON_3fPoint(100, 100, 100));
    fin.SetVertex(1, ON_3fPoint(110, 100, 100));
    fin.SetVertex(2, ON_3fPoint(105, 108, 100));
    fin.SetTriangle(0, 0, 1, 2);
    fin.SetTriangle(1, 0, 2, 1);
    fin.SetVertex(3, ON_3fPoint(200, 0, 0));
    fin.SetVertex(4, ON_3fPoint(210, 0, 0));
    fin.SetVertex(5, ON_3fPoint(200, 10, 0));
    fin.SetTriangle(2, 3, 4, 5);
    cCADSearchTree tree;
    tree.BuildVertexTree({&fin});
    tree.BuildFaceTree({&fin}, nullptr);
    double d = FLT_MAX, closest[3];
    const float beyondFinEdge[3] = {105.0f, 95.0f, 101.0f};
    const cInspectionFace* face = tree.ClosestFace(beyondFinEdge, d, closest);
    ASSERT_NE(face, nullptr);
    const double side = (beyondFinEdge[0] - closest[0]) * face->normal[0] +
                        (beyondFinEdge[1] - closest[1]) * face->normal[1] +
                        (beyondFinEdge[2] - closest[2]) * face->normal[2];
    EXPECT_EQ(d < 0.0, side < 0.0);
    EXPECT_NEAR(std::fabs(d), std::sqrt(26.0), 1e-5);

    for (const float z : {2.0f, -2.0f})
    {
        const float beyondBorder[3] = {205.0f, -3.0f, z};
        d = FLT_MAX;
        ASSERT_NE(tree.ClosestFace(beyondBorder, d, closest), nullptr);
        EXPECT_NEAR(std::fabs(d), std::sqrt(9.0 + 4.0), 1e-5);
        EXPECT_EQ(d < 0.0, z < 0.0);
        // Beyond the corner at (200, 0, 0) as well.
        const float beyondCorner[3] = {198.0f, -1.0f, z};
        d = FLT_MAX;
        ASSERT_NE(tree.ClosestFace(beyondCorner, d, closest), nullptr);
        EXPECT_EQ(d < 0.0, z < 0.0);
    }
}
