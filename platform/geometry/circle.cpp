#include "platform/geometry/circle.h"

#include "platform/geometry/xform.h"

#include <cmath>

ON_Circle::ON_Circle(const ON_3dPoint& center, double r) : radius(r)
{
    plane.SetOrigin(center);
}

ON_Circle::ON_Circle(const ON_3dPoint& p, const ON_3dPoint& q, const ON_3dPoint& r)
{
    Create(p, q, r);
}

bool ON_Circle::Create(const ON_3dPoint& p, const ON_3dPoint& q, const ON_3dPoint& r)
{
    // Circumcentre by barycentric weights of the side lengths.
    const ON_3dVector a = p - r, b = q - r;
    const ON_3dVector axb = ON_CrossProduct(a, b);
    const double den = 2.0 * ON_DotProduct(axb, axb);
    const double scale = a.LengthSquared() * b.LengthSquared();
    if (!(den > 1.0e-24 * scale) || !std::isfinite(den))
    {
        radius = 0.0;
        return false;
    }
    const ON_3dVector c = ON_CrossProduct(a.LengthSquared() * b - b.LengthSquared() * a, axb) / den;
    const ON_3dPoint center = r + c;
    ON_3dVector x = p - center;
    if (!plane.CreateFromFrame(center, x, ON_CrossProduct(axb, x)))
    {
        radius = 0.0;
        return false;
    }
    radius = c.Length();
    return IsValid();
}

ON_3dPoint ON_Circle::PointAt(double angle) const
{
    return plane.PointAt(radius * std::cos(angle), radius * std::sin(angle));
}

ON_3dVector ON_Circle::DerivativeAt(int order, double angle) const
{
    const double c = std::cos(angle), s = std::sin(angle);
    // d^k/dt^k of (cos t, sin t) cycles through (c, s), (-s, c), (-c, -s), (s, -c).
    double u = 0.0, v = 0.0;
    switch (((order % 4) + 4) % 4)
    {
    case 0: u = c, v = s; break;
    case 1: u = -s, v = c; break;
    case 2: u = -c, v = -s; break;
    default: u = s, v = -c; break;
    }
    return radius * (u * plane.xaxis + v * plane.yaxis);
}

ON_3dVector ON_Circle::TangentAt(double angle) const
{
    ON_3dVector t = DerivativeAt(1, angle);
    t.Unitize();
    return t;
}

bool ON_Circle::ClosestPointTo(const ON_3dPoint& p, double* angle) const
{
    double s = 0.0, t = 0.0;
    plane.ClosestPointTo(p, &s, &t);
    if (s == 0.0 && t == 0.0)
    {
        if (angle)
            *angle = 0.0;
        return false;
    }
    double a = std::atan2(t, s);
    if (a < 0.0)
        a += 2.0 * ON_PI;
    if (angle)
        *angle = a;
    return true;
}

ON_3dPoint ON_Circle::ClosestPointTo(const ON_3dPoint& p) const
{
    double a = 0.0;
    ClosestPointTo(p, &a);
    return PointAt(a);
}

bool ON_Circle::Transform(const ON_Xform& xform)
{
    // Rigid and uniformly scaled transforms keep a circle a circle: the
    // radius follows the scale of the transformed x axis.
    const ON_3dPoint c = xform * plane.origin;
    const ON_3dVector rx = xform * (plane.origin + radius * plane.xaxis) - c;
    const ON_3dVector ry = xform * (plane.origin + radius * plane.yaxis) - c;
    if (!plane.CreateFromFrame(c, rx, ry))
        return false;
    radius = rx.Length();
    return IsValid();
}
