#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "core/mesh.h"
#include "core/used_flags.h"
#include "mesh_builders.h"

namespace
{

std::vector<std::uint32_t> Sorted(std::vector<std::uint32_t> values)
{
    std::sort(values.begin(), values.end());
    return values;
}

std::vector<std::uint32_t> ArrayIndices(const tArray<cVertex*>& vertices)
{
    std::vector<std::uint32_t> result;
    for (std::uint32_t i = 0; i < vertices.GetCount(); ++i)
        result.push_back(vertices[i]->index);
    return Sorted(result);
}

bool AnyVertexFlag(cMesh& mesh, std::uint32_t mask)
{
    bool any = false;
    mesh.ForEachVertex([&any, mask](const cVertex& v) { any = any || (v.flags & mask) != 0; });
    return any;
}

TEST(MeshLinks, OnlyOppositeEdgesPair)
{
    cMesh mesh;
    BuildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {2, 1, 3}});
    const cMeshTriangle* a = mesh.GetTriangle(0);
    const cMeshTriangle* b = mesh.GetTriangle(1);
    EXPECT_EQ(a->neighbour[1], b);
    EXPECT_EQ(a->neighbourEdge[1], 0);
    EXPECT_EQ(b->neighbour[0], a);
    EXPECT_EQ(b->neighbourEdge[0], 1);
    EXPECT_EQ(a->neighbour[0], nullptr);
    EXPECT_EQ(a->neighbourEdge[0], kNoNeighbourEdge);

    cMesh sameDirection;
    BuildMesh(sameDirection, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {1, 2, 3}});
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_EQ(sameDirection.GetTriangle(0)->neighbour[k], nullptr);
        EXPECT_EQ(sameDirection.GetTriangle(1)->neighbour[k], nullptr);
    }
}

TEST(MeshLinks, EdgesOfMoreThanTwoTrianglesPairInTriangleOrder)
{
    const std::vector<Point> points{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}};
    cMesh three;
    BuildMesh(three, points, {{0, 1, 2}, {1, 0, 3}, {1, 0, 4}});
    EXPECT_EQ(three.GetTriangle(0)->neighbour[0], three.GetTriangle(1));
    EXPECT_EQ(three.GetTriangle(2)->neighbour[0], nullptr);

    // A second half-edge of the same direction does not wait; the opposite
    // one that comes later pairs with the first.
    cMesh repeated;
    BuildMesh(repeated, points, {{0, 1, 2}, {0, 1, 3}, {1, 0, 4}});
    EXPECT_EQ(repeated.GetTriangle(0)->neighbour[0], repeated.GetTriangle(2));
    EXPECT_EQ(repeated.GetTriangle(1)->neighbour[0], nullptr);
    EXPECT_EQ(CheckLinks(repeated), "");
}

// The pairing rule, written as the single pass over the triangles with an
// ordered map of unpaired directed edges that it is defined by.
std::vector<std::pair<std::int64_t, int>> ReferenceLinks(const std::vector<Triple>& triangles)
{
    std::vector<std::pair<std::int64_t, int>> links(triangles.size() * 3, {-1, kNoNeighbourEdge});
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::pair<std::size_t, int>> open;
    for (std::size_t t = 0; t < triangles.size(); ++t)
        for (int k = 0; k < 3; ++k)
        {
            const std::uint32_t a = triangles[t][k];
            const std::uint32_t b = triangles[t][(k + 1) % 3];
            auto reversed = open.find({b, a});
            if (reversed != open.end())
            {
                const auto [n, e] = reversed->second;
                links[t * 3 + k] = {static_cast<std::int64_t>(n), e};
                links[n * 3 + e] = {static_cast<std::int64_t>(t), k};
                open.erase(reversed);
            }
            else
            {
                open.emplace(std::make_pair(a, b), std::make_pair(t, k));
            }
        }
    return links;
}

TEST(MeshLinks, SameLinksAsTheOrderedMapPassOnRandomSoups)
{
    std::mt19937 random(12345);
    for (int round = 0; round < 40; ++round)
    {
        const std::uint32_t vertexCount = 4 + random() % 30;
        const std::uint32_t triangleCount = 1 + random() % 300;
        std::vector<Point> points(vertexCount, Point{0, 0, 0});
        std::vector<Triple> triangles;
        while (triangles.size() < triangleCount)
        {
            const Triple t{static_cast<std::uint32_t>(random() % vertexCount),
                           static_cast<std::uint32_t>(random() % vertexCount),
                           static_cast<std::uint32_t>(random() % vertexCount)};
            if (t[0] != t[1] && t[1] != t[2] && t[0] != t[2])
                triangles.push_back(t);
        }
        cMesh mesh;
        BuildMesh(mesh, points, triangles, false);
        ASSERT_TRUE(mesh.BuildTopology());
        std::map<const cMeshTriangle*, std::int64_t> indexOf;
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
            indexOf[mesh.GetTriangle(i)] = i;
        const auto expected = ReferenceLinks(triangles);
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
            for (int k = 0; k < 3; ++k)
            {
                const cMeshTriangle* t = mesh.GetTriangle(i);
                const std::int64_t linked = t->neighbour[k] != nullptr ? indexOf.at(t->neighbour[k]) : -1;
                ASSERT_EQ(linked, expected[i * 3 + k].first)
                    << "round " << round << " triangle " << i << " edge " << k;
                ASSERT_EQ(t->neighbourEdge[k], expected[i * 3 + k].second);
            }
        ASSERT_EQ(CheckLinks(mesh), "");
    }
}

TEST(MeshLinks, ARebuildKeepsLinksThatFindNoPartner)
{
    cMesh mesh;
    BuildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {2, 1, 3}});
    // Re-index the second triangle so that it no longer shares the edge.
    mesh.GetTriangle(1)->vertexIndex[0] = 3;
    mesh.GetTriangle(1)->vertexIndex[2] = 2;
    mesh.InvalidateTopology();
    ASSERT_TRUE(mesh.BuildTopology());
    EXPECT_EQ(mesh.GetTriangle(0)->neighbour[1], mesh.GetTriangle(1)) << "stale, as links always were";
    EXPECT_TRUE(mesh.IsTopologyValid());
}

TEST(VertexRing, ClosedAndOpenFans)
{
    cMesh closed;
    BuildFan(closed, 6, true);
    tVertexDeque ring;
    EXPECT_EQ(closed.GetVertexNeighboursByIndex(0, 1, ring), 6u);
    EXPECT_EQ(Sorted(Indices(ring)), (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6}));
    // The ring goes round the fan in order.
    for (std::size_t i = 0; i < ring.size(); ++i)
    {
        const std::uint32_t a = ring[i]->index;
        const std::uint32_t b = ring[(i + 1) % ring.size()]->index;
        EXPECT_TRUE((a % 6) + 1 == b || (b % 6) + 1 == a) << a << " then " << b;
    }

    // A border vertex with three triangles has four neighbours, whichever
    // triangle comes first.
    for (std::uint32_t rotate = 0; rotate < 3; ++rotate)
    {
        std::vector<Triple> triangles{{0, 1, 2}, {0, 2, 3}, {0, 3, 4}};
        std::rotate(triangles.begin(), triangles.begin() + rotate, triangles.end());
        cMesh open;
        BuildMesh(open, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {-1, 1, 0}}, triangles);
        EXPECT_EQ(open.GetVertexNeighboursByIndex(0, 1, ring), 4u);
        EXPECT_EQ(Indices(ring), (std::vector<std::uint32_t>{1, 2, 3, 4})) << "rotation " << rotate;
        bool isBorder = false;
        tTriangleCornerDeque corners;
        EXPECT_EQ(open.CollectVertexRing(0, open.GetTriangle(0), isBorder, ring, &corners), 4u);
        EXPECT_TRUE(isBorder);
        ASSERT_EQ(corners.size(), 4u);
        EXPECT_EQ(corners[3].triangle->vertexIndex[corners[3].corner], 4u);
    }

    bool isBorder = true;
    EXPECT_EQ(closed.CollectVertexRing(0, closed.GetTriangle(2), isBorder, ring), 6u);
    EXPECT_FALSE(isBorder);
}

TEST(VertexRing, VerticesInNoTriangleHaveNoRing)
{
    cMesh mesh;
    BuildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}}, {{0, 1, 2}});
    tVertexDeque ring{mesh.GetVertex(0)};
    EXPECT_EQ(mesh.GetVertexNeighboursByIndex(3, 1, ring), 0u);
    EXPECT_EQ(ring.size(), 1u) << "the output is untouched";
    EXPECT_EQ(mesh.GetVertexNeighboursByIndex(99, 1, ring), 0u);
    EXPECT_EQ(mesh.GetVertexNeighbours(nullptr, 1, ring), 0u);
    cVertex stranger;
    EXPECT_EQ(mesh.GetVertexNeighbours(&stranger, 1, ring), 0u);
    EXPECT_EQ(mesh.GetVertexNeighbours(mesh.GetVertex(0), 1, ring), 2u);
    EXPECT_EQ(mesh.GetVertexNeighbours(mesh.GetVertex(0), 0, ring), 0u);
    EXPECT_TRUE(ring.empty());
}

TEST(VertexRing, RingsFromTheFirstTrianglesTableAreTheRingsByIndex)
{
    // A grid with a fan glued on by one vertex, a vertex in no triangle, and
    // a triangle naming a vertex that does not exist.
    cMesh mesh;
    BuildGrid(mesh, 4, 3);
    const std::uint32_t hub = mesh.AddVertex(9.0f, 9.0f, 0.0f, false, 0.0f);
    const std::uint32_t a = mesh.AddVertex(10.0f, 9.0f, 0.0f, false, 0.0f);
    const std::uint32_t b = mesh.AddVertex(9.0f, 10.0f, 0.0f, false, 0.0f);
    mesh.AddVertex(20.0f, 20.0f, 0.0f, false, 0.0f);
    mesh.AddTriangle(hub, a, b);
    mesh.AddTriangle(11, hub, a);
    mesh.AddTriangle(a, 7, mesh.GetVertexCount() + 3);
    mesh.Update();
    const auto first = mesh.FirstTriangleOfEachVertex();
    ASSERT_EQ(first.size(), mesh.GetVertexCount());
    EXPECT_EQ(first.back(), cMesh::kNoTriangle);
    for (std::uint32_t v = 0; v < mesh.GetVertexCount(); ++v)
        for (const std::uint8_t rings : {1, 2})
        {
            tVertexDeque byIndex, fromTable;
            EXPECT_EQ(mesh.GetVertexNeighboursFrom(first[v], v, rings, fromTable),
                      mesh.GetVertexNeighboursByIndex(v, rings, byIndex));
            EXPECT_EQ(Indices(fromTable), Indices(byIndex)) << "vertex " << v << " rings " << int(rings);
        }
}

TEST(VertexRing, SecondRingSkipsTheCentreAndExcludedVertices)
{
    cMesh mesh;
    BuildGrid(mesh, 5, 5);
    mesh.GetVertex(24)->flags |= kVertexFlagExcluded; // two diagonal steps from the centre
    tVertexDeque rings;
    // Six neighbours, then the twelve vertices two steps away, one of them
    // excluded.
    EXPECT_EQ(mesh.GetVertexNeighboursByIndex(12, 2, rings), 17u);
    const std::vector<std::uint32_t> found = Sorted(Indices(rings));
    EXPECT_EQ(std::count(found.begin(), found.end(), 12u), 0);
    EXPECT_EQ(std::count(found.begin(), found.end(), 24u), 0);
    EXPECT_EQ(std::set<std::uint32_t>(found.begin(), found.end()).size(), found.size());
    const std::vector<std::uint32_t> inOrder = Indices(rings);
    EXPECT_EQ(Sorted(std::vector<std::uint32_t>(inOrder.begin(), inOrder.begin() + 6)),
              (std::vector<std::uint32_t>{6, 7, 11, 13, 17, 18}))
        << "the first ring comes first";
    EXPECT_FALSE(AnyVertexFlag(mesh, kVertexFlagRingVisit));
    EXPECT_TRUE(mesh.GetVertex(24)->IsExcluded());

    // Far enough, the rings cover the whole grid once.
    EXPECT_EQ(mesh.GetVertexNeighboursByIndex(0, 255, rings), 23u);
    EXPECT_FALSE(AnyVertexFlag(mesh, kVertexFlagRingVisit));
}

TEST(Boundary, BorderVerticesInIndexOrder)
{
    cMesh closed;
    BuildTetrahedron(closed);
    tVertexDeque border;
    EXPECT_EQ(closed.GetBoundaryVertices(border), 0u);

    cMesh single;
    BuildMesh(single, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{2, 0, 1}});
    EXPECT_EQ(single.GetBoundaryVertices(border), 3u);
    EXPECT_EQ(Indices(border), (std::vector<std::uint32_t>{0, 1, 2}));

    cMesh grid;
    BuildGrid(grid, 3, 3);
    EXPECT_EQ(grid.GetBoundaryVertices(border), 8u);
    EXPECT_EQ(Indices(border), (std::vector<std::uint32_t>{0, 1, 2, 3, 5, 6, 7, 8}));
}

TEST(Boundary, BorderPolylinesOfAStripWithAHole)
{
    cMesh mesh;
    BuildGrid(mesh, 4, 4, {4}); // the middle cell is missing
    tBoundaryPolylines borders;
    ASSERT_EQ(mesh.GetBoundaryPolylines(borders), 2u);
    std::vector<double> lengths;
    for (std::uint32_t i = 0; i < borders.GetCount(); ++i)
    {
        const tPolyline<cVertex>& loop = borders[i];
        // Closed chains repeat their start vertex.
        EXPECT_EQ(loop.GetFirstVertex()->index, loop.GetLastVertex()->index);
        lengths.push_back(loop.GetLength());
    }
    std::sort(lengths.begin(), lengths.end());
    EXPECT_DOUBLE_EQ(lengths[0], 4.0);
    EXPECT_DOUBLE_EQ(lengths[1], 12.0);

    cMesh closed;
    BuildTetrahedron(closed);
    EXPECT_EQ(closed.GetBoundaryPolylines(borders), 0u);
    EXPECT_EQ(borders.GetCount(), 0u);
}

TEST(Boundary, PolylinesBuildTheTopologyWhenNeeded)
{
    cMesh mesh;
    BuildGrid(mesh, 3, 2, {}, false);
    ASSERT_FALSE(mesh.IsTopologyValid());
    tBoundaryPolylines borders;
    ASSERT_EQ(mesh.GetBoundaryPolylines(borders), 1u);
    EXPECT_TRUE(mesh.IsTopologyValid());
    EXPECT_EQ(borders[0].GetVertexCount(), 7u);
}

TEST(Boundary, TwoFansTouchingAtAVertexKeepBothBorders)
{
    // A bow tie: two triangles sharing only vertex 0, so two border edges
    // leave it.
    cMesh mesh;
    BuildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {-1, 0, 0}, {-1, -1, 0}}, {{0, 1, 2}, {0, 3, 4}});
    tBoundaryPolylines borders;
    const std::uint32_t count = mesh.GetBoundaryPolylines(borders);
    std::uint32_t points = 0;
    for (std::uint32_t i = 0; i < count; ++i)
        points += borders[i].GetVertexCount();
    // A chain holds one vertex more than it has edges.
    EXPECT_EQ(points - count, 6u) << "every one of the six border edges is walked";
}

TEST(ConnectedVertices, FindsTheComponentOfTheVertex)
{
    cMesh mesh;
    BuildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {5, 0, 0}, {6, 0, 0}, {5, 1, 0}, {9, 9, 9}},
              {{0, 1, 2}, {2, 1, 3}, {4, 5, 6}});
    const std::uint8_t masksBefore = VertexUsedFlags().Value();
    tArray<cVertex*> found;
    EXPECT_EQ(mesh.GetConnectedVertices(mesh.GetVertex(3), found), 4u);
    EXPECT_EQ(ArrayIndices(found), (std::vector<std::uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(mesh.GetConnectedVerticesByIndex(5, found), 3u);
    EXPECT_EQ(mesh.GetConnectedVerticesByIndex(7, found), 0u) << "in no triangle";
    EXPECT_EQ(mesh.GetConnectedVerticesByIndex(8, found), 0u) << "no such vertex";
    EXPECT_EQ(VertexUsedFlags().Value(), masksBefore) << "the borrowed bit is given back";
    EXPECT_FALSE(AnyVertexFlag(mesh, 0xF0));

    // With the caller's mask the bits stay, and marked vertices count as seen.
    const std::uint32_t mask = 0x100;
    mesh.GetVertex(1)->flags |= mask;
    EXPECT_EQ(mesh.GetConnectedVertices(mesh.GetVertex(0), found, &mask), 3u);
    EXPECT_EQ(ArrayIndices(found), (std::vector<std::uint32_t>{0, 2, 3}));
    EXPECT_EQ(mesh.GetVertex(3)->flags & mask, mask);
    const std::uint32_t empty = 0;
    EXPECT_EQ(mesh.GetConnectedVertices(mesh.GetVertex(0), found, &empty), 0u);
}

TEST(ConnectedVertices, WalkPastTrianglesWhoseCornersAreAllMarked)
{
    // In this grid, triangle (1, 5, 4) has all its corners marked through
    // other triangles before it is looked at, and it is the only way on to
    // vertex 2.
    cMesh mesh;
    BuildGrid(mesh, 3, 3);
    tArray<cVertex*> found;
    EXPECT_EQ(mesh.GetConnectedVertices(mesh.GetVertex(0), found), 9u);
    EXPECT_EQ(mesh.MarkConnectedVertices(mesh.GetVertex(0), 0x10, true), 9u);
    EXPECT_FALSE(AnyVertexFlag(mesh, 0xE0));
    bool anyTriangleFlag = false;
    mesh.ForEachTriangle([&anyTriangleFlag](const cMeshTriangle& t) { anyTriangleFlag |= t.flags != 0; });
    EXPECT_FALSE(anyTriangleFlag) << "the walk's triangle marks are cleared";
}

TEST(ConnectedVertices, FailCleanlyWhenNoBitIsFree)
{
    cMesh mesh;
    BuildGrid(mesh, 3, 3);
    tArray<cVertex*> found;
    {
        std::vector<std::uint8_t> held;
        for (std::uint8_t bit = BorrowVertexFlag(); bit != 0; bit = BorrowVertexFlag())
            held.push_back(bit);
        EXPECT_EQ(mesh.GetConnectedVertices(mesh.GetVertex(0), found), 0u);
        tArray<cVertex*> set;
        set.PushBack(mesh.GetVertex(0));
        EXPECT_EQ(mesh.GetAreaOfVertexSet(set), 0.0);
        for (std::uint8_t bit : held)
            ReturnVertexFlag(bit);
    }
    {
        std::vector<std::uint8_t> held;
        for (std::uint8_t bit = BorrowTriangleFlag(); bit != 0; bit = BorrowTriangleFlag())
            held.push_back(bit);
        EXPECT_EQ(mesh.GetConnectedVertices(mesh.GetVertex(0), found), 0u);
        EXPECT_EQ(mesh.MarkConnectedVertices(mesh.GetVertex(0), 0x10, true), 0u);
        EXPECT_FALSE(AnyVertexFlag(mesh, 0xF0));
        for (std::uint8_t bit : held)
            ReturnTriangleFlag(bit);
    }
    EXPECT_EQ(mesh.GetConnectedVertices(mesh.GetVertex(0), found), 9u);
}

TEST(ConnectedVertices, MarkReachesEveryConnectedVertex)
{
    // Vertex 5 is reached only across an edge whose opposite corner was
    // already marked when the triangle before it was visited.
    cMesh mesh;
    BuildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {9, 9, 9}, {2, 1, 0}},
              {{0, 1, 2}, {2, 1, 3}, {3, 1, 5}});
    const std::uint32_t mask = 0x20;
    EXPECT_EQ(mesh.MarkConnectedVertices(mesh.GetVertex(0), mask, true), 5u);
    for (std::uint32_t i : {0u, 1u, 2u, 3u, 5u})
        EXPECT_EQ(mesh.GetVertex(i)->flags & mask, mask) << i;
    EXPECT_EQ(mesh.GetVertex(4)->flags & mask, 0u);

    // Already marked: nothing new; clearFirst starts over.
    EXPECT_EQ(mesh.MarkConnectedVertices(mesh.GetVertex(0), mask, false), 0u);
    EXPECT_EQ(mesh.MarkConnectedVerticesByIndex(3, mask, true), 5u);
    EXPECT_EQ(mesh.MarkConnectedVerticesByIndex(4, mask, true), 0u);
    EXPECT_FALSE(AnyVertexFlag(mesh, mask));
    EXPECT_EQ(mesh.MarkConnectedVertices(mesh.GetVertex(0), 0, false), 0u);
}

TEST(AreaOfVertexSet, SumsTrianglesInsideTheSet)
{
    cMesh mesh;
    BuildGrid(mesh, 3, 3);
    tArray<cVertex*> set;
    EXPECT_EQ(mesh.GetAreaOfVertexSet(set), 0.0);
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        set.PushBack(mesh.GetVertex(i));
    EXPECT_DOUBLE_EQ(mesh.GetAreaOfVertexSet(set), 4.0);
    const double limit = 1.2;
    EXPECT_DOUBLE_EQ(mesh.GetAreaOfVertexSet(set, &limit), 1.5) << "stops at the first sum above the limit";

    tArray<cVertex*> corner;
    for (std::uint32_t i : {0u, 1u, 3u, 4u})
        corner.PushBack(mesh.GetVertex(i));
    EXPECT_DOUBLE_EQ(mesh.GetAreaOfVertexSet(corner), 1.0);
    EXPECT_FALSE(AnyVertexFlag(mesh, 0xF0));
}

// Every query on every vertex; fails the test if a flag bit is left behind.
void RunEveryQuery(cMesh& mesh, std::mt19937& random)
{
    const std::uint8_t vertexMask = VertexUsedFlags().Value();
    const std::uint8_t triangleMask = TriangleUsedFlags().Value();
    tVertexDeque out;
    tArray<cVertex*> found;
    for (std::uint32_t v = 0; v < mesh.GetVertexCount(); ++v)
    {
        mesh.GetVertexNeighboursByIndex(v, 1, out);
        mesh.GetVertexNeighboursByIndex(v, static_cast<std::uint8_t>(2 + random() % 4), out);
        mesh.GetConnectedVerticesByIndex(v, found);
        ASSERT_LE(found.GetCount(), mesh.GetVertexCount());
        mesh.MarkConnectedVerticesByIndex(v, 0x40, true);
    }
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
    {
        bool isBorder = false;
        for (std::uint8_t k = 0; k < 3; ++k)
            ASSERT_LE(mesh.CollectVertexRing(k, mesh.GetTriangle(t), isBorder, out),
                      mesh.GetTriangleCount() + 2);
    }
    mesh.GetBoundaryVertices(out);
    tBoundaryPolylines borders;
    mesh.GetBoundaryPolylines(borders);
    mesh.GetAreaOfVertexSet(found);
    mesh.ComputeVertexNormals();
    cMeshTriangle* start = mesh.GetTriangle(random() % mesh.GetTriangleCount());
    start->SetLabel(1);
    ASSERT_LE(mesh.LabelConnectedTriangles(start, 0), mesh.GetTriangleCount());

    mesh.ForEachVertex([](cVertex& v) { v.flags &= ~0x40u; });
    EXPECT_FALSE(AnyVertexFlag(mesh, 0xFF));
    EXPECT_EQ(VertexUsedFlags().Value(), vertexMask);
    bool anyTriangleFlag = false;
    mesh.ForEachTriangle([&anyTriangleFlag](const cMeshTriangle& t) { anyTriangleFlag |= t.flags != 0; });
    EXPECT_FALSE(anyTriangleFlag) << "the walks' triangle marks are given back clean";
    EXPECT_EQ(TriangleUsedFlags().Value(), triangleMask);
}

TEST(TopologyRobustness, RandomSoupsStaleLinksAndFlipsNeverHang)
{
    std::mt19937 random(777);
    for (int round = 0; round < 30; ++round)
    {
        const std::uint32_t vertexCount = 4 + random() % 25;
        std::vector<Point> points;
        for (std::uint32_t i = 0; i < vertexCount; ++i)
            points.push_back({static_cast<float>(random() % 7), static_cast<float>(random() % 7),
                              static_cast<float>(random() % 7)});
        std::vector<Triple> triangles;
        const std::uint32_t triangleCount = 1 + random() % 120;
        for (std::uint32_t i = 0; i < triangleCount; ++i)
            triangles.push_back({static_cast<std::uint32_t>(random() % vertexCount),
                                 static_cast<std::uint32_t>(random() % vertexCount),
                                 static_cast<std::uint32_t>(random() % vertexCount)});
        cMesh mesh;
        BuildMesh(mesh, points, triangles);
        if (mesh.GetTriangleCount() == 0)
            continue;
        ASSERT_EQ(CheckLinks(mesh), "");
        RunEveryQuery(mesh, random);

        // Flip some triangles, then scramble some links into stale,
        // one-sided ones pointing anywhere.
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); i += 3)
            cMesh::FlipTriangle(mesh.GetTriangle(i));
        RunEveryQuery(mesh, random);
        for (int s = 0; s < 20; ++s)
        {
            cMeshTriangle* t = mesh.GetTriangle(random() % mesh.GetTriangleCount());
            const int k = static_cast<int>(random() % 3);
            t->neighbour[k] = random() % 4 == 0 ? t : mesh.GetTriangle(random() % mesh.GetTriangleCount());
            t->neighbourEdge[k] = static_cast<std::uint8_t>(random() % 4 == 0 ? 0xFF : random() % 3);
        }
        RunEveryQuery(mesh, random);
    }
}

TEST(TopologyRobustness, NonManifoldFanAndFlippedTriangle)
{
    // Four triangles on the edge 0-1, one of them flipped against its
    // neighbours.
    cMesh mesh;
    BuildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}},
              {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}, {1, 0, 5}, {2, 1, 4}});
    EXPECT_EQ(CheckLinks(mesh), "");
    std::mt19937 random(3);
    RunEveryQuery(mesh, random);
    tVertexDeque ring;
    EXPECT_GE(mesh.GetVertexNeighboursByIndex(0, 1, ring), 2u);
}

} // namespace
