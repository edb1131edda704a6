// The profile editing mode on a real shapes view over a revolved shape:
// lines, arcs and free-form curves drawn by clicks, snapping and stepping,
// picking and dragging through the id image, delete, undo and typed values.
#include "profile_edit_fixture.h"

#include "shapes/arc_section_curve.h"
#include "shapes/sketch_curve.h"
#include "shapes/tests/support/memory_stream.h"

#include <cmath>
#include <vector>

using namespace profile_edit_test;

namespace
{

// A knob turned about the sketch's y axis: radius 20, height 15, a fillet
// of radius 3 at the bottom edge and a 2 x 2 chamfer at the top edge.
struct KnobProfile
{
    static constexpr double kRadius = 20.0, kHeight = 15.0, kFillet = 3.0, kChamfer = 2.0;
    // Distance of (r, h) from the true profile (the surface of revolution).
    static double Distance(double r, double h)
    {
        auto segment = [](double px, double py, double ax, double ay, double bx, double by) {
            const double dx = bx - ax, dy = by - ay;
            const double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
            return std::hypot(px - ax - t * dx, py - ay - t * dy);
        };
        double d = segment(r, h, 0, 0, kRadius - kFillet, 0);
        d = std::min(d, segment(r, h, kRadius, kFillet, kRadius, kHeight - kChamfer));
        d = std::min(d, segment(r, h, kRadius, kHeight - kChamfer, kRadius - kChamfer, kHeight));
        d = std::min(d, segment(r, h, kRadius - kChamfer, kHeight, 0, kHeight));
        const double a = std::atan2(h - kFillet, r - (kRadius - kFillet));
        if (a <= 0.0 && a >= -M_PI / 2)
            d = std::min(d, std::fabs(std::hypot(r - (kRadius - kFillet), h - kFillet) - kFillet));
        return d;
    }
};

} // namespace

TEST_F(ProfileEdit, StartsWithAnEmptySketchAndTheSelectTool)
{
    ASSERT_NE(Sketch(), nullptr);
    EXPECT_EQ(Sketch()->GetClassGuid(), CLSID_ST_TSketch);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 0u);
    // A shape without a profile is sketched on the world's XY plane.
    EXPECT_EQ(std::vector<double>(Sketch()->frame, Sketch()->frame + 12),
              (std::vector<double>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(mode->GetCurrentTool(), kProfileToolSelect);
    EXPECT_EQ(panel.shownTool, kProfileToolSelect);
    EXPECT_EQ(mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), 0);
    Command(32821);
    EXPECT_EQ(panel.shownTool, kProfileToolLine);
    EXPECT_EQ(mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), int(kCursorSketchTool));
}

TEST_F(ProfileEdit, TwoClicksMakeALineThroughTheClickedPoints)
{
    Command(32824); // snapping off
    Command(32821);
    const POINT a{60, 120}, b{190, 70};
    Click(a);
    EXPECT_EQ(mode->GetClickCount(), 1u);
    Click(b);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    EXPECT_EQ(mode->GetClickCount(), 0u);
    EXPECT_EQ(mode->GetElement(), nullptr);
    float la[3], lb[3];
    Local(a, la);
    Local(b, lb);
    const tPolyline<cVertex>& points = PointsOf(0);
    ASSERT_EQ(points.GetVertexCount(), 2u);
    EXPECT_NEAR(points.GetVertex(0)->x, la[0], 1e-3);
    EXPECT_NEAR(points.GetVertex(1)->y, lb[1], 1e-3);
    // Committed: selected, its length shown and the edit focused for typing.
    EXPECT_EQ(Sketch()->GetSegment(0)->selected, 1);
    EXPECT_TRUE(panel.distance);
    EXPECT_NEAR(panel.value, std::hypot(lb[0] - la[0], lb[1] - la[1]), 1e-3);
    EXPECT_EQ(panel.focused, 1);
    EXPECT_EQ(panel.changes, 1);
    // Both ends are open.
    EXPECT_NE(points.GetVertex(0)->flags & kSketchPointOpenEnd, 0u);
    // The clicked pixel comes back from the sketch point.
    const float world[3] = {la[0], la[1], 0.0f};
    const POINT back = testview::ScreenOf(view, world);
    EXPECT_NEAR(back.x, a.x, 1);
    EXPECT_NEAR(back.y, a.y, 1);
}

TEST_F(ProfileEdit, SnappingStepsTheLengthAndCtrlTheAngle)
{
    Command(32823);
    Command(32821);
    panel.distanceIndex = 3; // 0.01 (the view spans a few units)
    const POINT a{40, 150};
    Click(a);
    Click(POINT{200, 112});
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    const tPolyline<cVertex>& p = PointsOf(0);
    const double length = PointDistance(p.GetVertex(0)->Position(), p.GetVertex(1)->Position());
    EXPECT_NEAR(length * 100, std::round(length * 100), 1e-2) << "a whole number of steps";
    float la[3], lb[3];
    Local(a, la);
    Local(POINT{200, 112}, lb);
    const double unstepped = std::hypot(lb[0] - la[0], lb[1] - la[1]);
    EXPECT_LE(length, unstepped + 1e-5);
    EXPECT_GT(length, unstepped - 0.01);

    // Ctrl: the angle to the x axis becomes a multiple of 10 degrees.
    panel.angleIndex = 0;
    win32::InjectKey(VK_CONTROL, true);
    const POINT c{50, 40};
    Click(c);
    Click(POINT{c.x + 90, c.y + 70}); // about 38 degrees below the x axis
    win32::InjectKey(VK_CONTROL, false);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
    const tPolyline<cVertex>& q = PointsOf(1);
    const double degrees = FoldedLineAngle(q.GetVertex(0)->Position(), q.GetVertex(1)->Position()) * 180 / M_PI;
    EXPECT_NEAR(degrees, 30.0, 1e-3);
    EXPECT_LT(q.GetVertex(1)->y, q.GetVertex(0)->y) << "the quadrant stays";
}

TEST_F(ProfileEdit, ANewLineSnapsOntoTheEndOfTheLastAndClosesIt)
{
    Command(32824);
    Command(32821);
    Click(POINT{60, 120});
    Click(POINT{150, 120});
    Command(32823);
    // Four pixels off the end: the snap puts the start exactly on it.
    panel.distanceIndex = 4;
    Click(POINT{154, 116});
    Click(POINT{154, 40});
    ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
    const cVertex& end = *PointsOf(0).GetVertex(1);
    const cVertex& start = *PointsOf(1).GetVertex(0);
    EXPECT_EQ(start.x, end.x);
    EXPECT_EQ(start.y, end.y);
    EXPECT_EQ(end.flags & kSketchPointOpenEnd, 0u);
    EXPECT_EQ(start.flags & kSketchPointOpenEnd, 0u);
}

TEST_F(ProfileEdit, ArcOfThreeClicksAndRadiusTyped)
{
    Command(32824);
    Command(32822);
    Click(POINT{60, 140});
    Click(POINT{200, 140});
    Click(POINT{130, 80});
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    EXPECT_EQ(Sketch()->GetSegment(0)->GetClassGuid(), CLSID_ST_TArcCurve);
    EXPECT_FALSE(panel.distance);
    const double radius = panel.value;
    EXPECT_GT(radius, 0.0);
    // The typed radius goes to the (selected) arc; an impossible one is refused.
    panel.typed = radius * 1.5;
    Command(32878);
    auto* arc = static_cast<ST_TArcCurve<Dezaz_Wire>*>(Sketch()->GetSegment(0));
    EXPECT_NEAR(arc->Radius(), radius * 1.5, 1e-3 * radius);
    panel.typed = radius * 0.1;
    Command(32878);
    EXPECT_NEAR(arc->Radius(), radius * 1.5, 1e-3 * radius);
    EXPECT_NEAR(panel.value, radius * 1.5, 1e-3 * radius);
    ASSERT_EQ(panel.undo.size(), 2u) << "the arc and the one applied value";
}

TEST_F(ProfileEdit, FreeFormCurveFinishesOnDoubleClickWithoutTheDuplicate)
{
    Command(32824);
    Command(32826);
    Click(POINT{40, 150});
    Click(POINT{90, 100});
    Click(POINT{140, 130});
    // The second press on the same pixel arrives as a double click.
    Click(POINT{190, 60});
    Click(POINT{190, 60});
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    EXPECT_EQ(Sketch()->GetSegment(0)->GetClassGuid(), CLSID_ST_TSplineCurve);
    EXPECT_EQ(PointsOf(0).GetVertexCount(), 4u);
    // Escape while drawing drops the element and keeps the mode.
    Click(POINT{50, 50});
    ASSERT_NE(mode->GetElement(), nullptr);
    mode->OnEscape(view);
    EXPECT_EQ(mode->GetElement(), nullptr);
    EXPECT_EQ(mode->GetCurrentTool(), kProfileToolSelect);
    EXPECT_EQ(view->GetActiveMode(), mode);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 1u);
}

TEST_F(ProfileEdit, DragDeleteAndUndoRestoreExactly)
{
    Command(32824);
    Command(32821);
    Click(POINT{60, 120});
    Click(POINT{150, 120});
    // Beside the end (clicks on the same pixel would make a double click):
    // the point snap puts the start on it.
    Command(32823);
    panel.distanceIndex = 4;
    Click(POINT{153, 117});
    Command(32824);
    Click(POINT{150, 50});
    ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
    auto snapshot = [&]() {
        std::vector<float> xy;
        for (std::uint32_t i = 0; i < Sketch()->GetSegmentCount(); ++i)
            for (const cVertex& v : PointsOf(i).vertices)
            {
                xy.push_back(v.x);
                xy.push_back(v.y);
            }
        return xy;
    };
    const std::vector<float> before = snapshot();
    Command(32825);
    view->Redraw(kFullRedraw);
    ASSERT_TRUE(mode->IsPickImageValid());
    // Hover the first line's start point and drag it.
    float start[3];
    std::copy(PointsOf(0).GetVertex(0)->Position(), PointsOf(0).GetVertex(0)->Position() + 3, start);
    const POINT at = testview::ScreenOf(view, start);
    testview::Move(view, at);
    ASSERT_GE(mode->GetHoverIndex(), 0);
    EXPECT_EQ(mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), int(kCursorOverSketch));
    testview::Press(view, WM_LBUTTONDOWN, at);
    ASSERT_TRUE(mode->IsDraggingSketch());
    testview::Move(view, POINT{at.x - 20, at.y + 30});
    testview::Press(view, WM_LBUTTONUP, POINT{at.x - 20, at.y + 30});
    EXPECT_FALSE(mode->IsDraggingSketch());
    const std::vector<float> dragged = snapshot();
    EXPECT_NE(dragged, before);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 2u);
    // The dragged point stays selected: Delete removes its line, with an undo state.
    const std::size_t states = panel.undo.size();
    Command(40005);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 1u);
    EXPECT_EQ(panel.undo.size(), states + 1);
    Command(40009);
    EXPECT_EQ(snapshot(), dragged);
    Command(40009);
    EXPECT_EQ(snapshot(), before);
    testview::Snapshot(view, "profile_edit_sketch");
}

TEST_F(ProfileEdit, SnapGuidesAreDrawn)
{
    Command(32824);
    Command(32821);
    Click(POINT{60, 120});
    Click(POINT{150, 120});
    Command(32823);
    Command(32821);
    Click(POINT{100, 40});
    // Near the vertical through the first line's end: a kind 6 alignment, drawn.
    testview::Move(view, POINT{151, 70});
    EXPECT_EQ(mode->GetSnap().kind, kSketchSnapLine);
    view->Redraw(kFullRedraw);
    const wgl::PixelImage frame = testview::Frame(view);
    // The stippled guide runs from the snapped point down to the end (x = 150).
    int bright = 0;
    for (int y = 75; y < 115; ++y)
        for (int x = 148; x <= 152; ++x)
        {
            const std::uint32_t p = frame.At(x, y);
            const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            if (r > 200 && g > 200 && b > 200)
                ++bright;
        }
    EXPECT_GT(bright, 10);
    testview::Snapshot(view, "profile_edit_snap_guide");
}

TEST_F(ProfileEdit, TheDrawnProfileSurvivesSaveAndReopen)
{
    Command(32824);
    Command(32821);
    Click(POINT{60, 140});
    Click(POINT{60, 60});
    Command(32822);
    Click(POINT{70, 60});
    Click(POINT{180, 60});
    Click(POINT{125, 30});
    Command(32826);
    Click(POINT{190, 70});
    Click(POINT{210, 110});
    Click(POINT{200, 150});
    Click(POINT{200, 150});
    ASSERT_EQ(Sketch()->GetSegmentCount(), 3u);

    cTestMemoryStream out;
    ASSERT_TRUE(shape.Write(&out));
    Dezaz_RevolvedObject reopened;
    cTestMemoryStream in(out.bytes);
    ASSERT_TRUE(reopened.Read(&in));
    ST_ISectionCurve* copy = reopened.GetGeometry()->GetProfileCurve();
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetClassGuid(), CLSID_ST_TSketch);
    ASSERT_EQ(copy->GetSegmentCount(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i)
    {
        ST_ISectionCurve* a = Sketch()->GetSegment(i);
        ST_ISectionCurve* b = copy->GetSegment(i);
        ASSERT_EQ(a->GetClassGuid(), b->GetClassGuid());
        const tPolyline<cVertex>& pa = *SketchPointsOf(*a, false);
        const tPolyline<cVertex>& pb = *SketchPointsOf(*b, false);
        ASSERT_EQ(pa.GetVertexCount(), pb.GetVertexCount()) << "curve " << i;
        for (std::uint32_t k = 0; k < pa.GetVertexCount(); ++k)
        {
            EXPECT_FLOAT_EQ(pa.GetVertex(k)->x, pb.GetVertex(k)->x);
            EXPECT_FLOAT_EQ(pa.GetVertex(k)->y, pb.GetVertex(k)->y);
        }
        for (double t : {0.0, 0.3, 0.7, 1.0})
        {
            t3DPoint<double> qa, qb;
            ASSERT_TRUE(a->GetWire()->EvaluateAtFraction(t, &qa, nullptr));
            ASSERT_TRUE(b->GetWire()->EvaluateAtFraction(t, &qb, nullptr));
            EXPECT_NEAR(qa.x, qb.x, 1e-9);
            EXPECT_NEAR(qa.y, qb.y, 1e-9);
        }
    }
}

TEST_F(ProfileEdit, ASketchedKnobProfileRevolvesOntoTheTruePart)
{
    // A bigger scene, so that the knob's profile fills the view.
    const float centre[3] = {10.0f, 7.5f, 0.0f}, half[3] = {14.0f, 11.0f, 1.0f};
    fixture.scene->AddObject(testview::MakeBoxObject(centre, half));
    view->ZoomAll();
    view->Redraw(kFullRedraw);
    using K = KnobProfile;
    auto pixel = [&](double x, double y) {
        const float p[3] = {float(x), float(y), 0.0f};
        return testview::ScreenOf(view, p);
    };
    panel.distanceIndex = 4;
    panel.angleIndex = 4;
    Command(32823);
    Command(32821); // bottom, side, chamfer and top, each end snapped onto the last
    const double corners[][2] = {{0, 0}, {K::kRadius - K::kFillet, 0}};
    Click(pixel(corners[0][0], corners[0][1]));
    Click(pixel(corners[1][0], corners[1][1]));
    const double chain[][2] = {{K::kRadius, K::kFillet},
                               {K::kRadius, K::kHeight - K::kChamfer},
                               {K::kRadius - K::kChamfer, K::kHeight},
                               {0, K::kHeight}};
    for (int i = 0; i + 1 < 4; ++i)
    {
        // A start beside the last end (the same pixel again would be a
        // double click): the point snap puts it on that end.
        POINT start = pixel(chain[i][0], chain[i][1]);
        if (i > 0)
            start = POINT{start.x - 3, start.y + 3};
        Click(start);
        Click(pixel(chain[i + 1][0], chain[i + 1][1]));
    }
    // The fillet: from the bottom line's end to the side's start, through
    // its middle.
    Command(32822);
    Click(pixel(K::kRadius - K::kFillet, 0));
    Click(pixel(K::kRadius, K::kFillet));
    const double m = K::kFillet * std::sqrt(0.5);
    Click(pixel(K::kRadius - K::kFillet + m, K::kFillet - m));
    ASSERT_EQ(Sketch()->GetSegmentCount(), 5u);
    MarkOpenSketchEnds(Sketch());
    int openEnds = 0;
    for (std::uint32_t i = 0; i < 5; ++i)
        for (const cVertex& v : PointsOf(i).vertices)
            openEnds += (v.flags & kSketchPointOpenEnd) ? 1 : 0;
    EXPECT_EQ(openEnds, 2) << "a chain from the axis back to the axis";

    // Noisy scan points of the true knob, turned about the axis at several
    // angles: their distance from the sketched profile (the revolved
    // surface's meridian) stays within the noise and one pixel.
    const double onePixel = PixelsToWorldLength(view, 1);
    const double noise = 0.05;
    std::uint32_t seed = 12345;
    auto random = [&]() {
        seed = seed * 1664525u + 1013904223u;
        return double(seed >> 8) / double(1u << 24) - 0.5;
    };
    tPolyline<cVertex> samples;
    for (std::uint32_t i = 0; i < 5; ++i)
    {
        const ST_IWire* wire = Sketch()->GetSegment(i)->GetWire();
        for (int k = 0; k <= 200; ++k)
        {
            t3DPoint<double> p;
            ASSERT_TRUE(wire->EvaluateAtFraction(k / 200.0, &p, nullptr));
            cVertex v;
            v.x = float(p.x);
            v.y = float(p.y);
            samples.AddVertex(v);
        }
    }
    double sum = 0.0, worst = 0.0;
    int n = 0;
    for (int turn = 0; turn < 6; ++turn)
    {
        const double angle = turn * M_PI / 3.0;
        for (int k = 0; k < 300; ++k)
        {
            // A point of the true profile, revolved by `angle` and jittered.
            const double t = k / 299.0;
            double r, h;
            const double perimeter[5] = {K::kRadius - K::kFillet, K::kFillet * M_PI / 2, K::kHeight - K::kFillet - K::kChamfer,
                                         K::kChamfer * std::sqrt(2.0), K::kRadius - K::kChamfer};
            double s = t * (perimeter[0] + perimeter[1] + perimeter[2] + perimeter[3] + perimeter[4]);
            if (s < perimeter[0]) { r = s; h = 0; }
            else if ((s -= perimeter[0]) < perimeter[1]) { const double a = -M_PI / 2 + s / K::kFillet; r = K::kRadius - K::kFillet + K::kFillet * std::cos(a); h = K::kFillet + K::kFillet * std::sin(a); }
            else if ((s -= perimeter[1]) < perimeter[2]) { r = K::kRadius; h = K::kFillet + s; }
            else if ((s -= perimeter[2]) < perimeter[3]) { r = K::kRadius - s / std::sqrt(2.0); h = K::kHeight - K::kChamfer + s / std::sqrt(2.0); }
            else { s -= perimeter[3]; r = K::kRadius - K::kChamfer - s; h = K::kHeight; }
            const double world[3] = {r * std::cos(angle) + noise * random(), h + noise * random(), r * std::sin(angle) + noise * random()};
            ASSERT_LT(K::Distance(std::hypot(world[0], world[2]), world[1]), 2 * noise);
            // Its distance to the sketched meridian.
            const double pr = std::hypot(world[0], world[2]), ph = world[1];
            double d = FLT_MAX;
            for (const cVertex& v : samples.vertices)
                d = std::min(d, std::hypot(pr - v.x, ph - v.y));
            sum += d * d;
            worst = std::max(worst, d);
            ++n;
        }
    }
    const double rms = std::sqrt(sum / n);
    EXPECT_LT(rms, noise + onePixel) << "one pixel is " << onePixel;
    EXPECT_LT(worst, 3 * noise + 2 * onePixel);
    testview::Snapshot(view, "profile_edit_knob");
}

namespace
{

// A knob's revolved shape with its axis upright (world z) through
// (40, -25, 12): the profile lies in the meridian plane y = -25, its x along
// world x and its y (the axis) along world z.
constexpr double kMeridianFrame[12] = {1, 0, 0, 40, 0, 0, -1, -25, 0, 1, 0, 12};

} // namespace

TEST_F(ProfileEdit, TheViewTurnsToFaceAnUprightSketchPlane)
{
    std::copy(kMeridianFrame, kMeridianFrame + 12, Sketch()->frame);
    const float centre[3] = {48.0f, -25.0f, 20.0f}, half[3] = {12.0f, 6.0f, 10.0f};
    fixture.scene->AddObject(testview::MakeBoxObject(centre, half));
    // The dialog's sketch view from the top sees the plane edge-on: no click
    // can reach it.
    view->SetStandardView(kTopView);
    float local[3];
    EXPECT_FALSE(ScreenToSketchPoint(view, POINT{kWidth / 2, kHeight / 2}, Sketch()->frame, local));

    // Back to the sketch from the Shape tab's mode, as a tab change does.
    ASSERT_TRUE(view->StartToolMode(kModeExtendSurface, nullptr));
    ASSERT_TRUE(view->StartToolMode(kModeEditProfile, nullptr));
    mode = dynamic_cast<CUIM_EditProfile*>(view->GetActiveMode());
    ASSERT_NE(mode, nullptr);
    // Face-on, the sketch's x to the right, its y (the axis) up.
    const double* t = view->GetCamera()->GetViewTransform();
    const double rows[3][3] = {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(t[4 * r + c], rows[r][c], 1e-9) << r << "," << c;

    // A line drawn up the screen is a line up the axis, in the meridian plane.
    Command(32824);
    Command(32821);
    const POINT a{150, 160}, b{150, 40};
    Click(a);
    testview::Move(view, b);
    view->Redraw(kFullRedraw);
    const wgl::PixelImage rubber = testview::Frame(view);
    testview::Snapshot(view, "profile_edit_upright_line");
    Click(b);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    const tPolyline<cVertex>& points = PointsOf(0);
    ASSERT_EQ(points.GetVertexCount(), 2u);
    const cVertex& p0 = *points.GetVertex(0);
    const cVertex& p1 = *points.GetVertex(1);
    const double onePixel = PixelsToWorldLength(view, 1);
    EXPECT_NEAR(p0.x, p1.x, onePixel);
    EXPECT_NEAR(p1.y - p0.y, 120 * onePixel, 2 * onePixel);
    for (const cVertex* v : {&p0, &p1})
    {
        const float world[3] = {float(40 + v->x), -25.0f, float(12 + v->y)};
        const POINT back = testview::ScreenOf(view, world);
        EXPECT_NEAR(back.x, a.x, 1);
        EXPECT_NEAR(back.y, v == &p0 ? a.y : b.y, 1);
    }
    // The line in progress was drawn where the mouse went: its yellow
    // (smoothed into the grey and green behind it: red well above blue)
    // fills the column between the two clicks.
    int drawn = 0;
    for (int y = b.y + 5; y < a.y - 5; ++y)
    {
        bool found = false;
        for (int x = a.x - 2; x <= a.x + 2 && !found; ++x)
        {
            const std::uint32_t p = rubber.At(x, y);
            const int red = (p >> 16) & 255, green = (p >> 8) & 255, blue = p & 255;
            found = red - blue > 80 && green > 150;
        }
        drawn += found ? 1 : 0;
    }
    EXPECT_GE(drawn, (a.y - b.y - 10) * 9 / 10);

    // Once the view faces the plane a new start of the mode leaves the
    // user's zoom alone.
    testview::Wheel(view, POINT{kWidth / 2, kHeight / 2}, 120);
    std::vector<double> zoomed(t, t + 12);
    float boxMin[3], boxMax[3];
    view->GetCamera()->GetSceneBox(boxMin, boxMax);
    ASSERT_TRUE(view->StartToolMode(kModeExtendSurface, nullptr));
    ASSERT_TRUE(view->StartToolMode(kModeEditProfile, nullptr));
    EXPECT_EQ(std::vector<double>(view->GetCamera()->GetViewTransform(), view->GetCamera()->GetViewTransform() + 12),
              zoomed);
    float afterMin[3], afterMax[3];
    view->GetCamera()->GetSceneBox(afterMin, afterMax);
    EXPECT_EQ(afterMax[0] - afterMin[0], boxMax[0] - boxMin[0]);
}

TEST_F(ProfileEdit, ASketchWhoseAxisRunsDownTheWorldIsShownUpright)
{
    // The meridian plane of an upright knob whose fitted axis points down.
    const double frame[12] = {1, 0, 0, 40, 0, 0, 1, -25, 0, -1, 0, 12};
    std::copy(frame, frame + 12, Sketch()->frame);
    view->SetStandardView(kTopView);
    ASSERT_TRUE(view->StartToolMode(kModeExtendSurface, nullptr));
    ASSERT_TRUE(view->StartToolMode(kModeEditProfile, nullptr));
    mode = dynamic_cast<CUIM_EditProfile*>(view->GetActiveMode());
    ASSERT_NE(mode, nullptr);
    // Face-on, turned half a turn: world z up, the sketch's y down.
    const double* t = view->GetCamera()->GetViewTransform();
    const double rows[3][3] = {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(t[4 * r + c], rows[r][c], 1e-9) << r << "," << c;
    // A horizontal line stays horizontal in the sketch.
    Command(32824);
    Command(32821);
    Click(POINT{60, 100});
    Click(POINT{200, 100});
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    EXPECT_TRUE(Sketch()->GetSegment(0)->IsHorizontal());
    EXPECT_LT(PointsOf(0).GetVertex(1)->x, PointsOf(0).GetVertex(0)->x) << "the sketch's x runs to the left";
}

TEST_F(ProfileEdit, FacingASketchPlaneGivesARigidViewAndIgnoresBrokenFrames)
{
    view->SetStandardView(kTopView);
    auto transform = [&]() {
        const double* t = view->GetCamera()->GetViewTransform();
        return std::vector<double>(t, t + 12);
    };
    const std::vector<double> top = transform();
    // No normal, or an x along the normal: no plane to face, the view stays.
    const double noNormal[12] = {1, 0, 0, 5, 0, 0, 0, 5, 0, 1, 0, 5};
    EXPECT_FALSE(FaceSketchPlane(view, noNormal));
    const double xAlongNormal[12] = {0, 0, 0, 5, -1, 0, -1, 5, 0, 1, 0, 5};
    EXPECT_FALSE(FaceSketchPlane(view, xAlongNormal));
    EXPECT_EQ(transform(), top);
    // A stretched frame whose x leans towards its normal (0, -1, 0): the view
    // is still rigid, looking along the normal with x square to it.
    const double leaning[12] = {2, 0, 0, 5, -0.3, 0, -1, 5, 0, 1, 0, 5};
    EXPECT_TRUE(FaceSketchPlane(view, leaning));
    const std::vector<double> t = transform();
    const double rows[3][3] = {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(t[std::size_t(4 * r + c)], rows[r][c], 1e-12) << r << "," << c;
}
