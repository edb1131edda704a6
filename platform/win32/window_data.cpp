// Window data (styles, ids, extra bytes, text, properties), window
// regions and the rectangle helpers.
#include "platform/win32/gdi.h"
#include "platform/win32/window_internal.h"

#include <algorithm>
#include <cstring>

using namespace win32::detail;

namespace
{

std::wstring PropName(LPCWSTR name)
{
    if (IS_INTRESOURCE(name))
        return L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name));
    std::wstring s = name;
    for (auto& ch : s)
        ch = static_cast<wchar_t>(std::towlower(ch));
    return s;
}
} // namespace

// ------------------------------------------------------------ window data

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index)
    {
    case GWL_STYLE:
        return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWLP_ID:
        return w->id;
    case GWLP_USERDATA:
        return w->userData;
    default:
        break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size())
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    LONG_PTR v = 0;
    std::memcpy(&v, w->extra.data() + index, sizeof v);
    return v;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = 0;
    switch (index)
    {
    case GWL_STYLE:
        old = static_cast<LONG_PTR>(w->style);
        w->style = static_cast<DWORD>(value);
        return old;
    case GWL_EXSTYLE:
        old = static_cast<LONG_PTR>(w->exStyle);
        w->exStyle = static_cast<DWORD>(value);
        return old;
    case GWLP_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        if (value)
            w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWLP_HINSTANCE:
        old = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return old;
    case GWLP_HWNDPARENT:
        old = reinterpret_cast<LONG_PTR>(w->owner);
        if (!w->parent)
            w->owner = reinterpret_cast<HWND>(value);
        return old;
    case GWLP_ID:
        old = w->id;
        w->id = value;
        return old;
    case GWLP_USERDATA:
        old = w->userData;
        w->userData = value;
        return old;
    default:
        break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size())
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::memcpy(&old, w->extra.data() + index, sizeof old);
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return old;
}

LONG GetWindowLongW(HWND hwnd, int index)
{
    return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}
LONG SetWindowLongW(HWND hwnd, int index, LONG value)
{
    return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, static_cast<LONG_PTR>(value)));
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount)
{
    auto w = Find(hwnd);
    if (!w || !buffer || maxCount <= 0)
        return 0;
    if (OnOwnerThread(*w))
        return static_cast<int>(
            SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
    std::lock_guard<std::mutex> guard(TableLock());
    int n = std::min<int>(static_cast<int>(w->text.size()), maxCount - 1);
    std::copy_n(w->text.begin(), n, buffer);
    buffer[n] = 0;
    return n;
}

int GetWindowTextLengthW(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w)
        return 0;
    if (OnOwnerThread(*w))
        return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
    std::lock_guard<std::mutex> guard(TableLock());
    return static_cast<int>(w->text.size());
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text)
{
    if (!IsWindow(hwnd))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L"")) ? TRUE : FALSE;
}

namespace win32::detail
{

// The text store behind the default handling of WM_SETTEXT and WM_GETTEXT.
void SetStoredText(HWND hwnd, LPCWSTR text)
{
    std::lock_guard<std::mutex> guard(TableLock());
    if (auto w = FindLocked(hwnd))
        w->text = text ? text : L"";
}

std::wstring StoredText(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    return w ? w->text : std::wstring();
}

} // namespace win32::detail

BOOL SetPropW(HWND hwnd, LPCWSTR name, HANDLE data)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w || !name)
        return FALSE;
    w->props[PropName(name)] = data;
    return TRUE;
}

HANDLE GetPropW(HWND hwnd, LPCWSTR name)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w || !name)
        return nullptr;
    auto it = w->props.find(PropName(name));
    return it == w->props.end() ? nullptr : it->second;
}

HANDLE RemovePropW(HWND hwnd, LPCWSTR name)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w || !name)
        return nullptr;
    auto it = w->props.find(PropName(name));
    if (it == w->props.end())
        return nullptr;
    HANDLE h = it->second;
    w->props.erase(it);
    return h;
}

// ---------------------------------------------------------------- regions

int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw)
{
    HRGN old = nullptr;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        auto w = FindLocked(hwnd);
        if (!w)
        {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        old = w->region;
        w->region = region;
    }
    if (old && old != region)
        DeleteObject(old);
    if (redraw)
        InvalidateRect(hwnd, nullptr, TRUE);
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN region)
{
    HRGN own = nullptr;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        auto w = FindLocked(hwnd);
        if (!w)
            return RGN_ERROR;
        own = w->region;
    }
    if (!own || !region)
        return RGN_ERROR;
    return CombineRgn(region, own, nullptr, RGN_COPY);
}

// ------------------------------------------------------------- rectangles

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom)
{
    if (!rect)
        return FALSE;
    *rect = {left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(RECT* rect)
{
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL CopyRect(RECT* dest, const RECT* src)
{
    if (!dest || !src)
        return FALSE;
    *dest = *src;
    return TRUE;
}

BOOL IsRectEmpty(const RECT* rect)
{
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top ? TRUE : FALSE;
}

BOOL EqualRect(const RECT* a, const RECT* b)
{
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom
               ? TRUE
               : FALSE;
}

BOOL PtInRect(const RECT* rect, POINT p)
{
    return rect && p.x >= rect->left && p.x < rect->right && p.y >= rect->top && p.y < rect->bottom ? TRUE
                                                                                                    : FALSE;
}

BOOL InflateRect(RECT* rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL OffsetRect(RECT* rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL IntersectRect(RECT* dest, const RECT* a, const RECT* b)
{
    if (!dest || !a || !b)
        return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r))
    {
        SetRectEmpty(dest);
        return FALSE;
    }
    *dest = r;
    return TRUE;
}

BOOL UnionRect(RECT* dest, const RECT* a, const RECT* b)
{
    if (!dest || !a || !b)
        return FALSE;
    if (IsRectEmpty(a))
    {
        RECT r = *b;
        *dest = r;
    }
    else if (IsRectEmpty(b))
    {
        RECT r = *a;
        *dest = r;
    }
    else
        *dest = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                 std::max(a->bottom, b->bottom)};
    if (IsRectEmpty(dest))
    {
        SetRectEmpty(dest);
        return FALSE;
    }
    return TRUE;
}

BOOL SubtractRect(RECT* dest, const RECT* a, const RECT* b)
{
    if (!dest || !a || !b)
        return FALSE;
    RECT r = *a;
    RECT in{};
    if (IntersectRect(&in, a, b))
    {
        // Only a cut that spans a whole side shrinks the rectangle.
        if (in.top == r.top && in.bottom == r.bottom)
        {
            if (in.left == r.left)
                r.left = in.right;
            else if (in.right == r.right)
                r.right = in.left;
        }
        else if (in.left == r.left && in.right == r.right)
        {
            if (in.top == r.top)
                r.top = in.bottom;
            else if (in.bottom == r.bottom)
                r.bottom = in.top;
        }
    }
    *dest = r;
    if (IsRectEmpty(dest))
    {
        SetRectEmpty(dest);
        return FALSE;
    }
    return TRUE;
}
