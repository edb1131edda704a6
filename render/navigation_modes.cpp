#include "render/navigation_modes.h"

#include "core/frame_math.h"
#include "core/scene.h"
#include "platform/gdiplus/graphics_draw.h"
#include "platform/gdiplus/pen_brush.h"
#include "platform/mfc/win_app.h"
#include "render/gdi_graphics_layer.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>
#include <cstring>

namespace
{

constexpr double kPi = 3.14159265358979323846;
// The pointer must leave this squared radius (pixels) before a drag counts.
constexpr long kMoveThreshold2 = 16;

long Distance2(POINT a, POINT b)
{
    const long dx = a.x - b.x, dy = a.y - b.y;
    return dx * dx + dy * dy;
}

// Rotation part of r = the rotation by angle about the (unit) axis.
void AxisRotation(double r[12], double angle, double x, double y, double z)
{
    const double c = std::cos(angle), s = std::sin(angle), k = 1.0 - c;
    const double m[12] = {c + x * x * k,     x * y * k - z * s, x * z * k + y * s, 0.0,
                          y * x * k + z * s, c + y * y * k,     y * z * k - x * s, 0.0,
                          z * x * k - y * s, z * y * k + x * s, c + z * z * k,     0.0};
    std::memcpy(r, m, sizeof m);
}

// The unit point of the virtual sphere (radius the client's smaller side)
// under a pixel; outside the sphere it lies on the rim.
void SpherePoint(double out[3], double x, double y, double w, double h)
{
    const double r = std::min(w, h);
    const double px = x - w * 0.5, py = -(y - h * 0.5);
    const double z2 = r * r - px * px - py * py;
    out[0] = px;
    out[1] = py;
    out[2] = z2 >= 0.0 ? std::sqrt(z2) : 0.0;
    const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
    if (length > 0.0)
        for (int i = 0; i < 3; ++i)
            out[i] /= length;
}

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// A cursor resource of the module that holds it, else the system cursor of
// that number.
void SetCursorById(std::uint32_t id)
{
    LPCWSTR name = MAKEINTRESOURCEW(id);
    HCURSOR cursor = ::LoadCursorW(AfxFindResourceHandle(name, RT_CURSOR), name);
    if (!cursor)
        cursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(id & 0xFFFF));
    ::SetCursor(cursor);
}

// The projection of the view for surface picks: screen coordinates are view
// coordinates relative to the scene centre.
stScreenProjection ViewProjection(cBase3DRenderer* camera)
{
    stScreenProjection projection;
    std::memcpy(projection.transform, camera->GetViewTransform(), sizeof projection.transform);
    const float* c = camera->GetSceneCentre();
    projection.origin = t3DPoint<float>(c[0], c[1], c[2]);
    return projection;
}

bool PickSurface(C3DView* view, float x, float y, float out[3])
{
    I3DScene* scene = view->GetScene();
    if (!scene)
        return false;
    stHitRecord hit;
    if (!scene->PickObject(x, y, ViewProjection(view->GetCamera()), nullptr, &hit) || hit.point.x == FLT_MAX)
        return false;
    out[0] = hit.point.x;
    out[1] = hit.point.y;
    out[2] = hit.point.z;
    return true;
}

} // namespace

CUIM_RotateTranslate::CUIM_RotateTranslate(std::uint32_t id, std::uint32_t temporary, std::uint32_t zoomRectCursor)
    : cUserInteractiveMode(id, temporary), zoomRectCursor(zoomRectCursor)
{
}

std::uint32_t CUIM_RotateTranslate::CursorOf(std::uint32_t op) const
{
    switch (op)
    {
    case kRotateOperation: return rotateCursor;
    case kTranslateOperation: return translateCursor;
    case kZoomOperation: return zoomCursor;
    default: return zoomRectCursor;
    }
}

void CUIM_RotateTranslate::ShowCursor(std::uint32_t id)
{
    cursorId = id;
    if (!cursorLocked && id != 0)
        SetCursorById(id);
}

void CUIM_RotateTranslate::ClearDragState()
{
    operation = kNoOperation;
    moved = 0;
    pressPoint = lastPoint = POINT{0, 0};
}

BOOL CUIM_RotateTranslate::OnLButtonDown(POINT p, UINT flags, C3DView* view)
{
    return StartOperation(leftOperation, p, flags, view);
}
BOOL CUIM_RotateTranslate::OnMButtonDown(POINT p, UINT flags, C3DView* view)
{
    return StartOperation(middleOperation, p, flags, view);
}
BOOL CUIM_RotateTranslate::OnRButtonDown(POINT p, UINT flags, C3DView* view)
{
    return StartOperation(rightOperation, p, flags, view);
}
BOOL CUIM_RotateTranslate::OnLButtonUp(POINT, UINT, C3DView* view) { return EndOperation(leftOperation, view); }
BOOL CUIM_RotateTranslate::OnMButtonUp(POINT, UINT, C3DView* view) { return EndOperation(middleOperation, view); }
BOOL CUIM_RotateTranslate::OnRButtonUp(POINT, UINT, C3DView* view) { return EndOperation(rightOperation, view); }

BOOL CUIM_RotateTranslate::StartOperation(std::uint32_t op, POINT point, UINT flags, C3DView* view)
{
    if (op == kRotateOperation && view && view->rotationLocked)
        op = kTranslateOperation;
    if (op < kRotateOperation || op > kZoomRectOperation || !view || !view->GetCamera())
        return 1;
    cBase3DRenderer* camera = view->GetCamera();
    camera->SetInteracting(true);
    ::SetCapture(view->GetSafeHwnd());
    operation = op;
    pressPoint = lastPoint = point;
    lastScreenPoint = point;
    ::ClientToScreen(view->GetSafeHwnd(), &lastScreenPoint);
    moved = 0;
    ShowCursor(CursorOf(op));
    if (op == kZoomOperation || op == kZoomRectOperation)
    {
        view->GetRenderer()->ScreenToWorld(view->pressPoint, &pressWorld[0], &pressWorld[1]);
        startTranslation[0] = camera->GetViewTransform()[3];
        startTranslation[1] = camera->GetViewTransform()[7];
        rect = RECT{point.x, point.y, point.x, point.y};
    }
    if (op == kRotateOperation)
        StartRotation(point, flags, view);
    return 1;
}

void CUIM_RotateTranslate::StartRotation(POINT point, UINT flags, C3DView* view)
{
    const long w = static_cast<long>(view->GetClientWidth()), h = static_cast<long>(view->GetClientHeight());
    if (view->turntableRotation)
        rotationStyle = 1;
    else
    {
        const double dx = point.x - w / 2.0, dy = point.y - h / 2.0;
        const double radius = std::max(w / 2.0, h / 2.0) - 20.0;
        rotationStyle = std::sqrt(dx * dx + dy * dy) < radius ? 1 : 2;
    }
    cBase3DRenderer* camera = view->GetCamera();
    float picked[3];
    if ((flags & MK_CONTROL) || view->alwaysPickPivot)
    {
        float x = 0.0f, y = 0.0f;
        view->GetRenderer()->ScreenToWorld(view->pressPoint, &x, &y);
        camera->ClearInteractionPoint();
        if (PickSurface(view, x, y, picked))
        {
            std::copy_n(picked, 3, view->pivot);
            rotationStyle = 1;
        }
        return;
    }
    if (camera->HasInteractionPoint())
        std::copy_n(camera->GetInteractionPoint(), 3, view->pivot);
    else if (PickSurface(view, 0.0f, 0.0f, picked))
    {
        camera->SetInteractionPoint(picked);
        std::copy_n(picked, 3, view->pivot);
    }
}

BOOL CUIM_RotateTranslate::OnMouseMove(POINT point, UINT flags, C3DView* view)
{
    if (operation == kNoOperation || !view || !view->GetCamera())
        return 0;
    // A move with no button held means the button came up where this view
    // could not see it (another window took the capture): the drag ends as
    // that button-up would have ended it, instead of following the bare
    // pointer with the scene left in its interaction look.
    if (!(flags & (MK_LBUTTON | MK_MBUTTON | MK_RBUTTON)))
        return EndOperation(operation, view);
    // Each move is taken from the last one's point kept on the screen: a
    // dialog maximised or moved under a held button moves the view's pixels
    // under the cursor, and the shift was taken as a turn, pan or zoom.
    POINT previous = std::exchange(lastScreenPoint, point);
    if (::ScreenToClient(view->GetSafeHwnd(), &previous))
        view->lastPoint = previous;
    ::ClientToScreen(view->GetSafeHwnd(), &lastScreenPoint);
    lastPoint = point;
    if (!moved)
    {
        if (Distance2(point, pressPoint) <= kMoveThreshold2)
            return 0;
        moved = 1;
    }
    switch (operation)
    {
    case kZoomOperation: Zoom(point, view); break;
    case kZoomRectOperation:
        rect = RECT{std::min(view->pressPoint.x, point.x), std::min(view->pressPoint.y, point.y),
                    std::max(view->pressPoint.x, point.x), std::max(view->pressPoint.y, point.y)};
        view->Redraw(view->GetRenderer()->GetRedrawLevel());
        break;
    case kTranslateOperation: Translate(point, view); break;
    case kRotateOperation:
        if (rotationStyle == 0)
            return 0;
        Rotate(point, view);
        break;
    default: break;
    }
    if (!cursorLocked && cursorId != 0)
        SetCursorById(cursorId);
    return 1;
}

void CUIM_RotateTranslate::Zoom(POINT point, C3DView* view)
{
    I3DSceneRenderer* renderer = view->GetRenderer();
    cBase3DRenderer* camera = view->GetCamera();
    float px = 0.0f, py = 0.0f, qx = 0.0f, qy = 0.0f;
    renderer->ScreenToWorld(point, &px, &py);
    renderer->ScreenToWorld(view->lastPoint, &qx, &qy);
    double amount = static_cast<double>(py) - qy;
    if (view->reverseWheelZooming)
        amount = -amount;
    float min[3], max[3];
    camera->GetSceneBox(min, max);
    const bool perspective = renderer->IsPerspective();
    if (!perspective && (min[0] - amount > max[0] + amount || min[1] - amount > max[1] + amount))
        amount = -std::min((double(max[0]) - min[0]) / 2.0, (double(max[1]) - min[1]) / 2.0) * 0.9;
    if (!view->CanGrowSceneBox(amount))
        return;
    const double aspect = *renderer->GetAspect();
    camera->GrowSceneBox(float(amount * aspect), float(amount * aspect), float(amount), float(amount));
    float nowX = 0.0f, nowY = 0.0f;
    renderer->ScreenToWorld(view->pressPoint, &nowX, &nowY);
    camera->SetPan(startTranslation[0] + (double(nowX) - pressWorld[0]),
                   startTranslation[1] + (double(nowY) - pressWorld[1]));
    if (perspective)
    {
        const double z = camera->GetViewTransform()[11];
        const double f = z < 0.0 ? std::fabs(z / 100.0) + 1.0 : 1.0;
        camera->SetDepthOffset(z - 2.0 * amount * f);
    }
    else
        view->ApplyProjection();
    renderer->LowerRedrawLevel(0);
    view->Redraw(0);
}

void CUIM_RotateTranslate::Translate(POINT point, C3DView* view)
{
    I3DSceneRenderer* renderer = view->GetRenderer();
    cBase3DRenderer* camera = view->GetCamera();
    double scale = 1.0;
    if (renderer->IsPerspective())
    {
        float min[3], max[3];
        camera->GetSceneBox(min, max);
        const double dx = double(max[0]) - min[0], dy = double(max[1]) - min[1], dz = double(max[2]) - min[2];
        const double size = std::sqrt(dx * dx + dy * dy + dz * dz);
        // A flat box has no depth scale: pan as in a parallel projection.
        const double d = size > 0.0 ? std::clamp(camera->GetViewTransform()[11] / size, -1.0, 1.0) : 0.0;
        scale = (1.0 - d) * 5.0;
    }
    float delta[3];
    camera->ScreenDeltaToWorld(delta, view->lastPoint, point);
    const double* t = camera->GetViewTransform();
    camera->SetPan(t[3] + scale * delta[0], t[7] + scale * delta[1]);
    renderer->LowerRedrawLevel(0);
    view->Redraw(0);
}

bool CUIM_RotateTranslate::TrackballRotation(double r[12], POINT previous, POINT point, C3DView* view) const
{
    if (previous.x == point.x && previous.y == point.y)
        return false;
    const double w = view->GetClientWidth(), h = view->GetClientHeight();
    if (view->turntableRotation)
    {
        const double* t = view->GetCamera()->GetViewTransform();
        double p0[3], px[3], py[3];
        SpherePoint(p0, previous.x, previous.y, w, h);
        SpherePoint(px, point.x, previous.y, w, h);
        SpherePoint(py, previous.x, point.y, w, h);
        auto angle = [](double dot) { return std::fabs(dot) <= 1.0 ? 2.0 * std::acos(dot) : 0.0; };
        const double a1 = angle(Dot(p0, px)), a2 = angle(Dot(p0, py));
        double horizontal[12], vertical[12];
        MakeIdentity3x4(horizontal);
        MakeIdentity3x4(vertical);
        if (std::fabs(a1) > 0.001)
        {
            // The world's up axis as the view sees it.
            const double s = point.x > previous.x ? 1.0 : -1.0;
            AxisRotation(horizontal, a1, t[2] * s, t[6] * s, t[10] * s);
        }
        if (std::fabs(a2) > 0.001)
            AxisRotation(vertical, a2, point.y > previous.y ? 1.0 : -1.0, 0.0, 0.0);
        MultiplyTransform3x4(vertical, r, horizontal);
        return true;
    }
    if (sphereTrackball)
    {
        double p1[3], p2[3];
        SpherePoint(p1, previous.x, previous.y, w, h);
        SpherePoint(p2, point.x, point.y, w, h);
        double axis[3] = {p1[1] * p2[2] - p1[2] * p2[1], p1[2] * p2[0] - p1[0] * p2[2], p1[0] * p2[1] - p1[1] * p2[0]};
        const double length = std::sqrt(Dot(axis, axis));
        // Rounding can carry the dot product past 1; two points on one ray
        // from the centre have no axis between them.
        const double dot = std::clamp(Dot(p1, p2), -1.0, 1.0);
        if (!(length > 1e-12) || !(dot < 0.9999999999999))
            return false;
        AxisRotation(r, 2.0 * std::acos(dot), axis[0] / length, axis[1] / length, axis[2] / length);
        return true;
    }
    const double dx = point.x - previous.x, dyUp = -(point.y - previous.y);
    const double axis2 = dx * dx + dyUp * dyUp;
    if (axis2 <= 0.001)
        return false;
    const double length = std::sqrt(axis2);
    AxisRotation(r, length * kPi / 180.0 * 0.5, -dyUp / length, dx / length, 0.0);
    return true;
}

bool CUIM_RotateTranslate::RollRotation(double r[12], POINT previous, POINT point, C3DView* view) const
{
    if (previous.x == point.x && previous.y == point.y)
        return false;
    const double cx = static_cast<double>(view->GetClientWidth() / 2);
    const double cy = static_cast<double>(view->GetClientHeight() / 2);
    const double a[2] = {previous.x - cx, previous.y - cy}, b[2] = {point.x - cx, point.y - cy};
    const double c = b[1] * a[0] - a[1] * b[0];
    const double a2 = a[0] * a[0] + a[1] * a[1], b2 = b[0] * b[0] + b[1] * b[1];
    if (a2 < FLT_EPSILON || b2 < FLT_EPSILON || c * c < FLT_EPSILON)
        return false;
    const double cosine = std::clamp((a[0] * b[0] + a[1] * b[1]) / std::sqrt(a2 * b2), -1.0, 1.0);
    double angle = std::acos(cosine);
    if (!std::isfinite(angle))
        return false;
    if (c > 0.0)
        angle = -angle;
    if (::GetKeyState(VK_CONTROL) < 0)
        RotateFrameAboutX(r, angle);
    else if (::GetKeyState(VK_MENU) < 0)
        RotateFrameAboutY(r, angle);
    else if (std::fabs(angle) >= 1e-5)
        RotateFrameAboutZ(r, angle);
    else
        return false;
    return true;
}

void CUIM_RotateTranslate::Rotate(POINT point, C3DView* view)
{
    double r[12];
    MakeIdentity3x4(r);
    const bool turned = rotationStyle == 1 ? TrackballRotation(r, view->lastPoint, point, view)
                                           : RollRotation(r, view->lastPoint, point, view);
    if (!turned)
        return;
    cBase3DRenderer* camera = view->GetCamera();
    double t[12];
    std::memcpy(t, camera->GetViewTransform(), sizeof t);
    const float* c = camera->GetSceneCentre();
    const bool hasPivot = view->pivot[0] != FLT_MAX;
    // The pivot's view coordinates stay what they were, so it keeps its
    // place on the screen.
    double local[3] = {0.0, 0.0, 0.0}, before[3] = {0.0, 0.0, 0.0};
    if (hasPivot)
        for (int i = 0; i < 3; ++i)
        {
            local[i] = double(view->pivot[i]) - c[i];
        }
    if (hasPivot)
        for (int row = 0; row < 3; ++row)
            before[row] = t[row * 4] * local[0] + t[row * 4 + 1] * local[1] + t[row * 4 + 2] * local[2] + t[row * 4 + 3];
    const double translation[3] = {t[3], t[7], t[11]};
    MultiplyTransform3x4(r, t, t);
    for (int row = 0; row < 3; ++row)
    {
        if (hasPivot)
            t[row * 4 + 3] =
                before[row] - (t[row * 4] * local[0] + t[row * 4 + 1] * local[1] + t[row * 4 + 2] * local[2]);
        else
            t[row * 4 + 3] = translation[row];
    }
    camera->SetViewTransform(t);
    view->GetRenderer()->LowerRedrawLevel(0);
    view->Redraw(0);
}

POINT* CUIM_RotateTranslate::AdjustPoint(POINT* out, POINT point, C3DView* view)
{
    *out = point;
    if (!view || operation < kRotateOperation || operation > kZoomOperation)
        return out;
    HWND hwnd = view->GetSafeHwnd();
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info))
        return out;
    const RECT& m = info.rcMonitor;
    POINT screen = point;
    ::ClientToScreen(hwnd, &screen);
    bool wrapped = true;
    if (screen.x >= m.right - 2)
        screen.x = m.left + 4;
    else if (screen.x <= m.left + 2)
        screen.x = m.right - 4;
    else
        wrapped = false;
    if (screen.y >= m.bottom - 2)
        screen.y = m.top + 4, wrapped = true;
    else if (screen.y <= m.top + 2)
        screen.y = m.bottom - 4, wrapped = true;
    if (!wrapped)
        return out;
    ::SetCursorPos(screen.x, screen.y);
    lastScreenPoint = screen;
    ::ScreenToClient(hwnd, &screen);
    view->pressPoint = view->lastPoint = screen;
    *out = screen;
    return out;
}

BOOL CUIM_RotateTranslate::EndOperation(std::uint32_t op, C3DView* view)
{
    if (op == kRotateOperation && view && view->rotationLocked)
        op = kTranslateOperation;
    if (op < kRotateOperation || op > kZoomRectOperation)
        return 1;
    const bool movedFar = Distance2(lastPoint, pressPoint) > kMoveThreshold2;
    cBase3DRenderer* camera = view ? view->GetCamera() : nullptr;
    BOOL result = 1;
    switch (op)
    {
    case kRotateOperation:
    case kTranslateOperation:
        if (op == kRotateOperation)
            rotationStyle = 0;
        else if (camera)
            camera->ClearInteractionPoint();
        if (camera)
            camera->SetInteracting(false);
        ClearDragState();
        ShowCursor(kCursorIdle);
        if (op == kRotateOperation && view)
            view->pivot[0] = FLT_MAX;
        ::ReleaseCapture();
        result = movedFar ? 1 : 0;
        if (movedFar && view)
            view->RequestRedraw(0);
        break;
    case kZoomOperation:
    case kZoomRectOperation:
    {
        if (camera)
        {
            camera->ClearInteractionPoint();
            camera->SetInteracting(false);
        }
        ::ReleaseCapture();
        ClearDragState();
        ShowCursor(kCursorIdle);
        if (op == kZoomRectOperation)
        {
            const RECT zoomTo = rect;
            rect = RECT{0, 0, 0, 0};
            if (view)
                view->ZoomToRectangle(zoomTo);
        }
        if (view)
            view->RequestRedraw(0);
        break;
    }
    default: break;
    }
    if (CanEnd())
        RequestEnd(view);
    return result;
}

BOOL CUIM_RotateTranslate::OnMouseLeave(WPARAM, LPARAM, C3DView*)
{
    moved = 0;
    return 0;
}

BOOL CUIM_RotateTranslate::OnKeyDown(UINT key, UINT, UINT, C3DView*)
{
    if (key == VK_CONTROL && operation == kRotateOperation)
        ShowCursor(rotateCtrlCursor);
    return 0;
}

BOOL CUIM_RotateTranslate::OnKeyUp(UINT key, UINT, UINT, C3DView* view)
{
    if (key == VK_CONTROL && operation == kRotateOperation)
    {
        ShowCursor(rotateCursor);
        if (view)
            view->RequestRedraw(0);
    }
    return 0;
}

void CUIM_RotateTranslate::OnActivate(C3DView*)
{
    ClearDragState();
    ShowCursor(kCursorIdle);
}

BOOL CUIM_RotateTranslate::OnDeactivate(C3DView* view)
{
    if (operation != kNoOperation)
    {
        if (view && view->GetCamera())
            view->GetCamera()->SetInteracting(false);
        if (view && ::GetCapture() == view->GetSafeHwnd())
            ::ReleaseCapture();
    }
    ClearDragState();
    return 1;
}

int CUIM_RotateTranslate::OnSetCursor(C3DView*, UINT, UINT)
{
    if (operation == kNoOperation && FixedCursor() != 0)
        return static_cast<int>(FixedCursor());
    return static_cast<int>(cursorId);
}

BOOL CUIM_RotateTranslate::IsDragging()
{
    return operation != kNoOperation && moved && (lastPoint.x != pressPoint.x || lastPoint.y != pressPoint.y);
}

CUIM_Rotate::CUIM_Rotate(std::uint32_t id, std::uint32_t temporary) : CUIM_RotateTranslate(id, temporary)
{
    leftOperation = middleOperation = rightOperation = kRotateOperation;
}

CUIM_Translate::CUIM_Translate(std::uint32_t id, std::uint32_t temporary) : CUIM_RotateTranslate(id, temporary)
{
    leftOperation = middleOperation = rightOperation = kTranslateOperation;
}

CUIM_Zoom::CUIM_Zoom(std::uint32_t id, std::uint32_t temporary) : CUIM_RotateTranslate(id, temporary)
{
    leftOperation = middleOperation = rightOperation = kZoomOperation;
}

CUIM_ZoomRect::CUIM_ZoomRect(std::uint32_t id, std::uint32_t temporary)
    : CUIM_RotateTranslate(id, temporary, kCursorZoomRect)
{
    leftOperation = kZoomRectOperation;
    GdipCreatePen1(0xFFFFFFFF, 2.0f, UnitPixel, &widePen);
    GdipCreatePen1(0xFFFFFFFF, 1.0f, UnitPixel, &thinPen);
    GdipCreateSolidFill(kFillColour, &fill);
}

CUIM_ZoomRect::~CUIM_ZoomRect()
{
    if (widePen)
        GdipDeletePen(widePen);
    if (thinPen)
        GdipDeletePen(thinPen);
    if (fill)
        GdipDeleteBrush(reinterpret_cast<GpBrush*>(fill));
}

void CUIM_ZoomRect::DrawOverlay(GpGraphics* graphics, C3DView* view)
{
    if (!graphics || rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    const INT w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (fill)
        GdipFillRectangleI(graphics, reinterpret_cast<GpBrush*>(fill), rect.left, rect.top, w, h);
    if (widePen)
        GdipDrawRectangleI(graphics, widePen, rect.left, rect.top, w, h);
    if (w >= 11 && h >= 11 && thinPen)
    {
        const INT cx = rect.left + w / 2, cy = rect.top + h / 2;
        GdipDrawLineI(graphics, thinPen, cx - 5, cy, cx + 5, cy);
        GdipDrawLineI(graphics, thinPen, cx, cy - 5, cx, cy + 5);
    }
    if (view && view->GetRenderer())
        if (cGDIGraphicsLayer* layer = view->GetRenderer()->GetGDILayer(view->GetClientWidth(), view->GetClientHeight()))
        {
            RECT dirty = rect;
            ::InflateRect(&dirty, 1, 1);
            layer->GetCollector().AddRect(dirty);
        }
}

BOOL CUIM_ZoomRect::OnDeactivate(C3DView* view)
{
    CUIM_RotateTranslate::OnDeactivate(view);
    if (view)
    {
        if (view->GetCamera())
            view->GetCamera()->SetInteracting(false);
        ShowCursor(kCursorIdle);
        rect = RECT{0, 0, 0, 0};
        view->RequestRedraw(0);
    }
    return 1;
}
