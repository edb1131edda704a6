#include "platform/gdiplus/gdiplus.h"
#include "render/gdi_graphics_layer.h"
#include "render/offscreen_canvas.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace testrender;

namespace
{

// Records the batches the layer hands over instead of drawing them.
class RecordingRenderer : public TestRenderer
{
public:
    void DrawColourRects(cRenderSurfaceColor*, const RECT* rects, std::uint32_t count, bool) override
    {
        batches.push_back(count);
        for (std::uint32_t i = 0; i < count; ++i)
            received.push_back(rects[i]);
    }
    void FlipRectY(const RECT& in, RECT* out) override { *out = RECT{in.left, 100 - in.bottom, in.right, 100 - in.top}; }

    std::vector<std::uint32_t> batches;
    std::vector<RECT> received;
};

TEST(GdiGraphicsLayer, ResizeKeepsTheBitmapOnlyForAPositiveSize)
{
    cGDIGraphicsLayer layer;
    EXPECT_FALSE(layer.HasGraphics());
    ASSERT_TRUE(layer.Resize(64, 32));
    EXPECT_TRUE(layer.HasGraphics());
    EXPECT_EQ(layer.GetFormat(), kGlBgraExt);
    cGdiplusGraphics* graphics = layer.GetGraphics();
    EXPECT_TRUE(layer.Resize(64, 32));
    EXPECT_EQ(layer.GetGraphics(), graphics) << "same size: nothing is rebuilt";
    EXPECT_TRUE(layer.Resize(0, 0));
    EXPECT_FALSE(layer.HasGraphics());
    EXPECT_EQ(layer.GetWidth(), 0u);
}

TEST(GdiGraphicsLayer, BeginDrawClearsPixelsRectanglesTransformAndClip)
{
    cGDIGraphicsLayer layer;
    ASSERT_TRUE(layer.Resize(16, 16));
    GpGraphics* graphics = layer.GetGraphics()->GetHandle();
    GpSolidFill* brush = nullptr;
    GdipCreateSolidFill(0xFFFFFFFFu, &brush);
    GdipFillRectangleI(graphics, brush, 0, 0, 16, 16);
    layer.GetCollector().AddRect(RECT{0, 0, 16, 16});
    GdipTranslateWorldTransform(graphics, 8.0f, 8.0f, MatrixOrderPrepend);
    GdipSetClipRectI(graphics, 0, 0, 1, 1, CombineModeReplace);

    layer.BeginDraw();
    EXPECT_EQ(layer.GetCollector().GetLiveCount(), 0u);
    for (std::size_t i = 0; i < 16 * 16 * 4; ++i)
        ASSERT_EQ(layer.GetPixels()[i], 0) << "byte " << i;
    GdipFillRectangleI(graphics, brush, 0, 0, 2, 2);
    ARGB corner = 0;
    GdipBitmapGetPixel(layer.GetBitmap(), 1, 1, &corner);
    EXPECT_EQ(corner, 0xFFFFFFFFu) << "transform and clip were reset";
    GdipDeleteBrush(brush);
}

TEST(GdiGraphicsLayer, CompositeHandsLiveRectanglesOverInBatchesOf128FlippedToGlRows)
{
    RendererWindow window(100, 100);
    ASSERT_TRUE(window.Ok());
    RecordingRenderer renderer;
    cGDIGraphicsLayer layer;
    ASSERT_TRUE(layer.Resize(100, 100));
    for (int i = 0; i < 300; ++i)
        layer.GetCollector().AddRect(RECT{(i % 20) * 5, (i / 20) * 5, (i % 20) * 5 + 2, (i / 20) * 5 + 3});
    ASSERT_EQ(layer.GetCollector().GetLiveCount(), 300u);
    layer.Composite(&renderer, true);
    EXPECT_EQ(renderer.batches, (std::vector<std::uint32_t>{128, 128, 44}));
    ASSERT_EQ(renderer.received.size(), 300u);
    EXPECT_EQ(renderer.received.back().top, 100 - 3) << "window rows become GL rows";
    EXPECT_EQ(renderer.received.back().bottom, 100);
    EXPECT_FALSE(glIsEnabled(GL_BLEND)) << "the blending state is put back";
}

// The overlay drawn at the top of the layer lands at the top of the window
// image, blended with straight alpha.
TEST(GdiGraphicsLayer, CompositeBlendsStraightAlphaAtTheTopOfTheWindow)
{
    const LONG width = 64, height = 48;
    RendererWindow window(width, height);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    glDisable(GL_DITHER);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f); // 0, 0, 255
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    cGDIGraphicsLayer* layer = renderer.GetGDILayer(width, height);
    ASSERT_NE(layer, nullptr);
    layer->BeginDraw();
    GpSolidFill* veil = nullptr;
    GdipCreateSolidFill(0x60FFFFFFu, &veil);
    GpGraphics* graphics = layer->GetGraphics()->GetHandle();
    GdipFillRectangleI(graphics, veil, 4, 0, 20, 6); // a band along the top
    layer->GetCollector().AddRect(RECT{4, 0, 24, 6});
    GdipDeleteBrush(veil);
    layer->Composite(&renderer, true);
    SwapBuffers(renderer.GetDeviceContext());

    const wgl::PixelImage image = wgl::ReadWindowImage(window.Window());
    Snapshot(image, "overlay_composite_top_band");
    ASSERT_EQ(image.width, width);
    // src * a + dst * (1 - a) per channel, a = 0x60 / 255.
    const double a = 0x60 / 255.0;
    const auto blend = [a](int src, int dst) { return std::uint32_t(std::lround(src * a + dst * (1.0 - a))); };
    const std::uint32_t expected = wgl::Rgb(std::uint8_t(blend(255, 0)), std::uint8_t(blend(255, 0)),
                                            std::uint8_t(blend(255, 255)));
    EXPECT_TRUE(wgl::SameColour(image.At(10, 2), expected)) << std::hex << image.At(10, 2) << " vs " << expected;
    const auto band = wgl::BoundingBoxOfOthers(image, wgl::Rgb(0, 0, 255));
    ASSERT_TRUE(band.has_value());
    EXPECT_EQ(band->top, 0) << "the band drawn at the top of the overlay is at the top of the window";
    EXPECT_EQ(band->bottom, 6);
    EXPECT_EQ(band->left, 4);
    EXPECT_EQ(band->right, 24);
    EXPECT_EQ(wgl::CountPixels(image, expected), 20u * 6u);
}

TEST(GdiGraphicsLayer, OnlyCollectedRectanglesAreBlended)
{
    const LONG width = 32, height = 32;
    RendererWindow window(width, height);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    cGDIGraphicsLayer* layer = renderer.GetGDILayer(width, height);
    layer->BeginDraw();
    GpSolidFill* white = nullptr;
    GdipCreateSolidFill(0xFFFFFFFFu, &white);
    GdipFillRectangleI(layer->GetGraphics()->GetHandle(), white, 0, 0, 32, 32);
    GdipDeleteBrush(white);
    layer->GetCollector().AddRect(RECT{2, 3, 6, 9});
    layer->Composite(&renderer, true);
    const wgl::PixelImage image = wgl::ReadGlPixels(0, 0, width, height);
    Snapshot(image, "overlay_composite_one_rectangle");
    EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(255, 255, 255)), 4u * 6u);
    const auto box = wgl::BoundingBoxOf(image, wgl::Rgb(255, 255, 255));
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->left, 2);
    EXPECT_EQ(box->top, 3);
}

TEST(OffscreenCanvas, SizesRoundUpToTheGranularity)
{
    cOffscreenCanvas canvas(32);
    ASSERT_TRUE(canvas.Resize(300, 200));
    EXPECT_EQ(canvas.GetWidth(), 320u);
    EXPECT_EQ(canvas.GetHeight(), 224u);
    EXPECT_EQ(canvas.GetStride(), 4 * 320);
    EXPECT_EQ(canvas.GetFirstRow(), canvas.GetPixels() + std::size_t(223) * 4 * 320);
    ASSERT_NE(canvas.GetGraphics(), nullptr);

    // GDI+ row 0 is the last stored row.
    GpSolidFill* brush = nullptr;
    GdipCreateSolidFill(0xFF123456u, &brush);
    GdipFillRectangleI(canvas.GetGraphics()->GetHandle(), brush, 0, 0, 1, 1);
    GdipDeleteBrush(brush);
    const std::uint8_t* top = canvas.GetFirstRow();
    EXPECT_EQ(top[0], 0x56);
    EXPECT_EQ(top[2], 0x12);

    cOffscreenCanvas unit(0);
    EXPECT_EQ(unit.GetGranularity(), 1u);
    ASSERT_TRUE(unit.Resize(0, 0));
    EXPECT_EQ(unit.GetGraphics(), nullptr);
    canvas.Release();
    EXPECT_EQ(canvas.GetWidth(), 0u);
    EXPECT_EQ(canvas.GetStride(), 0);
}

TEST(GLRendererCanvas, GrowsOnlyWhenTooSmallUnlessExact)
{
    RendererWindow window(40, 40);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    cOffscreenCanvas* canvas = renderer.GetCanvas(100, 40, false);
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(canvas->GetWidth(), 256u);
    EXPECT_EQ(canvas->GetHeight(), 256u);
    renderer.GetCanvas(300, 40, false);
    EXPECT_EQ(canvas->GetWidth(), 320u);
    EXPECT_EQ(canvas->GetHeight(), 256u);
    renderer.GetCanvas(64, 64, true);
    EXPECT_EQ(canvas->GetWidth(), 64u);
    EXPECT_EQ(canvas->GetHeight(), 64u);
}

} // namespace
