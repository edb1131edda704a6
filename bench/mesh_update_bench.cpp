// cMesh::Update (bounding box, normals, neighbour links) on generated scans of
// 1M and 10M triangles, against a plain sort-based edge pairing as the
// baseline and, in optimised builds with CGAL installed, CGAL's halfedge mesh
// built from the same indexed triangles with its face and vertex normals and
// bounding box (the same work: adjacency, normals, box). Reports millions of
// triangles per second, the records' own size per million triangles and how
// much the resident size rises above it.
//
//   scripts/bench.sh mesh_update
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/mesh.h"
#include "core/thread_pool.h"

#ifdef VTL_BENCH_WITH_CGAL
#include <CGAL/Polygon_mesh_processing/bbox.h>
#include <CGAL/Polygon_mesh_processing/compute_normal.h>
#include <CGAL/Polygon_mesh_processing/polygon_soup_to_polygon_mesh.h>
#include <CGAL/Simple_cartesian.h>
#include <CGAL/Surface_mesh.h>

#include <array>
#endif

namespace
{

// ---------------------------------------------------------------------------
// Resident memory: the kernel's peak resident set size can be reset, so the
// peak of one call is measured as its rise above the resident size before it.
// ---------------------------------------------------------------------------

std::int64_t ReadStatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
    {
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::atoll(line.c_str() + prefix.size());
    }
    return 0;
}

// The resident size now, after resetting the recorded peak to it.
std::int64_t ResetPeakResidentKb()
{
    std::ofstream("/proc/self/clear_refs") << "5";
    return ReadStatusKb("VmRSS");
}

} // namespace

namespace
{

// ---------------------------------------------------------------------------
// Generated scans
// ---------------------------------------------------------------------------

// A closed, noisy cylinder: `segments` around, `rings` along, both ends
// closed by fans around a centre vertex. 2 * segments * (rings - 1) + 2 *
// segments triangles.
void BuildCylinder(cMesh& mesh, std::uint32_t segments, std::uint32_t rings)
{
    std::mt19937 random(1);
    std::normal_distribution<float> noise(0.0f, 0.002f);
    for (std::uint32_t r = 0; r < rings; ++r)
        for (std::uint32_t s = 0; s < segments; ++s)
        {
            const float angle = 6.2831853f * static_cast<float>(s) / static_cast<float>(segments);
            const float radius = 1.0f + noise(random);
            const float p[3] = {radius * std::cos(angle), radius * std::sin(angle),
                                static_cast<float>(r) * 0.01f};
            mesh.AddVertex(p);
        }
    const float bottom[3] = {0, 0, 0};
    const float top[3] = {0, 0, static_cast<float>(rings - 1) * 0.01f};
    const std::uint32_t bottomCentre = mesh.AddVertex(bottom);
    const std::uint32_t topCentre = mesh.AddVertex(top);
    for (std::uint32_t r = 0; r + 1 < rings; ++r)
        for (std::uint32_t s = 0; s < segments; ++s)
        {
            const std::uint32_t a = r * segments + s;
            const std::uint32_t b = r * segments + (s + 1) % segments;
            mesh.AddTriangle(a, b, b + segments);
            mesh.AddTriangle(a, b + segments, a + segments);
        }
    const std::uint32_t last = (rings - 1) * segments;
    for (std::uint32_t s = 0; s < segments; ++s)
    {
        mesh.AddTriangle(bottomCentre, (s + 1) % segments, s);
        mesh.AddTriangle(topCentre, last + s, last + (s + 1) % segments);
    }
}

// A noisy UV sphere with fans at both poles: 2 * segments * (rings - 2)
// triangles plus 2 * segments at the poles.
void BuildSphere(cMesh& mesh, std::uint32_t segments, std::uint32_t rings)
{
    std::mt19937 random(2);
    std::normal_distribution<float> noise(0.0f, 0.002f);
    for (std::uint32_t r = 1; r < rings; ++r)
    {
        const float polar = 3.14159265f * static_cast<float>(r) / static_cast<float>(rings);
        for (std::uint32_t s = 0; s < segments; ++s)
        {
            const float angle = 6.2831853f * static_cast<float>(s) / static_cast<float>(segments);
            const float radius = 1.0f + noise(random);
            const float p[3] = {radius * std::sin(polar) * std::cos(angle),
                                radius * std::sin(polar) * std::sin(angle), radius * std::cos(polar)};
            mesh.AddVertex(p);
        }
    }
    const float north[3] = {0, 0, 1};
    const float south[3] = {0, 0, -1};
    const std::uint32_t northPole = mesh.AddVertex(north);
    const std::uint32_t southPole = mesh.AddVertex(south);
    for (std::uint32_t r = 0; r + 2 < rings; ++r)
        for (std::uint32_t s = 0; s < segments; ++s)
        {
            const std::uint32_t a = r * segments + s;
            const std::uint32_t b = r * segments + (s + 1) % segments;
            mesh.AddTriangle(a, a + segments, b + segments);
            mesh.AddTriangle(a, b + segments, b);
        }
    const std::uint32_t last = (rings - 2) * segments;
    for (std::uint32_t s = 0; s < segments; ++s)
    {
        mesh.AddTriangle(northPole, s, (s + 1) % segments);
        mesh.AddTriangle(southPole, last + (s + 1) % segments, last + s);
    }
}

enum Shape
{
    kCylinder = 0,
    kSphere = 1
};

// About `millions` million triangles of the shape.
std::unique_ptr<cMesh> MakeMesh(int shape, std::int64_t millions)
{
    auto mesh = std::make_unique<cMesh>();
    const std::uint32_t segments = 1000;
    const std::uint32_t rings = static_cast<std::uint32_t>(millions * 500);
    if (shape == kCylinder)
        BuildCylinder(*mesh, segments, rings);
    else
        BuildSphere(*mesh, segments, rings + 1);
    return mesh;
}

// Triangles per second, the records' own size per million triangles
// and how far the resident size rose above it during the timed calls.
void ReportPerMillion(benchmark::State& state, const cMesh& mesh, std::int64_t residentBeforeKb)
{
    const double millions = mesh.GetTriangleCount() / 1e6;
    const double recordBytes = 56.0 * mesh.GetTriangleCount() + 36.0 * mesh.GetVertexCount();
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * mesh.GetTriangleCount());
    state.counters["Mtri"] = millions;
    state.counters["Mtri_per_s"] =
        benchmark::Counter(millions, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["mesh_MB_per_Mtri"] = recordBytes / 1e6 / millions;
    state.counters["peak_extra_MB_per_Mtri"] =
        static_cast<double>(ReadStatusKb("VmHWM") - residentBeforeKb) / 1e3 / millions;
}

void BM_MeshUpdate(benchmark::State& state)
{
    auto mesh = MakeMesh(static_cast<int>(state.range(0)), state.range(1));
    const std::int64_t residentBeforeKb = ResetPeakResidentKb();
    for (auto _ : state)
        mesh->Update();
    if (!mesh->IsTopologyValid())
        state.SkipWithError("topology not built");
    ReportPerMillion(state, *mesh, residentBeforeKb);
}

void BM_BuildTopology(benchmark::State& state)
{
    auto mesh = MakeMesh(static_cast<int>(state.range(0)), state.range(1));
    const std::int64_t residentBeforeKb = ResetPeakResidentKb();
    for (auto _ : state)
        benchmark::DoNotOptimize(mesh->BuildTopology());
    ReportPerMillion(state, *mesh, residentBeforeKb);
}

// The first triangle of every vertex (the symmetry-plane fit's ring starts),
// of 10M triangles, alone (0) and on a pool of the machine's threads (1).
void BM_FirstTriangleOfEachVertex(benchmark::State& state)
{
    auto mesh = MakeMesh(kCylinder, 10);
    cThreadPool pool(static_cast<int>(std::thread::hardware_concurrency()));
    SetSharedThreadPool(state.range(0) != 0 ? &pool : nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(mesh->FirstTriangleOfEachVertex());
    SetSharedThreadPool(nullptr);
}
BENCHMARK(BM_FirstTriangleOfEachVertex)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// The baseline: every half-edge keyed by its sorted vertex pair, one sort,
// then adjacent opposite half-edges paired. It writes links into a plain
// array instead of the triangle records and ignores the pairing rules for
// edges of more than two triangles.
void BM_SortPairingBaseline(benchmark::State& state)
{
    auto mesh = MakeMesh(static_cast<int>(state.range(0)), state.range(1));
    const std::int64_t residentBeforeKb = ResetPeakResidentKb();
    const std::uint32_t n = mesh->GetTriangleCount();
    for (auto _ : state)
    {
        struct Entry
        {
            std::uint64_t key;
            std::uint32_t halfEdge;
        };
        std::vector<Entry> entries(static_cast<std::size_t>(n) * 3);
        for (std::uint32_t i = 0; i < n; ++i)
        {
            const cMeshTriangle* t = mesh->GetTriangle(i);
            for (std::uint32_t k = 0; k < 3; ++k)
            {
                const std::uint32_t a = t->vertexIndex[k];
                const std::uint32_t b = t->vertexIndex[(k + 1) % 3];
                entries[i * 3 + k] = {(static_cast<std::uint64_t>(std::min(a, b)) << 32) | std::max(a, b),
                                      i * 3 + k};
            }
        }
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& x, const Entry& y)
                  { return x.key != y.key ? x.key < y.key : x.halfEdge < y.halfEdge; });
        std::vector<std::uint32_t> partner(entries.size(), 0xFFFFFFFFu);
        for (std::size_t i = 0; i + 1 < entries.size(); ++i)
        {
            if (entries[i].key == entries[i + 1].key)
            {
                partner[entries[i].halfEdge] = entries[i + 1].halfEdge;
                partner[entries[i + 1].halfEdge] = entries[i].halfEdge;
                ++i;
            }
        }
        benchmark::DoNotOptimize(partner.data());
    }
    ReportPerMillion(state, *mesh, residentBeforeKb);
}

#ifdef VTL_BENCH_WITH_CGAL
// The peer: the mesh's vertices and triangles handed to CGAL as an indexed
// soup (made outside the timing), then the halfedge mesh with its adjacency,
// the face and vertex normals and the box, all inside it.
void BM_CGALMeshUpdate(benchmark::State& state)
{
    using Kernel = CGAL::Simple_cartesian<double>;
    using SurfaceMesh = CGAL::Surface_mesh<Kernel::Point_3>;
    namespace PMP = CGAL::Polygon_mesh_processing;
    auto mesh = MakeMesh(static_cast<int>(state.range(0)), state.range(1));
    std::vector<Kernel::Point_3> points;
    points.reserve(mesh->GetVertexCount());
    for (std::uint32_t i = 0; i < mesh->GetVertexCount(); ++i)
    {
        const cVertex* v = mesh->GetVertex(i);
        points.emplace_back(v->x, v->y, v->z);
    }
    std::vector<std::array<std::size_t, 3>> triangles;
    triangles.reserve(mesh->GetTriangleCount());
    for (std::uint32_t i = 0; i < mesh->GetTriangleCount(); ++i)
    {
        const cMeshTriangle* t = mesh->GetTriangle(i);
        triangles.push_back({t->vertexIndex[0], t->vertexIndex[1], t->vertexIndex[2]});
    }
    const std::int64_t residentBeforeKb = ResetPeakResidentKb();
    for (auto _ : state)
    {
        SurfaceMesh sm;
        PMP::polygon_soup_to_polygon_mesh(points, triangles, sm);
        auto faceNormals = sm.add_property_map<SurfaceMesh::Face_index, Kernel::Vector_3>("f:n").first;
        auto vertexNormals = sm.add_property_map<SurfaceMesh::Vertex_index, Kernel::Vector_3>("v:n").first;
        PMP::compute_normals(sm, vertexNormals, faceNormals);
        benchmark::DoNotOptimize(PMP::bbox(sm));
    }
    ReportPerMillion(state, *mesh, residentBeforeKb);
}
#endif

void Sizes(benchmark::internal::Benchmark* b)
{
    for (int shape : {kCylinder, kSphere})
        for (int millions : {1, 10})
            b->Args({shape, millions});
    b->ArgNames({"sphere", "Mtri"})->Unit(benchmark::kMillisecond)->Iterations(2);
}

BENCHMARK(BM_MeshUpdate)->Apply(Sizes);
BENCHMARK(BM_BuildTopology)->Apply(Sizes);
BENCHMARK(BM_SortPairingBaseline)->Apply(Sizes);
#ifdef VTL_BENCH_WITH_CGAL
// 1M triangles only: the poles of the sphere, where 1000 triangles meet, cost
// CGAL seconds per million triangles already.
BENCHMARK(BM_CGALMeshUpdate)
    ->Args({kCylinder, 1})
    ->Args({kSphere, 1})
    ->ArgNames({"sphere", "Mtri"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
#endif

} // namespace
