// Build keeps pointer elements as 32-bit offsets from the lowest one when
// they all lie within 4 GiB of it, and as pointers otherwise. Either way
// every query gives the same element as the tree built leaf by leaf (which
// keeps pointers), and the nearest distance of a brute-force scan.
#include "core/bucket_kd_tree.h"
#include "core/thread_pool.h"
#include "support/kd_point_sets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace
{

// Elements that are only addresses: element i sits at base + i * stride and
// its coordinates are points[i]. The tree never reads through an element, so
// the addresses may be spread wider than any allocation could be.
struct Opaque;

struct SpreadComparator
{
    const std::vector<TestPoint>* points = nullptr;
    std::uintptr_t base = 0;
    std::uintptr_t stride = 1;

    const float* Coordinates(const Opaque* element) const
    {
        return (*points)[(reinterpret_cast<std::uintptr_t>(element) - base) / stride].xyz;
    }
    const Opaque* Element(std::size_t i) const { return reinterpret_cast<const Opaque*>(base + i * stride); }
};

using SpreadTree = tBucketKDTree<const Opaque*, SpreadComparator>;

// The same tree built by splitting leaf after leaf (pointers kept).
class WalkBuiltSpreadTree : public SpreadTree
{
public:
    using SpreadTree::SpreadTree;
    void BuildWithWalk()
    {
        BuildByWalk();
        NumberNodes();
    }
};

// True when the leaves' elements are kept as offsets (false: as pointers).
bool LeavesKeepOffsets(const SpreadTree& tree) { return tree.GetElements().KeepsOffsets(); }

double BruteForceSquared(const std::vector<TestPoint>& points, const double q[3])
{
    double best = std::numeric_limits<double>::infinity();
    for (const TestPoint& p : points)
    {
        double d2 = 0.0;
        for (int a = 0; a < 3; ++a)
            d2 += (q[a] - p.xyz[a]) * (q[a] - p.xyz[a]);
        best = std::min(best, d2);
    }
    return best;
}

// Builds the packed tree and the walked one over the same elements and
// checks every answer (element and distance) against each other and the
// nearest distance against a scan. Returns whether the packed tree kept
// offsets.
bool ExpectSameAnswers(const std::vector<TestPoint>& points, std::uintptr_t base, std::uintptr_t stride,
                       std::uint32_t seed)
{
    const SpreadComparator comparator{&points, base, stride};
    SpreadTree packed(kBucketKDTreeDefaultBucket, comparator);
    WalkBuiltSpreadTree walked(kBucketKDTreeDefaultBucket, comparator);
    for (std::size_t i = 0; i < points.size(); ++i)
    {
        EXPECT_TRUE(packed.Add(comparator.Element(i)));
        EXPECT_TRUE(walked.Add(comparator.Element(i)));
    }
    packed.Build();
    walked.BuildWithWalk();
    const bool offsets = LeavesKeepOffsets(packed);

    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(-12.0, 12.0);
    for (int k = 0; k < 400; ++k)
    {
        double q[3];
        for (int a = 0; a < 3; ++a)
            q[a] = k % 2 == 0 ? static_cast<double>(points[rng() % points.size()].xyz[a]) : unit(rng);
        double r1 = std::numeric_limits<double>::infinity(), r2 = r1;
        const Opaque* a = packed.FindNearest(q, r1);
        const Opaque* b = walked.FindNearest(q, r2);
        EXPECT_EQ(a, b) << "query " << k;
        EXPECT_EQ(r1, r2) << "query " << k;
        EXPECT_NEAR(r1 * r1, BruteForceSquared(points, q), 1e-9 * (1.0 + r1 * r1)) << "query " << k;
        if (a == nullptr)
        {
            ADD_FAILURE() << "query " << k << " found nothing";
            continue;
        }
        const float* p = comparator.Coordinates(a);
        double d2 = 0.0;
        for (int c = 0; c < 3; ++c)
            d2 += (q[c] - p[c]) * (q[c] - p[c]);
        EXPECT_EQ(std::sqrt(d2), r1) << "query " << k;
    }
    return offsets;
}

constexpr std::uintptr_t kBase = std::uintptr_t{1} << 44;

TEST(BucketKDTreeOffsets, ElementsWithin4GiBAreKeptAsOffsetsAndAnswerAsTheirLists)
{
    for (PointSetKind kind : {PointSetKind::Uniform, PointSetKind::Clustered, PointSetKind::Duplicated,
                              PointSetKind::OnALine, PointSetKind::AllEqual, PointSetKind::Lattice})
    {
        SCOPED_TRACE(static_cast<int>(kind));
        const auto points = MakePointSet(kind, 3000, 61);
        EXPECT_TRUE(ExpectSameAnswers(points, kBase, 12, 62));
    }
}

TEST(BucketKDTreeOffsets, TheLastByteOf4GiBStillFitsAnOffsetOneMoreKeepsPointers)
{
    // 256 elements, 255 gaps: 255 * 16843009 = 2^32 - 1.
    const auto points = MakePointSet(PointSetKind::Lattice, 256, 63);
    const std::uintptr_t widest = 16843009;
    ASSERT_EQ(widest * (points.size() - 1), std::uintptr_t{0xFFFFFFFF});
    EXPECT_TRUE(ExpectSameAnswers(points, kBase, widest, 64));
    EXPECT_FALSE(ExpectSameAnswers(points, kBase, widest + 1, 65));
}

TEST(BucketKDTreeOffsets, ElementsSpreadWiderThan4GiBKeepPointers)
{
    const auto points = MakePointSet(PointSetKind::Clustered, 3000, 64);
    // 8 GiB between neighbours.
    EXPECT_FALSE(ExpectSameAnswers(points, kBase, std::uintptr_t{1} << 33, 65));
}

// An insert into a leaf kept as offsets moves its elements to a list in
// their order; the tree still answers as its unpacked twin.
TEST(BucketKDTreeOffsets, InsertsAfterBuildUnpackOffsetLeavesInOrder)
{
    auto points = MakePointSet(PointSetKind::Uniform, 2000, 66);
    const std::size_t built = 1500;
    const SpreadComparator comparator{&points, kBase, 16};
    SpreadTree packed(kBucketKDTreeDefaultBucket, comparator);
    WalkBuiltSpreadTree walked(kBucketKDTreeDefaultBucket, comparator);
    for (std::size_t i = 0; i < built; ++i)
    {
        packed.Add(comparator.Element(i));
        walked.Add(comparator.Element(i));
    }
    packed.Build();
    walked.BuildWithWalk();
    ASSERT_TRUE(LeavesKeepOffsets(packed));
    for (std::size_t i = built; i < points.size(); ++i)
    {
        const SpreadTree::Node* a = packed.Insert(comparator.Element(i));
        const SpreadTree::Node* b = walked.Insert(comparator.Element(i));
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        std::vector<const Opaque*> inA, inB;
        packed.ForEachInBucket(a, [&](const Opaque* e) { inA.push_back(e); });
        walked.ForEachInBucket(b, [&](const Opaque* e) { inB.push_back(e); });
        EXPECT_EQ(inA, inB) << "insert " << i;
    }
    std::mt19937 rng(67);
    std::uniform_real_distribution<float> unit(-11.0f, 11.0f);
    for (int k = 0; k < 300; ++k)
    {
        const float q[3] = {unit(rng), unit(rng), unit(rng)};
        double r1 = 2.0, r2 = 2.0;
        EXPECT_EQ(packed.FindNearest(q, r1), walked.FindNearest(q, r2)) << "query " << k;
        EXPECT_EQ(r1, r2);
    }
}

// Elements 0..near-1 at base + i * 16, the others at farBase + (i - near) * 16.
struct TwoRegionComparator
{
    const std::vector<TestPoint>* points = nullptr;
    std::uintptr_t base = 0;
    std::uintptr_t farBase = 0;
    std::size_t near = 0;

    const float* Coordinates(const Opaque* element) const
    {
        const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(element);
        if (at >= base && at < base + near * 16)
            return (*points)[(at - base) / 16].xyz;
        return (*points)[near + (at - farBase) / 16].xyz;
    }
    const Opaque* Element(std::size_t i) const
    {
        return reinterpret_cast<const Opaque*>(i < near ? base + i * 16 : farBase + (i - near) * 16);
    }
};

using TwoRegionTree = tBucketKDTree<const Opaque*, TwoRegionComparator>;
class WalkBuiltTwoRegionTree : public TwoRegionTree
{
public:
    using TwoRegionTree::TwoRegionTree;
    void BuildWithWalk()
    {
        BuildByWalk();
        NumberNodes();
    }
};

// An insert of an element that no offset from the base can name (beyond
// 4 GiB above it, or below it) turns the whole array into pointers; every
// element stays where it was and the tree still answers as its twin.
TEST(BucketKDTreeOffsets, AnInsertOutOfOffsetReachKeepsPointersFromThenOn)
{
    const std::uintptr_t above = kBase + (std::uintptr_t{1} << 33);
    const std::uintptr_t below = kBase - (std::uintptr_t{1} << 20);
    for (const std::uintptr_t farBase : {above, below})
    {
        SCOPED_TRACE(farBase);
        const auto points = MakePointSet(PointSetKind::Clustered, 1300, 68);
        const std::size_t near = 1000;
        const TwoRegionComparator comparator{&points, kBase, farBase, near};
        TwoRegionTree packed(kBucketKDTreeDefaultBucket, comparator);
        WalkBuiltTwoRegionTree walked(kBucketKDTreeDefaultBucket, comparator);
        for (std::size_t i = 0; i < near; ++i)
        {
            packed.Add(comparator.Element(i));
            walked.Add(comparator.Element(i));
        }
        packed.Build();
        walked.BuildWithWalk();
        ASSERT_TRUE(packed.GetElements().KeepsOffsets());
        for (std::size_t i = near; i < points.size(); ++i)
        {
            ASSERT_NE(packed.Insert(comparator.Element(i)), nullptr);
            ASSERT_NE(walked.Insert(comparator.Element(i)), nullptr);
        }
        EXPECT_FALSE(packed.GetElements().KeepsOffsets());
        std::mt19937 rng(69);
        for (int k = 0; k < 400; ++k)
        {
            const float* p = points[rng() % points.size()].xyz;
            const double q[3] = {p[0] + 0.001, p[1] - 0.002, p[2] + 0.0005};
            double r1 = 1.0, r2 = 1.0;
            const Opaque* a = packed.FindNearest(q, r1);
            EXPECT_EQ(a, walked.FindNearest(q, r2)) << "query " << k;
            EXPECT_EQ(r1, r2);
            ASSERT_NE(a, nullptr);
        }
        // Every element is found where it is, the far ones included.
        for (std::size_t i = 0; i < points.size(); i += 7)
        {
            double radius = 1e-3;
            const Opaque* found = packed.FindNearest(points[i].xyz, radius);
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(radius, 0.0);
            const float* at = comparator.Coordinates(found);
            EXPECT_TRUE(at[0] == points[i].xyz[0] && at[1] == points[i].xyz[1] && at[2] == points[i].xyz[2]);
        }
    }
}

// Loaded and built in one go on a pool, elements within 4 GiB are carried
// through the build as offsets and kept so; spread wider, as pointers. Either
// way the tree is the one Add and Build give, node for node and element for
// element, the offsets from the same base.
TEST(BucketKDTreeOffsets, ABuildFromElementsOnAPoolKeepsOffsetsWhereTheyFitAndIsTheAddedTree)
{
    const auto points = MakePointSet(PointSetKind::Clustered, 70000, 70);
    cThreadPool pool(4);
    // 69999 gaps of 61356 bytes: 4294858644, within 2^32 - 1; of 61360: past it.
    for (const std::uintptr_t stride : {std::uintptr_t{61356}, std::uintptr_t{61360}})
    {
        SCOPED_TRACE(stride);
        const SpreadComparator comparator{&points, kBase, stride};
        SpreadTree added(kBucketKDTreeDefaultBucket, comparator), built(kBucketKDTreeDefaultBucket, comparator);
        for (std::size_t i = 0; i < points.size(); ++i)
            ASSERT_TRUE(added.Add(comparator.Element(i)));
        const std::uint32_t depth = added.Build(&pool);
        ASSERT_GT(depth, 1u);
        EXPECT_EQ(built.BuildFrom(static_cast<std::uint32_t>(points.size()),
                                  [&](std::uint32_t i) { return comparator.Element(i); }, &pool),
                  depth);
        EXPECT_EQ(built.GetElements().KeepsOffsets(), stride == 61356);
        EXPECT_EQ(added.GetElements().KeepsOffsets(), stride == 61356);
        EXPECT_EQ(built.GetElements().GetBase(), added.GetElements().GetBase());
        ExpectSameTree(added, built);
    }
}

} // namespace
