// A team of the pool's threads: every item of each of the lead's batches
// runs once and has ended when the batch returns, the helpers leave when the
// lead is done, and without a pool the lead runs the items in order.
#include "core/pool_ordered_pass.h"
#include "core/pool_team.h"
#include "core/thread_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace
{

TEST(PoolTeam, EveryItemOfEachBatchHasRunOnceWhenTheBatchReturns)
{
    constexpr std::size_t kBatches = 3000, kMostItems = 9;
    std::vector<int> runs(kMostItems);
    std::vector<std::size_t> wrong;
    cThreadPool pool(4);
    auto lead = [&](cPoolTeam& team) {
        for (std::size_t b = 0; b < kBatches; ++b)
        {
            const std::size_t count = 1 + b % kMostItems;
            std::fill(runs.begin(), runs.end(), 0);
            // Some work, so that the helpers take items too.
            auto item = [&](std::size_t i) {
                volatile double x = static_cast<double>(i);
                for (int k = 0; k < 200; ++k)
                    x = x * 0.5 + 1.0;
                ++runs[i];
            };
            team.Run(count, item);
            for (std::size_t i = 0; i < kMostItems; ++i)
                if (runs[i] != (i < count ? 1 : 0))
                    wrong.push_back(b);
        }
    };
    RunWithPoolTeam(&pool, 3, lead);
    pool.Stop();
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " batches, the first " << wrong.front();
}

TEST(PoolTeam, WithoutAPoolTheLeadRunsTheItemsInOrder)
{
    std::vector<std::size_t> order;
    auto lead = [&](cPoolTeam& team) {
        auto item = [&](std::size_t i) { order.push_back(i); };
        team.Run(3, item);
        team.Run(2, item);
    };
    RunWithPoolTeam(nullptr, 3, lead);
    EXPECT_EQ(order, (std::vector<std::size_t>{0, 1, 2, 0, 1}));
}

TEST(PoolTeam, PassesTakenInOrderOnATeamSumAsOneThread)
{
    constexpr std::size_t kBlocks = 300, kPerBlock = 61;
    const auto value = [](std::size_t i) { return std::sin(0.37 * static_cast<double>(i)) * 1e3 + 1e-7 * static_cast<double>(i); };
    double alone = 0.0;
    for (std::size_t i = 0; i < kBlocks * kPerBlock; ++i)
        alone += value(i) * value(i);
    std::vector<double> found(kBlocks * kPerBlock);
    std::vector<double> sums;
    auto find = [&](std::size_t b) {
        for (std::size_t i = b * kPerBlock; i < (b + 1) * kPerBlock; ++i)
            found[i] = value(i);
    };
    cThreadPool pool(4);
    auto lead = [&](cPoolTeam& team) {
        for (int pass = 0; pass < 50; ++pass)
        {
            double sum = 0.0;
            std::size_t next = 0;
            auto take = [&](std::size_t b) {
                EXPECT_EQ(b, next++);
                for (std::size_t i = b * kPerBlock; i < (b + 1) * kPerBlock; ++i)
                    sum += found[i] * found[i];
            };
            std::fill(found.begin(), found.end(), 0.0);
            FindOnTeamTakeInOrder(team, kBlocks, find, take);
            sums.push_back(sum);
        }
    };
    RunWithPoolTeam(&pool, 3, lead);
    pool.Stop();
    ASSERT_EQ(sums.size(), 50u);
    for (const double sum : sums)
        EXPECT_EQ(std::memcmp(&sum, &alone, sizeof sum), 0);
}

} // namespace
