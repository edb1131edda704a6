#include "shapes/interactive_section_plane.h"

#include "core/frame_math.h"
#include "shapes/network_surface.h"

#include <algorithm>
#include <cmath>

namespace
{

float Dot(const t3DPoint<float>& a, const t3DPoint<float>& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

t3DPoint<float> Cross(const t3DPoint<float>& a, const t3DPoint<float>& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

bool IsFinite(const t3DPoint<float>& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

ST_CInteractiveSectionPlane::ST_CInteractiveSectionPlane()
{
    Reset();
}

void ST_CInteractiveSectionPlane::Reset()
{
    m_active = 0;
    m_size = 1.0;
    m_current = {0, 0, 0};
    m_reserved = 0;
    m_curve.reset();
    StorePlane({0, 0, 0}, {0, 0, 1}, {1, 0, 0});
    m_plane.halfWidth = 30.0;
    m_plane.halfHeight = 30.0;
}

bool ST_CInteractiveSectionPlane::Begin(const t3DPoint<float>& p, double size)
{
    m_anchor = p;
    m_current = p;
    m_size = size;
    StorePlane(m_current, Normal(), XAxis());
    m_active = 1;
    return true;
}

bool ST_CInteractiveSectionPlane::SetXDirection(const t3DPoint<float>& x)
{
    if (!m_active || !IsFinite(x))
        return false;
    StorePlane(m_current, Normal(), x);
    return true;
}

bool ST_CInteractiveSectionPlane::MoveTo(const t3DPoint<float>& q)
{
    const t3DPoint<float> n = Normal();
    if (!m_active || !IsFinite(q) || !(Dot(n, n) > 0.0f))
        return false;
    m_anchor = q;
    StorePlane(ProjectCurrent(n), n, XAxis());
    return true;
}

bool ST_CInteractiveSectionPlane::SetNormal(const t3DPoint<float>& m)
{
    // A zero normal would leave no plane and a zero x axis.
    if (!m_active || !IsFinite(m) || !(Dot(m, m) > 0.0f))
        return false;
    const float ax = std::fabs(m.x), ay = std::fabs(m.y), az = std::fabs(m.z);
    t3DPoint<float> e{0, 1, 0};
    if (ax <= std::min(ay, az))
        e = {1, 0, 0};
    else if (az < ay)
        e = {0, 0, 1};
    const t3DPoint<float> x = Cross(Cross(m, e), m);
    StorePlane(ProjectCurrent(m), m, x);
    return true;
}

void ST_CInteractiveSectionPlane::SetSectionCurve(const ST_ISectionCurve* curve)
{
    // The copy is taken before the old curve goes: the caller may hand back
    // the curve this plane holds.
    std::unique_ptr<ST_ISectionCurve> copy;
    if (curve != nullptr)
    {
        copy = curve->Clone();
        if (copy)
            copy->Assign(*curve);
    }
    m_curve = std::move(copy);
}

void ST_CInteractiveSectionPlane::Transform(const double m[12])
{
    if (!m_active)
        return;
    const auto point = [m](const t3DPoint<float>& p) {
        t3DPoint<float> out;
        TransformPoint3f(m, out.Data(), p.Data());
        return out;
    };
    const auto turned = [m](const double v[3], double t) {
        float out[3];
        for (int r = 0; r < 3; ++r)
            out[r] = static_cast<float>(m[4 * r] * v[0] + m[4 * r + 1] * v[1] + m[4 * r + 2] * v[2] + t * m[4 * r + 3]);
        return t3DPoint<float>{out[0], out[1], out[2]};
    };
    m_anchor = point(m_anchor);
    m_current = point(m_current);
    StorePlane(turned(m_plane.origin, 1.0), turned(m_plane.normal, 0.0), turned(m_plane.xAxis, 0.0));
    if (m_curve)
        MoveNetworkCurve(*m_curve, m);
}

t3DPoint<float> ST_CInteractiveSectionPlane::ProjectCurrent(const t3DPoint<float>& n) const
{
    const t3DPoint<float> d{m_current.x - m_anchor.x, m_current.y - m_anchor.y, m_current.z - m_anchor.z};
    const float t = Dot(d, n) / Dot(n, n);
    return {m_current.x - n.x * t, m_current.y - n.y * t, m_current.z - n.z * t};
}

t3DPoint<float> ST_CInteractiveSectionPlane::Normal() const
{
    return {static_cast<float>(m_plane.normal[0]), static_cast<float>(m_plane.normal[1]),
            static_cast<float>(m_plane.normal[2])};
}

t3DPoint<float> ST_CInteractiveSectionPlane::XAxis() const
{
    return {static_cast<float>(m_plane.xAxis[0]), static_cast<float>(m_plane.xAxis[1]),
            static_cast<float>(m_plane.xAxis[2])};
}

void ST_CInteractiveSectionPlane::StorePlane(const t3DPoint<float>& origin, const t3DPoint<float>& normal,
                                             const t3DPoint<float>& xAxis)
{
    const float* o = origin.Data();
    const float* n = normal.Data();
    const float* x = xAxis.Data();
    for (int i = 0; i < 3; ++i)
    {
        m_plane.origin[i] = o[i];
        m_plane.normal[i] = n[i];
        m_plane.xAxis[i] = x[i];
    }
    m_plane.halfWidth = m_size;
    m_plane.halfHeight = m_size;
    m_plane.d = -Dot(normal, origin);
}
