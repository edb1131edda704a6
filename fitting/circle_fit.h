// Circles fitted to the active points: in the XY plane of the points (callers
// move them into a local frame first), in a plane fitted through 3D points,
// or across a given or partly given axis; with trimming and consensus
// variants that resist outliers.
//
// Frames here are WORLD-TO-LOCAL: rows 0..2 of the 3x4 matrix are the local
// axes, so u = row0 . p + t0. This is the opposite of the local-to-world
// section frames used elsewhere; the names say "WorldToLocal" to keep it so.
#pragma once

#include "fitting/fit_container.h"

#include <cstdint>

// World-to-local frame that turns axis onto +Z (rotation about axis x Z) and
// moves point to the origin; the identity rotation when the axis is (anti)
// parallel to Z.
void BuildAxisFrame(double worldToLocal[12], const double axis[3], const double point[3]);

// Maps a world point into a world-to-local frame and back.
void MapIntoFrame(const double worldToLocal[12], const double world[3], double local[3]);
void MapOutOfFrame(const double worldToLocal[12], const double local[3], double world[3]);

class cCircleFit : public cFitContainer
{
public:
    explicit cCircleFit(const tFitPointQueue& points);
    // Reads the source's records in place (see cFitContainer); the fit's own
    // frame is all it writes.
    cCircleFit(const cFitContainer& source, stShareRecords);

    // Errors in the plane across coordinate axis k (0, 1 or 2).
    double SumSquaredRadialErrors(int axis, const double centre[3], double radius, std::uint64_t& count) const;
    // Errors in the (u, v) plane of a world-to-local frame; centre is (u, v).
    double SumSquaredRadialErrorsInFrame(const double worldToLocal[12], const double centre[2], double radius,
                                         std::uint64_t& count) const;
    // Residual of every record = squared radial error in the XY plane; the
    // mean over the active records (FLT_MAX when none is active).
    double StoreResiduals(const double centre[3], double radius, std::uint64_t& count);
    double StoreResidualsInFrame(const double worldToLocal[12], const double centre[2], double radius,
                                 std::uint64_t& count);
    // Active exactly when residual <= threshold; returns the active count.
    std::uint64_t KeepWithinResidual(double threshold);

    // Circle in the XY plane (outputs unchanged on failure).
    bool Fit(double centre[3], double& radius) const;
    bool Refine(double centre[3], double& radius);
    // Outlier-resistant fits; centre and radius are written only on success.
    bool FitRobust(double centre[3], double& radius, double targetRms);
    bool FitConsensus(double centre[3], double& radius, double tolerance);
    void GetArcEnds(const double centre[3], double radius, double middle[3], double start[3], double end[3]) const;
    // Circle in the (u, v) plane of a world-to-local frame; centre in world.
    bool FitInFrame(const double worldToLocal[12], double centre[3], double& radius) const;

    const double* WorldToLocalFrame() const { return m_worldToLocal; }
    void SetWorldToLocalFrame(const double worldToLocal[12]);
    int AxisSelector() const { return m_axis; }

private:
    double RmsInPlane(const double centre[3], double radius) const;
    bool FitRobustInPlace(double centre[3], double& radius, double targetRms);
    bool FitConsensusInPlace(double centre[3], double& radius, double tolerance);
    bool TrimmingPasses(double centre[3], double& radius, double rms, double targetRms, std::uint64_t minActive);

    double m_worldToLocal[12];
    std::int32_t m_axis = -1;
};

// RMS of the circle (world centre) in BuildAxisFrame(axis, point); FLT_MAX
// when no point is active.
double CircleRMSInFrame(const cCircleFit& fit, const double axis[3], const double point[3], const double centre[3],
                        double radius);

bool FitCircle3D(cCircleFit& fit, double axis[3], double centre[3], double& radius);
// The same, with the mean position of every record (GetMeanPosition's)
// when it succeeds.
bool FitCircle3D(cCircleFit& fit, double axis[3], double centre[3], double& radius, double mean[3]);
// The circle in the plane axis . p + offset = 0.
bool FitCircleAcrossAxis(cCircleFit& fit, const double axis[3], double offset, double centre[3], double& radius);
bool RefineCircleInFrame(cCircleFit& fit, const double axis[3], const double point[3], double centre[3],
                         double& radius);
// fixed[7] = axis x, y, z, centre x, y, z, radius (1 = keep the given value).
bool FitConstrainedCircle3D(cCircleFit& fit, double axis[3], double centre[3], double& radius,
                            const std::uint8_t fixed[7]);
void GetArcEndsInFrame(const cCircleFit& fit, const double axis[3], const double centre[3], double radius,
                       double middle[3], double start[3], double end[3]);
// The same with the records' mean position (GetMeanPosition's) given.
void GetArcEndsInFrame(const cCircleFit& fit, const double axis[3], const double centre[3], double radius,
                       const double mean[3], double middle[3], double start[3], double end[3]);
