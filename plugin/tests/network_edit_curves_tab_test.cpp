// The Curves tab of the shapes dialog with its network editing mode: the tab
// starts the mode, the page's buttons switch its sub-states and panels (and
// Escape leaves them showing the mode's), curves drawn with the mouse on the
// scan join where one is clicked onto the other and show in the view, the
// page's Undo takes them back (Clear All too, and a curve begun before it
// goes with it), a drag cut short by another
// tab leaves the network as it was, another shape made current takes
// nothing of the first one's network, drag or undo list, and on a curved scan
// in a turned view the scan shows shaded and a curve on it shows whole.
#include "core/frame_math.h"
#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "modes/network_edit_mode.h"
#include "modes/section_plane_picker.h"
#include "platform/wgl/pixel_probe.h"
#include "platform/win32/menu.h"
#include "platform/win32/prompt_script.h"
#include "render/tests/support/camera_moves.h"
#include "plugin/dialogs/curves_page.h"
#include "resources/curves.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"

#include <cmath>

namespace
{

class CurvesTab : public ShapesDialog
{
protected:
    // A sheet far from the origin, 80 x 80 mm, leaning a little.
    void OpenNetwork(const ON_Mesh& scan = scans::Plane({1200, -640, 310}, {0.1, 0.05, 1.0}, 80.0, 20, 0.01))
    {
        win32::UseManualClock(10000);
        Open(scan);
        StartNetwork();
    }
    // A network of the whole scan, on the Curves tab.
    void StartNetwork()
    {
        Click(IDC_SHAPES_SELECT_ALL);
        ChooseKind(eShapeKind::CurveNetwork);
        const std::vector<std::wstring> titles = dialog->TabTitles();
        for (std::size_t i = 0; i < titles.size(); ++i)
        {
            if (titles[i] == L"Curves")
                curvesTab = int(i);
            if (titles[i] == L"Shape")
                shapeTab = int(i);
        }
        ASSERT_GE(curvesTab, 0);
        dialog->SelectTab(curvesTab);
        mfc::PumpUntilIdle();
        view = dialog->GetShapesView();
        page = dynamic_cast<CSubNetworkDlg*>(SectionPlaneHostOf(view));
        ASSERT_NE(page, nullptr);
        if (!page->GetSafeHwnd())
        {
            ASSERT_TRUE(page->CreatePage(dialog.get()));
        }
        page->ShowWindow(SW_SHOW);
        mfc::PumpUntilIdle();
        ASSERT_NE(Mode(), nullptr) << "the Curves tab starts the network mode";
    }
    void TearDown() override
    {
        ShapesDialog::TearDown();
        win32::UseSystemClock();
    }
    CUIM_EditNetwork* Mode() const { return dynamic_cast<CUIM_EditNetwork*>(view->GetActiveMode()); }
    ST_ISectionCurve* Network() const { return Mode() ? Mode()->GetNetwork() : nullptr; }
    std::uint32_t CurveCount() const { return Network() ? Network()->GetSegmentCount() : 0; }
    void PageButton(int id)
    {
        ::SendMessageW(page->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       LPARAM(::GetDlgItem(page->GetSafeHwnd(), id)));
        mfc::PumpUntilIdle();
    }
    bool Pressed(int id) const
    {
        return ::SendDlgItemMessageW(page->GetSafeHwnd(), id, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    // Client points of the view, as offsets from its middle.
    POINT At(int dx, int dy) const
    {
        RECT client{};
        ::GetClientRect(view->GetSafeHwnd(), &client);
        return POINT{client.right / 2 + dx, client.bottom / 2 + dy};
    }
    // The screen point of the first curve at parameter t.
    POINT OnFirstCurve(double t) const
    {
        t3DPoint<double> on{};
        EXPECT_TRUE(Network()->GetSegment(0)->EvaluateInWorld(t, &on, nullptr, nullptr));
        cVertex point;
        point.x = float(on.x), point.y = float(on.y), point.z = float(on.z);
        return ScreenOf(point);
    }
    // A curve has exactly these nodes.
    template <class TNodes> static void ExpectNodes(const ST_ISectionCurve& curve, const TNodes& nodes)
    {
        const auto& after = curve.GetDefiningPoints()->vertices;
        ASSERT_EQ(after.size(), nodes.size());
        for (std::size_t i = 0; i < nodes.size(); ++i)
            EXPECT_EQ(PointDistance(after[i].Position(), nodes[i].Position()), 0.0f) << "node " << i;
    }
    // The first curve of the shown network has exactly these nodes.
    template <class TNodes> void ExpectFirstCurveNodes(const TNodes& nodes) const
    {
        ExpectNodes(*Network()->GetSegment(0), nodes);
    }
    POINT ScreenOf(const cVertex& v) const
    {
        const float p[3] = {v.x, v.y, v.z};
        return PixelOf(view, p);
    }
    void Input(UINT message, POINT client)
    {
        ::ClientToScreen(view->GetSafeHwnd(), &client);
        if (message == WM_MOUSEMOVE)
            win32::InjectMouseMove(client);
        else
            win32::InjectMouseButton(message, client);
        mfc::PumpUntilIdle();
    }
    void Paint() { view->Redraw(kFullRedraw); }
    void PanelButton(CWnd& panel, int id)
    {
        ::SendMessageW(panel.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       LPARAM(::GetDlgItem(panel.GetSafeHwnd(), id)));
        mfc::PumpUntilIdle();
    }
    void Escape()
    {
        ::SetFocus(view->GetSafeHwnd());
        win32::InjectKey(VK_ESCAPE, true);
        win32::InjectKey(VK_ESCAPE, false);
        mfc::PumpUntilIdle();
    }
    // The view's middle-button menu as shown (its text), answered with the
    // choice.
    std::wstring MiddleButtonMenu(INT_PTR choice)
    {
        std::wstring shown;
        const auto answer = [&shown, choice](HWND, const std::wstring& text) {
            shown = text;
            return choice;
        };
        win32::QueuePromptAnswer({win32::kPopupMenuPrompt, L"", 0, answer});
        const POINT at = At(0, 0);
        ::SendMessageW(view->GetSafeHwnd(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(at.x, at.y));
        ::SendMessageW(view->GetSafeHwnd(), WM_MBUTTONUP, 0, MAKELPARAM(at.x, at.y));
        mfc::PumpUntilIdle();
        return shown;
    }
    // In Modify Curves, the first curve's middle node pressed and moved: a
    // node drag runs. Answers the node as it was.
    cVertex DragMiddleNode()
    {
        PageButton(IDC_CURVES_MODIFY);
        Paint();
        const cVertex middle = *Network()->GetSegment(0)->GetDefiningPoints()->GetVertex(1);
        const POINT node = ScreenOf(middle);
        win32::AdvanceClock(2000);
        Input(WM_MOUSEMOVE, node);
        Input(WM_LBUTTONDOWN, node);
        Input(WM_MOUSEMOVE, POINT{node.x + 10, node.y + 20});
        return middle;
    }
    // The network page in a turned view with one curve drawn across the
    // scan; that curve's nodes (none when the drawing made no curve).
    auto TurnedNetworkWithOneCurve()
    {
        OpenNetwork();
        testview::TurnView(view, 20.0, 10.0);
        DrawCurve(0);
        decltype(Network()->GetSegment(0)->GetDefiningPoints()->vertices) nodes;
        if (CurveCount() == 1)
            nodes = Network()->GetSegment(0)->GetDefiningPoints()->vertices;
        return nodes;
    }
    // A curve across the scan: three clicks and a double click.
    void DrawCurve(int dy)
    {
        PageButton(IDC_CURVES_ADD);
        Paint();
        Click(At(-90, dy));
        Click(At(0, dy + 10));
        DoubleClick(At(90, dy));
    }
    void Click(POINT p)
    {
        win32::AdvanceClock(2000);
        Input(WM_MOUSEMOVE, p);
        Input(WM_LBUTTONDOWN, p);
        Input(WM_LBUTTONUP, p);
        Paint();
    }
    void DoubleClick(POINT p)
    {
        Click(p);
        Input(WM_LBUTTONDOWN, p);
        Input(WM_LBUTTONUP, p);
        Paint();
    }
    using ShapesDialog::Click;

    int curvesTab = -1, shapeTab = -1;
    cCPView* view = nullptr;
    CSubNetworkDlg* page = nullptr;
};

TEST_F(CurvesTab, ThePageButtonsSwitchTheModesSubStatesAndPanels)
{
    OpenNetwork();
    PageButton(IDC_CURVES_ADD);
    EXPECT_EQ(Mode()->GetSubState(), kNetworkAddCurve);
    EXPECT_TRUE(Pressed(IDC_CURVES_ADD));
    EXPECT_TRUE(page->AddPanel().IsWindowVisible());
    EXPECT_FALSE(page->ModifyPanel().IsWindowVisible());
    PageButton(IDC_CURVES_MODIFY);
    EXPECT_EQ(Mode()->GetSubState(), kNetworkModifyCurves);
    EXPECT_TRUE(Pressed(IDC_CURVES_MODIFY));
    EXPECT_FALSE(Pressed(IDC_CURVES_ADD));
    EXPECT_TRUE(page->ModifyPanel().IsWindowVisible());
    PageButton(IDC_CURVES_EXTRAPOLATE);
    EXPECT_EQ(Mode()->GetSubState(), kNetworkExtrapolateEnds);
    EXPECT_FALSE(page->ModifyPanel().IsWindowVisible());
    EXPECT_FALSE(page->AddPanel().IsWindowVisible());
    EXPECT_FALSE(page->SectionPanel().IsWindowVisible());
    PageButton(IDC_CURVES_SECTION);
    EXPECT_EQ(Mode()->GetSubState(), kNetworkSectionPlane);
    EXPECT_TRUE(page->SectionPanel().IsWindowVisible());
    EXPECT_TRUE(Pressed(IDC_CURVES_SECTION));
}

TEST_F(CurvesTab, TheMiddleButtonShowsTheMenuOfTheSubStateAndItsChoiceReachesTheMode)
{
    OpenNetwork();
    const std::wstring shown = MiddleButtonMenu(kCmdNetworkModify);
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u) << "the menu was shown";
    EXPECT_NE(shown.find(L"Modify Curves"), std::wstring::npos) << shown;
    EXPECT_NE(shown.find(L"Sub-sampling"), std::wstring::npos) << shown;
    EXPECT_EQ(shown.find(L"Add Curve"), std::wstring::npos) << "the current sub-state's item is left out: " << shown;
    ASSERT_NE(Mode(), nullptr);
    EXPECT_EQ(Mode()->GetSubState(), kNetworkModifyCurves) << "the chosen command reached the mode";
}

TEST_F(CurvesTab, CurvesDrawnOnTheScanJoinShowAndUndo)
{
    OpenNetwork();
    PageButton(IDC_CURVES_ADD);
    Paint();
    const wgl::PixelImage before = wgl::ReadWindowImage(view->GetSafeHwnd());
    // One curve across the middle, then one down through it.
    Click(At(-90, 10));
    Click(At(-20, 0));
    Click(At(50, 8));
    DoubleClick(At(100, -5));
    ASSERT_EQ(CurveCount(), 1u);
    ST_ISectionCurve* first = Network()->GetSegment(0);
    ASSERT_EQ(first->GetDefiningPoints()->GetVertexCount(), 4u);
    // The second curve starts below, crosses the first between its second
    // and third node and ends above.
    Click(At(15, 70));
    t3DPoint<double> onFirst{};
    const double fraction = 0.5;
    ASSERT_TRUE(first->EvaluateInWorld(fraction, &onFirst, nullptr, nullptr));
    cVertex crossing;
    crossing.x = float(onFirst.x);
    crossing.y = float(onFirst.y);
    crossing.z = float(onFirst.z);
    const POINT cross = ScreenOf(crossing);
    Input(WM_MOUSEMOVE, cross);
    Click(cross);
    DoubleClick(At(25, -70));
    ASSERT_EQ(CurveCount(), 2u);
    // They share one node: the first took the crossing as a node.
    int shared = 0;
    const tPolyline<cVertex>* a = Network()->GetSegment(0)->GetDefiningPoints();
    const tPolyline<cVertex>* b = Network()->GetSegment(1)->GetDefiningPoints();
    for (const cVertex& p : a->vertices)
        for (const cVertex& q : b->vertices)
            shared += PointDistance(p.Position(), q.Position()) < 1e-3;
    EXPECT_EQ(shared, 1);
    for (std::uint32_t i = 0; i < 2; ++i)
        EXPECT_TRUE(IsUsableNetworkCurve(*Network()->GetSegment(i)));
    Snapshot("curves_network_drawn");
    // The view shows them: the pixels along the first curve changed.
    Paint();
    const wgl::PixelImage after = wgl::ReadWindowImage(view->GetSafeHwnd());
    int changed = 0, probes = 0;
    for (double f = 0.1; f < 0.95; f += 0.1)
    {
        t3DPoint<double> p{};
        if (!Network()->GetSegment(0)->EvaluateInWorld(f, &p, nullptr, nullptr))
            continue;
        cVertex v;
        v.x = float(p.x);
        v.y = float(p.y);
        v.z = float(p.z);
        const POINT s = ScreenOf(v);
        ++probes;
        bool any = false;
        for (LONG dy = -2; dy <= 2 && !any; ++dy)
            for (LONG dx = -2; dx <= 2 && !any; ++dx)
                any = (after.At(s.x + dx, s.y + dy) & 0xFFFFFFu) != (before.At(s.x + dx, s.y + dy) & 0xFFFFFFu);
        changed += any;
    }
    EXPECT_GE(changed, probes - 1) << "the curve shows along its length";

    // The page's Undo takes the second curve back, then the first.
    const std::size_t undo = page->GetUndoCount();
    EXPECT_GE(undo, 2u);
    PageButton(IDC_CURVES_UNDO);
    EXPECT_EQ(CurveCount(), 1u);
    EXPECT_EQ(Network()->GetSegment(0)->GetDefiningPoints()->GetVertexCount(), 4u)
        << "the joint node goes with the curve that made it";
    PageButton(IDC_CURVES_UNDO);
    EXPECT_EQ(CurveCount(), 0u);
}

TEST_F(CurvesTab, UndoLastSelectionGivesBackTheSelectionAndKeepsTheCurves)
{
    OpenNetwork();
    PageButton(IDC_CURVES_ADD);
    Paint();
    Click(At(-90, 0));
    DoubleClick(At(90, 0));
    ASSERT_EQ(CurveCount(), 1u);
    const std::size_t all = SelectedTriangles();
    ASSERT_GT(all, 0u);
    Click(IDC_SHAPES_DESELECT_ALL);
    ASSERT_EQ(SelectedTriangles(), 0u);
    mfc::PumpUntilIdle();
    const auto red = [&] {
        const std::uint32_t p = wgl::ReadWindowImage(view->GetSafeHwnd()).At(At(-60, 60).x, At(-60, 60).y);
        return int((p >> 16) & 255) > int((p >> 8) & 255) + 100;
    };
    ASSERT_FALSE(red());
    Click(IDC_SHAPES_UNDO_SELECTION);
    EXPECT_EQ(SelectedTriangles(), all);
    EXPECT_EQ(CurveCount(), 1u) << "the curve stays";
    mfc::PumpUntilIdle();
    EXPECT_TRUE(red()) << "the view shows the marks back";
}

TEST_F(CurvesTab, ADragCutShortByAnotherTabLeavesTheNetworkAsItWas)
{
    OpenNetwork();
    DrawCurve(0);
    ASSERT_EQ(CurveCount(), 1u);
    ST_IProfiledSurface* surface = page->CurrentNetwork();
    ASSERT_NE(surface, nullptr);
    const cVertex middle = DragMiddleNode();
    ASSERT_TRUE(Mode()->IsNodeDragging());
    Snapshot("curves_network_node_drag");
    EXPECT_EQ(surface->GetProfileCurve()->GetSegmentCount(), 0u) << "the dragged curve is out of the network";
    ASSERT_GE(shapeTab, 0);
    dialog->SelectTab(shapeTab);
    mfc::PumpUntilIdle();
    win32::ResetInputState();
    ST_ISectionCurve* network = surface->GetProfileCurve();
    ASSERT_EQ(network->GetSegmentCount(), 1u);
    const cVertex back = *network->GetSegment(0)->GetDefiningPoints()->GetVertex(1);
    EXPECT_EQ(back.x, middle.x);
    EXPECT_EQ(back.y, middle.y);
    EXPECT_EQ(back.z, middle.z);
}

TEST_F(CurvesTab, ClosingTheDialogDuringADragKeepsTheDraggedCurveInTheShape)
{
    OpenNetwork();
    DrawCurve(0);
    ASSERT_EQ(CurveCount(), 1u);
    // The shape lives on in the document's history after the dialog.
    ST_IProfiledSurface* surface = page->CurrentNetwork();
    ASSERT_NE(surface, nullptr);
    DragMiddleNode();
    ASSERT_TRUE(Mode()->IsNodeDragging());
    dialog.reset();
    win32::ResetInputState();
    ASSERT_NE(surface->GetProfileCurve(), nullptr);
    EXPECT_EQ(surface->GetProfileCurve()->GetSegmentCount(), 1u);
}

} // namespace

TEST_F(CurvesTab, AnotherShapeMadeCurrentTakesNothingOfTheFirstOnesCurvesDragOrUndo)
{
    OpenNetwork();
    DrawCurve(0);
    ASSERT_EQ(CurveCount(), 1u);
    ST_IProfiledSurface* first = page->CurrentNetwork();
    // A node of the first shape is being dragged when a new network shape
    // is made.
    const cVertex middle = DragMiddleNode();
    ASSERT_TRUE(Mode()->IsNodeDragging());
    ChooseKind(eShapeKind::CurveNetwork);
    mfc::PumpUntilIdle();
    ST_IProfiledSurface* second = page->CurrentNetwork();
    ASSERT_NE(second, first);
    ASSERT_NE(Mode(), nullptr);
    EXPECT_FALSE(Mode()->IsNodeDragging()) << "the shape change ended the drag";
    Input(WM_LBUTTONUP, POINT{ScreenOf(middle).x + 10, ScreenOf(middle).y + 20});
    EXPECT_EQ(CurveCount(), 0u) << "the new shape got no curve of the first";
    ASSERT_EQ(first->GetProfileCurve()->GetSegmentCount(), 1u) << "the dragged curve went back to its shape";
    const cVertex back = *first->GetProfileCurve()->GetSegment(0)->GetDefiningPoints()->GetVertex(1);
    EXPECT_EQ(back.x, middle.x);
    EXPECT_EQ(back.y, middle.y);
    EXPECT_EQ(back.z, middle.z);
    // Undo on the new shape has nothing of the first shape's to give.
    EXPECT_EQ(page->GetUndoCount(), 0u);
    PageButton(IDC_CURVES_UNDO);
    EXPECT_EQ(CurveCount(), 0u);
    EXPECT_EQ(first->GetProfileCurve()->GetSegmentCount(), 1u);
}

// A selection tool chosen on the Curves tab takes the view from the network
// editor; another network shape chosen in the list then, the page's Undo put
// the first shape's copy into the one chosen.
TEST_F(CurvesTab, AnotherShapeChosenWhileASelectionToolIsOnTakesNoCurvesOfTheFirstOnUndo)
{
    OpenNetwork();
    DrawCurve(-30);
    ST_IProfiledSurface* first = page->CurrentNetwork();
    const cVertex node = *first->GetProfileCurve()->GetSegment(0)->GetDefiningPoints()->GetVertex(0);
    dialog->SelectTab(shapeTab);
    Click(IDC_SHAPES_NEW_SHAPE);
    StartNetwork();
    DrawCurve(0);
    DrawCurve(30);
    ASSERT_EQ(page->GetUndoCount(), 2u);
    Click(IDC_SHAPES_LINE);
    const HWND list = ::GetDlgItem(Window(), IDC_SHAPES_LIST);
    ::SendMessageW(list, LB_SETCURSEL, 0, 0);
    ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(list));
    mfc::PumpUntilIdle();
    ASSERT_EQ(page->CurrentNetwork(), first);
    EXPECT_EQ(page->GetUndoCount(), 0u);
    PageButton(IDC_CURVES_UNDO);
    ASSERT_EQ(first->GetProfileCurve()->GetSegmentCount(), 1u);
    const cVertex after = *first->GetProfileCurve()->GetSegment(0)->GetDefiningPoints()->GetVertex(0);
    EXPECT_EQ(after.x, node.x);
    EXPECT_EQ(after.y, node.y);
    EXPECT_EQ(after.z, node.z);
}

TEST_F(CurvesTab, ClearAllCurvesCanBeUndoneAndTheEditBeforeItStays)
{
    OpenNetwork();
    DrawCurve(-30);
    DrawCurve(30);
    ASSERT_EQ(CurveCount(), 2u);
    const std::size_t undo = page->GetUndoCount();
    PageButton(IDC_CURVES_MODIFY);
    QueueAnswer(L"Are you sure you want to delete all curves?", IDYES);
    PanelButton(page->ModifyPanel(), IDC_MODIFY_CLEAR_ALL);
    EXPECT_EQ(CurveCount(), 0u);
    EXPECT_EQ(page->GetUndoCount(), undo + 1);
    PageButton(IDC_CURVES_UNDO);
    EXPECT_EQ(CurveCount(), 2u) << "Undo brings the cleared curves back";
    PageButton(IDC_CURVES_UNDO);
    EXPECT_EQ(CurveCount(), 1u) << "and the next Undo takes back the last curve drawn";
}

TEST_F(CurvesTab, ClearAllCurvesWithNoCurveLeftKeepsTheUndoOfTheClearBefore)
{
    OpenNetwork();
    DrawCurve(-30);
    PageButton(IDC_CURVES_MODIFY);
    for (int i = 0; i < 2; ++i)
    {
        QueueAnswer(L"Are you sure you want to delete all curves?", IDYES);
        PanelButton(page->ModifyPanel(), IDC_MODIFY_CLEAR_ALL);
    }
    ASSERT_EQ(CurveCount(), 0u);
    PageButton(IDC_CURVES_UNDO);
    EXPECT_EQ(CurveCount(), 1u) << "Undo brings the cleared curve back";
}

// A curve begun before Clear All goes with the curves it clears: the curve
// drawn next is undone on its own, and the Undo after it gives back the
// curves as they were before.
TEST_F(CurvesTab, ACurveBegunBeforeClearAllGoesWithTheClearedCurves)
{
    OpenNetwork();
    DrawCurve(-30);
    PageButton(IDC_CURVES_ADD);
    Click(At(-90, 40));
    Click(At(0, 50));
    PageButton(IDC_CURVES_MODIFY);
    QueueAnswer(L"Are you sure you want to delete all curves?", IDYES);
    PanelButton(page->ModifyPanel(), IDC_MODIFY_CLEAR_ALL);
    DrawCurve(30);
    ASSERT_EQ(CurveCount(), 1u);
    PageButton(IDC_CURVES_UNDO);
    EXPECT_EQ(CurveCount(), 0u) << "Undo takes back the curve drawn after the clear";
    PageButton(IDC_CURVES_UNDO);
    EXPECT_EQ(CurveCount(), 1u) << "and then gives back the cleared curve";
}

TEST_F(CurvesTab, AnUndoAfterResetGivesBackTheCurvesMovedWithTheScan)
{
    // The scan aligned to a plane fitted to it, and the network drawn there.
    win32::UseManualClock(10000);
    Open(scans::Plane({1200, -640, 310}, {0.1, 0.05, 1.0}, 80.0, 20, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    Click(IDC_SHAPES_ALIGN_BOTTOM);
    ASSERT_TRUE(Enabled(IDC_SHAPES_RESET));
    StartNetwork();
    DrawCurve(-30);
    ASSERT_EQ(CurveCount(), 1u);
    const auto drawn = Network()->GetSegment(0)->GetDefiningPoints()->vertices;
    DrawCurve(30);
    ASSERT_EQ(CurveCount(), 2u);
    double back[12];
    std::copy(dialog->GetMeshFrame(), dialog->GetMeshFrame() + 12, back);
    InvertRigidTransform3x4(back);
    Click(IDC_SHAPES_RESET);
    mfc::PumpUntilIdle();
    PageButton(IDC_CURVES_UNDO);
    ASSERT_EQ(CurveCount(), 1u);
    // The first curve where Reset took the scan, not where it was drawn.
    const auto& undone = Network()->GetSegment(0)->GetDefiningPoints()->vertices;
    ASSERT_EQ(undone.size(), drawn.size());
    for (std::size_t i = 0; i < drawn.size(); ++i)
        for (int r = 0; r < 3; ++r)
        {
            const double* row = back + 4 * r;
            EXPECT_NEAR(undone[i].Position()[r],
                        row[0] * drawn[i].x + row[1] * drawn[i].y + row[2] * drawn[i].z + row[3], 1e-3)
                << "node " << i;
        }
}

TEST_F(CurvesTab, ACurveBeingDrawnWhenResetMovesTheScanMovesWithIt)
{
    // A curve begun on the aligned scan, still being drawn when Reset puts
    // the scan back where it lies.
    win32::UseManualClock(10000);
    Open(scans::Plane({1200, -640, 310}, {0.1, 0.05, 1.0}, 80.0, 20, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    Click(IDC_SHAPES_ALIGN_BOTTOM);
    StartNetwork();
    PageButton(IDC_CURVES_ADD);
    Paint();
    Click(At(-90, 0));
    Click(At(0, 10));
    ASSERT_NE(Mode()->GetDrawnCurve(), nullptr);
    const auto clicked = Mode()->GetDrawnCurve()->GetDefiningPoints()->vertices;
    double back[12];
    std::copy(dialog->GetMeshFrame(), dialog->GetMeshFrame() + 12, back);
    InvertRigidTransform3x4(back);
    Click(IDC_SHAPES_RESET);
    mfc::PumpUntilIdle();
    ASSERT_NE(Mode()->GetDrawnCurve(), nullptr);
    const auto& moved = Mode()->GetDrawnCurve()->GetDefiningPoints()->vertices;
    ASSERT_EQ(moved.size(), clicked.size());
    for (std::size_t i = 0; i < clicked.size(); ++i)
        for (int r = 0; r < 3; ++r)
        {
            const double* row = back + 4 * r;
            EXPECT_NEAR(moved[i].Position()[r],
                        row[0] * clicked[i].x + row[1] * clicked[i].y + row[2] * clicked[i].z + row[3], 1e-3)
                << "point " << i;
        }
}

TEST_F(CurvesTab, EscapeLeavesThePageShowingTheSubStateTheModeIsIn)
{
    OpenNetwork();
    DrawCurve(0);
    PageButton(IDC_CURVES_SECTION);
    Network()->GetSegment(0)->selected = 1;
    Escape();
    ASSERT_EQ(Mode()->GetSubState(), kNetworkSectionPlane) << "the first Escape only deselects";
    EXPECT_TRUE(Pressed(IDC_CURVES_SECTION));
    EXPECT_FALSE(Pressed(IDC_CURVES_MODIFY));
    EXPECT_TRUE(page->SectionPanel().IsWindowVisible());
    EXPECT_FALSE(page->ModifyPanel().IsWindowVisible());
    Escape();
    ASSERT_EQ(Mode()->GetSubState(), kNetworkModifyCurves);
    EXPECT_TRUE(Pressed(IDC_CURVES_MODIFY));
    EXPECT_TRUE(page->ModifyPanel().IsWindowVisible());
    EXPECT_FALSE(page->SectionPanel().IsWindowVisible());
}

TEST_F(CurvesTab, TheGuidingCurvePickerShowsTheNetworkMenuOnTheMiddleButton)
{
    OpenNetwork();
    PageButton(IDC_CURVES_SECTION);
    PanelButton(page->SectionPanel(), IDC_SECTION_CURVE_GUIDED);
    ASSERT_NE(view->FindMode(kModeGuidingCurvePicker), nullptr);
    const std::wstring shown = MiddleButtonMenu(0);
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u) << "the menu was shown";
    EXPECT_NE(shown.find(L"Modify Curves"), std::wstring::npos) << shown;
    EXPECT_NE(shown.find(L"Accept"), std::wstring::npos) << "prepared for the Section Plane sub-state: "
                                                          << shown;
    EXPECT_EQ(shown.find(L"Section Plane"), std::wstring::npos) << shown;
}

TEST_F(CurvesTab, OnACurvedScanInATurnedViewTheScanShowsAndACurveOnItShowsWhole)
{
    // A saddle-free bent patch far from the origin, leaning, with noise: the
    // curve's spline between its nodes runs a little above and below the
    // facets.
    OpenNetwork(scans::CurvedPatch({1200, -640, 310}, {0.15, -0.1, 1.0}, 80.0, 30, 8.0, 0.02));
    testview::TurnView(view, 30.0, -20.0);
    view->RequestRedraw(0);
    PageButton(IDC_CURVES_ADD);
    Paint();
    Click(At(-110, 20));
    Click(At(-40, -15));
    Click(At(30, 10));
    DoubleClick(At(110, -20));
    ASSERT_EQ(CurveCount(), 1u);
    ST_ISectionCurve* curve = Network()->GetSegment(0);
    const tPolyline<cVertex>& nodes = *curve->GetDefiningPoints();
    // The cursor off the curve, so that nothing is hovered.
    Input(WM_MOUSEMOVE, At(0, 150));
    Paint();
    Snapshot("curves_curved_scan_turned");
    const wgl::PixelImage image = wgl::ReadWindowImage(view->GetSafeHwnd());
    const auto channels = [](std::uint32_t p) {
        return std::array<int, 3>{int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
    };
    // Every sample of the curve away from its node markers (lit spheres)
    // shows its blue (0, 0, 0.85) on or beside the sample's pixel.
    int samples = 0;
    for (double f = 0.02; f < 0.99; f += 0.02)
    {
        t3DPoint<double> p{};
        ASSERT_TRUE(curve->EvaluateInWorld(f, &p, nullptr, nullptr));
        cVertex v;
        v.x = float(p.x), v.y = float(p.y), v.z = float(p.z);
        const POINT at = ScreenOf(v);
        bool nearNode = false;
        for (const cVertex& node : nodes.vertices)
            nearNode = nearNode || std::abs(at.x - ScreenOf(node).x) + std::abs(at.y - ScreenOf(node).y) < 10;
        if (nearNode)
            continue;
        ++samples;
        bool blue = false;
        for (LONG dy = -1; dy <= 1 && !blue; ++dy)
            for (LONG dx = -1; dx <= 1 && !blue; ++dx)
            {
                const std::array<int, 3> c = channels(image.At(at.x + dx, at.y + dy));
                blue = c[0] <= 12 && c[1] <= 12 && std::abs(c[2] - 217) <= 12;
            }
        EXPECT_TRUE(blue) << "the curve is hidden at " << f;
    }
    EXPECT_GE(samples, 30);
    // The scan, all marked, shows the marks' red lit on it, opaque; with
    // "Transparent Mesh" it shows through, still red over the grey.
    const std::array<int, 3> background = channels(image.At(4, 4));
    const std::array<int, 3> scan = channels(image.At(At(-60, 60).x, At(-60, 60).y));
    EXPECT_NE(scan, background);
    EXPECT_GT(scan[0], scan[1] + 100) << scan[0] << " " << scan[1] << " " << scan[2];
    ::CheckDlgButton(page->GetSafeHwnd(), IDC_CURVES_TRANSPARENT, BST_CHECKED);
    PageButton(IDC_CURVES_TRANSPARENT);
    Paint();
    Snapshot("curves_curved_scan_transparent");
    const wgl::PixelImage through = wgl::ReadWindowImage(view->GetSafeHwnd());
    const std::array<int, 3> seen = channels(through.At(At(-60, 60).x, At(-60, 60).y));
    EXPECT_GT(seen[0], seen[1] + 40) << seen[0] << " " << seen[1] << " " << seen[2];
    EXPECT_LT(seen[0], scan[0]) << "blended with the background";
}

TEST_F(CurvesTab, APlanePlacedByThePickerStaysWhenThePositionFieldIsTabbedThrough)
{
    OpenNetwork();
    PageButton(IDC_CURVES_SECTION);
    CDSubInteractiveSection& section = page->SectionPanel();
    PanelButton(section, IDC_SECTION_INTERACTIVE);
    ASSERT_NE(view->FindMode(kModeSectionPlanePicker), nullptr);
    Click(At(-60, -50));
    Click(At(40, 70));
    ASSERT_EQ(view->FindMode(kModeSectionPlanePicker), nullptr) << "the picker placed the plane";
    const cPlane placed = page->SectionPlane()->GetPlane();
    ::SendMessageW(section.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_SECTION_POSITION, EN_KILLFOCUS),
                   LPARAM(::GetDlgItem(section.GetSafeHwnd(), IDC_SECTION_POSITION)));
    const cPlane& after = page->SectionPlane()->GetPlane();
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_EQ(after.origin[k], placed.origin[k]) << k;
        EXPECT_EQ(after.normal[k], placed.normal[k]) << k;
    }
}

// The picker's preview turns the plane as the cursor moves; left there (the
// picker switched off before the second click), the plane stays where the
// preview put it, and tabbing through the Position field leaves it there.
TEST_F(CurvesTab, APlaneLeftByThePickersPreviewStaysWhenThePositionFieldIsTabbedThrough)
{
    OpenNetwork();
    testview::TurnView(view, 30.0, -20.0);
    PageButton(IDC_CURVES_SECTION);
    CDSubInteractiveSection& section = page->SectionPanel();
    PanelButton(section, IDC_SECTION_INTERACTIVE);
    Click(At(-60, -50));
    Input(WM_MOUSEMOVE, At(40, 70));
    Paint();
    PanelButton(section, IDC_SECTION_INTERACTIVE);
    ASSERT_EQ(view->FindMode(kModeSectionPlanePicker), nullptr);
    const cPlane previewed = page->SectionPlane()->GetPlane();
    ASSERT_LT(std::fabs(previewed.normal[0]), 0.9) << "the preview turned the plane";
    ::SendMessageW(section.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_SECTION_POSITION, EN_KILLFOCUS),
                   LPARAM(::GetDlgItem(section.GetSafeHwnd(), IDC_SECTION_POSITION)));
    const cPlane& after = page->SectionPlane()->GetPlane();
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_EQ(after.origin[k], previewed.origin[k]) << k;
        EXPECT_EQ(after.normal[k], previewed.normal[k]) << k;
    }
}

// The sections the page shows are those of its plane: when the picker's
// preview has turned the plane and the picker is left, the sections of the
// plane as it was go, and the ones shown (and accepted) lie on the plane.
TEST_F(CurvesTab, APlaneLeftByThePickersPreviewShowsItsOwnSections)
{
    OpenNetwork();
    testview::TurnView(view, 30.0, -20.0);
    PageButton(IDC_CURVES_SECTION);
    ASSERT_TRUE(page->IsPreviewValid());
    CDSubInteractiveSection& section = page->SectionPanel();
    PanelButton(section, IDC_SECTION_INTERACTIVE);
    Click(At(-60, -50));
    Input(WM_MOUSEMOVE, At(40, 70));
    Paint();
    PanelButton(section, IDC_SECTION_INTERACTIVE);
    Paint();
    ASSERT_TRUE(page->IsPreviewValid());
    const cPlane& plane = page->SectionPlane()->GetPlane();
    std::size_t points = 0;
    for (const tFramePolyline<cVertex>& polyline : page->PreviewPolylines().items)
        for (const cVertex& v : polyline.vertices)
        {
            ++points;
            EXPECT_LT(std::fabs(plane.normal[0] * v.x + plane.normal[1] * v.y + plane.normal[2] * v.z + plane.d), 0.01);
        }
    EXPECT_GT(points, 1u);
}

TEST_F(CurvesTab, SectionsPreviewedOnTheAlignedScanAndAcceptedAfterResetLieOnTheScan)
{
    win32::UseManualClock(10000);
    const scans::Vec centre{1200, -640, 310}, normal = scans::Unit({0.1, 0.05, 1.0});
    Open(scans::Plane(centre, normal, 80.0, 20, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    Click(IDC_SHAPES_ALIGN_BOTTOM);
    StartNetwork();
    PageButton(IDC_CURVES_SECTION);
    CDSubInteractiveSection& section = page->SectionPanel();
    PanelButton(section, IDC_SECTION_ALIGN_RIGHT);
    PanelButton(section, IDC_SECTION_PREVIEW);
    ASSERT_TRUE(page->IsPreviewValid());
    Click(IDC_SHAPES_RESET);
    mfc::PumpUntilIdle();
    // The plane still stands across the sheet, through its middle.
    const double* origin = page->SectionPlane()->GetPlane().origin;
    EXPECT_LT(std::fabs(scans::Dot(scans::Vec{origin[0], origin[1], origin[2]} - centre, normal)), 0.1);
    PanelButton(section, IDC_SECTION_ACCEPT);
    ASSERT_GE(CurveCount(), 1u);
    // The accepted curves' nodes lie on the sheet where Reset put it.
    for (std::uint32_t i = 0; i < CurveCount(); ++i)
        for (const cVertex& v : Network()->GetSegment(i)->GetDefiningPoints()->vertices)
            EXPECT_LT(std::fabs(scans::Dot(scans::Vec{v.x, v.y, v.z} - centre, normal)), 0.1)
                << "curve " << i << " at " << v.x << " " << v.y << " " << v.z;
}

// Multiple sections along a bent guiding curve in a turned view: every
// section stands across the guide, none lies beyond its ends.
TEST_F(CurvesTab, MultipleSectionsAlongAGuidingCurveEachCrossTheGuide)
{
    OpenNetwork();
    testview::TurnView(view, 25.0, -15.0);
    PageButton(IDC_CURVES_ADD);
    Paint();
    Click(At(-60, 40));
    Click(At(-10, -10));
    DoubleClick(At(20, -60));
    ASSERT_EQ(CurveCount(), 1u);
    const ST_ISectionCurve& guide = *Network()->GetSegment(0);
    const POINT onGuide = OnFirstCurve(0.5);
    PageButton(IDC_CURVES_SECTION);
    CDSubInteractiveSection& section = page->SectionPanel();
    PanelButton(section, IDC_SECTION_CURVE_GUIDED);
    Paint();
    Input(WM_MOUSEMOVE, onGuide);
    Input(WM_LBUTTONDOWN, onGuide);
    Input(WM_LBUTTONUP, onGuide);
    ASSERT_NE(page->SectionPlane()->GetSectionCurve(), nullptr);
    section.multisections = 1;
    ::CheckDlgButton(section.GetSafeHwnd(), IDC_SECTION_MULTI, BST_CHECKED);
    ::SetDlgItemTextW(section.GetSafeHwnd(), IDC_SECTION_SPACING, L"8");
    ::SendMessageW(section.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_SECTION_SPACING, EN_KILLFOCUS),
                   LPARAM(::GetDlgItem(section.GetSafeHwnd(), IDC_SECTION_SPACING)));
    PanelButton(section, IDC_SECTION_PREVIEW);
    const auto& preview = page->PreviewPolylines().items;
    ASSERT_GE(preview.size(), 4u);
    std::vector<t3DPoint<double>> along;
    for (int i = 0; i <= 400; ++i)
    {
        t3DPoint<double> p{};
        ASSERT_TRUE(guide.EvaluateInWorld(i / 400.0, &p, nullptr, nullptr));
        along.push_back(p);
    }
    for (std::size_t k = 0; k < preview.size(); ++k)
    {
        // The section's polyline (its points are few where the scan is
        // flat) passes near a point of the guide.
        double nearest = 1e30;
        const auto& v = preview[k].vertices;
        for (std::size_t i = 0; i + 1 < v.size(); ++i)
            for (const t3DPoint<double>& p : along)
            {
                const double d[3] = {double(v[i + 1].x) - v[i].x, double(v[i + 1].y) - v[i].y,
                                     double(v[i + 1].z) - v[i].z};
                const double w[3] = {p.x - v[i].x, p.y - v[i].y, p.z - v[i].z};
                const double dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
                const double t = dd > 0.0 ? std::clamp((w[0] * d[0] + w[1] * d[1] + w[2] * d[2]) / dd, 0.0, 1.0) : 0.0;
                nearest = std::min(nearest, std::hypot(w[0] - t * d[0], w[1] - t * d[1], w[2] - t * d[2]));
            }
        EXPECT_LT(nearest, 1.0) << "section " << k << " does not cross the guide";
    }
}

TEST_F(CurvesTab, AnUndoWhileACurveIsDrawnTakesItBackAndTheCurveBeforeItStaysUndoable)
{
    OpenNetwork();
    testview::TurnView(view, 20.0, 10.0);
    DrawCurve(-30);
    ASSERT_EQ(CurveCount(), 1u);
    PageButton(IDC_CURVES_ADD);
    Paint();
    Click(At(-90, 30));
    Click(At(0, 40));
    ASSERT_NE(Mode()->GetDrawnCurve(), nullptr);
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, 40009, 0);
    mfc::PumpUntilIdle();
    // Another curve drawn whole, then undone: only it goes.
    DrawCurve(30);
    ASSERT_EQ(CurveCount(), 2u);
    PageButton(IDC_CURVES_UNDO);
    EXPECT_EQ(CurveCount(), 1u);
}

TEST_F(CurvesTab, EscapeWhileDrawingFromAPointOnACurveLeavesThatCurveAsItWas)
{
    const auto nodes = TurnedNetworkWithOneCurve();
    ASSERT_EQ(CurveCount(), 1u);
    const std::size_t undo = page->GetUndoCount();
    PageButton(IDC_CURVES_ADD);
    Paint();
    Click(At(15, 70));
    // The second click lands on the curve, which takes it as a node.
    const POINT onCurve = OnFirstCurve(0.3);
    Input(WM_MOUSEMOVE, onCurve);
    Click(onCurve);
    ASSERT_EQ(Network()->GetSegment(0)->GetDefiningPoints()->GetVertexCount(), nodes.size() + 1);
    Escape();
    ASSERT_EQ(CurveCount(), 1u);
    ExpectFirstCurveNodes(nodes);
    EXPECT_EQ(page->GetUndoCount(), undo) << "no undo step of a drawing that was dropped";
}

TEST_F(CurvesTab, EscapeDuringADragThatInsertedANodeGivesTheCurveBackWithoutIt)
{
    const auto nodes = TurnedNetworkWithOneCurve();
    ASSERT_EQ(CurveCount(), 1u);
    PageButton(IDC_CURVES_MODIFY);
    Paint();
    // Pressed between two nodes and moved on: a node is inserted there and
    // dragged.
    const POINT p = OnFirstCurve(0.3);
    win32::AdvanceClock(2000);
    Input(WM_MOUSEMOVE, p);
    Input(WM_LBUTTONDOWN, p);
    Input(WM_MOUSEMOVE, POINT{p.x + 10, p.y + 12});
    ASSERT_TRUE(Mode()->IsNodeDragging());
    Escape();
    win32::ResetInputState();
    ASSERT_EQ(CurveCount(), 1u);
    ExpectFirstCurveNodes(nodes);
}

TEST_F(CurvesTab, AnotherShapeChosenWhileDrawingFromAPointOnACurveLeavesThatCurveAsItWas)
{
    OpenNetwork();
    ST_IProfiledSurface* first = page->CurrentNetwork();
    ChooseKind(eShapeKind::CurveNetwork);
    mfc::PumpUntilIdle();
    const HWND list = ::GetDlgItem(Window(), IDC_SHAPES_LIST);
    const auto choose = [&](int index) {
        ::SendMessageW(list, LB_SETCURSEL, WPARAM(index), 0);
        ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(list));
        mfc::PumpUntilIdle();
    };
    choose(0);
    ASSERT_EQ(page->CurrentNetwork(), first);
    testview::TurnView(view, 20.0, 10.0);
    DrawCurve(0);
    ASSERT_EQ(CurveCount(), 1u);
    const auto nodes = Network()->GetSegment(0)->GetDefiningPoints()->vertices;
    PageButton(IDC_CURVES_ADD);
    Paint();
    Click(At(15, 70));
    // The second click lands on the curve, which takes it as a node.
    const POINT onCurve = OnFirstCurve(0.3);
    Input(WM_MOUSEMOVE, onCurve);
    Click(onCurve);
    ASSERT_EQ(Network()->GetSegment(0)->GetDefiningPoints()->GetVertexCount(), nodes.size() + 1);
    choose(1);
    ASSERT_NE(page->CurrentNetwork(), first);
    // The second shape's undo list starts empty: the first shape's curve
    // could not be taken back by hand.
    ST_ISectionCurve* network = first->GetProfileCurve();
    ASSERT_EQ(network->GetSegmentCount(), 1u);
    ExpectNodes(*network->GetSegment(0), nodes);
}

TEST_F(CurvesTab, RestartDrawingAfterAClickOntoACurveLeavesThatCurveAsItWas)
{
    const auto nodes = TurnedNetworkWithOneCurve();
    ASSERT_EQ(CurveCount(), 1u);
    PageButton(IDC_CURVES_ADD);
    Paint();
    const POINT onCurve = OnFirstCurve(0.7);
    Input(WM_MOUSEMOVE, onCurve);
    Click(onCurve);
    Click(At(-20, -60));
    ASSERT_EQ(Network()->GetSegment(0)->GetDefiningPoints()->GetVertexCount(), nodes.size() + 1);
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, kCmdNetworkRestart, 0);
    mfc::PumpUntilIdle();
    EXPECT_EQ(Mode()->GetDrawnCurve(), nullptr);
    ASSERT_EQ(CurveCount(), 1u);
    ExpectFirstCurveNodes(nodes);
}

TEST_F(CurvesTab, ADoubleClickOntoACurveThatDrawsNoCurveLeavesThatCurveAsItWas)
{
    const auto nodes = TurnedNetworkWithOneCurve();
    ASSERT_EQ(CurveCount(), 1u);
    PageButton(IDC_CURVES_ADD);
    Paint();
    const POINT onCurve = OnFirstCurve(0.7);
    Input(WM_MOUSEMOVE, onCurve);
    DoubleClick(onCurve);
    EXPECT_EQ(Mode()->GetDrawnCurve(), nullptr);
    ASSERT_EQ(CurveCount(), 1u) << "a curve of one point is not kept";
    ExpectFirstCurveNodes(nodes);
}

// A node clicked to select it in a view turned since the curves were drawn
// (a reopened document's, say): the node is selected, nothing moves (the
// mesh point under the pixel lies off it) and no undo step is spent; Delete
// then takes it out, and one Undo puts it back.
TEST_F(CurvesTab, ANodeClickedInATurnedViewIsSelectedAndNothingMoves)
{
    OpenNetwork();
    DrawCurve(-30);
    DrawCurve(30);
    ASSERT_EQ(CurveCount(), 2u);
    const auto first = Network()->GetSegment(0)->GetDefiningPoints()->vertices;
    const auto second = Network()->GetSegment(1)->GetDefiningPoints()->vertices;
    testview::TurnView(view, 25.0, 15.0);
    PageButton(IDC_CURVES_MODIFY);
    Paint();
    const std::size_t undo = page->GetUndoCount();
    Click(ScreenOf(first[1]));
    EXPECT_EQ(page->GetUndoCount(), undo);
    ASSERT_EQ(CurveCount(), 2u);
    ExpectNodes(*Network()->GetSegment(0), first);
    ExpectNodes(*Network()->GetSegment(1), second);
    EXPECT_NE(Network()->GetSegment(0)->GetDefiningPoints()->GetVertex(1)->flags & kNetworkNodeSelected, 0u);
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, kCmdNetworkDelete, 0);
    mfc::PumpUntilIdle();
    EXPECT_EQ(Network()->GetSegment(0)->GetDefiningPoints()->GetVertexCount(), first.size() - 1);
    PageButton(IDC_CURVES_UNDO);
    ExpectNodes(*Network()->GetSegment(0), first);
}

// A node dragged with Shift held in a turned view follows the screen axis it
// went furthest along, and is dropped there, on the scan: it jumped to the
// mesh point under the cursor off the axis when the button came up.
TEST_F(CurvesTab, ANodeDraggedWithShiftInATurnedViewIsDroppedOnTheScreenAxis)
{
    OpenNetwork();
    DrawCurve(-30);
    ASSERT_EQ(CurveCount(), 1u);
    testview::TurnView(view, 35.0, -20.0);
    PageButton(IDC_CURVES_MODIFY);
    Paint();
    const POINT node = ScreenOf(*Network()->GetSegment(0)->GetDefiningPoints()->GetVertex(1));
    win32::AdvanceClock(2000);
    Input(WM_MOUSEMOVE, node);
    Input(WM_LBUTTONDOWN, node);
    win32::InjectKey(VK_SHIFT, true);
    const POINT to{node.x + 30, node.y + 9};
    Input(WM_MOUSEMOVE, POINT{node.x + 10, node.y + 3});
    Input(WM_MOUSEMOVE, to);
    Input(WM_LBUTTONUP, to);
    win32::InjectKey(VK_SHIFT, false);
    ASSERT_EQ(CurveCount(), 1u);
    const cVertex moved = *Network()->GetSegment(0)->GetDefiningPoints()->GetVertex(1);
    const POINT at = ScreenOf(moved);
    EXPECT_NEAR(at.x, to.x, 1);
    EXPECT_NEAR(at.y, node.y, 1);
    // On the sheet (its noise is 0.01).
    const double n[3] = {0.1, 0.05, 1.0}, length = std::sqrt(1.0125);
    EXPECT_NEAR(((moved.x - 1200) * n[0] + (moved.y + 640) * n[1] + (moved.z - 310) * n[2]) / length, 0.0, 0.05);
}

// A curve begun in Add Curve waits while the sections are accepted on the
// Section Plane panel, and is finished afterwards: one Undo takes the curve
// back and keeps the sections, the next takes the sections. The first Undo
// took both, and the next did nothing.
TEST_F(CurvesTab, ACurveFinishedAfterSectionsAcceptedWhileItWasDrawnIsUndoneAlone)
{
    OpenNetwork();
    PageButton(IDC_CURVES_ADD);
    Paint();
    Click(At(-90, 30));
    Click(At(0, 40));
    ASSERT_NE(Mode()->GetDrawnCurve(), nullptr);
    PageButton(IDC_CURVES_SECTION);
    PanelButton(page->SectionPanel(), IDC_SECTION_ALIGN_RIGHT);
    PanelButton(page->SectionPanel(), IDC_SECTION_PREVIEW);
    PanelButton(page->SectionPanel(), IDC_SECTION_ACCEPT);
    ASSERT_EQ(CurveCount(), 1u);
    const auto section = Network()->GetSegment(0)->GetDefiningPoints()->vertices;
    PageButton(IDC_CURVES_ADD);
    Paint();
    DoubleClick(At(90, 30));
    ASSERT_EQ(CurveCount(), 2u);
    EXPECT_EQ(page->GetUndoCount(), 2u);
    PageButton(IDC_CURVES_UNDO);
    ASSERT_EQ(CurveCount(), 1u);
    ExpectFirstCurveNodes(section);
    PageButton(IDC_CURVES_UNDO);
    EXPECT_EQ(CurveCount(), 0u);
    EXPECT_EQ(page->GetUndoCount(), 0u);
}

// A curve begun by a click onto another (a joint put into it) and finished
// after sections were accepted while it waited: one Undo takes the curve
// back, the next the sections, the next the joint, as before the sections.
TEST_F(CurvesTab, ACurveBegunOnAnotherAndFinishedAfterSectionsAcceptedLeavesAnUndoStepForItsJoint)
{
    OpenNetwork();
    DrawCurve(-30);
    const auto before = Network()->GetSegment(0)->GetDefiningPoints()->vertices;
    PageButton(IDC_CURVES_ADD);
    Paint();
    const POINT onFirst = OnFirstCurve(0.3);
    Input(WM_MOUSEMOVE, onFirst);
    Click(onFirst);
    ASSERT_EQ(Network()->GetSegment(0)->GetDefiningPoints()->GetVertexCount(), before.size() + 1);
    Click(At(0, 50));
    PageButton(IDC_CURVES_SECTION);
    PanelButton(page->SectionPanel(), IDC_SECTION_ALIGN_RIGHT);
    PanelButton(page->SectionPanel(), IDC_SECTION_PREVIEW);
    PanelButton(page->SectionPanel(), IDC_SECTION_ACCEPT);
    ASSERT_EQ(CurveCount(), 2u);
    PageButton(IDC_CURVES_ADD);
    Paint();
    DoubleClick(At(60, 60));
    ASSERT_EQ(CurveCount(), 3u);
    PageButton(IDC_CURVES_UNDO);
    EXPECT_EQ(CurveCount(), 2u);
    PageButton(IDC_CURVES_UNDO);
    ASSERT_EQ(CurveCount(), 1u);
    PageButton(IDC_CURVES_UNDO);
    ASSERT_EQ(CurveCount(), 1u) << "the curve it was begun on stays";
    ExpectFirstCurveNodes(before);
}

// The same curve given up with Escape after the sections were accepted:
// the copy it saved as it began goes with it, and one Undo takes the
// sections back. An Undo step that changed nothing was left.
TEST_F(CurvesTab, ACurveGivenUpAfterSectionsAcceptedWhileItWasDrawnLeavesOneUndoStep)
{
    OpenNetwork();
    PageButton(IDC_CURVES_ADD);
    Paint();
    Click(At(-90, 30));
    Click(At(0, 40));
    PageButton(IDC_CURVES_SECTION);
    PanelButton(page->SectionPanel(), IDC_SECTION_ALIGN_RIGHT);
    PanelButton(page->SectionPanel(), IDC_SECTION_PREVIEW);
    PanelButton(page->SectionPanel(), IDC_SECTION_ACCEPT);
    ASSERT_EQ(CurveCount(), 1u);
    PageButton(IDC_CURVES_ADD);
    Escape();
    EXPECT_EQ(Mode()->GetDrawnCurve(), nullptr);
    EXPECT_EQ(page->GetUndoCount(), 1u);
    PageButton(IDC_CURVES_UNDO);
    EXPECT_EQ(CurveCount(), 0u);
}

// A section plane guided by a curve and dragged, in a view turned so that
// the curve runs away from the viewer, to the curve's point at 0.7 of its
// length: it crosses the curve there. It went to about 0.2, behind where
// the drag began (the curve's point nearest in space to the cursor's point
// at the plane's depth).
TEST_F(CurvesTab, ASectionPlaneDraggedAlongItsGuideInATurnedViewCrossesTheGuideUnderTheCursor)
{
    OpenNetwork();
    DrawCurve(-30);
    ASSERT_EQ(CurveCount(), 1u);
    ST_ISectionCurve* guide = Network()->GetSegment(0);
    const auto onGuide = [&](double f) {
        t3DPoint<double> p{};
        EXPECT_TRUE(guide->EvaluateInWorld(f, &p, nullptr, nullptr));
        return p;
    };
    const auto screenOf = [&](const t3DPoint<double>& p) {
        cVertex v;
        v.x = float(p.x), v.y = float(p.y), v.z = float(p.z);
        return ScreenOf(v);
    };
    testview::TurnView(view, 10.0, 55.0);
    Paint();
    PageButton(IDC_CURVES_SECTION);
    PanelButton(page->SectionPanel(), IDC_SECTION_CURVE_GUIDED);
    Paint();
    Click(screenOf(onGuide(0.3)));
    ASSERT_NE(page->SectionPlane()->GetSectionCurve(), nullptr) << "the plane took the curve as its guide";
    Paint();
    const double* origin = page->SectionPlane()->GetPlane().origin;
    const POINT from = screenOf({origin[0], origin[1], origin[2]});
    const t3DPoint<double> aim = onGuide(0.7);
    const POINT to = screenOf(aim);
    win32::AdvanceClock(2000);
    Input(WM_MOUSEMOVE, from);
    Paint();
    Input(WM_MOUSEMOVE, from);
    Input(WM_LBUTTONDOWN, from);
    Input(WM_MOUSEMOVE, POINT{(from.x + to.x) / 2, (from.y + to.y) / 2});
    Input(WM_MOUSEMOVE, to);
    Input(WM_LBUTTONUP, to);
    const cPlane& plane = page->SectionPlane()->GetPlane();
    const double side = plane.normal[0] * (aim.x - plane.origin[0]) + plane.normal[1] * (aim.y - plane.origin[1]) +
                        plane.normal[2] * (aim.z - plane.origin[2]);
    EXPECT_NEAR(side, 0.0, 0.2) << "the curve runs 1.7 mm a twentieth of its length";
}

// The section plane grabbed 30 mm from its origin in a turned view and
// dragged 12 pixels across the screen moves along its normal by what those
// pixels span along it. It leapt some 7 mm at the first pixel (to pass
// through the cursor's point at the depth of its origin).
TEST_F(CurvesTab, ASectionPlaneGrabbedAwayFromItsOriginInATurnedViewFollowsTheCursorsMovement)
{
    OpenNetwork();
    testview::TurnView(view, 30.0, 50.0);
    view->RequestRedraw(0);
    PageButton(IDC_CURVES_SECTION);
    Paint();
    const cPlane start = page->SectionPlane()->GetPlane();
    // A point of the plane 30 mm from its origin, across the world's y.
    double along[3] = {0, 1, 0};
    const double n = along[1] * start.normal[1];
    cVertex grab;
    grab.x = float(start.origin[0] + 30 * (along[0] - n * start.normal[0]));
    grab.y = float(start.origin[1] + 30 * (along[1] - n * start.normal[1]));
    grab.z = float(start.origin[2] + 30 * (along[2] - n * start.normal[2]));
    const POINT from = ScreenOf(grab), to{from.x + 12, from.y};
    Input(WM_MOUSEMOVE, from);
    Paint();
    Input(WM_MOUSEMOVE, from);
    Input(WM_LBUTTONDOWN, from);
    Input(WM_MOUSEMOVE, POINT{from.x + 1, from.y});
    Input(WM_MOUSEMOVE, to);
    Input(WM_LBUTTONUP, to);
    const cPlane& end = page->SectionPlane()->GetPlane();
    double moved = 0.0, across = 0.0;
    const double* rows = view->GetCamera()->GetViewTransform();
    for (int k = 0; k < 3; ++k)
    {
        moved += (end.origin[k] - start.origin[k]) * start.normal[k];
        across += rows[k] * start.normal[k]; // the screen's x axis along the normal
    }
    EXPECT_NEAR(moved, 12 * PixelsToWorldLength(view, 1) * across, 0.05);
}

// The section plane held while the dialog is maximised (a key does it): the
// cursor has not moved, so one pixel more moves the plane one pixel's worth.
// The view's pixels moved under the cursor with the window, and the shift
// was taken as a drag.
TEST_F(CurvesTab, ASectionPlaneHeldWhileTheDialogIsMaximisedMovesOnlyWithTheCursor)
{
    OpenNetwork();
    testview::TurnView(view, 30.0, 50.0);
    view->RequestRedraw(0);
    PageButton(IDC_CURVES_SECTION);
    Paint();
    const cPlane start = page->SectionPlane()->GetPlane();
    cVertex origin;
    origin.x = float(start.origin[0]);
    origin.y = float(start.origin[1]);
    origin.z = float(start.origin[2]);
    const POINT from = ScreenOf(origin);
    Input(WM_MOUSEMOVE, from);
    Paint();
    Input(WM_MOUSEMOVE, from);
    Input(WM_LBUTTONDOWN, from);
    POINT cursor{from.x + 1, from.y};
    Input(WM_MOUSEMOVE, cursor);
    ::ClientToScreen(view->GetSafeHwnd(), &cursor);
    ::ShowWindow(Window(), SW_MAXIMIZE);
    mfc::PumpUntilIdle();
    const cPlane maximised = page->SectionPlane()->GetPlane();
    cursor.x += 1;
    win32::InjectMouseMove(cursor);
    mfc::PumpUntilIdle();
    const cPlane& end = page->SectionPlane()->GetPlane();
    double moved = 0.0;
    for (int k = 0; k < 3; ++k)
        moved += (end.origin[k] - maximised.origin[k]) * maximised.normal[k];
    EXPECT_LE(std::abs(moved), 1.5 * PixelsToWorldLength(view, 1));
    win32::InjectMouseButton(WM_LBUTTONUP, cursor);
    mfc::PumpUntilIdle();
}

// A tangency angle typed into the Modify Curves panel, then a click on a node
// and T for the top view: the click gives the view the keyboard, so the angle
// is taken, the node is selected and T reaches the view. The field kept the
// keyboard: the angle stayed 45 and T was typed into it ("t30", refused later).
TEST_F(CurvesTab, AnAngleTypedAndLeftForAClickInTheViewIsTakenAndTheViewsKeysReachTheView)
{
    OpenNetwork();
    DrawCurve(0);
    ASSERT_EQ(CurveCount(), 1u);
    PageButton(IDC_CURVES_MODIFY);
    Paint();
    CDSubModifyCurves& modify = page->ModifyPanel();
    const HWND edit = ::GetDlgItem(modify.GetSafeHwnd(), IDC_MODIFY_ANGLE);
    ::SetFocus(edit);
    ::SetWindowTextW(edit, L"30");
    Click(ScreenOf(*Network()->GetSegment(0)->GetDefiningPoints()->GetVertex(1)));
    win32::InjectKey('T', true);
    win32::InjectKey('T', false);
    mfc::PumpUntilIdle();
    wchar_t shown[64] = L"";
    ::GetWindowTextW(edit, shown, 64);
    EXPECT_EQ(modify.tangencyAngle, 30.0f);
    EXPECT_STREQ(shown, L"30");
    EXPECT_NE(Network()->GetSegment(0)->GetDefiningPoints()->GetVertex(1)->flags & kNetworkNodeSelected, 0u);
}

// A press on a curve waits to see whether it is a click or a drag that puts
// in a node. The dialog maximised meanwhile under the still cursor (a key
// does it) moved the view's pixels some 200 under it, and one pixel more was
// taken as a drag: a node went in and was dragged to the scan point now
// under the cursor, 18 mm from the press.
TEST_F(CurvesTab, APressOnACurveHeldWhileTheDialogIsMaximisedPutsInNoNode)
{
    const auto nodes = TurnedNetworkWithOneCurve();
    ASSERT_EQ(CurveCount(), 1u);
    PageButton(IDC_CURVES_MODIFY);
    Paint();
    POINT cursor = OnFirstCurve(0.3);
    win32::AdvanceClock(2000);
    Input(WM_MOUSEMOVE, cursor);
    Input(WM_LBUTTONDOWN, cursor);
    ::ClientToScreen(view->GetSafeHwnd(), &cursor);
    ::ShowWindow(Window(), SW_MAXIMIZE);
    mfc::PumpUntilIdle();
    cursor.x += 1;
    win32::InjectMouseMove(cursor);
    mfc::PumpUntilIdle();
    EXPECT_FALSE(Mode()->IsNodeDragging());
    win32::InjectMouseButton(WM_LBUTTONUP, cursor);
    mfc::PumpUntilIdle();
    ASSERT_EQ(CurveCount(), 1u);
    ExpectFirstCurveNodes(nodes);
}

// A node pressed to select it, the dialog maximised under the still cursor,
// the button let go: the release looked like one away from the press (the
// view's pixels moved some 200 under the cursor), so the node was dropped on
// the scan point then under the cursor, 22.9 mm from where it was.
TEST_F(CurvesTab, ANodePressedAndLetGoThroughAMaximiseStaysWhereItWas)
{
    const auto nodes = TurnedNetworkWithOneCurve();
    ASSERT_EQ(CurveCount(), 1u);
    PageButton(IDC_CURVES_MODIFY);
    Paint();
    POINT cursor = ScreenOf(nodes[1]);
    win32::AdvanceClock(2000);
    Input(WM_MOUSEMOVE, cursor);
    Input(WM_LBUTTONDOWN, cursor);
    ASSERT_TRUE(Mode()->IsNodeDragging());
    ::ClientToScreen(view->GetSafeHwnd(), &cursor);
    ::ShowWindow(Window(), SW_MAXIMIZE);
    mfc::PumpUntilIdle();
    win32::InjectMouseButton(WM_LBUTTONUP, cursor);
    mfc::PumpUntilIdle();
    ASSERT_EQ(CurveCount(), 1u);
    ExpectFirstCurveNodes(nodes);
}

TEST_F(CurvesTab, AddCurvePressedWhileTheGuidingCurvePickerWaitsAddsTheCurveClicked)
{
    OpenNetwork();
    DrawCurve(0);
    ASSERT_EQ(CurveCount(), 1u);
    PageButton(IDC_CURVES_SECTION);
    const cPlane before = page->SectionPlane()->GetPlane();
    PanelButton(page->SectionPanel(), IDC_SECTION_CURVE_GUIDED);
    ASSERT_NE(view->FindMode(kModeGuidingCurvePicker), nullptr);

    // Add Curve instead of a pick: the picker and its prompt go, and the
    // clicks, one of them on the first curve, are the new curve's nodes.
    PageButton(IDC_CURVES_ADD);
    EXPECT_EQ(view->FindMode(kModeGuidingCurvePicker), nullptr);
    EXPECT_FALSE(view->GetLabelAnnotation(0)->IsVisible()) << "Select guiding curve. Press ESC to cancel";
    Paint();
    Click(At(-90, 60));
    Click(At(-90, 0));
    Click(At(0, 70));
    DoubleClick(At(90, 60));
    ASSERT_EQ(CurveCount(), 2u);
    EXPECT_EQ(Network()->GetSegment(1)->GetDefiningPoints()->GetVertexCount(), 4u);
    const cPlane after = page->SectionPlane()->GetPlane();
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(after.origin[k], before.origin[k]) << "the click on the first curve placed the section plane";
}

TEST_F(CurvesTab, TheGuidingCurvePickerPicksTheCurveUnderTheCursorAfterAnUndo)
{
    OpenNetwork();
    DrawCurve(0);
    DrawCurve(70);
    ASSERT_EQ(CurveCount(), 2u);
    const POINT onFirst = OnFirstCurve(0.5);
    PageButton(IDC_CURVES_SECTION);
    PanelButton(page->SectionPanel(), IDC_SECTION_CURVE_GUIDED);
    Paint();
    Input(WM_MOUSEMOVE, onFirst);
    Paint();

    // The page's Undo takes the second curve back and gives the network
    // as it was: the first curve is another copy. The cursor rests on it.
    PageButton(IDC_CURVES_UNDO);
    Paint();
    Input(WM_MOUSEMOVE, POINT{onFirst.x + 1, onFirst.y});
    Input(WM_MOUSEMOVE, onFirst);
    Input(WM_LBUTTONDOWN, onFirst);
    Input(WM_LBUTTONUP, onFirst);
    EXPECT_EQ(view->FindMode(kModeGuidingCurvePicker), nullptr) << "the click picked no curve";
    ASSERT_EQ(CurveCount(), 1u);
    const ST_ISectionCurve* guide = page->SectionPlane()->GetSectionCurve();
    ASSERT_NE(guide, nullptr);
    // Across the curve at its start.
    t3DPoint<double> start{}, tangent{};
    ASSERT_TRUE(Network()->GetSegment(0)->EvaluateInWorld(0.0, &start, &tangent, nullptr));
    const cPlane& plane = page->SectionPlane()->GetPlane();
    const double d[3] = {start.x - plane.origin[0], start.y - plane.origin[1], start.z - plane.origin[2]};
    EXPECT_NEAR(d[0] * plane.normal[0] + d[1] * plane.normal[1] + d[2] * plane.normal[2], 0.0, 1e-3);
    EXPECT_NEAR(tangent.x * plane.normal[0] + tangent.y * plane.normal[1] + tangent.z * plane.normal[2], 1.0, 1e-5);
}
