#include "fitting/fit_drivers.h"
#include "fitting/plane_fit.h"

#include "core/mesh.h"
#include "core/mesh_triangle.h"
#include "fit_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <set>

namespace
{

using namespace fit_samples;

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

TEST(FitDrivers, ReferenceAxisIsTheLeastAlignedCoordinateAxis)
{
    double axis[3];
    const double z[3] = {0, 0, 1};
    ReferenceAxisOf(z, axis);
    EXPECT_EQ(axis[0], 1.0);
    const double diagonal[3] = {std::sqrt(0.5), std::sqrt(0.5), 0};
    ReferenceAxisOf(diagonal, axis);
    EXPECT_EQ(axis[2], 1.0);
    const double x[3] = {1, 0, 0};
    ReferenceAxisOf(x, axis);
    EXPECT_EQ(axis[1], 1.0);
}

TEST(FitDrivers, PlaneThroughThreePointsWithEitherFrame)
{
    tFitPointQueue q;
    const double down[3] = {0, 0, -1};
    const double pts[3][3] = {{0, 0, 2}, {4, 0, 2}, {0, 3, 2}};
    for (const auto& p : pts)
        q.push_back(Point(p, down));
    cFitContainer points(q);
    for (bool axisFrame : {false, true})
    {
        tPlane<double> plane;
        double rms = -1;
        ASSERT_TRUE(FitPlane(points, plane, rms, axisFrame, 0.0));
        EXPECT_NEAR(plane.normal[2], -1.0, 1e-12) << "follows the average point normal";
        EXPECT_NEAR(plane.d, 2.0, 1e-12);
        EXPECT_NEAR(rms, 0.0, 1e-9);
        EXPECT_NEAR(Dot(plane.normal, plane.origin) + plane.d, 0.0, 1e-12);
        EXPECT_GT(plane.halfWidth, 0.0);
    }
    EXPECT_EQ(points.Points()[0].position[0], 0.0f) << "the caller's points are not changed";

    cFitContainer two(tFitPointQueue(q.begin(), q.begin() + 2));
    tPlane<double> untouched;
    untouched.d = 42;
    double rms = 7;
    EXPECT_FALSE(FitPlane(two, untouched, rms, false, 0.0));
    EXPECT_EQ(untouched.d, 42.0);
    EXPECT_EQ(rms, 7.0);

    // A given normal is always written, even for too few points.
    const double up[3] = {0, 0, 1};
    FitPlaneWithNormal(two, untouched, rms, up, -2.0, 0.0);
    EXPECT_NEAR(std::fabs(untouched.normal[2]), 1.0, 1e-12);
    EXPECT_TRUE(std::isfinite(untouched.origin[0]) && std::isfinite(untouched.d));
}

// A 4 x 2 rectangle of points on the plane z = 2, normals up.
tFitPointQueue Rectangle()
{
    tFitPointQueue q;
    const double up[3] = {0, 0, 1};
    for (int i = 0; i <= 8; ++i)
        for (int j = 0; j <= 4; ++j)
        {
            const double p[3] = {0.5 * i, 0.5 * j, 2.0};
            q.push_back(Point(p, up));
        }
    return q;
}

TEST(FitDrivers, PlanesWithAGivenNormal)
{
    const cFitContainer points(Rectangle());
    // Given upside down: the record follows the point normals.
    const double down[3] = {0, 0, -1};
    tPlane<double> plane;
    double rms = -1;
    FitPlaneWithNormalAndAxis(points, plane, rms, down, 2.0, 0.0);
    EXPECT_EQ(plane.normal[2], 1.0);
    EXPECT_NEAR(plane.d, -2.0, 1e-12);
    EXPECT_NEAR(rms, 0.0, 1e-12);
    // The reference axis of a z normal is X. The frame is built before the
    // normal is turned round: its first axis is X x (0, 0, -1) = +Y, the
    // second follows X.
    EXPECT_NEAR(plane.xAxis[1], 1.0, 1e-12);
    EXPECT_NEAR(plane.halfWidth, 1.0, 1e-6);
    EXPECT_NEAR(plane.halfHeight, 2.0, 1e-6);
    EXPECT_NEAR(plane.origin[0], 2.0, 1e-6);
    EXPECT_NEAR(plane.origin[1], 1.0, 1e-6);
    EXPECT_NEAR(plane.origin[2], 2.0, 1e-12);

    // The smallest-rectangle frame with a margin of 1: half the larger half
    // extent is added to both.
    const double up[3] = {0, 0, 1};
    FitPlaneWithNormal(points, plane, rms, up, -2.0, 1.0);
    EXPECT_NEAR(std::max(plane.halfWidth, plane.halfHeight), 3.0, 1e-6);
    EXPECT_NEAR(std::min(plane.halfWidth, plane.halfHeight), 2.0, 1e-6);
    EXPECT_NEAR(plane.origin[0], 2.0, 1e-6);
    EXPECT_NEAR(plane.origin[1], 1.0, 1e-6);

    // An offset off the points: the RMS says how far.
    FitPlaneWithNormalAndAxis(points, plane, rms, up, -3.0, 0.0);
    EXPECT_NEAR(rms, 1.0, 1e-9);
    EXPECT_NEAR(plane.origin[2], 3.0, 1e-9);
}

// The driver takes the mean, the average normal and the RMS from the
// estimate's own passes: the record must be the one that the fitter's
// separate steps give (a part a few millimetres wide a metre out, tilted).
TEST(FitDrivers, PlaneRecordMatchesTheFittersSeparateSteps)
{
    std::mt19937 rng(35);
    const double origin[3] = {-1200.0, 700.0, 900.0};
    double n[3] = {-0.4, 0.25, 0.88};
    Normalise(n);
    const tFitPointQueue q = Plane(rng, origin, n, 5.0, 0.01, 500);
    const cFitContainer points(q);
    for (bool axisFrame : {false, true})
    {
        tPlane<double> plane;
        double rms = -1;
        ASSERT_TRUE(FitPlane(points, plane, rms, axisFrame, 0.0));

        const cPlaneFit fit(q);
        double normal[3], d;
        ASSERT_TRUE(fit.EstimateNormal(normal, d));
        double reference[3], o[3], x[3], y[3], hu, hv;
        ReferenceAxisOf(normal, reference);
        if (axisFrame)
        {
            ASSERT_TRUE(fit.BuildFrameWithAxis(normal, d, o, x, hu, reference, hv));
        }
        else
        {
            // The smallest rectangle turns the principal frame of the
            // estimate's own mean and scatter (this square patch has no
            // preferred principal axis: another rounding of the scatter
            // may label its sides the other way round).
            stPlaneEstimateSums sums;
            ASSERT_TRUE(fit.EstimateNormal(normal, d, sums));
            ASSERT_TRUE(fit.BuildFrame(normal, d, sums.centroid, sums.scatter, o, x, hu, y, hv, 0.0));
        }
        std::uint64_t count = 0;
        const double expectedRms = std::sqrt(fit.GetSumSquaredDistances(normal, -Dot(normal, o), count) / double(count));
        for (int k = 0; k < 3; ++k)
        {
            EXPECT_EQ(plane.normal[k], normal[k]);
            EXPECT_NEAR(plane.origin[k], o[k], 1e-12 * 1200.0);
            EXPECT_NEAR(plane.xAxis[k], x[k], 1e-9);
        }
        EXPECT_NEAR(plane.halfWidth, hu, 1e-12);
        EXPECT_NEAR(plane.halfHeight, hv, 1e-12);
        EXPECT_NEAR(plane.d, -Dot(normal, o), 1e-12 * 1200.0);
        EXPECT_NEAR(rms, expectedRms, 1e-6 * expectedRms);
        EXPECT_NEAR(rms, 0.01, 0.002);
    }
}

TEST(FitDrivers, SphereAndCylinderRecordsWithTheirRms)
{
    std::mt19937 rng(71);
    const double centre[3] = {1, 2, 3};
    cFitContainer ball(Sphere(rng, centre, 4.0, kPi, 0.01, 400));
    tSphere<double> sphere;
    double rms;
    ASSERT_TRUE(FitSphere(ball, sphere, rms));
    EXPECT_NEAR(sphere.radius, 4.0, 0.01);
    EXPECT_NEAR(rms, 0.01, 0.005);

    const double up[3] = {0, 0, 1};
    const double o[3] = {0, 0, 0};
    cFitContainer flat(Plane(rng, o, up, 3.0, 0.0, 50));
    tSphere<double> none;
    none.radius = -1;
    EXPECT_FALSE(FitSphere(flat, none, rms));
    EXPECT_EQ(none.radius, -1.0);
}

// The drivers read every record whatever the caller switched off, in place
// or from a copy, and never change the caller's records.
TEST(FitDrivers, FitsUseEveryRecordAndLeaveTheCallersAlone)
{
    std::mt19937 rng(72);
    const double centre[3] = {1, 2, 3};
    const tFitPointQueue q = Sphere(rng, centre, 4.0, kPi, 0.01, 200);
    cFitContainer all(q), some(q);
    for (std::size_t i = 0; i < q.size(); i += 3)
        some.Points()[i].active = 0;
    tSphere<double> a, b;
    double rmsA = 0.0, rmsB = 0.0;
    ASSERT_TRUE(FitSphere(all, a, rmsA));
    ASSERT_TRUE(FitSphere(some, b, rmsB));
    EXPECT_EQ(a.radius, b.radius);
    EXPECT_EQ(a.centre[0], b.centre[0]);
    EXPECT_EQ(rmsA, rmsB);
    tPlane<double> pa, pb;
    ASSERT_TRUE(FitPlane(all, pa, rmsA, true, 0.0));
    ASSERT_TRUE(FitPlane(some, pb, rmsB, true, 0.0));
    EXPECT_EQ(pa.d, pb.d);
    tCylinder<double> ca, cb;
    ASSERT_TRUE(FitCylinder(all, ca, rmsA, 0.0));
    ASSERT_TRUE(FitCylinder(some, cb, rmsB, 0.0));
    EXPECT_EQ(ca.radius, cb.radius);
    for (std::size_t i = 0; i < q.size(); ++i)
    {
        EXPECT_EQ(all.Points()[i].active, 1);
        EXPECT_EQ(some.Points()[i].active, i % 3 == 0 ? 0 : 1);
    }
}

// A tessellated cylinder (radius 2, height 6 along z) with the triangles of
// the half x > 0 marked as selected.
void BuildMarkedCylinder(cMesh& mesh)
{
    const int around = 48, up = 12;
    for (int j = 0; j <= up; ++j)
        for (int i = 0; i < around; ++i)
        {
            const double a = 2 * kPi * i / around;
            const float p[3] = {static_cast<float>(2 * std::cos(a)), static_cast<float>(2 * std::sin(a)),
                                static_cast<float>(6.0 * j / up)};
            mesh.AddVertex(p);
        }
    for (int j = 0; j < up; ++j)
        for (int i = 0; i < around; ++i)
        {
            const std::uint32_t a = j * around + i, b = j * around + (i + 1) % around;
            const std::uint32_t c = a + around, d = b + around;
            cMeshTriangle* t1 = mesh.AddTriangle(a, b, d);
            cMeshTriangle* t2 = mesh.AddTriangle(a, d, c);
            const bool marked = std::cos(2 * kPi * (i + 0.5) / around) > 0.0;
            if (marked && t1 && t2)
            {
                t1->flags |= kTriangleFlagSelected;
                t2->flags |= kTriangleFlagSelected;
            }
        }
    mesh.Update();
}

// The fit records of the vertices of a mesh's selected triangles, the way
// the primitive panel collects them.
tFitPointQueue SelectedTrianglePoints(const cMesh& mesh)
{
    std::set<std::uint32_t> used;
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
    {
        const cMeshTriangle* tri = mesh.GetTriangle(t);
        if (tri->flags & kTriangleFlagSelected)
            used.insert(tri->vertexIndex, tri->vertexIndex + 3);
    }
    tFitPointQueue q;
    for (std::uint32_t v : used)
    {
        const cVertex* vertex = mesh.GetVertex(v);
        q.push_back(MakeFitPoint(vertex->Position(), vertex->Normal()));
    }
    return q;
}

// A UV sphere (radius 3 about (1, 2, 3)) with the triangles above its
// equator selected, and an unselected flat skirt around it at z = 0.
void BuildMarkedSphereOnAPlate(cMesh& mesh)
{
    const int around = 36, rings = 18;
    const double c[3] = {1, 2, 3};
    for (int j = 0; j <= rings; ++j)
        for (int i = 0; i < around; ++i)
        {
            const double polar = kPi * j / rings, a = 2 * kPi * i / around;
            const float p[3] = {static_cast<float>(c[0] + 3 * std::sin(polar) * std::cos(a)),
                                static_cast<float>(c[1] + 3 * std::sin(polar) * std::sin(a)),
                                static_cast<float>(c[2] + 3 * std::cos(polar))};
            mesh.AddVertex(p);
        }
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < around; ++i)
        {
            const std::uint32_t a = j * around + i, b = j * around + (i + 1) % around;
            const std::uint32_t d = a + around, e = b + around;
            for (cMeshTriangle* t : {mesh.AddTriangle(a, d, e), mesh.AddTriangle(a, e, b)})
                if (t && j < rings / 2)
                    t->flags |= kTriangleFlagSelected;
        }
    const std::uint32_t base = mesh.GetVertexCount();
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i)
        {
            const float p[3] = {-20.0f + 40.0f * i, -20.0f + 40.0f * j, 0.0f};
            mesh.AddVertex(p);
        }
    mesh.AddTriangle(base, base + 1, base + 3);
    mesh.AddTriangle(base, base + 3, base + 2);
    mesh.Update();
}

TEST(FitDrivers, SphereAndPlaneFromTheSelectedTrianglesOfAMesh)
{
    cMesh mesh;
    BuildMarkedSphereOnAPlate(mesh);
    const cFitContainer cap(SelectedTrianglePoints(mesh));
    tSphere<double> sphere;
    double rms = -1;
    ASSERT_TRUE(FitSphere(cap, sphere, rms));
    EXPECT_NEAR(sphere.radius, 3.0, 1e-4);
    EXPECT_NEAR(sphere.centre[0], 1.0, 1e-4);
    EXPECT_NEAR(sphere.centre[2], 3.0, 1e-4);
    EXPECT_LT(rms, 1e-4);

    // Select the plate instead: a plane at z = 0, facing its triangles' side.
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
        mesh.GetTriangle(t)->flags ^= kTriangleFlagSelected;
    for (std::uint32_t t = 0; t + 2 < mesh.GetTriangleCount(); ++t)
        mesh.GetTriangle(t)->flags &= static_cast<std::uint8_t>(~kTriangleFlagSelected);
    const cFitContainer plate(SelectedTrianglePoints(mesh));
    ASSERT_EQ(plate.Points().size(), 4u);
    tPlane<double> plane;
    ASSERT_TRUE(FitPlane(plate, plane, rms, true, 0.0));
    EXPECT_NEAR(std::fabs(plane.normal[2]), 1.0, 1e-9);
    EXPECT_NEAR(plane.d, 0.0, 1e-9);
    EXPECT_NEAR(plane.halfWidth, 20.0, 1e-6);
    EXPECT_NEAR(plane.halfHeight, 20.0, 1e-6);
}

TEST(FitDrivers, CylinderFromTheMarkedTrianglesOfAMesh)
{
    cMesh mesh;
    BuildMarkedCylinder(mesh);
    ASSERT_GT(mesh.GetTriangleCount(), 0u);
    cFitContainer points(SelectedTrianglePoints(mesh));
    tCylinder<double> cylinder;
    double rms;
    ASSERT_TRUE(FitCylinder(points, cylinder, rms, 0.0));
    EXPECT_NEAR(std::fabs(cylinder.axis[2]), 1.0, 1e-3);
    EXPECT_NEAR(cylinder.radius, 2.0, 0.02);
    EXPECT_NEAR(cylinder.height, 6.0, 0.01);
    EXPECT_LT(rms, 0.02);
    const double lowEnd = cylinder.axis[2] > 0 ? 0.0 : 6.0;
    EXPECT_NEAR(cylinder.axisPoint[2], lowEnd, 0.01) << "the axis point sits at the lower end of the points";
}

tSectionPolylines PolylinesOf(const std::vector<std::array<float, 3>>& points, std::uint32_t flags)
{
    tSectionPolylines collection;
    tFramePolyline<cVertex> polyline;
    for (const auto& p : points)
    {
        cVertex v;
        v.x = p[0];
        v.y = p[1];
        v.z = p[2];
        v.flags = flags;
        polyline.AddVertex(v);
    }
    collection.Add(polyline);
    return collection;
}

TEST(FitDrivers, LinesAndArcsThroughSectionPolylines)
{
    std::vector<std::array<float, 3>> line;
    for (int i = 0; i <= 10; ++i)
        line.push_back({static_cast<float>(i), 1.0f, 0.0f});
    double start[3], end[3];
    const double rms = FitLineToPolylines(PolylinesOf(line, 4), start, end, true);
    EXPECT_LT(rms, 1e-4);
    EXPECT_NEAR(start[0], 0.0, 1e-4);
    EXPECT_NEAR(end[0], 10.0, 1e-4);
    // Marked-only with nothing marked: no points, no fit.
    double s2[3] = {5, 5, 5}, e2[3];
    EXPECT_EQ(FitLineToPolylines(PolylinesOf(line, 1 | 4), s2, e2, true), kNoFitError);
    EXPECT_EQ(s2[0], 5.0);

    // Exactly three points are the arc's start, middle and end.
    const std::vector<std::array<float, 3>> three = {{{2, 0, 0}}, {{0, 2, 0}}, {{-2, 0, 0}}};
    double centre[3] = {0, 0, 0}, radius = 1, s[3], m[3], e[3];
    EXPECT_LT(FitArcToPolylines(PolylinesOf(three, 0), centre, radius, s, m, e, false), 1e-5);
    EXPECT_NEAR(radius, 2.0, 1e-5);
    EXPECT_EQ(s[0], 2.0);
    EXPECT_EQ(m[1], 2.0);
    EXPECT_EQ(e[0], -2.0);

    // A frame polyline's points are read in its own frame.
    tSectionPolylines shifted = PolylinesOf(three, 0);
    shifted[0].Transform(std::array<double, 12>{1, 0, 0, 10, 0, 1, 0, 0, 0, 0, 1, 0}.data());
    shifted[0].frame[3] = 10;
    double c2[3] = {0, 0, 0}, r2 = 1;
    FitArcToPolylines(shifted, c2, r2, s, m, e, false);
    EXPECT_NEAR(c2[0], 0.0, 1e-4);

    double keep[3] = {3, 3, 0}, keepRadius = 9;
    EXPECT_EQ(FitArcToPolylines(PolylinesOf(three, 0), keep, keepRadius, s, m, e, true), kNoFitError);
    EXPECT_EQ(keepRadius, 9.0) << "a failed arc keeps the caller's circle";
}

TEST(FitDrivers, AKeptPolylineFitIsHandedBackOnlyForTheSamePointsAndStart)
{
    // A noisy arc far out; its copy with one point a float step away.
    std::vector<std::array<float, 3>> arc, nudged;
    for (int i = 0; i <= 40; ++i)
    {
        const double a = 0.04 * i;
        arc.push_back({static_cast<float>(1000.0 + 7.0 * std::cos(a) + 0.01 * std::sin(13.0 * i)),
                       static_cast<float>(-500.0 + 7.0 * std::sin(a)), 0.0f});
    }
    nudged = arc;
    nudged[17][1] = std::nextafter(nudged[17][1], 0.0f);
    struct stArc
    {
        double rms, values[13];
    };
    const auto fitArc = [](const std::vector<std::array<float, 3>>& points, double radius) {
        stArc a{};
        double* v = a.values;
        v[3] = radius;
        a.rms = FitArcToPolylines(PolylinesOf(points, 0), v, v[3], v + 4, v + 7, v + 10, false);
        return a;
    };
    const auto fitLine = [](const std::vector<std::array<float, 3>>& points) {
        double ends[6] = {};
        const double rms = FitLineToPolylines(PolylinesOf(points, 0), ends, ends + 3, false);
        return std::array<double, 7>{rms, ends[0], ends[1], ends[2], ends[3], ends[4], ends[5]};
    };
    const auto same = [](const stArc& a, const stArc& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    const stArc alone = fitArc(arc, 0.0), nudgedAlone = fitArc(nudged, 0.0);
    const auto lineAlone = fitLine(arc), nudgedLine = fitLine(nudged);
    ASSERT_FALSE(same(alone, nudgedAlone));
    ASSERT_NE(lineAlone, nudgedLine);
    // Two points fail the arc, which hands back the circle it was given.
    const std::vector<std::array<float, 3>> two(arc.begin(), arc.begin() + 2);
    const stArc failedFrom1 = fitArc(two, 1.0), failedFrom2 = fitArc(two, 2.0);
    {
        const cPolylineFitReuse reuse;
        EXPECT_TRUE(same(fitArc(arc, 0.0), alone));
        EXPECT_TRUE(same(fitArc(arc, 0.0), alone));
        EXPECT_TRUE(same(fitArc(nudged, 0.0), nudgedAlone));
        EXPECT_EQ(fitLine(arc), lineAlone);
        EXPECT_EQ(fitLine(nudged), nudgedLine);
        EXPECT_TRUE(same(fitArc(two, 1.0), failedFrom1));
        EXPECT_TRUE(same(fitArc(two, 2.0), failedFrom2));
    }
}

TEST(FitDrivers, ExtrusionDirectionFollowsWhereThePointsLie)
{
    // Points on both sides of z = 0 in equal measure: the normal stays.
    std::mt19937 rng(81);
    tFitPointQueue twoSided;
    const double up[3] = {0, 0, 1};
    for (int i = 0; i < 100; ++i)
    {
        const double p[3] = {std::cos(i * 0.7) * 10, std::sin(i * 1.3) * 10, (i % 2 ? 3.0 : -3.0)};
        twoSided.push_back(Point(p, up));
    }
    double direction[3];
    ASSERT_TRUE(EstimateExtrusionDirection(cFitContainer(twoSided), direction));
    EXPECT_NEAR(std::fabs(direction[2]), 1.0, 1e-6);

    // Distances from -0.2 to 1.0 take an in-plane direction.
    const double o[3] = {0, 0, 0};
    tFitPointQueue oneSided = Plane(rng, o, up, 10.0, 0.0, 200);
    oneSided[0].position[2] = 1.0f;
    oneSided[1].position[2] = -0.2f;
    cFitContainer lopsided(oneSided);
    ASSERT_TRUE(EstimateExtrusionDirection(lopsided, direction));
    EXPECT_LT(std::fabs(direction[2]), 0.2);

    double base[3];
    ASSERT_TRUE(EstimateExtrusionDirectionAndBase(cFitContainer(twoSided), direction, base));
    EXPECT_NEAR(std::fabs(direction[2]), 1.0, 1e-6);
    // The base is the mean of the points moved onto their plane along the
    // direction.
    double mean[3];
    cFitContainer(twoSided).GetMeanPosition(mean);
    EXPECT_NEAR(base[0], mean[0], 1e-9);
    EXPECT_NEAR(base[1], mean[1], 1e-9);
    EXPECT_NEAR(base[2], 0.0, 1e-6);

    // All distances within (-1, 1): the base variant takes an in-plane
    // direction where the plain estimate keeps the normal.
    tFitPointQueue thin = twoSided;
    for (stFitPoint& p : thin)
        p.position[2] *= 0.25f;
    ASSERT_TRUE(EstimateExtrusionDirection(cFitContainer(thin), direction));
    EXPECT_NEAR(std::fabs(direction[2]), 1.0, 1e-6);
    ASSERT_TRUE(EstimateExtrusionDirectionAndBase(cFitContainer(thin), direction, base));
    EXPECT_NEAR(direction[2], 0.0, 1e-3);
    EXPECT_NEAR(direction[0] * direction[0] + direction[1] * direction[1], 1.0, 1e-6);

    double projected[3];
    ASSERT_TRUE(ProjectCentroidOnPlane(cFitContainer(twoSided), up, projected));
    EXPECT_NEAR(projected[2], 0.0, 1e-9);
    EXPECT_FALSE(ProjectCentroidOnPlane(cFitContainer(tFitPointQueue{}), up, projected));
}

TEST(FitDrivers, CentroidOnAPlaneReadsEveryRecordInPlaceAsTheFitsStepsDo)
{
    // Far out and tilted, one record switched off: the centroid is the mean
    // of every record moved onto the plane with the normal through them,
    // to the bit, and the caller's records stay as they are.
    std::mt19937 rng(5);
    const double o[3] = {2400.0, -1300.0, 700.0}, n[3] = {0.48, -0.64, 0.6};
    tFitPointQueue q = Plane(rng, o, n, 25.0, 0.3, 5000);
    cFitContainer points(q);
    points.Points()[17].active = 0;
    double projected[3];
    ASSERT_TRUE(ProjectCentroidOnPlane(points, n, projected));
    cPlaneFit steps(points.Points());
    double d, mean[3];
    ASSERT_TRUE(steps.OffsetForNormal(n, d));
    steps.GetMeanPosition(mean);
    const double h = Dot(n, mean) + d;
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(projected[k], mean[k] - n[k] * h) << k;
    EXPECT_EQ(points.Points()[17].active, 0);
}

TEST(FitDrivers, ArcsAboutAnAxis)
{
    std::mt19937 rng(91);
    const double up[3] = {0, 0, 1};
    const double centre[3] = {0, 0, 5};
    cFitContainer arc(Circle(rng, centre, up, 3.0, 0.0, kPi, 0.0, 60));
    double s[3], m[3], e[3];
    ASSERT_TRUE(FitArcInAxisPlane(arc, up, centre, s, m, e));
    for (const double* p : {s, m, e})
    {
        const double d[3] = {p[0] - centre[0], p[1] - centre[1], p[2] - centre[2]};
        EXPECT_NEAR(std::sqrt(Dot(d, d)), 3.0, 1e-3);
        EXPECT_NEAR(p[2], 5.0, 1e-3);
    }

    // Points on a sphere's circle of latitude about the z axis through p0.
    double axis[3];
    const double sphereCentre[3] = {0, 0, 0};
    tFitPointQueue ring;
    for (int i = 0; i < 40; ++i)
    {
        const double a = 2 * kPi * i / 40;
        const double p[3] = {3 * std::cos(a), 3 * std::sin(a), 4};
        const double n[3] = {p[0] / 5, p[1] / 5, p[2] / 5};
        ring.push_back(Point(p, n));
    }
    for (int i = 0; i < 10; ++i) // a few points off the ring so the sphere is determined
    {
        const double a = 2 * kPi * i / 10;
        const double p[3] = {5 * std::cos(a), 5 * std::sin(a), 0};
        ring.push_back(Point(p, up));
    }
    const double p0[3] = {0, 0, -1};
    ASSERT_TRUE(FitArcAboutSphereAxis(cFitContainer(ring), axis, p0, s, m, e));
    (void)sphereCentre;
    // Both candidates point from p0 up the z axis; the arc lies in the plane
    // through p0 across it.
    EXPECT_NEAR(std::fabs(axis[2]), 1.0, 1e-3);
    for (const double* p : {s, m, e})
        EXPECT_NEAR(p[2], -1.0, 1e-2);

    // Coplanar points have no sphere: no axis, no arc.
    double untouched[3] = {7, 7, 7};
    const double o[3] = {0, 0, 0};
    EXPECT_FALSE(FitArcAboutSphereAxis(cFitContainer(Plane(rng, o, up, 3.0, 0.0, 30)), untouched, p0, s, m, e));
    EXPECT_EQ(untouched[0], 7.0);
}

} // namespace
