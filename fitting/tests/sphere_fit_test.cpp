#include "fitting/sphere_fit.h"

#include "fit_samples.h"
#include "least_squares_reference.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

using namespace fit_samples;

TEST(SphereFit, RecoversNoisySpheresAndCaps)
{
    std::mt19937 rng(5);
    const double centre[3] = {10.0, -4.0, 3.0};
    for (double cap : {kPi, kPi / 3})
        for (double noise : {0.0, 0.02})
        {
            cSphereFit fit(Sphere(rng, centre, 7.5, cap, noise, 500));
            double c[3], r;
            ASSERT_TRUE(fit.Fit(c, r));
            ASSERT_TRUE(fit.Refine(c, r));
            const double tolerance = 1e-3 + 10 * noise;
            EXPECT_NEAR(r, 7.5, tolerance);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(c[k], centre[k], tolerance);
            std::uint64_t count = 0;
            EXPECT_LT(std::sqrt(fit.SumSquaredRadialErrors(c, r, count) / double(count)), 2 * noise + 1e-3);
        }
}

TEST(SphereFit, FourPointsGiveTheExactSphere)
{
    const double centre[3] = {1, 2, 3};
    const double dirs[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}};
    tFitPointQueue q;
    for (const auto& d : dirs)
    {
        const double p[3] = {centre[0] + 2 * d[0], centre[1] + 2 * d[1], centre[2] + 2 * d[2]};
        q.push_back(Point(p, d));
    }
    cSphereFit fit(q);
    double c[3], r;
    ASSERT_TRUE(fit.Fit(c, r));
    EXPECT_NEAR(r, 2.0, 1e-5);
    EXPECT_NEAR(c[2], 3.0, 1e-5);
}

TEST(SphereFit, CoplanarAndTooFewPointsFail)
{
    std::mt19937 rng(6);
    const double up[3] = {0, 0, 1};
    const double o[3] = {0, 0, 0};
    double c[3] = {9, 9, 9}, r = 9;
    cSphereFit four(Plane(rng, o, up, 3.0, 0.0, 4));
    EXPECT_FALSE(four.Fit(c, r));
    cSphereFit many(Plane(rng, o, up, 3.0, 0.0, 100));
    EXPECT_FALSE(many.Fit(c, r));
    cSphereFit three(Plane(rng, o, up, 3.0, 0.0, 3));
    EXPECT_FALSE(three.Fit(c, r));
    for (std::size_t count : {4u, 5u, 40u})
    {
        cSphereFit same(tFitPointQueue(count, Point(o, up)));
        EXPECT_FALSE(same.Fit(c, r)) << "all points equal, " << count;
    }
    EXPECT_EQ(c[0], 9.0);
    EXPECT_EQ(r, 9.0);
}

TEST(SphereFit, ConstrainedRefinementKeepsFixedValues)
{
    std::mt19937 rng(8);
    const double centre[3] = {0, 0, 0};
    cSphereFit fit(Sphere(rng, centre, 5.0, kPi, 0.01, 300));
    double c[3] = {0.5, 0.5, 0.5};
    double r = 4.0;
    const std::uint8_t centreOnly[4] = {1, 1, 1, 0};
    ASSERT_TRUE(fit.RefineConstrained(c, r, centreOnly));
    EXPECT_EQ(r, 4.0);
    // With the radius a unit short every point's error is about 1, so the
    // centre leans towards where the 300 random points crowd: about 0.1 off
    // the true one, and lower in the sum than the true centre or the
    // estimate.
    std::uint64_t count = 0;
    double estimate[3], estimateRadius;
    ASSERT_TRUE(fit.Fit(estimate, estimateRadius));
    const double reached = fit.SumSquaredRadialErrors(c, 4.0, count);
    EXPECT_LT(reached, fit.SumSquaredRadialErrors(centre, 4.0, count) - 1.0);
    EXPECT_LT(reached, fit.SumSquaredRadialErrors(estimate, 4.0, count) - 1.0);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(c[k], 0.0, 0.15);
    // Nowhere around it is lower.
    for (int k = 0; k < 3; ++k)
        for (double step : {-0.01, 0.01})
        {
            double nearby[3] = {c[0], c[1], c[2]};
            nearby[k] += step;
            EXPECT_GT(fit.SumSquaredRadialErrors(nearby, 4.0, count), reached);
        }

    double c2[3] = {0.25, -0.5, 0.75};
    double r2 = 1.0;
    const std::uint8_t radiusOnly[4] = {0, 0, 0, 1};
    ASSERT_TRUE(fit.RefineConstrained(c2, r2, radiusOnly));
    EXPECT_EQ(c2[0], 0.25);
    EXPECT_EQ(c2[1], -0.5);
    // The mean distance of the sphere's points from a centre 0.94 off the
    // true one: about 5 + 0.94^2 / 15.
    EXPECT_NEAR(r2, 5.06, 0.05);
}

// The refinement sums its objective several points at a time: every point
// counts, the last of a count that is not a multiple of four too. The point
// thrown off the sphere is the last one, so a sum that missed it would end
// on the sphere through the others.
TEST(SphereFit, RefinementCountsEveryPointWhateverTheirNumber)
{
    for (int count = 5; count <= 12; ++count)
    {
        SCOPED_TRACE(count);
        std::mt19937 rng(40 + count);
        const double centre[3] = {1200.0, -1400.0, 800.0};
        tFitPointQueue q = Sphere(rng, centre, 2.5, kPi, 0.0, count - 1);
        const double off[3] = {centre[0] + 3.0, centre[1], centre[2]};
        q.push_back(Point(off, off));
        const cSphereFit fit(q);
        double c[3] = {centre[0] + 0.01, centre[1], centre[2]}, r = 2.5;
        ASSERT_TRUE(fit.Refine(c, r));

        const std::vector<Eigen::Vector3d> p = least_squares_reference::Positions(q);
        Eigen::VectorXd x(4);
        x << 0.01, 0.0, 0.0, 2.5;
        x = least_squares_reference::Minimise(x, int(p.size()), [&](const Eigen::VectorXd& y, Eigen::VectorXd& e) {
            const Eigen::Vector3d m(centre[0] + y[0], centre[1] + y[1], centre[2] + y[2]);
            for (std::size_t i = 0; i < p.size(); ++i)
                e[Eigen::Index(i)] = (p[i] - m).norm() - y[3];
        });
        const double best[3] = {centre[0] + x[0], centre[1] + x[1], centre[2] + x[2]};
        std::uint64_t n = 0;
        const double least = fit.SumSquaredRadialErrors(best, x[3], n);
        EXPECT_GT(least, 0.01);
        EXPECT_LT(fit.SumSquaredRadialErrors(c, r, n), least * (1.0 + 1e-5));
        EXPECT_NEAR(r, x[3], 0.01);
    }
}

} // namespace
