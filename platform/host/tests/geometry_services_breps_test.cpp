// Brep services on shapes whose pieces are known: rectangles of planes cut
// by planes, away from the origin and turned, so that the pieces' areas,
// their loops and the points on them can be checked exactly.
#include "platform/host/geometry_services_breps.h"

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/mesh_parameters.h"
#include "platform/geometry/line_curve.h"
#include "platform/geometry/plane_surface.h"
#include "platform/host/geometry_services_sweeps.h"
#include "platform/geometry/surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace
{

constexpr double kTolerance = 0.001;

// A rectangle of the plane through `origin` spanned by x and y: frame
// coordinates [0, a] x [0, b], which are also its parameters.
std::unique_ptr<ON_Brep> Rectangle(const ON_3dPoint& origin, const ON_3dVector& x, const ON_3dVector& y, double a,
                                   double b)
{
    auto surface = std::make_unique<ON_PlaneSurface>(ON_Plane(origin, x, y));
    surface->SetExtents(0, ON_Interval(0, a), true);
    surface->SetExtents(1, ON_Interval(0, b), true);
    auto brep = std::make_unique<ON_Brep>();
    ON_Surface* s = surface.release();
    if (!brep->Create(s))
        delete s;
    return brep;
}

// Area of a piece's faces in their parameters (the planes here measure
// length), from their loops or their whole domains.
double ParameterArea(const ON_Brep& brep)
{
    double total = 0.0;
    for (int f = 0; f < brep.FaceCount(); ++f)
    {
        const ON_BrepFace& face = *brep.Face(f);
        if (!face.IsTrimmed())
        {
            total += face.SurfaceOf()->Domain(0).Length() * face.SurfaceOf()->Domain(1).Length();
            continue;
        }
        for (std::size_t l = 0; l < face.m_loops.size(); ++l)
        {
            const auto& loop = face.m_loops[l];
            double twice = 0.0;
            for (std::size_t i = 0, j = loop.size() - 1; i < loop.size(); j = i++)
                twice += loop[j].x * loop[i].y - loop[i].x * loop[j].y;
            total += (l == 0 ? 1.0 : -1.0) * std::fabs(0.5 * twice);
        }
    }
    return total;
}

struct Pieces
{
    ON_SimpleArray<ON_Brep*> list;
    ~Pieces()
    {
        for (int i = 0; i < list.Count(); ++i)
            delete list[i];
    }
};

const ON_3dPoint kFar(120.0, -45.0, 30.0);
const ON_3dVector kX = [] {
    ON_3dVector v(0.6, 0.8, 0.0);
    return v;
}();
const ON_3dVector kY(-0.8, 0.6, 0.0);

// The point of the plane rectangle at frame coordinates (u, v).
ON_3dPoint At(double u, double v, double h = 0.0)
{
    return kFar + u * kX + v * kY + h * ON_zaxis;
}

TEST(BrepSplit, ACrossingCutterGivesTwoPiecesThatTileTheFace)
{
    const auto sheet = Rectangle(kFar, kX, kY, 10.0, 6.0);
    // A wall standing across the sheet at u = 3, reaching beyond it on both sides.
    const auto wall = Rectangle(At(3.0, -2.0, -5.0), kY, ON_zaxis, 10.0, 10.0);
    Pieces pieces;
    ASSERT_TRUE(DezazBrepSplit(*sheet, *wall, kTolerance, pieces.list));
    ASSERT_EQ(pieces.list.Count(), 2);
    const double a0 = ParameterArea(*pieces.list[0]), a1 = ParameterArea(*pieces.list[1]);
    EXPECT_NEAR(std::min(a0, a1), 18.0, 1e-6);
    EXPECT_NEAR(std::max(a0, a1), 42.0, 1e-6);

    // Each point of the sheet is on exactly one piece, within the tolerance.
    const ON_Brep& small = a0 < a1 ? *pieces.list[0] : *pieces.list[1];
    const ON_Brep& large = a0 < a1 ? *pieces.list[1] : *pieces.list[0];
    EXPECT_TRUE(DezazIsPointOnBrep(small, At(1.0, 2.0), kTolerance));
    EXPECT_FALSE(DezazIsPointOnBrep(large, At(1.0, 2.0), kTolerance));
    EXPECT_TRUE(DezazIsPointOnBrep(large, At(7.0, 5.0), kTolerance));
    EXPECT_FALSE(DezazIsPointOnBrep(small, At(7.0, 5.0), kTolerance));
    // Off the sheet by more than the tolerance is on neither.
    EXPECT_FALSE(DezazIsPointOnBrep(small, At(1.0, 2.0, 0.01), kTolerance));
    EXPECT_TRUE(DezazIsPointOnBrep(small, At(1.0, 2.0, 0.0005), kTolerance));

    // Its box is that of its corners, not of the whole sheet.
    ON_BoundingBox corners(At(0, 0), At(0, 0));
    for (const ON_3dPoint& c : {At(3, 0), At(3, 6), At(0, 6)})
        corners.Union(ON_BoundingBox(c, c));
    const ON_BoundingBox box = small.BoundingBox();
    EXPECT_LT(box.m_min.DistanceTo(corners.m_min), 1e-9);
    EXPECT_LT(box.m_max.DistanceTo(corners.m_max), 1e-9);

    // A trimmed piece keeps its loops through its record.
    ON_MemoryArchive out;
    ASSERT_TRUE(small.Write(out));
    ON_MemoryArchive in(out.Buffer().data(), out.Buffer().size());
    ON_Brep back;
    ASSERT_TRUE(back.Read(in));
    EXPECT_NEAR(ParameterArea(back), 18.0, 1e-6);
    EXPECT_TRUE(DezazIsPointOnBrep(back, At(1.0, 2.0), kTolerance));
    EXPECT_FALSE(DezazIsPointOnBrep(back, At(7.0, 5.0), kTolerance));

    // Its render mesh covers only the piece.
    std::unique_ptr<ON_Mesh> mesh(small.Face(0)->CreateMesh(ON_MeshParameters()));
    ASSERT_TRUE(mesh);
    for (int v = 0; v < mesh->VertexCount(); ++v)
    {
        const ON_3dVector d = ON_3dPoint(mesh->m_V[v].x, mesh->m_V[v].y, mesh->m_V[v].z) - kFar;
        EXPECT_LE(ON_DotProduct(d, kX), 3.0 + 10.0 / 64 + 1e-4);
    }
}

TEST(BrepSplit, APieceCanBeSplitAgainAndACutterThatMissesLeavesOnePiece)
{
    const auto sheet = Rectangle(kFar, kX, kY, 10.0, 6.0);
    const auto wall = Rectangle(At(3.0, -2.0, -5.0), kY, ON_zaxis, 10.0, 10.0);
    Pieces first;
    ASSERT_TRUE(DezazBrepSplit(*sheet, *wall, kTolerance, first.list));
    ASSERT_EQ(first.list.Count(), 2);
    const ON_Brep& large = ParameterArea(*first.list[0]) > 30.0 ? *first.list[0] : *first.list[1];

    // A second wall along u at v = 4 cuts the large piece once more.
    const auto across = Rectangle(At(-1.0, 4.0, -5.0), kX, ON_zaxis, 15.0, 10.0);
    Pieces second;
    ASSERT_TRUE(DezazBrepSplit(large, *across, kTolerance, second.list));
    ASSERT_EQ(second.list.Count(), 2);
    const double b0 = ParameterArea(*second.list[0]), b1 = ParameterArea(*second.list[1]);
    EXPECT_NEAR(std::min(b0, b1), 14.0, 1e-6); // 7 x 2
    EXPECT_NEAR(std::max(b0, b1), 28.0, 1e-6); // 7 x 4

    // Far away, or only denting the sheet: one piece, the face as it was.
    const auto away = Rectangle(At(30.0, 0.0, -5.0), kY, ON_zaxis, 6.0, 10.0);
    const auto dent = Rectangle(At(3.0, 2.0, -5.0), kY, ON_zaxis, 10.0, 10.0);
    for (const ON_Brep* cutter : {away.get(), dent.get()})
    {
        Pieces one;
        ASSERT_TRUE(DezazBrepSplit(*sheet, *cutter, kTolerance, one.list));
        ASSERT_EQ(one.list.Count(), 1);
        EXPECT_FALSE(one.list[0]->Face(0)->IsTrimmed());
        EXPECT_NEAR(ParameterArea(*one.list[0]), 60.0, 1e-9);
    }
}

TEST(BrepSplit, AHoleStaysAHoleInThePiecesItIsCutInto)
{
    // A sheet with a square hole from (2, 2) to (4, 4), cut through the hole at u = 3.
    auto sheet = Rectangle(kFar, kX, kY, 10.0, 6.0);
    sheet->Face(0)->m_loops = {
        {ON_3dPoint(0, 0, 0), ON_3dPoint(10, 0, 0), ON_3dPoint(10, 6, 0), ON_3dPoint(0, 6, 0)},
        {ON_3dPoint(2, 2, 0), ON_3dPoint(4, 2, 0), ON_3dPoint(4, 4, 0), ON_3dPoint(2, 4, 0)}};
    EXPECT_FALSE(DezazIsPointOnBrep(*sheet, At(3.0, 3.0), kTolerance));
    EXPECT_TRUE(DezazIsPointOnBrep(*sheet, At(5.0, 3.0), kTolerance));
    const auto wall = Rectangle(At(3.0, -2.0, -5.0), kY, ON_zaxis, 10.0, 10.0);
    Pieces pieces;
    ASSERT_TRUE(DezazBrepSplit(*sheet, *wall, kTolerance, pieces.list));
    ASSERT_EQ(pieces.list.Count(), 2);
    const double a0 = ParameterArea(*pieces.list[0]), a1 = ParameterArea(*pieces.list[1]);
    EXPECT_NEAR(std::min(a0, a1), 18.0 - 2.0, 1e-6);
    EXPECT_NEAR(std::max(a0, a1), 42.0 - 2.0, 1e-6);
    for (int i = 0; i < 2; ++i)
    {
        EXPECT_FALSE(DezazIsPointOnBrep(*pieces.list[i], At(2.5, 3.0), kTolerance)) << i;
        EXPECT_FALSE(DezazIsPointOnBrep(*pieces.list[i], At(3.5, 3.0), kTolerance)) << i;
    }
    EXPECT_NE(DezazIsPointOnBrep(*pieces.list[0], At(1.0, 3.0), kTolerance),
              DezazIsPointOnBrep(*pieces.list[1], At(1.0, 3.0), kTolerance));
}

TEST(BrepSplit, FacesMeetingAwayFromTheCutStayTogether)
{
    // An L of two sheets along their common edge at u = 10; the wall cuts
    // only the first sheet, so one piece is its left part and the other its
    // right part with the whole second sheet.
    auto ell = Rectangle(kFar, kX, kY, 10.0, 6.0);
    const auto side = Rectangle(At(10.0, 0.0), ON_zaxis, kY, 5.0, 6.0);
    ON_SimpleArray<const ON_Brep*> both;
    both.Append(ell.get());
    both.Append(side.get());
    std::unique_ptr<ON_Brep> merged(DezazMergeBreps(both, kTolerance));
    ASSERT_TRUE(merged);
    ASSERT_EQ(merged->FaceCount(), 2);

    const auto wall = Rectangle(At(3.0, -2.0, -5.0), kY, ON_zaxis, 10.0, 10.0);
    Pieces pieces;
    ASSERT_TRUE(DezazBrepSplit(*merged, *wall, kTolerance, pieces.list));
    ASSERT_EQ(pieces.list.Count(), 2);
    const ON_Brep& withSide = pieces.list[0]->FaceCount() == 2 ? *pieces.list[0] : *pieces.list[1];
    const ON_Brep& alone = pieces.list[0]->FaceCount() == 2 ? *pieces.list[1] : *pieces.list[0];
    ASSERT_EQ(withSide.FaceCount(), 2);
    EXPECT_NEAR(ParameterArea(withSide), 42.0 + 30.0, 1e-6);
    EXPECT_NEAR(ParameterArea(alone), 18.0, 1e-6);
    EXPECT_TRUE(DezazIsPointOnBrep(withSide, At(10.0, 3.0, 2.0), kTolerance));
}

TEST(BrepSplit, ARationalSurfaceIsCutWhereThePlaneCrossesIt)
{
    // Half a cylinder of radius 5 about a vertical axis, 10 high, cut by a
    // level sheet at height 4: a band below and a band above.
    const ON_3dPoint foot = kFar;
    const ON_LineCurve side(foot + ON_3dVector(5, 0, 0), foot + ON_3dVector(5, 0, 10));
    std::unique_ptr<ON_Surface> wall(
        DezazRevolve(&side, ON_Line(foot, foot + ON_zaxis), ON_Interval(0.0, 3.14159265358979323846), false, 0));
    ASSERT_TRUE(wall);
    ON_Brep cylinder;
    ON_Surface* s = wall.release();
    ASSERT_TRUE(cylinder.Create(s));
    const auto level = Rectangle(foot + ON_3dVector(-10, -10, 4), ON_xaxis, ON_yaxis, 20, 20);
    Pieces pieces;
    ASSERT_TRUE(DezazBrepSplit(cylinder, *level, kTolerance, pieces.list));
    ASSERT_EQ(pieces.list.Count(), 2);
    const auto onCylinder = [&](double angle, double z) {
        return foot + ON_3dVector(5 * std::cos(angle), 5 * std::sin(angle), z);
    };
    for (const double angle : {0.3, 1.6, 2.9})
    {
        const bool lowOnFirst = DezazIsPointOnBrep(*pieces.list[0], onCylinder(angle, 2.0), kTolerance);
        EXPECT_NE(lowOnFirst, DezazIsPointOnBrep(*pieces.list[1], onCylinder(angle, 2.0), kTolerance)) << angle;
        EXPECT_NE(lowOnFirst, DezazIsPointOnBrep(*pieces.list[0], onCylinder(angle, 7.0), kTolerance)) << angle;
        EXPECT_EQ(lowOnFirst, DezazIsPointOnBrep(*pieces.list[1], onCylinder(angle, 7.0), kTolerance)) << angle;
    }
    // The cut runs along the height of the sheet: both pieces reach it.
    for (int i = 0; i < 2; ++i)
    {
        const ON_BoundingBox box = pieces.list[i]->BoundingBox();
        EXPECT_NEAR(box.m_min.z == foot.z ? box.m_max.z : box.m_min.z, foot.z + 4.0, 1e-6) << i;
    }
}

TEST(BrepServices, BadInputIsRefusedAndNothingIsAppended)
{
    const auto sheet = Rectangle(kFar, kX, kY, 10.0, 6.0);
    ON_Brep empty;
    Pieces pieces;
    EXPECT_FALSE(DezazBrepSplit(*sheet, empty, kTolerance, pieces.list));
    EXPECT_FALSE(DezazBrepSplit(empty, *sheet, kTolerance, pieces.list));
    EXPECT_FALSE(DezazBrepSplit(*sheet, *sheet, 0.0, pieces.list));
    EXPECT_EQ(pieces.list.Count(), 0);

    ON_SimpleArray<const ON_Brep*> none;
    EXPECT_EQ(DezazMergeBreps(none, kTolerance), nullptr);
    ON_SimpleArray<const ON_Brep*> withNull;
    withNull.Append(sheet.get());
    withNull.Append(nullptr);
    EXPECT_EQ(DezazMergeBreps(withNull, kTolerance), nullptr);
    ON_SimpleArray<ON_Brep*> joined;
    EXPECT_FALSE(DezazJoinBreps(withNull, joined, kTolerance));
    EXPECT_EQ(joined.Count(), 0);
}

TEST(BrepJoin, BrepsMeetingAlongAnEdgeJoinAndOthersStayApart)
{
    const auto a = Rectangle(kFar, kX, kY, 10.0, 6.0);
    const auto b = Rectangle(At(10.0, 0.0), ON_zaxis, kY, 5.0, 6.0); // shares the edge u = 10
    const auto c = Rectangle(At(10.0, 6.0), kX, kY, 4.0, 4.0);       // touches a only at a corner
    const auto d = Rectangle(At(50.0, 50.0), kX, kY, 1.0, 1.0);      // far away
    ON_SimpleArray<const ON_Brep*> in;
    for (const ON_Brep* brep : {a.get(), b.get(), c.get(), d.get()})
        in.Append(brep);
    Pieces joined;
    ASSERT_TRUE(DezazJoinBreps(in, joined.list, kTolerance));
    // a and b join; c meets a and b only at the corner point (10, 6).
    ASSERT_EQ(joined.list.Count(), 3);
    EXPECT_EQ(joined.list[0]->FaceCount(), 2);
    EXPECT_EQ(joined.list[1]->FaceCount(), 1);
    EXPECT_EQ(joined.list[2]->FaceCount(), 1);

    ON_SimpleArray<const ON_Brep*> one;
    one.Append(d.get());
    Pieces single;
    ASSERT_TRUE(DezazJoinBreps(one, single.list, kTolerance));
    ASSERT_EQ(single.list.Count(), 1);
    EXPECT_NEAR(ParameterArea(*single.list[0]), 1.0, 1e-12);
}

TEST(BrepRecords, DamagedLoopsAreRefusedAndLeaveTheBrepUnchanged)
{
    auto sheet = Rectangle(kFar, kX, kY, 10.0, 6.0);
    sheet->Face(0)->m_loops = {{ON_3dPoint(0, 0, 0), ON_3dPoint(5, 0, 0), ON_3dPoint(5, 5, 0)}};
    ON_MemoryArchive out;
    ASSERT_TRUE(sheet->Write(out));
    const std::vector<std::uint8_t> bytes = out.Buffer();
    ON_Brep target;
    // Every shortened record fails cleanly.
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
    {
        ON_MemoryArchive in(bytes.data(), cut);
        EXPECT_FALSE(target.Read(in)) << cut;
    }
    EXPECT_EQ(target.FaceCount(), 0);
    ON_MemoryArchive whole(bytes.data(), bytes.size());
    ASSERT_TRUE(target.Read(whole));
    EXPECT_NEAR(ParameterArea(target), 12.5, 1e-12);
}

} // namespace
