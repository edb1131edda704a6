// Sphere: centre at its plane's origin; longitude about the plane's z axis
// from its x axis, latitude from the equator (-pi/2 .. pi/2).
#pragma once

#include "platform/geometry/plane.h"

class ON_NurbsSurface;
class ON_RevSurface;
class ON_Xform;

class ON_Sphere
{
public:
    ON_Plane plane;
    double radius = 0.0;

    ON_Sphere() = default;
    ON_Sphere(const ON_3dPoint& center, double r);

    bool Create(const ON_3dPoint& center, double r);
    bool IsValid() const { return ON_IsValid(radius) && radius > 0.0 && plane.IsValid(); }
    const ON_3dPoint& Center() const { return plane.origin; }
    double Radius() const { return radius; }
    double Diameter() const { return 2.0 * radius; }
    ON_3dPoint NorthPole() const { return plane.PointAt(0.0, 0.0, radius); }
    ON_3dPoint SouthPole() const { return plane.PointAt(0.0, 0.0, -radius); }
    ON_3dPoint PointAt(double longitude, double latitude) const;
    ON_3dVector NormalAt(double longitude, double latitude) const;
    // Longitude and latitude of the closest point; false at the centre.
    bool ClosestPointTo(const ON_3dPoint& p, double* longitude, double* latitude) const;
    ON_3dPoint ClosestPointTo(const ON_3dPoint& p) const;
    bool Transform(const ON_Xform& xform);

    // The rational biquadratic form (9 x 5 control points) over longitude
    // [0, 2 pi] and latitude [-pi/2, pi/2]: 2 (same surface, rational
    // parameterisation) or 0 for an invalid sphere.
    int GetNurbForm(ON_NurbsSurface& srf) const;
    // The semicircle from the south to the north pole turned about the z
    // axis. With arc-length parameterisation both domains measure length
    // (longitude [0, 2 pi r], latitude [-pi r / 2, pi r / 2]), else they are
    // angles. Fills srf (or a new surface owned by the caller); null for an
    // invalid sphere.
    ON_RevSurface* RevSurfaceForm(bool arc_length_parameterization, ON_RevSurface* srf = nullptr) const;
};
