#include "core/mesh.h"
#include "core/thread_pool.h"
#include "render/triangle_batch.h"

#include <gtest/gtest.h>

namespace
{

// Two triangles over the unit square, sharing the edge 0-2; vertex 3 is
// red.
void BuildSquare(cMesh& mesh)
{
    const float p[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}};
    for (const auto& q : p)
        mesh.AddVertex(q);
    mesh.AddTriangle(0, 1, 2);
    mesh.AddTriangle(0, 2, 3);
    mesh.Update();
    mesh.GetVertex(3)->extra[0] = 200;
}

TEST(TriangleBatch, SmoothTrianglesShareTheCornersOfAVertexAndIndexThemInOrder)
{
    cMesh mesh;
    BuildSquare(mesh);
    stCornerSlots slots;
    cTriangleBatch batch;
    batch.Begin(mesh, false, true, slots);
    EXPECT_TRUE(batch.Add(*mesh.GetTriangle(0)));
    EXPECT_TRUE(batch.Add(*mesh.GetTriangle(1)));
    ASSERT_EQ(batch.Positions().size(), 4u) << "vertices 0 and 2 once";
    EXPECT_EQ(batch.Indices(), (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3}));
    for (std::uint32_t i = 0; i < 4; ++i)
    {
        const cVertex* v = mesh.GetVertex(i);
        EXPECT_EQ(batch.Positions()[i], (cTriangleBatch::Vector{v->x, v->y, v->z}));
        EXPECT_EQ(batch.Normals()[i], (cTriangleBatch::Vector{v->nx, v->ny, v->nz})) << "the vertex normal";
    }
    EXPECT_EQ(batch.Colours()[3][0], 200);

    // The next batch forgets the corners of the last one.
    batch.Begin(mesh, false, false, slots);
    EXPECT_TRUE(batch.Empty());
    EXPECT_TRUE(batch.Add(*mesh.GetTriangle(1)));
    EXPECT_EQ(batch.Indices(), (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(batch.Positions()[0], (cTriangleBatch::Vector{0, 0, 0}));
    ASSERT_EQ(batch.Normals().size(), 3u);
    const cVertex* last = mesh.GetVertex(3);
    EXPECT_EQ(batch.Normals()[2], (cTriangleBatch::Vector{last->nx, last->ny, last->nz}));
    EXPECT_TRUE(batch.Colours().empty());
}

TEST(TriangleBatch, FlatTrianglesCarryTheirOwnNormalInCornersOfTheirOwn)
{
    cMesh mesh;
    BuildSquare(mesh);
    stCornerSlots slots;
    cTriangleBatch batch;
    batch.Begin(mesh, true, false, slots);
    batch.Add(*mesh.GetTriangle(0));
    batch.Add(*mesh.GetTriangle(1));
    ASSERT_EQ(batch.Positions().size(), 6u);
    EXPECT_EQ(batch.Indices(), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5}));
    for (std::uint32_t t = 0; t < 2; ++t)
    {
        const float* n = mesh.GetTriangle(t)->Normal();
        for (std::uint32_t k = 0; k < 3; ++k)
            EXPECT_EQ(batch.Normals()[t * 3 + k], (cTriangleBatch::Vector{n[0], n[1], n[2]}));
    }
    EXPECT_NE(batch.Normals()[0], batch.Normals()[3]) << "the two triangles are not coplanar";
}

TEST(TriangleBatch, ATriangleNamingAVertexOutsideTheMeshIsRefused)
{
    cMesh mesh;
    BuildSquare(mesh);
    cMeshTriangle stray = *mesh.GetTriangle(0);
    stray.vertexIndex[2] = 4;
    stCornerSlots slots;
    cTriangleBatch batch;
    batch.Begin(mesh, false, false, slots);
    EXPECT_FALSE(batch.Add(stray));
    EXPECT_TRUE(batch.Empty());
    EXPECT_TRUE(batch.Positions().empty());
}

TEST(TriangleBatch, ABatchIsFullWhenThreeMoreCornersWouldNotFit)
{
    // A fan of single triangles without shared corners (flat).
    cMesh mesh;
    const std::uint32_t triangles = cTriangleBatch::kMaxCorners / 3 + 1;
    for (std::uint32_t i = 0; i < triangles; ++i)
    {
        const float a[3] = {float(i), 0, 0}, b[3] = {float(i) + 1, 0, 0}, c[3] = {float(i), 1, 0};
        mesh.AddVertex(a), mesh.AddVertex(b), mesh.AddVertex(c);
        mesh.AddTriangle(3 * i, 3 * i + 1, 3 * i + 2);
    }
    stCornerSlots slots;
    cTriangleBatch batch;
    batch.Begin(mesh, true, false, slots);
    std::uint32_t added = 0;
    while (!batch.Full())
        added += batch.Add(*mesh.GetTriangle(added)) ? 1 : 0;
    EXPECT_EQ(added, cTriangleBatch::kMaxCorners / 3);
    EXPECT_LE(batch.Positions().size(), cTriangleBatch::kMaxCorners);
}

} // namespace

TEST(TriangleBatch, AListedFlatBatchFilledOnAPoolHoldsWhatAddingItsTrianglesGives)
{
    // A strip of 6,000 triangles far out with coloured vertices and tags;
    // every third triangle listed, after one triangle added on its own.
    cMesh mesh;
    for (std::uint32_t i = 0; i <= 3000; ++i)
        for (float y : {0.0f, 1.0f})
        {
            const float p[3] = {-4200.0f + 0.5f * float(i), 9000.0f + y, 30.0f + 0.01f * float(i % 13)};
            const std::uint32_t v = mesh.AddVertex(p);
            mesh.GetVertex(v)->extra[0] = std::uint8_t(v * 7);
            mesh.GetVertex(v)->extra[3] = std::uint8_t(v);
        }
    for (std::uint32_t i = 0; i < 3000; ++i)
    {
        mesh.AddTriangle(2 * i, 2 * i + 2, 2 * i + 3);
        mesh.AddTriangle(2 * i, 2 * i + 3, 2 * i + 1);
    }
    mesh.Update();
    std::vector<std::uint8_t> tags(mesh.GetTriangleCount());
    for (std::size_t i = 0; i < tags.size(); ++i)
        tags[i] = std::uint8_t(i % 5);
    stTriangleColouring colouring;
    colouring.tags = tags.data();
    colouring.tagCount = std::uint32_t(tags.size());
    for (std::size_t t = 0; t < 5; ++t)
        colouring.byTag[t] = {std::uint8_t(40 * t), 7, std::uint8_t(200 - t), 255};
    colouring.selected = {255, 0, 0, 128};
    std::vector<std::uint32_t> listed;
    for (std::uint32_t i = 4; i < mesh.GetTriangleCount(); i += 3)
        listed.push_back(i);

    cThreadPool pool(3);
    for (const eBatchColours colours : {eBatchColours::Triangles, eBatchColours::Vertices, eBatchColours::None})
        for (const bool selected : {false, true})
        {
            stCornerSlots slots;
            cTriangleBatch added, filled;
            added.Begin(mesh, true, colours, slots);
            filled.Begin(mesh, true, colours, slots);
            const auto rgba = [&](std::uint32_t i)
            { return colours == eBatchColours::Triangles ? colouring.ColourOf(i, selected) : nullptr; };
            for (cTriangleBatch* batch : {&added, &filled})
                ASSERT_TRUE(batch->Add(*mesh.GetTriangle(1), rgba(1)));
            for (std::uint32_t i : listed)
                ASSERT_TRUE(added.Add(*mesh.GetTriangle(i), rgba(i)));
            filled.AddFlat(listed.data(), std::uint32_t(listed.size()), &colouring, selected, &pool);
            EXPECT_EQ(filled.Positions(), added.Positions());
            EXPECT_EQ(filled.Normals(), added.Normals());
            EXPECT_EQ(filled.Colours(), added.Colours());
            EXPECT_EQ(filled.Indices(), added.Indices());
        }
    pool.Stop();
}
