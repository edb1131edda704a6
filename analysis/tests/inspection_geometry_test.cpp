#include "analysis/inspection_geometry.h"

#include "distance_oracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

namespace
{

// Separating-axis oracle: the triangle and the axis-aligned cube of half edge
// h around the origin are disjoint exactly when one of the 13 axes separates
// them.
bool SeparatingAxisOverlap(const double a[3], const double b[3], const double c[3], double h)
{
    const double* v[3] = {a, b, c};
    double e[3][3];
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            e[i][k] = v[(i + 1) % 3][k] - v[i][k];
    auto separates = [&](const double axis[3]) {
        double lo = DBL_MAX, hi = -DBL_MAX;
        for (const double* p : v)
        {
            const double d = p[0] * axis[0] + p[1] * axis[1] + p[2] * axis[2];
            lo = std::min(lo, d);
            hi = std::max(hi, d);
        }
        const double r = h * (std::fabs(axis[0]) + std::fabs(axis[1]) + std::fabs(axis[2]));
        return lo > r || hi < -r;
    };
    for (int k = 0; k < 3; ++k)
    {
        double axis[3] = {0, 0, 0};
        axis[k] = 1;
        if (separates(axis))
            return false;
    }
    double n[3] = {e[0][1] * e[1][2] - e[0][2] * e[1][1], e[0][2] * e[1][0] - e[0][0] * e[1][2],
                   e[0][0] * e[1][1] - e[0][1] * e[1][0]};
    if (separates(n))
        return false;
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 3; ++i)
        {
            double unit[3] = {0, 0, 0};
            unit[k] = 1;
            const double axis[3] = {unit[1] * e[i][2] - unit[2] * e[i][1], unit[2] * e[i][0] - unit[0] * e[i][2],
                                    unit[0] * e[i][1] - unit[1] * e[i][0]};
            if (separates(axis))
                return false;
        }
    return true;
}

void UnitNormal(const float a[3], const float b[3], const float c[3], float n[3])
{
    const double e0[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double e1[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
    double x[3] = {e0[1] * e1[2] - e0[2] * e1[1], e0[2] * e1[0] - e0[0] * e1[2], e0[0] * e1[1] - e0[1] * e1[0]};
    const double l = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
    for (int k = 0; k < 3; ++k)
        n[k] = l > 0 ? static_cast<float>(x[k] / l) : 0.0f;
}

} // namespace

TEST(TriangleCube, AgreesWithTheSeparatingAxisOracleOnRandomTriangles)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.5, 1.5);
    int hits = 0;
    for (int trial = 0; trial < 20000; ++trial)
    {
        double a[3], b[3], c[3];
        for (int k = 0; k < 3; ++k)
            a[k] = u(rng), b[k] = u(rng), c[k] = u(rng);
        const bool got = TriangleIntersectsUnitCube(a, b, c);
        // Near-touching cases may go either way within the test's slack: the
        // oracle on a slightly smaller and a slightly larger cube bounds it.
        if (SeparatingAxisOverlap(a, b, c, 0.5 - 1e-6))
        {
            ASSERT_TRUE(got) << trial;
        }
        if (!SeparatingAxisOverlap(a, b, c, 0.5 + 1e-4))
        {
            ASSERT_FALSE(got) << trial;
        }
        hits += got ? 1 : 0;
    }
    EXPECT_GT(hits, 2000); // both outcomes were exercised
    EXPECT_LT(hits, 18000);
}

TEST(TriangleCube, LargeTrianglesPiercingTheCubeAndFacesOnItsBoundary)
{
    // Every corner far outside, the cube in the middle of the triangle.
    const double a[3] = {-10, -10, 0.1}, b[3] = {10, -10, 0.1}, c[3] = {0, 10, 0.1};
    EXPECT_TRUE(TriangleIntersectsUnitCube(a, b, c));
    // A tilted one whose edges all pass outside the cube.
    const double d[3] = {-50, -50, 0.2}, e[3] = {50, -50, -0.2}, f[3] = {0, 50, 0.0};
    EXPECT_TRUE(TriangleIntersectsUnitCube(d, e, f));
    // A face lying in the cube's face plane x = 0.5 touches it...
    const double g[3] = {0.5, -0.2, -0.2}, h[3] = {0.5, 0.2, -0.2}, i[3] = {0.5, 0.0, 0.3};
    EXPECT_TRUE(TriangleIntersectsUnitCube(g, h, i));
    // ...and one just beyond it does not.
    const double j[3] = {0.5001, -0.2, -0.2}, k[3] = {0.5001, 0.2, -0.2}, l[3] = {0.5001, 0.0, 0.3};
    EXPECT_FALSE(TriangleIntersectsUnitCube(j, k, l));
    // Near a corner, cut off by the corner bevel only.
    const double m[3] = {0.9, 0.45, 0.45}, n[3] = {0.45, 0.9, 0.45}, o[3] = {0.45, 0.45, 0.9};
    EXPECT_FALSE(TriangleIntersectsUnitCube(m, n, o));
}

TEST(TriangleCube, VoxelTestMapsWorldCoordinates)
{
    const double centre[3] = {100.0, -50.0, 3.0};
    const double edges[3] = {4.0, 4.0, 4.0};
    const cUnitVoxel voxel(centre, edges);
    const float a[3] = {101.9f, -50, 3}, b[3] = {103, -49, 3}, c[3] = {103, -51, 3};
    EXPECT_TRUE(TriangleIntersectsVoxel(a, b, c, voxel));
    const float d[3] = {102.1f, -50, 3};
    EXPECT_FALSE(TriangleIntersectsVoxel(d, b, c, voxel));
    // Octant 7 lies below the centre on every axis.
    const cUnitVoxel child = voxel.Child(7);
    EXPECT_FLOAT_EQ(child.box[0], 98.0f);
    EXPECT_FLOAT_EQ(child.box[3], 100.0f);
    EXPECT_FLOAT_EQ(voxel.Child(0).box[0], 100.0f);
}

TEST(PointTriangleDistance, MatchesTheOracleInEveryRegionIncludingObtuseCorners)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-2.0f, 2.0f);
    for (int trial = 0; trial < 20000; ++trial)
    {
        float a[3], b[3], c[3], p[3], n[3];
        for (int k = 0; k < 3; ++k)
            a[k] = u(rng), b[k] = u(rng), c[k] = u(rng), p[k] = 2.0f * u(rng);
        UnitNormal(a, b, c, n);
        double q[3];
        const double d = SignedPointTriangleDistance(p, a, b, c, n, DBL_MAX, q);
        const double expected = analysis_test::OracleDistance(p, a, b, c);
        ASSERT_NEAR(std::fabs(d), expected, 1e-6 * std::max(1.0, expected)) << trial;
        // The closest point is as far from p as the distance says, and the
        // sign is the side of the normal it lies on.
        const double diff[3] = {p[0] - q[0], p[1] - q[1], p[2] - q[2]};
        ASSERT_NEAR(std::sqrt(diff[0] * diff[0] + diff[1] * diff[1] + diff[2] * diff[2]), std::fabs(d), 1e-9);
        const double side = diff[0] * n[0] + diff[1] * n[1] + diff[2] * n[2];
        ASSERT_EQ(d < 0, side < 0) << trial;
    }
}

TEST(PointTriangleDistance, ObtuseCornerRegionFindsTheEdgeNotTheCorner)
{
    // Angle at B is 135 degrees; the point lies beyond B's wedge but closest
    // to the interior of edge A-B.
    const float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {2, 1, 0}, n[3] = {0, 0, 1};
    const float p[3] = {0.9f, -1.0f, 0.0f};
    double q[3];
    const double d = SignedPointTriangleDistance(p, a, b, c, n, DBL_MAX, q);
    EXPECT_NEAR(d, 1.0, 1e-7);
    EXPECT_NEAR(q[0], 0.9, 1e-7);
    EXPECT_NEAR(q[1], 0.0, 1e-7);
}

TEST(PointTriangleDistance, SignBoundAndDegenerateTriangles)
{
    const float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0, 1, 0}, n[3] = {0, 0, 1};
    double q[3] = {7, 7, 7};
    const float on[3] = {0.25f, 0.25f, 0.0f};
    const double zero = SignedPointTriangleDistance(on, a, b, c, n, 1.0, q);
    EXPECT_EQ(zero, 0.0);
    EXPECT_FALSE(std::signbit(zero));
    const float below[3] = {0.25f, 0.25f, -0.5f};
    EXPECT_DOUBLE_EQ(SignedPointTriangleDistance(below, a, b, c, n, 1.0, q), -0.5);
    // Farther from the plane than the bound: no measurement, q untouched.
    q[0] = 7;
    EXPECT_EQ(SignedPointTriangleDistance(below, a, b, c, n, 0.4, q), FLT_MAX);
    EXPECT_EQ(q[0], 7);

    // Repeated and collinear corners are measured as segments: finite, never NaN.
    const float zeroNormal[3] = {0, 0, 0};
    const float p[3] = {0.5f, 2.0f, 0.0f};
    const double repeated = SignedPointTriangleDistance(p, a, b, b, zeroNormal, DBL_MAX, q);
    EXPECT_DOUBLE_EQ(repeated, 2.0);
    const float mid[3] = {0.5f, 0, 0};
    EXPECT_DOUBLE_EQ(SignedPointTriangleDistance(p, a, mid, b, zeroNormal, DBL_MAX, q), 2.0);
    EXPECT_DOUBLE_EQ(SignedPointTriangleDistance(p, a, a, a, zeroNormal, DBL_MAX, q), std::sqrt(4.25));
}

TEST(PointTriangleDistance, NonFiniteInputHasNoDistance)
{
    const float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0, 1, 0}, n[3] = {0, 0, 1};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float inside[3] = {0.25f, 0.25f, 0.5f};
    const float badPoint[3] = {0.25f, nan, 0.5f};
    const float badCorner[3] = {inf, 0, 0};
    const float nanCorner[3] = {0, nan, 0};
    double q[3] = {7, 7, 7};
    // Measured with an unbounded search, as the deviation passes start it.
    EXPECT_EQ(SignedPointTriangleDistance(badPoint, a, b, c, n, DBL_MAX, q), FLT_MAX);
    EXPECT_EQ(SignedPointTriangleDistance(inside, badCorner, b, c, n, DBL_MAX, q), FLT_MAX);
    EXPECT_EQ(SignedPointTriangleDistance(inside, a, nanCorner, c, n, DBL_MAX, q), FLT_MAX);
    // A degenerate triangle with a NaN corner takes the edge path: still none.
    EXPECT_EQ(SignedPointTriangleDistance(inside, a, a, nanCorner, n, DBL_MAX, q), FLT_MAX);
    EXPECT_EQ(q[0], 7);
    EXPECT_EQ(q[1], 7);
    EXPECT_EQ(q[2], 7);
    // The same call with finite input still measures.
    EXPECT_DOUBLE_EQ(SignedPointTriangleDistance(inside, a, b, c, n, DBL_MAX, q), 0.5);
}
