// The dialogs' views: the navigation-mode factory, the view context menu
// from the plug-in's resource script with its commands coming back to the
// view, the new-version notice, and a renderer that cannot start.
#include "platform/mfc/win_app.h"
#include "platform/win32/shell_message_box.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "render/navigation_modes.h"
#include "support/view_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

using namespace testview;

namespace
{

std::optional<std::string> ReadSource(const std::string& name)
{
    std::ifstream in(std::string(VTL_SOURCE_DIR) + "/resources/" + name, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(PopupView, TheFactoryMakesTheNavigationModesAndNothingElse)
{
    cP3DView view;
    const std::uint32_t ids[] = {kFreeNavigationModeId, kRotateModeId, kTranslateModeId, kZoomModeId, kZoomRectModeId};
    for (std::uint32_t id : ids)
    {
        std::unique_ptr<cUserInteractiveMode<C3DView>> mode(view.CreateMode(id, 1, 0));
        ASSERT_NE(mode, nullptr);
        EXPECT_EQ(mode->GetId(), id);
        EXPECT_TRUE(mode->CanEnd());
        EXPECT_STREQ(mode->GetClassName(), L"CUIM_RotateTranslate");
    }
    EXPECT_NE(dynamic_cast<CUIM_ZoomRect*>(std::unique_ptr<cUserInteractiveMode<C3DView>>(view.CreateMode(kZoomRectModeId, 0, 0)).get()), nullptr);
    EXPECT_EQ(view.CreateMode(0xCB07E4, 0, 0), nullptr);
    view.rotationLocked = 1;
    std::unique_ptr<cUserInteractiveMode<C3DView>> locked(view.CreateMode(kRotateModeId, 0, 0));
    EXPECT_EQ(locked->GetId(), kTranslateModeId);
    EXPECT_NE(dynamic_cast<CUIM_Translate*>(locked.get()), nullptr);
}

class PopupViewWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::ResetInputState();
        std::string error;
        ASSERT_TRUE(win32::RegisterResourceScript(module, *ReadSource("vtl.rc"), &ReadSource, &error)) << error;
        state.m_hCurrentInstanceHandle = module;
    }
    void TearDown() override
    {
        f.Close();
        win32::UnregisterResources(module);
        win32::ClearPromptAnswers();
    }
    HINSTANCE module = reinterpret_cast<HINSTANCE>(0x9200000);
    AFX_MODULE_STATE state;
    TempRegistry registry;
    ViewFixture f;
};

TEST_F(PopupViewWindow, ARightClickShowsTheViewMenuAndItsCommandReachesTheView)
{
    AFX_MANAGE_STATE(&state);
    cP3DView* view = f.Create();
    view->SetStandardView(kFrontView);
    // The popup lists the menu's items; the answer is posted to the view.
    win32::QueuePopupMenuAnswer(32795, L"Zoom All\tA|Top view|Bottom view|Front view|Back view|Left view|Right view");
    Press(view, WM_RBUTTONDOWN, POINT{100, 80});
    Press(view, WM_RBUTTONUP, POINT{101, 81});
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
    EXPECT_EQ(view->GetCamera()->GetViewTransform()[0], 1.0); // the top view
    EXPECT_EQ(view->GetCamera()->GetViewTransform()[10], 1.0);
    Snapshot(view, "popup_top_view_from_menu");

    // A right drag pans and shows no menu (an unexpected popup would throw).
    win32::ResetInputState();
    Press(view, WM_RBUTTONDOWN, POINT{100, 80});
    Move(view, POINT{130, 90});
    EXPECT_NO_THROW(Press(view, WM_RBUTTONUP, POINT{130, 90}));
}

TEST_F(PopupViewWindow, TheNewVersionNoticeIsShownUntilTheUserTicksItsBox)
{
    cP3DView* view = f.Create();
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"A newer version of the software is available.", IDOK, nullptr});
    view->PostMessage(NewSoftwareAvailableMessage());
    mfc::PumpUntilIdle();
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"newer version", IDOK | kMessageBoxCheckTicked, nullptr});
    view->PostMessage(NewSoftwareAvailableMessage());
    mfc::PumpUntilIdle();
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
    // Remembered: no box any more (an unexpected one would throw).
    view->PostMessage(NewSoftwareAvailableMessage());
    EXPECT_NO_THROW(mfc::PumpUntilIdle());
}

class FailingRenderer : public MeshRenderer
{
public:
    std::uint32_t Initialize(HWND*) override { return 0xFFFFFFFF; }
};

TEST_F(PopupViewWindow, AViewWhoseRendererCannotStartIsNotCreated)
{
    FailingRenderer renderer;
    auto* view = new cP3DView;
    view->SetRenderer(&renderer);
    // The failed window is destroyed, and the view with it.
    EXPECT_FALSE(view->CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr));
}

} // namespace
