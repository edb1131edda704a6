// A panel whose size is set from outside (the view's client size) and in
// which every child places itself by its own alignment and margin. The root
// of every view's overlay is one.
#pragma once

#include "overlay/parent_control.h"

template <class TView> class cC_CanvasPanel : public virtual cParentControl_GDI<TView, stC_ChildEmty>
{
public:
    using Parent = cParentControl_GDI<TView, stC_ChildEmty>;
    using Control = IScreenControl_GDI<TView>;
    using Node = typename Parent::Node;

    // Stored as the desired size; nothing is invalidated, the next arrange
    // with a new size places the children again.
    virtual void SetCanvasSize(LONG width, LONG height)
    {
        this->StoreDesired(SIZE{width, height});
        this->Validate();
    }
    // Where a child would lie inside the area: its desired size at (x, y),
    // aligned in the area less its margins by the child's alignment (with
    // the canvas's own margins) where that is not 0. Nothing is stored.
    virtual RECT* PlaceChild(RECT* out, Control* child, cOverlayContext* context, TView* view, const RECT& area,
                             LONG x, LONG y)
    {
        const SIZE c = child->Measure(context, view);
        RECT r{x, y, SaturatedAdd(x, c.cx), SaturatedAdd(y, c.cy)};
        const stOverlayMargins& cm = child->GetMargin();
        const LONG spanLeft = SaturatedAdd(area.left, cm.left), spanRight = SaturatedSub(area.right, cm.right);
        const LONG spanTop = SaturatedAdd(area.top, cm.top), spanBottom = SaturatedSub(area.bottom, cm.bottom);
        const LONG hAlign = child->GetHorizontalAlignment(), vAlign = child->GetVerticalAlignment();
        if (hAlign != kAlignAsMeasured)
        {
            const RECT a = AlignRectInArea(RECT{0, 0, c.cx, 0}, SaturatedSub(spanRight, spanLeft), 0, hAlign,
                                           kAlignAsMeasured, this->m_margin);
            r.left = SaturatedAdd(a.left, spanLeft);
            r.right = SaturatedAdd(a.right, spanLeft);
        }
        if (vAlign != kAlignAsMeasured)
        {
            const RECT a = AlignRectInArea(RECT{0, 0, 0, c.cy}, 0, SaturatedSub(spanBottom, spanTop),
                                           kAlignAsMeasured, vAlign, this->m_margin);
            r.top = SaturatedAdd(a.top, spanTop);
            r.bottom = SaturatedAdd(a.bottom, spanTop);
        }
        if (r.right < r.left)
            r.right = r.left;
        if (r.bottom < r.top)
            r.bottom = r.top;
        if (out != nullptr)
            *out = r;
        return out;
    }

    // A canvas never measures its children.
    SIZE Measure(cOverlayContext*, TView*) override { return this->m_desired; }

    RECT Arrange(cOverlayContext* context, const SIZE* available, TView* view) override
    {
        RECT r{};
        if (this->ArrangeCacheHit(available, &r))
            return r;
        const SIZE size = this->m_desired;
        if (available == nullptr)
            return RECT{0, 0, size.cx, size.cy};
        r = this->AlignInAvailable(size, *available);
        const stOverlayMargins& pad = this->m_padding;
        const SIZE area{ClampToLong(std::max<std::int64_t>(pad.left, std::int64_t{available->cx} - pad.right) -
                                    pad.left),
                        ClampToLong(std::max<std::int64_t>(pad.top, std::int64_t{available->cy} - pad.bottom) -
                                    pad.top)};
        for (Node* n = this->GetFirstEntry(); n != nullptr; n = n->next)
        {
            Control* child = n->value.control.Get();
            if (child == nullptr || !child->IsVisible())
                continue;
            RECT placed = child->Arrange(context, &area, view);
            if (this->m_horizontalAlignment != kAlignAsMeasured)
                n->value.offset.x = 0;
            else
                placed.left = 0;
            if (this->m_verticalAlignment != kAlignAsMeasured)
                n->value.offset.y = 0;
            else
                placed.top = 0;
            n->value.rect = placed;
        }
        this->StoreArrange(*available, r);
        return r;
    }
    const wchar_t* GetClassName() override { return L"cC_CanvasPanel"; }
};
