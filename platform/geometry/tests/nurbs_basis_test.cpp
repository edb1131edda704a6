#include "platform/geometry/nurbs_basis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{

// Cubic basis on seven control points with a double interior knot, so the
// spans differ in length and one basis function loses continuity.
const std::vector<double> kKnots = {0, 0, 0, 0, 1, 2, 2, 4, 4, 4, 4};
constexpr int kDegree = 3;
constexpr int kCvCount = 7;

} // namespace

TEST(NurbsBasis, SpansSkipEmptyIntervalsAndClampOutsideTheDomain)
{
    using nurbs_basis::FindSpan;
    EXPECT_EQ(FindSpan(kDegree, kCvCount, kKnots.data(), -1.0), 3);
    EXPECT_EQ(FindSpan(kDegree, kCvCount, kKnots.data(), 0.5), 3);
    EXPECT_EQ(FindSpan(kDegree, kCvCount, kKnots.data(), 1.0), 4);
    EXPECT_EQ(FindSpan(kDegree, kCvCount, kKnots.data(), 2.0), 6); // [2, 2) is empty
    EXPECT_EQ(FindSpan(kDegree, kCvCount, kKnots.data(), 4.0), 6);
    EXPECT_EQ(FindSpan(kDegree, kCvCount, kKnots.data(), 9.0), 6);
    const std::vector<double> flat(11, 1.0);
    EXPECT_EQ(FindSpan(kDegree, kCvCount, flat.data(), 1.0), -1);
    EXPECT_EQ(FindSpan(kDegree, kDegree, kKnots.data(), 1.0), -1);
}

TEST(NurbsBasis, ValuesSumToOneAndDerivativesMatchDifferences)
{
    for (double t : {0.0, 0.3, 1.0, 1.7, 2.5, 3.999, 4.0})
    {
        const int span = nurbs_basis::FindSpan(kDegree, kCvCount, kKnots.data(), t);
        double ders[4 * (kDegree + 1)];
        nurbs_basis::BasisFunctionDerivatives(span, t, kDegree, 3, kKnots.data(), ders);
        double values[kDegree + 1];
        nurbs_basis::BasisFunctions(span, t, kDegree, kKnots.data(), values);
        double sum = 0.0, dsum = 0.0;
        for (int j = 0; j <= kDegree; ++j)
        {
            EXPECT_NEAR(values[j], ders[j], 1e-14);
            EXPECT_GE(values[j], -1e-15);
            sum += ders[j];
            dsum += ders[kDegree + 1 + j];
        }
        EXPECT_NEAR(sum, 1.0, 1e-14) << t;
        EXPECT_NEAR(dsum, 0.0, 1e-12) << t;
        // Central differences of the values and first derivatives, inside
        // the span so both sides use the same polynomial pieces.
        const double h = 1e-6;
        const double lo = kKnots[span], hi = kKnots[span + 1];
        const double tm = std::max(lo + 2 * h, std::min(hi - 2 * h, t));
        double ders_m[4 * (kDegree + 1)], ders_a[4 * (kDegree + 1)], ders_b[4 * (kDegree + 1)];
        nurbs_basis::BasisFunctionDerivatives(span, tm, kDegree, 3, kKnots.data(), ders_m);
        nurbs_basis::BasisFunctionDerivatives(span, tm - h, kDegree, 3, kKnots.data(), ders_a);
        nurbs_basis::BasisFunctionDerivatives(span, tm + h, kDegree, 3, kKnots.data(), ders_b);
        for (int k = 1; k <= 3; ++k)
            for (int j = 0; j <= kDegree; ++j)
            {
                const double fd = (ders_b[(k - 1) * 4 + j] - ders_a[(k - 1) * 4 + j]) / (2 * h);
                EXPECT_NEAR(ders_m[k * 4 + j], fd, 1e-5 * (1 + std::abs(fd))) << "t " << t << " k " << k;
            }
    }
}

TEST(NurbsBasis, DerivativesAboveTheDegreeAreZero)
{
    const std::vector<double> knots = {0, 0, 1, 1};
    double ders[3 * 2];
    nurbs_basis::BasisFunctionDerivatives(1, 0.25, 1, 2, knots.data(), ders);
    EXPECT_DOUBLE_EQ(ders[0], 0.75);
    EXPECT_DOUBLE_EQ(ders[1], 0.25);
    EXPECT_DOUBLE_EQ(ders[2], -1.0);
    EXPECT_DOUBLE_EQ(ders[3], 1.0);
    EXPECT_EQ(ders[4], 0.0);
    EXPECT_EQ(ders[5], 0.0);
    EXPECT_EQ(nurbs_basis::Binomial(6, 2), 15.0);
    EXPECT_EQ(nurbs_basis::Binomial(3, 4), 0.0);
}
