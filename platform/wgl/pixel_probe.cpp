#define GL_GLEXT_PROTOTYPES 1
#include "platform/wgl/pixel_probe.h"

#include "platform/wgl/context.h"
#include "platform/wgl/gl_pixel_scope.h"
#include "platform/wgl/png_writer.h"
#include "platform/win32/window.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace wgl
{

PixelImage ReadGlPixels(int x, int y, int width, int height)
{
    PixelImage image;
    if (!wglGetCurrentContext() || width <= 0 || height <= 0)
        return image;
    detail::GlPixelScope scope;
    if (!scope.Ok())
        return image;
    std::vector<std::uint32_t> rows(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    glReadPixels(x, y, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
    image.width = width;
    image.height = height;
    image.pixels.resize(rows.size());
    for (int row = 0; row < height; ++row)
        std::copy_n(rows.begin() + static_cast<std::ptrdiff_t>(row) * width, width,
                    image.pixels.begin() + static_cast<std::ptrdiff_t>(height - 1 - row) * width);
    return image;
}

std::uint32_t ReadGlPixel(int x, int y)
{
    PixelImage image = ReadGlPixels(x, y, 1, 1);
    return image.Empty() ? 0 : image.pixels[0];
}

double ReadGlDepth(int x, int y)
{
    if (!wglGetCurrentContext())
        return -1.0;
    detail::GlPixelScope scope;
    if (!scope.Ok())
        return -1.0;
    GLfloat depth = -1.0f;
    glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    return depth;
}

PixelImage ReadWindowImage(HWND window)
{
    PixelImage image;
    if (const win32::ClientImage* client = win32::GetWindowClientImage(window))
    {
        image.width = client->width;
        image.height = client->height;
        image.pixels = client->pixels;
    }
    return image;
}

bool SameColour(std::uint32_t a, std::uint32_t b, int tolerance)
{
    for (int shift : {0, 8, 16})
    {
        int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance)
            return false;
    }
    return true;
}

std::size_t CountPixels(const PixelImage& image, std::uint32_t colour, int tolerance)
{
    return static_cast<std::size_t>(std::count_if(image.pixels.begin(), image.pixels.end(),
                                                  [&](std::uint32_t p) { return SameColour(p, colour, tolerance); }));
}

namespace
{

template <class Keep> std::optional<RECT> BoundingBox(const PixelImage& image, Keep keep)
{
    RECT box{image.width, image.height, 0, 0};
    bool any = false;
    for (LONG y = 0; y < image.height; ++y)
        for (LONG x = 0; x < image.width; ++x)
            if (keep(image.At(x, y)))
            {
                any = true;
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    if (!any)
        return std::nullopt;
    return box;
}

} // namespace

std::optional<RECT> BoundingBoxOf(const PixelImage& image, std::uint32_t colour, int tolerance)
{
    return BoundingBox(image, [&](std::uint32_t p) { return SameColour(p, colour, tolerance); });
}

std::optional<RECT> BoundingBoxOfOthers(const PixelImage& image, std::uint32_t background, int tolerance)
{
    return BoundingBox(image, [&](std::uint32_t p) { return !SameColour(p, background, tolerance); });
}

std::size_t CountDifferences(const PixelImage& a, const PixelImage& b, int tolerance)
{
    if (a.width != b.width || a.height != b.height)
        return std::max(a.pixels.size(), b.pixels.size());
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        if (!SameColour(a.pixels[i], b.pixels[i], tolerance))
            ++count;
    return count;
}

std::string SaveForInspection(const PixelImage& image, const std::string& name)
{
    std::error_code ec;
    std::filesystem::path path = std::filesystem::temp_directory_path(ec) / (name + ".png");
    if (ec || !WritePng(path, image.width, image.height, image.pixels.data()))
        return {};
    return path.string();
}

} // namespace wgl
