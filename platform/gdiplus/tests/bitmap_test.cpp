#include "support/gdiplus_session.h"

#include <gtest/gtest.h>

#include <vector>

using namespace testgdiplus;

namespace
{

TEST(GdiplusBitmap, ObjectsNeedAStartedSession)
{
    GpBitmap* bitmap = reinterpret_cast<GpBitmap*>(1);
    EXPECT_EQ(GdipCreateBitmapFromScan0(4, 4, 0, PixelFormat32bppARGB, nullptr, &bitmap), GdiplusNotInitialized);
    EXPECT_EQ(bitmap, nullptr);

    GdiplusStartupInput wrongVersion;
    wrongVersion.GdiplusVersion = 7;
    ULONG_PTR token = 0;
    EXPECT_EQ(GdiplusStartup(&token, &wrongVersion, nullptr), UnsupportedGdiplusVersion);

    // Start-ups nest: objects stay possible until the last shut-down.
    Session outer;
    {
        Session inner;
    }
    EXPECT_EQ(GdipCreateBitmapFromScan0(4, 4, 0, PixelFormat32bppARGB, nullptr, &bitmap), Ok);
    GdipDisposeImage(bitmap);
}

TEST(GdiplusBitmap, NegativeStrideRunsTopDownOverABottomUpBuffer)
{
    Session session;
    const int width = 3, height = 4;
    std::vector<std::uint32_t> buffer(width * height, 0);
    // GDI+ row 0 is the buffer's last row.
    auto* firstRow = reinterpret_cast<BYTE*>(buffer.data() + (height - 1) * width);
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(width, height, -4 * width, PixelFormat32bppARGB, firstRow, &bitmap), Ok);

    EXPECT_EQ(GdipBitmapSetPixel(bitmap, 1, 0, 0x80FF0000u), Ok);
    EXPECT_EQ(buffer[(height - 1) * width + 1], 0x80FF0000u) << "straight alpha, written to the last buffer row";
    buffer[0] = 0x11223344u; // first buffer row is the bitmap's bottom row
    EXPECT_EQ(PixelAt(bitmap, 0, height - 1), 0x11223344u);

    UINT w = 0, h = 0;
    GdipGetImageWidth(bitmap, &w);
    GdipGetImageHeight(bitmap, &h);
    EXPECT_EQ(w, UINT(width));
    EXPECT_EQ(h, UINT(height));
    GdipDisposeImage(bitmap);
}

TEST(GdiplusBitmap, CallerMemoryMustHoldWholeAlignedRows)
{
    Session session;
    std::vector<std::uint32_t> buffer(16, 0);
    auto* scan0 = reinterpret_cast<BYTE*>(buffer.data());
    GpBitmap* bitmap = nullptr;
    EXPECT_EQ(GdipCreateBitmapFromScan0(4, 4, 12, PixelFormat32bppARGB, scan0, &bitmap), InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(4, 4, -12, PixelFormat32bppARGB, scan0, &bitmap), InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(4, 4, 18, PixelFormat32bppARGB, scan0, &bitmap), InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(4, 4, 16, PixelFormat24bppRGB, scan0, &bitmap), InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(0, 4, 16, PixelFormat32bppARGB, scan0, &bitmap), InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(-4, 4, 0, PixelFormat32bppARGB, nullptr, &bitmap), InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(1 << 16, 1 << 16, 0, PixelFormat32bppARGB, nullptr, &bitmap),
              InvalidParameter);
    EXPECT_EQ(bitmap, nullptr);
}

TEST(GdiplusBitmap, LockBitsHandsOutStraightPremultipliedAndRgbPixels)
{
    Session session;
    GpBitmap* bitmap = MakeBitmap(4, 3, 0x80402010u);
    GdipBitmapSetPixel(bitmap, 2, 1, 0xFF0000FFu);

    BitmapData data{};
    const GpRect area{1, 1, 2, 2};
    ASSERT_EQ(GdipBitmapLockBits(bitmap, &area, ImageLockModeRead, PixelFormat32bppARGB, &data), Ok);
    EXPECT_EQ(data.Width, 2u);
    EXPECT_EQ(data.Height, 2u);
    const auto* row = static_cast<const std::uint32_t*>(data.Scan0);
    EXPECT_EQ(row[0], 0x80402010u);
    EXPECT_EQ(row[1], 0xFF0000FFu);
    // Locked bitmaps refuse a second lock and pixel access.
    BitmapData again{};
    EXPECT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormat32bppARGB, &again), WrongState);
    ARGB colour = 0;
    EXPECT_EQ(GdipBitmapGetPixel(bitmap, 0, 0, &colour), WrongState);
    EXPECT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);

    ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormat32bppPARGB, &data), Ok);
    EXPECT_EQ(static_cast<const std::uint32_t*>(data.Scan0)[0], 0x80201008u);
    GdipBitmapUnlockBits(bitmap, &data);

    ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormat24bppRGB, &data), Ok);
    EXPECT_EQ(data.Stride, 12) << "rows padded to 4 bytes";
    const auto* bytes = static_cast<const std::uint8_t*>(data.Scan0);
    EXPECT_EQ(bytes[0], 0x10);
    EXPECT_EQ(bytes[1], 0x20);
    EXPECT_EQ(bytes[2], 0x40);
    GdipBitmapUnlockBits(bitmap, &data);

    EXPECT_EQ(GdipBitmapLockBits(bitmap, &area, 0, PixelFormat32bppARGB, &data), InvalidParameter);
    const GpRect outside{3, 0, 2, 1};
    EXPECT_EQ(GdipBitmapLockBits(bitmap, &outside, ImageLockModeRead, PixelFormat32bppARGB, &data),
              InvalidParameter);
    EXPECT_EQ(GdipBitmapUnlockBits(bitmap, &data), WrongState);
    GdipDisposeImage(bitmap);
}

TEST(GdiplusBitmap, WriteLocksStoreOnlyTheLockedRectangle)
{
    Session session;
    GpBitmap* bitmap = MakeBitmap(4, 4, 0xFF000000u);
    BitmapData data{};
    const GpRect area{1, 2, 2, 1};
    ASSERT_EQ(GdipBitmapLockBits(bitmap, &area, ImageLockModeWrite, PixelFormat32bppARGB, &data), Ok);
    auto* row = static_cast<std::uint32_t*>(data.Scan0);
    row[0] = 0x7F123456u;
    row[1] = 0x01ABCDEFu;
    ASSERT_EQ(GdipBitmapUnlockBits(bitmap, &data), Ok);
    EXPECT_EQ(PixelAt(bitmap, 1, 2), 0x7F123456u);
    EXPECT_EQ(PixelAt(bitmap, 2, 2), 0x01ABCDEFu);
    EXPECT_EQ(CountColour(bitmap, 0xFF000000u), 14);

    // A caller's own buffer, bottom-up.
    std::vector<std::uint32_t> mine(4 * 4, 0xFFFFFFFFu);
    data.Scan0 = mine.data() + 12;
    data.Stride = -16;
    ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead | ImageLockModeUserInputBuf,
                                 PixelFormat32bppARGB, &data),
              Ok);
    EXPECT_EQ(mine[12 - 2 * 4 + 1], 0x7F123456u) << "row 2 lands two rows up from the last";
    GdipBitmapUnlockBits(bitmap, &data);
    GdipDisposeImage(bitmap);
}

TEST(GdiplusBitmap, CloneCopiesPixelsIntoItsOwnMemory)
{
    Session session;
    std::vector<std::uint32_t> buffer(2 * 2, 0x40FF00FFu);
    GpBitmap* over = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 2, 8, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(buffer.data()), &over),
              Ok);
    GpImage* clone = nullptr;
    ASSERT_EQ(GdipCloneImage(over, &clone), Ok);
    buffer.assign(4, 0);
    EXPECT_EQ(PixelAt(static_cast<GpBitmap*>(clone), 1, 1), 0x40FF00FFu);
    GpBitmap* area = nullptr;
    EXPECT_EQ(GdipCloneBitmapAreaI(1, 1, 2, 1, PixelFormat32bppARGB, over, &area), InvalidParameter);
    GdipDisposeImage(clone);
    GdipDisposeImage(over);
}

} // namespace
