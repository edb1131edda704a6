#include "overlay/image_button.h"
#include "platform/win32/resource_data.h"
#include "support/overlay_test_controls.h"

#include <gtest/gtest.h>

#include <cairo.h>

using namespace overlaytest;

namespace
{

using Content = cContentControl_GDI<TestView>;
using Button = cC_Button<TestView>;
using ImageButton = cC_ImageButton<TestView>;

RECT ArrangeIn(IScreenControl_GDI<TestView>& c, LONG w, LONG h)
{
    const SIZE available{w, h};
    return c.Arrange(nullptr, &available, nullptr);
}

void CountClick(IBase* button, void* context)
{
    EXPECT_NE(button->QueryInterface(IID_IC_Button), nullptr);
    ++*static_cast<int*>(context);
}

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::vector<std::uint8_t>*>(closure)->insert(static_cast<std::vector<std::uint8_t>*>(closure)->end(),
                                                             data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

// A PNG of one colour.
std::vector<std::uint8_t> Png(double r, double g, double b, int w = 12, int h = 10)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgba(cr, r, g, b, 1.0);
    cairo_paint(cr);
    cairo_destroy(cr);
    std::vector<std::uint8_t> out;
    cairo_surface_write_to_png_stream(surface, &Append, &out);
    cairo_surface_destroy(surface);
    return out;
}

// A bitmap to paint into, with its drawing context.
struct Canvas32
{
    Canvas32(int w, int h)
    {
        GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppARGB, nullptr, &bitmap);
        GdipGetImageGraphicsContext(bitmap, &graphics);
        context = std::make_unique<cOverlayContext>(graphics, nullptr);
    }
    ~Canvas32()
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
    cGdiplusGuard guard;
    GpBitmap* bitmap = nullptr;
    GpGraphics* graphics = nullptr;
    std::unique_ptr<cOverlayContext> context;
};

constexpr LPCWSTR kPng = L"PNG";

class ImageButtons : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::RegisterResourceData(nullptr, kPng, MAKEINTRESOURCEW(701), Png(1, 0, 0));    // normal: red
        win32::RegisterResourceData(nullptr, kPng, MAKEINTRESOURCEW(703), Png(0, 1, 0));    // checked: green
        win32::RegisterResourceData(nullptr, kPng, MAKEINTRESOURCEW(704), Png(0, 0, 1));    // disabled: blue
        win32::RegisterResourceData(nullptr, kPng, MAKEINTRESOURCEW(705), Png(1, 1, 0));    // another normal
        win32::RegisterResourceData(nullptr, kPng, MAKEINTRESOURCEW(706), Png(1, 0, 1, 30, 20));
    }
    void TearDown() override
    {
        for (int id : {701, 703, 704, 705, 706})
            win32::UnregisterResourceData(nullptr, kPng, MAKEINTRESOURCEW(id));
    }
    tSafePtr<ImageButton> MakeButton(bool toggle = false)
    {
        tSafePtr<ImageButton> b(CreateImageButton<TestView>(kPng, 701, 702, 703, 704, 0x80007F00u, 255, toggle,
                                                            &CountClick, &clicks, nullptr, nullptr));
        return b;
    }
    // The colour the button shows at its centre.
    ARGB Shown(ImageButton& b)
    {
        Canvas32 canvas(40, 40);
        const SIZE s = b.Measure(canvas.context.get(), nullptr);
        b.Arrange(canvas.context.get(), &s, nullptr);
        b.Paint(canvas.context.get(), nullptr);
        return canvas.At(s.cx / 2, s.cy / 2);
    }
    cGdiplusGuard guard;
    int clicks = 0;
};

} // namespace

TEST(ContentControl, WithoutContentItMeasuresPaddingAndInsetAndArrangesAsItself)
{
    auto box = Make<Content>();
    box->SetPaddingLTRB(1, 2, 3, 4);
    box->SetInset(2);
    SIZE s = box->Measure(nullptr, nullptr);
    EXPECT_EQ(s.cx, 8);
    EXPECT_EQ(s.cy, 10);
    box->SetMinimumSize(20, 5);
    s = box->Measure(nullptr, nullptr);
    EXPECT_EQ(s.cx, 20);
    EXPECT_EQ(s.cy, 10);
    const RECT r = ArrangeIn(*box, 100, 50);
    const RECT c = box->GetContentRect();
    EXPECT_EQ(c.left, r.left);
    EXPECT_EQ(c.top, r.top);
    EXPECT_EQ(c.right, r.right);
    EXPECT_EQ(c.bottom, r.bottom);
}

TEST(ContentControl, ContentSitsInsideThePaddingLessTheInset)
{
    auto box = Make<Content>();
    auto leaf = Make<Leaf>("c", 10, 6);
    box->SetContent(leaf.Get());
    box->SetPaddingLTRB(4, 2, 4, 2);
    box->SetInset(1);
    leaf->SetMarginLTRB(1, 0, 0, 0);
    const SIZE s = box->Measure(nullptr, nullptr);
    EXPECT_EQ(s.cx, 11 + 8 + 2);
    EXPECT_EQ(s.cy, 6 + 4 + 2);
    box->SetHorizontalAlignment(kAlignNear);
    box->SetVerticalAlignment(kAlignNear);
    ArrangeIn(*box, 100, 100);
    const RECT c = box->GetContentRect();
    EXPECT_EQ(c.left, 5 + 1);
    EXPECT_EQ(c.top, 3);
    EXPECT_EQ(c.right, 5 + 1 + 10);
    EXPECT_EQ(c.bottom, 9);
}

TEST(ContentControl, SettingTheSameContentAgainChangesNothing)
{
    auto box = Make<Content>();
    auto leaf = Make<Leaf>("c", 10, 6);
    box->SetContent(leaf.Get());
    leaf->SetHorizontalAlignment(kAlignFar);
    const auto refs = leaf->GetRefCount();
    box->SetContent(leaf.Get());
    EXPECT_EQ(leaf->GetRefCount(), refs);
    EXPECT_EQ(leaf->GetHorizontalAlignment(), kAlignFar);
    EXPECT_EQ(leaf->GetParent(), static_cast<IScreenControl_GDI<TestView>*>(box.Get()));
    box->SetContent(nullptr);
    EXPECT_EQ(leaf->GetParent(), nullptr);
    EXPECT_EQ(leaf->GetRefCount(), refs - 1);
}

TEST(ContentControl, TheHotContentIsGivenBackWhenTheControlGoes)
{
    Log log;
    auto leaf = Make<Leaf>("c", 10, 10, &log);
    {
        auto box = Make<Content>();
        box->SetContent(leaf.Get());
        ArrangeIn(*box, 10, 10);
        box->OnMouseMove(POINT{2, 2}, 0, nullptr);
        EXPECT_EQ(log, (Log{"c move 2,2", "c enter 2,2"})) << "the event first, then the hover";
        EXPECT_EQ(leaf->GetRefCount(), 3u);
    }
    EXPECT_EQ(leaf->GetRefCount(), 1u);
    EXPECT_EQ(leaf->GetParent(), nullptr);
}

TEST(Button, PushButtonHoldsOnPressAndClicksOnceOnRelease)
{
    int clicks = 0;
    auto button = Make<Button>();
    button->SetClickCallback(&CountClick, &clicks);
    button->OnMouseEnter(POINT{1, 1}, 0, nullptr);
    EXPECT_EQ(button->GetState(), kButtonHot);
    EXPECT_EQ(button->OnLButtonDown(POINT{1, 1}, 0, nullptr), 1);
    EXPECT_EQ(button->GetState(), kButtonHot | kButtonChecked);
    EXPECT_EQ(button->OnLButtonUp(POINT{1, 1}, 0, nullptr), 0) << "the mode sees the release too";
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button->GetState(), kButtonHot);
    button->OnLButtonDown(POINT{1, 1}, 0, nullptr);
    button->OnMouseLeave(POINT{1, 1}, 0, nullptr);
    EXPECT_EQ(button->GetState(), 0u) << "leaving lets a held button go, without a click";
    EXPECT_EQ(clicks, 1);

    button->SetChecked(1);
    button->OnMouseEnter(POINT{1, 1}, 0, nullptr);
    EXPECT_FALSE(button->IsChecked()) << "checked from outside, released on enter";
}

TEST(Button, ToggleButtonFlipsAndClicksOnThePress)
{
    int clicks = 0;
    auto button = Make<Button>();
    button->SetToggle(1);
    button->SetClickCallback(&CountClick, &clicks);
    button->OnLButtonDown(POINT{1, 1}, 0, nullptr);
    EXPECT_TRUE(button->IsChecked());
    EXPECT_EQ(button->OnLButtonUp(POINT{1, 1}, 0, nullptr), 0);
    button->OnLButtonDown(POINT{1, 1}, 0, nullptr);
    EXPECT_FALSE(button->IsChecked());
    EXPECT_EQ(clicks, 2);
    button->OnMouseEnter(POINT{1, 1}, 0, nullptr);
    button->OnLButtonDown(POINT{1, 1}, 0, nullptr);
    button->OnMouseLeave(POINT{1, 1}, 0, nullptr);
    EXPECT_TRUE(button->IsChecked()) << "a toggle keeps its state when the mouse leaves";
}

TEST(Button, DisabledButtonSwallowsPressesAndShowsNoCursorOrHover)
{
    int clicks = 0;
    auto button = Make<Button>();
    auto hover = Make<CountingEffect>();
    auto tip = Make<CountingEffect>();
    button->SetHoverEffect(hover.Get());
    button->SetToolTip(tip.Get());
    button->SetClickCallback(&CountClick, &clicks);
    EXPECT_EQ(button->GetCursorId(nullptr, 0, 0), 0x80007F00u);
    button->SetEnabled(0);
    EXPECT_EQ(button->OnLButtonDown(POINT{1, 1}, 0, nullptr), 1);
    EXPECT_EQ(button->OnLButtonUp(POINT{1, 1}, 0, nullptr), 1);
    EXPECT_EQ(button->GetState(), kButtonDisabled);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(button->GetCursorId(nullptr, 0, 0), 0u);
    EXPECT_EQ(button->GetHoverEffect(), nullptr);
    EXPECT_FALSE(button->SetHot(1));
    button->SetToolTipText(L"Zoom", nullptr);
    button->SetToolTipText(nullptr, L"Fits the view");
    EXPECT_STREQ(button->GetToolTipTitle(), L"Zoom");
    EXPECT_STREQ(button->GetToolTipDescription(), L"Fits the view");
}

TEST(Button, PushButtonInAToolbarThroughTheManager)
{
    TestView view;
    Manager manager(&view);
    manager.OnResize(100, 100);
    int clicks = 0;
    auto toolbar = Make<Stack>();
    auto button = Make<Button>();
    auto icon = Make<Leaf>("icon", 16, 16);
    icon->result = 0;
    button->SetContent(icon.Get());
    button->SetClickCallback(&CountClick, &clicks);
    toolbar->AddChild(button.Get());
    toolbar->SetHorizontalAlignment(kAlignNear);
    toolbar->SetVerticalAlignment(kAlignNear);
    manager.AddGDIControl(toolbar.Get());
    manager.DrawGDI(nullptr);
    EXPECT_EQ(manager.OnMouseMove(POINT{5, 5}, 0), 0) << "the icon does not take moves";
    EXPECT_EQ(button->GetState(), kButtonHot);
    EXPECT_EQ(manager.OnLButtonDown(POINT{5, 5}, MK_LBUTTON), 1);
    EXPECT_EQ(manager.OnLButtonUp(POINT{5, 5}, 0), 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(manager.GetCursorId(1, WM_MOUSEMOVE), 0x80007F00u);
    manager.OnMouseMove(POINT{50, 50}, 0);
    EXPECT_EQ(button->GetState(), 0u);
}

TEST_F(ImageButtons, StateImagesFollowTheStateWithDisabledFirstAndNormalAsFallback)
{
    auto button = MakeButton();
    EXPECT_FALSE(button->AllImagesLoaded()) << "the hot image is missing";
    EXPECT_EQ(Shown(*button), 0xFFFF0000u);
    button->SetHot(1);
    EXPECT_EQ(Shown(*button), 0xFFFF0000u) << "no hot image: the normal one";
    button->SetHot(0);
    button->SetChecked(1);
    EXPECT_EQ(Shown(*button), 0xFF00FF00u);
    button->SetEnabled(0);
    EXPECT_EQ(Shown(*button), 0xFF0000FFu) << "disabled wins over checked";
    EXPECT_STREQ(button->GetClassName(), L"cC_ImageButton");
    EXPECT_EQ(button->GetImageControl()->QueryInterface(IID_IV_Image), nullptr);
}

TEST_F(ImageButtons, ReloadingTheShownImageNeverLeavesADisposedOneOnScreen)
{
    auto button = MakeButton();
    EXPECT_EQ(Shown(*button), 0xFFFF0000u);
    cC_Image<TestView>* image = button->GetImageControl();
    EXPECT_TRUE(image->IsValid());
    EXPECT_TRUE(button->LoadStateImage(kImageNormal, 705, kPng, 255));
    EXPECT_TRUE(image->IsValid()) << "same pixel size: the layout stays";
    EXPECT_EQ(Shown(*button), 0xFFFFFF00u);
    EXPECT_FALSE(button->LoadStateImage(kImageNormal, 799, kPng, 255));
    EXPECT_EQ(button->GetStateImage(kImageNormal), nullptr);
    EXPECT_EQ(image->GetImage(), nullptr) << "the missing image is not shown, and the old one is gone";
    EXPECT_TRUE(button->LoadStateImage(kImageNormal, 706, kPng, 255));
    EXPECT_FALSE(image->IsValid()) << "a new size lays the button out again";
    EXPECT_EQ(image->Measure(nullptr, nullptr).cx, 30);
}

TEST_F(ImageButtons, TheImageControlOutlivesItsButtonWithoutAnImage)
{
    tSafePtr<cC_Image<TestView>> image;
    {
        auto button = MakeButton();
        image = button->GetImageControl();
    }
    EXPECT_EQ(image->GetImage(), nullptr);
    EXPECT_EQ(image->GetParent(), nullptr);
    Canvas32 canvas(4, 4);
    image->Paint(canvas.context.get(), nullptr);
}

TEST_F(ImageButtons, APressedOffsetMovesTheContentOnlyWhenBothComponentsAreSet)
{
    auto button = MakeButton(true);
    for (const auto& [dx, dy, moved] : {std::tuple{1, 1, true}, std::tuple{1, 0, false}})
    {
        button->SetPressedOffset(dx, dy);
        button->SetChecked(1);
        Canvas32 canvas(40, 40);
        const SIZE s = button->Measure(canvas.context.get(), nullptr);
        button->Arrange(canvas.context.get(), &s, nullptr);
        button->Paint(canvas.context.get(), nullptr);
        EXPECT_EQ(canvas.At(0, 0) == 0u, moved);
        EXPECT_EQ(canvas.At(12, 10) == 0xFF00FF00u, moved);
        button->SetChecked(0);
    }
}
