#include "recording_window.h"

#include "platform/win32/controls.h"
#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

namespace
{

class GdiPaint : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testwin::Reset();
        window = testwin::CreateTop(0, 0, 120, 80, WS_POPUP | WS_VISIBLE);
        dc = GetDC(window);
        RECT all{0, 0, 200, 200};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    void TearDown() override
    {
        DestroyWindow(window);
        win32::PumpUntilIdle();
    }
    std::uint32_t At(int x, int y) const
    {
        const win32::ClientImage* image = win32::GetWindowClientImage(window);
        return image->pixels[static_cast<std::size_t>(y) * image->width + x] & 0x00FFFFFF;
    }
    int Count(std::uint32_t rgb, RECT r) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += At(x, y) == rgb;
        return n;
    }
    HWND window = nullptr;
    HDC dc = nullptr;
};

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kRed = 0xFF0000; // as a pixel

TEST_F(GdiPaint, FillsFramesAndLinesLeaveOutTheirFarEdges)
{
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT r{10, 10, 20, 15};
    FillRect(dc, &r, red);
    EXPECT_EQ(At(10, 10), kRed);
    EXPECT_EQ(At(19, 14), kRed);
    EXPECT_EQ(At(20, 14), kWhite);
    EXPECT_EQ(At(19, 15), kWhite);

    RECT f{30, 10, 40, 20};
    FrameRect(dc, &f, red);
    EXPECT_EQ(At(30, 10), kRed);
    EXPECT_EQ(At(39, 19), kRed);
    EXPECT_EQ(At(35, 15), kWhite);

    MoveToEx(dc, 50, 5, nullptr);
    LineTo(dc, 60, 5);
    EXPECT_EQ(At(50, 5), kBlack);
    EXPECT_EQ(At(59, 5), kBlack);
    EXPECT_EQ(At(60, 5), kWhite);
    DeleteObject(red);
}

TEST_F(GdiPaint, RectangleOutlinesWithThePenAndFillsWithTheBrush)
{
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    Rectangle(dc, 10, 10, 19, 19);
    EXPECT_EQ(At(10, 10), 0x0000FFu);
    EXPECT_EQ(At(18, 18), 0x0000FFu);
    EXPECT_EQ(At(14, 14), 0x00FF00u);
    EXPECT_EQ(At(19, 19), kWhite);
    // The previous objects come back, and deleting a selected object leaves
    // the context drawing with its own reference.
    EXPECT_EQ(SelectObject(dc, oldPen), pen);
    EXPECT_EQ(SelectObject(dc, oldBrush), brush);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));
    // Stock objects survive DeleteObject.
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));
    EXPECT_NE(win32::LookupGdiObject(GetStockObject(BLACK_PEN)), nullptr);
}

TEST_F(GdiPaint, ClipAndOriginBoundEveryDrawingCall)
{
    IntersectClipRect(dc, 10, 10, 20, 20);
    RECT all{0, 0, 120, 80};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(Count(kBlack, all), 100);
    RECT box{};
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.bottom, 20);
    SelectClipRgn(dc, nullptr);
    SetWindowOrgEx(dc, 0, 30, nullptr);
    RECT logical{0, 30, 5, 35};
    FillRect(dc, &logical, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(At(0, 0), kBlack);
    EXPECT_EQ(At(0, 30), kWhite);
    // A later GetDC starts from the defaults again.
    HDC again = GetDC(window);
    EXPECT_EQ(again, dc);
    EXPECT_EQ(GetClipBox(again, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 120);
}

TEST_F(GdiPaint, MemoryContextsCopyBackAndInvertTwiceRestores)
{
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 30, 20);
    HGDIOBJ old = SelectObject(mem, bitmap);
    RECT r{0, 0, 30, 20};
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(mem, &r, blue);
    BitBlt(dc, 50, 40, 30, 20, mem, 0, 0, SRCCOPY);
    EXPECT_EQ(At(50, 40), 0x0000FFu);
    EXPECT_EQ(At(79, 59), 0x0000FFu);
    EXPECT_EQ(At(80, 59), kWhite);
    PatBlt(dc, 0, 0, 10, 10, DSTINVERT);
    EXPECT_EQ(At(5, 5), kBlack);
    PatBlt(dc, 0, 0, 10, 10, DSTINVERT);
    EXPECT_EQ(At(5, 5), kWhite);
    // A blit from outside the source copies nothing there.
    BitBlt(dc, 0, 0, 10, 10, mem, -100, -100, SRCCOPY);
    EXPECT_EQ(At(5, 5), kWhite);
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteObject(blue);
    EXPECT_TRUE(DeleteDC(mem));
    EXPECT_FALSE(DeleteDC(dc)); // a window keeps its context
}

TEST_F(GdiPaint, SunkenEdgeUsesShadowAboveAndHighlightBelow)
{
    RECT r{10, 10, 40, 30};
    DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    auto px = [](int sys) {
        COLORREF c = GetSysColor(sys);
        return (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    };
    EXPECT_EQ(At(20, 10), px(COLOR_BTNSHADOW));
    EXPECT_EQ(At(20, 29), px(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(At(20, 11), px(COLOR_3DDKSHADOW));
    EXPECT_EQ(r.left, 12);
    EXPECT_EQ(r.bottom, 28);
}

TEST_F(GdiPaint, TextLandsInsideItsRectangleInTheTextColour)
{
    SetTextColor(dc, RGB(255, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    RECT r{10, 10, 110, 30};
    int h = DrawTextW(dc, L"Radius", -1, &r, DT_SINGLELINE | DT_VCENTER);
    EXPECT_GT(h, 8);
    EXPECT_GT(Count(kRed, r), 20);
    EXPECT_EQ(Count(kRed, RECT{0, 0, 120, 10}), 0);
    EXPECT_EQ(Count(kRed, RECT{0, 30, 120, 80}), 0);

    RECT calc{0, 0, 0, 0};
    DrawTextW(dc, L"Radius", -1, &calc, DT_SINGLELINE | DT_CALCRECT);
    RECT longer{0, 0, 0, 0};
    DrawTextW(dc, L"Radius Radius", -1, &longer, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_GT(calc.right, 10);
    EXPECT_GT(longer.right, calc.right);
    // Word breaking makes more lines in a narrow box.
    RECT narrow{0, 0, 40, 0};
    DrawTextW(dc, L"one two three four", -1, &narrow, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_GE(narrow.bottom, 3 * h);
    // '&' marks a mnemonic and is not drawn; "&&" is one ampersand.
    RECT a{0, 0, 0, 0}, b{0, 0, 0, 0};
    DrawTextW(dc, L"&OK", -1, &a, DT_SINGLELINE | DT_CALCRECT);
    DrawTextW(dc, L"OK", -1, &b, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(a.right, b.right);
    win32::WriteSnapshotIfRequested(window, "gdi_text");
}

TEST_F(GdiPaint, HostileTextAndCoordinatesNeitherCrashNorEscape)
{
    std::wstring odd = L"a\xD800" L"b";
    odd += static_cast<wchar_t>(0x110000);
    odd += L'\0';
    odd += L"%s%n\U0001F600";
    RECT r{0, 0, 120, 80};
    EXPECT_GT(DrawTextW(dc, odd.c_str(), static_cast<int>(odd.size()), &r, DT_SINGLELINE), 0);
    std::wstring huge(100000, L'W');
    EXPECT_GT(DrawTextW(dc, huge.c_str(), -1, &r, DT_WORDBREAK), 0);
    MoveToEx(dc, -2000000000, -5, nullptr);
    LineTo(dc, 2000000000, 5);
    RECT wild{-2000000000, -2000000000, 2000000000, 2000000000};
    FillRect(dc, &wild, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(At(119, 79), kBlack);
    EXPECT_EQ(SetPixel(dc, 500, 500, RGB(1, 2, 3)), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, -1, 0), CLR_INVALID);
    EXPECT_EQ(FillRect(nullptr, &r, nullptr), 0);
}

TEST_F(GdiPaint, ComposedImageShowsVisibleChildrenOverTheParent)
{
    HWND child = testwin::CreateChild(window, 5, 20, 20, 10, 10);
    HDC cdc = GetDC(child);
    RECT r{0, 0, 10, 10};
    FillRect(cdc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    win32::ClientImage composed = win32::ComposeWindowImage(window);
    auto at = [&](int x, int y) { return composed.pixels[static_cast<std::size_t>(y) * composed.width + x] & 0xFFFFFF; };
    EXPECT_EQ(at(25, 25), kBlack);
    EXPECT_EQ(at(31, 25), kWhite);
    ShowWindow(child, SW_HIDE);
    composed = win32::ComposeWindowImage(window);
    EXPECT_EQ(at(25, 25), kWhite);
}

TEST_F(GdiPaint, ComposedImagePaintsWhatIsStillPendingBeforeItComposes)
{
    // A control shown but not painted yet (no message pumped) must come out
    // as the screen shows it once painted, not as a clear (black) hole.
    HWND button = CreateWindowExW(0, WC_BUTTONW, L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 60, 30, window,
                                  reinterpret_cast<HMENU>(INT_PTR(7)), nullptr, nullptr);
    HWND hidden = CreateWindowExW(0, WC_BUTTONW, L"", WS_CHILD | BS_PUSHBUTTON, 80, 10, 30, 30, window,
                                  reinterpret_cast<HMENU>(INT_PTR(8)), nullptr, nullptr);
    ASSERT_NE(button, nullptr);
    ASSERT_NE(hidden, nullptr);
    RECT pending{};
    ASSERT_TRUE(GetUpdateRect(button, &pending, FALSE)) << "a new visible control waits for its paint";
    const win32::ClientImage composed = win32::ComposeWindowImage(window);
    auto at = [&](int x, int y) { return composed.pixels[static_cast<std::size_t>(y) * composed.width + x]; };
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const std::uint32_t facePixel = 0xFF000000u | (std::uint32_t(GetRValue(face)) << 16) |
                                    (std::uint32_t(GetGValue(face)) << 8) | GetBValue(face);
    EXPECT_EQ(at(40, 25), facePixel) << "the button's face";
    EXPECT_EQ(at(95, 25) & 0xFFFFFF, kWhite) << "the hidden button stays out of the picture";
    EXPECT_FALSE(GetUpdateRect(button, nullptr, FALSE)) << "painted on the way";
}

} // namespace
