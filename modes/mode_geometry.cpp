#include "modes/mode_geometry.h"

#include "platform/win32/window.h"

#include <cfloat>
#include <cmath>

POINT SnapPointToScreenAxis(POINT anchor, POINT point, double tolerance)
{
    double dx = double(point.x) - anchor.x;
    double dy = double(point.y) - anchor.y;
    const double manhattan = std::fabs(dx) + std::fabs(dy);
    if (manhattan < FLT_EPSILON)
        return point;
    const double length = std::sqrt(dx * dx + dy * dy);
    dx /= length;
    dy /= length;
    if (1.0 - std::fabs(dx) < tolerance)
        return POINT{point.x, anchor.y};
    if (1.0 - std::fabs(dy) < tolerance)
        return POINT{anchor.x, point.y};
    return point;
}

double ClosestPointOnSegment(const float p[3], const float a[3], const float b[3], float closest[3], double* distance)
{
    const double d[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double length2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    auto distanceTo = [&](const float q[3])
    {
        const double e[3] = {double(p[0]) - q[0], double(p[1]) - q[1], double(p[2]) - q[2]};
        return std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
    };
    auto take = [&](const float q[3])
    {
        closest[0] = q[0];
        closest[1] = q[1];
        closest[2] = q[2];
        if (distance)
            *distance = distanceTo(q);
    };
    if (length2 <= double(1e-6f))
    {
        take(a);
        return 0.0;
    }
    const double t = ((double(p[0]) - a[0]) * d[0] + (double(p[1]) - a[1]) * d[1] + (double(p[2]) - a[2]) * d[2]) /
                     length2;
    if (t > 0.0 && t <= 1.0)
    {
        const float q[3] = {float(a[0] + t * d[0]), float(a[1] + t * d[1]), float(a[2] + t * d[2])};
        take(q);
    }
    else
        take(t > 1.0 ? b : a);
    return t;
}

POINT WindowPointOnScreen(HWND window, POINT inWindow)
{
    if (window)
        ::ClientToScreen(window, &inWindow);
    return inWindow;
}

POINT ScreenPointInWindow(HWND window, POINT onScreen)
{
    if (window)
        ::ScreenToClient(window, &onScreen);
    return onScreen;
}
