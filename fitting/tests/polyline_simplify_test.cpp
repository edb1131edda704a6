#include "fitting/polyline_simplify.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

namespace
{

constexpr double kPi = 3.14159265358979323846;

tPolyline<cVertex> Make(const std::vector<std::array<float, 3>>& points)
{
    tPolyline<cVertex> polyline;
    std::uint32_t i = 0;
    for (const auto& p : points)
    {
        cVertex v;
        v.x = p[0];
        v.y = p[1];
        v.z = p[2];
        v.index = 100 + i++;
        v.flags = 0x20;
        polyline.AddVertex(v);
    }
    return polyline;
}

tPolyline<cVertex> Straight(std::uint32_t n, float length)
{
    std::vector<std::array<float, 3>> points;
    for (std::uint32_t i = 0; i < n; ++i)
        points.push_back({length * i / (n - 1), 0.0f, 0.0f});
    return Make(points);
}

double Dist(const cVertex& a, const cVertex& b)
{
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

// Distance of p from the segment a-b.
double SegmentDistance(const cVertex& p, const cVertex& a, const cVertex& b)
{
    const double d[3] = {b.x - a.x, b.y - a.y, b.z - a.z}, r[3] = {p.x - a.x, p.y - a.y, p.z - a.z};
    const double l2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    double t = l2 > 0 ? (r[0] * d[0] + r[1] * d[1] + r[2] * d[2]) / l2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(r[0] - t * d[0], r[1] - t * d[1], r[2] - t * d[2]);
}

TEST(PolylineSimplify, ClosedTestComparesTheEnds)
{
    EXPECT_FALSE(IsPolylineClosed(tPolyline<cVertex>(), 1.0f));
    EXPECT_TRUE(IsPolylineClosed(Make({{0, 0, 0}, {1, 0, 0}, {0, 0, 0.5f}}), 0.6f));
    EXPECT_FALSE(IsPolylineClosed(Make({{0, 0, 0}, {1, 0, 0}, {0, 0, 0.5f}}), 0.5f));
}

TEST(PolylineSimplify, StraightLineKeepsFirstThePointBeforeTheLastAndTheLast)
{
    tPolyline<cVertex> line = Straight(11, 10.0f);
    SimplifyPolyline(line, 1e-3f, FLT_MAX);
    ASSERT_EQ(line.GetVertexCount(), 3u);
    EXPECT_EQ(line.GetVertex(0)->x, 0.0f);
    EXPECT_EQ(line.GetVertex(1)->x, 9.0f);
    EXPECT_EQ(line.GetVertex(2)->x, 10.0f);
    // Kept records keep their fields except the own index.
    EXPECT_EQ(line.GetVertex(1)->flags, 0x20u);
    EXPECT_EQ(line.GetVertex(1)->index, 0u);
}

TEST(PolylineSimplify, ChordLimitKeepsMorePoints)
{
    tPolyline<cVertex> line = Straight(11, 10.0f);
    SimplifyPolyline(line, 1e-3f, 2.5);
    EXPECT_GT(line.GetVertexCount(), 5u);
    for (std::uint32_t i = 1; i + 2 < line.GetVertexCount(); ++i)
        EXPECT_LE(Dist(*line.GetVertex(i), *line.GetVertex(i + 1)), 2.5 + 1e-6);
}

TEST(PolylineSimplify, DroppedPointsStayWithinTheToleranceOfTheirChord)
{
    std::vector<std::array<float, 3>> points;
    for (int i = 0; i <= 200; ++i)
    {
        const double a = kPi * i / 200;
        points.push_back({static_cast<float>(10 * std::cos(a)), static_cast<float>(10 * std::sin(a)), 0.0f});
    }
    const tPolyline<cVertex> original = Make(points);
    tPolyline<cVertex> simplified = original;
    const float tolerance = 0.05f;
    SimplifyPolyline(simplified, tolerance, FLT_MAX);
    ASSERT_LT(simplified.GetVertexCount(), 60u);
    ASSERT_GT(simplified.GetVertexCount(), 5u);
    // Kept points are a subsequence; each dropped one lies near its chord.
    std::uint32_t k = 0;
    for (std::uint32_t i = 0; i < original.GetVertexCount(); ++i)
    {
        const cVertex& v = *original.GetVertex(i);
        if (k < simplified.GetVertexCount() && v.x == simplified.GetVertex(k)->x && v.y == simplified.GetVertex(k)->y)
        {
            ++k;
            continue;
        }
        ASSERT_GT(k, 0u);
        ASSERT_LT(k, simplified.GetVertexCount());
        EXPECT_LE(SegmentDistance(v, *simplified.GetVertex(k - 1), *simplified.GetVertex(k)), tolerance + 1e-6);
    }
    EXPECT_EQ(k, simplified.GetVertexCount());
}

TEST(PolylineSimplify, ClosedPolylineKeepsItsClosingPoint)
{
    std::vector<std::array<float, 3>> points;
    for (int i = 0; i <= 40; ++i)
    {
        const double a = 2 * kPi * (i % 40) / 40;
        points.push_back({static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), 0.0f});
    }
    tPolyline<cVertex> loop = Make(points);
    SimplifyPolyline(loop, 0.01f, FLT_MAX);
    ASSERT_GE(loop.GetVertexCount(), 4u);
    EXPECT_EQ(loop.GetFirstVertex()->x, loop.GetLastVertex()->x);
    EXPECT_EQ(loop.GetFirstVertex()->y, loop.GetLastVertex()->y);
}

TEST(PolylineSimplify, TinyPolylinesAreLeftAlone)
{
    tPolyline<cVertex> empty;
    SimplifyPolyline(empty, 1.0f, FLT_MAX);
    EXPECT_TRUE(empty.IsEmpty());
    for (const auto& points : std::vector<std::vector<std::array<float, 3>>>{
             {{1, 2, 3}}, {{1, 2, 3}, {1, 2, 3}}, {{0, 0, 0}, {1, 0, 0}}, {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}}})
    {
        tPolyline<cVertex> p = Make(points);
        SimplifyPolyline(p, 1.0f, FLT_MAX);
        ASSERT_EQ(p.GetVertexCount(), points.size());
        EXPECT_EQ(p.GetVertex(0)->index, 100u) << "left unchanged";
    }
}

TEST(PolylineSimplify, FixedStepSamplesAreOneStepApartAndEndAtTheLastPoint)
{
    tPolyline<cVertex> line = Make({{0, 0, 0}, {3, 0, 0}, {3, 4, 0}, {3, 4, 2.5f}});
    ResamplePolyline(line, 1.0f);
    // Length 9.5: samples at 0, 1, ..., 9 and the end at 9.5 (half a step away).
    ASSERT_EQ(line.GetVertexCount(), 11u);
    for (std::uint32_t i = 1; i + 1 < line.GetVertexCount(); ++i)
        EXPECT_NEAR(Dist(*line.GetVertex(i - 1), *line.GetVertex(i)), 1.0, 1e-5) << i;
    EXPECT_EQ(line.GetLastVertex()->z, 2.5f);
    EXPECT_EQ(line.GetLastVertex()->index, 103u) << "the whole last input vertex";
    EXPECT_EQ(line.GetVertex(4)->flags, 0u) << "samples carry positions only";
}

TEST(PolylineSimplify, FixedStepReplacesASampleNearTheEnd)
{
    tPolyline<cVertex> line = Straight(5, 9.3f);
    ResamplePolyline(line, 1.0f);
    // The sample at 9 lies within half a step of 9.3 and is replaced by it.
    ASSERT_EQ(line.GetVertexCount(), 10u);
    EXPECT_EQ(line.GetLastVertex()->x, 9.3f);
    EXPECT_NEAR(line.GetVertex(8)->x, 8.0f, 1e-5);
}

TEST(PolylineSimplify, FixedStepLongerThanThePolyline)
{
    tPolyline<cVertex> a = Straight(3, 1.0f);
    ResamplePolyline(a, 1.5f);
    ASSERT_EQ(a.GetVertexCount(), 2u);
    EXPECT_EQ(a.GetVertex(0)->x, 0.0f);
    EXPECT_EQ(a.GetVertex(1)->x, 1.0f);

    tPolyline<cVertex> b = Straight(3, 1.0f);
    ResamplePolyline(b, 2.5f);
    ASSERT_EQ(b.GetVertexCount(), 1u);
    EXPECT_EQ(b.GetVertex(0)->x, 1.0f);
}

TEST(PolylineSimplify, FixedStepRefusesRunawayAndDegenerateSteps)
{
    tPolyline<cVertex> line = Straight(3, 1000.0f);
    ResamplePolyline(line, 1e-6f);
    EXPECT_EQ(line.GetVertexCount(), 3u) << "a billion samples are refused";
    for (const float step : {0.0f, -1.0f, NAN})
    {
        tPolyline<cVertex> p = Straight(3, 2.0f);
        ResamplePolyline(p, step);
        ASSERT_EQ(p.GetVertexCount(), 2u);
        EXPECT_EQ(p.GetVertex(1)->x, 2.0f);
    }
}

TEST(PolylineSimplify, ResampleToCountGivesEvenSpacing)
{
    tPolyline<cVertex> line = Make({{0, 0, 0}, {4, 0, 0}});
    ResamplePolylineToCount(line, 5);
    ASSERT_EQ(line.GetVertexCount(), 5u);
    for (std::uint32_t i = 0; i < 5; ++i)
        EXPECT_NEAR(line.GetVertex(i)->x, static_cast<float>(i), 1e-6);

    tPolyline<cVertex> bent = Make({{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 2, 0}});
    ResamplePolylineToCount(bent, 4);
    ASSERT_EQ(bent.GetVertexCount(), 4u);
    EXPECT_NEAR(bent.GetVertex(1)->x, 1.0f, 1e-6);
    EXPECT_NEAR(bent.GetVertex(1)->y, 0.0f, 1e-6);
    EXPECT_EQ(bent.GetVertex(1)->index, 100u) << "takes the fields of its segment's start";
    EXPECT_NEAR(bent.GetVertex(2)->y, 1.0f, 1e-6);
    EXPECT_EQ(bent.GetVertex(2)->index, 102u) << "the zero-length segment is skipped";
    EXPECT_EQ(bent.GetVertex(3)->y, 2.0f);
}

TEST(PolylineSimplify, ResampleToCountEdgeCounts)
{
    tPolyline<cVertex> line = Straight(4, 3.0f);
    ResamplePolylineToCount(line, 1);
    EXPECT_EQ(line.GetVertexCount(), 4u);
    ResamplePolylineToCount(line, kMaxResampledPoints + 1);
    EXPECT_EQ(line.GetVertexCount(), 4u);
    tPolyline<cVertex> empty;
    ResamplePolylineToCount(empty, 5);
    EXPECT_TRUE(empty.IsEmpty());
    // A polyline without length gives its first and last point.
    tPolyline<cVertex> point = Make({{1, 1, 1}});
    ResamplePolylineToCount(point, 6);
    EXPECT_EQ(point.GetVertexCount(), 2u);
}

} // namespace
