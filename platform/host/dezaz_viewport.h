// A viewport of the host: a child window that shows a document in 3D with
// OpenGL. Each frame: the extents (document objects and what conduits add
// on SC_CALCBOUNDINGBOX), the camera fitted to them when zooming to extents
// is on, the document's visible objects, conduits on SC_DRAWOBJECT, then on
// SC_DRAWFOREGROUND over the scene, and last the text dots.
#pragma once

#include "platform/geometry/color.h"
#include "platform/geometry/viewport.h"
#include "platform/host/display_attributes.h"
#include "platform/win32/types.h"

#include <vector>

class CDezazDoc;
class CDezazDisplayPipeline;

class CDezazViewport
{
public:
    // Size of the square DrawInferencePoint marks, in pixels.
    static constexpr int kInferencePointSize = 7;

    CDezazViewport();
    ~CDezazViewport();
    CDezazViewport(const CDezazViewport&) = delete;
    CDezazViewport& operator=(const CDezazViewport&) = delete;

    // Makes the window (a child of parent at rect, in the parent's client
    // coordinates) and its GL context. The document null means the
    // application's active document at each frame. False when GL is not
    // available; the viewport then draws nothing.
    bool Create(HWND parent, const RECT& rect, CDezazDoc* doc = nullptr);
    void Destroy();
    HWND Window() const { return m_window; }
    bool Move(const RECT& rect);

    // The camera. The default looks down at the scene from the front right
    // (as a perspective-style view of a CAD program does), up along +z.
    ON_Viewport& VP() { return m_vp; }
    const ON_Viewport& VP() const { return m_vp; }
    // When on (the default), every frame fits the camera to the extents.
    void SetZoomExtentsOnDraw(bool on) { m_zoom_extents = on; }

    const CDisplayPipelineAttributes& DisplayAttrs() const { return *m_attrs; }
    // Null keeps the current mode.
    void SetDisplayAttrs(const CDisplayPipelineAttributes* attrs);

    // Draws a frame into the window now; false without a window or context.
    bool DrawFrame();
    // The document the last frame showed.
    CDezazDoc* Document() const;

    // During a frame: a square marker at the point over the scene in the
    // colour (0x00BBGGRR), as the host marks snap points.
    void DrawInferencePoint(const ON_3dPoint& point, ON_Color colour);

    // Where a world point lands on the window (pixels, y down; z is the
    // depth, 0 at the near plane).
    ON_3dPoint WorldToScreen(const ON_3dPoint& point) const;

    // The viewport frames are drawn in (the most recently created one alive).
    static CDezazViewport* ActiveViewport();

private:
    void DrawScene(CDezazDisplayPipeline& pipeline);

    HWND m_window = nullptr;
    HDC m_dc = nullptr;
    HGLRC m_context = nullptr;
    CDezazDoc* m_doc = nullptr;
    ON_Viewport m_vp;
    const CDisplayPipelineAttributes* m_attrs = nullptr;
    bool m_zoom_extents = true;
    CDezazDisplayPipeline* m_frame = nullptr; // the pipeline of the frame being drawn
};
