// The drawing of one viewport frame with OpenGL: document objects shaded or
// as wires, objects in visual analysis modes in their analysis colours, and
// what display conduits add. A pipeline exists while its viewport draws a
// frame; conduits get it on every channel.
//
// Lighting: one white headlight (light along the view direction, diffuse
// 0.8) and a scene ambient of 0.2, no specular, both faces lit; a face seen
// head-on shows its material colour, one at angle a to the view
// 0.2 + 0.8 cos a of it. Analysis colours, wires, curves and markers are
// drawn unlit, so they show their colours exactly.
#pragma once

#include "platform/geometry/color.h"
#include "platform/geometry/point.h"
#include "platform/geometry/viewport.h"
#include "platform/host/display_attributes.h"

#include <string>
#include <vector>

class CDezazDoc;
class CDezazObject;
class CDezazViewport;
class ON_Curve;
class ON_Mesh;
class ON_Xform;

// A text dot waiting to be drawn over the frame (text goes on after the GL
// image is on the window).
struct DezazPendingDot
{
    ON_3dPoint point;
    std::wstring text;
    ON_Color dot_colour;
    ON_Color text_colour;
    bool always_on_top = true;
};

class CDezazDisplayPipeline
{
public:
    static constexpr float kSceneAmbient = 0.2f;
    static constexpr float kHeadlightDiffuse = 0.8f;

    CDezazDisplayPipeline(CDezazViewport& viewport, const CDezazDoc* doc, const CDisplayPipelineAttributes& attrs);

    CDezazViewport& GetDezazVP() { return m_viewport; }
    const ON_Viewport& VP() const;
    const CDezazDoc* Document() const { return m_doc; }
    const CDisplayPipelineAttributes& DisplayAttrs() const { return m_attrs; }
    CChannelAttributes* GetChannelAttrs() { return &m_channel; }

    // Draws a document object (or one outside any document, such as a
    // conduit's preview) as the display mode shows it, in its display
    // colour; with a transform, as moved by it. False when it has nothing to
    // draw.
    bool DrawObject(const CDezazObject* object, const ON_Xform* xform = nullptr);
    // Shaded and lit with the material (null: the default grey material).
    void DrawShadedMesh(const ON_Mesh& mesh, const CDisplayPipelineMaterial* material = nullptr);
    // Unlit in the mesh's vertex colours; false without colours.
    bool DrawFalseColourMesh(const ON_Mesh& mesh);
    void DrawMeshWires(const ON_Mesh& mesh, ON_Color colour);
    void DrawCurve(const ON_Curve& curve, ON_Color colour, int thickness = 1);
    void DrawLine(const ON_3dPoint& from, const ON_3dPoint& to, ON_Color colour, int thickness = 1);
    // A square point of `size` pixels.
    void DrawPoint(const ON_3dPoint& point, ON_Color colour, int size = 5);
    // A dot with the text centred on the point's place on screen.
    void DrawDot(const ON_3dPoint& point, const wchar_t* text, ON_Color dot_colour = ON_Color(0, 0, 0),
                 ON_Color text_colour = ON_Color(255, 255, 255), bool always_on_top = true);

    // The colour the object is drawn in: its own or its layer's.
    ON_Color ObjectColour(const CDezazObject& object) const;

    // Used by the viewport while it draws the frame.
    void SetChannel(UINT channel) { m_channel.m_nChannel = channel; }
    const std::vector<DezazPendingDot>& PendingDots() const { return m_dots; }
    // Loads the viewport's camera into GL (projection and model view).
    void LoadCamera() const;

private:
    void DrawDocumentObject(const CDezazObject& object);
    void DrawMeshGeometry(const CDezazObject& object, const ON_Mesh& mesh);

    CDezazViewport& m_viewport;
    const CDezazDoc* m_doc;
    const CDisplayPipelineAttributes& m_attrs;
    CChannelAttributes m_channel;
    std::vector<DezazPendingDot> m_dots;
    // The transform DrawObject draws under, which dots apply themselves.
    const ON_Xform* m_xform = nullptr;
};
