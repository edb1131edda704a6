#include "support/overlay_test_controls.h"

#include <gtest/gtest.h>

#include <climits>

using namespace overlaytest;

namespace
{

void ExpectRect(const RECT& r, LONG l, LONG t, LONG rr, LONG b)
{
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rr);
    EXPECT_EQ(r.bottom, b);
}

RECT ArrangeIn(IScreenControl_GDI<TestView>& c, LONG w, LONG h)
{
    const SIZE available{w, h};
    return c.Arrange(nullptr, &available, nullptr);
}

} // namespace

TEST(OverlayAlignment, EachCodePlacesA40By20ControlIn100By50)
{
    auto leaf = Make<Leaf>("a", 40, 20);
    ExpectRect(ArrangeIn(*leaf, 100, 50), 30, 15, 70, 35);
    leaf->SetMarginLTRB(10, 0, 0, 0);
    ExpectRect(ArrangeIn(*leaf, 100, 50), 35, 15, 75, 35);
    leaf->SetMargin(0);
    leaf->SetHorizontalAlignment(kAlignStretch);
    leaf->SetVerticalAlignment(kAlignStretch);
    ExpectRect(ArrangeIn(*leaf, 100, 50), 0, 0, 100, 50);
    leaf->SetHorizontalAlignment(kAlignFar);
    leaf->SetVerticalAlignment(kAlignFar);
    ExpectRect(ArrangeIn(*leaf, 100, 50), 60, 30, 100, 50);
    leaf->SetHorizontalAlignment(kAlignNear);
    leaf->SetVerticalAlignment(kAlignNear);
    leaf->SetMarginLTRB(3, 4, 0, 0);
    ExpectRect(ArrangeIn(*leaf, 100, 50), 3, 4, 43, 24);
}

TEST(OverlayAlignment, NarrowAreasGiveNegativeCentringAndNeverANegativeStretch)
{
    auto leaf = Make<Leaf>("a", 40, 20);
    ExpectRect(ArrangeIn(*leaf, 30, 10), -5, -5, 35, 15);
    leaf->SetHorizontalAlignment(kAlignStretch);
    leaf->SetVerticalAlignment(kAlignStretch);
    leaf->SetMarginLTRB(20, 8, 20, 8);
    ExpectRect(ArrangeIn(*leaf, 30, 10), 20, 8, 20, 8);
}

TEST(OverlayAlignment, ExtremeSizesSaturateInsteadOfWrapping)
{
    const stOverlayMargins huge{INT_MAX, INT_MAX, INT_MAX, INT_MAX};
    const RECT centred = AlignRectInArea(RECT{0, 0, INT_MAX, INT_MAX}, INT_MIN, INT_MIN, kAlignCentre, kAlignCentre, huge);
    EXPECT_LE(centred.left, centred.right);
    EXPECT_LE(centred.top, centred.bottom);
    const RECT far = AlignRectInArea(RECT{0, 0, 0, 0}, INT_MAX, INT_MAX, kAlignFar, kAlignFar,
                                     stOverlayMargins{INT_MIN, INT_MIN, INT_MIN, INT_MIN});
    EXPECT_EQ(far.left, INT_MAX);
    EXPECT_EQ(far.right, INT_MAX);
    // An unknown code keeps the measured position.
    ExpectRect(AlignRectInArea(RECT{7, 9, 17, 19}, 100, 100, 9, -1, stOverlayMargins{}), 7, 9, 17, 19);
    EXPECT_EQ(SaturatedAdd(INT_MAX, 1), INT_MAX);
    EXPECT_EQ(SaturatedSub(INT_MIN, 1), INT_MIN);
}

TEST(OverlayControl, PaddingSettersOrderAndInvalidateOnlyOnChange)
{
    auto leaf = Make<Leaf>("a", 10, 10);
    leaf->SetPaddingHV(3, 5);
    EXPECT_EQ(leaf->GetPaddingLeft(), 3);
    EXPECT_EQ(leaf->GetPaddingRight(), 3);
    EXPECT_EQ(leaf->GetPaddingTop(), 5);
    EXPECT_EQ(leaf->GetPaddingBottom(), 5);
    EXPECT_EQ(leaf->Measure(nullptr, nullptr).cx, 16);
    EXPECT_TRUE(leaf->IsValid());
    leaf->SetPaddingHV(3, 5);
    leaf->SetMargin(0);
    leaf->SetHorizontalAlignment(kAlignCentre);
    EXPECT_TRUE(leaf->IsValid()) << "same values: still valid";
    leaf->SetMarginLTRB(1, 2, 3, 4);
    EXPECT_FALSE(leaf->IsValid());
    EXPECT_EQ(leaf->GetMarginLeft(), 1);
    EXPECT_EQ(leaf->GetMarginTop(), 2);
    EXPECT_EQ(leaf->GetMarginRight(), 3);
    EXPECT_EQ(leaf->GetMarginBottom(), 4);
}

TEST(OverlayControl, ContainsPointOnlyInsideTheArrangedRectangleOfAValidControl)
{
    auto leaf = Make<Leaf>("a", 40, 20);
    ArrangeIn(*leaf, 100, 50);
    EXPECT_TRUE(leaf->ContainsPoint(POINT{39, 0}));
    EXPECT_FALSE(leaf->ContainsPoint(POINT{40, 0}));
    EXPECT_FALSE(leaf->ContainsPoint(POINT{0, 20}));
    EXPECT_FALSE(leaf->ContainsPoint(POINT{-1, 5}));
    leaf->Invalidate();
    EXPECT_FALSE(leaf->ContainsPoint(POINT{1, 1})) << "nothing is hit until the next layout";
}

TEST(OverlayControl, MinimumSizeInvalidatesOnlyWhenTheDesiredSizeFallsShort)
{
    auto leaf = Make<Leaf>("a", 40, 20);
    leaf->Measure(nullptr, nullptr);
    leaf->SetMinimumSize(30, 10);
    EXPECT_TRUE(leaf->IsValid());
    leaf->SetMinimumSize(50, 10);
    EXPECT_FALSE(leaf->IsValid());
    EXPECT_EQ(leaf->Measure(nullptr, nullptr).cx, 50);
    leaf->SetMinimumSize(0, 0);
    EXPECT_EQ(leaf->Measure(nullptr, nullptr).cx, 50) << "a lower minimum waits for the next invalidation";
}

TEST(OverlayControl, InvalidationClimbsToTheRootAndClearsEveryArrangeCache)
{
    auto root = Make<Stack>();
    auto middle = Make<Stack>();
    auto leaf = Make<Leaf>("leaf", 10, 10);
    root->AddChild(middle.Get());
    middle->AddChild(leaf.Get());
    ArrangeIn(*root, 200, 100);
    ASSERT_TRUE(root->IsValid() && middle->IsValid() && leaf->IsValid());
    EXPECT_EQ(root->GetCachedAvailableSize().cx, 200);
    leaf->SetPadding(2);
    EXPECT_FALSE(middle->IsValid());
    EXPECT_FALSE(root->IsValid());
    EXPECT_EQ(root->GetCachedAvailableSize().cx, kNoCachedSize);
    EXPECT_EQ(middle->GetCachedAvailableSize().cy, kNoCachedSize);

    ArrangeIn(*root, 200, 100);
    leaf->SetVisible(0);
    EXPECT_TRUE(leaf->IsValid()) << "hiding changes the parent's layout, not the child's";
    EXPECT_FALSE(middle->IsValid());
    EXPECT_FALSE(root->IsValid());
}

TEST(OverlayControl, ReplacingAnEffectReleasesTheOldOneAndEnterShowsOnlyWhileEnabled)
{
    auto leaf = Make<Leaf>("a", 10, 10);
    auto first = Make<CountingEffect>();
    auto second = Make<CountingEffect>();
    leaf->SetHoverEffect(first.Get());
    leaf->SetHoverEffect(first.Get());
    EXPECT_EQ(first->GetRefCount(), 2u);
    leaf->SetHoverEffect(second.Get());
    EXPECT_EQ(first->GetRefCount(), 1u);
    leaf->SetToolTip(second.Get());
    leaf->OnMouseEnter(POINT{1, 1}, 0, nullptr);
    EXPECT_EQ(second->shows, 2);
    EXPECT_EQ(second->lastOwner, static_cast<IBase*>(leaf.Get()));
    leaf->SetInputEnabled(0);
    leaf->OnMouseEnter(POINT{1, 1}, 0, nullptr);
    EXPECT_EQ(second->shows, 2);
    leaf->OnMouseLeave(POINT{1, 1}, 0, nullptr);
    EXPECT_EQ(second->hides, 2) << "leave hides both, enabled or not";
}

// A control that keeps the interface's measure and measures again from its
// own arrange: the nested measure must not recurse.
class SelfMeasuring : public virtual IScreenControl_GDI<TestView>
{
public:
    RECT Arrange(cOverlayContext* c, const SIZE*, TestView* v) override
    {
        const SIZE s = Measure(c, v);
        return RECT{0, 0, s.cx + 12, s.cy + 7};
    }
};

TEST(OverlayControl, BaseMeasureOverAnArrangeThatMeasuresEnds)
{
    auto control = Make<SelfMeasuring>();
    const SIZE s = control->Measure(nullptr, nullptr);
    EXPECT_EQ(s.cx, 12);
    EXPECT_EQ(s.cy, 7);
    EXPECT_TRUE(control->IsValid());
}

TEST(OverlayControl, IdentityIsUniqueAndTheInterfacesLeadToOneObject)
{
    auto a = Make<Leaf>("a", 1, 1);
    auto b = Make<Leaf>("b", 1, 1);
    EXPECT_FALSE(IsEqualInterfaceId(a->GetIdentity(), b->GetIdentity()));
    IScreenControl<TestView>* input = a.Get();
    IScreenVisual* visual = a.Get();
    EXPECT_EQ(input->GetGDIControl(), static_cast<IScreenControl_GDI<TestView>*>(a.Get()));
    input->SetVisible(0);
    EXPECT_FALSE(visual->IsVisible()) << "one visible flag whichever interface sets it";
    EXPECT_EQ(static_cast<IScreenVisual*>(input), visual);
    EXPECT_EQ(a->QueryInterface(IID_IBase), nullptr);
    EXPECT_STREQ(a->GetClassName(), L"IScreenControl_GDI");
}

TEST(OverlayBackground, OnlyAVisibleAlphaPaints)
{
    cGdiplusGuard guard;
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(8, 8, 0, PixelFormat32bppARGB, nullptr, &bitmap), Ok);
    GpGraphics* graphics = nullptr;
    ASSERT_EQ(GdipGetImageGraphicsContext(bitmap, &graphics), Ok);
    cOverlayContext context(graphics, nullptr);
    auto leaf = Make<Leaf>("a", 4, 4);
    leaf->SetHorizontalAlignment(kAlignNear);
    leaf->SetVerticalAlignment(kAlignNear);
    ArrangeIn(*leaf, 8, 8);
    ARGB pixel = 0;
    leaf->SetBackColour(0x00FFFFFFu);
    leaf->RenderBackground(&context);
    GdipBitmapGetPixel(bitmap, 1, 1, &pixel);
    EXPECT_EQ(pixel, 0u);
    leaf->SetBackColour(0xFF00FF00u);
    leaf->RenderBackground(&context);
    GdipBitmapGetPixel(bitmap, 3, 3, &pixel);
    EXPECT_EQ(pixel, 0xFF00FF00u);
    GdipBitmapGetPixel(bitmap, 4, 3, &pixel);
    EXPECT_EQ(pixel, 0u) << "the fill covers the arranged size only";
    EXPECT_EQ(context.GetLastStatus(), Ok);
    GdipDeleteGraphics(graphics);
    GdipDisposeImage(bitmap);
}
