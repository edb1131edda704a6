#include "platform/host/loft_skinning.h"

#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColStd_Array2OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <TColgp_Array2OfPnt.hxx>

#include <algorithm>
#include <array>
#include <cmath>

namespace
{

// Knots closer than this (on [0, 1]) are one knot.
constexpr double kKnotMerge = 1e-10;

using tHomogeneous = std::array<double, 4>; // w x, w y, w z, w

// The distinct knots and their multiplicities of a full knot vector.
void SplitFlat(const std::vector<double>& flat, std::vector<double>& knots, std::vector<int>& mults)
{
    for (double k : flat)
    {
        if (!knots.empty() && k - knots.back() <= kKnotMerge)
            ++mults.back();
        else
        {
            knots.push_back(k);
            mults.push_back(1);
        }
    }
}

// Values (derivative 0) or first derivatives (1) of all basis functions of
// degree q on the knot vector U at t.
std::vector<double> Basis(const std::vector<double>& U, int q, double t, int derivative)
{
    const int spans = static_cast<int>(U.size()) - 1;
    std::vector<double> N(static_cast<std::size_t>(spans), 0.0);
    // The span holding t; the last non-empty one for the end of the domain.
    int span = -1;
    for (int i = 0; i < spans; ++i)
        if (U[static_cast<std::size_t>(i)] < U[static_cast<std::size_t>(i) + 1] &&
            (U[static_cast<std::size_t>(i)] <= t || span < 0))
            span = i;
    for (int i = 0; i < spans; ++i)
        if (U[static_cast<std::size_t>(i)] <= t && t < U[static_cast<std::size_t>(i) + 1])
            span = i;
    if (span < 0)
        return N;
    N[static_cast<std::size_t>(span)] = 1.0;
    auto ratio = [](double a, double b) { return b > 0.0 ? a / b : 0.0; };
    const int top = derivative == 0 ? q : q - 1;
    for (int d = 1; d <= top; ++d)
        for (int i = 0; i + d < spans; ++i)
        {
            const double u0 = U[static_cast<std::size_t>(i)], u1 = U[static_cast<std::size_t>(i + d)];
            const double u2 = U[static_cast<std::size_t>(i + 1)], u3 = U[static_cast<std::size_t>(i + d + 1)];
            N[static_cast<std::size_t>(i)] = ratio(t - u0, u1 - u0) * N[static_cast<std::size_t>(i)] +
                                             ratio(u3 - t, u3 - u2) * N[static_cast<std::size_t>(i + 1)];
        }
    if (derivative == 0)
        return N;
    std::vector<double> D(static_cast<std::size_t>(spans), 0.0);
    for (int i = 0; i + q < spans; ++i)
    {
        const double a = U[static_cast<std::size_t>(i + q)] - U[static_cast<std::size_t>(i)];
        const double b = U[static_cast<std::size_t>(i + q + 1)] - U[static_cast<std::size_t>(i + 1)];
        D[static_cast<std::size_t>(i)] = q * (ratio(N[static_cast<std::size_t>(i)], a) -
                                              ratio(N[static_cast<std::size_t>(i + 1)], b));
    }
    return D;
}

// Solves A X = B in place (A: n x n by rows, B: n rows of m values) by
// Gaussian elimination with partial pivoting. False when A is singular.
bool Solve(std::vector<double>& A, std::vector<double>& B, int n, int m)
{
    auto a = [&](int r, int c) -> double& { return A[static_cast<std::size_t>(r * n + c)]; };
    auto b = [&](int r, int c) -> double& { return B[static_cast<std::size_t>(r * m + c)]; };
    double scale = 0.0;
    for (double v : A)
        scale = std::max(scale, std::fabs(v));
    for (int col = 0; col < n; ++col)
    {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::fabs(a(r, col)) > std::fabs(a(pivot, col)))
                pivot = r;
        if (!(std::fabs(a(pivot, col)) > 1e-14 * scale))
            return false;
        if (pivot != col)
        {
            for (int c = 0; c < n; ++c)
                std::swap(a(pivot, c), a(col, c));
            for (int c = 0; c < m; ++c)
                std::swap(b(pivot, c), b(col, c));
        }
        for (int r = col + 1; r < n; ++r)
        {
            const double f = a(r, col) / a(col, col);
            if (f == 0.0)
                continue;
            for (int c = col; c < n; ++c)
                a(r, c) -= f * a(col, c);
            for (int c = 0; c < m; ++c)
                b(r, c) -= f * b(col, c);
        }
    }
    for (int r = n - 1; r >= 0; --r)
        for (int c = 0; c < m; ++c)
        {
            double v = b(r, c);
            for (int k = r + 1; k < n; ++k)
                v -= a(r, k) * b(k, c);
            b(r, c) = v / a(r, r);
        }
    return true;
}

// The normal of the plane the points lie in (Newell's sum over them as a
// closed polygon), zero for points on a line.
gp_Vec PlaneNormal(const Geom_BSplineCurve& curve)
{
    gp_Vec n(0.0, 0.0, 0.0);
    const int count = curve.NbPoles();
    for (int i = 1; i <= count; ++i)
    {
        const gp_Pnt a = curve.Pole(i), b = curve.Pole(i % count + 1);
        n += gp_Vec((a.Y() - b.Y()) * (a.Z() + b.Z()), (a.Z() - b.Z()) * (a.X() + b.X()),
                    (a.X() - b.X()) * (a.Y() + b.Y()));
    }
    return n;
}

gp_Pnt Centroid(const Geom_BSplineCurve& curve)
{
    gp_XYZ sum(0.0, 0.0, 0.0);
    for (int i = 1; i <= curve.NbPoles(); ++i)
        sum += curve.Pole(i).XYZ();
    return gp_Pnt(sum / curve.NbPoles());
}

// The derivative across the sections at an end section: `from` is the end
// section's poles, `to` its neighbour's, dv the parameter step between them.
// A normal end keeps of each step only its part along the plane's normal,
// which points the way the step goes whichever way the normal was found.
std::vector<tHomogeneous> EndDerivative(LoftEnd condition, const Geom_BSplineCurve& end,
                                        const std::vector<tHomogeneous>& from, const std::vector<tHomogeneous>& to,
                                        double dv, bool leaving)
{
    gp_Vec normal = PlaneNormal(end);
    const double size = Centroid(end).Distance(end.Pole(1)) + Centroid(end).Distance(end.Pole(end.NbPoles()));
    const bool planar = normal.Magnitude() > 1e-12 * (1.0 + size * size);
    if (planar)
        normal.Normalize();
    std::vector<tHomogeneous> out(from.size());
    for (std::size_t j = 0; j < from.size(); ++j)
    {
        tHomogeneous d;
        for (int c = 0; c < 4; ++c)
            d[static_cast<std::size_t>(c)] = (to[j][static_cast<std::size_t>(c)] - from[j][static_cast<std::size_t>(c)]) / dv;
        if (condition == LoftEnd::Normal && planar)
        {
            const double along = d[0] * normal.X() + d[1] * normal.Y() + d[2] * normal.Z();
            d[0] = along * normal.X();
            d[1] = along * normal.Y();
            d[2] = along * normal.Z();
        }
        // Entering the last section the step runs from the neighbour to it.
        if (!leaving)
            for (double& c : d)
                c = -c;
        out[j] = d;
    }
    return out;
}

} // namespace

bool IsLoftEnd(std::int32_t value)
{
    return value == static_cast<std::int32_t>(LoftEnd::Straight) ||
           value == static_cast<std::int32_t>(LoftEnd::Normal) || value == static_cast<std::int32_t>(LoftEnd::Free);
}

bool MergeSectionKnots(std::vector<Handle(Geom_BSplineCurve)>& curves)
{
    if (curves.size() < 2)
        return false;
    int p = 1;
    std::vector<Handle(Geom_BSplineCurve)> unit;
    for (const Handle(Geom_BSplineCurve)& curve : curves)
    {
        if (curve.IsNull())
            return false;
        Handle(Geom_BSplineCurve) copy = Handle(Geom_BSplineCurve)::DownCast(curve->Copy());
        if (copy->IsPeriodic())
            copy->SetNotPeriodic();
        const double a = copy->FirstParameter(), b = copy->LastParameter();
        if (!(b > a))
            return false;
        // Knots past the ends (as a periodic curve leaves them) go: the
        // ends become knots of full multiplicity.
        if (copy->Multiplicity(copy->FirstUKnotIndex()) <= copy->Degree() || copy->FirstUKnotIndex() != 1 ||
            copy->LastUKnotIndex() != copy->NbKnots())
            copy->Segment(a, b);
        TColStd_Array1OfReal knots(1, copy->NbKnots());
        copy->Knots(knots);
        for (int i = 1; i <= knots.Length(); ++i)
            knots.SetValue(i, i == knots.Length() ? 1.0 : (knots.Value(i) - a) / (b - a));
        copy->SetKnots(knots);
        p = std::max(p, copy->Degree());
        unit.push_back(copy);
    }
    std::vector<std::pair<double, int>> all;
    for (Handle(Geom_BSplineCurve)& curve : unit)
    {
        if (curve->Degree() < p)
            curve->IncreaseDegree(p);
        for (int i = 1; i <= curve->NbKnots(); ++i)
            all.emplace_back(curve->Knot(i), curve->Multiplicity(i));
    }
    std::sort(all.begin(), all.end());
    std::vector<std::pair<double, int>> merged;
    for (const auto& k : all)
        if (!merged.empty() && k.first - merged.back().first <= kKnotMerge)
            merged.back().second = std::max(merged.back().second, k.second);
        else
            merged.push_back(k);
    TColStd_Array1OfReal knots(1, static_cast<int>(merged.size()));
    TColStd_Array1OfInteger mults(1, static_cast<int>(merged.size()));
    for (std::size_t i = 0; i < merged.size(); ++i)
    {
        knots.SetValue(static_cast<int>(i) + 1, merged[i].first);
        mults.SetValue(static_cast<int>(i) + 1, std::min(merged[i].second, p));
    }
    for (Handle(Geom_BSplineCurve)& curve : unit)
        curve->InsertKnots(knots, mults, kKnotMerge, Standard_False);
    for (const Handle(Geom_BSplineCurve)& curve : unit)
        if (curve->NbPoles() != unit.front()->NbPoles() || curve->NbKnots() != unit.front()->NbKnots())
            return false;
    curves = unit;
    return true;
}

Handle(Geom_BSplineSurface) SkinSections(const std::vector<Handle(Geom_BSplineCurve)>& curves, LoftEnd start,
                                         LoftEnd end)
{
    const int k = static_cast<int>(curves.size());
    if (k < 2)
        return nullptr;
    const Geom_BSplineCurve& first = *curves.front();
    const int n = first.NbPoles();
    bool rational = false;
    for (const Handle(Geom_BSplineCurve)& c : curves)
    {
        if (c.IsNull() || c->IsPeriodic() || c->Degree() != first.Degree() || c->NbPoles() != n ||
            c->NbKnots() != first.NbKnots())
            return nullptr;
        for (int i = 1; i <= first.NbKnots(); ++i)
            if (c->Multiplicity(i) != first.Multiplicity(i) ||
                std::fabs(c->Knot(i) - first.Knot(i)) > 1e-9 * (1.0 + std::fabs(first.Knot(i))))
                return nullptr;
        rational = rational || c->IsRational();
    }

    // Homogeneous poles of every section.
    std::vector<std::vector<tHomogeneous>> Q(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i)
        for (int j = 1; j <= n; ++j)
        {
            const gp_Pnt p = curves[static_cast<std::size_t>(i)]->Pole(j);
            const double w = curves[static_cast<std::size_t>(i)]->Weight(j);
            Q[static_cast<std::size_t>(i)].push_back({w * p.X(), w * p.Y(), w * p.Z(), w});
        }
    // Where the surface reaches each section: the averaged chord lengths.
    std::vector<double> v(static_cast<std::size_t>(k), 0.0);
    for (int i = 1; i < k; ++i)
    {
        double step = 0.0;
        for (int j = 1; j <= n; ++j)
            step += curves[static_cast<std::size_t>(i)]->Pole(j).Distance(curves[static_cast<std::size_t>(i - 1)]->Pole(j));
        if (!(step > 0.0))
            return nullptr; // two sections in one place
        v[static_cast<std::size_t>(i)] = v[static_cast<std::size_t>(i - 1)] + step / n;
    }
    const double total = v.back();
    for (double& value : v)
        value /= total;
    v.back() = 1.0;

    const bool startDerivative = start != LoftEnd::Free, endDerivative = end != LoftEnd::Free;
    const int count = k + (startDerivative ? 1 : 0) + (endDerivative ? 1 : 0);
    const int q = std::min(3, count - 1);
    // The parameters with an end repeated for its derivative; knots by
    // averaging them.
    std::vector<double> t;
    t.push_back(0.0);
    if (startDerivative)
        t.push_back(0.0);
    for (int i = 1; i + 1 < k; ++i)
        t.push_back(v[static_cast<std::size_t>(i)]);
    if (endDerivative)
        t.push_back(1.0);
    t.push_back(1.0);
    std::vector<double> U(static_cast<std::size_t>(q + 1), 0.0);
    for (int j = 1; j + q < count; ++j)
    {
        double sum = 0.0;
        for (int i = j; i < j + q; ++i)
            sum += t[static_cast<std::size_t>(i)];
        U.push_back(sum / q);
    }
    U.insert(U.end(), static_cast<std::size_t>(q + 1), 1.0);

    const int columns = 4 * n;
    std::vector<double> A(static_cast<std::size_t>(count * count), 0.0), B(static_cast<std::size_t>(count * columns), 0.0);
    int row = 0;
    auto addRow = [&](double at, int derivative, const std::vector<tHomogeneous>& values) {
        const std::vector<double> basis = Basis(U, q, at, derivative);
        for (int c = 0; c < count; ++c)
            A[static_cast<std::size_t>(row * count + c)] = basis[static_cast<std::size_t>(c)];
        for (int j = 0; j < n; ++j)
            for (int c = 0; c < 4; ++c)
                B[static_cast<std::size_t>(row * columns + 4 * j + c)] = values[static_cast<std::size_t>(j)][static_cast<std::size_t>(c)];
        ++row;
    };
    for (int i = 0; i < k; ++i)
        addRow(v[static_cast<std::size_t>(i)], 0, Q[static_cast<std::size_t>(i)]);
    if (startDerivative)
        addRow(0.0, 1, EndDerivative(start, *curves[0], Q[0], Q[1], v[1] - v[0], true));
    if (endDerivative)
        addRow(1.0, 1,
               EndDerivative(end, *curves[static_cast<std::size_t>(k - 1)], Q[static_cast<std::size_t>(k - 1)],
                             Q[static_cast<std::size_t>(k - 2)],
                             v[static_cast<std::size_t>(k - 1)] - v[static_cast<std::size_t>(k - 2)], false));
    if (!Solve(A, B, count, columns))
        return nullptr;

    TColgp_Array2OfPnt poles(1, n, 1, count);
    TColStd_Array2OfReal weights(1, n, 1, count);
    for (int r = 0; r < count; ++r)
        for (int j = 0; j < n; ++j)
        {
            const double* h = &B[static_cast<std::size_t>(r * columns + 4 * j)];
            if (!(h[3] > 0.0) || !std::isfinite(h[3]))
                return nullptr;
            poles.SetValue(j + 1, r + 1, gp_Pnt(h[0] / h[3], h[1] / h[3], h[2] / h[3]));
            weights.SetValue(j + 1, r + 1, h[3]);
        }
    TColStd_Array1OfReal uKnots(1, first.NbKnots());
    TColStd_Array1OfInteger uMults(1, first.NbKnots());
    first.Knots(uKnots);
    first.Multiplicities(uMults);
    std::vector<double> vKnots;
    std::vector<int> vMults;
    SplitFlat(U, vKnots, vMults);
    TColStd_Array1OfReal vk(1, static_cast<int>(vKnots.size()));
    TColStd_Array1OfInteger vm(1, static_cast<int>(vKnots.size()));
    for (std::size_t i = 0; i < vKnots.size(); ++i)
    {
        vk.SetValue(static_cast<int>(i) + 1, vKnots[i]);
        vm.SetValue(static_cast<int>(i) + 1, vMults[i]);
    }
    if (rational)
        return new Geom_BSplineSurface(poles, weights, uKnots, vk, uMults, vm, first.Degree(), q);
    return new Geom_BSplineSurface(poles, uKnots, vk, uMults, vm, first.Degree(), q);
}
