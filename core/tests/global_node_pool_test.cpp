#include "core/global_node_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace
{

TEST(GlobalNodePool, CarvesBlocksOfAThousandAndTwentyFourNodes)
{
    cGlobalNodePool pool;
    EXPECT_EQ(pool.GetBlockCount(), 1u) << "built with its first block";
    std::vector<void*> nodes;
    for (int i = 0; i < 1024; ++i)
        nodes.push_back(pool.AllocNode());
    EXPECT_EQ(pool.GetBlockCount(), 1u);
    EXPECT_EQ(static_cast<char*>(nodes[1]) - static_cast<char*>(nodes[0]), 56);
    nodes.push_back(pool.AllocNode()); // the 1025th
    EXPECT_EQ(pool.GetBlockCount(), 2u);
    EXPECT_EQ(nodes.back(), pool.GetBlock(1));
    EXPECT_EQ(pool.GetLiveCount(), 1025u);

    std::set<void*> distinct(nodes.begin(), nodes.end());
    EXPECT_EQ(distinct.size(), nodes.size());

    for (void* node : nodes)
        pool.FreeNode(node);
    EXPECT_EQ(pool.GetLiveCount(), 0u);
    EXPECT_EQ(pool.GetBlockCount(), 1u) << "falls back to its first block";
    EXPECT_EQ(pool.AllocNode(), pool.GetBlock(0)) << "and starts again at offset 0";
}

TEST(GlobalNodePool, RecyclesFreedNodesWhileOthersLive)
{
    cGlobalNodePool pool;
    void* a = pool.AllocNode();
    void* b = pool.AllocNode();
    pool.FreeNode(a);
    EXPECT_EQ(pool.AllocNode(), a);
    pool.FreeNode(nullptr);
    EXPECT_EQ(pool.GetLiveCount(), 2u);
    pool.FreeNode(a);
    pool.FreeNode(b);
    pool.FreeNode(b); // a stray extra free must not drive the count below zero
    EXPECT_EQ(pool.GetLiveCount(), 0u);
}

TEST(GlobalNodePool, ServesOrderedMaps)
{
    const std::size_t liveBefore = cGlobalNodePool::Instance().GetLiveCount();
    {
        std::map<std::uint64_t, std::uint32_t, std::less<>,
                 tGlobalNodePoolAllocator<std::pair<const std::uint64_t, std::uint32_t>>>
            edges;
        for (std::uint32_t i = 0; i < 5000; ++i)
            edges[(std::uint64_t{i} << 32) | (i * 7u)] = i;
        EXPECT_EQ(cGlobalNodePool::Instance().GetLiveCount(), liveBefore + 5000);
        EXPECT_EQ(edges.size(), 5000u);
        EXPECT_EQ(edges.begin()->second, 0u);
    }
    EXPECT_EQ(cGlobalNodePool::Instance().GetLiveCount(), liveBefore);
}

} // namespace
