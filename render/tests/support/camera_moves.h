// Moving a 3D view's camera away from where a test put it, the same way
// whatever the user's settings: turning about the screen's axes (the pan
// kept), as the rotate navigation does, and zooming in on the middle, as
// the rectangle zoom does.
#pragma once

#include "core/frame_math.h"
#include "render/base_renderer.h"
#include "render/view_3d.h"

#include <cmath>
#include <utility>

namespace testview
{

// Turns the view about the screen's x axis, then about its y axis (degrees),
// and applies the projection.
inline void TurnView(C3DView* view, double aboutScreenX, double aboutScreenY)
{
    cBase3DRenderer* camera = view->GetCamera();
    double t[12];
    std::copy(camera->GetViewTransform(), camera->GetViewTransform() + 12, t);
    const double x[3] = {1.0, 0.0, 0.0}, y[3] = {0.0, 1.0, 0.0};
    const double pan[3] = {t[3], t[7], t[11]};
    for (const auto& [axis, degrees] : {std::pair{x, aboutScreenX}, std::pair{y, aboutScreenY}})
    {
        double turn[12];
        MakeIdentity3x4(turn);
        RotationMatrixAxisAngle(turn, degrees * M_PI / 180.0, axis);
        MultiplyTransform3x4(turn, t, t);
    }
    t[3] = pan[0], t[7] = pan[1], t[11] = pan[2];
    camera->SetViewTransform(t);
    view->ApplyProjection();
}

// Zooms in so that the middle `fraction` of the client area fills it.
inline void ZoomToMiddle(C3DView* view, double fraction)
{
    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    const LONG w = client.right - client.left, h = client.bottom - client.top;
    const LONG dx = LONG(w * (1.0 - fraction) / 2), dy = LONG(h * (1.0 - fraction) / 2);
    view->ZoomToRectangle(RECT{client.left + dx, client.top + dy, client.right - dx, client.bottom - dy});
}

} // namespace testview
