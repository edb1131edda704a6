#include "overlay/overlay_layout.h"

#include <limits>

LONG ClampToLong(std::int64_t value)
{
    constexpr std::int64_t lo = std::numeric_limits<LONG>::min();
    constexpr std::int64_t hi = std::numeric_limits<LONG>::max();
    return static_cast<LONG>(value < lo ? lo : (value > hi ? hi : value));
}

LONG SaturatedAdd(LONG a, LONG b) { return ClampToLong(std::int64_t{a} + b); }
LONG SaturatedSub(LONG a, LONG b) { return ClampToLong(std::int64_t{a} - b); }

RECT AlignRectInArea(RECT r, LONG areaWidth, LONG areaHeight, LONG horizontal, LONG vertical,
                     const stOverlayMargins& m)
{
    std::int64_t w = std::int64_t{r.right} - r.left;
    std::int64_t h = std::int64_t{r.bottom} - r.top;
    const std::int64_t W = areaWidth, H = areaHeight;

    std::int64_t left = r.left;
    bool placedH = true;
    switch (horizontal)
    {
    case kAlignCentre: left = (W - w - m.left - m.right) / 2 + m.left; break;
    case kAlignNear: left = m.left; break;
    case kAlignFar: left = W - w - m.right; break;
    case kAlignStretch:
        left = m.left;
        w = W - m.left - m.right;
        break;
    default: placedH = false; break;
    }
    if (placedH)
    {
        r.left = ClampToLong(left);
        const std::int64_t right = std::int64_t{r.left} + w;
        r.right = ClampToLong(right < r.left ? r.left : right);
    }

    std::int64_t top = r.top;
    bool placedV = true;
    switch (vertical)
    {
    case kAlignCentre: top = (H - h - m.top - m.bottom) / 2 + m.top; break;
    case kAlignNear: top = m.top; break;
    case kAlignFar: top = H - h - m.bottom; break;
    case kAlignStretch:
        top = m.top;
        h = H - m.top - m.bottom;
        break;
    default: placedV = false; break;
    }
    if (placedV)
    {
        r.top = ClampToLong(top);
        r.bottom = ClampToLong(std::int64_t{r.top} + h);
    }
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

SIZE RaiseToMinimum(SIZE size, SIZE minimum)
{
    if (size.cx < minimum.cx)
        size.cx = minimum.cx;
    if (size.cy < minimum.cy)
        size.cy = minimum.cy;
    return size;
}

RECT OffsetRectBy(RECT r, LONG dx, LONG dy)
{
    return RECT{SaturatedAdd(r.left, dx), SaturatedAdd(r.top, dy), SaturatedAdd(r.right, dx),
                SaturatedAdd(r.bottom, dy)};
}
