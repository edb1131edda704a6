// Curves checked against OpenCASCADE on the same data: evaluation with
// derivatives, arc lengths over sub-domains and closest points.
#include "platform/geometry/nurbs_curve.h"

#include <gtest/gtest.h>

#include <GCPnts_AbscissaPoint.hxx>
#include <Geom_BSplineCurve.hxx>
#include <GeomAPI_ProjectPointOnCurve.hxx>
#include <GeomAdaptor_Curve.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <gp_Pnt.hxx>
#include <gp_Vec.hxx>

#include <cmath>
#include <random>
#include <vector>

namespace
{

// A random rational cubic with uneven knots and a domain that starts away
// from zero; the control polygon winds around so closest points have
// several local candidates.
ON_NurbsCurve RandomCurve(std::mt19937& rng, int cv_count, bool rational, double scale, const ON_3dVector& offset)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    ON_NurbsCurve c(3, rational, 4, cv_count);
    double k = 2.5;
    for (int i = 0; i < c.KnotCount(); ++i)
    {
        if (i >= 4 && i <= cv_count)
            k += 0.2 + unit(rng);
        c.SetKnot(i, k);
    }
    for (int i = 0; i < cv_count; ++i)
    {
        const double a = 0.9 * i;
        const ON_3dPoint p(scale * (std::cos(a) + 0.3 * unit(rng)), scale * (std::sin(a) + 0.3 * unit(rng)),
                           scale * (0.2 * i + 0.3 * unit(rng)));
        c.SetCV(i, p + offset);
        if (rational)
            c.SetWeight(i, 0.5 + 1.5 * unit(rng));
    }
    return c;
}

Handle(Geom_BSplineCurve) ToOcct(const ON_NurbsCurve& c)
{
    std::vector<double> distinct;
    std::vector<int> mults;
    for (int i = 0; i < c.KnotCount(); ++i)
    {
        if (!distinct.empty() && c.Knot(i) == distinct.back())
            ++mults.back();
        else
            distinct.push_back(c.Knot(i)), mults.push_back(1);
    }
    TColgp_Array1OfPnt poles(1, c.CVCount());
    TColStd_Array1OfReal weights(1, c.CVCount());
    for (int i = 0; i < c.CVCount(); ++i)
    {
        const ON_3dPoint p = c.CV(i);
        poles.SetValue(i + 1, gp_Pnt(p.x, p.y, p.z));
        weights.SetValue(i + 1, c.Weight(i));
    }
    TColStd_Array1OfReal knots(1, static_cast<int>(distinct.size()));
    TColStd_Array1OfInteger multiplicities(1, static_cast<int>(distinct.size()));
    for (std::size_t i = 0; i < distinct.size(); ++i)
    {
        knots.SetValue(static_cast<int>(i) + 1, distinct[i]);
        multiplicities.SetValue(static_cast<int>(i) + 1, mults[i]);
    }
    if (c.IsRational())
        return new Geom_BSplineCurve(poles, weights, knots, multiplicities, c.Degree());
    return new Geom_BSplineCurve(poles, knots, multiplicities, c.Degree());
}

} // namespace

TEST(CurveReference, PointsAndDerivativesMatch)
{
    std::mt19937 rng(7);
    for (bool rational : {false, true})
    {
        const ON_NurbsCurve c = RandomCurve(rng, 12, rational, 3.0, ON_3dVector());
        ASSERT_TRUE(c.IsValid());
        const Handle(Geom_BSplineCurve) ref = ToOcct(c);
        const ON_Interval d = c.Domain();
        EXPECT_DOUBLE_EQ(ref->FirstParameter(), d[0]);
        for (int i = 0; i <= 97; ++i)
        {
            const double t = d.ParameterAt(i / 97.0);
            ON_3dVector v[4];
            ASSERT_TRUE(c.Evaluate(t, 3, v));
            gp_Pnt p;
            gp_Vec d1, d2, d3;
            ref->D3(t, p, d1, d2, d3);
            const double tol = 1e-10;
            EXPECT_NEAR(v[0].x, p.X(), tol);
            EXPECT_NEAR(v[0].z, p.Z(), tol);
            EXPECT_NEAR((v[1] - ON_3dVector(d1.X(), d1.Y(), d1.Z())).Length(), 0.0, tol * (1 + d1.Magnitude()));
            EXPECT_NEAR((v[2] - ON_3dVector(d2.X(), d2.Y(), d2.Z())).Length(), 0.0, tol * (1 + d2.Magnitude()));
            EXPECT_NEAR((v[3] - ON_3dVector(d3.X(), d3.Y(), d3.Z())).Length(), 0.0, 1e-8 * (1 + d3.Magnitude()));
        }
    }
}

TEST(CurveReference, LengthsOverSubDomainsMatch)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (bool rational : {false, true})
    {
        const ON_NurbsCurve c = RandomCurve(rng, 15, rational, 5.0, ON_3dVector(1000, -1000, 0));
        GeomAdaptor_Curve adaptor(ToOcct(c));
        const ON_Interval d = c.Domain();
        for (int trial = 0; trial < 10; ++trial)
        {
            double a = d.ParameterAt(unit(rng)), b = d.ParameterAt(unit(rng));
            if (a > b)
                std::swap(a, b);
            if (trial == 0)
                a = d[0], b = d[1];
            const ON_Interval piece(a, b);
            double ours = 0.0;
            ASSERT_TRUE(c.GetLength(&ours, 1e-8, &piece));
            const double ref = GCPnts_AbscissaPoint::Length(adaptor, a, b, 1e-12);
            EXPECT_NEAR(ours, ref, 1e-8 * ref + 1e-12) << rational << " " << a << " " << b;
        }
    }
}

TEST(CurveReference, ClosestPointsMatch)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    // Millimetre-sized and metre-sized curves, one far from the origin.
    for (double scale : {0.002, 3.0, 250.0})
    {
        const ON_NurbsCurve c = RandomCurve(rng, 20, true, scale, ON_3dVector(scale > 1 ? 0 : 1.0, 0, 0));
        const Handle(Geom_BSplineCurve) ref = ToOcct(c);
        const ON_BoundingBox box = c.BoundingBox();
        const ON_3dVector size = box.Diagonal();
        for (int i = 0; i < 200; ++i)
        {
            const ON_3dPoint q = box.Center() + ON_3dVector(unit(rng) * size.x, unit(rng) * size.y, unit(rng) * size.z);
            double t = 0.0;
            ASSERT_TRUE(c.GetClosestPoint(q, &t));
            const double ours = q.DistanceTo(c.PointAt(t));
            GeomAPI_ProjectPointOnCurve projection(gp_Pnt(q.x, q.y, q.z), ref);
            // The reference lists interior extrema only; the curve's ends
            // count too.
            double best = std::min(q.DistanceTo(c.PointAtStart()), q.DistanceTo(c.PointAtEnd()));
            if (projection.NbPoints() > 0)
                best = std::min(best, projection.LowerDistance());
            EXPECT_LE(ours, best + 1e-10 * scale) << "scale " << scale << " query " << i;
            EXPECT_NEAR(ours, best, 1e-9 * scale) << "scale " << scale << " query " << i;
        }
    }
}
