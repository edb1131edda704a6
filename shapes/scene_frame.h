// The renderer that every dialog's 3D view owns: a GL renderer that draws
// one frame of the plug-in's scene in two cached levels. Level 0 is the
// expensive picture (background and meshes, with the mirrored copy of a
// symmetry plane); level 1 adds the cheap layers (shape surfaces and
// profile curves, the corner tripod, axes and grid). Both are kept in the
// renderer's level cache, so a redraw after a change of the cheap layers
// restores the mesh picture instead of drawing the meshes again.
//
// It lives with the shape model because it draws shapes; the view only
// needs it as an I3DSceneRenderer.
#pragma once

#include "core/decorator_object.h"
#include "core/polyline_collection.h"
#include "render/gl_renderer.h"
#include "render/host_geometry_gl.h"
#include "render/mesh_gl_renderer.h"

#include <cstdint>

class cP3DScene;
class ISceneObject;
class cMesh;

// The redraw argument of a full repaint; any other value marks a redraw
// during an interaction (meshes then show as points).
inline constexpr std::uint32_t kFullRepaint = 1000000;
// The least time budget, in milliseconds, of the meshes of an interaction
// redraw: about 25 frames a second.
inline constexpr std::uint32_t kInteractionBudgetMs = 40;

// Which of the scene's switches the frame reads for what.
//   m_switch1: axes and grid shown;
//   m_switch2: handles on the section view's curves;
//   m_switch3: the display byte handed to the host-mesh drawer;
//   m_deviationDisplay non-zero: meshes go through the drawers the renderer
//     hands out (the deviation display's colouring) instead of the host-mesh
//     drawer;
//   m_boxMode kBoxModeDeviation: the host-mesh drawer shows the vertices'
//     colours of the meshes a deviation pass measured, and no shapes are
//     drawn; m_deviationSelectionOnly then limits the points of a drag
//     frame to the selection's vertices;
//   m_displayWord2 bits: what the section view shows; the mesh points bit
//     also shows, in the shapes view, the mesh points of the profiles.
inline constexpr std::uint32_t kSectionShowPoints = 1;
inline constexpr std::uint32_t kSectionShowCurves = 2;
inline constexpr std::uint32_t kSectionShowMeshPoints = 4;

class cP3DRenderGL : public cGLRenderer
{
public:
    cP3DRenderGL();
    ~cP3DRenderGL() override;

    void RenderScene(I3DScene* scene, int flag, std::uint32_t redraw) override;

    // Whether the last frame found shape objects in the scene.
    bool HasShapeObjects() const { return m_hasShapes; }
    // Whether the last time-bounded mesh drawing finished (not before the
    // first drawing).
    bool LastDrawingComplete() const { return m_incomplete == 0; }
    cGeometriesGLRenderer& GetGeometriesRenderer() { return m_geometries; }
    // The clock that the mesh drawers' time budget reads (GetTickCount when
    // null).
    void SetDrawClock(DWORD (*clock)()) { m_drawClock = clock; }

    // The grid's half size: 1.1 x the largest extent of the meshes' box
    // grown to hold the origin, or 200 pixels without meshes.
    float GridSize(cP3DScene& scene);
    // The reflection in the plane of the scene's symmetry-plane reference
    // object, when that is shown; false otherwise.
    static bool MirrorTransform(cP3DScene& scene, double out[12]);

private:
    void SetupEyeLight(cP3DScene* scene);
    void DrawLevel0(cP3DScene* scene, std::uint32_t redraw);
    void DrawMeshPass(cP3DScene* scene, std::uint32_t redraw);
    void DrawSectionView(cP3DScene& scene);
    void DrawMeshObject(cP3DScene& scene, ISceneObject* object, std::uint32_t redraw, const double* mirror);
    void DrawShapePass(cP3DScene& scene);
    void DrawOverlayPass(cP3DScene& scene);
    // Gives the decorator the interactive look (points, brighter) in an
    // interaction redraw.
    void ApplyInteractiveLook(cDecoratorObject& decorator, std::uint32_t redraw) const;
    std::uint32_t RunDrawer(ISceneObjectRenderer& drawer, stDrawContext& context, std::uint32_t redraw);

    cDezazMeshGLRenderer m_meshDrawer;
    bool m_hasShapes = false;
    // Whether a shape with a surface is in the scene: the meshes are drawn
    // see-through over it.
    bool m_surfacesInside = false;
    cDecoratorObject m_decorator;
    // The result of the last time-bounded mesh drawing; nothing has been
    // drawn at first.
    std::uint8_t m_incomplete = 1;
    cGeometriesGLRenderer m_geometries;
    DWORD (*m_drawClock)() = nullptr;
};

// A shape's surface: its breps when it has any, else its NURBS surface.
void DrawShapeSurfaceGL(cGeometriesGLRenderer* drawer, GLUnurbs* nurbs, ISceneObject* object,
                        const cDecoratorObject& decorator, bool selected);
// The section wires of a loft shape, sampled at the pixel size; nothing for
// other shapes.
void DrawShapeWiresGL(GLUnurbs* nurbs, ISceneObject* object, float pixelSize, const cDecoratorObject& decorator);
// The scene frame's overlay widgets.
void DrawOverlayTripod(cGLRenderer* renderer);
void DrawAxesAndGridGL(cGLRenderer* renderer, float gridSize);
void DrawSectionPointsGL(cGLRenderer* renderer, const tPolylineCollection<tFramePolyline<cVertex>>& sections);
void DrawMeshPointsInFrameGL(cGLRenderer* renderer, const double frame[12], const cMesh& mesh);
