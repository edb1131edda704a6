// The screen object manager in the form a 3D view's message routing calls
// it: the view hands every message to this object, which gives it to the
// manager's own operation (one per message).
//
// Points reach the manager in client pixels; the wheel message carries a
// screen point, which is converted here. Key-down reaches the focus control
// once, through the manager's key-down operation; the view's early
// focus-control hook is left unused so that the control does not see the
// key twice.
#pragma once

#include "overlay/screen_object_manager.h"
#include "render/screen_object_manager.h"

template <class TView> class cViewScreenObjectManager : public IScreenObjectManager<TView>
{
public:
    using Manager = cScreenObjectManager<TView>;

    explicit cViewScreenObjectManager(TView* view) : m_manager(view) {}

    Manager& GetManager() { return m_manager; }

    BOOL OnMouseMove(POINT p, UINT flags, TView*) override { return m_manager.OnMouseMove(p, flags); }
    BOOL OnMouseButton(UINT message, POINT p, UINT flags, TView*) override
    {
        switch (message)
        {
        case WM_LBUTTONDOWN: return m_manager.OnLButtonDown(p, flags);
        case WM_LBUTTONUP: return m_manager.OnLButtonUp(p, flags);
        case WM_LBUTTONDBLCLK: return m_manager.OnLButtonDblClk(p, flags);
        case WM_RBUTTONDOWN: return m_manager.OnRButtonDown(p, flags);
        case WM_RBUTTONUP: return m_manager.OnRButtonUp(p, flags);
        case WM_RBUTTONDBLCLK: return m_manager.OnRButtonDblClk(p, flags);
        case WM_MBUTTONDOWN: return m_manager.OnMButtonDown(p, flags);
        case WM_MBUTTONUP: return m_manager.OnMButtonUp(p, flags);
        default: return 0;
        }
    }
    BOOL OnMouseWheel(UINT flags, short delta, POINT screen, TView* view) override
    {
        POINT client = screen;
        if (HWND window = tOverlayViewAccess<TView>::GetWindow(view); window != nullptr)
            ScreenToClient(window, &client);
        return m_manager.OnMouseWheel(flags, delta, client);
    }
    void OnMouseLeave(TView*) override { m_manager.OnMouseLeaveView(); }
    BOOL OnKey(UINT message, UINT key, UINT repeat, UINT keyFlags, TView*) override
    {
        switch (message)
        {
        case WM_KEYDOWN: return m_manager.OnKeyDown(key, repeat, keyFlags);
        case WM_KEYUP: return m_manager.OnKeyUp(key, repeat, keyFlags);
        case WM_SYSKEYDOWN: return m_manager.OnSysKeyDown(key, repeat, keyFlags);
        case WM_SYSKEYUP: return m_manager.OnSysKeyUp(key, repeat, keyFlags);
        default: return 0;
        }
    }
    void OnSetFocus(CWnd* lost, TView*) override { m_manager.OnSetFocus(lost); }
    void OnKillFocus(CWnd* gets, TView*) override { m_manager.OnKillFocus(gets); }
    // The view's cursor ids: negative for a system cursor, positive for a
    // cursor resource.
    int OnSetCursor(TView*, UINT hitTest, UINT message) override
    {
        const std::uint32_t word = m_manager.GetCursorId(hitTest, message);
        const int id = static_cast<int>(word & 0xFFFFu);
        return (word & 0x80000000u) != 0 ? -id : id;
    }
    void OnSize(int width, int height, TView*) override { m_manager.OnResize(width, height); }
    void OnIdleUpdate(TView*) override { m_manager.OnIdleUpdate(); }
    BOOL OnCommand(UINT id, int code, void*, AFX_CMDHANDLERINFO*, TView*) override
    {
        return m_manager.OnKeyMessageEx(id, static_cast<UINT>(code));
    }
    BOOL GetContextMenu(POINT screen, UINT* menuId, CWnd** target, TView*) override
    {
        return m_manager.OnContextMenu(menuId, target, screen);
    }
    void DrawGL(TView*) override { m_manager.DrawGL(); }
    // Draws into the view's overlay layer, recording the drawn areas in its
    // collector so that the layer blends them over the frame.
    void DrawOverlay(GpGraphics* graphics, TView* view) override
    {
        if (cGdiplusGraphics* layer = tOverlayViewAccess<TView>::GetOverlayGraphics(view);
            layer != nullptr && layer->GetHandle() == graphics)
        {
            m_manager.DrawGDI(layer);
            return;
        }
        cGdiplusGraphics local(graphics, nullptr);
        m_manager.DrawGDI(&local);
    }

private:
    Manager m_manager;
};
