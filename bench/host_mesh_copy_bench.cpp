// The shapes dialog's copy of a big host mesh, phase by phase, on the two
// 10M-triangle inputs of the big-scan road (imported once by the host's
// reader): the search for points with a twin, the whole copy (weld, box,
// normals, links), and on the copy the normals and the links alone; and the
// magic wand's flood over the turned part's middle wall (the road's click).
// Wall time on the shared pool, medians of five runs.
#include "bench/big_scan_inputs.h"
#include "bench/shared_bench_pool.h"
#include "core/host_mesh_import.h"
#include "core/mesh.h"
#include "core/point_twins.h"
#include "core/thread_pool.h"
#include "dezaz/mesh_import.h"
#include "plugin/dialogs/magic_wand.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace
{

const ON_Mesh& Input(int which)
{
    static ON_Mesh meshes[2];
    static bool read[2] = {false, false};
    if (!read[which])
    {
        std::uint64_t triangles = 0;
        const auto path =
            which == 0 ? bigscan::SamplePartStl(1e7, &triangles) : bigscan::TurnedPartStl(&triangles);
        std::wstring error;
        dezaz::ImportMeshFile(path.string(), meshes[which], error);
        read[which] = true;
    }
    return meshes[which];
}

void BM_PointTwins(benchmark::State& state)
{
    const ON_Mesh& host = Input(int(state.range(0)));
    cThreadPool& pool = SharedBenchPool();
    for (auto _ : state)
    {
        std::vector<std::uint8_t> marks;
        state.SetIterationTime(WallSecondsOf(
            [&]
            {
                MarkPointTwins(&host.m_V[0].x, std::size_t(host.VertexCount()), 3, kImportMergeTolerance,
                               &pool, marks);
            }));
    }
}

void BM_HostMeshCopy(benchmark::State& state)
{
    const ON_Mesh& host = Input(int(state.range(0)));
    cThreadPool& pool = SharedBenchPool();
    for (auto _ : state)
    {
        auto mesh = std::make_unique<cMesh>();
        state.SetIterationTime(WallSecondsOf([&] { AddHostMeshFaces(*mesh, host, &pool); }));
        state.counters["triangles"] = mesh->GetTriangleCount();
        state.PauseTiming();
        mesh.reset();
        state.ResumeTiming();
    }
}

void BM_CopyNormals(benchmark::State& state)
{
    const ON_Mesh& host = Input(int(state.range(0)));
    cMesh mesh;
    AddHostMeshFaces(mesh, host, &SharedBenchPool());
    for (auto _ : state)
        state.SetIterationTime(WallSecondsOf([&] { mesh.ComputeNormals(true); }));
}

void BM_CopyLinks(benchmark::State& state)
{
    const ON_Mesh& host = Input(int(state.range(0)));
    cMesh mesh;
    AddHostMeshFaces(mesh, host, &SharedBenchPool());
    for (auto _ : state)
        state.SetIterationTime(WallSecondsOf([&] { mesh.BuildTopology(); }));
}

void BM_WandFlood(benchmark::State& state)
{
    const ON_Mesh& host = Input(1);
    cMesh mesh;
    AddHostMeshFaces(mesh, host, &SharedBenchPool());
    // The turned part's faces keep the order of their tessellation, 4096
    // triangles to a facet: the wall of radius 25 starts at facet 1218.
    cMeshTriangle* seed = mesh.GetTriangle((1218 + 10) * 4096 + 7);
    bool select = true;
    for (auto _ : state)
    {
        // Alternate: every run floods the wall to the other state.
        if (select)
            seed->flags |= kTriangleFlagSelected;
        else
            seed->flags &= std::uint8_t(~kTriangleFlagSelected);
        select = !select;
        std::uint32_t reached = 0;
        state.SetIterationTime(WallSecondsOf([&] { reached = GrowMagicWandSelection(mesh, seed, 8.0); }));
        state.counters["reached"] = reached;
    }
}

} // namespace

BENCHMARK(BM_PointTwins)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_HostMeshCopy)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CopyNormals)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CopyLinks)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WandFlood)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);
