// STL files: the binary layout (an 80-byte header, a triangle count and
// 50-byte records) and the ASCII one (solid / facet / outer loop / three
// vertices / endloop / endfacet / endsolid).
#pragma once

#include "dezaz/mesh_file_data.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace dezaz
{

inline constexpr std::size_t kStlHeaderBytes = 84;
inline constexpr std::size_t kStlRecordBytes = 50;

// Which layout a file of file_size bytes starting with the given bytes
// (at least min(file_size, kStlHeaderBytes) of them) has: binary when its
// size is exactly what its triangle count makes, or when it does not start
// with "solid".
bool IsAsciiStl(const std::uint8_t* start, std::size_t start_size, std::uint64_t file_size);

// The triangle count of a binary STL, false with a message when the file
// is shorter than its records.
bool BinaryStlTriangleCount(const std::uint8_t* header, std::uint64_t file_size, std::uint32_t& count,
                            std::wstring& error);

// Decodes count records into nine floats (three corners) each.
void DecodeStlRecords(const std::uint8_t* records, std::size_t count, float* corners);

} // namespace dezaz
