// Copies a host mesh into the program's triangle mesh: the host's vertices
// welded within kImportMergeTolerance, its triangles as they are and each
// quad a, b, c, d as the triangles (a, b, c) and (a, c, d).
#pragma once

#include <cstdint>

#include "core/mesh.h"
#include "platform/geometry/mesh.h"

class cMeshObject;
class cThreadPool;

// Adds the vertices of every face (welded through the merge index) and the
// face's triangles, skipping triangles that collapse to a repeated vertex and
// faces with an index outside the host's vertices; then runs Update. Returns
// the number of triangles added. The mesh scene object's import attaches the
// per-triangle colour bytes afterwards. The pool, when given, shares the
// search for vertices that weld at all and the welding of the faces (the
// same vertices and triangles, in the same order, as without it).
std::uint32_t AddHostMeshFaces(cMesh& mesh, const ON_Mesh& host, cThreadPool* pool = nullptr);

// The import of a host mesh into a mesh scene object: its mesh is built as
// above, and when the mesh then has triangles the object's
// "TriangleColoursProperty" is got or created and sized to one zero byte per
// triangle (a mesh without triangles gets no property). Returns the number of
// triangles added.
std::uint32_t AddHostMeshFaces(cMeshObject& object, const ON_Mesh& host, cThreadPool* pool = nullptr);
