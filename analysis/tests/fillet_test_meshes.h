// Generated scans of rounded edges: a prism whose cross-section is a closed
// outline with one rounded corner (the fillet between two flat faces that
// meet at a chosen angle), swept along a straight edge, its vertices moved by
// Gaussian noise, placed far from the origin in a chosen orientation. The
// radius may change linearly along the edge (a variable fillet).
#pragma once

#include "core/host_mesh_import.h"
#include "core/mesh.h"
#include "platform/geometry/line_curve.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/point.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace fillet_test
{

struct stFilletScan
{
    double startRadius = 2.5;
    double endRadius = 2.5;       // the radius at the far end of the edge
    double angleDegrees = 90.0;   // between the two faces, inside the part
    double faceLength = 20.0;     // of each flat face from the corner
    double length = 40.0;         // along the edge
    double noise = 0.01;          // standard deviation, in every direction
    int arcPoints = 48;           // across the fillet
    int facePoints = 60;          // across each face and across the back
    int rings = 120;              // along the edge
    std::uint32_t seed = 7;
    ON_3dPoint origin{1250.0, -830.0, 415.0};
    // The frame of the cross-section: u along the first face, v towards the
    // second, w along the edge (made orthonormal).
    ON_3dVector u{1.0, 0.0, 0.0};
    ON_3dVector v{0.0, 1.0, 0.0};
};

struct stBasis
{
    ON_3dVector e[3];
};

inline stBasis MakeBasis(const stFilletScan& scan)
{
    ON_3dVector a = scan.u;
    a.Unitize();
    ON_3dVector b = scan.v - ON_DotProduct(scan.v, a) * a;
    b.Unitize();
    return {{a, b, ON_CrossProduct(a, b)}};
}

inline ON_3dPoint ToWorld(const stFilletScan& scan, const stBasis& basis, double u, double v, double w)
{
    return scan.origin + u * basis.e[0] + v * basis.e[1] + w * basis.e[2];
}

inline double RadiusAt(const stFilletScan& scan, double w)
{
    return scan.startRadius + (scan.endRadius - scan.startRadius) * w / scan.length;
}

// The outline at one place along the edge: first face, arc, second face,
// back side; the same number of points for every radius.
inline std::vector<std::pair<double, double>> Outline(const stFilletScan& scan, double radius)
{
    const double alpha = scan.angleDegrees * 3.14159265358979323846 / 180.0;
    const double d2[2] = {std::cos(alpha), std::sin(alpha)};
    const double t = radius / std::tan(alpha / 2);
    const double toCentre = radius / std::sin(alpha / 2);
    const double centre[2] = {std::cos(alpha / 2) * toCentre, std::sin(alpha / 2) * toCentre};
    std::vector<std::pair<double, double>> points;
    const double L = scan.faceLength;
    for (int i = 0; i < scan.facePoints; ++i) // (L, 0) towards the first tangent point
    {
        const double s = L + (t - L) * i / scan.facePoints;
        points.emplace_back(s, 0.0);
    }
    const double a0 = std::atan2(0.0 - centre[1], t - centre[0]);
    const double a1 = std::atan2(d2[1] * t - centre[1], d2[0] * t - centre[0]);
    double sweep = a1 - a0;
    while (sweep > 3.14159265358979323846)
        sweep -= 2 * 3.14159265358979323846;
    while (sweep < -3.14159265358979323846)
        sweep += 2 * 3.14159265358979323846;
    for (int i = 0; i < scan.arcPoints; ++i)
    {
        const double a = a0 + sweep * i / scan.arcPoints;
        points.emplace_back(centre[0] + radius * std::cos(a), centre[1] + radius * std::sin(a));
    }
    for (int i = 0; i < scan.facePoints; ++i) // the second tangent point out to L
    {
        const double s = t + (L - t) * i / scan.facePoints;
        points.emplace_back(d2[0] * s, d2[1] * s);
    }
    for (int i = 0; i < scan.facePoints; ++i) // back from the second face's end to (L, 0)
    {
        const double f = static_cast<double>(i) / scan.facePoints;
        points.emplace_back(d2[0] * L + (L - d2[0] * L) * f, d2[1] * L * (1.0 - f));
    }
    return points;
}

// The scan as a host mesh: rings of the outline along the edge, joined by
// triangles into a tube open at both ends.
inline ON_Mesh FilletScan(const stFilletScan& scan)
{
    const stBasis basis = MakeBasis(scan);
    std::mt19937 engine(scan.seed);
    std::normal_distribution<double> noise(0.0, scan.noise);
    ON_Mesh mesh;
    int perRing = 0;
    for (int k = 0; k <= scan.rings; ++k)
    {
        const double w = scan.length * k / scan.rings;
        const auto outline = Outline(scan, RadiusAt(scan, w));
        perRing = static_cast<int>(outline.size());
        for (const auto& [u, v] : outline)
        {
            ON_3dPoint p = ToWorld(scan, basis, u, v, w);
            if (scan.noise > 0)
                p = p + ON_3dVector(noise(engine), noise(engine), noise(engine));
            mesh.SetVertex(mesh.VertexCount(), p);
        }
    }
    for (int k = 0; k < scan.rings; ++k)
        for (int i = 0; i < perRing; ++i)
        {
            const int a = k * perRing + i;
            const int b = k * perRing + (i + 1) % perRing;
            mesh.SetTriangle(mesh.FaceCount(), a, b, b + perRing);
            mesh.SetTriangle(mesh.FaceCount(), a, b + perRing, a + perRing);
        }
    return mesh;
}

// The scan with the points a scanner missed, each with the given chance,
// and the faces around them: the scattered holes of a real scan.
inline ON_Mesh WithDropouts(const ON_Mesh& full, double chance, std::uint32_t seed)
{
    std::mt19937 engine(seed);
    std::uniform_real_distribution<double> draw(0.0, 1.0);
    ON_Mesh mesh;
    std::vector<int> kept(static_cast<std::size_t>(full.VertexCount()), -1);
    for (int v = 0; v < full.VertexCount(); ++v)
        if (draw(engine) >= chance)
        {
            kept[static_cast<std::size_t>(v)] = mesh.VertexCount();
            mesh.SetVertex(mesh.VertexCount(), full.m_V[v]);
        }
    for (const ON_MeshFace& f : full.m_F)
    {
        const int a = kept[static_cast<std::size_t>(f.vi[0])], b = kept[static_cast<std::size_t>(f.vi[1])],
                  c = kept[static_cast<std::size_t>(f.vi[2])];
        if (a >= 0 && b >= 0 && c >= 0)
            mesh.SetTriangle(mesh.FaceCount(), a, b, c);
    }
    return mesh;
}

inline std::unique_ptr<cMesh> FilletScanMesh(const stFilletScan& scan)
{
    auto mesh = std::make_unique<cMesh>();
    AddHostMeshFaces(*mesh, FilletScan(scan));
    return mesh;
}

// The sharp edge where the two faces would meet, along the whole scan.
inline ON_LineCurve CornerEdge(const stFilletScan& scan)
{
    const stBasis basis = MakeBasis(scan);
    return ON_LineCurve(ToWorld(scan, basis, 0, 0, 0), ToWorld(scan, basis, 0, 0, scan.length));
}

// A line on the fillet surface itself, through the middle of the arc (the
// radius must not change along the scan).
inline ON_LineCurve MidArcEdge(const stFilletScan& scan)
{
    const stBasis basis = MakeBasis(scan);
    const double alpha = scan.angleDegrees * 3.14159265358979323846 / 180.0;
    const double r = scan.startRadius;
    const double out = r / std::sin(alpha / 2) - r;
    const double u = std::cos(alpha / 2) * out, v = std::sin(alpha / 2) * out;
    return ON_LineCurve(ToWorld(scan, basis, u, v, 0), ToWorld(scan, basis, u, v, scan.length));
}

// The line where the fillet meets the first face, or the second (a tangent
// edge of the rounded part's CAD model; the radius must not change along the
// scan).
inline ON_LineCurve SideEdge(const stFilletScan& scan, bool second = false)
{
    const stBasis basis = MakeBasis(scan);
    const double alpha = scan.angleDegrees * 3.14159265358979323846 / 180.0;
    const double t = scan.startRadius / std::tan(alpha / 2);
    const double u = second ? std::cos(alpha) * t : t, v = second ? std::sin(alpha) * t : 0.0;
    return ON_LineCurve(ToWorld(scan, basis, u, v, 0), ToWorld(scan, basis, u, v, scan.length));
}

} // namespace fillet_test
