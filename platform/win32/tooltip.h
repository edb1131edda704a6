// Tooltip windows: a small top-most popup that shows a tool's text after the
// pointer has rested over the tool for the initial delay (timed by the clock
// of clock.h, so tests drive it by hand), and hides again when the pointer
// leaves the tool, a button is pressed, or the pop-up time runs out. The
// owner relays its mouse messages (TTM_RELAYEVENT); nothing is subclassed.
// While shown, the window's text is the tip it shows.
#pragma once

#include "platform/win32/types.h"
#include "platform/win32/message.h"
#include "platform/win32/window.h"

inline constexpr const wchar_t* TOOLTIPS_CLASSW = L"tooltips_class32";

inline constexpr DWORD TTS_ALWAYSTIP = 0x01;
inline constexpr DWORD TTS_NOPREFIX = 0x02;

inline constexpr UINT TTF_IDISHWND = 0x0001;
inline constexpr UINT TTF_SUBCLASS = 0x0010;

inline constexpr WPARAM TTDT_AUTOMATIC = 0;
inline constexpr WPARAM TTDT_RESHOW = 1;
inline constexpr WPARAM TTDT_AUTOPOP = 2;
inline constexpr WPARAM TTDT_INITIAL = 3;

inline constexpr UINT TTM_ACTIVATE = WM_USER + 1;
inline constexpr UINT TTM_SETDELAYTIME = WM_USER + 3;
inline constexpr UINT TTM_RELAYEVENT = WM_USER + 7;
inline constexpr UINT TTM_GETTOOLCOUNT = WM_USER + 13;
inline constexpr UINT TTM_SETMAXTIPWIDTH = WM_USER + 24;
inline constexpr UINT TTM_GETMAXTIPWIDTH = WM_USER + 25;
inline constexpr UINT TTM_POP = WM_USER + 28;
inline constexpr UINT TTM_ADDTOOLW = WM_USER + 50;
inline constexpr UINT TTM_DELTOOLW = WM_USER + 51;
inline constexpr UINT TTM_UPDATETIPTEXTW = WM_USER + 57;

// A tool: a window (TTF_IDISHWND, uId is the window) or a rectangle of the
// client area of hwnd. The text is copied; a resource id is looked up in the
// string table of hinst.
struct TOOLINFOW
{
    UINT cbSize;
    UINT uFlags;
    HWND hwnd;
    UINT_PTR uId;
    RECT rect;
    HINSTANCE hinst;
    LPWSTR lpszText;
    LPARAM lParam;
};
