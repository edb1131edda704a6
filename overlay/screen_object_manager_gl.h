// The GL layer of a view's overlay: objects that draw themselves with
// OpenGL, ordered by a layer number. The highest layer is drawn first, so
// the lowest lies on top and is hit first.
#pragma once

#include "overlay/overlay_view_access.h"
#include "overlay/screen_control.h"

#include <vector>

// An object of the GL layer: a screen control that draws through OpenGL and
// knows its bounding rectangle in view pixels.
template <class TView> class IScreenObject_GL : public virtual IScreenControl<TView>
{
public:
    using IScreenControl<TView>::ContainsPoint;
    virtual BOOL ContainsPoint(POINT, TView*) { return 0; }
    IScreenControl_GDI<TView>* GetGDIControl() override { return nullptr; }
    virtual void DrawGL(TView*) {}
    virtual void ReservedGL() {}
    virtual void GetScreenRect(RECT* rect, TView*)
    {
        if (rect != nullptr)
            *rect = RECT{0, 0, 0, 0};
    }
};

template <class TView> class cScreenObjectManager_GL
{
public:
    using Object = IScreenObject_GL<TView>;
    struct stEntry
    {
        std::uint32_t layer;
        tSafePtr<Object> object;
    };

    explicit cScreenObjectManager_GL(TView* view) : m_view(view) {}

    // With afterEqual the object goes after every entry of its layer,
    // otherwise before them; layers compare unsigned.
    void AddObject(Object* object, std::uint32_t layer, BOOL afterEqual)
    {
        if (object == nullptr)
            return;
        auto at = m_entries.begin();
        while (at != m_entries.end() && (afterEqual ? at->layer >= layer : at->layer > layer))
            ++at;
        m_entries.insert(at, stEntry{layer, tSafePtr<Object>(object)});
    }
    // Directly after the first entry of the reference object, in its layer;
    // nothing when the reference is not here.
    void InsertObjectById(Object* object, Object* reference)
    {
        if (object == nullptr)
            return;
        for (auto at = m_entries.begin(); at != m_entries.end(); ++at)
            if (at->object.Get() == reference)
            {
                const std::uint32_t layer = at->layer;
                m_entries.insert(at + 1, stEntry{layer, tSafePtr<Object>(object)});
                return;
            }
    }
    void RemoveObject(Object* object)
    {
        for (auto at = m_entries.begin(); at != m_entries.end(); ++at)
            if (at->object.Get() == object)
            {
                tSafePtr<Object> keep = std::move(at->object);
                m_entries.erase(at);
                return;
            }
    }
    void SetObjectVisible(Object* object, BOOL visible, BOOL redraw)
    {
        if (object == nullptr || (object->IsVisible() != 0) == (visible != 0))
            return;
        object->SetVisible(visible);
        if (redraw)
            RequestViewRedraw(m_view);
    }
    void DrawGL(TView* view)
    {
        for (const tSafePtr<Object>& o : Snapshot())
            if (o->IsVisible())
                o->DrawGL(view);
    }
    // The object drawn on top that is visible, enabled and contains the
    // point, with the point relative to its screen rectangle.
    Object* HitTest(POINT p, POINT* local)
    {
        for (auto at = m_entries.rbegin(); at != m_entries.rend(); ++at)
        {
            Object* o = at->object.Get();
            if (!o->IsVisible() || !o->IsInputEnabled() || !o->ContainsPoint(p, m_view))
                continue;
            RECT r{};
            o->GetScreenRect(&r, m_view);
            if (local != nullptr)
                *local = POINT{SaturatedSub(p.x, r.left), SaturatedSub(p.y, r.top)};
            return o;
        }
        return nullptr;
    }

    BOOL OnLButtonDown(POINT p, UINT f) { return Route(p, f, &Object::OnLButtonDown); }
    BOOL OnLButtonUp(POINT p, UINT f) { return Route(p, f, &Object::OnLButtonUp); }
    BOOL OnLButtonDblClk(POINT p, UINT f) { return Route(p, f, &Object::OnLButtonDblClk); }
    BOOL OnMouseMove(POINT p, UINT f) { return Route(p, f, &Object::OnMouseMove); }
    BOOL OnRButtonDown(POINT p, UINT f) { return Route(p, f, &Object::OnRButtonDown); }
    BOOL OnRButtonUp(POINT p, UINT f) { return Route(p, f, &Object::OnRButtonUp); }
    BOOL OnRButtonDblClk(POINT p, UINT f) { return Route(p, f, &Object::OnRButtonDblClk); }
    BOOL OnMButtonDown(POINT p, UINT f) { return Route(p, f, &Object::OnMButtonDown); }
    BOOL OnMButtonUp(POINT p, UINT f) { return Route(p, f, &Object::OnMButtonUp); }
    BOOL OnMouseWheel(UINT flags, short delta, POINT p)
    {
        POINT local{};
        if (tSafePtr<Object> o(HitTest(p, &local)); o)
            o->OnMouseWheel(flags, delta, local, m_view);
        return 0;
    }
    BOOL OnContextMenu(UINT* menuId, CWnd** target, POINT screen)
    {
        POINT client = screen;
        if (HWND window = tOverlayViewAccess<TView>::GetWindow(m_view); window != nullptr)
            ScreenToClient(window, &client);
        return ContextMenuAt(client, menuId, target);
    }
    BOOL ContextMenuAt(POINT client, UINT* menuId, CWnd** target)
    {
        if (Object* o = HitTest(client, nullptr); o != nullptr)
            return o->GetContextMenu(menuId, target);
        if (menuId != nullptr)
            *menuId = 0;
        if (target != nullptr)
            *target = nullptr;
        return 0;
    }
    // Every object, visible or not.
    void OnKillFocus(CWnd* window)
    {
        for (const tSafePtr<Object>& o : Snapshot())
            o->OnKillFocus(window);
    }
    void OnSetFocus(CWnd* window)
    {
        for (const tSafePtr<Object>& o : Snapshot())
            o->OnSetFocus(window);
    }
    // The object under the cursor's current position.
    std::uint32_t GetCursorId(UINT code, UINT message)
    {
        POINT p{};
        GetCursorPos(&p);
        if (HWND window = tOverlayViewAccess<TView>::GetWindow(m_view); window != nullptr)
            ScreenToClient(window, &p);
        Object* o = HitTest(p, nullptr);
        return o != nullptr ? o->GetCursorId(m_view, code, message) : 0;
    }
    void OnIdleUpdate()
    {
        for (const tSafePtr<Object>& o : Snapshot())
            if (o->IsVisible() && o->IsInputEnabled())
                o->OnIdleUpdate(m_view);
    }
    void OnResize(LONG, LONG) {}

    const std::vector<stEntry>& GetEntries() const { return m_entries; }

private:
    using Handler = BOOL (IScreenControl<TView>::*)(POINT, UINT, TView*);

    BOOL Route(POINT p, UINT flags, Handler handler)
    {
        POINT local{};
        tSafePtr<Object> o(HitTest(p, &local));
        return o ? (static_cast<IScreenControl<TView>*>(o.Get())->*handler)(local, flags, m_view) : 0;
    }
    // Objects may add or remove objects from their handlers.
    std::vector<tSafePtr<Object>> Snapshot() const
    {
        std::vector<tSafePtr<Object>> all;
        all.reserve(m_entries.size());
        for (const stEntry& e : m_entries)
            all.emplace_back(e.object.Get());
        return all;
    }

    std::vector<stEntry> m_entries;
    TView* m_view;
};
