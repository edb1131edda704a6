// The arc profile's ends, and the end arcs of a chain: lengthened or
// shortened along the arc's own circle (a push along the end tangents leaves
// it and the arc rebuilt through the pushed ends is of another radius),
// never past closing the arc or past its mid point; and an arc fitted
// through sections with a few spikes.
#include "shapes/arc_section_curve.h"
#include "shapes/combo_section_curve.h"
#include "shapes/revolved_surface.h"

#include "core/frame_math.h"
#include "shapes/section_curve_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

constexpr double kPi = 3.14159265358979323846;
using Sections = tPolylineCollection<tFramePolyline<cVertex>>;

double AngleOf(const double centre[3], const double p[3])
{
    return std::atan2(p[1] - centre[1], p[0] - centre[0]);
}

double RadiusOfWire(const ST_TArcCurve<Dezaz_Wire>& arc)
{
    double centre[3];
    return CircumradiusOf3Points(arc.cachedStart, arc.cachedMid, arc.cachedEnd, centre);
}

void PointAt(double cx, double cy, double r, double degrees, double p[3])
{
    p[0] = cx + r * std::cos(degrees * kPi / 180.0);
    p[1] = cy + r * std::sin(degrees * kPi / 180.0);
    p[2] = 0.0;
}

// Points of the circle over [from, to] degrees in a frame far out; every
// `spikeEvery`-th point (0: none) pushed `spike` outwards.
Sections ArcSection(const double frame[12], double cx, double cy, double r, double from, double to, int count,
                    int spikeEvery, double spike)
{
    Sections sections;
    tFramePolyline<cVertex>& s = *sections.Add(tFramePolyline<cVertex>());
    std::copy(frame, frame + 12, s.frame);
    for (int i = 0; i < count; ++i)
    {
        const double a = (from + (to - from) * i / (count - 1)) * kPi / 180.0;
        const double rr = r + (spikeEvery > 0 && i % spikeEvery == spikeEvery / 2 ? spike : 0.0);
        const double local[3] = {cx + rr * std::cos(a), cy + rr * std::sin(a), 0.0};
        double w[3];
        for (int row = 0; row < 3; ++row)
            w[row] = frame[4 * row] * local[0] + frame[4 * row + 1] * local[1] + frame[4 * row + 2] * local[2] +
                     frame[4 * row + 3];
        s.AddPoint3d(w);
    }
    return sections;
}

} // namespace

TEST(ArcEnds, LengthenAlongTheCircleByHalfTheChordEitherWayTheArcRuns)
{
    double frame[12];
    MakeIdentity3x4(frame);
    for (const bool clockwise : {false, true})
    {
        // A quarter of the circle of radius 12 about (3, -4).
        double s[3], m[3], e[3];
        PointAt(3, -4, 12, clockwise ? 100 : 10, s);
        PointAt(3, -4, 12, 55, m);
        PointAt(3, -4, 12, clockwise ? 10 : 100, e);
        ST_TArcCurve<Dezaz_Wire> arc;
        ASSERT_TRUE(arc.SetArcFromPoints(s, m, e, frame, 1.0f, false));
        EXPECT_NEAR(RadiusOfWire(arc), 12.0, 1e-9) << clockwise;
        // Half the chord (12 sqrt 2 / 2) more along the circle at each end.
        const double turn = (0.5 * 12.0 * std::sqrt(2.0)) / 12.0 * 180.0 / kPi;
        const double centre[3] = {3, -4, 0};
        const double startDeg = AngleOf(centre, arc.cachedStart) * 180.0 / kPi;
        const double endDeg = AngleOf(centre, arc.cachedEnd) * 180.0 / kPi;
        EXPECT_NEAR(startDeg, clockwise ? 100 + turn : 10 - turn, 1e-4) << clockwise;
        EXPECT_NEAR(endDeg, clockwise ? 10 - turn : 100 + turn, 1e-4) << clockwise;
        EXPECT_NEAR(arc.GetWire()->GetLength(), 12.0 * (kPi / 2 + 2 * turn * kPi / 180.0), 1e-3);

        // By hand: 3 more at the start, then 2 back at the end.
        ASSERT_TRUE(arc.ExtendStart(3.0, true));
        EXPECT_NEAR(AngleOf(centre, arc.cachedStart) * 180.0 / kPi,
                    clockwise ? 100 + turn + 3.0 / 12.0 * 180 / kPi : 10 - turn - 3.0 / 12.0 * 180 / kPi, 1e-4);
        ASSERT_TRUE(arc.ExtendEnd(-2.0, true));
        EXPECT_NEAR(AngleOf(centre, arc.cachedEnd) * 180.0 / kPi,
                    clockwise ? 10 - turn + 2.0 / 12.0 * 180 / kPi : 100 + turn - 2.0 / 12.0 * 180 / kPi, 1e-4);
        EXPECT_NEAR(RadiusOfWire(arc), 12.0, 1e-9);
    }
}

TEST(ArcEnds, NeverCloseTheArcNorRunPastItsMiddle)
{
    double frame[12];
    MakeIdentity3x4(frame);
    // 300 degrees of the unit circle: a gap of 60 degrees, a quarter of it
    // (15 degrees) at most at each end.
    double s[3], m[3], e[3];
    PointAt(0, 0, 5, 30, s);
    PointAt(0, 0, 5, 180, m);
    PointAt(0, 0, 5, 330, e);
    ST_TArcCurve<Dezaz_Wire> arc;
    ASSERT_TRUE(arc.SetArcFromPoints(s, m, e, frame, 4.0f, false));
    EXPECT_FALSE(arc.IsClosed());
    const double centre[3] = {0, 0, 0};
    EXPECT_NEAR(AngleOf(centre, arc.cachedStart) * 180.0 / kPi, 15.0, 1e-6);
    EXPECT_NEAR(AngleOf(centre, arc.cachedEnd) * 180.0 / kPi, -15.0, 1e-6);
    // Shortened by more than the whole arc: the start stops short of the
    // mid point, on the same side.
    ASSERT_TRUE(arc.ExtendStart(-100.0, true));
    const double startDeg = AngleOf(centre, arc.cachedStart) * 180.0 / kPi;
    EXPECT_GT(startDeg, 15.0);
    EXPECT_LT(startDeg, 180.0);
    EXPECT_NEAR(startDeg, 15.0 + 0.9 * 165.0, 1e-6);
    EXPECT_NEAR(RadiusOfWire(arc), 5.0, 1e-9);
}

TEST(ArcEnds, AFewSpikesDoNotPullTheFittedCircle)
{
    double frame[12];
    MakeIdentity3x4(frame);
    const double axis[3] = {0.3, -0.4, 0.866}, origin[3] = {800.0, 250.0, -90.0}, reference[3] = {1, 0, 0};
    MakeFrame3x4(frame, origin, axis, reference);
    for (const int spikes : {0, 25})
    {
        const Sections sections = ArcSection(frame, 4.0, 2.0, 12.0, 200.0, 300.0, 200, spikes, 1.5);
        ST_TArcCurve<Dezaz_Wire> arc;
        ASSERT_TRUE(arc.RebuildWire(frame, sections, 0.0f, nullptr));
        EXPECT_NEAR(arc.Radius(), 12.0, 1e-3) << spikes;
        EXPECT_NEAR(arc.Centre()[0], 4.0, 1e-3) << spikes;
        EXPECT_NEAR(arc.Centre()[1], 2.0, 1e-3) << spikes;
    }
}

TEST(ArcEnds, AChainsEndArcsAreLengthenedAlongTheirCircles)
{
    // A quarter arc about (0, 0), a line, a quarter arc about (10, 0), all of
    // radius 5, in a frame far out.
    double frame[12];
    const double axis[3] = {-0.2, 0.6, 0.77}, origin[3] = {-300.0, 640.0, 75.0}, reference[3] = {0, 0, 1};
    MakeFrame3x4(frame, origin, axis, reference);
    Sections sections;
    tFramePolyline<cVertex>& s = *sections.Add(tFramePolyline<cVertex>());
    std::copy(frame, frame + 12, s.frame);
    const auto add = [&](double x, double y) {
        double w[3];
        for (int row = 0; row < 3; ++row)
            w[row] = frame[4 * row] * x + frame[4 * row + 1] * y + frame[4 * row + 3];
        s.AddPoint3d(w);
    };
    for (int i = 0; i < 40; ++i) // indices 0 .. 39, ending at (0, -5)
        add(5.0 * std::cos(kPi * (1.0 + 0.5 * i / 39)), 5.0 * std::sin(kPi * (1.0 + 0.5 * i / 39)));
    for (int i = 1; i < 60; ++i) // 40 .. 98, ending at (10, -5)
        add(10.0 * i / 59, -5.0);
    for (int i = 1; i < 40; ++i) // 99 .. 137, ending at (15, 0)
        add(10.0 + 5.0 * std::cos(kPi * (1.5 + 0.5 * i / 39)), 5.0 * std::sin(kPi * (1.5 + 0.5 * i / 39)));
    ST_TComboCurve<Dezaz_Wire> combo;
    combo.SetMergeMode(0);
    ASSERT_TRUE(combo.RebuildWire(frame, sections, 1.0f, nullptr));
    ASSERT_TRUE(combo.InsertJoint(39, {0.0f, -5.0f, 0.0f}));
    ASSERT_TRUE(combo.InsertJoint(98, {10.0f, -5.0f, 0.0f}));
    ASSERT_EQ(combo.GetSegmentCount(), 3u);
    ASSERT_TRUE(combo.HasValidWire());
    const t3DPoint<double> start = combo.GetLocalStartPoint(), end = combo.GetLocalEndPoint();
    EXPECT_NEAR(std::hypot(start.x, start.y), 5.0, 1e-4);
    EXPECT_NEAR(std::hypot(end.x - 10.0, end.y), 5.0, 1e-4);
    // Lengthened past the section's ends, (-5, 0) and (15, 0), by about a
    // millimetre or more (the joint edits re-apply the chain's extension).
    EXPECT_GT(std::atan2(start.y, start.x), 0.5 * kPi);
    EXPECT_LT(std::atan2(start.y, start.x), kPi - 0.2);
    EXPECT_GT(std::atan2(end.y, end.x - 10.0), 0.2);
    EXPECT_LT(std::atan2(end.y, end.x - 10.0), 0.5 * kPi);
}

TEST(ArcEnds, AChainsEndArcStopsShortOfClosingItsCircle)
{
    // A line onto 300 degrees of the circle of radius 5 about (3, -2):
    // the arc's gap is 60 degrees, so its end moves by at most 15 however
    // far it is lengthened.
    double frame[12];
    MakeIdentity3x4(frame);
    Sections sections;
    tFramePolyline<cVertex>& s = *sections.Add(tFramePolyline<cVertex>());
    std::copy(frame, frame + 12, s.frame);
    for (int i = 0; i < 40; ++i) // indices 0 .. 39, ending at (0, -5)
    {
        const double p[3] = {3.0 - 10.0 + 10.0 * i / 39, -2.0 - 5.0, 0.0};
        s.AddPoint3d(p);
    }
    for (int i = 1; i <= 100; ++i) // 40 .. 139, from 270 degrees on to 210
    {
        const double a = (270.0 + 300.0 * i / 100) * kPi / 180.0;
        const double p[3] = {3.0 + 5.0 * std::cos(a), -2.0 + 5.0 * std::sin(a), 0.0};
        s.AddPoint3d(p);
    }
    ST_TComboCurve<Dezaz_Wire> combo;
    combo.SetMergeMode(0);
    ASSERT_TRUE(combo.RebuildWire(frame, sections, 1.0f, nullptr));
    ASSERT_TRUE(combo.InsertJoint(39, {3.0f, -7.0f, 0.0f}));
    ASSERT_EQ(combo.GetSegmentCount(), 2u);
    ASSERT_TRUE(combo.HasValidWire());
    const t3DPoint<double> end = combo.GetLocalEndPoint();
    EXPECT_NEAR(std::hypot(end.x - 3.0, end.y + 2.0), 5.0, 1e-4);
    // Half the chord would be 2.5 (29 degrees); the cap is 15.
    double degrees = std::atan2(end.y + 2.0, end.x - 3.0) * 180.0 / kPi;
    if (degrees < 0.0)
        degrees += 360.0;
    EXPECT_NEAR(degrees, 225.0, 0.5);
}

TEST(ArcEnds, ARevolvedChainsEndHandlesSlideItsEndArcsAlongTheirCircles)
{
    // Arc, line, arc (radius 5 about (20, 0) and (30, 0)), all beside the
    // axis, in a frame 30 m out; the start and end handles dragged out 3,
    // back 2 and out 5.
    double frame[12];
    const double axis[3] = {0.3, -0.4, 0.866}, origin[3] = {30000.0, -250.0, 90.0}, reference[3] = {1, 0, 0};
    MakeFrame3x4(frame, origin, axis, reference);
    Sections sections;
    tFramePolyline<cVertex>& s = *sections.Add(tFramePolyline<cVertex>());
    std::copy(frame, frame + 12, s.frame);
    const auto add = [&](double x, double y) {
        double w[3];
        for (int row = 0; row < 3; ++row)
            w[row] = frame[4 * row] * x + frame[4 * row + 1] * y + frame[4 * row + 3];
        s.AddPoint3d(w);
    };
    for (int i = 0; i < 40; ++i)
        add(20.0 + 5.0 * std::cos(kPi * (1.0 + 0.5 * i / 39)), 5.0 * std::sin(kPi * (1.0 + 0.5 * i / 39)));
    for (int i = 1; i < 60; ++i)
        add(20.0 + 10.0 * i / 59, -5.0);
    for (int i = 1; i < 40; ++i)
        add(30.0 + 5.0 * std::cos(kPi * (1.5 + 0.5 * i / 39)), 5.0 * std::sin(kPi * (1.5 + 0.5 * i / 39)));
    ST_TComboCurve<Dezaz_Wire> combo;
    combo.SetMergeMode(0);
    ASSERT_TRUE(combo.RebuildWire(frame, sections, 1.0f, nullptr));
    ASSERT_TRUE(combo.InsertJoint(39, {20.0f, -5.0f, 0.0f}));
    ASSERT_TRUE(combo.InsertJoint(98, {30.0f, -5.0f, 0.0f}));
    Dezaz_Revolved surface;
    ASSERT_TRUE(surface.SetProfile(&combo, 1));
    ASSERT_EQ(surface.GetHandleCount(), 3);
    const ST_ISectionCurve& profile = *surface.GetProfileCurve();
    double length = profile.GetWire()->GetLength();
    for (const double d : {3.0, -2.0, 5.0})
    {
        surface.MoveHandle(0, d);
        surface.MoveHandle(1, d);
        ASSERT_TRUE(profile.HasValidWire()) << d;
        const t3DPoint<double> start = profile.GetLocalStartPoint(), end = profile.GetLocalEndPoint();
        // On their circles (the scan's float points 30 m out fit them
        // within 4e-4; 3 drags pushed along the tangents made radii 8.43 and
        // 8.40), each end moved by the dragged length along its arc.
        EXPECT_NEAR(std::hypot(start.x - 20.0, start.y), 5.0, 1e-3) << d;
        EXPECT_NEAR(std::hypot(end.x - 30.0, end.y), 5.0, 1e-3) << d;
        EXPECT_NEAR(profile.GetWire()->GetLength(), length + 2.0 * d, 1e-3) << d;
        length = profile.GetWire()->GetLength();
    }
    // Dragged back past its whole arc, the start stops short of the arc's
    // interior point, on its circle.
    const auto* chain = dynamic_cast<const ST_TComboCurve<Dezaz_Wire>*>(&profile);
    ASSERT_NE(chain, nullptr);
    const t3DPoint<double> from = profile.GetLocalStartPoint(), interior = *chain->Segments().front().GetVertex(2);
    // Angles about the arc's centre, counter-clockwise from the start.
    const auto turnFrom = [&from](const t3DPoint<double>& p) {
        const double a = std::atan2(p.y, p.x - 20.0) - std::atan2(from.y, from.x - 20.0);
        return a < 0.0 ? a + 2.0 * kPi : a;
    };
    surface.MoveHandle(0, -100.0);
    const t3DPoint<double> start = profile.GetLocalStartPoint();
    EXPECT_NEAR(std::hypot(start.x - 20.0, start.y), 5.0, 1e-3);
    EXPECT_NEAR(turnFrom(start), 0.9 * turnFrom(interior), 1e-3);
}
