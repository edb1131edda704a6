#include "fitting/circle_fit.h"

#include "core/frame_math.h"
#include "core/intersections.h"
#include "core/pool_team.h"
#include "core/simplex_minimiser.h"
#include "core/thread_pool.h"
#include "core/vector_math.h"
#include "fitting/plane_fit.h"
#include "fitting/simplex_scale.h"
#include "fitting/square_matrix.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <exception>
#include <vector>

namespace
{

constexpr double kFltEpsilon = 1.1920928955078125e-07;

double Distance2d(double u, double v, double cu, double cv)
{
    const double du = u - cu;
    const double dv = v - cv;
    return std::sqrt(du * du + dv * dv);
}

// The first three active records, in queue order.
bool FirstThreeActive(const cFitContainer& fit, double q[3][3])
{
    int found = 0;
    for (const stFitPoint& p : fit.Points())
    {
        if (!p.active)
            continue;
        FitPointPosition(p, q[found]);
        if (++found == 3)
            return true;
    }
    return false;
}

// Circumcircle of three points; the radius is measured to the last one.
bool Circumcircle(const double q[3][3], double centre[3], double& radius)
{
    double c[3];
    if (!TriangleCircumcentre(q[0], q[1], q[2], c))
        return false;
    const double d[3] = {q[2][0] - c[0], q[2][1] - c[1], q[2][2] - c[2]};
    const double r = std::sqrt(Dot3d(d, d));
    if (!(r > kFltEpsilon) || !AllFinite(c, 3) || !std::isfinite(r))
        return false;
    for (int k = 0; k < 3; ++k)
        centre[k] = c[k];
    radius = r;
    return true;
}

// Arc ends of a circle in the XY plane for points given by a callback.
template <class PointAt>
void ArcEnds(std::size_t count, PointAt pointAt, const double mean[3], const double centre[3], double radius,
             double middle[3], double start[3], double end[3])
{
    double ref[3] = {mean[0] - centre[0], mean[1] - centre[1], 0.0};
    NormaliseVector3d(ref);
    // The least and greatest angle from ref (none past 0: ref itself) and
    // their directions, a block of points at a time on the shared pool: each
    // block keeps the first of its extremes, and the blocks' are taken in
    // order, as one pass over the points keeps the first.
    struct stExtremes
    {
        double aMin, aMax;
        double uMin[3], uMax[3];
    };
    constexpr std::size_t kBlock = std::size_t{1} << 16;
    std::vector<stExtremes> found((count + kBlock - 1) / kBlock);
    // A point whose u x ref does not point down (its angle from ref taken
    // positive) has an angle of at least 0 and only ever raises the
    // greatest, any other point only lowers the least; on either side the
    // farthest point is the one with the least cosine. So the angle's arc
    // cosine is taken only for the points whose cosine lies within
    // kCosineSlack of the least on their side so far, in order: any other
    // point's angle is smaller in size by at least that slack (the arc
    // cosine's slope is at least 1 in size), far past the library's
    // rounding, and can be neither extreme nor the first of equal ones.
    constexpr double kCosineSlack = 1e-9;
    struct stCandidate
    {
        double cosine;
        double u[3];
    };
    auto scan = [&](std::size_t block) {
        stExtremes e{0.0, 0.0, {ref[0], ref[1], ref[2]}, {ref[0], ref[1], ref[2]}};
        std::vector<stCandidate> candidates[2];
        double least[2] = {DBL_MAX, DBL_MAX};
        const std::size_t last = std::min(count, (block + 1) * kBlock);
        for (std::size_t i = block * kBlock; i < last; ++i)
        {
            double p[3];
            pointAt(i, p);
            double u[3] = {p[0] - centre[0], p[1] - centre[1], 0.0};
            NormaliseVector3d(u);
            const double cosine = std::clamp(Dot3d(u, ref), -1.0, 1.0);
            double c[3];
            Cross3d(u, ref, c);
            const int side = c[2] < 0.0 ? 1 : 0;
            if (!(cosine <= least[side] + kCosineSlack))
                continue;
            std::vector<stCandidate>& kept = candidates[side];
            if (cosine < least[side])
            {
                least[side] = cosine;
                std::erase_if(kept, [&](const stCandidate& k) { return !(k.cosine <= cosine + kCosineSlack); });
            }
            kept.push_back({cosine, {u[0], u[1], u[2]}});
        }
        for (const stCandidate& k : candidates[0])
        {
            const double a = std::acos(k.cosine);
            if (a > e.aMax)
            {
                e.aMax = a;
                std::copy(k.u, k.u + 3, e.uMax);
            }
        }
        for (const stCandidate& k : candidates[1])
        {
            const double a = -std::acos(k.cosine);
            if (a < e.aMin)
            {
                e.aMin = a;
                std::copy(k.u, k.u + 3, e.uMin);
            }
        }
        found[block] = e;
    };
    ParallelForEach(SharedThreadPool(), found.size(), 1, scan);
    double uMin[3] = {ref[0], ref[1], ref[2]};
    double uMax[3] = {ref[0], ref[1], ref[2]};
    double aMin = 0.0;
    double aMax = 0.0;
    for (const stExtremes& e : found)
    {
        if (e.aMin < aMin)
        {
            aMin = e.aMin;
            std::copy(e.uMin, e.uMin + 3, uMin);
        }
        if (e.aMax > aMax)
        {
            aMax = e.aMax;
            std::copy(e.uMax, e.uMax + 3, uMax);
        }
    }
    for (int k = 0; k < 3; ++k)
    {
        middle[k] = centre[k] + radius * ref[k];
        start[k] = centre[k] + radius * uMin[k];
        end[k] = centre[k] + radius * uMax[k];
    }
}

// The refinements hand the centre to the minimiser measured from its start
// in units of the points' spread (simplex_scale.h): as world coordinates, a
// centre near the origin got next to no first step and one far out a step of
// a tenth of a small part. The radius is a size and goes as it stands.
struct RefineXYContext
{
    const cCircleFit* fit;
    stSimplexLength centre[2];
    // While the minimiser runs on a team of the pool's threads: the team.
    cPoolTeam* team = nullptr;
};

double RefineXYObjective(const cDoubleVector& x, void* context)
{
    const auto* ctx = static_cast<const RefineXYContext*>(context);
    const double centre[3] = {ctx->centre[0].Unpack(x[0]), ctx->centre[1].Unpack(x[1]), 0.0};
    std::uint64_t count = 0;
    return ctx->fit->SumSquaredRadialErrors(2, centre, std::fabs(x[2]), count);
}

// RefineXYObjective at several points side by side, each point's sum a job
// of the shared pool (each summed in the records' order, as alone).
void RefineXYObjectives(const cDoubleVector* x, std::uint32_t count, double* values, void* context)
{
    auto each = [&](std::size_t i) { values[i] = RefineXYObjective(x[i], context); };
    if (cPoolTeam* team = static_cast<const RefineXYContext*>(context)->team)
        team->Run(count, each);
    else
        ParallelForEach(SharedThreadPool(), count, 1, each);
}

// Fewest records whose refinement measures a step's candidates side by side.
constexpr std::size_t kRefineSideBySideFrom = std::size_t{1} << 15;

double RefineInFrameObjective(const cDoubleVector& x, void* context)
{
    const auto* fit = static_cast<const cCircleFit*>(context);
    const double centre[2] = {x[0], x[1]};
    std::uint64_t count = 0;
    return fit->SumSquaredRadialErrorsInFrame(fit->WorldToLocalFrame(), centre, std::fabs(x[2]), count);
}

// The values of a constrained 3D circle fit that the objective needs. The
// reference point travels here rather than in a process-wide variable, so
// fits can run on several threads at once.
struct ConstrainedCircleContext
{
    const cCircleFit* fit;
    double axis[3];
    double centre[3];
    double radius;
    bool fixed[7];
    double reference[3];
    // Free centre coordinates go to the minimiser from their start in units
    // of the points' spread (simplex_scale.h).
    stSimplexLength centreScale[3];
};

void RebuildConstrainedCircle(const ConstrainedCircleContext& ctx, const cDoubleVector& x, double axis[3],
                              double centre[3], double& radius)
{
    std::uint32_t i = 0;
    for (int k = 0; k < 3; ++k)
        axis[k] = ctx.fixed[k] ? ctx.axis[k] : std::cos(x[i++]);
    bool fixedAxis[3] = {ctx.fixed[0], ctx.fixed[1], ctx.fixed[2]};
    NormaliseConstrainedDirection(axis, fixedAxis);
    for (int k = 0; k < 3; ++k)
        centre[k] = ctx.fixed[3 + k] ? ctx.centre[k] : ctx.centreScale[k].Unpack(x[i++]);
    radius = ctx.fixed[6] ? ctx.radius : std::fabs(x[i++]);
}

// Mean squared distance of the active points from the circle in space: the
// radial error in the circle's plane and the distance from that plane. The
// radial error alone lets a tilted axis fold the points' spread along the
// axis into the plane and score better than the true axis.
double ConstrainedCircleObjective(const cDoubleVector& x, void* context)
{
    const auto* ctx = static_cast<const ConstrainedCircleContext*>(context);
    double axis[3], centre[3], radius;
    RebuildConstrainedCircle(*ctx, x, axis, centre, radius);
    double frame[12];
    BuildAxisFrame(frame, axis, ctx->reference);
    double c[3];
    MapIntoFrame(frame, centre, c);
    double sum = 0.0;
    std::uint64_t count = 0;
    for (const stFitPoint& p : ctx->fit->Points())
    {
        if (!p.active)
            continue;
        double q[3], local[3];
        FitPointPosition(p, q);
        MapIntoFrame(frame, q, local);
        const double radial = Distance2d(local[0], local[1], c[0], c[1]) - radius;
        const double axial = local[2] - c[2];
        sum += radial * radial + axial * axial;
        ++count;
    }
    return count ? sum / double(count) : kNoFitError;
}

double ClampedAcos(double v) { return std::acos(std::clamp(v, -1.0, 1.0)); }

// Runs a fit on a scratch circle: a pass that fails must not leave a
// half-trimmed circle in the caller's hands.
template <class Fit> bool WriteCircleOnSuccess(double centreOut[3], double& radiusOut, Fit fit)
{
    double centre[3] = {0.0, 0.0, 0.0};
    double radius = 0.0;
    if (!fit(centre, radius))
        return false;
    std::copy(centre, centre + 3, centreOut);
    radiusOut = radius;
    return true;
}

} // namespace

void BuildAxisFrame(double worldToLocal[12], const double axis[3], const double point[3])
{
    MakeIdentity3x4(worldToLocal);
    const double z[3] = {0.0, 0.0, 1.0};
    double c[3];
    Cross3d(axis, z, c);
    if (Dot3d(c, c) > kFltEpsilon)
    {
        NormaliseVector3d(c);
        RotationMatrixAxisAngle(worldToLocal, std::acos(std::clamp(axis[2], -1.0, 1.0)), c);
    }
    for (int r = 0; r < 3; ++r)
    {
        const double* row = worldToLocal + 4 * r;
        worldToLocal[4 * r + 3] = -(row[0] * point[0] + row[1] * point[1] + row[2] * point[2]);
    }
}

void MapIntoFrame(const double m[12], const double world[3], double local[3])
{
    double out[3];
    for (int r = 0; r < 3; ++r)
        out[r] = m[4 * r] * world[0] + m[4 * r + 1] * world[1] + m[4 * r + 2] * world[2] + m[4 * r + 3];
    std::copy(out, out + 3, local);
}

void MapOutOfFrame(const double m[12], const double local[3], double world[3])
{
    const double d[3] = {local[0] - m[3], local[1] - m[7], local[2] - m[11]};
    double out[3];
    for (int c = 0; c < 3; ++c)
        out[c] = m[c] * d[0] + m[4 + c] * d[1] + m[8 + c] * d[2];
    std::copy(out, out + 3, world);
}

cCircleFit::cCircleFit(const tFitPointQueue& points) : cFitContainer(points)
{
    MakeIdentity3x4(m_worldToLocal);
}

cCircleFit::cCircleFit(const cFitContainer& source, stShareRecords share) : cFitContainer(source, share)
{
    MakeIdentity3x4(m_worldToLocal);
}

void cCircleFit::SetWorldToLocalFrame(const double worldToLocal[12])
{
    std::copy(worldToLocal, worldToLocal + 12, m_worldToLocal);
}

double cCircleFit::SumSquaredRadialErrors(int axis, const double centre[3], double radius,
                                          std::uint64_t& count) const
{
    const int a = (axis + 1) % 3;
    const int b = (axis + 2) % 3;
    double sum = 0.0;
    count = 0;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        const double e = Distance2d(p.position[a], p.position[b], centre[a], centre[b]) - radius;
        sum += e * e;
        ++count;
    }
    return sum;
}

double cCircleFit::SumSquaredRadialErrorsInFrame(const double m[12], const double centre[2], double radius,
                                                 std::uint64_t& count) const
{
    double sum = 0.0;
    count = 0;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        double q[3], local[3];
        FitPointPosition(p, q);
        MapIntoFrame(m, q, local);
        const double e = Distance2d(local[0], local[1], centre[0], centre[1]) - radius;
        sum += e * e;
        ++count;
    }
    return sum;
}

double cCircleFit::StoreResiduals(const double centre[3], double radius, std::uint64_t& count)
{
    double sum = 0.0;
    count = 0;
    for (stFitPoint& p : Points())
    {
        const double e = Distance2d(p.position[0], p.position[1], centre[0], centre[1]) - radius;
        p.residual = e * e;
        if (p.active)
        {
            sum += p.residual;
            ++count;
        }
    }
    return count ? sum / double(count) : kNoFitError;
}

double cCircleFit::StoreResidualsInFrame(const double m[12], const double centre[2], double radius,
                                         std::uint64_t& count)
{
    double sum = 0.0;
    count = 0;
    for (stFitPoint& p : Points())
    {
        double q[3], local[3];
        FitPointPosition(p, q);
        MapIntoFrame(m, q, local);
        const double e = Distance2d(local[0], local[1], centre[0], centre[1]) - radius;
        p.residual = e * e;
        if (p.active)
        {
            sum += p.residual;
            ++count;
        }
    }
    return count ? sum / double(count) : kNoFitError;
}

std::uint64_t cCircleFit::KeepWithinResidual(double threshold)
{
    std::uint64_t switchedOff = 0;
    for (stFitPoint& p : Points())
    {
        p.active = p.residual <= threshold ? 1 : 0;
        if (!p.active)
            ++switchedOff;
    }
    SetActiveCount(Points().size() - switchedOff);
    return ActiveCount();
}

bool cCircleFit::Fit(double centre[3], double& radius) const
{
    const std::uint64_t active = CountActive();
    if (active < 3)
        return false;
    if (active == 3)
    {
        double q[3][3];
        FirstThreeActive(*this, q);
        for (auto& p : q)
            p[2] = 0.0;
        return Circumcircle(q, centre, radius);
    }
    double m[3];
    GetMeanPosition(m);
    cNormalEquations system(3);
    if (!system.IsAllocated())
        return false;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        const double du = p.position[0] - m[0];
        const double dv = p.position[1] - m[1];
        const double row[3] = {2.0 * du, 2.0 * dv, 1.0};
        system.AddRow(row, du * du + dv * dv);
    }
    cDoubleVector x;
    if (!SolveNormalEquations(system, x, 1e-10))
        return false;
    const double s = x[0] * x[0] + x[1] * x[1] + x[2];
    if (s < 0.0)
        return false;
    const double r = std::sqrt(s);
    if (r < DBL_EPSILON || !std::isfinite(r))
        return false;
    centre[0] = m[0] + x[0];
    centre[1] = m[1] + x[1];
    centre[2] = 0.0;
    radius = r;
    return true;
}

bool cCircleFit::Refine(double centre[3], double& radius)
{
    m_axis = 2;
    cDoubleVector x(3);
    if (x.GetCount() != 3)
        return false;
    double centroid[3];
    const double spread = ActivePointSpread(*this, centroid);
    RefineXYContext context{this, {{centre[0], spread}, {centre[1], spread}}};
    x[0] = context.centre[0].Pack(centre[0]);
    x[1] = context.centre[1].Pack(centre[1]);
    x[2] = radius;
    // Many records: a step's candidates are measured side by side, which
    // visits the same points and ends where one after another would, by a
    // team of the pool's threads kept for the whole search (handing each
    // step's few candidates to the pool anew cost about 100 us of waking
    // its threads and waiting for them). What the search throws is thrown
    // here, on the caller's thread.
    std::uint32_t minimised = 0;
    if (Points().size() >= kRefineSideBySideFrom && SharedThreadPool() != nullptr)
    {
        std::exception_ptr thrown;
        auto lead = [&](cPoolTeam& team) {
            context.team = &team;
            try
            {
                minimised = MinimiseSimplexBatched(x, RefineXYObjectives, &context, 1e-6, 500, 0.00025f);
            }
            catch (...)
            {
                thrown = std::current_exception();
            }
            context.team = nullptr;
        };
        // A step's candidates are four but for the first simplex's seven.
        RunWithPoolTeam(SharedThreadPool(), std::size_t{3}, lead);
        if (thrown)
            std::rethrow_exception(thrown);
    }
    else
        minimised = MinimiseSimplex(x, RefineXYObjective, &context, 1e-6, 500, 0.00025f);
    if (minimised == 0)
        return false;
    const double result[3] = {context.centre[0].Unpack(x[0]), context.centre[1].Unpack(x[1]), std::fabs(x[2])};
    if (!AllFinite(result, 3))
        return false;
    centre[0] = result[0];
    centre[1] = result[1];
    centre[2] = 0.0;
    radius = result[2];
    return true;
}

double cCircleFit::RmsInPlane(const double centre[3], double radius) const
{
    std::uint64_t count = 0;
    const double sum = SumSquaredRadialErrors(2, centre, radius, count);
    return count ? std::sqrt(sum / double(count)) : kNoFitError;
}

bool cCircleFit::TrimmingPasses(double centre[3], double& radius, double rms, double targetRms,
                                std::uint64_t minActive)
{
    int passes = 0;
    double threshold;
    do
    {
        threshold = 1.5 * rms;
        std::uint64_t count = 0;
        // The residuals are squared errors: compared with the squared
        // threshold, so the trimming means the same at every scale.
        StoreResiduals(centre, radius, count);
        KeepWithinResidual(threshold * threshold);
        if (!Fit(centre, radius))
            return false;
        rms = RmsInPlane(centre, radius);
        ++passes;
    } while (rms > targetRms && passes <= 15 && rms < threshold && ActiveCount() > minActive);
    return Refine(centre, radius);
}

bool cCircleFit::FitRobust(double centreOut[3], double& radiusOut, double targetRms)
{
    return WriteCircleOnSuccess(centreOut, radiusOut, [&](double c[3], double& r) {
        return FitRobustInPlace(c, r, targetRms);
    });
}

bool cCircleFit::FitRobustInPlace(double centre[3], double& radius, double targetRms)
{
    ActivateAllPoints();
    if (!Fit(centre, radius))
        return false;
    Refine(centre, radius);
    const double rms = RmsInPlane(centre, radius);
    if (targetRms >= rms)
        return true;
    return TrimmingPasses(centre, radius, rms, targetRms, 15);
}

bool cCircleFit::FitConsensus(double centreOut[3], double& radiusOut, double tolerance)
{
    return WriteCircleOnSuccess(centreOut, radiusOut, [&](double c[3], double& r) {
        return FitConsensusInPlace(c, r, tolerance);
    });
}

bool cCircleFit::FitConsensusInPlace(double centre[3], double& radius, double tolerance)
{
    ActivateAllPoints();
    const std::size_t n = Points().size();
    if (n <= 3)
    {
        if (!Fit(centre, radius))
            return false;
        return Refine(centre, radius);
    }
    const std::size_t g = std::min<std::size_t>((n - 3) / 2, 10);
    std::size_t i0 = 0;
    std::size_t i1 = (g + 1) % n;
    std::size_t i2 = (i1 + g + 1) % n;
    // A distance; the stored residuals are squared distances.
    const double threshold = 5.0 * tolerance;
    std::uint64_t bestCount = 0;
    double bestCentre[3] = {0.0, 0.0, 0.0};
    double bestRadius = 0.0;
    for (std::size_t trial = 0; trial < n; ++trial)
    {
        tFitPointQueue triple;
        for (std::size_t index : {i0, i1, i2})
        {
            stFitPoint p = Points()[index];
            p.normal[0] = 1.0f;
            p.normal[1] = p.normal[2] = 0.0f;
            p.active = 1;
            p.residual = kNoFitError;
            triple.push_back(p);
        }
        cCircleFit candidate(triple);
        double c[3];
        double r;
        if (candidate.Fit(c, r))
        {
            ActivateAllPoints();
            std::uint64_t count = 0;
            StoreResiduals(c, r, count);
            const std::uint64_t inliers = KeepWithinResidual(threshold * threshold);
            if (inliers > bestCount)
            {
                bestCount = inliers;
                std::copy(c, c + 3, bestCentre);
                bestRadius = r;
            }
        }
        i0 += 1;
        i1 = (i1 + 1) % n;
        i2 = (i2 + 1) % n;
    }
    // No triple gave a circle with a single inlier: there is no consensus to
    // start from.
    if (bestCount == 0)
    {
        ActivateAllPoints();
        return false;
    }
    ActivateAllPoints();
    std::uint64_t count = 0;
    StoreResiduals(bestCentre, bestRadius, count);
    KeepWithinResidual(threshold * threshold);
    if (!Fit(centre, radius))
        return false;
    const double rms = RmsInPlane(centre, radius);
    if (tolerance >= rms)
        return true;
    return TrimmingPasses(centre, radius, rms, tolerance, 25);
}

void cCircleFit::GetArcEnds(const double centre[3], double radius, double middle[3], double start[3],
                            double end[3]) const
{
    double mean[3];
    GetMeanPosition(mean);
    ArcEnds(
        Points().size(), [&](std::size_t i, double p[3]) { FitPointPosition(Points()[i], p); }, mean, centre,
        radius, middle, start, end);
}

bool cCircleFit::FitInFrame(const double m[12], double centre[3], double& radius) const
{
    cNormalEquations system(3);
    if (!system.IsAllocated())
        return false;
    // The rows (x, y, 1) with targets -(x^2 + y^2), added as AddRow adds
    // them, in the records' order, into sums kept in locals (so that they
    // stay in registers): a product by 1 is the other factor, and the matrix
    // is symmetric to the bit (x y and y x are the same product).
    double xx = 0.0, xy = 0.0, x1 = 0.0, yy = 0.0, y1 = 0.0, ones = 0.0, wx = 0.0, wy = 0.0, w1 = 0.0;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        double q[3], local[3];
        FitPointPosition(p, q);
        MapIntoFrame(m, q, local);
        const double x = local[0], y = local[1], w = -(x * x + y * y);
        xx += x * x, xy += x * y, x1 += x, yy += y * y, y1 += y, ones += 1.0;
        wx += w * x, wy += w * y, w1 += w;
    }
    const double sums[3][3] = {{xx, xy, x1}, {xy, yy, y1}, {x1, y1, ones}};
    for (std::uint32_t i = 0; i < 3; ++i)
        for (std::uint32_t j = 0; j < 3; ++j)
            system.A(i, j) = sums[i][j];
    system.b[0] = wx, system.b[1] = wy, system.b[2] = w1;
    cDoubleVector x;
    if (!SolveNormalEquations(system, x, 1e-10))
        return false;
    const double s = x[0] * x[0] + x[1] * x[1] - 4.0 * x[2];
    if (s < 0.0)
        return false;
    const double r = 0.5 * std::sqrt(s);
    if (r < DBL_EPSILON || !std::isfinite(r))
        return false;
    const double local[3] = {-x[0] / 2.0, -x[1] / 2.0, 0.0};
    double world[3];
    MapOutOfFrame(m, local, world);
    if (!AllFinite(world, 3))
        return false;
    std::copy(world, world + 3, centre);
    radius = r;
    return true;
}

double CircleRMSInFrame(const cCircleFit& fit, const double axis[3], const double point[3], const double centre[3],
                        double radius)
{
    double frame[12];
    BuildAxisFrame(frame, axis, point);
    double local[3];
    MapIntoFrame(frame, centre, local);
    std::uint64_t count = 0;
    const double sum = fit.SumSquaredRadialErrorsInFrame(frame, local, radius, count);
    return count ? std::sqrt(sum / double(count)) : kNoFitError;
}

bool FitCircle3D(cCircleFit& fit, double axis[3], double centre[3], double& radius)
{
    double mean[3];
    return FitCircle3D(fit, axis, centre, radius, mean);
}

bool FitCircle3D(cCircleFit& fit, double axis[3], double centre[3], double& radius, double recordsMean[3])
{
    const std::uint64_t active = fit.CountActive();
    if (active < 3)
        return false;
    if (active == 3)
    {
        double q[3][3];
        FirstThreeActive(fit, q);
        double c[3];
        double r;
        if (!Circumcircle(q, c, r))
            return false;
        double e1[3], e2[3], n[3];
        for (int k = 0; k < 3; ++k)
        {
            e1[k] = q[1][k] - q[0][k];
            e2[k] = q[2][k] - q[0][k];
        }
        Cross3d(e1, e2, n);
        NormaliseVector3d(n);
        std::copy(n, n + 3, axis);
        std::copy(c, c + 3, centre);
        radius = r;
        fit.GetMeanPosition(recordsMean);
        return true;
    }
    double n[3];
    double d;
    // The plane is fitted to every record active, as OnAllRecords does it
    // (the records in place when the count above found them all active,
    // else an activated copy of them all) without counting them again, so
    // its centroid is the mean position of every record (GetMeanPosition's
    // sums): a whole scan's records are not read again for either.
    double mean[3];
    const auto fitPlane = [&](const cPlaneFit& plane) { return plane.Fit(n, d, mean); };
    if (!(active == fit.Points().size() ? fitPlane(cPlaneFit(fit, kShareRecords)) : fitPlane(cPlaneFit(fit.Points()))))
        return false;
    const double meanOfAll[3] = {mean[0], mean[1], mean[2]};
    const double h = Dot3d(n, mean) + d;
    for (int k = 0; k < 3; ++k)
        mean[k] -= h * n[k];
    double frame[12];
    BuildAxisFrame(frame, n, mean);
    fit.SetWorldToLocalFrame(frame);
    double c[3];
    double r;
    if (!fit.FitInFrame(frame, c, r))
        return false;
    std::copy(n, n + 3, axis);
    std::copy(c, c + 3, centre);
    radius = r;
    std::copy(meanOfAll, meanOfAll + 3, recordsMean);
    return true;
}

bool FitCircleAcrossAxis(cCircleFit& fit, const double axis[3], double offset, double centre[3], double& radius)
{
    const std::uint64_t active = fit.CountActive();
    if (active < 3)
        return false;
    if (active == 3)
    {
        double q[3][3];
        FirstThreeActive(fit, q);
        for (auto& p : q)
        {
            const double h = Dot3d(axis, p) + offset;
            for (int k = 0; k < 3; ++k)
                p[k] -= h * axis[k];
        }
        return Circumcircle(q, centre, radius);
    }
    // The frame's origin is the points' mean moved into the plane, not the
    // plane's point nearest the world origin: the squared local coordinates
    // of the algebraic fit lose the circle to round-off when the part lies
    // far from the origin.
    double point[3];
    fit.GetMeanPosition(point);
    const double h = Dot3d(axis, point) + offset;
    for (int k = 0; k < 3; ++k)
        point[k] -= h * axis[k];
    double frame[12];
    BuildAxisFrame(frame, axis, point);
    fit.SetWorldToLocalFrame(frame);
    return fit.FitInFrame(frame, centre, radius);
}

bool RefineCircleInFrame(cCircleFit& fit, const double axis[3], const double point[3], double centre[3],
                         double& radius)
{
    double frame[12];
    BuildAxisFrame(frame, axis, point);
    fit.SetWorldToLocalFrame(frame);
    double local[3];
    MapIntoFrame(frame, centre, local);
    cDoubleVector x(3);
    if (x.GetCount() != 3)
        return false;
    x[0] = local[0];
    x[1] = local[1];
    x[2] = radius;
    if (MinimiseSimplex(x, RefineInFrameObjective, &fit, 1e-6, 500, 0.00025f) == 0)
        return false;
    const double resultLocal[3] = {x[0], x[1], 0.0};
    double world[3];
    MapOutOfFrame(frame, resultLocal, world);
    const double r = std::fabs(x[2]);
    if (!AllFinite(world, 3) || !std::isfinite(r))
        return false;
    std::copy(world, world + 3, centre);
    radius = r;
    return true;
}

bool FitConstrainedCircle3D(cCircleFit& fit, double axis[3], double centre[3], double& radius,
                            const std::uint8_t fixed[7])
{
    ConstrainedCircleContext ctx{};
    ctx.fit = &fit;
    bool fixedAxis[3] = {fixed[0] != 0, fixed[1] != 0, fixed[2] != 0};
    double given[3] = {axis[0], axis[1], axis[2]};
    NormaliseConstrainedDirection(given, fixedAxis);
    for (int k = 0; k < 3; ++k)
    {
        ctx.axis[k] = given[k];
        ctx.fixed[k] = fixedAxis[k];
        ctx.centre[k] = centre[k];
        ctx.fixed[3 + k] = fixed[3 + k] != 0;
    }
    ctx.radius = radius;
    ctx.fixed[6] = fixed[6] != 0;
    std::uint32_t freeCount = 0;
    for (bool f : ctx.fixed)
        if (!f)
            ++freeCount;
    if (freeCount == 0)
    {
        std::copy(given, given + 3, axis);
        return true;
    }

    double estimateAxis[3], estimateCentre[3], estimateRadius;
    const bool estimated = FitCircle3D(fit, estimateAxis, estimateCentre, estimateRadius);
    cDoubleVector x(freeCount);
    if (x.GetCount() != freeCount)
        return false;
    double centroid[3];
    // The centre of a short arc is only known to a share of the circle's
    // size, not of the arc's spread: the larger of the two is the unit.
    const double startRadius = std::fabs(estimated ? estimateRadius : radius);
    const double spread = std::max(ActivePointSpread(fit, centroid), std::isfinite(startRadius) ? startRadius : 0.0);
    std::uint32_t i = 0;
    for (int k = 0; k < 3; ++k)
        if (!ctx.fixed[k])
            x[i++] = ClampedAcos(estimated ? estimateAxis[k] : given[k]);
    for (int k = 0; k < 3; ++k)
    {
        ctx.centreScale[k] = stSimplexLength{estimated ? estimateCentre[k] : centre[k], spread};
        if (!ctx.fixed[3 + k])
            x[i++] = ctx.centreScale[k].Pack(ctx.centreScale[k].start);
    }
    if (!ctx.fixed[6])
        x[i++] = estimated ? estimateRadius : radius;

    fit.GetMeanPosition(ctx.reference);
    if (MinimiseSimplex(x, ConstrainedCircleObjective, &ctx, 1e-6, 1000, 0.00025f) == 0)
        return false;
    double a[3], c[3], r;
    RebuildConstrainedCircle(ctx, x, a, c, r);
    if (!AllFinite(a, 3) || !AllFinite(c, 3) || !std::isfinite(r))
        return false;
    std::copy(a, a + 3, axis);
    std::copy(c, c + 3, centre);
    radius = r;
    return true;
}

void GetArcEndsInFrame(const cCircleFit& fit, const double axis[3], const double centre[3], double radius,
                       double middle[3], double start[3], double end[3])
{
    double mean[3];
    fit.GetMeanPosition(mean);
    GetArcEndsInFrame(fit, axis, centre, radius, mean, middle, start, end);
}

void GetArcEndsInFrame(const cCircleFit& fit, const double axis[3], const double centre[3], double radius,
                       const double mean[3], double middle[3], double start[3], double end[3])
{
    double frame[12];
    BuildAxisFrame(frame, axis, centre);
    double localMean[3];
    MapIntoFrame(frame, mean, localMean);
    localMean[2] = 0.0;
    const double localCentre[3] = {0.0, 0.0, 0.0};
    double m[3], s[3], e[3];
    const auto& points = fit.Points();
    ArcEnds(
        points.size(),
        [&](std::size_t i, double p[3]) {
            double q[3];
            FitPointPosition(points[i], q);
            MapIntoFrame(frame, q, p);
            p[2] = 0.0;
        },
        localMean, localCentre, radius, m, s, e);
    MapOutOfFrame(frame, m, middle);
    MapOutOfFrame(frame, s, start);
    MapOutOfFrame(frame, e, end);
}
