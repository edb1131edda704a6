// Plane n . p + d = 0 fitted to the active points, and the rectangle frame
// that the plane shape shows.
#pragma once

#include "core/double_vector.h"
#include "fitting/fit_container.h"
#include "fitting/plane_candidate_sums.h"

#include <cstdint>

// What the plane estimate learns on its way over the records, for a caller
// that would otherwise read all of them again.
struct stPlaneEstimateSums
{
    // Active records counted (set even when the estimate fails).
    std::uint64_t activeCount = 0;
    // The normalised sum of all normals, as GetAverageNormal gives it.
    double averageNormal[3] = {0.0, 0.0, 0.0};
    // Mean of the active points (with three or more of them).
    double centroid[3] = {0.0, 0.0, 0.0};
    // Sum of squared distances of the active points from the estimated
    // plane (its orientation does not change it).
    double sumSquaredDistances = 0.0;
    // Scatter of the active points about their mean (xx, xy, xz, yy, yz, zz),
    // with more than three of them.
    double scatter[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
};

// A plane's rectangle: its centre, its sides' directions and half lengths.
struct stPlaneFrame
{
    double origin[3] = {0.0, 0.0, 0.0};
    double firstAxis[3] = {0.0, 0.0, 0.0};
    double secondAxis[3] = {0.0, 0.0, 0.0};
    double firstHalf = 0.0;
    double secondHalf = 0.0;
};

class cPackedFitPoints;
class cPoolTeam;
class cThreadPool;

// The sums of squared and of absolute distances of packed points from the
// plane n . p + d = 0, each point's distance formed as cPlaneFit forms it,
// summed in the packing's blocks (on the pool for large packings; the same
// bits either way). The simplex refinements of the plane evaluate them
// hundreds of times over a packing made once.
double SumSquaredPlaneDistances(const cPackedFitPoints& points, const double normal[3], double offset,
                                cThreadPool* pool);
double SumAbsPlaneDistances(const cPackedFitPoints& points, const double normal[3], double offset, cThreadPool* pool);
// The same sums for `count` planes at once (normals three values each;
// squared or absolute), each plane's sum to the bit as the one-plane pass
// takes it: a pass over the packing sums the distances of four planes side
// by side, for a simplex that asks for several candidates together. With a
// team (its lead calling) the blocks go to the team instead of the pool.
void SumPlaneDistancesSideBySide(const cPackedFitPoints& points, const double* normals, const double* offsets,
                                 std::uint32_t count, bool squared, cThreadPool* pool, double* sums,
                                 cPoolTeam* team = nullptr);

class cPlaneFit : public cFitContainer
{
public:
    using cFitContainer::cFitContainer;

    // Algebraic estimate: three points give the triangle normal, more points
    // the better of total least squares and the n . p = -1 solve; oriented by
    // the average point normal (except for three points).
    bool EstimateNormal(double normal[3], double& offset) const;
    bool EstimateNormal(double normal[3], double& offset, stPlaneEstimateSums& sums) const;
    // EstimateNormal with its sums, and BuildFrame of its plane from its mean
    // and scatter (framed tells whether that succeeded), with the same
    // results: the frame is searched on the read that weighs the candidates
    // instead of a read of its own. Only for records that are all active:
    // with any inactive record it returns false after its first read, with
    // sums.activeCount telling why.
    bool EstimateWithFrame(double normal[3], double& offset, stPlaneEstimateSums& sums, stPlaneFrame& frame,
                           bool& framed, double marginFactor) const;
    // Estimate refined by the minimiser (mean absolute distance).
    bool Fit(double normal[3], double& offset) const;
    // The same, with the centroid of the active records that the
    // refinement measures from (GetCentroid's).
    bool Fit(double normal[3], double& offset, double centroid[3]) const;
    // Activates all points; offset = -(mean of n . p). False when empty.
    bool OffsetForNormal(const double normal[3], double& offset);

    double GetSumSquaredDistances(const double normal[3], double offset, std::uint64_t& count) const;
    // FLT_MAX when no point is active.
    double GetMeanAbsDistance(const double normal[3], double offset) const;
    void GetDistanceRange(const double normal[3], double offset, double& minimum, double& maximum) const;

    // The smallest-area rectangle of all records in the plane, searched over
    // rotations of the principal frame in 3 degree steps; the margin adds
    // factor * 0.5 * the larger half extent to both.
    bool BuildFrame(const double normal[3], double offset, double origin[3], double firstAxis[3], double& firstHalf,
                    double secondAxis[3], double& secondHalf, double marginFactor) const;
    // The same from the mean and scatter of all records that the caller
    // already has (an estimate over all records active gives both).
    bool BuildFrame(const double normal[3], double offset, const double mean[3], const double scatter[6],
                    double origin[3], double firstAxis[3], double& firstHalf, double secondAxis[3],
                    double& secondHalf, double marginFactor) const;
    // The rectangle whose second axis follows reference (replaced by the
    // in-plane direction). Fails for a reference parallel to the normal.
    bool BuildFrameWithAxis(const double normal[3], double offset, double origin[3], double firstAxis[3],
                            double& firstHalf, double reference[3], double& secondHalf) const;
    // The same about a mean of all records the caller already has.
    bool BuildFrameWithAxis(const double normal[3], double offset, const double mean[3], double origin[3],
                            double firstAxis[3], double& firstHalf, double reference[3], double& secondHalf) const;

private:
    struct stPlaneCandidates
    {
        stCandidatePlanes planes;
        bool haveA = false;
        bool haveB = false;
        double count = 0.0; // active records
    };
    enum class eFirstRead
    {
        kFailed,
        kFinished, // three points: the estimate is their plane
        kCandidates,
    };
    // The estimate's first read of the records: its sums and both candidate
    // planes (not yet oriented).
    eFirstRead ReadCandidates(double normal[3], double& offset, stPlaneEstimateSums& sums,
                              stPlaneCandidates& candidates) const;
    // The candidate with the smaller mean distance (B on a tie), oriented by
    // the average normal; false when neither could be fitted.
    static bool ChooseCandidate(const stPlaneCandidates& candidates, const cCandidateSums& measured,
                                stPlaneEstimateSums& sums, double normal[3], double& offset, bool& tookA);
    bool BuildFrameOn(const double normal[3], double offset, const double centroid[3], const double middle[3],
                      const double smallest[3], double origin[3], double firstAxis[3], double& firstHalf,
                      double secondAxis[3], double& secondHalf, double marginFactor) const;
    // The squared distances cost the estimate alone a little: only summed
    // for a caller that takes them.
    bool Estimate(double normal[3], double& offset, stPlaneEstimateSums& sums, bool withSquares) const;
};

// Normalises a direction while keeping its fixed components: a fixed
// component is clamped to [-1, 1]; a fixed component of magnitude 1 zeroes
// and fixes the other two; otherwise the open components are scaled so that
// the vector has unit length (a vector without a usable open part is
// normalised as a whole).
void NormaliseConstrainedDirection(double v[3], bool fixed[3]);

// The open parameters of a plane n . p + d = 0 as the minimisers see them:
// the offset first when it is open, then the arc cosines of the open normal
// components in x, y, z order.
struct stConstrainedPlane
{
    double givenNormal[3] = {0.0, 0.0, 0.0}; // normalised under the constraints
    double givenOffset = 0.0;
    bool fixed[3] = {true, true, true};
    bool offsetOpen = false;

    // Takes the caller's plane and open flags (normal x, y, z, offset; 1 =
    // open) and normalises the normal under the constraints.
    void Set(const double normal[3], double offset, const std::uint8_t open[4]);
    std::uint32_t OpenCount() const;
    // Fills x (OpenCount() values) from a start plane.
    void Pack(const double normal[3], double offset, cDoubleVector& x) const;
    // The plane of a parameter vector, its normal normalised under the
    // constraints.
    void Unpack(const cDoubleVector& x, double normal[3], double& offset) const;
};

// Constrained plane fit; open[4] = x, y, z component open, offset open
// (1 = the fit chooses it). On failure normal and offset are unchanged.
bool FitConstrainedPlane(const cPlaneFit& fit, double normal[3], double& offset, const std::uint8_t open[4]);
