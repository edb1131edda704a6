// The curve-network editing mode on a real shapes view: it starts in Add
// Curve, draws curves on the mesh and commits them with a double click, its
// menu follows the selection, Escape steps back, Shift adds to the
// selection, a press on a curve inserts a node only once dragged past 5
// pixels, a shared node drags every curve through it, end nodes extend off
// the mesh, and a drag's curves come back whatever ends it.
#include "network_edit_test_support.h"

#include "core/scene_object.h"
#include "modes/mode_support.h"

#include <cmath>

namespace
{

using namespace networktest;

class NetworkEdit : public NetworkView
{
protected:
    // Two curves across the sheet meeting at the sheet point (30, 20).
    void BuildCross()
    {
        a = AddCurve({{6, 20}, {18, 21}, {30, 20}});
        b = AddCurve({{30, 20}, {31, 30}, {30, 38}});
    }
    ST_ISectionCurve* a = nullptr;
    ST_ISectionCurve* b = nullptr;
};

float Distance(const P3& p, const P3& q)
{
    return std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) + (p[2] - q[2]) * (p[2] - q[2]));
}

TEST_F(NetworkEdit, AFreshModeAddsCurvesWithTheAddPanelShownAndItsMenu)
{
    EXPECT_EQ(mode->GetSubState(), kNetworkAddCurve);
    EXPECT_EQ(page.shown, kNetworkAddCurve);
    EXPECT_EQ(page.displayBegun, 1);
    EXPECT_EQ(Network()->GetClassGuid(), CLSID_ST_TSketch) << "the shape's profile became the network sketch";
    EXPECT_EQ(Cursor(), int(kCursorNetworkAdd));
    EXPECT_TRUE(mode->IsPickBufferValid());
    const std::vector<UINT> items = MenuItems();
    for (UINT gone : {kCmdNetworkAddCurve, kCmdNetworkAccept, kCmdNetworkFitOnMesh, kCmdNetworkMerge, kCmdNetworkBreak})
        EXPECT_EQ(std::count(items.begin(), items.end(), gone), 0) << gone;
    for (UINT kept : {kCmdNetworkModify, kCmdNetworkExtrapolate, kCmdNetworkSectionPlane, kCmdNetworkToggleSubSampling,
                      kCmdNetworkTogglePreserveG1, kCmdNetworkToggleKeepOnMesh})
        EXPECT_EQ(std::count(items.begin(), items.end(), kept), 1) << kept;
    UINT menu = 0;
    CWnd* target = nullptr;
    mode->GetContextMenu(&menu, &target);
    EXPECT_EQ(menu, kNetworkMenu);
    EXPECT_EQ(target, view);
    // Sub-sampling is an Add Curve option only.
    Command(kCmdNetworkModify);
    const std::vector<UINT> modify = MenuItems();
    EXPECT_EQ(std::count(modify.begin(), modify.end(), UINT(kCmdNetworkToggleSubSampling)), 0);
    EXPECT_EQ(std::count(modify.begin(), modify.end(), UINT(kCmdNetworkAddCurve)), 1);
}

TEST_F(NetworkEdit, ClicksDrawOnTheMeshAndADoubleClickCommitsTheCurve)
{
    const POINT clicks[3] = {ScreenUV(8, 10), ScreenUV(30, 24), ScreenUV(52, 12)};
    Click(clicks[0]);
    ASSERT_NE(mode->GetDrawnCurve(), nullptr);
    EXPECT_EQ(page.GetUndoCount(), 1u) << "a new curve saves the network first";
    Click(clicks[1]);
    Move(ScreenUV(45, 30));
    EXPECT_EQ(mode->GetClickedPointCount(), 2u);
    UINT menu = 0;
    mode->GetContextMenu(&menu, nullptr);
    EXPECT_EQ(menu, kNetworkDrawMenu);
    Paint();
    testview::Snapshot(view, "modes_network_drawing");
    // The curve being drawn shows in blue over the sheet.
    const wgl::PixelImage frame = testview::Frame(view);
    const POINT mid{(clicks[0].x + clicks[1].x) / 2, (clicks[0].y + clicks[1].y) / 2};
    bool blue = false;
    for (LONG dy = -3; dy <= 3 && !blue; ++dy)
        for (LONG dx = -3; dx <= 3 && !blue; ++dx)
        {
            const std::uint32_t px = frame.At(mid.x + dx, mid.y + dy);
            blue = (px & 0xFF) > 150 && ((px >> 8) & 0xFF) < 60 && ((px >> 16) & 0xFF) < 60;
        }
    EXPECT_TRUE(blue) << "drawn curve near " << mid.x << "," << mid.y;

    DoubleClick(clicks[2]);
    EXPECT_EQ(mode->GetDrawnCurve(), nullptr);
    ASSERT_EQ(CurveCount(), 1u);
    const NetworkNodes nodes = NodesOf(Network());
    ASSERT_EQ(nodes[0].size(), 3u) << "the double click's first click is kept once";
    for (std::size_t i = 0; i < 3; ++i)
    {
        const POINT at = Screen(nodes[0][i]);
        EXPECT_LE(std::abs(at.x - clicks[i].x), 1) << i;
        EXPECT_LE(std::abs(at.y - clicks[i].y), 1) << i;
    }
    // The middle node lies on the bent sheet, not on a flat plane.
    const P3 middle = nodes[0][1];
    const P3 expect = SheetPoint(30, 24);
    EXPECT_LT(Distance(middle, expect), 0.3f);
    EXPECT_TRUE(IsUsableNetworkCurve(*Network()->GetSegment(0)));
    Command(kCmdNetworkUndo);
    EXPECT_EQ(CurveCount(), 0u);
}

TEST_F(NetworkEdit, WithSubSamplingTheCommittedCurveGetsSamplesOnTheMesh)
{
    page.subSampling = true;
    page.sampleCount = 3;
    Click(ScreenUV(6, 12));
    Click(ScreenUV(54, 28));
    Paint();
    testview::Snapshot(view, "modes_network_sub_sampling_preview");
    Command(kCmdNetworkFinish);
    ASSERT_EQ(CurveCount(), 1u);
    const NetworkNodes nodes = NodesOf(Network());
    ASSERT_EQ(nodes[0].size(), 5u) << "the two ends and three samples between";
    // Every node lies on the bent sheet: its offset towards the viewer is
    // the bend at its place along the rows.
    for (const P3& p : nodes[0])
    {
        double d[3], u = 0.0, w = 0.0;
        for (int k = 0; k < 3; ++k)
        {
            d[k] = double(p[k]) - kOrigin[k];
            u += d[k] * right[k];
            w += d[k] * toward[k];
        }
        EXPECT_NEAR(w, -0.005 * (u - 30.0) * (u - 30.0), 0.05) << "at u = " << u;
    }
}

TEST_F(NetworkEdit, ShiftKeepsTheNextPointOnTheRowOrColumnOfTheLastClick)
{
    Click(ScreenUV(8, 10));
    const POINT second = ScreenUV(24, 26);
    Click(second);
    Key(VK_SHIFT, true);
    // Nearer the row of the last click than its column.
    Click(POINT{second.x + 60, second.y + 9});
    // Nearer its column.
    Click(POINT{second.x + 67, second.y - 50});
    Key(VK_SHIFT, false);
    const tPolyline<cVertex>* points = mode->GetDrawnCurve()->GetDefiningPoints();
    ASSERT_EQ(points->GetVertexCount(), 5u);
    const POINT last = Screen(*points->GetVertex(1));
    const POINT third = Screen(*points->GetVertex(2)), fourth = Screen(*points->GetVertex(3));
    EXPECT_LE(std::abs(third.y - last.y), 1) << "snapped to the row";
    EXPECT_LE(std::abs(third.x - (second.x + 60)), 1);
    EXPECT_LE(std::abs(fourth.x - third.x), 1) << "snapped to the column of the point before";
    EXPECT_LE(std::abs(fourth.y - (second.y - 50)), 1);
}

TEST_F(NetworkEdit, RemoveLastRestartAndFinishEditTheCurveBeingDrawn)
{
    Click(ScreenUV(8, 10));
    Click(ScreenUV(20, 30));
    Click(ScreenUV(40, 10));
    Command(kCmdNetworkRemoveLast);
    ASSERT_NE(mode->GetDrawnCurve(), nullptr);
    EXPECT_EQ(mode->GetDrawnCurve()->GetDefiningPoints()->GetVertexCount(), 3u);
    Command(kCmdNetworkFinish);
    ASSERT_EQ(CurveCount(), 1u);
    EXPECT_EQ(NodesOf(Network())[0].size(), 2u);
    Click(ScreenUV(8, 30));
    Command(kCmdNetworkRestart);
    EXPECT_EQ(mode->GetDrawnCurve(), nullptr);
    EXPECT_EQ(CurveCount(), 1u);
}

TEST_F(NetworkEdit, TheMenuOffersBreakForOneSelectedCurveAndMergeForTwo)
{
    BuildCross();
    Command(kCmdNetworkModify);
    UINT undoState = 0, deleteState = 0;
    std::vector<UINT> items = MenuItems(&undoState, &deleteState);
    EXPECT_EQ(std::count(items.begin(), items.end(), UINT(kCmdNetworkBreak)), 0);
    EXPECT_EQ(std::count(items.begin(), items.end(), UINT(kCmdNetworkMerge)), 0);
    EXPECT_TRUE(deleteState & MF_GRAYED) << "nothing selected, nothing to delete";
    EXPECT_TRUE(undoState & MF_GRAYED) << "an empty undo list";
    a->selected = 1;
    items = MenuItems(&undoState, &deleteState);
    EXPECT_EQ(std::count(items.begin(), items.end(), UINT(kCmdNetworkBreak)), 1);
    EXPECT_EQ(std::count(items.begin(), items.end(), UINT(kCmdNetworkMerge)), 0);
    EXPECT_FALSE(deleteState & MF_GRAYED);
    b->selected = 1;
    items = MenuItems();
    EXPECT_EQ(std::count(items.begin(), items.end(), UINT(kCmdNetworkBreak)), 0);
    EXPECT_EQ(std::count(items.begin(), items.end(), UINT(kCmdNetworkMerge)), 1);
    // Merging the two gives one curve through their shared end.
    Command(kCmdNetworkMerge);
    ASSERT_EQ(CurveCount(), 1u);
    EXPECT_EQ(NodesOf(Network())[0].size(), 5u);
    EXPECT_EQ(page.GetUndoCount(), 1u);
    // A selected node is enough for Delete.
    a = Network()->GetSegment(0);
    const_cast<tPolyline<cVertex>*>(a->GetDefiningPoints())->GetVertex(1)->flags |= kNetworkNodeSelected;
    MenuItems(nullptr, &deleteState);
    EXPECT_FALSE(deleteState & MF_GRAYED);
}

TEST_F(NetworkEdit, InATurnedPannedViewHoverAndPressFindTheCurveAndNodeUnderTheCursor)
{
    BuildCross();
    Command(kCmdNetworkModify);
    testview::TurnPanAndZoom(view);
    Paint();
    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    for (ST_ISectionCurve* curve : {a, b})
    {
        const POINT p = OnCurve(curve, 0.25);
        ASSERT_TRUE(::PtInRect(&client, p));
        Move(p);
        EXPECT_EQ(mode->GetHoveredCurve(), curve);
    }
    const P3 node = NodesOf(Network())[0].front();
    Move(Screen(node));
    EXPECT_EQ(P3({mode->GetHoveredPoint()[0], mode->GetHoveredPoint()[1], mode->GetHoveredPoint()[2]}), node);
    Click(OnCurve(b, 0.25));
    EXPECT_TRUE(b->selected);
    EXPECT_FALSE(a->selected);
}

TEST_F(NetworkEdit, APictureDrawnOverThePickImageIsNotReadAsTheNetwork)
{
    BuildCross();
    Command(kCmdNetworkModify);
    Paint();
    // A face-id pass (a selection stroke's) leaves triangle ids where the
    // network's ids were, with no frame drawn since.
    I3DSceneRenderer* renderer = view->GetRenderer();
    const bool wasCurrent = renderer->MakeCurrent();
    ASSERT_TRUE(RenderFaceIdPass(*renderer, *mesh, true));
    if (!wasCurrent)
        renderer->RestoreCurrent();
    const POINT p = OnCurve(b, 0.25);
    Move(p);
    EXPECT_EQ(mode->GetHoveredCurve(), b);
    Down(p);
    Up(p);
    EXPECT_TRUE(b->selected);
    EXPECT_FALSE(a->selected);
}

TEST_F(NetworkEdit, EscapeDropsTheDrawnCurveThenLeavesAddCurve)
{
    Click(ScreenUV(8, 10));
    Click(ScreenUV(20, 30));
    Escape();
    EXPECT_EQ(mode->GetDrawnCurve(), nullptr);
    EXPECT_EQ(mode->GetSubState(), kNetworkAddCurve) << "the first Escape only drops the curve";
    EXPECT_EQ(page.shown, kNetworkAddCurve) << "the page shows the sub-state the mode stays in";
    Escape();
    EXPECT_EQ(mode->GetSubState(), kNetworkModifyCurves);
    EXPECT_EQ(page.shown, kNetworkModifyCurves);
    EXPECT_EQ(view->GetActiveMode(), mode) << "Escape never ends the mode";
    EXPECT_EQ(CurveCount(), 0u);
}

TEST_F(NetworkEdit, ShiftClickAddsCurvesToTheSelectionAndEmptySpaceClearsIt)
{
    BuildCross();
    Command(kCmdNetworkModify);
    Paint();
    Click(OnCurve(a, 0.25));
    EXPECT_TRUE(a->selected);
    EXPECT_FALSE(b->selected);
    Key(VK_SHIFT, true);
    Click(OnCurve(b, 0.75));
    Key(VK_SHIFT, false);
    EXPECT_TRUE(a->selected);
    EXPECT_TRUE(b->selected);
    Click(OnCurve(a, 0.25));
    EXPECT_TRUE(a->selected);
    EXPECT_FALSE(b->selected) << "a plain click selects only the curve clicked";
    Click(ScreenUV(50, 35));
    EXPECT_FALSE(a->selected);
    EXPECT_FALSE(b->selected);
    EXPECT_EQ(CurveCount(), 2u);
}

TEST_F(NetworkEdit, APressOnACurveInsertsANodeOnlyWhenDraggedMoreThanFivePixels)
{
    BuildCross();
    Command(kCmdNetworkModify);
    Paint();
    const POINT p = OnCurve(a, 0.25);
    win32::AdvanceClock(2000);
    Move(p);
    Down(p);
    Move(POINT{p.x + 5, p.y});
    Move(POINT{p.x, p.y + 5});
    EXPECT_FALSE(mode->IsNodeDragging());
    Up(POINT{p.x, p.y + 5});
    EXPECT_EQ(NodesOf(Network())[0].size(), 3u) << "5 pixels insert nothing";
    EXPECT_EQ(page.GetUndoCount(), 0u);

    win32::AdvanceClock(2000);
    Move(p);
    Down(p);
    Move(POINT{p.x + 6, p.y});
    EXPECT_TRUE(mode->IsNodeDragging()) << "6 pixels insert a node and drag it";
    EXPECT_EQ(CurveCount(), 1u) << "the dragged curve is out of the network";
    EXPECT_EQ(page.GetUndoCount(), 1u);
    Move(POINT{p.x + 6, p.y + 12});
    Up(POINT{p.x + 6, p.y + 12});
    EXPECT_FALSE(mode->IsNodeDragging());
    ASSERT_EQ(CurveCount(), 2u);
    const NetworkNodes nodes = NodesOf(Network());
    std::size_t four = 0;
    for (const auto& curve : nodes)
        four += curve.size() == 4;
    EXPECT_EQ(four, 1u) << "the pressed curve has one node more";
    for (std::uint32_t i = 0; i < CurveCount(); ++i)
        EXPECT_TRUE(IsUsableNetworkCurve(*Network()->GetSegment(i)));
}

TEST_F(NetworkEdit, ADoubleClickOnASelectedCurveGivesItANodeThere)
{
    BuildCross();
    Command(kCmdNetworkModify);
    Paint();
    const POINT p = OnCurve(a, 0.25);
    DoubleClick(p);
    ASSERT_EQ(CurveCount(), 2u);
    const NetworkNodes nodes = NodesOf(Network());
    EXPECT_EQ(nodes[0].size(), 4u);
    EXPECT_EQ(nodes[1].size(), 3u);
    bool atClick = false;
    for (const P3& node : nodes[0])
        atClick = atClick || (std::abs(Screen(node).x - p.x) <= 1 && std::abs(Screen(node).y - p.y) <= 1);
    EXPECT_TRUE(atClick) << "the new node lies under the double click";
    EXPECT_EQ(page.GetUndoCount(), 1u);
    EXPECT_FALSE(Network()->GetSegment(0)->selected);
    EXPECT_TRUE(IsUsableNetworkCurve(*Network()->GetSegment(0)));
}

TEST_F(NetworkEdit, ANodeDraggedOverAnotherNodeSnapsOntoItAndDropsThere)
{
    a = AddCurve({{6, 10}, {20, 12}, {34, 10}});
    b = AddCurve({{10, 30}, {30, 34}, {50, 30}});
    Command(kCmdNetworkModify);
    Paint();
    const P3 target = NodesOf(Network())[1][1];
    const POINT from = ScreenUV(34, 10), onto = Screen(target);
    win32::AdvanceClock(2000);
    Move(from);
    Down(from);
    ASSERT_TRUE(mode->IsNodeDragging());
    Move(POINT{(from.x + onto.x) / 2, (from.y + onto.y) / 2});
    Move(POINT{onto.x + 3, onto.y - 2});
    const t3DPoint<float> held = mode->GetDraggedNode();
    EXPECT_EQ(held.x, target[0]) << "over a node the dragged node takes its place";
    EXPECT_EQ(held.y, target[1]);
    EXPECT_EQ(held.z, target[2]);
    Up(POINT{onto.x + 3, onto.y - 2});
    ASSERT_EQ(CurveCount(), 2u);
    int atTarget = 0;
    for (const auto& curve : NodesOf(Network()))
        for (const P3& node : curve)
            atTarget += node == target;
    EXPECT_EQ(atTarget, 2) << "the two curves now meet at a joint";
}

TEST_F(NetworkEdit, DraggingASharedNodeMovesEveryCurveThroughIt)
{
    BuildCross();
    AddCurve({{6, 36}, {20, 38}});
    Command(kCmdNetworkModify);
    Paint();
    const POINT shared = ScreenUV(30, 20);
    const POINT to{shared.x + 15, shared.y - 10};
    win32::AdvanceClock(2000);
    Move(shared);
    Down(shared);
    EXPECT_TRUE(mode->IsNodeDragging());
    EXPECT_EQ(mode->GetDraggedCurveCount(), 2u);
    EXPECT_EQ(CurveCount(), 1u);
    Move(POINT{shared.x + 8, shared.y - 5});
    Move(to);
    Paint();
    testview::Snapshot(view, "modes_network_shared_node_drag");
    Up(to);
    ASSERT_EQ(CurveCount(), 3u);
    // Both curves end at one new node on the mesh under the drop point.
    const NetworkNodes nodes = NodesOf(Network());
    std::vector<P3> ends;
    for (const auto& curve : nodes)
        if (curve.size() == 3)
            for (const P3& node : curve)
                if (std::abs(Screen(node).x - to.x) <= 1 && std::abs(Screen(node).y - to.y) <= 1)
                    ends.push_back(node);
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[0], ends[1]);
    EXPECT_GT(Distance(ends[0], SheetPoint(30, 20)), 3.0f);
    EXPECT_EQ(page.GetUndoCount(), 1u);
    Command(kCmdNetworkUndoKey);
    const NetworkNodes back = NodesOf(Network());
    EXPECT_EQ(back.size(), 3u);
    bool sharedAgain = false;
    for (const auto& curve : back)
        for (const P3& node : curve)
            sharedAgain = sharedAgain || Distance(node, SheetPoint(30, 20)) < 1e-3f;
    EXPECT_TRUE(sharedAgain) << "Ctrl+Z puts the node back";
}

TEST_F(NetworkEdit, InExtrapolateOnlyEndNodesHoverAndAnEndDraggedOffTheMeshExtendsTheCurve)
{
    a = AddCurve({{10, 20}, {25, 22}, {40, 20}});
    Command(kCmdNetworkExtrapolate);
    EXPECT_EQ(Cursor(), int(kCursorNetworkExtrapolate));
    EXPECT_EQ(page.shown, kNetworkExtrapolateEnds);
    Paint();
    Move(ScreenUV(25, 22));
    EXPECT_TRUE(IsFloatUnset(mode->GetHoveredPoint()[0])) << "an inner node is not hovered";
    const POINT end = ScreenUV(40, 20);
    Move(end);
    const P3 endNode = SheetPoint(40, 20);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(mode->GetHoveredPoint()[k], endNode[k], 1e-3) << k;
    EXPECT_FALSE(IsFloatUnset(mode->GetHoveredPoint()[0]));
    // An inner node cannot be dragged here, and a click beside the curves
    // deselects them.
    const NetworkNodes before = NodesOf(Network());
    Drag(ScreenUV(25, 22), ScreenUV(25, 32), 4);
    EXPECT_EQ(NodesOf(Network()), before);
    EXPECT_EQ(page.GetUndoCount(), 0u);
    Network()->GetSegment(0)->selected = 1;
    Click(ScreenUV(50, 35));
    EXPECT_FALSE(Network()->GetSegment(0)->selected);
    // Past the sheet's right edge (u = 60), where there is no mesh.
    const POINT off = ScreenUV(72, 20);
    Drag(end, off, 6);
    ASSERT_EQ(CurveCount(), 1u);
    const NetworkNodes nodes = NodesOf(Network());
    const P3 last = nodes[0].back();
    EXPECT_GT(Distance(last, SheetPoint(10, 20)), 55.0f) << "the end moved out towards the drop point";
    // Extended in steps of a pixel's length along the curve's end.
    EXPECT_LT(std::abs(Screen(last).x - off.x), 0.15 * (off.x - end.x));
    EXPECT_TRUE(IsUsableNetworkCurve(*Network()->GetSegment(0)));
}

// The same at the curve's first node, with nodes kept on the mesh: the start
// is extended too, not sent back as an inner node dropped off the mesh.
TEST_F(NetworkEdit, InExtrapolateTheFirstNodeDraggedOffTheMeshExtendsTheCurvesStart)
{
    a = AddCurve({{40, 20}, {25, 22}, {10, 20}});
    Command(kCmdNetworkExtrapolate);
    Paint();
    const POINT start = ScreenUV(40, 20), off = ScreenUV(72, 20);
    Drag(start, off, 6);
    ASSERT_EQ(CurveCount(), 1u);
    const P3 first = NodesOf(Network())[0].front();
    EXPECT_GT(Distance(first, SheetPoint(10, 20)), 55.0f) << "the start moved out towards the drop point";
    EXPECT_LT(std::abs(Screen(first).x - off.x), 0.15 * (off.x - start.x));
}

TEST_F(NetworkEdit, ANodeDroppedOffTheMeshGoesBackOnlyWhileNodesKeepToTheMesh)
{
    a = AddCurve({{10, 20}, {25, 22}, {40, 20}});
    Command(kCmdNetworkModify);
    Paint();
    const NetworkNodes before = NodesOf(Network());
    const POINT off = ScreenUV(25, 60);
    Drag(ScreenUV(25, 22), off, 5);
    EXPECT_EQ(NodesOf(Network()), before) << "nothing under the drop: the curve keeps its shape";
    Command(kCmdNetworkToggleKeepOnMesh);
    ASSERT_FALSE(page.keepOnMesh);
    Drag(ScreenUV(25, 22), off, 5);
    ASSERT_EQ(CurveCount(), 1u);
    const P3 moved = NodesOf(Network())[0][1];
    EXPECT_LE(std::abs(Screen(moved).x - off.x), 1);
    EXPECT_LE(std::abs(Screen(moved).y - off.y), 1) << "a free drop leaves the node where it was dragged";
    EXPECT_EQ(page.GetUndoCount(), 1u) << "the drop that went back left no step";
}

TEST_F(NetworkEdit, ANodeThatGoesBackFromADropOffTheMeshLeavesTheUndoStepBefore)
{
    a = AddCurve({{10, 20}, {25, 22}, {40, 20}});
    b = AddCurve({{10, 40}, {25, 42}, {40, 40}});
    Command(kCmdNetworkModify);
    Paint();
    const NetworkNodes before = NodesOf(Network());
    Drag(ScreenUV(25, 22), ScreenUV(25, 70), 5);
    EXPECT_EQ(NodesOf(Network()), before) << "the curves as they were, in their order";
    EXPECT_EQ(page.GetUndoCount(), 0u);
}

TEST_F(NetworkEdit, CursorsFollowTheSubStateAndKeepOnMesh)
{
    Command(kCmdNetworkModify);
    page.keepOnMesh = true;
    EXPECT_EQ(Cursor(), int(kCursorNetworkOnMesh));
    page.keepOnMesh = false;
    EXPECT_EQ(Cursor(), int(kCursorNetworkModify));
    Command(kCmdNetworkToggleKeepOnMesh);
    EXPECT_TRUE(page.keepOnMesh);
    EXPECT_EQ(Cursor(), int(kCursorNetworkOnMesh));
    Command(kCmdNetworkSectionPlane);
    EXPECT_EQ(page.recomputed, 1);
    Paint();
    EXPECT_EQ(Cursor(), int(kCursorNetworkSection));
    Move(ScreenUV(30, 20));
    EXPECT_TRUE(mode->IsOverSectionPlane()) << "the plane lies across the middle of the sheet";
    EXPECT_EQ(Cursor(), int(kCursorNetworkOverPlane));
}

TEST_F(NetworkEdit, DraggingTheSectionPlaneSlidesItAlongItsNormalAndCutsOnRelease)
{
    Command(kCmdNetworkSectionPlane);
    Paint();
    const P3 centre = SheetPoint(30, 20);
    const cPlane before = page.plane.GetPlane();
    const double n[3] = {before.normal[0], before.normal[1], before.normal[2]};
    auto along = [&](const cPlane& p) {
        return (p.origin[0] - centre[0]) * n[0] + (p.origin[1] - centre[1]) * n[1] + (p.origin[2] - centre[2]) * n[2];
    };
    EXPECT_NEAR(along(before), 0.0, 1e-3);
    // 10 mm along the sheet's rows, which have a part along the normal.
    const POINT from = ScreenUV(30, 20), to = ScreenUV(40, 20);
    const int recomputed = page.recomputed;
    Drag(from, to, 4);
    const cPlane after = page.plane.GetPlane();
    const P3 target = SheetPoint(40, 20);
    const double expected = (target[0] - centre[0]) * n[0] + (target[1] - centre[1]) * n[1] + (target[2] - centre[2]) * n[2];
    EXPECT_GT(std::fabs(expected), 1.0);
    EXPECT_NEAR(along(after), expected, 0.5) << "the plane passes through the point under the cursor";
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(after.normal[k], n[k], 1e-6) << "its normal stays";
    EXPECT_GT(page.positionUpdates, 0);
    EXPECT_EQ(page.recomputed, recomputed + 1) << "the sections are cut again once, on release";
    EXPECT_EQ(CurveCount(), 0u);
}

TEST_F(NetworkEdit, EscapeEndsASectionPlaneDrag)
{
    Command(kCmdNetworkSectionPlane);
    Paint();
    const POINT from = ScreenUV(30, 20);
    win32::AdvanceClock(2000);
    Move(from);
    Down(from);
    ASSERT_TRUE(mode->IsDragging());
    Escape();
    const cPlane held = page.plane.GetPlane();
    Move(ScreenUV(45, 20));
    EXPECT_EQ(page.plane.GetPlane().origin[0], held.origin[0]) << "the plane no longer follows the cursor";
    Up(ScreenUV(45, 20));
}

TEST_F(NetworkEdit, NearANodeTheCursorSnapsUnlessSnappingIsOffAndAltInvertsIt)
{
    a = AddCurve({{10, 20}, {30, 24}, {50, 20}});
    const POINT near = ScreenUV(30.5, 24.3);
    Move(near);
    EXPECT_TRUE(mode->IsSnappingOn()) << "the page hands snapping on";
    EXPECT_EQ(mode->GetSnap().kind, kCurveSnapPoint);
    Command(kCmdNetworkSnapOff);
    Move(ScreenUV(30.4, 24.2));
    EXPECT_NE(mode->GetSnap().kind, kCurveSnapPoint);
    Key(VK_MENU, true);
    Move(near);
    EXPECT_EQ(mode->GetSnap().kind, kCurveSnapPoint) << "Alt snaps while snapping is off";
    Key(VK_MENU, false);
    Command(kCmdNetworkSnapOn);
    Move(ScreenUV(30.4, 24.2));
    EXPECT_EQ(mode->GetSnap().kind, kCurveSnapPoint);
    Move(ScreenUV(20, 34));
    EXPECT_NE(mode->GetSnap().kind, kCurveSnapPoint) << "far from every node nothing snaps";
}

TEST_F(NetworkEdit, PreserveG1FromTheMenuSetsTheTangencyAngle)
{
    EXPECT_EQ(mode->GetTangencyAngle(), -1.0) << "off: no tangency";
    Command(kCmdNetworkTogglePreserveG1);
    EXPECT_TRUE(page.preserveG1);
    EXPECT_NEAR(mode->GetTangencyAngle(), 45.0 * 0.017453292519943295, 1e-12);
    Command(kCmdNetworkTogglePreserveG1);
    EXPECT_EQ(mode->GetTangencyAngle(), -1.0);
}

TEST_F(NetworkEdit, AddCurveAndSectionPlaneDeselectNodesModifyKeepsThem)
{
    a = AddCurve({{10, 20}, {30, 24}, {50, 20}});
    auto mark = [&] {
        const_cast<tPolyline<cVertex>*>(Network()->GetSegment(0)->GetDefiningPoints())->GetVertex(1)->flags |=
            kNetworkNodeSelected;
    };
    auto marked = [&] {
        return (Network()->GetSegment(0)->GetDefiningPoints()->GetVertex(1)->flags & kNetworkNodeSelected) != 0;
    };
    mark();
    Command(kCmdNetworkModify);
    EXPECT_TRUE(marked());
    Command(kCmdNetworkExtrapolate);
    EXPECT_TRUE(marked());
    Command(kCmdNetworkAddCurve);
    EXPECT_FALSE(marked());
    mark();
    Command(kCmdNetworkSectionPlane);
    EXPECT_FALSE(marked());
}

TEST_F(NetworkEdit, TheDialogsHintShowsInTheModesLabelOnlyWhenThereIsOne)
{
    owner.hint = L"Click on the mesh to add curve points";
    Command(kCmdNetworkUpdateStatus);
    ASSERT_NE(mode->GetHintLabel(), nullptr);
    EXPECT_TRUE(mode->GetHintLabel()->IsVisible());
    owner.hint.clear();
    Command(kCmdNetworkUpdateStatus);
    EXPECT_FALSE(mode->GetHintLabel()->IsVisible());
}

TEST_F(NetworkEdit, DeleteSavesAnUndoCopyAndCtrlZRestoresLikeUndo)
{
    BuildCross();
    Command(kCmdNetworkModify);
    const NetworkNodes before = NodesOf(Network());
    a->selected = 1;
    Command(kCmdNetworkDelete);
    EXPECT_EQ(CurveCount(), 1u);
    ASSERT_EQ(page.GetUndoCount(), 1u);
    Command(kCmdNetworkUndoKey);
    EXPECT_EQ(NodesOf(Network()), before);
    Network()->GetSegment(1)->selected = 1;
    Command(kCmdNetworkDelete);
    EXPECT_EQ(CurveCount(), 1u);
    Command(kCmdNetworkUndo);
    EXPECT_EQ(NodesOf(Network()), before) << "the menu's Undo and Ctrl+Z do the same";
    Command(kCmdNetworkDelete);
    EXPECT_EQ(page.GetUndoCount(), 0u) << "nothing selected: nothing deleted, nothing saved";
}

TEST_F(NetworkEdit, EscapeDuringADragPutsTheGrabbedCurvesBack)
{
    BuildCross();
    Command(kCmdNetworkModify);
    Paint();
    const NetworkNodes before = NodesOf(Network());
    const POINT shared = ScreenUV(30, 20);
    win32::AdvanceClock(2000);
    Move(shared);
    Down(shared);
    Move(POINT{shared.x + 20, shared.y});
    ASSERT_TRUE(mode->IsNodeDragging());
    Escape();
    EXPECT_FALSE(mode->IsNodeDragging());
    EXPECT_EQ(::GetCapture(), nullptr) << "the view lets the mouse go";
    ASSERT_EQ(CurveCount(), 2u);
    NetworkNodes after = NodesOf(Network());
    NetworkNodes sortedBefore = before;
    std::sort(after.begin(), after.end());
    std::sort(sortedBefore.begin(), sortedBefore.end());
    EXPECT_EQ(after, sortedBefore);
    Up(POINT{shared.x + 20, shared.y});
    EXPECT_EQ(CurveCount(), 2u) << "the release after Escape drops nothing";
}

TEST_F(NetworkEdit, ADragEndedByEscapeLeavesNoUndoStep)
{
    BuildCross();
    Command(kCmdNetworkModify);
    a->selected = 1;
    Command(kCmdNetworkDelete);
    ASSERT_EQ(page.GetUndoCount(), 1u);
    Paint();
    const NetworkNodes deleted = NodesOf(Network());
    const POINT end = ScreenUV(30, 38); // b's end
    win32::AdvanceClock(2000);
    Move(end);
    Down(end);
    Move(POINT{end.x - 20, end.y + 10});
    ASSERT_TRUE(mode->IsNodeDragging());
    Escape();
    Up(POINT{end.x - 20, end.y + 10});
    EXPECT_EQ(NodesOf(Network()), deleted);
    EXPECT_EQ(page.GetUndoCount(), 1u) << "the next Undo takes back the Delete";
    // Delete during a drag ends it so too (nothing is selected to delete).
    Paint();
    win32::AdvanceClock(2000);
    Move(end);
    Down(end);
    Move(POINT{end.x - 20, end.y + 10});
    ASSERT_TRUE(mode->IsNodeDragging());
    Command(kCmdNetworkDelete);
    Up(POINT{end.x - 20, end.y + 10});
    EXPECT_EQ(NodesOf(Network()), deleted);
    EXPECT_EQ(page.GetUndoCount(), 1u);
}

TEST_F(NetworkEdit, ALostReleaseOrLostFocusDuringADragPutsTheCurvesBack)
{
    BuildCross();
    Command(kCmdNetworkModify);
    Paint();
    const POINT shared = ScreenUV(30, 20);
    win32::AdvanceClock(2000);
    Move(shared);
    Down(shared);
    ASSERT_TRUE(mode->IsNodeDragging());
    // The button came up outside: the next move arrives without it.
    mode->OnMouseMove(POINT{shared.x + 30, shared.y}, 0, view);
    EXPECT_FALSE(mode->IsNodeDragging());
    EXPECT_EQ(CurveCount(), 2u);
    Up(shared);

    Paint();
    win32::AdvanceClock(2000);
    Down(shared);
    ASSERT_TRUE(mode->IsNodeDragging());
    CWnd other;
    ASSERT_TRUE(other.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, 400, 400, 10, 10, nullptr, nullptr));
    ::SetFocus(other.GetSafeHwnd());
    mfc::PumpUntilIdle();
    EXPECT_FALSE(mode->IsNodeDragging());
    EXPECT_EQ(CurveCount(), 2u);
    other.DestroyWindow();
    win32::ResetInputState();
}

TEST_F(NetworkEdit, ATabSwitchOrTheViewClosingDuringADragPutsTheCurvesBack)
{
    BuildCross();
    Command(kCmdNetworkModify);
    Paint();
    const POINT shared = ScreenUV(30, 20);
    win32::AdvanceClock(2000);
    Move(shared);
    Down(shared);
    ASSERT_TRUE(mode->IsNodeDragging());
    ST_IProfiledSurface* surface = page.Surface();
    // Another tab starts its own editing mode.
    view->SetModeById(kModeExtendSurface, 0, 0);
    EXPECT_EQ(surface->GetProfileCurve()->GetSegmentCount(), 2u);
    win32::ResetInputState();

    ASSERT_TRUE(view->StartToolMode(kModeEditNetwork, nullptr));
    mode = dynamic_cast<CUIM_EditNetwork*>(view->GetActiveMode());
    ASSERT_NE(mode, nullptr);
    Command(kCmdNetworkModify);
    Paint();
    win32::AdvanceClock(2000);
    Move(shared);
    Down(shared);
    ASSERT_TRUE(mode->IsNodeDragging());
    EXPECT_EQ(surface->GetProfileCurve()->GetSegmentCount(), 0u);
    // The dialog closes with the button still down.
    fixture.Close();
    view = nullptr;
    mode = nullptr;
    EXPECT_EQ(surface->GetProfileCurve()->GetSegmentCount(), 2u);
    EXPECT_EQ(page.displayEnded, 2);
}

TEST_F(NetworkEdit, AClickOnANodeWhileDrawingStartsTheCurveExactlyThere)
{
    a = AddCurve({{6, 20}, {30, 24}, {54, 20}});
    const P3 node = NodesOf(Network())[0][1];
    Click(Screen(node));
    Click(ScreenUV(30, 36));
    Command(kCmdNetworkFinish);
    ASSERT_EQ(CurveCount(), 2u);
    const NetworkNodes nodes = NodesOf(Network());
    EXPECT_EQ(nodes[0].size(), 3u) << "the hovered curve keeps its nodes";
    EXPECT_EQ(nodes[1].front(), node) << "the new curve starts at the node itself";
}

TEST_F(NetworkEdit, AlongAGuidingCurveTheDraggedPlaneFollowsTheCurve)
{
    a = AddCurve({{6, 10}, {30, 20}, {54, 30}});
    page.plane.SetSectionCurve(a);
    Command(kCmdNetworkSectionPlane);
    Paint();
    const POINT from = ScreenUV(30, 20);
    Move(from);
    ASSERT_TRUE(mode->IsOverSectionPlane());
    Drag(from, ScreenUV(42, 25), 4);
    // The plane sits on the curve at the stored parameter, across its
    // tangent there.
    t3DPoint<double> at{}, tangent{};
    ASSERT_TRUE(a->EvaluateInWorld(page.guide, &at, &tangent, nullptr));
    EXPECT_GT(page.guide, 0.55);
    const cPlane& plane = page.plane.GetPlane();
    const double off = (at.x - plane.origin[0]) * plane.normal[0] + (at.y - plane.origin[1]) * plane.normal[1] +
                       (at.z - plane.origin[2]) * plane.normal[2];
    EXPECT_NEAR(off, 0.0, 1e-3) << "the plane passes through the curve point";
    const double length = std::sqrt(tangent.x * tangent.x + tangent.y * tangent.y + tangent.z * tangent.z);
    const double along = (plane.normal[0] * tangent.x + plane.normal[1] * tangent.y + plane.normal[2] * tangent.z) / length;
    EXPECT_NEAR(std::fabs(along), 1.0, 1e-4);
}

TEST_F(NetworkEdit, AClickOnACurveWhileDrawingMakesAJointOfIt)
{
    a = AddCurve({{6, 20}, {54, 20}});
    Click(ScreenUV(30, 8));
    Move(OnCurve(a, 0.5));
    const POINT onA = OnCurve(a, 0.5);
    Click(onA);
    Move(ScreenUV(30, 36));
    DoubleClick(ScreenUV(30, 36));
    ASSERT_EQ(CurveCount(), 2u);
    // The crossing is a node of both curves.
    const NetworkNodes nodes = NodesOf(Network());
    int shared = 0;
    for (const P3& p : nodes[0])
        for (const P3& q : nodes[1])
            shared += Distance(p, q) < 1e-3f;
    EXPECT_EQ(shared, 1);
    Paint();
    testview::Snapshot(view, "modes_network_joint");
}

} // namespace
