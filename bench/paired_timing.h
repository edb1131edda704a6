// Ours and a peer timed side by side: alternately, each round starting with
// the other one, in CPU time of this thread (wall time swings with the load
// of the machine), reported as medians and the median of the paired ratios.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <time.h>
#include <vector>

inline double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

template <class Run> double ThreadCpuSecondsOf(Run&& run)
{
    const double start = ThreadCpuSeconds();
    run();
    return ThreadCpuSeconds() - start;
}

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct PairedTimes
{
    std::vector<double> ours, peer, ratios;

    // ours(round) and peer(round): ours first on even rounds.
    template <class Ours, class Peer> void Run(int round, Ours&& oursRun, Peer&& peerRun)
    {
        double o, p;
        if (round % 2 == 0)
        {
            o = ThreadCpuSecondsOf([&] { oursRun(round); });
            p = ThreadCpuSecondsOf([&] { peerRun(round); });
        }
        else
        {
            p = ThreadCpuSecondsOf([&] { peerRun(round); });
            o = ThreadCpuSecondsOf([&] { oursRun(round); });
        }
        ours.push_back(o);
        peer.push_back(p);
        ratios.push_back(o / p);
    }

    void Report(benchmark::State& state) const
    {
        state.counters["ours_ms"] = 1e3 * Median(ours);
        state.counters["peer_ms"] = 1e3 * Median(peer);
        state.counters["time_ratio"] = Median(ratios);
    }
};
