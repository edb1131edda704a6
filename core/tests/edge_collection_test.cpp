#include "core/edge_collection.h"
#include "core/point_cloud.h"
#include "core/polyline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

namespace
{

std::vector<std::uint32_t> Walk(cEdgeCollection& edges)
{
    std::vector<std::uint32_t> chain;
    WalkVertexChain(edges.GetTree(), [&](std::uint32_t v) { chain.push_back(v); });
    return chain;
}

TEST(VertexChainWalk, ClosedChainsRepeatTheirStart)
{
    cEdgeCollection edges;
    edges.AddEdge(5, 7);
    edges.AddEdge(7, 9);
    edges.AddEdge(9, 5);
    const auto chain = Walk(edges);
    ASSERT_EQ(chain.size(), 4u);
    EXPECT_EQ(chain.front(), chain.back());
    // Whatever the start, the chain follows the links.
    const std::map<std::uint32_t, std::uint32_t> next{{5, 7}, {7, 9}, {9, 5}};
    for (std::size_t i = 0; i + 1 < chain.size(); ++i)
        EXPECT_EQ(next.at(chain[i]), chain[i + 1]);
    EXPECT_TRUE(edges.IsEmpty());
    EXPECT_FALSE(WalkVertexChain(edges.GetTree(), [](std::uint32_t) {}));
}

TEST(VertexChainWalk, OpenChainsEndAtTheirLastVertex)
{
    {
        cEdgeCollection edges;
        edges.AddEdge(5, 7);
        edges.AddEdge(7, kNoSuccessorVertex);
        // The root is 5 or 7; from 5 the whole chain comes out.
        auto chain = Walk(edges);
        if (chain.front() == 5)
            EXPECT_EQ(chain, (std::vector<std::uint32_t>{5, 7}));
        else
            EXPECT_EQ(chain, (std::vector<std::uint32_t>{7}));
    }
    {
        cEdgeCollection edges;
        edges.AddEdge(5, kNoSuccessorVertex);
        EXPECT_EQ(Walk(edges), (std::vector<std::uint32_t>{5}));
    }
    {
        // An edge into a vertex without edges closes the chain on that vertex.
        cEdgeCollection edges;
        edges.AddEdge(1, 2);
        EXPECT_EQ(Walk(edges), (std::vector<std::uint32_t>{1, 2}));
    }
}

TEST(VertexChainWalk, RepeatedWalksUseEveryEdgeOnce)
{
    // Random disjoint cycles and paths; every directed edge must show up in
    // exactly one chain, and every chain must follow the links.
    std::mt19937 rng(31);
    for (int round = 0; round < 20; ++round)
    {
        cEdgeCollection edges;
        std::map<std::uint32_t, std::uint32_t> links;
        std::vector<std::uint32_t> vertices(300);
        for (std::uint32_t i = 0; i < vertices.size(); ++i)
            vertices[i] = i * 3 + 1;
        std::shuffle(vertices.begin(), vertices.end(), rng);
        std::size_t i = 0;
        while (i < vertices.size())
        {
            const std::size_t length = std::min<std::size_t>(2 + rng() % 20, vertices.size() - i);
            const bool closed = rng() % 2 == 0;
            for (std::size_t k = 0; k < length; ++k)
            {
                const std::uint32_t from = vertices[i + k];
                std::uint32_t to = k + 1 < length ? vertices[i + k + 1] : (closed ? vertices[i] : kNoSuccessorVertex);
                links[from] = to;
                edges.AddEdge(from, to);
            }
            i += length;
        }
        std::map<std::uint32_t, int> used; // start vertex -> times its edge was walked
        while (!edges.IsEmpty())
        {
            const std::uint32_t before = edges.GetTree().GetCount();
            const auto chain = Walk(edges);
            ASSERT_FALSE(chain.empty());
            const std::uint32_t erased = before - edges.GetTree().GetCount();
            for (std::size_t k = 0; k + 1 < chain.size(); ++k)
            {
                ASSERT_EQ(links.at(chain[k]), chain[k + 1]);
                ++used[chain[k]];
            }
            // The chain's last vertex used its edge only when that edge ended the chain.
            ASSERT_GE(erased + 1, chain.size());
            ASSERT_LE(erased, chain.size());
            if (erased == chain.size())
            {
                ASSERT_EQ(links.at(chain.back()), kNoSuccessorVertex);
                ++used[chain.back()];
            }
        }
        ASSERT_EQ(used.size(), links.size());
        for (const auto& [from, times] : used)
            EXPECT_EQ(times, 1) << from;
    }
}

TEST(VertexChainWalk, PolylineReceivesTheCloudsVerticesWithTheirFlagsAndIndices)
{
    cPointCloud cloud;
    for (std::uint32_t i = 0; i < 10; ++i)
    {
        const float p[3] = {static_cast<float>(i), 2.0f * static_cast<float>(i), 0.0f};
        ASSERT_EQ(cloud.AddVertex(p), i);
        cloud.GetVertex(i)->flags = 0x100u + i;
    }
    cEdgeCollection edges;
    edges.AddEdge(5, 7);
    edges.AddEdge(7, kNoSuccessorVertex);
    tPolyline<cVertex> polyline;
    ASSERT_TRUE(WalkVertexChain(edges.GetTree(), cloud, polyline));
    ASSERT_EQ(polyline.GetVertexCount(), 2u);
    for (std::uint32_t k = 0; k < 2; ++k)
    {
        const cVertex& v = *polyline.GetVertex(k);
        const std::uint32_t expected = k == 0 ? 5u : 7u;
        EXPECT_EQ(v.index, expected);
        EXPECT_EQ(v.flags, 0x100u + expected);
        EXPECT_EQ(v.y, 2.0f * static_cast<float>(expected));
    }
    // Nothing left to walk: the polyline stays empty and the walk says so.
    tPolyline<cVertex> empty;
    EXPECT_FALSE(WalkVertexChain(edges.GetTree(), cloud, empty));
}

TEST(EdgeCollection, KeepsBothEdgesLeavingOneVertex)
{
    cEdgeCollection edges;
    EXPECT_NE(edges.AddEdge(4, 8), nullptr);
    EXPECT_NE(edges.AddEdge(4, 6), nullptr);
    EXPECT_EQ(edges.AddEdge(4, 8, 99), edges.AddEdge(4, 8)) << "an equal edge keeps the existing entry";
    EXPECT_EQ(edges.GetTree().GetCount(), 2u);
    EXPECT_EQ(FindEdgeFrom(edges.GetTree(), 4)->value.i2, 6u);
    EXPECT_EQ(FindEdgeFrom(edges.GetTree(), 5), nullptr);
    EXPECT_EQ(FindEdgeFrom(edges.GetTree(), 4)->value.data, 0u);
}

} // namespace
