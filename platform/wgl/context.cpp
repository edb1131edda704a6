#define GL_GLEXT_PROTOTYPES 1
#include "platform/wgl/context.h"

#include "platform/wgl/buffer_region.h"
#include "platform/wgl/egl_platform.h"
#include "platform/wgl/gl_pixel_scope.h"
#include "platform/win32/window.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace wgl::detail;

namespace
{

std::mutex g_wipeLock;
wgl::SwapWipe g_wipe;

EGLContext CreateEglContext(const PixelFormatEntry& entry)
{
    eglBindAPI(EGL_OPENGL_API);
    // Compatibility profile: the drawing code is OpenGL 1.1 with display
    // lists, which a core profile would refuse.
    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                 EGL_NONE};
    return eglCreateContext(Egl().display, entry.config, EGL_NO_CONTEXT, attributes);
}

// The context's record when the calling thread may use it: it exists and is
// not current on another thread. Null with the last error set otherwise.
ContextRecord* OwnContext(Registry& reg, HGLRC context)
{
    ContextRecord* rc = ContextOf(reg, context);
    if (!rc)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (rc->current && rc->owner != std::this_thread::get_id())
    {
        SetLastError(ERROR_BUSY);
        return nullptr;
    }
    return rc;
}

void ReleaseCurrent(Registry& reg)
{
    CurrentBinding& current = Current();
    if (ContextRecord* rc = ContextOf(reg, current.context))
    {
        rc->current = false;
        rc->window = nullptr;
    }
    eglBindAPI(EGL_OPENGL_API);
    eglMakeCurrent(Egl().display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    current = CurrentBinding{};
}

// Reads the window's buffer as top-down 0xAARRGGBB rows through whatever
// context is current, then wipes it when asked to.
void ReadAndWipe(LONG width, LONG height, std::vector<std::uint32_t>& pixels, const wgl::SwapWipe& wipe)
{
    glFinish();
    GlPixelScope scope;
    if (!scope.Ok())
        return;
    std::vector<std::uint32_t> rows(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
    pixels.resize(rows.size());
    const std::size_t rowLength = static_cast<std::size_t>(width);
    for (LONG y = 0; y < height; ++y)
        std::copy_n(rows.begin() + static_cast<std::ptrdiff_t>(rowLength * static_cast<std::size_t>(y)), rowLength,
                    pixels.begin() + static_cast<std::ptrdiff_t>(rowLength * static_cast<std::size_t>(height - 1 - y)));
    if (wipe.enabled)
    {
        glDrawBuffer(GL_BACK);
        glClearColor(static_cast<float>((wipe.colour >> 16) & 0xFF) / 255.0f,
                     static_cast<float>((wipe.colour >> 8) & 0xFF) / 255.0f,
                     static_cast<float>(wipe.colour & 0xFF) / 255.0f,
                     static_cast<float>((wipe.colour >> 24) & 0xFF) / 255.0f);
        glClearDepth(wipe.depth);
        glDepthMask(GL_TRUE);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFinish();
    }
}

} // namespace

HGLRC wglCreateContext(HDC dc)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    HWND window = WindowOfDc(reg, dc);
    if (!window)
        return nullptr;
    WindowSurface* surface = SurfaceOf(reg, window);
    const PixelFormatEntry* entry = surface ? FormatEntry(surface->pixelFormat) : nullptr;
    if (!entry)
    {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return nullptr;
    }
    EGLContext context = CreateEglContext(*entry);
    if (context == EGL_NO_CONTEXT)
    {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return nullptr;
    }
    std::uintptr_t value = NewHandleValue(reg);
    ContextRecord record;
    record.context = context;
    record.pixelFormat = surface->pixelFormat;
    reg.contexts[value] = record;
    return reinterpret_cast<HGLRC>(value);
}

BOOL wglDeleteContext(HGLRC context)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    ContextRecord* rc = OwnContext(reg, context);
    if (!rc)
        return FALSE;
    if (rc->current)
        ReleaseCurrent(reg);
    eglDestroyContext(Egl().display, rc->context);
    reg.contexts.erase(reinterpret_cast<std::uintptr_t>(context));
    return TRUE;
}

BOOL wglMakeCurrent(HDC dc, HGLRC context)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    if (context == nullptr)
    {
        if (Current().context)
            ReleaseCurrent(reg);
        return TRUE;
    }
    ContextRecord* rc = OwnContext(reg, context);
    if (!rc)
        return FALSE;
    HWND window = WindowOfDc(reg, dc);
    if (!window)
        return FALSE;
    WindowSurface* surface = SurfaceOf(reg, window);
    if (!surface || surface->pixelFormat != rc->pixelFormat)
    {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    if (!SyncSurfaceSize(reg, *surface))
    {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    eglBindAPI(EGL_OPENGL_API);
    if (!eglMakeCurrent(Egl().display, surface->surface, surface->surface, rc->context))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    CurrentBinding& current = Current();
    if (current.context != context)
    {
        if (ContextRecord* previous = ContextOf(reg, current.context))
        {
            previous->current = false;
            previous->window = nullptr;
        }
    }
    rc->current = true;
    rc->owner = std::this_thread::get_id();
    rc->window = window;
    current.context = context;
    current.dc = dc;
    return TRUE;
}

HGLRC wglGetCurrentContext() { return Current().context; }

HDC wglGetCurrentDC() { return Current().dc; }

PROC wglGetProcAddress(LPCSTR name)
{
    if (!name)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (void* entry = wgl::BufferRegionEntryPoint(name))
        return reinterpret_cast<PROC>(entry);
    // Extension entry points exist only with a current context; other WGL
    // extensions are not offered.
    if (!Current().context || std::strncmp(name, "wgl", 3) == 0)
    {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    auto proc = eglGetProcAddress(name);
    if (!proc)
        SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<PROC>(proc);
}

BOOL SwapBuffers(HDC dc)
{
    std::vector<std::uint32_t> pixels;
    HWND window = nullptr;
    LONG width = 0, height = 0;
    {
        Registry& reg = Reg();
        std::lock_guard<std::recursive_mutex> guard(reg.lock);
        window = WindowOfDc(reg, dc);
        if (!window)
            return FALSE;
        WindowSurface* surface = SurfaceOf(reg, window);
        if (!surface)
        {
            SetLastError(ERROR_INVALID_PIXEL_FORMAT);
            return FALSE;
        }
        width = surface->width;
        height = surface->height;
        const wgl::SwapWipe wipe = wgl::GetSwapWipe();
        ContextRecord* rc = ContextOf(reg, Current().context);
        if (rc && rc->window == window)
        {
            ReadAndWipe(width, height, pixels, wipe);
        }
        else
        {
            // No context of ours draws here on this thread: read through a
            // hidden one and put the thread's EGL binding back afterwards.
            const EglPlatform& egl = Egl();
            EGLContext& reader = reg.readerContexts[surface->pixelFormat];
            if (reader == EGL_NO_CONTEXT)
                reader = CreateEglContext(*FormatEntry(surface->pixelFormat));
            eglBindAPI(EGL_OPENGL_API);
            EGLContext savedContext = eglGetCurrentContext();
            EGLSurface savedDraw = eglGetCurrentSurface(EGL_DRAW);
            EGLSurface savedRead = eglGetCurrentSurface(EGL_READ);
            if (reader == EGL_NO_CONTEXT || !eglMakeCurrent(egl.display, surface->surface, surface->surface, reader))
            {
                SetLastError(ERROR_BUSY);
                return FALSE;
            }
            ReadAndWipe(width, height, pixels, wipe);
            eglMakeCurrent(egl.display, savedDraw, savedRead, savedContext);
        }
    }
    if (pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        return FALSE;

    // GL rows start at the bottom of the client area: when the window's image
    // has another size than the buffer, the two share their bottom-left corner.
    win32::ClientImage* image = win32::GetWindowClientImage(window);
    if (!image)
        return FALSE;
    const LONG copyWidth = std::min(width, image->width);
    const LONG copyHeight = std::min(height, image->height);
    for (LONG row = 0; row < copyHeight; ++row)
    {
        const std::uint32_t* from = pixels.data() + static_cast<std::size_t>(height - 1 - row) * width;
        std::uint32_t* to = image->pixels.data() + static_cast<std::size_t>(image->height - 1 - row) * image->width;
        std::copy_n(from, copyWidth, to);
    }
    return TRUE;
}

namespace wgl
{

void SetSwapWipe(const SwapWipe& wipe)
{
    std::lock_guard<std::mutex> guard(g_wipeLock);
    g_wipe = wipe;
}

SwapWipe GetSwapWipe()
{
    std::lock_guard<std::mutex> guard(g_wipeLock);
    return g_wipe;
}

const char* PlatformFailure() { return Egl().failure.c_str(); }

} // namespace wgl
