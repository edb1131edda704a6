// The navigator, a profile and the MFC view working together over real
// injected input: a profile press pushes a temporary navigation mode, its
// release ends it through the view's WM_USER + 9, and a right click still
// reaches the context menu.
#include "platform/mfc/mfc.h"
#include "render/mode_navigator.h"
#include "render/mouse_navigation_profiles.h"

#include <gtest/gtest.h>

namespace
{

class CNavigatedView;

class EndOnReleaseMode : public cUserInteractiveMode<CNavigatedView>
{
public:
    using cUserInteractiveMode::cUserInteractiveMode;
    BOOL OnRButtonUp(POINT, UINT, CNavigatedView* view) override
    {
        if (CanEnd())
            RequestEnd(view);
        return moved ? 1 : 0;
    }
    BOOL OnMouseMove(POINT, UINT, CNavigatedView*) override
    {
        moved = true;
        return 1;
    }
    BOOL OnCommand(UINT id, int, void*, AFX_CMDHANDLERINFO*, CNavigatedView*) override { return id == 900; }
    const wchar_t* GetClassName() const override { return L"EndOnReleaseMode"; }
    bool moved = false;
};

class CNavigatedView : public CView, public cUserIModeNavigator<CNavigatedView>
{
public:
    POINT pressPoint{0, 0};
    POINT lastPoint{0, 0};
    const CMouseNavigationProfile* profile = nullptr;
    int contextMenus = 0;

    Mode* CreateMode(std::uint32_t id, std::uint32_t temporary, LPARAM) override
    {
        return new EndOnReleaseMode(id, temporary);
    }
    std::uint32_t GetDefaultModeId() override { return profile->GetDefaultModeId(); }
    std::uint32_t GetModeIdForMouseEvent(UINT flags) override
    {
        return profile->GetModeIdForMouseEvent(flags);
    }
    BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) override
    {
        if (RouteCommand(id, code, extra, info, this))
            return TRUE;
        return CView::OnCmdMsg(id, code, extra, info);
    }

protected:
    void OnDraw(CDC*) override {}
    void PostNcDestroy() override {} // owned by the test
    afx_msg void OnRButtonDown(UINT flags, CPoint point)
    {
        cUserIModeNavigator::OnRButtonDown(point, flags, this);
    }
    afx_msg void OnRButtonUp(UINT flags, CPoint point)
    {
        if (!cUserIModeNavigator::OnRButtonUp(point, flags, this))
            Default();
    }
    afx_msg void OnMouseMove(UINT flags, CPoint point)
    {
        cUserIModeNavigator::OnMouseMove(point, flags, this);
    }
    afx_msg void OnContextMenu(CWnd*, CPoint) { ++contextMenus; }
    afx_msg LRESULT OnEndMode(WPARAM id, LPARAM) { return EndMode(static_cast<std::uint32_t>(id), this); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CNavigatedView, CView)
ON_WM_RBUTTONDOWN()
ON_WM_RBUTTONUP()
ON_WM_MOUSEMOVE()
ON_WM_CONTEXTMENU()
ON_MESSAGE(kEndModeMessage, &CNavigatedView::OnEndMode)
END_MESSAGE_MAP()

const CMouseNavigationProfile* ProfileNamed(const wchar_t* name)
{
    for (const CMouseNavigationProfile* p : MouseNavigationProfiles())
        if (p->GetName() == name)
            return p;
    return nullptr;
}

TEST(NavigatedView, AProfilePressNavigatesUntilReleaseAndAClickStillShowsTheMenu)
{
    win32::ResetInputState();
    CNavigatedView view;
    view.profile = ProfileNamed(L"Dezaz");
    ASSERT_TRUE(view.CreateEx(0, nullptr, L"", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr));
    view.SetMode(view.GetDefaultModeId(), 0, &view, 0);
    ASSERT_EQ(view.GetActiveMode()->GetId(), kZoomRectModeId);

    // A right drag rotates (the Dezaz profile) and ends with the release.
    win32::InjectMouseButton(WM_RBUTTONDOWN, POINT{100, 100});
    mfc::PumpUntilIdle();
    ASSERT_EQ(view.GetActiveMode()->GetId(), kRotateModeId);
    EXPECT_TRUE(view.GetActiveMode()->CanEnd());
    EXPECT_TRUE(view.OnCmdMsg(900, CN_COMMAND, nullptr, nullptr)); // commands reach the modes
    win32::InjectMouseMove(POINT{150, 120});
    mfc::PumpUntilIdle();
    win32::InjectMouseButton(WM_RBUTTONUP, POINT{150, 120});
    mfc::PumpUntilIdle();
    EXPECT_EQ(view.GetActiveMode()->GetId(), kZoomRectModeId);
    EXPECT_EQ(view.contextMenus, 0);

    // A right click (no movement) ends the same way and shows the menu.
    win32::InjectMouseButton(WM_RBUTTONDOWN, POINT{60, 60});
    mfc::PumpUntilIdle();
    win32::InjectMouseButton(WM_RBUTTONUP, POINT{61, 60});
    mfc::PumpUntilIdle();
    EXPECT_EQ(view.GetActiveMode()->GetId(), kZoomRectModeId);
    EXPECT_EQ(view.contextMenus, 1);
    EXPECT_EQ(view.GetModeCount(), 1);

    view.Clear(&view);
    view.DestroyWindow();
}

} // namespace
