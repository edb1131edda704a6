#include "platform/geometry/cylinder.h"

#include "platform/geometry/nurbs_surface.h"
#include "platform/geometry/rev_surface.h"
#include "platform/geometry/xform.h"

#include <cmath>
#include <utility>

ON_Cylinder::ON_Cylinder(const ON_Circle& c, double h)
{
    Create(c, h);
}

bool ON_Cylinder::Create(const ON_Circle& c, double h)
{
    circle = c;
    if (h >= 0.0)
        height[0] = 0.0, height[1] = h;
    else
        height[0] = h, height[1] = 0.0;
    return IsValid();
}

bool ON_Cylinder::IsValid() const
{
    return circle.IsValid() && ON_IsValid(height[0]) && ON_IsValid(height[1]) && height[0] <= height[1];
}

ON_Line ON_Cylinder::AxisLine() const
{
    return {Center() + height[0] * Axis(), Center() + height[1] * Axis()};
}

ON_3dPoint ON_Cylinder::PointAt(double angle, double h) const
{
    return circle.PointAt(angle) + h * Axis();
}

ON_3dVector ON_Cylinder::NormalAt(double angle) const
{
    return std::cos(angle) * circle.plane.xaxis + std::sin(angle) * circle.plane.yaxis;
}

bool ON_Cylinder::ClosestPointTo(const ON_3dPoint& p, double* angle, double* h) const
{
    double a = 0.0;
    const bool off_axis = circle.ClosestPointTo(p, &a);
    double t = ON_DotProduct(p - Center(), Axis());
    if (IsFinite())
        t = t < height[0] ? height[0] : (t > height[1] ? height[1] : t);
    if (angle)
        *angle = a;
    if (h)
        *h = t;
    return off_axis;
}

bool ON_Cylinder::Transform(const ON_Xform& xform)
{
    const ON_3dPoint c0 = xform * Center();
    const ON_3dPoint c1 = xform * (Center() + Axis());
    if (!circle.Transform(xform))
        return false;
    // Heights scale with the image of the unit axis.
    const double s = c1.DistanceTo(c0);
    const double h0 = height[0] * s, h1 = height[1] * s;
    // A mirroring transform turns the circle's normal against the axis image.
    if (ON_DotProduct(c1 - c0, Axis()) < 0.0)
        height[0] = -h1, height[1] = -h0;
    else
        height[0] = h0, height[1] = h1;
    return IsValid();
}

int ON_Cylinder::GetNurbForm(ON_NurbsSurface& srf) const
{
    ON_RevSurface rev;
    if (RevSurfaceForm(&rev) == nullptr)
        return 0;
    return rev.GetNurbForm(srf) != 0 ? 2 : 0;
}

ON_RevSurface* ON_Cylinder::RevSurfaceForm(ON_RevSurface* srf) const
{
    if (!IsValid() || !IsFinite())
        return nullptr;
    ON_RevSurface form;
    form.m_curve = ON_NurbsCurveData(3, false, 2, 2);
    const double knots[4] = {height[0], height[0], height[1], height[1]};
    form.m_curve.knot.assign(knots, knots + 4);
    const ON_3dPoint rim = circle.PointAt(0.0);
    const ON_3dPoint p0 = rim + height[0] * Axis();
    const ON_3dPoint p1 = rim + height[1] * Axis();
    form.m_curve.SetCV(0, &p0.x);
    form.m_curve.SetCV(1, &p1.x);
    form.m_axis = ON_Line(Center(), Center() + Axis());
    form.m_angle.Set(0.0, 2.0 * ON_PI);
    form.m_t = form.m_angle;
    ON_RevSurface* out = srf != nullptr ? srf : new ON_RevSurface();
    *out = std::move(form);
    return out;
}
