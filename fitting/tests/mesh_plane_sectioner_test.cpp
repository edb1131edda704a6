#include "fitting/mesh_plane_sectioner.h"

#include "core/frame_math.h"
#include "core/thread_pool.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

#include "core/mesh.h"
#include "fitting/section_triangle_index.h"
#include "section_meshes.h"

using namespace section_meshes;

namespace
{

// The same polylines with the same points, to the bit.
void ExpectSameSections(const tSectionPolylines& actual, const tSectionPolylines& expected, int plane)
{
    ASSERT_EQ(actual.GetCount(), expected.GetCount()) << plane;
    for (std::uint32_t i = 0; i < expected.GetCount(); ++i)
    {
        ASSERT_EQ(actual[i].GetVertexCount(), expected[i].GetVertexCount()) << plane << ":" << i;
        for (std::uint32_t j = 0; j < expected[i].GetVertexCount(); ++j)
            ASSERT_EQ(Distance(*actual[i].GetVertex(j), *expected[i].GetVertex(j)), 0.0);
    }
}

// A frame on a plane through `origin` square to `normal`.
void TiltedFrame(double frame[12], const double origin[3], const double normal[3])
{
    const double ref[3] = {std::fabs(normal[0]) < 0.9 ? 1.0 : 0.0, std::fabs(normal[0]) < 0.9 ? 0.0 : 1.0, 0.0};
    PlaneFrame(frame, origin, normal, ref);
}

tSectionPolylines Cut(const cMesh& mesh, const double frame[12], std::uint8_t mask = 0, float tolerance = 1e-4f,
                      double angle = 0.0)
{
    cMeshPlaneSectioner sectioner;
    tSectionPolylines result;
    SectionMeshByPlane(sectioner, &mesh, frame, mask, result, tolerance, angle);
    return result;
}

tSectionPolylines CutAtHeight(const cMesh& mesh, double z, std::uint8_t mask = 0, float tolerance = 1e-4f)
{
    double frame[12];
    HorizontalFrame(frame, z);
    return Cut(mesh, frame, mask, tolerance);
}

// Largest distance of the polyline's points from the circle of radius r about
// (cx, cy) at height z.
double MaxDistanceFromCircle(const tFramePolyline<cVertex>& p, double cx, double cy, double z, double r)
{
    double worst = 0;
    for (const cVertex& v : p.vertices)
        worst = std::max(worst, std::hypot(std::hypot(v.x - cx, v.y - cy) - r, v.z - z));
    return worst;
}

TEST(MeshPlaneSectioner, TubeCutAcrossItsAxisIsOneClosedInscribedPolygon)
{
    cMesh tube;
    const std::uint32_t segments = 64;
    BuildTube(tube, 5.0, 0.0, 10.0, segments, 4);
    const tSectionPolylines cut = CutAtHeight(tube, 3.7);
    ASSERT_EQ(cut.GetCount(), 1u);
    const tFramePolyline<cVertex>& loop = cut[0];
    EXPECT_TRUE(IsClosedLoop(loop));
    // Each quad crossing gives one point on a vertical edge (on the circle)
    // and one on its diagonal (inside by at most the sagitta).
    EXPECT_EQ(loop.GetVertexCount(), 2 * segments + 1);
    const double sagitta = 5.0 * (1 - std::cos(kPi / segments));
    EXPECT_LE(MaxDistanceFromCircle(loop, 0, 0, 3.7, 5.0), sagitta + 1e-5);
    const double polygon = 2 * segments * 5.0 * std::sin(kPi / segments);
    EXPECT_GT(loop.GetLength(), polygon - 1e-3);
    EXPECT_LT(loop.GetLength(), 2 * kPi * 5.0);
    // Every point lies in the plane, and the frame is the cutting plane's.
    for (const cVertex& v : loop.vertices)
        EXPECT_NEAR(v.z, 3.7, 1e-5);
    EXPECT_TRUE(loop.HasFrameMark());
    EXPECT_DOUBLE_EQ(loop.frame[11], 3.7);
}

TEST(MeshPlaneSectioner, WindingDecidesTheDirectionOfTheCut)
{
    cMesh tube;
    BuildTube(tube, 1.0, 0.0, 1.0, 16, 1);
    const tSectionPolylines cut = CutAtHeight(tube, 0.5);
    ASSERT_EQ(cut.GetCount(), 1u);
    // Outward faces give a counter-clockwise loop seen from +z.
    double area = 0;
    const auto& v = cut[0].vertices;
    for (std::size_t i = 0; i + 1 < v.size(); ++i)
        area += v[i].x * v[i + 1].y - v[i + 1].x * v[i].y;
    EXPECT_GT(area, 0.0);
}

TEST(MeshPlaneSectioner, SphereCutsAreCirclesOfTheRightRadius)
{
    cMesh sphere;
    const double centre[3] = {1, 2, 3};
    BuildSphere(sphere, centre, 10.0, 60, 90);
    for (const double h : {-7.3, 0.2, 5.5})
    {
        const tSectionPolylines cut = CutAtHeight(sphere, 3 + h);
        ASSERT_EQ(cut.GetCount(), 1u) << h;
        EXPECT_TRUE(IsClosedLoop(cut[0]));
        const double r = std::sqrt(100 - h * h);
        // The facets lie inside the sphere by at most their sagitta.
        EXPECT_LT(MaxDistanceFromCircle(cut[0], 1, 2, 3 + h, r), 0.1) << h;
        EXPECT_NEAR(cut[0].GetLength(), 2 * kPi * r, 0.02 * r) << h;
    }
    EXPECT_EQ(CutAtHeight(sphere, 13.5).GetCount(), 0u) << "a plane missing the mesh cuts nothing";
}

TEST(MeshPlaneSectioner, BoxCutGivesItsRectangle)
{
    cMesh box;
    const double lo[3] = {-1, -2, 0}, hi[3] = {3, 1, 5};
    BuildBox(box, lo, hi, 3);
    // A tilted plane through the box's middle.
    const double origin[3] = {1, -0.5, 2.5}, normal[3] = {0, std::sin(0.3), std::cos(0.3)}, ref[3] = {1, 0, 0};
    double frame[12];
    PlaneFrame(frame, origin, normal, ref);
    const tSectionPolylines cut = Cut(box, frame);
    ASSERT_EQ(cut.GetCount(), 1u);
    EXPECT_TRUE(IsClosedLoop(cut[0]));
    // x spans 4; across y the plane runs 3 / cos(0.3) on the faces.
    EXPECT_NEAR(cut[0].GetLength(), 2 * 4 + 2 * 3 / std::cos(0.3), 1e-4);
}

TEST(MeshPlaneSectioner, TorusGivesTwoLoopsPerCut)
{
    cMesh torus;
    BuildTorus(torus, 10.0, 2.0, 72, 36);
    const tSectionPolylines flat = CutAtHeight(torus, 0.3);
    ASSERT_EQ(flat.GetCount(), 2u);
    const double dr = std::sqrt(4 - 0.09);
    std::vector<double> lengths = {flat[0].GetLength(), flat[1].GetLength()};
    std::sort(lengths.begin(), lengths.end());
    EXPECT_NEAR(lengths[0], 2 * kPi * (10 - dr), 0.2);
    EXPECT_NEAR(lengths[1], 2 * kPi * (10 + dr), 0.2);

    // Through the axis: two tube circles of radius 2 around (+-10, 0, 0).
    const double origin[3] = {0, 0, 0}, normal[3] = {0, 1, 0}, ref[3] = {0, 0, 1};
    double frame[12];
    PlaneFrame(frame, origin, normal, ref);
    const tSectionPolylines upright = Cut(torus, frame);
    ASSERT_EQ(upright.GetCount(), 2u);
    for (const tFramePolyline<cVertex>& loop : upright.items)
    {
        EXPECT_TRUE(IsClosedLoop(loop));
        const double cx = loop.GetFirstVertex()->x > 0 ? 10 : -10;
        double worst = 0;
        for (const cVertex& v : loop.vertices)
        {
            worst = std::max(worst, std::fabs(std::hypot(v.x - cx, v.z) - 2.0));
            EXPECT_NEAR(v.y, 0.0, 1e-5);
        }
        EXPECT_LT(worst, 0.02);
    }
}

TEST(MeshPlaneSectioner, HolesBreakTheCutAndTheJoinBridgesWhatTheToleranceAllows)
{
    // Two missing quads in the band that the plane crosses, a quarter turn
    // apart: the loop falls into two open pieces.
    const std::uint32_t segments = 40;
    const double r = 5.0;
    const double gap = 2 * r * std::sin(kPi / segments); // one quad wide
    cMesh tube;
    BuildTube(tube, r, 0.0, 4.0, segments, 4, {segments + 3, segments + 13});
    const tSectionPolylines apart = CutAtHeight(tube, 1.5, 0, static_cast<float>(gap * 0.5));
    ASSERT_EQ(apart.GetCount(), 2u);
    for (const tFramePolyline<cVertex>& piece : apart.items)
        EXPECT_FALSE(IsClosedLoop(piece));

    const tSectionPolylines bridged = CutAtHeight(tube, 1.5, 0, static_cast<float>(gap * 1.5));
    ASSERT_EQ(bridged.GetCount(), 1u);
    EXPECT_NEAR(bridged[0].GetLength(), apart[0].GetLength() + apart[1].GetLength() + gap, 0.2 * gap);
}

TEST(MeshPlaneSectioner, PlaneThroughVerticesAndInPlaneEdges)
{
    // An octahedron: the equator's edges lie in the plane z = 0 between an
    // upper and a lower triangle.
    cMesh octahedron;
    for (const auto& p : std::vector<std::array<double, 3>>{
             {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}})
        AddPoint(octahedron, p[0], p[1], p[2]);
    for (std::uint32_t k = 0; k < 4; ++k)
    {
        octahedron.AddTriangle(k, (k + 1) % 4, 4);
        octahedron.AddTriangle((k + 1) % 4, k, 5);
    }
    cMeshPlaneSectioner sectioner;
    double frame[12];
    HorizontalFrame(frame, 0.0);
    sectioner.SetFrame(frame);
    sectioner.SetMesh(&octahedron);
    sectioner.PrepareCrossingPoints();
    sectioner.CollectCrossingEdges(0);
    // Four equator vertices used directly, one key per in-plane edge.
    EXPECT_EQ(sectioner.GetCrossingPoints().GetVertexCount(), 4u);
    EXPECT_EQ(sectioner.GetCrossingEdges().GetTree().GetCount(), 4u);
    tSectionPolylines cut;
    sectioner.ExtractPolylines(cut, 1e-4f, 0.0);
    ASSERT_EQ(cut.GetCount(), 1u);
    EXPECT_EQ(cut[0].GetVertexCount(), 5u);
    EXPECT_TRUE(IsClosedLoop(cut[0]));
    EXPECT_TRUE(sectioner.GetCrossingEdges().IsEmpty());
    sectioner.ClearCrossingPoints();

    // Through the apex only: the triangles touch the plane at one point.
    EXPECT_EQ(CutAtHeight(octahedron, 1.0).GetCount(), 0u);
}

TEST(MeshPlaneSectioner, TinySegmentsAreDropped)
{
    // A triangle whose corner pokes 2e-5 through the plane and whose other
    // corners lie far below: the cut segment is shorter than 1e-5 and is
    // dropped.
    cMesh sliver;
    AddPoint(sliver, 0, 0, 2e-5);
    AddPoint(sliver, 1, 0, -10);
    AddPoint(sliver, 0, 1, -10);
    sliver.AddTriangle(0, 1, 2);
    EXPECT_EQ(CutAtHeight(sliver, 0.0).GetCount(), 0u);
}

TEST(MeshPlaneSectioner, RectangleEndsTheCut)
{
    cMesh wall;
    BuildWall(wall, 0.0, 10.0, 0.0, 2.0, 20, 2);
    cMeshPlaneSectioner sectioner;
    double frame[12];
    HorizontalFrame(frame, 0.7); // plane x = world x
    ASSERT_DOUBLE_EQ(frame[0], 1.0);
    sectioner.SetFrame(frame);
    sectioner.SetMesh(&wall);
    sectioner.SetSectionRectangle(2.2f, 6.6f, -FLT_MAX, FLT_MAX);
    sectioner.PrepareCrossingPoints();
    sectioner.CollectCrossingEdges(0);
    tSectionPolylines cut;
    sectioner.ExtractPolylines(cut, 1e-4f, 0.0);
    ASSERT_EQ(cut.GetCount(), 1u);
    float lo = FLT_MAX, hi = -FLT_MAX;
    for (const cVertex& v : cut[0].vertices)
    {
        lo = std::min(lo, v.x);
        hi = std::max(hi, v.x);
    }
    EXPECT_GE(lo, 2.2f);
    EXPECT_LE(hi, 6.6f);
    EXPECT_LT(lo, 3.0f);
    EXPECT_GT(hi, 5.9f);
}

TEST(MeshPlaneSectioner, MaskCutsOnlyMarkedTriangles)
{
    cMesh tube;
    BuildTube(tube, 2.0, 0.0, 1.0, 20, 1);
    // Mark the quads of the first half turn.
    for (std::uint32_t t = 0; t < 20; ++t)
        tube.GetTriangle(t)->flags |= kSectionTriangleMask;
    const tSectionPolylines marked = CutAtHeight(tube, 0.5, kSectionTriangleMask);
    ASSERT_EQ(marked.GetCount(), 1u);
    EXPECT_FALSE(IsClosedLoop(marked[0]));
    EXPECT_NEAR(marked[0].GetLength(), CutAtHeight(tube, 0.5)[0].GetLength() / 2, 1e-4);
    EXPECT_EQ(CutAtHeight(tube, 0.5, 0x80).GetCount(), 0u);
}

TEST(MeshPlaneSectioner, OpenChainsComeOutWholeEvenWithAZeroTolerance)
{
    // A wall cut across gives one open chain. Whichever edge the walk starts
    // at, its pieces meet end to start and the join (tolerance raised to
    // 1e-5) reunites them.
    for (std::uint32_t n : {3u, 8u, 17u, 40u})
    {
        cMesh wall;
        BuildWall(wall, 0.0, 1.0 * n, 0.0, 1.0, n, 1);
        const tSectionPolylines cut = CutAtHeight(wall, 0.25, 0, 0.0f);
        ASSERT_EQ(cut.GetCount(), 1u) << n;
        EXPECT_NEAR(cut[0].GetLength(), n, 1e-4);
    }
}

TEST(MeshPlaneSectioner, IgnoresTrianglesWithIndicesOutsideTheMesh)
{
    cMesh tube;
    BuildTube(tube, 1.0, 0.0, 1.0, 8, 1);
    tube.AddTriangle(0, 1, 999);
    // Each corner in turn just past the last vertex.
    const std::uint32_t past = tube.GetVertexCount();
    tube.AddTriangle(past, 1, 0);
    tube.AddTriangle(1, past, 0);
    tube.AddTriangle(1, 0, past);
    EXPECT_EQ(CutAtHeight(tube, 0.5).GetCount(), 1u);
    cMeshPlaneSectioner sectioner;
    tSectionPolylines none;
    double frame[12];
    HorizontalFrame(frame, 0.5);
    SectionMeshByPlane(sectioner, nullptr, frame, 0, none, 1e-4f, 0.0);
    EXPECT_TRUE(none.IsEmpty());
}

TEST(MeshPlaneSectioner, OneSectionerCutsPlaneAfterPlane)
{
    cMesh sphere;
    const double centre[3] = {0, 0, 0};
    BuildSphere(sphere, centre, 3.0, 20, 30);
    cMeshPlaneSectioner reused;
    for (const double z : {-2.0, 0.5, 1.7})
    {
        double frame[12];
        HorizontalFrame(frame, z);
        tSectionPolylines again;
        SectionMeshByPlane(reused, &sphere, frame, 0, again, 1e-4f, 0.0);
        const tSectionPolylines fresh = Cut(sphere, frame);
        ASSERT_EQ(again.GetCount(), fresh.GetCount());
        ASSERT_EQ(again[0].GetVertexCount(), fresh[0].GetVertexCount());
        for (std::uint32_t i = 0; i < fresh[0].GetVertexCount(); ++i)
            EXPECT_EQ(Distance(*again[0].GetVertex(i), *fresh[0].GetVertex(i)), 0.0);
        EXPECT_EQ(reused.GetCrossingPoints().GetVertexCount(), 0u);
    }
}

TEST(MeshPlaneSectioner, IndexedCutsEqualFullScans)
{
    cMesh torus;
    BuildTorus(torus, 10.0, 3.0, 150, 60);
    torus.AddTriangle(0, 1, 123456); // a corner outside the mesh
    for (std::uint32_t t = 0; t < torus.GetTriangleCount(); t += 3)
        torus.GetTriangle(t)->flags |= kSectionTriangleMask;
    cSectionTriangleIndex index;
    ASSERT_TRUE(index.Build(torus));
    ASSERT_TRUE(index.Matches(torus));

    cMeshPlaneSectioner scan, indexed;
    indexed.SetTriangleIndex(&index);
    for (int plane = 0; plane < 12; ++plane)
    {
        // Tilted planes through and beside the ring, some through vertices.
        const double a = 0.37 * plane, b = 0.23 * plane;
        const double normal[3] = {std::sin(a) * std::cos(b), std::sin(a) * std::sin(b), std::cos(a)};
        const double origin[3] = {plane % 2 == 0 ? 0.0 : 13.0, 0.0, plane % 3 == 0 ? 0.0 : 1.7};
        double frame[12];
        TiltedFrame(frame, origin, normal);
        for (const std::uint8_t mask : {std::uint8_t{0}, kSectionTriangleMask})
        {
            tSectionPolylines expected, actual;
            SectionMeshByPlane(scan, &torus, frame, mask, expected, 1e-4f, 0.0);
            SectionMeshByPlane(indexed, &torus, frame, mask, actual, 1e-4f, 0.0);
            ExpectSameSections(actual, expected, plane);
        }
    }

    // After the mesh changes the stale index is not used.
    AddPoint(torus, 0, 0, -1);
    AddPoint(torus, 1, 0, 1);
    AddPoint(torus, 0, 1, 1);
    const std::uint32_t n = torus.GetVertexCount();
    torus.AddTriangle(n - 3, n - 2, n - 1);
    EXPECT_FALSE(index.Matches(torus));
    double frame[12];
    HorizontalFrame(frame, 0.3);
    tSectionPolylines expected, actual;
    SectionMeshByPlane(scan, &torus, frame, 0, expected, 1e-4f, 0.0);
    SectionMeshByPlane(indexed, &torus, frame, 0, actual, 1e-4f, 0.0);
    EXPECT_EQ(actual.GetCount(), 3u);
    EXPECT_EQ(expected.GetCount(), 3u);
}

TEST(MeshPlaneSectioner, FullScansOnTheSharedPoolCutAsTheyDoAlone)
{
    // Enough triangles for several jobs of the pool, every third one marked,
    // and triangles with each of their corners outside the mesh.
    cMesh torus;
    BuildTorus(torus, 10.0, 3.0, 300, 80);
    torus.AddTriangle(123456, 0, 1);
    torus.AddTriangle(0, 123456, 1);
    torus.AddTriangle(0, 1, 123456);
    torus.AddTriangle(0, torus.GetVertexCount(), 1); // just past the last vertex
    for (std::uint32_t t = 0; t < torus.GetTriangleCount(); t += 3)
        torus.GetTriangle(t)->flags |= kSectionTriangleMask;
    cThreadPool pool(4);
    cMeshPlaneSectioner sectioner, listed;
    SetSharedThreadPool(&pool);
    const std::vector<std::uint32_t> marked = TrianglesWithFlag(torus, kSectionTriangleMask);
    SetSharedThreadPool(nullptr);
    ASSERT_EQ(marked.size(), (torus.GetTriangleCount() + 2) / 3);
    listed.SetTriangleList(&marked);
    for (int plane = 0; plane < 6; ++plane)
    {
        const double a = 0.41 * plane, b = 0.29 * plane;
        const double normal[3] = {std::sin(a) * std::cos(b), std::sin(a) * std::sin(b), std::cos(a)};
        const double origin[3] = {plane % 2 == 0 ? 0.0 : 11.0, 0.5, 0.3};
        double frame[12];
        TiltedFrame(frame, origin, normal);
        for (const std::uint8_t mask : {std::uint8_t{0}, kSectionTriangleMask})
        {
            tSectionPolylines alone, pooled;
            SectionMeshByPlane(sectioner, &torus, frame, mask, alone, 1e-4f, 0.0);
            SetSharedThreadPool(&pool);
            SectionMeshByPlane(sectioner, &torus, frame, mask, pooled, 1e-4f, 0.0);
            // Only the marked triangles' list visited: the masked cut.
            tSectionPolylines fromList;
            if (mask != 0)
                SectionMeshByPlane(listed, &torus, frame, mask, fromList, 1e-4f, 0.0);
            SetSharedThreadPool(nullptr);
            ASSERT_GT(alone.GetCount(), 0u);
            ExpectSameSections(pooled, alone, plane);
            if (mask != 0)
                ExpectSameSections(fromList, alone, plane);
        }
    }
}

TEST(MeshPlaneSectioner, StackedParallelCutsAreTheListsCutsPlaneByPlane)
{
    // A marked torus far out with a vertex at NaN, triangles with a corner
    // outside the mesh, and a vertex on one of the planes: a stack of eight
    // parallel planes across it, measured in one pass on a pool, cuts as
    // the list does plane by plane.
    cMesh torus;
    BuildTorus(torus, 10.0, 3.0, 200, 60);
    torus.ForEachVertex([](cVertex& v) { v.x += 1500.0f, v.y -= 800.0f, v.z += 250.0f; });
    torus.GetVertex(77)->y = std::nanf("");
    torus.AddTriangle(123456, 0, 1);
    torus.AddTriangle(0, 1, torus.GetVertexCount());
    for (std::uint32_t t = 0; t < torus.GetTriangleCount(); t += 2)
        torus.GetTriangle(t)->flags |= kSectionTriangleMask;
    const std::vector<std::uint32_t> marked = TrianglesWithFlag(torus, kSectionTriangleMask);
    const double normal[3] = {0.48, -0.64, 0.6};
    std::vector<std::array<double, 12>> frames(8);
    for (std::size_t k = 0; k < frames.size(); ++k)
    {
        const double along = -11.0 + 3.0 * double(k);
        const double origin[3] = {1500.0 + along * normal[0], -800.0 + along * normal[1], 250.0 + along * normal[2]};
        TiltedFrame(frames[k].data(), origin, normal);
    }
    const cVertex& on = *torus.GetVertex(1000);
    for (int r = 0; r < 3; ++r)
        frames[3][4 * r + 3] = r == 0 ? on.x : r == 1 ? on.y : on.z;
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    cMeshPlaneSectioner listed, stacked;
    listed.SetTriangleList(&marked);
    stacked.SetTriangleList(&marked);
    stacked.SetMesh(&torus);
    ASSERT_TRUE(stacked.StackCuts(frames, kSectionTriangleMask));
    for (std::size_t k = 0; k < frames.size(); ++k)
    {
        tSectionPolylines expected, actual, misled;
        SectionMeshByPlane(listed, &torus, frames[k].data(), kSectionTriangleMask, expected, 1e-4f, 0.0);
        stacked.UseStackedCut(k);
        SectionMeshByPlane(stacked, &torus, frames[k].data(), kSectionTriangleMask, actual, 1e-4f, 0.0);
        // Another plane's triangles are not taken for this one.
        stacked.UseStackedCut((k + 1) % frames.size());
        SectionMeshByPlane(stacked, &torus, frames[k].data(), kSectionTriangleMask, misled, 1e-4f, 0.0);
        ExpectSameSections(actual, expected, int(k));
        ExpectSameSections(misled, expected, int(k));
    }
    // A fan of planes about an axis through the torus, each measured with
    // its own row: thirteen, measured eight, four and one at a time where
    // the processor has the lanes.
    const double centre[3] = {1500.0, -800.0, 250.0};
    frames.resize(13);
    for (std::size_t k = 0; k < frames.size(); ++k)
    {
        TiltedFrame(frames[k].data(), centre, normal);
        RotateFrameAboutY(frames[k].data(), 0.37 * double(k));
    }
    ASSERT_TRUE(stacked.StackCuts(frames, kSectionTriangleMask));
    for (std::size_t k = 0; k < frames.size(); ++k)
    {
        tSectionPolylines expected, actual;
        SectionMeshByPlane(listed, &torus, frames[k].data(), kSectionTriangleMask, expected, 1e-4f, 0.0);
        stacked.UseStackedCut(k);
        SectionMeshByPlane(stacked, &torus, frames[k].data(), kSectionTriangleMask, actual, 1e-4f, 0.0);
        ASSERT_GT(expected.GetCount(), 0u) << k;
        ExpectSameSections(actual, expected, int(k));
    }
    // The fan cut side by side, each plane's half on one side of the axis
    // only: what each cut of the stack gives with that rectangle alone.
    const float half[4] = {0.0f, FLT_MAX, -FLT_MAX, FLT_MAX};
    std::vector<tSectionPolylines> sideBySide;
    ASSERT_TRUE(stacked.CutStackSideBySide(frames, FLT_EPSILON, 0.0, sideBySide, half));
    ASSERT_EQ(sideBySide.size(), frames.size());
    for (std::size_t k = 0; k < frames.size(); ++k)
    {
        tSectionPolylines alone, whole;
        stacked.UseStackedCut(k);
        stacked.SetFrame(frames[k].data());
        stacked.SetMesh(&torus);
        stacked.SetSectionRectangle(half[0], half[1], half[2], half[3]);
        stacked.PrepareCrossingPoints();
        stacked.CollectCrossingEdges(kSectionTriangleMask);
        stacked.ExtractPolylines(alone, FLT_EPSILON, 0.0);
        stacked.ClearCrossingPoints();
        ASSERT_GT(alone.GetCount(), 0u) << k;
        ExpectSameSections(sideBySide[k], alone, int(k));
        // The rectangle leaves out the other half.
        SectionMeshByPlane(listed, &torus, frames[k].data(), kSectionTriangleMask, whole, FLT_EPSILON, 0.0);
        EXPECT_GT(whole.GetCount(), alone.GetCount()) << k;
    }
    SetSharedThreadPool(nullptr);
}

TEST(MeshPlaneSectioner, IndexedCutsOfAMeshWithUnreadableVerticesEqualFullScans)
{
    // Bins and groups of bins that hold a vertex at infinity or NaN have no
    // usable box and are always visited; the others are passed over by
    // their boxes. A sphere far from the origin, cut through and beside it.
    cMesh sphere;
    const double centre[3] = {1500.0, -800.0, 250.0};
    BuildSphere(sphere, centre, 40.0, 90, 120);
    const float bad[3] = {INFINITY, NAN, -INFINITY};
    for (std::uint32_t k = 0; k < 3; ++k)
        sphere.GetVertex(1000 + 3001 * k)->Position()[k] = bad[k];
    cSectionTriangleIndex index;
    ASSERT_TRUE(index.Build(sphere));
    cMeshPlaneSectioner scan, indexed;
    indexed.SetTriangleIndex(&index);
    for (int plane = 0; plane < 16; ++plane)
    {
        const double a = 0.41 * plane, b = 0.29 * plane;
        const double normal[3] = {std::sin(a) * std::cos(b), std::sin(a) * std::sin(b), std::cos(a)};
        const double offset = 4.0 * (plane - 8);
        const double origin[3] = {centre[0] + offset * normal[0], centre[1] + offset * normal[1],
                                  centre[2] + offset * normal[2]};
        double frame[12];
        TiltedFrame(frame, origin, normal);
        tSectionPolylines expected, actual;
        SectionMeshByPlane(scan, &sphere, frame, 0, expected, 1e-4f, 0.0);
        SectionMeshByPlane(indexed, &sphere, frame, 0, actual, 1e-4f, 0.0);
        ASSERT_GT(expected.GetCount(), 0u) << plane;
        ExpectSameSections(actual, expected, plane);
    }
}

} // namespace
