// The fit step of the primitive panel: runs the driver of the chosen
// primitive over the collected points and tells the user on the host's
// command line when there is nothing to fit or the fit fails.
#pragma once

#include "fitting/fit_container.h"
#include "fitting/primitive_records.h"

enum class ePrimitiveKind
{
    Plane,
    Sphere,
    Cylinder
};

struct stPrimitiveFit
{
    tPlane<double> plane;
    tSphere<double> sphere;
    tCylinder<double> cylinder;
    double rms = 0.0;
};

// True when the primitive was fitted; the record of its kind and the RMS are
// written only then.
bool FitPrimitiveToPoints(ePrimitiveKind kind, const cFitContainer& points, stPrimitiveFit& result);
