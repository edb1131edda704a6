#include "platform/win32/clock.h"
#include "platform/win32/input.h"
#include "platform/win32/window_internal.h"
#include "platform/win32/window_scroll_bars.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <stdexcept>
#include <unordered_map>

using namespace win32::detail;

namespace
{

struct QueueRegistry
{
    std::mutex lock;
    std::vector<std::weak_ptr<ThreadQueue>> queues;
};

QueueRegistry& Registry()
{
    static QueueRegistry* registry = new QueueRegistry;
    return *registry;
}

void WakeAllQueues()
{
    std::vector<std::shared_ptr<ThreadQueue>> live;
    {
        QueueRegistry& r = Registry();
        std::lock_guard<std::mutex> guard(r.lock);
        std::erase_if(r.queues, [](const auto& q) { return q.expired(); });
        for (const auto& q : r.queues)
            if (auto s = q.lock())
                live.push_back(s);
    }
    for (const auto& q : live)
    {
        std::lock_guard<std::mutex> guard(q->lock);
        q->wake.notify_all();
    }
}

bool InFilter(UINT message, UINT lo, UINT hi)
{
    if (lo == 0 && hi == 0)
        return true;
    return message >= lo && message <= hi;
}

bool WindowMatches(HWND filter, HWND target)
{
    if (!filter)
        return true;
    if (filter == reinterpret_cast<HWND>(-1))
        return target == nullptr;
    return target == filter || IsChild(filter, target);
}

// Handles messages that other threads sent to windows of this thread.
bool ProcessSentMessages(const std::shared_ptr<ThreadQueue>& q)
{
    bool any = false;
    for (;;)
    {
        std::shared_ptr<SentMessage> s;
        {
            std::lock_guard<std::mutex> guard(q->lock);
            if (q->sent.empty())
                return any;
            s = q->sent.front();
            q->sent.pop_front();
        }
        any = true;
        ++q->sendDepth;
        LRESULT r = IsWindow(s->hwnd) ? CallProc(s->hwnd, s->message, s->wParam, s->lParam) : 0;
        --q->sendDepth;
        std::lock_guard<std::mutex> guard(s->sender->lock);
        s->result = r;
        s->done = true;
        s->sender->wake.notify_all();
    }
}

HWND FindWindowNeedingPaint(const std::shared_ptr<ThreadQueue>& q, HWND filter)
{
    std::vector<HWND> candidates;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        for (const auto& [value, w] : Windows())
            if (w->queue == q && !w->destroying && (w->style & WS_VISIBLE) &&
                (w->updatePending || w->internalPaint))
                candidates.push_back(w->handle);
    }
    for (HWND h : candidates)
        if (WindowMatches(filter, h))
            return h;
    return nullptr;
}

bool TakeDueTimer(const std::shared_ptr<ThreadQueue>& q, HWND filter, bool remove, MSG* out)
{
    ULONGLONG now = GetTickCount64();
    std::lock_guard<std::mutex> guard(q->lock);
    for (TimerRecord& t : q->timers)
    {
        if (t.due > now || !WindowMatches(filter, t.hwnd))
            continue;
        *out = MSG{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), static_cast<DWORD>(now), {0, 0}};
        if (remove)
            t.due = now + std::max<UINT>(t.elapse, 1);
        return true;
    }
    return false;
}

// One pass of the retrieval order: sent messages, posted messages (input
// included), quit, paint, timers.
bool TakeMessage(const std::shared_ptr<ThreadQueue>& q, MSG* msg, HWND filter, UINT lo, UINT hi, bool remove)
{
    ProcessSentMessages(q);
    QueuedMessage taken;
    bool found = false;
    {
        std::lock_guard<std::mutex> guard(q->lock);
        for (auto it = q->posted.begin(); it != q->posted.end(); ++it)
            if (InFilter(it->msg.message, lo, hi) && WindowMatches(filter, it->msg.hwnd))
            {
                taken = *it;
                if (remove)
                    q->posted.erase(it);
                found = true;
                break;
            }
        if (!found && q->quitPosted && InFilter(WM_QUIT, lo, hi))
        {
            *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q->quitCode), 0, GetTickCount(), {0, 0}};
            if (remove)
                q->quitPosted = false;
            return true;
        }
    }
    if (found)
    {
        *msg = taken.msg;
        q->messagePos = static_cast<DWORD>(
            MAKELONG(static_cast<WORD>(taken.msg.pt.x), static_cast<WORD>(taken.msg.pt.y)));
        q->messageTime = static_cast<LONG>(taken.msg.time);
        if (remove && taken.input)
            TranslateScrollBarInput(*msg, BeforeInputDelivered(taken));
        return true;
    }
    if (InFilter(WM_PAINT, lo, hi))
        if (HWND h = FindWindowNeedingPaint(q, filter))
        {
            *msg = MSG{h, WM_PAINT, 0, 0, GetTickCount(), {0, 0}};
            return true;
        }
    if (InFilter(WM_TIMER, lo, hi) && TakeDueTimer(q, filter, remove, msg))
        return true;
    return false;
}

std::wstring& DebugOutput()
{
    static auto* text = new std::wstring;
    return *text;
}

std::mutex& DebugOutputLock()
{
    static auto* lock = new std::mutex;
    return *lock;
}

win32::PaintDeviceProvider& PaintProvider()
{
    static auto* provider = new win32::PaintDeviceProvider;
    return *provider;
}

std::uint64_t PaintSerial(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    return w ? w->paintSerial : 0;
}

} // namespace

namespace win32::detail
{

std::shared_ptr<ThreadQueue> CurrentQueue()
{
    thread_local std::shared_ptr<ThreadQueue> queue;
    if (!queue)
    {
        queue = std::make_shared<ThreadQueue>();
        queue->thread = std::this_thread::get_id();
        QueueRegistry& r = Registry();
        std::lock_guard<std::mutex> guard(r.lock);
        r.queues.push_back(queue);
        static bool listening = (win32::SetClockListener(&WakeAllQueues), true);
        (void)listening;
    }
    return queue;
}

LRESULT CallProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc = nullptr;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        if (auto w = FindLocked(hwnd))
            proc = w->proc;
    }
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

void DiscardMessagesFor(HWND hwnd)
{
    std::shared_ptr<ThreadQueue> q;
    if (auto w = Find(hwnd))
        q = w->queue;
    if (!q)
        return;
    std::lock_guard<std::mutex> guard(q->lock);
    std::erase_if(q->posted, [hwnd](const QueuedMessage& m) { return m.msg.hwnd == hwnd; });
    std::erase_if(q->timers, [hwnd](const TimerRecord& t) { return t.hwnd == hwnd; });
}

} // namespace win32::detail

// ------------------------------------------------------------- send, post

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto w = Find(hwnd);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (OnOwnerThread(*w))
        return CallProc(hwnd, message, wParam, lParam);

    // Another thread's window: its thread runs the procedure the next time it
    // looks at its queue; this thread meanwhile serves messages sent to it.
    auto me = CurrentQueue();
    auto s = std::make_shared<SentMessage>();
    s->hwnd = hwnd;
    s->message = message;
    s->wParam = wParam;
    s->lParam = lParam;
    s->sender = me;
    {
        std::lock_guard<std::mutex> guard(w->queue->lock);
        w->queue->sent.push_back(s);
        w->queue->wake.notify_all();
    }
    for (;;)
    {
        ProcessSentMessages(me);
        std::unique_lock<std::mutex> lock(me->lock);
        if (s->done)
            return s->result;
        if (me->sent.empty())
            me->wake.wait_for(lock, std::chrono::milliseconds(20));
        if (s->done)
            return s->result;
        lock.unlock();
        if (!IsWindow(hwnd))
        {
            // The target went away before it handled the message.
            std::lock_guard<std::mutex> guard(w->queue->lock);
            std::erase(w->queue->sent, s);
            return 0;
        }
    }
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<ThreadQueue> q;
    if (!hwnd)
        q = CurrentQueue();
    else if (auto w = Find(hwnd))
        q = w->queue;
    if (!q)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    QueuedMessage m;
    POINT pt{};
    GetCursorPos(&pt);
    m.msg = MSG{hwnd, message, wParam, lParam, GetTickCount(), pt};
    std::lock_guard<std::mutex> guard(q->lock);
    q->posted.push_back(m);
    q->wake.notify_all();
    return TRUE;
}

namespace win32::detail
{

// Posts injected input to the thread of its target window.
bool PostInput(const QueuedMessage& m)
{
    auto w = Find(m.msg.hwnd);
    if (!w)
        return false;
    std::lock_guard<std::mutex> guard(w->queue->lock);
    w->queue->posted.push_back(m);
    w->queue->wake.notify_all();
    return true;
}

} // namespace win32::detail

void PostQuitMessage(int exitCode)
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> guard(q->lock);
    q->quitPosted = true;
    q->quitCode = exitCode;
    q->wake.notify_all();
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg)
        return FALSE;
    return TakeMessage(CurrentQueue(), msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0)
               ? TRUE
               : FALSE;
}

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (!msg)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    auto q = CurrentQueue();
    for (;;)
    {
        if (TakeMessage(q, msg, hwnd, filterMin, filterMax, true))
            return msg->message == WM_QUIT ? FALSE : TRUE;
        std::unique_lock<std::mutex> lock(q->lock);
        if (!q->posted.empty() || !q->sent.empty() || q->quitPosted)
            continue;
        // Timers on the system clock need a deadline; the manual clock wakes
        // every queue when it moves.
        ULONGLONG next = ~0ull;
        for (const TimerRecord& t : q->timers)
            next = std::min(next, t.due);
        if (next != ~0ull && !win32::IsClockManual())
        {
            ULONGLONG now = GetTickCount64();
            q->wake.wait_for(lock, std::chrono::milliseconds(next > now ? next - now : 0));
        }
        else
            q->wake.wait_for(lock, std::chrono::milliseconds(50)); // paints requested from elsewhere
    }
}

BOOL WaitMessage()
{
    auto q = CurrentQueue();
    std::unique_lock<std::mutex> lock(q->lock);
    if (q->posted.empty() && q->sent.empty() && !q->quitPosted)
        q->wake.wait_for(lock, std::chrono::milliseconds(50));
    return TRUE;
}

BOOL TranslateMessage(const MSG* msg)
{
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN))
        return FALSE;
    wchar_t ch = win32::detail::CharacterForKey(static_cast<BYTE>(msg->wParam));
    if (!ch)
        return FALSE;
    PostMessageW(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, static_cast<WPARAM>(ch),
                 msg->lParam);
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg)
{
    if (!msg)
        return 0;
    if (msg->message == WM_TIMER && msg->lParam)
    {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    if (!msg->hwnd)
        return 0;
    auto w = Find(msg->hwnd);
    if (!w || !OnOwnerThread(*w))
        return 0;
    std::uint64_t serial = PaintSerial(msg->hwnd);
    LRESULT r = CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    if (msg->message == WM_PAINT && PaintSerial(msg->hwnd) == serial)
        // A procedure that ignores WM_PAINT would otherwise be asked forever.
        ValidateRect(msg->hwnd, nullptr);
    return r;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

BOOL InSendMessage()
{
    return CurrentQueue()->sendDepth > 0 ? TRUE : FALSE;
}
DWORD GetMessagePos()
{
    return CurrentQueue()->messagePos;
}
LONG GetMessageTime()
{
    return CurrentQueue()->messageTime;
}

UINT RegisterWindowMessageW(LPCWSTR name)
{
    if (!name || !*name)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    struct Table
    {
        std::mutex lock;
        std::unordered_map<std::wstring, UINT> ids;
        UINT next = 0xC000;
    };
    static Table* table = new Table; // plug-ins register their messages during static initialisation
    std::wstring key = name;
    for (auto& ch : key)
        ch = static_cast<wchar_t>(std::towlower(ch));
    std::lock_guard<std::mutex> guard(table->lock);
    auto it = table->ids.find(key);
    if (it != table->ids.end())
        return it->second;
    if (table->next > 0xFFFF)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    UINT id = table->next++;
    table->ids.emplace(std::move(key), id);
    return id;
}

// ---------------------------------------------------------------- painting

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase)
{
    if (!hwnd)
    {
        // Every window of this thread.
        std::vector<HWND> all;
        auto q = CurrentQueue();
        {
            std::lock_guard<std::mutex> guard(TableLock());
            for (const auto& [value, w] : Windows())
                if (w->queue == q)
                    all.push_back(w->handle);
        }
        for (HWND h : all)
            InvalidateRect(h, nullptr, erase);
        return TRUE;
    }
    std::shared_ptr<ThreadQueue> q;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        auto w = FindLocked(hwnd);
        if (!w)
        {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (w->redrawOff)
            return TRUE;
        RECT client = ClientRectLocked(*w);
        RECT area = client;
        if (rect && !IntersectRect(&area, rect, &client))
            return TRUE;
        if (IsRectEmpty(&area))
            return TRUE;
        if (w->updatePending)
            UnionRect(&w->update, &w->update, &area);
        else
            w->update = area;
        w->updatePending = true;
        if (erase)
            w->erasePending = true;
        q = w->queue;
    }
    std::lock_guard<std::mutex> guard(q->lock);
    q->wake.notify_all();
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect)
{
    std::lock_guard<std::mutex> guard(TableLock());
    auto w = FindLocked(hwnd);
    if (!w)
        return FALSE;
    ++w->paintSerial;
    if (!rect)
    {
        w->updatePending = false;
        w->erasePending = false;
        w->internalPaint = false;
        SetRectEmpty(&w->update);
        return TRUE;
    }
    // The update area is one rectangle; validating a part keeps what remains
    // of it whenever that is still a rectangle.
    SubtractRect(&w->update, &w->update, rect);
    if (IsRectEmpty(&w->update))
    {
        w->updatePending = false;
        w->erasePending = false;
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase)
{
    bool pending;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        auto w = FindLocked(hwnd);
        if (!w)
            return FALSE;
        pending = w->updatePending;
        if (rect)
        {
            if (pending)
                *rect = w->update;
            else
                SetRectEmpty(rect);
        }
    }
    if (pending && erase)
        RedrawWindow(hwnd, nullptr, nullptr, RDW_ERASENOW);
    return pending ? TRUE : FALSE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint)
{
    if (!paint)
        return nullptr;
    *paint = PAINTSTRUCT{};
    bool erase;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        auto w = FindLocked(hwnd);
        if (!w)
        {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        paint->rcPaint = w->updatePending ? w->update : RECT{0, 0, 0, 0};
        erase = w->erasePending;
        w->updatePending = false;
        w->erasePending = false;
        w->internalPaint = false;
        ++w->paintSerial;
        SetRectEmpty(&w->update);
    }
    HDC dc = PaintProvider().acquire ? PaintProvider().acquire(hwnd) : nullptr;
    paint->hdc = dc;
    if (erase)
        paint->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint)
{
    if (paint && paint->hdc && PaintProvider().release)
        PaintProvider().release(hwnd, paint->hdc);
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd)
{
    bool pending;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        auto w = FindLocked(hwnd);
        if (!w)
            return FALSE;
        pending = w->updatePending || w->internalPaint;
    }
    if (pending)
    {
        std::uint64_t serial = PaintSerial(hwnd);
        SendMessageW(hwnd, WM_PAINT, 0, 0);
        if (PaintSerial(hwnd) == serial)
            ValidateRect(hwnd, nullptr);
    }
    return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN, UINT flags)
{
    if (!hwnd)
        return FALSE;
    auto w = Find(hwnd);
    if (!w)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (flags & RDW_INVALIDATE)
        InvalidateRect(hwnd, rect, (flags & RDW_ERASE) ? TRUE : FALSE);
    if (flags & RDW_VALIDATE)
        ValidateRect(hwnd, rect);
    {
        std::lock_guard<std::mutex> guard(TableLock());
        if (flags & RDW_INTERNALPAINT)
            w->internalPaint = true;
        if (flags & RDW_NOINTERNALPAINT)
            w->internalPaint = false;
        if (flags & RDW_NOERASE)
            w->erasePending = false;
    }
    if (flags & RDW_INTERNALPAINT)
    {
        std::lock_guard<std::mutex> guard(w->queue->lock);
        w->queue->wake.notify_all();
    }
    std::vector<HWND> children;
    if (flags & RDW_ALLCHILDREN)
    {
        std::lock_guard<std::mutex> guard(TableLock());
        children = w->children;
    }
    for (HWND c : children)
        RedrawWindow(c, nullptr, nullptr, flags & ~RDW_UPDATENOW & ~RDW_ERASENOW);
    if (flags & RDW_UPDATENOW)
    {
        UpdateWindow(hwnd);
        for (HWND c : children)
            if (flags & RDW_ALLCHILDREN)
                UpdateWindow(c);
    }
    else if (flags & RDW_ERASENOW)
    {
        bool erase;
        {
            std::lock_guard<std::mutex> guard(TableLock());
            erase = w->erasePending;
            w->erasePending = false;
        }
        if (erase)
            SendMessageW(hwnd, WM_ERASEBKGND, 0, 0);
    }
    return TRUE;
}

// ------------------------------------------------------------------ timers

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc)
{
    std::shared_ptr<ThreadQueue> q;
    if (hwnd)
    {
        auto w = Find(hwnd);
        if (!w)
        {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        q = w->queue;
    }
    else
        q = CurrentQueue();
    static std::atomic<UINT_PTR> nextThreadTimer{0x7FFF0000};
    std::lock_guard<std::mutex> guard(q->lock);
    if (!hwnd)
        id = nextThreadTimer.fetch_add(1);
    TimerRecord t{hwnd, id, std::max<UINT>(elapseMs, 1), proc,
                  GetTickCount64() + std::max<UINT>(elapseMs, 1)};
    auto it = std::find_if(q->timers.begin(), q->timers.end(),
                           [&](const TimerRecord& r) { return r.hwnd == hwnd && r.id == id; });
    if (it != q->timers.end())
        *it = t;
    else
        q->timers.push_back(t);
    q->wake.notify_all();
    return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    std::shared_ptr<ThreadQueue> q;
    if (hwnd)
    {
        auto w = Find(hwnd);
        if (!w)
            return FALSE;
        q = w->queue;
    }
    else
        q = CurrentQueue();
    std::lock_guard<std::mutex> guard(q->lock);
    auto before = q->timers.size();
    std::erase_if(q->timers, [&](const TimerRecord& r) { return r.hwnd == hwnd && r.id == id; });
    // A WM_TIMER already queued for it is dropped too.
    return q->timers.size() != before ? TRUE : FALSE;
}

// ------------------------------------------------------------ debug output

void OutputDebugStringW(LPCWSTR text)
{
    if (!text)
        return;
    {
        std::lock_guard<std::mutex> guard(DebugOutputLock());
        DebugOutput() += text;
    }
    if (std::getenv("VTL_DEBUG_OUTPUT"))
        std::fprintf(stderr, "%ls", text);
}

// ----------------------------------------------------------------- helpers

namespace win32
{

bool PeekMessageLeavingQuit(MSG* msg)
{
    if (!msg)
        return false;
    auto q = CurrentQueue();
    if (!TakeMessage(q, msg, nullptr, 0, 0, false))
        return false;
    // What comes next in GetMessage's order is taken by its own kind: a
    // posted message is the first of its kind, a paint or a timer is the
    // one just found. Filtering on ranges around WM_QUIT instead would hand
    // out WM_PAINT, which sorts below it, before queued input.
    if (msg->message != WM_QUIT)
        return TakeMessage(q, msg, nullptr, msg->message, msg->message, true);
    // The quit is left for the loop that owns it; nothing posted is queued
    // before it, but paints and timers still run.
    return TakeMessage(q, msg, nullptr, 0, WM_QUIT - 1, true) ||
           TakeMessage(q, msg, nullptr, WM_QUIT + 1, 0xFFFFFFFF, true);
}

std::size_t PumpUntilIdle(std::size_t maxMessages)
{
    std::size_t count = 0;
    auto q = CurrentQueue();
    for (;;)
    {
        if (ProcessSentMessages(q))
            ++count;
        MSG msg{};
        if (!PeekMessageLeavingQuit(&msg))
            return count;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (++count > maxMessages)
            throw std::runtime_error(
                "PumpUntilIdle: messages keep coming (a window that repaints or posts in "
                "every message?)");
    }
}

void SetPaintDeviceProvider(PaintDeviceProvider provider)
{
    PaintProvider() = std::move(provider);
}

std::wstring TakeDebugOutput()
{
    std::lock_guard<std::mutex> guard(DebugOutputLock());
    std::wstring out;
    out.swap(DebugOutput());
    return out;
}

} // namespace win32
