#include "support/overlay_test_controls.h"

#include <gtest/gtest.h>

using namespace overlaytest;

namespace
{

// A manager over a view without a window, with a 200 x 100 canvas.
struct Fixture
{
    Fixture() : manager(&view) { manager.OnResize(200, 100); }

    // Lays the tree out as a paint would.
    void Layout()
    {
        auto* root = manager.GetRoot();
        const SIZE size = root->Measure(nullptr, &view);
        root->Arrange(nullptr, &size, &view);
    }
    tSafePtr<Leaf> AddLeaf(const std::string& name, LONG w, LONG h, LONG hAlign, LONG vAlign, LONG mL = 0, LONG mT = 0)
    {
        auto leaf = Make<Leaf>(name, w, h, &log);
        leaf->SetHorizontalAlignment(hAlign);
        leaf->SetVerticalAlignment(vAlign);
        leaf->SetMarginLTRB(mL, mT, 0, 0);
        manager.AddGDIControl(leaf.Get());
        return leaf;
    }

    TestView view;
    Log log;
    FocusManager manager;
};

} // namespace

TEST(ScreenObjectManager, TheGdiLayerLiesInFrontOfTheGlLayer)
{
    Fixture f;
    auto button = f.AddLeaf("button", 20, 20, kAlignNear, kAlignNear, 10, 10);
    auto box = Make<GLBox>("gl", RECT{0, 0, 100, 100}, &f.log);
    f.manager.AddGLObject(box.Get(), 1, 1);
    f.Layout();
    EXPECT_EQ(f.manager.OnLButtonDown(POINT{15, 12}, MK_LBUTTON), 1);
    EXPECT_EQ(f.log, (Log{"button enter 5,2", "button down 5,2"}));
    f.log.clear();
    EXPECT_EQ(f.manager.OnLButtonDown(POINT{50, 60}, MK_LBUTTON), 1);
    EXPECT_EQ(f.log, (Log{"button leave 50,60", "gl enter 50,60", "gl down 50,60"}));

    f.log.clear();
    EXPECT_EQ(f.manager.SetGDILayerEnabled(0), 1u);
    f.manager.OnLButtonDown(POINT{15, 12}, MK_LBUTTON);
    EXPECT_EQ(f.log, (Log{"gl down 15,12"})) << "switched off, the GDI layer is not hit";
    f.log.clear();
    f.manager.OnIdleUpdate();
    EXPECT_EQ(f.log, (Log{"gl idle", "button idle 0,0"})) << "but its controls still update";
}

TEST(ScreenObjectManager, HoverMovesBeforeTheEventWithTheNewTargetsPoint)
{
    Fixture f;
    auto a = f.AddLeaf("a", 20, 20, kAlignNear, kAlignNear, 0, 0);
    auto b = f.AddLeaf("b", 20, 20, kAlignNear, kAlignNear, 30, 0);
    f.Layout();
    EXPECT_EQ(f.manager.OnMouseMove(POINT{5, 5}, 0), 1);
    f.log.clear();
    EXPECT_EQ(f.manager.OnMouseMove(POINT{33, 4}, MK_SHIFT), 1);
    EXPECT_EQ(f.log, (Log{"a leave 3,4", "b enter 3,4", "b move 3,4"}));
    f.log.clear();
    EXPECT_EQ(f.manager.OnMouseMove(POINT{150, 80}, 0), 0) << "empty space: the mode gets the move";
    EXPECT_EQ(f.log, (Log{"b leave 150,80"}));
    EXPECT_EQ(f.manager.GetHotControl(), nullptr);

    f.manager.OnMouseMove(POINT{5, 5}, 0);
    f.log.clear();
    f.manager.OnMouseLeaveView();
    EXPECT_EQ(f.log, (Log{"a leave 0,0"}));
    f.manager.OnMouseMove(POINT{5, 6}, 0);
    f.log.clear();
    f.manager.OnKillFocus(nullptr);
    EXPECT_EQ(f.log, (Log{"a leave 0,0"}));
    EXPECT_EQ(f.manager.GetHotControl(), nullptr);
}

TEST(ScreenObjectManager, TopmostChildWinsAndHiddenOrDisabledOnesAreSkipped)
{
    Fixture f;
    auto below = f.AddLeaf("below", 50, 50, kAlignNear, kAlignNear);
    auto above = f.AddLeaf("above", 50, 50, kAlignNear, kAlignNear);
    f.Layout();
    f.manager.OnRButtonDown(POINT{1, 1}, 0);
    EXPECT_EQ(f.log.back(), "above rdown 1,1");
    above->SetInputEnabled(0);
    f.manager.OnRButtonDown(POINT{1, 1}, 0);
    EXPECT_EQ(f.log.back(), "below rdown 1,1");
    above->SetInputEnabled(1);
    above->SetVisible(0);
    f.Layout();
    f.manager.OnRButtonDown(POINT{2, 2}, 0);
    EXPECT_EQ(f.log.back(), "below rdown 2,2");
}

TEST(ScreenObjectManager, GlLayersDrawHighestFirstAndHitLowestFirst)
{
    Fixture f;
    auto five = Make<GLBox>("five", RECT{0, 0, 50, 50}, &f.log);
    auto three = Make<GLBox>("three", RECT{10, 10, 60, 60}, &f.log);
    f.manager.AddGLObject(three.Get(), 3, 1);
    f.manager.AddGLObject(five.Get(), 5, 1);
    f.manager.DrawGL();
    EXPECT_EQ(f.log, (Log{"five draw", "three draw"}));
    f.log.clear();
    f.manager.OnLButtonDown(POINT{20, 20}, 0);
    EXPECT_EQ(f.log.back(), "three down 10,10");

    // Same layer, not after equals: the newcomer goes first, below.
    auto second = Make<GLBox>("second", RECT{0, 0, 50, 50}, &f.log);
    f.manager.AddGLObject(second.Get(), 5, 0);
    auto after = Make<GLBox>("after", RECT{0, 0, 5, 5}, &f.log);
    f.manager.InsertGLObjectById(after.Get(), second.Get());
    f.manager.InsertGLObjectById(Make<GLBox>("lost", RECT{}, &f.log).Get(), nullptr);
    f.log.clear();
    f.manager.DrawGL();
    EXPECT_EQ(f.log, (Log{"second draw", "after draw", "five draw", "three draw"}));
    f.log.clear();
    f.manager.OnLButtonDown(POINT{1, 1}, 0);
    EXPECT_EQ(f.log.back(), "five down 1,1") << "of equal layers the later entry is on top";

    f.manager.ForgetControl(five.Get());
    EXPECT_EQ(five->GetRefCount(), 1u) << "forgotten: neither listed nor hot";
    f.log.clear();
    f.manager.OnKillFocus(nullptr);
    EXPECT_EQ(f.log, (Log{"second kill-focus", "after kill-focus", "three kill-focus"}));
}

TEST(ScreenObjectManager, KeysGoToTheFocusControlWhichForgettingReleases)
{
    Fixture f;
    EXPECT_EQ(f.manager.OnKeyDown(65, 1, 0), 0) << "no focus control";
    auto leaf = f.AddLeaf("edit", 10, 10, kAlignNear, kAlignNear);
    f.manager.SetFocusForTest(leaf.Get());
    EXPECT_EQ(f.manager.OnKeyDown(65, 1, 0), 1);
    EXPECT_EQ(f.manager.OnSysKeyUp(18, 1, 0), 1);
    EXPECT_EQ(f.log, (Log{"edit key65 0,0", "edit key18 0,0"}));
    f.log.clear();
    EXPECT_EQ(f.manager.ForgetGDIControl(leaf.Get()), 0);
    EXPECT_EQ(f.log, (Log{"edit focus-released 0,0"}));
    EXPECT_EQ(f.manager.OnKeyUp(65, 1, 0), 0);
    EXPECT_EQ(f.manager.OnKeyMessageEx(1, 2), 0);
}

TEST(ScreenObjectManager, ForgettingThroughTheInputInterfaceFindsTheSameControl)
{
    Fixture f;
    auto leaf = f.AddLeaf("a", 10, 10, kAlignNear, kAlignNear);
    f.Layout();
    f.manager.OnMouseMove(POINT{1, 1}, 0);
    IScreenControl<TestView>* input = f.manager.GetHotControl();
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->GetGDIControl(), static_cast<IScreenControl_GDI<TestView>*>(leaf.Get()));
    f.log.clear();
    EXPECT_EQ(f.manager.ForgetGDIControl(input->GetGDIControl()), 0);
    EXPECT_TRUE(f.log.empty()) << "forgetting the hot control sends no leave";
    EXPECT_EQ(f.manager.GetHotControl(), nullptr);
    EXPECT_EQ(leaf->GetRefCount(), 1u);
}

TEST(ScreenObjectManager, AControlForgettingItselfInItsHandlerIsFreedAfterIt)
{
    Fixture f;
    bool destroyed = false;
    {
        auto leaf = f.AddLeaf("close", 10, 10, kAlignNear, kAlignNear);
        leaf->destroyed = &destroyed;
        Leaf* raw = leaf.Get();
        leaf->onPress = [&f, raw] { f.manager.ForgetGDIControl(raw); };
    }
    f.Layout();
    EXPECT_EQ(f.manager.OnLButtonDown(POINT{2, 2}, 0), 1);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(f.manager.GetHotControl(), nullptr);
    EXPECT_EQ(f.manager.OnLButtonDown(POINT{2, 2}, 0), 0);
}

TEST(ScreenObjectManager, TheManagerGivesBackTheHotControlWhenItGoes)
{
    TestView view;
    Log log;
    auto leaf = Make<Leaf>("a", 10, 10, &log);
    {
        Manager manager(&view);
        manager.OnResize(50, 50);
        manager.AddGDIControl(leaf.Get());
        const SIZE size{50, 50};
        manager.GetRoot()->Arrange(nullptr, &size, &view);
        manager.OnMouseMove(POINT{25, 25}, 0);
        EXPECT_EQ(leaf->GetRefCount(), 3u);
    }
    EXPECT_EQ(leaf->GetRefCount(), 1u);
    EXPECT_EQ(leaf->GetParent(), nullptr);
}

TEST(ScreenObjectManager, WheelCursorAndContextMenuReachTheControlUnderThePoint)
{
    Fixture f;
    auto leaf = f.AddLeaf("a", 20, 20, kAlignNear, kAlignNear, 40, 30);
    leaf->SetCursorId(0x80007F00u);
    leaf->menuId = 123;
    f.Layout();
    EXPECT_EQ(f.manager.GetCursorId(1, WM_MOUSEMOVE), 0u);
    EXPECT_EQ(f.manager.OnMouseWheel(0, -120, POINT{45, 33}), 1);
    EXPECT_EQ(f.log.back(), "a wheel-120 5,3");
    EXPECT_EQ(f.manager.GetCursorId(1, WM_MOUSEMOVE), 0x80007F00u);

    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"VtlOverlayMenuTest";
    RegisterClassW(&wc);
    f.view.window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 100, 50, 200, 100, nullptr,
                                    nullptr, nullptr, nullptr);
    ASSERT_NE(f.view.window, nullptr);
    POINT screen{45, 33};
    ClientToScreen(f.view.window, &screen);
    UINT menu = 99;
    CWnd* target = reinterpret_cast<CWnd*>(1);
    EXPECT_EQ(f.manager.OnContextMenu(&menu, &target, screen), 1);
    EXPECT_EQ(menu, 123u);
    EXPECT_EQ(target, nullptr);
    menu = 99;
    EXPECT_EQ(f.manager.OnContextMenu(&menu, &target, POINT{screen.x + 100, screen.y}), 0);
    EXPECT_EQ(menu, 0u);
    DestroyWindow(f.view.window);
}
