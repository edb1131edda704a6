#include "fitting/fit_drivers.h"

#include "core/vector_math.h"
#include "fitting/circle_fit.h"
#include "fitting/cylinder_fit.h"
#include "fitting/line_fit.h"
#include "fitting/plane_fit.h"
#include "fitting/sphere_fit.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{

constexpr double kFltEpsilon = 1.1920928955078125e-07;

void Copy3(const double in[3], double out[3]) { std::copy(in, in + 3, out); }

// A smallest-rectangle frame the estimate built on its way (the frame, or
// null when that failed). Without one, the smallest-rectangle frame is
// built here from the records.
struct stBuiltFrame
{
    const stPlaneFrame* frame;
};

// Frame and record of a plane with a known normal and offset. An estimate
// over all the records brings their mean, their average normal and the
// plane's squared distances with it, so none of them is read again here.
bool FinishPlane(const cPlaneFit& fit, const double normalIn[3], double d, bool useAxisFrame, double marginFactor,
                 const stPlaneEstimateSums* estimated, const stBuiltFrame* built, tPlane<double>& plane, double& rms)
{
    double n[3];
    Copy3(normalIn, n);
    double reference[3];
    ReferenceAxisOf(n, reference);
    double origin[3], xAxis[3], hu = 0.0, hv = 0.0;
    bool framed;
    if (useAxisFrame)
    {
        framed = Dot3d(n, n) >= kFltEpsilon &&
                 (estimated ? fit.BuildFrameWithAxis(n, d, estimated->centroid, origin, xAxis, hu, reference, hv)
                            : fit.BuildFrameWithAxis(n, d, origin, xAxis, hu, reference, hv));
    }
    else if (built)
    {
        framed = built->frame != nullptr;
        if (framed)
        {
            Copy3(built->frame->origin, origin);
            Copy3(built->frame->firstAxis, xAxis);
            hu = built->frame->firstHalf;
            hv = built->frame->secondHalf;
        }
    }
    else
    {
        double yAxis[3];
        framed = fit.BuildFrame(n, d, origin, xAxis, hu, yAxis, hv, marginFactor);
    }
    double average[3];
    if (estimated)
        Copy3(estimated->averageNormal, average);
    else
        fit.GetAverageNormal(average);
    if (Dot3d(n, average) < 0.0)
    {
        for (double& c : n)
            c = -c;
        d = -d;
    }
    if (!framed)
        return false;
    Copy3(n, plane.normal);
    Copy3(origin, plane.origin);
    Copy3(xAxis, plane.xAxis);
    plane.halfWidth = hu;
    plane.halfHeight = hv;
    plane.d = -Dot3d(n, origin);
    if (estimated)
    {
        rms = RmsOf(estimated->sumSquaredDistances, estimated->activeCount);
        return true;
    }
    std::uint64_t count = 0;
    const double sum = fit.GetSumSquaredDistances(plane.normal, plane.d, count);
    rms = RmsOf(sum, count);
    return true;
}

// A plane with a given normal: when no frame can be built the record still
// gets the plane itself, centred on the points' projected mean, with no
// extent.
void PlaneWithNormalOn(const cPlaneFit& fit, tPlane<double>& plane, double& rms, const double normal[3], double d,
                       double marginFactor, bool useAxisFrame)
{
    if (FinishPlane(fit, normal, d, useAxisFrame, marginFactor, nullptr, nullptr, plane, rms))
        return;
    double n[3];
    Copy3(normal, n);
    double average[3];
    fit.GetAverageNormal(average);
    if (Dot3d(n, average) < 0.0)
    {
        for (double& c : n)
            c = -c;
        d = -d;
    }
    double mean[3];
    fit.GetMeanPosition(mean);
    const double h = Dot3d(n, mean) + d;
    for (int k = 0; k < 3; ++k)
        plane.origin[k] = mean[k] - h * n[k];
    Copy3(n, plane.normal);
    double reference[3], x[3];
    ReferenceAxisOf(n, reference);
    Cross3d(reference, n, x);
    NormaliseVector3d(x);
    Copy3(x, plane.xAxis);
    plane.halfWidth = 0.0;
    plane.halfHeight = 0.0;
    plane.d = -Dot3d(n, plane.origin);
    std::uint64_t count = 0;
    const double sum = fit.GetSumSquaredDistances(plane.normal, plane.d, count);
    rms = RmsOf(sum, count);
}

void PlaneWithNormal(const cFitContainer& points, tPlane<double>& plane, double& rms, const double normal[3],
                     double d, double marginFactor, bool useAxisFrame)
{
    OnAllRecords<cPlaneFit>(points, [&](const cPlaneFit& fit) {
        PlaneWithNormalOn(fit, plane, rms, normal, d, marginFactor, useAxisFrame);
        return true;
    });
}

// The fit records of section polyline vertices, in collection and vertex
// order, each in its polyline's frame.
tFitPointQueue CollectPolylinePoints(const tSectionPolylines& polylines, bool markedOnly)
{
    tFitPointQueue records;
    for (std::uint32_t i = 0; i < polylines.GetCount(); ++i)
    {
        const tFramePolyline<cVertex>& polyline = polylines[i];
        for (std::uint32_t v = 0; v < polyline.GetVertexCount(); ++v)
        {
            const cVertex local = polyline.GetVertexInFrame(v);
            if (markedOnly && !((local.flags & 4u) != 0 && (local.flags & 1u) == 0))
                continue;
            stFitPoint p;
            p.position[0] = local.x;
            p.position[1] = local.y;
            p.position[2] = local.z;
            p.normal[0] = 1.0f;
            p.normal[1] = p.normal[2] = 0.0f;
            p.active = 1;
            p.residual = kNoFitError;
            records.push_back(p);
        }
    }
    return records;
}

// The circle across the axis through p0, the constrained refinement of its
// axis and the arc ends about p0.
bool ArcAboutAxis(cCircleFit& fit, double axis[3], const double p0[3], bool refineInPlane, double start[3],
                  double middle[3], double end[3])
{
    double centre[3], radius;
    if (!FitCircleAcrossAxis(fit, axis, -Dot3d(axis, p0), centre, radius))
        return false;
    if (refineInPlane && !RefineCircleInFrame(fit, axis, p0, centre, radius))
        return false;
    // The axis direction is refined with the centre and radius held; the
    // result only improves the axis when it succeeds.
    const std::uint8_t axisFree[7] = {0, 0, 0, 1, 1, 1, 1};
    double refinedAxis[3];
    Copy3(axis, refinedAxis);
    if (FitConstrainedCircle3D(fit, refinedAxis, centre, radius, axisFree))
        Copy3(refinedAxis, axis);
    GetArcEndsInFrame(fit, axis, p0, radius, middle, start, end);
    return true;
}

} // namespace

void ReferenceAxisOf(const double n[3], double axis[3])
{
    const double ax = std::fabs(n[0]), ay = std::fabs(n[1]), az = std::fabs(n[2]);
    axis[0] = axis[1] = axis[2] = 0.0;
    if (std::min(ay, az) >= ax)
        axis[0] = 1.0;
    else if (az >= ay)
        axis[1] = 1.0;
    else
        axis[2] = 1.0;
}

double RmsOf(double sum, std::uint64_t count)
{
    return count ? std::sqrt(sum / double(count)) : kNoFitError;
}

bool FitPlane(const cFitContainer& points, tPlane<double>& plane, double& rms, bool useAxisFrame,
              double marginFactor)
{
    // The estimate counts the active records on its way: when they are all
    // active it has read the caller's records in place, which is the fit
    // over all of them; otherwise it runs again on an activated copy. The
    // smallest-rectangle frame is searched on the estimate's own reads.
    const auto fit = [&](const cPlaneFit& on, stPlaneEstimateSums& sums) {
        double n[3], d;
        stPlaneFrame frame;
        bool framed = false;
        const bool estimated = useAxisFrame ? on.EstimateNormal(n, d, sums)
                                            : on.EstimateWithFrame(n, d, sums, frame, framed, marginFactor);
        if (!estimated || sums.activeCount != on.Points().size())
            return false;
        const stBuiltFrame built{framed ? &frame : nullptr};
        tPlane<double> result = plane;
        double resultRms = 0.0;
        if (!FinishPlane(on, n, d, useAxisFrame, marginFactor, &sums, useAxisFrame ? nullptr : &built, result,
                         resultRms))
            return false;
        plane = result;
        rms = resultRms;
        return true;
    };
    stPlaneEstimateSums sums;
    const cPlaneFit shared(points, kShareRecords);
    const bool done = fit(shared, sums);
    if (sums.activeCount == points.Points().size())
        return done;
    const cPlaneFit copy(points.Points());
    return fit(copy, sums);
}

void FitPlaneWithNormal(const cFitContainer& points, tPlane<double>& plane, double& rms, const double normal[3],
                        double d, double marginFactor)
{
    PlaneWithNormal(points, plane, rms, normal, d, marginFactor, false);
}

void FitPlaneWithNormalAndAxis(const cFitContainer& points, tPlane<double>& plane, double& rms,
                               const double normal[3], double d, double marginFactor)
{
    PlaneWithNormal(points, plane, rms, normal, d, marginFactor, true);
}

bool FitSphere(const cFitContainer& points, tSphere<double>& sphere, double& rms)
{
    return OnAllRecords<cSphereFit>(points, [&](const cSphereFit& fit) {
        double c[3], r;
        if (!fit.Fit(c, r) || !fit.Refine(c, r))
            return false;
        Copy3(c, sphere.centre);
        sphere.radius = r;
        std::uint64_t count = 0;
        const double sum = fit.SumSquaredRadialErrors(c, r, count);
        rms = RmsOf(sum, count);
        return true;
    });
}

bool FitCylinder(const cFitContainer& points, tCylinder<double>& cylinder, double& rms, double marginFactor,
                 cThreadPool* pool)
{
    return OnAllRecords<cCylinderFit>(points, [&](const cCylinderFit& fit) {
        double p[3], a[3], r;
        if (!fit.Estimate(p, a, r, pool) || !fit.Optimise(p, a, r, 1e-5, 1000, pool))
            return false;
        NormaliseVector3d(a);
        std::uint64_t count = 0;
        const double sum = fit.SumSquaredRadialErrors(p, a, r, count);
        const double height = fit.GetAxisExtent(p, a, marginFactor);
        Copy3(p, cylinder.axisPoint);
        Copy3(a, cylinder.axis);
        cylinder.radius = r;
        cylinder.height = height;
        rms = RmsOf(sum, count);
        return true;
    });
}

namespace
{

thread_local cPolylineFitReuse* theFitReuse = nullptr;

// Whether a kept fit was made on these records from these starting values,
// bit for bit.
bool KeptFor(const cPolylineFitReuse::stKept& kept, const tFitPointQueue& records, const double given[6])
{
    if (!kept.held || kept.points.size() != 3 * records.size() ||
        std::memcmp(kept.given, given, sizeof kept.given) != 0)
        return false;
    const float* point = kept.points.data();
    for (const stFitPoint& p : records)
    {
        if (std::memcmp(point, p.position, sizeof p.position) != 0)
            return false;
        point += 3;
    }
    return true;
}

void Keep(cPolylineFitReuse::stKept& kept, const tFitPointQueue& records, const double given[6],
          const double result[14])
{
    kept.held = false;
    kept.points.resize(3 * records.size());
    float* point = kept.points.data();
    for (const stFitPoint& p : records)
    {
        std::memcpy(point, p.position, sizeof p.position);
        point += 3;
    }
    std::memcpy(kept.given, given, sizeof kept.given);
    std::memcpy(kept.result, result, sizeof kept.result);
    kept.held = true;
}

} // namespace

cPolylineFitReuse::cPolylineFitReuse() : m_outer(theFitReuse)
{
    theFitReuse = this;
}

cPolylineFitReuse::~cPolylineFitReuse()
{
    theFitReuse = m_outer;
}

double FitLineToPolylines(const tSectionPolylines& polylines, double start[3], double end[3], bool markedOnly)
{
    cLineFit fit(CollectPolylinePoints(polylines, markedOnly));
    const double given[6] = {start[0], start[1], start[2], end[0], end[1], end[2]};
    double result[14] = {};
    if (theFitReuse != nullptr && KeptFor(theFitReuse->line, fit.Points(), given))
    {
        std::copy(theFitReuse->line.result + 1, theFitReuse->line.result + 4, start);
        std::copy(theFitReuse->line.result + 4, theFitReuse->line.result + 7, end);
        return theFitReuse->line.result[0];
    }
    double origin[3], direction[3];
    double rms = kNoFitError;
    if (fit.Fit(origin, direction))
    {
        fit.GetExtent(origin, direction, start, end);
        std::uint64_t count = 0;
        const double sum = fit.SumSquaredDistances(origin, direction, count);
        rms = RmsOf(sum, count);
    }
    if (theFitReuse != nullptr)
    {
        result[0] = rms;
        std::copy(start, start + 3, result + 1);
        std::copy(end, end + 3, result + 4);
        Keep(theFitReuse->line, fit.Points(), given, result);
    }
    return rms;
}

double FitArcToPolylines(const tSectionPolylines& polylines, double centre[3], double& radius, double start[3],
                         double middle[3], double end[3], bool markedOnly)
{
    cCircleFit fit(CollectPolylinePoints(polylines, markedOnly));
    const double given[6] = {centre[0], centre[1], centre[2], radius, 0.0, 0.0};
    // result: the RMS, the centre, the radius and the three points.
    double result[14] = {};
    if (theFitReuse != nullptr && KeptFor(theFitReuse->arc, fit.Points(), given))
    {
        const double* kept = theFitReuse->arc.result;
        std::copy(kept + 1, kept + 4, centre);
        radius = kept[4];
        std::copy(kept + 5, kept + 8, start);
        std::copy(kept + 8, kept + 11, middle);
        std::copy(kept + 11, kept + 14, end);
        return kept[0];
    }
    if (fit.Fit(centre, radius))
        fit.Refine(centre, radius);
    if (fit.Points().size() == 3)
    {
        FitPointPosition(fit.Points()[0], start);
        FitPointPosition(fit.Points()[1], middle);
        FitPointPosition(fit.Points()[2], end);
    }
    else
    {
        fit.GetArcEnds(centre, radius, middle, start, end);
    }
    std::uint64_t count = 0;
    const double sum = fit.SumSquaredRadialErrors(2, centre, radius, count);
    const double rms = RmsOf(sum, count);
    if (theFitReuse != nullptr)
    {
        result[0] = rms;
        std::copy(centre, centre + 3, result + 1);
        result[4] = radius;
        std::copy(start, start + 3, result + 5);
        std::copy(middle, middle + 3, result + 8);
        std::copy(end, end + 3, result + 11);
        Keep(theFitReuse->arc, fit.Points(), given, result);
    }
    return rms;
}

namespace
{

bool ExtrusionDirection(const cPlaneFit& fit, bool nearPlaneTrigger, double direction[3], double& d)
{
    double n[3];
    if (!fit.EstimateNormal(n, d))
        return false;
    double lo, hi;
    fit.GetDistanceRange(n, d, lo, hi);
    const bool oneSided = std::fabs(hi) * 3.0 < std::fabs(lo) || std::fabs(lo) * 3.0 < std::fabs(hi);
    const bool nearPlane = nearPlaneTrigger && std::fabs(lo) < 1.0 && std::fabs(hi) < 1.0;
    if (oneSided || nearPlane)
    {
        double e[3], c[3];
        ReferenceAxisOf(n, e);
        Cross3d(n, e, c);
        NormaliseVector3d(c);
        Copy3(c, direction);
    }
    else
    {
        Copy3(n, direction);
    }
    return true;
}

} // namespace

bool EstimateExtrusionDirection(const cFitContainer& points, double direction[3])
{
    return OnAllRecords<cPlaneFit>(points, [&](const cPlaneFit& fit) {
        double d;
        return ExtrusionDirection(fit, false, direction, d);
    });
}

bool EstimateExtrusionDirectionAndBase(const cFitContainer& points, double direction[3], double base[3])
{
    return OnAllRecords<cPlaneFit>(points, [&](const cPlaneFit& fit) {
        double d, dir[3];
        if (!ExtrusionDirection(fit, true, dir, d))
            return false;
        double c[3];
        fit.GetMeanPosition(c);
        const double h = Dot3d(dir, c) + d;
        for (int k = 0; k < 3; ++k)
            base[k] = c[k] - dir[k] * h;
        Copy3(dir, direction);
        return true;
    });
}

bool ProjectCentroidOnPlane(const cFitContainer& points, const double normal[3], double point[3])
{
    // The plane fit's offset for the normal and the mean of every record,
    // their sums taken in one pass over the records in place, each in the
    // records' order as the fit's two passes over a copy took them (a whole
    // 10M-triangle scan's copy was 200 MB).
    const tFitPointQueue& records = points.Points();
    if (records.empty())
        return false;
    double along = 0.0, sum[3] = {0.0, 0.0, 0.0};
    for (const stFitPoint& p : records)
    {
        double q[3];
        FitPointPosition(p, q);
        along += Dot3d(normal, q);
        for (int k = 0; k < 3; ++k)
            sum[k] += p.position[k];
    }
    const double count = double(records.size());
    const double d = -(along / count);
    const double c[3] = {sum[0] / count, sum[1] / count, sum[2] / count};
    const double h = Dot3d(normal, c) + d;
    for (int k = 0; k < 3; ++k)
        point[k] = c[k] - normal[k] * h;
    return true;
}

bool FitArcInAxisPlane(const cFitContainer& points, const double axis[3], const double p0[3], double start[3],
                       double middle[3], double end[3])
{
    cCircleFit fit(points.Points());
    double a[3];
    Copy3(axis, a);
    return ArcAboutAxis(fit, a, p0, true, start, middle, end);
}

bool FitArcAboutSphereAxis(const cFitContainer& points, double axis[3], const double p0[3], double start[3],
                           double middle[3], double end[3])
{
    cSphereFit sphere(points.Points());
    double s[3], radius;
    if (!sphere.Fit(s, radius) || !sphere.Refine(s, radius))
        return false;
    double c[3];
    sphere.GetMeanPosition(c);
    double fromSphere[3] = {s[0] - p0[0], s[1] - p0[1], s[2] - p0[2]};
    double fromCentroid[3] = {c[0] - p0[0], c[1] - p0[1], c[2] - p0[2]};
    NormaliseVector3d(fromSphere);
    NormaliseVector3d(fromCentroid);
    cCircleFit fit(points.Points());
    const double sphereError = CircleRMSInFrame(fit, fromSphere, p0, p0, radius);
    const double centroidError = CircleRMSInFrame(fit, fromCentroid, p0, p0, radius);
    double a[3];
    Copy3(sphereError > centroidError ? fromCentroid : fromSphere, a);
    if (!ArcAboutAxis(fit, a, p0, false, start, middle, end))
        return false;
    Copy3(a, axis);
    return true;
}
