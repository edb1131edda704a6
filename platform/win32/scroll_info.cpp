// Scroll information per window and bar. Windows' bars are not drawn (they
// sit in the non-client area, which the images do not show); programs read
// and set them, and tests post WM_VSCROLL and WM_HSCROLL as a person's
// clicks on them would.
#include "platform/win32/controls.h"
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
    bool shown = true;
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

} // namespace

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL)
{
    if (!ValidBar(hwnd, bar) || !info)
        return 0;
    ScrollTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    Bar& b = t.bars[{hwnd, bar}];
    if (info->fMask & SIF_RANGE)
    {
        b.minPos = info->nMin;
        b.maxPos = std::max(info->nMin, info->nMax);
    }
    if (info->fMask & SIF_PAGE)
    {
        const long long span = static_cast<long long>(b.maxPos) - b.minPos + 1;
        b.page = static_cast<UINT>(std::min<long long>(info->nPage, span));
    }
    if (info->fMask & SIF_POS)
        b.pos = info->nPos;
    b.pos = ClampPos(b, b.pos);
    return b.pos;
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
    ScrollTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (bar == SB_BOTH)
    {
        t.bars[{hwnd, SB_HORZ}].shown = show != FALSE;
        t.bars[{hwnd, SB_VERT}].shown = show != FALSE;
    }
    else
        t.bars[{hwnd, bar}].shown = show != FALSE;
    return TRUE;
}
