// The network mode where a slip would lose work or touch curves that are
// gone: double clicks with nothing to give a node to, a curve left half drawn
// while nodes are edited, merged or broken curves the hover still named,
// snapping off the mesh, drops when the pick pass could not run, and a
// section plane grabbed only on its face in a turned view.
#include "network_edit_test_support.h"

#include <cmath>

namespace
{

using namespace networktest;

class NetworkGuards : public NetworkView
{
protected:
    // Two curves across the sheet meeting at the sheet point (30, 20).
    void BuildCross()
    {
        a = AddCurve({{6, 20}, {18, 21}, {30, 20}});
        b = AddCurve({{30, 20}, {31, 30}, {30, 38}});
    }
    // A spline through world points, added to the network.
    ST_ISectionCurve* AddCurveThrough(const std::vector<P3>& points)
    {
        auto curve = std::make_unique<ST_TSplineCurve<Dezaz_Wire>>();
        double id[12];
        MakeIdentity3x4(id);
        tPolyline<cVertex> polyline;
        for (const P3& p : points)
            polyline.AddFloatPoint(p.data());
        EXPECT_TRUE(curve->FitToPolyline(id, polyline, 0.0, 0));
        ST_ISectionCurve* raw = curve.release();
        Network()->AddCurve(raw);
        Paint();
        return raw;
    }
    std::vector<std::size_t> NodeCounts() const
    {
        std::vector<std::size_t> counts;
        for (const auto& curve : NodesOf(Network()))
            counts.push_back(curve.size());
        return counts;
    }
    ST_ISectionCurve* a = nullptr;
    ST_ISectionCurve* b = nullptr;
};

float Distance(const float* p, const P3& q)
{
    return std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) + (p[2] - q[2]) * (p[2] - q[2]));
}

} // namespace

TEST_F(NetworkGuards, ADoubleClickInModifyWithNoCurveSelectedChangesNothing)
{
    BuildCross();
    Command(kCmdNetworkModify);
    Paint();
    // Empty sheet: the first click clears the selection, so no curve takes
    // the node.
    DoubleClick(ScreenUV(50, 35));
    EXPECT_EQ(NodeCounts(), (std::vector<std::size_t>{3, 3}));
    EXPECT_EQ(page.GetUndoCount(), 0u) << "nothing changed, nothing saved";
    EXPECT_EQ(mode->GetSubState(), kNetworkModifyCurves);
}

TEST_F(NetworkGuards, ACurveLeftHalfDrawnWaitsWhileADoubleClickInModifyGivesANode)
{
    BuildCross();
    Click(ScreenUV(10, 5));
    Click(ScreenUV(25, 8));
    ASSERT_NE(mode->GetDrawnCurve(), nullptr);
    const std::size_t drawnPoints = mode->GetDrawnCurve()->GetDefiningPoints()->GetVertexCount();
    Command(kCmdNetworkModify);
    Paint();
    DoubleClick(OnCurve(a, 0.25));
    EXPECT_EQ(NodeCounts(), (std::vector<std::size_t>{4, 3})) << "the double click gave the clicked curve a node";
    ASSERT_NE(mode->GetDrawnCurve(), nullptr) << "the half-drawn curve is neither committed nor lost";
    EXPECT_EQ(mode->GetDrawnCurve()->GetDefiningPoints()->GetVertexCount(), drawnPoints);
    // Back in Add Curve it is finished as it was.
    Command(kCmdNetworkAddCurve);
    Command(kCmdNetworkFinish);
    EXPECT_EQ(CurveCount(), 3u);
}

TEST_F(NetworkGuards, MergingOrBreakingLetsGoOfTheHoveredCurve)
{
    BuildCross();
    Command(kCmdNetworkModify);
    Paint();
    Move(OnCurve(a, 0.25));
    ASSERT_EQ(mode->GetHoveredCurve(), a);
    a->selected = 1;
    b->selected = 1;
    Command(kCmdNetworkMerge);
    ASSERT_EQ(CurveCount(), 1u);
    EXPECT_EQ(mode->GetHoveredCurve(), nullptr) << "the hovered curve was merged away";
    Paint();

    // A curve with another one starting at its middle node, broken there.
    Network()->GetSegment(0)->selected = 0;
    ST_ISectionCurve* across = AddCurve({{6, 6}, {30, 6}, {54, 6}});
    AddCurve({{30, 6}, {40, 10}, {50, 14}});
    Move(OnCurve(across, 0.25));
    ASSERT_EQ(mode->GetHoveredCurve(), across);
    across->selected = 1;
    Command(kCmdNetworkBreak);
    ASSERT_EQ(CurveCount(), 4u);
    EXPECT_EQ(mode->GetHoveredCurve(), nullptr) << "the hovered curve was broken into two";
    Paint();
    // A double click now gives the selected piece under the cursor a node.
    Click(OnCurve(Network()->GetSegment(0), 0.375));
    std::size_t before = 0;
    for (const auto& curve : NodesOf(Network()))
        before += curve.size();
    DoubleClick(OnCurve(Network()->GetSegment(0), 0.375));
    std::size_t after = 0;
    for (const auto& curve : NodesOf(Network()))
        after += curve.size();
    EXPECT_EQ(after, before + 1);
}

TEST_F(NetworkGuards, OffTheMeshTheCursorSnapsToANodeInTheViewPlane)
{
    // A node below the sheet, on the view plane through the scene's centre,
    // where the cursor lands when no mesh is under it.
    const POINT below = ScreenUV(30, -5);
    I3DSceneRenderer* renderer = view->GetRenderer();
    float viewPoint[3] = {0.0f, 0.0f, 0.0f};
    renderer->ScreenToWorld(below, &viewPoint[0], &viewPoint[1]);
    P3 node{};
    renderer->ViewToWorld(node.data(), viewPoint);
    AddCurveThrough({node, SheetPoint(34, 8), SheetPoint(40, 16)});
    Move(POINT{below.x + 2, below.y + 1});
    ASSERT_EQ(mode->GetSnap().kind, kCurveSnapPoint);
    EXPECT_LT(Distance(mode->GetSnap().snapped.Position(), node), 1e-3f);
    Move(POINT{below.x + 40, below.y + 1});
    EXPECT_NE(mode->GetSnap().kind, kCurveSnapPoint) << "40 pixels away nothing snaps";
}

TEST_F(NetworkGuards, ADropAfterAFailedPickPassLandsOnTheMeshNotOnSomeNode)
{
    a = AddCurve({{6, 10}, {20, 12}, {34, 10}});
    b = AddCurve({{10, 30}, {30, 34}, {50, 30}});
    Command(kCmdNetworkModify);
    Paint();
    const POINT from = ScreenUV(20, 12), to = ScreenUV(45, 18);
    win32::AdvanceClock(2000);
    Move(from);
    Down(from);
    ASSERT_TRUE(mode->IsNodeDragging());
    Move(POINT{(from.x + to.x) / 2, (from.y + to.y) / 2});
    Move(to);
    // The last pick pass could not run (no renderer to draw it with): no
    // pixel may be read as a node id then.
    mode->OnAfterFullRedraw(nullptr);
    ASSERT_FALSE(mode->IsPickBufferValid());
    Up(to);
    ASSERT_EQ(CurveCount(), 2u);
    const P3 bStart = SheetPoint(10, 30);
    bool atTarget = false;
    for (const auto& curve : NodesOf(Network()))
        for (const P3& node : curve)
        {
            const POINT s = Screen(node);
            atTarget = atTarget || (std::abs(s.x - to.x) <= 1 && std::abs(s.y - to.y) <= 1);
        }
    EXPECT_TRUE(atTarget) << "the node lies on the mesh under the release";
    int atBStart = 0;
    for (const auto& curve : NodesOf(Network()))
        for (const P3& node : curve)
            atBStart += Distance(node.data(), bStart) < 1e-3f;
    EXPECT_EQ(atBStart, 1) << "no node jumped onto the first node of the network";
}

TEST_F(NetworkGuards, TheSectionPlaneIsGrabbedAnywhereOnItsFaceAndOnlyThere)
{
    // A small plane facing the viewer over the middle of the sheet.
    const P3 centre = SheetPoint(30, 20);
    page.plane.Begin({centre[0], centre[1], centre[2]}, 8.0);
    page.plane.SetNormal({float(toward[0]), float(toward[1]), float(toward[2])});
    Command(kCmdNetworkSectionPlane);
    Paint();
    // 5 mm off its centre, inside its face away from its normal's arrow.
    Move(ScreenUV(34, 23));
    EXPECT_EQ(Cursor(), int(kCursorNetworkOverPlane));
    Move(ScreenUV(45, 32));
    EXPECT_EQ(Cursor(), int(kCursorNetworkSection)) << "20 mm off it is not over the plane";

    // Turned a quarter of a right angle in its own plane: its corner now
    // points up the sheet, 11.3 mm from its centre.
    const float diagonal[3] = {float((right[0] + up[0]) / std::sqrt(2.0)), float((right[1] + up[1]) / std::sqrt(2.0)),
                               float((right[2] + up[2]) / std::sqrt(2.0))};
    ASSERT_TRUE(page.plane.SetXDirection({diagonal[0], diagonal[1], diagonal[2]}));
    Paint();
    Move(ScreenUV(30, 30.5));
    EXPECT_EQ(Cursor(), int(kCursorNetworkOverPlane)) << "near its corner, 10.5 mm up the sheet";
    Move(ScreenUV(37, 27));
    EXPECT_EQ(Cursor(), int(kCursorNetworkSection)) << "9.9 mm along its own axis is past its edge";
}

TEST_F(NetworkGuards, InATurnedPannedViewAPlaneAcrossTheSheetIsGrabbedOnItsFaceOnly)
{
    // A plane standing across the sheet (normal along the sheet's rows),
    // seen at a slant in a turned, panned and zoomed view.
    const P3 centre = SheetPoint(30, 20);
    page.plane.Begin({centre[0], centre[1], centre[2]}, 8.0);
    page.plane.SetNormal({float(right[0]), float(right[1]), float(right[2])});
    Command(kCmdNetworkSectionPlane);
    testview::TurnPanAndZoom(view);
    Paint();
    const auto along = [&](const double d[3], double mm) {
        return P3{float(centre[0] + mm * d[0]), float(centre[1] + mm * d[1]), float(centre[2] + mm * d[2])};
    };
    for (const P3& onFace : {along(up, 5), along(up, -5), along(toward, 5), along(toward, -5)})
    {
        Move(Screen(onFace));
        EXPECT_EQ(Cursor(), int(kCursorNetworkOverPlane));
    }
    // Beside it on the sheet, on the side away from its normal's arrow.
    Move(Screen(along(right, -7)));
    EXPECT_EQ(Cursor(), int(kCursorNetworkSection));
}

TEST_F(NetworkGuards, APlaneDragEndedWithoutItsReleaseStillCutsWhereThePlaneWasLeft)
{
    Command(kCmdNetworkSectionPlane);
    Paint();
    const POINT from = ScreenUV(30, 20), to = ScreenUV(40, 20);
    // The release happens outside the view: the next move comes without
    // the button.
    win32::AdvanceClock(2000);
    Move(from);
    Down(from);
    Move(to);
    const cPlane left = page.plane.GetPlane();
    int cut = page.recomputed;
    mode->OnMouseMove(ScreenUV(45, 25), 0, view);
    EXPECT_FALSE(mode->IsDragging());
    EXPECT_EQ(page.recomputed, cut + 1) << "the preview is cut where the plane now is";
    EXPECT_EQ(page.plane.GetPlane().origin[0], left.origin[0]);
    ::ReleaseCapture();

    // Escape during a drag leaves the plane where it is too.
    win32::AdvanceClock(2000);
    Move(to);
    Down(to);
    Move(from);
    cut = page.recomputed;
    Escape();
    EXPECT_EQ(page.recomputed, cut + 1);
    Up(from);
    EXPECT_EQ(page.recomputed, cut + 1) << "the release after Escape cuts nothing more";
}

TEST_F(NetworkGuards, TheFirstNodeHoversAndADragGivesTheMouseBack)
{
    a = AddCurve({{6, 10}, {20, 12}, {34, 10}});
    Command(kCmdNetworkModify);
    Paint();
    // The network's very first node has pick id 0.
    const P3 first = NodesOf(Network())[0][0];
    Move(Screen(first));
    ASSERT_FALSE(IsFloatUnset(mode->GetHoveredPoint()[0]));
    EXPECT_LT(Distance(mode->GetHoveredPoint(), first), 1e-4f);
    // Dragged and dropped: the view holds the mouse only while the button is down.
    win32::AdvanceClock(2000);
    Down(Screen(first));
    ASSERT_TRUE(mode->IsNodeDragging());
    EXPECT_EQ(::GetCapture(), view->GetSafeHwnd());
    Move(ScreenUV(12, 20));
    Up(ScreenUV(12, 20));
    EXPECT_NE(::GetCapture(), view->GetSafeHwnd());
}

TEST_F(NetworkGuards, WithNodesNotKeptOnTheMeshADropOverTheMeshStaysInTheViewPlane)
{
    // The node starts where the sheet bends little and is dropped where it
    // bends more: a free drop keeps the node's depth, it is not pulled onto
    // the mesh.
    a = AddCurve({{10, 20}, {30, 22}, {40, 20}});
    Command(kCmdNetworkModify);
    Command(kCmdNetworkToggleKeepOnMesh);
    ASSERT_FALSE(page.keepOnMesh);
    Paint();
    const P3 start = NodesOf(Network())[0][1];
    const POINT to = ScreenUV(52, 22);
    Drag(Screen(start), to, 5);
    ASSERT_EQ(CurveCount(), 1u);
    const P3 moved = NodesOf(Network())[0][1];
    const auto depth = [&](const P3& p) { return p[0] * toward[0] + p[1] * toward[1] + p[2] * toward[2]; };
    EXPECT_NEAR(depth(moved), depth(start), 0.05) << "the node moved in the view plane";
    const P3 onMesh = SheetPoint(52, 22);
    EXPECT_GT(std::abs(depth(onMesh) - depth(start)), 1.0) << "the mesh lies elsewhere there";
    EXPECT_LE(std::abs(Screen(moved).x - to.x), 1);
    EXPECT_LE(std::abs(Screen(moved).y - to.y), 1);
}

TEST_F(NetworkGuards, ANodeDroppedOnACurvesFirstSegmentOrFirstNodeJoinsIt)
{
    a = AddCurve({{6, 10}, {20, 12}, {34, 10}});
    b = AddCurve({{10, 30}, {30, 34}, {50, 30}});
    Command(kCmdNetworkModify);
    Paint();
    // b's first node onto the middle of a's first segment.
    const POINT onSegment = OnCurve(a, 0.2);
    Drag(ScreenUV(10, 30), onSegment, 5);
    ASSERT_EQ(CurveCount(), 2u);
    NetworkNodes nodes = NodesOf(Network());
    ASSERT_EQ(nodes[0].size(), 4u) << "a took the dropped node as a joint";
    const P3 joint = nodes[0][1];
    bool shared = false;
    for (const P3& node : nodes[1])
        shared = shared || Distance(node.data(), joint) < 1e-4f;
    EXPECT_TRUE(shared);

    // b's last node onto the network's very first node (a's start).
    const P3 first = NodesOf(Network())[0][0];
    const POINT near{Screen(first).x + 3, Screen(first).y - 2};
    win32::AdvanceClock(2000);
    Move(ScreenUV(50, 30));
    Down(ScreenUV(50, 30));
    Move(ScreenUV(30, 20));
    Move(near);
    const t3DPoint<float> held = mode->GetDraggedNode();
    EXPECT_EQ(held.x, first[0]) << "over the first node the dragged node takes its place";
    EXPECT_EQ(held.y, first[1]);
    EXPECT_EQ(held.z, first[2]);
    Up(near);
    nodes = NodesOf(Network());
    int atFirst = 0;
    for (const auto& curve : nodes)
        for (const P3& node : curve)
            atFirst += Distance(node.data(), first) < 1e-4f;
    EXPECT_EQ(atFirst, 2) << "the two curves meet at a's first node";
}

TEST_F(NetworkGuards, EscapeDuringADragKeepsTheSelectionAndAReleasedPlaneIsNoLongerDragged)
{
    a = AddCurve({{6, 10}, {20, 12}, {34, 10}});
    b = AddCurve({{10, 30}, {30, 34}, {50, 30}});
    Command(kCmdNetworkModify);
    Paint();
    Click(OnCurve(a, 0.25));
    ASSERT_TRUE(a->selected);
    // Shift keeps a selected while b's end is grabbed.
    win32::AdvanceClock(2000);
    Move(ScreenUV(50, 30));
    Key(VK_SHIFT, true);
    Down(ScreenUV(50, 30));
    Key(VK_SHIFT, false);
    Move(ScreenUV(45, 20));
    ASSERT_TRUE(mode->IsNodeDragging());
    ASSERT_TRUE(a->selected);
    Escape();
    EXPECT_FALSE(mode->IsNodeDragging());
    EXPECT_TRUE(a->selected) << "Escape only ended the drag";
    Up(ScreenUV(45, 20));

    Command(kCmdNetworkSectionPlane);
    Paint();
    Drag(ScreenUV(30, 20), ScreenUV(36, 20), 3);
    EXPECT_FALSE(mode->IsDragging()) << "the release ended the plane drag";
}

TEST_F(NetworkGuards, ANodeInsertedByDraggingSnapsToNoNodeThePressedCurveTookAway)
{
    // a comes first, so taking it out renumbers b's nodes to a's ids.
    a = AddCurve({{6, 10}, {20, 12}, {34, 10}});
    b = AddCurve({{10, 30}, {30, 34}, {50, 30}});
    Command(kCmdNetworkModify);
    Paint();
    // A press on a's segment just outside its middle node's pick square,
    // then a first move into it.
    const POINT node = ScreenUV(20, 12);
    POINT press = node;
    for (double f = 0.5; f > 0.05 && node.x - press.x < 17; f -= 0.005)
        press = OnCurve(a, f);
    ASSERT_GE(node.x - press.x, 17);
    win32::AdvanceClock(2000);
    Move(press);
    Down(press);
    const POINT first{press.x + 7, press.y};
    Move(first);
    ASSERT_TRUE(mode->IsNodeDragging());
    const t3DPoint<float> held = mode->GetDraggedNode();
    const POINT shown = Screen(P3{held.x, held.y, held.z});
    EXPECT_LE(std::abs(shown.x - first.x) + std::abs(shown.y - first.y), 2)
        << "the new node follows the cursor; it went to " << shown.x << "," << shown.y;
    Up(first);
    EXPECT_EQ(NodesOf(Network())[0].size(), 3u) << "b is as it was";
}
