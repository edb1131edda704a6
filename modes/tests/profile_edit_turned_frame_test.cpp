// The profile editor with a sketch whose frame is turned about two axes and
// shifted from the origin, seen in a view turned away from the sketch plane
// and zoomed in: dragged arcs, undo and Escape in the middle of an edit,
// the cursor of the tools, a pick after another frame was drawn into the
// back buffer, and elements committed onto a profile that is not a sketch
// yet.
#include "profile_edit_fixture.h"
#include "support/camera_moves.h"

#include "shapes/arc_section_curve.h"
#include "shapes/sketch_curve.h"

#include <cmath>

using namespace profile_edit_test;

namespace
{

class TurnedFrame : public ProfileEdit
{
protected:
    void SetUp() override
    {
        ProfileEdit::SetUp();
        // The sketch's x turned 30 degrees about the world's z, its plane
        // tilted 40 degrees about that x, its origin at (3, -2, 1.5).
        const double a = M_PI / 6, b = 2 * M_PI / 9;
        const double x[3] = {std::cos(a), std::sin(a), 0.0};
        const double y[3] = {-std::sin(a) * std::cos(b), std::cos(a) * std::cos(b), std::sin(b)};
        const double z[3] = {std::sin(a) * std::sin(b), -std::cos(a) * std::sin(b), std::cos(b)};
        const double origin[3] = {3.0, -2.0, 1.5};
        for (int r = 0; r < 3; ++r)
        {
            Sketch()->frame[4 * r] = x[r];
            Sketch()->frame[4 * r + 1] = y[r];
            Sketch()->frame[4 * r + 2] = z[r];
            Sketch()->frame[4 * r + 3] = origin[r];
        }
        const float centre[3] = {3.0f, -2.0f, 1.5f}, half[3] = {3.0f, 3.0f, 3.0f};
        fixture.scene->Clear();
        fixture.scene->AddObject(testview::MakeBoxObject(centre, half));
        // A new editor faces the plane; the view then turns away from it.
        ASSERT_TRUE(view->StartToolMode(kModeExtendSurface, nullptr));
        ASSERT_TRUE(view->StartToolMode(kModeEditProfile, nullptr));
        mode = dynamic_cast<CUIM_EditProfile*>(view->GetActiveMode());
        ASSERT_NE(mode, nullptr);
        testview::TurnView(view, 25.0, 15.0);
        testview::ZoomToMiddle(view, 0.7);
        view->Redraw(kFullRedraw);
    }
    // The pixel of the sketch point (x, y).
    POINT At(double x, double y)
    {
        const float local[3] = {float(x), float(y), 0.0f};
        POINT p{};
        EXPECT_TRUE(SketchToScreenPoint(view, Sketch()->frame, local, &p));
        return p;
    }
    POINT At(const cVertex& v) { return At(v.x, v.y); }
    void DrawLine(double x0, double y0, double x1, double y1)
    {
        Command(32821);
        Click(At(x0, y0));
        Click(At(x1, y1));
    }
    void Drag(POINT from, POINT to)
    {
        testview::Move(view, from);
        testview::Press(view, WM_LBUTTONDOWN, from);
        testview::Move(view, POINT{(from.x + to.x) / 2, (from.y + to.y) / 2});
        testview::Move(view, to);
        testview::Press(view, WM_LBUTTONUP, to);
    }
    double Pixel() { return PixelsToWorldLength(view, 1); }
};

} // namespace

TEST_F(TurnedFrame, DraggingAnArcsMiddleStepsItsRadiusUnderTheCursor)
{
    Command(32824);
    Command(32822);
    Click(At(-2.2, -1.1));
    Click(At(2.1, -0.8));
    Click(At(0.3, 0.6));
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    Command(32823);
    panel.distanceIndex = 2; // 0.1
    Command(32825);
    view->Redraw(kFullRedraw);
    // A press on the middle point's handle beside the last click (the same
    // pixel again would be a double click).
    POINT from = At(*PointsOf(0).GetVertex(1));
    from.x += 6;
    testview::Move(view, from);
    ASSERT_EQ(mode->GetHoverIndex(), 1) << "the arc's middle point";
    const POINT to = At(0.3, -0.25); // a shallower arc
    Drag(from, to);
    auto* arc = static_cast<ST_TArcCurve<Dezaz_Wire>*>(Sketch()->GetSegment(0));
    EXPECT_NEAR(arc->Radius() * 10, std::round(arc->Radius() * 10), 1e-3) << "a whole number of steps";
    float cursor[3];
    Local(to, cursor);
    const cVertex& middle = *PointsOf(0).GetVertex(1);
    EXPECT_LT(std::hypot(middle.x - cursor[0], middle.y - cursor[1]), 0.1 + 2 * Pixel());
}

TEST_F(TurnedFrame, UndoWhileASplinePointWaitsToBeInsertedLetsGoOfTheSpline)
{
    Command(32824);
    Command(32826);
    Click(At(-2.5, -1.0));
    Click(At(-1.0, 0.8));
    Click(At(0.8, -0.6));
    Click(At(2.4, 0.9));
    Click(At(2.4, 0.9));
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    Command(32825);
    view->Redraw(kFullRedraw);
    // A press on the selected spline's body, halfway between two points.
    const ST_IWire* wire = Sketch()->GetSegment(0)->GetWire();
    auto fraction = [&](std::uint32_t i) {
        const cVertex& v = *PointsOf(0).GetVertex(i);
        return wire->GetFractionAtPoint(t3DPoint<double>{v.x, v.y, 0.0});
    };
    t3DPoint<double> on;
    ASSERT_TRUE(wire->EvaluateAtFraction(0.5 * (fraction(1) + fraction(2)), &on, nullptr));
    const POINT press = At(on.x, on.y);
    testview::Move(view, press);
    ASSERT_GE(mode->GetHoverIndex(), std::int32_t(kSketchCurvePickBase));
    testview::Press(view, WM_LBUTTONDOWN, press);
    // Ctrl+Z takes the spline back before the point goes in; moving on
    // inserts nothing anywhere.
    Command(40009);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 0u);
    testview::Move(view, POINT{press.x + 20, press.y + 12});
    testview::Press(view, WM_LBUTTONUP, POINT{press.x + 20, press.y + 12});
    EXPECT_EQ(Sketch()->GetSegmentCount(), 0u);
    EXPECT_FALSE(mode->IsDraggingSketch());
}

TEST_F(TurnedFrame, EscapeDuringATangentArcPutsItsLinesBack)
{
    Command(32824);
    DrawLine(-3.0, -1.0, -0.5, -1.0);
    DrawLine(1.0, 0.5, 1.0, 2.5);
    const tPolyline<cVertex> first = PointsOf(0), second = PointsOf(1);
    Command(32827);
    Click(At(*first.GetVertex(1)));
    Click(At(*second.GetVertex(0)));
    testview::Move(view, At(0.4, -0.3));
    ASSERT_NE(PointsOf(0).GetVertex(1)->x, first.GetVertex(1)->x) << "the arc trimmed the first line";
    ::SendMessageW(view->GetSafeHwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(mode->GetElement(), nullptr);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
    for (std::uint32_t i = 0; i < 2; ++i)
    {
        EXPECT_EQ(PointsOf(0).GetVertex(i)->x, first.GetVertex(i)->x) << i;
        EXPECT_EQ(PointsOf(0).GetVertex(i)->y, first.GetVertex(i)->y) << i;
        EXPECT_EQ(PointsOf(1).GetVertex(i)->x, second.GetVertex(i)->x) << i;
        EXPECT_EQ(PointsOf(1).GetVertex(i)->y, second.GetVertex(i)->y) << i;
    }
}

TEST_F(TurnedFrame, AnElementLeftHalfDrawnLeavesNoUndoStep)
{
    Command(32824);
    DrawLine(-3.0, -1.0, -0.5, -1.0);
    ASSERT_EQ(panel.undo.size(), 1u);
    // A line begun and dropped by Escape, an arc begun and dropped by a tool
    // change: the next Undo takes back the line drawn before them.
    Command(32821);
    Click(At(1.0, 0.5));
    ASSERT_NE(mode->GetElement(), nullptr);
    ::SendMessageW(view->GetSafeHwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    Command(32822);
    Click(At(1.0, 2.5));
    ASSERT_NE(mode->GetElement(), nullptr);
    Command(32821);
    EXPECT_EQ(mode->GetElement(), nullptr);
    EXPECT_EQ(panel.undo.size(), 1u);
    Command(40009);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 0u);
}

TEST_F(TurnedFrame, ADragThatChangesNothingLeavesNoUndoStep)
{
    Command(32824);
    DrawLine(-2.0, -1.0, 1.5, 0.5);
    DrawLine(1.0, 1.5, -1.0, 2.5);
    ASSERT_EQ(panel.undo.size(), 2u);
    Command(32825);
    view->Redraw(kFullRedraw);
    // A click on the first line's end selects it (to type its length) and
    // moves nothing.
    const POINT end = At(*PointsOf(0).GetVertex(1));
    testview::Move(view, end);
    ASSERT_GE(mode->GetHoverIndex(), 0);
    testview::Press(view, WM_LBUTTONDOWN, end);
    testview::Press(view, WM_LBUTTONUP, end);
    EXPECT_EQ(panel.undo.size(), 2u);
    // A drag of the other line ended by Delete: one undo step, the Delete's.
    view->Redraw(kFullRedraw);
    const POINT other = At(*PointsOf(1).GetVertex(0));
    testview::Move(view, other);
    testview::Press(view, WM_LBUTTONDOWN, other);
    testview::Move(view, POINT{other.x + 15, other.y + 10});
    ASSERT_TRUE(mode->IsDraggingSketch());
    Command(40005);
    testview::Press(view, WM_LBUTTONUP, POINT{other.x + 15, other.y + 10});
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    EXPECT_EQ(panel.undo.size(), 3u);
    Command(40009);
    Command(40009);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 1u) << "the second Undo takes back the second line";
}

TEST_F(TurnedFrame, ADragThatMovesAPointIsOneUndoStepThatPutsItBack)
{
    Command(32824);
    DrawLine(-2.0, -1.0, 1.5, 0.5);
    ASSERT_EQ(panel.undo.size(), 1u);
    Command(32825);
    view->Redraw(kFullRedraw);
    const cVertex before = *PointsOf(0).GetVertex(1);
    // Beside the end's pixel (the same pixel again would be a double click).
    POINT end = At(before);
    end.x += 4;
    testview::Move(view, end);
    ASSERT_GE(mode->GetHoverIndex(), 0);
    Drag(end, POINT{end.x + 15, end.y + 10});
    ASSERT_NE(PointsOf(0).GetVertex(1)->x, before.x);
    EXPECT_EQ(panel.undo.size(), 2u);
    Command(40009);
    EXPECT_EQ(PointsOf(0).GetVertex(1)->x, before.x);
    EXPECT_EQ(PointsOf(0).GetVertex(1)->y, before.y);
}

// The cursor rests on a line's end while the view turns to the top under
// it: the end now lies elsewhere, yet the press took it and the drag moved
// it. What the press takes is what lies under the cursor then.
TEST_F(TurnedFrame, APressAfterTheViewTurnedUnderARestingCursorTakesNoPointThatMovedAway)
{
    Command(32824);
    DrawLine(-2.0, -1.0, 1.5, 0.5);
    Command(32825);
    view->Redraw(kFullRedraw);
    const cVertex before = *PointsOf(0).GetVertex(1);
    POINT end = At(before);
    end.x += 4;
    testview::Move(view, end);
    ASSERT_GE(mode->GetHoverIndex(), 0);
    Command(kCmdTopView);
    view->Redraw(kFullRedraw);
    const POINT now = At(before);
    ASSERT_GT(std::abs(now.x - end.x) + std::abs(now.y - end.y), 30);
    testview::Press(view, WM_LBUTTONDOWN, end);
    testview::Move(view, POINT{end.x + 8, end.y + 5});
    testview::Move(view, POINT{end.x + 15, end.y + 10});
    testview::Press(view, WM_LBUTTONUP, POINT{end.x + 15, end.y + 10});
    EXPECT_EQ(PointsOf(0).GetVertex(1)->x, before.x);
    EXPECT_EQ(PointsOf(0).GetVertex(1)->y, before.y);
    EXPECT_EQ(panel.undo.size(), 1u);
}

TEST_F(TurnedFrame, ADrawingToolShowsItsCursorOverTheSketch)
{
    Command(32824);
    DrawLine(-2.0, -1.0, 1.5, 0.5);
    Command(32825);
    view->Redraw(kFullRedraw);
    testview::Move(view, At(*PointsOf(0).GetVertex(0)));
    ASSERT_EQ(mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), int(kCursorOverSketch));
    Command(32821);
    EXPECT_EQ(mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), int(kCursorSketchTool));
}

TEST_F(TurnedFrame, AnElementCommittedOntoAProfileThatIsNoSketchGoesIntoANewSketch)
{
    // The profile becomes a fitted line while the editor runs.
    std::unique_ptr<ST_ISectionCurve> fitted = panel.profiled->CreateCurveByClassGuid(CLSID_ST_TLineCurve);
    std::copy(Sketch()->frame, Sketch()->frame + 12, fitted->frame);
    tPolyline<cVertex> ends;
    for (float x : {-1.0f, 1.0f})
    {
        cVertex v;
        v.x = x;
        ends.AddVertex(v);
    }
    ASSERT_TRUE(RebuildSketchCurve(*fitted, ends));
    ASSERT_TRUE(panel.profiled->SetProfile(fitted.get(), 0));
    Command(32824);
    DrawLine(-2.0, 1.0, 1.5, 1.5);
    ST_ISectionCurve* profile = Sketch();
    ASSERT_EQ(profile->GetClassGuid(), CLSID_ST_TSketch);
    ASSERT_EQ(profile->GetSegmentCount(), 1u);
    EXPECT_EQ(std::vector<double>(profile->frame, profile->frame + 12),
              std::vector<double>(fitted->frame, fitted->frame + 12));
    float start[3];
    Local(At(-2.0, 1.0), start);
    EXPECT_NEAR(PointsOf(0).GetVertex(0)->x, start[0], 1e-4);
    EXPECT_NEAR(PointsOf(0).GetVertex(0)->y, start[1], 1e-4);
}


TEST_F(TurnedFrame, DeleteRemovesACurveSelectedAsAWholeWithAnUndoStep)
{
    Command(32824);
    DrawLine(-2.0, -1.0, 1.5, 0.5);
    // A second line from the first one's end (snapped onto it from beside
    // the last click, which the same pixel again would double).
    Command(32823);
    panel.distanceIndex = 4;
    Command(32821);
    POINT start = At(*PointsOf(0).GetVertex(1));
    start.x += 3;
    Click(start);
    Click(At(1.5, 1.8));
    ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
    ASSERT_EQ(PointsOf(0).GetVertex(1)->flags & kSketchPointOpenEnd, 0u);
    ASSERT_EQ(Sketch()->GetSegment(1)->selected, 1) << "a committed line is selected";
    const std::size_t steps = panel.undo.size();
    const int changes = panel.changes;
    Command(40005);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    EXPECT_NE(PointsOf(0).GetVertex(1)->flags & kSketchPointOpenEnd, 0u) << "the end it touched is open again";
    EXPECT_EQ(panel.undo.size(), steps + 1);
    EXPECT_EQ(panel.changes, changes + 1) << "the shape learns that its profile changed";
    // With nothing selected Delete changes nothing and keeps no undo step.
    Command(40005);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 1u);
    EXPECT_EQ(panel.undo.size(), steps + 1);
    Command(40009);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 2u);
}

TEST_F(TurnedFrame, WithControlPointsShownDragAndDeleteActOnThem)
{
    panel.controlPoints = true;
    Command(32824);
    Command(32826);
    for (const auto& [x, y] : {std::pair{-2.4, -0.9}, {-1.2, 0.1}, {0.0, 0.5}, {1.2, 0.2}, {2.4, -0.7}})
        Click(At(x, y));
    Click(At(2.4, -0.7));
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    ASSERT_EQ(Sketch()->GetSegment(0)->GetControlPoints()->GetVertexCount(), 5u);
    const tPolyline<cVertex> control = *Sketch()->GetSegment(0)->GetControlPoints();
    const tPolyline<cVertex> through = PointsOf(0);
    Command(32825);
    view->Redraw(kFullRedraw);
    testview::Move(view, At(*control.GetVertex(1)));
    ASSERT_EQ(mode->GetHoverIndex(), 1) << "control point 1";
    const POINT drop = At(control.GetVertex(1)->x - 0.4, control.GetVertex(1)->y + 0.5);
    Drag(At(*control.GetVertex(1)), drop);
    float dropped[3];
    Local(drop, dropped);
    ST_ISectionCurve* spline = Sketch()->GetSegment(0);
    auto near = [](const cVertex& v, float x, float y) { return std::hypot(v.x - x, v.y - y) < 1e-3; };
    const tPolyline<cVertex>& moved = *spline->GetControlPoints();
    ASSERT_EQ(moved.GetVertexCount(), 5u);
    EXPECT_TRUE(near(*moved.GetVertex(1), dropped[0], dropped[1])) << "the control point went where it was dropped";
    EXPECT_NE(moved.GetVertex(1)->flags & kSketchPointSelected, 0u);
    // The curve still runs through its other points.
    for (std::uint32_t i : {0u, 2u, 3u, 4u})
        EXPECT_TRUE(near(*PointsOf(0).GetVertex(i), through.GetVertex(i)->x, through.GetVertex(i)->y)) << i;
    // The spline rebuilt from what it stores (as undo and reopening do)
    // keeps the dragged control point.
    std::unique_ptr<ST_ISectionCurve> copy = spline->Clone();
    copy->Assign(*spline);
    copy->SetFrame(spline->frame);
    EXPECT_TRUE(near(*copy->GetControlPoints()->GetVertex(1), dropped[0], dropped[1]));

    // Delete takes the selected control point, and the point of the curve
    // it stands for, away.
    const tPolyline<cVertex> shaped = PointsOf(0);
    Command(40005);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    EXPECT_EQ(Sketch()->GetSegment(0)->GetControlPoints()->GetVertexCount(), 4u);
    const tPolyline<cVertex>& rest = PointsOf(0);
    ASSERT_EQ(rest.GetVertexCount(), 4u);
    std::uint32_t k = 0;
    for (std::uint32_t i : {0u, 2u, 3u, 4u})
        EXPECT_TRUE(near(*rest.GetVertex(k++), shaped.GetVertex(i)->x, shaped.GetVertex(i)->y)) << i;
}

TEST_F(TurnedFrame, AFrameDrawnSinceThePickImageLeavesTheLineUnderTheCursorPickable)
{
    Command(32824);
    DrawLine(-2.0, -1.0, 1.5, -0.5);
    DrawLine(-2.0, 1.2, 1.5, 1.5);
    Command(32825);
    view->Redraw(kFullRedraw);
    // A navigation step or a zoom animation draws its frames into the back
    // buffer with no pick pass after them.
    view->Redraw(0);
    const POINT on = At(-0.25, -0.75);
    testview::Move(view, on);
    EXPECT_EQ(mode->GetHoverIndex(), std::int32_t(kSketchCurvePickBase)) << "the first line";
    testview::Press(view, WM_LBUTTONDOWN, on);
    testview::Press(view, WM_LBUTTONUP, on);
    Command(40005);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    EXPECT_NEAR(PointsOf(0).GetVertex(0)->y, 1.2, 2 * Pixel()) << "the line clicked is the one deleted";
}

TEST_F(TurnedFrame, AnArcBegunOnALineEndAlignsItsNextClickWithThatEnd)
{
    Command(32824);
    DrawLine(-2.0, -1.0, 0.0, -0.4);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    const cVertex end = *PointsOf(0).GetVertex(1);
    // The arc's first click a few pixels off the line's end snaps onto it;
    // the second goes level with the click as it was, far to the right.
    Command(32823);
    Command(32822);
    POINT first = At(end);
    first.y += 3;
    float pressed[3];
    Local(first, pressed);
    Click(first);
    Click(At(2.0, pressed[1]));
    Click(At(1.0, 0.8));
    ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
    const tPolyline<cVertex>& arc = PointsOf(1);
    ASSERT_EQ(arc.GetVertex(0)->y, end.y) << "the arc begins on the line's end";
    EXPECT_NEAR(arc.GetVertex(2)->y, end.y, 1e-6) << "and its end is aligned with that point, not the click beside it";
}

// A line begun on the extension of another and turned with Ctrl to 30
// degrees, some 3.5 degrees off that extension: let go of Ctrl, the click
// near both lines snaps to where they cross, which is the line's own start
// up to rounding. A line of a millionth or so was kept (in the shapes dialog
// a revolved shape a metre out then made a sliver surface of it); ends that
// fall together make no line.
TEST_F(TurnedFrame, ALineWhoseEndASnapPutsBackOnItsStartIsNoLine)
{
    const double u = Pixel();
    Command(32823);
    panel.angleIndex = 0;
    for (int k = 0; k < 3; ++k)
    {
        const double along = (33.5 + 0.13 * k) * M_PI / 180, turned = (30.7 + 0.05 * k) * M_PI / 180;
        const double s[2] = {(-80 + 0.37 * k) * u, (-60 + 0.23 * k) * u};
        Command(32824);
        DrawLine(s[0] + 30 * u * std::cos(along), s[1] + 30 * u * std::sin(along), s[0] + 90 * u * std::cos(along),
                 s[1] + 90 * u * std::sin(along));
        const std::uint32_t lines = Sketch()->GetSegmentCount();
        const std::size_t undo = panel.undo.size();
        Command(32823);
        Command(32821);
        Click(At(s[0], s[1]));
        const POINT end = At(s[0] + 60 * u * std::cos(turned), s[1] + 60 * u * std::sin(turned));
        win32::InjectKey(VK_CONTROL, true);
        testview::Move(view, end);
        win32::InjectKey(VK_CONTROL, false);
        Click(end);
        EXPECT_EQ(mode->GetSnap().kind, kSketchSnapIntersection) << k;
        EXPECT_EQ(Sketch()->GetSegmentCount(), lines) << k;
        EXPECT_EQ(panel.undo.size(), undo) << k;
        Command(32825);
        Command(40009);
        win32::AdvanceClock(1000);
    }
}
