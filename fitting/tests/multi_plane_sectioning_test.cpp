#include "fitting/multi_plane_sectioning.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "core/bounding_box.h"
#include "core/mesh.h"
#include "fitting/mesh_plane_sectioner.h"
#include "platform/win32/win32.h"
#include "section_meshes.h"

using namespace section_meshes;

namespace
{

// A straight guide from a to b.
class cLineGuide : public ISectionGuideCurve
{
public:
    cLineGuide(const double a[3], const double b[3])
    {
        for (int k = 0; k < 3; ++k)
        {
            m_a[k] = a[k];
            m_d[k] = b[k] - a[k];
        }
        m_length = std::sqrt(m_d[0] * m_d[0] + m_d[1] * m_d[1] + m_d[2] * m_d[2]);
    }
    double GetTotalLength() const override { return m_length; }
    double GetLengthBetween(double t0, double t1) const override { return (t1 - t0) * m_length; }
    bool GetParameterAtLength(double s, double, double& t) const override
    {
        if (s < 0 || s > m_length)
            return false;
        t = s / m_length;
        return true;
    }
    bool Evaluate(double t, double point[3], double tangent[3]) const override
    {
        ++evaluations;
        cursorWhileRunning = GetCursor();
        for (int k = 0; k < 3; ++k)
        {
            point[k] = m_a[k] + t * m_d[k];
            tangent[k] = m_d[k] * 3.0; // deliberately not unit length
        }
        return true;
    }

    mutable int evaluations = 0;
    mutable HCURSOR cursorWhileRunning = nullptr;

private:
    double m_a[3], m_d[3], m_length;
};

// Heights of the preview polylines' first points.
std::vector<double> Heights(const stSectionPanelData& panel)
{
    std::vector<double> z;
    for (const tFramePolyline<cVertex>& p : panel.preview.items)
        z.push_back(p.GetFirstVertex()->z);
    return z;
}

struct SectionTest : ::testing::Test
{
    SectionTest()
    {
        BuildTube(tube, 2.0, 0.0, 10.0, 24, 10);
        panel.mesh = &tube;
        panel.settings.origin[2] = 5.0;
    }
    cMesh tube;
    stSectionPanelData panel;
};

TEST(SectionPlaneCount, StackSizeFollowsTheBoxDiagonalAndIsBounded)
{
    const float box[6] = {0, 0, 0, 60, 80, 0}; // diagonal 100
    std::uint32_t n = 99;
    ASSERT_TRUE(CountStackedPlanes(box, 10.0f, n));
    EXPECT_EQ(n, 16u);
    for (const float spacing : {0.0f, -5.0f, FLT_EPSILON, NAN})
    {
        ASSERT_TRUE(CountStackedPlanes(box, spacing, n));
        EXPECT_EQ(n, 0u) << spacing;
    }
    float empty[6];
    MakeEmptyBox3f(empty);
    ASSERT_TRUE(CountStackedPlanes(empty, 1.0f, n));
    EXPECT_EQ(n, 0u);
    // 150 / 0.003 = 50000 planes a side is beyond the bound; just below it is not.
    EXPECT_FALSE(CountStackedPlanes(box, 0.003f, n));
    EXPECT_FALSE(CountStackedPlanes(box, 1e-6f, n));
    const float huge[6] = {-FLT_MAX / 2, 0, 0, FLT_MAX / 2, 0, 0};
    EXPECT_FALSE(CountStackedPlanes(huge, 1.0f, n));
    ASSERT_TRUE(CountStackedPlanes(box, 0.0031f, n));
    EXPECT_LE(2 * n + 1, kMaxSectionPlanes);
}

TEST(SectionPlaneCount, StackFramesAlternateAboveAndBelow)
{
    double base[12];
    const double origin[3] = {1, 2, 3}, normal[3] = {0, 1, 0}, ref[3] = {1, 0, 0};
    PlaneFrame(base, origin, normal, ref);
    std::vector<stSectionRecord> records;
    MakeStackedPlaneFrames(base, 16, 10.0f, records);
    ASSERT_EQ(records.size(), 33u);
    EXPECT_DOUBLE_EQ(records[0].frame[7], 2.0);
    EXPECT_DOUBLE_EQ(records[1].frame[7], 12.0);
    EXPECT_DOUBLE_EQ(records[2].frame[7], -8.0);
    EXPECT_DOUBLE_EQ(records[31].frame[7], 162.0);
    EXPECT_DOUBLE_EQ(records[32].frame[7], -158.0);
    EXPECT_DOUBLE_EQ(records[32].frame[3], 1.0);
}

TEST_F(SectionTest, SinglePlaneThroughTheOrigin)
{
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    ASSERT_EQ(panel.preview.GetCount(), 1u);
    EXPECT_TRUE(panel.hasSections);
    const tFramePolyline<cVertex>& loop = panel.preview[0];
    EXPECT_TRUE(IsClosedLoop(loop));
    EXPECT_TRUE(loop.HasFrameMark());
    EXPECT_DOUBLE_EQ(loop.frame[11], 5.0);
    for (const cVertex& v : loop.vertices)
    {
        EXPECT_NEAR(v.z, 5.0, 1e-5);
        EXPECT_EQ(v.flags, 0u);
    }
    EXPECT_TRUE(panel.records.empty());
}

TEST_F(SectionTest, StackOfPlanesInOffsetOrder)
{
    panel.settings.multipleSections = true;
    panel.settings.spacing = 4.0f; // diagonal sqrt(116): N = int(2.69) + 1 = 3, seven planes
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    const std::vector<double> z = Heights(panel);
    // Planes at 5, 9, 1; 13 and -3 miss; 17 and -7 miss.
    ASSERT_EQ(z.size(), 3u);
    EXPECT_NEAR(z[0], 5.0, 1e-5);
    EXPECT_NEAR(z[1], 9.0, 1e-5);
    EXPECT_NEAR(z[2], 1.0, 1e-5);
}

TEST_F(SectionTest, FewPlanesAreCutOnTheCallingThreadWithTheSameResult)
{
    panel.settings.multipleSections = true;
    panel.settings.spacing = 9.0f; // N = 2: five planes, cut sequentially
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    const std::vector<double> z = Heights(panel);
    ASSERT_EQ(z.size(), 1u);
    EXPECT_NEAR(z[0], 5.0, 1e-5);
}

TEST_F(SectionTest, ThroughSelectionSkipsUnselectedAndHiddenTriangles)
{
    panel.settings.throughSelectionOnly = true;
    for (std::uint32_t t = 0; t < tube.GetTriangleCount(); ++t)
    {
        cMeshTriangle* tri = tube.GetTriangle(t);
        // Quads of the first ring half selected; the first quarter also hidden.
        const std::uint32_t around = (t / 2) % 24;
        if (around < 12)
            tri->flags |= kTriangleFlagSelected;
        if (around < 6)
            tri->flags |= kTriangleFlagHidden;
        tri->flags |= kSectionTriangleMask; // stale mark of an earlier run
    }
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    ASSERT_EQ(panel.preview.GetCount(), 1u);
    EXPECT_FALSE(IsClosedLoop(panel.preview[0]));
    EXPECT_NEAR(panel.preview[0].GetLength(), 2.0 * 2 * 12 * std::sin(kPi / 24) * 0.5, 0.05);
    EXPECT_EQ(tube.GetTriangle(0)->flags & kSectionTriangleMask, 0) << "hidden: mark cleared";
    EXPECT_NE(tube.GetTriangle(2 * 8)->flags & kSectionTriangleMask, 0) << "in use: marked";

    // Nothing selected: nothing in use, nothing cut.
    tube.ForEachTriangle([](cMeshTriangle& t) { t.flags = 0; });
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    EXPECT_FALSE(panel.hasSections);
}

TEST_F(SectionTest, PointsRebuiltOrSimplified)
{
    panel.settings.buildWithPoints = true;
    panel.settings.pointCount = 1;
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    ASSERT_EQ(panel.preview.GetCount(), 1u);
    EXPECT_EQ(panel.preview[0].GetVertexCount(), 2u);

    panel.settings.pointCount = 100;
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    EXPECT_EQ(panel.preview[0].GetVertexCount(), 100u);

    // Simplification only when the points are not rebuilt.
    panel.settings.simplificationTolerance = 0.5f;
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    EXPECT_EQ(panel.preview[0].GetVertexCount(), 100u);
    panel.settings.buildWithPoints = false;
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    EXPECT_LT(panel.preview[0].GetVertexCount(), 20u);
    EXPECT_TRUE(IsClosedLoop(panel.preview[0]));
}

TEST_F(SectionTest, RefusedRequestsLeaveAnEmptyPreview)
{
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    ASSERT_TRUE(panel.hasSections);

    panel.settings.multipleSections = true;
    panel.settings.spacing = 1e-4f;
    EXPECT_EQ(ComputeSectionPolylines(panel), eSectionResult::tooManyPlanes);
    EXPECT_FALSE(panel.hasSections);
    EXPECT_TRUE(panel.preview.IsEmpty());
    EXPECT_TRUE(panel.records.empty());

    panel.settings.multipleSections = false;
    for (const double bad : {0.0, static_cast<double>(NAN)})
    {
        panel.settings.normal[0] = panel.settings.normal[1] = panel.settings.normal[2] = bad;
        EXPECT_EQ(ComputeSectionPolylines(panel), eSectionResult::invalidPlane);
    }
    panel.settings.normal[2] = 1.0;
    panel.settings.normal[0] = panel.settings.normal[1] = 0.0;
    panel.settings.origin[0] = INFINITY;
    EXPECT_EQ(ComputeSectionPolylines(panel), eSectionResult::invalidPlane);
    panel.settings.origin[0] = 0.0;

    panel.settings.buildWithPoints = true;
    panel.settings.pointCount = 2000000000;
    EXPECT_EQ(ComputeSectionPolylines(panel), eSectionResult::invalidPoints);
    panel.settings.buildWithPoints = false;

    panel.mesh = nullptr;
    EXPECT_EQ(ComputeSectionPolylines(panel), eSectionResult::noMesh);
    EXPECT_FALSE(panel.hasSections);
}

TEST_F(SectionTest, NonUnitNormalStillCutsAtTheOrigin)
{
    panel.settings.normal[2] = 7.0;
    panel.settings.multipleSections = true;
    panel.settings.spacing = 4.0f;
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    const std::vector<double> z = Heights(panel);
    ASSERT_EQ(z.size(), 3u);
    EXPECT_NEAR(z[1], 9.0, 1e-5) << "offsets are lengths along the unit normal";
}

TEST_F(SectionTest, PlanesAlongAGuideStopAtItsEnds)
{
    const double a[3] = {0, 0, -1}, b[3] = {0, 0, 11};
    cLineGuide guide(a, b);
    panel.settings.guide = &guide;
    panel.settings.guideParameter = 0.5; // arc length 6, at z = 5
    panel.settings.multipleSections = true;
    panel.settings.spacing = 2.5f;
    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    SetCursor(arrow);
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    // The wait cursor shows while the run lasts, the user's cursor after it.
    EXPECT_EQ(guide.cursorWhileRunning, LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_EQ(GetCursor(), arrow);
    // Base plane at 5, then s = 8.5, 11 (z 7.5, 10 - the top rim), then
    // s = 3.5, 1 (z 2.5, 0 - the bottom rim).
    const std::vector<double> z = Heights(panel);
    ASSERT_GE(z.size(), 3u);
    EXPECT_NEAR(z[0], 5.0, 1e-5);
    EXPECT_NEAR(z[1], 7.5, 1e-5);
    EXPECT_EQ(guide.evaluations, 4);
    for (const tFramePolyline<cVertex>& p : panel.preview.items)
        EXPECT_NEAR(std::fabs(p.frame[10]), 1.0, 1e-12) << "the tangent is normalised";

    // Without multiple sections the guide adds nothing.
    panel.settings.multipleSections = false;
    guide.evaluations = 0;
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    EXPECT_EQ(panel.preview.GetCount(), 1u);
    EXPECT_EQ(guide.evaluations, 0);

    // A zero spacing along the guide cuts the base plane only (it never
    // steps), and a spacing too small for the guide's length is refused.
    panel.settings.multipleSections = true;
    panel.settings.spacing = 0.0f;
    ASSERT_EQ(ComputeSectionPolylines(panel), eSectionResult::done);
    EXPECT_EQ(panel.preview.GetCount(), 1u);
    panel.settings.spacing = 1e-5f;
    EXPECT_EQ(ComputeSectionPolylines(panel), eSectionResult::tooManyPlanes);
}

} // namespace
