#include "platform/mfc/wnd.h"
#include "platform/mfc/dc.h"
#include "platform/mfc/win_app.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace
{

// Permanent objects (attached windows) and temporary ones (FromHandle of a
// window no CWnd owns). One map for the process: handles are unique and
// never reused, and the worker threads only ever ask for their own windows.
struct HandleMap
{
    std::mutex lock;
    std::map<HWND, CWnd*> permanent;
    std::map<HWND, std::unique_ptr<CWnd>> temporary;
    // The module state each window was attached under. Its messages run in
    // that state, as a library's windows do: a plug-in's view finds the
    // plug-in's menus and cursors although the host's loop dispatches them.
    std::map<HWND, AFX_MODULE_STATE*> states;
    bool observing = false;
};

HandleMap& Map()
{
    static HandleMap* map = new HandleMap;
    return *map;
}

void ForgetTemporary(HWND hwnd)
{
    std::unique_ptr<CWnd> doomed;
    {
        HandleMap& m = Map();
        std::lock_guard<std::mutex> guard(m.lock);
        auto it = m.temporary.find(hwnd);
        if (it == m.temporary.end())
            return;
        doomed = std::move(it->second);
        m.temporary.erase(it);
    }
    doomed->m_hWnd = nullptr;
}

thread_local CWnd* t_wndInit = nullptr; // the object a CreateEx in progress attaches
thread_local MSG t_lastMessage{};

LPCWSTR DefaultClass()
{
    static LPCWSTR name =
        AfxRegisterWndClass(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, LoadCursorW(nullptr, IDC_ARROW));
    return name;
}

} // namespace

IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
ON_WM_NCDESTROY()
END_MESSAGE_MAP()

CWnd::CWnd() = default;

void CWnd::HookCreatedWindow(HWND hwnd, CREATESTRUCTW*)
{
    CWnd* wnd = t_wndInit;
    if (!wnd)
        return;
    t_wndInit = nullptr;
    wnd->Attach(hwnd);
    wnd->PreSubclassWindow();
    auto old = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    if (old != &AfxWndProc)
        wnd->m_pfnSuper = old;
}

CWnd::~CWnd()
{
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this)
    {
        // Destroyed while its window lives: the window goes too, without
        // reaching this half-destroyed object again.
        HWND hwnd = m_hWnd;
        if (m_pfnSuper)
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        else
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&::DefWindowProcW));
        Detach();
        ::DestroyWindow(hwnd);
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    HandleMap& m = Map();
    std::lock_guard<std::mutex> guard(m.lock);
    auto it = m.permanent.find(hwnd);
    return it == m.permanent.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    if (!hwnd || !::IsWindow(hwnd))
        return nullptr;
    HandleMap& m = Map();
    bool observe = false;
    CWnd* result = nullptr;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        if (auto it = m.permanent.find(hwnd); it != m.permanent.end())
            return it->second;
        auto& slot = m.temporary[hwnd];
        if (!slot)
        {
            slot = std::make_unique<CWnd>();
            slot->m_hWnd = hwnd;
        }
        result = slot.get();
        observe = !m.observing;
        m.observing = true;
    }
    if (observe)
        win32::AddWindowObserver({nullptr, &ForgetTemporary});
    return result;
}

BOOL CWnd::Attach(HWND hwnd)
{
    if (!hwnd || m_hWnd)
        return FALSE;
    ForgetTemporary(hwnd);
    HandleMap& m = Map();
    std::lock_guard<std::mutex> guard(m.lock);
    if (m.permanent.count(hwnd))
        return FALSE;
    m.permanent[hwnd] = this;
    m.states[hwnd] = AfxGetModuleState();
    m_hWnd = hwnd;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hwnd = m_hWnd;
    if (hwnd)
    {
        HandleMap& m = Map();
        std::lock_guard<std::mutex> guard(m.lock);
        auto it = m.permanent.find(hwnd);
        if (it != m.permanent.end() && it->second == this)
        {
            m.permanent.erase(it);
            m.states.erase(hwnd);
        }
    }
    m_hWnd = nullptr;
    return hwnd;
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    if (!Attach(hwnd))
        return FALSE;
    PreSubclassWindow();
    auto old = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    if (old != &AfxWndProc)
        m_pfnSuper = old;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    HWND control = parent ? ::GetDlgItem(parent->m_hWnd, static_cast<int>(id)) : nullptr;
    return control ? SubclassWindow(control) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    if (m_pfnSuper)
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    return Detach();
}

BOOL CWnd::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                  void*)
{
    return CreateEx(0, className, windowName, style | WS_CHILD, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU idOrMenu, LPVOID param)
{
    if (m_hWnd)
        return FALSE;
    CREATESTRUCTW cs{param,      nullptr,   idOrMenu, parent, height, width, y, x, static_cast<LONG>(style),
                     windowName, className, exStyle};
    if (!PreCreateWindow(cs))
    {
        PostNcDestroy();
        return FALSE;
    }
    HWND hwnd = CreateAttached(
        [&]
        {
            return ::CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x,
                                     cs.y, cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
        });
    return hwnd ? TRUE : FALSE;
}

HWND CWnd::CreateAttached(const std::function<HWND()>& create)
{
    CWnd* outer = t_wndInit;
    t_wndInit = this;
    win32::CreateWindowHook previous = win32::SetCreateWindowHook(&CWnd::HookCreatedWindow);
    struct Restore
    {
        CWnd* self;
        CWnd* outer;
        win32::CreateWindowHook previous;
        ~Restore()
        {
            win32::SetCreateWindowHook(std::move(previous));
            if (t_wndInit == self)
                t_wndInit = outer;
        }
    } restore{this, outer, std::move(previous)};
    return create();
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTW& cs)
{
    if (!cs.lpszClass)
        cs.lpszClass = DefaultClass();
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

void CWnd::OnNcDestroy()
{
    Default();
    HWND hwnd = m_hWnd;
    if (m_pfnSuper)
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    Detach();
    PostNcDestroy(); // may delete this
}

LRESULT AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
    if (!wnd)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    AFX_MODULE_STATE* state = nullptr;
    {
        HandleMap& m = Map();
        std::lock_guard<std::mutex> guard(m.lock);
        auto it = m.states.find(hwnd);
        if (it != m.states.end())
            state = it->second;
    }
    AFX_MAINTAIN_STATE keepState(state ? state : AfxGetModuleState());
    MSG saved = t_lastMessage;
    t_lastMessage = MSG{hwnd, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {0, 0}};
    struct Restore
    {
        MSG saved;
        ~Restore() { t_lastMessage = saved; }
    } restore{saved};
    LRESULT result = wnd->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY)
        // A class that swallowed WM_NCDESTROY still loses its window.
        if (CWnd* still = CWnd::FromHandlePermanent(hwnd))
            still->Detach();
    return result;
}

const MSG* CWnd::GetCurrentMessage()
{
    return &t_lastMessage;
}

LRESULT CWnd::Default()
{
    const MSG* m = GetCurrentMessage();
    return DefWindowProc(m->message, m->wParam, m->lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    LRESULT local = 0;
    if (!result)
        result = &local;
    if (message == WM_COMMAND)
    {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *result = 1;
        return TRUE;
    }
    if (message == WM_NOTIFY)
    {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        return header && OnNotify(wParam, lParam, result);
    }
    if (message == WM_DRAWITEM && lParam)
    {
        // Owner-drawn controls draw themselves.
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (CWnd* child = FromHandlePermanent(item->hwndItem))
            if (child->OnChildNotify(message, wParam, lParam, result))
                return TRUE;
    }
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC && lParam)
    {
        // The control may pick its own colours first.
        if (CWnd* child = FromHandlePermanent(reinterpret_cast<HWND>(lParam)); child && child != this)
            if (child->OnChildNotify(message, wParam, lParam, result))
                return TRUE;
    }
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message);
    if (!entry)
        return FALSE;
    AfxMessageCall call{message, wParam, lParam, 0, 0, nullptr};
    return entry->pfn(this, call, result);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    auto control = reinterpret_cast<HWND>(lParam);
    // A menu's or an accelerator's command (code 0 or 1, no control) is
    // routed as a command; only a control's code is a notification.
    const int code = control ? HIWORD(wParam) : CN_COMMAND;
    if (control)
    {
        // The control may handle its own notification first.
        CWnd* child = FromHandlePermanent(control);
        LRESULT ignored = 0;
        if (child && child->OnChildNotify(WM_COMMAND, wParam, lParam, &ignored))
            return TRUE;
    }
    return OnCmdMsg(id, code, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (CWnd* child = FromHandlePermanent(header->hwndFrom))
        if (child->OnChildNotify(WM_NOTIFY, header->idFrom, lParam, result))
            return TRUE;
    AFX_NOTIFY notify{result, header};
    return OnCmdMsg(static_cast<UINT>(header->idFrom),
                    static_cast<int>(MAKELONG(static_cast<WORD>(header->code), WM_NOTIFY)), &notify, nullptr);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    // Reflection: the control's own map entries for its notification.
    constexpr UINT kReflectBase = 0xBC00;
    if (message == WM_COMMAND)
        return OnCmdMsg(0, static_cast<int>(MAKELONG(HIWORD(wParam), static_cast<WORD>(kReflectBase + WM_COMMAND))),
                        nullptr, nullptr);
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC)
    {
        constexpr UINT kCtlColor = 0x0019;
        const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(kReflectBase + kCtlColor);
        if (!entry)
            return FALSE;
        LRESULT brush = 0;
        AfxMessageCall call{kReflectBase + kCtlColor, wParam, message - WM_CTLCOLORMSGBOX, 0, 0, nullptr};
        entry->pfn(this, call, &brush);
        if (brush == 0)
            return FALSE;
        if (result)
            *result = brush;
        return TRUE;
    }
    if (message == WM_NOTIFY && lParam)
    {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT local = 0;
        AFX_NOTIFY notify{result ? result : &local, header};
        return OnCmdMsg(0, static_cast<int>(MAKELONG(static_cast<WORD>(header->code),
                                                     static_cast<WORD>(kReflectBase + WM_NOTIFY))),
                        &notify, nullptr);
    }
    return FALSE;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(HWND stop, MSG* msg)
{
    if (!msg)
        return FALSE;
    for (HWND h = msg->hwnd; h; h = ::GetParent(h))
    {
        if (CWnd* wnd = FromHandlePermanent(h))
            if (wnd->PreTranslateMessage(msg))
                return TRUE;
        if (h == stop)
            break;
    }
    return FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL deep, BOOL permanentOnly)
{
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child;)
    {
        HWND next = ::GetWindow(child, GW_HWNDNEXT);
        if (!permanentOnly || FromHandlePermanent(child))
            ::SendMessageW(child, message, wParam, lParam);
        if (deep && ::IsWindow(child))
        {
            CWnd walker;
            walker.m_hWnd = child;
            walker.SendMessageToDescendants(message, wParam, lParam, deep, permanentOnly);
            walker.m_hWnd = nullptr;
        }
        child = next;
    }
}

CWnd* CWnd::GetParent() const
{
    return FromHandle(::GetParent(m_hWnd));
}
CWnd* CWnd::GetOwner() const
{
    return FromHandle(::GetWindow(m_hWnd, GW_OWNER));
}
CWnd* CWnd::GetTopLevelParent() const
{
    return FromHandle(::GetAncestor(m_hWnd, GA_ROOT));
}
CWnd* CWnd::GetDlgItem(int id) const
{
    return FromHandle(::GetDlgItem(m_hWnd, id));
}
CWnd* CWnd::SetFocus()
{
    return FromHandle(::SetFocus(m_hWnd));
}
CWnd* CWnd::GetFocus()
{
    return FromHandle(::GetFocus());
}
CWnd* CWnd::SetCapture()
{
    return FromHandle(::SetCapture(m_hWnd));
}
CWnd* CWnd::GetCapture()
{
    return FromHandle(::GetCapture());
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    return ::SetWindowPos(m_hWnd, insertAfter ? insertAfter->m_hWnd : nullptr, x, y, cx, cy, flags);
}

void CWnd::ScreenToClient(RECT* rect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}

void CWnd::ClientToScreen(RECT* rect) const
{
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(rect), 2);
}

void CWnd::GetWindowText(CString& text) const
{
    int n = ::GetWindowTextLengthW(m_hWnd);
    wchar_t* buffer = text.GetBufferSetLength(n + 1);
    int got = ::GetWindowTextW(m_hWnd, buffer, n + 1);
    text.ReleaseBuffer(got);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags)
{
    DWORD style = GetStyle();
    DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
    if (flags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

void CWnd::CenterWindow(CWnd* alternateOwner)
{
    RECT self{}, area{};
    GetWindowRect(&self);
    HWND center = alternateOwner ? alternateOwner->m_hWnd : ::GetParent(m_hWnd);
    if (center && !(GetStyle() & WS_CHILD))
        ::GetWindowRect(center, &area);
    else if (center)
        ::GetClientRect(center, &area);
    else
    {
        MONITORINFO mi{sizeof(MONITORINFO), {}, {}, 0};
        ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &mi);
        area = mi.rcWork;
    }
    int w = self.right - self.left, h = self.bottom - self.top;
    int x = (area.left + area.right - w) / 2, y = (area.top + area.bottom - h) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LPCWSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon)
{
    static std::mutex lock;
    static std::set<std::wstring>* names = new std::set<std::wstring>;
    wchar_t name[96];
    std::swprintf(name, 96, L"Afx:%x:%p:%p:%p", classStyle, static_cast<void*>(cursor),
                  static_cast<void*>(background), static_cast<void*>(icon));
    std::lock_guard<std::mutex> guard(lock);
    auto [it, fresh] = names->insert(name);
    if (fresh)
    {
        WNDCLASSW wc{};
        wc.style = classStyle;
        wc.lpfnWndProc = &::DefWindowProcW;
        wc.hCursor = cursor;
        wc.hbrBackground = background;
        wc.hIcon = icon;
        wc.lpszClassName = it->c_str();
        if (!::RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        {
            names->erase(it);
            return nullptr;
        }
    }
    return it->c_str();
}
