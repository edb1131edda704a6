#include "modes/curve_draw_mode.h"

#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/scene.h"
#include "modes/mode_geometry.h"
#include "modes/mode_support.h"
#include "modes/shapes_view.h"
#include "platform/win32/input.h"
#include "render/gl_renderer.h"
#include "render/gl_widgets.h"

#include <map>
#include <memory>

namespace
{

bool ShiftDown()
{
    return GetAsyncKeyState(VK_SHIFT) < 0;
}

cUserInteractiveMode<C3DView>* MakeDrawMode(std::uint32_t id, std::uint32_t temporary, IBase*, cCPView* view)
{
    return new CUIM_DrawCurveOnMesh(id, temporary, view);
}

// Sets a GL capability and answers its previous state.
bool SetCapability(GLenum cap, bool on)
{
    const bool was = glIsEnabled(cap) != 0;
    if (was != on)
        on ? glEnable(cap) : glDisable(cap);
    return was;
}

void RestoreCapability(GLenum cap, bool was)
{
    SetCapability(cap, was);
}

std::map<cCPView*, IGuideCurveReceiver*>& Receivers()
{
    static std::map<cCPView*, IGuideCurveReceiver*> receivers;
    return receivers;
}

IGuideCurveReceiver* ReceiverOf(cCPView* view)
{
    if (!view)
        return nullptr;
    if (const auto it = Receivers().find(view); it != Receivers().end())
        return it->second;
    return dynamic_cast<IGuideCurveReceiver*>(view->GetOwnerTool());
}

} // namespace

void SetGuideCurveReceiver(cCPView* view, IGuideCurveReceiver* receiver)
{
    if (receiver)
        Receivers()[view] = receiver;
    else
        Receivers().erase(view);
}

void RegisterCurveDrawMode()
{
    SetShapesViewModeMaker(kModeDrawCurveOnMesh, &MakeDrawMode);
}

CUIM_DrawCurveOnMesh::CUIM_DrawCurveOnMesh(std::uint32_t id, std::uint32_t temporary, cCPView* ownerView)
    : CUIM_ZoomRect(id, temporary), view(ownerView)
{
}

bool CUIM_DrawCurveOnMesh::LastPointOnScreen(POINT* out) const
{
    I3DSceneRenderer* renderer = view ? view->GetRenderer() : nullptr;
    if (points.IsEmpty() || !renderer)
        return false;
    float projected[3];
    renderer->ProjectPoint(projected, points.GetLastVertex()->Position(), true);
    renderer->WorldToScreen(projected[0], projected[1], out);
    return true;
}

POINT CUIM_DrawCurveOnMesh::SnappedToLastPoint(POINT point) const
{
    POINT last{};
    if (ShiftDown() && LastPointOnScreen(&last))
        return SnapDrawPointToAxis(last, point);
    return point;
}

void CUIM_DrawCurveOnMesh::Invalidate() const
{
    if (view && view->GetSafeHwnd())
        InvalidateRect(view->GetSafeHwnd(), nullptr, TRUE);
}

BOOL CUIM_DrawCurveOnMesh::OnLButtonDown(POINT point, UINT, C3DView* target)
{
    const POINT click = SnappedToLastPoint(point);
    cMeshObject* object = FirstMeshObject(target);
    cBase3DRenderer* camera = target ? target->GetCamera() : nullptr;
    if (!object || !camera)
        return 1;
    float x = 0.0f, y = 0.0f;
    camera->ScreenToWorld(click, &x, &y);
    const cMeshTriangle* hit = nullptr;
    cVertex picked =
        PickMeshPointUnderCursor(*object->GetMesh(), x, y, camera->GetViewTransform(), camera->GetSceneCentre(), &hit);
    if ((picked.flags & kPickedNothing) || !hit)
        return 1;
    picked.nx = hit->nx;
    picked.ny = hit->ny;
    picked.nz = hit->nz;
    points.AddVertex(picked);
    Invalidate();
    return 1;
}

BOOL CUIM_DrawCurveOnMesh::OnLButtonDblClk(POINT, UINT, C3DView* target)
{
    if (target && target->GetSafeHwnd())
        SendMessageW(target->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(kCmdFinishCurve, 0), 0);
    return 1;
}

BOOL CUIM_DrawCurveOnMesh::OnMouseMove(POINT point, UINT flags, C3DView* target)
{
    const BOOL result = CUIM_ZoomRect::OnMouseMove(point, flags, target);
    cursor = point;
    if (!points.IsEmpty())
    {
        cursor = SnappedToLastPoint(point);
        Invalidate();
    }
    return result;
}

void CUIM_DrawCurveOnMesh::MoveWithMesh(const double m[12])
{
    points.Transform(m);
    Invalidate();
}

void CUIM_DrawCurveOnMesh::RemoveLastPoint()
{
    if (points.IsEmpty())
        return;
    points.vertices.pop_back();
    points.boxValid = 0;
    Invalidate();
}

BOOL CUIM_DrawCurveOnMesh::OnCommand(UINT id, int code, void*, AFX_CMDHANDLERINFO* info, C3DView* target)
{
    if (code != 0 || info)
        return 0;
    switch (id)
    {
    case kCmdRemoveLastPoint: RemoveLastPoint(); break;
    case kCmdFinishCurve:
        if (points.GetVertexCount() >= 2 && view)
            if (IGuideCurveReceiver* receiver = ReceiverOf(view))
                receiver->ApplyGuideCurve(points);
        points.Clear();
        if (target)
            target->RequestRedraw(0);
        break;
    case kCmdRestartDrawing:
        points.Clear();
        Invalidate();
        break;
    default: break;
    }
    return 0;
}

void CUIM_DrawCurveOnMesh::OnEscape(C3DView*)
{
    RemoveLastPoint();
}

void CUIM_DrawCurveOnMesh::OnActivate(C3DView* target)
{
    Invalidate();
    if (target && target->GetSafeHwnd())
        SetFocus(target->GetSafeHwnd());
}

int CUIM_DrawCurveOnMesh::OnSetCursor(C3DView*, UINT, UINT)
{
    POINT last{};
    if (!LastPointOnScreen(&last))
        return int(kCursorDrawOnMesh);
    if (cursor.x == last.x)
        return int(kCursorDrawVertical);
    if (cursor.y == last.y)
        return int(kCursorDrawHorizontal);
    return int(kCursorDrawOnMesh);
}

BOOL CUIM_DrawCurveOnMesh::GetContextMenu(UINT* menuId, CWnd** target)
{
    if (menuId)
        *menuId = 3042;
    if (target)
        *target = view;
    return 1;
}

void CUIM_DrawCurveOnMesh::DrawGL(C3DView* target)
{
    auto* gl = target ? dynamic_cast<cGLRenderer*>(target->GetRenderer()) : nullptr;
    if (!gl)
        return;
    gl->PushViewTransform();
    const bool lighting = SetCapability(GL_LIGHTING, false);
    const bool depth = SetCapability(GL_DEPTH_TEST, false);
    GLint shade = GL_SMOOTH;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    glShadeModel(GL_FLAT);
    const bool colourMaterial = SetCapability(GL_COLOR_MATERIAL, true);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);

    DrawPolylineGL(points, 250, 250, 250, 2.0f, false, 5.0f);
    if (!points.IsEmpty())
    {
        GLfloat width = 1.0f;
        glGetFloatv(GL_LINE_WIDTH, &width);
        glLineWidth(2.0f);
        glColor3ub(250, 250, 250);
        float viewPoint[3] = {0.0f, 0.0f, 0.0f};
        gl->ScreenToWorld(cursor, &viewPoint[0], &viewPoint[1]);
        float world[3];
        gl->ViewToWorld(world, viewPoint);
        glBegin(GL_LINES);
        glVertex3fv(points.GetLastVertex()->Position());
        glVertex3fv(world);
        glEnd();
        glLineWidth(width);
    }
    const bool cull = SetCapability(GL_CULL_FACE, true);
    glShadeModel(GL_SMOOTH);
    SetCapability(GL_COLOR_MATERIAL, false);
    const float radius = gl->PixelsToWorld(kDrawnPointMarkerPixels);
    for (const cVertex& v : points.vertices)
        DrawSphereMarkerGL(v.Position(), radius);

    RestoreCapability(GL_CULL_FACE, cull);
    RestoreCapability(GL_COLOR_MATERIAL, colourMaterial);
    glShadeModel(GLenum(shade));
    RestoreCapability(GL_DEPTH_TEST, depth);
    RestoreCapability(GL_LIGHTING, lighting);
    gl->PopViewTransform();
}
