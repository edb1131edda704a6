#include "modes/sketch_snapping.h"

#include "platform/win32/input.h"
#include "shapes/arc_section_curve.h"
#include "shapes/line_section_curve.h"
#include "shapes/sketch_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace
{

void Identity(double f[12])
{
    const double id[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    std::copy(id, id + 12, f);
}

ST_TLineCurve<Dezaz_Wire>* AddLine(ST_TSketch<Dezaz_Wire>& sketch, double x0, double y0, double x1, double y1)
{
    auto* line = new ST_TLineCurve<Dezaz_Wire>;
    Identity(line->frame);
    line->cachedStart[0] = x0;
    line->cachedStart[1] = y0;
    line->cachedEnd[0] = x1;
    line->cachedEnd[1] = y1;
    EXPECT_TRUE(line->UpdateLineFromEnds());
    sketch.AddCurve(line);
    return line;
}

// Snapping on, Alt up.
stSketchSnap ActiveSnap()
{
    win32::InjectKey(VK_MENU, false);
    stSketchSnap snap;
    snap.enabled = 1;
    return snap;
}

constexpr double kTol = 0.5;

} // namespace

TEST(SketchSnapSteps, TablesAreClampedAndCarryTheirDecimals)
{
    EXPECT_EQ(SketchDistanceStep(0), 10.0);
    EXPECT_EQ(SketchDistanceStep(2), 0.1);
    EXPECT_EQ(SketchAngleStepDegrees(4), 0.001);
    EXPECT_EQ(SketchStepDecimals(1), 0);
    EXPECT_EQ(SketchStepDecimals(3), 2);
    // A stored index from elsewhere never reads outside the table.
    EXPECT_EQ(SketchDistanceStep(-7), 10.0);
    EXPECT_EQ(SketchDistanceStep(99), 0.001);
    EXPECT_EQ(SketchStepDecimals(1 << 30), 3);
}

TEST(SketchSnapPoint, EndPointWinsOverAlignmentAndCarriesTheTangent)
{
    ST_TSketch<Dezaz_Wire> sketch;
    auto* line = AddLine(sketch, 10, 20, 30, 20);
    AddLine(sketch, 30.2f, 40, 50, 40); // its start aligns vertically with the first line's end
    stSketchSnap snap = ActiveSnap();
    const float cursor[3] = {30.1f, 20.2f, 0.0f};
    ASSERT_TRUE(SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, cursor, kTol, false, false));
    EXPECT_EQ(snap.kind, kSketchSnapPoint);
    EXPECT_FLOAT_EQ(snap.result.x, 30.0f);
    EXPECT_FLOAT_EQ(snap.result.y, 20.0f);
    EXPECT_EQ(snap.xSourceCurve, line);
    // At the far end the tangent points back into the line.
    EXPECT_NEAR(snap.result.nx, -1.0, 1e-6);
    EXPECT_NEAR(snap.result.ny, 0.0, 1e-6);

    // The start gives the forward tangent.
    const float nearStart[3] = {10.3f, 19.9f, 0.0f};
    ASSERT_TRUE(SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, nearStart, kTol, false, false));
    EXPECT_EQ(snap.kind, kSketchSnapPoint);
    EXPECT_NEAR(snap.result.nx, 1.0, 1e-6);

    // The excepted curve is not offered.
    ASSERT_TRUE(SnapSketchPoint(snap, &sketch, 0, false, nearStart, kTol, false, true) == false);
    EXPECT_EQ(snap.kind, kSketchSnapNone);
}

TEST(SketchSnapPoint, NearerPointWinsAndEqualDistancesKeepTheEarlierCurve)
{
    ST_TSketch<Dezaz_Wire> sketch;
    auto* first = AddLine(sketch, 0 + 5, 5, 10, 5);
    auto* second = AddLine(sketch, 10, 5.4, 20, 10);
    stSketchSnap snap = ActiveSnap();
    const float cursor[3] = {10.0f, 5.2f, 0.0f};
    ASSERT_TRUE(SnapToNearestCurvePoint(snap, &sketch, kSnapExceptNone, false, cursor, kTol * kTol));
    EXPECT_EQ(snap.xSourceCurve, first);
    const float nearer[3] = {10.0f, 5.3f, 0.0f};
    ASSERT_TRUE(SnapToNearestCurvePoint(snap, &sketch, kSnapExceptNone, false, nearer, kTol * kTol));
    EXPECT_EQ(snap.xSourceCurve, second);
    EXPECT_FLOAT_EQ(snap.result.y, 5.4f);
}

TEST(SketchSnapPoint, OriginCompetesAndGivesNoDirection)
{
    ST_TSketch<Dezaz_Wire> sketch;
    AddLine(sketch, 0.3, 0.0, 10, 0);
    stSketchSnap snap = ActiveSnap();
    const float cursor[3] = {0.1f, 0.05f, 0.0f};
    ASSERT_TRUE(SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, cursor, kTol, false, false));
    EXPECT_EQ(snap.kind, kSketchSnapPoint);
    EXPECT_EQ(snap.result.x, 0.0f);
    EXPECT_EQ(snap.result.y, 0.0f);
    EXPECT_EQ(snap.result.nx, 0.0f);
    EXPECT_EQ(snap.xSourceCurve, nullptr);
}

TEST(SketchSnapAlignment, CornerOfTwoPointsAndSingleAxes)
{
    ST_TSketch<Dezaz_Wire> sketch;
    auto* a = AddLine(sketch, 10, 10, 10, 30);
    auto* b = AddLine(sketch, 40, 50, 60, 50);
    stSketchSnap snap = ActiveSnap();
    // Near x = 10 (line a) and y = 50 (line b): the corner.
    const float corner[3] = {10.2f, 49.8f, 0.0f};
    ASSERT_TRUE(SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, corner, kTol, false, false));
    EXPECT_EQ(snap.kind, kSketchSnapCorner);
    EXPECT_FLOAT_EQ(snap.result.x, 10.0f);
    EXPECT_FLOAT_EQ(snap.result.y, 50.0f);
    EXPECT_EQ(snap.xSourceCurve, a);
    EXPECT_EQ(snap.ySourceCurve, b);

    // Only the horizontal through b: the y source moves into the x slot.
    const float horizontal[3] = {25.0f, 50.3f, 0.0f};
    ASSERT_TRUE(SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, horizontal, kTol, false, false));
    EXPECT_EQ(snap.kind, kSketchSnapLine);
    EXPECT_FLOAT_EQ(snap.result.x, 25.0f);
    EXPECT_FLOAT_EQ(snap.result.y, 50.0f);
    EXPECT_EQ(snap.xSourceCurve, b);

    // Away from every point, near the origin's axes: x = 0 applies.
    const float axis[3] = {0.2f, 80.0f, 0.0f};
    ASSERT_TRUE(SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, axis, kTol, false, false));
    EXPECT_EQ(snap.kind, kSketchSnapLine);
    EXPECT_EQ(snap.result.x, 0.0f);
    EXPECT_FLOAT_EQ(snap.result.y, 80.0f);
    EXPECT_EQ(snap.xSourceCurve, nullptr);
}

TEST(SketchSnapAlignment, TheReferencePointAlignsFirst)
{
    ST_TSketch<Dezaz_Wire> sketch;
    AddLine(sketch, 70.3, 20, 90, 30);
    stSketchSnap snap = ActiveSnap();
    const float reference[3] = {70.0f, -40.0f, 0.0f};
    snap.SetReferencePoint(reference);
    // Equally far in x from the reference and the curve point: the
    // reference, offered first, keeps it.
    const float cursor[3] = {70.15f, 5.0f, 0.0f};
    ASSERT_TRUE(SnapToAlignment(snap, &sketch, cursor, false, kTol, kSnapExceptNone));
    EXPECT_FLOAT_EQ(snap.result.x, 70.0f);
    EXPECT_EQ(snap.xSourceCurve, nullptr);
    const float closer[3] = {70.2f, 5.0f, 0.0f};
    ASSERT_TRUE(SnapToAlignment(snap, &sketch, closer, false, kTol, kSnapExceptNone));
    EXPECT_FLOAT_EQ(snap.result.x, 70.3f);
}

TEST(SketchSnapTangent, ExtensionOfALineEndAndIntersections)
{
    ST_TSketch<Dezaz_Wire> sketch;
    // A 30-degree line whose extension beyond (20, 10) runs far from every point.
    const double c = std::cos(3.14159265358979 / 6), s = std::sin(3.14159265358979 / 6);
    auto* slanted = AddLine(sketch, 20 - 10 * c, 10 - 10 * s, 20, 10);
    stSketchSnap snap = ActiveSnap();
    const float onExtension[3] = {float(20 + 30 * c + 0.2 * s), float(10 + 30 * s - 0.2 * c), 0.0f};
    ASSERT_TRUE(SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, onExtension, kTol, false, false));
    EXPECT_EQ(snap.kind, kSketchSnapLine);
    EXPECT_NEAR(snap.result.x, 20 + 30 * c, 1e-4);
    EXPECT_NEAR(snap.result.y, 10 + 30 * s, 1e-4);
    EXPECT_EQ(snap.xSourceCurve, slanted);

    // A horizontal line whose own extension crosses the slanted one's:
    // near the crossing, the crossing wins.
    ST_TSketch<Dezaz_Wire> crossing;
    AddLine(crossing, 20 - 10 * c, 10 - 10 * s, 20, 10);
    AddLine(crossing, 100, 40, 120, 40);
    // The slanted line reaches y = 40 at x = 20 + 30 / tan 30.
    const double xCross = 20 + 30 / std::tan(3.14159265358979 / 6);
    const float nearCross[3] = {float(xCross + 0.1), 40.2f, 0.0f};
    ASSERT_TRUE(SnapSketchPoint(snap, &crossing, kSnapExceptNone, false, nearCross, kTol, false, false));
    EXPECT_EQ(snap.kind, kSketchSnapIntersection);
    EXPECT_NEAR(snap.result.x, xCross, 1e-3);
    EXPECT_NEAR(snap.result.y, 40.0, 1e-3);
}

TEST(SketchSnapTangent, NoCrossingWithinThreeDegreesOfParallel)
{
    auto crossingKind = [](double degrees) {
        ST_TSketch<Dezaz_Wire> sketch;
        // Horizontal line y = 0 from 100 to 120 (its extension runs along y = 0)...
        AddLine(sketch, 100, 0.0, 120, 0.0);
        // ...and a line at `degrees` through (0, 0.1)... ending at the crossing's far side.
        const double a = degrees * 3.14159265358979 / 180.0;
        AddLine(sketch, -30 - 10 * std::cos(a), 5 - 10 * std::sin(a), -30, 5);
        stSketchSnap snap = ActiveSnap();
        const double xCross = -30 - 5 / std::tan(a);
        const float cursor[3] = {float(xCross), 0.1f, 0.0f};
        SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, cursor, 0.45, false, false);
        return snap.kind;
    };
    // The cursor lies near y = 0 (the x axis alignment of the origin, kind 6);
    // a second line crossing at 4 degrees makes it kind 7, at 2 degrees not.
    EXPECT_EQ(crossingKind(4.0), kSketchSnapIntersection);
    EXPECT_EQ(crossingKind(2.0), kSketchSnapLine);
}

TEST(SketchSnapTangent, ReferenceDirectionIsALine)
{
    ST_TSketch<Dezaz_Wire> sketch;
    stSketchSnap snap = ActiveSnap();
    const float reference[3] = {50.0f, 50.0f, 0.0f};
    const float direction[3] = {0.6f, 0.8f, 0.0f};
    snap.SetReferencePoint(reference);
    snap.SetReferenceDirection(direction);
    const float cursor[3] = {50.0f + 30.0f + 0.16f, 50.0f + 40.0f - 0.12f, 0.0f};
    ASSERT_TRUE(SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, cursor, kTol, false, false));
    EXPECT_EQ(snap.kind, kSketchSnapLine);
    EXPECT_NEAR(snap.result.x, 80.0, 1e-4);
    EXPECT_NEAR(snap.result.y, 90.0, 1e-4);
}

TEST(SketchSnapSwitch, AltInvertsTheSettingAndForceIgnoresBoth)
{
    ST_TSketch<Dezaz_Wire> sketch;
    AddLine(sketch, 10, 10, 20, 10);
    const float cursor[3] = {20.1f, 10.1f, 0.0f};
    stSketchSnap snap;
    snap.enabled = 1;
    win32::InjectKey(VK_MENU, true);
    EXPECT_FALSE(SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, cursor, kTol, false, false));
    EXPECT_TRUE(SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, cursor, kTol, true, true));
    snap.enabled = 0;
    EXPECT_TRUE(SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, cursor, kTol, false, false));
    win32::InjectKey(VK_MENU, false);
    EXPECT_FALSE(SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, cursor, kTol, false, false));
    EXPECT_EQ(snap.kind, kSketchSnapNone);
    EXPECT_TRUE(SnapSketchPoint(snap, &sketch, kSnapExceptNone, false, cursor, kTol, true, false));
}

TEST(SketchLineStepping, LengthIsCutToTheStepAlongTheSameDirection)
{
    const float start[3] = {5.0f, 5.0f, 0.0f};
    float end[3] = {float(5 + 37.2 * 0.6), float(5 + 37.2 * 0.8), 0.0f};
    ASSERT_TRUE(StepLineLength(start, end, 10.0));
    EXPECT_NEAR(end[0], 5 + 30 * 0.6, 1e-4);
    EXPECT_NEAR(end[1], 5 + 30 * 0.8, 1e-4);
    // Shorter than one step: one step, never a collapsed end.
    float shortEnd[3] = {5.0f, 12.0f, 0.0f};
    ASSERT_TRUE(StepLineLength(start, shortEnd, 10.0));
    EXPECT_NEAR(shortEnd[1], 15.0, 1e-5);
    EXPECT_EQ(shortEnd[0], 5.0f);
    float same[3] = {start[0], start[1], 0.0f};
    EXPECT_FALSE(StepLineLength(start, same, 10.0));
    EXPECT_FALSE(StepLineLength(start, end, 0.0));
    EXPECT_FALSE(StepLineLength(start, end, std::nan("")));
}

TEST(SketchLineStepping, AngleIsCutToTheStepKeepingLengthAndQuadrant)
{
    const float start[3] = {1.0f, 2.0f, 0.0f};
    const double a = 44.0 * 3.14159265358979 / 180.0;
    float end[3] = {float(1 - 20 * std::cos(a)), float(2 - 20 * std::sin(a)), 0.0f};
    float direction[3];
    ASSERT_TRUE(StepLineAngle(start, end, 10.0, direction));
    const double b = 40.0 * 3.14159265358979 / 180.0;
    EXPECT_NEAR(end[0], 1 - 20 * std::cos(b), 1e-4);
    EXPECT_NEAR(end[1], 2 - 20 * std::sin(b), 1e-4);
    EXPECT_NEAR(direction[0], -std::cos(b), 1e-6);
    EXPECT_NEAR(direction[1], -std::sin(b), 1e-6);
}

TEST(SketchLineStepping, VerticalLinesStayVertical)
{
    for (double sign : {1.0, -1.0})
    {
        const float start[3] = {3.0f, 4.0f, 0.0f};
        float end[3] = {3.0f, float(4 + sign * 12.5), 0.0f};
        float direction[3];
        ASSERT_TRUE(StepLineAngle(start, end, 10.0, direction));
        EXPECT_EQ(direction[0], 0.0f);
        EXPECT_EQ(direction[1], float(sign));
        EXPECT_EQ(end[0], 3.0f);
        EXPECT_NEAR(end[1], 4 + sign * 12.5, 1e-5);
    }
    // A line of no length has no angle.
    {
        const float start[3] = {3.0f, 4.0f, 0.0f};
        float end[3] = {3.0f, 4.0f, 0.0f};
        float direction[3] = {9.0f, 9.0f, 9.0f};
        EXPECT_FALSE(StepLineAngle(start, end, 10.0, direction));
        EXPECT_EQ(direction[0], 9.0f);
    }
    // A step that does not divide 90 never passes the vertical.
    const float start[3] = {0.0f, 0.0f, 0.0f};
    float end[3] = {0.0f, 7.0f, 0.0f};
    float direction[3];
    ASSERT_TRUE(StepLineAngle(start, end, 25.0, direction));
    EXPECT_NEAR(FoldedLineAngle(start, end) * 180 / 3.14159265358979, 75.0, 1e-4);
}

TEST(SketchLineStepping, LengthStepsOnlyWithoutSnapOrOnTheStartsOwnAlignment)
{
    stSketchSnap snap;
    const float start[3] = {10.0f, 10.0f, 0.0f};
    EXPECT_TRUE(ShouldStepLineLength(snap, start));
    snap.kind = kSketchSnapPoint;
    EXPECT_FALSE(ShouldStepLineLength(snap, start));
    snap.kind = kSketchSnapLine;
    snap.xSource.x = 10.05f;
    snap.xSource.y = 10.0f;
    snap.result.x = 40.0f;
    snap.result.y = 30.0f;
    EXPECT_TRUE(ShouldStepLineLength(snap, start));
    snap.xSource.x = 50.0f;
    EXPECT_FALSE(ShouldStepLineLength(snap, start));
    snap.result.y = 10.005f;
    EXPECT_TRUE(ShouldStepLineLength(snap, start));
}

TEST(IntersectLines3d, CrossingAndParallelLines)
{
    const double p[3] = {0, 0, 0}, d[3] = {1, 0, 0}, q[3] = {5, -3, 0}, e[3] = {0, 1, 0};
    double a[3], b[3];
    ASSERT_TRUE(IntersectLines3d(p, d, q, e, a, b));
    EXPECT_DOUBLE_EQ(a[0], 5.0);
    EXPECT_DOUBLE_EQ(a[1], 0.0);
    EXPECT_DOUBLE_EQ(b[0], 5.0);
    const double f[3] = {2, 0, 0};
    EXPECT_FALSE(IntersectLines3d(p, d, q, f, a, b));
    // Skew lines: the x axis and the line through (4, 1, 1) along z.
    const double r[3] = {4, 1, 1}, z[3] = {0, 0, 3};
    ASSERT_TRUE(IntersectLines3d(p, d, r, z, a, b));
    EXPECT_DOUBLE_EQ(a[0], 4.0);
    EXPECT_DOUBLE_EQ(a[2], 0.0);
    EXPECT_DOUBLE_EQ(b[1], 1.0);
    EXPECT_DOUBLE_EQ(b[2], 0.0);
}

TEST(SketchLabels, StepsRoundUpByATenthAndLongTextsAreCut)
{
    wchar_t out[32];
    FormatRadiusLabel(out, 0, 29.97, 10.0);
    EXPECT_EQ(std::wstring(out), L"R:30");
    FormatRadiusLabel(out, 0, 40.0, 10.0);
    EXPECT_EQ(std::wstring(out), L"R:40");
    FormatRadiusLabel(out, 2, 1.2345, 0.01);
    EXPECT_EQ(std::wstring(out), L"R:1.24");
    FormatRadiusLabel(out, -1, 2.5, 10.0);
    EXPECT_EQ(std::wstring(out), L"R:2.50000");
    FormatAngleLabel(out, 0, 3.14159265358979 / 4, false, 10.0, L"mm");
    EXPECT_EQ(std::wstring(out), L"< 45 \u00B0");
    FormatAngleLabel(out, 1, 12.34, true, 0.1, L"mm");
    EXPECT_EQ(std::wstring(out), L"12.3 mm");
    FormatAngleLabel(out, 1, 12.29999, true, 0.1, L"mm");
    EXPECT_EQ(std::wstring(out), L"12.3 mm");
    // A huge value with a long unit name stays inside the buffer.
    FormatAngleLabel(out, -1, 1e300, true, 0.0, L"very long unit name of the document");
    EXPECT_EQ(std::wstring(out).size(), 31u);
}
