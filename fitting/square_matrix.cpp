#include "fitting/square_matrix.h"

#include <cfloat>
#include <cmath>
#include <new>
#include <utility>

namespace
{

// Scratch array for the routines below; null when allocation fails.
template <class T> std::unique_ptr<T[]> Scratch(std::size_t count)
{
    std::unique_ptr<T[]> values(new (std::nothrow) T[count == 0 ? 1 : count]);
    if (values)
        for (std::size_t i = 0; i < (count == 0 ? 1 : count); ++i)
            values[i] = T();
    return values;
}

} // namespace

cNormalEquations::cNormalEquations(std::uint32_t n) : A(n), b(n)
{
}

void cNormalEquations::AddRow(const double* x, double w)
{
    const std::uint32_t n = A.Dimension();
    for (std::uint32_t i = 0; i < n; ++i)
    {
        for (std::uint32_t j = 0; j < n; ++j)
            A(i, j) += x[i] * x[j];
        b[i] += w * x[i];
    }
}

double Hypot(double a, double b)
{
    const double absA = std::fabs(a);
    const double absB = std::fabs(b);
    if (absA > absB)
    {
        const double r = absB / absA;
        return absA * std::sqrt(1.0 + r * r);
    }
    if (absB <= DBL_EPSILON)
        return 0.0;
    const double r = absA / absB;
    return absB * std::sqrt(1.0 + r * r);
}

bool SolveNormalEquations(const cNormalEquations& system, cDoubleVector& x, double tolerance)
{
    const std::uint32_t n = system.Dimension();
    if (n == 0 || !system.IsAllocated())
        return false;
    cSquareMatrix scaled(system.A);
    auto inverseScale = Scratch<double>(n);
    auto permutation = Scratch<std::uint32_t>(n);
    auto rhs = Scratch<double>(n);
    if (!scaled.IsAllocated() || scaled.Dimension() != n || !inverseScale || !permutation || !rhs)
        return false;
    for (std::uint32_t j = 0; j < n; ++j)
    {
        const double s = scaled.ColumnMaxAbs(j);
        if (s <= DBL_EPSILON)
            return false;
        inverseScale[j] = 1.0 / s;
        for (std::uint32_t i = 0; i < n; ++i)
            scaled(i, j) *= inverseScale[j];
    }
    cSquareMatrix lu;
    int sign = 1;
    if (!scaled.LUDecompose(lu, sign, permutation.get(), tolerance))
        return false;
    for (std::uint32_t i = 0; i < n; ++i)
        rhs[i] = system.b[i];
    lu.LUBackSubstitute(permutation.get(), rhs.get());
    cDoubleVector solution(n);
    if (solution.GetCount() != n)
        return false;
    for (std::uint32_t j = 0; j < n; ++j)
    {
        solution[j] = rhs[j] * inverseScale[j];
        if (!std::isfinite(solution[j]))
            return false;
    }
    x = std::move(solution);
    return true;
}

bool SolveGaussJordan(const cNormalEquations& system, cDoubleVector& x, double tolerance)
{
    const std::uint32_t n = system.Dimension();
    if (n == 0 || !system.IsAllocated())
        return false;
    cSquareMatrix a(system.A);
    auto b = Scratch<double>(n);
    if (!a.IsAllocated() || a.Dimension() != n || !b)
        return false;
    for (std::uint32_t i = 0; i < n; ++i)
        b[i] = system.b[i];
    for (std::uint32_t col = 0; col < n; ++col)
    {
        std::uint32_t pivotRow = n;
        for (std::uint32_t r = col; r < n; ++r)
        {
            if (std::fabs(a(r, col)) > tolerance)
            {
                pivotRow = r;
                break;
            }
        }
        if (pivotRow == n)
            return false;
        if (pivotRow != col)
        {
            for (std::uint32_t k = 0; k < n; ++k)
                std::swap(a(pivotRow, k), a(col, k));
            std::swap(b[pivotRow], b[col]);
        }
        const double pivot = a(col, col);
        for (std::uint32_t r = 0; r < n; ++r)
        {
            if (r == col)
                continue;
            const double factor = -a(r, col) / pivot;
            if (factor == 0.0)
                continue;
            for (std::uint32_t k = 0; k < n; ++k)
                a(r, k) += factor * a(col, k);
            b[r] += factor * b[col];
        }
    }
    cDoubleVector solution(n);
    if (solution.GetCount() != n)
        return false;
    for (std::uint32_t i = 0; i < n; ++i)
    {
        if (std::fabs(a(i, i)) < tolerance)
            return false;
        solution[i] = b[i] / a(i, i);
        if (!std::isfinite(solution[i]))
            return false;
    }
    x = std::move(solution);
    return true;
}

namespace
{

// Householder reduction of the symmetric matrix z to tridiagonal form,
// working from the last row upwards; z receives the accumulated orthogonal
// transformation, d the diagonal and e the sub-diagonal (e[0] = 0).
void Tridiagonalise(cSquareMatrix& z, double* d, double* e)
{
    const std::uint32_t n = z.Dimension();
    for (std::uint32_t i = n - 1; i > 0; --i)
    {
        const std::uint32_t l = i - 1;
        double h = 0.0;
        if (l > 0)
        {
            double scale = 0.0;
            for (std::uint32_t k = 0; k <= l; ++k)
                scale += std::fabs(z(i, k));
            if (scale == 0.0)
            {
                e[i] = z(i, l);
            }
            else
            {
                for (std::uint32_t k = 0; k <= l; ++k)
                {
                    z(i, k) /= scale;
                    h += z(i, k) * z(i, k);
                }
                double f = z(i, l);
                double g = f >= 0.0 ? -std::sqrt(h) : std::sqrt(h);
                e[i] = scale * g;
                h -= f * g;
                z(i, l) = f - g;
                f = 0.0;
                for (std::uint32_t j = 0; j <= l; ++j)
                {
                    z(j, i) = z(i, j) / h;
                    g = 0.0;
                    for (std::uint32_t k = 0; k <= j; ++k)
                        g += z(j, k) * z(i, k);
                    for (std::uint32_t k = j + 1; k <= l; ++k)
                        g += z(k, j) * z(i, k);
                    e[j] = g / h;
                    f += e[j] * z(i, j);
                }
                const double hh = f / (h + h);
                for (std::uint32_t j = 0; j <= l; ++j)
                {
                    f = z(i, j);
                    g = e[j] - hh * f;
                    e[j] = g;
                    for (std::uint32_t k = 0; k <= j; ++k)
                        z(j, k) -= f * e[k] + g * z(i, k);
                }
            }
        }
        else
        {
            e[i] = z(i, l);
        }
        d[i] = h;
    }
    d[0] = 0.0;
    e[0] = 0.0;
    for (std::uint32_t i = 0; i < n; ++i)
    {
        if (d[i] != 0.0)
        {
            for (std::uint32_t j = 0; j < i; ++j)
            {
                double g = 0.0;
                for (std::uint32_t k = 0; k < i; ++k)
                    g += z(i, k) * z(k, j);
                for (std::uint32_t k = 0; k < i; ++k)
                    z(k, j) -= g * z(k, i);
            }
        }
        d[i] = z(i, i);
        z(i, i) = 1.0;
        for (std::uint32_t j = 0; j < i; ++j)
        {
            z(j, i) = 0.0;
            z(i, j) = 0.0;
        }
    }
}

// QL iteration with implicit shifts on the tridiagonal form (d, e), rotating
// the columns of z along. At most 30 iterations per eigenvalue.
bool DiagonaliseTridiagonal(cSquareMatrix& z, double* d, double* e)
{
    const std::uint32_t n = z.Dimension();
    for (std::uint32_t i = 1; i < n; ++i)
        e[i - 1] = e[i];
    e[n - 1] = 0.0;
    for (std::uint32_t l = 0; l < n; ++l)
    {
        int iterations = 0;
        std::uint32_t m;
        do
        {
            for (m = l; m + 1 < n; ++m)
                if (std::fabs(e[m]) < FLT_EPSILON)
                    break;
            if (m == l)
                break;
            if (iterations++ == 30)
                return false;
            double g = (d[l + 1] - d[l]) / (2.0 * e[l]);
            double r = Hypot(g, 1.0);
            g = d[m] - d[l] + e[l] / (g + (g >= 0.0 ? std::fabs(r) : -std::fabs(r)));
            double s = 1.0;
            double c = 1.0;
            double p = 0.0;
            bool endedEarly = false;
            for (std::uint32_t i = m; i-- > l;)
            {
                const double f = s * e[i];
                const double b = c * e[i];
                r = Hypot(f, g);
                e[i + 1] = r;
                if (r < DBL_EPSILON)
                {
                    d[i + 1] -= p;
                    e[m] = 0.0;
                    endedEarly = true;
                    break;
                }
                s = f / r;
                c = g / r;
                g = d[i + 1] - p;
                r = (d[i] - g) * s + 2.0 * c * b;
                p = s * r;
                d[i + 1] = g + p;
                g = c * r - b;
                for (std::uint32_t k = 0; k < n; ++k)
                {
                    const double t = z(k, i + 1);
                    z(k, i + 1) = s * z(k, i) + c * t;
                    z(k, i) = c * z(k, i) - s * t;
                }
            }
            if (endedEarly)
                continue;
            d[l] -= p;
            e[l] = g;
            e[m] = 0.0;
        } while (m != l);
    }
    return true;
}

} // namespace

bool EigenSymmetric(const cSquareMatrix& a, cSquareMatrix& vectors, cDoubleVector& values)
{
    const std::uint32_t n = a.Dimension();
    if (n == 0 || !a.IsAllocated())
        return false;
    cSquareMatrix z(a);
    auto d = Scratch<double>(n);
    auto e = Scratch<double>(n);
    if (!z.IsAllocated() || z.Dimension() != n || !d || !e)
        return false;
    if (n > 1)
    {
        Tridiagonalise(z, d.get(), e.get());
        if (!DiagonaliseTridiagonal(z, d.get(), e.get()))
            return false;
    }
    else
    {
        d[0] = z(0, 0);
        z(0, 0) = 1.0;
    }
    // Descending order by selection; equal values: the later one is taken.
    for (std::uint32_t i = 0; i + 1 < n; ++i)
    {
        std::uint32_t k = i;
        double largest = d[i];
        for (std::uint32_t j = i + 1; j < n; ++j)
        {
            if (d[j] >= largest)
            {
                k = j;
                largest = d[j];
            }
        }
        if (k != i)
        {
            std::swap(d[i], d[k]);
            for (std::uint32_t r = 0; r < n; ++r)
                std::swap(z(r, i), z(r, k));
        }
    }
    cDoubleVector result(n);
    if (result.GetCount() != n)
        return false;
    for (std::uint32_t i = 0; i < n; ++i)
        result[i] = d[i];
    vectors = z;
    if (vectors.Dimension() != n || !vectors.IsAllocated())
        return false;
    values = std::move(result);
    return true;
}

bool SmallestEigenvector(const cSquareMatrix& a, cDoubleVector& v)
{
    const std::uint32_t n = a.Dimension();
    cSquareMatrix vectors;
    cDoubleVector values;
    if (!EigenSymmetric(a, vectors, values))
        return false;
    cDoubleVector column(n);
    if (column.GetCount() != n)
        return false;
    std::uint32_t best = n - 1;
    double bestSum = 0.0;
    bool first = true;
    for (std::uint32_t c = n; c-- > 0;)
    {
        double sum = 0.0;
        for (std::uint32_t i = 0; i < n; ++i)
        {
            double row = 0.0;
            for (std::uint32_t j = 0; j < n; ++j)
                row += a(i, j) * vectors(j, c);
            sum += std::fabs(row);
        }
        if (first || sum < bestSum)
        {
            best = c;
            bestSum = sum;
            first = false;
        }
    }
    for (std::uint32_t i = 0; i < n; ++i)
        column[i] = vectors(i, best);
    v = std::move(column);
    return true;
}

bool SVDDecompose(const cSquareMatrix& a, cSquareMatrix& u, cDoubleVector& w, cSquareMatrix& v)
{
    const std::uint32_t n = a.Dimension();
    if (n == 0 || !a.IsAllocated())
        return false;
    cSquareMatrix uu(a);
    cSquareMatrix vv(n);
    cDoubleVector ww(n);
    auto rv1 = Scratch<double>(n);
    if (!uu.IsAllocated() || uu.Dimension() != n || !vv.IsAllocated() || ww.GetCount() != n || !rv1)
        return false;

    // Householder reduction to upper bidiagonal form: diagonal in ww,
    // super-diagonal in rv1.
    double g = 0.0;
    double scale = 0.0;
    double norm = 0.0;
    for (std::uint32_t i = 0; i < n; ++i)
    {
        const std::uint32_t l = i + 1;
        rv1[i] = scale * g;
        g = 0.0;
        scale = 0.0;
        double s = 0.0;
        for (std::uint32_t k = i; k < n; ++k)
            scale += std::fabs(uu(k, i));
        if (scale != 0.0)
        {
            for (std::uint32_t k = i; k < n; ++k)
            {
                uu(k, i) /= scale;
                s += uu(k, i) * uu(k, i);
            }
            const double f = uu(i, i);
            g = -std::copysign(std::sqrt(s), f);
            const double h = f * g - s;
            uu(i, i) = f - g;
            for (std::uint32_t j = l; j < n; ++j)
            {
                double sum = 0.0;
                for (std::uint32_t k = i; k < n; ++k)
                    sum += uu(k, i) * uu(k, j);
                const double factor = sum / h;
                for (std::uint32_t k = i; k < n; ++k)
                    uu(k, j) += factor * uu(k, i);
            }
            for (std::uint32_t k = i; k < n; ++k)
                uu(k, i) *= scale;
        }
        ww[i] = scale * g;
        g = 0.0;
        scale = 0.0;
        s = 0.0;
        if (i + 1 != n)
        {
            for (std::uint32_t k = l; k < n; ++k)
                scale += std::fabs(uu(i, k));
            if (scale != 0.0)
            {
                for (std::uint32_t k = l; k < n; ++k)
                {
                    uu(i, k) /= scale;
                    s += uu(i, k) * uu(i, k);
                }
                const double f = uu(i, l);
                g = -std::copysign(std::sqrt(s), f);
                const double h = f * g - s;
                uu(i, l) = f - g;
                for (std::uint32_t k = l; k < n; ++k)
                    rv1[k] = uu(i, k) / h;
                for (std::uint32_t j = l; j < n; ++j)
                {
                    double sum = 0.0;
                    for (std::uint32_t k = l; k < n; ++k)
                        sum += uu(j, k) * uu(i, k);
                    for (std::uint32_t k = l; k < n; ++k)
                        uu(j, k) += sum * rv1[k];
                }
                for (std::uint32_t k = l; k < n; ++k)
                    uu(i, k) *= scale;
            }
        }
        norm = std::max(norm, std::fabs(ww[i]) + std::fabs(rv1[i]));
    }

    // Right-hand transformations into vv.
    for (std::uint32_t i = n; i-- > 0;)
    {
        const std::uint32_t l = i + 1;
        if (i + 1 < n)
        {
            if (g != 0.0)
            {
                for (std::uint32_t j = l; j < n; ++j)
                    vv(j, i) = (uu(i, j) / uu(i, l)) / g;
                for (std::uint32_t j = l; j < n; ++j)
                {
                    double sum = 0.0;
                    for (std::uint32_t k = l; k < n; ++k)
                        sum += uu(i, k) * vv(k, j);
                    for (std::uint32_t k = l; k < n; ++k)
                        vv(k, j) += sum * vv(k, i);
                }
            }
            for (std::uint32_t j = l; j < n; ++j)
            {
                vv(i, j) = 0.0;
                vv(j, i) = 0.0;
            }
        }
        vv(i, i) = 1.0;
        g = rv1[i];
    }

    // Left-hand transformations in place in uu.
    for (std::uint32_t i = n; i-- > 0;)
    {
        const std::uint32_t l = i + 1;
        g = ww[i];
        for (std::uint32_t j = l; j < n; ++j)
            uu(i, j) = 0.0;
        if (g != 0.0)
        {
            g = 1.0 / g;
            for (std::uint32_t j = l; j < n; ++j)
            {
                double sum = 0.0;
                for (std::uint32_t k = l; k < n; ++k)
                    sum += uu(k, i) * uu(k, j);
                const double f = (sum / uu(i, i)) * g;
                for (std::uint32_t k = i; k < n; ++k)
                    uu(k, j) += f * uu(k, i);
            }
            for (std::uint32_t j = i; j < n; ++j)
                uu(j, i) *= g;
        }
        else
        {
            for (std::uint32_t j = i; j < n; ++j)
                uu(j, i) = 0.0;
        }
        uu(i, i) += 1.0;
    }

    // Diagonalisation of the bidiagonal form by implicit-shift QR.
    for (std::uint32_t k = n; k-- > 0;)
    {
        for (int iteration = 1;; ++iteration)
        {
            bool cancel = true;
            std::uint32_t l = k;
            for (;; --l)
            {
                if (l == 0 || std::fabs(rv1[l]) + norm == norm)
                {
                    cancel = false;
                    break;
                }
                if (std::fabs(ww[l - 1]) + norm == norm)
                    break;
            }
            if (cancel)
            {
                // rv1[l] is not negligible but ww[l - 1] is: chase it away.
                const std::uint32_t nm = l - 1;
                double c = 0.0;
                double s = 1.0;
                for (std::uint32_t i = l; i <= k; ++i)
                {
                    const double f = s * rv1[i];
                    rv1[i] = c * rv1[i];
                    if (std::fabs(f) + norm == norm)
                        break;
                    const double gg = ww[i];
                    const double h = Hypot(f, gg);
                    ww[i] = h;
                    if (h == 0.0)
                        return false;
                    c = gg / h;
                    s = -f / h;
                    for (std::uint32_t j = 0; j < n; ++j)
                    {
                        const double y = uu(j, nm);
                        const double z = uu(j, i);
                        uu(j, nm) = y * c + z * s;
                        uu(j, i) = z * c - y * s;
                    }
                }
            }
            double z = ww[k];
            if (l == k)
            {
                if (z < 0.0)
                {
                    ww[k] = -z;
                    for (std::uint32_t j = 0; j < n; ++j)
                        vv(j, k) = -vv(j, k);
                }
                break;
            }
            if (iteration > 30)
                return false;
            // Shift from the bottom 2 x 2 minor.
            double x = ww[l];
            const std::uint32_t nm = k - 1;
            double y = ww[nm];
            double gg = rv1[nm];
            double h = rv1[k];
            if (h == 0.0 || y == 0.0 || x == 0.0)
                return false;
            double f = ((y - z) * (y + z) + (gg - h) * (gg + h)) / (2.0 * h * y);
            gg = Hypot(f, 1.0);
            f = ((x - z) * (x + z) + h * ((y / (f + std::copysign(gg, f))) - h)) / x;
            double c = 1.0;
            double s = 1.0;
            for (std::uint32_t j = l; j <= nm; ++j)
            {
                const std::uint32_t i = j + 1;
                gg = rv1[i];
                y = ww[i];
                h = s * gg;
                gg = c * gg;
                z = Hypot(f, h);
                rv1[j] = z;
                if (z == 0.0)
                {
                    c = 1.0;
                    s = 0.0;
                }
                else
                {
                    c = f / z;
                    s = h / z;
                }
                f = x * c + gg * s;
                gg = gg * c - x * s;
                h = y * s;
                y *= c;
                for (std::uint32_t jj = 0; jj < n; ++jj)
                {
                    const double vx = vv(jj, j);
                    const double vz = vv(jj, i);
                    vv(jj, j) = vx * c + vz * s;
                    vv(jj, i) = vz * c - vx * s;
                }
                z = Hypot(f, h);
                ww[j] = z;
                if (z != 0.0)
                {
                    c = f / z;
                    s = h / z;
                }
                f = c * gg + s * y;
                x = c * y - s * gg;
                for (std::uint32_t jj = 0; jj < n; ++jj)
                {
                    const double uy = uu(jj, j);
                    const double uz = uu(jj, i);
                    uu(jj, j) = uy * c + uz * s;
                    uu(jj, i) = uz * c - uy * s;
                }
            }
            rv1[l] = 0.0;
            rv1[k] = f;
            ww[k] = x;
        }
    }
    u = uu;
    v = vv;
    w = std::move(ww);
    return u.Dimension() == n && v.Dimension() == n;
}

bool SolveSVD(const cSquareMatrix& a, cDoubleVector& b, double relativeTolerance)
{
    const std::uint32_t n = a.Dimension();
    if (n == 0 || b.GetCount() < n)
        return false;
    cSquareMatrix u;
    cSquareMatrix v;
    cDoubleVector w;
    if (!SVDDecompose(a, u, w, v))
        return false;
    double largest = 0.0;
    for (std::uint32_t i = 0; i < n; ++i)
        largest = std::max(largest, w[i]);
    if (largest == 0.0)
        return false;
    const double threshold = largest * relativeTolerance;
    auto projected = Scratch<double>(n);
    if (!projected)
        return false;
    for (std::uint32_t j = 0; j < n; ++j)
    {
        double sum = 0.0;
        if (w[j] >= threshold && w[j] != 0.0)
        {
            for (std::uint32_t i = 0; i < n; ++i)
                sum += u(i, j) * b[i];
            sum /= w[j];
        }
        projected[j] = sum;
    }
    for (std::uint32_t i = 0; i < n; ++i)
    {
        double sum = 0.0;
        for (std::uint32_t j = 0; j < n; ++j)
            sum += v(i, j) * projected[j];
        b[i] = sum;
    }
    return true;
}
