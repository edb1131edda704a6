// CDialog from the resource script and data exchange, driven with posted
// messages the way the host's message loop delivers them.
#include "platform/mfc/mfc.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>
#include <vector>

namespace
{

constexpr int IDD_SAMPLE = 200;
constexpr int IDC_NAME = 1001;
constexpr int IDC_COUNT = 1002;
constexpr int IDC_SIZE = 1003;
constexpr int IDC_ANGLE = 1004;
constexpr int IDC_SHOW = 1005;
constexpr int IDC_FIRST = 1006;
constexpr int IDC_SECOND = 1007;
constexpr int IDC_THIRD = 1008;
constexpr int IDC_KIND = 1009;
constexpr int IDC_APPLY = 1010;

constexpr const char* kScript = R"(
#define IDD_SAMPLE 200
IDD_SAMPLE DIALOGEX 0, 0, 220, 150
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Sample Part"
FONT 8, "MS Shell Dlg", 400, 0, 0x1
BEGIN
    LTEXT           "Name:",IDC_STATIC,7,9,40,8
    EDITTEXT        1001,60,7,150,14,ES_AUTOHSCROLL
    LTEXT           "Count:",IDC_STATIC,7,27,40,8
    EDITTEXT        1002,60,25,50,14,ES_AUTOHSCROLL
    LTEXT           "Size:",IDC_STATIC,7,45,40,8
    EDITTEXT        1003,60,43,80,14,ES_AUTOHSCROLL
    LTEXT           "Angle:",IDC_STATIC,7,63,40,8
    EDITTEXT        1004,60,61,50,14,ES_AUTOHSCROLL
    AUTOCHECKBOX    "Show preview",1005,7,80,80,10
    GROUPBOX        "Mode",IDC_STATIC,7,93,100,50
    AUTORADIOBUTTON "Plane",1006,12,103,60,10,WS_GROUP | WS_TABSTOP
    AUTORADIOBUTTON "Sphere",1007,12,115,60,10
    AUTORADIOBUTTON "Cylinder",1008,12,127,60,10
    COMBOBOX        1009,120,80,90,50,CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP
    PUSHBUTTON      "Apply",1010,120,129,40,14
    DEFPUSHBUTTON   "OK",IDOK,165,112,45,14
    PUSHBUTTON      "Cancel",IDCANCEL,165,129,45,14
END
)";

class CSampleDialog : public CDialog
{
public:
    explicit CSampleDialog(CWnd* parent = nullptr) : CDialog(IDD_SAMPLE, parent) {}

    CString m_name = L"part";
    int m_count = 3;
    double m_size = static_cast<double>(0.2f);
    float m_angle = 30.0f;
    int m_show = 1;
    int m_mode = 1;
    int m_kind = 2;
    CComboBox m_kindBox;
    std::vector<std::string> log;

    void DoDataExchange(CDataExchange* dx) override
    {
        CDialog::DoDataExchange(dx);
        DDX_Control(dx, IDC_KIND, m_kindBox);
        DDX_Text(dx, IDC_NAME, m_name);
        DDX_Text(dx, IDC_COUNT, m_count);
        DDX_Text(dx, IDC_SIZE, m_size);
        DDX_Text(dx, IDC_ANGLE, m_angle);
        DDX_Check(dx, IDC_SHOW, m_show);
        DDX_Radio(dx, IDC_FIRST, m_mode);
        DDX_CBIndex(dx, IDC_KIND, m_kind);
    }
    BOOL OnInitDialog() override
    {
        for (const wchar_t* kind : {L"Free", L"Fixed", L"Guided"})
            SendDlgItemMessageW(m_hWnd, IDC_KIND, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kind));
        log.push_back("init");
        return CDialog::OnInitDialog();
    }
    void OnOK() override
    {
        log.push_back("ok");
        CDialog::OnOK();
    }

protected:
    afx_msg void OnApply() { log.push_back("apply"); }
    afx_msg void OnKindChange() { log.push_back("kind " + std::to_string(m_kindBox.GetCurSel())); }
    afx_msg void OnCountChange() { log.push_back("count changed"); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSampleDialog, CDialog)
ON_COMMAND(IDC_APPLY, &CSampleDialog::OnApply)
ON_CONTROL(CBN_SELCHANGE, IDC_KIND, &CSampleDialog::OnKindChange)
ON_CONTROL(EN_CHANGE, IDC_COUNT, &CSampleDialog::OnCountChange)
END_MESSAGE_MAP()

std::wstring Text(HWND hwnd)
{
    wchar_t buffer[256] = {};
    GetWindowTextW(hwnd, buffer, 256);
    return buffer;
}

class Dialogs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::ClearPromptAnswers();
        win32::ResetInputState();
        static std::uintptr_t next = 0x9300000;
        module = reinterpret_cast<HINSTANCE>(next += 0x1000);
        std::string error;
        ASSERT_TRUE(win32::RegisterResourceScript(module, kScript, nullptr, &error)) << error;
        previous = AfxGetResourceHandle();
        AfxSetResourceHandle(module);
        windowsBefore = win32::LiveWindowCount();
    }
    void TearDown() override
    {
        if (dialog.m_hWnd)
            dialog.DestroyWindow();
        mfc::PumpUntilIdle();
        EXPECT_EQ(win32::LiveWindowCount(), windowsBefore);
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
        win32::ClearPromptAnswers();
        win32::ResetInputState();
        AfxSetResourceHandle(previous);
        win32::UnregisterResources(module);
    }
    HWND Item(int id) const { return ::GetDlgItem(dialog.m_hWnd, id); }
    // Keys and characters arrive queued at the focused window.
    static void Post(UINT message, WPARAM wParam)
    {
        ::PostMessageW(::GetFocus(), message, wParam, 1);
        mfc::PumpUntilIdle();
    }
    static void Type(const std::wstring& text)
    {
        for (wchar_t c : text)
            Post(WM_CHAR, c);
    }
    static void Key(BYTE vk, bool shift = false)
    {
        if (shift)
            win32::SetKeyDown(VK_SHIFT, true);
        Post(WM_KEYDOWN, vk);
        if (shift)
            win32::SetKeyDown(VK_SHIFT, false);
    }
    void Click(int id, int x, int y)
    {
        ::PostMessageW(Item(id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        ::PostMessageW(Item(id), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        mfc::PumpUntilIdle();
    }
    static void ExpectBox(const wchar_t* text)
    {
        win32::QueuePromptAnswer({win32::kMessageBoxPrompt, text, IDOK, nullptr});
    }

    HINSTANCE module = nullptr;
    HINSTANCE previous = nullptr;
    std::size_t windowsBefore = 0;
    CSampleDialog dialog;
};

TEST_F(Dialogs, CreateRunsOnInitDialogAndFillsTheControls)
{
    ASSERT_TRUE(dialog.Create(IDD_SAMPLE));
    // Filling the count edit raised its change notification, as typing would.
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "count changed"}));
    EXPECT_EQ(Text(Item(IDC_NAME)), L"part");
    EXPECT_EQ(Text(Item(IDC_COUNT)), L"3");
    EXPECT_EQ(Text(Item(IDC_SIZE)), L"0.200000002980232"); // a double as "%.15g"
    EXPECT_EQ(Text(Item(IDC_ANGLE)), L"30");
    EXPECT_EQ(::IsDlgButtonChecked(dialog.m_hWnd, IDC_SHOW), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(dialog.m_hWnd, IDC_SECOND), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(dialog.m_hWnd, IDC_FIRST), BST_UNCHECKED);
    EXPECT_EQ(dialog.m_kindBox.GetSafeHwnd(), Item(IDC_KIND)); // attached by DDX_Control
    EXPECT_EQ(dialog.m_kindBox.GetCurSel(), 2);
    EXPECT_EQ(::GetFocus(), Item(IDC_NAME));
    EXPECT_EQ(CWnd::FromHandlePermanent(dialog.m_hWnd), &dialog);
    EXPECT_EQ(dialog.GetDlgItem(IDC_APPLY)->GetSafeHwnd(), Item(IDC_APPLY));
    // A second Create on a live dialog is refused; a missing template too.
    EXPECT_FALSE(dialog.Create(IDD_SAMPLE));
    CDialog missing;
    EXPECT_FALSE(missing.Create(4711));
}

TEST_F(Dialogs, TypingTabbingAndPickingReachTheMembers)
{
    ASSERT_TRUE(dialog.Create(IDD_SAMPLE));
    Post(WM_KEYDOWN, VK_END);
    Type(L"-7");
    Key(VK_TAB);
    EXPECT_EQ(::GetFocus(), Item(IDC_COUNT));
    Type(L"12"); // the number was selected whole on the way in
    EXPECT_EQ(Text(Item(IDC_COUNT)), L"12");
    Key(VK_TAB);
    Type(L"1.25e1");
    Key(VK_TAB);
    Type(L"45.5");
    Key(VK_TAB);
    EXPECT_EQ(::GetFocus(), Item(IDC_SHOW));
    ::PostMessageW(::GetFocus(), WM_KEYUP, VK_SPACE, 1); // the space bar toggles the check
    mfc::PumpUntilIdle();
    Key(VK_TAB);
    EXPECT_EQ(::GetFocus(), Item(IDC_SECOND)); // the group's checked radio is not a tab stop...
    Key(VK_TAB, true);
    EXPECT_EQ(::GetFocus(), Item(IDC_SHOW));
    Key(VK_TAB);
    EXPECT_EQ(::GetFocus(), Item(IDC_SECOND));
    Key(VK_TAB);
    EXPECT_EQ(::GetFocus(), Item(IDC_KIND)); // ...the first one is
    Key(VK_UP);                               // the combo's own arrows pick
    Key(VK_TAB, true);
    Key(VK_DOWN); // radio: moves to and checks the next in the group
    EXPECT_EQ(::GetFocus(), Item(IDC_THIRD));
    dialog.log.clear();
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(dialog.m_name, L"part-7");
    EXPECT_EQ(dialog.m_count, 12);
    EXPECT_DOUBLE_EQ(dialog.m_size, 12.5);
    EXPECT_FLOAT_EQ(dialog.m_angle, 45.5f);
    EXPECT_EQ(dialog.m_show, 0);
    EXPECT_EQ(dialog.m_mode, 2);
    EXPECT_EQ(dialog.m_kind, 1);
}

TEST_F(Dialogs, AComboPickedWithTheMouseNotifiesTheDialog)
{
    ASSERT_TRUE(dialog.Create(IDD_SAMPLE));
    dialog.log.clear();
    Click(IDC_KIND, 5, 5); // opens the list
    EXPECT_TRUE(dialog.m_kindBox.GetDroppedState());
    const int row = static_cast<int>(::SendMessageW(Item(IDC_KIND), CB_GETITEMHEIGHT, 0, 0));
    Click(IDC_KIND, 10, 0); // the field again closes it
    EXPECT_FALSE(dialog.m_kindBox.GetDroppedState());
    Click(IDC_KIND, 5, 5);
    // The first row of the list lies under the field, which is a row and
    // its frame high.
    const int fieldHeight = row + 4;
    Click(IDC_KIND, 10, fieldHeight + 1 + row / 2);
    EXPECT_FALSE(dialog.m_kindBox.GetDroppedState());
    ASSERT_FALSE(dialog.log.empty());
    EXPECT_EQ(dialog.log.back(), "kind 0");
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(dialog.m_kind, 0);
    // Setting the selection from the program tells nobody.
    dialog.log.clear();
    dialog.m_kind = 2;
    dialog.UpdateData(FALSE);
    EXPECT_EQ(dialog.m_kindBox.GetCurSel(), 2);
    for (const auto& line : dialog.log)
        EXPECT_EQ(line.rfind("kind", 0), std::string::npos) << line;
}

TEST_F(Dialogs, HostileNumberTextIsRefusedWithoutTouchingTheMember)
{
    ASSERT_TRUE(dialog.Create(IDD_SAMPLE));
    const std::wstring longDigits(5000, L'9');
    const std::vector<std::wstring> bad{L"",          L"   ",        L"nan",        L"NaN",         L"inf",
                                        L"-Infinity", L"1e400",      L"-1e400",     L"1,5",         L"0x10",
                                        L"1.5.2",     L"%s",         L"%d%n",       L"\U0001F600",  L"1.5\U0001F600",
                                        L"1.5 mm",    L"\u0661.5",   longDigits,    L"++1",         L"1e"};
    for (const std::wstring& text : bad)
    {
        dialog.m_name = L"before";
        dialog.m_size = 7.0;
        dialog.m_angle = 1.0f;
        ::SetWindowTextW(Item(IDC_NAME), L"after");
        ::SetWindowTextW(Item(IDC_ANGLE), L"2");
        ::SetWindowTextW(Item(IDC_SIZE), text.c_str());
        ::SetFocus(Item(IDC_NAME));
        ExpectBox(L"Please enter a number.");
        EXPECT_FALSE(dialog.UpdateData(TRUE)) << text.size();
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u); // the user was told
        EXPECT_EQ(dialog.m_size, 7.0);                 // the member keeps its value
        EXPECT_EQ(dialog.m_name, L"after");            // the ones before it are taken
        EXPECT_EQ(dialog.m_angle, 1.0f);               // the ones after it are not
        EXPECT_EQ(::GetFocus(), Item(IDC_SIZE));       // the user is back at the text
        DWORD a = 1, b = 0;
        ::SendMessageW(Item(IDC_SIZE), EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
        EXPECT_EQ(a, 0u);
        EXPECT_EQ(b, static_cast<DWORD>(text.size()));
        EXPECT_EQ(Text(Item(IDC_SIZE)), text.substr(0, 255)); // and the text is left as typed
    }
    const std::vector<std::pair<std::wstring, double>> good{
        {L" 2.5 ", 2.5}, {L"+3", 3.0}, {L"-0", -0.0}, {L"1e-3", 0.001}, {L"1E3", 1000.0}, {L"\t.5", 0.5}};
    for (const auto& [text, value] : good)
    {
        ::SetWindowTextW(Item(IDC_SIZE), text.c_str());
        EXPECT_TRUE(dialog.UpdateData(TRUE));
        EXPECT_EQ(dialog.m_size, value);
    }
}

TEST_F(Dialogs, IntegerAndFloatMembersRefuseWhatDoesNotFitThem)
{
    ASSERT_TRUE(dialog.Create(IDD_SAMPLE));
    for (const wchar_t* text : {L"", L"12abc", L"1.0", L"2147483648", L"-2147483649", L"99999999999999999999",
                                L"%d", L"\U0001F600"})
    {
        dialog.m_count = 5;
        ::SetWindowTextW(Item(IDC_COUNT), text);
        ExpectBox(L"Please enter an integer.");
        EXPECT_FALSE(dialog.UpdateData(TRUE)) << std::wstring(text).size();
        EXPECT_EQ(dialog.m_count, 5);
        EXPECT_EQ(::GetFocus(), Item(IDC_COUNT));
    }
    ::SetWindowTextW(Item(IDC_COUNT), L" -2147483648 ");
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(dialog.m_count, -2147483647 - 1);

    ::SetWindowTextW(Item(IDC_ANGLE), L"1e39"); // beyond float
    ExpectBox(L"Please enter a number.");
    EXPECT_FALSE(dialog.UpdateData(TRUE));
    ::SetWindowTextW(Item(IDC_ANGLE), L"0.1");
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(dialog.m_angle, 0.1f);
    dialog.m_angle = 1.0f / 3.0f;
    dialog.UpdateData(FALSE);
    EXPECT_EQ(Text(Item(IDC_ANGLE)), L"0.333333"); // a float as "%.6g"
}

TEST_F(Dialogs, TextMembersKeepEveryCharacter)
{
    ASSERT_TRUE(dialog.Create(IDD_SAMPLE));
    const std::wstring texts[] = {L"", L"  spaced  ", L"100% %s %n", L"\U0001F600 part \U00010348", L"a\"b'c\\d"};
    for (const std::wstring& text : texts)
    {
        dialog.m_name = text.c_str();
        dialog.UpdateData(FALSE);
        dialog.m_name = L"x";
        ASSERT_TRUE(dialog.UpdateData(TRUE));
        EXPECT_EQ(std::wstring(dialog.m_name.GetString()), text);
    }
    // A very long text is cut to the edit's limit, never past it.
    const std::wstring huge(100000, L'w');
    dialog.m_name = huge.c_str();
    dialog.UpdateData(FALSE);
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(dialog.m_name.GetLength(), static_cast<int>(::SendMessageW(Item(IDC_NAME), EM_GETLIMITTEXT, 0, 0)));
}

TEST_F(Dialogs, NumbersUseThePointWhateverTheLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    ASSERT_TRUE(dialog.Create(IDD_SAMPLE));
    dialog.m_size = 1.5;
    dialog.m_angle = 2.25f;
    dialog.UpdateData(FALSE);
    EXPECT_EQ(Text(Item(IDC_SIZE)), L"1.5");
    EXPECT_EQ(Text(Item(IDC_ANGLE)), L"2.25");
    ::SetWindowTextW(Item(IDC_SIZE), L"3,5");
    ExpectBox(L"Please enter a number.");
    EXPECT_FALSE(dialog.UpdateData(TRUE));
    ::SetWindowTextW(Item(IDC_SIZE), L"3.5");
    EXPECT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(dialog.m_size, 3.5);
    EXPECT_EQ(mfc::FormatDouble(1e20), L"1e+20");
    EXPECT_EQ(mfc::FormatDouble(0.1), L"0.1");
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!comma)
        GTEST_SKIP() << "no comma-decimal locale installed; checked in the C locale only";
}

TEST_F(Dialogs, DoModalRunsOnTheScriptedAnswerAndReadsTheControlsOnOk)
{
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, L"owner", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr));
    dialog.m_pParentWnd = &owner;
    win32::QueuePromptAnswer({win32::kDialogPrompt, L"Sample Part", IDCANCEL,
                              [&](HWND hwnd, const std::wstring& caption) -> INT_PTR
                              {
                                  EXPECT_EQ(caption, L"Sample Part");
                                  EXPECT_EQ(hwnd, dialog.m_hWnd);
                                  EXPECT_FALSE(owner.IsWindowEnabled());
                                  EXPECT_TRUE(::IsWindowVisible(hwnd));
                                  Type(L"s");
                                  Key(VK_TAB);
                                  Type(L"40");
                                  Key(VK_RETURN); // the default button: OK
                                  return IDCANCEL; // never pressed: OK ended the dialog
                              }});
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_EQ(dialog.m_name, L"s");
    EXPECT_EQ(dialog.m_count, 40);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "count changed", "count changed", "count changed",
                                                    "ok"}));

    // Bad text: OK is refused (the box is answered), then Escape cancels and
    // the members keep what they had.
    dialog.log.clear();
    win32::QueuePromptAnswer({win32::kDialogPrompt, L"Sample Part", IDCANCEL,
                              [](HWND, const std::wstring&) -> INT_PTR
                              {
                                  Key(VK_TAB);
                                  Type(L"many");
                                  Key(VK_RETURN);
                                  Key(VK_ESCAPE);
                                  return IDOK; // not reached
                              }});
    ExpectBox(L"Please enter an integer.");
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.m_count, 40);
    EXPECT_TRUE(owner.IsWindowEnabled());

    // The answer alone presses its button.
    win32::QueuePromptAnswer({win32::kDialogPrompt, L"Sample", IDC_APPLY, nullptr});
    win32::QueuePromptAnswer({win32::kDialogPrompt, L"Sample", IDOK, nullptr});
    dialog.log.clear();
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "count changed", "apply", "ok"}));
    owner.DestroyWindow();
}

TEST_F(Dialogs, DoModalWithoutAnAnswerFailsLoudlyAndCleansUp)
{
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, L"owner", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr));
    dialog.m_pParentWnd = &owner;
    EXPECT_THROW(dialog.DoModal(), win32::UnexpectedPrompt);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_TRUE(owner.IsWindowEnabled());
    // A dialog that refuses OK forever runs out of answers instead of hanging.
    win32::QueuePromptAnswer({win32::kDialogPrompt, L"", IDOK,
                              [](HWND hwnd, const std::wstring&) -> INT_PTR
                              {
                                  ::SetDlgItemTextW(hwnd, IDC_SIZE, L"nan");
                                  return IDOK;
                              }});
    ExpectBox(L"Please enter a number.");
    EXPECT_THROW(dialog.DoModal(), win32::UnexpectedPrompt);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_TRUE(owner.IsWindowEnabled());
    CDialog missing(4711, &owner);
    EXPECT_EQ(missing.DoModal(), -1);
    EXPECT_TRUE(owner.IsWindowEnabled());
    owner.DestroyWindow();
}

TEST_F(Dialogs, WindowImageShowsTheMembersValues)
{
    ASSERT_TRUE(dialog.Create(IDD_SAMPLE));
    dialog.ShowWindow(SW_SHOW);
    dialog.UpdateWindow();
    mfc::PumpUntilIdle();
    const win32::ClientImage image = win32::ComposeWindowImage(dialog.m_hWnd);
    ASSERT_GT(image.width, 0);
    auto at = [&](int x, int y) { return image.pixels[static_cast<std::size_t>(y) * image.width + x] & 0xFFFFFFu; };
    auto inside = [&](int id)
    {
        RECT r{};
        ::GetWindowRect(Item(id), &r);
        ::MapWindowPoints(nullptr, dialog.m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    auto darkIn = [&](const RECT& r)
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += at(x, y) == 0 ? 1 : 0;
        return n;
    };
    // Each edit shows its member's text; an emptied one shows none.
    EXPECT_GT(darkIn(inside(IDC_SIZE)), 20);
    ::SetWindowTextW(Item(IDC_ANGLE), L"");
    dialog.UpdateWindow();
    mfc::PumpUntilIdle();
    const win32::ClientImage after = win32::ComposeWindowImage(dialog.m_hWnd);
    const RECT angle = inside(IDC_ANGLE);
    int darkAfter = 0;
    for (int y = angle.top + 1; y < angle.bottom - 1; ++y)
        for (int x = angle.left + 1; x < angle.right - 1; ++x)
            darkAfter += (after.pixels[static_cast<std::size_t>(y) * after.width + x] & 0xFFFFFFu) == 0 ? 1 : 0;
    EXPECT_LE(darkAfter, 1); // at most the caret of another control's focus
    // The checked box draws its mark: unchecking it changes the box's pixels.
    const RECT show = inside(IDC_SHOW);
    ::SendMessageW(Item(IDC_SHOW), BM_SETCHECK, BST_UNCHECKED, 0);
    mfc::PumpUntilIdle();
    const win32::ClientImage unchecked = win32::ComposeWindowImage(dialog.m_hWnd);
    int changed = 0;
    for (int y = show.top; y < show.bottom; ++y)
        for (int x = show.left; x < show.left + 13; ++x)
            changed += unchecked.pixels[static_cast<std::size_t>(y) * unchecked.width + x] !=
                               image.pixels[static_cast<std::size_t>(y) * image.width + x]
                           ? 1
                           : 0;
    EXPECT_GT(changed, 5);
    ::SendMessageW(Item(IDC_SHOW), BM_SETCHECK, BST_CHECKED, 0);
    mfc::PumpUntilIdle();
    win32::WriteSnapshotIfRequested(dialog.m_hWnd, "mfc_sample_dialog");
}

} // namespace
