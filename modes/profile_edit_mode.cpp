#include "modes/profile_edit_mode.h"

#include "core/frame_math.h"
#include "core/profiled_surface.h"
#include "core/section_curve.h"
#include "core/section_curve_classes.h"
#include "core/wire.h"
#include "fitting/tangent_arc.h"
#include "modes/mode_support.h"
#include "core/scene_object.h"
#include "modes/shapes_view.h"
#include "modes/shapes_view_owner.h"
#include "overlay/annotations.h"
#include "platform/mfc/menu.h"
#include "render/edit_drawing_gl.h"
#include "render/gl_renderer.h"
#include "render/gl_widgets.h"
#include "render/host_geometry_gl.h"
#include "resources/profile_edit.h"
#include "shapes/host_surface.h"
#include "shapes/shape_interfaces.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr UINT kCmdUpdateStatus = 32812;
constexpr UINT kCmdRemoveLast = 32814;
constexpr UINT kCmdFinish = 32815;
constexpr UINT kCmdRestartDrawing = 32816;
constexpr UINT kCmdAddLine = 32821;
constexpr UINT kCmdAddArc = 32822;
constexpr UINT kCmdSnapOn = 32823;
constexpr UINT kCmdSnapOff = 32824;
constexpr UINT kCmdSelectMode = 32825;
constexpr UINT kCmdAddCurve = 32826;
constexpr UINT kCmdAddTangentArc = 32827;
constexpr UINT kCmdNewShapeProfile = 32867;
constexpr UINT kCmdTransferProfile = 32868;
constexpr UINT kCmdApplyValue = 32878;
constexpr UINT kCmdDeleteSelection = 40005;
constexpr UINT kCmdUndoSketch = 40009;

constexpr std::uint32_t kMenuIcons[10] = {kCmdSelectMode, 3052, kCmdAddLine, 3047, kCmdAddTangentArc, 3048,
                                          kCmdAddArc,     3049, kCmdAddCurve, 3053};

// Merged free-form points and the open-end search.
constexpr double kSamePointTolerance = 1e-5;

bool IsKeyDown(int vk)
{
    return ::GetAsyncKeyState(vk) < 0;
}

void Invalidate(C3DView* view)
{
    if (view && view->GetSafeHwnd())
        ::InvalidateRect(view->GetSafeHwnd(), nullptr, FALSE);
}

void SendSetCursorTo(C3DView* view)
{
    if (view && view->GetSafeHwnd())
        ::SendMessageW(view->GetSafeHwnd(), WM_SETCURSOR, WPARAM(view->GetSafeHwnd()), MAKELPARAM(HTCLIENT, 0));
}

cVertex Vertex(const float p[3])
{
    cVertex v;
    v.x = p[0];
    v.y = p[1];
    v.z = p[2];
    return v;
}

} // namespace

bool ScreenToSketchPoint(C3DView* view, POINT point, const double f[12], float local[3])
{
    I3DSceneRenderer* renderer = view ? view->GetRenderer() : nullptr;
    if (!renderer)
        return false;
    float x = 0.0f, y = 0.0f;
    renderer->ScreenToWorld(point, &x, &y);
    const float nearPoint[3] = {x, y, 0.0f};
    const float farPoint[3] = {x, y, 1.0f};
    float a[3], b[3];
    renderer->ViewToWorld(a, nearPoint);
    renderer->ViewToWorld(b, farPoint);
    const double n[3] = {f[2], f[6], f[10]};
    const double d[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double denominator = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
    if (std::fabs(denominator) < 1e-12)
        return false;
    const double w[3] = {f[3] - a[0], f[7] - a[1], f[11] - a[2]};
    const double s = (n[0] * w[0] + n[1] * w[1] + n[2] * w[2]) / denominator;
    // A plane seen almost edge-on meets the ray far beyond anything the view
    // draws (a million kilometres out): no point of the sketch is under the
    // cursor there. The ray runs along the eye's depth from depth 0 at a.
    if (auto* gl = dynamic_cast<cGLRenderer*>(renderer))
    {
        const double depth = s + gl->GetSceneCentre()[2];
        if (!(depth >= -double(gl->GetOrthoFar()) && depth <= -double(gl->GetOrthoNear())))
            return false;
    }
    const double p[3] = {a[0] + s * d[0] - f[3], a[1] + s * d[1] - f[7], a[2] + s * d[2] - f[11]};
    for (int c = 0; c < 2; ++c)
        local[c] = static_cast<float>(f[c] * p[0] + f[4 + c] * p[1] + f[8 + c] * p[2]);
    local[2] = 0.0f;
    return std::isfinite(local[0]) && std::isfinite(local[1]);
}

bool SketchToScreenPoint(C3DView* view, const double f[12], const float local[3], POINT* point)
{
    I3DSceneRenderer* renderer = view ? view->GetRenderer() : nullptr;
    if (!renderer || !point)
        return false;
    float world[3];
    for (int r = 0; r < 3; ++r)
        world[r] = static_cast<float>(f[4 * r] * local[0] + f[4 * r + 1] * local[1] + f[4 * r + 2] * local[2] +
                                      f[4 * r + 3]);
    float projected[3];
    renderer->ProjectPoint(projected, world, true);
    renderer->WorldToScreen(projected[0], projected[1], point);
    return true;
}

bool FaceSketchPlane(C3DView* view, const double f[12])
{
    cBase3DRenderer* camera = view ? view->GetCamera() : nullptr;
    if (!camera || !view->GetScene())
        return false;
    auto unit = [](double v[3]) {
        const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (!(length > 1e-12) || !std::isfinite(length))
            return false;
        for (int i = 0; i < 3; ++i)
            v[i] /= length;
        return true;
    };
    double x[3] = {f[0], f[4], f[8]}, z[3] = {f[2], f[6], f[10]};
    if (!unit(z))
        return false;
    const double* t = camera->GetViewTransform();
    if (std::fabs(t[8] * z[0] + t[9] * z[1] + t[10] * z[2]) > 1.0 - 1e-6)
        return false;
    // A frame that is not quite orthonormal still gives a rigid view.
    const double along = x[0] * z[0] + x[1] * z[1] + x[2] * z[2];
    for (int i = 0; i < 3; ++i)
        x[i] -= along * z[i];
    if (!unit(x))
        return false;
    double y[3] = {z[1] * x[2] - z[2] * x[1], z[2] * x[0] - z[0] * x[2], z[0] * x[1] - z[1] * x[0]};
    // Half a turn about the normal keeps the sketch's lines horizontal and
    // vertical on screen; it is taken when the sketch's y runs down the
    // world, so that the part stands upright.
    if (y[2] < -1e-9)
        for (int i = 0; i < 3; ++i)
        {
            x[i] = -x[i];
            y[i] = -y[i];
        }
    const double m[12] = {x[0], x[1], x[2], 0.0, y[0], y[1], y[2], 0.0, z[0], z[1], z[2], 0.0};
    camera->SetViewTransformAndZoomExtents(m, view->GetScene(), nullptr);
    view->ApplyProjection();
    view->RequestRedraw(0);
    return true;
}

CUIM_EditProfile::CUIM_EditProfile(std::uint32_t id, std::uint32_t temporary, cCPView* view,
                                   IProfileEditPanel* editPanel)
    : CUIM_ScreenSelection(id, temporary, view), shapesView(view), panel(editPanel)
{
    tool = kToolFreeHandFilled;
    // The dialog shows the sketch from the top, which sees a revolved
    // profile's meridian plane (or a sideways extrusion's) edge-on: nothing
    // could be seen or clicked in it.
    if (ST_ISectionCurve* sketch = InstallSketch())
        FaceSketchPlane(view, sketch->frame);
    if (panel)
    {
        panel->ClearUndoStates();
        // The field showed an element of the editor before, perhaps of
        // another shape: a value typed into it, applied as the focus left
        // it, would change this shape's selected element.
        panel->SetDistanceRadiusField(-1.0, false);
        panel->ShowTool(kProfileToolSelect);
    }
}

CUIM_EditProfile::~CUIM_EditProfile()
{
    // Popped from the view, the editor has ended already; by then another
    // shape may be current.
    if (!ended)
        EndEditing();
}

BOOL CUIM_EditProfile::OnDeactivate(C3DView* view)
{
    EndEditing();
    return CUIM_ScreenSelection::OnDeactivate(view);
}

void CUIM_EditProfile::EndEditing()
{
    ended = true;
    AbandonElement();
    // Another shape made current or another tab during a drag that inserted
    // a spline point: the drag is dropped, and the point with it.
    ST_ISectionCurve* sketch = GetActiveProfile();
    if (dragging && splineBeforeInsertion && dragCurve && sketch && sketch->IndexOfCurve(dragCurve) != 0xFFFFFFFFu)
    {
        const std::uint8_t selected = dragCurve->selected;
        dragCurve->Assign(*splineBeforeInsertion);
        dragCurve->selected = selected;
    }
    ForgetSketch();
    if (ST_ISectionCurve* sketch = GetActiveProfile())
        for (std::uint32_t i = 0; i < sketch->GetSegmentCount(); ++i)
            if (ST_ISectionCurve* curve = sketch->GetSegment(i))
                curve->selected = 0;
    RestoreUntouchedProfile();
}

ST_ISectionCurve* CUIM_EditProfile::InstallSketch()
{
    ST_IProfiledSurface* surface = GetProfiledSurface();
    if (!surface)
        return nullptr;
    ST_ISectionCurve* profile = surface->GetProfileCurve();
    if (profile && profile->GetClassGuid() == CLSID_ST_TSketch)
        return profile;
    std::unique_ptr<ST_ISectionCurve> sketch = surface->CreateCurveByClassGuid(CLSID_ST_TSketch);
    if (!sketch)
        return profile;
    static const double kIdentity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    if (profile)
        sketch->RebuildWire(profile->frame, profile->sections, 0.0f, nullptr);
    else
        std::copy(kIdentity, kIdentity + 12, sketch->frame);
    std::unique_ptr<ST_ISectionCurve> replaced = profile ? profile->Clone() : nullptr;
    if (replaced)
        replaced->Assign(*profile);
    if (!surface->SetProfile(sketch.get(), 0))
        return profile;
    replacedProfile = std::move(replaced);
    installedSketch = surface->GetProfileCurve();
    installedOn = surface;
    return installedSketch;
}

bool CUIM_EditProfile::HoldsUntouchedSketch() const
{
    ST_IProfiledSurface* surface = GetProfiledSurface();
    return replacedProfile && surface && surface == installedOn && surface->GetProfileCurve() == installedSketch &&
           installedSketch->GetSegmentCount() == 0;
}

void CUIM_EditProfile::ShowSketchAsKeptForWrite(bool writing)
{
    for (stTangentAnchor& anchor : anchors)
    {
        if (!element || !anchor.curve || anchor.original.GetVertexCount() == 0)
            continue;
        if (writing)
        {
            const tPolyline<cVertex>* points = SketchPointsOf(*anchor.curve, false);
            if (!points)
                continue;
            tPolyline<cVertex> trimmed(*points);
            if (RebuildSketchCurve(*anchor.curve, anchor.original))
                anchor.trimmedForWrite = std::move(trimmed);
        }
        else if (anchor.trimmedForWrite.GetVertexCount() > 0)
        {
            RebuildSketchCurve(*anchor.curve, anchor.trimmedForWrite);
            anchor.trimmedForWrite.Clear();
        }
    }
    ST_IProfiledSurface* surface = GetProfiledSurface();
    if (writing && !sketchOutForWrite && HoldsUntouchedSketch())
    {
        sketchOutForWrite = installedSketch->Clone();
        if (!sketchOutForWrite)
            return;
        sketchOutForWrite->Assign(*installedSketch);
        if (!surface->SetProfile(replacedProfile.get(), 0))
            sketchOutForWrite.reset();
        return;
    }
    if (writing || !sketchOutForWrite)
        return;
    if (surface && surface == installedOn && surface->SetProfile(sketchOutForWrite.get(), 0))
    {
        installedSketch = surface->GetProfileCurve();
        // The pick image numbered the points of the sketch object that went.
        pickImageValid = 0;
    }
    sketchOutForWrite.reset();
}

void CUIM_EditProfile::SketchReplaced(const ST_ISectionCurve* old)
{
    ST_IProfiledSurface* surface = GetProfiledSurface();
    if (old && old == installedSketch && surface && surface == installedOn)
        installedSketch = surface->GetProfileCurve();
}

void CUIM_EditProfile::RestoreUntouchedProfile()
{
    // The shape's surface was made from the profile the sketch replaced. A
    // visit that drew nothing gives that profile back: left in place, the
    // empty sketch would show no profile on the Shape tab, and a rebuild or
    // the saved session would know nothing of the fitted one. Only the
    // current shape is touched, and only while it still holds the sketch
    // installed here.
    // The surface is built from it again when an edit undone down to the
    // empty sketch built it from that sketch, which makes none.
    if (HoldsUntouchedSketch())
    {
        ISceneObject* object = shapesView->QueryCurrentObjectInterface();
        auto* host = static_cast<ON_ISurface*>(object->QueryInterface(IID_ON_ISurface));
        const ON_SimpleArray<ON_Brep*>* breps = host ? host->GetBreps() : nullptr;
        GetProfiledSurface()->SetProfile(replacedProfile.get(), breps && breps->Count() > 0 ? 0 : 1);
    }
    replacedProfile.reset();
    installedSketch = nullptr;
    installedOn = nullptr;
}

void CUIM_EditProfile::ForgetSketch()
{
    DiscardElement();
    // A drag dropped before its release changed nothing of the sketch.
    if (dragging && dragUndoStep && panel)
        panel->PopUndoState();
    dragUndoStep = false;
    insertPending = 0;
    insertSpline = nullptr;
    insertSegment = -1;
    dragging = 0;
    dragCopy.reset();
    splineBeforeInsertion.reset();
    dragCurve = nullptr;
    dragPointIndex = -1;
    dragStart.Clear();
    hoverIndex = -1;
    hovering = 0;
    // The pick image numbers the old sketch's points and curves.
    pickImageValid = 0;
    snap.Reset();
    snap.ClearReference();
    HideSketchAnnotations();
}

void CUIM_EditProfile::MoveWithShapes(const double m[12])
{
    // Their points are the sketch's local ones: only their frames move.
    for (ST_ISectionCurve* held : {element.get(), dragCopy.get(), replacedProfile.get()})
        if (held)
            held->Transform(m);
}

void CUIM_EditProfile::AbandonElement()
{
    for (stTangentAnchor& anchor : anchors)
        if (element && anchor.curve && anchor.original.GetVertexCount() > 0)
            RebuildSketchCurve(*anchor.curve, anchor.original);
    DiscardElement();
}

bool CUIM_EditProfile::StepArcRadius(const float start[3], float middle[3], const float end[3])
{
    // The points are the sketch's own: the radius snap works in that space
    // and answers in it, so its frame is the identity.
    static const double kIdentity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    snap.enabled = snapping;
    if (!SnapArcRadius(snap, kIdentity, start, middle, end, DistanceStep()))
        return false;
    middle[0] = snap.point.x;
    middle[1] = snap.point.y;
    middle[2] = 0.0f;
    return true;
}

ST_IProfiledSurface* CUIM_EditProfile::GetProfiledSurface() const
{
    ISceneObject* object = shapesView ? shapesView->QueryCurrentObjectInterface() : nullptr;
    return object ? static_cast<ST_IProfiledSurface*>(object->QueryInterface(IID_ST_IProfiledSurface)) : nullptr;
}

ST_ISectionCurve* CUIM_EditProfile::GetActiveProfile() const
{
    ST_IProfiledSurface* surface = GetProfiledSurface();
    return surface ? surface->GetProfileCurve() : nullptr;
}

double CUIM_EditProfile::SnapTolerance() const
{
    return shapesView ? PixelsToWorldLength(shapesView, kPointBrushHalfSize) : 0.0;
}

bool CUIM_EditProfile::IsSnapActiveNow() const
{
    return IsSnapActive(snapping, 0);
}

double CUIM_EditProfile::DistanceStep() const
{
    return SketchDistanceStep(panel ? panel->GetSnapDistanceIndex() : 0);
}

double CUIM_EditProfile::AngleStepDegrees() const
{
    return SketchAngleStepDegrees(panel ? panel->GetSnapAngleIndex() : 0);
}

bool CUIM_EditProfile::SketchPointAt(POINT point, float local[3]) const
{
    ST_ISectionCurve* sketch = GetActiveProfile();
    return sketch && ScreenToSketchPoint(shapesView, point, sketch->frame, local);
}

bool CUIM_EditProfile::SnapCursor(const float local[3], std::uint32_t exceptIndex, bool force, bool pointsOnly,
                                  float out[3])
{
    snap.enabled = snapping;
    const bool useControl = panel && panel->UseControlPoints();
    std::copy(local, local + 3, out);
    if (!SnapSketchPoint(snap, GetActiveProfile(), exceptIndex, useControl, local, SnapTolerance(), force, pointsOnly))
        return false;
    out[0] = snap.result.x;
    out[1] = snap.result.y;
    out[2] = 0.0f;
    return true;
}

void CUIM_EditProfile::Redraw(C3DView* view)
{
    if (view)
        view->RequestRedraw(0);
}

void CUIM_EditProfile::ShowValueLabel(POINT point, const wchar_t* text)
{
    if (!shapesView)
        return;
    if (auto* label = shapesView->GetLabelAnnotation(0))
    {
        label->GetLabel()->SetText(text);
        label->SetMarginLTRB(point.x + 35, point.y - 30, 0, 0);
        label->SetVisible(TRUE);
    }
}

void CUIM_EditProfile::HideSketchAnnotations()
{
    if (!shapesView)
        return;
    for (int i = 0; i < 2; ++i)
        if (auto* image = shapesView->GetImageAnnotation(i))
            image->SetVisible(FALSE);
    if (auto* label = shapesView->GetLabelAnnotation(0))
        label->SetVisible(FALSE);
}

void CUIM_EditProfile::ShowCurveValue(ST_ISectionCurve* curve)
{
    if (!panel)
        return;
    bool isDistance = false;
    const double value = curve ? SketchCurveValue(*curve, &isDistance) : -1.0;
    panel->SetDistanceRadiusField(value, isDistance);
}

void CUIM_EditProfile::BeginElement(const GUID& classId)
{
    DiscardElement();
    if (panel)
    {
        panel->PushUndoState();
        elementUndoStep = true;
    }
    ST_IProfiledSurface* surface = GetProfiledSurface();
    ST_ISectionCurve* sketch = GetActiveProfile();
    if (surface && sketch)
        element = surface->CreateCurveByClassGuid(classId);
    if (!element)
    {
        DiscardElement();
        return;
    }
    std::copy(sketch->frame, sketch->frame + 12, element->frame);
    elementPoints.Clear();
    if (ClearSketchSelection(sketch))
        Redraw(shapesView);
}

void CUIM_EditProfile::DiscardElement()
{
    // Nothing of the element reached the sketch: its undo state would
    // give back the sketch as it is.
    if (elementUndoStep && panel)
        panel->PopUndoState();
    elementUndoStep = false;
    // Nothing of it stays: its value label, and the point (and direction)
    // the next clicks would align with.
    if (element && shapesView)
        if (auto* label = shapesView->GetLabelAnnotation(0))
            label->SetVisible(FALSE);
    snap.ClearReference();
    element.reset();
    elementPoints.Clear();
    clickCount = 0;
    for (stTangentAnchor& anchor : anchors)
        anchor = stTangentAnchor{};
}

bool CUIM_EditProfile::RebuildElement()
{
    return element && RebuildSketchCurve(*element, elementPoints);
}

void CUIM_EditProfile::CommitElement()
{
    ST_ISectionCurve* sketch = element ? InstallSketch() : nullptr;
    if (!element || !sketch || sketch->GetClassGuid() != CLSID_ST_TSketch)
    {
        AbandonElement();
        return;
    }
    hoverIndex = -1;
    ClearSketchSelection(sketch);
    element->selected = 1;
    ST_ISectionCurve* added = element.get();
    if (sketch->AddCurve(added) == 0xFFFFFFFFu)
    {
        DiscardElement();
        return;
    }
    element.release();
    elementUndoStep = false;
    bool isDistance = false;
    const double value = SketchCurveValue(*added, &isDistance);
    if (panel)
        panel->SetDistanceRadiusField(value, isDistance);
    DiscardElement();
    MarkOpenSketchEnds(sketch);
    if (shapesView)
        if (auto* label = shapesView->GetLabelAnnotation(0))
            label->SetVisible(FALSE);
    if (panel)
    {
        panel->NotifyProfileChanged();
        if (value > 0.0)
            panel->FocusDistanceField();
    }
}

void CUIM_EditProfile::SetTool(std::uint32_t newTool, C3DView* view)
{
    AbandonElement();
    currentTool = newTool;
    clickCount = 0;
    // Only the select tool looks at what is under the cursor.
    if (newTool != kProfileToolSelect)
    {
        hovering = 0;
        hoverIndex = -1;
    }
    if (panel)
        panel->ShowTool(newTool);
    SendSetCursorTo(view);
}

BOOL CUIM_EditProfile::OnLButtonDown(POINT point, UINT flags, C3DView* view)
{
    if (operation != kNoOperation || !view)
        return CUIM_ScreenSelection::OnLButtonDown(point, flags, view);
    lastPoint = point;
    if (panel)
        panel->SetDistanceRadiusField(-1.0, false);
    if (!GetActiveProfile())
        return CUIM_ScreenSelection::OnLButtonDown(point, flags, view);
    if (currentTool == kProfileToolSelect)
    {
        SelectToolDown(point, flags, view);
        return 1;
    }
    DrawingClick(point, view);
    return 1;
}

void CUIM_EditProfile::DrawingClick(POINT point, C3DView* view)
{
    float cursor[3];
    if (!SketchPointAt(point, cursor))
        return;
    const bool tangentArc = currentTool == kProfileToolTangentArc;
    float snapped[3];
    const bool snappedOnto = SnapCursor(cursor, kSnapExceptNone, tangentArc, false, snapped);
    float offset[3];
    if (!SketchPointAt(POINT{point.x + 1, point.y + 1}, offset))
        std::copy(snapped, snapped + 3, offset);

    switch (currentTool)
    {
    case kProfileToolLine:
        if (clickCount == 0)
        {
            BeginElement(CLSID_ST_TLineCurve);
            if (!element)
                return;
            elementPoints.AddVertex(Vertex(snapped));
            elementPoints.AddVertex(Vertex(offset));
            RebuildElement();
            clickCount = 1;
            // Where the arc begins: the next click aligns with that point.
            snap.SetReferencePoint(snapped);
            snap.referenceDirection[0] = FLT_MAX;
        }
        else
        {
            UpdateRubberElement(point, view);
            // A snap may put the end back onto the start up to rounding (the
            // crossing of a line through the start with another through it):
            // ends that fall together make no line.
            const bool apart = elementPoints.GetVertexCount() == 2 &&
                               PointDistance(elementPoints.GetVertex(0)->Position(),
                                             elementPoints.GetVertex(1)->Position()) >= kSamePointTolerance;
            if (element && apart && clickCount + 1 == elementPoints.GetVertexCount() && RebuildElement())
            {
                CommitElement();
                Redraw(view);
            }
            else
                AbandonElement();
            snap.ClearReference();
        }
        break;
    case kProfileToolArc:
    case kProfileToolTangentArc:
    {
        const bool onCurvePoint = snappedOnto && snap.kind == kSketchSnapPoint && snap.xSourceCurve != nullptr;
        if (tangentArc && clickCount < 2 && !onCurvePoint)
            return;
        if (clickCount == 0)
        {
            BeginElement(CLSID_ST_TArcCurve);
            if (!element)
                return;
            float middle[3] = {(snapped[0] + offset[0]) / 2, (snapped[1] + offset[1]) / 2, 0.0f};
            elementPoints.AddVertex(Vertex(snapped));
            elementPoints.AddVertex(Vertex(middle));
            elementPoints.AddVertex(Vertex(offset));
            anchors[0].point = Vertex(snapped);
            std::copy(snap.result.Normal(), snap.result.Normal() + 3, anchors[0].direction);
            anchors[0].curve = snap.xSourceCurve;
            if (const tPolyline<cVertex>* points = anchors[0].curve ? SketchPointsOf(*anchors[0].curve, false) : nullptr)
                anchors[0].original = *points;
            clickCount = 1;
            // Where the arc begins: the next click aligns with that point.
            snap.SetReferencePoint(snapped);
        }
        else if (clickCount == 1)
        {
            anchors[1].point = Vertex(snapped);
            std::copy(snap.result.Normal(), snap.result.Normal() + 3, anchors[1].direction);
            anchors[1].curve = snap.xSourceCurve;
            if (const tPolyline<cVertex>* points = anchors[1].curve ? SketchPointsOf(*anchors[1].curve, false) : nullptr)
                anchors[1].original = *points;
            if (elementPoints.GetVertexCount() == 3)
                *elementPoints.GetVertex(2) = Vertex(snapped);
            clickCount = 2;
            UpdateRubberElement(point, view);
        }
        else
        {
            UpdateRubberElement(point, view);
            if (element && clickCount + 1 == elementPoints.GetVertexCount() && RebuildElement())
            {
                CommitElement();
                Redraw(view);
            }
            else
                AbandonElement();
            snap.ClearReference();
        }
        break;
    }
    case kProfileToolFreeForm:
        if (!element)
        {
            BeginElement(CLSID_ST_TSplineCurve);
            if (!element)
                return;
            snap.ClearReference();
        }
        if (elementPoints.IsEmpty())
            elementPoints.AddVertex(Vertex(snapped));
        else
            *elementPoints.GetLastVertex() = Vertex(snapped);
        elementPoints.AddVertex(Vertex(snapped));
        RebuildElement();
        ++clickCount;
        snap.SetReferencePoint(snapped);
        Invalidate(view);
        break;
    default: break;
    }
}

void CUIM_EditProfile::UpdateRubberElement(POINT point, C3DView* view)
{
    if (!element)
        return;
    float cursor[3];
    if (!SketchPointAt(point, cursor))
        return;
    wchar_t text[32] = {0};
    const bool active = IsSnapActiveNow();
    const bool ctrl = IsKeyDown(VK_CONTROL);
    switch (currentTool)
    {
    case kProfileToolLine:
    {
        if (clickCount != 1 || elementPoints.GetVertexCount() != 2)
            return;
        float end[3];
        SnapCursor(cursor, kSnapExceptNone, false, false, end);
        const float* start = elementPoints.GetVertex(0)->Position();
        bool stepped = false;
        if (active && !ctrl && ShouldStepLineLength(snap, start))
            stepped = StepLineLength(start, end, DistanceStep());
        else if (active && ctrl)
        {
            float direction[3];
            stepped = StepLineAngle(start, end, AngleStepDegrees(), direction);
            if (stepped)
            {
                snap.kind = kSketchSnapNone;
                snap.SetReferenceDirection(direction);
            }
        }
        *elementPoints.GetVertex(1) = Vertex(end);
        RebuildElement();
        const int distanceIndex = panel ? panel->GetSnapDistanceIndex() : 0;
        const int angleIndex = panel ? panel->GetSnapAngleIndex() : 0;
        if (active && !ctrl)
            FormatAngleLabel(text, stepped ? SketchStepDecimals(distanceIndex) : -1, PointDistance(start, end), true,
                             active ? DistanceStep() : 0.0, panel ? panel->UnitText() : L"");
        else
            FormatAngleLabel(text, stepped ? SketchStepDecimals(angleIndex) : -1, FoldedLineAngle(start, end), false,
                             active ? AngleStepDegrees() : 0.0, nullptr);
        ShowValueLabel(point, text);
        break;
    }
    case kProfileToolArc:
    case kProfileToolTangentArc:
    {
        if (elementPoints.GetVertexCount() != 3)
            return;
        float at[3];
        if (clickCount < 2)
            SnapCursor(cursor, kSnapExceptNone, currentTool == kProfileToolTangentArc, false, at);
        else
            std::copy(cursor, cursor + 3, at);
        if (clickCount == 0)
        {
            *elementPoints.GetVertex(0) = Vertex(at);
            break;
        }
        if (clickCount == 1)
        {
            const float* s = elementPoints.GetVertex(0)->Position();
            const float m[2] = {(s[0] + at[0]) / 2, (s[1] + at[1]) / 2};
            double u[2] = {double(at[0]) - m[0], double(at[1]) - m[1]};
            const double length = std::hypot(u[0], u[1]);
            if (length > 0.0)
            {
                u[0] /= length;
                u[1] /= length;
            }
            const double d = 0.3 * std::hypot(double(at[0]) - s[0], double(at[1]) - s[1]);
            const float middle[3] = {float(m[0] - d * u[1]), float(m[1] + d * u[0]), 0.0f};
            *elementPoints.GetVertex(1) = Vertex(middle);
            *elementPoints.GetVertex(2) = Vertex(at);
            RebuildElement();
            break;
        }
        if (currentTool == kProfileToolTangentArc)
        {
            cVertex first = anchors[0].point;
            std::copy(anchors[0].direction, anchors[0].direction + 3, first.Normal());
            cVertex second = anchors[1].point;
            std::copy(anchors[1].direction, anchors[1].direction + 3, second.Normal());
            float t1[3], middle[3], t2[3];
            if (SolveTangentArcBetweenLines(first, second, at, t1, middle, t2, active ? DistanceStep() : -FLT_MAX))
            {
                for (int i = 0; i < 2; ++i)
                    if (anchors[i].curve)
                        MoveCurveEndToPoint(*anchors[i].curve, anchors[i].point.Position(), i == 0 ? t1 : t2);
                anchors[0].point = Vertex(t1);
                anchors[1].point = Vertex(t2);
                *elementPoints.GetVertex(0) = Vertex(t1);
                *elementPoints.GetVertex(1) = Vertex(middle);
                *elementPoints.GetVertex(2) = Vertex(t2);
            }
            else
                *elementPoints.GetVertex(1) = Vertex(at);
            RebuildElement();
        }
        else
        {
            *elementPoints.GetVertex(1) = Vertex(at);
            bool stepped = false;
            if (active && RebuildElement() &&
                StepArcRadius(elementPoints.GetVertex(0)->Position(), at, elementPoints.GetVertex(2)->Position()))
            {
                *elementPoints.GetVertex(1) = Vertex(at);
                stepped = true;
            }
            RebuildElement();
            FormatRadiusLabel(text, stepped ? SketchStepDecimals(panel ? panel->GetSnapDistanceIndex() : 0) : -1,
                              SketchCurveValue(*element, nullptr), active ? DistanceStep() : 0.0);
            ShowValueLabel(point, text);
        }
        break;
    }
    case kProfileToolFreeForm:
        if (!elementPoints.IsEmpty())
        {
            float at[3];
            SnapCursor(cursor, kSnapExceptNone, false, false, at);
            *elementPoints.GetLastVertex() = Vertex(at);
            RebuildElement();
        }
        break;
    default: break;
    }
    Invalidate(view);
}

BOOL CUIM_EditProfile::OnMouseMove(POINT point, UINT flags, C3DView* view)
{
    if (operation != kNoOperation || !view || !GetActiveProfile())
        return CUIM_ScreenSelection::OnMouseMove(point, flags, view);
    lastPoint = point;
    if (currentTool == kProfileToolSelect)
    {
        SelectToolMove(point, view);
        return CUIM_ScreenSelection::OnMouseMove(point, flags, view);
    }
    if (element)
    {
        UpdateRubberElement(point, view);
        return 1;
    }
    return CUIM_ScreenSelection::OnMouseMove(point, flags, view);
}

BOOL CUIM_EditProfile::OnLButtonUp(POINT point, UINT flags, C3DView* view)
{
    if (operation != kNoOperation || !view)
        return CUIM_ScreenSelection::OnLButtonUp(point, flags, view);
    insertPending = 0;
    if (dragging)
        return EndDrag(view) ? 1 : 0;
    if (currentTool == kProfileToolSelect && IsStrokeInProgress())
    {
        CUIM_ScreenSelection::OnLButtonUp(point, flags, view);
        FitElementToSectionPoints();
        ClearStroke();
        Invalidate(view);
        return 1;
    }
    return CUIM_ScreenSelection::OnLButtonUp(point, flags, view);
}

BOOL CUIM_EditProfile::OnLButtonDblClk(POINT point, UINT flags, C3DView* view)
{
    if (!view || !GetActiveProfile())
        return 0;
    if (currentTool == kProfileToolFreeForm && element)
    {
        FinishFreeForm(view);
        return 1;
    }
    if (currentTool == kProfileToolSelect)
    {
        InsertSplinePointAtClick(point, view);
        return 1;
    }
    // The line and arc tools have no use for a double click: a quick click
    // where the last line ended starts the next one there.
    if (currentTool == kProfileToolLine || currentTool == kProfileToolTangentArc || currentTool == kProfileToolArc)
        return OnLButtonDown(point, flags, view);
    return 0;
}

void CUIM_EditProfile::FinishFreeForm(C3DView* view)
{
    if (!element)
        return;
    tPolyline<cVertex> merged;
    for (const cVertex& v : elementPoints.vertices)
        if (merged.IsEmpty() || PointDistance(merged.GetLastVertex()->Position(), v.Position()) >= kSamePointTolerance)
            merged.AddVertex(v);
    elementPoints = merged;
    if (elementPoints.GetVertexCount() < 2 || !RebuildElement())
        DiscardElement();
    else
        CommitElement();
    snap.ClearReference();
    Redraw(view);
}

BOOL CUIM_EditProfile::OnMButtonDown(POINT point, UINT, C3DView* view)
{
    TrackModeMenu(view, point, IDR_PROFILE_EDIT_MENU, [this](CMenu* popup) { UpdateContextMenu(popup); });
    return 1;
}

BOOL CUIM_EditProfile::OnCommand(UINT id, int code, void*, AFX_CMDHANDLERINFO* info, C3DView* view)
{
    if (code != 0 || info)
        return 0;
    switch (id)
    {
    case kCmdUpdateStatus:
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
        Redraw(view);
        return 1;
    case kCmdRemoveLast:
        if (currentTool == kProfileToolFreeForm && element)
        {
            if (!elementPoints.IsEmpty())
                elementPoints.vertices.pop_back();
            if (elementPoints.IsEmpty())
            {
                DiscardElement();
                snap.ClearReference();
            }
            else
            {
                RebuildElement();
                if (elementPoints.GetVertexCount() >= 2)
                    snap.SetReferencePoint(elementPoints.GetVertex(elementPoints.GetVertexCount() - 2)->Position());
            }
            Invalidate(view);
        }
        return 1;
    case kCmdFinish:
        if (currentTool == kProfileToolFreeForm && element)
        {
            if (!elementPoints.IsEmpty())
                elementPoints.vertices.pop_back();
            FinishFreeForm(view);
        }
        return 1;
    case kCmdRestartDrawing:
        if (currentTool == kProfileToolFreeForm && element)
        {
            DiscardElement();
            Invalidate(view);
        }
        return 1;
    case kCmdAddLine: SetTool(kProfileToolLine, view); return 1;
    case kCmdAddArc: SetTool(kProfileToolArc, view); return 1;
    case kCmdSelectMode: SetTool(kProfileToolSelect, view); return 1;
    case kCmdAddCurve: SetTool(kProfileToolFreeForm, view); return 1;
    case kCmdAddTangentArc: SetTool(kProfileToolTangentArc, view); return 1;
    case kCmdSnapOn: snapping = 1; return 1;
    case kCmdSnapOff: snapping = 0; return 1;
    case kCmdNewShapeProfile:
    case kCmdTransferProfile:
    {
        IShapesViewOwner* owner = shapesView ? shapesView->GetShapesOwner() : nullptr;
        return owner && owner->OnViewCommand(id) ? 1 : 0;
    }
    case kCmdApplyValue: ApplyValue(view); return 1;
    case kCmdDeleteSelection: DeleteSelection(view); return 1;
    case kCmdUndoSketch: UndoLastEdit(view); return 1;
    default: return 0;
    }
}

void CUIM_EditProfile::OnEscape(C3DView* view)
{
    if (panel)
        panel->ShowTool(kProfileToolSelect);
    currentTool = kProfileToolSelect;
    AbandonElement();
    HideSketchAnnotations();
    snap.Reset();
    snap.ClearReference();
    SendSetCursorTo(view);
    Invalidate(view);
}

void CUIM_EditProfile::OnActivate(C3DView* view)
{
    CUIM_ScreenSelection::OnActivate(view);
    if (panel)
        snapping = panel->IsSnapping() ? 1 : 0;
    MarkOpenSketchEnds(GetActiveProfile());
    Redraw(view);
    if (view && view->GetSafeHwnd())
        ::SetFocus(view->GetSafeHwnd());
}

int CUIM_EditProfile::OnSetCursor(C3DView*, UINT, UINT)
{
    if (hovering && operation == kNoOperation)
        return int(kCursorOverSketch);
    if (currentTool != kProfileToolSelect)
        return int(kCursorSketchTool);
    return 0;
}

BOOL CUIM_EditProfile::GetContextMenu(UINT* menuId, CWnd** target)
{
    if (menuId)
        *menuId = currentTool == kProfileToolFreeForm && element && !elementPoints.IsEmpty() ? IDR_PROFILE_DRAW_MENU
                                                                                            : IDR_PROFILE_EDIT_MENU;
    if (target)
        *target = shapesView;
    return 1;
}

void CUIM_EditProfile::UpdateContextMenu(CMenu* menu)
{
    SetMenuItemIcons(kMenuIcons, 10, menu, shapesView ? shapesView->GetSafeHwnd() : nullptr);
}

void CUIM_EditProfile::DrawSketchOverScan(cGLRenderer* gl, ST_ISectionCurve& sketch) const
{
    // The sketch plane cuts through the part (a revolved profile's plane
    // holds the axis), so the scan's near half hides every curve of the
    // sketch that lies inside it. The frame's own drawing of the profile
    // keeps the depth test; here the curves are drawn again over it, in
    // the same colours, so the profile being edited always shows.
    cDecoratorObject decorator;
    decorator.SetColour(kDecoratorFront, 0.0f, 0.0f, 0.85f, 1.0f);
    decorator.SetColour(kDecoratorBack, 0.78431374f, 0.49803922f, 0.0f, 1.0f);
    decorator.SetColour(kDecoratorSelection, 1.0f, 1.0f, 0.0f, 1.0f);
    decorator.m_pointSize = 5.0f;
    decorator.m_lineWidths[0] = 3.0f;
    cGeometriesGLRenderer drawer(gl);
    gl->PushViewTransform();
    for (std::uint32_t i = 0; i < sketch.GetSegmentCount(); ++i)
    {
        ST_ISectionCurve* curve = sketch.GetSegment(i);
        // The dragged curve shows as its drag copy.
        if (!curve || (dragging && curve == dragCurve) || !curve->GetWire() || !curve->GetWire()->IsValid())
            continue;
        // Through the sketch's frame, as the surface is built and the pick
        // image drawn: a refit moves that frame and leaves the curves' own.
        stDrawnCurveCollection collection;
        std::copy(sketch.frame, sketch.frame + 12, collection.frame);
        stDrawnCurve drawn;
        drawn.wire = curve->GetWire();
        drawn.points = curve->GetDefiningPoints();
        drawn.selected = curve->selected;
        collection.curves.push_back(drawn);
        DrawPolylineCollectionGL(&drawer, collection, gl->PixelsToWorld(1), decorator, false);
    }
    gl->PopViewTransform();
}

void CUIM_EditProfile::DrawGL(C3DView* view)
{
    auto* gl = view ? dynamic_cast<cGLRenderer*>(view->GetRenderer()) : nullptr;
    ST_ISectionCurve* sketch = GetActiveProfile();
    if (!gl || !sketch)
        return;
    cGeometriesGLRenderer drawer(gl);
    ST_ISectionCurve* shown = dragging && dragCopy ? dragCopy.get() : element.get();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    DrawSketchOverScan(gl, *sketch);
    if (shown)
    {
        stDrawnCurveCollection collection;
        std::copy(sketch->frame, sketch->frame + 12, collection.frame);
        stDrawnCurve curve;
        curve.points = shown->GetDefiningPoints();
        curve.wire = shown->GetWire();
        curve.selected = 1;
        collection.curves.push_back(curve);
        cDecoratorObject decorator;
        const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
        const float yellow[4] = {1.0f, 1.0f, 0.0f, 1.0f};
        const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        std::copy(red, red + 4, decorator.m_colours[kDecoratorWireframe]);
        std::copy(yellow, yellow + 4, decorator.m_colours[kDecoratorSelection]);
        std::copy(black, black + 4, decorator.m_colours[kDecoratorBoundary]);
        DrawCurvesWithHandlesGL(&drawer, &collection, false, decorator);
    }
    const double* f = sketch->frame;
    auto toWorld = [&](double x, double y, float out[3]) {
        for (int r = 0; r < 3; ++r)
            out[r] = float(f[r * 4] * x + f[r * 4 + 1] * y + f[r * 4 + 3]);
    };
    gl->PushViewTransform();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0xF00F);
    glLineWidth(3.0f);
    auto line = [&](const float a[3], const float b[3], float grey) {
        glColor4f(grey, grey, grey, 1.0f);
        glBegin(GL_LINES);
        glVertex3fv(a);
        glVertex3fv(b);
        glEnd();
    };
    if (snap.HasReferencePoint() && snap.HasReferenceDirection())
    {
        const double length = 3.0 * PixelsToWorldLength(view, int(std::max(view->GetClientWidth(), view->GetClientHeight())));
        float a[3], b[3];
        toWorld(snap.referencePoint[0], snap.referencePoint[1], a);
        toWorld(snap.referencePoint[0] + snap.referenceDirection[0] * length,
                snap.referencePoint[1] + snap.referenceDirection[1] * length, b);
        line(a, b, 0.75f);
    }
    float result[3], source[3];
    toWorld(snap.result.x, snap.result.y, result);
    if (snap.kind == kSketchSnapLine || snap.kind == kSketchSnapCorner || snap.kind == kSketchSnapIntersection)
    {
        toWorld(snap.xSource.x, snap.xSource.y, source);
        line(result, source, 0.95f);
    }
    if (snap.kind == kSketchSnapCorner || snap.kind == kSketchSnapIntersection)
    {
        toWorld(snap.ySource.x, snap.ySource.y, source);
        line(result, source, 0.95f);
    }
    glDisable(GL_LINE_STIPPLE);
    if (snap.kind == kSketchSnapPoint)
    {
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        DrawSphereMarkerGL(result, PixelsToWorldLength(view, kPointBrushHalfSize));
    }
    gl->PopViewTransform();
    glPopAttrib();
}

void CUIM_EditProfile::DrawOverlay(GpGraphics* graphics, C3DView* view)
{
    CUIM_ZoomRect::DrawOverlay(graphics, view);
    ST_ISectionCurve* sketch = GetActiveProfile();
    if (!sketch || !view || !shapesView || dragging)
        return;
    // The vertical and horizontal markers of the sketch's lines.
    auto* vertical = shapesView->GetImageAnnotation(0);
    auto* horizontal = shapesView->GetImageAnnotation(1);
    I3DSceneRenderer* renderer = view->GetRenderer();
    if (!renderer)
        return;
    for (std::uint32_t i = 0; i < sketch->GetSegmentCount(); ++i)
    {
        ST_ISectionCurve* curve = sketch->GetSegment(i);
        if (!curve || curve == dragCurve)
            continue;
        const bool isVertical = curve->IsVertical();
        const bool isHorizontal = curve->IsHorizontal();
        if (!isVertical && !isHorizontal)
            continue;
        // In the sketch's frame, where the curve is drawn.
        t3DPoint<double> mid;
        if (!curve->GetWire() || !curve->GetWire()->EvaluateAtFraction(0.5, &mid, nullptr))
            mid = curve->GetLocalMidPoint();
        const float local[3] = {float(mid.x), float(mid.y), 0.0f};
        float world[3];
        TransformPoint3f(sketch->frame, world, local);
        float projected[3];
        renderer->ProjectPoint(projected, world, true);
        POINT screen{};
        renderer->WorldToScreen(projected[0], projected[1], &screen);
        if (isVertical && vertical)
        {
            vertical->SetMarginLTRB(screen.x - 15, screen.y, 0, 0);
            vertical->SetVisible(TRUE);
        }
        if (isHorizontal && horizontal)
        {
            horizontal->SetMarginLTRB(screen.x, screen.y - 15, 0, 0);
            horizontal->SetVisible(TRUE);
        }
    }
}

cUserInteractiveMode<C3DView>* MakeProfileEditMode(std::uint32_t id, std::uint32_t temporary, cCPView* view,
                                                   IProfileEditPanel* panel)
{
    if (!view || !panel)
        return nullptr;
    return new (std::nothrow) CUIM_EditProfile(id, temporary, view, panel);
}
