#include "core/chunk_allocator.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace
{

struct PlainNode
{
    PlainNode* link;
    int value;
};

struct NodeWithLifetime
{
    static inline int live = 0;
    NodeWithLifetime() { ++live; }
    ~NodeWithLifetime() { --live; }
    NodeWithLifetime* previous = nullptr;
    int payload = 5;
};

TEST(ListChunkAllocator, ChainsAFreshChunkBeforeHandingOutTheLastFreeNode)
{
    tListChunkAllocator<PlainNode> allocator;
    std::vector<PlainNode*> nodes;
    for (int i = 0; i < 1023; ++i)
        nodes.push_back(allocator.Alloc());
    EXPECT_EQ(allocator.GetChunkCount(), 1u);
    const PlainNode* firstChunk = allocator.GetFirstChunk()->nodes;
    EXPECT_EQ(nodes[0], firstChunk);
    EXPECT_EQ(nodes[1022], firstChunk + 1022);

    PlainNode* last = allocator.Alloc(); // the 1024th
    EXPECT_EQ(last, firstChunk + 1023);
    EXPECT_EQ(allocator.GetChunkCount(), 2u) << "second chunk exists before the last node goes out";
    PlainNode* next = allocator.Alloc(); // the 1025th
    EXPECT_EQ(next, allocator.GetLastChunk()->nodes);
    EXPECT_NE(allocator.GetFreeHead(), nullptr);
}

TEST(ListChunkAllocator, NewNodesAreZeroedAndFreedNodesComeBackFirst)
{
    tListChunkAllocator<PlainNode> allocator;
    PlainNode* a = allocator.Alloc();
    EXPECT_EQ(a->value, 0);
    PlainNode* b = allocator.Alloc();
    allocator.Free(a);
    allocator.Free(b);
    EXPECT_EQ(allocator.Alloc(), b);
    EXPECT_EQ(allocator.Alloc(), a);
    allocator.Free(nullptr);
    EXPECT_NE(allocator.Alloc(), nullptr);
}

TEST(ListChunkAllocator, FreeAllStartsOverAndKeepsTheChunkSize)
{
    tListChunkAllocator<PlainNode> allocator(8);
    for (int i = 0; i < 20; ++i)
        allocator.Alloc();
    EXPECT_EQ(allocator.GetChunkCount(), 3u);
    allocator.FreeAll();
    EXPECT_EQ(allocator.GetChunkCount(), 0u);
    EXPECT_EQ(allocator.GetFreeHead(), nullptr);
    EXPECT_EQ(allocator.GetNodesPerChunk(), 8u);
    ASSERT_NE(allocator.Alloc(), nullptr);
    EXPECT_EQ(allocator.GetChunkCount(), 1u);
}

TEST(ListChunkAllocator, RelinkAllFreesEveryNodeInChunkOrderWithoutNewMemory)
{
    tListChunkAllocator<PlainNode> allocator(16);
    for (int i = 0; i < 40; ++i)
        allocator.Alloc();
    ASSERT_EQ(allocator.GetChunkCount(), 3u);
    allocator.RelinkAll();

    std::vector<const PlainNode*> expected;
    for (const auto* h = allocator.GetFirstChunk(); h != nullptr; h = h->next)
        for (int k = 0; k < 16; ++k)
            expected.push_back(h->nodes + k);
    // The 48th node is the last free one: a fourth chunk joins before it goes out.
    for (std::size_t i = 0; i + 1 < expected.size(); ++i)
        ASSERT_EQ(allocator.Alloc(), expected[i]) << i;
    EXPECT_EQ(allocator.GetChunkCount(), 3u);
    EXPECT_EQ(allocator.Alloc(), expected.back());
    EXPECT_EQ(allocator.GetChunkCount(), 4u);
}

TEST(ListChunkAllocator, BuildChunkNodesThreadsNodesAndRejectsEmptyChunks)
{
    using Allocator = tListChunkAllocator<PlainNode>;
    Allocator::Header header;
    EXPECT_FALSE(Allocator::BuildChunkNodes(&header, 0));
    EXPECT_EQ(header.nodes, nullptr);

    ASSERT_TRUE(Allocator::BuildChunkNodes(&header, 5));
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(header.nodes[k].link, header.nodes + k + 1);
    EXPECT_EQ(header.nodes[4].link, nullptr);
    EXPECT_EQ(header.nodes[2].value, 0);
    ::operator delete(static_cast<void*>(header.nodes));

    tListChunkAllocator<PlainNode> empty(0);
    EXPECT_EQ(empty.Alloc(), nullptr);
}

TEST(ListChunkAllocator, SingleNodeChunksStillHandOutDistinctNodes)
{
    tListChunkAllocator<PlainNode> allocator(1);
    std::set<PlainNode*> seen;
    for (int i = 0; i < 10; ++i)
    {
        PlainNode* node = allocator.Alloc();
        ASSERT_NE(node, nullptr);
        EXPECT_TRUE(seen.insert(node).second);
    }
}

TEST(ListChunkAllocator, NodesWithLifetimesAreBuiltAndDestroyedPerChunk)
{
    NodeWithLifetime::live = 0;
    {
        tListChunkAllocator<NodeWithLifetime> allocator(8);
        NodeWithLifetime* node = allocator.Alloc();
        EXPECT_EQ(node->payload, 5);
        EXPECT_EQ(NodeWithLifetime::live, 8);
        for (int i = 0; i < 8; ++i)
            allocator.Alloc();
        EXPECT_EQ(NodeWithLifetime::live, 16);
        allocator.FreeAll();
        EXPECT_EQ(NodeWithLifetime::live, 0);
        allocator.Alloc();
    }
    EXPECT_EQ(NodeWithLifetime::live, 0);
}

} // namespace
