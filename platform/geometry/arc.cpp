#include "platform/geometry/arc.h"

#include <cmath>

ON_Arc::ON_Arc(const ON_Circle& circle, double angle_radians) : ON_Circle(circle), m_angle(0.0, angle_radians) {}

ON_Arc::ON_Arc(const ON_Circle& circle, const ON_Interval& angle_interval)
    : ON_Circle(circle), m_angle(angle_interval)
{
}

ON_Arc::ON_Arc(const ON_3dPoint& p, const ON_3dPoint& q, const ON_3dPoint& r)
{
    Create(p, q, r);
}

bool ON_Arc::Create(const ON_3dPoint& p, const ON_3dPoint& q, const ON_3dPoint& r)
{
    // The circle's frame starts at p and is oriented so that p, q, r run
    // counter-clockwise, so the arc is [0, angle of r].
    if (!ON_Circle::Create(p, q, r))
    {
        m_angle.Set(0.0, 0.0);
        return false;
    }
    double end = 0.0;
    ON_Circle::ClosestPointTo(r, &end);
    if (!(end > 0.0))
        end = 2.0 * ON_PI;
    m_angle.Set(0.0, end);
    return IsValid();
}

bool ON_Arc::IsValid() const
{
    const double a = AngleRadians();
    return ON_Circle::IsValid() && m_angle.IsIncreasing() && a <= 2.0 * ON_PI * (1.0 + 1.0e-12) && a > 1.0e-12;
}

bool ON_Arc::ClosestPointTo(const ON_3dPoint& p, double* angle) const
{
    double a = 0.0;
    const bool on_axis = !ON_Circle::ClosestPointTo(p, &a);
    // Bring a into [t0, t0 + 2 pi), then pick the nearer end when outside.
    const double t0 = m_angle[0], t1 = m_angle[1];
    double t = t0 + std::fmod(std::fmod(a - t0, 2.0 * ON_PI) + 2.0 * ON_PI, 2.0 * ON_PI);
    if (on_axis)
        t = t0;
    else if (t > t1)
    {
        const double d0 = p.DistanceTo(PointAt(t0));
        const double d1 = p.DistanceTo(PointAt(t1));
        t = d0 < d1 ? t0 : t1;
    }
    if (angle)
        *angle = t;
    return true;
}

ON_3dPoint ON_Arc::ClosestPointTo(const ON_3dPoint& p) const
{
    double t = m_angle[0];
    ClosestPointTo(p, &t);
    return PointAt(t);
}

bool ON_Arc::Reverse()
{
    if (!m_angle.IsIncreasing())
        return false;
    // Mirror the frame about its x axis: the angle interval negates.
    plane.yaxis = -plane.yaxis;
    plane.zaxis = -plane.zaxis;
    plane.UpdateEquation();
    m_angle.Set(-m_angle[1], -m_angle[0]);
    return true;
}
