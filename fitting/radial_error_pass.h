// The cylinder's error sum over packed points, the objective that its
// refinement evaluates a hundred times and more: sum of (|(p - o) x a| - r)^2
// with p - o rounded to float before the cross product, exactly as
// cCylinderFit::SumSquaredRadialErrors forms each point's error.
//
// Within a block the points are summed in eight lanes (point i into lane
// i mod 8) that are added in one fixed order at the block's end; the wide
// instruction sets hold the same eight lanes in fewer registers, so every
// kernel gives the same bits as the portable one, and the blocks are added in
// block order (see packed_fit_points.h).
#pragma once

#include "fitting/packed_fit_points.h"

#include <cstddef>

enum class eRadialErrorKernel
{
    kPortable,
    kSse2,
    kAvx2,
    kAvx512
};

// Whether this build and this processor can run the kernel.
bool IsRadialErrorKernelAvailable(eRadialErrorKernel kernel);
// The widest available kernel, the one the passes use.
eRadialErrorKernel FastestRadialErrorKernel();

// One block's sum (count points from x, y, z) by the given kernel, which
// must be available.
double SumRadialErrorBlock(eRadialErrorKernel kernel, const float* x, const float* y, const float* z,
                           std::size_t count, const double point[3], const double direction[3], double radius);

// The sum over all packed points, block by block, on the pool for large
// packings (pool may be null).
double SumSquaredRadialErrors(const cPackedFitPoints& points, const double point[3], const double direction[3],
                              double radius, cThreadPool* pool);
