// Sections put on one knot vector: within the tolerance of what they were,
// ends kept exactly, corners kept as corners, and left alone where there is
// nothing to gain.
#include "platform/host/loft_compatible_sections.h"

#include <GeomAPI_Interpolate.hxx>
#include <TColgp_HArray1OfPnt.hxx>
#include <Geom_BSplineCurve.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

// A cubic through the points of a wave, with knots of its own (by chord
// length).
Handle(Geom_BSplineCurve) Wave(int points, double phase, double amplitude, double length)
{
    Handle(TColgp_HArray1OfPnt) p = new TColgp_HArray1OfPnt(1, points);
    for (int i = 0; i < points; ++i)
    {
        const double x = length * i / (points - 1);
        p->SetValue(i + 1, gp_Pnt(x - 40.0, amplitude * std::sin(0.3 * x + phase) + 70.0, 12.0 * phase));
    }
    GeomAPI_Interpolate interpolate(p, Standard_False, 1e-9);
    interpolate.Perform();
    return interpolate.Curve();
}

// A polyline as a degree-1 curve: a corner at every inner point.
Handle(Geom_BSplineCurve) Polyline(const std::vector<gp_Pnt>& points)
{
    const int n = static_cast<int>(points.size());
    TColgp_Array1OfPnt poles(1, n);
    TColStd_Array1OfReal knots(1, n);
    TColStd_Array1OfInteger mults(1, n);
    for (int i = 0; i < n; ++i)
    {
        poles.SetValue(i + 1, points[static_cast<std::size_t>(i)]);
        knots.SetValue(i + 1, i);
        mults.SetValue(i + 1, i == 0 || i == n - 1 ? 2 : 1);
    }
    return new Geom_BSplineCurve(poles, knots, mults, 1);
}

// Largest distance between the curves at the same fraction of their domains.
double LargestGap(const Handle(Geom_BSplineCurve)& a, const Handle(Geom_BSplineCurve)& b)
{
    double worst = 0.0;
    for (int i = 0; i <= 2000; ++i)
    {
        const double t = i / 2000.0;
        const gp_Pnt p = a->Value(a->FirstParameter() + t * (a->LastParameter() - a->FirstParameter()));
        const gp_Pnt q = b->Value(b->FirstParameter() + t * (b->LastParameter() - b->FirstParameter()));
        worst = std::max(worst, p.Distance(q));
    }
    return worst;
}

bool SameKnotVectors(const std::vector<Handle(Geom_BSplineCurve)>& curves)
{
    for (const Handle(Geom_BSplineCurve)& c : curves)
    {
        if (c->Degree() != curves[0]->Degree() || c->NbKnots() != curves[0]->NbKnots())
            return false;
        for (int i = 1; i <= c->NbKnots(); ++i)
            if (c->Knot(i) != curves[0]->Knot(i) || c->Multiplicity(i) != curves[0]->Multiplicity(i))
                return false;
    }
    return true;
}

} // namespace

// Checks the compatible curves against the originals.
void ExpectCompatibleWithin(const std::vector<Handle(Geom_BSplineCurve)>& originals, double tolerance)
{
    std::vector<Handle(Geom_BSplineCurve)> curves = originals;
    ASSERT_TRUE(MakeLoftSectionsCompatible(curves, tolerance)) << tolerance;
    ASSERT_EQ(curves.size(), originals.size());
    EXPECT_TRUE(SameKnotVectors(curves));
    int merged = 0;
    for (std::size_t k = 0; k < curves.size(); ++k)
    {
        EXPECT_LE(LargestGap(curves[k], originals[k]), tolerance) << k;
        EXPECT_EQ(curves[k]->StartPoint().Distance(originals[k]->StartPoint()), 0.0);
        EXPECT_EQ(curves[k]->EndPoint().Distance(originals[k]->EndPoint()), 0.0);
        merged += originals[k]->NbKnots() - 2;
    }
    EXPECT_LT(curves[0]->NbKnots(), merged) << "fewer knots than merging all";
}

TEST(LoftCompatibleSections, WavesOfTheirOwnKnotsShareOneVectorWithinTheTolerance)
{
    // Sections through as many points (as cuts of one part are), each with
    // its own chord-length knots.
    std::vector<Handle(Geom_BSplineCurve)> alike;
    for (int k = 0; k < 6; ++k)
        alike.push_back(Wave(120, 0.3 * k, 2.0 + 0.1 * k, 100.0));
    ExpectCompatibleWithin(alike, 1e-3);
    ExpectCompatibleWithin(alike, 1e-5);
    // Sections through different numbers of points: a looser tolerance.
    std::vector<Handle(Geom_BSplineCurve)> unlike;
    for (int k = 0; k < 6; ++k)
        unlike.push_back(Wave(60 + 7 * k, 0.4 * k, 2.0 + 0.5 * k, 80.0 + 3.0 * k));
    ExpectCompatibleWithin(unlike, 1e-3);
}

TEST(LoftCompatibleSections, CornersStayCornersAndDegreesAreRaised)
{
    // Two straight polylines with a corner each at different places, and
    // a smooth cubic.
    auto bent = [](double cornerAt, double z) {
        std::vector<gp_Pnt> points;
        for (int i = 0; i <= 40; ++i)
        {
            const double x = 30.0 * i / 40.0;
            const double y = x < cornerAt ? 0.3 * x : 0.3 * cornerAt - 0.5 * (x - cornerAt);
            points.emplace_back(x, y, z);
        }
        return points;
    };
    std::vector<Handle(Geom_BSplineCurve)> originals{Polyline(bent(7.5, 0.0)), Polyline(bent(18.75, 10.0)),
                                                     Wave(50, 0.2, 1.0, 30.0)};
    ExpectCompatibleWithin(originals, 1e-4);
    std::vector<Handle(Geom_BSplineCurve)> curves = originals;
    ASSERT_TRUE(MakeLoftSectionsCompatible(curves, 1e-4));
    EXPECT_EQ(curves[0]->Degree(), 3);
    // The corner of the first polyline is a point of the new curve.
    const gp_Pnt corner(7.5, 2.25, 0);
    bool passes = false;
    for (int i = 1; i <= curves[0]->NbKnots(); ++i)
        passes = passes || curves[0]->Value(curves[0]->Knot(i)).Distance(corner) < 1e-9;
    EXPECT_TRUE(passes) << "the corner sits on a knot";
}

TEST(LoftCompatibleSections, LeavesCurvesAloneWhereThereIsNothingToDo)
{
    const Handle(Geom_BSplineCurve) wave = Wave(30, 0.0, 2.0, 50.0);
    Handle(Geom_BSplineCurve) shifted = Handle(Geom_BSplineCurve)::DownCast(wave->Copy());
    shifted->Translate(gp_Vec(0, 0, 5));
    std::vector<Handle(Geom_BSplineCurve)> same{wave, shifted};
    EXPECT_FALSE(MakeLoftSectionsCompatible(same, 1e-6)) << "already one knot vector";
    EXPECT_EQ(same[0], wave);

    std::vector<Handle(Geom_BSplineCurve)> one{wave};
    EXPECT_FALSE(MakeLoftSectionsCompatible(one, 1e-6));

    Handle(Geom_BSplineCurve) rational = Handle(Geom_BSplineCurve)::DownCast(Wave(25, 1.0, 2.0, 50.0)->Copy());
    rational->SetWeight(3, 2.0);
    std::vector<Handle(Geom_BSplineCurve)> withRational{wave, rational};
    EXPECT_FALSE(MakeLoftSectionsCompatible(withRational, 1e-6));
    EXPECT_EQ(withRational[1], rational);

    std::vector<Handle(Geom_BSplineCurve)> loose{wave, Wave(41, 0.5, 2.0, 50.0)};
    EXPECT_FALSE(MakeLoftSectionsCompatible(loose, 0.0)) << "no tolerance";
    // A tolerance no common vector can meet short of the merge: left as is.
    std::vector<Handle(Geom_BSplineCurve)> tight{wave, Wave(41, 0.5, 2.0, 50.0)};
    const Handle(Geom_BSplineCurve) second = tight[1];
    EXPECT_FALSE(MakeLoftSectionsCompatible(tight, 1e-300));
    EXPECT_EQ(tight[1], second);
}
