// Small meshes for the mesh and topology tests, built from index triples.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

#include "core/mesh.h"

using Triple = std::array<std::uint32_t, 3>;
using Point = std::array<float, 3>;

// Adds the points and triangles and runs Update.
inline void BuildMesh(cMesh& mesh, const std::vector<Point>& points, const std::vector<Triple>& triangles,
                      bool update = true)
{
    for (const Point& p : points)
        mesh.AddVertex(p.data());
    for (const Triple& t : triangles)
        mesh.AddTriangle(t[0], t[1], t[2]);
    if (update)
        mesh.Update();
}

// A unit tetrahedron with outward-facing triangles (closed surface).
inline void BuildTetrahedron(cMesh& mesh)
{
    BuildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
              {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {0, 3, 2}});
}

// A grid of columns x rows vertices in the z = 0 plane (vertex c + r * columns
// at (c, r)), each cell split into two counter-clockwise triangles. Cells
// listed in `holes` (by c + r * (columns - 1)) are left out.
inline void BuildGrid(cMesh& mesh, std::uint32_t columns, std::uint32_t rows,
                      const std::vector<std::uint32_t>& holes = {}, bool update = true)
{
    std::vector<Point> points;
    for (std::uint32_t r = 0; r < rows; ++r)
        for (std::uint32_t c = 0; c < columns; ++c)
            points.push_back({static_cast<float>(c), static_cast<float>(r), 0.0f});
    std::vector<Triple> triangles;
    for (std::uint32_t r = 0; r + 1 < rows; ++r)
        for (std::uint32_t c = 0; c + 1 < columns; ++c)
        {
            bool hole = false;
            for (std::uint32_t h : holes)
                hole = hole || h == c + r * (columns - 1);
            if (hole)
                continue;
            const std::uint32_t a = c + r * columns;
            triangles.push_back({a, a + 1, a + 1 + columns});
            triangles.push_back({a, a + 1 + columns, a + columns});
        }
    BuildMesh(mesh, points, triangles, update);
}

// A vertex 0 at the origin surrounded by `count` triangles around it; with
// `closed` the fan closes on itself (interior vertex), otherwise it is open
// (border vertex).
inline void BuildFan(cMesh& mesh, std::uint32_t count, bool closed)
{
    std::vector<Point> points{{0, 0, 0}};
    const std::uint32_t rim = closed ? count : count + 1;
    for (std::uint32_t i = 0; i < rim; ++i)
    {
        const float angle =
            6.2831853f * static_cast<float>(i) / static_cast<float>(closed ? count : count * 2);
        points.push_back({std::cos(angle), std::sin(angle), 0.0f});
    }
    std::vector<Triple> triangles;
    for (std::uint32_t i = 0; i < count; ++i)
        triangles.push_back({0, 1 + i, 1 + (i + 1) % rim});
    BuildMesh(mesh, points, triangles);
}

// Empty when every link is symmetric and joins two triangles that share the
// linked edge in opposite directions; otherwise a description of the first
// broken link.
inline std::string CheckLinks(cMesh& mesh)
{
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
    {
        const cMeshTriangle* t = mesh.GetTriangle(i);
        for (int k = 0; k < 3; ++k)
        {
            const cMeshTriangle* n = t->neighbour[k];
            if (n == nullptr)
            {
                if (t->neighbourEdge[k] != kNoNeighbourEdge)
                    return "triangle " + std::to_string(i) + " has an edge byte without a neighbour";
                continue;
            }
            const int e = t->neighbourEdge[k];
            if (e > 2 || n->neighbour[e] != t || n->neighbourEdge[e] != k)
                return "triangle " + std::to_string(i) + " edge " + std::to_string(k) + " is not linked back";
            if (t->vertexIndex[k] != n->vertexIndex[(e + 1) % 3] ||
                t->vertexIndex[(k + 1) % 3] != n->vertexIndex[e])
                return "triangle " + std::to_string(i) + " edge " + std::to_string(k) + " joins another edge";
        }
    }
    return {};
}

inline std::vector<std::uint32_t> Indices(const tVertexDeque& vertices)
{
    std::vector<std::uint32_t> result;
    for (const cVertex* v : vertices)
        result.push_back(v->index);
    return result;
}

// Every triangle's number by its record, and -1 for no triangle.
inline std::unordered_map<const cMeshTriangle*, std::ptrdiff_t> TriangleNumbers(cMesh& mesh)
{
    std::unordered_map<const cMeshTriangle*, std::ptrdiff_t> number{{nullptr, -1}};
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        number[mesh.GetTriangle(i)] = i;
    return number;
}

// The same vertex normals and summed areas, triangle normals and links (by
// the numbers of the triangles they name), to the bit.
inline void ExpectSameNormalsAndLinks(cMesh& expected, cMesh& mesh)
{
    ASSERT_EQ(mesh.GetVertexCount(), expected.GetVertexCount());
    for (std::uint32_t i = 0; i < expected.GetVertexCount(); ++i)
    {
        const cVertex& a = *expected.GetVertex(i);
        const cVertex& b = *mesh.GetVertex(i);
        ASSERT_EQ(std::memcmp(a.Normal(), b.Normal(), 3 * sizeof(float)), 0) << i;
        ASSERT_EQ(std::memcmp(a.extra, b.extra, sizeof a.extra), 0) << i;
    }
    ASSERT_EQ(mesh.GetTriangleCount(), expected.GetTriangleCount());
    const auto numberExpected = TriangleNumbers(expected), number = TriangleNumbers(mesh);
    for (std::uint32_t i = 0; i < expected.GetTriangleCount(); ++i)
    {
        const cMeshTriangle& a = *expected.GetTriangle(i);
        const cMeshTriangle& b = *mesh.GetTriangle(i);
        ASSERT_EQ(std::memcmp(a.Normal(), b.Normal(), 3 * sizeof(float)), 0) << i;
        for (int k = 0; k < 3; ++k)
        {
            ASSERT_EQ(numberExpected.at(a.neighbour[k]), number.at(b.neighbour[k])) << i << ":" << k;
            ASSERT_EQ(a.neighbourEdge[k], b.neighbourEdge[k]) << i << ":" << k;
        }
    }
}
