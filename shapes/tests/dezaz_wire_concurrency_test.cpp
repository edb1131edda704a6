// A wire's fit measure over many section points, on the shared pool and
// alone.
#include "shapes/dezaz_wire.h"

#include "core/thread_pool.h"
#include "platform/geometry/curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{

// Noisy samples of a 40 mm circle's three quarters a metre out, in sections
// of 997 points; one point is NaN and measures nothing.
tPolylineCollection<tFramePolyline<cVertex>> NoisySections()
{
    tPolylineCollection<tFramePolyline<cVertex>> sections;
    for (int s = 0; s < 6; ++s)
    {
        tPolyline<cVertex> points;
        for (int i = 0; i < 997; ++i)
        {
            const double a = 1.5 * M_PI * (s * 997 + i) / (6 * 997), noise = 0.05 * std::sin(37.0 * a + s);
            const double p[3] = {1000.0 + (20.0 + noise) * std::cos(a), -500.0 + (20.0 + noise) * std::sin(a),
                                 250.0 + noise};
            points.AddPoint3d(p);
        }
        if (s == 2)
            points.GetVertex(500)->y = std::numeric_limits<float>::quiet_NaN();
        sections.Add(tFramePolyline<cVertex>(points));
    }
    return sections;
}

} // namespace

TEST(WireFitMeasure, ThePooledMeasureAddsTheSquaresInThePointsOrder)
{
    tPolyline<cVertex> through;
    for (int i = 0; i < 33; ++i)
    {
        const double a = 1.5 * M_PI * i / 32, p[3] = {1000.0 + 20.0 * std::cos(a), -500.0 + 20.0 * std::sin(a), 250.0};
        through.AddPoint3d(p);
    }
    Dezaz_Wire wire;
    ASSERT_TRUE(wire.InterpolatePoints(through, false, 0, 0));
    ASSERT_NE(wire.GetCurve(), nullptr);
    const tPolylineCollection<tFramePolyline<cVertex>> sections = NoisySections();
    // Each point measured in turn, its square added as it comes.
    double sum = 0.0;
    std::size_t count = 0;
    for (std::uint32_t s = 0; s < sections.GetCount(); ++s)
        for (const cVertex& v : sections[s].vertices)
        {
            const ON_3dPoint p(v.x, v.y, v.z);
            double t = 0.0;
            ON_3dPoint q;
            if (wire.GetCurve()->GetClosestPoint(p, &t) && wire.GetCurve()->EvPoint(t, q))
                sum += p.DistanceTo(q) * p.DistanceTo(q), ++count;
        }
    ASSERT_EQ(count, 6u * 997u - 1u);
    const double inTurn = std::sqrt(sum / double(count));

    const double alone = wire.GetFitRms(sections);
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    const double pooled = wire.GetFitRms(sections);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    EXPECT_EQ(alone, inTurn);
    EXPECT_EQ(pooled, inTurn);
}
