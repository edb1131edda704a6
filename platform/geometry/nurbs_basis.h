// B-spline basis functions on a clamped or unclamped knot vector, shared by
// the NURBS curves and surfaces of the geometry library.
//
// Knot vectors here are the full ones of the textbook: a basis of `order`
// (degree + 1) over `cv_count` control points has cv_count + order knots,
// non-decreasing. Span index i means the knot interval [U[i], U[i+1]) with
// degree <= i < cv_count; the functions that are non-zero on it are
// N[i - degree] .. N[i].
#pragma once

namespace nurbs_basis
{

// Largest order the fixed-size scratch arrays of the helpers take.
inline constexpr int kMaxOrder = 16;

// The span that holds t, clamped to the first and last non-empty spans so
// that parameters outside the domain (and t equal to the last knot) are
// evaluated on the end spans. -1 for an unusable knot vector (no non-empty
// span between U[degree] and U[cv_count]).
int FindSpan(int degree, int cv_count, const double* knots, double t);

// The degree + 1 basis values N[span - degree + j](t), j = 0..degree.
void BasisFunctions(int span, double t, int degree, const double* knots, double* values);

// Basis values and their derivatives up to der_count (capped at degree):
// ders[k * (degree + 1) + j] = d^k/dt^k N[span - degree + j](t). Derivatives
// above the degree are written as zero. ders holds (der_count + 1) * (degree
// + 1) values.
void BasisFunctionDerivatives(int span, double t, int degree, int der_count, const double* knots, double* ders);

// Binomial coefficient for small n (n <= 2 * kMaxOrder).
double Binomial(int n, int k);

} // namespace nurbs_basis
