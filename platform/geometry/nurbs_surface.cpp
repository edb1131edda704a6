#include "platform/geometry/nurbs_surface.h"

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/nurbs_rational.h"
#include "platform/geometry/xform.h"

#include <cmath>
#include <utility>

namespace
{

// Records larger than this are refused as damaged rather than read.
constexpr int kMaxRecordCvCount = 1 << 22;

} // namespace

ON_NurbsSurface::ON_NurbsSurface(bool is_rat, int order0, int order1, int cv_count0, int cv_count1)
{
    Create(is_rat, order0, order1, cv_count0, cv_count1);
}

bool ON_NurbsSurface::Create(bool is_rat, int order0, int order1, int cv_count0, int cv_count1)
{
    Destroy();
    if (order0 < 2 || order1 < 2 || order0 > ON_NURBS_MAX_ORDER || order1 > ON_NURBS_MAX_ORDER ||
        cv_count0 < order0 || cv_count1 < order1 ||
        static_cast<long long>(cv_count0) * cv_count1 > kMaxRecordCvCount)
        return false;
    m_dim = 3;
    m_is_rat = is_rat;
    m_order[0] = order0, m_order[1] = order1;
    m_cv_count[0] = cv_count0, m_cv_count[1] = cv_count1;
    m_knot[0].assign(static_cast<std::size_t>(cv_count0 + order0), 0.0);
    m_knot[1].assign(static_cast<std::size_t>(cv_count1 + order1), 0.0);
    m_cv.assign(static_cast<std::size_t>(cv_count0) * static_cast<std::size_t>(cv_count1) *
                    static_cast<std::size_t>(CVSize()),
                0.0);
    return true;
}

void ON_NurbsSurface::Destroy()
{
    *this = ON_NurbsSurface();
}

double* ON_NurbsSurface::CV(int i, int j)
{
    if (i < 0 || j < 0 || i >= m_cv_count[0] || j >= m_cv_count[1])
        return nullptr;
    return m_cv.data() + (static_cast<std::size_t>(i) * static_cast<std::size_t>(m_cv_count[1]) +
                          static_cast<std::size_t>(j)) *
                             static_cast<std::size_t>(CVSize());
}

const double* ON_NurbsSurface::CV(int i, int j) const
{
    return const_cast<ON_NurbsSurface*>(this)->CV(i, j);
}

bool ON_NurbsSurface::SetCV(int i, int j, const ON_3dPoint& point, double weight)
{
    double* c = CV(i, j);
    if (c == nullptr)
        return false;
    const double w = m_is_rat ? weight : 1.0;
    c[0] = w * point.x, c[1] = w * point.y, c[2] = w * point.z;
    if (m_is_rat)
        c[3] = w;
    return true;
}

bool ON_NurbsSurface::GetCV(int i, int j, ON_3dPoint& point, double* weight) const
{
    const double* c = CV(i, j);
    if (c == nullptr)
        return false;
    const double w = m_is_rat ? c[3] : 1.0;
    if (w == 0.0)
        return false;
    point.Set(c[0] / w, c[1] / w, c[2] / w);
    if (weight)
        *weight = w;
    return true;
}

double ON_NurbsSurface::Weight(int i, int j) const
{
    const double* c = CV(i, j);
    return c == nullptr ? 0.0 : (m_is_rat ? c[3] : 1.0);
}

bool ON_NurbsSurface::SetKnots(int dir, const double* knots)
{
    std::vector<double>& k = m_knot[dir != 0];
    if (knots == nullptr || k.empty())
        return false;
    k.assign(knots, knots + k.size());
    return true;
}

bool ON_NurbsSurface::SetDomain(int dir, double t0, double t1)
{
    const int d = dir != 0;
    if (!(t0 < t1) || !ON_IsValidKnotVector(m_order[d], m_cv_count[d], m_knot[d].data()))
        return false;
    const double a = m_knot[d][static_cast<std::size_t>(m_order[d] - 1)];
    const double b = m_knot[d][static_cast<std::size_t>(m_cv_count[d])];
    const double scale = (t1 - t0) / (b - a);
    for (double& k : m_knot[d])
        k = k == a ? t0 : (k == b ? t1 : t0 + (k - a) * scale);
    return true;
}

ON_Interval ON_NurbsSurface::Domain(int dir) const
{
    const int d = dir != 0;
    if (m_knot[d].size() != static_cast<std::size_t>(KnotCount(d)) || m_order[d] < 2)
        return {};
    return {m_knot[d][static_cast<std::size_t>(m_order[d] - 1)], m_knot[d][static_cast<std::size_t>(m_cv_count[d])]};
}

bool ON_NurbsSurface::Evaluate(double s, double t, int der_count, ON_3dVector* v) const
{
    if (v == nullptr || der_count < 0 || der_count >= ON_NURBS_MAX_ORDER || !std::isfinite(s) || !std::isfinite(t))
        return false;
    for (int d = 0; d < 2; ++d)
        if (m_knot[d].size() != static_cast<std::size_t>(KnotCount(d)) ||
            !ON_IsValidKnotVector(m_order[d], m_cv_count[d], m_knot[d].data()))
            return false;
    if (m_cv.size() != static_cast<std::size_t>(m_cv_count[0]) * static_cast<std::size_t>(m_cv_count[1]) *
                           static_cast<std::size_t>(CVSize()))
        return false;

    const int p0 = m_order[0], p1 = m_order[1];
    const int span0 = nurbs_basis::FindSpan(p0 - 1, m_cv_count[0], m_knot[0].data(), s);
    const int span1 = nurbs_basis::FindSpan(p1 - 1, m_cv_count[1], m_knot[1].data(), t);
    if (span0 < 0 || span1 < 0)
        return false;
    double ders0[ON_NURBS_MAX_ORDER * ON_NURBS_MAX_ORDER];
    double ders1[ON_NURBS_MAX_ORDER * ON_NURBS_MAX_ORDER];
    if (der_count == 0)
        return EvaluatePoint(span0, span1, s, t, v);
    nurbs_basis::BasisFunctionDerivatives(span0, s, p0 - 1, der_count, m_knot[0].data(), ders0);
    nurbs_basis::BasisFunctionDerivatives(span1, t, p1 - 1, der_count, m_knot[1].data(), ders1);

    const int count = ON_SurfaceDerivativeCount(der_count);
    // Homogeneous partials, 4 doubles each (weight 1 for polynomial
    // surfaces), on the stack: evaluation runs millions of times per mesh.
    double h[4 * ON_SurfaceDerivativeCount(ON_NURBS_MAX_ORDER - 1)];
    for (int i = 0; i < 4 * count; ++i)
        h[i] = 0.0;
    const int first0 = span0 - p0 + 1, first1 = span1 - p1 + 1;
    const int cv_size = CVSize();
    double row[ON_NURBS_MAX_ORDER][4];
    for (int n = 0; n <= der_count; ++n)
    {
        for (int l = 0; l <= n; ++l)
        {
            const int k = n - l; // order in s, l in t
            double* out = h + ((n * (n + 1)) / 2 + l) * 4;
            for (int a = 0; a < p0; ++a)
            {
                double acc[4] = {0.0, 0.0, 0.0, 0.0};
                const double* c = CV(first0 + a, first1);
                for (int b = 0; b < p1; ++b, c += cv_size)
                {
                    const double nb = ders1[l * p1 + b];
                    acc[0] += nb * c[0], acc[1] += nb * c[1], acc[2] += nb * c[2];
                    acc[3] += nb * (m_is_rat ? c[3] : 1.0);
                }
                for (int d = 0; d < 4; ++d)
                    row[a][d] = acc[d];
            }
            for (int a = 0; a < p0; ++a)
            {
                const double na = ders0[k * p0 + a];
                for (int d = 0; d < 4; ++d)
                    out[d] += na * row[a][d];
            }
        }
    }
    if (m_is_rat && !ON_RationalSurfaceQuotient(3, der_count, h))
        return false;
    for (int i = 0; i < count; ++i)
        v[i].Set(h[4 * i], h[4 * i + 1], h[4 * i + 2]);
    return true;
}

// Points alone (the mesher's and most callers' case): plain basis values and
// one tensor sum, without the derivative tables.
bool ON_NurbsSurface::EvaluatePoint(int span0, int span1, double s, double t, ON_3dVector* v) const
{
    const int p0 = m_order[0], p1 = m_order[1];
    double n0[ON_NURBS_MAX_ORDER];
    double n1[ON_NURBS_MAX_ORDER];
    nurbs_basis::BasisFunctions(span0, s, p0 - 1, m_knot[0].data(), n0);
    nurbs_basis::BasisFunctions(span1, t, p1 - 1, m_knot[1].data(), n1);
    const int cv_size = CVSize();
    double sum[4] = {0.0, 0.0, 0.0, 0.0};
    for (int a = 0; a < p0; ++a)
    {
        const double* c = CV(span0 - p0 + 1 + a, span1 - p1 + 1);
        double row[4] = {0.0, 0.0, 0.0, 0.0};
        for (int b = 0; b < p1; ++b, c += cv_size)
        {
            row[0] += n1[b] * c[0], row[1] += n1[b] * c[1], row[2] += n1[b] * c[2];
            row[3] += n1[b] * (m_is_rat ? c[3] : 1.0);
        }
        for (int d = 0; d < 4; ++d)
            sum[d] += n0[a] * row[d];
    }
    if (!(sum[3] != 0.0) || !std::isfinite(sum[3]))
        return false;
    v[0].Set(sum[0] / sum[3], sum[1] / sum[3], sum[2] / sum[3]);
    return true;
}

int ON_NurbsSurface::GetNurbForm(ON_NurbsSurface& srf, double) const
{
    if (!IsValid())
        return 0;
    if (&srf != this)
        srf = *this;
    return 1;
}

bool ON_NurbsSurface::IsValid(ON_TextLog*) const
{
    if (m_dim != 3)
        return false;
    for (int d = 0; d < 2; ++d)
        if (m_knot[d].size() != static_cast<std::size_t>(KnotCount(d)) ||
            !ON_IsValidKnotVector(m_order[d], m_cv_count[d], m_knot[d].data()))
            return false;
    if (m_cv.size() != static_cast<std::size_t>(m_cv_count[0]) * static_cast<std::size_t>(m_cv_count[1]) *
                           static_cast<std::size_t>(CVSize()))
        return false;
    for (std::size_t i = 0; i < m_cv.size(); ++i)
    {
        if (!std::isfinite(m_cv[i]))
            return false;
        if (m_is_rat && i % 4 == 3 && !(m_cv[i] > 0.0))
            return false;
    }
    return true;
}

ON_BoundingBox ON_NurbsSurface::BoundingBox() const
{
    ON_BoundingBox box;
    if (!IsValid())
        return box;
    ON_3dPoint p;
    for (int i = 0; i < m_cv_count[0]; ++i)
        for (int j = 0; j < m_cv_count[1]; ++j)
            if (GetCV(i, j, p))
                box.Set(p, box.IsValid());
    return box;
}

bool ON_NurbsSurface::Transform(const ON_Xform& xform)
{
    if (!IsValid())
        return false;
    const int cv_size = CVSize();
    for (std::size_t i = 0; i < m_cv.size(); i += static_cast<std::size_t>(cv_size))
    {
        double* c = &m_cv[i];
        const double w = m_is_rat ? c[3] : 1.0;
        double out[4];
        for (int r = 0; r < 4; ++r)
            out[r] = xform.m_xform[r][0] * c[0] + xform.m_xform[r][1] * c[1] + xform.m_xform[r][2] * c[2] +
                     xform.m_xform[r][3] * w;
        if (m_is_rat)
        {
            for (int d = 0; d < 4; ++d)
                c[d] = out[d];
        }
        else
        {
            if (out[3] == 0.0)
                return false;
            for (int d = 0; d < 3; ++d)
                c[d] = out[d] / out[3];
        }
    }
    return IsValid();
}

// Record: version 1.0; int dim, is_rat, order0, order1, cv_count0,
// cv_count1; the knots of each direction; the control points (doubles).
bool ON_NurbsSurface::Write(ON_BinaryArchive& archive) const
{
    if (!IsValid())
        return false;
    bool ok = archive.Write3dmChunkVersion(1, 0) && archive.WriteInt(m_dim) && archive.WriteInt(m_is_rat ? 1 : 0) &&
              archive.WriteInt(m_order[0]) && archive.WriteInt(m_order[1]) && archive.WriteInt(m_cv_count[0]) &&
              archive.WriteInt(m_cv_count[1]);
    for (int d = 0; d < 2 && ok; ++d)
        for (double k : m_knot[d])
            if (!(ok = archive.WriteDouble(k)))
                break;
    for (std::size_t i = 0; i < m_cv.size() && ok; ++i)
        ok = archive.WriteDouble(m_cv[i]);
    return ok;
}

bool ON_NurbsSurface::Read(ON_BinaryArchive& archive)
{
    int major = 0, minor = 0, dim = 0, is_rat = 0, order0 = 0, order1 = 0, count0 = 0, count1 = 0;
    if (!archive.Read3dmChunkVersion(&major, &minor) || major != 1 || !archive.ReadInt(&dim) ||
        !archive.ReadInt(&is_rat) || !archive.ReadInt(&order0) || !archive.ReadInt(&order1) ||
        !archive.ReadInt(&count0) || !archive.ReadInt(&count1))
        return false;
    if (dim != 3 || (is_rat != 0 && is_rat != 1) || order0 < 2 || order1 < 2 || count0 < order0 ||
        count1 < order1 || static_cast<long long>(count0) * count1 > kMaxRecordCvCount)
        return false;
    // Nothing is allocated for counts the remaining bytes cannot hold.
    const long long values = static_cast<long long>(count0) + order0 + count1 + order1 +
                             static_cast<long long>(count0) * count1 * (is_rat == 1 ? 4 : 3);
    if (!ON_ArchiveHasBytes(archive, values * 8))
        return false;
    ON_NurbsSurface read;
    if (!read.Create(is_rat == 1, order0, order1, count0, count1))
        return false;
    for (int d = 0; d < 2; ++d)
        for (double& k : read.m_knot[d])
            if (!archive.ReadDouble(&k))
                return false;
    for (double& c : read.m_cv)
        if (!archive.ReadDouble(&c))
            return false;
    if (!read.IsValid())
        return false;
    *this = std::move(read);
    return true;
}
