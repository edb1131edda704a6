#include "platform/win32/input.h"
#include "platform/win32/clock.h"
#include "platform/win32/window_internal.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

using namespace win32::detail;

namespace
{

struct CursorRecord
{
    win32::CursorInfo info;
};

// State of the one pointer and keyboard that tests drive.
struct InputState
{
    std::mutex lock;
    BYTE asyncKeys[256] = {};
    POINT cursorPos{0, 0};
    HCURSOR current = nullptr;
    std::vector<CursorRecord> cursors; // handle = index * 4 + base
    std::vector<std::pair<HINSTANCE, ULONG_PTR>> moduleCursors;
    std::vector<win32::Monitor> monitors{{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}}};
    HWND capture = nullptr;
    // Double-click history.
    UINT lastDownMessage = 0;
    HWND lastDownWindow = nullptr;
    POINT lastDownPoint{0, 0};
    ULONGLONG lastDownTime = 0;
};

constexpr std::uintptr_t kCursorBase = 0x60010;
constexpr ULONGLONG kDoubleClickTime = 500;
constexpr LONG kDoubleClickDistance = 2;

InputState& Input()
{
    static InputState* state = new InputState;
    return *state;
}

HCURSOR CursorHandleLocked(InputState& s, const win32::CursorInfo& info)
{
    for (std::size_t i = 0; i < s.cursors.size(); ++i)
    {
        const auto& c = s.cursors[i].info;
        if (c.system == info.system && c.module == info.module && c.id == info.id)
            return reinterpret_cast<HCURSOR>(kCursorBase + i * 4);
    }
    s.cursors.push_back({info});
    return reinterpret_cast<HCURSOR>(kCursorBase + (s.cursors.size() - 1) * 4);
}

HWND LiveOrNull(HWND h)
{
    return h && IsWindow(h) ? h : nullptr;
}

WPARAM MouseFlags()
{
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    WPARAM f = 0;
    if (s.asyncKeys[VK_LBUTTON] & 0x80)
        f |= MK_LBUTTON;
    if (s.asyncKeys[VK_RBUTTON] & 0x80)
        f |= MK_RBUTTON;
    if (s.asyncKeys[VK_MBUTTON] & 0x80)
        f |= MK_MBUTTON;
    if (s.asyncKeys[VK_SHIFT] & 0x80)
        f |= MK_SHIFT;
    if (s.asyncKeys[VK_CONTROL] & 0x80)
        f |= MK_CONTROL;
    return f;
}

void SetAsyncKey(BYTE vk, bool down)
{
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    if (down)
    {
        if (!(s.asyncKeys[vk] & 0x80))
            s.asyncKeys[vk] ^= 0x01;
        s.asyncKeys[vk] |= 0x80;
    }
    else
        s.asyncKeys[vk] &= static_cast<BYTE>(~0x80);
}

void SetSyncKey(BYTE vk, bool down)
{
    BYTE* keys = CurrentQueue()->keyState;
    if (down)
    {
        if (!(keys[vk] & 0x80))
            keys[vk] ^= 0x01;
        keys[vk] |= 0x80;
    }
    else
        keys[vk] &= static_cast<BYTE>(~0x80);
}

HWND MouseTarget(POINT screen)
{
    InputState& s = Input();
    HWND capture;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        capture = s.capture;
    }
    if (LiveOrNull(capture))
        return capture;
    HWND h = WindowFromPoint(screen);
    if (h && !IsWindowEnabled(h))
        return nullptr;
    return h;
}

LPARAM ClientPointParam(HWND hwnd, POINT screen)
{
    POINT p = screen;
    ScreenToClient(hwnd, &p);
    return MAKELPARAM(p.x, p.y);
}

// Posts WM_MOUSELEAVE for every armed window the pointer is no longer over.
void CheckLeaves()
{
    InputState& s = Input();
    POINT pos;
    HWND capture;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        pos = s.cursorPos;
        capture = s.capture;
    }
    HWND under = WindowFromPoint(pos);
    std::vector<HWND> left;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        for (const auto& [value, w] : Windows())
            if (w->trackLeave && w->handle != under && w->handle != capture)
            {
                w->trackLeave = false;
                left.push_back(w->handle);
            }
    }
    for (HWND h : left)
        PostMessageW(h, WM_MOUSELEAVE, 0, 0);
}

bool PostMouse(HWND target, UINT message, WPARAM wParam, LPARAM lParam, POINT screen, BYTE vk, bool down)
{
    QueuedMessage m;
    m.msg = MSG{target, message, wParam, lParam, GetTickCount(), screen};
    m.input = true;
    m.vk = vk;
    m.keyDown = down;
    return PostInput(m);
}

void SendActivate(HWND newActive, HWND oldActive, WPARAM how)
{
    if (oldActive && oldActive != newActive)
        SendMessageW(oldActive, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(newActive));
    if (newActive)
        SendMessageW(newActive, WM_ACTIVATE, how, reinterpret_cast<LPARAM>(oldActive));
}

HWND ActivateRoot(HWND hwnd, WPARAM how)
{
    auto q = CurrentQueue();
    HWND root = hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
    HWND old = LiveOrNull(q->active);
    if (root == old)
        return old;
    q->active = root;
    SendActivate(root, old, how);
    return old;
}

} // namespace

// ------------------------------------------------------------------ focus

HWND SetFocus(HWND hwnd)
{
    auto q = CurrentQueue();
    if (hwnd)
    {
        auto w = Find(hwnd);
        if (!w || !OnOwnerThread(*w))
        {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
    }
    HWND old = LiveOrNull(q->focus);
    if (old == hwnd)
        return old;
    if (hwnd)
        ActivateRoot(hwnd, WA_ACTIVE);
    q->focus = nullptr;
    if (old)
    {
        SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
        // A handler that moved the focus itself (taking it back after a failed
        // commit) has the last word.
        if (q->focus)
            return old;
    }
    if (hwnd && IsWindow(hwnd))
    {
        q->focus = hwnd;
        SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
    return old;
}

HWND GetFocus()
{
    return LiveOrNull(CurrentQueue()->focus);
}

HWND SetActiveWindow(HWND hwnd)
{
    if (hwnd && !IsWindow(hwnd))
        return nullptr;
    return ActivateRoot(hwnd, WA_ACTIVE);
}

HWND GetActiveWindow()
{
    return LiveOrNull(CurrentQueue()->active);
}
HWND GetForegroundWindow()
{
    return GetActiveWindow();
}
BOOL SetForegroundWindow(HWND hwnd)
{
    return hwnd && IsWindow(hwnd) && (SetActiveWindow(hwnd), TRUE);
}

// ---------------------------------------------------------------- capture

HWND SetCapture(HWND hwnd)
{
    if (hwnd && !IsWindow(hwnd))
        return nullptr;
    InputState& s = Input();
    HWND old;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        old = LiveOrNull(s.capture) ? s.capture : nullptr;
        s.capture = hwnd;
    }
    CurrentQueue()->capture = hwnd;
    if (old && old != hwnd)
        SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL ReleaseCapture()
{
    InputState& s = Input();
    HWND old;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        old = s.capture;
        s.capture = nullptr;
    }
    CurrentQueue()->capture = nullptr;
    if (LiveOrNull(old))
        SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    CheckLeaves();
    return TRUE;
}

HWND GetCapture()
{
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    return LiveOrNull(s.capture) ? s.capture : nullptr;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track)
{
    if (!track)
        return FALSE;
    if (track->dwFlags & TME_QUERY)
    {
        std::lock_guard<std::mutex> guard(TableLock());
        auto w = FindLocked(track->hwndTrack);
        track->dwFlags = w && w->trackLeave ? TME_LEAVE : 0;
        return TRUE;
    }
    auto w = Find(track->hwndTrack);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!(track->dwFlags & TME_LEAVE))
        return TRUE;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        w->trackLeave = !(track->dwFlags & TME_CANCEL);
    }
    if (!(track->dwFlags & TME_CANCEL))
        CheckLeaves();
    return TRUE;
}

// -------------------------------------------------------------- key state

SHORT GetKeyState(int vk)
{
    if (vk < 0 || vk > 255)
        return 0;
    BYTE k = CurrentQueue()->keyState[vk];
    return static_cast<SHORT>(((k & 0x80) ? 0x8000 : 0) | (k & 0x01));
}

SHORT GetAsyncKeyState(int vk)
{
    if (vk < 0 || vk > 255)
        return 0;
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    return (s.asyncKeys[vk] & 0x80) ? static_cast<SHORT>(0x8000) : 0;
}

// ---------------------------------------------------------------- cursors

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name)
{
    if (!name || !IS_INTRESOURCE(name))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ULONG_PTR id = reinterpret_cast<ULONG_PTR>(name);
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!instance)
    {
        if (id < 32512 || id > 32651)
        {
            SetLastError(1814); // ERROR_RESOURCE_NAME_NOT_FOUND
            return nullptr;
        }
        return CursorHandleLocked(s, {true, nullptr, id});
    }
    for (const auto& [module, cid] : s.moduleCursors)
        if (module == instance && cid == id)
            return CursorHandleLocked(s, {false, instance, id});
    SetLastError(1814); // ERROR_RESOURCE_NAME_NOT_FOUND
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    HCURSOR old = s.current;
    s.current = cursor;
    return old;
}

HCURSOR GetCursor()
{
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.current;
}

BOOL DestroyCursor(HCURSOR)
{
    return TRUE;
} // shared cursors stay loaded, as the real ones do

BOOL GetCursorPos(POINT* point)
{
    if (!point)
        return FALSE;
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    *point = s.cursorPos;
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    win32::InjectMouseMove(POINT{x, y});
    return TRUE;
}

// --------------------------------------------------------------- monitors

HMONITOR MonitorFromRect(const RECT* rect, DWORD flags)
{
    if (!rect)
        return nullptr;
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    std::size_t best = 0;
    long long bestArea = -1;
    long long bestDistance = -1;
    std::size_t nearest = 0;
    for (std::size_t i = 0; i < s.monitors.size(); ++i)
    {
        RECT in{};
        const RECT& a = s.monitors[i].area;
        if (IntersectRect(&in, rect, &a))
        {
            long long area = static_cast<long long>(in.right - in.left) * (in.bottom - in.top);
            if (area > bestArea)
            {
                bestArea = area;
                best = i;
            }
        }
        long long dx = std::max<long long>({0, a.left - rect->right, rect->left - a.right});
        long long dy = std::max<long long>({0, a.top - rect->bottom, rect->top - a.bottom});
        long long d = dx * dx + dy * dy;
        if (bestDistance < 0 || d < bestDistance)
        {
            bestDistance = d;
            nearest = i;
        }
    }
    if (s.monitors.empty())
        return nullptr;
    if (bestArea >= 0)
        return reinterpret_cast<HMONITOR>(best + 1);
    if (flags == MONITOR_DEFAULTTONEAREST)
        return reinterpret_cast<HMONITOR>(nearest + 1);
    if (flags == MONITOR_DEFAULTTOPRIMARY)
        return reinterpret_cast<HMONITOR>(std::uintptr_t{1});
    return nullptr;
}

HMONITOR MonitorFromPoint(POINT point, DWORD flags)
{
    RECT r{point.x, point.y, point.x + 1, point.y + 1};
    return MonitorFromRect(&r, flags);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags)
{
    RECT r{};
    if (!GetWindowRect(hwnd, &r))
        return flags == MONITOR_DEFAULTTONULL ? nullptr : MonitorFromRect(&r, MONITOR_DEFAULTTOPRIMARY);
    if (IsRectEmpty(&r))
        r = {r.left, r.top, r.left + 1, r.top + 1};
    return MonitorFromRect(&r, flags);
}

BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info)
{
    if (!info)
        return FALSE;
    auto index = reinterpret_cast<std::uintptr_t>(monitor);
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    if (index == 0 || index > s.monitors.size())
        return FALSE;
    info->rcMonitor = s.monitors[index - 1].area;
    info->rcWork = s.monitors[index - 1].work;
    info->dwFlags = index == 1 ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
}

// ------------------------------------------------------- internal plumbing

namespace win32::detail
{

RECT MonitorWorkAreaFor(const RECT& windowRect)
{
    MONITORINFO mi{sizeof(MONITORINFO), {}, {}, 0};
    if (GetMonitorInfoW(MonitorFromRect(&windowRect, MONITOR_DEFAULTTONEAREST), &mi))
        return mi.rcWork;
    return RECT{0, 0, 1920, 1040};
}

void DropFocusAndCaptureInside(HWND hwnd)
{
    HWND focus = GetFocus();
    if (focus && (focus == hwnd || IsChild(hwnd, focus)))
        SetFocus(nullptr);
    HWND capture = GetCapture();
    if (capture && (capture == hwnd || IsChild(hwnd, capture)))
        ReleaseCapture();
}

void DestroyWindowSideEffects(HWND hwnd)
{
    auto q = CurrentQueue();
    if (q->focus == hwnd)
    {
        q->focus = nullptr;
        SendMessageW(hwnd, WM_KILLFOCUS, 0, 0);
    }
    if (GetCapture() == hwnd)
        ReleaseCapture();
    if (q->active == hwnd)
        q->active = nullptr;
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.lastDownWindow == hwnd)
        s.lastDownWindow = nullptr;
}

LRESULT BeforeInputDelivered(const QueuedMessage& m)
{
    if (m.vk)
        SetSyncKey(m.vk, m.keyDown);
    UINT msg = m.msg.message;
    HWND hwnd = m.msg.hwnd;
    if (msg < WM_MOUSEFIRST || msg > WM_MOUSELAST || msg == WM_MOUSEWHEEL || !IsWindow(hwnd))
        return HTCLIENT;
    const bool captured = GetCapture() == hwnd;
    LRESULT hit = HTCLIENT;
    if (!captured)
        hit = SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(m.msg.pt.x, m.msg.pt.y));
    const bool press = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN ||
                       msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
    if (press && IsWindow(hwnd))
    {
        HWND root = GetAncestor(hwnd, GA_ROOT);
        if (root != GetActiveWindow())
        {
            LRESULT how = SendMessageW(hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(root),
                                       MAKELPARAM(static_cast<int>(hit), static_cast<int>(msg)));
            if (how != MA_NOACTIVATE && how != MA_NOACTIVATEANDEAT)
                ActivateRoot(root, WA_CLICKACTIVE);
        }
    }
    if (!captured && IsWindow(hwnd))
        SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                     MAKELPARAM(static_cast<int>(hit), static_cast<int>(msg)));
    return hit;
}

wchar_t CharacterForKey(BYTE vk)
{
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    if (vk >= 'A' && vk <= 'Z')
        return static_cast<wchar_t>(shift ? vk : vk - 'A' + 'a');
    if (vk >= '0' && vk <= '9')
        return static_cast<wchar_t>(vk);
    switch (vk)
    {
    case VK_SPACE:
        return L' ';
    case VK_RETURN:
        return L'\r';
    case VK_BACK:
        return L'\b';
    case VK_TAB:
        return L'\t';
    case VK_ESCAPE:
        return 0x1B;
    case VK_DECIMAL:
    case 0xBE:
        return L'.';
    case VK_SUBTRACT:
    case 0xBD:
        return L'-';
    default:
        return 0;
    }
}

} // namespace win32::detail

// --------------------------------------------------------------- injection

namespace win32
{

void RegisterCursorResource(HINSTANCE module, ULONG_PTR id)
{
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    s.moduleCursors.emplace_back(module, id);
}

CursorInfo DescribeCursor(HCURSOR cursor)
{
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    auto v = reinterpret_cast<std::uintptr_t>(cursor);
    if (v < kCursorBase || (v - kCursorBase) % 4 != 0 || (v - kCursorBase) / 4 >= s.cursors.size())
        return {};
    return s.cursors[(v - kCursorBase) / 4].info;
}

void SetMonitors(const std::vector<Monitor>& monitors)
{
    InputState& s = Input();
    std::lock_guard<std::mutex> guard(s.lock);
    s.monitors = monitors;
}

bool InjectMouseMove(POINT screen)
{
    {
        InputState& s = Input();
        std::lock_guard<std::mutex> guard(s.lock);
        s.cursorPos = screen;
    }
    CheckLeaves();
    HWND target = MouseTarget(screen);
    if (!target)
        return false;
    return PostMouse(target, WM_MOUSEMOVE, MouseFlags(), ClientPointParam(target, screen), screen, 0, false);
}

bool InjectMouseButton(UINT message, POINT screen)
{
    BYTE vk;
    bool down;
    switch (message)
    {
    case WM_LBUTTONDOWN:
        vk = VK_LBUTTON, down = true;
        break;
    case WM_LBUTTONUP:
        vk = VK_LBUTTON, down = false;
        break;
    case WM_RBUTTONDOWN:
        vk = VK_RBUTTON, down = true;
        break;
    case WM_RBUTTONUP:
        vk = VK_RBUTTON, down = false;
        break;
    case WM_MBUTTONDOWN:
        vk = VK_MBUTTON, down = true;
        break;
    case WM_MBUTTONUP:
        vk = VK_MBUTTON, down = false;
        break;
    default:
        return false;
    }
    POINT current{};
    GetCursorPos(&current);
    if (current.x != screen.x || current.y != screen.y)
        InjectMouseMove(screen);
    SetAsyncKey(vk, down);
    HWND target = MouseTarget(screen);
    if (!target)
        return false;
    if (down)
    {
        InputState& s = Input();
        ULONGLONG now = GetTickCount64();
        auto w = Find(target);
        const bool dblclks = w && (w->cls->style & CS_DBLCLKS);
        std::lock_guard<std::mutex> guard(s.lock);
        if (dblclks && s.lastDownMessage == message && s.lastDownWindow == target &&
            now - s.lastDownTime <= kDoubleClickTime &&
            std::abs(screen.x - s.lastDownPoint.x) <= kDoubleClickDistance &&
            std::abs(screen.y - s.lastDownPoint.y) <= kDoubleClickDistance)
        {
            message += 2; // WM_xBUTTONDBLCLK
            s.lastDownMessage = 0;
        }
        else
        {
            s.lastDownMessage = message;
            s.lastDownWindow = target;
            s.lastDownPoint = screen;
            s.lastDownTime = now;
        }
    }
    return PostMouse(target, message, MouseFlags(), ClientPointParam(target, screen), screen, vk, down);
}

bool InjectMouseWheel(POINT screen, int delta)
{
    POINT current{};
    GetCursorPos(&current);
    if (current.x != screen.x || current.y != screen.y)
        InjectMouseMove(screen);
    HWND target = MouseTarget(screen);
    if (!target)
        return false;
    return PostMouse(target, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(MouseFlags()), delta),
                     MAKELPARAM(screen.x, screen.y), screen, 0, false);
}

bool InjectKey(BYTE vk, bool down)
{
    SetAsyncKey(vk, down);
    auto q = CurrentQueue();
    HWND target = LiveOrNull(q->focus);
    if (!target)
        target = LiveOrNull(q->active);
    if (!target)
    {
        SetSyncKey(vk, down); // nobody takes it, but the state still follows
        return false;
    }
    const bool alt = (GetAsyncKeyState(VK_MENU) & 0x8000) != 0;
    const bool ctrl = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    const bool sys = (alt && !ctrl) || vk == VK_F10 || vk == VK_MENU;
    UINT message = sys ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    LPARAM lParam = 1;
    if (!down)
        lParam |= static_cast<LPARAM>(0xC0000000u);
    if (alt)
        lParam |= static_cast<LPARAM>(1) << 29;
    QueuedMessage m;
    POINT pos{};
    GetCursorPos(&pos);
    m.msg = MSG{target, message, vk, lParam, GetTickCount(), pos};
    m.input = true;
    m.vk = vk;
    m.keyDown = down;
    return PostInput(m);
}

void SetKeyDown(BYTE vk, bool down)
{
    SetAsyncKey(vk, down);
    SetSyncKey(vk, down);
}

void ResetInputState()
{
    InputState& s = Input();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        std::fill(std::begin(s.asyncKeys), std::end(s.asyncKeys), BYTE{0});
        s.cursorPos = {0, 0};
        s.lastDownMessage = 0;
        s.lastDownWindow = nullptr;
    }
    auto q = CurrentQueue();
    std::fill(std::begin(q->keyState), std::end(q->keyState), BYTE{0});
}

} // namespace win32
