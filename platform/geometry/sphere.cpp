#include "platform/geometry/sphere.h"

#include "platform/geometry/circle.h"
#include "platform/geometry/nurbs_surface.h"
#include "platform/geometry/rev_surface.h"

#include <cmath>
#include <utility>

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

namespace
{

// The semicircle (radial, axial) control points and weights from the south
// pole to the north pole, in units of the radius.
constexpr double kSemicircle[5][3] = {
    {0.0, -1.0, 1.0}, {1.0, -1.0, 0.70710678118654752}, {1.0, 0.0, 1.0}, {1.0, 1.0, 0.70710678118654752},
    {0.0, 1.0, 1.0}};

} // namespace

int ON_Sphere::GetNurbForm(ON_NurbsSurface& srf) const
{
    if (!IsValid())
        return 0;
    // The full circle about the axis is the revolution form's own NURBS form.
    ON_RevSurface rev;
    if (RevSurfaceForm(false, &rev) == nullptr)
        return 0;
    return rev.GetNurbForm(srf) != 0 ? 2 : 0;
}

ON_RevSurface* ON_Sphere::RevSurfaceForm(bool arc_length_parameterization, ON_RevSurface* srf) const
{
    if (!IsValid())
        return nullptr;
    ON_RevSurface form;
    form.m_curve = ON_NurbsCurveData(3, true, 3, 5);
    const double half = 0.5 * ON_PI;
    const double knots[8] = {-half, -half, -half, 0.0, 0.0, half, half, half};
    form.m_curve.knot.assign(knots, knots + 8);
    for (int i = 0; i < 5; ++i)
    {
        const ON_3dPoint p =
            plane.origin + radius * (kSemicircle[i][0] * plane.xaxis + kSemicircle[i][1] * plane.zaxis);
        form.m_curve.SetCV(i, &p.x, kSemicircle[i][2]);
    }
    form.m_axis = ON_Line(plane.origin, plane.origin + plane.zaxis);
    form.m_angle.Set(0.0, 2.0 * ON_PI);
    form.m_t = form.m_angle;
    if (arc_length_parameterization)
    {
        form.m_curve.SetDomain(-half * radius, half * radius);
        form.m_t.Set(0.0, 2.0 * ON_PI * radius);
    }
    ON_RevSurface* out = srf != nullptr ? srf : new ON_RevSurface();
    *out = std::move(form);
    return out;
}
