// Internal to the GL layer: the EGL display, the pixel-format table, and the
// records behind device contexts, window surfaces and rendering contexts.
// Every record is reached under one lock; handles are never reused.
#pragma once

#include "platform/wgl/pixel_format.h"

#include <EGL/egl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wgl::detail
{

struct PixelFormatEntry
{
    EGLConfig config = nullptr;
    PIXELFORMATDESCRIPTOR descriptor{};
};

struct EglPlatform
{
    EGLDisplay display = EGL_NO_DISPLAY;
    std::vector<PixelFormatEntry> formats; // format n is formats[n - 1]
    std::string failure;                   // why display is missing
};

// Brought up once per process, on first use; never torn down (contexts may
// outlive static destruction order).
const EglPlatform& Egl();
const PixelFormatEntry* FormatEntry(int format);

// The GL side of one window: its pixel format and a pbuffer of its client
// size. Front and back buffer are the pbuffer's one colour buffer.
struct WindowSurface
{
    HWND window = nullptr;
    int pixelFormat = 0;
    EGLSurface surface = EGL_NO_SURFACE;
    LONG width = 0; // client size the pbuffer was made for
    LONG height = 0;
};

struct ContextRecord
{
    EGLContext context = EGL_NO_CONTEXT;
    int pixelFormat = 0;
    bool current = false;
    std::thread::id owner; // thread it is current on
    HWND window = nullptr; // window it is current with
};

struct Registry
{
    std::recursive_mutex lock;
    std::map<HWND, std::shared_ptr<WindowSurface>> surfaces;
    std::map<std::uintptr_t, ContextRecord> contexts;
    // Hidden contexts (one per pixel format) that SwapBuffers reads a window
    // through when the calling thread has no context current on it.
    std::map<int, EGLContext> readerContexts;
    std::uintptr_t nextHandle = 0x10000;
    bool observing = false;
};
Registry& Reg();

std::uintptr_t NewHandleValue(Registry& reg);

// Starts following window resizes and destruction (once).
void ObserveWindows(Registry& reg);

// The window behind a device context; null (and last error set) when the
// context or its window is gone.
HWND WindowOfDc(Registry& reg, HDC dc);
WindowSurface* SurfaceOf(Registry& reg, HWND window);
ContextRecord* ContextOf(Registry& reg, HGLRC context);

// Makes the window's pbuffer match its client size; re-binds the calling
// thread's context when it is current on that window.
bool SyncSurfaceSize(Registry& reg, WindowSurface& surface);
bool CreateSurface(Registry& reg, WindowSurface& surface, LONG width, LONG height);

// The calling thread's current context and device context.
struct CurrentBinding
{
    HGLRC context = nullptr;
    HDC dc = nullptr;
};
CurrentBinding& Current();

} // namespace wgl::detail
