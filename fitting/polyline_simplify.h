// Thinning and even resampling of section polylines before they are merged,
// fitted or lofted. Every operation works in place: it copies the points
// aside, clears the polyline (box back to empty) and appends the new points.
#pragma once

#include <cstdint>

#include "core/polyline.h"

// True when the first and the last point lie closer than the tolerance
// (squared distances compared in double). False for an empty polyline.
bool IsPolylineClosed(const tPolyline<cVertex>& polyline, float tolerance);

// Keeps the points that carry the shape: from each kept point, the farthest
// later point whose chord passes within `tolerance` of every point in between
// and is no longer than `maxChord` (found by binary search) is kept next. The
// first point, the point before the last, the last point and a closing
// duplicate always stay. Polylines with fewer than three points before a
// closing duplicate have nothing to drop and are left unchanged. Every kept
// vertex keeps its fields except the own-index field, which becomes 0.
void SimplifyPolyline(tPolyline<cVertex>& polyline, float tolerance, double maxChord);

// Points at a fixed distance `step` along the polyline, starting at the first
// point; the last input point ends it (replacing the last sample when that
// lies within half a step of it). Polylines with fewer than three points, and
// steps so small that more than kMaxResampledPoints would be made, are left
// unchanged.
void ResamplePolyline(tPolyline<cVertex>& polyline, float step);

// `count` points at equal distances along the polyline, the first and the
// last input points included. Nothing happens to an empty polyline or for a
// count below 2 or above kMaxResampledPoints.
void ResamplePolylineToCount(tPolyline<cVertex>& polyline, std::int32_t count);

// The most points a resampling makes (about 600 MB of vertex records); a
// request beyond it is refused rather than exhausting memory.
inline constexpr std::int32_t kMaxResampledPoints = 1 << 24;
