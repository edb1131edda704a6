// The triangle mesh: a point cloud with 56-byte triangle records in a chunked
// array, per-triangle normals and colour labels, area-weighted vertex normals
// and the neighbour links behind the topology queries.
//
// A mesh is filled with AddVertex/AddTriangle and made usable by Update
// (bounding box, normals, neighbour links).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "core/mesh_triangle.h"
#include "core/point_cloud.h"
#include "core/progress.h"
#include "core/topology.h"
#include "core/unwritten_allocator.h"

class cThreadPool;

// {DF93960B-D478-4056-9EB1-2FD5564C089D}
inline constexpr GUID IID_cMesh = {
    0xDF93960B, 0xD478, 0x4056, {0x9E, 0xB1, 0x2F, 0xD5, 0x56, 0x4C, 0x08, 0x9D}};

// One corner of one triangle: where a ring walk stands.
struct stTriangleCorner
{
    cMeshTriangle* triangle = nullptr;
    std::uint8_t corner = 0;
};
using tTriangleCornerDeque = std::deque<stTriangleCorner>;

class cMesh : public cPointCloud, public ITopology
{
public:
    cMesh();
    ~cMesh() override;

    void* NonDelegatingQueryInterface(const GUID& iid) override;

    // Clear, then the topology is invalid.
    void Reset() override;
    // Bounding box, normals with triangle normals, then the neighbour links;
    // reports to the attached progress object and detaches it at the end.
    void Update() override;

    // What Update's first passes over the triangles find (each triangle's
    // normal and area, the vertices' sums of area-weighted normals, how many
    // half-edges each vertex's bucket of links takes), gathered by a builder
    // as it writes a new mesh's triangle records itself, so that Update
    // does not read them all again for it. The builder writes the triangles
    // in runs, each run's after those of the runs before it, a run on one
    // thread in triangle order; the vertices a run owns (no triangle of an
    // earlier run meets them) take their terms at once, in the caches the
    // run has just written them to, and every other corner's term is kept
    // for Update, which adds them run after run. So each vertex still adds
    // its terms in triangle order.
    class cUpdateInPass
    {
    public:
        // For a mesh of `vertices` vertices whose triangle records are about
        // to be written in `runs` runs. Throws std::bad_alloc as new does.
        cUpdateInPass(std::uint32_t vertices, std::size_t runs, cThreadPool* pool);
        ~cUpdateInPass();

        // Triangle i of the run, whose corners' indices are written (valid
        // and distinct) and lie at corner[0..2]: gives it its normal and
        // notes what Update needs of it. owned[k] is corner k's vertex
        // record when the run owns it (written, with its normal and summed
        // area zero, before the run's first triangle there), else null.
        // Once per triangle, each run's in triangle order.
        void Measure(cMeshTriangle& t, std::uint32_t i, std::size_t run, const float* const corner[3],
                     cVertex* const owned[3]);
        // Whether a corner could not be kept for want of memory: Update
        // cannot take the pass then (the plain Update gives the same).
        bool Failed() const { return m_failed.load(std::memory_order_relaxed); }

    private:
        friend class cMesh;
        std::uint32_t m_vertices;
        std::size_t m_runs;
        // The corners whose terms Update adds, per run and range of vertex
        // indices (kDeferredRanges of them), in triangle order.
        struct stDeferredCorner
        {
            std::uint64_t corner; // triangle * 3 + corner
            double area;
        };
        std::vector<std::vector<stDeferredCorner>> m_deferred;
        std::atomic<bool> m_failed{false};
        // Each vertex's count of half-edges at [vertex + 1].
        std::unique_ptr<std::uint32_t[]> m_bucketSizes;
    };
    // Update of a mesh whose every triangle was measured by the pass (no
    // progress object is attached, the pass did not fail): the same box,
    // normals and links.
    void Update(cUpdateInPass& pass);
    // Frees vertices and triangles; the topology is invalid.
    void Clear() override;
    std::unique_ptr<IPointsIterator> CreatePointsIterator() override;
    // Reverses every triangle (FlipTriangle), then recomputes the vertex
    // normals from the flipped triangle normals.
    void FlipNormals() override;
    // The point-cloud transform, then every triangle normal by the rotation
    // part (not renormalised).
    void Transform(const double m[12]) override;

    // Appends a triangle (unlabelled, no neighbours, no normal yet) and
    // returns its record; null, with nothing stored, when two indices are
    // equal or the array cannot grow. Indices are not checked against the
    // vertex count here; every mesh operation skips triangles with an index
    // outside the vertex array.
    cMeshTriangle* AddTriangle(std::uint32_t i0, std::uint32_t i1, std::uint32_t i2);

    std::uint32_t GetTriangleCount() const { return m_triangles.GetCount(); }
    // No range check: callers index below the count.
    cMeshTriangle* GetTriangle(std::uint32_t i) { return &m_triangles[i]; }
    const cMeshTriangle* GetTriangle(std::uint32_t i) const { return &m_triangles[i]; }
    tArray<cMeshTriangle>& GetTriangleArray() { return m_triangles; }
    const tArray<cMeshTriangle>& GetTriangleArray() const { return m_triangles; }

    // Calls f(triangle) for every triangle in index order, a chunk at a time.
    template <class F> void ForEachTriangle(F&& f)
    {
        const std::uint32_t count = m_triangles.GetCount();
        for (std::uint32_t first = 0; first < count; first += kArrayChunkSize)
        {
            cMeshTriangle* chunk = m_triangles.GetChunk(first >> kArrayChunkShift);
            const std::uint32_t n = std::min(kArrayChunkSize, count - first);
            for (std::uint32_t j = 0; j < n; ++j)
                f(chunk[j]);
        }
    }

    // The vertex records of a triangle's corners, or false (outputs untouched)
    // when a corner index lies outside the vertex array.
    bool GetCorners(const cMeshTriangle& triangle, const cVertex* corners[3]) const;
    bool GetCorners(const cMeshTriangle& triangle, cVertex* corners[3]);

    // Reverses the triangle's orientation (swaps corners 1 and 2, negates the
    // normal) and keeps the neighbour links symmetric.
    static void FlipTriangle(cMeshTriangle* triangle);

    // Gives the start triangle's label to every triangle connected to it that
    // is still unlabelled and whose flag byte does not hold every bit of the
    // mask (mask 0 blocks nothing). Returns the region size, counting the
    // start. The start must carry its label already; an unlabelled start
    // spreads nothing and counts 1.
    std::uint32_t LabelConnectedTriangles(cMeshTriangle* start, std::uint8_t mask);
    std::uint32_t GetHighestLabel() const { return m_highestLabel; }

    // Area-weighted vertex normals (each vertex's extra field ends up holding
    // the summed area of its triangles); with triangle normals, those are
    // recomputed first.
    void ComputeNormals(bool withTriangleNormals);

    // Whole-mesh flag edits of the selection tools and surface builders.
    void ClearTriangleFlag4();
    void SetTriangleFlag4();
    // Sets the scratch bit on every triangle of the 24-bit colour and on the
    // flag word of its three vertices.
    void FlagTrianglesByColour(std::uint32_t colour);

    // The three ids handed out at construction (never change).
    std::uint32_t GetId(int k) const { return m_ids[k]; }

    // A progress object for the next Update; Update detaches it.
    void SetProgress(IProcProgress* progress) { m_progress = progress; }
    IProcProgress* GetProgress() const { return m_progress; }

    // Set by the segmentation once it has computed this mesh's vertex values.
    bool AreValuesReady() const { return m_valuesReady != 0; }
    void SetValuesReady(bool ready) { m_valuesReady = ready ? 1 : 0; }

    // --- topology (mesh_topology.cpp) ---

    // Links every triangle edge to the oppositely oriented edge of another
    // triangle. Only opposite orientations pair; on an edge used by more than
    // two triangles each half-edge pairs with the earliest still unpaired
    // opposite one in triangle order; the rest stay unlinked. Links of edges
    // that find no partner are left as they were. False only when the
    // attached progress object cancelled (the topology stays invalid).
    bool BuildTopology();
    // Counts a triangle's half-edges into the sizes of the links' buckets
    // (each vertex's at [vertex + 1], atomically); a triangle with a corner
    // outside the vertices or a repeated corner has none.
    static void CountHalfEdges(const cMeshTriangle& t, std::uint32_t vertexCount, std::uint32_t* bucketSizes);

    // The ring of vertices around the vertex at `corner` of `triangle`, walked
    // over the neighbour links: one vertex per fan triangle for a closed fan,
    // one more for an open fan (isBorder). Every walk is bounded by the
    // triangle count, so stale or inconsistent links end it early instead of
    // looping.
    std::uint32_t CollectVertexRing(std::uint8_t corner, cMeshTriangle* triangle, bool& isBorder,
                                    tVertexDeque& ring, tTriangleCornerDeque* corners = nullptr);
    // The same walk handing each ring corner to visit(triangle, k), in ring
    // order, where the ring would take the vertex at corner k of that
    // triangle (always one within the vertices): for a pass over many
    // rings that reads what it needs of the ring's vertices by their
    // indices instead of their records.
    template <class Visit>
    void VisitVertexRing(std::uint8_t corner, cMeshTriangle* triangle, bool& isBorder, Visit&& visit);

    std::uint32_t GetVertexNeighboursByIndex(std::uint32_t vertex, std::uint8_t rings,
                                             tVertexDeque& out) override;
    // For callers that ask for the rings of many vertices: the first
    // triangle (in index order) at every vertex, kNoTriangle where none is,
    // found in one pass; and the rings walked from that triangle, as
    // GetVertexNeighboursByIndex walks them (it looks for the triangle
    // anew, a pass over the triangles for every vertex). The table's pages
    // are first written on the pool.
    static constexpr std::uint32_t kNoTriangle = 0xFFFFFFFF;
    tUnwrittenVector<std::uint32_t> FirstTriangleOfEachVertex() const;
    std::uint32_t GetVertexNeighboursFrom(std::uint32_t firstTriangle, std::uint32_t vertex, std::uint8_t rings,
                                          tVertexDeque& out);
    std::uint32_t GetVertexNeighbours(const cVertex* vertex, std::uint8_t rings, tVertexDeque& out) override;
    std::uint32_t GetBoundaryVertices(tVertexDeque& out) override;
    std::uint32_t GetBoundaryPolylines(tBoundaryPolylines& out) override;
    std::uint32_t GetConnectedVertices(const cVertex* vertex, tArray<cVertex*>& out,
                                       const std::uint32_t* mask = nullptr) override;
    std::uint32_t GetConnectedVerticesByIndex(std::uint32_t vertex, tArray<cVertex*>& out,
                                              const std::uint32_t* mask = nullptr) override;
    std::uint32_t MarkConnectedVertices(const cVertex* vertex, std::uint32_t mask, bool clearFirst) override;
    std::uint32_t MarkConnectedVerticesByIndex(std::uint32_t vertex, std::uint32_t mask,
                                               bool clearFirst) override;
    double GetAreaOfVertexSet(const tArray<cVertex*>& set, const double* limit = nullptr) override;
    // Unweighted vertex normals from the stored triangle normals.
    bool ComputeVertexNormals() override;
    std::unique_ptr<ITriIterator> CreateTriIterator() override;

private:
    // Adds every triangle's normal times its area (areas[i], when above 0)
    // and the area to its corners, each vertex's terms in triangle order;
    // metBy tells for each vertex the one block of the sums whose triangles
    // meet it, or that several do.
    void AddAreaWeightedNormals(const double* areas, const std::uint32_t* metBy, cThreadPool* pool);
    // The vertices' normals from the triangles' areas (0: adds nothing) and
    // the blocks that meet them.
    void AddUpVertexNormals(std::unique_ptr<double[]> areas, const std::uint32_t* metBy);
    // Each vertex's sum of area-weighted normals made unit.
    void FinishVertexNormals(cThreadPool* pool);
    // BuildTopology from the sizes of the vertices' buckets of half-edges
    // (each vertex's at [vertex + 1]), counted before.
    bool BuildTopology(std::unique_ptr<std::uint32_t[]> bucketSizes);
    // The first triangle (in index order) with the vertex index at a corner;
    // false when none has it.
    bool FindFirstTriangleAt(std::uint32_t vertex, cMeshTriangle*& triangle, std::uint8_t& corner);
    std::uint32_t RingWalk(cMeshTriangle* start, std::uint8_t corner, std::uint8_t rings, tVertexDeque& out);
    // Visits every triangle reachable over the links from the first triangle
    // at the vertex, once each, calling visitCorner(cVertex*) for each of its
    // corners. False when no triangle flag bit was free for the walk.
    template <class TVisitCorner>
    bool WalkConnectedTriangles(std::uint32_t vertex, TVisitCorner&& visitCorner);
    void ClearVertexFlagBits(std::uint32_t mask);

    std::uint32_t m_ids[3];
    std::uint32_t m_highestLabel = 0;
    tArray<cMeshTriangle> m_triangles;
    IProcProgress* m_progress = nullptr;
    std::uint8_t m_valuesReady = 0;
};

template <class Visit>
void cMesh::VisitVertexRing(std::uint8_t corner, cMeshTriangle* triangle, bool& isBorder, Visit&& visit)
{
    isBorder = false;
    if (triangle == nullptr || corner > 2)
        return;

    const std::uint32_t center = triangle->vertexIndex[corner];
    const std::uint32_t vertexCount = GetVertexCount();
    // No fan has more triangles than the mesh: a longer walk is going round
    // a loop of stale links.
    const std::uint32_t maxSteps = GetTriangleCount();

    // Rewind against the walking direction to the start of an open fan, or
    // to the triangle before the start of a closed one.
    cMeshTriangle* current = triangle;
    int c = corner;
    for (std::uint32_t steps = 0;; ++steps)
    {
        cMeshTriangle* next = current->neighbour[c];
        if (next == triangle)
            break;
        const int nextCorner = next != nullptr ? next->CornerOf(center) : -1;
        if (nextCorner < 0 || steps >= maxSteps)
        {
            isBorder = true;
            break;
        }
        current = next;
        c = nextCorner;
    }

    auto append = [&](cMeshTriangle* t, int k) {
        if (t->vertexIndex[k] < vertexCount)
            visit(t, k);
    };

    for (std::uint32_t steps = 0;; ++steps)
    {
        append(current, (c + 1) % 3);
        if (!isBorder && current == triangle)
            break;
        cMeshTriangle* next = current->neighbour[(c + 2) % 3];
        const int nextCorner = next != nullptr ? next->CornerOf(center) : -1;
        if (nextCorner < 0)
        {
            // The fan ends here (a border, or a link that does not lead back
            // to the vertex): its last edge's far corner closes the ring.
            append(current, (c + 2) % 3);
            isBorder = true;
            break;
        }
        if (steps >= maxSteps)
            break;
        current = next;
        c = nextCorner;
    }
}

// Walks a mesh's triangles, handing out views of them.
class cMeshTriIterator : public ITriIterator
{
public:
    explicit cMeshTriIterator(cMesh* mesh);

    std::uint32_t GetCount() override { return m_count; }
    bool HasTriangles() override { return m_count != 0; }
    void First() override;
    bool IsDone() override { return m_index >= m_count; }
    void Next() override;
    // The view of the current triangle. A corner whose index lies outside the
    // vertex array is handed out as null.
    const tTriangle<cVertex>* GetTriangle() override;

private:
    cMesh* m_mesh;
    std::uint32_t m_count;
    std::uint32_t m_index = 0;
    cMeshTriangle* m_current = nullptr;
    tTriangle<cVertex> m_view;
};
