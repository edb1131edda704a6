// Cylinder: a base circle and a height interval along the circle's normal.
// Both heights equal means an infinite cylinder.
#pragma once

#include "platform/geometry/circle.h"
#include "platform/geometry/line.h"

class ON_NurbsSurface;
class ON_RevSurface;
class ON_Xform;

class ON_Cylinder
{
public:
    ON_Circle circle;
    double height[2] = {0.0, 0.0};

    ON_Cylinder() = default;
    // Heights 0 and h (h < 0 gives h and 0).
    ON_Cylinder(const ON_Circle& c, double h);

    bool Create(const ON_Circle& c, double h);
    bool IsValid() const;
    bool IsFinite() const { return height[0] != height[1]; }
    const ON_3dPoint& Center() const { return circle.plane.origin; }
    const ON_3dVector& Axis() const { return circle.plane.zaxis; }
    double Radius() const { return circle.radius; }
    double Height() const { return height[1] - height[0]; }
    ON_Line AxisLine() const;
    // Angle about the axis from the circle's x axis, and height along it.
    ON_3dPoint PointAt(double angle, double h) const;
    ON_3dVector NormalAt(double angle) const;
    // Angle and height of the closest point on the (finite) surface.
    bool ClosestPointTo(const ON_3dPoint& p, double* angle, double* h) const;
    bool Transform(const ON_Xform& xform);

    // Rational quadratic around (9 control points, angle [0, 2 pi]) by
    // linear along the axis (the height interval): 2, or 0 for an invalid or
    // infinite cylinder.
    int GetNurbForm(ON_NurbsSurface& srf) const;
    // The line at angle 0 between the two heights turned about the axis;
    // s is the angle, t the height. Fills srf (or a new surface owned by the
    // caller); null for an invalid or infinite cylinder.
    ON_RevSurface* RevSurfaceForm(ON_RevSurface* srf = nullptr) const;
};
