#include "shapes/primitive_geometry.h"
#include "support/test_shapes.h"

#include "support/test_meshes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

using Plane = TestPlane;
using Sphere = TestSphere;
using Cylinder = TestCylinder;

Plane MakePlane(double nz, double ox, double oy, std::uint32_t seed)
{
    Plane p;
    const double n[3] = {0, 0, nz}, o[3] = {ox, oy, 0}, x[3] = {1, 0, 0};
    p.SetOriginAndNormal(n, o, x, 1.0, 1.0);
    p.GetSeeds().push_back(seed);
    return p;
}

// True when the plane's patch holds every vertex of the mesh.
bool PatchCoversMesh(const ST_CPlane& plane, cMesh& mesh)
{
    const cPlane& p = plane.GetPlane();
    const double y[3] = {p.normal[1] * p.xAxis[2] - p.normal[2] * p.xAxis[1],
                         p.normal[2] * p.xAxis[0] - p.normal[0] * p.xAxis[2],
                         p.normal[0] * p.xAxis[1] - p.normal[1] * p.xAxis[0]};
    bool covered = true;
    mesh.ForEachVertex([&](cVertex& v) {
        const double d[3] = {v.x - p.origin[0], v.y - p.origin[1], v.z - p.origin[2]};
        const double s = d[0] * p.xAxis[0] + d[1] * p.xAxis[1] + d[2] * p.xAxis[2];
        const double t = d[0] * y[0] + d[1] * y[1] + d[2] * y[2];
        covered = covered && std::fabs(s) <= p.halfWidth + 1e-6 && std::fabs(t) <= p.halfHeight + 1e-6;
    });
    return covered;
}

} // namespace

// 6 x 4 unit quads in z = 0: columns 0-2 tag 7, columns 3-5 tag 9.
class PlaneMerge : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mesh = MakeGridMesh(6, 4, 1.0);
        TagQuads(*mesh, 6, [](int i, int) { return i < 3 ? 7u : 9u; });
    }
    std::unique_ptr<cMesh> mesh;
};

TEST_F(PlaneMerge, FrameCoversBothRegionsAndOpposedNormalsDoNotCancel)
{
    Plane a = MakePlane(1.0, 1.5, 2.0, 0);
    const Plane b = MakePlane(-1.0, 4.5, 2.0, 6); // the same plane, turned over
    a.SetRms(0.5);
    a.MergeWith(*mesh, b);
    EXPECT_NEAR(a.GetPlane().normal[2], 1.0, 1e-12);
    EXPECT_NEAR(a.GetPlane().d, 0.0, 1e-9);
    EXPECT_TRUE(PatchCoversMesh(a, *mesh));
    EXPECT_NEAR(a.GetPlane().origin[0], 3.0, 1e-5);
    EXPECT_NEAR(a.GetPlane().origin[1], 2.0, 1e-5);
    ASSERT_EQ(a.GetSeeds().size(), 2u);
    EXPECT_EQ(a.GetSeeds()[1], 6u);
    EXPECT_EQ(a.GetRms(), 0.5);
    EXPECT_EQ(b.GetSeeds().size(), 1u); // the other is left as it was

    // Afterwards every visited triangle is unmarked and every vertex marked.
    mesh->ForEachTriangle([](cMeshTriangle& t) { EXPECT_EQ(t.flags & 4, 0); });
    mesh->ForEachVertex([](cVertex& v) { EXPECT_NE(v.flags & 4, 0u); });
}

TEST(PlaneMergeOffset, AnOpposedPlaneAwayFromTheOriginIsTurnedWithItsOffset)
{
    // Both planes are z = 2, one seen from below: n = (0, 0, -1), d = +2.
    // Averaging the other's offset without turning it over would put the
    // merged plane through the origin.
    auto mesh = MakeGridMesh(6, 4, 1.0, 0.0, 0.0, 2.0);
    TagQuads(*mesh, 6, [](int i, int) { return i < 3 ? 7u : 9u; });
    Plane a, b;
    const double up[3] = {0, 0, 1}, down[3] = {0, 0, -1}, x[3] = {1, 0, 0};
    const double oa[3] = {1.5, 2.0, 2.0}, ob[3] = {4.5, 2.0, 2.0};
    a.SetOriginAndNormal(up, oa, x, 1.5, 2.0);
    b.SetOriginAndNormal(down, ob, x, 1.5, 2.0);
    ASSERT_EQ(b.GetPlane().d, 2.0);
    a.GetSeeds().push_back(0);
    b.GetSeeds().push_back(6);
    a.MergeWith(*mesh, b);
    const cPlane& p = a.GetPlane();
    EXPECT_NEAR(p.normal[2], 1.0, 1e-12);
    EXPECT_NEAR(p.origin[2], 2.0, 1e-9);
    EXPECT_NEAR(p.d, -2.0, 1e-9);
    EXPECT_TRUE(PatchCoversMesh(a, *mesh));
    EXPECT_EQ(b.GetPlane().d, 2.0); // the other is left as it was
}

TEST_F(PlaneMerge, StaleMarksDoNotCutTheRegion)
{
    // A left-over mark across the middle of the tag-7 block.
    for (int j = 0; j < 4; ++j)
        for (int k = 0; k < 2; ++k)
            mesh->GetTriangle(static_cast<std::uint32_t>(2 * (j * 6 + 1) + k))->flags |= 4;
    Plane a = MakePlane(1.0, 1.5, 2.0, 0);
    const Plane b = MakePlane(1.0, 4.5, 2.0, 6);
    a.MergeWith(*mesh, b);
    EXPECT_TRUE(PatchCoversMesh(a, *mesh));
}

TEST_F(PlaneMerge, SeedsOfTheSameTagAreNotRepeatedAndStaleSeedsAreSkipped)
{
    Plane a = MakePlane(1.0, 1.5, 2.0, 0);
    Plane b = MakePlane(1.0, 1.5, 2.0, 2); // same tag as a's seed
    b.GetSeeds().push_back(999999);       // from a document of an older mesh
    a.MergeWith(*mesh, b);
    ASSERT_EQ(a.GetSeeds().size(), 1u);
    // Only the tag-7 block was gathered.
    EXPECT_NEAR(a.GetPlane().origin[0], 1.5, 1e-5);
}

TEST_F(PlaneMerge, UntaggedSeedsGatherNothingAndKeepThePatch)
{
    TagQuads(*mesh, 6, [](int, int) { return kTriangleUnlabelled; });
    Plane a = MakePlane(1.0, 1.5, 2.0, 0);
    Plane b = MakePlane(1.0, 4.5, 2.0, 6);
    const double o[3] = {1.5, 2.0, 1.0};
    b.SetOriginAndExtent(o, 1, 1); // the other plane lies one unit higher
    a.MergeWith(*mesh, b);
    EXPECT_TRUE(a.IsValid());
    EXPECT_NEAR(a.GetPlane().origin[2], 0.5, 1e-12); // on the averaged plane
    EXPECT_NEAR(a.GetPlane().d, -0.5, 1e-12);
    EXPECT_EQ(a.GetPlane().halfWidth, 1.0);
}

TEST(SphereMerge, MeansOfCentreAndRadius)
{
    auto mesh = MakeGridMesh(2, 2, 1.0);
    Sphere a, b;
    const double c0[3] = {0, 0, 0}, c1[3] = {2, 0, 0};
    a.SetCentreAndRadius(c0, 1.0);
    b.SetCentreAndRadius(c1, 3.0);
    a.MergeWith(*mesh, b);
    EXPECT_EQ(a.GetSphere().centre[0], 1.0);
    EXPECT_EQ(a.GetSphere().radius, 2.0);
}

TEST(CylinderMerge, ExtentCoversBothBandsAboutTheMiddle)
{
    // Radius 2 from z = 0 to 10: the lower five rows tag 1, the upper tag 2.
    auto mesh = MakeCylinderMesh(24, 10, 2.0, 1.0);
    TagQuads(*mesh, 24, [](int, int j) { return j < 5 ? 1u : 2u; });
    Cylinder a, b;
    const double b0[3] = {0, 0, 0}, up[3] = {0, 0, 1}, b1[3] = {0, 0, 10}, down[3] = {0, 0, -1};
    a.SetAxis(b0, up, 2.0, 5.0);
    a.GetSeeds().push_back(0);
    b.SetAxis(b1, down, 2.2, 5.0); // opposed axis: it starts at the top
    b.GetSeeds().push_back(2 * 24 * 7);
    a.MergeWith(*mesh, b);
    const cCylinder& c = a.GetCylinder();
    EXPECT_NEAR(c.axis[2], 1.0, 1e-12);
    EXPECT_NEAR(c.radius, 2.1, 1e-12);
    EXPECT_LE(c.axisPoint[2], 1e-5);
    EXPECT_GE(c.axisPoint[2] + c.height, 10.0 - 1e-5);
    EXPECT_NEAR(c.axisPoint[2] + c.height / 2.0, 5.0, 1e-5);
    EXPECT_EQ(a.GetSeeds().size(), 2u);
}
