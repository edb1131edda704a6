#include "core/frame_math.h"
#include "core/vector_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace
{

constexpr double kPi = std::numbers::pi;

double Col(const double m[12], int r, int c) { return m[r * 4 + c]; }

void ExpectMatrixNear(const double actual[12], const double expected[12], double tol)
{
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(actual[i], expected[i], tol) << "element " << i;
}

// Columns 0..2 orthonormal and right-handed (determinant +1).
void ExpectRotationColumns(const double m[12], double tol)
{
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
        {
            double dot = 0;
            for (int r = 0; r < 3; ++r)
                dot += Col(m, r, a) * Col(m, r, b);
            EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, tol) << a << "," << b;
        }
    const double det = Col(m, 0, 0) * (Col(m, 1, 1) * Col(m, 2, 2) - Col(m, 1, 2) * Col(m, 2, 1)) -
                       Col(m, 0, 1) * (Col(m, 1, 0) * Col(m, 2, 2) - Col(m, 1, 2) * Col(m, 2, 0)) +
                       Col(m, 0, 2) * (Col(m, 1, 0) * Col(m, 2, 1) - Col(m, 1, 1) * Col(m, 2, 0));
    EXPECT_NEAR(det, 1.0, tol);
}

// 90 degrees about z, origin (1, 2, 3).
const double kQuarterTurnZ[12] = {0, -1, 0, 1, 1, 0, 0, 2, 0, 0, 1, 3};

TEST(Transform3x4, ProductAppliesTheRightFactorFirst)
{
    const double shiftX[12] = {1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0};
    double out[12];
    MultiplyTransform3x4(kQuarterTurnZ, out, shiftX);
    const double expected[12] = {0, -1, 0, 1, 1, 0, 0, 3, 0, 0, 1, 3};
    ExpectMatrixNear(out, expected, 0.0);

    // The output may be one of the factors.
    double a[12];
    std::copy(kQuarterTurnZ, kQuarterTurnZ + 12, a);
    MultiplyTransform3x4(a, a, shiftX);
    ExpectMatrixNear(a, expected, 0.0);
}

TEST(Transform3x4, RigidInverseAgainstHandValues)
{
    double inv[12];
    std::copy(kQuarterTurnZ, kQuarterTurnZ + 12, inv);
    InvertRigidTransform3x4(inv);
    const double expected[12] = {0, 1, 0, -2, -1, 0, 0, 1, 0, 0, 1, -3};
    ExpectMatrixNear(inv, expected, 0.0);

    double product[12], identity[12];
    MultiplyTransform3x4(kQuarterTurnZ, product, inv);
    MakeIdentity3x4(identity);
    ExpectMatrixNear(product, identity, 1e-15);
}

TEST(Transform3x4, PointTransformAndInverseRoundTrip)
{
    double frame[12];
    const double origin[3] = {10.0, -20.0, 5.0}, normal[3] = {1.0, 2.0, 3.0}, ref[3] = {0.0, 0.0, 1.0};
    MakeFrame3x4(frame, origin, normal, ref);
    double unit[3] = {1.0, 2.0, 3.0};
    NormaliseVector3d(unit);
    for (int r = 0; r < 3; ++r)
        frame[r * 4 + 2] = unit[r];

    const float local[3] = {1.5f, -2.25f, 0.75f};
    float world[3];
    TransformPoint3f(frame, world, local);
    EXPECT_NEAR(world[0], 10.0 + Col(frame, 0, 0) * 1.5 - Col(frame, 0, 1) * 2.25 + Col(frame, 0, 2) * 0.75, 1e-5);
    InverseTransformPoint3f(frame, world);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(world[i], local[i], 1e-5);

    float hand[3] = {2.0f, 2.0f, 3.0f}; // (1, 0, 0) under the quarter turn
    InverseTransformPoint3f(kQuarterTurnZ, hand);
    EXPECT_FLOAT_EQ(hand[0], 0.0f);
    EXPECT_FLOAT_EQ(hand[1], -1.0f);
    EXPECT_FLOAT_EQ(hand[2], 0.0f);
}

TEST(MakeFrame3x4, ParallelReferenceFallsBackToTheSmallestAxis)
{
    double frame[12];
    const double o[3] = {1, 2, 3}, n[3] = {0, 0, 1};
    MakeFrame3x4(frame, o, n, n);
    const double expected[12] = {0, 1, 0, 1, -1, 0, 0, 2, 0, 0, 1, 3};
    ExpectMatrixNear(frame, expected, 1e-15);
}

TEST(MakeFrame3x4, KeepsTheNormalAsGivenAndBuildsARightHandedFrame)
{
    double frame[12];
    const double o[3] = {0, 0, 0}, n[3] = {0, 0, 2}, r[3] = {1, 1, 0};
    MakeFrame3x4(frame, o, n, r);
    EXPECT_EQ(Col(frame, 2, 2), 2.0); // the z axis is not normalised
    frame[10] = 1.0;
    ExpectRotationColumns(frame, 1e-15);
    // x = unit(r x n): perpendicular to the reference.
    EXPECT_NEAR(Col(frame, 0, 0), std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(Col(frame, 1, 0), -std::sqrt(0.5), 1e-15);
}

TEST(BuildFrameFromAxes, IsMakeFrame3x4OnWidenedFloats)
{
    const float o[3] = {0.1f, 0.2f, 0.3f}, d[3] = {0.3f, -0.5f, 0.8f}, r[3] = {0.2f, 0.9f, 0.1f};
    double a[12], b[12];
    BuildFrameFromAxes(a, o, d, r);
    const double od[3] = {o[0], o[1], o[2]}, dd[3] = {d[0], d[1], d[2]}, rd[3] = {r[0], r[1], r[2]};
    MakeFrame3x4(b, od, dd, rd);
    ExpectMatrixNear(a, b, 0.0);

    const float z[3] = {0.0f, 0.0f, 1.0f};
    BuildFrameFromAxes(a, o, z, z); // reference parallel to the direction
    ExpectRotationColumns(a, 1e-15);
    EXPECT_NEAR(Col(a, 1, 0), -1.0, 1e-15); // from the x axis as reference
}

TEST(SetFrameFromTwoAxes, EveryPairGivesARightHandedFrame)
{
    double frame[12] = {0, 0, 0, 7, 0, 0, 0, 8, 0, 0, 0, 9};
    const double x[3] = {2, 0, 0}, y[3] = {0, 3, 0};
    SetFrameFromTwoAxes(frame, x, 1, y, 0);
    EXPECT_NEAR(Col(frame, 0, 2), 0.0, 0.0);
    EXPECT_NEAR(Col(frame, 2, 2), -1.0, 1e-15);
    EXPECT_EQ(Col(frame, 0, 3), 7.0); // translation untouched

    const double a[3] = {1.0, 0.2, -0.3}, b[3] = {-0.1, 1.0, 0.4};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
        {
            if (i == j)
                continue;
            SCOPED_TRACE(testing::Message() << "i=" << i << " j=" << j);
            double m[12] = {};
            double bOrtho[3]; // the pair must be orthogonal for a rotation
            const double k = Dot3d(a, b) / Dot3d(a, a);
            for (int c = 0; c < 3; ++c)
                bOrtho[c] = b[c] - k * a[c];
            SetFrameFromTwoAxes(m, a, i, bOrtho, j);
            ExpectRotationColumns(m, 1e-14);
        }

    double untouched[12] = {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
    SetFrameFromTwoAxes(untouched, x, 2, y, 2);
    SetFrameFromTwoAxes(untouched, x, 3, y, 0);
    for (double v : untouched)
        EXPECT_EQ(v, 5.0);
}

TEST(MakeFrameFromNormal, WritesTheAxesIntoRows)
{
    double frame[12] = {0, 0, 0, 11, 0, 0, 0, 12, 0, 0, 0, 13};
    const double z[3] = {0, 0, 5};
    MakeFrameFromNormal(frame, z);
    const double identity[12] = {1, 0, 0, 11, 0, 1, 0, 12, 0, 0, 1, 13};
    ExpectMatrixNear(frame, identity, 1e-15);

    const double y[3] = {0, 2, 0};
    MakeFrameFromNormal(frame, y);
    const double expected[12] = {1, 0, 0, 11, 0, 0, -1, 12, 0, 1, 0, 13};
    ExpectMatrixNear(frame, expected, 1e-15);

    // A general normal: the rotation maps the normal onto local z, so its
    // transpose is a column frame with the unit normal as z axis.
    const double n[3] = {0.3, -0.7, 0.2};
    MakeFrameFromNormal(frame, n);
    double unit[3] = {n[0], n[1], n[2]};
    NormaliseVector3d(unit);
    double transposed[12] = {};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            transposed[c * 4 + r] = frame[r * 4 + c];
    ExpectRotationColumns(transposed, 1e-15);
    float p[3] = {static_cast<float>(unit[0]), static_cast<float>(unit[1]), static_cast<float>(unit[2])};
    float local[3];
    frame[3] = frame[7] = frame[11] = 0.0;
    TransformPoint3f(frame, local, p);
    EXPECT_NEAR(local[0], 0.0, 1e-7);
    EXPECT_NEAR(local[1], 0.0, 1e-7);
    EXPECT_NEAR(local[2], 1.0, 1e-7);
}

TEST(Rotation, AxisAngleMatrixAgainstHandValues)
{
    double m[12] = {0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0, 6};
    const double z[3] = {0, 0, 1};
    RotationMatrixAxisAngle(m, kPi / 2, z);
    const double expected[12] = {0, -1, 0, 4, 1, 0, 0, 5, 0, 0, 1, 6};
    ExpectMatrixNear(m, expected, 1e-15);
}

TEST(Rotation, RotateTransformTurnsAxesAboutTheWorldAndKeepsTheOriginExactly)
{
    double m[12];
    MakeIdentity3x4(m);
    m[3] = 123456.789; // not representable in float
    m[7] = -0.1;
    m[11] = 1e-9;
    const double axis[3] = {0, 0, 3}; // normalised inside
    RotateTransform3x4(m, kPi / 2, axis);
    const double expected[12] = {0, -1, 0, 123456.789, 1, 0, 0, -0.1, 0, 0, 1, 1e-9};
    ExpectMatrixNear(m, expected, 1e-15);
    EXPECT_EQ(m[3], 123456.789);

    // Round trip about an oblique axis.
    double frame[12];
    const double o[3] = {1, 2, 3}, n[3] = {0.2, 0.3, 0.9}, r[3] = {1, 0, 0};
    MakeFrame3x4(frame, o, n, r);
    double start[12];
    std::copy(frame, frame + 12, start);
    const double oblique[3] = {1, 1, 1};
    RotateTransform3x4(frame, 0.7, oblique);
    RotateTransform3x4(frame, -0.7, oblique);
    ExpectMatrixNear(frame, start, 1e-6);
}

TEST(Rotation, FrameRotationsTurnAboutTheFramesOwnAxes)
{
    double m[12];
    MakeIdentity3x4(m);
    m[3] = 1;
    RotateFrameAboutZ(m, kPi / 2); // x -> y, y -> -x
    const double aboutZ[12] = {0, -1, 0, 1, 1, 0, 0, 0, 0, 0, 1, 0};
    ExpectMatrixNear(m, aboutZ, 1e-15);

    MakeIdentity3x4(m);
    RotateFrameAboutY(m, kPi / 2); // z -> x, x -> -z
    const double aboutY[12] = {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0};
    ExpectMatrixNear(m, aboutY, 1e-15);

    MakeIdentity3x4(m);
    RotateFrameAboutX(m, kPi / 2); // y -> z, z -> -y
    const double aboutX[12] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0};
    ExpectMatrixNear(m, aboutX, 1e-15);

    // On a general frame each equals a world rotation about that frame axis.
    double frame[12];
    const double o[3] = {4, 5, 6}, r[3] = {0, 1, 0};
    double n[3] = {0.1, -0.4, 0.9};
    NormaliseVector3d(n); // an orthonormal frame
    MakeFrame3x4(frame, o, n, r);
    void (*const local[3])(double*, double) = {RotateFrameAboutX, RotateFrameAboutY, RotateFrameAboutZ};
    for (int axis = 0; axis < 3; ++axis)
    {
        SCOPED_TRACE(axis);
        double a[12], b[12];
        std::copy(frame, frame + 12, a);
        std::copy(frame, frame + 12, b);
        local[axis](a, 0.4);
        const double worldAxis[3] = {Col(frame, 0, axis), Col(frame, 1, axis), Col(frame, 2, axis)};
        RotateTransform3x4(b, 0.4, worldAxis);
        ExpectMatrixNear(a, b, 1e-6);
        local[axis](a, -0.4);
        ExpectMatrixNear(a, frame, 1e-15);
    }
}

TEST(Rotation, MatrixAboutYLeavesRowsOneAndThree)
{
    double m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = i + 1;
    RotateMatrix4dAboutY(m, kPi / 2); // c = 0, s = 1
    const double expected[16] = {9, 10, 11, 12, 5, 6, 7, 8, -1, -2, -3, -4, 13, 14, 15, 16};
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(m[i], expected[i], 1e-14) << i;

    // On a 3x4 frame it is the world rotation about +Y applied on the left
    // (origin included).
    double frame[12] = {1, 0, 0, 2, 0, 1, 0, 0, 0, 0, 1, 0};
    RotateMatrix4dAboutY(frame, 0.3);
    double rot[12] = {};
    const double y[3] = {0, 1, 0};
    RotationMatrixAxisAngle(rot, 0.3, y);
    const double start[12] = {1, 0, 0, 2, 0, 1, 0, 0, 0, 0, 1, 0};
    double expect3x4[12];
    MultiplyTransform3x4(rot, expect3x4, start);
    ExpectMatrixNear(frame, expect3x4, 1e-15);
}

} // namespace
