// The revolved fit of a whole big scan, on the turned part of the big-scan
// road (imported once by the host's reader and copied as the shapes dialog
// copies it, every vertex a fit point with its normal, as a kind change of
// the whole mesh gathers them): the axis from the normals alone (its
// refinements), and the whole fit (the circle, the axis, the fan of cuts and
// the profile). Wall time on the shared pool.
#include "bench/big_scan_turned_scan.h"
#include "fitting/sweep_axis_estimates.h"
#include "fitting/sweep_surface_builders.h"
#include "shapes/revolved_surface.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

namespace
{

void BM_RevolutionAxisFromNormals(benchmark::State& state)
{
    stTurnedPartScan& scan = TurnedPartScan();
    for (auto _ : state)
    {
        double axis[3], point[3];
        bool found = false;
        state.SetIterationTime(
            WallSecondsOf([&] { found = EstimateRevolutionAxisFromNormals(*scan.points, axis, point); }));
        if (!found)
            state.SkipWithError("no axis");
        if (std::getenv("VTL_BENCH_ECHO"))
            std::printf("axis %a %a %a point %a %a %a\n", axis[0], axis[1], axis[2], point[0], point[1],
                        point[2]);
    }
}

void BM_RevolvedFitWhole(benchmark::State& state)
{
    stTurnedPartScan& scan = TurnedPartScan();
    for (auto _ : state)
    {
        Dezaz_RevolvedObject object;
        bool fitted = false;
        state.SetIterationTime(WallSecondsOf(
            [&]
            {
                fitted = BuildRevolvedFromSections(*scan.points, scan.Mesh(), *object.GetGeometry(), {0},
                                                   stProfileFitParams{}, true);
            }));
        if (!fitted)
            state.SkipWithError("revolved fit failed");
    }
}

} // namespace

BENCHMARK(BM_RevolutionAxisFromNormals)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RevolvedFitWhole)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
