// Text into 32-bit pixel images. Every layer that draws text (GDI text of the
// controls, GDI+ strings) goes through here, so that all windows show one
// face and measure text alike. Whatever face a caller asks for, the text is
// set in one installed sans-serif face at the requested pixel size: the
// stand-in keeps layout and legibility, not the look of other faces.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct _cairo; // cairo_t

namespace win32::text
{

struct FontSpec
{
    double pixelSize = 11.0; // em size in pixels
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

struct LineExtent
{
    double width = 0;   // advance of the whole line
    double ascent = 0;  // of the face, not of this text
    double descent = 0;
    double height = 0;  // ascent + descent (+ the face's line gap)
};

// Pixels 0xAARRGGBB, rows top-down, stride = width. Drawing stays inside
// the clip rectangle (right and bottom exclusive) and the image.
struct PixelTarget
{
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int clipLeft = 0;
    int clipTop = 0;
    int clipRight = 0;
    int clipBottom = 0;
};

// Metrics of the face at the font's size (an empty line has width 0).
LineExtent MeasureLine(const FontSpec& font, std::wstring_view line);

// Draws one line with its baseline at y. Antialiased text blends into the
// image; without antialiasing every touched pixel takes the colour, so tests
// can look for exact colours.
void DrawLine(const PixelTarget& target, const FontSpec& font, std::wstring_view line, double x, double baseline,
              std::uint32_t argb, bool antialias = false);

// Sets the face, size and antialiasing of a cairo context as DrawLine does,
// for layers that draw text through their own cairo context.
void SelectFont(_cairo* cr, const FontSpec& font, bool antialias);

// Wide text as UTF-8; code points that are not Unicode scalar values
// (surrogates, values past U+10FFFF) become U+FFFD.
std::string ToUtf8(std::wstring_view text);

} // namespace win32::text
