// The symmetry-plane fit on a noisy scan of a mirror-symmetric part two
// metres out, turned, with vertices doubled (equally near partners) and a
// marked region, finds exactly the plane it always found, alone and with its
// vertex tree built and its partners sought on a pool.
#include "fitting/symmetry_plane_fit.h"

#include "core/mesh.h"
#include "core/tests/support/geometry_scene_object.h"
#include "core/thread_pool.h"
#include "fit_samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{

using namespace fit_samples;

const double kCentre[3] = {2000.0, -1500.0, 800.0};
const double kNormal[3] = {0.48, -0.6, 0.64};

// A bump with a ridge on each side, symmetric about its local x = 0, 20 mm
// across, in 320 x 220 cells, noise 0.01 and a few spikes; every 97th
// vertex doubled at the end (no triangle uses the copy), the vertices of
// local x < -0.5 marked.
cMesh* ScanOfPart()
{
    std::mt19937 rng(4242);
    std::normal_distribution<double> gauss(0.0, 0.01);
    double u[3], v[3];
    Basis(kNormal, u, v);
    auto* mesh = new cMesh();
    const int nx = 320, ny = 220;
    const double h = 10.0;
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j)
        {
            const double x = -1.0 + 2.0 * i / (nx - 1), y = -0.6 + 1.2 * j / (ny - 1);
            const double ridge = (std::fabs(x) - 0.5) * (std::fabs(x) - 0.5) + (y - 0.2) * (y - 0.2);
            const double z = 0.3 * std::cos(1.5 * x) + 0.15 * y + 0.1 * y * y * y + 0.2 * std::exp(-ridge / 0.1);
            const double local[3] = {x * h, y * h, z * h + gauss(rng)};
            float p[3];
            for (int k = 0; k < 3; ++k)
                p[k] = static_cast<float>(kCentre[k] + local[0] * kNormal[k] + local[1] * u[k] + local[2] * v[k]);
            mesh->AddVertex(p);
            if (x < -0.5)
                mesh->GetVertex(mesh->GetVertexCount() - 1)->flags |= 2u;
        }
    for (int i = 0; i + 1 < nx; ++i)
        for (int j = 0; j + 1 < ny; ++j)
        {
            const std::uint32_t a = i * ny + j, b = (i + 1) * ny + j, c = i * ny + j + 1, d = (i + 1) * ny + j + 1;
            mesh->AddTriangle(a, b, d);
            mesh->AddTriangle(a, d, c);
        }
    std::uniform_int_distribution<std::uint32_t> pick(0, nx * ny - 1);
    for (int s = 0; s < 40; ++s)
    {
        cVertex* spike = mesh->GetVertex(pick(rng));
        spike->x += static_cast<float>(h * v[0]);
        spike->y += static_cast<float>(h * v[1]);
        spike->z += static_cast<float>(h * v[2]);
    }
    for (std::uint32_t i = 0; i < std::uint32_t(nx * ny); i += 97)
        mesh->AddVertex(mesh->GetVertex(i)->Position());
    mesh->Update();
    return mesh;
}

struct stPlane
{
    double n[3];
    double d;
    double error;
};

stPlane FitFromTiltedStart()
{
    GeometrySceneObject object(ScanOfPart());
    cSymmetryPlaneFit fit(4.0, 200, &object);
    double u[3], v[3];
    Basis(kNormal, u, v);
    const double tilt = 4.0 * kPi / 180.0;
    stPlane plane{};
    for (int k = 0; k < 3; ++k)
        plane.n[k] = std::cos(tilt) * kNormal[k] + std::sin(tilt) * u[k];
    plane.d = -(plane.n[0] * kCentre[0] + plane.n[1] * kCentre[1] + plane.n[2] * kCentre[2]) + 0.6;
    const std::uint8_t open[4] = {1, 1, 1, 1};
    EXPECT_TRUE(fit.Fit(plane.n, plane.d, open));
    plane.error = fit.MirrorError(plane.n, plane.d);
    return plane;
}

TEST(SymmetryPlaneOnAPool, FindsThePlaneItFoundAloneToTheBit)
{
    const stPlane alone = FitFromTiltedStart();
    EXPECT_EQ(alone.n[0], 0x1.ebb0439fd2defp-2);
    EXPECT_EQ(alone.n[1], -0x1.333cc8d6c2b2cp-1);
    EXPECT_EQ(alone.n[2], 0x1.4794e8898f6b3p-1);
    EXPECT_EQ(alone.d, -0x1.28891f791c601p+11);
    EXPECT_EQ(alone.error, 0x1.040a2b3878852p-7);
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    const stPlane pooled = FitFromTiltedStart();
    SetSharedThreadPool(nullptr);
    pool.Stop();
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(pooled.n[k], alone.n[k]) << k;
    EXPECT_EQ(pooled.d, alone.d);
    EXPECT_EQ(pooled.error, alone.error);
}

TEST(SymmetryPlaneOnAPool, AnErrorOverEveryVertexIsTheOneOfTheSamplesInTurn)
{
    // Every vertex a sample (no bound): 70,400 of them, more than one
    // chunk of the partners sought side by side.
    GeometrySceneObject object(ScanOfPart());
    cSymmetryPlaneFit fit(4.0, 0, &object);
    ASSERT_EQ(fit.GetStride(), 1u);
    double n[3];
    for (int k = 0; k < 3; ++k)
        n[k] = kNormal[k];
    const double d = -(n[0] * kCentre[0] + n[1] * kCentre[1] + n[2] * kCentre[2]) + 0.3;
    const double alone = fit.MirrorError(n, d);
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    const double pooled = fit.MirrorError(n, d);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    EXPECT_EQ(alone, 0x1.430e74892e0d6p-3);
    EXPECT_EQ(pooled, alone);
}

} // namespace
