#include "platform/mfc/data_exchange.h"
#include "platform/mfc/controls.h"

#include <cfloat>
#include <charconv>
#include <climits>
#include <limits>
#include <cmath>
#include <vector>

namespace
{

constexpr const wchar_t* kEnterInteger = L"Please enter an integer.";
constexpr const wchar_t* kEnterPositiveInteger = L"Please enter a positive integer.";
constexpr const wchar_t* kEnterNumber = L"Please enter a number.";

// The text between leading and trailing spaces and tabs, as ASCII; none when
// it holds anything else (no number has other characters).
std::optional<std::string> NumberText(std::wstring_view text)
{
    auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    std::size_t a = 0, b = text.size();
    while (a < b && blank(text[a]))
        ++a;
    while (b > a && blank(text[b - 1]))
        --b;
    if (a == b)
        return std::nullopt;
    std::string out;
    out.reserve(b - a);
    for (std::size_t i = a; i < b; ++i)
    {
        if (text[i] < 0x21 || text[i] > 0x7E)
            return std::nullopt;
        out += static_cast<char>(text[i]);
    }
    // from_chars takes no leading '+'; a user may type one.
    if (out.size() > 1 && out[0] == '+' && out[1] != '-' && out[1] != '+')
        out.erase(0, 1);
    return out;
}

std::wstring Widen(const char* first, const char* last)
{
    return std::wstring(first, last);
}

std::wstring ControlText(HWND control)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Refuse(CDataExchange* dx, const wchar_t* message)
{
    AfxMessageBox(message, MB_ICONEXCLAMATION);
    dx->Fail();
}

template <class Int> void ExchangeInteger(CDataExchange* dx, int id, Int& value, const wchar_t* message)
{
    HWND control = dx->PrepareEditCtrl(id);
    if (!dx->m_bSaveAndValidate)
    {
        ::SetWindowTextW(control, std::to_wstring(value).c_str());
        return;
    }
    auto parsed = mfc::ParseInteger(ControlText(control));
    const bool fits = parsed && *parsed >= static_cast<long long>(std::numeric_limits<Int>::min()) &&
                      (*parsed < 0 || static_cast<unsigned long long>(*parsed) <=
                                          static_cast<unsigned long long>(std::numeric_limits<Int>::max()));
    if (!fits)
        Refuse(dx, message);
    value = static_cast<Int>(*parsed);
}

int ButtonCheck(HWND button)
{
    return static_cast<int>(::SendMessageW(button, BM_GETCHECK, 0, 0));
}

} // namespace

namespace mfc
{

std::optional<double> ParseDouble(std::wstring_view text)
{
    auto ascii = NumberText(text);
    if (!ascii)
        return std::nullopt;
    double value = 0;
    const char* first = ascii->data();
    const char* last = first + ascii->size();
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error != std::errc() || end != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<float> ParseFloat(std::wstring_view text)
{
    auto value = ParseDouble(text);
    if (!value || std::fabs(*value) > static_cast<double>(FLT_MAX))
        return std::nullopt;
    return static_cast<float>(*value);
}

std::optional<long long> ParseInteger(std::wstring_view text)
{
    auto ascii = NumberText(text);
    if (!ascii)
        return std::nullopt;
    long long value = 0;
    const char* first = ascii->data();
    const char* last = first + ascii->size();
    auto [end, error] = std::from_chars(first, last, value, 10);
    if (error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

std::wstring FormatDouble(double value)
{
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return error == std::errc() ? Widen(buffer, end) : std::wstring();
}

std::wstring FormatFloat(float value)
{
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::general, FLT_DIG);
    return error == std::errc() ? Widen(buffer, end) : std::wstring();
}

} // namespace mfc

HWND CDataExchange::PrepareCtrl(int id)
{
    HWND control = m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), id) : nullptr;
    if (!control)
    {
        // A program error rather than a user's: say so where developers look.
        ::OutputDebugStringW((L"data exchange: no control with id " + std::to_wstring(id) + L"\n").c_str());
        m_hWndLastControl = nullptr;
        m_bEditLastControl = false;
        throw CUserException();
    }
    m_hWndLastControl = control;
    m_bEditLastControl = false;
    return control;
}

HWND CDataExchange::PrepareEditCtrl(int id)
{
    HWND control = PrepareCtrl(id);
    m_bEditLastControl = true;
    return control;
}

void CDataExchange::Fail()
{
    if (m_hWndLastControl && ::IsWindow(m_hWndLastControl))
    {
        ::SetFocus(m_hWndLastControl);
        if (m_bEditLastControl)
            ::SendMessageW(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    throw CUserException();
}

BOOL CWnd::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    try
    {
        DoDataExchange(&dx);
    }
    catch (const CUserException&)
    {
        return FALSE;
    }
    return TRUE;
}

void DDX_Text(CDataExchange* dx, int id, CString& value)
{
    HWND control = dx->PrepareEditCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = CString(ControlText(control));
    else
        ::SetWindowTextW(control, value.GetString());
}

void DDX_Text(CDataExchange* dx, int id, int& value)
{
    ExchangeInteger(dx, id, value, kEnterInteger);
}

void DDX_Text(CDataExchange* dx, int id, UINT& value)
{
    ExchangeInteger(dx, id, value, kEnterPositiveInteger);
}

void DDX_Text(CDataExchange* dx, int id, long& value)
{
    ExchangeInteger(dx, id, value, kEnterInteger);
}

void DDX_Text(CDataExchange* dx, int id, float& value)
{
    HWND control = dx->PrepareEditCtrl(id);
    if (!dx->m_bSaveAndValidate)
    {
        ::SetWindowTextW(control, mfc::FormatFloat(value).c_str());
        return;
    }
    auto parsed = mfc::ParseFloat(ControlText(control));
    if (!parsed)
        Refuse(dx, kEnterNumber);
    value = *parsed;
}

void DDX_Text(CDataExchange* dx, int id, double& value)
{
    HWND control = dx->PrepareEditCtrl(id);
    if (!dx->m_bSaveAndValidate)
    {
        ::SetWindowTextW(control, mfc::FormatDouble(value).c_str());
        return;
    }
    auto parsed = mfc::ParseDouble(ControlText(control));
    if (!parsed)
        Refuse(dx, kEnterNumber);
    value = *parsed;
}

void DDX_Check(CDataExchange* dx, int id, int& value)
{
    HWND button = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = ButtonCheck(button);
    else
        // Only the three states exist; anything else shows unchecked.
        ::SendMessageW(button, BM_SETCHECK, value >= 0 && value <= 2 ? static_cast<WPARAM>(value) : 0, 0);
}

void DDX_Radio(CDataExchange* dx, int id, int& value)
{
    HWND first = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = -1;
    int index = 0;
    for (HWND h = first; h; h = ::GetWindow(h, GW_HWNDNEXT))
    {
        const auto style = static_cast<DWORD>(::GetWindowLongPtrW(h, GWL_STYLE));
        if (h != first && (style & WS_GROUP))
            break;
        if (!(::SendMessageW(h, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON))
            continue;
        if (dx->m_bSaveAndValidate)
        {
            if (ButtonCheck(h) != BST_UNCHECKED && value == -1)
                value = index;
        }
        else
            ::SendMessageW(h, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        ++index;
    }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (control.GetSafeHwnd())
        return;
    HWND hwnd = dx->PrepareCtrl(id);
    if (!control.SubclassWindow(hwnd))
        dx->Fail(); // the control already has another object
}

void DDX_CBIndex(CDataExchange* dx, int id, int& value)
{
    HWND combo = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(static_cast<INT_PTR>(value)), 0);
}
