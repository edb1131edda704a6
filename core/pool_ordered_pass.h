// A pass whose per-item values may be found in any order but must then be
// taken in order (a running sum whose order fixes its bits): the values are
// found a block at a time on the pool, and one job takes the blocks in
// order as they are done, so that taking the first blocks overlaps finding
// the later ones instead of waiting for all of them.
#pragma once

#include "core/pool_team.h"
#include "core/thread_pool.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>

namespace pool_ordered_pass_detail
{

// The pass on `threads` jobs that run(job) hands out (each job's index once).
template <class Find, class Take, class Run>
void FindTakeInOrder(std::size_t threads, std::size_t blocks, Find& find, Take& take, Run run)
{
    if (threads < 2 || blocks < 2)
    {
        for (std::size_t b = 0; b < blocks; ++b)
        {
            find(b);
            take(b);
        }
        return;
    }
    // The next block to find, and each block's mark once found, on lines of
    // their own.
    struct alignas(64) stMark
    {
        std::atomic<std::uint8_t> found{0};
    };
    alignas(64) std::atomic<std::size_t> next{0};
    const std::unique_ptr<stMark[]> marks(new stMark[blocks]);
    const auto findNext = [&] {
        const std::size_t b = next.fetch_add(1, std::memory_order_relaxed);
        if (b >= blocks)
            return false;
        find(b);
        marks[b].found.store(1, std::memory_order_release);
        return true;
    };
    auto job = [&](std::size_t j) {
        if (j != 0)
        {
            while (findNext())
            {
            }
            return;
        }
        for (std::size_t b = 0; b < blocks; ++b)
        {
            while (marks[b].found.load(std::memory_order_acquire) == 0)
                if (!findNext())
                    std::this_thread::yield();
            take(b);
        }
    };
    run(threads, job);
}

} // namespace pool_ordered_pass_detail

// Calls find(b) for every block b in [0, blocks), each once and on any
// thread, and take(b) for every block in ascending order on one thread, each
// after find(b) has returned. find(b) must only write what belongs to block
// b; take(b) may read it. The job that takes the blocks finds any block no
// thread has started while it waits for the next one, so it never waits for
// a block that is not being found. Without a pool, or with one block, each
// block is found and taken in turn here.
template <class Find, class Take>
void FindOnPoolTakeInOrder(cThreadPool* pool, std::size_t blocks, Find& find, Take& take)
{
    const int threads = pool != nullptr ? pool->GetThreadCount() : 0;
    pool_ordered_pass_detail::FindTakeInOrder(static_cast<std::size_t>(std::max(threads, 0)), blocks, find, take,
                                              [pool](std::size_t jobs, auto& job) { ParallelForEach(pool, jobs, 1, job); });
}

// FindOnPoolTakeInOrder on a team of the pool's threads (core/pool_team.h),
// for passes that follow one another closely: the team's lead calls it.
template <class Find, class Take>
void FindOnTeamTakeInOrder(cPoolTeam& team, std::size_t blocks, Find& find, Take& take)
{
    pool_ordered_pass_detail::FindTakeInOrder(team.Size(), blocks, find, take,
                                              [&team](std::size_t jobs, auto& job) { team.Run(jobs, job); });
}
