#include "platform/geometry/plane_surface.h"

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/nurbs_surface.h"
#include "platform/geometry/xform.h"

#include <cmath>

namespace
{

bool IsFiniteIncreasing(const ON_Interval& i)
{
    return std::isfinite(i[0]) && std::isfinite(i[1]) && i[0] < i[1];
}

bool WritePoint(ON_BinaryArchive& archive, const ON_3dPoint& p)
{
    return archive.WriteDouble(p.x) && archive.WriteDouble(p.y) && archive.WriteDouble(p.z);
}

bool ReadPoint(ON_BinaryArchive& archive, ON_3dPoint& p)
{
    return archive.ReadDouble(&p.x) && archive.ReadDouble(&p.y) && archive.ReadDouble(&p.z);
}

} // namespace

ON_PlaneSurface::ON_PlaneSurface(const ON_Plane& plane) : m_plane(plane) {}

bool ON_PlaneSurface::SetExtents(int dir, const ON_Interval& extents, bool sync_domain)
{
    if (!IsFiniteIncreasing(extents))
        return false;
    m_extents[dir != 0] = extents;
    if (sync_domain)
        m_domain[dir != 0] = extents;
    return true;
}

bool ON_PlaneSurface::SetDomain(int dir, double t0, double t1)
{
    const ON_Interval d(t0, t1);
    if (!IsFiniteIncreasing(d))
        return false;
    m_domain[dir != 0] = d;
    return true;
}

bool ON_PlaneSurface::Evaluate(double s, double t, int der_count, ON_3dVector* v) const
{
    if (v == nullptr || der_count < 0 || !IsFiniteIncreasing(m_domain[0]) || !IsFiniteIncreasing(m_domain[1]))
        return false;
    // Frame coordinate per parameter: x = e0 + (s - d0) * kx.
    const double kx = m_extents[0].Length() / m_domain[0].Length();
    const double ky = m_extents[1].Length() / m_domain[1].Length();
    const double x = m_extents[0][0] + (s - m_domain[0][0]) * kx;
    const double y = m_extents[1][0] + (t - m_domain[1][0]) * ky;
    v[0] = ON_3dVector(m_plane.PointAt(x, y));
    const int count = ON_SurfaceDerivativeCount(der_count);
    for (int i = 1; i < count; ++i)
        v[i] = ON_3dVector();
    if (der_count >= 1)
    {
        v[1] = kx * m_plane.xaxis;
        v[2] = ky * m_plane.yaxis;
    }
    return true;
}

int ON_PlaneSurface::GetNurbForm(ON_NurbsSurface& srf, double) const
{
    if (!IsValid() || !srf.Create(false, 2, 2, 2, 2))
        return 0;
    for (int dir = 0; dir < 2; ++dir)
    {
        const double k[4] = {m_domain[dir][0], m_domain[dir][0], m_domain[dir][1], m_domain[dir][1]};
        srf.SetKnots(dir, k);
    }
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            srf.SetCV(i, j, m_plane.PointAt(m_extents[0][i], m_extents[1][j]));
    return 1;
}

bool ON_PlaneSurface::IsValid(ON_TextLog*) const
{
    return m_plane.IsValid() && IsFiniteIncreasing(m_domain[0]) && IsFiniteIncreasing(m_domain[1]) &&
           IsFiniteIncreasing(m_extents[0]) && IsFiniteIncreasing(m_extents[1]);
}

ON_BoundingBox ON_PlaneSurface::BoundingBox() const
{
    ON_BoundingBox box;
    if (!IsValid())
        return box;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            box.Set(m_plane.PointAt(m_extents[0][i], m_extents[1][j]), i + j > 0);
    return box;
}

bool ON_PlaneSurface::Transform(const ON_Xform& xform)
{
    // Through the corner images, so that a scaling transform scales the
    // extents rather than silently dropping the scale.
    const ON_3dPoint o = xform * m_plane.origin;
    const ON_3dVector x = xform * (m_plane.origin + m_plane.xaxis) - o;
    const ON_3dVector y = xform * (m_plane.origin + m_plane.yaxis) - o;
    const double sx = x.Length(), sy = y.Length();
    ON_Plane plane;
    if (!plane.CreateFromFrame(o, x, y) || !(sx > 0.0) || !(sy > 0.0))
        return false;
    m_plane = plane;
    m_extents[0].Set(m_extents[0][0] * sx, m_extents[0][1] * sx);
    m_extents[1].Set(m_extents[1][0] * sy, m_extents[1][1] * sy);
    return IsValid();
}

// Record: version 1.0; origin, x axis, y axis, z axis (3 doubles each); the
// domain and the extents of both directions (2 doubles each).
bool ON_PlaneSurface::Write(ON_BinaryArchive& archive) const
{
    if (!archive.Write3dmChunkVersion(1, 0) || !WritePoint(archive, m_plane.origin) ||
        !WritePoint(archive, ON_3dPoint(m_plane.xaxis)) || !WritePoint(archive, ON_3dPoint(m_plane.yaxis)) ||
        !WritePoint(archive, ON_3dPoint(m_plane.zaxis)))
        return false;
    for (int d = 0; d < 2; ++d)
        if (!archive.WriteDouble(m_domain[d][0]) || !archive.WriteDouble(m_domain[d][1]) ||
            !archive.WriteDouble(m_extents[d][0]) || !archive.WriteDouble(m_extents[d][1]))
            return false;
    return true;
}

bool ON_PlaneSurface::Read(ON_BinaryArchive& archive)
{
    int major = 0, minor = 0;
    if (!archive.Read3dmChunkVersion(&major, &minor) || major != 1)
        return false;
    ON_PlaneSurface read;
    ON_3dPoint o, x, y, z;
    if (!ReadPoint(archive, o) || !ReadPoint(archive, x) || !ReadPoint(archive, y) || !ReadPoint(archive, z))
        return false;
    read.m_plane.origin = o;
    read.m_plane.xaxis = ON_3dVector(x);
    read.m_plane.yaxis = ON_3dVector(y);
    read.m_plane.zaxis = ON_3dVector(z);
    read.m_plane.UpdateEquation();
    for (int d = 0; d < 2; ++d)
        if (!archive.ReadDouble(&read.m_domain[d].m_t[0]) || !archive.ReadDouble(&read.m_domain[d].m_t[1]) ||
            !archive.ReadDouble(&read.m_extents[d].m_t[0]) || !archive.ReadDouble(&read.m_extents[d].m_t[1]))
            return false;
    if (!read.IsValid())
        return false;
    *this = read;
    return true;
}
