#include "overlay/button_st.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

std::uint32_t Argb(COLORREF c) { return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

// A parent window that records the messages the tests look for.
class RecordingParent : public CWnd
{
public:
    std::vector<UINT> commands;
    std::vector<LPARAM> callbacks;
    HMENU callbackMenu = nullptr;
    static constexpr UINT kCallback = WM_USER + 77;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND && lParam == 0)
            commands.push_back(LOWORD(wParam));
        if (message == kCallback)
        {
            callbackMenu = reinterpret_cast<HMENU>(wParam);
            callbacks.push_back(lParam);
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

struct ButtonWindow
{
    explicit ButtonWindow(CButtonST& button, const wchar_t* caption = L"Fit", DWORD style = 0)
    {
        parent.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, 0, 0, 120, 60, nullptr, nullptr);
        ok = button.Create(caption, WS_CHILD | WS_VISIBLE | style, RECT{10, 10, 90, 40}, &parent, 1001) != 0;
    }
    ~ButtonWindow() { parent.DestroyWindow(); }
    void Click(CButtonST& button)
    {
        parent.SendMessage(WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), reinterpret_cast<LPARAM>(button.GetSafeHwnd()));
    }
    win32::ClientImage Paint(CButtonST& button)
    {
        button.Invalidate(TRUE);
        button.UpdateWindow();
        return win32::ComposeWindowImage(parent.GetSafeHwnd());
    }
    RecordingParent parent;
    bool ok = false;
};

void PumpMessages()
{
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Rows of the image that hold any pixel of the colour.
int RowsWith(const win32::ClientImage& image, std::uint32_t colour)
{
    int rows = 0;
    for (LONG y = 0; y < image.height; ++y)
        for (LONG x = 0; x < image.width; ++x)
            if (image.pixels[static_cast<std::size_t>(y) * image.width + x] == colour)
            {
                ++rows;
                break;
            }
    return rows;
}

} // namespace

TEST(ButtonSTBehaviour, HoverAndClickSoundsAreRecordedOncePerEntry)
{
    win32::ClearPlayedSounds();
    CButtonST button;
    ButtonWindow w(button);
    ASSERT_TRUE(w.ok);
    const std::wstring longName(400, L'x');
    button.SetSound(longName.c_str());
    button.SetSound(MAKEINTRESOURCEW(12), AfxGetResourceHandle(), true);
    button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(6, 5));
    w.Click(button);
    const std::vector<win32::PlayedSound> played = win32::PlayedSounds();
    ASSERT_EQ(played.size(), 2u) << "a second move over the button plays nothing";
    EXPECT_EQ(played[0].name.size(), 259u) << "the name is cut to its buffer";
    EXPECT_NE(played[0].flags & SND_FILENAME, 0u);
    EXPECT_EQ(played[1].resourceId, 12u);
    EXPECT_EQ(played[1].module, AfxGetResourceHandle());

    button.SetSound(nullptr);
    button.SendMessage(WM_MOUSELEAVE);
    button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(win32::PlayedSounds().size(), 2u) << "a cleared sound stays silent";
}

TEST(ButtonSTBehaviour, AClickOpensTheAddressUnlessAMenuDropsDown)
{
    win32::ClearShellRequests();
    CButtonST button;
    ButtonWindow w(button);
    ASSERT_TRUE(w.ok);
    const std::wstring address = L"https://www.pellmark.example/" + std::wstring(300, L'a');
    button.SetURL(address.c_str());
    w.Click(button);
    std::vector<win32::ShellRequest> requests = win32::ShellRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].verb, L"open");
    EXPECT_EQ(requests[0].file, address.substr(0, 260));
    EXPECT_EQ(requests[0].show, SW_SHOWMAXIMIZED);
    EXPECT_EQ(requests[0].mask, SEE_MASK_FLAG_NO_UI);

    HMENU menu = CreateMenu();
    HMENU sub = CreatePopupMenu();
    AppendMenuW(sub, MF_STRING, 501, L"Refit");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"Fit");
    button.SetMenu(menu, w.parent.GetSafeHwnd());
    button.SetMenuCallback(w.parent.GetSafeHwnd(), RecordingParent::kCallback, 99);
    win32::QueuePromptAnswer({win32::kPopupMenuPrompt, L"Refit", 501, {}});
    w.Click(button);
    PumpMessages();
    EXPECT_EQ(win32::ShellRequests().size(), 1u) << "the menu wins over the address";
    ASSERT_EQ(w.parent.callbacks.size(), 1u);
    EXPECT_EQ(w.parent.callbacks[0], 99);
    EXPECT_EQ(w.parent.callbackMenu, sub);
    ASSERT_EQ(w.parent.commands.size(), 1u);
    EXPECT_EQ(w.parent.commands[0], 501u) << "the chosen command is posted to the owner";
}

TEST(ButtonSTBehaviour, CursorAndReflectedColourRequests)
{
    CButtonST button;
    ButtonWindow w(button);
    ASSERT_TRUE(w.ok);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    button.SetBtnCursor(hand);
    EXPECT_EQ(button.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(button.GetSafeHwnd()),
                                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(GetCursor(), hand);

    HDC dc = GetDC(w.parent.GetSafeHwnd());
    const LRESULT brush = w.parent.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                                               reinterpret_cast<LPARAM>(button.GetSafeHwnd()));
    ReleaseDC(w.parent.GetSafeHwnd(), dc);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(NULL_BRUSH)) << "the button answers for itself";
}

TEST(ButtonSTBehaviour, TransparentButtonsShowTheParentSavedOnce)
{
    CButtonST button;
    ButtonWindow w(button, L"");
    ASSERT_TRUE(w.ok);
    HDC dc = GetDC(w.parent.GetSafeHwnd());
    HBRUSH red = CreateSolidBrush(RGB(220, 0, 0));
    const RECT left{0, 0, 50, 60};
    FillRect(dc, &left, red);
    DeleteObject(red);
    ReleaseDC(w.parent.GetSafeHwnd(), dc);
    button.SetDrawTransparent(true);
    win32::ClientImage image = w.Paint(button);
    auto at = [&image](int x, int y) { return image.pixels[static_cast<std::size_t>(y) * image.width + x]; };
    EXPECT_EQ(at(20, 20), Argb(RGB(220, 0, 0))) << "the parent's red shows through";
    EXPECT_NE(at(70, 20), Argb(RGB(220, 0, 0)));
    win32::WriteSnapshotIfRequested(w.parent.GetSafeHwnd(), "button_st_transparent");
    button.SetDrawTransparent(false);
    image = w.Paint(button);
    EXPECT_EQ(at(20, 20), Argb(button.GetColour(kColourBackRest)));
}

TEST(ButtonSTBehaviour, TheCustomFontSetsTheCaptionLarger)
{
    CButtonST button;
    ButtonWindow w(button, L"Fit");
    ASSERT_TRUE(w.ok);
    button.SetColour(kColourTextRest, RGB(0, 0, 180));
    const int plain = RowsWith(w.Paint(button), Argb(RGB(0, 0, 180)));
    button.SetCustomFont(true);
    button.SetFontHeight(-24);
    button.SetFontBold(true);
    const std::wstring longFace(80, L'F');
    button.SetFontFace(longFace.c_str());
    const int large = RowsWith(w.Paint(button), Argb(RGB(0, 0, 180)));
    EXPECT_GT(plain, 0);
    EXPECT_GT(large, plain + 5) << plain << " rows before, " << large << " after";
    win32::WriteSnapshotIfRequested(w.parent.GetSafeHwnd(), "button_st_custom_font");
}

TEST(ButtonSTBehaviour, OwnTooltipStaysQuietWhileTheDialogsTooltipFollowsTheHover)
{
    win32::UseManualClock(1000);
    CButtonST button;
    ButtonWindow w(button);
    ASSERT_TRUE(w.ok);
    CToolTipCtrl tips;
    ASSERT_TRUE(tips.Create(&w.parent));
    ASSERT_TRUE(tips.AddTool(&button, L"Fit the marked region"));

    auto move = [&](HWND over, int x, int y) {
        MSG msg{over, WM_MOUSEMOVE, 0, MAKELPARAM(x, y), 0, {}};
        static_cast<CWnd&>(button).PreTranslateMessage(&msg);
        tips.RelayEvent(&msg);
        PumpMessages();
    };
    move(button.GetSafeHwnd(), 5, 5);
    ASSERT_NE(button.GetTooltip().GetSafeHwnd(), nullptr) << "made on first use";
    EXPECT_EQ(button.GetTooltip().GetToolCount(), 0);
    EXPECT_FALSE(tips.IsWindowVisible()) << "not before the delay";
    win32::AdvanceClock(499);
    PumpMessages();
    EXPECT_FALSE(tips.IsWindowVisible());
    win32::AdvanceClock(1);
    PumpMessages();
    ASSERT_TRUE(tips.IsWindowVisible());
    EXPECT_FALSE(button.GetTooltip().IsWindowVisible());
    wchar_t text[64] = {};
    GetWindowTextW(tips.GetSafeHwnd(), text, 64);
    EXPECT_STREQ(text, L"Fit the marked region");
    const win32::ClientImage tip = win32::ComposeWindowImage(tips.GetSafeHwnd());
    ASSERT_GT(tip.width, 40);
    EXPECT_EQ(tip.pixels[static_cast<std::size_t>(2) * tip.width + 2], Argb(GetSysColor(COLOR_INFOBK)));
    EXPECT_GT(RowsWith(tip, Argb(GetSysColor(COLOR_INFOTEXT))), 3) << "the text is drawn";
    win32::WriteSnapshotIfRequested(tips.GetSafeHwnd(), "button_st_dialog_tooltip");

    move(w.parent.GetSafeHwnd(), 100, 50);
    EXPECT_FALSE(tips.IsWindowVisible()) << "gone when the pointer leaves the button";
    move(button.GetSafeHwnd(), 5, 5);
    win32::AdvanceClock(200);
    move(w.parent.GetSafeHwnd(), 100, 50);
    win32::AdvanceClock(1000);
    PumpMessages();
    EXPECT_FALSE(tips.IsWindowVisible()) << "a short visit shows nothing";
    tips.DestroyWindow();
    win32::UseSystemClock();
}
