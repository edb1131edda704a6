// The thread pool of a benchmark process, started on first use and made the
// shared pool the code under test takes its work to, and wall-clock timing
// of one run for manual iteration times.
#pragma once

#include "core/thread_pool.h"

#include <chrono>

inline cThreadPool& SharedBenchPool()
{
    static cThreadPool pool;
    static const bool started = []
    {
        pool.Start();
        SetSharedThreadPool(&pool);
        return true;
    }();
    (void)started;
    return pool;
}

template <class Run> double WallSecondsOf(Run&& run)
{
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
