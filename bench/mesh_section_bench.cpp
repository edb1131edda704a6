// One plane section and a family of 33 parallel sections of bumpy sphere
// meshes of 1M and 10M triangles, side by side with CGAL's
// Polygon_mesh_slicer (its AABB tree of edges built once, outside the timing)
// when CGAL is available.
//
// Counters: cuts per second, points and polylines of the result; heap sizes
// of the mesh structures (MB) and the heap a cut holds while it runs; for the
// indexed cuts and CGAL's, the index or tree build and the first cut
// together (build_plus_first_cut_s).
#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "fitting/mesh_plane_sectioner.h"
#include "fitting/multi_plane_sectioning.h"
#include "fitting/section_triangle_index.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#ifdef VTL_BENCH_WITH_CGAL
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Polygon_mesh_slicer.h>
#include <CGAL/Surface_mesh.h>
#endif

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint32_t kFamilyPlanes = 16; // per side: 33 planes
constexpr float kFamilySpacing = 5.0f;      // all 33 cross the sphere of radius 100

double HeapMB()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

double PeakRssMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A sphere of radius about 100 with gentle bumps, `rings` bands of
// `segments` quads (two triangles each, one triangle at the poles).
struct stRawMesh
{
    std::vector<float> points;
    std::vector<std::uint32_t> triangles;
};

stRawMesh MakeBumpySphere(std::uint32_t rings, std::uint32_t segments)
{
    stRawMesh raw;
    const auto add = [&](double theta, double phi) {
        const double r = 100.0 * (1.0 + 0.02 * std::sin(7 * theta) * std::cos(5 * phi));
        raw.points.push_back(static_cast<float>(r * std::cos(phi) * std::cos(theta)));
        raw.points.push_back(static_cast<float>(r * std::cos(phi) * std::sin(theta)));
        raw.points.push_back(static_cast<float>(r * std::sin(phi)));
    };
    add(0, -kPi / 2);
    for (std::uint32_t k = 1; k < rings; ++k)
        for (std::uint32_t s = 0; s < segments; ++s)
            add(2 * kPi * s / segments, -kPi / 2 + kPi * k / rings);
    add(0, kPi / 2);
    const std::uint32_t north = 1 + (rings - 1) * segments;
    const auto ring = [&](std::uint32_t k, std::uint32_t s) { return 1 + (k - 1) * segments + s % segments; };
    const auto tri = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        raw.triangles.insert(raw.triangles.end(), {a, b, c});
    };
    for (std::uint32_t s = 0; s < segments; ++s)
    {
        tri(0, ring(1, s + 1), ring(1, s));
        tri(north, ring(rings - 1, s), ring(rings - 1, s + 1));
    }
    for (std::uint32_t k = 1; k + 1 < rings; ++k)
        for (std::uint32_t s = 0; s < segments; ++s)
        {
            tri(ring(k, s), ring(k, s + 1), ring(k + 1, s + 1));
            tri(ring(k, s), ring(k + 1, s + 1), ring(k + 1, s));
        }
    return raw;
}

#ifdef VTL_BENCH_WITH_CGAL
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using SurfaceMesh = CGAL::Surface_mesh<Kernel::Point_3>;
using Slicer = CGAL::Polygon_mesh_slicer<SurfaceMesh, Kernel>;
using SlicerTree = Slicer::AABB_tree;
using CgalPolylines = std::vector<std::vector<Kernel::Point_3>>;
#endif

// The meshes of one size; only one size is kept alive at a time.
struct stFixture
{
    std::uint32_t triangles = 0;
    std::unique_ptr<cMesh> mesh;
    double meshMB = 0;
    cSectionTriangleIndex index;
    double indexMB = 0;
    double indexSeconds = 0;
#ifdef VTL_BENCH_WITH_CGAL
    std::unique_ptr<SurfaceMesh> cgalMesh;
    std::unique_ptr<SlicerTree> tree;
    double cgalMeshMB = 0;
    double treeMB = 0;
    double treeSeconds = 0;
#endif
};

std::unique_ptr<stFixture> g_fixture;

// The meshes of about `millions` million triangles: ours and, with CGAL,
// its surface mesh and the slicer's tree of edges.
stFixture& Fixture(std::int64_t millions)
{
    const std::uint32_t target = static_cast<std::uint32_t>(millions) * 1000000u;
    if (g_fixture && g_fixture->triangles == target)
        return *g_fixture;
    g_fixture.reset();
    g_fixture = std::make_unique<stFixture>();
    stFixture& f = *g_fixture;
    f.triangles = target;
    // rings x segments with 2 x segments x (rings - 1) = target.
    const std::uint32_t segments = static_cast<std::uint32_t>(std::sqrt(target));
    const std::uint32_t rings = target / (2 * segments) + 1;
    const stRawMesh raw = MakeBumpySphere(rings, segments);

    const double before = HeapMB();
    f.mesh = std::make_unique<cMesh>();
    for (std::size_t i = 0; i < raw.points.size(); i += 3)
        f.mesh->AddVertex(&raw.points[i]);
    for (std::size_t i = 0; i < raw.triangles.size(); i += 3)
        f.mesh->AddTriangle(raw.triangles[i], raw.triangles[i + 1], raw.triangles[i + 2]);
    f.mesh->SetTriangleFlag4(); // the mark the section jobs cut by
    f.meshMB = HeapMB() - before;
    const double indexStart = HeapMB();
    const auto t0 = std::chrono::steady_clock::now();
    f.index.Build(*f.mesh);
    f.indexSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    f.indexMB = HeapMB() - indexStart;

#ifdef VTL_BENCH_WITH_CGAL
    const double start = HeapMB();
    f.cgalMesh = std::make_unique<SurfaceMesh>();
    SurfaceMesh& cm = *f.cgalMesh;
    std::vector<SurfaceMesh::Vertex_index> ids;
    ids.reserve(raw.points.size() / 3);
    for (std::size_t i = 0; i < raw.points.size(); i += 3)
        ids.push_back(cm.add_vertex(Kernel::Point_3(raw.points[i], raw.points[i + 1], raw.points[i + 2])));
    for (std::size_t i = 0; i < raw.triangles.size(); i += 3)
        cm.add_face(ids[raw.triangles[i]], ids[raw.triangles[i + 1]], ids[raw.triangles[i + 2]]);
    f.cgalMeshMB = HeapMB() - start;
    const double treeStart = HeapMB();
    const auto t1 = std::chrono::steady_clock::now();
    f.tree = std::make_unique<SlicerTree>(edges(cm).first, edges(cm).second, cm);
    f.tree->build();
    f.treeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count();
    f.treeMB = HeapMB() - treeStart;
#endif
    return f;
}

// A tilted plane (not parallel to any axis) through the sphere's centre.
void TiltedFrame(double frame[12])
{
    double n[3] = {0.3, 0.2, 1.0};
    const double l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double& c : n)
        c /= l;
    const double origin[3] = {0.5, -0.25, 1.0}, reference[3] = {1.0, 0.0, 0.0};
    MakeFrame3x4(frame, origin, n, reference);
}

void AxisFrame(double frame[12])
{
    const double origin[3] = {0.5, -0.25, 1.0}, normal[3] = {0, 0, 1}, reference[3] = {1, 0, 0};
    MakeFrame3x4(frame, origin, normal, reference);
}

void CountResult(benchmark::State& state, const tSectionPolylines& cut)
{
    double points = 0;
    for (const tFramePolyline<cVertex>& p : cut.items)
        points += p.GetVertexCount();
    state.counters["polylines"] = cut.GetCount();
    state.counters["points"] = points;
}

void OwnSinglePlane(benchmark::State& state, void (*makeFrame)(double[12]), bool indexed)
{
    stFixture& f = Fixture(state.range(0));
    double frame[12];
    makeFrame(frame);
    const double before = HeapMB();
    cMeshPlaneSectioner sectioner;
    if (indexed)
    {
        sectioner.SetTriangleIndex(&f.index);
        state.counters["index_MB"] = f.indexMB;
        state.counters["index_build_s"] = f.indexSeconds;
    }
    tSectionPolylines cut;
    double firstCutSeconds = -1.0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        cut.Clear();
        SectionMeshByPlane(sectioner, f.mesh.get(), frame, 0, cut, 1e-4f, 0.0);
        benchmark::DoNotOptimize(&cut);
        if (firstCutSeconds < 0.0)
            firstCutSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    // What a user waits for the first section of a mesh: the index and one cut.
    if (indexed)
        state.counters["build_plus_first_cut_s"] = f.indexSeconds + firstCutSeconds;
    state.counters["cut_heap_MB"] = HeapMB() - before;
    state.counters["mesh_MB"] = f.meshMB;
    state.counters["peak_rss_MB"] = PeakRssMB();
    state.counters["cuts/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    CountResult(state, cut);
}

void BM_OwnSinglePlaneTilted(benchmark::State& state) { OwnSinglePlane(state, TiltedFrame, false); }
void BM_OwnSinglePlaneAxis(benchmark::State& state) { OwnSinglePlane(state, AxisFrame, false); }
void BM_OwnIndexedSinglePlaneTilted(benchmark::State& state) { OwnSinglePlane(state, TiltedFrame, true); }
void BM_OwnIndexedSinglePlaneAxis(benchmark::State& state) { OwnSinglePlane(state, AxisFrame, true); }

void OwnFamily33(benchmark::State& state, bool indexed)
{
    stFixture& f = Fixture(state.range(0));
    static cThreadPool pool;
    double base[12];
    TiltedFrame(base);
    stSectionPanelData panel;
    panel.index = indexed ? &f.index : nullptr;
    double points = 0, polylines = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        panel.records.clear();
        MakeStackedPlaneFrames(base, kFamilyPlanes, kFamilySpacing, panel.records);
        for (stSectionRecord& r : panel.records)
        {
            r.mesh = f.mesh.get();
            r.joinTolerance = 1e-4f;
        }
        state.ResumeTiming();
        ParallelFor(&pool, static_cast<std::uint32_t>(panel.records.size()), SectionPlaneJob, &panel);
    }
    for (const stSectionRecord& r : panel.records)
    {
        polylines += r.polylines.GetCount();
        for (const tFramePolyline<cVertex>& p : r.polylines.items)
            points += p.GetVertexCount();
    }
    state.counters["planes"] = static_cast<double>(panel.records.size());
    state.counters["polylines"] = polylines;
    state.counters["points"] = points;
    state.counters["threads"] = pool.GetThreadCount();
    state.counters["peak_rss_MB"] = PeakRssMB();
}

void BM_OwnFamily33(benchmark::State& state) { OwnFamily33(state, false); }
void BM_OwnIndexedFamily33(benchmark::State& state) { OwnFamily33(state, true); }

#ifdef VTL_BENCH_WITH_CGAL
Kernel::Plane_3 PlaneOf(const double frame[12])
{
    const Kernel::Point_3 origin(frame[3], frame[7], frame[11]);
    const Kernel::Vector_3 normal(frame[2], frame[6], frame[10]);
    return Kernel::Plane_3(origin, normal);
}

void CgalSinglePlane(benchmark::State& state, void (*makeFrame)(double[12]))
{
    stFixture& f = Fixture(state.range(0));
    double frame[12];
    makeFrame(frame);
    const Kernel::Plane_3 plane = PlaneOf(frame);
    Slicer slicer(*f.cgalMesh, *f.tree);
    CgalPolylines cut;
    double firstCutSeconds = -1.0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        cut.clear();
        slicer(plane, std::back_inserter(cut));
        benchmark::DoNotOptimize(cut.data());
        if (firstCutSeconds < 0.0)
            firstCutSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["build_plus_first_cut_s"] = f.treeSeconds + firstCutSeconds;
    double points = 0;
    for (const auto& p : cut)
        points += static_cast<double>(p.size());
    state.counters["polylines"] = static_cast<double>(cut.size());
    state.counters["points"] = points;
    state.counters["mesh_MB"] = f.cgalMeshMB;
    state.counters["tree_MB"] = f.treeMB;
    state.counters["tree_build_s"] = f.treeSeconds;
    state.counters["peak_rss_MB"] = PeakRssMB();
    state.counters["cuts/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_CgalSinglePlaneTilted(benchmark::State& state) { CgalSinglePlane(state, TiltedFrame); }
void BM_CgalSinglePlaneAxis(benchmark::State& state) { CgalSinglePlane(state, AxisFrame); }

struct stCgalFamily
{
    const SurfaceMesh* mesh;
    const SlicerTree* tree;
    std::vector<Kernel::Plane_3> planes;
    std::vector<CgalPolylines> results;
};

void CgalFamilyJob(void* context, std::uint32_t k)
{
    stCgalFamily& family = *static_cast<stCgalFamily*>(context);
    Slicer slicer(*family.mesh, *family.tree);
    family.results[k].clear();
    slicer(family.planes[k], std::back_inserter(family.results[k]));
}

void BM_CgalFamily33(benchmark::State& state)
{
    stFixture& f = Fixture(state.range(0));
    static cThreadPool pool;
    double base[12];
    TiltedFrame(base);
    std::vector<stSectionRecord> frames;
    MakeStackedPlaneFrames(base, kFamilyPlanes, kFamilySpacing, frames);
    stCgalFamily family{f.cgalMesh.get(), f.tree.get(), {}, {}};
    for (const stSectionRecord& r : frames)
        family.planes.push_back(PlaneOf(r.frame));
    family.results.resize(family.planes.size());
    for (auto _ : state)
        ParallelFor(&pool, static_cast<std::uint32_t>(family.planes.size()), CgalFamilyJob, &family);
    double points = 0, polylines = 0;
    for (const auto& r : family.results)
    {
        polylines += static_cast<double>(r.size());
        for (const auto& p : r)
            points += static_cast<double>(p.size());
    }
    state.counters["planes"] = static_cast<double>(family.planes.size());
    state.counters["polylines"] = polylines;
    state.counters["points"] = points;
    state.counters["peak_rss_MB"] = PeakRssMB();
}
#endif

// Sizes in millions of triangles; each size runs ours and CGAL's in turn so
// that only one size's meshes are alive at a time.
void Register()
{
    for (const std::int64_t millions : {1, 10})
    {
        using Function = void (*)(benchmark::State&);
        const std::pair<const char*, Function> own[] = {
            {"BM_OwnSinglePlaneTilted", BM_OwnSinglePlaneTilted},
            {"BM_OwnSinglePlaneAxis", BM_OwnSinglePlaneAxis},
            {"BM_OwnIndexedSinglePlaneTilted", BM_OwnIndexedSinglePlaneTilted},
            {"BM_OwnIndexedSinglePlaneAxis", BM_OwnIndexedSinglePlaneAxis},
            {"BM_OwnFamily33", BM_OwnFamily33},
            {"BM_OwnIndexedFamily33", BM_OwnIndexedFamily33},
        };
        for (const auto& [name, function] : own)
            benchmark::RegisterBenchmark(name, function)->Arg(millions)->Unit(benchmark::kMillisecond)->UseRealTime();
#ifdef VTL_BENCH_WITH_CGAL
        benchmark::RegisterBenchmark("BM_CgalSinglePlaneTilted", BM_CgalSinglePlaneTilted)
            ->Arg(millions)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_CgalSinglePlaneAxis", BM_CgalSinglePlaneAxis)
            ->Arg(millions)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_CgalFamily33", BM_CgalFamily33)
            ->Arg(millions)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
#endif
    }
}

const int g_registered = (Register(), 0);

} // namespace
