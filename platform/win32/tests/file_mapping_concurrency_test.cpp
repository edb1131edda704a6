#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace
{

TEST(FileMappingConcurrency, ThreadsOpeningByNameShareOneCounter)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 300;
    HANDLE keeper = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG),
                                       L"FileMappingConcurrency_Counter");
    ASSERT_NE(keeper, nullptr);

    std::vector<std::thread> threads;
    LONG failures = 0;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&failures, t] {
            for (int i = 0; i < kRounds; ++i)
            {
                // Half the threads create by name, half open by name.
                HANDLE h = (t % 2) ? OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"FileMappingConcurrency_Counter")
                                   : CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                        sizeof(LONG), L"FileMappingConcurrency_Counter");
                auto* counter = h ? static_cast<LONG*>(MapViewOfFile(h, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
                if (!counter)
                {
                    InterlockedIncrement(&failures);
                    continue;
                }
                InterlockedIncrement(counter);
                UnmapViewOfFile(counter);
                CloseHandle(h);
            }
        });
    for (auto& th : threads)
        th.join();

    auto* counter = static_cast<LONG*>(MapViewOfFile(keeper, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(*counter, kThreads * kRounds);
    EXPECT_TRUE(UnmapViewOfFile(counter));
    EXPECT_TRUE(CloseHandle(keeper));
}

} // namespace
