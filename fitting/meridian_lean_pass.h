// How far point normals lean out of their meridian planes about an axis,
// the measure that the revolution axis refinement sums at each of its
// hundreds of evaluations over up to millions of samples; and the samples
// turned into the meridian half-plane, which the profile measure does at
// each of its thousand and more.
//
// A sample's lean is |(a x (p - c)) . n| / |a x (p - c)| (the sine of the
// angle between the normal n and the plane through the axis (a, c) and the
// point p), or -1 where |a x (p - c)| is not above zero (p on the axis).
// The samples are measured a block at a time laid out by component, so that
// the vector lanes load them whole; each lane does the scalar measure's
// operations in their order (no fused multiply-adds), so every kernel gives
// the same bits.
#pragma once

#include <cstddef>

enum class eMeridianLeanKernel
{
    kScalar,
    kSse2,
    kAvx512
};

// Whether this build and this processor can run the kernel.
bool IsMeridianLeanKernelAvailable(eMeridianLeanKernel kernel);
// The widest available kernel, the one the refinement uses.
eMeridianLeanKernel FastestMeridianLeanKernel();

// One sample's lean (axis a of unit length through c).
double MeridianLean(const double p[3], const double n[3], const double axis[3], const double point[3]);

// The leans of a block of `count` samples laid out by component: the
// positions' x at block[0, count), their y and z after, then the normals'
// x, y and z. out[i] is sample i's lean. The kernel must be available.
void MeridianLeansOfBlock(eMeridianLeanKernel kernel, const double* block, std::size_t count,
                          const double axis[3], const double point[3], double* out);

// Lays out `count` samples of six doubles each (position, normal) in place
// a block of `blockSize` at a time by component: block b starts where its
// first sample did, and its last block holds the rest. Each block is moved
// by its own job on the shared pool.
void LaySamplesOutByComponent(double* samples, std::size_t count, std::size_t blockSize);

// Samples turned into the meridian half-plane of an axis (unit dir through
// at, unit u and v square to it and to each other): d = p - at, the height
// h = d . dir, the place about the axis a = d . u and b = d . v, the radius
// r = std::hypot(a, b), the normal's part along the radial direction
// mr = n . ((a u + b v) / r) and along the axis mh = n . dir (both
// meaningless where r is not above zero), and AngleEstimate(b, a).
struct stHalfPlaneFrame
{
    double dir[3], at[3], u[3], v[3];
};
inline constexpr std::size_t kHalfPlaneChunk = 64;
struct stHalfPlaneChunk
{
    double h[kHalfPlaneChunk], a[kHalfPlaneChunk], b[kHalfPlaneChunk], r[kHalfPlaneChunk];
    double mr[kHalfPlaneChunk], mh[kHalfPlaneChunk], angle[kHalfPlaneChunk];
};

// std::atan2(y, x) to within 1e-4: the arc tangent of the smaller over the
// larger magnitude by a polynomial good to 1e-5 on [0, 1], turned into the
// quadrant, with std::atan2's sign of y (-0 included) and its cut at
// -pi / pi. Not both zero.
double AngleEstimate(double y, double x);

// Samples [first, first + count) (count at most kHalfPlaneChunk) of the
// positions' and normals' components p[0..2], n[0..2] turned into out[0,
// count), each with the one-sample operations in their order: the same
// bits by every kernel.
void TurnIntoHalfPlane(eMeridianLeanKernel kernel, const double* const p[3], const double* const n[3],
                       std::size_t first, std::size_t count, const stHalfPlaneFrame& frame, stHalfPlaneChunk& out);
