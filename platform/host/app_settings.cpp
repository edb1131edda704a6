#include "platform/host/app_settings.h"

const ON_MeshParameters& CDezazAppRenderMeshSettings::DefaultQualityMeshParameters()
{
    return ON_MeshParameters::QualityRenderMesh;
}

const ON_MeshParameters& CDezazAppRenderMeshSettings::DefaultSpeedMeshParameters()
{
    return ON_MeshParameters::FastRenderMesh;
}

CDezazAppSettings& DezazAppSettings()
{
    static CDezazAppSettings settings;
    return settings;
}
