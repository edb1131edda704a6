// Saving and restoring one 1920 x 1080 frame level through the renderer's
// two level caches (buffer regions and 512-pixel texture tiles), beside the
// floor on this GL: a plain glReadPixels of the frame and glDrawPixels of it
// back. Each iteration is one save and one restore, finished with glFinish.
#include "platform/wgl/wgl.h"
#include "platform/win32/win32.h"
#include "render/frame_buffer_cache.h"
#include "render/gl_renderer.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{

constexpr LONG kWidth = 1920;
constexpr LONG kHeight = 1080;

class BenchRenderer : public cGLRenderer
{
public:
    void RenderScene(I3DScene*, int, std::uint32_t) override {}
};

LRESULT PlainProc(HWND window, UINT message, WPARAM w, LPARAM l) { return DefWindowProcW(window, message, w, l); }

// A renderer on a full-HD window with a picture in its frame buffer.
struct Frame
{
    explicit Frame(wgl::BufferRegionSupport support)
    {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.style = CS_OWNDC;
            wc.lpfnWndProc = &PlainProc;
            wc.lpszClassName = L"LevelCacheBench";
            RegisterClassW(&wc);
            return true;
        }();
        (void)registered;
        wgl::SetBufferRegionSupport(support);
        window = CreateWindowExW(0, L"LevelCacheBench", L"", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr,
                                 nullptr, nullptr, nullptr);
        HWND handle = window;
        ok = renderer.Initialize(&handle) == 0;
        wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Available);
        renderer.MakeCurrent();
        renderer.SetViewport(0, 0, kWidth, kHeight);
        glClearColor(0.3f, 0.4f, 0.5f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    ~Frame()
    {
        renderer.Release();
        DestroyWindow(window);
    }

    HWND window = nullptr;
    BenchRenderer renderer;
    bool ok = false;
};

void SaveAndRestore(benchmark::State& state, wgl::BufferRegionSupport support)
{
    Frame frame(support);
    if (!frame.ok)
    {
        state.SkipWithError("no GL renderer");
        return;
    }
    for (auto _ : state)
    {
        frame.renderer.SaveLevel(0, true);
        frame.renderer.RestoreLevel(0, true);
        glFinish();
    }
    state.counters["valid_levels"] = frame.renderer.GetLevelCache()->GetValidLevelCount();
    state.SetBytesProcessed(state.iterations() * std::int64_t(kWidth) * kHeight * 4 * 2);
}

void BM_BufferRegionCache(benchmark::State& state) { SaveAndRestore(state, wgl::BufferRegionSupport::Available); }
void BM_TextureTileCache(benchmark::State& state) { SaveAndRestore(state, wgl::BufferRegionSupport::Unavailable); }

void BM_PlainReadDrawPixels(benchmark::State& state)
{
    Frame frame(wgl::BufferRegionSupport::Available);
    if (!frame.ok)
    {
        state.SkipWithError("no GL renderer");
        return;
    }
    std::vector<std::uint8_t> pixels(std::size_t(kWidth) * kHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kWidth, 0, kHeight, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    for (auto _ : state)
    {
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glRasterPos2i(0, 0);
        glDrawPixels(kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glFinish();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(kWidth) * kHeight * 4 * 2);
}

BENCHMARK(BM_PlainReadDrawPixels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BufferRegionCache)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextureTileCache)->Unit(benchmark::kMillisecond);

} // namespace
