// The overlay of one 3D view: a GDI layer (a canvas over the whole client
// area holding toolbars, tooltip and labels, drawn through GDI+) in front
// of a GL layer (objects that draw with OpenGL). The view offers every
// mouse, key, focus, cursor, idle, size and context-menu message here
// before the interaction modes see it; a non-zero result means a control
// handled it.
//
// Mouse points are client pixels of the view. The manager moves the hover
// to the control under the pointer before that control gets the event;
// containers further down deliver the event first and move their hover
// after it.
#pragma once

#include "overlay/canvas_panel.h"
#include "overlay/screen_object_manager_gl.h"
#include "render/area_collector.h"
#include "render/gdiplus_guard.h"

#include <memory>

// The root canvas of a view's overlay. It lays its children out again at
// every paint, so they follow every resize.
template <class TView> class cScreenObjectManager_GDI : public virtual cC_CanvasPanel<TView>
{
public:
    using Control = IScreenControl_GDI<TView>;
    using Node = typename cC_CanvasPanel<TView>::Node;

    explicit cScreenObjectManager_GDI(TView* view) : m_view(view) {}

    RECT Arrange(cOverlayContext* context, const SIZE* available, TView* view) override
    {
        const RECT r = cC_CanvasPanel<TView>::Arrange(context, available, view);
        if (available != nullptr)
            this->StoreArrange(SIZE{-1, -1}, r);
        return r;
    }
    // Any dirty area that reaches the root redraws the whole view.
    BOOL InvalidateChildRect(RECT, Control*) override
    {
        RequestViewRedraw(m_view);
        return 1;
    }

    // Lays the tree out in the canvas size, paints it and records the
    // rectangle of every visible top-level child.
    virtual void DrawGDI(cOverlayContext* context, TView* view)
    {
        const SIZE size = this->Measure(context, view);
        Arrange(context, &size, view);
        this->Paint(context, view);
        cAreaCollector* collector = context != nullptr ? context->GetCollector() : nullptr;
        if (collector == nullptr)
            return;
        for (Node* n = this->GetFirstEntry(); n != nullptr; n = n->next)
        {
            Control* child = n->value.control.Get();
            if (child == nullptr || !child->IsVisible())
                continue;
            const POINT origin = this->Origin(n->value);
            const RECT& r = n->value.rect;
            collector->AddRect(OffsetRectBy(RECT{0, 0, RectWidth(r), RectHeight(r)}, origin.x, origin.y));
        }
    }
    // Draws a control that is not in the tree, placed in the whole canvas.
    virtual void DrawControl(Control* control, cOverlayContext* context)
    {
        if (control == nullptr)
            return;
        const SIZE size = this->Measure(context, m_view);
        const RECT r = control->Arrange(context, &size, m_view);
        PaintAt(control, context, r);
    }
    // Draws a control that is not in the tree next to a point, on the side
    // its alignment names (the deviation labels at projected points).
    virtual void DrawControlAt(Control* control, cOverlayContext* context, POINT p)
    {
        if (control == nullptr)
            return;
        const SIZE size = control->Measure(context, m_view);
        control->Arrange(context, &size, m_view);
        const LONG w = size.cx, h = size.cy;
        std::int64_t x = p.x, y = p.y;
        switch (control->GetHorizontalAlignment())
        {
        case kAlignCentre: x = std::int64_t{p.x} - w / 2 - control->GetMarginLeft(); break;
        case kAlignFar: x = std::int64_t{p.x} - control->GetMarginRight() - w; break;
        default: break;
        }
        switch (control->GetVerticalAlignment())
        {
        case kAlignCentre: y = std::int64_t{p.y} - control->GetMarginTop() - h / 2; break;
        case kAlignFar: y = std::int64_t{p.y} - control->GetMarginBottom() - h; break;
        default: break;
        }
        const LONG left = ClampToLong(x), top = ClampToLong(y);
        PaintAt(control, context, RECT{left, top, SaturatedAdd(left, w), SaturatedAdd(top, h)});
    }

    TView* GetView() const { return m_view; }

private:
    // Paints with the world transform moved to the rectangle's corner and
    // puts the caller's transform back afterwards.
    void PaintAt(Control* control, cOverlayContext* context, const RECT& r)
    {
        if (context == nullptr)
            return;
        GpGraphics* graphics = context->GetHandle();
        GpMatrix* saved = nullptr;
        const bool haveSaved = context->Check(GdipCreateMatrix(&saved)) == Ok;
        if (haveSaved)
            context->Check(GdipGetWorldTransform(graphics, saved));
        context->Check(GdipResetWorldTransform(graphics));
        context->Check(GdipTranslateWorldTransform(graphics, static_cast<REAL>(r.left), static_cast<REAL>(r.top),
                                                   MatrixOrderPrepend));
        control->Paint(context, m_view);
        if (haveSaved)
        {
            context->Check(GdipSetWorldTransform(graphics, saved));
            context->Check(GdipDeleteMatrix(saved));
        }
        if (cAreaCollector* collector = context->GetCollector(); collector != nullptr)
            collector->AddRect(r);
    }

    TView* m_view;
};

// Keeps the control that receives key notifications. Nothing in the
// toolkit picks it; a derived manager may.
template <class TView> class cScreenObjectFocusManager
{
protected:
    IScreenControl<TView>* m_focus = nullptr;
};

template <class TView> class cScreenObjectManager : public cScreenObjectFocusManager<TView>
{
public:
    using Control = IScreenControl<TView>;
    using GDIControl = IScreenControl_GDI<TView>;
    using GLObject = IScreenObject_GL<TView>;
    using Root = cScreenObjectManager_GDI<TView>;
    using GLLayer = cScreenObjectManager_GL<TView>;

    explicit cScreenObjectManager(TView* view)
        : m_root(new Root(view)), m_gl(std::make_unique<GLLayer>(view)), m_view(view)
    {
    }
    // The hot control's reference is given back before the layers go, so
    // the control under the pointer is not kept alive by a dead view.
    virtual ~cScreenObjectManager()
    {
        this->m_focus = nullptr;
        m_hot.Reset();
        m_gl.reset();
        m_root.Reset();
    }
    cScreenObjectManager(const cScreenObjectManager&) = delete;
    cScreenObjectManager& operator=(const cScreenObjectManager&) = delete;

    void AddGLObject(GLObject* object, std::uint32_t layer, BOOL afterEqual) { m_gl->AddObject(object, layer, afterEqual); }
    LONG AddGDIControl(GDIControl* control) { return m_root->AddChild(control); }
    void InsertGLObjectById(GLObject* object, GLObject* reference) { m_gl->InsertObjectById(object, reference); }
    LONG InsertGDIControlBefore(GDIControl* control, GDIControl* before)
    {
        return m_root->InsertChildBefore(control, before);
    }
    void ForgetControl(GLObject* object)
    {
        Forget(object);
        m_gl->RemoveObject(object);
    }
    LONG ForgetGDIControl(GDIControl* control)
    {
        Forget(control);
        return m_root->RemoveChild(control);
    }

    BOOL OnLButtonDown(POINT p, UINT f) { return Route(p, f, &Control::OnLButtonDown); }
    BOOL OnLButtonUp(POINT p, UINT f) { return Route(p, f, &Control::OnLButtonUp); }
    BOOL OnLButtonDblClk(POINT p, UINT f) { return Route(p, f, &Control::OnLButtonDblClk); }
    BOOL OnMouseMove(POINT p, UINT f) { return Route(p, f, &Control::OnMouseMove); }
    BOOL OnMouseLeaveView() { return ReleaseHotControl(POINT{0, 0}, 0); }
    BOOL ReleaseHotControl(POINT p, UINT flags)
    {
        if (tSafePtr<Control> old = std::move(m_hot); old)
            old->OnMouseLeave(p, flags, m_view);
        return 0;
    }
    BOOL OnRButtonDown(POINT p, UINT f) { return Route(p, f, &Control::OnRButtonDown); }
    BOOL OnRButtonUp(POINT p, UINT f) { return Route(p, f, &Control::OnRButtonUp); }
    BOOL OnRButtonDblClk(POINT p, UINT f) { return Route(p, f, &Control::OnRButtonDblClk); }
    BOOL OnMButtonDown(POINT p, UINT f) { return Route(p, f, &Control::OnMButtonDown); }
    BOOL OnMButtonUp(POINT p, UINT f) { return Route(p, f, &Control::OnMButtonUp); }
    // The point is in client pixels like every other mouse point.
    BOOL OnMouseWheel(UINT flags, short delta, POINT p)
    {
        POINT local = p;
        tSafePtr<Control> target(FindTarget(p, flags, &local));
        SetHotControl(target.Get(), local, flags);
        return target ? target->OnMouseWheel(flags, delta, local, m_view) : 0;
    }
    // The menu of the deepest control under a screen point.
    BOOL OnContextMenu(UINT* menuId, CWnd** target, POINT screen)
    {
        POINT client = screen;
        if (HWND window = tOverlayViewAccess<TView>::GetWindow(m_view); window != nullptr)
            ScreenToClient(window, &client);
        if (m_gdiLayer)
        {
            POINT local{};
            if (tSafePtr<GDIControl> hit(m_root->HitTest(client, 0, &local)); hit)
                return hit->GetContextMenu(menuId, target);
        }
        return m_gl->ContextMenuAt(client, menuId, target);
    }
    BOOL OnKeyDown(UINT key, UINT repeat, UINT flags) { return KeyToFocus(key, repeat, flags); }
    BOOL OnKeyUp(UINT key, UINT repeat, UINT flags) { return KeyToFocus(key, repeat, flags); }
    BOOL OnKeyMessage(UINT key, UINT repeat, UINT flags) { return KeyToFocus(key, repeat, flags); }
    BOOL OnSysKeyDown(UINT key, UINT repeat, UINT flags) { return KeyToFocus(key, repeat, flags); }
    BOOL OnSysKeyUp(UINT key, UINT repeat, UINT flags) { return KeyToFocus(key, repeat, flags); }
    BOOL OnKeyMessageEx(UINT first, UINT second)
    {
        return this->m_focus != nullptr ? this->m_focus->OnKeyMessageEx(first, second, m_view) : 0;
    }
    void OnKillFocus(CWnd* gaining)
    {
        ReleaseHotControl(POINT{0, 0}, 0);
        m_gl->OnKillFocus(gaining);
        if (m_gdiLayer)
            m_root->CancelHover(0, m_view);
    }
    void OnSetFocus(CWnd* losing)
    {
        m_gl->OnSetFocus(losing);
        if (m_gdiLayer)
            m_root->OnViewSetFocus(losing, m_view);
    }
    std::uint32_t GetCursorId(UINT code, UINT message)
    {
        return m_hot ? m_hot->GetCursorId(m_view, code, message) : 0;
    }
    // Controls update even while the GDI layer is off.
    void OnIdleUpdate()
    {
        m_gl->OnIdleUpdate();
        m_root->OnIdleUpdate(m_view);
    }
    void DrawGL() { m_gl->DrawGL(m_view); }
    void DrawGDI(cOverlayContext* context)
    {
        if (m_gdiLayer)
            m_root->DrawGDI(context, m_view);
    }
    std::uint32_t SetGDILayerEnabled(std::uint32_t enabled) { return std::exchange(m_gdiLayer, enabled); }
    void OnResize(LONG width, LONG height)
    {
        m_gl->OnResize(width, height);
        m_root->SetCanvasSize(width, height);
    }
    void DrawControl(GDIControl* control, cOverlayContext* context) { m_root->DrawControl(control, context); }
    void DrawControlAt(GDIControl* control, cOverlayContext* context, POINT p)
    {
        m_root->DrawControlAt(control, context, p);
    }

    Root* GetRoot() const { return m_root.Get(); }
    GLLayer* GetGLLayer() const { return m_gl.get(); }
    Control* GetHotControl() const { return m_hot.Get(); }
    std::uint32_t IsGDILayerEnabled() const { return m_gdiLayer; }
    TView* GetView() const { return m_view; }

private:
    using Handler = BOOL (Control::*)(POINT, UINT, TView*);

    // The top-level GDI control under the point, else the GL object; the
    // point comes back in the target's coordinates.
    Control* FindTarget(POINT p, UINT flags, POINT* local)
    {
        if (m_gdiLayer)
            if (auto* n = m_root->ChildFromPoint(p, flags, local); n != nullptr)
                return n->value.control.Get();
        if (GLObject* o = m_gl->HitTest(p, local); o != nullptr)
            return o;
        return nullptr;
    }
    // The hover moves first, then the target gets the event. The target
    // stays alive through its handler even when it forgets itself there.
    BOOL Route(POINT p, UINT flags, Handler handler)
    {
        POINT local = p;
        tSafePtr<Control> target(FindTarget(p, flags, &local));
        SetHotControl(target.Get(), local, flags);
        return target ? (target.Get()->*handler)(local, flags, m_view) : 0;
    }
    void SetHotControl(Control* target, POINT local, UINT flags)
    {
        if (target == m_hot.Get())
            return;
        if (tSafePtr<Control> old = std::move(m_hot); old)
            old->OnMouseLeave(local, flags, m_view);
        if (target == nullptr)
            return;
        m_hot = target;
        target->OnMouseEnter(local, flags, m_view);
    }
    void Forget(Control* control)
    {
        if (control == nullptr)
            return;
        if (control == m_hot.Get())
            m_hot.Reset();
        if (control == this->m_focus)
        {
            Control* focus = std::exchange(this->m_focus, nullptr);
            focus->OnFocusReleased();
        }
    }
    BOOL KeyToFocus(UINT key, UINT repeat, UINT flags)
    {
        return this->m_focus != nullptr ? this->m_focus->OnKeyMessage(key, repeat, flags, m_view) : 0;
    }

    tSafePtr<Root> m_root;
    std::unique_ptr<GLLayer> m_gl;
    std::uint32_t m_gdiLayer = 1;
    tSafePtr<Control> m_hot;
    TView* m_view;
    cGdiplusGuard m_guard;
};
