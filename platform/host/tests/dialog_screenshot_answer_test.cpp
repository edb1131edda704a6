// A script's "> Screenshot FOLDER" answer: the next modal dialog's picture
// is written while it runs, named after its caption, and the dialog goes on
// with the answers queued after it. "> Slider ID POSITION" drags a modal
// dialog's trackbar and lets it go, the same way.
#include "platform/host/dezaz_app.h"
#include "platform/win32/controls.h"
#include "platform/win32/dialog.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/resource.h"
#include "platform/win32/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace
{

const HINSTANCE kModule = reinterpret_cast<HINSTANCE>(0x7720000);

constexpr const char* kScript = R"(
100 DIALOGEX 0, 0, 120, 60
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION
CAPTION "Split: regions"
FONT 8, "MS Shell Dlg", 400, 0, 0x1
BEGIN
    PUSHBUTTON      "Detect",300,4,4,50,14
    CONTROL         "",301,"msctls_trackbar32",0,4,22,100,12
    PUSHBUTTON      "Close",2,60,40,50,14
END
)";

int g_detected = 0;
// What the dialog heard of its slider: each scroll code with the position
// the slider stood at then.
std::vector<std::pair<int, int>> g_scrolls;

INT_PTR Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
    {
        SendDlgItemMessageW(dialog, 301, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
        SendDlgItemMessageW(dialog, 301, TBM_SETPOS, TRUE, 20);
        return TRUE;
    }
    if (message == WM_HSCROLL && reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, 301))
        g_scrolls.emplace_back(LOWORD(wParam), int(SendMessageW(reinterpret_cast<HWND>(lParam), TBM_GETPOS, 0, 0)));
    if (message == WM_COMMAND && LOWORD(wParam) == 300)
        ++g_detected;
    if (message == WM_COMMAND && LOWORD(wParam) == 2)
        EndDialog(dialog, 2);
    return message == WM_COMMAND;
}

} // namespace

TEST(DialogScreenshotAnswer, TheDialogsPictureIsWrittenAndItRunsOnWithTheNextAnswers)
{
    std::string error;
    ASSERT_TRUE(win32::RegisterResourceScript(kModule, kScript, [](const std::string&) { return std::nullopt; }, &error))
        << error;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("dialog_shots_" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::wstring why;
    // The picture after Detect, then Close.
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Dialog 300", why));
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Screenshot \"" + folder.wstring() + L"\"", why));
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Dialog 2", why));
    g_detected = 0;
    EXPECT_EQ(DialogBoxParamW(kModule, MAKEINTRESOURCEW(100), nullptr, &Proc, 0), 2);
    EXPECT_EQ(g_detected, 1) << "the look pressed nothing";
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
    // Named after the caption, with the colon made harmless; a PNG.
    const std::filesystem::path shot = folder / "Split_ regions.png";
    ASSERT_TRUE(std::filesystem::exists(shot));
    std::ifstream in(shot, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    EXPECT_EQ(std::string(magic + 1, 3), "PNG");
    std::filesystem::remove_all(folder);

    EXPECT_FALSE(dezaz::QueueScriptAnswer(L"Screenshot", why)) << "a folder is needed";
    EXPECT_FALSE(why.empty());
    win32::ClearPromptAnswers();
    win32::UnregisterResources(kModule);
}

TEST(DialogScreenshotAnswer, ASliderAnswerDragsTheTrackbarAndLetsItGoThenTheDialogRunsOn)
{
    std::string error;
    ASSERT_TRUE(win32::RegisterResourceScript(kModule, kScript, [](const std::string&) { return std::nullopt; }, &error))
        << error;
    std::wstring why;
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Slider 301 35", why)) << why;
    // Beyond the range the slider stops at its end, as under a mouse.
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Slider 301 250", why)) << why;
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Dialog 2", why));
    g_scrolls.clear();
    g_detected = 0;
    EXPECT_EQ(DialogBoxParamW(kModule, MAKEINTRESOURCEW(100), nullptr, &Proc, 0), 2);
    const std::vector<std::pair<int, int>> heard = {{SB_THUMBTRACK, 35},  {SB_THUMBPOSITION, 35}, {SB_ENDSCROLL, 35},
                                                    {SB_THUMBTRACK, 100}, {SB_THUMBPOSITION, 100}, {SB_ENDSCROLL, 100}};
    EXPECT_EQ(g_scrolls, heard);
    EXPECT_EQ(g_detected, 0) << "a slide presses no button";
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);

    for (const wchar_t* bad : {L"Slider", L"Slider 301", L"Slider x 3", L"Slider 0 3", L"Slider 301 y"})
    {
        why.clear();
        EXPECT_FALSE(dezaz::QueueScriptAnswer(bad, why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
    win32::UnregisterResources(kModule);
}
