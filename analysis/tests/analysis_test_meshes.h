// Generated meshes of the analysis tests: planes, cylinders and random
// triangle soups, as host meshes and as program meshes.
#pragma once

#include "core/mesh.h"
#include "platform/geometry/mesh.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>
#include <memory>
#include <random>

namespace analysis_test
{

// An n x n grid of quads (split into triangles unless `quads`) over
// [x0, x0 + size] x [y0, y0 + size] at height z, facing +z.
inline ON_Mesh PlaneGrid(int n, float size, float z, bool quads = false, float x0 = 0.0f, float y0 = 0.0f)
{
    ON_Mesh m(n * n * 2, (n + 1) * (n + 1), false, false);
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            m.SetVertex(m.VertexCount(), ON_3fPoint(x0 + size * i / n, y0 + size * j / n, z));
    for (int j = 0; j < n; ++j)
    {
        for (int i = 0; i < n; ++i)
        {
            const int a = j * (n + 1) + i, b = a + 1, c = a + n + 2, d = a + n + 1;
            if (quads)
                m.SetQuad(m.FaceCount(), a, b, c, d);
            else
            {
                m.SetTriangle(m.FaceCount(), a, b, c);
                m.SetTriangle(m.FaceCount(), a, c, d);
            }
        }
    }
    return m;
}

// The same grid as a program mesh, updated (normals, links).
inline std::unique_ptr<cMesh> PlaneGridMesh(int n, float size, float z)
{
    auto mesh = std::make_unique<cMesh>();
    const ON_Mesh grid = PlaneGrid(n, size, z);
    for (const ON_3fPoint& p : grid.m_V)
        mesh->AddVertex(&p.x);
    for (const ON_MeshFace& f : grid.m_F)
        mesh->AddTriangle(static_cast<std::uint32_t>(f.vi[0]), static_cast<std::uint32_t>(f.vi[1]),
                          static_cast<std::uint32_t>(f.vi[2]));
    mesh->Update();
    return mesh;
}

// A cylinder of radius r around the z axis from z = 0 to z = height, with
// `around` segments and `along` rings, outward-facing, open at both ends.
inline ON_Mesh CylinderMesh(double r, double height, int around, int along)
{
    ON_Mesh m(around * along * 2, around * (along + 1), false, false);
    constexpr double kTwoPi = 6.283185307179586;
    for (int j = 0; j <= along; ++j)
        for (int i = 0; i < around; ++i)
        {
            const double a = kTwoPi * i / around;
            m.SetVertex(m.VertexCount(), ON_3dPoint(r * std::cos(a), r * std::sin(a), height * j / along));
        }
    for (int j = 0; j < along; ++j)
        for (int i = 0; i < around; ++i)
        {
            const int a = j * around + i, b = j * around + (i + 1) % around;
            const int c = b + around, d = a + around;
            m.SetTriangle(m.FaceCount(), a, b, c);
            m.SetTriangle(m.FaceCount(), a, c, d);
        }
    return m;
}

// `count` random triangles with corners in [-extent, extent]^3 (some made
// degenerate on purpose when `degenerate` is set: repeated or collinear
// corners) and every fourth face a quad.
inline ON_Mesh RandomSoup(std::mt19937& rng, int count, float extent, bool degenerate)
{
    std::uniform_real_distribution<float> u(-extent, extent);
    ON_Mesh m(count, count * 4, false, false);
    for (int f = 0; f < count; ++f)
    {
        const int base = m.VertexCount();
        ON_3fPoint p[4];
        for (auto& q : p)
            q = ON_3fPoint(u(rng), u(rng), u(rng));
        if (degenerate && f % 5 == 1)
            p[2] = p[1]; // a repeated corner
        if (degenerate && f % 5 == 3)
            p[2] = ON_3fPoint((p[0].x + p[1].x) / 2, (p[0].y + p[1].y) / 2, (p[0].z + p[1].z) / 2); // collinear
        for (const auto& q : p)
            m.SetVertex(m.VertexCount(), q);
        if (f % 4 == 0 && !(degenerate && f % 5 != 0))
            m.SetQuad(m.FaceCount(), base, base + 1, base + 2, base + 3);
        else
            m.SetTriangle(m.FaceCount(), base, base + 1, base + 2);
    }
    return m;
}

} // namespace analysis_test

namespace analysis_test
{

// A height field over an (n+1) x (n+1) grid of unit spacing as a host mesh
// (two triangles per cell, facing +z).
template <class F> ON_Mesh HeightField(int n, F height)
{
    ON_Mesh m(n * n * 2, (n + 1) * (n + 1), false, false);
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            m.SetVertex(m.VertexCount(), ON_3dPoint(i, j, height(static_cast<double>(i), static_cast<double>(j))));
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            const int a = j * (n + 1) + i, b = a + 1, c = a + n + 2, d = a + n + 1;
            m.SetTriangle(m.FaceCount(), a, b, c);
            m.SetTriangle(m.FaceCount(), a, c, d);
        }
    return m;
}

// A block tessellated as CAD exports do: a 60 x 40 x 16 box (times `scale`)
// far from the origin whose vertical edges are rounds of radius 5 cut into
// `roundFacets` flat facets, its walls in `rows` rows and `sideCells` cells
// along the long sides (half as many along the short ones), its top and
// bottom in rings shrinking to a centre point. Outward-facing triangles.
inline ON_Mesh CadBlock(int roundFacets, int rows, int sideCells, double scale = 1.0)
{
    constexpr double kPi = 3.14159265358979323846;
    const double W = 60, D = 40, H = 16, r = 5, origin[3] = {1500, -700, 300};
    ON_Mesh m;
    const auto add = [&](double x, double y, double z) {
        m.SetVertex(m.VertexCount(), ON_3dPoint((origin[0] + x) * scale, (origin[1] + y) * scale, (origin[2] + z) * scale));
        return m.VertexCount() - 1;
    };
    std::vector<std::pair<double, double>> outline;
    const double cx[4] = {W - r, W - r, r, r}, cy[4] = {r, D - r, D - r, r};
    // Side s runs along the outward normal at angle (s - 1) * 90 degrees from
    // the end of the previous corner's round to corner s, whose round follows.
    for (int side = 0; side < 4; ++side)
    {
        const int prev = (side + 3) % 4, cells = side % 2 == 0 ? sideCells : sideCells / 2;
        const double a0 = (side - 1) * kPi / 2;
        const double fromX = cx[prev] + r * std::cos(a0), fromY = cy[prev] + r * std::sin(a0);
        const double toX = cx[side] + r * std::cos(a0), toY = cy[side] + r * std::sin(a0);
        for (int i = 0; i < cells; ++i)
            outline.emplace_back(fromX + (toX - fromX) * i / cells, fromY + (toY - fromY) * i / cells);
        for (int i = 0; i < roundFacets; ++i)
        {
            const double a = a0 + (kPi / 2) * i / roundFacets;
            outline.emplace_back(cx[side] + r * std::cos(a), cy[side] + r * std::sin(a));
        }
    }
    const int n = static_cast<int>(outline.size());
    std::vector<int> ring[2];
    for (int k = 0; k <= rows; ++k)
    {
        std::vector<int> level;
        for (const auto& [x, y] : outline)
            level.push_back(add(x, y, H * k / rows));
        if (k > 0)
            for (int i = 0; i < n; ++i)
            {
                const int j = (i + 1) % n;
                m.SetTriangle(m.FaceCount(), ring[1][i], ring[1][j], level[j]);
                m.SetTriangle(m.FaceCount(), ring[1][i], level[j], level[i]);
            }
        if (k == 0)
            ring[0] = level;
        ring[1] = level;
    }
    for (int cap = 0; cap < 2; ++cap)
    {
        std::vector<int> outer = ring[cap];
        const double z = cap == 0 ? 0.0 : H;
        for (int q = 1; q <= 4; ++q)
        {
            const double f = 1.0 - q / 5.0;
            std::vector<int> inner;
            for (const auto& [x, y] : outline)
                inner.push_back(q < 4 ? add(W / 2 + (x - W / 2) * f, D / 2 + (y - D / 2) * f, z) : -1);
            const int centre = q == 4 ? add(W / 2, D / 2, z) : -1;
            for (int i = 0; i < n; ++i)
            {
                const int j = (i + 1) % n;
                const int a = outer[i], b = outer[j];
                if (q == 4)
                    cap == 1 ? m.SetTriangle(m.FaceCount(), a, b, centre) : m.SetTriangle(m.FaceCount(), a, centre, b);
                else if (cap == 1)
                {
                    m.SetTriangle(m.FaceCount(), a, b, inner[j]);
                    m.SetTriangle(m.FaceCount(), a, inner[j], inner[i]);
                }
                else
                {
                    m.SetTriangle(m.FaceCount(), a, inner[j], b);
                    m.SetTriangle(m.FaceCount(), a, inner[i], inner[j]);
                }
            }
            outer = inner;
        }
    }
    return m;
}

// Every triangle cut into four at its edges' midpoints: the same surface,
// each small triangle in the plane of its parent.
inline ON_Mesh MidpointSubdivision(const ON_Mesh& source)
{
    ON_Mesh m;
    for (const ON_3fPoint& p : source.m_V)
        m.SetVertex(m.VertexCount(), p);
    std::map<std::pair<int, int>, int> middles;
    const auto middle = [&](int a, int b) {
        const auto key = std::minmax(a, b);
        if (const auto it = middles.find(key); it != middles.end())
            return it->second;
        const ON_3fPoint& p = source.m_V[a];
        const ON_3fPoint& q = source.m_V[b];
        m.SetVertex(m.VertexCount(), ON_3dPoint((double(p.x) + q.x) / 2, (double(p.y) + q.y) / 2, (double(p.z) + q.z) / 2));
        return middles[key] = m.VertexCount() - 1;
    };
    for (const ON_MeshFace& f : source.m_F)
    {
        const int a = f.vi[0], b = f.vi[1], c = f.vi[2];
        const int ab = middle(a, b), bc = middle(b, c), ca = middle(c, a);
        m.SetTriangle(m.FaceCount(), a, ab, ca);
        m.SetTriangle(m.FaceCount(), ab, b, bc);
        m.SetTriangle(m.FaceCount(), ca, bc, c);
        m.SetTriangle(m.FaceCount(), ab, bc, ca);
    }
    return m;
}

// The program mesh of a host mesh's triangles, updated (normals, links).
inline void FillMesh(cMesh& mesh, const ON_Mesh& source)
{
    for (const ON_3fPoint& p : source.m_V)
        mesh.AddVertex(&p.x);
    for (const ON_MeshFace& f : source.m_F)
        mesh.AddTriangle(static_cast<std::uint32_t>(f.vi[0]), static_cast<std::uint32_t>(f.vi[1]),
                         static_cast<std::uint32_t>(f.vi[2]));
    mesh.Update();
}

} // namespace analysis_test
