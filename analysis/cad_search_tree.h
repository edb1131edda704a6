// The CAD side of a deviation run: the render meshes of the surfaces (or the
// meshes of one fitted shape) in two search structures. A k-d tree of their
// vertices gives a cheap upper bound of a point's distance; an octree of
// their faces gives the exact closest face. Built once per run on the
// user-interface thread, then read without locks by every worker job, and
// cleared after the run.
#pragma once

#include "analysis/bucket_octree.h"
#include "core/host_point_search_tree.h"
#include "core/progress.h"
#include "platform/geometry/mesh.h"

#include <cstdint>
#include <vector>

struct CADPointerToTriangleFPointComparator
{
    // One face of a CAD mesh as the octree keeps it.
    struct cInspectionFace
    {
        const ON_Mesh* mesh = nullptr;
        const ON_MeshFace* face = nullptr; // a triangle repeats its third index
        // (B - A) x (C - A), unit length unless |x| + |y| + |z| < FLT_EPSILON.
        // Distances are signed by it.
        float normal[3] = {0, 0, 0};
        float box[6] = {0, 0, 0, 0, 0, 0}; // of the four corners

        const float* Corner(int k) const { return &mesh->m_V[face->vi[k]].x; }
        bool IsQuad() const { return face->vi[2] != face->vi[3]; }
    };

    // A triangle is tested as itself, a quad as (A, B, C) and (A, C, D).
    bool IntersectsVoxel(const cInspectionFace* face, const cUnitVoxel& voxel) const;
    // Same bounding box: duplicated faces, which no split separates.
    bool HaveSameExtent(const cInspectionFace* a, const cInspectionFace* b) const;
};
using cInspectionFace = CADPointerToTriangleFPointComparator::cInspectionFace;

using tFaceOcTree = tBucketOcTreeEx<cInspectionFace*, CADPointerToTriangleFPointComparator>;

class cCADSearchTree
{
public:
    // A leaf takes this many faces before the next one splits it.
    static constexpr std::uint32_t kFaceBucketMaximum = 25;
    // Leaves whose edge is not above this (model units) are never split...
    static constexpr float kMinimumVoxelEdge = 2.0f;
    // ...unless the model is so small that this would leave fewer levels than
    // this below the root cube: then the limit is the root edge / 2^levels.
    // Models of 512 units and more keep the plain 2.0 rule.
    static constexpr int kMinimumSplitLevels = 8;
    // Every side of the vertices' box is moved out by this (model units), so
    // that even a single point has a cube.
    static constexpr float kRootCubeMargin = 0.01f;

    cCADSearchTree() = default;
    virtual ~cCADSearchTree() = default;
    cCADSearchTree(const cCADSearchTree&) = delete;
    cCADSearchTree& operator=(const cCADSearchTree&) = delete;

    // Empties the vertex tree and fills it with every finite vertex of every
    // non-null mesh, meshes in array order.
    void BuildVertexTree(const std::vector<const ON_Mesh*>& meshes);
    // Empties the face tree and fills it with every usable face of every
    // non-null mesh. Faces with an index outside their mesh's vertices or a
    // corner that is not finite are left out. An empty tree results when no
    // vertex has a finite position.
    void BuildFaceTree(const std::vector<const ON_Mesh*>& meshes, IProcProgress* progress);

    // The CAD vertex nearest to the point strictly within radius (radius
    // becomes its distance), or null. Safe to call from several threads.
    const ON_3fPoint* NearestVertex(const float point[3], double& radius) const
    {
        return m_vertexTree.FindNearest(point, radius);
    }

    // The face with the smallest |distance| below |d| under `node` (the root
    // for a whole search): d becomes its signed distance and `closest` its
    // closest point. Null, d and closest untouched, when there is none.
    const cInspectionFace* ClosestFace(const tFaceOcTree::Node* node, const float point[3], double& d,
                                       double closest[3]) const;
    const cInspectionFace* ClosestFace(const float point[3], double& d, double closest[3]) const
    {
        return ClosestFace(m_faceTree.GetRoot(), point, d, closest);
    }

    // Empties both trees and the face records.
    void Clear();

    // Whether a pass has something to search: a vertex tree with elements and
    // a face tree with a root.
    bool IsSearchable() const;

    const tHostPointKDTree& GetVertexTree() const { return m_vertexTree; }
    const tFaceOcTree& GetFaceTree() const { return m_faceTree; }
    std::uint32_t GetFaceCount() const { return static_cast<std::uint32_t>(m_faces.size()); }

private:
    // A face as a leaf scan reads it: its box beside the record, so that
    // the scan rejects most faces without touching their records.
    struct stPackedFace
    {
        float box[6];
        const cInspectionFace* face;
    };

    // Copies every leaf's bucket into m_packed (leaf by leaf).
    void PackLeaves();
    // The face's signed distance and closest point, or FLT_MAX.
    static double MeasureFace(const cInspectionFace& face, const float point[3], double bound, double closest[3]);

    tHostPointKDTree m_vertexTree;
    tFaceOcTree m_faceTree;
    std::vector<cInspectionFace> m_faces;
    std::vector<stPackedFace> m_packed;
};
