// A plane with a right-handed orthonormal frame (origin, x, y, z = normal).
#pragma once

#include "platform/geometry/point.h"

class ON_Xform;

// a x + b y + c z + d = 0 with (a, b, c) the unit normal.
struct ON_PlaneEquation
{
    double x = 0.0, y = 0.0, z = 0.0, d = 0.0;
    double ValueAt(const ON_3dPoint& p) const { return x * p.x + y * p.y + z * p.z + d; }
};

class ON_Plane
{
public:
    ON_3dPoint origin;
    ON_3dVector xaxis{1.0, 0.0, 0.0};
    ON_3dVector yaxis{0.0, 1.0, 0.0};
    ON_3dVector zaxis{0.0, 0.0, 1.0};
    ON_PlaneEquation plane_equation{0.0, 0.0, 1.0, 0.0};

    // The world xy plane.
    ON_Plane() = default;
    // Plane through the origin with the normal; x and y axes are chosen.
    ON_Plane(const ON_3dPoint& origin, const ON_3dVector& normal);
    // Plane through the origin spanned by x and y: the frame is made
    // orthonormal (x unitised, y made perpendicular to x in the xy span).
    ON_Plane(const ON_3dPoint& origin, const ON_3dVector& x_dir, const ON_3dVector& y_dir);

    static const ON_Plane World_xy;

    bool CreateFromNormal(const ON_3dPoint& origin, const ON_3dVector& normal);
    bool CreateFromFrame(const ON_3dPoint& origin, const ON_3dVector& x_dir, const ON_3dVector& y_dir);
    // Recomputes the equation from the origin and z axis.
    bool UpdateEquation();
    bool IsValid() const;

    const ON_3dPoint& Origin() const { return origin; }
    const ON_3dVector& Normal() const { return zaxis; }
    void SetOrigin(const ON_3dPoint& p);
    ON_3dPoint PointAt(double s, double t) const { return origin + s * xaxis + t * yaxis; }
    ON_3dPoint PointAt(double s, double t, double c) const { return origin + s * xaxis + t * yaxis + c * zaxis; }
    // Frame coordinates (s, t) of the projection of p.
    bool ClosestPointTo(const ON_3dPoint& p, double* s, double* t) const;
    ON_3dPoint ClosestPointTo(const ON_3dPoint& p) const;
    // Signed distance, positive on the normal's side.
    double DistanceTo(const ON_3dPoint& p) const;
    void Flip();
    bool Transform(const ON_Xform& xform);
};
