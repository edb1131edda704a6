// What the extruded and revolved surfaces share: the host transform of a
// profile frame, the box of cached breps, the host curves of a profile, the
// frame that lays a direction on a world axis, and the scene-object set-up.
#pragma once

#include "core/section_curve.h"
#include "platform/geometry/brep.h"
#include "platform/geometry/curve.h"
#include "platform/geometry/simple_array.h"
#include "platform/geometry/xform.h"
#include "shapes/shape_interfaces.h"

#include <vector>


namespace sweep_support
{

// The frame's three rows, then (0, 0, 0, 1).
ON_Xform FrameToXform(const double frame[12]);

// The union of the breps' boxes as floats; the empty box without breps.
void BrepsBox(const ON_SimpleArray<ON_Brep*>& breps, float box[6]);

// Duplicates of the profile's host curves (local coordinates): its own
// wire's curve, or the curve of every sub-curve of a sketch (those without
// one passed over). False, with nothing collected, for a profile whose own
// wire has no curve. `fromSketch` tells which path was taken.
bool CollectHostCurves(ST_ISectionCurve& profile, std::vector<ON_Curve*>& curves, bool& fromSketch);

// +1 when the curve winds counter-clockwise about local +z (closing chord
// included), -1 clockwise, 0 when it encloses nothing.
double WindingAboutZ(const ON_Curve& curve);

// The world-to-local frame whose row `axis` is the direction (chosen for
// alignment as every shape does) and whose origin is `origin`.
void AxisAlignmentFrame(double frame[12], const double direction[3], const double origin[3], int axis, bool flip);

bool Answers(ST_IGeometry* other, const GUID& iid);

} // namespace sweep_support
