#include "render/area_collector.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace
{

std::vector<cAreaCollector::stRect> Live(const cAreaCollector& collector)
{
    std::vector<cAreaCollector::stRect> live;
    for (auto* node = collector.GetHead(); node; node = node->next)
        if (node->value.area != 0)
            live.push_back(node->value);
    return live;
}

std::size_t NodeCount(const cAreaCollector& collector)
{
    std::size_t count = 0;
    for (auto* node = collector.GetHead(); node; node = node->next)
        ++count;
    return count;
}

TEST(AreaCollector, OverlappingRectanglesMergeIntoTheirUnion)
{
    cAreaCollector collector;
    collector.AddRect(RECT{0, 0, 10, 10});
    collector.AddRect(RECT{5, 5, 20, 12});
    const auto live = Live(collector);
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0].x0, 0);
    EXPECT_EQ(live[0].y0, 0);
    EXPECT_EQ(live[0].x1, 20);
    EXPECT_EQ(live[0].y1, 12);
    EXPECT_EQ(live[0].area, 240u);
    EXPECT_EQ(collector.GetLiveCount(), 1u);
}

TEST(AreaCollector, FarApartAndEdgeTouchingRectanglesStaySeparate)
{
    cAreaCollector collector;
    collector.AddRect(RECT{0, 0, 10, 10});
    collector.AddRect(RECT{100, 100, 110, 110});
    collector.AddRect(RECT{10, 0, 20, 10}); // shares only an edge with the first
    EXPECT_EQ(collector.GetLiveCount(), 3u);
    EXPECT_EQ(Live(collector).size(), 3u);
    EXPECT_EQ(collector.GetHead()->value.x0, 10) << "new rectangles go to the head";
}

TEST(AreaCollector, AThirdRectangleJoinsTwoNodesAndTheCountFollowsTheLiveNodes)
{
    cAreaCollector collector;
    collector.AddRect(RECT{0, 0, 10, 10});     // A
    collector.AddRect(RECT{30, 0, 40, 10});    // B, far from A
    collector.AddRect(RECT{5, 2, 35, 8});      // C overlaps both
    EXPECT_EQ(NodeCount(collector), 2u) << "no node is added";
    const auto live = Live(collector);
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0].x0, 0);
    EXPECT_EQ(live[0].x1, 40);
    // The count stays equal to the rectangles that carry area, so a
    // composite bounded by it loses none.
    EXPECT_EQ(collector.GetLiveCount(), 1u);
    // C merged first into B (the head), B into A: A holds the union.
    EXPECT_EQ(collector.GetHead()->value.area, 0u);
}

TEST(AreaCollector, InvertedRectanglesAreNormalisedAndEmptyOnesIgnored)
{
    cAreaCollector collector;
    collector.AddRect(RECT{10, 10, 0, 0});
    collector.AddRect(RECT{5, 5, 5, 50});
    const auto live = Live(collector);
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0].x0, 0);
    EXPECT_EQ(live[0].y1, 10);
    EXPECT_EQ(live[0].area, 100u);
}

TEST(AreaCollector, LiveCountAlwaysMatchesLiveNodesAndNoLiveRectanglesOverlap)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> position(0, 400), size(1, 60);
    cAreaCollector collector;
    for (int round = 0; round < 3; ++round)
    {
        for (int i = 0; i < 300; ++i)
        {
            const int x = position(random), y = position(random);
            collector.AddRect(RECT{x, y, x + size(random), y + size(random)});
            ASSERT_EQ(collector.GetLiveCount(), Live(collector).size());
        }
        const auto live = Live(collector);
        for (std::size_t a = 0; a < live.size(); ++a)
            for (std::size_t b = a + 1; b < live.size(); ++b)
            {
                const bool overlap = live[a].x0 < live[b].x1 && live[b].x0 < live[a].x1 &&
                                     live[a].y0 < live[b].y1 && live[b].y0 < live[a].y1;
                EXPECT_FALSE(overlap);
            }
        collector.Clear();
        EXPECT_EQ(collector.GetLiveCount(), 0u);
        EXPECT_EQ(collector.GetHead(), nullptr);
    }
}

} // namespace
