#include "core/bounding_box.h"
#include "core/vector_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{

TEST(FastInvSqrt, MatchesTheExactValueToAFewUlp)
{
    EXPECT_NEAR(FastInvSqrt(4.0), 0.5, 0.5e-12);
    EXPECT_NEAR(FastInvSqrt(1.0), 1.0, 1e-12);
    double worst = 0.0;
    for (double x = 1e-30; x < 1e30; x *= 1.37)
    {
        const long double exact = 1.0L / std::sqrt(static_cast<long double>(x));
        const double rel = static_cast<double>(std::fabs((FastInvSqrt(x) - exact) / exact));
        worst = std::fmax(worst, rel);
    }
    EXPECT_LT(worst, 1e-15);
}

TEST(NormaliseVector, LeavesTinyVectorsAndScalesTheRest)
{
    float tiny[3] = {1e-8f, 0.0f, 0.0f};
    NormaliseVector3f(tiny);
    EXPECT_EQ(tiny[0], 1e-8f);

    float v[3] = {3.0f, 0.0f, 4.0f};
    NormaliseVector3f(v);
    EXPECT_FLOAT_EQ(v[0], 0.6f);
    EXPECT_EQ(v[1], 0.0f);
    EXPECT_FLOAT_EQ(v[2], 0.8f);

    // The float test sums in float: a vector whose components are each below
    // the threshold but whose sum is not gets normalised.
    float split[3] = {7e-8f, 7e-8f, 0.0f};
    NormaliseVector3f(split);
    EXPECT_NEAR(split[0], std::sqrt(0.5), 1e-7);

    double d[3] = {1.0, -2.0, 2.0};
    NormaliseVector3d(d);
    EXPECT_NEAR(d[0], 1.0 / 3, 1e-15);
    EXPECT_NEAR(d[1], -2.0 / 3, 1e-15);
    EXPECT_NEAR(d[2], 2.0 / 3, 1e-15);
}

TEST(NormaliseVector, ThresholdIsStrictAtFltEpsilon)
{
    double at[3] = {kNormaliseEpsilon, 0.0, 0.0};
    NormaliseVector3d(at);
    EXPECT_NEAR(at[0], 1.0, 1e-15);

    const double below = std::nextafter(kNormaliseEpsilon, 0.0);
    double under[3] = {below, 0.0, 0.0};
    NormaliseVector3d(under);
    EXPECT_EQ(under[0], below);
}

TEST(BoundingBox, GrowsFromEmptyAndReportsValidity)
{
    float box[6];
    MakeEmptyBox3f(box);
    EXPECT_FALSE(IsValidBoundingBox3f(box));

    const float a[3] = {1.0f, -2.0f, 3.0f};
    const float b[3] = {-1.0f, 4.0f, 3.5f};
    GrowBox3f(box, a);
    EXPECT_TRUE(IsValidBoundingBox3f(box)); // one point: a degenerate but valid box
    GrowBox3f(box, b);
    const float expected[6] = {-1.0f, -2.0f, 3.0f, 1.0f, 4.0f, 3.5f};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(box[i], expected[i]) << i;
    EXPECT_DOUBLE_EQ(BoxMaxExtent(box), 6.0);

    const float unset[3] = {FLT_MAX, 0.0f, 0.0f};
    GrowBox3f(box, unset);
    EXPECT_FALSE(IsValidBoundingBox3f(box));

    float nanBox[6] = {0.0f, 0.0f, 0.0f, std::numeric_limits<float>::quiet_NaN(), 1.0f, 1.0f};
    EXPECT_FALSE(IsValidBoundingBox3f(nanBox));
}

TEST(BoundingBox, DoubleBoxTakesFloatPointsExactly)
{
    double box[6];
    MakeEmptyBox3d(box);
    const float p[3] = {0.1f, -0.2f, 1e30f};
    IncludePointInBoundingBox3d(box, p);
    const float q[3] = {0.3f, -0.4f, -1e30f};
    ExtendBoxByPoint3f(box, q);
    EXPECT_EQ(box[0], static_cast<double>(0.1f));
    EXPECT_EQ(box[1], static_cast<double>(-0.4f));
    EXPECT_EQ(box[2], static_cast<double>(-1e30f));
    EXPECT_EQ(box[3], static_cast<double>(0.3f));
    EXPECT_EQ(box[4], static_cast<double>(-0.2f));
    EXPECT_EQ(box[5], static_cast<double>(1e30f));
}

TEST(VectorMath, AngleBetweenVectorsClampsAndIgnoresMissingVectors)
{
    const float x[3] = {1, 0, 0}, nearX[3] = {0.99999994f, 0.0003f, 0.0f}, minusX[3] = {-2, 0, 0};
    const float y[3] = {0, 3, 0}, tiny[3] = {1e-6f, 0, 0};
    EXPECT_EQ(AngleBetweenVectors(x, x), 0.0);
    EXPECT_EQ(AngleBetweenVectors(nearX, nearX), 0.0); // the cosine may round above 1
    EXPECT_DOUBLE_EQ(AngleBetweenVectors(x, minusX), 3.141592653589793);
    EXPECT_DOUBLE_EQ(AngleBetweenVectors(x, y), 3.141592653589793 / 2);
    EXPECT_EQ(AngleBetweenVectors(x, tiny), 0.0);
    EXPECT_NEAR(AngleBetweenVectors(x, nearX), 0.0003, 1e-6);
}

} // namespace
