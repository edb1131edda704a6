// How the viewports draw: the display modes the host offers (wireframe and
// shaded), the materials shaded meshes are drawn with, and what a conduit
// gets to know about the channel it is called on.
#pragma once

#include "platform/geometry/bounding_box.h"
#include "platform/geometry/color.h"
#include "platform/geometry/wide_string.h"
#include "platform/geometry/simple_array.h"
#include "platform/win32/types.h"

class CDezazObject;

// A material for shaded drawing: its diffuse colour lit by the viewport's
// lights; transparency 0 is opaque.
class CDisplayPipelineMaterial
{
public:
    ON_Color m_diffuse{190, 190, 190};
    double m_transparency = 0.0;

    CDisplayPipelineMaterial() = default;
    explicit CDisplayPipelineMaterial(ON_Color diffuse, double transparency = 0.0)
        : m_diffuse(diffuse), m_transparency(transparency)
    {
    }
};

// One display mode of the host's viewports.
class CDisplayPipelineAttributes
{
public:
    ON_wString m_name;
    bool m_shade_surfaces = true;
    bool m_show_mesh_wires = false;
    // Background of the viewport.
    ON_Color m_background{168, 170, 176};
};

// The display modes the host offers, in the order its menus list them.
class CDezazDisplayAttrsMgr
{
public:
    // Appends the modes; returns how many there are.
    static int GetDisplayAttrsList(ON_SimpleArray<const CDisplayPipelineAttributes*>& list);
    // "Wireframe" or "Shaded" (names compare without case), null otherwise.
    static const CDisplayPipelineAttributes* FindDisplayAttrs(const wchar_t* name);
};

// What the pipeline tells a conduit about the channel it is on.
class CChannelAttributes
{
public:
    UINT m_nChannel = 0;
    // Grown by SC_CALCBOUNDINGBOX conduits; the viewport zooms to it.
    ON_BoundingBox m_BoundingBox;
};
