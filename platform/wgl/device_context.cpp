#include "platform/wgl/device_context.h"

#include "platform/wgl/egl_platform.h"
#include "platform/win32/message.h"
#include "platform/win32/window.h"

using namespace wgl::detail;

namespace
{

HDC ScreenDc(Registry& reg)
{
    static HDC screen = nullptr;
    if (!screen)
    {
        screen = reinterpret_cast<HDC>(NewHandleValue(reg));
        reg.deviceContexts[reinterpret_cast<std::uintptr_t>(screen)] = DeviceContextRecord{nullptr};
    }
    return screen;
}

} // namespace

HDC GetDC(HWND window)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    if (window == nullptr)
        return ScreenDc(reg);
    if (!IsWindow(window))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    ObserveWindows(reg);
    if (auto it = reg.windowDeviceContexts.find(window); it != reg.windowDeviceContexts.end())
        return it->second;
    HDC dc = reinterpret_cast<HDC>(NewHandleValue(reg));
    reg.deviceContexts[reinterpret_cast<std::uintptr_t>(dc)] = DeviceContextRecord{window};
    reg.windowDeviceContexts[window] = dc;
    return dc;
}

int ReleaseDC(HWND window, HDC dc)
{
    // The context belongs to its window until the window is destroyed;
    // releasing only checks that the pair is genuine.
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    auto it = reg.deviceContexts.find(reinterpret_cast<std::uintptr_t>(dc));
    if (dc == nullptr || it == reg.deviceContexts.end() || it->second.window != window)
        return 0;
    return 1;
}

HWND WindowFromDC(HDC dc)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    auto it = reg.deviceContexts.find(reinterpret_cast<std::uintptr_t>(dc));
    return it == reg.deviceContexts.end() ? nullptr : it->second.window;
}

int GetDeviceCaps(HDC dc, int index)
{
    Registry& reg = Reg();
    std::lock_guard<std::recursive_mutex> guard(reg.lock);
    if (dc == nullptr || !reg.deviceContexts.count(reinterpret_cast<std::uintptr_t>(dc)))
        return 0;
    switch (index)
    {
    case BITSPIXEL:
        return 32; // the client images are 32-bit
    case PLANES:
        return 1;
    default:
        return 0;
    }
}

namespace
{

// Painting hands out the window's own device context, so that a view painting
// between BeginPaint and EndPaint draws with the same context it set up.
[[maybe_unused]] const bool g_paintDevicesProvided = [] {
    win32::SetPaintDeviceProvider({[](HWND window) { return GetDC(window); },
                                   [](HWND window, HDC dc) { ReleaseDC(window, dc); }});
    return true;
}();

} // namespace
