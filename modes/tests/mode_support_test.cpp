// The modes' shared services that need no GL: the CPU pick and its index,
// the barycentric test, the arc-radius snap, label text, the axis snaps,
// the closest point on a segment and the overlay's dirty rectangles.
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "modes/mesh_pick_index.h"
#include "modes/mode_geometry.h"
#include "modes/mode_support.h"
#include "platform/win32/input.h"
#include "render/area_collector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cwchar>
#include <random>
#include <vector>

namespace
{

constexpr double kTop[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
constexpr float kNoCentre[3] = {0.0f, 0.0f, 0.0f};

// A triangle in the plane z with its normal facing +z (or -z when flipped).
void AddFlatTriangle(cMesh& mesh, float x0, float y0, float size, float z, bool flipped = false)
{
    const float a[3] = {x0, y0, z}, b[3] = {x0 + size, y0, z}, c[3] = {x0, y0 + size, z};
    const std::uint32_t ia = mesh.AddVertex(a), ib = mesh.AddVertex(b), ic = mesh.AddVertex(c);
    if (flipped)
        mesh.AddTriangle(ia, ic, ib);
    else
        mesh.AddTriangle(ia, ib, ic);
}

const cMeshTriangle* PickTriangle(const cMesh& mesh, float x, float y, const double view[12] = kTop,
                                  const float centre[3] = kNoCentre)
{
    const cMeshTriangle* hit = nullptr;
    const cVertex v = PickMeshPointUnderCursor(mesh, x, y, view, centre, &hit);
    return (v.flags & kPickedNothing) ? nullptr : hit;
}

} // namespace

TEST(PointInTriangle2D, EdgesCountAndDegenerateTrianglesDoNot)
{
    double u = 0.0, v = 0.0;
    EXPECT_TRUE(PointInTriangle2D(0.25, 0.25, 0, 0, 1, 0, 0, 1, &u, &v, kPickEpsilon));
    EXPECT_DOUBLE_EQ(u, 0.25);
    EXPECT_DOUBLE_EQ(v, 0.25);
    EXPECT_TRUE(PointInTriangle2D(0.5, 0.0, 0, 0, 1, 0, 0, 1, &u, &v, kPickEpsilon)) << "on an edge";
    EXPECT_TRUE(PointInTriangle2D(0.5, 0.5, 0, 0, 1, 0, 0, 1, &u, &v, kPickEpsilon)) << "on the long edge";
    EXPECT_TRUE(PointInTriangle2D(1.0, 0.0, 0, 0, 1, 0, 0, 1, &u, &v, kPickEpsilon)) << "on a corner";
    EXPECT_DOUBLE_EQ(u, 1.0);
    EXPECT_TRUE(PointInTriangle2D(0.0, 1.0, 0, 0, 1, 0, 0, 1, &u, &v, kPickEpsilon));
    EXPECT_DOUBLE_EQ(v, 1.0);
    EXPECT_FALSE(PointInTriangle2D(1.001, 0.0, 0, 0, 1, 0, 0, 1, &u, &v, kPickEpsilon));
    EXPECT_FALSE(PointInTriangle2D(0.0, 1.001, 0, 0, 1, 0, 0, 1, &u, &v, kPickEpsilon));
    EXPECT_FALSE(PointInTriangle2D(0.5, -1e-3, 0, 0, 1, 0, 0, 1, &u, &v, kPickEpsilon));
    EXPECT_FALSE(PointInTriangle2D(0.6, 0.6, 0, 0, 1, 0, 0, 1, &u, &v, kPickEpsilon));
    EXPECT_FALSE(PointInTriangle2D(0.5, 0.0, 0, 0, 1, 0, 2, 0, &u, &v, kPickEpsilon)) << "collinear corners";
}

TEST(PickMeshPointUnderCursor, TheNearestFacingVisibleTriangleWinsAndTiesKeepTheFirst)
{
    cMesh mesh;
    AddFlatTriangle(mesh, 0, 0, 10, 1.0f);       // 0: behind
    AddFlatTriangle(mesh, 0, 0, 10, 5.0f);       // 1: nearest
    AddFlatTriangle(mesh, 0, 0, 10, 5.0f);       // 2: same depth as 1
    AddFlatTriangle(mesh, 0, 0, 10, 9.0f, true); // 3: nearer but facing away
    mesh.Update();
    const cMeshTriangle* hit = nullptr;
    const cVertex v = PickMeshPointUnderCursor(mesh, 2.0f, 3.0f, kTop, kNoCentre, &hit);
    ASSERT_EQ(v.flags & kPickedNothing, 0u);
    EXPECT_EQ(hit, mesh.GetTriangle(1));
    EXPECT_FLOAT_EQ(v.x, 2.0f);
    EXPECT_FLOAT_EQ(v.y, 3.0f);
    EXPECT_FLOAT_EQ(v.z, 5.0f);
    EXPECT_FLOAT_EQ(v.nz, 1.0f);
    EXPECT_EQ(v.index, mesh.GetVertex(mesh.GetTriangle(1)->vertexIndex[0])->index);

    mesh.GetTriangle(1)->flags |= kTriangleFlagHidden;
    EXPECT_EQ(PickTriangle(mesh, 2.0f, 3.0f), mesh.GetTriangle(2)) << "hidden triangles are skipped";
    const cVertex miss = PickMeshPointUnderCursor(mesh, 20.0f, 20.0f, kTop, kNoCentre, nullptr);
    EXPECT_NE(miss.flags & kPickedNothing, 0u);
    EXPECT_EQ(miss.x, FLT_MAX);
}

TEST(PickMeshPointUnderCursor, AnEdgeOnTriangleIsStillTestedAndTheViewTransformApplies)
{
    cMesh mesh;
    // A triangle in the plane x = 3 seen along -x: its normal is exactly
    // perpendicular to the direction to the viewer.
    const float a[3] = {3, 0, 0}, b[3] = {3, 4, 0}, c[3] = {3, 0, 4};
    mesh.AddTriangle(mesh.AddVertex(a), mesh.AddVertex(b), mesh.AddVertex(c));
    mesh.Update();
    // A view whose rows are (0,1,0), (0,0,1), (1,0,0): screen x = y, screen
    // y = z, depth = x; the triangle then faces the viewer.
    const double side[12] = {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0};
    EXPECT_EQ(PickTriangle(mesh, 1.0f, 1.0f, side), mesh.GetTriangle(0));
    // Top view: normal . r2 = 0, so it counts as facing; but its projection
    // is a segment, which no cursor hits (a degenerate projection).
    EXPECT_EQ(PickTriangle(mesh, 3.0f, 1.0f), nullptr);
    // The scene centre and translation move the projection.
    const float centre[3] = {0.0f, 10.0f, 0.0f};
    const double shifted[12] = {0, 1, 0, 5, 0, 0, 1, 0, 1, 0, 0, 0};
    EXPECT_EQ(PickTriangle(mesh, 1.0f - 10.0f + 5.0f, 1.0f, shifted, centre), mesh.GetTriangle(0));
}

TEST(MeshPickIndex, GivesTheScanAnswersOnANoisyScanFromEveryDirection)
{
    // A bumpy height field of 40 x 40 cells far from the origin, with a
    // second sheet crossing it, hidden triangles and repeated depths.
    cMesh mesh;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
    const int n = 40;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
        {
            const float p[3] = {1000.0f + i + noise(random), -500.0f + j + noise(random),
                                200.0f + 2.0f * std::sin(i * 0.3f) * std::cos(j * 0.2f)};
            mesh.AddVertex(p);
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            const std::uint32_t v = std::uint32_t(j * (n + 1) + i);
            mesh.AddTriangle(v, v + 1, v + n + 2);
            mesh.AddTriangle(v, v + n + 2, v + n + 1);
        }
    for (int i = 0; i < 20; ++i)
        AddFlatTriangle(mesh, 1000.0f + 2 * i, -500.0f + i, 6.0f, 201.0f);
    mesh.Update();
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); i += 13)
        mesh.GetTriangle(i)->flags |= kTriangleFlagHidden;

    cMeshPickIndex index;
    index.Build(mesh);
    ASSERT_TRUE(index.IsBuiltFor(mesh));
    const float centre[3] = {1020.0f, -480.0f, 200.0f};
    std::uniform_real_distribution<double> angle(0.0, 6.283185307179586);
    std::uniform_real_distribution<float> cursor(-25.0f, 25.0f);
    int hits = 0;
    for (int view = 0; view < 12; ++view)
    {
        // A rotation from two random angles (tilted towards the viewer).
        const double a = angle(random), b = angle(random) * 0.2;
        const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
        const double m[12] = {ca, -sa, 0, 1.5, sa * cb, ca * cb, -sb, -2.0, sa * sb, ca * sb, cb, 0.0};
        for (int q = 0; q < 150; ++q)
        {
            const float x = cursor(random), y = cursor(random);
            const cMeshTriangle* scanHit = nullptr;
            const cMeshTriangle* indexHit = nullptr;
            const cVertex scan = PickMeshPointUnderCursor(mesh, x, y, m, centre, &scanHit);
            const cVertex fast = index.Pick(mesh, x, y, m, centre, &indexHit);
            ASSERT_EQ(scan.flags, fast.flags) << view << " " << q;
            ASSERT_EQ(scanHit, indexHit);
            ASSERT_EQ(scan.x, fast.x);
            ASSERT_EQ(scan.z, fast.z);
            hits += (scan.flags & kPickedNothing) == 0;
        }
    }
    EXPECT_GT(hits, 600) << "most queries land on the mesh";

    // Built on the shared pool, it answers as built here.
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    cMeshPickIndex shared;
    shared.Build(mesh);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    const double m[12] = {1, 0, 0, 0.5, 0, 0.9, -0.1, 0, 0, 0.1, 0.9, 0};
    for (int q = 0; q < 200; ++q)
    {
        const float x = cursor(random), y = cursor(random);
        const cMeshTriangle *a = nullptr, *b = nullptr;
        index.Pick(mesh, x, y, m, centre, &a);
        shared.Pick(mesh, x, y, m, centre, &b);
        ASSERT_EQ(a, b) << q;
    }

    // A mesh that changed since the build is scanned in full.
    const float extra[3] = {0, 0, 0};
    mesh.AddVertex(extra);
    EXPECT_FALSE(index.IsBuiltFor(mesh));
}

TEST(SnapArcRadius, KeepsTheChordAndRoundsTheRadiusToTheStep)
{
    win32::ResetInputState();
    stSketchSnap state;
    state.enabled = 1;
    const double frame[12] = {1, 0, 0, 100, 0, 1, 0, -50, 0, 0, 1, 7};
    // An arc of radius 10.4 about (100, -50, 7) in the frame's xy plane.
    const double r = 10.4;
    auto on = [&](double t, float out[3])
    {
        out[0] = float(100 + r * std::cos(t));
        out[1] = float(-50 + r * std::sin(t));
        out[2] = 7.0f;
    };
    float a[3], b[3], c[3];
    on(0.2, a);
    on(1.0, b);
    on(1.8, c);
    ASSERT_TRUE(SnapArcRadius(state, frame, a, b, c, 1.0));
    EXPECT_EQ(state.point.flags & 1u, 0u);
    // The new arc has radius 10 through a and c; the snapped point lies on it.
    const double half = r * std::sin(0.8); // half chord
    const double shift = r * std::cos(0.8) - std::sqrt(100.0 - half * half);
    const double cx = 100 + shift * std::cos(1.0), cy = -50 + shift * std::sin(1.0);
    EXPECT_NEAR(std::hypot(state.point.x - cx, state.point.y - cy), 10.0, 1e-4);
    EXPECT_NEAR(std::hypot(a[0] - cx, a[1] - cy), 10.0, 1e-4);
    EXPECT_NEAR(std::hypot(c[0] - cx, c[1] - cy), 10.0, 1e-4);
    EXPECT_FLOAT_EQ(state.point.z, 7.0f);

    // A step longer than the radius rounds down to 0, then up one step.
    ASSERT_TRUE(SnapArcRadius(state, frame, a, b, c, 15.0));
    // A step that is not positive has no multiples: refused, state untouched.
    const cVertex before = state.point;
    EXPECT_FALSE(SnapArcRadius(state, frame, a, b, c, 0.0));
    EXPECT_FALSE(SnapArcRadius(state, frame, a, b, c, -1.0));
    EXPECT_FALSE(SnapArcRadius(state, frame, a, b, c, std::nan("")));
    EXPECT_EQ(state.point.x, before.x);
    // Collinear points have no circle.
    const float p0[3] = {90, -50, 7}, p1[3] = {95, -50, 7}, p2[3] = {100, -50, 7};
    EXPECT_FALSE(SnapArcRadius(state, frame, p0, p1, p2, 1.0));
    // Alt inverts the setting.
    win32::InjectKey(VK_MENU, true);
    EXPECT_FALSE(SnapArcRadius(state, frame, a, b, c, 1.0));
    EXPECT_TRUE(IsSnapActive(0, 0));
    EXPECT_TRUE(IsSnapActive(1, 1));
    win32::InjectKey(VK_MENU, false);
    EXPECT_FALSE(IsSnapActive(0, 0));
    EXPECT_TRUE(IsSnapActive(1, 0));
}

TEST(FormatLabelText, TruncatesIntoItsThirtyTwoCharacters)
{
    wchar_t buffer[32];
    EXPECT_EQ(FormatLabelText(buffer, L"%.3f %ls", 1.5, L"mm"), 8);
    EXPECT_STREQ(buffer, L"1.500 mm");
    const int n = FormatLabelText(buffer, L"%g %ls", 1.0e300, L"millimetres of deviation from the surface");
    EXPECT_EQ(n, 31);
    EXPECT_EQ(std::wcslen(buffer), 31u);
    EXPECT_EQ(std::wcsncmp(buffer, L"1e+300 millimetres of deviation", 31), 0);
    EXPECT_EQ(FormatLabelText(buffer, nullptr), 0);
    EXPECT_STREQ(buffer, L"");
}

TEST(ModeGeometry, AxisSnapsAndTheClosestPointOnASegment)
{
    EXPECT_EQ(SnapDrawPointToAxis(POINT{10, 10}, POINT{110, 13}).y, 10) << "3 in 100 is within 4.4 degrees";
    EXPECT_EQ(SnapDrawPointToAxis(POINT{10, 10}, POINT{110, 13}).x, 110);
    EXPECT_EQ(SnapDrawPointToAxis(POINT{10, 10}, POINT{110, 20}).y, 20) << "10 in 100 is not";
    EXPECT_EQ(SnapDrawPointToAxis(POINT{10, 10}, POINT{13, -90}).x, 10);
    EXPECT_EQ(SnapScreenLineToAxis(POINT{10, 10}, POINT{110, 13}).y, 10);
    EXPECT_EQ(SnapScreenLineToAxis(POINT{10, 10}, POINT{110, 14}).y, 14) << "the line snap is stricter";
    EXPECT_EQ(SnapDrawPointToAxis(POINT{10, 10}, POINT{110, 14}).y, 10);
    EXPECT_EQ(SnapDrawPointToAxis(POINT{10, 10}, POINT{10, 10}).x, 10);

    const float a[3] = {1000, 0, 0}, b[3] = {1010, 0, 0};
    float closest[3];
    double distance = 0.0;
    const float beyond[3] = {1013, 4, 0};
    EXPECT_DOUBLE_EQ(ClosestPointOnSegment(beyond, a, b, closest, &distance), 1.3);
    EXPECT_EQ(closest[0], 1010.0f);
    EXPECT_DOUBLE_EQ(distance, 5.0);
    const float inside[3] = {1004, 3, 0};
    EXPECT_DOUBLE_EQ(ClosestPointOnSegment(inside, a, b, closest, &distance), 0.4);
    EXPECT_FLOAT_EQ(closest[0], 1004.0f);
    EXPECT_DOUBLE_EQ(distance, 3.0);
    const float before[3] = {997, 4, 0};
    EXPECT_DOUBLE_EQ(ClosestPointOnSegment(before, a, b, closest, &distance), -0.3);
    EXPECT_EQ(closest[0], 1000.0f);
    const float tiny[3] = {1000.0001f, 0, 0};
    EXPECT_EQ(ClosestPointOnSegment(beyond, a, tiny, closest, &distance), 0.0) << "a segment too short has no line";
    EXPECT_EQ(closest[0], 1000.0f);
    EXPECT_DOUBLE_EQ(distance, std::hypot(13.0, 4.0));

    // Off the xy plane: a segment along (2, -1, 2) / 3 from (900, -300, 250),
    // and a point 3 from it along (1, 2, 0) / sqrt 5.
    const float c[3] = {900, -300, 250}, e[3] = {906, -303, 256};
    const double across[3] = {1.0 / std::sqrt(5.0), 2.0 / std::sqrt(5.0), 0.0};
    float off[3];
    for (int k = 0; k < 3; ++k)
        off[k] = float(c[k] + 0.4 * (e[k] - c[k]) + 3.0 * across[k]);
    EXPECT_NEAR(ClosestPointOnSegment(off, c, e, closest, &distance), 0.4, 1e-6);
    EXPECT_NEAR(closest[0], 902.4f, 1e-4);
    EXPECT_NEAR(closest[1], -301.2f, 1e-4);
    EXPECT_NEAR(closest[2], 252.4f, 1e-4);
    EXPECT_NEAR(distance, 3.0, 1e-4);
}

TEST(AreaCollector, ARectangleOverlappingTwoMergesAllThreeIntoOneLiveNode)
{
    cAreaCollector collector;
    collector.AddRect(RECT{0, 0, 10, 10});   // A
    collector.AddRect(RECT{20, 0, 30, 10});  // B
    collector.AddRect(RECT{5, 2, 25, 8});    // C overlaps both
    EXPECT_EQ(collector.GetLiveCount(), 1u);
    int nodes = 0, live = 0;
    for (auto* node = collector.GetHead(); node; node = node->next, ++nodes)
        if (node->value.area)
        {
            ++live;
            EXPECT_EQ(node->value.x0, 0);
            EXPECT_EQ(node->value.x1, 30);
            EXPECT_EQ(node->value.area, 300u);
        }
    EXPECT_EQ(nodes, 2) << "no node added for C";
    EXPECT_EQ(live, 1);

    cAreaCollector touching;
    touching.AddRect(RECT{0, 0, 10, 10});
    touching.AddRect(RECT{10, 0, 20, 10});
    EXPECT_EQ(touching.GetLiveCount(), 2u) << "a shared edge is no overlap";
}

TEST(MeshPickByFour, FindsWhatMeasuringEveryTriangleInTurnFinds)
{
    // A creased sheet far out, seen turned, with slivers (one of no area,
    // two whose doubled area lies either side of the pick's tolerance), a
    // corner at NaN, hidden and back-facing triangles, and a count that
    // leaves triangles over after the last four.
    cMesh mesh;
    const int n = 60;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
        {
            const float p[3] = {-7300.0f + 0.25f * float(i), 5100.0f + 0.25f * float(j), 30.0f + 0.02f * float(i % 7)};
            mesh.AddVertex(p);
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            const std::uint32_t v = std::uint32_t(j * (n + 1) + i);
            mesh.AddTriangle(v, v + 1, v + n + 2);
            if ((i + j) % 11 == 0)
                mesh.AddTriangle(v, v + n + 1, v + n + 2); // facing away
            else
                mesh.AddTriangle(v, v + n + 2, v + n + 1);
        }
    const std::uint32_t first = mesh.GetVertexCount();
    const float sliver[6][3] = {{-7295.0f, 5105.0f, 30.5f}, {-7294.0f, 5105.0f, 30.5f},
                                {-7294.5f, 5105.0f, 30.5f}, {-7294.5f, 5105.0000005f, 30.5f},
                                {-7294.5f, 5105.002f, 30.5f}, {-7296.0f, 5104.0f, std::nanf("")}};
    for (const auto& p : sliver)
        mesh.AddVertex(p);
    mesh.AddTriangle(first, first + 1, first + 2);
    mesh.AddTriangle(first, first + 1, first + 3);
    mesh.AddTriangle(first, first + 1, first + 4);
    mesh.AddTriangle(first + 5, 0, 1);
    mesh.Update();
    for (std::uint32_t i = 3; i < mesh.GetTriangleCount(); i += 17)
        mesh.GetTriangle(i)->flags |= kTriangleFlagHidden;

    const float centre[3] = {-7292.0f, 5107.0f, 30.0f};
    const double a = 0.2, ca = std::cos(a), sa = std::sin(a);
    const double m[12] = {ca, 0, -sa, 0.7, 0, 1, 0, -0.3, sa, 0, ca, 0.0};
    // Cursors on the vertices, on the edges' middles and anywhere.
    std::vector<std::array<float, 2>> cursors;
    for (std::uint32_t v = 0; v < mesh.GetVertexCount(); v += 5)
    {
        const cVertex* p = mesh.GetVertex(v);
        const cVertex* q = mesh.GetVertex((v + 1) % mesh.GetVertexCount());
        const auto at = [&](const cVertex* c, int r)
        {
            const double d[3] = {double(c->x) - centre[0], double(c->y) - centre[1], double(c->z) - centre[2]};
            return m[4 * r] * d[0] + m[4 * r + 1] * d[1] + m[4 * r + 2] * d[2] + m[4 * r + 3];
        };
        cursors.push_back({float(at(p, 0)), float(at(p, 1))});
        cursors.push_back({float((at(p, 0) + at(q, 0)) / 2), float((at(p, 1) + at(q, 1)) / 2)});
    }
    std::mt19937 random(5);
    std::uniform_real_distribution<float> anywhere(-9.0f, 9.0f);
    for (int k = 0; k < 200; ++k)
        cursors.push_back({anywhere(random), anywhere(random)});

    std::size_t hits = 0;
    for (const auto& [x, y] : cursors)
    {
        const cMeshTriangle* expected = nullptr;
        float point[3] = {0, 0, 0};
        double deepest = -FLT_MAX;
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        {
            float p[3];
            double depth = 0.0;
            if (PickTrianglePoint(mesh, *mesh.GetTriangle(i), x, y, m, centre, p, &depth) && depth > deepest)
            {
                deepest = depth;
                expected = mesh.GetTriangle(i);
                std::copy_n(p, 3, point);
            }
        }
        const cMeshTriangle* found = nullptr;
        const cVertex picked = PickMeshPointUnderCursor(mesh, x, y, m, centre, &found);
        ASSERT_EQ(found, expected) << x << " " << y;
        hits += expected != nullptr;
        if (expected)
        {
            ASSERT_EQ(picked.x, point[0]);
            ASSERT_EQ(picked.y, point[1]);
            ASSERT_EQ(picked.z, point[2]);
        }
    }
    EXPECT_GT(hits, cursors.size() / 2);
}

TEST(MeshPickByFour, CursorsOnTheBordersOfTheTolerancePickWhatMeasuringEveryTriangleFinds)
{
    // Separate triangles of many shapes facing the viewer, as big as their
    // distance from the view's centre (so that float steps of the cursor
    // are finer than the tolerance), and cursors a few float steps either
    // side of where u, v or their sum reaches the pick's tolerance on one of
    // them. They lie in the gaps of a fan, none in front of another.
    cMesh mesh;
    std::mt19937 random(17);
    std::uniform_real_distribution<double> jitter(0.0, 1.0);
    const double kTurn = 6.283185307179586;
    for (int wedge = 0; wedge < 64; ++wedge)
        for (int band = 0; band < 4; ++band)
        {
            const double a0 = kTurn * wedge / 64.0, span = kTurn / 64.0 * 0.9;
            const double r0 = 0.2 + 0.25 * band, r1 = r0 + 0.2;
            const double corner[3][2] = {{r0 + 0.1 * jitter(random), a0},
                                         {r1, a0 + span * jitter(random)},
                                         {r0 + 0.2 * jitter(random), a0 + span}};
            const std::uint32_t first = mesh.GetVertexCount();
            for (const auto& [r, a] : corner)
            {
                const float q[3] = {float(r * std::cos(a)), float(r * std::sin(a)), float(band)};
                mesh.AddVertex(q);
            }
            // Counter-clockwise, so that it faces the viewer.
            const cVertex* p = mesh.GetVertex(first);
            const cVertex* q = mesh.GetVertex(first + 1);
            const cVertex* t = mesh.GetVertex(first + 2);
            if ((q->x - p->x) * (t->y - p->y) - (q->y - p->y) * (t->x - p->x) > 0.0f)
                mesh.AddTriangle(first, first + 1, first + 2);
            else
                mesh.AddTriangle(first, first + 2, first + 1);
        }
    mesh.Update();
    const double m[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    const float centre[3] = {0.0f, 0.0f, 0.0f};
    std::vector<std::array<float, 2>> cursors;
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
    {
        const cMeshTriangle& t = *mesh.GetTriangle(i);
        const cVertex* a = mesh.GetVertex(t.vertexIndex[0]);
        const cVertex* b = mesh.GetVertex(t.vertexIndex[1]);
        const cVertex* c = mesh.GetVertex(t.vertexIndex[2]);
        const double e = kPickEpsilon, along = 0.37;
        // (u, v) on the borders u = -e, v = -e and u + v = 1 + e.
        const double borders[3][2] = {{-e, along}, {along, -e}, {along, 1.0 + e - along}};
        for (const auto& [u, v] : borders)
        {
            const float x = float(a->x + u * (double(b->x) - a->x) + v * (double(c->x) - a->x));
            const float y = float(a->y + u * (double(b->y) - a->y) + v * (double(c->y) - a->y));
            for (int dx = -2; dx <= 2; ++dx)
                for (int dy = -2; dy <= 2; ++dy)
                {
                    float px = x, py = y;
                    for (int n = 0; n < std::abs(dx); ++n)
                        px = std::nextafter(px, dx > 0 ? FLT_MAX : -FLT_MAX);
                    for (int n = 0; n < std::abs(dy); ++n)
                        py = std::nextafter(py, dy > 0 ? FLT_MAX : -FLT_MAX);
                    cursors.push_back({px, py});
                }
        }
    }
    std::size_t hits = 0;
    for (const auto& [x, y] : cursors)
    {
        const cMeshTriangle* expected = nullptr;
        double deepest = -FLT_MAX;
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        {
            float p[3];
            double depth = 0.0;
            if (PickTrianglePoint(mesh, *mesh.GetTriangle(i), x, y, m, centre, p, &depth) && depth > deepest)
            {
                deepest = depth;
                expected = mesh.GetTriangle(i);
            }
        }
        const cMeshTriangle* found = nullptr;
        PickMeshPointUnderCursor(mesh, x, y, m, centre, &found);
        ASSERT_EQ(found, expected) << x << " " << y;
        hits += expected != nullptr;
    }
    EXPECT_GT(hits, cursors.size() / 4);
    EXPECT_LT(hits, cursors.size());
}
