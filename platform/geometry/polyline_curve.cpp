#include "platform/geometry/polyline_curve.h"

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/line.h"
#include "platform/geometry/xform.h"

#include <algorithm>
#include <cmath>
#include <limits>

ON_PolylineCurve::ON_PolylineCurve(const ON_SimpleArray<ON_3dPoint>& points)
{
    SetPoints(points);
}

void ON_PolylineCurve::SetPoints(const ON_SimpleArray<ON_3dPoint>& points)
{
    m_pline = points;
    m_t.SetCount(points.Count());
    for (int i = 0; i < points.Count(); ++i)
        m_t[i] = i;
}

void ON_PolylineCurve::Destroy()
{
    m_pline.Destroy();
    m_t.Destroy();
}

ON_3dPoint ON_PolylineCurve::Point(int i) const
{
    const ON_3dPoint* p = m_pline.At(i);
    return p ? *p : ON_UNSET_POINT;
}

bool ON_PolylineCurve::IsValid(ON_TextLog*) const
{
    if (m_pline.Count() < 2 || m_t.Count() != m_pline.Count())
        return false;
    for (int i = 0; i < m_pline.Count(); ++i)
    {
        if (!m_pline[i].IsValid() || !ON_IsValid(m_t[i]))
            return false;
        if (i > 0 && !(m_t[i - 1] < m_t[i]))
            return false;
    }
    return true;
}

ON_BoundingBox ON_PolylineCurve::BoundingBox() const
{
    ON_BoundingBox box;
    for (const ON_3dPoint& p : m_pline)
        box.Set(p, true);
    return box;
}

bool ON_PolylineCurve::Transform(const ON_Xform& xform)
{
    for (ON_3dPoint& p : m_pline)
        p = xform * p;
    return true;
}

ON_Interval ON_PolylineCurve::Domain() const
{
    return on_curve_detail::BreakpointDomain(m_t);
}

bool ON_PolylineCurve::SetDomain(double t0, double t1)
{
    return on_curve_detail::RescaleBreakpoints(m_t, t0, t1);
}

bool ON_PolylineCurve::GetSpanVector(double* span_bounds) const
{
    if (!span_bounds || m_t.Count() < 2)
        return false;
    std::copy(m_t.begin(), m_t.end(), span_bounds);
    return true;
}

int ON_PolylineCurve::SegmentIndex(double t, int side) const
{
    const int n = m_t.Count();
    int i = static_cast<int>(std::upper_bound(m_t.begin(), m_t.end(), t) - m_t.begin()) - 1;
    if (side < 0 && i > 0 && i < n && t == m_t[i])
        --i;
    return std::clamp(i, 0, n - 2);
}

bool ON_PolylineCurve::Evaluate(double t, int der_count, ON_3dVector* values, int side) const
{
    if (!values || der_count < 0 || m_pline.Count() < 2 || m_t.Count() != m_pline.Count() || !ON_IsValid(t))
        return false;
    const int i = SegmentIndex(t, side);
    const double length = m_t[i + 1] - m_t[i];
    if (!(length > 0.0))
        return false;
    const ON_Line segment(m_pline[i], m_pline[i + 1]);
    values[0] = ON_3dVector(segment.PointAt((t - m_t[i]) / length));
    if (der_count >= 1)
        values[1] = segment.Direction() / length;
    for (int k = 2; k <= der_count; ++k)
        values[k] = ON_3dVector();
    return true;
}

bool ON_PolylineCurve::Reverse()
{
    m_pline.Reverse();
    m_t.Reverse();
    for (double& t : m_t)
        t = -t;
    return true;
}

bool ON_PolylineCurve::GetClosestPoint(const ON_3dPoint& p, double* t, double maximum_distance,
                                       const ON_Interval* sub_domain) const
{
    const ON_Interval d = Domain();
    if (!p.IsValid() || !d.IsIncreasing() || m_t.Count() != m_pline.Count())
        return false;
    double a = d[0], b = d[1];
    if (sub_domain)
    {
        a = std::max(a, sub_domain->Min());
        b = std::min(b, sub_domain->Max());
        if (!(a <= b))
            return false;
    }
    double best = std::numeric_limits<double>::infinity(), best_t = a;
    for (int i = 0; i + 1 < m_pline.Count(); ++i)
    {
        const double lo = std::max(a, m_t[i]), hi = std::min(b, m_t[i + 1]);
        if (lo > hi)
            continue;
        const ON_Line segment(m_pline[i], m_pline[i + 1]);
        double s = 0.0;
        segment.ClosestPointTo(p, &s);
        const double u = std::clamp(m_t[i] + s * (m_t[i + 1] - m_t[i]), lo, hi);
        const double dist = p.DistanceTo(segment.PointAt((u - m_t[i]) / (m_t[i + 1] - m_t[i])));
        if (dist < best)
            best = dist, best_t = u;
    }
    if (!std::isfinite(best) || (maximum_distance > 0.0 && best > maximum_distance))
        return false;
    if (t)
        *t = best_t;
    return true;
}

bool ON_PolylineCurve::GetLength(double* length, double, const ON_Interval* sub_domain) const
{
    const ON_Interval d = Domain();
    if (!length || !d.IsIncreasing() || m_t.Count() != m_pline.Count())
        return false;
    double a = d[0], b = d[1];
    if (sub_domain)
    {
        if (!sub_domain->IsValid() || sub_domain->IsDecreasing())
            return false;
        a = std::max(a, (*sub_domain)[0]);
        b = std::min(b, (*sub_domain)[1]);
        if (!(a <= b))
            return false;
    }
    double total = 0.0;
    for (int i = 0; i + 1 < m_pline.Count(); ++i)
    {
        const double lo = std::max(a, m_t[i]), hi = std::min(b, m_t[i + 1]);
        if (lo < hi)
            total += m_pline[i].DistanceTo(m_pline[i + 1]) * (hi - lo) / (m_t[i + 1] - m_t[i]);
    }
    *length = total;
    return true;
}

bool ON_PolylineCurve::Write(ON_BinaryArchive& archive) const
{
    if (m_t.Count() != m_pline.Count() || !archive.WriteInt(m_pline.Count()))
        return false;
    for (const ON_3dPoint& p : m_pline)
        if (!on_curve_detail::WritePoint(archive, p))
            return false;
    for (double t : m_t)
        if (!archive.WriteDouble(t))
            return false;
    return true;
}

bool ON_PolylineCurve::Read(ON_BinaryArchive& archive)
{
    int count = 0;
    if (!archive.ReadInt(&count) || count < 2)
        return false;
    ON_PolylineCurve read;
    for (int i = 0; i < count; ++i)
    {
        ON_3dPoint p;
        if (!on_curve_detail::ReadPoint(archive, p))
            return false;
        read.m_pline.Append(p);
    }
    for (int i = 0; i < count; ++i)
    {
        double t = 0.0;
        if (!on_curve_detail::ReadFinite(archive, &t))
            return false;
        read.m_t.Append(t);
    }
    if (!read.IsValid())
        return false;
    *this = read;
    return true;
}
