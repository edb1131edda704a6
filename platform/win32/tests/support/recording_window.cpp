#include "recording_window.h"

#include <mutex>

namespace testwin
{
namespace
{

std::mutex g_lock;
std::vector<Received> g_log;
std::map<HWND, Handler> g_handlers;

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Handler handler;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_log.push_back({hwnd, message, wParam, lParam});
        auto it = g_handlers.find(hwnd);
        if (it != g_handlers.end())
            handler = it->second;
    }
    if (handler)
        if (auto r = handler(hwnd, message, wParam, lParam))
            return *r;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

LPCWSTR ClassName()
{
    return L"RecordingWindow";
}

void Reset()
{
    static bool registered = []
    {
        WNDCLASSW wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &RecordingProc;
        wc.lpszClassName = ClassName();
        wc.hCursor = LoadCursorW(nullptr, IDC_CROSS);
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    std::lock_guard<std::mutex> guard(g_lock);
    g_log.clear();
    g_handlers.clear();
}

HWND CreateTop(int x, int y, int w, int h, DWORD style)
{
    return CreateWindowExW(0, ClassName(), L"top", style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
}

HWND CreateChild(HWND parent, int id, int x, int y, int w, int h, DWORD style)
{
    return CreateWindowExW(0, ClassName(), L"child", style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
}

void SetHandler(HWND hwnd, Handler handler)
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_handlers[hwnd] = std::move(handler);
}

std::vector<Received> Log(std::vector<UINT> only)
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (only.empty())
        return g_log;
    std::vector<Received> out;
    for (const auto& r : g_log)
        for (UINT m : only)
            if (r.message == m)
                out.push_back(r);
    return out;
}

void ClearLog()
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_log.clear();
}

} // namespace testwin
