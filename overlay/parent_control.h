// The overlay control that owns an ordered list of children: it keeps them
// alive by reference, paints them in list order (the head lies lowest),
// routes mouse events to the topmost child under the pointer with hover
// tracking, and passes idle updates and dirty rectangles through. Derived
// panels lay the children out (Arrange).
#pragma once

#include "core/linked_list.h"
#include "overlay/screen_control.h"

#include <algorithm>
#include <vector>

template <class TView, class TChildExtra = stC_ChildEmty>
class cParentControl_GDI : public virtual IScreenControl_GDI<TView>
{
public:
    using Control = IScreenControl_GDI<TView>;
    struct stChild
    {
        tSafePtr<Control> control;
        RECT rect{0, 0, 0, 0}; // arranged, in this control's coordinates
        POINT offset{0, 0};    // added to the rectangle's top-left corner
        TChildExtra extra{};
    };
    using Node = tDLLNode<stChild>;
    static constexpr std::uint32_t kChildNodesPerChunk = 8;

    cParentControl_GDI() : m_children(kChildNodesPerChunk) {}
    // Children that outlive this control (a tooltip that buttons also hold)
    // are left without a parent rather than with a dangling one.
    ~cParentControl_GDI() override
    {
        m_hotEntry = nullptr;
        m_hotRef.Reset();
        for (Node* n = m_children.GetHead(); n != nullptr; n = n->next)
        {
            tSafePtr<Control> child = std::move(n->value.control);
            if (child && child->GetParent() == this)
                child->SetParent(nullptr);
        }
        m_children.FreeAll();
    }

    // --- own operations
    // Leaves the hot child; the word is not used.
    virtual void CancelHover(UINT, TView* view) { this->OnMouseLeave(POINT{0, 0}, 0, view); }
    virtual void OnViewSetFocus(CWnd*, TView*) {}
    virtual std::uint32_t GetChildCount() { return m_children.GetCount(); }
    // -1 when the child is already here. A control cannot become a child of
    // itself or of one of its descendants (the invalidation climb would never
    // end): that is refused with -1 too.
    virtual LONG AddChild(Control* child)
    {
        if (child == nullptr || FindEntry(child) != nullptr)
            return -1;
        return InsertBeforeNode(child, nullptr);
    }
    // In front of `before`; null `before` appends. -1 (nothing inserted)
    // when `before` is not a child.
    virtual LONG InsertChildBefore(Control* child, Control* before)
    {
        if (before == nullptr)
            return AddChild(child);
        Node* position = FindEntry(before);
        if (position == nullptr || child == nullptr)
            return -1;
        return InsertBeforeNode(child, position);
    }
    // In front of the child at the index; an index not below the count
    // (unsigned, so every negative index too) appends.
    virtual LONG InsertChildAt(Control* child, LONG index)
    {
        if (static_cast<std::uint32_t>(index) >= m_children.GetCount())
            return AddChild(child);
        Node* position = m_children.GetHead();
        for (LONG i = 0; i < index; ++i)
            position = position->next;
        if (child == nullptr)
            return -1;
        return InsertBeforeNode(child, position);
    }
    // The child's former index, or -1 when it is not a child. The hot child
    // is dropped without a leave.
    virtual LONG RemoveChild(Control* child)
    {
        LONG index = 0;
        Node* n = m_children.GetHead();
        for (; n != nullptr; n = n->next, ++index)
            if (n->value.control.Get() == child)
                break;
        if (n == nullptr || child == nullptr)
            return -1;
        tSafePtr<Control> keep(child);
        if (n == m_hotEntry)
        {
            m_hotEntry = nullptr;
            m_hotRef.Reset();
        }
        child->SetParent(nullptr);
        n->value.control.Reset();
        m_children.Remove(n);
        OnChildrenChanged();
        return index;
    }
    virtual void OnChildrenChanged() { this->Invalidate(); }

    // The topmost visible, enabled child containing the point, with the
    // point in the child's coordinates; null when none.
    Node* ChildFromPoint(POINT p, UINT /*flags*/, POINT* local)
    {
        for (Node* n = m_children.GetTail(); n != nullptr; n = n->previous)
        {
            Control* child = n->value.control.Get();
            if (child == nullptr || !child->IsVisible() || !child->IsInputEnabled())
                continue;
            const POINT origin = Origin(n->value);
            const POINT inChild{SaturatedSub(p.x, origin.x), SaturatedSub(p.y, origin.y)};
            if (child->ContainsPoint(inChild))
            {
                if (local != nullptr)
                    *local = inChild;
                return n;
            }
        }
        return nullptr;
    }
    Node* FindEntry(Control* child) const
    {
        for (Node* n = m_children.GetHead(); n != nullptr; n = n->next)
            if (n->value.control.Get() == child)
                return n;
        return nullptr;
    }
    Node* GetFirstEntry() const { return m_children.GetHead(); }
    Node* GetHotEntry() const { return m_hotEntry; }
    static POINT Origin(const stChild& c)
    {
        return POINT{SaturatedAdd(c.rect.left, c.offset.x), SaturatedAdd(c.rect.top, c.offset.y)};
    }

    // --- IScreenControl
    BOOL OnLButtonDown(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &IScreenControl<TView>::OnLButtonDown); }
    BOOL OnLButtonUp(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &IScreenControl<TView>::OnLButtonUp); }
    BOOL OnLButtonDblClk(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &IScreenControl<TView>::OnLButtonDblClk); }
    BOOL OnMouseMove(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &IScreenControl<TView>::OnMouseMove); }
    BOOL OnRButtonDown(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &IScreenControl<TView>::OnRButtonDown); }
    BOOL OnRButtonUp(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &IScreenControl<TView>::OnRButtonUp); }
    BOOL OnRButtonDblClk(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &IScreenControl<TView>::OnRButtonDblClk); }
    BOOL OnMButtonDown(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &IScreenControl<TView>::OnMButtonDown); }
    BOOL OnMButtonUp(POINT p, UINT f, TView* v) override { return Forward(p, f, v, &IScreenControl<TView>::OnMButtonUp); }
    BOOL GetContextMenu(UINT* menuId, CWnd** target) override
    {
        return IScreenControl<TView>::GetContextMenu(menuId, target);
    }
    void OnMouseEnter(POINT p, UINT flags, TView* view) override
    {
        POINT local{};
        Node* found = ChildFromPoint(p, flags, &local);
        if (found == m_hotEntry)
            return;
        if (m_hotEntry != nullptr)
        {
            const POINT origin = Origin(m_hotEntry->value);
            tSafePtr<Control> old = std::move(m_hotRef);
            m_hotEntry = nullptr;
            old->OnMouseLeave(POINT{SaturatedSub(p.x, origin.x), SaturatedSub(p.y, origin.y)}, flags, view);
        }
        if (found != nullptr)
            MakeHot(found->value.control.Get(), local, flags, view);
    }
    void OnMouseLeave(POINT p, UINT flags, TView* view) override
    {
        if (m_hotEntry == nullptr)
            return;
        const POINT origin = Origin(m_hotEntry->value);
        tSafePtr<Control> old = std::move(m_hotRef);
        m_hotEntry = nullptr;
        old->OnMouseLeave(POINT{SaturatedSub(p.x, origin.x), SaturatedSub(p.y, origin.y)}, flags, view);
    }
    std::uint32_t GetCursorId(TView* view, UINT code, UINT message) override
    {
        return m_hotRef ? m_hotRef->GetCursorId(view, code, message) : 0;
    }
    // Children may add or remove children while they update: the walk runs
    // over the list as it was, skipping controls removed on the way.
    void OnIdleUpdate(TView* view) override
    {
        std::vector<tSafePtr<Control>> children;
        children.reserve(m_children.GetCount());
        for (Node* n = m_children.GetHead(); n != nullptr; n = n->next)
            children.emplace_back(n->value.control.Get());
        for (const tSafePtr<Control>& child : children)
            if (child && child->GetParent() == this && child->IsVisible() && child->IsInputEnabled())
                child->OnIdleUpdate(view);
    }

    // --- IScreenControl_GDI
    Control* HitTest(POINT p, UINT flags, POINT* local) override
    {
        POINT inChild{};
        Node* n = ChildFromPoint(p, flags, &inChild);
        return n != nullptr ? n->value.control->HitTest(inChild, flags, local) : nullptr;
    }
    void Paint(cOverlayContext* context, TView* view) override
    {
        this->Measure(context, view);
        this->RenderBackground(context);
        POINT at{0, 0};
        for (Node* n = m_children.GetHead(); n != nullptr; n = n->next)
        {
            Control* child = n->value.control.Get();
            if (child == nullptr || !child->IsVisible())
                continue;
            const POINT origin = Origin(n->value);
            Translate(context, origin.x - static_cast<float>(at.x), origin.y - static_cast<float>(at.y));
            at = origin;
            child->Paint(context, view);
        }
        Translate(context, -static_cast<float>(at.x), -static_cast<float>(at.y));
    }
    BOOL InvalidateChildRect(RECT r, Control* child) override
    {
        Control* parent = this->GetParent();
        if (parent == nullptr)
            return 0;
        Node* n = FindEntry(child);
        if (n == nullptr)
            return 0;
        const POINT origin = Origin(n->value);
        return parent->InvalidateChildRect(OffsetRectBy(r, origin.x, origin.y), this);
    }
    const wchar_t* GetClassName() override { return L"cParentControl_GDI"; }

protected:
    tDoubleLinkList<stChild>& Children() { return m_children; }

private:
    using Input = IScreenControl<TView>;
    using Handler = BOOL (Input::*)(POINT, UINT, TView*);

    // One insertion step; the result is the new count minus one.
    LONG InsertBeforeNode(Control* child, Node* position)
    {
        for (Control* a = this; a != nullptr; a = a->GetParent())
            if (a == child)
                return -1;
        tSafePtr<Control> hold(child);
        Node* n = m_children.InsertBefore(position);
        if (n == nullptr)
            return static_cast<LONG>(m_children.GetCount()) - 1;
        n->value.control = child;
        n->value.rect = RECT{0, 0, 0, 0};
        n->value.offset = POINT{0, 0};
        n->value.extra = TChildExtra{};
        child->SetParent(this);
        OnChildrenChanged();
        return static_cast<LONG>(m_children.GetCount()) - 1;
    }

    // The event goes to the child under the point first; the hover moves to
    // it afterwards. The child (and this control) stay alive through the
    // call even when the handler removes them from their parents.
    BOOL Forward(POINT p, UINT flags, TView* view, Handler handler)
    {
        tSafePtr<IScreenVisual> self(this->GetRefCount() != 0 ? this : nullptr);
        POINT local = p;
        Node* n = ChildFromPoint(p, flags, &local);
        BOOL result = 0;
        tSafePtr<Control> child(n != nullptr ? n->value.control.Get() : nullptr);
        if (child)
            result = (static_cast<Input*>(child.Get())->*handler)(local, flags, view);
        UpdateHotChild(child ? FindEntry(child.Get()) : nullptr, local, flags, view);
        return result;
    }
    void UpdateHotChild(Node* entry, POINT local, UINT flags, TView* view)
    {
        if (entry == m_hotEntry)
            return;
        tSafePtr<Control> target(entry != nullptr ? entry->value.control.Get() : nullptr);
        if (m_hotEntry != nullptr)
        {
            tSafePtr<Control> old = std::move(m_hotRef);
            m_hotEntry = nullptr;
            old->OnMouseLeave(local, flags, view);
        }
        if (target)
            MakeHot(target.Get(), local, flags, view);
    }
    // The control becomes hot when it is still a child (a leave handler may
    // have removed it).
    void MakeHot(Control* control, POINT local, UINT flags, TView* view)
    {
        Node* entry = FindEntry(control);
        if (entry == nullptr)
            return;
        m_hotEntry = entry;
        m_hotRef = control;
        tSafePtr<Control> keep(control);
        control->OnMouseEnter(local, flags, view);
    }
    static void Translate(cOverlayContext* context, float dx, float dy)
    {
        if (context == nullptr || (dx == 0.0f && dy == 0.0f))
            return;
        context->Check(GdipTranslateWorldTransform(context->GetHandle(), dx, dy, MatrixOrderPrepend));
    }

    tDoubleLinkList<stChild> m_children;
    Node* m_hotEntry = nullptr;
    tSafePtr<Control> m_hotRef;
};
