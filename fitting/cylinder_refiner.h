// Gauss-Newton with a Levenberg damping on the geometric distance to a
// cylinder, the step that turns the cylinder estimate's algebraic starts into
// the least-squares cylinder. It works in coordinates centred on the points'
// mean and scaled to unit spread. Each step works in the frame of the current
// axis (u, v, a), where the derivatives of the distance are closed forms:
// moving the axis point by (x0, y0), tilting the axis by (alpha, beta) and
// growing the radius. One pass over the points gives a trial's cost together
// with the normal equations of the next step, block by block in a fixed order
// (packed_fit_points.h).
#pragma once

#include "fitting/packed_fit_points.h"

class cCylinderRefiner
{
public:
    // points must outlive the refiner; pool may be null.
    cCylinderRefiner(const cPackedFitPoints& points, const double mean[3], double invScale, cThreadPool* pool);

    // Refines the cylinder (centre c on the axis, unit axis a, radius r, all
    // in the scaled coordinates) in place until a step no longer lowers the
    // sum of squared distances by more than a part in 10^12, or no damping
    // finds a lower one, or after maxIterations steps. Returns that sum at
    // the result (infinity when it is not finite).
    double Refine(double c[3], double a[3], double& r, int maxIterations = 100) const;

    // A start about a given axis: the algebraic circle of the points
    // projected across it, centred nearest the origin.
    bool StartAcross(const double a[3], double c[3], double& r) const;

    // Sum of squared distances to the cylinder.
    double Cost(const double c[3], const double a[3], double r) const;

private:
    const cPackedFitPoints& m_points;
    double m_mean[3];
    double m_invScale;
    cThreadPool* m_pool;
};
