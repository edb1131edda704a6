#include "core/int_octree.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <vector>

namespace
{

using Tree = cIntOctTree<int*>;
using Cell = Tree::Cell;

void ExpectCentre(const Cell* c, float x, float y, float z)
{
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->cx, x);
    EXPECT_EQ(c->cy, y);
    EXPECT_EQ(c->cz, z);
}

TEST(IntOctTree, GrowsUpwardsAboveTheFirstCell)
{
    Tree tree(1.0f);
    bool created = false;
    Cell* first = tree.FindOrInsertLeaf(0.5, 0.5, 0.5, &created);
    ExpectCentre(first, 0.5f, 0.5f, 0.5f);
    EXPECT_EQ(first->halfSize, 0.5f);
    EXPECT_EQ(first->level, 0);
    EXPECT_TRUE(created);
    EXPECT_EQ(first->payload, nullptr);

    EXPECT_EQ(tree.FindOrInsertLeaf(0.5, 0.5, 0.5, &created), first);
    EXPECT_FALSE(created);

    Cell* second = tree.FindOrInsertLeaf(1.5, 0.5, 0.5, &created);
    EXPECT_TRUE(created);
    ExpectCentre(second, 1.5f, 0.5f, 0.5f);
    const Cell* root = tree.GetRoot();
    ExpectCentre(root, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(root->halfSize, 1.0f);
    EXPECT_EQ(root->level, 1);
    EXPECT_EQ(root->children->child[0], first); // the old top, opposite the growth
    EXPECT_EQ(root->children->child[4], second);
    EXPECT_EQ(first->parent, root);
    EXPECT_EQ(tree.CountLeaves(), 2u);
    EXPECT_EQ(tree.GetCellCount(), 3u);

    const float* box = tree.GetBoundingBox();
    EXPECT_EQ(box[0], 0.5f);
    EXPECT_EQ(box[3], 1.5f);
}

TEST(IntOctTree, EpsilonEdgesOfTheHalfOpenCells)
{
    Tree tree(1.0f);
    Cell* lower = tree.FindOrInsertLeaf(0.5, 0.5, 0.5);
    // The upper face still belongs to the cell: no new cell, no growth.
    EXPECT_EQ(tree.FindOrInsertLeaf(1.0, 0.5, 0.5), lower);
    EXPECT_EQ(tree.GetCellCount(), 1u);

    Cell* upper = tree.FindOrInsertLeaf(1.5, 0.5, 0.5);
    // Neighbours overlap by eps: a point there stays with the cell the search
    // starts from (the last one found)...
    EXPECT_EQ(tree.FindOrInsertLeaf(1.0, 0.5, 0.5), upper);
    // ...while a descent from the root (a refused point forgets the last cell)
    // sends x = centre down and x = centre + eps up.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(tree.FindOrInsertLeaf(nan, 0, 0), nullptr);
    EXPECT_EQ(tree.FindOrInsertLeaf(1.0, 0.5, 0.5), lower);
    EXPECT_EQ(tree.FindOrInsertLeaf(nan, 0, 0), nullptr);
    EXPECT_EQ(tree.FindOrInsertLeaf(1.0 + FLT_EPSILON, 0.5, 0.5), upper);
    // Beyond the widened lower face: the neighbour below.
    Cell* below = tree.FindOrInsertLeaf(-2 * FLT_EPSILON, 0.5, 0.5);
    ExpectCentre(below, -0.5f, 0.5f, 0.5f);
    EXPECT_EQ(tree.CountLeaves(), 3u);
}

TEST(IntOctTree, NegativeCoordinatesSnapDownwards)
{
    Tree tree(1.0f);
    ExpectCentre(tree.FindOrInsertLeaf(-0.2, 0.0, 0.0), -0.5f, 0.5f, 0.5f);
    Tree quarter(0.25f);
    ExpectCentre(quarter.FindOrInsertLeaf(-0.3, 7.1, -0.0), -0.375f, 7.125f, 0.125f);
}

TEST(IntOctTree, AgreesWithBruteForceOverRandomWalks)
{
    for (float size : {1.0f, 0.25f, 4.0f})
    {
        SCOPED_TRACE(size);
        Tree tree(size);
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> inside(0.05, 0.95); // keep clear of the faces
        std::uniform_int_distribution<int> step(-1, 1), jump(-40, 40);
        std::map<std::array<long, 3>, Cell*> cells;
        std::vector<std::pair<std::array<double, 3>, Cell*>> seen;
        std::array<long, 3> at{0, 0, 0};
        for (int i = 0; i < 4000; ++i)
        {
            for (auto& c : at)
                c += (i % 500 == 0) ? jump(rng) : step(rng); // polylines with jumps between them
            const std::array<double, 3> p{(at[0] + inside(rng)) * size, (at[1] + inside(rng)) * size,
                                          (at[2] + inside(rng)) * size};
            bool created = false;
            Cell* leaf = tree.FindOrInsertLeaf(p[0], p[1], p[2], &created);
            ASSERT_NE(leaf, nullptr) << i;
            ASSERT_TRUE(leaf->IsLeaf());
            ASSERT_TRUE(Tree::Contains(*leaf, float(p[0]), float(p[1]), float(p[2])));
            EXPECT_EQ(leaf->cx, (at[0] + 0.5f) * size);
            auto [it, isNew] = cells.emplace(at, leaf);
            EXPECT_EQ(created, isNew) << i;
            EXPECT_EQ(it->second, leaf) << i;
            seen.emplace_back(p, leaf);
        }
        EXPECT_EQ(tree.CountLeaves(), cells.size());
        // Cells never move: every point finds its leaf again.
        for (const auto& [p, leaf] : seen)
        {
            bool created = true;
            ASSERT_EQ(tree.FindOrInsertLeaf(p[0], p[1], p[2], &created), leaf);
            EXPECT_FALSE(created);
        }
    }
}

TEST(IntOctTree, RefusesPointsItCannotPlace)
{
    Tree tree(0.5f);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    bool created = true;
    EXPECT_EQ(tree.FindOrInsertLeaf(nan, 0, 0, &created), nullptr);
    EXPECT_FALSE(created);
    EXPECT_EQ(tree.GetRoot(), nullptr); // a refused first point leaves no root

    Cell* origin = tree.FindOrInsertLeaf(0.1, 0.1, 0.1);
    ASSERT_NE(origin, nullptr);
    EXPECT_EQ(tree.FindOrInsertLeaf(0, inf, 0), nullptr);
    EXPECT_EQ(tree.FindOrInsertLeaf(0, 0, -inf), nullptr);
    EXPECT_EQ(tree.FindOrInsertLeaf(FLT_MAX, 0, 0), nullptr); // x / size overflows
    EXPECT_EQ(tree.GetCellCount(), 1u);

    // Finite but beyond a level-63 root: refused, and the tree stays whole.
    EXPECT_EQ(tree.FindOrInsertLeaf(1e30, 0, 0, &created), nullptr);
    EXPECT_FALSE(created);
    ASSERT_NE(tree.GetRoot(), nullptr);
    EXPECT_EQ(tree.GetRoot()->level, Tree::kMaxLevel);
    EXPECT_EQ(tree.GetRoot()->parent, nullptr);
    EXPECT_EQ(tree.FindOrInsertLeaf(0.1, 0.1, 0.1), origin);
    EXPECT_EQ(tree.CountLeaves(), 1u);
    EXPECT_EQ(tree.FindOrInsertLeaf(1e30, 0, 0), nullptr);
}

TEST(IntOctTree, TinyCellSizeKeepsTheDefault)
{
    Tree tree(FLT_EPSILON);
    EXPECT_EQ(tree.GetCellSize(), 1.0f);
    EXPECT_EQ(tree.GetInverseCellSize(), 1.0f);
    ExpectCentre(tree.FindOrInsertLeaf(2.2, 3.7, -1.1), 2.5f, 3.5f, -1.5f);
    EXPECT_EQ(Tree(std::numeric_limits<float>::quiet_NaN()).GetCellSize(), 1.0f);
    EXPECT_EQ(Tree(0.1f).GetCellSize(), 0.1f);
}

} // namespace
