#include "core/vertex_grid.h"

#include "core/frame_math.h"
#include "core/used_flags.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <set>
#include <vector>

namespace
{

// A flat lattice: x = column * h, y = row * h, z = height.
std::unique_ptr<cVertexGrid> MakeFlatGrid(std::uint32_t rows, std::uint32_t cols, float h = 1.0f, float height = 0.0f)
{
    auto grid = std::make_unique<cVertexGrid>(rows, cols, false);
    for (std::uint32_t c = 0; c < cols; ++c)
    {
        for (std::uint32_t r = 0; r < rows; ++r)
        {
            cVertex* v = grid->GetVertex(grid->IndexOf(r, c));
            v->x = static_cast<float>(c) * h;
            v->y = static_cast<float>(r) * h;
            v->z = height;
        }
    }
    return grid;
}

void MakeEmpty(cVertexGrid& grid, std::uint32_t r, std::uint32_t c)
{
    cVertex* v = grid.GetVertex(grid.IndexOf(r, c));
    v->x = FLT_MAX;
    v->flags |= kVertexFlagExcluded;
}

std::vector<const tTriangle<cVertex>*> Collect(ITriIterator& it, std::vector<tTriangle<cVertex>>& storage)
{
    storage.clear();
    for (it.First(); !it.IsDone(); it.Next())
        storage.push_back(*it.GetTriangle());
    std::vector<const tTriangle<cVertex>*> out;
    for (const auto& t : storage)
        out.push_back(&t);
    return out;
}

std::uint32_t CountTriangles(cVertexGrid& grid)
{
    auto it = grid.CreateTriIterator();
    std::vector<tTriangle<cVertex>> storage;
    return static_cast<std::uint32_t>(Collect(*it, storage).size());
}

bool HasCorner(const tTriangle<cVertex>& t, const cVertex* v)
{
    return t.corner[0] == v || t.corner[1] == v || t.corner[2] == v;
}

TEST(VertexGrid, SmallGridsAtAStepYieldNoTriangles)
{
    auto line = MakeFlatGrid(1, 6);
    line->SetEdgeLengthMode(kGridEdgeLengthUnlimited);
    line->UpdateGrid();
    auto it = line->CreateTriIterator();
    EXPECT_FALSE(it->HasTriangles());
    EXPECT_EQ(it->GetCount(), 0u);
    EXPECT_TRUE(it->IsDone());

    auto square = MakeFlatGrid(2, 2);
    square->SetMaxEdgeLength(10.0);
    square->SetStep(2);
    auto stepped = square->CreateTriIterator();
    EXPECT_FALSE(stepped->HasTriangles());
    EXPECT_EQ(stepped->GetCount(), 0u);
    EXPECT_TRUE(stepped->IsDone());
}

TEST(VertexGrid, FullGridSplitsEachCellAlongItsShorterDiagonal)
{
    auto grid = MakeFlatGrid(3, 3);
    // Skew the upper-right cell so that its BC diagonal is the shorter one.
    grid->GetVertex(grid->IndexOf(2, 2))->x = 3.0f;
    grid->GetVertex(grid->IndexOf(2, 2))->y = 3.0f;
    grid->SetEdgeLengthMode(kGridEdgeLengthUnlimited);
    ASSERT_TRUE(grid->UpdateGrid());
    EXPECT_EQ(CountTriangles(*grid), 8u);

    const double limit2 = 1e30;
    tCellTriangles cell;
    // Square cell: equal diagonals split along AD, marked as the shared edge.
    ASSERT_EQ(grid->TriangulateCell(0, 0, limit2, cell), 2u);
    const cVertex* A = grid->GetVertex(grid->IndexOf(0, 0));
    const cVertex* D = grid->GetVertex(grid->IndexOf(1, 1));
    EXPECT_TRUE(HasCorner(cell[0], A) && HasCorner(cell[0], D));
    EXPECT_TRUE(HasCorner(cell[1], A) && HasCorner(cell[1], D));
    EXPECT_EQ(cell[0].edgeFlags[0], 1);
    EXPECT_EQ(cell[1].edgeFlags[2], 1);
    EXPECT_EQ(cell[0].corner[0], A);
    EXPECT_EQ(cell[0].corner[1], D);

    // Skewed cell: split along BC.
    ASSERT_EQ(grid->TriangulateCell(1, 1, limit2, cell), 2u);
    const cVertex* B = grid->GetVertex(grid->IndexOf(2, 1));
    const cVertex* C = grid->GetVertex(grid->IndexOf(1, 2));
    EXPECT_EQ(cell[0].corner[0], B);
    EXPECT_EQ(cell[0].corner[1], C);
    EXPECT_EQ(cell[0].edgeFlags[0], 1);
    EXPECT_EQ(cell[1].edgeFlags[1], 1);
}

TEST(VertexGrid, EmptyCornersLeaveOneTriangleOrNone)
{
    auto grid = MakeFlatGrid(2, 2);
    tCellTriangles cell;
    MakeEmpty(*grid, 1, 1);
    ASSERT_EQ(grid->TriangulateCell(0, 0, 100.0, cell), 1u);
    for (const cVertex* corner : cell[0].corner)
        EXPECT_FALSE(corner->IsExcluded());
    EXPECT_EQ(cell[0].edgeFlags[0] + cell[0].edgeFlags[1] + cell[0].edgeFlags[2], 0);

    MakeEmpty(*grid, 0, 1);
    EXPECT_EQ(grid->TriangulateCell(0, 0, 100.0, cell), 0u);

    // A long edge removes the triangles that use it.
    auto far = MakeFlatGrid(2, 2);
    far->GetVertex(far->IndexOf(1, 1))->z = 50.0f;
    EXPECT_EQ(far->TriangulateCell(0, 0, 4.0, cell), 1u);
}

TEST(VertexGrid, NormalsOfAFlatGridAreUnitAndShared)
{
    auto grid = MakeFlatGrid(4, 5, 0.5f);
    ASSERT_TRUE(grid->UpdateGrid());
    EXPECT_GT(grid->GetMaxEdgeLength(), 0.5);
    for (std::uint32_t i = 0; i < grid->GetVertexCount(); ++i)
    {
        const cVertex* v = grid->GetVertex(i);
        EXPECT_FALSE(v->IsExcluded());
        EXPECT_NEAR(std::fabs(v->nz), 1.0f, 1e-5f);
        EXPECT_EQ(v->nz, grid->GetVertex(0)->nz); // one orientation everywhere
    }
    // The borrowed bit went back clean.
    for (std::uint32_t i = 0; i < grid->GetVertexCount(); ++i)
        EXPECT_EQ(grid->GetVertex(i)->flags, 0u);
}

TEST(VertexGrid, SpacingIsMeanPlusThreeDeviations)
{
    auto grid = MakeFlatGrid(3, 3, 2.0f);
    // Each of the 4 inner points sees distances 2, 2 and 2 sqrt 2.
    const double d[3] = {2.0, 2.0, 2.0 * std::sqrt(2.0)};
    const double mean = (d[0] + d[1] + d[2]) / 3.0;
    double spread = 0.0;
    for (double x : d)
        spread += (x - mean) * (x - mean);
    EXPECT_NEAR(grid->ComputeSpacing(), mean + 3.0 * std::sqrt(spread / 3.0), 1e-12);
    MakeEmpty(*grid, 0, 0);
    MakeEmpty(*grid, 1, 1);
    MakeEmpty(*grid, 2, 2);
    EXPECT_GT(grid->ComputeSpacing(), 0.0);
    auto single = MakeFlatGrid(1, 4);
    EXPECT_EQ(single->ComputeSpacing(), 0.0);
}

TEST(VertexGrid, IsolatedVertexIsExcludedByUpdate)
{
    auto grid = MakeFlatGrid(5, 5);
    // Vertex (4, 4) keeps its position but all its neighbours are empty.
    MakeEmpty(*grid, 3, 3);
    MakeEmpty(*grid, 3, 4);
    MakeEmpty(*grid, 4, 3);
    grid->GetVertex(grid->IndexOf(4, 4))->z = 0.0f;
    ASSERT_TRUE(grid->UpdateGrid());
    const cVertex* lonely = grid->GetVertex(grid->IndexOf(4, 4));
    EXPECT_TRUE(lonely->IsExcluded());
    auto points = grid->CreatePointsIterator();
    for (points->First(); !points->IsDone(); points->Next())
        EXPECT_NE(points->GetVertex(), lonely);

    // Walks from it find nothing else.
    EXPECT_EQ(grid->MarkConnectedVertices(lonely, 0x10, true), 1u);
    EXPECT_NE(lonely->flags & 0x10, 0u);
}

TEST(VertexGrid, ACorruptPointIsDroppedWithoutSpoilingTheGrid)
{
    // One point with a NaN coordinate must not make the spacing, and with it
    // the edge limit, NaN: that would exclude every vertex of the grid.
    auto grid = MakeFlatGrid(5, 5);
    cVertex* corrupt = grid->GetVertex(grid->IndexOf(2, 2));
    corrupt->z = NAN;
    ASSERT_TRUE(grid->UpdateGrid());
    EXPECT_TRUE(std::isfinite(grid->GetSpacing()));
    EXPECT_TRUE(corrupt->IsExcluded());
    // The four cells around it keep the one triangle without it, as with an
    // empty corner; the twelve others keep both.
    EXPECT_EQ(CountTriangles(*grid), 12u * 2u + 4u);
    EXPECT_FALSE(grid->GetVertex(grid->IndexOf(1, 1))->IsExcluded());
}

TEST(VertexGrid, AngleFilterDropsTrianglesFacingAwayFromTheScanner)
{
    // The scanner sits at the origin, the cell 10 units above it, so its flat
    // triangles face the scanner (normals point down).
    auto grid = MakeFlatGrid(2, 2, 1.0f, 10.0f);
    grid->GetVertex(grid->IndexOf(0, 0))->z = 16.0f; // A tilts the first triangle away
    grid->SetEdgeLengthMode(kGridEdgeLengthUnlimited);
    grid->UpdateGrid();
    grid->SetAngleFilter(true);
    auto it = grid->CreateTriIterator();
    std::vector<tTriangle<cVertex>> storage;
    auto triangles = Collect(*it, storage);
    ASSERT_EQ(triangles.size(), 1u);
    EXPECT_FALSE(HasCorner(*triangles[0], grid->GetVertex(grid->IndexOf(0, 0))));
    grid->SetAngleFilter(false);
    EXPECT_EQ(CountTriangles(*grid), 2u);
}

TEST(VertexGrid, BoundaryVerticesOfFullGridAreTheSidesWithoutCorners)
{
    auto grid = MakeFlatGrid(5, 6);
    ASSERT_TRUE(grid->UpdateGrid());
    tVertexDeque border;
    EXPECT_EQ(grid->GetBoundaryVertices(border), 2u * 3 + 2u * 4);
    for (const cVertex* v : border)
    {
        const std::uint32_t r = v->index % 5, c = v->index / 5;
        EXPECT_TRUE(r == 0 || r == 4 || c == 0 || c == 5);
        EXPECT_FALSE((r == 0 || r == 4) && (c == 0 || c == 5));
    }
}

TEST(VertexGrid, HoleIsRingedByBoundaryVerticesAndAClosedPolyline)
{
    auto grid = MakeFlatGrid(7, 7);
    MakeEmpty(*grid, 3, 3);
    ASSERT_TRUE(grid->UpdateGrid());
    tVertexDeque border;
    grid->GetBoundaryVertices(border);
    std::set<std::uint32_t> indices;
    for (const cVertex* v : border)
        indices.insert(v->index);
    EXPECT_EQ(border.size(), 20u + 4u);
    for (auto [r, c] : {std::pair{2u, 3u}, {4u, 3u}, {3u, 2u}, {3u, 4u}})
        EXPECT_TRUE(indices.count(grid->IndexOf(r, c))) << r << "," << c;
    EXPECT_FALSE(indices.count(grid->IndexOf(2, 2)));

    tBoundaryPolylines polylines;
    ASSERT_GT(grid->GetBoundaryPolylines(polylines), 0u);
    bool holeLoop = false;
    for (const auto& polyline : polylines.items)
    {
        if (polyline.GetVertexCount() != 5)
            continue;
        const cVertex& first = polyline.vertices.front();
        const cVertex& last = polyline.vertices.back();
        std::set<std::uint32_t> loop;
        for (const cVertex& v : polyline.vertices)
            loop.insert(v.index);
        if (first.index == last.index && loop.size() == 4 && loop.count(grid->IndexOf(2, 3)))
            holeLoop = true;
    }
    EXPECT_TRUE(holeLoop);
    for (std::uint32_t i = 0; i < grid->GetVertexCount(); ++i)
        EXPECT_EQ(grid->GetVertex(i)->flags & ~kVertexFlagExcluded, 0u) << i;
}

TEST(VertexGrid, NeighboursConnectionAndArea)
{
    auto grid = MakeFlatGrid(4, 4);
    MakeEmpty(*grid, 1, 1);
    ASSERT_TRUE(grid->UpdateGrid());
    tVertexDeque ring;
    EXPECT_EQ(grid->GetVertexNeighboursByIndex(grid->IndexOf(0, 0), 1, ring), 2u); // (1,1) is empty
    EXPECT_EQ(grid->GetVertexNeighboursByIndex(grid->IndexOf(2, 2), 1, ring), 7u);
    EXPECT_EQ(grid->GetVertexNeighboursByIndex(grid->IndexOf(2, 2), 2, ring), 14u);
    EXPECT_EQ(grid->GetVertexNeighboursByIndex(999, 1, ring), 0u);

    // A foreign vertex at the same index is not this grid's.
    cVertex stranger = *grid->GetVertex(6);
    stranger.x += 1.0f;
    ring.assign(3, nullptr);
    EXPECT_EQ(grid->GetVertexNeighbours(&stranger, 1, ring), 0u);
    EXPECT_EQ(ring.size(), 3u);

    tArray<cVertex*> connected;
    EXPECT_EQ(grid->GetConnectedVerticesByIndex(0, connected), 15u);
    EXPECT_EQ(grid->MarkConnectedVerticesByIndex(0, 0x20, true), 15u);

    // A copy in place (boundary polylines hold copies) is taken as the
    // vertex, as the neighbours and the mesh take it; the moved one is not.
    const cVertex copy = *grid->GetVertex(0);
    EXPECT_EQ(grid->GetConnectedVertices(&copy, connected), 15u);
    EXPECT_EQ(connected[0], grid->GetVertex(0));
    EXPECT_EQ(grid->MarkConnectedVertices(&copy, 0x40, true), 15u);
    EXPECT_EQ(grid->GetConnectedVertices(&stranger, connected), 0u);
    EXPECT_EQ(grid->MarkConnectedVertices(&stranger, 0x40, true), 0u);

    // The whole 3 x 3 grid of unit cells minus the two triangles at the hole
    // corner... measured on a full grid: area 9.
    auto full = MakeFlatGrid(4, 4);
    ASSERT_TRUE(full->UpdateGrid());
    tArray<cVertex*> all;
    for (std::uint32_t i = 0; i < full->GetVertexCount(); ++i)
        all.PushBack(full->GetVertex(i));
    EXPECT_NEAR(full->GetAreaOfVertexSet(all), 9.0, 1e-9);
    const double limit = 2.0;
    const double partial = full->GetAreaOfVertexSet(all, &limit);
    EXPECT_GT(partial, limit);
    EXPECT_LT(partial, 9.0);
    for (std::uint32_t i = 0; i < full->GetVertexCount(); ++i)
        EXPECT_EQ(full->GetVertex(i)->flags, 0u);
}

TEST(VertexGrid, TransformKeepsScanFramePositionsAndTheScanner)
{
    auto grid = MakeFlatGrid(3, 4, 1.0f, 10.0f);
    grid->UpdateGrid();
    auto before = grid->CreatePointsIterator();
    std::vector<double> original;
    for (before->First(); !before->IsDone(); before->Next())
    {
        double p[3];
        before->GetPoint(p);
        original.insert(original.end(), p, p + 3);
    }
    double m[12];
    const double axis[3] = {0.3 / std::sqrt(0.98), -0.5 / std::sqrt(0.98), 0.8 / std::sqrt(0.98)};
    RotationMatrixAxisAngle(m, 0.7, axis);
    m[3] = 5.0, m[7] = -2.0, m[11] = 1.5;
    grid->Transform(m);

    auto after = grid->CreatePointsIterator();
    std::size_t k = 0;
    for (after->First(); !after->IsDone(); after->Next(), k += 3)
    {
        double p[3];
        after->GetPoint(p);
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(p[a], original[k + a], 1e-4);
    }
    EXPECT_EQ(k, original.size());
    float scanner[3];
    grid->GetScannerPosition(scanner);
    EXPECT_NEAR(scanner[0], 5.0f, 1e-5f);
    EXPECT_NEAR(scanner[1], -2.0f, 1e-5f);
    EXPECT_NEAR(scanner[2], 1.5f, 1e-5f);
    const double* f = grid->GetScanFrame();
    for (int i = 0; i < 3; ++i)
    {
        for (int j = 0; j < 3; ++j)
        {
            const double dot = f[4 * i] * f[4 * j] + f[4 * i + 1] * f[4 * j + 1] + f[4 * i + 2] * f[4 * j + 2];
            EXPECT_NEAR(dot, i == j ? 1.0 : 0.0, 1e-12);
        }
    }
}

TEST(VertexGrid, ScanFrameStaysARotationUnderANonRigidMove)
{
    auto grid = MakeFlatGrid(3, 3);
    double m[12];
    MakeIdentity3x4(m);
    m[0] = 2.0;  // stretch x
    m[1] = 0.3;  // and shear
    m[10] = 0.5; // squash z
    for (int round = 0; round < 3; ++round)
        grid->Transform(m);
    const double* f = grid->GetScanFrame();
    double det = f[0] * (f[5] * f[10] - f[6] * f[9]) - f[1] * (f[4] * f[10] - f[6] * f[8]) +
                 f[2] * (f[4] * f[9] - f[5] * f[8]);
    EXPECT_NEAR(det, 1.0, 1e-9);
    for (int i = 0; i < 3; ++i)
    {
        for (int j = 0; j < 3; ++j)
        {
            const double dot = f[4 * i] * f[4 * j] + f[4 * i + 1] * f[4 * j + 1] + f[4 * i + 2] * f[4 * j + 2];
            EXPECT_NEAR(dot, i == j ? 1.0 : 0.0, 1e-9);
        }
    }
}

TEST(VertexGrid, SteppedPointIteratorVisitsLatticePointsRowByRow)
{
    auto grid = MakeFlatGrid(5, 5);
    grid->SetStep(2);
    MakeEmpty(*grid, 0, 0);
    auto it = grid->CreatePointsIterator();
    EXPECT_EQ(it->GetCount(), 25u);
    std::vector<std::uint32_t> visited;
    for (it->First(); !it->IsDone(); it->Next())
        visited.push_back(it->GetVertex()->index);
    const std::vector<std::uint32_t> expected = {grid->IndexOf(0, 2), grid->IndexOf(0, 4), grid->IndexOf(2, 0),
                                                 grid->IndexOf(2, 2), grid->IndexOf(2, 4), grid->IndexOf(4, 0),
                                                 grid->IndexOf(4, 2), grid->IndexOf(4, 4)};
    EXPECT_EQ(visited, expected);
}

TEST(VertexGrid, SizesThatDoNotFitAreRefused)
{
    cVertexGrid grid(3, 4, true);
    EXPECT_EQ(grid.GetVertexCount(), 12u);
    EXPECT_TRUE(grid.GetVertex(7)->IsExcluded());
    EXPECT_EQ(grid.GetVertex(7)->index, 7u);
    EXPECT_FALSE(grid.SetSize(0x10000, 0x10000, false));
    EXPECT_EQ(grid.GetRows(), 3u);
    EXPECT_EQ(grid.GetCols(), 4u);
    EXPECT_EQ(grid.GetVertexCount(), 12u);
    // Nothing usable: no normals, no update.
    EXPECT_FALSE(grid.UpdateGrid());
    cVertexGrid empty;
    EXPECT_FALSE(empty.UpdateGrid());
    tVertexDeque border;
    EXPECT_EQ(empty.GetBoundaryVertices(border), 0u);
}

TEST(VertexGrid, AnswersItsInterfaceIds)
{
    cVertexGrid grid(2, 2, false);
    EXPECT_EQ(grid.QueryInterface(IID_cVertexGrid), static_cast<void*>(&grid));
    EXPECT_EQ(grid.QueryInterface(IID_ITopology), static_cast<void*>(static_cast<ITopology*>(&grid)));
    EXPECT_EQ(grid.QueryInterface(IID_cPointCloud), static_cast<void*>(static_cast<cPointCloud*>(&grid)));
}

} // namespace
