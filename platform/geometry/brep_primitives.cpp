#include "platform/geometry/brep_primitives.h"

#include "platform/geometry/mesh.h"
#include "platform/geometry/rev_surface.h"

#include <memory>

namespace
{

// Wraps the surface (taken) in the given or a new brep; null, with the
// surface deleted, when the brep refuses it.
ON_Brep* BrepOver(ON_Surface* surface, ON_Brep* brep)
{
    std::unique_ptr<ON_Surface> owned(surface);
    if (!owned)
        return nullptr;
    std::unique_ptr<ON_Brep> made;
    if (brep)
        brep->Destroy();
    else
        made.reset(ON_Brep::New());
    ON_Brep* target = brep ? brep : made.get();
    ON_Surface* raw = owned.release();
    if (!target->Create(raw))
    {
        delete raw;
        return nullptr;
    }
    made.release();
    return target;
}

} // namespace

ON_Brep* ON_BrepSphere(const ON_Sphere& sphere, ON_Brep* brep)
{
    if (!sphere.IsValid())
        return nullptr;
    return BrepOver(sphere.RevSurfaceForm(false), brep);
}

ON_Brep* ON_BrepCylinder(const ON_Cylinder& cylinder, bool cap_bottom, bool cap_top, ON_Brep* brep)
{
    if (cap_bottom || cap_top || !cylinder.IsValid() || !cylinder.IsFinite())
        return nullptr;
    return BrepOver(cylinder.RevSurfaceForm(), brep);
}
