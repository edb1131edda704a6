// Downhill-simplex (Nelder-Mead) minimisation: the derivative-free refinement
// at the end of every fit. The fitter packs its shape parameters into a
// vector and the minimiser moves a simplex of n + 1 points through parameter
// space by reflection, expansion, one-sided contraction and shrinking until
// the objective values at its vertices agree to a relative tolerance or an
// evaluation budget is spent.
#pragma once

#include "core/double_vector.h"

#include <cstdint>

// The function to minimise at a trial point; lower is better. The context is
// the caller's (the fitter or a record of fixed values).
using SimplexObjective = double (*)(const cDoubleVector& point, void* context);

// The values of several trial points at once: values[i] for points[i], each
// the value the objective gives that point alone (an objective that reads
// much data reads it once for all of them, or measures them side by side).
using SimplexBatchObjective = void (*)(const cDoubleVector* points, std::uint32_t count, double* values,
                                       void* context);

// Results of MinimiseSimplex. Callers treat both successes alike.
inline constexpr std::uint32_t kSimplexFailed = 0;      // empty vector or no memory; nothing evaluated
inline constexpr std::uint32_t kSimplexConverged = 1;   // relative spread within the tolerance
inline constexpr std::uint32_t kSimplexBudgetSpent = 2; // evaluation budget ran out

// Minimises the objective starting from `params`; on success `params` receives
// the best vertex and `*bestValue` (when given) its value.
//
// - tolerance: the simplex has converged when
//   2 |worst - best| / (|best| + |worst|) <= tolerance. With no guard term
//   in the denominator, an objective whose best and worst values are both 0
//   never converges and runs its budget.
// - budget: objective evaluations allowed in the main loop; the first simplex
//   (2n + 1 evaluations) is not counted, and the last iteration may overrun
//   the budget by up to n + 2.
// - step: the size of the first simplex relative to each parameter (absolute
//   for parameters smaller than FLT_EPSILON).
//
// A NaN objective value ranks as +infinity (worse than every number), so the
// simplex moves away from points where the objective is undefined.
std::uint32_t MinimiseSimplex(cDoubleVector& params, SimplexObjective objective, void* context, double tolerance,
                              std::int32_t budget, float step, double* bestValue = nullptr);

// MinimiseSimplex with the trial points of a step asked for together: the
// first simplex's 2n + 1 points in one batch, each step's reflection with
// the expansion and both contractions it may lead to (from the simplex with
// the reflection taken and without it) in another, a shrink's n points in a
// third. The same points are visited and the same result returned as
// MinimiseSimplex gives with the objective the batch evaluates; the
// candidates a step does not take are evaluated beside it in vain.
std::uint32_t MinimiseSimplexBatched(cDoubleVector& params, SimplexBatchObjective objective, void* context,
                                     double tolerance, std::int32_t budget, float step, double* bestValue = nullptr);

// The working state of one minimisation: n + 1 vertices of n coordinates
// (row r = vertex r), their values, the per-coordinate sums over all vertices
// and the trial point.
struct stSimplex
{
    std::uint32_t n = 0;
    cDoubleVector vertices;
    cDoubleVector values;
    cDoubleVector sums;
    cDoubleVector trial;

    double* Vertex(std::uint32_t r) { return vertices.GetData() + static_cast<std::uint64_t>(r) * n; }
};

// Moves the worst vertex w through the centroid of the others by the factor f
// (-1 reflects, 2 reflects and doubles, 0.5 goes halfway to the centroid): the
// trial point is sums * a - vertex w * b with a = (1 - f) / n, b = a - f. The
// trial replaces vertex w (and updates the sums) only when its value is
// strictly lower. Returns the trial value in every case.
double TrySimplexStep(stSimplex& simplex, std::uint32_t worst, float factor, SimplexObjective objective,
                      void* context);
