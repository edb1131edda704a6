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

#include <cstdint>

class cMesh;
class IBinStream;
class IProcProgress;

inline constexpr std::uint64_t kMeshFileMagic = 0x7174E32E;
inline constexpr std::uint16_t kMeshFileMajor = 1;
inline constexpr std::uint16_t kMeshFileMinor = 0;
inline constexpr std::uint32_t kMeshFileHeaderSize = 144;

// One write of the header; the stream's result.
bool WriteMeshHeader(IBinStream* stream);
// The vertex block; false (nothing written) for a mesh without vertices, on
// a failed write or when the progress cancels. Positions are reported from
// the progress's range start.
bool WriteMeshVertices(cMesh& mesh, IBinStream* stream, IProcProgress* progress);
// The triangle block; false (nothing written) for a mesh without triangles.
bool WriteMeshTriangles(cMesh& mesh, IBinStream* stream, IProcProgress* progress);

// Reads header and blocks into the mesh and runs its update. A header that
// is not version 1.0 of this format is refused before the mesh is touched.
// Any later failure (a short block, a count of 0 or one that cannot fit in
// 32 bits or in the bytes left, a triangle index outside the vertex block)
// leaves the mesh empty; a cancel while reading triangles keeps what was
// read so far, without the update.
bool ReadMesh(cMesh& mesh, IBinStream* stream, IProcProgress* progress);

// Opens the file for reading and reads it; false without touching the mesh
// when the file cannot be opened.
bool LoadMeshFile(cMesh& mesh, const wchar_t* path, IProcProgress* progress);
