#include "platform/win32/gdi.h"
#include "platform/win32/scroll_bar.h"
#include "platform/win32/window_internal.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwctype>

using namespace win32::detail;

namespace
{

struct ClassTable
{
    std::mutex lock;
    std::vector<std::shared_ptr<const WindowClassRecord>> classes;
    ATOM nextAtom = 0xC000;
};

ClassTable& Classes()
{
    static ClassTable* table = new ClassTable; // classes are registered during static initialisation
    return *table;
}

struct ObserverTable
{
    std::mutex lock;
    std::vector<std::pair<win32::WindowObserverId, win32::WindowObserver>> observers;
    win32::WindowObserverId next = 1;
};

ObserverTable& Observers()
{
    static ObserverTable* table = new ObserverTable;
    return *table;
}

thread_local win32::CreateWindowHook t_createHook;
std::atomic<std::uintptr_t> g_nextHandle{0x10010};

bool SameName(const std::wstring& a, LPCWSTR b)
{
    std::size_t n = 0;
    for (; b[n]; ++n)
        if (n >= a.size() || std::towlower(a[n]) != std::towlower(b[n]))
            return false;
    return n == a.size();
}

std::shared_ptr<const WindowClassRecord> FindClass(LPCWSTR name)
{
    if (!name)
        return nullptr;
    ClassTable& t = Classes();
    std::lock_guard<std::mutex> guard(t.lock);
    for (const auto& c : t.classes)
        if (IS_INTRESOURCE(name) ? c->atom == reinterpret_cast<ULONG_PTR>(name) : SameName(c->name, name))
            return c;
    return nullptr;
}

// The observers as they are now, so that one may unregister while called.
std::vector<win32::WindowObserver> ObserverSnapshot()
{
    std::vector<win32::WindowObserver> copy;
    ObserverTable& t = Observers();
    std::lock_guard<std::mutex> guard(t.lock);
    for (const auto& o : t.observers)
        copy.push_back(o.second);
    return copy;
}

void NotifyDestroyed(HWND hwnd)
{
    for (const auto& o : ObserverSnapshot())
        if (o.destroyed)
            o.destroyed(hwnd);
}

void CollectSubtreeLocked(HWND hwnd, std::vector<HWND>& out)
{
    auto w = FindLocked(hwnd);
    if (!w)
        return;
    out.push_back(hwnd);
    for (HWND child : w->children)
        CollectSubtreeLocked(child, out);
}

std::vector<HWND> ChildrenOf(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    return w ? w->children : std::vector<HWND>{};
}

void SendDestroyTopDown(HWND hwnd)
{
    if (!IsWindow(hwnd))
        return;
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : ChildrenOf(hwnd))
        SendDestroyTopDown(child);
}

void SendNcDestroyBottomUp(HWND hwnd)
{
    if (!IsWindow(hwnd))
        return;
    for (HWND child : ChildrenOf(hwnd))
        SendNcDestroyBottomUp(child);
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
}

void RemoveFromTree(HWND hwnd)
{
    std::vector<HWND> doomed;
    std::vector<HRGN> regions;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        CollectSubtreeLocked(hwnd, doomed);
    }
    // Children go first, so that every observer still finds a live parent.
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it)
    {
        NotifyDestroyed(*it);
        DiscardMessagesFor(*it);
        std::lock_guard<std::mutex> guard(TableLock());
        auto w = FindLocked(*it);
        if (!w)
            continue;
        if (w->region)
            regions.push_back(w->region);
        if (w->parent)
        {
            if (auto p = FindLocked(w->parent))
                std::erase(p->children, *it);
        }
        else
            std::erase(TopLevelOrder(), *it);
        Windows().erase(reinterpret_cast<std::uintptr_t>(*it));
    }
    for (HRGN r : regions)
        DeleteObject(r);
}

} // namespace

namespace win32::detail
{

std::mutex& TableLock()
{
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::map<std::uintptr_t, std::shared_ptr<WindowRecord>>& Windows()
{
    static auto* windows = new std::map<std::uintptr_t, std::shared_ptr<WindowRecord>>;
    return *windows;
}

std::vector<HWND>& TopLevelOrder()
{
    static auto* order = new std::vector<HWND>;
    return *order;
}

std::shared_ptr<WindowRecord> FindLocked(HWND hwnd)
{
    auto& windows = Windows();
    auto it = windows.find(reinterpret_cast<std::uintptr_t>(hwnd));
    return it == windows.end() ? nullptr : it->second;
}

std::shared_ptr<WindowRecord> Find(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(TableLock());
    return FindLocked(hwnd);
}

bool OnOwnerThread(const WindowRecord& w)
{
    return w.queue && w.queue->thread == std::this_thread::get_id();
}

RECT NonClientInsets(DWORD style, DWORD exStyle)
{
    RECT in{0, 0, 0, 0};
    int frame = 0;
    if (style & WS_THICKFRAME)
        frame = 4;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        frame = 3;
    else if (style & WS_BORDER)
        frame = 1;
    if (exStyle & WS_EX_CLIENTEDGE)
        frame += 2;
    if (exStyle & WS_EX_STATICEDGE)
        frame += 1;
    in = {frame, frame, frame, frame};
    if ((style & WS_CAPTION) == WS_CAPTION)
        in.top += 20;
    if (style & WS_VSCROLL)
        in.right += win32::detail::kScrollBarThickness;
    if (style & WS_HSCROLL)
        in.bottom += win32::detail::kScrollBarThickness;
    return in;
}

POINT ClientOriginLocked(const WindowRecord& w)
{
    POINT o = WindowOriginLocked(w);
    RECT in = NonClientInsets(w.style, w.exStyle);
    return {o.x + in.left, o.y + in.top};
}

RECT ClientRectLocked(const WindowRecord& w)
{
    RECT in = NonClientInsets(w.style, w.exStyle);
    LONG cw = std::max<LONG>(0, Width(w.rect) - in.left - in.right);
    LONG ch = std::max<LONG>(0, Height(w.rect) - in.top - in.bottom);
    if (w.style & WS_MINIMIZE)
        cw = ch = 0;
    return {0, 0, cw, ch};
}

POINT WindowOriginLocked(const WindowRecord& w)
{
    POINT p{w.rect.left, w.rect.top};
    if (w.parent)
        if (auto parent = FindLocked(w.parent))
        {
            POINT o = ClientOriginLocked(*parent);
            p.x += o.x;
            p.y += o.y;
        }
    return p;
}

bool FitImageLocked(WindowRecord& w)
{
    RECT c = ClientRectLocked(w);
    if (w.image.width == c.right && w.image.height == c.bottom &&
        !w.image.pixels.empty() == (c.right * c.bottom > 0))
        return false;
    w.image.width = c.right;
    w.image.height = c.bottom;
    w.image.pixels.assign(static_cast<std::size_t>(c.right) * static_cast<std::size_t>(c.bottom), 0u);
    return true;
}

void NotifySizeChanged(HWND hwnd, LONG width, LONG height)
{
    for (const auto& o : ObserverSnapshot())
        if (o.clientSizeChanged)
            o.clientSizeChanged(hwnd, width, height);
}

WPARAM SizeType(DWORD style)
{
    if (style & WS_MINIMIZE)
        return SIZE_MINIMIZED;
    if (style & WS_MAXIMIZE)
        return SIZE_MAXIMIZED;
    return SIZE_RESTORED;
}

} // namespace win32::detail

// ---------------------------------------------------------------- classes

ATOM RegisterClassExW(const WNDCLASSEXW* wc)
{
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || wc->cbClsExtra < 0 || wc->cbWndExtra < 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (FindClass(wc->lpszClassName))
    {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto c = std::make_shared<WindowClassRecord>();
    c->name = IS_INTRESOURCE(wc->lpszClassName)
                  ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(wc->lpszClassName))
                  : std::wstring(wc->lpszClassName);
    c->style = wc->style;
    c->proc = wc->lpfnWndProc;
    c->clsExtra = wc->cbClsExtra;
    c->wndExtra = wc->cbWndExtra;
    c->instance = wc->hInstance;
    c->icon = wc->hIcon;
    c->iconSmall = wc->hIconSm;
    c->cursor = wc->hCursor;
    c->background = wc->hbrBackground;
    if (wc->lpszMenuName)
    {
        if (IS_INTRESOURCE(wc->lpszMenuName))
            c->menuId = reinterpret_cast<ULONG_PTR>(wc->lpszMenuName);
        else
            c->menuName = wc->lpszMenuName;
    }
    ClassTable& t = Classes();
    std::lock_guard<std::mutex> guard(t.lock);
    c->atom = t.nextAtom++;
    t.classes.push_back(c);
    return c->atom;
}

ATOM RegisterClassW(const WNDCLASSW* wc)
{
    if (!wc)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXW ex{sizeof(WNDCLASSEXW), wc->style,        wc->lpfnWndProc,   wc->cbClsExtra,
                   wc->cbWndExtra,      wc->hInstance,    wc->hIcon,         wc->hCursor,
                   wc->hbrBackground,   wc->lpszMenuName, wc->lpszClassName, nullptr};
    return RegisterClassExW(&ex);
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE)
{
    auto c = FindClass(className);
    if (!c)
    {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> guard(TableLock());
        for (const auto& [value, w] : Windows())
            if (w->cls == c)
            {
                SetLastError(ERROR_ACCESS_DENIED); // a window of the class still exists
                return FALSE;
            }
    }
    ClassTable& t = Classes();
    std::lock_guard<std::mutex> guard(t.lock);
    std::erase(t.classes, c);
    return TRUE;
}

BOOL GetClassInfoExW(HINSTANCE, LPCWSTR className, WNDCLASSEXW* out)
{
    auto c = FindClass(className);
    if (!c || !out)
    {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    out->cbSize = sizeof(WNDCLASSEXW);
    out->style = c->style;
    out->lpfnWndProc = c->proc;
    out->cbClsExtra = c->clsExtra;
    out->cbWndExtra = c->wndExtra;
    out->hInstance = c->instance;
    out->hIcon = c->icon;
    out->hCursor = c->cursor;
    out->hbrBackground = c->background;
    out->lpszMenuName =
        c->menuId ? MAKEINTRESOURCEW(c->menuId) : (c->menuName.empty() ? nullptr : c->menuName.c_str());
    out->lpszClassName = c->name.c_str();
    out->hIconSm = c->iconSmall;
    return TRUE;
}

BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* out)
{
    WNDCLASSEXW ex{};
    if (!out || !GetClassInfoExW(instance, className, &ex))
        return FALSE;
    *out = WNDCLASSW{ex.style, ex.lpfnWndProc, ex.cbClsExtra,    ex.cbWndExtra,   ex.hInstance,
                     ex.hIcon, ex.hCursor,     ex.hbrBackground, ex.lpszMenuName, ex.lpszClassName};
    return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount)
{
    auto w = Find(hwnd);
    if (!w || !buffer || maxCount <= 0)
    {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const std::wstring& name = w->cls->name;
    int n = std::min<int>(static_cast<int>(name.size()), maxCount - 1);
    std::copy_n(name.begin(), n, buffer);
    buffer[n] = 0;
    return n;
}

// ------------------------------------------------------- create, destroy

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    auto cls = FindClass(className);
    if (!cls)
    {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    const bool child = (style & WS_CHILD) != 0;
    if (parent && !IsWindow(parent))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (child && !parent)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (x == CW_USEDEFAULT)
        x = y = 0;
    if (width == CW_USEDEFAULT)
    {
        width = child ? 0 : 640;
        height = child ? 0 : 480;
    }

    auto w = std::make_shared<WindowRecord>();
    w->handle = reinterpret_cast<HWND>(g_nextHandle.fetch_add(2));
    w->cls = cls;
    w->proc = cls->proc;
    w->style = style & ~WS_VISIBLE; // shown below, with its WM_SHOWWINDOW
    w->exStyle = exStyle;
    w->rect = {x, y, x + std::max(0, width), y + std::max(0, height)};
    w->text = windowName && !IS_INTRESOURCE(windowName) ? windowName : L"";
    w->id = child ? reinterpret_cast<LONG_PTR>(menu) : 0;
    w->instance = instance;
    w->extra.assign(static_cast<std::size_t>(cls->wndExtra), 0);
    w->queue = CurrentQueue();
    HWND hwnd = w->handle;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        if (child)
        {
            w->parent = parent;
            auto p = FindLocked(parent);
            if (!p)
            {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
            p->children.push_back(hwnd); // new children go to the bottom: z-order is creation (tab) order
        }
        else
        {
            if (parent)
            {
                // The owner of a top-level window is the parent's top-level ancestor.
                HWND owner = parent;
                for (auto o = FindLocked(owner); o && o->parent; o = FindLocked(o->parent))
                    owner = o->parent;
                w->owner = owner;
            }
            TopLevelOrder().insert(TopLevelOrder().begin(), hwnd);
        }
        FitImageLocked(*w);
        Windows().emplace(reinterpret_cast<std::uintptr_t>(hwnd), w);
    }

    CREATESTRUCTW cs{param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                     windowName, className, exStyle};
    if (t_createHook)
        t_createHook(hwnd, &cs);
    if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)))
    {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!IsWindow(hwnd))
        return nullptr;
    if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1)
    {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!IsWindow(hwnd))
        return nullptr;
    RECT client{};
    GetClientRect(hwnd, &client);
    SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    if (child)
        ScreenToClient(parent, &origin);
    SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    if ((style & WS_VISIBLE) && IsWindow(hwnd))
        ShowWindow(hwnd, SW_SHOW);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!OnOwnerThread(*w))
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::vector<HWND> subtree;
    std::vector<HWND> owned;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        if (w->destroying)
            return FALSE;
        CollectSubtreeLocked(hwnd, subtree);
        for (HWND h : subtree)
            if (auto r = FindLocked(h))
                r->destroying = true;
        for (const auto& [value, other] : Windows())
            if (other->owner == hwnd)
                owned.push_back(other->handle);
    }
    for (HWND o : owned)
        DestroyWindow(o);
    for (HWND h : subtree)
        DestroyWindowSideEffects(h);
    {
        std::lock_guard<std::mutex> guard(TableLock());
        w->style &= ~WS_VISIBLE;
    }
    SendDestroyTopDown(hwnd);
    SendNcDestroyBottomUp(hwnd);
    RemoveFromTree(hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd)
{
    return hwnd && Find(hwnd) ? TRUE : FALSE;
}

// ------------------------------------------------------------------ tree

HWND GetParent(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return w->parent ? w->parent : w->owner;
}

HWND SetParent(HWND child, HWND newParent)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(child);
    auto p = newParent ? FindLocked(newParent) : nullptr;
    if (!w || (newParent && !p))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (auto a = p; a; a = a->parent ? FindLocked(a->parent) : nullptr)
        if (a->handle == child)
        {
            SetLastError(ERROR_INVALID_PARAMETER); // would make a cycle
            return nullptr;
        }
    HWND old = w->parent;
    if (old)
    {
        if (auto op = FindLocked(old))
            std::erase(op->children, child);
    }
    else
        std::erase(TopLevelOrder(), child);
    if (p)
    {
        w->parent = newParent;
        w->style |= WS_CHILD;
        p->children.insert(p->children.begin(), child);
    }
    else
    {
        w->parent = nullptr;
        w->style &= ~WS_CHILD;
        TopLevelOrder().insert(TopLevelOrder().begin(), child);
    }
    return old ? old : GetDesktopWindow();
}

HWND GetAncestor(HWND hwnd, UINT flags)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w)
        return nullptr;
    switch (flags)
    {
    case GA_PARENT:
        return w->parent ? w->parent : GetDesktopWindow();
    case GA_ROOT:
    case GA_ROOTOWNER:
    {
        while (w->parent)
            w = FindLocked(w->parent);
        if (flags == GA_ROOTOWNER)
        {
            while (w->owner)
            {
                auto o = FindLocked(w->owner);
                if (!o)
                    break;
                w = o;
            }
        }
        return w->handle;
    }
    default:
        return nullptr;
    }
}

HWND GetWindow(HWND hwnd, UINT cmd)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (cmd == GW_CHILD)
        return w->children.empty() ? nullptr : w->children.front();
    if (cmd == GW_OWNER)
        return w->owner;
    std::vector<HWND>* siblings = &TopLevelOrder();
    if (w->parent)
        if (auto p = FindLocked(w->parent))
            siblings = &p->children;
    auto it = std::find(siblings->begin(), siblings->end(), hwnd);
    if (it == siblings->end() || siblings->empty())
        return nullptr;
    switch (cmd)
    {
    case GW_HWNDFIRST:
        return siblings->front();
    case GW_HWNDLAST:
        return siblings->back();
    case GW_HWNDNEXT:
        return it + 1 == siblings->end() ? nullptr : *(it + 1);
    case GW_HWNDPREV:
        return it == siblings->begin() ? nullptr : *(it - 1);
    default:
        return nullptr;
    }
}

HWND GetTopWindow(HWND hwnd)
{
    if (!hwnd)
    {
        std::lock_guard<std::mutex> guard(TableLock());
        return TopLevelOrder().empty() ? nullptr : TopLevelOrder().front();
    }
    return GetWindow(hwnd, GW_CHILD);
}

BOOL IsChild(HWND parent, HWND hwnd)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    while (w && w->parent)
    {
        if (w->parent == parent)
            return TRUE;
        w = FindLocked(w->parent);
    }
    return FALSE;
}

HWND GetDesktopWindow()
{
    // The desktop is not a window of the table; its handle is a fixed value
    // that no created window ever gets.
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10004));
}

HWND GetDlgItem(HWND dialog, int id)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(dialog);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND c : w->children)
        if (auto cw = FindLocked(c); cw && static_cast<int>(cw->id) == id)
            return c;
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    return w && w->parent ? static_cast<int>(w->id) : 0;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM param)
{
    if (!proc)
        return FALSE;
    std::vector<HWND> all;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        CollectSubtreeLocked(parent, all);
    }
    for (std::size_t i = 1; i < all.size(); ++i)
        if (IsWindow(all[i]) && !proc(all[i], param))
            break;
    return TRUE;
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM param)
{
    if (!proc)
        return FALSE;
    std::vector<HWND> top;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        top = TopLevelOrder();
    }
    for (HWND h : top)
        if (IsWindow(h) && !proc(h, param))
            break;
    return TRUE;
}

// ------------------------------------------------------- image, observers

namespace win32
{

ClientImage* GetWindowClientImage(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(detail::TableLock());
    auto w = detail::FindLocked(hwnd);
    return w ? &w->image : nullptr;
}

WindowObserverId AddWindowObserver(WindowObserver observer)
{
    ObserverTable& t = Observers();
    std::lock_guard<std::mutex> guard(t.lock);
    WindowObserverId id = t.next++;
    t.observers.emplace_back(id, std::move(observer));
    return id;
}

void RemoveWindowObserver(WindowObserverId id)
{
    ObserverTable& t = Observers();
    std::lock_guard<std::mutex> guard(t.lock);
    std::erase_if(t.observers, [id](const auto& o) { return o.first == id; });
}

CreateWindowHook SetCreateWindowHook(CreateWindowHook hook)
{
    CreateWindowHook old = std::move(t_createHook);
    t_createHook = std::move(hook);
    return old;
}

std::size_t LiveWindowCount()
{
    std::lock_guard<std::mutex> guard(detail::TableLock());
    return detail::Windows().size();
}

} // namespace win32
