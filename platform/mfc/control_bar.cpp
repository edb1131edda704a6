#include "platform/mfc/control_bar.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CControlBar, CWnd)

CControlBar::CControlBar() = default;

CControlBar::~CControlBar() = default;

void CControlBar::SetClientWindow(CWnd* client)
{
    m_client = client;
    FitClient();
}

void CControlBar::FitClient()
{
    if (!m_hWnd || !m_client || !::IsWindow(m_client->m_hWnd))
        return;
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int top = std::min<int>(CaptionHeight(), client.bottom);
    ::MoveWindow(m_client->m_hWnd, 0, top, client.right, client.bottom - top, TRUE);
}

LRESULT CControlBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // A bar shows the face colour where its client does not cover it.
    if (message == WM_PAINT)
    {
        PAINTSTRUCT ps{};
        HDC dc = ::BeginPaint(m_hWnd, &ps);
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        if (dc)
        {
            ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
            if (const int height = CaptionHeight(); height > 0)
            {
                RECT strip{0, 0, client.right, height};
                ::FillRect(dc, &strip, ::GetSysColorBrush(COLOR_BTNSHADOW));
                wchar_t title[128] = {};
                ::GetWindowTextW(m_hWnd, title, 128);
                HGDIOBJ old_font = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
                ::SetBkMode(dc, TRANSPARENT);
                ::SetTextColor(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
                strip.left += 4;
                ::DrawTextW(dc, title, -1, &strip, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
                ::SelectObject(dc, old_font);
            }
        }
        ::EndPaint(m_hWnd, &ps);
        return 0;
    }
    const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
    if (message == WM_SIZE)
        FitClient();
    return result;
}
