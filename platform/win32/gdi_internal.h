// Shared state of the GDI sources of this folder (objects, device contexts,
// drawing); not part of the platform's interface.
#pragma once

#include "platform/win32/device_context.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/text_render.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace win32::detail
{

struct PenObject : GdiObject
{
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
    bool permanent = false;
    bool Permanent() const override { return permanent; }
};

struct BrushObject : GdiObject
{
    bool hollow = false;
    COLORREF color = 0;
    bool permanent = false;
    bool Permanent() const override { return permanent; }
};

struct FontObject : GdiObject
{
    LOGFONTW logFont{};
    bool permanent = false;
    bool Permanent() const override { return permanent; }
    text::FontSpec Face() const;
};

struct BitmapObject : GdiObject
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// 0x00BBGGRR to an opaque 0xAARRGGBB pixel and back.
inline std::uint32_t PixelOf(COLORREF c)
{
    return 0xFF000000u | (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
           (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}
inline COLORREF ColorOf(std::uint32_t pixel)
{
    return RGB(static_cast<BYTE>(pixel >> 16), static_cast<BYTE>(pixel >> 8), static_cast<BYTE>(pixel));
}

struct DcState
{
    std::shared_ptr<PenObject> pen;
    std::shared_ptr<BrushObject> brush;
    std::shared_ptr<FontObject> font;
    HGDIOBJ penHandle = nullptr;
    HGDIOBJ brushHandle = nullptr;
    HGDIOBJ fontHandle = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    std::optional<RECT> clip; // device coordinates; none: the whole surface
    POINT origin{0, 0};       // logical point shown at device (0, 0)
    POINT position{0, 0};     // current position of MoveToEx/LineTo
};

struct DcObject : GdiObject
{
    HWND window = nullptr; // window contexts
    bool screen = false;
    bool memory = false;
    std::shared_ptr<BitmapObject> bitmap; // memory contexts
    HGDIOBJ bitmapHandle = nullptr;
    std::shared_ptr<BitmapObject> defaultBitmap; // the 1 x 1 bitmap a memory context starts with
    DcState state;
    std::vector<DcState> saved;
};

std::shared_ptr<DcObject> FindDc(HDC dc);
void ResetDcState(DcState& state);
std::shared_ptr<FontObject> DefaultFont();

// A surface with its clip in device coordinates, for one drawing call.
struct Canvas
{
    std::shared_ptr<DcObject> dc;
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    RECT clip{}; // intersected with the surface
    bool Valid() const { return dc != nullptr; }
    bool Inside(int x, int y) const { return x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom; }
    void Put(int x, int y, std::uint32_t pixel)
    {
        if (pixels && Inside(x, y))
            pixels[static_cast<std::size_t>(y) * width + x] = pixel;
    }
    // Device coordinates of a logical point.
    int X(int x) const { return x - dc->state.origin.x; }
    int Y(int y) const { return y - dc->state.origin.y; }
};
Canvas CanvasOf(HDC dc);

} // namespace win32::detail
