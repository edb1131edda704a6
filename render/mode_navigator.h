// The interaction-mode interface of the 3D views and the per-view stack of
// modes. The top of the stack is the active mode; it gets the mouse, key,
// command, cursor and context-menu traffic that the overlay controls leave.
//
// A mode id carries its level in the high 16 bits. A mode only rests on
// modes of a strictly higher level, so pushing a mode removes every mode
// whose level is not above the new one; a navigation mode (0xC8) can rest on
// an editing mode (0xCB), which resumes when the navigation ends.
//
// Modes end themselves synchronously (RequestEnd sends the view WM_USER + 9,
// whose handler pops the mode) while their own handler is still running. So
// that such a handler never runs on a deleted object, every call into a mode
// runs inside a DispatchScope, and modes popped meanwhile are deleted only when
// the outermost scope closes. The event order stays synchronous.
//
// TView is the view class: it provides GetSafeHwnd() and the pressPoint and
// lastPoint fields (client pixels) that the navigator maintains.
#pragma once

#include "core/events.h"
#include "platform/mfc/ptr_list.h"
#include "platform/win32/win32.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

class CWnd;
class CView;
class CScrollBar;
class CMenu;
class GpGraphics;
struct AFX_CMDHANDLERINFO;

// Mode ids of the navigation modes.
inline constexpr std::uint32_t kFreeNavigationModeId = 0xA03E8;
inline constexpr std::uint32_t kRotateModeId = 0xC803E9;
inline constexpr std::uint32_t kTranslateModeId = 0xC803EA;
inline constexpr std::uint32_t kZoomModeId = 0xC803EB;
inline constexpr std::uint32_t kZoomRectModeId = 0xC803EC;
// The message a mode sends its view to be ended (wParam its id, lParam the mode).
inline constexpr UINT kEndModeMessage = WM_USER + 9;

inline constexpr std::uint32_t ModeLevel(std::uint32_t id)
{
    return id >> 16;
}

template <class TView> class cUserInteractiveMode
{
public:
    cUserInteractiveMode(std::uint32_t id, std::uint32_t temporary) : id(id), temporary(temporary) {}
    virtual ~cUserInteractiveMode() = default;
    cUserInteractiveMode(const cUserInteractiveMode&) = delete;
    cUserInteractiveMode& operator=(const cUserInteractiveMode&) = delete;

    std::uint32_t GetId() const { return id; }

    // Mouse. Handlers return non-zero when they handled the event.
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
    virtual BOOL OnMouseLeave(WPARAM, LPARAM, TView*) { return 0; }
    virtual void OnSize(UINT, int, int, TView*) {}
    virtual POINT* AdjustPoint(POINT* out, POINT point, TView*)
    {
        *out = point;
        return out;
    }

    // Keys and scrolling.
    virtual BOOL OnKeyDown(UINT, UINT, UINT, TView*) { return 0; }
    virtual BOOL OnKeyUp(UINT, UINT, UINT, TView*) { return 0; }
    virtual BOOL OnSysKeyDown(UINT, UINT, UINT, TView*) { return 0; }
    virtual BOOL OnSysKeyUp(UINT, UINT, UINT, TView*) { return 0; }
    virtual BOOL OnHScroll(UINT, UINT, CScrollBar*, TView*) { return 0; }
    virtual BOOL OnVScroll(UINT, UINT, CScrollBar*, TView*) { return 0; }

    // View, focus, commands and idle.
    virtual void OnActivateView(BOOL, CView*, CView*) {}
    virtual void OnKillFocus(CWnd*, TView*) {}
    virtual void OnSetFocus(CWnd*, TView*) {}
    virtual BOOL OnCommand(UINT, int, void*, AFX_CMDHANDLERINFO*, TView*) { return 0; }
    virtual void OnIdleUpdate(TView*) {}
    virtual void OnEscape(TView* view)
    {
        if (!IsPersistentOnEscape())
            RequestEnd(view);
    }

    // Life on the stack.
    virtual void OnActivate(TView*) {}
    virtual void OnSuspend(TView*, std::uint32_t) {}
    virtual BOOL OnDeactivate(TView*) { return 1; }
    virtual BOOL OnNotify(TView*, WPARAM, LPARAM) { return 1; }
    virtual BOOL RequestEnd(TView* view)
    {
        if (view)
            SendMessageW(view->GetSafeHwnd(), kEndModeMessage, static_cast<WPARAM>(id),
                         reinterpret_cast<LPARAM>(this));
        return 1;
    }
    virtual BOOL IsPersistentOnEscape() { return 0; }
    virtual BOOL CanEnd() { return temporary != 0 ? TRUE : FALSE; }
    virtual BOOL IsDragging() { return 0; }

    // Cursor (positive: a cursor resource, negative: a system cursor in the
    // low 16 bits, 0: the window decides) and context menu.
    virtual int OnSetCursor(TView*, UINT, UINT) { return 0; }
    virtual BOOL GetContextMenu(UINT* menuId, CWnd** target)
    {
        if (menuId)
            *menuId = 0;
        if (target)
            *target = nullptr;
        return 0;
    }
    virtual void UpdateContextMenu(CMenu*) {}

    // Drawing passes of the view's frame.
    virtual void DrawGL(TView*) {}
    virtual void OnAfterFullRedraw(TView*) {}
    virtual void DrawOverlay(GpGraphics*, TView*) {}

    // Two queries the navigator forwards for the view; their meaning belongs
    // to the modes that override them.
    virtual BOOL QueryAfterDrawOverlay() { return 1; }
    virtual BOOL QueryBeforeCanEnd() { return 0; }

    virtual const wchar_t* GetClassName() const = 0;

protected:
    std::uint32_t id;
    std::uint32_t temporary; // created by a mouse press through a navigation profile
};

template <class TView> class cUserIModeNavigator
{
public:
    using Mode = cUserInteractiveMode<TView>;

private:
    // The dispatch depth and the modes waiting for it to reach zero. Scopes
    // share it with the navigator, so a navigator destroyed inside a mode's
    // handler (the handler closed the view) leaves its modes to the last scope.
    struct DispatchState
    {
        int depth = 0;
        std::vector<Mode*> retired;
        void DeleteRetired()
        {
            while (!retired.empty())
            {
                std::vector<Mode*> doomed;
                doomed.swap(retired);
                for (Mode* m : doomed)
                    delete m;
            }
        }
        ~DispatchState() { DeleteRetired(); }
    };

public:
    // Keeps popped modes alive until the outermost scope closes.
    class DispatchScope
    {
    public:
        explicit DispatchScope(cUserIModeNavigator& navigator) : state(navigator.dispatch) { ++state->depth; }
        ~DispatchScope()
        {
            if (--state->depth == 0)
                state->DeleteRetired();
        }
        DispatchScope(const DispatchScope&) = delete;
        DispatchScope& operator=(const DispatchScope&) = delete;

    private:
        std::shared_ptr<DispatchState> state;
    };

    cUserIModeNavigator() : modes(10) {}
    virtual ~cUserIModeNavigator()
    {
        Clear(nullptr);
        if (dispatch->depth == 0)
            dispatch->DeleteRetired();
    }
    cUserIModeNavigator(const cUserIModeNavigator&) = delete;
    cUserIModeNavigator& operator=(const cUserIModeNavigator&) = delete;

    virtual BOOL ActiveQueryAfterDrawOverlay() { return active ? active->QueryAfterDrawOverlay() : 1; }
    virtual BOOL ActiveQueryBeforeCanEnd() { return active ? active->QueryBeforeCanEnd() : 0; }
    virtual Mode* CreateMode(std::uint32_t, std::uint32_t, LPARAM) { return nullptr; }
    virtual std::uint32_t GetDefaultModeId() { return 0; }
    virtual std::uint32_t GetModeIdForMouseEvent(UINT) { return 0; }

    Mode* GetActiveMode() const { return active; }
    INT_PTR GetModeCount() const { return modes.GetCount(); }
    Mode* FindMode(std::uint32_t id) const
    {
        POSITION pos = FindPosition(id);
        return pos ? ModeAt(pos) : nullptr;
    }
    // The stacked modes from the bottom up.
    std::vector<Mode*> GetModes() const
    {
        std::vector<Mode*> out;
        for (POSITION pos = modes.GetHeadPosition(); pos;)
            out.push_back(static_cast<Mode*>(modes.GetNext(pos)));
        return out;
    }
    bool IsStacked(const Mode* mode) const
    {
        for (POSITION pos = modes.GetHeadPosition(); pos;)
            if (modes.GetNext(pos) == mode)
                return true;
        return false;
    }

    // f(active mode), or fallback without one, inside a dispatch scope: the
    // way the view hands an event straight to the active mode.
    template <class R, class F> R CallActive(R fallback, F&& f)
    {
        DispatchScope scope(*this);
        return active ? static_cast<R>(f(active)) : fallback;
    }

    // Calls f(mode) for every stacked mode from the bottom up; a mode popped
    // by an earlier call is skipped.
    template <class F> void ForEachModeFromBottom(F&& f)
    {
        DispatchScope scope(*this);
        for (Mode* m : GetModes())
            if (IsStacked(m))
                f(m);
    }

    void SetMode(std::uint32_t id, std::uint32_t temporary, TView* view, LPARAM extra)
    {
        const std::uint32_t activeId = active ? active->GetId() : 0xFFFFFFFFu;
        if (id == activeId)
            return;
        if (POSITION pos = FindPosition(id))
        {
            POSITION above = pos;
            modes.GetNext(above);
            if (above)
                PopModes(above, view);
            if (Mode* top = active)
                InMode([&] { top->OnActivate(view); });
            modeChanged.Fire(this);
            return;
        }
        PopToLevel(id, view);
        HWND hwnd = WindowOf(view);
        if (hwnd)
            DropIrregularWindowRegion(hwnd);
        Mode* mode = CreateMode(id, temporary, extra);
        if (!mode)
            return;
        if (Mode* previous = active)
            InMode([&] { previous->OnSuspend(view, id); });
        modes.AddTail(mode);
        active = mode;
        InMode([&] { mode->OnActivate(view); });
        modeChanged.Fire(this);
        if (hwnd && IsWindow(hwnd))
            SetFocus(hwnd);
    }

    BOOL EndMode(std::uint32_t id, TView* view)
    {
        if (POSITION pos = FindPosition(id))
        {
            Mode* toEnd = ModeAt(pos);
            if (InMode([&] { return toEnd->CanEnd(); }))
            {
                // A run of temporary modes below it ends with it.
                POSITION lower = pos;
                modes.GetPrev(lower);
                while (lower && InMode([&] { return ModeAt(lower)->CanEnd(); }))
                {
                    toEnd = ModeAt(lower);
                    modes.GetPrev(lower);
                }
            }
            PopToLevel(toEnd->GetId(), view);
        }
        if (Mode* top = active)
        {
            InMode([&] { top->OnActivate(view); });
            modeChanged.Fire(this);
        }
        else
            SetMode(GetDefaultModeId(), 0, view, 0);
        return 1;
    }

    void PopModes(POSITION node, TView* view)
    {
        while (node)
        {
            POSITION next = node;
            Mode* m = static_cast<Mode*>(modes.GetNext(next));
            InMode([&] { m->OnDeactivate(view); });
            // OnDeactivate may itself have changed the stack; remove this
            // mode wherever it is now.
            if (POSITION still = modes.Find(m))
            {
                next = still;
                modes.GetNext(next);
                modes.RemoveAt(still);
                Retire(m);
            }
            node = next;
        }
        active = modes.IsEmpty() ? nullptr : static_cast<Mode*>(modes.GetTail());
    }

    void PopToLevel(std::uint32_t id, TView* view)
    {
        const std::uint32_t level = ModeLevel(id);
        for (POSITION pos = modes.GetHeadPosition(); pos;)
        {
            POSITION here = pos;
            Mode* m = static_cast<Mode*>(modes.GetNext(pos));
            if (ModeLevel(m->GetId()) <= level)
            {
                PopModes(here, view);
                return;
            }
        }
    }

    void Clear(TView* view)
    {
        while (!modes.IsEmpty())
        {
            Mode* m = static_cast<Mode*>(modes.GetHead());
            InMode([&] { m->OnDeactivate(view); });
            if (POSITION still = modes.Find(m))
            {
                modes.RemoveAt(still);
                Retire(m);
            }
        }
        active = nullptr;
    }

    BOOL RouteCommand(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info, TView* view)
    {
        DispatchScope scope(*this);
        std::vector<Mode*> stack = GetModes();
        for (auto it = stack.rbegin(); it != stack.rend(); ++it)
            if (IsStacked(*it) && (*it)->OnCommand(id, code, extra, info, view))
                return 1;
        return 0;
    }

    // The navigator's side of the view's mouse routing (after the overlay
    // controls). A left press switches modes only with Ctrl or from the
    // default mode, so it never replaces an editing mode by itself.
    BOOL OnLButtonDown(POINT point, UINT flags, TView* view)
    {
        const std::uint32_t m = GetModeIdForMouseEvent(flags);
        if (m && ((flags & MK_CONTROL) || (active && active->GetId() == GetDefaultModeId())))
            SetMode(m, 1, view, 0);
        return Press(point, view, [&](Mode* mode) { return mode->OnLButtonDown(point, flags, view); });
    }

    BOOL OnRButtonDown(POINT point, UINT flags, TView* view)
    {
        if (const std::uint32_t m = GetModeIdForMouseEvent(flags))
            SetMode(m, 1, view, 0);
        return Press(point, view, [&](Mode* mode) { return mode->OnRButtonDown(point, flags, view); });
    }

    BOOL OnMButtonDown(POINT point, UINT flags, TView* view)
    {
        if (const std::uint32_t m = GetModeIdForMouseEvent(flags))
            SetMode(m, 1, view, 0);
        return Press(point, view, [&](Mode* mode) { return mode->OnMButtonDown(point, flags, view); });
    }

    BOOL OnMouseMove(POINT point, UINT flags, TView* view)
    {
        DispatchScope scope(*this);
        BOOL result = active ? active->OnMouseMove(point, flags, view) : 0;
        if (view)
        {
            POINT adjusted = point;
            if (active)
                adjusted = *active->AdjustPoint(&adjusted, point, view);
            view->lastPoint = adjusted;
        }
        return result;
    }

    // Non-zero only when the mode handled a release that was no click; a
    // click (within 2 pixels of the press in both axes) falls through to the
    // default window procedure and so to the context menu.
    BOOL OnRButtonUp(POINT point, UINT flags, TView* view)
    {
        DispatchScope scope(*this);
        bool click = true;
        if (view)
            click = std::abs(view->pressPoint.x - point.x) < 3 && std::abs(view->pressPoint.y - point.y) < 3;
        BOOL handled = active ? active->OnRButtonUp(point, flags, view) : 0;
        return handled && !click ? 1 : 0;
    }

    tEvent<cUserIModeNavigator<TView>> modeChanged;

protected:
    Mode* active = nullptr;
    CPtrList modes; // head = bottom of the stack; owns the modes

private:
    template <class F> BOOL Press(POINT point, TView* view, F&& call)
    {
        if (view)
            view->pressPoint = view->lastPoint = point;
        DispatchScope scope(*this);
        return active ? call(active) : 0;
    }

    // Every call into a mode runs inside a scope, so that a mode that ends
    // itself during the call outlives it.
    template <class F> auto InMode(F&& f)
    {
        DispatchScope scope(*this);
        return f();
    }

    Mode* ModeAt(POSITION pos) const { return static_cast<Mode*>(modes.GetAt(pos)); }

    POSITION FindPosition(std::uint32_t id) const
    {
        for (POSITION pos = modes.GetHeadPosition(); pos;)
        {
            POSITION here = pos;
            if (static_cast<Mode*>(modes.GetNext(pos))->GetId() == id)
                return here;
        }
        return nullptr;
    }

    static HWND WindowOf(TView* view) { return view ? view->GetSafeHwnd() : nullptr; }

    static void DropIrregularWindowRegion(HWND hwnd)
    {
        HRGN probe = CreateRectRgn(0, 0, 0, 0);
        const int type = GetWindowRgn(hwnd, probe);
        DeleteObject(probe);
        if (type == NULLREGION || type == COMPLEXREGION)
            SetWindowRgn(hwnd, nullptr, FALSE);
    }

    void Retire(Mode* m)
    {
        if (dispatch->depth > 0)
            dispatch->retired.push_back(m);
        else
            delete m;
    }

    std::shared_ptr<DispatchState> dispatch = std::make_shared<DispatchState>();
};
