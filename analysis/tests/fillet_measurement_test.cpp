#include "analysis/fillet_measurement.h"
#include "analysis/tests/fillet_test_meshes.h"

#include "core/frame_math.h"
#include "fitting/circle_fit.h"
#include "fitting/mesh_plane_sectioner.h"
#include "fitting/section_triangle_index.h"
#include "platform/geometry/line_curve.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

using namespace fillet_test;

namespace
{

// Orientations of the scans: axis-aligned, tilted, and turned about every axis.
std::vector<stFilletScan> Orientations(double radius)
{
    std::vector<stFilletScan> scans(3);
    for (stFilletScan& s : scans)
        s.startRadius = s.endRadius = radius;
    scans[1].u = ON_3dVector(0.6, 0.8, 0.0);
    scans[1].v = ON_3dVector(0.0, 0.0, 1.0);
    scans[1].origin = ON_3dPoint(-2300.0, 640.0, 95.0);
    scans[2].u = ON_3dVector(0.3, -0.5, 0.81);
    scans[2].v = ON_3dVector(0.9, 0.4, 0.1);
    scans[2].origin = ON_3dPoint(310.0, 4200.0, -1780.0);
    return scans;
}

double Fraction(double t, const ON_Curve& curve)
{
    return curve.Domain()[0] + t * curve.Domain().Length();
}

} // namespace

// ---------------------------------------------------------------- fillets of known radius

TEST(FilletMeasurement, FilletsBetweenTwoPlanesMeasureTheirRadiusWithinTheNoise)
{
    for (double radius : {2.5, 10.0})
        for (stFilletScan scan : Orientations(radius))
        {
            scan.faceLength = 4.0 * radius + 10.0;
            scan.arcPoints = 64;
            const auto mesh = FilletScanMesh(scan);
            const ON_LineCurve edge = CornerEdge(scan);
            const stFilletMeasurement m = MeasureFilletAlongCurve(*mesh, edge, 0.1, 0.9, 10);
            EXPECT_EQ(m.stations, 11);
            EXPECT_EQ(m.measured, 11) << radius;
            // Sixty-odd points with 0.01 of noise fix the radius to a few
            // thousandths; a fit that took in the faces would be off by mm.
            EXPECT_NEAR(m.radius, radius, 0.02 + 0.002 * radius) << "radius " << radius << " at " << scan.origin.x;
        }
}

TEST(FilletMeasurement, FacesMeetingAtOtherAnglesDoNotBiasTheRadius)
{
    for (double angle : {60.0, 120.0, 140.0})
    {
        stFilletScan scan;
        scan.angleDegrees = angle;
        scan.startRadius = scan.endRadius = 4.0;
        scan.arcPoints = 64;
        const auto mesh = FilletScanMesh(scan);
        const stFilletMeasurement m = MeasureFilletAlongCurve(*mesh, CornerEdge(scan), 0.2, 0.8, 4);
        EXPECT_EQ(m.measured, 5) << angle;
        EXPECT_NEAR(m.radius, 4.0, 0.04) << "faces at " << angle << " degrees";
    }
}

TEST(FilletMeasurement, AnEdgeOnTheFilletItselfMeasuresItsRadius)
{
    stFilletScan scan = Orientations(5.0)[2];
    scan.arcPoints = 64;
    const auto mesh = FilletScanMesh(scan);
    const stFilletMeasurement m = MeasureFilletAlongCurve(*mesh, MidArcEdge(scan), 0.1, 0.9, 5);
    EXPECT_EQ(m.measured, 6);
    EXPECT_NEAR(m.radius, 5.0, 0.04);
}

TEST(FilletMeasurement, AVariableFilletMeasuresTheMeanOfItsStations)
{
    for (stFilletScan scan : Orientations(3.0))
    {
        scan.startRadius = 2.0;
        scan.endRadius = 6.0;
        scan.faceLength = 30.0;
        scan.arcPoints = 64;
        const auto mesh = FilletScanMesh(scan);
        const ON_LineCurve edge = CornerEdge(scan);
        // Each station alone measures the radius at its place.
        for (double t : {0.1, 0.5, 0.9})
        {
            const stFilletMeasurement one = MeasureFilletAlongCurve(*mesh, edge, t, t, 3);
            EXPECT_NEAR(one.radius, RadiusAt(scan, t * scan.length), 0.04) << t;
        }
        // The mean of stations spread evenly is the radius half way.
        const stFilletMeasurement m = MeasureFilletAlongCurve(*mesh, edge, 0.25, 0.75, 8);
        EXPECT_EQ(m.measured, 9);
        EXPECT_NEAR(m.radius, RadiusAt(scan, 0.5 * scan.length), 0.04);
    }
}

// The cut of a part is one closed outline: fitted whole, its circle is the
// size of the part; near the edge it is the fillet.
TEST(FilletMeasurement, AClosedOutlineMeasuresTheFilletNotThePart)
{
    stFilletScan scan;
    scan.startRadius = scan.endRadius = 2.5;
    const auto mesh = FilletScanMesh(scan);
    const ON_LineCurve edge = CornerEdge(scan);
    ON_3dPoint p;
    ON_3dVector d;
    ASSERT_TRUE(edge.EvTangent(Fraction(0.5, edge), p, d));
    const float point[3] = {float(p.x), float(p.y), float(p.z)};
    const float direction[3] = {float(d.x), float(d.y), float(d.z)};

    double frame[12];
    const float reference[3] = {1.0f, 0.0f, 0.0f};
    BuildFrameFromAxes(frame, point, direction, reference);
    cMeshPlaneSectioner sectioner;
    tSectionPolylines cut;
    SectionMeshByPlane(sectioner, mesh.get(), frame, 0, cut, FLT_EPSILON, 0.0);
    ASSERT_EQ(cut.GetCount(), 1u);
    const tFramePolyline<cVertex>& outline = cut[0];
    ASSERT_GT(outline.GetVertexCount(), 200u);
    tFitPointQueue all;
    for (std::uint32_t i = 0; i < outline.GetVertexCount(); ++i)
    {
        const cVertex v = outline.GetVertexInFrame(i);
        stFitPoint record;
        record.position[0] = v.x;
        record.position[1] = v.y;
        all.push_back(record);
    }
    cCircleFit whole(all);
    double c[3], wholeRadius = 0;
    ASSERT_TRUE(whole.FitRobust(c, wholeRadius, FLT_MAX));
    EXPECT_GT(wholeRadius, 5.0); // what a fit of the whole outline says

    EXPECT_NEAR(FitFilletArc(outline, FLT_MAX), 2.5, 0.02);
    EXPECT_NEAR(MeasureSectionRadius(*mesh, point, direction, FLT_MAX), 2.5, 0.02);
}

// A CAD model's tessellation: no noise, faces of a few long triangles, an
// arc of a few facets, cut between its rings across the facets' diagonals.
TEST(FilletMeasurement, ACadTessellationGivesItsArcsRadiusOrUnknownNeverTheFacesBent)
{
    for (stFilletScan scan : Orientations(2.5))
    {
        scan.noise = 0.0;
        scan.facePoints = 3;
        scan.rings = 20;
        scan.faceLength = 15.0;
        scan.arcPoints = 12;
        const auto mesh = FilletScanMesh(scan);
        // The corner of the faces, the middle of the fillet and the fillet's
        // side: each station's cut holds the arc and some faces' points.
        for (const ON_LineCurve& edge : {CornerEdge(scan), MidArcEdge(scan), SideEdge(scan)})
        {
            // A station may say "Unknown"; none may be off.
            const stFilletMeasurement m = MeasureFilletAlongCurve(*mesh, edge, 0.1, 0.9, 10);
            EXPECT_GE(m.measured, 9) << scan.origin.x;
            EXPECT_NEAR(m.radius, 2.5, 0.01) << scan.origin.x;
        }
        // Two facets: three points on the arc and a chord's point between,
        // too few to tell the radius.
        scan.arcPoints = 2;
        const auto coarse = FilletScanMesh(scan);
        const stFilletMeasurement none = MeasureFilletAlongCurve(*coarse, CornerEdge(scan), 0.1, 0.9, 10);
        EXPECT_EQ(none.measured, 0) << scan.origin.x;
        EXPECT_EQ(none.radius, FLT_MAX);
    }
}

TEST(FilletMeasurement, AnEdgeAlongTheFilletsSideBesideAFinelyMeshedFaceMeasuresTheArc)
{
    // The face within half the radius of the edge holds many points, the
    // arc a dozen: a circle through both would be far too wide. The edge
    // beside either face.
    stFilletScan scan = Orientations(0.2)[1];
    scan.noise = 0.0;
    scan.arcPoints = 12;
    scan.facePoints = 120;
    scan.faceLength = 2.0;
    scan.length = 3.0;
    scan.rings = 30;
    const auto mesh = FilletScanMesh(scan);
    for (const bool second : {false, true})
    {
        const stFilletMeasurement m = MeasureFilletAlongCurve(*mesh, SideEdge(scan, second), 0.1, 0.9, 10);
        EXPECT_EQ(m.measured, 11) << second;
        EXPECT_NEAR(m.radius, 0.2, 0.002) << second;
    }
}

// A tangent edge of a rounded part's CAD model on a scan with a noise of
// 0.4% of the radius: the arc lies all on one side of the edge, and the
// stretch of half a radius kept there bends less than the noise. At this
// cut the noise bent it into a circle of 0.73, and the mean of the edge
// read 2.33 for 2.5.
TEST(FilletMeasurement, AnEdgeAlongTheFilletsSideOfANoisyScanMeasuresTheArcNotItsFirstBend)
{
    stFilletScan scan;
    scan.origin = ON_3dPoint(0, 0, 0);
    scan.u = ON_3dVector(0.3, 0.8, 0.5);
    scan.v = ON_3dVector(-0.7, 0.2, 0.5);
    const auto mesh = FilletScanMesh(scan);
    const ON_LineCurve edge = SideEdge(scan);
    EXPECT_NEAR(MeasureFilletAlongCurve(*mesh, edge, 0.5, 0.5, 1).radius, 2.5, 0.1);
    const stFilletMeasurement m = MeasureFilletAlongCurve(*mesh, edge, 0.1, 0.9, 10);
    EXPECT_NEAR(m.radius, 2.5, 0.03) << m.measured << " stations";

    // A settled circle stays: a whole radius of a 45-degree arc reaches into
    // the next face, whose points would widen it.
    scan.startRadius = scan.endRadius = 10.0;
    scan.angleDegrees = 135.0;
    scan.noise = 0.04;
    scan.faceLength = 40.0;
    const auto wide = FilletScanMesh(scan);
    EXPECT_NEAR(MeasureFilletAlongCurve(*wide, SideEdge(scan), 0.1, 0.9, 10).radius, 10.0, 0.1);
}

// A scan 30 m out whose scanner missed 2% of the points: each hole parts
// the cuts across the fillet. The piece nearest the corner was measured
// alone, a stub of the arc (4 of 11 stations, 1.968 for 2.5); along the
// tangent edge one station's piece held the face and a sliver of arc (0.052).
TEST(FilletMeasurement, CutsPartedByTheHolesOfAScanAreMeasuredAcrossThem)
{
    stFilletScan scan;
    scan.faceLength = 20.0;
    scan.arcPoints = 64;
    scan.origin = ON_3dPoint(30000.0, -29000.0, 15000.0);
    scan.u = ON_3dVector(0.3, -0.5, 0.81);
    scan.v = ON_3dVector(0.9, 0.4, 0.1);
    cMesh mesh;
    AddHostMeshFaces(mesh, WithDropouts(FilletScan(scan), 0.02, 11793));
    const stFilletMeasurement corner = MeasureFilletAlongCurve(mesh, CornerEdge(scan), 0.1, 0.9, 10);
    EXPECT_EQ(corner.measured, 11);
    EXPECT_NEAR(corner.radius, 2.5, 0.01);
    EXPECT_NEAR(MeasureFilletAlongCurve(mesh, SideEdge(scan), 0.1, 0.9, 10).radius, 2.5, 0.05);
}

// ---------------------------------------------------------------- stations

TEST(FilletMeasurement, StationsIncludeBothEndsAndStartEqualToEndIsOneStationRepeated)
{
    stFilletScan scan;
    scan.startRadius = 2.0;
    scan.endRadius = 4.0;
    const auto mesh = FilletScanMesh(scan);
    const ON_LineCurve edge = CornerEdge(scan);
    EXPECT_EQ(MeasureFilletAlongCurve(*mesh, edge, 0.0, 1.0, 10).stations, 11);
    EXPECT_EQ(MeasureFilletAlongCurve(*mesh, edge, 0.2, 0.4, 0).stations, 2); // at least one section
    const stFilletMeasurement same = MeasureFilletAlongCurve(*mesh, edge, 0.4, 0.4, 10);
    ON_3dPoint p;
    ON_3dVector d;
    ASSERT_TRUE(edge.EvTangent(Fraction(0.4, edge), p, d));
    const float point[3] = {float(p.x), float(p.y), float(p.z)};
    const float direction[3] = {float(d.x), float(d.y), float(d.z)};
    EXPECT_EQ(same.measured, 11);
    EXPECT_DOUBLE_EQ(same.radius, MeasureSectionRadius(*mesh, point, direction, FLT_MAX));
    EXPECT_NEAR(same.radius, 2.8, 0.03);
}

TEST(FilletMeasurement, StationsWithoutACutAreLeftOutOfTheMean)
{
    stFilletScan scan;
    scan.startRadius = scan.endRadius = 3.0;
    const auto mesh = FilletScanMesh(scan);
    // An edge reaching 50 past the scan's end: the stations there cut nothing.
    const stBasis basis = MakeBasis(scan);
    const ON_LineCurve edge(ToWorld(scan, basis, 0, 0, 0.5), ToWorld(scan, basis, 0, 0, scan.length + 50.5));
    const stFilletMeasurement m = MeasureFilletAlongCurve(*mesh, edge, 0.0, 1.0, 10);
    EXPECT_EQ(m.stations, 11);
    EXPECT_EQ(m.measured, 5);
    EXPECT_NEAR(m.radius, 3.0, 0.03);

    const cMesh empty;
    const stFilletMeasurement none = MeasureFilletAlongCurve(empty, edge, 0.0, 1.0, 4);
    EXPECT_EQ(none.measured, 0);
    EXPECT_EQ(none.radius, FLT_MAX);
}

TEST(FilletMeasurement, TheTriangleIndexGivesTheSameRadius)
{
    stFilletScan scan = Orientations(2.5)[1];
    const auto mesh = FilletScanMesh(scan);
    cSectionTriangleIndex index;
    ASSERT_TRUE(index.Build(*mesh));
    const ON_LineCurve edge = CornerEdge(scan);
    const stFilletMeasurement plain = MeasureFilletAlongCurve(*mesh, edge, 0.1, 0.9, 6);
    const stFilletMeasurement indexed = MeasureFilletAlongCurve(*mesh, edge, 0.1, 0.9, 6, &index);
    EXPECT_EQ(indexed.measured, plain.measured);
    EXPECT_DOUBLE_EQ(indexed.radius, plain.radius);
}

// ---------------------------------------------------------------- pieces

TEST(FilletMeasurement, EvaluatingAtAFractionOfTheDomain)
{
    ON_LineCurve line(ON_3dPoint(10, 20, 30), ON_3dPoint(20, 20, 30));
    line.SetDomain(5.0, 9.0);
    ON_3dPoint p;
    ASSERT_TRUE(EvaluateCurveAtNormalizedParameter(&line, 0.25, p));
    EXPECT_NEAR(p.x, 12.5, 1e-12);
    EXPECT_FALSE(EvaluateCurveAtNormalizedParameter(nullptr, 0.5, p));
}

TEST(FilletMeasurement, TheStretchFollowsThePolylineFromTheNearestVertexAndRoundTheSeamOfClosedOnes)
{
    // Points on the x axis at 0..9 (plane coordinates).
    std::vector<t3DPoint<float>> line;
    for (int i = 0; i < 10; ++i)
        line.push_back({float(i), 0.0f, 0.0f});
    // Within 2.5 of the origin: 0, 1, 2, stopping at the open end.
    EXPECT_EQ(CollectRunWithinReach(line, false, 1, 2.5), (std::vector<std::uint32_t>{0, 1, 2}));
    // A nearest vertex out of reach gives nothing.
    EXPECT_TRUE(CollectRunWithinReach(line, false, 5, 2.5).empty());

    // A closed square outline around the origin whose seam lies next to it:
    // the stretch crosses the seam, and a far point between near ones stops it.
    std::vector<t3DPoint<float>> ring = {{1, 0, 0}, {1, 1, 0}, {0, 5, 0}, {-1, 1, 0}, {-1, 0, 0}, {0, -1, 0}};
    EXPECT_EQ(CollectRunWithinReach(ring, true, 0, 1.5), (std::vector<std::uint32_t>{3, 4, 5, 0, 1}));
    // Everything within reach: every vertex once.
    EXPECT_EQ(CollectRunWithinReach(ring, true, 4, 10.0).size(), ring.size());
    EXPECT_EQ(CollectRunWithinReach(ring, false, 4, 1.5), (std::vector<std::uint32_t>{3, 4, 5}));
    EXPECT_EQ(CollectRunWithinReach(ring, false, 0, 1.5), (std::vector<std::uint32_t>{0, 1}));
}

TEST(FilletMeasurement, TooFewPointsGiveNoRadius)
{
    tFramePolyline<cVertex> two;
    const float a[3] = {1, 0, 0}, b[3] = {0, 1, 0};
    two.AddFloatPoint(a);
    two.AddFloatPoint(b);
    EXPECT_EQ(FitFilletArc(two, FLT_MAX), FLT_MAX);
    EXPECT_EQ(FitFilletArc(tFramePolyline<cVertex>(), FLT_MAX), FLT_MAX);
}

TEST(FilletMeasurement, StationsAreFractionsOfTheEdgesOwnDomain)
{
    stFilletScan scan;
    scan.startRadius = 2.0;
    scan.endRadius = 5.0;
    const auto mesh = FilletScanMesh(scan);
    const ON_LineCurve unit = CornerEdge(scan);
    ON_LineCurve shifted = unit;
    ASSERT_TRUE(shifted.SetDomain(-3.0, 7.0));
    const stFilletMeasurement a = MeasureFilletAlongCurve(*mesh, unit, 0.6, 0.8, 2);
    const stFilletMeasurement b = MeasureFilletAlongCurve(*mesh, shifted, 0.6, 0.8, 2);
    EXPECT_EQ(b.measured, 3);
    EXPECT_NEAR(b.radius, a.radius, 1e-9);
    EXPECT_NEAR(b.radius, RadiusAt(scan, 0.7 * scan.length), 0.04);
}
