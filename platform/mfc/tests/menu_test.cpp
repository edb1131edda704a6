#include "platform/mfc/mfc.h"

#include <gtest/gtest.h>

namespace
{

class CMenuOwner : public CWnd
{
public:
    std::vector<UINT> commands;

protected:
    afx_msg void OnChoice(UINT id) { commands.push_back(id); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMenuOwner, CWnd)
ON_COMMAND_RANGE(500, 510, &CMenuOwner::OnChoice)
END_MESSAGE_MAP()

TEST(CMenuTest, LoadsFromTheModuleThatHoldsTheMenuAndRoutesTheChoice)
{
    HINSTANCE plugin = reinterpret_cast<HINSTANCE>(0x9100000);
    ASSERT_TRUE(win32::RegisterResourceScript(plugin, R"(
77 MENU
BEGIN
    POPUP "context"
    BEGIN
        MENUITEM "First", 501
        MENUITEM "Second", 502
    END
END
)",
                                              nullptr));
    AFX_MODULE_STATE state;
    state.m_hCurrentInstanceHandle = plugin;
    AFX_MANAGE_STATE(&state);

    CMenuOwner owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, L"", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr));
    {
        CMenu menu;
        ASSERT_TRUE(menu.LoadMenu(77));
        CMenu* popup = menu.GetSubMenu(0);
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ(popup->GetMenuItemCount(), 2u);
        win32::QueuePopupMenuAnswer(502, L"Second");
        EXPECT_TRUE(popup->TrackPopupMenuEx(TPM_RIGHTBUTTON, 10, 10, &owner, nullptr));
        EXPECT_FALSE(menu.LoadMenu(77)); // already holds one
    }                                    // destroyed with the object
    EXPECT_TRUE(owner.commands.empty()); // the choice is posted
    mfc::PumpUntilIdle();
    EXPECT_EQ(owner.commands, (std::vector<UINT>{502}));
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
    win32::UnregisterResources(plugin);
}

} // namespace
