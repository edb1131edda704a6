#include "core/rb_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <type_traits>
#include <vector>

namespace
{

// Checks the red-black rules and the order of the whole tree; returns the
// black height (sentinel counted as 1), or -1 after reporting a failure.
template <class Tree> int CheckSubtree(const Tree& tree, const typename Tree::Node* node, const typename Tree::Node* parent)
{
    if (tree.IsSentinel(node))
        return node->colour == kRBBlack ? 1 : -1;
    EXPECT_EQ(node->parent, parent) << "parent link";
    if (node->colour == kRBRed)
    {
        EXPECT_EQ(node->left->colour, kRBBlack) << "red node with a red child";
        EXPECT_EQ(node->right->colour, kRBBlack) << "red node with a red child";
    }
    const int left = CheckSubtree(tree, node->left, node);
    const int right = CheckSubtree(tree, node->right, node);
    EXPECT_EQ(left, right) << "black heights differ";
    if (left < 0 || left != right)
        return -1;
    return left + (node->colour == kRBBlack ? 1 : 0);
}

template <class Tree> void CheckTree(const Tree& tree)
{
    const auto* nil = tree.GetSentinel();
    ASSERT_NE(nil, nullptr);
    EXPECT_EQ(nil->colour, kRBBlack);
    EXPECT_EQ(nil->left, nil);
    EXPECT_EQ(nil->right, nil);
    const auto* root = tree.GetRoot();
    if (root == nullptr)
    {
        EXPECT_EQ(tree.GetCount(), 0u);
        return;
    }
    EXPECT_EQ(root->colour, kRBBlack) << "root must be black";
    EXPECT_GT(CheckSubtree(tree, root, nil), 0);
    // Order: the in-order walk never steps back (nor repeats a key when keys
    // are unique) and visits every node once.
    using Value = std::remove_cvref_t<decltype(root->value)>;
    using Order = tRBOrder<Value>;
    std::uint32_t visited = 0;
    for (auto* n = tree.First(); n != nullptr; n = tree.Next(n))
    {
        ++visited;
        const auto* next = tree.Next(n);
        if (next == nullptr)
            break;
        const int c = Order::Compare(n->value, next->value);
        if (Order::kUnique)
            EXPECT_LT(c, 0) << "in-order walk out of order";
        else
            EXPECT_LE(c, 0) << "in-order walk out of order";
    }
    EXPECT_EQ(visited, tree.GetCount());
}

template <class Tree> std::vector<int> InOrder(const Tree& tree)
{
    std::vector<int> values;
    for (auto* n = tree.First(); n != nullptr; n = tree.Next(n))
        values.push_back(n->value);
    return values;
}

TEST(RBTree, AscendingInsertsStayBalanced)
{
    tRBTree<int> tree;
    for (int i = 1; i <= 1000; ++i)
    {
        bool inserted = false;
        auto* node = tree.Insert(i, &inserted);
        ASSERT_TRUE(inserted);
        ASSERT_EQ(node->value, i);
        EXPECT_EQ(tree.GetLastTouched(), node);
    }
    CheckTree(tree);
    EXPECT_EQ(tree.GetCount(), 1000u);
    std::vector<int> expected(1000);
    for (int i = 0; i < 1000; ++i)
        expected[i] = i + 1;
    EXPECT_EQ(InOrder(tree), expected);
}

TEST(RBTree, EqualKeysReturnTheExistingNode)
{
    tRBTree<int> tree;
    auto* first = tree.Insert(5);
    tree.Insert(3);
    bool inserted = true;
    EXPECT_EQ(tree.Insert(5, &inserted), first);
    EXPECT_FALSE(inserted);
    EXPECT_EQ(tree.GetLastTouched(), first);
    EXPECT_EQ(tree.GetCount(), 2u);
}

// Points equal within a tolerance, else ordered lexicographically.
struct TolerantPoint
{
    float p[3];
};
} // namespace

template <> struct tRBOrder<TolerantPoint>
{
    static int Compare(const TolerantPoint& a, const TolerantPoint& b)
    {
        const float tolerance = 1e-3f;
        if (std::fabs(a.p[0] - b.p[0]) < tolerance && std::fabs(a.p[1] - b.p[1]) < tolerance &&
            std::fabs(a.p[2] - b.p[2]) < tolerance)
            return 0;
        for (int k = 0; k < 3; ++k)
            if (a.p[k] != b.p[k])
                return a.p[k] < b.p[k] ? -1 : 1;
        return 0;
    }
    static constexpr bool kUnique = true;
};

// Floats where every record is kept, duplicates included.
struct Weighted
{
    int id;
    float weight;
};
template <> struct tRBOrder<Weighted>
{
    static int Compare(const Weighted& a, const Weighted& b)
    {
        return a.weight < b.weight ? -1 : (b.weight < a.weight ? 1 : 0);
    }
    static constexpr bool kUnique = false;
};

namespace
{

TEST(RBTree, ToleranceOrdersWeldNearbyPoints)
{
    tRBTree<TolerantPoint> tree;
    auto* a = tree.Insert(TolerantPoint{{1, 2, 3}});
    tree.Insert(TolerantPoint{{0, 0, 0}});
    bool inserted = true;
    EXPECT_EQ(tree.Insert(TolerantPoint{{1.0005f, 2, 2.9995f}}, &inserted), a);
    EXPECT_FALSE(inserted);
    EXPECT_EQ(tree.Find(TolerantPoint{{1, 2.0002f, 3}}), a);
    EXPECT_EQ(tree.Find(TolerantPoint{{1, 2.01f, 3}}), nullptr);
}

TEST(RBTree, NonUniqueOrdersKeepEveryRecord)
{
    tRBTree<Weighted> tree;
    for (int i = 0; i < 50; ++i)
    {
        bool inserted = false;
        tree.Insert(Weighted{i, static_cast<float>(i % 5)}, &inserted);
        ASSERT_TRUE(inserted);
    }
    EXPECT_EQ(tree.GetCount(), 50u);
    float previous = -1;
    int n = 0;
    for (auto* node = tree.First(); node != nullptr; node = tree.Next(node), ++n)
    {
        EXPECT_GE(node->value.weight, previous);
        previous = node->value.weight;
    }
    EXPECT_EQ(n, 50);
}

TEST(RBTree, ErasingKeepsOtherNodesInPlace)
{
    tRBTree<int> tree;
    std::vector<tRBTree<int>::Node*> nodes;
    for (int i = 0; i < 100; ++i)
        nodes.push_back(tree.Insert(i));
    // Erase nodes with two children: their successors must stay where they are.
    for (int i = 0; i < 100; i += 3)
        tree.Erase(nodes[i]);
    CheckTree(tree);
    for (int i = 0; i < 100; ++i)
    {
        if (i % 3 != 0)
        {
            ASSERT_EQ(nodes[i]->value, i) << "node of " << i << " moved";
        }
    }
    EXPECT_EQ(tree.Find(3), nullptr);
    EXPECT_EQ(tree.Find(4), nodes[4]);
}

TEST(RBTree, ClearStartsOverWithAFreshSentinel)
{
    tRBTree<int> tree;
    for (int i = 0; i < 3000; ++i)
        tree.Insert(i * 7 % 3001);
    tree.Clear();
    EXPECT_EQ(tree.GetCount(), 0u);
    EXPECT_EQ(tree.GetRoot(), nullptr);
    EXPECT_EQ(tree.First(), nullptr);
    EXPECT_EQ(tree.GetLastTouched(), nullptr);
    CheckTree(tree);
    tree.Insert(1);
    tree.Insert(2);
    CheckTree(tree);
    EXPECT_EQ(InOrder(tree), (std::vector<int>{1, 2}));
}

TEST(RBTree, LowerBoundAndReverseWalk)
{
    tRBTree<int> tree;
    for (int v : {10, 20, 30, 40})
        tree.Insert(v);
    EXPECT_EQ(tree.LowerBound(25)->value, 30);
    EXPECT_EQ(tree.LowerBound(10)->value, 10);
    EXPECT_EQ(tree.LowerBound(41), nullptr);
    std::vector<int> reversed;
    for (auto* n = tree.Last(); n != nullptr; n = tree.Prev(n))
        reversed.push_back(n->value);
    EXPECT_EQ(reversed, (std::vector<int>{40, 30, 20, 10}));
}

// Random inserts and erases against std::set, checking the rules each step.
TEST(RBTree, MatchesAnOrderedSetUnderRandomOperations)
{
    std::mt19937 rng(777);
    for (int round = 0; round < 8; ++round)
    {
        tRBTree<int> tree;
        std::set<int> model;
        const int range = round % 2 == 0 ? 200 : 5000;
        for (int step = 0; step < 4000; ++step)
        {
            const int key = static_cast<int>(rng() % range);
            if (rng() % 3 != 0)
            {
                bool inserted = false;
                auto* node = tree.Insert(key, &inserted);
                ASSERT_NE(node, nullptr);
                ASSERT_EQ(node->value, key);
                ASSERT_EQ(inserted, model.insert(key).second);
            }
            else
            {
                auto* node = tree.Find(key);
                ASSERT_EQ(node != nullptr, model.count(key) == 1);
                if (node != nullptr)
                {
                    tree.Erase(node);
                    model.erase(key);
                }
            }
            ASSERT_EQ(tree.GetCount(), model.size());
            if (step % 97 == 0)
                CheckTree(tree);
        }
        CheckTree(tree);
        EXPECT_EQ(InOrder(tree), std::vector<int>(model.begin(), model.end()));
        while (!model.empty())
        {
            const int key = *std::next(model.begin(), static_cast<long>(rng() % model.size()));
            tree.Erase(tree.Find(key));
            model.erase(key);
        }
        CheckTree(tree);
        EXPECT_EQ(tree.GetRoot(), nullptr);
    }
}

TEST(RBTree, MatchesAMultisetWhenDuplicatesAreKept)
{
    std::mt19937 rng(99);
    tRBTree<Weighted> tree;
    std::multiset<float> model;
    std::vector<tRBTree<Weighted>::Node*> live;
    for (int step = 0; step < 5000; ++step)
    {
        if (live.empty() || rng() % 3 != 0)
        {
            const float w = static_cast<float>(rng() % 40);
            live.push_back(tree.Insert(Weighted{step, w}));
            model.insert(w);
        }
        else
        {
            const std::size_t i = rng() % live.size();
            model.erase(model.find(live[i]->value.weight));
            tree.Erase(live[i]);
            live.erase(live.begin() + static_cast<long>(i));
        }
        if (step % 101 == 0)
        {
            CheckTree(tree);
            std::vector<float> weights;
            for (auto* n = tree.First(); n != nullptr; n = tree.Next(n))
                weights.push_back(n->value.weight);
            ASSERT_EQ(weights, std::vector<float>(model.begin(), model.end()));
        }
    }
}

} // namespace
