#include "modes/curve_edit_support.h"

#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "core/vector_math.h"
#include "modes/profile_sketch_selection.h"
#include "shapes/line_section_curve.h"
#include "shapes/section_curve_factory.h"
#include "shapes/sketch_curve.h"
#include "shapes/spline_section_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace
{

using Sketch = ST_TSketch<Dezaz_Wire>;
using Spline = ST_TSplineCurve<Dezaz_Wire>;
using Line = ST_TLineCurve<Dezaz_Wire>;

template <class Curve> Curve* Add(Sketch& sketch, std::initializer_list<std::pair<double, double>> xy)
{
    auto* curve = new Curve;
    const double id[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    std::copy(id, id + 12, curve->frame);
    tPolyline<cVertex> points;
    for (const auto& [x, y] : xy)
    {
        const double p[3] = {x, y, 0.0};
        points.AddPoint3d(p);
    }
    EXPECT_TRUE(RebuildSketchCurve(*curve, points));
    sketch.AddCurve(curve);
    return curve;
}

// Hands out the real curve kinds by class, as a shape does.
class CurveMaker : public ST_IProfiledSurface
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
    bool SetProfile(const ST_ISectionCurve*, std::uint8_t) override { return false; }
    void CloseProfile(std::uint8_t) override {}
    void OpenProfile(std::uint8_t) override {}
    ST_ISectionCurve* GetProfileCurve() override { return nullptr; }
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
};

t3DPoint<float> Point(const ST_ISectionCurve& curve, std::uint32_t i)
{
    const cVertex& v = *curve.GetDefiningPoints()->GetVertex(i);
    return {v.x, v.y, v.z};
}

TEST(CurvePickIds, CurvesFromNineThousandNineHundredNinetyNineAndPointsCountedOverCurves)
{
    Sketch sketch;
    Spline* a = Add<Spline>(sketch, {{0, 0}, {1, 1}, {2, 0}});
    Spline* b = Add<Spline>(sketch, {{5, 0}, {6, 2}, {7, 0}, {8, 1}});
    EXPECT_EQ(FindCurveByPickId(9999, &sketch), a);
    EXPECT_EQ(FindCurveByPickId(10000, &sketch), b);
    EXPECT_EQ(FindCurveByPickId(10001, &sketch), nullptr);
    EXPECT_EQ(FindCurveByPickId(4, &sketch), nullptr);

    std::uint32_t local = 99;
    EXPECT_EQ(MarkPointByPickId(4, &sketch, &local, false), b);
    EXPECT_EQ(local, 1u);
    EXPECT_NE(b->GetDefiningPoints()->GetVertex(1)->flags & kCurvePointMarked, 0u);
    EXPECT_EQ(MarkPointByPickId(7, &sketch, &local, false), nullptr);

    ST_ISectionCurve* owner = nullptr;
    t3DPoint<float> p = GetPointByPickId(5, &sketch, false, &owner);
    EXPECT_EQ(owner, b);
    EXPECT_FLOAT_EQ(p.x, 7.0f);
    p = GetPointByPickId(7, &sketch, false, &owner);
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(p.x, FLT_MAX);

    // Selecting a curve clears the point marks; others deselect on request.
    a->selected = 1;
    EXPECT_EQ(SelectCurveByPickId(10000, &sketch, false), b);
    EXPECT_EQ(b->GetDefiningPoints()->GetVertex(1)->flags & kCurvePointMarked, 0u);
    EXPECT_EQ(a->selected, 1);
    EXPECT_EQ(SelectCurveByPickId(10000, &sketch, true), b);
    EXPECT_EQ(a->selected, 0);
    EXPECT_EQ(b->selected, 1);
}

TEST(CurvePickIds, PointNumbersFromNineThousandNineHundredNinetyNineGetNoId)
{
    Sketch sketch;
    for (int i = 0; i < 5000; ++i)
        Add<Line>(sketch, {{i * 3.0, 0.0}, {i * 3.0 + 1.0, 1.0}});
    // 10000 points: the 9999th (number 9998) still has an id ...
    EXPECT_EQ(CurvePointPickId(9998), 9998);
    ST_ISectionCurve* owner = nullptr;
    const t3DPoint<float> p = GetPointByPickId(9998, &sketch, false, &owner);
    EXPECT_EQ(owner, sketch.GetSegment(4999));
    EXPECT_FLOAT_EQ(p.x, 4999 * 3.0f);
    // ... the next would read as the first curve, so it has none.
    EXPECT_EQ(CurvePointPickId(9999), -1);
    EXPECT_EQ(MarkPointByPickId(9999, &sketch, nullptr, false), nullptr);
    EXPECT_EQ(FindCurveByPickId(9999, &sketch), sketch.GetSegment(0));
}

TEST(CurveSnap, NearerOfCurvePointAndOriginWinsAndAMissLeavesTheRecord)
{
    Sketch sketch;
    Spline* a = Add<Spline>(sketch, {{1, 0.5}, {3, 2}, {5, 0}});
    stCurveSnap snap;
    const float nearPoint[3] = {0.9f, 0.4f, 0.0f};
    ASSERT_TRUE(SnapToNearestCurvePoint(snap, &sketch, nearPoint, false, 4.0, -1));
    EXPECT_EQ(snap.kind, kCurveSnapPoint);
    EXPECT_EQ(snap.curve, a);
    EXPECT_FLOAT_EQ(snap.snapped.x, 1.0f);
    // The start of the curve: its tangent, pointing along the curve.
    EXPECT_GT(snap.snapped.nx, 0.0f);
    EXPECT_FLOAT_EQ(snap.copy.nx, snap.snapped.nx);
    EXPECT_EQ(snap.copy.x, snap.snapped.x);
    EXPECT_EQ(snap.copy.y, snap.snapped.y);
    // Distances are taken in all three coordinates.
    const float above[3] = {1.0f, 0.5f, 1.5f};
    stCurveSnap missed;
    EXPECT_FALSE(SnapToNearestCurvePoint(missed, &sketch, above, false, 2.0, -1));
    EXPECT_TRUE(SnapToNearestCurvePoint(missed, &sketch, above, false, 2.3, -1));

    const float nearOrigin[3] = {0.2f, 0.1f, 0.0f};
    ASSERT_TRUE(SnapToNearestCurvePoint(snap, &sketch, nearOrigin, false, 4.0, -1));
    EXPECT_EQ(snap.curve, nullptr);
    EXPECT_EQ(snap.snapped.x, 0.0f);
    EXPECT_EQ(snap.snapped.nx, 0.0f);

    // The end of the curve points back along it.
    const float nearEnd[3] = {5.1f, 0.0f, 0.0f};
    ASSERT_TRUE(SnapToNearestCurvePoint(snap, &sketch, nearEnd, false, 1.0, -1));
    EXPECT_EQ(snap.curve, a);
    EXPECT_LT(snap.snapped.nx, 0.0f);

    const stCurveSnap before = snap;
    const float far[3] = {40.0f, 40.0f, 0.0f};
    EXPECT_FALSE(SnapToNearestCurvePoint(snap, &sketch, far, false, 4.0, -1));
    EXPECT_EQ(std::memcmp(&before.snapped, &snap.snapped, sizeof(cVertex)), 0);
    EXPECT_EQ(before.curve, snap.curve);
    // The excluded curve is not a candidate.
    EXPECT_FALSE(SnapToNearestCurvePoint(snap, &sketch, nearEnd, false, 1.0, 0));
    const float junk[3] = {NAN, 0.0f, 0.0f};
    EXPECT_FALSE(SnapToNearestCurvePoint(snap, &sketch, junk, false, 4.0, -1));
}

TEST(CurveSnap, EnableByteAgainstAltDecidesWhetherToSearch)
{
    Sketch sketch;
    Add<Spline>(sketch, {{1, 0.5}, {3, 2}, {5, 0}});
    stCurveSnap snap;
    const float q[3] = {1.1f, 0.5f, 0.0f};
    EXPECT_TRUE(BeginCurveSnap(snap, &sketch, false, q, 1.0, false));
    EXPECT_FALSE(BeginCurveSnap(snap, &sketch, false, q, 1.0, true));
    EXPECT_EQ(snap.kind, 0);
    EXPECT_EQ(snap.curve, nullptr);
    snap.enabled = 0;
    EXPECT_TRUE(BeginCurveSnap(snap, &sketch, false, q, 1.0, true));
    EXPECT_FALSE(BeginCurveSnap(snap, &sketch, false, q, 1.0, false));
}

TEST(MoveCurvesHelper, EndDragExtendsInStepsAndInnerDragRefitsThroughTheTarget)
{
    Sketch sketch;
    Spline* a = Add<Spline>(sketch, {{0, 0}, {4, 3}, {8, 0}, {12, 2}});
    const t3DPoint<float> end = Point(*a, 3);
    cMoveCurvesHelper mover;
    const float grab[3] = {end.x, end.y, end.z};
    mover.AddCurve(*a, grab);
    ASSERT_EQ(mover.GetGrabbedIndex(0), 3u);
    const float target[3] = {end.x + 2.5f, end.y, 0.0f};
    mover.MoveTo(target, 1.0);
    EXPECT_EQ(mover.GetLastExtensionCount(), 3u);
    // Each step moves the end about one step along its tangent.
    const t3DPoint<float> moved = mover.GetGrabbedPoint();
    const double travelled = std::hypot(moved.x - end.x, moved.y - end.y);
    EXPECT_NEAR(travelled, 3.0, 0.05);
    // A second drag starts again from the grab-time curve.
    mover.MoveTo(target, 1.0);
    EXPECT_NEAR(std::hypot(mover.GetGrabbedPoint().x - end.x, mover.GetGrabbedPoint().y - end.y), 3.0, 0.05);
    // A far drag with a fine step stops at the cap.
    const float far[3] = {1e6f, 0.0f, 0.0f};
    mover.MoveTo(far, 1e-3);
    EXPECT_EQ(mover.GetLastExtensionCount(), kMaxEndExtensionSteps);
    mover.Reset();
    EXPECT_EQ(mover.GetGrabbedPoint().x, FLT_MAX);

    const t3DPoint<float> inner = Point(*a, 1);
    const float innerGrab[3] = {inner.x, inner.y, 0.0f};
    mover.AddCurve(*a, innerGrab);
    const float innerTarget[3] = {4.0f, 5.0f, 0.0f};
    mover.MoveTo(innerTarget, 1.0);
    EXPECT_EQ(mover.GetLastExtensionCount(), 0u);
    ST_ISectionCurve& working = *mover.GetWorkingCurve(0);
    // The refitted curve passes through the target; the original stays.
    EXPECT_NEAR(working.GetWire()->GetDistanceToPoint({4.0, 5.0, 0.0}), 0.0, 1e-3);
    EXPECT_FLOAT_EQ(Point(*a, 1).y, 3.0f);
}

TEST(CurveJoints, ThreeCurvesAtAJointAlignTheBestWhateverItsAngle)
{
    Sketch sketch;
    Spline* c = Add<Spline>(sketch, {{0, 0}, {5, 1}, {10, 0}});
    Spline* k1 = Add<Spline>(sketch, {{0, 0}, {-3, 4}, {-6, 5}});
    Add<Spline>(sketch, {{0, 0}, {0, -5}, {1, -9}});
    Spline* k3 = Add<Spline>(sketch, {{-8, -8}, {-4, -4}, {0, 0}});
    const tPolyline<cVertex> k1Before = *k1->GetControlPoints();
    // With a tiny angle only a joint of exactly three curves aligns.
    ASSERT_TRUE(PreserveG1AtJoints(&sketch, c, 1e-6));
    const tPolyline<cVertex>& cc = *c->GetControlPoints();
    const float out[3] = {cc.GetVertex(0)->x - cc.GetVertex(1)->x, cc.GetVertex(0)->y - cc.GetVertex(1)->y, 0.0f};
    // The best candidate (smallest angle to the outward direction, some 30
    // degrees off) is the curve that ends at the joint coming from down-left:
    // it now leaves the joint along that direction; the others stay.
    const tPolyline<cVertex>& kc = *k3->GetControlPoints();
    const std::uint32_t n = kc.GetVertexCount();
    const float leave[3] = {kc.GetVertex(n - 2)->x - kc.GetVertex(n - 1)->x,
                            kc.GetVertex(n - 2)->y - kc.GetVertex(n - 1)->y, 0.0f};
    EXPECT_LT(AngleBetweenVectors(out, leave), 1e-4);
    EXPECT_FLOAT_EQ(k1->GetControlPoints()->GetVertex(1)->x, k1Before.GetVertex(1)->x);
    // Where only two curves meet, the angle limit holds.
    Sketch pair;
    Spline* c2 = Add<Spline>(pair, {{0, 0}, {5, 1}, {10, 0}});
    Add<Spline>(pair, {{-8, -8}, {-4, -4}, {0, 0}});
    EXPECT_FALSE(PreserveG1AtJoints(&pair, c2, 1e-6));
    EXPECT_TRUE(PreserveG1AtJoints(&pair, c2, 1.0));
    EXPECT_FALSE(PreserveG1AtJoints(&pair, c2, -1.0));
}

TEST(CurveJoints, AlignNeedsAQualifyingCurveWithTwoControlPoints)
{
    Sketch sketch;
    Spline* k = Add<Spline>(sketch, {{0, 0}, {3, 1}, {6, 0}});
    const float direction[3] = {1.0f, 0.0f, 0.0f};
    EXPECT_FALSE(AlignEndTangentToDirection(direction, {k}, {0}, 1e-3));
    EXPECT_TRUE(AlignEndTangentToDirection(direction, {k}, {0}, 1.0));
    const tPolyline<cVertex>& kc = *k->GetControlPoints();
    EXPECT_NEAR(kc.GetVertex(1)->y, kc.GetVertex(0)->y, 1e-5);
    // A line has section points only.
    Line* line = Add<Line>(sketch, {{0, 0}, {3, 0}});
    EXPECT_FALSE(AlignEndTangentToDirection(direction, {line}, {0}, 3.0));
    const float zero[3] = {0.0f, 0.0f, 0.0f};
    EXPECT_FALSE(AlignEndTangentToDirection(zero, {k}, {0}, 4.0));
}

TEST(CurveInsertion, ExistingPointsAreLeftAndANewPointReplacesTheCurve)
{
    Sketch sketch;
    CurveMaker maker;
    Spline* a = Add<Spline>(sketch, {{0, 0}, {4, 3}, {8, 0}});
    const float existing[3] = {4.0f, 3.0f, 0.0f};
    EXPECT_EQ(InsertPointIntoCurve(maker, &sketch, a, existing, 0, 0.0), nullptr);
    EXPECT_EQ(sketch.GetSegmentCount(), 1u);
    EXPECT_EQ(sketch.GetSegment(0), a);

    ST_ISectionCurve* hovered = a;
    ST_ISectionCurve* other = nullptr;
    const float p[3] = {6.0f, 2.0f, 0.0f};
    ST_ISectionCurve* made = InsertPointIntoCurve(maker, &sketch, a, p, 1, 0.0, {&hovered, &other});
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(hovered, nullptr);
    EXPECT_EQ(sketch.GetSegmentCount(), 1u);
    EXPECT_EQ(sketch.GetSegment(0), made);
    ASSERT_EQ(made->GetDefiningPoints()->GetVertexCount(), 4u);
    EXPECT_FLOAT_EQ(Point(*made, 2).x, 6.0f);
    EXPECT_FLOAT_EQ(Point(*made, 3).x, 8.0f);
    const float q[3] = {1.0f, 1.0f, 0.0f};
    EXPECT_EQ(InsertPointIntoCurve(maker, &sketch, made, q, -1, 0.0), nullptr);
    EXPECT_EQ(InsertPointIntoCurve(maker, &sketch, made, q, 9, 0.0), nullptr);
}

TEST(CurveInsertion, NewCurveTakesTheProfileFrameAndDeselectsAll)
{
    Sketch sketch;
    CurveMaker maker;
    const double f[12] = {1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7};
    std::copy(f, f + 12, sketch.frame);
    Spline* a = Add<Spline>(sketch, {{0, 0}, {4, 3}, {8, 0}});
    a->selected = 1;
    std::unique_ptr<ST_ISectionCurve> pending;
    ASSERT_TRUE(BeginNewCurve(pending, maker, &sketch, CLSID_ST_TSplineCurve, nullptr));
    EXPECT_EQ(pending->frame[3], 5.0);
    EXPECT_EQ(pending->frame[11], 7.0);
    EXPECT_EQ(a->selected, 0);
    const GUID unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_FALSE(BeginNewCurve(pending, maker, &sketch, unknown, nullptr));
    EXPECT_EQ(pending, nullptr);
}

} // namespace
