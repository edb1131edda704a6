// Reading rendered pixels back for checks that hold on any Mesa version:
// exact colours where the pipeline is exact (clears, flat unlit colours,
// pixel copies), otherwise counts, bounding boxes and image comparisons with
// a tolerance. No golden images.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wgl
{

// 0xFFRRGGBB.
constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return 0xFF000000u | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b;
}

// Top-down 0xAARRGGBB pixels, as windows hold them.
struct PixelImage
{
    LONG width = 0;
    LONG height = 0;
    std::vector<std::uint32_t> pixels;

    bool Empty() const { return width <= 0 || height <= 0; }
    std::uint32_t At(LONG x, LONG y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The current context's colour buffer over a rectangle in GL window
// coordinates (rows counted from the bottom), returned top-down. GL state is
// left as it was. Empty without a current context.
PixelImage ReadGlPixels(int x, int y, int width, int height);
// One pixel and one depth value at GL window coordinates.
std::uint32_t ReadGlPixel(int x, int y);
double ReadGlDepth(int x, int y);

// What the window shows (its client image).
PixelImage ReadWindowImage(HWND window);

// Colours match when every one of R, G and B differs by at most `tolerance`;
// alpha is ignored (formats without alpha read back opaque).
bool SameColour(std::uint32_t a, std::uint32_t b, int tolerance = 0);
std::size_t CountPixels(const PixelImage& image, std::uint32_t colour, int tolerance = 0);
// Bounding box (right and bottom exclusive, image rows) of the pixels of
// that colour, or of those that differ from it; nothing when there are none.
std::optional<RECT> BoundingBoxOf(const PixelImage& image, std::uint32_t colour, int tolerance = 0);
std::optional<RECT> BoundingBoxOfOthers(const PixelImage& image, std::uint32_t background, int tolerance = 0);
// Pixels whose colours differ by more than the tolerance; images of
// different sizes differ everywhere.
std::size_t CountDifferences(const PixelImage& a, const PixelImage& b, int tolerance = 0);

// Writes the image as <temporary directory>/<name>.png so that a failed check
// can be looked at; returns the path, or an empty string when it cannot.
std::string SaveForInspection(const PixelImage& image, const std::string& name);

} // namespace wgl
