// The loft service's arguments that shape the surface beyond its sections:
// the number of points the sections are rebuilt through, and how the
// surface leaves its first section and enters its last.
#include "platform/host/geometry_services_loft.h"

#include "platform/geometry/line_curve.h"
#include "platform/geometry/xform.h"
#include "platform/host/geometry_services_curves.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

constexpr double kPi = 3.14159265358979323846;

// A circle of radius r about the z axis at height z, as a cubic through n
// points at even angles from `seam`; with `open`, the step from the last
// point back to the first is left out, as a section cut from a scan.
ON_NurbsCurve* Circle(double r, double z, int n, bool open, double seam = 0.0)
{
    ON_SimpleArray<ON_3dPoint> points;
    for (int i = 0; i < (open ? n : n + 1); ++i)
    {
        const double a = seam + 2.0 * kPi * i / n;
        points.Append(ON_3dPoint(r * std::cos(a), r * std::sin(a), z));
    }
    return DezazInterpCurve(3, points, nullptr, nullptr, 1);
}

// Half of that circle through n + 1 points: an open section.
ON_NurbsCurve* Arc(double r, double z, int n)
{
    ON_SimpleArray<ON_3dPoint> points;
    for (int i = 0; i <= n; ++i)
        points.Append(ON_3dPoint(r * std::cos(kPi * i / n), r * std::sin(kPi * i / n), z));
    return DezazInterpCurve(3, points, nullptr, nullptr, 1);
}

struct Loft
{
    CArgsDezazLoft args;
    ON_SimpleArray<ON_NurbsSurface*> surfaces;
    ~Loft()
    {
        for (int i = 0; i < args.m_loftcurves.Count(); ++i)
        {
            delete args.m_loftcurves[i]->m_curve;
            delete args.m_loftcurves[i];
        }
        for (int i = 0; i < surfaces.Count(); ++i)
            delete surfaces[i];
    }
    void Add(ON_Curve* curve, bool closed = false)
    {
        auto* section = new CDezazLoftCurve;
        section->m_curve = curve;
        section->m_bClosed = closed;
        args.m_loftcurves.Append(section);
    }
    const ON_NurbsSurface* Run()
    {
        if (!DezazSdkLoftSurface(args, surfaces) || surfaces.Count() != 1)
            return nullptr;
        return surfaces[0];
    }
};

// Largest distance from the z axis minus r over the surface's points across
// the first parameter at the second parameter's fraction v.
double RadiusError(const ON_NurbsSurface& s, double v, double r)
{
    const ON_Interval a = s.Domain(0), b = s.Domain(1);
    double worst = 0.0;
    for (int i = 0; i <= 720; ++i)
    {
        const ON_3dPoint p = s.PointAt(a[0] + (a[1] - a[0]) * i / 720.0, b[0] + (b[1] - b[0]) * v);
        worst = std::max(worst, std::fabs(std::hypot(p.x, p.y) - r));
    }
    return worst;
}

// The unit derivative across the sections at (fraction u, fraction v).
ON_3dVector Across(const ON_NurbsSurface& s, double u, double v)
{
    const ON_Interval a = s.Domain(0), b = s.Domain(1);
    ON_3dVector d[3];
    EXPECT_TRUE(s.Evaluate(a[0] + (a[1] - a[0]) * u, b[0] + (b[1] - b[0]) * v, 1, d));
    const double l = d[2].Length();
    return l > 0.0 ? ON_3dVector(d[2].x / l, d[2].y / l, d[2].z / l) : d[2];
}

// A barrel: circles of radius 10, 14 and 10 at heights 0, 10 and 20.
void AddBarrel(Loft& loft)
{
    loft.Add(Circle(10.0, 0.0, 48, false));
    loft.Add(Circle(14.0, 10.0, 48, false));
    loft.Add(Circle(10.0, 20.0, 48, false));
}

} // namespace

TEST(LoftArguments, LoopsAreRebuiltThroughTheSampledPointsAsSmoothLoops)
{
    // Loops cut from a scan: 24 points each, the last step open, seams apart.
    double error[3] = {0.0, 0.0, 0.0};
    const int counts[3] = {0, 6, 24};
    for (int k = 0; k < 3; ++k)
    {
        SCOPED_TRACE(counts[k]);
        Loft loft;
        loft.Add(Circle(12.0, 0.0, 24, true, 0.0), true);
        loft.Add(Circle(12.0, 15.0, 24, true, 0.4), true);
        loft.args.m_sample_count = counts[k];
        const ON_NurbsSurface* s = loft.Run();
        ASSERT_NE(s, nullptr);
        error[k] = std::max(RadiusError(*s, 0.0, 12.0), RadiusError(*s, 0.5, 12.0));
        const ON_Interval u = s->Domain(0), v = s->Domain(1);
        EXPECT_LT(s->PointAt(u[0], v[0]).DistanceTo(s->PointAt(u[1], v[0])), 1e-9) << "closed";
        EXPECT_LT(s->PointAt(u[0], v[0]).DistanceTo(ON_3dPoint(12.0, 0.0, 0.0)), 1e-9) << "the first loop's start";
        if (counts[k] == 0)
            continue;
        // As many control points round as samples (a periodic cubic), and
        // no corner where the loop starts.
        EXPECT_EQ(s->m_cv_count[0], counts[k] + 3);
        const ON_3dVector start = Across(*s, 0.0, 0.0), end = Across(*s, 1.0, 0.0);
        ON_3dVector d0[3], d1[3];
        ASSERT_TRUE(s->Evaluate(u[0], v[0], 1, d0));
        ASSERT_TRUE(s->Evaluate(u[1], v[0], 1, d1));
        const double turn = std::acos(std::clamp(ON_DotProduct(d0[1], d1[1]) / (d0[1].Length() * d1[1].Length()), -1.0, 1.0));
        EXPECT_LT(turn, 1e-6) << "a corner at the seam";
        EXPECT_LT((start - end).Length(), 1e-6);
    }
    // 24 points round a circle make a periodic cubic within 0.00015 of it;
    // six points leave 0.04; the closing piece of the unrebuilt loop follows
    // its ends' own bends.
    EXPECT_LT(error[2], 3e-4);
    EXPECT_GT(error[1], 0.01);
    EXPECT_LT(error[1], 0.1);
    EXPECT_LT(error[0], 0.02);
}

TEST(LoftArguments, OpenSectionsAreRebuiltThroughAtLeastTheSampledPoints)
{
    for (const int count : {7, 30})
    {
        Loft loft;
        loft.Add(new ON_LineCurve(ON_3dPoint(-5, 0, 0), ON_3dPoint(5, 0, 0)));
        loft.Add(new ON_LineCurve(ON_3dPoint(-5, 1, 10), ON_3dPoint(5, -1, 10)));
        loft.args.m_sample_count = count;
        const ON_NurbsSurface* s = loft.Run();
        ASSERT_NE(s, nullptr);
        EXPECT_GE(s->m_cv_count[0], count);
        EXPECT_LE(s->m_cv_count[0], count + 2);
        const ON_Interval u = s->Domain(0), v = s->Domain(1);
        EXPECT_LT(s->PointAt(u[1], v[1]).DistanceTo(ON_3dPoint(5, -1, 10)), 1e-9);
        EXPECT_LT(std::fabs(s->PointAt(0.5 * (u[0] + u[1]), v[0]).x), 1e-9) << "evenly along the line";
    }
    // A section of more control points than samples keeps them all.
    Loft dense;
    dense.Add(Arc(10.0, 0.0, 40));
    dense.Add(Arc(10.0, 5.0, 40));
    dense.args.m_sample_count = 8;
    const ON_NurbsSurface* s = dense.Run();
    ASSERT_NE(s, nullptr);
    EXPECT_LT(RadiusError(*s, 0.5, 10.0), 1e-3);
}

TEST(LoftArguments, EndConditionsSetHowTheSurfaceLeavesAndEntersItsEndSections)
{
    for (const double u : {0.0, 0.3, 0.7})
    {
        SCOPED_TRACE(u);
        // Straight: along the chords to the neighbouring section, which at
        // angle a run from radius 10 to 14 over a rise of 10.
        Loft straight;
        AddBarrel(straight);
        straight.args.m_start_condition = 1;
        straight.args.m_end_condition = 1;
        const ON_NurbsSurface* s = straight.Run();
        ASSERT_NE(s, nullptr);
        const ON_3dPoint p = s->PointAt(s->Domain(0).ParameterAt(u), s->Domain(1)[0]);
        const double a = std::atan2(p.y, p.x);
        const ON_3dVector chord(4.0 * std::cos(a), 4.0 * std::sin(a), 10.0);
        const ON_3dVector leave = Across(*s, u, 0.0), enter = Across(*s, u, 1.0);
        EXPECT_NEAR(ON_DotProduct(leave, chord) / chord.Length(), 1.0, 1e-6);
        const ON_3dVector inward(-4.0 * std::cos(a), -4.0 * std::sin(a), 10.0);
        EXPECT_NEAR(ON_DotProduct(enter, inward) / inward.Length(), 1.0, 1e-6);
        // And as fast as the step to the neighbour takes: the middle circle
        // lies halfway across (the barrel is symmetric), so the derivative
        // is twice the chord, at either end.
        ON_3dVector d[3];
        ASSERT_TRUE(s->Evaluate(s->Domain(0).ParameterAt(u), s->Domain(1)[0], 1, d));
        EXPECT_LT((d[2] - 2.0 * chord).Length(), 1e-6 * chord.Length());
        ASSERT_TRUE(s->Evaluate(s->Domain(0).ParameterAt(u), s->Domain(1)[1], 1, d));
        EXPECT_LT((d[2] - 2.0 * inward).Length(), 1e-6 * inward.Length());

        // Normal: at right angles to the end circles' plane, towards the
        // middle section, at either end.
        Loft normal;
        AddBarrel(normal);
        normal.args.m_start_condition = 2;
        normal.args.m_end_condition = 2;
        s = normal.Run();
        ASSERT_NE(s, nullptr);
        EXPECT_NEAR(Across(*s, u, 0.0).z, 1.0, 1e-6);
        EXPECT_NEAR(Across(*s, u, 1.0).z, 1.0, 1e-6);

        // Free: neither, the barrel bulges on through its ends.
        Loft free;
        AddBarrel(free);
        s = free.Run();
        ASSERT_NE(s, nullptr);
        const ON_3dVector bulge = Across(*s, u, 0.0);
        EXPECT_LT(bulge.z, 0.95);
        EXPECT_LT(ON_DotProduct(bulge, chord) / chord.Length(), 0.999);
        // Every way the surface still runs through the three circles.
        for (const double v : {0.0, 1.0})
            EXPECT_LT(RadiusError(*s, v, 10.0), 1e-3);
    }
    // One condition each: straight start, free end.
    Loft mixed;
    AddBarrel(mixed);
    mixed.args.m_start_condition = 1;
    const ON_NurbsSurface* s = mixed.Run();
    ASSERT_NE(s, nullptr);
    EXPECT_NEAR(Across(*s, 0.0, 0.0).z, 10.0 / std::sqrt(116.0), 1e-6);
}

TEST(LoftArguments, TwoSectionsWithStraightEndsMakeARuledSurface)
{
    Loft loft;
    loft.Add(Circle(10.0, 0.0, 48, false));
    loft.Add(Circle(16.0, 12.0, 48, false));
    loft.args.m_start_condition = 1;
    loft.args.m_end_condition = 1;
    const ON_NurbsSurface* s = loft.Run();
    ASSERT_NE(s, nullptr);
    // Halfway up a cone from radius 10 to 16 the radius is 13.
    EXPECT_LT(RadiusError(*s, 0.5, 13.0), 1e-3);
    EXPECT_LT(RadiusError(*s, 0.25, 11.5), 1e-3);
}

TEST(LoftArguments, UnknownEndConditionsAreRefused)
{
    for (const int condition : {0, 4, -1, 1000})
    {
        Loft start, end;
        AddBarrel(start);
        AddBarrel(end);
        start.args.m_start_condition = condition;
        end.args.m_end_condition = condition;
        EXPECT_EQ(start.Run(), nullptr) << condition;
        EXPECT_EQ(end.Run(), nullptr) << condition;
        EXPECT_EQ(start.surfaces.Count() + end.surfaces.Count(), 0);
    }
}

TEST(LoftArguments, ANormalEndFollowsItsOwnSectionsPlane)
{
    // The first circle leans by 0.3 rad about x; the others lie flat.
    Loft loft;
    ON_NurbsCurve* leaning = Circle(10.0, 0.0, 48, false);
    ASSERT_TRUE(leaning->Transform(
        ON_Xform::RotationTransformation(0.3, ON_3dVector(1.0, 0.0, 0.0), ON_3dPoint(0.0, 0.0, 0.0))));
    // Run the other way round, its plane's normal points down at first.
    ASSERT_TRUE(leaning->Reverse());
    loft.Add(leaning);
    loft.Add(Circle(12.0, 10.0, 48, false));
    loft.Add(Circle(10.0, 20.0, 48, false));
    loft.args.m_start_condition = 2;
    const ON_NurbsSurface* s = loft.Run();
    ASSERT_NE(s, nullptr);
    for (const double u : {0.0, 0.4, 0.8})
    {
        const ON_3dVector leave = Across(*s, u, 0.0);
        EXPECT_NEAR(leave.x, 0.0, 1e-6);
        EXPECT_NEAR(leave.y, -std::sin(0.3), 1e-6);
        EXPECT_NEAR(leave.z, std::cos(0.3), 1e-6);
    }
}

TEST(LoftArguments, SectionsOfOtherDomainsAndKnotsShareOnesForTheEndConditions)
{
    // Open arcs of other domains and point counts: the conditions need them
    // on one knot vector, merged exactly.
    Loft loft;
    ON_NurbsCurve* first = Arc(10.0, 0.0, 9);
    ASSERT_TRUE(first->SetDomain(10.0, 25.0));
    ON_NurbsCurve* last = Arc(10.0, 20.0, 13);
    ASSERT_TRUE(last->SetDomain(-5.0, 3.0));
    loft.Add(first);
    loft.Add(Arc(13.0, 10.0, 6));
    loft.Add(last);
    loft.args.m_start_condition = 1;
    loft.args.m_end_condition = 2;
    const ON_NurbsSurface* s = loft.Run();
    ASSERT_NE(s, nullptr);
    const ON_Interval v = s->Domain(1);
    for (int i = 0; i <= 20; ++i)
    {
        // Exactly the sections, point for point along their own parameters.
        const double f = i / 20.0;
        const ON_3dPoint a = s->PointAt(s->Domain(0).ParameterAt(f), v[0]);
        const ON_3dPoint b = s->PointAt(s->Domain(0).ParameterAt(f), v[1]);
        EXPECT_LT(a.DistanceTo(first->PointAt(first->Domain().ParameterAt(f))), 1e-9) << f;
        EXPECT_LT(b.DistanceTo(last->PointAt(last->Domain().ParameterAt(f))), 1e-9) << f;
    }
    EXPECT_NEAR(Across(*s, 0.5, 1.0).z, 1.0, 1e-6);
}

