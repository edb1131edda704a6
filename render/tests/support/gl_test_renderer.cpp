#include "support/gl_test_renderer.h"

#include "platform/wgl/png_writer.h"

#include <cstdlib>
#include <filesystem>

namespace testrender
{
namespace
{

LRESULT PlainProc(HWND window, UINT message, WPARAM w, LPARAM l) { return DefWindowProcW(window, message, w, l); }

const wchar_t* ClassName()
{
    static const wchar_t* name = [] {
        WNDCLASSW wc{};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = &PlainProc;
        wc.lpszClassName = L"RenderTestWindow";
        RegisterClassW(&wc);
        return L"RenderTestWindow";
    }();
    return name;
}

} // namespace

RendererWindow::RendererWindow(LONG width, LONG height)
{
    m_window = CreateWindowExW(0, ClassName(), L"", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                               nullptr, nullptr);
    if (!m_window)
        return;
    HWND window = m_window;
    if (m_renderer.Initialize(&window) != 0)
        return;
    m_renderer.MakeCurrent();
    m_renderer.SetViewport(0, 0, width, height);
    m_ok = m_renderer.IsCurrent();
}

RendererWindow::~RendererWindow()
{
    m_renderer.Release();
    if (m_window)
        DestroyWindow(m_window);
}

void RendererWindow::Resize(LONG width, LONG height)
{
    SetWindowPos(m_window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    m_renderer.MakeCurrent();
    m_renderer.SetViewport(0, 0, width, height);
}

void Snapshot(const wgl::PixelImage& image, const std::string& name)
{
    const char* directory = std::getenv("VTL_SNAPSHOT_DIR");
    if (!directory || !*directory || image.Empty())
        return;
    std::filesystem::create_directories(directory);
    wgl::WritePng(std::filesystem::path(directory) / (name + ".png"), image.width, image.height,
                  image.pixels.data());
}

void DrawTestScene(int width, int height, float shift)
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_DITHER);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glShadeModel(GL_FLAT);
    glClearColor(0.2f, 0.3f, 0.4f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const float w = float(width), h = float(height);
    struct Quad
    {
        float x0, y0, x1, y1, z;
        GLubyte r, g, b;
    };
    const Quad quads[] = {{0.1f, 0.1f, 0.6f, 0.7f, 0.5f, 200, 30, 30},
                          {0.4f, 0.3f, 0.9f, 0.9f, -0.25f, 30, 200, 60},
                          {0.05f + shift, 0.6f, 0.35f + shift, 0.95f, 0.0f, 240, 240, 20}};
    for (const Quad& q : quads)
    {
        glColor3ub(q.r, q.g, q.b);
        glBegin(GL_QUADS);
        glVertex3f(q.x0 * w, q.y0 * h, q.z);
        glVertex3f(q.x1 * w, q.y0 * h, q.z);
        glVertex3f(q.x1 * w, q.y1 * h, q.z);
        glVertex3f(q.x0 * w, q.y1 * h, q.z);
        glEnd();
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

} // namespace testrender
