#include "modes/profile_sketch_selection.h"

#include "core/intersections.h"
#include "core/section_curve_classes.h"
#include "shapes/arc_section_curve.h"
#include "shapes/line_section_curve.h"
#include "shapes/sketch_curve.h"
#include "shapes/spline_section_curve.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

void Identity(double f[12])
{
    const double id[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    std::copy(id, id + 12, f);
}

tPolyline<cVertex> Points(std::initializer_list<std::pair<double, double>> xy)
{
    tPolyline<cVertex> points;
    for (const auto& [x, y] : xy)
    {
        const double p[3] = {x, y, 0.0};
        points.AddPoint3d(p);
    }
    return points;
}

template <class Curve> Curve* Add(ST_TSketch<Dezaz_Wire>& sketch, std::initializer_list<std::pair<double, double>> xy)
{
    auto* curve = new Curve;
    Identity(curve->frame);
    EXPECT_TRUE(RebuildSketchCurve(*curve, Points(xy)));
    sketch.AddCurve(curve);
    return curve;
}

cVertex& PointOf(ST_ISectionCurve& curve, std::uint32_t i)
{
    return *SketchPointsOf(curve, false)->GetVertex(i);
}

} // namespace

TEST(SketchPickIds, PointsThenCurvesAndNothingOutside)
{
    ST_TSketch<Dezaz_Wire> sketch;
    auto* line = Add<ST_TLineCurve<Dezaz_Wire>>(sketch, {{0, 0}, {10, 0}});
    auto* arc = Add<ST_TArcCurve<Dezaz_Wire>>(sketch, {{10, 0}, {15, 5}, {20, 0}});
    // Hover index = id - 1: points 0..4, then curves at 9999 + i.
    stSketchPick pick = DecodeSketchPick(&sketch, int(SketchPointPickId(3)) - 1, false);
    ASSERT_EQ(pick.kind, stSketchPick::kPoint);
    EXPECT_EQ(pick.curve, arc);
    EXPECT_EQ(pick.pointIndex, 1u);
    pick = DecodeSketchPick(&sketch, int(SketchCurvePickId(0)) - 1, false);
    ASSERT_EQ(pick.kind, stSketchPick::kCurve);
    EXPECT_EQ(pick.curve, line);
    EXPECT_EQ(DecodeSketchPick(&sketch, 5, false).kind, stSketchPick::kNothing);
    EXPECT_EQ(DecodeSketchPick(&sketch, int(SketchCurvePickId(2)) - 1, false).kind, stSketchPick::kNothing);
    EXPECT_EQ(DecodeSketchPick(&sketch, -1, false).kind, stSketchPick::kNothing);
    // A point numbered 9999 or more would alias curve 0: it gets no id.
    EXPECT_EQ(SketchPointPickId(9998), 9999u);
    EXPECT_EQ(SketchPointPickId(9999), 0u);
    EXPECT_EQ(SketchCurvePickId(0), 10000u);
}

TEST(SketchOpenEnds, EndsTouchingAnotherCurveAreClosed)
{
    ST_TSketch<Dezaz_Wire> sketch;
    auto* a = Add<ST_TLineCurve<Dezaz_Wire>>(sketch, {{0, 0}, {10, 0}});
    auto* b = Add<ST_TLineCurve<Dezaz_Wire>>(sketch, {{10, 0}, {10, 20}});
    MarkOpenSketchEnds(&sketch);
    EXPECT_NE(PointOf(*a, 0).flags & kSketchPointOpenEnd, 0u);
    EXPECT_EQ(PointOf(*a, 1).flags & kSketchPointOpenEnd, 0u);
    EXPECT_EQ(PointOf(*b, 0).flags & kSketchPointOpenEnd, 0u);
    EXPECT_NE(PointOf(*b, 1).flags & kSketchPointOpenEnd, 0u);
    const float p[3] = {10.0f, 0.0f, 0.0f};
    EXPECT_EQ(FindCoincidentSketchPoint(&sketch, a, p, 1e-5).y, 0.0f);
    const float q[3] = {10.0f, 20.0f, 0.0f};
    EXPECT_EQ(FindCoincidentSketchPoint(&sketch, b, q, 1e-5).x, FLT_MAX);
}

TEST(SketchDelete, LinesAndArcsGoWholeSplinesLoseThePoint)
{
    ST_TSketch<Dezaz_Wire> sketch;
    auto* line = Add<ST_TLineCurve<Dezaz_Wire>>(sketch, {{0, 0}, {10, 0}});
    auto* arc = Add<ST_TArcCurve<Dezaz_Wire>>(sketch, {{10, 0}, {15, 5}, {20, 0}});
    auto* spline = Add<ST_TSplineCurve<Dezaz_Wire>>(sketch, {{20, 0}, {25, 3}, {30, 1}, {35, 4}, {40, 0}});
    ASSERT_EQ(SketchPointsOf(*spline, false)->GetVertexCount(), 5u);
    EXPECT_FALSE(DeleteSketchSelection(&sketch, false));

    PointOf(*line, 1).flags |= kSketchPointSelected;
    PointOf(*spline, 2).flags |= kSketchPointSelected;
    ASSERT_TRUE(DeleteSketchSelection(&sketch, false));
    ASSERT_EQ(sketch.GetSegmentCount(), 2u);
    EXPECT_EQ(sketch.GetSegment(0), arc);
    EXPECT_EQ(sketch.GetSegment(1), spline);
    const tPolyline<cVertex>& rest = *SketchPointsOf(*spline, false);
    ASSERT_EQ(rest.GetVertexCount(), 4u);
    EXPECT_FLOAT_EQ(rest.GetVertex(2)->x, 35.0f);
    // The arc's start no longer touches the line: open again.
    EXPECT_NE(PointOf(*arc, 0).flags & kSketchPointOpenEnd, 0u);

    PointOf(*arc, 1).flags |= kSketchPointSelected;
    ASSERT_TRUE(DeleteSketchSelection(&sketch, false));
    ASSERT_EQ(sketch.GetSegmentCount(), 1u);
    EXPECT_EQ(sketch.GetSegment(0), spline);
}

TEST(SketchApplyValue, LineLengthAlongItsDirection)
{
    ST_TSketch<Dezaz_Wire> sketch;
    auto* line = Add<ST_TLineCurve<Dezaz_Wire>>(sketch, {{5, 5}, {8, 9}});
    EXPECT_EQ(ApplySketchValue(&sketch, 25.0, nullptr, false), SketchValueResult::kNothing); // nothing selected
    line->selected = 1;
    EXPECT_EQ(ApplySketchValue(&sketch, std::nan(""), nullptr, false), SketchValueResult::kNothing);
    EXPECT_EQ(ApplySketchValue(&sketch, HUGE_VAL, nullptr, false), SketchValueResult::kNothing);
    EXPECT_EQ(ApplySketchValue(&sketch, 0.0, nullptr, false), SketchValueResult::kNothing);
    EXPECT_EQ(ApplySketchValue(&sketch, -3.0, nullptr, false), SketchValueResult::kNothing);
    ASSERT_EQ(ApplySketchValue(&sketch, 25.0, nullptr, false), SketchValueResult::kApplied);
    EXPECT_NEAR(PointOf(*line, 1).x, 5 + 25 * 0.6, 1e-4);
    EXPECT_NEAR(PointOf(*line, 1).y, 5 + 25 * 0.8, 1e-4);
    bool isDistance = false;
    EXPECT_NEAR(SketchCurveValue(*line, &isDistance), 25.0, 1e-4);
    EXPECT_TRUE(isDistance);
}

TEST(SketchApplyValue, ArcRadiusKeepsItsEndsAndRefusesShortRadii)
{
    ST_TSketch<Dezaz_Wire> sketch;
    auto* arc = Add<ST_TArcCurve<Dezaz_Wire>>(sketch, {{-10, 0}, {0, 10}, {10, 0}});
    PointOf(*arc, 2).flags |= kSketchPointSelected; // a selected point makes it the target
    ASSERT_EQ(ApplySketchValue(&sketch, 20.0, nullptr, false), SketchValueResult::kApplied);
    EXPECT_NEAR(arc->Radius(), 20.0, 1e-4);
    EXPECT_NEAR(PointOf(*arc, 0).x, -10.0, 1e-5);
    EXPECT_NEAR(PointOf(*arc, 2).x, 10.0, 1e-5);
    EXPECT_NE(PointOf(*arc, 2).flags & kSketchPointSelected, 0u); // its selection stays
    // The middle stays on the old side, above the chord.
    EXPECT_GT(PointOf(*arc, 1).y, 0.0f);
    double shown = -1.0;
    EXPECT_EQ(ApplySketchValue(&sketch, 9.0, &shown, false), SketchValueResult::kRefused);
    EXPECT_NEAR(shown, 20.0, 1e-4);
    EXPECT_NEAR(arc->Radius(), 20.0, 1e-4);
}

TEST(ArcMidPointForRadius, NewMiddleLiesOnTheCircleOfThatRadius)
{
    const double p0[3] = {30, 40, 0}, p1[3] = {40, 50, 0}, p2[3] = {50, 40, 0};
    double m[3];
    ASSERT_TRUE(ArcMidPointForRadius(p0, p1, p2, 15.0, m));
    double c[3];
    double mid[3] = {m[0], m[1], m[2]};
    ASSERT_TRUE(TriangleCircumcentre(p0, mid, p2, c));
    EXPECT_NEAR(std::hypot(p0[0] - c[0], p0[1] - c[1]), 15.0, 1e-9);
    EXPECT_NEAR(std::hypot(m[0] - c[0], m[1] - c[1]), 15.0, 1e-9);
    EXPECT_FALSE(ArcMidPointForRadius(p0, p1, p2, 9.99, m));
    // A shallow arc (centre below the chord) flattens further for a larger radius.
    const double s1[3] = {40, 43, 0};
    ASSERT_TRUE(ArcMidPointForRadius(p0, s1, p2, 30.0, m));
    double mid2[3] = {m[0], m[1], m[2]};
    ASSERT_TRUE(TriangleCircumcentre(p0, mid2, p2, c));
    EXPECT_NEAR(std::hypot(p2[0] - c[0], p2[1] - c[1]), 30.0, 1e-9);
    EXPECT_GT(m[1], 40.0);
    EXPECT_LT(m[1], 43.0);
    const double q[3] = {40, 40, 0};
    EXPECT_FALSE(ArcMidPointForRadius(p0, q, p2, 15.0, m)); // collinear
}

TEST(SketchMoveEnd, TheCoincidentPointMovesAndTheCurveFollows)
{
    ST_TSketch<Dezaz_Wire> sketch;
    auto* line = Add<ST_TLineCurve<Dezaz_Wire>>(sketch, {{0, 0}, {10, 0}});
    const float from[3] = {10.0f, 0.0f, 0.0f};
    const float to[3] = {14.0f, 0.0f, 0.0f};
    ASSERT_TRUE(MoveCurveEndToPoint(*line, from, to));
    EXPECT_NEAR(line->GetLocalEndPoint().x, 14.0, 1e-6);
    const float elsewhere[3] = {3.0f, 3.0f, 0.0f};
    EXPECT_FALSE(MoveCurveEndToPoint(*line, elsewhere, to));
}

TEST(SketchSplineInsert, PointGoesAfterTheNearestSegment)
{
    ST_TSketch<Dezaz_Wire> sketch;
    auto* spline = Add<ST_TSplineCurve<Dezaz_Wire>>(sketch, {{0, 0}, {10, 5}, {20, 0}, {30, 5}});
    const float p[3] = {15.0f, 3.0f, 0.0f};
    const std::int32_t segment = NearestSketchSegment(*SketchPointsOf(*spline, false), p);
    EXPECT_EQ(segment, 1);
    ASSERT_EQ(InsertSketchSplinePoint(*spline, segment, p), 2);
    const tPolyline<cVertex>& points = *SketchPointsOf(*spline, false);
    ASSERT_EQ(points.GetVertexCount(), 5u);
    EXPECT_NEAR(points.GetVertex(2)->x, 15.0, 1e-4);
    EXPECT_NEAR(points.GetVertex(2)->y, 3.0, 1e-4);
    EXPECT_EQ(InsertSketchSplinePoint(*spline, 4, p), -1);
}

TEST(SketchFitSelection, StraightRunMakesALineAThirdOfACircleAnArc)
{
    double frame[12];
    Identity(frame);
    auto sectionOf = [&](auto point, int n) {
        tPolylineCollection<tFramePolyline<cVertex>> sections;
        tFramePolyline<cVertex>& s = *sections.Add(tFramePolyline<cVertex>());
        std::copy(frame, frame + 12, s.frame);
        for (int i = 0; i < n; ++i)
        {
            double p[3];
            point(double(i) / (n - 1), p);
            cVertex* v = s.AddPoint3d(p);
            v->flags |= kSketchPointSelected;
        }
        return sections;
    };
    stFittedSketchElement element;
    auto straight = sectionOf([](double t, double p[3]) { p[0] = 20 + 30 * t; p[1] = 10 + 0.01 * std::sin(40 * t); p[2] = 0; }, 40);
    ASSERT_TRUE(FitSketchElementToSelection(straight, frame, 1.0, element));
    EXPECT_FALSE(element.isArc);
    auto arc = sectionOf([](double t, double p[3]) {
        const double a = 2.2 * t; // 126 degrees of a circle of radius 12 about (40, 30)
        p[0] = 40 + 12 * std::cos(a); p[1] = 30 + 12 * std::sin(a); p[2] = 0; }, 40);
    ASSERT_TRUE(FitSketchElementToSelection(arc, frame, 1.0, element));
    EXPECT_TRUE(element.isArc);
    const double ends[2] = {element.points[0][0], element.points[2][0]};
    EXPECT_NEAR(std::max(ends[0], ends[1]), 52.0, 0.05);
    EXPECT_NEAR(std::min(ends[0], ends[1]), 40 + 12 * std::cos(2.2), 0.05);
    EXPECT_NEAR(std::hypot(element.points[1][0] - 40, element.points[1][1] - 30), 12.0, 0.05);
    auto two = sectionOf([](double t, double p[3]) { p[0] = 20 + 30 * t; p[1] = 0; p[2] = 0; }, 2);
    EXPECT_FALSE(FitSketchElementToSelection(two, frame, 1.0, element));
    // Too small on the screen.
    EXPECT_FALSE(FitSketchElementToSelection(straight, frame, 31.0, element));
}
