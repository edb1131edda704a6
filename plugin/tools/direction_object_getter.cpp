#include "plugin/tools/direction_object_getter.h"

#include "platform/geometry/brep.h"
#include "platform/geometry/line_curve.h"
#include "platform/geometry/plane_surface.h"
#include "platform/geometry/rev_surface.h"

namespace
{

// The surface of a brep that has exactly one face, or null.
const ON_Surface* SingleFaceSurface(const ON_Geometry* geometry)
{
    const auto* brep = dynamic_cast<const ON_Brep*>(geometry);
    if (!brep || brep->FaceCount() != 1)
        return nullptr;
    return brep->Face(0)->SurfaceOf();
}

} // namespace

bool CDzGetDirectoinObject::CustomGeometryFilter(const CDezazObject*, const ON_Geometry* geometry) const
{
    if (!geometry)
        return true;
    if (const ON_Surface* surface = SingleFaceSurface(geometry))
        return dynamic_cast<const ON_RevSurface*>(surface) || dynamic_cast<const ON_PlaneSurface*>(surface);
    return dynamic_cast<const ON_LineCurve*>(geometry) != nullptr;
}

bool ReferenceDirectionOf(const ON_Geometry* geometry, double direction[3], bool& isPlane)
{
    isPlane = false;
    if (const ON_Surface* surface = SingleFaceSurface(geometry))
    {
        if (const auto* rev = dynamic_cast<const ON_RevSurface*>(surface))
        {
            const ON_3dVector d = rev->m_axis.to - rev->m_axis.from;
            direction[0] = d.x;
            direction[1] = d.y;
            direction[2] = d.z;
            return true;
        }
        if (const auto* plane = dynamic_cast<const ON_PlaneSurface*>(surface))
        {
            const ON_3dVector& n = plane->m_plane.zaxis;
            direction[0] = n.x;
            direction[1] = n.y;
            direction[2] = n.z;
            isPlane = true;
            return true;
        }
        return false;
    }
    if (const auto* line = dynamic_cast<const ON_LineCurve*>(geometry))
    {
        const ON_3dVector t = line->TangentAt(line->Domain()[0]);
        direction[0] = t.x;
        direction[1] = t.y;
        direction[2] = t.z;
        return true;
    }
    return false;
}
