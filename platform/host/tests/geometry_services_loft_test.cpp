// The loft service against the surfaces it must reproduce: loops whose seams
// and directions disagree, open sections of different kinds, and the inputs
// it must refuse without leaving anything behind.
#include "platform/host/geometry_services_loft.h"

#include "platform/geometry/line_curve.h"
#include "platform/host/geometry_services_curves.h"

#include <gtest/gtest.h>

#include <cmath>
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

} // namespace

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
