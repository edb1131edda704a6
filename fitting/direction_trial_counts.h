// How many unit normals stand nearly square to each of a few trial
// directions: the extrusion direction's trials count them a pass over
// millions of normals at a time, eight trials a pass.
//
// A normal n counts for trial c when |n . c| < limit, n . c taken as
// (n0 c0 + n1 c1) + n2 c2 (NaN never counts). The vector kernels give each
// trial a lane and do the scalar count's operations in their order (no fused
// multiply-adds), so every kernel gives the same counts.
#pragma once

#include <cstddef>

inline constexpr std::size_t kTrialsPerCount = 8;

enum class eTrialCountKernel
{
    kScalar,
    kSse2,
    kAvx512
};

// Whether this build and this processor can run the kernel.
bool IsTrialCountKernelAvailable(eTrialCountKernel kernel);
// The widest available kernel, the one the trials use.
eTrialCountKernel FastestTrialCountKernel();

// Adds to below[t] (t < trialCount <= kTrialsPerCount) how many of the
// `count` normals (three doubles each, one after another) count for trial
// direction trials[t]. The kernel must be available.
void CountNearlySquare(eTrialCountKernel kernel, const double* normals, std::size_t count,
                       const double (*trials)[3], std::size_t trialCount, double limit,
                       std::size_t below[kTrialsPerCount]);
