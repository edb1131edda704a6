#include "shapes/section_view_box.h"

#include <algorithm>

#include "core/bounding_box.h"
#include "core/p3d_scene.h"
#include "core/profiled_surface.h"
#include "core/scene_object_container.h"

bool GetProfileSectionsBox(IBase* referenceObject, float box[6])
{
    if (referenceObject == nullptr)
        return false;
    auto* surface = static_cast<ST_IProfiledSurface*>(referenceObject->QueryInterface(IID_ST_IProfiledSurface));
    if (surface == nullptr)
        return false;
    const ST_ISectionCurve* curve = surface->GetProfileCurve();
    if (curve == nullptr)
        return false;
    float result[6];
    MakeEmptyBox3f(result);
    for (std::uint32_t i = 0; i < curve->sections.GetCount(); ++i)
    {
        float local[6];
        curve->sections[i].GetLocalBoundingBox(local);
        UnionBoundingBox3f(result, local);
    }
    // An empty box would be blown up to infinities by the scene's
    // enlargement; without section points there is no section view box.
    if (!IsValidBoundingBox3f(result))
        return false;
    std::copy(result, result + 6, box);
    return true;
}

void SetSceneReferenceObject(cP3DScene& scene, IBase* referenceObject)
{
    SetSectionCurveBoxResolver(&GetProfileSectionsBox);
    scene.m_referenceObject = referenceObject;
}
