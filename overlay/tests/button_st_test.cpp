#include "overlay/button_st.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

namespace
{

void ExpectRect(const RECT& r, LONG l, LONG t, LONG rr, LONG b)
{
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rr);
    EXPECT_EQ(r.bottom, b);
}

std::uint32_t Argb(COLORREF c) { return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

// A parent window and one owner-drawn button in it.
struct ButtonWindow
{
    explicit ButtonWindow(CButtonST& button, DWORD style, const wchar_t* caption = L"Fit")
    {
        parent.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, 0, 0, 120, 60, nullptr, nullptr);
        ok = button.Create(caption, WS_CHILD | WS_VISIBLE | style, RECT{10, 10, 90, 40}, &parent, 1001) != 0;
    }
    ~ButtonWindow() { parent.DestroyWindow(); }
    // The button's pixel at (x, y) of its own client area after a repaint.
    std::uint32_t Pixel(CButtonST& button, int x, int y)
    {
        button.Invalidate(TRUE);
        button.UpdateWindow();
        const win32::ClientImage image = win32::ComposeWindowImage(parent.GetSafeHwnd());
        return image.pixels[static_cast<std::size_t>(10 + y) * image.width + 10 + x];
    }
    CWnd parent;
    bool ok = false;
};

} // namespace

TEST(ButtonST, IconCopiesKeepBlackAndFollowTheirRules)
{
    EXPECT_EQ(GreyIconPixel(RGB(100, 200, 50)), RGB(176, 176, 176));
    EXPECT_EQ(GreyIconPixel(RGB(255, 255, 255)), RGB(255, 255, 255)) << "limited to 255";
    EXPECT_EQ(GreyIconPixel(RGB(0, 0, 0)), RGB(0, 0, 0));
    EXPECT_EQ(DarkenIconPixel(RGB(100, 201, 3)), RGB(75, 150, 2));
    EXPECT_EQ(DarkenIconPixel(RGB(0, 0, 0)), RGB(0, 0, 0));
    EXPECT_EQ(DarkenIconPixel(RGB(100, 200, 50), 1.5), RGB(100, 200, 50)) << "factors outside (0, 1] change nothing";
}

TEST(ButtonST, ImagesSitBesideAboveOrRightOfTheCaption)
{
    const RECT item{0, 0, 100, 40};
    const POINT margin{3, 3};
    auto left = PlaceButtonImage(item, item, SIZE{16, 16}, 0, true, margin, 100);
    ExpectRect(left.image, 3, 12, 19, 28);
    EXPECT_EQ(left.caption.left, 19);
    auto centred = PlaceButtonImage(item, item, SIZE{16, 16}, 0, false, margin, 100);
    EXPECT_EQ(centred.image.left, 42);
    auto above = PlaceButtonImage(item, item, SIZE{16, 16}, 1, true, margin, 100);
    ExpectRect(above.image, 42, 3, 58, 19);
    EXPECT_EQ(above.caption.top, 16);
    auto right = PlaceButtonImage(item, item, SIZE{16, 16}, 2, true, margin, 100);
    EXPECT_EQ(right.image.left, 100 - 3 - 16);
    EXPECT_EQ(right.caption.left, 3);
    EXPECT_EQ(right.caption.right, 100 - (3 + 0 + 16));

    EXPECT_EQ(ButtonImageIndex(true, false, false, false), 1);
    EXPECT_EQ(ButtonImageIndex(true, false, false, true), 0);
    EXPECT_EQ(ButtonImageIndex(true, true, false, true), 1) << "hover does not matter for a check box";
    EXPECT_EQ(ButtonImageIndex(true, true, true, false), 0);
    EXPECT_EQ(ButtonImageIndex(false, true, false, false), 0) << "one image serves both states";
}

TEST(ButtonST, SubclassingMakesItOwnerDrawnAndReadsDefaultAndCheckBox)
{
    CButtonST push;
    ButtonWindow w(push, BS_DEFPUSHBUTTON);
    ASSERT_TRUE(w.ok);
    EXPECT_TRUE(push.IsDefault());
    EXPECT_FALSE(push.IsCheckBox());
    EXPECT_EQ(push.GetStyle() & 0x1F, BS_OWNERDRAW);
    EXPECT_EQ(push.SendMessage(WM_GETDLGCODE) & DLGC_DEFPUSHBUTTON, DLGC_DEFPUSHBUTTON);
    push.SendMessage(BM_SETSTYLE, 0, 0);
    EXPECT_FALSE(push.IsDefault());

    CButtonST check;
    ButtonWindow c(check, BS_AUTOCHECKBOX);
    ASSERT_TRUE(c.ok);
    EXPECT_TRUE(check.IsCheckBox());
    check.SendMessage(BM_SETCHECK, 2);
    EXPECT_EQ(check.SendMessage(BM_GETCHECK), 1);
    check.SendMessage(BM_SETCHECK, 7);
    EXPECT_EQ(check.SendMessage(BM_GETCHECK), 0);
    check.GetParent()->SendMessage(WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(check.GetSafeHwnd()));
    EXPECT_EQ(check.GetChecked(), 1) << "a click toggles a check box";

    MSG doubleClick{};
    doubleClick.hwnd = push.GetSafeHwnd();
    doubleClick.message = WM_LBUTTONDBLCLK;
    static_cast<CWnd&>(push).PreTranslateMessage(&doubleClick);
    EXPECT_EQ(doubleClick.message, WM_LBUTTONDOWN) << "a double click is a second press";
    push.SetColour(kColourBackRest, RGB(1, 2, 3));
    push.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(push.GetColour(kColourBackRest), GetSysColor(COLOR_BTNFACE));
}

TEST(ButtonST, FacesFollowFlatHoverAndDefault)
{
    CButtonST flat;
    ButtonWindow w(flat, 0);
    ASSERT_TRUE(w.ok);
    flat.SetColour(kColourBackRest, RGB(200, 10, 10));
    flat.SetColour(kColourBackHot, RGB(10, 200, 10));
    EXPECT_EQ(w.Pixel(flat, 0, 0), Argb(RGB(200, 10, 10))) << "flat at rest: no border";
    flat.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(flat.IsHovered());
    EXPECT_EQ(w.Pixel(flat, 0, 0), Argb(GetSysColor(COLOR_BTNHIGHLIGHT))) << "raised rim on hover";
    EXPECT_EQ(w.Pixel(flat, 79, 29), Argb(GetSysColor(COLOR_BTNSHADOW)));
    EXPECT_EQ(w.Pixel(flat, 5, 3), Argb(RGB(10, 200, 10)));
    flat.SendMessage(WM_MOUSELEAVE);
    EXPECT_FALSE(flat.IsHovered());
    win32::WriteSnapshotIfRequested(w.parent.GetSafeHwnd(), "button_st_flat");

    CButtonST solid;
    ButtonWindow s(solid, BS_DEFPUSHBUTTON);
    ASSERT_TRUE(s.ok);
    solid.SetFlat(false);
    solid.SetColour(kColourBackRest, RGB(10, 10, 200));
    EXPECT_EQ(s.Pixel(solid, 0, 0), 0xFF000000u) << "the default button's black frame";
    EXPECT_EQ(s.Pixel(solid, 1, 1), Argb(GetSysColor(COLOR_BTNHIGHLIGHT)));
    EXPECT_EQ(s.Pixel(solid, 40, 15), Argb(RGB(10, 10, 200)));
    win32::WriteSnapshotIfRequested(s.parent.GetSafeHwnd(), "button_st_default");
}

TEST(ButtonST, ADisabledCaptionIsEngraved)
{
    CButtonST button;
    ButtonWindow w(button, 0, L"Refit");
    ASSERT_TRUE(w.ok);
    button.SetColour(kColourBackRest, RGB(255, 255, 255));
    button.EnableWindow(FALSE);
    w.Pixel(button, 0, 0);
    const win32::ClientImage image = win32::ComposeWindowImage(w.parent.GetSafeHwnd());
    int shadow = 0, highlight = 0;
    for (std::uint32_t p : image.pixels)
    {
        shadow += p == Argb(GetSysColor(COLOR_BTNSHADOW));
        highlight += p == Argb(GetSysColor(COLOR_BTNHIGHLIGHT));
    }
    EXPECT_GT(shadow, 10);
    EXPECT_GT(highlight, 0) << "the highlight copy shows below and right of the shadow one";
    win32::WriteSnapshotIfRequested(w.parent.GetSafeHwnd(), "button_st_disabled");
}

TEST(ButtonST, MaskedBitmapsShowTheFaceAroundThemAndEmbossWhenDisabled)
{
    CButtonST button;
    ButtonWindow w(button, 0, L"");
    ASSERT_TRUE(w.ok);
    button.SetColour(kColourBackRest, RGB(200, 200, 200));
    HDC memory = CreateCompatibleDC(nullptr);
    auto make = [memory](COLORREF outside, COLORREF inside) {
        HBITMAP bitmap = CreateCompatibleBitmap(memory, 8, 8);
        HGDIOBJ old = SelectObject(memory, bitmap);
        HBRUSH a = CreateSolidBrush(outside), b = CreateSolidBrush(inside);
        const RECT all{0, 0, 8, 8}, middle{2, 2, 6, 6};
        FillRect(memory, &all, a);
        FillRect(memory, &middle, b);
        DeleteObject(a);
        DeleteObject(b);
        SelectObject(memory, old);
        return bitmap;
    };
    button.SetBitmaps(make(RGB(0, 0, 0), RGB(255, 0, 0)), make(RGB(255, 255, 255), RGB(0, 0, 0)), nullptr, nullptr);
    DeleteDC(memory);
    // No caption: centred in the 80 x 30 button at (36, 11).
    EXPECT_EQ(w.Pixel(button, 38, 13), 0xFFFF0000u);
    EXPECT_EQ(w.Pixel(button, 36, 11), Argb(RGB(200, 200, 200))) << "the face shows through the mask";
    button.EnableWindow(FALSE);
    EXPECT_EQ(w.Pixel(button, 38, 13), Argb(GetSysColor(COLOR_BTNSHADOW)));
    EXPECT_EQ(w.Pixel(button, 42, 17), Argb(GetSysColor(COLOR_BTNHIGHLIGHT))) << "the highlight copy one pixel on";
    win32::WriteSnapshotIfRequested(w.parent.GetSafeHwnd(), "button_st_bitmap_disabled");
}
