#include "platform/host/loft_compatible_sections.h"

#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <gp_Pnt.hxx>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace
{

// Rounds of refinement before giving up on a common knot vector.
constexpr int kMaxRefinements = 12;
// Knots closer than this (on [0, 1]) are one knot.
constexpr double kKnotMerge = 1e-10;

using tPoint = std::array<double, 3>;

struct stKnot
{
    double value;
    int multiplicity;
};

// A section as the fit reads it: the curve and its domain, which maps onto
// [0, 1].
struct stSection
{
    Handle(Geom_BSplineCurve) curve;
    double first;
    double last;

    tPoint At(double t) const
    {
        const double u = t >= 1.0 ? last : first + t * (last - first);
        const gp_Pnt p = curve->Value(u);
        return {p.X(), p.Y(), p.Z()};
    }
};

// Whether the curve's first derivative jumps at interior knot i: a corner
// (or a change of speed) that a smoother common knot vector could only
// approach. Knots of full multiplicity where the pieces still join smoothly
// (curves assembled from Bezier pieces have them everywhere) are none.
bool IsCorner(const Geom_BSplineCurve& curve, int i)
{
    if (curve.Multiplicity(i) < curve.Degree())
        return false;
    gp_Pnt point;
    gp_Vec before, after;
    const double u = curve.Knot(i);
    curve.LocalD1(u, i - 1, i, point, before);
    curve.LocalD1(u, i, i + 1, point, after);
    return (before - after).Magnitude() > 1e-9 * (before.Magnitude() + after.Magnitude());
}

// The distinct interior knots of a curve, mapped onto [0, 1], with the
// multiplicity the fit must give them: the degree at corners, else 1.
std::vector<stKnot> InteriorKnots(const Geom_BSplineCurve& curve)
{
    std::vector<stKnot> knots;
    const double a = curve.FirstParameter(), b = curve.LastParameter();
    for (int i = curve.FirstUKnotIndex() + 1; i < curve.LastUKnotIndex(); ++i)
        knots.push_back({(curve.Knot(i) - a) / (b - a), IsCorner(curve, i) ? curve.Degree() : 1});
    return knots;
}

// The clamped knot vector of degree p over [0, 1] with the given interior.
std::vector<double> FlatKnots(const std::vector<stKnot>& interior, int p)
{
    std::vector<double> flat(static_cast<std::size_t>(p + 1), 0.0);
    for (const stKnot& k : interior)
        flat.insert(flat.end(), static_cast<std::size_t>(k.multiplicity), k.value);
    flat.insert(flat.end(), static_cast<std::size_t>(p + 1), 1.0);
    return flat;
}

// The knot span of t: U[span] <= t < U[span + 1], the last one for t = 1.
int FindSpan(const std::vector<double>& U, int p, int poles, double t)
{
    if (t >= U[static_cast<std::size_t>(poles)])
        return poles - 1;
    const auto it = std::upper_bound(U.begin() + p, U.begin() + poles + 1, t);
    return static_cast<int>(it - U.begin()) - 1;
}

// The p + 1 basis functions that are not zero at t in the span.
void BasisFunctions(const std::vector<double>& U, int p, int span, double t, double* N)
{
    double left[32], right[32];
    N[0] = 1.0;
    for (int j = 1; j <= p; ++j)
    {
        left[j] = t - U[static_cast<std::size_t>(span + 1 - j)];
        right[j] = U[static_cast<std::size_t>(span + j)] - t;
        double saved = 0.0;
        for (int r = 0; r < j; ++r)
        {
            const double temp = N[r] / (right[r + 1] + left[j - r]);
            N[r] = saved + right[r + 1] * temp;
            saved = left[j - r] * temp;
        }
        N[j] = saved;
    }
}

tPoint Evaluate(const std::vector<double>& U, int p, const std::vector<tPoint>& poles, double t)
{
    const int span = FindSpan(U, p, static_cast<int>(poles.size()), t);
    double N[32];
    BasisFunctions(U, p, span, t, N);
    tPoint out{0.0, 0.0, 0.0};
    for (int i = 0; i <= p; ++i)
        for (int k = 0; k < 3; ++k)
            out[static_cast<std::size_t>(k)] += N[i] * poles[static_cast<std::size_t>(span - p + i)][static_cast<std::size_t>(k)];
    return out;
}

// Least squares on the knot vector with both ends kept: samples inside every
// span, normal equations banded by the degree, solved by LDL^T. False when
// the system is singular.
bool FitSection(const stSection& section, const std::vector<double>& U, int p, std::vector<tPoint>& poles)
{
    const int n = static_cast<int>(U.size()) - p - 1;
    poles.assign(static_cast<std::size_t>(n), tPoint{0.0, 0.0, 0.0});
    poles.front() = section.At(0.0);
    poles.back() = section.At(1.0);
    if (n == 2)
        return true;
    const int unknowns = n - 2;
    const int band = p + 1;
    std::vector<double> matrix(static_cast<std::size_t>(unknowns * band), 0.0); // row i, column i + d
    std::vector<tPoint> rhs(static_cast<std::size_t>(unknowns), tPoint{0.0, 0.0, 0.0});
    const int samples = p + 3;
    double N[32];
    for (std::size_t s = static_cast<std::size_t>(p); s + 1 < U.size() - static_cast<std::size_t>(p); ++s)
    {
        const double a = U[s], b = U[s + 1];
        if (!(b > a))
            continue;
        for (int k = 0; k < samples; ++k)
        {
            const double t = a + (b - a) * (k + 0.5) / samples;
            const int span = static_cast<int>(s);
            BasisFunctions(U, p, span, t, N);
            tPoint target = section.At(t);
            for (int i = 0; i <= p; ++i)
            {
                const int pole = span - p + i;
                if (pole == 0 || pole == n - 1)
                    for (int c = 0; c < 3; ++c)
                        target[static_cast<std::size_t>(c)] -= N[i] * poles[static_cast<std::size_t>(pole)][static_cast<std::size_t>(c)];
            }
            for (int i = 0; i <= p; ++i)
            {
                const int row = span - p + i - 1;
                if (row < 0 || row >= unknowns)
                    continue;
                for (int c = 0; c < 3; ++c)
                    rhs[static_cast<std::size_t>(row)][static_cast<std::size_t>(c)] += N[i] * target[static_cast<std::size_t>(c)];
                for (int j = i; j <= p; ++j)
                {
                    const int column = span - p + j - 1;
                    if (column < 0 || column >= unknowns)
                        continue;
                    matrix[static_cast<std::size_t>(row * band + (column - row))] += N[i] * N[j];
                }
            }
        }
    }
    // Cholesky of the band: L(i, i - d) at lower[i * band + d].
    auto a = [&](int row, int column) { return matrix[static_cast<std::size_t>(row * band + (column - row))]; };
    std::vector<double> lower(matrix.size(), 0.0);
    auto l = [&](int row, int column) -> double& { return lower[static_cast<std::size_t>(row * band + (row - column))]; };
    for (int i = 0; i < unknowns; ++i)
        for (int j = std::max(0, i - p); j <= i; ++j)
        {
            double sum = a(j, i);
            for (int k = std::max(0, i - p); k < j; ++k)
                sum -= l(i, k) * l(j, k);
            if (i == j)
            {
                if (!(sum > 0.0))
                    return false;
                l(i, i) = std::sqrt(sum);
            }
            else
            {
                l(i, j) = sum / l(j, j);
            }
        }
    std::vector<tPoint> x = rhs;
    for (int i = 0; i < unknowns; ++i)
        for (int c = 0; c < 3; ++c)
        {
            double v = x[static_cast<std::size_t>(i)][static_cast<std::size_t>(c)];
            for (int j = std::max(0, i - p); j < i; ++j)
                v -= l(i, j) * x[static_cast<std::size_t>(j)][static_cast<std::size_t>(c)];
            x[static_cast<std::size_t>(i)][static_cast<std::size_t>(c)] = v / l(i, i);
        }
    for (int i = unknowns - 1; i >= 0; --i)
        for (int c = 0; c < 3; ++c)
        {
            double v = x[static_cast<std::size_t>(i)][static_cast<std::size_t>(c)];
            for (int k = i + 1; k <= std::min(unknowns - 1, i + p); ++k)
                v -= l(k, i) * x[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)];
            x[static_cast<std::size_t>(i)][static_cast<std::size_t>(c)] = v / l(i, i);
        }
    for (int i = 0; i < unknowns; ++i)
        poles[static_cast<std::size_t>(i + 1)] = x[static_cast<std::size_t>(i)];
    return true;
}

// Marks every span (between distinct knots, interior list plus 0 and 1)
// where the fit strays more than the tolerance from the section.
void MarkStraySpans(const stSection& section, const std::vector<double>& U, int p, const std::vector<tPoint>& poles,
                    const std::vector<double>& breaks, double tolerance, std::vector<bool>& stray)
{
    constexpr int kChecks = 9;
    for (std::size_t s = 0; s + 1 < breaks.size(); ++s)
    {
        if (stray[s])
            continue;
        for (int k = 0; k < kChecks; ++k)
        {
            const double t = breaks[s] + (breaks[s + 1] - breaks[s]) * (k + 0.25) / kChecks;
            const tPoint fit = Evaluate(U, p, poles, t);
            const tPoint want = section.At(t);
            const double dx = fit[0] - want[0], dy = fit[1] - want[1], dz = fit[2] - want[2];
            if (!(dx * dx + dy * dy + dz * dz <= tolerance * tolerance))
            {
                stray[s] = true;
                break;
            }
        }
    }
}

// Inserts a knot unless one lies within kKnotMerge; a corner raises the
// multiplicity of a knot it meets to p.
void AddKnot(std::vector<stKnot>& knots, double value, int multiplicity)
{
    auto it = std::lower_bound(knots.begin(), knots.end(), value,
                               [](const stKnot& k, double v) { return k.value < v; });
    if (it != knots.end() && it->value - value <= kKnotMerge)
    {
        it->multiplicity = std::max(it->multiplicity, multiplicity);
        return;
    }
    if (it != knots.begin() && value - (it - 1)->value <= kKnotMerge)
    {
        (it - 1)->multiplicity = std::max((it - 1)->multiplicity, multiplicity);
        return;
    }
    knots.insert(it, stKnot{value, multiplicity});
}

// Same degree, multiplicities and knots (mapped onto [0, 1]).
bool SameKnots(const Geom_BSplineCurve& a, const Geom_BSplineCurve& b)
{
    if (a.Degree() != b.Degree() || a.NbKnots() != b.NbKnots())
        return false;
    const double a0 = a.FirstParameter(), a1 = a.LastParameter();
    const double b0 = b.FirstParameter(), b1 = b.LastParameter();
    for (int i = 1; i <= a.NbKnots(); ++i)
    {
        if (a.Multiplicity(i) != b.Multiplicity(i) ||
            std::fabs((a.Knot(i) - a0) / (a1 - a0) - (b.Knot(i) - b0) / (b1 - b0)) > kKnotMerge)
            return false;
    }
    return true;
}

} // namespace

bool MakeLoftSectionsCompatible(std::vector<Handle(Geom_BSplineCurve)>& curves, double tolerance)
{
    if (curves.size() < 2 || !(tolerance > 0.0))
        return false;
    int p = 1;
    for (const Handle(Geom_BSplineCurve)& curve : curves)
    {
        if (curve.IsNull() || curve->IsRational() || curve->IsPeriodic())
            return false;
        p = std::max(p, curve->Degree());
    }
    if (p > 25)
        return false;

    std::vector<stSection> sections;
    std::vector<std::vector<stKnot>> own;
    bool compatible = true;
    for (const Handle(Geom_BSplineCurve)& curve : curves)
    {
        Handle(Geom_BSplineCurve) copy = Handle(Geom_BSplineCurve)::DownCast(curve->Copy());
        if (copy.IsNull())
            return false;
        if (copy->Degree() < p)
            copy->IncreaseDegree(p);
        const double first = copy->FirstParameter(), last = copy->LastParameter();
        if (!(last > first))
            return false;
        sections.push_back({copy, first, last});
        own.push_back(InteriorKnots(*copy));
        compatible = compatible && SameKnots(*sections.front().curve, *copy);
    }
    if (compatible)
        return false;

    // What an exact merge would make: every distinct knot of every section.
    std::vector<stKnot> merged;
    for (const std::vector<stKnot>& knots : own)
        for (const stKnot& k : knots)
            AddKnot(merged, k.value, k.multiplicity);

    // The start: as many knots as the richest section, where the sections
    // have theirs (their average when all have as many, otherwise spread
    // over the merged knots), and every section's corners.
    std::size_t richest = 0;
    bool sameCounts = true;
    for (const std::vector<stKnot>& knots : own)
    {
        sameCounts = sameCounts && knots.size() == own.front().size();
        richest = std::max(richest, knots.size());
    }
    std::vector<stKnot> knots;
    for (std::size_t i = 0; i < richest; ++i)
    {
        double value = 0.0;
        if (sameCounts)
        {
            for (const std::vector<stKnot>& k : own)
                value += k[i].value;
            value /= static_cast<double>(own.size());
        }
        else
        {
            value = merged[(i + 1) * merged.size() / (richest + 1)].value;
        }
        AddKnot(knots, value, 1);
    }
    for (const std::vector<stKnot>& k : own)
        for (const stKnot& knot : k)
            if (knot.multiplicity >= p)
                AddKnot(knots, knot.value, p);

    std::vector<std::vector<tPoint>> fitted(sections.size());
    for (int round = 0; round <= kMaxRefinements; ++round)
    {
        if (knots.size() > merged.size())
            return false;
        const std::vector<double> U = FlatKnots(knots, p);
        std::vector<double> breaks{0.0};
        for (const stKnot& k : knots)
            breaks.push_back(k.value);
        breaks.push_back(1.0);
        std::vector<bool> stray(breaks.size() - 1, false);
        for (std::size_t i = 0; i < sections.size(); ++i)
        {
            if (!FitSection(sections[i], U, p, fitted[i]))
                return false;
            MarkStraySpans(sections[i], U, p, fitted[i], breaks, tolerance, stray);
        }
        if (std::find(stray.begin(), stray.end(), true) == stray.end())
        {
            TColStd_Array1OfReal values(1, static_cast<int>(knots.size()) + 2);
            TColStd_Array1OfInteger multiplicities(1, static_cast<int>(knots.size()) + 2);
            values.SetValue(1, 0.0);
            multiplicities.SetValue(1, p + 1);
            for (std::size_t k = 0; k < knots.size(); ++k)
            {
                values.SetValue(static_cast<int>(k) + 2, knots[k].value);
                multiplicities.SetValue(static_cast<int>(k) + 2, knots[k].multiplicity);
            }
            values.SetValue(static_cast<int>(knots.size()) + 2, 1.0);
            multiplicities.SetValue(static_cast<int>(knots.size()) + 2, p + 1);
            std::vector<Handle(Geom_BSplineCurve)> result;
            for (const std::vector<tPoint>& poles : fitted)
            {
                TColgp_Array1OfPnt points(1, static_cast<int>(poles.size()));
                for (std::size_t i = 0; i < poles.size(); ++i)
                    points.SetValue(static_cast<int>(i) + 1, gp_Pnt(poles[i][0], poles[i][1], poles[i][2]));
                result.push_back(new Geom_BSplineCurve(points, values, multiplicities, p));
            }
            curves = result;
            return true;
        }
        for (std::size_t s = 0; s < stray.size(); ++s)
            if (stray[s])
                AddKnot(knots, 0.5 * (breaks[s] + breaks[s + 1]), 1);
    }
    return false;
}
