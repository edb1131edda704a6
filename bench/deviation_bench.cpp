// The deviation pass of a 2M-vertex scan against a 200k-triangle CAD mesh
// (a torus), on 1, 2, 4 and all threads, beside CGAL's AABB tree
// closest_point on the same data and threads (in the scan's own random order
// and, as our pass orders its queries along a space-filling curve, in that
// order too: "sorted"); the nearest-CAD-vertex step beside nanoflann; and the
// segmentation of a 2M-triangle mesh. BM_DeviationPass is the whole pass
// (ordering, queries, colours, the analysed-vertex tree, statistics);
// BM_DeviationQueries the queries alone.
//
// Far from the surface: single-thread queries at offsets of 0 to 40 units
// from a 288k-face torus, and a whole pass over a scan with 1% outliers,
// each timed beside CGAL's closest_point on the same points (paired, in
// thread CPU time; see paired_timing.h).
//
// Counters: threads; build_s and tree_MB (heap held by the search
// structures); peak_rss_MB (the process' peak so far, so read it in order);
// for the pass, rms of the measured deviations (it must match the noise).
#include "analysis/analysed_vertex_tree.h"
#include "analysis/deviation_pass.h"
#include "analysis/segmentation.h"
#include "analysis/segmentation_split.h"
#include "bench/paired_timing.h"
#include "core/p3d_scene.h"
#include "core/mesh_object.h"
#include "core/thread_pool.h"
#include "platform/host/dezaz_doc.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#ifdef VTL_BENCH_WITH_NANOFLANN
#include <nanoflann.hpp>
#endif

#ifdef VTL_BENCH_WITH_CGAL
#include <CGAL/AABB_traits.h>
#include <CGAL/AABB_tree.h>
#include <CGAL/AABB_triangle_primitive.h>
#include <CGAL/Simple_cartesian.h>
#endif

namespace
{

constexpr double kMajorRadius = 100.0;
constexpr double kMinorRadius = 30.0;
constexpr double kNoise = 0.05;
constexpr double kTwoPi = 6.283185307179586;

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

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

ON_3dPoint TorusPoint(double u, double v, double offset)
{
    const double r = kMinorRadius + offset;
    return {(kMajorRadius + r * std::cos(v)) * std::cos(u), (kMajorRadius + r * std::cos(v)) * std::sin(u),
            r * std::sin(v)};
}

// 500 x 200 quads, each two outward-facing triangles: 200,000 triangles.
const ON_Mesh& CadMesh()
{
    static ON_Mesh mesh = [] {
        constexpr int kAround = 500, kTube = 200;
        ON_Mesh m(kAround * kTube * 2, kAround * kTube, false, false);
        for (int i = 0; i < kAround; ++i)
            for (int j = 0; j < kTube; ++j)
                m.SetVertex(m.VertexCount(), TorusPoint(kTwoPi * i / kAround, kTwoPi * j / kTube, 0.0));
        for (int i = 0; i < kAround; ++i)
            for (int j = 0; j < kTube; ++j)
            {
                const int a = i * kTube + j, b = ((i + 1) % kAround) * kTube + j;
                const int c = ((i + 1) % kAround) * kTube + (j + 1) % kTube, d = i * kTube + (j + 1) % kTube;
                m.SetTriangle(m.FaceCount(), a, b, c);
                m.SetTriangle(m.FaceCount(), a, c, d);
            }
        return m;
    }();
    return mesh;
}

// 2M scan points on the torus with Gaussian noise along the normal.
const ON_Mesh& ScanPoints()
{
    static ON_Mesh mesh = [] {
        std::mt19937 rng(2024);
        std::uniform_real_distribution<double> angle(0.0, kTwoPi);
        std::normal_distribution<double> noise(0.0, kNoise);
        ON_Mesh m(0, 2000000, false, false);
        for (int i = 0; i < 2000000; ++i)
            m.SetVertex(i, TorusPoint(angle(rng), angle(rng), noise(rng)));
        return m;
    }();
    return mesh;
}

// The scan in the order of a Morton curve through its box: what our pass
// does first, given to the peer too so that both search coherent queries.
const ON_Mesh& SortedScanPoints()
{
    static ON_Mesh mesh = [] {
        const ON_Mesh& scan = ScanPoints();
        auto spread = [](std::uint64_t v) {
            std::uint64_t r = 0;
            for (int b = 0; b < 21; ++b)
                r |= ((v >> b) & 1u) << (3 * b);
            return r;
        };
        std::vector<std::pair<std::uint64_t, int>> keyed;
        for (int i = 0; i < scan.VertexCount(); ++i)
        {
            const ON_3fPoint& p = scan.m_V[i];
            std::uint64_t key = 0;
            for (int k = 0; k < 3; ++k)
                key |= spread(static_cast<std::uint64_t>((p[k] + 200.0) * 2097151.0 / 400.0)) << k;
            keyed.emplace_back(key, i);
        }
        std::sort(keyed.begin(), keyed.end());
        ON_Mesh m(0, scan.VertexCount(), false, false);
        for (const auto& [key, i] : keyed)
            m.SetVertex(m.VertexCount(), scan.m_V[i]);
        return m;
    }();
    return mesh;
}

int AllThreads()
{
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void ThreadArguments(benchmark::internal::Benchmark* b)
{
    for (int t : {1, 2, 4})
        if (t <= AllThreads())
            b->Arg(t);
    if (AllThreads() > 4)
        b->Arg(AllThreads());
}

void BM_DeviationPass(benchmark::State& state)
{
    const ON_Mesh& cad = CadMesh();
    const int threads = static_cast<int>(state.range(0));
    cThreadPool pool(threads);
    pool.Start();
    stAnalysisSettings settings;
    settings.pool = &pool;
    const double before = HeapMB();
    const auto t0 = std::chrono::steady_clock::now();
    settings.searchTree.BuildVertexTree({&cad});
    settings.searchTree.BuildFaceTree({&cad}, nullptr);
    state.counters["build_s"] = Seconds(t0);
    state.counters["tree_MB"] = HeapMB() - before;

    ON_Mesh scan = ScanPoints();
    double rms = 0.0;
    for (auto _ : state)
    {
        HostPass(settings, &scan, 0.1f, 0.5f);
        rms = cON_AVTree::Find(&scan)->GetStatistics().rms;
    }
    state.counters["threads"] = threads;
    state.counters["rms"] = rms;
    state.counters["peak_rss_MB"] = PeakRssMB();
    pool.Stop();
}
BENCHMARK(BM_DeviationPass)->Apply(ThreadArguments)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// The queries alone, the part that compares with the peer's closest_point:
// the sorted scan dealt over the jobs as the pass deals it, measured on the
// pool; no ordering, colouring, vertex tree or statistics.
void BM_DeviationQueries(benchmark::State& state)
{
    const ON_Mesh& cad = CadMesh();
    const int threads = static_cast<int>(state.range(0));
    cThreadPool pool(threads);
    pool.Start();
    cCADSearchTree tree;
    tree.BuildVertexTree({&cad});
    tree.BuildFaceTree({&cad}, nullptr);
    const ON_Mesh& scan = SortedScanPoints();
    const auto count = static_cast<std::uint32_t>(scan.VertexCount());
    std::vector<stDeviationJob> jobs(static_cast<std::size_t>(threads) * 4);
    for (std::size_t j = 0; j < jobs.size(); ++j)
    {
        const auto begin = static_cast<std::uint32_t>(std::uint64_t{count} * j / jobs.size());
        const auto end = static_cast<std::uint32_t>(std::uint64_t{count} * (j + 1) / jobs.size());
        jobs[j].startDistance = 0.5;
        for (std::uint32_t i = begin; i < end; ++i)
        {
            jobs[j].points.push_back(&scan.m_V[static_cast<int>(i)].x);
            jobs[j].indices.push_back(i);
        }
    }
    for (auto _ : state)
    {
        state.PauseTiming();
        for (stDeviationJob& job : jobs)
            job.distances.assign(job.points.size(), FLT_MAX);
        state.ResumeTiming();
        MeasureDeviationJobs(tree, jobs, &pool);
    }
    double sum = 0.0;
    for (const stDeviationJob& job : jobs)
        for (double d : job.distances)
            sum += d * d;
    state.counters["threads"] = threads;
    state.counters["rms"] = std::sqrt(sum / count);
    pool.Stop();
}
BENCHMARK(BM_DeviationQueries)->Apply(ThreadArguments)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

#ifdef VTL_BENCH_WITH_CGAL
using CgalKernel = CGAL::Simple_cartesian<double>;
using CgalTriangles = std::vector<CgalKernel::Triangle_3>;
using CgalPrimitive = CGAL::AABB_triangle_primitive<CgalKernel, CgalTriangles::const_iterator>;
using CgalTree = CGAL::AABB_tree<CGAL::AABB_traits<CgalKernel, CgalPrimitive>>;

struct stCgalJob
{
    const CgalTree* tree;
    const ON_Mesh* scan;
    std::vector<double>* distances;
};

void CgalClosestPoint(void* context, std::uint32_t i)
{
    auto* job = static_cast<stCgalJob*>(context);
    const ON_3fPoint& p = job->scan->m_V[static_cast<int>(i)];
    const CgalKernel::Point_3 q(p.x, p.y, p.z);
    (*job->distances)[i] = std::sqrt(CGAL::squared_distance(q, job->tree->closest_point(q)));
}

void BM_CgalAabbClosestPoint(benchmark::State& state)
{
    const ON_Mesh& cad = CadMesh();
    const int threads = static_cast<int>(state.range(0));
    cThreadPool pool(threads);
    pool.Start();
    const double before = HeapMB();
    const auto t0 = std::chrono::steady_clock::now();
    CgalTriangles triangles;
    triangles.reserve(static_cast<std::size_t>(cad.FaceCount()));
    for (const ON_MeshFace& f : cad.m_F)
    {
        auto point = [&](int k) {
            const ON_3fPoint& p = cad.m_V[f.vi[k]];
            return CgalKernel::Point_3(p.x, p.y, p.z);
        };
        triangles.emplace_back(point(0), point(1), point(2));
    }
    CgalTree tree(triangles.begin(), triangles.end());
    tree.accelerate_distance_queries();
    state.counters["build_s"] = Seconds(t0);
    state.counters["tree_MB"] = HeapMB() - before;

    const ON_Mesh& scan = state.range(1) != 0 ? SortedScanPoints() : ScanPoints();
    std::vector<double> distances(static_cast<std::size_t>(scan.VertexCount()));
    stCgalJob job{&tree, &scan, &distances};
    for (auto _ : state)
        ParallelFor(&pool, static_cast<std::uint32_t>(scan.VertexCount()), CgalClosestPoint, &job);
    double sum = 0.0;
    for (double d : distances)
        sum += d * d;
    state.counters["threads"] = threads;
    state.counters["sorted"] = static_cast<double>(state.range(1));
    state.counters["rms"] = std::sqrt(sum / static_cast<double>(distances.size()));
    state.counters["peak_rss_MB"] = PeakRssMB();
    pool.Stop();
}
void CgalArguments(benchmark::internal::Benchmark* b)
{
    for (int sorted : {0, 1})
    {
        for (int t : {1, 2, 4})
            if (t <= AllThreads())
                b->Args({t, sorted});
        if (AllThreads() > 4)
            b->Args({AllThreads(), sorted});
    }
}
BENCHMARK(BM_CgalAabbClosestPoint)->Apply(CgalArguments)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
#endif

// 600 x 240 quads, each two triangles: 288,000 faces.
const ON_Mesh& FineTorus()
{
    static ON_Mesh mesh = [] {
        constexpr int kAround = 600, kTube = 240;
        ON_Mesh m(kAround * kTube * 2, kAround * kTube, false, false);
        for (int i = 0; i < kAround; ++i)
            for (int j = 0; j < kTube; ++j)
                m.SetVertex(m.VertexCount(), TorusPoint(kTwoPi * i / kAround, kTwoPi * j / kTube, 0.0));
        for (int i = 0; i < kAround; ++i)
            for (int j = 0; j < kTube; ++j)
            {
                const int a = i * kTube + j, b = ((i + 1) % kAround) * kTube + j;
                const int c = ((i + 1) % kAround) * kTube + (j + 1) % kTube, d = i * kTube + (j + 1) % kTube;
                m.SetTriangle(m.FaceCount(), a, b, c);
                m.SetTriangle(m.FaceCount(), a, c, d);
            }
        return m;
    }();
    return mesh;
}

// Points at the given offset along the torus' normal (outside for positive
// offsets), at random places.
ON_Mesh OffsetPoints(int count, double offset, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> angle(0.0, kTwoPi);
    ON_Mesh m(0, count, false, false);
    for (int i = 0; i < count; ++i)
        m.SetVertex(i, TorusPoint(angle(rng), angle(rng), offset));
    return m;
}

// A 400k-point scan of the fine torus (noise 0.05) of which 1% are
// outliers 2 to 40 units off the surface, either side, in scan order.
const ON_Mesh& ScanWithOutliers()
{
    static ON_Mesh mesh = [] {
        std::mt19937 rng(99);
        std::uniform_real_distribution<double> angle(0.0, kTwoPi);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::normal_distribution<double> noise(0.0, kNoise);
        constexpr int kCount = 400000;
        ON_Mesh m(0, kCount, false, false);
        for (int i = 0; i < kCount; ++i)
        {
            double offset = noise(rng);
            if (unit(rng) < 0.01)
                offset = (unit(rng) < 0.5 ? -1.0 : 1.0) * (2.0 + 38.0 * unit(rng));
            offset = std::max(offset, -kMinorRadius + 1.0);
            m.SetVertex(i, TorusPoint(angle(rng), angle(rng), offset));
        }
        return m;
    }();
    return mesh;
}

#ifdef VTL_BENCH_WITH_CGAL
CgalTriangles CgalTrianglesOf(const ON_Mesh& cad)
{
    CgalTriangles triangles;
    triangles.reserve(static_cast<std::size_t>(cad.FaceCount()));
    for (const ON_MeshFace& f : cad.m_F)
    {
        auto point = [&](int k) {
            const ON_3fPoint& p = cad.m_V[f.vi[k]];
            return CgalKernel::Point_3(p.x, p.y, p.z);
        };
        triangles.emplace_back(point(0), point(1), point(2));
    }
    return triangles;
}

struct stCgalFineTorus
{
    CgalTriangles triangles = CgalTrianglesOf(FineTorus());
    CgalTree tree{triangles.begin(), triangles.end()};
    stCgalFineTorus() { tree.accelerate_distance_queries(); }
};

const stCgalFineTorus& CgalFineTorus()
{
    static stCgalFineTorus torus;
    return torus;
}

// The peer's unsigned distances of every point, one thread.
double CgalDistances(const ON_Mesh& points, std::vector<double>& out)
{
    const CgalTree& tree = CgalFineTorus().tree;
    out.resize(static_cast<std::size_t>(points.VertexCount()));
    double sum = 0.0;
    for (int i = 0; i < points.VertexCount(); ++i)
    {
        const ON_3fPoint& p = points.m_V[i];
        const CgalKernel::Point_3 q(p.x, p.y, p.z);
        out[static_cast<std::size_t>(i)] = std::sqrt(CGAL::squared_distance(q, tree.closest_point(q)));
        sum += out[static_cast<std::size_t>(i)];
    }
    return sum;
}

// How many of our distances differ from the peer's by more than rounding.
int CountDiffering(const std::vector<double>& ours, const std::vector<double>& peer)
{
    int differing = 0;
    for (std::size_t i = 0; i < ours.size(); ++i)
        if (!(std::fabs(std::fabs(ours[i]) - peer[i]) <= 1e-5 * std::max(1.0, peer[i])))
            ++differing;
    return differing;
}

// Queries at one offset: the pass's step for each point (nearest CAD vertex,
// then the closest face within its distance), one thread, start distance
// unlimited as with out-of-range colouring on.
void BM_ClosestFaceAtOffset(benchmark::State& state)
{
    const double offset = static_cast<double>(state.range(0));
    cCADSearchTree tree;
    tree.BuildVertexTree({&FineTorus()});
    tree.BuildFaceTree({&FineTorus()}, nullptr);
    CgalFineTorus();
    const ON_Mesh points = OffsetPoints(50000, offset, 7u + static_cast<std::uint32_t>(state.range(0)));
    std::vector<stDeviationJob> jobs(1);
    jobs[0].startDistance = FLT_MAX;
    for (int i = 0; i < points.VertexCount(); ++i)
    {
        jobs[0].points.push_back(&points.m_V[i].x);
        jobs[0].indices.push_back(static_cast<std::uint32_t>(i));
    }
    std::vector<double> peer;
    PairedTimes times;
    int round = 0;
    for (auto _ : state)
    {
        times.Run(
            round++,
            [&](int) {
                jobs[0].distances.assign(jobs[0].points.size(), FLT_MAX);
                MeasureDeviationJobs(tree, jobs, nullptr);
            },
            [&](int) { CgalDistances(points, peer); });
    }
    times.Report(state);
    // The two steps apart: the nearest CAD vertex, then the face search
    // from its bound.
    std::vector<double> bounds(jobs[0].points.size());
    const double vertexSeconds = ThreadCpuSecondsOf([&] {
        for (std::size_t i = 0; i < bounds.size(); ++i)
        {
            double radius = FLT_MAX;
            tree.NearestVertex(jobs[0].points[i], radius);
            bounds[i] = radius + kVertexBoundSlack;
        }
    });
    const double faceSeconds = ThreadCpuSecondsOf([&] {
        for (std::size_t i = 0; i < bounds.size(); ++i)
        {
            double d = bounds[i], closest[3];
            tree.ClosestFace(jobs[0].points[i], d, closest);
        }
    });
    state.counters["vertex_step_ms"] = 1e3 * vertexSeconds;
    state.counters["face_step_ms"] = 1e3 * faceSeconds;
    state.counters["offset"] = offset;
    state.counters["differing"] = CountDiffering(jobs[0].distances, peer);
}
BENCHMARK(BM_ClosestFaceAtOffset)->Arg(0)->Arg(2)->Arg(10)->Arg(20)->Arg(40)->Iterations(5)->Unit(benchmark::kMillisecond);

// The whole host pass over the scan with outliers (one thread, colours for
// every vertex), beside the peer's closest point of every vertex.
void BM_DeviationPassWithOutliers(benchmark::State& state)
{
    stAnalysisSettings settings;
    settings.colourOutOfRange = true;
    settings.searchTree.BuildVertexTree({&FineTorus()});
    settings.searchTree.BuildFaceTree({&FineTorus()}, nullptr);
    CgalFineTorus();
    ON_Mesh scan = ScanWithOutliers();
    std::vector<double> peer;
    PairedTimes times;
    int round = 0;
    for (auto _ : state)
        times.Run(
            round++, [&](int) { HostPass(settings, &scan, 0.1f, 0.5f); },
            [&](int) { CgalDistances(scan, peer); });
    times.Report(state);
    const cON_AVTree* result = cON_AVTree::Find(&scan);
    std::vector<double> ours(peer.size());
    for (std::size_t i = 0; i < ours.size(); ++i)
        ours[i] = result->GetRecord(static_cast<std::uint32_t>(i))->deviation;
    state.counters["differing"] = CountDiffering(ours, peer);
    state.counters["rms"] = result->GetStatistics().rms;
}
BENCHMARK(BM_DeviationPassWithOutliers)->Iterations(5)->Unit(benchmark::kMillisecond);
#endif

// The vertex step alone: the nearest CAD vertex of every scan point.
void BM_NearestCadVertex(benchmark::State& state)
{
    const ON_Mesh& cad = CadMesh();
    cCADSearchTree tree;
    tree.BuildVertexTree({&cad});
    const ON_Mesh& scan = ScanPoints();
    double sum = 0.0;
    for (auto _ : state)
    {
        sum = 0.0;
        for (const ON_3fPoint& p : scan.m_V)
        {
            double radius = 1e30;
            tree.NearestVertex(&p.x, radius);
            sum += radius;
        }
    }
    state.counters["mean_distance"] = sum / scan.VertexCount();
}
BENCHMARK(BM_NearestCadVertex)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

#ifdef VTL_BENCH_WITH_NANOFLANN
struct stCadCloud
{
    const ON_Mesh* mesh;
    std::size_t kdtree_get_point_count() const { return static_cast<std::size_t>(mesh->VertexCount()); }
    float kdtree_get_pt(std::size_t i, std::size_t d) const { return mesh->m_V[static_cast<int>(i)][static_cast<int>(d)]; }
    template <class Box> bool kdtree_get_bbox(Box&) const { return false; }
};
using NanoflannTree =
    nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<float, stCadCloud>, stCadCloud, 3, std::uint32_t>;

void BM_NanoflannNearestCadVertex(benchmark::State& state)
{
    const stCadCloud cloud{&CadMesh()};
    NanoflannTree tree(3, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(static_cast<std::size_t>(state.range(0))));
    tree.buildIndex();
    const ON_Mesh& scan = ScanPoints();
    double sum = 0.0;
    for (auto _ : state)
    {
        sum = 0.0;
        for (const ON_3fPoint& p : scan.m_V)
        {
            std::uint32_t index = 0;
            float d2 = 0.0f;
            tree.knnSearch(&p.x, 1, &index, &d2);
            sum += std::sqrt(static_cast<double>(d2));
        }
    }
    state.counters["leaf_size"] = static_cast<double>(state.range(0));
    state.counters["mean_distance"] = sum / scan.VertexCount();
}
BENCHMARK(BM_NanoflannNearestCadVertex)->Arg(10)->Arg(24)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
#endif

// A 1000 x 1000 height field (2M triangles) of a plate with bosses and
// pockets on a gentle wave: Detect (values, marking, clean-up) and Split.
double PlateHeight(double x, double y)
{
    const double cx = std::fmod(x, 100.0) - 50.0, cy = std::fmod(y, 100.0) - 50.0;
    double z = 0.5 * std::sin(x * 0.01) * std::cos(y * 0.013);
    const double r = std::hypot(cx, cy);
    if (r < 20.0)
        z += (static_cast<int>(x / 100.0) + static_cast<int>(y / 100.0)) % 2 == 0 ? 8.0 : -8.0;
    return z;
}

std::unique_ptr<cMeshObject> PlateObject()
{
    constexpr int kCells = 1000;
    auto object = std::make_unique<cMeshObject>();
    cMesh* mesh = object->GetMesh();
    for (int j = 0; j <= kCells; ++j)
        for (int i = 0; i <= kCells; ++i)
        {
            const float p[3] = {static_cast<float>(i), static_cast<float>(j), static_cast<float>(PlateHeight(i, j))};
            mesh->AddVertex(p);
        }
    for (int j = 0; j < kCells; ++j)
        for (int i = 0; i < kCells; ++i)
        {
            const std::uint32_t a = j * (kCells + 1) + i, b = a + 1, c = a + kCells + 2, d = a + kCells + 1;
            mesh->AddTriangle(a, b, c);
            mesh->AddTriangle(a, c, d);
        }
    mesh->Update();
    return object;
}

void BM_SegmentationDetect(benchmark::State& state)
{
    auto object = PlateObject();
    cMesh& mesh = *object->GetMesh();
    float box[6];
    object->GetBoundingBox(box);
    for (auto _ : state)
    {
        ComputeSegmentationValues(mesh);
        MarkSharpTriangles(mesh, 20.0f);
        RemoveSmallRegions(mesh, SegmentationAreaLimit(box));
        RefreshSelectedVertices(mesh);
    }
    state.counters["triangles"] = mesh.GetTriangleCount();
    state.counters["peak_rss_MB"] = PeakRssMB();
}
BENCHMARK(BM_SegmentationDetect)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_SegmentationSplit(benchmark::State& state)
{
    for (auto _ : state)
    {
        state.PauseTiming();
        auto object = PlateObject();
        cMesh& mesh = *object->GetMesh();
        ComputeSegmentationValues(mesh);
        MarkSharpTriangles(mesh, 20.0f);
        CDezazDoc doc;
        ON_Mesh host(1, 3, false, false);
        host.SetVertex(0, ON_3fPoint(0, 0, 0));
        host.SetVertex(1, ON_3fPoint(1, 0, 0));
        host.SetVertex(2, ON_3fPoint(0, 1, 0));
        host.SetTriangle(0, 0, 1, 2);
        const CDezazObject* hostObject = doc.AddMeshObject(host);
        cP3DScene scene(nullptr);
        scene.AddObject(object.release());
        cSegmentationSplitter splitter(&doc, hostObject->ModelObjectId(), L"bench");
        state.ResumeTiming();
        splitter.OnSplitIntoSubMeshes(&scene);
        state.counters["objects"] = doc.ObjectCount();
    }
}
BENCHMARK(BM_SegmentationSplit)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
