// Square matrices of doubles with their LU decomposition and element-wise
// operations: the numeric kit's matrix, shared by the fitters and the scan
// frame of the vertex grid. Every routine reports failure by false and never
// throws.
#pragma once

#include "core/double_vector.h"

#include <cstdint>
#include <memory>

// An N x N matrix of doubles, row-major: element (i, j) at i * N + j.
class cSquareMatrix
{
public:
    cSquareMatrix() = default;
    explicit cSquareMatrix(std::uint32_t n);
    cSquareMatrix(const cSquareMatrix& other);
    cSquareMatrix& operator=(const cSquareMatrix& other);

    // Reallocates and zero-fills when the dimension changes (0 frees the
    // array), zero-fills in place otherwise; false only when allocation fails.
    bool Resize(std::uint32_t n);

    std::uint32_t Dimension() const { return m_n; }
    // False when a non-empty dimension was asked for but not allocated.
    bool IsAllocated() const { return m_n == 0 || m_values != nullptr; }

    double& operator()(std::uint32_t i, std::uint32_t j) { return m_values[std::size_t(i) * m_n + j]; }
    double operator()(std::uint32_t i, std::uint32_t j) const { return m_values[std::size_t(i) * m_n + j]; }

    // Crout decomposition with implicit scaled partial pivoting into lu.
    // permutation must hold Dimension() entries; it receives the pivot row of
    // every column. sign starts at +1 and flips with every row swap. Fails on
    // a row whose largest magnitude, or a pivot whose magnitude, is below
    // tolerance.
    bool LUDecompose(cSquareMatrix& lu, int& sign, std::uint32_t* permutation, double tolerance) const;

    // Solves in place on b with this matrix holding an LU decomposition.
    void LUBackSubstitute(const std::uint32_t* permutation, double* b) const;

    // A * v as a new vector (empty when allocation fails).
    cDoubleVector MultiplyVector(const cDoubleVector& v) const;

    // The largest |A(i, j)| of column j; 0.0 for an empty matrix.
    double ColumnMaxAbs(std::uint32_t j) const;

    // Element-wise sum, difference, multiple and quotient; result receives
    // Dimension() x Dimension() values and may be this matrix or other. False
    // when the dimensions differ or memory runs out (result is then
    // unspecified).
    bool Add(const cSquareMatrix& other, cSquareMatrix& result) const;
    bool Subtract(const cSquareMatrix& other, cSquareMatrix& result) const;
    bool Scale(double factor, cSquareMatrix& result) const;
    bool DivideByScalar(double divisor, cSquareMatrix& result) const;
    // Square root of the sum of the squared elements.
    double FrobeniusNorm() const;
    // LUDecompose with the tolerance, then one back-substitution per unit
    // column. False when the decomposition fails or memory runs out.
    bool Invert(cSquareMatrix& inverse, double tolerance) const;

private:
    std::uint32_t m_n = 0;
    std::unique_ptr<double[]> m_values;
};
