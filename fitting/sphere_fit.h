// Sphere (centre, radius) fitted to the active points: exact through four
// points, algebraic least squares for more, then a geometric refinement.
#pragma once

#include "fitting/fit_container.h"

#include <cstdint>

class cSphereFit : public cFitContainer
{
public:
    using cFitContainer::cFitContainer;

    // Algebraic estimate. On failure centre and radius are unchanged.
    bool Fit(double centre[3], double& radius) const;
    // Geometric refinement of a given sphere; unchanged on failure. Large
    // point sets are summed on the process's shared pool when there is one,
    // in fixed blocks: the sphere is the same without it.
    bool Refine(double centre[3], double& radius) const;
    // Refinement of the open values only; open[4] = centre x, y, z, radius
    // (1 = the fit chooses it). Fixed values keep the caller's values.
    bool RefineConstrained(double centre[3], double& radius, const std::uint8_t open[4]) const;

    // Sum over active points of (|p - c| - r)^2, with their number.
    double SumSquaredRadialErrors(const double centre[3], double radius, std::uint64_t& count) const;
};
