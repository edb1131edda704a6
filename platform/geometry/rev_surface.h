// Surface of revolution: a profile curve turned about an axis line through
// an angle range. Without transposition s runs around the axis (over m_t,
// mapped linearly onto the angle range) and t along the profile.
#pragma once

#include "platform/geometry/line.h"
#include "platform/geometry/nurbs_rational.h"
#include "platform/geometry/surface.h"

class ON_RevSurface : public ON_Surface
{
public:
    ON_NurbsCurveData m_curve; // the profile, dimension 3
    ON_Line m_axis;            // the axis runs from m_axis.from towards m_axis.to
    ON_Interval m_angle{0.0, 2.0 * ON_PI};
    ON_Interval m_t{0.0, 2.0 * ON_PI}; // the parameters of the angle direction
    bool m_bTransposed = false;        // true: s along the profile, t around

    ON_Surface* DuplicateSurface() const override { return new ON_RevSurface(*this); }
    Type SurfaceType() const override { return Type::revolution; }
    ON_Interval Domain(int dir) const override;
    bool Evaluate(double s, double t, int der_count, ON_3dVector* v) const override;
    // Circular arcs of at most a quarter turn times the profile: the same
    // point set, with the angle direction parameterised rationally (2).
    int GetNurbForm(ON_NurbsSurface& srf, double tolerance = 0.0) const override;
    bool Write(ON_BinaryArchive& archive) const override;
    bool Read(ON_BinaryArchive& archive) override;

    // A valid profile, an axis of non-zero length, an increasing angle
    // range of at most one turn and an increasing angle domain.
    bool IsValid(ON_TextLog* text_log = nullptr) const override;
    // The union of the exact boxes of the arcs the profile's control points
    // sweep: it holds the surface, and is the exact box of a sphere or a
    // cylinder.
    ON_BoundingBox BoundingBox() const override;
    // The profile's control points and the axis: exact for rigid and
    // uniformly scaled transforms, which are the ones that keep a surface
    // of revolution.
    bool Transform(const ON_Xform& xform) override;

private:
    // Unit axis direction; false for a zero axis.
    bool AxisDirection(ON_3dVector& d) const;
};
