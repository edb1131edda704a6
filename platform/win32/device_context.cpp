#include "platform/win32/gdi_internal.h"
#include "platform/win32/message.h"
#include "platform/win32/window.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

using namespace win32::detail;

namespace
{

struct DcTable
{
    std::mutex lock;
    std::map<HWND, HDC> windowDcs;
    HDC screen = nullptr;
};

DcTable& Dcs()
{
    // Outlives static destructors of windows' owners.
    static auto* table = new DcTable;
    return *table;
}

HDC RegisterDc(std::shared_ptr<DcObject> dc)
{
    ResetDcState(dc->state);
    return static_cast<HDC>(win32::RegisterGdiObject(std::move(dc)));
}

bool OwnsDc(HWND window)
{
    wchar_t name[256];
    WNDCLASSEXW wc{};
    return GetClassNameW(window, name, 256) && GetClassInfoExW(nullptr, name, &wc) && (wc.style & CS_OWNDC);
}

void StartDrawing(HWND window, HDC dc)
{
    if (OwnsDc(window))
        return;
    if (auto d = FindDc(dc))
    {
        ResetDcState(d->state);
        d->saved.clear();
    }
}

[[maybe_unused]] const bool g_windowDcsFollowWindows = [] {
    win32::WindowObserver observer;
    observer.destroyed = [](HWND window) {
        HDC dc = nullptr;
        {
            DcTable& t = Dcs();
            std::lock_guard<std::mutex> guard(t.lock);
            auto it = t.windowDcs.find(window);
            if (it == t.windowDcs.end())
                return;
            dc = it->second;
            t.windowDcs.erase(it);
        }
        DeleteObject(dc);
    };
    win32::AddWindowObserver(std::move(observer));
    // Painting hands out the window's own context.
    win32::SetPaintDeviceProvider({[](HWND window) {
                                       HDC dc = GetDC(window);
                                       StartDrawing(window, dc);
                                       return dc;
                                   },
                                   [](HWND window, HDC dc) { ReleaseDC(window, dc); }});
    return true;
}();

} // namespace

namespace win32::detail
{

std::shared_ptr<DcObject> FindDc(HDC dc)
{
    return win32::LookupGdiObjectAs<DcObject>(dc);
}

void ResetDcState(DcState& state)
{
    state = DcState{};
    state.penHandle = GetStockObject(BLACK_PEN);
    state.pen = win32::LookupGdiObjectAs<PenObject>(state.penHandle);
    state.brushHandle = GetStockObject(WHITE_BRUSH);
    state.brush = win32::LookupGdiObjectAs<BrushObject>(state.brushHandle);
    state.fontHandle = GetStockObject(DEFAULT_GUI_FONT);
    state.font = win32::LookupGdiObjectAs<FontObject>(state.fontHandle);
}

Canvas CanvasOf(HDC dc)
{
    Canvas c;
    c.dc = FindDc(dc);
    if (!c.dc)
        return c;
    win32::DeviceSurface s = win32::SurfaceOfDC(dc);
    c.pixels = s.pixels;
    c.width = s.width;
    c.height = s.height;
    c.clip = RECT{0, 0, s.width, s.height};
    if (c.dc->state.clip)
    {
        RECT in{};
        IntersectRect(&in, &c.clip, &*c.dc->state.clip);
        c.clip = in;
    }
    return c;
}

} // namespace win32::detail

HDC GetDC(HWND window)
{
    DcTable& t = Dcs();
    if (window == nullptr)
    {
        std::lock_guard<std::mutex> guard(t.lock);
        if (!t.screen)
        {
            auto d = std::make_shared<DcObject>();
            d->screen = true;
            t.screen = RegisterDc(std::move(d));
        }
        return t.screen;
    }
    if (!IsWindow(window))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HDC dc = nullptr;
    {
        std::lock_guard<std::mutex> guard(t.lock);
        if (auto it = t.windowDcs.find(window); it != t.windowDcs.end())
            dc = it->second;
        else
        {
            auto d = std::make_shared<DcObject>();
            d->window = window;
            dc = RegisterDc(std::move(d));
            t.windowDcs[window] = dc;
            return dc;
        }
    }
    StartDrawing(window, dc);
    return dc;
}

int ReleaseDC(HWND window, HDC dc)
{
    // The context belongs to its window until the window is destroyed;
    // releasing only checks that the pair is genuine.
    auto d = FindDc(dc);
    if (!d || d->memory || d->window != window)
        return 0;
    return 1;
}

HWND WindowFromDC(HDC dc)
{
    auto d = FindDc(dc);
    return d ? d->window : nullptr;
}

HDC CreateCompatibleDC(HDC)
{
    auto d = std::make_shared<DcObject>();
    d->memory = true;
    d->defaultBitmap = std::make_shared<BitmapObject>();
    d->defaultBitmap->width = 1;
    d->defaultBitmap->height = 1;
    d->defaultBitmap->pixels.assign(1, 0xFF000000u);
    d->bitmap = d->defaultBitmap;
    return RegisterDc(std::move(d));
}

BOOL DeleteDC(HDC dc)
{
    auto d = FindDc(dc);
    if (!d || !d->memory)
        return FALSE;
    return DeleteObject(dc);
}

int GetDeviceCaps(HDC dc, int index)
{
    if (!FindDc(dc))
        return 0;
    switch (index)
    {
    case BITSPIXEL:
        return 32; // the client images are 32-bit
    case PLANES:
        return 1;
    case HORZRES:
        return 1920;
    case VERTRES:
        return 1080;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    default:
        return 0;
    }
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    auto d = FindDc(dc);
    auto obj = win32::LookupGdiObject(object);
    if (!d || !obj)
        return nullptr;
    DcState& s = d->state;
    HGDIOBJ previous = nullptr;
    if (auto pen = std::dynamic_pointer_cast<PenObject>(obj))
    {
        previous = s.penHandle;
        s.pen = pen;
        s.penHandle = object;
    }
    else if (auto brush = std::dynamic_pointer_cast<BrushObject>(obj))
    {
        previous = s.brushHandle;
        s.brush = brush;
        s.brushHandle = object;
    }
    else if (auto font = std::dynamic_pointer_cast<FontObject>(obj))
    {
        previous = s.fontHandle;
        s.font = font;
        s.fontHandle = object;
    }
    else if (auto bitmap = std::dynamic_pointer_cast<BitmapObject>(obj))
    {
        if (!d->memory)
            return nullptr;
        previous = d->bitmapHandle;
        d->bitmap = bitmap;
        d->bitmapHandle = object;
        // The handle of the initial bitmap is never given out; a caller that
        // selects "previous" back gets the 1 x 1 default again.
        if (!previous)
            previous = object;
    }
    else if (std::dynamic_pointer_cast<DcObject>(obj))
        return nullptr;
    else
    {
        // A region selects a clip.
        return reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(SelectClipRgn(dc, static_cast<HRGN>(object))));
    }
    return previous;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type)
{
    auto d = FindDc(dc);
    if (!d)
        return nullptr;
    switch (type)
    {
    case OBJ_PEN:
        return d->state.penHandle;
    case OBJ_BRUSH:
        return d->state.brushHandle;
    case OBJ_FONT:
        return d->state.fontHandle;
    case OBJ_BITMAP:
        return d->bitmapHandle;
    default:
        return nullptr;
    }
}

int SaveDC(HDC dc)
{
    auto d = FindDc(dc);
    if (!d)
        return 0;
    d->saved.push_back(d->state);
    return static_cast<int>(d->saved.size());
}

BOOL RestoreDC(HDC dc, int saved)
{
    auto d = FindDc(dc);
    if (!d || d->saved.empty())
        return FALSE;
    const int count = static_cast<int>(d->saved.size());
    const int level = saved < 0 ? count + 1 + saved : saved;
    if (level < 1 || level > count)
        return FALSE;
    d->state = d->saved[static_cast<std::size_t>(level - 1)];
    d->saved.resize(static_cast<std::size_t>(level - 1));
    return TRUE;
}

COLORREF SetTextColor(HDC dc, COLORREF color)
{
    auto d = FindDc(dc);
    if (!d)
        return CLR_INVALID;
    return std::exchange(d->state.textColor, color);
}

COLORREF GetTextColor(HDC dc)
{
    auto d = FindDc(dc);
    return d ? d->state.textColor : CLR_INVALID;
}

COLORREF SetBkColor(HDC dc, COLORREF color)
{
    auto d = FindDc(dc);
    if (!d)
        return CLR_INVALID;
    return std::exchange(d->state.bkColor, color);
}

COLORREF GetBkColor(HDC dc)
{
    auto d = FindDc(dc);
    return d ? d->state.bkColor : CLR_INVALID;
}

int SetBkMode(HDC dc, int mode)
{
    auto d = FindDc(dc);
    if (!d || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    return std::exchange(d->state.bkMode, mode);
}

int GetBkMode(HDC dc)
{
    auto d = FindDc(dc);
    return d ? d->state.bkMode : 0;
}

namespace
{

RECT DeviceRect(const DcState& s, int left, int top, int right, int bottom)
{
    return RECT{left - s.origin.x, top - s.origin.y, right - s.origin.x, bottom - s.origin.y};
}

int ClipType(const DcState& s)
{
    if (!s.clip)
        return SIMPLEREGION;
    return IsRectEmpty(&*s.clip) ? NULLREGION : SIMPLEREGION;
}

RECT Unbounded()
{
    return RECT{-0x4000000, -0x4000000, 0x4000000, 0x4000000};
}

} // namespace

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom)
{
    auto d = FindDc(dc);
    if (!d)
        return RGN_ERROR;
    DcState& s = d->state;
    RECT r = DeviceRect(s, left, top, right, bottom);
    RECT current = s.clip ? *s.clip : Unbounded();
    RECT in{};
    IntersectRect(&in, &current, &r);
    s.clip = in;
    return ClipType(s);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom)
{
    // One rectangle holds the clip, so only a cut that takes a whole side
    // away narrows it; any other cut leaves the clip as it was.
    auto d = FindDc(dc);
    if (!d)
        return RGN_ERROR;
    DcState& s = d->state;
    RECT cut = DeviceRect(s, left, top, right, bottom);
    RECT current = s.clip ? *s.clip : Unbounded();
    RECT rest{};
    if (SubtractRect(&rest, &current, &cut))
        s.clip = rest;
    else
        s.clip = RECT{0, 0, 0, 0};
    return ClipType(s);
}

int SelectClipRgn(HDC dc, HRGN region)
{
    auto d = FindDc(dc);
    if (!d)
        return RGN_ERROR;
    if (!region)
    {
        d->state.clip.reset();
        return SIMPLEREGION;
    }
    RECT box{};
    if (GetRgnBox(region, &box) == RGN_ERROR)
        return RGN_ERROR;
    d->state.clip = box; // regions are in device coordinates
    return ClipType(d->state);
}

int GetClipBox(HDC dc, RECT* box)
{
    win32::detail::Canvas c = CanvasOf(dc);
    if (!c.Valid() || !box)
        return RGN_ERROR;
    *box = c.clip;
    OffsetRect(box, c.dc->state.origin.x, c.dc->state.origin.y);
    return IsRectEmpty(box) ? NULLREGION : SIMPLEREGION;
}

BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous)
{
    auto d = FindDc(dc);
    if (!d)
        return FALSE;
    if (previous)
        *previous = d->state.origin;
    d->state.origin = POINT{x, y};
    return TRUE;
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous)
{
    auto d = FindDc(dc);
    if (!d)
        return FALSE;
    if (previous)
        *previous = POINT{-d->state.origin.x, -d->state.origin.y};
    d->state.origin = POINT{-x, -y};
    return TRUE;
}

namespace win32
{

bool IsDeviceContext(HDC dc)
{
    return FindDc(dc) != nullptr;
}

DeviceSurface SurfaceOfDC(HDC dc)
{
    auto d = FindDc(dc);
    DeviceSurface s;
    if (!d)
        return s;
    if (d->memory && d->bitmap)
    {
        s.pixels = d->bitmap->pixels.data();
        s.width = d->bitmap->width;
        s.height = d->bitmap->height;
    }
    else if (d->window)
    {
        if (ClientImage* image = GetWindowClientImage(d->window); image && !image->pixels.empty())
        {
            s.pixels = image->pixels.data();
            s.width = image->width;
            s.height = image->height;
        }
    }
    return s;
}

} // namespace win32
