// How the fits hand lengths to the downhill simplex. Its first steps are a
// fixed share of each parameter (absolute only for parameters within
// FLT_EPSILON of 0), so a coordinate or offset handed over as it stands gets
// a first step that depends on where the part lies: next to nothing for a
// part at the origin, a tenth of a millimetre part two metres out. Such a
// simplex stops short of the minimum, by different amounts at different
// places. The fits therefore hand over each length measured from its start
// value in units of the points' spread, shifted by one: the first step is
// then the same share of the part wherever it lies and in whatever unit.
#pragma once

#include "fitting/fit_container.h"

class cPackedFitPoints;
class cThreadPool;

// A length as a simplex parameter: 1 at the start value, one unit further
// per spread.
struct stSimplexLength
{
    double start = 0.0;
    double unit = 1.0;

    double Pack(double value) const { return 1.0 + (value - start) / unit; }
    double Unpack(double parameter) const { return start + (parameter - 1.0) * unit; }
};

// Centroid of the active points and their RMS distance from it; the spread
// is 1 when no point is active or the points do not spread (a positive,
// finite unit either way).
double ActivePointSpread(const cFitContainer& points, double centroid[3]);

// RMS distance of packed points from their centroid, in one pass on the
// pool's threads (fixed-order sums); sums are taken about `near`, a point
// close to the points, so that a small part far from the origin keeps its
// digits. 1 as above when there are no points or they do not spread.
double PackedPointSpread(const cPackedFitPoints& points, cThreadPool* pool, const double near[3]);
