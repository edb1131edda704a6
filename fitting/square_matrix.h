// Dense numeric kit shared by the fitters: square matrices of doubles, normal
// equations, LU and Gauss-Jordan solves, the symmetric eigen decomposition and
// the singular value decomposition. The systems are small (3 to 9 unknowns);
// every routine reports failure by false and never throws.
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

private:
    std::uint32_t m_n = 0;
    std::unique_ptr<double[]> m_values;
};

// Accumulates A = sum x x^T and b = sum w x from observation rows.
class cNormalEquations
{
public:
    explicit cNormalEquations(std::uint32_t n);

    std::uint32_t Dimension() const { return A.Dimension(); }
    bool IsAllocated() const { return A.IsAllocated() && (A.Dimension() == 0 || b.GetCount() == A.Dimension()); }

    // One observation: row x (Dimension() values) with target w.
    void AddRow(const double* x, double w);

    cSquareMatrix A;
    cDoubleVector b;
};

// Length of (a, b) without overflow; 0 when both are negligible.
double Hypot(double a, double b);

// Column-scaled LU solve of the normal equations; x receives the solution.
bool SolveNormalEquations(const cNormalEquations& system, cDoubleVector& x, double tolerance);

// Gauss-Jordan elimination of [A | b], pivoting on the first row whose entry
// exceeds the tolerance (not the largest).
bool SolveGaussJordan(const cNormalEquations& system, cDoubleVector& x, double tolerance);

// Eigen decomposition of a symmetric matrix: Householder tridiagonalisation
// and QL with implicit shifts. Column k of vectors is the eigenvector of
// values[k]; values are sorted in descending order.
bool EigenSymmetric(const cSquareMatrix& a, cSquareMatrix& vectors, cDoubleVector& values);

// Of the eigenvectors of a, the one that A maps closest to zero (smallest sum
// of absolute components of A v; ties keep the column of the smaller
// eigenvalue).
bool SmallestEigenvector(const cSquareMatrix& a, cDoubleVector& v);

// A = U diag(W) V^T by Householder bidiagonalisation and implicit-shift QR.
bool SVDDecompose(const cSquareMatrix& a, cSquareMatrix& u, cDoubleVector& w, cSquareMatrix& v);

// The minimum-norm least-squares solution of A x = b, in place on b;
// singular values below w_max * relativeTolerance are treated as zero.
bool SolveSVD(const cSquareMatrix& a, cDoubleVector& b, double relativeTolerance);
