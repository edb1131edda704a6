// Small geometric helpers of the interaction modes. The others of their
// family live with the data they work on: AngleBetweenVectors
// (core/vector_math.h), BuildFrameFromAxes (core/frame_math.h),
// TriangleCrossProduct (core/mesh_triangle.h), cMesh::ClearTriangleFlag4,
// tPolyline::AddFloatPoint and the overlay's cAreaCollector
// (render/area_collector.h).
#pragma once

#include "platform/win32/types.h"

// The cosine tolerances of the two axis snaps: about 4.4 degrees for points
// drawn on the mesh, about 1.8 degrees for the section-plane line.
inline constexpr double kDrawPointAxisTolerance = 0.003;
inline constexpr double kScreenLineAxisTolerance = 0.0005;

// The point snapped onto the horizontal, then the vertical, through the
// anchor when the direction anchor -> point lies within the cosine
// tolerance of that axis (coordinates truncated toward zero); else the point
// itself. A point on the anchor stays.
POINT SnapPointToScreenAxis(POINT anchor, POINT point, double tolerance);
inline POINT SnapDrawPointToAxis(POINT anchor, POINT point)
{
    return SnapPointToScreenAxis(anchor, point, kDrawPointAxisTolerance);
}
inline POINT SnapScreenLineToAxis(POINT p0, POINT p1)
{
    return SnapPointToScreenAxis(p0, p1, kScreenLineAxisTolerance);
}

// A point of a window's pixels kept on the screen, and read back in the
// window's pixels: a dialog maximised or moved under a still cursor moves
// the window's pixels under it, so a press or a drag's last point is kept on
// the screen. Without a window the point stays as it is.
POINT WindowPointOnScreen(HWND window, POINT inWindow);
POINT ScreenPointInWindow(HWND window, POINT onScreen);

// The point of segment a-b nearest to p and its distance. Returns the
// unclamped parameter t of p's projection on the line (0 for a segment
// shorter than 1e-3, whose nearest point is a).
double ClosestPointOnSegment(const float p[3], const float a[3], const float b[3], float closest[3], double* distance);
