#include "platform/gdiplus/text.h"

#include "platform/gdiplus/gdiplus_objects.h"
#include "platform/gdiplus/image_objects.h"
#include "platform/gdiplus/render_scope.h"
#include "platform/win32/text_render.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

using namespace gdiplus::detail;

class GpFontFamily
{
public:
    std::wstring name;
};

class GpFont
{
public:
    std::wstring family;
    double pixelSize = 0;
    INT style = 0;
};

class GpStringFormat
{
public:
    INT flags = 0;
    StringAlignment align = StringAlignmentNear;
    StringAlignment lineAlign = StringAlignmentNear;
};

namespace
{

win32::text::FontSpec SpecOf(const GpFont* font)
{
    win32::text::FontSpec look;
    look.pixelSize = font->pixelSize;
    look.bold = (font->style & FontStyleBold) != 0;
    look.italic = (font->style & FontStyleItalic) != 0;
    look.underline = (font->style & FontStyleUnderline) != 0;
    return look;
}

// The string's characters; false for a length below -1 or a null string
// with a length.
bool TextOf(const WCHAR* string, INT length, std::wstring_view* out)
{
    if (length < -1 || (string == nullptr && length != 0))
        return false;
    if (string == nullptr)
        *out = {};
    else
        *out = length == -1 ? std::wstring_view(string) : std::wstring_view(string, static_cast<std::size_t>(length));
    return true;
}

struct TextLayout
{
    std::vector<std::wstring> lines;
    double width = 0;
    double lineHeight = 0;
    double ascent = 0;
};

// Lines at the text's own breaks, and between words past maxWidth when it
// is positive. A word wider than the width keeps a line of its own.
TextLayout Lay(const win32::text::FontSpec& look, std::wstring_view text, double maxWidth)
{
    TextLayout layout;
    const win32::text::LineExtent face = win32::text::MeasureLine(look, L"");
    layout.lineHeight = face.height;
    layout.ascent = face.ascent;
    auto widthOf = [&](const std::wstring& line) { return win32::text::MeasureLine(look, line).width; };
    std::size_t start = 0;
    while (start <= text.size())
    {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring_view::npos)
            end = text.size();
        std::wstring paragraph(text.substr(start, end - start));
        if (!paragraph.empty() && paragraph.back() == L'\r')
            paragraph.pop_back();
        if (maxWidth > 0 && widthOf(paragraph) > maxWidth)
        {
            std::wstring line;
            std::size_t at = 0;
            while (at < paragraph.size())
            {
                std::size_t next = paragraph.find(L' ', at);
                next = next == std::wstring::npos ? paragraph.size() : next + 1;
                const std::wstring word = paragraph.substr(at, next - at);
                std::wstring candidate = line + word;
                while (!candidate.empty() && candidate.back() == L' ' && widthOf(candidate) > maxWidth)
                    candidate.pop_back();
                if (!line.empty() && widthOf(candidate) > maxWidth)
                {
                    while (!line.empty() && line.back() == L' ')
                        line.pop_back();
                    layout.lines.push_back(line);
                    line = word;
                }
                else
                    line += word;
                at = next;
            }
            while (!line.empty() && line.back() == L' ')
                line.pop_back();
            layout.lines.push_back(line);
        }
        else
            layout.lines.push_back(paragraph);
        start = end + 1;
    }
    for (const std::wstring& line : layout.lines)
        layout.width = std::max(layout.width, widthOf(line));
    return layout;
}

double AlignedOffset(StringAlignment align, double room, double extent)
{
    if (room <= 0)
        return 0;
    switch (align)
    {
    case StringAlignmentCenter: return (room - extent) / 2;
    case StringAlignmentFar: return room - extent;
    default: return 0;
    }
}

bool Finite(const GpRectF& r)
{
    return std::isfinite(r.X) && std::isfinite(r.Y) && std::isfinite(r.Width) && std::isfinite(r.Height);
}

} // namespace

Status GdipCreateFontFamilyFromName(const WCHAR* name, void*, GpFontFamily** family)
{
    if (name == nullptr || family == nullptr)
        return InvalidParameter;
    auto* created = new (std::nothrow) GpFontFamily{name};
    if (created == nullptr)
        return OutOfMemory;
    *family = created;
    return Ok;
}

Status GdipDeleteFontFamily(GpFontFamily* family)
{
    if (family == nullptr)
        return InvalidParameter;
    delete family;
    return Ok;
}

Status GdipCreateFont(const GpFontFamily* family, REAL emSize, INT style, INT unit, GpFont** font)
{
    if (family == nullptr || font == nullptr || !std::isfinite(emSize) || emSize <= 0)
        return InvalidParameter;
    double pixels = emSize;
    switch (unit)
    {
    case UnitPoint: pixels = emSize * 96.0 / 72.0; break;
    case UnitInch: pixels = emSize * 96.0; break;
    case UnitDocument: pixels = emSize * 96.0 / 300.0; break;
    case UnitMillimeter: pixels = emSize * 96.0 / 25.4; break;
    case UnitWorld:
    case UnitPixel: break;
    default: return InvalidParameter;
    }
    auto* created = new (std::nothrow) GpFont{family->name, pixels, style};
    if (created == nullptr)
        return OutOfMemory;
    *font = created;
    return Ok;
}

Status GdipDeleteFont(GpFont* font)
{
    if (font == nullptr)
        return InvalidParameter;
    delete font;
    return Ok;
}

Status GdipGetFontPixelSize(const GpFont* font, REAL* size)
{
    if (font == nullptr || size == nullptr)
        return InvalidParameter;
    *size = static_cast<REAL>(font->pixelSize);
    return Ok;
}

Status GdipCreateStringFormat(INT formatFlags, WORD, GpStringFormat** format)
{
    if (format == nullptr)
        return InvalidParameter;
    auto* created = new (std::nothrow) GpStringFormat{formatFlags};
    if (created == nullptr)
        return OutOfMemory;
    *format = created;
    return Ok;
}

Status GdipDeleteStringFormat(GpStringFormat* format)
{
    if (format == nullptr)
        return InvalidParameter;
    delete format;
    return Ok;
}

Status GdipSetStringFormatAlign(GpStringFormat* format, StringAlignment align)
{
    if (format == nullptr || align < StringAlignmentNear || align > StringAlignmentFar)
        return InvalidParameter;
    format->align = align;
    return Ok;
}

Status GdipSetStringFormatLineAlign(GpStringFormat* format, StringAlignment align)
{
    if (format == nullptr || align < StringAlignmentNear || align > StringAlignmentFar)
        return InvalidParameter;
    format->lineAlign = align;
    return Ok;
}

Status GdipSetTextRenderingHint(GpGraphics* graphics, TextRenderingHint mode)
{
    if (graphics == nullptr || mode < TextRenderingHintSystemDefault || mode > TextRenderingHintClearTypeGridFit)
        return InvalidParameter;
    graphics->textRenderingHint = mode;
    return Ok;
}

Status GdipGetTextRenderingHint(GpGraphics* graphics, TextRenderingHint* mode)
{
    if (graphics == nullptr || mode == nullptr)
        return InvalidParameter;
    *mode = static_cast<TextRenderingHint>(graphics->textRenderingHint);
    return Ok;
}

Status GdipMeasureString(GpGraphics* graphics, const WCHAR* string, INT length, const GpFont* font,
                         const GpRectF* layoutRect, const GpStringFormat*, GpRectF* boundingBox,
                         INT* codepointsFitted, INT* linesFilled)
{
    std::wstring_view text;
    if (graphics == nullptr || font == nullptr || layoutRect == nullptr || boundingBox == nullptr ||
        !TextOf(string, length, &text) || !Finite(*layoutRect))
        return InvalidParameter;
    const TextLayout layout = text.empty() ? TextLayout{} : Lay(SpecOf(font), text, layoutRect->Width);
    *boundingBox = GpRectF{layoutRect->X, layoutRect->Y, static_cast<REAL>(layout.width),
                           static_cast<REAL>(layout.lineHeight * static_cast<double>(layout.lines.size()))};
    if (codepointsFitted != nullptr)
        *codepointsFitted = static_cast<INT>(text.size());
    if (linesFilled != nullptr)
        *linesFilled = static_cast<INT>(layout.lines.size());
    return Ok;
}

Status GdipDrawString(GpGraphics* graphics, const WCHAR* string, INT length, const GpFont* font,
                      const GpRectF* layoutRect, const GpStringFormat* format, const GpBrush* brush)
{
    std::wstring_view text;
    if (graphics == nullptr || font == nullptr || layoutRect == nullptr || brush == nullptr ||
        !TextOf(string, length, &text) || !Finite(*layoutRect))
        return InvalidParameter;
    const auto* solid = dynamic_cast<const GpSolidFill*>(brush);
    if (solid == nullptr)
        return NotImplemented;
    if (text.empty())
        return Ok;
    const win32::text::FontSpec look = SpecOf(font);
    const GpRectF& r = *layoutRect;
    const TextLayout layout = Lay(look, text, r.Width);
    const double total = layout.lineHeight * static_cast<double>(layout.lines.size());
    // A layout rectangle with both extents clips the text to it.
    const bool clip = r.Width > 0 && r.Height > 0;
    const double x0 = r.X, y0 = r.Y;
    const double x1 = clip ? r.X + r.Width : r.X + std::max<double>(r.Width, layout.width) + look.pixelSize;
    const double y1 = clip ? r.Y + r.Height : r.Y + std::max<double>(r.Height, total) + look.pixelSize;
    const double xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
    double bounds[4];
    DeviceBounds(graphics, xs, ys, 4, 1.0, bounds);
    RenderScope scope(graphics, bounds);
    if (scope.GetStatus() != Ok || scope.Context() == nullptr)
        return scope.GetStatus();
    cairo_t* cr = scope.Context();
    if (clip)
    {
        cairo_rectangle(cr, r.X, r.Y, r.Width, r.Height);
        cairo_clip(cr);
    }
    const int hint = graphics->textRenderingHint;
    const bool antialias = hint == TextRenderingHintAntiAliasGridFit || hint == TextRenderingHintAntiAlias ||
                           hint == TextRenderingHintClearTypeGridFit;
    win32::text::SelectFont(cr, look, antialias);
    const ARGB c = solid->colour;
    cairo_set_source_rgba(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0,
                          (c >> 24) / 255.0);
    const StringAlignment align = format != nullptr ? format->align : StringAlignmentNear;
    const StringAlignment lineAlign = format != nullptr ? format->lineAlign : StringAlignmentNear;
    double top = r.Y + AlignedOffset(lineAlign, r.Height, total);
    for (const std::wstring& line : layout.lines)
    {
        if (!line.empty())
        {
            const double width = win32::text::MeasureLine(look, line).width;
            std::string utf8 = win32::text::ToUtf8(line);
            std::replace(utf8.begin(), utf8.end(), '\0', ' ');
            cairo_move_to(cr, std::round(r.X + AlignedOffset(align, r.Width, width)), std::round(top + layout.ascent));
            cairo_show_text(cr, utf8.c_str());
        }
        top += layout.lineHeight;
    }
    return Ok;
}
