// Render meshes of document objects for plug-ins that measure against what
// the user sees (the deviation analysis takes the CAD side from here).
#pragma once

#include "platform/host/dezaz_object.h"

#include <vector>

// One reference per object that has a render mesh, in the order of the
// objects; CDezazObjRef::Mesh() of each gives the object's render mesh (a
// brep's face meshes joined into one). The meshes are made with the
// object's document's render settings.
//   ok_to_create: make missing render meshes (otherwise only those already
//     cached count);
//   return_all_objects: also a reference (whose Mesh() is null) for each
//     object without a render mesh, so the output lines up with the input;
//   skip_hidden_objects: leave out objects that are not visible.
// Null and deleted objects give nothing. Returns the number of references
// with a mesh.
int DezazGetRenderMeshes(const std::vector<const CDezazObject*>& objects, std::vector<CDezazObjRef>& meshes,
                         bool ok_to_create, bool return_all_objects, bool skip_hidden_objects);
