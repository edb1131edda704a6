#include "platform/geometry/rev_surface.h"

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/bounding_box.h"
#include "platform/geometry/nurbs_surface.h"
#include "platform/geometry/xform.h"

#include <cmath>
#include <utility>
#include <vector>

namespace
{

constexpr double kAngleTolerance = 1.0e-12;
constexpr int kMaxProfileCvCount = 1 << 20;

// d^i/da^i of cos and sin.
double CosDerivative(int i, double a)
{
    switch (i % 4)
    {
    case 0: return std::cos(a);
    case 1: return -std::sin(a);
    case 2: return -std::cos(a);
    default: return std::sin(a);
    }
}

double SinDerivative(int i, double a)
{
    return CosDerivative(i + 3, a);
}

// Grows the box by the arc of the circle centre + r (cos a e1 + sin a e2)
// for a in [a0, a1].
void AddArc(ON_BoundingBox& box, const ON_3dPoint& centre, const ON_3dVector& e1, const ON_3dVector& e2, double r,
            double a0, double a1)
{
    box.Set(centre + r * (std::cos(a0) * e1 + std::sin(a0) * e2), box.IsValid());
    box.Set(centre + r * (std::cos(a1) * e1 + std::sin(a1) * e2), true);
    if (r == 0.0)
        return;
    for (int k = 0; k < 3; ++k)
    {
        // x_k(a) = c_k + r R cos(a - phi): extremes at phi + m pi.
        const double phi = std::atan2(e2[k], e1[k]);
        double a = phi + std::ceil((a0 - phi) / ON_PI) * ON_PI;
        for (; a <= a1; a += ON_PI)
            box.Set(centre + r * (std::cos(a) * e1 + std::sin(a) * e2), true);
    }
}

bool WriteProfile(ON_BinaryArchive& archive, const ON_NurbsCurveData& c)
{
    bool ok = archive.WriteInt(c.dim) && archive.WriteInt(c.is_rat ? 1 : 0) && archive.WriteInt(c.order) &&
              archive.WriteInt(c.cv_count);
    for (std::size_t i = 0; ok && i < c.knot.size(); ++i)
        ok = archive.WriteDouble(c.knot[i]);
    for (std::size_t i = 0; ok && i < c.cv.size(); ++i)
        ok = archive.WriteDouble(c.cv[i]);
    return ok;
}

bool ReadProfile(ON_BinaryArchive& archive, ON_NurbsCurveData& c)
{
    int dim = 0, is_rat = 0, order = 0, count = 0;
    if (!archive.ReadInt(&dim) || !archive.ReadInt(&is_rat) || !archive.ReadInt(&order) || !archive.ReadInt(&count))
        return false;
    if (dim != 3 || (is_rat != 0 && is_rat != 1) || order < 2 || order > ON_NURBS_MAX_ORDER || count < order ||
        count > kMaxProfileCvCount)
        return false;
    const long long values = static_cast<long long>(count) + order + static_cast<long long>(count) * (3 + is_rat);
    if (!ON_ArchiveHasBytes(archive, values * 8))
        return false;
    ON_NurbsCurveData read(dim, is_rat == 1, order, count);
    for (double& k : read.knot)
        if (!archive.ReadDouble(&k))
            return false;
    for (double& v : read.cv)
        if (!archive.ReadDouble(&v))
            return false;
    c = std::move(read);
    return true;
}

} // namespace

bool ON_RevSurface::AxisDirection(ON_3dVector& d) const
{
    d = m_axis.to - m_axis.from;
    return d.Unitize();
}

ON_Interval ON_RevSurface::Domain(int dir) const
{
    const bool around = (dir == 0) != m_bTransposed;
    if (around)
        return m_t;
    if (m_curve.knot.size() != static_cast<std::size_t>(m_curve.cv_count + m_curve.order) || m_curve.order < 2)
        return {};
    return {m_curve.DomainMin(), m_curve.DomainMax()};
}

bool ON_RevSurface::Evaluate(double s, double t, int der_count, ON_3dVector* v) const
{
    ON_3dVector d;
    if (v == nullptr || der_count < 0 || der_count >= ON_NURBS_MAX_ORDER || !AxisDirection(d) ||
        !(m_t.Length() > 0.0))
        return false;
    const double u = m_bTransposed ? t : s;   // around the axis
    const double w = m_bTransposed ? s : t;   // along the profile
    const double k = m_angle.Length() / m_t.Length();
    const double a = m_angle[0] + (u - m_t[0]) * k;

    double profile[3 * ON_NURBS_MAX_ORDER];
    if (m_curve.dim != 3 || !m_curve.Evaluate(w, der_count, profile))
        return false;

    for (int j = 0; j <= der_count; ++j)
    {
        // The profile's j-th derivative split into its axial and radial parts
        // (the point itself relative to the axis origin).
        ON_3dVector pj(profile[3 * j], profile[3 * j + 1], profile[3 * j + 2]);
        if (j == 0)
            pj = pj - ON_3dVector(m_axis.from);
        const ON_3dVector axial = ON_DotProduct(pj, d) * d;
        const ON_3dVector radial = pj - axial;
        const ON_3dVector side = ON_CrossProduct(d, radial);
        double ki = 1.0;
        for (int i = 0; i + j <= der_count; ++i, ki *= k)
        {
            ON_3dVector q = ki * (CosDerivative(i, a) * radial + SinDerivative(i, a) * side);
            if (i == 0)
                q += axial;
            if (i == 0 && j == 0)
                q += ON_3dVector(m_axis.from);
            // Layout index of D^(s order) D^(t order).
            const int si = m_bTransposed ? j : i;
            const int ti = m_bTransposed ? i : j;
            const int n = si + ti;
            v[(n * (n + 1)) / 2 + ti] = q;
        }
    }
    return true;
}

int ON_RevSurface::GetNurbForm(ON_NurbsSurface& srf, double) const
{
    ON_3dVector d;
    if (!IsValid() || !AxisDirection(d))
        return 0;
    const double sweep = m_angle.Length();
    const int arcs = std::max(1, static_cast<int>(std::ceil(sweep / (0.5 * ON_PI) - 1.0e-9)));
    const double delta = sweep / arcs;
    const double mid_weight = std::cos(0.5 * delta);
    const int around_count = 2 * arcs + 1;
    const ON_NurbsCurveData& c = m_curve;
    const bool transposed = m_bTransposed;
    const int dir_around = transposed ? 1 : 0;
    const int dir_profile = 1 - dir_around;
    const int orders[2] = {transposed ? c.order : 3, transposed ? 3 : c.order};
    const int counts[2] = {transposed ? c.cv_count : around_count, transposed ? around_count : c.cv_count};
    if (!srf.Create(true, orders[0], orders[1], counts[0], counts[1]))
        return 0;

    std::vector<double> around_knots(static_cast<std::size_t>(around_count + 3));
    for (int i = 0; i < around_count + 3; ++i)
    {
        // 0 0 0 1 1 2 2 ... arcs arcs arcs, scaled onto m_t.
        const int level = i < 3 ? 0 : (i >= around_count ? arcs : (i - 1) / 2);
        around_knots[static_cast<std::size_t>(i)] = m_t[0] + m_t.Length() * level / arcs;
    }
    srf.SetKnots(dir_around, around_knots.data());
    srf.SetKnots(dir_profile, c.knot.data());

    const ON_3dVector origin(m_axis.from);
    for (int j = 0; j < c.cv_count; ++j)
    {
        const double wj = c.Weight(j);
        const double* h = c.CV(j);
        const ON_3dVector p = ON_3dVector(h[0] / wj, h[1] / wj, h[2] / wj) - origin;
        const ON_3dVector axial = ON_DotProduct(p, d) * d;
        const ON_3dVector radial = p - axial;
        const ON_3dVector side = ON_CrossProduct(d, radial);
        for (int i = 0; i < around_count; ++i)
        {
            const double a = m_angle[0] + 0.5 * i * delta;
            const bool mid = (i % 2) == 1;
            const double scale = mid ? 1.0 / mid_weight : 1.0;
            const ON_3dVector q = origin + axial + scale * (std::cos(a) * radial + std::sin(a) * side);
            const double weight = (mid ? mid_weight : 1.0) * wj;
            if (transposed)
                srf.SetCV(j, i, ON_3dPoint(q), weight);
            else
                srf.SetCV(i, j, ON_3dPoint(q), weight);
        }
    }
    return srf.IsValid() ? 2 : 0;
}

bool ON_RevSurface::IsValid(ON_TextLog*) const
{
    ON_3dVector d;
    return m_curve.dim == 3 && m_curve.IsValid() && m_axis.from.IsValid() && m_axis.to.IsValid() &&
           AxisDirection(d) && std::isfinite(m_angle[0]) && std::isfinite(m_angle[1]) && m_angle[0] < m_angle[1] &&
           m_angle.Length() <= 2.0 * ON_PI + kAngleTolerance && std::isfinite(m_t[0]) && std::isfinite(m_t[1]) &&
           m_t[0] < m_t[1];
}

ON_BoundingBox ON_RevSurface::BoundingBox() const
{
    ON_BoundingBox box;
    ON_3dVector d;
    if (!IsValid() || !AxisDirection(d))
        return box;
    const ON_3dVector origin(m_axis.from);
    // For a fixed angle the surface point is a rotation of the profile
    // point, linear in it, so it stays in the hull of the rotated control
    // points: the arcs the control points sweep bound the surface.
    for (int i = 0; i < m_curve.cv_count; ++i)
    {
        const double* cv = m_curve.CV(i);
        const double w = m_curve.Weight(i);
        const ON_3dVector rel = ON_3dVector(cv[0] / w, cv[1] / w, cv[2] / w) - origin;
        const double h = ON_DotProduct(rel, d);
        ON_3dVector radial = rel - h * d;
        const double r = radial.Length();
        ON_3dVector e1 = radial, e2;
        if (r > 0.0)
            e1 = radial / r;
        else
            e1.PerpendicularTo(d);
        e2 = ON_CrossProduct(d, e1);
        AddArc(box, ON_3dPoint(origin + h * d), e1, e2, r, m_angle[0], m_angle[1]);
    }
    return box;
}

bool ON_RevSurface::Transform(const ON_Xform& xform)
{
    if (!IsValid())
        return false;
    ON_NurbsCurveData curve = m_curve;
    for (int i = 0; i < curve.cv_count; ++i)
    {
        double* c = curve.CV(i);
        const double w = curve.Weight(i);
        const ON_3dPoint p = xform * ON_3dPoint(c[0] / w, c[1] / w, c[2] / w);
        curve.SetCV(i, &p.x, w);
    }
    ON_Line axis = m_axis;
    axis.Transform(xform);
    // A mirror reverses the sense of rotation: flip the axis to keep it.
    if (xform.Determinant() < 0.0)
        std::swap(axis.from, axis.to);
    m_curve = std::move(curve);
    m_axis = axis;
    return IsValid();
}

// Record: version 1.0; the profile (int dim, is_rat, order, cv_count, then
// knots and control points as doubles); the axis (6 doubles); the angle
// range and the angle domain (2 doubles each); int transposed.
bool ON_RevSurface::Write(ON_BinaryArchive& archive) const
{
    if (!IsValid() || !archive.Write3dmChunkVersion(1, 0) || !WriteProfile(archive, m_curve))
        return false;
    const double values[10] = {m_axis.from.x, m_axis.from.y, m_axis.from.z, m_axis.to.x, m_axis.to.y,
                               m_axis.to.z,   m_angle[0],    m_angle[1],    m_t[0],      m_t[1]};
    for (double v : values)
        if (!archive.WriteDouble(v))
            return false;
    return archive.WriteInt(m_bTransposed ? 1 : 0);
}

bool ON_RevSurface::Read(ON_BinaryArchive& archive)
{
    int major = 0, minor = 0;
    if (!archive.Read3dmChunkVersion(&major, &minor) || major != 1)
        return false;
    ON_RevSurface read;
    if (!ReadProfile(archive, read.m_curve))
        return false;
    double values[10];
    for (double& v : values)
        if (!archive.ReadDouble(&v))
            return false;
    int transposed = 0;
    if (!archive.ReadInt(&transposed) || (transposed != 0 && transposed != 1))
        return false;
    read.m_axis = ON_Line(ON_3dPoint(values), ON_3dPoint(values + 3));
    read.m_angle.Set(values[6], values[7]);
    read.m_t.Set(values[8], values[9]);
    read.m_bTransposed = transposed == 1;
    if (!read.IsValid())
        return false;
    *this = std::move(read);
    return true;
}
