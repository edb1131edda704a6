#include "shapes/region_triangles.h"

#include "core/mesh.h"
#include "core/point_twins.h"
#include "core/thread_pool.h"
#include "shapes/region_points.h"
#include "shapes/session_surface.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <optional>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace
{

constexpr std::uint32_t kTrianglesPerJob = 1u << 16;
// Chunks of region points a job takes.
constexpr std::uint32_t kChunksPerJob = 64;

// The points a region's walk may be cut at (stRegionAnchors): as many
// stretches as keep the pool's threads busy four times over, each of at
// least 64K points, and no more than 64.
std::vector<std::uint32_t> AnchorPoints(const cRegionPoints& region, cThreadPool* pool)
{
    const std::uint32_t points = region.GetCount();
    const std::uint32_t threads = pool != nullptr ? static_cast<std::uint32_t>(pool->GetThreadCount()) : 1;
    constexpr std::uint32_t kLeastPerStretch = 1u << 16;
    const std::uint32_t stretches = std::min({4 * threads, points / kLeastPerStretch, 64u});
    if (stretches < 2)
        return {};
    // The last point too, so that the triangles after its triangle make a
    // stretch with no point to match.
    std::vector<std::uint32_t> anchors(stretches + 1);
    for (std::uint32_t j = 0; j <= stretches; ++j)
    {
        anchors[j] = j < stretches ? static_cast<std::uint32_t>(std::uint64_t{points} * j / stretches) : points - 1;
        const float* p = region.GetPoint(anchors[j]);
        if (!(p[0] == p[0] && p[1] == p[1] && p[2] == p[2]))
            return {}; // matches nothing
    }
    return anchors;
}

// Anchor positions in a small table by their coordinates' bits (a zero's
// sign left out: -0 equals +0), so that a centroid finds the anchors equal
// to it in a probe or two.
class cAnchorSlots
{
public:
    explicit cAnchorSlots(const std::vector<float>& positions) : m_positions(positions)
    {
        const std::size_t anchors = positions.size() / 3;
        while ((std::size_t{1} << m_bits) < 4 * anchors)
            ++m_bits;
        m_slots.assign(std::size_t{1} << m_bits, -1);
        for (std::size_t k = 0; k < anchors; ++k)
        {
            std::size_t slot = SlotOf(&positions[3 * k]);
            while (m_slots[slot] >= 0)
                slot = (slot + 1) & (m_slots.size() - 1);
            m_slots[slot] = static_cast<std::int32_t>(k);
        }
    }
    // Calls take(k) for each anchor k at the centroid's position.
    template <class Take> void ForEqual(const float* c, Take&& take) const
    {
        for (std::size_t slot = SlotOf(c); m_slots[slot] >= 0; slot = (slot + 1) & (m_slots.size() - 1))
        {
            const auto k = static_cast<std::uint32_t>(m_slots[slot]);
            const float* p = &m_positions[3 * std::size_t{k}];
            if (c[0] == p[0] && c[1] == p[1] && c[2] == p[2])
                take(k);
        }
    }

private:
    std::size_t SlotOf(const float* p) const
    {
        std::uint64_t h = 0;
        for (int k = 0; k < 3; ++k)
        {
            std::uint32_t bits = 0;
            if (p[k] != 0.0f)
                std::memcpy(&bits, &p[k], sizeof bits);
            h = (h ^ bits) * 0x9E3779B97F4A7C15ull;
        }
        return static_cast<std::size_t>(h >> (64 - m_bits));
    }

    const std::vector<float>& m_positions;
    unsigned m_bits = 8;
    std::vector<std::int32_t> m_slots;
};

// Each job's count of the triangles at each anchor and the first of them.
struct stAnchorCounts
{
    std::size_t anchors;
    std::vector<std::uint32_t> found, first;

    stAnchorCounts(std::size_t anchorCount, std::size_t jobs)
        : anchors(anchorCount), found(anchorCount * jobs, 0), first(anchorCount * jobs, 0)
    {
    }
    void Take(std::uint32_t job, std::uint32_t k, std::uint32_t triangle)
    {
        if (found[job * anchors + k]++ == 0)
            first[job * anchors + k] = triangle;
    }
    // Anchor k's triangles over every job, and the first of them.
    void Total(std::size_t k, std::uint32_t& total, std::uint32_t& triangle) const
    {
        total = 0;
        triangle = 0;
        for (std::size_t at = k; at < found.size(); at += anchors)
            if (found[at] != 0)
            {
                if (total == 0)
                    triangle = first[at];
                total += found[at];
            }
    }
};

struct stCentroidJob
{
    const cMesh* mesh;
    std::uint32_t count;
    float* centroids;
    std::uint8_t* marks;
    std::uint8_t hasCentroid;
    std::vector<float>* largest; // per job: the largest coordinate size
    const cAnchorSlots* anchors;   // null when no anchors are looked for
    stAnchorCounts* counts;
};

void CentroidsOfJob(void* context, std::uint32_t job)
{
    auto& c = *static_cast<stCentroidJob*>(context);
    const std::uint32_t begin = job * kTrianglesPerJob, end = std::min(c.count, begin + kTrianglesPerJob);
    float largest = 0.0f;
    for (std::uint32_t i = begin; i < end; ++i)
    {
        const cVertex* corners[3];
        float* centroid = c.centroids + 3 * std::size_t{i};
        if (!c.mesh->GetCorners(*c.mesh->GetTriangle(i), corners))
        {
            // Kept out of the twin search (an index cannot hold it).
            centroid[0] = centroid[1] = centroid[2] = std::numeric_limits<float>::quiet_NaN();
            c.marks[i] = 0;
            continue;
        }
        RegionCentroid(corners[0]->Position(), corners[1]->Position(), corners[2]->Position(), centroid);
        c.marks[i] = c.hasCentroid;
        for (int k = 0; k < 3; ++k)
            if (std::isfinite(centroid[k]))
                largest = std::max(largest, std::fabs(centroid[k]));
        if (c.anchors != nullptr)
            c.anchors->ForEqual(centroid, [&](std::uint32_t k) { c.counts->Take(job, k, i); });
    }
    (*c.largest)[job] = largest;
}

void SetBit(std::vector<std::uint64_t>& bits, std::uint64_t i)
{
    std::atomic_ref<std::uint64_t> word(bits[i >> 6]);
    const std::uint64_t bit = std::uint64_t{1} << (i & 63);
    // Read first: neighbouring points mostly find their cell's bit set.
    if ((word.load(std::memory_order_relaxed) & bit) == 0)
        word.fetch_or(bit, std::memory_order_relaxed);
}

bool TestBit(const std::vector<std::uint64_t>& bits, std::uint64_t i)
{
    return (bits[i >> 6] >> (i & 63) & 1) != 0;
}

// Cells over a box, a bit each: as fine as 16M cells allow, and at least
// twice a margin wide, so that the margin about a point meets at most two
// cells along each axis.
class cCoarseGrid
{
public:
    // Over a box (low x, y, z, then high) grown by the margin.
    cCoarseGrid(const float box[6], double margin)
    {
        constexpr double kMostCells = double(1 << 24);
        double span[3], volume = 1.0;
        for (int k = 0; k < 3; ++k)
        {
            m_origin[k] = double(box[k]) - margin;
            span[k] = double(box[k + 3]) + margin - m_origin[k];
            volume *= span[k];
        }
        double width = std::max({2.0 * margin, std::cbrt(volume / kMostCells), DBL_MIN});
        const auto cells = [&](int k) { return std::floor(span[k] / width) + 1.0; };
        while (cells(0) * cells(1) * cells(2) > kMostCells)
            width *= 1.25;
        m_scale = 1.0 / width;
        for (int k = 0; k < 3; ++k)
            m_cells[k] = static_cast<std::uint64_t>(cells(k));
    }
    std::size_t Words() const { return static_cast<std::size_t>((m_cells[0] * m_cells[1] * m_cells[2] + 63) / 64); }
    // The cell of a point; false for a point outside the grid (or not
    // finite). A coordinate's cell only grows with it.
    bool CellOf(const float* p, std::uint64_t& cell) const
    {
        std::uint64_t at[3];
        for (int k = 0; k < 3; ++k)
        {
            // Truncated where it is not negative: its floor.
            const double q = (double(p[k]) - m_origin[k]) * m_scale;
            if (!(q >= 0.0 && q < double(m_cells[k])))
                return false;
            at[k] = static_cast<std::uint64_t>(q);
        }
        cell = Index(at);
        return true;
    }
    // Whether test(cell) holds for a cell of the grid within the margin of
    // a finite point (each such cell is tested until one holds).
    template <class Test> bool AnyNear(const float* p, double margin, Test&& test) const
    {
        std::uint64_t low[3], high[3];
        for (int k = 0; k < 3; ++k)
        {
            const double cells = double(m_cells[k]);
            const double from = (double(p[k]) - margin - m_origin[k]) * m_scale;
            const double to = (double(p[k]) + margin - m_origin[k]) * m_scale;
            if (to < 0.0 || from >= cells)
                return false;
            low[k] = from > 0.0 ? static_cast<std::uint64_t>(from) : 0;
            high[k] = std::min(static_cast<std::uint64_t>(to), m_cells[k] - 1);
        }
        std::uint64_t at[3];
        for (at[0] = low[0]; at[0] <= high[0]; ++at[0])
            for (at[1] = low[1]; at[1] <= high[1]; ++at[1])
                for (at[2] = low[2]; at[2] <= high[2]; ++at[2])
                    if (test(Index(at)))
                        return true;
        return false;
    }

private:
    std::uint64_t Index(const std::uint64_t at[3]) const { return (at[0] * m_cells[1] + at[1]) * m_cells[2] + at[2]; }

    double m_origin[3];
    double m_scale;
    std::uint64_t m_cells[3];
};

} // namespace

// A region whose anchors were looked for with the centroids: its points'
// storage, count and anchors' positions, to tell it again.
struct cRegionTriangles::stAnchored
{
    const void* storage;
    std::uint32_t count;
    std::vector<float> positions;
    stRegionAnchors anchors;
};

cRegionTriangles::cRegionTriangles(const cMesh& mesh, cThreadPool* pool, const std::vector<const cRegionPoints*>& walked)
    : m_mesh(&mesh), m_pool(pool), m_count(0)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    const std::uint32_t jobs = (count + kTrianglesPerJob - 1) / kTrianglesPerJob;
    std::vector<float> largest, positions;
    std::optional<cAnchorSlots> slots;
    std::optional<stAnchorCounts> counts;
    try
    {
        // Left unwritten until the jobs write every centroid and mark, on
        // the pool: cleared first on this thread, a 10M-triangle scan's
        // 130 MB took about 50 ms of the dialog's opening.
        m_centroids.reset(new float[3 * std::size_t{count}]);
        m_marks.reset(new std::uint8_t[count]);
        largest.assign(jobs, 0.0f);
        // Regions that share their points have the same anchors: looked for once.
        for (const cRegionPoints* region : walked)
        {
            if (region == nullptr || m_anchored.size() == kAnchoredRegions ||
                std::any_of(m_anchored.begin(), m_anchored.end(), [region](const stAnchored& a)
                            { return a.storage == region->Storage().get() && a.count == region->GetCount(); }))
                continue;
            std::vector<std::uint32_t> points = AnchorPoints(*region, pool);
            if (points.empty())
                continue;
            stAnchored& anchored = m_anchored.emplace_back();
            anchored.storage = region->Storage().get();
            anchored.count = region->GetCount();
            for (const std::uint32_t p : points)
                anchored.positions.insert(anchored.positions.end(), region->GetPoint(p), region->GetPoint(p) + 3);
            positions.insert(positions.end(), anchored.positions.begin(), anchored.positions.end());
            anchored.anchors.points = std::move(points);
        }
        if (!m_anchored.empty())
        {
            slots.emplace(positions);
            counts.emplace(positions.size() / 3, jobs);
        }
    }
    catch (const std::bad_alloc&)
    {
        m_anchored.clear();
        if (!m_centroids || !m_marks || largest.size() != jobs)
            return; // IsFor stays false: the callers test each triangle on its own
        slots.reset(), counts.reset();
    }
    stCentroidJob job{&mesh, count, m_centroids.get(), m_marks.get(), kHasCentroid, &largest,
                      slots ? &*slots : nullptr, counts ? &*counts : nullptr};
    ParallelFor(pool, jobs, CentroidsOfJob, &job);
    std::size_t k = 0;
    for (stAnchored& anchored : m_anchored)
    {
        stRegionAnchors& anchors = anchored.anchors;
        anchors.found.resize(anchors.points.size());
        anchors.first.resize(anchors.points.size());
        for (std::size_t j = 0; j < anchors.points.size(); ++j, ++k)
            counts->Total(k, anchors.found[j], anchors.first[j]);
    }

    // The radius no centroid's own exceeds, widened a little: a region point
    // within a centroid's radius then passes the twin search's box test in
    // its float arithmetic on every axis.
    float biggest = 0.0f;
    for (const float l : largest)
        biggest = std::max(biggest, l);
    const float corner[3] = {biggest, 0.0f, 0.0f};
    m_reach = std::nextafter(static_cast<float>(RegionMembershipRadius(corner) * 1.001), FLT_MAX);
    m_count = count;
}

// The grid over a region's points and the cells that hold one.
struct cRegionNearCells::stCells
{
    cCoarseGrid grid;
    double margin;
    std::vector<std::uint64_t> held;
};

namespace
{

// Calls take(point, cell) for each point of a job's chunks inside the grid.
template <class Take>
void EachPointInGrid(const cRegionPoints& points, const cCoarseGrid& grid, std::size_t job, Take&& take)
{
    const std::uint32_t count = points.GetCount();
    const std::uint32_t chunks = (count + kArrayChunkSize - 1) / kArrayChunkSize;
    for (std::uint32_t c = std::uint32_t(job * kChunksPerJob); c < std::min<std::size_t>(chunks, (job + 1) * kChunksPerJob); ++c)
    {
        const float* xyz = points.GetPoint(c * kArrayChunkSize);
        const std::uint32_t n = std::min(kArrayChunkSize, count - c * kArrayChunkSize);
        for (std::uint32_t k = 0; k < n; ++k)
            if (std::uint64_t cell; grid.CellOf(xyz + 3 * k, cell))
                take(xyz + 3 * k, cell);
    }
}

std::size_t ChunkJobs(const cRegionPoints& points)
{
    const std::size_t chunks = (std::size_t{points.GetCount()} + kArrayChunkSize - 1) / kArrayChunkSize;
    return (chunks + kChunksPerJob - 1) / kChunksPerJob;
}

bool IsFinite(const float* c)
{
    return std::isfinite(c[0]) && std::isfinite(c[1]) && std::isfinite(c[2]);
}

} // namespace

cRegionNearCells::cRegionNearCells(const cRegionTriangles& triangles, cRegionPoints& points)
{
    const float* box = points.GetBoundingBox();
    if (points.GetCount() == 0 || !std::all_of(box, box + 6, [](float v) { return std::isfinite(v); }))
        return;
    // A point within the reach of a centroid lies within the centroid's
    // box grown by the reach on every axis; grown by twice that, in double,
    // so that the rounding of the comparisons cannot matter.
    const double margin = 2.0 * double(triangles.m_reach);
    try
    {
        m_cells.reset(new stCells{cCoarseGrid(box, margin), margin, {}});
        m_cells->held.assign(m_cells->grid.Words(), 0);
    }
    catch (const std::bad_alloc&)
    {
        m_cells.reset();
        return;
    }
    stCells& cells = *m_cells;
    auto hold = [&](std::size_t job) {
        EachPointInGrid(points, cells.grid, job, [&cells](const float*, std::uint64_t cell) { SetBit(cells.held, cell); });
    };
    ParallelForEach(triangles.Pool(), ChunkJobs(points), 1, hold);
}

cRegionNearCells::~cRegionNearCells() = default;

bool cRegionNearCells::MayLieNear(const float* centroid) const
{
    return m_cells == nullptr || !IsFinite(centroid) ||
           m_cells->grid.AnyNear(centroid, m_cells->margin,
                                 [this](std::uint64_t cell) { return TestBit(m_cells->held, cell); });
}

std::vector<std::uint8_t> cRegionTriangles::MayLieNear(const std::vector<std::uint32_t>& listed, cRegionPoints& points,
                                                       const cRegionNearCells* given) const
{
    std::vector<std::uint8_t> flags(listed.size(), 1);
    if (listed.empty())
        return flags;
    std::optional<cRegionNearCells> own;
    const cRegionNearCells& nearCells = given != nullptr ? *given : own.emplace(*this, points);
    if (nearCells.m_cells == nullptr)
        return flags;
    const cRegionNearCells::stCells& cells = *nearCells.m_cells;
    const cCoarseGrid& grid = cells.grid;
    const double margin = cells.margin;
    // A listed centroid with no cell that holds a point within its reach
    // has no point near it; the others go to the twin search with the
    // points in the cells within their reach.
    std::vector<std::uint64_t> searched;
    try
    {
        searched.assign(grid.Words(), 0);
    }
    catch (const std::bad_alloc&)
    {
        return flags;
    }
    const std::size_t chunkJobs = ChunkJobs(points);
    const std::size_t listJobs = (listed.size() + kTrianglesPerJob - 1) / kTrianglesPerJob;
    std::vector<std::size_t> nearFirsts(listJobs + 1, 0);
    const auto eachListed = [&](std::size_t job, auto&& take) {
        for (std::size_t k = job * kTrianglesPerJob; k < std::min(listed.size(), (job + 1) * kTrianglesPerJob); ++k)
            take(k);
    };
    auto sort = [&](std::size_t job) {
        eachListed(job, [&](std::size_t k) {
            const float* c = Centroid(listed[k]);
            if (!IsFinite(c))
                return;
            const bool found = nearCells.MayLieNear(c);
            flags[k] = found ? 2 : 0;
            nearFirsts[job + 1] += found;
        });
    };
    ParallelForEach(m_pool, listJobs, 1, sort);
    for (std::size_t job = 0; job < listJobs; ++job)
        nearFirsts[job + 1] += nearFirsts[job];
    const std::size_t nearCount = nearFirsts[listJobs];
    if (nearCount == 0)
        return flags;
    // The near centroids first, then the points near them.
    std::vector<std::size_t> pointFirsts(chunkJobs + 1, 0);
    std::vector<std::uint32_t> near;
    std::vector<float> packed;
    try
    {
        near.resize(nearCount);
    }
    catch (const std::bad_alloc&)
    {
        return flags;
    }
    auto list = [&](std::size_t job) {
        std::size_t at = nearFirsts[job];
        eachListed(job, [&](std::size_t k) {
            if (flags[k] != 2)
                return;
            flags[k] = 1;
            near[at++] = static_cast<std::uint32_t>(k);
            grid.AnyNear(Centroid(listed[k]), margin, [&searched](std::uint64_t cell) { return SetBit(searched, cell), false; });
        });
    };
    ParallelForEach(m_pool, listJobs, 1, list);
    auto countPoints = [&](std::size_t job) {
        EachPointInGrid(points, grid, job, [&](const float*, std::uint64_t cell) { pointFirsts[job + 1] += TestBit(searched, cell); });
    };
    ParallelForEach(m_pool, chunkJobs, 1, countPoints);
    for (std::size_t job = 0; job < chunkJobs; ++job)
        pointFirsts[job + 1] += pointFirsts[job];
    try
    {
        packed.resize(3 * (nearCount + pointFirsts[chunkJobs]));
    }
    catch (const std::bad_alloc&)
    {
        return flags;
    }
    for (std::size_t j = 0; j < nearCount; ++j)
        std::copy_n(Centroid(listed[near[j]]), 3, &packed[3 * j]);
    auto pack = [&](std::size_t job) {
        std::size_t at = nearCount + pointFirsts[job];
        EachPointInGrid(points, grid, job, [&](const float* p, std::uint64_t cell) {
            if (TestBit(searched, cell))
                std::copy_n(p, 3, &packed[3 * at++]);
        });
    };
    ParallelForEach(m_pool, chunkJobs, 1, pack);
    std::vector<std::uint8_t> twins;
    if (MarkPointTwins(packed.data(), packed.size() / 3, 3, m_reach, m_pool, twins))
        for (std::size_t j = 0; j < nearCount; ++j)
            flags[near[j]] = twins[j] != kPointAlone;
    return flags;
}

cRegionTriangles::~cRegionTriangles() = default;

stRegionAnchors cRegionTriangles::FindAnchors(const cRegionPoints& region) const
{
    for (const stAnchored& anchored : m_anchored)
    {
        if (anchored.storage != region.Storage().get() || anchored.count != region.GetCount())
            continue;
        bool same = true;
        for (std::size_t j = 0; j < anchored.anchors.points.size() && same; ++j)
            same = std::memcmp(region.GetPoint(anchored.anchors.points[j]), &anchored.positions[3 * j],
                               3 * sizeof(float)) == 0;
        if (same)
            return anchored.anchors;
    }
    stRegionAnchors anchors;
    anchors.points = AnchorPoints(region, m_pool);
    if (anchors.points.empty())
        return anchors;
    std::vector<float> positions;
    for (const std::uint32_t p : anchors.points)
        positions.insert(positions.end(), region.GetPoint(p), region.GetPoint(p) + 3);
    const cAnchorSlots slots(positions);
    const std::size_t jobs = (std::size_t{m_count} + kTrianglesPerJob - 1) / kTrianglesPerJob;
    stAnchorCounts counts(anchors.points.size(), jobs);
    auto find = [&](std::size_t job) {
        for (std::uint32_t i = std::uint32_t(job) * kTrianglesPerJob; i < std::min<std::size_t>(m_count, (job + 1) * kTrianglesPerJob); ++i)
            if (HasCentroid(i))
                slots.ForEqual(Centroid(i), [&](std::uint32_t k) { counts.Take(std::uint32_t(job), k, i); });
    };
    ParallelForEach(m_pool, jobs, 1, find);
    anchors.found.resize(anchors.points.size());
    anchors.first.resize(anchors.points.size());
    for (std::size_t j = 0; j < anchors.points.size(); ++j)
        counts.Total(j, anchors.found[j], anchors.first[j]);
    return anchors;
}

bool cRegionTriangles::IsFor(const cMesh& mesh) const
{
    return &mesh == m_mesh && mesh.GetTriangleCount() == m_count && m_marks != nullptr;
}
