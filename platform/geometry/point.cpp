#include "platform/geometry/point.h"

#include "platform/geometry/vector_length.h"
#include "platform/geometry/xform.h"

#include <cmath>

const ON_3dPoint ON_origin(0.0, 0.0, 0.0);
const ON_3dPoint ON_UNSET_POINT(ON_UNSET_VALUE, ON_UNSET_VALUE, ON_UNSET_VALUE);
const ON_3dVector ON_xaxis(1.0, 0.0, 0.0);
const ON_3dVector ON_yaxis(0.0, 1.0, 0.0);
const ON_3dVector ON_zaxis(0.0, 0.0, 1.0);

ON_3dPoint::ON_3dPoint(const ON_3fPoint& p) : x(p.x), y(p.y), z(p.z) {}
ON_3dPoint::ON_3dPoint(const ON_3dVector& v) : x(v.x), y(v.y), z(v.z) {}

ON_3dPoint& ON_3dPoint::operator+=(const ON_3dVector& v)
{
    x += v.x, y += v.y, z += v.z;
    return *this;
}
ON_3dPoint& ON_3dPoint::operator-=(const ON_3dVector& v)
{
    x -= v.x, y -= v.y, z -= v.z;
    return *this;
}
ON_3dPoint& ON_3dPoint::operator*=(double s)
{
    x *= s, y *= s, z *= s;
    return *this;
}
ON_3dPoint& ON_3dPoint::operator/=(double s)
{
    x /= s, y /= s, z /= s;
    return *this;
}

double ON_3dPoint::DistanceTo(const ON_3dPoint& p) const
{
    return (p - *this).Length();
}

void ON_3dPoint::Transform(const ON_Xform& xform)
{
    *this = xform * *this;
}

ON_3dVector& ON_3dVector::operator+=(const ON_3dVector& v)
{
    x += v.x, y += v.y, z += v.z;
    return *this;
}
ON_3dVector& ON_3dVector::operator-=(const ON_3dVector& v)
{
    x -= v.x, y -= v.y, z -= v.z;
    return *this;
}
ON_3dVector& ON_3dVector::operator*=(double s)
{
    x *= s, y *= s, z *= s;
    return *this;
}
ON_3dVector& ON_3dVector::operator/=(double s)
{
    x /= s, y /= s, z /= s;
    return *this;
}

double ON_3dVector::Length() const
{
    return vector_length::Length(x, y, z);
}

bool ON_3dVector::IsTiny(double tiny_tol) const
{
    return std::fabs(x) <= tiny_tol && std::fabs(y) <= tiny_tol && std::fabs(z) <= tiny_tol;
}

bool ON_3dVector::IsUnitVector() const
{
    return IsValid() && std::fabs(Length() - 1.0) <= 1.0e-8;
}

bool ON_3dVector::Unitize()
{
    return vector_length::Unitize(x, y, z);
}

int ON_3dVector::IsParallelTo(const ON_3dVector& v, double angle_tolerance) const
{
    const double ll = Length() * v.Length();
    if (!(ll > 0.0) || !std::isfinite(ll))
        return 0;
    const double cos_angle = ON_DotProduct(*this, v) / ll;
    const double cos_tol = std::cos(angle_tolerance);
    if (cos_angle >= cos_tol)
        return 1;
    if (cos_angle <= -cos_tol)
        return -1;
    return 0;
}

bool ON_3dVector::IsPerpendicularTo(const ON_3dVector& v, double angle_tolerance) const
{
    const double ll = Length() * v.Length();
    if (!(ll > 0.0) || !std::isfinite(ll))
        return false;
    return std::fabs(ON_DotProduct(*this, v) / ll) <= std::sin(angle_tolerance);
}

bool ON_3dVector::PerpendicularTo(const ON_3dVector& v)
{
    // Cross with the world axis least aligned with v: never near-parallel.
    const double ax = std::fabs(v.x), ay = std::fabs(v.y), az = std::fabs(v.z);
    ON_3dVector e = ax <= ay && ax <= az ? ON_xaxis : (ay <= az ? ON_yaxis : ON_zaxis);
    ON_3dVector p = ON_CrossProduct(v, e);
    if (!p.Unitize())
        return false;
    *this = p;
    return true;
}

void ON_3dVector::Transform(const ON_Xform& xform)
{
    *this = xform * *this;
}

double ON_3fPoint::DistanceTo(const ON_3fPoint& p) const
{
    return (ON_3dPoint(p) - ON_3dPoint(*this)).Length();
}

double ON_3fVector::Length() const
{
    return ON_3dVector(x, y, z).Length();
}

bool ON_3fVector::Unitize()
{
    ON_3dVector v(x, y, z);
    if (!v.Unitize())
        return false;
    *this = ON_3fVector(v);
    return true;
}

ON_3dPoint operator+(const ON_3dPoint& p, const ON_3dVector& v)
{
    return {p.x + v.x, p.y + v.y, p.z + v.z};
}
ON_3dPoint operator-(const ON_3dPoint& p, const ON_3dVector& v)
{
    return {p.x - v.x, p.y - v.y, p.z - v.z};
}
ON_3dVector operator-(const ON_3dPoint& a, const ON_3dPoint& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
ON_3dPoint operator*(double s, const ON_3dPoint& p)
{
    return {s * p.x, s * p.y, s * p.z};
}
ON_3dPoint operator*(const ON_3dPoint& p, double s)
{
    return {s * p.x, s * p.y, s * p.z};
}
ON_3dPoint operator/(const ON_3dPoint& p, double s)
{
    return {p.x / s, p.y / s, p.z / s};
}
bool operator==(const ON_3dPoint& a, const ON_3dPoint& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
bool operator!=(const ON_3dPoint& a, const ON_3dPoint& b)
{
    return !(a == b);
}

ON_3dVector operator+(const ON_3dVector& a, const ON_3dVector& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
ON_3dVector operator-(const ON_3dVector& a, const ON_3dVector& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
ON_3dVector operator*(double s, const ON_3dVector& v)
{
    return {s * v.x, s * v.y, s * v.z};
}
ON_3dVector operator*(const ON_3dVector& v, double s)
{
    return {s * v.x, s * v.y, s * v.z};
}
ON_3dVector operator/(const ON_3dVector& v, double s)
{
    return {v.x / s, v.y / s, v.z / s};
}
bool operator==(const ON_3dVector& a, const ON_3dVector& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
bool operator!=(const ON_3dVector& a, const ON_3dVector& b)
{
    return !(a == b);
}

bool operator==(const ON_3fPoint& a, const ON_3fPoint& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
bool operator!=(const ON_3fPoint& a, const ON_3fPoint& b)
{
    return !(a == b);
}

double ON_DotProduct(const ON_3dVector& a, const ON_3dVector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

ON_3dVector ON_CrossProduct(const ON_3dVector& a, const ON_3dVector& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
