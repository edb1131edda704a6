// The scene frame on a generated scan of 2M triangles with one cylinder and
// one plane shape, on a 1280 x 800 view: a full frame at level 0 (background,
// the mesh from its display list, shapes, overlays, both level saves) and a
// frame at level 1 (restore of the mesh picture, shapes, overlays, one save).
//
// Frames of a drag on scans of 2M and 10M triangles alone (no shapes, axes or
// grid), as the navigation modes draw them (a level-0 redraw with the argument 0 after each small turn of
// the view): their time, and how much of the scan each shows. The view is cut
// into 32-pixel cells; a cell that showed the scan in the full frame is
// covered when the drag frame also draws there. min_coverage is the worst
// frame's share of covered cells, blank_frames the frames under half.
//
// Beside it, the frame-buffer triangle selection of about 100k triangles
// under a rectangle (read-back of the region and growth over neighbours),
// the colour-coded drawing it reads,
// and the CPU oracle that answers the same question by projecting the
// centroid of every triangle of the mesh.
#include "core/mesh_object.h"
#include "core/p3d_scene.h"
#include "platform/wgl/wgl.h"
#include "platform/win32/win32.h"
#include "render/triangle_selection.h"
#include "shapes/primitive_scene_objects.h"
#include "shapes/scene_frame.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace
{

constexpr LONG kWidth = 1280;
constexpr LONG kHeight = 800;
// 1001 x 1001 vertices: 2M triangles over [-1, 1]^2.
constexpr std::uint32_t kCells = 1000;
// 2237 x 2237 vertices: 10M triangles.
constexpr std::uint32_t kBigCells = 2236;
constexpr std::uint8_t kSelectBits = 8;

LRESULT PlainProc(HWND window, UINT message, WPARAM w, LPARAM l) { return DefWindowProcW(window, message, w, l); }

// A wavy height field with scanner noise.
cMeshObject* ScanObject(std::uint32_t cells)
{
    auto* object = new cMeshObject();
    cMesh& mesh = *object->GetMesh();
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.0005f);
    for (std::uint32_t r = 0; r <= cells; ++r)
        for (std::uint32_t c = 0; c <= cells; ++c)
        {
            const float x = -1.0f + 2.0f * float(c) / float(cells), y = -1.0f + 2.0f * float(r) / float(cells);
            const float p[3] = {x, y, 0.05f * std::sin(4.0f * x) * std::cos(3.0f * y) + noise(random)};
            mesh.AddVertex(p);
        }
    for (std::uint32_t r = 0; r < cells; ++r)
        for (std::uint32_t c = 0; c < cells; ++c)
        {
            const std::uint32_t a = r * (cells + 1) + c;
            mesh.AddTriangle(a, a + 1, a + cells + 2);
            mesh.AddTriangle(a, a + cells + 2, a + cells + 1);
        }
    mesh.Update();
    object->GetDecorator().m_mode = kDisplaySmooth;
    return object;
}

struct SceneView
{
    explicit SceneView(std::uint32_t cells = kCells, bool withShapes = true)
    {
        WNDCLASSW wc{};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = &PlainProc;
        wc.lpszClassName = L"SceneFrameBench";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"SceneFrameBench", L"", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr,
                                 nullptr, nullptr, nullptr);
        HWND handle = window;
        ok = renderer.Initialize(&handle) == 0;
        if (!ok)
            return;
        renderer.MakeCurrent();
        renderer.SetViewport(0, 0, kWidth, kHeight);
        renderer.SetAspect(double(kWidth) / kHeight);
        scan = ScanObject(cells);
        scene.AddObject(scan);
        if (withShapes)
        {
            auto* cylinder = new Dezaz_CylinderObject();
            const double base[3] = {-0.6, -0.2, 0.1}, axis[3] = {1.0, 0.2, 0.0};
            cylinder->GetGeometry()->SetAxis(base, axis, 0.15, 1.2);
            scene.AddObject(cylinder);
            auto* plane = new Dezaz_PlaneObject();
            const double n[3] = {0.1, 0.0, 1.0}, o[3] = {0.4, 0.5, 0.08}, x[3] = {1.0, 0.0, 0.0};
            plane->GetGeometry()->SetOriginAndNormal(n, o, x, 0.3, 0.25);
            scene.AddObject(plane);
        }
        // The scan alone decides what the drag frames are measured by.
        scene.m_switch1 = withShapes ? scene.m_switch1 : 0;
        renderer.ZoomAll(&scene, nullptr);
    }
    ~SceneView()
    {
        scene.Clear();
        renderer.Release();
        DestroyWindow(window);
    }

    void Paint(std::uint32_t level, std::uint32_t redraw = kFullRepaint)
    {
        renderer.LowerRedrawLevel(level);
        renderer.BeginFrame(&scene);
        renderer.SetupProjection(&scene);
        renderer.RenderScene(&scene, 0, redraw);
        glFinish();
    }

    HWND window = nullptr;
    cP3DRenderGL renderer;
    cP3DScene scene{nullptr};
    cMeshObject* scan = nullptr;
    bool ok = false;
};

SceneView& View()
{
    static SceneView view;
    return view;
}

// The scans alone, without shapes, axes and grid.
SceneView& DragView()
{
    static SceneView view(kCells, false);
    return view;
}

SceneView& BigDragView()
{
    static SceneView view(kBigCells, false);
    return view;
}

constexpr LONG kCoverageCell = 32;

// Which 32-pixel cells of the view show something other than the
// background (the top-left pixel's colour; the tripod's corner excluded).
std::vector<bool> DrawnCells()
{
    const LONG columns = kWidth / kCoverageCell, rows = kHeight / kCoverageCell;
    std::vector<std::uint32_t> pixels(std::size_t(kWidth) * kHeight);
    glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    std::vector<bool> cells(std::size_t(columns) * rows, false);
    for (LONG y = 0; y < rows * kCoverageCell; ++y)
        for (LONG x = 0; x < columns * kCoverageCell; ++x)
        {
            const LONG cx = x / kCoverageCell, cy = y / kCoverageCell;
            if (cx < 5 && cy < 5)
                continue; // the corner tripod
            // The background is a vertical gradient: compare with the same
            // row's first pixel.
            const std::uint32_t p = pixels[std::size_t(y) * kWidth + x] & 0xFFFFFF;
            const std::uint32_t b = pixels[std::size_t(y) * kWidth] & 0xFFFFFF;
            if (p != b)
                cells[std::size_t(cy) * columns + cx] = true;
        }
    return cells;
}

void DragFrames(benchmark::State& state, SceneView& view)
{
    if (!view.ok)
        return state.SkipWithError("no GL renderer");
    view.Paint(0);
    const std::vector<bool> scan = DrawnCells();
    const double scanCells = double(std::count(scan.begin(), scan.end(), true));
    double minimum = 1.0, sum = 0.0;
    std::size_t frames = 0, blank = 0;
    double angle = 0.0;
    for (auto _ : state)
    {
        // A small turn about the view's y axis, as a drag of a few pixels.
        angle += 0.01;
        double t[12] = {std::cos(angle), 0, std::sin(angle), 0, 0, 1, 0, 0, -std::sin(angle), 0, std::cos(angle), 0};
        view.renderer.SetViewTransform(t);
        view.Paint(0, 0);
        state.PauseTiming();
        const std::vector<bool> drawn = DrawnCells();
        std::size_t covered = 0;
        for (std::size_t i = 0; i < scan.size(); ++i)
            covered += scan[i] && drawn[i];
        const double share = scanCells > 0 ? double(covered) / scanCells : 0.0;
        minimum = std::min(minimum, share);
        sum += share;
        blank += share < 0.5;
        ++frames;
        state.ResumeTiming();
    }
    const double identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    view.renderer.SetViewTransform(identity);
    state.counters["triangles"] = view.scan->GetMesh()->GetTriangleCount();
    state.counters["min_coverage"] = minimum;
    state.counters["mean_coverage"] = frames ? sum / double(frames) : 0.0;
    state.counters["blank_frames"] = double(blank);
}

void BM_DragFrame2M(benchmark::State& state) { DragFrames(state, DragView()); }
BENCHMARK(BM_DragFrame2M)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_DragFrame10M(benchmark::State& state) { DragFrames(state, BigDragView()); }
BENCHMARK(BM_DragFrame10M)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_FrameLevel0(benchmark::State& state)
{
    SceneView& view = View();
    if (!view.ok)
        return state.SkipWithError("no GL renderer");
    view.Paint(0); // records the mesh's display list
    for (auto _ : state)
        view.Paint(0);
    state.counters["triangles"] = view.scan->GetMesh()->GetTriangleCount();
}
BENCHMARK(BM_FrameLevel0)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_FrameLevel1(benchmark::State& state)
{
    SceneView& view = View();
    if (!view.ok)
        return state.SkipWithError("no GL renderer");
    view.Paint(0);
    for (auto _ : state)
        view.Paint(1);
}
BENCHMARK(BM_FrameLevel1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A rectangle of the view that covers about 100k triangles of the scan.
RECT SelectionRectangle(SceneView& view)
{
    const float a[3] = {-0.225f, -0.225f, 0.0f}, b[3] = {0.225f, 0.225f, 0.0f};
    float va[3], vb[3];
    view.renderer.ProjectPoint(va, a, true);
    view.renderer.ProjectPoint(vb, b, true);
    POINT pa{}, pb{};
    view.renderer.WorldToScreen(va[0], va[1], &pa);
    view.renderer.WorldToScreen(vb[0], vb[1], &pb);
    return RECT{std::min(pa.x, pb.x), std::min(pa.y, pb.y), std::max(pa.x, pb.x), std::max(pa.y, pb.y)};
}

void ClearSelection(cMesh& mesh)
{
    mesh.ForEachTriangle([](cMeshTriangle& t) { t.flags &= std::uint8_t(~kSelectBits); });
}

std::uint32_t CountSelected(cMesh& mesh)
{
    std::uint32_t count = 0;
    mesh.ForEachTriangle([&](cMeshTriangle& t) { count += (t.flags & kSelectBits) != 0; });
    return count;
}

void BM_SelectRectangleFromFrameBuffer(benchmark::State& state)
{
    SceneView& view = View();
    if (!view.ok)
        return state.SkipWithError("no GL renderer");
    view.renderer.LowerRedrawLevel(0);
    view.renderer.BeginFrame(&view.scene);
    view.renderer.SetupProjection(&view.scene);
    cMesh& mesh = *view.scan->GetMesh();
    DrawMeshIdColoured(mesh, view.renderer);
    glFinish();
    const RECT rect = SelectionRectangle(view);
    std::vector<std::uint32_t> pixels(std::size_t(rect.right - rect.left) * std::size_t(rect.bottom - rect.top), 1u);
    const stSelectionMask mask{pixels.data(), int(rect.right - rect.left), int(rect.bottom - rect.top),
                               int(rect.right - rect.left) * 4, float(rect.left), float(rect.top)};
    for (auto _ : state)
    {
        state.PauseTiming();
        ClearSelection(mesh);
        state.ResumeTiming();
        benchmark::DoNotOptimize(SelectTrianglesInFrameBuffer(mesh, mask, nullptr, view.renderer, kSelectBits, true));
    }
    state.counters["selected"] = CountSelected(mesh);
    ClearSelection(mesh);
}
BENCHMARK(BM_SelectRectangleFromFrameBuffer)->Unit(benchmark::kMillisecond);

// The colour-coded drawing of the whole scan that the selection reads back
// (the screen-selection mode draws it before every selection).
void BM_IdColouredPass(benchmark::State& state)
{
    SceneView& view = View();
    if (!view.ok)
        return state.SkipWithError("no GL renderer");
    view.renderer.SetupProjection(&view.scene);
    for (auto _ : state)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        DrawMeshIdColoured(*view.scan->GetMesh(), view.renderer);
        glFinish();
    }
}
BENCHMARK(BM_IdColouredPass)->Unit(benchmark::kMillisecond);

// What the selection answers, from the geometry alone: every front-facing
// triangle whose projected centroid lies in the rectangle.
void BM_SelectRectangleCpuOracle(benchmark::State& state)
{
    SceneView& view = View();
    if (!view.ok)
        return state.SkipWithError("no GL renderer");
    view.renderer.SetupProjection(&view.scene);
    cMesh& mesh = *view.scan->GetMesh();
    const RECT rect = SelectionRectangle(view);
    RECT viewport{};
    view.renderer.GetViewport(&viewport);
    const double* t = view.renderer.GetViewTransform();
    for (auto _ : state)
    {
        state.PauseTiming();
        ClearSelection(mesh);
        state.ResumeTiming();
        mesh.ForEachTriangle([&](cMeshTriangle& triangle) {
            if (triangle.nx * t[8] + triangle.ny * t[9] + triangle.nz * t[10] < 0.0)
                return;
            float centre[3] = {0, 0, 0};
            for (std::uint32_t index : triangle.vertexIndex)
            {
                const cVertex* v = mesh.GetVertex(index);
                centre[0] += v->x, centre[1] += v->y, centre[2] += v->z;
            }
            for (float& c : centre)
                c *= 0.3333333432674408f;
            float projected[3];
            view.renderer.ProjectPoint(projected, centre, false);
            POINT p{};
            view.renderer.WorldToRectPoint(viewport, projected[0], projected[1], &p);
            if (p.x > rect.left && p.x < rect.right && p.y > rect.top && p.y < rect.bottom)
                triangle.flags |= kSelectBits;
        });
    }
    state.counters["selected"] = CountSelected(mesh);
    ClearSelection(mesh);
}
BENCHMARK(BM_SelectRectangleCpuOracle)->Unit(benchmark::kMillisecond);

} // namespace
