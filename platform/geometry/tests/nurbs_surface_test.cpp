// NURBS evaluation checked against OpenCASCADE on random rational data.
#include "platform/geometry/geometry.h"

#include <Geom_BSplineCurve.hxx>
#include <Geom_BSplineSurface.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColStd_Array2OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <TColgp_Array2OfPnt.hxx>
#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace
{

// Clamped knots over [0, span] with random interior knots, some repeated.
std::vector<double> RandomKnots(std::mt19937& rng, int order, int cv_count, double span)
{
    std::uniform_real_distribution<double> u(0.0, span);
    std::vector<double> interior;
    while (static_cast<int>(interior.size()) < cv_count - order)
    {
        const double k = u(rng);
        interior.push_back(k);
        // A double knot now and then, never beyond order - 1.
        if (order > 2 && static_cast<int>(interior.size()) < cv_count - order && (rng() % 5) == 0)
            interior.push_back(k);
    }
    std::sort(interior.begin(), interior.end());
    std::vector<double> knots(static_cast<std::size_t>(order), 0.0);
    knots.insert(knots.end(), interior.begin(), interior.end());
    knots.insert(knots.end(), static_cast<std::size_t>(order), span);
    return knots;
}

// Distinct knots and multiplicities in OpenCASCADE's form.
void SplitKnots(const std::vector<double>& knots, TColStd_Array1OfReal*& values, TColStd_Array1OfInteger*& mults)
{
    std::vector<double> v;
    std::vector<int> m;
    for (double k : knots)
    {
        if (!v.empty() && v.back() == k)
            ++m.back();
        else
            v.push_back(k), m.push_back(1);
    }
    values = new TColStd_Array1OfReal(1, static_cast<int>(v.size()));
    mults = new TColStd_Array1OfInteger(1, static_cast<int>(v.size()));
    for (std::size_t i = 0; i < v.size(); ++i)
    {
        values->SetValue(static_cast<int>(i) + 1, v[i]);
        mults->SetValue(static_cast<int>(i) + 1, m[i]);
    }
}

struct RandomSurface
{
    ON_NurbsSurface ours;
    Handle(Geom_BSplineSurface) theirs;
};

RandomSurface MakeRandomSurface(std::mt19937& rng, double centre_offset)
{
    std::uniform_int_distribution<int> order_dist(2, 5);
    std::uniform_real_distribution<double> coord(-10.0, 10.0), weight(0.3, 3.0);
    const int order[2] = {order_dist(rng), order_dist(rng)};
    const int count[2] = {order[0] + static_cast<int>(rng() % 5), order[1] + static_cast<int>(rng() % 5)};
    RandomSurface r;
    r.ours.Create(true, order[0], order[1], count[0], count[1]);
    std::vector<double> knots[2];
    for (int d = 0; d < 2; ++d)
    {
        knots[d] = RandomKnots(rng, order[d], count[d], 1.0 + 3.0 * d);
        r.ours.SetKnots(d, knots[d].data());
    }
    TColgp_Array2OfPnt poles(1, count[0], 1, count[1]);
    TColStd_Array2OfReal weights(1, count[0], 1, count[1]);
    for (int i = 0; i < count[0]; ++i)
        for (int j = 0; j < count[1]; ++j)
        {
            const ON_3dPoint p(coord(rng) + centre_offset, coord(rng), coord(rng));
            const double w = weight(rng);
            r.ours.SetCV(i, j, p, w);
            poles.SetValue(i + 1, j + 1, gp_Pnt(p.x, p.y, p.z));
            weights.SetValue(i + 1, j + 1, w);
        }
    TColStd_Array1OfReal *uk = nullptr, *vk = nullptr;
    TColStd_Array1OfInteger *um = nullptr, *vm = nullptr;
    SplitKnots(knots[0], uk, um);
    SplitKnots(knots[1], vk, vm);
    r.theirs = new Geom_BSplineSurface(poles, weights, *uk, *vk, *um, *vm, order[0] - 1, order[1] - 1);
    delete uk, delete vk, delete um, delete vm;
    return r;
}

void ExpectClose(const ON_3dVector& a, const gp_Vec& b, double scale, const char* what)
{
    const double tol = 1e-9 * (1.0 + scale);
    EXPECT_NEAR(a.x, b.X(), tol) << what;
    EXPECT_NEAR(a.y, b.Y(), tol) << what;
    EXPECT_NEAR(a.z, b.Z(), tol) << what;
}

} // namespace

TEST(NurbsSurface, RationalPointsAndDerivativesMatchTheReference)
{
    std::mt19937 rng(1234);
    for (int trial = 0; trial < 40; ++trial)
    {
        // Some surfaces lie a kilometre from the origin.
        RandomSurface r = MakeRandomSurface(rng, trial % 4 == 0 ? 1.0e6 : 0.0);
        ASSERT_TRUE(r.ours.IsValid());
        const ON_Interval ds = r.ours.Domain(0), dt = r.ours.Domain(1);
        std::vector<double> ss{ds[0], ds[1]}, ts{dt[0], dt[1]};
        // Parameters on interior knots are where span selection goes wrong.
        for (double k : r.ours.m_knot[0])
            ss.push_back(k);
        for (double k : r.ours.m_knot[1])
            ts.push_back(k);
        std::uniform_real_distribution<double> fs(ds[0], ds[1]), ft(dt[0], dt[1]);
        for (int i = 0; i < 6; ++i)
            ss.push_back(fs(rng)), ts.push_back(ft(rng));
        for (double s : ss)
            for (double t : ts)
            {
                ON_3dVector v[6];
                ASSERT_TRUE(r.ours.Evaluate(s, t, 2, v));
                gp_Pnt p;
                gp_Vec du, dv, duu, dvv, duv;
                r.theirs->D2(s, t, p, du, dv, duu, dvv, duv);
                // Derivatives of rational surfaces with small weights grow
                // large: compare relative to their size.
                const double scale = gp_Vec(p.XYZ()).Magnitude() + du.Magnitude() + dv.Magnitude() +
                                     duu.Magnitude() + dvv.Magnitude() + duv.Magnitude();
                ExpectClose(v[0], gp_Vec(p.XYZ()), scale, "point");
                // Points alone take a path of their own.
                ON_3dVector point;
                ASSERT_TRUE(r.ours.Evaluate(s, t, 0, &point));
                ExpectClose(point, gp_Vec(p.XYZ()), gp_Vec(p.XYZ()).Magnitude(), "point alone");
                ExpectClose(v[1], du, scale, "Ds");
                ExpectClose(v[2], dv, scale, "Dt");
                ExpectClose(v[3], duu, scale, "Dss");
                ExpectClose(v[4], duv, scale, "Dst");
                ExpectClose(v[5], dvv, scale, "Dtt");
            }
    }
}

TEST(NurbsSurface, ThirdDerivativesMatchTheReference)
{
    std::mt19937 rng(99);
    for (int trial = 0; trial < 10; ++trial)
    {
        RandomSurface r = MakeRandomSurface(rng, 0.0);
        const double s = r.ours.Domain(0).ParameterAt(0.37), t = r.ours.Domain(1).ParameterAt(0.81);
        ON_3dVector v[10];
        ASSERT_TRUE(r.ours.Evaluate(s, t, 3, v));
        gp_Pnt p;
        gp_Vec du, dv, duu, dvv, duv, duuu, dvvv, duuv, duvv;
        r.theirs->D3(s, t, p, du, dv, duu, dvv, duv, duuu, dvvv, duuv, duvv);
        const double scale = duuu.Magnitude() + dvvv.Magnitude() + duuv.Magnitude() + duvv.Magnitude();
        ExpectClose(v[6], duuu, scale, "Dsss");
        ExpectClose(v[7], duuv, scale, "Dsst");
        ExpectClose(v[8], duvv, scale, "Dstt");
        ExpectClose(v[9], dvvv, scale, "Dttt");
    }
}

TEST(NurbsSurface, BoxHoldsTheSurfaceAndMatchesTheControlNet)
{
    std::mt19937 rng(7);
    for (int trial = 0; trial < 20; ++trial)
    {
        RandomSurface r = MakeRandomSurface(rng, 0.0);
        double bmin[3], bmax[3];
        ASSERT_TRUE(r.ours.GetBBox(bmin, bmax));
        // The reference's own box of its poles.
        double pmin[3] = {1e300, 1e300, 1e300}, pmax[3] = {-1e300, -1e300, -1e300};
        for (int i = 1; i <= r.theirs->NbUPoles(); ++i)
            for (int j = 1; j <= r.theirs->NbVPoles(); ++j)
            {
                const gp_Pnt q = r.theirs->Pole(i, j);
                for (int k = 0; k < 3; ++k)
                    pmin[k] = std::min(pmin[k], q.Coord(k + 1)), pmax[k] = std::max(pmax[k], q.Coord(k + 1));
            }
        for (int k = 0; k < 3; ++k)
        {
            EXPECT_NEAR(bmin[k], pmin[k], 1e-12);
            EXPECT_NEAR(bmax[k], pmax[k], 1e-12);
        }
        for (int i = 0; i <= 20; ++i)
            for (int j = 0; j <= 20; ++j)
            {
                const gp_Pnt q = r.theirs->Value(r.ours.Domain(0).ParameterAt(i / 20.0),
                                                  r.ours.Domain(1).ParameterAt(j / 20.0));
                for (int k = 0; k < 3; ++k)
                {
                    EXPECT_GE(q.Coord(k + 1), bmin[k] - 1e-9);
                    EXPECT_LE(q.Coord(k + 1), bmax[k] + 1e-9);
                }
            }
    }
}

TEST(NurbsSurface, InvalidDataIsRefusedNotEvaluated)
{
    ON_NurbsSurface s(true, 3, 2, 3, 2);
    const double k0[6] = {0, 0, 0, 1, 1, 1}, k1[4] = {0, 0, 1, 1};
    s.SetKnots(0, k0);
    s.SetKnots(1, k1);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j)
            s.SetCV(i, j, ON_3dPoint(i, j, 0), 1.0);
    ASSERT_TRUE(s.IsValid());
    ON_3dVector v[3];
    EXPECT_TRUE(s.Evaluate(0.5, 0.5, 1, v));

    ON_NurbsSurface zero_weight = s;
    zero_weight.CV(1, 1)[3] = 0.0;
    EXPECT_FALSE(zero_weight.IsValid());
    EXPECT_FALSE(zero_weight.BoundingBox().IsValid());

    ON_NurbsSurface decreasing = s;
    decreasing.m_knot[0][3] = -1.0;
    EXPECT_FALSE(decreasing.IsValid());
    EXPECT_FALSE(decreasing.Evaluate(0.5, 0.5, 0, v));

    ON_NurbsSurface empty_domain = s;
    const double flat[4] = {1, 1, 1, 1};
    empty_domain.SetKnots(1, flat);
    EXPECT_FALSE(empty_domain.IsValid());
    EXPECT_FALSE(empty_domain.Evaluate(0.5, 0.5, 0, v));

    EXPECT_FALSE(s.Evaluate(std::nan(""), 0.5, 0, v));
    EXPECT_FALSE(ON_NurbsSurface().Create(false, 1, 2, 3, 3));
    EXPECT_FALSE(ON_NurbsSurface().Create(false, 3, 3, 2, 3));
}

TEST(NurbsCurveData, RationalCurveMatchesTheReferenceAndSetDomainKeepsTheShape)
{
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> coord(-5.0, 5.0), weight(0.2, 4.0);
    for (int trial = 0; trial < 30; ++trial)
    {
        const int order = 2 + static_cast<int>(rng() % 5);
        const int count = order + static_cast<int>(rng() % 6);
        ON_NurbsCurveData c(3, true, order, count);
        c.knot = RandomKnots(rng, order, count, 2.0);
        TColgp_Array1OfPnt poles(1, count);
        TColStd_Array1OfReal weights(1, count);
        for (int i = 0; i < count; ++i)
        {
            const double p[3] = {coord(rng), coord(rng), coord(rng)};
            const double w = weight(rng);
            c.SetCV(i, p, w);
            poles.SetValue(i + 1, gp_Pnt(p[0], p[1], p[2]));
            weights.SetValue(i + 1, w);
        }
        ASSERT_TRUE(c.IsValid());
        TColStd_Array1OfReal* kv = nullptr;
        TColStd_Array1OfInteger* km = nullptr;
        SplitKnots(c.knot, kv, km);
        Handle(Geom_BSplineCurve) ref = new Geom_BSplineCurve(poles, weights, *kv, *km, order - 1);
        delete kv, delete km;
        for (int i = 0; i <= 25; ++i)
        {
            const double t = 2.0 * i / 25.0;
            double v[9];
            ASSERT_TRUE(c.Evaluate(t, 2, v));
            gp_Pnt p;
            gp_Vec d1, d2;
            ref->D2(t, p, d1, d2);
            const double scale = 1.0 + d1.Magnitude() + d2.Magnitude();
            EXPECT_NEAR(v[0], p.X(), 1e-9 * scale);
            EXPECT_NEAR(v[4], d1.Y(), 1e-9 * scale);
            EXPECT_NEAR(v[8], d2.Z(), 1e-9 * scale);
        }
        // Reparameterising onto [10, 30] keeps every point.
        ON_NurbsCurveData moved = c;
        ASSERT_TRUE(moved.SetDomain(10.0, 30.0));
        EXPECT_EQ(moved.DomainMin(), 10.0);
        EXPECT_EQ(moved.DomainMax(), 30.0);
        double a[3], b[3];
        c.Evaluate(0.5, 0, a);
        moved.Evaluate(15.0, 0, b);
        EXPECT_NEAR(a[0], b[0], 1e-9);
        EXPECT_NEAR(a[2], b[2], 1e-9);
    }
}

TEST(NurbsRational, KnotVectorsThatCannotBeEvaluatedAreRefused)
{
    const double good[11] = {0, 0, 0, 0, 1, 1, 2, 3, 3, 3, 3};
    EXPECT_TRUE(ON_IsValidKnotVector(4, 7, good));
    const double too_many[8] = {0, 0, 0, 1, 1, 1, 2, 2};
    EXPECT_FALSE(ON_IsValidKnotVector(2, 6, too_many));
    const double nan_knot[4] = {0, 0, std::nan(""), 1};
    EXPECT_FALSE(ON_IsValidKnotVector(2, 2, nan_knot));
    const double empty_domain[4] = {0, 1, 1, 2};
    EXPECT_FALSE(ON_IsValidKnotVector(3, 1, empty_domain));
    double v[3];
    const double cv[6] = {0, 0, 0, 1, 1, 1};
    const double flat[4] = {1, 1, 1, 1};
    EXPECT_FALSE(ON_EvaluateNurbsCurve(3, false, 2, 2, flat, 3, cv, 0.5, 0, v));
}
