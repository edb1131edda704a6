// The revolved fit of a whole big scan, on the turned part of the big-scan
// road (imported once by the host's reader and copied as the shapes dialog
// copies it, every vertex a fit point with its normal, as a kind change of
// the whole mesh gathers them): the axis from the normals alone (its
// refinements), and the whole fit (the circle, the axis, the fan of cuts and
// the profile). Wall time on the shared pool.
#include "bench/big_scan_inputs.h"
#include "bench/shared_bench_pool.h"
#include "core/host_mesh_import.h"
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "dezaz/mesh_import.h"
#include "fitting/sweep_axis_estimates.h"
#include "fitting/sweep_surface_builders.h"
#include "shapes/revolved_surface.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>

namespace
{

struct stScan
{
    cMesh mesh;
    std::unique_ptr<cFitContainer> points;
};

stScan& TurnedPart()
{
    static stScan scan;
    static const bool read = []
    {
        std::uint64_t triangles = 0;
        ON_Mesh host;
        std::wstring error;
        dezaz::ImportMeshFile(bigscan::TurnedPartStl(&triangles).string(), host, error);
        AddHostMeshFaces(scan.mesh, host, &SharedBenchPool());
        tFitPointQueue records;
        for (std::uint32_t i = 0; i < scan.mesh.GetVertexCount(); ++i)
        {
            const cVertex* v = scan.mesh.GetVertex(i);
            stFitPoint p;
            p.position[0] = v->x, p.position[1] = v->y, p.position[2] = v->z;
            p.normal[0] = v->nx, p.normal[1] = v->ny, p.normal[2] = v->nz;
            p.active = 1;
            records.push_back(p);
        }
        scan.points = std::make_unique<cFitContainer>(records);
        return true;
    }();
    (void)read;
    return scan;
}

void BM_RevolutionAxisFromNormals(benchmark::State& state)
{
    stScan& scan = TurnedPart();
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
    stScan& scan = TurnedPart();
    for (auto _ : state)
    {
        Dezaz_RevolvedObject object;
        bool fitted = false;
        state.SetIterationTime(WallSecondsOf(
            [&]
            {
                fitted = BuildRevolvedFromSections(*scan.points, scan.mesh, *object.GetGeometry(), {0},
                                                   stProfileFitParams{}, true);
            }));
        if (!fitted)
            state.SkipWithError("revolved fit failed");
    }
}

} // namespace

BENCHMARK(BM_RevolutionAxisFromNormals)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RevolvedFitWhole)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
