#include "fitting/section_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

cVertex V(float x, float y, float z)
{
    cVertex v;
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
}

TEST(SectionGeometry, AppendVertexInFrameMapsThroughTheFrameAndClearsTheOtherFields)
{
    tFramePolyline<cVertex> polyline;
    // A quarter turn about z followed by a shift of (1, 2, 3).
    const double frame[12] = {0, -1, 0, 1, 1, 0, 0, 2, 0, 0, 1, 3};
    std::copy(frame, frame + 12, polyline.frame);
    polyline.boxValid = 1;
    cVertex v = V(1, 0, 0);
    v.flags = 7;
    v.nx = 1;
    v.index = 42;
    const cVertex* stored = AppendVertexInFrame(polyline, v);
    ASSERT_EQ(polyline.GetVertexCount(), 1u);
    EXPECT_EQ(stored, polyline.GetLastVertex());
    EXPECT_FLOAT_EQ(stored->x, 1.0f);
    EXPECT_FLOAT_EQ(stored->y, 3.0f);
    EXPECT_FLOAT_EQ(stored->z, 3.0f);
    EXPECT_EQ(stored->flags, 0u);
    EXPECT_EQ(stored->nx, 0.0f);
    EXPECT_EQ(stored->index, 0u);
    EXPECT_EQ(polyline.boxValid, 0);
}

TEST(SectionGeometry, PointSegmentDistanceClampsToTheEndsAndTreatsShortSegmentsAsAPoint)
{
    const cVertex a = V(0, 0, 0), b = V(2, 0, 0);
    const double beside[3] = {1, 3, 0}, before[3] = {-3, 4, 0}, beyond[3] = {5, 4, 0};
    EXPECT_DOUBLE_EQ(PointSegmentDistance(beside, a, b), 3.0);
    EXPECT_DOUBLE_EQ(PointSegmentDistance(before, a, b), 5.0);
    EXPECT_DOUBLE_EQ(PointSegmentDistance(beyond, a, b), 5.0);
    // Squared length 1e-8 is below the threshold: the distance is to a.
    const cVertex c = V(1e-4f, 0, 0);
    const double p[3] = {3, 4, 0};
    EXPECT_DOUBLE_EQ(PointSegmentDistance(p, a, c), 5.0);
    EXPECT_DOUBLE_EQ(PointSegmentDistance(p, a, a), 5.0);
}

TEST(SectionGeometry, LineCircleIntersectionsInTheOrderOfTheSignRule)
{
    const float centre[3] = {0, 0, 2};
    double first[3], second[3];
    const double p0[2] = {-2, 0}, p1[2] = {2, 0};
    ASSERT_EQ(IntersectLineCircle2D(p0, p1, centre, 1.0, first, second), 2);
    EXPECT_DOUBLE_EQ(first[0], 1.0);
    EXPECT_DOUBLE_EQ(second[0], -1.0);
    EXPECT_DOUBLE_EQ(first[1], 0.0);
    EXPECT_DOUBLE_EQ(first[2], 2.0);

    const double t0[2] = {-2, 1}, t1[2] = {2, 1};
    ASSERT_EQ(IntersectLineCircle2D(t0, t1, centre, 1.0, first, second), 1);
    EXPECT_NEAR(first[0], 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(first[1], 1.0);
    EXPECT_DOUBLE_EQ(second[1], 1.0);

    const double m0[2] = {-2, 3}, m1[2] = {2, 3};
    EXPECT_EQ(IntersectLineCircle2D(m0, m1, centre, 1.0, first, second), 0);
    EXPECT_EQ(first[0], 0.0);
    EXPECT_EQ(second[2], 0.0);

    // Two equal points make no line: no intersection instead of NaN.
    EXPECT_EQ(IntersectLineCircle2D(p0, p0, centre, 1.0, first, second), 0);
    EXPECT_FALSE(std::isnan(first[0]));
}

} // namespace
