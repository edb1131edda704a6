// The shapes view's context menus show pictures of the modes' tools on their
// items; a menu that has gone leaves none of them, nor the icons they were
// made from, alive in the host's process.
#include "modes/network_edit_mode.h"
#include "modes/profile_edit_mode.h"
#include "modes/section_plane_picker.h"
#include "platform/win32/gdi.h"
#include "platform/win32/icons.h"
#include "platform/win32/menu.h"
#include "plugin/dialogs/curves_page.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"

#include <functional>

namespace
{

class ShapesViewMenus : public ShapesDialog
{
protected:
    // Shows the menu ten times through `show`, each one answered by
    // dismissing it. Expects nothing left alive afterwards; returns how many
    // more GDI objects were alive while the last menu was up.
    std::size_t ShowTenMenus(const wchar_t* item, const std::function<void(HWND view, LPARAM at)>& show)
    {
        const std::size_t objects = win32::LiveGdiObjectCount(), icons = win32::LiveIconCount();
        std::size_t whileShown = 0;
        HWND window = dialog->GetShapesView()->GetSafeHwnd();
        RECT client{};
        ::GetClientRect(window, &client);
        for (int i = 0; i < 10; ++i)
        {
            win32::QueuePromptAnswer({win32::kPopupMenuPrompt, item, 0, [&](HWND, const std::wstring&)
                                      {
                                          whileShown = win32::LiveGdiObjectCount() - objects;
                                          return INT_PTR(0);
                                      }});
            show(window, MAKELPARAM(client.right / 2, client.bottom / 2));
        }
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u) << "every menu was shown";
        EXPECT_EQ(win32::LiveGdiObjectCount(), objects) << item;
        EXPECT_EQ(win32::LiveIconCount(), icons) << item;
        return whileShown;
    }
    static void RightButton(HWND view, LPARAM at)
    {
        POINT screen{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
        ::ClientToScreen(view, &screen);
        ::SendMessageW(view, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view), MAKELPARAM(screen.x, screen.y));
    }
    static void MiddleButton(HWND view, LPARAM at)
    {
        ::SendMessageW(view, WM_MBUTTONDOWN, MK_MBUTTON, at);
        ::SendMessageW(view, WM_MBUTTONUP, 0, at);
    }
    int TabIndex(const wchar_t* title) const
    {
        const std::vector<std::wstring> titles = dialog->TabTitles();
        for (std::size_t i = 0; i < titles.size(); ++i)
            if (titles[i] == title)
                return int(i);
        return -1;
    }
};

} // namespace

TEST_F(ShapesViewMenus, TenMenusOfEachModeLeaveNoPicturesOrIconsAlive)
{
    Open(scans::Cylinder({-40, 80, 900}, {0.0, 0.0, 1.0}, 20.0, 50.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Revolved);
    mfc::PumpUntilIdle();
    // The selection tools' menu of the Shape tab: the three tools besides
    // the one in use carry pictures.
    EXPECT_EQ(ShowTenMenus(L"Line Selection", &RightButton), 3u);
    // The Sketch tab's editor: its right and middle buttons.
    ASSERT_EQ(TabIndex(L"Sketch"), 1);
    dialog->SelectTab(1);
    mfc::PumpUntilIdle();
    ASSERT_NE(dynamic_cast<CUIM_EditProfile*>(dialog->GetShapesView()->GetActiveMode()), nullptr);
    EXPECT_GT(ShowTenMenus(L"Add Tangent Arc", &RightButton), 0u);
    EXPECT_GT(ShowTenMenus(L"Add Tangent Arc", &MiddleButton), 0u);
    // The Curves tab's network editor: its middle button.
    ChooseKind(eShapeKind::CurveNetwork);
    const int curves = TabIndex(L"Curves");
    ASSERT_GE(curves, 0);
    dialog->SelectTab(curves);
    mfc::PumpUntilIdle();
    auto* page = dynamic_cast<CSubNetworkDlg*>(SectionPlaneHostOf(dialog->GetShapesView()));
    ASSERT_NE(page, nullptr);
    if (!page->GetSafeHwnd())
    {
        ASSERT_TRUE(page->CreatePage(dialog.get()));
    }
    page->ShowWindow(SW_SHOW);
    mfc::PumpUntilIdle();
    ASSERT_NE(dynamic_cast<CUIM_EditNetwork*>(dialog->GetShapesView()->GetActiveMode()), nullptr);
    EXPECT_GT(ShowTenMenus(L"Sub-sampling", &MiddleButton), 0u);
}
