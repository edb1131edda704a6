// A panel that stacks its children in one row (orientation 1) or one
// column (orientation 0) with a fixed spacing between neighbours; the view
// toolbars are stack panels.
#pragma once

#include "overlay/parent_control.h"

enum eStackOrientation : LONG
{
    kStackVertical = 0,
    kStackHorizontal = 1,
};

template <class TView> class cC_StackPanel : public virtual cParentControl_GDI<TView, stC_ChildEmty>
{
public:
    using Parent = cParentControl_GDI<TView, stC_ChildEmty>;
    using Control = IScreenControl_GDI<TView>;
    using Node = typename Parent::Node;

    virtual void SetOrientation(LONG orientation)
    {
        if (orientation != m_orientation)
        {
            m_orientation = orientation;
            this->Invalidate();
        }
    }
    virtual LONG GetOrientation() { return m_orientation; }
    virtual LONG GetSpacing() { return m_spacing; }
    virtual void SetSpacing(LONG spacing)
    {
        if (spacing != m_spacing)
        {
            m_spacing = spacing;
            this->Invalidate();
        }
    }

    // The children's outer sizes side by side (or one above the other), a
    // spacing after every child that has a following node, visible or not,
    // plus the padding. An unknown orientation stacks nothing.
    SIZE Measure(cOverlayContext* context, TView* view) override
    {
        if (this->IsValid())
            return this->m_desired;
        const stOverlayMargins& pad = this->m_padding;
        std::int64_t width = pad.left, height = pad.top, cross = 0;
        for (Node* n = this->GetFirstEntry(); n != nullptr; n = n->next)
        {
            Control* child = n->value.control.Get();
            if (child == nullptr || !child->IsVisible())
                continue;
            const SIZE c = child->Measure(context, view);
            const stOverlayMargins& m = child->GetMargin();
            std::int64_t outerW = std::int64_t{c.cx} + m.left + m.right;
            std::int64_t outerH = std::int64_t{c.cy} + m.top + m.bottom;
            if (m_orientation == kStackHorizontal)
            {
                if (n->next != nullptr)
                    outerW += m_spacing;
                width += outerW;
                cross = std::max(cross, outerH);
            }
            else if (m_orientation == kStackVertical)
            {
                if (n->next != nullptr)
                    outerH += m_spacing;
                height += outerH;
                cross = std::max(cross, outerW);
            }
        }
        if (m_orientation == kStackHorizontal)
        {
            height = std::int64_t{pad.top} + pad.bottom + cross;
            width += pad.right;
        }
        else if (m_orientation == kStackVertical)
        {
            width = std::int64_t{pad.right} + pad.left + cross;
            height += pad.bottom;
        }
        const SIZE size = RaiseToMinimum(SIZE{ClampToLong(width), ClampToLong(height)}, this->m_minimum);
        this->StoreDesired(size);
        this->Validate();
        return size;
    }

    // Each visible child gets a cell as long as its outer size along the
    // stack and as wide as the panel (less padding) across it; the cursor
    // moves on by the cell and the spacing.
    RECT Arrange(cOverlayContext* context, const SIZE* available, TView* view) override
    {
        RECT r{};
        if (this->ArrangeCacheHit(available, &r))
            return r;
        const SIZE desired = Measure(context, view);
        if (available == nullptr)
            return RECT{0, 0, desired.cx, desired.cy};
        r = this->AlignInAvailable(desired, *available);
        const LONG aw = RectWidth(r), ah = RectHeight(r);
        const stOverlayMargins& pad = this->m_padding;
        LONG x = pad.left, y = pad.top;
        for (Node* n = this->GetFirstEntry(); n != nullptr; n = n->next)
        {
            Control* child = n->value.control.Get();
            if (child == nullptr || !child->IsVisible())
                continue;
            const SIZE c = child->Measure(context, view);
            const stOverlayMargins& m = child->GetMargin();
            SIZE cell{};
            if (m_orientation == kStackHorizontal)
                cell = SIZE{ClampToLong(std::int64_t{c.cx} + m.right + m.left),
                            ClampToLong(std::int64_t{ah} - pad.bottom - pad.top)};
            else
                cell = SIZE{ClampToLong(std::int64_t{aw} - pad.right - pad.left),
                            ClampToLong(std::int64_t{c.cy} + m.bottom + m.top)};
            const RECT placed = child->Arrange(context, &cell, view);
            n->value.rect = OffsetRectBy(placed, x, y);
            n->value.offset = POINT{0, 0};
            if (m_orientation == kStackHorizontal)
                x = ClampToLong(std::int64_t{x} + cell.cx + m_spacing);
            else
                y = ClampToLong(std::int64_t{y} + cell.cy + m_spacing);
        }
        this->StoreArrange(*available, r);
        return r;
    }
    const wchar_t* GetClassName() override { return L"cC_StackPanel"; }

private:
    LONG m_orientation = kStackHorizontal;
    LONG m_spacing = 0;
};
