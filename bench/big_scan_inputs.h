// The two big scans of the big-scan benchmark, written once as binary STL
// files in the temporary folder and reused by later runs:
//  - the bundled sample part generated at about 10M triangles (a scanner's
//    mesh: even triangles, noise along the normal);
//  - a turned part as a CAD program tessellates it (fans on the end faces,
//    strips of long thin triangles round the walls and shoulders), then
//    midpoint-subdivided to about 10M triangles: long thin triangles with
//    many coplanar neighbours, tilted and far from the origin.
#pragma once

#include "dezaz/sample_part.h"
#include "platform/geometry/mesh.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace bigscan
{

namespace fs = std::filesystem;

// A binary STL of exactly `triangles` facets holds 84 + 50 x triangles bytes.
inline bool HasTriangles(const fs::path& path, std::uint64_t* triangles)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size < 84 || (size - 84) % 50 != 0)
        return false;
    *triangles = (size - 84) / 50;
    return true;
}

inline fs::path CachedStl(const std::string& name, const auto& make, std::uint64_t* triangles)
{
    const fs::path path = fs::temp_directory_path() / name;
    if (HasTriangles(path, triangles))
        return path;
    ON_Mesh mesh;
    make(mesh);
    std::wstring error;
    if (!dezaz::WriteBinaryStl(path, mesh, error) || !HasTriangles(path, triangles))
        return {};
    return path;
}

// The sample part at the grid spacing that gives about `triangles`
// (the spacing of the bundled sample gives about 200k).
inline fs::path SamplePartStl(double triangles, std::uint64_t* count)
{
    dezaz::SamplePartOptions options;
    const double bundled = 196000.0;
    options.cell *= std::sqrt(bundled / triangles);
    const std::string name = "vtl_big_scan_sample_" + std::to_string(std::lround(triangles / 1e5)) + ".stl";
    return CachedStl(name, [&](ON_Mesh& mesh) { dezaz::GenerateSamplePart(options, mesh); }, count);
}

// A stepped shaft turned about z: (radius, height) corners of its profile
// from the bottom centre round to the top centre (a chamfer at the base's
// rim), revolved with `segments` facets.
inline void CoarseTurnedPart(int segments, ON_Mesh& mesh)
{
    const double profile[][2] = {{0, 0}, {40, 0}, {40, 12}, {37, 15}, {25, 15}, {25, 45}, {15, 45}, {15, 60}, {0, 60}};
    const int corners = int(std::size(profile));
    // One ring of vertices per profile corner off the axis, one vertex per
    // corner on it.
    std::vector<int> first(std::size_t(corners), 0);
    for (int c = 0; c < corners; ++c)
    {
        first[std::size_t(c)] = mesh.VertexCount();
        const double r = profile[c][0], z = profile[c][1];
        const int n = r == 0 ? 1 : segments;
        for (int s = 0; s < n; ++s)
        {
            const double a = 2.0 * std::numbers::pi * s / segments;
            mesh.m_V.Append(ON_3fPoint(float(r * std::cos(a)), float(r * std::sin(a)), float(z)));
        }
    }
    const auto ring = [&](int c, int s) { return profile[c][0] == 0 ? first[std::size_t(c)] : first[std::size_t(c)] + s % segments; };
    for (int c = 0; c + 1 < corners; ++c)
        for (int s = 0; s < segments; ++s)
        {
            // Outward: the profile runs bottom to top with the material on
            // the axis side.
            const int a = ring(c, s), b = ring(c, s + 1), d = ring(c + 1, s), e = ring(c + 1, s + 1);
            if (profile[c][0] == 0)
                mesh.SetTriangle(mesh.FaceCount(), a, e, d);
            else if (profile[c + 1][0] == 0)
                mesh.SetTriangle(mesh.FaceCount(), a, b, d);
            else
            {
                mesh.SetTriangle(mesh.FaceCount(), a, b, e);
                mesh.SetTriangle(mesh.FaceCount(), a, e, d);
            }
        }
}

// Each triangle into four by its edge midpoints, shared between neighbours.
inline void Subdivide(ON_Mesh& mesh)
{
    std::unordered_map<std::uint64_t, int> midpoints;
    midpoints.reserve(std::size_t(mesh.FaceCount()) * 2);
    const auto midpoint = [&](int a, int b)
    {
        const std::uint64_t key = a < b ? (std::uint64_t(a) << 32 | std::uint32_t(b)) : (std::uint64_t(b) << 32 | std::uint32_t(a));
        const auto [it, added] = midpoints.try_emplace(key, mesh.VertexCount());
        if (added)
        {
            const ON_3fPoint p = mesh.m_V[a], q = mesh.m_V[b];
            mesh.m_V.Append(ON_3fPoint((p.x + q.x) * 0.5f, (p.y + q.y) * 0.5f, (p.z + q.z) * 0.5f));
        }
        return it->second;
    };
    ON_SimpleArray<ON_MeshFace> faces;
    faces.Reserve(mesh.FaceCount() * 4);
    for (const ON_MeshFace& f : mesh.m_F)
    {
        const int a = f.vi[0], b = f.vi[1], c = f.vi[2];
        const int ab = midpoint(a, b), bc = midpoint(b, c), ca = midpoint(c, a);
        for (const auto& t : {std::array{a, ab, ca}, std::array{ab, b, bc}, std::array{ca, bc, c}, std::array{ab, bc, ca}})
        {
            ON_MeshFace face;
            face.vi[0] = t[0], face.vi[1] = t[1], face.vi[2] = face.vi[3] = t[2];
            faces.Append(face);
        }
    }
    mesh.m_F = std::move(faces);
}

// Where the turned part lies: its axis tilted, far out.
inline ON_Xform TurnedPartPlacement()
{
    const ON_Xform turn = ON_Xform::RotationTransformation(0.35, ON_3dVector(1, 0.5, 0.2), ON_3dPoint(0, 0, 0));
    return ON_Xform::TranslationTransformation(ON_3dVector(850, -420, 260)) * turn;
}

// A point of the turned part's own frame where the scan has it.
inline void TurnedPartPoint(double x, double y, double z, float out[3])
{
    const ON_3dPoint p = TurnedPartPlacement() * ON_3dPoint(x, y, z);
    out[0] = float(p.x), out[1] = float(p.y), out[2] = float(p.z);
}

// The turned part subdivided six times (4096 triangles per facet of the
// CAD tessellation), in its place.
inline fs::path TurnedPartStl(std::uint64_t* count)
{
    return CachedStl("vtl_big_scan_turned_part.stl",
                     [](ON_Mesh& mesh)
                     {
                         CoarseTurnedPart(174, mesh);
                         for (int level = 0; level < 6; ++level)
                             Subdivide(mesh);
                         mesh.Transform(TurnedPartPlacement());
                     },
                     count);
}

} // namespace bigscan
