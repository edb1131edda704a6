#include "core/simplex_minimiser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace
{

// Counts evaluations and remembers the points, then defers to a function.
struct Recorder
{
    double (*f)(const cDoubleVector&) = nullptr;
    std::vector<std::vector<double>> points;

    static double Call(const cDoubleVector& p, void* context)
    {
        auto* self = static_cast<Recorder*>(context);
        self->points.emplace_back(p.GetData(), p.GetData() + p.GetCount());
        return self->f(p);
    }
    std::size_t Count() const { return points.size(); }
};

cDoubleVector Vec(std::initializer_list<double> values)
{
    cDoubleVector v(static_cast<std::uint32_t>(values.size()));
    std::uint32_t i = 0;
    for (double x : values)
        v[i++] = x;
    return v;
}

TEST(DoubleVector, StartsZeroedAndResizesToZeros)
{
    cDoubleVector v(3);
    ASSERT_EQ(v.GetCount(), 3u);
    EXPECT_EQ(v[0] + v[1] + v[2], 0.0);
    v[1] = 5.0;
    cDoubleVector copy = v;
    EXPECT_EQ(copy[1], 5.0);
    EXPECT_TRUE(v.Resize(3));
    EXPECT_EQ(v[1], 0.0);
    EXPECT_TRUE(v.Resize(5));
    EXPECT_EQ(v[4], 0.0);
    EXPECT_TRUE(v.Resize(0));
    EXPECT_EQ(v.GetData(), nullptr);
    EXPECT_EQ(cDoubleVector(0).GetData(), nullptr);
}

TEST(SimplexMinimiser, FirstSimplexProbesEachParameterByTheStep)
{
    Recorder rec;
    rec.f = [](const cDoubleVector& p) { return p[0] + p[1] + p[2] + 10.0; };
    cDoubleVector params = Vec({1000.0, 0.0, -4.0});
    MinimiseSimplex(params, Recorder::Call, &rec, 1e-6, 0, 0.00025f);
    ASSERT_GE(rec.Count(), 7u);
    const double step = 0.00025f;
    EXPECT_EQ(rec.points[0], (std::vector<double>{1000.0, 0.0, -4.0}));
    EXPECT_EQ(rec.points[1][0], 1000.0 + step * 1000.0); // relative: 0.25
    EXPECT_NEAR(rec.points[1][0], 1000.25, 1e-6);
    EXPECT_EQ(rec.points[2][0], 1000.0 - step * 1000.0);
    EXPECT_EQ(rec.points[3][1], step); // absolute for a zero parameter
    EXPECT_EQ(rec.points[4][1], -step);
    EXPECT_EQ(rec.points[5][2], -4.0 + step * -4.0); // negative offset for a negative parameter
    EXPECT_EQ(rec.points[6][2], -4.0 - step * -4.0);
}

TEST(SimplexMinimiser, EqualValuesConvergeAtOnceOnTheRaisedProbe)
{
    // All values equal and non-zero: spread 0, status 1 at the first ranking.
    // Equal probes put the raised one into the simplex, and ties make the
    // last vertex the best, so the result is the start raised by the step.
    Recorder rec;
    rec.f = [](const cDoubleVector&) { return 5.0; };
    cDoubleVector params = Vec({2.0});
    double value = 0;
    EXPECT_EQ(MinimiseSimplex(params, Recorder::Call, &rec, 0.0, 100, 0.25f, &value), kSimplexConverged);
    EXPECT_EQ(rec.Count(), 3u);
    EXPECT_EQ(params[0], 2.5);
    EXPECT_EQ(value, 5.0);
}

TEST(SimplexMinimiser, ZeroEverywhereNeverConvergesAndStopsAtTheBudget)
{
    // 0/0 spread: every iteration reflects and expands (2 evaluations, both
    // refused), the counter runs 0, 2, ..., 10, and at 12 > 10 it stops.
    Recorder rec;
    rec.f = [](const cDoubleVector&) { return 0.0; };
    cDoubleVector params = Vec({1.0});
    EXPECT_EQ(MinimiseSimplex(params, Recorder::Call, &rec, 1e-6, 10, 0.25f), kSimplexBudgetSpent);
    EXPECT_EQ(rec.Count(), 3u + 12u);
}

TEST(SimplexMinimiser, TrialStepWithOneParameter)
{
    // n = 1: a = 1 - f, b = 1 - 2f; vertices 1 and 3 with f(x) = x^2.
    stSimplex s;
    s.n = 1;
    ASSERT_TRUE(s.vertices.Resize(2) && s.values.Resize(2) && s.sums.Resize(1) && s.trial.Resize(1));
    auto square = [](const cDoubleVector& p, void*) { return p[0] * p[0]; };
    auto reset = [&] {
        s.vertices[0] = 1.0;
        s.vertices[1] = 3.0;
        s.values[0] = 1.0;
        s.values[1] = 9.0;
        s.sums[0] = 4.0;
    };
    reset();
    EXPECT_EQ(TrySimplexStep(s, 1, -1.0f, square, nullptr), 1.0); // reflected to -1
    EXPECT_EQ(s.vertices[1], -1.0);
    EXPECT_EQ(s.sums[0], 0.0);
    reset();
    EXPECT_EQ(TrySimplexStep(s, 1, 2.0f, square, nullptr), 25.0); // to 5: worse, refused
    EXPECT_EQ(s.vertices[1], 3.0);
    EXPECT_EQ(s.sums[0], 4.0);
    reset();
    EXPECT_EQ(TrySimplexStep(s, 1, 0.5f, square, nullptr), 4.0); // halfway to 1
    EXPECT_EQ(s.vertices[1], 2.0);
    EXPECT_EQ(s.values[1], 4.0);
}

double Bowl(const cDoubleVector& p, double floor)
{
    const double c[3] = {0.5, -2.0, 3.0};
    const double w[3] = {1.0, 4.0, 0.25};
    double sum = floor;
    for (int i = 0; i < 3; ++i)
        sum += w[i] * (p[i] - c[i]) * (p[i] - c[i]);
    return sum;
}

TEST(SimplexMinimiser, QuadraticBowl)
{
    auto raisedBowl = [](const cDoubleVector& p, void*) { return Bowl(p, 1.0); };
    cDoubleVector params = Vec({1.0, 1.0, 1.0});
    double value = 0;
    ASSERT_EQ(MinimiseSimplex(params, raisedBowl, nullptr, 1e-12, 5000, 0.25f, &value), kSimplexConverged);
    EXPECT_NEAR(params[0], 0.5, 1e-4);
    EXPECT_NEAR(params[1], -2.0, 1e-4);
    EXPECT_NEAR(params[2], 3.0, 1e-4);
    EXPECT_EQ(value, Bowl(params, 1.0));

}

double Rosenbrock(const cDoubleVector& p)
{
    const double a = 1.0 - p[0], b = p[1] - p[0] * p[0];
    return a * a + 100.0 * b * b + 1.0;
}

TEST(SimplexMinimiser, RosenbrockValleyAndBudgetExhaustion)
{
    Recorder rec;
    rec.f = Rosenbrock;
    cDoubleVector params = Vec({-1.2, 1.0});
    ASSERT_EQ(MinimiseSimplex(params, Recorder::Call, &rec, 1e-14, 20000, 0.1f), kSimplexConverged);
    EXPECT_NEAR(params[0], 1.0, 1e-3);
    EXPECT_NEAR(params[1], 1.0, 2e-3);

    // A small budget: status 2, never more than budget + n + 2 evaluations in
    // the main loop, and the best point found so far.
    for (int budget : {0, 1, 7, 50, 51})
    {
        SCOPED_TRACE(budget);
        Recorder small;
        small.f = Rosenbrock;
        cDoubleVector p = Vec({-1.2, 1.0});
        double value = 0;
        ASSERT_EQ(MinimiseSimplex(p, Recorder::Call, &small, 1e-14, budget, 0.1f, &value), kSimplexBudgetSpent);
        // The counter equals the evaluations of the main loop (a plain
        // reflection counts 1, a shrink n more), so the loop stops at the
        // first ranking after they exceed the budget, and no later.
        EXPECT_GT(small.Count(), 5u + static_cast<std::size_t>(budget));
        EXPECT_LE(small.Count(), 5u + static_cast<std::size_t>(budget) + 2 + 2);
        EXPECT_EQ(value, Rosenbrock(p));
        double lowest = std::numeric_limits<double>::infinity();
        for (const auto& pt : small.points)
            lowest = std::fmin(lowest, Rosenbrock(Vec({pt[0], pt[1]})));
        EXPECT_EQ(value, lowest);
    }
}

TEST(SimplexMinimiser, NanValuesRankWorstAndNeverStall)
{
    // Undefined left of 0: the simplex keeps away from there and converges.
    auto halfLine = [](const cDoubleVector& p, void*) {
        const double d = p[0] - 2.0;
        return p[0] < 0.0 ? std::numeric_limits<double>::quiet_NaN() : d * d * (1.0 + 0.3 * d) + 1.0;
    };
    cDoubleVector params = Vec({0.0});
    ASSERT_EQ(MinimiseSimplex(params, halfLine, nullptr, 1e-14, 1000, 0.5f), kSimplexConverged);
    EXPECT_NEAR(params[0], 2.0, 1e-3);

    // NaN everywhere: the budget ends it, with a finite point.
    Recorder rec;
    rec.f = [](const cDoubleVector&) { return std::numeric_limits<double>::quiet_NaN(); };
    cDoubleVector p = Vec({1.0, 2.0});
    EXPECT_EQ(MinimiseSimplex(p, Recorder::Call, &rec, 1e-6, 100, 0.1f), kSimplexBudgetSpent);
    EXPECT_LE(rec.Count(), 5u + 100 + 2 + 2);
    EXPECT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]));
}

// The batched minimiser against the one-at-a-time one: the same status, point
// and value to the bit, and every point the latter evaluates among the
// batches' points in the same order, in fewer batches than evaluations.
struct BatchRecorder
{
    double (*f)(const cDoubleVector&) = nullptr;
    std::vector<std::vector<double>> points;
    std::size_t batches = 0;

    static void Call(const cDoubleVector* trials, std::uint32_t count, double* values, void* context)
    {
        auto* self = static_cast<BatchRecorder*>(context);
        ++self->batches;
        for (std::uint32_t i = 0; i < count; ++i)
        {
            self->points.emplace_back(trials[i].GetData(), trials[i].GetData() + trials[i].GetCount());
            values[i] = self->f(trials[i]);
        }
    }
};

// A bowl with ripples: contractions fail and the simplex shrinks.
double Rippled(const cDoubleVector& p)
{
    double sum = 0.0;
    for (std::uint32_t i = 0; i < p.GetCount(); ++i)
        sum += (p[i] - 0.3 * i) * (p[i] - 0.3 * i);
    return sum + 0.5 * std::fabs(std::sin(9.0 * p[0])) + 0.5 * std::fabs(std::sin(7.0 * p[1]));
}

// Level round the start and lower past it: the first reflection ties with
// every vertex, is not taken, and the expansion from the unchanged simplex
// is.
double Plateau(const cDoubleVector& p)
{
    const double r2 = p[0] * p[0] + p[1] * p[1];
    return r2 < 0.04 ? 0.0 : -1.0 - 0.01 * std::min(r2, 4.0);
}

TEST(SimplexMinimiser, BatchedVisitsTheSamePointsAndEndsTheSame)
{
    const struct
    {
        double (*f)(const cDoubleVector&);
        std::vector<double> start;
        double tolerance;
        std::int32_t budget;
        float step;
    } cases[] = {
        {Rosenbrock, {-1.2, 1.0}, 1e-14, 20000, 0.1f},
        {Rippled, {2.0, -1.0, 0.5, 4.0}, 1e-14, 300, 0.1f},
        {Plateau, {0.0, 0.0}, 1e-10, 200, 0.1f},
        {[](const cDoubleVector& p) { return p[0] < 0.0 ? std::nan("") : (p[0] - 0.05) * (p[0] - 0.05) + 1.0; },
         {1.0},
         1e-14,
         1000,
         0.5f},
        {[](const cDoubleVector&) { return 0.0; }, {1.0, 2.0}, 1e-6, 50, 0.1f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.start.size());
        Recorder one;
        one.f = c.f;
        BatchRecorder batched;
        batched.f = c.f;
        cDoubleVector a(static_cast<std::uint32_t>(c.start.size())), b(a.GetCount());
        for (std::uint32_t i = 0; i < a.GetCount(); ++i)
            a[i] = b[i] = c.start[i];
        double va = -1.0, vb = -2.0;
        const std::uint32_t sa = MinimiseSimplex(a, Recorder::Call, &one, c.tolerance, c.budget, c.step, &va);
        const std::uint32_t sb =
            MinimiseSimplexBatched(b, BatchRecorder::Call, &batched, c.tolerance, c.budget, c.step, &vb);
        EXPECT_EQ(sa, sb);
        EXPECT_EQ(std::memcmp(&va, &vb, sizeof va), 0);
        EXPECT_EQ(std::memcmp(a.GetData(), b.GetData(), sizeof(double) * a.GetCount()), 0);
        std::size_t next = 0;
        for (const auto& point : batched.points)
            if (next < one.points.size() &&
                std::memcmp(point.data(), one.points[next].data(), sizeof(double) * point.size()) == 0)
                ++next;
        EXPECT_EQ(next, one.points.size());
        EXPECT_LT(batched.batches, one.points.size());
    }
}

TEST(SimplexMinimiser, EmptyVectorFailsWithoutEvaluating)
{
    Recorder rec;
    rec.f = [](const cDoubleVector&) { return 1.0; };
    cDoubleVector empty;
    EXPECT_EQ(MinimiseSimplex(empty, Recorder::Call, &rec, 1e-6, 100, 0.1f), kSimplexFailed);
    EXPECT_EQ(rec.Count(), 0u);
}

} // namespace
