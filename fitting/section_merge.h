// Merging the pieces of a mesh section into one ordered polyline before a
// profile is fitted through them: keep the longest piece, order all points
// along a fitted arc or a fitted line, or trace the outline of all points
// with marching squares and order the points along it.
//
// Every vertex is read in its polyline's frame, so the merged polyline is in
// the section's local coordinates (z out of the plane).
#pragma once

#include <cstdint>

#include "core/polyline.h"
#include "fitting/polyline_join.h"

// Merge modes as section curves store them.
inline constexpr std::int32_t kMergeLongest = 0;
inline constexpr std::int32_t kMergeByArc = 1;
inline constexpr std::int32_t kMergeByLine = 2;
inline constexpr std::int32_t kMergeOutline = 3; // 3 to 7: ever finer outline cells

// Replaces the output by the merge of the collection's pieces. An empty
// collection empties the output; in mode 0 a collection whose pieces all
// have zero length leaves the output as it was. Negative modes merge like
// mode 0.
void MergeSectionPolylines(std::int32_t mode, const tSectionPolylines& collection, tPolyline<cVertex>& output);

// The index of the longest piece (strictly longer than every earlier one and
// than 0), or -1.
std::int32_t FindLongestPolyline(const tSectionPolylines& collection);

// All points ordered by their signed angle about a circle fitted to them in
// the local XY plane, measured from the direction of the arc's middle, then
// simplified.
void MergePolylinesByArcs(const tSectionPolylines& collection, tPolyline<cVertex>& output);

// All points ordered by the position of their projection along a line
// fitted to them, then simplified.
void MergePolylinesByLines(tSectionPolylines collection, tPolyline<cVertex>& output);

// The outline cell edge for a marching-squares merge mode over points whose
// local box spans dx by dy; 0 when the points span nothing.
float OutlineCellSize(std::int32_t mode, float dx, float dy);

// The most cells an outline lays along the box's longer side on this
// thread; 0 (the default) leaves the cell to the merge mode alone. A fuzz
// target sets it to bound the work each input costs.
std::int32_t& OutlineCellLimit();

// Replaces the outline by every input point, ordered by where it projects
// onto the outline (arc length from its first vertex).
void ReorderAlongOutline(tSectionPolylines collection, tPolyline<cVertex>& outline);

// Sets the vertex's scalar slot to the arc length along the outline (whose
// vertices carry their own arc length in the scalar slot) of its nearest
// point; the first segment with the strictly smallest distance wins.
void ProjectOntoOutline(cVertex& vertex, const tPolyline<cVertex>& outline);
