// CWnd: the window object of the MFC layer. A window created through CWnd (or
// subclassed by it) sends every message through AfxWndProc to the object's
// WindowProc, which finds the handler in the class's message map and falls
// back to the default window procedure (or the procedure it subclassed).
#pragma once

#include "platform/mfc/cmd_target.h"
#include "platform/mfc/geometry_types.h"
#include "platform/mfc/mfc_string.h"
#include "platform/win32/win32.h"

#include <functional>

class CDC;
class CScrollBar;
class CMenu;
class CDataExchange;

// Window messages with their handlers' MFC signatures.
#define ON_WM_CREATE()                                                                                       \
    VTL_MSG_ENTRY(WM_CREATE, *result_ = self_->OnCreate(reinterpret_cast<CREATESTRUCTW*>(call_.lParam)))
#define ON_WM_DESTROY() VTL_MSG_ENTRY(WM_DESTROY, self_->OnDestroy())
#define ON_WM_NCDESTROY() VTL_MSG_ENTRY(WM_NCDESTROY, self_->OnNcDestroy())
#define ON_WM_CLOSE() VTL_MSG_ENTRY(WM_CLOSE, self_->OnClose())
#define ON_WM_SIZE()                                                                                         \
    VTL_MSG_ENTRY(                                                                                           \
        WM_SIZE, self_->OnSize(static_cast<UINT>(call_.wParam), LOWORD(call_.lParam), HIWORD(call_.lParam)))
#define ON_WM_MOVE()                                                                                         \
    VTL_MSG_ENTRY(WM_MOVE, self_->OnMove(GET_X_LPARAM(call_.lParam), GET_Y_LPARAM(call_.lParam)))
#define ON_WM_PAINT() VTL_MSG_ENTRY(WM_PAINT, self_->OnPaint())
#define ON_WM_ERASEBKGND()                                                                                   \
    VTL_MSG_ENTRY(WM_ERASEBKGND,                                                                             \
                  *result_ = self_->OnEraseBkgnd(CDC::FromHandle(reinterpret_cast<HDC>(call_.wParam))))
#define ON_WM_TIMER() VTL_MSG_ENTRY(WM_TIMER, self_->OnTimer(static_cast<UINT_PTR>(call_.wParam)))
#define ON_WM_SHOWWINDOW()                                                                                   \
    VTL_MSG_ENTRY(WM_SHOWWINDOW,                                                                             \
                  self_->OnShowWindow(static_cast<BOOL>(call_.wParam), static_cast<UINT>(call_.lParam)))
#define ON_WM_ENABLE() VTL_MSG_ENTRY(WM_ENABLE, self_->OnEnable(static_cast<BOOL>(call_.wParam)))
#define ON_WM_SETFOCUS()                                                                                     \
    VTL_MSG_ENTRY(WM_SETFOCUS, self_->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(call_.wParam))))
#define ON_WM_KILLFOCUS()                                                                                    \
    VTL_MSG_ENTRY(WM_KILLFOCUS, self_->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(call_.wParam))))
#define ON_WM_ACTIVATE()                                                                                     \
    VTL_MSG_ENTRY(WM_ACTIVATE, self_->OnActivate(LOWORD(call_.wParam),                                       \
                                                 CWnd::FromHandle(reinterpret_cast<HWND>(call_.lParam)),     \
                                                 HIWORD(call_.wParam)))
#define ON_WM_MOUSEACTIVATE()                                                                                \
    VTL_MSG_ENTRY(WM_MOUSEACTIVATE,                                                                          \
                  *result_ = self_->OnMouseActivate(CWnd::FromHandle(reinterpret_cast<HWND>(call_.wParam)),  \
                                                    LOWORD(call_.lParam), HIWORD(call_.lParam)))
#define ON_WM_SETCURSOR()                                                                                    \
    VTL_MSG_ENTRY(WM_SETCURSOR,                                                                              \
                  *result_ = self_->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(call_.wParam)),      \
                                                LOWORD(call_.lParam), HIWORD(call_.lParam)))
#define ON_WM_NCHITTEST()                                                                                    \
    VTL_MSG_ENTRY(WM_NCHITTEST, *result_ = self_->OnNcHitTest(                                               \
                                    CPoint(GET_X_LPARAM(call_.lParam), GET_Y_LPARAM(call_.lParam))))
#define ON_WM_MOUSEMOVE()                                                                                    \
    VTL_MSG_ENTRY(WM_MOUSEMOVE, self_->OnMouseMove(static_cast<UINT>(call_.wParam), CPoint(call_.lParam)))
#define ON_WM_LBUTTONDOWN()                                                                                  \
    VTL_MSG_ENTRY(WM_LBUTTONDOWN, self_->OnLButtonDown(static_cast<UINT>(call_.wParam), CPoint(call_.lParam)))
#define ON_WM_LBUTTONUP()                                                                                    \
    VTL_MSG_ENTRY(WM_LBUTTONUP, self_->OnLButtonUp(static_cast<UINT>(call_.wParam), CPoint(call_.lParam)))
#define ON_WM_LBUTTONDBLCLK()                                                                                \
    VTL_MSG_ENTRY(WM_LBUTTONDBLCLK,                                                                          \
                  self_->OnLButtonDblClk(static_cast<UINT>(call_.wParam), CPoint(call_.lParam)))
#define ON_WM_RBUTTONDOWN()                                                                                  \
    VTL_MSG_ENTRY(WM_RBUTTONDOWN, self_->OnRButtonDown(static_cast<UINT>(call_.wParam), CPoint(call_.lParam)))
#define ON_WM_RBUTTONUP()                                                                                    \
    VTL_MSG_ENTRY(WM_RBUTTONUP, self_->OnRButtonUp(static_cast<UINT>(call_.wParam), CPoint(call_.lParam)))
#define ON_WM_RBUTTONDBLCLK()                                                                                \
    VTL_MSG_ENTRY(WM_RBUTTONDBLCLK,                                                                          \
                  self_->OnRButtonDblClk(static_cast<UINT>(call_.wParam), CPoint(call_.lParam)))
#define ON_WM_MBUTTONDOWN()                                                                                  \
    VTL_MSG_ENTRY(WM_MBUTTONDOWN, self_->OnMButtonDown(static_cast<UINT>(call_.wParam), CPoint(call_.lParam)))
#define ON_WM_MBUTTONUP()                                                                                    \
    VTL_MSG_ENTRY(WM_MBUTTONUP, self_->OnMButtonUp(static_cast<UINT>(call_.wParam), CPoint(call_.lParam)))
#define ON_WM_MOUSEWHEEL()                                                                                   \
    VTL_MSG_ENTRY(WM_MOUSEWHEEL,                                                                             \
                  *result_ = self_->OnMouseWheel(                                                            \
                      GET_KEYSTATE_WPARAM(call_.wParam), GET_WHEEL_DELTA_WPARAM(call_.wParam),               \
                      CPoint(GET_X_LPARAM(call_.lParam), GET_Y_LPARAM(call_.lParam))))
#define ON_WM_MOUSELEAVE() VTL_MSG_ENTRY(WM_MOUSELEAVE, self_->OnMouseLeave())
#define ON_WM_CAPTURECHANGED()                                                                               \
    VTL_MSG_ENTRY(WM_CAPTURECHANGED,                                                                         \
                  self_->OnCaptureChanged(CWnd::FromHandle(reinterpret_cast<HWND>(call_.lParam))))
#define VTL_KEY_ENTRY(msg, fn)                                                                               \
    VTL_MSG_ENTRY(msg, self_->fn(static_cast<UINT>(call_.wParam), LOWORD(call_.lParam), HIWORD(call_.lParam)))
#define ON_WM_KEYDOWN() VTL_KEY_ENTRY(WM_KEYDOWN, OnKeyDown)
#define ON_WM_KEYUP() VTL_KEY_ENTRY(WM_KEYUP, OnKeyUp)
#define ON_WM_SYSKEYDOWN() VTL_KEY_ENTRY(WM_SYSKEYDOWN, OnSysKeyDown)
#define ON_WM_SYSKEYUP() VTL_KEY_ENTRY(WM_SYSKEYUP, OnSysKeyUp)
#define ON_WM_CHAR() VTL_KEY_ENTRY(WM_CHAR, OnChar)
#define ON_WM_HSCROLL()                                                                                      \
    VTL_MSG_ENTRY(WM_HSCROLL, self_->OnHScroll(LOWORD(call_.wParam), HIWORD(call_.wParam),                   \
                                               reinterpret_cast<CScrollBar*>(                                \
                                                   CWnd::FromHandle(reinterpret_cast<HWND>(call_.lParam)))))
#define ON_WM_VSCROLL()                                                                                      \
    VTL_MSG_ENTRY(WM_VSCROLL, self_->OnVScroll(LOWORD(call_.wParam), HIWORD(call_.wParam),                   \
                                               reinterpret_cast<CScrollBar*>(                                \
                                                   CWnd::FromHandle(reinterpret_cast<HWND>(call_.lParam)))))
#define ON_WM_CONTEXTMENU()                                                                                  \
    VTL_MSG_ENTRY(WM_CONTEXTMENU,                                                                            \
                  self_->OnContextMenu(CWnd::FromHandle(reinterpret_cast<HWND>(call_.wParam)),               \
                                       CPoint(GET_X_LPARAM(call_.lParam), GET_Y_LPARAM(call_.lParam))))
#define ON_WM_GETMINMAXINFO()                                                                                \
    VTL_MSG_ENTRY(WM_GETMINMAXINFO, self_->OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(call_.lParam)))
#define ON_WM_WINDOWPOSCHANGED()                                                                             \
    VTL_MSG_ENTRY(WM_WINDOWPOSCHANGED, self_->OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(call_.lParam)))
#define ON_WM_GETDLGCODE() VTL_MSG_ENTRY(WM_GETDLGCODE, *result_ = self_->OnGetDlgCode())
#define ON_WM_SYSCOLORCHANGE() VTL_MSG_ENTRY(WM_SYSCOLORCHANGE, self_->OnSysColorChange())
#define ON_WM_CANCELMODE() VTL_MSG_ENTRY(WM_CANCELMODE, self_->OnCancelMode())

class CWnd : public CCmdTarget
{
    DECLARE_DYNCREATE(CWnd)

public:
    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return GetSafeHwnd(); }

    // Handle map: the object attached to a window, or a temporary object for
    // a window that no CWnd owns (freed when that window is destroyed).
    static CWnd* FromHandle(HWND hwnd);
    static CWnd* FromHandlePermanent(HWND hwnd);
    BOOL Attach(HWND hwnd);
    HWND Detach();
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    // Creation and destruction.
    virtual BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                        UINT id, void* context = nullptr);
    virtual BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                          int width, int height, HWND parent, HMENU idOrMenu, LPVOID param = nullptr);
    virtual BOOL DestroyWindow();
    virtual BOOL PreCreateWindow(CREATESTRUCTW& cs);
    virtual void PreSubclassWindow() {}
    virtual void PostNcDestroy() {}

    // Message handling.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A child's notification offered back to the child first.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual BOOL PreTranslateMessage(MSG* msg);
    // From msg's window up through its parents, stopping at the first that
    // takes the message or at stop.
    static BOOL WalkPreTranslateTree(HWND stop, MSG* msg);
    LRESULT Default();
    // The message the calling thread is dispatching through AfxWndProc.
    static const MSG* GetCurrentMessage();

    // Wrappers of the window functions.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, BOOL deep = TRUE,
                                  BOOL permanentOnly = FALSE);
    CWnd* GetParent() const;
    CWnd* GetOwner() const;
    CWnd* GetTopLevelParent() const;
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    CWnd* SetFocus();
    static CWnd* GetFocus();
    CWnd* SetCapture();
    static CWnd* GetCapture();
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE)
    {
        ::MoveWindow(m_hWnd, x, y, width, height, repaint);
    }
    void MoveWindow(const RECT* rect, BOOL repaint = TRUE)
    {
        ::MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                     repaint);
    }
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void ScreenToClient(POINT* point) const { ::ScreenToClient(m_hWnd, point); }
    void ScreenToClient(RECT* rect) const;
    void ClientToScreen(POINT* point) const { ::ClientToScreen(m_hWnd, point); }
    void ClientToScreen(RECT* rect) const;
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(const RECT* rect = nullptr, HRGN region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE)
    {
        return ::RedrawWindow(m_hWnd, rect, region, flags);
    }
    void SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }
    void GetWindowText(CString& text) const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr)
    {
        return ::SetTimer(m_hWnd, id, elapse, proc);
    }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    void CenterWindow(CWnd* alternateOwner = nullptr);

    // Data exchange between the controls and the members (data_exchange.h):
    // FALSE fills the controls, TRUE reads and checks them. Returns FALSE
    // when a control's text was refused; the user was told which, and the
    // members exchanged before it keep their new values.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange*) {}
    BOOL IsChild(const CWnd* wnd) const { return wnd && ::IsChild(m_hWnd, wnd->m_hWnd); }

protected:
    // Handlers; each default passes the current message on.
    afx_msg int OnCreate(CREATESTRUCTW*) { return static_cast<int>(Default()); }
    afx_msg void OnDestroy() { Default(); }
    afx_msg void OnNcDestroy();
    afx_msg void OnClose() { Default(); }
    afx_msg void OnSize(UINT, int, int) { Default(); }
    afx_msg void OnMove(int, int) { Default(); }
    afx_msg void OnPaint() { Default(); }
    afx_msg BOOL OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
    afx_msg void OnTimer(UINT_PTR) { Default(); }
    afx_msg void OnShowWindow(BOOL, UINT) { Default(); }
    afx_msg void OnEnable(BOOL) { Default(); }
    afx_msg void OnSetFocus(CWnd*) { Default(); }
    afx_msg void OnKillFocus(CWnd*) { Default(); }
    afx_msg void OnActivate(UINT, CWnd*, BOOL) { Default(); }
    afx_msg int OnMouseActivate(CWnd*, UINT, UINT) { return static_cast<int>(Default()); }
    afx_msg BOOL OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
    afx_msg LRESULT OnNcHitTest(CPoint) { return Default(); }
    afx_msg void OnMouseMove(UINT, CPoint) { Default(); }
    afx_msg void OnLButtonDown(UINT, CPoint) { Default(); }
    afx_msg void OnLButtonUp(UINT, CPoint) { Default(); }
    afx_msg void OnLButtonDblClk(UINT, CPoint) { Default(); }
    afx_msg void OnRButtonDown(UINT, CPoint) { Default(); }
    afx_msg void OnRButtonUp(UINT, CPoint) { Default(); }
    afx_msg void OnRButtonDblClk(UINT, CPoint) { Default(); }
    afx_msg void OnMButtonDown(UINT, CPoint) { Default(); }
    afx_msg void OnMButtonUp(UINT, CPoint) { Default(); }
    afx_msg BOOL OnMouseWheel(UINT, short, CPoint) { return static_cast<BOOL>(Default()); }
    afx_msg void OnMouseLeave() { Default(); }
    afx_msg void OnCaptureChanged(CWnd*) { Default(); }
    afx_msg void OnKeyDown(UINT, UINT, UINT) { Default(); }
    afx_msg void OnKeyUp(UINT, UINT, UINT) { Default(); }
    afx_msg void OnSysKeyDown(UINT, UINT, UINT) { Default(); }
    afx_msg void OnSysKeyUp(UINT, UINT, UINT) { Default(); }
    afx_msg void OnChar(UINT, UINT, UINT) { Default(); }
    afx_msg void OnHScroll(UINT, UINT, CScrollBar*) { Default(); }
    afx_msg void OnVScroll(UINT, UINT, CScrollBar*) { Default(); }
    afx_msg void OnContextMenu(CWnd*, CPoint) { Default(); }
    afx_msg void OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
    afx_msg void OnWindowPosChanged(WINDOWPOS*) { Default(); }
    afx_msg UINT OnGetDlgCode() { return static_cast<UINT>(Default()); }
    afx_msg void OnSysColorChange() { Default(); }
    afx_msg void OnCancelMode() { Default(); }

    WNDPROC m_pfnSuper = nullptr; // the procedure this window had before it was subclassed

    // Runs create, which makes a window (a dialog, say), with this object
    // attached to that window before its first message; returns the window.
    HWND CreateAttached(const std::function<HWND()>& create);

private:
    // Attaches the window that CreateEx is creating, before its first message.
    static void HookCreatedWindow(HWND hwnd, CREATESTRUCTW* cs);

protected:
    DECLARE_MESSAGE_MAP()

    friend LRESULT AfxWndProc(HWND, UINT, WPARAM, LPARAM);
};

// The window procedure of every window that a CWnd owns.
LRESULT AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// A window class with these attributes, registered on first use; returns
// its generated name (valid for the life of the process).
LPCWSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                            HICON icon = nullptr);
