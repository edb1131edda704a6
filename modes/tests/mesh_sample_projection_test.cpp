#include "modes/mesh_sample_projection.h"

#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/vector_math.h"
#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "modes/curve_network_operations.h"
#include "modes/mode_support.h"
#include "shapes/section_curve_factory.h"
#include "shapes/sketch_curve.h"
#include "shapes/spline_section_curve.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

namespace
{

// A scanned sheet w = f(u, v) with noise, in the frame whose columns are the
// u, v, w axes and whose origin lies far from the world origin.
struct Scan
{
    double frame[12];
    float cell = 2.0f;
    int cells = 60;
    float noise = 0.01f;

    static double Height(double u, double v) { return 4.0 * std::sin(u / 15.0) * std::cos(v / 25.0); }

    void ToWorld(const double local[3], float out[3]) const
    {
        for (int r = 0; r < 3; ++r)
            out[r] = static_cast<float>(frame[4 * r] * local[0] + frame[4 * r + 1] * local[1] +
                                        frame[4 * r + 2] * local[2] + frame[4 * r + 3]);
    }
    void ToLocal(const float p[3], double out[3]) const
    {
        const double d[3] = {p[0] - frame[3], p[1] - frame[7], p[2] - frame[11]};
        for (int c = 0; c < 3; ++c)
            out[c] = frame[c] * d[0] + frame[4 + c] * d[1] + frame[8 + c] * d[2];
    }
    void Up(float out[3]) const
    {
        out[0] = static_cast<float>(frame[2]), out[1] = static_cast<float>(frame[6]),
        out[2] = static_cast<float>(frame[10]);
    }

    void Build(cMesh& mesh, std::mt19937& random) const
    {
        std::uniform_real_distribution<double> jitter(-noise, noise);
        for (int j = 0; j <= cells; ++j)
            for (int i = 0; i <= cells; ++i)
            {
                const double u = i * cell, v = j * cell;
                const double local[3] = {u, v, Height(u, v) + jitter(random)};
                float p[3];
                ToWorld(local, p);
                mesh.AddVertex(p);
            }
        for (int j = 0; j < cells; ++j)
            for (int i = 0; i < cells; ++i)
            {
                const std::uint32_t v = std::uint32_t(j * (cells + 1) + i);
                mesh.AddTriangle(v, v + 1, v + cells + 2);
                mesh.AddTriangle(v, v + cells + 2, v + cells + 1);
            }
    }
};

void RandomFrame(std::mt19937& random, double frame[12])
{
    std::normal_distribution<double> g(0.0, 1.0);
    double q[4] = {g(random), g(random), g(random), g(random)};
    const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double& c : q)
        c /= n;
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - w * z),     2 * (x * z + w * y),
                         2 * (x * y + w * z),     1 - 2 * (x * x + z * z), 2 * (y * z - w * x),
                         2 * (x * z - w * y),     2 * (y * z + w * x),     1 - 2 * (x * x + y * y)};
    std::uniform_real_distribution<double> offset(-3000.0, 3000.0);
    for (int row = 0; row < 3; ++row)
    {
        for (int c = 0; c < 3; ++c)
            frame[4 * row + c] = r[3 * row + c];
        frame[4 * row + 3] = offset(random);
    }
}

void ExpectSamePick(const cVertex& a, const cVertex& b)
{
    EXPECT_EQ(a.flags, b.flags);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.z, b.z);
    EXPECT_EQ(a.nx, b.nx);
    EXPECT_EQ(a.index, b.index);
}

TEST(MeshSampleProjection, PicksAlongADirectionGiveTheFullScanAnswersWithTies)
{
    std::mt19937 random(11);
    Scan scan;
    scan.cells = 40;
    RandomFrame(random, scan.frame);
    cMesh mesh;
    scan.Build(mesh, random);
    // Repeats of a patch of triangles (equal depths: the earlier one wins)
    // and a crossing sheet; some triangles hidden.
    const std::uint32_t sheet = mesh.GetTriangleCount();
    for (std::uint32_t t = 0; t < 400; t += 2)
    {
        const cMeshTriangle tri = *mesh.GetTriangle(sheet / 2 + t);
        mesh.AddTriangle(tri.vertexIndex[0], tri.vertexIndex[1], tri.vertexIndex[2]);
    }
    const std::uint32_t firstCrossing = mesh.GetVertexCount();
    for (const auto& l : {std::array<double, 3>{10, 10, -5}, {70, 10, 6}, {10, 70, 6}})
    {
        float p[3];
        scan.ToWorld(l.data(), p);
        mesh.AddVertex(p);
    }
    mesh.AddTriangle(firstCrossing, firstCrossing + 1, firstCrossing + 2);
    mesh.Update();
    for (std::uint32_t t = 5; t < sheet; t += 17)
        mesh.GetTriangle(t)->flags |= kTriangleFlagHidden;

    cMeshSampleProjector projector;
    std::uniform_real_distribution<double> along(-5.0, 85.0), height(-8.0, 12.0), tilt(-0.6, 0.6);
    int hits = 0, ties = 0;
    for (int round = 0; round < 2; ++round)
    {
        for (int q = 0; q < 400; ++q)
        {
            const double local[3] = {along(random), along(random), height(random)};
            double dirLocal[3] = {tilt(random), tilt(random), q % 7 == 0 ? -1.0 : 1.0};
            float point[3], direction[3];
            scan.ToWorld(local, point);
            for (int r = 0; r < 3; ++r)
                direction[r] = static_cast<float>(scan.frame[4 * r] * dirLocal[0] + scan.frame[4 * r + 1] * dirLocal[1] +
                                                  scan.frame[4 * r + 2] * dirLocal[2]);
            NormaliseVector3f(direction);
            const cMeshTriangle* scanHit = nullptr;
            const cMeshTriangle* fastHit = nullptr;
            const cVertex expected = PickMeshPointAlong(mesh, point, direction, &scanHit);
            const cVertex found = projector.PickAlong(mesh, point, direction, &fastHit);
            SCOPED_TRACE(q);
            ExpectSamePick(found, expected);
            ASSERT_EQ(fastHit, scanHit);
            hits += scanHit != nullptr;
            ties += scanHit != nullptr && scanHit >= mesh.GetTriangle(sheet / 2) &&
                    scanHit < mesh.GetTriangle(sheet / 2 + 400);
        }
        // The mesh moves: the kept index must follow it.
        const double shift[12] = {1, 0, 0, 12.5, 0, 1, 0, -3.0, 0, 0, 1, 7.0};
        mesh.Transform(shift);
        for (int r = 0; r < 3; ++r)
            scan.frame[4 * r + 3] += shift[4 * r + 3];
    }
    EXPECT_GT(hits, 500);
    EXPECT_GT(ties, 10) << "picks land where triangles repeat";

    // No direction: nothing is picked, nothing is built.
    const float zero[3] = {0, 0, 0}, p[3] = {1, 2, 3};
    EXPECT_TRUE(projector.PickAlong(mesh, p, zero).flags & kPickedNothing);
    EXPECT_TRUE(PickMeshPointAlong(mesh, p, zero).flags & kPickedNothing);
}

TEST(MeshSampleProjection, FreeNodesMoveAlongTheBlendedNormalsOfTheFixedNodesAroundThem)
{
    std::mt19937 random(5);
    Scan scan;
    RandomFrame(random, scan.frame);
    cMesh mesh;
    scan.Build(mesh, random);
    mesh.Update();
    float up[3];
    scan.Up(up);
    // Fixed ends whose normals lean both ways; free nodes between them, one
    // off the side of the scan.
    tPolyline<cVertex> samples;
    const double locals[6][3] = {{10, 10, 8}, {20, 12, 9}, {30, 14, 10}, {40, 16, 9}, {200, 16, 5}, {50, 18, 8}};
    for (int i = 0; i < 6; ++i)
    {
        float p[3];
        scan.ToWorld(locals[i], p);
        cVertex* v = samples.AddFloatPoint(p);
        if (i == 0 || i == 5)
        {
            v->flags = kNetworkNodeFixed;
            const double lean[3] = {i == 0 ? 0.3 : -0.3, 0.0, 1.0};
            double zero[3] = {0, 0, 0};
            float a[3], o[3];
            scan.ToWorld(lean, a);
            scan.ToWorld(zero, o);
            v->nx = a[0] - o[0], v->ny = a[1] - o[1], v->nz = a[2] - o[2];
            NormaliseVector3f(v->Normal());
        }
    }
    // A selected-and-empty record counts as free.
    samples.GetVertex(2)->flags = kNetworkNodeFixed | kNetworkNodeEmpty;
    const tPolyline<cVertex> original = samples;
    cMeshSampleProjector projector;
    EXPECT_EQ(projector.ProjectSamplesOnMesh(mesh, samples), 3u);
    float blended[3];
    for (int k = 0; k < 3; ++k)
        blended[k] = original.GetVertex(0)->Normal()[k] + original.GetVertex(5)->Normal()[k];
    NormaliseVector3f(blended);
    for (std::uint32_t i = 1; i < 5; ++i)
    {
        const cVertex& s = *samples.GetVertex(i);
        for (int k = 0; k < 3; ++k)
            EXPECT_FLOAT_EQ(s.Normal()[k], blended[k]);
        const cVertex expected = PickMeshPointAlong(mesh, original.GetVertex(i)->Position(), blended);
        if (i == 4)
        {
            EXPECT_TRUE(expected.flags & kPickedNothing);
            EXPECT_EQ(s.x, original.GetVertex(4)->x) << "a node off the scan stays";
            continue;
        }
        EXPECT_EQ(s.x, expected.x);
        EXPECT_EQ(s.y, expected.y);
        EXPECT_EQ(s.z, expected.z);
    }
    for (std::uint32_t i : {0u, 5u})
        EXPECT_EQ(samples.GetVertex(i)->x, original.GetVertex(i)->x) << "fixed nodes stay";

    // The same nodes held in a curve's own frame land on the same points.
    double frame[12];
    RandomFrame(random, frame);
    tPolyline<cVertex> local = original;
    for (cVertex& v : local.vertices)
    {
        InverseTransformPoint3f(frame, v.Position());
        const float n[3] = {v.nx, v.ny, v.nz};
        for (int c = 0; c < 3; ++c)
            v.Normal()[c] = static_cast<float>(frame[c] * n[0] + frame[4 + c] * n[1] + frame[8 + c] * n[2]);
    }
    EXPECT_EQ(projector.ProjectSamplesOnMesh(mesh, local, frame), 3u);
    for (std::uint32_t i = 0; i < 6; ++i)
    {
        float world[3];
        TransformPoint3f(frame, world, local.GetVertex(i)->Position());
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(world[k], samples.GetVertex(i)->Position()[k], 2e-3) << i;
    }
}

class NetworkSurface : public ST_IProfiledSurface
{
public:
    void* QueryInterface(const GUID&) override { return nullptr; }
    bool BuildHostSurface() override { return false; }
    bool SetProfileFromSections(const GUID&, const double[12], std::uint32_t,
                                const tPolylineCollection<tFramePolyline<cVertex>>&, float, std::uint8_t,
                                std::uint32_t, std::uint8_t, float) override
    {
        return false;
    }
    bool SetProfile(const ST_ISectionCurve* curve, std::uint8_t) override
    {
        profile = curve->Clone();
        profile->Assign(*curve);
        return true;
    }
    void CloseProfile(std::uint8_t) override {}
    void OpenProfile(std::uint8_t) override {}
    ST_ISectionCurve* GetProfileCurve() override { return profile.get(); }
    void GetProfileFrame(double[12]) const override {}
    t3DPoint<double> GetAxis() const override { return {}; }
    t3DPoint<double> GetProfileOrigin() const override { return {}; }
    void SetDirection(const void*) override {}
    void* GetDirectionPtr() override { return nullptr; }
    std::unique_ptr<ST_ISectionCurve> CreateCurveByClassGuid(const GUID& classId) const override
    {
        return CreateSectionCurveByClassGuid(classId);
    }
    void Transform(const double[12]) override {}
    std::unique_ptr<ST_ISectionCurve> profile;
};

// A curve drawn above the scan between two points on it, committed with
// sub-sampling: its samples land on the scan within the mesh's resolution,
// in any orientation and far from the origin.
TEST(MeshSampleProjection, ACurveDrawnAboveAScanLandsOnItWhenCommittedWithSubSampling)
{
    for (unsigned seed = 1; seed <= 4; ++seed)
    {
        std::mt19937 random(seed);
        Scan scan;
        RandomFrame(random, scan.frame);
        cMesh mesh;
        scan.Build(mesh, random);
        mesh.Update();
        float up[3];
        scan.Up(up);
        cMeshSampleProjector projector;
        tPolyline<cVertex> clicks;
        const double locals[3][3] = {{15, 20, 20}, {60, 70, 25}, {100, 30, 20}};
        for (int i = 0; i < 3; ++i)
        {
            float above[3];
            scan.ToWorld(locals[i], above);
            // The ends are clicked on the scan; the middle lies 8 above it.
            cVertex v = projector.PickAlong(mesh, above, up);
            ASSERT_FALSE(v.flags & kPickedNothing);
            if (i == 1)
            {
                for (int k = 0; k < 3; ++k)
                    v.Position()[k] += 8.0f * up[k];
            }
            v.flags = kNetworkNodeFixed;
            std::copy(up, up + 3, v.Normal());
            clicks.AddVertex(v);
        }
        NetworkSurface surface;
        std::unique_ptr<ST_ISectionCurve> drawn = std::make_unique<ST_TSplineCurve<Dezaz_Wire>>();
        double id[12];
        MakeIdentity3x4(id);
        ASSERT_TRUE(drawn->FitToPolyline(id, clicks, 0.0, 0));
        ST_ISectionCurve* added =
            CommitDrawnCurve(surface, drawn, stSubSampling{true, 12}, &mesh, projector, -1.0);
        ASSERT_NE(added, nullptr);
        const tPolyline<cVertex>& nodes = *added->GetDefiningPoints();
        ASSERT_EQ(nodes.GetVertexCount(), 14u) << "the two ends and twelve samples";
        EXPECT_EQ(nodes.GetFirstVertex()->x, clicks.GetFirstVertex()->x);
        EXPECT_EQ(nodes.GetLastVertex()->z, clicks.GetLastVertex()->z);
        double worst = 0.0;
        for (const cVertex& node : nodes.vertices)
        {
            double local[3];
            scan.ToLocal(node.Position(), local);
            worst = std::max(worst, std::fabs(local[2] - Scan::Height(local[0], local[1])));
        }
        // Cells of 2: the flat triangles stray from the smooth sheet by a few
        // hundredths, the noise by one.
        EXPECT_LT(worst, 0.1) << "seed " << seed;
        EXPECT_TRUE(IsUsableNetworkCurve(*added));
    }
}

} // namespace
