// Shared state of the window, message and input sources of this folder; not
// part of the platform's interface.
#pragma once

#include "platform/win32/message.h"
#include "platform/win32/window.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace win32::detail
{

struct WindowClassRecord
{
    std::wstring name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int clsExtra = 0;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON iconSmall = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    std::wstring menuName;
    ULONG_PTR menuId = 0;
};

struct SentMessage;

struct QueuedMessage
{
    MSG msg{};
    // Injected input updates the thread's synchronous key state when it is
    // taken from the queue (vk 0: no key change).
    bool input = false;
    BYTE vk = 0;
    bool keyDown = false;
};

struct TimerRecord
{
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    ULONGLONG due = 0;
};

// One per thread that creates windows or posts to itself.
struct ThreadQueue
{
    std::thread::id thread;
    std::mutex lock;
    std::condition_variable wake;
    std::deque<QueuedMessage> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::vector<TimerRecord> timers;
    bool quitPosted = false;
    int quitCode = 0;

    // Touched only by the owning thread.
    HWND focus = nullptr;
    HWND capture = nullptr;
    HWND active = nullptr;
    BYTE keyState[256] = {};
    DWORD messagePos = 0;
    LONG messageTime = 0;
    int sendDepth = 0; // > 0 while a message sent by another thread is handled
};

struct SentMessage
{
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<ThreadQueue> sender;
};

struct WindowRecord
{
    HWND handle = nullptr;
    std::shared_ptr<const WindowClassRecord> cls;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;      // children only
    HWND owner = nullptr;       // top-level windows only
    std::vector<HWND> children; // front to back
    RECT rect{};                // relative to the parent's client area, or the screen
    RECT restoreRect{};         // before maximising
    std::wstring text;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    HINSTANCE instance = nullptr;
    std::vector<BYTE> extra;
    std::map<std::wstring, HANDLE> props;
    std::shared_ptr<ThreadQueue> queue;
    bool destroying = false;
    bool redrawOff = false;

    // Painting.
    bool updatePending = false;
    RECT update{};
    bool erasePending = false;
    bool internalPaint = false;
    std::uint64_t paintSerial = 0; // counts BeginPaint and ValidateRect calls

    HRGN region = nullptr;
    bool trackLeave = false;
    ClientImage image;
};

// The global window table. Record fields are read and written under
// TableLock(); window procedures are always called without it.
std::mutex& TableLock();
std::map<std::uintptr_t, std::shared_ptr<WindowRecord>>& Windows(); // under TableLock
std::vector<HWND>& TopLevelOrder();                                 // under TableLock, front to back
std::shared_ptr<WindowRecord> FindLocked(HWND hwnd);
std::shared_ptr<WindowRecord> Find(HWND hwnd);

std::shared_ptr<ThreadQueue> CurrentQueue();
bool OnOwnerThread(const WindowRecord& w);

inline LONG Width(const RECT& r)
{
    return r.right - r.left;
}
inline LONG Height(const RECT& r)
{
    return r.bottom - r.top;
}

// Geometry helpers (under TableLock).
RECT NonClientInsets(DWORD style, DWORD exStyle);
POINT WindowOriginLocked(const WindowRecord& w);
// Reallocates the client image when the client size changed; true then.
bool FitImageLocked(WindowRecord& w);
// Tells the observers; called without the lock.
void NotifySizeChanged(HWND hwnd, LONG width, LONG height);
WPARAM SizeType(DWORD style);
POINT ClientOriginLocked(const WindowRecord& w);
RECT ClientRectLocked(const WindowRecord& w);

// Message plumbing shared between sources.
LRESULT CallProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void DiscardMessagesFor(HWND hwnd);
void DestroyWindowSideEffects(HWND hwnd); // focus, capture, timers, tracking
void SendSizeAndMove(HWND hwnd, const WINDOWPOS* wp);
void SetStoredText(HWND hwnd, LPCWSTR text);
std::wstring StoredText(HWND hwnd);
RECT MonitorWorkAreaFor(const RECT& windowRect);
void DropFocusAndCaptureInside(HWND hwnd);
// Input taken from the queue: key state, hit test, cursor and activation;
// returns the hit code of a mouse message (HTCLIENT for others).
LRESULT BeforeInputDelivered(const QueuedMessage& q);
bool PostInput(const QueuedMessage& m);
wchar_t CharacterForKey(BYTE vk);

} // namespace win32::detail
