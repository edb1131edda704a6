#include "overlay/view_3d_overlay.h"
#include "platform/mfc/win_app.h"
#include "support/overlay_test_controls.h"

#include <gtest/gtest.h>

using namespace overlaytest;

namespace
{

// A leaf control over the real 3D view.
class ViewLeaf : public virtual IScreenControl_GDI<C3DView>
{
public:
    explicit ViewLeaf(Log& log) : log(log) {}
    SIZE Measure(cOverlayContext*, C3DView*) override
    {
        StoreDesired(SIZE{30, 20});
        Validate();
        return m_desired;
    }
    RECT Arrange(cOverlayContext* c, const SIZE* available, C3DView* v) override
    {
        const SIZE s = Measure(c, v);
        if (available == nullptr)
            return RECT{0, 0, s.cx, s.cy};
        const RECT r = AlignInAvailable(s, *available);
        StoreArrange(*available, r);
        return r;
    }
    BOOL OnLButtonDown(POINT p, UINT, C3DView*) override { return Log_("down", p); }
    BOOL OnMouseMove(POINT p, UINT, C3DView*) override { return Log_("move", p); }
    BOOL OnMouseWheel(UINT, short, POINT p, C3DView*) override { return Log_("wheel", p); }
    void OnMouseEnter(POINT p, UINT, C3DView*) override { Log_("enter", p); }
    void OnMouseLeave(POINT p, UINT, C3DView*) override { Log_("leave", p); }

    Log& log;

private:
    BOOL Log_(const char* what, POINT p)
    {
        log.push_back(Entry("leaf", what, p));
        return 1;
    }
};

class PlainView : public C3DView
{
public:
    Mode* CreateMode(std::uint32_t, std::uint32_t, LPARAM) override { return nullptr; }
    std::uint32_t GetDefaultModeId() override { return 0; }
};

} // namespace

// The view's messages reach the controls in client pixels, the wheel's
// screen point included, and the cursor word becomes the view's cursor id.
TEST(ViewOverlay, TheViewsMessagesReachTheControlsInClientPixels)
{
    win32::ResetInputState();
    Log log;
    auto* view = new PlainView;
    auto overlay = std::make_unique<C3DViewOverlay>(view);
    C3DViewOverlay* controls = overlay.get();
    view->SetScreenObjectManager(std::move(overlay));
    ASSERT_TRUE(view->CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, 30, 20, 200, 150, nullptr, nullptr));
    view->SendMessage(WM_SIZE, 0, MAKELPARAM(200, 150));
    EXPECT_EQ(controls->GetManager().GetRoot()->GetDesiredSize().cx, 200);

    tSafePtr<ViewLeaf> leaf(new ViewLeaf(log));
    leaf->SetHorizontalAlignment(kAlignNear);
    leaf->SetVerticalAlignment(kAlignNear);
    leaf->SetMarginLTRB(10, 10, 0, 0);
    leaf->SetCursorId(0x80007F00u);
    controls->GetManager().AddGDIControl(leaf.Get());
    const SIZE size{200, 150};
    controls->GetManager().GetRoot()->Arrange(nullptr, &size, view);

    POINT screen{15, 12};
    ClientToScreen(view->GetSafeHwnd(), &screen);
    win32::InjectMouseMove(screen);
    mfc::PumpUntilIdle();
    win32::InjectMouseButton(WM_LBUTTONDOWN, screen);
    mfc::PumpUntilIdle();
    win32::InjectMouseButton(WM_LBUTTONUP, screen);
    mfc::PumpUntilIdle();
    EXPECT_EQ(log, (Log{"leaf enter 5,2", "leaf move 5,2", "leaf down 5,2"}));

    EXPECT_EQ(controls->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), -32512);
    log.clear();
    POINT wheelAt{12, 14};
    ClientToScreen(view->GetSafeHwnd(), &wheelAt);
    view->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), MAKELPARAM(wheelAt.x, wheelAt.y));
    EXPECT_EQ(log, (Log{"leaf wheel 2,4"}));
    log.clear();
    view->SendMessage(WM_KILLFOCUS, 0, 0);
    EXPECT_EQ(log, (Log{"leaf leave 0,0"}));
    view->DestroyWindow();
}
