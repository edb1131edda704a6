// Profiled fits of strips of round parts, as a user marks them with a brush
// stroke across the front of a boss or a knob: an extrusion whose arc must
// lie on the boss, and a surface of revolution whose axis must be the
// knob's. Generated scans with noise and a few stray points, in millimetres,
// far from the origin and in several orientations.
#include "shapes/arc_section_curve.h"
#include "shapes/extruded_surface.h"
#include "shapes/revolved_surface.h"
#include "shapes/section_curve_geometry.h"
#include "shapes/tests/sweep_scans.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace sweep_scans;

namespace
{

tFitPointQueue AllPoints(const cMesh& mesh)
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

// The largest |distance(w)| over a grid of samples of the surface's breps;
// -1 when it has none.
template <class F> double WorstOverBreps(ON_ISurface& surface, F&& distance)
{
    const ON_SimpleArray<ON_Brep*>* breps = surface.GetBreps();
    if (breps == nullptr || breps->Count() == 0)
        return -1.0;
    double worst = 0.0;
    for (int b = 0; b < breps->Count(); ++b)
        for (int f = 0; f < (*breps)[b]->FaceCount(); ++f)
        {
            const ON_Surface* s = (*breps)[b]->Surface(f);
            const ON_Interval u = s->Domain(0), v = s->Domain(1);
            for (int i = 0; i <= 40; ++i)
                for (int j = 0; j <= 8; ++j)
                {
                    const ON_3dPoint p = s->PointAt(u.ParameterAt(i / 40.0), v.ParameterAt(j / 8.0));
                    const double world[3] = {p.x, p.y, p.z};
                    worst = std::max(worst, std::fabs(distance(world)));
                }
        }
    return worst;
}

double AngleBetweenLines(const double a[3], const double b[3])
{
    const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    const double na = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    const double nb = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
    return std::acos(std::clamp(std::fabs(dot) / (na * nb), 0.0, 1.0));
}

struct stPlacement
{
    double axis[3];
    double origin[3];
};

// Upright at the sample's boss, tilted a metre out, lying along x.
const stPlacement kPlacements[] = {
    {{0.0, 0.0, 1.0}, {20.0, 30.0, 20.0}},
    {{0.2, -0.5, 0.84}, {1000.0, -400.0, 250.0}},
    {{1.0, 0.0, 0.0}, {-200.0, 55.0, 30.0}},
};

} // namespace

// The strip the main job brushes across the front of the sample's boss
// (radius 12): its extruded fit, with the direction given (stood upright)
// or found, is an arc on the boss. Lengthened ends that left the circle
// along their tangents made it an arc of radius 15 to 16 that strayed up to
// 5 from the boss; a least-squares arc through the spikes of the stray
// points stood up to 0.03 off it; and a free direction was the strip's
// outward normal.
TEST(ExtrudedStripOfABoss, ArcLiesOnTheBoss)
{
    const double radius = 12.0;
    for (const stPlacement& place : kPlacements)
        for (const double degrees : {80.0, 120.0, 200.0})
            for (const bool free : {false, true})
            {
                SCOPED_TRACE(testing::Message() << "axis " << place.axis[0] << "," << place.axis[1] << ","
                                                << place.axis[2] << " sweep " << degrees << " free " << free);
                double frame[12];
                PlacedFrame(frame, place.axis, place.origin);
                cMesh mesh;
                const double sweep = degrees * kPi / 180.0;
                BuildCylinderStrip(mesh, frame, radius, -0.5 * kPi - 0.5 * sweep, sweep, 15.0,
                                   static_cast<std::uint32_t>(degrees / 2), 15, 0.01);
                // A stroke over the front of the boss catches a rim of its
                // top and of the face it stands on.
                const double from = -0.5 * kPi - 0.5 * sweep;
                BuildRingSector(mesh, frame, radius - 2.0, radius, 15.0, from, sweep,
                                static_cast<std::uint32_t>(degrees / 2), 2, 0.01);
                BuildRingSector(mesh, frame, radius, radius + 1.5, 0.0, from, sweep,
                                static_cast<std::uint32_t>(degrees / 2), 2, 0.01);
                AddOutliers(mesh, 6, 1.5);
                Dezaz_ExtrudedObject object;
                Dezaz_Extruded& surface = *object.GetGeometry();
                surface.GetSeeds().push_back(0);
                cFitContainer points(AllPoints(mesh));
                stProfileFitParams params;
                if (!free)
                {
                    params.direction[0] = frame[2], params.direction[1] = frame[6], params.direction[2] = frame[10];
                    params.directionFixed = 1;
                }
                params.sectionCount = 20;
                ASSERT_TRUE(BuildExtrudedFromSections(points, mesh, surface, surface.GetSeeds(), params, 1.0, true));
                auto* arc = dynamic_cast<ST_TArcCurve<Dezaz_Wire>*>(surface.GetProfileCurve());
                ASSERT_NE(arc, nullptr) << "the automatic kind takes the arc";
                // The arc the wire was built through, after its ends were
                // lengthened.
                double centre[3];
                const double fitted = CircumradiusOf3Points(arc->cachedStart, arc->cachedMid, arc->cachedEnd, centre);
                double d[3];
                surface.GetDirection(d);
                const double truth[3] = {frame[2], frame[6], frame[10]};
                const double stray = WorstOverBreps(surface, [&](const double w[3]) {
                    double local[3];
                    ToLocal(frame, w, local);
                    return std::hypot(local[0], local[1]) - radius;
                });
                EXPECT_NEAR(fitted, radius, 0.015);
                EXPECT_GE(stray, 0.0) << "no breps";
                EXPECT_LT(stray, free ? 0.03 : 0.015);
                EXPECT_LT(AngleBetweenLines(d, truth), 0.003);
                // Half the chord more at each end, along the boss.
                const double chord = 2.0 * radius * std::sin(0.5 * sweep);
                const double grown = std::min(sweep + 2.0 * (0.5 * chord / radius), sweep + 0.5 * (2.0 * kPi - sweep));
                EXPECT_NEAR(arc->GetWire()->GetLength(), radius * grown, 0.05 * radius);
            }
}

// A stroke down the front of a knob (the knob's profile over a quarter and
// over 140 degrees of a turn) with a free axis: the best plane of such a
// strip stands along the axis, so its normal was taken for the axis (off by
// over a radian); the axis is where the normals meet, refined until the
// strip's halves turn onto one profile.
TEST(RevolvedStripOfAKnob, AxisIsWhereTheNormalsMeet)
{
    for (const stPlacement& place : kPlacements)
        for (const double degrees : {90.0, 140.0})
            for (const bool strays : {false, true})
            {
                SCOPED_TRACE(testing::Message() << "axis " << place.axis[0] << "," << place.axis[1] << ","
                                                << place.axis[2] << " sweep " << degrees << " strays " << strays);
                // The knob's axis is the frame's y column.
                double frame[12];
                PlacedFrame(frame, place.axis, place.origin);
                cMesh mesh;
                BuildKnob(mesh, frame, degrees * kPi / 180.0, static_cast<std::uint32_t>(degrees / 3), 40, 0.01);
                if (strays)
                    AddOutliers(mesh, 6, 1.5);
                Dezaz_RevolvedObject object;
                Dezaz_Revolved& surface = *object.GetGeometry();
                surface.GetSeeds().push_back(0);
                cFitContainer points(AllPoints(mesh));
                stProfileFitParams params;
                params.sectionCount = 10;
                params.profileKind = 3;
                ASSERT_TRUE(BuildRevolvedFromSections(points, mesh, surface, surface.GetSeeds(), params, true));
                ASSERT_TRUE(surface.BuildHostSurface());
                double a[3], o[3];
                surface.GetDirection(a);
                surface.GetOrigin(o);
                const double truth[3] = {frame[1], frame[5], frame[9]};
                double local[3];
                ToLocal(frame, o, local);
                const double offAxis = AngleBetweenLines(a, truth);
                EXPECT_LT(offAxis, degrees < 100.0 ? 0.008 : 0.004);
                EXPECT_LT(std::hypot(local[0], local[2]), degrees < 100.0 ? 0.08 : 0.04);
                // The spline profile follows the spikes of stray points;
                // without them the surface lies on the knob.
                if (!strays)
                {
                    const double stray = WorstOverBreps(surface, [&](const double w[3]) {
                        double l[3];
                        ToLocal(frame, w, l);
                        return stKnob::Distance(std::hypot(l[0], l[2]), l[1]);
                    });
                    EXPECT_GE(stray, 0.0) << "no breps";
                    EXPECT_LT(stray, 0.2);
                }
            }
}

// The sample's knob, r = 7 - 2 sin(pi z / 12) over 12 of height, brushed
// over its front (70 degrees), with the automatic profile kind; with rims
// of the face it stands on and of its flat top, as the main job's stroke
// catches them. Normals parallel to the axis (the rims') meet it at
// infinity and keep the axis; the automatic kind's line or arc cannot
// follow wall and rims, but the arc of the wall alone keeps to the knob
// within the sine's bulge off its best circle.
TEST(RevolvedStripOfAKnob, SampleKnobKeepsItsAxisWithTheRimsAStrokeCatches)
{
    for (const stPlacement& place : kPlacements)
        for (const bool rims : {false, true})
        {
            SCOPED_TRACE(testing::Message() << "axis " << place.axis[0] << "," << place.axis[1] << ","
                                            << place.axis[2] << " rims " << rims);
            double frame[12];
            PlacedFrame(frame, place.axis, place.origin);
            cMesh mesh;
            const auto radius = [](double z) { return 7.0 - 2.0 * std::sin(kPi * z / 12.0); };
            const double from = -0.5 * kPi - 0.6, sweep = 1.2;
            BuildTurnedStrip(mesh, frame, radius, 0.0, 12.0, from, sweep, 12, 12, 0.01);
            if (rims)
            {
                BuildRingSector(mesh, frame, 7.0, 8.5, 0.0, from, sweep, 12, 2, 0.01);
                BuildRingSector(mesh, frame, 5.0, 7.0, 12.0, from, sweep, 12, 2, 0.01);
            }
            AddOutliers(mesh, 3, 1.0);
            Dezaz_RevolvedObject object;
            Dezaz_Revolved& surface = *object.GetGeometry();
            surface.GetSeeds().push_back(0);
            cFitContainer points(AllPoints(mesh));
            stProfileFitParams params;
            params.sectionCount = 20;
            ASSERT_TRUE(BuildRevolvedFromSections(points, mesh, surface, surface.GetSeeds(), params, true));
            ASSERT_TRUE(surface.BuildHostSurface());
            double a[3], o[3];
            surface.GetDirection(a);
            surface.GetOrigin(o);
            const double truth[3] = {frame[2], frame[6], frame[10]};
            double local[3];
            ToLocal(frame, o, local);
            // A sparse strip (the sample's spacing) with a spike in every
            // sixty points.
            EXPECT_LT(AngleBetweenLines(a, truth), 0.02);
            EXPECT_LT(std::hypot(local[0], local[1]), 0.3);
            if (!rims)
            {
                ASSERT_EQ(surface.GetProfileCurve()->GetClassGuid(), CLSID_ST_TArcCurve);
                const double stray = WorstOverBreps(surface, [&](const double w[3]) {
                    double l[3];
                    ToLocal(frame, w, l);
                    // Only over the knob's height: the profile runs on.
                    return l[2] < 0.0 || l[2] > 12.0 ? 0.0 : std::hypot(l[0], l[1]) - radius(l[2]);
                });
                EXPECT_GE(stray, 0.0) << "no breps";
                EXPECT_LT(stray, 0.5);
            }
        }
}
