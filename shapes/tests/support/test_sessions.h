// Sessions filled with distinct shapes and regions for the history and
// document tests, and a mesh scene object over a flat grid with the
// triangle tag property attached.
#pragma once

#include "core/mesh_object.h"
#include "shapes/entities_history.h"
#include "shapes/session_kinds.h"

#include <cstdint>
#include <memory>
#include <vector>

class cMesh;

// The four kinds whose shapes exist, in the factory's order.
inline const GUID kBuiltSessionKinds[4] = {CLSID_CSessionPlane, CLSID_CSessionSymmetryPlane, CLSID_CSessionSphere,
                                           CLSID_CSessionCylinder};

// Gives the session's shape values and `points` region points that depend
// on `seed`.
void FillSession(CSessionSurface& session, int seed, int points);

// The session's region points, x, y, z after one another.
std::vector<float> RegionPointsOf(const CSessionSurface& session);

// A mesh object over an nx x ny grid of unit quads at (x0, y0, z) with the
// tag property attached (one byte per triangle). Quad (i, j) is triangles
// 2 * (j * nx + i) and the next.
std::unique_ptr<cMeshObject> MakeGridMeshObject(int nx, int ny, double step, double x0 = 0.0, double y0 = 0.0,
                                                double z = 0.0);

// Adds a copy of `triangle` moved `radii` region membership radii (at its
// centroid) along a unit direction with three unequal parts, so that every
// coordinate's difference counts.
void AddShiftedTriangleCopy(cMesh& mesh, std::uint32_t triangle, double radii);
