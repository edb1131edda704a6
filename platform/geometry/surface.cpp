#include "platform/geometry/surface.h"

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/nurbs_surface.h"
#include "platform/geometry/plane_surface.h"
#include "platform/geometry/rev_surface.h"

#include <memory>

ON_3dPoint ON_Surface::PointAt(double s, double t) const
{
    ON_3dVector v;
    return Evaluate(s, t, 0, &v) ? ON_3dPoint(v) : ON_UNSET_POINT;
}

ON_3dVector ON_Surface::NormalAt(double s, double t) const
{
    ON_3dVector v[3];
    if (!Evaluate(s, t, 1, v))
        return {};
    ON_3dVector n = ON_CrossProduct(v[1], v[2]);
    const double scale = v[1].Length() * v[2].Length();
    if (n.Length() > 1.0e-10 * scale && n.Unitize())
        return n;
    // A degenerate point (a pole, a collapsed edge): step a little into the
    // domain, towards its middle, and use the normal found there.
    const ON_Interval ds = Domain(0), dt = Domain(1);
    const double step = 1.0e-6;
    for (int attempt = 1; attempt <= 3; ++attempt)
    {
        const double f = step * attempt * attempt;
        const double s1 = s + f * (ds.Mid() - s), t1 = t + f * (dt.Mid() - t);
        if (!Evaluate(s1, t1, 1, v))
            return {};
        n = ON_CrossProduct(v[1], v[2]);
        if (n.Unitize())
            return n;
    }
    return {};
}

bool ON_ArchiveHasBytes(ON_BinaryArchive& archive, long long count)
{
    if (count < 0 || !archive.ReadMode())
        return false;
    if (!archive.SeekFromCurrentPosition(count))
        return false;
    return archive.SeekFromCurrentPosition(-count);
}

bool ON_WriteSurface(ON_BinaryArchive& archive, const ON_Surface& surface)
{
    return archive.WriteInt(static_cast<int>(surface.SurfaceType())) && surface.Write(archive);
}

ON_Surface* ON_ReadSurface(ON_BinaryArchive& archive)
{
    int type = 0;
    if (!archive.ReadInt(&type))
        return nullptr;
    std::unique_ptr<ON_Surface> surface;
    switch (static_cast<ON_Surface::Type>(type))
    {
    case ON_Surface::Type::nurbs: surface = std::make_unique<ON_NurbsSurface>(); break;
    case ON_Surface::Type::plane: surface = std::make_unique<ON_PlaneSurface>(); break;
    case ON_Surface::Type::revolution: surface = std::make_unique<ON_RevSurface>(); break;
    default: return nullptr;
    }
    if (!surface->Read(archive))
        return nullptr;
    return surface.release();
}
