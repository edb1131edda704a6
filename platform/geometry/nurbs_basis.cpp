#include "platform/geometry/nurbs_basis.h"

#include <cmath>

namespace nurbs_basis
{

int FindSpan(int degree, int cv_count, const double* knots, double t)
{
    if (degree < 1 || cv_count <= degree || knots == nullptr)
        return -1;
    const int low_span = degree;
    const int high_span = cv_count - 1;
    // Empty spans at either end (repeated interior knots next to the clamp)
    // are skipped so the chosen span always has positive length.
    int first = low_span;
    while (first <= high_span && !(knots[first] < knots[first + 1]))
        ++first;
    int last = high_span;
    while (last >= first && !(knots[last] < knots[last + 1]))
        --last;
    if (first > last)
        return -1;
    if (!(t >= knots[first + 1]))
        return first;
    if (t >= knots[last])
        return last;
    int lo = first, hi = last + 1;
    // Invariant: knots[lo] <= t < knots[hi].
    while (hi - lo > 1)
    {
        const int mid = lo + (hi - lo) / 2;
        if (t < knots[mid])
            hi = mid;
        else
            lo = mid;
    }
    // Land on a non-empty span when t sits on a repeated knot.
    while (lo < last && !(knots[lo] < knots[lo + 1]))
        ++lo;
    return lo;
}

void BasisFunctions(int span, double t, int degree, const double* knots, double* values)
{
    double left[kMaxOrder];
    double right[kMaxOrder];
    values[0] = 1.0;
    for (int j = 1; j <= degree; ++j)
    {
        left[j] = t - knots[span + 1 - j];
        right[j] = knots[span + j] - t;
        double saved = 0.0;
        for (int r = 0; r < j; ++r)
        {
            const double den = right[r + 1] + left[j - r];
            const double temp = den != 0.0 ? values[r] / den : 0.0;
            values[r] = saved + right[r + 1] * temp;
            saved = left[j - r] * temp;
        }
        values[j] = saved;
    }
}

void BasisFunctionDerivatives(int span, double t, int degree, int der_count, const double* knots, double* ders)
{
    const int order = degree + 1;
    const int n = der_count < degree ? der_count : degree;
    double ndu[kMaxOrder][kMaxOrder];
    double left[kMaxOrder];
    double right[kMaxOrder];
    ndu[0][0] = 1.0;
    for (int j = 1; j <= degree; ++j)
    {
        left[j] = t - knots[span + 1 - j];
        right[j] = knots[span + j] - t;
        double saved = 0.0;
        for (int r = 0; r < j; ++r)
        {
            // Lower triangle: knot differences; upper: basis values.
            ndu[j][r] = right[r + 1] + left[j - r];
            const double temp = ndu[j][r] != 0.0 ? ndu[r][j - 1] / ndu[j][r] : 0.0;
            ndu[r][j] = saved + right[r + 1] * temp;
            saved = left[j - r] * temp;
        }
        ndu[j][j] = saved;
    }
    for (int j = 0; j <= degree; ++j)
        ders[j] = ndu[j][degree];

    double a[2][kMaxOrder];
    for (int r = 0; r <= degree; ++r)
    {
        int s1 = 0, s2 = 1;
        a[0][0] = 1.0;
        for (int k = 1; k <= n; ++k)
        {
            double d = 0.0;
            const int rk = r - k, pk = degree - k;
            if (r >= k)
            {
                a[s2][0] = ndu[pk + 1][rk] != 0.0 ? a[s1][0] / ndu[pk + 1][rk] : 0.0;
                d = a[s2][0] * ndu[rk][pk];
            }
            const int j1 = rk >= -1 ? 1 : -rk;
            const int j2 = (r - 1 <= pk) ? k - 1 : degree - r;
            for (int j = j1; j <= j2; ++j)
            {
                const double den = ndu[pk + 1][rk + j];
                a[s2][j] = den != 0.0 ? (a[s1][j] - a[s1][j - 1]) / den : 0.0;
                d += a[s2][j] * ndu[rk + j][pk];
            }
            if (r <= pk)
            {
                const double den = ndu[pk + 1][r];
                a[s2][k] = den != 0.0 ? -a[s1][k - 1] / den : 0.0;
                d += a[s2][k] * ndu[r][pk];
            }
            ders[k * order + r] = d;
            const int swap = s1;
            s1 = s2;
            s2 = swap;
        }
    }
    // Multiply through by degree! / (degree - k)!.
    double factor = degree;
    for (int k = 1; k <= n; ++k)
    {
        for (int j = 0; j <= degree; ++j)
            ders[k * order + j] *= factor;
        factor *= degree - k;
    }
    for (int k = n + 1; k <= der_count; ++k)
        for (int j = 0; j <= degree; ++j)
            ders[k * order + j] = 0.0;
}

double Binomial(int n, int k)
{
    if (k < 0 || k > n)
        return 0.0;
    double c = 1.0;
    for (int i = 1; i <= k; ++i)
        c = c * (n - k + i) / i;
    return std::round(c);
}

} // namespace nurbs_basis
