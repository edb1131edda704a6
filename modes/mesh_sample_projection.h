// Moving the samples of a network curve onto the mesh: each free sample is
// picked through along a direction blended from the normals of the fixed
// nodes around it, exactly as a cursor pick in a view that looks along that
// direction would find it.
//
// A user's scan holds millions of triangles and a curve a few hundred
// samples, so the picks go through a spatial index (cMeshPickIndex) that
// gives the same point, triangle and tie as the scan over every triangle.
// The index is kept between projections and built again when the mesh
// changed (other counts, or another bounding box after a transform).
#pragma once

#include "core/polyline.h"
#include "core/vertex.h"
#include "modes/mesh_pick_index.h"

class cMesh;
struct cMeshTriangle;

// Flag bits of a network node: an empty record, a selected node, a fixed
// node (a joint or a clicked point; the highlight on screen).
inline constexpr std::uint32_t kNetworkNodeEmpty = 1;
inline constexpr std::uint32_t kNetworkNodeSelected = 2;
inline constexpr std::uint32_t kNetworkNodeFixed = 4;

inline bool IsFixedNetworkNode(const cVertex& node)
{
    return (node.flags & kNetworkNodeFixed) != 0 && (node.flags & kNetworkNodeEmpty) == 0;
}

// The view transform of a view that looks along `direction` (the view's z
// axis; unit length expected) with `point` at its origin: the frame from the
// direction (reference: the axis of the direction's smallest component)
// inverted. False for a zero or non-finite direction or point.
bool MakeViewAlongDirection(const float point[3], const float direction[3], double view[12]);

// The mesh point that a pick through `point` along `direction` finds, by the
// scan over every triangle: the reference the projector answers to. Flag bit
// 0 set (x = FLT_MAX) when nothing is hit.
cVertex PickMeshPointAlong(const cMesh& mesh, const float point[3], const float direction[3],
                           const cMeshTriangle** hitTriangle = nullptr);

class cMeshSampleProjector
{
public:
    // As PickMeshPointAlong, through the index (built first when needed).
    cVertex PickAlong(const cMesh& mesh, const float point[3], const float direction[3],
                      const cMeshTriangle** hitTriangle = nullptr);

    // Gives every free node (not fixed, or empty) the normalised sum of the
    // normals of the nearest fixed nodes before and after it, then moves each
    // free node with a non-zero direction to the mesh point picked through
    // it along that direction; a node the pick misses stays. `frame` (3x4,
    // axes in columns) maps the nodes into the mesh's coordinates; null for
    // nodes that already are. Returns the number of nodes moved.
    std::uint32_t ProjectSamplesOnMesh(const cMesh& mesh, tPolyline<cVertex>& samples,
                                       const double frame[12] = nullptr);

    // As PickMeshPointUnderCursor (view-plane point, view transform, scene
    // centre), through the index.
    cVertex PickUnderCursor(const cMesh& mesh, float x, float y, const double view[12], const float centre[3],
                            const cMeshTriangle** hitTriangle = nullptr);

    // Builds the index for the mesh unless it is up to date.
    void Prepare(const cMesh& mesh);
    void Clear();
    const cMeshPickIndex& Index() const { return m_index; }

private:
    cMeshPickIndex m_index;
    float m_box[6] = {0, 0, 0, 0, 0, 0};
};
