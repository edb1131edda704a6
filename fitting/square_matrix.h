// Dense numeric kit shared by the fitters, on the square matrices of
// core/square_matrix.h: normal equations, LU and Gauss-Jordan solves, the
// symmetric eigen decomposition and the singular value decomposition. The systems are small (3 to 9 unknowns);
// every routine reports failure by false and never throws.
#pragma once

#include "core/double_vector.h"
#include "core/square_matrix.h"

#include <cstdint>
#include <memory>

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
