#include "core/bucket_kd_tree.h"
#include "core/host_point_search_tree.h"
#include "support/kd_point_sets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace
{

std::vector<const TestPoint*> Pointers(const std::vector<TestPoint>& points)
{
    std::vector<const TestPoint*> out;
    for (const TestPoint& p : points)
        out.push_back(&p);
    return out;
}

// A leaf's elements in bucket order.
std::vector<const TestPoint*> Bucket(const TestKDTree& tree, const TestKDTree::Node* node)
{
    std::vector<const TestPoint*> out;
    tree.ForEachInBucket(node, [&](const TestPoint* p) { out.push_back(p); });
    return out;
}

// Every node's parent, found from the root (the root's is itself); fails
// the test when a node is reached twice or not at all.
std::vector<std::uint32_t> Parents(const TestKDTree& tree)
{
    const std::uint32_t n = tree.GetNodeCount();
    std::vector<std::uint32_t> parent(n, kBucketKDTreeNoIndex);
    if (n == 0)
        return parent;
    parent[0] = 0;
    std::vector<std::uint32_t> stack = {0};
    while (!stack.empty())
    {
        const std::uint32_t at = stack.back();
        stack.pop_back();
        const TestKDTree::Node* node = tree.GetNode(at);
        if (node->IsLeaf())
            continue;
        EXPECT_EQ(node->Upper(), node->Lower() + 1);
        for (std::uint32_t child : {node->Lower(), node->Upper()})
        {
            EXPECT_GT(child, at) << "children follow their parent";
            if (child >= n || parent[child] != kBucketKDTreeNoIndex)
            {
                ADD_FAILURE() << "node " << child << " out of range or reached twice";
                continue;
            }
            parent[child] = at;
            stack.push_back(child);
        }
    }
    for (std::uint32_t i = 0; i < n; ++i)
        EXPECT_NE(parent[i], kBucketKDTreeNoIndex) << "node " << i << " unreachable";
    return parent;
}

// Every element sits in exactly one leaf, inside the tree's box and within
// the bounds of every node above it, on the right side of every split; the
// bounds are tight (the lower side's largest coordinate on the axis, the
// upper side's smallest), and so is the tree's box. The in-order numbers
// are 0..n-1, lower subtree below the node below upper subtree.
void ExpectConsistent(const TestKDTree& tree, std::size_t expectedElements)
{
    const std::vector<std::uint32_t> parent = Parents(tree);
    const std::uint32_t n = tree.GetNodeCount();
    std::size_t elements = 0;
    std::set<std::uint32_t> indices;
    // Per node: the extreme coordinates on its parent's axis of what lies
    // below it, and the range of in-order numbers below it.
    std::vector<float> lowest(n, HUGE_VALF), highest(n, -HUGE_VALF);
    std::vector<std::uint32_t> minIndex(n, kBucketKDTreeNoIndex), maxIndex(n, 0);
    float box[6] = {HUGE_VALF, HUGE_VALF, HUGE_VALF, -HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
    for (std::uint32_t i = 0; i < n; ++i)
    {
        const TestKDTree::Node* node = tree.GetNode(i);
        indices.insert(node->index);
        for (std::uint32_t up = i;; up = parent[up])
        {
            minIndex[up] = std::min(minIndex[up], node->index);
            maxIndex[up] = std::max(maxIndex[up], node->index);
            if (up == 0)
                break;
        }
        if (!node->IsLeaf())
        {
            EXPECT_EQ(node->GetBucketCount(), 0u);
            EXPECT_GE(node->Axis(), 0);
            EXPECT_LE(node->Axis(), 2);
            continue;
        }
        EXPECT_EQ(node->Axis(), -1);
        const auto bucket = Bucket(tree, node);
        EXPECT_EQ(bucket.size(), node->GetBucketCount());
        // A leaf's bounds on its bound axis are its elements' extremes.
        if (node->BoundAxis() >= 0)
        {
            float low = HUGE_VALF, high = -HUGE_VALF;
            for (const TestPoint* element : bucket)
            {
                low = std::min(low, element->xyz[node->BoundAxis()]);
                high = std::max(high, element->xyz[node->BoundAxis()]);
            }
            EXPECT_EQ(node->low, low) << "leaf " << i;
            EXPECT_EQ(node->high, high) << "leaf " << i;
        }
        for (const TestPoint* element : bucket)
        {
            ++elements;
            const float* p = element->xyz;
            for (int a = 0; a < 3; ++a)
            {
                box[a] = std::min(box[a], p[a]);
                box[a + 3] = std::max(box[a + 3], p[a]);
            }
            for (std::uint32_t child = i; child != 0; child = parent[child])
            {
                const TestKDTree::Node* up = tree.GetNode(parent[child]);
                const int axis = up->Axis();
                lowest[child] = std::min(lowest[child], p[axis]);
                highest[child] = std::max(highest[child], p[axis]);
                const bool upper = child == up->Upper();
                EXPECT_TRUE(upper ? p[axis] >= up->upperMin : p[axis] <= up->lowerMax);
                // Elements within FLT_EPSILON of a split may have been dealt
                // to either side; all others lie on their side of it.
                if (std::fabs(p[axis] - up->split) >= FLT_EPSILON)
                {
                    EXPECT_EQ(upper, static_cast<double>(p[axis]) > up->split);
                }
            }
        }
    }
    for (std::uint32_t i = 0; i < n; ++i)
    {
        const TestKDTree::Node* node = tree.GetNode(i);
        if (node->IsLeaf())
            continue;
        EXPECT_EQ(node->lowerMax, highest[node->Lower()]) << "node " << i;
        EXPECT_EQ(node->upperMin, lowest[node->Upper()]) << "node " << i;
        EXPECT_EQ(maxIndex[node->Lower()] + 1, node->index);
        EXPECT_EQ(minIndex[node->Upper()], node->index + 1);
    }
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(tree.GetBox()[k], box[k]);
    EXPECT_EQ(elements, expectedElements);
    EXPECT_EQ(indices.size(), tree.GetNodeCount());
    if (!indices.empty())
    {
        EXPECT_EQ(*indices.begin(), 0u);
        EXPECT_EQ(*indices.rbegin(), tree.GetNodeCount() - 1);
    }
}

// After a build every leaf keeps its bounds on the axis where its elements
// lie farthest inside its cell (the tree's box narrowed by the bounds of the
// nodes above), summed over both ends; none where they fill the cell.
// Returns how many leaves keep bounds.
int ExpectLeafBoundsOnTheirLoosestAxis(const TestKDTree& tree)
{
    const std::vector<std::uint32_t> parent = Parents(tree);
    std::vector<std::array<float, 6>> cells(tree.GetNodeCount());
    std::copy(tree.GetBox(), tree.GetBox() + 6, cells[0].begin());
    int bounded = 0;
    for (std::uint32_t i = 0; i < tree.GetNodeCount(); ++i)
    {
        const TestKDTree::Node* node = tree.GetNode(i);
        if (i > 0)
        {
            const TestKDTree::Node* up = tree.GetNode(parent[i]);
            cells[i] = cells[parent[i]];
            if (i == up->Lower())
                cells[i][up->Axis() + 3] = up->lowerMax;
            else
                cells[i][up->Axis()] = up->upperMin;
        }
        if (!node->IsLeaf() || i == 0)
            continue;
        float box[6] = {HUGE_VALF, HUGE_VALF, HUGE_VALF, -HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
        for (const TestPoint* element : Bucket(tree, node))
        {
            for (int a = 0; a < 3; ++a)
            {
                box[a] = std::min(box[a], element->xyz[a]);
                box[a + 3] = std::max(box[a + 3], element->xyz[a]);
            }
        }
        int best = -1;
        double widest = 0.0;
        for (int a = 0; a < 3; ++a)
        {
            const double inside = (static_cast<double>(box[a]) - cells[i][a]) +
                                  (cells[i][a + 3] - static_cast<double>(box[a + 3]));
            if (inside > widest)
            {
                widest = inside;
                best = a;
            }
        }
        EXPECT_EQ(node->BoundAxis(), best) << "leaf " << i;
        bounded += best >= 0;
    }
    return bounded;
}

// After a build every inner node splits the box of the elements below it at
// the midpoint of its longest extent (ties to the later axis), unless that
// extent is too thin to cut.
void ExpectSplitsAtTheMidpointOfTheLongestExtent(const TestKDTree& tree)
{
    const std::vector<std::uint32_t> parent = Parents(tree);
    const std::uint32_t n = tree.GetNodeCount();
    std::vector<std::array<float, 6>> boxes(n, {HUGE_VALF, HUGE_VALF, HUGE_VALF, -HUGE_VALF, -HUGE_VALF, -HUGE_VALF});
    for (std::uint32_t i = 0; i < n; ++i)
    {
        for (const TestPoint* element : Bucket(tree, tree.GetNode(i)))
        {
            for (std::uint32_t up = i;; up = parent[up])
            {
                for (int a = 0; a < 3; ++a)
                {
                    boxes[up][a] = std::min(boxes[up][a], element->xyz[a]);
                    boxes[up][a + 3] = std::max(boxes[up][a + 3], element->xyz[a]);
                }
                if (up == 0)
                    break;
            }
        }
    }
    for (std::uint32_t i = 0; i < n; ++i)
    {
        const TestKDTree::Node* node = tree.GetNode(i);
        if (node->IsLeaf())
            continue;
        const auto& box = boxes[i];
        double extent[3];
        for (int a = 0; a < 3; ++a)
            extent[a] = static_cast<double>(box[a + 3]) - static_cast<double>(box[a]);
        int axis = 2;
        if (extent[0] > extent[1] && extent[0] > extent[2])
            axis = 0;
        else if (extent[1] >= extent[0] && extent[1] > extent[2])
            axis = 1;
        EXPECT_EQ(node->Axis(), axis) << "node " << i;
        EXPECT_EQ(node->split, (static_cast<double>(box[axis + 3]) + static_cast<double>(box[axis])) * 0.5);
    }
}

template <class S>
void ExpectMatchesBruteForce(const TestKDTree& tree, const std::vector<const TestPoint*>& points, std::uint32_t seed,
                             float spread)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> unit(-spread, spread);
    const double radii[] = {1e-3, 0.05, 1.0, 25.0, std::numeric_limits<double>::infinity()};
    for (int k = 0; k < 300; ++k)
    {
        // Queries both on stored points and anywhere around them.
        S q[3];
        if (k % 3 == 0)
        {
            const float* p = points[rng() % points.size()]->xyz;
            for (int a = 0; a < 3; ++a)
                q[a] = static_cast<S>(p[a]);
        }
        else
        {
            for (int a = 0; a < 3; ++a)
                q[a] = static_cast<S>(unit(rng));
        }
        const double radius0 = radii[k % 5];
        double radius = radius0;
        const TestPoint* found = tree.FindNearest(q, radius);
        const double expected = BruteForceNearest(points, q, radius0);
        if (expected < 0)
        {
            EXPECT_EQ(found, nullptr);
            EXPECT_EQ(radius, radius0);
        }
        else
        {
            ASSERT_NE(found, nullptr) << "query " << k;
            EXPECT_EQ(TreeSquaredDistance(q, found->xyz), expected);
            EXPECT_EQ(radius, std::sqrt(expected));
        }
    }
}

TEST(BucketKDTree, TwentyFiveIdenticalPointsAreDealtAlternately)
{
    std::vector<TestPoint> points(25, TestPoint{{1.0f, 2.0f, 3.0f}});
    TestKDTree tree;
    for (const TestPoint& p : points)
        ASSERT_TRUE(tree.Add(&p));
    EXPECT_EQ(tree.Build(), 2u);
    const TestKDTree::Node* root = tree.GetRoot();
    ASSERT_FALSE(root->IsLeaf());
    EXPECT_EQ(tree.GetNode(root->Lower())->GetBucketCount(), 13u);
    EXPECT_EQ(tree.GetNode(root->Upper())->GetBucketCount(), 12u);
    // First element to the lower child, second to the upper one.
    EXPECT_EQ(Bucket(tree, tree.GetNode(root->Lower())).front(), &points[0]);
    EXPECT_EQ(Bucket(tree, tree.GetNode(root->Upper())).front(), &points[1]);
    ExpectConsistent(tree, 25);
}

TEST(BucketKDTree, BuildSplitsOnlyAboveTheBucketMaximum)
{
    auto points = MakePointSet(PointSetKind::Uniform, 25, 1);
    TestKDTree tree;
    for (int i = 0; i < 24; ++i)
        tree.Add(&points[i]);
    EXPECT_EQ(tree.Build(), 1u);
    EXPECT_TRUE(tree.GetRoot()->IsLeaf());
    EXPECT_EQ(tree.GetNodeCount(), 1u);

    TestKDTree full;
    for (const TestPoint& p : points)
        full.Add(&p);
    EXPECT_GE(full.Build(), 2u);
    EXPECT_FALSE(full.GetRoot()->IsLeaf());
    // A built tree is not built again.
    EXPECT_EQ(full.Build(), 0u);
    TestKDTree empty;
    EXPECT_EQ(empty.Build(), 0u);
}

TEST(BucketKDTree, SplitAxisTiesGoToTheLaterAxis)
{
    auto splitAxis = [](float ex, float ey, float ez) {
        std::vector<TestPoint> points(25, TestPoint{{0, 0, 0}});
        points[1] = {{ex, ey, ez}};
        TestKDTree tree;
        for (const TestPoint& p : points)
            tree.Add(&p);
        tree.Build();
        return tree.GetRoot()->Axis();
    };
    EXPECT_EQ(splitAxis(2, 2, 1), 1);
    EXPECT_EQ(splitAxis(2, 2, 2), 2);
    EXPECT_EQ(splitAxis(3, 2, 1), 0);
    EXPECT_EQ(splitAxis(1, 3, 2), 1);
    EXPECT_EQ(splitAxis(2, 1, 2), 2);
}

TEST(BucketKDTree, PointOnTheSplitValueGoesLower)
{
    std::vector<TestPoint> points;
    for (int i = 0; i < 24; ++i)
        points.push_back({{i % 2 == 0 ? 0.0f : 2.0f, 0.0f, 0.0f}});
    points.push_back({{1.0f, 0.0f, 0.0f}});
    TestKDTree tree;
    for (const TestPoint& p : points)
        tree.Add(&p);
    tree.Build();
    const TestKDTree::Node* root = tree.GetRoot();
    ASSERT_EQ(root->Axis(), 0);
    EXPECT_EQ(root->split, 1.0);
    EXPECT_EQ(tree.GetNode(root->Lower())->GetBucketCount(), 13u);
    EXPECT_EQ(tree.GetNode(root->Upper())->GetBucketCount(), 12u);
    EXPECT_EQ(root->lowerMax, 1.0f);
    EXPECT_EQ(root->upperMin, 2.0f);
}

TEST(BucketKDTree, RadiusBoundsTheSearch)
{
    auto points = MakePointSet(PointSetKind::Uniform, 500, 2);
    TestKDTree tree;
    for (const TestPoint& p : points)
        tree.Add(&p);
    tree.Build();
    const double q[3] = {100.0, 100.0, 100.0};
    double radius = 1.0;
    EXPECT_EQ(tree.FindNearest(q, radius), nullptr);
    EXPECT_EQ(radius, 1.0);

    radius = 1e6;
    const TestPoint* found = tree.FindNearest(q, radius);
    ASSERT_NE(found, nullptr);
    const double expected = BruteForceNearest(Pointers(points), q, 1e6);
    EXPECT_EQ(radius, std::sqrt(expected));

    // A radius that is not positive finds nothing, even on a stored point.
    const double onPoint[3] = {points[0].xyz[0], points[0].xyz[1], points[0].xyz[2]};
    for (double bad : {0.0, -5.0, std::nan("")})
    {
        radius = bad;
        EXPECT_EQ(tree.FindNearest(onPoint, radius), nullptr);
    }
}

TEST(BucketKDTree, NonFiniteElementsAreRefusedAndNothingIsDropped)
{
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<TestPoint> bad = {{{std::nanf(""), 0, 0}}, {{0, inf, 0}}, {{0, 0, -inf}}};
    auto good = MakePointSet(PointSetKind::Uniform, 60, 3);
    TestKDTree tree;
    for (const TestPoint& p : bad)
        EXPECT_FALSE(tree.Add(&p));
    EXPECT_EQ(tree.Add(nullptr), false);
    for (const TestPoint& p : good)
        ASSERT_TRUE(tree.Add(&p));
    tree.Build();
    for (const TestPoint& p : bad)
        EXPECT_EQ(tree.Insert(&p), nullptr);
    ExpectConsistent(tree, good.size());
    ExpectMatchesBruteForce<double>(tree, Pointers(good), 4, 12.0f);
}

struct PointSetCase
{
    PointSetKind kind;
    std::size_t count;
};

std::string PointSetName(const ::testing::TestParamInfo<PointSetCase>& info)
{
    static const char* const kNames[] = {"Uniform", "Clustered", "Duplicated", "OnALine", "AllEqual", "Lattice"};
    return kNames[static_cast<int>(info.param.kind)];
}

class BucketKDTreeAgainstBruteForce : public ::testing::TestWithParam<PointSetCase>
{
};

TEST_P(BucketKDTreeAgainstBruteForce, BulkBuildThenInsertsAnswerLikeAFullScan)
{
    const PointSetCase c = GetParam();
    auto points = MakePointSet(c.kind, c.count, 11);
    auto later = MakePointSet(c.kind, c.count / 2, 12);
    // Late points also land outside the built boxes, where stale inner
    // boxes would hide them.
    for (std::size_t i = 0; i < later.size(); i += 3)
        later[i].xyz[i % 3] += 40.0f;

    TestKDTree tree;
    std::vector<const TestPoint*> stored;
    for (const TestPoint& p : points)
    {
        ASSERT_TRUE(tree.Add(&p));
        stored.push_back(&p);
    }
    tree.Build();
    ExpectConsistent(tree, stored.size());
    const int bounded = ExpectLeafBoundsOnTheirLoosestAxis(tree);
    ExpectSplitsAtTheMidpointOfTheLongestExtent(tree);
    // Scattered points leave room inside most cells (a lattice fills them).
    if (c.kind == PointSetKind::Uniform || c.kind == PointSetKind::Clustered)
    {
        EXPECT_GT(bounded, 0);
    }
    ExpectMatchesBruteForce<double>(tree, stored, 21, 60.0f);
    ExpectMatchesBruteForce<float>(tree, stored, 22, 60.0f);

    for (const TestPoint& p : later)
    {
        ASSERT_NE(tree.Insert(&p), nullptr);
        stored.push_back(&p);
    }
    EXPECT_EQ(tree.GetRoot()->index, kBucketKDTreeNoIndex);
    tree.NumberNodes();
    ExpectConsistent(tree, stored.size());
    ExpectMatchesBruteForce<double>(tree, stored, 23, 60.0f);
    ExpectMatchesBruteForce<float>(tree, stored, 24, 60.0f);
}

TEST_P(BucketKDTreeAgainstBruteForce, InsertOnlyTreeAnswersLikeAFullScan)
{
    const PointSetCase c = GetParam();
    auto points = MakePointSet(c.kind, c.count, 31);
    TestKDTree tree;
    for (const TestPoint& p : points)
        ASSERT_NE(tree.Insert(&p), nullptr);
    tree.NumberNodes();
    ExpectConsistent(tree, points.size());
    ExpectMatchesBruteForce<double>(tree, Pointers(points), 32, 60.0f);
}

INSTANTIATE_TEST_SUITE_P(PointSets, BucketKDTreeAgainstBruteForce,
                         ::testing::Values(PointSetCase{PointSetKind::Uniform, 3000},
                                           PointSetCase{PointSetKind::Clustered, 3000},
                                           PointSetCase{PointSetKind::Duplicated, 2000},
                                           PointSetCase{PointSetKind::OnALine, 2000},
                                           PointSetCase{PointSetKind::AllEqual, 500},
                                           PointSetCase{PointSetKind::Lattice, 1024}),
                         PointSetName);

// The walk over the buckets, which Build falls back on without memory for
// its arrays.
class WalkBuiltTree : public TestKDTree
{
public:
    std::uint32_t BuildWithWalk()
    {
        const std::uint32_t depth = BuildByWalk();
        NumberNodes();
        return depth;
    }
};

TEST_P(BucketKDTreeAgainstBruteForce, ArrayBuildMakesTheTreeOfTheBucketWalk)
{
    const PointSetCase c = GetParam();
    auto points = MakePointSet(c.kind, c.count, 41);
    TestKDTree fast;
    WalkBuiltTree walked;
    for (const TestPoint& p : points)
    {
        fast.Add(&p);
        walked.Add(&p);
    }
    ASSERT_EQ(fast.Build(), walked.BuildWithWalk());
    ASSERT_EQ(fast.GetNodeCount(), walked.GetNodeCount());
    std::vector<std::pair<const TestKDTree::Node*, const TestKDTree::Node*>> stack = {
        {fast.GetRoot(), walked.GetRoot()}};
    while (!stack.empty())
    {
        auto [a, b] = stack.back();
        stack.pop_back();
        ASSERT_EQ(a->IsLeaf(), b->IsLeaf());
        EXPECT_EQ(a->index, b->index);
        if (!a->IsLeaf())
        {
            EXPECT_EQ(a->Axis(), b->Axis());
            EXPECT_EQ(a->split, b->split);
            EXPECT_EQ(a->lowerMax, b->lowerMax);
            EXPECT_EQ(a->upperMin, b->upperMin);
            stack.push_back({fast.GetNode(a->Upper()), walked.GetNode(b->Upper())});
            stack.push_back({fast.GetNode(a->Lower()), walked.GetNode(b->Lower())});
            continue;
        }
        EXPECT_EQ(Bucket(fast, a), Bucket(walked, b));
        EXPECT_EQ(a->BoundAxis(), b->BoundAxis());
        EXPECT_EQ(a->low, b->low);
        EXPECT_EQ(a->high, b->high);
        // Both keep the leaves in the same order in their element arrays.
        EXPECT_EQ(a->first, b->first);
    }
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(fast.GetBox()[k], walked.GetBox()[k]);
}

// Build's array partition and the walk's leaf-by-leaf splits make the same
// buckets, so every query must give the very same element, ties included
// (duplicates, lattice points at equal distances), also once inserts have
// moved some leaves to the end of the element array.
TEST_P(BucketKDTreeAgainstBruteForce, PackedLeavesAnswerExactlyAsTheirLists)
{
    const PointSetCase c = GetParam();
    auto points = MakePointSet(c.kind, c.count, 51);
    auto later = MakePointSet(c.kind, c.count / 4, 52);
    TestKDTree packed;
    WalkBuiltTree walked;
    for (const TestPoint& p : points)
    {
        packed.Add(&p);
        walked.Add(&p);
    }
    packed.Build();
    walked.BuildWithWalk();
    auto expectSameAnswers = [&](std::uint32_t seed) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> unit(-1.5f, 1.5f);
        const double radii[] = {0.01, 0.3, std::numeric_limits<double>::infinity()};
        for (int k = 0; k < 600; ++k)
        {
            float qf[3];
            for (int a = 0; a < 3; ++a)
                qf[a] = k % 2 == 0 ? points[rng() % points.size()].xyz[a] : unit(rng);
            const double qd[3] = {qf[0], qf[1], qf[2]};
            double r1 = radii[k % 3], r2 = r1, r3 = r1, r4 = r1;
            EXPECT_EQ(packed.FindNearest(qf, r1), walked.FindNearest(qf, r2)) << "query " << k;
            EXPECT_EQ(r1, r2);
            EXPECT_EQ(packed.FindNearest(qd, r3), walked.FindNearest(qd, r4)) << "query " << k;
            EXPECT_EQ(r3, r4);
        }
    };
    expectSameAnswers(53);
    for (const TestPoint& p : later)
    {
        ASSERT_NE(packed.Insert(&p), nullptr);
        ASSERT_NE(walked.Insert(&p), nullptr);
    }
    expectSameAnswers(54);
}

// A float query measures in single precision, where a difference can round
// below its exact value: a side ruled out by its exact distance may still
// hold the element single precision finds nearest. Points on a long line,
// one per leaf, far queries: the rounding matters at every step.
TEST(BucketKDTree, FloatQueriesFindTheElementSinglePrecisionMeasuresNearest)
{
    auto points = MakePointSet(PointSetKind::OnALine, 20000, 71);
    const std::vector<const TestPoint*> stored = Pointers(points);
    for (std::uint32_t bucket : {1u, 3u})
    {
        TestKDTree tree(bucket);
        for (const TestPoint& p : points)
            tree.Add(&p);
        tree.Build();
        std::mt19937 rng(72);
        std::uniform_real_distribution<float> unit(-12.0f, 12.0f);
        int wrong = 0;
        for (int k = 0; k < 6000; ++k)
        {
            float q[3];
            for (int a = 0; a < 3; ++a)
                q[a] = k % 3 == 0 ? points[rng() % points.size()].xyz[a] : unit(rng);
            double radius = std::numeric_limits<double>::infinity();
            const TestPoint* found = tree.FindNearest(q, radius);
            const double expected = BruteForceNearest(stored, q, std::numeric_limits<double>::infinity());
            if (found == nullptr || TreeSquaredDistance(q, found->xyz) != expected)
                ++wrong;
        }
        EXPECT_EQ(wrong, 0) << "bucket " << bucket;
    }
}

// A query on a tree deeper than its own stack, without memory for a deeper
// one, reads every leaf: still the nearest distance, ties aside.
class ScanningTree : public TestKDTree
{
public:
    template <class S> const TestPoint* Scan(const S q[3], double& radius) const { return FindNearestByScan(q, radius); }
};

TEST(BucketKDTree, TheScanWithoutAStackFindsTheNearestDistance)
{
    auto points = MakePointSet(PointSetKind::Clustered, 3000, 91);
    auto later = MakePointSet(PointSetKind::Uniform, 500, 92);
    ScanningTree tree;
    std::vector<const TestPoint*> stored;
    for (const TestPoint& p : points)
    {
        tree.Add(&p);
        stored.push_back(&p);
    }
    tree.Build();
    for (const TestPoint& p : later)
    {
        tree.Insert(&p);
        stored.push_back(&p);
    }
    std::mt19937 rng(93);
    std::uniform_real_distribution<double> unit(-60.0, 60.0);
    const double radii[] = {0.01, 1.0, std::numeric_limits<double>::infinity()};
    for (int k = 0; k < 300; ++k)
    {
        double q[3];
        for (int a = 0; a < 3; ++a)
            q[a] = k % 2 == 0 ? stored[rng() % stored.size()]->xyz[a] + 0.003 : unit(rng);
        const double radius0 = radii[k % 3];
        double radius = radius0, treeRadius = radius0;
        const TestPoint* found = tree.Scan(q, radius);
        const TestPoint* walked = tree.FindNearest(q, treeRadius);
        const double expected = BruteForceNearest(stored, q, radius0);
        EXPECT_EQ(radius, treeRadius) << "query " << k;
        if (expected < 0)
        {
            EXPECT_EQ(found, nullptr);
            EXPECT_EQ(walked, nullptr);
            EXPECT_EQ(radius, radius0);
            continue;
        }
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(TreeSquaredDistance(q, found->xyz), expected);
        EXPECT_EQ(radius, std::sqrt(expected));
    }
}

TEST(BucketKDTree, ClearEmptiesAndTheTreeCanBeFilledAgain)
{
    auto points = MakePointSet(PointSetKind::Uniform, 400, 5);
    TestKDTree tree;
    for (const TestPoint& p : points)
        tree.Add(&p);
    tree.Build();
    tree.Clear();
    EXPECT_EQ(tree.GetRoot(), nullptr);
    EXPECT_EQ(tree.GetNodeCount(), 0u);
    const double q[3] = {0, 0, 0};
    double radius = 1e9;
    EXPECT_EQ(tree.FindNearest(q, radius), nullptr);

    for (int i = 0; i < 200; ++i)
        tree.Add(&points[i]);
    tree.Build();
    std::vector<const TestPoint*> half;
    for (int i = 0; i < 200; ++i)
        half.push_back(&points[i]);
    ExpectConsistent(tree, 200);
    ExpectMatchesBruteForce<double>(tree, half, 6, 12.0f);
}

// Build leaves the leaves side by side in one array; an insert into one
// moves its elements to the end of the array in their order, more inserts
// split it, and Clear drops the array before the tree is filled again.
TEST(BucketKDTree, InsertsIntoABuiltLeafKeepItsOrderAndSplitIt)
{
    auto points = MakePointSet(PointSetKind::Uniform, 600, 13);
    TestKDTree tree;
    for (const TestPoint& p : points)
        tree.Add(&p);
    tree.Build();
    const TestKDTree::Node* home = nullptr;
    for (std::uint32_t i = 0; i < tree.GetNodeCount() && home == nullptr; ++i)
    {
        const auto bucket = Bucket(tree, tree.GetNode(i));
        if (std::find(bucket.begin(), bucket.end(), &points[0]) != bucket.end())
            home = tree.GetNode(i);
    }
    ASSERT_NE(home, nullptr);
    auto expected = Bucket(tree, home);
    // Copies of a stored point follow it into its leaf.
    std::vector<TestPoint> copies(2 * kBucketKDTreeDefaultBucket, points[0]);
    ASSERT_EQ(tree.Insert(&copies[0]), home);
    expected.push_back(&copies[0]);
    EXPECT_EQ(Bucket(tree, home), expected);

    std::vector<const TestPoint*> stored = Pointers(points);
    stored.push_back(&copies[0]);
    for (std::size_t i = 1; i < copies.size(); ++i)
    {
        ASSERT_NE(tree.Insert(&copies[i]), nullptr);
        stored.push_back(&copies[i]);
    }
    EXPECT_FALSE(home->IsLeaf());
    tree.NumberNodes();
    ExpectConsistent(tree, stored.size());
    ExpectMatchesBruteForce<double>(tree, stored, 14, 12.0f);
    // The first of equally near elements is the one found: the original.
    double radius = 1.0;
    EXPECT_EQ(tree.FindNearest(points[0].xyz, radius), &points[0]);

    tree.Clear();
    EXPECT_TRUE(tree.IsEmpty());
    for (std::size_t i = 0; i < 300; ++i)
        tree.Add(&points[i]);
    tree.Build();
    stored.assign(stored.begin(), stored.begin() + 300);
    ExpectConsistent(tree, 300);
    ExpectMatchesBruteForce<float>(tree, stored, 15, 12.0f);
}

// Leaves that grow move to the end of the element array and leave their old
// slots behind; the array is compacted before the slots left behind
// outweigh the elements, so a long run of inserts keeps it within about
// twice the elements, and every leaf keeps its elements in order.
TEST(BucketKDTree, InsertsKeepTheElementArrayWithinTwiceTheElements)
{
    auto points = MakePointSet(PointSetKind::Uniform, 2000, 81);
    auto later = MakePointSet(PointSetKind::Clustered, 30000, 82);
    TestKDTree tree;
    std::vector<const TestPoint*> stored;
    for (const TestPoint& p : points)
    {
        tree.Add(&p);
        stored.push_back(&p);
    }
    tree.Build();
    EXPECT_EQ(tree.GetElements().GetCount(), points.size());
    std::uint32_t most = 0;
    for (std::size_t i = 0; i < later.size(); ++i)
    {
        ASSERT_NE(tree.Insert(&later[i]), nullptr);
        stored.push_back(&later[i]);
        const std::uint32_t slots = tree.GetElements().GetCount();
        most = std::max(most, slots);
        ASSERT_LE(slots, std::max<std::size_t>(2 * stored.size(), stored.size() + 1024) + tree.GetBucketMaximum() + 1)
            << "insert " << i;
    }
    // Some leaves did move (else the bound tells nothing).
    EXPECT_GT(most, stored.size());
    tree.NumberNodes();
    ExpectConsistent(tree, stored.size());
    ExpectMatchesBruteForce<float>(tree, stored, 83, 60.0f);
    EXPECT_GT(tree.GetElements().GetGarbage(), 0u);
    // Clear forgets the slots left behind with the array.
    tree.Clear();
    EXPECT_EQ(tree.GetElements().GetCount(), 0u);
    EXPECT_EQ(tree.GetElements().GetGarbage(), 0u);
}

TEST(BucketKDTree, InsertIntoAnOverfullRootBuildsAndStillRenumbers)
{
    auto points = MakePointSet(PointSetKind::Uniform, 200, 8);
    TestKDTree tree;
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        tree.Add(&points[i]);
    // The root holds 199 unsplit elements: the insert builds first.
    ASSERT_NE(tree.Insert(&points.back()), nullptr);
    EXPECT_FALSE(tree.GetRoot()->IsLeaf());
    EXPECT_EQ(tree.GetRoot()->index, kBucketKDTreeNoIndex);
    tree.NumberNodes();
    ExpectConsistent(tree, points.size());
}

TEST(BucketKDTree, RepeatedInsertsOfOnePointStayFindable)
{
    // Identical points inserted one by one pile up on the lower side of
    // every split: the tree grows deep, and the walks must stay iterative.
    TestPoint same{{0.5f, 0.5f, 0.5f}};
    TestPoint other{{0.75f, 0.5f, 0.5f}};
    TestKDTree tree;
    for (int i = 0; i < 20000; ++i)
        ASSERT_NE(tree.Insert(&same), nullptr);
    ASSERT_NE(tree.Insert(&other), nullptr);
    // Deeper than a query's own stack holds: its stack comes from the heap.
    EXPECT_GT(tree.GetDepth(), 64u);
    tree.NumberNodes();
    const float q[3] = {0.7f, 0.5f, 0.5f};
    double radius = 1.0;
    EXPECT_EQ(tree.FindNearest(q, radius), &other);
    const float q2[3] = {0.5f, 0.5f, 0.5f};
    radius = 1.0;
    EXPECT_EQ(tree.FindNearest(q2, radius), &same);
    EXPECT_EQ(radius, 0.0);
}

} // namespace

namespace
{

TEST(BucketKDTree, HostPointTreeMeasuresInSinglePrecision)
{
    std::vector<ON_3fPoint> points;
    for (int i = 0; i < 100; ++i)
        points.emplace_back(static_cast<float>(i % 10), static_cast<float>(i / 10), 0.5f);
    tHostPointKDTree tree;
    for (const ON_3fPoint& p : points)
        ASSERT_TRUE(tree.Add(&p));
    EXPECT_GE(tree.Build(), 2u);
    const float q[3] = {3.2f, 6.9f, 0.5f};
    double radius = 2.0;
    const ON_3fPoint* found = tree.FindNearest(q, radius);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found, &points[73]);
    const float dx = q[0] - 3.0f, dy = q[1] - 7.0f;
    EXPECT_EQ(radius, std::sqrt(static_cast<double>(dx * dx + dy * dy)));
}

} // namespace
