#include "core/bucket_kd_tree.h"
#include "support/kd_point_sets.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <cstdint>
#include <random>
#include <thread>
#include <limits>
#include <vector>

namespace
{

// Many threads search one built tree at once; every answer must be the one a
// full scan gives. Queries only read the tree, so ThreadSanitizer must see no
// race either.
TEST(BucketKDTreeConcurrency, ParallelQueriesGiveTheFullScanAnswers)
{
    auto points = MakePointSet(PointSetKind::Clustered, 4000, 7);
    auto extra = MakePointSet(PointSetKind::Uniform, 4000, 8);
    points.insert(points.end(), extra.begin(), extra.end());
    std::vector<const TestPoint*> stored;
    TestKDTree tree;
    for (std::size_t i = 0; i < points.size(); ++i)
    {
        stored.push_back(&points[i]);
        // Half bulk-loaded, half inserted into the built tree.
        if (i == points.size() / 2)
            tree.Build();
        if (i < points.size() / 2)
            ASSERT_TRUE(tree.Add(&points[i]));
        else
            ASSERT_NE(tree.Insert(&points[i]), nullptr);
    }
    tree.NumberNodes();

    constexpr int kThreads = 8;
    constexpr int kQueriesPerThread = 400;
    struct Query
    {
        float q[3];
        double radius;
        double expected; // squared distance, -1 for none
    };
    std::vector<std::vector<Query>> work(kThreads);
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> unit(-60.0f, 60.0f);
    const double radii[] = {0.02, 0.5, 5.0, 1e30};
    for (int t = 0; t < kThreads; ++t)
    {
        for (int k = 0; k < kQueriesPerThread; ++k)
        {
            Query query{{unit(rng), unit(rng), unit(rng)}, radii[k % 4], 0.0};
            if (k % 2 == 0)
            {
                const float* p = stored[rng() % stored.size()]->xyz;
                for (int a = 0; a < 3; ++a)
                    query.q[a] = p[a] + 0.001f * static_cast<float>(a + 1);
            }
            query.expected = BruteForceNearest(stored, query.q, query.radius);
            work[t].push_back(query);
        }
    }

    std::atomic<int> mismatches{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
    {
        threads.emplace_back([&, t] {
            while (!go.load())
                std::this_thread::yield();
            for (int round = 0; round < 3; ++round)
            {
                for (const Query& query : work[t])
                {
                    double radius = query.radius;
                    const TestPoint* found = tree.FindNearest(query.q, radius);
                    const bool ok = query.expected < 0
                                        ? found == nullptr && radius == query.radius
                                        : found != nullptr && TreeSquaredDistance(query.q, found->xyz) == query.expected;
                    if (!ok)
                        mismatches.fetch_add(1);
                }
            }
        });
    }
    go.store(true);
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace

// A big tree split side by side on a pool (its upper levels partitioned on
// the pool too) is the tree the single pass builds: the same nodes in the
// same order and the same buckets, for points far out, clustered, duplicated
// (dealt alternately) and on split values.
TEST(BucketKDTreeConcurrency, ABuildOnAPoolIsTheTreeOfTheSinglePassNodeForNode)
{
    std::vector<TestPoint> points;
    const PointSetKind kinds[] = {PointSetKind::Uniform, PointSetKind::Clustered, PointSetKind::Duplicated,
                                  PointSetKind::Lattice, PointSetKind::AllEqual};
    std::vector<std::vector<TestPoint>> parts;
    std::uint32_t seed = 3;
    for (const PointSetKind kind : kinds)
        parts.push_back(MakePointSet(kind, 60000, seed++));
    // Added in turn, so that every block of a partition holds each kind.
    for (std::size_t i = 0; i < 60000; ++i)
        for (const std::vector<TestPoint>& part : parts)
            points.push_back({{part[i].xyz[0] + 2500.0f, part[i].xyz[1], part[i].xyz[2] - 900.0f}});
    TestKDTree alone, pooled;
    for (const TestPoint& p : points)
    {
        ASSERT_TRUE(alone.Add(&p));
        ASSERT_TRUE(pooled.Add(&p));
    }
    // And a tree loaded all at once on the pool, a point that cannot be
    // stored among the others, as Add loads them one at a time.
    TestKDTree loaded;
    std::vector<const TestPoint*> all;
    const TestPoint notFinite{{1.0f, std::numeric_limits<float>::quiet_NaN(), 2.0f}};
    for (const TestPoint& p : points)
        all.push_back(&p);
    all.insert(all.begin() + 70001, &notFinite);
    cThreadPool pool(4);
    ASSERT_TRUE(loaded.AddAll(all.data(), static_cast<std::uint32_t>(all.size()), &pool));
    EXPECT_FALSE(loaded.AddAll(all.data(), 1, &pool));
    const std::uint32_t depth = alone.Build();
    EXPECT_EQ(pooled.Build(&pool), depth);
    EXPECT_EQ(loaded.Build(&pool), depth);
    // And one loaded and built in one go on the pool.
    TestKDTree built;
    EXPECT_EQ(built.BuildFrom(static_cast<std::uint32_t>(all.size()), [&](std::uint32_t i) { return all[i]; }, &pool),
              depth);
    for (TestKDTree* tree : {&pooled, &loaded, &built})
    {
        EXPECT_EQ(tree->GetDepth(), alone.GetDepth());
        // Packed as offsets on the pool, as alone.
        EXPECT_TRUE(tree->GetElements().KeepsOffsets());
        EXPECT_EQ(tree->GetElements().GetBase(), alone.GetElements().GetBase());
        ASSERT_EQ(tree->GetNodeCount(), alone.GetNodeCount());
        ASSERT_GT(alone.GetNodeCount(), 1000u);
        for (std::uint32_t i = 0; i < alone.GetNodeCount(); ++i)
        {
            const auto& a = *alone.GetNode(i);
            const auto& b = *tree->GetNode(i);
            ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << i;
            for (std::uint32_t k = 0; a.IsLeaf() && k < a.count; ++k)
                ASSERT_EQ(tree->GetElements().Get(b.first + k), alone.GetElements().Get(a.first + k)) << i;
        }
    }
}


// A million points or more: the upper levels are cut a level at a time on
// the pool, the elements moved once into the spill arrays, and the ranges
// below taken back from there by the jobs that split them.
TEST(BucketKDTreeConcurrency, AMillionPointBuildOnAPoolIsTheSinglePassTree)
{
    std::vector<TestPoint> points = MakePointSet(PointSetKind::Uniform, 1200000, 11);
    for (std::size_t i = 0; i < points.size(); i += 7)
        points[i] = points[i / 2];
    TestKDTree alone, pooled;
    for (const TestPoint& p : points)
    {
        ASSERT_TRUE(alone.Add(&p));
        ASSERT_TRUE(pooled.Add(&p));
    }
    cThreadPool pool(4);
    EXPECT_EQ(pooled.Build(&pool), alone.Build());
    ExpectSameTree(alone, pooled);
    // Loaded and built in one go, the elements carried as offsets.
    TestKDTree built;
    EXPECT_EQ(built.BuildFrom(static_cast<std::uint32_t>(points.size()), [&](std::uint32_t i) { return &points[i]; }, &pool),
              alone.GetDepth());
    EXPECT_TRUE(built.GetElements().KeepsOffsets());
    ExpectSameTree(alone, built);
}

// A root whose elements all lie at one point is dealt, not cut: the whole
// tree is one range split on a job of its own.
TEST(BucketKDTreeConcurrency, APooledBuildOfPointsAllAtOnePlaceIsTheSinglePassTree)
{
    const std::vector<TestPoint> points(70000, TestPoint{{1500.0f, -2.0f, 0.25f}});
    TestKDTree alone, pooled;
    for (const TestPoint& p : points)
    {
        ASSERT_TRUE(alone.Add(&p));
        ASSERT_TRUE(pooled.Add(&p));
    }
    cThreadPool pool(4);
    EXPECT_EQ(pooled.Build(&pool), alone.Build());
    ExpectSameTree(alone, pooled);
}
