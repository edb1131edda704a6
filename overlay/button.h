// A push or toggle button of the overlay: a content control with checked,
// hot and disabled states, a click and an idle-update callback, tooltip
// texts, and an optional visual called after it has painted.
#pragma once

#include "overlay/content_control.h"

#include <string>

// {D3380090-25FA-4944-B4BE-FA710D95F90F}
inline constexpr GUID IID_IC_Button = {0xD3380090, 0x25FA, 0x4944, {0xB4, 0xBE, 0xFA, 0x71, 0x0D, 0x95, 0xF9, 0x0F}};

// Something drawn over a button after the button itself.
class IOwnerPaintedVisual : public virtual IRCObject
{
public:
    virtual void OnOwnerPainted(IBase* owner) = 0;
};

// A button's click or idle-update callback: the button (its interface
// query answers the button id) and the context given with the callback.
using tButtonCallback = void (*)(IBase* button, void* context);

enum eButtonState : std::uint32_t
{
    kButtonChecked = 0x1,
    kButtonHot = 0x2,
    kButtonDisabled = 0x4,
};

template <class TView> class cC_Button : public virtual cContentControl_GDI<TView, stC_ChildEmty>
{
public:
    using Control = IScreenControl_GDI<TView>;
    using Callback = tButtonCallback;

    cC_Button() { this->SetCursorId(0x80007F00u); }

    // --- own operations
    virtual void SetChecked(BOOL checked)
    {
        if ((IsChecked() != 0) == (checked != 0))
            return;
        m_state = checked ? (m_state | kButtonChecked) : (m_state & ~kButtonChecked);
        NotifyParent();
    }
    virtual BOOL IsChecked() { return (m_state & kButtonChecked) != 0; }
    virtual void SetToggle(BOOL toggle) { m_toggle = toggle != 0; }
    virtual BOOL IsToggle() { return m_toggle; }
    virtual BOOL IsNotHot() { return (m_state & kButtonHot) == 0; }
    virtual void SetEnabled(BOOL enabled)
    {
        if ((IsEnabled() != 0) == (enabled != 0))
            return;
        m_state = enabled ? (m_state & ~kButtonDisabled) : (m_state | kButtonDisabled);
        NotifyParent();
    }
    virtual BOOL IsEnabled() { return (m_state & kButtonDisabled) == 0; }
    // A held push button is let go whenever the mouse enters or leaves it.
    virtual BOOL SetHot(BOOL hot)
    {
        if (!IsEnabled() || (!IsNotHot()) == (hot != 0))
            return 0;
        m_state = hot ? (m_state | kButtonHot) : (m_state & ~kButtonHot);
        if (!m_toggle)
            m_state &= ~kButtonChecked;
        NotifyParent();
        return 1;
    }
    virtual void SetAttachedVisual(IOwnerPaintedVisual* visual)
    {
        if (visual != m_attached.Get())
            m_attached = visual;
    }
    virtual void SetPressedOffset(LONG x, LONG y) { m_pressedOffset = POINT{x, y}; }
    virtual POINT GetPressedOffset() { return m_pressedOffset; }
    virtual void SetToolTipText(const wchar_t* title, const wchar_t* description)
    {
        if (title != nullptr && m_title != title)
            m_title = title;
        if (description != nullptr && m_description != description)
            m_description = description;
    }
    virtual const wchar_t* GetToolTipTitle() { return m_title.c_str(); }
    virtual const wchar_t* GetToolTipDescription() { return m_description.c_str(); }

    void SetClickCallback(Callback callback, void* context)
    {
        m_click = callback;
        m_clickContext = context;
    }
    void SetUpdateCallback(Callback callback, void* context)
    {
        m_update = callback;
        m_updateContext = context;
    }
    std::uint32_t GetState() const { return m_state; }

    // --- IBase
    void* QueryInterface(const GUID& iid) override
    {
        if (IsEqualInterfaceId(iid, IID_IC_Button))
            return static_cast<cC_Button*>(this);
        if (IsEqualInterfaceId(iid, IID_IScreenVisual))
            return static_cast<IScreenVisual*>(this);
        return nullptr;
    }
    using IBase::QueryInterface;

    // --- IScreenControl
    void OnMouseEnter(POINT p, UINT flags, TView* view) override
    {
        SetHot(1);
        cContentControl_GDI<TView, stC_ChildEmty>::OnMouseEnter(p, flags, view);
    }
    void OnMouseLeave(POINT p, UINT flags, TView* view) override
    {
        SetHot(0);
        cContentControl_GDI<TView, stC_ChildEmty>::OnMouseLeave(p, flags, view);
    }
    BOOL OnLButtonDown(POINT, UINT, TView*) override
    {
        if (!IsEnabled())
            return 1;
        if (!m_toggle)
        {
            SetChecked(1);
            return 1;
        }
        SetChecked(!IsChecked());
        Click();
        return 1;
    }
    // The release also reaches the view's mode (result 0).
    BOOL OnLButtonUp(POINT, UINT, TView*) override
    {
        if (!IsEnabled())
            return 1;
        if (m_toggle)
            return 0;
        SetChecked(0);
        Click();
        return 0;
    }
    std::uint32_t GetCursorId(TView*, UINT, UINT) override { return IsEnabled() ? this->GetCursorWord() : 0; }
    IVEffect* GetHoverEffect() override { return IsEnabled() ? Control::GetHoverEffect() : nullptr; }
    void OnIdleUpdate(TView*) override
    {
        if (m_update != nullptr)
            m_update(static_cast<IBase*>(this), m_updateContext);
    }

    // --- IScreenControl_GDI
    void Paint(cOverlayContext* context, TView* view) override
    {
        const bool shifted = IsChecked() && m_pressedOffset.x != 0 && m_pressedOffset.y != 0;
        if (shifted)
            this->Translate(context, static_cast<float>(m_pressedOffset.x), static_cast<float>(m_pressedOffset.y));
        cContentControl_GDI<TView, stC_ChildEmty>::Paint(context, view);
        if (shifted)
            this->Translate(context, -static_cast<float>(m_pressedOffset.x), -static_cast<float>(m_pressedOffset.y));
        if (tSafePtr<IOwnerPaintedVisual> attached(m_attached.Get()); attached)
            attached->OnOwnerPainted(this);
    }
    const wchar_t* GetClassName() override { return L"cC_Button"; }

protected:
    void NotifyParent()
    {
        if (Control* parent = this->GetParent(); parent != nullptr)
            parent->InvalidateChildRect(this->GetArrangedRect(), this);
    }

private:
    // The callback may destroy the button's holders; the button lives on
    // until it returns.
    void Click()
    {
        if (m_click == nullptr)
            return;
        tSafePtr<IScreenVisual> self(this->GetRefCount() != 0 ? this : nullptr);
        m_click(static_cast<IBase*>(this), m_clickContext);
    }

    tSafePtr<IOwnerPaintedVisual> m_attached;
    POINT m_pressedOffset{0, 0};
    Callback m_click = nullptr;
    void* m_clickContext = nullptr;
    Callback m_update = nullptr;
    void* m_updateContext = nullptr;
    std::uint32_t m_state = 0;
    bool m_toggle = false;
    std::wstring m_title;
    std::wstring m_description;
};
