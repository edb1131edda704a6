// The extents of a plane's points along the turned frames of the
// smallest-rectangle search, measured only on the points that can bound
// them.
//
// A frame's extent along an axis is set by the points on the rim of the
// region: a point well inside the polygon that the extents found so far
// describe can raise no extent of any of the frames. Each point's in-plane
// position is tested against a star-shaped table inside that polygon (one
// radius per direction sector), which costs about what one axis costs; only
// the points outside it are measured along every axis. Most points do not
// even reach the table: four at a time, in float, they are tested against a
// rectangle inside the polygon (the float rounding allowed for). The table
// and the rectangle are seeded from an even subsample and tightened as the
// rim is found. The extents come out bit for bit as measuring every point
// along every axis gives them.
#pragma once

#include "fitting/fit_container.h"

#include <vector>

class cCandidateSums;

// ranges[k] = {lowest, highest along first[k], lowest, highest along
// second[k]} of (p - origin) . axis over all records, each range starting at
// 0 so that it contains the origin; a NaN distance is passed over. Every
// axis lies in the plane through origin with the given unit normal (the
// turned frames of one in-plane frame).
void MeasureFramePairs(const tFitPointQueue& points, const double origin[3], const double normal[3],
                       int pairCount, const double (*first)[3], const double (*second)[3], double (*ranges)[4]);

// The same by measuring every record along every axis: the reference.
void MeasureFramePairsOnEveryPoint(const tFitPointQueue& points, const double origin[3], int pairCount,
                                   const double (*first)[3], const double (*second)[3], double (*ranges)[4]);

// MeasureFramePairs that also adds every record, in order, to the candidate
// planes' sums (with squares) on the same read, for at least 8192 records;
// false (nothing done) for fewer. A record is left unmeasured only when it
// lies clearance inside every extent and within sizeCap of origin (the sum
// of its coordinates' magnitudes); every record measured is listed in rim.
bool MeasureFramePairsWithSums(const tFitPointQueue& points, const double origin[3], const double normal[3],
                               int pairCount, const double (*first)[3], const double (*second)[3], double (*ranges)[4],
                               double clearance, double sizeCap, cCandidateSums& sums,
                               std::vector<const stFitPoint*>& rim);

// The extents along other turned frames about another origin (of the
// other normal), after MeasureFramePairsWithSums with the same frames,
// ranges, clearance and size cap: measured on its rim alone when they are
// provably those of every record there (no record left unmeasured can reach
// past them, which needs frames close to the searched ones), else on every
// record. True when the rim served.
bool MeasureNearFrames(const tFitPointQueue& points, const std::vector<const stFitPoint*>& rim,
                       const double origin[3], int pairCount, const double (*first)[3], const double (*second)[3],
                       const double (*ranges)[4], double clearance, double sizeCap, const double otherOrigin[3],
                       const double otherNormal[3], const double (*otherFirst)[3], const double (*otherSecond)[3],
                       double (*otherRanges)[4]);
