// Which points of a set have a twin: another point of the set whose every
// coordinate lies closer than the merge tolerance (the merge index's box
// test, in float). Welding a big mesh needs the merge index only for the
// points with a twin; every other point becomes a vertex of its own, which
// spares the index (a random memory access per probe) for nearly every
// vertex of a scan.
//
// The points are put in cells twice as wide as the tolerance, as the merge
// index does, sorted by cell, and each point is tested against the points
// of its own and its 26 neighbouring cells, which a sweep in cell order
// finds with pointers that only move forward.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class cThreadPool;

inline constexpr std::uint8_t kPointAlone = 0;
inline constexpr std::uint8_t kPointWithTwin = 1;
// Not finite, or too far out for the merge index's cells: the index never
// holds it.
inline constexpr std::uint8_t kPointNotIndexable = 2;

// One mark per point (x, y, z floats, `stride` floats from one point to the
// next). False when the marks could not be worked out (no memory, or the
// points spread over more cells than the sort's keys hold); the caller then
// treats every point as one with a twin. The pool may be null.
bool MarkPointTwins(const float* points, std::size_t count, std::size_t stride, float tolerance, cThreadPool* pool,
                    std::vector<std::uint8_t>& marks);
