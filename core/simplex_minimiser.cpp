#include "core/simplex_minimiser.h"

#include <cfloat>
#include <cmath>
#include <algorithm>
#include <limits>
#include <vector>

namespace
{

double Evaluate(SimplexObjective objective, const cDoubleVector& point, void* context)
{
    const double v = objective(point, context);
    return std::isnan(v) ? std::numeric_limits<double>::infinity() : v;
}

bool Allocate(stSimplex& s, std::uint32_t n)
{
    const std::uint64_t cells = static_cast<std::uint64_t>(n) * (static_cast<std::uint64_t>(n) + 1);
    if (cells > UINT32_MAX)
        return false;
    s.n = n;
    return s.vertices.Resize(static_cast<std::uint32_t>(cells)) && s.values.Resize(n + 1) && s.sums.Resize(n) &&
           s.trial.Resize(n);
}

void FormSums(stSimplex& s)
{
    for (std::uint32_t j = 0; j < s.n; ++j)
    {
        double sum = 0.0;
        for (std::uint32_t r = 0; r <= s.n; ++r)
            sum += s.Vertex(r)[j];
        s.sums[j] = sum;
    }
}

// Vertex 0 is the start; vertex i + 1 differs from it in coordinate i only,
// on whichever side of the start the objective is lower (the raised side on a
// tie). 2n + 1 evaluations.
void BuildFirstSimplex(stSimplex& s, const cDoubleVector& start, float step, SimplexObjective objective,
                       void* context, cDoubleVector& raised, cDoubleVector& lowered)
{
    const std::uint32_t n = s.n;
    for (std::uint32_t j = 0; j < n; ++j)
        s.Vertex(0)[j] = start[j];
    s.values[0] = Evaluate(objective, start, context);
    for (std::uint32_t i = 0; i < n; ++i)
    {
        const double p = start[i];
        const double offset = std::fabs(p) < FLT_EPSILON ? static_cast<double>(step) : step * p;
        raised = start;
        lowered = start;
        raised[i] = p + offset;
        lowered[i] = p - offset;
        const double up = Evaluate(objective, raised, context);
        const double down = Evaluate(objective, lowered, context);
        const bool takeLowered = up > down;
        const cDoubleVector& chosen = takeLowered ? lowered : raised;
        for (std::uint32_t j = 0; j < n; ++j)
            s.Vertex(i + 1)[j] = chosen[j];
        s.values[i + 1] = takeLowered ? down : up;
    }
    FormSums(s);
}

struct Ranking
{
    std::uint32_t best, worst, secondWorst;
};

Ranking Rank(const stSimplex& s)
{
    const double* v = s.values.GetData();
    Ranking k{0, 1, 0};
    if (v[0] > v[1])
    {
        k.worst = 0;
        k.secondWorst = 1;
    }
    for (std::uint32_t i = 0; i <= s.n; ++i)
    {
        if (v[i] <= v[k.best])
            k.best = i; // ties move best to the later vertex
        if (v[i] > v[k.worst])
        {
            k.secondWorst = k.worst;
            k.worst = i;
        }
        else if (v[i] > v[k.secondWorst] && i != k.worst)
        {
            k.secondWorst = i;
        }
    }
    return k;
}

// Every vertex but the best moves halfway towards it and is evaluated anew.
void ShrinkTowards(stSimplex& s, std::uint32_t best, SimplexObjective objective, void* context)
{
    const double* b = s.Vertex(best);
    for (std::uint32_t r = 0; r <= s.n; ++r)
    {
        if (r == best)
            continue;
        double* vertex = s.Vertex(r);
        for (std::uint32_t j = 0; j < s.n; ++j)
        {
            vertex[j] = 0.5 * (vertex[j] + b[j]);
            s.trial[j] = vertex[j];
        }
        s.values[r] = Evaluate(objective, s.trial, context);
    }
    FormSums(s);
}

// The point of a step of vertex w by the factor f through the centroid of
// the others: sums * a - w * b with a = (1 - f) / n, b = a - f.
void StepPoint(const double* sums, const double* w, std::uint32_t n, float factor, double* out)
{
    const double f = factor;
    const double a = (1.0 - f) / n;
    const double b = a - f;
    for (std::uint32_t j = 0; j < n; ++j)
        out[j] = sums[j] * a - w[j] * b;
}

// The trial replaces vertex `worst` (and updates the sums) when its value is
// strictly lower.
bool TakeIfLower(stSimplex& s, std::uint32_t worst, const double* trial, double value)
{
    if (!(value < s.values[worst]))
        return false;
    s.values[worst] = value;
    double* w = s.Vertex(worst);
    for (std::uint32_t j = 0; j < s.n; ++j)
    {
        s.sums[j] += trial[j] - w[j];
        w[j] = trial[j];
    }
    return true;
}

// Ranks the simplex and tells whether the minimisation ends here (the
// status set then).
bool Finished(const stSimplex& s, double tolerance, std::int64_t evaluations, std::int32_t budget, Ranking& k,
              std::uint32_t& status)
{
    k = Rank(s);
    const double vBest = s.values[k.best];
    const double vWorst = s.values[k.worst];
    const double spread = 2.0 * std::fabs(vWorst - vBest) / (std::fabs(vBest) + std::fabs(vWorst));
    if (tolerance >= spread)
    {
        status = kSimplexConverged;
        return true;
    }
    if (evaluations > budget)
    {
        status = kSimplexBudgetSpent;
        return true;
    }
    return false;
}

void ReturnBest(stSimplex& s, const Ranking& k, cDoubleVector& params, double* bestValue)
{
    if (bestValue)
        *bestValue = s.values[k.best];
    const double* best = s.Vertex(k.best);
    for (std::uint32_t j = 0; j < s.n; ++j)
        params[j] = best[j];
}

// The trial points of a batched minimisation and their values.
struct stBatch
{
    SimplexBatchObjective objective;
    void* context;
    std::vector<cDoubleVector> points;
    std::vector<double> values;

    bool Allocate(std::uint32_t count, std::uint32_t n)
    {
        points.resize(count);
        values.resize(count);
        for (cDoubleVector& p : points)
            if (!p.Resize(n))
                return false;
        return true;
    }
    double* Point(std::uint32_t i) { return points[i].GetData(); }
    void Run(std::uint32_t count)
    {
        objective(points.data(), count, values.data(), context);
        for (std::uint32_t i = 0; i < count; ++i)
            if (std::isnan(values[i]))
                values[i] = std::numeric_limits<double>::infinity();
    }
};

// BuildFirstSimplex with its 2n + 1 points in one batch: the start, then
// each coordinate's raised and lowered probe.
void BuildFirstSimplexBatched(stSimplex& s, const cDoubleVector& start, float step, stBatch& batch)
{
    const std::uint32_t n = s.n;
    batch.points[0] = start;
    for (std::uint32_t i = 0; i < n; ++i)
    {
        const double p = start[i];
        const double offset = std::fabs(p) < FLT_EPSILON ? static_cast<double>(step) : step * p;
        cDoubleVector& raised = batch.points[1 + 2 * i];
        cDoubleVector& lowered = batch.points[2 + 2 * i];
        raised = start;
        lowered = start;
        raised[i] = p + offset;
        lowered[i] = p - offset;
    }
    batch.Run(2 * n + 1);
    for (std::uint32_t j = 0; j < n; ++j)
        s.Vertex(0)[j] = start[j];
    s.values[0] = batch.values[0];
    for (std::uint32_t i = 0; i < n; ++i)
    {
        const double up = batch.values[1 + 2 * i];
        const double down = batch.values[2 + 2 * i];
        const bool takeLowered = up > down;
        const double* chosen = batch.Point(takeLowered ? 2 + 2 * i : 1 + 2 * i);
        for (std::uint32_t j = 0; j < n; ++j)
            s.Vertex(i + 1)[j] = chosen[j];
        s.values[i + 1] = takeLowered ? down : up;
    }
    FormSums(s);
}

// ShrinkTowards with the n moved vertices evaluated in one batch.
void ShrinkTowardsBatched(stSimplex& s, std::uint32_t best, stBatch& batch)
{
    const double* b = s.Vertex(best);
    std::uint32_t m = 0;
    for (std::uint32_t r = 0; r <= s.n; ++r)
    {
        if (r == best)
            continue;
        double* vertex = s.Vertex(r);
        double* trial = batch.Point(m++);
        for (std::uint32_t j = 0; j < s.n; ++j)
        {
            vertex[j] = 0.5 * (vertex[j] + b[j]);
            trial[j] = vertex[j];
        }
    }
    batch.Run(m);
    m = 0;
    for (std::uint32_t r = 0; r <= s.n; ++r)
        if (r != best)
            s.values[r] = batch.values[m++];
    FormSums(s);
}

} // namespace

double TrySimplexStep(stSimplex& s, std::uint32_t worst, float factor, SimplexObjective objective, void* context)
{
    StepPoint(s.sums.GetData(), s.Vertex(worst), s.n, factor, s.trial.GetData());
    const double value = Evaluate(objective, s.trial, context);
    TakeIfLower(s, worst, s.trial.GetData(), value);
    return value;
}

std::uint32_t MinimiseSimplex(cDoubleVector& params, SimplexObjective objective, void* context, double tolerance,
                              std::int32_t budget, float step, double* bestValue)
{
    const std::uint32_t n = params.GetCount();
    if (n == 0 || !objective)
        return kSimplexFailed;
    stSimplex s;
    cDoubleVector raised(n), lowered(n);
    if (!Allocate(s, n) || raised.GetCount() != n || lowered.GetCount() != n)
        return kSimplexFailed;

    BuildFirstSimplex(s, params, step, objective, context, raised, lowered);

    // 64 bits: a budget near INT32_MAX plus the last iteration's overrun must
    // not wrap.
    std::int64_t evaluations = 0;
    std::uint32_t status;
    Ranking k;
    for (;;)
    {
        if (Finished(s, tolerance, evaluations, budget, k, status))
            break;
        evaluations += 2;
        const double reflected = TrySimplexStep(s, k.worst, -1.0f, objective, context);
        if (reflected <= s.values[k.best])
        {
            TrySimplexStep(s, k.worst, 2.0f, objective, context);
        }
        else if (reflected >= s.values[k.secondWorst])
        {
            const double before = s.values[k.worst];
            const double contracted = TrySimplexStep(s, k.worst, 0.5f, objective, context);
            if (contracted >= before)
            {
                ShrinkTowards(s, k.best, objective, context);
                evaluations += n;
            }
        }
        else
        {
            evaluations -= 1;
        }
    }
    ReturnBest(s, k, params, bestValue);
    return status;
}

std::uint32_t MinimiseSimplexBatched(cDoubleVector& params, SimplexBatchObjective objective, void* context,
                                     double tolerance, std::int32_t budget, float step, double* bestValue)
{
    const std::uint32_t n = params.GetCount();
    if (n == 0 || !objective)
        return kSimplexFailed;
    stSimplex s;
    stBatch batch{objective, context, {}, {}};
    if (!Allocate(s, n) || !batch.Allocate(std::max<std::uint32_t>(2 * n + 1, 4), n))
        return kSimplexFailed;

    BuildFirstSimplexBatched(s, params, step, batch);

    // The candidates of a step: 0 the reflection, 1 and 2 the expansion and
    // the contraction once the reflection has replaced the worst vertex, 3
    // the contraction if it has not.
    cDoubleVector takenSums(n);
    if (takenSums.GetCount() != n)
        return kSimplexFailed;
    std::int64_t evaluations = 0;
    std::uint32_t status;
    Ranking k;
    for (;;)
    {
        if (Finished(s, tolerance, evaluations, budget, k, status))
            break;
        evaluations += 2;
        double* w = s.Vertex(k.worst);
        double* reflection = batch.Point(0);
        StepPoint(s.sums.GetData(), w, n, -1.0f, reflection);
        for (std::uint32_t j = 0; j < n; ++j)
        {
            takenSums[j] = s.sums[j];
            takenSums[j] += reflection[j] - w[j];
        }
        StepPoint(takenSums.GetData(), reflection, n, 2.0f, batch.Point(1));
        StepPoint(takenSums.GetData(), reflection, n, 0.5f, batch.Point(2));
        StepPoint(s.sums.GetData(), w, n, 0.5f, batch.Point(3));
        batch.Run(4);
        const double reflected = batch.values[0];
        const bool taken = TakeIfLower(s, k.worst, reflection, reflected);
        if (reflected <= s.values[k.best])
        {
            if (taken)
                TakeIfLower(s, k.worst, batch.Point(1), batch.values[1]);
            else
            {
                // Only when no value is below the reflected one: not speculated.
                StepPoint(s.sums.GetData(), s.Vertex(k.worst), n, 2.0f, batch.Point(0));
                batch.Run(1);
                TakeIfLower(s, k.worst, batch.Point(0), batch.values[0]);
            }
        }
        else if (reflected >= s.values[k.secondWorst])
        {
            const double before = s.values[k.worst];
            const std::uint32_t c = taken ? 2 : 3;
            const double contracted = batch.values[c];
            TakeIfLower(s, k.worst, batch.Point(c), contracted);
            if (contracted >= before)
            {
                ShrinkTowardsBatched(s, k.best, batch);
                evaluations += n;
            }
        }
        else
        {
            evaluations -= 1;
        }
    }
    ReturnBest(s, k, params, bestValue);
    return status;
}
