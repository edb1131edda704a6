// Scans of known shapes for the shapes dialog's tests: host meshes in
// millimetres, placed away from the origin in tilted orientations, with
// optional noise, whose triangles face outwards and share their vertices.
#pragma once

#include "platform/geometry/mesh.h"

#include <cmath>
#include <random>
#include <vector>

namespace scans
{

struct Vec
{
    double x, y, z;
};
inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec operator*(double s, Vec a) { return {s * a.x, s * a.y, s * a.z}; }
inline double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline Vec Unit(Vec a) { return (1.0 / std::sqrt(Dot(a, a))) * a; }
// Two unit vectors that make a right-handed frame with a.
inline void Basis(Vec a, Vec& e1, Vec& e2)
{
    const Vec helper = std::fabs(a.x) < 0.9 ? Vec{1, 0, 0} : Vec{0, 1, 0};
    e1 = Unit(Cross(helper, a));
    e2 = Cross(a, e1);
}

class MeshBuilder
{
public:
    explicit MeshBuilder(double noise = 0.0, unsigned seed = 7) : m_noise(noise), m_random(seed) {}
    int Add(Vec p)
    {
        std::uniform_real_distribution<double> d(-m_noise, m_noise);
        if (m_noise > 0.0)
            p = p + Vec{d(m_random), d(m_random), d(m_random)};
        m_mesh.m_V.Append(ON_3fPoint(float(p.x), float(p.y), float(p.z)));
        return m_mesh.m_V.Count() - 1;
    }
    void Triangle(int a, int b, int c)
    {
        ON_MeshFace f{};
        f.vi[0] = a, f.vi[1] = b, f.vi[2] = c, f.vi[3] = c;
        m_mesh.m_F.Append(f);
    }
    // A triangle turned so that its normal points along outward.
    void TriangleFacing(int a, int b, int c, Vec outward)
    {
        const Vec pa = At(a), pb = At(b), pc = At(c);
        if (Dot(Cross(pb - pa, pc - pa), outward) < 0.0)
            std::swap(b, c);
        Triangle(a, b, c);
    }
    Vec At(int i) const { return {m_mesh.m_V[i].x, m_mesh.m_V[i].y, m_mesh.m_V[i].z}; }
    ON_Mesh& Mesh() { return m_mesh; }

private:
    ON_Mesh m_mesh;
    double m_noise;
    std::mt19937 m_random;
};

// A square of cells x cells squares of `size`, two triangles each, whose
// corners `pointAt(x, y)` places for x and y from -size / 2 to size / 2.
template <class PointAt>
inline ON_Mesh SquareGrid(MeshBuilder& b, double size, int cells, PointAt pointAt)
{
    std::vector<int> grid;
    for (int j = 0; j <= cells; ++j)
        for (int i = 0; i <= cells; ++i)
            grid.push_back(b.Add(pointAt(size * (double(i) / cells - 0.5), size * (double(j) / cells - 0.5))));
    const auto at = [&](int i, int j) { return grid[std::size_t(j * (cells + 1) + i)]; };
    for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i)
        {
            b.Triangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            b.Triangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
    return b.Mesh();
}

// A cylinder side of `segments` around and `rows` along, with or without
// its two end caps (fans from the axis).
inline ON_Mesh Cylinder(Vec base, Vec axis, double radius, double height, int segments, int rows, bool caps,
                        double noise = 0.0)
{
    MeshBuilder b(noise);
    axis = Unit(axis);
    Vec e1, e2;
    Basis(axis, e1, e2);
    const double kPi = 3.14159265358979323846;
    std::vector<std::vector<int>> ring(std::size_t(rows) + 1);
    for (int j = 0; j <= rows; ++j)
        for (int i = 0; i < segments; ++i)
        {
            const double u = 2.0 * kPi * i / segments;
            ring[std::size_t(j)].push_back(
                b.Add(base + radius * (std::cos(u) * e1 + std::sin(u) * e2) + (height * j / rows) * axis));
        }
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < segments; ++i)
        {
            const int n = (i + 1) % segments;
            const int a = ring[std::size_t(j)][std::size_t(i)], c = ring[std::size_t(j)][std::size_t(n)];
            const int d = ring[std::size_t(j) + 1][std::size_t(n)], e = ring[std::size_t(j) + 1][std::size_t(i)];
            b.Triangle(a, c, d);
            b.Triangle(a, d, e);
        }
    if (caps)
    {
        const int bottom = b.Add(base), top = b.Add(base + height * axis);
        for (int i = 0; i < segments; ++i)
        {
            const int n = (i + 1) % segments;
            b.Triangle(bottom, ring[0][std::size_t(n)], ring[0][std::size_t(i)]);
            b.Triangle(top, ring[std::size_t(rows)][std::size_t(i)], ring[std::size_t(rows)][std::size_t(n)]);
        }
    }
    return b.Mesh();
}

// A flat patch of cells x cells squares of `size` around the centre.
inline ON_Mesh Plane(Vec centre, Vec normal, double size, int cells, double noise = 0.0)
{
    MeshBuilder b(noise);
    normal = Unit(normal);
    Vec e1, e2;
    Basis(normal, e1, e2);
    return SquareGrid(b, size, cells, [&](double x, double y) { return centre + x * e1 + y * e2; });
}

// A sphere of `bands` latitude bands and `segments` meridians.
inline ON_Mesh Sphere(Vec centre, double radius, int segments, int bands, double noise = 0.0)
{
    MeshBuilder b(noise);
    const double kPi = 3.14159265358979323846;
    const int south = b.Add(centre + Vec{0, 0, -radius});
    std::vector<std::vector<int>> ring;
    for (int j = 1; j < bands; ++j)
    {
        const double t = -kPi / 2 + kPi * j / bands;
        std::vector<int> r;
        for (int i = 0; i < segments; ++i)
        {
            const double u = 2.0 * kPi * i / segments;
            r.push_back(b.Add(centre + radius * Vec{std::cos(t) * std::cos(u), std::cos(t) * std::sin(u), std::sin(t)}));
        }
        ring.push_back(r);
    }
    const int north = b.Add(centre + Vec{0, 0, radius});
    const auto outward = [&](int a, int c, int d)
    { return (1.0 / 3.0) * (b.At(a) + b.At(c) + b.At(d)) - centre; };
    for (int i = 0; i < segments; ++i)
    {
        const int n = (i + 1) % segments;
        b.TriangleFacing(south, ring.front()[std::size_t(i)], ring.front()[std::size_t(n)],
                         outward(south, ring.front()[std::size_t(i)], ring.front()[std::size_t(n)]));
        b.TriangleFacing(north, ring.back()[std::size_t(i)], ring.back()[std::size_t(n)],
                         outward(north, ring.back()[std::size_t(i)], ring.back()[std::size_t(n)]));
        for (std::size_t j = 0; j + 1 < ring.size(); ++j)
        {
            const int a = ring[j][std::size_t(i)], c = ring[j][std::size_t(n)], d = ring[j + 1][std::size_t(n)],
                      e = ring[j + 1][std::size_t(i)];
            b.TriangleFacing(a, c, d, outward(a, c, d));
            b.TriangleFacing(a, d, e, outward(a, d, e));
        }
    }
    return b.Mesh();
}

// An axis-aligned box of cells x cells squares per face whose top face has
// a hole of hole x hole cells in its middle (0: none). Vertices on shared
// edges come from one lattice, so the faces share them.
inline ON_Mesh BoxWithHole(Vec corner, Vec size, int cells, int hole)
{
    MeshBuilder b;
    std::vector<int> lattice(std::size_t((cells + 1) * (cells + 1) * (cells + 1)), -1);
    const auto point = [&](int i, int j, int k)
    {
        int& slot = lattice[std::size_t((k * (cells + 1) + j) * (cells + 1) + i)];
        if (slot < 0)
            slot = b.Add(corner + Vec{size.x * i / cells, size.y * j / cells, size.z * k / cells});
        return slot;
    };
    const Vec centre = corner + 0.5 * size;
    // Each face: a fixed lattice coordinate on one axis.
    for (int axis = 0; axis < 3; ++axis)
        for (int side = 0; side <= cells; side += cells)
            for (int s = 0; s < cells; ++s)
                for (int t = 0; t < cells; ++t)
                {
                    const bool top = axis == 2 && side == cells;
                    const int lo = (cells - hole) / 2;
                    if (top && hole > 0 && s >= lo && s < lo + hole && t >= lo && t < lo + hole)
                        continue;
                    const auto P = [&](int a, int c)
                    {
                        int q[3];
                        q[axis] = side, q[(axis + 1) % 3] = a, q[(axis + 2) % 3] = c;
                        return point(q[0], q[1], q[2]);
                    };
                    Vec outward{0, 0, 0};
                    (axis == 0 ? outward.x : axis == 1 ? outward.y : outward.z) = side == 0 ? -1.0 : 1.0;
                    b.TriangleFacing(P(s, t), P(s + 1, t), P(s + 1, t + 1), outward);
                    b.TriangleFacing(P(s, t), P(s + 1, t + 1), P(s, t + 1), outward);
                }
    (void)centre;
    return b.Mesh();
}

// A gently curved patch of cells x cells squares of `size` around the
// centre: the height along the normal is bend * ((x/h)^2 - 0.5 (y/h)^2)
// over the half-size h, a saddle-free-form no primitive fits.
inline double CurvedPatchHeight(double x, double y, double size, double bend)
{
    const double h = 0.5 * size;
    return bend * ((x / h) * (x / h) - 0.5 * (y / h) * (y / h));
}

inline ON_Mesh CurvedPatch(Vec centre, Vec normal, double size, int cells, double bend, double noise = 0.0)
{
    MeshBuilder b(noise);
    normal = Unit(normal);
    Vec e1, e2;
    Basis(normal, e1, e2);
    return SquareGrid(b, size, cells, [&](double x, double y)
                      { return centre + x * e1 + y * e2 + CurvedPatchHeight(x, y, size, bend) * normal; });
}

// A sheet of cells x cells squares of `size` around the centre, facing
// `normal`, with two equal bumps 15 either side of the centre along `across`
// (the second axis of Basis(normal)): mirror symmetric about the plane
// through the centre whose normal is `across`, which lies in the sheet.
inline ON_Mesh MirroredBumps(Vec centre, Vec normal, double size, int cells, Vec& across, double noise = 0.0)
{
    MeshBuilder b(noise);
    normal = Unit(normal);
    Vec e1;
    Basis(normal, e1, across);
    return SquareGrid(b, size, cells,
                      [&](double x, double y)
                      {
                          const double h = 8.0 * (std::exp(-((y - 15) * (y - 15) + x * x) / 100.0) +
                                                  std::exp(-((y + 15) * (y + 15) + x * x) / 100.0));
                          return centre + x * e1 + y * across + h * normal;
                      });
}

} // namespace scans
