// The three interfaces every overlay control is built on:
//  - IScreenVisual: something that can be shown (visible and valid flags,
//    colours, a mode word);
//  - IScreenControl<TView>: something that takes mouse and key input in its
//    own coordinates;
//  - IScreenControl_GDI<TView>: a control drawn through GDI+ inside a
//    retained layout tree (parent, padding, margin, alignment, measure and
//    arrange, painting, hit testing, cursor, hover and tooltip effects).
// All bases are virtual, so one control object holds one count, one set of
// flags and one input state whichever interface reaches it. Every operation
// that needs the view gets it as its last argument.
#pragma once

#include "core/base.h"
#include "core/rc_object.h"
#include "overlay/overlay_layout.h"
#include "overlay/screen_effect.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win32/guid.h"
#include "render/gdiplus_graphics.h"

#include <cstdint>
#include <string>

class CWnd;

// The drawing context of an overlay pass: the GDI+ graphics, the last
// failing status and (at the root) the area collector.
using cOverlayContext = cGdiplusGraphics;

// {70D0B9E9-828F-40D2-8DE4-5D7F022AF1E5}
inline constexpr GUID IID_IScreenVisual = {0x70D0B9E9, 0x828F, 0x40D2, {0x8D, 0xE4, 0x5D, 0x7F, 0x02, 0x2A, 0xF1, 0xE5}};

// No extra per-child data in a container's child entries.
struct stC_ChildEmty
{
};

// 0x80000001 in both components: no available size is cached.
inline constexpr LONG kNoCachedSize = static_cast<LONG>(0x80000001u);

class IScreenVisual : public virtual cRCObject<IBase>
{
public:
    // Controls without an interface query of their own answer no id.
    void* QueryInterface(const GUID&) override { return nullptr; }
    using IBase::QueryInterface;

    virtual BOOL IsVisible() { return m_visible; }
    virtual void SetVisible(BOOL visible) { m_visible = visible; }
    virtual void Invalidate() { m_valid = 0; }
    virtual BOOL IsValid() { return m_valid; }
    virtual void Validate() { m_valid = 1; }
    virtual ARGB SetForeColour(ARGB colour) { return m_foreColour = colour; }
    virtual ARGB GetForeColour() { return m_foreColour; }
    virtual ARGB SetBackColour(ARGB colour) { return m_backColour = colour; }
    virtual ARGB GetBackColour() { return m_backColour; }
    virtual void SetVisualMode(std::uint32_t mode) { m_visualMode = mode; }
    virtual std::uint32_t GetVisualMode() { return m_visualMode; }

protected:
    std::int32_t m_visible = 1;
    std::int32_t m_valid = 0;
    ARGB m_foreColour = 0xFFFFFFFFu;
    ARGB m_backColour = 0;
    std::uint32_t m_visualMode = 0;
};

template <class TView> class IScreenControl_GDI;

template <class TView> class IScreenControl : public virtual IScreenVisual, public virtual cRCObject<IBase>
{
public:
    virtual BOOL ContainsPoint(POINT) { return 0; }
    virtual std::uint32_t IsInputEnabled() { return m_inputEnabled; }
    virtual void SetInputEnabled(std::uint32_t enabled) { m_inputEnabled = enabled; }

    virtual BOOL OnLButtonDown(POINT, UINT, TView*) { return 0; }
    virtual BOOL OnLButtonUp(POINT, UINT, TView*) { return 0; }
    virtual BOOL OnLButtonDblClk(POINT, UINT, TView*) { return 0; }
    virtual BOOL OnMouseMove(POINT, UINT, TView*) { return 0; }
    virtual BOOL OnRButtonDown(POINT, UINT, TView*) { return 0; }
    virtual BOOL OnRButtonUp(POINT, UINT, TView*) { return 0; }
    virtual BOOL OnRButtonDblClk(POINT, UINT, TView*) { return 0; }
    virtual BOOL OnMButtonDown(POINT, UINT, TView*) { return 0; }
    virtual BOOL OnMButtonUp(POINT, UINT, TView*) { return 0; }
    virtual BOOL OnMouseWheel(UINT, short, POINT, TView*) { return 0; }
    // A menu resource id and the window for its commands (null: the main
    // window); 0 when the control has no menu.
    virtual BOOL GetContextMenu(UINT* menuId, CWnd** target)
    {
        if (menuId != nullptr)
            *menuId = 0;
        if (target != nullptr)
            *target = nullptr;
        return 0;
    }
    virtual BOOL OnKeyMessage(UINT /*key*/, UINT /*repeat*/, UINT /*keyFlags*/, TView*) { return 0; }
    virtual BOOL Reserved1() { return 0; }
    virtual BOOL Reserved2() { return 0; }
    virtual BOOL Reserved3() { return 0; }
    virtual BOOL Reserved4() { return 0; }
    virtual BOOL OnKeyMessageEx(UINT, UINT, TView*) { return 0; }
    virtual void OnKillFocus(CWnd* /*gaining*/) {}
    virtual void OnSetFocus(CWnd* /*losing*/) {}
    virtual void OnMouseEnter(POINT, UINT, TView*) {}
    virtual void OnMouseLeave(POINT, UINT, TView*) {}
    // A cursor word: 0 none; top bit set: the system cursor of the low 16
    // bits; otherwise a cursor resource of the plug-in.
    virtual std::uint32_t GetCursorId(TView*, UINT /*hitTest*/, UINT /*mouseMessage*/) { return 0; }
    // The same object's layout interface (null for objects outside the GDI
    // tree).
    virtual IScreenControl_GDI<TView>* GetGDIControl() = 0;
    virtual void OnIdleUpdate(TView*) {}
    virtual void ReservedIdle() {}
    // The manager forgets this control while it has the keyboard focus.
    virtual void OnFocusReleased() {}

protected:
    std::uint32_t m_inputEnabled = 1;
};

template <class TView> class IScreenControl_GDI : public virtual IScreenControl<TView>,
                                                  public virtual IScreenVisual,
                                                  public virtual cRCObject<IBase>
{
public:
    IScreenControl_GDI()
    {
        CoCreateGuid(&m_identity);
        ResetLayout();
    }
    IScreenControl_GDI(const IScreenControl_GDI&) = delete;
    IScreenControl_GDI& operator=(const IScreenControl_GDI&) = delete;

    // --- IScreenVisual
    // Showing or hiding changes the parent's layout, not this control's.
    void SetVisible(BOOL visible) override
    {
        if ((visible != 0) == (this->IsVisible() != 0))
            return;
        this->m_visible = visible;
        if (m_parent != nullptr)
            m_parent->Invalidate();
    }
    // The invalid state climbs to the root, clearing every arrange cache on
    // the way, so the next paint lays the whole chain out again.
    void Invalidate() override
    {
        this->m_valid = 0;
        ClearArrangeCache();
        if (m_parent != nullptr)
            m_parent->Invalidate();
    }

    // --- IScreenControl
    // Inside the arranged rectangle of a laid-out control.
    BOOL ContainsPoint(POINT p) override
    {
        if (!this->IsValid())
            return 0;
        return p.x >= 0 && p.y >= 0 && p.x < RectWidth(m_arrangedRect) && p.y < RectHeight(m_arrangedRect);
    }
    IScreenControl_GDI* GetGDIControl() override { return this; }
    std::uint32_t GetCursorId(TView*, UINT, UINT) override { return m_cursorId; }
    void OnMouseEnter(POINT, UINT, TView*) override
    {
        if (IVEffect* hover = GetHoverEffect(); hover != nullptr && this->IsInputEnabled())
            hover->Show(this);
        if (IVEffect* tip = GetToolTip(); tip != nullptr && this->IsInputEnabled())
            tip->Show(this);
    }
    void OnMouseLeave(POINT, UINT, TView*) override
    {
        if (IVEffect* hover = GetHoverEffect(); hover != nullptr)
            hover->Hide();
        if (IVEffect* tip = GetToolTip(); tip != nullptr)
            tip->Hide();
    }

    // --- own operations
    virtual IScreenControl_GDI* GetParent() { return m_parent; }
    virtual void SetParent(IScreenControl_GDI* parent) { m_parent = parent; }
    // This control (with the point unchanged) when it contains the point;
    // containers answer their deepest child instead.
    virtual IScreenControl_GDI* HitTest(POINT p, UINT /*flags*/, POINT* local)
    {
        if (!this->ContainsPoint(p))
            return nullptr;
        if (local != nullptr)
            *local = p;
        return this;
    }
    virtual void SetCursorId(std::uint32_t cursor) { m_cursorId = cursor; }
    virtual void Paint(cOverlayContext*, TView*) {}
    // The desired size, from the control's own arrange without an offered
    // area. A class that keeps this measure must arrange without measuring
    // when no area is offered; a nested call (an arrange that measures
    // anyway) gets the stored size instead of recursing.
    virtual SIZE Measure(cOverlayContext* context, TView* view)
    {
        if (this->IsValid() || m_measuring)
            return m_desired;
        m_measuring = true;
        const RECT r = Arrange(context, nullptr, view);
        m_measuring = false;
        m_desired = SIZE{RectWidth(r), RectHeight(r)};
        this->Validate();
        return m_desired;
    }
    virtual RECT Arrange(cOverlayContext* context, const SIZE* available, TView* view) = 0;
    virtual void RenderBackground(cOverlayContext* context)
    {
        const ARGB back = this->GetBackColour();
        const LONG w = RectWidth(m_arrangedRect), h = RectHeight(m_arrangedRect);
        if (back < 0x01000000u || w < 1 || h < 1 || context == nullptr)
            return;
        GpSolidFill* brush = nullptr;
        if (context->Check(GdipCreateSolidFill(back, &brush)) != Ok)
            return;
        context->Check(GdipFillRectangleI(context->GetHandle(), brush, 0, 0, w, h));
        context->Check(GdipDeleteBrush(brush));
    }
    virtual void SetPadding(LONG v) { SetPaddingLTRB(v, v, v, v); }
    virtual void SetPaddingHV(LONG h, LONG v) { SetPaddingLTRB(h, v, h, v); }
    virtual void SetPaddingLTRB(LONG left, LONG top, LONG right, LONG bottom)
    {
        if (SetFour(m_padding, left, top, right, bottom))
            this->Invalidate();
    }
    virtual LONG GetPaddingTop() { return m_padding.top; }
    virtual LONG GetPaddingBottom() { return m_padding.bottom; }
    virtual LONG GetPaddingLeft() { return m_padding.left; }
    virtual LONG GetPaddingRight() { return m_padding.right; }
    virtual void SetMargin(LONG v) { SetMarginLTRB(v, v, v, v); }
    virtual void SetMarginHV(LONG h, LONG v) { SetMarginLTRB(h, v, h, v); }
    virtual void SetMarginLTRB(LONG left, LONG top, LONG right, LONG bottom)
    {
        if (SetFour(m_margin, left, top, right, bottom))
            this->Invalidate();
    }
    virtual LONG GetMarginTop() { return m_margin.top; }
    virtual LONG GetMarginBottom() { return m_margin.bottom; }
    virtual LONG GetMarginLeft() { return m_margin.left; }
    virtual LONG GetMarginRight() { return m_margin.right; }
    virtual void SetVerticalAlignment(LONG code)
    {
        if (code != m_verticalAlignment)
        {
            m_verticalAlignment = code;
            this->Invalidate();
        }
    }
    virtual LONG GetVerticalAlignment() { return m_verticalAlignment; }
    virtual void SetHorizontalAlignment(LONG code)
    {
        if (code != m_horizontalAlignment)
        {
            m_horizontalAlignment = code;
            this->Invalidate();
        }
    }
    virtual LONG GetHorizontalAlignment() { return m_horizontalAlignment; }
    // A dirty rectangle of a child, in the child's coordinates; containers
    // pass it up translated, the root redraws the view.
    virtual BOOL InvalidateChildRect(RECT, IScreenControl_GDI* /*child*/) { return 0; }
    virtual void SetHoverEffect(IVEffect* effect)
    {
        if (effect != m_hoverEffect.Get())
            m_hoverEffect = effect;
    }
    virtual IVEffect* GetHoverEffect() { return m_hoverEffect.Get(); }
    virtual void SetToolTip(IVEffect* effect)
    {
        if (effect != m_toolTip.Get())
            m_toolTip = effect;
    }
    virtual IVEffect* GetToolTip() { return m_toolTip.Get(); }
    // Lowering the minimum below the stored size does not shrink the
    // control until something else invalidates it.
    virtual void SetMinimumSize(LONG width, LONG height)
    {
        m_minimum = SIZE{width, height};
        if (m_desired.cx >= width && m_desired.cy >= height)
            return;
        this->Invalidate();
    }
    virtual const wchar_t* GetClassName() { return L"IScreenControl_GDI"; }

    // Plain accessors used by the containers and the tests.
    const GUID& GetIdentity() const { return m_identity; }
    const stOverlayMargins& GetPadding() const { return m_padding; }
    const stOverlayMargins& GetMargin() const { return m_margin; }
    SIZE GetDesiredSize() const { return m_desired; }
    SIZE GetMinimumSize() const { return m_minimum; }
    RECT GetArrangedRect() const { return m_arrangedRect; }
    SIZE GetCachedAvailableSize() const { return m_cachedAvailable; }
    std::uint32_t GetCursorWord() const { return m_cursorId; }
    const std::wstring& GetName() const { return m_name; }
    void SetName(std::wstring name) { m_name = std::move(name); }

protected:
    // Step 1 of every arrange: the cached rectangle for the cached size.
    bool ArrangeCacheHit(const SIZE* available, RECT* out) const
    {
        if (available == nullptr || m_cachedAvailable.cx < 0 || available->cx != m_cachedAvailable.cx ||
            available->cy != m_cachedAvailable.cy)
            return false;
        *out = m_arrangedRect;
        return true;
    }
    // The desired size placed in the offered area by this control's own
    // alignment and margin.
    RECT AlignInAvailable(SIZE desired, const SIZE& available)
    {
        return AlignRectInArea(RECT{0, 0, desired.cx, desired.cy}, available.cx, available.cy,
                               m_horizontalAlignment, m_verticalAlignment, m_margin);
    }
    void StoreArrange(const SIZE& available, const RECT& r)
    {
        m_cachedAvailable = available;
        m_arrangedRect = r;
    }
    void ClearArrangeCache()
    {
        m_cachedAvailable = SIZE{kNoCachedSize, kNoCachedSize};
        m_arrangedRect = RECT{0, 0, 0, 0};
    }
    void StoreDesired(SIZE size) { m_desired = size; }
    // The size padding adds, saturated.
    SIZE AddPadding(SIZE content) const
    {
        return SIZE{ClampToLong(std::int64_t{content.cx} + m_padding.left + m_padding.right),
                    ClampToLong(std::int64_t{content.cy} + m_padding.top + m_padding.bottom)};
    }

    stOverlayMargins m_padding;
    stOverlayMargins m_margin;
    LONG m_verticalAlignment = kAlignCentre;
    LONG m_horizontalAlignment = kAlignCentre;
    SIZE m_desired{0, 0};
    SIZE m_minimum{0, 0};

private:
    void ResetLayout()
    {
        m_parent = nullptr;
        this->Invalidate();
        m_padding = stOverlayMargins{};
        m_margin = stOverlayMargins{};
        m_verticalAlignment = m_horizontalAlignment = kAlignCentre;
        m_cursorId = 0;
        m_hoverEffect.Reset();
        m_toolTip.Reset();
        m_minimum = SIZE{0, 0};
    }
    static bool SetFour(stOverlayMargins& m, LONG left, LONG top, LONG right, LONG bottom)
    {
        if (m.left == left && m.top == top && m.right == right && m.bottom == bottom)
            return false;
        m = stOverlayMargins{left, top, right, bottom};
        return true;
    }

    GUID m_identity{};
    IScreenControl_GDI* m_parent = nullptr;
    std::uint32_t m_cursorId = 0;
    tSafePtr<IVEffect> m_hoverEffect;
    tSafePtr<IVEffect> m_toolTip;
    SIZE m_cachedAvailable{kNoCachedSize, kNoCachedSize};
    RECT m_arrangedRect{0, 0, 0, 0};
    std::wstring m_name;
    bool m_measuring = false;
};
