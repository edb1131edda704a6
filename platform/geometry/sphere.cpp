#include "platform/geometry/sphere.h"

#include "platform/geometry/circle.h"

#include <cmath>

ON_Sphere::ON_Sphere(const ON_3dPoint& center, double r)
{
    Create(center, r);
}

bool ON_Sphere::Create(const ON_3dPoint& center, double r)
{
    plane = ON_Plane();
    plane.SetOrigin(center);
    radius = r;
    return IsValid();
}

ON_3dVector ON_Sphere::NormalAt(double longitude, double latitude) const
{
    const double cl = std::cos(latitude);
    return cl * std::cos(longitude) * plane.xaxis + cl * std::sin(longitude) * plane.yaxis +
           std::sin(latitude) * plane.zaxis;
}

ON_3dPoint ON_Sphere::PointAt(double longitude, double latitude) const
{
    return plane.origin + radius * NormalAt(longitude, latitude);
}

bool ON_Sphere::ClosestPointTo(const ON_3dPoint& p, double* longitude, double* latitude) const
{
    const ON_3dVector v = p - plane.origin;
    const double x = ON_DotProduct(v, plane.xaxis), y = ON_DotProduct(v, plane.yaxis),
                 z = ON_DotProduct(v, plane.zaxis);
    const double rho = std::hypot(x, y);
    if (rho == 0.0 && z == 0.0)
    {
        if (longitude)
            *longitude = 0.0;
        if (latitude)
            *latitude = 0.0;
        return false;
    }
    double lon = std::atan2(y, x);
    if (lon < 0.0)
        lon += 2.0 * ON_PI;
    if (longitude)
        *longitude = lon;
    if (latitude)
        *latitude = std::atan2(z, rho);
    return true;
}

ON_3dPoint ON_Sphere::ClosestPointTo(const ON_3dPoint& p) const
{
    double lon = 0.0, lat = 0.0;
    ClosestPointTo(p, &lon, &lat);
    return PointAt(lon, lat);
}

bool ON_Sphere::Transform(const ON_Xform& xform)
{
    // A great circle transforms like the sphere: exact for rigid and
    // uniformly scaled transforms.
    ON_Circle great(plane, radius);
    if (!great.Transform(xform))
        return false;
    plane = great.plane;
    radius = great.radius;
    return IsValid();
}
