#include "platform/win32/gdi_paint.h"
#include "platform/win32/gdi_internal.h"
#include "platform/win32/window.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

using namespace win32::detail;

namespace
{

// Fills a rectangle given in device coordinates, inside the clip.
void FillDevice(Canvas& c, RECT r, std::uint32_t pixel)
{
    RECT in{};
    if (!c.pixels || !IntersectRect(&in, &r, &c.clip))
        return;
    for (LONG y = in.top; y < in.bottom; ++y)
        std::fill_n(c.pixels + static_cast<std::size_t>(y) * c.width + in.left, in.right - in.left, pixel);
}

void InvertDevice(Canvas& c, RECT r)
{
    RECT in{};
    if (!c.pixels || !IntersectRect(&in, &r, &c.clip))
        return;
    for (LONG y = in.top; y < in.bottom; ++y)
    {
        std::uint32_t* row = c.pixels + static_cast<std::size_t>(y) * c.width;
        for (LONG x = in.left; x < in.right; ++x)
            row[x] = (row[x] & 0xFF000000u) | (~row[x] & 0x00FFFFFFu);
    }
}

RECT ToDevice(const Canvas& c, const RECT& r)
{
    return RECT{c.X(r.left), c.Y(r.top), c.X(r.right), c.Y(r.bottom)};
}

std::shared_ptr<BrushObject> BrushOf(HBRUSH brush)
{
    // Brushes may also be given as a system colour index plus one.
    auto value = reinterpret_cast<std::uintptr_t>(brush);
    if (value > 0 && value <= 31)
        brush = GetSysColorBrush(static_cast<int>(value - 1));
    return win32::LookupGdiObjectAs<BrushObject>(brush);
}

// A line from (x0, y0) to (x1, y1) in device coordinates, the last point
// left out; pens wider than one pixel stamp a square.
// Shortens a segment that reaches far outside the surface to the part near
// it (Liang-Barsky), so that the pixel walk below stays short and its
// arithmetic cannot overflow. Lines near the surface are left exact.
bool ClipFarSegment(const Canvas& c, long long& x0, long long& y0, long long& x1, long long& y1, bool& endKept)
{
    constexpr long long kMargin = 64;
    const double minX = c.clip.left - kMargin, maxX = c.clip.right + kMargin;
    const double minY = c.clip.top - kMargin, maxY = c.clip.bottom + kMargin;
    auto inside = [&](long long x, long long y) { return x >= minX && x <= maxX && y >= minY && y <= maxY; };
    endKept = true;
    if (inside(x0, y0) && inside(x1, y1))
        return true;
    const double dx = static_cast<double>(x1 - x0), dy = static_cast<double>(y1 - y0);
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - minX, maxX - x0, y0 - minY, maxY - y0};
    for (int i = 0; i < 4; ++i)
    {
        if (p[i] == 0)
        {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const double ox = static_cast<double>(x0), oy = static_cast<double>(y0);
    x0 = std::llround(ox + t0 * dx);
    y0 = std::llround(oy + t0 * dy);
    if (t1 < 1)
    {
        x1 = std::llround(ox + t1 * dx);
        y1 = std::llround(oy + t1 * dy);
        endKept = false;
    }
    return true;
}

void DrawLineDevice(Canvas& c, int fromX, int fromY, int toX, int toY, const PenObject& pen)
{
    if (pen.style == PS_NULL)
        return;
    long long lx0 = fromX, ly0 = fromY, lx1 = toX, ly1 = toY;
    bool endKept = true;
    if (!ClipFarSegment(c, lx0, ly0, lx1, ly1, endKept))
        return;
    const int x0 = static_cast<int>(lx0), y0 = static_cast<int>(ly0);
    const int x1 = static_cast<int>(lx1), y1 = static_cast<int>(ly1);
    const std::uint32_t pixel = PixelOf(pen.color);
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int x = x0;
    int y = y0;
    int step = 0;
    const int half = (pen.width - 1) / 2;
    // Bounded by the longer side, so extreme coordinates cannot loop long.
    const long long steps = std::max<long long>(dx, -static_cast<long long>(dy)) + (endKept ? 0 : 1);
    for (long long i = 0; i < steps; ++i, ++step)
    {
        const bool on = pen.style == PS_DOT ? step % 2 == 0 : pen.style == PS_DASH ? step % 8 < 6 : true;
        if (on)
        {
            if (pen.width <= 1)
                c.Put(x, y, pixel);
            else
                FillDevice(c, RECT{x - half, y - half, x - half + pen.width, y - half + pen.width}, pixel);
        }
        const int e2 = 2 * err;
        if (e2 >= dy)
        {
            err += dy;
            x += sx;
        }
        if (e2 <= dx)
        {
            err += dx;
            y += sy;
        }
    }
}

std::wstring StripPrefixes(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == L'&')
        {
            if (i + 1 < text.size() && text[i + 1] == L'&')
            {
                out += L'&';
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

std::wstring ExpandTabs(std::wstring_view text)
{
    std::wstring out;
    for (wchar_t ch : text)
    {
        if (ch == L'\t')
            out.append(8 - out.size() % 8, L' ');
        else
            out += ch;
    }
    return out;
}

// Breaks text into lines: at line breaks, and with word breaking where a
// line would pass the width (a single word wider than the line is cut only
// at its end, as the text runs on).
std::vector<std::wstring> BreakLines(const std::wstring& text, const win32::text::FontSpec& font, bool wordBreak,
                                     bool singleLine, int width)
{
    std::vector<std::wstring> lines;
    if (singleLine)
    {
        std::wstring one;
        for (wchar_t ch : text)
            if (ch != L'\r' && ch != L'\n')
                one += ch;
        lines.push_back(one);
        return lines;
    }
    std::wstring current;
    auto flush = [&] {
        lines.push_back(current);
        current.clear();
    };
    std::size_t i = 0;
    while (i < text.size())
    {
        wchar_t ch = text[i];
        if (ch == L'\r' || ch == L'\n')
        {
            flush();
            if (ch == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
            ++i;
            continue;
        }
        if (!wordBreak)
        {
            current += ch;
            ++i;
            continue;
        }
        // Next word with the spaces before it.
        std::size_t end = i;
        while (end < text.size() && text[end] == L' ')
            ++end;
        while (end < text.size() && text[end] != L' ' && text[end] != L'\r' && text[end] != L'\n')
            ++end;
        std::wstring candidate = current + text.substr(i, end - i);
        if (!current.empty() && win32::text::MeasureLine(font, candidate).width > width)
        {
            flush();
            std::size_t start = i;
            while (start < end && text[start] == L' ')
                ++start;
            current = text.substr(start, end - start);
        }
        else
            current = candidate;
        i = end;
    }
    if (!current.empty() || lines.empty() || (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')))
        flush();
    return lines;
}

win32::text::PixelTarget TargetOf(const Canvas& c)
{
    win32::text::PixelTarget t;
    t.pixels = c.pixels;
    t.width = c.width;
    t.height = c.height;
    t.clipLeft = c.clip.left;
    t.clipTop = c.clip.top;
    t.clipRight = c.clip.right;
    t.clipBottom = c.clip.bottom;
    return t;
}

win32::text::FontSpec FontSpecOf(const Canvas& c)
{
    return c.dc->state.font ? c.dc->state.font->Face() : DefaultFont()->Face();
}

// Draws one line at a logical top-left corner, with the background box in
// opaque mode.
void DrawTextLine(Canvas& c, const std::wstring& line, int x, int top, const RECT* clipTo)
{
    const win32::text::FontSpec font = FontSpecOf(c);
    const win32::text::LineExtent ext = win32::text::MeasureLine(font, line);
    Canvas local = c;
    if (clipTo)
    {
        RECT device = ToDevice(c, *clipTo);
        RECT in{};
        IntersectRect(&in, &local.clip, &device);
        local.clip = in;
    }
    if (c.dc->state.bkMode == OPAQUE)
        FillDevice(local,
                   RECT{c.X(x), c.Y(top), c.X(x) + static_cast<LONG>(ext.width),
                        c.Y(top) + static_cast<LONG>(ext.height)},
                   PixelOf(c.dc->state.bkColor));
    win32::text::DrawLine(TargetOf(local), font, line, c.X(x), c.Y(top) + ext.ascent, PixelOf(c.dc->state.textColor));
}

std::wstring WithEllipsis(const std::wstring& line, const win32::text::FontSpec& font, int width)
{
    if (win32::text::MeasureLine(font, line).width <= width)
        return line;
    std::wstring cut = line;
    while (!cut.empty() && win32::text::MeasureLine(font, cut + L"...").width > width)
        cut.pop_back();
    return cut + L"...";
}

} // namespace

int FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    Canvas c = CanvasOf(dc);
    auto b = BrushOf(brush);
    if (!c.Valid() || !rect || !b)
        return 0;
    if (!b->hollow)
        FillDevice(c, ToDevice(c, *rect), PixelOf(b->color));
    return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    Canvas c = CanvasOf(dc);
    auto b = BrushOf(brush);
    if (!c.Valid() || !rect || !b)
        return 0;
    if (b->hollow || IsRectEmpty(rect))
        return 1;
    RECT r = ToDevice(c, *rect);
    const std::uint32_t p = PixelOf(b->color);
    FillDevice(c, RECT{r.left, r.top, r.right, r.top + 1}, p);
    FillDevice(c, RECT{r.left, r.bottom - 1, r.right, r.bottom}, p);
    FillDevice(c, RECT{r.left, r.top, r.left + 1, r.bottom}, p);
    FillDevice(c, RECT{r.right - 1, r.top, r.right, r.bottom}, p);
    return 1;
}

BOOL InvertRect(HDC dc, const RECT* rect)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid() || !rect)
        return FALSE;
    InvertDevice(c, ToDevice(c, *rect));
    return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid())
        return FALSE;
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
    RECT r = ToDevice(c, RECT{left, top, right, bottom});
    const DcState& s = c.dc->state;
    const bool outline = s.pen && s.pen->style != PS_NULL;
    if (s.brush && !s.brush->hollow)
    {
        RECT inner = r;
        if (outline)
            InflateRect(&inner, -1, -1);
        FillDevice(c, inner, PixelOf(s.brush->color));
    }
    if (outline)
    {
        const PenObject& pen = *s.pen;
        DrawLineDevice(c, r.left, r.top, r.right - 1, r.top, pen);
        DrawLineDevice(c, r.right - 1, r.top, r.right - 1, r.bottom - 1, pen);
        DrawLineDevice(c, r.right - 1, r.bottom - 1, r.left, r.bottom - 1, pen);
        DrawLineDevice(c, r.left, r.bottom - 1, r.left, r.top, pen);
    }
    return TRUE;
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid())
        return FALSE;
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
    const RECT r = ToDevice(c, RECT{left, top, right, bottom});
    const long long w = static_cast<long long>(r.right) - r.left, h = static_cast<long long>(r.bottom) - r.top;
    if (w <= 0 || h <= 0 || !c.pixels)
        return TRUE;
    const double rx = std::clamp<double>(std::abs(ellipseWidth), 0.0, static_cast<double>(w)) / 2.0;
    const double ry = std::clamp<double>(std::abs(ellipseHeight), 0.0, static_cast<double>(h)) / 2.0;
    // How far row y (0 at the top) starts inside the rectangle's left edge.
    auto inset = [&](long long y) -> long long {
        const double fromEdge = std::min<double>(y, h - 1 - y) + 0.5;
        if (ry <= 0.0 || fromEdge >= ry)
            return 0;
        const double t = (ry - fromEdge) / ry;
        return static_cast<long long>(std::lround(rx - rx * std::sqrt(std::max(0.0, 1.0 - t * t))));
    };
    auto inside = [&](long long x, long long y) {
        if (y < 0 || y >= h)
            return false;
        const long long in = inset(y);
        return x >= in && x < w - in;
    };
    const DcState& s = c.dc->state;
    const bool outline = s.pen && s.pen->style != PS_NULL;
    const bool fill = s.brush && !s.brush->hollow;
    // Rows far outside the surface are skipped before their pixels are walked.
    const long long y0 = std::max<long long>(0, c.clip.top - r.top), y1 = std::min<long long>(h, c.clip.bottom - r.top);
    for (long long y = y0; y < y1; ++y)
    {
        const long long in = inset(y);
        const long long x0 = std::max<long long>(in, c.clip.left - r.left);
        const long long x1 = std::min<long long>(w - in, c.clip.right - r.left);
        for (long long x = x0; x < x1; ++x)
        {
            const bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            const int px = static_cast<int>(r.left + x), py = static_cast<int>(r.top + y);
            if (outline && edge)
                c.Put(px, py, PixelOf(s.pen->color));
            else if (fill)
                c.Put(px, py, PixelOf(s.brush->color));
        }
    }
    return TRUE;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous)
{
    auto d = FindDc(dc);
    if (!d)
        return FALSE;
    if (previous)
        *previous = d->state.position;
    d->state.position = POINT{x, y};
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid())
        return FALSE;
    DcState& s = c.dc->state;
    if (s.pen)
        DrawLineDevice(c, c.X(s.position.x), c.Y(s.position.y), c.X(x), c.Y(y), *s.pen);
    s.position = POINT{x, y};
    return TRUE;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid() || !c.Inside(c.X(x), c.Y(y)) || !c.pixels)
        return CLR_INVALID;
    c.Put(c.X(x), c.Y(y), PixelOf(color));
    return color & 0x00FFFFFF;
}

COLORREF GetPixel(HDC dc, int x, int y)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid() || !c.pixels || !c.Inside(c.X(x), c.Y(y)))
        return CLR_INVALID;
    return ColorOf(c.pixels[static_cast<std::size_t>(c.Y(y)) * c.width + c.X(x)]);
}

BOOL DrawFocusRect(HDC dc, const RECT* rect)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid() || !rect)
        return FALSE;
    RECT r = ToDevice(c, *rect);
    if (IsRectEmpty(&r) || !c.pixels)
        return TRUE;
    // Every second pixel of the outline inverted, so drawing twice erases it.
    auto flip = [&](int x, int y) {
        if (c.Inside(x, y))
        {
            std::uint32_t& p = c.pixels[static_cast<std::size_t>(y) * c.width + x];
            p = (p & 0xFF000000u) | (~p & 0x00FFFFFFu);
        }
    };
    for (int x = r.left; x < r.right; x += 2)
    {
        flip(x, r.top);
        if (r.bottom - 1 != r.top)
            flip(x, r.bottom - 1);
    }
    for (int y = r.top + 2; y < r.bottom - 1; y += 2)
    {
        flip(r.left, y);
        if (r.right - 1 != r.left)
            flip(r.right - 1, y);
    }
    return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid())
        return FALSE;
    RECT r{x, y, x + width, y + height};
    if (width < 0)
        std::swap(r.left, r.right);
    if (height < 0)
        std::swap(r.top, r.bottom);
    r = ToDevice(c, r);
    const DcState& s = c.dc->state;
    switch (rop)
    {
    case DSTINVERT:
        InvertDevice(c, r);
        return TRUE;
    case BLACKNESS:
        FillDevice(c, r, 0xFF000000u);
        return TRUE;
    case WHITENESS:
        FillDevice(c, r, 0xFFFFFFFFu);
        return TRUE;
    case PATCOPY:
        if (s.brush && !s.brush->hollow)
            FillDevice(c, r, PixelOf(s.brush->color));
        return TRUE;
    case PATINVERT:
    {
        if (!s.brush || s.brush->hollow || !c.pixels)
            return TRUE;
        const std::uint32_t pat = PixelOf(s.brush->color) & 0x00FFFFFFu;
        RECT in{};
        if (!IntersectRect(&in, &r, &c.clip))
            return TRUE;
        for (LONG yy = in.top; yy < in.bottom; ++yy)
            for (LONG xx = in.left; xx < in.right; ++xx)
                c.pixels[static_cast<std::size_t>(yy) * c.width + xx] ^= pat;
        return TRUE;
    }
    default:
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop)
{
    if (rop == DSTINVERT || rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY || rop == PATINVERT)
        return PatBlt(dest, x, y, width, height, rop);
    Canvas d = CanvasOf(dest);
    Canvas s = CanvasOf(src);
    if (!d.Valid() || !s.Valid() || width <= 0 || height <= 0)
        return FALSE;
    if (!d.pixels || !s.pixels)
        return TRUE;
    // Copy through a snapshot of the source, so that a blit within one
    // surface reads what was there before it started.
    const int sx0 = s.X(srcX);
    const int sy0 = s.Y(srcY);
    const int dx0 = d.X(x);
    const int dy0 = d.Y(y);
    std::vector<std::uint32_t> rows(static_cast<std::size_t>(width) * height, 0);
    std::vector<bool> have(rows.size(), false);
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i)
        {
            const int sx = sx0 + i;
            const int sy = sy0 + j;
            if (sx >= 0 && sy >= 0 && sx < s.width && sy < s.height)
            {
                rows[static_cast<std::size_t>(j) * width + i] = s.pixels[static_cast<std::size_t>(sy) * s.width + sx];
                have[static_cast<std::size_t>(j) * width + i] = true;
            }
        }
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i)
        {
            const std::size_t k = static_cast<std::size_t>(j) * width + i;
            const int tx = dx0 + i;
            const int ty = dy0 + j;
            if (!have[k] || !d.Inside(tx, ty))
                continue;
            std::uint32_t& out = d.pixels[static_cast<std::size_t>(ty) * d.width + tx];
            const std::uint32_t in = rows[k];
            switch (rop)
            {
            case SRCCOPY:
                out = in;
                break;
            case SRCAND:
                out = (in & out & 0x00FFFFFFu) | 0xFF000000u;
                break;
            case SRCPAINT:
                out = ((in | out) & 0x00FFFFFFu) | 0xFF000000u;
                break;
            case SRCINVERT:
                out = ((in ^ out) & 0x00FFFFFFu) | 0xFF000000u;
                break;
            default:
                SetLastError(ERROR_NOT_SUPPORTED);
                return FALSE;
            }
        }
    return TRUE;
}

BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid() || !rect)
        return FALSE;
    RECT r = *rect;
    auto side = [&](int sysTopLeft, int sysBottomRight) {
        RECT d = ToDevice(c, r);
        const std::uint32_t tl = PixelOf(GetSysColor(sysTopLeft));
        const std::uint32_t br = PixelOf(GetSysColor(sysBottomRight));
        if (flags & BF_TOP)
            FillDevice(c, RECT{d.left, d.top, d.right, d.top + 1}, tl);
        if (flags & BF_LEFT)
            FillDevice(c, RECT{d.left, d.top, d.left + 1, d.bottom}, tl);
        if (flags & BF_BOTTOM)
            FillDevice(c, RECT{d.left, d.bottom - 1, d.right, d.bottom}, br);
        if (flags & BF_RIGHT)
            FillDevice(c, RECT{d.right - 1, d.top, d.right, d.bottom}, br);
        if (flags & BF_LEFT)
            ++r.left;
        if (flags & BF_TOP)
            ++r.top;
        if (flags & BF_RIGHT)
            --r.right;
        if (flags & BF_BOTTOM)
            --r.bottom;
    };
    if (edge & BDR_SUNKENOUTER)
        side(COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
    else if (edge & BDR_RAISEDOUTER)
        side(COLOR_3DLIGHT, COLOR_3DDKSHADOW);
    if (edge & BDR_SUNKENINNER)
        side(COLOR_3DDKSHADOW, COLOR_3DLIGHT);
    else if (edge & BDR_RAISEDINNER)
        side(COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
    if (flags & BF_MIDDLE)
        FillDevice(c, ToDevice(c, r), PixelOf(GetSysColor(COLOR_BTNFACE)));
    if (flags & BF_ADJUST)
        *rect = r;
    return TRUE;
}

BOOL DrawFrameControl(HDC dc, RECT* rect, UINT type, UINT state)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid() || !rect || type != DFC_BUTTON)
        return FALSE;
    RECT r = *rect;
    if (state & DFCS_BUTTONPUSH)
    {
        DrawEdge(dc, &r, (state & DFCS_PUSHED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
        return TRUE;
    }
    // Check boxes and radio buttons: a square box of the smaller side.
    const int side = std::min(r.right - r.left, r.bottom - r.top);
    RECT box{r.left, r.top + (r.bottom - r.top - side) / 2, r.left + side, r.top + (r.bottom - r.top - side) / 2 + side};
    RECT inner = box;
    DrawEdge(dc, &inner, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    const bool inactive = (state & DFCS_INACTIVE) != 0;
    FillDevice(c, ToDevice(c, inner), PixelOf(GetSysColor(inactive || (state & DFCS_PUSHED) ? COLOR_BTNFACE : COLOR_WINDOW)));
    if (state & DFCS_CHECKED)
    {
        const std::uint32_t mark = PixelOf(GetSysColor(inactive ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
        RECT d = ToDevice(c, inner);
        const int w = d.right - d.left;
        const int h = d.bottom - d.top;
        if (state & DFCS_BUTTONRADIO)
            FillDevice(c, RECT{d.left + w / 3, d.top + h / 3, d.right - w / 3, d.bottom - h / 3}, mark);
        else
        {
            // A tick: down from the left third, then up to the right.
            const int x0 = d.left + std::max(1, w / 5);
            const int yMid = d.top + h / 2;
            const int x1 = d.left + w * 2 / 5;
            const int x2 = d.right - std::max(1, w / 5);
            for (int t = 0; t < 3; ++t)
            {
                PenObject pen;
                pen.color = ColorOf(mark);
                DrawLineDevice(c, x0, yMid - 1 + t, x1, yMid + (x1 - x0) - 1 + t, pen);
                DrawLineDevice(c, x1, yMid + (x1 - x0) - 1 + t, x2 + 1, yMid + (x1 - x0) - 1 + t - (x2 + 1 - x1), pen);
            }
        }
    }
    return TRUE;
}

int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid() || !text || !rect)
        return 0;
    std::wstring_view view = count < 0 ? std::wstring_view(text) : std::wstring_view(text, static_cast<std::size_t>(count));
    std::wstring s = (format & DT_NOPREFIX) ? std::wstring(view) : StripPrefixes(view);
    if (format & DT_EXPANDTABS)
        s = ExpandTabs(s);
    const win32::text::FontSpec font = FontSpecOf(c);
    const win32::text::LineExtent metrics = win32::text::MeasureLine(font, L"");
    const int lineHeight = std::max(1, static_cast<int>(metrics.height));
    const int width = rect->right - rect->left;
    std::vector<std::wstring> lines =
        BreakLines(s, font, (format & DT_WORDBREAK) != 0, (format & DT_SINGLELINE) != 0, width);
    const int total = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT)
    {
        double widest = 0;
        for (const std::wstring& line : lines)
            widest = std::max(widest, win32::text::MeasureLine(font, line).width);
        rect->right = rect->left + static_cast<LONG>(std::ceil(widest));
        rect->bottom = rect->top + total;
        return total;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE)
    {
        if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - lineHeight;
    }
    const RECT* clip = (format & DT_NOCLIP) ? nullptr : rect;
    for (std::wstring line : lines)
    {
        if (format & DT_END_ELLIPSIS)
            line = WithEllipsis(line, font, width);
        const int w = static_cast<int>(win32::text::MeasureLine(font, line).width);
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (width - w) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - w;
        DrawTextLine(c, line, x, y, clip);
        y += lineHeight;
    }
    return total;
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid() || !text || count < 0)
        return FALSE;
    DrawTextLine(c, std::wstring(text, static_cast<std::size_t>(count)), x, y, nullptr);
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid() || !size || count < 0 || (!text && count > 0))
        return FALSE;
    const win32::text::LineExtent e =
        win32::text::MeasureLine(FontSpecOf(c), count ? std::wstring_view(text, static_cast<std::size_t>(count)) : L"");
    size->cx = static_cast<LONG>(e.width);
    size->cy = static_cast<LONG>(e.height);
    return TRUE;
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics)
{
    Canvas c = CanvasOf(dc);
    if (!c.Valid() || !metrics)
        return FALSE;
    const win32::text::FontSpec font = FontSpecOf(c);
    const win32::text::LineExtent e = win32::text::MeasureLine(font, L"x");
    *metrics = TEXTMETRICW{};
    metrics->tmHeight = static_cast<LONG>(e.height);
    metrics->tmAscent = static_cast<LONG>(e.ascent);
    metrics->tmDescent = static_cast<LONG>(e.descent);
    metrics->tmAveCharWidth = std::max<LONG>(1, static_cast<LONG>(e.width));
    metrics->tmMaxCharWidth = static_cast<LONG>(win32::text::MeasureLine(font, L"W").width);
    metrics->tmWeight = font.bold ? FW_BOLD : FW_NORMAL;
    metrics->tmItalic = font.italic;
    metrics->tmFirstChar = 0x20;
    metrics->tmLastChar = 0xFFFC;
    metrics->tmDefaultChar = L'?';
    metrics->tmBreakChar = L' ';
    metrics->tmCharSet = c.dc->state.font ? c.dc->state.font->logFont.lfCharSet : ANSI_CHARSET;
    return TRUE;
}

int GetTextCharsetInfo(HDC dc, FONTSIGNATURE* signature, DWORD)
{
    auto d = FindDc(dc);
    if (signature)
        *signature = FONTSIGNATURE{};
    if (!d)
        return DEFAULT_CHARSET;
    return d->state.font ? d->state.font->logFont.lfCharSet : ANSI_CHARSET;
}
