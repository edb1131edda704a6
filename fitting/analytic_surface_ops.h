// Distance, projection and least-squares fit of the analytic plane and
// sphere, on their parameter records. The shape model's primitives answer
// their math-surface calls with these.
#pragma once

#include "fitting/fit_container.h"
#include "fitting/primitive_records.h"

// Signed distance s = n . p + d (positive on the normal's side); the
// projection p - s n is written.
double PlaneDistanceAndProjection(const tPlane<double>& plane, const float p[3], double projection[3]);

// |p - c| - r (positive outside). When |p - c| < DBL_EPSILON the point is at
// the centre: the projection is not written and the result is -r.
double SphereDistanceAndProjection(const tSphere<double>& sphere, const float p[3], double projection[3]);

// Least-squares sphere through the points (estimate, then geometric
// refinement). On success the sphere takes centre and radius; the RMS (may
// be null) is the root mean squared radial error, FLT_MAX when no point
// takes part. On failure the sphere is unchanged and the RMS FLT_MAX.
bool FitSphereToPoints(tSphere<double>& sphere, const tFitPointQueue& points, double* rms);

// Least-squares plane through the points, with the smallest rectangle
// around them (no margin) as its patch. On success the plane takes normal,
// origin, x axis, half extents and d = -(n . origin); the RMS (may be null)
// is that of the points' distances from the fitted plane. On failure the
// plane is unchanged and the RMS FLT_MAX.
bool FitPlaneToPoints(tPlane<double>& plane, const tFitPointQueue& points, double* rms);
