#include "platform/win32/tooltip.h"
#include "platform/win32/control_internal.h"
#include "platform/win32/resource.h"

#include <algorithm>

namespace win32::detail
{

namespace
{

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kPopTimer = 2;
constexpr int kPadding = 4;
constexpr std::size_t kMaxTipLength = 1024;

struct Tool
{
    UINT flags = 0;
    HWND window = nullptr;
    UINT_PTR id = 0;
    RECT rect{};
    std::wstring text;

    bool Is(const TOOLINFOW& info) const { return window == info.hwnd && id == info.uId; }
    bool Under(HWND hwnd, POINT client) const
    {
        if ((flags & TTF_IDISHWND) != 0)
            return reinterpret_cast<HWND>(id) == hwnd;
        return window == hwnd && PtInRect(&rect, client);
    }
};

struct TooltipState : ControlState
{
    bool active = true;
    std::vector<Tool> tools;
    int current = -1; // the tool under the pointer
    bool shown = false;
    UINT initialMs = 500;
    UINT popMs = 5000;
    int maxWidth = -1;
    POINT anchor{}; // screen point the tip is shown below
};

std::wstring TextOf(const TOOLINFOW& info)
{
    if (info.lpszText == nullptr)
        return {};
    if (IS_INTRESOURCE(info.lpszText))
    {
        wchar_t buffer[kMaxTipLength + 1] = {};
        const int n = LoadStringW(info.hinst, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(info.lpszText)), buffer,
                                  static_cast<int>(std::size(buffer)));
        return std::wstring(buffer, static_cast<std::size_t>(std::max(n, 0)));
    }
    std::wstring text(info.lpszText);
    if (text.size() > kMaxTipLength)
        text.resize(kMaxTipLength);
    return text;
}

void Hide(HWND hwnd, TooltipState& s)
{
    KillTimer(hwnd, kShowTimer);
    KillTimer(hwnd, kPopTimer);
    if (s.shown)
    {
        s.shown = false;
        ShowWindow(hwnd, SW_HIDE);
    }
}

UINT TextFormat(const TooltipState& s, DWORD style)
{
    UINT format = s.maxWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE;
    if ((style & TTS_NOPREFIX) != 0)
        format |= DT_NOPREFIX;
    return format;
}

void Show(HWND hwnd, TooltipState& s)
{
    KillTimer(hwnd, kShowTimer);
    if (!s.active || s.current < 0 || s.current >= static_cast<int>(s.tools.size()))
        return;
    const std::wstring& text = s.tools[static_cast<std::size_t>(s.current)].text;
    if (text.empty())
        return;
    SetWindowTextW(hwnd, text.c_str());
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = nullptr;
    if (s.font != nullptr)
        old = SelectObject(dc, s.font);
    RECT measured{0, 0, s.maxWidth > 0 ? s.maxWidth : 0x7FFF, 0};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    DrawTextW(dc, text.c_str(), -1, &measured, TextFormat(s, style) | DT_CALCRECT);
    if (old != nullptr)
        SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    const int width = static_cast<int>(measured.right - measured.left) + 2 * kPadding + 2;
    const int height = static_cast<int>(measured.bottom - measured.top) + 2 * kPadding + 2;
    s.shown = true;
    SetWindowPos(hwnd, HWND_TOPMOST, s.anchor.x, s.anchor.y + 20, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
    if (s.popMs > 0)
        SetTimer(hwnd, kPopTimer, s.popMs, nullptr);
}

void Relay(HWND hwnd, TooltipState& s, const MSG& msg)
{
    switch (msg.message)
    {
    case WM_MOUSEMOVE:
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSELEAVE:
        Hide(hwnd, s);
        if (msg.message == WM_MOUSELEAVE)
            s.current = -1;
        return;
    default:
        return;
    }
    POINT client{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
    int under = -1;
    for (std::size_t i = 0; i < s.tools.size(); ++i)
        if (s.tools[i].Under(msg.hwnd, client))
        {
            under = static_cast<int>(i);
            break;
        }
    if (under == s.current)
        return;
    Hide(hwnd, s);
    s.current = under;
    if (under < 0 || !s.active)
        return;
    s.anchor = client;
    ClientToScreen(msg.hwnd, &s.anchor);
    SetTimer(hwnd, kShowTimer, s.initialMs, nullptr);
}

void Paint(HWND hwnd, const TooltipState& s)
{
    ControlPaint p(hwnd);
    if (!p.dc)
        return;
    p.Fill(p.client, COLOR_INFOBK);
    p.Frame(p.client, COLOR_WINDOWFRAME);
    RECT text = p.client;
    InflateRect(&text, -(kPadding + 1), -(kPadding + 1));
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    p.Text(WindowText(hwnd), text, TextFormat(s, style), COLOR_INFOTEXT);
}

} // namespace

LRESULT TooltipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (CommonControlMessage<TooltipState>(hwnd, message, wParam, lParam, result))
        return result;
    auto* s = StateOf<TooltipState>(hwnd);
    if (s == nullptr)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message)
    {
    case TTM_ACTIVATE:
        s->active = wParam != 0;
        if (!s->active)
            Hide(hwnd, *s);
        return 0;
    case TTM_SETDELAYTIME:
    {
        const UINT ms = LOWORD(lParam);
        if (wParam == TTDT_INITIAL || wParam == TTDT_AUTOMATIC)
            s->initialMs = ms;
        if (wParam == TTDT_AUTOPOP)
            s->popMs = ms;
        if (wParam == TTDT_AUTOMATIC)
            s->popMs = ms * 10;
        return 0;
    }
    case TTM_RELAYEVENT:
        if (lParam != 0)
            Relay(hwnd, *s, *reinterpret_cast<const MSG*>(lParam));
        return 0;
    case TTM_GETTOOLCOUNT:
        return static_cast<LRESULT>(s->tools.size());
    case TTM_SETMAXTIPWIDTH:
    {
        const int previous = s->maxWidth;
        s->maxWidth = static_cast<int>(lParam);
        return previous;
    }
    case TTM_GETMAXTIPWIDTH:
        return s->maxWidth;
    case TTM_POP:
        Hide(hwnd, *s);
        return 0;
    case TTM_ADDTOOLW:
    case TTM_UPDATETIPTEXTW:
    case TTM_DELTOOLW:
    {
        const auto* info = reinterpret_cast<const TOOLINFOW*>(lParam);
        if (info == nullptr || info->cbSize < sizeof(TOOLINFOW))
            return FALSE;
        auto it = std::find_if(s->tools.begin(), s->tools.end(), [info](const Tool& t) { return t.Is(*info); });
        if (message == TTM_ADDTOOLW)
        {
            Tool tool{info->uFlags, info->hwnd, info->uId, info->rect, TextOf(*info)};
            if (it != s->tools.end())
                *it = std::move(tool);
            else
                s->tools.push_back(std::move(tool));
            return TRUE;
        }
        if (it == s->tools.end())
            return FALSE;
        if (message == TTM_UPDATETIPTEXTW)
        {
            it->text = TextOf(*info);
            return TRUE;
        }
        const int index = static_cast<int>(it - s->tools.begin());
        if (index == s->current)
        {
            Hide(hwnd, *s);
            s->current = -1;
        }
        else if (index < s->current)
            --s->current;
        s->tools.erase(it);
        return TRUE;
    }
    case WM_TIMER:
        if (wParam == kShowTimer)
            Show(hwnd, *s);
        else if (wParam == kPopTimer)
            Hide(hwnd, *s);
        return 0;
    case WM_PAINT:
        Paint(hwnd, *s);
        return 0;
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}


} // namespace win32::detail
