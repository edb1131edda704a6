#include "modes/network_node_drag.h"

#include "core/frame_math.h"
#include "modes/curve_network_operations.h"
#include "shapes/sketch_curve.h"
#include "shapes/spline_section_curve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace
{

using Sketch = ST_TSketch<Dezaz_Wire>;
using P3 = std::array<float, 3>;

ST_ISectionCurve* AddSpline(Sketch& network, const std::vector<P3>& points)
{
    auto* curve = new ST_TSplineCurve<Dezaz_Wire>;
    double id[12];
    MakeIdentity3x4(id);
    tPolyline<cVertex> polyline;
    for (const P3& p : points)
        polyline.AddFloatPoint(p.data());
    EXPECT_TRUE(curve->FitToPolyline(id, polyline, 0.0, 0));
    network.AddCurve(curve);
    return curve;
}

std::vector<std::vector<P3>> Nodes(Sketch& network)
{
    std::vector<std::vector<P3>> all;
    for (std::uint32_t i = 0; i < network.GetSegmentCount(); ++i)
    {
        all.emplace_back();
        for (const cVertex& v : network.GetSegment(i)->GetDefiningPoints()->vertices)
            all.back().push_back({v.x, v.y, v.z});
    }
    std::sort(all.begin(), all.end());
    return all;
}

constexpr P3 kShared = {820.0f, -40.0f, 130.0f};

void Build(Sketch& network)
{
    AddSpline(network, {{800, -40, 130}, {810, -35, 131}, kShared});
    AddSpline(network, {{820, -60, 129}, kShared, {825, -20, 128}, {830, -10, 127}});
    AddSpline(network, {{800, 0, 130}, {810, 5, 130}, {820, 0, 130}});
}

TEST(NetworkNodeDrag, DraggingASharedNodeMovesEveryCurveThroughIt)
{
    Sketch network;
    Build(network);
    cNetworkNodeDrag drag;
    EXPECT_EQ(drag.GrabAt(&network, kShared.data()), 2u);
    EXPECT_TRUE(drag.IsDragging());
    EXPECT_EQ(network.GetSegmentCount(), 1u) << "the dragged curves leave the network";
    const float target[3] = {822.0f, -43.0f, 135.0f};
    drag.Mover().MoveTo(target, -1.0);
    const auto back = drag.Drop(&network, -1.0);
    EXPECT_FALSE(drag.IsDragging());
    ASSERT_EQ(back.size(), 2u);
    ASSERT_EQ(network.GetSegmentCount(), 3u);
    for (ST_ISectionCurve* curve : back)
    {
        EXPECT_TRUE(IsUsableNetworkCurve(*curve));
        int selected = 0, atTarget = 0;
        for (const cVertex& v : curve->GetDefiningPoints()->vertices)
        {
            const bool here = v.x == target[0] && v.y == target[1] && v.z == target[2];
            atTarget += here;
            selected += (v.flags & kNetworkNodeSelected) != 0;
            EXPECT_EQ((v.flags & kNetworkNodeSelected) != 0, here);
            EXPECT_FALSE(v.flags & kNetworkNodeFixed);
        }
        EXPECT_EQ(atTarget, 1);
        EXPECT_EQ(selected, 1);
    }
}

TEST(NetworkNodeDrag, ACancelledDragPutsTheCurvesBackAsTheyWereGrabbed)
{
    Sketch network;
    Build(network);
    const auto before = Nodes(network);
    cNetworkNodeDrag drag;
    ASSERT_EQ(drag.GrabAt(&network, kShared.data()), 2u);
    const float target[3] = {700.0f, 10.0f, 90.0f};
    drag.Mover().MoveTo(target, -1.0);
    EXPECT_EQ(drag.Cancel(&network), 2u);
    EXPECT_FALSE(drag.IsDragging());
    EXPECT_EQ(Nodes(network), before);
    // A free drop with nothing under the cursor: the shapes from before,
    // the grabbed node selected.
    ASSERT_EQ(drag.GrabAt(&network, kShared.data()), 2u);
    drag.Mover().MoveTo(target, -1.0);
    const auto back = drag.DropAsGrabbed(&network, -1.0);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(Nodes(network), before);
    for (ST_ISectionCurve* curve : back)
        for (const cVertex& v : curve->GetDefiningPoints()->vertices)
            EXPECT_EQ((v.flags & kNetworkNodeSelected) != 0,
                      v.x == kShared[0] && v.y == kShared[1] && v.z == kShared[2]);
    // Without a network to go back to, the copies are let go.
    ASSERT_EQ(drag.GrabAt(&network, kShared.data()), 2u);
    EXPECT_EQ(drag.Cancel(nullptr), 0u);
    EXPECT_FALSE(drag.IsDragging());
    ASSERT_EQ(drag.GrabAt(&network, kShared.data()), 0u) << "the shared curves were let go";
    const float other[3] = {800.0f, 0.0f, 130.0f};
    ASSERT_EQ(drag.GrabAt(&network, other), 1u);
    EXPECT_TRUE(drag.Drop(nullptr, -1.0).empty());
    EXPECT_FALSE(drag.IsDragging());
    // A press away from every node grabs nothing.
    const float away[3] = {0, 0, 0};
    EXPECT_EQ(drag.GrabAt(&network, away), 0u);
}

TEST(NetworkNodeDrag, ADropThatWouldBreakACurveBringsItBackAsGrabbed)
{
    Sketch network;
    AddSpline(network, {{0, 0, 0}, {10, 5, 0}, {20, 0, 0}});
    cNetworkNodeDrag drag;
    const float middle[3] = {10, 5, 0};
    ASSERT_EQ(drag.GrabAt(&network, middle), 1u);
    // Onto its neighbour: two nodes would meet.
    const float onto[3] = {20, 0, 0};
    drag.Mover().MoveTo(onto, -1.0);
    ASSERT_EQ(drag.Drop(&network, -1.0).size(), 1u);
    ASSERT_EQ(network.GetSegmentCount(), 1u);
    EXPECT_TRUE(IsUsableNetworkCurve(*network.GetSegment(0)));
    EXPECT_EQ(network.GetSegment(0)->GetDefiningPoints()->GetVertex(1)->y, 5.0f);
}

} // namespace
