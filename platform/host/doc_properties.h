// Settings a document keeps for how its objects are meshed: render meshes
// for shaded drawing, analysis meshes for the visual analysis modes. A
// change applies to meshes made afterwards; meshes already cached stay until
// their object drops them.
#pragma once

#include "platform/geometry/mesh_parameters.h"

class CDezazDocProperties
{
public:
    const ON_MeshParameters& RenderMeshSettings() const { return m_render; }
    // An invalid setting is refused (false, unchanged).
    bool SetRenderMeshSettings(const ON_MeshParameters& mp);
    const ON_MeshParameters& AnalysisMeshSettings() const { return m_analysis; }
    bool SetAnalysisMeshSettings(const ON_MeshParameters& mp);

private:
    ON_MeshParameters m_render = ON_MeshParameters::FastRenderMesh;
    ON_MeshParameters m_analysis = ON_MeshParameters::FastRenderMesh;
};

// Two settings mesh alike when every field agrees.
bool SameMeshParameters(const ON_MeshParameters& a, const ON_MeshParameters& b);
