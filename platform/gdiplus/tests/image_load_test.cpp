#include "platform/gdiplus/image_codec.h"
#include "platform/win32/resource_data.h"
#include "platform/win32/stream.h"
#include "support/gdiplus_session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace testgdiplus;

namespace
{

// A stream over a copy of the bytes that frees its block when released.
IStream* StreamOf(const std::vector<std::uint8_t>& bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!bytes.empty())
    {
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
    }
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(block, TRUE, &stream);
    return stream;
}

Status Load(const std::vector<std::uint8_t>& bytes, GpBitmap** bitmap)
{
    IStream* stream = StreamOf(bytes);
    const Status status = GdipCreateBitmapFromStream(stream, bitmap);
    stream->Release();
    return status;
}

void PutLe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

const std::vector<std::uint32_t> kPixels = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xFFFFFF, 0x000000};

TEST(GdiplusImageLoad, BmpFilesDecodeInBothRowOrders)
{
    Session session;
    for (bool topDown : {false, true})
    {
        GpBitmap* bitmap = nullptr;
        ASSERT_EQ(Load(Bmp24(3, 2, kPixels, true, topDown), &bitmap), Ok);
        EXPECT_EQ(PixelAt(bitmap, 0, 0), 0xFFFF0000u);
        EXPECT_EQ(PixelAt(bitmap, 2, 0), 0xFF0000FFu);
        EXPECT_EQ(PixelAt(bitmap, 0, 1), 0xFF123456u);
        PixelFormat format = 0;
        GdipGetImagePixelFormat(bitmap, &format);
        EXPECT_EQ(format, PixelFormat24bppRGB);
        GdipDisposeImage(bitmap);
    }
}

TEST(GdiplusImageLoad, PngKeepsStraightAlpha)
{
    Session session;
    const std::vector<std::uint32_t> pixels = {0xFFFF0000u, 0x00000000u, 0x80FFFFFFu, 0xFF00FF00u};
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(Load(Png(2, 2, pixels), &bitmap), Ok);
    EXPECT_EQ(PixelAt(bitmap, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(bitmap, 1, 0) >> 24, 0u);
    EXPECT_EQ(PixelAt(bitmap, 0, 1), 0x80FFFFFFu);
    EXPECT_EQ(PixelAt(bitmap, 1, 1), 0xFF00FF00u);
    GdipDisposeImage(bitmap);
}

TEST(GdiplusImageLoad, DamagedBmpIsRefusedWithAStatus)
{
    Session session;
    const std::vector<std::uint8_t> good = Bmp24(3, 2, kPixels, true);
    GpBitmap* bitmap = nullptr;

    // Every truncation is refused, never read past.
    for (std::size_t size = 0; size < good.size(); ++size)
    {
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + std::ptrdiff_t(size));
        if (cut.empty())
            continue;
        EXPECT_NE(Load(cut, &bitmap), Ok) << "truncated to " << size;
        EXPECT_EQ(bitmap, nullptr);
    }

    // Huge dimensions with a handful of pixel bytes: refused before any
    // allocation of their size.
    std::vector<std::uint8_t> huge = good;
    PutLe32(huge, 18, 30000);
    PutLe32(huge, 22, 30000);
    EXPECT_EQ(Load(huge, &bitmap), InvalidParameter);
    std::vector<std::uint8_t> negative = good;
    PutLe32(negative, 18, std::uint32_t(-3)); // negative width
    EXPECT_EQ(Load(negative, &bitmap), InvalidParameter);
    std::vector<std::uint8_t> smallest = good;
    PutLe32(smallest, 22, 0x80000000u); // the most negative height
    EXPECT_EQ(Load(smallest, &bitmap), InvalidParameter);
    std::vector<std::uint8_t> offset = good;
    PutLe32(offset, 10, 0xFFFFFFF0u); // pixel data beyond the file
    EXPECT_EQ(Load(offset, &bitmap), InvalidParameter);
    std::vector<std::uint8_t> palette = good;
    palette[28] = 8; // 8 bits per pixel with a palette the file has no room for
    PutLe32(palette, 46, 256);
    EXPECT_EQ(Load(palette, &bitmap), InvalidParameter);
    std::vector<std::uint8_t> rle = good;
    PutLe32(rle, 30, 1);
    EXPECT_EQ(Load(rle, &bitmap), NotImplemented);
    EXPECT_EQ(bitmap, nullptr);

    EXPECT_EQ(Load({'G', 'I', 'F', '8', '9', 'a'}, &bitmap), UnknownImageFormat);
}

TEST(GdiplusImageLoad, DamagedPngIsRefusedWithAStatus)
{
    Session session;
    std::vector<std::uint32_t> pixels(16 * 16, 0xFF336699u);
    const std::vector<std::uint8_t> good = Png(16, 16, pixels);
    GpBitmap* bitmap = nullptr;
    for (std::size_t size = 1; size < good.size(); size += 3)
    {
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + std::ptrdiff_t(size));
        EXPECT_NE(Load(cut, &bitmap), Ok) << "truncated to " << size;
        EXPECT_EQ(bitmap, nullptr);
    }
    // A header promising far more pixels than the compressed data can hold.
    std::vector<std::uint8_t> huge = good;
    const std::uint8_t side[4] = {0x00, 0x00, 0x7F, 0xFF};
    std::memcpy(huge.data() + 16, side, 4);
    std::memcpy(huge.data() + 20, side, 4);
    EXPECT_EQ(Load(huge, &bitmap), InvalidParameter);
    // A damaged body inside valid chunk framing: cairo's decoder refuses it.
    std::vector<std::uint8_t> scrambled = good;
    for (std::size_t i = 41; i < scrambled.size() - 16; ++i)
        scrambled[i] ^= 0x5A;
    EXPECT_NE(Load(scrambled, &bitmap), Ok);
    EXPECT_EQ(bitmap, nullptr);
}

TEST(GdiplusImageLoad, BitmapResourcesArePackedDibs)
{
    Session session;
    auto* module = reinterpret_cast<HMODULE>(0x5100);
    win32::RegisterResourceData(module, RT_BITMAP, MAKEINTRESOURCEW(700), Bmp24(3, 2, kPixels, false));
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromResource(module, MAKEINTRESOURCEW(700), &bitmap), Ok);
    EXPECT_EQ(PixelAt(bitmap, 1, 0), 0xFF00FF00u);
    GdipDisposeImage(bitmap);
    EXPECT_EQ(GdipCreateBitmapFromResource(module, MAKEINTRESOURCEW(701), &bitmap), InvalidParameter);
    win32::UnregisterResourceData(module, RT_BITMAP, MAKEINTRESOURCEW(700));
}

TEST(GdiplusImageLoad, DecodersAcceptPalettedAndBitFieldBitmaps)
{
    // 2 x 2, 8 bits with a 2-entry palette.
    std::vector<std::uint8_t> dib = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0,
                                     0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0};
    dib.insert(dib.end(), {0x00, 0x00, 0xFF, 0, 0xFF, 0x00, 0x00, 0}); // red, blue
    dib.insert(dib.end(), {0, 1, 0, 0, 1, 7, 0, 0});                   // bottom row, top row (7: beyond palette)
    std::unique_ptr<GpBitmap> bitmap;
    ASSERT_EQ(gdiplus::detail::DecodeBmp(dib.data(), dib.size(), false, bitmap), Ok);
    EXPECT_EQ(bitmap->Get(0, 1), 0xFFFF0000u);
    EXPECT_EQ(bitmap->Get(1, 1), 0xFF0000FFu);
    EXPECT_EQ(bitmap->Get(1, 0), 0xFF000000u) << "an index beyond the palette reads black";

    // 1 x 1, 32 bits with an alpha mask (V3 header of 56 bytes).
    std::vector<std::uint8_t> argb(56, 0);
    argb[0] = 56;
    argb[4] = 1;
    argb[8] = 1;
    argb[12] = 1;
    argb[14] = 32;
    argb[16] = 3;
    const std::uint32_t masks[4] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
    std::memcpy(argb.data() + 40, masks, 16);
    argb.insert(argb.end(), {0x30, 0x20, 0x10, 0x80});
    ASSERT_EQ(gdiplus::detail::DecodeBmp(argb.data(), argb.size(), false, bitmap), Ok);
    EXPECT_EQ(bitmap->Get(0, 0), 0x80102030u);
}

} // namespace
