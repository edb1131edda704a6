// GDI objects and regions. Every GDI object (regions here; pens, brushes,
// bitmaps and fonts where the drawing layer adds them) is registered in one
// table and freed through DeleteObject. Handles are never reused.
#pragma once

#include "platform/win32/types.h"

#include <memory>

namespace win32
{

class GdiObject
{
public:
    virtual ~GdiObject() = default;
    // Stock objects and system colour brushes: DeleteObject leaves them alive.
    virtual bool Permanent() const { return false; }
};

HGDIOBJ RegisterGdiObject(std::shared_ptr<GdiObject> obj);
std::shared_ptr<GdiObject> LookupGdiObject(HGDIOBJ h);
template <class T> std::shared_ptr<T> LookupGdiObjectAs(HGDIOBJ h)
{
    return std::dynamic_pointer_cast<T>(LookupGdiObject(h));
}
std::size_t LiveGdiObjectCount();

} // namespace win32

BOOL DeleteObject(HGDIOBJ object);

// Region types, as reported by the region functions and GetWindowRgn.
inline constexpr int RGN_ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;

inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);
int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode);
int GetRgnBox(HRGN region, RECT* box);
BOOL PtInRegion(HRGN region, int x, int y);
int OffsetRgn(HRGN region, int dx, int dy);
