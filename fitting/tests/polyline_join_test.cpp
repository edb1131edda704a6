#include "fitting/polyline_join.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "section_meshes.h"

using section_meshes::Arc;
using section_meshes::Piece;

namespace
{

using section_meshes::kPi;

TEST(PolylineJoin, NearestOpenEndPrefersTheCloserEndAndSkipsClosedPieces)
{
    tSectionPolylines c;
    c.Add(Piece({{0, 0}, {5, 0}}));
    c.Add(Piece({{9, 0}, {6, 0}}));
    c.Add(Piece({{5.5f, 0}, {7, 0}}));
    const float at[3] = {5.2f, 0, 0};
    stNearestEnd n = FindNearestOpenEnd(c, at, 1.0f);
    EXPECT_EQ(n.index, 0);
    EXPECT_EQ(n.end, ePolylineEnd::last);
    c[0].firstFlag = 0;
    n = FindNearestOpenEnd(c, at, 1.0f);
    EXPECT_EQ(n.index, 2);
    EXPECT_EQ(n.end, ePolylineEnd::first);
    EXPECT_NEAR(n.squaredDistance, 0.09, 1e-6);
    EXPECT_EQ(FindNearestOpenEnd(c, at, 0.1f).index, -1);
}

TEST(PolylineJoin, PiecesInAnyDirectionBecomeOneOrderedPolyline)
{
    tSectionPolylines c;
    c.Add(Piece({{4, 0}, {3, 0}}));          // reversed, to go after the longest
    c.Add(Piece({{0, 0}, {1, 0}, {2, 0}})); // the longest
    c.Add(Piece({{-1, 0}, {-0.5f, 0}}));    // before it, gap 0.5
    c.Add(Piece({{2, 0}, {2.5f, 0}}));      // continues it, coinciding end
    JoinPolylines(c, 0.75f, 0.0);
    ASSERT_EQ(c.GetCount(), 1u);
    const tFramePolyline<cVertex>& p = c[0];
    ASSERT_EQ(p.GetVertexCount(), 8u);
    for (std::uint32_t i = 1; i < p.GetVertexCount(); ++i)
        EXPECT_GT(p.GetVertex(i)->x, p.GetVertex(i - 1)->x) << i;
    EXPECT_EQ(p.firstFlag, 0);
}

TEST(PolylineJoin, GapsBeyondTheToleranceStayAndEmptyPiecesGo)
{
    tSectionPolylines c;
    c.Add(Piece({{0, 0}, {1, 0}}));
    c.Add(tFramePolyline<cVertex>());
    c.Add(Piece({{3, 0}, {4, 0}}));
    JoinPolylines(c, 1.5f, 0.0);
    EXPECT_EQ(c.GetCount(), 2u);
    JoinPolylines(c, 0.0f, 0.0);
    EXPECT_EQ(c.GetCount(), 2u) << "a zero tolerance joins nothing";
}

TEST(PolylineJoin, FoldBackWithinTheAngleIsNotBridged)
{
    // The second piece starts past the end of the first and runs back at 10
    // degrees to it.
    const float c10 = static_cast<float>(std::cos(10 * kPi / 180)), s10 = static_cast<float>(std::sin(10 * kPi / 180));
    const auto make = [&] {
        tSectionPolylines c;
        c.Add(Piece({{0, 0}, {5, 0}}));
        c.Add(Piece({{5.1f, 0}, {5.1f - c10, s10}}));
        return c;
    };
    tSectionPolylines refused = make();
    JoinPolylines(refused, 1.0f, kPi / 6);
    EXPECT_EQ(refused.GetCount(), 2u);
    tSectionPolylines joined = make();
    JoinPolylines(joined, 1.0f, 0.0);
    EXPECT_EQ(joined.GetCount(), 1u);
    // A piece that carries straight on is bridged with the angle test on.
    tSectionPolylines straight;
    straight.Add(Piece({{0, 0}, {5, 0}}));
    straight.Add(Piece({{5.1f, 0}, {6, 0}}));
    JoinPolylines(straight, 1.0f, kPi / 6);
    EXPECT_EQ(straight.GetCount(), 1u);
}

} // namespace
