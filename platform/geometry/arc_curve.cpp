#include "platform/geometry/arc_curve.h"

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/xform.h"

#include <algorithm>
#include <cmath>

bool ON_ArcCurve::IsValid(ON_TextLog*) const
{
    return m_arc.IsValid() && m_t.IsIncreasing();
}

ON_BoundingBox ON_ArcCurve::BoundingBox() const
{
    // The ends and every axis extreme of the circle that the arc passes.
    ON_BoundingBox box;
    if (!IsValid())
        return box;
    box.Set(m_arc.StartPoint(), false);
    box.Set(m_arc.EndPoint(), true);
    const ON_Plane& pl = m_arc.plane;
    for (int axis = 0; axis < 3; ++axis)
    {
        // Extremes of r (cos a x_i + sin a y_i) are at atan2(y_i, x_i) and + pi.
        const double base = std::atan2(pl.yaxis[axis], pl.xaxis[axis]);
        for (double angle : {base, base + ON_PI})
        {
            double a = m_arc.m_angle[0] + std::fmod(std::fmod(angle - m_arc.m_angle[0], 2.0 * ON_PI) + 2.0 * ON_PI,
                                                    2.0 * ON_PI);
            if (a <= m_arc.m_angle[1])
                box.Set(m_arc.PointAt(a), true);
        }
    }
    return box;
}

bool ON_ArcCurve::Transform(const ON_Xform& xform)
{
    return m_arc.Transform(xform) && m_arc.IsValid();
}

bool ON_ArcCurve::SetDomain(double t0, double t1)
{
    if (!(t0 < t1) || !ON_IsValid(t0) || !ON_IsValid(t1))
        return false;
    m_t.Set(t0, t1);
    return true;
}

bool ON_ArcCurve::GetSpanVector(double* span_bounds) const
{
    if (!span_bounds)
        return false;
    span_bounds[0] = m_t[0];
    span_bounds[1] = m_t[1];
    return true;
}

double ON_ArcCurve::AngleAt(double t) const
{
    return m_arc.m_angle.ParameterAt((t - m_t[0]) / m_t.Length());
}

double ON_ArcCurve::ParameterAtAngle(double angle) const
{
    return m_t.ParameterAt((angle - m_arc.m_angle[0]) / m_arc.m_angle.Length());
}

bool ON_ArcCurve::Evaluate(double t, int der_count, ON_3dVector* values, int) const
{
    if (!values || der_count < 0 || !IsValid() || !ON_IsValid(t))
        return false;
    const double angle = AngleAt(t);
    const double rate = m_arc.m_angle.Length() / m_t.Length();
    values[0] = ON_3dVector(m_arc.PointAt(angle));
    double scale = 1.0;
    for (int k = 1; k <= der_count; ++k)
    {
        scale *= rate;
        values[k] = scale * m_arc.DerivativeAt(k, angle);
    }
    return true;
}

bool ON_ArcCurve::Reverse()
{
    if (!m_arc.Reverse())
        return false;
    m_t.Set(-m_t[1], -m_t[0]);
    return true;
}

bool ON_ArcCurve::GetClosestPoint(const ON_3dPoint& p, double* t, double maximum_distance,
                                  const ON_Interval* sub_domain) const
{
    if (!p.IsValid() || !IsValid())
        return false;
    double u = 0.0;
    if (sub_domain)
    {
        // A piece of the arc: the generic search over the piece.
        if (!ON_Curve::GetClosestPoint(p, &u, maximum_distance, sub_domain))
            return false;
    }
    else
    {
        double angle = m_arc.m_angle[0];
        m_arc.ClosestPointTo(p, &angle);
        if (!std::isfinite(angle))
            return false;
        u = std::clamp(ParameterAtAngle(angle), m_t[0], m_t[1]);
        if (maximum_distance > 0.0 && p.DistanceTo(PointAt(u)) > maximum_distance)
            return false;
    }
    if (t)
        *t = u;
    return true;
}

bool ON_ArcCurve::GetLength(double* length, double, const ON_Interval* sub_domain) const
{
    if (!length || !IsValid())
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
    *length = m_arc.Length() * (b - a) / m_t.Length();
    return true;
}

bool ON_ArcCurve::Write(ON_BinaryArchive& archive) const
{
    using namespace on_curve_detail;
    const ON_Plane& pl = m_arc.plane;
    return WritePoint(archive, pl.origin) && WritePoint(archive, ON_3dPoint(pl.xaxis)) &&
           WritePoint(archive, ON_3dPoint(pl.yaxis)) && archive.WriteDouble(m_arc.radius) &&
           WriteInterval(archive, m_arc.m_angle) && WriteInterval(archive, m_t);
}

bool ON_ArcCurve::Read(ON_BinaryArchive& archive)
{
    using namespace on_curve_detail;
    ON_3dPoint origin, x, y;
    double radius = 0.0;
    ON_Interval angle, t;
    if (!ReadPoint(archive, origin) || !ReadPoint(archive, x) || !ReadPoint(archive, y) ||
        !ReadFinite(archive, &radius) || !ReadInterval(archive, angle) || !ReadInterval(archive, t))
        return false;
    ON_Arc arc;
    // Axes that already form a frame are kept as stored: squaring them up
    // again moves their last bits, and a document saved, opened and saved
    // again would then change.
    arc.plane.origin = origin;
    arc.plane.xaxis = ON_3dVector(x);
    arc.plane.yaxis = ON_3dVector(y);
    arc.plane.zaxis = ON_CrossProduct(arc.plane.xaxis, arc.plane.yaxis);
    arc.plane.UpdateEquation();
    if (!arc.plane.IsValid() && !arc.plane.CreateFromFrame(origin, ON_3dVector(x), ON_3dVector(y)))
        return false;
    arc.radius = radius;
    arc.m_angle = angle;
    if (!arc.IsValid())
        return false;
    m_arc = arc;
    m_t = t;
    return true;
}
