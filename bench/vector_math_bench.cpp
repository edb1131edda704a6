// Normalisation through FastInvSqrt against the library square root, over a
// mesh-sized array of float normals; and point runs into the integer octree.
#include "core/int_octree.h"
#include "core/vector_math.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{

std::vector<float> RandomVectors(std::size_t count)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-10.0f, 10.0f);
    std::vector<float> v(count * 3);
    for (float& x : v)
        x = u(rng);
    return v;
}

void BM_NormaliseFastInvSqrt(benchmark::State& state)
{
    const auto source = RandomVectors(static_cast<std::size_t>(state.range(0)));
    std::vector<float> v;
    for (auto _ : state)
    {
        v = source;
        for (std::size_t i = 0; i < v.size(); i += 3)
            NormaliseVector3f(&v[i]);
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NormaliseFastInvSqrt)->Arg(1 << 20);

// The same rule with the library square root, as a peer.
void BM_NormaliseLibrarySqrt(benchmark::State& state)
{
    const auto source = RandomVectors(static_cast<std::size_t>(state.range(0)));
    std::vector<float> v;
    for (auto _ : state)
    {
        v = source;
        for (std::size_t i = 0; i < v.size(); i += 3)
        {
            float* p = &v[i];
            if (FLT_EPSILON > std::fabs(p[0]) + std::fabs(p[1]) + std::fabs(p[2]))
                continue;
            const double x = p[0], y = p[1], z = p[2];
            const double k = 1.0 / std::sqrt(x * x + y * y + z * z);
            p[0] = static_cast<float>(x * k);
            p[1] = static_cast<float>(y * k);
            p[2] = static_cast<float>(z * k);
        }
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NormaliseLibrarySqrt)->Arg(1 << 20);

// A polyline rasterised into leaf cells: consecutive points are close, so
// most searches start in the right leaf.
void BM_IntOctTreePolylineRun(benchmark::State& state)
{
    const auto n = static_cast<int>(state.range(0));
    for (auto _ : state)
    {
        cIntOctTree<int*> tree(0.5f);
        for (int i = 0; i < n; ++i)
        {
            const double t = i * 0.01;
            benchmark::DoNotOptimize(tree.FindOrInsertLeaf(100.0 * std::cos(t), 100.0 * std::sin(t), 0.1 * t));
        }
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_IntOctTreePolylineRun)->Arg(100000);

} // namespace
