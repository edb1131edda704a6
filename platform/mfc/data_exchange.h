// Dialog data exchange: DoDataExchange lists DDX_ calls that move values
// between a window's controls and its members, in both directions. Numbers
// are written and read with '.' as the decimal point whatever the process
// locale. Text that is not a number of the member's kind, or does not fit
// it, is refused: the user is told ("Please enter a number." and the like),
// the focus goes back to the control with its text selected, and UpdateData
// returns FALSE without touching that member or the ones after it.
#pragma once

#include "platform/mfc/mfc_string.h"
#include "platform/mfc/wnd.h"

#include <optional>
#include <string>
#include <string_view>

// Thrown by CDataExchange::Fail and caught by UpdateData: the user was
// already told what was wrong.
class CUserException
{
};

class CDataExchange
{
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;

    // The control with this id, remembered as the one a failure returns
    // to; a missing control fails the exchange.
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Focus back to the last prepared control (its text selected when it is
    // an edit), then throws CUserException.
    [[noreturn]] void Fail();

private:
    HWND m_hWndLastControl = nullptr;
    bool m_bEditLastControl = false;
};

void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, UINT& value);
void DDX_Text(CDataExchange* dx, int id, long& value);
void DDX_Text(CDataExchange* dx, int id, float& value);
void DDX_Text(CDataExchange* dx, int id, double& value);
// Check state of a check box (0, 1, or 2 for a three-state box).
void DDX_Check(CDataExchange* dx, int id, int& value);
// Index of the checked radio button in the group that starts at id (the
// buttons up to the next WS_GROUP control); -1 for none.
void DDX_Radio(CDataExchange* dx, int id, int& value);
// Attaches the control object to the control, once.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// Index of a combo box's selection; -1 for none.
void DDX_CBIndex(CDataExchange* dx, int id, int& value);

namespace mfc
{

// The number conversions of DDX_Text, for callers that convert alike.
// Parsing takes spaces and tabs around the number and nothing else; reals
// refuse non-finite values and values beyond the type, integers values
// beyond the type. Formatting is "%.15g" for double, "%.6g" for float, "%d".
std::optional<double> ParseDouble(std::wstring_view text);
std::optional<float> ParseFloat(std::wstring_view text);
std::optional<long long> ParseInteger(std::wstring_view text);
std::wstring FormatDouble(double value);
std::wstring FormatFloat(float value);

} // namespace mfc
