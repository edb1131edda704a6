// A free form fitted to a wavy scan far from the origin, turned, part of it
// another region, keeps exactly the region marks, sections and surface it
// always had: every bit of them goes into one fingerprint, with and without
// the shared pool.
#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "fitting/loft_builder.h"
#include "platform/geometry/nurbs_surface.h"
#include "shapes/loft_surface.h"
#include "shapes/spline_section_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace
{

struct stFingerprint
{
    std::uint64_t hash = 1469598103934665603ull;
    void Add(const void* data, std::size_t size)
    {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i)
            hash = (hash ^ bytes[i]) * 1099511628211ull;
    }
    template <class T> void Add(const T& value) { Add(&value, sizeof value); }
};

// z = 3 sin(x / 9) cos(y / 13) over 90 x 70 in 200 x 150 cells, turned
// about a tilted axis and moved a metre out; the cells of the first 30
// columns are another region.
void ScanWaves(cMesh& mesh, const double pose[12])
{
    const int nx = 200, ny = 150;
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i)
        {
            const double x = 90.0 * i / nx, y = 70.0 * j / ny, z = 3.0 * std::sin(x / 9.0) * std::cos(y / 13.0);
            const float p[3] = {float(pose[0] * x + pose[1] * y + pose[2] * z + pose[3]),
                                float(pose[4] * x + pose[5] * y + pose[6] * z + pose[7]),
                                float(pose[8] * x + pose[9] * y + pose[10] * z + pose[11])};
            mesh.AddVertex(p);
        }
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
        {
            const std::uint32_t a = std::uint32_t(j * (nx + 1) + i);
            mesh.AddTriangle(a, a + 1, a + nx + 2);
            mesh.GetTriangle(mesh.GetTriangleCount() - 1)->SetLabel(i < 30 ? 2 : 5);
            mesh.AddTriangle(a, a + nx + 2, a + nx + 1);
            mesh.GetTriangle(mesh.GetTriangleCount() - 1)->SetLabel(i < 30 ? 2 : 5);
        }
}

std::uint64_t FitFreeForm()
{
    double pose[12];
    MakeIdentity3x4(pose);
    const double axis[3] = {0.3, -0.8, 0.5};
    RotateTransform3x4(pose, 0.9, axis);
    pose[3] = 1000.0, pose[7] = -700.0, pose[11] = 400.0;
    cMesh mesh;
    ScanWaves(mesh, pose);

    // The guide runs along y across the waves, at x = 60 in the scan's plane.
    const double local[12] = {0, 1, 0, 60, 1, 0, 0, 0, 0, 0, -1, 0};
    double frame[12];
    MultiplyTransform3x4(pose, frame, local);
    tPolyline<cVertex> points;
    for (int k = 0; k <= 10; ++k)
    {
        const double p[3] = {3.0 + 6.4 * k, 0.0, 0.0};
        points.AddPoint3d(p);
    }
    Dezaz_LoftSurface loft;
    ST_TSplineCurve<Dezaz_Wire> guide;
    EXPECT_TRUE(guide.FitToPolyline(frame, points, 0.0, 0));
    EXPECT_TRUE(loft.SetProfile(&guide, 0));
    EXPECT_TRUE(ResetLoftSections(loft, 6, 0.0));
    BuildLoftFromSections(mesh, loft, {mesh.GetTriangleCount() - 1}, 0.01, 0.0);

    stFingerprint print;
    mesh.ForEachTriangle([&](cMeshTriangle& t) { print.Add(t.flags); });
    mesh.ForEachVertex([&](cVertex& v) { print.Add(v.flags); });
    std::size_t sections = 0;
    for (const LoftSection& section : loft.GetParameters().sections)
    {
        if (section.curve == nullptr || section.curve->GetSectionPolyline() == nullptr)
            continue;
        ++sections;
        print.Add(section.curve->frame, sizeof section.curve->frame);
        for (const cVertex& v : section.curve->GetSectionPolyline()->vertices)
        {
            print.Add(v.Position(), 3 * sizeof(float));
            print.Add(v.flags);
        }
    }
    EXPECT_EQ(sections, 7u);
    const ON_NurbsSurface* surface = loft.GetHostSurface();
    EXPECT_NE(surface, nullptr);
    if (surface != nullptr)
        print.Add(surface->m_cv.data(), surface->m_cv.size() * sizeof(double));
    return print.hash;
}

TEST(FreeFormSections, TheRegionSectionsAndSurfaceKeepTheirBitsAloneAndOnAPool)
{
    const std::uint64_t alone = FitFreeForm();
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    const std::uint64_t pooled = FitFreeForm();
    SetSharedThreadPool(nullptr);
    pool.Stop();
    EXPECT_EQ(alone, 0xfa903b9ba851c3b4ull);
    EXPECT_EQ(pooled, alone);
}

} // namespace
