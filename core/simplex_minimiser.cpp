#include "core/simplex_minimiser.h"

#include <cfloat>
#include <cmath>
#include <limits>

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

} // namespace

double TrySimplexStep(stSimplex& s, std::uint32_t worst, float factor, SimplexObjective objective, void* context)
{
    const double f = factor;
    const double a = (1.0 - f) / s.n;
    const double b = a - f;
    double* w = s.Vertex(worst);
    for (std::uint32_t j = 0; j < s.n; ++j)
        s.trial[j] = s.sums[j] * a - w[j] * b;
    const double value = Evaluate(objective, s.trial, context);
    if (value < s.values[worst])
    {
        s.values[worst] = value;
        for (std::uint32_t j = 0; j < s.n; ++j)
        {
            s.sums[j] += s.trial[j] - w[j];
            w[j] = s.trial[j];
        }
    }
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
        k = Rank(s);
        const double vBest = s.values[k.best];
        const double vWorst = s.values[k.worst];
        const double spread = 2.0 * std::fabs(vWorst - vBest) / (std::fabs(vBest) + std::fabs(vWorst));
        if (tolerance >= spread)
        {
            status = kSimplexConverged;
            break;
        }
        if (evaluations > budget)
        {
            status = kSimplexBudgetSpent;
            break;
        }
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

    if (bestValue)
        *bestValue = s.values[k.best];
    const double* best = s.Vertex(k.best);
    for (std::uint32_t j = 0; j < n; ++j)
        params[j] = best[j];
    return status;
}
