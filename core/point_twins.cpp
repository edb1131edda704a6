#include "core/point_twins.h"

#include "core/thread_pool.h"
#include "core/vertex_merge_index.h"
#include "platform/geometry/fresh_pages.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <memory>
#include <new>

namespace
{

// Cells relative to the smallest coordinate, plus one so that a neighbour
// one cell lower is still 0 or more, packed 21 bits an axis (x highest, so
// the packed order is the cells' lexicographic order). A cell is at least
// twice the tolerance wide, so twins lie in neighbouring cells at most; it
// is wider on an axis that the points span too far for 21 bits.
constexpr int kAxisBits = 21;
constexpr double kAxisCells = double(std::int64_t{1} << kAxisBits) - 4.0;
// Every bit set: where the AND of keys starts.
constexpr std::uint64_t kAllBits = std::numeric_limits<std::uint64_t>::max();

std::uint64_t Pack(std::int64_t x, std::int64_t y, std::int64_t z)
{
    return (static_cast<std::uint64_t>(x) << (2 * kAxisBits)) | (static_cast<std::uint64_t>(y) << kAxisBits) |
           static_cast<std::uint64_t>(z);
}

struct stBox
{
    double low[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                     std::numeric_limits<double>::max()};
    double high[3] = {std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest(),
                      std::numeric_limits<double>::lowest()};
};

struct stTwinSearch
{
    const float* points = nullptr;
    std::size_t stride = 3;
    std::size_t count = 0;
    float tolerance = 0.0f;
    std::uint32_t jobs = 1;
    std::vector<stBox> jobBoxes; // of the points the index can hold
    // Per job the number of its points the index can hold, then where the
    // first of them goes among the keys; the AND and the OR of its keys.
    std::vector<std::size_t> jobCells;
    std::vector<std::uint64_t> jobAll, jobAny;
    double origin[3] = {0, 0, 0};
    double inverseWidth[3] = {0, 0, 0};
    // The packed cells of the points the index can hold and the points, in
    // the points' order, then sorted by cell. The arrays are first written
    // on the pool.
    std::size_t withCell = 0;
    std::unique_ptr<std::uint64_t[]> sortedKeys;
    std::unique_ptr<std::uint32_t[]> sortedPoints;
    std::vector<std::uint8_t>* marks = nullptr;

    const float* Point(std::size_t i) const { return points + i * stride; }
    std::size_t Begin(std::uint32_t job, std::size_t n) const { return n * job / jobs; }
};

void MarkUnindexable(void* context, std::uint32_t job)
{
    auto& search = *static_cast<stTwinSearch*>(context);
    stBox box;
    std::size_t cells = 0;
    for (std::size_t i = search.Begin(job, search.count); i < search.Begin(job + 1, search.count); ++i)
    {
        std::int64_t cell[3];
        const float* p = search.Point(i);
        if (!cVertexMergeIndex::CellOfPoint(p, search.tolerance, cell))
        {
            (*search.marks)[i] = kPointNotIndexable;
            continue;
        }
        ++cells;
        for (int a = 0; a < 3; ++a)
        {
            box.low[a] = std::min(box.low[a], double(p[a]));
            box.high[a] = std::max(box.high[a], double(p[a]));
        }
    }
    search.jobBoxes[job] = box;
    search.jobCells[job] = cells;
}

// A job's points the index can hold, written in order from where its first
// one goes.
void PackCells(void* context, std::uint32_t job)
{
    auto& search = *static_cast<stTwinSearch*>(context);
    std::size_t at = search.jobCells[job];
    std::uint64_t all = kAllBits, any = 0;
    for (std::size_t i = search.Begin(job, search.count); i < search.Begin(job + 1, search.count); ++i)
    {
        if ((*search.marks)[i] == kPointNotIndexable)
            continue;
        const float* p = search.Point(i);
        std::int64_t cell[3];
        for (int a = 0; a < 3; ++a)
        {
            const double q = (double(p[a]) - search.origin[a]) * search.inverseWidth[a];
            cell[a] = static_cast<std::int64_t>(std::min(std::max(q, 0.0), kAxisCells)) + 1;
        }
        const std::uint64_t key = Pack(cell[0], cell[1], cell[2]);
        search.sortedKeys[at] = key;
        search.sortedPoints[at++] = static_cast<std::uint32_t>(i);
        all &= key;
        any |= key;
    }
    search.jobAll[job] = all;
    search.jobAny[job] = any;
}

// One pass of the radix sort below: the keys and ids are split into
// consecutive slices, each slice counts its digits, and each moves its
// records to where the slices before it and the smaller digits end, so the
// pass is stable and its outcome the same however many slices there are.
struct stRadixPass
{
    static constexpr std::size_t kDigits = 65536;
    int shift = 0;
    std::uint32_t slices = 1;
    const std::uint64_t* keys = nullptr;
    const std::uint32_t* ids = nullptr;
    std::uint64_t* toKeys = nullptr;
    std::uint32_t* toIds = nullptr;
    std::size_t count = 0;
    std::vector<std::size_t> offsets; // slice-major: slices x kDigits

    std::size_t Begin(std::uint32_t slice) const
    {
        return count / slices * slice + std::min<std::size_t>(slice, count % slices);
    }
    std::size_t Digit(std::uint64_t key) const { return (key >> shift) & 0xFFFF; }
};

void CountDigits(void* context, std::uint32_t slice)
{
    auto& pass = *static_cast<stRadixPass*>(context);
    std::size_t* counts = pass.offsets.data() + std::size_t{slice} * stRadixPass::kDigits;
    std::fill(counts, counts + stRadixPass::kDigits, 0);
    for (std::size_t i = pass.Begin(slice); i < pass.Begin(slice + 1); ++i)
        ++counts[pass.Digit(pass.keys[i])];
}

void MoveByDigit(void* context, std::uint32_t slice)
{
    auto& pass = *static_cast<stRadixPass*>(context);
    std::size_t* offsets = pass.offsets.data() + std::size_t{slice} * stRadixPass::kDigits;
    for (std::size_t i = pass.Begin(slice); i < pass.Begin(slice + 1); ++i)
    {
        const std::size_t to = offsets[pass.Digit(pass.keys[i])]++;
        pass.toKeys[to] = pass.keys[i];
        pass.toIds[to] = pass.ids[i];
    }
}

// Sorts n records (keys with their ids) by their keys, of which only the
// bits below `bits` differ: a byte of those bits at a time from the top, the
// records moved into the scratch arrays by that byte and back, each byte's
// records then sorted on by the bits below it; a few records by insertion.
// A byte every record shares moves nothing. Records of equal keys may end up
// in any order: the twins found do not depend on it.
void SortLowBits(std::uint64_t* keys, std::uint32_t* ids, std::uint64_t* scratchKeys, std::uint32_t* scratchIds,
                 std::size_t n, int bits)
{
    constexpr std::size_t kInsertionRecords = 32;
    while (n > kInsertionRecords && bits > 0)
    {
        const int shift = std::max(bits - 8, 0);
        const std::uint64_t mask = (std::uint64_t{1} << (bits - shift)) - 1;
        std::array<std::size_t, 257> start{};
        for (std::size_t i = 0; i < n; ++i)
            ++start[((keys[i] >> shift) & mask) + 1];
        if (*std::max_element(start.begin(), start.end()) == n)
        {
            bits = shift; // every record has this byte
            continue;
        }
        for (std::size_t d = 0; d < 256; ++d)
            start[d + 1] += start[d];
        std::array<std::size_t, 256> at;
        std::copy_n(start.begin(), 256, at.begin());
        for (std::size_t i = 0; i < n; ++i)
        {
            const std::size_t to = at[(keys[i] >> shift) & mask]++;
            scratchKeys[to] = keys[i];
            scratchIds[to] = ids[i];
        }
        std::copy_n(scratchKeys, n, keys);
        std::copy_n(scratchIds, n, ids);
        for (std::size_t d = 0; d < 256; ++d)
            if (start[d + 1] - start[d] > 1)
                SortLowBits(keys + start[d], ids + start[d], scratchKeys + start[d], scratchIds + start[d],
                            start[d + 1] - start[d], shift);
        return;
    }
    for (std::size_t i = 1; i < n; ++i)
    {
        const std::uint64_t key = keys[i];
        const std::uint32_t id = ids[i];
        std::size_t j = i;
        for (; j > 0 && keys[j - 1] > key; --j)
        {
            keys[j] = keys[j - 1];
            ids[j] = ids[j - 1];
        }
        keys[j] = key;
        ids[j] = id;
    }
}

// The sort's second stage: each job sorts the records of a run of the first
// stage's buckets in place, the records' first arrays as its scratch.
struct stBucketSort
{
    std::uint64_t* keys = nullptr;
    std::uint32_t* ids = nullptr;
    std::uint64_t* scratchKeys = nullptr;
    std::uint32_t* scratchIds = nullptr;
    const std::size_t* bucketStart = nullptr; // kDigits + 1 entries
    std::vector<std::size_t> jobBucket;       // the first bucket of each job, then kDigits
    int bits = 0;                             // the bits below the buckets' digit
};

void SortBuckets(void* context, std::uint32_t job)
{
    auto& sort = *static_cast<stBucketSort*>(context);
    for (std::size_t b = sort.jobBucket[job]; b < sort.jobBucket[job + 1]; ++b)
    {
        const std::size_t first = sort.bucketStart[b];
        SortLowBits(sort.keys + first, sort.ids + first, sort.scratchKeys + first, sort.scratchIds + first,
                    sort.bucketStart[b + 1] - first, sort.bits);
    }
}

// Points sorted by key: the records are moved into buckets by the highest
// 16 bits in which keys differ, a pass shared out on the pool in slices as
// a radix sort's pass is, and the buckets are then sorted on the pool, each
// in the caches by the bytes below (the old way, four scattering passes of
// 16 bits over all the records, read and wrote 60 MB four times over for a
// big scan's 5M points).
bool SortByKey(stTwinSearch& search, cThreadPool* pool)
{
    std::unique_ptr<std::uint64_t[]> otherKeys;
    std::unique_ptr<std::uint32_t[]> otherIds;
    stRadixPass pass;
    stBucketSort buckets;
    std::vector<std::size_t> bucketStart;
    const std::size_t threads =
        pool != nullptr ? static_cast<std::size_t>(std::max(pool->GetThreadCount(), 1)) : 1;
    try
    {
        // First written by the pass's moves on the pool, which scatter the
        // records over 65,536 places at once: on small pages nearly every
        // such write would also miss the TLB.
        otherKeys.reset(new std::uint64_t[search.withCell]);
        otherIds.reset(new std::uint32_t[search.withCell]);
        ON_AdviseHugePages(otherKeys.get(), search.withCell * sizeof(std::uint64_t));
        ON_AdviseHugePages(otherIds.get(), search.withCell * sizeof(std::uint32_t));
        // A slice of at least a quarter million keys pays for its counts.
        pass.slices = static_cast<std::uint32_t>(std::clamp<std::size_t>(search.withCell >> 18, 1, threads));
        pass.offsets.resize(std::size_t{pass.slices} * stRadixPass::kDigits);
        bucketStart.resize(stRadixPass::kDigits + 1);
        buckets.jobBucket.reserve(8 * threads + 1);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    // The bits in which the keys differ; none: they are in order.
    std::uint64_t all = search.withCell == 0 ? 0 : kAllBits, any = 0;
    for (std::uint32_t job = 0; job < search.jobs; ++job)
    {
        all &= search.jobAll[job];
        any |= search.jobAny[job];
    }
    if (any == all)
        return true;
    const int bits = 64 - std::countl_zero(any ^ all);
    pass.shift = std::max(bits - 16, 0);
    pass.count = search.withCell;
    pass.keys = search.sortedKeys.get(), pass.ids = search.sortedPoints.get();
    pass.toKeys = otherKeys.get(), pass.toIds = otherIds.get();
    ParallelFor(pool, pass.slices, CountDigits, &pass);
    // Each slice's first place for each digit: after the smaller digits of
    // every slice and this digit of the slices before.
    std::size_t at = 0;
    for (std::size_t d = 0; d < stRadixPass::kDigits; ++d)
    {
        bucketStart[d] = at;
        for (std::uint32_t slice = 0; slice < pass.slices; ++slice)
        {
            std::size_t& offset = pass.offsets[std::size_t{slice} * stRadixPass::kDigits + d];
            const std::size_t n = offset;
            offset = at;
            at += n;
        }
    }
    bucketStart[stRadixPass::kDigits] = at;
    ParallelFor(pool, pass.slices, MoveByDigit, &pass);

    // Runs of buckets of about equal records per job.
    const std::size_t jobs = std::min<std::size_t>(8 * threads, std::max<std::size_t>(search.withCell >> 12, 1));
    buckets.jobBucket.push_back(0);
    for (std::size_t j = 1; j < jobs; ++j)
    {
        const std::size_t from = search.withCell / jobs * j;
        const auto first = static_cast<std::size_t>(
            std::upper_bound(bucketStart.begin(), bucketStart.end() - 1, from) - bucketStart.begin());
        buckets.jobBucket.push_back(std::max(first, buckets.jobBucket.back()));
    }
    buckets.jobBucket.push_back(stRadixPass::kDigits);
    buckets.keys = otherKeys.get(), buckets.ids = otherIds.get();
    buckets.scratchKeys = search.sortedKeys.get(), buckets.scratchIds = search.sortedPoints.get();
    buckets.bucketStart = bucketStart.data();
    buckets.bits = pass.shift;
    ParallelFor(pool, static_cast<std::uint32_t>(jobs), SortBuckets, &buckets);
    search.sortedKeys.swap(otherKeys);
    search.sortedPoints.swap(otherIds);
    return true;
}

bool AreTwins(const float* a, const float* b, float tolerance)
{
    // The merge index's test, in the same float arithmetic.
    return std::fabs(a[0] - b[0]) < tolerance && std::fabs(a[1] - b[1]) < tolerance &&
           std::fabs(a[2] - b[2]) < tolerance;
}

// A share of the sorted points against the cells round each that come
// after it in the keys' order. Twins are twins both ways, so each pair is
// found by the point that comes first, which marks both. The rest of the
// point's own cell and the cell above it along z follow it directly; the
// columns (x, y + 1) and (x + 1, y - 1 .. y + 1) of three cells each, z - 1
// to z + 1, are consecutive keys (a cell's z lies in 1 .. 2^21 - 3, so a
// column never carries into y), so one pointer per column, moving forward
// with the sweep, finds their candidates. Marks are only ever set to
// kPointWithTwin here, atomically: a point's mark may be set by any job.
void FindTwins(void* context, std::uint32_t job)
{
    auto& search = *static_cast<stTwinSearch*>(context);
    const std::uint64_t* keys = search.sortedKeys.get();
    const std::uint32_t* points = search.sortedPoints.get();
    const std::size_t n = search.withCell;
    const std::size_t begin = search.Begin(job, n), end = search.Begin(job + 1, n);
    if (begin >= end)
        return;
    constexpr int kColumns = 4;
    constexpr std::int64_t kColumnSteps[kColumns][2] = {{0, 1}, {1, -1}, {1, 0}, {1, 1}};
    std::array<std::int64_t, kColumns> delta{}; // to the column's lowest cell
    std::array<std::size_t, kColumns> at{};
    for (int c = 0; c < kColumns; ++c)
    {
        delta[c] = (kColumnSteps[c][0] << (2 * kAxisBits)) + (kColumnSteps[c][1] << kAxisBits) - 1;
        const std::uint64_t target = keys[begin] + static_cast<std::uint64_t>(delta[c]);
        at[c] = static_cast<std::size_t>(std::lower_bound(keys, keys + n, target) - keys);
    }
    const auto pair = [&](std::uint32_t a, std::uint32_t b)
    {
        if (!AreTwins(search.Point(a), search.Point(b), search.tolerance))
            return;
        std::atomic_ref<std::uint8_t>((*search.marks)[a]).store(kPointWithTwin, std::memory_order_relaxed);
        std::atomic_ref<std::uint8_t>((*search.marks)[b]).store(kPointWithTwin, std::memory_order_relaxed);
    };
    for (std::size_t i = begin; i < end; ++i)
    {
        const std::uint32_t point = points[i];
        for (std::size_t k = i + 1; k < n && keys[k] <= keys[i] + 1; ++k)
            pair(point, points[k]);
        for (int c = 0; c < kColumns; ++c)
        {
            const std::uint64_t low = keys[i] + static_cast<std::uint64_t>(delta[c]);
            std::size_t& j = at[c];
            while (j < n && keys[j] < low)
                ++j;
            for (std::size_t k = j; k < n && keys[k] <= low + 2; ++k)
                pair(point, points[k]);
        }
    }
}

} // namespace

bool MarkPointTwins(const float* points, std::size_t count, std::size_t stride, float tolerance, cThreadPool* pool,
                    std::vector<std::uint8_t>& marks)
{
    if (count > std::numeric_limits<std::uint32_t>::max() || !(tolerance > 0.0f) || !std::isfinite(tolerance))
        return false;
    stTwinSearch search;
    search.points = points;
    search.stride = stride;
    search.count = count;
    search.tolerance = tolerance;
    search.marks = &marks;
    const std::uint32_t threads = pool != nullptr ? static_cast<std::uint32_t>(pool->GetThreadCount()) : 1;
    search.jobs = static_cast<std::uint32_t>(std::min<std::size_t>(std::max<std::size_t>(count / 4096, 1), 8 * threads));
    try
    {
        marks.assign(count, kPointAlone);
        search.jobBoxes.resize(search.jobs);
        search.jobCells.resize(search.jobs);
        search.jobAll.resize(search.jobs);
        search.jobAny.resize(search.jobs);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    ParallelFor(pool, search.jobs, MarkUnindexable, &search);
    stBox box;
    for (const stBox& b : search.jobBoxes)
        for (int a = 0; a < 3; ++a)
        {
            box.low[a] = std::min(box.low[a], b.low[a]);
            box.high[a] = std::max(box.high[a], b.high[a]);
        }
    for (int a = 0; a < 3; ++a)
    {
        const double width = std::max(2.0 * double(tolerance), (box.high[a] - box.low[a]) / kAxisCells);
        search.origin[a] = box.low[a] <= box.high[a] ? box.low[a] : 0.0;
        search.inverseWidth[a] = 1.0 / width;
    }
    for (std::size_t& cells : search.jobCells)
    {
        const std::size_t first = search.withCell;
        search.withCell += cells;
        cells = first;
    }
    try
    {
        search.sortedKeys.reset(new std::uint64_t[search.withCell]);
        search.sortedPoints.reset(new std::uint32_t[search.withCell]);
        ON_AdviseHugePages(search.sortedKeys.get(), search.withCell * sizeof(std::uint64_t));
        ON_AdviseHugePages(search.sortedPoints.get(), search.withCell * sizeof(std::uint32_t));
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    ParallelFor(pool, search.jobs, PackCells, &search);
    if (!SortByKey(search, pool))
        return false;
    ParallelFor(pool, search.jobs, FindTwins, &search);
    return true;
}
