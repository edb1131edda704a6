#include "platform/geometry/line_curve.h"

#include "platform/geometry/binary_archive.h"

#include <algorithm>
#include <cmath>

bool ON_LineCurve::IsValid(ON_TextLog*) const
{
    return m_line.IsValid() && m_t.IsIncreasing();
}

ON_BoundingBox ON_LineCurve::BoundingBox() const
{
    ON_BoundingBox box;
    box.Set(m_line.from, false);
    box.Set(m_line.to, true);
    return box;
}

bool ON_LineCurve::Transform(const ON_Xform& xform)
{
    return m_line.Transform(xform);
}

bool ON_LineCurve::SetDomain(double t0, double t1)
{
    if (!(t0 < t1) || !ON_IsValid(t0) || !ON_IsValid(t1))
        return false;
    m_t.Set(t0, t1);
    return true;
}

bool ON_LineCurve::GetSpanVector(double* span_bounds) const
{
    if (!span_bounds)
        return false;
    span_bounds[0] = m_t[0];
    span_bounds[1] = m_t[1];
    return true;
}

bool ON_LineCurve::Evaluate(double t, int der_count, ON_3dVector* values, int) const
{
    if (!values || der_count < 0 || !m_t.IsIncreasing() || !ON_IsValid(t))
        return false;
    const double length = m_t.Length();
    values[0] = ON_3dVector(m_line.PointAt((t - m_t[0]) / length));
    if (der_count >= 1)
        values[1] = m_line.Direction() / length;
    for (int k = 2; k <= der_count; ++k)
        values[k] = ON_3dVector();
    return true;
}

bool ON_LineCurve::Reverse()
{
    m_line.Reverse();
    m_t.Set(-m_t[1], -m_t[0]);
    return true;
}

bool ON_LineCurve::GetClosestPoint(const ON_3dPoint& p, double* t, double maximum_distance,
                                   const ON_Interval* sub_domain) const
{
    if (!p.IsValid() || !m_t.IsIncreasing())
        return false;
    double a = m_t[0], b = m_t[1];
    if (sub_domain)
    {
        a = std::max(a, sub_domain->Min());
        b = std::min(b, sub_domain->Max());
        if (!(a <= b))
            return false;
    }
    double s = 0.0;
    m_line.ClosestPointTo(p, &s); // s stays 0 for a line of zero length
    // Coordinates near the top of the double range overflow the projection.
    if (!std::isfinite(s))
        return false;
    // The closest point of a segment lies on it: s is kept within [0, 1]
    // before it is mapped, so that a tiny segment (s far beyond its ends) on a
    // domain near the top of the double range gives an end, not inf - inf.
    const double u = std::clamp(m_t.ParameterAt(std::clamp(s, 0.0, 1.0)), a, b);
    if (maximum_distance > 0.0 && p.DistanceTo(PointAt(u)) > maximum_distance)
        return false;
    if (t)
        *t = u;
    return true;
}

bool ON_LineCurve::GetLength(double* length, double, const ON_Interval* sub_domain) const
{
    if (!length || !m_t.IsIncreasing())
        return false;
    double a = m_t[0], b = m_t[1];
    if (sub_domain)
    {
        if (!sub_domain->IsValid() || sub_domain->IsDecreasing())
            return false;
        a = std::max(a, (*sub_domain)[0]);
        b = std::min(b, (*sub_domain)[1]);
        if (!(a <= b))
            return false;
    }
    *length = m_line.Length() * (b - a) / m_t.Length();
    return true;
}

bool ON_LineCurve::Write(ON_BinaryArchive& archive) const
{
    using namespace on_curve_detail;
    return WritePoint(archive, m_line.from) && WritePoint(archive, m_line.to) && WriteInterval(archive, m_t);
}

bool ON_LineCurve::Read(ON_BinaryArchive& archive)
{
    using namespace on_curve_detail;
    ON_Line line;
    ON_Interval t;
    if (!ReadPoint(archive, line.from) || !ReadPoint(archive, line.to) || !ReadInterval(archive, t))
        return false;
    // A line whose ends coincide has no direction: nothing can evaluate it.
    if (!line.IsValid())
        return false;
    m_line = line;
    m_t = t;
    return true;
}
