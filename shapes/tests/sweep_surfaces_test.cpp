// Revolved and extruded surfaces against generated scans with a known truth:
// the recovered axis, direction, height, draft and profile, and host breps
// that lie on the true surface; then the surfaces' own rules (draft
// wrapping, handles, axis snapping) and their records.
#include "shapes/extruded_surface.h"
#include "shapes/revolved_surface.h"

#include "core/bin_stream.h"
#include "core/thread_pool.h"
#include "platform/geometry/binary_archive.h"
#include "shapes/dezaz_bin_stream.h"
#include "core/frame_math.h"
#include "shapes/combo_section_curve.h"
#include "shapes/line_section_curve.h"
#include "shapes/spline_section_curve.h"
#include "shapes/arc_section_curve.h"
#include "shapes/entities_history.h"
#include "shapes/session_kinds.h"
#include "shapes/sweep_surface_support.h"
#include "shapes/tests/sweep_scans.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <vector>

using namespace sweep_scans;

namespace
{

tFitPointQueue RegionPoints(const cMesh& mesh)
{
    tFitPointQueue points;
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
    {
        const cVertex* v = mesh.GetVertex(i);
        stFitPoint p;
        p.position[0] = v->x, p.position[1] = v->y, p.position[2] = v->z;
        p.normal[0] = v->nx, p.normal[1] = v->ny, p.normal[2] = v->nz;
        points.push_back(p);
    }
    return points;
}

// Brep samples against the truth: the largest distance, and the largest
// change of distance along the sweep (across v) at one point of the profile.
// A profile curve of a coarse kind moves the first; a wrong direction,
// length, placement or draft moves the second.
struct stDeviation
{
    double worst = 0.0;
    double alongSweep = 0.0;
    int samples = 0;
};

template <class F> stDeviation BrepDeviation(ON_ISurface& surface, F&& distance)
{
    stDeviation result;
    const ON_SimpleArray<ON_Brep*>* breps = surface.GetBreps();
    if (breps == nullptr)
        return result;
    for (int b = 0; b < breps->Count(); ++b)
        for (int f = 0; f < (*breps)[b]->FaceCount(); ++f)
        {
            const ON_Surface* s = (*breps)[b]->Surface(f);
            const ON_Interval u = s->Domain(0), v = s->Domain(1);
            for (int i = 0; i <= 30; ++i)
            {
                double first = 0.0;
                for (int j = 0; j <= 6; ++j)
                {
                    const ON_3dPoint p = s->PointAt(u.ParameterAt(i / 30.0), v.ParameterAt(j / 6.0));
                    const double world[3] = {p.x, p.y, p.z};
                    const double d = distance(world);
                    if (j == 0)
                        first = d;
                    result.worst = std::max(result.worst, d);
                    result.alongSweep = std::max(result.alongSweep, std::fabs(d - first));
                    ++result.samples;
                }
            }
        }
    return result;
}

double AngleBetween(const double a[3], const double b[3])
{
    const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    const double na = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    const double nb = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
    return std::acos(std::clamp(std::fabs(dot) / (na * nb), -1.0, 1.0));
}

// An unedited chain-of-lines-and-arcs profile is one piece from end to end:
// for a 60 x 40 rounded rectangle that piece is the best circle (radius
// about 28), which no circle can bring nearer than about 7 to both the
// sides and the corners. The chain only follows the outline once joints are
// placed (JointsAtTheCornerTangents... below). The sweep itself is held to
// the noise by the along-sweep bound.
constexpr double kProfileFitBound = 9.0;

// Joints on the section vertices nearest the eight points where the sides of
// the rounded rectangle (widened by `g`) meet its corner arcs; the chain is
// closed first, so the outline becomes four lines and four arcs (a closed
// chain keeps its ends where the pieces meet). `openedOnCorner` tells whether
// the section's opening cut a corner arc into two pieces.
void PlaceCornerJoints(ST_TComboCurve<Dezaz_Wire>& combo, const double truth[12], double a, double b, double rc,
                       double g, bool& openedOnCorner)
{
    const double sx = a - rc, sy = b - rc, r = rc + g;
    const double tangents[8][2] = {{sx, -sy - r}, {sx + r, -sy}, {sx + r, sy},   {sx, sy + r},
                                   {-sx, sy + r}, {-sx - r, sy}, {-sx - r, -sy}, {-sx, -sy - r}};
    const tPolyline<cVertex>& section = *combo.GetSectionPolyline();
    ASSERT_GT(section.GetVertexCount(), 8u);
    const auto truthAt = [&](std::uint32_t i, double local[3]) {
        const cVertex& v = *section.GetVertex(i);
        const double* f = combo.frame;
        double world[3];
        for (int row = 0; row < 3; ++row)
            world[row] = f[4 * row + 3] + f[4 * row] * v.x + f[4 * row + 1] * v.y + f[4 * row + 2] * v.z;
        ToLocal(truth, world, local);
    };
    double opening[3];
    truthAt(0, opening);
    openedOnCorner = std::fabs(opening[0]) > sx && std::fabs(opening[1]) > sy;
    std::vector<std::pair<std::uint32_t, cVertex>> joints;
    for (const auto& t : tangents)
    {
        double best = DBL_MAX;
        std::uint32_t at = 0;
        for (std::uint32_t i = 0; i < section.GetVertexCount(); ++i)
        {
            double local[3];
            truthAt(i, local);
            const double d = std::hypot(local[0] - t[0], local[1] - t[1]);
            if (d < best)
                best = d, at = i;
        }
        joints.emplace_back(at, *section.GetVertex(at));
    }
    combo.SetClosed(true);
    for (const auto& [index, v] : joints)
        ASSERT_TRUE(combo.InsertJoint(index, {v.x, v.y, 0.0f}));
    ASSERT_EQ(combo.GetSegmentCount(), 9u); // the opening splits one piece
}

struct stPlacement
{
    double axis[3];
    double origin[3];
};

// A millimetre part a metre from the origin along a tilted axis, and one
// along a coordinate axis at the origin.
const stPlacement kPlacements[] = {
    {{0.2, -0.5, 0.84}, {1000.0, -400.0, 250.0}},
    {{0.0, 0.0, 1.0}, {0.0, 0.0, 0.0}},
    {{1.0, 0.0, 0.0}, {-20.0, 5.0, 3.0}},
};

// Fit parameters with the direction fixed along the frame's z axis.
stProfileFitParams AlongFrameAxis(const double frame[12])
{
    stProfileFitParams params;
    params.direction[0] = frame[2], params.direction[1] = frame[6], params.direction[2] = frame[10];
    params.directionFixed = 1;
    return params;
}

} // namespace

TEST(ExtrudedFromScan, StraightRoundedRectangleRecoversDirectionHeightAndWall)
{
    for (const stPlacement& place : kPlacements)
    {
        double frame[12];
        PlacedFrame(frame, place.axis, place.origin);
        cMesh mesh;
        BuildRoundedPrism(mesh, frame, 30.0, 20.0, 5.0, 40.0, 0.0, 240, 20, 0.02);
        Dezaz_ExtrudedObject object;
        Dezaz_Extruded& surface = *object.GetGeometry();
        surface.GetSeeds().push_back(0);
        cFitContainer points(RegionPoints(mesh));
        stProfileFitParams params;
        params.sectionCount = 6;
        params.profileKind = 4;
        ASSERT_TRUE(BuildExtrudedFromSections(points, mesh, surface, surface.GetSeeds(), params, 1.0, true));

        double d[3];
        surface.GetDirection(d);
        const double truth[3] = {frame[2], frame[6], frame[10]};
        EXPECT_LT(AngleBetween(d, truth), 0.002);
        EXPECT_NEAR(surface.GetExtrusion().length, 40.0, 0.2); // the noisy extremes
        EXPECT_EQ(surface.GetExtrusion().draftFlag, 0u);
        const stDeviation deviation = BrepDeviation(surface, [&](const double w[3]) {
            double local[3];
            ToLocal(frame, w, local);
            return DistanceFromWall(30.0, 20.0, 5.0, 0.0, 40.0, local[0], local[1], local[2]);
        });
        EXPECT_GT(deviation.samples, 0);
        EXPECT_LT(deviation.alongSweep, 0.1);
        EXPECT_LT(deviation.worst, kProfileFitBound);
    }
}

TEST(ExtrudedFromScan, ThreeDegreeDraftIsMeasuredWithItsSignWhicheverWayTheProfileRuns)
{
    const double draft = 3.0 * kPi / 180.0;
    for (const stPlacement& place : kPlacements)
        for (bool flipped : {false, true})
        {
            double frame[12];
            PlacedFrame(frame, place.axis, place.origin);
            cMesh mesh;
            BuildRoundedPrism(mesh, frame, 30.0, 20.0, 5.0, 40.0, draft, 240, 20, 0.02);
            // Reversed triangles reverse the sections and so the profile.
            if (flipped)
                mesh.FlipNormals();
            Dezaz_ExtrudedObject object;
            Dezaz_Extruded& surface = *object.GetGeometry();
            surface.GetSeeds().push_back(0);
            cFitContainer points(RegionPoints(mesh));
            stProfileFitParams params = AlongFrameAxis(frame);
            params.profileKind = 4;
            params.draftMode = 1;
            ASSERT_TRUE(BuildExtrudedFromSections(points, mesh, surface, surface.GetSeeds(), params, 1.0, true));
            // The sample planes stand across the profile's single arc, which
            // meets the walls obliquely, so the slope reads about 0.35 degree
            // steeper (across the pieces of a jointed chain it is exact).
            EXPECT_NEAR(surface.GetExtrusion().draftAngle, draft, 0.5 * kPi / 180.0) << flipped;
            EXPECT_EQ(surface.GetExtrusion().draftFlag, 1u);
            ASSERT_TRUE(surface.IsTapered());

            const stDeviation deviation = BrepDeviation(surface, [&](const double w[3]) {
                double local[3];
                ToLocal(frame, w, local);
                return DistanceFromWall(30.0, 20.0, 5.0, draft, 40.0, local[0], local[1], local[2]);
            });
            EXPECT_GT(deviation.samples, 0);
            // A draft of the wrong sign would swing the wall by 40 tan(6 deg) = 4.2.
            EXPECT_LT(deviation.alongSweep, 0.6) << flipped;
            EXPECT_LT(deviation.worst, kProfileFitBound) << flipped;
        }
}

TEST(ExtrudedFromScan, AMeasuredDraftIsTheSameAngleOnAPoolAsAlone)
{
    // The sample planes cut the region of a far-out, tilted prism in one
    // pass on the pool: the draft they measure is the one cut alone.
    const stPlacement& place = kPlacements[0];
    double frame[12];
    PlacedFrame(frame, place.axis, place.origin);
    cMesh mesh;
    BuildRoundedPrism(mesh, frame, 30.0, 20.0, 5.0, 40.0, 3.0 * kPi / 180.0, 240, 20, 0.02);
    cFitContainer points(RegionPoints(mesh));
    stProfileFitParams params = AlongFrameAxis(frame);
    params.profileKind = 4;
    params.draftMode = 1;
    cThreadPool pool(4);
    double angles[2] = {};
    for (int pooled = 0; pooled < 2; ++pooled)
    {
        Dezaz_ExtrudedObject object;
        Dezaz_Extruded& surface = *object.GetGeometry();
        surface.GetSeeds().push_back(0);
        SetSharedThreadPool(pooled ? &pool : nullptr);
        const bool built = BuildExtrudedFromSections(points, mesh, surface, surface.GetSeeds(), params, 1.0, true);
        SetSharedThreadPool(nullptr);
        ASSERT_TRUE(built);
        angles[pooled] = surface.GetExtrusion().draftAngle;
    }
    EXPECT_EQ(angles[1], angles[0]);
    EXPECT_NEAR(angles[0], 3.0 * kPi / 180.0, 0.5 * kPi / 180.0);
}

// A cone wall (a 5 degree draft) fitted with a margin around the region, as
// the Shape page's refit asks (1.1): the tapered surface keeps its profile
// half its length from the start, in the region's middle, so the single
// section is cut there. It was cut 5 % of the height lower, and the whole
// wall stood off the scan by that much of the draft: 0.05 x 30 x tan 5 deg
// = 0.13 on a 30 high cone, more than 20 times the noise.
TEST(ExtrudedFromScan, ATaperedFitWithAMarginCutsItsSectionWhereTheProfileSits)
{
    const double draft = 5.0 * kPi / 180.0;
    const stPlacement& place = kPlacements[0];
    double frame[12];
    PlacedFrame(frame, place.axis, place.origin);
    cMesh mesh;
    BuildTurnedStrip(
        mesh, frame, [&](double z) { return 15.0 + z * std::tan(draft); }, 0.0, 30.0, 0.0, 2.0 * kPi, 144, 15, 0.002);
    Dezaz_ExtrudedObject object;
    Dezaz_Extruded& surface = *object.GetGeometry();
    surface.GetSeeds().push_back(0);
    cFitContainer points(RegionPoints(mesh));
    stProfileFitParams params = AlongFrameAxis(frame);
    params.profileKind = 2;
    params.draftMode = 2;
    params.draftAngle = draft;
    ASSERT_TRUE(BuildExtrudedFromSections(points, mesh, surface, surface.GetSeeds(), params, 1.1, true));
    const stDeviation deviation = BrepDeviation(surface, [&](const double w[3]) {
        double local[3];
        ToLocal(frame, w, local);
        return std::fabs(std::hypot(local[0], local[1]) - (15.0 + local[2] * std::tan(draft)));
    });
    EXPECT_GT(deviation.samples, 0);
    EXPECT_LT(deviation.worst, 0.02);
}

// The joints, piece fits and joint solves of the chain: with its joints at
// the corner tangents the profile of the scan lies within the noise of the
// true wall, and the draft measured across the chain's pieces is the true
// one; so what the unedited profile misses is its single piece alone.
TEST(ExtrudedFromScan, JointsAtTheCornerTangentsBringTheChainToTheNoise)
{
    for (const double degrees : {0.0, 3.0})
        for (const stPlacement& place : kPlacements)
        {
            const double draft = degrees * kPi / 180.0;
            double frame[12];
            PlacedFrame(frame, place.axis, place.origin);
            cMesh mesh;
            BuildRoundedPrism(mesh, frame, 30.0, 20.0, 5.0, 40.0, draft, 240, 20, 0.02);
            Dezaz_ExtrudedObject object;
            Dezaz_Extruded& surface = *object.GetGeometry();
            surface.GetSeeds().push_back(0);
            cFitContainer points(RegionPoints(mesh));
            stProfileFitParams params = AlongFrameAxis(frame);
            params.sectionCount = 6;
            params.profileKind = 4;
            params.draftMode = degrees > 0.0 ? 1 : 0;
            ASSERT_TRUE(BuildExtrudedFromSections(points, mesh, surface, surface.GetSeeds(), params, 1.0, true));
            auto* combo = dynamic_cast<ST_TComboCurve<Dezaz_Wire>*>(surface.GetProfileCurve());
            ASSERT_NE(combo, nullptr);
            ASSERT_EQ(combo->GetSegmentCount(), 1u);
            // A single section at mid-height when the draft is measured.
            const double g = degrees > 0.0 ? 20.0 * std::tan(draft) : 0.0;
            bool openedOnCorner = false;
            PlaceCornerJoints(*combo, frame, 30.0, 20.0, 5.0, g, openedOnCorner);
            if (::testing::Test::HasFatalFailure())
                return;
            ApplyDraftAngle(surface.GetSeeds(), mesh, surface, params.draftMode, 0.0);
            EXPECT_NEAR(surface.GetExtrusion().draftAngle, draft, 0.05 * kPi / 180.0) << degrees;

            const stDeviation deviation = BrepDeviation(surface, [&](const double w[3]) {
                double local[3];
                ToLocal(frame, w, local);
                return DistanceFromWall(30.0, 20.0, 5.0, draft, 40.0, local[0], local[1], local[2]);
            });
            EXPECT_GT(deviation.samples, 0);
            // Noise of sigma 0.02; a corner that the opening cut in two is
            // two pieces too short for arcs, so two lines cut it a little.
            EXPECT_LT(deviation.worst, openedOnCorner ? 0.4 : 0.1) << degrees;
            EXPECT_LT(deviation.alongSweep, 0.1) << degrees;
        }
}

TEST(RevolvedFromScan, KnobRecoversAxisAndProfile)
{
    for (const stPlacement& place : kPlacements)
    {
        // The knob's axis is the frame's y column.
        double frame[12];
        PlacedFrame(frame, place.axis, place.origin);
        cMesh mesh;
        BuildKnob(mesh, frame, 0.75 * kPi, 90, 60, 0.01);
        Dezaz_RevolvedObject object;
        Dezaz_Revolved& surface = *object.GetGeometry();
        surface.GetSeeds().push_back(0);
        cFitContainer points(RegionPoints(mesh));
        stProfileFitParams params;
        params.direction[0] = frame[1], params.direction[1] = frame[5], params.direction[2] = frame[9];
        params.point[0] = frame[3], params.point[1] = frame[7], params.point[2] = frame[11];
        params.directionFixed = 1;
        params.pointFixed = 1;
        params.sectionCount = 8;
        params.profileKind = 3;
        ASSERT_TRUE(BuildRevolvedFromSections(points, mesh, surface, surface.GetSeeds(), params, true));
        ASSERT_TRUE(surface.BuildHostSurface());

        double a[3], o[3];
        surface.GetDirection(a);
        surface.GetOrigin(o);
        const double truth[3] = {frame[1], frame[5], frame[9]};
        EXPECT_LT(AngleBetween(a, truth), 1e-9);
        const stDeviation deviation = BrepDeviation(surface, [&](const double w[3]) {
            double local[3];
            ToLocal(frame, w, local);
            return stKnob::Distance(std::hypot(local[0], local[2]), local[1]);
        });
        EXPECT_GT(deviation.samples, 0);
        EXPECT_LT(deviation.worst, 0.1);
    }
}

TEST(RevolvedFromScan, FreeAxisIsFoundFromABandOfTheWall)
{
    // A low band of the knob's wall over most of a turn: the points alone
    // give the axis (the normal of their plane) and its point (the centre of
    // their circle).
    for (const stPlacement& place : kPlacements)
    {
        double frame[12];
        PlacedFrame(frame, place.axis, place.origin);
        cMesh mesh;
        BuildKnob(mesh, frame, 1.5 * kPi, 120, 4, 0.01, 7, 0.03);
        Dezaz_RevolvedObject object;
        Dezaz_Revolved& surface = *object.GetGeometry();
        surface.GetSeeds().push_back(0);
        cFitContainer points(RegionPoints(mesh));
        stProfileFitParams params;
        params.sectionCount = 8;
        params.profileKind = 1;
        ASSERT_TRUE(BuildRevolvedFromSections(points, mesh, surface, surface.GetSeeds(), params, true));
        ASSERT_TRUE(surface.BuildHostSurface());
        double a[3], o[3];
        surface.GetDirection(a);
        surface.GetOrigin(o);
        const double truth[3] = {frame[1], frame[5], frame[9]};
        double local[3];
        ToLocal(frame, o, local);
        EXPECT_LT(AngleBetween(a, truth), 0.01);
        EXPECT_LT(std::hypot(local[0], local[2]), 0.02);
        const stDeviation deviation = BrepDeviation(surface, [&](const double w[3]) {
            double l[3];
            ToLocal(frame, w, l);
            return std::fabs(std::hypot(l[0], l[2]) - 10.0);
        });
        EXPECT_LT(deviation.worst, 0.05);
    }
}

TEST(SweepRefits, SurfacesRefitThemselvesFromTheirSeedsKeepingTheirKind)
{
    double frame[12];
    const double axis[3] = {0.0, 0.0, 1.0}, origin[3] = {0.0, 0.0, 0.0};
    PlacedFrame(frame, axis, origin);
    cMesh prism;
    BuildRoundedPrism(prism, frame, 30.0, 20.0, 5.0, 40.0, 0.0, 160, 10, 0.02);
    Dezaz_Extruded extruded;
    extruded.GetSeeds().push_back(0);
    cFitContainer points(RegionPoints(prism));
    stProfileFitParams params;
    params.profileKind = 4;
    ASSERT_TRUE(BuildExtrudedFromSections(points, prism, extruded, extruded.GetSeeds(), params, 1.0, true));
    const double length = extruded.GetExtrusion().length;
    ASSERT_TRUE(extruded.FitFromMesh(prism, 4, true));
    EXPECT_EQ(extruded.GetProfileCurve()->GetClassGuid(), CLSID_ST_TComboCurve);
    EXPECT_NEAR(extruded.GetExtrusion().length, length, 1e-6);
    EXPECT_GT(extruded.CachedBrepCount(), 0);

    cMesh knob;
    BuildKnob(knob, frame, 0.75 * kPi, 60, 40, 0.01);
    Dezaz_Revolved revolved;
    revolved.GetSeeds().push_back(0);
    cFitContainer knobPoints(RegionPoints(knob));
    stProfileFitParams fixedAxis;
    fixedAxis.direction[0] = frame[1], fixedAxis.direction[1] = frame[5], fixedAxis.direction[2] = frame[9];
    fixedAxis.directionFixed = fixedAxis.pointFixed = 1;
    fixedAxis.profileKind = 3;
    ASSERT_TRUE(BuildRevolvedFromSections(knobPoints, knob, revolved, revolved.GetSeeds(), fixedAxis, true));
    ASSERT_TRUE(revolved.FitFromMesh(knob, 6, true));
    EXPECT_EQ(revolved.GetProfileCurve()->GetClassGuid(), CLSID_ST_TSplineCurve);
    EXPECT_EQ(revolved.GetProfileCurve()->id, 6u);
    EXPECT_GT(revolved.CachedBrepCount(), 0);
    // Seeds that no longer name a triangle leave no region: no refit.
    revolved.GetSeeds().assign(1, knob.GetTriangleCount() + 10);
    EXPECT_FALSE(revolved.FitFromMesh(knob, 6, true));
    EXPECT_EQ(revolved.GetProfileCurve()->GetClassGuid(), CLSID_ST_TSplineCurve);
}

TEST(SweepBuilders, AskForTheSectionCurveClassesTheFactoryMakes)
{
    EXPECT_EQ(CLSID_ST_TLineCurve, CLSID_ST_TLineCurve);
    EXPECT_EQ(CLSID_ST_TArcCurve, CLSID_ST_TArcCurve);
    EXPECT_EQ(CLSID_ST_TSplineCurve, CLSID_ST_TSplineCurve);
    EXPECT_EQ(CLSID_ST_TComboCurve, CLSID_ST_TComboCurve);
}

TEST(ExtrudedSurface, DraftAnglesWrapByWholeTurnsAndClamp)
{
    Dezaz_Extruded surface;
    ExtrusionParameters e;
    e.draftFlag = 1;
    e.draftAngle = 3.0 * kPi;
    surface.SetDirection(&e);
    EXPECT_DOUBLE_EQ(surface.GetExtrusion().draftAngle, 0.5 * kPi);
    e.draftAngle = -0.3;
    surface.SetDirection(&e);
    EXPECT_DOUBLE_EQ(surface.GetExtrusion().draftAngle, -0.3);
    // Huge angles end at once; non-finite ones change nothing.
    e.draftAngle = 1e300;
    surface.SetDirection(&e);
    EXPECT_LE(std::fabs(surface.GetExtrusion().draftAngle), 0.5 * kPi);
    e.draftAngle = 0.2;
    surface.SetDirection(&e);
    e.draftAngle = INFINITY;
    surface.SetDirection(&e);
    EXPECT_DOUBLE_EQ(surface.GetExtrusion().draftAngle, 0.2);
    e.draftAngle = NAN;
    surface.SetDirection(&e);
    EXPECT_DOUBLE_EQ(surface.GetExtrusion().draftAngle, 0.2);
}

namespace
{

std::unique_ptr<ST_ISectionCurve> LineProfile(const double frame[12], double x0, double y0, double x1, double y1)
{
    auto line = std::make_unique<ST_TLineCurve<Dezaz_Wire>>();
    tPolylineCollection<tFramePolyline<cVertex>> sections;
    tFramePolyline<cVertex>& s = *sections.Add(tFramePolyline<cVertex>());
    std::copy(frame, frame + 12, s.frame);
    double a[3] = {x0, y0, 0.0}, b[3] = {x1, y1, 0.0}, wa[3], wb[3];
    for (int r = 0; r < 3; ++r)
    {
        wa[r] = frame[4 * r] * a[0] + frame[4 * r + 1] * a[1] + frame[4 * r + 3];
        wb[r] = frame[4 * r] * b[0] + frame[4 * r + 1] * b[1] + frame[4 * r + 3];
    }
    s.AddPoint3d(wa);
    s.AddPoint3d(wb);
    double copy[12];
    std::copy(frame, frame + 12, copy);
    EXPECT_TRUE(line->RebuildWire(copy, sections, 0.0f, nullptr));
    return line;
}


// Writes a scene object's record into bytes.
template <class T> std::vector<std::uint8_t> RecordOf(T& object)
{
    ON_MemoryArchive archive;
    CDezazBinStream stream(&archive);
    EXPECT_TRUE(object.Write(&stream));
    return archive.Buffer();
}

template <class T> bool ReadRecord(T& object, const std::vector<std::uint8_t>& bytes, std::uint32_t minor)
{
    ON_MemoryArchive archive(bytes.data(), bytes.size());
    CDezazBinStream stream(&archive);
    return object.Read(&stream, 0, minor);
}

} // namespace

TEST(ExtrudedSurface, HandlesLengthenAndMoveTheOriginByTheirRules)
{
    double frame[12];
    MakeIdentity3x4(frame);
    frame[3] = 5.0;
    Dezaz_Extruded surface;
    ASSERT_TRUE(surface.SetProfile(LineProfile(frame, 0, 0, 4, 0).get(), 0));
    ExtrusionParameters e;
    e.length = 3.0;
    surface.SetDirection(&e);
    ASSERT_EQ(surface.GetHandleCount(), 2);
    float points[2][3], directions[2][3];
    surface.GetHandles(points, directions);
    EXPECT_FLOAT_EQ(points[1][2] - points[0][2], 3.0f);
    EXPECT_FLOAT_EQ(directions[0][2], -1.0f);

    // Handle 1 of a straight surface: the length stops at 0.001, the origin stays.
    surface.MoveHandle(1, -5.0);
    EXPECT_DOUBLE_EQ(surface.GetExtrusion().length, 0.001);
    EXPECT_DOUBLE_EQ(surface.GetProfileOrigin().z, 0.0);
    // Handle 0 moves the origin back by the whole distance; tapered by half.
    surface.MoveHandle(0, 2.0);
    EXPECT_NEAR(surface.GetProfileOrigin().z, -2.0, 1e-12);
    e = surface.GetExtrusion();
    e.draftAngle = 0.1;
    surface.SetDirection(&e);
    surface.MoveHandle(0, 2.0);
    EXPECT_NEAR(surface.GetProfileOrigin().z, -3.0, 1e-12);
    // The angle without the flag still builds straight.
    EXPECT_EQ(surface.CachedBrepCount(), 1);
    EXPECT_FALSE(surface.IsTapered());
}

TEST(ExtrudedSurface, StraightAndTaperedBuildsSpanTheLength)
{
    double frame[12];
    MakeIdentity3x4(frame);
    Dezaz_Extruded surface;
    ASSERT_TRUE(surface.SetProfile(LineProfile(frame, -1, 0, 1, 0).get(), 0));
    ExtrusionParameters e;
    e.length = 4.0;
    surface.SetDirection(&e);
    ASSERT_TRUE(surface.BuildHostSurface());
    ASSERT_EQ(surface.CachedBrepCount(), 1);
    float box[6];
    surface.GetBoundingBox(box);
    EXPECT_FLOAT_EQ(box[2], 0.0f);
    EXPECT_FLOAT_EQ(box[5], 4.0f);

    // Tapered: one wall through the profile at mid length, from 0 to 4.
    e.draftFlag = 1;
    e.draftAngle = 0.2;
    surface.SetDirection(&e);
    ASSERT_TRUE(surface.BuildHostSurface());
    EXPECT_EQ(surface.CachedBrepCount(), 2);
    surface.GetBoundingBox(box);
    EXPECT_FLOAT_EQ(box[2], 0.0f);
    EXPECT_FLOAT_EQ(box[5], 4.0f);

    ON_wString text;
    surface.GetInfoText(text);
    EXPECT_NE(std::wstring(text.Array()).find(L"Draft Angle: 11.459"), std::wstring::npos);
}

TEST(ExtrudedSurface, TransformMovesTheBreps)
{
    double frame[12];
    MakeIdentity3x4(frame);
    Dezaz_Extruded surface;
    ASSERT_TRUE(surface.SetProfile(LineProfile(frame, -1, 0, 1, 0).get(), 1));
    double shift[12];
    MakeIdentity3x4(shift);
    shift[11] = 10.0;
    surface.Transform(shift);
    float box[6];
    surface.GetBoundingBox(box);
    EXPECT_FLOAT_EQ(box[2], 10.0f);
}

TEST(RevolvedSurface, ProfilesAreCutBackOntoTheAxis)
{
    double frame[12];
    MakeIdentity3x4(frame);
    Dezaz_Revolved surface;
    ASSERT_TRUE(surface.SetProfile(LineProfile(frame, -2, 0, 5, 3).get(), 1));
    EXPECT_NEAR(surface.GetProfileCurve()->GetLocalStartPoint().x, 0.0, 1e-9);
    EXPECT_NEAR(surface.GetProfileCurve()->GetLocalStartPoint().y, 6.0 / 7.0, 1e-9);
    ASSERT_TRUE(surface.SetProfile(LineProfile(frame, 2, 0, 5, 3).get(), 1));
    EXPECT_NEAR(surface.GetProfileCurve()->GetLocalStartPoint().x, 2.0, 1e-9);
    EXPECT_EQ(surface.CachedBrepCount(), 1);

    // The mid handle turns the profile by at most a quarter turn.
    ASSERT_EQ(surface.GetHandleCount(), 3);
    surface.MoveHandle(2, 10.0);
    const t3DPoint<double> x = {surface.GetProfileCurve()->frame[0], surface.GetProfileCurve()->frame[4],
                                surface.GetProfileCurve()->frame[8]};
    EXPECT_NEAR(std::fabs(x.z), 1.0, 1e-9);
    EXPECT_NEAR(x.x, 0.0, 1e-9);
}

TEST(SweepRecords, ExtrudedRecordsRoundTripInBothVersions)
{
    double frame[12];
    MakeIdentity3x4(frame);
    frame[3] = 1000.0;
    Dezaz_ExtrudedObject object;
    ASSERT_TRUE(object.GetGeometry()->SetProfile(LineProfile(frame, 0, 0, 3, 1).get(), 0));
    ExtrusionParameters e;
    e.length = 12.5;
    e.draftFlag = 1;
    e.draftAngle = -0.05;
    object.GetGeometry()->SetDirection(&e);

    const std::vector<std::uint8_t> bytes = RecordOf(object);

    Dezaz_ExtrudedObject back;
    ASSERT_TRUE(ReadRecord(back, bytes, 7));
    EXPECT_DOUBLE_EQ(back.GetGeometry()->GetExtrusion().length, 12.5);
    EXPECT_EQ(back.GetGeometry()->GetExtrusion().draftFlag, 1u);
    EXPECT_DOUBLE_EQ(back.GetGeometry()->GetExtrusion().draftAngle, -0.05);
    ASSERT_NE(back.GetGeometry()->GetProfileCurve(), nullptr);
    EXPECT_NEAR(back.GetGeometry()->GetProfileCurve()->GetEndPoint().x, 1003.0, 1e-9);

    // Version 6 had no draft: length, then the profile; the draft stays.
    std::vector<std::uint8_t> v6(bytes.begin(), bytes.begin() + 8);
    v6.insert(v6.end(), bytes.begin() + 20, bytes.end());
    Dezaz_ExtrudedObject old;
    ExtrusionParameters kept;
    kept.draftFlag = 7;
    kept.draftAngle = 0.25;
    old.GetGeometry()->SetDirection(&kept);
    ASSERT_TRUE(ReadRecord(old, v6, 6));
    EXPECT_DOUBLE_EQ(old.GetGeometry()->GetExtrusion().length, 12.5);
    EXPECT_EQ(old.GetGeometry()->GetExtrusion().draftFlag, 7u);
    EXPECT_DOUBLE_EQ(old.GetGeometry()->GetExtrusion().draftAngle, 0.25);

    // Every truncation fails, and a non-finite stored angle is refused.
    for (std::size_t size = 0; size < bytes.size(); ++size)
    {
        Dezaz_ExtrudedObject cut;
        EXPECT_FALSE(ReadRecord(cut, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + size), 7)) << size;
    }
    std::vector<std::uint8_t> bad = bytes;
    const double nan = NAN;
    std::memcpy(bad.data() + 12, &nan, 8);
    Dezaz_ExtrudedObject refused;
    EXPECT_FALSE(ReadRecord(refused, bad, 7));

    // Without a profile: the nil class id keeps the reader in step.
    Dezaz_ExtrudedObject empty;
    Dezaz_ExtrudedObject emptyBack;
    EXPECT_TRUE(ReadRecord(emptyBack, RecordOf(empty), 7));
    EXPECT_EQ(emptyBack.GetGeometry()->GetProfileCurve(), nullptr);
}

TEST(SweepRecords, RevolvedRecordRoundTripsAndReportsDamage)
{
    double frame[12];
    MakeIdentity3x4(frame);
    Dezaz_RevolvedObject object;
    ASSERT_TRUE(object.GetGeometry()->SetProfile(LineProfile(frame, 2, 0, 5, 3).get(), 0));
    const std::vector<std::uint8_t> bytes = RecordOf(object);
    Dezaz_RevolvedObject back;
    ASSERT_TRUE(ReadRecord(back, bytes, 7));
    EXPECT_NEAR(back.GetGeometry()->GetProfileCurve()->GetEndPoint().y, 3.0, 1e-12);
    for (std::size_t size = 0; size < bytes.size(); ++size)
    {
        Dezaz_RevolvedObject cut;
        EXPECT_FALSE(ReadRecord(cut, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + size), 7)) << size;
    }
}

TEST(SweepSessions, RevolvedAndExtrudedSessionsRoundTripThroughTheHistory)
{
    const ON_UUID host = ON_UuidFromString("5A1B2C3D-4E5F-4061-8273-94A5B6C7D8E9");
    double frame[12];
    MakeIdentity3x4(frame);
    frame[7] = -250.0;
    CEntitiesHistory history;
    CObjectSurfaces* entry = history.GetOrCreate(host);
    auto* revolved = dynamic_cast<CSessionRevolved*>(entry->CreateSession(CLSID_CSessionRevolved, false));
    auto* extruded = dynamic_cast<CSessionExtruded*>(entry->CreateSession(CLSID_CSessionExtruded, false));
    ASSERT_NE(revolved, nullptr);
    ASSERT_NE(extruded, nullptr);
    ASSERT_TRUE(revolved->GetObject().GetGeometry()->SetProfile(LineProfile(frame, 2, 0, 5, 3).get(), 1));
    Dezaz_Extruded& shape = *extruded->GetObject().GetGeometry();
    ASSERT_TRUE(shape.SetProfile(LineProfile(frame, -1, 0, 1, 0).get(), 0));
    ExtrusionParameters e;
    e.length = 6.0;
    e.draftFlag = 1;
    e.draftAngle = 0.04;
    shape.SetDirection(&e);
    extruded->SetParameter(0.01);
    EXPECT_DOUBLE_EQ(shape.GetMergeTolerance(), 0.01);

    ON_MemoryArchive out;
    ASSERT_TRUE(history.Write(out));
    const std::vector<std::uint8_t> bytes = out.Buffer();
    ON_MemoryArchive in(bytes.data(), bytes.size());
    int major = 0, minor = 0;
    ASSERT_TRUE(in.Read3dmChunkVersion(&major, &minor));
    CEntitiesHistory back;
    ASSERT_TRUE(back.Read(in, major, minor));
    auto* revolvedBack = dynamic_cast<CSessionRevolved*>(back.Entry(0)->Session(0));
    auto* extrudedBack = dynamic_cast<CSessionExtruded*>(back.Entry(0)->Session(1));
    ASSERT_NE(revolvedBack, nullptr);
    ASSERT_NE(extrudedBack, nullptr);
    EXPECT_EQ(revolvedBack->GetName(), revolved->GetName());
    const ST_ISectionCurve* profile = revolvedBack->GetObject().GetGeometry()->GetProfileCurve();
    ASSERT_NE(profile, nullptr);
    EXPECT_NEAR(profile->GetEndPoint().y, -247.0, 1e-9);
    const ExtrusionParameters& read = extrudedBack->GetObject().GetGeometry()->GetExtrusion();
    EXPECT_DOUBLE_EQ(read.length, 6.0);
    EXPECT_EQ(read.draftFlag, 1u);
    EXPECT_DOUBLE_EQ(read.draftAngle, 0.04);
    EXPECT_EQ(RecordOf(extrudedBack->GetObject()), RecordOf(extruded->GetObject()));

    // A history cut inside the extruded record is refused, not half read.
    ON_MemoryArchive cut(bytes.data(), bytes.size() - 9);
    ASSERT_TRUE(cut.Read3dmChunkVersion(&major, &minor));
    CEntitiesHistory partial;
    EXPECT_FALSE(partial.Read(cut, major, minor));
}
