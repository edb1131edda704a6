#include "platform/win32/window_scroll_bars.h"

#include "platform/win32/gdi_objects.h"
#include "platform/win32/input.h"
#include "platform/win32/window_internal.h"

#include <algorithm>

namespace win32::detail
{

namespace
{

// The thumb being dragged: its window and bar, and where along the bar the
// press took it (pointer coordinate less the thumb's leading edge).
struct ThumbDrag
{
    HWND hwnd = nullptr;
    int bar = SB_VERT;
    int grab = 0;
};

thread_local ThumbDrag t_drag;

bool Shows(HWND hwnd, int bar)
{
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    return (style & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)) != 0;
}

SCROLLINFO InfoOf(HWND hwnd, int bar)
{
    SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd, bar, &info);
    return info;
}

ScrollBarParts ScreenParts(HWND hwnd, int bar)
{
    return LayOutScrollBar(WindowScrollBarRect(hwnd, bar), bar == SB_VERT, InfoOf(hwnd, bar));
}

int Coordinate(const ScrollBarParts& parts, POINT p)
{
    return parts.vertical ? p.y : p.x;
}

int ThumbStart(const ScrollBarParts& parts)
{
    return parts.vertical ? parts.thumb.top : parts.thumb.left;
}

UINT ScrollMessage(int bar)
{
    return bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
}

void EndDrag()
{
    const HWND hwnd = t_drag.hwnd;
    t_drag = ThumbDrag{};
    if (hwnd && GetCapture() == hwnd)
        ReleaseCapture();
}

} // namespace

RECT WindowScrollBarRect(HWND hwnd, int bar)
{
    if (!IsWindow(hwnd) || (bar != SB_VERT && bar != SB_HORZ) || !Shows(hwnd, bar))
        return RECT{0, 0, 0, 0};
    RECT client{};
    GetClientRect(hwnd, &client);
    POINT o{0, 0};
    ClientToScreen(hwnd, &o);
    if (bar == SB_VERT)
        return RECT{o.x + client.right, o.y, o.x + client.right + kScrollBarThickness, o.y + client.bottom};
    return RECT{o.x, o.y + client.bottom, o.x + client.right, o.y + client.bottom + kScrollBarThickness};
}

LRESULT ScrollBarHitTest(HWND hwnd, POINT screen)
{
    for (const int bar : {SB_VERT, SB_HORZ})
    {
        const RECT r = WindowScrollBarRect(hwnd, bar);
        if (PtInRect(&r, screen))
            return bar == SB_VERT ? HTVSCROLL : HTHSCROLL;
    }
    return HTNOWHERE;
}

bool HandleScrollBarMouse(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message)
    {
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    {
        if (wParam != static_cast<WPARAM>(HTVSCROLL) && wParam != static_cast<WPARAM>(HTHSCROLL))
            return false;
        const int bar = wParam == static_cast<WPARAM>(HTVSCROLL) ? SB_VERT : SB_HORZ;
        const ScrollBarParts parts = ScreenParts(hwnd, bar);
        const int part = ScrollBarPartAt(parts, p);
        if (part < 0)
            return true;
        if (part == SB_THUMBTRACK)
        {
            SetScrollTrackPos(hwnd, bar, InfoOf(hwnd, bar).nPos);
            t_drag = ThumbDrag{hwnd, bar, Coordinate(parts, p) - ThumbStart(parts)};
            SetCapture(hwnd);
            return true;
        }
        SendMessageW(hwnd, ScrollMessage(bar), MAKEWPARAM(static_cast<WORD>(part), 0), 0);
        if (IsWindow(hwnd))
            SendMessageW(hwnd, ScrollMessage(bar), MAKEWPARAM(SB_ENDSCROLL, 0), 0);
        return true;
    }
    case WM_NCMOUSEMOVE:
    {
        if (t_drag.hwnd != hwnd)
            return false;
        const int bar = t_drag.bar;
        const SCROLLINFO info = InfoOf(hwnd, bar);
        const ScrollBarParts parts = ScreenParts(hwnd, bar);
        const int pos = ScrollPosForThumb(parts, info, Coordinate(parts, p) - t_drag.grab);
        if (pos != info.nTrackPos)
        {
            SetScrollTrackPos(hwnd, bar, pos);
            SendMessageW(hwnd, ScrollMessage(bar), MAKEWPARAM(SB_THUMBTRACK, static_cast<WORD>(pos)), 0);
        }
        return true;
    }
    case WM_NCLBUTTONUP:
    {
        if (t_drag.hwnd != hwnd)
            return false;
        const int bar = t_drag.bar;
        EndDrag();
        const int pos = InfoOf(hwnd, bar).nTrackPos;
        SendMessageW(hwnd, ScrollMessage(bar), MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(pos)), 0);
        if (IsWindow(hwnd))
            SendMessageW(hwnd, ScrollMessage(bar), MAKEWPARAM(SB_ENDSCROLL, 0), 0);
        return true;
    }
    default:
        return false;
    }
}

void TranslateScrollBarInput(MSG& msg, LRESULT hit)
{
    UINT nonClient = 0;
    switch (msg.message)
    {
    case WM_MOUSEMOVE: nonClient = WM_NCMOUSEMOVE; break;
    case WM_LBUTTONDOWN: nonClient = WM_NCLBUTTONDOWN; break;
    case WM_LBUTTONDBLCLK: nonClient = WM_NCLBUTTONDBLCLK; break;
    case WM_LBUTTONUP: nonClient = WM_NCLBUTTONUP; break;
    default: return;
    }
    // A drag whose window went or lost the mouse is over.
    if (t_drag.hwnd && (!IsWindow(t_drag.hwnd) || GetCapture() != t_drag.hwnd))
        t_drag = ThumbDrag{};
    if (t_drag.hwnd && t_drag.hwnd == msg.hwnd)
        hit = t_drag.bar == SB_VERT ? HTVSCROLL : HTHSCROLL;
    else if (hit != HTVSCROLL && hit != HTHSCROLL)
        return;
    msg.message = nonClient;
    msg.wParam = static_cast<WPARAM>(hit);
    msg.lParam = MAKELPARAM(msg.pt.x, msg.pt.y);
}

void DrawWindowScrollBars(HWND hwnd, HWND root, ClientImage& out)
{
    for (const int bar : {SB_VERT, SB_HORZ})
    {
        RECT r = WindowScrollBarRect(hwnd, bar);
        if (IsRectEmpty(&r))
            continue;
        MapWindowPoints(nullptr, root, reinterpret_cast<POINT*>(&r), 2);
        const int w = r.right - r.left, h = r.bottom - r.top;
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateBitmap(w, h, 1, 32, nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        DrawScrollBar(dc, LayOutScrollBar(RECT{0, 0, w, h}, bar == SB_VERT, InfoOf(hwnd, bar)));
        const DeviceSurface surface = SurfaceOfDC(dc);
        for (int y = 0; surface.pixels && y < std::min(h, surface.height); ++y)
            for (int x = 0; x < std::min(w, surface.width); ++x)
            {
                const LONG tx = r.left + x, ty = r.top + y;
                if (tx >= 0 && ty >= 0 && tx < out.width && ty < out.height)
                    out.pixels[static_cast<std::size_t>(ty) * out.width + tx] =
                        surface.pixels[static_cast<std::size_t>(y) * surface.width + x] | 0xFF000000u;
            }
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
}

} // namespace win32::detail
