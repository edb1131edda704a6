// Mesh import of the host program: STL, OBJ and PLY (binary and ASCII) read
// by our own readers, which check every count against the bytes the file
// holds, and welded into one host mesh. Vertices that share a position
// exactly become one vertex (the corners of neighbouring STL facets are
// written out again for every facet); faces that collapse on welding and
// faces with non-finite corners are dropped.
#pragma once

#include "platform/geometry/mesh.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dezaz
{

struct MeshImportStats
{
    std::size_t faces_read = 0;
    std::size_t faces_dropped = 0; // collapsed or not finite
    std::size_t corners_read = 0;
};

// Reports how far the welding has come, 0..100; only called for imports
// of more than kProgressTriangleCount triangles.
using ImportProgress = std::function<void(int percent)>;
inline constexpr std::size_t kProgressTriangleCount = 1000000;

// False, with the reader's message, when the file cannot be read, is not a
// sound file of its format or holds no triangle; the mesh is then left as
// it was. Time and memory grow with the file's size, not with the counts it
// declares.
bool ImportMeshFile(const std::string& path, ON_Mesh& mesh, std::wstring& error, MeshImportStats* stats = nullptr,
                    const ImportProgress& progress = {});

// Welds a triangle soup (three corners per triangle, xyz floats) into the
// mesh, appending to what it holds.
void WeldTriangles(const float* corners, std::size_t triangle_count, ON_Mesh& mesh, MeshImportStats* stats = nullptr,
                   const ImportProgress& progress = {});

} // namespace dezaz
