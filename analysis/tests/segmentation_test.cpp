#include "analysis/segmentation.h"
#include "analysis/segmentation_regions.h"

#include "analysis_test_meshes.h"
#include "core/vector_math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <vector>

namespace
{

using analysis_test::FillMesh;
using analysis_test::HeightField;

float Value(const cMesh& mesh, std::uint32_t i)
{
    return mesh.GetVertex(i)->GetScalar();
}

void SetValues(cMesh& mesh, const std::vector<float>& values)
{
    for (std::uint32_t i = 0; i < values.size(); ++i)
        mesh.GetVertex(i)->SetScalar(values[i]);
}

std::uint32_t CountMarked(cMesh& mesh)
{
    std::uint32_t n = 0;
    mesh.ForEachTriangle([&n](cMeshTriangle& t) { n += (t.flags & kTriangleFlagSelected) != 0 ? 1 : 0; });
    return n;
}

// The smoothing exactly as the corner-by-corner description reads: every
// corner of every triangle in index order collects its ring and writes the
// mean; the last write wins.
std::vector<float> ReferenceSmoothing(cMesh& mesh)
{
    std::vector<float> out(mesh.GetVertexCount());
    for (std::uint32_t i = 0; i < out.size(); ++i)
        out[i] = Value(mesh, i);
    tVertexDeque ring;
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
        for (std::uint8_t k = 0; k < 3; ++k)
        {
            const cVertex* corners[3];
            if (!mesh.GetCorners(*mesh.GetTriangle(t), corners))
                break; // a triangle with a corner outside the mesh sees no ring
            bool border = false;
            mesh.CollectVertexRing(k, mesh.GetTriangle(t), border, ring);
            double sum = 0;
            int n = 0;
            for (const cVertex* v : ring)
                if (v->GetScalar() != -FLT_MAX)
                    sum += v->GetScalar(), ++n;
            out[mesh.GetTriangle(t)->vertexIndex[k]] = n > 0 ? static_cast<float>(sum / n) : -FLT_MAX;
        }
    return out;
}

} // namespace

TEST(SegmentationValues, FlatMeshHasNoSharpnessAndNoNaN)
{
    cMesh mesh;
    FillMesh(mesh, HeightField(6, [](double, double) { return 2.0; }));
    ComputeSegmentationValues(mesh);
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        ASSERT_EQ(Value(mesh, i), 0.0f) << i;
    EXPECT_FALSE(MarkSharpTriangles(mesh, 0.0f));
}

TEST(SegmentationValues, CreaseBetweenFlatFacetsStaysSharp)
{
    // A roof: two planes meeting at x = 5 at 45 degrees. Every counted angle
    // is 0, so the values have no range; the crease must still be found.
    cMesh mesh;
    FillMesh(mesh, HeightField(10, [](double x, double) { return x < 5 ? x : 10 - x; }));
    ComputeSegmentationValues(mesh);
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        ASSERT_TRUE(std::isfinite(Value(mesh, i)));
    ASSERT_TRUE(MarkSharpTriangles(mesh, 10.0f));
    mesh.ForEachTriangle([&mesh](cMeshTriangle& t) {
        const cVertex* c[3];
        mesh.GetCorners(t, c);
        double cx = (c[0]->x + c[1]->x + c[2]->x) / 3.0;
        if (std::fabs(cx - 5.0) > 2.5)
        {
            EXPECT_EQ(t.flags & kTriangleFlagSelected, 0) << cx; // far from the crease: never sharp
        }
    });
}

TEST(SegmentationValues, NormalisationEdgeCases)
{
    cMesh mesh;
    FillMesh(mesh, HeightField(1, [](double, double) { return 0.0; }));
    // Spread values, an unused-vertex value and a sharp one.
    SetValues(mesh, {0.02f, 0.06f, -FLT_MAX, FLT_MAX});
    NormalizeVertexValues(mesh, 100.0);
    EXPECT_FLOAT_EQ(Value(mesh, 0), 0.0f);
    EXPECT_FLOAT_EQ(Value(mesh, 1), 100.0f);
    EXPECT_FLOAT_EQ(Value(mesh, 2), 0.0f);   // clamped to the bottom
    EXPECT_FLOAT_EQ(Value(mesh, 3), 100.0f); // clamped to the top

    // Equal counted values: no range, no NaN, sharp stays on top.
    SetValues(mesh, {0.05f, 0.05f, -FLT_MAX, FLT_MAX});
    NormalizeVertexValues(mesh, 100.0);
    EXPECT_EQ(Value(mesh, 0), 0.0f);
    EXPECT_EQ(Value(mesh, 2), 0.0f);
    EXPECT_EQ(Value(mesh, 3), 100.0f);

    // Nothing counted (every vertex sharp): every value ends at 0.
    SetValues(mesh, {FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX});
    NormalizeVertexValues(mesh, 100.0);
    for (std::uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(Value(mesh, i), 0.0f);
    EXPECT_FALSE(MarkSharpTriangles(mesh, 0.0f));
}

TEST(SegmentationValues, VertexOfNoTriangleEndsAtTheBottomAndKeepsItThroughSmoothing)
{
    cMesh mesh;
    ON_Mesh source = HeightField(3, [](double x, double y) { return 0.3 * x * x + 0.1 * y; });
    source.SetVertex(source.VertexCount(), ON_3fPoint(50, 50, 50));
    FillMesh(mesh, source);
    ComputeSegmentationValues(mesh);
    const std::uint32_t lonely = mesh.GetVertexCount() - 1;
    EXPECT_EQ(Value(mesh, lonely), 0.0f);
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        ASSERT_TRUE(std::isfinite(Value(mesh, i)));
}

TEST(SegmentationValues, SmoothingOncePerVertexEqualsTheCornerByCornerPass)
{
    // A bumpy field plus a second fan touching it at one vertex (a bow tie),
    // where the ring depends on the triangle it is seen from.
    ON_Mesh source = HeightField(7, [](double x, double y) { return std::sin(x) * std::cos(0.7 * y); });
    const int shared = 7; // corner vertex (7, 0)
    const int base = source.VertexCount();
    source.SetVertex(base, ON_3fPoint(9, -1, 0));
    source.SetVertex(base + 1, ON_3fPoint(8, -2, 1));
    source.SetVertex(base + 2, ON_3fPoint(9, -3, 2));
    source.SetTriangle(source.FaceCount(), shared, base, base + 1);
    source.SetTriangle(source.FaceCount(), base, base + 2, base + 1);
    cMesh mesh;
    FillMesh(mesh, source);
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        mesh.GetVertex(i)->SetScalar(static_cast<float>((i * 37) % 11));
    mesh.GetVertex(3)->SetScalar(-FLT_MAX);
    const std::vector<float> expected = ReferenceSmoothing(mesh);
    SmoothVertexValues(mesh, nullptr);
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        ASSERT_EQ(Value(mesh, i), expected[i]) << i;
}

TEST(SegmentationValues, SmoothingPassesOverARingCornerOutsideTheMesh)
{
    // A triangle across the field's first edge names a vertex past the last
    // and is linked to the field by hand (the topology links no such
    // triangle, but links of an earlier mesh stay): the rings of that edge's
    // ends pass it, and only its vertices in the mesh are read.
    ON_Mesh source = HeightField(4, [](double x, double y) { return 0.2 * x * y; });
    cMesh mesh;
    FillMesh(mesh, source);
    const std::uint32_t past = mesh.GetVertexCount() + 1000;
    mesh.AddTriangle(1, 0, past);
    mesh.Update();
    cMeshTriangle* field = mesh.GetTriangle(0);
    cMeshTriangle* outside = mesh.GetTriangle(mesh.GetTriangleCount() - 1);
    ASSERT_EQ(field->vertexIndex[0], 0u);
    ASSERT_EQ(field->vertexIndex[1], 1u);
    field->neighbour[0] = outside;
    field->neighbourEdge[0] = 0;
    outside->neighbour[0] = field;
    outside->neighbourEdge[0] = 0;
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        mesh.GetVertex(i)->SetScalar(static_cast<float>((i * 7) % 5));
    const std::vector<float> expected = ReferenceSmoothing(mesh);
    SmoothVertexValues(mesh, nullptr);
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        ASSERT_EQ(Value(mesh, i), expected[i]) << i;
}

TEST(SegmentationValues, ALeastCosineWhoseAngleLiesJustBelowAFloatBoundaryLeavesTheAnglesToTheEdges)
{
    // Cosines whose arc cosines lie a few ulps below the midpoint between
    // the floats 1 and 1 + 2^-23, where an edge's angle off by an ulp of the
    // arc cosine could round to the float above, and further below it.
    const double midpoint = (1.0 + double(std::nextafter(1.0f, 2.0f))) / 2.0;
    const double ulp = std::nextafter(1.0, 2.0) - 1.0;
    double nearBoundary = std::nan(""), farBelow = std::nan("");
    for (double c = std::cos(midpoint) - 64 * ulp; c < std::cos(midpoint) + 64 * ulp; c = std::nextafter(c, 1.0))
    {
        const double below = midpoint - std::acos(c);
        if (below > 0.0 && below <= 3 * ulp)
            nearBoundary = c;
        if (below >= 20 * ulp)
            farBelow = c;
    }
    ASSERT_FALSE(std::isnan(nearBoundary));
    ASSERT_FALSE(std::isnan(farBelow));
    float angle = 0.0f;
    EXPECT_FALSE(AngleOfLeastCosine(nearBoundary, angle));
    ASSERT_TRUE(AngleOfLeastCosine(farBelow, angle));
    EXPECT_EQ(angle, 1.0f);
    ASSERT_TRUE(AngleOfLeastCosine(1.0, angle));
    EXPECT_EQ(angle, 0.0f);
    ASSERT_TRUE(AngleOfLeastCosine(-1.0, angle));
    EXPECT_EQ(angle, static_cast<float>(std::acos(-1.0)));
}

TEST(SegmentationValues, NormalsTooShortOrNotANumberMeasureAsEveryEdgeMeasuredInTurnDoes)
{
    // A bumpy field whose vertex normals include a zero one, one too short
    // to be made unit, one just long enough and one not a number; each edge
    // is measured in turn between its ends' normals for the reference.
    cMesh mesh;
    FillMesh(mesh, HeightField(12, [](double x, double y) { return 0.4 * std::sin(x) * std::cos(0.7 * y); }));
    const auto setNormal = [&mesh](std::uint32_t i, float x, float y, float z) {
        cVertex& v = *mesh.GetVertex(i);
        v.nx = x, v.ny = y, v.nz = z;
    };
    setNormal(20, 0.0f, 0.0f, 0.0f);
    setNormal(47, 4e-6f, 0.0f, 0.0f);
    setNormal(48, 0.0f, 2e-5f, 0.0f);
    setNormal(90, std::nanf(""), 0.0f, 1.0f);
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        mesh.GetVertex(i)->SetScalar(-FLT_MAX);
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
    {
        cVertex* c[3];
        ASSERT_TRUE(mesh.GetCorners(*mesh.GetTriangle(t), c));
        for (int k = 0; k < 3; ++k)
        {
            cVertex* ends[2] = {c[k], c[(k + 1) % 3]};
            const auto angle = static_cast<float>(AngleBetweenVectors(ends[0]->Normal(), ends[1]->Normal()));
            for (cVertex* end : ends)
                end->SetScalar(std::max(end->GetScalar(), angle));
        }
    }
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        if (Value(mesh, i) > kSharpAngleLimit)
            mesh.GetVertex(i)->SetScalar(FLT_MAX);
    NormalizeVertexValues(mesh, kSegmentationValueScale);
    SmoothVertexValues(mesh, cProcProgressNull::Shared());
    std::vector<float> expected(mesh.GetVertexCount());
    for (std::uint32_t i = 0; i < expected.size(); ++i)
        expected[i] = Value(mesh, i);

    ComputeSegmentationValues(mesh);
    for (std::uint32_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(Value(mesh, i), expected[i]) << i;
}

TEST(SharpTriangles, EveryCornerMustExceedTheThreshold)
{
    cMesh mesh;
    FillMesh(mesh, HeightField(1, [](double, double) { return 0.0; })); // triangles (0,1,3), (0,3,2)
    SetValues(mesh, {90.0f, 90.0f, 20.0f, 90.0f});
    mesh.GetTriangle(1)->flags |= kTriangleFlagSelected | kTriangleFlagHidden;
    EXPECT_TRUE(MarkSharpTriangles(mesh, 50.0f));
    EXPECT_EQ(mesh.GetTriangle(0)->flags & kTriangleFlagSelected, kTriangleFlagSelected);
    EXPECT_EQ(mesh.GetTriangle(1)->flags, kTriangleFlagHidden); // cleared, other bits kept
    SetValues(mesh, {90.0f, 50.0f, 20.0f, 90.0f});
    EXPECT_FALSE(MarkSharpTriangles(mesh, 50.0f)); // exactly at the threshold is not above it
    SetValues(mesh, {90.0f, 90.0f, 20.0f, 50.0f});
    EXPECT_FALSE(MarkSharpTriangles(mesh, 50.0f)); // nor at the last corner
}

TEST(SharpTriangles, MarkingClearsTheGivenBitsAndTellsWhetherAVisibleTriangleWasMarkedBefore)
{
    cMesh mesh;
    FillMesh(mesh, HeightField(1, [](double, double) { return 0.0; }));
    SetValues(mesh, {90.0f, 90.0f, 20.0f, 90.0f});
    constexpr std::uint8_t kLent = 0x40;
    mesh.GetTriangle(0)->flags = kLent;
    mesh.GetTriangle(1)->flags = kTriangleFlagSelected | kTriangleFlagHidden | kLent;
    bool before = false;
    stMarkingAlso also;
    also.clear = kLent;
    also.wasMarked = &before;
    EXPECT_TRUE(MarkSharpTriangles(mesh, 50.0f, also));
    EXPECT_FALSE(before) << "a hidden mark is no visible mark";
    EXPECT_EQ(mesh.GetTriangle(0)->flags, kTriangleFlagSelected);
    EXPECT_EQ(mesh.GetTriangle(1)->flags, kTriangleFlagHidden);
    also.clear = 0;
    EXPECT_TRUE(MarkSharpTriangles(mesh, 50.0f, also));
    EXPECT_TRUE(before);
}

TEST(SharpTriangles, MarkingReadiesTheCleanUpAsItsOwnPassDoes)
{
    // 80,000 triangles, two blocks of the pool: a grid of sharp bands
    // around unmarked islands of 81 cells, which the clean-up fills, and
    // one triangle hidden.
    const int n = 200;
    const ON_Mesh plate = HeightField(n, [](double, double) { return 0.0; });
    const auto build = [&](cMesh& mesh) {
        FillMesh(mesh, plate);
        for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
            mesh.GetVertex(i)->SetScalar(i / (n + 1) % 10 < 2 || i % (n + 1) % 10 < 2 ? 90.0f : 10.0f);
    };
    cMesh own, readied;
    build(own);
    build(readied);
    own.GetTriangle(70000)->flags = readied.GetTriangle(70000)->flags = kTriangleFlagHidden;
    const double limit = 100.0;
    MarkSharpTriangles(own, 50.0f);
    const std::uint32_t marked = CountMarked(own);
    RemoveSmallRegions(own, limit);
    ASSERT_GT(CountMarked(own), marked) << "the islands are filled";
    stCleanUpReadied ready;
    stMarkingAlso also;
    also.cleanUp = &ready;
    MarkSharpTriangles(readied, 50.0f, also);
    const std::vector<std::uint32_t>& counts = ready.selectedPerBlock;
    std::vector<std::uint32_t> expected((readied.GetTriangleCount() + kPoolBlock - 1) / kPoolBlock, 0), listed;
    for (std::uint32_t i = 0; i < readied.GetTriangleCount(); ++i)
    {
        ASSERT_NE(readied.GetTriangle(i)->flags & kTriangleFlagScratch, 0) << i;
        expected[i / kPoolBlock] += IsVisibleSelected(*readied.GetTriangle(i));
        if (IsVisibleSelected(*readied.GetTriangle(i)))
            listed.push_back(i);
    }
    EXPECT_EQ(counts, expected);
    EXPECT_EQ(ready.selected, listed);
    RemoveSmallRegions(readied, limit, &ready);
    for (std::uint32_t i = 0; i < own.GetTriangleCount(); ++i)
        ASSERT_EQ(readied.GetTriangle(i)->flags, own.GetTriangle(i)->flags) << i;
    // Without a clean-up the scratch bits go again.
    MarkSharpTriangles(readied, 50.0f, also);
    RemoveSmallRegions(readied, FLT_MAX, &ready);
    for (std::uint32_t i = 0; i < readied.GetTriangleCount(); ++i)
        ASSERT_EQ(readied.GetTriangle(i)->flags & kTriangleFlagScratch, 0) << i;
}

TEST(SmallRegions, TheCleanUpLeavesTheVertexBitsAsTheirRefreshDoes)
{
    // A grid of sharp bands around islands that the clean-up fills, narrow
    // or wide (the unmarked triangles then few, joined over their list), on
    // a plate the pool joins and on one that is walked, with and without a
    // clean-up; stale vertex bits on every third vertex before.
    for (const int n : {200, 20})
        for (const std::uint32_t band : {2u, 8u})
            for (const double limit : {100.0, double(FLT_MAX)})
            {
                const ON_Mesh plate = HeightField(n, [](double, double) { return 0.0; });
                const auto build = [&](cMesh& mesh) {
                    FillMesh(mesh, plate);
                    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
                    {
                        const bool sharp = i / (n + 1) % 10 < band || i % (n + 1) % 10 < band;
                        mesh.GetVertex(i)->SetScalar(sharp ? 90.0f : 10.0f);
                        if (i % 3 == 0)
                            mesh.GetVertex(i)->flags |= kVertexFlagInSelection;
                    }
                };
                cMesh own, fused;
                build(own);
                build(fused);
                MarkSharpTriangles(own, 50.0f);
                RemoveSmallRegions(own, limit);
                RefreshSelectedVertices(own);
                stCleanUpReadied ready;
                stMarkingAlso also;
                also.cleanUp = &ready;
                MarkSharpTriangles(fused, 50.0f, also);
                RemoveSmallRegions(fused, limit, &ready, true);
                for (std::uint32_t i = 0; i < own.GetTriangleCount(); ++i)
                    ASSERT_EQ(fused.GetTriangle(i)->flags, own.GetTriangle(i)->flags) << n << " " << band << " " << limit;
                for (std::uint32_t i = 0; i < own.GetVertexCount(); ++i)
                    ASSERT_EQ(fused.GetVertex(i)->flags, own.GetVertex(i)->flags) << n << " " << band << " " << limit;
            }
}

TEST(SmallRegions, ListedFlipsCountTheNextClassAsItsOwnPassDoes)
{
    // Marked squares of 1 to 12 cells a side every 25 cells of a 200 x 200
    // plate (80,000 triangles, two blocks), bit 2 on every triangle: the
    // squares of up to 40 in area go.
    const int n = 200;
    cMesh mesh;
    FillMesh(mesh, HeightField(n, [](double, double) { return 0.0; }));
    std::vector<std::uint32_t> listed, counts((mesh.GetTriangleCount() + kPoolBlock - 1) / kPoolBlock, 0);
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
    {
        const int i = int(t / 2 % n), j = int(t / 2 / n), side = 1 + (i / 25 + 3 * (j / 25)) % 12;
        const bool marked = i % 25 < side && j % 25 < side;
        mesh.GetTriangle(t)->flags = std::uint8_t(kTriangleFlagScratch | (marked ? kTriangleFlagSelected : 0));
        if (marked)
        {
            listed.push_back(t);
            ++counts[t / kPoolBlock];
        }
    }
    std::vector<std::uint32_t> next(counts.size(), 0);
    stAfterFlip after;
    after.nextClassCounts = &next;
    after.nextClass = false;
    after.classCounts = &counts;
    ASSERT_TRUE(FlipSmallListedRegionsOnPool(mesh, 40.0, true, listed, after));
    std::vector<std::uint32_t> expected(counts.size(), 0);
    std::uint32_t flipped = 0;
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
    {
        const cMeshTriangle& triangle = *mesh.GetTriangle(t);
        ASSERT_NE(triangle.flags & kTriangleFlagScratch, 0) << t;
        expected[t / kPoolBlock] += !IsVisibleSelected(triangle);
        flipped += std::binary_search(listed.begin(), listed.end(), t) && !IsVisibleSelected(triangle);
    }
    EXPECT_GT(flipped, 0u);
    EXPECT_EQ(next, expected);
}

TEST(SmallRegions, IslandsAtOrBelowTheLimitFlipAndLargerOnesStay)
{
    // A 10 x 10 plate of unit cells (area 0.5 per triangle) with a selected
    // 2 x 2 cell island (area 4) and an unselected 1-cell hole (area 1) in a
    // selected 5 x 5 block (area 25).
    cMesh mesh;
    FillMesh(mesh, HeightField(10, [](double, double) { return 0.0; }));
    auto cellTriangles = [](int i, int j) { return std::vector<std::uint32_t>{2u * (j * 10 + i), 2u * (j * 10 + i) + 1}; };
    auto select = [&](int i0, int j0, int size, bool on) {
        for (int j = j0; j < j0 + size; ++j)
            for (int i = i0; i < i0 + size; ++i)
                for (std::uint32_t t : cellTriangles(i, j))
                {
                    auto& f = mesh.GetTriangle(t)->flags;
                    f = on ? (f | kTriangleFlagSelected) : (f & ~kTriangleFlagSelected);
                }
    };
    select(1, 1, 2, true);
    select(5, 5, 5, true);
    select(7, 7, 1, false);

    // Measuring consumes the scratch bit.
    mesh.SetTriangleFlag4();
    double area = 0.0;
    EXPECT_EQ(MeasureTriangleRegion(mesh, mesh.GetTriangle(cellTriangles(1, 1)[0]), &area), 8u);
    EXPECT_DOUBLE_EQ(area, 4.0);
    EXPECT_EQ(MeasureTriangleRegion(mesh, mesh.GetTriangle(cellTriangles(1, 1)[0]), &area), 0u);
    mesh.ClearTriangleFlag4();

    RemoveSmallRegions(mesh, 0.0); // off
    EXPECT_EQ(CountMarked(mesh), 8u + 48u);
    RemoveSmallRegions(mesh, 4.0); // the limit equal to the island's area removes it
    EXPECT_EQ(CountMarked(mesh), 50u);  // island gone, hole filled
    EXPECT_EQ(mesh.GetTriangle(cellTriangles(7, 7)[0])->flags & kTriangleFlagSelected, kTriangleFlagSelected);
    mesh.ForEachTriangle([](cMeshTriangle& t) { EXPECT_EQ(t.flags & kTriangleFlagScratch, 0); });

    RefreshSelectedVertices(mesh);
    std::uint32_t inSelection = 0;
    mesh.ForEachVertex([&](cVertex& v) { inSelection += (v.flags & kVertexFlagInSelection) != 0 ? 1 : 0; });
    EXPECT_EQ(inSelection, 36u); // the 6 x 6 vertices of the 5 x 5 block
    const float box[6] = {0, 0, 0, 30, 15, 1};
    EXPECT_DOUBLE_EQ(SegmentationAreaLimit(box), 4.0); // (30 / 15)^2: an area, as it is compared with areas
}

TEST(SmallRegions, BrokenNeighbourLinksStillEnd)
{
    cMesh mesh;
    FillMesh(mesh, HeightField(4, [](double, double) { return 0.0; }));
    // Links that point in circles and at themselves.
    mesh.GetTriangle(0)->neighbour[0] = mesh.GetTriangle(0);
    mesh.GetTriangle(1)->neighbour[2] = mesh.GetTriangle(5);
    mesh.GetTriangle(5)->neighbour[1] = mesh.GetTriangle(1);
    mesh.SetTriangleFlag4();
    EXPECT_EQ(MeasureTriangleRegion(mesh, mesh.GetTriangle(0)), mesh.GetTriangleCount());
    RemoveSmallRegions(mesh, 1e9);
    EXPECT_EQ(CountMarked(mesh), mesh.GetTriangleCount());
    // The whole value computation walks rings over the same links and ends.
    ComputeSegmentationValues(mesh);
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        ASSERT_TRUE(std::isfinite(Value(mesh, i)));
}

TEST(SmallRegions, BigMeshesKeepTheWalksAreasAndRegions)
{
    // A 200 x 200 plate of uneven cells with 25 selected islands of 30 x 30
    // cells, each a little different in area (over half the plate: the
    // class is joined over every triangle), and of 20 x 20 cells (a quarter:
    // joined over the class's list).
    const int n = 200;
    for (const int side : {30, 20})
    {
        std::uint32_t state = 7;
        const auto jitter = [&state] {
            state = state * 1664525u + 1013904223u;
            return 0.3 * double(state >> 8) / double(1u << 24);
        };
        std::vector<double> heights(std::size_t((n + 1) * (n + 1)));
        for (double& h : heights)
            h = jitter();
        const ON_Mesh plate = HeightField(n, [&](double x, double y) { return heights[std::size_t(y * (n + 1) + x)]; });
        const auto cell = [n](int i, int j) { return std::uint32_t(2 * (j * n + i)); };
        const auto build = [&](cMesh& mesh) {
            FillMesh(mesh, plate);
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i)
                    for (std::uint32_t k = 0; k < 2; ++k)
                        mesh.GetTriangle(cell(i, j) + k)->flags =
                            i % 40 < side && j % 40 < side ? kTriangleFlagSelected : 0;
        };
        const auto island = std::uint32_t(2 * side * side);
        // Each island's area as its walk adds it up; the first one's also in
        // triangle order.
        cMesh mesh;
        build(mesh);
        mesh.SetTriangleFlag4();
        std::vector<double> walked;
        for (int j = 0; j < n; j += 40)
            for (int i = 0; i < n; i += 40)
            {
                walked.push_back(0.0);
                ASSERT_EQ(MeasureTriangleRegion(mesh, mesh.GetTriangle(cell(i, j)), &walked.back()), island);
            }
        double inOrder = 0.0;
        for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
            if (int(t / 2 % n) < side && int(t / 2 / n) < side)
            {
                const cVertex* c[3];
                ASSERT_TRUE(mesh.GetCorners(*mesh.GetTriangle(t), c));
                inOrder += TriangleArea(c[0]->Position(), c[1]->Position(), c[2]->Position());
            }
        ASSERT_NE(inOrder, walked[0]) << "the two orders must differ for the limit to tell them apart";
        // A limit at the first island's walked area takes it, one just below
        // leaves it; the others go as their areas say.
        for (const double limit : {walked[0], std::nextafter(walked[0], 0.0)})
        {
            cMesh fresh;
            build(fresh);
            RemoveSmallRegions(fresh, limit);
            const auto staying = std::count_if(walked.begin(), walked.end(), [limit](double a) { return a > limit; });
            EXPECT_EQ(CountMarked(fresh), std::uint32_t(island * staying)) << side << " " << limit;
            EXPECT_EQ(fresh.GetTriangle(0)->flags & kTriangleFlagSelected, limit == walked[0] ? 0 : kTriangleFlagSelected)
                << side;
        }
        // Each island alone is small, two together are not. A link from the
        // first island into the second, not returned: the first island's
        // walk takes the second along, so those two stay.
        const double limit = 1.5 * *std::max_element(walked.begin(), walked.end());
        for (const bool oneWay : {false, true})
        {
            cMesh linked;
            build(linked);
            if (oneWay)
                linked.GetTriangle(cell(side - 1, 10) + 1)->neighbour[0] = linked.GetTriangle(cell(40, 10));
            RemoveSmallRegions(linked, limit);
            EXPECT_EQ(CountMarked(linked), oneWay ? 2 * island : 0u) << side << " " << oneWay;
        }
    }
}

TEST(SmallRegions, BigMeshesKeepEveryColourWordWhetherJoinedOrWalked)
{
    // A 200 x 200 plate with selected islands of 30 x 30 cells over half of
    // it (both classes are joined over every triangle), every triangle's
    // colour word its own, top byte included. The small islands flip; with
    // a link between two islands not returned the join declines and the
    // walks flip. Every colour word is as it was either way.
    const int n = 200;
    const ON_Mesh plate = HeightField(n, [](double, double) { return 3000.0; });
    const auto colourOf = [](std::uint32_t t) { return t * 2654435761u; };
    for (const bool oneWay : {false, true})
    {
        cMesh mesh;
        FillMesh(mesh, plate);
        for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
        {
            const int i = int(t / 2 % n), j = int(t / 2 / n);
            mesh.GetTriangle(t)->flags = i % 40 < 30 && j % 40 < 30 ? kTriangleFlagSelected : 0;
            mesh.GetTriangle(t)->colour = colourOf(t);
        }
        if (oneWay)
            mesh.GetTriangle(2 * (10 * n + 29) + 1)->neighbour[0] = mesh.GetTriangle(2 * (10 * n + 40));
        RemoveSmallRegions(mesh, 1000.0);
        EXPECT_EQ(CountMarked(mesh), oneWay ? 2u * 2 * 30 * 30 : 0u) << oneWay;
        for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
            ASSERT_EQ(mesh.GetTriangle(t)->colour, colourOf(t)) << oneWay << " " << t;
    }
}

TEST(SmallRegions, EveryLinkIsIndexedByItsRecordAndNoOtherPointerIs)
{
    // A 200 x 200 plate (80,000 triangles in 79 chunks of records, the last
    // with room past them): links within a chunk and across chunks.
    const int n = 200;
    cMesh mesh, other;
    FillMesh(mesh, HeightField(n, [](double, double) { return 0.0; }));
    FillMesh(other, HeightField(2, [](double, double) { return 0.0; }));
    const std::uint32_t count = mesh.GetTriangleCount();
    ASSERT_NE(count % kArrayChunkSize, 0u);
    const cTriangleIndexer indexer(mesh, count);
    std::uint32_t acrossChunks = 0;
    for (std::uint32_t i = 0; i < count; ++i)
        for (const cMeshTriangle* linked : mesh.GetTriangle(i)->neighbour)
            if (linked != nullptr)
            {
                const std::uint32_t j = indexer.Index(linked, i);
                ASSERT_LT(j, count);
                ASSERT_EQ(mesh.GetTriangle(j), linked) << i;
                acrossChunks += (i >> kArrayChunkShift) != (j >> kArrayChunkShift);
            }
    EXPECT_GT(acrossChunks, 0u);
    // The room past the last triangle, another mesh's triangle and a
    // pointer into the middle of a record are none.
    const auto* middle = reinterpret_cast<const cMeshTriangle*>(reinterpret_cast<const char*>(mesh.GetTriangle(5)) + 4);
    const cMeshTriangle* const past = &mesh.GetTriangleArray()[count];
    for (const cMeshTriangle* none : {past, static_cast<const cMeshTriangle*>(other.GetTriangle(0)), middle})
        for (const std::uint32_t from : {0u, count - 1})
            EXPECT_EQ(indexer.Index(none, from), cTriangleIndexer::kNone) << from;
}

TEST(SmallRegions, ALongRunOfOneSmallRegionStillFlipsBesideBigOnes)
{
    // A 200 x 200 plate marked from row 100 on and in rows 50 to 52: the
    // strip is 1,200 triangles in a row of index order, 600 in area; the
    // regions around it are 9,400 and more. Both classes are joined over
    // every triangle; with the limit at 1,000 only the strip flips.
    const int n = 200;
    cMesh mesh;
    FillMesh(mesh, HeightField(n, [](double, double) { return 1500.0; }));
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
    {
        const int j = int(t / 2 / n);
        mesh.GetTriangle(t)->flags = j >= 100 || (j >= 50 && j < 53) ? kTriangleFlagSelected : 0;
    }
    RemoveSmallRegions(mesh, 1000.0);
    EXPECT_EQ(CountMarked(mesh), std::uint32_t(2 * n * 100));
}

TEST(SmallRegions, HolesInABandCoveringABigMeshAreWalkedAndFilled)
{
    // A 200 x 200 plate far out, marked but for holes of 1, 4 and 9 cells
    // and one of 60 x 60: the marked class is joined on the pool, the few
    // unmarked triangles walked. Holes up to 10 in area fill, the big one
    // stays, and no scratch mark is left.
    const int n = 200;
    const ON_Mesh plate = HeightField(n, [](double, double) { return 2500.0; });
    cMesh mesh;
    FillMesh(mesh, plate);
    const auto inHole = [](int i, int j) {
        return (i == 10 && j == 10) || (i >= 50 && i < 52 && j >= 20 && j < 22) ||
               (i >= 150 && i < 153 && j >= 180 && j < 183) || (i >= 100 && i < 160 && j >= 60 && j < 120);
    };
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
        mesh.GetTriangle(t)->flags = inHole(int(t / 2 % n), int(t / 2 / n)) ? 0 : kTriangleFlagSelected;
    RemoveSmallRegions(mesh, 10.0);
    EXPECT_EQ(CountMarked(mesh), std::uint32_t(2 * n * n - 2 * 60 * 60));
    std::uint32_t scratch = 0;
    mesh.ForEachTriangle([&](cMeshTriangle& t) { scratch += (t.flags & kTriangleFlagScratch) != 0; });
    EXPECT_EQ(scratch, 0u);
}

TEST(SmallRegions, AnIslandOfTheFirstTriangleAloneFlipsToo)
{
    // The walk seeds from every triangle in index order, the first included:
    // a one-triangle island there must be found like any other.
    for (const bool islandMarked : {true, false})
    {
        cMesh mesh;
        FillMesh(mesh, HeightField(4, [](double, double) { return 0.0; })); // 32 triangles of area 0.5
        mesh.ForEachTriangle([&](cMeshTriangle& t) {
            t.flags = islandMarked ? std::uint8_t(0) : kTriangleFlagSelected;
        });
        auto& first = mesh.GetTriangle(0)->flags;
        first = islandMarked ? kTriangleFlagSelected : std::uint8_t(0);
        RemoveSmallRegions(mesh, 1.0);
        EXPECT_EQ(CountMarked(mesh), islandMarked ? 0u : 32u) << islandMarked;
    }
}

// ---------------------------------------------------------------- regions

namespace
{

// The regions Detect leaves at the slider's first position, after the
// clean-up with the dialog's limit: each region's mean normal, sorted.
std::vector<std::array<double, 3>> DetectedRegions(const ON_Mesh& source)
{
    cMesh mesh;
    FillMesh(mesh, source);
    const double limit = SegmentationAreaLimit(mesh.GetBoundingBox());
    ComputeSegmentationValues(mesh);
    MarkSharpTriangles(mesh, 20.0f);
    RemoveSmallRegions(mesh, limit);
    mesh.ForEachTriangle([](cMeshTriangle& t) { t.colour = 0xFFFFFFFFu; });
    std::uint32_t labels = 0;
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        if (cMeshTriangle* t = mesh.GetTriangle(i); !IsVisibleSelected(*t) && t->GetLabel() == kTriangleUnlabelled)
        {
            t->SetLabel(labels++);
            mesh.LabelConnectedTriangles(t, kTriangleFlagSelected);
        }
    std::vector<std::array<double, 3>> normals(labels, std::array<double, 3>{0, 0, 0});
    mesh.ForEachTriangle([&](cMeshTriangle& t) {
        if (t.GetLabel() < labels)
            for (int k = 0; k < 3; ++k)
                normals[t.GetLabel()][std::size_t(k)] += t.Normal()[k];
    });
    for (auto& n : normals)
    {
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (double& c : n)
            c = std::round(c / length * 1000.0) / 1000.0;
    }
    std::sort(normals.begin(), normals.end());
    return normals;
}

} // namespace

TEST(SegmentationRegions, APartGivesTheSameRegionsInAnyUnitAndHoweverFinelyItIsMeshed)
{
    // Its top, bottom and four walls; the rounds, cut into 15-degree facets,
    // lie in the sharp band.
    const ON_Mesh part = analysis_test::CadBlock(6, 6, 12);
    const auto regions = DetectedRegions(part);
    ASSERT_EQ(regions.size(), 6u);
    // Midpoint subdivisions: the same surface and creases. The third frees
    // the inside of each facet from the band; the strips are small and go.
    ON_Mesh finer = part;
    for (int level = 1; level <= 3; ++level)
    {
        finer = analysis_test::MidpointSubdivision(finer);
        EXPECT_EQ(DetectedRegions(finer), regions) << "subdivided " << level << " times";
    }
    // The same part modelled in metres.
    EXPECT_EQ(DetectedRegions(analysis_test::CadBlock(6, 6, 12, 0.001)), regions);
}
