// Small stateless operations on section polylines shared by the surface
// builders, the section-polyline merge and the 2D profile construction.
#pragma once

#include <cstdint>

#include "core/polyline.h"

// Maps the vertex's position through the polyline's frame (R q + t, in
// double, stored as floats) and appends it with zero normal, flags and index.
// Like AddVertex the box is only marked stale. Returns the stored vertex.
cVertex* AppendVertexInFrame(tFramePolyline<cVertex>& polyline, const cVertex& vertex);

// Distance from a double point to the segment a-b of two vertices. A segment
// whose squared length is at most 1e-6 counts as its first end.
double PointSegmentDistance(const double point[3], const cVertex& a, const cVertex& b);

// Intersections of the line through p0 and p1 (x, y) with the circle of the
// given centre and radius in the XY plane; the points take the centre's z.
// Both outputs start at zero. Returns 0, 1 (tangent: both outputs hold the
// point) or 2; a line whose two points coincide has no direction and gives 0.
int IntersectLineCircle2D(const double p0[2], const double p1[2], const float centre[3], double radius,
                          double first[3], double second[3]);

// Exchanges the whole vertex records at positions i and j (no range check).
void SwapPolylineVertices(tPolyline<cVertex>& polyline, std::uint32_t i, std::uint32_t j);
