// Helpers shared by the primitive shapes' implementations.
#pragma once

#include "platform/geometry/wide_string.h"

namespace primitive_support
{

// The direction that GetLocalFrame lays on world axis `axis`: with e the
// axis and s the shape's direction, -s when s already points along +e (so
// every alignment of an aligned shape turns it over), s when it points
// along -e, else s or, with flip, -s.
void ChooseAlignmentDirection(const double s[3], int axis, bool flip, float m[3]);

// out = (s x d) x d: perpendicular to d, in the plane of s and d.
void PerpendicularInPlaneOf(const double s[3], const double d[3], double out[3]);

// "RMS: %.5f" of the RMS in single precision.
ON_wString RmsLine(double rms);
// "\n<label>: %.5f, %.5f, %.5f".
void AppendVectorLine(ON_wString& text, const wchar_t* label, const double v[3]);

void SetIdentityFrame(double frame[12]);

} // namespace primitive_support
