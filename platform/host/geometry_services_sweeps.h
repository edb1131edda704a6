// Sweep services of the host: straight and tapered extrusion of planar
// curves, revolution about an axis, and joining curves end to end.
//
// Every curve the library has (lines, arcs, polylines, NURBS and chains of
// them) is taken in its exact NURBS form, so straight extrusions and
// revolutions reproduce their curves exactly. The results are new heap
// objects that the caller owns.
#pragma once

#include "platform/geometry/brep.h"
#include "platform/geometry/curve.h"
#include "platform/geometry/interval.h"
#include "platform/geometry/line.h"
#include "platform/geometry/nurbs_rational.h"
#include "platform/geometry/simple_array.h"
#include "platform/geometry/surface.h"

// The exact NURBS form (dimension 3) of a curve over its own domain; chains
// become one curve of their highest degree with a full knot at each joint.
// False for an invalid curve or a NURBS curve whose knots are not clamped.
bool DezazCurveToNurbsData(const ON_Curve& curve, ON_NurbsCurveData& data);

// S(u, v) = C(u) + v * length * direction, v in [0, 1]: an exact NURBS
// surface of the curve's degree by 1. Null for a null or invalid curve, a
// non-finite input or a zero extrusion vector.
ON_Surface* DezazExtrudeCurveStraight(const ON_Curve* curve, const ON_3dVector& direction, double length);

// The curve turned about the axis line (right-handed about from -> to) over
// the angle interval; transposed swaps the surface's parameters (false: the
// first runs around the axis). Null for a null curve, a zero axis or an
// empty angle interval.
ON_Surface* DezazRevolve(const ON_Curve* curve, const ON_Line& axis, const ON_Interval& angle, bool transposed,
                         int reserved);

// Joins the curves into chains whose ends meet within the tolerance, each
// chain starting from the first curve not used yet and growing at both
// ends, curves reversed as needed; a chain of one curve is a duplicate of
// it. Every input appears exactly once in the output. False for no curves
// or a null curve (the output then stays empty).
bool DezazMergeCurves(const ON_SimpleArray<const ON_Curve*>& curves, ON_SimpleArray<ON_Curve*>& merged,
                      double tolerance, int reserved, ON_SimpleArray<int>* indices);

// The drafted side wall of a planar curve extruded by `height` along
// `direction` from the curve's plane (through `base`, perpendicular to
// `direction`). At height s the wall is the curve offset in its plane by
// s * tan(draft) towards T x D (T the curve's tangent, D the unit
// direction): a counter-clockwise curve about D widens for a positive
// draft. Corner type 0 keeps corners sharp (the offset pieces meet at the
// mitre); arcs stay exact arcs about their centres. One brep with a face
// per smooth piece of the curve is appended to `breps`. False, appending
// nothing, for a curve off its plane, |draft| >= pi/2, a non-positive
// height, a zero direction, or an arc that the draft shrinks to nothing.
bool DezazCreateTaperedExtrude(const ON_Curve* curve, double height, const ON_3dVector& direction,
                               const ON_3dPoint& base, double draft, int corner_type,
                               ON_SimpleArray<ON_Brep*>& breps);
