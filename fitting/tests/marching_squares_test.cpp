#include "fitting/marching_squares.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

#include "section_meshes.h"

using section_meshes::Arc;
using section_meshes::Piece;

namespace
{

using section_meshes::kPi;

tSectionPolylines Outline(const tSectionPolylines& input, float cell)
{
    cMarchingSquares squares(cell);
    EXPECT_TRUE(squares.EncodePolylines(input));
    squares.ClearContourStore();
    tSectionPolylines out;
    if (squares.GetCutCellCount() > 0)
        squares.Polygonize(out);
    return out;
}

// Largest distance of the outline's points from the circle of radius r about
// (cx, cy).
double WorstCircleDistance(const tFramePolyline<cVertex>& p, double cx, double cy, double r)
{
    double worst = 0;
    for (const cVertex& v : p.vertices)
        worst = std::max(worst, std::fabs(std::hypot(v.x - cx, v.y - cy) - r));
    return worst;
}

TEST(MarchingSquares, SegmentCellTestCountsBoundariesAsInside)
{
    // Centre (0.5, 0.5), half size 0.5.
    const auto hit = [](float x0, float y0, float x1, float y1) {
        return cMarchingSquares::SegmentIntersectsCell(x0, y0, x1, y1, 0.5f, 0.5f, 0.5f, 0.5f, FLT_EPSILON);
    };
    EXPECT_TRUE(hit(0.2f, 0.2f, 5, 5));   // starts inside
    EXPECT_TRUE(hit(-1, 0.5f, 2, 0.5f));  // horizontal through
    EXPECT_TRUE(hit(-1, 1, 2, 1));        // along the top boundary
    EXPECT_TRUE(hit(0, -1, 0, 2));        // along the left boundary
    EXPECT_FALSE(hit(-1, 1.01f, 2, 1.01f));
    EXPECT_TRUE(hit(-0.5f, 0.3f, 0.4f, 1.5f));  // clips the top-left corner
    EXPECT_FALSE(hit(-0.5f, 1.2f, 0.2f, 2.0f)); // passes above the corner
    EXPECT_FALSE(hit(2, 2, 3, 3));
    EXPECT_TRUE(hit(-1, -1, 2, 2)); // the diagonal
}

TEST(MarchingSquares, ShortSegmentsAndEmptyInputCutNothing)
{
    tSectionPolylines tiny;
    tiny.Add(Piece({{0, 0}, {0.002, 0}}));
    cMarchingSquares squares(0.5f);
    ASSERT_TRUE(squares.EncodePolylines(tiny));
    EXPECT_EQ(squares.GetCutCellCount(), 0u);
    tSectionPolylines none;
    EXPECT_TRUE(Outline(none, 0.5f).IsEmpty());
}

TEST(MarchingSquares, RefusesAMissingCell)
{
    tSectionPolylines input;
    input.Add(Piece({{0, 0}, {1, 0}}));
    cMarchingSquares zero(0.0f);
    EXPECT_FALSE(zero.EncodePolylines(input));
    EXPECT_EQ(zero.GetCutCellCount(), 0u);
    cMarchingSquares nan(NAN);
    EXPECT_FALSE(nan.EncodePolylines(input));
    // A cell far too small for the polylines' extent is refused at once.
    tSectionPolylines long_;
    long_.Add(Piece({{0, 0}, {1000, 0.5}}));
    cMarchingSquares tiny(1e-5f);
    EXPECT_FALSE(tiny.EncodePolylines(long_));
    EXPECT_EQ(tiny.GetCutCellCount(), 0u);
    // Within the grid's span, a segment crossing more cells than one outline
    // may hold is refused before it fills the octree.
    tSectionPolylines diagonal;
    diagonal.Add(Piece({{0, 0}, {8000, 8000}}));
    cMarchingSquares fine(0.001f);
    EXPECT_FALSE(fine.EncodePolylines(diagonal));
    EXPECT_LT(fine.CountLeaves(), 2u);
}

TEST(MarchingSquares, SegmentAlongACellBoundaryCutsBothSides)
{
    tSectionPolylines input;
    input.Add(Piece({{0.1, 1.0}, {0.9, 1.0}})); // on y = 1 with cell 1
    cMarchingSquares squares(1.0f);
    ASSERT_TRUE(squares.EncodePolylines(input));
    EXPECT_EQ(squares.GetCutCellCount(), 2u);
    tSectionPolylines upright;
    upright.Add(Piece({{3.0, 0.2}, {3.0, 0.8}}));
    cMarchingSquares columns(1.0f);
    ASSERT_TRUE(columns.EncodePolylines(upright));
    EXPECT_EQ(columns.GetCutCellCount(), 2u);
}

TEST(MarchingSquares, StraightSegmentGivesOneOutlineOnIt)
{
    tSectionPolylines input;
    input.Add(Piece({{0.13, 0.37}, {9.71, 4.02}}));
    const tSectionPolylines out = Outline(input, 0.5f);
    ASSERT_EQ(out.GetCount(), 1u);
    const tFramePolyline<cVertex>& line = out[0];
    EXPECT_GT(line.GetVertexCount(), 15u);
    // Unit normal of the segment; every contour vertex lies on it.
    const double dx = 9.71 - 0.13, dy = 4.02 - 0.37, l = std::hypot(dx, dy);
    for (const cVertex& v : line.vertices)
        EXPECT_NEAR(((v.x - 0.13) * dy - (v.y - 0.37) * dx) / l, 0.0, 1e-5);
}

TEST(MarchingSquares, DoubledAndBrokenCircleGivesOneOutline)
{
    tSectionPolylines input;
    input.Add(Piece(Arc(10, 0, kPi, 90)));
    input.Add(Piece(Arc(10, 0.8 * kPi, 2.1 * kPi, 120)));
    input.Add(Piece(Arc(10, 1.2 * kPi, 0.3 * kPi, 80))); // overlapping, reversed
    const float cell = 0.5f;
    const tSectionPolylines out = Outline(input, cell);
    ASSERT_EQ(out.GetCount(), 1u);
    EXPECT_LT(WorstCircleDistance(out[0], 0, 0, 10), cell);
    // It goes once around: its length is close to the circumference, twice
    // at most for the two sides of a thin band.
    EXPECT_GT(out[0].GetLength(), 2 * kPi * 10 * 0.9);
}

TEST(MarchingSquares, FarFromTheOriginWithACentimetreCell)
{
    // At 1e6 a float spacing of 0.01 no longer adds up; the walk by integer
    // index must still end and the corners stay distinct.
    tSectionPolylines input;
    input.Add(Piece(Arc(1.0, 0, 1.5 * kPi, 200), 1e6, -2e6));
    const tSectionPolylines out = Outline(input, 0.01f);
    ASSERT_EQ(out.GetCount(), 1u);
    EXPECT_LT(WorstCircleDistance(out[0], 1e6, -2e6, 1.0), 0.2);
    EXPECT_GT(out[0].GetVertexCount(), 100u);
}

TEST(MarchingSquares, TinyPartsWithTinyCells)
{
    tSectionPolylines input;
    input.Add(Piece(Arc(0.002, 0, kPi, 60)));
    const tSectionPolylines out = Outline(input, 0.0002f);
    ASSERT_EQ(out.GetCount(), 1u);
    EXPECT_GT(out[0].GetVertexCount(), 10u);
    EXPECT_LT(WorstCircleDistance(out[0], 0, 0, 0.002), 0.0002);
}

TEST(MarchingSquares, FramesAreApplied)
{
    // The same arc stored in world coordinates under a shifted frame is
    // outlined in the frame's coordinates.
    tSectionPolylines input;
    tFramePolyline<cVertex> piece = Piece(Arc(5, 0, kPi, 60), 100, 200);
    piece.frame[3] = 100;
    piece.frame[7] = 200;
    input.Add(piece);
    const tSectionPolylines out = Outline(input, 0.25f);
    ASSERT_EQ(out.GetCount(), 1u);
    EXPECT_LT(WorstCircleDistance(out[0], 0, 0, 5), 0.25);
}

} // namespace
