// The spline profile: fits to a tolerance, refinement, point insertion,
// smoothing, end extension in its own plane and the direction it carries.
#include "shapes/spline_section_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{

constexpr double kPi = 3.14159265358979323846;

tPolyline<cVertex> NoisyCircle(double radius, int count, double noise, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> n(0.0, noise);
    tPolyline<cVertex> points;
    for (int i = 0; i < count; ++i)
    {
        const double a = 1.5 * kPi * i / (count - 1);
        const double r = radius + n(rng);
        const double p[3] = {r * std::cos(a), r * std::sin(a), 0};
        points.AddPoint3d(p);
    }
    return points;
}

double WorstDistance(const ST_TSplineCurve<Dezaz_Wire>& spline, const tPolyline<cVertex>& points)
{
    double worst = 0;
    for (const cVertex& v : points.vertices)
        worst = std::max(worst, spline.Wire().GetDistanceToPoint({v.x, v.y, v.z}));
    return worst;
}

tPolyline<cVertex> Points(std::initializer_list<t3DPoint<double>> list)
{
    tPolyline<cVertex> points;
    for (const t3DPoint<double>& p : list)
        points.AddPoint3d(p.Data());
    return points;
}

} // namespace

TEST(SplineCurve, AFitToATolerancePassesWithinItOfEverySectionPoint)
{
    double frame[12];
    MakeIdentity3x4(frame);
    for (const double tolerance : {0.05, 0.01})
    {
        const tPolyline<cVertex> section = NoisyCircle(20.0, 400, 0.002, 5);
        ST_TSplineCurve<Dezaz_Wire> spline;
        ASSERT_TRUE(spline.FitToPolyline(frame, section, tolerance, 0));
        EXPECT_LE(WorstDistance(spline, section), tolerance);
        EXPECT_LT(spline.InterpolationPoints().GetVertexCount(), 200u) << "thinned, not every point kept";
        EXPECT_GE(spline.InterpolationPoints().GetVertexCount(), 4u);
    }
}

TEST(SplineCurve, RefinementToAToleranceStaysWithinItOnANoisyCircle)
{
    double frame[12];
    MakeIdentity3x4(frame);
    const tPolyline<cVertex> section = NoisyCircle(10.0, 300, 0.003, 11);
    ST_TSplineCurve<Dezaz_Wire> spline;
    spline.SetSmoothing(3.0f);
    ASSERT_TRUE(spline.SetSplineFromPolyline(section, frame, 0, false));
    const std::uint32_t coarse = spline.InterpolationPoints().GetVertexCount();
    ASSERT_LT(coarse, 10u);
    const float tolerance = 0.02f;
    ASSERT_TRUE(spline.RefineToTolerance(tolerance));
    EXPECT_GT(spline.InterpolationPoints().GetVertexCount(), coarse);
    EXPECT_LE(spline.InterpolationPoints().GetVertexCount(), kMaxRefinedSplinePoints + 1);
    EXPECT_LE(WorstDistance(spline, section), tolerance);
    EXPECT_TRUE(spline.IsEdited());

    // Without a tolerance the refinement ends too (at the section's own
    // scatter), and never past its point limit.
    ST_TSplineCurve<Dezaz_Wire> zero;
    zero.SetSmoothing(3.0f);
    ASSERT_TRUE(zero.SetSplineFromPolyline(section, frame, 0, false));
    ASSERT_TRUE(zero.RefineToTolerance(0.0f));
    EXPECT_LE(zero.InterpolationPoints().GetVertexCount(), kMaxRefinedSplinePoints + 1);

    // Collinear fit points: no scatter at all, still no duplicates.
    ST_TSplineCurve<Dezaz_Wire> straight;
    tPolyline<cVertex> line;
    for (int i = 0; i < 50; ++i)
    {
        const double p[3] = {i * 0.5, 1.0, 0};
        line.AddPoint3d(p);
    }
    straight.SetSmoothing(2.0f);
    ASSERT_TRUE(straight.SetSplineFromPolyline(line, frame, 0, false));
    const std::uint32_t before = straight.InterpolationPoints().GetVertexCount();
    ASSERT_TRUE(straight.RefineToTolerance(-1.0f));
    EXPECT_EQ(straight.InterpolationPoints().GetVertexCount(), before);
}

TEST(SplineCurve, InsertedPointsGoWhereTheyProjectOntoTheChords)
{
    double frame[12];
    MakeIdentity3x4(frame);
    ST_TSplineCurve<Dezaz_Wire> spline;
    ASSERT_TRUE(spline.SetSplineFromPolyline(Points({{0, 0, 0}, {10, 0, 0}, {20, 0, 0}}), frame, 0, false));
    const float before[3] = {-5, 1, 0}, inside[3] = {14, 1, 0}, after[3] = {25, 1, 0}, near[3] = {10.5f, 0.2f, 0};
    ASSERT_TRUE(spline.InsertSplinePoint(inside, 1.0));
    EXPECT_EQ(spline.InterpolationPoints().GetVertex(2)->x, 14.0f);
    ASSERT_TRUE(spline.InsertSplinePoint(before, 1.0));
    EXPECT_EQ(spline.InterpolationPoints().GetFirstVertex()->x, -5.0f);
    ASSERT_TRUE(spline.InsertSplinePoint(after, 1.0));
    EXPECT_EQ(spline.InterpolationPoints().GetLastVertex()->x, 25.0f);
    EXPECT_FALSE(spline.InsertSplinePoint(near, 1.0)) << "too close to an interpolation point";
    EXPECT_EQ(spline.InterpolationPoints().GetVertexCount(), 6u);
    EXPECT_TRUE(spline.IsEdited());

    // With fewer than two points a point is appended.
    ST_TSplineCurve<Dezaz_Wire> lone;
    EXPECT_TRUE(lone.InsertSplinePoint(inside, 1.0));
    EXPECT_TRUE(lone.InsertSplinePoint(after, 1.0));
    EXPECT_EQ(lone.InterpolationPoints().GetVertexCount(), 2u);
    EXPECT_TRUE(lone.GetWire()->IsValid());
}

TEST(SplineCurve, SmoothingZeroKeepsEveryFitPointAndEditsSurviveANewSection)
{
    double frame[12];
    MakeIdentity3x4(frame);
    const tPolyline<cVertex> section = NoisyCircle(5.0, 40, 0.0, 1);
    ST_TSplineCurve<Dezaz_Wire> spline;
    spline.SetSmoothing(4.0f);
    ASSERT_TRUE(spline.SetSplineFromPolyline(section, frame, 0, false));
    EXPECT_LT(spline.InterpolationPoints().GetVertexCount(), 10u);
    EXPECT_TRUE(spline.ApplySmoothing(0.0f));
    EXPECT_EQ(spline.InterpolationPoints().GetVertexCount(), 40u);

    // Stored values of any size: no more points than a few per fit point,
    // and no number at all keeps the fit points.
    spline.ApplySmoothing(1e30f);
    EXPECT_LE(spline.InterpolationPoints().GetVertexCount(), 4u * 40u + 1u);
    spline.ApplySmoothing(std::nanf(""));
    EXPECT_EQ(spline.InterpolationPoints().GetVertexCount(), 40u);

    ASSERT_TRUE(spline.ApplySmoothing(4.0f));
    ASSERT_TRUE(spline.MoveJoint(1, {0, 5.2f, 0}));
    const std::uint32_t edited = spline.InterpolationPoints().GetVertexCount();
    ASSERT_TRUE(spline.SetSplineFromPolyline(NoisyCircle(5.0, 40, 0.01, 2), frame, 0, false));
    EXPECT_TRUE(spline.IsEdited());
    EXPECT_EQ(spline.InterpolationPoints().GetVertexCount(), edited) << "the user's points stay, snapped";
    EXPECT_FALSE(spline.MoveJoint(99, {0, 0, 0}));
    EXPECT_FALSE(spline.RemoveJoint(99));
}

TEST(SplineCurve, EndsExtendInTheCurvesOwnPlaneUnderAnyFrame)
{
    // Rotated and moved far away: the extended end stays in the local plane.
    double frame[12] = {0, -1, 0, 500, 0, 0, -1, -200, 1, 0, 0, 80};
    ST_TSplineCurve<Dezaz_Wire> spline;
    ASSERT_TRUE(spline.SetSplineFromPolyline(Points({{0, 0, 0}, {4, 1, 0}, {8, 0, 0}}), frame, 0, false));
    ASSERT_TRUE(spline.ExtendEnd(2.0, true));
    const cVertex& end = *spline.InterpolationPoints().GetLastVertex();
    EXPECT_EQ(end.z, 0.0f);
    EXPECT_GT(end.x, 8.5f);
    EXPECT_LT(end.y, 0.0f) << "along the end tangent, which points down";
    ASSERT_TRUE(spline.ExtendStart(1.0, true));
    EXPECT_LT(spline.InterpolationPoints().GetFirstVertex()->x, 0.0f);
    EXPECT_EQ(spline.InterpolationPoints().GetFirstVertex()->z, 0.0f);

    ST_TSplineCurve<Dezaz_Wire> closed(1);
    ASSERT_TRUE(closed.SetSplineFromPolyline(Points({{0, 0, 0}, {4, 1, 0}, {8, 0, 0}}), frame, 0, true));
    EXPECT_FALSE(closed.ExtendEnd(2.0, true));
}

TEST(SplineCurve, WorldEvaluationCarriesTheDirectionOfTheSurroundingPoints)
{
    double frame[12];
    MakeIdentity3x4(frame);
    frame[11] = 3.0;
    tPolyline<cVertex> points = Points({{0, 0, 0}, {5, 2, 0}, {10, 0, 0}});
    points.GetVertex(0)->nz = 1.0f;
    points.GetVertex(1)->nx = 1.0f;
    points.GetVertex(2)->nx = 1.0f;
    ST_TSplineCurve<Dezaz_Wire> spline;
    ASSERT_TRUE(spline.SetSplineFromPolyline(points, frame, 0, false));
    t3DPoint<double> p, t, d;
    ASSERT_TRUE(spline.EvaluateInWorld(0.0, &p, &t, &d));
    EXPECT_NEAR(d.z, 1.0, 1e-9) << "only the first point's direction at the start";
    EXPECT_NEAR(p.z, 3.0, 1e-12);
    ASSERT_TRUE(spline.EvaluateInWorld(0.25, &p, &t, &d));
    EXPECT_NEAR(d.x, std::sqrt(0.5), 1e-6);
    EXPECT_NEAR(d.z, std::sqrt(0.5), 1e-6);
    ASSERT_TRUE(spline.EvaluateInWorld(0.9, &p, &t, &d));
    EXPECT_NEAR(d.x, 1.0, 1e-6);
}

TEST(SplineCurve, RemovingAJointMarksTheCurveEdited)
{
    double frame[12];
    MakeIdentity3x4(frame);
    ST_TSplineCurve<Dezaz_Wire> spline;
    spline.SetSmoothing(4.0f);
    ASSERT_TRUE(spline.SetSplineFromPolyline(NoisyCircle(5.0, 40, 0.0, 1), frame, 0, false));
    ASSERT_FALSE(spline.IsEdited());
    const std::uint32_t before = spline.InterpolationPoints().GetVertexCount();
    ASSERT_GE(before, 4u);
    ASSERT_TRUE(spline.RemoveJoint(1));
    EXPECT_EQ(spline.InterpolationPoints().GetVertexCount(), before - 1);
    EXPECT_TRUE(spline.IsEdited());
}
