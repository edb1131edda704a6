// Settings of the host application that plug-ins read: the render-mesh
// presets and how the viewports rotate and zoom. One object per process
// (DezazAppSettings()).
#pragma once

#include "platform/geometry/mesh_parameters.h"

#include <cstddef>

class CDezazAppRenderMeshSettings
{
public:
    // The presets the host's document properties offer.
    static const ON_MeshParameters& DefaultQualityMeshParameters();
    static const ON_MeshParameters& DefaultSpeedMeshParameters();
};

// How the user moves the views. Plug-ins with views of their own follow it
// so that navigating feels the same there.
struct CDezazAppViewSettings
{
    double m_pan_step = 0.1;      // fraction of the view per arrow key
    double m_zoom_step = 0.9;     // scale per wheel step
    double m_rotate_step = 15.0;  // degrees per arrow key
    int m_reverse_pan = 0;
    int m_reverse_wheel_zoom = 0;
    // 0: the views turn like a turntable, about the world z axis and their
    // own horizontal axis; 1: about the view's own axes (free rotation).
    int m_rotate_about_view_axes = 0;
    int m_zoom_at_cursor = 1;
};
// Plug-ins built against the host read the rotation switch at this offset.
static_assert(offsetof(CDezazAppViewSettings, m_rotate_about_view_axes) == 32);

class CDezazAppSettings
{
public:
    const CDezazAppViewSettings& ViewSettings() const { return m_view; }
    void SetViewSettings(const CDezazAppViewSettings& settings) { m_view = settings; }
    CDezazAppRenderMeshSettings& RenderMeshSettings() { return m_render_mesh; }

private:
    CDezazAppViewSettings m_view;
    CDezazAppRenderMeshSettings m_render_mesh;
};

CDezazAppSettings& DezazAppSettings();
