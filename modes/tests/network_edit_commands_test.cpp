// The network mode's commands as the view routes them: the mode takes its
// own commands and only those, Accept reaches the section panel, only the
// Section Plane state cuts sections, a new mode starts with no undo copies
// of an earlier network, Escape lets go of the hovered node, and a shape
// whose profile is no network is left alone.
#include "network_edit_test_support.h"

#include "modes/section_plane_picker.h"

#include <algorithm>

namespace
{

using namespace networktest;

class NetworkCommands : public NetworkView
{
protected:
    BOOL Route(UINT id, int code = 0, AFX_CMDHANDLERINFO* info = nullptr)
    {
        return mode->OnCommand(id, code, nullptr, info, view);
    }
};

} // namespace

TEST_F(NetworkCommands, TheModeTakesItsOwnCommandsAndLeavesOthersToTheView)
{
    // The network's commands stop at the mode, so no mode beneath it (the
    // mesh selection) acts on them as well.
    for (UINT id : {kCmdNetworkModify, kCmdNetworkAddCurve, kCmdNetworkSectionPlane, kCmdNetworkExtrapolate,
                    kCmdNetworkLeavePicker, kCmdNetworkTangency, kCmdNetworkTogglePreserveG1,
                    kCmdNetworkToggleSubSampling, kCmdNetworkToggleKeepOnMesh, kCmdNetworkMerge, kCmdNetworkBreak,
                    kCmdNetworkAccept, kCmdNetworkFitOnMesh, UINT(kCmdNetworkUndo), UINT(kCmdNetworkUndoKey),
                    UINT(kCmdNetworkDelete), kCmdNetworkRemoveLast, kCmdNetworkFinish, kCmdNetworkRestart,
                    kCmdNetworkSnapOn, kCmdNetworkSnapOff, kCmdNetworkUpdateStatus, kCmdNetworkNewShape,
                    kCmdNetworkTransfer})
        EXPECT_EQ(Route(id), 1) << id;
    // Anything else goes on to the view, and so do notifications and
    // handler queries of its own ids.
    EXPECT_EQ(Route(57600), 0);
    EXPECT_EQ(Route(kCmdNetworkModify, 1), 0);
    AFX_CMDHANDLERINFO query{};
    EXPECT_EQ(Route(kCmdNetworkModify, 0, &query), 0);
    EXPECT_EQ(mode->GetSubState(), kNetworkExtrapolateEnds) << "a notification or query of Modify changes nothing";
    EXPECT_EQ(owner.commands, (std::vector<UINT>{kCmdNetworkNewShape, kCmdNetworkTransfer}))
        << "New shape and transfer are the dialog's";
    EXPECT_EQ(view->GetActiveMode(), mode) << "no command ends the mode";
}

TEST_F(NetworkCommands, AcceptHandsThePreviewToTheSectionPanelAndOnlySectionPlaneCuts)
{
    Command(kCmdNetworkAccept);
    EXPECT_EQ(page.accepted, 1);
    // The page's "leave the picker" asks the page to go back to Modify.
    Command(kCmdNetworkLeavePicker);
    EXPECT_EQ(page.leftPicker, 1);
    const int cut = page.recomputed;
    for (UINT id : {kCmdNetworkModify, kCmdNetworkExtrapolate, kCmdNetworkAddCurve})
        Command(id);
    EXPECT_EQ(page.recomputed, cut) << "no other state cuts the mesh";
    Command(kCmdNetworkSectionPlane);
    EXPECT_EQ(page.recomputed, cut + 1);
}

TEST_F(NetworkCommands, ANewModeStartsWithNoUndoCopiesOfAnEarlierNetwork)
{
    AddCurve({{6, 20}, {18, 21}, {30, 20}});
    Command(kCmdNetworkModify);
    Paint();
    page.PushUndoState();
    ASSERT_EQ(page.GetUndoCount(), 1u);
    // Another tab and back: the copies belonged to the mode that made them.
    view->EndModeById(kModeEditNetwork);
    ASSERT_TRUE(view->StartToolMode(kModeEditNetwork, nullptr));
    mode = dynamic_cast<CUIM_EditNetwork*>(view->GetActiveMode());
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(page.GetUndoCount(), 0u);
    Command(kCmdNetworkUndo);
    EXPECT_EQ(CurveCount(), 1u) << "Undo has nothing to restore";
}

TEST_F(NetworkCommands, EscapeLetsGoOfTheHoveredNode)
{
    AddCurve({{6, 20}, {18, 21}, {30, 20}});
    Command(kCmdNetworkModify);
    Paint();
    Move(Screen(NodesOf(Network())[0][1]));
    ASSERT_FALSE(IsFloatUnset(mode->GetHoveredPoint()[0]));
    EXPECT_EQ(mode->GetHoveredPoint()[0], NodesOf(Network())[0][1][0]);
    Escape();
    EXPECT_TRUE(IsFloatUnset(mode->GetHoveredPoint()[0]));
    EXPECT_EQ(mode->GetHoveredCurve(), nullptr);
}

TEST_F(NetworkCommands, AShapeWhoseProfileIsNoNetworkIsLeftAlone)
{
    // A single spline as the profile (not a network sketch).
    ST_TSplineCurve<Dezaz_Wire> spline;
    double id[12];
    MakeIdentity3x4(id);
    tPolyline<cVertex> polyline;
    for (const auto& uv : {std::array<double, 2>{6, 20}, {18, 21}, {30, 20}})
        polyline.AddFloatPoint(SheetPoint(uv[0], uv[1]).data());
    ASSERT_TRUE(spline.FitToPolyline(id, polyline, 0.0, 0));
    ASSERT_TRUE(page.Surface()->SetProfile(&spline, 0));
    ASSERT_EQ(mode->GetNetwork(), nullptr);
    Paint();
    auto nodes = [&] {
        const tPolyline<cVertex>* points = page.Surface()->GetProfileCurve()->GetDefiningPoints();
        return points ? points->GetVertexCount() : 0u;
    };
    const auto before = nodes();
    ASSERT_EQ(before, 3u);
    // Drawing, picking, dragging and every edit command.
    Click(ScreenUV(10, 5));
    DoubleClick(ScreenUV(25, 8));
    Command(kCmdNetworkModify);
    Paint();
    Click(ScreenUV(18, 21));
    Drag(ScreenUV(18, 21), ScreenUV(40, 30));
    DoubleClick(ScreenUV(12, 20));
    for (UINT cmd : {kCmdNetworkMerge, kCmdNetworkBreak, UINT(kCmdNetworkDelete), kCmdNetworkExtrapolate})
        Command(cmd);
    Drag(ScreenUV(6, 20), ScreenUV(2, 10));
    EXPECT_EQ(nodes(), before);
    EXPECT_EQ(page.Surface()->GetProfileCurve()->GetClassGuid(), CLSID_ST_TSplineCurve);
    EXPECT_EQ(page.GetUndoCount(), 0u);
    EXPECT_FALSE(mode->IsNodeDragging());
}

TEST_F(NetworkCommands, TheMenuEnablesUndoForOneCopyAndChecksTheSettingsAsTheyAre)
{
    UINT undoState = 0;
    MenuItems(&undoState);
    EXPECT_TRUE(undoState & MF_GRAYED);
    AddCurve({{6, 20}, {18, 21}, {30, 20}});
    page.PushUndoState();
    MenuItems(&undoState);
    EXPECT_FALSE(undoState & MF_GRAYED) << "one saved copy is enough to undo";

    // Add Curve shows all three settings, checked exactly when they are on.
    const auto checks = [&] {
        CMenu popup;
        EXPECT_TRUE(popup.CreatePopupMenu());
        for (UINT id : {kCmdNetworkToggleSubSampling, kCmdNetworkTogglePreserveG1, kCmdNetworkToggleKeepOnMesh})
            popup.AppendMenu(MF_STRING, id, L"item");
        mode->UpdateContextMenu(&popup);
        std::vector<bool> on;
        for (UINT id : {kCmdNetworkToggleSubSampling, kCmdNetworkTogglePreserveG1, kCmdNetworkToggleKeepOnMesh})
            on.push_back((popup.GetMenuState(id, MF_BYCOMMAND) & MF_CHECKED) != 0);
        popup.DestroyMenu();
        return on;
    };
    page.subSampling = false;
    page.preserveG1 = false;
    page.keepOnMesh = false;
    EXPECT_EQ(checks(), (std::vector<bool>{false, false, false}));
    page.subSampling = true;
    page.preserveG1 = true;
    page.keepOnMesh = true;
    EXPECT_EQ(checks(), (std::vector<bool>{true, true, true}));
    page.preserveG1 = false;
    EXPECT_EQ(checks(), (std::vector<bool>{true, false, true}));
}

TEST_F(NetworkCommands, NoNetworkModeStartsForAViewWithoutACurvesPage)
{
    view->EndModeById(kModeEditNetwork);
    SetNetworkEditPage(view, nullptr);
    view->StartToolMode(kModeEditNetwork, nullptr);
    EXPECT_EQ(dynamic_cast<CUIM_EditNetwork*>(view->GetActiveMode()), nullptr);
    mode = nullptr;
    EXPECT_EQ(page.displayBegun, 1) << "only the first mode, which had the page, used it";
}

TEST_F(NetworkCommands, DrawnPointsFaceTheViewerWhicheverWayTheViewTurns)
{
    // Turned 0.5 rad about the view's vertical: the view direction now has
    // a part along the sheet's rows.
    cBase3DRenderer* camera = view->GetCamera();
    double turned[12];
    const double* t = camera->GetViewTransform();
    const double c = std::cos(0.5), s = std::sin(0.5);
    for (int col = 0; col < 4; ++col)
    {
        turned[col] = c * t[col] + s * t[8 + col];
        turned[4 + col] = t[4 + col];
        turned[8 + col] = -s * t[col] + c * t[8 + col];
    }
    camera->SetViewTransform(turned);
    Paint();
    Click(ScreenUV(10, 10));
    Click(ScreenUV(30, 14));
    ASSERT_NE(mode->GetDrawnCurve(), nullptr);
    const tPolyline<cVertex>* points = mode->GetDrawnCurve()->GetDefiningPoints();
    ASSERT_NE(points, nullptr);
    ASSERT_GE(points->GetVertexCount(), 2u);
    for (const cVertex& v : points->vertices)
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(v.Normal()[k], turned[8 + k], 1e-5) << k;
}

TEST_F(NetworkCommands, WhenAPlanePickerEndsTheModeRefreshesThePanelsButtonsAndKeepsThePlane)
{
    RegisterSectionPlanePicker();
    SetSectionPlaneHost(view, &page);
    Command(kCmdNetworkSectionPlane);
    // The user had moved the plane off its first place.
    const P3 moved = SheetPoint(44, 12);
    page.plane.MoveTo({moved[0], moved[1], moved[2]});
    const cPlane placed = page.plane.GetPlane();
    ASSERT_TRUE(view->StartToolMode(kModeSectionPlanePicker, nullptr));
    ASSERT_NE(view->GetActiveMode(), mode);
    const int before = page.buttonsRefreshed;
    // The picker ends on its own (not through the panel's button), so only
    // the resumed mode can release the button.
    view->EndModeById(kModeSectionPlanePicker);
    EXPECT_EQ(view->GetActiveMode(), mode);
    EXPECT_GT(page.buttonsRefreshed, before);
    EXPECT_EQ(mode->GetSubState(), kNetworkSectionPlane);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(page.plane.GetPlane().origin[k], placed.origin[k]) << "the plane stays where the user left it";
    SetSectionPlaneHost(view, nullptr);
}
