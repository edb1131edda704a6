// The MFC view base of every 3D view window. It joins the view, the stack
// of interaction modes and the overlay controls, and decides for every
// mouse, key, focus, cursor, size and context-menu message who gets it:
// the overlay controls first, then the active mode. A mode that drags gets
// its moves and releases directly, so a drag across a control never reaches
// the control.
//
// Every handler runs inside the navigator's dispatch scope, so a mode that
// ends itself while handling a message is deleted only after the handler
// (and any handler that sent it the message) has returned.
//
// TView is the concrete view class (C3DView); it derives from
// cBaseView<TView>.
#pragma once

#include "platform/mfc/menu.h"
#include "platform/mfc/view.h"
#include "platform/mfc/win_app.h"
#include "render/gdiplus_guard.h"
#include "render/menu_item_bitmaps.h"
#include "render/mode_navigator.h"
#include "render/renderer.h"
#include "render/screen_object_manager.h"

#include <cstdint>
#include <memory>

template <class TView> class cBaseView : public CView, public cUserIModeNavigator<TView>
{
public:
    using Navigator = cUserIModeNavigator<TView>;
    using Mode = cUserInteractiveMode<TView>;
    using ScreenObjectManager = IScreenObjectManager<TView>;

    cBaseView() = default;
    ~cBaseView() override { Navigator::Clear(nullptr); }

    // The overlay controls' manager; the view owns it. Null: no controls.
    void SetScreenObjectManager(std::unique_ptr<ScreenObjectManager> manager) { overlay = std::move(manager); }
    ScreenObjectManager* GetScreenObjectManager() const { return overlay.get(); }

    std::uint32_t GetClientWidth() const { return clientWidth; }
    std::uint32_t GetClientHeight() const { return clientHeight; }
    bool IsTrackingLeave() const { return trackingLeave != 0; }

    virtual void SetModeById(std::uint32_t id, std::uint32_t temporary, LPARAM extra)
    {
        Navigator::SetMode(id, temporary, Self(), extra);
    }
    virtual BOOL EndModeById(std::uint32_t id)
    {
        Navigator::EndMode(id, Self());
        return 1;
    }
    // The stacked mode with this id handles the notification; 1 when no
    // mode has the id.
    virtual BOOL NotifyModeById(std::uint32_t id, WPARAM wParam, LPARAM lParam)
    {
        typename Navigator::DispatchScope scope(*this);
        Mode* mode = Navigator::FindMode(id);
        return mode ? mode->OnNotify(Self(), wParam, lParam) : 1;
    }
    // Drawn after the overlay layer was cleared and before the overlay
    // controls (annotations of derived views).
    virtual void DrawAnnotations(GpGraphics*) {}
    // The view's own context menu (a menu resource whose first sub-menu is
    // the popup); 0: none.
    virtual UINT GetContextMenuResource() { return 0; }
    virtual void PrepareContextMenu(CMenu*) {}
    virtual void PrepareContextMenuItems(CMenu*) {}
    // The window that receives the context menu's commands.
    virtual CWnd* GetCommandTarget(CWnd* window) { return window; }

    BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) override
    {
        if (overlay && overlay->OnCommand(id, code, extra, info, Self()))
            return TRUE;
        if (Navigator::RouteCommand(id, code, extra, info, Self()))
            return TRUE;
        return CView::OnCmdMsg(id, code, extra, info);
    }

    // Where the navigator saw the last press and the last (adjusted) pointer
    // position, in client pixels.
    POINT pressPoint{0, 0};
    POINT lastPoint{0, 0};

protected:
    // The renderer whose GL context the mouse handlers make current.
    virtual I3DSceneRenderer* GetViewRenderer() { return nullptr; }

    void OnActivateView(BOOL activate, CView* activated, CView* deactivated) override
    {
        const MSG* current = CWnd::GetCurrentMessage();
        if (!current || current->message != WM_ACTIVATETOPLEVEL)
            Navigator::ForEachModeFromBottom([&](Mode* m) { m->OnActivateView(activate, activated, deactivated); });
        CView::OnActivateView(activate, activated, deactivated);
    }

    // Makes the renderer's context current for a mouse handler and puts the
    // previous one back when it returns, also by an exception.
    class GLContextScope
    {
    public:
        explicit GLContextScope(I3DSceneRenderer* renderer) : renderer(renderer)
        {
            if (renderer && !renderer->IsCurrent())
            {
                renderer->MakeCurrent();
                made = true;
            }
        }
        ~GLContextScope()
        {
            if (made)
                renderer->RestoreCurrent();
        }
        GLContextScope(const GLContextScope&) = delete;
        GLContextScope& operator=(const GLContextScope&) = delete;

    private:
        I3DSceneRenderer* renderer;
        bool made = false;
    };

    TView* Self() { return static_cast<TView*>(this); }
    Mode* DraggingMode()
    {
        Mode* mode = Navigator::GetActiveMode();
        return mode && mode->IsDragging() ? mode : nullptr;
    }
    BOOL OverlayTakesButton(UINT message, POINT point, UINT flags)
    {
        return overlay && overlay->OnMouseButton(message, point, flags, Self());
    }

    afx_msg int OnCreate(CREATESTRUCTW* cs) { return CView::OnCreate(cs) == -1 ? -1 : 0; }

    afx_msg void OnMouseMove(UINT flags, CPoint point)
    {
        GLContextScope gl(GetViewRenderer());
        typename Navigator::DispatchScope scope(*this);
        if (DraggingMode())
        {
            Navigator::OnMouseMove(point, flags, Self());
            return;
        }
        if (overlay && overlay->OnMouseMove(point, flags, Self()))
            return;
        if (!Navigator::OnMouseMove(point, flags, Self()))
            Default();
    }

    afx_msg void OnLButtonDown(UINT flags, CPoint point) { Press(WM_LBUTTONDOWN, flags, point); }
    afx_msg void OnRButtonDown(UINT flags, CPoint point) { Press(WM_RBUTTONDOWN, flags, point); }
    afx_msg void OnMButtonDown(UINT flags, CPoint point) { Press(WM_MBUTTONDOWN, flags, point); }

    afx_msg void OnLButtonUp(UINT flags, CPoint point)
    {
        Release(WM_LBUTTONUP, flags, point, [&](Mode* m) { return m->OnLButtonUp(point, flags, Self()); });
    }
    afx_msg void OnMButtonUp(UINT flags, CPoint point)
    {
        Release(WM_MBUTTONUP, flags, point, [&](Mode* m) { return m->OnMButtonUp(point, flags, Self()); });
    }

    afx_msg void OnRButtonUp(UINT flags, CPoint point)
    {
        if (RefusedPressFollowUp(WM_RBUTTONUP))
            return;
        GLContextScope gl(GetViewRenderer());
        typename Navigator::DispatchScope scope(*this);
        if (DraggingMode())
        {
            Navigator::OnRButtonUp(point, flags, Self());
            HoldMouseWhileButtonsDown();
            return;
        }
        if (OverlayTakesButton(WM_RBUTTONUP, point, flags))
        {
            HoldMouseWhileButtonsDown();
            return;
        }
        // A click falls through to the default procedure, which raises the
        // context menu.
        const BOOL handled = Navigator::OnRButtonUp(point, flags, Self());
        HoldMouseWhileButtonsDown();
        if (!handled)
            Default();
    }

    afx_msg void OnLButtonDblClk(UINT flags, CPoint point)
    {
        DoubleClick(WM_LBUTTONDBLCLK, flags, point, [&](Mode* m) { return m->OnLButtonDblClk(point, flags, Self()); });
    }
    afx_msg void OnRButtonDblClk(UINT flags, CPoint point)
    {
        DoubleClick(WM_RBUTTONDBLCLK, flags, point, [&](Mode* m) { return m->OnRButtonDblClk(point, flags, Self()); });
    }
    // The modes take no middle double click: the second press of a quick
    // pair is a press of its own. It starts the pan again, or shows the
    // quick shape picker or the mode's menu again where the first press's
    // went away (the picker hides as the second press activates the view's
    // window), and after a refused press the pan starts once the field is
    // put right.
    afx_msg LRESULT OnMButtonDblClkMessage(WPARAM flags, LPARAM point)
    {
        Press(WM_MBUTTONDOWN, static_cast<UINT>(flags), CPoint(point));
        return 0;
    }

    // The wheel after the view's own zoom declined it: the controls, then
    // the active mode; the default procedure when neither takes it.
    BOOL RouteMouseWheel(UINT flags, short delta, POINT screen)
    {
        GLContextScope gl(GetViewRenderer());
        typename Navigator::DispatchScope scope(*this);
        if (overlay && overlay->OnMouseWheel(flags, delta, screen, Self()))
            return 1;
        if (Navigator::template CallActive<BOOL>(0, [&](Mode* m) { return m->OnMouseWheel(flags, delta, screen, Self()); }))
            return 1;
        return static_cast<BOOL>(Default());
    }
    afx_msg BOOL OnMouseWheel(UINT flags, short delta, CPoint screen) { return RouteMouseWheel(flags, delta, screen); }

    afx_msg void OnKeyDown(UINT key, UINT repeat, UINT keyFlags)
    {
        typename Navigator::DispatchScope scope(*this);
        if (overlay)
            overlay->OnKey(WM_KEYDOWN, key, repeat, keyFlags, Self());
        if (key == VK_ESCAPE)
            if (Mode* top = Navigator::GetActiveMode())
                top->OnEscape(Self());
        Navigator::template CallActive<BOOL>(0, [&](Mode* m) { return m->OnKeyDown(key, repeat, keyFlags, Self()); });
        Default();
    }
    afx_msg void OnKeyUp(UINT key, UINT repeat, UINT keyFlags)
    {
        Key(WM_KEYUP, key, repeat, keyFlags, [&](Mode* m) { return m->OnKeyUp(key, repeat, keyFlags, Self()); });
    }
    afx_msg void OnSysKeyDown(UINT key, UINT repeat, UINT keyFlags)
    {
        Key(WM_SYSKEYDOWN, key, repeat, keyFlags, [&](Mode* m) { return m->OnSysKeyDown(key, repeat, keyFlags, Self()); });
    }
    afx_msg void OnSysKeyUp(UINT key, UINT repeat, UINT keyFlags)
    {
        Key(WM_SYSKEYUP, key, repeat, keyFlags, [&](Mode* m) { return m->OnSysKeyUp(key, repeat, keyFlags, Self()); });
    }

    afx_msg void OnHScroll(UINT code, UINT position, CScrollBar* bar)
    {
        Navigator::template CallActive<BOOL>(0, [&](Mode* m) { return m->OnHScroll(code, position, bar, Self()); });
        Default();
    }
    afx_msg void OnVScroll(UINT code, UINT position, CScrollBar* bar)
    {
        Navigator::template CallActive<BOOL>(0, [&](Mode* m) { return m->OnVScroll(code, position, bar, Self()); });
        Default();
    }

    afx_msg void OnSetFocus(CWnd* lost)
    {
        if (overlay)
            overlay->OnSetFocus(lost, Self());
        Navigator::ForEachModeFromBottom([&](Mode* m) { m->OnSetFocus(lost, Self()); });
        Default();
    }
    afx_msg void OnKillFocus(CWnd* gets)
    {
        if (overlay)
            overlay->OnKillFocus(gets, Self());
        Navigator::ForEachModeFromBottom([&](Mode* m) { m->OnKillFocus(gets, Self()); });
        Default();
    }

    afx_msg int OnMouseActivate(CWnd* desktop, UINT hitTest, UINT message)
    {
        if (!trackingLeave)
            ArmLeaveTracking();
        return CView::OnMouseActivate(desktop, hitTest, message);
    }
    afx_msg LRESULT OnNcHitTest(CPoint screen)
    {
        if (!trackingLeave)
        {
            POINT client = screen;
            RECT rect{};
            ::ScreenToClient(m_hWnd, &client);
            ::GetClientRect(m_hWnd, &rect);
            if (::PtInRect(&rect, client))
                ArmLeaveTracking();
        }
        return Default();
    }
    afx_msg LRESULT OnMouseLeaveMessage(WPARAM wParam, LPARAM lParam)
    {
        trackingLeave = 0;
        typename Navigator::DispatchScope scope(*this);
        if (overlay)
            overlay->OnMouseLeave(Self());
        Navigator::template CallActive<BOOL>(0, [&](Mode* m) { return m->OnMouseLeave(wParam, lParam, Self()); });
        return 1;
    }

    afx_msg BOOL OnSetCursor(CWnd*, UINT hitTest, UINT message)
    {
        int id = overlay ? overlay->OnSetCursor(Self(), hitTest, message) : 0;
        if (id == 0)
            id = Navigator::template CallActive<int>(0, [&](Mode* m) { return m->OnSetCursor(Self(), hitTest, message); });
        if (id == 0 || !AfxGetApp())
            return static_cast<BOOL>(Default());
        if (id > 0)
        {
            LPCWSTR name = MAKEINTRESOURCEW(static_cast<ULONG_PTR>(id));
            if (HCURSOR cursor = ::LoadCursorW(AfxFindResourceHandle(name, RT_CURSOR), name))
            {
                ::SetCursor(cursor);
                return 1;
            }
        }
        // A negative id names a system cursor by its magnitude (-32512: the
        // arrow); a resource id that no module has, the system cursor of
        // that number.
        const ULONG_PTR system = id < 0 ? static_cast<ULONG_PTR>(-static_cast<long long>(id)) : static_cast<ULONG_PTR>(id);
        ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(system & 0xFFFF)));
        return 1;
    }

    afx_msg void OnSize(UINT type, int width, int height)
    {
        Default();
        clientWidth = width > 0 ? static_cast<std::uint32_t>(width) : 1;
        clientHeight = height > 0 ? static_cast<std::uint32_t>(height) : 1;
        typename Navigator::DispatchScope scope(*this);
        if (Mode* mode = Navigator::GetActiveMode())
            mode->OnSize(type, width, height, Self());
        if (overlay)
            overlay->OnSize(static_cast<int>(clientWidth), static_cast<int>(clientHeight), Self());
    }

    afx_msg LRESULT OnEndModeMessage(WPARAM id, LPARAM) { return EndModeById(static_cast<std::uint32_t>(id)); }

    afx_msg LRESULT OnIdleUpdateCmdUI(WPARAM, LPARAM)
    {
        if (overlay)
            overlay->OnIdleUpdate(Self());
        Navigator::ForEachModeFromBottom([&](Mode* m) { m->OnIdleUpdate(Self()); });
        return 0;
    }

    // The GL frame covers the client area: nothing to erase.
    afx_msg BOOL OnEraseBkgnd(CDC*) { return 0; }

    afx_msg void OnContextMenu(CWnd*, CPoint screen)
    {
        typename Navigator::DispatchScope scope(*this);
        UINT menuId = 0;
        CWnd* target = nullptr;
        if (!(overlay && overlay->GetContextMenu(screen, &menuId, &target, Self()) && menuId != 0))
        {
            menuId = 0;
            target = nullptr;
            if (Mode* mode = Navigator::GetActiveMode())
                mode->GetContextMenu(&menuId, &target);
            if (menuId == 0)
                menuId = GetContextMenuResource();
        }
        if (menuId == 0)
        {
            Default();
            return;
        }
        CMenu menu;
        if (!menu.LoadMenu(menuId))
            return;
        CMenu* popup = menu.GetSubMenu(0);
        if (!popup || !popup->GetSafeHmenu())
            return;
        PrepareContextMenu(popup);
        PrepareContextMenuItems(popup);
        if (Mode* mode = Navigator::GetActiveMode())
            mode->UpdateContextMenu(popup);
        if (!target)
            target = AfxGetMainWnd();
        CWnd* receiver = GetCommandTarget(target);
        ::TrackPopupMenuEx(popup->GetSafeHmenu(), TPM_RIGHTBUTTON, screen.x, screen.y,
                           receiver ? receiver->GetSafeHwnd() : nullptr, nullptr);
        DeleteMenuItemBitmaps(menu.GetSafeHmenu());
        menu.DestroyMenu();
    }

    DECLARE_MESSAGE_MAP()

private:
    void Press(UINT message, UINT flags, POINT point)
    {
        // A press gives the view the keyboard first: a field of the window
        // still being typed into is applied before the press acts on what it
        // holds, and the view's keys that follow reach the view. A field that
        // refuses its text says so and keeps the keyboard: the press only
        // ended the typing.
        if (m_hWnd && ::GetFocus() != m_hWnd)
        {
            ::SetFocus(m_hWnd);
            if (::GetFocus() && ::GetFocus() != m_hWnd)
            {
                // Its release does nothing either: a right button let go
                // would raise the context menu over the field's message.
                refusedPresses |= ButtonBit(message);
                return;
            }
        }
        refusedPresses = static_cast<std::uint8_t>(refusedPresses & ~ButtonBit(message));
        GLContextScope gl(GetViewRenderer());
        {
            typename Navigator::DispatchScope scope(*this);
            if (!OverlayTakesButton(message, point, flags))
            {
                if (message == WM_LBUTTONDOWN)
                    Navigator::OnLButtonDown(point, flags, Self());
                else if (message == WM_RBUTTONDOWN)
                    Navigator::OnRButtonDown(point, flags, Self());
                else
                    Navigator::OnMButtonDown(point, flags, Self());
            }
        }
        HoldMouseWhileButtonsDown();
        Default();
    }

    // The view keeps the mouse while a button pressed over it is down, so a
    // drag or a stroke let go outside the view ends where the button comes
    // up, also after a navigation that took and gave up the mouse while
    // another button was held; the last button's release lets it go.
    void HoldMouseWhileButtonsDown()
    {
        if (!m_hWnd || !::IsWindow(m_hWnd))
            return;
        const bool down = ((::GetKeyState(VK_LBUTTON) | ::GetKeyState(VK_RBUTTON) | ::GetKeyState(VK_MBUTTON)) & 0x8000) != 0;
        const HWND captured = ::GetCapture();
        if (down && !captured)
            ::SetCapture(m_hWnd);
        else if (!down && captured == m_hWnd)
            ::ReleaseCapture();
    }

    static std::uint8_t ButtonBit(UINT message)
    {
        switch (message)
        {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            return 1;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
            return 2;
        default:
            return 4;
        }
    }

    // The release of a button whose last press a field's refusal took is
    // dropped.
    bool RefusedPressFollowUp(UINT message)
    {
        if (!(refusedPresses & ButtonBit(message)))
            return false;
        HoldMouseWhileButtonsDown();
        return true;
    }

    template <class F> void Release(UINT message, UINT flags, POINT point, F&& toMode)
    {
        if (RefusedPressFollowUp(message))
            return;
        GLContextScope gl(GetViewRenderer());
        {
            typename Navigator::DispatchScope scope(*this);
            if (Mode* dragging = DraggingMode())
                toMode(dragging);
            else if (!OverlayTakesButton(message, point, flags))
                Navigator::template CallActive<BOOL>(0, toMode);
        }
        HoldMouseWhileButtonsDown();
        Default();
    }

    template <class F> void DoubleClick(UINT message, UINT flags, POINT point, F&& toMode)
    {
        // The first press of it did nothing: this one is a press of its own.
        if (refusedPresses & ButtonBit(message))
        {
            Press(message == WM_LBUTTONDBLCLK ? WM_LBUTTONDOWN : WM_RBUTTONDOWN, flags, point);
            return;
        }
        GLContextScope gl(GetViewRenderer());
        {
            typename Navigator::DispatchScope scope(*this);
            if (!OverlayTakesButton(message, point, flags))
                Navigator::template CallActive<BOOL>(0, toMode);
        }
        HoldMouseWhileButtonsDown();
        Default();
    }

    template <class F> void Key(UINT message, UINT key, UINT repeat, UINT keyFlags, F&& toMode)
    {
        {
            typename Navigator::DispatchScope scope(*this);
            if (!(overlay && overlay->OnKey(message, key, repeat, keyFlags, Self())))
                Navigator::template CallActive<BOOL>(0, toMode);
        }
        Default();
    }

    void ArmLeaveTracking()
    {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = m_hWnd;
        track.dwHoverTime = HOVER_DEFAULT;
        if (::TrackMouseEvent(&track))
            trackingLeave = 1;
    }

    cGdiplusGuard gdiplus;
    std::uint32_t clientWidth = 1;
    std::uint32_t clientHeight = 1;
    std::uint8_t trackingLeave = 0;
    std::uint8_t refusedPresses = 0; // per button (1 left, 2 right, 4 middle)
    std::unique_ptr<ScreenObjectManager> overlay;
};

BEGIN_TEMPLATE_MESSAGE_MAP(cBaseView, TView, CView)
ON_WM_CREATE()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_LBUTTONDBLCLK()
ON_WM_RBUTTONDOWN()
ON_WM_RBUTTONUP()
ON_WM_RBUTTONDBLCLK()
ON_WM_MBUTTONDOWN()
ON_WM_MBUTTONUP()
ON_MESSAGE(WM_MBUTTONDBLCLK, &cBaseView::OnMButtonDblClkMessage)
ON_WM_MOUSEWHEEL()
ON_WM_KEYDOWN()
ON_WM_KEYUP()
ON_WM_SYSKEYDOWN()
ON_WM_SYSKEYUP()
ON_WM_HSCROLL()
ON_WM_VSCROLL()
ON_WM_SETFOCUS()
ON_WM_KILLFOCUS()
ON_WM_MOUSEACTIVATE()
ON_WM_NCHITTEST()
ON_MESSAGE(WM_MOUSELEAVE, &cBaseView::OnMouseLeaveMessage)
ON_WM_SETCURSOR()
ON_WM_SIZE()
ON_MESSAGE(kEndModeMessage, &cBaseView::OnEndModeMessage)
ON_MESSAGE(WM_IDLEUPDATECMDUI, &cBaseView::OnIdleUpdateCmdUI)
ON_WM_ERASEBKGND()
ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()
