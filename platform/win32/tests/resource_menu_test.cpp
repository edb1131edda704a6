#include "recording_window.h"

#include <gtest/gtest.h>

namespace
{

const char* kHeader = R"(
#define IDR_VIEW_MENU     3000
#define IDR_ACCEL         3074
#define ID_ZOOM_ALL       18000
#define ID_VIEW_TOP       18012
#define ID_VIEW_FRONT     (ID_VIEW_TOP - 2)
#define ID_SHADED         18004
#define ID_DELETE         32801
#define IDS_HELLO         101
#define IDC_ROTATE_CURSOR 17032
#define IDD_SETTINGS      3050
)";

const char* kScript = R"(// the plug-in's resources
#include "resource.h"
#include "afxres.h"

#ifdef APSTUDIO_INVOKED
1 TEXTINCLUDE
BEGIN
    "resource.h\0"
END
#endif

LANGUAGE 9, 1
IDC_ROTATE_CURSOR CURSOR "res\\rotate.cur"

IDR_VIEW_MENU MENU DISCARDABLE
BEGIN
    POPUP "View"
    BEGIN
        MENUITEM "&Zoom All\tCtrl+A",   ID_ZOOM_ALL
        MENUITEM SEPARATOR
        MENUITEM "&Top",                ID_VIEW_TOP, CHECKED
        MENUITEM "&Front",              ID_VIEW_FRONT, GRAYED
        POPUP "Display"
        BEGIN
            MENUITEM "Shaded",          ID_SHADED
        END
    END
END

IDD_SETTINGS DIALOGEX 0, 0, 200, 100
STYLE DS_SETFONT | WS_POPUP
CAPTION "Settings ""quoted"""
FONT 8, "MS Shell Dlg"
BEGIN
    DEFPUSHBUTTON   "OK",IDOK,7,7,50,14
END

IDR_ACCEL ACCELERATORS
BEGIN
    "A",            ID_ZOOM_ALL,        VIRTKEY, CONTROL, NOINVERT
    VK_DELETE,      ID_DELETE,          VIRTKEY, NOINVERT
    "^T",           ID_VIEW_TOP
END

STRINGTABLE
BEGIN
    IDS_HELLO       "Hello\tworld"
END
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
    static std::uintptr_t next = 0x7000000;
    return reinterpret_cast<HINSTANCE>(next += 0x1000);
}

class Resources : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testwin::Reset();
        win32::ClearPromptAnswers();
        module = NextModule();
        std::string error;
        ASSERT_TRUE(win32::RegisterResourceScript(module, kScript, Includes(), &error)) << error;
        owner = testwin::CreateTop(0, 0, 100, 100);
    }
    void TearDown() override
    {
        DestroyWindow(owner);
        win32::PumpUntilIdle();
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
        win32::ClearPromptAnswers();
    }
    HINSTANCE module = nullptr;
    HWND owner = nullptr;
};

TEST_F(Resources, MenusLoadFromTheScriptWithTheirStates)
{
    std::size_t before = win32::LiveMenuCount();
    HMENU bar = LoadMenuW(module, MAKEINTRESOURCEW(3000));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetMenuItemCount(bar), 1);
    HMENU view = GetSubMenu(bar, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(GetMenuItemCount(view), 5);
    EXPECT_EQ(GetMenuItemID(view, 0), 18000u);
    EXPECT_EQ(GetMenuState(view, 1, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
    EXPECT_EQ(GetMenuState(view, 18012, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(GetMenuItemID(view, 3), 18010u); // an expression over another symbol
    EXPECT_EQ(GetMenuState(bar, 18010, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED); // found through the sub-menus
    EXPECT_EQ(GetMenuItemID(view, 4), 0xFFFFFFFFu);
    wchar_t text[32];
    GetMenuStringW(view, 0, text, 32, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&Zoom All\tCtrl+A");
    EXPECT_EQ(EnableMenuItem(view, 18010, MF_ENABLED), MF_GRAYED);
    EXPECT_EQ(EnableMenuItem(view, 4242, MF_GRAYED), 0xFFFFFFFFu);
    EXPECT_TRUE(RemoveMenu(bar, 18004, MF_BYCOMMAND));
    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_EQ(win32::LiveMenuCount(), before); // sub-menus go with it
    EXPECT_FALSE(IsMenu(view));
    EXPECT_EQ(LoadMenuW(module, MAKEINTRESOURCEW(9999)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
}

TEST_F(Resources, PopupMenusAreAnsweredByTheScript)
{
    HMENU bar = LoadMenuW(module, MAKEINTRESOURCEW(3000));
    HMENU view = GetSubMenu(bar, 0);
    win32::QueuePopupMenuAnswer(18012, L"Zoom All");
    EXPECT_EQ(TrackPopupMenuEx(view, TPM_RETURNCMD | TPM_RIGHTBUTTON, 5, 5, owner, nullptr), 18012);
    EXPECT_EQ(testwin::Log({WM_INITMENUPOPUP}).size(), 1u);

    // Without TPM_RETURNCMD the choice arrives later as a posted command.
    win32::QueuePopupMenuAnswer(18004);
    EXPECT_TRUE(TrackPopupMenuEx(view, TPM_RIGHTBUTTON, 5, 5, owner, nullptr));
    EXPECT_TRUE(testwin::Log({WM_COMMAND}).empty());
    win32::PumpUntilIdle();
    auto commands = testwin::Log({WM_COMMAND});
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, 18004u);

    win32::QueuePopupMenuAnswer(0); // dismissed
    EXPECT_EQ(TrackPopupMenuEx(view, TPM_RETURNCMD, 5, 5, owner, nullptr), 0);

    EXPECT_THROW(TrackPopupMenuEx(view, TPM_RETURNCMD, 5, 5, owner, nullptr), win32::UnexpectedPrompt);
    win32::QueuePopupMenuAnswer(18010); // grayed
    EXPECT_THROW(TrackPopupMenuEx(view, TPM_RETURNCMD, 5, 5, owner, nullptr), win32::UnexpectedPrompt);
    win32::QueuePopupMenuAnswer(18000, L"No such text");
    EXPECT_THROW(TrackPopupMenuEx(view, TPM_RETURNCMD, 5, 5, owner, nullptr), win32::UnexpectedPrompt);
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"", 6, nullptr});
    EXPECT_THROW(TrackPopupMenuEx(view, TPM_RETURNCMD, 5, 5, owner, nullptr), win32::UnexpectedPrompt);
    DestroyMenu(bar);
}

TEST_F(Resources, AcceleratorsTranslateKeysWithTheirModifiers)
{
    HACCEL table = LoadAcceleratorsW(module, MAKEINTRESOURCEW(3074));
    ASSERT_NE(table, nullptr);
    MSG plainA{owner, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
    EXPECT_EQ(TranslateAcceleratorW(owner, table, &plainA), 0);
    win32::SetKeyDown(VK_CONTROL, true);
    EXPECT_EQ(TranslateAcceleratorW(owner, table, &plainA), 1);
    win32::SetKeyDown(VK_CONTROL, false);
    MSG del{owner, WM_KEYDOWN, VK_DELETE, 0, 0, {0, 0}};
    EXPECT_EQ(TranslateAcceleratorW(owner, table, &del), 1);
    MSG ctrlT{owner, WM_CHAR, 20, 0, 0, {0, 0}};
    EXPECT_EQ(TranslateAcceleratorW(owner, table, &ctrlT), 1);
    auto commands = testwin::Log({WM_COMMAND});
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].wParam, MAKEWPARAM(18000, 1));
    EXPECT_EQ(LOWORD(commands[1].wParam), 32801);
    EXPECT_EQ(LOWORD(commands[2].wParam), 18012);
    EXPECT_TRUE(DestroyAcceleratorTable(table));
    EXPECT_EQ(TranslateAcceleratorW(owner, table, &del), 0);
}

TEST_F(Resources, StringsCursorsAndOtherResourcesAreKnownByModule)
{
    wchar_t text[32];
    EXPECT_EQ(LoadStringW(module, 101, text, 32), 11);
    EXPECT_STREQ(text, L"Hello\tworld");
    EXPECT_EQ(LoadStringW(module, 102, text, 32), 0);
    EXPECT_NE(LoadCursorW(module, MAKEINTRESOURCEW(17032)), nullptr);
    EXPECT_TRUE(win32::ModuleHasResource(module, RT_DIALOG, MAKEINTRESOURCEW(3050)));
    EXPECT_TRUE(win32::ModuleHasResource(module, RT_MENU, MAKEINTRESOURCEW(3000)));
    EXPECT_FALSE(win32::ModuleHasResource(NextModule(), RT_MENU, MAKEINTRESOURCEW(3000)));
    EXPECT_EQ(win32::FindModuleResources(module)->symbols.at("ID_VIEW_FRONT"), 18010);
}

TEST(ResourceScript, BadScriptsFailWithTheLine)
{
    struct Case
    {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"1 MENU\nBEGIN\n  MENUITEM \"x\", UNKNOWN_ID\nEND\n", "line 3: unknown symbol UNKNOWN_ID"},
        {"1 MENU\nBEGIN\n  MENUITEM \"open\n", "line 3: unterminated string"},
        {"1 MENU\nBEGIN\n  POPUP \"p\"\n  BEGIN\n", "missing END"},
        {"#include \"missing.h\"\n", "line 1: cannot include \"missing.h\""},
        {"#ifdef X\n1 MENU BEGIN END\n", "#if without #endif"},
        {"1 ACCELERATORS\nBEGIN\n \"AB\", 5\nEND\n", "line 3: an accelerator's key is one character"},
        {"1 MENU\nBEGIN\n  BOGUS\nEND\n", "line 3: expected MENUITEM, POPUP or END in a menu"},
        {"1\n", "expected a resource type"},
    };
    for (const Case& c : cases)
    {
        win32::ResourceScript out;
        std::string error;
        EXPECT_FALSE(win32::ParseResourceScript(c.script, nullptr, out, error)) << c.script;
        EXPECT_NE(error.find(c.error), std::string::npos) << "got: " << error;
    }
    std::string deep = "1 MENU\nBEGIN\n";
    for (int i = 0; i < 200; ++i)
        deep += "POPUP \"p\" BEGIN\n";
    win32::ResourceScript out;
    std::string error;
    EXPECT_FALSE(win32::ParseResourceScript(deep, nullptr, out, error));
    EXPECT_NE(error.find("nest too deeply"), std::string::npos) << error;
}

TEST(PromptScript, AnswersActInsideThePromptAndAHandlerCoversAnEmptyQueue)
{
    std::wstring seen;
    win32::QueuePromptAnswer({win32::kDialogPrompt, L"Curve", 0,
                              [&](HWND, const std::wstring& text) -> INT_PTR
                              {
                                  seen = text;
                                  return 2;
                              }});
    EXPECT_EQ(win32::AnswerPrompt(win32::kDialogPrompt, L"Curve Profile"), 2);
    EXPECT_EQ(seen, L"Curve Profile");
    win32::SetPromptHandler([](const std::wstring&, const std::wstring&, HWND) -> std::optional<INT_PTR>
                            { return 7; });
    EXPECT_EQ(win32::AnswerPrompt(win32::kMessageBoxPrompt, L"anything"), 7);
    win32::SetPromptHandler(nullptr);
    EXPECT_THROW(win32::AnswerPrompt(win32::kMessageBoxPrompt, L"anything"), win32::UnexpectedPrompt);
}

} // namespace

namespace
{

// Numbers in a script are untrusted: sums and negations that overflow wrap
// instead of being undefined behaviour.
TEST(ResourceScript, OverflowingDefinesWrapWithoutUndefinedBehaviour)
{
    const char* script = "#define BIG 9223372036854775807\n"
                         "#define WRAPPED (BIG + 1)\n"
                         "#define NEGATED (-(-9223372036854775807 - 1))\n"
                         "#define ID_A (WRAPPED - 1)\n";
    win32::ResourceScript out;
    std::string error;
    ASSERT_TRUE(win32::ParseResourceScript(script, nullptr, out, error)) << error;
    EXPECT_EQ(out.symbols.at("ID_A"), 9223372036854775807LL);
    EXPECT_EQ(out.symbols.at("WRAPPED"), static_cast<long long>(0x8000000000000000ull));
}

// Ids in statements wrap the same way; and a run of parentheses is refused
// like any other nesting instead of recursing without bound.
TEST(ResourceScript, OverflowingStatementIdsWrapAndParenthesesNestBounded)
{
    const char* script = "1 ACCELERATORS\nBEGIN\n"
                         "  \"A\", 9223372036854775807+2\n"
                         "  \"B\", -(-9223372036854775807-1)-~9223372036854775807+5\n"
                         "END\n"
                         "2 MENU\nBEGIN\n  MENUITEM \"x\", -~9223372036854775807 | 7\nEND\n";
    win32::ResourceScript out;
    std::string error;
    ASSERT_TRUE(win32::ParseResourceScript(script, nullptr, out, error)) << error;
    const auto& accelerators = out.accelerators.at(win32::ResourceKey{1, {}});
    ASSERT_EQ(accelerators.size(), 2u);
    EXPECT_EQ(accelerators[0].cmd, 1); // 2^63 + 1 in 16 bits
    EXPECT_EQ(accelerators[1].cmd, 5); // -2^63 - (-2^63) + 5
    const auto& menu = out.menus.at(win32::ResourceKey{2, {}});
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_EQ(menu[0].id, 7u); // -(-2^63) wraps to -2^63, whose low 32 bits are 0

    std::string deep = "1 MENU\nBEGIN\n  MENUITEM \"x\", ";
    deep += std::string(100000, '(') + "1" + std::string(100000, ')') + "\nEND\n";
    EXPECT_FALSE(win32::ParseResourceScript(deep, nullptr, out, error));
    EXPECT_NE(error.find("nests too deeply"), std::string::npos) << error;
}

} // namespace
