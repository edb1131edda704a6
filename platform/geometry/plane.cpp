#include "platform/geometry/plane.h"

#include "platform/geometry/xform.h"

#include <cmath>

const ON_Plane ON_Plane::World_xy;

ON_Plane::ON_Plane(const ON_3dPoint& o, const ON_3dVector& normal)
{
    CreateFromNormal(o, normal);
}

ON_Plane::ON_Plane(const ON_3dPoint& o, const ON_3dVector& x_dir, const ON_3dVector& y_dir)
{
    CreateFromFrame(o, x_dir, y_dir);
}

bool ON_Plane::CreateFromNormal(const ON_3dPoint& o, const ON_3dVector& normal)
{
    origin = o;
    zaxis = normal;
    const bool ok = zaxis.Unitize() && xaxis.PerpendicularTo(zaxis);
    if (ok)
    {
        yaxis = ON_CrossProduct(zaxis, xaxis);
        yaxis.Unitize();
    }
    UpdateEquation();
    return ok && IsValid();
}

bool ON_Plane::CreateFromFrame(const ON_3dPoint& o, const ON_3dVector& x_dir, const ON_3dVector& y_dir)
{
    origin = o;
    xaxis = x_dir;
    bool ok = xaxis.Unitize();
    yaxis = y_dir - ON_DotProduct(y_dir, xaxis) * xaxis;
    ok = yaxis.Unitize() && ok;
    zaxis = ON_CrossProduct(xaxis, yaxis);
    ok = zaxis.Unitize() && ok;
    UpdateEquation();
    return ok && IsValid();
}

bool ON_Plane::UpdateEquation()
{
    plane_equation.x = zaxis.x;
    plane_equation.y = zaxis.y;
    plane_equation.z = zaxis.z;
    plane_equation.d = -(zaxis.x * origin.x + zaxis.y * origin.y + zaxis.z * origin.z);
    return plane_equation.d == plane_equation.d;
}

bool ON_Plane::IsValid() const
{
    if (!origin.IsValid() || !xaxis.IsUnitVector() || !yaxis.IsUnitVector() || !zaxis.IsUnitVector())
        return false;
    const double tol = 1.0e-8;
    if (std::fabs(ON_DotProduct(xaxis, yaxis)) > tol || std::fabs(ON_DotProduct(yaxis, zaxis)) > tol ||
        std::fabs(ON_DotProduct(zaxis, xaxis)) > tol)
        return false;
    // Right-handed.
    return ON_DotProduct(ON_CrossProduct(xaxis, yaxis), zaxis) > 0.0;
}

void ON_Plane::SetOrigin(const ON_3dPoint& p)
{
    origin = p;
    UpdateEquation();
}

bool ON_Plane::ClosestPointTo(const ON_3dPoint& p, double* s, double* t) const
{
    const ON_3dVector v = p - origin;
    if (s)
        *s = ON_DotProduct(v, xaxis);
    if (t)
        *t = ON_DotProduct(v, yaxis);
    return true;
}

ON_3dPoint ON_Plane::ClosestPointTo(const ON_3dPoint& p) const
{
    double s = 0.0, t = 0.0;
    ClosestPointTo(p, &s, &t);
    return PointAt(s, t);
}

double ON_Plane::DistanceTo(const ON_3dPoint& p) const
{
    return ON_DotProduct(p - origin, zaxis);
}

void ON_Plane::Flip()
{
    const ON_3dVector x = xaxis;
    xaxis = yaxis;
    yaxis = x;
    zaxis = -zaxis;
    UpdateEquation();
}

bool ON_Plane::Transform(const ON_Xform& xform)
{
    const ON_3dPoint o = xform * origin;
    // Axes through point differences, so that projective and non-rigid
    // transforms still give the image plane.
    const ON_3dVector x = xform * (origin + xaxis) - o;
    const ON_3dVector y = xform * (origin + yaxis) - o;
    return CreateFromFrame(o, x, y);
}
