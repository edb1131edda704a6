// One complete fit over a point set, handing back finished geometry and its
// RMS error. Drivers keep no state; the caller's points are never changed.
// Failures are false results or an RMS of FLT_MAX; nothing is printed here.
#pragma once

#include "core/polyline_collection.h"
#include "core/vertex.h"
#include "fitting/fit_container.h"
#include "fitting/primitive_records.h"

#include <vector>

class cThreadPool;

// Section polylines as the drivers read them: each in its own plane frame.
using tSectionPolylines = tPolylineCollection<tFramePolyline<cVertex>>;

// The coordinate axis least aligned with n: X when min(|ny|, |nz|) >= |nx|,
// else Y when |nz| >= |ny|, else Z.
void ReferenceAxisOf(const double n[3], double axis[3]);

// RMS = sqrt(sum / count), FLT_MAX for no points.
double RmsOf(double sum, std::uint64_t count);

// Plane through all points; the frame by the smallest-rectangle search or,
// with useAxisFrame, along the reference axis. False when no plane (or no
// frame) can be fitted; the record is written only on success.
bool FitPlane(const cFitContainer& points, tPlane<double>& plane, double& rms, bool useAxisFrame,
              double marginFactor);
// The plane with a given normal and offset; record and RMS always written.
void FitPlaneWithNormal(const cFitContainer& points, tPlane<double>& plane, double& rms, const double normal[3],
                        double d, double marginFactor);
void FitPlaneWithNormalAndAxis(const cFitContainer& points, tPlane<double>& plane, double& rms,
                               const double normal[3], double d, double marginFactor);

bool FitSphere(const cFitContainer& points, tSphere<double>& sphere, double& rms);
// Moves the axis point to the lower end of the points; the height covers
// them grown by the margin factor. With a pool, large point sets are summed
// on its threads; the result is the same without one.
bool FitCylinder(const cFitContainer& points, tCylinder<double>& cylinder, double& rms, double marginFactor,
                 cThreadPool* pool = nullptr);

// Line or arc through the vertices of section polylines, each taken in its
// polyline's frame. With markedOnly a vertex counts only when its flag word
// has the bit of value 4 set and the bit of value 1 clear. Both return the
// RMS (FLT_MAX without points). The line leaves start and end untouched when
// it cannot be fitted; the arc keeps the caller's centre and radius then but
// always writes its three points.
double FitLineToPolylines(const tSectionPolylines& polylines, double start[3], double end[3], bool markedOnly);
double FitArcToPolylines(const tSectionPolylines& polylines, double centre[3], double& radius, double start[3],
                         double middle[3], double end[3], bool markedOnly);

// While one lives on a thread, the line and the arc fit to polylines there
// each keep their last result and hand it back, without fitting again, to a
// call on the same points (bit for bit, in the same order) with the same
// starting values: the automatic choice of a profile fits both kinds to its
// sections, and the curve it picks then fits the same sections once more.
// Scopes nest; the inner one keeps its own results.
class cPolylineFitReuse
{
public:
    cPolylineFitReuse();
    ~cPolylineFitReuse();
    cPolylineFitReuse(const cPolylineFitReuse&) = delete;
    cPolylineFitReuse& operator=(const cPolylineFitReuse&) = delete;

    // One kind's last fit: its points, the values it started from (a fit
    // that fails hands them back) and what it gave.
    struct stKept
    {
        std::vector<float> points;
        double given[6] = {};
        double result[14] = {};
        bool held = false;
    };
    stKept line, arc;

private:
    cPolylineFitReuse* m_outer;
};

// The plane normal, or an in-plane direction when the points lie mostly on
// one side of their plane.
bool EstimateExtrusionDirection(const cFitContainer& points, double direction[3]);
bool EstimateExtrusionDirectionAndBase(const cFitContainer& points, double direction[3], double base[3]);
bool ProjectCentroidOnPlane(const cFitContainer& points, const double normal[3], double point[3]);

// Arc of the points in the plane with the given normal through p0.
bool FitArcInAxisPlane(const cFitContainer& points, const double axis[3], const double p0[3], double start[3],
                       double middle[3], double end[3]);
// The same about the axis from p0 towards the centre of the points' sphere
// (or their centroid, whichever fits the arc better); writes the axis.
bool FitArcAboutSphereAxis(const cFitContainer& points, double axis[3], const double p0[3], double start[3],
                           double middle[3], double end[3]);
