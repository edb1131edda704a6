#include "platform/mfc/tooltip_ctrl.h"

IMPLEMENT_DYNAMIC(CToolTipCtrl, CWnd)

namespace
{

TOOLINFOW ToolFor(CWnd* window, LPCWSTR text, const RECT* rect, UINT_PTR id)
{
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.lpszText = const_cast<LPWSTR>(text);
    if (rect == nullptr)
    {
        // The window is the tool: it stands in both the owner and the id slot.
        info.uFlags = TTF_IDISHWND;
        info.hwnd = window != nullptr ? window->GetSafeHwnd() : nullptr;
        info.uId = reinterpret_cast<UINT_PTR>(info.hwnd);
    }
    else
    {
        info.hwnd = window != nullptr ? window->GetSafeHwnd() : nullptr;
        info.uId = id;
        info.rect = *rect;
    }
    return info;
}

} // namespace

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style)
{
    return CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, 0, 0, 0, 0,
                    parent != nullptr ? parent->GetSafeHwnd() : nullptr, nullptr);
}

void CToolTipCtrl::Activate(BOOL activate) { SendMessage(TTM_ACTIVATE, activate); }

BOOL CToolTipCtrl::AddTool(CWnd* window, LPCWSTR text, const RECT* rect, UINT_PTR id)
{
    TOOLINFOW info = ToolFor(window, text, rect, id);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::DelTool(CWnd* window, UINT_PTR id)
{
    TOOLINFOW info = ToolFor(window, nullptr, nullptr, id);
    if (id != 0)
        info.uId = id;
    SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::UpdateTipText(LPCWSTR text, CWnd* window, UINT_PTR id)
{
    TOOLINFOW info = ToolFor(window, text, nullptr, id);
    if (id != 0)
        info.uId = id;
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::RelayEvent(MSG* msg)
{
    if (m_hWnd != nullptr && msg != nullptr)
        SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
}

int CToolTipCtrl::SetMaxTipWidth(int width) { return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, width)); }

void CToolTipCtrl::SetDelayTime(UINT milliseconds) { SendMessage(TTM_SETDELAYTIME, TTDT_AUTOMATIC, milliseconds); }

void CToolTipCtrl::SetDelayTime(DWORD which, int milliseconds)
{
    SendMessage(TTM_SETDELAYTIME, which, milliseconds);
}

int CToolTipCtrl::GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }

void CToolTipCtrl::Pop() { SendMessage(TTM_POP); }
