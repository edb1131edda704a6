#include "core/frame_math.h"

#include "core/vector_math.h"

#include <cmath>
#include <cstring>

namespace
{

// Element (r, c) of a row-major 3x4 matrix.
inline double& At(double* m, int r, int c) { return m[r * 4 + c]; }
inline double At(const double* m, int r, int c) { return m[r * 4 + c]; }

void SetColumn(double m[12], int c, const double v[3])
{
    for (int r = 0; r < 3; ++r)
        At(m, r, c) = v[r];
}

// The rotation of RotationMatrixAxisAngle. Products of two axis components are
// formed in the axis' own type, so a float axis gives single-precision
// products while sine and cosine stay double.
template <class A> void WriteAxisAngleRotation(double out[12], double angle, A x, A y, A z)
{
    const double s = std::sin(angle);
    const double c = std::cos(angle);
    const double t = 1.0 - c;
    const A xx = x * x, yy = y * y, zz = z * z, xy = x * y, xz = x * z, yz = y * z;
    At(out, 0, 0) = xx * t + c;
    At(out, 0, 1) = xy * t - z * s;
    At(out, 0, 2) = xz * t + y * s;
    At(out, 1, 0) = xy * t + z * s;
    At(out, 1, 1) = yy * t + c;
    At(out, 1, 2) = yz * t - x * s;
    At(out, 2, 0) = xz * t - y * s;
    At(out, 2, 1) = yz * t + x * s;
    At(out, 2, 2) = zz * t + c;
}

// R = R.Rot for the plane rotation that turns column p towards column q:
// column p = c.p + s.q, column q = c.q - s.p.
void RotateColumns(double m[12], int p, int q, double angle)
{
    const double s = std::sin(angle);
    const double c = std::cos(angle);
    for (int r = 0; r < 3; ++r)
    {
        const double a = At(m, r, p);
        const double b = At(m, r, q);
        At(m, r, p) = c * a + s * b;
        At(m, r, q) = c * b - s * a;
    }
}

} // namespace

void MakeIdentity3x4(double m[12])
{
    for (int i = 0; i < 12; ++i)
        m[i] = 0.0;
    m[0] = m[5] = m[10] = 1.0;
}

void TransformPoint3f(const double m[12], float out[3], const float in[3])
{
    const double x = in[0], y = in[1], z = in[2];
    double r[3];
    for (int i = 0; i < 3; ++i)
        r[i] = At(m, i, 0) * x + At(m, i, 1) * y + At(m, i, 2) * z + At(m, i, 3);
    for (int i = 0; i < 3; ++i)
        out[i] = static_cast<float>(r[i]);
}

void InverseTransformPoint3f(const double m[12], float p[3])
{
    const double d0 = static_cast<double>(p[0]) - At(m, 0, 3);
    const double d1 = static_cast<double>(p[1]) - At(m, 1, 3);
    const double d2 = static_cast<double>(p[2]) - At(m, 2, 3);
    for (int i = 0; i < 3; ++i)
        p[i] = static_cast<float>(At(m, 0, i) * d0 + At(m, 1, i) * d1 + At(m, 2, i) * d2);
}

double* MultiplyTransform3x4(const double a[12], double out[12], const double b[12])
{
    double r[12];
    for (int i = 0; i < 3; ++i)
    {
        for (int j = 0; j < 3; ++j)
            At(r, i, j) = At(a, i, 0) * At(b, 0, j) + At(a, i, 1) * At(b, 1, j) + At(a, i, 2) * At(b, 2, j);
        At(r, i, 3) = At(a, i, 0) * At(b, 0, 3) + At(a, i, 1) * At(b, 1, 3) + At(a, i, 2) * At(b, 2, 3) + At(a, i, 3);
    }
    std::memcpy(out, r, sizeof r);
    return out;
}

void InvertRigidTransform3x4(double m[12])
{
    double r[12];
    for (int i = 0; i < 3; ++i)
    {
        for (int j = 0; j < 3; ++j)
            At(r, i, j) = At(m, j, i);
        At(r, i, 3) = -(At(m, 0, i) * At(m, 0, 3) + At(m, 1, i) * At(m, 1, 3) + At(m, 2, i) * At(m, 2, 3));
    }
    std::memcpy(m, r, sizeof r);
}

void MakeFrame3x4(double out[12], const double origin[3], const double normal[3], const double reference[3])
{
    const double n[3] = {normal[0], normal[1], normal[2]};
    double r[3] = {reference[0], reference[1], reference[2]};
    double a[3];
    Cross3d(r, n, a);
    if (Dot3d(a, a) <= 0.0001)
    {
        // The reference says nothing about the x axis: take the coordinate
        // axis that is least parallel to the normal.
        const double ax = std::fabs(n[0]), ay = std::fabs(n[1]), az = std::fabs(n[2]);
        r[0] = r[1] = r[2] = 0.0;
        if (std::fmin(ay, az) >= ax)
            r[0] = 1.0;
        else if (az >= ay)
            r[1] = 1.0;
        else
            r[2] = 1.0;
        Cross3d(r, n, a);
    }
    double b[3];
    Cross3d(n, a, b);
    NormaliseVector3d(a);
    NormaliseVector3d(b);
    const double o[3] = {origin[0], origin[1], origin[2]};
    SetColumn(out, 0, a);
    SetColumn(out, 1, b);
    SetColumn(out, 2, n);
    SetColumn(out, 3, o);
}

void BuildFrameFromAxes(double out[12], const float origin[3], const float direction[3], const float reference[3])
{
    const double o[3] = {origin[0], origin[1], origin[2]};
    const double d[3] = {direction[0], direction[1], direction[2]};
    const double r[3] = {reference[0], reference[1], reference[2]};
    MakeFrame3x4(out, o, d, r);
}

void SetMatrixColumns(double out[12], const double a[3], const double b[3], const double c[3])
{
    const double ca[3] = {a[0], a[1], a[2]}, cb[3] = {b[0], b[1], b[2]}, cc[3] = {c[0], c[1], c[2]};
    SetColumn(out, 0, ca);
    SetColumn(out, 1, cb);
    SetColumn(out, 2, cc);
}

void SetFrameFromTwoAxes(double out[12], const double a[3], int i, const double b[3], int j)
{
    if (i == j || i < 0 || i > 2 || j < 0 || j > 2)
        return;
    double ua[3] = {a[0], a[1], a[2]};
    double ub[3] = {b[0], b[1], b[2]};
    // The cross product is taken from the vectors as passed, before they are
    // normalised; its order keeps (column 0, 1, 2) right-handed.
    double c[3];
    if (i == (j + 1) % 3)
        Cross3d(ub, ua, c);
    else
        Cross3d(ua, ub, c);
    NormaliseVector3d(ua);
    NormaliseVector3d(ub);
    NormaliseVector3d(c);
    SetColumn(out, i, ua);
    SetColumn(out, j, ub);
    SetColumn(out, 3 - i - j, c);
}

void MakeFrameFromNormal(double frame[12], const double direction[3])
{
    double n[3] = {direction[0], direction[1], direction[2]};
    NormaliseVector3d(n);
    double row0[3], row1[3];
    if (std::fabs(n[1]) > std::fabs(n[0]))
    {
        const double x[3] = {1.0, 0.0, 0.0};
        Cross3d(n, x, row1);
        NormaliseVector3d(row1);
        Cross3d(row1, n, row0);
        NormaliseVector3d(row0);
    }
    else
    {
        const double y[3] = {0.0, 1.0, 0.0};
        Cross3d(y, n, row0);
        NormaliseVector3d(row0);
        Cross3d(n, row0, row1);
        NormaliseVector3d(row1);
    }
    for (int c = 0; c < 3; ++c)
    {
        At(frame, 0, c) = row0[c];
        At(frame, 1, c) = row1[c];
        At(frame, 2, c) = n[c];
    }
}

void RotationMatrixAxisAngle(double out[12], double angle, const double axis[3])
{
    WriteAxisAngleRotation(out, angle, axis[0], axis[1], axis[2]);
}

void RotateTransform3x4(double m[12], double angle, const double axis[3])
{
    float a[3] = {static_cast<float>(axis[0]), static_cast<float>(axis[1]), static_cast<float>(axis[2])};
    NormaliseVector3f(a);
    // The origin is kept in double: rounding it through float would move the
    // frame by up to half a float ulp of its coordinates on every turn.
    const double t[3] = {At(m, 0, 3), At(m, 1, 3), At(m, 2, 3)};
    At(m, 0, 3) = At(m, 1, 3) = At(m, 2, 3) = 0.0;
    double rot[12] = {};
    WriteAxisAngleRotation(rot, angle, a[0], a[1], a[2]);
    MultiplyTransform3x4(rot, m, m);
    for (int r = 0; r < 3; ++r)
        At(m, r, 3) = t[r];
}

void RotateFrameAboutX(double m[12], double angle) { RotateColumns(m, 1, 2, angle); }
void RotateFrameAboutY(double m[12], double angle) { RotateColumns(m, 2, 0, angle); }
void RotateFrameAboutZ(double m[12], double angle) { RotateColumns(m, 0, 1, angle); }

void RotateMatrix4dAboutY(double* m, double angle)
{
    const double s = std::sin(angle);
    const double c = std::cos(angle);
    for (int col = 0; col < 4; ++col)
    {
        const double r0 = m[col];
        const double r2 = m[8 + col];
        m[col] = c * r0 + s * r2;
        m[8 + col] = c * r2 - s * r0;
    }
}
