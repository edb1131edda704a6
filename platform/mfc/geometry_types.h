// The MFC point, size and rectangle classes: the Win32 structures with
// arithmetic, usable wherever the structures are expected.
#pragma once

#include "platform/win32/win32.h"

class CSize : public SIZE
{
public:
    CSize() : SIZE{0, 0} {}
    CSize(int x, int y) : SIZE{x, y} {}
    CSize(SIZE s) : SIZE(s) {}
    bool operator==(const SIZE& o) const { return cx == o.cx && cy == o.cy; }
};

class CPoint : public POINT
{
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int x_, int y_) : POINT{x_, y_} {}
    CPoint(POINT p) : POINT(p) {}
    // From the packed coordinates of a mouse message.
    explicit CPoint(LPARAM packed) : POINT{GET_X_LPARAM(packed), GET_Y_LPARAM(packed)} {}
    void Offset(int dx, int dy)
    {
        x += dx;
        y += dy;
    }
    bool operator==(const POINT& o) const { return x == o.x && y == o.y; }
    bool operator!=(const POINT& o) const { return !(*this == o); }
    CPoint operator+(const POINT& o) const { return CPoint(x + o.x, y + o.y); }
    CPoint operator-(const POINT& o) const { return CPoint(x - o.x, y - o.y); }
    CPoint operator-() const { return CPoint(-x, -y); }
    CPoint& operator+=(const POINT& o)
    {
        Offset(o.x, o.y);
        return *this;
    }
    CPoint& operator-=(const POINT& o)
    {
        Offset(-o.x, -o.y);
        return *this;
    }
};

class CRect : public RECT
{
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& r) : RECT(r) {}
    CRect(POINT topLeft, SIZE size) : RECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}
    CRect(POINT topLeft, POINT bottomRight) : RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y} {}

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    bool IsRectEmpty() const { return ::IsRectEmpty(this) != FALSE; }
    bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool PtInRect(POINT p) const { return ::PtInRect(this, p) != FALSE; }
    void SetRect(int l, int t, int r, int b) { *this = CRect(l, t, r, b); }
    void SetRectEmpty() { *this = CRect(); }
    void InflateRect(int dx, int dy) { ::InflateRect(this, dx, dy); }
    void DeflateRect(int dx, int dy) { ::InflateRect(this, -dx, -dy); }
    void OffsetRect(int dx, int dy) { ::OffsetRect(this, dx, dy); }
    void OffsetRect(POINT p) { ::OffsetRect(this, p.x, p.y); }
    void NormalizeRect()
    {
        if (left > right)
            std::swap(left, right);
        if (top > bottom)
            std::swap(top, bottom);
    }
    bool IntersectRect(const RECT* a, const RECT* b) { return ::IntersectRect(this, a, b) != FALSE; }
    bool UnionRect(const RECT* a, const RECT* b) { return ::UnionRect(this, a, b) != FALSE; }
    bool operator==(const RECT& o) const { return ::EqualRect(this, &o) != FALSE; }
    bool operator!=(const RECT& o) const { return !(*this == o); }
    operator RECT*() { return this; }
    operator const RECT*() const { return this; }
};
