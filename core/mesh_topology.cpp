// Neighbour links of a mesh and the topology queries that walk them.
//
// Every walk here must end on any input: non-manifold edges, inconsistent
// orientation, and links left stale by edits (a rebuild never clears links
// that find no partner). Ring walks are therefore bounded by the triangle
// count, and region walks only push triangles that still have an unmarked
// corner, so each step marks something new.
#include "core/mesh.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "core/edge_collection.h"
#include "core/pool_fill.h"
#include "core/thread_pool.h"
#include "core/used_flags.h"
#include "core/walk_stack.h"
#include "platform/geometry/fresh_pages.h"

namespace
{

// Vertex buckets per job of the pairing pass over the pool, triangles per
// job of the passes that put the half-edges in their buckets.
constexpr std::size_t kBucketsPerJob = 16384;
constexpr std::size_t kTrianglesPerJob = 65536;
// How many buckets ahead the pairing asks for the records it will link.
constexpr std::size_t kAheadBuckets = 8;

// One half-edge in the bucket of its smaller vertex: the other vertex, and
// the half-edge's number (triangle * 3 + edge) shifted left by one with the
// direction in bit 0 (1 = it runs from the smaller vertex to the larger).
template <class TCode> struct stHalfEdge
{
    std::uint32_t other;
    TCode code;
};

void Link(cMeshTriangle* a, std::uint8_t edgeA, cMeshTriangle* b, std::uint8_t edgeB)
{
    a->neighbour[edgeA] = b;
    a->neighbourEdge[edgeA] = edgeB;
    b->neighbour[edgeB] = a;
    b->neighbourEdge[edgeB] = edgeA;
}

bool IsUsableTriangle(const cMeshTriangle& t, std::uint32_t vertexCount)
{
    const std::uint32_t* v = t.vertexIndex;
    return v[0] < vertexCount && v[1] < vertexCount && v[2] < vertexCount && v[0] != v[1] && v[1] != v[2] &&
           v[0] != v[2];
}

// The corner of a usable triangle's lowest vertex. That vertex's bucket
// takes two of the triangle's half-edges, those of edges `corner` and
// `corner + 2` (both end there); edge `corner + 1` goes to the bucket of the
// lower of its two ends.
int LowestCorner(const cMeshTriangle& t)
{
    const std::uint32_t* v = t.vertexIndex;
    return v[0] < v[1] ? (v[0] < v[2] ? 0 : 2) : (v[1] < v[2] ? 1 : 2);
}

// Pairs the half-edges of one undirected edge in triangle order: a half-edge
// takes the waiting opposite one when there is one; otherwise it waits,
// unless one of its own direction already waits (then it stays unlinked).
// This is exactly what one pass in triangle order with a map of unpaired
// directed edges does, so sorting by edge gives the same links.
template <class TCode>
void PairEdgeGroup(cMesh& mesh, const stHalfEdge<TCode>* first, const stHalfEdge<TCode>* last)
{
    constexpr TCode kNone = std::numeric_limits<TCode>::max();
    TCode waiting[2] = {kNone, kNone}; // by direction
    for (const stHalfEdge<TCode>* h = first; h != last; ++h)
    {
        const unsigned direction = static_cast<unsigned>(h->code & 1);
        const TCode opposite = waiting[direction ^ 1];
        if (opposite != kNone)
        {
            const TCode a = h->code >> 1;
            const TCode b = opposite >> 1;
            Link(mesh.GetTriangle(static_cast<std::uint32_t>(a / 3)), static_cast<std::uint8_t>(a % 3),
                 mesh.GetTriangle(static_cast<std::uint32_t>(b / 3)), static_cast<std::uint8_t>(b % 3));
            waiting[direction ^ 1] = kNone;
        }
        else if (waiting[direction] == kNone)
        {
            waiting[direction] = h->code;
        }
    }
}

template <class TCode>
bool BuildLinks(cMesh& mesh, IProcProgress* progress, std::unique_ptr<std::uint32_t[]> bucketSizes)
{
    const std::uint32_t triangleCount = mesh.GetTriangleCount();
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    const std::uint32_t reportEvery = std::max<std::uint32_t>(triangleCount / 10, 1);

    // Half-edges in buckets by the smaller vertex of each edge. The pairing
    // sorts every bucket by the other vertex and the half-edge's number, so
    // the order they are put in does not matter: without a progress object
    // to report to, the buckets are counted and filled on the pool.
    cThreadPool* pool = progress == nullptr ? SharedThreadPool() : nullptr;
    // Where each bucket starts (offset[v] for the bucket of v, and the
    // number of half-edges last); the fill below moves each one on to where
    // its bucket ends. The buckets' sizes may have been counted already.
    std::unique_ptr<std::uint32_t[]> offset = std::move(bucketSizes);
    if (offset == nullptr)
    {
        offset = MakeFilledOnPool(SharedThreadPool(), static_cast<std::size_t>(vertexCount) + 1, std::uint32_t{0});
        auto count = [&](std::size_t i)
        { cMesh::CountHalfEdges(*mesh.GetTriangle(static_cast<std::uint32_t>(i)), vertexCount, offset.get()); };
        ParallelForEach(pool, triangleCount, kTrianglesPerJob, count);
    }
    for (std::uint32_t v = 0; v < vertexCount; ++v)
        offset[v + 1] += offset[v];

    // Left uninitialised: every record is written by the fill, which first
    // touches the pages on the pool. The fill puts each half-edge at the end
    // of its bucket, anywhere in the array: on small pages nearly every such
    // write would also miss the TLB, and take a fault of its own.
    std::unique_ptr<stHalfEdge<TCode>[]> halfEdges(new stHalfEdge<TCode>[offset[vertexCount]]);
    ON_AdviseHugePages(halfEdges.get(), std::size_t{offset[vertexCount]} * sizeof(stHalfEdge<TCode>));
    std::atomic<bool> cancelled{false};
    auto place = [&](std::size_t i)
    {
        if (progress != nullptr && i % reportEvery == 0 &&
            (cancelled.load(std::memory_order_relaxed) ||
             ReportProgressAndCheckCancel(*progress, static_cast<float>(i))))
        {
            cancelled.store(true, std::memory_order_relaxed);
            return;
        }
        if (cancelled.load(std::memory_order_relaxed))
            return;
        const cMeshTriangle& t = *mesh.GetTriangle(static_cast<std::uint32_t>(i));
        if (!IsUsableTriangle(t, vertexCount))
            return;
        const auto put = [&](std::uint32_t at, std::uint32_t k)
        {
            const std::uint32_t a = t.vertexIndex[k];
            const std::uint32_t b = t.vertexIndex[(k + 1) % 3];
            const TCode halfEdge = static_cast<TCode>(i) * 3 + k;
            halfEdges[at] = {std::max(a, b), static_cast<TCode>((halfEdge << 1) | (a < b))};
        };
        // The order within a bucket does not matter (the pairing sorts it),
        // so the lowest vertex's bucket makes room for its two at once.
        const auto lowest = static_cast<std::uint32_t>(LowestCorner(t));
        const std::uint32_t* v = t.vertexIndex;
        const std::uint32_t at =
            std::atomic_ref<std::uint32_t>(offset[v[lowest]]).fetch_add(2, std::memory_order_relaxed);
        put(at, lowest);
        put(at + 1, (lowest + 2) % 3);
        const std::uint32_t opposite = (lowest + 1) % 3;
        put(std::atomic_ref<std::uint32_t>(offset[std::min(v[opposite], v[(opposite + 1) % 3])])
                .fetch_add(1, std::memory_order_relaxed),
            opposite);
    };
    ParallelForEach(pool, triangleCount, kTrianglesPerJob, place);
    if (cancelled.load())
        return false;

    // Every edge lies in one bucket and a link joins the two half-edges of
    // one edge, so the buckets are paired on the pool, each link written by
    // the bucket of its edge alone.
    auto pairBucket = [&](std::size_t v)
    {
        // The records a bucket ahead will link are asked for now (a bucket
        // of this job's: the next job may be sorting its own).
        if (v + kAheadBuckets < vertexCount && (v + kAheadBuckets) / kBucketsPerJob == v / kBucketsPerJob)
        {
            const std::size_t ahead = v + kAheadBuckets;
            for (std::uint32_t h = offset[ahead - 1]; h < offset[ahead]; ++h)
            {
                const auto triangle = static_cast<std::uint32_t>((halfEdges[h].code >> 1) / 3);
                __builtin_prefetch(mesh.GetTriangle(triangle), 1);
                __builtin_prefetch(&mesh.GetTriangle(triangle)->neighbour[2], 1);
            }
        }
        stHalfEdge<TCode>* first = halfEdges.get() + (v == 0 ? 0 : offset[v - 1]);
        stHalfEdge<TCode>* last = halfEdges.get() + offset[v];
        if (last - first < 2)
            return;
        std::sort(first, last,
                  [](const stHalfEdge<TCode>& x, const stHalfEdge<TCode>& y)
                  { return x.other != y.other ? x.other < y.other : x.code < y.code; });
        while (first != last)
        {
            stHalfEdge<TCode>* groupEnd = first + 1;
            while (groupEnd != last && groupEnd->other == first->other)
                ++groupEnd;
            if (groupEnd - first >= 2)
                PairEdgeGroup(mesh, first, groupEnd);
            first = groupEnd;
        }
    };
    ParallelForEach(SharedThreadPool(), vertexCount, kBucketsPerJob, pairBucket);
    return true;
}

} // namespace

void cMesh::CountHalfEdges(const cMeshTriangle& t, std::uint32_t vertexCount, std::uint32_t* bucketSizes)
{
    if (!IsUsableTriangle(t, vertexCount))
        return;
    // Two additions a triangle instead of three, one per bucket it adds to.
    const int lowest = LowestCorner(t);
    const std::uint32_t* v = t.vertexIndex;
    std::atomic_ref<std::uint32_t>(bucketSizes[v[lowest] + 1]).fetch_add(2, std::memory_order_relaxed);
    std::atomic_ref<std::uint32_t>(bucketSizes[std::min(v[(lowest + 1) % 3], v[(lowest + 2) % 3]) + 1])
        .fetch_add(1, std::memory_order_relaxed);
}

bool cMesh::BuildTopology()
{
    return BuildTopology(nullptr);
}

bool cMesh::BuildTopology(std::unique_ptr<std::uint32_t[]> bucketSizes)
{
    const std::uint32_t triangleCount = GetTriangleCount();
    if (m_progress != nullptr)
        m_progress->SetRange(0.0f, static_cast<float>(triangleCount));
    // Half-edge codes need 2 * 3 * count values; 32 bits are enough for every
    // mesh that fits in memory today, 64 bits keep the rest correct.
    const bool narrow =
        static_cast<std::uint64_t>(triangleCount) * 6 < std::numeric_limits<std::uint32_t>::max();
    const bool built = narrow ? BuildLinks<std::uint32_t>(*this, m_progress, std::move(bucketSizes))
                              : BuildLinks<std::uint64_t>(*this, m_progress, std::move(bucketSizes));
    SetTopologyValid(built);
    return built;
}

std::uint32_t cMesh::CollectVertexRing(std::uint8_t corner, cMeshTriangle* triangle, bool& isBorder,
                                       tVertexDeque& ring, tTriangleCornerDeque* corners)
{
    ring.clear();
    if (corners != nullptr)
        corners->clear();
    VisitVertexRing(corner, triangle, isBorder, [&](cMeshTriangle* t, int k) {
        ring.push_back(GetVertex(t->vertexIndex[k]));
        if (corners != nullptr)
            corners->push_back({t, static_cast<std::uint8_t>(k)});
    });
    return static_cast<std::uint32_t>(ring.size());
}

bool cMesh::FindFirstTriangleAt(std::uint32_t vertex, cMeshTriangle*& triangle, std::uint8_t& corner)
{
    const std::uint32_t count = GetTriangleCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        cMeshTriangle* t = GetTriangle(i);
        const int k = t->CornerOf(vertex);
        if (k >= 0)
        {
            triangle = t;
            corner = static_cast<std::uint8_t>(k);
            return true;
        }
    }
    return false;
}

std::uint32_t cMesh::GetVertexNeighboursByIndex(std::uint32_t vertex, std::uint8_t rings, tVertexDeque& out)
{
    if (vertex >= GetVertexCount())
        return 0;
    cMeshTriangle* start = nullptr;
    std::uint8_t corner = 0;
    if (!FindFirstTriangleAt(vertex, start, corner))
        return 0;
    return RingWalk(start, corner, rings, out);
}

tUnwrittenVector<std::uint32_t> cMesh::FirstTriangleOfEachVertex() const
{
    const std::uint32_t vertexCount = GetVertexCount();
    // Cleared on the pool: on one thread the 20 MB table of a 5M-vertex
    // scan took its fresh pages one fault after another.
    tUnwrittenVector<std::uint32_t> first(vertexCount);
    FillOnPool(SharedThreadPool(), first.data(), first.size(), kNoTriangle);
    const std::uint32_t count = GetTriangleCount();
    // A block of triangles at a time on the shared pool, each lowering its
    // corners' entries to its triangles' numbers: an entry ends at the least
    // number of the vertex's triangles whichever block gets there first.
    constexpr std::uint32_t kBlock = 16384;
    auto lower = [&](std::size_t block) {
        const std::uint32_t end = std::min<std::uint32_t>(count, std::uint32_t(block + 1) * kBlock);
        for (std::uint32_t i = std::uint32_t(block) * kBlock; i < end; ++i)
            for (const std::uint32_t v : GetTriangle(i)->vertexIndex)
            {
                if (v >= vertexCount)
                    continue;
                std::atomic_ref<std::uint32_t> entry(first[v]);
                std::uint32_t seen = entry.load(std::memory_order_relaxed);
                while (i < seen && !entry.compare_exchange_weak(seen, i, std::memory_order_relaxed))
                {
                }
            }
    };
    ParallelForEach(SharedThreadPool(), (std::size_t{count} + kBlock - 1) / kBlock, 1, lower);
    return first;
}

std::uint32_t cMesh::GetVertexNeighboursFrom(std::uint32_t firstTriangle, std::uint32_t vertex,
                                             std::uint8_t rings, tVertexDeque& out)
{
    if (vertex >= GetVertexCount() || firstTriangle >= GetTriangleCount())
        return 0;
    cMeshTriangle* start = GetTriangle(firstTriangle);
    const int corner = start->CornerOf(vertex);
    if (corner < 0)
        return 0;
    return RingWalk(start, static_cast<std::uint8_t>(corner), rings, out);
}

std::uint32_t cMesh::GetVertexNeighbours(const cVertex* vertex, std::uint8_t rings, tVertexDeque& out)
{
    if (vertex == nullptr)
        return 0;
    // The record's own index finds it at once when it is right; otherwise
    // the corners are compared by address.
    const std::uint32_t index = vertex->index;
    if (index < GetVertexCount() && GetVertex(index) == vertex)
        return GetVertexNeighboursByIndex(index, rings, out);
    const std::uint32_t count = GetTriangleCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        cMeshTriangle* t = GetTriangle(i);
        const cVertex* corner[3];
        if (!GetCorners(*t, corner))
            continue;
        for (std::uint8_t k = 0; k < 3; ++k)
        {
            if (corner[k] == vertex)
                return RingWalk(t, k, rings, out);
        }
    }
    return 0;
}

std::uint32_t cMesh::RingWalk(cMeshTriangle* start, std::uint8_t corner, std::uint8_t rings,
                              tVertexDeque& out)
{
    bool isBorder = false;
    if (rings == 1)
        return CollectVertexRing(corner, start, isBorder, out);

    out.clear();
    if (rings == 0)
        return 0;

    cVertex* center = GetVertex(start->vertexIndex[corner]);
    center->flags |= kVertexFlagRingVisit;
    out.push_back(center);
    tTriangleCornerDeque queue{{start, corner}};
    tVertexDeque ring;
    tTriangleCornerDeque ringCorners;
    std::size_t levelBegin = 0;
    for (unsigned level = 0; level < rings && levelBegin < queue.size(); ++level)
    {
        const std::size_t levelEnd = queue.size();
        for (std::size_t q = levelBegin; q < levelEnd; ++q)
        {
            const stTriangleCorner at = queue[q];
            CollectVertexRing(at.corner, at.triangle, isBorder, ring, &ringCorners);
            for (const stTriangleCorner& next : ringCorners)
            {
                cVertex* v = GetVertex(next.triangle->vertexIndex[next.corner]);
                if ((v->flags & (kVertexFlagExcluded | kVertexFlagRingVisit)) != 0)
                    continue;
                v->flags |= kVertexFlagRingVisit;
                out.push_back(v);
                queue.push_back(next);
            }
        }
        levelBegin = levelEnd;
    }
    for (std::size_t i = 0; i < out.size(); ++i)
        GetVertex(queue[i].triangle->vertexIndex[queue[i].corner])->flags &= ~kVertexFlagRingVisit;
    out.pop_front();
    return static_cast<std::uint32_t>(out.size());
}

std::uint32_t cMesh::GetBoundaryVertices(tVertexDeque& out)
{
    out.clear();
    const std::uint32_t vertexCount = GetVertexCount();
    std::vector<std::uint32_t> border;
    ForEachTriangle(
        [&border](const cMeshTriangle& t)
        {
            for (int k = 0; k < 3; ++k)
            {
                if (t.neighbour[k] == nullptr)
                {
                    border.push_back(t.vertexIndex[k]);
                    border.push_back(t.vertexIndex[(k + 1) % 3]);
                }
            }
        });
    std::sort(border.begin(), border.end());
    border.erase(std::unique(border.begin(), border.end()), border.end());
    for (std::uint32_t index : border)
    {
        if (index < vertexCount)
            out.push_back(GetVertex(index));
    }
    return static_cast<std::uint32_t>(out.size());
}

std::uint32_t cMesh::GetBoundaryPolylines(tBoundaryPolylines& out)
{
    out.Clear();
    if (!IsTopologyValid())
        BuildTopology();
    cEdgeCollection edges;
    const std::uint32_t vertexCount = GetVertexCount();
    ForEachTriangle(
        [&edges, vertexCount](const cMeshTriangle& t)
        {
            if (!IsUsableTriangle(t, vertexCount))
                return;
            for (int k = 0; k < 3; ++k)
            {
                if (t.neighbour[k] == nullptr)
                    edges.AddEdge(t.vertexIndex[k], t.vertexIndex[(k + 1) % 3]);
            }
        });
    // Every walk erases at least the edge it starts with, so this ends.
    while (!edges.IsEmpty())
    {
        tPolyline<cVertex> chain;
        WalkVertexChain(edges.GetTree(),
                        [this, &chain](std::uint32_t index) { chain.AddVertex(*GetVertex(index)); });
        out.Add(chain);
    }
    return out.GetCount();
}

void cMesh::ClearVertexFlagBits(std::uint32_t mask)
{
    ForEachVertex([mask](cVertex& v) { v.flags &= ~mask; });
}

template <class TVisitCorner>
bool cMesh::WalkConnectedTriangles(std::uint32_t vertex, TVisitCorner&& visitCorner)
{
    cMeshTriangle* start = nullptr;
    std::uint8_t corner = 0;
    if (!FindFirstTriangleAt(vertex, start, corner))
        return true;

    // Triangles get a visited mark of their own: a triangle whose corners are
    // all marked through other triangles may still be the only way on to
    // triangles beyond it, so corner marks cannot tell whether its neighbours
    // were looked at.
    cBorrowedTriangleFlag visited;
    if (!visited.IsValid())
        return false;
    const std::uint8_t bit = visited.Bit();
    const auto clearVisited = [this, bit]
    { ForEachTriangle([bit](cMeshTriangle& t) { t.flags &= static_cast<std::uint8_t>(~bit); }); };
    clearVisited();

    const std::uint32_t vertexCount = GetVertexCount();
    tWalkStack<cMeshTriangle> stack;
    stack.Push(start);
    while (!stack.IsEmpty())
    {
        cMeshTriangle* t = stack.Pop();
        if ((t->flags & bit) != 0)
            continue;
        t->flags |= bit;
        for (int k = 0; k < 3; ++k)
        {
            cMeshTriangle* neighbour = t->neighbour[k];
            if (neighbour != nullptr && (neighbour->flags & bit) == 0)
                stack.Push(neighbour);
            const std::uint32_t index = t->vertexIndex[k];
            if (index < vertexCount)
                visitCorner(GetVertex(index));
        }
    }
    clearVisited();
    return true;
}

std::uint32_t cMesh::GetConnectedVertices(const cVertex* vertex, tArray<cVertex*>& out,
                                          const std::uint32_t* mask)
{
    out.Clear();
    if (vertex == nullptr || vertex->index >= GetVertexCount())
        return 0;
    std::optional<cBorrowedVertexFlag> borrowed;
    if (mask == nullptr)
    {
        borrowed.emplace();
        if (!borrowed->IsValid())
            return 0; // nothing to mark the walk with
    }
    const std::uint32_t bit = mask != nullptr ? *mask : borrowed->Bit();
    if (bit == 0)
        return 0; // every vertex "carries" an empty mask: nothing to find
    if (mask == nullptr)
        ClearVertexFlagBits(bit);

    const bool walked = WalkConnectedTriangles(vertex->index,
                                               [&out, bit](cVertex* v)
                                               {
                                                   if ((v->flags & bit) != bit)
                                                   {
                                                       v->flags |= bit;
                                                       out.PushBack(v);
                                                   }
                                               });
    if (mask == nullptr)
    {
        // A borrowed bit goes back clear in every record.
        for (std::uint32_t i = 0; i < out.GetCount(); ++i)
            out[i]->flags &= ~bit;
    }
    if (!walked)
        out.Clear();
    return out.GetCount();
}

std::uint32_t cMesh::GetConnectedVerticesByIndex(std::uint32_t vertex, tArray<cVertex*>& out,
                                                 const std::uint32_t* mask)
{
    if (vertex >= GetVertexCount())
        return 0;
    return GetConnectedVertices(GetVertex(vertex), out, mask);
}

std::uint32_t cMesh::MarkConnectedVertices(const cVertex* vertex, std::uint32_t mask, bool clearFirst)
{
    if (clearFirst)
        ClearVertexFlagBits(mask);
    if (vertex == nullptr || mask == 0)
        return 0;
    std::uint32_t marked = 0;
    WalkConnectedTriangles(vertex->index,
                           [&marked, mask](cVertex* v)
                           {
                               if ((v->flags & mask) != mask)
                               {
                                   v->flags |= mask;
                                   ++marked;
                               }
                           });
    return marked;
}

std::uint32_t cMesh::MarkConnectedVerticesByIndex(std::uint32_t vertex, std::uint32_t mask, bool clearFirst)
{
    if (vertex >= GetVertexCount())
    {
        if (clearFirst)
            ClearVertexFlagBits(mask);
        return 0;
    }
    return MarkConnectedVertices(GetVertex(vertex), mask, clearFirst);
}

double cMesh::GetAreaOfVertexSet(const tArray<cVertex*>& set, const double* limit)
{
    if (set.GetCount() == 0)
        return 0.0;
    cBorrowedVertexFlag borrowed;
    if (!borrowed.IsValid())
        return 0.0; // nothing to mark the set with
    const std::uint32_t bit = borrowed.Bit();
    ClearVertexFlagBits(bit);
    for (std::uint32_t i = 0; i < set.GetCount(); ++i)
    {
        if (set[i] != nullptr)
            set[i]->flags |= bit;
    }

    double sum = 0.0;
    const std::uint32_t count = GetTriangleCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const cVertex* corner[3];
        const cMeshTriangle& t = *GetTriangle(i);
        if (!GetCorners(t, corner))
            continue;
        if ((corner[0]->flags & bit) == 0 || (corner[1]->flags & bit) == 0 || (corner[2]->flags & bit) == 0)
            continue;
        sum += TriangleArea(corner[0]->Position(), corner[1]->Position(), corner[2]->Position());
        if (limit != nullptr && sum > *limit)
            break;
    }

    for (std::uint32_t i = 0; i < set.GetCount(); ++i)
    {
        if (set[i] != nullptr)
            set[i]->flags &= ~bit;
    }
    return sum;
}
