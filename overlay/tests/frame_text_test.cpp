#include "overlay/annotations.h"
#include "platform/win32/text_render.h"
#include "support/gl_test_renderer.h"
#include "support/overlay_test_controls.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace overlaytest;

namespace
{

using Frame = cC_Frame<TestView>;
using Text = cC_Text<TestView>;
using ToolTip = cVE_GlobalToolTip<TestView>;

// A white-on-nothing bitmap to paint into, with its context.
struct Surface
{
    Surface(int w, int h) : width(w), height(h)
    {
        GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppARGB, nullptr, &bitmap);
        GdipGetImageGraphicsContext(bitmap, &graphics);
        context = std::make_unique<cOverlayContext>(graphics, nullptr);
    }
    ~Surface()
    {
        GdipDeleteGraphics(graphics);
        GdipDisposeImage(bitmap);
    }
    ARGB At(int x, int y) const
    {
        ARGB c = 0;
        GdipBitmapGetPixel(bitmap, x, y, &c);
        return c;
    }
    void Paint(IScreenControl_GDI<TestView>& control, LONG x = 0, LONG y = 0)
    {
        const SIZE s = control.Measure(context.get(), nullptr);
        control.Arrange(context.get(), &s, nullptr);
        GdipResetWorldTransform(graphics);
        GdipTranslateWorldTransform(graphics, REAL(x), REAL(y), MatrixOrderPrepend);
        control.Paint(context.get(), nullptr);
        GdipResetWorldTransform(graphics);
    }
    // Written when VTL_SNAPSHOT_DIR is set.
    void Snapshot(const std::string& name) const
    {
        wgl::PixelImage image;
        image.width = width;
        image.height = height;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
            {
                // Over white, as the sheet is looked at.
                const ARGB c = At(x, y);
                const double a = (c >> 24) / 255.0;
                auto mix = [a](std::uint32_t v) { return std::uint8_t(std::lround(v * a + 255 * (1 - a))); };
                image.pixels.push_back(wgl::Rgb(mix((c >> 16) & 0xFF), mix((c >> 8) & 0xFF), mix(c & 0xFF)));
            }
        testrender::Snapshot(image, name);
    }
    cGdiplusGuard guard;
    int width, height;
    GpBitmap* bitmap = nullptr;
    GpGraphics* graphics = nullptr;
    std::unique_ptr<cOverlayContext> context;
};

// Text metrics as the controls measure them (10 pt at 96 dpi).
SIZE Measured(const wchar_t* text, double points, bool bold = false)
{
    win32::text::FontSpec font;
    font.pixelSize = points * 96.0 / 72.0;
    font.bold = bold;
    const win32::text::LineExtent e = win32::text::MeasureLine(font, text);
    return SIZE{LONG(std::ceil(e.width)), LONG(std::ceil(e.height))};
}

} // namespace

TEST(Frame, SettersKeepTheirRulesAndTheInsetFollowsTheBorder)
{
    auto frame = Make<Frame>();
    EXPECT_EQ(frame->GetInset(), 2);
    EXPECT_EQ(frame->GetVisualMode(), 2u);
    frame->SetRoundCorners(1, 0);
    EXPECT_FALSE(frame->GetFrameVisual().IsRounded());
    frame->SetRoundCorners(1, 5);
    EXPECT_TRUE(frame->GetFrameVisual().IsRounded());
    frame->SetBorderWidth(0);
    EXPECT_FALSE(frame->IsBorderVisible());
    EXPECT_EQ(frame->GetInset(), 0);
    frame->SetBorderWidth(3);
    frame->SetBorderVisible(1);
    EXPECT_EQ(frame->GetInset(), 3);
    frame->SetBorderVisible(0);
    EXPECT_EQ(frame->GetInset(), 0);
    frame->SetFillVisible(0);
    frame->SetFillColour(0xFF123456u);
    EXPECT_TRUE(frame->IsFillVisible());
    frame->SetSquareBorder(0xFF000000u);
    EXPECT_EQ(frame->GetBorderWidth(), 1);
    EXPECT_EQ(frame->GetInset(), 1);
    EXPECT_EQ(frame->GetCornerRadius(), 5) << "the radius stays";
    EXPECT_NE(frame->QueryInterface(IID_IV_Frame), nullptr);
    EXPECT_EQ(frame->QueryInterface(IID_IV_Image), nullptr);
}

TEST(Frame, SquareBorderStaysInsideAndInvisibleColoursDrawNothing)
{
    Surface s(40, 30);
    auto frame = Make<Frame>(Make<Leaf>("c", 10, 6).Get());
    frame->SetSquareBorder(0xFF000000u);
    frame->SetFillColour(0xFF00FF00u);
    frame->SetPadding(2);
    s.Paint(*frame);
    // 10 + 2 x 2 padding + 2 x 1 inset = 16 wide, 6 + 4 + 2 = 12 high.
    EXPECT_EQ(s.At(0, 0), 0xFF000000u);
    EXPECT_EQ(s.At(15, 11), 0xFF000000u) << "a one-pixel border ends inside the area";
    EXPECT_EQ(s.At(16, 5), 0u);
    EXPECT_EQ(s.At(5, 12), 0u);
    EXPECT_EQ(s.At(7, 5), 0xFF00FF00u);

    Surface t(40, 30);
    auto hidden = Make<Frame>();
    hidden->SetBorderColour(0x00FFFFFFu);
    hidden->SetFillColour(0x00FFFFFFu);
    hidden->SetMinimumSize(20, 20);
    t.Paint(*hidden);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(t.At(x, y), 0u);
}

TEST(Frame, RoundedCornersLeaveTheCornerPixelClearAndWideBordersInside)
{
    Surface s(40, 30);
    auto frame = Make<Frame>();
    frame->SetMinimumSize(30, 20);
    frame->SetBorderColour(0xFFFF0000u);
    frame->SetFillColour(0xFF0000FFu);
    s.Paint(*frame);
    EXPECT_LT(s.At(0, 0) >> 24, 8u) << "outside the rounded corner";
    EXPECT_EQ(s.At(15, 0), 0xFFFF0000u);
    EXPECT_EQ(s.At(15, 1), 0xFFFF0000u) << "two pixels of border";
    EXPECT_EQ(s.At(15, 19), 0xFFFF0000u);
    EXPECT_EQ(s.At(15, 20), 0u);
    EXPECT_EQ(s.At(15, 10), 0xFF0000FFu);
    EXPECT_EQ(s.context->GetLastStatus(), Ok);
}

TEST(TextControl, MeasuresItsTextPlusPaddingAndOnlyRemeasuresOnChange)
{
    Surface s(200, 60);
    auto text = Make<Text>();
    EXPECT_EQ(text->Measure(s.context.get(), nullptr).cx, 0) << "an empty text measures nothing";
    text->SetText(L"Deviation 0.25 mm");
    text->SetPaddingLTRB(4, 2, 4, 2);
    const SIZE expected = Measured(L"Deviation 0.25 mm", 10);
    const SIZE m = text->Measure(s.context.get(), nullptr);
    EXPECT_EQ(m.cx, expected.cx + 8);
    EXPECT_EQ(m.cy, expected.cy + 4);
    text->SetText(L"Deviation 0.25 mm");
    text->SetTextRenderingHint(4);
    EXPECT_TRUE(text->IsValid());
    text->SetFontSize(20);
    EXPECT_FALSE(text->IsValid());
    EXPECT_GT(text->Measure(s.context.get(), nullptr).cx, m.cx);
    EXPECT_NE(text->QueryInterface(IID_IV_Text), nullptr);
    EXPECT_NE(text->QueryInterface(IID_IBase), nullptr);
    EXPECT_EQ(CeilToPixels(std::nanf("")), 0);
    EXPECT_EQ(CeilToPixels(3e30f), 2147483647);
    EXPECT_EQ(CeilToPixels(4.01f), 5);
}

TEST(TextControl, DrawsInkInsideItsBoxAndNothingWhenSqueezed)
{
    Surface s(200, 60);
    auto text = Make<Text>();
    text->SetText(L"Max 1.2");
    text->SetForeColour(0xFF000000u);
    text->SetPadding(3);
    s.Paint(*text, 10, 10);
    const SIZE size = text->GetDesiredSize();
    int ink = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x)
            if (s.At(x, y) == 0xFF000000u)
            {
                ++ink;
                EXPECT_TRUE(x >= 13 && x < 10 + size.cx - 3 && y >= 13 && y < 10 + size.cy - 3) << x << "," << y;
            }
    EXPECT_GT(ink, 20);

    Surface t(50, 50);
    const SIZE tiny{4, 4};
    text->SetHorizontalAlignment(kAlignStretch);
    text->SetVerticalAlignment(kAlignStretch);
    text->Arrange(t.context.get(), &tiny, nullptr);
    text->SetBackColour(0);
    text->Paint(t.context.get(), nullptr);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(t.At(x, y), 0u);
}

TEST(ToolTip, ShowsTheButtonsTextsAndKeepsThemForOtherControls)
{
    Surface s(260, 80);
    auto tip = Make<ToolTip>();
    EXPECT_FALSE(tip->IsVisible());
    auto zoom = Make<cC_Button<TestView>>();
    zoom->SetToolTipText(L"Zoom extents", L"Fit all");
    tip->Show(zoom.Get());
    EXPECT_TRUE(tip->IsVisible());
    tip->Hide();
    tip->Show(Make<Leaf>("not a button", 1, 1).Get());
    tip->Show(nullptr);
    EXPECT_STREQ(tip->GetTitle()->GetText(), L"Zoom extents");
    EXPECT_STREQ(tip->GetDescription()->GetText(), L"Fit all");
    EXPECT_NE(tip->QueryInterface(IID_IVEffect), nullptr);
    EXPECT_EQ(tip->QueryInterface(IID_IV_Frame), nullptr);

    s.Paint(*tip, 5, 5);
    s.Snapshot("overlay_tooltip");
    const SIZE title = Measured(L"Zoom extents", 10, true);
    const SIZE description = Measured(L"Fit all", 8);
    const SIZE size = tip->GetDesiredSize();
    EXPECT_EQ(size.cx, title.cx + 2 * 7 + 2 * 1);
    EXPECT_EQ(size.cy, title.cy + 3 + description.cy + 2 * 7 + 2 * 1);
    EXPECT_EQ(s.At(5 + size.cx / 2, 5), 0xFF000000u) << "a black one-pixel border";
    EXPECT_EQ(s.At(5 + size.cx / 2, 6), 0xFFFAFAFAu);
    EXPECT_LT(s.At(5, 5) >> 24, 8u) << "rounded corners";
    // The description is centred under the title.
    auto* entry = dynamic_cast<cC_StackPanel<TestView>*>(tip->GetContent())->FindEntry(tip->GetDescription());
    const LONG descLeft = entry->value.rect.left;
    EXPECT_EQ(descLeft, (title.cx - description.cx) / 2);
}

TEST(ToolTip, MovingAcrossAToolbarHidesForTheFirstAndShowsForTheNext)
{
    TestView view;
    Manager manager(&view);
    manager.OnResize(300, 200);
    auto tip = Make<ToolTip>();
    auto toolbar = Make<Stack>();
    tSafePtr<cC_Button<TestView>> buttons[2] = {Make<cC_Button<TestView>>(), Make<cC_Button<TestView>>()};
    buttons[0]->SetToolTipText(L"Open", L"Opens a scan");
    buttons[1]->SetToolTipText(L"Fit", L"Fits the shape");
    for (auto& b : buttons)
    {
        b->SetMinimumSize(20, 20);
        b->SetToolTip(tip.Get());
        toolbar->AddChild(b.Get());
    }
    toolbar->SetVerticalAlignment(kAlignNear);
    toolbar->SetHorizontalAlignment(kAlignNear);
    manager.AddGDIControl(toolbar.Get());
    tip->SetVerticalAlignment(kAlignNear);
    tip->SetMarginLTRB(0, 30, 0, 0);
    manager.AddGDIControl(tip.Get());
    manager.DrawGDI(nullptr);
    manager.OnMouseMove(POINT{5, 5}, 0);
    EXPECT_TRUE(tip->IsVisible());
    EXPECT_STREQ(tip->GetTitle()->GetText(), L"Open");
    manager.OnMouseMove(POINT{25, 5}, 0);
    EXPECT_TRUE(tip->IsVisible());
    EXPECT_STREQ(tip->GetTitle()->GetText(), L"Fit");
    manager.OnMouseMove(POINT{200, 150}, 0);
    EXPECT_FALSE(tip->IsVisible());
    EXPECT_EQ(tip->GetRefCount(), 4u) << "test, root canvas and two buttons";
}

TEST(Annotations, TextAndImageAnnotationsAnswerTheirInterfaces)
{
    Surface s(120, 40);
    auto label = Make<cScreenAnnotation_Text<TestView>>();
    EXPECT_EQ(label->QueryInterface(IID_IV_Image), nullptr);
    EXPECT_NE(label->QueryInterface(IID_IV_Frame), nullptr);
    label->GetLabel()->SetText(L"Min -0.31");
    label->GetLabel()->SetForeColour(0xFF000000u);
    label->SetFillColour(0xFFFFFFE0u);
    label->SetBorderColour(0xFF0000FFu);
    s.Paint(*label, 2, 2);
    s.Snapshot("overlay_text_annotation");
    const LONG middle = 2 + label->GetDesiredSize().cx / 2;
    EXPECT_EQ(s.At(middle, 2), 0xFF0000FFu) << "a two-pixel border inside the frame";
    EXPECT_EQ(s.At(middle, 3), 0xFF0000FFu);
    EXPECT_EQ(s.At(middle, 1), 0u);

    auto picture = Make<cScreenAnnotation_Image<TestView>>();
    auto* image = static_cast<IV_Image*>(picture->QueryInterface(IID_IV_Image));
    ASSERT_NE(image, nullptr);
    GpBitmap* bitmap = nullptr;
    GdipCreateBitmapFromScan0(8, 4, 0, PixelFormat32bppARGB, nullptr, &bitmap);
    image->SetImage(bitmap, 1);
    EXPECT_EQ(picture->GetImageControl()->GetImage(), bitmap);
    EXPECT_EQ(picture->Measure(s.context.get(), nullptr).cx, 8 + 2 * 2);
}
