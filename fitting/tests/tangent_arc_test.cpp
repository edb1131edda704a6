#include "fitting/tangent_arc.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

cVertex Line(float x, float y, float dx, float dy)
{
    cVertex v;
    v.x = x;
    v.y = y;
    v.nx = dx;
    v.ny = dy;
    return v;
}

double Distance(const float a[3], const float b[3]) { return std::hypot(a[0] - b[0], a[1] - b[1]); }

TEST(TangentArc, RightAngleCornerTakesTheLargerCircleThroughThePick)
{
    const cVertex l1 = Line(1, 0, 1, 0), l2 = Line(0, 1, 0, 1);
    const float pick[3] = {1, 1, 0};
    float t1[3], m[3], t2[3];
    ASSERT_TRUE(SolveTangentArcBetweenLines(l1, l2, pick, t1, m, t2, 0.0));
    // Circles tangent to both axes through (1, 1) have centre (a, a), a = 2 +- sqrt 2.
    const double centre = 2.0 + std::sqrt(2.0);
    EXPECT_NEAR(t1[0], centre, 1e-5);
    EXPECT_NEAR(t1[1], 0.0, 1e-6);
    EXPECT_NEAR(t2[1], centre, 1e-5);
    EXPECT_NEAR(m[0], 1.0, 1e-5) << "the arc passes through the picked point";
    EXPECT_NEAR(m[1], 1.0, 1e-5);
}

TEST(TangentArc, RadiusStepCutsTheRadiusDownAlongTheBisector)
{
    const cVertex l1 = Line(1, 0, 1, 0), l2 = Line(0, 1, 0, 1);
    const float pick[3] = {1, 1, 0};
    float t1[3], m[3], t2[3];
    ASSERT_TRUE(SolveTangentArcBetweenLines(l1, l2, pick, t1, m, t2, 0.5));
    // Radius 3.414 becomes 3.0: the centre is (3, 3), tangent points (3, 0), (0, 3).
    EXPECT_NEAR(t1[0], 3.0, 1e-5);
    EXPECT_NEAR(t2[1], 3.0, 1e-5);
    const float c[3] = {3, 3, 0};
    EXPECT_NEAR(Distance(m, c), 3.0, 1e-5);
}

TEST(TangentArc, StraightCornersAndCornerPointsGiveNoArc)
{
    const float pick[3] = {0, 1, 0};
    float t1[3] = {9, 9, 9}, m[3], t2[3];
    // Lines meeting at almost 180 degrees: they still cross, but the corner
    // is too straight for a fillet.
    const cVertex a = Line(-1, 0, 1, 0), b = Line(1, 0.0f, 1, 5e-4f);
    EXPECT_FALSE(SolveTangentArcBetweenLines(a, b, pick, t1, m, t2, 0.0));
    EXPECT_EQ(t1[0], 9.0f) << "outputs are written only when an arc is found";
    // A line given by the corner point itself.
    const cVertex c = Line(0, 0, 1, 0), d = Line(0, 1, 0, 1);
    EXPECT_FALSE(SolveTangentArcBetweenLines(c, d, pick, t1, m, t2, 0.0));
    // A line without a direction (zero length), on either side.
    const cVertex none = Line(0, 2, 0, 0);
    EXPECT_FALSE(SolveTangentArcBetweenLines(none, c, pick, t1, m, t2, 0.0));
    EXPECT_FALSE(SolveTangentArcBetweenLines(c, none, pick, t1, m, t2, 0.0));
    EXPECT_EQ(t1[0], 9.0f);
}

TEST(TangentArc, ParallelLinesGiveAHalfCircleOnTheMidLine)
{
    const cVertex l1 = Line(0, 0, 1, 0), l2 = Line(0, 2, 1, 0);
    const float pick[3] = {3, 1, 0};
    float t1[3], m[3], t2[3];
    ASSERT_TRUE(SolveTangentArcBetweenLines(l1, l2, pick, t1, m, t2, 0.0));
    EXPECT_NEAR(t1[1], 0.0, 1e-6);
    EXPECT_NEAR(t2[1], 2.0, 1e-6);
    EXPECT_NEAR(t1[0], t2[0], 1e-6);
    EXPECT_NEAR(m[1], 1.0, 1e-6);
    // The centre lies on the mid-line at distance 1 from the pick.
    const float centre[3] = {t1[0], 1.0f, 0.0f};
    EXPECT_NEAR(Distance(centre, pick), 1.0, 1e-5);

    const float far[3] = {3, 5, 0};
    EXPECT_FALSE(SolveTangentArcBetweenLines(l1, l2, far, t1, m, t2, 0.0));
}

TEST(TangentArc, ParallelLinesGivenAtPointsThatDoNotFaceEachOther)
{
    // The second line's point lies well along the line: the half circle
    // still spans the gap of 2 and touches both lines.
    const cVertex l1 = Line(0, 0, 1, 0), l2 = Line(7, 2, -1, 0);
    const float pick[3] = {3, 1.5f, 0};
    float t1[3], m[3], t2[3];
    ASSERT_TRUE(SolveTangentArcBetweenLines(l1, l2, pick, t1, m, t2, 0.0));
    EXPECT_NEAR(t1[1], 0.0, 1e-6);
    EXPECT_NEAR(t2[1], 2.0, 1e-6);
    EXPECT_NEAR(t1[0], t2[0], 1e-5) << "the diameter runs straight across";
    const float centre[3] = {t1[0], 1.0f, 0.0f};
    EXPECT_NEAR(Distance(centre, pick), 1.0, 1e-5);
    EXPECT_NEAR(Distance(centre, m), 1.0, 1e-5);

    // Lines crossing at a tiny angle count as parallel, as in the closest
    // points of two lines.
    const cVertex almost = Line(0, 2, 1, 1e-4f);
    ASSERT_TRUE(SolveTangentArcBetweenLines(l1, almost, pick, t1, m, t2, 0.0));
    EXPECT_NEAR(t1[1], 0.0, 1e-6);
    EXPECT_NEAR(t2[1], 2.0, 1e-3);
}

} // namespace

namespace
{

// At any corner angle the arc touches both lines at right angles to its
// radius and passes through the picked point.
TEST(TangentArc, TangentToBothLinesAtSeveralAngles)
{
    for (double degrees : {30.0, 60.0, 90.0, 120.0, 150.0})
    {
        const double a = degrees * 3.14159265358979323846 / 180.0;
        const float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
        const cVertex l1 = Line(2, 0, 1, 0);
        const cVertex l2 = Line(2 * c, 2 * s, c, s);
        // A pick inside the corner, on the bisector.
        const float pick[3] = {static_cast<float>(0.5 * std::cos(a / 2)), static_cast<float>(0.5 * std::sin(a / 2)),
                               0};
        float t1[3], m[3], t2[3];
        ASSERT_TRUE(SolveTangentArcBetweenLines(l1, l2, pick, t1, m, t2, 0.0)) << degrees;
        EXPECT_NEAR(t1[1], 0.0, 1e-5) << degrees;
        EXPECT_NEAR(t2[0] * s - t2[1] * c, 0.0, 1e-4) << "second tangent point lies on the second line";
        // The centre is where the normals at the tangent points meet: on
        // x = t1.x, and on t2 + k (-sin, cos).
        const double k = (t2[0] - t1[0]) / s;
        const float centre[3] = {t1[0], static_cast<float>(t2[1] + k * c), 0};
        const double radius = std::fabs(centre[1]);
        EXPECT_NEAR(Distance(t2, centre), radius, 1e-3) << degrees;
        EXPECT_NEAR(Distance(m, centre), radius, 1e-3) << degrees;
        EXPECT_NEAR(Distance(pick, centre), radius, 1e-3) << "the arc passes through the pick at " << degrees;
    }
}

} // namespace
