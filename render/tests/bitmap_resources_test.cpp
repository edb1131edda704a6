#include "platform/gdiplus/gdiplus.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/resource_data.h"
#include "render/bitmap_resources.h"
#include "render/gdiplus_guard.h"
#include "render/gl_renderer.h"
#include "render/renderer_resources.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <vector>

namespace
{

ARGB PixelAt(GpBitmap* bitmap, int x, int y)
{
    ARGB colour = 0;
    GdipBitmapGetPixel(bitmap, x, y, &colour);
    return colour;
}

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

std::vector<std::uint8_t> SmallPng()
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 3);
    cairo_t* context = cairo_create(surface);
    cairo_set_source_rgba(context, 1.0, 0.0, 0.0, 1.0);
    cairo_paint(context);
    cairo_destroy(context);
    std::vector<std::uint8_t> out;
    cairo_surface_write_to_png_stream(surface, &Append, &out);
    cairo_surface_destroy(surface);
    return out;
}

class BitmapResources : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous = AfxGetResourceHandle();
        AfxSetResourceHandle(module);
        RegisterRendererResources(module);
    }
    void TearDown() override
    {
        win32::UnregisterResourceData(module, RT_BITMAP, MAKEINTRESOURCEW(cGLRenderer::kAxisLetterBitmap));
        AfxSetResourceHandle(previous);
    }

    cGdiplusGuard guard;
    HMODULE module = reinterpret_cast<HMODULE>(0x7A00);
    HMODULE previous = nullptr;
};

TEST_F(BitmapResources, TheAxisLetterBitmapIs64By16WithInkOnWhite)
{
    GpBitmap* letters = LoadBitmapResource(cGLRenderer::kAxisLetterBitmap, 255);
    ASSERT_NE(letters, nullptr);
    UINT width = 0, height = 0;
    GdipGetImageWidth(letters, &width);
    GdipGetImageHeight(letters, &height);
    EXPECT_EQ(width, 64u);
    EXPECT_EQ(height, 16u);
    EXPECT_EQ(PixelAt(letters, 0, 0), 0xFFFFFFFFu);
    // Each of the three cells holds ink; the fourth is blank.
    for (int cell = 0; cell < 4; ++cell)
    {
        int ink = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                ink += PixelAt(letters, cell * 16 + x, y) != 0xFFFFFFFFu;
        if (cell < 3)
            EXPECT_GT(ink, 20) << "cell " << cell;
        else
            EXPECT_EQ(ink, 0);
    }
    GdipDisposeImage(letters);
}

TEST_F(BitmapResources, AlphaBelow255KeysTheCornerColour)
{
    GpBitmap* letters = LoadBitmapResource(cGLRenderer::kAxisLetterBitmap, 128);
    ASSERT_NE(letters, nullptr);
    int keyed = 0, half = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x)
        {
            const ARGB pixel = PixelAt(letters, x, y);
            if ((pixel & 0x00FFFFFFu) == 0x00FFFFFFu)
                keyed += (pixel >> 24) == 0;
            else
                half += (pixel >> 24) == 128;
        }
    EXPECT_EQ(keyed + half, 64 * 16) << "white is transparent, everything else half transparent";
    EXPECT_GT(half, 60);
    GdipDisposeImage(letters);
    EXPECT_EQ(LoadBitmapResource(4242, 128), nullptr);
}

TEST_F(BitmapResources, ImageResourcesLoadWithoutKeepingTheirMemoryBlocks)
{
    const LPCWSTR png = L"PNG";
    win32::RegisterResourceData(module, png, MAKEINTRESOURCEW(900), SmallPng());
    win32::RegisterResourceData(module, png, MAKEINTRESOURCEW(901), {0x89, 'P', 'N', 'G', 1, 2, 3});
    win32::RegisterResourceData(module, png, MAKEINTRESOURCEW(902), {});
    const std::size_t blocks = win32::LiveGlobalBlockCount();

    GpBitmap* image = LoadImageResource(900, png, module);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(win32::LiveGlobalBlockCount(), blocks) << "the block is freed once the bitmap is made";
    EXPECT_EQ(PixelAt(image, 3, 2), 0xFFFF0000u);
    GdipDisposeImage(image);

    EXPECT_EQ(LoadImageResource(901, png, module), nullptr);
    EXPECT_EQ(win32::LiveGlobalBlockCount(), blocks) << "a failed decode frees its block too";
    EXPECT_EQ(LoadImageResource(902, png, module), nullptr);
    EXPECT_EQ(LoadImageResource(903, png, module), nullptr);
    for (int id : {900, 901, 902})
        win32::UnregisterResourceData(module, png, MAKEINTRESOURCEW(id));
}

TEST_F(BitmapResources, TransparentCopiesKeyExactlyTheKeyColour)
{
    GpBitmap* source = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 1, 0, PixelFormat32bppARGB, nullptr, &source), Ok);
    GdipBitmapSetPixel(source, 0, 0, 0xFF102030u);
    GdipBitmapSetPixel(source, 1, 0, 0xFF102031u);
    GpBitmap* copy = MakeTransparentCopy(source, 200, 0xFF102030u);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(PixelAt(copy, 0, 0), 0x00102030u);
    EXPECT_EQ(PixelAt(copy, 1, 0), 0xC8102031u);
    GdipDisposeImage(copy);
    GdipDisposeImage(source);
    EXPECT_EQ(MakeTransparentByCorner(nullptr, 10), nullptr);
}

} // namespace
