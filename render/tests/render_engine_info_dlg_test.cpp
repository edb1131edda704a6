#include "platform/win32/controls.h"
#include "platform/win32/prompt_script.h"
#include "render/render_engine_info_dlg.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

#include <string>

using namespace testrender;

namespace
{

std::wstring FieldText(HWND dialog)
{
    wchar_t buffer[16384] = {};
    GetWindowTextW(GetDlgItem(dialog, IDC_RENDER_ENGINE_TEXT), buffer, 16384);
    return buffer;
}

TEST(RenderEngineInfoDlg, LineBreaksBecomeCarriageReturnLineFeed)
{
    EXPECT_EQ(cRenderEngineInfoDlg::ToFieldText(L"a\nb\n\nc"), L"a\r\nb\r\n\r\nc");
    EXPECT_EQ(cRenderEngineInfoDlg::ToFieldText(L""), L"");
}

TEST(RenderEngineInfoDlg, ShowsTheRunningContextsStringsAndGivesTheContextBack)
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
    EXPECT_EQ(ShowRenderEngineInfo(&view.Renderer(), view.Window()), IDOK);
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
    EXPECT_TRUE(other.Renderer().IsCurrent()) << "the caller's context is back";

    EXPECT_NE(shown.find(L"OpenGL vendor: " + std::wstring(vendor.begin(), vendor.end()) + L"\r\n"),
              std::wstring::npos);
    EXPECT_NE(shown.find(L"OpenGL ver: " + std::wstring(version.begin(), version.end()) + L"\r\n"),
              std::wstring::npos);
    EXPECT_NE(shown.find(L"Canvas object: 256x256\r\n\r\n"), std::wstring::npos);
    EXPECT_EQ(shown.find(L"\n\n"), std::wstring::npos) << "no bare line feeds";
}

TEST(RenderEngineInfoDlg, AnUnexpectedDialogFailsLoudlyInsteadOfHanging)
{
    RendererWindow view(16, 16);
    ASSERT_TRUE(view.Ok());
    win32::ClearPromptAnswers();
    cRenderEngineInfoDlg dialog(&view.Renderer());
    EXPECT_THROW(dialog.DoModal(), win32::UnexpectedPrompt);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
    EXPECT_TRUE(dialog.Create(IDD_RENDER_ENGINE_INFO, nullptr));
    EXPECT_NE(FieldText(dialog.GetSafeHwnd()).find(L"Cache implementation: "), std::wstring::npos);
}

} // namespace
