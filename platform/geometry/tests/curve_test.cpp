#include "platform/geometry/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace
{

void ExpectNear(const ON_3dPoint& a, const ON_3dPoint& b, double tol)
{
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

// Quarter circle of radius r in the xy plane as a rational quadratic.
ON_NurbsCurve QuarterCircle(double r)
{
    ON_NurbsCurve c(3, true, 3, 3);
    const double knots[] = {0, 0, 0, 1, 1, 1};
    for (int i = 0; i < 6; ++i)
        c.SetKnot(i, knots[i]);
    c.SetCV(0, ON_3dPoint(r, 0, 0));
    c.SetCV(1, ON_3dPoint(r, r, 0));
    c.SetCV(2, ON_3dPoint(0, r, 0));
    c.SetWeight(1, std::sqrt(0.5));
    return c;
}

// A cubic that runs out along +x and comes back just above itself: a point
// near the returning branch has a local minimum on the outgoing one too.
ON_NurbsCurve Hairpin()
{
    ON_NurbsCurve c(3, false, 4, 6);
    c.MakeClampedUniformKnotVector(1.0);
    const ON_3dPoint cvs[] = {{0, 0, 0}, {4, 0, 0}, {8, 0, 0}, {8, 2, 0}, {4, 2, 0}, {0, 2, 0}};
    for (int i = 0; i < 6; ++i)
        c.SetCV(i, cvs[i]);
    return c;
}

std::unique_ptr<ON_Curve> RoundTrip(const ON_Curve& curve)
{
    ON_MemoryArchive out;
    EXPECT_TRUE(ON_WriteCurve(out, &curve));
    ON_MemoryArchive in(out.Buffer().data(), out.Buffer().size());
    std::unique_ptr<ON_Curve> read(ON_ReadCurve(in));
    EXPECT_TRUE(in.AtEnd());
    return read;
}

} // namespace

TEST(LineCurve, DomainMapsOntoTheSegment)
{
    ON_LineCurve line(ON_Line(ON_3dPoint(1, 0, 0), ON_3dPoint(5, 0, 0)), 10.0, 12.0);
    ASSERT_TRUE(line.IsValid());
    ExpectNear(line.PointAt(11.0), ON_3dPoint(3, 0, 0), 1e-15);
    EXPECT_NEAR(line.DerivativeAt(10.5).x, 2.0, 1e-15);
    double t = 0.0;
    ASSERT_TRUE(line.GetClosestPoint(ON_3dPoint(4, 7, 0), &t));
    EXPECT_NEAR(t, 11.5, 1e-15);
    const ON_Interval first_half(10.0, 11.0);
    ASSERT_TRUE(line.GetClosestPoint(ON_3dPoint(4, 7, 0), &t, 0.0, &first_half));
    EXPECT_NEAR(t, 11.0, 1e-15);
    EXPECT_FALSE(line.GetClosestPoint(ON_3dPoint(4, 7, 0), &t, 6.9));
    double length = 0.0;
    ASSERT_TRUE(line.GetLength(&length, 1e-8, &first_half));
    EXPECT_NEAR(length, 2.0, 1e-15);
    ASSERT_TRUE(line.Reverse());
    EXPECT_EQ(line.Domain(), ON_Interval(-12.0, -10.0));
    ExpectNear(line.PointAtStart(), ON_3dPoint(5, 0, 0), 0.0);
    EXPECT_TRUE(line.IsPlanar());
    // Coordinates near the top of the double range: a refusal, never NaN.
    ON_LineCurve huge(ON_3dPoint(1e300, 2, 3), ON_3dPoint(-1e300, 5, 6));
    t = 0.25;
    EXPECT_FALSE(huge.GetClosestPoint(ON_3dPoint(0.5, -0.25, 1.0), &t));
    EXPECT_EQ(t, 0.25);
    // A segment of 1e-141 on a domain near the top of the range: the point
    // lies far past its start, so the answer is the domain's end.
    ON_LineCurve tiny(ON_Line(ON_3dPoint(-5.27706e-137, -5.27735e-137, -5.27735e-137),
                              ON_3dPoint(-5.27735e-137, -5.27735e-137, -5.27735e-137)),
                      1.3824172078353172e306, 1.3824172084878715e306);
    ASSERT_TRUE(tiny.IsValid());
    ASSERT_TRUE(tiny.GetClosestPoint(ON_3dPoint(0.5, -0.25, 1.0), &t));
    EXPECT_EQ(t, 1.3824172078353172e306);
}

TEST(ArcCurve, ThreePointArcLengthAndParameters)
{
    // Three quarters of a circle of radius 2 through (2,0), (0,2)... ending
    // at (0,-2): the arc passes the top and the left.
    const ON_Arc arc(ON_3dPoint(2, 0, 0), ON_3dPoint(-2, 0, 0), ON_3dPoint(0, -2, 0));
    ON_ArcCurve curve(arc);
    ASSERT_TRUE(curve.IsValid());
    double length = 0.0;
    ASSERT_TRUE(curve.GetLength(&length));
    EXPECT_NEAR(length, 2.0 * 1.5 * ON_PI, 1e-12);
    ASSERT_TRUE(curve.SetDomain(3.0, 4.0));
    ExpectNear(curve.PointAt(3.5), arc.PointAt(0.75 * ON_PI), 1e-12);
    ExpectNear(curve.PointAtEnd(), ON_3dPoint(0, -2, 0), 1e-12);
    // The generic integration agrees with the exact length on a sub-domain.
    const ON_Interval piece(3.2, 3.7);
    ASSERT_TRUE(curve.GetLength(&length, 1e-10, &piece));
    EXPECT_NEAR(length, 0.5 * 3.0 * ON_PI, 1e-12);
    double generic = 0.0;
    ASSERT_TRUE(curve.ON_Curve::GetLength(&generic, 1e-10, &piece));
    EXPECT_NEAR(generic, length, 1e-9);
    // A point beyond the gap of the arc goes to the nearer end.
    double t = 0.0;
    ASSERT_TRUE(curve.GetClosestPoint(ON_3dPoint(0.5, -3, 0), &t));
    EXPECT_NEAR(t, 4.0, 1e-12);
    ASSERT_TRUE(curve.GetClosestPoint(ON_3dPoint(3, -2.5, 0), &t));
    EXPECT_NEAR(t, 3.0, 1e-12);
    ASSERT_TRUE(curve.GetClosestPoint(ON_3dPoint(0, 10, 0), &t));
    EXPECT_NEAR(t, 3.0 + 1.0 / 3.0, 1e-12);
    // Derivatives follow the domain's scale: |C'| = r * angle / domain length.
    EXPECT_NEAR(curve.DerivativeAt(3.1).Length(), 2.0 * 1.5 * ON_PI, 1e-12);
    const ON_BoundingBox box = curve.BoundingBox();
    ExpectNear(box.m_min, ON_3dPoint(-2, -2, 0), 1e-12);
    ExpectNear(box.m_max, ON_3dPoint(2, 2, 0), 1e-12);
}

TEST(NurbsCurve, RationalQuarterCircleIsExact)
{
    ON_NurbsCurve c = QuarterCircle(3.0);
    ASSERT_TRUE(c.IsValid());
    for (int i = 0; i <= 20; ++i)
    {
        const double t = i / 20.0;
        ON_3dVector v[3];
        ASSERT_TRUE(c.Evaluate(t, 2, v));
        EXPECT_NEAR(v[0].Length(), 3.0, 1e-14);
        // Tangent perpendicular to the radius, second derivative checked by
        // differences of the first.
        EXPECT_NEAR(ON_DotProduct(v[0], v[1]), 0.0, 1e-12);
        const double h = 1e-6;
        ON_3dVector a[2], b[2];
        c.Evaluate(t - h, 1, a);
        c.Evaluate(t + h, 1, b);
        const ON_3dVector fd = (b[1] - a[1]) / (2 * h);
        EXPECT_NEAR((fd - v[2]).Length(), 0.0, 1e-5 * v[2].Length());
    }
    double length = 0.0;
    ASSERT_TRUE(c.GetLength(&length, 1e-10));
    EXPECT_NEAR(length, 1.5 * ON_PI, 1e-9);
    ON_Plane plane;
    ASSERT_TRUE(c.IsPlanar(&plane, 1e-12));
    EXPECT_NEAR(std::fabs(plane.zaxis.z), 1.0, 1e-12);
}

TEST(NurbsCurve, ClosestPointIsGlobalOnACurveThatDoublesBack)
{
    const ON_NurbsCurve c = Hairpin();
    // Just above the returning branch: the outgoing branch (y = 0) is 1.9
    // away, the returning one about 0.1.
    const ON_3dPoint p(2.0, 1.9, 0.0);
    double t = 0.0;
    ASSERT_TRUE(c.GetClosestPoint(p, &t));
    EXPECT_GT(c.PointAt(t).y, 1.5);
    // Brute force over a fine sampling agrees.
    double best = 1e300;
    for (int i = 0; i <= 200000; ++i)
        best = std::min(best, p.DistanceTo(c.PointAt(3.0 * i / 200000)));
    EXPECT_LE(p.DistanceTo(c.PointAt(t)), best + 1e-12);
    EXPECT_NEAR(p.DistanceTo(c.PointAt(t)), best, 1e-8);
    // Restricted to the first half the outgoing branch is the answer.
    const ON_Interval outgoing(0.0, 1.0);
    ASSERT_TRUE(c.GetClosestPoint(p, &t, 0.0, &outgoing));
    EXPECT_LE(t, 1.0);
    EXPECT_LT(c.PointAt(t).y, 0.5);
    EXPECT_FALSE(c.GetClosestPoint(ON_UNSET_POINT, &t));
}

TEST(NurbsCurve, ClosestPointFindsAShallowMinimumBetweenSamples)
{
    // A winding cubic where the query has two minima 0.23 apart in parameter
    // on both sides of a knot, the nearer one only 3e-4 nearer and hidden
    // behind a maximum of the distance between two samples.
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    ON_NurbsCurve c(3, false, 4, 200);
    double k = 0.0;
    for (int i = 0; i < c.KnotCount(); ++i)
    {
        if (i >= 4 && i <= 200)
            k += 0.5 + unit(rng);
        c.SetKnot(i, k);
    }
    for (int i = 0; i < 200; ++i)
    {
        const double a = 0.2 * i;
        const double z = 0.3 * i + 3 * unit(rng);
        const double y = 40 * std::sin(0.7 * a) + 3 * unit(rng);
        const double x = 40 * std::cos(a) + 3 * unit(rng);
        c.SetCV(i, ON_3dPoint(x, y, z));
    }
    const ON_3dPoint q(38.732481679445328, -33.562881624989132, 9.1345339683894426);
    double t = 0.0;
    ASSERT_TRUE(c.GetClosestPoint(q, &t));
    double best = 1e300;
    for (int i = 0; i <= 100000; ++i)
        best = std::min(best, q.DistanceTo(c.PointAt(27.0 + 1.5 * i / 100000)));
    EXPECT_LE(q.DistanceTo(c.PointAt(t)), best + 1e-12);
    EXPECT_NEAR(t, 27.8155, 1e-3);
}

TEST(NurbsCurve, KinkedKnotEvaluatesFromEitherSide)
{
    // Degree 2 with a double interior knot: a corner at t = 1.
    ON_NurbsCurve c(3, false, 3, 5);
    const double knots[] = {0, 0, 0, 1, 1, 2, 2, 2};
    for (int i = 0; i < 8; ++i)
        c.SetKnot(i, knots[i]);
    const ON_3dPoint cvs[] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 1, 0}, {2, 2, 0}};
    for (int i = 0; i < 5; ++i)
        c.SetCV(i, cvs[i]);
    ASSERT_TRUE(c.IsValid());
    EXPECT_EQ(c.SpanCount(), 2);
    ON_3dPoint p;
    ON_3dVector below, above;
    ASSERT_TRUE(c.EvTangent(1.0, p, below, -1));
    ASSERT_TRUE(c.EvTangent(1.0, p, above, +1));
    ExpectNear(p, ON_3dPoint(2, 0, 0), 1e-15);
    ExpectNear(ON_3dPoint(below), ON_3dPoint(1, 0, 0), 1e-15);
    ExpectNear(ON_3dPoint(above), ON_3dPoint(0, 1, 0), 1e-15);
    // A knot repeated more than the order is refused.
    c.SetKnot(5, 1.0);
    c.SetKnot(6, 1.0);
    EXPECT_FALSE(c.IsValid());
}

TEST(NurbsCurve, ReverseTransformAndDomain)
{
    ON_NurbsCurve c = QuarterCircle(1.0);
    ASSERT_TRUE(c.SetDomain(2.0, 6.0));
    const ON_3dPoint mid = c.PointAt(4.0);
    ASSERT_TRUE(c.Reverse());
    EXPECT_EQ(c.Domain(), ON_Interval(-6.0, -2.0));
    ExpectNear(c.PointAt(-4.0), mid, 1e-15);
    ExpectNear(c.PointAtStart(), ON_3dPoint(0, 1, 0), 1e-15);
    ASSERT_TRUE(c.Transform(ON_Xform::TranslationTransformation(ON_3dVector(0, 0, 5))));
    ExpectNear(c.PointAt(-4.0), mid + ON_3dVector(0, 0, 5), 1e-14);
    EXPECT_NEAR((c.PointAt(-3.0) - ON_3dPoint(0, 0, 5)).Length(), 1.0, 1e-14);
    EXPECT_FALSE(c.SetCV(7, ON_origin));
    EXPECT_FALSE(c.SetWeight(0, 0.0));
    EXPECT_FALSE(c.SetDomain(1.0, 1.0));
}

TEST(PolylineCurve, LengthAndClosestPointBySegment)
{
    ON_SimpleArray<ON_3dPoint> pts;
    pts.Append(ON_3dPoint(0, 0, 0));
    pts.Append(ON_3dPoint(3, 0, 0));
    pts.Append(ON_3dPoint(3, 4, 0));
    ON_PolylineCurve pl(pts);
    ASSERT_TRUE(pl.IsValid());
    double length = 0.0;
    ASSERT_TRUE(pl.GetLength(&length));
    EXPECT_DOUBLE_EQ(length, 7.0);
    const ON_Interval piece(0.5, 1.5);
    ASSERT_TRUE(pl.GetLength(&length, 0, &piece));
    EXPECT_DOUBLE_EQ(length, 3.5);
    double t = 0.0;
    ASSERT_TRUE(pl.GetClosestPoint(ON_3dPoint(5, 2, 0), &t));
    EXPECT_DOUBLE_EQ(t, 1.5);
    ON_3dVector v[2];
    ASSERT_TRUE(pl.Evaluate(1.0, 1, v, -1));
    EXPECT_DOUBLE_EQ(v[1].x, 3.0);
    ASSERT_TRUE(pl.Evaluate(1.0, 1, v, +1));
    EXPECT_DOUBLE_EQ(v[1].y, 4.0);
    EXPECT_FALSE(pl.IsClosed());
    pts.Append(ON_3dPoint(0, 0, 0));
    EXPECT_TRUE(ON_PolylineCurve(pts).IsClosed());
}

TEST(PolyCurve, ChainOfLineAndArc)
{
    ON_PolyCurve chain;
    auto* line = new ON_LineCurve(ON_3dPoint(0, 0, 0), ON_3dPoint(2, 0, 0));
    ASSERT_TRUE(chain.Append(line));
    const ON_Arc arc(ON_3dPoint(2, 0, 0), ON_3dPoint(3, 1, 0), ON_3dPoint(2, 2, 0));
    ASSERT_TRUE(chain.Append(new ON_ArcCurve(arc)));
    EXPECT_FALSE(chain.Append(nullptr));
    ASSERT_TRUE(chain.IsValid());
    EXPECT_EQ(chain.Count(), 2);
    EXPECT_EQ(chain.Domain(), ON_Interval(0.0, 1.0 + ON_PI));
    ExpectNear(chain.PointAt(1.0), ON_3dPoint(2, 0, 0), 1e-15);
    ExpectNear(chain.PointAtEnd(), ON_3dPoint(2, 2, 0), 1e-12);
    double length = 0.0;
    ASSERT_TRUE(chain.GetLength(&length));
    EXPECT_NEAR(length, 2.0 + ON_PI, 1e-12);
    double t = 0.0;
    ASSERT_TRUE(chain.GetClosestPoint(ON_3dPoint(5, 1, 0), &t));
    EXPECT_NEAR(t, 1.0 + ON_PI / 2, 1e-12);
    ON_3dVector v[2];
    ASSERT_TRUE(chain.Evaluate(0.5, 1, v));
    EXPECT_NEAR(v[1].x, 2.0, 1e-15); // chain rule of the piece's scale
    // Copies own their own segments.
    ON_PolyCurve copy = chain;
    ASSERT_TRUE(copy.Reverse());
    ExpectNear(copy.PointAtStart(), ON_3dPoint(2, 2, 0), 1e-12);
    ExpectNear(chain.PointAtStart(), ON_3dPoint(0, 0, 0), 1e-15);
    EXPECT_NE(copy.SegmentCurve(0), chain.SegmentCurve(1));
    EXPECT_EQ(chain.SpanCount(), 2);
    double spans[3];
    ASSERT_TRUE(chain.GetSpanVector(spans));
    EXPECT_EQ(spans[1], 1.0);
}

TEST(CurveRecords, EveryKindRoundTrips)
{
    std::vector<std::unique_ptr<ON_Curve>> curves;
    curves.emplace_back(new ON_LineCurve(ON_Line(ON_3dPoint(1, 2, 3), ON_3dPoint(4, 5, 6)), -1.0, 2.0));
    curves.emplace_back(new ON_ArcCurve(ON_Arc(ON_3dPoint(1, 0, 0), ON_3dPoint(0, 1, 1), ON_3dPoint(-1, 0, 0)), 2, 3));
    curves.emplace_back(new ON_NurbsCurve(QuarterCircle(2.0)));
    curves.emplace_back(new ON_NurbsCurve(Hairpin()));
    ON_SimpleArray<ON_3dPoint> pts;
    pts.Append(ON_3dPoint(0, 0, 0));
    pts.Append(ON_3dPoint(1, 1, 0));
    pts.Append(ON_3dPoint(2, 0, 1));
    curves.emplace_back(new ON_PolylineCurve(pts));
    auto* chain = new ON_PolyCurve;
    chain->Append(new ON_LineCurve(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0)));
    chain->Append(new ON_NurbsCurve(Hairpin()));
    curves.emplace_back(chain);
    for (const auto& c : curves)
    {
        const std::unique_ptr<ON_Curve> read = RoundTrip(*c);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->CurveKind(), c->CurveKind());
        EXPECT_EQ(read->Domain(), c->Domain());
        for (int i = 0; i <= 10; ++i)
        {
            const double t = c->Domain().ParameterAt(i / 10.0);
            ExpectNear(read->PointAt(t), c->PointAt(t), 0.0);
        }
    }
}

TEST(CurveRecords, AnArcSavedAgainAfterItsAxesWereSquaredUpKeepsEveryByte)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int i = 0; i < 500; ++i)
    {
        // Axes from elsewhere: neither unit nor quite perpendicular.
        ON_ArcCurve arc(ON_Arc(ON_3dPoint(1, 0, 0), ON_3dPoint(0, 1, 0), ON_3dPoint(-1, 0, 0)));
        arc.m_arc.plane.xaxis = ON_3dVector(u(random), u(random), u(random)) * 3.0;
        arc.m_arc.plane.yaxis = ON_3dVector(u(random), u(random), u(random));
        const std::unique_ptr<ON_Curve> opened = RoundTrip(arc);
        if (!opened)
            continue; // axes too close to parallel
        ON_MemoryArchive saved;
        ASSERT_TRUE(ON_WriteCurve(saved, opened.get()));
        const std::unique_ptr<ON_Curve> reopened = RoundTrip(*opened);
        ASSERT_NE(reopened, nullptr) << i;
        ON_MemoryArchive savedAgain;
        ASSERT_TRUE(ON_WriteCurve(savedAgain, reopened.get()));
        EXPECT_EQ(saved.Buffer(), savedAgain.Buffer()) << i;
    }
}

TEST(CurveRecords, DamagedRecordsAreRefusedWithoutPartialCurves)
{
    auto* chain = new ON_PolyCurve;
    chain->Append(new ON_ArcCurve(ON_Arc(ON_3dPoint(1, 0, 0), ON_3dPoint(0, 1, 0), ON_3dPoint(-1, 0, 0))));
    chain->Append(new ON_NurbsCurve(Hairpin()));
    std::unique_ptr<ON_Curve> owner(chain);
    ON_MemoryArchive out;
    ASSERT_TRUE(ON_WriteCurve(out, chain));
    const std::vector<std::uint8_t> bytes = out.Buffer();
    // Every cut of the record fails.
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
    {
        ON_MemoryArchive in(bytes.data(), cut);
        EXPECT_EQ(ON_ReadCurve(in), nullptr) << cut;
    }
    // Unknown kinds, NaN values, decreasing knots and zero weights.
    auto read_patched = [&](std::size_t offset, const void* value, std::size_t size) {
        std::vector<std::uint8_t> patched = bytes;
        std::memcpy(patched.data() + offset, value, size);
        ON_MemoryArchive in(patched.data(), patched.size());
        return std::unique_ptr<ON_Curve>(ON_ReadCurve(in));
    };
    const int unknown = 9;
    EXPECT_EQ(read_patched(0, &unknown, 4), nullptr);
    const double nan = std::nan("");
    EXPECT_EQ(read_patched(12, &nan, 8), nullptr); // the arc's origin
    const double negative_radius = -1.0;
    EXPECT_EQ(read_patched(12 + 72, &negative_radius, 8), nullptr);
    ON_NurbsCurve rational = QuarterCircle(1.0);
    ON_MemoryArchive nurbs_out;
    ASSERT_TRUE(ON_WriteCurve(nurbs_out, &rational));
    std::vector<std::uint8_t> nb = nurbs_out.Buffer();
    const double zero = 0.0, big = 5.0;
    std::vector<std::uint8_t> zero_weight = nb;
    std::memcpy(zero_weight.data() + 16 + 6 * 8 + 4 * 8 + 24, &zero, 8); // weight of CV 1
    ON_MemoryArchive in1(zero_weight.data(), zero_weight.size());
    EXPECT_EQ(ON_ReadCurve(in1), nullptr);
    std::vector<std::uint8_t> bad_knots = nb;
    std::memcpy(bad_knots.data() + 16 + 8, &big, 8); // second knot above the rest
    ON_MemoryArchive in2(bad_knots.data(), bad_knots.size());
    EXPECT_EQ(ON_ReadCurve(in2), nullptr);
    // A line whose ends coincide.
    ON_LineCurve point_line(ON_Line(ON_3dPoint(1, 2, 3), ON_3dPoint(4, 2, 3)));
    ON_MemoryArchive line_out;
    ASSERT_TRUE(ON_WriteCurve(line_out, &point_line));
    std::vector<std::uint8_t> collapsed = line_out.Buffer();
    ON_MemoryArchive whole(collapsed.data(), collapsed.size());
    EXPECT_NE(std::unique_ptr<ON_Curve>(ON_ReadCurve(whole)), nullptr);
    const double x = 1.0;
    std::memcpy(collapsed.data() + 4 + 24, &x, 8); // the end's x onto the start's
    ON_MemoryArchive in3(collapsed.data(), collapsed.size());
    EXPECT_EQ(ON_ReadCurve(in3), nullptr);
}

TEST(CurveRecords, NestingOfChainsIsBounded)
{
    // Chains nested ten deep: written fine, refused on reading.
    std::unique_ptr<ON_Curve> curve(new ON_LineCurve(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0)));
    for (int depth = 0; depth < 10; ++depth)
    {
        auto* chain = new ON_PolyCurve;
        chain->Append(curve.release());
        curve.reset(chain);
    }
    ON_MemoryArchive out;
    ASSERT_TRUE(ON_WriteCurve(out, curve.get()));
    ON_MemoryArchive in(out.Buffer().data(), out.Buffer().size());
    EXPECT_EQ(ON_ReadCurve(in), nullptr);
    EXPECT_EQ(on_curve_detail::ReadDepth(), 0);
}

TEST(Curve, PlanarityOfAHelixAndOfALine)
{
    ON_NurbsCurve helix(3, false, 4, 8);
    helix.MakeClampedUniformKnotVector(1.0);
    for (int i = 0; i < 8; ++i)
        helix.SetCV(i, ON_3dPoint(std::cos(i), std::sin(i), 0.3 * i));
    EXPECT_FALSE(helix.IsPlanar(nullptr, 1e-6));
    ON_Plane plane;
    ON_LineCurve line(ON_3dPoint(1, 1, 1), ON_3dPoint(2, 3, 4));
    ASSERT_TRUE(line.IsPlanar(&plane));
    EXPECT_NEAR(plane.DistanceTo(ON_3dPoint(3, 5, 7)), 0.0, 1e-12);
}
