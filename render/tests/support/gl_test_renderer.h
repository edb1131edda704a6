// A GL renderer on a headless window for the render tests: the renderer's
// own set-up (pixel format, context, caches, canvas and layer) with a frame
// that draws nothing, plus pixel helpers.
#pragma once

#include "platform/wgl/pixel_probe.h"
#include "platform/wgl/wgl.h"
#include "platform/win32/win32.h"
#include "render/gl_renderer.h"

#include <string>

namespace testrender
{

class TestRenderer : public cGLRenderer
{
public:
    void RenderScene(I3DScene*, int, std::uint32_t) override {}
};

// A window of the given client size with an initialised renderer whose
// viewport covers it; the renderer's context is current.
class RendererWindow
{
public:
    RendererWindow(LONG width, LONG height);
    ~RendererWindow();
    RendererWindow(const RendererWindow&) = delete;
    RendererWindow& operator=(const RendererWindow&) = delete;

    bool Ok() const { return m_ok; }
    TestRenderer& Renderer() { return m_renderer; }
    HWND Window() const { return m_window; }
    // Resizes the window (and so its GL surface) and the viewport.
    void Resize(LONG width, LONG height);

private:
    HWND m_window = nullptr;
    TestRenderer m_renderer;
    bool m_ok = false;
};

// Writes the image to $VTL_SNAPSHOT_DIR/<name>.png when that is set.
void Snapshot(const wgl::PixelImage& image, const std::string& name);

// Fills the viewport with a test scene: coloured quads at several depths
// over a clear colour, flat and unlit so that every pixel is exact.
void DrawTestScene(int width, int height, float shift = 0.0f);

} // namespace testrender
