// Lofts fitted to generated scans against the shape the scan was made from:
// a bent, twisted duct whose cross-section grows from one ellipse to
// another, placed a metre from the origin in a tilted pose, and a ribbon
// whose open sections differ in width.
#include "core/frame_math.h"
#include "core/mesh.h"
#include "fitting/loft_builder.h"
#include "platform/geometry/nurbs_surface.h"
#include "shapes/loft_surface.h"
#include "shapes/spline_section_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint32_t kRegionLabel = 5;

// The duct in its own coordinates: the centre line is a quarter circle of
// radius kBend in the xz plane, every cross-section an ellipse in the plane
// through the bend's axis, turned by the twist.
constexpr double kBend = 60.0;
constexpr double kSweep = kPi / 2.0;

struct Duct
{
    static t3DPoint<double> Centre(double s)
    {
        return {kBend - kBend * std::cos(kSweep * s), 0.0, kBend * std::sin(kSweep * s)};
    }
    static double A(double s) { return 12.0 + 4.0 * s; }
    static double B(double s) { return 8.0 - 1.0 * s; }
    static double Twist(double s) { return s * kPi / 3.0; }
    // Unit inward normal of the bend and the bend's axis direction.
    static t3DPoint<double> N(double s) { return {std::cos(kSweep * s), 0.0, -std::sin(kSweep * s)}; }

    static t3DPoint<double> Point(double s, double phi)
    {
        const t3DPoint<double> c = Centre(s), n = N(s);
        const double th = Twist(s);
        const double p = A(s) * std::cos(phi), q = B(s) * std::sin(phi);
        const double alongN = p * std::cos(th) - q * std::sin(th);
        const double alongY = p * std::sin(th) + q * std::cos(th);
        return {c.x + alongN * n.x, c.y + alongY, c.z + alongN * n.z};
    }

    // Distance of a point (duct coordinates) from the duct, measured in the
    // cross-section plane through it, and the section parameter s there.
    static double Distance(const t3DPoint<double>& x, double* sOut)
    {
        const double s = std::atan2(x.z, kBend - x.x) / kSweep;
        const t3DPoint<double> c = Centre(s), n = N(s);
        const double alongN = (x.x - c.x) * n.x + (x.z - c.z) * n.z;
        const double alongY = x.y - c.y;
        const double th = Twist(s);
        const double p = alongN * std::cos(th) + alongY * std::sin(th);
        const double q = -alongN * std::sin(th) + alongY * std::cos(th);
        double best = 1e300;
        for (int k = 0; k < 7200; ++k)
        {
            const double phi = 2.0 * kPi * k / 7200.0;
            const double dp = p - A(s) * std::cos(phi), dq = q - B(s) * std::sin(phi);
            best = std::min(best, dp * dp + dq * dq);
        }
        if (sOut != nullptr)
            *sOut = s;
        return std::sqrt(best);
    }
};

// Where the scan lies: turned about a tilted axis and a metre away.
struct Pose
{
    double m[12];
    Pose()
    {
        MakeIdentity3x4(m);
        const double axis[3] = {0.3, -0.8, 0.5};
        RotateTransform3x4(m, 0.9, axis);
        m[3] = 1000.0;
        m[7] = -700.0;
        m[11] = 400.0;
    }
    t3DPoint<double> Apply(const t3DPoint<double>& p) const
    {
        return {m[0] * p.x + m[1] * p.y + m[2] * p.z + m[3], m[4] * p.x + m[5] * p.y + m[6] * p.z + m[7],
                m[8] * p.x + m[9] * p.y + m[10] * p.z + m[11]};
    }
    t3DPoint<double> Unapply(const t3DPoint<double>& w) const
    {
        const double d[3] = {w.x - m[3], w.y - m[7], w.z - m[11]};
        return {m[0] * d[0] + m[4] * d[1] + m[8] * d[2], m[1] * d[0] + m[5] * d[1] + m[9] * d[2],
                m[2] * d[0] + m[6] * d[1] + m[10] * d[2]};
    }
};

// The scan: rings x segments vertices with Gaussian noise of sigma on every
// coordinate, every triangle in one region.
void ScanDuct(cMesh& mesh, const Pose& pose, double sigma, std::uint32_t rings, std::uint32_t segments)
{
    std::mt19937 random(20261207);
    std::normal_distribution<double> noise(0.0, sigma);
    for (std::uint32_t r = 0; r <= rings; ++r)
        for (std::uint32_t k = 0; k < segments; ++k)
        {
            const t3DPoint<double> w = pose.Apply(Duct::Point(static_cast<double>(r) / rings, 2.0 * kPi * k / segments));
            const float p[3] = {static_cast<float>(w.x + noise(random)), static_cast<float>(w.y + noise(random)),
                                static_cast<float>(w.z + noise(random))};
            mesh.AddVertex(p);
        }
    for (std::uint32_t r = 0; r < rings; ++r)
        for (std::uint32_t k = 0; k < segments; ++k)
        {
            const std::uint32_t a = r * segments + k, b = r * segments + (k + 1) % segments;
            mesh.AddTriangle(a, b, b + segments);
            mesh.AddTriangle(a, b + segments, a + segments);
        }
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
        mesh.GetTriangle(t)->SetLabel(kRegionLabel);
}

// The guide: a spline through the centre line from s0 to s1, in the bend's
// plane (duct x and z as the guide's local x and y), placed by the pose.
void SetDuctGuide(Dezaz_LoftSurface& loft, const Pose& pose, double s0, double s1)
{
    double local[12] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0};
    double frame[12];
    MultiplyTransform3x4(pose.m, frame, local);
    tPolyline<cVertex> points;
    for (int i = 0; i <= 30; ++i)
    {
        const t3DPoint<double> c = Duct::Centre(s0 + (s1 - s0) * i / 30.0);
        const double p[3] = {c.x, c.z, 0.0};
        points.AddPoint3d(p);
    }
    ST_TSplineCurve<Dezaz_Wire> guide;
    ASSERT_TRUE(guide.FitToPolyline(frame, points, 0.0, 0));
    ASSERT_TRUE(loft.SetProfile(&guide, 0));
}

} // namespace

TEST(LoftAccuracy, ATwistedDuctBetweenTwoEllipsesIsLoftedWithinTheScanNoise)
{
    const Pose pose;
    const double sigma = 0.02;
    cMesh mesh;
    ScanDuct(mesh, pose, sigma, 160, 120);
    Dezaz_LoftSurfaceObject object;
    Dezaz_LoftSurface& loft = *object.GetGeometry();
    SetDuctGuide(loft, pose, 0.05, 0.95);
    ASSERT_TRUE(ResetLoftSections(loft, 12, 0.0));
    loft.GetParameters().sampling = 60;

    BuildLoftFromSections(mesh, loft, {0}, 0.01, 0.0);
    ASSERT_EQ(loft.GetParameters().sections.size(), 13u);
    EXPECT_EQ(CountValidSections(loft.GetParameters()), 13u) << "every plane cuts the duct";
    for (const LoftSection& section : loft.GetParameters().sections)
        EXPECT_TRUE(section.curve == nullptr || section.curve->IsClosed()) << "the cuts are loops";
    // Each plane passes through its guide point rounded to float, as the
    // planes store it (optimised builds once kept two of its numbers unrounded).
    for (const LoftSection& section : loft.GetParameters().sections)
    {
        if (section.curve == nullptr)
            continue;
        for (const int k : {3, 7, 11})
            EXPECT_EQ(section.curve->frame[k], static_cast<float>(section.curve->frame[k])) << k;
    }
    const ON_NurbsSurface* surface = loft.GetHostSurface();
    ASSERT_NE(surface, nullptr);
    const ON_Interval u = surface->Domain(0), v = surface->Domain(1);
    double sum = 0.0, worst = 0.0, sLow = 1.0, sHigh = 0.0;
    int count = 0;
    for (int i = 0; i < 60; ++i)
        for (int j = 0; j <= 20; ++j)
        {
            const ON_3dPoint p = surface->PointAt(u[0] + (u[1] - u[0]) * (i + 0.5) / 60.0,
                                                  v[0] + (v[1] - v[0]) * j / 20.0);
            double s = 0.0;
            const double d = Duct::Distance(pose.Unapply({p.x, p.y, p.z}), &s);
            sum += d * d;
            worst = std::max(worst, d);
            sLow = std::min(sLow, s);
            sHigh = std::max(sHigh, s);
            ++count;
        }
    const double rms = std::sqrt(sum / count);
    EXPECT_LT(rms, 2.0 * sigma);
    // The sections interpolate noisy cut points, so single points may stray
    // further; a twisted or misaligned loft would be millimetres off.
    EXPECT_LT(worst, 15.0 * sigma);
    // The surface spans the guide, from the first section to the last.
    EXPECT_NEAR(sLow, 0.05, 0.005);
    EXPECT_NEAR(sHigh, 0.95, 0.005);
}

TEST(LoftAccuracy, OpenSectionsOfDifferentWidthsKeepToTheRibbon)
{
    // A wavy ribbon z = f(x, y) whose width in x grows along y: sections
    // across y are open. Stretched to the widest one, the narrow ones would
    // lay surface over up to 9 mm of scan beside the ribbon on either side:
    // each keeps to its own cut, within one step of its points.
    cMesh mesh;
    const int nx = 60, ny = 40;
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i)
        {
            const double y = j * 1.0;
            const double half = 10.0 + 0.25 * y;
            const double x = -half + 2.0 * half * i / nx;
            const float p[3] = {static_cast<float>(x), static_cast<float>(y),
                                static_cast<float>(2.0 * std::sin(0.1 * x) + 0.05 * y)};
            mesh.AddVertex(p);
        }
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
        {
            const std::uint32_t a = j * (nx + 1) + i;
            mesh.AddTriangle(a, a + 1, a + nx + 2);
            mesh.AddTriangle(a, a + nx + 2, a + nx + 1);
        }
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
        mesh.GetTriangle(t)->SetLabel(kRegionLabel);

    Dezaz_LoftSurface loft;
    // Guide along +y at the ribbon's centre line, its plane the yz plane
    // so that the section planes face along y.
    double frame[12] = {0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0};
    tPolyline<cVertex> points;
    for (int k = 0; k <= 10; ++k)
    {
        const double p[3] = {2.0 + 3.6 * k, 0.05 * (2.0 + 3.6 * k), 0.0};
        points.AddPoint3d(p);
    }
    ST_TSplineCurve<Dezaz_Wire> guide;
    ASSERT_TRUE(guide.FitToPolyline(frame, points, 0.0, 0));
    ASSERT_TRUE(loft.SetProfile(&guide, 0));
    ASSERT_TRUE(ResetLoftSections(loft, 4, 0.0));
    BuildLoftFromSections(mesh, loft, {0}, 0.001, 0.0);

    double narrowest = FLT_MAX, widest = 0.0;
    int open = 0;
    for (const LoftSection& section : loft.GetParameters().sections)
    {
        ASSERT_NE(section.curve, nullptr);
        EXPECT_FALSE(section.curve->IsClosed());
        const tPolyline<cVertex>& polyline = *section.curve->GetSectionPolyline();
        double a = 0.0, b = 0.0;
        GetPolylineXRange(polyline, a, b);
        narrowest = std::min(narrowest, b - a);
        widest = std::max(widest, b - a);
        const double step = polyline.GetLength() / (polyline.GetVertexCount() - 1);
        const double* f = section.curve->frame;
        for (const cVertex& v : polyline.vertices)
        {
            const double x = f[0] * v.x + f[1] * v.y + f[2] * v.z + f[3];
            const double y = f[4] * v.x + f[5] * v.y + f[6] * v.z + f[7];
            EXPECT_LT(std::fabs(x), 10.0 + 0.25 * y + step + 1e-3) << "section " << open;
        }
        ++open;
    }
    EXPECT_EQ(open, 5);
    EXPECT_GT(widest - narrowest, 10.0) << "the sections were not stretched to one span";
    EXPECT_NE(loft.GetHostSurface(), nullptr);
}
