#include "support/gdiplus_session.h"

#include <cairo.h>

#include <cstring>

namespace testgdiplus
{

Session::Session()
{
    GdiplusStartupInput input;
    GdiplusStartup(&m_token, &input, nullptr);
}

Session::~Session() { GdiplusShutdown(m_token); }

GpBitmap* MakeBitmap(int width, int height, ARGB fill)
{
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap) != Ok)
        return nullptr;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            GdipBitmapSetPixel(bitmap, x, y, fill);
    return bitmap;
}

ARGB PixelAt(GpBitmap* bitmap, int x, int y)
{
    ARGB colour = 0;
    GdipBitmapGetPixel(bitmap, x, y, &colour);
    return colour;
}

int CountColour(GpBitmap* bitmap, ARGB colour, GpRect* bounds)
{
    UINT width = 0, height = 0;
    GdipGetImageWidth(bitmap, &width);
    GdipGetImageHeight(bitmap, &height);
    int count = 0;
    int x0 = INT32_MAX, y0 = INT32_MAX, x1 = INT32_MIN, y1 = INT32_MIN;
    for (int y = 0; y < int(height); ++y)
        for (int x = 0; x < int(width); ++x)
            if (PixelAt(bitmap, x, y) == colour)
            {
                ++count;
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x + 1);
                y1 = std::max(y1, y + 1);
            }
    if (bounds)
        *bounds = count ? GpRect{x0, y0, x1 - x0, y1 - y0} : GpRect{0, 0, 0, 0};
    return count;
}

namespace
{

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

std::vector<std::uint8_t> Bmp24(int width, int height, const std::vector<std::uint32_t>& pixels, bool fileHeader,
                                bool topDown)
{
    const std::uint32_t stride = ((std::uint32_t(width) * 24 + 31) / 32) * 4;
    std::vector<std::uint8_t> out;
    if (fileHeader)
    {
        out.push_back('B');
        out.push_back('M');
        Put32(out, 14 + 40 + stride * std::uint32_t(height));
        Put32(out, 0);
        Put32(out, 14 + 40);
    }
    Put32(out, 40);
    Put32(out, std::uint32_t(width));
    Put32(out, std::uint32_t(topDown ? -height : height));
    Put16(out, 1);
    Put16(out, 24);
    for (int i = 0; i < 6; ++i)
        Put32(out, 0);
    for (int i = 0; i < height; ++i)
    {
        const int row = topDown ? i : height - 1 - i;
        std::uint32_t written = 0;
        for (int x = 0; x < width; ++x)
        {
            const std::uint32_t p = pixels[std::size_t(row) * std::size_t(width) + std::size_t(x)];
            out.insert(out.end(), {std::uint8_t(p), std::uint8_t(p >> 8), std::uint8_t(p >> 16)});
            written += 3;
        }
        for (; written < stride; ++written)
            out.push_back(0);
    }
    return out;
}

std::vector<std::uint8_t> Png(int width, int height, const std::vector<std::uint32_t>& pixels)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            const std::uint32_t p = pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            const std::uint32_t a = p >> 24;
            auto channel = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            const std::uint32_t premultiplied =
                (a << 24) | (channel((p >> 16) & 0xFF) << 16) | (channel((p >> 8) & 0xFF) << 8) | channel(p & 0xFF);
            std::memcpy(data + std::ptrdiff_t(y) * stride + x * 4, &premultiplied, 4);
        }
    cairo_surface_mark_dirty(surface);
    std::vector<std::uint8_t> out;
    cairo_surface_write_to_png_stream(surface, &Append, &out);
    cairo_surface_destroy(surface);
    return out;
}

} // namespace testgdiplus
