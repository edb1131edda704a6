#include "modes/surface_extension_mode.h"

#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/scene.h"
#include "core/scene_object_container.h"
#include "modes/mode_geometry.h"
#include "modes/mode_support.h"
#include "modes/selection_brush_owner.h"
#include "modes/shapes_view.h"
#include "modes/shapes_view_owner.h"
#include "overlay/annotations.h"
#include "overlay/view_screen_object_manager.h"
#include "render/base_renderer.h"
#include "render/edit_drawing_gl.h"
#include "render/gdi_graphics_layer.h"
#include "render/gdiplus_graphics.h"
#include "render/gl_renderer.h"
#include "render/host_geometry_gl.h"
#include "shapes/shape_interfaces.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace
{

// The brush without an owner that says otherwise.
constexpr int kMinStrokeHalfBrush = 10;

void InvalidateWindow(C3DView* view)
{
    if (view && view->GetSafeHwnd())
        ::InvalidateRect(view->GetSafeHwnd(), nullptr, FALSE);
}

ST_IGeometry* GeometryOf(IBase* object)
{
    return object ? static_cast<ST_IGeometry*>(object->QueryInterface(IID_ST_IGeometry)) : nullptr;
}

// Whether a handle pointing along d shows which way it points on the
// screen: its part across the view is at least kEndOnFraction of it.
constexpr double kEndOnFraction = 0.01;

bool ShowsADirection(const double* view, const float d[3])
{
    double screen[3];
    for (int row = 0; row < 3; ++row)
        screen[row] = view[4 * row] * d[0] + view[4 * row + 1] * d[1] + view[4 * row + 2] * d[2];
    const double across = std::hypot(screen[0], screen[1]);
    return across > kEndOnFraction * std::hypot(across, screen[2]);
}

} // namespace

double HandleDragSign(const float projectedPoint[3], const float projectedTip[3], const float dragWorld[3])
{
    const double e[2] = {double(projectedPoint[0]) - projectedTip[0], double(projectedPoint[1]) - projectedTip[1]};
    return double(dragWorld[0]) * e[0] + double(dragWorld[1]) * e[1] > 0.0 ? -1.0 : 1.0;
}

void RebuildSelectedVertexMarks(cMesh& mesh)
{
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    for (std::uint32_t i = 0; i < vertexCount; ++i)
        mesh.GetVertex(i)->flags &= ~std::uint32_t(2);
    mesh.ForEachTriangle(
        [&](cMeshTriangle& t)
        {
            if ((t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) != kTriangleFlagSelected)
                return;
            for (std::uint32_t v : t.vertexIndex)
                if (v < vertexCount)
                    mesh.GetVertex(v)->flags |= 2u;
        });
}

void ApplyMarkedTriangles(cMesh& mesh, bool deselect)
{
    mesh.ForEachTriangle(
        [&](cMeshTriangle& t)
        {
            if (!(t.flags & kTriangleFlagScratch))
                return;
            if (deselect)
                t.flags &= std::uint8_t(~kTriangleFlagSelected);
            else
                t.flags |= kTriangleFlagSelected;
        });
    RebuildSelectedVertexMarks(mesh);
}

CUIM_ExtendSurface::CUIM_ExtendSurface(std::uint32_t id, std::uint32_t temporary, IBase* initial, cCPView* view)
    : CUIM_ScreenSelection(id, temporary, view), shapesView(view), activeShape(GeometryOf(initial))
{
}

CUIM_ExtendSurface::~CUIM_ExtendSurface()
{
    if (IShapesViewOwner* owner = Owner())
        owner->HideQuickPickers();
    FreeHandleArrays();
}

IShapesViewOwner* CUIM_ExtendSurface::Owner() const
{
    return shapesView ? shapesView->GetShapesOwner() : nullptr;
}

cMeshObject* CUIM_ExtendSurface::FirstMeshObject() const
{
    I3DScene* scene = shapesView ? shapesView->GetScene() : nullptr;
    if (!scene)
        return nullptr;
    std::unique_ptr<cSceneObjectIterator> it(scene->GetObjectIterator());
    if (!it)
        return nullptr;
    for (it->First(); !it->IsDone(); it->Next())
        if (auto* object = dynamic_cast<cMeshObject*>(it->Current().Get()); object && object->GetMesh())
            return object;
    return nullptr;
}

void CUIM_ExtendSurface::SetActiveShape(ST_IGeometry* shape)
{
    activeShape = shape;
    hoveredHandle = -1;
    hovering = 0;
    dragging = 0;
}

void CUIM_ExtendSurface::ResizeHandleArrays(int count)
{
    if (count <= handleCapacity)
    {
        handleCount = count;
        return;
    }
    FreeHandleArrays();
    handleCapacity = handleCount = count;
    handlePoints.assign(std::size_t(count) * 3, 0.0f);
    handleDirections.assign(std::size_t(count) * 3, 0.0f);
}

void CUIM_ExtendSurface::FreeHandleArrays()
{
    handlePoints.clear();
    handlePoints.shrink_to_fit();
    handleDirections.clear();
    handleDirections.shrink_to_fit();
    handleCapacity = handleCount = 0;
}

bool CUIM_ExtendSurface::LoadHandles()
{
    if (!activeShape)
        return false;
    const int count = activeShape->GetHandleCount();
    if (count <= 0)
    {
        handleCount = 0;
        return false;
    }
    ResizeHandleArrays(count);
    activeShape->GetHandles(reinterpret_cast<float(*)[3]>(handlePoints.data()),
                            reinterpret_cast<float(*)[3]>(handleDirections.data()));
    return true;
}

void CUIM_ExtendSurface::ClearHint(C3DView* view)
{
    IShapesViewOwner* owner = Owner();
    if (!owner || owner->HintText().empty())
        return;
    owner->HintText().clear();
    SendViewCommand(view, kCmdUpdateAnnotation);
}

void CUIM_ExtendSurface::SendViewCommand(C3DView* view, UINT id)
{
    if (view && view->GetSafeHwnd())
        ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, id, 0);
}

BOOL CUIM_ExtendSurface::OnLButtonDown(POINT point, UINT flags, C3DView* view)
{
    if (IShapesViewOwner* owner = Owner())
        owner->HideQuickPickers();
    if (!view)
        return 0;
    ClearHint(view);
    // The view may have turned, zoomed or resized under a resting cursor
    // since the last move: the handle taken is the one under the cursor now.
    if (!strokeInProgress && operation == kNoOperation && view->GetRenderer())
        HoverHandleAt(point, view);
    if (hovering && hoveredHandle >= 0 && PickImageInBuffer(view))
    {
        dragging = 1;
        previousScreenPoint = WindowPointOnScreen(view ? view->GetSafeHwnd() : nullptr, point);
        return 1;
    }
    if (view->GetActiveMode() != this)
        return 0;
    return CUIM_ScreenSelection::OnLButtonDown(point, flags, view);
}

BOOL CUIM_ExtendSurface::OnLButtonDblClk(POINT point, UINT flags, C3DView* view)
{
    // A brush click followed quickly by a stroke from the same spot is two
    // strokes, and a handle may be taken again at once. A second wand click
    // there would change nothing but the one undo step; with Ctrl a press
    // starts the view's navigation, which a double click does not.
    if ((flags & MK_CONTROL) || (tool == kToolMagicWand && !hovering))
        return 0;
    return OnLButtonDown(point, flags, view);
}

BOOL CUIM_ExtendSurface::OnMouseMove(POINT point, UINT flags, C3DView* view)
{
    if (operation != kNoOperation || !view)
        return CUIM_ScreenSelection::OnMouseMove(point, flags, view);
    BOOL handled = 0;
    auto* camera = dynamic_cast<cBase3DRenderer*>(view->GetRenderer());
    if (activeShape && dragging && hoveredHandle >= 0 && camera && hoveredHandle < handleCount)
    {
        float drag[3] = {0.0f, 0.0f, 0.0f};
        // The movement since the last move, from the previous point to this
        // one. The previous point is kept on the screen: a dialog maximised
        // or moved under a held handle moves the view's pixels under the
        // cursor, and the shift was taken as a drag of the window's offset.
        const POINT from = ScreenPointInWindow(view->GetSafeHwnd(), previousScreenPoint);
        camera->ScreenDeltaToWorld(drag, from, point);
        const float* p = &handlePoints[std::size_t(hoveredHandle) * 3];
        const float* d = &handleDirections[std::size_t(hoveredHandle) * 3];
        const float tip[3] = {p[0] + d[0], p[1] + d[1], p[2] + d[2]};
        float projectedPoint[3], projectedTip[3];
        camera->ProjectPoint(projectedPoint, p, true);
        camera->ProjectPoint(projectedTip, tip, true);
        // A handle seen end on (a vertical cylinder from the top) shows no
        // direction on the screen, so no move tells which way it goes: it
        // stays. Taken as moves across it, each grew the shape, there and
        // back, and no drag in that view could shorten it. A fitted axis is
        // never exactly the view's: within about half a degree of it the
        // handle shows no direction either.
        if (ShowsADirection(camera->GetViewTransform(), d) &&
            (projectedPoint[0] != projectedTip[0] || projectedPoint[1] != projectedTip[1]))
        {
            const double length = std::sqrt(double(drag[0]) * drag[0] + double(drag[1]) * drag[1] +
                                            double(drag[2]) * drag[2]);
            activeShape->MoveHandle(hoveredHandle, length * HandleDragSign(projectedPoint, projectedTip, drag));
            LoadHandles();
            InvalidateWindow(view);
        }
        handled = 1;
    }
    else if (!strokeInProgress && view->GetRenderer())
    {
        const std::uint8_t wasHovering = hovering;
        const int wasHovered = hoveredHandle;
        HoverHandleAt(point, view);
        if (wasHovering != hovering || wasHovered != hoveredHandle)
        {
            ::SendMessageW(view->GetSafeHwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(view->GetSafeHwnd()),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            InvalidateWindow(view);
            handled = 1;
        }
    }
    previousScreenPoint = WindowPointOnScreen(view ? view->GetSafeHwnd() : nullptr, point);
    if (handled)
        return 1;
    return CUIM_ScreenSelection::OnMouseMove(point, flags, view);
}

BOOL CUIM_ExtendSurface::OnLButtonUp(POINT point, UINT flags, C3DView* view)
{
    if (!view)
        return 0;
    if (!strokeInProgress)
    {
        const bool wasDragging = dragging != 0;
        dragging = 0;
        if (wasDragging)
        {
            // The shape moved: the next full redraw draws the handles anew.
            if (IShapesViewOwner* owner = Owner())
                owner->CurrentShapeMoved();
            view->RequestRedraw(0);
            return 1;
        }
        if (!hovering)
            return CUIM_ScreenSelection::OnLButtonUp(point, flags, view);
        hovering = 0;
        return 1;
    }
    const BOOL result = CUIM_ScreenSelection::OnLButtonUp(point, flags, view);
    bool changed = false;
    if (tool != kToolMagicWand)
        changed = ApplyStrokeSelection();
    else
    {
        // The grown selection's frame is drawn once, below, with the click's
        // stroke gone: the owner's redraw of it, held back here, drew it with
        // the stroke, and the repaint after it drew it again without.
        view->LockUpdate();
        changed = WandClick(point);
        view->UnlockUpdate();
    }
    ClearStroke();
    if (changed)
        view->RequestRedraw(0);
    else
        InvalidateWindow(view);
    return result;
}

bool CUIM_ExtendSurface::WandClick(POINT point)
{
    cMeshObject* object = FirstMeshObject();
    auto* camera = shapesView ? dynamic_cast<cBase3DRenderer*>(shapesView->GetRenderer()) : nullptr;
    if (!object || !camera)
        return false;
    cMesh& mesh = *object->GetMesh();
    float x = 0.0f, y = 0.0f;
    camera->ScreenToWorld(point, &x, &y);
    // A scan on the pool: on a 10M-triangle scan it takes less time than
    // building an index for the picks would.
    // The scan's view of the flag bytes spares the wand's first pass the
    // blocks of triangles that need nothing.
    const cMeshTriangle* hit = nullptr;
    stTriangleFlagBlocks seen;
    const cVertex picked =
        PickMeshPointUnderCursor(mesh, x, y, camera->GetViewTransform(), camera->GetSceneCentre(), &hit, &seen);
    if ((picked.flags & kPickedNothing) || !hit)
        return false;
    IShapesViewOwner* owner = Owner();
    if (owner)
        owner->SaveSelectionForUndoInWand(mesh, *hit, std::move(seen));
    shapesView->SetActiveObject(const_cast<cMeshTriangle*>(hit));
    if (owner)
        owner->FinishWandSave();
    return true;
}

bool CUIM_ExtendSurface::ApplyStrokeSelection()
{
    cMeshObject* object = FirstMeshObject();
    if (!object)
        return false;
    IShapesViewOwner* owner = Owner();
    const bool deselect = IsAltDown();
    const bool cull = owner && owner->SelectFrontFacingOnly();
    ISelectionBrushOwner* brush = FindSelectionBrushOwner(shapesView);
    const int r = brush ? brush->GetHalfBrushSize() : kMinStrokeHalfBrush;
    cMesh& mesh = *object->GetMesh();
    // A stroke that changes no triangle's selection (drawn over the
    // background, or over triangles already as it would make them) is no
    // step: the one undo step stays the user's last real one.
    if (!SelectTrianglesInStroke(mesh, object->GetDecoratorConst(), r, cull) || !StrokeChangesSelection(mesh, deselect))
        return false;
    // The stroke marked its triangles with the scratch bit only: the
    // selection saved is still the one before the stroke.
    if (owner)
        owner->SaveSelectionForUndo();
    ApplyMarkedTriangles(mesh, deselect);
    return true;
}

BOOL CUIM_ExtendSurface::OnRButtonUp(POINT point, UINT flags, C3DView* view)
{
    if (IShapesViewOwner* owner = Owner())
        owner->HideQuickPickers();
    return CUIM_ScreenSelection::OnRButtonUp(point, flags, view);
}

BOOL CUIM_ExtendSurface::OnMButtonDown(POINT point, UINT, C3DView* view)
{
    IShapesViewOwner* owner = Owner();
    if (!owner || !view)
        return 1;
    const POINT screen = WindowPointOnScreen(view->GetSafeHwnd(), point);
    const POINT at{screen.x + 10, screen.y - 10};
    const HWND picker = owner->QuickShapePicker(owner->CurrentShapeObject() != nullptr);
    if (picker)
        ShowPopupAt(picker, at);
    return 1;
}

void CUIM_ExtendSurface::ShowPopupAt(HWND window, POINT screen)
{
    if (!::IsWindow(window))
        return;
    RECT r{};
    ::GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    int x = screen.x, y = screen.y - height;
    // Up and to the right of the cursor, but on the screen: in a maximised
    // dialog a press near the view's top or right edge put the picker above
    // or past the screen's edge, with most of its buttons out of reach. It
    // goes to the other side of the cursor then, as far from it.
    MONITORINFO monitor{sizeof(MONITORINFO), {}, {}, 0};
    if (::GetMonitorInfoW(::MonitorFromPoint(screen, MONITOR_DEFAULTTONEAREST), &monitor))
    {
        const RECT& work = monitor.rcWork;
        if (x + width > work.right)
            x = screen.x - 20 - width;
        if (y < work.top)
            y = screen.y + 20;
        x = std::max(LONG(work.left), std::min(LONG(x), work.right - width));
        y = std::max(LONG(work.top), std::min(LONG(y), work.bottom - height));
    }
    ::SetWindowPos(window, nullptr, x, y, width, height, 0);
    ::ShowWindow(window, SW_SHOW);
    // The popup shown is the window the user works in: it takes the
    // keyboard (Escape hides it, the keys choose its buttons), and a click
    // anywhere else, which takes the activation from it, hides it. Left
    // inactive it stayed up over the dialog after the user had moved on.
    ::SetFocus(window);
    ::RedrawWindow(window, nullptr, nullptr, RDW_FRAME | RDW_ERASENOW | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

BOOL CUIM_ExtendSurface::OnCommand(UINT id, int code, void*, AFX_CMDHANDLERINFO* info, C3DView* view)
{
    if (code != 0 || id > kCmdUndoSelection || info)
        return 0;
    IShapesViewOwner* owner = Owner();
    switch (id)
    {
    case kCmdUndoSelection:
        if (owner && owner->RestoreSelectionFromUndo() && view)
            view->RequestRedraw(0);
        return 1;
    case kCmdClearFeaturePoints: SetActiveShape(nullptr); InvalidateWindow(view); return 1;
    case kCmdPaintFilled: tool = kToolFreeHandFilled; return 1;
    case kCmdPaintWand: tool = kToolMagicWand; return 1;
    case kCmdPaintLine: tool = kToolLine; return 1;
    case kCmdPaintDrawing: tool = kToolFreeHand; return 1;
    case kCmdReinitializePrimitive:
        SetActiveShape(shapesView ? GeometryOf(shapesView->QueryCurrentObjectInterface()) : nullptr);
        InvalidateWindow(view);
        return 1;
    case kCmdUpdateAnnotation:
        if (HintLabel* label = GetHintLabel())
        {
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
        return 1;
    default: break;
    }
    switch (id)
    {
    case kCmdPrimitiveVertical:
    case kCmdPrimitiveHorizontal:
    case kCmdUndoLastSelection:
    case kCmdDeselectAll:
    case kCmdFreeFormFilled:
    case kCmdFreeForm:
    case kCmdLineSelection:
    case kCmdMagicWand:
    case kCmdSelectFrontFacingOnly:
    case kCmdNewShape:
    case kCmdTransferToHost: return owner && owner->OnViewCommand(id) ? 1 : 0;
    default: return 0;
    }
}

void CUIM_ExtendSurface::OnEscape(C3DView* view)
{
    IShapesViewOwner* owner = Owner();
    if (!owner)
        return;
    owner->HideQuickPickers();
    ClearHint(view);
    if (owner->CurrentShapeObject())
        owner->StartNewShape();
}

void CUIM_ExtendSurface::OnActivate(C3DView* view)
{
    CUIM_ScreenSelection::OnActivate(view);
    // Back from a turn, pan or zoom made with another button while a handle
    // was held: the drag goes on from where the cursor is now. The moves of
    // the navigation never reached this mode, and the first move after it
    // grew or shrank the shape by the whole way the cursor went meanwhile.
    if (POINT cursor{}; dragging && ::GetCursorPos(&cursor))
        previousScreenPoint = cursor;
    if (view)
        view->RequestRedraw(0);
}

void CUIM_ExtendSurface::OnSuspend(C3DView* view, std::uint32_t next)
{
    if (IShapesViewOwner* owner = Owner())
        owner->HideQuickPickers();
    CUIM_ScreenSelection::OnSuspend(view, next);
}

int CUIM_ExtendSurface::OnSetCursor(C3DView* view, UINT hitTest, UINT message)
{
    if (hovering && operation == kNoOperation)
        return int(kCursorOverHandle);
    return CUIM_ScreenSelection::OnSetCursor(view, hitTest, message);
}

void CUIM_ExtendSurface::DrawGL(C3DView* view)
{
    auto* gl = view ? dynamic_cast<cGLRenderer*>(view->GetRenderer()) : nullptr;
    if (!gl || !LoadHandles())
        return;
    cGeometriesGLRenderer drawer(gl);
    ISceneObject* sceneObject = shapesView ? shapesView->QueryCurrentObjectInterface() : nullptr;
    static const cDecoratorObject kDefaultAttributes;
    const cDecoratorObject& attributes = sceneObject ? sceneObject->GetDecoratorConst() : kDefaultAttributes;
    // The drawer applies the view transform itself.
    DrawCubeHandlesGL(&drawer, GetHandlePoints(), reinterpret_cast<const float(*)[3]>(handleDirections.data()),
                      std::uint32_t(handleCount), attributes);
}

void CUIM_ExtendSurface::OnAfterFullRedraw(C3DView* view)
{
    auto* gl = view ? dynamic_cast<cGLRenderer*>(view->GetRenderer()) : nullptr;
    if (!gl)
        return;
    gl->MakeCurrent();
    if (!gl->IsCurrent())
    {
        pickImageValid = 0;
        return;
    }
    GLint drawBuffer = GL_BACK;
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
    glDrawBuffer(GL_BACK);
    pickImageStamp = gl->StampBackBuffer();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (LoadHandles())
    {
        cGeometriesGLRenderer drawer(gl);
        DrawCubeHandlesIdColoured(&drawer, GetHandlePoints(),
                                  reinterpret_cast<const float(*)[3]>(handleDirections.data()),
                                  std::uint32_t(handleCount));
    }
    glPopAttrib();
    glDrawBuffer(GLenum(drawBuffer));
    glFinish();
    glReadBuffer(GL_BACK);
    pickImageValid = 1;
}

void CUIM_ExtendSurface::HoverHandleAt(POINT point, C3DView* view)
{
    // Outside the view, or after anything else was drawn into the back
    // buffer (a stroke's face-id pass, a frame), no handle is there.
    const std::uint32_t id = PickImageInBuffer(view) ? ReadPickIdUnderCursor(*view->GetRenderer(), point) : kNoPickId;
    const std::uint32_t index = id - 1u;
    if (id != kNoPickId && index < std::uint32_t(kMaxShapeHandles) && int(index) < handleCount)
    {
        hovering = 1;
        hoveredHandle = int(index);
    }
    else
    {
        hovering = 0;
        hoveredHandle = -1;
    }
}

bool CUIM_ExtendSurface::PickImageInBuffer(C3DView* view) const
{
    const I3DSceneRenderer* renderer = view ? view->GetRenderer() : nullptr;
    return pickImageValid && renderer && renderer->GetBackBufferStamp() == pickImageStamp;
}

void CUIM_ExtendSurface::DrawOverlay(GpGraphics* graphics, C3DView* view)
{
    CUIM_ZoomRect::DrawOverlay(graphics, view);
    if (!graphics || !view || view->GetActiveMode() != this)
        return;
    bool drawCircle = true;
    // No brush over an overlay control.
    if (auto* manager = dynamic_cast<cViewScreenObjectManager<C3DView>*>(view->GetScreenObjectManager()))
        drawCircle = manager->GetManager().GetHotControl() == nullptr;
    if (operation != kNoOperation)
        return;
    cMeshObject* object = FirstMeshObject();
    static const cDecoratorObject kDefaultAttributes;
    ISelectionBrushOwner* brush = FindSelectionBrushOwner(view);
    cGdiplusGraphics g(graphics, nullptr);
    RECT dirty{};
    PaintStroke(g, &dirty, object ? object->GetDecoratorConst() : kDefaultAttributes,
                brush ? brush->GetHalfBrushSize() : kMinStrokeHalfBrush, drawCircle);
    if (dirty.right > dirty.left && view->GetRenderer())
        if (cGDIGraphicsLayer* layer = view->GetRenderer()->GetGDILayer(view->GetClientWidth(), view->GetClientHeight()))
            layer->GetCollector().AddRect(dirty);
}
