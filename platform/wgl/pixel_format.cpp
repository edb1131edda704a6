#include "platform/wgl/pixel_format.h"

#include "platform/wgl/context.h"
#include "platform/wgl/egl_platform.h"
#include "platform/win32/device_context.h"

#include <climits>

using namespace wgl::detail;

namespace
{

// How far a format is from the request; lower is better. Missing what was
// asked for weighs far more than having more than was asked for.
int Distance(const PIXELFORMATDESCRIPTOR& want, const PIXELFORMATDESCRIPTOR& have)
{
    auto miss = [](int wanted, int offered) {
        return offered < wanted ? 1000 * (wanted - offered) : offered - wanted;
    };
    int distance = miss(want.cAlphaBits, have.cAlphaBits) + miss(want.cDepthBits, have.cDepthBits) +
                   miss(want.cStencilBits, have.cStencilBits);
    const DWORD unsupported = PFD_STEREO | PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI;
    if (want.dwFlags & unsupported)
        distance += 100000;
    return distance;
}

} // namespace

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* wanted)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    if (!win32::IsDeviceContext(dc))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!wanted || wanted->iPixelType != PFD_TYPE_RGBA)
    {
        SetLastError(wanted ? ERROR_INVALID_PIXEL_FORMAT : ERROR_INVALID_PARAMETER);
        return 0;
    }
    const EglPlatform& egl = Egl();
    int best = 0;
    int bestDistance = INT_MAX;
    for (std::size_t i = 0; i < egl.formats.size(); ++i)
    {
        int distance = Distance(*wanted, egl.formats[i].descriptor);
        if (distance < bestDistance)
        {
            bestDistance = distance;
            best = static_cast<int>(i) + 1;
        }
    }
    if (best == 0)
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
    return best;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    HWND window = WindowOfDc(reg, dc);
    if (!window)
        return FALSE;
    if (!FormatEntry(format))
    {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    if (WindowSurface* existing = SurfaceOf(reg, window))
    {
        if (existing->pixelFormat == format)
            return TRUE;
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    ObserveWindows(reg);
    auto surface = std::make_shared<WindowSurface>();
    surface->window = window;
    surface->pixelFormat = format;
    if (!SyncSurfaceSize(reg, *surface))
    {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    reg.surfaces[window] = std::move(surface);
    return TRUE;
}

int GetPixelFormat(HDC dc)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    HWND window = WindowOfDc(reg, dc);
    WindowSurface* surface = window ? SurfaceOf(reg, window) : nullptr;
    if (!surface)
    {
        if (window)
            SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return 0;
    }
    return surface->pixelFormat;
}

int DescribePixelFormat(HDC dc, int format, UINT bytes, LPPIXELFORMATDESCRIPTOR out)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    if (!win32::IsDeviceContext(dc))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    int count = static_cast<int>(Egl().formats.size());
    if (!out)
        return count;
    const PixelFormatEntry* entry = FormatEntry(format);
    if (!entry || bytes < sizeof(PIXELFORMATDESCRIPTOR))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *out = entry->descriptor;
    return count;
}
