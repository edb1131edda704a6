// Generated meshes of the analysis tests: planes, cylinders and random
// triangle soups, as host meshes and as program meshes.
#pragma once

#include "core/mesh.h"
#include "platform/geometry/mesh.h"

#include <cmath>
#include <cstdint>
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
