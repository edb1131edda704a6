#include "platform/win32/gdi.h"
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

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

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

// Reallocates the client image when the client size changed; true then.
bool FitImageLocked(WindowRecord& w)
{
    RECT c = ClientRectLocked(w);
    if (w.image.width == c.right && w.image.height == c.bottom && !w.image.pixels.empty() == (c.right * c.bottom > 0))
        return false;
    w.image.width = c.right;
    w.image.height = c.bottom;
    w.image.pixels.assign(static_cast<std::size_t>(c.right) * static_cast<std::size_t>(c.bottom), 0u);
    return true;
}

void NotifySizeChanged(HWND hwnd, LONG width, LONG height)
{
    std::vector<win32::WindowObserver> copy;
    {
        ObserverTable& t = Observers();
        std::lock_guard<std::mutex> guard(t.lock);
        for (const auto& o : t.observers)
            copy.push_back(o.second);
    }
    for (const auto& o : copy)
        if (o.clientSizeChanged)
            o.clientSizeChanged(hwnd, width, height);
}

void NotifyDestroyed(HWND hwnd)
{
    std::vector<win32::WindowObserver> copy;
    {
        ObserverTable& t = Observers();
        std::lock_guard<std::mutex> guard(t.lock);
        for (const auto& o : t.observers)
            copy.push_back(o.second);
    }
    for (const auto& o : copy)
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

WPARAM SizeType(DWORD style)
{
    if (style & WS_MINIMIZE)
        return SIZE_MINIMIZED;
    if (style & WS_MAXIMIZE)
        return SIZE_MAXIMIZED;
    return SIZE_RESTORED;
}

std::wstring PropName(LPCWSTR name)
{
    if (IS_INTRESOURCE(name))
        return L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name));
    std::wstring s = name;
    for (auto& ch : s)
        ch = static_cast<wchar_t>(std::towlower(ch));
    return s;
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

bool OnOwnerThread(const WindowRecord& w) { return w.queue && w.queue->thread == std::this_thread::get_id(); }

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
        in.right += 17;
    if (style & WS_HSCROLL)
        in.bottom += 17;
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
    WNDCLASSEXW ex{sizeof(WNDCLASSEXW), wc->style,   wc->lpfnWndProc,   wc->cbClsExtra,
                   wc->cbWndExtra,      wc->hInstance, wc->hIcon,       wc->hCursor,
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
    out->lpszMenuName = c->menuId ? MAKEINTRESOURCEW(c->menuId) : (c->menuName.empty() ? nullptr : c->menuName.c_str());
    out->lpszClassName = c->name.c_str();
    out->hIconSm = c->iconSmall;
    return TRUE;
}

BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* out)
{
    WNDCLASSEXW ex{};
    if (!out || !GetClassInfoExW(instance, className, &ex))
        return FALSE;
    *out = WNDCLASSW{ex.style,   ex.lpfnWndProc, ex.cbClsExtra,     ex.cbWndExtra,  ex.hInstance,
                     ex.hIcon,   ex.hCursor,     ex.hbrBackground, ex.lpszMenuName, ex.lpszClassName};
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

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
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

    CREATESTRUCTW cs{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style), windowName,
                     className, exStyle};
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

BOOL IsWindow(HWND hwnd) { return hwnd && Find(hwnd) ? TRUE : FALSE; }

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
    case GA_PARENT: return w->parent ? w->parent : GetDesktopWindow();
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
    default: return nullptr;
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
    case GW_HWNDFIRST: return siblings->front();
    case GW_HWNDLAST: return siblings->back();
    case GW_HWNDNEXT: return it + 1 == siblings->end() ? nullptr : *(it + 1);
    case GW_HWNDPREV: return it == siblings->begin() ? nullptr : *(it - 1);
    default: return nullptr;
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

// ---------------------------------------------------------- coordinates

BOOL GetClientRect(HWND hwnd, RECT* rect)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w || !rect)
    {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = ClientRectLocked(*w);
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w || !rect)
    {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    POINT o = WindowOriginLocked(*w);
    *rect = {o.x, o.y, o.x + Width(w->rect), o.y + Height(w->rect)};
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w || !point)
        return FALSE;
    POINT o = ClientOriginLocked(*w);
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w || !point)
        return FALSE;
    POINT o = ClientOriginLocked(*w);
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count)
{
    POINT a{0, 0}, b{0, 0};
    if ((from && !ClientToScreen(from, &a)) || (to && !ClientToScreen(to, &b)))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i)
    {
        points[i].x += dx;
        points[i].y += dy;
    }
    return static_cast<int>(MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy)));
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle)
{
    if (!rect)
        return FALSE;
    RECT in = NonClientInsets(style, exStyle);
    rect->left -= in.left;
    rect->top -= in.top + (menu ? 20 : 0);
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE;
}

namespace
{

HWND DeepestChildAtLocked(const std::shared_ptr<WindowRecord>& w, POINT screen)
{
    for (HWND c : w->children)
    {
        auto cw = FindLocked(c);
        if (!cw || !(cw->style & WS_VISIBLE))
            continue;
        POINT o = WindowOriginLocked(*cw);
        RECT r{o.x, o.y, o.x + Width(cw->rect), o.y + Height(cw->rect)};
        if (PtInRect(&r, screen))
            return DeepestChildAtLocked(cw, screen);
    }
    return w->handle;
}

} // namespace

HWND WindowFromPoint(POINT screenPoint)
{
    std::lock_guard<std::mutex> guard(TableLock());
    for (HWND h : TopLevelOrder())
    {
        auto w = FindLocked(h);
        if (!w || !(w->style & WS_VISIBLE))
            continue;
        RECT r = w->rect;
        if (PtInRect(&r, screenPoint))
            return DeepestChildAtLocked(w, screenPoint);
    }
    return nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT clientPoint)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(parent);
    if (!w)
        return nullptr;
    RECT client = ClientRectLocked(*w);
    if (!PtInRect(&client, clientPoint))
        return nullptr;
    for (HWND c : w->children)
        if (auto cw = FindLocked(c); cw && PtInRect(&cw->rect, clientPoint))
            return c;
    return parent;
}

// ------------------------------------------------------ position, z-order

namespace
{

void ApplyZOrderLocked(WindowRecord& w, HWND insertAfter)
{
    std::vector<HWND>* siblings = &TopLevelOrder();
    if (w.parent)
        if (auto p = FindLocked(w.parent))
            siblings = &p->children;
    std::erase(*siblings, w.handle);
    if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST)
        siblings->insert(siblings->begin(), w.handle);
    else if (insertAfter == HWND_BOTTOM)
        siblings->push_back(w.handle);
    else
    {
        auto it = std::find(siblings->begin(), siblings->end(), insertAfter);
        siblings->insert(it == siblings->end() ? siblings->end() : it + 1, w.handle);
    }
    if (insertAfter == HWND_TOPMOST)
        w.exStyle |= WS_EX_TOPMOST;
    else if (insertAfter == HWND_NOTOPMOST)
        w.exStyle &= ~WS_EX_TOPMOST;
}

constexpr UINT SWP_NOCLIENTSIZE = 0x0800; // internal: the client size did not change
constexpr UINT SWP_NOCLIENTMOVE = 0x1000; // internal: the client origin did not move

} // namespace

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    if (!IsWindow(hwnd))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    WINDOWPOS wp{hwnd, insertAfter, x, y, cx, cy, flags};
    if (!(flags & SWP_NOSENDCHANGING))
        SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    bool imageChanged = false;
    bool sizeChanged = false, moved = false;
    LONG imageW = 0, imageH = 0;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        auto w = FindLocked(hwnd);
        if (!w)
            return FALSE;
        RECT oldClient = ClientRectLocked(*w);
        POINT oldOrigin = ClientOriginLocked(*w);
        RECT r = w->rect;
        if (!(wp.flags & SWP_NOMOVE))
            r = {wp.x, wp.y, wp.x + Width(r), wp.y + Height(r)};
        if (!(wp.flags & SWP_NOSIZE))
            r = {r.left, r.top, r.left + std::max(0, wp.cx), r.top + std::max(0, wp.cy)};
        w->rect = r;
        if (!(wp.flags & SWP_NOZORDER))
            ApplyZOrderLocked(*w, wp.hwndInsertAfter);
        if (wp.flags & SWP_SHOWWINDOW)
            w->style |= WS_VISIBLE;
        if (wp.flags & SWP_HIDEWINDOW)
            w->style &= ~WS_VISIBLE;
        RECT newClient = ClientRectLocked(*w);
        POINT newOrigin = ClientOriginLocked(*w);
        sizeChanged = newClient.right != oldClient.right || newClient.bottom != oldClient.bottom;
        moved = newOrigin.x != oldOrigin.x || newOrigin.y != oldOrigin.y;
        imageChanged = FitImageLocked(*w);
        imageW = w->image.width;
        imageH = w->image.height;
        wp.x = r.left;
        wp.y = r.top;
        wp.cx = Width(r);
        wp.cy = Height(r);
    }
    if (imageChanged)
        NotifySizeChanged(hwnd, imageW, imageH);
    if (sizeChanged && !(flags & SWP_NOREDRAW))
        InvalidateRect(hwnd, nullptr, TRUE);
    if (!sizeChanged)
        wp.flags |= SWP_NOCLIENTSIZE;
    if (!moved)
        wp.flags |= SWP_NOCLIENTMOVE;
    SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd)
{
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

namespace win32::detail
{

// The default window procedure turns a position change into WM_SIZE and
// WM_MOVE, as the window's own handlers expect.
void SendSizeAndMove(HWND hwnd, const WINDOWPOS* wp)
{
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    if (!(wp->flags & SWP_NOCLIENTSIZE))
    {
        RECT c{};
        GetClientRect(hwnd, &c);
        SendMessageW(hwnd, WM_SIZE, SizeType(style), MAKELPARAM(c.right, c.bottom));
    }
    if (!(wp->flags & SWP_NOCLIENTMOVE))
    {
        POINT o{0, 0};
        ClientToScreen(hwnd, &o);
        if (HWND p = (style & WS_CHILD) ? GetParent(hwnd) : nullptr)
            ScreenToClient(p, &o);
        SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(o.x, o.y));
    }
}

} // namespace win32::detail

// ------------------------------------------------------------ show, enable

namespace win32::detail
{
RECT MonitorWorkAreaFor(const RECT& windowRect); // input.cpp
void DropFocusAndCaptureInside(HWND hwnd);       // input.cpp
} // namespace win32::detail

BOOL ShowWindow(HWND hwnd, int command)
{
    auto w = Find(hwnd);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    DWORD style;
    RECT rect;
    HWND parent;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        style = w->style;
        rect = w->rect;
        parent = w->parent;
    }
    const BOOL wasVisible = (style & WS_VISIBLE) ? TRUE : FALSE;
    if (command == SW_HIDE)
    {
        if (!wasVisible)
            return FALSE;
        SendMessageW(hwnd, WM_SHOWWINDOW, FALSE, 0);
        {
            std::lock_guard<std::mutex> guard(TableLock());
            w->style &= ~WS_VISIBLE;
        }
        DropFocusAndCaptureInside(hwnd);
        return TRUE;
    }
    if (!wasVisible)
    {
        SendMessageW(hwnd, WM_SHOWWINDOW, TRUE, 0);
        {
            std::lock_guard<std::mutex> guard(TableLock());
            w->style |= WS_VISIBLE;
        }
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    switch (command)
    {
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        if (!(style & WS_MINIMIZE))
        {
            bool changed;
            LONG iw, ih;
            {
                std::lock_guard<std::mutex> guard(TableLock());
                if (w->style & WS_MAXIMIZE)
                    w->rect = w->restoreRect; // restoring from the icon gives the normal size back
                w->style = (w->style | WS_MINIMIZE) & ~WS_MAXIMIZE;
                changed = FitImageLocked(*w);
                iw = w->image.width;
                ih = w->image.height;
            }
            if (changed)
                NotifySizeChanged(hwnd, iw, ih);
            SendMessageW(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
        }
        break;
    case SW_MAXIMIZE:
        if (!(style & WS_MAXIMIZE))
        {
            RECT area{};
            if (parent)
                GetClientRect(parent, &area);
            else
                area = MonitorWorkAreaFor(rect);
            {
                std::lock_guard<std::mutex> guard(TableLock());
                if (!(w->style & WS_MINIMIZE))
                    w->restoreRect = w->rect;
                w->style = (w->style | WS_MAXIMIZE) & ~WS_MINIMIZE;
            }
            SetWindowPos(hwnd, nullptr, area.left, area.top, Width(area), Height(area), SWP_NOZORDER);
        }
        break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        if (style & (WS_MAXIMIZE | WS_MINIMIZE))
        {
            RECT back;
            {
                std::lock_guard<std::mutex> guard(TableLock());
                back = (w->style & WS_MAXIMIZE) ? w->restoreRect : w->rect;
                w->style &= ~(WS_MAXIMIZE | WS_MINIMIZE);
                w->rect = {0, 0, 0, 0}; // forces the size notification below
                FitImageLocked(*w);
            }
            SetWindowPos(hwnd, nullptr, back.left, back.top, Width(back), Height(back), SWP_NOZORDER);
        }
        break;
    default: break;
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    for (; w; w = w->parent ? FindLocked(w->parent) : nullptr)
    {
        if (!(w->style & WS_VISIBLE))
            return FALSE;
        if (!w->parent)
            return TRUE;
    }
    return FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    auto w = Find(hwnd);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool wasDisabled;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
    }
    if (wasDisabled == !enable)
        return wasDisabled ? TRUE : FALSE;
    if (!enable)
        DropFocusAndCaptureInside(hwnd);
    SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w)
        return FALSE;
    std::lock_guard<std::mutex> guard(TableLock());
    return (w->style & WS_DISABLED) ? FALSE : TRUE;
}

BOOL IsIconic(HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_MINIMIZE) ? TRUE : FALSE; }
BOOL IsZoomed(HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_MAXIMIZE) ? TRUE : FALSE; }

// ------------------------------------------------------------ window data

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index)
    {
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWLP_ID: return w->id;
    case GWLP_USERDATA: return w->userData;
    default: break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size())
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    LONG_PTR v = 0;
    std::memcpy(&v, w->extra.data() + index, sizeof v);
    return v;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = 0;
    switch (index)
    {
    case GWL_STYLE:
        old = static_cast<LONG_PTR>(w->style);
        w->style = static_cast<DWORD>(value);
        return old;
    case GWL_EXSTYLE:
        old = static_cast<LONG_PTR>(w->exStyle);
        w->exStyle = static_cast<DWORD>(value);
        return old;
    case GWLP_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        if (value)
            w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWLP_HINSTANCE:
        old = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return old;
    case GWLP_HWNDPARENT:
        old = reinterpret_cast<LONG_PTR>(w->owner);
        if (!w->parent)
            w->owner = reinterpret_cast<HWND>(value);
        return old;
    case GWLP_ID:
        old = w->id;
        w->id = value;
        return old;
    case GWLP_USERDATA:
        old = w->userData;
        w->userData = value;
        return old;
    default: break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size())
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::memcpy(&old, w->extra.data() + index, sizeof old);
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return old;
}

LONG GetWindowLongW(HWND hwnd, int index) { return static_cast<LONG>(GetWindowLongPtrW(hwnd, index)); }
LONG SetWindowLongW(HWND hwnd, int index, LONG value)
{
    return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, static_cast<LONG_PTR>(value)));
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount)
{
    auto w = Find(hwnd);
    if (!w || !buffer || maxCount <= 0)
        return 0;
    if (OnOwnerThread(*w))
        return static_cast<int>(
            SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
    std::lock_guard<std::mutex> guard(TableLock());
    int n = std::min<int>(static_cast<int>(w->text.size()), maxCount - 1);
    std::copy_n(w->text.begin(), n, buffer);
    buffer[n] = 0;
    return n;
}

int GetWindowTextLengthW(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w)
        return 0;
    if (OnOwnerThread(*w))
        return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
    std::lock_guard<std::mutex> guard(TableLock());
    return static_cast<int>(w->text.size());
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text)
{
    if (!IsWindow(hwnd))
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L"")) ? TRUE : FALSE;
}

namespace win32::detail
{

// The text store behind the default handling of WM_SETTEXT and WM_GETTEXT.
void SetStoredText(HWND hwnd, LPCWSTR text)
{
    std::lock_guard<std::mutex> guard(TableLock());
    if (auto w = FindLocked(hwnd))
        w->text = text ? text : L"";
}

std::wstring StoredText(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    return w ? w->text : std::wstring();
}

} // namespace win32::detail

BOOL SetPropW(HWND hwnd, LPCWSTR name, HANDLE data)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w || !name)
        return FALSE;
    w->props[PropName(name)] = data;
    return TRUE;
}

HANDLE GetPropW(HWND hwnd, LPCWSTR name)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w || !name)
        return nullptr;
    auto it = w->props.find(PropName(name));
    return it == w->props.end() ? nullptr : it->second;
}

HANDLE RemovePropW(HWND hwnd, LPCWSTR name)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w || !name)
        return nullptr;
    auto it = w->props.find(PropName(name));
    if (it == w->props.end())
        return nullptr;
    HANDLE h = it->second;
    w->props.erase(it);
    return h;
}

// ---------------------------------------------------------------- regions

int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw)
{
    HRGN old = nullptr;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        auto w = FindLocked(hwnd);
        if (!w)
        {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        old = w->region;
        w->region = region;
    }
    if (old && old != region)
        DeleteObject(old);
    if (redraw)
        InvalidateRect(hwnd, nullptr, TRUE);
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN region)
{
    HRGN own = nullptr;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        auto w = FindLocked(hwnd);
        if (!w)
            return RGN_ERROR;
        own = w->region;
    }
    if (!own || !region)
        return RGN_ERROR;
    return CombineRgn(region, own, nullptr, RGN_COPY);
}

// ------------------------------------------------------------- rectangles

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom)
{
    if (!rect)
        return FALSE;
    *rect = {left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(RECT* rect) { return SetRect(rect, 0, 0, 0, 0); }

BOOL CopyRect(RECT* dest, const RECT* src)
{
    if (!dest || !src)
        return FALSE;
    *dest = *src;
    return TRUE;
}

BOOL IsRectEmpty(const RECT* rect)
{
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top ? TRUE : FALSE;
}

BOOL EqualRect(const RECT* a, const RECT* b)
{
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom
               ? TRUE
               : FALSE;
}

BOOL PtInRect(const RECT* rect, POINT p)
{
    return rect && p.x >= rect->left && p.x < rect->right && p.y >= rect->top && p.y < rect->bottom ? TRUE : FALSE;
}

BOOL InflateRect(RECT* rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL OffsetRect(RECT* rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL IntersectRect(RECT* dest, const RECT* a, const RECT* b)
{
    if (!dest || !a || !b)
        return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r))
    {
        SetRectEmpty(dest);
        return FALSE;
    }
    *dest = r;
    return TRUE;
}

BOOL UnionRect(RECT* dest, const RECT* a, const RECT* b)
{
    if (!dest || !a || !b)
        return FALSE;
    if (IsRectEmpty(a))
    {
        RECT r = *b;
        *dest = r;
    }
    else if (IsRectEmpty(b))
    {
        RECT r = *a;
        *dest = r;
    }
    else
        *dest = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                 std::max(a->bottom, b->bottom)};
    if (IsRectEmpty(dest))
    {
        SetRectEmpty(dest);
        return FALSE;
    }
    return TRUE;
}

BOOL SubtractRect(RECT* dest, const RECT* a, const RECT* b)
{
    if (!dest || !a || !b)
        return FALSE;
    RECT r = *a;
    RECT in{};
    if (IntersectRect(&in, a, b))
    {
        // Only a cut that spans a whole side shrinks the rectangle.
        if (in.top == r.top && in.bottom == r.bottom)
        {
            if (in.left == r.left)
                r.left = in.right;
            else if (in.right == r.right)
                r.right = in.left;
        }
        else if (in.left == r.left && in.right == r.right)
        {
            if (in.top == r.top)
                r.top = in.bottom;
            else if (in.bottom == r.bottom)
                r.bottom = in.top;
        }
    }
    *dest = r;
    if (IsRectEmpty(dest))
    {
        SetRectEmpty(dest);
        return FALSE;
    }
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
