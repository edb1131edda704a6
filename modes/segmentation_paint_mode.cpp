#include "modes/segmentation_paint_mode.h"

#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/scene.h"
#include "modes/mode_support.h"
#include "modes/segmentation_view.h"
#include "modes/selection_brush_owner.h"
#include "overlay/annotations.h"
#include "overlay/view_3d_overlay.h"
#include "platform/mfc/menu.h"
#include "render/gdiplus_graphics.h"

#include <memory>

namespace
{

// Whether the client point lies over one of the view's overlay controls
// (the brush circle is not drawn there).
bool IsOverOverlayControl(C3DView* view, POINT point)
{
    auto* overlay = view ? dynamic_cast<C3DViewOverlay*>(view->GetScreenObjectManager()) : nullptr;
    if (!overlay)
        return false;
    POINT local = point;
    return overlay->GetManager().GetRoot()->ChildFromPoint(point, 0, &local) != nullptr;
}

// Vertex bit 1 marks exactly the vertices of visible marked triangles.
void RefreshMarkedVertices(cMesh& mesh)
{
    constexpr std::uint32_t kVertexInSelection = 2;
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    for (std::uint32_t i = 0; i < vertexCount; ++i)
        mesh.GetVertex(i)->flags &= ~kVertexInSelection;
    mesh.ForEachTriangle(
        [&](cMeshTriangle& t)
        {
            if ((t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) != kTriangleFlagSelected)
                return;
            for (const std::uint32_t v : t.vertexIndex)
                if (v < vertexCount)
                    mesh.GetVertex(v)->flags |= kVertexInSelection;
        });
}

} // namespace

CUIM_Segmentation::CUIM_Segmentation(std::uint32_t id, std::uint32_t temporary, C3DView* view)
    : CUIM_ScreenSelection(id, temporary, view)
{
}

ISegmentationTool* CUIM_Segmentation::Tool() const
{
    auto* p3d = dynamic_cast<cP3DView*>(ownerView);
    return p3d ? dynamic_cast<ISegmentationTool*>(p3d->GetOwnerTool()) : nullptr;
}

void CUIM_Segmentation::Redraw(std::uint32_t level) const
{
    if (ownerView)
        ownerView->RequestRedraw(level);
}

BOOL CUIM_Segmentation::OnLButtonDown(POINT point, UINT flags, C3DView* view)
{
    // The stroke starts only while painting is the view's active mode.
    return CUIM_ScreenSelection::OnLButtonDown(point, flags, view);
}

BOOL CUIM_Segmentation::OnLButtonDblClk(POINT point, UINT flags, C3DView* view)
{
    // A brush click followed quickly by a stroke from the same spot is two
    // strokes; a second wand click there would only spend the undo step.
    if ((flags & MK_CONTROL) || tool == kToolMagicWand)
        return 0;
    return OnLButtonDown(point, flags, view);
}

BOOL CUIM_Segmentation::OnLButtonUp(POINT point, UINT flags, C3DView* view)
{
    if (!view)
        return 0;
    if (!IsStrokeInProgress())
        return CUIM_ScreenSelection::OnLButtonUp(point, flags, view);
    const BOOL result = CUIM_ScreenSelection::OnLButtonUp(point, flags, view);
    bool changed = false;
    if (tool != kToolMagicWand)
        changed = SelectInStroke();
    else if (cMeshObject* object = FirstMeshObject(view))
    {
        cBase3DRenderer* camera = view->GetCamera();
        if (camera)
        {
            float x = 0.0f, y = 0.0f;
            camera->ScreenToWorld(point, &x, &y);
            const cMeshTriangle* hit = nullptr;
            const cVertex picked =
                PickMeshPointUnderCursor(*object->GetMesh(), x, y, camera->GetViewTransform(), camera->GetSceneCentre(), &hit);
            if (!(picked.flags & kPickedNothing) && hit)
                if (auto* segmentationView = dynamic_cast<cSegmentationView*>(view))
                    segmentationView->SetActiveObject(const_cast<cMeshTriangle*>(hit));
        }
    }
    ClearStroke();
    if (changed)
    {
        Redraw(0);
    }
    else if (view->GetSafeHwnd())
        ::InvalidateRect(view->GetSafeHwnd(), nullptr, TRUE);
    return result;
}

BOOL CUIM_Segmentation::OnMouseMove(POINT point, UINT flags, C3DView* view)
{
    return CUIM_ScreenSelection::OnMouseMove(point, flags, view);
}

bool CUIM_Segmentation::SelectInStroke()
{
    cMeshObject* object = FirstMeshObject(ownerView);
    if (!object)
        return false;
    ISegmentationTool* dialog = Tool();
    ISelectionBrushOwner* brush = FindSelectionBrushOwner(ownerView);
    const int half = brush ? brush->GetHalfBrushSize() : kPointBrushHalfSize;
    const bool frontOnly = dialog ? dialog->IsFrontFacingOnly() : true;
    cMesh& mesh = *object->GetMesh();
    const bool erase = IsAltDown();
    // A stroke that marks or unmarks no triangle is no step: the one undo
    // step stays the user's last real one.
    if (!SelectTrianglesInStroke(mesh, object->GetDecoratorConst(), half, frontOnly) ||
        !StrokeChangesSelection(mesh, erase))
        return false;
    // The stroke marked its triangles with the scratch bit only: the marks
    // saved are still the ones before the stroke.
    if (dialog)
        dialog->SaveMarksForUndo();
    mesh.ForEachTriangle(
        [erase](cMeshTriangle& t)
        {
            if (!(t.flags & kTriangleFlagScratch))
                return;
            t.flags = erase ? std::uint8_t(t.flags & ~kTriangleFlagSelected) : std::uint8_t(t.flags | kTriangleFlagSelected);
        });
    RefreshMarkedVertices(mesh);
    return true;
}

BOOL CUIM_Segmentation::OnCommand(UINT id, int code, void*, AFX_CMDHANDLERINFO* info, C3DView*)
{
    // Only commands themselves (no update queries, no notifications).
    if (code != 0 || info)
        return 0;
    ISegmentationTool* dialog = Tool();
    switch (id)
    {
    case kCmdPaintFilled: tool = kToolFreeHandFilled; break;
    case kCmdPaintFreeHand: tool = kToolFreeHand; break;
    case kCmdPaintLine: tool = kToolLine; break;
    case kCmdPaintWand: tool = kToolMagicWand; break;
    case kCmdFreeFormFilled:
        if (dialog)
            dialog->UsePaintFilled();
        break;
    case kCmdFreeForm:
        if (dialog)
            dialog->UsePaint();
        break;
    case kCmdLineSelection:
        if (dialog)
            dialog->UseLine();
        break;
    case kCmdUndoLastSelection:
    case kCmdUndoSelection:
        if (dialog && dialog->RestoreMarksFromUndo())
        {
            Redraw(0);
        }
        break;
    case kCmdUpdateAnnotationText:
        if (HintLabel* label = GetHintLabel())
        {
            const std::wstring text = dialog ? dialog->GetPendingAnnotationText() : std::wstring();
            label->GetLabel()->SetText(text.c_str());
            label->SetVisible(text.empty() ? FALSE : TRUE);
        }
        Redraw(0);
        break;
    default: break;
    }
    return 0;
}

void CUIM_Segmentation::OnActivate(C3DView* view)
{
    if (view)
        view->RequestRedraw(0);
}

void CUIM_Segmentation::UpdateContextMenu(CMenu* menu)
{
    if (!menu)
        return;
    // The segmentation has no magic wand region growing and nothing to
    // deselect all at once.
    menu->RemoveMenu(kCmdMagicWand, MF_BYCOMMAND);
    menu->RemoveMenu(kCmdDeselectAll, MF_BYCOMMAND);
    CUIM_ScreenSelection::UpdateContextMenu(menu);
}

void CUIM_Segmentation::DrawOverlay(GpGraphics* graphics, C3DView* view)
{
    CUIM_ZoomRect::DrawOverlay(graphics, view);
    if (!graphics || !view || view->GetActiveMode() != this)
        return;
    const bool drawCircle = !IsOverOverlayControl(view, GetCursorPoint());
    if (operation != kNoOperation)
        return;
    cMeshObject* object = FirstMeshObject(view);
    const cDecoratorObject defaults;
    const cDecoratorObject& attributes = object ? object->GetDecoratorConst() : defaults;
    ISelectionBrushOwner* brush = FindSelectionBrushOwner(view);
    cGdiplusGraphics g(graphics, nullptr);
    RECT dirty{};
    PaintStroke(g, &dirty, attributes, brush ? brush->GetHalfBrushSize() : kPointBrushHalfSize, drawCircle);
    if (dirty.right > dirty.left && view->GetRenderer())
        if (cGDIGraphicsLayer* layer = view->GetRenderer()->GetGDILayer(view->GetClientWidth(), view->GetClientHeight()))
            layer->GetCollector().AddRect(dirty);
}
