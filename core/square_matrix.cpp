#include "core/square_matrix.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

namespace
{

std::unique_ptr<double[]> AllocateZeroed(std::size_t count)
{
    std::unique_ptr<double[]> values(new (std::nothrow) double[count]);
    if (values)
        for (std::size_t i = 0; i < count; ++i)
            values[i] = 0.0;
    return values;
}

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

cSquareMatrix::cSquareMatrix(std::uint32_t n)
{
    Resize(n);
}

cSquareMatrix::cSquareMatrix(const cSquareMatrix& other)
{
    *this = other;
}

cSquareMatrix& cSquareMatrix::operator=(const cSquareMatrix& other)
{
    if (this == &other)
        return *this;
    if (!Resize(other.m_n))
        return *this;
    const std::size_t count = std::size_t(m_n) * m_n;
    for (std::size_t i = 0; i < count; ++i)
        m_values[i] = other.m_values[i];
    return *this;
}

bool cSquareMatrix::Resize(std::uint32_t n)
{
    const std::size_t count = std::size_t(n) * n;
    if (n != m_n || (count > 0 && !m_values))
    {
        m_values.reset();
        m_n = n;
        if (count < 1)
            return true;
        m_values = AllocateZeroed(count);
        return m_values != nullptr;
    }
    for (std::size_t i = 0; i < count; ++i)
        m_values[i] = 0.0;
    return true;
}

bool cSquareMatrix::LUDecompose(cSquareMatrix& lu, int& sign, std::uint32_t* permutation,
                                double tolerance) const
{
    const std::uint32_t n = m_n;
    lu = *this;
    if (!lu.IsAllocated() || lu.m_n != n || n == 0)
        return false;
    auto scale = Scratch<double>(n);
    if (!scale)
        return false;
    sign = 1;
    for (std::uint32_t i = 0; i < n; ++i)
    {
        double largest = 0.0;
        for (std::uint32_t j = 0; j < n; ++j)
            largest = std::max(largest, std::fabs(lu(i, j)));
        if (largest < tolerance || largest == 0.0)
            return false;
        scale[i] = 1.0 / largest;
    }
    for (std::uint32_t j = 0; j < n; ++j)
    {
        for (std::uint32_t i = 0; i < j; ++i)
        {
            double sum = lu(i, j);
            for (std::uint32_t k = 0; k < i; ++k)
                sum -= lu(i, k) * lu(k, j);
            lu(i, j) = sum;
        }
        double best = 0.0;
        std::uint32_t pivotRow = j;
        for (std::uint32_t i = j; i < n; ++i)
        {
            double sum = lu(i, j);
            for (std::uint32_t k = 0; k < j; ++k)
                sum -= lu(i, k) * lu(k, j);
            lu(i, j) = sum;
            const double candidate = scale[i] * std::fabs(sum);
            if (candidate >= best)
            {
                best = candidate;
                pivotRow = i;
            }
        }
        if (pivotRow != j)
        {
            for (std::uint32_t k = 0; k < n; ++k)
                std::swap(lu(pivotRow, k), lu(j, k));
            sign = -sign;
            scale[pivotRow] = scale[j];
        }
        permutation[j] = pivotRow;
        const double pivot = lu(j, j);
        if (std::fabs(pivot) < tolerance || pivot == 0.0)
            return false;
        if (j + 1 != n)
            for (std::uint32_t i = j + 1; i < n; ++i)
                lu(i, j) /= pivot;
    }
    return true;
}

void cSquareMatrix::LUBackSubstitute(const std::uint32_t* permutation, double* b) const
{
    const std::uint32_t n = m_n;
    std::int64_t firstNonZero = -1;
    for (std::uint32_t i = 0; i < n; ++i)
    {
        const std::uint32_t p = permutation[i];
        double sum = b[p];
        b[p] = b[i];
        if (firstNonZero >= 0)
        {
            for (std::uint32_t j = static_cast<std::uint32_t>(firstNonZero); j < i; ++j)
                sum -= (*this)(i, j) * b[j];
        }
        else if (sum != 0.0)
        {
            firstNonZero = i;
        }
        b[i] = sum;
    }
    for (std::uint32_t ii = n; ii-- > 0;)
    {
        double sum = b[ii];
        for (std::uint32_t j = ii + 1; j < n; ++j)
            sum -= (*this)(ii, j) * b[j];
        b[ii] = sum / (*this)(ii, ii);
    }
}

cDoubleVector cSquareMatrix::MultiplyVector(const cDoubleVector& v) const
{
    cDoubleVector result(m_n);
    if (result.GetCount() != m_n || v.GetCount() < m_n)
        return cDoubleVector(0);
    for (std::uint32_t i = 0; i < m_n; ++i)
    {
        double sum = 0.0;
        for (std::uint32_t j = 0; j < m_n; ++j)
            sum += (*this)(i, j) * v[j];
        result[i] = sum;
    }
    return result;
}

double cSquareMatrix::ColumnMaxAbs(std::uint32_t j) const
{
    double largest = 0.0;
    if (!m_values || j >= m_n)
        return 0.0;
    for (std::uint32_t i = 0; i < m_n; ++i)
        largest = std::max(largest, std::fabs((*this)(i, j)));
    return largest;
}

namespace
{

// result(i, j) = value(i, j) for every element, through a scratch matrix so
// that result may be an operand.
template <class Value> bool ElementWise(std::uint32_t n, cSquareMatrix& result, Value value)
{
    cSquareMatrix out(n);
    if (!out.IsAllocated())
        return false;
    for (std::uint32_t i = 0; i < n; ++i)
        for (std::uint32_t j = 0; j < n; ++j)
            out(i, j) = value(i, j);
    result = out;
    return result.IsAllocated() && result.Dimension() == n;
}

} // namespace

bool cSquareMatrix::Add(const cSquareMatrix& other, cSquareMatrix& result) const
{
    if (other.m_n != m_n)
        return false;
    return ElementWise(m_n, result,
                       [&](std::uint32_t i, std::uint32_t j) { return (*this)(i, j) + other(i, j); });
}

bool cSquareMatrix::Subtract(const cSquareMatrix& other, cSquareMatrix& result) const
{
    if (other.m_n != m_n)
        return false;
    return ElementWise(m_n, result,
                       [&](std::uint32_t i, std::uint32_t j) { return (*this)(i, j) - other(i, j); });
}

bool cSquareMatrix::Scale(double factor, cSquareMatrix& result) const
{
    return ElementWise(m_n, result, [&](std::uint32_t i, std::uint32_t j) { return (*this)(i, j) * factor; });
}

bool cSquareMatrix::DivideByScalar(double divisor, cSquareMatrix& result) const
{
    return ElementWise(m_n, result,
                       [&](std::uint32_t i, std::uint32_t j) { return (*this)(i, j) / divisor; });
}

double cSquareMatrix::FrobeniusNorm() const
{
    double sum = 0.0;
    const std::size_t count = std::size_t(m_n) * m_n;
    for (std::size_t i = 0; m_values && i < count; ++i)
        sum += m_values[i] * m_values[i];
    return std::sqrt(sum);
}

bool cSquareMatrix::Invert(cSquareMatrix& inverse, double tolerance) const
{
    const std::uint32_t n = m_n;
    cSquareMatrix lu;
    auto permutation = Scratch<std::uint32_t>(n);
    auto column = Scratch<double>(n);
    cSquareMatrix out(n);
    if (!permutation || !column || !out.IsAllocated())
        return false;
    int sign = 1;
    if (!LUDecompose(lu, sign, permutation.get(), tolerance))
        return false;
    for (std::uint32_t j = 0; j < n; ++j)
    {
        for (std::uint32_t i = 0; i < n; ++i)
            column[i] = i == j ? 1.0 : 0.0;
        lu.LUBackSubstitute(permutation.get(), column.get());
        for (std::uint32_t i = 0; i < n; ++i)
            out(i, j) = column[i];
    }
    inverse = out;
    return inverse.IsAllocated() && inverse.Dimension() == n;
}
