#include "shapes/interactive_section_plane.h"

#include "core/frame_math.h"
#include "core/tests/stub_section_curve.h"
#include "shapes/dezaz_wire.h"
#include "shapes/spline_section_curve.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <utility>

namespace
{

void ExpectVector(const double v[3], double x, double y, double z, double tol = 1e-6)
{
    EXPECT_NEAR(v[0], x, tol);
    EXPECT_NEAR(v[1], y, tol);
    EXPECT_NEAR(v[2], z, tol);
}

double SignedDistance(const cPlane& plane, const t3DPoint<float>& p)
{
    const double n2 = plane.normal[0] * plane.normal[0] + plane.normal[1] * plane.normal[1] +
                      plane.normal[2] * plane.normal[2];
    return (plane.normal[0] * p.x + plane.normal[1] * p.y + plane.normal[2] * p.z + plane.d) / std::sqrt(n2);
}

} // namespace

TEST(InteractiveSectionPlane, ResetIsTheDefaultPatchAndInactive)
{
    ST_CInteractiveSectionPlane section;
    const cPlane& plane = section.GetPlane();
    EXPECT_FALSE(section.IsActive());
    ExpectVector(plane.normal, 0, 0, 1, 0);
    ExpectVector(plane.origin, 0, 0, 0, 0);
    ExpectVector(plane.xAxis, 1, 0, 0, 0);
    EXPECT_EQ(plane.halfWidth, 30.0);
    EXPECT_EQ(plane.halfHeight, 30.0);
    EXPECT_EQ(plane.d, 0.0);
    EXPECT_EQ(section.GetSize(), 1.0);
    // Nothing moves before Begin.
    EXPECT_FALSE(section.MoveTo({1, 2, 3}));
    EXPECT_FALSE(section.SetNormal({1, 0, 0}));
    EXPECT_FALSE(section.SetXDirection({0, 1, 0}));
    ExpectVector(plane.normal, 0, 0, 1, 0);
    EXPECT_EQ(section.GetAnchor().x, 0.0f);

    ASSERT_TRUE(section.Begin({4, 5, 6}, 2.0));
    ASSERT_TRUE(section.SetNormal({0, 1, 0}));
    section.Reset();
    EXPECT_FALSE(section.IsActive());
    ExpectVector(plane.normal, 0, 0, 1, 0);
    EXPECT_EQ(plane.halfWidth, 30.0);
    EXPECT_EQ(section.GetAnchor().y, 5.0f); // the anchor stays
    EXPECT_EQ(section.GetCurrentPoint().y, 0.0f);
}

TEST(InteractiveSectionPlane, AxisPicksOfSetNormal)
{
    ST_CInteractiveSectionPlane section;
    ASSERT_TRUE(section.Begin({0, 0, 0}, 1.0));
    const cPlane& plane = section.GetPlane();
    ASSERT_TRUE(section.SetNormal({0, 0, 1}));
    ExpectVector(plane.xAxis, 1, 0, 0);
    ASSERT_TRUE(section.SetNormal({1, 0, 0}));
    ExpectVector(plane.xAxis, 0, 1, 0);
    ASSERT_TRUE(section.SetNormal({0, 1, 0}));
    ExpectVector(plane.xAxis, 1, 0, 0);
    // |m.z| smallest but |m.x| not: the z axis is the helper.
    ASSERT_TRUE(section.SetNormal({0.6f, 0.8f, 0.0f}));
    ExpectVector(plane.xAxis, 0, 0, 1);
    // A normal of length 2 is kept as given; the x axis is not normalised.
    ASSERT_TRUE(section.SetNormal({0, 0, 2}));
    ExpectVector(plane.normal, 0, 0, 2);
    ExpectVector(plane.xAxis, 4, 0, 0);
    EXPECT_FALSE(section.SetNormal({0, 0, 0}));
    EXPECT_FALSE(section.SetNormal({NAN, 0, 1}));
    ExpectVector(plane.normal, 0, 0, 2);
    ASSERT_TRUE(section.SetXDirection({0, 3, 0}));
    ExpectVector(plane.xAxis, 0, 3, 0);
}

TEST(InteractiveSectionPlane, MovesAlongTheNormalAndKeepsTheSize)
{
    ST_CInteractiveSectionPlane section;
    const t3DPoint<float> p{10, -20, 1000};
    ASSERT_TRUE(section.Begin(p, 5.0));
    const cPlane& plane = section.GetPlane();
    ExpectVector(plane.origin, 10, -20, 1000);
    ASSERT_TRUE(section.MoveTo({p.x, p.y, p.z + 3}));
    ExpectVector(plane.origin, 10, -20, 1003, 1e-4);
    EXPECT_EQ(plane.halfWidth, 5.0);
    EXPECT_EQ(plane.halfHeight, 5.0);
    EXPECT_NEAR(plane.d, -1003.0, 1e-4);
    EXPECT_FALSE(section.MoveTo({NAN, 0, 0}));
    ExpectVector(plane.origin, 10, -20, 1003, 1e-4);
}

TEST(InteractiveSectionPlane, PlanesOfUnnormalisedNormalsPassThroughTheAnchor)
{
    ST_CInteractiveSectionPlane section;
    ASSERT_TRUE(section.Begin({0, 0, 0}, 1.0));
    ASSERT_TRUE(section.SetNormal({0, 0, 2}));
    const t3DPoint<float> q{1, 1, 3};
    ASSERT_TRUE(section.MoveTo(q));
    const cPlane& plane = section.GetPlane();
    ExpectVector(plane.origin, 0, 0, 3);
    EXPECT_NEAR(SignedDistance(plane, q), 0.0, 1e-6);
    // Turning about the anchor keeps the anchor on the plane for any length
    // of normal, and the origin is the current point's foot on it.
    ASSERT_TRUE(section.SetNormal({0, 3, 4}));
    EXPECT_NEAR(SignedDistance(plane, q), 0.0, 1e-5);
    const t3DPoint<float> origin{static_cast<float>(plane.origin[0]), static_cast<float>(plane.origin[1]),
                                 static_cast<float>(plane.origin[2])};
    EXPECT_NEAR(SignedDistance(plane, origin), 0.0, 1e-5);
    // The current point (0, 0, 0) projected onto the plane through (1, 1, 3).
    ExpectVector(plane.origin, 0, 1.8, 2.4, 1e-5);
}

TEST(InteractiveSectionPlane, HoldsACopyOfTheSectionCurve)
{
    ST_CInteractiveSectionPlane section;
    EXPECT_EQ(section.GetSectionCurve(), nullptr);
    cStubSectionCurve curve;
    curve.SetId(42);
    curve.ownValue = 7;
    section.SetSectionCurve(&curve);
    const auto* held = dynamic_cast<const cStubSectionCurve*>(section.GetSectionCurve());
    ASSERT_NE(held, nullptr);
    EXPECT_NE(held, &curve);
    EXPECT_EQ(held->id, 42u);
    EXPECT_EQ(held->ownValue, 7);
    section.SetSectionCurve(nullptr);
    EXPECT_EQ(section.GetSectionCurve(), nullptr);
    section.SetSectionCurve(&curve);
    section.Reset();
    EXPECT_EQ(section.GetSectionCurve(), nullptr);
}

TEST(InteractiveSectionPlane, TakesItsOwnCurveBackUnchanged)
{
    ST_CInteractiveSectionPlane section;
    cStubSectionCurve curve;
    curve.SetId(9);
    curve.ownValue = 31;
    section.SetSectionCurve(&curve);
    section.SetSectionCurve(section.GetSectionCurve());
    const auto* held = dynamic_cast<const cStubSectionCurve*>(section.GetSectionCurve());
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->id, 9u);
    EXPECT_EQ(held->ownValue, 31);
}

TEST(InteractiveSectionPlane, MovesWithItsMeshPointsNormalAxisAndCurve)
{
    // A quarter turn about z and a shift.
    const double m[12] = {0, -1, 0, 5, 1, 0, 0, -7, 0, 0, 1, 11};
    ST_CInteractiveSectionPlane section;
    section.Transform(m);
    ExpectVector(section.GetPlane().normal, 0, 0, 1, 0);
    ExpectVector(section.GetPlane().origin, 0, 0, 0, 0);

    ASSERT_TRUE(section.Begin({1200, -640, 310}, 40.0));
    ASSERT_TRUE(section.SetNormal({0.6f, 0.0f, 0.8f}));
    ASSERT_TRUE(section.MoveTo({1210, -630, 300}));
    // The guide is a network curve: nodes in world coordinates.
    ST_TSplineCurve<Dezaz_Wire> guide;
    const double identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    tPolyline<cVertex> points;
    for (const std::array<double, 3>& p : {std::array<double, 3>{1190, -640, 310}, {1210, -641, 312}, {1230, -640, 310}})
        points.AddPoint3d(p.data());
    ASSERT_TRUE(guide.FitToPolyline(identity, points, 0.0, 0));
    section.SetSectionCurve(&guide);
    const cPlane before = section.GetPlane();
    const t3DPoint<float> anchor = section.GetAnchor(), current = section.GetCurrentPoint();
    const cVertex start = *guide.GetDefiningPoints()->GetVertex(0);

    section.Transform(m);
    const cPlane& after = section.GetPlane();
    const auto moved = [&m](const double v[3], double t) {
        std::array<double, 3> out{};
        for (int r = 0; r < 3; ++r)
            out[std::size_t(r)] = m[4 * r] * v[0] + m[4 * r + 1] * v[1] + m[4 * r + 2] * v[2] + t * m[4 * r + 3];
        return out;
    };
    const std::array<double, 3> origin = moved(before.origin, 1), normal = moved(before.normal, 0),
                                xAxis = moved(before.xAxis, 0);
    ExpectVector(after.origin, origin[0], origin[1], origin[2], 1e-3);
    ExpectVector(after.normal, normal[0], normal[1], normal[2]);
    ExpectVector(after.xAxis, xAxis[0], xAxis[1], xAxis[2]);
    EXPECT_NEAR(after.d, -(normal[0] * origin[0] + normal[1] * origin[1] + normal[2] * origin[2]), 1e-3);
    for (const auto& [was, is] : {std::pair{anchor, section.GetAnchor()}, std::pair{current, section.GetCurrentPoint()}})
    {
        const double p[3] = {was.x, was.y, was.z};
        const std::array<double, 3> expected = moved(p, 1);
        EXPECT_NEAR(is.x, expected[0], 1e-3);
        EXPECT_NEAR(is.y, expected[1], 1e-3);
        EXPECT_NEAR(is.z, expected[2], 1e-3);
    }
    const double s[3] = {start.x, start.y, start.z};
    const std::array<double, 3> expected = moved(s, 1);
    const cVertex& heldStart = *section.GetSectionCurve()->GetDefiningPoints()->GetVertex(0);
    EXPECT_NEAR(heldStart.x, expected[0], 1e-3);
    EXPECT_NEAR(heldStart.y, expected[1], 1e-3);
    EXPECT_NEAR(heldStart.z, expected[2], 1e-3);
}
