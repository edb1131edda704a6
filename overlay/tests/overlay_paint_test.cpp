#include "render/gdi_graphics_layer.h"
#include "support/gl_test_renderer.h"
#include "support/overlay_test_controls.h"

#include <gtest/gtest.h>

using namespace overlaytest;
using namespace testrender;

namespace
{

tSafePtr<Leaf> Swatch(ARGB colour, LONG w, LONG h)
{
    auto leaf = Make<Leaf>("swatch", w, h);
    leaf->SetBackColour(colour);
    return leaf;
}

void WorldTransform(GpGraphics* graphics, REAL out[6])
{
    GpMatrix* m = nullptr;
    GdipCreateMatrix(&m);
    GdipGetWorldTransform(graphics, m);
    GdipGetMatrixElements(m, out);
    GdipDeleteMatrix(m);
}

} // namespace

// A toolbar of three swatches in a row at the top left and a label drawn at
// a point, composed over a blue GL frame.
TEST(OverlayPaint, ToolbarAndLabelLandOverTheGlFrameWhereLaidOut)
{
    const LONG width = 120, height = 80;
    RendererWindow window(width, height);
    ASSERT_TRUE(window.Ok());
    TestRenderer& renderer = window.Renderer();
    glDisable(GL_DITHER);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    cGDIGraphicsLayer* layer = renderer.GetGDILayer(width, height);
    ASSERT_NE(layer, nullptr);
    layer->BeginDraw();

    TestView view;
    Manager manager(&view);
    manager.OnResize(width, height);
    auto toolbar = Make<Stack>();
    toolbar->SetHorizontalAlignment(kAlignNear);
    toolbar->SetVerticalAlignment(kAlignNear);
    toolbar->SetMarginLTRB(4, 3, 0, 0);
    toolbar->SetPadding(1);
    toolbar->SetSpacing(2);
    toolbar->SetBackColour(0xFF000000u);
    toolbar->AddChild(Swatch(0xFFFF0000u, 20, 16).Get());
    toolbar->AddChild(Swatch(0xFF00FF00u, 20, 16).Get());
    toolbar->AddChild(Swatch(0xFFFFFFFFu, 20, 16).Get());
    manager.AddGDIControl(toolbar.Get());
    auto hidden = Swatch(0xFFFFFF00u, 30, 30);
    hidden->SetVisible(0);
    manager.AddGDIControl(hidden.Get());

    cOverlayContext* context = layer->GetGraphics();
    GdipTranslateWorldTransform(context->GetHandle(), 0.5f, 0.0f, MatrixOrderPrepend);
    REAL before[6], after[6];
    WorldTransform(context->GetHandle(), before);
    GdipResetWorldTransform(context->GetHandle());
    manager.DrawGDI(context);
    auto label = Swatch(0xFFFF00FFu, 40, 20);
    manager.DrawControlAt(label.Get(), context, POINT{60, 60});
    GdipTranslateWorldTransform(context->GetHandle(), 0.5f, 0.0f, MatrixOrderPrepend);
    manager.DrawControlAt(label.Get(), context, POINT{0, 0});
    WorldTransform(context->GetHandle(), after);
    for (int i = 0; i < 6; ++i)
        EXPECT_FLOAT_EQ(after[i], before[i]) << "the caller's transform is put back";
    EXPECT_EQ(context->GetLastStatus(), Ok);
    EXPECT_EQ(layer->GetCollector().GetLiveCount(), 2u) << "the label at the origin overlaps the toolbar and merges with it";
    layer->Composite(&renderer, true);
    SwapBuffers(renderer.GetDeviceContext());

    const wgl::PixelImage image = wgl::ReadWindowImage(window.Window());
    Snapshot(image, "overlay_toolbar_and_label");
    // Toolbar: margin (4, 3), padding 1, swatches 20 wide with 2 between.
    const auto black = wgl::BoundingBoxOf(image, wgl::Rgb(0, 0, 0));
    ASSERT_TRUE(black.has_value());
    EXPECT_EQ(black->left, 4);
    EXPECT_EQ(black->top, 3);
    EXPECT_EQ(black->right, 4 + 1 + 20 + 2 + 20 + 2 + 20 + 1);
    EXPECT_EQ(black->bottom, 3 + 1 + 16 + 1);
    const std::pair<std::uint32_t, LONG> swatches[] = {
        {wgl::Rgb(255, 0, 0), 5}, {wgl::Rgb(0, 255, 0), 27}, {wgl::Rgb(255, 255, 255), 49}};
    for (const auto& [colour, left] : swatches)
    {
        const auto box = wgl::BoundingBoxOf(image, colour);
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->left, left);
        EXPECT_EQ(box->right, left + 20);
        EXPECT_EQ(box->top, 4);
        EXPECT_EQ(box->bottom, 20);
    }
    EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(255, 255, 0)), 0u) << "a hidden control is not painted";
    // Label centred at (60, 60): 40 x 20 from (40, 50); the second one at
    // the origin is centred there too and so cut by the window's corner.
    EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(255, 0, 255)), 40u * 20u + 20u * 10u);
    EXPECT_TRUE(wgl::SameColour(image.At(40, 50), wgl::Rgb(255, 0, 255)));
    EXPECT_TRUE(wgl::SameColour(image.At(79, 69), wgl::Rgb(255, 0, 255)));
    EXPECT_TRUE(wgl::SameColour(image.At(80, 69), wgl::Rgb(0, 0, 255)));
    EXPECT_TRUE(wgl::SameColour(image.At(39, 60), wgl::Rgb(0, 0, 255)));
}

TEST(OverlayPaint, DrawControlAtPlacesByAlignmentAndTheRootFollowsResizes)
{
    cGdiplusGuard guard;
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(200, 150, 0, PixelFormat32bppARGB, nullptr, &bitmap), Ok);
    GpGraphics* graphics = nullptr;
    ASSERT_EQ(GdipGetImageGraphicsContext(bitmap, &graphics), Ok);
    cAreaCollector collector;
    cOverlayContext context(graphics, &collector);
    TestView view;
    Manager manager(&view);
    manager.OnResize(200, 150);

    auto label = Swatch(0xFF102030u, 40, 20);
    label->SetHorizontalAlignment(kAlignFar);
    label->SetVerticalAlignment(kAlignFar);
    manager.DrawControlAt(label.Get(), &context, POINT{100, 100});
    ASSERT_EQ(collector.GetLiveCount(), 1u);
    const cAreaCollector::stRect& drawn = collector.GetHead()->value;
    EXPECT_EQ(drawn.x0, 60);
    EXPECT_EQ(drawn.y0, 80);
    EXPECT_EQ(drawn.x1, 100);
    EXPECT_EQ(drawn.y1, 100);
    ARGB pixel = 0;
    GdipBitmapGetPixel(bitmap, 60, 80, &pixel);
    EXPECT_EQ(pixel, 0xFF102030u);
    GdipBitmapGetPixel(bitmap, 100, 100, &pixel);
    EXPECT_EQ(pixel, 0u);

    // A bottom-right badge follows the canvas size at the next paint.
    auto badge = Swatch(0xFF00FF00u, 10, 10);
    badge->SetHorizontalAlignment(kAlignFar);
    badge->SetVerticalAlignment(kAlignFar);
    manager.AddGDIControl(badge.Get());
    manager.DrawGDI(&context);
    GdipBitmapGetPixel(bitmap, 199, 149, &pixel);
    EXPECT_EQ(pixel, 0xFF00FF00u);
    manager.OnResize(100, 50);
    manager.DrawGDI(&context);
    GdipBitmapGetPixel(bitmap, 99, 49, &pixel);
    EXPECT_EQ(pixel, 0xFF00FF00u);
    GdipBitmapGetPixel(bitmap, 90, 40, &pixel);
    EXPECT_EQ(pixel, 0xFF00FF00u);

    manager.SetGDILayerEnabled(0);
    collector.Clear();
    manager.DrawGDI(&context);
    EXPECT_EQ(collector.GetLiveCount(), 0u) << "switched off, nothing is drawn";
    GdipDeleteGraphics(graphics);
    GdipDisposeImage(bitmap);
}

// A dirty rectangle reaching the root redraws the view through its window,
// unless the view's redraw is suspended.
TEST(OverlayPaint, InvalidatedChildRedrawsTheWindowUnlessSuspended)
{
    RendererWindow window(40, 30);
    ASSERT_TRUE(window.Ok());
    TestView view;
    view.window = window.Window();
    view.renderer = &window.Renderer();
    view.suspended = true;
    Manager manager(&view);
    manager.OnResize(40, 30);
    auto leaf = Make<Leaf>("a", 5, 5);
    manager.AddGDIControl(leaf.Get());
    ValidateRect(view.window, nullptr);
    RECT dirty{};
    EXPECT_EQ(manager.GetRoot()->InvalidateChildRect(RECT{0, 0, 1, 1}, leaf.Get()), 1);
    EXPECT_FALSE(GetUpdateRect(view.window, &dirty, 0));
    view.suspended = false;
    manager.GetRoot()->InvalidateChildRect(RECT{0, 0, 1, 1}, leaf.Get());
    ASSERT_TRUE(GetUpdateRect(view.window, &dirty, 0));
    EXPECT_EQ(dirty.right, 40) << "the whole view, not the child's rectangle";
    EXPECT_EQ(dirty.bottom, 30);
}
