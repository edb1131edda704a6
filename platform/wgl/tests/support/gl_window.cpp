#include "support/gl_window.h"

namespace testgl
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
        wc.lpszClassName = L"GlTestWindow";
        RegisterClassW(&wc);
        return L"GlTestWindow";
    }();
    return name;
}

} // namespace

PIXELFORMATDESCRIPTOR RendererDescriptor()
{
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof(pfd);
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.cRedBits = pfd.cGreenBits = pfd.cBlueBits = 8;
    pfd.cDepthBits = 24;
    pfd.iLayerType = PFD_MAIN_PLANE;
    return pfd;
}

HWND CreateClientWindow(LONG width, LONG height)
{
    return CreateWindowExW(0, ClassName(), L"", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                           nullptr, nullptr);
}

GlWindow::GlWindow(LONG width, LONG height)
{
    window = CreateClientWindow(width, height);
    dc = GetDC(window);
    PIXELFORMATDESCRIPTOR pfd = RendererDescriptor();
    int format = ChoosePixelFormat(dc, &pfd);
    if (format == 0 || !SetPixelFormat(dc, format, &pfd))
        return;
    context = wglCreateContext(dc);
    if (context && !MakeCurrent())
    {
        wglDeleteContext(context);
        context = nullptr;
    }
}

GlWindow::~GlWindow()
{
    if (context)
    {
        if (wglGetCurrentContext() == context)
            wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(context);
    }
    if (window)
    {
        ReleaseDC(window, dc);
        DestroyWindow(window);
    }
}

void GlWindow::SetUpPixelProjection(LONG width, LONG height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DITHER);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glShadeModel(GL_FLAT);
}

} // namespace testgl
