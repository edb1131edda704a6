// 3x4 frames and transforms: twelve doubles, row-major, three rows of four;
// row r = (R[r][0], R[r][1], R[r][2], t[r]).
//
// Two conventions are in use, and each routine below says which it writes:
//
//  * Axes in COLUMNS (the usual one): columns 0, 1, 2 are the frame's x, y and
//    z axes in world coordinates and column 3 its origin, so the frame maps a
//    local point p to the world point R.p + t (local -> world).
//  * Axes in ROWS: only MakeFrameFromNormal. Its rows 0, 1, 2 are the axes,
//    which makes its rotation the transpose of the column form, i.e. it maps
//    world directions into the frame (world -> local). Its translation column
//    is left to the caller.
//
// The routines accept the output aliasing an input unless stated otherwise.
#pragma once

// ---------------------------------------------------------------------------
// Applying and combining transforms
// ---------------------------------------------------------------------------

// Identity rotation, zero translation.
void MakeIdentity3x4(double m[12]);

// out = R.p + t, computed in double and stored as floats.
void TransformPoint3f(const double m[12], float out[3], const float in[3]);

// p = R^T.(p - t), in place: the exact inverse of TransformPoint3f for an
// orthonormal R.
void InverseTransformPoint3f(const double m[12], float p[3]);

// out = a x b (b applied first, then a): out.R = a.R b.R, out.t = a.R b.t + a.t.
// Returns out.
double* MultiplyTransform3x4(const double a[12], double out[12], const double b[12]);

// Inverse of a rigid transform in place: R becomes R^T and t becomes -R^T t.
// Only exact for an orthonormal R.
void InvertRigidTransform3x4(double m[12]);

// ---------------------------------------------------------------------------
// Building frames (axes in columns, local -> world)
// ---------------------------------------------------------------------------

// Frame whose z axis is `normal` as given (not normalised) and whose x axis is
// unit(reference x normal), y = unit(normal x x), origin in column 3. A
// reference (nearly) parallel to the normal (|r x n|^2 <= 1e-4) is replaced by
// the coordinate axis of the normal's smallest absolute component.
void MakeFrame3x4(double out[12], const double origin[3], const double normal[3], const double reference[3]);

// The same frame from float vectors (origin, z direction, reference).
void BuildFrameFromAxes(double out[12], const float origin[3], const float direction[3], const float reference[3]);

// Columns 0, 1, 2 = a, b, c as given; the translation is untouched.
void SetMatrixColumns(double out[12], const double a[3], const double b[3], const double c[3]);

// Column i = unit(a), column j = unit(b), the third column the unit cross
// product that makes the frame right-handed. i and j must differ and lie in
// 0..2 (otherwise nothing is written). The translation is untouched.
void SetFrameFromTwoAxes(double out[12], const double a[3], int i, const double b[3], int j);

// ---------------------------------------------------------------------------
// Building frames (axes in ROWS, world -> local)
// ---------------------------------------------------------------------------

// Row 2 = unit(direction); rows 0 and 1 complete a right-handed orthonormal
// set (row 0 lies in the plane of the direction and the world x axis, or of
// the world y axis, whichever is less parallel). The translation column is not
// written.
void MakeFrameFromNormal(double frame[12], const double direction[3]);

// ---------------------------------------------------------------------------
// Rotations
// ---------------------------------------------------------------------------

// Rotation part = the rotation by `angle` (radians, right-handed) about the
// unit axis (not normalised here); the translation is untouched.
void RotationMatrixAxisAngle(double out[12], double angle, const double axis[3]);

// Turns the frame's axes about the world direction `axis` (normalised here,
// in single precision) while its origin stays where it is: R = Rot.R.
void RotateTransform3x4(double m[12], double angle, const double axis[3]);

// Turn a column-axes frame about its own x, y or z axis (right-handed):
// R = R.Rot, mixing columns 1 and 2, 0 and 2, or 0 and 1. The origin stays.
void RotateFrameAboutX(double m[12], double angle);
void RotateFrameAboutY(double m[12], double angle);
void RotateFrameAboutZ(double m[12], double angle);

// Left-multiplies a row-major matrix with rows of four doubles by the rotation
// about the world Y axis: row 0 = c.row0 + s.row2, row 2 = c.row2 - s.row0
// (all four columns). Rows 1 and 3 are not touched, so the same call serves a
// 3x4 frame (12 doubles) and a 4x4 matrix (16 doubles).
void RotateMatrix4dAboutY(double* m, double angle);
