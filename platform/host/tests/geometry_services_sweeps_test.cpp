// Sweep services against their closed forms: cylinders and boxes from
// straight extrusion, cylinders from revolution, drafted walls whose every
// sample lies at the offset the draft asks for, and chains joined from
// scattered pieces.
#include "platform/host/geometry_services_sweeps.h"

#include "platform/geometry/arc_curve.h"
#include "platform/geometry/line_curve.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/nurbs_curve.h"
#include "platform/geometry/poly_curve.h"
#include "platform/host/geometry_services_curves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace
{

constexpr double kPi = 3.14159265358979323846;

// A rectangle [-a, a] x [-b, b] with corners rounded by r, counter-clockwise
// about +z (clockwise when `clockwise`), starting on the bottom side.
std::unique_ptr<ON_PolyCurve> RoundedRectangle(double a, double b, double r, double z, bool clockwise = false)
{
    auto chain = std::make_unique<ON_PolyCurve>();
    const double cx[4] = {a - r, a - r, -a + r, -a + r};
    const double cy[4] = {-b + r, b - r, b - r, -b + r};
    for (int k = 0; k < 4; ++k)
    {
        const double start = -0.5 * kPi + 0.5 * kPi * k;
        // Side k runs from the end of corner k-1 to the start of corner k.
        const int prev = (k + 3) % 4;
        const ON_3dPoint from(cx[prev] + r * std::cos(start), cy[prev] + r * std::sin(start), z);
        const ON_3dPoint to(cx[k] + r * std::cos(start), cy[k] + r * std::sin(start), z);
        chain->Append(new ON_LineCurve(from, to));
        ON_Plane plane(ON_3dPoint(cx[k], cy[k], z), ON_xaxis, ON_yaxis);
        chain->Append(new ON_ArcCurve(ON_Arc(ON_Circle(plane, r), ON_Interval(start, start + 0.5 * kPi))));
    }
    if (clockwise)
        chain->Reverse();
    return chain;
}

// Distance from p to the rounded rectangle's outline grown by `grow`
// (negative shrinks), in the xy plane.
double DistanceToGrownRectangle(const ON_3dPoint& p, double a, double b, double r, double grow)
{
    const double qx = std::fabs(p.x) - (a - r);
    const double qy = std::fabs(p.y) - (b - r);
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    const double inside = std::min(std::max(qx, qy), 0.0);
    return std::fabs(outside + inside - (r + grow));
}

double MaxDeviation(const ON_Surface& surface, auto&& distance)
{
    double worst = 0.0;
    const ON_Interval u = surface.Domain(0), v = surface.Domain(1);
    for (int i = 0; i <= 40; ++i)
        for (int j = 0; j <= 8; ++j)
            worst = std::max(worst, distance(surface.PointAt(u.ParameterAt(i / 40.0), v.ParameterAt(j / 8.0))));
    return worst;
}

} // namespace

TEST(SweepServices, ChainsBecomeOneExactCurveOfTheirHighestDegree)
{
    const auto outline = RoundedRectangle(3.0, 2.0, 0.5, 1.0);
    ON_NurbsCurveData data;
    ASSERT_TRUE(DezazCurveToNurbsData(*outline, data));
    EXPECT_EQ(data.order, 3);
    EXPECT_TRUE(data.is_rat);
    const ON_Interval domain = outline->Domain();
    EXPECT_DOUBLE_EQ(data.DomainMin(), domain[0]);
    EXPECT_DOUBLE_EQ(data.DomainMax(), domain[1]);
    for (int k = 0; k <= 400; ++k)
    {
        const double t = data.DomainMin() + (data.DomainMax() - data.DomainMin()) * k / 400.0;
        double v[3];
        ASSERT_TRUE(data.Evaluate(t, 0, v));
        EXPECT_LT(DistanceToGrownRectangle(ON_3dPoint(v[0], v[1], v[2]), 3.0, 2.0, 0.5, 0.0), 1e-12);
        EXPECT_NEAR(v[2], 1.0, 1e-12);
    }

    // A cubic through points is cut into Bezier pieces and put back whole.
    ON_SimpleArray<ON_3dPoint> points;
    for (int i = 0; i < 7; ++i)
        points.Append(ON_3dPoint(i, std::sin(i), 0.1 * i * i));
    std::unique_ptr<ON_NurbsCurve> cubic(DezazInterpCurve(3, points, nullptr, nullptr, 1));
    ASSERT_NE(cubic, nullptr);
    ASSERT_TRUE(DezazCurveToNurbsData(*cubic, data));
    for (int k = 0; k <= 50; ++k)
    {
        const double t = cubic->Domain().ParameterAt(k / 50.0);
        double v[3];
        ASSERT_TRUE(data.Evaluate(t, 0, v));
        EXPECT_LT(cubic->PointAt(t).DistanceTo(ON_3dPoint(v[0], v[1], v[2])), 1e-9);
    }
}

TEST(SweepServices, StraightExtrusionOfAnArcIsACylinderPatch)
{
    const ON_Arc arc(ON_Circle(ON_Plane(ON_3dPoint(1, 2, 0), ON_xaxis, ON_yaxis), 2.0), ON_Interval(0.0, 1.5 * kPi));
    const ON_ArcCurve curve(arc);
    std::unique_ptr<ON_Surface> surface(DezazExtrudeCurveStraight(&curve, ON_3dVector(0, 0, 2), 1.5));
    ASSERT_NE(surface, nullptr);
    const double worst = MaxDeviation(*surface, [](const ON_3dPoint& p) {
        return std::fabs(std::hypot(p.x - 1.0, p.y - 2.0) - 2.0) + (p.z < -1e-12 || p.z > 3.0 + 1e-12 ? 1.0 : 0.0);
    });
    EXPECT_LT(worst, 1e-12);
    const ON_Interval u = surface->Domain(0), v = surface->Domain(1);
    EXPECT_LT(surface->PointAt(u[0], v[0]).DistanceTo(ON_3dPoint(3, 2, 0)), 1e-12);
    EXPECT_LT(surface->PointAt(u[1], v[1]).DistanceTo(ON_3dPoint(1, 0, 3)), 1e-12);

    EXPECT_EQ(DezazExtrudeCurveStraight(nullptr, ON_zaxis, 1.0), nullptr);
    EXPECT_EQ(DezazExtrudeCurveStraight(&curve, ON_zaxis, 0.0), nullptr);
    EXPECT_EQ(DezazExtrudeCurveStraight(&curve, ON_zaxis, std::nan("")), nullptr);
}

TEST(SweepServices, RevolutionTurnsRightHandedAboutTheAxis)
{
    const ON_LineCurve line(ON_3dPoint(1, 0, 0), ON_3dPoint(1, 0, 2));
    std::unique_ptr<ON_Surface> surface(
        DezazRevolve(&line, ON_Line(ON_origin, ON_3dPoint(0, 0, 5)), ON_Interval(0.0, 2.0 * kPi), false, 0));
    ASSERT_NE(surface, nullptr);
    EXPECT_LT(MaxDeviation(*surface, [](const ON_3dPoint& p) { return std::fabs(std::hypot(p.x, p.y) - 1.0); }),
              1e-12);
    // A quarter of the way round the profile point stands on +y.
    const ON_Interval around = surface->Domain(0), along = surface->Domain(1);
    EXPECT_LT(surface->PointAt(around.ParameterAt(0.25), along[1]).DistanceTo(ON_3dPoint(0, 1, 2)), 1e-12);

    EXPECT_EQ(DezazRevolve(&line, ON_Line(ON_origin, ON_origin), ON_Interval(0.0, 1.0), false, 0), nullptr);
    EXPECT_EQ(DezazRevolve(nullptr, ON_Line(ON_origin, ON_3dPoint(0, 0, 1)), ON_Interval(0.0, 1.0), false, 0), nullptr);
}

TEST(SweepServices, MergeJoinsScatteredPiecesIntoChains)
{
    // The four sides of a square in a shuffled order, one reversed, and a
    // stray segment far away.
    const ON_LineCurve s0(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0));
    const ON_LineCurve s1(ON_3dPoint(1, 1, 0), ON_3dPoint(1, 0, 0)); // reversed
    const ON_LineCurve s2(ON_3dPoint(1, 1, 0), ON_3dPoint(0, 1, 0));
    const ON_LineCurve s3(ON_3dPoint(0, 1, 0), ON_3dPoint(0, 0, 0));
    const ON_LineCurve stray(ON_3dPoint(5, 5, 0), ON_3dPoint(6, 5, 0));
    ON_SimpleArray<const ON_Curve*> in;
    for (const ON_Curve* c : {static_cast<const ON_Curve*>(&s2), static_cast<const ON_Curve*>(&stray),
                              static_cast<const ON_Curve*>(&s0), static_cast<const ON_Curve*>(&s3),
                              static_cast<const ON_Curve*>(&s1)})
        in.Append(c);
    ON_SimpleArray<ON_Curve*> out;
    ON_SimpleArray<int> order;
    ASSERT_TRUE(DezazMergeCurves(in, out, 1e-9, 0, &order));
    ASSERT_EQ(out.Count(), 2);
    EXPECT_EQ(order.Count(), 5);
    EXPECT_TRUE(out[0]->IsClosed());
    double length = 0.0;
    ASSERT_TRUE(out[0]->GetLength(&length));
    EXPECT_NEAR(length, 4.0, 1e-12);
    EXPECT_LT(out[1]->PointAtStart().DistanceTo(ON_3dPoint(5, 5, 0)), 1e-15);
    for (int i = 0; i < out.Count(); ++i)
        delete out[i];

    ON_SimpleArray<const ON_Curve*> none;
    EXPECT_FALSE(DezazMergeCurves(none, out, 1e-9, 0, nullptr));
}

TEST(SweepServices, DraftWidensACounterClockwiseSquareUpwards)
{
    ON_SimpleArray<ON_3dPoint> corners;
    for (const ON_3dPoint& p : {ON_3dPoint(-0.5, -0.5, 0), ON_3dPoint(0.5, -0.5, 0), ON_3dPoint(0.5, 0.5, 0),
                                ON_3dPoint(-0.5, 0.5, 0), ON_3dPoint(-0.5, -0.5, 0)})
        corners.Append(p);
    const ON_PolylineCurve square(corners);
    const double draft = std::atan(0.1);
    for (double sense : {1.0, -1.0})
    {
        ON_SimpleArray<ON_Brep*> breps;
        ASSERT_TRUE(DezazCreateTaperedExtrude(&square, 1.0, sense * ON_zaxis, ON_origin, draft, 0, breps));
        ASSERT_EQ(breps.Count(), 1);
        ASSERT_EQ(breps[0]->FaceCount(), 4);
        // Along +z the top square has side 1.2; along -z the far square 0.8.
        const double half = 0.5 + sense * 0.1;
        for (int f = 0; f < 4; ++f)
        {
            const ON_Surface* s = breps[0]->Surface(f);
            const ON_Interval u = s->Domain(0), v = s->Domain(1);
            for (double t : {0.0, 0.3, 1.0})
            {
                const ON_3dPoint top = s->PointAt(u.ParameterAt(t), v[1]);
                EXPECT_NEAR(std::max(std::fabs(top.x), std::fabs(top.y)), half, 1e-12);
                EXPECT_NEAR(top.z, sense, 1e-12);
            }
        }
        delete breps[0];
    }

    // The same square wound the other way narrows upwards.
    ON_PolylineCurve reversed(square);
    reversed.Reverse();
    ON_SimpleArray<ON_Brep*> breps;
    ASSERT_TRUE(DezazCreateTaperedExtrude(&reversed, 1.0, ON_zaxis, ON_origin, draft, 0, breps));
    const ON_Surface* s = breps[0]->Surface(0);
    const ON_3dPoint top = s->PointAt(s->Domain(0).Mid(), s->Domain(1)[1]);
    EXPECT_NEAR(std::max(std::fabs(top.x), std::fabs(top.y)), 0.4, 1e-12);
    delete breps[0];
}

TEST(SweepServices, DraftedRoundedRectangleKeepsItsArcsConcentric)
{
    const auto outline = RoundedRectangle(30.0, 20.0, 5.0, 0.0);
    const double draft = 3.0 * kPi / 180.0;
    ON_SimpleArray<ON_Brep*> breps;
    ASSERT_TRUE(DezazCreateTaperedExtrude(outline.get(), 40.0, ON_zaxis, ON_origin, draft, 0, breps));
    ASSERT_EQ(breps.Count(), 1);
    EXPECT_EQ(breps[0]->FaceCount(), 8);
    double worst = 0.0;
    for (int f = 0; f < breps[0]->FaceCount(); ++f)
        worst = std::max(worst, MaxDeviation(*breps[0]->Surface(f), [&](const ON_3dPoint& p) {
            return DistanceToGrownRectangle(p, 30.0, 20.0, 5.0, p.z * std::tan(draft));
        }));
    EXPECT_LT(worst, 1e-9);
    delete breps[0];
}

TEST(SweepServices, DraftRefusesWhatItCannotBuild)
{
    const auto outline = RoundedRectangle(3.0, 2.0, 0.5, 0.0);
    ON_SimpleArray<ON_Brep*> breps;
    // Off the plane through the base, a right-angle draft, no height.
    EXPECT_FALSE(DezazCreateTaperedExtrude(outline.get(), 1.0, ON_zaxis, ON_3dPoint(0, 0, 1), 0.1, 0, breps));
    EXPECT_FALSE(DezazCreateTaperedExtrude(outline.get(), 1.0, ON_zaxis, ON_origin, 0.5 * kPi, 0, breps));
    EXPECT_FALSE(DezazCreateTaperedExtrude(outline.get(), 0.0, ON_zaxis, ON_origin, 0.1, 0, breps));
    EXPECT_FALSE(DezazCreateTaperedExtrude(outline.get(), 1.0, ON_3dVector(0, 0, 0), ON_origin, 0.1, 0, breps));
    // A draft that closes a corner arc on itself.
    EXPECT_FALSE(DezazCreateTaperedExtrude(outline.get(), 10.0, -ON_zaxis, ON_origin, 0.3, 0, breps));
    EXPECT_EQ(breps.Count(), 0);
}
