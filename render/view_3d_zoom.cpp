// The zooms of the 3D view: the wheel, zoom at a point (instant or animated
// over a few frames while messages keep flowing) and zoom to a rectangle.
#include "render/view_3d.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr double kFrameSeconds = 1.0 / 15.0;
// A zoom in never shrinks the box below this share of its smaller side, so
// the projection never collapses to zero width.
constexpr double kSmallestKeptShare = 0.1;
// Widest and tallest scene box a zoom out may leave, far below the float
// range so that the projections and picks made from the box stay finite.
constexpr double kLargestSceneExtent = 1e30;
// Narrowest scene box a zoom in may leave: a share of the box's distance from
// the origin (hundreds of float steps there) and never below what the
// screen-to-world conversion still scales. A box far out would otherwise
// round to zero width after a few zoom steps, and no zoom out could grow it
// again.
constexpr double kSmallestSceneShare = 1.0 / 16384.0;
constexpr double kSmallestSceneExtent = 1e-6;

bool KeepsSmallestExtent(const float min[3], const float max[3], double width, double height)
{
    const double far = std::max({std::fabs(double(min[0])), std::fabs(double(max[0])), std::fabs(double(min[1])),
                                 std::fabs(double(max[1]))});
    const double smallest = std::max(kSmallestSceneExtent, far * kSmallestSceneShare);
    return width >= smallest && height >= smallest;
}

bool EndsZoomAnimation(const MSG& msg)
{
    switch (msg.message)
    {
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MOUSEWHEEL:
        return true;
    case WM_KEYDOWN:
        return msg.wParam == VK_ADD || msg.wParam == VK_SUBTRACT;
    default:
        return false;
    }
}

} // namespace

BOOL C3DView::OnMouseWheel(UINT flags, short delta, CPoint screen) { return WheelZoom(flags, delta, screen); }

BOOL C3DView::WheelZoom(UINT flags, short delta, POINT screen)
{
    if (reverseWheelZooming)
        delta = static_cast<short>(-delta);
    I3DSceneRenderer* contextRenderer = renderer;
    const bool made = contextRenderer && !contextRenderer->IsCurrent();
    if (made)
        contextRenderer->MakeCurrent();
    struct Restore
    {
        I3DSceneRenderer* renderer;
        bool made;
        const std::uint8_t* alive = nullptr;
        ~Restore()
        {
            if (made && (!alive || *alive))
                renderer->RestoreCurrent();
        }
    } restore{contextRenderer, made};

    // The controls and the mode are offered the wheel once, here.
    if (flags & MK_MBUTTON)
        return RouteMouseWheel(flags, delta, screen);
    {
        DispatchScope scope(*this);
        if (ScreenObjectManager* overlay = GetScreenObjectManager())
            if (overlay->OnMouseWheel(flags, delta, screen, this))
                return 1;
        if (CallActive<BOOL>(0, [&](Mode* m) { return m->OnMouseWheel(flags, delta, screen, this); }))
            return 1;
    }
    if (!camera)
        return static_cast<BOOL>(Default());

    float min[3], max[3];
    camera->GetSceneBox(min, max);
    const double height = static_cast<double>(max[1]) - min[1];
    double amount = (delta > 0 ? 2.0 : -1.0) * height / 5.0;
    if (renderer->IsPerspective())
    {
        double m[12];
        std::copy_n(camera->GetViewTransform(), 12, m);
        m[11] = static_cast<double>(static_cast<float>(m[11])) - amount;
        camera->SetViewTransform(m);
        RequestRedraw(0);
        return 1;
    }
    const double width = static_cast<double>(max[0]) - min[0];
    if (min[0] - amount > max[0] + amount || min[1] - amount > max[1] + amount)
        amount = -std::min(width / 2.0, height / 2.0) * (1.0 - kSmallestKeptShare);

    // A zoom animation pumps messages: the view may be destroyed meanwhile.
    // It clears the byte then, and nothing of it may be touched afterwards.
    std::uint8_t* alive = aliveFlag;
    const bool owner = alive == nullptr;
    if (owner)
    {
        alive = new std::uint8_t(1);
        aliveFlag = alive;
    }
    *alive = 1;
    restore.alive = alive;
    if (animateZooming)
        AnimateZoom(amount, screen);
    else
        ZoomAtPoint(amount, screen);
    const bool stillAlive = *alive != 0;
    if (owner)
    {
        restore.alive = nullptr;
        delete alive;
        if (!stillAlive)
        {
            restore.made = false;
            return 1;
        }
        aliveFlag = nullptr;
    }
    else if (!stillAlive)
    {
        restore.made = false;
        return 1;
    }
    camera->ClearInteractionPoint();
    return 1;
}

bool C3DView::CanGrowSceneBox(double grow) const
{
    if (!camera)
        return false;
    if (grow == 0.0)
        return true;
    float min[3], max[3];
    camera->GetSceneBox(min, max);
    const double aspect = renderer ? *renderer->GetAspect() : 1.0;
    const double width = double(max[0]) - min[0] + 2.0 * grow * aspect;
    const double height = double(max[1]) - min[1] + 2.0 * grow;
    if (grow < 0.0)
        return KeepsSmallestExtent(min, max, width, height);
    return width <= kLargestSceneExtent && height <= kLargestSceneExtent;
}

void C3DView::GrowKeepingPoint(double f, POINT client, float w0x, float w0y, double startX, double startY)
{
    const double aspect = *renderer->GetAspect();
    camera->GrowSceneBox(static_cast<float>(f * aspect), static_cast<float>(f * aspect), static_cast<float>(f),
                         static_cast<float>(f));
    float w1x = 0.0f, w1y = 0.0f;
    renderer->ScreenToWorld(client, &w1x, &w1y);
    camera->SetPan(startX + (static_cast<double>(w1x) - w0x), startY + (static_cast<double>(w1y) - w0y));
}

void C3DView::ZoomAtPoint(double amount, POINT screen)
{
    if ((amount < 0.0 && !CanZoomIn()) || !camera || !CanGrowSceneBox(GetZoomScale() * amount))
        return;
    POINT client = screen;
    ::ScreenToClient(m_hWnd, &client);
    float w0x = 0.0f, w0y = 0.0f;
    renderer->ScreenToWorld(client, &w0x, &w0y);
    const double* t = camera->GetViewTransform();
    GrowKeepingPoint(GetZoomScale() * amount, client, w0x, w0y, t[3], t[7]);
    ApplyProjection();
    RequestRedraw(0);
}

void C3DView::AnimateZoom(double amount, POINT screen)
{
    if ((amount < 0.0 && !CanZoomIn()) || !camera || !CanGrowSceneBox(GetZoomScale() * amount))
        return;
    POINT client = screen;
    ::ScreenToClient(m_hWnd, &client);
    float w0x = 0.0f, w0y = 0.0f;
    renderer->ScreenToWorld(client, &w0x, &w0y);
    float startMin[3], startMax[3];
    camera->GetSceneBox(startMin, startMax);
    const double startX = camera->GetViewTransform()[3], startY = camera->GetViewTransform()[7];

    // Called without the wheel's flag: watch the view's life with our own.
    std::uint8_t localAlive = 1;
    const bool ownFlag = aliveFlag == nullptr;
    if (ownFlag)
        aliveFlag = &localAlive;
    std::uint8_t* alive = aliveFlag;

    const DWORD start = GetTickCount();
    double p = 0.0, t = 0.0;
    bool jumpToEnd = false, closing = false;
    while (p < 99.9 && *alive && !closing)
    {
        double next = jumpToEnd ? 100.0 : std::floor(p + (100.0 - p) / 1.9);
        if (std::fabs(next - p) < 1.0)
            next = 100.0;
        camera->SetSceneBox(startMin, startMax);
        camera->SetPan(startX, startY);
        GrowKeepingPoint(GetZoomScale() * amount * next / 100.0, client, w0x, w0y, startX, startY);
        ApplyProjection();
        renderer->LowerRedrawLevel(0);
        Redraw(0);

        // Frames that drawing overran are skipped; the wait for the next
        // frame's time sleeps instead of spinning on the clock.
        const double elapsed = static_cast<double>(GetTickCount() - start) / 1000.0;
        t += kFrameSeconds;
        while (t <= elapsed)
            t += kFrameSeconds;
        if (next < 100.0)
            ::Sleep(static_cast<DWORD>(std::lround((t - elapsed) * 1000.0)));

        MSG msg;
        while (*alive && ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
        {
            // A close request ends the zoom where it is and stays queued for
            // the loop that closes the window.
            if (msg.message == WM_CLOSE)
            {
                closing = true;
                break;
            }
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
            if (msg.message == WM_MOUSEMOVE)
                continue;
            if (EndsZoomAnimation(msg))
                jumpToEnd = true;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        p = next;
    }
    if (!*alive)
        return; // the view is gone
    if (ownFlag)
        aliveFlag = nullptr;
    if (!closing)
        RequestRedraw(0);
}

void C3DView::ZoomToRectangle(const RECT& rect)
{
    if (!CanZoomIn() || !camera)
        return;
    RECT r{std::min(rect.left, rect.right), std::min(rect.top, rect.bottom), std::max(rect.left, rect.right),
           std::max(rect.top, rect.bottom)};
    if (r.right - r.left <= 4 || r.bottom - r.top <= 4)
        return;
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    auto world = [&](LONG x, LONG y, float out[2]) { renderer->ScreenToWorld(POINT{x, y}, &out[0], &out[1]); };
    float r0[2], r1[2], rc[2], c0[2], c1[2], cc[2];
    world(r.left, r.top, r0);
    world(r.right, r.bottom, r1);
    world((r.left + r.right) / 2, (r.top + r.bottom) / 2, rc);
    world(client.left, client.top, c0);
    world(client.right, client.bottom, c1);
    world((client.left + client.right) / 2, (client.top + client.bottom) / 2, cc);
    const double rw = std::fabs(double(r1[0]) - r0[0]), rh = std::fabs(double(r1[1]) - r0[1]);
    const double cw = std::fabs(double(c1[0]) - c0[0]), ch = std::fabs(double(c1[1]) - c0[1]);
    // A degenerate box has no scale to zoom by.
    if (!(cw > 0.0 && ch > 0.0 && rw > 0.0 && rh > 0.0))
        return;
    float min[3], max[3];
    camera->GetSceneBox(min, max);
    double sx = (1.0 - rw / cw) * (double(max[0]) - min[0]) / 2.0;
    double sy = (1.0 - rh / ch) * (double(max[1]) - min[1]) / 2.0;
    double nminX = min[0] + sx, nmaxX = max[0] - sx, nminY = min[1] + sy, nmaxY = max[1] - sy;
    const double clientAspect = cw / ch;
    if (clientAspect <= rw / rh)
    {
        const double grow = ((nmaxX - nminX) / clientAspect - (nmaxY - nminY)) / 2.0;
        nminY -= grow;
        nmaxY += grow;
    }
    else
    {
        const double grow = ((nmaxY - nminY) * clientAspect - (nmaxX - nminX)) / 2.0;
        nminX -= grow;
        nmaxX += grow;
    }
    const float newMin[3] = {float(nminX), float(nminY), min[2]};
    const float newMax[3] = {float(nmaxX), float(nmaxY), max[2]};
    if (!KeepsSmallestExtent(newMin, newMax, double(newMax[0]) - newMin[0], double(newMax[1]) - newMin[1]))
        return;
    camera->SetSceneBox(newMin, newMax);
    const double* t = camera->GetViewTransform();
    camera->SetPan(t[3] - (double(rc[0]) - cc[0]), t[7] - (double(rc[1]) - cc[1]));
    ApplyProjection();
}
