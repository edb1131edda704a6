#include "shapes/dezaz_wire.h"
#include "shapes/sketch_wire.h"

#include "core/tests/stub_section_curve.h"
#include "platform/geometry/arc_curve.h"
#include "platform/geometry/nurbs_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace
{

tPolyline<cVertex> Points(std::initializer_list<t3DPoint<double>> pts)
{
    tPolyline<cVertex> out;
    for (const auto& p : pts)
        out.AddPoint3d(p.Data());
    return out;
}

tPolyline<cVertex> CircleSamples(int count, double radius, double sweep, const t3DPoint<double>& centre)
{
    tPolyline<cVertex> out;
    for (int i = 0; i < count; ++i)
    {
        const double a = sweep * i / (count - 1);
        const double p[3] = {centre.x + radius * std::cos(a), centre.y + radius * std::sin(a), centre.z};
        out.AddPoint3d(p);
    }
    return out;
}

double Distance(const t3DPoint<double>& a, const t3DPoint<double>& b)
{
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// The point at half the length of the wire, by the wire's own fractions.
void ExpectHalfLengthPoint(const Dezaz_Wire& wire)
{
    const double total = wire.GetLength();
    double f = -1.0;
    ASSERT_TRUE(wire.GetFractionAtLength(total / 2, &f, 1e-9 * total));
    t3DPoint<double> p, t;
    ASSERT_TRUE(wire.EvaluateAtFraction(f, &p, &t));
    EXPECT_NEAR(wire.GetLengthBetween(0.0, f), total / 2, 1e-8 * total);
    // The fraction of the point found by projection comes back the same.
    EXPECT_NEAR(wire.GetFractionAtPoint(p), f, 1e-9);
}

class StubSketch : public cStubSectionCurve
{
public:
    std::vector<std::unique_ptr<cStubSectionCurve>> parts;
    std::uint32_t GetSegmentCount() const override { return static_cast<std::uint32_t>(parts.size()); }
    ST_ISectionCurve* GetSegment(std::uint32_t i) override { return i < parts.size() ? parts[i].get() : nullptr; }
};

} // namespace

TEST(DezazWire, LinesAndTheirRefusal)
{
    Dezaz_Wire wire;
    EXPECT_FALSE(wire.IsValid());
    EXPECT_EQ(wire.GetSegmentCount(), 0u);
    ASSERT_TRUE(wire.SetLine({1, 1, 0}, {4, 5, 0}));
    EXPECT_EQ(wire.GetKind(), kWireLine);
    EXPECT_DOUBLE_EQ(wire.GetLength(), 5.0);
    EXPECT_DOUBLE_EQ(wire.GetLengthBetween(-1.0, 0.5), 2.5);
    EXPECT_EQ(wire.GetSegment(0), &wire);
    EXPECT_EQ(wire.GetSegment(1), nullptr);
    EXPECT_NEAR(wire.GetDistanceToPoint({4, 1, 0}), 2.4, 1e-12);
    // Equal points: no curve, the old points and kind stay.
    EXPECT_FALSE(wire.SetLine({2, 2, 2}, {2, 2, 2}));
    EXPECT_EQ(wire.GetCurve(), nullptr);
    EXPECT_EQ(wire.GetKind(), kWireLine);
    tPolyline<cVertex> pts;
    wire.GetPolyline(pts);
    ASSERT_EQ(pts.GetVertexCount(), 2u);
    EXPECT_EQ(pts.GetVertex(1)->y, 5.0f);
    // Without a curve the wire answers from its points.
    EXPECT_DOUBLE_EQ(wire.GetLength(), 5.0);
    EXPECT_EQ(wire.GetStartPoint().x, 1.0);
    EXPECT_EQ(wire.GetMidPoint().x, FLT_MAX);
    EXPECT_EQ(wire.GetStartTangent().x, FLT_MAX);
    EXPECT_EQ(wire.GetFractionAtPoint({0, 0, 0}), -FLT_MAX);
    EXPECT_EQ(wire.GetDistanceToPoint({0, 0, 0}), FLT_MAX);
    tPolyline<cVertex> sampled;
    wire.ToPolyline(sampled, 0.01);
    ASSERT_EQ(sampled.GetVertexCount(), 2u);
    EXPECT_EQ(sampled.GetVertex(0)->x, 1.0f);
}

TEST(DezazWire, ArcThroughThreePoints)
{
    Dezaz_Wire wire;
    ASSERT_TRUE(wire.SetArcThrough3Points({3, 0, 0}, {0, 3, 0}, {-3, 0, 0}, {0, 0, 0}, 3.0));
    EXPECT_EQ(wire.GetKind(), kWireArc);
    EXPECT_NEAR(wire.GetLength(), 3.0 * M_PI, 1e-12);
    const t3DPoint<double> mid = wire.GetMidPoint();
    EXPECT_NEAR(mid.y, 3.0, 1e-12);
    const t3DPoint<double> t0 = wire.GetStartTangent(), t1 = wire.GetEndTangent();
    EXPECT_NEAR(t0.y, 1.0, 1e-12);
    EXPECT_NEAR(t1.y, -1.0, 1e-12);
    ExpectHalfLengthPoint(wire);
    // Collinear points keep the points but build no arc to evaluate.
    ASSERT_TRUE(wire.SetArcThrough3Points({0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 0, 0}, 0.0));
    EXPECT_EQ(wire.GetCurve(), nullptr);
    EXPECT_TRUE(wire.IsValid());
    EXPECT_DOUBLE_EQ(wire.GetLength(), 2.0);
}

TEST(DezazWire, SplineThroughCircleSamples)
{
    // A 40 mm circle a metre from the origin: the spline through its samples
    // fits them closely and has the arc's length.
    const double r = 20.0;
    const t3DPoint<double> centre{1000, -500, 250};
    Dezaz_Wire wire;
    ASSERT_TRUE(wire.InterpolatePoints(CircleSamples(33, r, 1.5 * M_PI, centre), false, 0, 0));
    EXPECT_EQ(wire.GetKind(), kWireSpline);
    ASSERT_NE(wire.GetCurve(), nullptr);
    tPolylineCollection<tFramePolyline<cVertex>> sections;
    sections.Add(tFramePolyline<cVertex>(CircleSamples(301, r, 1.5 * M_PI, centre)));
    EXPECT_LT(wire.GetFitRms(sections), 1e-5 * r);
    EXPECT_NEAR(wire.GetLength(), 1.5 * M_PI * r, 1e-4 * 1.5 * M_PI * r);
    const double tol = 0.01;
    tPolyline<cVertex> sampled;
    wire.ToPolyline(sampled, tol);
    ASSERT_GT(sampled.GetVertexCount(), 10u);
    for (std::uint32_t i = 0; i + 1 < sampled.GetVertexCount(); ++i)
    {
        const cVertex& a = *sampled.GetVertex(i);
        const cVertex& b = *sampled.GetVertex(i + 1);
        const t3DPoint<double> m{(a.x + b.x) / 2.0, (a.y + b.y) / 2.0, (a.z + b.z) / 2.0};
        EXPECT_LE(wire.GetDistanceToPoint(m), tol + 1e-4); // float positions
    }
    ExpectHalfLengthPoint(wire);
    // Control points: read back, moved, refused when the count differs.
    tPolyline<cVertex> cvs;
    wire.GetControlPoints(cvs);
    ASSERT_EQ(cvs.GetVertexCount(), 33u);
    cvs.GetVertex(16)->z += 5.0f;
    ASSERT_TRUE(wire.SetControlPoints(cvs));
    EXPECT_GT(wire.GetMidPoint().z, centre.z + 1.0);
    cvs.RemoveVertexAt(0);
    EXPECT_FALSE(wire.SetControlPoints(cvs));
    Dezaz_Wire line;
    line.SetLine({0, 0, 0}, {1, 0, 0});
    EXPECT_FALSE(line.SetControlPoints(cvs));
    line.GetControlPoints(cvs);
    EXPECT_TRUE(cvs.IsEmpty());
}

TEST(DezazWire, FractionsOnCurvesWhoseDomainDoesNotStartAtZero)
{
    const ON_Arc arc(ON_3dPoint(2, 0, 0), ON_3dPoint(0, 2, 0), ON_3dPoint(-2, 0, 0));
    Dezaz_Wire arc_wire;
    ASSERT_TRUE(arc_wire.AdoptCurve(new ON_ArcCurve(arc, 7.0, 9.5), kWireArc, Points({{2, 0, 0}, {0, 2, 0}})));
    ExpectHalfLengthPoint(arc_wire);
    t3DPoint<double> p;
    double f = 0.0;
    ASSERT_TRUE(arc_wire.GetFractionAtLength(arc_wire.GetLength() / 2, &f, 1e-10));
    ASSERT_TRUE(arc_wire.EvaluateAtFraction(f, &p, nullptr));
    EXPECT_NEAR(p.x, 0.0, 1e-9);
    EXPECT_NEAR(p.y, 2.0, 1e-9);
    EXPECT_NEAR(arc_wire.GetFractionAtPoint({0, 5, 0}), 0.5, 1e-12);

    Dezaz_Wire spline;
    ASSERT_TRUE(spline.InterpolatePoints(Points({{0, 0, 0}, {1, 2, 0}, {3, 3, 1}, {6, 2, 1}, {7, 0, 0}}), false, 0, 0));
    auto* shifted = static_cast<ON_NurbsCurve*>(spline.GetCurve()->Duplicate());
    ASSERT_TRUE(shifted->SetDomain(1000.0, 1003.0));
    ASSERT_TRUE(spline.AdoptCurve(shifted, kWireSpline, Points({{0, 0, 0}, {7, 0, 0}})));
    ExpectHalfLengthPoint(spline);
    // Parameters far beyond the precision of the stop test still end.
    auto* far = static_cast<ON_NurbsCurve*>(spline.GetCurve()->Duplicate());
    ASSERT_TRUE(far->SetDomain(1e12, 1e12 + 1.0));
    ASSERT_TRUE(spline.AdoptCurve(far, kWireSpline, Points({{0, 0, 0}, {7, 0, 0}})));
    EXPECT_FALSE(spline.GetFractionAtLength(spline.GetLength() / 3, &f, 0.0));
    EXPECT_FALSE(spline.AdoptCurve(nullptr, kWireSpline, Points({{0, 0, 0}})));
    EXPECT_EQ(spline.GetCurve(), far);
}

TEST(DezazWire, FractionEdgeCases)
{
    Dezaz_Wire wire;
    ASSERT_TRUE(wire.SetArcThrough3Points({1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {}, 1.0));
    const double total = wire.GetLength();
    double f = -1.0;
    ASSERT_TRUE(wire.GetFractionAtLength(total, &f, 1e-9));
    EXPECT_EQ(f, 1.0);
    ASSERT_TRUE(wire.GetFractionAtLength(0.0, &f, 1e-9));
    EXPECT_EQ(f, 0.0);
    EXPECT_FALSE(wire.GetFractionAtLength(total * 1.001, &f, 1e-9));
    EXPECT_FALSE(wire.GetFractionAtLength(-0.1, &f, 1e-9));
    t3DPoint<double> p{1, 2, 3}, t{1, 2, 3};
    EXPECT_FALSE(wire.EvaluateAtFraction(1.0000001, &p, &t));
    EXPECT_EQ(p.x, FLT_MAX);
    EXPECT_EQ(t.z, FLT_MAX);
    ASSERT_TRUE(wire.EvaluateAtFraction(1.0, &p, &t));
    EXPECT_NEAR(p.x, -1.0, 1e-12);
    EXPECT_NEAR(t.y, -1.0, 1e-12);
}

TEST(DezazWire, SplinesWithoutACurveFallBackToTheirPoints)
{
    Dezaz_Wire wire;
    const tPolyline<cVertex> same = Points({{1, 1, 1}, {1, 1, 1}});
    EXPECT_TRUE(wire.InterpolatePoints(same, false, 0, 0));
    EXPECT_EQ(wire.GetKind(), kWireSpline);
    EXPECT_TRUE(wire.IsValid());
    EXPECT_EQ(wire.GetCurve(), nullptr);
    EXPECT_EQ(wire.GetLength(), 0.0);
    EXPECT_EQ(wire.GetFitRms({}), 0.0);
    double f = 0.0;
    EXPECT_TRUE(wire.GetFractionAtLength(0.0, &f, 1e-9));
    float box[6];
    wire.GetBoundingBox(box);
    EXPECT_EQ(box[0], 1.0f);
    EXPECT_EQ(box[5], 1.0f);
    wire.Reset();
    EXPECT_FALSE(wire.IsValid());
    wire.GetBoundingBox(box);
    EXPECT_EQ(box[0], FLT_MAX);
    EXPECT_EQ(wire.GetStartPoint().x, FLT_MAX);
}

TEST(DezazWire, SegmentsMakeAChain)
{
    Dezaz_Wire line1, arc, line2;
    ASSERT_TRUE(line1.SetLine({0, 0, 0}, {4, 0, 0}));
    ASSERT_TRUE(arc.SetArcThrough3Points({4, 0, 0}, {5, 1, 0}, {4, 2, 0}, {}, 0));
    ASSERT_TRUE(line2.SetLine({4, 2, 0}, {0, 2, 0}));
    Dezaz_Wire chain;
    ASSERT_TRUE(chain.AddSegment(line1));
    ASSERT_TRUE(chain.AddSegment(arc));
    ASSERT_TRUE(chain.AddSegment(line2));
    EXPECT_EQ(chain.GetKind(), kWireComposite);
    EXPECT_EQ(chain.GetSegmentCount(), 3u);
    EXPECT_EQ(chain.GetSegment(0)->GetKind(), kWireLine);
    EXPECT_EQ(chain.GetSegment(1)->GetKind(), kWireArc);
    EXPECT_EQ(chain.GetSegment(3), nullptr);
    EXPECT_NEAR(chain.GetLength(), 8.0 + M_PI, 1e-10);
    EXPECT_LT(Distance(chain.GetStartPoint(), {0, 0, 0}), 1e-12);
    EXPECT_LT(Distance(chain.GetEndPoint(), {0, 2, 0}), 1e-12);
    EXPECT_NEAR(chain.GetEndTangent().x, -1.0, 1e-12);
    tPolyline<cVertex> pts;
    chain.GetPolyline(pts);
    EXPECT_EQ(pts.GetVertexCount(), 5u); // shared joints once
    // A point near the arc is measured against the whole chain.
    EXPECT_NEAR(chain.GetDistanceToPoint({6, 1, 0}), 1.0, 1e-9);
    // Copies carry the chain; transforms move the pieces with it.
    Dezaz_Wire copy = chain;
    const double up[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 7};
    copy.Transform(up);
    EXPECT_EQ(copy.GetSegmentCount(), 3u);
    EXPECT_NEAR(copy.GetSegment(2)->GetEndPoint().z, 7.0, 1e-12);
    EXPECT_NEAR(chain.GetSegment(2)->GetEndPoint().z, 0.0, 1e-12);
    // Refusals: a wire without a curve, a wire with its own curve, a wire of
    // another class.
    Dezaz_Wire bare;
    EXPECT_FALSE(chain.AddSegment(bare));
    EXPECT_FALSE(line1.AddSegment(arc));
    cStubLineWire stub;
    EXPECT_FALSE(chain.AddSegment(stub));
    EXPECT_FALSE(chain.AddSegment(chain));
    EXPECT_EQ(chain.GetSegmentCount(), 3u);
    chain.Reset();
    EXPECT_EQ(chain.GetSegmentCount(), 0u);
    EXPECT_TRUE(chain.AddSegment(line2));
}

TEST(SketchWire, AnswersWithItsSubCurvesWires)
{
    ST_SketchWire empty;
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(empty.GetSegmentCount(), 0u);
    EXPECT_EQ(empty.GetSegment(0), nullptr);
    EXPECT_EQ(empty.GetKind(), kWireSketch);
    StubSketch sketch;
    ST_SketchWire wire(&sketch);
    EXPECT_FALSE(wire.IsValid());
    sketch.parts.push_back(std::make_unique<cStubSectionCurve>());
    sketch.parts.push_back(std::make_unique<cStubSectionCurve>());
    EXPECT_TRUE(wire.IsValid());
    EXPECT_EQ(wire.GetSegmentCount(), 2u);
    EXPECT_EQ(wire.GetSegment(1), &sketch.parts[1]->wire);
    EXPECT_EQ(wire.GetSegment(2), nullptr);
    EXPECT_TRUE(wire.AddSegment(sketch.parts[0]->wire));
    EXPECT_EQ(wire.GetFitRms({}), -FLT_MAX);
    std::unique_ptr<ST_IWire> other(wire.CreateEmpty());
    EXPECT_TRUE(other->IsSameType(wire));
    EXPECT_FALSE(other->IsSameType(Dezaz_Wire()));
    EXPECT_EQ(static_cast<ST_SketchWire*>(other.get())->GetSketch(), &sketch);
}
