// The loft surface's section list and settings, its resampling onto a grid,
// its record, and the Free Form session through the entity history.
#include "core/frame_math.h"
#include "fitting/loft_builder.h"
#include "fitting/loft_sampling.h"
#include "platform/geometry/binary_archive.h"
#include "platform/geometry/uuid.h"
#include "shapes/arc_section_curve.h"
#include "shapes/dezaz_bin_stream.h"
#include "shapes/entities_history.h"
#include "shapes/loft_session.h"
#include "shapes/sketch_curve.h"
#include "shapes/spline_section_curve.h"
#include "shapes/tests/support/memory_stream.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

namespace
{

// A spline through n points from a to b (world coordinates, identity frame).
std::unique_ptr<ST_ISectionCurve> StraightSpline(const t3DPoint<double>& a, const t3DPoint<double>& b, int n = 11)
{
    auto curve = std::make_unique<ST_TSplineCurve<Dezaz_Wire>>();
    double identity[12];
    MakeIdentity3x4(identity);
    tPolyline<cVertex> points;
    for (int i = 0; i < n; ++i)
    {
        const double t = static_cast<double>(i) / (n - 1);
        const double p[3] = {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
        points.AddPoint3d(p);
    }
    EXPECT_TRUE(curve->FitToPolyline(identity, points, 0.0, 0));
    return curve;
}

void AddSection(LoftParameters& p, std::unique_ptr<ST_ISectionCurve> curve, double position)
{
    LoftSection section;
    section.curve = std::move(curve);
    section.position = position;
    p.sections.push_back(std::move(section));
}

// Straight sections across x from 0 to 100 at the given heights y.
void RungSections(LoftParameters& p, std::initializer_list<double> ys, std::initializer_list<double> positions)
{
    auto position = positions.begin();
    for (double y : ys)
        AddSection(p, StraightSpline({0, y, 0}, {100, y, 0}), *position++);
}

void SetGuide(ST_TLoftSurface<Dezaz_Wire>& loft, double length)
{
    ASSERT_TRUE(loft.SetProfile(StraightSpline({-5, 0, 0}, {-5, length, 0}).get(), 0));
}

std::vector<std::uint8_t> WriteObject(Dezaz_LoftSurfaceObject& object)
{
    cTestMemoryStream stream;
    EXPECT_TRUE(object.Write(&stream));
    return stream.bytes;
}

} // namespace

TEST(LoftSampling, SectionsAreResampledEvenlyWhateverTheirPositions)
{
    LoftParameters source;
    source.expand = 0.0;
    source.threshold = 0.3;
    RungSections(source, {0, 10, 20}, {0.0, 0.1, 0.9});
    source.sections.insert(source.sections.begin() + 1, LoftSection{}); // an entry without a curve
    LoftParameters destination;
    destination.threshold = 0.7;
    destination.sampling = 3;
    destination.curveKind = kLoftCurveLine;
    AddSection(destination, StraightSpline({0, 0, 5}, {1, 0, 5}), 0.5);

    ASSERT_TRUE(SampleLoftToGrid(nullptr, source, &destination));
    ASSERT_EQ(destination.sections.size(), 3u);
    for (std::size_t c = 0; c < 3; ++c)
    {
        const LoftSection& section = destination.sections[c];
        EXPECT_DOUBLE_EQ(section.position, 0.5 * c);
        EXPECT_EQ(section.flag, 0);
        ASSERT_NE(section.curve, nullptr);
        EXPECT_FALSE(section.curve->IsClosed());
        const tPolyline<cVertex>& points = *section.curve->GetSectionPolyline();
        ASSERT_EQ(points.GetVertexCount(), 10u);
        for (std::uint32_t j = 0; j < 10; ++j)
        {
            EXPECT_NEAR(points.GetVertex(j)->x, 100.0 * j / 9.0, 1e-3);
            EXPECT_NEAR(points.GetVertex(j)->y, 10.0 * c, 1e-4);
        }
    }
    // The settings go back to their defaults; the threshold is not one of them.
    EXPECT_EQ(destination.sampling, 10);
    EXPECT_EQ(destination.curveKind, kLoftCurveSpline);
    EXPECT_EQ(destination.joinAll, 1);
    EXPECT_DOUBLE_EQ(destination.expand, 0.2);
    EXPECT_DOUBLE_EQ(destination.threshold, 0.7);
}

TEST(LoftSampling, TheBorderGoesHalfTheExpandOfTheLongerOfGuideAndSections)
{
    // Sections of length 100 and a guide of 80: the border is 100 x 0.2 x 0.5.
    Dezaz_LoftSurface loft;
    SetGuide(loft, 80.0);
    LoftParameters& source = loft.GetParameters();
    source.expand = 0.2;
    RungSections(source, {0, 10, 20}, {0.0, 0.5, 1.0});
    LoftParameters destination;
    ASSERT_TRUE(SampleLoftToGrid(loft.GetProfileCurve(), source, &destination));
    ASSERT_EQ(destination.sections.size(), 5u);
    const double expectedY[5] = {-10, 0, 10, 20, 30};
    for (std::size_t c = 0; c < 5; ++c)
    {
        EXPECT_DOUBLE_EQ(destination.sections[c].position, 0.25 * c);
        const tPolyline<cVertex>& points = *destination.sections[c].curve->GetSectionPolyline();
        ASSERT_EQ(points.GetVertexCount(), 12u);
        EXPECT_NEAR(points.GetFirstVertex()->x, -10.0, 1e-3) << c;
        EXPECT_NEAR(points.GetLastVertex()->x, 110.0, 1e-3) << c;
        for (const cVertex& v : points.vertices)
            EXPECT_NEAR(v.y, expectedY[c], 1e-3) << c;
    }
}

TEST(LoftSampling, TheBorderOfAThinNoisySectionFollowsItsRunNotItsLastWiggle)
{
    // Sections 2 long across a guide of 40 with the scan's jitter (0.01
    // up and down from point to point): the border, 40 x 0.2 x 0.5 = 4, is
    // twice as long as a section. Along the end tangent of a curve through
    // the jitter it left the sections' plane by about half a millimetre.
    Dezaz_LoftSurface loft;
    SetGuide(loft, 40.0);
    LoftParameters& source = loft.GetParameters();
    source.expand = 0.2;
    for (double y : {0.0, 20.0, 40.0})
    {
        auto curve = std::make_unique<ST_TSplineCurve<Dezaz_Wire>>();
        double identity[12];
        MakeIdentity3x4(identity);
        tPolyline<cVertex> points;
        for (int i = 0; i <= 10; ++i)
        {
            const double p[3] = {0.2 * i, y, (i % 2 ? 0.01 : -0.01)};
            points.AddPoint3d(p);
        }
        ASSERT_TRUE(curve->FitToPolyline(identity, points, 0.0, 0));
        AddSection(source, std::move(curve), y / 40.0);
    }
    LoftParameters destination;
    ASSERT_TRUE(SampleLoftToGrid(loft.GetProfileCurve(), source, &destination));
    ASSERT_EQ(destination.sections.size(), 5u);
    for (std::size_t c = 1; c < 4; ++c)
    {
        const tPolyline<cVertex>& points = *destination.sections[c].curve->GetSectionPolyline();
        EXPECT_NEAR(points.GetFirstVertex()->x, -4.0, 0.01) << c;
        EXPECT_NEAR(points.GetLastVertex()->x, 6.0, 0.01) << c;
        EXPECT_NEAR(points.GetFirstVertex()->z, 0.0, 0.03) << c;
        EXPECT_NEAR(points.GetLastVertex()->z, 0.0, 0.03) << c;
    }
}

TEST(LoftSampling, RefusesWithTheDestinationUntouched)
{
    LoftParameters destination;
    AddSection(destination, StraightSpline({0, 0, 0}, {1, 0, 0}), 0.25);
    auto untouched = [&] {
        return destination.sections.size() == 1 && destination.sections[0].position == 0.25 &&
               destination.sections[0].curve != nullptr;
    };
    {
        LoftParameters one;
        RungSections(one, {0}, {0.0});
        EXPECT_FALSE(SampleLoftToGrid(nullptr, one, &destination));
    }
    {
        LoftParameters oneValid;
        RungSections(oneValid, {0}, {0.0});
        oneValid.sections.push_back(LoftSection{});
        EXPECT_FALSE(SampleLoftToGrid(nullptr, oneValid, &destination));
    }
    {
        LoftParameters tooFewSamples;
        RungSections(tooFewSamples, {0, 10}, {0.0, 1.0});
        tooFewSamples.sampling = 1;
        EXPECT_FALSE(SampleLoftToGrid(nullptr, tooFewSamples, &destination));
        tooFewSamples.sampling = -200;
        EXPECT_FALSE(SampleLoftToGrid(nullptr, tooFewSamples, &destination));
    }
    {
        // A curve that cannot be evaluated must not leave its neighbour's
        // point (or the empty mark) in a section.
        LoftParameters broken;
        RungSections(broken, {0, 10}, {0.0, 1.0});
        AddSection(broken, std::make_unique<ST_TSplineCurve<Dezaz_Wire>>(), 0.5);
        EXPECT_FALSE(SampleLoftToGrid(nullptr, broken, &destination));
    }
    EXPECT_TRUE(untouched());
    // A null destination samples and answers false.
    LoftParameters fine;
    fine.expand = 0.0;
    RungSections(fine, {0, 10}, {0.0, 1.0});
    EXPECT_FALSE(SampleLoftToGrid(nullptr, fine, nullptr));
    EXPECT_TRUE(SampleLoftToGrid(nullptr, fine, &destination));
    EXPECT_EQ(destination.sections.size(), 2u);
}

TEST(LoftBuilder, PlaneNormalsAndRanges)
{
    EXPECT_EQ(LoftPlaneNormal({0.3, 0.1, -0.9}, 1), (t3DPoint<double>{0, 0, -1}));
    EXPECT_EQ(LoftPlaneNormal({0.3, 0.1, 0.0}, 1), (t3DPoint<double>{0, 0, -1}));
    EXPECT_EQ(LoftPlaneNormal({0.3, 0.1, 0.2}, 1), (t3DPoint<double>{0, 0, 1}));
    EXPECT_EQ(LoftPlaneNormal({-0.3, 0.1, 0.2}, 2), (t3DPoint<double>{-1, 0, 0}));
    EXPECT_EQ(LoftPlaneNormal({0.3, 0.1, 0.2}, 3), (t3DPoint<double>{0, 1, 0}));
    EXPECT_EQ(LoftPlaneNormal({0.3, 0.1, 0.2}, 0), (t3DPoint<double>{0.3, 0.1, 0.2}));
    EXPECT_EQ(LoftPlaneNormal({0.3, 0.1, 0.2}, 9), (t3DPoint<double>{0.3, 0.1, 0.2}));

    tPolyline<cVertex> none;
    double low = 0.0, high = 0.0;
    GetPolylineXRange(none, low, high);
    EXPECT_EQ(low, FLT_MAX);
    EXPECT_EQ(high, -FLT_MAX);

    // Fewer than two samples give no tangents instead of dividing by zero.
    t3DPoint<double> ts{1, 1, 1}, te{1, 1, 1};
    ResampleCurveEnds(*StraightSpline({0, 0, 0}, {10, 0, 0}), 1, ts, te);
    EXPECT_EQ(ts, (t3DPoint<double>{0, 0, 0}));
    ResampleCurveEnds(*StraightSpline({0, 0, 0}, {10, 0, 0}), 5, ts, te);
    EXPECT_NEAR(ts.x / std::sqrt(ts.x * ts.x + ts.y * ts.y + ts.z * ts.z), 1.0, 1e-9);
}

TEST(LoftBuilder, AlignmentNeedsTwoEntriesAndMovesEitherRunAtMostOneStep)
{
    LoftParameters one;
    AddSection(one, StraightSpline({0, 0, 0}, {10, 0, 0}), 0.0);
    AlignSplineSectionEnds(one, 0.0);
    EXPECT_EQ(one.sections[0].curve->GetSectionPolyline()->GetVertexCount(), 11u) << "one entry: nothing to align";

    // The second section runs backwards (x decreasing), as half of all cuts
    // do: its ends move out towards the common range 2..12 like a forward
    // one's would, each by one step of its points (0.6), not to the range
    // (which would reach past the region it was cut from).
    LoftParameters two;
    AddSection(two, StraightSpline({2, 0, 0}, {12, 0, 0}), 0.0);
    AddSection(two, StraightSpline({10, 5, 0}, {4, 5, 0}), 1.0);
    AlignSplineSectionEnds(two, 0.0);
    const tPolyline<cVertex>& backward = *two.sections[1].curve->GetSectionPolyline();
    ASSERT_EQ(backward.GetVertexCount(), 13u);
    EXPECT_NEAR(backward.GetFirstVertex()->x, 10.6f, 1e-4f);
    EXPECT_NEAR(backward.GetLastVertex()->x, 3.4f, 1e-4f);
    EXPECT_EQ(backward.GetFirstVertex()->flags & 4u, 4u);
    EXPECT_EQ(backward.GetLastVertex()->flags & 4u, 4u);
    const tPolyline<cVertex>& forward = *two.sections[0].curve->GetSectionPolyline();
    EXPECT_EQ(forward.GetVertexCount(), 11u) << "already spans the range";
}

TEST(LoftSurface, ResetPlacesEvenSectionsAndNeverRunsAway)
{
    Dezaz_LoftSurface loft;
    EXPECT_FALSE(ResetLoftSections(loft, 4, 0.3)) << "no guide";
    EXPECT_DOUBLE_EQ(loft.GetParameters().expand, 0.3);
    SetGuide(loft, 50.0);
    loft.GetParameters().threshold = 0.5;
    loft.GetParameters().sampling = 33;
    ASSERT_TRUE(ResetLoftSections(loft, 4, 0.2));
    const auto& sections = loft.GetParameters().sections;
    ASSERT_EQ(sections.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i)
    {
        EXPECT_DOUBLE_EQ(sections[i].position, 0.25 * i);
        EXPECT_EQ(sections[i].curve, nullptr);
        EXPECT_EQ(sections[i].flag, 0);
    }
    EXPECT_EQ(loft.GetParameters().sampling, 10);
    EXPECT_DOUBLE_EQ(loft.GetParameters().threshold, 0.05);
    ASSERT_TRUE(ResetLoftSections(loft, 3, 0.2));
    EXPECT_EQ(sections.size(), 4u) << "1/3 added three times stays within 1 + FLT_EPSILON";
    EXPECT_NEAR(sections.back().position, 1.0, 1e-12);
    // Counts below one (a "Curves" value past 127 read as a signed byte
    // arrives negative) give one span; huge ones are capped.
    for (const std::int32_t n : {0, -1, -128})
    {
        ASSERT_TRUE(ResetLoftSections(loft, n, 0.2));
        ASSERT_EQ(sections.size(), 2u) << n;
        EXPECT_EQ(sections[1].position, 1.0);
    }
    ASSERT_TRUE(ResetLoftSections(loft, 200, 0.2));
    EXPECT_EQ(sections.size(), 201u);
    ASSERT_TRUE(ResetLoftSections(loft, 0x7FFFFFFF, 0.2));
    EXPECT_EQ(sections.size(), static_cast<std::size_t>(kMaxLoftSections) + 1);
}

TEST(LoftSurface, ClearAndCopyKeepTheThresholdAndCopyTheSections)
{
    Dezaz_LoftSurface target;
    target.GetParameters().threshold = 0.05;
    LoftParameters source;
    source.threshold = 0.1;
    source.expand = 0.4;
    source.sampling = 25;
    source.type = 2;
    RungSections(source, {0, 10}, {0.0, 1.0});
    source.sections.push_back(LoftSection{});
    source.sections.back().flag = 1;
    target.SetDirection(&source);
    const LoftParameters& copy = target.GetParameters();
    EXPECT_DOUBLE_EQ(copy.threshold, 0.05);
    EXPECT_DOUBLE_EQ(copy.expand, 0.4);
    EXPECT_EQ(copy.sampling, 25);
    EXPECT_EQ(copy.type, 2);
    ASSERT_EQ(copy.sections.size(), 3u);
    ASSERT_NE(copy.sections[1].curve, nullptr);
    EXPECT_NE(copy.sections[1].curve.get(), source.sections[1].curve.get()) << "a copy, not the same curve";
    EXPECT_NEAR(copy.sections[1].curve->GetSectionPolyline()->GetFirstVertex()->y, 10.0f, 1e-6);
    EXPECT_EQ(copy.sections[2].curve, nullptr);
    EXPECT_EQ(copy.sections[2].flag, 1);
    target.SetDirection(target.GetDirectionPtr()); // itself: nothing lost
    EXPECT_EQ(target.GetParameters().sections.size(), 3u);

    target.GetParameters().threshold = 0.3;
    target.Clear();
    EXPECT_TRUE(target.GetParameters().sections.empty());
    EXPECT_DOUBLE_EQ(target.GetParameters().threshold, 0.3);
    EXPECT_DOUBLE_EQ(target.GetParameters().expand, 0.2);
    EXPECT_EQ(target.GetParameters().type, 0);
}

TEST(LoftSurface, AnswersAsALoftAndBuildsOnlyWithSectionCurves)
{
    Dezaz_LoftSurfaceObject object;
    Dezaz_LoftSurface& loft = *object.GetGeometry();
    EXPECT_EQ(object.QueryInterface(IID_Dezaz_LoftSurface), static_cast<ST_IGeometry*>(&loft));
    EXPECT_EQ(object.QueryInterface(IID_ST_IProfiledSurface), static_cast<ST_IProfiledSurface*>(&loft));
    EXPECT_EQ(loft.GetKindId(), 6);
    ON_wString text;
    loft.SetRms(0.123456789);
    loft.GetInfoText(text);
    EXPECT_EQ(text, ON_wString(L"Tolerance: 0.12346"));
    loft.GetTypeName(text);
    EXPECT_EQ(text, ON_wString(L"LOFT SURFACE"));

    EXPECT_FALSE(loft.BuildHostSurface()) << "no guide";
    SetGuide(loft, 20.0);
    ASSERT_TRUE(ResetLoftSections(loft, 2, 0.0));
    EXPECT_FALSE(loft.BuildHostSurface()) << "no section curve";
    EXPECT_EQ(loft.GetHostSurface(), nullptr);
    float box[6];
    object.GetBoundingBox(box);
    EXPECT_GT(box[0], box[3]) << "empty without a surface";

    // Three straight sections: a flat patch, bordered by the expand.
    LoftParameters& p = loft.GetParameters();
    p.sections.clear();
    RungSections(p, {0, 10, 20}, {0.0, 0.5, 1.0});
    p.expand = 0.2;
    ASSERT_TRUE(loft.BuildHostSurface());
    ON_NurbsSurface nurbs;
    ASSERT_TRUE(loft.GetNurbForm(nurbs));
    object.GetBoundingBox(box);
    EXPECT_NEAR(box[0], -10.0f, 1e-3);
    EXPECT_NEAR(box[4], 30.0f, 1e-3);
    EXPECT_NEAR(box[2], 0.0f, 1e-6);
    EXPECT_NEAR(box[5], 0.0f, 1e-6);
    ASSERT_NE(loft.GetBreps(), nullptr);

    // Moving the loft moves its sections and rebuilds.
    double move[12];
    MakeIdentity3x4(move);
    move[11] = 7.0;
    loft.Transform(move);
    object.GetBoundingBox(box);
    EXPECT_NEAR(box[2], 7.0f, 1e-4);
    EXPECT_NEAR(box[5], 7.0f, 1e-4);
}

TEST(LoftRecord, RoundTripsSectionsWithAndWithoutCurves)
{
    Dezaz_LoftSurfaceObject object;
    Dezaz_LoftSurface& loft = *object.GetGeometry();
    SetGuide(loft, 30.0);
    LoftParameters& p = loft.GetParameters();
    p.expand = 0.35;
    p.threshold = 0.125;
    p.type = 2;
    p.sampling = 40;
    p.sections.push_back(LoftSection{});
    p.sections.back().position = 0.0;
    RungSections(p, {10, 20}, {0.5, 1.0});
    auto sketch = std::make_unique<ST_TSketch<Dezaz_Wire>>();
    AddSection(p, std::move(sketch), 0.75); // no defining points: written with none
    const std::vector<std::uint8_t> bytes = WriteObject(object);

    Dezaz_LoftSurfaceObject back;
    cTestMemoryStream in(bytes);
    ASSERT_TRUE(back.Read(&in, 0, 6));
    EXPECT_EQ(in.at, bytes.size());
    const LoftParameters& q = back.GetGeometry()->GetParameters();
    EXPECT_DOUBLE_EQ(q.expand, 0.35);
    EXPECT_DOUBLE_EQ(q.threshold, 0.125);
    EXPECT_EQ(q.type, 2);
    EXPECT_EQ(q.sampling, 10) << "not stored";
    ASSERT_EQ(q.sections.size(), 4u);
    EXPECT_EQ(q.sections[0].curve, nullptr);
    EXPECT_EQ(q.sections[3].curve, nullptr) << "no points, no curve";
    for (const LoftSection& section : q.sections)
        EXPECT_EQ(section.flag, 1);
    ASSERT_NE(q.sections[2].curve, nullptr);
    EXPECT_DOUBLE_EQ(q.sections[2].position, 1.0);
    EXPECT_EQ(q.sections[2].curve->GetClassGuid(), CLSID_ST_TSplineCurve);
    const tPolyline<cVertex>& points = *q.sections[2].curve->GetSectionPolyline();
    ASSERT_EQ(points.GetVertexCount(), 11u);
    EXPECT_NEAR(points.GetLastVertex()->x, 100.0f, 1e-4);
    EXPECT_NE(back.GetGeometry()->GetProfileCurve(), nullptr);
    // The sketch's entry came back without a curve; from then on the record
    // reads and writes back byte for byte.
    const std::vector<std::uint8_t> again = WriteObject(back);
    Dezaz_LoftSurfaceObject third;
    cTestMemoryStream againIn(again);
    ASSERT_TRUE(third.Read(&againIn, 0, 6));
    EXPECT_EQ(WriteObject(third), again);

    // Without a profile the loft part is written and then the nil class id.
    Dezaz_LoftSurfaceObject bare;
    cTestMemoryStream out;
    EXPECT_TRUE(bare.Write(&out));
    EXPECT_EQ(out.bytes.size(), 24u + 16u);
}

TEST(LoftRecord, EveryTruncationAndABadCurveFlagFailTheRead)
{
    Dezaz_LoftSurfaceObject object;
    SetGuide(*object.GetGeometry(), 30.0);
    RungSections(object.GetGeometry()->GetParameters(), {10, 20}, {0.0, 1.0});
    const std::vector<std::uint8_t> bytes = WriteObject(object);
    for (std::size_t size = 0; size < bytes.size(); ++size)
    {
        Dezaz_LoftSurfaceObject back;
        cTestMemoryStream in(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + size));
        EXPECT_FALSE(back.Read(&in, 0, 6)) << size;
    }
    std::vector<std::uint8_t> bad = bytes;
    bad[24 + 8] = 2; // has-curve of the first section
    Dezaz_LoftSurfaceObject back;
    cTestMemoryStream in(bad);
    EXPECT_FALSE(back.Read(&in, 0, 6));
    // A huge section count ends with the bytes.
    std::vector<std::uint8_t> huge = bytes;
    huge[20] = huge[21] = huge[22] = huge[23] = 0xFF;
    cTestMemoryStream hugeIn(huge);
    EXPECT_FALSE(back.Read(&hugeIn, 0, 6));
}

TEST(LoftSession, AFreeFormSessionRoundTripsThroughTheHistory)
{
    const ON_UUID host = ON_UuidFromString("0E8A1C2B-3D4F-4A5B-8C6D-7E8F9A0B1C2D");
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(host);
    auto* session = dynamic_cast<CSessionFreeForm*>(entry->CreateSession(CLSID_CSessionFreeForm, false));
    ASSERT_NE(session, nullptr);
    ON_wString name;
    session->GetKindName(name);
    EXPECT_EQ(name, ON_wString(L"Free Form"));
    Dezaz_LoftSurface& loft = *session->GetObject().GetGeometry();
    SetGuide(loft, 30.0);
    loft.GetParameters().threshold = 0.25;
    RungSections(loft.GetParameters(), {10, 20}, {0.0, 1.0});

    ON_MemoryArchive out;
    ASSERT_TRUE(history.Write(out));
    ON_MemoryArchive in(out.Buffer().data(), out.Buffer().size());
    int major = 0, minor = 0;
    ASSERT_TRUE(in.Read3dmChunkVersion(&major, &minor));
    CEntitiesHistory back;
    ASSERT_TRUE(back.Read(in, major, minor));
    auto* read = dynamic_cast<CSessionFreeForm*>(back.Entry(0)->Session(0));
    ASSERT_NE(read, nullptr);
    const Dezaz_LoftSurface& again = *read->GetObject().GetGeometry();
    EXPECT_DOUBLE_EQ(again.GetParameters().threshold, 0.25);
    ASSERT_EQ(again.GetParameters().sections.size(), 2u);
    EXPECT_NE(again.GetParameters().sections[1].curve, nullptr);
    EXPECT_NE(again.GetProfileCurve(), nullptr);
}

TEST(LoftSession, AFreeFormWithoutAGuideIsSavedWithItsSectionsAndTheOtherSessions)
{
    const ON_UUID host = ON_UuidFromString("6B7C8D9E-0F1A-4B2C-8D3E-4F5A6B7C8D9E");
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(host);
    auto* plane = entry->CreateSession(CLSID_CSessionPlane, false);
    auto* session = dynamic_cast<CSessionFreeForm*>(entry->CreateSession(CLSID_CSessionFreeForm, false));
    ASSERT_NE(plane, nullptr);
    ASSERT_NE(session, nullptr);
    Dezaz_LoftSurface& loft = *session->GetObject().GetGeometry();
    ASSERT_EQ(loft.GetProfileCurve(), nullptr);
    loft.GetParameters().threshold = 0.125;
    RungSections(loft.GetParameters(), {-40, 15}, {0.0, 1.0});

    ON_MemoryArchive out;
    ASSERT_TRUE(history.Write(out));
    ON_MemoryArchive in(out.Buffer().data(), out.Buffer().size());
    int major = 0, minor = 0;
    ASSERT_TRUE(in.Read3dmChunkVersion(&major, &minor));
    CEntitiesHistory back;
    ASSERT_TRUE(back.Read(in, major, minor));
    ASSERT_EQ(back.Entry(0)->SessionCount(), 2u);
    EXPECT_EQ(back.Entry(0)->Session(0)->GetName(), ON_wString(L"Plane"));
    auto* read = dynamic_cast<CSessionFreeForm*>(back.Entry(0)->Session(1));
    ASSERT_NE(read, nullptr);
    const Dezaz_LoftSurface& again = *read->GetObject().GetGeometry();
    EXPECT_EQ(again.GetProfileCurve(), nullptr);
    EXPECT_DOUBLE_EQ(again.GetParameters().threshold, 0.125);
    ASSERT_EQ(again.GetParameters().sections.size(), 2u);
    ASSERT_NE(again.GetParameters().sections[0].curve, nullptr);
    EXPECT_NEAR(again.GetParameters().sections[0].curve->GetStartPoint().y, -40.0, 1e-9);
}

TEST(LoftRecord, AMissingGuideIsTheNilClassIdAndReadingItDropsAHeldGuide)
{
    Dezaz_LoftSurfaceObject bare;
    RungSections(bare.GetGeometry()->GetParameters(), {5}, {0.5});
    const std::vector<std::uint8_t> bytes = WriteObject(bare);
    ASSERT_GE(bytes.size(), 16u);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 16, bytes.end()), std::vector<std::uint8_t>(16, 0));

    Dezaz_LoftSurfaceObject guided;
    SetGuide(*guided.GetGeometry(), 30.0);
    cTestMemoryStream in(bytes);
    ASSERT_TRUE(guided.Read(&in, 0, 6));
    EXPECT_EQ(guided.GetGeometry()->GetProfileCurve(), nullptr);
    EXPECT_EQ(guided.GetGeometry()->GetParameters().sections.size(), 1u);
    EXPECT_EQ(WriteObject(guided), bytes);
    // Cut inside the nil id: refused.
    cTestMemoryStream cut(std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 3));
    EXPECT_FALSE(guided.Read(&cut, 0, 6));
}

TEST(LoftFrame, AnArcGuideCentresTheLocalFrameOnItsCircle)
{
    // The guide's plane stands far from the origin; its arc runs about the
    // local point (5, 1) with radius 3.
    const double frame[12] = {0, 0, 1, 120.0, 1, 0, 0, -40.0, 0, 1, 0, 30.0};
    ST_TArcCurve<Dezaz_Wire> arc;
    const double s0[3] = {8, 1, 0}, m0[3] = {5, 4, 0}, e0[3] = {2, 1, 0};
    ASSERT_TRUE(arc.SetArcFromPoints(s0, m0, e0, frame, 0.0f, false));
    Dezaz_LoftSurface loft;
    ASSERT_TRUE(loft.SetProfile(&arc, 0));
    const t3DPoint<double> centre = arc.LocalToWorld({5, 1, 0});
    const t3DPoint<double> onCircle = arc.LocalToWorld({5, 4, 0});
    for (int axis = 0; axis < 3; ++axis)
    {
        double f[12];
        loft.GetLocalFrame(f, 0, axis, false);
        double c[3], q[3];
        for (int r = 0; r < 3; ++r)
        {
            c[r] = f[4 * r] * centre.x + f[4 * r + 1] * centre.y + f[4 * r + 2] * centre.z + f[4 * r + 3];
            q[r] = f[4 * r] * onCircle.x + f[4 * r + 1] * onCircle.y + f[4 * r + 2] * onCircle.z + f[4 * r + 3];
        }
        EXPECT_NEAR(std::hypot(c[0], c[1], c[2]), 0.0, 1e-9) << axis;
        EXPECT_NEAR(std::hypot(q[0], q[1], q[2]), 3.0, 1e-9) << axis;
    }

    // Any other guide leaves the frame at the origin.
    Dezaz_LoftSurface straight;
    SetGuide(straight, 30.0);
    double f[12];
    straight.GetLocalFrame(f, 0, 2, false);
    EXPECT_EQ(f[3], 0.0);
    EXPECT_EQ(f[7], 0.0);
    EXPECT_EQ(f[11], 0.0);
}
