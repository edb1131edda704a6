// Multi-plane sectioning on the thread pool: the parallel jobs must give
// exactly what cutting the same planes one after another gives.
#include "fitting/multi_plane_sectioning.h"

#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <vector>

#include "core/mesh.h"
#include "core/thread_pool.h"
#include "fitting/mesh_plane_sectioner.h"
#include "fitting/polyline_simplify.h"
#include "section_meshes.h"

using namespace section_meshes;

namespace
{

void ExpectSamePolylines(const tSectionPolylines& a, const tSectionPolylines& b)
{
    ASSERT_EQ(a.GetCount(), b.GetCount());
    for (std::uint32_t i = 0; i < a.GetCount(); ++i)
    {
        ASSERT_EQ(a[i].GetVertexCount(), b[i].GetVertexCount()) << i;
        for (int k = 0; k < 12; ++k)
            EXPECT_EQ(a[i].frame[k], b[i].frame[k]);
        for (std::uint32_t j = 0; j < a[i].GetVertexCount(); ++j)
        {
            const cVertex& u = *a[i].GetVertex(j);
            const cVertex& v = *b[i].GetVertex(j);
            ASSERT_TRUE(u.x == v.x && u.y == v.y && u.z == v.z) << i << ":" << j;
        }
    }
}

struct ParallelSectionTest : ::testing::Test
{
    ParallelSectionTest()
    {
        const double centre[3] = {0.5, -0.25, 1.0};
        BuildSphere(sphere, centre, 20.0, 80, 120);
        panel.mesh = &sphere;
        panel.pool = &pool;
        panel.settings.origin[0] = 0.5;
        panel.settings.origin[1] = -0.25;
        panel.settings.origin[2] = 1.0;
        // A tilted stack: the diagonal of the sphere's box is about 69.3, so a
        // spacing of 1.25 gives N = 84, 169 planes, of which 31 meet the
        // sphere.
        panel.settings.normal[0] = 0.3;
        panel.settings.normal[2] = 1.0;
        panel.settings.multipleSections = true;
        panel.settings.spacing = 1.25f;
    }

    // The same planes cut one after another by one sectioner.
    tSectionPolylines CutSerially()
    {
        double normal[3] = {0.3, 0.0, 1.0};
        const double length = std::sqrt(1.09);
        for (double& c : normal)
            c /= length;
        double base[12];
        MakeFrame3x4(base, panel.settings.origin, normal, panel.settings.reference);
        std::uint32_t planesPerSide = 0;
        float box[6];
        MakeEmptyBox3f(box);
        for (std::uint32_t i = 0; i < sphere.GetVertexCount(); ++i)
            GrowBox3f(box, sphere.GetVertex(i)->Position());
        EXPECT_TRUE(CountStackedPlanes(box, panel.settings.spacing, planesPerSide));
        EXPECT_EQ(planesPerSide, 84u);
        std::vector<stSectionRecord> planes;
        MakeStackedPlaneFrames(base, planesPerSide, panel.settings.spacing, planes);
        cMeshPlaneSectioner sectioner;
        tSectionPolylines all;
        for (const stSectionRecord& plane : planes)
        {
            tSectionPolylines work;
            SectionMeshByPlane(sectioner, &sphere, plane.frame, kSectionTriangleMask, work, 1e-4f, 0.0);
            for (const tFramePolyline<cVertex>& p : work.items)
            {
                tFramePolyline<cVertex>* copy = all.Add(tFramePolyline<cVertex>());
                std::copy(p.frame, p.frame + 12, copy->frame);
                for (std::uint32_t j = 0; j < p.GetVertexCount(); ++j)
                {
                    const cVertex local = p.GetVertexInFrame(j);
                    float world[3];
                    TransformPoint3f(p.frame, world, local.Position());
                    copy->AddFloatPoint(world);
                }
            }
        }
        return all;
    }

    cMesh sphere;
    cThreadPool pool;
    stSectionPanelData panel;
};

TEST_F(ParallelSectionTest, PoolJobsGiveTheSerialResultInPlaneOrder)
{
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    EXPECT_EQ(panel.preview.GetCount(), 31u);
    EXPECT_TRUE(panel.records.empty());
    const tSectionPolylines serial = CutSerially();
    ExpectSamePolylines(panel.preview, serial);
    pool.Stop();
}

TEST_F(ParallelSectionTest, RepeatedRunsAndTheInlineFallbackAgree)
{
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    const tSectionPolylines first = panel.preview;
    for (int run = 0; run < 3; ++run)
    {
        ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
        ExpectSamePolylines(panel.preview, first);
    }
    panel.pool = nullptr;
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    ExpectSamePolylines(panel.preview, first);
    pool.Stop();
}

TEST_F(ParallelSectionTest, ParallelSimplificationMatchesSimplifyingEachPolyline)
{
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    tSectionPolylines expected = panel.preview;
    for (tFramePolyline<cVertex>& p : expected.items)
        SimplifyPolyline(p, 0.2f, FLT_MAX);

    panel.settings.simplificationTolerance = 0.2f;
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    EXPECT_TRUE(panel.simplifyList.empty());
    ExpectSamePolylines(panel.preview, expected);
    pool.Stop();
}

TEST_F(ParallelSectionTest, GuidePlanesRunInParallelToo)
{
    struct Guide : ISectionGuideCurve
    {
        double GetTotalLength() const override { return 40.0; }
        double GetLengthBetween(double t0, double t1) const override { return (t1 - t0) * 40.0; }
        bool GetParameterAtLength(double s, double, double& t) const override
        {
            t = s / 40.0;
            return s >= 0 && s <= 40.0;
        }
        bool Evaluate(double t, double point[3], double tangent[3]) const override
        {
            point[0] = 0.5;
            point[1] = -0.25;
            point[2] = -19.0 + 40.0 * t;
            tangent[0] = tangent[1] = 0.0;
            tangent[2] = 1.0;
            return true;
        }
    } guide;
    panel.settings.guide = &guide;
    panel.settings.guideParameter = 0.5;
    panel.settings.normal[0] = 0.0;
    panel.settings.spacing = 1.0f;
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    // Base plane plus 19 steps up (s = 21..39) and 20 down (s = 19..0); the
    // last touches the south pole only and cuts nothing.
    EXPECT_EQ(panel.preview.GetCount(), 39u);
    pool.Stop();
}

} // namespace

TEST_F(ParallelSectionTest, AStackCutSideBySideIsItsCutsPlaneByPlane)
{
    // Every third triangle marked; twelve tilted parallel planes across the
    // sphere, their triangles stacked from the list in one pass.
    for (std::uint32_t t = 0; t < sphere.GetTriangleCount(); t += 3)
        sphere.GetTriangle(t)->flags |= kSectionTriangleMask;
    const std::vector<std::uint32_t> marked = TrianglesWithFlag(sphere, kSectionTriangleMask);
    double normal[3] = {0.3, 0.0, 1.0};
    const double length = std::sqrt(1.09);
    for (double& c : normal)
        c /= length;
    std::vector<std::array<double, 12>> frames(12);
    for (std::size_t k = 0; k < frames.size(); ++k)
    {
        const double along = -16.5 + 3.0 * double(k);
        const double origin[3] = {0.5 + along * normal[0], -0.25, 1.0 + along * normal[2]};
        MakeFrame3x4(frames[k].data(), origin, normal, panel.settings.reference);
    }
    SetSharedThreadPool(&pool);
    cMeshPlaneSectioner stacked;
    stacked.SetTriangleList(&marked);
    stacked.SetMesh(&sphere);
    ASSERT_TRUE(stacked.StackCuts(frames, kSectionTriangleMask));
    std::vector<tSectionPolylines> sideBySide;
    const bool cut = stacked.CutStackSideBySide(frames, 1e-4f, 0.0, sideBySide);
    // Frames the stack was not made from are refused.
    std::vector<std::array<double, 12>> moved = frames;
    moved[5][3] += 0.5;
    std::vector<tSectionPolylines> refused;
    EXPECT_FALSE(stacked.CutStackSideBySide(moved, 1e-4f, 0.0, refused));
    SetSharedThreadPool(nullptr);
    pool.Stop();
    ASSERT_TRUE(cut);
    ASSERT_EQ(sideBySide.size(), frames.size());
    EXPECT_TRUE(refused.empty());
    std::uint32_t nonEmpty = 0;
    for (std::size_t k = 0; k < frames.size(); ++k)
    {
        tSectionPolylines expected;
        stacked.UseStackedCut(k);
        SectionMeshByPlane(stacked, &sphere, frames[k].data(), kSectionTriangleMask, expected, 1e-4f, 0.0);
        nonEmpty += expected.GetCount() > 0 ? 1u : 0u;
        ExpectSamePolylines(sideBySide[k], expected);
    }
    EXPECT_EQ(nonEmpty, 12u);
}
