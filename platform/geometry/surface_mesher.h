// Render meshes of surfaces: a grid in the parameter domain whose density
// follows how far the normal turns along each direction.
#pragma once

class ON_Mesh;
class ON_MeshParameters;
class ON_Surface;

// Counts of quads along s and t that the parameters ask for; false for an
// invalid surface or invalid parameters.
bool ON_SurfaceMeshGrid(const ON_Surface& surface, const ON_MeshParameters& mp, int* s_count, int* t_count);

// A new mesh (owned by the caller) with vertex normals; quads, and triangles
// where an edge of a grid cell collapses to a point (poles). Faces are
// oriented along D_s x D_t, reversed when `reverse`. Null when the surface
// cannot be evaluated.
ON_Mesh* ON_MeshSurface(const ON_Surface& surface, const ON_MeshParameters& mp, bool reverse = false);
