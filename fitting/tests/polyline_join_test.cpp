#include "fitting/polyline_join.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <random>
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

// The join as a plain scan: every step asks every piece. The indexed join
// must give exactly this, piece for piece and vertex for vertex.
void ScanJoin(tSectionPolylines& collection, float tolerance, double angle)
{
    auto& items = collection.items;
    std::vector<double> lengths(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
    {
        items[i].firstFlag = 1;
        lengths[i] = items[i].GetLength();
    }
    const auto open = [&](std::size_t i) { return items[i].firstFlag != 0 && !items[i].IsEmpty(); };
    const auto reverse = [&](std::size_t i) {
        ReversePolyline(items[i]);
        lengths[i] = items[i].GetLength();
    };
    const auto sq = [](const cVertex& a, const cVertex& b) {
        const double dx = static_cast<double>(a.x) - b.x, dy = static_cast<double>(a.y) - b.y,
                     dz = static_cast<double>(a.z) - b.z;
        return dx * dx + dy * dy + dz * dz;
    };
    const auto unit = [](const cVertex& to, const cVertex& from, double out[3]) {
        out[0] = static_cast<double>(to.x) - from.x;
        out[1] = static_cast<double>(to.y) - from.y;
        out[2] = static_cast<double>(to.z) - from.z;
        NormaliseVector3d(out);
    };
    const auto append = [](tPolyline<cVertex>& head, const tPolyline<cVertex>& tail, bool skipFirst) {
        head.vertices.insert(head.vertices.end(), tail.vertices.begin() + (skipFirst ? 1 : 0), tail.vertices.end());
        head.boxValid = 0;
    };
    const double cosAngle = std::cos(angle);
    for (;;)
    {
        std::int64_t longest = -1;
        for (std::size_t i = 0; i < items.size(); ++i)
            if (open(i) && (longest < 0 || lengths[i] > lengths[static_cast<std::size_t>(longest)]))
                longest = static_cast<std::int64_t>(i);
        if (longest < 0)
            break;
        std::size_t p = static_cast<std::size_t>(longest);
        items[p].firstFlag = 0;
        for (;;)
        {
            tFramePolyline<cVertex>& head = items[p];
            const stNearestEnd atFirst = FindNearestOpenEnd(collection, head.GetFirstVertex()->Position(), tolerance);
            const stNearestEnd atLast = FindNearestOpenEnd(collection, head.GetLastVertex()->Position(), tolerance);
            if (atLast.index >= 0 && atLast.squaredDistance <= atFirst.squaredDistance)
            {
                const std::size_t q = static_cast<std::size_t>(atLast.index);
                if (atLast.end == ePolylineEnd::last)
                    reverse(q);
                tFramePolyline<cVertex>& tail = items[q];
                const bool coincide = sq(*tail.GetFirstVertex(), *head.GetLastVertex()) < FLT_EPSILON;
                const std::uint32_t n = head.GetVertexCount();
                if (!coincide && angle > 0.0 && n >= 2 && tail.GetVertexCount() >= 2)
                {
                    double u[3], v[3];
                    unit(*head.GetVertex(n - 2), *head.GetVertex(n - 1), u);
                    unit(*tail.GetVertex(1), *tail.GetVertex(0), v);
                    if (Dot3d(u, v) > cosAngle)
                        break;
                }
                append(head, tail, coincide);
                tail.Clear();
                continue;
            }
            if (atFirst.index >= 0)
            {
                const std::size_t q = static_cast<std::size_t>(atFirst.index);
                if (atFirst.end == ePolylineEnd::first)
                    reverse(q);
                tFramePolyline<cVertex>& front = items[q];
                const bool coincide = sq(*head.GetFirstVertex(), *front.GetLastVertex()) < FLT_EPSILON;
                const std::uint32_t m = front.GetVertexCount();
                if (!coincide && angle > 0.0 && head.GetVertexCount() >= 2 && m >= 2)
                {
                    double u[3], v[3];
                    unit(*head.GetVertex(1), *head.GetVertex(0), u);
                    unit(*front.GetVertex(m - 2), *front.GetVertex(m - 1), v);
                    if (Dot3d(u, v) > cosAngle)
                        break;
                }
                append(front, head, coincide);
                front.firstFlag = 0;
                head.Clear();
                p = q;
                continue;
            }
            break;
        }
    }
    items.erase(std::remove_if(items.begin(), items.end(), [](const auto& polyline) { return polyline.IsEmpty(); }),
                items.end());
}

// Random pieces cut from a few loops and scattered strokes, with shared and
// nearly shared ends, exact duplicates (ties) and single-point pieces.
tSectionPolylines RandomPieces(std::mt19937& rng, std::uint32_t count, bool flat)
{
    std::uniform_real_distribution<float> coord(-10.0f, 10.0f);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> length(1, 5);
    tSectionPolylines c;
    std::vector<std::array<float, 3>> ends;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        tFramePolyline<cVertex> piece;
        const int n = length(rng);
        std::array<float, 3> at{coord(rng), coord(rng), flat ? 0.0f : coord(rng)};
        const int k = kind(rng);
        if (k < 4 && !ends.empty())
            at = ends[std::uniform_int_distribution<std::size_t>(0, ends.size() - 1)(rng)]; // shared end
        else if (k < 6 && !ends.empty())
        {
            at = ends[std::uniform_int_distribution<std::size_t>(0, ends.size() - 1)(rng)];
            at[0] += 0.01f * static_cast<float>(k - 4) + 0.003f; // a small gap
        }
        for (int j = 0; j < n; ++j)
        {
            cVertex v{};
            v.x = at[0] + 0.3f * static_cast<float>(j);
            v.y = at[1] + 0.1f * static_cast<float>(j * j);
            v.z = at[2];
            piece.AddVertex(v);
        }
        ends.push_back({piece.GetLastVertex()->x, piece.GetLastVertex()->y, piece.GetLastVertex()->z});
        if (k == 9)
            piece.Clear(); // an empty piece among the others
        c.Add(piece);
    }
    return c;
}

TEST(PolylineJoin, IndexedJoinGivesExactlyTheScanJoin)
{
    std::mt19937 rng(20261207);
    const float tolerances[] = {0.0f, 0.005f, 0.05f, 1.0f, FLT_MAX};
    const double angles[] = {0.0, kPi / 6};
    for (int round = 0; round < 30; ++round)
    {
        const std::uint32_t count = 1 + static_cast<std::uint32_t>(round * 7);
        const tSectionPolylines source = RandomPieces(rng, count, round % 2 == 0);
        for (float tolerance : tolerances)
            for (double angle : angles)
            {
                tSectionPolylines indexed = source, scanned = source;
                JoinPolylines(indexed, tolerance, angle);
                ScanJoin(scanned, tolerance, angle);
                ASSERT_EQ(indexed.GetCount(), scanned.GetCount()) << round << ' ' << tolerance << ' ' << angle;
                for (std::uint32_t i = 0; i < indexed.GetCount(); ++i)
                {
                    ASSERT_EQ(indexed[i].GetVertexCount(), scanned[i].GetVertexCount()) << round << ' ' << i;
                    EXPECT_EQ(indexed[i].firstFlag, scanned[i].firstFlag);
                    for (std::uint32_t j = 0; j < indexed[i].GetVertexCount(); ++j)
                    {
                        const cVertex& a = *indexed[i].GetVertex(j);
                        const cVertex& b = *scanned[i].GetVertex(j);
                        ASSERT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z) << round << ' ' << i << ' ' << j;
                    }
                }
            }
    }
}

TEST(PolylineJoin, ManyPiecesJoinWithoutAskingEveryPieceEachTime)
{
    // Forty thousand two-point pieces of one long open zigzag, shuffled: the
    // plain scan would take ~10^9 end tests; the indexed join is linear-ish.
    std::mt19937 rng(7);
    const std::uint32_t n = 40000;
    std::vector<tFramePolyline<cVertex>> pieces;
    for (std::uint32_t i = 0; i < n; ++i)
    {
        cVertex a{}, b{};
        a.x = static_cast<float>(i);
        a.y = static_cast<float>(i % 2);
        b.x = static_cast<float>(i + 1);
        b.y = static_cast<float>((i + 1) % 2);
        tFramePolyline<cVertex> piece;
        piece.AddVertex(a);
        piece.AddVertex(b);
        if (i % 3 == 0)
            ReversePolyline(piece);
        pieces.push_back(piece);
    }
    std::shuffle(pieces.begin(), pieces.end(), rng);
    tSectionPolylines c;
    for (const auto& piece : pieces)
        c.Add(piece);
    JoinPolylines(c, 0.01f, 0.0);
    ASSERT_EQ(c.GetCount(), 1u);
    EXPECT_EQ(c[0].GetVertexCount(), n + 1);
}

} // namespace
