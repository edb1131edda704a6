// The meshes the host makes and keeps for document objects: the render
// meshes of breps and surfaces, and the analysis meshes the visual analysis
// modes colour. Host-internal; plug-ins reach them through
// CDezazObject::GetMeshes and DezazGetRenderMeshes.
#pragma once

#include "platform/geometry/mesh.h"
#include "platform/geometry/simple_array.h"

#include <memory>

class CDezazObject;
class ON_MeshParameters;

namespace dezaz
{

// The meshing settings for the object's render meshes: its document's, or
// the fast preset for an object outside any document.
const ON_MeshParameters& RenderMeshSettingsOf(const CDezazObject& object);

// The object's analysis meshes, writable: the visual analysis modes fill
// their colours. A mesh object's analysis mesh is its own mesh.
ON_SimpleArray<ON_Mesh*> WritableAnalysisMeshes(const CDezazObject& object);

// One mesh of everything the object shows shaded, or null when it shows
// nothing shaded: a mesh object's own mesh (not copied: valid while the
// object lives), a brep's face render meshes appended into a new mesh.
std::shared_ptr<const ON_Mesh> JoinedRenderMesh(const CDezazObject& object);

} // namespace dezaz
