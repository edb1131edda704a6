// The network mode's drawing: the section plane with its preview, the
// dragged and drawn curves, the sub-sampling preview, the snap candidate and
// the hover.
#include "modes/network_edit_mode.h"

#include "core/decorator_object.h"
#include "core/frame_math.h"
#include "modes/mode_support.h"
#include "modes/shapes_view.h"
#include "render/edit_drawing_gl.h"
#include "render/gl_renderer.h"
#include "render/gl_widgets.h"
#include "render/host_geometry_gl.h"
#include "shapes/interactive_section_plane.h"
#include "shapes/spline_section_curve.h"

namespace
{

// Lighting, depth test, shading model and colour material, saved around
// each group of the drawing.
class cSavedGLState
{
public:
    cSavedGLState()
    {
        lighting = glIsEnabled(GL_LIGHTING) != 0;
        depth = glIsEnabled(GL_DEPTH_TEST) != 0;
        colourMaterial = glIsEnabled(GL_COLOR_MATERIAL) != 0;
        glGetIntegerv(GL_SHADE_MODEL, &shade);
    }
    ~cSavedGLState()
    {
        lighting ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
        depth ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
        colourMaterial ? glEnable(GL_COLOR_MATERIAL) : glDisable(GL_COLOR_MATERIAL);
        glShadeModel(GLenum(shade));
    }
    cSavedGLState(const cSavedGLState&) = delete;
    cSavedGLState& operator=(const cSavedGLState&) = delete;

private:
    bool lighting = false, depth = false, colourMaterial = false;
    GLint shade = GL_SMOOTH;
};

stDrawnCurve Shown(ST_ISectionCurve& curve)
{
    stDrawnCurve shown;
    shown.wire = curve.GetWire();
    shown.points = curve.GetDefiningPoints();
    return shown;
}

void DrawCollection(cGLRenderer* gl, const stDrawnCurveCollection& collection, const float colour[4], bool depthTest)
{
    cDecoratorObject decorator;
    for (int slot = 0; slot < 5; ++slot)
        decorator.SetColour(slot, colour[0], colour[1], colour[2], colour[3]);
    decorator.m_lineWidths[0] = 2.0f;
    cGeometriesGLRenderer drawer(gl);
    gl->PushViewTransform();
    DrawPolylineCollectionGL(&drawer, collection, gl->PixelsToWorld(1), decorator, depthTest);
    gl->PopViewTransform();
}

} // namespace

void CUIM_EditNetwork::DrawGL(C3DView* view)
{
    auto* gl = view ? dynamic_cast<cGLRenderer*>(view->GetRenderer()) : nullptr;
    if (!gl)
        return;
    INetworkEditPage* page = Page();
    const float marker = gl->PixelsToWorld(kNetworkSnapPixels);

    // 1. The section plane and its preview, unless a picker places it.
    ST_CInteractiveSectionPlane* plane = page ? page->SectionPlane() : nullptr;
    if (subState == kNetworkSectionPlane && page && plane && plane->IsActive() &&
        !view->FindMode(kModeSectionPlanePicker) && !view->FindMode(kModeGuidingCurvePicker))
    {
        cSavedGLState saved;
        const cPlane& p = plane->GetPlane();
        stPlaneRecord record;
        for (int k = 0; k < 3; ++k)
        {
            record.n[k] = p.normal[k];
            record.o[k] = p.origin[k];
            record.a[k] = p.xAxis[k];
        }
        record.w = p.halfWidth * 0.8;
        record.h = p.halfHeight * 0.8;
        DrawPlaneWithNormalGL(gl, record);
        const float grey[4] = {0.1f, 0.1f, 0.1f, 1.0f};
        const bool asCut = page->SectionPointCount() == 0;
        std::vector<std::unique_ptr<ST_ISectionCurve>> fitted;
        stDrawnCurveCollection collection;
        MakeIdentity3x4(collection.frame);
        for (const tFramePolyline<cVertex>& polyline : page->SectionPreview().items)
        {
            if (polyline.GetVertexCount() < 2)
                continue;
            if (asCut)
            {
                cDecoratorObject decorator;
                decorator.SetColour(kDecoratorWireframe, grey[0], grey[1], grey[2], grey[3]);
                DrawPolylineOnTopGL(gl, polyline, decorator);
                continue;
            }
            auto spline = std::make_unique<ST_TSplineCurve<Dezaz_Wire>>();
            double identity[12];
            MakeIdentity3x4(identity);
            if (spline->FitToPolyline(identity, polyline, 0.0, 0))
            {
                collection.curves.push_back(Shown(*spline));
                fitted.push_back(std::move(spline));
            }
        }
        if (!collection.curves.empty())
            DrawCollection(gl, collection, grey, false);
    }

    // 2. The dragged curves, and the curve being drawn.
    {
        cSavedGLState saved;
        const float blue[4] = {0.0f, 0.0f, 0.85f, 1.0f};
        stDrawnCurveCollection collection;
        MakeIdentity3x4(collection.frame);
        for (std::size_t i = 0; i < drag.Mover().GetCurveCount(); ++i)
            if (ST_ISectionCurve* curve = drag.Mover().GetWorkingCurve(i))
                collection.curves.push_back(Shown(*curve));
        if (subState == kNetworkAddCurve && drawn)
            collection.curves.push_back(Shown(*drawn));
        if (!collection.curves.empty())
            DrawCollection(gl, collection, blue, false);
    }

    // 3. The samples a commit would keep.
    if (subState == kNetworkAddCurve && drawn && page && page->IsSubSampling() && page->SubSamplingCount() > 0)
    {
        cSavedGLState saved;
        tPolyline<cVertex> samples;
        ResampleBetweenJoints(GetNetwork(), *drawn, std::uint32_t(page->SubSamplingCount()), samples);
        if (samples.GetVertexCount() > 2)
        {
            gl->PushViewTransform();
            glEnable(GL_LIGHTING);
            glEnable(GL_COLOR_MATERIAL);
            glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
            glColor3f(0.313f, 0.313f, 0.313f);
            for (const cVertex& v : samples.vertices)
                DrawSphereMarkerGL(v.Position(), 0.8f * marker);
            gl->PopViewTransform();
        }
    }

    // 4. The snap candidate and the hovered node, else the hovered curve.
    {
        cSavedGLState saved;
        gl->PushViewTransform();
        glEnable(GL_COLOR_MATERIAL);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
        glColor3f(1.0f, 1.0f, 0.0f);
        if (snap.kind == kCurveSnapPoint && !IsFloatUnset(snap.snapped.x))
            DrawSphereMarkerGL(snap.snapped.Position(), marker);
        if (!IsFloatUnset(hoveredPoint[0]))
            DrawSphereMarkerGL(hoveredPoint, marker);
        gl->PopViewTransform();
        if (IsFloatUnset(hoveredPoint[0]) && hoveredCurve && IsNetworkCurve(hoveredCurve))
        {
            stDrawnCurveCollection collection;
            MakeIdentity3x4(collection.frame);
            stDrawnCurve shown = Shown(*hoveredCurve);
            shown.selected = 1;
            collection.curves.push_back(shown);
            cDecoratorObject decorator;
            for (int slot : {kDecoratorWireframe, kDecoratorSelection, kDecoratorBoundary})
                decorator.SetColour(slot, 1.0f, 1.0f, 0.0f, 1.0f);
            decorator.m_lineWidths[0] = 3.0f;
            decorator.m_pointSize = marker;
            cGeometriesGLRenderer drawer(gl);
            DrawCurvesWithHandlesGL(&drawer, &collection, false, decorator);
        }
    }
}

void CUIM_EditNetwork::DrawOverlay(GpGraphics* graphics, C3DView* view)
{
    CUIM_ZoomRect::DrawOverlay(graphics, view);
}
