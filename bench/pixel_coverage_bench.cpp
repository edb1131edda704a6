// Finding what a big mesh's first frame in a new view leaves out, without
// GL: a closed ball of 10M triangles seen in an orthographic view of
// 1280 x 800 pixels, its coverage, turns and nearest depths found anew in
// each iteration as a new view finds them (opaque look: nothing culled,
// the nearest fragment stays), on the shared pool.
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "render/pixel_coverage.h"
#include "render/tests/support/ball_mesh.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cmath>

namespace
{

stWindowMap View()
{
    return BallView(800.0 / 1280.0, {0, 0, 1280, 800});
}

void BM_FirstFrameInANewView(benchmark::State& state)
{
    static cMesh mesh;
    if (mesh.GetTriangleCount() == 0)
    {
        BuildBall(mesh, 1581);
        mesh.Update();
    }
    cThreadPool pool(8);
    SetSharedThreadPool(&pool);
    stWindowMap map = View();
    stFragmentRules rules;
    rules.nearestStays = true;
    rules.depthStep = std::ldexp(1.0, -24);
    std::size_t left = 0;
    for (auto _ : state)
    {
        cPixelCoverageCache cache(cPixelCoverageCache::kName, nullptr);
        bool behind = false;
        const auto& bits = cache.FindDrawingNothing(mesh, map, rules, behind);
        left = 0;
        for (std::uint64_t word : bits)
            left += std::size_t(std::popcount(word));
        for (std::uint64_t word : cache.Find(mesh, map))
            left += std::size_t(std::popcount(word));
        map.rows[0][3] += 1e-7; // a new view each time
    }
    SetSharedThreadPool(nullptr);
    state.counters["triangles"] = double(mesh.GetTriangleCount());
    state.counters["left_out"] = double(left);
}
BENCHMARK(BM_FirstFrameInANewView)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
