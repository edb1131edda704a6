// Circle in a plane: centre at the plane's origin, angle 0 along its x axis.
#pragma once

#include "platform/geometry/plane.h"

class ON_Xform;

class ON_Circle
{
public:
    ON_Plane plane;
    double radius = 1.0;

    ON_Circle() = default;
    ON_Circle(const ON_Plane& p, double r) : plane(p), radius(r) {}
    ON_Circle(const ON_3dPoint& center, double r);
    // Circle through three points; invalid (radius 0) when they are collinear.
    ON_Circle(const ON_3dPoint& p, const ON_3dPoint& q, const ON_3dPoint& r);

    bool Create(const ON_3dPoint& p, const ON_3dPoint& q, const ON_3dPoint& r);
    bool IsValid() const { return ON_IsValid(radius) && radius > 0.0 && plane.IsValid(); }
    const ON_3dPoint& Center() const { return plane.origin; }
    const ON_3dVector& Normal() const { return plane.zaxis; }
    double Radius() const { return radius; }
    double Diameter() const { return 2.0 * radius; }
    double Circumference() const { return 2.0 * ON_PI * radius; }
    ON_3dPoint PointAt(double angle) const;
    ON_3dVector DerivativeAt(int order, double angle) const;
    ON_3dVector TangentAt(double angle) const;
    // Angle of the closest point; false for a point on the axis (any angle).
    bool ClosestPointTo(const ON_3dPoint& p, double* angle) const;
    ON_3dPoint ClosestPointTo(const ON_3dPoint& p) const;
    bool Transform(const ON_Xform& xform);
};
