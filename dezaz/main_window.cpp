#include "dezaz/main_window.h"
#include "dezaz/counted_noun.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_plugin.h"
#include "platform/host/dezaz_viewport.h"
#include "platform/win32/device_context.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/gdi_paint.h"
#include "platform/win32/menu.h"
#include "platform/win32/message.h"
#include "platform/win32/window.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace dezaz
{

namespace
{

constexpr int kLine = kMainLineHeight;
constexpr int kMargin = 10;

// One viewport per main window (tests may make several windows).
std::map<HWND, std::unique_ptr<CDezazViewport>>& Viewports()
{
    static std::map<HWND, std::unique_ptr<CDezazViewport>> viewports;
    return viewports;
}

RECT ViewportRect(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    return RECT{0, kMainViewportTop, client.right, std::max<LONG>(kMainViewportTop + 1, MainCommandLineTop(client.bottom))};
}

void Text(HDC dc, int x, int y, int width, const std::wstring& text)
{
    RECT r{x, y, x + width, y + kLine};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void Paint(HWND window)
{
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(window, &ps);
    if (!dc)
        return;
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right - client.left - 2 * kMargin;

    HBRUSH background = CreateSolidBrush(RGB(250, 250, 250));
    HBRUSH band = CreateSolidBrush(RGB(225, 228, 232));
    FillRect(dc, &client, background);
    RECT bar{0, 0, client.right, kLine + 6};
    FillRect(dc, &bar, band);
    HGDIOBJ old_font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(20, 20, 20));

    // The menu bar: the titles of its popups.
    std::wstring titles;
    if (HMENU menu = HostMenu())
        for (int i = 0; i < GetMenuItemCount(menu); ++i)
        {
            wchar_t title[64] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), title, 64, MF_BYPOSITION);
            titles += std::wstring(title) + L"     ";
        }
    Text(dc, kMargin, 3, width, titles);

    // The document line; the viewport below it shows the objects.
    const CDezazDoc& doc = DezazApp().ActiveDoc();
    const std::wstring name = doc.FileName().empty() ? L"Untitled" : doc.FileName();
    const int count = doc.ObjectCount();
    Text(dc, kMargin, kLine + 10, width,
         L"Document: " + name + L" - " + Counted(count, L"object", L"objects"));
    const int command_top = MainCommandLineTop(client.bottom);

    // The command line: its last lines, the newest at the bottom.
    RECT box{0, command_top, client.right, client.bottom};
    FillRect(dc, &box, band);
    std::vector<std::wstring> lines;
    const std::wstring text = DezazApp().CommandLineText();
    std::size_t start = 0;
    while (start < text.size())
    {
        const std::size_t end = text.find(L'\n', start);
        lines.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    const std::size_t shown = std::min<std::size_t>(lines.size(), kMainCommandLines);
    int y = command_top + 6;
    for (std::size_t i = lines.size() - shown; i < lines.size(); ++i, y += kLine)
        Text(dc, kMargin, y, width, lines[i]);

    SelectObject(dc, old_font);
    DeleteObject(background);
    DeleteObject(band);
    EndPaint(window, &ps);
}

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_PAINT)
    {
        Paint(window);
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    if (message == WM_SIZE)
    {
        if (CDezazViewport* viewport = MainViewport(window))
            viewport->Move(ViewportRect(window));
        return 0;
    }
    if (message == WM_DESTROY)
        Viewports().erase(window);
    return DefWindowProcW(window, message, wparam, lparam);
}

} // namespace

HWND CreateMainWindow()
{
    static const ATOM registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &MainWindowProc;
        wc.lpszClassName = L"DezazMainWindow";
        return RegisterClassW(&wc);
    }();
    (void)registered;
    HWND window = CreateWindowExW(0, L"DezazMainWindow", L"Dezaz", WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768, nullptr,
                                  nullptr, nullptr, nullptr);
    if (!window)
        return nullptr;
    // Without GL (no EGL device) the window still works; its viewport stays
    // empty.
    auto viewport = std::make_unique<CDezazViewport>();
    if (viewport->Create(window, ViewportRect(window)))
        Viewports()[window] = std::move(viewport);
    ShowWindow(window, SW_SHOW);
    return window;
}

CDezazViewport* MainViewport(HWND window)
{
    const auto it = Viewports().find(window);
    return it == Viewports().end() ? nullptr : it->second.get();
}

int MainCommandLineTop(int client_height)
{
    return client_height - (kMainCommandLines + 1) * kMainLineHeight;
}

void RefreshMainWindow(HWND window)
{
    if (window && IsWindow(window))
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

} // namespace dezaz
