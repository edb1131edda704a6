#include "platform/win32/text_render.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace win32::text
{

namespace
{

// The one face every font maps to (the Liberation fonts are installed by
// scripts/setup.sh; fontconfig falls back to another sans face without them).
constexpr const char* kFaceFamily = "Liberation Sans";

// cairo's font lookup goes through fontconfig, which is not free; faces are
// kept for the process (four at most).
cairo_font_face_t* Face(bool bold, bool italic)
{
    static std::mutex lock;
    static cairo_font_face_t* faces[2][2] = {};
    std::lock_guard<std::mutex> guard(lock);
    cairo_font_face_t*& face = faces[bold][italic];
    if (!face)
        face = cairo_toy_font_face_create(kFaceFamily, italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                                          bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    return face;
}

double SafeSize(double size)
{
    if (!std::isfinite(size) || size < 1.0)
        return 1.0;
    return std::min(size, 2000.0);
}

void SetFont(cairo_t* cr, const FontSpec& font, bool antialias)
{
    cairo_set_font_face(cr, Face(font.bold, font.italic));
    cairo_set_font_size(cr, SafeSize(font.pixelSize));
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

// A scratch context for measuring.
cairo_t* MeasureContext()
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(surface);
    cairo_surface_destroy(surface);
    return cr;
}

} // namespace

void SelectFont(cairo_t* cr, const FontSpec& font, bool antialias) { SetFont(cr, font, antialias); }

std::string ToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text)
    {
        auto c = static_cast<std::uint32_t>(wc);
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            c = 0xFFFD;
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0x800)
        {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

LineExtent MeasureLine(const FontSpec& font, std::wstring_view line)
{
    cairo_t* cr = MeasureContext();
    SetFont(cr, font, false);
    cairo_font_extents_t fe{};
    cairo_font_extents(cr, &fe);
    LineExtent out;
    out.ascent = std::ceil(fe.ascent);
    out.descent = std::ceil(fe.descent);
    out.height = out.ascent + out.descent;
    if (!line.empty())
    {
        // A NUL inside the text would end cairo's string early.
        std::string utf8 = ToUtf8(line);
        std::replace(utf8.begin(), utf8.end(), '\0', ' ');
        cairo_text_extents_t te{};
        cairo_text_extents(cr, utf8.c_str(), &te);
        out.width = std::ceil(te.x_advance);
    }
    cairo_destroy(cr);
    return out;
}

void DrawLine(const PixelTarget& target, const FontSpec& font, std::wstring_view line, double x, double baseline,
              std::uint32_t argb, bool antialias)
{
    const int left = std::max(0, target.clipLeft);
    const int top = std::max(0, target.clipTop);
    const int right = std::min(target.width, target.clipRight);
    const int bottom = std::min(target.height, target.clipBottom);
    if (!target.pixels || line.empty() || left >= right || top >= bottom)
        return;
    if (!std::isfinite(x) || !std::isfinite(baseline))
        return;
    // The images keep straight alpha and cairo premultiplied; text is drawn
    // opaque, and the pixels it covers are opaque afterwards, so the two
    // agree wherever the text lands.
    cairo_surface_t* surface =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(target.pixels), CAIRO_FORMAT_ARGB32,
                                            target.width, target.height, target.width * 4);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(surface);
        return;
    }
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_clip(cr);
    SetFont(cr, font, antialias);
    cairo_set_antialias(cr, antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgb(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0);
    std::string utf8 = ToUtf8(line);
    std::replace(utf8.begin(), utf8.end(), '\0', ' ');
    cairo_move_to(cr, std::round(x), std::round(baseline));
    cairo_show_text(cr, utf8.c_str());
    if (font.underline)
    {
        cairo_text_extents_t te{};
        cairo_text_extents(cr, utf8.c_str(), &te);
        cairo_rectangle(cr, std::round(x), std::round(baseline) + 1, std::ceil(te.x_advance), 1);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
}

} // namespace win32::text
