// The twins of a point set, shared over a pool, against every pair tested
// as the merge index tests it.
#include "core/point_twins.h"
#include "core/thread_pool.h"
#include "core/vertex_merge_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{

// Every pair tested: a point has a twin when another point passes the merge
// index's float box test; a point the index cannot hold has no marks.
std::vector<std::uint8_t> TwinsByEveryPair(const std::vector<float>& xyz, float tolerance)
{
    const std::size_t n = xyz.size() / 3;
    std::vector<std::uint8_t> marks(n, kPointAlone);
    for (std::size_t i = 0; i < n; ++i)
    {
        std::int64_t cell[3];
        if (!cVertexMergeIndex::CellOfPoint(&xyz[3 * i], tolerance, cell))
        {
            marks[i] = kPointNotIndexable;
            continue;
        }
        for (std::size_t j = 0; j < n; ++j)
            if (j != i && cVertexMergeIndex::CellOfPoint(&xyz[3 * j], tolerance, cell) &&
                std::fabs(xyz[3 * i] - xyz[3 * j]) < tolerance && std::fabs(xyz[3 * i + 1] - xyz[3 * j + 1]) < tolerance &&
                std::fabs(xyz[3 * i + 2] - xyz[3 * j + 2]) < tolerance)
                marks[i] = kPointWithTwin;
    }
    return marks;
}

TEST(PointTwins, PointsWithATwinAreThoseTheMergeIndexWouldWeld)
{
    // A scan far out on a grid a little wider than the tolerance, with twins
    // planted: exact copies, points just inside and just outside the
    // tolerance on each axis (in the float arithmetic of the test), pairs
    // straddling cell borders, negative coordinates, and points the index
    // cannot hold.
    const float tolerance = 1e-4f;
    std::mt19937 random(17);
    std::uniform_real_distribution<float> jitter(-0.5f, 0.5f);
    std::vector<float> xyz;
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 40; ++j)
            for (const float z : {-731.25f, 0.0f})
                xyz.insert(xyz.end(), {812.5f + 0.00031f * float(i) + 1e-5f * jitter(random),
                                       -40.0f + 0.00027f * float(j) + 1e-5f * jitter(random), z});
    const std::size_t scan = xyz.size() / 3;
    for (std::size_t k = 0; k < scan; k += 37)
    {
        const float* p = &xyz[3 * k];
        const float base[3] = {p[0], p[1], p[2]};
        const int axis = int(k % 3);
        float near[3] = {base[0], base[1], base[2]};
        float far[3] = {base[0], base[1], base[2]};
        near[axis] = std::nextafter(base[axis] + tolerance, base[axis]);
        while (!(std::fabs(near[axis] - base[axis]) < tolerance))
            near[axis] = std::nextafter(near[axis], base[axis]);
        far[axis] = near[axis];
        while (std::fabs(far[axis] - base[axis]) < tolerance)
            far[axis] = std::nextafter(far[axis], base[axis] + 1.0f);
        // Just inside the tolerance on every axis at once: a twin in a
        // diagonal neighbour cell where the pair straddles a cell corner.
        float diagonal[3];
        for (int a = 0; a < 3; ++a)
        {
            diagonal[a] = std::nextafter(base[a] + tolerance, base[a]);
            while (!(std::fabs(diagonal[a] - base[a]) < tolerance))
                diagonal[a] = std::nextafter(diagonal[a], base[a]);
            if ((k / 4 + std::size_t(a)) % 2 == 1)
                diagonal[a] = base[a] - (diagonal[a] - base[a]);
        }
        switch (k % 4)
        {
        case 0: xyz.insert(xyz.end(), base, base + 3); break;
        case 1: xyz.insert(xyz.end(), near, near + 3); break;
        case 2: xyz.insert(xyz.end(), diagonal, diagonal + 3); break;
        default: xyz.insert(xyz.end(), far, far + 3); break;
        }
    }
    // Across a cell border at the origin and at a negative border.
    for (const float x : {-0.00004f, 0.00005f, -0.00021f, -0.00019f, -2.0f, -2.00009f})
        xyz.insert(xyz.end(), {x, 5.0f, 5.0f});
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const float x : {nan, nan, 4e30f, 4e30f, std::numeric_limits<float>::infinity()})
        xyz.insert(xyz.end(), {x, 5.0f, 5.0f});

    const std::vector<std::uint8_t> expected = TwinsByEveryPair(xyz, tolerance);
    std::size_t twins = 0;
    for (const std::uint8_t m : expected)
        twins += m == kPointWithTwin;
    ASSERT_GT(twins, 50u);
    ASSERT_LT(twins, expected.size() / 4) << "most points stand alone, as a scan's do";

    cThreadPool pool(4);
    for (cThreadPool* shared : {static_cast<cThreadPool*>(nullptr), &pool})
    {
        std::vector<std::uint8_t> marks;
        ASSERT_TRUE(MarkPointTwins(xyz.data(), xyz.size() / 3, 3, tolerance, shared, marks));
        ASSERT_EQ(marks.size(), expected.size());
        for (std::size_t i = 0; i < marks.size(); ++i)
            ASSERT_EQ(int(marks[i]), int(expected[i])) << "point " << i << (shared ? " with the pool" : "");
    }
    pool.Stop();
}

TEST(PointTwins, PointsSpreadOverKilometresStillFindTheirTwins)
{
    // Far more tolerance-wide cells than the sort's keys hold on an axis.
    const std::vector<float> xyz = {0.0f,    0.0f, 0.0f, 0.00009f, 0.0f, 0.0f, 1500.0f, 2.0f, 0.0f,
                                    1500.0f, 2.0f, 0.00011f, -2500.0f, 7.0f, 1.0f, -2500.0f, 7.00005f, 1.0f};
    std::vector<std::uint8_t> marks;
    ASSERT_TRUE(MarkPointTwins(xyz.data(), xyz.size() / 3, 3, 1e-4f, nullptr, marks));
    EXPECT_EQ(marks, TwinsByEveryPair(xyz, 1e-4f));
    EXPECT_EQ(marks, (std::vector<std::uint8_t>{kPointWithTwin, kPointWithTwin, kPointAlone, kPointAlone,
                                                 kPointWithTwin, kPointWithTwin}));
}

TEST(PointTwins, AMillionPointsSortedInSlicesOnThePoolFindTheTwinsFoundAlone)
{
    // A grid of 2^20 points far out, with a copy of every 1021st point moved
    // by half the tolerance: enough keys for the sort to split its passes.
    const float tolerance = 1e-4f;
    std::vector<float> xyz;
    for (int i = 0; i < 1024; ++i)
        for (int j = 0; j < 1024; ++j)
            xyz.insert(xyz.end(), {5000.0f + 0.01f * float(i), -3000.0f + 0.01f * float(j),
                                   250.0f + 0.003f * float(i % 7)});
    const std::size_t grid = xyz.size() / 3;
    std::vector<std::uint8_t> expected(grid, kPointAlone);
    for (std::size_t k = 0; k < grid; k += 1021)
    {
        expected[k] = kPointWithTwin;
        expected.push_back(kPointWithTwin);
        xyz.insert(xyz.end(), {xyz[3 * k] + 0.5f * tolerance, xyz[3 * k + 1], xyz[3 * k + 2]});
    }
    cThreadPool pool(4);
    for (cThreadPool* shared : {static_cast<cThreadPool*>(nullptr), &pool})
    {
        std::vector<std::uint8_t> marks;
        ASSERT_TRUE(MarkPointTwins(xyz.data(), xyz.size() / 3, 3, tolerance, shared, marks));
        ASSERT_EQ(marks, expected) << (shared ? "with the pool" : "alone");
    }
    pool.Stop();
}

TEST(PointTwins, PointsCrowdedUnderOneLeadingDigitFindTheirTwins)
{
    // A dense patch of 2^18 points (a grid 0.001 apart) with a copy of every
    // 613th point moved by half the tolerance, and one point a kilometre
    // off: the patch's keys share their leading bits, so a few buckets hold
    // them all and are sorted on by many bytes below.
    const float tolerance = 1e-4f;
    std::vector<float> xyz;
    for (int i = 0; i < 512; ++i)
        for (int j = 0; j < 512; ++j)
            xyz.insert(xyz.end(), {-80.0f, 20.0f + 0.001f * float(i), 3.0f + 0.001f * float(j)});
    const std::size_t patch = xyz.size() / 3;
    std::vector<std::uint8_t> expected(patch, kPointAlone);
    for (std::size_t k = 0; k < patch; k += 613)
    {
        expected[k] = kPointWithTwin;
        expected.push_back(kPointWithTwin);
        xyz.insert(xyz.end(), {xyz[3 * k], xyz[3 * k + 1], xyz[3 * k + 2] - 0.5f * tolerance});
    }
    xyz.insert(xyz.end(), {-80.0f, 1020.0f, 3.0f});
    expected.push_back(kPointAlone);
    cThreadPool pool(4);
    for (cThreadPool* shared : {static_cast<cThreadPool*>(nullptr), &pool})
    {
        std::vector<std::uint8_t> marks;
        ASSERT_TRUE(MarkPointTwins(xyz.data(), xyz.size() / 3, 3, tolerance, shared, marks));
        ASSERT_EQ(marks, expected) << (shared ? "with the pool" : "alone");
    }
    pool.Stop();
}

TEST(PointTwins, PairsLeaningEveryWayAcrossCellBordersFindEachOther)
{
    // Pairs far apart from each other, the two points of each 0.9 of the
    // tolerance apart on every axis the pair leans along (one of the 26
    // directions in turn), placed at random: many straddle the cells' borders
    // on some axes, so each point's one twin lies in every neighbouring cell
    // in turn, below and above it.
    const float tolerance = 1e-4f;
    std::mt19937 random(29);
    std::uniform_real_distribution<float> offset(0.0f, 0.1f);
    std::vector<float> xyz;
    for (int pair = 0; pair < 26 * 24; ++pair)
    {
        const int direction = pair % 26 < 13 ? pair % 26 : pair % 26 + 1; // 13 is no lean
        const float p[3] = {10.0f + 0.5f * float(pair % 26) + offset(random),
                            -20.0f + 0.5f * float(pair / 26) + offset(random), 7.0f + offset(random)};
        xyz.insert(xyz.end(), p, p + 3);
        for (int a = 0, d = direction; a < 3; ++a, d /= 3)
            xyz.push_back(p[a] + 0.9f * tolerance * float(d % 3 - 1));
    }
    const std::vector<std::uint8_t> expected = TwinsByEveryPair(xyz, tolerance);
    ASSERT_EQ(std::count(expected.begin(), expected.end(), kPointWithTwin), std::ptrdiff_t(expected.size()));
    std::vector<std::uint8_t> marks;
    ASSERT_TRUE(MarkPointTwins(xyz.data(), xyz.size() / 3, 3, tolerance, nullptr, marks));
    EXPECT_EQ(marks, expected);
}

} // namespace
