#include "platform/mfc/win_app.h"
#include "platform/win32/controls.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/resource.h"
#include "platform/win32/window_snapshot.h"
#include "render/render_engine_info_dlg.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "support/gl_test_renderer.h"
#include "support/view_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

using namespace testrender;

namespace
{

std::optional<std::string> ReadResource(const std::string& name)
{
    std::ifstream in(std::string(VTL_SOURCE_DIR) + "/resources/" + name, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::wstring FieldText(HWND dialog)
{
    wchar_t buffer[16384] = {};
    GetWindowTextW(GetDlgItem(dialog, IDC_RENDER_ENGINE_TEXT), buffer, 16384);
    return buffer;
}

std::wstring ClassOf(HWND window)
{
    wchar_t buffer[64] = {};
    GetClassNameW(window, buffer, 64);
    return buffer;
}

// The dialog's template from its own resource script, as the plug-in's
// module holds it.
class RenderEngineInfoDlg : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        const std::optional<std::string> script = ReadResource("render_engine_info.rc");
        ASSERT_TRUE(script.has_value());
        ASSERT_TRUE(win32::RegisterResourceScript(module, *script, &ReadResource, &error)) << error;
        previous = AfxGetResourceHandle();
        AfxSetResourceHandle(module);
    }
    void TearDown() override
    {
        AfxSetResourceHandle(previous);
        win32::UnregisterResources(module);
        win32::ClearPromptAnswers();
    }
    HINSTANCE module = reinterpret_cast<HINSTANCE>(0x9280000);
    HINSTANCE previous = nullptr;
};

TEST(RenderEngineInfoText, LineBreaksBecomeCarriageReturnLineFeed)
{
    EXPECT_EQ(cRenderEngineInfoDlg::ToFieldText(L"a\nb\n\nc"), L"a\r\nb\r\n\r\nc");
    EXPECT_EQ(cRenderEngineInfoDlg::ToFieldText(L""), L"");
}

TEST_F(RenderEngineInfoDlg, IsADialogOnTemplate18023WithAReadOnlyMultiLineFieldAndOK)
{
    const std::optional<win32::DialogTemplate> dialogTemplate =
        win32::FindDialogTemplate(module, MAKEINTRESOURCEW(18023));
    ASSERT_TRUE(dialogTemplate.has_value());
    EXPECT_EQ(dialogTemplate->caption, L"Render engine");
    EXPECT_EQ(dialogTemplate->fontFace, L"MS Shell Dlg");

    RendererWindow view(16, 16);
    ASSERT_TRUE(view.Ok());
    cRenderEngineInfoDlg dialog(&view.Renderer());
    EXPECT_TRUE(dialog.IsKindOf(RUNTIME_CLASS(CDialog)));
    ASSERT_TRUE(dialog.Create(IDD_RENDER_ENGINE_INFO));
    const HWND window = dialog.GetSafeHwnd();
    wchar_t caption[64] = {};
    GetWindowTextW(window, caption, 64);
    EXPECT_STREQ(caption, L"Render engine");
    const HWND field = GetDlgItem(window, IDC_RENDER_ENGINE_TEXT);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(ClassOf(field), L"Edit");
    const LONG_PTR style = GetWindowLongPtrW(field, GWL_STYLE);
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & ES_READONLY);
    const HWND ok = GetDlgItem(window, IDOK);
    ASSERT_NE(ok, nullptr);
    wchar_t okText[16] = {};
    GetWindowTextW(ok, okText, 16);
    EXPECT_STREQ(okText, L"OK");
    EXPECT_NE(FieldText(window).find(L"Cache implementation: "), std::wstring::npos)
        << "filled when the dialog starts";
    // The field sits above the button and both lie inside the dialog.
    RECT fieldRect{}, okRect{}, client{};
    GetWindowRect(field, &fieldRect);
    GetWindowRect(ok, &okRect);
    GetWindowRect(window, &client);
    EXPECT_LT(fieldRect.bottom, okRect.top);
    EXPECT_GE(fieldRect.left, client.left);
    EXPECT_LE(okRect.bottom, client.bottom);
    // Shown, the field carries the text: dark glyph pixels on its face, in
    // its upper part where the first lines stand.
    dialog.ShowWindow(SW_SHOW);
    dialog.UpdateWindow();
    mfc::PumpUntilIdle();
    const win32::ClientImage image = win32::ComposeWindowImage(window);
    POINT corner{fieldRect.left, fieldRect.top};
    ::ScreenToClient(window, &corner);
    std::size_t dark = 0;
    for (LONG y = std::max(LONG(0), corner.y); y < std::min(image.height, corner.y + 40); ++y)
        for (LONG x = std::max(LONG(0), corner.x); x < std::min(image.width, corner.x + (fieldRect.right - fieldRect.left)); ++x)
        {
            const std::uint32_t p = image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)];
            dark += ((p >> 16) & 255) < 100 && ((p >> 8) & 255) < 100 && (p & 255) < 100;
        }
    EXPECT_GT(dark, 50u) << "the renderer's text in the field";
    win32::WriteSnapshotIfRequested(window, "render_engine_info_dialog");
    dialog.DestroyWindow();
}

TEST_F(RenderEngineInfoDlg, ShowsTheRunningContextsStringsAndGivesTheContextBack)
{
    RendererWindow view(32, 32), other(32, 32);
    ASSERT_TRUE(view.Ok() && other.Ok());
    other.Renderer().MakeCurrent();
    const std::string vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
    const std::string version = reinterpret_cast<const char*>(glGetString(GL_VERSION));

    std::wstring shown;
    win32::QueuePromptAnswer({win32::kDialogPrompt, L"Render engine", IDOK, [&](HWND dialog, const std::wstring&) {
                                  shown = FieldText(dialog);
                                  EXPECT_TRUE(view.Renderer().IsCurrent()) << "the view's context while it shows";
                                  return INT_PTR(IDOK);
                              }});
    EXPECT_EQ(ShowRenderEngineInfo(&view.Renderer(), nullptr), IDOK);
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
    EXPECT_TRUE(other.Renderer().IsCurrent()) << "the caller's context is back";

    EXPECT_NE(shown.find(L"OpenGL vendor: " + std::wstring(vendor.begin(), vendor.end()) + L"\r\n"),
              std::wstring::npos);
    EXPECT_NE(shown.find(L"OpenGL ver: " + std::wstring(version.begin(), version.end()) + L"\r\n"),
              std::wstring::npos);
    EXPECT_NE(shown.find(L"Canvas object: 256x256\r\n\r\n"), std::wstring::npos);
    EXPECT_EQ(shown.find(L"\n\n"), std::wstring::npos) << "no bare line feeds";
}

TEST_F(RenderEngineInfoDlg, AnUnexpectedDialogFailsLoudlyInsteadOfHangingAndGivesTheContextBack)
{
    RendererWindow view(16, 16), other(16, 16);
    ASSERT_TRUE(view.Ok() && other.Ok());
    other.Renderer().MakeCurrent();
    win32::ClearPromptAnswers();
    EXPECT_THROW(ShowRenderEngineInfo(&view.Renderer(), nullptr), win32::UnexpectedPrompt);
    EXPECT_TRUE(other.Renderer().IsCurrent());
    cRenderEngineInfoDlg dialog(&view.Renderer());
    EXPECT_THROW(dialog.DoModal(), win32::UnexpectedPrompt);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr) << "the dialog is gone";
}

TEST_F(RenderEngineInfoDlg, TheViewsCommandShowsItWithTheViewsContextCurrent)
{
    TempRegistry registry;
    testview::ViewFixture fixture;
    C3DView* view = fixture.Create(120, 90);
    ASSERT_NE(view, nullptr);
    bool shown = false;
    win32::QueuePromptAnswer({win32::kDialogPrompt, L"Render engine", IDOK, [&](HWND dialog, const std::wstring&) {
                                  shown = FieldText(dialog).find(L"OpenGL vendor: ") != std::wstring::npos;
                                  EXPECT_TRUE(fixture.renderer.IsCurrent());
                                  return INT_PTR(IDOK);
                              }});
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, ID_VIEW_RENDER_ENGINE_INFO, 0);
    EXPECT_TRUE(shown);
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
    fixture.Close();
}

TEST(RenderEngineInfoDlgWithoutTemplate, CannotBeShownWhereTheResourcesLackIt)
{
    RendererWindow view(16, 16);
    ASSERT_TRUE(view.Ok());
    const HINSTANCE previous = AfxGetResourceHandle();
    AfxSetResourceHandle(reinterpret_cast<HINSTANCE>(0x9290000));
    EXPECT_EQ(ShowRenderEngineInfo(&view.Renderer(), nullptr), -1);
    EXPECT_EQ(ShowRenderEngineInfo(nullptr, nullptr), -1);
    AfxSetResourceHandle(previous);
}

} // namespace
