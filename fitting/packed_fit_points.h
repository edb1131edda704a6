// The active points of a fit copied once into three contiguous float arrays,
// for the passes that a refinement repeats hundreds of times: a pass then
// streams 12 bytes a point instead of walking 40-byte records in a deque and
// testing each one's active byte.
//
// Passes over a packing are summed a block of kPackedBlockSize points at a
// time, and the blocks' sums are added in block order: where the blocks run
// (on the calling thread or on any number of pool threads) never changes a
// bit of the result.
#pragma once

#include "core/pool_team.h"
#include "core/thread_pool.h"
#include "core/unwritten_allocator.h"
#include "fitting/fit_container.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

inline constexpr std::size_t kPackedBlockSize = 16384;

// Below this many points a pass runs on the calling thread even when a pool
// is given: handing out the blocks would cost more than it saves.
inline constexpr std::size_t kPackedPoolMinimum = 16 * kPackedBlockSize;

class cPackedFitPoints
{
public:
    cPackedFitPoints() = default;
    // The active records, in queue order. Throws std::bad_alloc.
    explicit cPackedFitPoints(const tFitPointQueue& points);

    // Every stride-th point (the first included), in order: an even
    // subsample that keeps the packing's spread. Throws std::bad_alloc.
    cPackedFitPoints EveryNth(std::size_t stride) const;

    std::size_t Count() const { return m_x.size(); }
    std::size_t BlockCount() const { return (Count() + kPackedBlockSize - 1) / kPackedBlockSize; }
    const float* X() const { return m_x.data(); }
    const float* Y() const { return m_y.data(); }
    const float* Z() const { return m_z.data(); }

private:
    // Resized without being cleared: the packing writes each float on the
    // pool.
    using tFloats = tUnwrittenVector<float>;

    tFloats m_x, m_y, m_z;
};

// The active records packed, or null when there is no memory for them (the
// caller then reads the records themselves).
std::unique_ptr<cPackedFitPoints> PackActivePoints(const tFitPointQueue& points);

// Calls run(block) for every block of the packing, each exactly once; on the
// pool's threads when a pool is given and the packing is large, else here.
// Each call must write only its own block's results.
// With a team (see core/pool_team.h; the caller is its lead), a large
// packing's blocks are handed to the team instead of the pool.
template <class Run>
void ForEachPackedBlock(const cPackedFitPoints& points, cThreadPool* pool, Run& run, cPoolTeam* team = nullptr)
{
    const std::size_t blocks = points.BlockCount();
    if (team != nullptr && points.Count() >= kPackedPoolMinimum)
    {
        team->Run(blocks, run);
        return;
    }
    if (pool != nullptr && points.Count() >= kPackedPoolMinimum)
    {
        ParallelFor(
            pool, static_cast<std::uint32_t>(blocks),
            [](void* context, std::uint32_t block) { (*static_cast<Run*>(context))(std::size_t{block}); }, &run);
        return;
    }
    for (std::size_t block = 0; block < blocks; ++block)
        run(block);
}

// Runs search(team) on a team of the pool's threads kept for the whole
// search (RunWithPoolTeam with every thread that may help) when the packing
// is large enough for the pool, else search(nullptr) here; what the search
// throws is thrown here, on the caller's thread. A simplex's hundreds of
// passes over a packing each handed to the pool anew cost about 100 us of
// waking its threads and waiting for them, much of a pass over a face of a
// big scan.
template <class Search> void SearchOnPackingTeam(cThreadPool* pool, const cPackedFitPoints* packed, Search search)
{
    if (pool == nullptr || packed == nullptr || packed->Count() < kPackedPoolMinimum)
    {
        search(nullptr);
        return;
    }
    std::exception_ptr thrown;
    auto lead = [&](cPoolTeam& team) {
        try
        {
            search(&team);
        }
        catch (...)
        {
            thrown = std::current_exception();
        }
    };
    RunWithPoolTeam(pool, std::size_t{64}, lead);
    if (thrown)
        std::rethrow_exception(thrown);
}

// Runs sum(begin, end, partial) over every block's range of points and adds
// the partials (each needs += and a zero default) in block order, so the
// total does not depend on where the blocks ran.
template <class Partial, class Sum>
Partial SumPackedBlocks(const cPackedFitPoints& points, cThreadPool* pool, Sum sum, cPoolTeam* team = nullptr)
{
    std::vector<Partial> partial(points.BlockCount());
    auto run = [&](std::size_t block) {
        const std::size_t begin = block * kPackedBlockSize;
        sum(begin, std::min(points.Count(), begin + kPackedBlockSize), partial[block]);
    };
    ForEachPackedBlock(points, pool, run, team);
    Partial total{};
    for (const Partial& p : partial)
        total += p;
    return total;
}
