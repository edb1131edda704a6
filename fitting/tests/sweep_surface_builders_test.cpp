// The sweep builders against a recording surface: where the fan and the
// stack of section planes fall, what the surface is asked for, and how the
// builders refuse bad requests.
#include "fitting/sweep_surface_builders.h"

#include "core/mesh.h"
#include "fitting/tests/section_meshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

using section_meshes::kPi;

// Remembers what a builder asked of it.
class RecordingSurface : public ST_IProfiledSurface
{
public:
    void* QueryInterface(const GUID&) override { return nullptr; }
    using IBase::QueryInterface;
    bool BuildHostSurface() override
    {
        ++builds;
        return true;
    }
    bool SetProfileFromSections(const GUID& classId, const double frame_[12], std::uint32_t curveId_,
                                const tPolylineCollection<tFramePolyline<cVertex>>& sections_, float, std::uint8_t,
                                std::uint32_t mergeMode_, std::uint8_t rebuild_, float smoothing_) override
    {
        ++fits;
        profileClass = classId;
        std::copy(frame_, frame_ + 12, frame);
        curveId = curveId_;
        sections = sections_;
        mergeMode = mergeMode_;
        rebuild = rebuild_;
        smoothing = smoothing_;
        return fitResult;
    }
    bool SetProfile(const ST_ISectionCurve*, std::uint8_t) override { return false; }
    void CloseProfile(std::uint8_t) override {}
    void OpenProfile(std::uint8_t) override {}
    ST_ISectionCurve* GetProfileCurve() override { return nullptr; }
    void GetProfileFrame(double out[12]) const override { std::copy(frame, frame + 12, out); }
    t3DPoint<double> GetAxis() const override { return {}; }
    t3DPoint<double> GetProfileOrigin() const override { return {}; }
    void SetDirection(const void* p) override { extrusion = *static_cast<const stExtrusionParameters*>(p); }
    void* GetDirectionPtr() override { return &extrusion; }
    std::unique_ptr<ST_ISectionCurve> CreateCurveByClassGuid(const GUID&) const override { return nullptr; }
    void Transform(const double[12]) override {}

    int fits = 0;
    int builds = 0;
    bool fitResult = true;
    GUID profileClass{};
    double frame[12] = {};
    std::uint32_t curveId = 0;
    tPolylineCollection<tFramePolyline<cVertex>> sections;
    std::uint32_t mergeMode = 99;
    std::uint8_t rebuild = 99;
    float smoothing = -1.0f;
    stExtrusionParameters extrusion;
};

// A wall about the z axis over [a0, a1] and [z0, z1] whose radius grows
// from r by `flare` per unit of height.
void BuildWall(cMesh& mesh, double r, double a0, double a1, double z0, double z1, std::uint32_t around = 40,
               std::uint32_t along = 10, double flare = 0.0)
{
    const std::uint32_t first = mesh.GetVertexCount();
    for (std::uint32_t k = 0; k <= along; ++k)
        for (std::uint32_t s = 0; s <= around; ++s)
        {
            const double a = a0 + (a1 - a0) * s / around;
            const double z = z0 + (z1 - z0) * k / along;
            const double rz = r + flare * (z - z0);
            section_meshes::AddPoint(mesh, rz * std::cos(a), rz * std::sin(a), z);
        }
    for (std::uint32_t k = 0; k < along; ++k)
        for (std::uint32_t s = 0; s < around; ++s)
        {
            const std::uint32_t a = first + k * (around + 1) + s;
            section_meshes::AddQuad(mesh, a, a + 1, a + around + 2, a + around + 1);
        }
    mesh.Update();
}

tFitPointQueue VertexPoints(const cMesh& mesh)
{
    tFitPointQueue points;
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
    {
        stFitPoint p;
        const cVertex* v = mesh.GetVertex(i);
        p.position[0] = v->x, p.position[1] = v->y, p.position[2] = v->z;
        p.normal[0] = v->nx, p.normal[1] = v->ny, p.normal[2] = v->nz;
        points.push_back(p);
    }
    return points;
}

stProfileFitParams AxisZ(std::int32_t sections, std::int32_t kind)
{
    stProfileFitParams params;
    params.directionFixed = 1;
    params.pointFixed = 1;
    params.sectionCount = sections;
    params.profileKind = kind;
    return params;
}

} // namespace

TEST(RevolvedBuilder, FanCoversTheRegionsAngleAndTurnsEverySectionIntoOneHalfPlane)
{
    cMesh mesh;
    const double a0 = -5.0 * kPi / 180.0, a1 = 95.0 * kPi / 180.0;
    BuildWall(mesh, 5.0, a0, a1, 0.0, 10.0);
    cFitContainer points(VertexPoints(mesh));
    RecordingSurface surface;
    // A direction of any length is taken as a unit axis.
    stProfileFitParams params = AxisZ(4, 1);
    params.direction[2] = 7.0;
    ASSERT_TRUE(BuildRevolvedFromSections(points, mesh, surface, {0}, params, true));
    ASSERT_EQ(surface.fits, 1);
    EXPECT_EQ(surface.profileClass, CLSID_ST_TLineCurve);
    EXPECT_EQ(surface.mergeMode, 2u);
    EXPECT_EQ(surface.curveId, 4u);
    // The frame: u towards one end of the arc, the unit axis, u x d.
    const double start = std::atan2(surface.frame[4], surface.frame[0]);
    EXPECT_TRUE(std::fabs(start - a0) < 0.02 || std::fabs(start - a1) < 0.02) << start;
    EXPECT_NEAR(surface.frame[9], 1.0, 1e-12);
    EXPECT_NEAR(surface.frame[1] * surface.frame[1] + surface.frame[5] * surface.frame[5], 0.0, 1e-20);
    // Five planes cut the wall; each section lies at radius 5 on the u side.
    EXPECT_EQ(surface.sections.GetCount(), 5u);
    for (const tFramePolyline<cVertex>& polyline : surface.sections.items)
        for (std::uint32_t k = 0; k < polyline.GetVertexCount(); ++k)
        {
            const cVertex local = polyline.GetVertexInFrame(k);
            EXPECT_NEAR(local.x, 5.0, 0.05);
            EXPECT_NEAR(local.z, 0.0, 1e-4);
        }
}

TEST(RevolvedBuilder, RegionsOfMoreThanHalfATurnStayOnOneSideOfTheAxis)
{
    cMesh mesh;
    BuildWall(mesh, 5.0, 0.0, 1.7 * kPi, 0.0, 10.0, 80);
    cFitContainer points(VertexPoints(mesh));
    RecordingSurface surface;
    ASSERT_TRUE(BuildRevolvedFromSections(points, mesh, surface, {0}, AxisZ(6, 1), true));
    EXPECT_EQ(surface.sections.GetCount(), 7u);
    for (const tFramePolyline<cVertex>& polyline : surface.sections.items)
        for (std::uint32_t k = 0; k < polyline.GetVertexCount(); ++k)
            EXPECT_NEAR(polyline.GetVertexInFrame(k).x, 5.0, 0.05);
}

TEST(RevolvedBuilder, SectionCountsAndKindsOutsideTheRulesAreHandled)
{
    cMesh mesh;
    BuildWall(mesh, 5.0, 0.0, 0.5 * kPi, 0.0, 10.0);
    cFitContainer points(VertexPoints(mesh));

    RecordingSurface single;
    ASSERT_TRUE(BuildRevolvedFromSections(points, mesh, single, {0}, AxisZ(0, 3), true));
    EXPECT_EQ(single.sections.GetCount(), 1u) << "N = 0 is the single plane at the start";
    EXPECT_EQ(single.profileClass, CLSID_ST_TSplineCurve);
    EXPECT_EQ(single.smoothing, 20.0f);

    RecordingSurface huge;
    EXPECT_FALSE(BuildRevolvedFromSections(points, mesh, huge, {0}, AxisZ(INT32_MAX, 1), true));
    EXPECT_EQ(huge.fits, 0);

    RecordingSurface unknown;
    EXPECT_FALSE(BuildRevolvedFromSections(points, mesh, unknown, {0}, AxisZ(4, 9), true));
    // The current kind without a current profile.
    EXPECT_FALSE(BuildRevolvedFromSections(points, mesh, unknown, {0}, AxisZ(4, 5), true));
    EXPECT_EQ(unknown.fits, 0);

    // Stale seeds mark nothing: no section, the surface untouched.
    RecordingSurface stale;
    EXPECT_TRUE(BuildRevolvedFromSections(points, mesh, stale, {mesh.GetTriangleCount() + 5}, AxisZ(4, 1), true));
    EXPECT_EQ(stale.fits, 0);
}

TEST(RevolvedBuilder, AFreeAxisIsTheOneItWasToTheBitWithEveryRecordOnOrOneOff)
{
    // A flared wall over a third of a turn, far out, its points' normals
    // those of the mesh: the circle fit reads the records in place when all
    // are active and an activated copy otherwise.
    cMesh mesh;
    BuildWall(mesh, 40.0, 0.3, 2.4, 300.0, 330.0, 48, 16, 0.2);
    mesh.ForEachVertex([](cVertex& v) { v.x += 900.0f, v.y -= 400.0f; });
    for (const bool oneOff : {false, true})
    {
        cFitContainer points(VertexPoints(mesh));
        points.Points()[11].active = oneOff ? 0 : 1;
        RecordingSurface surface;
        stProfileFitParams params;
        params.sectionCount = 6;
        params.profileKind = 2;
        ASSERT_TRUE(BuildRevolvedFromSections(points, mesh, surface, {0}, params, true)) << oneOff;
        // The profile frame the fit gave over a copy of every record.
        const double expected[12] = {-0x1.798bb41502e36p-1, -0x1.ec9de2e08cb1dp-29, -0x1.59d645c1cde75p-1,
                                     0x1.c1ffffebfd0d7p+9,  0x1.59d645c1cde75p-1,  -0x1.ec0be05ba3c5p-27,
                                     -0x1.798bb41502e35p-1, -0x1.900001114b09ap+8, -0x1.e31783852c34bp-28,
                                     -0x1.fffffffffffffp-1, 0x1.be04a41c3971fp-27, 0x1.3b000008b8f88p+8};
        for (int k = 0; k < 12; ++k)
            EXPECT_EQ(surface.frame[k], expected[k]) << oneOff << " " << k;
        EXPECT_EQ(points.Points()[11].active, oneOff ? 0 : 1);
    }
}

TEST(RevolvedBuilder, ARegionHandedOverAsBitsIsCutAsTheMarkedOne)
{
    // The flared wall far out, every third triangle of another colour: the
    // region marked from the seed, handed over a bit a triangle, gives the
    // fan the triangles that marking gives it.
    cMesh mesh;
    BuildWall(mesh, 40.0, 0.3, 2.4, 300.0, 330.0, 48, 16, 0.2);
    mesh.ForEachVertex([](cVertex& v) { v.x += 900.0f, v.y -= 400.0f; });
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        mesh.GetTriangle(i)->SetLabel(i % 3 == 2 ? 5u : 4u);
    const cFitContainer points(VertexPoints(mesh));
    stProfileFitParams params;
    params.sectionCount = 6;
    params.profileKind = 2;
    RecordingSurface marked, handed;
    ASSERT_TRUE(BuildRevolvedFromSections(points, mesh, marked, {0}, params, true));
    std::vector<std::uint64_t> bits((mesh.GetTriangleCount() + 63) / 64, 0);
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        if (mesh.GetTriangle(i)->flags & kSweepRegionFlag)
            bits[i / 64] |= std::uint64_t{1} << (i % 64);
    ASSERT_TRUE(BuildRevolvedFromSections(points, mesh, handed, {0}, params, false, &bits));
    ASSERT_EQ(handed.sections.GetCount(), marked.sections.GetCount());
    ASSERT_GT(marked.sections.GetCount(), 0u);
    for (std::size_t k = 0; k < marked.sections.items.size(); ++k)
    {
        const tFramePolyline<cVertex>& a = marked.sections.items[k];
        const tFramePolyline<cVertex>& b = handed.sections.items[k];
        ASSERT_EQ(b.GetVertexCount(), a.GetVertexCount()) << k;
        for (std::uint32_t j = 0; j < a.GetVertexCount(); ++j)
        {
            const cVertex p = a.GetVertexInFrame(j), q = b.GetVertexInFrame(j);
            EXPECT_EQ(q.x, p.x) << k << " " << j;
            EXPECT_EQ(q.y, p.y) << k << " " << j;
            EXPECT_EQ(q.z, p.z) << k << " " << j;
        }
    }
}

TEST(RevolvedBuilder, AutomaticKindTakesTheArcOnlyPastSixtyDegrees)
{
    // A torus-like band: the profile is an arc of radius 2 about (6, 0).
    auto band = [](cMesh& mesh, double sweep) {
        const std::uint32_t around = 20, along = 30;
        for (std::uint32_t k = 0; k <= along; ++k)
            for (std::uint32_t s = 0; s <= around; ++s)
            {
                const double a = 0.5 * kPi * s / around;
                const double t = -0.5 * sweep + sweep * k / along;
                const double r = 6.0 + 2.0 * std::cos(t);
                section_meshes::AddPoint(mesh, r * std::cos(a), r * std::sin(a), 2.0 * std::sin(t));
            }
        for (std::uint32_t k = 0; k < along; ++k)
            for (std::uint32_t s = 0; s < around; ++s)
            {
                const std::uint32_t a = k * (around + 1) + s;
                section_meshes::AddQuad(mesh, a, a + 1, a + around + 2, a + around + 1);
            }
        mesh.Update();
    };
    cMesh wide, narrow;
    band(wide, 2.0);   // about 115 degrees of the circle
    band(narrow, 0.6); // about 34 degrees
    RecordingSurface arc, line;
    cFitContainer widePoints(VertexPoints(wide)), narrowPoints(VertexPoints(narrow));
    ASSERT_TRUE(BuildRevolvedFromSections(widePoints, wide, arc, {0}, AxisZ(4, 0), true));
    ASSERT_TRUE(BuildRevolvedFromSections(narrowPoints, narrow, line, {0}, AxisZ(4, 0), true));
    EXPECT_EQ(arc.profileClass, CLSID_ST_TArcCurve);
    EXPECT_EQ(line.profileClass, CLSID_ST_TLineCurve);
}

TEST(ExtrudedBuilder, SectionsStackFromTheBasePointAlongTheDirection)
{
    // The wall stands from z = 100 to 150; the base point is off the origin
    // and off the axis, so sections placed from the world origin would miss.
    // Its radius grows by 0.1 a unit, so a section's radius tells its height.
    cMesh mesh;
    BuildWall(mesh, 5.0, 0.0, 2.0 * kPi, 100.0, 150.0, 80, 50, 0.1);
    cFitContainer points(VertexPoints(mesh));
    RecordingSurface surface;
    stProfileFitParams params = AxisZ(4, 2);
    params.point[0] = 3.0, params.point[1] = -2.0, params.point[2] = 100.0;
    ASSERT_TRUE(BuildExtrudedFromSections(points, mesh, surface, {0}, params, 1.0, true));
    EXPECT_EQ(surface.profileClass, CLSID_ST_TArcCurve);
    EXPECT_EQ(surface.rebuild, 1);
    EXPECT_NEAR(surface.extrusion.length, 50.0, 1e-4);
    EXPECT_EQ(surface.builds, 1) << "the draft step rebuilds";
    // Profile frame at the bottom of the region; sections cut 1, 13, 25 and
    // 37 up, all gathered into the profile plane.
    EXPECT_NEAR(surface.frame[11], 100.0, 1e-4);
    ASSERT_EQ(surface.sections.GetCount(), 4u);
    const double heights[4] = {1.0, 13.0, 25.0, 37.0};
    for (std::uint32_t i = 0; i < 4; ++i)
        for (const cVertex& v : surface.sections[i].vertices)
        {
            EXPECT_NEAR(v.z, 100.0, 1e-3);
            EXPECT_NEAR(std::hypot(v.x, v.y), 5.0 + 0.1 * heights[i], 0.01);
        }

    // A draft asks for one section, at mid height.
    RecordingSurface drafted;
    params.draftMode = 2;
    params.draftAngle = 0.05;
    ASSERT_TRUE(BuildExtrudedFromSections(points, mesh, drafted, {0}, params, 1.0, true));
    ASSERT_EQ(drafted.sections.GetCount(), 1u);
    const cVertex& mid = drafted.sections[0].vertices.front();
    EXPECT_NEAR(mid.z, 100.0, 1e-3);
    EXPECT_NEAR(std::hypot(mid.x, mid.y), 7.5, 0.01);
    EXPECT_DOUBLE_EQ(drafted.extrusion.draftAngle, 0.05);
    EXPECT_EQ(drafted.extrusion.draftFlag, 2u);
}

TEST(ExtrudedBuilder, ThePositionFactorScalesTheLengthAboutTheRegionsMiddle)
{
    // The wall from z = 100 to 150: its middle, 125, stays where it is; the
    // profile moves down by half the extra length.
    cMesh mesh;
    BuildWall(mesh, 5.0, 0.0, 2.0 * kPi, 100.0, 150.0, 80, 50, 0.1);
    cFitContainer points(VertexPoints(mesh));
    const stProfileFitParams params = AxisZ(4, 2);
    for (const double factor : {0.5, 1.2})
    {
        RecordingSurface surface;
        ASSERT_TRUE(BuildExtrudedFromSections(points, mesh, surface, {0}, params, factor, true)) << factor;
        EXPECT_NEAR(surface.extrusion.length, 50.0 * factor, 1e-4) << factor;
        EXPECT_NEAR(surface.frame[11], 125.0 - 25.0 * factor, 1e-4) << factor;
    }
}

TEST(ExtrudedBuilder, RefusesWhatItCannotCut)
{
    cMesh mesh;
    BuildWall(mesh, 5.0, 0.0, 2.0 * kPi, 0.0, 10.0);
    cFitContainer points(VertexPoints(mesh));
    const tFitPointQueue two(2);
    cFitContainer few(two);

    RecordingSurface surface;
    stProfileFitParams free;
    EXPECT_FALSE(BuildExtrudedFromSections(few, mesh, surface, {0}, free, 1.0, true)) << "fewer than 3 points";
    EXPECT_FALSE(BuildExtrudedFromSections(points, mesh, surface, {0}, AxisZ(INT32_MAX, 1), 1.0, true));
    EXPECT_FALSE(BuildExtrudedFromSections(points, mesh, surface, {99999}, AxisZ(4, 1), 1.0, true))
        << "no region, no section";
    EXPECT_EQ(surface.fits, 0);
    EXPECT_EQ(surface.builds, 0);

    // A failed profile fit still applies the draft and rebuilds.
    surface.fitResult = false;
    EXPECT_FALSE(BuildExtrudedFromSections(points, mesh, surface, {0}, AxisZ(4, 1), 1.0, true));
    EXPECT_EQ(surface.builds, 1);
}

namespace
{

// A wall leaning outwards (+x) by 5 degrees as it rises along +z.
void BuildLeaningWall(cMesh& mesh)
{
    const double lean = std::tan(5.0 * kPi / 180.0);
    for (int k = 0; k <= 10; ++k)
        for (int s = 0; s <= 10; ++s)
            section_meshes::AddPoint(mesh, 10.0 + lean * k, -5.0 + s, k);
    for (std::uint32_t k = 0; k < 10; ++k)
        for (std::uint32_t s = 0; s < 10; ++s)
            section_meshes::AddQuad(mesh, k * 11 + s, k * 11 + s + 1, k * 11 + s + 12, k * 11 + s + 11);
    mesh.Update();
    mesh.SetTriangleFlag4();
}

} // namespace

TEST(DraftSample, SlopeIsSignedOutwardsOfTheTangentCrossDirection)
{
    cMesh mesh;
    BuildLeaningWall(mesh);

    const double origin[3] = {10.0, 0.0, 0.0}, up[3] = {0.0, 0.0, 1.0};
    const double ccw[3] = {0.0, 1.0, 0.0}, cw[3] = {0.0, -1.0, 0.0};
    double sum = 0.0;
    std::uint32_t count = 0;
    MeasureDraftSample(mesh, origin, ccw, up, sum, count);
    ASSERT_EQ(count, 1u);
    EXPECT_NEAR(sum, 5.0 * kPi / 180.0, 1e-3);
    sum = 0.0;
    MeasureDraftSample(mesh, origin, cw, up, sum, count);
    EXPECT_EQ(count, 2u);
    EXPECT_NEAR(sum, -5.0 * kPi / 180.0, 1e-3);

    // A plane that misses the region adds nothing.
    const double far[3] = {10.0, 50.0, 0.0};
    MeasureDraftSample(mesh, far, ccw, up, sum, count);
    EXPECT_EQ(count, 2u);
}

TEST(DraftSample, AxesThatRoundToTheSameFloatsCutTheSamePlane)
{
    // The sample's axes are rounded to float before its plane is made, so
    // axes that round alike measure the same slope to the bit. (Optimised
    // builds once kept the first two numbers of each axis unrounded.)
    cMesh mesh;
    BuildLeaningWall(mesh);
    const double origin[3] = {10.4, 0.3, 5.0};
    const double tangent[3] = {0.1, 1.0, 0.0}, up[3] = {0.1, 0.2, 1.0};
    const double tangentAsFloats[3] = {0.1f, 1.0, 0.0}, upAsFloats[3] = {0.1f, 0.2f, 1.0};
    double sums[2] = {};
    std::uint32_t counts[2] = {};
    MeasureDraftSample(mesh, origin, tangent, up, sums[0], counts[0]);
    MeasureDraftSample(mesh, origin, tangentAsFloats, upAsFloats, sums[1], counts[1]);
    ASSERT_EQ(counts[0], 1u);
    ASSERT_EQ(counts[1], 1u);
    EXPECT_EQ(sums[0], sums[1]);
}
