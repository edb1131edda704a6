// What a mesh file reader hands to the import: vertex positions and faces
// as corner lists, or (ASCII STL) a triangle soup. Readers check every
// count against the bytes the file really holds before they reserve room
// for it, so what they keep grows with the file, never with what it claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dezaz
{

struct stMeshFileData
{
    // xyz per vertex; with soup, three vertices per triangle and no faces.
    std::vector<float> positions;
    bool soup = false;
    // Corner indices of every face, one face after another; face_sizes
    // holds each face's corner count (faces of fewer than three corners
    // are counted in faces_dropped, not kept).
    std::vector<std::uint32_t> corners;
    std::vector<std::uint32_t> face_sizes;
    std::size_t faces_dropped = 0;
    std::size_t corners_dropped = 0;
};

// The readers: false with a message for the user when the bytes are not a
// sound file of their format.
bool ReadAsciiStl(const char* bytes, std::size_t size, stMeshFileData& out, std::wstring& error);
bool ReadPly(const char* bytes, std::size_t size, stMeshFileData& out, std::wstring& error);
bool ReadObj(const char* bytes, std::size_t size, stMeshFileData& out, std::wstring& error);

// Checks that every corner of every face names a vertex the file has; a
// bad corner is reported as the file numbers its vertices (PLY from 0, OBJ
// from 1).
bool CheckFaceCorners(const stMeshFileData& data, const wchar_t* format, int first_vertex_number, std::wstring& error);

} // namespace dezaz
