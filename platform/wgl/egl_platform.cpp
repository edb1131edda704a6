#include "platform/wgl/egl_platform.h"

#include "platform/win32/device_context.h"
#include "platform/win32/window.h"

#include <EGL/eglext.h>

#include <algorithm>
#include <cstring>

namespace wgl::detail
{
namespace
{

EGLint ConfigAttrib(EGLDisplay display, EGLConfig config, EGLint name)
{
    EGLint value = 0;
    eglGetConfigAttrib(display, config, name, &value);
    return value;
}

PIXELFORMATDESCRIPTOR DescribeConfig(EGLint alpha, EGLint depth, EGLint stencil)
{
    PIXELFORMATDESCRIPTOR d{};
    d.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    d.nVersion = 1;
    d.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    d.iPixelType = PFD_TYPE_RGBA;
    d.cColorBits = 24;
    d.cRedBits = 8;
    d.cRedShift = 16;
    d.cGreenBits = 8;
    d.cGreenShift = 8;
    d.cBlueBits = 8;
    d.cBlueShift = 0;
    d.cAlphaBits = static_cast<BYTE>(alpha);
    d.cAlphaShift = alpha ? 24 : 0;
    d.cDepthBits = static_cast<BYTE>(depth);
    d.cStencilBits = static_cast<BYTE>(stencil);
    d.iLayerType = PFD_MAIN_PLANE;
    return d;
}

EglPlatform* BringUp()
{
    auto* egl = new EglPlatform;
    // The surfaceless platform needs no X server and no render node, which is
    // what headless test machines have.
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (clientExtensions && std::strstr(clientExtensions, "EGL_MESA_platform_surfaceless"))
        egl->display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    else
        egl->display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    EGLint major = 0, minor = 0;
    if (egl->display == EGL_NO_DISPLAY || !eglInitialize(egl->display, &major, &minor))
    {
        egl->failure = "no EGL display (Mesa's EGL with the surfaceless platform is required)";
        egl->display = EGL_NO_DISPLAY;
        return egl;
    }

    const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                             EGL_COLOR_BUFFER_TYPE, EGL_RGB_BUFFER, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                             EGL_BLUE_SIZE, 8, EGL_NONE};
    EGLint count = 0;
    eglChooseConfig(egl->display, wanted, nullptr, 0, &count);
    std::vector<EGLConfig> configs(static_cast<std::size_t>(std::max(count, 0)));
    if (count > 0)
        eglChooseConfig(egl->display, wanted, configs.data(), count, &count);
    configs.resize(static_cast<std::size_t>(std::max(count, 0)));

    struct Candidate
    {
        EGLint alpha, depth, stencil;
        EGLConfig config;
    };
    std::vector<Candidate> candidates;
    for (EGLConfig config : configs)
    {
        // Exactly 8 bits a channel and no multisampling: picking by colour ids
        // and pixel comparisons need exact values.
        if (ConfigAttrib(egl->display, config, EGL_RED_SIZE) != 8 ||
            ConfigAttrib(egl->display, config, EGL_GREEN_SIZE) != 8 ||
            ConfigAttrib(egl->display, config, EGL_BLUE_SIZE) != 8 ||
            ConfigAttrib(egl->display, config, EGL_SAMPLES) != 0)
            continue;
        Candidate c{ConfigAttrib(egl->display, config, EGL_ALPHA_SIZE),
                    ConfigAttrib(egl->display, config, EGL_DEPTH_SIZE),
                    ConfigAttrib(egl->display, config, EGL_STENCIL_SIZE), config};
        if (c.alpha != 0 && c.alpha != 8)
            continue;
        bool duplicate = std::any_of(candidates.begin(), candidates.end(), [&](const Candidate& o) {
            return o.alpha == c.alpha && o.depth == c.depth && o.stencil == c.stencil;
        });
        if (!duplicate)
            candidates.push_back(c);
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        if (a.alpha != b.alpha)
            return a.alpha < b.alpha;
        if (a.depth != b.depth)
            return a.depth < b.depth;
        return a.stencil < b.stencil;
    });
    for (const Candidate& c : candidates)
        egl->formats.push_back({c.config, DescribeConfig(c.alpha, c.depth, c.stencil)});
    if (egl->formats.empty())
        egl->failure = "EGL offers no 8-bit RGB pbuffer configuration for desktop OpenGL";
    return egl;
}

} // namespace

const EglPlatform& Egl()
{
    static const EglPlatform* egl = BringUp();
    return *egl;
}

const PixelFormatEntry* FormatEntry(int format)
{
    const EglPlatform& egl = Egl();
    if (format < 1 || static_cast<std::size_t>(format) > egl.formats.size())
        return nullptr;
    return &egl.formats[static_cast<std::size_t>(format - 1)];
}

Registry& Reg()
{
    static Registry* reg = new Registry; // outlives windows destroyed during static destruction
    return *reg;
}

std::uintptr_t NewHandleValue(Registry& reg)
{
    std::uintptr_t value = reg.nextHandle;
    reg.nextHandle += 4;
    return value;
}

CurrentBinding& Current()
{
    thread_local CurrentBinding binding;
    return binding;
}

HWND WindowOfDc(Registry& reg, HDC dc)
{
    (void)reg;
    if (!win32::IsDeviceContext(dc))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HWND window = WindowFromDC(dc);
    if (window == nullptr || !IsWindow(window))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return window;
}

WindowSurface* SurfaceOf(Registry& reg, HWND window)
{
    auto it = reg.surfaces.find(window);
    return it == reg.surfaces.end() ? nullptr : it->second.get();
}

ContextRecord* ContextOf(Registry& reg, HGLRC context)
{
    auto it = reg.contexts.find(reinterpret_cast<std::uintptr_t>(context));
    return it == reg.contexts.end() ? nullptr : &it->second;
}

bool CreateSurface(Registry& reg, WindowSurface& surface, LONG width, LONG height)
{
    const EglPlatform& egl = Egl();
    const PixelFormatEntry* entry = FormatEntry(surface.pixelFormat);
    if (egl.display == EGL_NO_DISPLAY || !entry)
        return false;
    // A minimised or empty client area still gets a 1 x 1 buffer, so that a
    // context stays bindable; what is copied out follows the client size.
    const EGLint attributes[] = {EGL_WIDTH, std::max<LONG>(width, 1), EGL_HEIGHT, std::max<LONG>(height, 1),
                                 EGL_NONE};
    EGLSurface created = eglCreatePbufferSurface(egl.display, entry->config, attributes);
    if (created == EGL_NO_SURFACE)
        return false;
    EGLSurface old = surface.surface;
    surface.surface = created;
    surface.width = width;
    surface.height = height;

    // Re-bind the calling thread's context when it draws into this window, so
    // that drawing after a resize lands in the new buffer.
    CurrentBinding& current = Current();
    if (ContextRecord* rc = ContextOf(reg, current.context); rc && rc->window == surface.window)
        eglMakeCurrent(egl.display, created, created, rc->context);
    if (old != EGL_NO_SURFACE)
        eglDestroySurface(egl.display, old); // deferred by EGL while still bound elsewhere
    return true;
}

bool SyncSurfaceSize(Registry& reg, WindowSurface& surface)
{
    RECT client{};
    if (!GetClientRect(surface.window, &client))
        return false;
    LONG width = client.right - client.left;
    LONG height = client.bottom - client.top;
    if (surface.surface != EGL_NO_SURFACE && width == surface.width && height == surface.height)
        return true;
    return CreateSurface(reg, surface, width, height);
}

void ObserveWindows(Registry& reg)
{
    if (reg.observing)
        return;
    reg.observing = true;
    win32::WindowObserver observer;
    observer.clientSizeChanged = [](HWND window, LONG, LONG) {
        Registry& r = Reg();
        std::lock_guard<std::recursive_mutex> guard(r.lock);
        if (WindowSurface* surface = SurfaceOf(r, window))
            SyncSurfaceSize(r, *surface);
    };
    observer.destroyed = [](HWND window) {
        Registry& r = Reg();
        std::lock_guard<std::recursive_mutex> guard(r.lock);
        if (auto it = r.surfaces.find(window); it != r.surfaces.end())
        {
            // A context still current on the window keeps its (now orphaned)
            // buffer until it is released; EGL defers the destruction.
            if (it->second->surface != EGL_NO_SURFACE)
                eglDestroySurface(Egl().display, it->second->surface);
            r.surfaces.erase(it);
        }
    };
    win32::AddWindowObserver(std::move(observer));
}

} // namespace wgl::detail
