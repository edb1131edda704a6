#include "modes/curve_network_cursor.h"

#include "core/frame_math.h"
#include "core/mesh.h"
#include "modes/mesh_sample_projection.h"
#include "modes/mode_support.h"
#include "shapes/spline_section_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

namespace
{

using Spline = ST_TSplineCurve<Dezaz_Wire>;

std::unique_ptr<Spline> MakeSpline(std::initializer_list<std::array<float, 3>> points)
{
    auto curve = std::make_unique<Spline>();
    double id[12];
    MakeIdentity3x4(id);
    tPolyline<cVertex> polyline;
    for (const auto& p : points)
        polyline.AddFloatPoint(p.data());
    EXPECT_TRUE(curve->FitToPolyline(id, polyline, 0.0, 0));
    return curve;
}

// A top view (x right, y up) of a scene centred at c.
constexpr double kTop[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
constexpr float kCentre[3] = {500.0f, 600.0f, 50.0f};

TEST(CurveNetworkCursor, TheNearestSegmentOnTheScreenWinsAndTheFirstOnTies)
{
    // Nodes seen at view-plane (0,0), (10,0), (10,10), deep in z.
    auto curve = MakeSpline({{500, 600, 80}, {510, 600, 20}, {510, 610, 90}});
    EXPECT_EQ(FindSegmentAtCursor(*curve, 5.0f, 1.0f, kTop, kCentre), 0);
    EXPECT_EQ(FindSegmentAtCursor(*curve, 9.0f, 6.0f, kTop, kCentre), 1);
    // At the shared node both are at distance 0: the first wins.
    EXPECT_EQ(FindSegmentAtCursor(*curve, 10.0f, 0.0f, kTop, kCentre), 0);
    // A side view (rows x, z and -y): the nodes are now seen by their heights.
    const double side[12] = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0};
    EXPECT_EQ(FindSegmentAtCursor(*curve, 10.0f, 40.0f, side, kCentre), 1);
    Spline empty;
    EXPECT_EQ(FindSegmentAtCursor(empty, 0.0f, 0.0f, kTop, kCentre), -1);
}

TEST(CurveNetworkCursor, ThePointOnACurveFollowsTheCursorAlongItsScreenImage)
{
    // A straight curve rising in z: the point under the cursor is where the
    // cursor's foot falls on its image, at that height.
    auto curve = MakeSpline({{500, 600, 0}, {520, 600, 10}});
    const cVertex p = PointOnCurveAtCursor(*curve, 5.0f, 3.0f, kTop, kCentre, 0.01);
    EXPECT_FALSE(p.flags & kPickedNothing);
    EXPECT_NEAR(p.x, 505.0f, 1e-3);
    EXPECT_NEAR(p.y, 600.0f, 1e-3);
    EXPECT_NEAR(p.z, 2.5f, 1e-3);
    // Past the end: the end itself.
    const cVertex end = PointOnCurveAtCursor(*curve, 40.0f, -2.0f, kTop, kCentre, 0.01);
    EXPECT_NEAR(end.x, 520.0f, 1e-3);
    // A curve seen end-on has no screen length: no point.
    const double along[12] = {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0};
    auto vertical = MakeSpline({{500, 600, 0}, {510, 600, 0}});
    EXPECT_TRUE(PointOnCurveAtCursor(*vertical, 0.0f, 0.0f, along, kCentre, 0.01).flags & kPickedNothing);
    Spline empty;
    EXPECT_TRUE(IsFloatUnset(PointOnCurveAtCursor(empty, 0.0f, 0.0f, kTop, kCentre, 0.01).x));
    // A curved spline: the point found lies on the curve.
    auto bent = MakeSpline({{500, 600, 0}, {510, 608, 3}, {520, 600, 6}});
    const cVertex q = PointOnCurveAtCursor(*bent, 10.0f, 12.0f, kTop, kCentre, 0.001);
    EXPECT_LT(bent->GetWire()->GetDistanceToPoint({q.x, q.y, q.z}), 0.01);
    EXPECT_NEAR(q.x, 510.0f, 0.2);
}

TEST(CurveNetworkCursor, TheMeshPointUnderTheCursorIsTheScanAnswer)
{
    cMesh mesh;
    std::mt19937 random(3);
    std::uniform_real_distribution<float> noise(-0.1f, 0.1f);
    for (int j = 0; j <= 20; ++j)
        for (int i = 0; i <= 20; ++i)
        {
            const float p[3] = {490.0f + i, 590.0f + j, 50.0f + noise(random)};
            mesh.AddVertex(p);
        }
    for (int j = 0; j < 20; ++j)
        for (int i = 0; i < 20; ++i)
        {
            const std::uint32_t v = std::uint32_t(j * 21 + i);
            mesh.AddTriangle(v, v + 1, v + 22);
            mesh.AddTriangle(v, v + 22, v + 21);
        }
    mesh.Update();
    cMeshSampleProjector projector;
    for (int q = 0; q < 50; ++q)
    {
        const float x = -12.0f + q * 0.5f, y = 7.3f - q * 0.3f;
        const cVertex expected = PickMeshPointUnderCursor(mesh, x, y, kTop, kCentre);
        const cVertex found = MeshPointAtCursor(projector, &mesh, x, y, kTop, kCentre);
        EXPECT_EQ(found.flags, expected.flags);
        EXPECT_EQ(found.x, expected.x);
        EXPECT_EQ(found.z, expected.z);
    }
    EXPECT_TRUE(MeshPointAtCursor(projector, nullptr, 0.0f, 0.0f, kTop, kCentre).flags & kPickedNothing);
}

} // namespace
