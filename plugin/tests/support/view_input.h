// Mouse input for a dialog's 3D view at client points, posted through the
// message queue as the user's would be, which is pumped after each event.
#pragma once

#include "platform/mfc/win_app.h"
#include "platform/win32/input.h"
#include "render/view_3d.h"

namespace viewinput
{

inline void Inject(C3DView* view, UINT message, POINT client)
{
    ::ClientToScreen(view->GetSafeHwnd(), &client);
    if (message == WM_MOUSEMOVE)
        win32::InjectMouseMove(client);
    else
        win32::InjectMouseButton(message, client);
    mfc::PumpUntilIdle();
}

inline void Move(C3DView* view, POINT client)
{
    Inject(view, WM_MOUSEMOVE, client);
}

inline void Click(C3DView* view, POINT client)
{
    Inject(view, WM_MOUSEMOVE, client);
    Inject(view, WM_LBUTTONDOWN, client);
    Inject(view, WM_LBUTTONUP, client);
}

} // namespace viewinput
