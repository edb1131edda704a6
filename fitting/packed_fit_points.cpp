#include "fitting/packed_fit_points.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <utility>

namespace
{

// Records per job of the packing on the shared pool, and the fewest records
// worth it.
constexpr std::size_t kRecordsPerJob = std::size_t{1} << 16;
constexpr std::size_t kPackOnPoolMinimum = std::size_t{1} << 18;

} // namespace

cPackedFitPoints::cPackedFitPoints(const tFitPointQueue& points)
{
    // The active records counted a block at a time, the arrays sized once
    // and each block's points written from where its count starts, in the
    // queue's order.
    const std::size_t blocks = (points.size() + kRecordsPerJob - 1) / kRecordsPerJob;
    cThreadPool* pool = points.size() >= kPackOnPoolMinimum ? SharedThreadPool() : nullptr;
    std::vector<std::size_t> firstOf(blocks + 1, 0);
    const auto range = [&](std::size_t block) {
        const auto first = points.begin() + static_cast<std::ptrdiff_t>(block * kRecordsPerJob);
        const auto last = points.begin() + static_cast<std::ptrdiff_t>(std::min(points.size(), (block + 1) * kRecordsPerJob));
        return std::make_pair(first, last);
    };
    auto count = [&](std::size_t block) {
        const auto [first, last] = range(block);
        std::size_t active = 0;
        for (auto p = first; p != last; ++p)
            active += p->active ? 1 : 0;
        firstOf[block + 1] = active;
    };
    ParallelForEach(pool, blocks, 1, count);
    for (std::size_t block = 0; block < blocks; ++block)
        firstOf[block + 1] += firstOf[block];
    m_x.resize(firstOf[blocks]);
    m_y.resize(firstOf[blocks]);
    m_z.resize(firstOf[blocks]);
    auto write = [&](std::size_t block) {
        const auto [first, last] = range(block);
        std::size_t at = firstOf[block];
        for (auto p = first; p != last; ++p)
        {
            if (!p->active)
                continue;
            m_x[at] = p->position[0];
            m_y[at] = p->position[1];
            m_z[at] = p->position[2];
            ++at;
        }
    };
    ParallelForEach(pool, blocks, 1, write);
}

cPackedFitPoints cPackedFitPoints::EveryNth(std::size_t stride) const
{
    cPackedFitPoints out;
    if (stride == 0)
        stride = 1;
    const std::size_t count = (Count() + stride - 1) / stride;
    out.m_x.reserve(count);
    out.m_y.reserve(count);
    out.m_z.reserve(count);
    for (std::size_t i = 0; i < Count(); i += stride)
    {
        out.m_x.push_back(m_x[i]);
        out.m_y.push_back(m_y[i]);
        out.m_z.push_back(m_z[i]);
    }
    return out;
}

std::unique_ptr<cPackedFitPoints> PackActivePoints(const tFitPointQueue& points)
{
    try
    {
        return std::make_unique<cPackedFitPoints>(points);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}
