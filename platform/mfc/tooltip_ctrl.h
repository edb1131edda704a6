// The tooltip control as an MFC window object.
#pragma once

#include "platform/mfc/wnd.h"
#include "platform/win32/tooltip.h"

class CToolTipCtrl : public CWnd
{
    DECLARE_DYNAMIC(CToolTipCtrl)

public:
    CToolTipCtrl() = default;
    // A top-most popup owned by the parent's window.
    BOOL Create(CWnd* parent, DWORD style = 0);
    void Activate(BOOL activate);
    // The whole window as the tool, or a rectangle of its client area with an id.
    BOOL AddTool(CWnd* window, LPCWSTR text, const RECT* rect = nullptr, UINT_PTR id = 0);
    void DelTool(CWnd* window, UINT_PTR id = 0);
    void UpdateTipText(LPCWSTR text, CWnd* window, UINT_PTR id = 0);
    void RelayEvent(MSG* msg);
    int SetMaxTipWidth(int width);
    void SetDelayTime(UINT milliseconds);
    void SetDelayTime(DWORD which, int milliseconds);
    int GetToolCount() const;
    void Pop();
};
