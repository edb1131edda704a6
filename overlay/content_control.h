// The overlay control with one child, its content: the content is laid out
// inside the padding (less an inset, the width of a border drawn around
// it), painted at its place and receives the mouse events that fall on it.
// Buttons and frames are content controls.
#pragma once

#include "overlay/screen_control.h"

#include <algorithm>

template <class TView, class TChildExtra = stC_ChildEmty>
class cContentControl_GDI : public virtual IScreenControl_GDI<TView>
{
public:
    using Control = IScreenControl_GDI<TView>;

    ~cContentControl_GDI() override
    {
        m_hotContent.Reset();
        if (tSafePtr<Control> content = std::move(m_content); content && content->GetParent() == this)
            content->SetParent(nullptr);
    }

    // --- own operations
    virtual void SetContent(Control* content)
    {
        if (content == m_content.Get())
            return;
        if (m_content)
        {
            if (m_content.Get() == m_hotContent.Get())
                m_hotContent.Reset();
            m_content->SetParent(nullptr);
        }
        m_content = content;
        if (content != nullptr)
        {
            content->SetVerticalAlignment(m_contentVerticalAlignment);
            content->SetHorizontalAlignment(m_contentHorizontalAlignment);
            content->SetParent(this);
        }
    }
    virtual std::uint32_t GetContentCursorId(TView* view, UINT code, UINT message)
    {
        return m_hotContent ? m_hotContent->GetCursorId(view, code, message) : this->GetCursorWord();
    }
    virtual void ContentReserved1() {}
    virtual void ContentReserved2() {}
    virtual BOOL HasContent() { return m_content ? 1 : 0; }

    Control* GetContent() const { return m_content.Get(); }
    Control* GetHotContent() const { return m_hotContent.Get(); }
    RECT GetContentRect() const { return m_contentRect; }
    POINT GetContentOrigin() const
    {
        return POINT{SaturatedAdd(m_contentRect.left, m_contentOffset.x),
                     SaturatedAdd(m_contentRect.top, m_contentOffset.y)};
    }
    void SetInset(LONG inset)
    {
        if (inset != m_inset)
        {
            m_inset = inset;
            this->Invalidate();
        }
    }
    LONG GetInset() const { return m_inset; }
    void SetNoBackground(bool noBackground) { m_noBackground = noBackground; }

    // --- IScreenControl
    BOOL OnLButtonDown(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &Input::OnLButtonDown); }
    BOOL OnLButtonUp(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &Input::OnLButtonUp); }
    BOOL OnLButtonDblClk(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &Input::OnLButtonDblClk); }
    BOOL OnMouseMove(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &Input::OnMouseMove); }
    BOOL OnRButtonDown(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &Input::OnRButtonDown); }
    BOOL OnRButtonUp(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &Input::OnRButtonUp); }
    BOOL OnRButtonDblClk(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &Input::OnRButtonDblClk); }
    BOOL OnMButtonDown(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &Input::OnMButtonDown); }
    BOOL OnMButtonUp(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &Input::OnMButtonUp); }
    BOOL OnMouseWheel(UINT, short, POINT, TView*) override { return 0; }
    void OnMouseEnter(POINT p, UINT flags, TView* view) override
    {
        Control::OnMouseEnter(p, flags, view);
        POINT local{};
        Control* found = FindContent(p, &local);
        if (found == m_hotContent.Get())
            return;
        LeaveHotContent(p, flags, view);
        if (found != nullptr)
        {
            m_hotContent = found;
            tSafePtr<Control> keep(found);
            found->OnMouseEnter(local, flags, view);
        }
    }
    void OnMouseLeave(POINT p, UINT flags, TView* view) override
    {
        Control::OnMouseLeave(p, flags, view);
        LeaveHotContent(p, flags, view);
    }
    std::uint32_t GetCursorId(TView* view, UINT code, UINT message) override
    {
        return m_hotContent ? m_hotContent->GetCursorId(view, code, message) : 0;
    }
    void OnIdleUpdate(TView* view) override
    {
        if (tSafePtr<Control> content(m_content.Get()); content && content->IsVisible())
            content->OnIdleUpdate(view);
    }

    // --- IScreenControl_GDI
    Control* HitTest(POINT p, UINT flags, POINT* local) override
    {
        POINT inContent{};
        Control* found = FindContent(p, &inContent);
        return found != nullptr ? found->HitTest(inContent, flags, local) : nullptr;
    }
    BOOL InvalidateChildRect(RECT r, Control* child) override
    {
        Control* parent = this->GetParent();
        if (parent == nullptr || child == nullptr || child != m_content.Get())
            return 0;
        const POINT origin = GetContentOrigin();
        return parent->InvalidateChildRect(OffsetRectBy(r, origin.x, origin.y), this);
    }
    // The content's outer size plus padding and twice the inset.
    SIZE Measure(cOverlayContext* context, TView* view) override
    {
        if (this->IsValid())
            return this->m_desired;
        std::int64_t cw = 0, ch = 0;
        if (Control* content = m_content.Get(); content != nullptr && content->IsVisible())
        {
            const SIZE c = content->Measure(context, view);
            const stOverlayMargins& m = content->GetMargin();
            cw = std::int64_t{c.cx} + m.left + m.right;
            ch = std::int64_t{c.cy} + m.top + m.bottom;
        }
        const stOverlayMargins& pad = this->m_padding;
        const SIZE size{ClampToLong(cw + pad.right + pad.left + 2 * std::int64_t{m_inset}),
                        ClampToLong(ch + pad.bottom + pad.top + 2 * std::int64_t{m_inset})};
        this->StoreDesired(RaiseToMinimum(size, this->m_minimum));
        this->Validate();
        return this->m_desired;
    }
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
        RECT area{pad.left, pad.top, std::max(pad.left, SaturatedSub(aw, pad.right)),
                  std::max(pad.top, SaturatedSub(ah, pad.bottom))};
        if (m_inset != 0)
        {
            area = RECT{SaturatedAdd(area.left, m_inset), SaturatedAdd(area.top, m_inset),
                        SaturatedSub(area.right, m_inset), SaturatedSub(area.bottom, m_inset)};
            area.right = std::max(area.right, area.left);
            area.bottom = std::max(area.bottom, area.top);
        }
        if (Control* content = m_content.Get(); content != nullptr && content->IsVisible())
        {
            const SIZE areaSize{RectWidth(area), RectHeight(area)};
            m_contentRect = OffsetRectBy(content->Arrange(context, &areaSize, view), area.left, area.top);
        }
        else
            m_contentRect = r;
        m_contentOffset = POINT{0, 0};
        this->StoreArrange(*available, r);
        return r;
    }
    void Paint(cOverlayContext* context, TView* view) override
    {
        Measure(context, view);
        if (!m_noBackground)
            this->RenderBackground(context);
        Control* content = m_content.Get();
        if (content == nullptr || !content->IsVisible())
            return;
        const POINT origin = GetContentOrigin();
        Translate(context, static_cast<float>(origin.x), static_cast<float>(origin.y));
        content->Paint(context, view);
        Translate(context, -static_cast<float>(origin.x), -static_cast<float>(origin.y));
    }
    const wchar_t* GetClassName() override { return L"cContentControl_GDI"; }

protected:
    static void Translate(cOverlayContext* context, float dx, float dy)
    {
        if (context != nullptr && (dx != 0.0f || dy != 0.0f))
            context->Check(GdipTranslateWorldTransform(context->GetHandle(), dx, dy, MatrixOrderPrepend));
    }

    LONG m_contentHorizontalAlignment = kAlignCentre;
    LONG m_contentVerticalAlignment = kAlignCentre;

private:
    using Input = IScreenControl<TView>;
    using Handler = BOOL (Input::*)(POINT, UINT, TView*);

    // The content when it is visible, enabled and under the point, with the
    // point in its coordinates.
    Control* FindContent(POINT p, POINT* local)
    {
        Control* content = m_content.Get();
        if (content == nullptr || !content->IsVisible() || !content->IsInputEnabled())
            return nullptr;
        const POINT origin = GetContentOrigin();
        const POINT inContent{SaturatedSub(p.x, origin.x), SaturatedSub(p.y, origin.y)};
        if (!content->ContainsPoint(inContent))
            return nullptr;
        *local = inContent;
        return content;
    }
    // The content handles the event first; the hover moves afterwards. The
    // content stays alive through its handler even when it is replaced
    // there.
    BOOL Forward(POINT p, UINT flags, TView* view, Handler handler)
    {
        tSafePtr<IScreenVisual> self(this->GetRefCount() != 0 ? this : nullptr);
        POINT local = p;
        tSafePtr<Control> found(FindContent(p, &local));
        BOOL result = 0;
        if (found)
            result = (static_cast<Input*>(found.Get())->*handler)(local, flags, view);
        Control* stillFound = found && found.Get() == m_content.Get() ? found.Get() : nullptr;
        if (stillFound != m_hotContent.Get())
        {
            if (tSafePtr<Control> old = std::move(m_hotContent); old)
                old->OnMouseLeave(local, flags, view);
            if (stillFound != nullptr && stillFound == m_content.Get())
            {
                m_hotContent = stillFound;
                stillFound->OnMouseEnter(local, flags, view);
            }
        }
        return result;
    }
    void LeaveHotContent(POINT p, UINT flags, TView* view)
    {
        tSafePtr<Control> old = std::move(m_hotContent);
        if (!old)
            return;
        const POINT origin = GetContentOrigin();
        old->OnMouseLeave(POINT{SaturatedSub(p.x, origin.x), SaturatedSub(p.y, origin.y)}, flags, view);
    }

    tSafePtr<Control> m_content;
    RECT m_contentRect{0, 0, 0, 0};
    POINT m_contentOffset{0, 0};
    tSafePtr<Control> m_hotContent;
    LONG m_inset = 0;
    bool m_noBackground = false;
};
