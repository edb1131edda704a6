#include "platform/win32/win32.h"
#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

namespace
{

// A memory context over a fresh w x h bitmap filled with the colour.
struct Canvas
{
    Canvas(int w, int h, COLORREF fill)
    {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, w, h);
        old = SelectObject(dc, bitmap);
        HBRUSH brush = CreateSolidBrush(fill);
        const RECT all{0, 0, w, h};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
};

// An icon of w x h: opaque red on the left half, transparent on the right.
HICON HalfIcon(int w, int h, int maskWidth, int maskHeight)
{
    Canvas colour(w, h, RGB(255, 0, 0));
    Canvas mask(maskWidth, maskHeight, RGB(0, 0, 0));
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    const RECT right{w / 2, 0, maskWidth, maskHeight}, clear{w / 2, 0, w, h};
    FillRect(mask.dc, &right, white);
    // Black under the mask, so that the background shows unchanged there.
    FillRect(colour.dc, &clear, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SelectObject(colour.dc, colour.old);
    SelectObject(mask.dc, mask.old);
    ICONINFO info{TRUE, 99, 99, mask.bitmap, colour.bitmap};
    HICON icon = CreateIconIndirect(&info);
    SelectObject(colour.dc, colour.bitmap);
    SelectObject(mask.dc, mask.bitmap);
    return icon;
}

} // namespace

TEST(Icons, MadeTakenApartDrawnAndDestroyed)
{
    const std::size_t before = win32::LiveIconCount();
    HICON icon = HalfIcon(8, 8, 8, 8);
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    EXPECT_EQ(info.xHotspot, 4u) << "an icon's hot spot is its centre";
    EXPECT_EQ(info.yHotspot, 4u);
    BITMAP bm{};
    GetObjectW(info.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 8);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);

    Canvas target(10, 10, RGB(0, 0, 255));
    ASSERT_TRUE(DrawIconEx(target.dc, 1, 1, icon, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(GetPixel(target.dc, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(target.dc, 7, 1), RGB(0, 0, 255)) << "the masked half shows the background";
    ASSERT_TRUE(DrawIconEx(target.dc, 0, 0, icon, 4, 4, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(GetPixel(target.dc, 1, 0), RGB(255, 0, 0)) << "scaled to half";
    EXPECT_EQ(GetPixel(target.dc, 3, 0), RGB(0, 0, 255));

    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon)) << "a handle is never valid twice";
    EXPECT_FALSE(DrawIconEx(target.dc, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_FALSE(GetIconInfo(icon, &info));
    EXPECT_EQ(win32::LiveIconCount(), before);

    ICONINFO noMask{TRUE, 0, 0, nullptr, nullptr};
    EXPECT_EQ(CreateIconIndirect(&noMask), nullptr);
    EXPECT_EQ(CreateIconIndirect(nullptr), nullptr);
}

TEST(Icons, ASmallerMaskIsNeverReadPastItsEnd)
{
    HICON icon = HalfIcon(16, 16, 3, 2);
    ASSERT_NE(icon, nullptr);
    Canvas target(16, 16, RGB(0, 0, 255));
    DrawIconEx(target.dc, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
    EXPECT_EQ(GetPixel(target.dc, 15, 15), RGB(0, 0, 0)) << "beyond the mask the icon is opaque";
    EXPECT_EQ(GetPixel(target.dc, 1, 15), RGB(255, 0, 0));
    DestroyIcon(icon);
}

TEST(Icons, ResourceIconsLoadAsFreshCopies)
{
    const HINSTANCE module = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x5000));
    win32::IconImage image;
    image.width = 2;
    image.height = 1;
    image.colours = {0x00112233u}; // short: the rest is filled in transparent
    image.transparent = {false};
    win32::RegisterIconResource(module, 7, image);
    HICON a = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(7), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    HICON b = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(7), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    ASSERT_NE(a, nullptr);
    EXPECT_NE(a, b);
    Canvas target(2, 1, RGB(9, 9, 9));
    DrawIcon(target.dc, 0, 0, a);
    EXPECT_EQ(GetPixel(target.dc, 0, 0), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(GetPixel(target.dc, 1, 0), RGB(9, 9, 9));
    DestroyIcon(a);
    DestroyIcon(b);
    EXPECT_EQ(LoadImageW(module, MAKEINTRESOURCEW(8), IMAGE_ICON, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(LoadImageW(module, MAKEINTRESOURCEW(7), IMAGE_BITMAP, 0, 0, 0), nullptr);
}

TEST(Icons, DisabledStateEmbossesTheInkOnly)
{
    HICON icon = HalfIcon(4, 4, 4, 4);
    Canvas target(8, 8, RGB(0, 0, 255));
    ASSERT_TRUE(DrawStateW(target.dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, 2, 2, 0, 0,
                           DST_ICON | DSS_DISABLED));
    EXPECT_EQ(GetPixel(target.dc, 2, 2), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetPixel(target.dc, 4, 3), GetSysColor(COLOR_BTNHIGHLIGHT)) << "one pixel right of the ink";
    EXPECT_EQ(GetPixel(target.dc, 5, 2), RGB(0, 0, 255)) << "transparent pixels stay";
    DestroyIcon(icon);

    // A bitmap's ink is every pixel unlike the background colour.
    Canvas image(3, 1, RGB(255, 255, 255));
    SetPixel(image.dc, 0, 0, RGB(10, 10, 10));
    SelectObject(image.dc, image.old);
    Canvas plain(5, 3, RGB(0, 0, 255));
    SetBkColor(plain.dc, RGB(255, 255, 255));
    ASSERT_TRUE(DrawStateW(plain.dc, nullptr, nullptr, reinterpret_cast<LPARAM>(image.bitmap), 0, 0, 0, 0, 0,
                           DST_BITMAP | DSS_DISABLED));
    EXPECT_EQ(GetPixel(plain.dc, 0, 0), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetPixel(plain.dc, 1, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(GetPixel(plain.dc, 2, 0), RGB(0, 0, 255));
    ASSERT_TRUE(DrawStateW(plain.dc, nullptr, nullptr, reinterpret_cast<LPARAM>(image.bitmap), 0, 0, 2, 0, 0,
                           DST_BITMAP));
    EXPECT_EQ(GetPixel(plain.dc, 2, 2), RGB(255, 255, 255));
    SelectObject(image.dc, image.bitmap);
    EXPECT_FALSE(DrawStateW(plain.dc, nullptr, nullptr, 0, 0, 0, 0, 0, 0, DST_ICON));
}

TEST(Icons, RoundRectCutsItsCornersAndStaysInsideTheSurface)
{
    Canvas c(20, 12, RGB(255, 255, 255));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, 200, 0));
    HGDIOBJ oldPen = SelectObject(c.dc, pen), oldBrush = SelectObject(c.dc, brush);
    ASSERT_TRUE(RoundRect(c.dc, 0, 0, 20, 12, 8, 8));
    EXPECT_EQ(GetPixel(c.dc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(c.dc, 10, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(c.dc, 19, 6), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(c.dc, 10, 6), RGB(0, 200, 0));
    EXPECT_EQ(GetPixel(c.dc, 1, 1), RGB(0, 0, 0)) << "the arc runs through the corner";
    EXPECT_EQ(GetPixel(c.dc, 2, 1), RGB(0, 200, 0));
    // Huge and inverted extents clip without walking the whole rectangle.
    EXPECT_TRUE(RoundRect(c.dc, 2000000000, 2000000000, -2000000000, -2000000000, 1 << 30, -(1 << 30)));
    SelectObject(c.dc, oldPen);
    SelectObject(c.dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

TEST(ShellAndSound, RequestsAreRecordedAndNothingRuns)
{
    win32::ClearShellRequests();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.lpVerb = L"open";
    info.lpFile = L"https://example.invalid/";
    info.nShow = SW_SHOWMAXIMIZED;
    ASSERT_TRUE(ShellExecuteExW(&info));
    EXPECT_GT(reinterpret_cast<ULONG_PTR>(info.hInstApp), 32u);
    SHELLEXECUTEINFOW bad{};
    bad.cbSize = sizeof bad;
    EXPECT_FALSE(ShellExecuteExW(&bad)) << "no file";
    bad.cbSize = 3;
    bad.lpFile = L"x";
    EXPECT_FALSE(ShellExecuteExW(&bad)) << "a wrong size";
    ASSERT_EQ(win32::ShellRequests().size(), 1u);
    EXPECT_EQ(win32::ShellRequests()[0].file, L"https://example.invalid/");

    win32::ClearPlayedSounds();
    PlaySoundW(L"click.wav", nullptr, SND_FILENAME | SND_ASYNC);
    PlaySoundW(nullptr, nullptr, 0);
    const auto played = win32::PlayedSounds();
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[0].name, L"click.wav");
    EXPECT_TRUE(played[1].stop);
}
