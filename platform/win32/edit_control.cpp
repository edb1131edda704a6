// The edit control: one line (or several with ES_MULTILINE) of text with a
// selection, typed through WM_CHAR, with number-only and password styles.
#include "platform/win32/control_internal.h"
#include "platform/win32/window_internal.h"

#include <algorithm>

namespace win32::detail
{

namespace
{

// Texts longer than this are refused (EN_MAXTEXT), so that pasted or typed
// text cannot grow without bound.
constexpr std::size_t kDefaultLimit = 30000;

struct EditState : ControlState
{
    std::size_t selStart = 0;
    std::size_t selEnd = 0;
    wchar_t passwordChar = 0;
    std::size_t limit = kDefaultLimit;
    bool modified = false;
};

DWORD StyleOf(HWND hwnd)
{
    return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
}

// Stores new text without the WM_SETTEXT path, then tells the parent.
void ReplaceText(HWND hwnd, EditState& s, const std::wstring& text, std::size_t caret)
{
    SetStoredText(hwnd, text.c_str());
    s.selStart = s.selEnd = std::min(caret, text.size());
    s.modified = true;
    InvalidateRect(hwnd, nullptr, TRUE);
    NotifyParent(hwnd, EN_UPDATE);
    NotifyParent(hwnd, EN_CHANGE);
}

void ClampSelection(EditState& s, std::size_t size)
{
    s.selStart = std::min(s.selStart, size);
    s.selEnd = std::min(s.selEnd, size);
}

// Inserts typed or pasted text over the selection; false when refused.
bool InsertText(HWND hwnd, EditState& s, std::wstring insert)
{
    const DWORD style = StyleOf(hwnd);
    if (style & ES_READONLY)
        return false;
    if (!(style & ES_MULTILINE))
        insert.erase(std::remove_if(insert.begin(), insert.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }),
                     insert.end());
    if (style & ES_NUMBER)
        for (wchar_t c : insert)
            if (c < L'0' || c > L'9')
                return false;
    std::wstring text = WindowText(hwnd);
    ClampSelection(s, text.size());
    const std::size_t a = std::min(s.selStart, s.selEnd);
    const std::size_t b = std::max(s.selStart, s.selEnd);
    if (text.size() - (b - a) + insert.size() > s.limit)
    {
        NotifyParent(hwnd, EN_MAXTEXT);
        return false;
    }
    text.replace(a, b - a, insert);
    ReplaceText(hwnd, s, text, a + insert.size());
    return true;
}

void Paint(HWND hwnd)
{
    ControlPaint p(hwnd);
    if (!p.dc)
        return;
    auto* s = StateOf<EditState>(hwnd);
    const DWORD style = StyleOf(hwnd);
    const bool grey = !p.enabled || (style & ES_READONLY);
    p.Fill(p.client, grey ? COLOR_BTNFACE : COLOR_WINDOW);
    RECT inner = p.client;
    if ((style & WS_BORDER) || (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE))
    {
        p.Frame(p.client, COLOR_BTNSHADOW);
        InflateRect(&inner, -1, -1);
    }
    InflateRect(&inner, -2, 0);
    std::wstring text = WindowText(hwnd);
    if (s && s->passwordChar)
        text.assign(text.size(), s->passwordChar);
    UINT format = DT_NOPREFIX | ((style & ES_MULTILINE) ? DT_WORDBREAK : (DT_SINGLELINE | DT_VCENTER));
    if (style & ES_CENTER)
        format |= DT_CENTER;
    else if (style & ES_RIGHT)
        format |= DT_RIGHT;
    p.Text(text, inner, format, COLOR_WINDOWTEXT);
    if (p.focused && s)
    {
        // The caret: a one-pixel bar after the text before it.
        ClampSelection(*s, text.size());
        SIZE before{};
        GetTextExtentPoint32W(p.dc, text.c_str(), static_cast<int>(s->selEnd), &before);
        const int x = std::min<int>(inner.left + before.cx, inner.right - 1);
        RECT caret{x, inner.top + 2, x + 1, inner.bottom - 2};
        p.Fill(caret, COLOR_WINDOWTEXT);
    }
}

} // namespace

LRESULT EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (CommonControlMessage<EditState>(hwnd, message, wParam, lParam, result))
        return result;
    auto* s = StateOf<EditState>(hwnd);
    if (!s)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message)
    {
    case WM_CREATE:
        if (StyleOf(hwnd) & ES_PASSWORD)
            s->passwordChar = L'*';
        return 0;
    case WM_SETTEXT:
    {
        std::wstring text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
        if (text.size() > s->limit)
            text.resize(s->limit);
        SetStoredText(hwnd, text.c_str());
        s->selStart = s->selEnd = 0;
        s->modified = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        NotifyParent(hwnd, EN_UPDATE);
        NotifyParent(hwnd, EN_CHANGE);
        return TRUE;
    }
    case EM_GETSEL:
    {
        ClampSelection(*s, WindowText(hwnd).size());
        const auto a = static_cast<DWORD>(std::min(s->selStart, s->selEnd));
        const auto b = static_cast<DWORD>(std::max(s->selStart, s->selEnd));
        if (wParam)
            *reinterpret_cast<DWORD*>(wParam) = a;
        if (lParam)
            *reinterpret_cast<DWORD*>(lParam) = b;
        return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(std::min<DWORD>(a, 0xFFFF)),
                                             static_cast<WORD>(std::min<DWORD>(b, 0xFFFF))));
    }
    case EM_SETSEL:
    {
        const std::size_t size = WindowText(hwnd).size();
        const auto start = static_cast<std::intptr_t>(wParam);
        const auto end = static_cast<std::intptr_t>(lParam);
        if (start < 0)
        {
            // A negative start removes the selection, leaving the caret.
            s->selStart = s->selEnd;
        }
        else
        {
            s->selStart = std::min(static_cast<std::size_t>(start), size);
            s->selEnd = end < 0 ? size : std::min(static_cast<std::size_t>(end), size);
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case EM_REPLACESEL:
        InsertText(hwnd, *s, lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"");
        return 0;
    case EM_SCROLLCARET:
        return TRUE;
    case EM_GETMODIFY:
        return s->modified;
    case EM_SETMODIFY:
        s->modified = wParam != 0;
        return 0;
    case EM_LIMITTEXT:
        s->limit = wParam == 0 ? kDefaultLimit : std::min<std::size_t>(wParam, 0x7FFFFFFE);
        return 0;
    case EM_GETLIMITTEXT:
        return static_cast<LRESULT>(s->limit);
    case EM_SETPASSWORDCHAR:
        s->passwordChar = static_cast<wchar_t>(wParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case EM_GETPASSWORDCHAR:
        return s->passwordChar;
    case EM_SETREADONLY:
    {
        LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
        SetWindowLongPtrW(hwnd, GWL_STYLE, wParam ? (style | ES_READONLY) : (style & ~static_cast<LONG_PTR>(ES_READONLY)));
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case WM_GETDLGCODE:
    {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        if ((StyleOf(hwnd) & (ES_MULTILINE | ES_WANTRETURN)) == (ES_MULTILINE | ES_WANTRETURN))
            code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_CHAR:
    {
        const auto ch = static_cast<wchar_t>(wParam);
        if (ch == 8) // backspace
        {
            if (StyleOf(hwnd) & ES_READONLY)
                return 0;
            std::wstring text = WindowText(hwnd);
            ClampSelection(*s, text.size());
            std::size_t a = std::min(s->selStart, s->selEnd);
            std::size_t b = std::max(s->selStart, s->selEnd);
            if (a == b && a > 0)
                --a;
            if (a != b)
            {
                text.erase(a, b - a);
                ReplaceText(hwnd, *s, text, a);
            }
            return 0;
        }
        if (ch == L'\r' && (StyleOf(hwnd) & ES_MULTILINE))
        {
            InsertText(hwnd, *s, L"\r\n");
            return 0;
        }
        if (ch < 32 || ch == 127)
            return 0;
        InsertText(hwnd, *s, std::wstring(1, ch));
        return 0;
    }
    case WM_KEYDOWN:
    {
        const std::size_t size = WindowText(hwnd).size();
        ClampSelection(*s, size);
        switch (wParam)
        {
        case VK_LEFT:
            s->selStart = s->selEnd = s->selEnd > 0 ? s->selEnd - 1 : 0;
            break;
        case VK_RIGHT:
            s->selStart = s->selEnd = std::min(size, s->selEnd + 1);
            break;
        case VK_HOME:
            s->selStart = s->selEnd = 0;
            break;
        case VK_END:
            s->selStart = s->selEnd = size;
            break;
        case VK_DELETE:
        {
            if (StyleOf(hwnd) & ES_READONLY)
                break;
            std::wstring text = WindowText(hwnd);
            std::size_t a = std::min(s->selStart, s->selEnd);
            std::size_t b = std::max(s->selStart, s->selEnd);
            if (a == b && b < text.size())
                ++b;
            if (a != b)
            {
                text.erase(a, b - a);
                ReplaceText(hwnd, *s, text, a);
            }
            break;
        }
        default:
            return 0;
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        return 0;
    case WM_SETFOCUS:
        InvalidateRect(hwnd, nullptr, FALSE);
        NotifyParent(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, FALSE);
        NotifyParent(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_ENABLE:
    case WM_SIZE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace win32::detail
