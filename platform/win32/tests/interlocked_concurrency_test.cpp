#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace
{

constexpr int kThreads = 4;
constexpr int kRounds = 20000;

template <class Body> void RunOnThreads(Body body)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(body, t);
    for (auto& th : threads)
        th.join();
}

TEST(Interlocked, ReturnValuesFollowTheOriginalConvention)
{
    LONG v = 5;
    EXPECT_EQ(InterlockedIncrement(&v), 6);
    EXPECT_EQ(InterlockedDecrement(&v), 5);
    EXPECT_EQ(InterlockedExchange(&v, 9), 5);
    EXPECT_EQ(InterlockedExchangeAdd(&v, 3), 9);
    EXPECT_EQ(v, 12);
    EXPECT_EQ(InterlockedCompareExchange(&v, 1, 7), 12); // no match: unchanged
    EXPECT_EQ(v, 12);
    EXPECT_EQ(InterlockedCompareExchange(&v, 1, 12), 12);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(InterlockedOr(&v, 6), 1);
    EXPECT_EQ(InterlockedAnd(&v, 3), 7);
    EXPECT_EQ(v, 3);

    DWORD d = 0;
    EXPECT_EQ(InterlockedDecrement(&d), 0xFFFFFFFFu); // unsigned counters wrap
    EXPECT_EQ(InterlockedIncrement(&d), 0u);

    CHAR b = 0x0F;
    EXPECT_EQ(InterlockedOr8(&b, CHAR(0x30)), 0x0F);
    EXPECT_EQ(InterlockedAnd8(&b, CHAR(0x3C)), 0x3F);
    EXPECT_EQ(InterlockedCompareExchange8(&b, CHAR(0x7F), CHAR(0x3C)), 0x3C);
    EXPECT_EQ(InterlockedExchange8(&b, CHAR(1)), 0x7F);
    EXPECT_EQ(b, 1);
}

TEST(Interlocked, CountersLoseNoUpdateUnderContention)
{
    LONG counter = 0;
    DWORD busy = 0;
    RunOnThreads([&](int) {
        for (int i = 0; i < kRounds; ++i)
        {
            InterlockedIncrement(&counter);
            InterlockedIncrement(&busy);
            InterlockedDecrement(&busy);
        }
    });
    EXPECT_EQ(counter, kThreads * kRounds);
    EXPECT_EQ(busy, 0u);
}

TEST(Interlocked, ByteCompareExchangeHandsEachBitToOneThread)
{
    // Threads claim the lowest free bit of one byte with a compare-exchange
    // loop and give it back; a bit held by two threads at once is a clash.
    CHAR mask = 0;
    LONG holders[8] = {};
    LONG clashes = 0;
    RunOnThreads([&](int) {
        for (int i = 0; i < kRounds; ++i)
        {
            CHAR seen = InterlockedCompareExchange8(&mask, 0, 0);
            int bitIndex = -1;
            for (;;)
            {
                auto m = static_cast<unsigned char>(seen);
                auto bit = static_cast<unsigned char>(~m & (m + 1));
                if (bit == 0)
                    break;
                CHAR was = InterlockedCompareExchange8(&mask, static_cast<CHAR>(m | bit), seen);
                if (was == seen)
                {
                    bitIndex = __builtin_ctz(bit);
                    break;
                }
                seen = was;
            }
            if (bitIndex < 0)
                continue;
            if (InterlockedIncrement(&holders[bitIndex]) != 1)
                InterlockedIncrement(&clashes);
            InterlockedDecrement(&holders[bitIndex]);
            InterlockedAnd8(&mask, static_cast<CHAR>(~(1 << bitIndex)));
        }
    });
    EXPECT_EQ(clashes, 0);
    EXPECT_EQ(mask, 0);
}

} // namespace
