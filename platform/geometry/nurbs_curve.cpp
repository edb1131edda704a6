#include "platform/geometry/nurbs_curve.h"

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/nurbs_rational.h"
#include "platform/geometry/xform.h"

#include <algorithm>
#include <cmath>

ON_NurbsCurve::ON_NurbsCurve(int dimension, bool is_rational, int order, int cv_count)
{
    Create(dimension, is_rational, order, cv_count);
}

bool ON_NurbsCurve::Create(int dimension, bool is_rational, int order, int cv_count)
{
    Destroy();
    if (dimension != 3 || order < 2 || order > nurbs_basis::kMaxOrder || cv_count < order || cv_count > (1 << 26))
        return false;
    m_is_rat = is_rational;
    m_order = order;
    m_cv_count = cv_count;
    m_knot.assign(static_cast<std::size_t>(order + cv_count), 0.0);
    m_cv.assign(static_cast<std::size_t>(cv_count) * Stride(), 0.0);
    if (is_rational)
        for (int i = 0; i < cv_count; ++i)
            m_cv[static_cast<std::size_t>(i) * 4 + 3] = 1.0;
    return true;
}

void ON_NurbsCurve::Destroy()
{
    m_is_rat = false;
    m_order = 0;
    m_cv_count = 0;
    m_knot.clear();
    m_cv.clear();
}

bool ON_NurbsCurve::IsValid(ON_TextLog*) const
{
    if (m_order < 2 || m_cv_count < m_order || m_knot.size() != static_cast<std::size_t>(m_order + m_cv_count))
        return false;
    if (!ON_IsValidKnotVector(m_order, m_cv_count, m_knot.data()))
        return false;
    for (int i = 0; i < m_cv_count; ++i)
    {
        const double* cv = &m_cv[static_cast<std::size_t>(i) * Stride()];
        for (int k = 0; k < Stride(); ++k)
            if (!std::isfinite(cv[k]))
                return false;
        if (m_is_rat && !(cv[3] > 0.0))
            return false;
    }
    return true;
}

ON_BoundingBox ON_NurbsCurve::BoundingBox() const
{
    // The control hull holds the curve (positive weights); it is the box
    // that callers get, as tight boxes need no more here.
    ON_BoundingBox box;
    for (int i = 0; i < m_cv_count; ++i)
        box.Set(CV(i), true);
    return box;
}

void ON_NurbsCurve::GetSpanDistanceBounds(const ON_3dPoint& p, const std::pair<double, double>* pieces, int count,
                                          double* lower_bounds) const
{
    const int degree = m_order - 1;
    const int stride = Stride();
    // One walk along the knots: the pieces come in increasing order.
    int span = degree;
    for (int k = 0; k < count; ++k)
    {
        const double mid = 0.5 * (pieces[k].first + pieces[k].second);
        while (span < m_cv_count - 1 && !(mid < m_knot[static_cast<std::size_t>(span) + 1]))
            ++span;
        double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
        for (int i = span - degree; i <= span; ++i)
        {
            const double* cv = &m_cv[static_cast<std::size_t>(i) * stride];
            const double w = m_is_rat ? cv[3] : 1.0;
            for (int c = 0; c < 3; ++c)
            {
                const double x = m_is_rat ? cv[c] / w : cv[c];
                lo[c] = std::min(lo[c], x);
                hi[c] = std::max(hi[c], x);
            }
        }
        double d2 = 0.0;
        for (int c = 0; c < 3; ++c)
        {
            const double d = p[c] < lo[c] ? lo[c] - p[c] : (p[c] > hi[c] ? p[c] - hi[c] : 0.0);
            d2 += d * d;
        }
        lower_bounds[k] = d2 == d2 ? d2 : 0.0;
    }
}

bool ON_NurbsCurve::Transform(const ON_Xform& xform)
{
    for (int i = 0; i < m_cv_count; ++i)
    {
        double* cv = &m_cv[static_cast<std::size_t>(i) * Stride()];
        const double w = m_is_rat ? cv[3] : 1.0;
        double out[4];
        for (int r = 0; r < 4; ++r)
            out[r] = xform.m_xform[r][0] * cv[0] + xform.m_xform[r][1] * cv[1] + xform.m_xform[r][2] * cv[2] +
                     xform.m_xform[r][3] * w;
        if (m_is_rat)
            std::copy(out, out + 4, cv);
        else
        {
            if (out[3] == 0.0)
                return false;
            for (int r = 0; r < 3; ++r)
                cv[r] = out[3] == 1.0 ? out[r] : out[r] / out[3];
        }
    }
    return true;
}

ON_Interval ON_NurbsCurve::Domain() const
{
    if (m_order < 2 || m_knot.size() != static_cast<std::size_t>(m_order + m_cv_count))
        return ON_Interval();
    return ON_Interval(m_knot[m_order - 1], m_knot[m_cv_count]);
}

bool ON_NurbsCurve::SetDomain(double t0, double t1)
{
    const ON_Interval d = Domain();
    if (!(t0 < t1) || !ON_IsValid(t0) || !ON_IsValid(t1) || !d.IsIncreasing())
        return false;
    const double scale = (t1 - t0) / d.Length();
    for (double& k : m_knot)
        k = t0 + (k - d[0]) * scale;
    // The ends exactly, whatever the rounding.
    m_knot[m_order - 1] = t0;
    m_knot[m_cv_count] = t1;
    return true;
}

int ON_NurbsCurve::SpanCount() const
{
    if (m_order < 2)
        return 0;
    int count = 0;
    for (int i = m_order - 1; i < m_cv_count; ++i)
        if (m_knot[i] < m_knot[i + 1])
            ++count;
    return count;
}

bool ON_NurbsCurve::GetSpanVector(double* span_bounds) const
{
    if (!span_bounds || m_order < 2)
        return false;
    int n = 0;
    span_bounds[n++] = m_knot[m_order - 1];
    for (int i = m_order - 1; i < m_cv_count; ++i)
        if (m_knot[i] < m_knot[i + 1])
            span_bounds[n++] = m_knot[i + 1];
    return n > 1;
}

int ON_NurbsCurve::SpanIndex(double t, int side) const
{
    if (m_order < 2)
        return -1;
    const int degree = m_order - 1;
    int span = nurbs_basis::FindSpan(degree, m_cv_count, m_knot.data(), t);
    if (span >= 0 && side < 0 && t == m_knot[span])
    {
        int below = span - 1;
        while (below >= degree && !(m_knot[below] < m_knot[below + 1]))
            --below;
        if (below >= degree)
            span = below;
    }
    return span;
}

bool ON_NurbsCurve::Evaluate(double t, int der_count, ON_3dVector* values, int side) const
{
    if (!values || der_count < 0 || !std::isfinite(t))
        return false;
    const int span = SpanIndex(t, side);
    if (span < 0)
        return false;
    const int degree = m_order - 1;
    const int order = m_order;
    constexpr int kMaxDer = 8;
    const int n = std::min(der_count, kMaxDer);
    double ders[(kMaxDer + 1) * nurbs_basis::kMaxOrder];
    if (n == 0)
        nurbs_basis::BasisFunctions(span, t, degree, m_knot.data(), ders);
    else
        nurbs_basis::BasisFunctionDerivatives(span, t, degree, n, m_knot.data(), ders);

    // Homogeneous derivatives (w x, w y, w z, w)^(k); the weight column
    // stays 1, 0, 0, ... for a polynomial curve.
    double aw[(kMaxDer + 1) * 4];
    const int stride = Stride();
    for (int k = 0; k <= n; ++k)
    {
        double* a = aw + k * 4;
        a[0] = a[1] = a[2] = 0.0;
        a[3] = k == 0 ? 1.0 : 0.0;
        if (m_is_rat)
            a[3] = 0.0;
        for (int j = 0; j <= degree; ++j)
        {
            const double* cv = &m_cv[static_cast<std::size_t>(span - degree + j) * stride];
            const double b = ders[k * order + j];
            for (int c = 0; c < stride; ++c)
                a[c] += b * cv[c];
        }
    }
    if (m_is_rat && (!(aw[3] > 0.0) || !ON_RationalCurveQuotient(3, n, aw)))
        return false;
    for (int k = 0; k <= n; ++k)
        values[k] = ON_3dVector(aw[k * 4], aw[k * 4 + 1], aw[k * 4 + 2]);
    for (int k = n + 1; k <= der_count; ++k)
        values[k] = ON_3dVector();
    return true;
}

bool ON_NurbsCurve::Reverse()
{
    if (m_order < 2)
        return false;
    const int stride = Stride();
    for (int i = 0, j = m_cv_count - 1; i < j; ++i, --j)
        std::swap_ranges(m_cv.begin() + static_cast<std::ptrdiff_t>(i) * stride,
                         m_cv.begin() + static_cast<std::ptrdiff_t>(i + 1) * stride,
                         m_cv.begin() + static_cast<std::ptrdiff_t>(j) * stride);
    std::reverse(m_knot.begin(), m_knot.end());
    for (double& k : m_knot)
        k = -k;
    return true;
}

double ON_NurbsCurve::Knot(int i) const
{
    return i >= 0 && i < KnotCount() ? m_knot[static_cast<std::size_t>(i)] : ON_UNSET_VALUE;
}

bool ON_NurbsCurve::SetKnot(int i, double value)
{
    if (i < 0 || i >= KnotCount() || !std::isfinite(value))
        return false;
    m_knot[static_cast<std::size_t>(i)] = value;
    return true;
}

bool ON_NurbsCurve::MakeClampedUniformKnotVector(double delta)
{
    if (m_order < 2 || !(delta > 0.0) || !std::isfinite(delta))
        return false;
    for (int i = 0; i < KnotCount(); ++i)
    {
        const int k = std::clamp(i - (m_order - 1), 0, m_cv_count - m_order + 1);
        m_knot[static_cast<std::size_t>(i)] = k * delta;
    }
    return true;
}

bool ON_NurbsCurve::SetCV(int i, const ON_3dPoint& point)
{
    if (i < 0 || i >= m_cv_count || !point.IsValid())
        return false;
    double* cv = &m_cv[static_cast<std::size_t>(i) * Stride()];
    const double w = m_is_rat ? cv[3] : 1.0;
    cv[0] = w * point.x;
    cv[1] = w * point.y;
    cv[2] = w * point.z;
    return true;
}

bool ON_NurbsCurve::GetCV(int i, ON_3dPoint& point) const
{
    if (i < 0 || i >= m_cv_count)
        return false;
    const double* cv = &m_cv[static_cast<std::size_t>(i) * Stride()];
    const double w = m_is_rat ? cv[3] : 1.0;
    if (!(w > 0.0))
        return false;
    point.Set(cv[0] / w, cv[1] / w, cv[2] / w);
    return true;
}

ON_3dPoint ON_NurbsCurve::CV(int i) const
{
    ON_3dPoint p;
    return GetCV(i, p) ? p : ON_UNSET_POINT;
}

bool ON_NurbsCurve::SetCV(int i, double wx, double wy, double wz, double w)
{
    if (i < 0 || i >= m_cv_count || !(w > 0.0) || !std::isfinite(w) || !std::isfinite(wx) || !std::isfinite(wy) ||
        !std::isfinite(wz))
        return false;
    if (w != 1.0 && !m_is_rat)
        MakeRational();
    double* cv = &m_cv[static_cast<std::size_t>(i) * Stride()];
    if (m_is_rat)
    {
        cv[0] = wx, cv[1] = wy, cv[2] = wz, cv[3] = w;
    }
    else
    {
        cv[0] = wx, cv[1] = wy, cv[2] = wz;
    }
    return true;
}

double ON_NurbsCurve::Weight(int i) const
{
    if (i < 0 || i >= m_cv_count)
        return ON_UNSET_VALUE;
    return m_is_rat ? m_cv[static_cast<std::size_t>(i) * 4 + 3] : 1.0;
}

bool ON_NurbsCurve::SetWeight(int i, double w)
{
    if (i < 0 || i >= m_cv_count || !(w > 0.0) || !std::isfinite(w))
        return false;
    if (w != 1.0 && !m_is_rat)
        MakeRational();
    if (!m_is_rat)
        return true;
    double* cv = &m_cv[static_cast<std::size_t>(i) * 4];
    const double scale = w / cv[3];
    cv[0] *= scale, cv[1] *= scale, cv[2] *= scale;
    cv[3] = w;
    return true;
}

bool ON_NurbsCurve::MakeRational()
{
    if (m_order < 2)
        return false;
    if (m_is_rat)
        return true;
    std::vector<double> cv(static_cast<std::size_t>(m_cv_count) * 4);
    for (int i = 0; i < m_cv_count; ++i)
    {
        std::copy_n(&m_cv[static_cast<std::size_t>(i) * 3], 3, &cv[static_cast<std::size_t>(i) * 4]);
        cv[static_cast<std::size_t>(i) * 4 + 3] = 1.0;
    }
    m_cv.swap(cv);
    m_is_rat = true;
    return true;
}

bool ON_NurbsCurve::Write(ON_BinaryArchive& archive) const
{
    if (!archive.WriteInt(m_is_rat ? 1 : 0) || !archive.WriteInt(m_order) || !archive.WriteInt(m_cv_count))
        return false;
    for (double k : m_knot)
        if (!archive.WriteDouble(k))
            return false;
    for (double c : m_cv)
        if (!archive.WriteDouble(c))
            return false;
    return true;
}

bool ON_NurbsCurve::Read(ON_BinaryArchive& archive)
{
    using on_curve_detail::ReadFinite;
    int is_rat = 0, order = 0, cv_count = 0;
    if (!archive.ReadInt(&is_rat) || !archive.ReadInt(&order) || !archive.ReadInt(&cv_count))
        return false;
    if ((is_rat != 0 && is_rat != 1) || order < 2 || order > nurbs_basis::kMaxOrder || cv_count < order ||
        cv_count > (1 << 26))
        return false;
    // Values are collected as they arrive, so a count larger than the
    // bytes present fails at the end of the bytes, not at an allocation.
    ON_NurbsCurve read;
    read.m_is_rat = is_rat != 0;
    read.m_order = order;
    read.m_cv_count = cv_count;
    for (int i = 0; i < order + cv_count; ++i)
    {
        double k = 0.0;
        if (!ReadFinite(archive, &k))
            return false;
        read.m_knot.push_back(k);
    }
    const std::size_t values = static_cast<std::size_t>(cv_count) * read.Stride();
    for (std::size_t i = 0; i < values; ++i)
    {
        double c = 0.0;
        if (!ReadFinite(archive, &c))
            return false;
        read.m_cv.push_back(c);
    }
    if (!read.IsValid())
        return false;
    *this = std::move(read);
    return true;
}
