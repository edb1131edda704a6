// The select tool of the profile editor: picking by the id image, point and
// whole-curve drags, spline point insertion, fitting from stroked section
// points, delete, undo and typed values.
#include "modes/profile_edit_mode.h"

#include "core/profiled_surface.h"
#include "core/section_curve.h"
#include "core/section_curve_classes.h"
#include "modes/mode_geometry.h"
#include "modes/mode_support.h"
#include "core/scene_object.h"
#include "modes/shapes_view.h"
#include "modes/shapes_view_owner.h"
#include "overlay/annotations.h"
#include "render/edit_drawing_gl.h"
#include "render/gl_renderer.h"
#include "render/host_geometry_gl.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{

constexpr int kInsertDragPixels = 5;

cVertex PointVertex(const float p[3])
{
    cVertex v;
    v.x = p[0];
    v.y = p[1];
    v.z = p[2];
    return v;
}

std::uint32_t IndexInSketch(ST_ISectionCurve* sketch, ST_ISectionCurve* curve)
{
    return sketch && curve ? sketch->IndexOfCurve(curve) : kSnapExceptNone;
}

// Whether the two curves' points (and control points) lie at the same
// places.
bool SameSketchPoints(ST_ISectionCurve& a, ST_ISectionCurve& b)
{
    for (const bool control : {false, true})
    {
        const tPolyline<cVertex>* p = SketchPointsOf(a, control);
        const tPolyline<cVertex>* q = SketchPointsOf(b, control);
        if (!p || !q)
        {
            if (p != q)
                return false;
            continue;
        }
        if (p->GetVertexCount() != q->GetVertexCount())
            return false;
        for (std::uint32_t i = 0; i < p->GetVertexCount(); ++i)
            if (std::memcmp(p->GetVertex(i)->Position(), q->GetVertex(i)->Position(), 3 * sizeof(float)) != 0)
                return false;
    }
    return true;
}

} // namespace

void CUIM_EditProfile::StoreDragStart(ST_ISectionCurve* curve, POINT press)
{
    dragStart.Clear();
    if (const tPolyline<cVertex>* points = curve ? SketchPointsOf(*curve, false) : nullptr)
        dragStart = *points;
    float local[3] = {0.0f, 0.0f, 0.0f};
    SketchPointAt(press, local);
    dragStart.AddVertex(PointVertex(local));
    pressPoint = press;
}

void CUIM_EditProfile::SelectToolDown(POINT point, UINT flags, C3DView* view)
{
    ST_ISectionCurve* sketch = GetActiveProfile();
    const bool useControl = panel && panel->UseControlPoints();
    // The view may have turned, zoomed or resized under a resting cursor
    // since the last move: what is taken is what lies under the cursor now.
    if (sketch && !HoverAt(point, view))
    {
        hovering = 0;
        hoverIndex = -1;
    }
    if (pickImageValid && hovering && sketch)
    {
        ClearSketchSelection(sketch);
        const stSketchPick pick = DecodeSketchPick(sketch, hoverIndex, useControl);
        if (pick.kind == stSketchPick::kCurve)
            pick.curve->selected = 1;
        if (pick.kind == stSketchPick::kPoint)
        {
            if (tPolyline<cVertex>* points = SketchPointsOf(*pick.curve, useControl))
                points->GetVertex(pick.pointIndex)->flags |= kSketchPointSelected;
            pick.curve->selected = 0;
            if (panel)
            {
                panel->PushUndoState();
                dragUndoStep = true;
            }
            dragCopy = pick.curve->Clone();
            dragCopy->Assign(*pick.curve);
            dragCurve = pick.curve;
            dragPointIndex = std::int32_t(pick.pointIndex);
            dragging = 1;
            StoreDragStart(pick.curve, point);
            ShowCurveValue(pick.curve);
        }
        else if (pick.kind == stSketchPick::kCurve)
        {
            if (pick.curve->GetClassGuid() == CLSID_ST_TSplineCurve && !useControl)
            {
                float local[3];
                const tPolyline<cVertex>* points = SketchPointsOf(*pick.curve, false);
                if (SketchPointAt(point, local) && points && points->GetVertexCount() > 1)
                {
                    insertPoint = PointVertex(local);
                    insertSpline = pick.curve;
                    insertSegment = NearestSketchSegment(*points, local);
                    insertPending = 1;
                    pressPoint = point;
                    pressScreenPoint = WindowPointOnScreen(view ? view->GetSafeHwnd() : nullptr, point);
                }
            }
            else
            {
                if (panel)
                {
                    panel->PushUndoState();
                    dragUndoStep = true;
                }
                dragCopy = pick.curve->Clone();
                dragCopy->Assign(*pick.curve);
                dragCurve = pick.curve;
                dragPointIndex = -1;
                dragging = 1;
                StoreDragStart(pick.curve, point);
                ShowCurveValue(pick.curve);
            }
        }
        Redraw(view);
    }
    else
    {
        if (panel)
            panel->SetDistanceRadiusField(-1.0, false);
        ClearSketchSelection(sketch);
        Redraw(view);
    }
    if (view && view->GetActiveMode() == this && !dragging)
        CUIM_ScreenSelection::OnLButtonDown(point, flags, view);
}

bool CUIM_EditProfile::HoverAt(POINT point, C3DView* view)
{
    ST_ISectionCurve* sketch = GetActiveProfile();
    auto* gl = view ? dynamic_cast<cGLRenderer*>(view->GetRenderer()) : nullptr;
    // A frame drawn since the pick image (a navigation step, a zoom
    // animation) or another pass has overwritten it: read as ids, its
    // colours would hover and drag points the cursor is nowhere near.
    if (!sketch || !gl ||
        !PickImageReadable(gl, pickImageValid, pickImageStamp, [this, view] { OnAfterFullRedraw(view); }))
        return false;
    const std::uint32_t id = ReadPickIdUnderCursor(*gl, point);
    hovering = id > 0 && DecodeSketchPick(sketch, std::int32_t(id - 1), panel && panel->UseControlPoints()).kind !=
                             stSketchPick::kNothing;
    hoverIndex = hovering ? std::int32_t(id - 1) : -1;
    return true;
}

void CUIM_EditProfile::SelectToolMove(POINT point, C3DView* view)
{
    ST_ISectionCurve* sketch = GetActiveProfile();
    // How far the cursor went from the press is measured on the screen: a
    // dialog maximised or moved under a still cursor moves the view's pixels
    // under it, and that shift was taken as a drag that put in a point.
    const POINT press = ScreenPointInWindow(view ? view->GetSafeHwnd() : nullptr, pressScreenPoint);
    if (insertPending && insertSpline &&
        (std::abs(point.x - press.x) > kInsertDragPixels || std::abs(point.y - press.y) > kInsertDragPixels))
    {
        insertPending = 0;
        if (panel)
            panel->PushUndoState();
        std::unique_ptr<ST_ISectionCurve> before = insertSpline->Clone();
        if (before)
            before->Assign(*insertSpline);
        const std::int32_t inserted = InsertSketchSplinePoint(*insertSpline, insertSegment, insertPoint.Position());
        if (inserted >= 0)
        {
            splineBeforeInsertion = std::move(before);
            // The stroke the press began is not a selection any more.
            ClearStroke();
            strokeInProgress = 0;
            dragCopy = insertSpline->Clone();
            dragCopy->Assign(*insertSpline);
            dragCurve = insertSpline;
            dragPointIndex = inserted;
            dragging = 1;
            StoreDragStart(insertSpline, pressPoint);
        }
        insertSpline = nullptr;
    }
    if (!dragging)
    {
        const std::uint8_t wasHovering = hovering;
        if (!HoverAt(point, view))
            return;
        if (hovering != wasHovering)
        {
            SendMessageW(view->GetSafeHwnd(), WM_SETCURSOR, WPARAM(view->GetSafeHwnd()), MAKELPARAM(HTCLIENT, 0));
            ::InvalidateRect(view->GetSafeHwnd(), nullptr, FALSE);
        }
        return;
    }
    if (!dragCopy || !dragCurve || !sketch)
        return;
    if (dragPointIndex < 0)
    {
        DragCurve(point, view);
        return;
    }
    // A point drag: of a control point while the page shows them, which
    // reshapes the spline, else of a point the curve is built through.
    float cursor[3];
    if (!SketchPointAt(point, cursor))
        return;
    const tPolyline<cVertex>* copyPoints = SketchPointsOf(*dragCopy, false);
    const tPolyline<cVertex>* grabbed = SketchPointsOf(*dragCurve, panel && panel->UseControlPoints());
    const bool controlDrag = grabbed && grabbed != SketchPointsOf(*dragCurve, false);
    if (!copyPoints || !grabbed || std::uint32_t(dragPointIndex) >= grabbed->GetVertexCount())
        return;
    tPolyline<cVertex> moved(controlDrag ? *grabbed : *copyPoints);
    const bool isArc = dragCopy->GetClassGuid() == CLSID_ST_TArcCurve;
    const bool isLine = dragCopy->GetClassGuid() == CLSID_ST_TLineCurve;
    const bool active = IsSnapActiveNow();
    const bool ctrl = ::GetAsyncKeyState(VK_CONTROL) < 0;
    wchar_t text[32] = {0};
    float at[3];
    // Whether the value shown was put on a step: only then does the label
    // show it with the step's decimals.
    bool stepped = false;
    if (isArc && dragPointIndex == 1)
    {
        std::copy(cursor, cursor + 3, at);
        if (active && moved.GetVertexCount() == 3)
            stepped = StepArcRadius(moved.GetVertex(0)->Position(), at, moved.GetVertex(2)->Position());
        moved.GetVertex(1)->x = at[0];
        moved.GetVertex(1)->y = at[1];
        moved.GetVertex(1)->z = 0.0f;
    }
    else
    {
        SnapCursor(cursor, kSnapExceptNone, false, false, at);
        if (isLine && moved.GetVertexCount() == 2)
        {
            const float* other = moved.GetVertex(dragPointIndex == 0 ? 1 : 0)->Position();
            if (active && !ctrl && ShouldStepLineLength(snap, other))
                stepped = StepLineLength(other, at, DistanceStep());
            else if (active && ctrl)
            {
                float direction[3];
                stepped = StepLineAngle(other, at, AngleStepDegrees(), direction);
                if (stepped)
                    snap.kind = kSketchSnapNone;
            }
        }
        cVertex& target = *moved.GetVertex(std::uint32_t(dragPointIndex));
        target.x = at[0];
        target.y = at[1];
        target.z = 0.0f;
    }
    if (controlDrag)
        MoveSplineControlPoint(*dragCopy, std::uint32_t(dragPointIndex), moved.GetVertex(dragPointIndex)->Position());
    else
        RebuildSketchCurve(*dragCopy, moved);
    if (isLine && shapesView)
    {
        auto* vertical = shapesView->GetImageAnnotation(0);
        auto* horizontal = shapesView->GetImageAnnotation(1);
        if (vertical)
        {
            vertical->SetMarginLTRB(point.x - 15, point.y, 0, 0);
            vertical->SetVisible(dragCopy->IsVertical() ? TRUE : FALSE);
        }
        if (horizontal)
        {
            horizontal->SetMarginLTRB(point.x, point.y - 15, 0, 0);
            horizontal->SetVisible(dragCopy->IsHorizontal() ? TRUE : FALSE);
        }
        const tPolyline<cVertex>& p = *SketchPointsOf(*dragCopy, false);
        if (p.GetVertexCount() == 2)
        {
            if (active && !ctrl)
                FormatAngleLabel(text, stepped ? SketchStepDecimals(panel ? panel->GetSnapDistanceIndex() : 0) : -1,
                                 PointDistance(p.GetVertex(0)->Position(), p.GetVertex(1)->Position()), true,
                                 DistanceStep(), panel ? panel->UnitText() : L"");
            else
                FormatAngleLabel(text, stepped ? SketchStepDecimals(panel ? panel->GetSnapAngleIndex() : 0) : -1,
                                 FoldedLineAngle(p.GetVertex(0)->Position(), p.GetVertex(1)->Position()), false,
                                 active ? AngleStepDegrees() : 0.0, nullptr);
            ShowValueLabel(point, text);
        }
    }
    else if (isArc)
    {
        FormatRadiusLabel(text, stepped ? SketchStepDecimals(panel ? panel->GetSnapDistanceIndex() : 0) : -1,
                          SketchCurveValue(*dragCopy, nullptr), active ? DistanceStep() : 0.0);
        ShowValueLabel(point, text);
    }
    ShowCurveValue(dragCopy.get());
    ::InvalidateRect(view->GetSafeHwnd(), nullptr, FALSE);
}

void CUIM_EditProfile::DragCurve(POINT point, C3DView* view)
{
    float cursor[3];
    if (dragStart.GetVertexCount() < 2 || !SketchPointAt(point, cursor))
        return;
    const cVertex& press = *dragStart.GetLastVertex();
    const float shift[2] = {cursor[0] - press.x, cursor[1] - press.y};
    tPolyline<cVertex> moved;
    for (std::uint32_t i = 0; i + 1 < dragStart.GetVertexCount(); ++i)
    {
        cVertex v = *dragStart.GetVertex(i);
        v.x += shift[0];
        v.y += shift[1];
        moved.AddVertex(v);
    }
    // The first point that lands near another curve's point pulls the whole
    // copy onto it.
    ST_ISectionCurve* sketch = GetActiveProfile();
    const std::uint32_t except = IndexInSketch(sketch, dragCurve);
    for (cVertex& v : moved.vertices)
    {
        float snapped[3];
        if (SnapCursor(v.Position(), except, false, true, snapped))
        {
            const float dx = snapped[0] - v.x;
            const float dy = snapped[1] - v.y;
            for (cVertex& w : moved.vertices)
            {
                w.x += dx;
                w.y += dy;
            }
            break;
        }
    }
    RebuildSketchCurve(*dragCopy, moved);
    ShowCurveValue(dragCopy.get());
    ::InvalidateRect(view->GetSafeHwnd(), nullptr, FALSE);
}

bool CUIM_EditProfile::EndDrag(C3DView* view)
{
    ST_ISectionCurve* sketch = GetActiveProfile();
    dragging = 0;
    splineBeforeInsertion.reset();
    if (!sketch || !dragCopy || !dragCurve || sketch->IndexOfCurve(dragCurve) == 0xFFFFFFFFu)
    {
        dragUndoStep = false;
        dragCopy.reset();
        dragCurve = nullptr;
        return false;
    }
    // Released where nothing moved: the drag's undo state would give back
    // the sketch as it is.
    if (dragUndoStep && panel && SameSketchPoints(*dragCopy, *dragCurve))
        panel->PopUndoState();
    dragUndoStep = false;
    std::unique_ptr<ST_ISectionCurve> replacement = dragCopy->Clone();
    replacement->Assign(*dragCopy);
    if (tPolyline<cVertex>* points = SketchPointsOf(*replacement, panel && panel->UseControlPoints()))
        for (std::uint32_t i = 0; i < points->GetVertexCount(); ++i)
        {
            cVertex& v = *points->GetVertex(i);
            if (std::int32_t(i) == dragPointIndex)
                v.flags |= kSketchPointSelected;
            else
                v.flags &= ~kSketchPointSelected;
        }
    replacement->selected = dragPointIndex < 0 ? 1 : 0;
    sketch->RemoveCurve(dragCurve);
    const std::uint32_t last = sketch->AddCurve(replacement.release());
    // The dropped curve comes last and the points after its old place are
    // numbered anew: what lies under the cursor is what was just dropped,
    // which a press before the next move takes again.
    const bool useControl = panel && panel->UseControlPoints();
    std::uint32_t before = 0;
    for (std::uint32_t i = 0; i < last && i < sketch->GetSegmentCount(); ++i)
        if (ST_ISectionCurve* curve = sketch->GetSegment(i))
            if (const tPolyline<cVertex>* points = SketchPointsOf(*curve, useControl))
                before += points->GetVertexCount();
    hoverIndex = dragPointIndex < 0 ? std::int32_t(kSketchCurvePickBase + last) : std::int32_t(before + dragPointIndex);
    hovering = last < sketch->GetSegmentCount() &&
               DecodeSketchPick(sketch, hoverIndex, useControl).kind != stSketchPick::kNothing;
    if (!hovering)
        hoverIndex = -1;
    dragCopy.reset();
    dragCurve = nullptr;
    dragPointIndex = -1;
    dragStart.Clear();
    MarkOpenSketchEnds(sketch);
    HideSketchAnnotations();
    snap.ClearReference();
    Redraw(view);
    if (panel)
        panel->NotifyProfileChanged();
    return true;
}

void CUIM_EditProfile::DeleteSelection(C3DView* view)
{
    ST_ISectionCurve* sketch = GetActiveProfile();
    const bool useControl = panel && panel->UseControlPoints();
    // Only an edit that will change something is worth an undo state.
    if (!sketch || !HasSketchSelection(sketch, useControl))
        return;
    // Curves go: the mode lets go of them first.
    AbandonElement();
    ForgetSketch();
    if (panel)
        panel->PushUndoState();
    if (DeleteSketchSelection(sketch, useControl))
    {
        Redraw(view);
        if (panel)
            panel->NotifyProfileChanged();
    }
    // The field showed the length of what went: a value typed there would
    // change nothing.
    ShowTargetValue();
}

void CUIM_EditProfile::ShowTargetValue()
{
    ST_ISectionCurve* sketch = GetActiveProfile();
    ShowCurveValue(sketch && panel ? FindSketchValueTarget(sketch, panel->UseControlPoints()) : nullptr);
}

void CUIM_EditProfile::UndoLastEdit(C3DView* view)
{
    ST_IProfiledSurface* surface = GetProfiledSurface();
    ST_ISectionCurve* current = GetActiveProfile();
    if (!panel || !surface)
        return;
    std::unique_ptr<ST_ISectionCurve> saved = panel->PopUndoState();
    if (!saved)
        return;
    // The sketch keeps the frame it has now and its curves come back as
    // saved, each in its own frame: a refit moves the sketch's frame but
    // leaves the drawn curves where they are, so laying them into its frame
    // would move curves the undone edit never touched.
    if (current)
        std::copy(current->frame, current->frame + 12, saved->frame);
    // The state taken is the one an element being drawn or a drag saved, if
    // any.
    elementUndoStep = false;
    dragUndoStep = false;
    // The sketch goes with its curves.
    ForgetSketch();
    const bool installedHere = current && current == installedSketch && surface == installedOn;
    surface->SetProfile(saved.get(), 0);
    // The sketch given back stands in for the fitted profile as the one it
    // replaces did: undone down to no curve, the visit has drawn nothing.
    if (installedHere)
        installedSketch = surface->GetProfileCurve();
    MarkOpenSketchEnds(GetActiveProfile());
    // The field shows what the sketch given back has selected, not the
    // element the undone edit made.
    ShowTargetValue();
    Redraw(view);
    panel->NotifyProfileChanged();
}

void CUIM_EditProfile::ApplyValue(C3DView* view, bool focusView)
{
    ST_ISectionCurve* sketch = GetActiveProfile();
    if (!panel || !sketch)
        return;
    const double value = panel->GetDistanceRadiusValue();
    const bool useControl = panel->UseControlPoints();
    ST_ISectionCurve* target = FindSketchValueTarget(sketch, useControl);
    const bool usable = std::isfinite(value) && value > FLT_EPSILON;
    const bool mayChange = target && usable;
    if (mayChange)
        panel->PushUndoState();
    double shown = -1.0;
    const SketchValueResult result = ApplySketchValue(sketch, value, &shown, useControl);
    // A value that changed nothing leaves no undo step behind.
    if (mayChange && result != SketchValueResult::kApplied)
        panel->PopUndoState();
    if (result == SketchValueResult::kRefused)
        panel->SetDistanceRadiusField(shown, false);
    else if (target && !usable)
    {
        // No positive number was typed: the field shows the element's own
        // length or radius again, the one that stays in use.
        bool isDistance = false;
        const double current = SketchCurveValue(*target, &isDistance);
        panel->SetDistanceRadiusField(current, isDistance);
    }
    if (result == SketchValueResult::kApplied)
        panel->NotifyProfileChanged();
    Redraw(view);
    if (focusView && view && view->GetSafeHwnd())
        ::SetFocus(view->GetSafeHwnd());
}

void CUIM_EditProfile::InsertSplinePointAtClick(POINT point, C3DView* view)
{
    ST_ISectionCurve* sketch = GetActiveProfile();
    if (!sketch)
        return;
    float local[3];
    if (!SketchPointAt(point, local))
        return;
    for (std::uint32_t i = 0; i < sketch->GetSegmentCount(); ++i)
    {
        ST_ISectionCurve* curve = sketch->GetSegment(i);
        if (!curve || !curve->selected || curve->GetClassGuid() != CLSID_ST_TSplineCurve)
            continue;
        const tPolyline<cVertex>* points = SketchPointsOf(*curve, false);
        if (!points)
            continue;
        if (panel)
            panel->PushUndoState();
        InsertSketchSplinePoint(*curve, NearestSketchSegment(*points, local), local);
        Redraw(view);
        OnMouseMove(point, 0, view);
        return;
    }
}

void CUIM_EditProfile::FitElementToSectionPoints()
{
    ST_ISectionCurve* sketch = GetActiveProfile();
    if (!sketch)
        return;
    if (!SelectPointsInStroke(sketch->sections))
        return;
    const double minExtent = 2.5 * SnapTolerance();
    stFittedSketchElement fitted;
    if (FitSketchElementToSelection(sketch->sections, sketch->frame, minExtent, fitted))
    {
        BeginElement(fitted.isArc ? CLSID_ST_TArcCurve : CLSID_ST_TLineCurve);
        if (element)
        {
            elementPoints.Clear();
            for (int i = 0; i < (fitted.isArc ? 3 : 2); ++i)
            {
                const double* p = fitted.points[fitted.isArc ? i : (i == 0 ? 0 : 1)];
                const float local[3] = {float(p[0]), float(p[1]), 0.0f};
                elementPoints.AddVertex(PointVertex(local));
            }
            if (RebuildElement())
                CommitElement();
            else
                DiscardElement();
        }
    }
    // A stroke that fitted nothing left the sketch as it was: telling the
    // shape would rebuild it from a sketch that may still be empty (the tab
    // starts one in place of the fitted profile), and its surface would
    // vanish for a stroke that changed nothing.
    Redraw(shapesView);
}

void CUIM_EditProfile::OnAfterFullRedraw(C3DView* view)
{
    auto* gl = view ? dynamic_cast<cGLRenderer*>(view->GetRenderer()) : nullptr;
    ST_ISectionCurve* sketch = GetActiveProfile();
    if (!gl || !sketch)
    {
        pickImageValid = 0;
        return;
    }
    gl->MakeCurrent();
    if (!gl->IsCurrent())
    {
        pickImageValid = 0;
        return;
    }
    const bool useControl = panel && panel->UseControlPoints();
    stDrawnCurveCollection collection;
    std::copy(sketch->frame, sketch->frame + 12, collection.frame);
    std::uint32_t numbered = 0;
    for (std::uint32_t i = 0; i < sketch->GetSegmentCount(); ++i)
    {
        ST_ISectionCurve* curve = sketch->GetSegment(i);
        stDrawnCurve drawn;
        if (curve)
        {
            drawn.wire = curve->GetWire();
            const tPolyline<cVertex>* points = SketchPointsOf(*curve, useControl);
            const std::uint32_t n = points ? points->GetVertexCount() : 0;
            // Points past the id range would read as curves: they stay unpickable.
            if (points && numbered + n < kSketchCurvePickBase)
            {
                if (useControl && curve->GetControlPoints())
                    drawn.controlPolygon = points;
                else
                    drawn.points = points;
                numbered += n;
            }
            else
                numbered = kSketchCurvePickBase;
        }
        collection.curves.push_back(drawn);
    }
    GLint drawBuffer = GL_BACK;
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
    glDrawBuffer(GL_BACK);
    pickImageStamp = gl->StampBackBuffer();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    cGeometriesGLRenderer drawer(gl);
    // The drawer applies the view transform itself: pushed here as well,
    // the ids landed away from the sketch in any view but the top one.
    DrawCurvesWithHandlesIdColoured(&drawer, &collection, useControl);
    glPopAttrib();
    glDrawBuffer(GLenum(drawBuffer));
    glFinish();
    glReadBuffer(GL_BACK);
    pickImageValid = 1;
}
