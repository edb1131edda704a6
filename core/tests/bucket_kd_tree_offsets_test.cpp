// Build keeps packed pointer elements as 32-bit offsets from the lowest one
// when they all lie within 4 GiB of it, and as pointers otherwise. Either
// way every query gives the same element as the unpacked tree, and the
// nearest distance of a brute-force scan.
#include "core/bucket_kd_tree.h"
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

// The same tree built by the walk over list leaves (no packed storage).
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

// True when every leaf is packed and kept as offsets (false: every packed
// leaf keeps pointers); fails the test on a mixture.
bool LeavesKeepOffsets(const SpreadTree& tree)
{
    std::uint32_t offsets = 0, pointers = 0;
    for (std::uint32_t i = 0; i < tree.GetNodeCount(); ++i)
    {
        const SpreadTree::Node* node = tree.GetNode(i);
        if (!node->IsLeaf() || !node->isPacked)
            continue;
        (node->byOffset ? offsets : pointers) += 1;
    }
    EXPECT_TRUE(offsets == 0 || pointers == 0) << offsets << " offsets, " << pointers << " pointers";
    return offsets > 0;
}

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
        a->ForEachInBucket([&](const Opaque* e) { inA.push_back(e); });
        b->ForEachInBucket([&](const Opaque* e) { inB.push_back(e); });
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

} // namespace
