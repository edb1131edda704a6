#include "fitting/fit_container.h"

#include "fit_samples.h"

#include <gtest/gtest.h>

namespace
{

using namespace fit_samples;

TEST(FitContainer, EmptyAndInactiveContainersReportZeros)
{
    cFitContainer empty{tFitPointQueue{}};
    EXPECT_EQ(empty.ActiveCount(), 0u);
    double c[3] = {1, 1, 1}, n[3] = {1, 1, 1};
    empty.GetCentroid(c);
    empty.GetMeanPosition(n);
    EXPECT_EQ(c[0], 0.0);
    EXPECT_EQ(n[2], 0.0);
    double m[3], a[3], b[3], s[3];
    EXPECT_FALSE(empty.GetPrincipalFrame(m, a, b, s));
    EXPECT_EQ(s[0] * s[0] + s[1] * s[1] + s[2] * s[2], 0.0) << "a failed frame gives zero axes";

    tFitPointQueue q;
    const double up[3] = {0, 0, 1};
    const double p0[3] = {2, 4, 6}, p1[3] = {4, 8, 10};
    q.push_back(Point(p0, up));
    q.push_back(Point(p1, up));
    cFitContainer fit(q);
    for (stFitPoint& p : fit.Points())
    {
        p.active = 0;
        p.residual = 5.0;
    }
    fit.GetCentroid(c);
    EXPECT_EQ(c[0], 0.0) << "no active point: the centroid is the origin";
    fit.GetMeanPosition(c);
    EXPECT_EQ(c[1], 6.0) << "the mean covers every record";
    fit.ActivateAllPoints();
    EXPECT_EQ(fit.CountActive(), 2u);
    EXPECT_EQ(fit.Points()[1].residual, 0.0);
}

TEST(FitContainer, PrincipalFrameOfAnAxisAlignedSlab)
{
    tFitPointQueue q;
    const double up[3] = {0, 0, 1};
    for (int i = -10; i <= 10; ++i)
        for (int j = -3; j <= 3; ++j)
        {
            const double p[3] = {double(i), 0.5 * j, 7.0};
            q.push_back(Point(p, up));
        }
    cFitContainer fit(q);
    double m[3], a[3], b[3], s[3];
    ASSERT_TRUE(fit.GetPrincipalFrame(m, a, b, s));
    EXPECT_NEAR(m[2], 7.0, 1e-6);
    EXPECT_NEAR(std::fabs(a[0]), 1.0, 1e-9);
    EXPECT_NEAR(std::fabs(b[1]), 1.0, 1e-9);
    EXPECT_NEAR(std::fabs(s[2]), 1.0, 1e-9);
    double avg[3];
    fit.GetAverageNormal(avg);
    EXPECT_NEAR(avg[2], 1.0, 1e-9);
}

} // namespace
