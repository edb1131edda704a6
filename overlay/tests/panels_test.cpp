#include "support/overlay_test_controls.h"

#include <gtest/gtest.h>

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

template <class Panel> RECT ChildRect(Panel& panel, IScreenControl_GDI<TestView>* child)
{
    auto* n = panel.FindEntry(child);
    EXPECT_NE(n, nullptr);
    const POINT o = Panel::Origin(n->value);
    return RECT{o.x, o.y, o.x + RectWidth(n->value.rect), o.y + RectHeight(n->value.rect)};
}

} // namespace

TEST(StackPanel, EmptyPanelMeasuresItsPaddingRaisedToTheMinimum)
{
    for (LONG orientation : {kStackHorizontal, kStackVertical})
    {
        auto stack = Make<Stack>();
        stack->SetOrientation(orientation);
        stack->SetPaddingLTRB(1, 2, 3, 4);
        const SIZE s = stack->Measure(nullptr, nullptr);
        EXPECT_EQ(s.cx, 4);
        EXPECT_EQ(s.cy, 6);
        stack->SetMinimumSize(10, 5);
        EXPECT_EQ(stack->Measure(nullptr, nullptr).cx, 10);
        EXPECT_EQ(stack->Measure(nullptr, nullptr).cy, 6);
    }
}

TEST(StackPanel, RowMeasuresOuterWidthsWithSpacingAndTheTallestOuterHeight)
{
    auto stack = Make<Stack>();
    auto a = Make<Leaf>("a", 18, 10);
    auto b = Make<Leaf>("b", 30, 12);
    auto c = Make<Leaf>("c", 40, 8);
    a->SetMarginLTRB(1, 0, 1, 0);  // outer 20 x 10
    b->SetMarginLTRB(0, 3, 0, 5);  // outer 30 x 20
    stack->AddChild(a.Get());
    stack->AddChild(b.Get());
    stack->AddChild(c.Get());
    stack->SetSpacing(5);
    stack->SetPaddingLTRB(2, 1, 3, 4);
    const SIZE s = stack->Measure(nullptr, nullptr);
    EXPECT_EQ(s.cx, 2 + 20 + 5 + 30 + 5 + 40 + 3);
    EXPECT_EQ(s.cy, 1 + 20 + 4);

    // Cells at the cursor; the children centre in them by default.
    stack->SetHorizontalAlignment(kAlignNear);
    stack->SetVerticalAlignment(kAlignNear);
    ArrangeIn(*stack, 500, 300);
    ExpectRect(ChildRect(*stack, a.Get()), 3, 6, 21, 16);
    ExpectRect(ChildRect(*stack, b.Get()), 27, 4, 57, 16);
    ExpectRect(ChildRect(*stack, c.Get()), 62, 7, 102, 15);
}

TEST(StackPanel, ColumnStacksDownwardsAndStretchedChildrenTakeTheWidth)
{
    auto stack = Make<Stack>();
    stack->SetOrientation(kStackVertical);
    stack->SetSpacing(3);
    stack->SetPadding(7);
    auto title = Make<Leaf>("t", 50, 12);
    auto text = Make<Leaf>("d", 30, 10);
    title->SetHorizontalAlignment(kAlignStretch);
    stack->AddChild(title.Get());
    stack->AddChild(text.Get());
    const SIZE s = stack->Measure(nullptr, nullptr);
    EXPECT_EQ(s.cx, 7 + 50 + 7);
    EXPECT_EQ(s.cy, 7 + 12 + 3 + 10 + 7);
    const RECT r = ArrangeIn(*stack, s.cx, s.cy);
    ExpectRect(r, 0, 0, 64, 39);
    ExpectRect(ChildRect(*stack, title.Get()), 7, 7, 57, 19);
    ExpectRect(ChildRect(*stack, text.Get()), 17, 22, 47, 32);
}

TEST(StackPanel, HiddenLastChildKeepsItsSpacingInTheMeasureOnly)
{
    auto stack = Make<Stack>();
    stack->SetSpacing(5);
    auto a = Make<Leaf>("a", 20, 10);
    auto b = Make<Leaf>("b", 30, 10);
    stack->AddChild(a.Get());
    stack->AddChild(b.Get());
    stack->SetHorizontalAlignment(kAlignNear);
    ArrangeIn(*stack, 200, 10);
    const RECT before = ChildRect(*stack, a.Get());
    b->SetVisible(0);
    EXPECT_EQ(stack->Measure(nullptr, nullptr).cx, 25);
    ArrangeIn(*stack, 200, 10);
    ExpectRect(ChildRect(*stack, a.Get()), before.left, before.top, before.right, before.bottom);
}

TEST(StackPanel, SameAvailableSizeReturnsTheCacheWithoutTouchingChildren)
{
    auto stack = Make<Stack>();
    auto a = Make<Leaf>("a", 20, 10);
    stack->AddChild(a.Get());
    const RECT first = ArrangeIn(*stack, 100, 40);
    const int arranges = a->arranges;
    const RECT again = ArrangeIn(*stack, 100, 40);
    EXPECT_EQ(a->arranges, arranges);
    ExpectRect(again, first.left, first.top, first.right, first.bottom);
    a->SetMargin(1);
    ArrangeIn(*stack, 100, 40);
    EXPECT_EQ(a->arranges, arranges + 1) << "a child's change clears the panel's cache";
    stack->SetOrientation(7);
    EXPECT_EQ(stack->Measure(nullptr, nullptr).cx, 0) << "an unknown orientation stacks nothing";
}

TEST(ParentControl, InsertionOrderDecidesPaintingAndHitOrder)
{
    auto stack = Make<Stack>();
    auto a = Make<Leaf>("a", 1, 1);
    auto b = Make<Leaf>("b", 1, 1);
    auto c = Make<Leaf>("c", 1, 1);
    auto d = Make<Leaf>("d", 1, 1);
    auto e = Make<Leaf>("e", 1, 1);
    EXPECT_EQ(stack->AddChild(a.Get()), 0);
    EXPECT_EQ(stack->AddChild(b.Get()), 1);
    EXPECT_EQ(stack->AddChild(a.Get()), -1);
    stack->InsertChildAt(c.Get(), 0);
    stack->InsertChildAt(d.Get(), -1);
    EXPECT_EQ(stack->InsertChildBefore(e.Get(), Make<Leaf>("x", 1, 1).Get()), -1);
    stack->InsertChildBefore(e.Get(), b.Get());
    std::vector<std::string> order;
    for (auto* n = stack->GetFirstEntry(); n != nullptr; n = n->next)
        order.push_back(dynamic_cast<Leaf*>(n->value.control.Get())->name);
    EXPECT_EQ(order, (std::vector<std::string>{"c", "a", "e", "b", "d"}));
    EXPECT_EQ(stack->RemoveChild(e.Get()), 2);
    EXPECT_EQ(stack->RemoveChild(e.Get()), -1);
    EXPECT_EQ(e->GetParent(), nullptr);
    EXPECT_EQ(stack->GetChildCount(), 4u);
    EXPECT_EQ(a->GetParent(), static_cast<IScreenControl_GDI<TestView>*>(stack.Get()));
}

TEST(ParentControl, AControlCannotContainItself)
{
    auto outer = Make<Stack>();
    auto inner = Make<Stack>();
    outer->AddChild(inner.Get());
    EXPECT_EQ(inner->AddChild(outer.Get()), -1);
    EXPECT_EQ(outer->AddChild(outer.Get()), -1);
    EXPECT_EQ(inner->GetChildCount(), 0u);
    outer->SetPadding(3); // the climb ends at the root
    EXPECT_FALSE(outer->IsValid());
}

TEST(ParentControl, ChildrenOutlivingTheirParentLoseTheParentPointer)
{
    auto child = Make<Leaf>("a", 10, 10);
    {
        auto stack = Make<Stack>();
        for (int i = 0; i < 20; ++i) // more nodes than one chunk
            stack->AddChild(Make<Leaf>("f", 1, 1).Get());
        stack->AddChild(child.Get());
        EXPECT_EQ(child->GetRefCount(), 2u);
    }
    EXPECT_EQ(child->GetParent(), nullptr);
    EXPECT_EQ(child->GetRefCount(), 1u);
    child->SetVisible(0); // would write through a dangling parent
    child->SetPadding(1);
}

TEST(ParentControl, MoveOntoANeighbourDeliversTheMoveThenLeaveThenEnter)
{
    Log log;
    auto stack = Make<Stack>();
    auto a = Make<Leaf>("a", 20, 10, &log);
    auto b = Make<Leaf>("b", 20, 10, &log);
    stack->AddChild(a.Get());
    stack->AddChild(b.Get());
    stack->SetHorizontalAlignment(kAlignNear);
    stack->SetVerticalAlignment(kAlignNear);
    ArrangeIn(*stack, 100, 10);
    stack->OnMouseMove(POINT{5, 5}, 0, nullptr);
    log.clear();
    EXPECT_EQ(stack->OnMouseMove(POINT{25, 4}, 0, nullptr), 1);
    EXPECT_EQ(log, (Log{"b move 5,4", "a leave 5,4", "b enter 5,4"}));
    log.clear();
    EXPECT_EQ(stack->OnMouseMove(POINT{80, 4}, 0, nullptr), 0);
    EXPECT_EQ(log, (Log{"b leave 80,4"}));
    EXPECT_EQ(stack->GetHotEntry(), nullptr);
}

TEST(ParentControl, HitTestFindsTheDeepestVisibleEnabledChild)
{
    auto outer = Make<Stack>();
    auto inner = Make<Stack>();
    auto deep = Make<Leaf>("deep", 10, 10);
    auto cover = Make<Leaf>("cover", 10, 10);
    inner->AddChild(deep.Get());
    outer->AddChild(inner.Get());
    outer->SetHorizontalAlignment(kAlignNear);
    outer->SetVerticalAlignment(kAlignNear);
    outer->SetPadding(5);
    ArrangeIn(*outer, 100, 100);
    POINT local{};
    EXPECT_EQ(outer->HitTest(POINT{7, 8}, 0, &local), static_cast<IScreenControl_GDI<TestView>*>(deep.Get()));
    EXPECT_EQ(local.x, 2);
    EXPECT_EQ(local.y, 3);
    EXPECT_EQ(outer->HitTest(POINT{2, 2}, 0, &local), nullptr) << "a parent never answers itself";
    deep->SetInputEnabled(0);
    EXPECT_EQ(outer->HitTest(POINT{7, 8}, 0, &local), nullptr);
}

TEST(ParentControl, RemovingTheHotChildSendsNoLeave)
{
    Log log;
    auto stack = Make<Stack>();
    auto a = Make<Leaf>("a", 20, 10, &log);
    stack->AddChild(a.Get());
    ArrangeIn(*stack, 20, 10);
    stack->OnMouseMove(POINT{1, 1}, 0, nullptr);
    EXPECT_EQ(a->GetRefCount(), 3u) << "test, list and hot references";
    log.clear();
    stack->RemoveChild(a.Get());
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(a->GetRefCount(), 1u);
}

TEST(ParentControl, ChildRemovedInsideItsOwnHandlerIsNotTouchedAfterwards)
{
    Log log;
    auto stack = Make<Stack>();
    bool destroyed = false;
    {
        auto a = Make<Leaf>("a", 20, 10, &log);
        a->destroyed = &destroyed;
        Leaf* raw = a.Get();
        a->onPress = [&stack, raw] { stack->RemoveChild(raw); };
        stack->AddChild(a.Get());
    }
    ArrangeIn(*stack, 20, 10);
    EXPECT_EQ(stack->OnLButtonDown(POINT{3, 3}, 0, nullptr), 1);
    EXPECT_TRUE(destroyed) << "freed once the handler returned";
    EXPECT_EQ(stack->GetChildCount(), 0u);
    EXPECT_EQ(stack->GetHotEntry(), nullptr);
}

TEST(ParentControl, DirtyRectanglesClimbMovedByEachOrigin)
{
    class Catcher : public cC_StackPanel<TestView>
    {
    public:
        BOOL InvalidateChildRect(RECT r, IScreenControl_GDI<TestView>*) override
        {
            got = r;
            return 1;
        }
        RECT got{};
    };
    auto catcher = Make<Catcher>();
    auto top = Make<Stack>();
    auto mid = Make<Stack>();
    auto leaf = Make<Leaf>("a", 10, 10);
    catcher->SetHorizontalAlignment(kAlignNear);
    catcher->SetVerticalAlignment(kAlignNear);
    top->SetPaddingLTRB(4, 6, 0, 0);
    mid->SetPaddingLTRB(2, 1, 0, 0);
    mid->AddChild(leaf.Get());
    top->AddChild(mid.Get());
    catcher->AddChild(top.Get());
    ArrangeIn(*catcher, 100, 100);
    EXPECT_EQ(leaf->GetParent()->InvalidateChildRect(RECT{0, 0, 3, 3}, leaf.Get()), 1);
    ExpectRect(catcher->got, 6, 7, 9, 10);
    EXPECT_EQ(mid->InvalidateChildRect(RECT{0, 0, 1, 1}, Make<Leaf>("x", 1, 1).Get()), 0) << "not a child";
    EXPECT_EQ(Make<Stack>()->InvalidateChildRect(RECT{0, 0, 1, 1}, nullptr), 0) << "no parent";
}

TEST(CanvasPanel, ChildrenPlaceThemselvesByAlignmentAndMargin)
{
    auto canvas = Make<Canvas>();
    canvas->SetCanvasSize(800, 600);
    auto bar = Make<Leaf>("bar", 200, 30);
    bar->SetVerticalAlignment(kAlignNear);
    bar->SetMarginLTRB(0, 10, 0, 0);
    canvas->AddChild(bar.Get());
    EXPECT_EQ(canvas->Measure(nullptr, nullptr).cx, 800) << "a canvas measures its set size";
    ArrangeIn(*canvas, 800, 600);
    ExpectRect(ChildRect(*canvas, bar.Get()), 300, 10, 500, 40);
    bar->SetHorizontalAlignment(kAlignFar);
    bar->SetMarginLTRB(0, 10, 5, 0);
    ArrangeIn(*canvas, 800, 600);
    ExpectRect(ChildRect(*canvas, bar.Get()), 595, 10, 795, 40);

    canvas->SetHorizontalAlignment(kAlignAsMeasured);
    ArrangeIn(*canvas, 800, 600);
    auto* n = canvas->FindEntry(bar.Get());
    EXPECT_EQ(n->value.rect.left, 0);
    EXPECT_EQ(n->value.rect.right, 795) << "the right edge stays where the child put it";
    n->value.offset.x = 33;
    POINT local{};
    EXPECT_NE(canvas->ChildFromPoint(POINT{40, 20}, 0, &local), nullptr);
    EXPECT_EQ(local.x, 7);

    bar->SetVisible(0);
    canvas->SetHorizontalAlignment(kAlignCentre);
    ArrangeIn(*canvas, 400, 300);
    EXPECT_EQ(n->value.offset.x, 33) << "a hidden child keeps its entry";
    EXPECT_EQ(canvas->ChildFromPoint(POINT{40, 20}, 0, &local), nullptr);
}

TEST(CanvasPanel, PlaceChildComputesWithoutStoring)
{
    auto canvas = Make<Canvas>();
    auto child = Make<Leaf>("c", 50, 20);
    child->SetHorizontalAlignment(kAlignAsMeasured);
    child->SetVerticalAlignment(kAlignAsMeasured);
    RECT out{};
    canvas->PlaceChild(&out, child.Get(), nullptr, nullptr, RECT{100, 100, 300, 300}, 7, 9);
    ExpectRect(out, 7, 9, 57, 29);
    child->SetHorizontalAlignment(kAlignFar);
    child->SetVerticalAlignment(kAlignCentre);
    child->SetMarginLTRB(0, 0, 10, 0);
    canvas->PlaceChild(&out, child.Get(), nullptr, nullptr, RECT{100, 100, 300, 300}, 7, 9);
    ExpectRect(out, 240, 190, 290, 210);
}
