// GL rendering contexts of windows, on Mesa's EGL with one pbuffer per window
// (the client size, recreated when the window is resized). OpenGL 1.1 with
// display lists and GLU works in them; contexts share nothing.
//
// Front and back buffer: a pbuffer has one colour buffer, so GL_FRONT and
// GL_BACK name the same pixels. SwapBuffers copies that buffer into the
// window's client image (what the window shows) and leaves it as it was.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>

// What wglGetProcAddress hands out; cast to the entry point's own type (a
// parameterless void function type converts to any other without warnings).
using PROC = void (*)();

HGLRC wglCreateContext(HDC dc);
BOOL wglDeleteContext(HGLRC context);
// One context is current per thread; (null, null) releases it.
BOOL wglMakeCurrent(HDC dc, HGLRC context);
HGLRC wglGetCurrentContext();
HDC wglGetCurrentDC();
PROC wglGetProcAddress(LPCSTR name);
BOOL SwapBuffers(HDC dc);

inline constexpr DWORD ERROR_INVALID_PIXEL_FORMAT = 2000;

namespace wgl
{

// "The back buffer is undefined after a swap": when on, SwapBuffers clears
// the colour buffer to `colour` (0xAARRGGBB) and the depth buffer to `depth`
// after copying it, so that code relying on the old contents shows up.
struct SwapWipe
{
    bool enabled = false;
    std::uint32_t colour = 0xFFFF00FF;
    double depth = 0.0;
};
void SetSwapWipe(const SwapWipe& wipe);
SwapWipe GetSwapWipe();

// Why the GL layer is unusable here (empty when EGL came up).
const char* PlatformFailure();

} // namespace wgl
