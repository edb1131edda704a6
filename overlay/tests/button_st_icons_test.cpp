#include "overlay/button_st.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

namespace
{

std::uint32_t Argb(COLORREF c) { return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

constexpr COLORREF kFace = RGB(200, 200, 255);
constexpr COLORREF kInk = RGB(100, 200, 50);

// A bitmap of size x size filled with outside, its inner square (border
// pixels in) with inside.
HBITMAP Square(int size, int border, COLORREF outside, COLORREF inside)
{
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(memory, size, size);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH a = CreateSolidBrush(outside), b = CreateSolidBrush(inside);
    const RECT all{0, 0, size, size}, middle{border, border, size - border, size - border};
    FillRect(memory, &all, a);
    FillRect(memory, &middle, b);
    DeleteObject(a);
    DeleteObject(b);
    SelectObject(memory, old);
    DeleteDC(memory);
    return bitmap;
}

// A 16 x 16 icon: a 2-pixel transparent rim around a square of the colour.
HICON MakeIcon(COLORREF colour, int size = 16)
{
    HBITMAP image = Square(size, 2, RGB(0, 0, 0), colour);
    HBITMAP mask = Square(size, 2, RGB(255, 255, 255), RGB(0, 0, 0));
    ICONINFO info{TRUE, 0, 0, mask, image};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(image);
    DeleteObject(mask);
    return icon;
}

// A parent window with one owner-drawn button (80 x 30 at (10, 10)).
struct ButtonWindow
{
    explicit ButtonWindow(CButtonST& button, DWORD style = 0, const wchar_t* caption = L"")
    {
        parent.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, 0, 0, 120, 60, nullptr, nullptr);
        ok = button.Create(caption, WS_CHILD | WS_VISIBLE | style, RECT{10, 10, 90, 40}, &parent, 1001) != 0;
        button.SetColour(kColourBackRest, kFace);
        button.SetColour(kColourBackHot, kFace);
        button.SetColour(kColourBackFocus, kFace);
    }
    ~ButtonWindow() { parent.DestroyWindow(); }
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

void Hover(CButtonST& button) { button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5)); }

} // namespace

// The icon is centred in the 80 x 30 button at (32, 7); its colour square
// covers (34..45, 9..20).
TEST(ButtonSTIcons, GreyCopyAtRestOriginalOnHoverShiftedWhenPressedEmbossedWhenDisabled)
{
    const std::size_t icons = win32::LiveIconCount();
    {
        CButtonST button;
        ButtonWindow w(button);
        ASSERT_TRUE(w.ok);
        ASSERT_EQ(button.SetIcon(MakeIcon(kInk), kButtonIconGrey), 0u);
        EXPECT_EQ(win32::LiveIconCount(), icons + 2) << "the icon and its grey copy";

        EXPECT_EQ(w.Pixel(button, 40, 15), Argb(RGB(176, 176, 176))) << "at rest: the grey copy";
        EXPECT_EQ(w.Pixel(button, 33, 8), Argb(kFace)) << "the transparent rim shows the face";
        Hover(button);
        EXPECT_EQ(w.Pixel(button, 40, 15), Argb(kInk)) << "hovered: the icon itself";
        win32::WriteSnapshotIfRequested(w.parent.GetSafeHwnd(), "button_st_icon_hover");

        button.SendMessage(BM_SETSTATE, TRUE);
        EXPECT_EQ(w.Pixel(button, 46, 21), Argb(kInk)) << "pressed: moved one pixel right and down";
        EXPECT_EQ(w.Pixel(button, 34, 9), Argb(kFace));
        win32::WriteSnapshotIfRequested(w.parent.GetSafeHwnd(), "button_st_icon_pressed");
        button.SendMessage(BM_SETSTATE, FALSE);

        button.EnableWindow(FALSE);
        EXPECT_EQ(w.Pixel(button, 34, 9), Argb(GetSysColor(COLOR_BTNSHADOW))) << "disabled: embossed";
        EXPECT_EQ(w.Pixel(button, 46, 21), Argb(GetSysColor(COLOR_BTNHIGHLIGHT)));
        EXPECT_EQ(w.Pixel(button, 33, 8), Argb(kFace));
        win32::WriteSnapshotIfRequested(w.parent.GetSafeHwnd(), "button_st_icon_disabled");

        // Reloading frees the old pair before the new one is drawn.
        ASSERT_EQ(button.SetIcon(MakeIcon(RGB(0, 0, 255)), kButtonIconDarkened), 0u);
        EXPECT_EQ(win32::LiveIconCount(), icons + 2);
        button.EnableWindow(TRUE);
        EXPECT_EQ(w.Pixel(button, 40, 15), Argb(RGB(0, 0, 191))) << "at rest: darkened to 75 %";
    }
    EXPECT_EQ(win32::LiveIconCount(), icons) << "a destroyed button frees its icons";
}

TEST(ButtonSTIcons, FocusRectangleOnASolidButtonAndTheCaptionMovesAside)
{
    CButtonST button;
    ButtonWindow w(button, 0, L"Go");
    ASSERT_TRUE(w.ok);
    button.SetFlat(false);
    ASSERT_EQ(button.SetIcon(MakeIcon(kInk)), 0u);
    button.SetFocus();
    // Image left of the caption at the margin (3), vertically centred (7).
    EXPECT_EQ(w.Pixel(button, 5 + 3, 15), Argb(kInk));
    int dotted = 0;
    for (int x = 4; x < 76; ++x)
        dotted += w.Pixel(button, x, 3) != Argb(kFace);
    EXPECT_GT(dotted, 20) << "the focus rectangle 3 pixels in";
    win32::WriteSnapshotIfRequested(w.parent.GetSafeHwnd(), "button_st_icon_focus");
}

TEST(ButtonSTIcons, CheckBoxShowsTheSecondIconUncheckedWhateverTheHover)
{
    CButtonST check;
    ButtonWindow w(check, BS_AUTOCHECKBOX);
    ASSERT_TRUE(w.ok);
    ASSERT_EQ(check.SetIcon(MakeIcon(RGB(255, 0, 0)), MakeIcon(RGB(0, 0, 255))), 0u);
    EXPECT_EQ(w.Pixel(check, 40, 15), 0xFF0000FFu);
    Hover(check);
    EXPECT_EQ(w.Pixel(check, 40, 15), 0xFF0000FFu) << "hover does not matter for a check box";
    check.SendMessage(BM_SETCHECK, 1);
    EXPECT_EQ(w.Pixel(check, 40, 15), 0xFFFF0000u) << "checked: the first icon";
}

TEST(ButtonSTIcons, HotSpotsPastTheCentreAndUnreadableIconsAreRefused)
{
    // A cursor-style icon whose hot spot lies near its corner: twice the hot
    // spot would reach far outside the 8 x 8 image.
    HBITMAP image = Square(8, 0, RGB(0, 0, 0), RGB(10, 20, 30));
    HBITMAP mask = Square(8, 0, RGB(0, 0, 0), RGB(0, 0, 0));
    ICONINFO info{FALSE, 7, 6, mask, image};
    HICON cursorLike = CreateIconIndirect(&info);
    DeleteObject(image);
    DeleteObject(mask);
    ASSERT_NE(cursorLike, nullptr);
    const SIZE size = ButtonIconSize(cursorLike);
    EXPECT_EQ(size.cx, 8);
    EXPECT_EQ(size.cy, 8);
    HICON grey = CreateButtonIconCopy(cursorLike, true);
    ASSERT_NE(grey, nullptr) << "the copy reads the image only";
    ICONINFO copied{};
    ASSERT_TRUE(GetIconInfo(grey, &copied));
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, copied.hbmColor);
    EXPECT_EQ(GetPixel(memory, 7, 7), GreyIconPixel(RGB(10, 20, 30)));
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(copied.hbmColor);
    DeleteObject(copied.hbmMask);
    DestroyIcon(grey);

    const std::size_t icons = win32::LiveIconCount();
    CButtonST button;
    ButtonWindow w(button);
    ASSERT_TRUE(w.ok);
    HICON gone = MakeIcon(kInk);
    DestroyIcon(gone);
    EXPECT_EQ(button.SetIcon(cursorLike, gone), 1u) << "an unreadable second icon";
    EXPECT_EQ(win32::LiveIconCount(), icons - 1) << "all images are freed, the first with them";
    EXPECT_EQ(w.Pixel(button, 40, 15), Argb(kFace)) << "nothing is drawn";
    EXPECT_EQ(button.SetIcon(nullptr), 0u);
}

TEST(ButtonSTIcons, MonochromeIconsAndResourceIconsLoad)
{
    // Mask of twice the height: top half the mask, bottom half the image.
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP both = CreateCompatibleBitmap(memory, 4, 8);
    HGDIOBJ old = SelectObject(memory, both);
    const RECT top{0, 0, 4, 4}, bottom{0, 4, 4, 8};
    FillRect(memory, &top, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    FillRect(memory, &bottom, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SelectObject(memory, old);
    DeleteDC(memory);
    ICONINFO info{TRUE, 0, 0, both, nullptr};
    HICON mono = CreateIconIndirect(&info);
    DeleteObject(both);
    ASSERT_NE(mono, nullptr);
    HICON copy = CreateButtonIconCopy(mono, false);
    ASSERT_NE(copy, nullptr) << "black and white icons copy as they are";
    EXPECT_EQ(ButtonIconSize(copy).cx, 4);
    DestroyIcon(copy);
    DestroyIcon(mono);

    win32::IconImage resource;
    resource.width = resource.height = 16;
    resource.colours.assign(256, 0x0000FF00u);
    resource.transparent.assign(256, false);
    win32::RegisterIconResource(AfxGetResourceHandle(), 4242, resource);
    CButtonST button;
    ButtonWindow w(button);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(button.SetIconFromResource(4242), 0u);
    EXPECT_EQ(w.Pixel(button, 32, 7), 0xFF00FF00u);
    EXPECT_EQ(button.SetIconFromResource(4243), 0u) << "an unknown resource leaves the button without icon";
    EXPECT_EQ(w.Pixel(button, 32, 7), Argb(kFace));
}

TEST(ButtonSTIcons, RoundedOutlineLeavesTheCornersToTheFace)
{
    CWinXPButtonST rounded;
    ButtonWindow w(rounded);
    ASSERT_TRUE(w.ok);
    rounded.SetRounded(true);
    Hover(rounded);
    EXPECT_EQ(w.Pixel(rounded, 40, 0), 0xFF000000u) << "black outline while hovered";
    EXPECT_NE(w.Pixel(rounded, 0, 0), 0xFF000000u) << "the corner is cut";
    EXPECT_EQ(w.Pixel(rounded, 0, 15), 0xFF000000u);
    win32::WriteSnapshotIfRequested(w.parent.GetSafeHwnd(), "button_xp_rounded_hover");
    rounded.SetRounded(false);
    EXPECT_EQ(w.Pixel(rounded, 0, 0), 0xFF000000u);
}
