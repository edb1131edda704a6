// The fillet tool's measurement after a slider is let go: 20 sections (21
// stations) along the edge of a rounded prism of 1M and 10M triangles, each
// cut and fitted near the edge. Beside it, CGAL's Polygon_mesh_slicer (its
// AABB tree of edges built once, outside the timing) making the same 21
// cuts, timed in pairs (bench/paired_timing.h) when CGAL is available; and
// our measurement without the triangle index (every cut visits every
// triangle).
//
// Counters: ours_ms and peer_ms (medians of thread CPU time), time_ratio
// (median of ours / CGAL), the measured radius and its error against the
// generated one, and the build times of our index and CGAL's tree.
#include "analysis/fillet_measurement.h"
#include "analysis/tests/fillet_test_meshes.h"
#include "bench/paired_timing.h"
#include "core/mesh.h"
#include "fitting/section_triangle_index.h"
#include "platform/geometry/line_curve.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#ifdef VTL_BENCH_WITH_CGAL
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Polygon_mesh_slicer.h>
#include <CGAL/Surface_mesh.h>
#endif

namespace
{

constexpr int kSections = 20;
constexpr double kStart = 0.1, kEnd = 0.9;
constexpr double kRadius = 6.0;

#ifdef VTL_BENCH_WITH_CGAL
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using SurfaceMesh = CGAL::Surface_mesh<Kernel::Point_3>;
using Slicer = CGAL::Polygon_mesh_slicer<SurfaceMesh, Kernel>;
using SlicerTree = Slicer::AABB_tree;
using CgalPolylines = std::vector<std::vector<Kernel::Point_3>>;
#endif

// A rounded prism of about `millions` million triangles: 1000 outline
// points a ring, the rings along 200 mm of edge, noise 0.01, far from the
// origin and turned.
struct stFixture
{
    std::int64_t millions = 0;
    fillet_test::stFilletScan scan;
    std::unique_ptr<cMesh> mesh;
    cSectionTriangleIndex index;
    double indexSeconds = 0;
    std::unique_ptr<ON_LineCurve> edge;
    // The stations' planes: point and unit normal.
    std::vector<std::pair<ON_3dPoint, ON_3dVector>> planes;
#ifdef VTL_BENCH_WITH_CGAL
    std::unique_ptr<SurfaceMesh> cgalMesh;
    std::unique_ptr<SlicerTree> tree;
    double treeSeconds = 0;
#endif
};

std::unique_ptr<stFixture> g_fixture;

stFixture& Fixture(std::int64_t millions)
{
    if (g_fixture && g_fixture->millions == millions)
        return *g_fixture;
    g_fixture.reset();
    g_fixture = std::make_unique<stFixture>();
    stFixture& f = *g_fixture;
    f.millions = millions;
    fillet_test::stFilletScan& scan = f.scan;
    scan.startRadius = scan.endRadius = kRadius;
    scan.faceLength = 40.0;
    scan.length = 200.0;
    scan.arcPoints = 100;
    scan.facePoints = 300;
    const int perRing = 3 * scan.facePoints + scan.arcPoints;
    scan.rings = static_cast<int>(millions * 1000000 / (2 * perRing));
    scan.u = ON_3dVector(0.6, 0.8, 0.0);
    scan.v = ON_3dVector(0.0, 0.0, 1.0);

    // Built straight into the program's mesh: at 10M triangles the weld of
    // the host import would take longer than everything measured here.
    const fillet_test::stBasis basis = fillet_test::MakeBasis(scan);
    std::mt19937 engine(scan.seed);
    std::normal_distribution<double> noise(0.0, scan.noise);
    f.mesh = std::make_unique<cMesh>();
    std::vector<float> points;
    points.reserve(static_cast<std::size_t>(scan.rings + 1) * perRing * 3);
    for (int k = 0; k <= scan.rings; ++k)
    {
        const double w = scan.length * k / scan.rings;
        for (const auto& [u, v] : fillet_test::Outline(scan, kRadius))
        {
            const ON_3dPoint p = fillet_test::ToWorld(scan, basis, u, v, w);
            const float xyz[3] = {static_cast<float>(p.x + noise(engine)), static_cast<float>(p.y + noise(engine)),
                                  static_cast<float>(p.z + noise(engine))};
            f.mesh->AddVertex(xyz);
            points.insert(points.end(), xyz, xyz + 3);
        }
    }
    std::vector<std::uint32_t> triangles;
    for (int k = 0; k < scan.rings; ++k)
        for (int i = 0; i < perRing; ++i)
        {
            const std::uint32_t a = static_cast<std::uint32_t>(k * perRing + i);
            const std::uint32_t b = static_cast<std::uint32_t>(k * perRing + (i + 1) % perRing);
            const std::uint32_t c = b + static_cast<std::uint32_t>(perRing), d = a + static_cast<std::uint32_t>(perRing);
            f.mesh->AddTriangle(a, b, c);
            f.mesh->AddTriangle(a, c, d);
            triangles.insert(triangles.end(), {a, b, c, a, c, d});
        }
    f.mesh->Update();
    const auto t0 = std::chrono::steady_clock::now();
    f.index.Build(*f.mesh);
    f.indexSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    f.edge = std::make_unique<ON_LineCurve>(fillet_test::CornerEdge(scan));
    for (int i = 0; i <= kSections; ++i)
    {
        const double t = kStart + i * (kEnd - kStart) / kSections;
        ON_3dPoint p;
        ON_3dVector d;
        f.edge->EvTangent(f.edge->Domain().ParameterAt(t), p, d);
        f.planes.emplace_back(p, d);
    }

#ifdef VTL_BENCH_WITH_CGAL
    f.cgalMesh = std::make_unique<SurfaceMesh>();
    SurfaceMesh& cm = *f.cgalMesh;
    std::vector<SurfaceMesh::Vertex_index> ids;
    ids.reserve(points.size() / 3);
    for (std::size_t i = 0; i < points.size(); i += 3)
        ids.push_back(cm.add_vertex(Kernel::Point_3(points[i], points[i + 1], points[i + 2])));
    for (std::size_t i = 0; i < triangles.size(); i += 3)
        cm.add_face(ids[triangles[i]], ids[triangles[i + 1]], ids[triangles[i + 2]]);
    const auto t1 = std::chrono::steady_clock::now();
    f.tree = std::make_unique<SlicerTree>(edges(cm).first, edges(cm).second, cm);
    f.tree->build();
    f.treeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count();
#endif
    return f;
}

void ReportRadius(benchmark::State& state, const stFilletMeasurement& m)
{
    state.counters["radius"] = m.radius;
    state.counters["radius_error"] = std::fabs(m.radius - kRadius);
    state.counters["stations_measured"] = m.measured;
}

// Ours alone: with the triangle index the tool builds with its mesh, and
// without it.
void OwnMeasurement(benchmark::State& state, bool indexed)
{
    stFixture& f = Fixture(state.range(0));
    stFilletMeasurement m;
    for (auto _ : state)
    {
        m = MeasureFilletAlongCurve(*f.mesh, *f.edge, kStart, kEnd, kSections, indexed ? &f.index : nullptr);
        benchmark::DoNotOptimize(m.radius);
    }
    ReportRadius(state, m);
    state.counters["triangles"] = f.mesh->GetTriangleCount();
    state.counters["index_build_s"] = f.indexSeconds;
}

void BM_FilletIndexed(benchmark::State& state) { OwnMeasurement(state, true); }
void BM_FilletFullScan(benchmark::State& state) { OwnMeasurement(state, false); }

#ifdef VTL_BENCH_WITH_CGAL
// Ours (cuts and fits) against CGAL's slicer making the same 21 cuts with
// its prebuilt tree, in pairs.
void BM_FilletBesideCgalSlicer(benchmark::State& state)
{
    stFixture& f = Fixture(state.range(0));
    Slicer slicer(*f.cgalMesh, *f.tree);
    PairedTimes times;
    stFilletMeasurement m;
    std::size_t cgalPoints = 0;
    int round = 0;
    for (auto _ : state)
    {
        times.Run(
            round++,
            [&](int) {
                m = MeasureFilletAlongCurve(*f.mesh, *f.edge, kStart, kEnd, kSections, &f.index);
                benchmark::DoNotOptimize(m.radius);
            },
            [&](int) {
                cgalPoints = 0;
                for (const auto& [p, d] : f.planes)
                {
                    CgalPolylines cut;
                    slicer(Kernel::Plane_3(Kernel::Point_3(p.x, p.y, p.z), Kernel::Vector_3(d.x, d.y, d.z)),
                           std::back_inserter(cut));
                    for (const auto& polyline : cut)
                        cgalPoints += polyline.size();
                }
                benchmark::DoNotOptimize(cgalPoints);
            });
    }
    times.Report(state);
    ReportRadius(state, m);
    state.counters["cgal_points"] = static_cast<double>(cgalPoints);
    state.counters["cgal_tree_build_s"] = f.treeSeconds;
    state.counters["index_build_s"] = f.indexSeconds;
}
#endif

// Each size runs all of its benchmarks before the next size is built, so
// only one size is in memory at a time.
const int registered = [] {
    for (int millions : {1, 10})
    {
        benchmark::RegisterBenchmark("BM_FilletIndexed", BM_FilletIndexed)
            ->Arg(millions)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_FilletFullScan", BM_FilletFullScan)
            ->Arg(millions)
            ->Unit(benchmark::kMillisecond);
#ifdef VTL_BENCH_WITH_CGAL
        benchmark::RegisterBenchmark("BM_FilletBesideCgalSlicer", BM_FilletBesideCgalSlicer)
            ->Arg(millions)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(8);
#endif
    }
    return 0;
}();

} // namespace
