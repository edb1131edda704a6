#include "modes/curve_network_operations.h"
#include "modes/network_drawn_curve.h"

#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "modes/profile_sketch_selection.h"
#include "shapes/section_curve_factory.h"
#include "shapes/sketch_curve.h"
#include "shapes/spline_section_curve.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <random>
#include <set>

namespace
{

using Sketch = ST_TSketch<Dezaz_Wire>;
using Spline = ST_TSplineCurve<Dezaz_Wire>;
using P3 = std::array<float, 3>;

ST_ISectionCurve* AddSpline(ST_ISectionCurve& network, const std::vector<P3>& points)
{
    auto curve = std::make_unique<Spline>();
    double id[12];
    MakeIdentity3x4(id);
    tPolyline<cVertex> polyline;
    for (const P3& p : points)
        polyline.AddFloatPoint(p.data());
    EXPECT_TRUE(curve->FitToPolyline(id, polyline, 0.0, 0));
    ST_ISectionCurve* raw = curve.release();
    network.AddCurve(raw);
    return raw;
}

std::vector<P3> NodesOf(const ST_ISectionCurve& curve)
{
    std::vector<P3> out;
    for (const cVertex& v : curve.GetDefiningPoints()->vertices)
        out.push_back({v.x, v.y, v.z});
    return out;
}

// A profiled surface that keeps one profile, as a shape does.
class ProfileHolder : public ST_IProfiledSurface
{
public:
    void* QueryInterface(const GUID&) override { return nullptr; }
    bool BuildHostSurface() override { return false; }
    bool SetProfileFromSections(const GUID&, const double[12], std::uint32_t,
                                const tPolylineCollection<tFramePolyline<cVertex>>&, float, std::uint8_t,
                                std::uint32_t, std::uint8_t, float) override
    {
        return false;
    }
    bool SetProfile(const ST_ISectionCurve* curve, std::uint8_t) override
    {
        profile = curve->Clone();
        profile->Assign(*curve);
        return true;
    }
    void CloseProfile(std::uint8_t) override {}
    void OpenProfile(std::uint8_t) override {}
    ST_ISectionCurve* GetProfileCurve() override { return profile.get(); }
    void GetProfileFrame(double[12]) const override {}
    t3DPoint<double> GetAxis() const override { return {}; }
    t3DPoint<double> GetProfileOrigin() const override { return {}; }
    void SetDirection(const void*) override {}
    void* GetDirectionPtr() override { return nullptr; }
    std::unique_ptr<ST_ISectionCurve> CreateCurveByClassGuid(const GUID& classId) const override
    {
        return CreateSectionCurveByClassGuid(classId);
    }
    void Transform(const double[12]) override {}

    std::unique_ptr<ST_ISectionCurve> profile;
};

std::vector<std::vector<P3>> Snapshot(ST_ISectionCurve& network)
{
    std::vector<std::vector<P3>> all;
    for (std::uint32_t i = 0; i < network.GetSegmentCount(); ++i)
        all.push_back(NodesOf(*network.GetSegment(i)));
    return all;
}

constexpr float kX = 1000.0f, kY = -2000.0f, kZ = 300.0f;

P3 At(float x, float y, float z = 0.0f)
{
    return {kX + x, kY + y, kZ + z};
}

TEST(CurveNetworkJoints, EndsAndCrossingNodesAreJointsAndResamplingKeepsOnlyThem)
{
    Sketch network;
    ST_ISectionCurve* a = AddSpline(network, {At(0, 0), At(10, 3), At(20, 0), At(30, 2), At(40, 0)});
    ST_ISectionCurve* b = AddSpline(network, {At(20, -10), At(21, -5), At(20, 0), At(18, 10)});
    std::vector<std::uint8_t> joints;
    FindJoints(&network, *a, joints);
    EXPECT_EQ(joints, (std::vector<std::uint8_t>{1, 0, 1, 0, 1}));
    FindJoints(&network, *b, joints);
    EXPECT_EQ(joints, (std::vector<std::uint8_t>{1, 0, 1, 1}));

    // A lone curve: its ends only; n samples between them give n + 2 nodes,
    // evenly spaced in the curve's parameter.
    Sketch alone;
    ST_ISectionCurve* c = AddSpline(alone, {At(0, 0), At(5, 5), At(10, 0), At(15, 5)});
    tPolyline<cVertex> samples;
    ResampleBetweenJoints(&alone, *c, 5, samples);
    ASSERT_EQ(samples.GetVertexCount(), 7u);
    EXPECT_TRUE(samples.GetFirstVertex()->flags & kNetworkNodeFixed);
    EXPECT_TRUE(samples.GetLastVertex()->flags & kNetworkNodeFixed);
    EXPECT_EQ(samples.GetLastVertex()->x, At(15, 5)[0]);
    for (std::uint32_t i = 1; i + 1 < 7; ++i)
    {
        const cVertex& s = *samples.GetVertex(i);
        EXPECT_FALSE(s.flags & kNetworkNodeFixed);
        EXPECT_NEAR(c->GetParameterAtLocalPoint({s.x, s.y, s.z}), i / 6.0, 1e-4);
    }
    // A count typed far beyond reason is capped.
    ResampleBetweenJoints(&alone, *c, 50000000u, samples);
    EXPECT_EQ(samples.GetVertexCount(), kMaxSamplesBetweenJoints + 2);
    // Between the joints of a crossed curve: joint 0, n, joint 2, n, joint 4.
    ResampleBetweenJoints(&network, *a, 3, samples);
    ASSERT_EQ(samples.GetVertexCount(), 9u);
    EXPECT_EQ(samples.GetVertex(4)->x, At(20, 0)[0]);
    EXPECT_TRUE(samples.GetVertex(4)->flags & kNetworkNodeFixed);
}

// A curve drawn from a joint around and back onto it (sub-sampling on): its
// samples run along the loop. The end was searched as a point, which found
// the loop's start, so every sample fell on the start and the drawn curve
// was kept unprojected (0.42 off a curved scan against 0.20).
TEST(CurveNetworkJoints, ALoopClosedOntoItsStartIsSampledAllAround)
{
    Sketch network;
    AddSpline(network, {At(0, 0), At(-10, 0)});
    ST_ISectionCurve* loop = AddSpline(network, {At(0, 0), At(10, 10), At(20, 0), At(10, -10), At(0, 0)});
    tPolyline<cVertex> samples;
    ResampleBetweenJoints(&network, *loop, 3, samples);
    ASSERT_EQ(samples.GetVertexCount(), 5u);
    // The middle sample lies on the loop's far side, about x = 20.
    EXPECT_NEAR(samples.GetVertex(2)->x, At(20, 0)[0], 1.0);
    EXPECT_NEAR(loop->GetParameterAtLocalPoint({samples.GetVertex(1)->x, samples.GetVertex(1)->y, 0.0f}), 0.25, 1e-3);
}

TEST(CurveNetworkBreak, ACurveWithJointsAtNodesZeroThreeAndSixGivesTwoCurvesOfFourNodes)
{
    Sketch network;
    std::vector<P3> line;
    for (int i = 0; i < 7; ++i)
        line.push_back(At(10.0f * i, i % 2 ? 2.0f : 0.0f));
    ST_ISectionCurve* a = AddSpline(network, line);
    AddSpline(network, {At(30, -20), At(35, -10), line[3], At(28, 15)});
    a->selected = 1;
    int undoCopies = 0;
    EXPECT_TRUE(BreakAtJoints(&network, -1.0, [&] { ++undoCopies; }));
    EXPECT_EQ(undoCopies, 1);
    ASSERT_EQ(network.GetSegmentCount(), 3u);
    // The crossing curve stays first; the pieces follow in order.
    EXPECT_EQ(NodesOf(*network.GetSegment(1)), std::vector<P3>(line.begin(), line.begin() + 4));
    EXPECT_EQ(NodesOf(*network.GetSegment(2)), std::vector<P3>(line.begin() + 3, line.end()));
    for (std::uint32_t i = 0; i < 3; ++i)
    {
        EXPECT_TRUE(IsUsableNetworkCurve(*network.GetSegment(i)));
        EXPECT_EQ(network.GetSegment(i)->selected, 0);
    }
    // A selected curve with joints only at its ends stays as it is.
    network.GetSegment(1)->selected = 1;
    EXPECT_FALSE(BreakAtJoints(&network, -1.0, nullptr));
    EXPECT_EQ(network.GetSegmentCount(), 3u);
}

TEST(CurveNetworkBreak, ABreakThatBreaksNoCurveSavesNoUndoCopy)
{
    Sketch network;
    ST_ISectionCurve* a = AddSpline(network, {At(0, 0), At(10, 3), At(20, 0)});
    AddSpline(network, {At(20, 0), At(30, -3), At(40, 0)});
    a->selected = 1;
    int undoCopies = 0;
    EXPECT_FALSE(BreakAtJoints(&network, -1.0, [&] { ++undoCopies; }));
    EXPECT_EQ(undoCopies, 0);
}

TEST(CurveNetworkMerge, JoinsCurvesEndToEndReversingThoseThatPointTheOtherWay)
{
    Sketch network;
    const P3 p = At(0, 0), q = At(20, 0), r = At(40, 5);
    ST_ISectionCurve* a = AddSpline(network, {p, At(10, 3), q});
    ST_ISectionCurve* b = AddSpline(network, {r, At(30, -3), q});
    a->selected = b->selected = 1;
    EXPECT_TRUE(MergeCurves(&network, -1.0, nullptr));
    ASSERT_EQ(network.GetSegmentCount(), 1u);
    EXPECT_EQ(NodesOf(*network.GetSegment(0)), (std::vector<P3>{p, At(10, 3), q, At(30, -3), r}));
    EXPECT_TRUE(IsUsableNetworkCurve(*network.GetSegment(0)));

    // A chain grown at both ends from its middle curve, beside an unselected
    // curve and a selected one that meets nothing.
    Sketch chain;
    ST_ISectionCurve* middle = AddSpline(chain, {At(10, 0), At(15, 2), At(20, 0)});
    ST_ISectionCurve* left = AddSpline(chain, {At(10, 0), At(5, 2), At(0, 0)});
    ST_ISectionCurve* right = AddSpline(chain, {At(20, 0), At(25, 2), At(30, 0)});
    AddSpline(chain, {At(30, 0), At(35, 2), At(40, 0)});
    ST_ISectionCurve* apart = AddSpline(chain, {At(0, 50), At(5, 52)});
    middle->selected = left->selected = right->selected = apart->selected = 1;
    EXPECT_TRUE(MergeCurves(&chain, -1.0, nullptr));
    ASSERT_EQ(chain.GetSegmentCount(), 3u);
    EXPECT_EQ(NodesOf(*chain.GetSegment(2)), (std::vector<P3>{At(0, 0), At(5, 2), At(10, 0), At(15, 2), At(20, 0),
                                                                  At(25, 2), At(30, 0)}));
    EXPECT_EQ(apart->selected, 0);
    // Nothing selected: nothing merges.
    EXPECT_FALSE(MergeCurves(&chain, -1.0, nullptr));
}

TEST(CurveNetworkMerge, AMergeOfCurvesThatMeetNowhereSavesNoUndoCopy)
{
    Sketch network;
    ST_ISectionCurve* a = AddSpline(network, {At(0, 0), At(10, 3), At(20, 0)});
    ST_ISectionCurve* b = AddSpline(network, {At(0, 50), At(10, 53), At(20, 50)});
    a->selected = b->selected = 1;
    int undoCopies = 0;
    EXPECT_FALSE(MergeCurves(&network, -1.0, [&] { ++undoCopies; }));
    EXPECT_EQ(undoCopies, 0);
}

TEST(CurveNetworkDelete, RemovesNodesRefitsOrRemovesCurvesAndSavesOneUndoCopy)
{
    Sketch network;
    ST_ISectionCurve* three = AddSpline(network, {At(0, 0), At(5, 5), At(10, 0)});
    ST_ISectionCurve* two = AddSpline(network, {At(0, 20), At(10, 20)});
    auto arc = CreateSectionCurveByClassGuid(CLSID_ST_TArcCurve);
    MakeIdentity3x4(arc->frame);
    tPolyline<cVertex> arcPoints;
    for (const P3& p : {P3{0, 40, 0}, P3{5, 45, 0}, P3{10, 40, 0}})
        arcPoints.AddFloatPoint(p.data());
    ASSERT_TRUE(RebuildSketchCurve(*arc, arcPoints));
    ST_ISectionCurve* arcCurve = arc.release();
    network.AddCurve(arcCurve);
    ST_ISectionCurve* four = AddSpline(network, {At(0, 60), At(5, 65), At(10, 60), At(15, 65)});

    int undoCopies = 0;
    const auto saver = [&] { ++undoCopies; };
    EXPECT_FALSE(DeleteSelectedNodesAndCurves(&network, saver));
    EXPECT_EQ(undoCopies, 0) << "nothing selected, nothing saved";

    const_cast<cVertex*>(three->GetDefiningPoints()->GetVertex(1))->flags |= kNetworkNodeSelected;
    const_cast<cVertex*>(two->GetDefiningPoints()->GetVertex(0))->flags |= kNetworkNodeSelected;
    const_cast<cVertex*>(arcCurve->GetDefiningPoints()->GetVertex(0))->flags |= kNetworkNodeSelected;
    // Two of four nodes go: the curve keeps the other two.
    for (std::uint32_t i : {0u, 2u})
        const_cast<cVertex*>(four->GetDefiningPoints()->GetVertex(i))->flags |= kNetworkNodeSelected;
    EXPECT_TRUE(DeleteSelectedNodesAndCurves(&network, saver));
    EXPECT_EQ(undoCopies, 1);
    ASSERT_EQ(network.GetSegmentCount(), 2u);
    EXPECT_EQ(network.GetSegment(0), three);
    EXPECT_EQ(NodesOf(*three), (std::vector<P3>{At(0, 0), At(10, 0)}));
    EXPECT_EQ(NodesOf(*network.GetSegment(1)), (std::vector<P3>{At(5, 65), At(15, 65)}));

    // A three-node curve that would keep a single node goes whole, as does a
    // selected curve.
    Sketch more;
    ST_ISectionCurve* c = AddSpline(more, {At(0, 0), At(5, 5), At(10, 0)});
    ST_ISectionCurve* d = AddSpline(more, {At(0, 10), At(5, 15), At(10, 10)});
    for (std::uint32_t i : {0u, 1u})
        const_cast<cVertex*>(c->GetDefiningPoints()->GetVertex(i))->flags |= kNetworkNodeSelected;
    d->selected = 1;
    EXPECT_TRUE(DeleteSelectedNodesAndCurves(&more, nullptr));
    EXPECT_EQ(more.GetSegmentCount(), 0u);
}

TEST(CurveNetworkInsert, ANodeGoesAfterItsSegmentAsTheOnlySelectedNode)
{
    Sketch network;
    ST_ISectionCurve* a = AddSpline(network, {At(0, 0), At(10, 4), At(20, 0)});
    const_cast<cVertex*>(a->GetDefiningPoints()->GetVertex(0))->flags |= kNetworkNodeSelected;
    const P3 p = At(15, 3);
    EXPECT_TRUE(InsertNodeIntoCurve(&network, *a, p.data(), 1, -1.0));
    EXPECT_EQ(NodesOf(*a), (std::vector<P3>{At(0, 0), At(10, 4), p, At(20, 0)}));
    for (std::uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ((a->GetDefiningPoints()->GetVertex(i)->flags & kNetworkNodeSelected) != 0, i == 2);
    EXPECT_TRUE(IsUsableNetworkCurve(*a));
    // No segment 3 of four nodes; a point on a node inserts nothing.
    EXPECT_FALSE(InsertNodeIntoCurve(&network, *a, At(30, 0).data(), 3, -1.0));
    EXPECT_FALSE(InsertNodeIntoCurve(&network, *a, At(-5, 0).data(), -1, -1.0));
    EXPECT_FALSE(InsertNodeIntoCurve(&network, *a, At(20, 0).data(), 2, -1.0));
    EXPECT_EQ(a->GetDefiningPoints()->GetVertexCount(), 4u);
}

TEST(CurveNetworkTangency, SettingGivesTheAngleInRadiansOrOff)
{
    EXPECT_EQ(TangencyAngleFromSetting(false, 30.0), -1.0);
    EXPECT_DOUBLE_EQ(TangencyAngleFromSetting(true, -30.0), 30.0 * 0.017453292519943295);
    EXPECT_EQ(TangencyAngleFromSetting(true, std::nan("")), -1.0);
    EXPECT_EQ(TangencyAngleFromSetting(true, INFINITY), -1.0);

    // Off: the curves meeting at a kink keep their control points.
    Sketch network;
    ST_ISectionCurve* a = AddSpline(network, {At(0, 0), At(10, 2), At(20, 0)});
    AddSpline(network, {At(20, 0), At(30, 5), At(40, 0)});
    const auto before = a->GetControlPoints()->vertices;
    EXPECT_EQ(ApplyTangencySetting(&network, false, 30.0), -1.0);
    ASSERT_EQ(a->GetControlPoints()->vertices.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(a->GetControlPoints()->vertices[i].x, before[i].x);
    // On with a wide angle: the second curve is turned to leave smoothly.
    EXPECT_GT(ApplyTangencySetting(&network, true, 80.0), 0.0);
    for (std::uint32_t i = 0; i < network.GetSegmentCount(); ++i)
        EXPECT_TRUE(IsUsableNetworkCurve(*network.GetSegment(i)));
}

TEST(CurveNetworkCommit, ADrawnCurveJoinsTheNetworkAndTheProfileBecomesASketch)
{
    ProfileHolder surface;
    std::unique_ptr<ST_ISectionCurve> drawn = std::make_unique<Spline>();
    double id[12];
    MakeIdentity3x4(id);
    tPolyline<cVertex> clicks;
    for (const P3& p : {At(0, 0), At(10, 5), At(20, 0)})
        clicks.AddFloatPoint(p.data())->flags = kNetworkNodeFixed;
    ASSERT_TRUE(drawn->FitToPolyline(id, clicks, 0.0, 0));
    cMeshSampleProjector projector;
    ST_ISectionCurve* added = CommitDrawnCurve(surface, drawn, stSubSampling{}, nullptr, projector, -1.0);
    ASSERT_NE(added, nullptr);
    EXPECT_FALSE(drawn);
    ASSERT_NE(surface.profile, nullptr);
    EXPECT_EQ(surface.profile->GetClassGuid(), CLSID_ST_TSketch);
    ASSERT_EQ(surface.profile->GetSegmentCount(), 1u);
    EXPECT_EQ(NodesOf(*added), (std::vector<P3>{At(0, 0), At(10, 5), At(20, 0)}));

    // A drawn curve of one distinct point adds nothing and is discarded.
    drawn = std::make_unique<Spline>();
    tPolyline<cVertex> same;
    same.AddFloatPoint(At(3, 3).data());
    same.AddFloatPoint(At(3, 3).data());
    drawn->FitToPolyline(id, same, 0.0, 0);
    EXPECT_EQ(CommitDrawnCurve(surface, drawn, stSubSampling{}, nullptr, projector, -1.0), nullptr);
    EXPECT_FALSE(drawn);
    EXPECT_EQ(surface.profile->GetSegmentCount(), 1u);
}

std::unique_ptr<ST_ISectionCurve> Drawn(const std::vector<P3>& points)
{
    std::unique_ptr<ST_ISectionCurve> drawn = std::make_unique<Spline>();
    double id[12];
    MakeIdentity3x4(id);
    tPolyline<cVertex> clicks;
    for (const P3& p : points)
        clicks.AddFloatPoint(p.data())->flags = kNetworkNodeFixed;
    EXPECT_TRUE(drawn->FitToPolyline(id, clicks, 0.0, 0));
    return drawn;
}

TEST(CurveNetworkDrawnCurve, RemoveLastShortensAndFinishCommitsWithoutTheCursorPoint)
{
    auto drawn = Drawn({At(0, 0), At(10, 5), At(20, 0), At(22, 1)});
    EXPECT_TRUE(RemoveLastDrawnPoint(drawn));
    EXPECT_EQ(NodesOf(*drawn), (std::vector<P3>{At(0, 0), At(10, 5), At(20, 0)}));
    EXPECT_TRUE(RemoveLastDrawnPoint(drawn));
    EXPECT_FALSE(RemoveLastDrawnPoint(drawn)) << "one point left: the drawn curve goes";
    EXPECT_FALSE(drawn);

    ProfileHolder surface;
    cMeshSampleProjector projector;
    const float view[3] = {0.0f, 0.0f, 1.0f};
    drawn = Drawn({At(0, 0), At(10, 5), At(20, 0), At(22, 1)});
    ST_ISectionCurve* added = FinishDrawnCurve(surface, drawn, view, 0.0, stSubSampling{}, nullptr, projector, -1.0);
    ASSERT_NE(added, nullptr);
    EXPECT_FALSE(drawn);
    EXPECT_EQ(NodesOf(*added), (std::vector<P3>{At(0, 0), At(10, 5), At(20, 0)}));
    const cVertex& last = *added->GetDefiningPoints()->GetLastVertex();
    EXPECT_EQ(last.nz, 1.0f);
    EXPECT_TRUE(last.flags & kNetworkNodeFixed);

    // A double click: its first click landed beside the point before it.
    drawn = Drawn({At(0, 0), At(10, 5), At(10.5f, 5), At(10.5f, 5.2f)});
    added = FinishDrawnCurve(surface, drawn, view, 1.0, stSubSampling{}, nullptr, projector, -1.0);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(NodesOf(*added), (std::vector<P3>{At(0, 0), At(10, 5)}));
    // Nothing but the cursor point and one click: nothing to commit.
    drawn = Drawn({At(0, 0), At(3, 3)});
    EXPECT_EQ(FinishDrawnCurve(surface, drawn, view, 0.0, stSubSampling{}, nullptr, projector, -1.0), nullptr);
    EXPECT_FALSE(drawn);
    EXPECT_EQ(surface.profile->GetSegmentCount(), 2u);
}

// Random edits of a network of curves on a lattice (so that curves share
// nodes): whatever the sequence, every curve stays usable, the curve count
// follows from each edit, and an undo copy is always taken of the network as
// it was before the edit.
TEST(CurveNetworkProperty, RandomEditSequencesKeepEveryCurveUsableAndCountsConsistent)
{
    int breaks = 0, merges = 0, refits = 0;
    for (unsigned seed = 1; seed <= 40; ++seed)
    {
        std::mt19937 random(seed);
        ProfileHolder surface;
        ST_ISectionCurve* network = EnsureNetworkSketch(surface);
        ASSERT_NE(network, nullptr);
        auto lattice = [](int i, int j) { return At(10.0f * i, 10.0f * j, 0.5f * ((i * 7 + j * 3) % 5)); };
        auto randomWalk = [&](int length) {
            std::uniform_int_distribution<int> cell(0, 5), step(0, 3);
            int i = cell(random), j = cell(random);
            std::vector<P3> points{lattice(i, j)};
            std::set<std::pair<int, int>> seen{{i, j}};
            for (int k = 1; k < length; ++k)
            {
                static const int di[4] = {1, -1, 0, 0}, dj[4] = {0, 0, 1, -1};
                const int s = step(random);
                if (!seen.insert({i + di[s], j + dj[s]}).second)
                    continue;
                i += di[s], j += dj[s];
                points.push_back(lattice(i, j));
            }
            return points;
        };
        cMeshSampleProjector projector;
        std::uniform_int_distribution<int> operation(0, 5), walkLength(2, 6);
        for (int stepIndex = 0; stepIndex < 60; ++stepIndex)
        {
            network = surface.GetProfileCurve();
            const std::uint32_t before = network->GetSegmentCount();
            std::uint32_t nodesBefore = 0;
            for (std::uint32_t i = 0; i < before; ++i)
                nodesBefore += network->GetSegment(i)->GetDefiningPoints()->GetVertexCount();
            const auto snapshot = Snapshot(*network);
            int undoCopies = 0;
            const NetworkUndoSaver saver = [&] {
                ++undoCopies;
                EXPECT_EQ(Snapshot(*surface.GetProfileCurve()), snapshot) << "undo copy of the unchanged network";
            };
            auto pickCurve = [&] {
                return network->GetSegment(std::uniform_int_distribution<std::uint32_t>(0, before - 1)(random));
            };
            const int op = before == 0 ? 0 : operation(random);
            SCOPED_TRACE(::testing::Message() << "seed " << seed << " step " << stepIndex << " op " << op);
            switch (op)
            {
            case 0: // draw a new curve
            case 1:
            {
                std::unique_ptr<ST_ISectionCurve> drawn = std::make_unique<Spline>();
                tPolyline<cVertex> clicks;
                for (const P3& p : randomWalk(walkLength(random)))
                    clicks.AddFloatPoint(p.data())->flags = kNetworkNodeFixed;
                double id[12];
                MakeIdentity3x4(id);
                drawn->FitToPolyline(id, clicks, 0.0, 0);
                const bool distinct = clicks.GetVertexCount() >= 2;
                ST_ISectionCurve* added = CommitDrawnCurve(surface, drawn, stSubSampling{}, nullptr, projector,
                                                           TangencyAngleFromSetting(seed % 2, 20.0));
                EXPECT_EQ(added != nullptr, distinct);
                EXPECT_EQ(surface.GetProfileCurve()->GetSegmentCount(), before + (distinct ? 1 : 0));
                break;
            }
            case 2: // delete selected nodes and curves
            {
                std::uint32_t expectedRemoved = 0;
                for (int k = 0; k < 2; ++k)
                {
                    ST_ISectionCurve* curve = pickCurve();
                    auto& nodes = const_cast<tPolyline<cVertex>*>(curve->GetDefiningPoints())->vertices;
                    if (random() % 2)
                        curve->selected = 1;
                    else
                        nodes[random() % nodes.size()].flags |= kNetworkNodeSelected;
                }
                for (std::uint32_t i = 0; i < before; ++i)
                {
                    const ST_ISectionCurve* curve = network->GetSegment(i);
                    // Unselected nodes, neighbours that meet counted once.
                    std::uint32_t left = 0;
                    const cVertex* kept = nullptr;
                    for (const cVertex& v : curve->GetDefiningPoints()->vertices)
                        if ((v.flags & kNetworkNodeSelected) == 0)
                        {
                            left += !kept || kept->x != v.x || kept->y != v.y || kept->z != v.z;
                            kept = &v;
                        }
                    const std::uint32_t n = curve->GetDefiningPoints()->GetVertexCount();
                    const bool anySelected = std::any_of(curve->GetDefiningPoints()->vertices.begin(), curve->GetDefiningPoints()->vertices.end(), [](const cVertex& v) { return (v.flags & kNetworkNodeSelected) != 0; });
                    expectedRemoved += curve->selected || (anySelected && (n < 3 || left < 2));
                }
                const bool changed = DeleteSelectedNodesAndCurves(network, saver);
                EXPECT_TRUE(changed);
                EXPECT_EQ(undoCopies, 1);
                EXPECT_EQ(network->GetSegmentCount(), before - expectedRemoved);
                refits += expectedRemoved == 0;
                break;
            }
            case 3: // break the one selected curve
            {
                ST_ISectionCurve* curve = pickCurve();
                curve->selected = 1;
                std::vector<std::uint8_t> joints;
                FindJoints(network, *curve, joints);
                std::uint32_t pieces = 0;
                for (std::size_t i = 1; i < joints.size(); ++i)
                    pieces += joints[i];
                const bool broken = BreakAtJoints(network, TangencyAngleFromSetting(true, 15.0), saver);
                EXPECT_EQ(broken, pieces >= 2);
                breaks += broken;
                EXPECT_EQ(network->GetSegmentCount(), before + (broken ? pieces - 1 : 0));
                EXPECT_EQ(undoCopies, broken ? 1 : 0);
                break;
            }
            case 4: // merge a few selected curves
            {
                for (int k = 0; k < 3; ++k)
                    pickCurve()->selected = 1;
                const bool merged = MergeCurves(network, -1.0, saver);
                EXPECT_EQ(undoCopies, merged ? 1 : 0);
                EXPECT_EQ(merged, network->GetSegmentCount() < before);
                merges += merged;
                break;
            }
            case 5: // tangency across every joint
                ApplyTangencySetting(network, true, 45.0);
                EXPECT_EQ(network->GetSegmentCount(), before);
                break;
            }
            network = surface.GetProfileCurve();
            std::uint32_t nodesAfter = 0;
            for (std::uint32_t i = 0; i < network->GetSegmentCount(); ++i)
            {
                const ST_ISectionCurve* curve = network->GetSegment(i);
                ASSERT_TRUE(IsUsableNetworkCurve(*curve)) << "curve " << i;
                EXPECT_EQ(curve->selected, 0) << "curve " << i;
                nodesAfter += curve->GetDefiningPoints()->GetVertexCount();
            }
            // A break repeats each inner joint once per extra piece and a
            // merge takes each shared joint once: nodes minus curves stays.
            if (op == 3 || op == 4)
            {
                EXPECT_EQ(nodesAfter - network->GetSegmentCount(), nodesBefore - before);
            }
            DeselectAllNodes(network);
        }
    }
    // The sequences reach every kind of change.
    EXPECT_GT(breaks, 20);
    EXPECT_GT(merges, 20);
    EXPECT_GT(refits, 10);
}

} // namespace
