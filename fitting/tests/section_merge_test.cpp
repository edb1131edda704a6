#include "fitting/section_merge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "section_meshes.h"

using section_meshes::Arc;
using section_meshes::Piece;

namespace
{

using section_meshes::kPi;

// Angles of the output points about the origin, unwrapped from the first.
std::vector<double> UnwrappedAngles(const tPolyline<cVertex>& p)
{
    std::vector<double> angles;
    for (const cVertex& v : p.vertices)
    {
        double a = std::atan2(v.y, v.x);
        if (!angles.empty())
        {
            while (a - angles.back() > kPi)
                a -= 2 * kPi;
            while (a - angles.back() < -kPi)
                a += 2 * kPi;
        }
        angles.push_back(a);
    }
    return angles;
}

bool IsMonotonic(const std::vector<double>& v, double slack = 1e-9)
{
    bool up = true, down = true;
    for (std::size_t i = 1; i < v.size(); ++i)
    {
        up = up && v[i] >= v[i - 1] - slack;
        down = down && v[i] <= v[i - 1] + slack;
    }
    return up || down;
}

TEST(SectionMerge, LongestPieceInLocalCoordinates)
{
    tSectionPolylines c;
    c.Add(Piece({{0, 0}, {1, 0}}));
    tFramePolyline<cVertex> shifted = Piece({{10, 0}, {10, 3}});
    shifted.frame[3] = 10; // frame origin at x = 10
    c.Add(shifted);
    c.Add(Piece({{0, 0}, {0, 2}}));
    EXPECT_EQ(FindLongestPolyline(c), 1);
    tPolyline<cVertex> out;
    MergeSectionPolylines(kMergeLongest, c, out);
    ASSERT_EQ(out.GetVertexCount(), 2u);
    EXPECT_EQ(out.GetVertex(0)->x, 0.0f);
    EXPECT_EQ(out.GetVertex(1)->y, 3.0f);
}

TEST(SectionMerge, EmptyInputsAndZeroLengthPieces)
{
    tPolyline<cVertex> out;
    const double p[3] = {7, 7, 7};
    out.AddPoint3d(p);
    tSectionPolylines dots;
    dots.Add(Piece({{1, 1}}));
    dots.Add(Piece({{2, 2}, {2, 2}}));
    EXPECT_EQ(FindLongestPolyline(dots), -1);
    MergeSectionPolylines(kMergeLongest, dots, out);
    EXPECT_EQ(out.GetVertexCount(), 1u) << "mode 0 leaves the output as it was";
    for (const std::int32_t mode : {0, 1, 2, 3, 7})
    {
        out.AddPoint3d(p);
        MergeSectionPolylines(mode, tSectionPolylines(), out);
        EXPECT_TRUE(out.IsEmpty()) << mode;
    }
}

TEST(SectionMerge, OutlineCellSizeRule)
{
    EXPECT_FLOAT_EQ(OutlineCellSize(4, 12.34f, 50.0f), 1.23f);
    EXPECT_FLOAT_EQ(OutlineCellSize(3, 12.34f, 50.0f), 2.46f);
    EXPECT_FLOAT_EQ(OutlineCellSize(9, 12.34f, 50.0f), 0.3f);  // divisor 40
    EXPECT_FLOAT_EQ(OutlineCellSize(7, 12.34f, 50.0f), 0.3f);
    EXPECT_FLOAT_EQ(OutlineCellSize(5, 50.0f, 12.34f), 0.61f); // the smaller extent
    // A part too small for two decimals keeps its own scale, never 0 or 1.
    EXPECT_NEAR(OutlineCellSize(3, 0.02f, 0.01f), 0.002f, 1e-9);
    EXPECT_NEAR(OutlineCellSize(7, 0.3f, 0.2f), 0.005f, 1e-9);
    // A straight section measures a hundredth of its length.
    EXPECT_FLOAT_EQ(OutlineCellSize(3, 100.0f, 0.0f), 0.2f);
    EXPECT_FLOAT_EQ(OutlineCellSize(3, 0.0f, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(OutlineCellSize(3, NAN, 1.0f), 0.0f);
}

TEST(SectionMerge, LineMergeSortsPointsFromOneEndToTheOther)
{
    // Pieces of the line y = 0.5 x, in reverse order and reversed.
    tSectionPolylines c;
    for (int piece = 3; piece >= 0; --piece)
    {
        std::vector<std::array<double, 2>> points;
        for (int i = 10; i >= 0; --i)
        {
            const double x = piece * 2.0 + 0.2 * i;
            points.push_back({x, 0.5 * x});
        }
        c.Add(Piece(points));
    }
    tPolyline<cVertex> out;
    MergeSectionPolylines(kMergeByLine, c, out);
    ASSERT_GE(out.GetVertexCount(), 2u);
    std::vector<double> xs;
    for (const cVertex& v : out.vertices)
        xs.push_back(v.x);
    EXPECT_TRUE(IsMonotonic(xs));
    EXPECT_NEAR(std::min(xs.front(), xs.back()), 0.0, 1e-5);
    EXPECT_NEAR(std::max(xs.front(), xs.back()), 8.0, 1e-5);
    // A straight line simplifies to its ends and the point before the last.
    EXPECT_LE(out.GetVertexCount(), 4u);
}

TEST(SectionMerge, EqualKeysKeepTheOrderOfTheExchangeSort)
{
    // A and B project onto the same place of the fitted line (y = 0). The
    // exchange sort swaps C into the front past A and leaves A behind B; a
    // stable sort would keep A before B.
    tSectionPolylines c;
    c.Add(Piece({{2.0, 0.1}, {2.0, -0.1}, {0.0, 0.0}, {4.0, 0.0}}));
    tPolyline<cVertex> out;
    MergeSectionPolylines(kMergeByLine, c, out);
    ASSERT_EQ(out.GetVertexCount(), 4u);
    const bool fromLeft = out.GetVertex(0)->x < 1.0f;
    EXPECT_FLOAT_EQ(out.GetVertex(fromLeft ? 0 : 3)->x, 0.0f);
    EXPECT_FLOAT_EQ(out.GetVertex(1)->y, -0.1f);
    EXPECT_FLOAT_EQ(out.GetVertex(2)->y, 0.1f);
}

TEST(SectionMerge, ArcMergeOrdersByAngleAcrossTheMiddle)
{
    // A half circle and a 270 degree arc, broken into shuffled pieces with
    // noise so that simplification keeps most points.
    for (const double span : {kPi, 1.5 * kPi})
    {
        std::mt19937 random(7);
        std::normal_distribution<double> noise(0.0, 0.002);
        std::vector<std::array<double, 2>> all = Arc(5.0, 0.3, 0.3 + span, 120);
        for (auto& p : all)
        {
            p[0] += noise(random);
            p[1] += noise(random);
        }
        tSectionPolylines c;
        for (int start : {80, 0, 40})
        {
            std::vector<std::array<double, 2>> piece(all.begin() + start, all.begin() + std::min(start + 41, 121));
            if (start == 40)
                std::reverse(piece.begin(), piece.end());
            c.Add(Piece(piece));
        }
        tPolyline<cVertex> out;
        MergeSectionPolylines(kMergeByArc, c, out);
        ASSERT_GT(out.GetVertexCount(), 60u) << span;
        EXPECT_TRUE(IsMonotonic(UnwrappedAngles(out))) << span;
        const std::vector<double> a = UnwrappedAngles(out);
        EXPECT_NEAR(std::fabs(a.back() - a.front()), span, 0.02) << span;
    }
}

TEST(SectionMerge, ArcMergeGivesOppositeKeysOnEitherSideOfTheMiddle)
{
    // Symmetric half circle about +y: points left and right of the middle end
    // up on opposite ends of the output.
    tSectionPolylines c;
    c.Add(Piece({{-3, 4}, {0, 5}, {3, 4}, {-4, 3}, {4, 3}, {5, 0}, {-5, 0}}));
    tPolyline<cVertex> out;
    MergePolylinesByArcs(c, out);
    ASSERT_EQ(out.GetVertexCount(), 7u);
    EXPECT_EQ(out.GetVertex(3)->x, 0.0f);
    EXPECT_EQ(out.GetVertex(3)->y, 5.0f);
    EXPECT_EQ(std::fabs(out.GetFirstVertex()->x), 5.0f);
    EXPECT_EQ(out.GetFirstVertex()->x, -out.GetLastVertex()->x);
}

TEST(SectionMerge, OutlineMergeOrdersOverlappingPiecesAlongTheOutline)
{
    // A quarter arc given as three overlapping pieces out of order plus a
    // copy of one, all running the same way (as the cut of a consistently
    // wound mesh does).
    tSectionPolylines c;
    c.Add(Piece(Arc(20.0, 0.6, kPi / 2, 40)));
    c.Add(Piece(Arc(20.0, 0.0, 0.8, 40)));
    c.Add(Piece(Arc(20.0, 0.5, 1.2, 30)));
    c.Add(Piece(Arc(20.0, 0.0, 0.8, 40)));
    for (const std::int32_t mode : {3, 5, 7})
    {
        tPolyline<cVertex> out;
        MergeSectionPolylines(mode, c, out);
        // Every input point, ordered along the arc.
        ASSERT_EQ(out.GetVertexCount(), 41u + 41u + 31u + 41u) << mode;
        EXPECT_TRUE(IsMonotonic(UnwrappedAngles(out), 1e-3)) << mode;
    }
}

TEST(SectionMerge, ProjectionFollowsTheOutlineAndEqualKeysGoFirst)
{
    tPolyline<cVertex> outline;
    for (const auto& p : std::vector<std::array<double, 3>>{{0, 0, 0}, {4, 0, 0}, {4, 0, 0}, {4, 3, 0}})
        outline.AddPoint3d(p.data());
    float along = 0.0f;
    for (std::uint32_t i = 0; i < outline.GetVertexCount(); ++i)
    {
        if (i > 0)
            along += static_cast<float>(PointDistance(outline.GetVertex(i - 1)->Position(), outline.GetVertex(i)->Position()));
        outline.GetVertex(i)->SetScalar(along);
    }
    cVertex v;
    v.x = 5;
    v.y = 1;
    v.z = 2;
    v.SetScalar(99.0f);
    ProjectOntoOutline(v, outline);
    EXPECT_FLOAT_EQ(v.GetScalar(), 5.0f);
    v.x = -1;
    ProjectOntoOutline(v, outline);
    EXPECT_FLOAT_EQ(v.GetScalar(), 0.0f);

    // Two points projecting to the same place: the later one goes first.
    tSectionPolylines input;
    tFramePolyline<cVertex> piece;
    for (const auto& p : std::vector<std::array<double, 3>>{{2, 1, 0}, {1, 0, 0}, {2, -1, 0}})
        piece.AddPoint3d(p.data());
    input.Add(piece);
    tPolyline<cVertex> result = outline;
    ReorderAlongOutline(input, result);
    ASSERT_EQ(result.GetVertexCount(), 3u);
    EXPECT_EQ(result.GetVertex(0)->x, 1.0f);
    EXPECT_EQ(result.GetVertex(1)->y, -1.0f);
    EXPECT_EQ(result.GetVertex(2)->y, 1.0f);
}

} // namespace
