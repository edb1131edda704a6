// Curve services of the host: interpolation through points and the
// conversion of any curve into a polyline.
#pragma once

#include "platform/geometry/nurbs_curve.h"
#include "platform/geometry/polyline_curve.h"
#include "platform/geometry/simple_array.h"

// A NURBS curve of the given degree through the points, in order.
//
// Parameters of the points (the knot style): 0 uniform (0, 1, 2, ...), 1
// chord length (each step is the distance between the points, so the
// domain is [0, sum of the distances] and the speed is close to 1), 2
// square root of the chord length. Points that repeat their predecessor are
// passed over. The degree is lowered to the number of distinct points minus
// one (two points give a straight line).
//
// End conditions: without end tangents the curve has one control point per
// point and knots by averaging the parameters (for a cubic, the end spans
// continue the next ones: no condition is imposed on the ends' curvature).
// A given start or end tangent (cubic only) fixes the first derivative
// there to that direction scaled to unit length, which with chord-length
// parameters matches the curve's own speed; each tangent adds a control
// point.
//
// Returns nurbs_curve filled in, or a new curve the caller owns when
// nurbs_curve is null. Null (nurbs_curve untouched) for fewer than two
// distinct points, a non-finite point, a degree below 1 or above 11, an
// unknown knot style, a zero tangent or a tangent with a degree other than 3,
// or a singular system.
ON_NurbsCurve* DezazInterpCurve(int degree, const ON_SimpleArray<ON_3dPoint>& points,
                                const ON_3dVector* start_tangent, const ON_3dVector* end_tangent, int knot_style,
                                ON_NurbsCurve* nurbs_curve = nullptr);

// Samples the curve (or its sub-domain) into a polyline whose points lie on
// the curve and whose parameters are the curve's own. Segments are halved
// until each one meets every limit that is set (a zero or negative limit is
// not tested):
//   angle_tolerance       turn of the tangent along the segment, radians;
//   max_chord_height      distance of the curve from the segment;
//   chord_height_ratio    that distance divided by the segment's length;
//   tolerance             distance of the curve from the segment, like the
//                         chord height (the smaller of the two applies);
//   max_edge_length       length of the segment;
// but a segment shorter than min_edge_length is never halved. style is 0
// (the only one). The polyline has at least min_point_count points, and
// with keep_span_bounds every bound of the curve's smooth spans (the
// corners of chains and polylines) is one of its points.
// False, with the polyline emptied, for an invalid curve or sub-domain or
// when more than 1,000,000 points would be needed.
bool DezazConvertCurveToPolyline(const ON_Curve& curve, int style, int min_point_count, double angle_tolerance,
                                 double max_chord_height, double chord_height_ratio, double tolerance,
                                 double min_edge_length, double max_edge_length, ON_PolylineCurve& polyline,
                                 bool keep_span_bounds, const ON_Interval* sub_domain);
