#include "overlay/dialog_anchor_layout.h"

#include <gtest/gtest.h>

namespace
{

// A dialog of 200 x 100 with three children, in client coordinates.
class AnchorLayout : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"VtlAnchorTest";
        RegisterClassW(&wc);
        dialog = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 50, 40, 200, 100, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(dialog, nullptr);
        list = Child(1, 10, 10, 110, 60);
        ok = Child(2, 140, 70, 190, 90);
        label = Child(3, 10, 70, 50, 90);
    }
    void TearDown() override { DestroyWindow(dialog); }
    HWND Child(int id, int l, int t, int r, int b)
    {
        return CreateWindowExW(0, L"VtlAnchorTest", L"", WS_CHILD | WS_VISIBLE, l, t, r - l, b - t, dialog,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
    RECT ClientRectOf(HWND child)
    {
        RECT r{};
        GetWindowRect(child, &r);
        POINT a{r.left, r.top}, b{r.right, r.bottom};
        ScreenToClient(dialog, &a);
        ScreenToClient(dialog, &b);
        return RECT{a.x, a.y, b.x, b.y};
    }
    HWND dialog = nullptr, list = nullptr, ok = nullptr, label = nullptr;
};

void ExpectRect(const RECT& r, LONG l, LONG t, LONG rr, LONG b)
{
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rr);
    EXPECT_EQ(r.bottom, b);
}

} // namespace

TEST_F(AnchorLayout, EachRuleMovesItsChildAfterAResize)
{
    cDialogAnchorLayout layout;
    EXPECT_EQ(layout.SetAnchor(1, 0, 0), 0) << "before Attach";
    layout.Attach(dialog);
    ASSERT_EQ(layout.GetEntries().size(), 3u);
    EXPECT_EQ(layout.SetAnchor(2, kAnchorKeepSize | kAnchorFollowFar, kAnchorKeepSize | kAnchorFollowFar), 1);
    EXPECT_EQ(layout.SetAnchor(1, kAnchorFixNear | kAnchorFollowFar, kAnchorFixNear | kAnchorFollowFar), 1);
    EXPECT_EQ(layout.SetAnchor(99, 0, 0), 0);
    MoveWindow(dialog, 50, 40, 333, 150, TRUE);
    layout.ApplyLayout();
    ExpectRect(ClientRectOf(list), 10, 10, 243, 110);  // stretched with the dialog
    ExpectRect(ClientRectOf(ok), 273, 120, 323, 140);  // kept its size and its distance to the far edges
    // Flags 0: scaled by 333 / 200 and 150 / 100, truncated.
    ExpectRect(ClientRectOf(label), 16, 105, 83, 135);
}

TEST_F(AnchorLayout, ADestroyedChildIsForgottenAndAZeroSizedDialogKeepsPositions)
{
    cDialogAnchorLayout layout;
    layout.Attach(dialog);
    DestroyWindow(label);
    MoveWindow(dialog, 50, 40, 100, 50, TRUE);
    layout.ApplyLayout();
    EXPECT_EQ(layout.GetEntries().size(), 2u);
    ExpectRect(ClientRectOf(list), 5, 5, 55, 30);

    LONG n = 0, f = 0;
    cDialogAnchorLayout::PlaceAxis(10, 60, 0, 0, 300, &n, &f);
    EXPECT_EQ(n, 10) << "no recorded extent: nothing to scale by";
    EXPECT_EQ(f, 60);
    cDialogAnchorLayout::PlaceAxis(10, 60, kAnchorKeepSize, 100, 150, &n, &f);
    EXPECT_EQ(n, 15);
    EXPECT_EQ(f, 65) << "keep size: the width stays 50";
}
