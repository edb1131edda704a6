// The binary mesh file of mesh scene objects: a 144-byte header, a vertex
// block and a triangle block, all little-endian. The same format follows a
// mesh object's common record in any byte stream.
//
//   header    u64 magic 0x7174E32E, u16 major 1, u16 minor 0, u8 colour flag,
//             131 zero bytes
//   vertices  u64 count N (never 0), N x (3 x f32 position [, 3 x u8 RGB
//             when the colour flag is set])
//   triangles u64 count T (never 0), T x 3 x u64 vertex index
//
// The writer always writes positions only (colour flag 0); the reader takes
// both forms. The file is untrusted: the reader refuses counts and indices
// that cannot be right and never leaves a half-read mesh behind on failure.
#pragma once

#include "core/chunked_array.h"

#include <cstdint>
#include <vector>

class cMesh;
class IBinStream;
class IProcProgress;

inline constexpr std::uint64_t kMeshFileMagic = 0x7174E32E;
inline constexpr std::uint16_t kMeshFileMajor = 1;
inline constexpr std::uint16_t kMeshFileMinor = 0;
inline constexpr std::uint32_t kMeshFileHeaderSize = 144;

// One write of the header; the stream's result.
bool WriteMeshHeader(IBinStream* stream);
// Whether every vertex position is finite: only such a mesh can be written.
bool HasOnlyFinitePositions(cMesh& mesh);
// The vertex block; false (nothing written) for a mesh without vertices or
// with a non-finite position, on a failed write or when the progress cancels. Positions are reported from
// the progress's range start.
bool WriteMeshVertices(cMesh& mesh, IBinStream* stream, IProcProgress* progress);
// The triangle block; false (nothing written) for a mesh without triangles.
bool WriteMeshTriangles(cMesh& mesh, IBinStream* stream, IProcProgress* progress);

// The largest vertex or triangle count a file may announce: one the mesh's
// u32-indexed arrays can hold.
inline constexpr std::uint64_t kMeshFileMaxRecords = kArrayMaxRecords;

// What a mesh file holds, read and checked but not yet in a mesh, so that a
// caller can replace a mesh only once a whole file was read.
struct stMeshFileContent
{
    bool withColours = false;
    std::vector<float> positions;       // x, y, z per vertex
    std::vector<std::uint8_t> colours;  // R, G, B per vertex with colours
    std::vector<std::uint32_t> corners; // three per triangle kept
};

// Reads header and blocks into content; true only when all of it was read
// and sound: version 1.0 of this format, counts that are not 0, fit the
// mesh and (where the stream can tell) the bytes left, finite coordinates,
// indices inside the vertex block, and at least one triangle without a
// repeated corner (those are skipped). The blocks are read in steps, so
// what is held grows only with the bytes that arrived, also on streams that
// cannot tell their size. False (content empty) otherwise, and on a cancel.
bool ReadMeshContent(IBinStream* stream, IProcProgress* progress, stMeshFileContent& content);
// Replaces the mesh's vertices and triangles by the content (which it
// consumes) and runs its update; false (mesh empty) when memory runs out.
bool FillMesh(cMesh& mesh, stMeshFileContent&& content);

// ReadMeshContent into the mesh, then its update. A header that is not
// version 1.0 of this format is refused before the mesh is touched; any
// later failure leaves the mesh empty; a cancel while reading triangles
// leaves the vertices and the triangles read so far, without the update.
bool ReadMesh(cMesh& mesh, IBinStream* stream, IProcProgress* progress);

// Opens the file for reading and reads it; false without touching the mesh
// when the file cannot be opened.
bool LoadMeshFile(cMesh& mesh, const wchar_t* path, IProcProgress* progress);
