// Device contexts of windows. A window has one device context for its whole
// life (the same handle from every GetDC), as GL windows keep their own; the
// screen's context (GetDC(nullptr)) only answers device queries.
#pragma once

#include "platform/win32/types.h"

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HWND WindowFromDC(HDC dc);

inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;

int GetDeviceCaps(HDC dc, int index);
