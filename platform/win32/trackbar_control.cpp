// The trackbar (slider): a position in a range, moved by the arrow and page
// keys or by dragging its thumb; each move tells the parent WM_HSCROLL (or
// WM_VSCROLL with TBS_VERT) with the TB_* code, and TB_ENDTRACK ends a move.
// TBM_SETPOS tells nobody.
#include "platform/win32/control_internal.h"

#include <algorithm>
#include <utility>

namespace win32::detail
{

namespace
{

struct TrackbarState : ControlState
{
    LONG minPos = 0;
    LONG maxPos = 100;
    LONG pos = 0;
    LONG lineSize = 1;
    LONG pageSize = 20;
    LONG ticFreq = 1;
    bool dragging = false;
};

constexpr int kThumbHalf = 5;

bool Vertical(HWND hwnd)
{
    return (GetWindowLongPtrW(hwnd, GWL_STYLE) & TBS_VERT) != 0;
}

LONG Clamp(const TrackbarState& s, long long v)
{
    return static_cast<LONG>(std::clamp<long long>(v, s.minPos, std::max(s.minPos, s.maxPos)));
}

// The channel's pixel span along the slider's axis.
void Channel(HWND hwnd, int& from, int& to)
{
    RECT c{};
    GetClientRect(hwnd, &c);
    const int length = Vertical(hwnd) ? c.bottom : c.right;
    from = kThumbHalf + 2;
    to = std::max(from + 1, length - kThumbHalf - 2);
}

int PixelOfPos(HWND hwnd, const TrackbarState& s)
{
    int from = 0, to = 0;
    Channel(hwnd, from, to);
    const long long range = std::max<long long>(1, static_cast<long long>(s.maxPos) - s.minPos);
    return from + static_cast<int>((static_cast<long long>(s.pos) - s.minPos) * (to - from) / range);
}

LONG PosOfPixel(HWND hwnd, const TrackbarState& s, int pixel)
{
    int from = 0, to = 0;
    Channel(hwnd, from, to);
    const long long range = static_cast<long long>(s.maxPos) - s.minPos;
    const long long offset = std::clamp(pixel, from, to) - from;
    return Clamp(s, s.minPos + (offset * range + (to - from) / 2) / (to - from));
}

void Tell(HWND hwnd, const TrackbarState& s, WORD code)
{
    HWND parent = GetParent(hwnd);
    if (!parent)
        return;
    const WORD pos = (code == TB_THUMBTRACK || code == TB_THUMBPOSITION) ? static_cast<WORD>(s.pos) : 0;
    SendMessageW(parent, Vertical(hwnd) ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, pos),
                 reinterpret_cast<LPARAM>(hwnd));
}

void MoveBy(HWND hwnd, TrackbarState& s, long long to, WORD code)
{
    const LONG next = Clamp(s, to);
    if (next != s.pos)
    {
        s.pos = next;
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    Tell(hwnd, s, code);
    if (IsWindow(hwnd))
        Tell(hwnd, s, TB_ENDTRACK);
}

void Paint(HWND hwnd, const TrackbarState& s)
{
    ControlPaint p(hwnd);
    if (!p.dc)
        return;
    p.Fill(p.client, COLOR_BTNFACE);
    int from = 0, to = 0;
    Channel(hwnd, from, to);
    const int at = PixelOfPos(hwnd, s);
    const bool vertical = Vertical(hwnd);
    const int middle = (vertical ? p.client.right : p.client.bottom) / 2;
    RECT channel = vertical ? RECT{middle - 2, from, middle + 2, to} : RECT{from, middle - 2, to, middle + 2};
    DrawEdge(p.dc, &channel, EDGE_SUNKEN, BF_RECT);
    RECT thumb = vertical ? RECT{middle - 8, at - kThumbHalf, middle + 8, at + kThumbHalf + 1}
                          : RECT{at - kThumbHalf, middle - 8, at + kThumbHalf + 1, middle + 8};
    DrawEdge(p.dc, &thumb, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    if (p.focused)
    {
        RECT f = p.client;
        DrawFocusRect(p.dc, &f);
    }
}

} // namespace

LRESULT TrackbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (CommonControlMessage<TrackbarState>(hwnd, message, wParam, lParam, result))
        return result;
    auto* s = StateOf<TrackbarState>(hwnd);
    if (!s)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message)
    {
    case TBM_GETPOS:
        return s->pos;
    case TBM_GETRANGEMIN:
        return s->minPos;
    case TBM_GETRANGEMAX:
        return s->maxPos;
    case TBM_SETPOS:
        s->pos = Clamp(*s, static_cast<LONG>(lParam));
        if (wParam)
            InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case TBM_SETRANGE:
        s->minPos = static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam)));
        s->maxPos = static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)));
        s->pos = Clamp(*s, s->pos);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case TBM_SETRANGEMIN:
        s->minPos = static_cast<LONG>(lParam);
        s->pos = Clamp(*s, s->pos);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case TBM_SETRANGEMAX:
        s->maxPos = static_cast<LONG>(lParam);
        s->pos = Clamp(*s, s->pos);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case TBM_SETTICFREQ:
        s->ticFreq = static_cast<LONG>(wParam);
        return 0;
    case TBM_SETPAGESIZE:
        return std::exchange(s->pageSize, static_cast<LONG>(lParam));
    case TBM_GETPAGESIZE:
        return s->pageSize;
    case TBM_SETLINESIZE:
        return std::exchange(s->lineSize, static_cast<LONG>(lParam));
    case TBM_GETLINESIZE:
        return s->lineSize;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        switch (wParam)
        {
        case VK_LEFT:
        case VK_UP:
            MoveBy(hwnd, *s, static_cast<long long>(s->pos) - s->lineSize, TB_LINEUP);
            return 0;
        case VK_RIGHT:
        case VK_DOWN:
            MoveBy(hwnd, *s, static_cast<long long>(s->pos) + s->lineSize, TB_LINEDOWN);
            return 0;
        case VK_PRIOR:
            MoveBy(hwnd, *s, static_cast<long long>(s->pos) - s->pageSize, TB_PAGEUP);
            return 0;
        case VK_NEXT:
            MoveBy(hwnd, *s, static_cast<long long>(s->pos) + s->pageSize, TB_PAGEDOWN);
            return 0;
        case VK_HOME:
            MoveBy(hwnd, *s, s->minPos, TB_TOP);
            return 0;
        case VK_END:
            MoveBy(hwnd, *s, s->maxPos, TB_BOTTOM);
            return 0;
        default:
            return 0;
        }
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        SetCapture(hwnd);
        s->dragging = true;
        [[fallthrough]];
    case WM_MOUSEMOVE:
        if (s->dragging)
        {
            const int pixel = Vertical(hwnd) ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam);
            const LONG next = PosOfPixel(hwnd, *s, pixel);
            if (next != s->pos)
            {
                s->pos = next;
                InvalidateRect(hwnd, nullptr, TRUE);
                Tell(hwnd, *s, TB_THUMBTRACK);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (s->dragging)
        {
            s->dragging = false;
            ReleaseCapture();
            Tell(hwnd, *s, TB_THUMBPOSITION);
            if (IsWindow(hwnd))
                Tell(hwnd, *s, TB_ENDTRACK);
        }
        return 0;
    case WM_CAPTURECHANGED:
        s->dragging = false;
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SIZE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_PAINT:
        Paint(hwnd, *s);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace win32::detail
