// Host scripts aim clicks where a user aims them. A plug-in view that lets
// the user draw on a plane of its own (a sketch) answers this registered
// message while it does: lParam points to the request, whose plane point
// (in that plane's own coordinates) it turns into the client pixel where
// the point shows. A request marked `world` gives a point of the scene
// instead (x, y, z), which the view first takes straight onto the plane,
// along its normal. The answer is nonzero when it did.
#pragma once

#include "platform/win32/types.h"

inline constexpr const wchar_t* kScriptPlanePointMessage = L"DezazScript_PlanePointToClient";

struct stScriptPlanePoint
{
    double x = 0.0, y = 0.0, z = 0.0;
    bool world = false;
    POINT client{0, 0};
};
