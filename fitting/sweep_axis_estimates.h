// Axes of swept surfaces read from the points' normals, for regions whose
// point positions alone mislead: a strip across a round boss or a knob,
// which is as tall as it is wide, has a best plane that stands along the
// strip rather than across the axis.
//
// An extrusion's normals all stand square to its direction; a surface of
// revolution's normal lines all meet its axis. Both estimates centre and
// scale the points first (a part far from the origin solves as well as one
// at it), then drop the normals that disagree most with a first solution
// (stray scan points) and solve again. Records with a zero normal take no
// part.
#pragma once

#include "fitting/fit_container.h"

#include <cstddef>
#include <cstdint>

// The direction that the normals stand most nearly square to. False when
// fewer than 3 normals are usable, or when they do not turn about one
// direction (a flat face, whose normals are all alike, leaves every
// direction across them open).
bool EstimateExtrusionDirectionFromNormals(const cFitContainer& points, double direction[3]);

// The median of |n . d| over the usable normals (d made unit): 0 for an
// ideal extrusion along d, about the normals' noise for a scan of one.
// FLT_MAX when no normal is usable.
double MedianNormalAlongDirection(const cFitContainer& points, const double direction[3]);
// MedianNormalAlongDirection along two directions, read from the records in
// one pass: medians[0] along A, medians[1] along B.
void MedianNormalAlongDirections(const cFitContainer& points, const double directionA[3],
                                 const double directionB[3], double medians[2]);

// The line that the normal lines come nearest to meeting: its unit
// direction and its point nearest the points' mean. False when fewer than
// 6 normals are usable or the line is not determined (all normals alike, or
// all through one point as on a sphere).
bool EstimateRevolutionAxisFromNormals(const cFitContainer& points, double axis[3], double point[3]);

// The mean position of the records at `count` places (indices into
// records, ascending) and the sum of their squared distances from it, as
// one pass over them in that order adds them: mean[k] the sum of coordinate
// k over the count, then the sum of (c - mean[k])^2 over each place's
// coordinates in turn. The revolution axis centres and scales its samples
// by them. Found on the shared pool, to the same bits.
double MeanAndSquaredSpread(const tFitPointQueue& records, const std::uint32_t* places, std::size_t count,
                            double mean[3]);

// The median over the usable normals of how far each leans out of its
// meridian plane (the plane through the axis and its point), as the sine of
// that angle: 0 for an ideal surface of revolution about the axis. Points on
// the axis take no part. FLT_MAX when none takes part.
double MedianNormalOffMeridian(const cFitContainer& points, const double axis[3], const double point[3]);

// MedianNormalOffMeridian about two axes, read from the records in one pass:
// medians[0] about axis A, medians[1] about axis B.
void MedianNormalOffMeridians(const cFitContainer& points, const double axisA[3], const double pointA[3],
                              const double axisB[3], const double pointB[3], double medians[2]);
