// Circular arc: a circle and an increasing angle interval (radians).
#pragma once

#include "platform/geometry/circle.h"
#include "platform/geometry/interval.h"

class ON_Arc : public ON_Circle
{
public:
    ON_Interval m_angle{0.0, 2.0 * ON_PI};

    ON_Arc() = default;
    ON_Arc(const ON_Circle& circle, double angle_radians);
    ON_Arc(const ON_Circle& circle, const ON_Interval& angle_interval);
    // The arc that starts at p, passes through q and ends at r; invalid for
    // collinear or coincident points.
    ON_Arc(const ON_3dPoint& p, const ON_3dPoint& q, const ON_3dPoint& r);

    bool Create(const ON_3dPoint& p, const ON_3dPoint& q, const ON_3dPoint& r);
    bool IsValid() const;
    bool IsCircle() const { return AngleRadians() >= 2.0 * ON_PI * (1.0 - 1.0e-12); }
    ON_Interval Domain() const { return m_angle; }
    double AngleRadians() const { return m_angle.Length(); }
    double Length() const { return radius * AngleRadians(); }
    ON_3dPoint StartPoint() const { return PointAt(m_angle[0]); }
    ON_3dPoint MidPoint() const { return PointAt(m_angle.Mid()); }
    ON_3dPoint EndPoint() const { return PointAt(m_angle[1]); }
    // Angle inside the arc's interval of the closest point on the arc.
    bool ClosestPointTo(const ON_3dPoint& p, double* angle) const;
    ON_3dPoint ClosestPointTo(const ON_3dPoint& p) const;
    bool Reverse();
};
