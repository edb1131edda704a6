// The buffer-region extension (saving and restoring rectangles of a window's
// colour and depth buffers), reached through wglGetProcAddress. Emulated with
// pixel reads and draws that leave every GL state as they found it; a test
// can take the extension away or make its saves fail.
#pragma once

#include "platform/win32/types.h"

inline constexpr UINT WGL_FRONT_COLOR_BUFFER_BIT_ARB = 0x00000001;
inline constexpr UINT WGL_BACK_COLOR_BUFFER_BIT_ARB = 0x00000002;
inline constexpr UINT WGL_DEPTH_BUFFER_BIT_ARB = 0x00000004;
inline constexpr UINT WGL_STENCIL_BUFFER_BIT_ARB = 0x00000008;

using PFNWGLCREATEBUFFERREGIONARBPROC = HANDLE (*)(HDC dc, int layerPlane, UINT type);
using PFNWGLDELETEBUFFERREGIONARBPROC = void (*)(HANDLE region);
using PFNWGLSAVEBUFFERREGIONARBPROC = BOOL (*)(HANDLE region, int x, int y, int width, int height);
using PFNWGLRESTOREBUFFERREGIONARBPROC = BOOL (*)(HANDLE region, int x, int y, int width, int height, int xSrc,
                                                  int ySrc);

namespace wgl
{

enum class BufferRegionSupport
{
    Available,    // the four entry points resolve and work
    Unavailable,  // wglGetProcAddress returns null for them
    FailingSaves, // they resolve, but every save reports failure
};
void SetBufferRegionSupport(BufferRegionSupport support);
BufferRegionSupport GetBufferRegionSupport();

// The entry point of the emulation for one of the four names, honouring the
// support setting; null for any other name.
void* BufferRegionEntryPoint(const char* name);

// Regions not yet deleted; tests use it to find leaked regions.
std::size_t LiveBufferRegionCount();

} // namespace wgl
