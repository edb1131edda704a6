// Straight 3D line fitted to the active points: origin (the point of the line
// nearest to the coordinate origin) and unit direction.
#pragma once

#include "fitting/fit_container.h"

#include <cstdint>

// Normalises the direction ((1, 0, 0) when degenerate) and moves the origin
// to the foot of the perpendicular from the coordinate origin.
void NormaliseLine(double origin[3], double direction[3]);

class cLineFit : public cFitContainer
{
public:
    using cFitContainer::cFitContainer;

    double SumSquaredDistances(const double origin[3], const double direction[3], std::uint64_t& count) const;
    // Mean distance of the active points; FLT_MAX when none is active.
    double MeanDistance(const double origin[3], const double direction[3]) const;

    // Two points, or the principal direction of the scatter; fails for fewer
    // than two points or points that all coincide. Outputs are unchanged on
    // failure.
    bool EstimateLine(double origin[3], double direction[3]) const;
    // Estimate refined by the minimiser (mean distance).
    bool Fit(double origin[3], double direction[3]) const;

    // The segment of all records' projections, in the order of the points
    // (start is the extreme met first). Without records both ends are the
    // origin.
    void GetExtent(const double origin[3], const double direction[3], double start[3], double end[3]) const;
};
