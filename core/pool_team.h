// A team of the pool's threads kept for a run of small batches that must
// follow one another (a simplex's steps, each a few candidates of a few
// hundred microseconds): handing every batch to the pool anew costs about
// 100 us of waking its threads and waiting for them to tell they are done,
// as much as a third of such a batch's work. The team's helpers are jobs of
// one pool batch that stay, yielding, and take the items of each batch the
// lead hands out; the lead takes items too, so that a batch never waits for
// a helper that has not started (the pool runs fewer jobs at once, or none).
#pragma once

#include "core/thread_pool.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <thread>

class cPoolTeam
{
public:
    // Calls item(i) for every i in [0, count) once, on any of the team's
    // threads, and returns when every call has returned. item(i) must only
    // write what belongs to i. Only the lead calls it (see RunWithPoolTeam);
    // without helpers the items run here in ascending order.
    template <class Item> void Run(std::size_t count, Item& item)
    {
        if (count == 0)
            return;
        m_item = &item;
        m_call = [](void* context, std::size_t i) { (*static_cast<Item*>(context))(i); };
        // What an item of the lead's throws is thrown once every item has
        // ended: the helpers' items still read the batch.
        std::exception_ptr thrown;
        // The items in slices of at most kMaxItems, each a claim word of its own.
        for (std::size_t first = 0; first < count; first += kMaxItems)
        {
            const std::uint64_t slice = std::min<std::size_t>(kMaxItems, count - first);
            m_first = first;
            m_done.store(0, std::memory_order_relaxed);
            // Published with the batch: a helper that claims an item has seen
            // the item and its first index.
            m_claim.store(slice << 32, std::memory_order_release);
            for (;;)
                try
                {
                    if (!TakeOne())
                        break;
                }
                catch (...)
                {
                    if (!thrown)
                        thrown = std::current_exception();
                }
            while (m_done.load(std::memory_order_acquire) != slice)
                std::this_thread::yield();
        }
        if (thrown)
            std::rethrow_exception(thrown);
    }

    // The threads that may take a batch's items: the lead and its helpers
    // (some of which may not have started).
    std::size_t Size() const { return m_size; }

    // The lead is done: the helpers leave.
    void Dismiss() { m_dismissed.store(true, std::memory_order_release); }

    // A helper's job: takes items until the lead dismisses the team.
    void Help()
    {
        while (!m_dismissed.load(std::memory_order_acquire))
            if (!TakeOne())
                std::this_thread::yield();
    }

private:
    // The claim word: the batch's item count in the high half, the next item
    // in the low one. Claiming an item is raising the next one while it is
    // below the count; whichever batch the word holds then, the item claimed
    // is one of it (the lead changes neither the item nor the first index
    // before every claimed item is done).
    static constexpr std::size_t kMaxItems = std::size_t{1} << 31;

    bool TakeOne()
    {
        std::uint64_t word = m_claim.load(std::memory_order_acquire);
        for (;;)
        {
            if ((word & 0xFFFFFFFFull) >= (word >> 32))
                return false;
            if (m_claim.compare_exchange_weak(word, word + 1, std::memory_order_acq_rel, std::memory_order_acquire))
                break;
        }
        // Done also when it throws.
        struct stDone
        {
            std::atomic<std::uint64_t>& done;
            ~stDone() { done.fetch_add(1, std::memory_order_release); }
        } done{m_done};
        m_call(m_item, m_first + static_cast<std::size_t>(word & 0xFFFFFFFFull));
        return true;
    }

    alignas(64) std::atomic<std::uint64_t> m_claim{0};
    alignas(64) std::atomic<std::uint64_t> m_done{0};
    alignas(64) std::atomic<bool> m_dismissed{false};
    void* m_item = nullptr;
    void (*m_call)(void*, std::size_t) = nullptr;
    std::size_t m_first = 0;
    std::size_t m_size = 1;

    template <class Lead> friend void RunWithPoolTeam(cThreadPool* pool, std::size_t helpers, Lead& lead);
};

// Runs lead(team) on a job of the pool while up to `helpers` other jobs of
// the same batch help with the items of team.Run. Without a pool (or from
// inside a pool's job) lead runs on the calling thread and takes every item
// itself, in order.
template <class Lead> void RunWithPoolTeam(cThreadPool* pool, std::size_t helpers, Lead& lead)
{
    cPoolTeam team;
    const std::size_t threads = pool != nullptr ? static_cast<std::size_t>(pool->GetThreadCount()) : 1;
    const std::size_t jobs = 1 + std::min(helpers, threads - 1);
    team.m_size = jobs;
    auto job = [&](std::size_t j) {
        if (j != 0)
        {
            team.Help();
            return;
        }
        // The helpers leave whatever way the lead ends.
        struct stDismiss
        {
            cPoolTeam& team;
            ~stDismiss() { team.Dismiss(); }
        } dismiss{team};
        lead(team);
    };
    ParallelForEach(pool, jobs, 1, job);
}
