#include "modes/guiding_curve_picker.h"

#include "modes/mode_support.h"
#include "modes/network_edit_mode.h"
#include "modes/section_plane_picker.h"
#include "modes/shapes_view.h"
#include "overlay/annotations.h"
#include "render/edit_drawing_gl.h"
#include "render/gl_renderer.h"
#include "render/host_geometry_gl.h"
#include "shapes/interactive_section_plane.h"

#include <algorithm>

namespace
{

cUserInteractiveMode<C3DView>* MakePicker(std::uint32_t id, std::uint32_t temporary, IBase*, cCPView* view)
{
    return new CUIM_SelectGuidingCurve(id, temporary, view);
}

stDrawnCurve DrawnCurveOf(ST_ISectionCurve& curve)
{
    stDrawnCurve drawn;
    drawn.wire = curve.GetWire();
    drawn.points = curve.GetDefiningPoints();
    return drawn;
}

} // namespace

void RegisterGuidingCurvePicker()
{
    SetShapesViewModeMaker(kModeGuidingCurvePicker, &MakePicker);
}

CUIM_SelectGuidingCurve::CUIM_SelectGuidingCurve(std::uint32_t id, std::uint32_t temporary, cCPView* ownerView)
    : CUIM_ScreenSelection(id, temporary, ownerView), view(ownerView)
{
    pick.value1 = -1;
    if (view)
        if (auto* label = view->GetLabelAnnotation(0))
        {
            label->GetLabel()->SetText(kGuidingCurvePrompt);
            label->SetVisible(TRUE);
        }
    if (ST_ISectionCurve* profile = ActiveProfile())
        for (std::uint32_t i = 0; i < profile->GetSegmentCount(); ++i)
            if (ST_ISectionCurve* curve = profile->GetSegment(i))
            {
                curve->selected = 0;
                if (tPolyline<cVertex>* points = CurvePointsOf(*curve, false))
                    for (cVertex& v : points->vertices)
                        v.flags &= ~kCurvePointGuideMark;
            }
}

CUIM_SelectGuidingCurve::~CUIM_SelectGuidingCurve()
{
    if (view)
        if (auto* label = view->GetLabelAnnotation(0))
            label->SetVisible(FALSE);
    ResetCurvePick(pick);
}

ST_ISectionCurve* CUIM_SelectGuidingCurve::ActiveProfile() const
{
    ISectionPlaneHost* host = SectionPlaneHostOf(view);
    return host ? host->ActiveProfile() : nullptr;
}

void CUIM_SelectGuidingCurve::OnActivate(C3DView* target)
{
    if (target && target->GetSafeHwnd())
    {
        SetFocus(target->GetSafeHwnd());
        InvalidateRect(target->GetSafeHwnd(), nullptr, TRUE);
    }
}

BOOL CUIM_SelectGuidingCurve::OnMButtonDown(POINT point, UINT flags, C3DView* target)
{
    // The picker rests on the network mode, whose menu prepared for its
    // sub-state is the one shown; without it the menu comes unprepared.
    if (auto* network = view ? dynamic_cast<CUIM_EditNetwork*>(view->FindMode(kModeEditNetwork)) : nullptr)
        return network->OnMButtonDown(point, flags, target);
    TrackModeMenu(target, point, kCurveNetworkMenu, nullptr);
    return 1;
}

void CUIM_SelectGuidingCurve::OnEscape(C3DView* target)
{
    RequestEnd(target);
}

int CUIM_SelectGuidingCurve::OnSetCursor(C3DView*, UINT, UINT)
{
    return int(kCursorGuidingCurve);
}

BOOL CUIM_SelectGuidingCurve::GetContextMenu(UINT* menuId, CWnd** target)
{
    if (menuId)
        *menuId = kCurveNetworkMenu;
    if (target)
        *target = view;
    return 1;
}

void CUIM_SelectGuidingCurve::OnAfterFullRedraw(C3DView* target)
{
    pickImageValid = 0;
    auto* gl = target ? dynamic_cast<cGLRenderer*>(target->GetRenderer()) : nullptr;
    ST_ISectionCurve* profile = ActiveProfile();
    if (!gl || !profile)
        return;
    gl->MakeCurrent();
    if (!gl->IsCurrent())
        return;
    stDrawnCurveCollection collection;
    std::copy(profile->frame, profile->frame + 12, collection.frame);
    for (std::uint32_t i = 0; i < profile->GetSegmentCount(); ++i)
    {
        ST_ISectionCurve* curve = profile->GetSegment(i);
        stDrawnCurve drawn = curve ? DrawnCurveOf(*curve) : stDrawnCurve{};
        // Only curves are picked here: point markers would cover them.
        drawn.points = nullptr;
        collection.curves.push_back(drawn);
    }
    GLint drawBuffer = GL_BACK;
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
    glDrawBuffer(GL_BACK);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    pickImageStamp = gl->StampBackBuffer();
    cGeometriesGLRenderer drawer(gl);
    // The drawer applies the view transform itself.
    DrawCurvesWithHandlesIdColoured(&drawer, &collection, false);
    glPopAttrib();
    glDrawBuffer(GLenum(drawBuffer));
    glFinish();
    glReadBuffer(GL_BACK);
    pickImageValid = 1;
}

BOOL CUIM_SelectGuidingCurve::OnMouseMove(POINT point, UINT flags, C3DView* target)
{
    if (IsDragging())
        return CUIM_ScreenSelection::OnMouseMove(point, flags, target);
    HoverAt(point, target);
    return CUIM_ScreenSelection::OnMouseMove(point, flags, target);
}

void CUIM_SelectGuidingCurve::HoverAt(POINT point, C3DView* target)
{
    ST_ISectionCurve* profile = ActiveProfile();
    auto* gl = target ? dynamic_cast<cGLRenderer*>(target->GetRenderer()) : nullptr;
    // A stroke's face-id pass or a frame drawn since leaves no curve ids.
    if (profile && gl && pickImageValid && gl->GetBackBufferStamp() == pickImageStamp)
    {
        const std::uint32_t id = ReadPickIdUnderCursor(*gl, point);
        // The drawing numbers curves from 10000; pick ids are one less.
        const std::int32_t pickId = id == kNoPickId ? -1 : std::int32_t(id - 1);
        const std::uint8_t hit = id == kNoPickId ? 0 : 1;
        // The same pick id names another curve object once an undo has put
        // back the network's copy: the hovered curve is looked up again.
        const bool gone = hovered && profile->IndexOfCurve(hovered) == 0xFFFFFFFFu;
        if (pickId != pick.pickId || hit != pick.hit || gone)
        {
            pick.pickId = pickId;
            pick.hit = hit;
            ST_ISectionCurve* now = hit ? FindCurveByPickId(pickId, profile) : nullptr;
            if (now != hovered)
            {
                hovered = now;
                SendMessageW(target->GetSafeHwnd(), WM_SETCURSOR, WPARAM(target->GetSafeHwnd()),
                             MAKELPARAM(HTCLIENT, 0));
                InvalidateRect(target->GetSafeHwnd(), nullptr, FALSE);
            }
        }
    }
}

BOOL CUIM_SelectGuidingCurve::OnLButtonDown(POINT point, UINT flags, C3DView* target)
{
    ST_ISectionCurve* profile = ActiveProfile();
    if (!profile)
        return 1;
    ISectionPlaneHost* host = SectionPlaneHostOf(view);
    ST_CInteractiveSectionPlane* plane = host ? host->SectionPlane() : nullptr;
    t3DPoint<double> at{0.0, 0.0, 0.0}, tangent{0.0, 0.0, 0.0}, third{0.0, 0.0, 0.0};
    // The view may have turned, zoomed or resized under a resting cursor
    // since the last move: the curve picked is the one under the cursor now.
    HoverAt(point, target);
    // The hovered curve is still one of the profile's (it may have changed
    // since the last move).
    const bool held = hovered && profile->IndexOfCurve(hovered) != 0xFFFFFFFFu;
    if (held && plane && hovered->EvaluateInWorld(0.0, &at, &tangent, &third))
    {
        plane->MoveTo({float(at.x), float(at.y), float(at.z)});
        plane->SetNormal({float(tangent.x), float(tangent.y), float(tangent.z)});
        plane->SetSectionCurve(hovered);
        host->DiscardSectionPolylines();
        // The navigator keeps this mode alive until its handler has returned.
        RequestEnd(target);
        return 1;
    }
    return CUIM_ScreenSelection::OnLButtonDown(point, flags, target);
}

void CUIM_SelectGuidingCurve::DrawGL(C3DView* target)
{
    auto* gl = target ? dynamic_cast<cGLRenderer*>(target->GetRenderer()) : nullptr;
    ST_ISectionCurve* profile = ActiveProfile();
    if (!gl || !hovered || !profile || profile->IndexOfCurve(hovered) == 0xFFFFFFFFu)
        return;
    stDrawnCurveCollection collection;
    std::copy(hovered->frame, hovered->frame + 12, collection.frame);
    stDrawnCurve drawn = DrawnCurveOf(*hovered);
    drawn.selected = 1;
    collection.curves.push_back(drawn);
    cDecoratorObject decorator;
    for (int slot : {kDecoratorWireframe, kDecoratorSelection, kDecoratorBoundary})
        decorator.SetColour(slot, 1.0f, 1.0f, 0.0f, 1.0f);
    decorator.m_lineWidths[0] = 4.0f;
    decorator.m_pointSize = gl->PixelsToWorld(5);
    cGeometriesGLRenderer drawer(gl);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    DrawCurvesWithHandlesGL(&drawer, &collection, false, decorator);
    glPopAttrib();
}
