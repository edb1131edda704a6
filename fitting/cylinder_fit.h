// Infinite cylinder (axis point, unit axis direction, radius) fitted to the
// active points: an algebraic quadric estimate refined geometrically, and
// the extent of the points along the axis for the finite shape.
#pragma once

#include "fitting/fit_container.h"

class cThreadPool;

#include <cstdint>

class cCylinderFit : public cFitContainer
{
public:
    using cFitContainer::cFitContainer;

    // Sum over active points of (|(p - o) x a| - r)^2, with their number.
    double SumSquaredRadialErrors(const double point[3], const double direction[3], double radius,
                                  std::uint64_t& count) const;

    // Quadric estimate, finished on the geometric distance; at least 9
    // active points. Outputs unchanged on failure. With a pool, large point
    // sets are summed on its threads (same result as without).
    bool Estimate(double point[3], double direction[3], double& radius, cThreadPool* pool = nullptr) const;
    // Refines all seven values by the downhill simplex; unchanged on failure.
    // The pool as for Estimate.
    bool Optimise(double point[3], double direction[3], double& radius, double tolerance, std::int32_t budget,
                  cThreadPool* pool = nullptr) const;
    // Moves the axis point to the lowest projection of all records less half
    // the margin (factor * span) and returns the span grown by that margin.
    // Without records the point stays and the length is 0.
    double GetAxisExtent(double point[3], const double direction[3], double marginFactor) const;
};

// Constrained fit; open[7] = axis x, y, z, axis point x, y, z, radius
// (1 = the fit chooses it). Unchanged on failure.
bool FitConstrainedCylinder(cCylinderFit& fit, double point[3], double direction[3], double& radius,
                            const std::uint8_t open[7]);
