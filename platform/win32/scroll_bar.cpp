#include "platform/win32/scroll_bar.h"

#include "platform/win32/gdi_objects.h"
#include "platform/win32/gdi_paint.h"

#include <algorithm>

namespace win32::detail
{

namespace
{

// Length along the bar and the coordinate along it of a rectangle's start.
int Along(const RECT& r, bool vertical)
{
    return vertical ? r.bottom - r.top : r.right - r.left;
}

int Start(const RECT& r, bool vertical)
{
    return vertical ? r.top : r.left;
}

// The part of the bar from start to end along it, across its whole width.
RECT Span(const RECT& bar, bool vertical, int start, int end)
{
    return vertical ? RECT{bar.left, start, bar.right, end} : RECT{start, bar.top, end, bar.bottom};
}

// A small filled triangle pointing away from the bar's middle.
void DrawArrow(HDC dc, RECT button, bool vertical, bool towardsStart, int sysColor)
{
    const int cx = (button.left + button.right) / 2, cy = (button.top + button.bottom) / 2;
    HBRUSH ink = GetSysColorBrush(sysColor);
    for (int i = 0; i < 4; ++i)
    {
        // Row i of the triangle, counted from its tip.
        const int along = (towardsStart ? -2 : 1) + (towardsStart ? i : -i);
        const RECT row = vertical ? RECT{cx - i, cy + along, cx + i + 1, cy + along + 1}
                                  : RECT{cx + along, cy - i, cx + along + 1, cy + i + 1};
        FillRect(dc, &row, ink);
    }
}

} // namespace

int MaxScrollPos(const SCROLLINFO& info)
{
    const long long page = info.nPage > 0 ? static_cast<long long>(info.nPage) - 1 : 0;
    return static_cast<int>(std::max<long long>(info.nMin, static_cast<long long>(info.nMax) - page));
}

ScrollBarParts LayOutScrollBar(const RECT& bar, bool vertical, const SCROLLINFO& info)
{
    ScrollBarParts parts;
    parts.bar = bar;
    parts.vertical = vertical;
    const int length = Along(bar, vertical);
    const int start = Start(bar, vertical);
    // Arrows are square while the bar is long enough, and share it when not.
    const int arrow = std::min(vertical ? bar.right - bar.left : bar.bottom - bar.top, length / 2);
    parts.lineUp = Span(bar, vertical, start, start + arrow);
    parts.lineDown = Span(bar, vertical, start + length - arrow, start + length);
    parts.track = Span(bar, vertical, start + arrow, start + length - arrow);
    const long long range = static_cast<long long>(info.nMax) - info.nMin + 1;
    const int trackLength = Along(parts.track, vertical);
    parts.active = range > 1 && (info.nPage == 0 || static_cast<long long>(info.nPage) < range) &&
                   trackLength >= kMinThumbLength;
    if (!parts.active)
        return parts;
    int thumb = info.nPage > 0 ? static_cast<int>(trackLength * static_cast<long long>(info.nPage) / range)
                               : arrow;
    thumb = std::clamp(thumb, kMinThumbLength, trackLength);
    const long long span = static_cast<long long>(MaxScrollPos(info)) - info.nMin;
    const long long pos = std::clamp<long long>(info.nPos, info.nMin, MaxScrollPos(info)) - info.nMin;
    const int offset = span > 0 ? static_cast<int>((trackLength - thumb) * pos / span) : 0;
    const int thumbStart = Start(parts.track, vertical) + offset;
    parts.thumb = Span(bar, vertical, thumbStart, thumbStart + thumb);
    return parts;
}

void DrawScrollBar(HDC dc, const ScrollBarParts& parts)
{
    // The track: the classic half-tone of the bar colour and white.
    FillRect(dc, &parts.track, GetSysColorBrush(COLOR_SCROLLBAR));
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    for (LONG y = parts.track.top; y < parts.track.bottom; ++y)
        for (LONG x = parts.track.left + (y & 1); x < parts.track.right; x += 2)
            SetPixel(dc, x, y, light);
    const int ink = parts.active ? COLOR_BTNTEXT : COLOR_GRAYTEXT;
    for (const RECT* button : {&parts.lineUp, &parts.lineDown})
    {
        RECT face = *button;
        DrawEdge(dc, &face, EDGE_RAISED, BF_RECT | BF_MIDDLE);
        DrawArrow(dc, *button, parts.vertical, button == &parts.lineUp, ink);
    }
    if (parts.active)
    {
        RECT thumb = parts.thumb;
        DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    }
}

int ScrollBarPartAt(const ScrollBarParts& parts, POINT point)
{
    if (!parts.active || !PtInRect(&parts.bar, point))
        return -1;
    if (PtInRect(&parts.lineUp, point))
        return SB_LINEUP;
    if (PtInRect(&parts.lineDown, point))
        return SB_LINEDOWN;
    if (PtInRect(&parts.thumb, point))
        return SB_THUMBTRACK;
    const int at = parts.vertical ? point.y : point.x;
    return at < Start(parts.thumb, parts.vertical) ? SB_PAGEUP : SB_PAGEDOWN;
}

int ScrollPosForThumb(const ScrollBarParts& parts, const SCROLLINFO& info, int thumbStart)
{
    const int room = Along(parts.track, parts.vertical) - Along(parts.thumb, parts.vertical);
    const long long span = static_cast<long long>(MaxScrollPos(info)) - info.nMin;
    if (room <= 0 || span <= 0)
        return info.nMin;
    const long long offset = std::clamp(thumbStart - Start(parts.track, parts.vertical), 0, room);
    // Rounded to the nearest position.
    return static_cast<int>(info.nMin + (offset * span + room / 2) / room);
}

} // namespace win32::detail
