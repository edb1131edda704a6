// The profile editing mode on a real shapes view over a revolved shape:
// lines, arcs and free-form curves drawn by clicks, snapping and stepping,
// picking and dragging through the id image, delete, undo and typed values.
#include "core/section_curve_classes.h"
#include "modes/profile_edit_mode.h"
#include "modes/shapes_view.h"
#include "modes/shapes_view_owner.h"
#include "platform/win32/input.h"
#include "shapes/arc_section_curve.h"
#include "shapes/revolved_surface.h"
#include "shapes/sketch_curve.h"
#include "shapes/tests/support/memory_stream.h"
#include "support/view_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

class FakeOwner : public CWnd, public IShapesViewOwner
{
public:
    void ReapplyMagicWand(bool, bool) override {}
    ISceneObject* CurrentShapeObject() override { return shape; }
    std::wstring& HintText() override { return hint; }
    bool SelectFrontFacingOnly() const override { return false; }
    bool DrawWorldAxes() const override { return false; }
    void SetDrawWorldAxes(bool) override {}
    void SaveSelectionForUndo() override {}
    bool RestoreSelectionFromUndo() override { return false; }
    HWND QuickShapePicker(bool) override { return nullptr; }
    void HideQuickPickers() override {}
    void StartNewShape() override {}
    bool OnViewCommand(UINT id) override { return commands.push_back(id), true; }

    ISceneObject* shape = nullptr;
    std::wstring hint;
    std::vector<UINT> commands;
};

class FakePanel : public IProfileEditPanel
{
public:
    void PushUndoState() override
    {
        ST_ISectionCurve* profile = profiled ? profiled->GetProfileCurve() : nullptr;
        if (!profile)
            return;
        std::unique_ptr<ST_ISectionCurve> copy = profile->Clone();
        copy->Assign(*profile);
        undo.push_back(std::move(copy));
    }
    void ClearUndoStates() override { undo.clear(); }
    std::unique_ptr<ST_ISectionCurve> PopUndoState() override
    {
        if (undo.empty())
            return nullptr;
        std::unique_ptr<ST_ISectionCurve> last = std::move(undo.back());
        undo.pop_back();
        return last;
    }
    void SetDistanceRadiusField(double v, bool isDistance) override
    {
        value = v;
        distance = isDistance;
    }
    double GetDistanceRadiusValue() override { return typed; }
    void FocusDistanceField() override { ++focused; }
    void ShowTool(std::uint32_t tool) override { shownTool = tool; }
    bool IsSnapping() override { return snapping; }
    bool UseControlPoints() override { return false; }
    int GetSnapDistanceIndex() override { return distanceIndex; }
    int GetSnapAngleIndex() override { return angleIndex; }
    const wchar_t* UnitText() override { return L"mm"; }
    void NotifyProfileChanged() override { ++changes; }

    ST_IProfiledSurface* profiled = nullptr;
    std::vector<std::unique_ptr<ST_ISectionCurve>> undo;
    double value = -1.0, typed = 0.0;
    bool distance = false, snapping = true;
    int focused = 0, changes = 0, distanceIndex = 0, angleIndex = 0;
    std::uint32_t shownTool = 99;
};

FakePanel* g_panel = nullptr;

cUserInteractiveMode<C3DView>* MakeMode(std::uint32_t id, std::uint32_t temporary, IBase*, cCPView* view)
{
    return MakeProfileEditMode(id, temporary, view, g_panel);
}

class ProfileEdit : public ::testing::Test
{
protected:
    static constexpr int kWidth = 260, kHeight = 200;

    void SetUp() override
    {
        win32::ResetInputState();
        g_panel = &panel;
        owner.shape = &shape;
        panel.profiled = static_cast<ST_IProfiledSurface*>(shape.QueryInterface(IID_ST_IProfiledSurface));
        ASSERT_NE(panel.profiled, nullptr);
        view = new cCPView(&owner, &owner);
        fixture.Open(view, kWidth, kHeight);
        view->ZoomAll();
        SetShapesViewModeMaker(kModeEditProfile, &MakeMode);
        ASSERT_TRUE(view->StartToolMode(kModeEditProfile, nullptr));
        mode = dynamic_cast<CUIM_EditProfile*>(view->GetActiveMode());
        ASSERT_NE(mode, nullptr);
    }
    void TearDown() override
    {
        fixture.Close();
        SetShapesViewModeMaker(kModeEditProfile, nullptr);
        g_panel = nullptr;
        win32::ResetInputState();
    }
    ST_ISectionCurve* Sketch() const { return panel.profiled->GetProfileCurve(); }
    void Command(UINT id) { ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, id, 0); }
    void Click(POINT p)
    {
        testview::Move(view, p);
        testview::Press(view, WM_LBUTTONDOWN, p);
        testview::Press(view, WM_LBUTTONUP, p);
    }
    void Local(POINT p, float out[3]) { ASSERT_TRUE(ScreenToSketchPoint(view, p, Sketch()->frame, out)); }
    const tPolyline<cVertex>& PointsOf(std::uint32_t i) { return *SketchPointsOf(*Sketch()->GetSegment(i), false); }

    FakeOwner owner;
    FakePanel panel;
    Dezaz_RevolvedObject shape;
    cCPView* view = nullptr;
    CUIM_EditProfile* mode = nullptr;
    testview::ViewFixture fixture{true};
};

} // namespace

TEST_F(ProfileEdit, StartsWithAnEmptySketchAndTheSelectTool)
{
    ASSERT_NE(Sketch(), nullptr);
    EXPECT_EQ(Sketch()->GetClassGuid(), CLSID_ST_TSketch);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 0u);
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
