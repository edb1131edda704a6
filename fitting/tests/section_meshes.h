// Analytic test meshes for the sectioning tests, with outward-facing,
// consistently wound triangles, and helpers that measure cut polylines.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/mesh.h"
#include "fitting/polyline_join.h"

namespace section_meshes
{

inline constexpr double kPi = 3.14159265358979323846;

// Vertices are added in the given order; triangles (a, b, c) are wound
// counter-clockwise seen from outside.
inline void AddQuad(cMesh& mesh, std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    mesh.AddTriangle(a, b, c);
    mesh.AddTriangle(a, c, d);
}

inline std::uint32_t AddPoint(cMesh& mesh, double x, double y, double z)
{
    const float p[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
    return mesh.AddVertex(p);
}

// An open tube of radius r around the z axis from z0 to z1: `segments` around,
// `rings` + 1 vertex rings. Quads whose index (ring * segments + segment) is
// listed in `holes` are left out.
inline void BuildTube(cMesh& mesh, double r, double z0, double z1, std::uint32_t segments, std::uint32_t rings,
                      const std::vector<std::uint32_t>& holes = {})
{
    for (std::uint32_t k = 0; k <= rings; ++k)
        for (std::uint32_t s = 0; s < segments; ++s)
        {
            const double a = 2.0 * kPi * s / segments;
            AddPoint(mesh, r * std::cos(a), r * std::sin(a), z0 + (z1 - z0) * k / rings);
        }
    for (std::uint32_t k = 0; k < rings; ++k)
        for (std::uint32_t s = 0; s < segments; ++s)
        {
            bool hole = false;
            for (std::uint32_t h : holes)
                hole = hole || h == k * segments + s;
            if (hole)
                continue;
            const std::uint32_t a = k * segments + s;
            const std::uint32_t b = k * segments + (s + 1) % segments;
            AddQuad(mesh, a, b, b + segments, a + segments);
        }
}

// A UV sphere: poles on the z axis, `rings` latitude bands, `segments` around.
inline void BuildSphere(cMesh& mesh, const double centre[3], double r, std::uint32_t rings, std::uint32_t segments)
{
    const std::uint32_t south = AddPoint(mesh, centre[0], centre[1], centre[2] - r);
    for (std::uint32_t k = 1; k < rings; ++k)
    {
        const double phi = -kPi / 2 + kPi * k / rings;
        for (std::uint32_t s = 0; s < segments; ++s)
        {
            const double a = 2.0 * kPi * s / segments;
            AddPoint(mesh, centre[0] + r * std::cos(phi) * std::cos(a), centre[1] + r * std::cos(phi) * std::sin(a),
                     centre[2] + r * std::sin(phi));
        }
    }
    const std::uint32_t north = AddPoint(mesh, centre[0], centre[1], centre[2] + r);
    const auto ring = [&](std::uint32_t k, std::uint32_t s) { return 1 + (k - 1) * segments + s % segments; };
    for (std::uint32_t s = 0; s < segments; ++s)
    {
        mesh.AddTriangle(south, ring(1, s + 1), ring(1, s));
        mesh.AddTriangle(north, ring(rings - 1, s), ring(rings - 1, s + 1));
    }
    for (std::uint32_t k = 1; k + 1 < rings; ++k)
        for (std::uint32_t s = 0; s < segments; ++s)
            AddQuad(mesh, ring(k, s), ring(k, s + 1), ring(k + 1, s + 1), ring(k + 1, s));
}

// A torus around the z axis: ring radius R, tube radius r.
inline void BuildTorus(cMesh& mesh, double R, double r, std::uint32_t around, std::uint32_t tube)
{
    for (std::uint32_t i = 0; i < around; ++i)
    {
        const double u = 2.0 * kPi * i / around;
        for (std::uint32_t j = 0; j < tube; ++j)
        {
            const double v = 2.0 * kPi * j / tube;
            AddPoint(mesh, (R + r * std::cos(v)) * std::cos(u), (R + r * std::cos(v)) * std::sin(u), r * std::sin(v));
        }
    }
    const auto at = [&](std::uint32_t i, std::uint32_t j) { return (i % around) * tube + j % tube; };
    for (std::uint32_t i = 0; i < around; ++i)
        for (std::uint32_t j = 0; j < tube; ++j)
            AddQuad(mesh, at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
}

// An axis-aligned box from lo to hi with every face split into n x n quads.
inline void BuildBox(cMesh& mesh, const double lo[3], const double hi[3], std::uint32_t n)
{
    // Each face: origin corner, two edge vectors whose cross product points out.
    const double size[3] = {hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
    struct Face
    {
        double o[3], u[3], v[3];
    };
    const Face faces[6] = {
        {{lo[0], lo[1], lo[2]}, {0, size[1], 0}, {size[0], 0, 0}}, // bottom, -z
        {{lo[0], lo[1], hi[2]}, {size[0], 0, 0}, {0, size[1], 0}}, // top, +z
        {{lo[0], lo[1], lo[2]}, {size[0], 0, 0}, {0, 0, size[2]}}, // -y
        {{lo[0], hi[1], lo[2]}, {0, 0, size[2]}, {size[0], 0, 0}}, // +y
        {{lo[0], lo[1], lo[2]}, {0, 0, size[2]}, {0, size[1], 0}}, // -x
        {{hi[0], lo[1], lo[2]}, {0, size[1], 0}, {0, 0, size[2]}}, // +x
    };
    // Faces are welded through the mesh's merge index.
    mesh.ClearMergeIndex();
    mesh.SetIndexed(true);
    for (const Face& f : faces)
    {
        std::vector<std::uint32_t> ids;
        for (std::uint32_t b = 0; b <= n; ++b)
            for (std::uint32_t a = 0; a <= n; ++a)
            {
                float p[3];
                for (int k = 0; k < 3; ++k)
                    p[k] = static_cast<float>(f.o[k] + f.u[k] * a / n + f.v[k] * b / n);
                ids.push_back(mesh.AddVertex(p[0], p[1], p[2], true, 1e-6f));
            }
        for (std::uint32_t b = 0; b < n; ++b)
            for (std::uint32_t a = 0; a < n; ++a)
            {
                const std::uint32_t i = b * (n + 1) + a;
                AddQuad(mesh, ids[i], ids[i + 1], ids[i + n + 2], ids[i + n + 1]);
            }
    }
    mesh.ClearMergeIndex();
    mesh.SetIndexed(false);
}

// A flat strip in the plane y = 0 from x0 to x1 and z0 to z1 (normal -y).
inline void BuildWall(cMesh& mesh, double x0, double x1, double z0, double z1, std::uint32_t nx, std::uint32_t nz)
{
    for (std::uint32_t k = 0; k <= nz; ++k)
        for (std::uint32_t i = 0; i <= nx; ++i)
            AddPoint(mesh, x0 + (x1 - x0) * i / nx, 0.0, z0 + (z1 - z0) * k / nz);
    for (std::uint32_t k = 0; k < nz; ++k)
        for (std::uint32_t i = 0; i < nx; ++i)
        {
            const std::uint32_t a = k * (nx + 1) + i;
            AddQuad(mesh, a, a + 1, a + nx + 2, a + nx + 1);
        }
}

inline void SetAllTriangleFlags(cMesh& mesh, std::uint8_t bits)
{
    mesh.ForEachTriangle([bits](cMeshTriangle& t) { t.flags |= bits; });
}

// A frame (axes in columns) whose plane z = 0 passes through the origin with
// the given unit normal; x axis from the reference.
inline void PlaneFrame(double frame[12], const double origin[3], const double normal[3], const double reference[3])
{
    double x[3] = {reference[1] * normal[2] - reference[2] * normal[1],
                   reference[2] * normal[0] - reference[0] * normal[2],
                   reference[0] * normal[1] - reference[1] * normal[0]};
    const double lx = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
    for (double& c : x)
        c /= lx;
    const double y[3] = {normal[1] * x[2] - normal[2] * x[1], normal[2] * x[0] - normal[0] * x[2],
                         normal[0] * x[1] - normal[1] * x[0]};
    for (int r = 0; r < 3; ++r)
    {
        frame[4 * r + 0] = x[r];
        frame[4 * r + 1] = y[r];
        frame[4 * r + 2] = normal[r];
        frame[4 * r + 3] = origin[r];
    }
}

// A horizontal cutting frame at height z.
inline void HorizontalFrame(double frame[12], double z)
{
    const double origin[3] = {0, 0, z}, normal[3] = {0, 0, 1}, reference[3] = {0, 1, 0};
    PlaneFrame(frame, origin, normal, reference);
}

inline double Distance(const cVertex& a, const cVertex& b)
{
    const double dx = static_cast<double>(a.x) - b.x, dy = static_cast<double>(a.y) - b.y,
                 dz = static_cast<double>(a.z) - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

inline bool IsClosedLoop(const tFramePolyline<cVertex>& p)
{
    return p.GetVertexCount() > 2 && Distance(*p.GetFirstVertex(), *p.GetLastVertex()) == 0.0;
}

// A frame polyline (identity frame) through points in the plane z = 0,
// shifted by (dx, dy).
inline tFramePolyline<cVertex> Piece(const std::vector<std::array<double, 2>>& points, double dx = 0, double dy = 0)
{
    tFramePolyline<cVertex> p;
    for (const auto& xy : points)
    {
        const double q[3] = {xy[0] + dx, xy[1] + dy, 0.0};
        p.AddPoint3d(q);
    }
    return p;
}

// n + 1 points on the circle of radius r about the origin from angle `from`
// to angle `to`.
inline std::vector<std::array<double, 2>> Arc(double r, double from, double to, int n)
{
    std::vector<std::array<double, 2>> points;
    for (int i = 0; i <= n; ++i)
    {
        const double a = from + (to - from) * i / n;
        points.push_back({r * std::cos(a), r * std::sin(a)});
    }
    return points;
}

} // namespace section_meshes
