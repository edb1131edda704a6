// How far point normals lean out of their meridian planes about an axis,
// the measure that the revolution axis refinement sums at each of its
// hundreds of evaluations over up to millions of samples.
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
