// Section-curve records: the byte layout of every kind, round trips, the old
// spline layouts, and damaged records (cut short, false counts, unknown
// kinds, sketches nested without end) read through a profiled surface.
#include "shapes/arc_section_curve.h"
#include "shapes/combo_section_curve.h"
#include "shapes/line_section_curve.h"
#include "shapes/network_surface.h"
#include "shapes/section_curve_factory.h"
#include "shapes/section_curve_records.h"
#include "shapes/sketch_curve.h"
#include "shapes/spline_section_curve.h"
#include "shapes/tests/support/memory_stream.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

constexpr double kPi = 3.14159265358979323846;

template <class T> T At(const std::vector<std::uint8_t>& b, std::size_t offset)
{
    T v;
    std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
}

tPolylineCollection<tFramePolyline<cVertex>> Section(const std::vector<t3DPoint<double>>& points, double dx = 0)
{
    tPolylineCollection<tFramePolyline<cVertex>> sections;
    tFramePolyline<cVertex>& s = *sections.Add(tFramePolyline<cVertex>());
    s.frame[3] = dx;
    for (const t3DPoint<double>& p : points)
    {
        const double w[3] = {p.x + dx, p.y, p.z};
        s.AddPoint3d(w);
    }
    return sections;
}

std::vector<t3DPoint<double>> Arc(double cx, double cy, double r, double a0, double a1, int n)
{
    std::vector<t3DPoint<double>> points;
    for (int i = 0; i < n; ++i)
    {
        const double a = (a0 + (a1 - a0) * i / (n - 1)) * kPi / 180;
        points.push_back({cx + r * std::cos(a), cy + r * std::sin(a), 0});
    }
    return points;
}

std::vector<t3DPoint<double>> Straight(t3DPoint<double> a, t3DPoint<double> b, int n)
{
    std::vector<t3DPoint<double>> points;
    for (int i = 0; i < n; ++i)
    {
        const double t = static_cast<double>(i) / (n - 1);
        points.push_back({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), 0});
    }
    return points;
}

std::vector<std::uint8_t> Bytes(const ST_ISectionCurve& curve)
{
    cTestMemoryStream stream;
    EXPECT_TRUE(curve.Write(stream));
    return stream.bytes;
}

std::unique_ptr<ST_ISectionCurve> ReadBack(const std::vector<std::uint8_t>& bytes, std::uint32_t minor = 7)
{
    cTestMemoryStream stream(bytes);
    cRecordReader reader(stream);
    std::unique_ptr<ST_ISectionCurve> curve = ReadSectionCurveRecord(reader, 0, minor);
    if (curve)
    {
        EXPECT_EQ(stream.at, bytes.size()) << "a record is read to its last byte";
    }
    return curve;
}

std::unique_ptr<ST_ISectionCurve> MakeLine()
{
    double frame[12];
    MakeIdentity3x4(frame);
    auto line = std::make_unique<ST_TLineCurve<Dezaz_Wire>>();
    EXPECT_TRUE(line->RebuildWire(frame, Section(Straight({0, 0, 0}, {3, 4, 0}, 4)), 0.0f, nullptr));
    return line;
}

std::unique_ptr<ST_ISectionCurve> MakeSpline()
{
    double frame[12];
    MakeIdentity3x4(frame);
    frame[3] = 2.0;
    auto spline = std::make_unique<ST_TSplineCurve<Dezaz_Wire>>();
    EXPECT_TRUE(spline->RebuildWire(frame, Section(Arc(0, 0, 5, 0, 120, 30), 2.0), 0.0f, nullptr));
    spline->ApplySmoothing(4.0f);
    return spline;
}

// Three lines and two arcs: a slot-like profile.
std::vector<t3DPoint<double>> SlotProfile()
{
    std::vector<t3DPoint<double>> p = Straight({0, 0, 0}, {10, 0, 0}, 40);
    auto append = [&p](const std::vector<t3DPoint<double>>& more) { p.insert(p.end(), more.begin() + 1, more.end()); };
    append(Arc(10, 4, 4, -90, 0, 30));
    append(Straight({14, 4, 0}, {14, 10, 0}, 30));
    append(Arc(18, 10, 4, 180, 90, 30));
    append(Straight({18, 14, 0}, {30, 14, 0}, 40));
    return p;
}

} // namespace

TEST(SectionCurveRecords, LineRecordIsTheClassIdAndTheSharedPart)
{
    std::unique_ptr<ST_ISectionCurve> line = MakeLine();
    line->SetId(42);
    line->sections.Clear();
    const std::vector<std::uint8_t> b = Bytes(*line);
    ASSERT_EQ(b.size(), 16u + kSectionCurveBaseSize);
    const std::uint8_t guid[16] = {0x5F, 0x34, 0xE6, 0x0D, 0x18, 0xFE, 0x58, 0x48,
                                   0x98, 0x6A, 0xCE, 0x6F, 0x2C, 0x0F, 0xA1, 0x57};
    EXPECT_EQ(std::memcmp(b.data(), guid, 16), 0);
    EXPECT_EQ(At<std::uint32_t>(b, 16), 0u);
    EXPECT_EQ(At<double>(b, 20), 1.0) << "frame row 0 starts with r00";
    EXPECT_EQ(At<double>(b, 20 + 8 * 5), 1.0);
    // Start, then end, then mid.
    EXPECT_NEAR(At<double>(b, 116), 0.0, 1e-6);
    EXPECT_NEAR(At<double>(b, 140), 3.0, 1e-6);
    EXPECT_NEAR(At<double>(b, 148), 4.0, 1e-6);
    EXPECT_NEAR(At<double>(b, 164), 1.5, 1e-6);
    EXPECT_EQ(At<std::uint32_t>(b, 188), 42u);
}

TEST(SectionCurveRecords, ArcAndSplineTailsFollowTheSharedPart)
{
    double frame[12];
    MakeIdentity3x4(frame);
    ST_TArcCurve<Dezaz_Wire> arc;
    const double s[3] = {2, 0, 0}, m[3] = {0, 2, 0}, e[3] = {-2, 0, 0};
    ASSERT_TRUE(arc.SetArcFromPoints(s, m, e, frame, 0.0f, false));
    std::vector<std::uint8_t> b = Bytes(arc);
    ASSERT_EQ(b.size(), 225u);
    EXPECT_NEAR(At<double>(b, 192), 0.0, 1e-12);
    EXPECT_NEAR(At<double>(b, 216), 2.0, 1e-12);
    EXPECT_EQ(b[224], 0u);
    std::unique_ptr<ST_ISectionCurve> back = ReadBack(b);
    ASSERT_TRUE(back);
    auto* arcBack = dynamic_cast<ST_TArcCurve<Dezaz_Wire>*>(back.get());
    ASSERT_NE(arcBack, nullptr);
    EXPECT_NEAR(arcBack->Radius(), 2.0, 1e-12);
    EXPECT_EQ(arcBack->GetDefiningPoints()->GetVertexCount(), 3u);
    EXPECT_NEAR(arcBack->GetWire()->GetLength(), 2 * kPi, 1e-6);

    ST_TArcCurve<Dezaz_Wire> unbuilt;
    cTestMemoryStream none;
    EXPECT_FALSE(unbuilt.Write(none)) << "an arc without a radius writes nothing";
    EXPECT_TRUE(none.bytes.empty());

    // A spline of two fit points and no interpolation points.
    ST_TSplineCurve<Dezaz_Wire> spline;
    tPolyline<cVertex> two;
    const double p0[3] = {0, 0, 0}, p1[3] = {1, 1, 0};
    two.AddPoint3d(p0);
    two.AddPoint3d(p1);
    ASSERT_TRUE(spline.SetSplineFromPolyline(two, frame, 0, false));
    b = Bytes(spline);
    const std::size_t tail = 16 + kSectionCurveBaseSize;
    ASSERT_EQ(b.size(), tail + 4 + 24 + 1 + 1 + 4 + 4 + 4 + 2 * 24);
    EXPECT_EQ(At<std::uint32_t>(b, tail), 2u);
    EXPECT_EQ(At<float>(b, tail + 16), 1.0f);
    EXPECT_EQ(At<std::uint32_t>(b, tail + 30), 3u) << "merge mode";
    EXPECT_EQ(At<std::uint32_t>(b, tail + 38), 2u) << "interpolation points";
}

TEST(SectionCurveRecords, EveryKindSurvivesWriteAndRead)
{
    std::unique_ptr<ST_ISectionCurve> spline = MakeSpline();
    const std::vector<std::uint8_t> b = Bytes(*spline);
    std::unique_ptr<ST_ISectionCurve> back = ReadBack(b);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetDefiningPoints()->vertices.size(), spline->GetDefiningPoints()->vertices.size());
    EXPECT_EQ(back->GetSmoothing(), 4.0f);
    EXPECT_NEAR(back->GetWire()->GetLength(), spline->GetWire()->GetLength(), 1e-9);
    EXPECT_EQ(back->frame[3], 2.0);
    EXPECT_EQ(Bytes(*back), b);

    // A sketch holding a line and a sketch with the spline.
    ST_TSketch<Dezaz_Wire> outer;
    outer.AddCurve(MakeLine().release());
    auto* inner = new ST_TSketch<Dezaz_Wire>;
    inner->AddCurve(MakeSpline().release());
    outer.AddCurve(inner);
    const std::vector<std::uint8_t> nested = Bytes(outer);
    // After the shared part: the count, then each sub-curve's whole record.
    EXPECT_EQ(At<std::uint32_t>(nested, 16 + kSectionCurveBaseSize), 2u);
    EXPECT_EQ(std::memcmp(nested.data() + 16 + kSectionCurveBaseSize + 4, Bytes(*MakeLine()).data(), 16), 0);
    std::unique_ptr<ST_ISectionCurve> nestedBack = ReadBack(nested);
    ASSERT_TRUE(nestedBack);
    ASSERT_EQ(nestedBack->GetSegmentCount(), 2u);
    ASSERT_EQ(nestedBack->GetSegment(1)->GetSegmentCount(), 1u);
    EXPECT_EQ(nestedBack->GetSegment(1)->GetSegment(0)->GetClassGuid(), CLSID_ST_TSplineCurve);
    EXPECT_EQ(Bytes(*nestedBack), nested);

    // An empty sketch reads back as one.
    ST_TSketch<Dezaz_Wire> empty;
    std::unique_ptr<ST_ISectionCurve> emptyBack = ReadBack(Bytes(empty));
    ASSERT_TRUE(emptyBack);
    EXPECT_EQ(emptyBack->GetSegmentCount(), 0u);
}

TEST(SectionCurveRecords, AComboOfThreeLinesAndTwoArcsSurvivesWriteReadAndRebuild)
{
    double frame[12];
    MakeIdentity3x4(frame);
    ST_TComboCurve<Dezaz_Wire> combo;
    combo.SetMergeMode(0);
    ASSERT_TRUE(combo.RebuildWire(frame, Section(SlotProfile()), 0.0f, nullptr));
    ASSERT_TRUE(combo.InsertJoint(39, {10, 0, 0}));
    ASSERT_TRUE(combo.InsertJoint(68, {14, 4, 0}));
    ASSERT_TRUE(combo.InsertJoint(97, {14, 10, 0}));
    ASSERT_TRUE(combo.InsertJoint(126, {18, 14, 0}));
    ASSERT_EQ(combo.GetSegmentCount(), 5u);
    const auto kinds = [](const ST_TComboCurve<Dezaz_Wire>& c) {
        std::vector<std::uint32_t> k;
        for (const tComboSegment& s : c.Segments())
            k.push_back(s.GetVertexCount());
        return k;
    };
    EXPECT_EQ(kinds(combo), (std::vector<std::uint32_t>{2, 5, 2, 5, 2}));

    const std::vector<std::uint8_t> b = Bytes(combo);
    // Tail: 6 joints (3 floats each), closed, edited, merge mode.
    const std::size_t sectionBytes = 4 + 96 + 12 * SlotProfile().size();
    const std::size_t tail = 16 + kSectionCurveBaseSize + sectionBytes;
    ASSERT_EQ(b.size(), tail + 4 + 6 * 12 + 1 + 1 + 4);
    EXPECT_EQ(At<std::uint32_t>(b, tail), 6u);
    EXPECT_EQ(At<float>(b, tail + 4), 0.0f);
    EXPECT_NEAR(At<float>(b, tail + 4 + 12), 10.0f, 0.05f);
    EXPECT_EQ(b[tail + 76], 0u) << "open";
    EXPECT_EQ(b[tail + 77], 1u) << "edited";
    EXPECT_EQ(At<std::uint32_t>(b, tail + 78), 0u) << "merge mode";
    std::unique_ptr<ST_ISectionCurve> back = ReadBack(b);
    ASSERT_TRUE(back);
    auto* comboBack = dynamic_cast<ST_TComboCurve<Dezaz_Wire>*>(back.get());
    ASSERT_NE(comboBack, nullptr);
    EXPECT_TRUE(comboBack->IsEdited());
    EXPECT_TRUE(comboBack->HasValidWire());
    EXPECT_EQ(kinds(*comboBack), kinds(combo));
    EXPECT_EQ(comboBack->GetWire()->GetSegmentCount(), 5u);
    for (std::uint32_t i = 1; i < 5; ++i)
        EXPECT_NEAR(comboBack->GetJointPoint(i).x, combo.GetJointPoint(i).x, 1e-6);
}

TEST(SectionCurveRecords, OldSplineLayoutsReadWithTheirVersion)
{
    std::unique_ptr<ST_ISectionCurve> spline = MakeSpline();
    std::vector<std::uint8_t> b = Bytes(*spline);
    // Version 0.4: the tail ends after the merge mode.
    const std::size_t base = b.size() - (4 + 4 + spline->GetDefiningPoints()->GetVertexCount() * 24);
    std::vector<std::uint8_t> old(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(base));
    std::unique_ptr<ST_ISectionCurve> back = ReadBack(old, 4);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetDefiningPoints()->GetVertexCount(), back->GetSectionPolyline()->GetVertexCount());
    EXPECT_EQ(back->GetSmoothing(), 0.0f);

    // Version 0.5: positions without directions.
    std::vector<std::uint8_t> five(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(base) + 4);
    const std::uint32_t count = 3;
    five.insert(five.end(), reinterpret_cast<const std::uint8_t*>(&count),
                reinterpret_cast<const std::uint8_t*>(&count) + 4);
    for (const float v : {0.f, 5.f, 0.f, 3.f, 4.f, 0.f, 0.f, 5.f, 0.f})
        five.insert(five.end(), reinterpret_cast<const std::uint8_t*>(&v), reinterpret_cast<const std::uint8_t*>(&v) + 4);
    back = ReadBack(five, 5);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetDefiningPoints()->GetVertexCount(), 3u);
}

TEST(SectionCurveRecords, EveryCutOfARecordFailsAndLeavesTheSurfaceProfile)
{
    ST_TSketch<Dezaz_Wire> sketch;
    sketch.AddCurve(MakeLine().release());
    sketch.AddCurve(MakeSpline().release());
    double frame[12];
    MakeIdentity3x4(frame);
    auto combo = std::make_unique<ST_TComboCurve<Dezaz_Wire>>();
    combo->SetMergeMode(0);
    ASSERT_TRUE(combo->RebuildWire(frame, Section(SlotProfile()), 0.0f, nullptr));
    sketch.AddCurve(combo.release());
    auto arc = std::make_unique<ST_TArcCurve<Dezaz_Wire>>();
    ASSERT_TRUE(arc->RebuildWire(frame, Section(Arc(1, 1, 3, 0, 100, 12)), 0.0f, nullptr));
    sketch.AddCurve(arc.release());
    const std::vector<std::uint8_t> full = Bytes(sketch);

    Dezaz_NetworkSurface surface;
    ASSERT_TRUE(surface.SetProfile(MakeLine().get(), 0));
    const ST_ISectionCurve* before = surface.GetProfileCurve();
    for (std::size_t cut = 0; cut < full.size(); cut += (cut < 400 ? 1 : 7))
    {
        cTestMemoryStream stream(std::vector<std::uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
        ASSERT_FALSE(ReadProfileCurveRecord(surface, stream, 0, 7)) << "cut at " << cut;
        ASSERT_EQ(surface.GetProfileCurve(), before);
    }
    cTestMemoryStream whole(full);
    ASSERT_TRUE(ReadProfileCurveRecord(surface, whole, 0, 7));
    EXPECT_EQ(surface.GetProfileCurve()->GetSegmentCount(), 4u);
}

TEST(SectionCurveRecords, FalseCountsUnknownKindsAndDeepSketchesAreRefused)
{
    // A line record claiming four billion polylines.
    std::vector<std::uint8_t> b = Bytes(*MakeLine());
    b[16] = b[17] = b[18] = b[19] = 0xFF;
    EXPECT_FALSE(ReadBack(b));

    // A sketch whose sub-curve names no kind.
    ST_TSketch<Dezaz_Wire> sketch;
    sketch.AddCurve(MakeLine().release());
    std::vector<std::uint8_t> s = Bytes(sketch);
    s[16 + kSectionCurveBaseSize + 4] ^= 0x55;
    EXPECT_FALSE(ReadBack(s));

    // Sketches nested deeper than the reader follows.
    std::vector<std::uint8_t> deep;
    const std::vector<std::uint8_t> emptySketch = Bytes(ST_TSketch<Dezaz_Wire>());
    for (std::uint32_t level = 0; level <= kMaxSketchDepth; ++level)
    {
        deep.insert(deep.end(), emptySketch.begin(), emptySketch.end() - 4);
        const std::uint32_t one = 1;
        deep.insert(deep.end(), reinterpret_cast<const std::uint8_t*>(&one),
                    reinterpret_cast<const std::uint8_t*>(&one) + 4);
    }
    deep.insert(deep.end(), emptySketch.begin(), emptySketch.end());
    EXPECT_FALSE(ReadBack(deep));
}

TEST(SectionCurveRecords, AComboRecordWithThousandsOfJointsOutOfOrderReadsAndKeepsThem)
{
    // 6,000 joints on 6,000 section vertices (150 kB): fitting every piece
    // over the whole section, or rebuilding the wire on every piece added,
    // would take minutes.
    const int n = 6000;
    double frame[12];
    MakeIdentity3x4(frame);
    ST_TComboCurve<Dezaz_Wire> combo;
    combo.SetMergeMode(0);
    ASSERT_TRUE(combo.RebuildWire(frame, Section(Arc(0, 0, 10, 0, 350, n)), 0.0f, nullptr));
    std::vector<std::uint8_t> b = Bytes(combo);
    // Replace the joints with ones that hop from one end of the section to the
    // other, so every other piece would span the whole section.
    b.resize(b.size() - 6 - 4 - 12 * combo.Joints().GetVertexCount());
    const auto put = [&b](const void* p, std::size_t size) {
        b.insert(b.end(), static_cast<const std::uint8_t*>(p), static_cast<const std::uint8_t*>(p) + size);
    };
    const std::uint32_t joints = static_cast<std::uint32_t>(n);
    put(&joints, 4);
    for (std::uint32_t i = 0; i < joints; ++i)
    {
        const double a = (i % 2 ? 1.0 : 349.0) * kPi / 180;
        const float p[3] = {static_cast<float>(10 * std::cos(a)), static_cast<float>(10 * std::sin(a)), 0.0f};
        put(p, sizeof p);
    }
    const std::uint8_t closed = 1, edited = 1;
    const std::uint32_t merge = 0;
    put(&closed, 1);
    put(&edited, 1);
    put(&merge, 4);
    std::unique_ptr<ST_ISectionCurve> back = ReadBack(b);
    ASSERT_NE(back, nullptr);
    const auto* read = dynamic_cast<const ST_TComboCurve<Dezaz_Wire>*>(back.get());
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Joints().GetVertexCount(), joints) << "the stored joints are all kept";
}

TEST(SectionCurveRecords, AChainsEndArcsKeepTheirLengthThroughReopensAndRefits)
{
    // Quarter arcs of radius 5 at both ends of a line, joints edited: each
    // reopen (and each refit from the same sections) took 0.009 off the
    // chain, a little more every time.
    double frame[12];
    MakeIdentity3x4(frame);
    std::vector<t3DPoint<double>> points = Arc(0, 0, 5, 180, 270, 40);
    const auto append = [&points](const std::vector<t3DPoint<double>>& more) {
        points.insert(points.end(), more.begin() + 1, more.end());
    };
    append(Straight({0, -5, 0}, {10, -5, 0}, 60));
    append(Arc(10, 0, 5, 270, 360, 40));
    ST_TComboCurve<Dezaz_Wire> combo;
    combo.SetMergeMode(0);
    ASSERT_TRUE(combo.RebuildWire(frame, Section(points), 1.0f, nullptr));
    ASSERT_TRUE(combo.InsertJoint(39, {0, -5, 0}));
    ASSERT_TRUE(combo.InsertJoint(98, {10, -5, 0}));
    const double length = combo.GetWire()->GetLength();
    std::unique_ptr<ST_ISectionCurve> curve = ReadBack(Bytes(combo));
    for (int reopen = 0; curve && reopen < 3; ++reopen)
        curve = ReadBack(Bytes(*curve));
    ASSERT_TRUE(curve);
    ASSERT_TRUE(curve->HasValidWire());
    EXPECT_NEAR(curve->GetWire()->GetLength(), length, 1e-6);
    double own[12];
    std::copy(curve->frame, curve->frame + 12, own);
    const tPolylineCollection<tFramePolyline<cVertex>> sections = curve->sections;
    ASSERT_TRUE(curve->RebuildWire(own, sections, 1.0f, nullptr));
    EXPECT_NEAR(curve->GetWire()->GetLength(), length, 1e-6);
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_NEAR(curve->cachedStart[k], combo.cachedStart[k], 1e-6) << k;
        EXPECT_NEAR(curve->cachedEnd[k], combo.cachedEnd[k], 1e-6) << k;
    }
}

TEST(SectionCurveRecords, AnEditedChainRefittedInAFrameMovedAlongTheAxisKeepsItsPieces)
{
    // The slot's five pieces, then a refit (as a revolved Rebuild on a
    // wider region hands it) of the same points in a frame whose origin
    // moved 7 along the axis: the joints were taken in the old frame's
    // numbers, each landed on another piece (arc, line, line, line, line)
    // and the fit's RMS went from 1.6e-7 to 0.39.
    double frame[12];
    MakeIdentity3x4(frame);
    ST_TComboCurve<Dezaz_Wire> combo;
    combo.SetMergeMode(0);
    ASSERT_TRUE(combo.RebuildWire(frame, Section(SlotProfile()), 1.0f, nullptr));
    ASSERT_TRUE(combo.InsertJoint(39, {10, 0, 0}));
    ASSERT_TRUE(combo.InsertJoint(68, {14, 4, 0}));
    ASSERT_TRUE(combo.InsertJoint(97, {14, 10, 0}));
    ASSERT_TRUE(combo.InsertJoint(126, {18, 14, 0}));
    double moved[12];
    MakeIdentity3x4(moved);
    moved[3] = -3.0; // and 3 across it
    moved[7] = 7.0;
    tPolylineCollection<tFramePolyline<cVertex>> sections;
    tFramePolyline<cVertex>& s = *sections.Add(tFramePolyline<cVertex>());
    std::copy(moved, moved + 12, s.frame);
    for (const t3DPoint<double>& p : SlotProfile())
    {
        const double w[3] = {p.x, p.y, 0.0};
        s.AddPoint3d(w);
    }
    ST_TComboCurve<Dezaz_Wire> refit;
    refit.Assign(combo);
    ASSERT_TRUE(refit.RebuildWire(moved, sections, 1.0f, nullptr));
    std::vector<std::uint32_t> kinds;
    for (const tComboSegment& piece : refit.Segments())
        kinds.push_back(piece.GetVertexCount());
    EXPECT_EQ(kinds, (std::vector<std::uint32_t>{2, 5, 2, 5, 2}));
    const std::uint32_t indices[] = {0, 39, 68, 97, 126};
    for (std::uint32_t i = 1; i < 5; ++i)
        EXPECT_EQ(refit.Joints().GetVertex(i)->index, indices[i]) << i;
    EXPECT_LT(refit.GetCachedFitRms(), 1e-4f);
}

TEST(SectionCurveRecords, AnEditedSplineRefittedInAFrameMovedAlongTheAxisKeepsItsPoints)
{
    // A spline whose points the user moved, refitted from the same points
    // in a frame whose origin moved 7 along the axis and 3 across: its
    // points were snapped in the old frame's numbers and moved up to 6.4 on
    // the profile, its ends by the whole move.
    double frame[12];
    MakeIdentity3x4(frame);
    ST_TSplineCurve<Dezaz_Wire> spline;
    ASSERT_TRUE(spline.RebuildWire(frame, Section(Arc(0, 0, 20, 0, 120, 60)), 0.0f, nullptr));
    ASSERT_TRUE(spline.MoveJoint(2, spline.GetJointPoint(2)));
    ASSERT_TRUE(spline.IsEdited());
    const std::deque<cVertex> before = spline.GetDefiningPoints()->vertices;
    double moved[12];
    MakeIdentity3x4(moved);
    moved[3] = -3.0;
    moved[7] = 7.0;
    tPolylineCollection<tFramePolyline<cVertex>> sections;
    tFramePolyline<cVertex>& s = *sections.Add(tFramePolyline<cVertex>());
    std::copy(moved, moved + 12, s.frame);
    for (const t3DPoint<double>& p : Arc(0, 0, 20, 0, 120, 60))
    {
        const double w[3] = {p.x, p.y, 0.0};
        s.AddPoint3d(w);
    }
    ST_TSplineCurve<Dezaz_Wire> refit;
    refit.Assign(spline);
    ASSERT_TRUE(refit.RebuildWire(moved, sections, 0.0f, nullptr));
    const std::deque<cVertex>& after = refit.GetDefiningPoints()->vertices;
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i)
    {
        EXPECT_NEAR(after[i].x - 3.0, before[i].x, 1e-5) << i;
        EXPECT_NEAR(after[i].y + 7.0, before[i].y, 1e-5) << i;
    }
}
