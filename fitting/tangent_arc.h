// The arc that fillets a corner of a profile sketch: tangent to two lines of
// the profile and passing through a picked point. The profile lies in its
// local XY plane; z is 0 throughout.
#pragma once

#include "core/vertex.h"

// A line is a cVertex: its position is a point of the line, its normal the
// line's direction (x and y only). Writes the tangent point on the first
// line, the middle of the arc and the tangent point on the second line, only
// when an arc was found. A positive radius step cuts the radius of the arc
// between intersecting lines down to a whole multiple of it.
bool SolveTangentArcBetweenLines(const cVertex& first, const cVertex& second, const float picked[3],
                                 float firstTangent[3], float middle[3], float secondTangent[3], double radiusStep);
