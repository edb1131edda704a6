// Segmentation by normal angle: a sharpness value per vertex, the marking of
// sharp triangles against a threshold and the removal of small islands. All
// of it works in place on the segmentation dialog's private copy of the mesh:
//
// - vertex value slot (cVertex::extra as a float): the sharpness, 0..100
//   once computed (-FLT_MAX: used by no triangle; FLT_MAX: sharper than the
//   angle limit, before normalisation);
// - vertex flag bit 1: on the vertices of visible selected triangles;
// - triangle flag bit 0: the sharp (selected) mark; bit 1: hidden; bit 2:
//   the walks' scratch mark.
#pragma once

#include "core/mesh.h"
#include "core/progress.h"

#include <atomic>
#include <cstdint>
#include <vector>

// A vertex whose largest normal angle exceeds this (8 degrees) counts as
// sharp outright.
inline constexpr float kSharpAngleLimit = 0.13962634f;
// Values are normalised to 0..this; the dialog's slider has the same range.
inline constexpr double kSegmentationValueScale = 100.0;
// The clean-up's area limit is the square of the largest extent of the
// scene's box / this.
inline constexpr double kCleanUpDivisor = 15.0;
// The vertex flag bit of the vertices of visible selected triangles.
inline constexpr std::uint32_t kVertexFlagInSelection = 2;

// The whole value computation: the largest angle between a vertex normal and
// the normals of the vertices it shares a triangle with; sharper than the
// limit becomes FLT_MAX; then normalised to 0..100 and smoothed once.
void ComputeSegmentationValues(cMesh& mesh);

// The largest of some angles between normals, from their least cosine (as
// CosineBetweenVectors gives them, at most 1): the float their arc cosines
// round to at the most. False where that could be the next float up, the
// arc cosine of the least lying so near below a float's rounding boundary
// that another cosine's, off by an ulp, may round past it: those angles are
// then measured one by one.
bool AngleOfLeastCosine(double least, float& angle);

// Maps the values to 0..scale: the values other than +-FLT_MAX give the
// range, FLT_MAX values become the top and -FLT_MAX values the bottom. When
// those values are all equal there is no range: FLT_MAX values then become
// the top and every other value 0, so sharp vertices stay sharp.
void NormalizeVertexValues(cMesh& mesh, double scale);

// Replaces each value by the mean of its one-ring neighbours' values from
// before the pass (-FLT_MAX ones left out; -FLT_MAX when none is left). A
// vertex that no triangle uses keeps its value.
void SmoothVertexValues(cMesh& mesh, IProcProgress* progress);

// What the marking readies for the clean-up: bit 2 set on every triangle,
// and the visible selected triangles after the marking counted per block of
// kPoolBlock triangles and listed in index order (the list left empty where
// memory for it runs out).
struct stCleanUpReadied
{
    std::vector<std::uint32_t> selectedPerBlock;
    std::vector<std::uint32_t> selected;
};

// What the marking's pass over every triangle does besides the marks.
struct stMarkingAlso
{
    // Flag bits cleared on every triangle.
    std::uint8_t clear = 0;
    // Set when a triangle was visible and selected before the marking (left
    // as it is otherwise).
    bool* wasMarked = nullptr;
    // Where given: the clean-up readied, which RemoveSmallRegions then need
    // not do in passes of its own.
    stCleanUpReadied* cleanUp = nullptr;
};

// Sets triangle bit 0 where all three vertex values exceed the threshold and
// clears it elsewhere; true when at least one triangle is marked.
bool MarkSharpTriangles(cMesh& mesh, float threshold, const stMarkingAlso& also = {});

// The size of the connected region of triangles of the seed's class (1:
// visible and selected, 0: any other) that still carry bit 2, with its area
// when asked. The walk consumes bit 2 of every triangle it counts.
std::uint32_t MeasureTriangleRegion(cMesh& mesh, cMeshTriangle* seed, double* area = nullptr);

// Deselects selected islands and selects unselected islands whose area is at
// most the limit (a limit of 0 or FLT_MAX switches the clean-up off). Bit 2
// is clear on every triangle after it. `readied`, where given, is what
// MarkSharpTriangles readied for it. With
// `refreshVertices` it also leaves the vertex bits as RefreshSelectedVertices
// does, in its last pass over the triangles.
void RemoveSmallRegions(cMesh& mesh, double limit, const stCleanUpReadied* readied = nullptr,
                        bool refreshVertices = false);

// The clean-up's area limit of a scene box: (largest extent / 15)^2, an area,
// so that the same part gives the same regions in any unit and at any
// density of its mesh (0 for a box that is not valid).
double SegmentationAreaLimit(const float box[6]);

// Clears vertex bit 1 everywhere, then sets it on the three vertices of every
// visible selected triangle.
void RefreshSelectedVertices(cMesh& mesh);

// Sets vertex bit 1 on the corners of a visible selected triangle (those in
// the mesh); triangles of several threads may share a corner.
inline void MarkCornersInSelection(cMesh& mesh, const cMeshTriangle& t)
{
    if ((t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) != kTriangleFlagSelected)
        return;
    cVertex* c[3];
    if (mesh.GetCorners(t, c))
        for (cVertex* v : c)
        {
            std::atomic_ref<std::uint32_t> flags(v->flags);
            if ((flags.load(std::memory_order_relaxed) & kVertexFlagInSelection) == 0)
                flags.fetch_or(kVertexFlagInSelection, std::memory_order_relaxed);
        }
}

// Whether a triangle is visible and selected (its class 1).
inline bool IsVisibleSelected(const cMeshTriangle& t)
{
    return (t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) == kTriangleFlagSelected;
}
