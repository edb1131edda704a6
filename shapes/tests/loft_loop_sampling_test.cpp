// Closed loft sections sampled as loops: the gap a cut section leaves is
// bridged smoothly, the loops are started and turned alike before they are
// sampled into the rows of one grid, and the resampled loft keeps them
// closed with no border across their seams.
#include "core/frame_math.h"
#include "fitting/loft_loop_sampling.h"
#include "fitting/loft_sampling.h"
#include "shapes/loft_surface.h"
#include "shapes/spline_section_curve.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

constexpr double kPi = 3.14159265358979323846;
using Vec = t3DPoint<double>;

// A closed spline section through n points of the circle of radius r about
// the axis through (cx, cy) along z at height z, from angle `seam` round
// the given way; the last step back to the first point is left open, as
// the builder leaves it for a cut.
// Coordinates turned k times (x, y, z) -> (y, z, x): loops about the z axis
// become loops about x (k = 1) or y (k = 2).
Vec Turn(const Vec& p, int k)
{
    Vec out = p;
    for (int i = 0; i < k; ++i)
        out = {out.y, out.z, out.x};
    return out;
}

std::unique_ptr<ST_ISectionCurve> Loop(double r, double z, int n, double seam, bool clockwise, double cx = 300.0,
                                       double cy = -200.0, int turn = 0)
{
    auto curve = std::make_unique<ST_TSplineCurve<Dezaz_Wire>>();
    curve->SetClosed(true);
    double identity[12];
    MakeIdentity3x4(identity);
    tPolyline<cVertex> points;
    for (int i = 0; i < n; ++i)
    {
        const double a = seam + (clockwise ? -1.0 : 1.0) * 2.0 * kPi * i / n;
        const Vec q = Turn({cx + r * std::cos(a), cy + r * std::sin(a), z}, turn);
        const double p[3] = {q.x, q.y, q.z};
        points.AddPoint3d(p);
    }
    EXPECT_TRUE(curve->FitToPolyline(identity, points, 0.0, 0));
    return curve;
}

double Distance3(const Vec& a, const Vec& b) { return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z)); }
double Radius(const Vec& p) { return std::hypot(p.x - 300.0, p.y + 200.0); }
double Angle(const Vec& p) { return std::atan2(p.y + 200.0, p.x - 300.0); }
double AngleBetween(double a, double b) { return std::fabs(std::remainder(a - b, 2.0 * kPi)); }

} // namespace

TEST(LoftLoops, TheGapOfACutLoopIsBridgedAlongTheCircle)
{
    const std::unique_ptr<ST_ISectionCurve> loop = Loop(10.0, 5.0, 16, 0.3, false);
    std::vector<Vec> dense;
    ASSERT_TRUE(DenseLoop(*loop, 400, dense));
    ASSERT_GT(dense.size(), 400u);
    EXPECT_LT(Distance3(dense.front(), {300.0 + 10.0 * std::cos(0.3), -200.0 + 10.0 * std::sin(0.3), 5.0}), 1e-4);
    double worst = 0.0, bridge = 0.0;
    for (std::size_t i = 0; i < dense.size(); ++i)
    {
        const double off = std::fabs(Radius(dense[i]) - 10.0);
        worst = std::max(worst, off);
        if (i >= 400)
            bridge = std::max(bridge, off);
        EXPECT_NEAR(dense[i].z, 5.0, 1e-9);
    }
    // A straight chord over the open step would cut 0.19 inside the circle.
    EXPECT_LT(bridge, 0.01);
    EXPECT_LT(worst, 0.05);
    // The bridge runs on round: its points between the last point and the
    // first, in angle.
    for (std::size_t i = 400; i < dense.size(); ++i)
    {
        const double a = Angle(dense[i]);
        EXPECT_LT(AngleBetween(a, 0.3 - kPi / 16.0), kPi / 16.0 + 1e-6) << i;
    }

    // A loop whose curve closes itself gets no bridge and no repeated point.
    auto closedCurve = std::make_unique<ST_TSplineCurve<Dezaz_Wire>>();
    double identity[12];
    MakeIdentity3x4(identity);
    tPolyline<cVertex> round;
    for (int i = 0; i <= 16; ++i)
    {
        const double p[3] = {std::cos(2.0 * kPi * i / 16), std::sin(2.0 * kPi * i / 16), 0.0};
        round.AddPoint3d(p);
    }
    ASSERT_TRUE(closedCurve->FitToPolyline(identity, round, 0.0, 0));
    ASSERT_TRUE(DenseLoop(*closedCurve, 100, dense));
    EXPECT_EQ(dense.size(), 99u);
}

TEST(LoftLoops, LoopsStartWhereThePreviousStartedAndRunTheSameWayRound)
{
    // About z, x and y in turn: each way of running round shows in another
    // component of the loops' normals.
    for (int turn = 0; turn < 3; ++turn)
    {
        SCOPED_TRACE(turn);
        std::vector<std::unique_ptr<ST_ISectionCurve>> loops;
        loops.push_back(Loop(10.0, 0.0, 24, 0.0, false, 300.0, -200.0, turn));
        loops.push_back(Loop(12.0, 10.0, 24, 2.0, true, 300.0, -200.0, turn));
        loops.push_back(Loop(11.0, 20.0, 30, -1.3, false, 300.0, -200.0, turn));
        std::vector<const ST_ISectionCurve*> curves;
        for (const auto& loop : loops)
            curves.push_back(loop.get());
        const std::int32_t m = 12;
        std::vector<std::vector<Vec>> samples;
        ASSERT_TRUE(SampleAlignedLoops(curves, m, samples));
        ASSERT_EQ(samples.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k)
        {
            ASSERT_EQ(samples[k].size(), static_cast<std::size_t>(m));
            for (std::int32_t j = 0; j < m; ++j)
            {
                // Row j lies at one angle on every loop, a twelfth of a turn
                // on from row j - 1, the way the first loop runs.
                const Vec back = Turn(samples[k][j], 3 - turn);
                EXPECT_LT(AngleBetween(Angle(back), 2.0 * kPi * j / m), 0.01) << k << " " << j;
                EXPECT_NEAR(back.z, 10.0 * k, 1e-4);
            }
        }
        EXPECT_FALSE(SampleAlignedLoops(curves, 2, samples)) << "two points make no loop";
        curves.push_back(nullptr);
        EXPECT_FALSE(SampleAlignedLoops(curves, m, samples));
    }
}

TEST(LoftLoops, ResampledLoopsStayClosedAndGrowOnlyAlongTheGuide)
{
    Dezaz_LoftSurface loft;
    LoftParameters& source = loft.GetParameters();
    const double seams[3] = {0.0, 2.5, -2.0};
    for (int k = 0; k < 3; ++k)
    {
        LoftSection section;
        section.curve = Loop(10.0, 10.0 * k, 20, seams[k], k == 1);
        section.position = 0.5 * k;
        source.sections.push_back(std::move(section));
    }
    source.sampling = 16;
    source.expand = 0.2;
    LoftParameters destination;
    ASSERT_TRUE(SampleLoftToGrid(nullptr, source, &destination));
    // The border is a section before the first and one after the last, a
    // tenth of the loops' mean curve length (19 of their 20 steps) out
    // along the tube.
    double length = 0.0;
    for (const LoftSection& section : source.sections)
        length += section.curve->GetWire()->GetLength() / 3.0;
    EXPECT_NEAR(length, 2.0 * kPi * 10.0 * 19.0 / 20.0, 0.05);
    const double d = length * 0.2 * 0.5;
    const double heights[5] = {-d, 0.0, 10.0, 20.0, 20.0 + d};
    ASSERT_EQ(destination.sections.size(), 5u);
    for (std::size_t c = 0; c < 5; ++c)
    {
        const ST_ISectionCurve& curve = *destination.sections[c].curve;
        EXPECT_DOUBLE_EQ(destination.sections[c].position, c / 4.0);
        EXPECT_TRUE(curve.IsClosed());
        const tPolyline<cVertex>& points = *curve.GetSectionPolyline();
        // The samples round, then the first again: the curve is the loop.
        ASSERT_EQ(points.GetVertexCount(), 17u);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(points.GetFirstVertex()->Position()[i], points.GetLastVertex()->Position()[i]);
        for (std::uint32_t j = 0; j < 17; ++j)
        {
            const cVertex& v = *points.GetVertex(j);
            // Nothing sticks out past a seam: every point on the tube.
            EXPECT_NEAR(Radius({v.x, v.y, v.z}), 10.0, 0.02) << c << " " << j;
            EXPECT_NEAR(v.z, heights[c], 0.02) << c << " " << j;
            EXPECT_LT(AngleBetween(Angle({v.x, v.y, v.z}), 2.0 * kPi * (j % 16) / 16.0), 0.01) << c << " " << j;
        }
    }
    DeleteEntryObjects(destination.sections);
    destination.sections.clear();

    // Loops need three samples; open sections two.
    source.sampling = 2;
    EXPECT_FALSE(SampleLoftToGrid(nullptr, source, &destination));
    EXPECT_TRUE(destination.sections.empty());
}
