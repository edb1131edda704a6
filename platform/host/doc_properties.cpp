#include "platform/host/doc_properties.h"

bool SameMeshParameters(const ON_MeshParameters& a, const ON_MeshParameters& b)
{
    return a.m_max_angle_radians == b.m_max_angle_radians && a.m_grid_min_count == b.m_grid_min_count &&
           a.m_grid_max_count == b.m_grid_max_count;
}

bool CDezazDocProperties::SetRenderMeshSettings(const ON_MeshParameters& mp)
{
    if (!mp.IsValid())
        return false;
    m_render = mp;
    return true;
}

bool CDezazDocProperties::SetAnalysisMeshSettings(const ON_MeshParameters& mp)
{
    if (!mp.IsValid())
        return false;
    m_analysis = mp;
    return true;
}
