#include "core/mesh.h"

#include <atomic>
#include <new>
#include <cfloat>
#include <cmath>
#include <utility>
#include <vector>

#include "core/pool_fill.h"
#include "core/thread_pool.h"
#include "core/vector_math.h"
#include "core/walk_stack.h"

namespace
{

// Three ids per mesh, unique in the process.
std::atomic<std::uint32_t> g_nextMeshId{0};

// "Zero" in the normal computations: every component within FLT_EPSILON of 0.
bool IsZeroVector(const float v[3])
{
    return std::fabs(v[0]) <= FLT_EPSILON && std::fabs(v[1]) <= FLT_EPSILON && std::fabs(v[2]) <= FLT_EPSILON;
}

// The neighbour across edge k when its link for that edge leads back here.
cMeshTriangle* LinkedBack(cMeshTriangle* triangle, int k)
{
    cMeshTriangle* neighbour = triangle->neighbour[k];
    const std::uint8_t edge = triangle->neighbourEdge[k];
    if (neighbour == nullptr || edge > 2 || neighbour->neighbour[edge] != triangle)
        return nullptr;
    return neighbour;
}

} // namespace

cMesh::cMesh()
{
    const std::uint32_t first = g_nextMeshId.fetch_add(3, std::memory_order_relaxed);
    m_ids[0] = first;
    m_ids[1] = first + 1;
    m_ids[2] = first + 2;
}

cMesh::~cMesh() = default;

void* cMesh::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_cMesh))
        return static_cast<cMesh*>(this);
    if (IsEqualInterfaceId(iid, IID_ITopology))
        return static_cast<ITopology*>(this);
    return cPointCloud::NonDelegatingQueryInterface(iid);
}

void cMesh::Reset()
{
    Clear();
    InvalidateTopology();
}

void cMesh::Update()
{
    if (m_progress != nullptr)
    {
        m_progress->SetPosition(0.0f);
        m_progress->SetCaption(TranslateText(L"Generating Mesh ..."));
    }
    UpdateBoundingBox();
    ComputeNormals(true);
    BuildTopology();
    m_progress = nullptr;
}

void cMesh::Clear()
{
    SetTopologyValid(false);
    cPointCloud::Clear();
    m_triangles.Clear();
}

std::unique_ptr<IPointsIterator> cMesh::CreatePointsIterator()
{
    return cPointCloud::CreatePointsIterator();
}

void cMesh::FlipNormals()
{
    ForEachTriangle([](cMeshTriangle& t) { FlipTriangle(&t); });
    ComputeNormals(false);
}

void cMesh::Transform(const double m[12])
{
    cPointCloud::Transform(m);
    ForEachTriangle(
        [m](cMeshTriangle& t)
        {
            const double n[3] = {t.nx, t.ny, t.nz};
            t.nx = static_cast<float>(m[0] * n[0] + m[1] * n[1] + m[2] * n[2]);
            t.ny = static_cast<float>(m[4] * n[0] + m[5] * n[1] + m[6] * n[2]);
            t.nz = static_cast<float>(m[8] * n[0] + m[9] * n[1] + m[10] * n[2]);
        });
}

cMeshTriangle* cMesh::AddTriangle(std::uint32_t i0, std::uint32_t i1, std::uint32_t i2)
{
    if (i0 == i1 || i1 == i2 || i0 == i2)
        return nullptr;
    cMeshTriangle* record = m_triangles.Append();
    if (record == nullptr)
        return nullptr;
    *record = cMeshTriangle{};
    record->vertexIndex[0] = i0;
    record->vertexIndex[1] = i1;
    record->vertexIndex[2] = i2;
    return record;
}

bool cMesh::GetCorners(const cMeshTriangle& triangle, const cVertex* corners[3]) const
{
    const std::uint32_t count = GetVertexCount();
    if (triangle.vertexIndex[0] >= count || triangle.vertexIndex[1] >= count ||
        triangle.vertexIndex[2] >= count)
        return false;
    for (int k = 0; k < 3; ++k)
        corners[k] = GetVertex(triangle.vertexIndex[k]);
    return true;
}

bool cMesh::GetCorners(const cMeshTriangle& triangle, cVertex* corners[3])
{
    const std::uint32_t count = GetVertexCount();
    if (triangle.vertexIndex[0] >= count || triangle.vertexIndex[1] >= count ||
        triangle.vertexIndex[2] >= count)
        return false;
    for (int k = 0; k < 3; ++k)
        corners[k] = GetVertex(triangle.vertexIndex[k]);
    return true;
}

void cMesh::FlipTriangle(cMeshTriangle* triangle)
{
    std::swap(triangle->vertexIndex[1], triangle->vertexIndex[2]);
    triangle->nx = -triangle->nx;
    triangle->ny = -triangle->ny;
    triangle->nz = -triangle->nz;
    // Old edge 0 becomes edge 2 and old edge 2 becomes edge 0 (edge 1 keeps
    // its number): tell the neighbours, then swap our own links.
    cMeshTriangle* across0 = LinkedBack(triangle, 0);
    cMeshTriangle* across2 = LinkedBack(triangle, 2);
    if (across0 != nullptr)
        across0->neighbourEdge[triangle->neighbourEdge[0]] = 2;
    if (across2 != nullptr)
        across2->neighbourEdge[triangle->neighbourEdge[2]] = 0;
    std::swap(triangle->neighbour[0], triangle->neighbour[2]);
    std::swap(triangle->neighbourEdge[0], triangle->neighbourEdge[2]);
}

std::uint32_t cMesh::LabelConnectedTriangles(cMeshTriangle* start, std::uint8_t mask)
{
    if (start == nullptr)
        return 0;
    const std::uint32_t label = start->GetLabel();
    // An unlabelled start would hand out "unlabelled", so every triangle it
    // reached would still look unlabelled and be taken again without end.
    if (label == kTriangleUnlabelled)
        return 1;

    std::uint32_t count = 1;
    tWalkStack<cMeshTriangle> stack;
    stack.Push(start);
    while (!stack.IsEmpty())
    {
        cMeshTriangle* triangle = stack.Pop();
        for (int k = 0; k < 3; ++k)
        {
            cMeshTriangle* neighbour = triangle->neighbour[k];
            if (neighbour == nullptr || neighbour->GetLabel() != kTriangleUnlabelled)
                continue;
            if (mask != 0 && (neighbour->flags & mask) == mask)
                continue;
            neighbour->SetLabel(label);
            ++count;
            stack.Push(neighbour);
        }
    }
    m_highestLabel = std::max(m_highestLabel, label);
    return count;
}

namespace
{

// Records per job of the normals' passes over the pool.
constexpr std::size_t kNormalJobRecords = 16 * kArrayChunkSize;

// Triangles per job of the vertices' sums.
constexpr std::size_t kSumJobTriangles = std::size_t{1} << 16;
// A vertex's state in the sums: not met yet, met by one job (its number) or
// by several.
constexpr std::uint32_t kVertexNotMet = 0xFFFFFFFF;
constexpr std::uint32_t kVertexShared = 0xFFFFFFFE;
// Ranges of vertex indices whose shared vertices are summed a range per job.
constexpr std::size_t kSharedVertexRanges = 64;
// Ranges of vertex indices whose corners left by the runs of an update in
// the builder's pass are summed a range per job.
constexpr std::size_t kDeferredRanges = 64;

// A triangle's normal (when asked for) from its corners, and its area when
// it adds to its corners' normals, else 0.
double MeasureTriangle(cMeshTriangle& t, const float a[3], const float b[3], const float c[3],
                       bool withTriangleNormal)
{
    double cross[3];
    TriangleCrossProduct(a, b, c, cross);
    if (withTriangleNormal)
    {
        t.nx = static_cast<float>(cross[0]);
        t.ny = static_cast<float>(cross[1]);
        t.nz = static_cast<float>(cross[2]);
        NormaliseVector3f(t.Normal());
    }
    // The same value TriangleArea gives, without forming the product twice.
    const double area = 0.5 * std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]);
    return !IsZeroVector(t.Normal()) && area > FLT_EPSILON ? area : 0.0;
}

// Adds the triangle's normal times its area, and the area, to the vertex's
// sums, rounded to float after each term.
void AddNormalTerm(cVertex& v, const cMeshTriangle& t, double area)
{
    v.nx = static_cast<float>(v.nx + t.nx * area);
    v.ny = static_cast<float>(v.ny + t.ny * area);
    v.nz = static_cast<float>(v.nz + t.nz * area);
    v.SetScalar(static_cast<float>(v.GetScalar() + area));
}

// A triangle that adds something meets its corners as its block of the
// sums measures it: metBy then tells for each vertex the one block that
// meets it, or that several do.
void MeetCorners(const cMeshTriangle& t, std::uint32_t block, std::uint32_t* metBy)
{
    for (std::uint32_t index : t.vertexIndex)
    {
        std::atomic_ref<std::uint32_t> state(metBy[index]);
        std::uint32_t now = state.load(std::memory_order_relaxed);
        while (now != block && now != kVertexShared &&
               !state.compare_exchange_weak(now, now == kVertexNotMet ? block : kVertexShared,
                                            std::memory_order_relaxed))
        {
        }
    }
}

} // namespace

cMesh::cUpdateInPass::cUpdateInPass(std::uint32_t vertices, std::size_t runs, cThreadPool* pool)
    : m_vertices(vertices), m_runs(runs), m_deferred(runs * kDeferredRanges),
      m_bucketSizes(MakeFilledOnPool(pool, std::size_t{vertices} + 1, std::uint32_t{0}))
{
}

cMesh::cUpdateInPass::~cUpdateInPass() = default;

void cMesh::cUpdateInPass::Measure(cMeshTriangle& t, std::uint32_t i, std::size_t run, const float* const corner[3],
                                   cVertex* const owned[3])
{
    const double area = MeasureTriangle(t, corner[0], corner[1], corner[2], true);
    if (area > 0.0)
        for (std::uint32_t k = 0; k < 3; ++k)
        {
            if (owned[k] != nullptr)
                AddNormalTerm(*owned[k], t, area);
            else
                try
                {
                    m_deferred[run * kDeferredRanges + std::size_t{t.vertexIndex[k]} * kDeferredRanges / m_vertices]
                        .push_back({std::uint64_t{i} * 3 + k, area});
                }
                catch (const std::bad_alloc&)
                {
                    m_failed.store(true, std::memory_order_relaxed);
                }
        }
    CountHalfEdges(t, m_vertices, m_bucketSizes.get());
}

void cMesh::Update(cUpdateInPass& pass)
{
    UpdateBoundingBox();
    if (GetTriangleCount() != 0 && GetVertexCount() != 0)
    {
        // The corners the runs left: each range of vertices on a job, its
        // runs' corners one run after another.
        auto sumDeferred = [&](std::size_t range)
        {
            for (std::size_t run = 0; run < pass.m_runs; ++run)
                for (const cUpdateInPass::stDeferredCorner& deferred :
                     pass.m_deferred[run * kDeferredRanges + range])
                {
                    const cMeshTriangle& t = *GetTriangle(static_cast<std::uint32_t>(deferred.corner / 3));
                    AddNormalTerm(*GetVertex(t.vertexIndex[deferred.corner % 3]), t, deferred.area);
                }
        };
        ParallelForEach(SharedThreadPool(), kDeferredRanges, 1, sumDeferred);
        FinishVertexNormals(SharedThreadPool());
    }
    pass.m_deferred.clear();
    BuildTopology(std::move(pass.m_bucketSizes));
    m_progress = nullptr;
}

void cMesh::AddAreaWeightedNormals(const double* areas, const std::uint32_t* metBy, cThreadPool* pool)
{
    // Each vertex adds its triangles' terms in triangle order. A vertex whose
    // triangles all lie in one job's block is summed by that job; those
    // whose triangles lie in several blocks (along the blocks' borders, and
    // any a later triangle comes back to) are summed afterwards, in triangle
    // order, from the lists of the triangles that touch them.
    const std::uint32_t triangleCount = GetTriangleCount();
    const std::size_t blocks = (std::size_t{triangleCount} + kSumJobTriangles - 1) / kSumJobTriangles;
    const auto forTriangles = [&](std::size_t block, auto&& each)
    {
        const std::size_t end = std::min<std::size_t>(triangleCount, (block + 1) * kSumJobTriangles);
        for (std::size_t i = block * kSumJobTriangles; i < end; ++i)
            if (areas[i] > 0.0)
                each(static_cast<std::uint32_t>(i), areas[i]);
    };
    // The corners at vertices of several blocks are listed per block and per
    // range of vertices (triangle * 3 + corner, in triangle order); each
    // range is then summed on the pool, the lists of its blocks one after
    // another, so that each vertex still adds its terms in triangle order.
    const std::size_t vertexCount = GetVertexCount();
    const std::size_t ranges = blocks > 1 ? kSharedVertexRanges : 1;
    std::vector<std::vector<std::uint64_t>> sharedCorners(blocks * ranges);
    auto sum = [&](std::size_t block)
    {
        forTriangles(block,
                     [&](std::uint32_t i, double area)
                     {
                         const cMeshTriangle& t = *GetTriangle(i);
                         for (std::uint32_t k = 0; k < 3; ++k)
                         {
                             const std::uint32_t index = t.vertexIndex[k];
                             if (metBy[index] == block)
                                 AddNormalTerm(*GetVertex(index), t, area);
                             else
                                 sharedCorners[block * ranges + std::size_t{index} * ranges / vertexCount].push_back(
                                     std::uint64_t{i} * 3 + k);
                         }
                     });
    };
    ParallelForEach(pool, blocks, 1, sum);
    if (blocks <= 1)
        return; // every vertex was summed by the one block
    auto sumShared = [&](std::size_t range)
    {
        for (std::size_t block = 0; block < blocks; ++block)
            for (const std::uint64_t corner : sharedCorners[block * ranges + range])
            {
                const auto i = static_cast<std::uint32_t>(corner / 3);
                const cMeshTriangle& t = *GetTriangle(i);
                AddNormalTerm(*GetVertex(t.vertexIndex[corner % 3]), t, areas[i]);
            }
    };
    ParallelForEach(pool, ranges, 1, sumShared);
}

void cMesh::ComputeNormals(bool withTriangleNormals)
{
    if (GetTriangleCount() == 0 || GetVertexCount() == 0)
        return;
    // The triangles' normals and areas and the vertices' last step are
    // independent, so they run on the pool; the vertices' sums are made in
    // triangle order as one pass made them, so the result does not depend
    // on it. Area 0 marks a triangle that adds nothing; the areas are left
    // uninitialised for the pool's jobs to write (and first touch) each one.
    cThreadPool* pool = SharedThreadPool();
    const std::uint32_t triangleCount = GetTriangleCount();
    std::unique_ptr<double[]> areas(new double[triangleCount]);
    // Which block of the sums meets each vertex: one (its number) or several.
    const std::unique_ptr<std::uint32_t[]> metBy = MakeFilledOnPool(pool, GetVertexCount(), kVertexNotMet);
    auto measure = [&](std::size_t i)
    {
        cMeshTriangle& t = *GetTriangle(static_cast<std::uint32_t>(i));
        areas[i] = 0.0;
        cVertex* corner[3];
        if (!GetCorners(t, corner))
            return;
        areas[i] = MeasureTriangle(t, corner[0]->Position(), corner[1]->Position(), corner[2]->Position(),
                                   withTriangleNormals);
        if (areas[i] > 0.0)
            MeetCorners(t, static_cast<std::uint32_t>(i / kSumJobTriangles), metBy.get());
    };
    ParallelForEach(pool, triangleCount, kSumJobTriangles, measure);
    AddUpVertexNormals(std::move(areas), metBy.get());
}

void cMesh::AddUpVertexNormals(std::unique_ptr<double[]> areas, const std::uint32_t* metBy)
{
    cThreadPool* pool = SharedThreadPool();
    auto clear = [&](std::size_t i)
    {
        cVertex& v = *GetVertex(static_cast<std::uint32_t>(i));
        v.nx = v.ny = v.nz = 0.0f;
        v.SetScalar(0.0f);
    };
    ParallelForEach(pool, GetVertexCount(), kNormalJobRecords, clear);
    AddAreaWeightedNormals(areas.get(), metBy, pool);
    areas.reset();
    FinishVertexNormals(pool);
}

void cMesh::FinishVertexNormals(cThreadPool* pool)
{
    auto finish = [&](std::size_t i)
    {
        cVertex& v = *GetVertex(static_cast<std::uint32_t>(i));
        if (IsZeroVector(v.Normal()))
            return;
        const float summedArea = v.GetScalar();
        v.nx /= summedArea;
        v.ny /= summedArea;
        v.nz /= summedArea;
        NormaliseVector3f(v.Normal());
    };
    ParallelForEach(pool, GetVertexCount(), kNormalJobRecords, finish);
}

bool cMesh::ComputeVertexNormals()
{
    if (GetVertexCount() < 3)
        return true;
    if (GetTriangleCount() == 0)
        return false;
    ForEachVertex([](cVertex& v) { v.nx = v.ny = v.nz = 0.0f; });
    ForEachTriangle(
        [this](const cMeshTriangle& t)
        {
            cVertex* corner[3];
            if (!GetCorners(t, corner))
                return;
            if (TriangleArea(corner[0]->Position(), corner[1]->Position(), corner[2]->Position()) == 0.0)
                return;
            for (cVertex* v : corner)
            {
                v->nx += t.nx;
                v->ny += t.ny;
                v->nz += t.nz;
            }
        });
    ForEachVertex(
        [](cVertex& v)
        {
            const double lengthSquared = static_cast<double>(v.nx) * v.nx + static_cast<double>(v.ny) * v.ny +
                                         static_cast<double>(v.nz) * v.nz;
            if (lengthSquared > 1.1920928955078125e-7)
                NormaliseVector3f(v.Normal());
        });
    return true;
}

void cMesh::ClearTriangleFlag4()
{
    ForEachTriangle([](cMeshTriangle& t) { t.flags &= static_cast<std::uint8_t>(~kTriangleFlagScratch); });
}

void cMesh::SetTriangleFlag4()
{
    ForEachTriangle([](cMeshTriangle& t) { t.flags |= kTriangleFlagScratch; });
}

void cMesh::FlagTrianglesByColour(std::uint32_t colour)
{
    const std::uint32_t label = colour & kTriangleColourMask;
    ForEachTriangle(
        [this, label](cMeshTriangle& t)
        {
            if (t.GetLabel() != label)
                return;
            t.flags |= kTriangleFlagScratch;
            cVertex* corner[3];
            if (!GetCorners(t, corner))
                return;
            for (cVertex* v : corner)
                v->flags |= kTriangleFlagScratch;
        });
}

std::unique_ptr<ITriIterator> cMesh::CreateTriIterator()
{
    return std::make_unique<cMeshTriIterator>(this);
}

cMeshTriIterator::cMeshTriIterator(cMesh* mesh) : m_mesh(mesh), m_count(mesh->GetTriangleCount())
{
    First();
}

void cMeshTriIterator::First()
{
    m_index = 0;
    m_current = m_count != 0 ? m_mesh->GetTriangle(0) : nullptr;
}

void cMeshTriIterator::Next()
{
    if (m_index < m_count)
        ++m_index;
    if (m_index < m_count)
        m_current = m_mesh->GetTriangle(m_index);
}

const tTriangle<cVertex>* cMeshTriIterator::GetTriangle()
{
    if (m_current == nullptr)
        return &m_view;
    const std::uint32_t vertexCount = m_mesh->GetVertexCount();
    for (int k = 0; k < 3; ++k)
    {
        const std::uint32_t index = m_current->vertexIndex[k];
        m_view.corner[k] = index < vertexCount ? m_mesh->GetVertex(index) : nullptr;
    }
    m_view.nx = m_current->nx;
    m_view.ny = m_current->ny;
    m_view.nz = m_current->nz;
    m_view.edgeFlags[0] = m_view.edgeFlags[1] = m_view.edgeFlags[2] = 0;
    m_view.spare = 0;
    return &m_view;
}
