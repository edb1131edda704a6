// The sphere refinements over a big scan: the same sphere to the bit whether
// the process's pool shares the sums or not.
#include "core/thread_pool.h"
#include "fitting/sphere_fit.h"

#include "fit_samples.h"

#include <gtest/gtest.h>

namespace
{

struct stSpheres
{
    double centre[3] = {0, 0, 0};
    double radius = 0;
    double constrainedCentre[3] = {0, 0, 0};
    double constrainedRadius = 0;
};

stSpheres FitBoth(const tFitPointQueue& points)
{
    stSpheres s;
    cSphereFit fit(points);
    fit.ActivateAllPoints();
    EXPECT_TRUE(fit.Fit(s.centre, s.radius));
    EXPECT_TRUE(fit.Refine(s.centre, s.radius));
    // The radius held, the centre free.
    const std::uint8_t open[4] = {1, 1, 1, 0};
    s.constrainedRadius = 40.0;
    EXPECT_TRUE(fit.RefineConstrained(s.constrainedCentre, s.constrainedRadius, open));
    return s;
}

TEST(SphereFitPool, SharedSumsGiveTheSameSphereToTheBit)
{
    // A noisy cap far out, of more points than the pool's threshold.
    std::mt19937 random(17);
    const double centre[3] = {730.0, -1250.0, 410.0};
    const tFitPointQueue points = fit_samples::Sphere(random, centre, 40.0, 1.1, 0.03, 300000);
    const stSpheres alone = FitBoth(points);
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    const stSpheres shared = FitBoth(points);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_EQ(shared.centre[k], alone.centre[k]) << k;
        EXPECT_EQ(shared.constrainedCentre[k], alone.constrainedCentre[k]) << k;
        EXPECT_NEAR(alone.centre[k], centre[k], 0.05) << k;
    }
    EXPECT_EQ(shared.radius, alone.radius);
    EXPECT_EQ(shared.constrainedRadius, alone.constrainedRadius);
    EXPECT_NEAR(alone.radius, 40.0, 0.05);
}

} // namespace
