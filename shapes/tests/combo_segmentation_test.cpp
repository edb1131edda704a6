// Combo segmentation: the line-or-arc choice for a piece, the joint solvers
// and the section-polyline helpers, on synthetic sections with known answers.
#include "shapes/combo_segmentation.h"
#include "shapes/section_curve_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{

constexpr double kPi = 3.14159265358979323846;

tPolyline<cVertex> ArcSection(double radius, double fromDeg, double toDeg, int count)
{
    tPolyline<cVertex> section;
    for (int i = 0; i < count; ++i)
    {
        const double a = (fromDeg + (toDeg - fromDeg) * i / (count - 1)) * kPi / 180.0;
        const double p[3] = {radius * std::cos(a), radius * std::sin(a), 0.0};
        section.AddPoint3d(p);
    }
    return section;
}

tPolyline<cVertex> EndJoints(const tPolyline<cVertex>& section)
{
    tPolyline<cVertex> joints;
    cVertex a = *section.GetFirstVertex();
    cVertex b = *section.GetLastVertex();
    a.index = 0;
    b.index = section.GetVertexCount() - 1;
    joints.AddVertex(a);
    joints.AddVertex(b);
    return joints;
}

tComboSegment Line(double x0, double y0, double x1, double y1)
{
    tComboSegment s;
    s.AddVertex({x0, y0, 0});
    s.AddVertex({x1, y1, 0});
    return s;
}

// An arc record of the circle (cx, cy, r) from angle a0 to a1 (degrees).
tComboSegment Arc(double cx, double cy, double r, double a0, double a1)
{
    const auto at = [&](double deg) {
        return t3DPoint<double>(cx + r * std::cos(deg * kPi / 180), cy + r * std::sin(deg * kPi / 180), 0);
    };
    tComboSegment s;
    s.AddVertex(at(a0));
    s.AddVertex(at(a1));
    s.AddVertex(at(0.5 * (a0 + a1)));
    s.AddVertex({cx, cy, 0});
    s.AddVertex({r, r, r});
    return s;
}

} // namespace

TEST(ComboSegmentation, AQuarterCircleBecomesAnArcAndThirtyDegreesStaysALine)
{
    for (const double span : {90.0, 30.0})
    {
        const tPolyline<cVertex> section = ArcSection(10.0, 0.0, span, 40);
        const tPolyline<cVertex> joints = EndJoints(section);
        tComboSegments segments(1);
        ASSERT_TRUE(FitComboSegmentAuto(section, joints, segments, 0, false));
        if (span == 90.0)
        {
            ASSERT_EQ(segments[0].GetVertexCount(), 5u);
            EXPECT_NEAR(segments[0].GetVertex(4)->x, 10.0, 1e-4);
            EXPECT_NEAR(segments[0].GetVertex(3)->x, 0.0, 1e-4);
            // Runs along the section: from angle 0 to 90 degrees.
            EXPECT_NEAR(segments[0].GetVertex(0)->x, 10.0, 1e-3);
            EXPECT_NEAR(segments[0].GetVertex(1)->y, 10.0, 1e-3);
        }
        else
            EXPECT_EQ(segments[0].GetVertexCount(), 2u) << "30 degrees of arc is too short to be an arc";
    }
}

TEST(ComboSegmentation, StraightPointsGiveALineRunningAlongTheSection)
{
    tPolyline<cVertex> section;
    for (int i = 0; i <= 10; ++i)
    {
        const double p[3] = {10.0 - i, 2.0, 0.0};
        section.AddPoint3d(p);
    }
    tComboSegments segments(1);
    ASSERT_TRUE(FitComboSegmentAuto(section, EndJoints(section), segments, 0, false));
    ASSERT_EQ(segments[0].GetVertexCount(), 2u);
    EXPECT_NEAR(segments[0].GetVertex(0)->x, 10.0, 1e-9);
    EXPECT_NEAR(segments[0].GetVertex(1)->x, 0.0, 1e-9);
}

TEST(ComboSegmentation, JointsOnNoVertexOrPastTheSectionFitNothing)
{
    const tPolyline<cVertex> section = ArcSection(10.0, 0.0, 90.0, 20);
    tPolyline<cVertex> joints = EndJoints(section);
    tComboSegments segments(1, Line(1, 2, 3, 4));
    joints.GetVertex(1)->index = kNoSectionVertex;
    EXPECT_FALSE(FitComboSegmentAuto(section, joints, segments, 0, false));
    joints.GetVertex(1)->index = 20;
    EXPECT_FALSE(FitComboSegmentAuto(section, joints, segments, 0, false));
    EXPECT_FALSE(FitComboSegmentAuto(section, joints, segments, 1, false)) << "the last joint starts no piece";
    EXPECT_EQ(segments[0].GetVertex(0)->x, 1.0) << "a piece that cannot be fitted keeps its record";

    // Out of order: an open section has no piece there, a closed one wraps.
    joints.GetVertex(0)->index = 15;
    joints.GetVertex(1)->index = 4;
    std::vector<const cVertex*> piece;
    EXPECT_FALSE(CollectComboPiece(section, joints, 0, false, piece));
    ASSERT_TRUE(CollectComboPiece(section, joints, 0, true, piece));
    EXPECT_EQ(piece.size(), 10u);
    EXPECT_EQ(piece.front(), section.GetVertex(15));
    EXPECT_EQ(piece.back(), section.GetVertex(4));

    // Spaced vertices keep both ends, also across the wrap.
    ASSERT_TRUE(CollectComboPiece(section, joints, 0, true, piece, 4));
    ASSERT_EQ(piece.size(), 4u);
    EXPECT_EQ(piece[0], section.GetVertex(15));
    EXPECT_EQ(piece[1], section.GetVertex(19));
    EXPECT_EQ(piece[2], section.GetVertex(3));
    EXPECT_EQ(piece[3], section.GetVertex(4));
    ASSERT_TRUE(CollectComboPiece(section, joints, 0, true, piece, 3));
    EXPECT_EQ(piece.size(), 4u) << "10 vertices by 3 end on the last";
}

TEST(ComboSegmentation, CrossingLinesMeetAtTheirIntersectionAndParallelOnesAtTheNextStart)
{
    tComboSegment a = Line(0, 0, 4, 0.5);
    tComboSegment b = Line(6, 1, 6, 8);
    SolveLineLineJoint(a, b);
    EXPECT_NEAR(a.GetVertex(1)->x, 6.0, 1e-12);
    EXPECT_NEAR(a.GetVertex(1)->y, 0.75, 1e-12);
    EXPECT_EQ(*a.GetVertex(1), *b.GetVertex(0));

    tComboSegment c = Line(0, 0, 5, 0);
    tComboSegment d = Line(6, 0.001, 9, 0.001);
    SolveLineLineJoint(c, d);
    EXPECT_EQ(*c.GetVertex(1), t3DPoint<double>(6, 0.001, 0));
    EXPECT_EQ(*d.GetVertex(0), t3DPoint<double>(6, 0.001, 0)) << "the second line stays";
}

TEST(ComboSegmentation, ALineBesideACircleJoinsAtATangentPoint)
{
    // The line y = 3 passes above the unit circle about (0, 0) of radius 2.
    tComboSegment line = Line(-10, 3, -4, 3);
    tComboSegment arc = Arc(0, 0, 2, 90, 0);
    SolveLineArcJoint(line, arc);
    const t3DPoint<double> j = *line.GetVertex(1);
    EXPECT_EQ(j, *arc.GetVertex(0));
    EXPECT_NEAR(std::hypot(j.x, j.y), 2.0, 1e-9);
    // Tangent from the line's start: perpendicular to the radius there.
    EXPECT_NEAR((j.x - -10) * j.x + (j.y - 3) * j.y, 0.0, 1e-9);

    // A line through the circle meets it at the crossing nearer its end.
    tComboSegment through = Line(-5, 1, -1, 1);
    tComboSegment arc2 = Arc(0, 0, 2, 150, 0);
    SolveLineArcJoint(through, arc2);
    EXPECT_NEAR(through.GetVertex(1)->x, -std::sqrt(3.0), 1e-9);
    EXPECT_NEAR(through.GetVertex(1)->y, 1.0, 1e-9);

    // The arc before the line: the crossing nearer the line's start.
    tComboSegment after = Line(1, 1, 5, 1);
    tComboSegment arc3 = Arc(0, 0, 2, 180, 30);
    SolveArcLineJoint(after, arc3);
    EXPECT_NEAR(after.GetVertex(0)->x, std::sqrt(3.0), 1e-9);
    EXPECT_EQ(*after.GetVertex(0), *arc3.GetVertex(1));
}

TEST(ComboSegmentation, ArcsMeetWhereTheirCirclesCrossAndDisjointCirclesLeaveThem)
{
    tComboSegment a = Arc(0, 0, 2, 180, 0);
    tComboSegment b = Arc(3, 0, 2, 180, 0);
    SolveArcArcJoint(a, b);
    EXPECT_NEAR(a.GetVertex(1)->x, 1.5, 1e-9);
    EXPECT_NEAR(std::fabs(a.GetVertex(1)->y), std::sqrt(1.75), 1e-9);
    EXPECT_EQ(*a.GetVertex(1), *b.GetVertex(0));

    tComboSegment c = Arc(0, 0, 1, 180, 0);
    tComboSegment d = Arc(5, 0, 1, 180, 0);
    const tComboSegment c0 = c, d0 = d;
    SolveArcArcJoint(c, d);
    EXPECT_EQ(c.vertices, c0.vertices);
    EXPECT_EQ(d.vertices, d0.vertices);

    tComboSegment shortRecord = Line(0, 0, 1, 1);
    shortRecord.AddVertex({0.5, 0.5, 0});
    SolveArcArcJoint(shortRecord, d); // an arc record without centre and radius is left alone
}

TEST(ComboSegmentation, ASectionOpensAtItsWidestGapUnlessThatIsTheClosingGap)
{
    tPolyline<cVertex> section;
    for (const double x : {0.0, 1.0, 2.0, 6.0, 7.0})
    {
        const double p[3] = {x, 0, 0};
        section.AddPoint3d(p);
    }
    // Closing gap 7 is the widest: nothing moves.
    tPolyline<cVertex> same = section;
    OpenAtLargestGap(same);
    EXPECT_EQ(same.GetFirstVertex()->x, 0.0f);

    tPolyline<cVertex> ring;
    for (const double deg : {0.0, 30.0, 60.0, 90.0, 200.0, 250.0, 300.0, 330.0})
    {
        const double p[3] = {std::cos(deg * kPi / 180), std::sin(deg * kPi / 180), 0};
        ring.AddPoint3d(p);
    }
    OpenAtLargestGap(ring);
    ASSERT_EQ(ring.GetVertexCount(), 8u);
    EXPECT_NEAR(ring.GetFirstVertex()->x, std::cos(200 * kPi / 180), 1e-6);
    EXPECT_NEAR(ring.GetLastVertex()->y, 1.0, 1e-6);
    EXPECT_TRUE(ring.boxValid);
}

TEST(ComboSegmentation, NearestVertexTiesGoToTheLowerIndexAndEmptyPolylinesFindNone)
{
    tPolyline<cVertex> points;
    for (const double x : {-1.0, 1.0, 1.0})
    {
        const double p[3] = {x, 0, 0};
        points.AddPoint3d(p);
    }
    std::int32_t index = 7;
    const float origin[3] = {0, 0, 0};
    EXPECT_DOUBLE_EQ(FindNearestVertex(points, origin, &index), 1.0);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(FindNearestVertex(tPolyline<cVertex>(), origin, &index), FLT_MAX);
    EXPECT_EQ(index, -1);
}

TEST(ComboSegmentation, ClosedChainsAlsoSolveTheirLastJoint)
{
    tComboSegments square = {Line(0, 0, 9, 0.2), Line(10, -1, 10, 9), Line(11, 10, 1, 10), Line(0, 11, 0, 1)};
    SolveComboJoints(square, true);
    EXPECT_NEAR(square[3].GetVertex(1)->x, 0.0, 1e-9);
    EXPECT_NEAR(square[0].GetVertex(0)->y, 0.0, 1e-9);
    EXPECT_EQ(*square[3].GetVertex(1), *square[0].GetVertex(0));
    for (std::size_t i = 1; i < square.size(); ++i)
        EXPECT_EQ(*square[i - 1].GetVertex(1), *square[i].GetVertex(0));
}

TEST(SectionCurveGeometry, PointSegmentParameterAndCircumradius)
{
    const float a[3] = {0, 0, 0}, b[3] = {2, 0, 0};
    const float before[3] = {-1, 1, 0}, inside[3] = {1, 3, 0}, after[3] = {5, 4, 0};
    double d = 0;
    EXPECT_DOUBLE_EQ(PointSegmentParameter(before, a, b, &d), -0.5);
    EXPECT_DOUBLE_EQ(d, std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(PointSegmentParameter(inside, a, b, &d), 0.5);
    EXPECT_DOUBLE_EQ(d, 3.0);
    EXPECT_DOUBLE_EQ(PointSegmentParameter(after, a, b, &d), 2.5);
    EXPECT_DOUBLE_EQ(d, 5.0);
    EXPECT_DOUBLE_EQ(PointSegmentParameter(inside, a, a, &d), 0.0) << "a point segment";
    EXPECT_DOUBLE_EQ(d, std::sqrt(10.0));

    const double p[3] = {1, 0, 0}, q[3] = {0, 1, 0}, r[3] = {-1, 0, 0}, s[3] = {3, 0, 0};
    double centre[3];
    EXPECT_NEAR(CircumradiusOf3Points(p, q, r, centre), 1.0, 1e-12);
    EXPECT_NEAR(centre[0], 0.0, 1e-12);
    EXPECT_EQ(CircumradiusOf3Points(p, r, s, centre), -FLT_MAX);

    cVertex v{};
    v.flags = 8;
    const float unset[3] = {FLT_MAX, 0, 0};
    AssignFlaggedPoint3f(v, unset);
    EXPECT_EQ(v.flags, 9u);
    AssignFlaggedPoint3f(v, a);
    EXPECT_EQ(v.flags, 8u);
}
