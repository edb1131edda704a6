// Rational evaluation on top of the B-spline basis: the quotient rule that
// turns homogeneous derivatives into those of the rational map, curve
// evaluation, and ON_NurbsCurveData, the plain B-spline curve that surfaces
// of revolution use as their profile.
//
// Knot vectors are the full ones of nurbs_basis.h (cv_count + order knots);
// the domain is [knot[order - 1], knot[cv_count]]. A rational control point
// stores (w x, w y, w z, w): homogeneous coordinates with the weight last.
// Parameters outside the domain evaluate the end pieces' extension.
#pragma once

#include "platform/geometry/nurbs_basis.h"

#include <cstddef>
#include <vector>

// Largest order (and derivative count) the evaluators accept.
inline constexpr int ON_NURBS_MAX_ORDER = nurbs_basis::kMaxOrder;

// Knot vector check: order in [2, ON_NURBS_MAX_ORDER], cv_count >= order,
// finite non-decreasing knots, no knot of multiplicity above order, a
// non-empty domain.
bool ON_IsValidKnotVector(int order, int cv_count, const double* knot);

// Turns homogeneous derivatives into those of the rational map (the
// quotient rule). `v` holds der_count + 1 vectors of dim + 1 doubles (the
// weight's derivative last in each); on return the first dim doubles of each
// hold the Euclidean derivative. False when the weight is zero.
bool ON_RationalCurveQuotient(int dim, int der_count, double* v);

// The same for a two-parameter map: `v` holds the partials D^i_s D^j_t in the
// order (0,0), (1,0), (0,1), (2,0), (1,1), (0,2), ... up to total order
// der_count, each dim + 1 doubles.
bool ON_RationalSurfaceQuotient(int dim, int der_count, double* v);

// Point and derivatives of a curve: v receives der_count + 1 vectors of dim
// doubles (point, first derivative, ...). False for invalid data or a zero
// weight.
bool ON_EvaluateNurbsCurve(int dim, bool is_rat, int order, int cv_count, const double* knot, int cv_stride,
                           const double* cv, double t, int der_count, double* v);

// A B-spline curve as plain data: the profile of a surface of revolution,
// the sections of lofts, and the common form curves convert to.
class ON_NurbsCurveData
{
public:
    int dim = 3;
    bool is_rat = false;
    int order = 0;
    int cv_count = 0;
    std::vector<double> knot; // cv_count + order values
    std::vector<double> cv;   // cv_count * CVSize() values

    ON_NurbsCurveData() = default;
    ON_NurbsCurveData(int dimension, bool rational, int curve_order, int control_count);

    int CVSize() const { return is_rat ? dim + 1 : dim; }
    double* CV(int i) { return cv.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(CVSize()); }
    const double* CV(int i) const
    {
        return cv.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(CVSize());
    }
    // Sets the control point i from Euclidean coordinates and a weight
    // (stored as w x, w y, w z, w when rational; the weight is ignored else).
    void SetCV(int i, const double* point, double weight = 1.0);
    double Weight(int i) const { return is_rat ? CV(i)[dim] : 1.0; }

    bool IsValid() const;
    double DomainMin() const { return knot[static_cast<std::size_t>(order - 1)]; }
    double DomainMax() const { return knot[static_cast<std::size_t>(cv_count)]; }
    // v: der_count + 1 vectors of dim doubles.
    bool Evaluate(double t, int der_count, double* v) const;
    // Maps the domain linearly onto [t0, t1] (t0 < t1).
    bool SetDomain(double t0, double t1);
};
