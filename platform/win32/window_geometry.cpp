// Window geometry: coordinates, position and z-order, show state and the
// enabled state.
#include "platform/win32/controls.h"
#include "platform/win32/gdi.h"
#include "platform/win32/window_internal.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <string_view>

using namespace win32::detail;

// ---------------------------------------------------------- coordinates

BOOL GetClientRect(HWND hwnd, RECT* rect)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w || !rect)
    {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = ClientRectLocked(*w);
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w || !rect)
    {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    POINT o = WindowOriginLocked(*w);
    *rect = {o.x, o.y, o.x + Width(w->rect), o.y + Height(w->rect)};
    return TRUE;
}

namespace
{

// Moves the point by the window's client origin (sign +1 to the screen, -1 from it).
BOOL ShiftByClientOrigin(HWND hwnd, POINT* point, LONG sign)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w || !point)
        return FALSE;
    POINT o = ClientOriginLocked(*w);
    point->x += sign * o.x;
    point->y += sign * o.y;
    return TRUE;
}

} // namespace

BOOL ScreenToClient(HWND hwnd, POINT* point) { return ShiftByClientOrigin(hwnd, point, -1); }
BOOL ClientToScreen(HWND hwnd, POINT* point) { return ShiftByClientOrigin(hwnd, point, +1); }

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count)
{
    POINT a{0, 0}, b{0, 0};
    if ((from && !ClientToScreen(from, &a)) || (to && !ClientToScreen(to, &b)))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i)
    {
        points[i].x += dx;
        points[i].y += dy;
    }
    return static_cast<int>(MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy)));
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle)
{
    if (!rect)
        return FALSE;
    RECT in = NonClientInsets(style, exStyle);
    rect->left -= in.left;
    rect->top -= in.top + (menu ? 20 : 0);
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE;
}

namespace
{

// A group box only frames the controls laid over it: it answers the hit test
// as transparent, so the pointer reaches the control or dialog beneath.
bool IsGroupBoxLocked(const WindowRecord& w)
{
    if (!w.cls || (w.style & BS_TYPEMASK) != BS_GROUPBOX)
        return false;
    const std::wstring_view button = WC_BUTTONW;
    return std::equal(w.cls->name.begin(), w.cls->name.end(), button.begin(), button.end(),
                      [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); });
}

HWND DeepestChildAtLocked(const std::shared_ptr<WindowRecord>& w, POINT screen)
{
    for (HWND c : w->children)
    {
        auto cw = FindLocked(c);
        if (!cw || !(cw->style & WS_VISIBLE) || IsGroupBoxLocked(*cw))
            continue;
        POINT o = WindowOriginLocked(*cw);
        RECT r{o.x, o.y, o.x + Width(cw->rect), o.y + Height(cw->rect)};
        if (PtInRect(&r, screen))
            return DeepestChildAtLocked(cw, screen);
    }
    return w->handle;
}

} // namespace

HWND WindowFromPoint(POINT screenPoint)
{
    std::lock_guard<std::mutex> guard(TableLock());
    for (HWND h : TopLevelOrder())
    {
        auto w = FindLocked(h);
        if (!w || !(w->style & WS_VISIBLE))
            continue;
        RECT r = w->rect;
        if (PtInRect(&r, screenPoint))
            return DeepestChildAtLocked(w, screenPoint);
    }
    return nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT clientPoint)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(parent);
    if (!w)
        return nullptr;
    RECT client = ClientRectLocked(*w);
    if (!PtInRect(&client, clientPoint))
        return nullptr;
    for (HWND c : w->children)
        if (auto cw = FindLocked(c); cw && PtInRect(&cw->rect, clientPoint))
            return c;
    return parent;
}

// ------------------------------------------------------ position, z-order

namespace
{

void ApplyZOrderLocked(WindowRecord& w, HWND insertAfter)
{
    std::vector<HWND>* siblings = &TopLevelOrder();
    if (w.parent)
        if (auto p = FindLocked(w.parent))
            siblings = &p->children;
    std::erase(*siblings, w.handle);
    if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST)
        siblings->insert(siblings->begin(), w.handle);
    else if (insertAfter == HWND_BOTTOM)
        siblings->push_back(w.handle);
    else
    {
        auto it = std::find(siblings->begin(), siblings->end(), insertAfter);
        siblings->insert(it == siblings->end() ? siblings->end() : it + 1, w.handle);
    }
    if (insertAfter == HWND_TOPMOST)
        w.exStyle |= WS_EX_TOPMOST;
    else if (insertAfter == HWND_NOTOPMOST)
        w.exStyle &= ~WS_EX_TOPMOST;
}

constexpr UINT SWP_NOCLIENTSIZE = 0x0800; // internal: the client size did not change
constexpr UINT SWP_NOCLIENTMOVE = 0x1000; // internal: the client origin did not move

} // namespace

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    if (!IsWindow(hwnd))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    WINDOWPOS wp{hwnd, insertAfter, x, y, cx, cy, flags};
    if (!(flags & SWP_NOSENDCHANGING))
        SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    bool imageChanged = false;
    bool sizeChanged = false, moved = false, shown = false;
    LONG imageW = 0, imageH = 0;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        auto w = FindLocked(hwnd);
        if (!w)
            return FALSE;
        RECT oldClient = ClientRectLocked(*w);
        POINT oldOrigin = ClientOriginLocked(*w);
        RECT r = w->rect;
        if (!(wp.flags & SWP_NOMOVE))
            r = {wp.x, wp.y, wp.x + Width(r), wp.y + Height(r)};
        if (!(wp.flags & SWP_NOSIZE))
            r = {r.left, r.top, r.left + std::max(0, wp.cx), r.top + std::max(0, wp.cy)};
        w->rect = r;
        if (!(wp.flags & SWP_NOZORDER))
            ApplyZOrderLocked(*w, wp.hwndInsertAfter);
        if (wp.flags & SWP_SHOWWINDOW)
        {
            shown = !(w->style & WS_VISIBLE);
            w->style |= WS_VISIBLE;
        }
        if (wp.flags & SWP_HIDEWINDOW)
            w->style &= ~WS_VISIBLE;
        RECT newClient = ClientRectLocked(*w);
        POINT newOrigin = ClientOriginLocked(*w);
        sizeChanged = newClient.right != oldClient.right || newClient.bottom != oldClient.bottom;
        moved = newOrigin.x != oldOrigin.x || newOrigin.y != oldOrigin.y;
        imageChanged = FitImageLocked(*w);
        imageW = w->image.width;
        imageH = w->image.height;
        wp.x = r.left;
        wp.y = r.top;
        wp.cx = Width(r);
        wp.cy = Height(r);
    }
    if (imageChanged)
        NotifySizeChanged(hwnd, imageW, imageH);
    // A window that comes into view is painted whole, erased first, as
    // ShowWindow does: nothing was ever drawn into its image otherwise.
    if (shown || (sizeChanged && !(flags & SWP_NOREDRAW)))
        InvalidateRect(hwnd, nullptr, TRUE);
    if (!sizeChanged)
        wp.flags |= SWP_NOCLIENTSIZE;
    if (!moved)
        wp.flags |= SWP_NOCLIENTMOVE;
    SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd)
{
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

namespace win32::detail
{

// The default window procedure turns a position change into WM_SIZE and
// WM_MOVE, as the window's own handlers expect.
void SendSizeAndMove(HWND hwnd, const WINDOWPOS* wp)
{
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    if (!(wp->flags & SWP_NOCLIENTSIZE))
    {
        RECT c{};
        GetClientRect(hwnd, &c);
        SendMessageW(hwnd, WM_SIZE, SizeType(style), MAKELPARAM(c.right, c.bottom));
    }
    if (!(wp->flags & SWP_NOCLIENTMOVE))
    {
        POINT o{0, 0};
        ClientToScreen(hwnd, &o);
        if (HWND p = (style & WS_CHILD) ? GetParent(hwnd) : nullptr)
            ScreenToClient(p, &o);
        SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(o.x, o.y));
    }
}

} // namespace win32::detail

// ------------------------------------------------------------ show, enable

namespace win32::detail
{
RECT MonitorWorkAreaFor(const RECT& windowRect); // input.cpp
void DropFocusAndCaptureInside(HWND hwnd);       // input.cpp
} // namespace win32::detail

BOOL ShowWindow(HWND hwnd, int command)
{
    auto w = Find(hwnd);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    DWORD style;
    RECT rect;
    HWND parent;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        style = w->style;
        rect = w->rect;
        parent = w->parent;
    }
    const BOOL wasVisible = (style & WS_VISIBLE) ? TRUE : FALSE;
    if (command == SW_HIDE)
    {
        if (!wasVisible)
            return FALSE;
        SendMessageW(hwnd, WM_SHOWWINDOW, FALSE, 0);
        {
            std::lock_guard<std::mutex> guard(TableLock());
            w->style &= ~WS_VISIBLE;
        }
        DropFocusAndCaptureInside(hwnd);
        return TRUE;
    }
    if (!wasVisible)
    {
        SendMessageW(hwnd, WM_SHOWWINDOW, TRUE, 0);
        {
            std::lock_guard<std::mutex> guard(TableLock());
            w->style |= WS_VISIBLE;
        }
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    switch (command)
    {
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        if (!(style & WS_MINIMIZE))
        {
            bool changed;
            LONG iw, ih;
            {
                std::lock_guard<std::mutex> guard(TableLock());
                if (w->style & WS_MAXIMIZE)
                    w->rect = w->restoreRect; // restoring from the icon gives the normal size back
                w->style = (w->style | WS_MINIMIZE) & ~WS_MAXIMIZE;
                changed = FitImageLocked(*w);
                iw = w->image.width;
                ih = w->image.height;
            }
            if (changed)
                NotifySizeChanged(hwnd, iw, ih);
            SendMessageW(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
        }
        break;
    case SW_MAXIMIZE:
        if (!(style & WS_MAXIMIZE))
        {
            RECT area{};
            if (parent)
                GetClientRect(parent, &area);
            else
                area = MonitorWorkAreaFor(rect);
            {
                std::lock_guard<std::mutex> guard(TableLock());
                if (!(w->style & WS_MINIMIZE))
                    w->restoreRect = w->rect;
                w->style = (w->style | WS_MAXIMIZE) & ~WS_MINIMIZE;
            }
            SetWindowPos(hwnd, nullptr, area.left, area.top, Width(area), Height(area), SWP_NOZORDER);
        }
        break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        if (style & (WS_MAXIMIZE | WS_MINIMIZE))
        {
            RECT back;
            {
                std::lock_guard<std::mutex> guard(TableLock());
                back = (w->style & WS_MAXIMIZE) ? w->restoreRect : w->rect;
                w->style &= ~(WS_MAXIMIZE | WS_MINIMIZE);
                w->rect = {0, 0, 0, 0}; // forces the size notification below
                FitImageLocked(*w);
            }
            SetWindowPos(hwnd, nullptr, back.left, back.top, Width(back), Height(back), SWP_NOZORDER);
        }
        break;
    default:
        break;
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    for (; w; w = w->parent ? FindLocked(w->parent) : nullptr)
    {
        if (!(w->style & WS_VISIBLE))
            return FALSE;
        if (!w->parent)
            return TRUE;
    }
    return FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    auto w = Find(hwnd);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool wasDisabled;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
    }
    if (wasDisabled == !enable)
        return wasDisabled ? TRUE : FALSE;
    if (!enable)
        DropFocusAndCaptureInside(hwnd);
    SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w)
        return FALSE;
    std::lock_guard<std::mutex> guard(TableLock());
    return (w->style & WS_DISABLED) ? FALSE : TRUE;
}

BOOL IsIconic(HWND hwnd)
{
    return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_MINIMIZE) ? TRUE : FALSE;
}
BOOL IsZoomed(HWND hwnd)
{
    return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_MAXIMIZE) ? TRUE : FALSE;
}
