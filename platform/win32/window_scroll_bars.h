// The scroll bars of windows with WS_VSCROLL or WS_HSCROLL: they sit beside
// the client area, outside every window image, so the screen's composition
// draws them from the window's scroll information; presses on them become
// WM_NCLBUTTONDOWN, which the default window procedure turns into
// WM_VSCROLL and WM_HSCROLL (arrows, track, thumb drags). Not part of the
// platform's interface.
#pragma once

#include "platform/win32/message.h"
#include "platform/win32/scroll_bar.h"
#include "platform/win32/window.h"

namespace win32::detail
{

// The bar (SB_VERT or SB_HORZ) in screen coordinates; empty when the
// window does not show it.
RECT WindowScrollBarRect(HWND hwnd, int bar);

// HTVSCROLL or HTHSCROLL for a screen point on a bar, else HTNOWHERE.
LRESULT ScrollBarHitTest(HWND hwnd, POINT screen);

// The default handling of the non-client mouse messages on a bar; false
// for any other message.
bool HandleScrollBarMouse(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Mouse input on a bar, and every move and release while a thumb is being
// dragged, reaches the window as the non-client message a real screen
// gives (hit code in wParam, screen point in lParam).
void TranslateScrollBarInput(MSG& msg, LRESULT hit);

// Draws the window's bars into an image whose origin is root's client
// origin.
void DrawWindowScrollBars(HWND hwnd, HWND root, ClientImage& out);

} // namespace win32::detail
