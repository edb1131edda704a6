#include "modes/section_plane_picker.h"

#include "modes/mode_geometry.h"
#include "modes/shapes_view.h"
#include "render/base_renderer.h"
#include "render/edit_drawing_gl.h"
#include "render/gl_renderer.h"
#include "shapes/interactive_section_plane.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <map>

namespace
{

cUserInteractiveMode<C3DView>* MakePicker(std::uint32_t id, std::uint32_t temporary, IBase*, cCPView* view)
{
    return new CUIM_InteractiveSectionPlane(id, temporary, view);
}

void WorldOf(I3DSceneRenderer& renderer, POINT p, float depth, float out[3])
{
    float v[3] = {0.0f, 0.0f, depth};
    renderer.ScreenToWorld(p, &v[0], &v[1]);
    renderer.ViewToWorld(out, v);
}

} // namespace

void RegisterSectionPlanePicker()
{
    SetShapesViewModeMaker(kModeSectionPlanePicker, &MakePicker);
}

namespace
{

std::map<cCPView*, ISectionPlaneHost*>& Hosts()
{
    static std::map<cCPView*, ISectionPlaneHost*> hosts;
    return hosts;
}

} // namespace

void SetSectionPlaneHost(cCPView* view, ISectionPlaneHost* host)
{
    if (host)
        Hosts()[view] = host;
    else
        Hosts().erase(view);
}

ISectionPlaneHost* SectionPlaneHostOf(cCPView* view)
{
    if (!view)
        return nullptr;
    if (const auto it = Hosts().find(view); it != Hosts().end())
        return it->second;
    return dynamic_cast<ISectionPlaneHost*>(view->GetOwnerTool());
}

bool PlaneFromScreenLine(POINT a, POINT b, C3DView* view, const float anchor[3], float normal[3], float origin[3])
{
    I3DSceneRenderer* renderer = view ? view->GetRenderer() : nullptr;
    if (!renderer || (a.x == b.x && a.y == b.y))
        return false;
    float a0[3], b0[3], a1[3];
    WorldOf(*renderer, a, 0.0f, a0);
    WorldOf(*renderer, b, 0.0f, b0);
    WorldOf(*renderer, a, 100.0f, a1);
    const double u[3] = {double(b0[0]) - a0[0], double(b0[1]) - a0[1], double(b0[2]) - a0[2]};
    const double w[3] = {double(a1[0]) - a0[0], double(a1[1]) - a0[1], double(a1[2]) - a0[2]};
    const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > FLT_EPSILON) || !std::isfinite(length))
        return false;
    for (int k = 0; k < 3; ++k)
        normal[k] = float(n[k] / length);
    // The plane sits at the depth of the section plane's anchor.
    float projected[3];
    renderer->ProjectPoint(projected, anchor, false);
    float pa[3], pb[3];
    WorldOf(*renderer, a, projected[2], pa);
    WorldOf(*renderer, b, projected[2], pb);
    for (int k = 0; k < 3; ++k)
        origin[k] = (pa[k] + pb[k]) / 2.0f;
    return true;
}

CUIM_InteractiveSectionPlane::CUIM_InteractiveSectionPlane(std::uint32_t id, std::uint32_t temporary,
                                                           cCPView* ownerView)
    : CUIM_ZoomRect(id, temporary), view(ownerView)
{
    if (view && view->GetSafeHwnd())
        InvalidateRect(view->GetSafeHwnd(), nullptr, TRUE);
}

bool CUIM_InteractiveSectionPlane::PlaceHostPlane(C3DView* target)
{
    ISectionPlaneHost* host = SectionPlaneHostOf(view);
    ST_CInteractiveSectionPlane* plane = host ? host->SectionPlane() : nullptr;
    if (!plane)
        return false;
    const t3DPoint<float> anchor = plane->GetAnchor();
    const float at[3] = {anchor.x, anchor.y, anchor.z};
    float normal[3], origin[3];
    if (!PlaneFromScreenLine(first, second, target, at, normal, origin))
        return false;
    plane->MoveTo({origin[0], origin[1], origin[2]});
    plane->SetNormal({normal[0], normal[1], normal[2]});
    return true;
}

namespace
{

// The camera's state that places the model on the screen.
struct stCameraState
{
    double view[12];
    float box[6];
    RECT viewport;
};

bool CameraStateOf(C3DView* target, stCameraState& out)
{
    cBase3DRenderer* camera = target ? target->GetCamera() : nullptr;
    if (!camera)
        return false;
    std::copy(camera->GetViewTransform(), camera->GetViewTransform() + 12, out.view);
    camera->GetSceneBox(out.box, out.box + 3);
    out.viewport = RECT{};
    camera->GetViewport(&out.viewport);
    return true;
}

} // namespace

void CUIM_InteractiveSectionPlane::HoldFirstPoint(C3DView* target)
{
    stCameraState state;
    I3DSceneRenderer* renderer = target ? target->GetRenderer() : nullptr;
    ISectionPlaneHost* host = SectionPlaneHostOf(view);
    ST_CInteractiveSectionPlane* plane = host ? host->SectionPlane() : nullptr;
    if (!renderer || !CameraStateOf(target, state))
        return;
    float depth = 0.0f;
    if (plane)
    {
        const t3DPoint<float> anchor = plane->GetAnchor();
        const float at[3] = {anchor.x, anchor.y, anchor.z};
        float projected[3];
        renderer->ProjectPoint(projected, at, false);
        depth = projected[2];
    }
    WorldOf(*renderer, first, depth, firstWorld);
    std::copy(state.view, state.view + 12, firstCamera);
    std::copy(state.box, state.box + 6, firstBox);
    firstViewport = state.viewport;
}

void CUIM_InteractiveSectionPlane::FollowFirstPoint(C3DView* target)
{
    stCameraState state;
    I3DSceneRenderer* renderer = target ? target->GetRenderer() : nullptr;
    if (clicks != 1 || !renderer || !CameraStateOf(target, state))
        return;
    if (std::equal(state.view, state.view + 12, firstCamera) && std::equal(state.box, state.box + 6, firstBox) &&
        ::EqualRect(&state.viewport, &firstViewport))
        return;
    float projected[3];
    renderer->ProjectPoint(projected, firstWorld, false);
    POINT now{};
    renderer->WorldToScreen(projected[0], projected[1], &now);
    first = now;
    std::copy(state.view, state.view + 12, firstCamera);
    std::copy(state.box, state.box + 6, firstBox);
    firstViewport = state.viewport;
}

BOOL CUIM_InteractiveSectionPlane::OnLButtonDown(POINT point, UINT, C3DView* target)
{
    FollowFirstPoint(target);
    ++clicks;
    if (clicks == 1)
    {
        first = second = point;
        HoldFirstPoint(target);
        if (target && target->GetSafeHwnd())
        {
            SendMessageW(target->GetSafeHwnd(), WM_SETCURSOR, WPARAM(target->GetSafeHwnd()), MAKELPARAM(HTCLIENT, 0));
            if (I3DSceneRenderer* renderer = target->GetRenderer())
            {
                renderer->LowerRedrawLevel(1);
                RedrawWindow(target->GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE);
            }
        }
        return 1;
    }
    // A second click on the first pixel would give a line without length.
    if (point.x == first.x && point.y == first.y)
    {
        clicks = 1;
        return 1;
    }
    second = SnapScreenLineToAxis(first, point);
    if (!PlaceHostPlane(target))
    {
        clicks = 1;
        return 1;
    }
    if (ISectionPlaneHost* host = SectionPlaneHostOf(view))
    {
        if (ST_CInteractiveSectionPlane* plane = host->SectionPlane())
            plane->SetSectionCurve(nullptr);
        host->DiscardSectionPolylines();
    }
    clicks = 0;
    // The navigator keeps this mode alive until its handler has returned.
    RequestEnd(target);
    return 1;
}

BOOL CUIM_InteractiveSectionPlane::OnMouseMove(POINT point, UINT, C3DView* target)
{
    if (clicks != 1)
        return 1;
    FollowFirstPoint(target);
    second = SnapScreenLineToAxis(first, point);
    if (target)
        target->RequestRedraw(1);
    return 1;
}

BOOL CUIM_InteractiveSectionPlane::OnRButtonUp(POINT, UINT, C3DView* target)
{
    if (clicks >= 1)
    {
        --clicks;
        if (target && target->GetSafeHwnd())
            SendMessageW(target->GetSafeHwnd(), WM_SETCURSOR, WPARAM(target->GetSafeHwnd()), MAKELPARAM(HTCLIENT, 0));
    }
    return 1;
}

int CUIM_InteractiveSectionPlane::OnSetCursor(C3DView*, UINT, UINT)
{
    switch (clicks)
    {
    case 0: return int(kCursorSectionLine);
    case 1:
        if (first.x == second.x && first.y != second.y)
            return int(kCursorSectionVertical);
        if (first.y == second.y && first.x != second.x)
            return int(kCursorSectionHorizontal);
        return int(kCursorSectionLine);
    default: return 0;
    }
}

void CUIM_InteractiveSectionPlane::DrawGL(C3DView* target)
{
    FollowFirstPoint(target);
    if (clicks <= 0 || (first.x == second.x && first.y == second.y))
        return;
    auto* gl = target ? dynamic_cast<cGLRenderer*>(target->GetRenderer()) : nullptr;
    if (!gl || !PlaceHostPlane(target))
        return;
    SectionPlaneHostOf(view)->SectionPlanePreviewed();
    const cPlane& plane = SectionPlaneHostOf(view)->SectionPlane()->GetPlane();
    stPlaneRecord record;
    for (int k = 0; k < 3; ++k)
    {
        record.n[k] = plane.normal[k];
        record.o[k] = plane.origin[k];
        record.a[k] = plane.xAxis[k];
    }
    record.w = plane.halfWidth;
    record.h = plane.halfHeight;
    DrawPlaneWithNormalGL(gl, record);
}
