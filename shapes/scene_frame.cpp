#include "shapes/scene_frame.h"

#include "core/bounding_box.h"
#include "core/frame_math.h"
#include "core/mesh_object.h"
#include "core/p3d_scene.h"
#include "core/scene_object_container.h"
#include "core/section_curve.h"
#include "core/triangle_colour_property.h"
#include "render/edit_drawing_gl.h"
#include "render/frame_buffer_cache.h"
#include "render/gl_widgets.h"
#include "render/texture_map.h"
#include "render/textured_mesh_gl_renderer.h"
#include "shapes/host_surface.h"
#include "shapes/loft_surface.h"
#include "shapes/network_surface.h"
#include "shapes/primitive_scene_objects.h"
#include "shapes/profiled_surface.h"
#include "shapes/shape_interfaces.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>

namespace
{

template <class F> void ForEachObject(I3DScene& scene, F&& f)
{
    std::unique_ptr<cSceneObjectIterator> it(scene.GetObjectIterator());
    if (!it)
        return;
    for (it->First(); !it->IsDone(); it->Next())
    {
        const tSafePtr<ISceneObject> object = it->Current();
        if (object.Get())
            f(object.Get());
    }
}

template <class T> T* Query(IBase* object, const GUID& iid)
{
    return object ? static_cast<T*>(object->QueryInterface(iid)) : nullptr;
}

bool IsMeshObject(ISceneObject* object) { return dynamic_cast<cMeshObject*>(object) != nullptr; }

// The curves of a profiled surface's profile as the curve drawers take them.
bool ProfileCurves(IBase* object, stDrawnCurveCollection& out)
{
    auto* surface = Query<ST_IProfiledSurface>(object, IID_ST_IProfiledSurface);
    ST_ISectionCurve* curve = surface ? surface->GetProfileCurve() : nullptr;
    if (!curve)
        return false;
    // A curve network is drawn as its curves: its sketch has no sections of
    // its own, so the sketch's wire is never a drawable one.
    if (Query<ST_IGeometry>(object, IID_Dezaz_NetworkSurface) && curve->GetSegmentCount() > 0)
    {
        MakeIdentity3x4(out.frame);
        for (std::uint32_t i = 0; i < curve->GetSegmentCount(); ++i)
            if (ST_ISectionCurve* segment = curve->GetSegment(i))
            {
                stDrawnCurve drawn;
                drawn.points = segment->GetDefiningPoints();
                drawn.wire = segment->GetWire();
                drawn.selected = segment->selected;
                out.curves.push_back(drawn);
            }
        return true;
    }
    std::copy(curve->frame, curve->frame + 12, out.frame);
    stDrawnCurve drawn;
    drawn.points = curve->GetDefiningPoints();
    drawn.controlPolygon = curve->GetControlPoints();
    drawn.wire = curve->HasValidWire() ? curve->GetWire() : nullptr;
    out.curves.push_back(drawn);
    return true;
}

// Decorator fields are taken whole; the frame changes only the ones it
// restores.
struct DecoratorRestore
{
    explicit DecoratorRestore(cDecoratorObject& decorator) : target(decorator), saved(decorator) {}
    ~DecoratorRestore() { target = saved; }
    DecoratorRestore(const DecoratorRestore&) = delete;
    DecoratorRestore& operator=(const DecoratorRestore&) = delete;
    cDecoratorObject& target;
    cDecoratorObject saved;
};

} // namespace

cP3DRenderGL::cP3DRenderGL() : m_geometries(this) {}

cP3DRenderGL::~cP3DRenderGL()
{
    m_geometries.SetRenderer(nullptr);
    Release();
}

void cP3DRenderGL::RenderScene(I3DScene* baseScene, int, std::uint32_t redraw)
{
    auto* scene = dynamic_cast<cP3DScene*>(baseScene);
    if (!scene)
        return;
    const std::uint32_t level = GetRedrawLevel();
    m_hasShapes = false;
    m_surfacesInside = false;
    ForEachObject(*scene, [&](ISceneObject* object) {
        if (!Query<ST_IGeometry>(object, IID_ST_IGeometry))
            return;
        m_hasShapes = true;
        // A curve network has no surface to be seen through the meshes: the
        // Curves page's "Transparent Mesh" alone makes them see-through.
        m_surfacesInside = m_surfacesInside || !Query<ST_IGeometry>(object, IID_Dezaz_NetworkSurface);
    });

    // One eye light for the whole frame: the shapes drawn over a restored
    // mesh picture are lit as the meshes under them were.
    SetupEyeLight(scene);

    // A level-1 frame needs the level-0 picture; when the cache lost it (a
    // resize, a failed save) the meshes would vanish, so it is drawn again.
    IFrameBufferCache* cache = GetLevelCache();
    const bool level0Valid = cache && cache->GetValidLevelCount() >= 1;
    if (level == 0 || !level0Valid)
    {
        DrawLevel0(scene, redraw);
        SaveLevel(0, true);
    }
    else
    {
        RestoreLevel(0, true);
    }
    if (scene->m_boxMode == kBoxModeNormal)
        DrawShapePass(*scene);
    DrawOverlayPass(*scene);
    SaveLevel(1, true);
    SetRedrawLevel(std::max<std::uint32_t>(1, level));
}

void cP3DRenderGL::SetupEyeLight(cP3DScene* scene)
{
    // The light's place is taken in the coordinates current at the call:
    // the identity puts it at the eye whatever the view transform.
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    SetupLights(scene);
    glPopMatrix();
    glMatrixMode(GLenum(mode));
}

void cP3DRenderGL::DrawLevel0(cP3DScene* scene, std::uint32_t redraw)
{
    cDecoratorObject& colours = scene->GetDecorator();
    DrawBackgroundGradient(this, colours.m_colours[kDecoratorFront], colours.m_colours[kDecoratorBack]);
    DrawMeshPass(scene, redraw);
}

void cP3DRenderGL::DrawMeshPass(cP3DScene* scene, std::uint32_t redraw)
{
    if (!scene)
        return;
    if (scene->m_boxMode == kBoxModeSectionView)
    {
        DrawSectionView(*scene);
        return;
    }
    double mirror[12];
    const bool mirrored = MirrorTransform(*scene, mirror);

    // The meshes' specular material stays theirs; the light that the frame
    // set up stays on for the shapes.
    glPushAttrib(GL_LIGHTING_BIT | GL_ENABLE_BIT);
    const GLfloat specular[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 50.0f);
    PushViewTransform();
    ForEachObject(*scene, [&](ISceneObject* object) {
        if (object->HasStateFlag1())
            DrawMeshObject(*scene, object, redraw, mirrored ? mirror : nullptr);
    });
    PopViewTransform();
    glPopAttrib();
}

namespace
{
// The record a deviation pass attaches to the mesh object it measured.
constexpr wchar_t kDeviationRecordName[] = L"VTL_AnalyzerInfo_Property";
} // namespace

void cP3DRenderGL::DrawMeshObject(cP3DScene& scene, ISceneObject* object, std::uint32_t redraw,
                                  const double* mirror)
{
    if (auto* textured = Query<ITexturedMeshObject>(object, IID_ITexturedMeshObject))
    {
        if (!textured->GetTextureRenderer())
            BindTexturesToCache(textured, this);
    }
    stDrawContext context;
    context.renderer = this;
    cDecoratorObject& decorator = object->GetDecorator();
    if (scene.m_deviationDisplay != 0)
    {
        if (ISceneObjectRenderer* drawer = GetObjectRenderer(object, kMeshRendererKind))
        {
            DecoratorRestore restore(decorator);
            ApplyInteractiveLook(decorator, redraw);
            if (drawer->AttachObject(object))
                m_incomplete = RunDrawer(*drawer, context, redraw) != 0 ? 1 : 0;
            return;
        }
    }
    if (Query<IRGBImageObject>(object, IID_IRGBImageObject))
    {
        cRGBImageGLRenderer image;
        if (image.AttachObject(object))
            image.Render(context);
        return;
    }
    if (!IsMeshObject(object))
        return;

    DecoratorRestore restore(decorator);
    ApplyInteractiveLook(decorator, redraw);
    const float origin[3] = {0.0f, 0.0f, 0.0f}, eye[3] = {0.0f, 0.0f, 1.0f};
    float a[3], b[3];
    ViewToWorld(a, origin);
    ViewToWorld(b, eye);
    for (int i = 0; i < 3; ++i)
        context.viewDirection[i] = b[i] - a[i];
    // The triangle tags that sessions paint colour their regions. The
    // vertices' colour slot holds area scalars after the normals were
    // computed; only a deviation pass, which leaves its record on the
    // object, writes colours there, and the deviation box mode shows them.
    const bool deviation = scene.m_boxMode == kBoxModeDeviation;
    m_meshDrawer.SetVertexColours(deviation && object->FindAttachedProperty(kDeviationRecordName) != nullptr);
    context.selectedOnly = deviation && scene.m_deviationSelectionOnly != 0 ? 1 : 0;
    m_meshDrawer.SetTriangleColours(
        !deviation && scene.m_switch3 != 0
            ? dynamic_cast<const CTriangleColourProperties*>(object->FindAttachedProperty(kTriangleColoursPropertyName))
            : nullptr);
    if (!m_meshDrawer.AttachObject(object))
        return;
    m_incomplete = RunDrawer(m_meshDrawer, context, redraw) != 0 ? 1 : 0;
    m_meshDrawer.SetTriangleColours(nullptr); // held for this object's drawing only
    if (mirror)
    {
        // The mirrored copy: light grey points.
        decorator.SetColour(kDecoratorFront, 0.7f, 0.7f, 0.7f, 1.0f);
        decorator.m_mode = kDisplayPoints;
        decorator.m_pointSize = 1.5f;
        const double m[16] = {mirror[0], mirror[4], mirror[8], 0.0, mirror[1], mirror[5], mirror[9], 0.0,
                              mirror[2], mirror[6], mirror[10], 0.0, mirror[3], mirror[7], mirror[11], 1.0};
        glPushMatrix();
        glMultMatrixd(m);
        // Points are drawn whichever way they face in the mirrored copy.
        stDrawContext mirrored = context;
        mirrored.viewDirection[0] = FLT_MAX;
        if (m_meshDrawer.AttachObject(object))
            RunDrawer(m_meshDrawer, mirrored, redraw);
        glPopMatrix();
    }
}

std::uint32_t cP3DRenderGL::RunDrawer(ISceneObjectRenderer& drawer, stDrawContext& context, std::uint32_t redraw)
{
    // A full repaint draws everything. An interaction redraw gets the redraw
    // argument as its time budget in milliseconds, but never less than a
    // frame of a fluid drag: the navigation modes pass 0, and a budget of
    // nothing would show an empty view. Its points go in the spread-out
    // order, so a drawing that the budget stops still shows the whole scan.
    const bool interaction = redraw != kFullRepaint;
    context.timeBudget = interaction ? std::max(redraw, kInteractionBudgetMs) : 0xFFFFFFFFu;
    context.progressivePoints = interaction ? 1 : 0;
    context.clock = m_drawClock;
    return drawer.Render(context);
}

void cP3DRenderGL::ApplyInteractiveLook(cDecoratorObject& decorator, std::uint32_t redraw) const
{
    // Every interaction frame shows the meshes as points: drawn in their own
    // mode after an incomplete drawing, a big solid would stop at the budget
    // with most of the scan missing, every other frame of a drag.
    if (redraw != kFullRepaint)
    {
        ++decorator.m_count;
        decorator.m_mode = kDisplayPoints;
        for (int i = 0; i < 3; ++i)
            decorator.m_colours[kDecoratorFront][i] = std::min(decorator.m_colours[kDecoratorFront][i] * 1.2f, 1.0f);
    }
    if (m_surfacesInside)
        decorator.m_flags |= kDecoratorSeeThrough;
}

bool cP3DRenderGL::MirrorTransform(cP3DScene& scene, double out[12])
{
    auto* object = Query<ISceneObject>(scene.m_referenceObject, CLSID_Dezaz_SymmetryPlaneObject);
    auto* symmetry = dynamic_cast<Dezaz_SymmetryPlaneObject*>(object);
    if (!symmetry || !symmetry->HasStateFlag1() || !symmetry->GetGeometry())
        return false;
    const cPlane& plane = symmetry->GetGeometry()->GetPlane();
    double n[3] = {plane.normal[0], plane.normal[1], plane.normal[2]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 0.0) || !std::isfinite(length))
        return false;
    for (double& v : n)
        v /= length;
    // F maps the plane's frame into the world; reflecting its z and mapping
    // back is the reflection in the plane.
    double frame[12], inverse[12], reflect[12], temp[12];
    MakeFrame3x4(frame, plane.origin, n, plane.xAxis);
    std::copy(frame, frame + 12, inverse);
    InvertRigidTransform3x4(inverse);
    MakeIdentity3x4(reflect);
    reflect[10] = -1.0;
    MultiplyTransform3x4(reflect, temp, inverse);
    MultiplyTransform3x4(frame, out, temp);
    return true;
}

void cP3DRenderGL::DrawSectionView(cP3DScene& scene)
{
    auto* surface = Query<ST_IProfiledSurface>(scene.m_referenceObject, IID_ST_IProfiledSurface);
    ST_ISectionCurve* curve = surface ? surface->GetProfileCurve() : nullptr;
    if (!curve)
        return;
    if (scene.m_displayWord2 & kSectionShowPoints)
        DrawSectionPointsGL(this, curve->sections);
    if (scene.m_displayWord2 & kSectionShowCurves)
    {
        stDrawnCurveCollection collection;
        ProfileCurves(scene.m_referenceObject, collection);
        cDecoratorObject decorator;
        decorator.SetColour(kDecoratorFront, 1, 0, 0, 1);
        decorator.SetColour(kDecoratorSelection, 1, 1, 0, 1);
        decorator.SetColour(kDecoratorWireframe, 0, 0, 0, 1);
        decorator.m_refresh |= 2 | 8;
        decorator.m_pointSize = PixelsToWorld(4);
        decorator.m_lineWidths[0] = 2.0f;
        DrawCurvesWithHandlesGL(&m_geometries, &collection, scene.m_switch2 != 0, decorator);
    }
    if (scene.m_displayWord2 & kSectionShowMeshPoints)
    {
        double frame[12];
        std::copy(curve->frame, curve->frame + 12, frame);
        InvertRigidTransform3x4(frame);
        ForEachObject(scene, [&](ISceneObject* object) {
            if (auto* meshObject = dynamic_cast<cMeshObject*>(object); meshObject && meshObject->GetMesh())
                DrawMeshPointsInFrameGL(this, frame, *meshObject->GetMesh());
        });
    }
}

void cP3DRenderGL::DrawShapePass(cP3DScene& scene)
{
    GLUnurbs* nurbs = NewNurbsRenderer();
    if (!nurbs)
        return;
    // The shapes shine as the meshes do, whether or not this frame drew the
    // meshes.
    glPushAttrib(GL_LIGHTING_BIT);
    const GLfloat specular[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 50.0f);
    PushViewTransform();
    const float pixel = PixelsToWorld(1);
    bool seeThrough = false;
    ForEachObject(scene, [&](ISceneObject* object) {
        seeThrough = seeThrough || (IsMeshObject(object) && (object->GetDecorator().m_flags & kDecoratorSeeThrough));
    });
    // The loft tools show the sections of the loft they edit while its
    // display word asks for it to be drawn; they may hide the object itself
    // from the scene's other passes meanwhile.
    auto* loftReference = Query<ISceneObject>(scene.m_referenceObject, CLSID_Dezaz_LoftSurfaceObject);
    const bool showLoftWires = loftReference != nullptr && loftReference->GetDecorator().m_mode != 0;
    ForEachObject(scene, [&](ISceneObject* object) {
        if (!Query<ST_IGeometry>(object, IID_ST_IGeometry))
            return;
        const bool wires = showLoftWires && Query<ST_IGeometry>(object, IID_Dezaz_LoftSurface);
        if (wires)
        {
            cDecoratorObject decorator;
            decorator.SetColour(kDecoratorFront, 0.9411765f, 0.9411765f, 0.43137255f, 1);
            decorator.m_refresh |= 8;
            decorator.m_pointSize = 5.0f;
            decorator.m_lineWidths[0] = 2.0f;
            // The sections lie on the lofted surface: its fill is pushed back
            // so that it does not paint over them.
            glPushAttrib(GL_POLYGON_BIT | GL_ENABLE_BIT);
            glPolygonOffset(1.0f, 1.0f);
            glEnable(GL_POLYGON_OFFSET_FILL);
            DrawShapeWiresGL(nurbs, object, pixel, decorator);
        }
        DrawShapeSurfaceGL(&m_geometries, nurbs, object, object->GetDecorator(), object->IsSelected());
        if (wires)
            glPopAttrib();
        stDrawnCurveCollection curves;
        if (ProfileCurves(object, curves))
        {
            cDecoratorObject decorator;
            decorator.SetColour(kDecoratorFront, 0, 0, 0.85f, 1);
            decorator.SetColour(kDecoratorBack, 0.78431374f, 0.49803922f, 0, 1);
            decorator.SetColour(kDecoratorSelection, 1, 1, 0, 1);
            decorator.m_refresh |= 8;
            decorator.m_pointSize = 5.0f;
            decorator.m_lineWidths[0] = 3.0f;
            DrawPolylineCollectionGL(&m_geometries, curves, pixel, decorator, !seeThrough);
        }
    });
    gluDeleteNurbsRenderer(nurbs);
    PopViewTransform();
    glPopAttrib();
    // The mesh points a profile was fitted from, which the sketch's
    // select-and-fit tool picks among, show while the scene's switch asks.
    if (scene.m_displayWord2 & kSectionShowMeshPoints)
        ForEachObject(scene, [&](ISceneObject* object) {
            auto* surface = Query<ST_IProfiledSurface>(object, IID_ST_IProfiledSurface);
            if (ST_ISectionCurve* curve = surface ? surface->GetProfileCurve() : nullptr)
                DrawSectionPointsGL(this, curve->sections);
        });
}

float cP3DRenderGL::GridSize(cP3DScene& scene)
{
    float box[6] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}; // holds the origin
    bool any = false;
    ForEachObject(scene, [&](ISceneObject* object) {
        auto* meshObject = dynamic_cast<cMeshObject*>(object);
        if (!meshObject || !meshObject->GetMesh())
            return;
        const float* meshBox = meshObject->GetMesh()->GetBoundingBox();
        if (!IsValidBoundingBox3f(meshBox))
            return;
        GrowBox3f(box, meshBox);
        GrowBox3f(box, meshBox + 3);
        any = true;
    });
    if (!any || !IsValidBoundingBox3f(box))
        return PixelsToWorld(200);
    return std::max({box[3] - box[0], box[4] - box[1], box[5] - box[2]}) * 1.1f;
}

void cP3DRenderGL::DrawOverlayPass(cP3DScene& scene)
{
    PushViewTransform();
    DrawOverlayTripod(this);
    if (scene.m_switch1)
        DrawAxesAndGridGL(this, GridSize(scene));
    PopViewTransform();
}

void DrawShapeSurfaceGL(cGeometriesGLRenderer* drawer, GLUnurbs* nurbs, ISceneObject* object,
                        const cDecoratorObject& decorator, bool selected)
{
    auto* surface = Query<ON_ISurface>(object, IID_ON_ISurface);
    if (!surface)
        return;
    glPushAttrib(GL_ENABLE_BIT);
    glEnable(GL_LIGHTING);
    const ON_SimpleArray<ON_Brep*>* breps = surface->GetBreps();
    bool drawn = false;
    if (breps)
    {
        for (int i = 0; i < breps->Count(); ++i)
        {
            const ON_Brep* brep = (*breps)[i];
            if (brep && brep->FaceCount() > 0)
            {
                DrawBrepGL(drawer, nurbs, *brep, decorator, selected);
                drawn = true;
            }
        }
    }
    if (!drawn)
    {
        ON_NurbsSurface nurbsForm;
        if (surface->GetNurbForm(nurbsForm) && nurbsForm.IsValid())
            DrawNurbsSurfaceGL(drawer, nurbs, nurbsForm, decorator, selected);
    }
    glPopAttrib();
}

void DrawShapeWiresGL(GLUnurbs* nurbs, ISceneObject* object, float pixelSize, const cDecoratorObject& decorator)
{
    auto* geometry = Query<ST_IGeometry>(object, IID_Dezaz_LoftSurface);
    auto* loft = dynamic_cast<ST_TLoftSurface<Dezaz_Wire>*>(geometry);
    if (!loft)
        return;
    if (nurbs)
        gluNurbsProperty(nurbs, GLU_CULLING, GL_FALSE);
    for (const LoftSection& section : loft->GetParameters().sections)
    {
        // A section fitted from points carries no scan cuts, so its wire
        // alone decides.
        const ST_ISectionCurve* curve = section.curve.get();
        const ST_IWire* wire = curve ? curve->GetWire() : nullptr;
        if (wire && wire->IsValid())
            DrawWireGL(*wire, curve->frame, pixelSize, decorator);
    }
    // The surfaces drawn after the wires keep the pass's culling.
    if (nurbs)
        gluNurbsProperty(nurbs, GLU_CULLING, GL_TRUE);
}

void DrawOverlayTripod(cGLRenderer* renderer)
{
    glPushAttrib(GL_ENABLE_BIT | GL_TRANSFORM_BIT);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, viewport[2], 0, viewport[3], -70.00000762939453, 70.00000762939453);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const float d = (float(renderer->GetAxisLetterHeight()) + 35.000004f) * 1.1f;
    glTranslatef(d, d, 0.0f);
    const double* t = renderer->GetViewTransform();
    const GLdouble rotation[16] = {t[0], t[4], t[8], 0, t[1], t[5], t[9], 0, t[2], t[6], t[10], 0, 0, 0, 0, 1};
    glMultMatrixd(rotation);
    DrawAxisTripod(renderer, 100.0f);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

void DrawAxesAndGridGL(cGLRenderer* renderer, float gridSize)
{
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT);
    glDisable(GL_LIGHTING);
    RECT viewport{};
    renderer->GetViewport(&viewport);
    const float length = renderer->PixelsToWorld(int(std::max(viewport.right - viewport.left,
                                                              viewport.bottom - viewport.top)));
    glLineWidth(1.8f);
    glBegin(GL_LINES);
    glColor3f(0.7056f, 0.0f, 0.0f);
    glVertex3f(0, 0, 0), glVertex3f(length, 0, 0);
    glColor3f(0.0f, 0.7056f, 0.0f);
    glVertex3f(0, 0, 0), glVertex3f(0, length, 0);
    glColor3f(0.0f, 0.0f, 0.7056f);
    glVertex3f(0, 0, 0), glVertex3f(0, 0, length);
    glEnd();
    if (gridSize > 0.0f)
    {
        const float g = gridSize;
        const float c0[3] = {-g, -g, 0}, c1[3] = {g, -g, 0}, c2[3] = {g, g, 0}, c3[3] = {-g, g, 0};
        const float normal[3] = {0, 0, 1};
        cDecoratorObject decorator;
        decorator.SetColour(kDecoratorFront, 0.8f, 0.8f, 0.8f, 0.0f);
        decorator.m_refresh |= 8;
        decorator.m_lineWidths[0] = 1.3f;
        DrawGridQuadGL(false, 10, c0, c1, c2, c3, normal, decorator);
    }
    glPopAttrib();
}

void DrawSectionPointsGL(cGLRenderer* renderer, const tPolylineCollection<tFramePolyline<cVertex>>& sections)
{
    renderer->PushViewTransform();
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_POINT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glShadeModel(GL_FLAT);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glColor4f(0.88f, 0.88f, 0.88f, 1.0f);
    glPointSize(3.0f);
    glBegin(GL_POINTS);
    for (std::uint32_t i = 0; i < sections.GetCount(); ++i)
        for (const cVertex& v : sections[i].vertices)
            glVertex3f(v.x, v.y, v.z);
    glEnd();
    glPopAttrib();
    renderer->PopViewTransform();
}

void DrawMeshPointsInFrameGL(cGLRenderer* renderer, const double frame[12], const cMesh& mesh)
{
    renderer->PushViewTransform();
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_POINT_BIT);
    glPointSize(2.0f);
    glEnable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    glColor4f(0.88f, 0.88f, 0.88f, 1.0f);
    glBegin(GL_POINTS);
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
    {
        const cVertex* v = mesh.GetVertex(i);
        // Flag bits 0 and 3: excluded and hidden vertices.
        if (v->flags & 0x9u)
            continue;
        const float p[3] = {v->x, v->y, v->z};
        float q[3];
        TransformPoint3f(frame, q, p);
        glVertex3f(q[0], q[1], q[2]);
    }
    glEnd();
    glPopAttrib();
    renderer->PopViewTransform();
}
