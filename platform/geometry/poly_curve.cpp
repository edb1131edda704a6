#include "platform/geometry/poly_curve.h"

#include "platform/geometry/binary_archive.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace
{
constexpr int kMaxReadDepth = 8;
}

ON_PolyCurve::ON_PolyCurve(const ON_PolyCurve& other) : ON_Curve(other)
{
    *this = other;
}

ON_PolyCurve& ON_PolyCurve::operator=(const ON_PolyCurve& other)
{
    if (this == &other)
        return *this;
    Destroy();
    for (ON_Curve* c : other.m_segment)
        m_segment.Append(c ? c->Duplicate() : nullptr);
    m_t = other.m_t;
    return *this;
}

ON_PolyCurve::~ON_PolyCurve()
{
    Destroy();
}

void ON_PolyCurve::Destroy()
{
    for (ON_Curve* c : m_segment)
        delete c;
    m_segment.Destroy();
    m_t.Destroy();
}

bool ON_PolyCurve::Append(ON_Curve* segment)
{
    if (!segment || segment == this || !segment->IsValid())
        return false;
    const ON_Interval d = segment->Domain();
    if (m_t.Count() == 0)
        m_t.Append(d[0]);
    const double start = m_t[m_t.Count() - 1];
    const double end = start + d.Length();
    if (!(end > start))
        return false;
    m_t.Append(end);
    m_segment.Append(segment);
    return true;
}

ON_Curve* ON_PolyCurve::SegmentCurve(int i) const
{
    ON_Curve* const* c = m_segment.At(i);
    return c ? *c : nullptr;
}

ON_Interval ON_PolyCurve::SegmentDomain(int i) const
{
    if (i < 0 || i >= m_segment.Count() || m_t.Count() != m_segment.Count() + 1)
        return ON_Interval();
    return ON_Interval(m_t[i], m_t[i + 1]);
}

int ON_PolyCurve::SegmentIndex(double t, int side) const
{
    const int n = m_segment.Count();
    if (n == 0 || m_t.Count() != n + 1)
        return -1;
    int i = static_cast<int>(std::upper_bound(m_t.begin(), m_t.end(), t) - m_t.begin()) - 1;
    if (side < 0 && i > 0 && i <= n && t == m_t[i])
        --i;
    return std::clamp(i, 0, n - 1);
}

double ON_PolyCurve::SegmentParameter(int i, double t) const
{
    const ON_Curve* c = SegmentCurve(i);
    if (!c)
        return ON_UNSET_VALUE;
    const ON_Interval own = c->Domain();
    const ON_Interval piece = SegmentDomain(i);
    if (t == piece[0])
        return own[0];
    if (t == piece[1])
        return own[1];
    return own.ParameterAt((t - piece[0]) / piece.Length());
}

bool ON_PolyCurve::IsValid(ON_TextLog*) const
{
    if (m_segment.Count() == 0 || m_t.Count() != m_segment.Count() + 1)
        return false;
    for (int i = 0; i < m_segment.Count(); ++i)
        if (!m_segment[i] || !m_segment[i]->IsValid() || !(m_t[i] < m_t[i + 1]))
            return false;
    return true;
}

ON_BoundingBox ON_PolyCurve::BoundingBox() const
{
    ON_BoundingBox box;
    for (const ON_Curve* c : m_segment)
        if (c)
            box.Union(c->BoundingBox());
    return box;
}

bool ON_PolyCurve::Transform(const ON_Xform& xform)
{
    bool ok = true;
    for (ON_Curve* c : m_segment)
        ok = c && c->Transform(xform) && ok;
    return ok;
}

ON_Interval ON_PolyCurve::Domain() const
{
    return on_curve_detail::BreakpointDomain(m_t);
}

bool ON_PolyCurve::SetDomain(double t0, double t1)
{
    return on_curve_detail::RescaleBreakpoints(m_t, t0, t1);
}

int ON_PolyCurve::SpanCount() const
{
    int count = 0;
    for (const ON_Curve* c : m_segment)
        count += c ? c->SpanCount() : 0;
    return count;
}

bool ON_PolyCurve::GetSpanVector(double* span_bounds) const
{
    if (!span_bounds || !IsValid())
        return false;
    int n = 0;
    span_bounds[n++] = m_t[0];
    std::vector<double> own;
    for (int i = 0; i < m_segment.Count(); ++i)
    {
        const ON_Curve* c = m_segment[i];
        own.resize(static_cast<std::size_t>(c->SpanCount()) + 1);
        if (!c->GetSpanVector(own.data()))
            return false;
        const ON_Interval d = c->Domain();
        for (std::size_t k = 1; k < own.size(); ++k)
            span_bounds[n++] = k + 1 == own.size() ? m_t[i + 1]
                                                   : m_t[i] + (own[k] - d[0]) / d.Length() * (m_t[i + 1] - m_t[i]);
    }
    return true;
}

int ON_PolyCurve::Degree() const
{
    int degree = 0;
    for (const ON_Curve* c : m_segment)
        if (c)
            degree = std::max(degree, c->Degree());
    return degree;
}

bool ON_PolyCurve::Evaluate(double t, int der_count, ON_3dVector* values, int side) const
{
    if (!values || der_count < 0 || !ON_IsValid(t))
        return false;
    const int i = SegmentIndex(t, side);
    const ON_Curve* c = SegmentCurve(i);
    if (!c)
        return false;
    if (!c->Evaluate(SegmentParameter(i, t), der_count, values, side))
        return false;
    // Chain rule for the linear reparameterisation.
    const double rate = c->Domain().Length() / SegmentDomain(i).Length();
    double scale = 1.0;
    for (int k = 1; k <= der_count; ++k)
    {
        scale *= rate;
        values[k] *= scale;
    }
    return true;
}

bool ON_PolyCurve::Reverse()
{
    if (!IsValid())
        return false;
    for (ON_Curve* c : m_segment)
        if (!c->Reverse())
            return false;
    m_segment.Reverse();
    m_t.Reverse();
    for (double& t : m_t)
        t = -t;
    return true;
}

bool ON_PolyCurve::GetClosestPoint(const ON_3dPoint& p, double* t, double maximum_distance,
                                   const ON_Interval* sub_domain) const
{
    const ON_Interval d = Domain();
    if (!p.IsValid() || !IsValid())
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
    for (int i = 0; i < m_segment.Count(); ++i)
    {
        const double lo = std::max(a, m_t[i]), hi = std::min(b, m_t[i + 1]);
        if (lo > hi)
            continue;
        const ON_Curve* c = m_segment[i];
        ON_BoundingBox box = c->BoundingBox();
        if (box.IsValid() && std::isfinite(best))
        {
            const ON_3dPoint q(std::clamp(p.x, box.m_min.x, box.m_max.x), std::clamp(p.y, box.m_min.y, box.m_max.y),
                               std::clamp(p.z, box.m_min.z, box.m_max.z));
            if (q.DistanceTo(p) >= best)
                continue;
        }
        const ON_Interval own(SegmentParameter(i, lo), SegmentParameter(i, hi));
        double s = 0.0;
        if (!c->GetClosestPoint(p, &s, 0.0, &own))
            continue;
        const double dist = p.DistanceTo(c->PointAt(s));
        if (dist < best)
        {
            best = dist;
            const ON_Interval cd = c->Domain();
            best_t = std::clamp(m_t[i] + (s - cd[0]) / cd.Length() * (m_t[i + 1] - m_t[i]), lo, hi);
        }
    }
    if (!std::isfinite(best) || (maximum_distance > 0.0 && best > maximum_distance))
        return false;
    if (t)
        *t = best_t;
    return true;
}

bool ON_PolyCurve::GetLength(double* length, double fractional_tolerance, const ON_Interval* sub_domain) const
{
    const ON_Interval d = Domain();
    if (!length || !IsValid())
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
    for (int i = 0; i < m_segment.Count(); ++i)
    {
        const double lo = std::max(a, m_t[i]), hi = std::min(b, m_t[i + 1]);
        if (!(lo < hi))
            continue;
        const ON_Interval own(SegmentParameter(i, lo), SegmentParameter(i, hi));
        double piece = 0.0;
        if (!m_segment[i]->GetLength(&piece, fractional_tolerance, &own))
            return false;
        total += piece;
    }
    *length = total;
    return true;
}

bool ON_PolyCurve::Write(ON_BinaryArchive& archive) const
{
    if (!IsValid() || !archive.WriteInt(m_segment.Count()))
        return false;
    for (const ON_Curve* c : m_segment)
        if (!ON_WriteCurve(archive, c))
            return false;
    for (double t : m_t)
        if (!archive.WriteDouble(t))
            return false;
    return true;
}

bool ON_PolyCurve::Read(ON_BinaryArchive& archive)
{
    int count = 0;
    if (!archive.ReadInt(&count) || count < 1)
        return false;
    int& depth = on_curve_detail::ReadDepth();
    if (depth >= kMaxReadDepth)
        return false;
    ON_PolyCurve read;
    ++depth;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i)
    {
        std::unique_ptr<ON_Curve> c(ON_ReadCurve(archive));
        ok = c != nullptr;
        if (ok)
            read.m_segment.Append(c.release());
    }
    --depth;
    if (!ok)
        return false;
    for (int i = 0; i <= count; ++i)
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
