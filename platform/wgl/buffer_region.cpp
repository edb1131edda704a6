#define GL_GLEXT_PROTOTYPES 1
#include "platform/wgl/buffer_region.h"

#include "platform/wgl/context.h"
#include "platform/wgl/egl_platform.h"
#include "platform/wgl/gl_pixel_scope.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

using namespace wgl::detail;

namespace
{

struct BufferRegion
{
    HWND window = nullptr;
    UINT type = 0;
    bool saved = false;
    // The rectangle given to the last save and the part of it that lay inside
    // the window (offset from the given corner, size); only that part is kept.
    int originX = 0, originY = 0;
    int keptX = 0, keptY = 0, keptWidth = 0, keptHeight = 0;
    std::vector<std::uint8_t> colour;  // RGBA rows, bottom-up
    std::vector<float> depth;          // bottom-up
};

std::map<std::uintptr_t, BufferRegion>& Regions()
{
    static auto* regions = new std::map<std::uintptr_t, BufferRegion>;
    return *regions;
}

std::atomic<wgl::BufferRegionSupport> g_support{wgl::BufferRegionSupport::Available};

// The region and the calling thread's surface for it: the region's window
// must be the one the thread's context draws into.
BufferRegion* RegionForDrawing(Registry& reg, HANDLE handle, WindowSurface*& surface)
{
    auto it = Regions().find(reinterpret_cast<std::uintptr_t>(handle));
    if (handle == nullptr || it == Regions().end())
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ContextRecord* rc = ContextOf(reg, Current().context);
    surface = SurfaceOf(reg, it->second.window);
    if (!rc || !surface || rc->window != it->second.window)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

GLenum ColourBufferOf(UINT type)
{
    return (type & WGL_BACK_COLOR_BUFFER_BIT_ARB) ? GL_BACK : GL_FRONT;
}

bool HasColour(UINT type) { return type & (WGL_FRONT_COLOR_BUFFER_BIT_ARB | WGL_BACK_COLOR_BUFFER_BIT_ARB); }

bool HasDepth(const BufferRegion& region, const WindowSurface& surface)
{
    const PixelFormatEntry* entry = FormatEntry(surface.pixelFormat);
    return (region.type & WGL_DEPTH_BUFFER_BIT_ARB) && entry && entry->descriptor.cDepthBits > 0;
}

HANDLE CreateBufferRegion(HDC dc, int layerPlane, UINT type)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    HWND window = WindowOfDc(reg, dc);
    if (!window)
        return nullptr;
    if (layerPlane != 0 || !(type & (WGL_FRONT_COLOR_BUFFER_BIT_ARB | WGL_BACK_COLOR_BUFFER_BIT_ARB |
                                     WGL_DEPTH_BUFFER_BIT_ARB)))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::uintptr_t value = NewHandleValue(reg);
    BufferRegion region;
    region.window = window;
    region.type = type;
    Regions()[value] = std::move(region);
    return reinterpret_cast<HANDLE>(value);
}

void DeleteBufferRegion(HANDLE handle)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    Regions().erase(reinterpret_cast<std::uintptr_t>(handle));
}

BOOL SaveBufferRegion(HANDLE handle, int x, int y, int width, int height)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    WindowSurface* surface = nullptr;
    BufferRegion* region = RegionForDrawing(reg, handle, surface);
    if (!region)
        return FALSE;
    region->saved = false;
    if (g_support.load() == wgl::BufferRegionSupport::FailingSaves || width <= 0 || height <= 0)
        return FALSE;

    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int x1 = static_cast<int>(std::min<long long>(static_cast<long long>(x) + width, surface->width));
    int y1 = static_cast<int>(std::min<long long>(static_cast<long long>(y) + height, surface->height));
    if (x1 <= x0 || y1 <= y0)
        return FALSE;

    GlPixelScope scope;
    if (!scope.Ok())
        return FALSE;
    const int keptWidth = x1 - x0, keptHeight = y1 - y0;
    const std::size_t count = static_cast<std::size_t>(keptWidth) * static_cast<std::size_t>(keptHeight);
    region->colour.clear();
    region->depth.clear();
    if (HasColour(region->type))
    {
        region->colour.resize(count * 4);
        glReadBuffer(ColourBufferOf(region->type));
        glReadPixels(x0, y0, keptWidth, keptHeight, GL_RGBA, GL_UNSIGNED_BYTE, region->colour.data());
    }
    if (HasDepth(*region, *surface))
    {
        region->depth.resize(count);
        glReadPixels(x0, y0, keptWidth, keptHeight, GL_DEPTH_COMPONENT, GL_FLOAT, region->depth.data());
    }
    region->originX = x;
    region->originY = y;
    region->keptX = x0 - x;
    region->keptY = y0 - y;
    region->keptWidth = keptWidth;
    region->keptHeight = keptHeight;
    region->saved = true;
    return TRUE;
}

// (xSrc, ySrc) is a position in the saved rectangle, measured from the corner
// given to the save; (x, y, width, height) is where it goes in the window.
BOOL RestoreBufferRegion(HANDLE handle, int x, int y, int width, int height, int xSrc, int ySrc)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    WindowSurface* surface = nullptr;
    BufferRegion* region = RegionForDrawing(reg, handle, surface);
    if (!region)
        return FALSE;
    if (!region->saved || width <= 0 || height <= 0)
        return FALSE;

    // Clip the source to what was kept, then the destination to the window.
    long long sx0 = std::max<long long>(xSrc, region->keptX);
    long long sy0 = std::max<long long>(ySrc, region->keptY);
    long long sx1 = std::min<long long>(static_cast<long long>(xSrc) + width, region->keptX + region->keptWidth);
    long long sy1 = std::min<long long>(static_cast<long long>(ySrc) + height, region->keptY + region->keptHeight);
    long long dx0 = x + (sx0 - xSrc), dy0 = y + (sy0 - ySrc);
    long long shiftX = std::max<long long>(0, -dx0), shiftY = std::max<long long>(0, -dy0);
    sx0 += shiftX;
    sy0 += shiftY;
    dx0 += shiftX;
    dy0 += shiftY;
    sx1 = std::min<long long>(sx1, sx0 + (surface->width - dx0));
    sy1 = std::min<long long>(sy1, sy0 + (surface->height - dy0));
    if (sx1 <= sx0 || sy1 <= sy0)
        return TRUE; // nothing of the saved rectangle falls in the window

    GlPixelScope scope;
    if (!scope.Ok())
        return FALSE;
    const int drawWidth = static_cast<int>(sx1 - sx0), drawHeight = static_cast<int>(sy1 - sy0);
    GlPixelScope::SetUnpackWindow(region->keptWidth, static_cast<int>(sx0 - region->keptX),
                                  static_cast<int>(sy0 - region->keptY));
    if (!region->colour.empty())
    {
        glDrawBuffer(ColourBufferOf(region->type));
        glWindowPos2i(static_cast<GLint>(dx0), static_cast<GLint>(dy0));
        glDrawPixels(drawWidth, drawHeight, GL_RGBA, GL_UNSIGNED_BYTE, region->colour.data());
    }
    if (!region->depth.empty())
    {
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_ALWAYS);
        glDepthMask(GL_TRUE);
        glWindowPos2i(static_cast<GLint>(dx0), static_cast<GLint>(dy0));
        glDrawPixels(drawWidth, drawHeight, GL_DEPTH_COMPONENT, GL_FLOAT, region->depth.data());
    }
    return TRUE;
}

} // namespace

namespace wgl
{

void SetBufferRegionSupport(BufferRegionSupport support) { g_support.store(support); }
BufferRegionSupport GetBufferRegionSupport() { return g_support.load(); }

void* BufferRegionEntryPoint(const char* name)
{
    if (!name || g_support.load() == BufferRegionSupport::Unavailable)
        return nullptr;
    if (std::strcmp(name, "wglCreateBufferRegionARB") == 0)
        return reinterpret_cast<void*>(&CreateBufferRegion);
    if (std::strcmp(name, "wglDeleteBufferRegionARB") == 0)
        return reinterpret_cast<void*>(&DeleteBufferRegion);
    if (std::strcmp(name, "wglSaveBufferRegionARB") == 0)
        return reinterpret_cast<void*>(&SaveBufferRegion);
    if (std::strcmp(name, "wglRestoreBufferRegionARB") == 0)
        return reinterpret_cast<void*>(&RestoreBufferRegion);
    return nullptr;
}

std::size_t LiveBufferRegionCount()
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    return Regions().size();
}

} // namespace wgl
