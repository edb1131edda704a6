// Script commands reach a tool window's controls on its tab pages and panels
// as a user sees them: the window's own controls first, then the one shown
// page's; a page that is hidden or two shown controls of one id are said.
#include "dezaz/dialog_controls.h"

#include "platform/win32/controls.h"
#include "platform/win32/window.h"

#include <gtest/gtest.h>

namespace
{

class DialogControls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = CreateWindowExW(0, WC_STATICW, L"Tool", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_TRUE(window);
    }
    void TearDown() override { DestroyWindow(window); }
    HWND Make(HWND parent, LPCWSTR cls, int id, bool visible = true)
    {
        return CreateWindowExW(0, cls, L"", WS_CHILD | (visible ? WS_VISIBLE : 0), 10, 10, 100, 40, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
    HWND window = nullptr;
};

TEST_F(DialogControls, TheWindowsOwnShownControlComesBeforeAPagesOne)
{
    HWND page = Make(window, WC_STATICW, 0);
    HWND onPage = Make(page, WC_BUTTONW, 3022);
    HWND own = Make(window, WC_BUTTONW, 3022);
    std::wstring problem;
    EXPECT_EQ(dezaz::FindDialogControl(window, 3022, problem), own);
    EXPECT_TRUE(problem.empty());
    // Hidden, the window's own control gives way to the shown page's.
    ShowWindow(own, SW_HIDE);
    EXPECT_EQ(dezaz::FindDialogControl(window, 3022, problem), onPage);
    // With no shown one left, the hidden own control is reached as before.
    ShowWindow(page, SW_HIDE);
    EXPECT_EQ(dezaz::FindDialogControl(window, 3022, problem), own);
}

// The shapes dialog's disabled "Reset" and its Sketch page's "Clear All"
// share an id: the click goes where a user's would, and back to the window's
// own control once that one is enabled.
TEST_F(DialogControls, AShownPagesEnabledControlComesBeforeTheWindowsOwnDisabledOne)
{
    HWND own = Make(window, WC_BUTTONW, 3091);
    HWND onPage = Make(Make(window, WC_STATICW, 0), WC_BUTTONW, 3091);
    EnableWindow(own, FALSE);
    std::wstring problem;
    EXPECT_EQ(dezaz::FindDialogControl(window, 3091, problem), onPage);
    EnableWindow(onPage, FALSE);
    EXPECT_EQ(dezaz::FindDialogControl(window, 3091, problem), own) << "both disabled: the window's own, as before";
    EnableWindow(own, TRUE);
    EnableWindow(onPage, TRUE);
    EXPECT_EQ(dezaz::FindDialogControl(window, 3091, problem), own);
    // Of two shown pages' controls, the enabled one is meant.
    ShowWindow(own, SW_HIDE);
    HWND other = Make(Make(window, WC_STATICW, 0), WC_BUTTONW, 3091);
    EnableWindow(other, FALSE);
    EXPECT_EQ(dezaz::FindDialogControl(window, 3091, problem), onPage);
    EXPECT_TRUE(problem.empty()) << problem;
}

TEST_F(DialogControls, AControlOnANestedShownPageIsFoundAndOnAHiddenPageIsSaid)
{
    HWND shown = Make(window, WC_STATICW, 0);
    HWND panel = Make(shown, WC_STATICW, 0);
    HWND deep = Make(panel, WC_BUTTONW, 3086);
    HWND hidden = Make(window, WC_STATICW, 0, false);
    Make(hidden, WC_BUTTONW, 3095);
    std::wstring problem;
    EXPECT_EQ(dezaz::FindDialogControl(window, 3086, problem), deep);
    EXPECT_EQ(dezaz::FindDialogControl(window, 3095, problem), nullptr);
    EXPECT_NE(problem.find(L"not shown"), std::wstring::npos) << problem;
    EXPECT_EQ(dezaz::FindDialogControl(window, 4000, problem), nullptr);
    EXPECT_EQ(problem, L"has no control 4000.");
}

TEST_F(DialogControls, TwoShownControlsOfOneIdOnDifferentPagesAreAmbiguous)
{
    Make(Make(window, WC_STATICW, 0), WC_BUTTONW, 3040);
    Make(Make(window, WC_STATICW, 0), WC_BUTTONW, 3040);
    std::wstring problem;
    EXPECT_EQ(dezaz::FindDialogControl(window, 3040, problem), nullptr);
    EXPECT_EQ(problem, L"shows 2 controls 3040 (on different pages or panels): which one is meant is unclear.");
}

TEST_F(DialogControls, ATabIsFoundByItsCaptionWithoutCaseOrMnemonic)
{
    HWND tabs = Make(window, WC_TABCONTROLW, 42);
    const wchar_t* captions[] = {L"Shape", L"&Sketch", L"Curves"};
    for (int i = 0; i < 3; ++i)
    {
        TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(captions[i]), 0, -1, 0};
        SendMessageW(tabs, TCM_INSERTITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
    }
    int index = -1;
    std::wstring seen;
    EXPECT_EQ(dezaz::FindDialogTab(window, L"sketch", index, seen), tabs);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(dezaz::FindDialogTab(window, L"CURVES", index, seen), tabs);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(dezaz::FindDialogTab(window, L"Guide curve", index, seen), nullptr);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(seen, L"\"Shape\", \"&Sketch\", \"Curves\"");
    // A hidden tab control is not one a user can click.
    ShowWindow(tabs, SW_HIDE);
    EXPECT_EQ(dezaz::FindDialogTab(window, L"Shape", index, seen), nullptr);
}

} // namespace
