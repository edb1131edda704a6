// The network mode's mouse: the pick pass, hover, presses, node drags and
// drops, insertion on drag, drawing new curves and dragging the section
// plane.
#include "modes/network_edit_mode.h"

#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/profiled_surface.h"
#include "core/scene.h"
#include "core/section_curve_classes.h"
#include "modes/curve_network_cursor.h"
#include "modes/mode_geometry.h"
#include "modes/mode_support.h"
#include "modes/shapes_view.h"
#include "platform/win32/input.h"
#include "render/edit_drawing_gl.h"
#include "render/gl_renderer.h"
#include "render/gl_widgets.h"
#include "shapes/interactive_section_plane.h"

#include <cmath>
#include <memory>

namespace
{

bool ShiftDown()
{
    return ::GetAsyncKeyState(VK_SHIFT) < 0;
}

bool AltDown()
{
    return ::GetAsyncKeyState(VK_MENU) < 0;
}

bool Found(const cVertex& v)
{
    return !IsFloatUnset(v.x) && (v.flags & kPickedNothing) == 0;
}

cVertex NoPoint()
{
    cVertex none;
    none.x = FLT_MAX;
    none.flags = kPickedNothing;
    return none;
}

cVertex At(const float p[3])
{
    cVertex v;
    v.x = p[0];
    v.y = p[1];
    v.z = p[2];
    return v;
}

bool IsFinitePoint(const float p[3])
{
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

bool SamePoint(const float a[3], const float b[3])
{
    const double dx = double(a[0]) - b[0], dy = double(a[1]) - b[1], dz = double(a[2]) - b[2];
    return dx * dx + dy * dy + dz * dz < FLT_EPSILON;
}

bool IsCurveEnd(const ST_ISectionCurve& curve, const float p[3])
{
    const tPolyline<cVertex>* nodes = curve.GetDefiningPoints();
    if (!nodes || nodes->IsEmpty())
        return false;
    return SamePoint(nodes->GetFirstVertex()->Position(), p) || SamePoint(nodes->GetLastVertex()->Position(), p);
}

} // namespace

const cMesh* CUIM_EditNetwork::FirstMesh() const
{
    const cMeshObject* object = FirstMeshObject(shapesView);
    return object ? object->GetMesh() : nullptr;
}

bool CUIM_EditNetwork::CursorOnViewPlane(POINT point, float* x, float* y) const
{
    cBase3DRenderer* camera = shapesView ? shapesView->GetCamera() : nullptr;
    if (!camera)
        return false;
    camera->ScreenToWorld(point, x, y);
    return std::isfinite(*x) && std::isfinite(*y);
}

cVertex CUIM_EditNetwork::MeshPointAt(POINT point)
{
    const cMesh* mesh = FirstMesh();
    cBase3DRenderer* camera = shapesView ? shapesView->GetCamera() : nullptr;
    float x = 0.0f, y = 0.0f;
    if (!mesh || !camera || !CursorOnViewPlane(point, &x, &y))
        return NoPoint();
    return MeshPointAtCursor(projector, mesh, x, y, camera->GetViewTransform(), camera->GetSceneCentre());
}

cVertex CUIM_EditNetwork::CurvePointAt(POINT point, const ST_ISectionCurve& curve) const
{
    cBase3DRenderer* camera = shapesView ? shapesView->GetCamera() : nullptr;
    float x = 0.0f, y = 0.0f;
    if (!camera || !CursorOnViewPlane(point, &x, &y))
        return NoPoint();
    return PointOnCurveAtCursor(curve, x, y, camera->GetViewTransform(), camera->GetSceneCentre(),
                                PixelsToWorldLength(shapesView, 1));
}

std::int32_t CUIM_EditNetwork::SegmentAt(POINT point, const ST_ISectionCurve& curve) const
{
    cBase3DRenderer* camera = shapesView ? shapesView->GetCamera() : nullptr;
    float x = 0.0f, y = 0.0f;
    if (!camera || !CursorOnViewPlane(point, &x, &y))
        return -1;
    return FindSegmentAtCursor(curve, x, y, camera->GetViewTransform(), camera->GetSceneCentre());
}

bool CUIM_EditNetwork::IsNetworkCurve(const ST_ISectionCurve* curve) const
{
    ST_ISectionCurve* network = GetNetwork();
    return curve && network && network->IndexOfCurve(curve) != 0xFFFFFFFFu;
}

void CUIM_EditNetwork::OnAfterFullRedraw(C3DView* view)
{
    pickBufferValid = 0;
    auto* gl = view ? dynamic_cast<cGLRenderer*>(view->GetRenderer()) : nullptr;
    if (!gl)
        return;
    INetworkEditPage* page = Page();
    ST_ISectionCurve* network = GetNetwork();
    const bool planePass = subState == kNetworkSectionPlane;
    ST_CInteractiveSectionPlane* plane = page ? page->SectionPlane() : nullptr;
    if (planePass && (view->GetActiveMode() != this || !plane || !plane->IsActive()))
        return;
    if (!planePass && !network)
        return;
    gl->MakeCurrent();
    if (!gl->IsCurrent())
        return;
    GLint drawBuffer = GL_BACK;
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
    glDrawBuffer(GL_BACK);
    pickImageStamp = gl->StampBackBuffer();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (GLenum cap : {GL_BLEND, GL_DITHER, GL_LIGHTING, GL_FOG, GL_TEXTURE_2D, GL_LINE_SMOOTH, GL_POINT_SMOOTH})
        glDisable(cap);
    if (planePass)
    {
        gl->PushViewTransform();
        const cPlane& p = plane->GetPlane();
        stPlaneRecord record;
        for (int k = 0; k < 3; ++k)
        {
            record.n[k] = p.normal[k];
            record.o[k] = p.origin[k];
            record.a[k] = p.xAxis[k];
        }
        record.w = p.halfWidth;
        record.h = p.halfHeight;
        glDisable(GL_DEPTH_TEST);
        glShadeModel(GL_FLAT);
        glEnable(GL_COLOR_MATERIAL);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glColor3f(1.0f, 0.0f, 0.0f);
        DrawPlaneQuadGL(record);
        const float origin[3] = {float(p.origin[0]), float(p.origin[1]), float(p.origin[2])};
        const float normal[3] = {float(p.normal[0]), float(p.normal[1]), float(p.normal[2])};
        DrawArrowGL(origin, normal, gl->PixelsToWorld(150));
        gl->PopViewTransform();
    }
    else
    {
        // Network splines hold their nodes in world coordinates.
        stDrawnCurveCollection collection;
        MakeIdentity3x4(collection.frame);
        for (std::uint32_t i = 0; i < network->GetSegmentCount(); ++i)
        {
            ST_ISectionCurve* curve = network->GetSegment(i);
            stDrawnCurve shown;
            if (curve)
            {
                shown.wire = curve->GetWire();
                shown.points = curve->GetDefiningPoints();
            }
            collection.curves.push_back(shown);
        }
        // The drawer applies the view transform itself.
        cGeometriesGLRenderer drawer(gl);
        DrawCurvesWithHandlesIdColoured(&drawer, &collection, false);
    }
    glPopAttrib();
    glDrawBuffer(GLenum(drawBuffer));
    glFinish();
    glReadBuffer(GL_BACK);
    pickBufferValid = 1;
}

bool CUIM_EditNetwork::PickImageInBuffer(C3DView* view)
{
    // After anything else was drawn into the back buffer (a picker's image,
    // a face-id pass) the network's image is drawn again, as the network is
    // now, before it is read.
    return PickImageReadable(view ? view->GetRenderer() : nullptr, pickBufferValid, pickImageStamp,
                             [this, view] { OnAfterFullRedraw(view); });
}

std::int32_t CUIM_EditNetwork::ReadPick(POINT point, C3DView* view)
{
    auto* gl = view ? dynamic_cast<cGLRenderer*>(view->GetRenderer()) : nullptr;
    if (!gl || !PickImageInBuffer(view))
    {
        pick.pickId = -1;
        pick.hit = 0;
        return -1;
    }
    const std::uint32_t id = ReadPickIdUnderCursor(*gl, point);
    pick.pickId = id == kNoPickId ? -1 : std::int32_t(id - 1);
    pick.hit = id == kNoPickId ? 0 : 1;
    return pick.pickId;
}

void CUIM_EditNetwork::UpdateHover(POINT point, C3DView* view)
{
    if (!pickBufferValid || !view)
        return;
    const std::int32_t id = ReadPick(point, view);
    if (subState == kNetworkSectionPlane)
    {
        if (planeDrag)
            return;
        const std::uint8_t over = id >= 0 ? 1 : 0;
        if (over != planeHover)
        {
            planeHover = over;
            SendSetCursor(view);
        }
        return;
    }
    ST_ISectionCurve* network = GetNetwork();
    ST_ISectionCurve* curve = nullptr;
    ST_ISectionCurve* pointCurve = nullptr;
    t3DPoint<float> node{FLT_MAX, 0.0f, 0.0f};
    if (network && id >= kCurvePickBase)
    {
        const std::uint32_t index = std::uint32_t(id - kCurvePickBase);
        curve = index < network->GetSegmentCount() ? network->GetSegment(index) : nullptr;
    }
    else if (network && id >= 0)
        node = GetPointByPickId(id, network, false, &pointCurve);
    if (!IsFloatUnset(node.x) && subState == kNetworkExtrapolateEnds)
    {
        const float p[3] = {node.x, node.y, node.z};
        if (!pointCurve || !IsCurveEnd(*pointCurve, p))
        {
            node.x = FLT_MAX;
            pointCurve = nullptr;
            ResetCurvePick(pick);
        }
    }
    const bool changed = curve != hoveredCurve || pointCurve != hoveredPointCurve || node.x != hoveredPoint[0] ||
                         node.y != hoveredPoint[1] || node.z != hoveredPoint[2];
    if (curve != hoveredCurve)
    {
        hoveredCurve = curve;
        SendSetCursor(view);
    }
    hoveredPoint[0] = node.x;
    hoveredPoint[1] = node.y;
    hoveredPoint[2] = node.z;
    hoveredPointCurve = IsFloatUnset(node.x) ? nullptr : pointCurve;
    if (changed)
        Repaint(view);
}

// The press in the view's pixels now. It is kept on the screen: a dialog
// maximised or moved under a still cursor moves the view's pixels under it,
// and that shift was taken as a drag that put in a node (or moved one).
POINT CUIM_EditNetwork::PressInView(C3DView* view) const
{
    return ScreenPointInWindow(view ? view->GetSafeHwnd() : nullptr, pressPoint);
}

BOOL CUIM_EditNetwork::OnLButtonDown(POINT point, UINT flags, C3DView* view)
{
    if (operation != kNoOperation || !view)
        return CUIM_ScreenSelection::OnLButtonDown(point, flags, view);
    FollowCurrentShape(view);
    // A press while a drag still runs (its release was lost): the drag ends
    // as it began.
    CancelNodeDrag();
    ClearPressState();
    pressPoint = WindowPointOnScreen(view->GetSafeHwnd(), point);
    buttonDown = 1;
    if (!GetNetwork())
        return 1;
    switch (subState)
    {
    case kNetworkModifyCurves:
        if (pickBufferValid)
            PressModify(point, flags, view);
        break;
    case kNetworkExtrapolateEnds:
        if (pickBufferValid)
            PressExtrapolate(point, view);
        break;
    case kNetworkAddCurve: PressAddCurve(point, view); return 1;
    case kNetworkSectionPlane:
        UpdateHover(point, view);
        if (planeHover)
        {
            planeDrag = 1;
            lastPlanePoint = WindowPointOnScreen(view->GetSafeHwnd(), point);
            ::SetCapture(view->GetSafeHwnd());
            return 1;
        }
        break;
    default: break;
    }
    if (!drag.IsDragging() && pressKind == 0 && view->GetActiveMode() == this)
        CUIM_ScreenSelection::OnLButtonDown(point, flags, view);
    return 1;
}

void CUIM_EditNetwork::PressModify(POINT point, UINT, C3DView* view)
{
    ST_ISectionCurve* network = GetNetwork();
    DeselectAllNodes(network);
    const std::int32_t id = ReadPick(point, view);
    if (id < 0)
    {
        SelectCurveByPickId(-1, network, true);
        RequestLevel1Redraw(view);
        return;
    }
    SelectCurveByPickId(id, network, !ShiftDown());
    if (id >= kCurvePickBase)
    {
        const std::uint32_t index = std::uint32_t(id - kCurvePickBase);
        ST_ISectionCurve* curve = index < network->GetSegmentCount() ? network->GetSegment(index) : nullptr;
        if (curve)
        {
            pressedCurve = curve;
            segmentIndex = SegmentAt(point, *curve);
            pressedVertex = MeshPointAt(point);
            if (!Found(pressedVertex))
                pressedVertex = CurvePointAt(point, *curve);
            pressKind = 1;
        }
        RequestLevel1Redraw(view);
        return;
    }
    ST_ISectionCurve* owner = nullptr;
    const t3DPoint<float> node = GetPointByPickId(id, network, false, &owner);
    if (!IsFloatUnset(node.x))
    {
        const float position[3] = {node.x, node.y, node.z};
        StartNodeDrag(position, view);
    }
}

void CUIM_EditNetwork::PressExtrapolate(POINT point, C3DView* view)
{
    ST_ISectionCurve* network = GetNetwork();
    DeselectAllNodes(network);
    const std::int32_t id = ReadPick(point, view);
    if (id < 0)
    {
        SelectCurveByPickId(-1, network, true);
        RequestLevel1Redraw(view);
        return;
    }
    if (id >= kCurvePickBase)
        return;
    ST_ISectionCurve* owner = nullptr;
    const t3DPoint<float> node = GetPointByPickId(id, network, false, &owner);
    const float position[3] = {node.x, node.y, node.z};
    // Only a curve's end can be extended.
    if (!IsFloatUnset(node.x) && owner && IsCurveEnd(*owner, position))
        StartNodeDrag(position, view);
}

void CUIM_EditNetwork::StartNodeDrag(const float position[3], C3DView* view)
{
    ST_ISectionCurve* network = GetNetwork();
    if (INetworkEditPage* page = Page())
    {
        page->PushUndoState();
        dragUndoCount = page->GetUndoCount();
    }
    if (drag.GrabAt(network, position) == 0)
        return;
    dragFromNodePress = 1;
    // The pick image still shows the grabbed curves, and the ids of the
    // curves after them have moved: it is drawn again before it is read.
    pickBufferValid = 0;
    std::copy(position, position + 3, dragStart);
    ClearHover();
    if (view && view->GetSafeHwnd())
        ::SetCapture(view->GetSafeHwnd());
    RequestLevel1Redraw(view);
}

POINT CUIM_EditNetwork::ShiftSnappedCursor(POINT point) const
{
    const tPolyline<cVertex>* points = drawn ? drawn->GetDefiningPoints() : nullptr;
    I3DSceneRenderer* renderer = shapesView ? shapesView->GetRenderer() : nullptr;
    if (!ShiftDown() || !points || points->GetVertexCount() < 2 || !renderer)
        return point;
    float projected[3];
    renderer->ProjectPoint(projected, points->GetVertex(points->GetVertexCount() - 2)->Position(), true);
    POINT last{};
    renderer->WorldToScreen(projected[0], projected[1], &last);
    // The nearer of the horizontal and the vertical through the last point.
    if (std::abs(point.y - last.y) <= std::abs(point.x - last.x))
        return POINT{point.x, last.y};
    return POINT{last.x, point.y};
}

cVertex CUIM_EditNetwork::DrawingPointAt(POINT point, C3DView* view)
{
    UpdateHover(point, view);
    const POINT cursor = ShiftSnappedCursor(point);
    if (!IsFloatUnset(hoveredPoint[0]))
        return At(hoveredPoint);
    if (!hoveredCurve)
        return MeshPointAt(cursor);
    return CurvePointAt(cursor, *hoveredCurve);
}

void CUIM_EditNetwork::PressAddCurve(POINT point, C3DView* view)
{
    ST_IProfiledSurface* surface = GetProfiledSurface();
    ST_ISectionCurve* network = GetNetwork();
    if (!surface || !network)
        return;
    if (!drawn)
    {
        if (INetworkEditPage* page = Page())
            page->PushUndoState();
        clickedPoints = 0;
        drawnChangedNetwork = false;
        if (!BeginNewCurve(drawn, *surface, network, CLSID_ST_TSplineCurve, view ? view->GetSafeHwnd() : nullptr))
            return;
        if (INetworkEditPage* page = Page())
            drawnUndoCount = page->GetUndoCount();
    }
    bool redraw = false;
    cVertex p = DrawingPointAt(point, view);
    if (Found(p))
    {
        float direction[3];
        ViewDirection(direction);
        std::copy(direction, direction + 3, p.Normal());
        p.flags = 0;
        // A point on a hovered curve becomes a node of it, so the curves
        // meet at a joint.
        if (hoveredCurve && IsFloatUnset(hoveredPoint[0]))
        {
            const std::int32_t segment = SegmentAt(ShiftSnappedCursor(point), *hoveredCurve);
            if (segment >= 0 && InsertPointIntoCurve(*surface, network, hoveredCurve, p.Position(), segment,
                                                     tangencyAngle, {&hoveredCurve, &hoveredPointCurve, &pressedCurve}))
            {
                hoveredCurve = nullptr;
                redraw = true;
                drawnChangedNetwork = true;
            }
        }
        const tPolyline<cVertex>* current = drawn->GetDefiningPoints();
        tPolyline<cVertex> points = current ? *current : tPolyline<cVertex>();
        if (points.IsEmpty())
            points.AddVertex(p);
        else
            *points.GetLastVertex() = p;
        points.AddVertex(p);
        double frame[12];
        std::copy(drawn->frame, drawn->frame + 12, frame);
        drawn->FitToPolyline(frame, points, 0.0, 0);
        ++clickedPoints;
    }
    if (redraw)
        RequestLevel1Redraw(view);
    Repaint(view);
}

void CUIM_EditNetwork::MoveDrawnPoint(POINT point, C3DView* view)
{
    const tPolyline<cVertex>* current = drawn ? drawn->GetDefiningPoints() : nullptr;
    if (!current || current->IsEmpty())
        return;
    cVertex p = DrawingPointAt(point, view);
    if (!Found(p))
        return;
    float direction[3];
    ViewDirection(direction);
    std::copy(direction, direction + 3, p.Normal());
    p.flags = 0;
    tPolyline<cVertex> points(*current);
    *points.GetLastVertex() = p;
    double frame[12];
    std::copy(drawn->frame, drawn->frame + 12, frame);
    drawn->FitToPolyline(frame, points, 0.0, 0);
    Repaint(view);
}

void CUIM_EditNetwork::InsertOnDrag(POINT point, C3DView* view)
{
    ST_ISectionCurve* network = GetNetwork();
    ST_ISectionCurve* curve = pressedCurve;
    if (!network || !IsNetworkCurve(curve) || !Found(pressedVertex) || segmentIndex < 0)
        return;
    if (INetworkEditPage* page = Page())
    {
        page->PushUndoState();
        dragUndoCount = page->GetUndoCount();
    }
    const float position[3] = {pressedVertex.x, pressedVertex.y, pressedVertex.z};
    std::unique_ptr<ST_ISectionCurve> before = curve->Clone();
    if (before)
        before->Assign(*curve);
    if (!InsertNodeIntoCurve(network, *curve, position, segmentIndex, tangencyAngle))
        return;
    curve->selected = 0;
    drag.GrabCurve(network, curve, position);
    dragFromNodePress = 0;
    if (before)
        drag.KeepCurveBeforeInsertion(std::move(before));
    // As for a pressed node: the pick image of the network before the grab
    // would snap the new node to nodes that have moved or left.
    pickBufferValid = 0;
    std::copy(position, position + 3, dragStart);
    ClearHover();
    // The press was no selection stroke.
    ClearStroke();
    strokeInProgress = 0;
    if (view && view->GetSafeHwnd())
        ::SetCapture(view->GetSafeHwnd());
    RequestLevel1Redraw(view);
    DragNode(point, view);
}

POINT CUIM_EditNetwork::DragCursor(POINT point, C3DView* view) const
{
    I3DSceneRenderer* renderer = view ? view->GetRenderer() : nullptr;
    if (!renderer || subState != kNetworkModifyCurves || !ShiftDown() || IsFloatUnset(dragStart[0]))
        return point;
    // Shift keeps the node on the screen axis along which the cursor has
    // gone further from where the drag began.
    float start[3];
    renderer->ProjectPoint(start, dragStart, true);
    POINT s{};
    renderer->WorldToScreen(start[0], start[1], &s);
    POINT cursor = point;
    if (std::abs(point.x - s.x) >= std::abs(point.y - s.y))
        cursor.y = s.y;
    else
        cursor.x = s.x;
    return cursor;
}

void CUIM_EditNetwork::DragNode(POINT point, C3DView* view)
{
    I3DSceneRenderer* renderer = view ? view->GetRenderer() : nullptr;
    const t3DPoint<float> grabbed = drag.Mover().GetGrabbedPoint();
    if (!renderer || IsFloatUnset(grabbed.x))
        return;
    const float node[3] = {grabbed.x, grabbed.y, grabbed.z};
    float projected[3];
    renderer->ProjectPoint(projected, node, true);
    const POINT cursor = DragCursor(point, view);
    float viewPoint[3] = {0.0f, 0.0f, projected[2]};
    renderer->ScreenToWorld(cursor, &viewPoint[0], &viewPoint[1]);
    float target[3];
    renderer->ViewToWorld(target, viewPoint);
    // A node under the cursor takes the dragged node.
    ST_ISectionCurve* network = GetNetwork();
    const std::int32_t id = ReadPick(cursor, view);
    if (network && id >= 0 && id < kCurvePickBase)
    {
        const t3DPoint<float> hit = GetPointByPickId(id, network, false, nullptr);
        if (!IsFloatUnset(hit.x))
        {
            target[0] = hit.x;
            target[1] = hit.y;
            target[2] = hit.z;
        }
    }
    if (!IsFinitePoint(target))
        return;
    drag.Mover().MoveTo(target, subState == kNetworkExtrapolateEnds ? PixelsToWorldLength(view, 1) : -1.0);
    Repaint(view);
}

void CUIM_EditNetwork::DropNodes(POINT released, C3DView* view)
{
    // A drag held to a screen axis drops where it was shown, on the axis.
    const POINT point = DragCursor(released, view);
    ST_IProfiledSurface* surface = GetProfiledSurface();
    ST_ISectionCurve* network = GetNetwork();
    INetworkEditPage* page = Page();
    if (!network || !surface)
    {
        CancelNodeDrag();
        return;
    }
    cVertex target = NoPoint();
    const std::int32_t id = ReadPick(point, view);
    if (id >= kCurvePickBase)
    {
        const std::uint32_t index = std::uint32_t(id - kCurvePickBase);
        ST_ISectionCurve* curve = index < network->GetSegmentCount() ? network->GetSegment(index) : nullptr;
        if (curve)
        {
            target = CurvePointAt(point, *curve);
            const std::int32_t segment = Found(target) ? SegmentAt(point, *curve) : -1;
            if (segment >= 0)
            {
                InsertPointIntoCurve(*surface, network, curve, target.Position(), segment, tangencyAngle,
                                     {&hoveredCurve, &hoveredPointCurve, &pressedCurve});
                drag.Mover().MoveTo(target.Position(), -1.0);
            }
        }
    }
    else if (id >= 0)
    {
        const t3DPoint<float> node = GetPointByPickId(id, network, false, nullptr);
        if (!IsFloatUnset(node.x))
        {
            const float p[3] = {node.x, node.y, node.z};
            target = At(p);
        }
    }
    if (!Found(target))
        target = MeshPointAt(point);
    const bool keepOnMesh = page && page->KeepNodesOnMesh();
    bool extendingEnd = false;
    if (subState == kNetworkExtrapolateEnds && drag.Mover().GetCurveCount() == 1)
    {
        const tPolyline<cVertex>* nodes = drag.Mover().GetGrabTimeCurve(0)->GetDefiningPoints();
        const std::uint32_t index = drag.Mover().GetGrabbedIndex(0);
        extendingEnd = nodes && (index == 0 || index + 1 == nodes->GetVertexCount());
    }
    const bool free = !Found(target) || !keepOnMesh || extendingEnd;
    // An end extended past the mesh keeps its extension; any other node
    // that would leave the mesh goes back.
    if (free && keepOnMesh && !Found(target) && !extendingEnd)
    {
        // A node pressed and sent back changes nothing: the network goes
        // back to the copy saved as the press began, in its order, with no
        // undo step left for it.
        if (!dragFromNodePress || !RestorePressedNetwork(view))
            drag.DropAsGrabbed(network, tangencyAngle);
    }
    else if (free)
        drag.Drop(network, tangencyAngle);
    else
    {
        drag.Mover().MoveTo(target.Position(),
                            subState == kNetworkExtrapolateEnds ? PixelsToWorldLength(view, 1) : -1.0);
        drag.Drop(network, tangencyAngle, target.Position());
    }
    dragStart[0] = FLT_MAX;
    ResetCurvePick(pick);
    HideAnnotations();
    RequestLevel1Redraw(view);
}

void CUIM_EditNetwork::SelectPressedNode(C3DView* view)
{
    if (!RestorePressedNetwork(view))
        DropNodes(PressInView(view), view);
}

bool CUIM_EditNetwork::RestorePressedNetwork(C3DView* view)
{
    INetworkEditPage* page = Page();
    if (!page || !editedSurface || page->GetUndoCount() != dragUndoCount)
        return false;
    const float node[3] = {dragStart[0], dragStart[1], dragStart[2]};
    // The copy saved as the press began: the curves as they were, in their
    // order, and no undo step for a click.
    LetGoOfNetwork();
    page->UndoOn(editedSurface);
    if (ST_ISectionCurve* network = GetNetwork(); network && !IsFloatUnset(node[0]))
        for (std::uint32_t i = 0; i < network->GetSegmentCount(); ++i)
            if (ST_ISectionCurve* curve = network->GetSegment(i))
                if (const tPolyline<cVertex>* nodes = curve->GetDefiningPoints())
                    for (cVertex& v : const_cast<tPolyline<cVertex>*>(nodes)->vertices)
                        if (SamePoint(v.Position(), node))
                            v.flags |= kNetworkNodeSelected;
    RequestLevel1Redraw(view);
    return true;
}

void CUIM_EditNetwork::DragSectionPlane(POINT point, C3DView* view)
{
    INetworkEditPage* page = Page();
    ST_CInteractiveSectionPlane* plane = page ? page->SectionPlane() : nullptr;
    I3DSceneRenderer* renderer = view ? view->GetRenderer() : nullptr;
    if (!plane || !renderer || !plane->IsActive())
        return;
    // The cursor, and where it was at the last move, on the screen plane
    // through the plane's origin.
    const cPlane& current = plane->GetPlane();
    const float origin[3] = {float(current.origin[0]), float(current.origin[1]), float(current.origin[2])};
    float projected[3];
    renderer->ProjectPoint(projected, origin, true);
    const auto onScreenPlane = [&](POINT at, float out[3]) {
        float viewPoint[3] = {0.0f, 0.0f, projected[2]};
        renderer->ScreenToWorld(at, &viewPoint[0], &viewPoint[1]);
        renderer->ViewToWorld(out, viewPoint);
        return IsFinitePoint(out);
    };
    // The last move's point is kept on the screen: a dialog maximised or
    // moved under the held plane moves the view's pixels under the cursor,
    // and the shift was taken as a drag.
    const POINT last = ScreenPointInWindow(view->GetSafeHwnd(), lastPlanePoint);
    float world[3], before[3];
    if (!onScreenPlane(point, world) || !onScreenPlane(last, before))
        return;
    const ST_ISectionCurve* guide = plane->GetSectionCurve();
    // The plane follows the cursor's movement along its normal from where
    // it was grabbed: through the cursor's point itself, a plane grabbed
    // away from its origin in a turned view leapt from under the cursor.
    if (!guide)
        plane->MoveTo({origin[0] + (world[0] - before[0]), origin[1] + (world[1] - before[1]),
                       origin[2] + (world[2] - before[2])});
    else
    {
        // The guide's point under the cursor: in a turned view the point of
        // the guide nearest to the cursor's point at the plane's depth can
        // lie far from it along a guide that runs away from the viewer.
        const cVertex under = CurvePointAt(point, *guide);
        if (!Found(under))
            return;
        const double t = guide->GetParameterAtPoint({under.x, under.y, under.z});
        t3DPoint<double> at{}, tangent{};
        if (t != -FLT_MAX && std::isfinite(t) && guide->EvaluateInWorld(t, &at, &tangent, nullptr))
        {
            plane->MoveTo({float(at.x), float(at.y), float(at.z)});
            plane->SetNormal({float(tangent.x), float(tangent.y), float(tangent.z)});
            page->SetGuideParameter(t);
        }
    }
    page->UpdatePositionField();
    lastPlanePoint = WindowPointOnScreen(view->GetSafeHwnd(), point);
    Repaint(view);
}

BOOL CUIM_EditNetwork::OnMouseMove(POINT point, UINT flags, C3DView* view)
{
    if (operation != kNoOperation || !view)
        return CUIM_ScreenSelection::OnMouseMove(point, flags, view);
    FollowCurrentShape(view);
    if (drag.IsDragging())
    {
        // The button came up where this view could not see it: the drop
        // never arrives, so the drag ends as it began.
        if ((flags & MK_LBUTTON) == 0)
        {
            CancelNodeDrag();
            RequestLevel1Redraw(view);
            return 1;
        }
        DragNode(point, view);
        return 1;
    }
    if (planeDrag)
    {
        // The release happened where this view could not see it.
        if ((flags & MK_LBUTTON) == 0)
            EndPlaneDrag();
        else
        {
            DragSectionPlane(point, view);
            return 1;
        }
    }
    if (const POINT press = PressInView(view);
        subState == kNetworkModifyCurves && buttonDown && pressedCurve &&
        (std::abs(point.x - press.x) > kNetworkInsertDragPixels ||
         std::abs(point.y - press.y) > kNetworkInsertDragPixels))
    {
        const bool insert = pressKind == 1 && (flags & MK_LBUTTON) != 0;
        if (insert)
            InsertOnDrag(point, view);
        ClearPressState();
        if (drag.IsDragging())
            return 1;
    }
    if (subState == kNetworkAddCurve)
    {
        if (!drawn)
        {
            UpdateHover(point, view);
            snap.enabled = snapping;
            float x = 0.0f, y = 0.0f;
            ST_ISectionCurve* network = GetNetwork();
            I3DSceneRenderer* renderer = view->GetRenderer();
            if (network && renderer && CursorOnViewPlane(point, &x, &y))
            {
                // The point a click would add: on the mesh under the cursor,
                // else on the view plane.
                const cVertex onMesh = MeshPointAt(point);
                const float viewPoint[3] = {x, y, 0.0f};
                float world[3];
                if (Found(onMesh))
                    std::copy(onMesh.Position(), onMesh.Position() + 3, world);
                else
                    renderer->ViewToWorld(world, viewPoint);
                BeginCurveSnap(snap, network, false, world, PixelsToWorldLength(view, kNetworkSnapPixels), AltDown());
            }
        }
        else
            MoveDrawnPoint(point, view);
    }
    else
        UpdateHover(point, view);
    return CUIM_ScreenSelection::OnMouseMove(point, flags, view);
}

BOOL CUIM_EditNetwork::OnLButtonUp(POINT point, UINT flags, C3DView* view)
{
    if (operation != kNoOperation || !view)
        return CUIM_ScreenSelection::OnLButtonUp(point, flags, view);
    FollowCurrentShape(view);
    buttonDown = 0;
    if (subState == kNetworkModifyCurves || IsStrokeInProgress())
    {
        CUIM_ScreenSelection::OnLButtonUp(point, flags, view);
        ClearStroke();
    }
    const bool wasPlaneDrag = planeDrag != 0;
    planeDrag = 0;
    if (planeHover && wasPlaneDrag)
    {
        planeHover = 0;
        if (INetworkEditPage* page = Page())
            page->RecomputeSections();
    }
    if (drag.IsDragging())
    {
        // A node pressed to select it (for Delete, say) and released where
        // it was pressed is not moved: dropped, it would go to the mesh
        // point under the pixel, which lies off it in any view but the one
        // it was clicked in, and its curves would go to the end of the list.
        if (const POINT press = PressInView(view); dragFromNodePress && point.x == press.x && point.y == press.y)
            SelectPressedNode(view);
        else
            DropNodes(point, view);
    }
    dragFromNodePress = 0;
    if (view->GetSafeHwnd() && ::GetCapture() == view->GetSafeHwnd())
        ::ReleaseCapture();
    ClearPressState();
    return 1;
}

BOOL CUIM_EditNetwork::OnLButtonDblClk(POINT point, UINT flags, C3DView* view)
{
    ST_ISectionCurve* network = GetNetwork();
    if (!view || !network)
        return 0;
    if (subState == kNetworkAddCurve && drawn)
    {
        FinishDrawing(view, PixelsToWorldLength(view, kNetworkSnapPixels));
        return 1;
    }
    if (subState != kNetworkModifyCurves)
        return 0;
    ST_ISectionCurve* curve = nullptr;
    for (std::uint32_t i = 0; i < network->GetSegmentCount(); ++i)
        if (ST_ISectionCurve* c = network->GetSegment(i); c && c->selected)
            curve = c;
    if (!curve || curve->GetClassGuid() != CLSID_ST_TSplineCurve)
        return 1;
    const std::int32_t segment = SegmentAt(point, *curve);
    if (segment < 0)
        return 1;
    cVertex p = MeshPointAt(point);
    if (!Found(p))
        p = CurvePointAt(point, hoveredCurve && IsNetworkCurve(hoveredCurve) ? *hoveredCurve : *curve);
    if (!Found(p))
        return 1;
    if (INetworkEditPage* page = Page())
        page->PushUndoState();
    InsertNodeIntoCurve(network, *curve, p.Position(), segment, tangencyAngle);
    SelectCurveByPickId(-1, network, true);
    RequestLevel1Redraw(view);
    OnMouseMove(point, flags, view);
    return 1;
}
