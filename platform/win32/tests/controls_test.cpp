#include "recording_window.h"

#include "platform/win32/prompt_script.h"
#include "platform/win32/tests/support/scroll_bar_probe.h"
#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

namespace
{

class Controls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testwin::Reset();
        win32::ResetInputState();
        win32::ClearPromptAnswers();
        parent = testwin::CreateTop(0, 0, 400, 300, WS_POPUP | WS_VISIBLE);
    }
    void TearDown() override
    {
        DestroyWindow(parent);
        win32::PumpUntilIdle();
        win32::ClearPromptAnswers();
    }
    HWND Make(LPCWSTR cls, LPCWSTR text, DWORD style, int id, int x, int y, int w, int h)
    {
        return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
    // The notification codes the parent heard from control id, in order.
    std::vector<int> Codes(int id)
    {
        std::vector<int> out;
        for (const auto& r : testwin::Log({WM_COMMAND}))
            if (LOWORD(r.wParam) == id)
                out.push_back(HIWORD(r.wParam));
        return out;
    }
    void Click(HWND control, int x, int y)
    {
        SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    void Type(HWND control, const std::wstring& text)
    {
        for (wchar_t c : text)
            SendMessageW(control, WM_CHAR, c, 0);
    }
    std::wstring Text(HWND control)
    {
        wchar_t buffer[512] = {};
        GetWindowTextW(control, buffer, 512);
        return buffer;
    }
    HWND parent = nullptr;
};

TEST_F(Controls, EditReportsChangesAndFocusInOrder)
{
    HWND edit = Make(WC_EDITW, L"", WS_BORDER, 10, 10, 10, 120, 22);
    HWND other = Make(WC_EDITW, L"", WS_BORDER, 11, 10, 40, 120, 22);
    testwin::ClearLog();
    SetWindowTextW(edit, L"abc");
    EXPECT_EQ(Codes(10), (std::vector<int>{EN_UPDATE, EN_CHANGE})); // setting text tells the parent
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    Type(edit, L"12");
    EXPECT_EQ(Text(edit), L"12");
    testwin::ClearLog();
    SetFocus(other);
    // The old control's kill-focus reaches the parent before the new one's set-focus.
    std::vector<std::pair<int, int>> order;
    for (const auto& r : testwin::Log({WM_COMMAND}))
        order.emplace_back(LOWORD(r.wParam), HIWORD(r.wParam));
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], std::make_pair(10, static_cast<int>(EN_KILLFOCUS)));
    EXPECT_EQ(order[1], std::make_pair(11, static_cast<int>(EN_SETFOCUS)));
}

TEST_F(Controls, EditNumberStyleLimitAndPasswordHoldTheirText)
{
    HWND edit = Make(WC_EDITW, L"", ES_NUMBER | WS_BORDER, 10, 10, 10, 120, 22);
    Type(edit, L"1a-2");
    EXPECT_EQ(Text(edit), L"12");
    SendMessageW(edit, EM_LIMITTEXT, 4, 0);
    Type(edit, L"345");
    EXPECT_EQ(Text(edit), L"1234");
    EXPECT_EQ(Codes(10).back(), EN_MAXTEXT);
    SendMessageW(edit, WM_CHAR, 8, 0); // backspace
    EXPECT_EQ(Text(edit), L"123");
    // Very long text set by a program is cut at the limit, not stored whole.
    std::wstring huge(100000, L'7');
    SendMessageW(edit, EM_LIMITTEXT, 0, 0);
    SetWindowTextW(edit, huge.c_str());
    EXPECT_EQ(GetWindowTextLengthW(edit), 30000);
    SendMessageW(edit, EM_SETPASSWORDCHAR, L'*', 0);
    EXPECT_EQ(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0), L'*');
    // Text outside the basic plane stays one character each.
    HWND plain = Make(WC_EDITW, L"", 0, 12, 10, 40, 120, 22);
    Type(plain, L"\U0001F600%s");
    EXPECT_EQ(Text(plain), L"\U0001F600%s");
}

TEST_F(Controls, ComboSelectionByProgramIsSilentAndByUserIsTold)
{
    HWND combo = Make(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL, 20, 10, 10, 150, 120);
    for (const wchar_t* s : {L"Fit Driven", L"X Axis", L"Custom"})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendMessageW(combo, CB_SETITEMDATA, 2, 4);
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(combo, CB_GETITEMDATA, 2, 0), 4);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    testwin::ClearLog();
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    EXPECT_TRUE(Codes(20).empty());
    EXPECT_EQ(Text(combo), L"X Axis");
    wchar_t buffer[32];
    EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(buffer)), 6);
    EXPECT_STREQ(buffer, L"Custom");
    EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 7, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);

    // The user opens the list and clicks the third string.
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    const int field = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0)) + 4;
    const int item = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
    testwin::ClearLog();
    SendMessageW(combo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, field + 1 + 2 * item + item / 2));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    std::vector<int> codes = Codes(20);
    EXPECT_NE(std::find(codes.begin(), codes.end(), CBN_SELCHANGE), codes.end());
    // Keys move the selection, also telling the parent.
    testwin::ClearLog();
    SendMessageW(combo, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Codes(20), (std::vector<int>{CBN_SELCHANGE}));
    // Losing the focus closes the list and says so.
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    SetFocus(parent);
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(Codes(20).back(), CBN_KILLFOCUS);
}

TEST_F(Controls, ButtonsClickCheckAndGroupRadios)
{
    HWND push = Make(WC_BUTTONW, L"&Apply", BS_PUSHBUTTON, 30, 10, 10, 80, 24);
    HWND check = Make(WC_BUTTONW, L"Closed", BS_AUTOCHECKBOX, 31, 10, 40, 100, 20);
    HWND r1 = Make(WC_BUTTONW, L"One", BS_AUTORADIOBUTTON | WS_GROUP, 32, 10, 70, 100, 20);
    HWND r2 = Make(WC_BUTTONW, L"Two", BS_AUTORADIOBUTTON, 33, 10, 90, 100, 20);
    HWND r3 = Make(WC_BUTTONW, L"Other group", BS_AUTORADIOBUTTON | WS_GROUP, 34, 10, 110, 100, 20);
    Click(push, 5, 5);
    EXPECT_EQ(Codes(30), (std::vector<int>{BN_CLICKED}));
    // A press that leaves the button before the release is no click.
    testwin::ClearLog();
    SendMessageW(push, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(push, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 5));
    SendMessageW(push, WM_LBUTTONUP, 0, MAKELPARAM(200, 5));
    EXPECT_TRUE(Codes(30).empty());

    Click(check, 5, 5);
    EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageW(check, BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);

    SendMessageW(r3, BM_SETCHECK, BST_CHECKED, 0);
    Click(r1, 5, 5);
    Click(r2, 5, 5);
    EXPECT_EQ(SendMessageW(r1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(r2, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(r3, BM_GETCHECK, 0, 0), BST_CHECKED); // another group
    // BM_SETSTYLE with stray bits changes only the type.
    SendMessageW(push, BM_SETSTYLE, 0xFFFFFFF1, TRUE);
    EXPECT_EQ(GetWindowLongPtrW(push, GWL_STYLE) & BS_TYPEMASK, static_cast<LONG_PTR>(BS_DEFPUSHBUTTON));
    EXPECT_TRUE(GetWindowLongPtrW(push, GWL_STYLE) & WS_CHILD);
}

TEST_F(Controls, AClickOnAButtonInsideAGroupBoxReachesTheButton)
{
    // The group box is made first, so it lies in front of the controls it frames.
    Make(WC_BUTTONW, L"Section Plane", BS_GROUPBOX, 40, 5, 5, 300, 200);
    HWND accept = Make(WC_BUTTONW, L"Accept", BS_PUSHBUTTON, 41, 20, 150, 80, 24);
    POINT inside{30, 160};
    ClientToScreen(parent, &inside);
    EXPECT_EQ(WindowFromPoint(inside), accept);
    win32::InjectMouseButton(WM_LBUTTONDOWN, inside);
    win32::InjectMouseButton(WM_LBUTTONUP, inside);
    win32::PumpUntilIdle();
    EXPECT_EQ(Codes(41), (std::vector<int>{BN_CLICKED}));
    // Inside the frame but over no control the pointer is over the window beneath.
    POINT bare{200, 50};
    ClientToScreen(parent, &bare);
    EXPECT_EQ(WindowFromPoint(bare), parent);
}

TEST_F(Controls, ListBoxTrackbarAndTabsNotifyOnlyForTheUser)
{
    HWND list = Make(WC_LISTBOXW, L"", LBS_NOTIFY | WS_BORDER, 40, 10, 10, 150, 100);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Plane 1"));
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Cylinder 1"));
    SendMessageW(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(L"Sphere 1"));
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    EXPECT_TRUE(Codes(40).empty());
    EXPECT_EQ(SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"cylinder 1")), 2);
    const int ih = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 1 + 2 * ih + 2));
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(Codes(40), (std::vector<int>{LBN_SETFOCUS, LBN_SELCHANGE}));
    EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 2, 0), 2);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);

    HWND slider = Make(TRACKBAR_CLASSW, L"", 0, 41, 10, 120, 200, 30);
    SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    testwin::ClearLog();
    SendMessageW(slider, TBM_SETPOS, TRUE, 250);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 100);
    EXPECT_TRUE(testwin::Log({WM_HSCROLL}).empty());
    SendMessageW(slider, TBM_SETLINESIZE, 0, 5);
    SendMessageW(slider, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 95);
    auto scrolls = testwin::Log({WM_HSCROLL});
    ASSERT_EQ(scrolls.size(), 2u);
    EXPECT_EQ(LOWORD(scrolls[0].wParam), TB_LINEUP);
    EXPECT_EQ(LOWORD(scrolls[1].wParam), TB_ENDTRACK);

    HWND tabs = Make(WC_TABCONTROLW, L"", 0, 42, 180, 10, 200, 100);
    TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(L"Shapes"), 0, -1, 0};
    SendMessageW(tabs, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.pszText = const_cast<LPWSTR>(L"Deviation");
    SendMessageW(tabs, TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&item));
    RECT second{};
    SendMessageW(tabs, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
    // The parent vetoes the first change, accepts the second.
    int asked = 0;
    testwin::SetHandler(parent, [&](HWND, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
        if (m == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == TCN_SELCHANGING)
            return ++asked == 1 ? 1 : 0;
        return std::nullopt;
    });
    SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(second.left + 3, second.top + 3));
    EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);
    SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(second.left + 3, second.top + 3));
    EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 1);
}

// A combo's WS_VSCROLL belongs to its open list: the field keeps the whole
// width, and a list with more strings than rows shows a bar at its right
// that scrolls it, as the wheel does, whatever is selected.
TEST_F(Controls, AComboListLongerThanItsRowsScrollsByItsBarAndTheWheel)
{
    HWND combo = Make(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL, 20, 10, 10, 150, 100);
    for (int i = 0; i < 12; ++i)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>((L"Step " + std::to_wstring(i)).c_str()));
    RECT client{};
    GetClientRect(combo, &client);
    const int item = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
    const int field = item + 4;
    EXPECT_EQ(client.right, 150) << "no room kept for a bar beside the field";
    EXPECT_EQ(client.bottom, field) << "closed, the controls below take their clicks";
    RECT open{};
    SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&open));
    EXPECT_EQ(open.bottom - open.top, 100);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    GetClientRect(combo, &client);
    EXPECT_EQ(client.bottom, 100) << "open, as tall as it was made";
    const int rows = (client.bottom - field - 2) / item;
    ASSERT_LT(rows, 12);
    const int barX = 150 - 1 - 17 / 2, listBottom = field + 1 + rows * item;
    // The string in the open list's first row, picked by a click on it.
    const auto firstShown = [&] {
        Click(combo, 20, field + 1 + item / 2);
        return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    };
    const win32::ClientImage image = win32::ComposeWindowImage(parent);
    win32::WriteSnapshotIfRequested(parent, "combo_list_scroll_bar");
    EXPECT_GT(testwin::ArrowInk(image, POINT{10 + 150 - 1 - 17, 10 + field + 1}), 5) << "the up arrow of a bar";
    Click(combo, barX, listBottom - 4); // the down arrow, twice, and the up arrow
    Click(combo, barX, listBottom - 4);
    Click(combo, barX, field + 4);
    EXPECT_EQ(firstShown(), 1);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageW(combo, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    SendMessageW(combo, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    EXPECT_EQ(firstShown(), 3) << "the wheel scrolls past the selection";
    // From the top, the thumb dragged to the bar's end shows the last strings.
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    for (int i = 0; i < 5; ++i)
        SendMessageW(combo, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    SendMessageW(combo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(barX, field + 1 + 17 + 3));
    SendMessageW(combo, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(barX, listBottom + 40));
    SendMessageW(combo, WM_LBUTTONUP, 0, MAKELPARAM(barX, listBottom + 40));
    EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(firstShown(), 12 - rows);
}

TEST_F(Controls, ScrollPositionsAreClampedToRangeMinusPage)
{
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 200, 51, 500, 0};
    EXPECT_EQ(SetScrollInfo(parent, SB_VERT, &si, TRUE), 150);
    si = SCROLLINFO{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(parent, SB_VERT, &si));
    EXPECT_EQ(si.nMax, 200);
    EXPECT_EQ(si.nPage, 51u);
    EXPECT_EQ(si.nPos, 150);
    EXPECT_EQ(SetScrollPos(parent, SB_VERT, -5, TRUE), 150);
    EXPECT_EQ(GetScrollPos(parent, SB_VERT), 0);
    EXPECT_FALSE(GetScrollInfo(reinterpret_cast<HWND>(0x1234), SB_VERT, &si));
}

TEST_F(Controls, MessageBoxTakesItsAnswerFromTheScriptAndMovesTheFocus)
{
    HWND edit = Make(WC_EDITW, L"", WS_BORDER, 10, 10, 10, 120, 22);
    SetFocus(edit);
    testwin::ClearLog();
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"valid integer", IDOK, nullptr});
    EXPECT_EQ(MessageBoxW(parent, L"Please enter valid integer value", L"VTL", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(Codes(10), (std::vector<int>{EN_KILLFOCUS, EN_SETFOCUS}));
    EXPECT_EQ(GetFocus(), edit);
    // An unexpected box, and an answer the box has no button for, fail loudly.
    EXPECT_THROW(MessageBoxW(parent, L"Surprise", L"VTL", MB_OK), win32::UnexpectedPrompt);
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"", IDYES, nullptr});
    EXPECT_THROW(MessageBoxW(parent, L"Continue?", L"VTL", MB_OKCANCEL), win32::UnexpectedPrompt);
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
}

TEST_F(Controls, ControlsDrawAFrameAndTheirText)
{
    HWND label = Make(WC_STATICW, L"Radius", 0, 50, 10, 10, 100, 20);
    HWND edit = Make(WC_EDITW, L"12.5", WS_BORDER, 51, 120, 10, 100, 22);
    HWND button = Make(WC_BUTTONW, L"OK", BS_DEFPUSHBUTTON, 52, 10, 40, 80, 24);
    HWND combo = Make(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST, 53, 120, 40, 100, 120);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Custom"));
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    HWND check = Make(WC_BUTTONW, L"Closed", BS_AUTOCHECKBOX, 54, 10, 70, 100, 20);
    SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
    win32::PumpUntilIdle();
    auto countDark = [](HWND h) {
        const win32::ClientImage* image = win32::GetWindowClientImage(h);
        int n = 0;
        for (std::uint32_t p : image->pixels)
            n += (p & 0xFFFFFF) == 0;
        return n;
    };
    for (HWND h : {label, edit, button, combo})
        EXPECT_GT(countDark(h), 10) << "no text drawn";
    // The edit's border and white inside.
    const win32::ClientImage* image = win32::GetWindowClientImage(edit);
    EXPECT_EQ(image->pixels[0] & 0xFFFFFF, 0x808080u);
    EXPECT_EQ(image->pixels[static_cast<std::size_t>(image->width) * 2 + image->width - 3] & 0xFFFFFF, 0xFFFFFFu);
    win32::WriteSnapshotIfRequested(parent, "standard_controls");
}

} // namespace
