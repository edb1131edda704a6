// The numeric kernel under every geometric routine: 3-points, the fast inverse
// square root and normalisation. Mesh data is float, CAD geometry double; the
// arithmetic runs in double either way and only the stored results are
// rounded back to the caller's type.
//
// Vectors are passed as plain arrays (float[3] / double[3]) so that fields of
// vertex records, frames and points can be handed over without copying.
#pragma once

#include <cfloat>
#include <cmath>
#include <type_traits>

// The zero test of every normalisation: a vector whose absolute components
// sum to less than this stays as it is. The same value as FLT_EPSILON, kept as
// a double so that double code compares against the exact value.
inline constexpr double kNormaliseEpsilon = 1.1920928955078125e-7;

// A plain 3-point of floats or doubles (mesh positions, CAD points).
template <class T> struct t3DPoint
{
    T x = 0;
    T y = 0;
    T z = 0;

    constexpr t3DPoint() = default;
    constexpr t3DPoint(T x_, T y_, T z_) : x(x_), y(y_), z(z_) {}

    // The coordinates as an array, for the array-based routines below.
    T* Data() { return &x; }
    const T* Data() const { return &x; }

    friend constexpr bool operator==(const t3DPoint&, const t3DPoint&) = default;
};
static_assert(std::is_standard_layout_v<t3DPoint<double>> && sizeof(t3DPoint<double>) == 3 * sizeof(double));
static_assert(std::is_standard_layout_v<t3DPoint<float>> && sizeof(t3DPoint<float>) == 3 * sizeof(float));

// x rounded to float and widened back. The float goes through memory: written
// as a plain double(float(x)), two such roundings side by side are vectorised
// by GCC 12 at -O2 and above, which then drops the vector narrowing and
// widening as if they cancelled, so optimised builds kept those numbers
// unrounded.
inline double RoundToFloat(double x)
{
    const volatile float rounded = static_cast<float>(x);
    return rounded;
}

// Approximately 1 / sqrt(x) for x > 0: a bit-pattern first guess refined by
// four Newton steps (a few ulp off the exact value). Not guarded: zero,
// negative, infinite and NaN arguments give meaningless results, and callers
// pass only positive sums of squares (the normalisations test first).
double FastInvSqrt(double x);

// Scales v to unit length in place; leaves it unchanged when
// |x| + |y| + |z| < FLT_EPSILON (summed in float for the float version).
void NormaliseVector3f(float v[3]);
void NormaliseVector3d(double v[3]);

// Dot and cross products in double, for the routines of the maths files.
inline double Dot3d(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline void Cross3d(const double a[3], const double b[3], double out[3])
{
    const double x = a[1] * b[2] - a[2] * b[1];
    const double y = a[2] * b[0] - a[0] * b[2];
    const double z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

// The angle between two float vectors in radians, 0..pi, computed in double.
// 0 when either vector is shorter than 1e-5 (a missing normal is no crease);
// the cosine is clamped, so a vector and itself give exactly 0.
double AngleBetweenVectors(const float a[3], const float b[3]);
// The clamped cosine AngleBetweenVectors takes the arc cosine of, in
// [-1, 1], or 2 where either vector is shorter than 1e-5 (the angle is then
// 0): for one who wants the largest of many angles, which is the arc
// cosine of their least cosine.
double CosineBetweenVectors(const float a[3], const float b[3]);

// The two halves of CosineBetweenVectors, for one who measures a vector
// against several others: the vector divided by its length in double
// (false where it is shorter than 1e-5), and the clamped cosine of two such
// units. CosineBetweenVectors is made of them, so that the two give the
// same value to the bit.
inline bool UnitForCosine(const float a[3], double unit[3])
{
    const double ax = a[0], ay = a[1], az = a[2];
    const double la = std::sqrt(ax * ax + ay * ay + az * az);
    if (la < 1e-5)
        return false;
    unit[0] = ax / la;
    unit[1] = ay / la;
    unit[2] = az / la;
    return true;
}
inline double CosineOfUnits(const double a[3], const double b[3])
{
    double c = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    if (!(c > -1.0))
        c = -1.0;
    else if (c > 1.0)
        c = 1.0;
    return c;
}
