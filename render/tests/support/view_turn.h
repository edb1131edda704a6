// Turning a 3D view's camera away from where a test put it, as the rotate
// navigation does: about the screen's axes, the pan kept.
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

} // namespace testview
