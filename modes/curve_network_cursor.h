// What the network mode's mouse handlers ask about the cursor: the segment
// of a curve's nodes nearest to it on the screen, the point of a curve under
// it, and the mesh point under it.
//
// The cursor comes as a view-plane point (the renderer's ScreenToWorld);
// world points are seen through the view transform about the scene centre,
// as the renderer's camera draws them. The view plane is a uniform scale of
// the window, so nearest on it is nearest on the screen.
#pragma once

#include "core/section_curve.h"
#include "core/vertex.h"

#include <cstdint>

class cMesh;
class cMeshSampleProjector;

// The index of the segment of the curve's nodes (node i to node i + 1)
// nearest to the cursor on the screen, the first of equal distances; -1 for
// a curve of fewer than two nodes.
std::int32_t FindSegmentAtCursor(const ST_ISectionCurve& curve, float cursorX, float cursorY, const double view[12],
                                 const float centre[3]);

// The point of the curve whose screen image is nearest to the cursor: the
// curve's wire sampled to the tolerance (the world length of one pixel), the
// nearest sample segment on the screen (the first of equal distances, those
// of no screen length left out), and the point on that segment in space at
// the fraction of the foot point on its image. x is FLT_MAX (flag bit 0 set)
// when the curve gives no segment.
cVertex PointOnCurveAtCursor(const ST_ISectionCurve& curve, float cursorX, float cursorY, const double view[12],
                             const float centre[3], double tolerance);

// The mesh point under the cursor, as PickMeshPointUnderCursor finds it,
// through the projector's index; x is FLT_MAX (flag bit 0 set) off the mesh.
cVertex MeshPointAtCursor(cMeshSampleProjector& projector, const cMesh* mesh, float cursorX, float cursorY,
                          const double view[12], const float centre[3]);
