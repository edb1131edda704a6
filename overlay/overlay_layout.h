// Integer layout arithmetic shared by every overlay control: the alignment
// of a rectangle inside an offered area and the raising of a size to a
// minimum. Sums are taken in 64 bits and the results clamped to the 32-bit
// range, so extreme sizes, margins and positions give a defined (saturated)
// rectangle instead of wrapping around.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>

// Alignment codes of the overlay controls, the same in both directions.
enum eOverlayAlignment : LONG
{
    kAlignAsMeasured = 0,
    kAlignCentre = 1,
    kAlignNear = 2, // left or top
    kAlignFar = 3,  // right or bottom
    kAlignStretch = 4,
};

struct stOverlayMargins
{
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

LONG ClampToLong(std::int64_t value);
// a + b and a - b, saturated to the 32-bit range.
LONG SaturatedAdd(LONG a, LONG b);
LONG SaturatedSub(LONG a, LONG b);

// Places r (its width and height) inside an area of width W and height H by
// the two alignment codes, keeping the margins free. Code 0 (or an unknown
// code) keeps the rectangle's position in that direction. Centring may give
// a negative left or top; stretching never gives a negative size.
RECT AlignRectInArea(RECT r, LONG areaWidth, LONG areaHeight, LONG horizontal, LONG vertical,
                     const stOverlayMargins& margins);

// Each component raised to the minimum's (signed comparison).
SIZE RaiseToMinimum(SIZE size, SIZE minimum);

// Width and height of a rectangle, saturated.
inline LONG RectWidth(const RECT& r) { return SaturatedSub(r.right, r.left); }
inline LONG RectHeight(const RECT& r) { return SaturatedSub(r.bottom, r.top); }
RECT OffsetRectBy(RECT r, LONG dx, LONG dy);
