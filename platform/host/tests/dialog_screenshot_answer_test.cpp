// A script's "> Screenshot FOLDER" answer: the next modal dialog's picture
// is written while it runs, named after its caption, and the dialog goes on
// with the answers queued after it.
#include "platform/host/dezaz_app.h"
#include "platform/win32/dialog.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/resource.h"
#include "platform/win32/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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
    PUSHBUTTON      "Close",2,60,40,50,14
END
)";

int g_detected = 0;

INT_PTR Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
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
