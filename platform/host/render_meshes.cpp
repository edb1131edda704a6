#include "platform/host/render_meshes.h"

#include "platform/geometry/brep.h"
#include "platform/host/object_meshes.h"

namespace
{

// Whether the object already has every render mesh it can have, so that
// joining them makes nothing new.
bool HasCachedRenderMeshes(const CDezazObject& object)
{
    if (ON_Mesh::Cast(object.Geometry()))
        return true;
    const auto* brep = dynamic_cast<const ON_Brep*>(object.Geometry());
    if (!brep || brep->FaceCount() == 0)
        return false;
    for (int i = 0; i < brep->FaceCount(); ++i)
        if (!brep->Face(i)->RenderMesh())
            return false;
    return true;
}

} // namespace

int DezazGetRenderMeshes(const std::vector<const CDezazObject*>& objects, std::vector<CDezazObjRef>& meshes,
                         bool ok_to_create, bool return_all_objects, bool skip_hidden_objects)
{
    int count = 0;
    for (const CDezazObject* object : objects)
    {
        if (!object || object->IsDeleted())
            continue;
        if (skip_hidden_objects && !object->IsVisible())
            continue;
        std::shared_ptr<const ON_Mesh> mesh;
        if (ok_to_create || HasCachedRenderMeshes(*object))
            mesh = dezaz::JoinedRenderMesh(*object);
        if (mesh)
        {
            meshes.emplace_back(object, std::move(mesh));
            ++count;
        }
        else if (return_all_objects)
            meshes.emplace_back(object);
    }
    return count;
}
