#include "analysis/fillet_measurement.h"

#include "core/frame_math.h"
#include "fitting/circle_fit.h"
#include "fitting/mesh_plane_sectioner.h"
#include "platform/geometry/curve.h"
#include "shapes/section_curve_geometry.h"

#include <algorithm>
#include <cmath>

namespace
{

// A closed cut comes back with its first point repeated at the end.
constexpr double kSeamSquared = 1e-8;
// The least number of points the first, blind guess of the stretch holds,
// so that the first circle is not fitted to noise alone.
constexpr std::size_t kLeastFirstRun = 7;
// Rounds of "fit, then reach as far as the circle says" before giving up on
// the stretch settling; it settles in two or three.
constexpr int kMaxReachRounds = 12;
// How much better than a straight line a circle must fit a stretch for its
// bend to count as the fillet's and not the noise's.
constexpr double kClearBend = 4.0;

double Distance2D(const t3DPoint<float>& p)
{
    return std::hypot(static_cast<double>(p.x), static_cast<double>(p.y));
}

// The Part's pair of fits on the same points: the smaller radius of the two
// that succeed, with the centre of that fit.
bool FitStretch(const std::vector<t3DPoint<float>>& local, const std::vector<std::uint32_t>& run, double tolerance,
                double centre[3], double& radius)
{
    tFitPointQueue points;
    for (std::uint32_t i : run)
    {
        stFitPoint record;
        record.position[0] = local[i].x;
        record.position[1] = local[i].y;
        record.position[2] = local[i].z;
        record.active = 1;
        record.residual = FLT_MAX;
        points.push_back(record);
    }
    cCircleFit fit(points);
    bool any = false;
    radius = FLT_MAX;
    double c[3];
    double r = FLT_MAX;
    if (fit.FitRobust(c, r, tolerance) && std::isfinite(r))
    {
        any = true;
        radius = r;
        std::copy(c, c + 3, centre);
    }
    if (fit.FitConsensus(c, r, tolerance) && std::isfinite(r) && r < radius)
    {
        any = true;
        radius = r;
        std::copy(c, c + 3, centre);
    }
    return any;
}

// Root mean square distance of the stretch from the circle and from its best
// straight line (the smaller principal spread of the points).
void StretchSpreads(const std::vector<t3DPoint<float>>& local, const std::vector<std::uint32_t>& run,
                    const double centre[3], double radius, double& circleRms, double& lineRms)
{
    double mx = 0.0, my = 0.0, sum = 0.0;
    for (std::uint32_t i : run)
    {
        mx += local[i].x;
        my += local[i].y;
        const double e = std::hypot(local[i].x - centre[0], local[i].y - centre[1]) - radius;
        sum += e * e;
    }
    const double n = static_cast<double>(run.size());
    mx /= n;
    my /= n;
    double sxx = 0.0, syy = 0.0, sxy = 0.0;
    for (std::uint32_t i : run)
    {
        const double dx = local[i].x - mx, dy = local[i].y - my;
        sxx += dx * dx;
        syy += dy * dy;
        sxy += dx * dy;
    }
    sxx /= n;
    syy /= n;
    sxy /= n;
    const double half = 0.5 * (sxx + syy);
    const double smallest = half - std::sqrt(std::max(0.0, 0.25 * (sxx - syy) * (sxx - syy) + sxy * sxy));
    circleRms = std::sqrt(sum / n);
    lineRms = std::sqrt(std::max(0.0, smallest));
}

// A stretch so short that its bend hides in the noise gives a circle of the
// noise: the circle must explain the points clearly better than a line does.
bool BendsClearly(const std::vector<t3DPoint<float>>& local, const std::vector<std::uint32_t>& run,
                  const double centre[3], double radius)
{
    double circleRms = 0.0, lineRms = 0.0;
    StretchSpreads(local, run, centre, radius, circleRms, lineRms);
    return lineRms >= kClearBend * circleRms;
}

} // namespace

bool EvaluateCurveAtNormalizedParameter(const ON_Curve* curve, double t, ON_3dPoint& point)
{
    if (curve == nullptr)
        return false;
    const ON_Interval domain = curve->Domain();
    if (!domain.IsIncreasing())
        return false;
    return curve->EvPoint(domain[0] + (domain[1] - domain[0]) * t, point);
}

std::vector<std::uint32_t> CollectRunWithinReach(const std::vector<t3DPoint<float>>& local, bool closed,
                                                 std::uint32_t nearest, double reach)
{
    std::vector<std::uint32_t> run;
    const std::size_t n = local.size();
    if (nearest >= n || !(Distance2D(local[nearest]) <= reach))
        return run;
    std::vector<std::uint32_t> before;
    std::size_t taken = 1;
    // Backwards first, then forwards; on a closed polyline both may go round
    // the seam, but together they never take more than every vertex once.
    std::size_t i = nearest;
    while (taken < n)
    {
        if (i == 0)
        {
            if (!closed)
                break;
            i = n;
        }
        --i;
        if (!(Distance2D(local[i]) <= reach))
            break;
        before.push_back(static_cast<std::uint32_t>(i));
        ++taken;
    }
    run.assign(before.rbegin(), before.rend());
    run.push_back(nearest);
    std::size_t j = nearest;
    while (taken < n)
    {
        j = j + 1 == n ? (closed ? 0 : n) : j + 1;
        if (j == n || !(Distance2D(local[j]) <= reach))
            break;
        run.push_back(static_cast<std::uint32_t>(j));
        ++taken;
    }
    return run;
}

double FitFilletArc(const tFramePolyline<cVertex>& polyline, double tolerance)
{
    std::vector<t3DPoint<float>> local;
    local.reserve(polyline.GetVertexCount());
    for (std::uint32_t i = 0; i < polyline.GetVertexCount(); ++i)
    {
        const cVertex v = polyline.GetVertexInFrame(i);
        if (std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z))
            local.push_back({v.x, v.y, v.z});
    }
    bool closed = false;
    if (local.size() >= 4)
    {
        const double dx = static_cast<double>(local.front().x) - local.back().x;
        const double dy = static_cast<double>(local.front().y) - local.back().y;
        const double dz = static_cast<double>(local.front().z) - local.back().z;
        if (dx * dx + dy * dy + dz * dz < kSeamSquared)
        {
            local.pop_back();
            closed = true;
        }
    }
    if (local.size() < 3)
        return FLT_MAX;

    // The edge point is the plane's origin.
    std::uint32_t nearest = 0;
    for (std::uint32_t i = 1; i < local.size(); ++i)
        if (Distance2D(local[i]) < Distance2D(local[nearest]))
            nearest = i;
    double length = 0.0;
    for (std::size_t i = 1; i < local.size(); ++i)
        length += std::hypot(static_cast<double>(local[i].x) - local[i - 1].x,
                             static_cast<double>(local[i].y) - local[i - 1].y);
    const double spacing = length / static_cast<double>(local.size() - 1);
    const double nearestDistance = Distance2D(local[nearest]);
    // Close enough to the edge point to hold a few points whatever the
    // fillet: an edge on the fillet reaches its neighbours, an edge at the
    // corner of the two faces reaches past the middle of the arc.
    const double leastReach = nearestDistance + 3.0 * spacing;

    double reach = leastReach;
    std::vector<std::uint32_t> run = CollectRunWithinReach(local, closed, nearest, reach);
    for (int grow = 0; run.size() < std::min(kLeastFirstRun, local.size()) && grow < 64; ++grow)
    {
        reach *= 1.5;
        run = CollectRunWithinReach(local, closed, nearest, reach);
    }

    double centre[3] = {0.0, 0.0, 0.0};
    double radius = FLT_MAX;
    if (!FitStretch(local, run, tolerance, centre, radius))
        return FLT_MAX;
    // Grown until the bend stands out of the noise (or the whole polyline is
    // taken: a straight cut has no fillet to find, and says so by its radius).
    for (int grow = 0; grow < 64 && run.size() < local.size() && !BendsClearly(local, run, centre, radius); ++grow)
    {
        reach *= 1.5;
        std::vector<std::uint32_t> wider = CollectRunWithinReach(local, closed, nearest, reach);
        if (wider.size() == run.size())
            continue;
        double c[3];
        double r;
        if (!FitStretch(local, wider, tolerance, c, r))
            break;
        run = std::move(wider);
        std::copy(c, c + 3, centre);
        radius = r;
    }
    const double leastBend = reach;
    for (int round = 0; round < kMaxReachRounds; ++round)
    {
        // The faces next to a fillet are the tangents from the edge point to
        // its circle, so the arc is what lies within the tangent length of
        // the edge point. An edge point on or inside the circle (an edge on
        // the fillet itself) has no tangent: half the radius keeps to the
        // arc around it.
        const double toCentre = std::hypot(centre[0], centre[1]);
        const double tangent = toCentre > radius ? std::sqrt(toCentre * toCentre - radius * radius) : 0.0;
        const double next = std::max({tangent, 0.5 * radius, leastBend});
        std::vector<std::uint32_t> nextRun = CollectRunWithinReach(local, closed, nearest, next);
        if (nextRun == run || nextRun.size() < 3)
            break;
        double c[3];
        double r;
        if (!FitStretch(local, nextRun, tolerance, c, r))
            break;
        run = std::move(nextRun);
        std::copy(c, c + 3, centre);
        radius = r;
    }
    return radius;
}

double MeasureSectionRadius(const cMesh& mesh, const float point[3], const float direction[3], double tolerance,
                            const cSectionTriangleIndex* index)
{
    const float ax = std::fabs(direction[0]);
    const float ay = std::fabs(direction[1]);
    const float az = std::fabs(direction[2]);
    float reference[3] = {0.0f, 0.0f, 0.0f};
    if (ax <= std::min(ay, az))
        reference[0] = 1.0f;
    else if (az < ay)
        reference[2] = 1.0f;
    else
        reference[1] = 1.0f;
    double frame[12];
    BuildFrameFromAxes(frame, point, direction, reference);

    cMeshPlaneSectioner sectioner;
    sectioner.SetTriangleIndex(index);
    tSectionPolylines polylines;
    SectionMeshByPlane(sectioner, &mesh, frame, 0, polylines, FLT_EPSILON, 0.0);
    const tFramePolyline<cVertex>* chosen = nullptr;
    if (polylines.GetCount() == 1)
        chosen = &polylines[0];
    else
    {
        double best = FLT_MAX;
        for (std::uint32_t i = 0; i < polylines.GetCount(); ++i)
        {
            if (polylines[i].IsEmpty())
                continue;
            std::int32_t at = -1;
            const double d = FindNearestVertex(polylines[i], point, &at);
            if (at >= 0 && d < best)
            {
                best = d;
                chosen = &polylines[i];
            }
        }
    }
    if (chosen == nullptr)
        return FLT_MAX;
    tFramePolyline<cVertex> section = *chosen;
    std::copy(frame, frame + 12, section.frame);
    return FitFilletArc(section, tolerance);
}

stFilletMeasurement MeasureFilletAlongCurve(const cMesh& mesh, const ON_Curve& curve, double start, double end,
                                            int sections, const cSectionTriangleIndex* index)
{
    stFilletMeasurement result;
    sections = std::max(1, sections);
    result.stations = sections + 1;
    const ON_Interval domain = curve.Domain();
    if (!domain.IsIncreasing())
        return result;
    const double span = end - start;
    double sum = 0.0;
    for (int i = 0; i <= sections; ++i)
    {
        const double t = start + i * span / sections;
        const double parameter = domain[0] + (domain[1] - domain[0]) * t;
        ON_3dPoint p;
        ON_3dVector tangent;
        if (!curve.EvTangent(parameter, p, tangent))
            continue;
        const float point[3] = {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
        const float direction[3] = {static_cast<float>(tangent.x), static_cast<float>(tangent.y),
                                    static_cast<float>(tangent.z)};
        if (!std::isfinite(point[0]) || !std::isfinite(point[1]) || !std::isfinite(point[2]) ||
            !(std::fabs(direction[0]) + std::fabs(direction[1]) + std::fabs(direction[2]) > FLT_EPSILON))
            continue;
        const double radius = MeasureSectionRadius(mesh, point, direction, FLT_MAX, index);
        if (radius == FLT_MAX || !std::isfinite(radius))
            continue;
        sum += radius;
        ++result.measured;
    }
    if (result.measured > 0)
        result.radius = sum / result.measured;
    return result;
}
