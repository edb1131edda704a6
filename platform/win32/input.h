// Input: keyboard focus, mouse capture, leave tracking, key state, cursors,
// monitors, and the injection of mouse and key input by tests and the host's
// scripts (the key state that GetAsyncKeyState reports follows that input).
#pragma once

#include "platform/win32/message.h"
#include "platform/win32/types.h"

VTL_DECLARE_HANDLE(HMONITOR);

// Virtual keys.
inline constexpr BYTE VK_LBUTTON = 0x01;
inline constexpr BYTE VK_RBUTTON = 0x02;
inline constexpr BYTE VK_CANCEL = 0x03;
inline constexpr BYTE VK_MBUTTON = 0x04;
inline constexpr BYTE VK_BACK = 0x08;
inline constexpr BYTE VK_TAB = 0x09;
inline constexpr BYTE VK_RETURN = 0x0D;
inline constexpr BYTE VK_SHIFT = 0x10;
inline constexpr BYTE VK_CONTROL = 0x11;
inline constexpr BYTE VK_MENU = 0x12;
inline constexpr BYTE VK_PAUSE = 0x13;
inline constexpr BYTE VK_CAPITAL = 0x14;
inline constexpr BYTE VK_ESCAPE = 0x1B;
inline constexpr BYTE VK_SPACE = 0x20;
inline constexpr BYTE VK_PRIOR = 0x21;
inline constexpr BYTE VK_NEXT = 0x22;
inline constexpr BYTE VK_END = 0x23;
inline constexpr BYTE VK_HOME = 0x24;
inline constexpr BYTE VK_LEFT = 0x25;
inline constexpr BYTE VK_UP = 0x26;
inline constexpr BYTE VK_RIGHT = 0x27;
inline constexpr BYTE VK_DOWN = 0x28;
inline constexpr BYTE VK_INSERT = 0x2D;
inline constexpr BYTE VK_DELETE = 0x2E;
inline constexpr BYTE VK_NUMPAD0 = 0x60;
inline constexpr BYTE VK_MULTIPLY = 0x6A;
inline constexpr BYTE VK_ADD = 0x6B;
inline constexpr BYTE VK_SUBTRACT = 0x6D;
inline constexpr BYTE VK_DECIMAL = 0x6E;
inline constexpr BYTE VK_DIVIDE = 0x6F;
inline constexpr BYTE VK_F1 = 0x70;
inline constexpr BYTE VK_F10 = 0x79;
inline constexpr BYTE VK_F12 = 0x7B;
inline constexpr BYTE VK_LSHIFT = 0xA0;
inline constexpr BYTE VK_RSHIFT = 0xA1;
inline constexpr BYTE VK_LCONTROL = 0xA2;
inline constexpr BYTE VK_RCONTROL = 0xA3;
inline constexpr BYTE VK_LMENU = 0xA4;
inline constexpr BYTE VK_RMENU = 0xA5;

// Key and button flags of mouse messages.
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;

// Focus and activation. SetFocus sends WM_KILLFOCUS to the window that loses
// the focus before WM_SETFOCUS to the one that gets it.
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND hwnd);

// Mouse capture: while set, injected mouse input goes to the capturing window.
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();

inline constexpr DWORD TME_HOVER = 0x00000001;
inline constexpr DWORD TME_LEAVE = 0x00000002;
inline constexpr DWORD TME_NONCLIENT = 0x00000010;
inline constexpr DWORD TME_QUERY = 0x40000000;
inline constexpr DWORD TME_CANCEL = 0x80000000;
inline constexpr DWORD HOVER_DEFAULT = 0xFFFFFFFF;
struct TRACKMOUSEEVENT
{
    DWORD cbSize;
    DWORD dwFlags;
    HWND hwndTrack;
    DWORD dwHoverTime;
};
// One WM_MOUSELEAVE is posted per arming, when the cursor leaves the window
// (at once when it is not over the window when armed).
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);

// Key state: the high bit (value < 0) means down, the low bit toggled.
// GetKeyState follows the input this thread has taken from its queue,
// GetAsyncKeyState the input injected so far.
SHORT GetKeyState(int vk);
SHORT GetAsyncKeyState(int vk);

// Cursors. System cursors are identified by their ids; module cursors by
// their resource ids (see win32::RegisterCursorResource).
inline constexpr ULONG_PTR IDC_ARROW_ID = 32512;
#define IDC_ARROW MAKEINTRESOURCEW(32512)
#define IDC_IBEAM MAKEINTRESOURCEW(32513)
#define IDC_WAIT MAKEINTRESOURCEW(32514)
#define IDC_CROSS MAKEINTRESOURCEW(32515)
#define IDC_UPARROW MAKEINTRESOURCEW(32516)
#define IDC_SIZENWSE MAKEINTRESOURCEW(32642)
#define IDC_SIZENESW MAKEINTRESOURCEW(32643)
#define IDC_SIZEWE MAKEINTRESOURCEW(32644)
#define IDC_SIZENS MAKEINTRESOURCEW(32645)
#define IDC_SIZEALL MAKEINTRESOURCEW(32646)
#define IDC_NO MAKEINTRESOURCEW(32648)
#define IDC_HAND MAKEINTRESOURCEW(32649)
#define IDC_APPSTARTING MAKEINTRESOURCEW(32650)
#define IDC_HELP MAKEINTRESOURCEW(32651)
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
BOOL DestroyCursor(HCURSOR cursor);
BOOL GetCursorPos(POINT* point);
// Moves the pointer; like a real pointer move, a WM_MOUSEMOVE follows at the
// new place (posted to the window under it, or to the capture).
BOOL SetCursorPos(int x, int y);

// Monitors.
inline constexpr DWORD MONITOR_DEFAULTTONULL = 0;
inline constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 1;
inline constexpr DWORD MONITOR_DEFAULTTONEAREST = 2;
inline constexpr DWORD MONITORINFOF_PRIMARY = 1;
struct MONITORINFO
{
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
};
HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags);
HMONITOR MonitorFromPoint(POINT point, DWORD flags);
HMONITOR MonitorFromRect(const RECT* rect, DWORD flags);
BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info);

namespace win32
{

// Cursor resources of a module (the resource layer registers them).
void RegisterCursorResource(HINSTANCE module, ULONG_PTR id);

// What a cursor handle stands for, for tests: a system cursor or a module's
// cursor resource, with its id (0 for an unknown handle).
struct CursorInfo
{
    bool system = false;
    HINSTANCE module = nullptr;
    ULONG_PTR id = 0;
};
CursorInfo DescribeCursor(HCURSOR cursor);

// Replaces the monitor layout (screen rectangles; the first is primary). The
// default is one 1920 x 1080 monitor whose work area leaves 40 pixels at the
// bottom.
struct Monitor
{
    RECT area;
    RECT work;
};
void SetMonitors(const std::vector<Monitor>& monitors);

// Injected input. Mouse input goes to the capture window, else to the window
// under the screen point, as the button's messages with client coordinates and
// the MK_* flags of the current key state; a second press of the same button
// within the double-click time and distance becomes a double click for a
// class with CS_DBLCLKS. Key input goes to the focus window (WM_SYSKEYDOWN
// while Alt is down). Each returns false when no window takes the input.
bool InjectMouseMove(POINT screen);
bool InjectMouseButton(UINT message, POINT screen); // WM_LBUTTONDOWN ... WM_MBUTTONUP
bool InjectMouseWheel(POINT screen, int delta);
bool InjectKey(BYTE vk, bool down);
// Sets a key's state directly (both the synchronous and the asynchronous
// state), for tests that send messages instead of injecting input.
void SetKeyDown(BYTE vk, bool down);
// Everything up, pointer at (0, 0), no click history.
void ResetInputState();

} // namespace win32
