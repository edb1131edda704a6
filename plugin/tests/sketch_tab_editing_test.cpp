// Sketching on the Sketch tab of revolved shapes fitted to a scan far from
// the origin with a leaning axis, in a view turned away from the sketch
// plane and zoomed: arcs stepped to the snap distance stay under the cursor,
// Clear All in the middle of a tangent arc lets go of the old lines and can
// be undone (with nothing drawn it clears nothing), each
// shape keeps its own editor and undo steps across shape switches, Undo
// after Reset gives back the sketch where the scan is, and leaves a line
// kept in its own frame by a refit where it was, and a view that sees the
// sketch plane almost edge-on places no point.
#include "modes/profile_edit_mode.h"
#include "plugin/dialogs/shape_page.h"
#include "plugin/dialogs/shape_transfer.h"
#include "plugin/dialogs/sketch_page.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"
#include "support/view_input.h"

#include "core/frame_math.h"
#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "modes/profile_sketch_selection.h"
#include "modes/surface_extension_mode.h"
#include "platform/wgl/pixel_probe.h"
#include "platform/win32/clock.h"
#include "render/tests/support/camera_moves.h"
#include "shapes/arc_section_curve.h"
#include "shapes/host_surface.h"
#include "shapes/shape_interfaces.h"

#include <cmath>
#include <string>
#include <vector>

namespace
{

class SketchTabEditing : public ShapesDialog
{
protected:
    // Revolved shapes of the whole scan of a cylinder (radius 20, height 50)
    // about 925 from the origin; the last one made is current.
    void MakeRevolvedShapes(int count)
    {
        Open(scans::Cylinder({560, -610, 400}, {0.25, -0.3, 0.92}, 20.0, 50.0, 48, 10, false, 0.01));
        for (int i = 0; i < count; ++i)
        {
            if (i > 0)
                Click(IDC_SHAPES_NEW_SHAPE);
            Click(IDC_SHAPES_SELECT_ALL);
            ChooseKind(eShapeKind::Revolved);
            ASSERT_NE(dialog->GetCurrentSession(), nullptr);
        }
        view = dialog->GetShapesView();
    }
    void ShowTab(const wchar_t* title)
    {
        const std::vector<std::wstring> titles = dialog->TabTitles();
        for (std::size_t i = 0; i < titles.size(); ++i)
            if (titles[i] == title)
                dialog->SelectTab(int(i));
        ASSERT_EQ(dialog->TabTitles()[std::size_t(dialog->GetSelectedTab())], title);
    }
    void ChooseListItem(int index)
    {
        const HWND list = ::GetDlgItem(Window(), IDC_SHAPES_LIST);
        ::SendMessageW(list, LB_SETCURSEL, WPARAM(index), 0);
        ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(list));
    }
    CUIM_EditProfile* Editor() const { return dynamic_cast<CUIM_EditProfile*>(view->FindMode(kModeEditProfile)); }
    ST_ISectionCurve* Sketch()
    {
        auto* profiled = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface);
        return profiled ? profiled->GetProfileCurve() : nullptr;
    }
    void Command(UINT id) { ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, id, 0); }
    void PageButton(int id)
    {
        const HWND page = dialog->GetSketchPage()->GetSafeHwnd();
        ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(::GetDlgItem(page, id)));
    }
    void SetSnapping(bool on)
    {
        CSubProfileDlg& page = *dialog->GetSketchPage();
        ::SendDlgItemMessageW(page.GetSafeHwnd(), IDC_SKETCH_SNAPPING, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        page.OnSnapping();
    }
    void SetSnapDistanceIndex(int index)
    {
        const HWND page = dialog->GetSketchPage()->GetSafeHwnd();
        const HWND combo = ::GetDlgItem(page, IDC_SKETCH_SNAP_DISTANCE);
        ::SendMessageW(combo, CB_SETCURSEL, WPARAM(index), 0);
        ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_SKETCH_SNAP_DISTANCE, CBN_SELCHANGE), LPARAM(combo));
    }
    // Turns the view 25 degrees about the screen's x axis and 15 about its y
    // axis away from facing the sketch plane, and zooms in on its centre.
    void TurnAndZoomView()
    {
        testview::TurnView(view, 25.0, 15.0);
        testview::ZoomToMiddle(view, 0.6);
        view->Redraw(kFullRedraw);
    }
    // On the Sketch tab in a turned, zoomed view with snapping off, a spline
    // through three clicks across the centre, drawn with control points off.
    void DrawThreePointSplineInATurnedView()
    {
        ShowTab(L"Sketch");
        TurnAndZoomView();
        SetSnapping(false);
        CSubProfileDlg& page = *dialog->GetSketchPage();
        ::SendDlgItemMessageW(page.GetSafeHwnd(), IDC_SKETCH_CONTROL_POINTS, BM_SETCHECK, BST_UNCHECKED, 0);
        page.OnCurveControlPoints();
        float c[3];
        Centre(c);
        Command(kCmdProfileFreeForm);
        viewinput::Click(view, At(c[0] - 12, c[1]));
        viewinput::Click(view, At(c[0], c[1] + 3));
        viewinput::Click(view, At(c[0] + 12, c[1]));
        Command(32815); // Finish
    }
    // The sketch point under the view's centre.
    void Centre(float out[3])
    {
        RECT client{};
        ::GetClientRect(view->GetSafeHwnd(), &client);
        ASSERT_TRUE(ScreenToSketchPoint(view, POINT{client.right / 2, client.bottom / 2}, Sketch()->frame, out));
    }
    // The pixel of the sketch point (x, y).
    POINT At(double x, double y)
    {
        const float local[3] = {float(x), float(y), 0.0f};
        POINT p{};
        EXPECT_TRUE(SketchToScreenPoint(view, Sketch()->frame, local, &p));
        return p;
    }
    void DrawLine(double x0, double y0, double x1, double y1)
    {
        Command(kCmdProfileLine);
        viewinput::Click(view, At(x0, y0));
        viewinput::Click(view, At(x1, y1));
    }

    // On the Sketch tab, in the turned view, without snapping: a line
    // clicked onto the mesh points a quarter and three quarters along the
    // first wall section.
    void DrawLineOntoTheWallInATurnedView();

    cCPView* view = nullptr;
};

} // namespace

TEST_F(SketchTabEditing, AnArcSteppedToTheSnapDistanceKeepsItsMiddleUnderTheCursor)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapDistanceIndex(1); // whole units
    ASSERT_TRUE(Editor()->IsSnappingOn());
    float c[3];
    Centre(c);
    Command(kCmdProfileArc);
    viewinput::Click(view, At(c[0] - 10, c[1] - 3));
    viewinput::Click(view, At(c[0] + 10, c[1] - 5));
    const POINT middle = At(c[0] + 1.3, c[1] + 1.2);
    viewinput::Click(view, middle);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    ST_ISectionCurve* arc = Sketch()->GetSegment(0);
    ASSERT_EQ(arc->GetClassGuid(), CLSID_ST_TArcCurve);
    const double radius = static_cast<ST_TArcCurve<Dezaz_Wire>*>(arc)->Radius();
    EXPECT_NEAR(radius, std::round(radius), 1e-3) << "a whole number of steps";
    // The stepped circle passes within a step of the cursor, on the ray
    // from its centre through it.
    float cursor[3];
    ASSERT_TRUE(ScreenToSketchPoint(view, middle, Sketch()->frame, cursor));
    const cVertex& placed = *SketchPointsOf(*arc, false)->GetVertex(1);
    EXPECT_LT(std::hypot(placed.x - cursor[0], placed.y - cursor[1]), 1.0 + 2 * PixelsToWorldLength(view, 1));
    Snapshot("sketch_tab_stepped_arc");
}

TEST_F(SketchTabEditing, ClearAllDuringATangentArcLetsGoOfTheOldLines)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapping(false);
    float c[3];
    Centre(c);
    DrawLine(c[0] - 12, c[1] - 8, c[0] - 2, c[1] - 8);
    DrawLine(c[0] + 6, c[1], c[0] + 6, c[1] + 10);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
    const cVertex first = *SketchPointsOf(*Sketch()->GetSegment(0), false)->GetVertex(1);
    const cVertex second = *SketchPointsOf(*Sketch()->GetSegment(1), false)->GetVertex(0);
    // The arc between the two lines, anchored on their ends: moving the
    // cursor into the corner trims both lines to the arc.
    Command(kCmdProfileTangentArc);
    viewinput::Click(view, At(first.x, first.y));
    viewinput::Click(view, At(second.x, second.y));
    viewinput::Move(view, At(c[0] + 3, c[1] - 5));
    ASSERT_NE(SketchPointsOf(*Sketch()->GetSegment(0), false)->GetVertex(1)->x, first.x) << "the first line was trimmed";

    PageButton(IDC_SKETCH_CLEAR_ALL);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 0u);
    viewinput::Move(view, At(c[0] + 2, c[1] - 4));
    viewinput::Click(view, At(c[0] + 1, c[1] - 3));
    EXPECT_EQ(Sketch()->GetSegmentCount(), 0u);
    EXPECT_EQ(Editor()->GetElement(), nullptr);
    // Undo gives the lines back as they were before the arc trimmed them.
    Command(40009);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
    EXPECT_EQ(SketchPointsOf(*Sketch()->GetSegment(0), false)->GetVertex(1)->x, first.x);
}

TEST_F(SketchTabEditing, ClearAllCanBeUndoneAndTheLineBeforeItStays)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapping(false);
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10, c[1], c[0] + 10, c[1] + 4);
    DrawLine(c[0] - 10, c[1] - 6, c[0] + 10, c[1] - 2);
    PageButton(IDC_SKETCH_CLEAR_ALL);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 0u);
    Command(40009);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 2u) << "Undo brings the cleared lines back";
    Command(40009);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 1u) << "and the next Undo takes back the last line drawn";
}

// Clear All with nothing drawn clears nothing: leaving the tab gives back
// the fitted profile the empty sketch stood in for.
TEST_F(SketchTabEditing, ClearAllWithNothingDrawnLeavesTheFittedProfileToComeBack)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    PageButton(IDC_SKETCH_CLEAR_ALL);
    ShowTab(L"Shape");
    EXPECT_NE(Sketch()->GetClassGuid(), CLSID_ST_TSketch);
}

// A line drawn, cleared, and both undone: the visit has drawn nothing, and
// leaving the tab gives the fitted profile back.
TEST_F(SketchTabEditing, ALineClearedAndUndoneDownToNothingLeavesTheFittedProfile)
{
    MakeRevolvedShapes(1);
    const GUID fitted = Sketch()->GetClassGuid();
    ShowTab(L"Sketch");
    TurnAndZoomView();
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10, c[1], c[0] + 10, c[1] + 4);
    PageButton(IDC_SKETCH_CLEAR_ALL);
    Command(40009);
    Command(40009);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 0u);
    ShowTab(L"Shape");
    EXPECT_EQ(Sketch()->GetClassGuid(), fitted);
}

TEST_F(SketchTabEditing, ChoosingAnotherShapeStartsAFreshEditorAndUndoKeepsToTheShape)
{
    MakeRevolvedShapes(2);
    // The first shape gets a line on its sketch, the second one too.
    ChooseListItem(0);
    ShowTab(L"Sketch");
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10, c[1], c[0] + 10, c[1] + 4);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    ShowTab(L"Shape");
    ChooseListItem(1);
    ShowTab(L"Sketch");
    DrawLine(c[0] - 10, c[1] - 6, c[0] + 10, c[1] - 2);
    ASSERT_EQ(dialog->GetSketchPage()->UndoStateCount(), 1u);
    // The current shape made current again keeps its editor as it is.
    dialog->SetCurrentShape(dialog->GetCurrentSession());
    EXPECT_EQ(Editor()->GetCurrentTool(), kProfileToolLine);
    EXPECT_EQ(dialog->GetSketchPage()->UndoStateCount(), 1u);

    // Back to the first shape with the Sketch tab shown: its editor starts
    // afresh, so undo has nothing of the second shape to put into it.
    ChooseListItem(0);
    ASSERT_EQ(dialog->GetCurrentSession(), dialog->ListedSessions()[0]);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->GetCurrentTool(), kProfileToolSelect);
    EXPECT_EQ(dialog->GetSketchPage()->UndoStateCount(), 0u);
    Command(40009);
    ASSERT_EQ(Sketch()->GetClassGuid(), CLSID_ST_TSketch);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 1u);
    // What is drawn now goes into the first shape's sketch, and undo takes
    // back only that.
    DrawLine(c[0] - 10, c[1] + 8, c[0] + 10, c[1] + 8);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 2u);
    Command(40009);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 1u);
}

TEST_F(SketchTabEditing, AnUndoAfterResetGivesBackTheSketchWhereTheScanIsAndNoneAfterAnAlignmentDestroyedIt)
{
    MakeRevolvedShapes(1);
    Click(IDC_SHAPES_ALIGN_FRONT);
    ASSERT_TRUE(Enabled(IDC_SHAPES_RESET));
    ShowTab(L"Sketch");
    SetSnapping(false);
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10, c[1], c[0] + 10, c[1] + 4);
    DrawLine(c[0] - 10, c[1] - 6, c[0] + 10, c[1] - 2);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
    Click(IDC_SHAPES_RESET);
    ASSERT_FALSE(Sketch()->sections.items.empty());
    const tFramePolyline<cVertex> section = Sketch()->sections.items.front();
    Command(40009);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    // The mesh's section the sketch shows lies where the scan now is.
    const tFramePolyline<cVertex>& undone = Sketch()->sections.items.front();
    ASSERT_EQ(undone.vertices.size(), section.vertices.size());
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(undone.frame[i], section.frame[i], 1e-6) << "frame entry " << i;
    EXPECT_LT(PointDistance(undone.vertices.front().Position(), section.vertices.front().Position()), 1e-3);

    // An alignment the user lets destroy the sketch leaves nothing for Undo
    // to bring back.
    DrawLine(c[0] - 10, c[1] + 8, c[0] + 10, c[1] + 8);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
    QueueAnswer(kProfilesQuestion, IDYES);
    Click(IDC_SHAPES_ALIGN_FRONT);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 0u);
    Command(40009);
    EXPECT_EQ(Sketch()->GetSegmentCount(), 0u);
}

TEST_F(SketchTabEditing, UndoLeavesALineTheRefitKeptInItsOwnFrameWhereItWas)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    SetSnapping(false);
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10, c[1], c[0] + 10, c[1] + 4);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    // A refit along the vertical moves the sketch's frame; the line drawn
    // stays where the user put it, in its own frame.
    ShowTab(L"Shape");
    const HWND page = dialog->GetShapePage()->GetSafeHwnd();
    ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_SHAPE_PAGE_VERTICAL, BN_CLICKED),
                   LPARAM(::GetDlgItem(page, IDC_SHAPE_PAGE_VERTICAL)));
    ShowTab(L"Sketch");
    const auto worldEnds = [&]
    {
        ST_ISectionCurve& line = *Sketch()->GetSegment(0);
        std::vector<float> ends;
        for (int i = 0; i < 2; ++i)
        {
            float p[3];
            TransformPoint3f(line.frame, p, SketchPointsOf(line, false)->GetVertex(i)->Position());
            ends.insert(ends.end(), p, p + 3);
        }
        return ends;
    };
    ASSERT_FALSE(std::equal(Sketch()->frame, Sketch()->frame + 12, Sketch()->GetSegment(0)->frame));
    const std::vector<float> before = worldEnds();

    Centre(c);
    DrawLine(c[0] - 10, c[1] - 6, c[0] + 10, c[1] - 2);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
    Command(40009);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    EXPECT_EQ(worldEnds(), before) << "Undo of the second line moved the first one";
}

TEST_F(SketchTabEditing, ClicksInAViewThatSeesTheSketchPlaneAlmostEdgeOnPlaceNoPoint)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    SetSnapping(false);
    // Turned until the plane is a line across the view, short of a
    // millionth of a degree: the plane meets the rays above and below that
    // line a million kilometres out.
    testview::TurnView(view, 90.0 - 1e-6, 0.0);
    view->Redraw(kFullRedraw);
    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    const POINT middle{client.right / 2, client.bottom / 2};
    Command(kCmdProfileLine);
    viewinput::Click(view, POINT{middle.x - 60, middle.y - 40});
    viewinput::Click(view, POINT{middle.x + 60, middle.y - 80});
    EXPECT_EQ(Sketch()->GetSegmentCount(), 0u);
    float local[3];
    EXPECT_FALSE(ScreenToSketchPoint(view, POINT{middle.x, middle.y - 40}, Sketch()->frame, local));
}

TEST_F(SketchTabEditing, ALineBegunBeforeResetEndsOnTheSketchWhereTheScanIs)
{
    MakeRevolvedShapes(1);
    Click(IDC_SHAPES_ALIGN_FRONT);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapping(false);
    float c[3];
    Centre(c);
    Command(kCmdProfileLine);
    viewinput::Click(view, At(c[0] - 10, c[1]));
    ASSERT_NE(Editor()->GetElement(), nullptr);
    Click(IDC_SHAPES_RESET);
    mfc::PumpUntilIdle();
    const POINT end = At(c[0] + 10, c[1] + 4);
    viewinput::Click(view, end);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    // The line's end lies in the world where the click met the moved sketch.
    ST_ISectionCurve& line = *Sketch()->GetSegment(0);
    float clicked[3], expected[3], placed[3];
    ASSERT_TRUE(ScreenToSketchPoint(view, end, Sketch()->frame, clicked));
    TransformPoint3f(Sketch()->frame, expected, clicked);
    TransformPoint3f(line.frame, placed, SketchPointsOf(line, false)->GetVertex(1)->Position());
    EXPECT_LT(PointDistance(placed, expected), 1e-3);
}

TEST_F(SketchTabEditing, TheFittedProfileGivenBackAfterResetLiesWhereTheScanIs)
{
    // The Sketch tab visited on the aligned scan, Reset, nothing drawn: the
    // fitted profile the empty sketch stood in for comes back, moved too.
    MakeRevolvedShapes(1);
    Click(IDC_SHAPES_ALIGN_FRONT);
    ShowTab(L"Sketch");
    ASSERT_EQ(Sketch()->GetClassGuid(), CLSID_ST_TSketch);
    Click(IDC_SHAPES_RESET);
    double moved[12];
    std::copy(Sketch()->frame, Sketch()->frame + 12, moved);
    ShowTab(L"Shape");
    ASSERT_NE(Sketch()->GetClassGuid(), CLSID_ST_TSketch);
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(Sketch()->frame[i], moved[i], 1e-6) << "frame entry " << i;
}

TEST_F(SketchTabEditing, AnotherShapeChosenWhileASplinePointIsInsertedAndDraggedLeavesTheSplineAsItWas)
{
    MakeRevolvedShapes(2);
    ChooseListItem(0);
    DrawThreePointSplineInATurnedView();
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    ST_ISectionCurve* first = Sketch();
    const tPolyline<cVertex> points = *SketchPointsOf(*first->GetSegment(0), false);
    // A press on the spline between its points, moved on: a point goes in
    // and is dragged when the second shape is chosen.
    Command(kCmdProfileSelect);
    view->Redraw(kFullRedraw);
    t3DPoint<double> on{};
    ASSERT_TRUE(first->GetSegment(0)->GetWire()->EvaluateAtFraction(0.25, &on, nullptr));
    const POINT press = At(on.x, on.y);
    viewinput::Move(view, press);
    viewinput::Inject(view, WM_LBUTTONDOWN, press);
    viewinput::Move(view, POINT{press.x + 12, press.y + 12});
    ASSERT_TRUE(Editor()->IsDraggingSketch());
    ASSERT_EQ(SketchPointsOf(*first->GetSegment(0), false)->GetVertexCount(), points.GetVertexCount() + 1);
    ChooseListItem(1);
    win32::ResetInputState();
    ASSERT_EQ(first->GetSegmentCount(), 1u);
    const tPolyline<cVertex>& after = *SketchPointsOf(*first->GetSegment(0), false);
    ASSERT_EQ(after.GetVertexCount(), points.GetVertexCount());
    for (std::uint32_t i = 0; i < after.GetVertexCount(); ++i)
        EXPECT_EQ(PointDistance(after.GetVertex(i)->Position(), points.GetVertex(i)->Position()), 0.0f) << i;
}

TEST_F(SketchTabEditing, ClosingTheDialogOnTheSketchTabWithNothingDrawnKeepsTheFittedProfile)
{
    MakeRevolvedShapes(1);
    auto* profiled = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface);
    ASSERT_NE(profiled, nullptr);
    const GUID fitted = Sketch()->GetClassGuid();
    ASSERT_NE(fitted, CLSID_ST_TSketch);
    ShowTab(L"Sketch");
    ASSERT_EQ(Sketch()->GetClassGuid(), CLSID_ST_TSketch);
    // The shape lives on in the document's history after the dialog.
    ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    mfc::PumpUntilIdle();
    ASSERT_NE(profiled->GetProfileCurve(), nullptr);
    EXPECT_EQ(profiled->GetProfileCurve()->GetClassGuid(), fitted);
}

TEST_F(SketchTabEditing, ALineDrawnAndUndoneLeavesTheFittedProfileWhenTheTabIsLeft)
{
    MakeRevolvedShapes(1);
    const GUID fitted = Sketch()->GetClassGuid();
    ASSERT_NE(fitted, CLSID_ST_TSketch);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10, c[1], c[0] + 10, c[1] + 4);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    Command(40009);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 0u);
    ShowTab(L"Shape");
    EXPECT_EQ(Sketch()->GetClassGuid(), fitted);
}

namespace
{

// The number of surfaces the listed shape shows (its cached breps).
int SurfacesOf(CCreatePrimitiveDialog& dialog, std::size_t listed)
{
    ISceneObject* object = dialog.ListedSessions()[listed]->GetSceneObject();
    auto* surface = object ? static_cast<ON_ISurface*>(object->QueryInterface(IID_ON_ISurface)) : nullptr;
    const ON_SimpleArray<ON_Brep*>* breps = surface ? surface->GetBreps() : nullptr;
    return breps ? breps->Count() : 0;
}

} // namespace

TEST_F(SketchTabEditing, AShapeChosenWhileTheSketchTabIsShownKeepsItsSurface)
{
    MakeRevolvedShapes(2);
    ASSERT_EQ(SurfacesOf(*dialog, 1), 1);
    ChooseListItem(0);
    ShowTab(L"Sketch");
    ChooseListItem(1);
    ASSERT_EQ(Sketch()->GetClassGuid(), CLSID_ST_TSketch) << "its editor has started";
    EXPECT_EQ(SurfacesOf(*dialog, 1), 1);
}

TEST_F(SketchTabEditing, ALineDrawnAndUndoneLeavesTheShapeItsSurfaceWhenTheTabIsLeft)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10, c[1], c[0] + 10, c[1] + 4);
    Command(40009);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 0u);
    ShowTab(L"Shape");
    ASSERT_NE(Sketch()->GetClassGuid(), CLSID_ST_TSketch);
    EXPECT_EQ(SurfacesOf(*dialog, 0), 1);
}

TEST_F(SketchTabEditing, AfterARefitTheLinesShowWhereTheSurfaceAndTheClicksTakeThem)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    SetSnapping(false);
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10, c[1], c[0] + 10, c[1] + 4);
    // Vertical turns the sketch's frame about its normal (the leaning axis
    // stands up); the line keeps its points in that frame.
    ShowTab(L"Shape");
    const HWND page = dialog->GetShapePage()->GetSafeHwnd();
    ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_SHAPE_PAGE_VERTICAL, BN_CLICKED),
                   LPARAM(::GetDlgItem(page, IDC_SHAPE_PAGE_VERTICAL)));
    ShowTab(L"Sketch");
    ASSERT_FALSE(std::equal(Sketch()->frame, Sketch()->frame + 12, Sketch()->GetSegment(0)->frame));
    view->Redraw(kFullRedraw);
    const wgl::PixelImage image = wgl::ReadWindowImage(view->GetSafeHwnd());
    const cVertex& a = *SketchPointsOf(*Sketch()->GetSegment(0), false)->GetVertex(0);
    const cVertex& b = *SketchPointsOf(*Sketch()->GetSegment(0), false)->GetVertex(1);
    for (const double t : {0.3, 0.7})
    {
        const POINT p = At(a.x + t * (b.x - a.x), a.y + t * (b.y - a.y));
        const std::uint32_t colour = image.At(p.x, p.y);
        EXPECT_GT(colour & 255, 150u) << "the line shows in the profile's blue at " << t;
        EXPECT_LT((colour >> 16) & 255, 80u) << t;
        viewinput::Move(view, p);
        EXPECT_EQ(Editor()->GetHoverIndex(), std::int32_t(kSketchCurvePickBase)) << "and is picked there";
    }
}

TEST_F(SketchTabEditing, LeavingTheLengthAsShownKeepsALineEndOnThePointItWasDrawnOnto)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapDistanceIndex(4);
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10.3, c[1] + 0.17, c[0] + 3.1, c[1] + 7.3);
    const cVertex joint = *SketchPointsOf(*Sketch()->GetSegment(0), false)->GetVertex(0);
    DrawLine(c[0] + 6.77, c[1] - 8.31, joint.x, joint.y);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
    const HWND edit = ::GetDlgItem(dialog->GetSketchPage()->GetSafeHwnd(), IDC_SKETCH_DISTANCE);
    ASSERT_EQ(::GetFocus(), edit) << "the length shows for typing over";
    const cVertex& end = *SketchPointsOf(*Sketch()->GetSegment(1), false)->GetVertex(1);
    ASSERT_EQ(end.x, joint.x);
    ASSERT_EQ(end.y, joint.y);
    const std::size_t undo = dialog->GetSketchPage()->UndoStateCount();
    // The user goes on without typing: the length shown to three decimals
    // is not applied.
    ::SetFocus(view->GetSafeHwnd());
    mfc::PumpUntilIdle();
    const cVertex& kept = *SketchPointsOf(*Sketch()->GetSegment(1), false)->GetVertex(1);
    EXPECT_EQ(kept.x, joint.x);
    EXPECT_EQ(kept.y, joint.y);
    EXPECT_EQ(dialog->GetSketchPage()->UndoStateCount(), undo);
    // A length typed over it is.
    ::SetFocus(edit);
    for (const wchar_t key : std::wstring(L"12"))
        ::SendMessageW(edit, WM_CHAR, key, 0);
    ::SetFocus(view->GetSafeHwnd());
    mfc::PumpUntilIdle();
    ST_ISectionCurve& line = *Sketch()->GetSegment(1);
    EXPECT_NEAR(SketchCurveValue(line, nullptr), 12.0, 1e-4);
}

TEST_F(SketchTabEditing, ALengthTypedForOneShapeNeverReachesTheShapeChosenNext)
{
    MakeRevolvedShapes(2);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapping(false);
    float c[3];
    Centre(c);
    // On the second shape: a line whose end is then clicked (selected).
    DrawLine(c[0] - 10, c[1], c[0] + 10, c[1] + 4);
    ST_ISectionCurve* second = Sketch();
    const double length = SketchCurveValue(*second->GetSegment(0), nullptr);
    Command(kCmdProfileSelect);
    view->Redraw(kFullRedraw);
    const cVertex end = *SketchPointsOf(*second->GetSegment(0), false)->GetVertex(1);
    viewinput::Click(view, At(c[0], c[1] - 12));
    viewinput::Move(view, At(end.x, end.y));
    viewinput::Click(view, At(end.x, end.y));
    ASSERT_TRUE(SketchPointsOf(*second->GetSegment(0), false)->GetVertex(1)->flags & kSketchPointSelected);
    // On the first: a line, 30 typed over its length, and a click on the
    // second shape in the list, which takes the focus from the edit first.
    ChooseListItem(0);
    ShowTab(L"Sketch");
    Centre(c);
    DrawLine(c[0] - 10, c[1] - 6, c[0] + 10, c[1] - 2);
    const HWND edit = ::GetDlgItem(dialog->GetSketchPage()->GetSafeHwnd(), IDC_SKETCH_DISTANCE);
    ASSERT_EQ(::GetFocus(), edit);
    for (const wchar_t key : std::wstring(L"30"))
        ::SendMessageW(edit, WM_CHAR, key, 0);
    ::SetFocus(::GetDlgItem(Window(), IDC_SHAPES_LIST));
    ChooseListItem(1);
    mfc::PumpUntilIdle();
    ASSERT_EQ(Sketch(), second);
    EXPECT_NEAR(SketchCurveValue(*second->GetSegment(0), nullptr), length, 1e-5);
}

TEST_F(SketchTabEditing, AnotherToolChosenInTheMiddleOfALineLeavesNoTraceOfIt)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    float c[3];
    Centre(c);
    Command(kCmdProfileLine);
    const float start[2] = {c[0] - 10, c[1] + 7};
    viewinput::Click(view, At(start[0], start[1]));
    viewinput::Move(view, At(c[0] + 5, c[1] + 3));
    ASSERT_TRUE(view->GetLabelAnnotation(0)->IsVisible()) << "the line's length shows by the cursor";
    PageButton(IDC_SKETCH_ARC);
    ASSERT_EQ(Editor()->GetElement(), nullptr);
    EXPECT_FALSE(view->GetLabelAnnotation(0)->IsVisible()) << "the dropped line's length";
    // A line begun a few pixels beside the vertical through the dropped
    // line's start is not aligned with that start.
    PageButton(IDC_SKETCH_LINE);
    POINT first = At(start[0], c[1] - 9);
    first.x += 3;
    float clicked[3];
    ASSERT_TRUE(ScreenToSketchPoint(view, first, Sketch()->frame, clicked));
    viewinput::Click(view, first);
    viewinput::Click(view, At(c[0] + 8, c[1] - 4));
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    const cVertex& begun = *SketchPointsOf(*Sketch()->GetSegment(0), false)->GetVertex(0);
    EXPECT_EQ(begun.x, clicked[0]);
    EXPECT_EQ(begun.y, clicked[1]);
}

TEST_F(SketchTabEditing, PressedAgainWhereADraggedEndWasDroppedThatEndIsTaken)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapping(false);
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10, c[1] - 5, c[0] + 2, c[1] - 3);
    DrawLine(c[0] - 8, c[1] + 6, c[0] + 9, c[1] + 8);
    Command(kCmdProfileSelect);
    viewinput::Click(view, At(c[0] + 12, c[1] - 12));
    view->Redraw(kFullRedraw);
    // The first line's end dragged away; the dropped line comes last.
    const cVertex& end = *SketchPointsOf(*Sketch()->GetSegment(0), false)->GetVertex(1);
    const POINT from = At(end.x, end.y), to{from.x + 12, from.y + 20};
    viewinput::Move(view, from);
    viewinput::Inject(view, WM_LBUTTONDOWN, from);
    viewinput::Move(view, POINT{from.x + 6, from.y + 10});
    viewinput::Move(view, to);
    viewinput::Inject(view, WM_LBUTTONUP, to);
    ST_ISectionCurve* dropped = Sketch()->GetSegment(1);
    // Pressed again there with the hand still: that end is taken, not the
    // other line's.
    viewinput::Inject(view, WM_LBUTTONDOWN, to);
    EXPECT_TRUE(Editor()->IsDraggingSketch());
    EXPECT_TRUE(SketchPointsOf(*dropped, false)->GetVertex(1)->flags & kSketchPointSelected);
    EXPECT_FALSE(SketchPointsOf(*Sketch()->GetSegment(0), false)->GetVertex(1)->flags & kSketchPointSelected);
    viewinput::Inject(view, WM_LBUTTONUP, to);
}

// A line's end dragged out of the view in a turned view and let go over
// the list of shapes: the drag ends there. The release went to the list,
// so the end went on following the cursor with the button up.
TEST_F(SketchTabEditing, ALineEndLetGoOutsideTheViewStopsFollowingTheCursor)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapping(false);
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10, c[1] - 5, c[0] + 2, c[1] - 3);
    Command(kCmdProfileSelect);
    viewinput::Click(view, At(c[0] + 12, c[1] - 12));
    view->Redraw(kFullRedraw);
    const cVertex& end = *SketchPointsOf(*Sketch()->GetSegment(0), false)->GetVertex(1);
    const POINT from = At(end.x, end.y);
    viewinput::Move(view, from);
    viewinput::Inject(view, WM_LBUTTONDOWN, from);
    viewinput::Move(view, POINT{from.x + 6, from.y + 10});
    LetGoOverTheShapeList();
    const auto ends = [&]
    {
        std::vector<float> xy;
        for (std::uint32_t i = 0; i < Sketch()->GetSegmentCount(); ++i)
            for (std::uint32_t k = 0; k < 2; ++k)
            {
                const cVertex& v = *SketchPointsOf(*Sketch()->GetSegment(i), false)->GetVertex(k);
                xy.insert(xy.end(), {v.x, v.y});
            }
        return xy;
    };
    const std::vector<float> released = ends();
    for (int i = 1; i <= 4; ++i)
        viewinput::Move(view, POINT{from.x - 10 * i, from.y + 8 * i});
    EXPECT_FALSE(Editor()->IsDraggingSketch());
    EXPECT_EQ(ends(), released);
}

namespace
{

// Presses handle `index` of the mode, drags it 30 pixels right and 15 down
// in five moves and lets it go.
void DragHandleBy30x15(cCPView* view, CUIM_ExtendSurface& mode, int index)
{
    const POINT handle = PixelOf(view, mode.GetHandlePoints()[index]);
    viewinput::Move(view, POINT{handle.x + 1, handle.y});
    viewinput::Move(view, handle);
    ASSERT_EQ(mode.GetHoveredHandle(), index);
    viewinput::Inject(view, WM_LBUTTONDOWN, handle);
    for (int i = 1; i <= 5; ++i)
        viewinput::Move(view, POINT{handle.x + 6 * i, handle.y + 3 * i});
    viewinput::Inject(view, WM_LBUTTONUP, POINT{handle.x + 30, handle.y + 15});
}

} // namespace

void SketchTabEditing::DrawLineOntoTheWallInATurnedView()
{
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapping(false);
    const tFramePolyline<cVertex>& wall = Sketch()->sections[0];
    ASSERT_GT(wall.vertices.size(), 4u);
    Command(kCmdProfileLine);
    for (const std::size_t i : {wall.vertices.size() / 4, wall.vertices.size() * 3 / 4})
        viewinput::Click(view, PixelOf(view, wall.vertices[i].Position()));
}

// The profile plane turned about the axis with the middle handle on the
// Shape tab: on the Sketch tab, in a turned view, a line clicked onto two
// of the wall's mesh points lies on the wall (radius 20). The points stayed
// in the plane the fit had cut, off the turned sketch, and the line lay
// inside the wall.
TEST_F(SketchTabEditing, AProfilePlaneTurnedByItsHandleKeepsTheWallsMeshPointsOnTheSketch)
{
    MakeRevolvedShapes(1);
    view->Redraw(kFullRedraw);
    mfc::PumpUntilIdle();
    CUIM_ExtendSurface* mode = dialog->GetExtendMode();
    ASSERT_TRUE(mode && mode->GetHandleCount() == 3);
    DragHandleBy30x15(view, *mode, 2);
    DrawLineOntoTheWallInATurnedView();
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    const tPolyline<cVertex>& ends = *SketchPointsOf(*Sketch()->GetSegment(0), false);
    const double pixel = PixelsToWorldLength(view, 1);
    for (std::uint32_t k = 0; k < 2; ++k)
        EXPECT_NEAR(std::fabs(ends.GetVertex(k)->x), 20.0, pixel) << k << " pixel " << pixel;
}

// The same for an extruded shape whose bottom handle moved its profile
// along the direction: a line clicked onto two of the wall's mesh points in
// a turned view ends on the wall (radius 20), where the points left below
// the moved sketch took the ends nearly 3 off it.
TEST_F(SketchTabEditing, AnExtrudedProfileMovedByItsHandleKeepsTheWallsMeshPointsOnTheSketch)
{
    Open(scans::Cylinder({560, -610, 400}, {0.25, -0.3, 0.92}, 20.0, 50.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Extruded);
    view = dialog->GetShapesView();
    view->Redraw(kFullRedraw);
    mfc::PumpUntilIdle();
    CUIM_ExtendSurface* mode = dialog->GetExtendMode();
    ASSERT_TRUE(mode && mode->GetHandleCount() == 2);
    DragHandleBy30x15(view, *mode, 0);
    DrawLineOntoTheWallInATurnedView();
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    const tPolyline<cVertex>& ends = *SketchPointsOf(*Sketch()->GetSegment(0), false);
    const double pixel = PixelsToWorldLength(view, 1);
    for (std::uint32_t k = 0; k < 2; ++k)
        EXPECT_NEAR(std::hypot(ends.GetVertex(k)->x, ends.GetVertex(k)->y), 20.0, 2 * pixel) << k;
}

TEST_F(SketchTabEditing, ALengthThatIsNoPositiveNumberChangesNothingAndTheFieldShowsTheLengthAgain)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapping(false);
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10, c[1], c[0] + 10, c[1] + 4);
    const double length = SketchCurveValue(*Sketch()->GetSegment(0), nullptr);
    wchar_t shown[64];
    std::swprintf(shown, 64, L"%.3f", length);
    const HWND edit = ::GetDlgItem(dialog->GetSketchPage()->GetSafeHwnd(), IDC_SKETCH_DISTANCE);
    const std::size_t undo = dialog->GetSketchPage()->UndoStateCount();
    // A comma for the decimal point, a unit after the number, a hexadecimal
    // form, a negative length.
    for (const wchar_t* typed : {L"12,5", L"7mm", L"0x10", L"-5"})
    {
        ::SetFocus(edit);
        ::SetWindowTextW(edit, L"");
        for (const wchar_t* k = typed; *k; ++k)
            ::SendMessageW(edit, WM_CHAR, *k, 0);
        ::SetFocus(view->GetSafeHwnd());
        mfc::PumpUntilIdle();
        EXPECT_EQ(SketchCurveValue(*Sketch()->GetSegment(0), nullptr), length) << typed;
        EXPECT_EQ(dialog->GetSketchPage()->UndoStateCount(), undo) << typed;
        wchar_t text[64] = {};
        ::GetWindowTextW(edit, text, 64);
        EXPECT_EQ(std::wstring(text), shown) << typed;
    }
}

// The field applies a typed length as it loses the focus. Applied only once
// the focus had moved, the length came after the control that took it had
// run: Create built the surface with the old length, and the Shape tab ended
// the editor, so that the typed length was lost.
TEST_F(SketchTabEditing, ALengthTypedAndLeftForCreateOrAnotherTabIsAppliedFirst)
{
    InstallShapeTransfer();
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapping(false);
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10, c[1], c[0] + 10, c[1] + 4);
    const HWND edit = ::GetDlgItem(dialog->GetSketchPage()->GetSafeHwnd(), IDC_SKETCH_DISTANCE);
    const auto type = [&](const wchar_t* text)
    {
        ::SetFocus(edit);
        ::SetWindowTextW(edit, L"");
        for (const wchar_t* k = text; *k; ++k)
            ::SendMessageW(edit, WM_CHAR, *k, 0);
    };
    const auto lastBrepBox = []
    {
        ON_BoundingBox box;
        for (const CDezazObject* object : DezazApp().ActiveDoc().Objects())
            if (dynamic_cast<const CDezazBrepObject*>(object))
                box = object->BoundingBox();
        return box;
    };
    type(L"17");
    ::SetFocus(::GetDlgItem(Window(), IDC_SHAPES_CREATE));
    Click(IDC_SHAPES_CREATE);
    mfc::PumpUntilIdle();
    EXPECT_NEAR(SketchCurveValue(*Sketch()->GetSegment(0), nullptr), 17.0, 1e-4);
    // Created again, as the sketch now stands: the same surface.
    const ON_BoundingBox created = lastBrepBox();
    ASSERT_TRUE(created.IsValid());
    Click(IDC_SHAPES_CREATE);

    EXPECT_LT((lastBrepBox().m_max - created.m_max).Length() + (lastBrepBox().m_min - created.m_min).Length(), 1e-9);
    type(L"30");
    ::SetFocus(::GetDlgItem(Window(), IDC_SHAPES_TABS));
    ShowTab(L"Shape");
    mfc::PumpUntilIdle();
    EXPECT_NEAR(SketchCurveValue(*Sketch()->GetSegment(0), nullptr), 30.0, 1e-4);
}



// The Distance/Radius field goes on showing a line's length after the line
// went (Undo, Delete, Clear All): a length typed there was applied to
// nothing, and nothing said so. It shows no value then.
TEST_F(SketchTabEditing, TheLengthFieldKeepsNoLengthOfALineThatWent)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapping(false);
    float c[3];
    Centre(c);
    const HWND field = ::GetDlgItem(dialog->GetSketchPage()->GetSafeHwnd(), IDC_SKETCH_DISTANCE);
    const auto text = [&]
    {
        wchar_t shown[64] = L"";
        ::GetWindowTextW(field, shown, 64);
        return std::wstring(shown);
    };
    DrawLine(c[0] - 10, c[1], c[0] + 10, c[1]);
    win32::ResetInputState(); // the next press is no double click
    const auto drawAndCheck = [&]
    {
        DrawLine(c[0] - 10, c[1] - 6, c[0] + 5, c[1] - 6);
        win32::ResetInputState();
        ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
        ASSERT_NE(text(), L"");
    };
    drawAndCheck();
    Command(40009);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    EXPECT_EQ(text(), L"") << "after Undo";
    EXPECT_FALSE(::IsWindowEnabled(field));
    drawAndCheck();
    Command(40005);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    EXPECT_EQ(text(), L"") << "after Delete";
    drawAndCheck();
    PageButton(IDC_SKETCH_CLEAR_ALL);
    ASSERT_EQ(Sketch()->GetSegmentCount(), 0u);
    EXPECT_EQ(text(), L"") << "after Clear All";
    EXPECT_FALSE(::IsWindowEnabled(field));
}

// A press on a spline waits to see whether it is a click or a drag that puts
// in a point. The dialog maximised meanwhile under the still cursor (a key
// does it) moved the view's pixels some 200 under it, and one pixel more was
// taken as a drag: a point went in and was dragged 17 from the press.
TEST_F(SketchTabEditing, APressOnASplineHeldWhileTheDialogIsMaximisedPutsInNoPoint)
{
    MakeRevolvedShapes(1);
    DrawThreePointSplineInATurnedView();
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    const tPolyline<cVertex> points = *SketchPointsOf(*Sketch()->GetSegment(0), false);
    Command(kCmdProfileSelect);
    view->Redraw(kFullRedraw);
    t3DPoint<double> on{};
    ASSERT_TRUE(Sketch()->GetSegment(0)->GetWire()->EvaluateAtFraction(0.25, &on, nullptr));
    POINT cursor = At(on.x, on.y);
    viewinput::Move(view, cursor);
    viewinput::Inject(view, WM_LBUTTONDOWN, cursor);
    ::ClientToScreen(view->GetSafeHwnd(), &cursor);
    ::ShowWindow(Window(), SW_MAXIMIZE);
    mfc::PumpUntilIdle();
    // Five pixels: the most a click may move.
    cursor.x += 5;
    win32::InjectMouseMove(cursor);
    mfc::PumpUntilIdle();
    EXPECT_FALSE(Editor()->IsDraggingSketch());
    win32::InjectMouseButton(WM_LBUTTONUP, cursor);
    mfc::PumpUntilIdle();
    ASSERT_EQ(Sketch()->GetSegmentCount(), 1u);
    const tPolyline<cVertex>& after = *SketchPointsOf(*Sketch()->GetSegment(0), false);
    ASSERT_EQ(after.GetVertexCount(), points.GetVertexCount());
    for (std::uint32_t i = 0; i < after.GetVertexCount(); ++i)
        EXPECT_EQ(PointDistance(after.GetVertex(i)->Position(), points.GetVertex(i)->Position()), 0.0f) << i;
}


// A line drawn on the far side of the axis (x = -20) is the whole profile;
// on the Shape tab its middle handle, dragged 20 pixels towards its tip in
// the turned view, goes that way by the dragged length, as it does on the
// near side. The profile turned the other way round: the handle went 3.13
// back, away from the cursor.
TEST_F(SketchTabEditing, TheMiddleHandleOfAProfileBeyondTheAxisFollowsTheCursor)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapping(false);
    PageButton(IDC_SKETCH_CLEAR_ALL);
    DrawLine(-20, -10, -20, 10);
    ShowTab(L"Shape");
    view->Redraw(kFullRedraw);
    mfc::PumpUntilIdle();
    CUIM_ExtendSurface* mode = dialog->GetExtendMode();
    ASSERT_TRUE(mode && mode->GetHandleCount() == 3);
    const float* at = mode->GetHandlePoints()[2];
    const float start[3] = {at[0], at[1], at[2]};
    const double* f = Sketch()->frame;
    const float tip[3] = {start[0] - 10 * float(f[2]), start[1] - 10 * float(f[6]), start[2] - 10 * float(f[10])};
    const POINT a = PixelOf(view, start), b = PixelOf(view, tip);
    const double pixels = std::hypot(double(b.x - a.x), double(b.y - a.y));
    viewinput::Move(view, POINT{a.x + 1, a.y});
    viewinput::Move(view, a);
    ASSERT_EQ(mode->GetHoveredHandle(), 2);
    viewinput::Inject(view, WM_LBUTTONDOWN, a);
    POINT p = a;
    for (int i = 1; i <= 5; ++i)
    {
        p = POINT{a.x + LONG(std::lround(4 * i * (b.x - a.x) / pixels)), a.y + LONG(std::lround(4 * i * (b.y - a.y) / pixels))};
        viewinput::Move(view, p);
    }
    viewinput::Inject(view, WM_LBUTTONUP, p);
    view->Redraw(kFullRedraw);
    const float* end = mode->GetHandlePoints()[2];
    double moved = 0.0;
    for (int k = 0; k < 3; ++k)
        moved += double(end[k] - start[k]) * (tip[k] - start[k]) / 10.0;
    const double pixel = PixelsToWorldLength(view, 1);
    EXPECT_NEAR(moved, 20 * pixel, pixel) << "pixel " << pixel;
}

// With snapping on and a snap distance of 10, a line's end dragged onto
// another line's start is not put on a step: its label read "24 mm", the
// length cut to the step's decimals, for a line 24.244 long, and an arc's
// dragged end "R:6" for a radius of 6.122. A length put on a step still
// shows as the step's whole number.
TEST_F(SketchTabEditing, ALineEndDraggedOntoAPointShowsItsLengthUnstepped)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapping(false);
    float c[3];
    Centre(c);
    DrawLine(c[0] - 10, c[1], c[0] + 7.3, c[1]);
    win32::ResetInputState();
    DrawLine(c[0] + 13.7, c[1] + 5, c[0] + 20, c[1] + 5.5);
    SetSnapping(true);
    SetSnapDistanceIndex(0); // steps of 10
    Command(kCmdProfileSelect);
    view->Redraw(kFullRedraw);
    const cVertex end = *SketchPointsOf(*Sketch()->GetSegment(0), false)->GetVertex(1);
    const cVertex onto = *SketchPointsOf(*Sketch()->GetSegment(1), false)->GetVertex(0);
    const auto label = [&] { return std::wstring(view->GetLabelAnnotation(0)->GetLabel()->GetText()); };
    viewinput::Move(view, At(end.x, end.y));
    viewinput::Inject(view, WM_LBUTTONDOWN, At(end.x, end.y));
    viewinput::Move(view, At(end.x + 4, end.y - 9));
    EXPECT_EQ(label(), L"20 mm") << "a length put on a step";
    viewinput::Move(view, At(onto.x + 0.2, onto.y + 0.1));
    viewinput::Inject(view, WM_LBUTTONUP, At(onto.x + 0.2, onto.y + 0.1));
    ST_ISectionCurve* dragged = Sketch()->GetSegment(1);
    ASSERT_EQ(SketchPointsOf(*dragged, false)->GetVertex(1)->x, onto.x) << "dropped onto the other line's start";
    wchar_t expected[32];
    std::swprintf(expected, 32, L"%.5f mm", SketchCurveValue(*dragged, nullptr));
    EXPECT_EQ(label(), expected);

    // An arc's end dragged keeps no step either: its radius shows in full.
    win32::ResetInputState();
    SetSnapping(false);
    Command(kCmdProfileArc);
    viewinput::Click(view, At(c[0] - 12, c[1] - 8));
    viewinput::Click(view, At(c[0] - 2, c[1] - 10));
    viewinput::Click(view, At(c[0] - 6, c[1] - 6));
    SetSnapping(true);
    Command(kCmdProfileSelect);
    view->Redraw(kFullRedraw);
    ST_ISectionCurve* arc = Sketch()->GetSegment(2);
    ASSERT_EQ(arc->GetClassGuid(), CLSID_ST_TArcCurve);
    const cVertex arcEnd = *SketchPointsOf(*arc, false)->GetVertex(2);
    win32::ResetInputState();
    viewinput::Move(view, At(arcEnd.x, arcEnd.y));
    viewinput::Inject(view, WM_LBUTTONDOWN, At(arcEnd.x, arcEnd.y));
    viewinput::Move(view, At(arcEnd.x + 1.3, arcEnd.y - 2.7));
    const std::wstring shown = label();
    viewinput::Inject(view, WM_LBUTTONUP, At(arcEnd.x + 1.3, arcEnd.y - 2.7));
    std::swprintf(expected, 32, L"R:%.5f", SketchCurveValue(*Sketch()->GetSegment(2), nullptr));
    EXPECT_EQ(shown, expected);
}

// Lines drawn one after another from where the last one ended: the click
// that starts the next line comes quickly on the same spot, so it arrives as
// the second half of a double click, and it still starts the line.
TEST_F(SketchTabEditing, AQuickClickWhereALineEndedStartsTheNextLineThere)
{
    MakeRevolvedShapes(1);
    ShowTab(L"Sketch");
    TurnAndZoomView();
    SetSnapping(false);
    float c[3];
    Centre(c);
    const POINT end = At(c[0] + 8, c[1] + 2);
    win32::UseManualClock(10000);
    DrawLine(c[0] - 10, c[1], c[0] + 8, c[1] + 2);
    win32::AdvanceClock(200);
    viewinput::Click(view, end);
    win32::AdvanceClock(2000);
    viewinput::Click(view, At(c[0] + 2, c[1] - 9));
    win32::UseSystemClock();
    ASSERT_EQ(Sketch()->GetSegmentCount(), 2u);
    const cVertex& firstEnd = *SketchPointsOf(*Sketch()->GetSegment(0), false)->GetVertex(1);
    const cVertex& secondStart = *SketchPointsOf(*Sketch()->GetSegment(1), false)->GetVertex(0);
    // Both clicked on the same pixel.
    EXPECT_FLOAT_EQ(secondStart.x, firstEnd.x);
    EXPECT_FLOAT_EQ(secondStart.y, firstEnd.y);
}
