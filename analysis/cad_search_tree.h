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

#include <array>
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

// The first edge code of cCADSearchTree::MeasureFace's features.
inline constexpr std::uint8_t kFirstEdgeFeature = 5;

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
    // Models of 512 units and more keep the plain 2.0 rule...
    static constexpr int kMinimumSplitLevels = 8;
    // ...up to this many levels below the root cube: past 2048 units the
    // limit is the root edge / 2^levels, so that a face never enters more
    // than about 2^levels leaves along its length.
    static constexpr int kMaximumSplitLevels = 10;
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
    // Faces at the same distance go to the one met first in the tree's
    // depth-first order (octants in order, faces in insertion order) among
    // the leaves within the start distance |d| (by box), however the search
    // walked.
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

    // The face's signed distance and closest point, or FLT_MAX when its
    // plane lies farther than `bound`. A quad is its two triangles (A, B, C)
    // and (A, C, D); ties go to the second.
    // `feature`, when given, receives where on the face the closest point
    // lies: 0 inside, 1 + k at corner k, kFirstEdgeFeature + slot on an edge
    // (slots: AB, BC, then CA for a triangle; AB, BC, CD, DA, AC for a quad).
    static double MeasureFace(const cInspectionFace& face, const float point[3], double bound, double closest[3],
                              std::uint8_t* feature = nullptr);

private:
    // What measuring a face reads, in one record: its corners (a triangle
    // repeats C), its normal, and for a quad the unit normal of (A, C, D).
    struct stFaceGeometry
    {
        float corner[4][3];
        float normal[3];
        float secondNormal[3] = {0, 0, 0};
        bool quad = false;
    };
    static stFaceGeometry GeometryOf(const cInspectionFace& face);
    static double MeasureGeometry(const stFaceGeometry& face, const float point[3], double bound, double closest[3],
                                  std::uint8_t* feature);

    static constexpr std::uint32_t kNotPacked = 0xFFFFFFFFu;
    static constexpr std::uint32_t kRankUnknown = 0xFFFFFFFEu;
    static constexpr std::uint32_t kGroupSize = 8;

    struct stGroupBox
    {
        float box[6];
    };
    // An inner node's children that hold faces, with their content boxes
    // side by side (the node's groupFirst gives its table).
    struct stChildTable
    {
        float low[3][8];
        float high[3][8];
        // Inner child: its table and kInnerChild; leaf: its packed range and
        // its run boxes.
        std::uint32_t first[8];
        std::uint32_t packedCount[8];
        std::uint32_t groupFirst[8];
        int count = 0;
    };
    static constexpr std::uint32_t kInnerChild = 0xFFFFFFFFu;

    // A face as a leaf scan reads it: its box beside the record, so that
    // the scan rejects most faces without touching their records.
    struct stPackedFace
    {
        float box[6];
        const cInspectionFace* face;
    };

    // Per face: where its corners' and edges' pseudo-normals are kept
    // (kNoNormal: none, such as the edge of a corner repeated).
    struct stFaceSign
    {
        std::uint32_t corner[4];
        std::uint32_t edge[5];
    };
    static constexpr std::uint32_t kNoNormal = 0xFFFFFFFFu;

    // One closest-face search: the best so far and, once a tie asked for it,
    // its tie rank.
    struct stFaceSearch
    {
        const float* point = nullptr;
        double p[3] = {0, 0, 0};
        std::uint64_t serial = 0; // this thread's count of searches
        double startAbs = 0.0;
        double bestAbs = 0.0;
        double bestD = 0.0;
        std::uint32_t bestRank = kRankUnknown;
        const cInspectionFace* best = nullptr;
        std::uint8_t bestFeature = 0;
        double closest[3] = {0, 0, 0};
    };

    // Copies every leaf's bucket into m_packed, leaves in depth-first order.
    // False when there is no memory for it.
    bool PackLeaves();
    // Every node's content box: its faces' boxes within its voxel (leaves),
    // its children's content boxes together (inner nodes). The search
    // prunes by it: no face part inside a node lies outside it. Then every
    // inner node's child table. False when there is no memory for them.
    bool SetContentBoxes();
    // Boxes of runs of kGroupSize packed entries of every leaf, in order.
    void SetGroupBoxes();
    void SearchTable(std::uint32_t index, stFaceSearch& search) const;
    void SearchLeaf(std::uint32_t packedFirst, std::uint32_t packedCount, std::uint32_t groupFirst,
                    stFaceSearch& search) const;
    // Welds the faces' corners by position and sums the pseudo-normals of
    // corners (angle-weighted face normals) and edges (their faces'
    // normals). False when there is no memory for it.
    bool BuildPseudoNormals();
    // The found distance, signed by the pseudo-normal of the corner or edge
    // the closest point lies on, or as measured inside a face.
    double SignAtFeature(const stFaceSearch& search) const;
    // The face's first entry in depth-first order whose leaf, grown by the
    // search's start distance on every side, holds the point: where a walk
    // of the octants in order, pruned by that cube, meets the face first.
    // kNotPacked when none.
    std::uint32_t TieRank(const cInspectionFace& face, const float point[3], double distance) const;
    // The squared reach of a search radius: a box farther than this holds
    // nothing within the radius.
    double Reach(double r) const
    {
        const double reach = r * (1.0 + 1e-9) + m_reachSlack;
        return reach * reach;
    }

    tHostPointKDTree m_vertexTree;
    tFaceOcTree m_faceTree;
    std::vector<cInspectionFace> m_faces;
    std::vector<stFaceGeometry> m_geometry; // beside m_faces
    std::vector<stPackedFace> m_packed;
    // The leaf of every packed entry, and every face's entries in rank order
    // (the entries of face f are m_faceEntryRank[m_faceEntryFirst[f] ..
    // m_faceEntryFirst[f + 1]]).
    std::vector<const tFaceOcTree::Node*> m_packedLeaf;
    std::vector<stGroupBox> m_groupBoxes;
    std::vector<stChildTable> m_childTables;
    std::vector<std::uint32_t> m_faceEntryFirst;
    std::vector<std::uint32_t> m_faceEntryRank;
    double m_reachSlack = 0.0;
    std::vector<stFaceSign> m_faceSigns;
    std::vector<std::array<float, 3>> m_cornerNormals;
    std::vector<std::array<float, 3>> m_edgeNormals;
};
