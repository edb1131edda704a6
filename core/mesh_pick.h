// Screen-space queries on a mesh for the views and modes: the surface point
// under the cursor, the nearest vertex, and the mean of the vertices inside
// a window. A view's projection maps a world point p to the screen by its
// 3x4 transform applied to p - origin: rows 0 and 1 give the screen x and y,
// row 2 the depth, which grows towards the viewer.
#pragma once

#include "core/scene_object.h"

#include <cstdint>

class cMesh;

// Vertex flag bits that the queries honour.
inline constexpr std::uint32_t kVertexHiddenFromPicks = 1;   // also from averages
inline constexpr std::uint32_t kVertexSelected = 2;
inline constexpr std::uint32_t kVertexHiddenFromAverage = 8;

// Among the triangles that are not hidden and face the viewer, the one under
// (x, y) nearest to the viewer gives the hit: the point on it under the
// cursor, its normal and the own index of its first vertex. The no-hit
// record when none lies under the point. *triangle (when given) receives the
// hit triangle's index, or stays untouched.
void PickMeshSurface(stHitRecord& hit, cMesh& mesh, float x, float y, const double transform[12],
                     const t3DPoint<float>& origin, std::uint32_t* triangle = nullptr);

// The vertex nearest to (x, y) within radius pixels (vertices facing away
// only with backFacing); of two at the same screen distance the first in
// index order stays unless the second lies nearer the viewer. False when no
// vertex is that close.
bool PickNearestMeshVertex(cMesh& mesh, float x, float y, const stScreenProjection& view, bool backFacing,
                           float radius, stHitRecord& hit);

// Mean position of the vertices whose screen position lies within
// [-halfWidth, halfWidth] x [-halfHeight, halfHeight]; the invalid point
// when none does.
t3DPoint<float> AverageMeshPointInWindow(cMesh& mesh, const stScreenProjection& view, float halfWidth,
                                         float halfHeight);
