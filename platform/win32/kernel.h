// Kernel synchronisation and threads: events, waits, threads, critical
// sections and the little system information the system asks for.
//
// Waitable objects (events and threads) live in the kernel handle table of
// handles.h and are closed with CloseHandle. Waits follow the original
// platform's rules: a wait-any reports the lowest-index signalled object, a
// satisfied wait resets the auto-reset events it took, a wait-all takes all of
// its objects at once or none, and at most MAXIMUM_WAIT_OBJECTS handles are
// waited on in one call.
#pragma once

#include "platform/win32/handles.h"
#include "platform/win32/types.h"

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;
inline constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
inline constexpr DWORD WAIT_ABANDONED_0 = 0x00000080;
inline constexpr DWORD WAIT_TIMEOUT = 0x00000102;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

inline constexpr DWORD CREATE_SUSPENDED = 0x00000004;
inline constexpr DWORD STILL_ACTIVE = 0x00000103;

// ---------------------------------------------------------------- events

// A manual-reset event stays signalled until ResetEvent and releases every
// waiter; an auto-reset event releases one wait and resets itself. Names are
// not supported (a named event is refused with ERROR_NOT_SUPPORTED).
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// ---------------------------------------------------------------- waits

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// ---------------------------------------------------------------- threads

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

// The returned handle is signalled when the thread has ended.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId);
// The runtime library's thread start: the same thread object, returned as an
// integer handle (0 on failure).
std::uintptr_t _beginthreadex(void* security, unsigned stackSize, unsigned (*start)(void*), void* argument,
                              unsigned initFlag, unsigned* threadId);
// Returns the previous suspend count, or 0xFFFFFFFF on failure.
DWORD ResumeThread(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
DWORD GetCurrentThreadId();
void Sleep(DWORD milliseconds);

// ---------------------------------------------------------------- critical sections

// A recursive lock owned by the caller's structure. Entering spins up to the
// spin count on a contended lock before it blocks.
struct CRITICAL_SECTION
{
    void* LockObject;
    DWORD SpinCount;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spinCount);
void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);

// ---------------------------------------------------------------- system information

struct SYSTEM_INFO
{
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};
using LPSYSTEM_INFO = SYSTEM_INFO*;

// Reports the processors of one processor group, as the original platform
// does: never more than 64.
void GetSystemInfo(LPSYSTEM_INFO info);
