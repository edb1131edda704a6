// A line segment from `from` to `to`, parameterised 0..1.
#pragma once

#include "platform/geometry/point.h"

class ON_Xform;

class ON_Line
{
public:
    ON_3dPoint from;
    ON_3dPoint to;

    ON_Line() = default;
    ON_Line(const ON_3dPoint& start, const ON_3dPoint& end) : from(start), to(end) {}

    ON_3dPoint& operator[](int i) { return i == 0 ? from : to; }
    const ON_3dPoint& operator[](int i) const { return i == 0 ? from : to; }

    bool IsValid() const { return from.IsValid() && to.IsValid() && from != to; }
    double Length() const { return from.DistanceTo(to); }
    ON_3dVector Direction() const { return to - from; }
    ON_3dVector Tangent() const;
    ON_3dPoint PointAt(double t) const;
    // Parameter of the projection of p on the infinite line; false when the
    // line has zero length.
    bool ClosestPointTo(const ON_3dPoint& p, double* t) const;
    // Closest point on the segment.
    ON_3dPoint ClosestPointTo(const ON_3dPoint& p) const;
    double DistanceTo(const ON_3dPoint& p) const { return p.DistanceTo(ClosestPointTo(p)); }
    bool Transform(const ON_Xform& xform);
    void Reverse();
};
