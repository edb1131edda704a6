// The network mode's life, sub-states, commands and menus.
#include "modes/network_edit_mode.h"

#include "core/profiled_surface.h"
#include "core/scene_object.h"
#include "core/section_curve_classes.h"
#include "modes/mode_support.h"
#include "modes/network_drawn_curve.h"
#include "modes/shapes_view.h"
#include "modes/shapes_view_owner.h"
#include "overlay/annotations.h"
#include "platform/mfc/menu.h"
#include "shapes/interactive_section_plane.h"

#include <map>

namespace
{

std::map<cCPView*, INetworkEditPage*>& Pages()
{
    static std::map<cCPView*, INetworkEditPage*> pages;
    return pages;
}

cUserInteractiveMode<C3DView>* MakeNetworkMode(std::uint32_t id, std::uint32_t temporary, IBase*, cCPView* view)
{
    if (!view || !NetworkEditPageOf(view))
        return nullptr;
    return new (std::nothrow) CUIM_EditNetwork(id, temporary, view);
}

bool AnySelectedCurve(ST_ISectionCurve* network)
{
    if (!network)
        return false;
    for (std::uint32_t i = 0; i < network->GetSegmentCount(); ++i)
        if (ST_ISectionCurve* curve = network->GetSegment(i); curve && curve->selected)
            return true;
    return false;
}

} // namespace

INetworkEditPage* NetworkEditPageOf(cCPView* view)
{
    if (!view)
        return nullptr;
    const auto it = Pages().find(view);
    return it != Pages().end() ? it->second : nullptr;
}

void SetNetworkEditPage(cCPView* view, INetworkEditPage* page)
{
    if (!view)
        return;
    if (page)
    {
        Pages()[view] = page;
        RegisterNetworkEditMode();
    }
    else
        Pages().erase(view);
}

void RegisterNetworkEditMode()
{
    SetShapesViewModeMaker(kModeEditNetwork, &MakeNetworkMode);
}

CUIM_EditNetwork::CUIM_EditNetwork(std::uint32_t id, std::uint32_t temporary, cCPView* view)
    : CUIM_ScreenSelection(id, temporary, view), shapesView(view), viewWindow(view ? view->GetSafeHwnd() : nullptr)
{
    pressedVertex.x = FLT_MAX;
    pressedVertex.flags = kPickedNothing;
    snap.enabled = snapping;
    SetTool(kToolNone);
    subState = kNetworkAddCurve;
    if (INetworkEditPage* page = Page())
    {
        page->BeginNetworkDisplay();
        page->ShowSubState(kNetworkAddCurve);
        page->RefreshSectionButtons();
    }
    AdoptCurrentShape();
}

CUIM_EditNetwork::~CUIM_EditNetwork()
{
    // The view may be half gone here (its window already destroyed): only a
    // live window's view and page are asked for anything.
    const bool viewAlive = viewWindow && ::IsWindow(viewWindow);
    if (viewAlive)
    {
        CancelNodeDrag();
        HideAnnotations();
        if (INetworkEditPage* page = Page(); page && page->HasWindow())
            page->EndNetworkDisplay();
    }
    ResetCurvePick(pick);
}

ST_IProfiledSurface* CUIM_EditNetwork::GetProfiledSurface() const
{
    ISceneObject* object = shapesView ? shapesView->QueryCurrentObjectInterface() : nullptr;
    return object ? static_cast<ST_IProfiledSurface*>(object->QueryInterface(IID_ST_IProfiledSurface)) : nullptr;
}

namespace
{

ST_ISectionCurve* NetworkOf(ST_IProfiledSurface* surface)
{
    ST_ISectionCurve* profile = surface ? surface->GetProfileCurve() : nullptr;
    return profile && profile->GetClassGuid() == CLSID_ST_TSketch ? profile : nullptr;
}

} // namespace

ST_ISectionCurve* CUIM_EditNetwork::GetNetwork() const
{
    return NetworkOf(GetProfiledSurface());
}

ST_ISectionCurve* CUIM_EditNetwork::EditedNetwork() const
{
    return NetworkOf(editedSurface);
}

void CUIM_EditNetwork::AdoptCurrentShape()
{
    editedSurface = GetProfiledSurface();
    if (editedSurface)
        EnsureNetworkSketch(*editedSurface);
    if (INetworkEditPage* page = Page())
        page->ClearUndoStates();
    ApplyTangencyFromPage();
}

bool CUIM_EditNetwork::FollowCurrentShape(C3DView* view)
{
    if (GetProfiledSurface() == editedSurface)
        return false;
    LetGoOfNetwork();
    TakeBackDrawing();
    AdoptCurrentShape();
    RequestLevel1Redraw(view);
    return true;
}

void CUIM_EditNetwork::LetGoOfNetwork()
{
    CancelNodeDrag(true);
    ForgetCurvePointers();
    pickBufferValid = 0;
}

void CUIM_EditNetwork::LetGoOfNetworkForUndo()
{
    LetGoOfNetwork();
    INetworkEditPage* page = Page();
    if (drawn && page && page->GetUndoCount() == drawnUndoCount)
        DiscardDrawnCurve();
}

INetworkEditPage* CUIM_EditNetwork::Page() const
{
    return NetworkEditPageOf(shapesView);
}

bool CUIM_EditNetwork::CancelNodeDrag(bool keepCopy)
{
    if (!drag.IsDragging())
        return false;
    INetworkEditPage* page = keepCopy ? nullptr : Page();
    if (page && page->GetUndoCount() == dragUndoCount)
        page->DropLastUndoState();
    dragUndoCount = SIZE_MAX;
    dragFromNodePress = 0;
    drag.Cancel(EditedNetwork());
    buttonDown = 0;
    dragStart[0] = FLT_MAX;
    ResetCurvePick(pick);
    if (viewWindow && ::IsWindow(viewWindow) && ::GetCapture() == viewWindow)
        ::ReleaseCapture();
    HideAnnotations();
    return true;
}

BOOL CUIM_EditNetwork::IsDragging()
{
    return drag.IsDragging() || planeDrag || CUIM_ScreenSelection::IsDragging();
}

void CUIM_EditNetwork::Repaint(C3DView* view) const
{
    if (view && view->GetSafeHwnd())
        ::InvalidateRect(view->GetSafeHwnd(), nullptr, FALSE);
}

void CUIM_EditNetwork::RequestLevel1Redraw(C3DView* view) const
{
    if (view && view->GetSafeHwnd())
        view->RequestRedraw(1);
}

void CUIM_EditNetwork::SendSetCursor(C3DView* view) const
{
    if (view && view->GetSafeHwnd())
        ::SendMessageW(view->GetSafeHwnd(), WM_SETCURSOR, WPARAM(view->GetSafeHwnd()), MAKELPARAM(HTCLIENT, 0));
}

void CUIM_EditNetwork::HideAnnotations()
{
    if (!shapesView)
        return;
    for (int i = 0; i < 2; ++i)
        if (auto* image = shapesView->GetImageAnnotation(i))
            image->SetVisible(FALSE);
    if (auto* label = shapesView->GetLabelAnnotation(0))
        label->SetVisible(FALSE);
}

void CUIM_EditNetwork::ClearPressState()
{
    pressKind = 0;
    segmentIndex = -1;
    pressedCurve = nullptr;
}

void CUIM_EditNetwork::ClearHover()
{
    hoveredCurve = nullptr;
    hoveredPoint[0] = FLT_MAX;
    hoveredPointCurve = nullptr;
}

void CUIM_EditNetwork::EndPlaneDrag()
{
    if (!planeDrag)
        return;
    planeDrag = 0;
    planeHover = 0;
    // However the drag ended, the plane stays where it was dragged: the
    // previewed sections (which Accept would add) are cut there.
    if (INetworkEditPage* page = Page(); page && page->HasWindow())
        page->RecomputeSections();
}

void CUIM_EditNetwork::ForgetCurvePointers()
{
    ClearPressState();
    ClearHover();
    ResetCurvePick(pick);
    snap = stCurveSnap{};
    snap.enabled = snapping;
}

void CUIM_EditNetwork::ApplyTangencyFromPage()
{
    INetworkEditPage* page = Page();
    tangencyAngle = ApplyTangencySetting(GetNetwork(), page && page->IsPreserveG1(),
                                         page ? page->TangencyCreaseAngle() : 0.0);
}

stSubSampling CUIM_EditNetwork::SubSampling() const
{
    stSubSampling sampling;
    if (INetworkEditPage* page = Page())
    {
        sampling.enabled = page->IsSubSampling();
        sampling.pointCount = page->SubSamplingCount();
    }
    return sampling;
}

bool CUIM_EditNetwork::IsDrawingSinceLastCopy() const
{
    INetworkEditPage* page = Page();
    return drawn && editedSurface && page && page->GetUndoCount() == drawnUndoCount;
}

bool CUIM_EditNetwork::IsDraggingSinceLastCopy() const
{
    INetworkEditPage* page = Page();
    return drag.IsDragging() && editedSurface && page && page->GetUndoCount() == dragUndoCount;
}

void CUIM_EditNetwork::LetGoOfNetworkForWrite()
{
    if (drag.IsDragging())
        ForgetCurvePointers();
    else
        LetGoOfNetwork();
}

void CUIM_EditNetwork::TakeBackDrawing()
{
    // The count is the drawing's only while it lasts (a failed refit may
    // have dropped the curve itself already).
    INetworkEditPage* page = Page();
    if (editedSurface && page && page->GetUndoCount() == drawnUndoCount)
        page->UndoOn(editedSurface);
    // Edits made while the drawing waited saved their copies after its
    // own, which would now be an Undo step that changes nothing (unless
    // the drawing put joints into curves: that step takes them out).
    else if (editedSurface && page && !drawnChangedNetwork && drawnUndoCount != SIZE_MAX &&
             page->GetUndoCount() > drawnUndoCount)
        page->DropUndoStateAt(drawnUndoCount - 1);
    DiscardDrawnCurve();
}

void CUIM_EditNetwork::DiscardDrawnCurve()
{
    drawn.reset();
    clickedPoints = 0;
    drawnUndoCount = SIZE_MAX;
    drawnChangedNetwork = false;
}

void CUIM_EditNetwork::EnterSubState(std::uint32_t state, C3DView* view)
{
    // A drag never survives a change of what the buttons do.
    CancelNodeDrag();
    // The pickers place the section plane, which only the Section Plane
    // sub-state works with: one left waiting would take the other
    // sub-states' clicks (and move the plane) under its own prompt.
    if (state != kNetworkSectionPlane && shapesView)
        for (std::uint32_t picker : {kModeGuidingCurvePicker, kModeSectionPlanePicker})
            if (shapesView->FindMode(picker))
                shapesView->EndModeById(picker);
    if (INetworkEditPage* page = Page())
        page->ShowSubState(state);
    if (state != kNetworkModifyCurves && state != kNetworkExtrapolateEnds)
        DeselectAllNodes(GetNetwork());
    if (state != kNetworkAddCurve)
        clickedPoints = 0;
    subState = state;
    planeHover = 0;
    planeDrag = 0;
    ClearHover();
    if (state == kNetworkSectionPlane)
        if (INetworkEditPage* page = Page())
            page->RecomputeSections();
    SendSetCursor(view);
    Repaint(view);
}

void CUIM_EditNetwork::ShowHint(C3DView* view)
{
    if (HintLabel* label = GetHintLabel())
    {
        IShapesViewOwner* owner = shapesView ? shapesView->GetShapesOwner() : nullptr;
        if (owner && !owner->HintText().empty())
        {
            label->GetLabel()->SetText(owner->HintText().c_str());
            label->SetVisible(TRUE);
        }
        else
            label->SetVisible(FALSE);
    }
    if (view)
        view->RequestRedraw(0);
}

void CUIM_EditNetwork::DeleteSelection(C3DView* view)
{
    CancelNodeDrag();
    INetworkEditPage* page = Page();
    // Like every other edit, a deletion can be undone.
    const bool changed = DeleteSelectedNodesAndCurves(GetNetwork(), [page] {
        if (page)
            page->PushUndoState();
    });
    ClearPressState();
    ClearHover();
    ResetCurvePick(pick);
    if (changed)
        RequestLevel1Redraw(view);
}

void CUIM_EditNetwork::UndoNetwork(C3DView* view)
{
    LetGoOfNetworkForUndo();
    if (INetworkEditPage* page = Page())
        page->Undo();
    RequestLevel1Redraw(view);
}

void CUIM_EditNetwork::ViewDirection(float out[3]) const
{
    out[0] = out[1] = 0.0f;
    out[2] = 1.0f;
    cBase3DRenderer* camera = shapesView ? shapesView->GetCamera() : nullptr;
    if (!camera)
        return;
    // The view's z axis in world coordinates: the third row of the rotation
    // (its inverse's third column).
    const double* m = camera->GetViewTransform();
    for (int k = 0; k < 3; ++k)
        out[k] = float(m[8 + k]);
}

void CUIM_EditNetwork::FinishDrawing(C3DView* view, double nearLimit)
{
    ST_IProfiledSurface* surface = GetProfiledSurface();
    if (!drawn || !surface)
        return;
    // The drawing waits while the other sub-states' edits (Accept, a node
    // drag...) save their copies after the one it saved as it began: the
    // curve saves one of its own now, so that one Undo takes back the curve
    // alone and the next the edit before it. The first copy goes too, but
    // when the clicks put joints into curves: it is the step that takes
    // them out.
    if (INetworkEditPage* page = Page(); page && drawnUndoCount != SIZE_MAX && page->GetUndoCount() > drawnUndoCount)
    {
        if (!drawnChangedNetwork)
            page->DropUndoStateAt(drawnUndoCount - 1);
        page->PushUndoState();
        drawnUndoCount = page->GetUndoCount();
    }
    float direction[3];
    ViewDirection(direction);
    // A curve too short to keep is discarded as the drawing is.
    if (FinishDrawnCurve(*surface, drawn, direction, nearLimit, SubSampling(), FirstMesh(), projector, tangencyAngle))
        DiscardDrawnCurve();
    else
        TakeBackDrawing();
    ClearHover();
    RequestLevel1Redraw(view);
}

BOOL CUIM_EditNetwork::OnCommand(UINT id, int code, void*, AFX_CMDHANDLERINFO* info, C3DView* view)
{
    if (code != 0 || info)
        return 0;
    // The shapes dialog sends 32804 whenever it makes a shape current.
    FollowCurrentShape(view);
    INetworkEditPage* page = Page();
    switch (id)
    {
    case kCmdNetworkModify: EnterSubState(kNetworkModifyCurves, view); return 1;
    case kCmdNetworkAddCurve: EnterSubState(kNetworkAddCurve, view); return 1;
    case kCmdNetworkSectionPlane: EnterSubState(kNetworkSectionPlane, view); return 1;
    case kCmdNetworkExtrapolate: EnterSubState(kNetworkExtrapolateEnds, view); return 1;
    case kCmdNetworkLeavePicker:
        ClearPressState();
        if (page)
            page->LeavePickerAndModify();
        ApplyTangencyFromPage();
        return 1;
    case kCmdNetworkTangency:
        ApplyTangencyFromPage();
        Repaint(view);
        return 1;
    case kCmdNetworkTogglePreserveG1:
        if (page)
            page->TogglePreserveG1();
        // Also when the panel has no window to send its check's command.
        ApplyTangencyFromPage();
        Repaint(view);
        return 1;
    case kCmdNetworkToggleSubSampling:
        if (page)
            page->ToggleSubSampling();
        return 1;
    case kCmdNetworkToggleKeepOnMesh:
        if (page)
            page->ToggleKeepNodesOnMesh();
        SendSetCursor(view);
        return 1;
    case kCmdNetworkMerge:
        CancelNodeDrag();
        if (MergeCurves(GetNetwork(), tangencyAngle, [page] {
                if (page)
                    page->PushUndoState();
            }))
        {
            // The merged curves are gone: nothing may still point at them.
            ForgetCurvePointers();
            Repaint(view);
        }
        return 1;
    case kCmdNetworkBreak:
        CancelNodeDrag();
        BreakAtJoints(GetNetwork(), tangencyAngle, [page] {
            if (page)
                page->PushUndoState();
        });
        ForgetCurvePointers();
        Repaint(view);
        return 1;
    case kCmdNetworkAccept:
        if (page)
            page->AcceptSections();
        return 1;
    case kCmdNetworkFitOnMesh: Repaint(view); return 1;
    case kCmdNetworkUndo:
    case kCmdNetworkUndoKey: UndoNetwork(view); return 1;
    case kCmdNetworkDelete: DeleteSelection(view); return 1;
    case kCmdNetworkRemoveLast:
        if (subState == kNetworkAddCurve && drawn)
        {
            if (!RemoveLastDrawnPoint(drawn))
                TakeBackDrawing();
            else if (clickedPoints > 0)
                --clickedPoints;
            Repaint(view);
        }
        return 1;
    case kCmdNetworkFinish:
        if (subState == kNetworkAddCurve && drawn)
            FinishDrawing(view, 0.0);
        return 1;
    case kCmdNetworkRestart:
        if (subState == kNetworkAddCurve && drawn)
        {
            TakeBackDrawing();
            Repaint(view);
        }
        return 1;
    case kCmdNetworkSnapOn: snapping = 1; return 1;
    case kCmdNetworkSnapOff: snapping = 0; return 1;
    case kCmdNetworkUpdateStatus: ShowHint(view); return 1;
    case kCmdNetworkNewShape:
    case kCmdNetworkTransfer:
    {
        CancelNodeDrag();
        IShapesViewOwner* owner = shapesView ? shapesView->GetShapesOwner() : nullptr;
        return owner && owner->OnViewCommand(id) ? 1 : 0;
    }
    default: return 0;
    }
}

void CUIM_EditNetwork::OnEscape(C3DView* view)
{
    // Escape during a drag gives the curves back as they were grabbed.
    const bool dragCancelled = CancelNodeDrag();
    std::uint32_t next = subState;
    if (!dragCancelled && drawn)
        TakeBackDrawing();
    else if (!dragCancelled)
    {
        ST_ISectionCurve* network = GetNetwork();
        const bool anySelected = AnySelectedCurve(network);
        SelectCurveByPickId(-1, network, true);
        if (!anySelected)
            next = kNetworkModifyCurves;
    }
    EndPlaneDrag();
    ClearPressState();
    ClearHover();
    snap = stCurveSnap{};
    snap.enabled = snapping;
    // The page shows the panel and button of the sub-state the mode is in.
    subState = next;
    if (INetworkEditPage* page = Page())
        page->ShowSubState(subState);
    SendSetCursor(view);
    Repaint(view);
}

void CUIM_EditNetwork::OnActivate(C3DView* view)
{
    CUIM_ScreenSelection::OnActivate(view);
    INetworkEditPage* page = Page();
    if (page)
    {
        snapping = page->SnappingValue() == 1 ? 1 : 0;
        ST_CInteractiveSectionPlane* plane = page->SectionPlane();
        if (plane && !plane->IsActive())
            page->ResetSectionPlane();
        else if (plane && !page->IsPreviewValid() && subState == kNetworkSectionPlane)
            page->RecomputeSections();
        page->RefreshSectionButtons();
    }
    RequestLevel1Redraw(view);
    if (view && view->GetSafeHwnd())
        ::SetFocus(view->GetSafeHwnd());
}

BOOL CUIM_EditNetwork::OnDeactivate(C3DView* view)
{
    // Another tab, a level change or the dialog closing: a drag's curves go
    // back into the network before the mode goes, and a curve being drawn
    // is taken back while the page is still there.
    CancelNodeDrag();
    EndPlaneDrag();
    if (INetworkEditPage* page = Page(); drawn && page && page->HasWindow())
        TakeBackDrawing();
    return CUIM_ScreenSelection::OnDeactivate(view);
}

void CUIM_EditNetwork::OnSuspend(C3DView* view, std::uint32_t next)
{
    CancelNodeDrag();
    EndPlaneDrag();
    CUIM_ScreenSelection::OnSuspend(view, next);
}

void CUIM_EditNetwork::OnKillFocus(CWnd* gets, C3DView* view)
{
    // Losing the focus ends the mouse capture: the drag cannot finish.
    if (CancelNodeDrag())
        Repaint(view);
    CUIM_ScreenSelection::OnKillFocus(gets, view);
}

int CUIM_EditNetwork::OnSetCursor(C3DView* view, UINT hitTest, UINT message)
{
    if (operation != kNoOperation)
        return CUIM_ScreenSelection::OnSetCursor(view, hitTest, message);
    switch (subState)
    {
    case kNetworkModifyCurves:
    {
        INetworkEditPage* page = Page();
        return int(page && page->KeepNodesOnMesh() ? kCursorNetworkOnMesh : kCursorNetworkModify);
    }
    case kNetworkExtrapolateEnds: return int(kCursorNetworkExtrapolate);
    case kNetworkAddCurve: return int(kCursorNetworkAdd);
    case kNetworkSectionPlane: return int(planeHover ? kCursorNetworkOverPlane : kCursorNetworkSection);
    default: return 0;
    }
}

BOOL CUIM_EditNetwork::GetContextMenu(UINT* menuId, CWnd** target)
{
    const tPolyline<cVertex>* points = drawn ? drawn->GetDefiningPoints() : nullptr;
    if (menuId)
        *menuId = subState == kNetworkAddCurve && points && !points->IsEmpty() ? kNetworkDrawMenu : kNetworkMenu;
    if (target)
        *target = shapesView;
    return 1;
}

BOOL CUIM_EditNetwork::OnMButtonDown(POINT point, UINT, C3DView* view)
{
    TrackModeMenu(view, point, kNetworkMenu, [this](CMenu* popup) { UpdateContextMenu(popup); });
    return 1;
}

void CUIM_EditNetwork::UpdateContextMenu(CMenu* menu)
{
    if (!menu)
        return;
    ST_ISectionCurve* network = GetNetwork();
    std::uint32_t selectedCurves = 0;
    bool selectedNode = false;
    if (network)
        for (std::uint32_t i = 0; i < network->GetSegmentCount(); ++i)
        {
            ST_ISectionCurve* curve = network->GetSegment(i);
            if (!curve)
                continue;
            selectedCurves += curve->selected ? 1u : 0u;
            if (const tPolyline<cVertex>* nodes = curve->GetDefiningPoints())
                for (const cVertex& v : nodes->vertices)
                    selectedNode = selectedNode || (v.flags & kNetworkNodeSelected) != 0;
        }
    constexpr UINT kStateItems[4] = {kCmdNetworkModify, kCmdNetworkExtrapolate, kCmdNetworkAddCurve,
                                     kCmdNetworkSectionPlane};
    if (subState < 4)
        menu->RemoveMenu(kStateItems[subState], MF_BYCOMMAND);
    SetMenuItemIcons(kNetworkMenuIcons, 8, menu, shapesView ? shapesView->GetSafeHwnd() : nullptr);
    if (selectedCurves != 1)
        menu->RemoveMenu(kCmdNetworkBreak, MF_BYCOMMAND);
    if (selectedCurves < 2)
        menu->RemoveMenu(kCmdNetworkMerge, MF_BYCOMMAND);
    if (subState != kNetworkSectionPlane)
        menu->RemoveMenu(kCmdNetworkAccept, MF_BYCOMMAND);
    menu->RemoveMenu(kCmdNetworkFitOnMesh, MF_BYCOMMAND);
    INetworkEditPage* page = Page();
    const bool canUndo = page && page->GetUndoCount() > 0;
    menu->EnableMenuItem(kCmdNetworkUndo, MF_BYCOMMAND | (canUndo ? MF_ENABLED : MF_GRAYED));
    const bool canDelete = selectedCurves > 0 || selectedNode;
    menu->EnableMenuItem(kCmdNetworkDelete, MF_BYCOMMAND | (canDelete ? MF_ENABLED : MF_GRAYED));
    if (subState != kNetworkSectionPlane)
    {
        auto check = [&](UINT item, bool on) { menu->CheckMenuItem(item, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED)); };
        check(kCmdNetworkToggleSubSampling, page && page->IsSubSampling());
        check(kCmdNetworkTogglePreserveG1, page && page->IsPreserveG1());
        check(kCmdNetworkToggleKeepOnMesh, page && page->KeepNodesOnMesh());
    }
    else
        for (UINT item : {kCmdNetworkToggleSubSampling, kCmdNetworkTogglePreserveG1, kCmdNetworkToggleKeepOnMesh})
            menu->RemoveMenu(item, MF_BYCOMMAND);
    if (subState != kNetworkAddCurve)
        menu->RemoveMenu(kCmdNetworkToggleSubSampling, MF_BYCOMMAND);
}
