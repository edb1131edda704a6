// Small point, segment and circle operations that the section-curve kinds
// share. Points are local section coordinates; the float forms keep the
// precision the section polylines are stored in and compute in double.
#pragma once

#include "core/polyline.h"
#include "core/polyline_collection.h"
#include "core/vector_math.h"

#include <cstdint>

// Circumcentre of the three points into `centre` and its distance to c;
// -FLT_MAX when the points admit no circumcentre (collinear or coincident).
double CircumradiusOf3Points(const double a[3], const double b[3], const double c[3], double centre[3]);

// Parameter t of the projection of p on the segment a-b (t = 0 for a segment
// shorter than 1e-3) and the distance of p from the segment: from a when
// t <= 0, from b when t > 1, else from the foot point. t is returned as
// computed, outside [0, 1] too.
double PointSegmentParameter(const float p[3], const float a[3], const float b[3], double* distance);
double PointSegmentDistance3f(const float p[3], const float a[3], const float b[3]);

// Differences in single precision, squares summed in double.
double SquaredDistance3f(const float a[3], const float b[3]);

// Copies the point into the vertex and keeps flag bit 0 (the unset mark) in
// step with it: set exactly when x is FLT_MAX. Other flag bits stay.
void AssignFlaggedPoint3f(cVertex& vertex, const float p[3]);
inline constexpr std::uint32_t kVertexUnsetBit = 1u;

// The vertex nearest to p (the first on a tie) and its distance; FLT_MAX and
// index -1 for an empty polyline.
double FindNearestVertex(const tPolyline<cVertex>& polyline, const float p[3], std::int32_t* index);

// The point as doubles with z := 0.
t3DPoint<double> FlattenedPoint(const double p[3]);
t3DPoint<double> FlattenedPoint(const cVertex& v);

class ST_ISectionCurve;

// The curve's wire evaluated at a fraction and mapped to the world: the point
// by the whole frame, the tangent by its rotation. False (outputs as the wire
// left them) when the wire cannot be evaluated there.
bool EvaluateWireInWorld(const ST_ISectionCurve& curve, double fraction, t3DPoint<double>* point,
                         t3DPoint<double>* tangent);

// A one-polyline section collection holding the polyline in the frame, as
// the fits from a drawn polyline hand to RebuildWire.
void MakeSingleSection(const double frame[12], const tPolyline<cVertex>& polyline,
                       tPolylineCollection<tFramePolyline<cVertex>>& out);
