// The default window procedure: the side effects that windows rely on when
// they pass a message on (context menus from a right-button release, class
// cursors, mouse activation through the parent chain, text, sizes).
#include "platform/win32/input.h"
#include "platform/win32/window_internal.h"
#include "platform/win32/window_scroll_bars.h"

#include <algorithm>

using namespace win32::detail;

namespace
{

HWND ChildsParent(HWND hwnd)
{
    return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr;
}

LRESULT HitTest(HWND hwnd, LPARAM lParam)
{
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    RECT window{};
    if (!GetWindowRect(hwnd, &window) || !PtInRect(&window, p))
        return HTNOWHERE;
    POINT c = p;
    ScreenToClient(hwnd, &c);
    RECT client{};
    GetClientRect(hwnd, &client);
    if (PtInRect(&client, c))
        return HTCLIENT;
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    if ((style & WS_CAPTION) == WS_CAPTION && c.y < 0)
        return HTCAPTION;
    if (const LRESULT bar = ScrollBarHitTest(hwnd, p); bar != HTNOWHERE)
        return bar;
    return HTBORDER;
}

} // namespace

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_NCCREATE:
    {
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName))
            SetStoredText(hwnd, cs->lpszName);
        return TRUE;
    }
    case WM_SETTEXT:
        SetStoredText(hwnd, reinterpret_cast<LPCWSTR>(lParam));
        return TRUE;
    case WM_GETTEXT:
    {
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!buffer || wParam == 0)
            return 0;
        std::wstring text = StoredText(hwnd);
        std::size_t n = std::min<std::size_t>(text.size(), wParam - 1);
        std::copy_n(text.begin(), n, buffer);
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(StoredText(hwnd).size());
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_PAINT:
    {
        PAINTSTRUCT ps{};
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
    {
        // The drawing layer fills the background; here only the answer is
        // given (erased when the class has a brush).
        WNDCLASSEXW wc{};
        wchar_t name[256];
        if (GetClassNameW(hwnd, name, 256) && GetClassInfoExW(nullptr, name, &wc))
            return wc.hbrBackground ? 1 : 0;
        return 0;
    }
    case WM_WINDOWPOSCHANGED:
        if (lParam)
            SendSizeAndMove(hwnd, reinterpret_cast<const WINDOWPOS*>(lParam));
        return 0;
    case WM_NCHITTEST:
        return HitTest(hwnd, lParam);
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONUP:
        HandleScrollBarMouse(hwnd, message, wParam, lParam);
        return 0;
    case WM_RBUTTONUP:
    {
        // The context menu follows the release, in screen coordinates.
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(hwnd, &p);
        SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(p.x, p.y));
        return 0;
    }
    case WM_CONTEXTMENU:
        if (HWND parent = ChildsParent(hwnd))
            return SendMessageW(parent, WM_CONTEXTMENU, wParam, lParam);
        return 0;
    case WM_MOUSEWHEEL:
        if (HWND parent = ChildsParent(hwnd))
            return SendMessageW(parent, WM_MOUSEWHEEL, wParam, lParam);
        return 0;
    case WM_SETCURSOR:
    {
        if (HWND parent = ChildsParent(hwnd))
            if (SendMessageW(parent, WM_SETCURSOR, wParam, lParam))
                return TRUE;
        if (static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))) != HTCLIENT)
        {
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            return FALSE;
        }
        WNDCLASSEXW wc{};
        wchar_t name[256];
        if (GetClassNameW(hwnd, name, 256) && GetClassInfoExW(nullptr, name, &wc) && wc.hCursor)
            SetCursor(wc.hCursor);
        return FALSE;
    }
    case WM_MOUSEACTIVATE:
        if (HWND parent = ChildsParent(hwnd))
            if (LRESULT r = SendMessageW(parent, WM_MOUSEACTIVATE, wParam, lParam))
                return r;
        return MA_ACTIVATE;
    case WM_SETREDRAW:
    {
        std::lock_guard<std::mutex> guard(TableLock());
        if (auto w = FindLocked(hwnd))
            w->redrawOff = wParam == FALSE;
        return 0;
    }
    case WM_SYSKEYDOWN:
        if (wParam == 0x73 /* F4 */ && (lParam & (1 << 29)))
            PostMessageW(GetAncestor(hwnd, GA_ROOT), WM_CLOSE, 0, 0);
        return 0;
    default:
        return 0;
    }
}
