// Small meshes with tagged regions for the shape tests.
#pragma once

#include "core/mesh.h"

#include <cstdint>
#include <functional>
#include <memory>

// A grid of nx by ny quads (two triangles each) over the xy rectangle
// [x0, x0 + nx * step] x [y0, y0 + ny * step] at height z, linked. Triangle
// 2 * (j * nx + i) and the next one make up quad (i, j).
std::unique_ptr<cMesh> MakeGridMesh(int nx, int ny, double step, double x0 = 0.0, double y0 = 0.0,
                                    double z = 0.0);

// A closed band around the z axis: `around` quads round, `along` quads up,
// radius r, from height z0 to z0 + along * step. Quad (i, j) is triangles
// 2 * (j * around + i) and the next one.
std::unique_ptr<cMesh> MakeCylinderMesh(int around, int along, double r, double step, double z0 = 0.0);

// Gives every triangle the tag the function returns for its quad (i, j).
void TagQuads(cMesh& mesh, int nx, const std::function<std::uint32_t(int i, int j)>& tagOf);
