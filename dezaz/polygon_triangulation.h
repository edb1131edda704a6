// Splitting the polygon faces of OBJ and PLY files into triangles: a quad
// from its one concave corner if it has one, a convex polygon as a fan, a
// concave one by clipping ears in the plane that fits it best.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dezaz
{

// Concave faces cost the square of their corner count to split; larger
// ones are refused rather than let a file buy unbounded work.
inline constexpr std::size_t kMostConcaveCorners = 256;

// Appends the triangles (three corner indices each) of the face whose n
// corners index positions (xyz floats). False, with nothing appended,
// for a concave face of more than kMostConcaveCorners corners.
bool TriangulateFace(const float* positions, const std::uint32_t* corners, std::size_t n,
                     std::vector<std::uint32_t>& triangles);

} // namespace dezaz
