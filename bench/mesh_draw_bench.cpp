// Frame time of the mesh drawer's solid pass on generated meshes of 1M, 5M
// and 10M triangles: immediate mode (blocks of triangles from client arrays,
// the time budget looked at between blocks), and through the display list (meshes below
// 3M triangles only; bigger ones are always drawn immediately), beside the
// floor on this GL: the same triangles as GL 1.1 vertex arrays with one
// glDrawElements, in the same context with the same lighting. Each frame ends
// with glFinish. extra_mb is what the variant adds to the resident memory of
// the process while it runs (display list, vertex arrays, driver buffers),
// measured from just before its first frame with the mesh already built;
// peak_rss_mb is the highest resident memory of the run so far.
//
// BM_ImmediateAgainstFloor times the immediate pass and the floor side by
// side in one context, alternately (each round starting with the other), in
// wall time up to glFinish (the rasteriser runs on GL's own threads), and
// reports the medians and the median of the paired ratios.
#include "core/decorator_object.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "platform/wgl/wgl.h"
#include "platform/win32/win32.h"
#include "render/gl_renderer.h"
#include "render/mesh_gl_renderer.h"

#include <benchmark/benchmark.h>

#include "paired_timing.h"

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace
{

constexpr LONG kSize = 512;

class BenchRenderer : public cGLRenderer
{
public:
    void RenderScene(I3DScene*, int, std::uint32_t) override {}
};

LRESULT PlainProc(HWND window, UINT message, WPARAM w, LPARAM l) { return DefWindowProcW(window, message, w, l); }

double ResidentMegabytes()
{
    long pages = 0, resident = 0;
    if (std::FILE* file = std::fopen("/proc/self/statm", "r"))
    {
        if (std::fscanf(file, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(file);
    }
    return double(resident) * 4096.0 / (1024.0 * 1024.0);
}

double PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

struct Scene
{
    Scene()
    {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.style = CS_OWNDC;
            wc.lpfnWndProc = &PlainProc;
            wc.lpszClassName = L"MeshDrawBench";
            RegisterClassW(&wc);
            return true;
        }();
        (void)registered;
        window = CreateWindowExW(0, L"MeshDrawBench", L"", WS_POPUP | WS_VISIBLE, 0, 0, kSize, kSize, nullptr,
                                 nullptr, nullptr, nullptr);
        HWND handle = window;
        ok = renderer.Initialize(&handle) == 0;
        renderer.SetViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-0.6, 0.6, -0.6, 0.6, -2, 2);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotatef(30.0f, 1.0f, 0.5f, 0.0f);
        const GLfloat light[4] = {0.0f, 0.0f, 1.0f, 0.0f};
        glLightfv(GL_LIGHT0, GL_POSITION, light);
        glEnable(GL_LIGHT0);
    }
    ~Scene()
    {
        renderer.Release();
        DestroyWindow(window);
    }

    HWND window = nullptr;
    BenchRenderer renderer;
    bool ok = false;
};

// A wavy square of side x side vertices, two triangles per cell.
std::unique_ptr<cMeshObject> MakeMesh(std::uint32_t triangles)
{
    const auto side = std::uint32_t(std::ceil(std::sqrt(double(triangles) / 2.0))) + 1;
    auto object = std::make_unique<cMeshObject>();
    cMesh& mesh = *object->GetMesh();
    for (std::uint32_t r = 0; r < side; ++r)
        for (std::uint32_t c = 0; c < side; ++c)
        {
            const float x = -0.5f + float(c) / float(side - 1), y = -0.5f + float(r) / float(side - 1);
            const float p[3] = {x, y, 0.05f * std::sin(20.0f * x) * std::cos(17.0f * y)};
            mesh.AddVertex(p);
        }
    for (std::uint32_t r = 0; r + 1 < side; ++r)
        for (std::uint32_t c = 0; c + 1 < side; ++c)
        {
            const std::uint32_t a = r * side + c;
            mesh.AddTriangle(a, a + 1, a + side + 1);
            mesh.AddTriangle(a, a + side + 1, a + side);
        }
    mesh.ComputeNormals(true);
    object->GetDecorator().m_mode = kDisplaySmooth;
    object->GetDecorator().m_flags = kDecoratorTwoSided;
    return object;
}

cMeshObject* MeshOf(std::uint32_t triangles)
{
    // Made once per size: building 5M triangles takes longer than drawing.
    static std::map<std::uint32_t, std::unique_ptr<cMeshObject>> meshes;
    auto& slot = meshes[triangles];
    if (!slot)
        slot = MakeMesh(triangles);
    return slot.get();
}

void DrawSolid(benchmark::State& state, bool lists)
{
    Scene scene;
    if (!scene.ok)
    {
        state.SkipWithError("no GL renderer");
        return;
    }
    cMeshObject* object = MeshOf(std::uint32_t(state.range(0)));
    const double before = ResidentMegabytes();
    stDrawContext context;
    context.renderer = &scene.renderer;
    context.useDisplayLists = lists ? 1 : 0;
    cMeshGLRenderer drawer;
    drawer.AttachObject(object);
    if (lists)
    {
        drawer.Render(context); // records the list
        glFinish();
    }
    for (auto _ : state)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawer.Render(context);
        glFinish();
    }
    state.counters["triangles"] = double(object->GetMesh()->GetTriangleCount());
    state.counters["extra_mb"] = ResidentMegabytes() - before;
    state.counters["peak_rss_mb"] = PeakMegabytes();
    scene.renderer.Release(); // frees the list with its context
}

void BM_DrawSolidImmediate(benchmark::State& state) { DrawSolid(state, false); }
void BM_DrawSolidDisplayList(benchmark::State& state) { DrawSolid(state, true); }

// The floor: the mesh's positions, normals and triangle indices as GL 1.1
// vertex arrays, drawn with one glDrawElements.
struct FloorArrays
{
    explicit FloorArrays(const cMesh& mesh)
    {
        positions.reserve(std::size_t(mesh.GetVertexCount()) * 3);
        normals.reserve(std::size_t(mesh.GetVertexCount()) * 3);
        for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        {
            const cVertex* v = mesh.GetVertex(i);
            positions.insert(positions.end(), {v->x, v->y, v->z});
            normals.insert(normals.end(), {v->nx, v->ny, v->nz});
        }
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        {
            const cMeshTriangle* t = mesh.GetTriangle(i);
            indices.insert(indices.end(), {t->vertexIndex[0], t->vertexIndex[1], t->vertexIndex[2]});
        }
    }

    void Draw() const
    {
        glPushAttrib(GL_LIGHTING_BIT | GL_ENABLE_BIT);
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        const GLfloat front[4] = {0.5f, 0.5f, 0.55f, 1.0f};
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, front);
        glEnable(GL_LIGHTING);
        glShadeModel(GL_SMOOTH);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, positions.data());
        glNormalPointer(GL_FLOAT, 0, normals.data());
        glDrawElements(GL_TRIANGLES, GLsizei(indices.size()), GL_UNSIGNED_INT, indices.data());
        glPopClientAttrib();
        glPopAttrib();
    }

    std::vector<float> positions, normals;
    std::vector<std::uint32_t> indices;
};

void BM_VertexArrayDrawElements(benchmark::State& state)
{
    Scene scene;
    if (!scene.ok)
    {
        state.SkipWithError("no GL renderer");
        return;
    }
    const cMesh& mesh = *MeshOf(std::uint32_t(state.range(0)))->GetMesh();
    const double before = ResidentMegabytes();
    const FloorArrays floor(mesh);
    for (auto _ : state)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        floor.Draw();
        glFinish();
    }
    state.counters["triangles"] = double(mesh.GetTriangleCount());
    state.counters["extra_mb"] = ResidentMegabytes() - before;
    state.counters["peak_rss_mb"] = PeakMegabytes();
}

double WallSecondsOf(const std::function<void()>& run)
{
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ImmediateAgainstFloor(benchmark::State& state)
{
    Scene scene;
    if (!scene.ok)
    {
        state.SkipWithError("no GL renderer");
        return;
    }
    cMeshObject* object = MeshOf(std::uint32_t(state.range(0)));
    const FloorArrays floor(*object->GetMesh());
    stDrawContext context;
    context.renderer = &scene.renderer;
    context.useDisplayLists = 0;
    cMeshGLRenderer drawer;
    drawer.AttachObject(object);
    const auto ours = [&] {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawer.Render(context);
        glFinish();
    };
    const auto peer = [&] {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        floor.Draw();
        glFinish();
    };
    ours(); // warm both up
    peer();
    std::vector<double> oursTimes, floorTimes, ratios;
    int round = 0;
    for (auto _ : state)
    {
        double o = 0.0, p = 0.0;
        if (round++ % 2 == 0)
            o = WallSecondsOf(ours), p = WallSecondsOf(peer);
        else
            p = WallSecondsOf(peer), o = WallSecondsOf(ours);
        oursTimes.push_back(o);
        floorTimes.push_back(p);
        ratios.push_back(o / p);
    }
    state.counters["triangles"] = double(object->GetMesh()->GetTriangleCount());
    state.counters["ours_ms"] = 1e3 * Median(oursTimes);
    state.counters["floor_ms"] = 1e3 * Median(floorTimes);
    state.counters["time_ratio"] = Median(ratios);
}

BENCHMARK(BM_VertexArrayDrawElements)
    ->Arg(1000000)
    ->Arg(5000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_DrawSolidImmediate)
    ->Arg(1000000)
    ->Arg(5000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_ImmediateAgainstFloor)
    ->Arg(5000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);
BENCHMARK(BM_DrawSolidDisplayList)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
