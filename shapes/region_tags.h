// Region tags of the reference mesh: a triangle carries a 24-bit tag in the
// low three bytes of its colour word (0xFFFFFF: untagged). A shape remembers
// the regions it was fitted to by one seed triangle per tag.
#pragma once

#include <cstdint>

struct cMeshTriangle;
class cMesh;
class ST_IGeometry;

// Depth-first over the neighbour links from the start triangle through the
// triangles of its tag: each one reached gets `value` in the top byte of its
// colour word; one whose flag byte already holds every bit of `mask` is not
// expanded, the others get the mask and push their same-tag neighbours.
// Nothing happens for a null or untagged start.
void FloodRegionTag(cMeshTriangle* start, std::uint8_t value, std::uint8_t mask);

// Appends the triangle index to the geometry's seeds unless a seed already
// names a triangle of the same tag. Indices outside the mesh (seeds from a
// document whose mesh has changed since) name no triangle: such a new index
// is not added, and such an old seed matches nothing. True when appended.
bool AddRegionSeed(ST_IGeometry& geometry, const cMesh& mesh, std::uint32_t triangle);
