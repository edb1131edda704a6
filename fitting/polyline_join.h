// Joining the pieces of a cut into longer polylines: a mesh section comes out
// as chains that break where the mesh has holes or where a walk started
// mid-way, and the marching squares as one contour piece per run of cells.
#pragma once

#include <cfloat>
#include <cstdint>

#include "core/polyline_collection.h"

using tSectionPolylines = tPolylineCollection<tFramePolyline<cVertex>>;

// Which end of a polyline a search matched.
enum class ePolylineEnd : std::uint8_t
{
    first,
    last
};

struct stNearestEnd
{
    std::int32_t index = -1; // -1: nothing within the tolerance
    double squaredDistance = DBL_MAX;
    ePolylineEnd end = ePolylineEnd::first;
};

// The open, non-empty polyline (first flag byte set) with an end nearest to
// the point, among those with an end closer than the tolerance. Ties keep the
// earlier polyline.
stNearestEnd FindNearestOpenEnd(const tSectionPolylines& collection, const float point[3], float tolerance);

// Rebuilds the polyline's vertex sequence in reverse order.
void ReversePolyline(tPolyline<cVertex>& polyline);

// Greedy join: the longest piece not yet worked on grows at whichever of its
// ends has the nearer open end of another piece within the tolerance, the
// other piece being reversed as needed and emptied into it; coinciding ends
// (squared distance below FLT_EPSILON) are stored once. With an angle above 0,
// a gap is not bridged when the other piece folds back within that angle of
// the direction it would continue from. Empty polylines are dropped at the
// end; the first flag byte is used as the "open" mark and left cleared.
void JoinPolylines(tSectionPolylines& collection, float tolerance, double angle);
