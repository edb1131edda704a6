// Internal to the GDI+ layer: the objects behind the flat functions' opaque
// pointers and the pixel conversions they share.
#pragma once

#include "platform/gdiplus/gdiplus_types.h"

#include <cairo.h>

#include <cstdint>
#include <vector>

namespace gdiplus::detail
{

// Status for functions called outside a GdiplusStartup/Shutdown pair.
bool Started();

inline std::uint32_t Premultiply(std::uint32_t argb)
{
    const std::uint32_t a = argb >> 24;
    if (a == 255)
        return argb;
    if (a == 0)
        return 0;
    auto channel = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return (a << 24) | (channel((argb >> 16) & 0xFF) << 16) | (channel((argb >> 8) & 0xFF) << 8) |
           channel(argb & 0xFF);
}

inline std::uint32_t Unpremultiply(std::uint32_t argb)
{
    const std::uint32_t a = argb >> 24;
    if (a == 255)
        return argb;
    if (a == 0)
        return 0;
    auto channel = [a](std::uint32_t c) {
        const std::uint32_t v = (c * 255 + a / 2) / a;
        return v > 255 ? 255u : v;
    };
    return (a << 24) | (channel((argb >> 16) & 0xFF) << 16) | (channel((argb >> 8) & 0xFF) << 8) |
           channel(argb & 0xFF);
}

} // namespace gdiplus::detail

class GpMatrix
{
public:
    cairo_matrix_t m{1, 0, 0, 1, 0, 0};
};

class GpPen
{
public:
    ARGB colour = 0xFF000000;
    REAL width = 1.0f;
    Unit unit = UnitWorld;
    LineJoin join = LineJoinMiter;
    PenAlignment alignment = PenAlignmentCenter;
    DashStyle dash = DashStyleSolid;
};

class GpGraphics
{
public:
    explicit GpGraphics(GpBitmap* bitmap) : target(bitmap) {}

    struct SavedState
    {
        GraphicsState id;
        cairo_matrix_t world;
        bool clipped;
        double clip[4];
        SmoothingMode smoothing;
        CompositingMode compositing;
    };

    GpBitmap* target;
    cairo_matrix_t world{1, 0, 0, 1, 0, 0};
    // Clip in device pixels (x0, y0, x1, y1), when any.
    bool clipped = false;
    double clip[4] = {0, 0, 0, 0};
    SmoothingMode smoothing = SmoothingModeNone;
    int textRenderingHint = 0; // TextRenderingHint
    CompositingMode compositing = CompositingModeSourceOver;
    std::vector<SavedState> saved;
    GraphicsState nextState = 1;
};
