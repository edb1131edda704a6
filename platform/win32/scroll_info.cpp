// Scroll information per window and bar. A window's bars sit beside its
// client area: the screen's composition draws them from this information
// (window_scroll_bars.cpp). Setting a range that needs scrolling shows the
// bar, one that does not hides it (or, with SIF_DISABLENOSCROLL, leaves it
// shown and inactive), and the client area gives or takes the bar's room.
#include "platform/win32/controls.h"
#include "platform/win32/scroll_bar.h"
#include "platform/win32/window.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace
{

struct Bar
{
    int minPos = 0;
    int maxPos = 0;
    UINT page = 0;
    int pos = 0;
    int trackPos = 0;
};

struct ScrollTable
{
    std::mutex lock;
    std::map<std::pair<HWND, int>, Bar> bars;
};

ScrollTable& Table()
{
    static auto* table = [] {
        auto* t = new ScrollTable;
        win32::WindowObserver observer;
        observer.destroyed = [t](HWND hwnd) {
            std::lock_guard<std::mutex> guard(t->lock);
            t->bars.erase({hwnd, SB_HORZ});
            t->bars.erase({hwnd, SB_VERT});
            t->bars.erase({hwnd, SB_CTL});
        };
        win32::AddWindowObserver(std::move(observer));
        return t;
    }();
    return *table;
}

bool ValidBar(HWND hwnd, int bar)
{
    return IsWindow(hwnd) && (bar == SB_HORZ || bar == SB_VERT || bar == SB_CTL);
}

int ClampPos(const Bar& b, long long pos)
{
    const long long page = b.page > 0 ? static_cast<long long>(b.page) - 1 : 0;
    const long long high = std::max<long long>(b.minPos, static_cast<long long>(b.maxPos) - page);
    return static_cast<int>(std::clamp<long long>(pos, b.minPos, high));
}

// Stores what the info's mask names; the position is clamped. Returns it.
int StoreInfo(Bar& b, const SCROLLINFO& info)
{
    if (info.fMask & SIF_RANGE)
    {
        b.minPos = info.nMin;
        b.maxPos = std::max(info.nMin, info.nMax);
    }
    if (info.fMask & SIF_PAGE)
    {
        const long long span = static_cast<long long>(b.maxPos) - b.minPos + 1;
        b.page = static_cast<UINT>(std::min<long long>(info.nPage, span));
    }
    if (info.fMask & SIF_POS)
        b.pos = info.nPos;
    b.pos = ClampPos(b, b.pos);
    return b.pos;
}

// Shows or hides a window's own bar; the client area follows.
void ShowWindowBar(HWND hwnd, int bar, bool show)
{
    const DWORD flag = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    if (((style & flag) != 0) == show)
        return;
    SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>(show ? style | flag : style & ~flag));
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

} // namespace

namespace win32::detail
{

void SetScrollTrackPos(HWND hwnd, int bar, int pos)
{
    if (!ValidBar(hwnd, bar))
        return;
    ScrollTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    Bar& b = t.bars[{hwnd, bar}];
    b.trackPos = std::clamp(pos, b.minPos, std::max(b.minPos, ClampPos(b, b.maxPos)));
}

} // namespace win32::detail

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL)
{
    if (!ValidBar(hwnd, bar) || !info)
        return 0;
    bool needed = false;
    int pos = 0;
    {
        ScrollTable& t = Table();
        std::lock_guard<std::mutex> guard(t.lock);
        Bar& b = t.bars[{hwnd, bar}];
        pos = StoreInfo(b, *info);
        const long long range = static_cast<long long>(b.maxPos) - b.minPos + 1;
        needed = range > 1 && (b.page == 0 || static_cast<long long>(b.page) < range);
    }
    if ((bar == SB_VERT || bar == SB_HORZ) && (info->fMask & (SIF_RANGE | SIF_PAGE)))
        if (needed || !(info->fMask & SIF_DISABLENOSCROLL))
            ShowWindowBar(hwnd, bar, needed);
    return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info)
{
    if (!ValidBar(hwnd, bar) || !info)
        return FALSE;
    ScrollTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    const Bar b = t.bars[{hwnd, bar}];
    if (info->fMask & SIF_RANGE)
    {
        info->nMin = b.minPos;
        info->nMax = b.maxPos;
    }
    if (info->fMask & SIF_PAGE)
        info->nPage = b.page;
    if (info->fMask & SIF_POS)
        info->nPos = b.pos;
    if (info->fMask & SIF_TRACKPOS)
        info->nTrackPos = b.trackPos;
    return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw)
{
    int previous = GetScrollPos(hwnd, bar);
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, pos, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return previous;
}

int GetScrollPos(HWND hwnd, int bar)
{
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, 0, 0};
    return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw)
{
    SCROLLINFO si{sizeof si, SIF_RANGE, minPos, maxPos, 0, 0, 0};
    return ValidBar(hwnd, bar) && (SetScrollInfo(hwnd, bar, &si, redraw), TRUE);
}

BOOL GetScrollRange(HWND hwnd, int bar, int* minPos, int* maxPos)
{
    SCROLLINFO si{sizeof si, SIF_RANGE, 0, 0, 0, 0, 0};
    if (!GetScrollInfo(hwnd, bar, &si))
        return FALSE;
    if (minPos)
        *minPos = si.nMin;
    if (maxPos)
        *maxPos = si.nMax;
    return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show)
{
    if (!IsWindow(hwnd))
        return FALSE;
    if (bar == SB_CTL)
        return ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE), TRUE;
    if (bar == SB_VERT || bar == SB_BOTH)
        ShowWindowBar(hwnd, SB_VERT, show != FALSE);
    if (bar == SB_HORZ || bar == SB_BOTH)
        ShowWindowBar(hwnd, SB_HORZ, show != FALSE);
    return TRUE;
}
