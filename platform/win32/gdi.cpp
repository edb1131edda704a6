#include "platform/win32/gdi.h"
#include "platform/win32/handle_table.h"
#include "platform/win32/window.h"

#include <algorithm>
#include <vector>

namespace
{

win32::tHandleTable<win32::GdiObject>& Table()
{
    // Outlives static destructors that free objects.
    static auto* table = new win32::tHandleTable<win32::GdiObject>(0x40010);
    return *table;
}

// A region is a set of rectangles; the pieces never overlap, so the type
// follows from their count.
struct Region : win32::GdiObject
{
    std::vector<RECT> rects;
};

std::shared_ptr<Region> RegionOf(HRGN h)
{
    return win32::LookupGdiObjectAs<Region>(reinterpret_cast<HGDIOBJ>(h));
}

int TypeOf(const Region& r)
{
    if (r.rects.empty())
        return NULLREGION;
    return r.rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

std::vector<RECT> Subtract(const std::vector<RECT>& from, const std::vector<RECT>& what)
{
    std::vector<RECT> pieces = from;
    for (const RECT& cut : what)
    {
        std::vector<RECT> next;
        for (const RECT& p : pieces)
        {
            RECT in{};
            if (!IntersectRect(&in, &p, &cut))
            {
                next.push_back(p);
                continue;
            }
            if (p.top < in.top)
                next.push_back({p.left, p.top, p.right, in.top});
            if (in.bottom < p.bottom)
                next.push_back({p.left, in.bottom, p.right, p.bottom});
            if (p.left < in.left)
                next.push_back({p.left, in.top, in.left, in.bottom});
            if (in.right < p.right)
                next.push_back({in.right, in.top, p.right, in.bottom});
        }
        pieces = std::move(next);
    }
    return pieces;
}

std::vector<RECT> Intersect(const std::vector<RECT>& a, const std::vector<RECT>& b)
{
    std::vector<RECT> out;
    for (const RECT& x : a)
        for (const RECT& y : b)
        {
            RECT in{};
            if (IntersectRect(&in, &x, &y))
                out.push_back(in);
        }
    return out;
}

std::vector<RECT> Union(const std::vector<RECT>& a, const std::vector<RECT>& b)
{
    std::vector<RECT> out = a;
    for (const RECT& piece : Subtract(b, a))
        out.push_back(piece);
    return out;
}

} // namespace

namespace win32
{

HGDIOBJ RegisterGdiObject(std::shared_ptr<GdiObject> obj)
{
    return reinterpret_cast<HGDIOBJ>(Table().Register(std::move(obj)));
}

std::shared_ptr<GdiObject> LookupGdiObject(HGDIOBJ h)
{
    return Table().Lookup(reinterpret_cast<std::uintptr_t>(h));
}

std::size_t LiveGdiObjectCount()
{
    return Table().Count();
}

} // namespace win32

BOOL DeleteObject(HGDIOBJ object)
{
    if (auto obj = win32::LookupGdiObject(object); obj && obj->Permanent())
        return TRUE;
    // The object dies at the end of this scope, outside the table lock.
    std::shared_ptr<win32::GdiObject> doomed = Table().Remove(reinterpret_cast<std::uintptr_t>(object));
    if (!doomed)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    auto r = std::make_shared<Region>();
    RECT rc{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    if (!IsRectEmpty(&rc))
        r->rects.push_back(rc);
    return reinterpret_cast<HRGN>(win32::RegisterGdiObject(r));
}

HRGN CreateRectRgnIndirect(const RECT* rect)
{
    if (!rect)
        return nullptr;
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom)
{
    auto r = RegionOf(region);
    if (!r)
        return FALSE;
    r->rects.clear();
    RECT rc{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    if (!IsRectEmpty(&rc))
        r->rects.push_back(rc);
    return TRUE;
}

int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode)
{
    auto d = RegionOf(dest);
    auto ra = RegionOf(a);
    auto rb = mode == RGN_COPY ? ra : RegionOf(b);
    if (!d || !ra || !rb)
        return RGN_ERROR;
    std::vector<RECT> result;
    switch (mode)
    {
    case RGN_COPY:
        result = ra->rects;
        break;
    case RGN_AND:
        result = Intersect(ra->rects, rb->rects);
        break;
    case RGN_OR:
        result = Union(ra->rects, rb->rects);
        break;
    case RGN_DIFF:
        result = Subtract(ra->rects, rb->rects);
        break;
    case RGN_XOR:
        result = Union(Subtract(ra->rects, rb->rects), Subtract(rb->rects, ra->rects));
        break;
    default:
        return RGN_ERROR;
    }
    d->rects = std::move(result);
    return TypeOf(*d);
}

int GetRgnBox(HRGN region, RECT* box)
{
    auto r = RegionOf(region);
    if (!r || !box)
        return RGN_ERROR;
    SetRectEmpty(box);
    for (const RECT& rc : r->rects)
        UnionRect(box, box, &rc);
    return TypeOf(*r);
}

BOOL PtInRegion(HRGN region, int x, int y)
{
    auto r = RegionOf(region);
    if (!r)
        return FALSE;
    for (const RECT& rc : r->rects)
        if (PtInRect(&rc, POINT{x, y}))
            return TRUE;
    return FALSE;
}

int OffsetRgn(HRGN region, int dx, int dy)
{
    auto r = RegionOf(region);
    if (!r)
        return RGN_ERROR;
    for (RECT& rc : r->rects)
        OffsetRect(&rc, dx, dy);
    return TypeOf(*r);
}
