// A window with a GL context current on it, as the renderer sets one up.
#pragma once

#include "platform/wgl/wgl.h"
#include "platform/win32/win32.h"

namespace testgl
{

// The descriptor the renderer asks for: RGB 8/8/8, no alpha, depth 24.
PIXELFORMATDESCRIPTOR RendererDescriptor();

// A visible popup window whose client area is width x height.
HWND CreateClientWindow(LONG width, LONG height);

class GlWindow
{
public:
    GlWindow(LONG width, LONG height);
    ~GlWindow();
    GlWindow(const GlWindow&) = delete;
    GlWindow& operator=(const GlWindow&) = delete;

    bool Ok() const { return context != nullptr; }
    BOOL MakeCurrent() { return wglMakeCurrent(dc, context); }
    // Viewport over the whole client area and a projection in pixels (GL
    // rows from the bottom), depth -1..1; dither, blending and lighting off.
    void SetUpPixelProjection(LONG width, LONG height);

    HWND window = nullptr;
    HDC dc = nullptr;
    HGLRC context = nullptr;
};

} // namespace testgl
