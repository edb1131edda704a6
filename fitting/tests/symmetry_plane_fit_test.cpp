#include "fitting/symmetry_plane_fit.h"

#include "core/bucket_search_tree_prop.h"
#include "core/mesh.h"
#include "core/tests/support/geometry_scene_object.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>

namespace
{

constexpr double kMirrorX = 0.3; // the surface is symmetric about x = 0.3

// A noisy height field, mirror-symmetric about x = kMirrorX only (odd in y),
// sampled so that every column has a mirrored column, and triangulated.
cMesh* MakeSymmetricMesh(float noise)
{
    auto* mesh = new cMesh();
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> jitter(-noise, noise);
    const int nx = 81, ny = 49;
    for (int i = 0; i < nx; ++i)
    {
        for (int j = 0; j < ny; ++j)
        {
            const double x = -1.7 + 0.05 * i;
            const double y = -1.0 + 0.05 * j;
            const double u = std::fabs(x - kMirrorX);
            const double z = 0.3 * std::cos(1.5 * u) + 0.15 * y + 0.1 * y * y * y +
                             0.2 * std::exp(-((u - 0.8) * (u - 0.8) + (y - 0.2) * (y - 0.2)) / 0.1);
            const float p[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z) + jitter(rng)};
            mesh->AddVertex(p);
        }
    }
    for (int i = 0; i + 1 < nx; ++i)
    {
        for (int j = 0; j + 1 < ny; ++j)
        {
            const std::uint32_t a = i * ny + j, b = (i + 1) * ny + j, c = i * ny + j + 1, d = (i + 1) * ny + j + 1;
            mesh->AddTriangle(a, b, d);
            mesh->AddTriangle(a, d, c);
        }
    }
    mesh->Update();
    return mesh;
}

TEST(SymmetryPlaneFit, FindsTheMirrorPlaneOfANoisyMesh)
{
    GeometrySceneObject object(MakeSymmetricMesh(0.002f));
    cSymmetryPlaneFit fit(0.2, 1000, &object);
    EXPECT_EQ(fit.GetStride(), 81u * 49u / 1000u + 1u);

    const double truth[3] = {1.0, 0.0, 0.0};
    const double atTruth = fit.MirrorError(truth, -kMirrorX);
    EXPECT_LT(atTruth, 0.003);

    // A start some 6 degrees and 0.03 off, as a fitted plane gives it.
    double n[3] = {0.995, 0.08, 0.05};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double& c : n)
        c /= length;
    double d = -0.27;
    EXPECT_GT(fit.MirrorError(n, d), 5.0 * atTruth);

    const std::uint8_t open[4] = {1, 1, 1, 1};
    ASSERT_TRUE(fit.Fit(n, d, open));
    EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0, 1e-9);
    EXPECT_GT(std::fabs(n[0]), 0.999);
    EXPECT_NEAR(-d / n[0], kMirrorX, 0.002);
    EXPECT_LT(fit.MirrorError(n, d), 1.2 * atTruth);
    EXPECT_GT(fit.GetCachedPlaneCount(), 0u);
}

TEST(SymmetryPlaneFit, FixedParametersStayAndNothingOpenReturnsAtOnce)
{
    GeometrySceneObject object(MakeSymmetricMesh(0.0f));
    cSymmetryPlaneFit fit(0.2, 500, &object);
    // Only the offset may move.
    double n[3] = {1.0, 0.0, 0.0};
    double d = -0.25;
    const std::uint8_t offsetOnly[4] = {0, 0, 0, 1};
    ASSERT_TRUE(fit.Fit(n, d, offsetOnly));
    EXPECT_EQ(n[0], 1.0);
    EXPECT_EQ(n[1], 0.0);
    EXPECT_NEAR(d, -kMirrorX, 0.01);

    double m[3] = {0.6, 0.3, 0.2};
    double e = 7.0;
    const std::uint8_t none[4] = {0, 0, 0, 0};
    EXPECT_TRUE(fit.Fit(m, e, none));
    EXPECT_EQ(m[0], 0.6);
    EXPECT_EQ(m[1], 0.3);
    EXPECT_EQ(e, 7.0);
}

TEST(SymmetryPlaneFit, AttachesTheSearchTreeOnFirstUseAndReusesIt)
{
    GeometrySceneObject object(MakeSymmetricMesh(0.0f));
    EXPECT_EQ(object.FindAttachedProperty(kBucketSearchTreePropertyName), nullptr);
    cSymmetryPlaneFit fit(0.2, 0, &object);
    EXPECT_EQ(fit.GetStride(), 1u);
    const double n[3] = {1.0, 0.0, 0.0};
    fit.MirrorError(n, -kMirrorX);
    auto* property =
        static_cast<cBucketSearchTreeProp*>(object.FindAttachedProperty(kBucketSearchTreePropertyName));
    ASSERT_NE(property, nullptr);
    const auto* firstRoot = property->GetTree().GetRoot();
    fit.MirrorError(n, -kMirrorX);
    EXPECT_EQ(object.FindAttachedProperty(kBucketSearchTreePropertyName), property);
    EXPECT_EQ(property->GetTree().GetRoot(), firstRoot);
}

TEST(SymmetryPlaneFit, FarPlanesFlaggedVerticesAndMissingSourcesGiveNoError)
{
    cMesh* mesh = MakeSymmetricMesh(0.0f);
    GeometrySceneObject object(mesh);
    cSymmetryPlaneFit fit(0.2, 0, &object);
    const double n[3] = {1.0, 0.0, 0.0};
    EXPECT_EQ(fit.MirrorError(n, 50.0), FLT_MAX); // mirrors everything far away
    EXPECT_LT(fit.MirrorError(n, -kMirrorX), 1e-3);

    // Empty vertices (bit 0) take no part; a marked region (bit 1) that
    // covers every other vertex is measured itself.
    for (std::uint32_t i = 0; i < mesh->GetVertexCount(); ++i)
        mesh->GetVertex(i)->flags |= (i % 2 == 0) ? 1u : 2u;
    EXPECT_LT(fit.MirrorError(n, -kMirrorX), 1e-3);
    for (std::uint32_t i = 0; i < mesh->GetVertexCount(); ++i)
        mesh->GetVertex(i)->flags |= 1u;
    EXPECT_EQ(fit.MirrorError(n, -kMirrorX), FLT_MAX);

    cSymmetryPlaneFit orphan(0.2, 100, nullptr);
    EXPECT_EQ(orphan.MirrorError(n, -kMirrorX), FLT_MAX);
    const double zero[3] = {0.0, 0.0, 0.0};
    EXPECT_EQ(fit.MirrorError(zero, 0.0), FLT_MAX);
    cSymmetryPlaneFit negative(-1.0, 0, &object);
    EXPECT_EQ(negative.MirrorError(n, -kMirrorX), FLT_MAX);
}

TEST(SymmetryPlaneFit, WithoutNeighboursTheSquaredDistanceCounts)
{
    // A plain point cloud answers no topology: each match contributes the
    // squared distance, and nothing is cached.
    auto* cloud = new cPointCloud();
    const float a[3] = {3.0f, 2.0f, 5.0f};
    const float b[3] = {-1.0f, 2.0f, 5.1f};
    cloud->AddVertex(a);
    cloud->AddVertex(b);
    GeometrySceneObject object(cloud);
    cSymmetryPlaneFit fit(1.0, 0, &object);
    // The plane x = 1 maps a to (-1, 2, 5) and b to (3, 2, 5.1).
    const double n[3] = {1.0, 0.0, 0.0};
    EXPECT_NEAR(fit.MirrorError(n, -1.0), 0.01, 1e-6);
    EXPECT_EQ(fit.GetCachedPlaneCount(), 0u);
    const double mirrored[3] = {0.0, -1.0, 5.0};
    EXPECT_NEAR(fit.PointError(mirrored, cloud->GetVertex(0)), 18.0, 1e-9);
    EXPECT_EQ(fit.GetCachedPlaneCount(), 0u);

    // The tilted plane x + y = 3 maps a to (1, 0, 5) and b to (1, 4, 5.1):
    // each lies sqrt(8) from its own original, which is the nearer one.
    const double s = std::sqrt(0.5);
    const double tilted[3] = {s, s, 0.0};
    EXPECT_EQ(fit.MirrorError(tilted, -3.0 * s), FLT_MAX); // partners lie farther than 1
    cSymmetryPlaneFit wide(10.0, 0, &object);
    EXPECT_NEAR(wide.MirrorError(tilted, -3.0 * s), 8.0, 1e-5);

    // A point on the plane x = 1 is its own partner (error 0). Marked
    // (bit 1), it is left out while a and b remain; with all three marked,
    // all three count.
    const float c[3] = {1.0f, 7.0f, 5.0f};
    cloud->AddVertex(c);
    object.DetachProperty(kBucketSearchTreePropertyName); // the tree is built anew with c
    cloud->GetVertex(2)->flags |= 2u;
    cSymmetryPlaneFit three(1.0, 0, &object);
    EXPECT_NEAR(three.MirrorError(n, -1.0), 0.01, 1e-6);
    cloud->GetVertex(0)->flags |= 2u;
    cloud->GetVertex(1)->flags |= 2u;
    EXPECT_NEAR(three.MirrorError(n, -1.0), 0.02 / 3.0, 1e-6);
}

} // namespace
