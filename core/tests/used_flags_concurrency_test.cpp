#include "core/used_flags.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace
{

TEST(UsedFlagsConcurrency, ThreadsNeverHoldTheSameBit)
{
    cUsedFlagMask mask(L"UsedFlagsConcurrency_Mask", 7);
    constexpr int kThreads = 4;
    constexpr int kRounds = 5000;
    LONG holders[8] = {};
    LONG clashes = 0;
    LONG lent = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i)
            {
                const std::uint8_t bit = mask.Borrow();
                if (!bit)
                    continue;
                InterlockedIncrement(&lent);
                const int index = __builtin_ctz(bit);
                if (InterlockedIncrement(&holders[index]) != 1)
                    InterlockedIncrement(&clashes);
                InterlockedDecrement(&holders[index]);
                mask.Return(bit);
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(clashes, 0);
    EXPECT_GT(lent, 0);
    EXPECT_EQ(mask.Value(), 7);
}

} // namespace
