// GDI+ started for the length of a test, and small helpers shared by the
// GDI+ tests.
#pragma once

#include "platform/gdiplus/gdiplus.h"

#include <cstdint>
#include <vector>

namespace testgdiplus
{

class Session
{
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

private:
    ULONG_PTR m_token = 0;
};

// A top-down ARGB bitmap with pixels of its own, filled with `fill`.
GpBitmap* MakeBitmap(int width, int height, ARGB fill = 0);
ARGB PixelAt(GpBitmap* bitmap, int x, int y);
// Pixels equal to `colour`, and their bounding box (x0, y0, x1, y1 exclusive).
int CountColour(GpBitmap* bitmap, ARGB colour, GpRect* bounds = nullptr);

// A packed DIB or BMP file (with its file header) of 24-bit pixels given
// top-down as 0xRRGGBB.
std::vector<std::uint8_t> Bmp24(int width, int height, const std::vector<std::uint32_t>& pixels, bool fileHeader,
                                bool topDown = false);
// A PNG file made by cairo from straight ARGB pixels, top-down.
std::vector<std::uint8_t> Png(int width, int height, const std::vector<std::uint32_t>& pixels);

} // namespace testgdiplus
