// Picking and stroke selection on generated scans of 1M and 10M triangles
// (a wavy height field in millimetres with scanner noise, 1500 mm from the
// origin), on a 1280 x 800 view looking down on the scan:
//   - the face-id pass (every triangle drawn in its id colour);
//   - the CPU pick under the cursor: the scan over all triangles (alone,
//     and shared out on a thread pool as the magic wand's click runs it),
//     and the same answers from the pick index (its build time and memory
//     reported); `mismatches` counts queries whose answers differ (must be 0);
//   - beside it, CGAL's AABB tree answering the ray under the cursor (tree
//     built once, build time reported), paired with the indexed pick;
//     `disagree` counts queries where CGAL's first hit is another triangle;
//   - a filled stroke around the whole view applied as the selection modes
//     apply it (canvas paint, face-id pass, read-back of the view, growth).
#include "core/mesh.h"
#include "modes/mesh_pick_index.h"
#include "modes/mode_support.h"
#include "modes/screen_selection.h"
#include "platform/wgl/wgl.h"
#include "platform/win32/win32.h"
#include "render/gl_renderer.h"

#include "paired_timing.h"
#include "shared_bench_pool.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <vector>

#if defined(VTL_BENCH_WITH_CGAL)
#include <CGAL/AABB_traits.h>
#include <CGAL/AABB_tree.h>
#include <CGAL/AABB_triangle_primitive.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#endif

namespace
{

constexpr LONG kWidth = 1280;
constexpr LONG kHeight = 800;
constexpr float kOffset = 1500.0f;

LRESULT PlainProc(HWND window, UINT message, WPARAM w, LPARAM l) { return DefWindowProcW(window, message, w, l); }

class BenchRenderer : public cGLRenderer
{
public:
    void RenderScene(I3DScene*, int, std::uint32_t) override {}
};

// cells x cells quads, 2 triangles each, over 400 x 300 mm.
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

struct View
{
    View()
    {
        WNDCLASSW wc{};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = &PlainProc;
        wc.lpszClassName = L"ScreenSelectionBench";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"ScreenSelectionBench", L"", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight,
                                 nullptr, nullptr, nullptr, nullptr);
        HWND handle = window;
        ok = renderer.Initialize(&handle) == 0;
        if (!ok)
            return;
        renderer.MakeCurrent();
        renderer.SetViewport(0, 0, kWidth, kHeight);
        renderer.SetAspect(double(kWidth) / kHeight);
        const float box[6] = {kOffset - 10.0f, kOffset - 10.0f, kOffset - 40.0f,
                              kOffset + 410.0f, kOffset + 310.0f, kOffset + 40.0f};
        renderer.ZoomExtentsToBox(box);
        renderer.FitSceneBoxToAspect(double(kWidth) / kHeight);
        renderer.SetupProjection(nullptr);
    }
    ~View()
    {
        renderer.Release();
        DestroyWindow(window);
    }
    HWND window = nullptr;
    BenchRenderer renderer;
    bool ok = false;
};

View& TheView()
{
    static View view;
    return view;
}

cMesh& MeshOf(std::uint32_t millions)
{
    static std::map<std::uint32_t, std::unique_ptr<cMesh>> meshes;
    auto& mesh = meshes[millions];
    if (!mesh)
        mesh = Scan(millions == 1 ? 708 : 2236);
    return *mesh;
}

// Cursor points over the view, in view-plane coordinates.
std::vector<std::pair<float, float>> Cursors(int count)
{
    std::mt19937 random(3);
    std::uniform_int_distribution<LONG> x(0, kWidth - 1), y(0, kHeight - 1);
    std::vector<std::pair<float, float>> out;
    for (int i = 0; i < count; ++i)
    {
        float vx = 0.0f, vy = 0.0f;
        TheView().renderer.ScreenToWorld(POINT{x(random), y(random)}, &vx, &vy);
        out.emplace_back(vx, vy);
    }
    return out;
}

void BM_FaceIdPass(benchmark::State& state)
{
    View& view = TheView();
    if (!view.ok)
        return state.SkipWithError("no GL context");
    cMesh& mesh = MeshOf(std::uint32_t(state.range(0)));
    for (auto _ : state)
    {
        if (!RenderFaceIdPass(view.renderer, mesh, true))
            return state.SkipWithError("the id pass failed");
        glFinish();
    }
    state.counters["triangles"] = mesh.GetTriangleCount();
}
BENCHMARK(BM_FaceIdPass)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CpuPickScan(benchmark::State& state)
{
    View& view = TheView();
    cMesh& mesh = MeshOf(std::uint32_t(state.range(0)));
    const auto cursors = Cursors(64);
    std::size_t i = 0;
    for (auto _ : state)
    {
        const auto [x, y] = cursors[i++ % cursors.size()];
        benchmark::DoNotOptimize(PickMeshPointUnderCursor(mesh, x, y, view.renderer.GetViewTransform(),
                                                          view.renderer.GetSceneCentre()));
    }
}
BENCHMARK(BM_CpuPickScan)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// The same scan shared out on the pool, as the wand's click runs it, with
// the flag bytes' blocks it reports to the wand's save. The benchmarks after
// it run without the pool again.
void BM_CpuPickScanOnPool(benchmark::State& state)
{
    SetSharedThreadPool(&SharedBenchPool());
    View& view = TheView();
    cMesh& mesh = MeshOf(std::uint32_t(state.range(0)));
    const auto cursors = Cursors(64);
    std::size_t i = 0;
    for (auto _ : state)
    {
        const auto [x, y] = cursors[i++ % cursors.size()];
        const cMeshTriangle* hit = nullptr;
        stTriangleFlagBlocks seen;
        benchmark::DoNotOptimize(PickMeshPointUnderCursor(mesh, x, y, view.renderer.GetViewTransform(),
                                                          view.renderer.GetSceneCentre(), &hit, &seen));
    }
    SetSharedThreadPool(nullptr);
}
BENCHMARK(BM_CpuPickScanOnPool)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CpuPickIndexed(benchmark::State& state)
{
    View& view = TheView();
    cMesh& mesh = MeshOf(std::uint32_t(state.range(0)));
    cMeshPickIndex index;
    const auto start = std::chrono::steady_clock::now();
    index.Build(mesh);
    const double buildMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const auto cursors = Cursors(256);
    const double* m = view.renderer.GetViewTransform();
    const float* c = view.renderer.GetSceneCentre();
    int mismatches = 0;
    for (std::size_t q = 0; q < 32; ++q)
    {
        const cMeshTriangle *a = nullptr, *b = nullptr;
        const cVertex scan = PickMeshPointUnderCursor(mesh, cursors[q].first, cursors[q].second, m, c, &a);
        const cVertex fast = index.Pick(mesh, cursors[q].first, cursors[q].second, m, c, &b);
        mismatches += a != b || scan.x != fast.x || scan.y != fast.y || scan.z != fast.z || scan.flags != fast.flags;
    }
    std::size_t i = 0;
    for (auto _ : state)
    {
        const auto [x, y] = cursors[i++ % cursors.size()];
        benchmark::DoNotOptimize(index.Pick(mesh, x, y, m, c));
    }
    state.counters["build_ms"] = buildMs;
    state.counters["index_MB"] = double(index.GetMemoryBytes()) / 1e6;
    state.counters["mismatches"] = mismatches;
}
BENCHMARK(BM_CpuPickIndexed)->Arg(1)->Arg(10)->Unit(benchmark::kMicrosecond);

#if defined(VTL_BENCH_WITH_CGAL)
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Triangle = Kernel::Triangle_3;
using Triangles = std::vector<Triangle>;
using Primitive = CGAL::AABB_triangle_primitive<Kernel, Triangles::const_iterator>;
using Tree = CGAL::AABB_tree<CGAL::AABB_traits<Kernel, Primitive>>;

// Ours (indexed) and CGAL's first hit of the ray under the cursor, in
// batches of 256 queries per round.
void BM_PickIndexedVsCgalAabb(benchmark::State& state)
{
    View& view = TheView();
    cMesh& mesh = MeshOf(std::uint32_t(state.range(0)));
    cMeshPickIndex index;
    index.Build(mesh);
    Triangles triangles;
    triangles.reserve(mesh.GetTriangleCount());
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
    {
        const cMeshTriangle* t = mesh.GetTriangle(i);
        const cVertex* v[3] = {mesh.GetVertex(t->vertexIndex[0]), mesh.GetVertex(t->vertexIndex[1]),
                               mesh.GetVertex(t->vertexIndex[2])};
        triangles.emplace_back(Kernel::Point_3(v[0]->x, v[0]->y, v[0]->z), Kernel::Point_3(v[1]->x, v[1]->y, v[1]->z),
                               Kernel::Point_3(v[2]->x, v[2]->y, v[2]->z));
    }
    const auto start = std::chrono::steady_clock::now();
    Tree tree(triangles.begin(), triangles.end());
    tree.build();
    const double buildMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    const double* m = view.renderer.GetViewTransform();
    const float* c = view.renderer.GetSceneCentre();
    const auto cursors = Cursors(256);
    // The ray from in front of the scan towards it: world = c + R^T (v - t).
    std::vector<Kernel::Ray_3> rays;
    for (const auto& [x, y] : cursors)
    {
        const double v[3] = {x - m[3], y - m[7], 1000.0 - m[11]};
        double p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = c[k] + m[k] * v[0] + m[4 + k] * v[1] + m[8 + k] * v[2];
        rays.emplace_back(Kernel::Point_3(p[0], p[1], p[2]), Kernel::Vector_3(-m[8], -m[9], -m[10]));
    }
    int disagree = 0;
    for (std::size_t q = 0; q < cursors.size(); ++q)
    {
        const cMeshTriangle* ours = nullptr;
        index.Pick(mesh, cursors[q].first, cursors[q].second, m, c, &ours);
        const auto hit = tree.first_intersected_primitive(rays[q]);
        const long theirs = hit ? long(*hit - triangles.begin()) : -1;
        disagree += (ours == nullptr) != (theirs < 0) ||
                    (ours && theirs >= 0 && ours != mesh.GetTriangle(std::uint32_t(theirs)));
    }
    PairedTimes times;
    int round = 0;
    for (auto _ : state)
    {
        times.Run(
            round++,
            [&](int)
            {
                for (const auto& [x, y] : cursors)
                    benchmark::DoNotOptimize(index.Pick(mesh, x, y, m, c));
            },
            [&](int)
            {
                for (const auto& ray : rays)
                    benchmark::DoNotOptimize(tree.first_intersected_primitive(ray));
            });
    }
    times.Report(state);
    state.counters["ours_ms"] = state.counters["ours_ms"] / double(cursors.size());
    state.counters["peer_ms"] = state.counters["peer_ms"] / double(cursors.size());
    state.counters["peer_build_ms"] = buildMs;
    state.counters["disagree"] = disagree;
}
BENCHMARK(BM_PickIndexedVsCgalAabb)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(9);
#endif

// The selection mode's stroke application on a view without a window.
class StrokeBench : public CUIM_ScreenSelection
{
public:
    StrokeBench(C3DView* view) : CUIM_ScreenSelection(0xCB07E4, 0, view) {}
    void SetStroke(std::vector<POINT> points)
    {
        stroke = std::move(points);
        tool = kToolFreeHandFilled;
    }
};

void BM_FullViewStrokeSelection(benchmark::State& state)
{
    View& view = TheView();
    if (!view.ok)
        return state.SkipWithError("no GL context");
    cMesh& mesh = MeshOf(std::uint32_t(state.range(0)));
    C3DView host;
    host.SetRenderer(&view.renderer);
    StrokeBench mode(&host);
    const cDecoratorObject attributes;
    std::uint32_t marked = 0;
    for (auto _ : state)
    {
        mode.SetStroke({{20, 20}, {kWidth - 20, 20}, {kWidth - 20, kHeight - 20}, {20, kHeight - 20}});
        benchmark::DoNotOptimize(mode.SelectTrianglesInStroke(mesh, attributes, 20, true));
    }
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        marked += (mesh.GetTriangle(i)->flags & kTriangleFlagScratch) != 0;
    state.counters["marked"] = marked;
}
BENCHMARK(BM_FullViewStrokeSelection)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
