#include "core/intersections.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{

void ExpectPoint(const double p[3], double x, double y, double z, double tol = 1e-12)
{
    EXPECT_NEAR(p[0], x, tol);
    EXPECT_NEAR(p[1], y, tol);
    EXPECT_NEAR(p[2], z, tol);
}

TEST(TriangleCircumcentre, RightTriangleAndCollinearPoints)
{
    const double a[3] = {0, 0, 0}, b[3] = {2, 0, 0}, c[3] = {0, 2, 0};
    double out[3];
    EXPECT_TRUE(TriangleCircumcentre(a, b, c, out));
    ExpectPoint(out, 1, 1, 0);

    const double p[3] = {0, 0, 0}, q[3] = {1, 0, 0}, r[3] = {2, 0, 0};
    EXPECT_FALSE(TriangleCircumcentre(p, q, r, out));
    EXPECT_EQ(out[0], 3 * 0.3333333333333); // the centroid, by the short third
    EXPECT_EQ(out[1], 0.0);
}

TEST(TriangleCircumcentre, IsEquidistantInSpace)
{
    const double a[3] = {1, 2, 3}, b[3] = {-2, 0.5, 4}, c[3] = {0.3, -1, -2};
    double o[3];
    ASSERT_TRUE(TriangleCircumcentre(a, b, c, o));
    auto dist = [&](const double* p) { return std::hypot(p[0] - o[0], p[1] - o[1], p[2] - o[2]); };
    EXPECT_NEAR(dist(a), dist(b), 1e-12);
    EXPECT_NEAR(dist(a), dist(c), 1e-12);
}

TEST(IntersectLineCircle2d, SecantTangentMissAndDegenerateLine)
{
    const double centre[3] = {5, 5, 7};
    double o1[3], o2[3];
    const double a[3] = {3, 5, 0}, b[3] = {7, 5, 0};
    ASSERT_EQ(IntersectLineCircle2d(a, b, centre, 1.0, o1, o2), 2);
    ExpectPoint(o1, 6, 5, 7);
    ExpectPoint(o2, 4, 5, 7);

    const double c[3] = {3, 6, 0}, d[3] = {7, 6, 0};
    ASSERT_EQ(IntersectLineCircle2d(c, d, centre, 1.0, o1, o2), 1);
    ExpectPoint(o1, 5, 6, 7);
    ExpectPoint(o2, 5, 6, 7);

    // A steep line with falling y: the sign rule keeps out1 on the upper side.
    const double e[3] = {5.5, 8, 0}, f[3] = {5.5, 2, 0};
    ASSERT_EQ(IntersectLineCircle2d(e, f, centre, 1.0, o1, o2), 2);
    ExpectPoint(o1, 5.5, 5 + std::sqrt(0.75), 7);
    ExpectPoint(o2, 5.5, 5 - std::sqrt(0.75), 7);

    o1[0] = o2[0] = 99;
    const double g[3] = {3, 7, 0}, h[3] = {7, 7, 0};
    EXPECT_EQ(IntersectLineCircle2d(g, h, centre, 1.0, o1, o2), 0);
    ExpectPoint(o1, 0, 0, 0);
    ExpectPoint(o2, 0, 0, 0);

    // Both points the same: no direction, no intersection (never NaN).
    EXPECT_EQ(IntersectLineCircle2d(a, a, centre, 2.0, o1, o2), 0);
    ExpectPoint(o1, 0, 0, 0);
}

TEST(IntersectCircles2d, TouchingApartCrossingAndConcentric)
{
    const double c1[3] = {0, 0, 4};
    double o1[3], o2[3];
    const double two[3] = {2, 0, 9};
    ASSERT_EQ(IntersectCircles2d(c1, 1, two, 1, o1, o2), 1);
    ExpectPoint(o1, 1, 0, 4);
    ExpectPoint(o2, 1, 0, 4);

    const double three[3] = {3, 0, 0};
    EXPECT_EQ(IntersectCircles2d(c1, 1, three, 1, o1, o2), 0);

    const double six[3] = {6, 0, 0};
    ASSERT_EQ(IntersectCircles2d(c1, 5, six, 5, o1, o2), 2);
    ExpectPoint(o1, 3, 4, 4);
    ExpectPoint(o2, 3, -4, 4);

    const double up[3] = {0, 6, 0}; // the |dy| >= |dx| branch
    ASSERT_EQ(IntersectCircles2d(c1, 5, up, 5, o1, o2), 2);
    ExpectPoint(o1, 4, 3, 4);
    ExpectPoint(o2, -4, 3, 4);

    const double same[3] = {0, 0, 1};
    o1[0] = 99;
    EXPECT_EQ(IntersectCircles2d(c1, 1, same, 1, o1, o2), 0);
    ExpectPoint(o1, 0, 0, 0);
}

TEST(CircleTangentPoints2d, InsideOnAndOutside)
{
    const double centre[3] = {0, 0, 0};
    double o1[3], o2[3];
    const double inside[3] = {0.5, 0, 0};
    EXPECT_EQ(CircleTangentPoints2d(inside, centre, 1, o1, o2), 0);

    const double on[3] = {1, 0, 0};
    ASSERT_EQ(CircleTangentPoints2d(on, centre, 1, o1, o2), 1);
    ExpectPoint(o1, 1, 0, 0);
    ExpectPoint(o2, 1, -1, 0); // one unit along the tangent

    const double outside[3] = {2, 0, 0};
    ASSERT_EQ(CircleTangentPoints2d(outside, centre, 1, o1, o2), 2);
    ExpectPoint(o1, 0.5, std::sqrt(0.75), 0);
    ExpectPoint(o2, 0.5, -std::sqrt(0.75), 0);
    // Each tangent point sees p at a right angle to its radius.
    EXPECT_NEAR(o1[0] * (2 - o1[0]) + o1[1] * (0 - o1[1]), 0.0, 1e-12);
}

TEST(ClosestPointsOfLines, SkewAndParallelLines)
{
    const double p0[3] = {0, 0, 0}, d0[3] = {2, 0, 0};
    const double p1[3] = {2, -3, 1}, d1[3] = {0, 1, 0};
    double a[3], b[3];
    ASSERT_TRUE(ClosestPointsOfLines(p0, d0, p1, d1, a, b));
    ExpectPoint(a, 2, 0, 0);
    ExpectPoint(b, 2, 0, 1);

    a[0] = b[0] = 42;
    const double q1[3] = {0, 1, 0}, e1[3] = {-4, 0, 0};
    EXPECT_FALSE(ClosestPointsOfLines(p0, d0, q1, e1, a, b));
    EXPECT_EQ(a[0], 42);
    EXPECT_EQ(b[0], 42);
}

// Callers may pass an input array as an output: every routine reads its
// inputs before it writes (or zeroes) an output.
TEST(Intersections, OutputsMayBeTheirOwnInputs)
{
    auto copy = [](const double* v, double* out) { std::copy(v, v + 3, out); };
    auto same = [](const double* a, const double* b) { return std::equal(a, a + 3, b); };
    double o1[3], o2[3], x[3], y[3];

    const double p0[3] = {-3, 0.5, 1}, p1[3] = {3, 0.5, 1}, centre[3] = {0.25, 0, 2};
    const int lines = IntersectLineCircle2d(p0, p1, centre, 2.0, o1, o2);
    ASSERT_EQ(lines, 2);
    copy(p0, x);
    copy(centre, y);
    EXPECT_EQ(IntersectLineCircle2d(x, p1, y, 2.0, x, y), lines);
    EXPECT_TRUE(same(x, o1) && same(y, o2));

    const double c1[3] = {0, 0, 1}, c2[3] = {1.5, 0.5, 3};
    const int circles = IntersectCircles2d(c1, 1.0, c2, 1.2, o1, o2);
    ASSERT_EQ(circles, 2);
    copy(c1, x);
    copy(c2, y);
    EXPECT_EQ(IntersectCircles2d(x, 1.0, y, 1.2, x, y), circles);
    EXPECT_TRUE(same(x, o1) && same(y, o2));

    const double outside[3] = {4, 1, 0};
    const int tangents = CircleTangentPoints2d(outside, centre, 2.0, o1, o2);
    ASSERT_EQ(tangents, 2);
    copy(outside, x);
    copy(centre, y);
    EXPECT_EQ(CircleTangentPoints2d(x, y, 2.0, x, y), tangents);
    EXPECT_TRUE(same(x, o1) && same(y, o2));

    const double d0[3] = {2, 0, 0}, q1[3] = {2, -3, 1}, d1[3] = {0, 1, 0};
    const double origin[3] = {0, 0, 0};
    ASSERT_TRUE(ClosestPointsOfLines(origin, d0, q1, d1, o1, o2));
    copy(origin, x);
    copy(q1, y);
    EXPECT_TRUE(ClosestPointsOfLines(x, d0, y, d1, x, y));
    EXPECT_TRUE(same(x, o1) && same(y, o2));

    const double a[3] = {0, 0, 0}, b[3] = {2, 0, 0}, c[3] = {0, 2, 0};
    ASSERT_TRUE(TriangleCircumcentre(a, b, c, o1));
    copy(b, x);
    EXPECT_TRUE(TriangleCircumcentre(a, x, c, x));
    EXPECT_TRUE(same(x, o1));
}

} // namespace
