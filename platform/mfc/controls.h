// The standard controls as MFC window objects, and message reflection: a
// control object may handle its own WM_COMMAND or WM_NOTIFY notifications
// (ON_CONTROL_REFLECT, ON_NOTIFY_REFLECT) before, or instead of, its parent.
#pragma once

#include "platform/mfc/dc.h"
#include "platform/mfc/wnd.h"
#include "platform/win32/controls.h"

#include <string>

// Reflected messages carry this offset in their message map entries.
inline constexpr UINT WM_REFLECT_BASE = 0xBC00;

// The handler takes the notification and the parent does not see it.
#define ON_CONTROL_REFLECT(code, memberFxn)                                                                  \
    VTL_CMD_ENTRY(WM_REFLECT_BASE + WM_COMMAND, code, 0, 0xFFFF, (self_->*(memberFxn))(); return TRUE)
// The handler's result decides: FALSE lets the parent see the notification too.
#define ON_CONTROL_REFLECT_EX(code, memberFxn)                                                               \
    VTL_CMD_ENTRY(WM_REFLECT_BASE + WM_COMMAND, code, 0, 0xFFFF, return (self_->*(memberFxn))())
#define ON_NOTIFY_REFLECT(code, memberFxn)                                                                   \
    VTL_CMD_ENTRY(WM_REFLECT_BASE + WM_NOTIFY, code, 0, 0xFFFF, auto* n_ = static_cast<AFX_NOTIFY*>(call_.extra); \
                  (self_->*(memberFxn))(n_->pNMHDR, n_->pResult); return TRUE)

// A control may answer its own WM_CTLCOLOR* (the parent's reply) with
// HBRUSH CtlColor(CDC*, UINT ctlColor); a null brush lets the parent answer.
inline constexpr UINT WM_CTLCOLOR = 0x0019;
inline constexpr UINT CTLCOLOR_MSGBOX = 0;
inline constexpr UINT CTLCOLOR_EDIT = 1;
inline constexpr UINT CTLCOLOR_LISTBOX = 2;
inline constexpr UINT CTLCOLOR_BTN = 3;
inline constexpr UINT CTLCOLOR_DLG = 4;
inline constexpr UINT CTLCOLOR_SCROLLBAR = 5;
inline constexpr UINT CTLCOLOR_STATIC = 6;
#define ON_WM_CTLCOLOR_REFLECT()                                                                             \
    VTL_MSG_ENTRY(WM_REFLECT_BASE + WM_CTLCOLOR,                                                             \
                  *result_ = reinterpret_cast<LRESULT>(self_->CtlColor(                                      \
                      CDC::FromHandle(reinterpret_cast<HDC>(call_.wParam)), static_cast<UINT>(call_.lParam))))

class CEdit : public CWnd
{
    DECLARE_DYNAMIC(CEdit)

public:
    CEdit() = default;
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    void SetSel(int start, int end, BOOL noScroll = FALSE);
    void GetSel(int& start, int& end) const;
    void ReplaceSel(LPCWSTR text, BOOL canUndo = FALSE);
    void SetPasswordChar(wchar_t ch);
    wchar_t GetPasswordChar() const;
    void LimitText(int chars = 0);
    BOOL SetReadOnly(BOOL readOnly = TRUE);
};

class CStatic : public CWnd
{
    DECLARE_DYNAMIC(CStatic)

public:
    CStatic() = default;
    BOOL Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF);
};

class CButton : public CWnd
{
    DECLARE_DYNAMIC(CButton)

public:
    CButton() = default;
    BOOL Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetCheck() const;
    void SetCheck(int check);
    UINT GetState() const;
    void SetState(BOOL highlight);
    UINT GetButtonStyle() const;
    void SetButtonStyle(UINT style, BOOL redraw = TRUE);
    // Owner-drawn buttons draw here (WM_DRAWITEM reflected from the parent).
    virtual void DrawItem(DRAWITEMSTRUCT*) {}

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class CComboBox : public CWnd
{
    DECLARE_DYNAMIC(CComboBox)

public:
    CComboBox() = default;
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int AddString(LPCWSTR text);
    int InsertString(int index, LPCWSTR text);
    int DeleteString(UINT index);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index);
    DWORD_PTR GetItemData(int index) const;
    int SetItemData(int index, DWORD_PTR data);
    int GetLBText(int index, LPWSTR buffer) const;
    void GetLBText(int index, CString& text) const;
    int GetLBTextLen(int index) const;
    int FindStringExact(int start, LPCWSTR text) const;
    void ShowDropDown(BOOL show = TRUE);
    BOOL GetDroppedState() const;
};

class CListBox : public CWnd
{
    DECLARE_DYNAMIC(CListBox)

public:
    CListBox() = default;
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int AddString(LPCWSTR text);
    int InsertString(int index, LPCWSTR text);
    int DeleteString(UINT index);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index);
    DWORD_PTR GetItemData(int index) const;
    int SetItemData(int index, DWORD_PTR data);
    int GetText(int index, LPWSTR buffer) const;
    void GetText(int index, CString& text) const;
    int GetTextLen(int index) const;
    int FindStringExact(int start, LPCWSTR text) const;
};

class CSliderCtrl : public CWnd
{
    DECLARE_DYNAMIC(CSliderCtrl)

public:
    CSliderCtrl() = default;
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetPos() const;
    void SetPos(int pos);
    void SetRange(int minPos, int maxPos, BOOL redraw = FALSE);
    int GetRangeMin() const;
    int GetRangeMax() const;
    void SetTicFreq(int freq);
    int SetLineSize(int size);
    int SetPageSize(int size);
};

class CTabCtrl : public CWnd
{
    DECLARE_DYNAMIC(CTabCtrl)

public:
    CTabCtrl() = default;
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    LONG InsertItem(int index, LPCWSTR text);
    BOOL DeleteItem(int index);
    BOOL DeleteAllItems();
    int GetItemCount() const;
    int GetCurSel() const;
    int SetCurSel(int index);
    BOOL GetItemRect(int index, RECT* rect) const;
    void AdjustRect(BOOL larger, RECT* rect);
};

// The box of the script queue, with the application's title as caption.
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK, UINT helpId = 0);
