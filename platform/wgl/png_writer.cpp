#include "platform/wgl/png_writer.h"

#include "platform/win32/window.h"

#include <cairo.h>

namespace wgl
{
namespace
{

bool Fail(std::string* error, std::string reason)
{
    if (error)
        *error = std::move(reason);
    return false;
}

// cairo keeps premultiplied alpha; the images here are straight.
std::uint32_t Premultiply(std::uint32_t argb)
{
    const std::uint32_t a = argb >> 24;
    if (a == 255)
        return argb;
    auto channel = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return (a << 24) | (channel((argb >> 16) & 0xFF) << 16) | (channel((argb >> 8) & 0xFF) << 8) |
           channel(argb & 0xFF);
}

} // namespace

bool WritePng(const std::filesystem::path& path, LONG width, LONG height, const std::uint32_t* pixels,
              std::string* error)
{
    if (width <= 0 || height <= 0 || !pixels)
        return Fail(error, "the image is empty");
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(surface);
        return Fail(error, "cannot allocate an image of that size");
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (LONG y = 0; y < height; ++y)
    {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(stride) * y);
        const std::uint32_t* from = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (LONG x = 0; x < width; ++x)
            row[x] = Premultiply(from[x]);
    }
    cairo_surface_mark_dirty(surface);
    cairo_status_t status = cairo_surface_write_to_png(surface, path.string().c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        return Fail(error, std::string("cannot write ") + path.string() + ": " + cairo_status_to_string(status));
    return true;
}

bool WriteWindowPng(HWND window, const std::filesystem::path& path, std::string* error)
{
    const win32::ClientImage* image = win32::GetWindowClientImage(window);
    if (!image)
        return Fail(error, "no such window");
    return WritePng(path, image->width, image->height, image->pixels.data(), error);
}

} // namespace wgl
