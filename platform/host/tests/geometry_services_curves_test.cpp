#include "platform/host/geometry_services_curves.h"

#include "platform/geometry/arc_curve.h"
#include "platform/geometry/line_curve.h"
#include "platform/geometry/poly_curve.h"

#include <gtest/gtest.h>

#include <GeomAPI_Interpolate.hxx>
#include <Geom_BSplineCurve.hxx>
#include <TColgp_HArray1OfPnt.hxx>
#include <gp_Pnt.hxx>

#include <cmath>
#include <memory>

namespace
{

ON_3dPoint Helix(double s, double radius, double pitch, const ON_3dVector& offset)
{
    return ON_3dPoint(radius * std::cos(s), radius * std::sin(s), pitch * s) + offset;
}

ON_SimpleArray<ON_3dPoint> HelixSamples(int count, double radius, double pitch, const ON_3dVector& offset)
{
    ON_SimpleArray<ON_3dPoint> pts;
    for (int i = 0; i < count; ++i)
        pts.Append(Helix(4.0 * i / (count - 1), radius, pitch, offset));
    return pts;
}

double MaxDistanceFromHelix(const ON_Curve& c, double radius, double pitch, const ON_3dVector& offset)
{
    // Against a dense sampling of the true helix.
    double worst = 0.0;
    const ON_Interval d = c.Domain();
    for (int i = 0; i <= 400; ++i)
    {
        const ON_3dPoint p = c.PointAt(d.ParameterAt(i / 400.0));
        double best = 1e300;
        for (int k = 0; k <= 8000; ++k)
            best = std::min(best, p.DistanceTo(Helix(4.0 * k / 8000, radius, pitch, offset)));
        worst = std::max(worst, best);
    }
    return worst;
}

} // namespace

TEST(InterpCurve, ChordLengthCubicThroughCircleSamples)
{
    // 3/4 of a circle of radius 10 in 25 points, a metre from the origin.
    const ON_3dVector offset(1000, 0, 0);
    ON_SimpleArray<ON_3dPoint> pts;
    for (int i = 0; i < 25; ++i)
    {
        const double a = 1.5 * ON_PI * i / 24;
        pts.Append(ON_3dPoint(10 * std::cos(a), 10 * std::sin(a), 0) + offset);
    }
    std::unique_ptr<ON_NurbsCurve> c(DezazInterpCurve(3, pts, nullptr, nullptr, 1));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Degree(), 3);
    EXPECT_EQ(c->CVCount(), 25);
    double chords = 0.0;
    for (int i = 1; i < 25; ++i)
        chords += pts[i].DistanceTo(pts[i - 1]);
    EXPECT_EQ(c->Domain()[0], 0.0);
    EXPECT_NEAR(c->Domain()[1], chords, 1e-12 * chords);
    EXPECT_LT(c->PointAtStart().DistanceTo(pts[0]), 1e-12);
    EXPECT_LT(c->PointAtEnd().DistanceTo(pts[24]), 1e-12);
    for (int i = 0; i < 25; ++i)
    {
        double t = 0.0;
        ASSERT_TRUE(c->GetClosestPoint(pts[i], &t));
        EXPECT_LT(pts[i].DistanceTo(c->PointAt(t)), 1e-9);
    }
    for (int i = 0; i <= 200; ++i)
    {
        const ON_3dPoint p = c->PointAt(c->Domain().ParameterAt(i / 200.0));
        // The end spans, free of end conditions, stray the most.
        EXPECT_NEAR((p - ON_3dPoint(offset)).Length(), 10.0, 1e-3);
    }
    double length = 0.0;
    ASSERT_TRUE(c->GetLength(&length));
    EXPECT_NEAR(length, 15.0 * ON_PI, 1e-4 * 15.0 * ON_PI);
}

TEST(InterpCurve, AsCloseToTheSampledCurveAsTheReference)
{
    for (double radius : {0.005, 40.0})
    {
        const ON_3dVector offset(radius > 1 ? 0.0 : 1.0, 0, 0);
        const double pitch = 0.3 * radius;
        const ON_SimpleArray<ON_3dPoint> pts = HelixSamples(15, radius, pitch, offset);
        std::unique_ptr<ON_NurbsCurve> ours(DezazInterpCurve(3, pts, nullptr, nullptr, 1));
        ASSERT_NE(ours, nullptr);
        Handle(TColgp_HArray1OfPnt) points = new TColgp_HArray1OfPnt(1, pts.Count());
        for (int i = 0; i < pts.Count(); ++i)
            points->SetValue(i + 1, gp_Pnt(pts[i].x, pts[i].y, pts[i].z));
        GeomAPI_Interpolate reference(points, false, 1e-12);
        reference.Perform();
        ASSERT_TRUE(reference.IsDone());
        const Handle(Geom_BSplineCurve) ref = reference.Curve();
        ON_NurbsCurve ref_copy(3, false, ref->Degree() + 1, ref->NbPoles());
        for (int i = 0; i < ref->NbPoles(); ++i)
            ref_copy.SetCV(i, ON_3dPoint(ref->Pole(i + 1).X(), ref->Pole(i + 1).Y(), ref->Pole(i + 1).Z()));
        int k = 0;
        for (int i = 1; i <= ref->NbKnots(); ++i)
            for (int m = 0; m < ref->Multiplicity(i); ++m)
                ref_copy.SetKnot(k++, ref->Knot(i));
        ASSERT_TRUE(ref_copy.IsValid());
        const double ours_error = MaxDistanceFromHelix(*ours, radius, pitch, offset);
        const double ref_error = MaxDistanceFromHelix(ref_copy, radius, pitch, offset);
        EXPECT_LT(ours_error, 1e-3 * radius);
        EXPECT_LT(ours_error, 2.0 * ref_error + 1e-6 * radius) << radius;
    }
}

TEST(InterpCurve, DegreeCountsAndRefusals)
{
    ON_SimpleArray<ON_3dPoint> pts;
    pts.Append(ON_3dPoint(0, 0, 0));
    EXPECT_EQ(DezazInterpCurve(3, pts, nullptr, nullptr, 1), nullptr);
    pts.Append(ON_3dPoint(0, 0, 0)); // a repeated point is passed over
    EXPECT_EQ(DezazInterpCurve(3, pts, nullptr, nullptr, 1), nullptr);
    pts.Append(ON_3dPoint(2, 0, 0));
    std::unique_ptr<ON_NurbsCurve> line(DezazInterpCurve(3, pts, nullptr, nullptr, 1));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->Degree(), 1);
    EXPECT_EQ(line->CVCount(), 2);
    pts.Append(ON_3dPoint(2, 2, 0));
    std::unique_ptr<ON_NurbsCurve> quadratic(DezazInterpCurve(3, pts, nullptr, nullptr, 0));
    ASSERT_NE(quadratic, nullptr);
    EXPECT_EQ(quadratic->Degree(), 2);
    EXPECT_EQ(quadratic->Domain(), ON_Interval(0.0, 2.0)); // uniform: one per distinct point
    EXPECT_EQ(DezazInterpCurve(3, pts, nullptr, nullptr, 3), nullptr);
    EXPECT_EQ(DezazInterpCurve(0, pts, nullptr, nullptr, 1), nullptr);
    const ON_3dVector tangent(0, 1, 0);
    EXPECT_EQ(DezazInterpCurve(3, pts, &tangent, nullptr, 1), nullptr); // only a quadratic fits
    pts.Append(ON_3dPoint(0, 2, 0));
    pts.Append(ON_3dPoint(ON_UNSET_VALUE, 0, 0));
    EXPECT_EQ(DezazInterpCurve(3, pts, nullptr, nullptr, 1), nullptr);
    pts.Remove();
    const ON_3dVector zero;
    EXPECT_EQ(DezazInterpCurve(3, pts, &zero, nullptr, 1), nullptr);
    // Filling the caller's curve.
    ON_NurbsCurve target;
    EXPECT_EQ(DezazInterpCurve(3, pts, nullptr, nullptr, 2, &target), &target);
    EXPECT_EQ(target.CVCount(), 4);
}

TEST(InterpCurve, EndTangentsFixTheEndDerivatives)
{
    ON_SimpleArray<ON_3dPoint> pts = HelixSamples(8, 5.0, 1.0, ON_3dVector());
    const ON_3dVector start(0, 3, 0), end(1, 0, 0);
    for (int which = 0; which < 3; ++which)
    {
        std::unique_ptr<ON_NurbsCurve> c(
            DezazInterpCurve(3, pts, which != 1 ? &start : nullptr, which != 0 ? &end : nullptr, 1));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->CVCount(), which == 2 ? 10 : 9);
        const ON_Interval d = c->Domain();
        if (which != 1)
        {
            EXPECT_NEAR((c->DerivativeAt(d[0]) - ON_3dVector(0, 1, 0)).Length(), 0.0, 1e-12);
        }
        if (which != 0)
        {
            EXPECT_NEAR((c->DerivativeAt(d[1]) - ON_3dVector(1, 0, 0)).Length(), 0.0, 1e-12);
        }
        for (int i = 0; i < pts.Count(); ++i)
        {
            double t = 0.0;
            ASSERT_TRUE(c->GetClosestPoint(pts[i], &t));
            EXPECT_LT(pts[i].DistanceTo(c->PointAt(t)), 1e-9);
        }
    }
}

TEST(CurveToPolyline, ChordHeightIsKeptAndPointsLieOnTheCurve)
{
    std::unique_ptr<ON_NurbsCurve> c(DezazInterpCurve(3, HelixSamples(12, 20.0, 3.0, ON_3dVector(0, 0, 500)),
                                                      nullptr, nullptr, 1));
    ASSERT_NE(c, nullptr);
    for (double tol : {0.1, 0.001})
    {
        ON_PolylineCurve pl;
        ASSERT_TRUE(DezazConvertCurveToPolyline(*c, 0, 0, ON_PI / 2, 5 * tol, 0.0, tol, 0.0, 3.4028234663852886e38,
                                                pl, true, nullptr));
        ASSERT_GE(pl.PointCount(), 3);
        ASSERT_EQ(pl.m_t.Count(), pl.PointCount());
        EXPECT_EQ(pl.m_t[0], c->Domain()[0]);
        EXPECT_EQ(pl.m_t[pl.PointCount() - 1], c->Domain()[1]);
        for (int i = 0; i + 1 < pl.PointCount(); ++i)
        {
            EXPECT_LT(pl.m_t[i], pl.m_t[i + 1]);
            EXPECT_LT(pl.Point(i).DistanceTo(c->PointAt(pl.m_t[i])), 1e-12);
            const ON_Line chord(pl.Point(i), pl.Point(i + 1));
            for (int k = 1; k < 8; ++k)
                EXPECT_LE(chord.DistanceTo(c->PointAt(pl.m_t[i] + k / 8.0 * (pl.m_t[i + 1] - pl.m_t[i]))), tol);
        }
    }
}

TEST(CurveToPolyline, CornersCountsAndLimits)
{
    ON_PolyCurve chain;
    chain.Append(new ON_LineCurve(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0)));
    chain.Append(new ON_LineCurve(ON_3dPoint(1, 0, 0), ON_3dPoint(1, 3, 0)));
    ON_PolylineCurve pl;
    ASSERT_TRUE(DezazConvertCurveToPolyline(chain, 0, 0, ON_PI / 2, 0.5, 0, 0.1, 0, 0, pl, true, nullptr));
    ASSERT_EQ(pl.PointCount(), 3);
    EXPECT_EQ(pl.Point(1), ON_3dPoint(1, 0, 0));
    ASSERT_TRUE(DezazConvertCurveToPolyline(chain, 0, 10, 0, 0, 0, 0, 0, 0, pl, true, nullptr));
    EXPECT_GE(pl.PointCount(), 10);
    ASSERT_TRUE(DezazConvertCurveToPolyline(chain, 0, 0, 0, 0, 0, 0, 0, 0.25, pl, true, nullptr));
    EXPECT_EQ(pl.PointCount(), 1 + 4 + 16);
    const ON_Interval piece(0.5, 2.0);
    ASSERT_TRUE(DezazConvertCurveToPolyline(chain, 0, 0, 0, 0, 0, 0, 0, 0, pl, true, &piece));
    EXPECT_EQ(pl.Point(0), ON_3dPoint(0.5, 0, 0));
    EXPECT_EQ(pl.Point(pl.PointCount() - 1), ON_3dPoint(1, 3, 0));
    // An unreachable tolerance is refused instead of running on.
    const ON_Arc arc(ON_3dPoint(1, 0, 0), ON_3dPoint(0, 1, 0), ON_3dPoint(-1, 0, 0));
    const ON_ArcCurve arc_curve(arc);
    EXPECT_FALSE(DezazConvertCurveToPolyline(arc_curve, 0, 0, 0, 0, 0, 1e-300, 0, 0, pl, true, nullptr));
    EXPECT_EQ(pl.PointCount(), 0);
    // A minimum edge length stops the halving first.
    ASSERT_TRUE(DezazConvertCurveToPolyline(arc_curve, 0, 0, 0, 0, 0, 1e-300, 0.1, 0, pl, true, nullptr));
    EXPECT_LT(pl.PointCount(), 80);
    const ON_LineCurve degenerate(ON_3dPoint(1, 1, 1), ON_3dPoint(1, 1, 1));
    EXPECT_FALSE(DezazConvertCurveToPolyline(degenerate, 0, 0, 1, 1, 0, 1, 0, 0, pl, true, nullptr));
}
