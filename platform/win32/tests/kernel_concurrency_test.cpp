#include "platform/win32/kernel_faults.h"
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace
{

struct KernelTest : ::testing::Test
{
    void TearDown() override { win32::ClearKernelFaults(); }
};

struct EventSet
{
    explicit EventSet(int n, BOOL manual, BOOL initial = FALSE)
    {
        for (int i = 0; i < n; ++i)
            handles.push_back(CreateEventW(nullptr, manual, initial, nullptr));
    }
    ~EventSet()
    {
        for (HANDLE h : handles)
            CloseHandle(h);
    }
    std::vector<HANDLE> handles;
};

using Events = KernelTest;

TEST_F(Events, ManualResetStaysSignalledUntilReset)
{
    EventSet e(1, TRUE);
    EXPECT_EQ(WaitForSingleObject(e.handles[0], 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(e.handles[0]));
    EXPECT_EQ(WaitForSingleObject(e.handles[0], 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e.handles[0], 10), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(e.handles[0]));
    EXPECT_EQ(WaitForSingleObject(e.handles[0], 10), WAIT_TIMEOUT);
}

TEST_F(Events, AutoResetReleasesExactlyOneWait)
{
    EventSet e(1, FALSE, TRUE);
    EXPECT_EQ(WaitForSingleObject(e.handles[0], 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e.handles[0], 10), WAIT_TIMEOUT);
}

TEST_F(Events, ManualResetWakesEveryBlockedWaiter)
{
    EventSet e(1, TRUE);
    std::atomic<int> woken{0};
    std::vector<HANDLE> threads;
    struct Arg
    {
        HANDLE event;
        std::atomic<int>* woken;
    } arg{e.handles[0], &woken};
    for (int i = 0; i < 6; ++i)
        threads.push_back(CreateThread(
            nullptr, 0,
            [](LPVOID p) -> DWORD {
                auto* a = static_cast<Arg*>(p);
                if (WaitForSingleObject(a->event, INFINITE) == WAIT_OBJECT_0)
                    a->woken->fetch_add(1);
                return 0;
            },
            &arg, 0, nullptr));
    Sleep(20);
    SetEvent(e.handles[0]);
    EXPECT_EQ(WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE),
              WAIT_OBJECT_0);
    EXPECT_EQ(woken.load(), 6);
    for (HANDLE t : threads)
        CloseHandle(t);
}

TEST_F(Events, AutoResetHandsEachSignalToOneWaiter)
{
    // Four waiters, four signals spaced out: every signal releases exactly
    // one waiter and none is lost or doubled.
    EventSet e(1, FALSE);
    std::atomic<int> woken{0};
    struct Arg
    {
        HANDLE event;
        std::atomic<int>* woken;
    } arg{e.handles[0], &woken};
    std::vector<HANDLE> threads;
    for (int i = 0; i < 4; ++i)
        threads.push_back(CreateThread(
            nullptr, 0,
            [](LPVOID p) -> DWORD {
                auto* a = static_cast<Arg*>(p);
                if (WaitForSingleObject(a->event, 5000) == WAIT_OBJECT_0)
                    a->woken->fetch_add(1);
                return 0;
            },
            &arg, 0, nullptr));
    for (int i = 1; i <= 4; ++i)
    {
        SetEvent(e.handles[0]);
        while (woken.load() < i)
            Sleep(1);
    }
    WaitForMultipleObjects(4, threads.data(), TRUE, INFINITE);
    EXPECT_EQ(woken.load(), 4);
    EXPECT_EQ(WaitForSingleObject(e.handles[0], 0), WAIT_TIMEOUT);
    for (HANDLE t : threads)
        CloseHandle(t);
}

using Waits = KernelTest;

TEST_F(Waits, WaitAnyReportsTheLowestSignalledIndexAndTakesOnlyIt)
{
    EventSet e(3, FALSE);
    SetEvent(e.handles[2]);
    SetEvent(e.handles[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, e.handles.data(), FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, e.handles.data(), FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, e.handles.data(), FALSE, 0), WAIT_TIMEOUT);
}

TEST_F(Waits, WaitAllTakesAllObjectsAtOnceOrNone)
{
    EventSet e(3, FALSE);
    SetEvent(e.handles[0]);
    SetEvent(e.handles[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, e.handles.data(), TRUE, 20), WAIT_TIMEOUT);
    // The failed wait-all left the two signalled events alone.
    EXPECT_EQ(WaitForSingleObject(e.handles[0], 0), WAIT_OBJECT_0);
    SetEvent(e.handles[0]);
    SetEvent(e.handles[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, e.handles.data(), TRUE, 0), WAIT_OBJECT_0);
    for (HANDLE h : e.handles)
        EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT);
}

TEST_F(Waits, WaitAllCompletesWhenTheLastObjectIsSignalledLater)
{
    EventSet e(2, TRUE);
    SetEvent(e.handles[0]);
    HANDLE t = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            Sleep(20);
            SetEvent(static_cast<HANDLE>(p));
            return 0;
        },
        e.handles[1], 0, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(2, e.handles.data(), TRUE, 10000), WAIT_OBJECT_0);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
}

TEST_F(Waits, BadArgumentsFailInsteadOfBlocking)
{
    std::vector<HANDLE> many(MAXIMUM_WAIT_OBJECTS + 1, nullptr);
    EventSet e(1, TRUE, TRUE);
    for (auto& h : many)
        h = e.handles[0];
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, many.data(), FALSE, INFINITE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WaitForMultipleObjects(0, many.data(), FALSE, INFINITE), WAIT_FAILED);
    // The same object twice can never be taken "all at once".
    EXPECT_EQ(WaitForMultipleObjects(2, many.data(), TRUE, INFINITE), WAIT_FAILED);

    HANDLE closed = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    CloseHandle(closed);
    EXPECT_EQ(WaitForSingleObject(closed, INFINITE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetEvent(closed));
    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, L"named"), nullptr);
}

using Threads = KernelTest;

TEST_F(Threads, HandleIsSignalledWithTheExitCodeWhenTheThreadEnds)
{
    DWORD id = 0;
    HANDLE t = CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { return 42; }, nullptr, 0, &id);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_TRUE(CloseHandle(t));
}

TEST_F(Threads, SuspendedThreadRunsOnlyAfterResume)
{
    std::atomic<int> ran{0};
    unsigned id = 0;
    auto raw = _beginthreadex(
        nullptr, 0,
        [](void* p) -> unsigned {
            static_cast<std::atomic<int>*>(p)->store(1);
            return 7;
        },
        &ran, CREATE_SUSPENDED, &id);
    ASSERT_NE(raw, 0u);
    HANDLE t = reinterpret_cast<HANDLE>(raw);
    EXPECT_EQ(WaitForSingleObject(t, 30), WAIT_TIMEOUT);
    EXPECT_EQ(ran.load(), 0);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(ResumeThread(t), 1u);
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ran.load(), 1);
    EXPECT_EQ(ResumeThread(t), 0u);
    CloseHandle(t);
}

TEST_F(Threads, InjectedFaultsFailCreationOrEndTheThreadBeforeItRuns)
{
    win32::InjectKernelFault(win32::KernelFault::CreateThreadFails, 1);
    EXPECT_EQ(CreateThread(
                  nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr),
              nullptr);

    std::atomic<int> ran{0};
    win32::InjectKernelFault(win32::KernelFault::ThreadDiesAtStart, 1);
    HANDLE t = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            static_cast<std::atomic<int>*>(p)->store(1);
            return 0;
        },
        &ran, 0, nullptr);
    ASSERT_NE(t, nullptr);
    WaitForSingleObject(t, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, 0xFFFFFFFFu);
    EXPECT_EQ(ran.load(), 0);
    CloseHandle(t);

    win32::InjectKernelFault(win32::KernelFault::CreateEventFails, 1);
    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr);
    HANDLE ok = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(ok, nullptr);
    CloseHandle(ok);
}

TEST(CriticalSections, AreRecursiveAndExcludeOtherThreads)
{
    CRITICAL_SECTION cs;
    ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&cs, 1024));
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    struct Shared
    {
        CRITICAL_SECTION* cs;
        long counter = 0; // plain: only the lock protects it
    } shared{&cs};
    HANDLE probe = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD { return TryEnterCriticalSection(static_cast<Shared*>(p)->cs); }, &shared, 0,
        nullptr);
    WaitForSingleObject(probe, INFINITE);
    DWORD code = 1;
    GetExitCodeThread(probe, &code);
    EXPECT_EQ(code, 0u) << "another thread entered a held section";
    CloseHandle(probe);
    LeaveCriticalSection(&cs);

    std::vector<HANDLE> threads;
    for (int i = 0; i < 4; ++i)
        threads.push_back(CreateThread(
            nullptr, 0,
            [](LPVOID p) -> DWORD {
                auto* s = static_cast<Shared*>(p);
                for (int k = 0; k < 20000; ++k)
                {
                    EnterCriticalSection(s->cs);
                    ++s->counter;
                    LeaveCriticalSection(s->cs);
                }
                return 0;
            },
            &shared, 0, nullptr));
    WaitForMultipleObjects(4, threads.data(), TRUE, INFINITE);
    EXPECT_EQ(shared.counter, 80000);
    for (HANDLE t : threads)
        CloseHandle(t);
    DeleteCriticalSection(&cs);
}

TEST_F(KernelTest, SystemInfoReportsOneProcessorGroupAtMost)
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    EXPECT_GE(info.dwNumberOfProcessors, 1u);
    EXPECT_LE(info.dwNumberOfProcessors, 64u);
    win32::OverrideProcessorCount(1);
    GetSystemInfo(&info);
    EXPECT_EQ(info.dwNumberOfProcessors, 1u);
    win32::OverrideProcessorCount(200);
    GetSystemInfo(&info);
    EXPECT_EQ(info.dwNumberOfProcessors, 64u);
}

} // namespace
