#include "platform/mfc/controls.h"
#include "platform/mfc/win_app.h"

IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CComboBox, CWnd)
IMPLEMENT_DYNAMIC(CListBox, CWnd)
IMPLEMENT_DYNAMIC(CSliderCtrl, CWnd)
IMPLEMENT_DYNAMIC(CTabCtrl, CWnd)

namespace
{

BOOL CreateControl(CWnd& wnd, LPCWSTR cls, LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return wnd.CreateEx(0, cls, text, style, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                        parent ? parent->GetSafeHwnd() : nullptr,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)));
}

} // namespace

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl(*this, WC_EDITW, L"", style, rect, parent, id);
}
void CEdit::SetSel(int start, int end, BOOL)
{
    SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end);
}
void CEdit::GetSel(int& start, int& end) const
{
    DWORD a = 0, b = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    start = static_cast<int>(a);
    end = static_cast<int>(b);
}
void CEdit::ReplaceSel(LPCWSTR text, BOOL canUndo)
{
    SendMessage(EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(text));
}
void CEdit::SetPasswordChar(wchar_t ch)
{
    SendMessage(EM_SETPASSWORDCHAR, static_cast<WPARAM>(ch));
}
wchar_t CEdit::GetPasswordChar() const
{
    return static_cast<wchar_t>(SendMessage(EM_GETPASSWORDCHAR));
}
void CEdit::LimitText(int chars)
{
    SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(chars));
}
BOOL CEdit::SetReadOnly(BOOL readOnly)
{
    return static_cast<BOOL>(SendMessage(EM_SETREADONLY, readOnly));
}

BOOL CStatic::Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl(*this, WC_STATICW, text, style, rect, parent, id);
}

BOOL CButton::Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl(*this, WC_BUTTONW, text, style, rect, parent, id);
}
int CButton::GetCheck() const
{
    return static_cast<int>(SendMessage(BM_GETCHECK));
}
void CButton::SetCheck(int check)
{
    SendMessage(BM_SETCHECK, static_cast<WPARAM>(check));
}
UINT CButton::GetState() const
{
    return static_cast<UINT>(SendMessage(BM_GETSTATE));
}
void CButton::SetState(BOOL highlight)
{
    SendMessage(BM_SETSTATE, highlight);
}
UINT CButton::GetButtonStyle() const
{
    return GetStyle() & 0xFFFF;
}
void CButton::SetButtonStyle(UINT style, BOOL redraw)
{
    SendMessage(BM_SETSTYLE, style, redraw);
}
BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_DRAWITEM)
    {
        DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        if (result)
            *result = TRUE;
        return TRUE;
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}

BOOL CComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl(*this, WC_COMBOBOXW, L"", style, rect, parent, id);
}
int CComboBox::AddString(LPCWSTR text)
{
    return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}
int CComboBox::InsertString(int index, LPCWSTR text)
{
    return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
}
int CComboBox::DeleteString(UINT index)
{
    return static_cast<int>(SendMessage(CB_DELETESTRING, index));
}
void CComboBox::ResetContent()
{
    SendMessage(CB_RESETCONTENT);
}
int CComboBox::GetCount() const
{
    return static_cast<int>(SendMessage(CB_GETCOUNT));
}
int CComboBox::GetCurSel() const
{
    return static_cast<int>(SendMessage(CB_GETCURSEL));
}
int CComboBox::SetCurSel(int index)
{
    return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)));
}
DWORD_PTR CComboBox::GetItemData(int index) const
{
    return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index)));
}
int CComboBox::SetItemData(int index, DWORD_PTR data)
{
    return static_cast<int>(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
}
int CComboBox::GetLBText(int index, LPWSTR buffer) const
{
    return static_cast<int>(SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)));
}
void CComboBox::GetLBText(int index, CString& text) const
{
    const int length = GetLBTextLen(index);
    if (length < 0)
    {
        text.Empty();
        return;
    }
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    GetLBText(index, buffer.data());
    text = buffer.c_str();
}
int CComboBox::GetLBTextLen(int index) const
{
    return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
}
int CComboBox::FindStringExact(int start, LPCWSTR text) const
{
    return static_cast<int>(SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)));
}
void CComboBox::ShowDropDown(BOOL show)
{
    SendMessage(CB_SHOWDROPDOWN, show);
}
BOOL CComboBox::GetDroppedState() const
{
    return static_cast<BOOL>(SendMessage(CB_GETDROPPEDSTATE));
}

BOOL CListBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl(*this, WC_LISTBOXW, L"", style, rect, parent, id);
}
int CListBox::AddString(LPCWSTR text)
{
    return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}
int CListBox::InsertString(int index, LPCWSTR text)
{
    return static_cast<int>(SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
}
int CListBox::DeleteString(UINT index)
{
    return static_cast<int>(SendMessage(LB_DELETESTRING, index));
}
void CListBox::ResetContent()
{
    SendMessage(LB_RESETCONTENT);
}
int CListBox::GetCount() const
{
    return static_cast<int>(SendMessage(LB_GETCOUNT));
}
int CListBox::GetCurSel() const
{
    return static_cast<int>(SendMessage(LB_GETCURSEL));
}
int CListBox::SetCurSel(int index)
{
    return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index)));
}
DWORD_PTR CListBox::GetItemData(int index) const
{
    return static_cast<DWORD_PTR>(SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index)));
}
int CListBox::SetItemData(int index, DWORD_PTR data)
{
    return static_cast<int>(SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
}
int CListBox::GetText(int index, LPWSTR buffer) const
{
    return static_cast<int>(SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)));
}
void CListBox::GetText(int index, CString& text) const
{
    const int length = GetTextLen(index);
    if (length < 0)
    {
        text.Empty();
        return;
    }
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    GetText(index, buffer.data());
    text = buffer.c_str();
}
int CListBox::GetTextLen(int index) const
{
    return static_cast<int>(SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index)));
}
int CListBox::FindStringExact(int start, LPCWSTR text) const
{
    return static_cast<int>(SendMessage(LB_FINDSTRINGEXACT, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)));
}

BOOL CSliderCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl(*this, TRACKBAR_CLASSW, L"", style, rect, parent, id);
}
int CSliderCtrl::GetPos() const
{
    return static_cast<int>(SendMessage(TBM_GETPOS));
}
void CSliderCtrl::SetPos(int pos)
{
    SendMessage(TBM_SETPOS, TRUE, pos);
}
void CSliderCtrl::SetRange(int minPos, int maxPos, BOOL redraw)
{
    SendMessage(TBM_SETRANGEMIN, FALSE, minPos);
    SendMessage(TBM_SETRANGEMAX, redraw, maxPos);
}
int CSliderCtrl::GetRangeMin() const
{
    return static_cast<int>(SendMessage(TBM_GETRANGEMIN));
}
int CSliderCtrl::GetRangeMax() const
{
    return static_cast<int>(SendMessage(TBM_GETRANGEMAX));
}
void CSliderCtrl::SetTicFreq(int freq)
{
    SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(freq));
}
int CSliderCtrl::SetLineSize(int size)
{
    return static_cast<int>(SendMessage(TBM_SETLINESIZE, 0, size));
}
int CSliderCtrl::SetPageSize(int size)
{
    return static_cast<int>(SendMessage(TBM_SETPAGESIZE, 0, size));
}

BOOL CTabCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl(*this, WC_TABCONTROLW, L"", style, rect, parent, id);
}
LONG CTabCtrl::InsertItem(int index, LPCWSTR text)
{
    TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(text), 0, -1, 0};
    return static_cast<LONG>(SendMessage(TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}
BOOL CTabCtrl::DeleteItem(int index)
{
    return static_cast<BOOL>(SendMessage(TCM_DELETEITEM, static_cast<WPARAM>(index)));
}
BOOL CTabCtrl::DeleteAllItems()
{
    return static_cast<BOOL>(SendMessage(TCM_DELETEALLITEMS));
}
int CTabCtrl::GetItemCount() const
{
    return static_cast<int>(SendMessage(TCM_GETITEMCOUNT));
}
int CTabCtrl::GetCurSel() const
{
    return static_cast<int>(SendMessage(TCM_GETCURSEL));
}
int CTabCtrl::SetCurSel(int index)
{
    return static_cast<int>(SendMessage(TCM_SETCURSEL, static_cast<WPARAM>(index)));
}
BOOL CTabCtrl::GetItemRect(int index, RECT* rect) const
{
    return static_cast<BOOL>(SendMessage(TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)));
}
void CTabCtrl::AdjustRect(BOOL larger, RECT* rect)
{
    SendMessage(TCM_ADJUSTRECT, larger, reinterpret_cast<LPARAM>(rect));
}

int AfxMessageBox(LPCWSTR text, UINT type, UINT)
{
    CWinApp* app = AfxGetApp();
    CWnd* main = AfxGetMainWnd();
    return MessageBoxW(main ? main->GetSafeHwnd() : nullptr, text,
                       app && app->m_pszAppName ? app->m_pszAppName : L"", type);
}
