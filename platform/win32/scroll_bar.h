// The look and the parts of a scroll bar, shared by the bars of windows
// (drawn beside their client area) and the bars that controls draw inside
// their own (the open list of a combo box). Not part of the platform's
// interface.
#pragma once

#include "platform/win32/controls.h"
#include "platform/win32/device_context.h"

namespace win32::detail
{

// The width of a vertical bar, the height of a horizontal one.
inline constexpr int kScrollBarThickness = 17;
// The shortest a thumb gets, so that it can still be taken.
inline constexpr int kMinThumbLength = 8;

struct ScrollBarParts
{
    RECT bar{};
    RECT lineUp{};   // the arrow at the top or left end
    RECT lineDown{}; // the arrow at the bottom or right end
    RECT track{};    // between the arrows
    RECT thumb{};    // inside the track; empty while the bar is inactive
    bool vertical = true;
    // Whether there is anything to scroll: the range holds more than a page.
    bool active = false;
};

// Lays a bar over the rectangle from the range, page and position of info.
ScrollBarParts LayOutScrollBar(const RECT& bar, bool vertical, const SCROLLINFO& info);

// Arrows with their triangles, the track and the thumb, in dc's coordinates.
void DrawScrollBar(HDC dc, const ScrollBarParts& parts);

// What a press at the point does: SB_LINEUP, SB_LINEDOWN, SB_PAGEUP or
// SB_PAGEDOWN, SB_THUMBTRACK on the thumb; -1 off the bar or on an inactive
// bar.
int ScrollBarPartAt(const ScrollBarParts& parts, POINT point);

// The position that puts the thumb's leading edge at the coordinate (y for a
// vertical bar, x for a horizontal one), clamped to the range.
int ScrollPosForThumb(const ScrollBarParts& parts, const SCROLLINFO& info, int thumbStart);

// The highest position: the range's end less a page.
int MaxScrollPos(const SCROLLINFO& info);

// Where a dragged thumb stands (SIF_TRACKPOS), kept with the window's bar.
void SetScrollTrackPos(HWND hwnd, int bar, int pos);

} // namespace win32::detail
