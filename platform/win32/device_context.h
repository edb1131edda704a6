// Device contexts. A window has one device context for its whole life (the
// same handle from every GetDC and BeginPaint), drawing into the window's
// client image; its drawing state goes back to the defaults at each GetDC and
// BeginPaint unless the class has CS_OWNDC. Memory contexts draw into the
// bitmap selected into them. The screen's context (GetDC(nullptr)) only
// answers device queries and makes compatible objects.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HWND WindowFromDC(HDC dc);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);

inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;
int GetDeviceCaps(HDC dc, int index);

// Selected objects: returns the previous object of that kind (null on error).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
inline constexpr UINT OBJ_PEN = 1;
inline constexpr UINT OBJ_BRUSH = 2;
inline constexpr UINT OBJ_FONT = 6;
inline constexpr UINT OBJ_BITMAP = 7;
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int saved); // negative: relative to the latest

// Text state.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);

// Clipping: one rectangle per context (regions contribute their bounding
// box). ERROR 0, NULLREGION 1, SIMPLEREGION 2 as in gdi.h.
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int SelectClipRgn(HDC dc, HRGN region); // null: no clipping
int GetClipBox(HDC dc, RECT* box);

// The logical origin: drawing at (x, y) lands at (x - org.x, y - org.y).
BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous);

namespace win32
{

bool IsDeviceContext(HDC dc);

// The pixels a context draws into: the window's client image or the selected
// bitmap's pixels (0xAARRGGBB, rows top-down, stride = width). Null pixels
// when there is nothing to draw into. Valid until the target is resized or
// freed; for the calling thread's drawing only.
struct DeviceSurface
{
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
};
DeviceSurface SurfaceOfDC(HDC dc);

} // namespace win32
