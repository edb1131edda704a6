// Dialog templates from resource scripts, dialogs made from them, keyboard
// navigation and the modal loop.
#include "recording_window.h"

#include "platform/win32/dialog.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{

constexpr const char* kScript = R"(
#include "resource.h"
#define IDC_NAME 1001
#define IDC_COUNT 1002
#define IDC_NOTE 1003
#define IDC_SHOW 1004
#define IDC_FIRST 1005
#define IDC_SECOND 1006
#define IDC_KIND 1007
#define IDC_APPLY 1008
#define IDC_LIST 1009
#define IDC_HIDDEN 1010
#define IDC_SLIDER 1011

IDD_SAMPLE DIALOGEX 10, 20, 200, 140
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Sample"
FONT 8, "MS Shell Dlg", 400, 0, 0x1
BEGIN
    LTEXT           "Name:",IDC_STATIC,7,9,40,8
    EDITTEXT        IDC_NAME,50,7,100,14,ES_AUTOHSCROLL
    EDITTEXT        IDC_COUNT,50,25,40,14,ES_AUTOHSCROLL | ES_NUMBER
    EDITTEXT        IDC_NOTE,100,25,40,14,ES_AUTOHSCROLL | NOT WS_TABSTOP
    AUTOCHECKBOX    "Show",IDC_SHOW,7,45,60,10
    GROUPBOX        "Mode",IDC_STATIC,7,58,90,36
    AUTORADIOBUTTON "First",IDC_FIRST,12,68,60,10,WS_GROUP | WS_TABSTOP
    AUTORADIOBUTTON "Second",IDC_SECOND,12,80,60,10
    COMBOBOX        IDC_KIND,110,45,80,60,CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP
    LISTBOX         IDC_LIST,110,62,80,30,LBS_NOINTEGRALHEIGHT
    CONTROL         "",IDC_SLIDER,"msctls_trackbar32",TBS_NOTICKS | WS_TABSTOP,7,98,90,12
    PUSHBUTTON      "Hidden",IDC_HIDDEN,7,112,40,14,NOT WS_VISIBLE
    PUSHBUTTON      "Apply",IDC_APPLY,50,119,40,14
    DEFPUSHBUTTON   "OK",IDOK,96,119,45,14
    PUSHBUTTON      "Cancel",IDCANCEL,146,119,45,14
END

IDD_PLAIN DIALOG 0, 0, 100, 50
CAPTION "Plain"
BEGIN
    RTEXT "Right", 10, 5, 5, 40, 8
    CTEXT "Centre", 11, 5, 15, 40, 8
    CHECKBOX "Manual", 12, 5, 25, 40, 10
    RADIOBUTTON "Radio", 13, 50, 25, 40, 10
    CONTROL "Push", 14, BUTTON, BS_PUSHBUTTON | WS_TABSTOP, 50, 5, 40, 14, WS_EX_STATICEDGE
END
)";

constexpr const char* kHeader = R"(
#define IDD_SAMPLE 100
#define IDD_PLAIN 101
)";

win32::ResourceIncludeResolver Includes()
{
    return [](const std::string& name) -> std::optional<std::string>
    {
        if (name == "resource.h")
            return std::string(kHeader);
        return std::nullopt;
    };
}

HINSTANCE NextModule()
{
    static std::uintptr_t next = 0x7800000;
    return reinterpret_cast<HINSTANCE>(next += 0x1000);
}

std::string ParseError(const std::string& script)
{
    win32::ResourceScript out;
    std::string error;
    if (win32::ParseResourceScript(script, nullptr, out, error))
        return "accepted";
    return error;
}

// What the sample dialog's procedure heard.
struct ProcLog
{
    std::vector<UINT> messages;
    std::vector<std::pair<int, int>> commands; // id, code
    HWND initFocus = nullptr;
    LPARAM initParam = 0;
    bool endOnCommand = true;
};
ProcLog g_log;

INT_PTR SampleProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_log.messages.push_back(message);
    if (message == WM_INITDIALOG)
    {
        g_log.initFocus = reinterpret_cast<HWND>(wParam);
        g_log.initParam = lParam;
        return TRUE;
    }
    if (message == WM_COMMAND)
    {
        g_log.commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
        if (g_log.endOnCommand && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
            EndDialog(dialog, LOWORD(wParam) == IDOK ? 10 : 20);
        return TRUE;
    }
    return FALSE;
}

class Dialogs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testwin::Reset();
        win32::ResetInputState();
        win32::ClearPromptAnswers();
        g_log = ProcLog{};
        module = NextModule();
        std::string error;
        ASSERT_TRUE(win32::RegisterResourceScript(module, kScript, Includes(), &error)) << error;
        owner = testwin::CreateTop(0, 0, 640, 480);
    }
    void TearDown() override
    {
        if (IsWindow(dialog))
            DestroyWindow(dialog);
        DestroyWindow(owner);
        win32::PumpUntilIdle();
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
        win32::ClearPromptAnswers();
        win32::ResetInputState();
        win32::UnregisterResources(module);
    }
    HWND Make()
    {
        dialog = CreateDialogParamW(module, MAKEINTRESOURCEW(100), owner, &SampleProc, 77);
        return dialog;
    }
    HWND Item(int id) const { return GetDlgItem(dialog, id); }
    // A key press the way the host's loop sees it: queued, then offered to
    // the dialog before dispatch.
    void Key(BYTE vk, bool shift = false)
    {
        if (shift)
            win32::SetKeyDown(VK_SHIFT, true);
        PostMessageW(GetFocus(), WM_KEYDOWN, vk, 1);
        Pump();
        if (shift)
            win32::SetKeyDown(VK_SHIFT, false);
    }
    void Pump()
    {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (!IsDialogMessageW(dialog, &msg))
            {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
    }
    int FocusId() const { return GetDlgCtrlID(GetFocus()); }

    HINSTANCE module = nullptr;
    HWND owner = nullptr;
    HWND dialog = nullptr;
};

TEST(DialogTemplates, StatementsGiveTheirControlsClassesAndStyles)
{
    win32::ResourceScript out;
    std::string error;
    ASSERT_TRUE(win32::ParseResourceScript(kScript, Includes(), out, error)) << error;
    const win32::DialogTemplate& t = out.dialogs.at(win32::ResourceKey{100, L""});
    EXPECT_EQ(t.caption, L"Sample");
    EXPECT_EQ(t.fontFace, L"MS Shell Dlg");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.style, DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ((std::vector<int>{t.x, t.y, t.cx, t.cy}), (std::vector<int>{10, 20, 200, 140}));
    ASSERT_EQ(t.items.size(), 15u);

    const auto& label = t.items[0];
    EXPECT_EQ(label.className, L"Static");
    EXPECT_EQ(label.id, 0xFFFFu); // IDC_STATIC
    EXPECT_EQ(label.style, WS_CHILD | WS_VISIBLE | SS_LEFT | WS_GROUP);
    const auto& name = t.items[1];
    EXPECT_EQ(name.className, L"Edit");
    EXPECT_EQ(name.style, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL);
    EXPECT_EQ((std::vector<int>{name.x, name.y, name.cx, name.cy}), (std::vector<int>{50, 7, 100, 14}));
    // NOT takes a default away.
    EXPECT_EQ(t.items[3].style & WS_TABSTOP, 0u);
    EXPECT_EQ(t.items[3].style & WS_BORDER, static_cast<DWORD>(WS_BORDER));
    EXPECT_EQ(t.items[4].style & BS_TYPEMASK, BS_AUTOCHECKBOX);
    EXPECT_EQ(t.items[4].style & WS_TABSTOP, static_cast<DWORD>(WS_TABSTOP));
    EXPECT_EQ(t.items[5].style & BS_TYPEMASK, BS_GROUPBOX);
    EXPECT_EQ(t.items[5].style & WS_TABSTOP, 0u);
    EXPECT_EQ(t.items[7].style & (WS_TABSTOP | WS_GROUP), 0u); // radios get neither unless asked
    EXPECT_EQ(t.items[8].className, L"ComboBox");
    EXPECT_EQ(t.items[8].style & 3u, CBS_DROPDOWNLIST);
    EXPECT_EQ(t.items[9].className, L"ListBox");
    EXPECT_EQ(t.items[9].style & (LBS_NOTIFY | WS_BORDER), LBS_NOTIFY | WS_BORDER);
    EXPECT_EQ(t.items[10].className, L"msctls_trackbar32");
    EXPECT_EQ(t.items[10].style, WS_CHILD | WS_VISIBLE | TBS_NOTICKS | WS_TABSTOP);
    EXPECT_EQ(t.items[11].style & WS_VISIBLE, 0u);
    EXPECT_EQ(t.items[13].style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(t.items[13].id, static_cast<UINT>(IDOK));

    const win32::DialogTemplate& plain = out.dialogs.at(win32::ResourceKey{101, L""});
    EXPECT_TRUE(plain.fontFace.empty());
    ASSERT_EQ(plain.items.size(), 5u);
    EXPECT_EQ(plain.items[0].style & SS_TYPEMASK, SS_RIGHT);
    EXPECT_EQ(plain.items[1].style & SS_TYPEMASK, SS_CENTER);
    EXPECT_EQ(plain.items[2].style & BS_TYPEMASK, BS_CHECKBOX);
    EXPECT_EQ(plain.items[3].style & BS_TYPEMASK, BS_RADIOBUTTON);
    EXPECT_EQ(plain.items[4].className, L"Button");
    EXPECT_EQ(plain.items[4].exStyle, static_cast<DWORD>(WS_EX_STATICEDGE));
    // Dialogs stay known by type and name for the module lookups.
    EXPECT_EQ(std::count_if(out.others.begin(), out.others.end(),
                            [](const auto& o) { return o.first == L"DIALOGEX" || o.first == L"DIALOG"; }),
              2);
}

TEST(DialogTemplates, BadTemplatesAreRefusedWithTheLine)
{
    const std::string head = "1 DIALOGEX 0, 0, 100, 50\nBEGIN\n";
    EXPECT_EQ(ParseError(head + "FOOBAR 1, 2, 3, 4, 5\nEND\n"), "line 3: unknown control statement FOOBAR");
    EXPECT_EQ(ParseError(head + "EDITTEXT 1, 2, 3, 4\nEND\n"), "line 4: expected ','");
    EXPECT_EQ(ParseError(head + "EDITTEXT 1, 2, 3, 4, 5\n"), "line 3: missing END of a dialog");
    EXPECT_EQ(ParseError(head + "EDITTEXT 1, 99999, 3, 4, 5\nEND\n"), "line 3: dialog units out of range");
    EXPECT_EQ(ParseError(head + "EDITTEXT 1, 2, 3, -4, 5\nEND\n"), "line 3: a negative width or height");
    EXPECT_EQ(ParseError(head + "EDITTEXT 1, 2, 3, 4, 5, ES_NOSUCH\nEND\n"), "line 3: unknown symbol ES_NOSUCH");
    EXPECT_EQ(ParseError(head + "CONTROL \"\", 1, NOSUCHCLASS, 0, 2, 3, 4, 5\nEND\n"),
              "line 3: unknown control class NOSUCHCLASS");
    EXPECT_EQ(ParseError(head + "CONTROL \"\", 1, \"\", 0, 2, 3, 4, 5\nEND\n"), "line 3: a control needs a class name");
    EXPECT_EQ(ParseError("1 DIALOGEX 0, 0, 100, 50\nFONT 0, \"x\"\nBEGIN\nEND\n"),
              "line 2: dialog font size out of range");
    EXPECT_EQ(ParseError("1 DIALOGEX 0, 0, 100, 50\nFONT 8, \"\"\nBEGIN\nEND\n"),
              "line 2: a dialog font needs a face name");
    EXPECT_EQ(ParseError("1 DIALOGEX 0, 0, 100, 50\nSHAPE 3\nBEGIN\nEND\n"), "line 2: unknown dialog option SHAPE");
    EXPECT_EQ(ParseError("1 DIALOGEX 0, 0, 100\nBEGIN\nEND\n"), "line 2: expected ','");
    EXPECT_EQ(ParseError("1 DIALOGEX 0, 0, 100, 50\n"), "line 1: expected a dialog option or BEGIN");
    // Deep parentheses in a style stop at the nesting limit instead of the stack.
    EXPECT_EQ(ParseError(head + "EDITTEXT 1, 2, 3, 4, 5, " + std::string(500, '(') + "\nEND\n"),
              "line 3: expression nests too deeply");
}

TEST(DialogTemplates, DialogUnitsFollowTheFont)
{
    win32::DialogTemplate small;
    small.fontFace = L"MS Shell Dlg";
    small.pointSize = 8;
    win32::DialogTemplate large = small;
    large.pointSize = 16;
    const RECT a = win32::DialogUnitsToPixels(small, 4, 8, 40, 80);
    const RECT b = win32::DialogUnitsToPixels(large, 4, 8, 40, 80);
    // Four horizontal units are one average character, eight vertical ones a line.
    EXPECT_GT(a.left, 3);
    EXPECT_LT(a.left, 9);
    EXPECT_GT(a.top, 9);
    EXPECT_LT(a.top, 17);
    EXPECT_EQ(a.right - a.left, 10 * a.left);
    EXPECT_EQ(a.bottom - a.top, 10 * a.top);
    // A font twice the size doubles the dialog, give or take the rounding.
    EXPECT_NEAR(static_cast<double>(b.right - b.left) / (a.right - a.left), 2.0, 0.25);
    EXPECT_NEAR(static_cast<double>(b.bottom - b.top) / (a.bottom - a.top), 2.0, 0.25);
    const LONG units = GetDialogBaseUnits();
    EXPECT_EQ(LOWORD(units), a.left);
    EXPECT_EQ(HIWORD(units), a.top);
}

TEST_F(Dialogs, CreationLaysOutTheControlsAndInitialisesInOrder)
{
    ASSERT_TRUE(Make());
    // WM_INITDIALOG comes after every control exists, with the first tab stop.
    EXPECT_EQ(g_log.initFocus, Item(1001));
    EXPECT_EQ(g_log.initParam, 77);
    EXPECT_EQ(GetFocus(), Item(1001));
    EXPECT_FALSE(IsWindowVisible(dialog)); // the template has no WS_VISIBLE
    wchar_t cls[32] = {};
    GetClassNameW(dialog, cls, 32);
    EXPECT_STREQ(cls, WC_DIALOGW);

    auto t = win32::FindDialogTemplate(module, MAKEINTRESOURCEW(100));
    ASSERT_TRUE(t);
    const RECT expected = win32::DialogUnitsToPixels(*t, 50, 7, 100, 14);
    RECT r{};
    GetWindowRect(Item(1001), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, expected.left);
    EXPECT_EQ(r.top, expected.top);
    EXPECT_EQ(r.right, expected.right);
    EXPECT_EQ(r.bottom, expected.bottom);
    RECT client{};
    GetClientRect(dialog, &client);
    const RECT whole = win32::DialogUnitsToPixels(*t, 0, 0, 200, 140);
    EXPECT_EQ(client.right, whole.right);
    EXPECT_EQ(client.bottom, whole.bottom);
    RECT mapped{50, 7, 150, 21};
    ASSERT_TRUE(MapDialogRect(dialog, &mapped));
    EXPECT_EQ(mapped.left, expected.left);
    EXPECT_EQ(mapped.bottom, expected.bottom);
    // Every control got the dialog's font.
    const auto font = SendMessageW(dialog, WM_GETFONT, 0, 0);
    EXPECT_NE(font, 0);
    EXPECT_EQ(SendMessageW(Item(1001), WM_GETFONT, 0, 0), font);
    EXPECT_EQ(SendMessageW(Item(IDOK), WM_GETFONT, 0, 0), font);

    EXPECT_EQ(CreateDialogParamW(module, MAKEINTRESOURCEW(999), owner, &SampleProc, 0), nullptr);
}

TEST_F(Dialogs, TabAndShiftTabVisitTheTabStopsInOrder)
{
    ASSERT_TRUE(Make());
    EnableWindow(Item(1008), FALSE); // Apply is skipped while disabled
    std::vector<int> forward;
    for (int i = 0; i < 10; ++i)
    {
        forward.push_back(FocusId());
        Key(VK_TAB);
    }
    // Not the note (no tab stop), not the second radio (no tab stop), not the
    // hidden and disabled buttons; after Cancel it wraps.
    EXPECT_EQ(forward, (std::vector<int>{1001, 1002, 1004, 1005, 1007, 1011, IDOK, IDCANCEL, 1001, 1002}));
    std::vector<int> backward;
    for (int i = 0; i < 4; ++i)
    {
        Key(VK_TAB, true);
        backward.push_back(FocusId());
    }
    EXPECT_EQ(backward, (std::vector<int>{1002, 1001, IDCANCEL, IDOK}));
    EXPECT_EQ(GetNextDlgTabItem(dialog, nullptr, TRUE), Item(IDCANCEL));
    EXPECT_EQ(GetNextDlgTabItem(dialog, Item(1003), FALSE), Item(1004));
    // Nothing was typed by the keys themselves.
    wchar_t text[8] = {};
    GetWindowTextW(Item(1001), text, 8);
    EXPECT_STREQ(text, L"");
}

TEST_F(Dialogs, FocusMovesWithKillFocusBeforeSetFocusAndSelectsEditText)
{
    ASSERT_TRUE(Make());
    SetWindowTextW(Item(1002), L"123");
    testwin::ClearLog();
    std::vector<std::pair<int, int>> order;
    g_log.commands.clear();
    Key(VK_TAB);
    for (const auto& c : g_log.commands)
        order.push_back(c);
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(order[0], std::make_pair(1001, static_cast<int>(EN_KILLFOCUS)));
    EXPECT_EQ(order[1], std::make_pair(1002, static_cast<int>(EN_SETFOCUS)));
    DWORD a = 0, b = 0;
    SendMessageW(Item(1002), EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, 3u); // typing replaces the whole number
    PostMessageW(GetFocus(), WM_CHAR, L'7', 0);
    Pump();
    wchar_t text[8] = {};
    GetWindowTextW(Item(1002), text, 8);
    EXPECT_STREQ(text, L"7");
}

TEST_F(Dialogs, EnterPressesTheDefaultOrFocusedButtonAndEscapeCancels)
{
    ASSERT_TRUE(Make());
    g_log.endOnCommand = false;
    Key(VK_RETURN); // from the edit: the default button
    Key(VK_ESCAPE);
    SetFocus(Item(1008));
    Key(VK_RETURN); // a focused push button is pressed itself
    SendMessageW(dialog, DM_SETDEFID, 1008, 0);
    SetFocus(Item(1001));
    Key(VK_RETURN);
    EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), 1008);
    EXPECT_EQ(SendMessageW(Item(IDOK), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON, 0);
    EXPECT_NE(SendMessageW(Item(1008), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON, 0);
    EnableWindow(Item(IDCANCEL), FALSE);
    Key(VK_ESCAPE); // a disabled Cancel cannot be pressed
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    std::vector<std::pair<int, int>> clicks;
    for (const auto& c : g_log.commands)
        if (c.second == BN_CLICKED)
            clicks.push_back(c);
    EXPECT_EQ(clicks, (std::vector<std::pair<int, int>>{{IDOK, BN_CLICKED},
                                                        {IDCANCEL, BN_CLICKED},
                                                        {1008, BN_CLICKED},
                                                        {1008, BN_CLICKED}}));
    EXPECT_TRUE(IsWindow(dialog)); // a modeless dialog stays until destroyed
}

TEST_F(Dialogs, ArrowsMoveInsideARadioGroupAndCheckTheButton)
{
    ASSERT_TRUE(Make());
    SendMessageW(Item(1005), BM_SETCHECK, BST_CHECKED, 0);
    SetFocus(Item(1005));
    Key(VK_DOWN);
    EXPECT_EQ(FocusId(), 1006);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1006), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1005), BST_UNCHECKED);
    Key(VK_DOWN); // the group wraps; the combo after it starts a new group
    EXPECT_EQ(FocusId(), 1005);
    EXPECT_EQ(GetNextDlgGroupItem(dialog, Item(1005), TRUE), Item(1006));
    // In an edit the arrows move the caret, not the focus.
    SetFocus(Item(1001));
    Key(VK_DOWN);
    EXPECT_EQ(FocusId(), 1001);
}

TEST_F(Dialogs, ItemHelpersReadAndWriteByIdAndRefuseBadNumbers)
{
    ASSERT_TRUE(Make());
    SetDlgItemInt(dialog, 1001, static_cast<UINT>(-42), TRUE);
    BOOL ok = FALSE;
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(dialog, 1001, &ok, TRUE)), -42);
    EXPECT_TRUE(ok);
    for (const wchar_t* bad : {L"", L"  ", L"12a", L"1.5", L"99999999999", L"2147483648", L"-", L"\U0001F600"})
    {
        SetDlgItemTextW(dialog, 1001, bad);
        ok = TRUE;
        EXPECT_EQ(GetDlgItemInt(dialog, 1001, &ok, TRUE), 0u) << std::wstring(bad).size();
        EXPECT_FALSE(ok);
    }
    SetDlgItemTextW(dialog, 1001, L" 4294967295 ");
    EXPECT_EQ(GetDlgItemInt(dialog, 1001, &ok, FALSE), 4294967295u);
    EXPECT_TRUE(ok);
    SetDlgItemTextW(dialog, 1001, L"-1");
    EXPECT_EQ(GetDlgItemInt(dialog, 1001, &ok, FALSE), 0u);
    EXPECT_FALSE(ok);
    CheckRadioButton(dialog, 1005, 1006, 1006);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1005), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1006), BST_CHECKED);
    EXPECT_TRUE(CheckRadioButton(dialog, 0, 0x7FFFFFFF, 0)); // a huge range ends
    EXPECT_EQ(GetDlgItemTextW(dialog, 4242, nullptr, 0), 0u);
}

TEST_F(Dialogs, ModalDialogTakesItsAnswerFromThePromptScript)
{
    win32::QueuePromptAnswer({win32::kDialogPrompt, L"Sample", 0, [](HWND dlg, const std::wstring&) -> INT_PTR
                              {
                                  // Type into the focused edit, then press Enter.
                                  PostMessageW(GetFocus(), WM_CHAR, L'x', 0);
                                  PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
                                  EXPECT_FALSE(IsWindowEnabled(GetWindow(dlg, GW_OWNER)));
                                  return IDCANCEL; // not needed: Enter ends it first
                              }});
    const std::size_t before = win32::LiveWindowCount();
    EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(100), owner, &SampleProc, 0), 10);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(win32::LiveWindowCount(), before); // the dialog is gone
    // An answer alone presses its button.
    win32::QueuePromptAnswer({win32::kDialogPrompt, L"Sample", IDCANCEL, nullptr});
    EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(100), owner, &SampleProc, 0), 20);
}

TEST_F(Dialogs, ModalDialogThatNobodyAnswersFailsWithoutHanging)
{
    const std::size_t before = win32::LiveWindowCount();
    g_log.endOnCommand = false; // the dialog refuses to end
    win32::QueuePromptAnswer({win32::kDialogPrompt, L"Sample", IDOK, nullptr});
    EXPECT_THROW(DialogBoxParamW(module, MAKEINTRESOURCEW(100), owner, &SampleProc, 0),
                 win32::UnexpectedPrompt);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(win32::LiveWindowCount(), before);
    EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(999), owner, &SampleProc, 0), -1);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(Dialogs, WindowImageShowsTheControlsOnTheDialogFace)
{
    ASSERT_TRUE(Make());
    ShowWindow(dialog, SW_SHOW);
    SetWindowTextW(Item(1001), L"Sample text");
    UpdateWindow(dialog);
    win32::PumpUntilIdle();
    const win32::ClientImage image = win32::ComposeWindowImage(dialog);
    ASSERT_GT(image.width, 0);
    auto at = [&](int x, int y) { return image.pixels[static_cast<std::size_t>(y) * image.width + x] & 0xFFFFFFu; };
    auto rgb = [](DWORD colorref) { return ((colorref & 0xFF) << 16) | (colorref & 0xFF00) | ((colorref >> 16) & 0xFF); };
    const std::uint32_t face = rgb(GetSysColor(COLOR_BTNFACE));
    const std::uint32_t window = rgb(GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(at(1, 1), face);
    // Inside the name edit: the window colour, and dark text pixels.
    RECT edit{};
    GetWindowRect(Item(1001), &edit);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&edit), 2);
    EXPECT_EQ(at(edit.right - 3, edit.bottom - 3), window);
    int dark = 0;
    for (int y = edit.top; y < edit.bottom; ++y)
        for (int x = edit.left + 2; x < edit.right - 2; ++x)
            dark += at(x, y) == 0 ? 1 : 0;
    EXPECT_GT(dark, 10);
    // The default button has its dark frame; a hidden button leaves the face.
    RECT ok{};
    GetWindowRect(Item(IDOK), &ok);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&ok), 2);
    EXPECT_EQ(at((ok.left + ok.right) / 2, ok.top), rgb(GetSysColor(COLOR_WINDOWFRAME)));
    RECT hidden{};
    GetWindowRect(Item(1010), &hidden);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&hidden), 2);
    EXPECT_EQ(at(hidden.left + 3, hidden.top + 3), face);
    // The radio buttons inside the group box show through it.
    RECT radio{};
    GetWindowRect(Item(1005), &radio);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&radio), 2);
    int marks = 0;
    for (int y = radio.top; y < radio.bottom; ++y)
        for (int x = radio.left; x < radio.right; ++x)
            marks += at(x, y) == 0 ? 1 : 0;
    EXPECT_GT(marks, 10);
    win32::WriteSnapshotIfRequested(dialog, "win32_sample_dialog");
}

} // namespace
