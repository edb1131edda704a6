// The bucket k-d tree side by side with nanoflann on the same points: build
// on 1M and 5M points, 1M unbounded nearest queries and 1M nearest-within-
// radius queries. nanoflann runs with its default leaf size (10) and with the
// tree's bucket maximum (24), to show how much the bucket size itself costs.
// The builds also report the heap each index keeps (heap_MB), measured by the
// allocator's own count before and after, so both sides are counted alike.
#include "core/bucket_kd_tree.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <nanoflann.hpp>

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

std::unique_ptr<KDTree> BuildTree(const std::vector<Point>& points)
{
    auto tree = std::make_unique<KDTree>(kBucketKDTreeDefaultBucket);
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

void BM_Build_BucketKDTree(benchmark::State& state)
{
    const auto& points = Points(static_cast<std::size_t>(state.range(0)));
    double heap = 0.0;
    for (auto _ : state)
    {
        const double before = HeapBytesInUse();
        auto tree = BuildTree(points);
        benchmark::DoNotOptimize(tree->GetRoot());
        state.PauseTiming();
        heap = HeapBytesInUse() - before;
        tree.reset();
        state.ResumeTiming();
    }
    state.counters["heap_MB"] = heap / 1e6;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_Build_Nanoflann(benchmark::State& state)
{
    const Dataset data{&Points(static_cast<std::size_t>(state.range(0)))};
    double heap = 0.0;
    for (auto _ : state)
    {
        const double before = HeapBytesInUse();
        auto index = BuildNanoflann(data, static_cast<std::size_t>(state.range(1)));
        benchmark::DoNotOptimize(index.get());
        state.PauseTiming();
        heap = HeapBytesInUse() - before;
        index.reset();
        state.ResumeTiming();
    }
    state.counters["heap_MB"] = heap / 1e6;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// range(0): point count; range(1): 0 unbounded nearest, 1 within the mean
// spacing.
void BM_Query_BucketKDTree(benchmark::State& state)
{
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const auto tree = BuildTree(Points(n));
    const auto& queries = Queries();
    const double start = state.range(1) != 0 ? SearchRadius(n) : std::numeric_limits<double>::infinity();
    std::size_t found = 0;
    for (auto _ : state)
    {
        found = 0;
        for (const Point& q : queries)
        {
            double radius = start;
            found += tree->FindNearest(q.xyz, radius) != nullptr;
        }
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * queries.size()));
}

// range(2): nanoflann's leaf size.
void BM_Query_Nanoflann(benchmark::State& state)
{
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const Dataset data{&Points(n)};
    const auto index = BuildNanoflann(data, static_cast<std::size_t>(state.range(2)));
    const auto& queries = Queries();
    const double radius = SearchRadius(n);
    const float start = state.range(1) != 0 ? static_cast<float>(radius * radius) : std::numeric_limits<float>::max();
    std::size_t found = 0;
    for (auto _ : state)
    {
        found = 0;
        for (const Point& q : queries)
        {
            NearestWithinRadius result(start);
            index->findNeighbors(result, q.xyz, nanoflann::SearchParams());
            found += result.size();
        }
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * queries.size()));
}

} // namespace

BENCHMARK(BM_Build_BucketKDTree)->Arg(1000000)->Arg(5000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Build_Nanoflann)
    ->Args({1000000, 10})
    ->Args({1000000, 24})
    ->Args({5000000, 10})
    ->Args({5000000, 24})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_Query_BucketKDTree)
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Args({5000000, 0})
    ->Args({5000000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BM_Query_Nanoflann)
    ->Args({1000000, 0, 10})
    ->Args({1000000, 1, 10})
    ->Args({1000000, 0, 24})
    ->Args({1000000, 1, 24})
    ->Args({5000000, 0, 10})
    ->Args({5000000, 1, 10})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
