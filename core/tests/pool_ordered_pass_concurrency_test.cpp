// Values found on a pool and taken in order: every block is found once and
// taken after it is found, in ascending order, and a running sum taken so
// comes out as the one-thread pass gives it.
#include "core/pool_ordered_pass.h"
#include "core/thread_pool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{

TEST(FindOnPoolTakeInOrder, TakesEveryBlockInOrderAfterItIsFoundAndSumsAsOneThread)
{
    constexpr std::size_t kBlocks = 700, kPerBlock = 97;
    std::vector<double> value(kBlocks * kPerBlock);
    std::vector<int> foundTimes(kBlocks, 0);
    std::vector<std::size_t> taken;
    double sum = 0.0;
    auto find = [&](std::size_t b) {
        for (std::size_t i = b * kPerBlock; i < (b + 1) * kPerBlock; ++i)
            value[i] = std::sin(0.37 * static_cast<double>(i)) * 1e3 + 1e-7 * static_cast<double>(i);
        ++foundTimes[b];
    };
    auto take = [&](std::size_t b) {
        EXPECT_EQ(foundTimes[b], 1) << b;
        taken.push_back(b);
        for (std::size_t i = b * kPerBlock; i < (b + 1) * kPerBlock; ++i)
            sum += value[i] * value[i];
    };
    cThreadPool pool(4);
    FindOnPoolTakeInOrder(&pool, kBlocks, find, take);
    pool.Stop();
    ASSERT_EQ(taken.size(), kBlocks);
    for (std::size_t b = 0; b < kBlocks; ++b)
    {
        EXPECT_EQ(taken[b], b);
        EXPECT_EQ(foundTimes[b], 1) << b;
    }
    double alone = 0.0;
    for (std::size_t i = 0; i < value.size(); ++i)
    {
        const double v = std::sin(0.37 * static_cast<double>(i)) * 1e3 + 1e-7 * static_cast<double>(i);
        alone += v * v;
    }
    EXPECT_EQ(std::memcmp(&sum, &alone, sizeof sum), 0);
    // Without a pool the blocks are found and taken in turn, each once.
    std::vector<std::size_t> order;
    auto findAlone = [&](std::size_t b) { order.push_back(2 * b); };
    auto takeAlone = [&](std::size_t b) { order.push_back(2 * b + 1); };
    FindOnPoolTakeInOrder(nullptr, 3, findAlone, takeAlone);
    EXPECT_EQ(order, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5}));
}

} // namespace
