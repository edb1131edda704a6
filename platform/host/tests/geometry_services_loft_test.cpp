// The loft service against the surfaces it must reproduce: loops whose seams
// and directions disagree, open sections of different kinds, and the inputs
// it must refuse without leaving anything behind.
#include "platform/host/geometry_services_loft.h"

#include "platform/geometry/line_curve.h"
#include "platform/host/geometry_services_curves.h"

#include <GeomAPI_ProjectPointOnCurve.hxx>
#include <GeomAPI_ProjectPointOnSurf.hxx>
#include <Geom_BSplineSurface.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColStd_Array2OfReal.hxx>
#include <TColgp_Array2OfPnt.hxx>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{

constexpr double kPi = 3.14159265358979323846;

// A circle of radius r at height z through n interpolated points, starting
// at angle `seam` and running counter-clockwise about +z (or clockwise).
ON_NurbsCurve* Ring(double r, double z, double seam, bool clockwise, int n = 48)
{
    ON_SimpleArray<ON_3dPoint> points;
    for (int i = 0; i <= n; ++i)
    {
        const double a = seam + (clockwise ? -1.0 : 1.0) * 2.0 * kPi * i / n;
        points.Append(ON_3dPoint(r * std::cos(a), r * std::sin(a), z));
    }
    return DezazInterpCurve(3, points, nullptr, nullptr, 0);
}

struct Sections
{
    CArgsDezazLoft args;
    ~Sections()
    {
        for (int i = 0; i < args.m_loftcurves.Count(); ++i)
        {
            delete args.m_loftcurves[i]->m_curve;
            delete args.m_loftcurves[i];
        }
    }
    void Add(ON_Curve* curve, bool closed = false)
    {
        auto* section = new CDezazLoftCurve;
        section->m_curve = curve;
        section->m_bClosed = closed;
        args.m_loftcurves.Append(section);
    }
};

struct Result
{
    ON_SimpleArray<ON_NurbsSurface*> surfaces;
    ~Result()
    {
        for (int i = 0; i < surfaces.Count(); ++i)
            delete surfaces[i];
    }
};

// Largest distance of the surface's points at height fraction v from the
// axis-centred circle of radius r.
double RadiusError(const ON_NurbsSurface& s, double v, double r)
{
    const ON_Interval u = s.Domain(0), w = s.Domain(1);
    double worst = 0.0;
    for (int i = 0; i < 200; ++i)
    {
        const ON_3dPoint p = s.PointAt(u[0] + (u[1] - u[0]) * i / 200.0, w[0] + (w[1] - w[0]) * v);
        worst = std::max(worst, std::fabs(std::hypot(p.x, p.y) - r));
    }
    return worst;
}

// Distinct knots and multiplicities of a full knot vector.
void SplitFlatKnots(const std::vector<double>& flat, std::vector<double>& knots, std::vector<int>& mults)
{
    for (double k : flat)
    {
        if (!knots.empty() && k == knots.back())
            ++mults.back();
        else
        {
            knots.push_back(k);
            mults.push_back(1);
        }
    }
}

// The same surface in the reference kernel, to project points onto it.
Handle(Geom_BSplineSurface) ReferenceSurface(const ON_NurbsSurface& s)
{
    TColgp_Array2OfPnt poles(1, s.m_cv_count[0], 1, s.m_cv_count[1]);
    TColStd_Array2OfReal weights(1, s.m_cv_count[0], 1, s.m_cv_count[1]);
    for (int i = 0; i < s.m_cv_count[0]; ++i)
        for (int j = 0; j < s.m_cv_count[1]; ++j)
        {
            ON_3dPoint p;
            double w = 1.0;
            s.GetCV(i, j, p, &w);
            poles.SetValue(i + 1, j + 1, gp_Pnt(p.x, p.y, p.z));
            weights.SetValue(i + 1, j + 1, w);
        }
    std::vector<double> k[2];
    std::vector<int> m[2];
    for (int dir = 0; dir < 2; ++dir)
        SplitFlatKnots(s.m_knot[dir], k[dir], m[dir]);
    TColStd_Array1OfReal uk(1, static_cast<int>(k[0].size())), vk(1, static_cast<int>(k[1].size()));
    TColStd_Array1OfInteger um(1, static_cast<int>(m[0].size())), vm(1, static_cast<int>(m[1].size()));
    for (std::size_t i = 0; i < k[0].size(); ++i)
        uk.SetValue(static_cast<int>(i) + 1, k[0][i]), um.SetValue(static_cast<int>(i) + 1, m[0][i]);
    for (std::size_t i = 0; i < k[1].size(); ++i)
        vk.SetValue(static_cast<int>(i) + 1, k[1][i]), vm.SetValue(static_cast<int>(i) + 1, m[1][i]);
    return new Geom_BSplineSurface(poles, weights, uk, vk, um, vm, s.m_order[0] - 1, s.m_order[1] - 1);
}

// Largest distance of points along the sections from the surface (from the
// iso-curve across the sections that passes nearest each section's middle:
// an upper bound of the distance from the surface).
double LargestDistanceFromSections(const Sections& sections, const ON_NurbsSurface& surface, int samples)
{
    const Handle(Geom_BSplineSurface) reference = ReferenceSurface(surface);
    double u0, u1, v0, v1;
    reference->Bounds(u0, u1, v0, v1);
    GeomAPI_ProjectPointOnSurf onSurface;
    onSurface.Init(reference, u0, u1, v0, v1);
    double worst = 0.0;
    for (int c = 0; c < sections.args.m_loftcurves.Count(); ++c)
    {
        const ON_Curve& curve = *sections.args.m_loftcurves[c]->m_curve;
        const ON_Interval domain = curve.Domain();
        const ON_3dPoint middle = curve.PointAt(domain.Mid());
        onSurface.Perform(gp_Pnt(middle.x, middle.y, middle.z));
        EXPECT_GT(onSurface.NbPoints(), 0);
        if (onSurface.NbPoints() == 0)
            return DBL_MAX;
        double u, v;
        onSurface.LowerDistanceParameters(u, v);
        // The sections run along the surface's first parameter.
        const Handle(Geom_Curve) iso = reference->VIso(v);
        GeomAPI_ProjectPointOnCurve onIso;
        onIso.Init(iso, iso->FirstParameter(), iso->LastParameter());
        for (int i = 0; i <= samples; ++i)
        {
            const ON_3dPoint p = curve.PointAt(domain[0] + (domain[1] - domain[0]) * i / samples);
            onIso.Perform(gp_Pnt(p.x, p.y, p.z));
            EXPECT_GT(onIso.NbPoints(), 0);
            if (onIso.NbPoints() > 0)
                worst = std::max(worst, onIso.LowerDistance());
        }
    }
    return worst;
}

// Section k of a loft through 200 interpolated points: a wave across x, or
// a loop about z whose start and direction change from section to section.
ON_NurbsCurve* DenseSection(int k, bool loop)
{
    ON_SimpleArray<ON_3dPoint> points;
    for (int i = 0; i < 200; ++i)
    {
        if (loop)
        {
            const double a = 0.7 * k + (k % 2 != 0 ? -1.0 : 1.0) * 2.0 * kPi * i / 199.0;
            const double r = 20.0 + 3.0 * std::sin(3.0 * a + 0.1 * k);
            points.Append(ON_3dPoint(r * std::cos(a) + 300.0, r * std::sin(a) - 150.0, 5.0 * k + 40.0));
        }
        else
        {
            const double x = 100.0 * i / 199.0;
            points.Append(ON_3dPoint(x + 300.0, (2.0 + 0.1 * k) * std::sin(0.2 * x + 0.3 * k) - 150.0, 5.0 * k + 40.0));
        }
    }
    return DezazInterpCurve(3, points, nullptr, nullptr, 1);
}

} // namespace

TEST(LoftService, ManyDenseSectionsLoftThroughTheirCurvesWithinTheTolerance)
{
    for (const bool loop : {false, true})
    {
        Sections sections;
        for (int k = 0; k < 20; ++k)
            sections.Add(DenseSection(k, loop));
        Result result;
        ASSERT_TRUE(DezazSdkLoftSurface(sections.args, result.surfaces));
        ASSERT_EQ(result.surfaces.Count(), 1);
        const ON_NurbsSurface& s = *result.surfaces[0];
        // Sections put on one knot vector keep the size of one section's,
        // not the 20-fold of merging all their knots.
        EXPECT_LT(std::min(s.m_cv_count[0], s.m_cv_count[1]), 40);
        EXPECT_LT(std::max(s.m_cv_count[0], s.m_cv_count[1]), 1500);
        const double distance = LargestDistanceFromSections(sections, s, 150);
        std::printf("%s: %d x %d poles, sections within %.3g\n", loop ? "loops" : "waves", s.m_cv_count[0],
                    s.m_cv_count[1], distance);
        // Within the loft's own tolerance (merging all knots exactly would
        // keep them within rounding, at twelve times the poles).
        EXPECT_LT(distance, sections.args.m_tolerance);
    }
}

TEST(LoftService, LoopsWithTurnedSeamsAndOppositeDirectionsLoftWithoutTwist)
{
    for (const double seam : {0.0, 2.6, -1.9})
        for (const bool clockwise : {false, true})
        {
            Sections sections;
            sections.Add(Ring(10.0, 0.0, 0.0, false));
            sections.Add(Ring(10.0, 10.0, seam, clockwise));
            sections.Add(Ring(10.0, 20.0, -seam, !clockwise));
            Result result;
            ASSERT_TRUE(DezazSdkLoftSurface(sections.args, result.surfaces));
            ASSERT_EQ(result.surfaces.Count(), 1);
            // A twisted loft cuts inside the cylinder between its sections.
            for (const double v : {0.0, 0.13, 0.25, 0.5, 0.77, 1.0})
                EXPECT_LT(RadiusError(*result.surfaces[0], v, 10.0), 2e-3) << seam << " " << clockwise << " " << v;
        }
}

TEST(LoftService, AnOpenLoopMarkedClosedIsClosedAndTakesTheOthersSeam)
{
    // The ring's points leave out the last step, as a cut section does.
    Sections sections;
    sections.Add(Ring(10.0, 0.0, 0.0, false));
    ON_SimpleArray<ON_3dPoint> points;
    for (int i = 0; i < 47; ++i)
    {
        const double a = 1.0 + 2.0 * kPi * i / 48;
        points.Append(ON_3dPoint(12.0 * std::cos(a), 12.0 * std::sin(a), 15.0));
    }
    sections.Add(DezazInterpCurve(3, points, nullptr, nullptr, 0), true);
    Result result;
    ASSERT_TRUE(DezazSdkLoftSurface(sections.args, result.surfaces));
    const ON_NurbsSurface& s = *result.surfaces[0];
    EXPECT_LT(RadiusError(s, 0.5, 11.0), 0.1) << "within the closing chord's sagitta";
    const ON_Interval u = s.Domain(0), v = s.Domain(1);
    EXPECT_LT(s.PointAt(u[0], v[1]).DistanceTo(s.PointAt(u[1], v[1])), 1e-6) << "the gap is closed";
}

TEST(LoftService, OpenSectionsOfMixedKindsAreMadeCompatible)
{
    // A straight line and a cubic arc of another parameter range.
    Sections sections;
    sections.Add(new ON_LineCurve(ON_3dPoint(-5, 0, 0), ON_3dPoint(5, 0, 0)));
    ON_SimpleArray<ON_3dPoint> points;
    for (int i = 0; i <= 8; ++i)
    {
        const double x = -5.0 + 10.0 * i / 8;
        points.Append(ON_3dPoint(x, 0.1 * x * x, 10.0));
    }
    sections.Add(DezazInterpCurve(3, points, nullptr, nullptr, 0));
    Result result;
    ASSERT_TRUE(DezazSdkLoftSurface(sections.args, result.surfaces));
    const ON_NurbsSurface& s = *result.surfaces[0];
    const ON_Interval u = s.Domain(0), v = s.Domain(1);
    EXPECT_LT(s.PointAt(u[0], v[0]).DistanceTo(ON_3dPoint(-5, 0, 0)), 1e-6);
    EXPECT_LT(s.PointAt(u[1], v[1]).DistanceTo(ON_3dPoint(5, 2.5, 10)), 1e-6);
    EXPECT_LT(std::fabs(s.PointAt(0.5 * (u[0] + u[1]), v[1]).y), 1e-3) << "middle of the parabola";
}

TEST(LoftService, RefusesWhatItCannotLoftAndAppendsNothing)
{
    Result result;
    {
        Sections none;
        EXPECT_FALSE(DezazSdkLoftSurface(none.args, result.surfaces));
    }
    {
        Sections one;
        one.Add(Ring(10.0, 0.0, 0.0, false));
        EXPECT_FALSE(DezazSdkLoftSurface(one.args, result.surfaces));
    }
    {
        Sections mixed;
        mixed.Add(Ring(10.0, 0.0, 0.0, false));
        mixed.Add(new ON_LineCurve(ON_3dPoint(0, 0, 5), ON_3dPoint(1, 0, 5)));
        EXPECT_FALSE(DezazSdkLoftSurface(mixed.args, result.surfaces)) << "a loop and an open section";
    }
    {
        Sections nullCurve;
        nullCurve.Add(Ring(10.0, 0.0, 0.0, false));
        nullCurve.Add(nullptr);
        EXPECT_FALSE(DezazSdkLoftSurface(nullCurve.args, result.surfaces));
        nullCurve.args.m_loftcurves.Append(nullptr);
        EXPECT_FALSE(DezazSdkLoftSurface(nullCurve.args, result.surfaces));
        nullCurve.args.m_loftcurves.Remove();
    }
    {
        Sections same;
        same.Add(new ON_LineCurve(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0)));
        same.Add(new ON_LineCurve(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0)));
        DezazSdkLoftSurface(same.args, result.surfaces); // either refused or a flat strip; never a crash
    }
    for (int i = 0; i < result.surfaces.Count(); ++i)
        EXPECT_TRUE(result.surfaces[i]->IsValid());
    EXPECT_LE(result.surfaces.Count(), 1);
}
