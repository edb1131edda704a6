// The bucket k-d tree side by side with nanoflann on the same points, both
// at the same leaf size (10, nanoflann's default, and 24, the bucket maximum
// every owner of the tree uses): build on 100k, 1M and 5M points, unbounded
// nearest queries and nearest-within-radius queries on 100k and 1M points.
//
// The machine is shared: every benchmark runs ours and the peer alternately
// in the same process (ours first on even rounds, the peer first on odd
// ones), timed in thread CPU time. Counters: ours_ms and peer_ms (medians),
// time_ratio (median of the paired ratios ours / peer). Builds also report
// the heap each index keeps (heap_MB, peer_heap_MB, heap_ratio), measured by
// the allocator's own count before and after, so both sides are counted
// alike. Queries report differing: how many answers were at another
// distance than the peer's (0: the same answers; ties may pick another
// point at the same distance).
#include "bench/paired_timing.h"
#include "core/bucket_kd_tree.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <nanoflann.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace
{

struct Point
{
    float xyz[3];
};

struct PointComparator
{
    const float* Coordinates(const Point* p) const { return p->xyz; }
};

using KDTree = tBucketKDTree<const Point*, PointComparator>;

// Uniform points in a 100-unit cube, in random memory order, as scans are
// after merging.
const std::vector<Point>& Points(std::size_t n)
{
    static std::map<std::size_t, std::vector<Point>> cache;
    auto& points = cache[n];
    if (points.empty())
    {
        std::mt19937 rng(static_cast<std::uint32_t>(n));
        std::uniform_real_distribution<float> unit(0.0f, 100.0f);
        points.resize(n);
        for (Point& p : points)
            p = {{unit(rng), unit(rng), unit(rng)}};
    }
    return points;
}

const std::vector<Point>& Queries()
{
    static std::vector<Point> queries;
    if (queries.empty())
    {
        std::mt19937 rng(77);
        std::uniform_real_distribution<float> unit(0.0f, 100.0f);
        queries.resize(1000000);
        for (Point& p : queries)
            p = {{unit(rng), unit(rng), unit(rng)}};
    }
    return queries;
}

// The mean spacing of n uniform points in the cube: a radius that finds a
// neighbour for most queries but keeps the search local.
double SearchRadius(std::size_t n) { return 100.0 / std::cbrt(static_cast<double>(n)); }

struct Dataset
{
    const std::vector<Point>* points;
    std::size_t kdtree_get_point_count() const { return points->size(); }
    float kdtree_get_pt(std::size_t i, std::size_t d) const { return (*points)[i].xyz[d]; }
    template <class Box> bool kdtree_get_bbox(Box&) const { return false; }
};

using Nanoflann =
    nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<float, Dataset>, Dataset, 3, std::uint32_t>;

// In single precision, as both sides measure a float query.
float SquaredDistance(const Point& a, const Point& b)
{
    const float dx = a.xyz[0] - b.xyz[0];
    const float dy = a.xyz[1] - b.xyz[1];
    const float dz = a.xyz[2] - b.xyz[2];
    return dx * dx + dy * dy + dz * dz;
}

// nanoflann's search with the tree's semantics: the nearest point strictly
// within a squared radius.
struct NearestWithinRadius
{
    using DistanceType = float;
    using IndexType = std::uint32_t;
    float best;
    std::uint32_t index = std::numeric_limits<std::uint32_t>::max();
    explicit NearestWithinRadius(float r2) : best(r2) {}
    std::size_t size() const { return index == std::numeric_limits<std::uint32_t>::max() ? 0 : 1; }
    bool full() const { return true; }
    bool addPoint(float d2, std::uint32_t i)
    {
        if (d2 < best)
        {
            best = d2;
            index = i;
        }
        return true;
    }
    float worstDist() const { return best; }
};

std::unique_ptr<KDTree> BuildTree(const std::vector<Point>& points, std::uint32_t bucket)
{
    auto tree = std::make_unique<KDTree>(bucket);
    for (const Point& p : points)
        tree->Add(&p);
    tree->Build();
    return tree;
}

// nanoflann's constructor builds the index.
std::unique_ptr<Nanoflann> BuildNanoflann(const Dataset& data, std::size_t leaf)
{
    return std::make_unique<Nanoflann>(3, data, nanoflann::KDTreeSingleIndexAdaptorParams(leaf));
}

// Bytes the allocator has handed out and not had back (small blocks and
// mapped ones).
double HeapBytesInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// range(0): point count; range(1): leaf size of both; range(2): rounds.
void BM_Build(benchmark::State& state)
{
    const auto& points = Points(static_cast<std::size_t>(state.range(0)));
    const Dataset data{&points};
    const auto leaf = static_cast<std::uint32_t>(state.range(1));
    PairedTimes times;
    double heap = 0.0, peerHeap = 0.0;
    for (auto _ : state)
    {
        for (int round = 0; round < state.range(2); ++round)
        {
            std::unique_ptr<KDTree> tree;
            std::unique_ptr<Nanoflann> index;
            double before = 0.0;
            times.Run(
                round,
                [&](int) {
                    before = HeapBytesInUse();
                    tree = BuildTree(points, leaf);
                    heap = HeapBytesInUse() - before;
                },
                [&](int) {
                    before = HeapBytesInUse();
                    index = BuildNanoflann(data, leaf);
                    peerHeap = HeapBytesInUse() - before;
                });
            benchmark::DoNotOptimize(tree->GetRoot());
            benchmark::DoNotOptimize(index.get());
        }
    }
    times.Report(state);
    state.counters["heap_MB"] = heap / 1e6;
    state.counters["peer_heap_MB"] = peerHeap / 1e6;
    state.counters["heap_ratio"] = heap / peerHeap;
}

// range(0): point count; range(1): 0 unbounded nearest, 1 within the mean
// spacing; range(2): leaf size of both; range(3): rounds, each over a
// fifth of the queries.
void BM_Query(benchmark::State& state)
{
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const auto leaf = static_cast<std::uint32_t>(state.range(2));
    const auto tree = BuildTree(Points(n), leaf);
    const Dataset data{&Points(n)};
    const auto index = BuildNanoflann(data, leaf);
    const auto& queries = Queries();
    const double radius = SearchRadius(n);
    const double start = state.range(1) != 0 ? radius : std::numeric_limits<double>::infinity();
    const float peerStart =
        state.range(1) != 0 ? static_cast<float>(radius * radius) : std::numeric_limits<float>::max();
    constexpr int kParts = 5;
    const std::size_t part = queries.size() / kParts;

    // The same answers: every query's distance on both sides.
    std::size_t found = 0, differing = 0;
    for (const Point& q : queries)
    {
        double r = start;
        const Point* nearest = tree->FindNearest(q.xyz, r);
        NearestWithinRadius result(peerStart);
        index->findNeighbors(result, q.xyz, nanoflann::SearchParams());
        found += nearest != nullptr;
        if ((nearest != nullptr) != (result.size() == 1) ||
            (nearest != nullptr && SquaredDistance(q, *nearest) != result.best))
            ++differing;
    }

    PairedTimes times;
    std::size_t sink = 0;
    for (auto _ : state)
    {
        for (int round = 0; round < state.range(3); ++round)
        {
            times.Run(
                round,
                [&](int r) {
                    const std::size_t begin = static_cast<std::size_t>(r % kParts) * part;
                    for (std::size_t i = begin; i < begin + part; ++i)
                    {
                        double radiusInOut = start;
                        sink += tree->FindNearest(queries[i].xyz, radiusInOut) != nullptr;
                    }
                },
                [&](int r) {
                    const std::size_t begin = static_cast<std::size_t>(r % kParts) * part;
                    for (std::size_t i = begin; i < begin + part; ++i)
                    {
                        NearestWithinRadius result(peerStart);
                        index->findNeighbors(result, queries[i].xyz, nanoflann::SearchParams());
                        sink += result.size();
                    }
                });
        }
        benchmark::DoNotOptimize(sink);
    }
    times.Report(state);
    state.counters["found"] = static_cast<double>(found);
    state.counters["differing"] = static_cast<double>(differing);
}

} // namespace

BENCHMARK(BM_Build)
    ->Args({100000, 10, 15})
    ->Args({100000, 24, 15})
    ->Args({1000000, 10, 7})
    ->Args({1000000, 24, 7})
    ->Args({5000000, 10, 3})
    ->Args({5000000, 24, 3})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_Query)
    ->Args({100000, 0, 10, 10})
    ->Args({100000, 1, 10, 10})
    ->Args({100000, 0, 24, 10})
    ->Args({100000, 1, 24, 10})
    ->Args({1000000, 0, 10, 10})
    ->Args({1000000, 1, 10, 10})
    ->Args({1000000, 0, 24, 10})
    ->Args({1000000, 1, 24, 10})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
