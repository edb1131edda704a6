// ParallelFor on the plug-in's thread pool against OpenMP's parallel for,
// over many trivial items and over a few heavy ones. Compare the times of
// the pairs (same argument) for the ratio. Both sides run the same number of
// threads and call the same callback through a pointer for every index, in
// shares handed out on demand, so the pairs measure the scheduling and not
// what the compiler makes of an inlined loop body.
#include "core/thread_pool.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace
{

cThreadPool& Pool()
{
    static cThreadPool* pool = [] {
        auto* p = new cThreadPool;
        p->Start();
        return p;
    }();
    return *pool;
}

struct Trivial
{
    std::vector<std::uint32_t> out;
    static void Item(void* context, std::uint32_t i) { static_cast<Trivial*>(context)->out[i] = i * 2u + 1u; }
};

// About a millisecond of arithmetic per item.
double HeavyItem(std::uint32_t i)
{
    double x = 1.0 + i;
    for (int k = 0; k < 200000; ++k)
        x = std::sqrt(x * 1.0000001 + 1.0);
    return x;
}

struct Heavy
{
    std::vector<double> out;
    static void Item(void* context, std::uint32_t i) { static_cast<Heavy*>(context)->out[i] = HeavyItem(i); }
};

int PoolThreads() { return static_cast<int>(Pool().GetThreadCount()); }

// ParallelFor's share size: eight shares per thread.
std::int64_t ShareSize(std::int64_t n) { return std::max<std::int64_t>(1, n / (8 * PoolThreads())); }

void BM_ParallelFor_Trivial(benchmark::State& state)
{
    const auto n = static_cast<std::uint32_t>(state.range(0));
    Trivial t{std::vector<std::uint32_t>(n)};
    for (auto _ : state)
    {
        ParallelFor(&Pool(), n, Trivial::Item, &t);
        benchmark::DoNotOptimize(t.out.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_OpenMP_Trivial(benchmark::State& state)
{
    const auto n = static_cast<std::int64_t>(state.range(0));
    Trivial t{std::vector<std::uint32_t>(static_cast<std::size_t>(n))};
    ParallelForCallback item = Trivial::Item;
    benchmark::DoNotOptimize(item);
    const std::int64_t share = ShareSize(n);
    const int threads = PoolThreads();
    for (auto _ : state)
    {
#pragma omp parallel for schedule(dynamic, share) num_threads(threads)
        for (std::int64_t i = 0; i < n; ++i)
            item(&t, static_cast<std::uint32_t>(i));
        benchmark::DoNotOptimize(t.out.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_ParallelFor_Heavy(benchmark::State& state)
{
    const auto n = static_cast<std::uint32_t>(state.range(0));
    Heavy h{std::vector<double>(n)};
    for (auto _ : state)
    {
        ParallelFor(&Pool(), n, Heavy::Item, &h);
        benchmark::DoNotOptimize(h.out.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_OpenMP_Heavy(benchmark::State& state)
{
    const auto n = static_cast<std::int64_t>(state.range(0));
    Heavy h{std::vector<double>(static_cast<std::size_t>(n))};
    ParallelForCallback item = Heavy::Item;
    benchmark::DoNotOptimize(item);
    const int threads = PoolThreads();
    for (auto _ : state)
    {
#pragma omp parallel for schedule(dynamic) num_threads(threads)
        for (std::int64_t i = 0; i < n; ++i)
            item(&h, static_cast<std::uint32_t>(i));
        benchmark::DoNotOptimize(h.out.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// 200 batches of 48 jobs of about 20 us each, as a pool pass over a
// million fit points hands them out: what each batch's hand-off costs.
void BM_ParallelFor_SmallBatches(benchmark::State& state)
{
    std::vector<double> out(48);
    for (auto _ : state)
        for (int batch = 0; batch < 200; ++batch)
            ParallelFor(
                &Pool(), 48,
                [](void* context, std::uint32_t i) {
                    double x = i;
                    for (int k = 0; k < 20000; ++k)
                        x = x * 0.999999 + 1e-9;
                    static_cast<double*>(context)[i] = x;
                },
                out.data());
    benchmark::DoNotOptimize(out.data());
}

} // namespace

BENCHMARK(BM_ParallelFor_SmallBatches)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ParallelFor_Trivial)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenMP_Trivial)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParallelFor_Heavy)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenMP_Heavy)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();
