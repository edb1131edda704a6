// The magic wand of the shapes dialog: from a seed triangle the selection
// state of the seed spreads over neighbours whose normals turn by less than
// the crease angle, and the crease angle's two controls (a slider of 0..100
// and an edit in degrees, 0..8).
#pragma once

#include <cstdint>

class cMesh;
struct cMeshTriangle;
struct stTriangleFlagBlocks;

inline constexpr float kMaxCreaseAngle = 8.0f;
// The crease angle before any was saved.
inline constexpr float kDefaultCreaseAngle = 1.0f;
inline constexpr int kCreaseSliderMax = 100;

// A crease angle from the registry or the edit brought into 0..8 degrees;
// NaN becomes the default.
float ClampCreaseAngle(double degrees);
// Slider position of an angle (angle x 12.5, truncated) and the angle of a
// position (position x 8 / 100), both clamped to their ranges.
int CreaseAngleToSlider(double degrees);
float SliderToCreaseAngle(int position);

// Gives the seed's selection state (selected: bit 0 set and not hidden) to
// the seed and every visible triangle reachable from it across edges whose
// two normals make an angle below the crease angle (dot product in doubles
// strictly above its cosine); hidden triangles stop the spread. Vertex bit 1
// afterwards marks exactly the vertices of selected visible triangles.
// Returns the number of triangles reached (0 for a null or hidden seed).
// Every triangle's scratch bit is clear afterwards.
// A saveBit (none of bits 0 to 2) is set, before the fill, on exactly the
// triangles then selected and visible: the undo's save of the selection,
// made in the pass the fill makes over every triangle first. seen, when it
// is of this mesh and nothing wrote its flags since, spares that pass the
// blocks of triangles it shows to need nothing.
std::uint32_t GrowMagicWandSelection(cMesh& mesh, cMeshTriangle* seed, double creaseDegrees, std::uint8_t saveBit = 0,
                                     const stTriangleFlagBlocks* seen = nullptr);

// Whether the triangle record is one of the mesh's.
bool MeshHoldsTriangle(cMesh& mesh, const cMeshTriangle* triangle);

// Every triangle selected (bit 0) with every vertex marked (bit 1), or
// neither.
void SelectAllTriangles(cMesh& mesh);
void DeselectAllTriangles(cMesh& mesh);
// Sets the scratch bit (value 4) on every triangle.
void SetTriangleFlag4(cMesh& mesh);
