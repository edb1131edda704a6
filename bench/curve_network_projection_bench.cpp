// Projection of a sub-sampled network curve onto generated scans of 1M and
// 10M triangles (a wavy height field in millimetres with scanner noise,
// 1500 mm from the origin): 500 free samples 10 mm above the scan between
// two fixed ends, each picked through along the blended normal of the ends.
//   - BM_ProjectIndexed: the projection as the network mode runs it, through
//     the pick index kept between projections (its build time reported);
//     `mismatches` counts samples whose answer differs from the scan's
//     (must be 0);
//   - BM_ProjectScan: the same samples picked by the scan over every
//     triangle, timed on 8 of them and reported per 500 samples
//     (`ms_per_500`), since 500 full scans of 10M triangles take minutes.
#include "core/mesh.h"
#include "modes/mesh_sample_projection.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <random>

namespace
{

constexpr float kOffset = 1500.0f;

std::unique_ptr<cMesh> Scan(std::uint32_t cells)
{
    auto mesh = std::make_unique<cMesh>();
    std::mt19937 random(11);
    std::normal_distribution<float> noise(0.0f, 0.02f);
    for (std::uint32_t r = 0; r <= cells; ++r)
        for (std::uint32_t c = 0; c <= cells; ++c)
        {
            const float x = 400.0f * float(c) / float(cells), y = 300.0f * float(r) / float(cells);
            const float p[3] = {kOffset + x, kOffset + y,
                                kOffset + 20.0f * std::sin(x / 40.0f) * std::cos(y / 55.0f) + noise(random)};
            mesh->AddVertex(p);
        }
    for (std::uint32_t r = 0; r < cells; ++r)
        for (std::uint32_t c = 0; c < cells; ++c)
        {
            const std::uint32_t a = r * (cells + 1) + c;
            mesh->AddTriangle(a, a + 1, a + cells + 2);
            mesh->AddTriangle(a, a + cells + 2, a + cells + 1);
        }
    mesh->Update();
    return mesh;
}

// Millions of triangles -> the scan (kept for the process).
cMesh& MeshOf(std::uint32_t millions)
{
    static std::map<std::uint32_t, std::unique_ptr<cMesh>> meshes;
    auto& mesh = meshes[millions];
    if (!mesh)
        mesh = Scan(static_cast<std::uint32_t>(std::sqrt(millions * 500000.0)));
    return *mesh;
}

// Two fixed ends on a diagonal of the scan with normals leaning either way,
// and 500 free samples between them 10 mm above the sheet.
tPolyline<cVertex> Samples()
{
    tPolyline<cVertex> samples;
    const int count = 500;
    for (int i = 0; i <= count + 1; ++i)
    {
        const float s = float(i) / float(count + 1);
        const float p[3] = {kOffset + 20.0f + 360.0f * s, kOffset + 20.0f + 260.0f * s, kOffset + 30.0f};
        cVertex* v = samples.AddFloatPoint(p);
        if (i == 0 || i == count + 1)
        {
            v->flags = kNetworkNodeFixed;
            v->nx = i == 0 ? 0.2f : -0.2f;
            v->nz = 1.0f;
        }
    }
    return samples;
}

void BM_ProjectIndexed(benchmark::State& state)
{
    cMesh& mesh = MeshOf(std::uint32_t(state.range(0)));
    const tPolyline<cVertex> samples = Samples();
    cMeshSampleProjector projector;
    const auto start = std::chrono::steady_clock::now();
    projector.Prepare(mesh);
    const double buildMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    // The scan's answers for a spread of the samples.
    tPolyline<cVertex> projected = samples;
    const std::uint32_t moved = projector.ProjectSamplesOnMesh(mesh, projected);
    int mismatches = 0;
    for (std::uint32_t i = 1; i + 1 < samples.GetVertexCount(); i += 50)
    {
        const cVertex expected = PickMeshPointAlong(mesh, samples.GetVertex(i)->Position(), projected.GetVertex(i)->Normal());
        const cVertex& got = *projected.GetVertex(i);
        mismatches += expected.x != got.x || expected.y != got.y || expected.z != got.z;
    }
    for (auto _ : state)
    {
        tPolyline<cVertex> work = samples;
        benchmark::DoNotOptimize(projector.ProjectSamplesOnMesh(mesh, work));
    }
    state.counters["build_ms"] = buildMs;
    state.counters["moved"] = moved;
    state.counters["mismatches"] = mismatches;
}
BENCHMARK(BM_ProjectIndexed)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_ProjectScan(benchmark::State& state)
{
    cMesh& mesh = MeshOf(std::uint32_t(state.range(0)));
    const tPolyline<cVertex> samples = Samples();
    const float direction[3] = {0.0f, 0.0f, 1.0f};
    constexpr std::uint32_t kTimed = 8;
    double total = 0.0;
    std::int64_t rounds = 0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        for (std::uint32_t i = 1; i <= kTimed; ++i)
            benchmark::DoNotOptimize(PickMeshPointAlong(mesh, samples.GetVertex(i * 60)->Position(), direction));
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        ++rounds;
    }
    state.counters["ms_per_500"] = total / double(rounds) / kTimed * 500.0;
}
BENCHMARK(BM_ProjectScan)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
