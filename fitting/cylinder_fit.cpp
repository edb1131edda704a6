#include "fitting/cylinder_fit.h"

#include "core/simplex_minimiser.h"
#include "core/vector_math.h"
#include "fitting/circle_fit.h"
#include "fitting/cylinder_refiner.h"
#include "fitting/plane_fit.h"
#include "fitting/radial_error_pass.h"
#include "fitting/simplex_scale.h"
#include "fitting/square_matrix.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

namespace
{

constexpr double kFltEpsilon = 1.1920928955078125e-07;

double ClampedAcos(double v) { return std::acos(std::clamp(v, -1.0, 1.0)); }

// Index of the pair (p, q) in the off-diagonal coefficients Q4, Q5, Q6.
double OffDiagonal(const cDoubleVector& q, int p, int r)
{
    const int lo = std::min(p, r);
    const int hi = std::max(p, r);
    if (lo == 0 && hi == 1)
        return q[3];
    if (lo == 0 && hi == 2)
        return q[4];
    return q[5];
}

// Reads the axis direction and the quadric scale from the coefficients.
bool AxisFromQuadric(const cDoubleVector& q, double axis[3], double& scale)
{
    const double diag[3] = {q[0], q[1], q[2]};
    int i = 0;
    if (std::fabs(diag[1]) < std::fabs(diag[i]))
        i = 1;
    if (std::fabs(diag[2]) < std::fabs(diag[i]))
        i = 2;
    int j = 0;
    if (std::fabs(diag[1]) > std::fabs(diag[j]))
        j = 1;
    if (std::fabs(diag[2]) > std::fabs(diag[j]))
        j = 2;
    if (i == j) // all three equal: no direction stands out
        j = (i + 1) % 3;
    const int k = 3 - i - j;
    const double oik = OffDiagonal(q, i, k);
    const double ojk = OffDiagonal(q, j, k);
    const double oij = OffDiagonal(q, i, j);
    const double den = ojk * ojk * diag[i] - oik * oik * diag[j];
    axis[0] = axis[1] = axis[2] = 0.0;
    // den is cubic in the coefficients, which scale with 1 / radius^2: the
    // test against FLT_EPSILON is made on coefficients scaled to a largest
    // diagonal of 1, so that it means the same for a cylinder of radius 1 and
    // one of radius 100 (an absolute test sends every cylinder wider than a
    // few units down the coordinate-axis branch).
    const double size = std::fabs(diag[j]);
    bool degenerate = std::fabs(den) <= kFltEpsilon * size * size * size ||
                      (diag[i] - diag[j]) * oik * oik / den < 0.0;
    if (!degenerate)
    {
        const double ai = std::sqrt((diag[i] - diag[j]) * oik * oik / den);
        // An axis component of 0 or 1 leaves the other two undetermined by
        // these ratios: fall back to the axis along coordinate i.
        if (ai < kFltEpsilon || std::fabs(1.0 - ai * ai) < kFltEpsilon)
        {
            degenerate = true;
        }
        else
        {
            const double si = diag[i] / (1.0 - ai * ai);
            axis[i] = ai;
            axis[j] = oij / (si * ai);
            axis[k] = oik / (si * ai);
            scale = (diag[j] / (1.0 - axis[j] * axis[j]) + si + diag[k] / (1.0 - axis[k] * axis[k])) / 3.0;
        }
    }
    if (degenerate)
    {
        axis[0] = axis[1] = axis[2] = 0.0;
        axis[i] = 1.0;
        scale = (diag[k] + diag[j]) / 2.0;
    }
    NormaliseVector3d(axis);
    return AllFinite(axis, 3) && std::isfinite(scale) && scale != 0.0;
}

// The axis point nearest the origin (the data's mean): (a a^T - I) c = g is
// singular along the axis, so the solution is taken in the plane
// perpendicular to it, where a a^T - I is minus the identity. Any other
// solve of the singular system lets a round-off pivot throw the point far
// along the axis.
void AxisPointFromQuadric(const double a[3], const double g[3], double c[3])
{
    const double ga = Dot3d(g, a);
    for (int k = 0; k < 3; ++k)
        c[k] = -(g[k] - ga * a[k]);
}

// Direction from the cosines of three parameters, normalised unless it is
// too small to have one.
void DirectionFromAngles(const double angles[3], double direction[3])
{
    for (int k = 0; k < 3; ++k)
        direction[k] = std::cos(angles[k]);
    NormaliseVector3d(direction);
}

// The points and the pool an objective sums over.
struct stErrorPass
{
    const cPackedFitPoints* points;
    cThreadPool* pool;
};

// The axis point's coordinates go to the minimiser measured from their start
// in units of the points' spread (simplex_scale.h), so that its first steps
// are the same share of the part wherever the part lies: as they stand, a
// part at the origin got next to no step along some coordinates and a small
// part far out steps of a good part of its size.
void AxisPointScales(const cPackedFitPoints& points, cThreadPool* pool, const double start[3],
                     stSimplexLength scales[3])
{
    const double spread = PackedPointSpread(points, pool, start);
    for (int k = 0; k < 3; ++k)
        scales[k] = {start[k], spread};
}

struct stOptimiseContext
{
    stErrorPass pass;
    stSimplexLength point[3];
};

double OptimiseObjective(const cDoubleVector& x, void* context)
{
    const auto* ctx = static_cast<const stOptimiseContext*>(context);
    const double point[3] = {ctx->point[0].Unpack(x[0]), ctx->point[1].Unpack(x[1]), ctx->point[2].Unpack(x[2])};
    const double angles[3] = {x[3], x[4], x[5]};
    double direction[3];
    DirectionFromAngles(angles, direction);
    return SumSquaredRadialErrors(*ctx->pass.points, point, direction, std::fabs(x[6]), ctx->pass.pool);
}

struct ConstrainedCylinderContext
{
    stErrorPass pass;
    double point[3];
    double direction[3];
    double radius;
    bool open[7];
    stSimplexLength openPoint[3];
};

void RebuildConstrainedCylinder(const ConstrainedCylinderContext& ctx, const cDoubleVector& x, double point[3],
                                double direction[3], double& radius)
{
    std::uint32_t i = 0;
    radius = ctx.open[6] ? std::fabs(x[i++]) : ctx.radius;
    bool fixed[3];
    for (int k = 0; k < 3; ++k)
    {
        direction[k] = ctx.open[k] ? std::cos(x[i++]) : ctx.direction[k];
        fixed[k] = !ctx.open[k];
    }
    NormaliseConstrainedDirection(direction, fixed);
    for (int k = 0; k < 3; ++k)
        point[k] = ctx.open[3 + k] ? ctx.openPoint[k].Unpack(x[i++]) : ctx.point[k];
}

double ConstrainedObjective(const cDoubleVector& x, void* context)
{
    const auto* ctx = static_cast<const ConstrainedCylinderContext*>(context);
    double point[3], direction[3], radius;
    RebuildConstrainedCylinder(*ctx, x, point, direction, radius);
    return SumSquaredRadialErrors(*ctx->pass.points, point, direction, radius, ctx->pass.pool);
}

// Scatter of the points about their mean, and the sum of squared distances
// from it.
struct stScatterSums
{
    double spread = 0.0;
    double s[6] = {}; // xx, xy, xz, yy, yz, zz
    stScatterSums& operator+=(const stScatterSums& o)
    {
        spread += o.spread;
        for (int k = 0; k < 6; ++k)
            s[k] += o.s[k];
        return *this;
    }
};

// The quadric's 9 x 9 normal equations: upper triangle and right-hand side.
struct stQuadricSums
{
    double A[45] = {};
    double b[9] = {};
    stQuadricSums& operator+=(const stQuadricSums& o)
    {
        for (int k = 0; k < 45; ++k)
            A[k] += o.A[k];
        for (int k = 0; k < 9; ++k)
            b[k] += o.b[k];
        return *this;
    }
};

// Starts of the geometric refinement are compared on an even subsample of
// this many points when there are more: a start about a wrong axis can take
// a hundred steps to settle in a poor minimum, which costs little on a few
// thousand points. The good starts are then finished on every point.
constexpr std::size_t kStartSubsample = 2048;
// A start settled within this factor of the best one's cost on the
// subsample is finished on every point too.
constexpr double kStartCostFactor = 2.0;

struct stCylinderCandidate
{
    double c[3];
    double a[3];
    double r;
    double cost;
};

// Two starts that settled on the same cylinder of the subsample (to the
// refinement's own precision, in the unit-spread coordinates) finish on the
// same cylinder of all the points: finish only the first.
bool SameCylinder(const stCylinderCandidate& p, const stCylinderCandidate& q)
{
    constexpr double kSame = 1e-6;
    double dc = 0.0;
    for (int k = 0; k < 3; ++k)
        dc = std::max(dc, std::fabs(p.c[k] - q.c[k]));
    return std::fabs(Dot3d(p.a, q.a)) > 1.0 - kSame * kSame && dc < kSame && std::fabs(p.r - q.r) < kSame;
}

bool EstimatePacked(const cPackedFitPoints& packed, const double m[3], cThreadPool* pool, double point[3],
                    double direction[3], double& radius)
{
    // The quadric is fitted about the mean and at unit spread, so neither
    // where the part lies nor its units change the estimate.
    const float* px = packed.X();
    const float* py = packed.Y();
    const float* pz = packed.Z();
    const stScatterSums scatterSums =
        SumPackedBlocks<stScatterSums>(packed, pool, [&](std::size_t begin, std::size_t end, stScatterSums& out) {
            for (std::size_t i = begin; i < end; ++i)
            {
                const double d0 = px[i] - m[0], d1 = py[i] - m[1], d2 = pz[i] - m[2];
                out.spread += d0 * d0 + d1 * d1 + d2 * d2;
                out.s[0] += d0 * d0;
                out.s[1] += d0 * d1;
                out.s[2] += d0 * d2;
                out.s[3] += d1 * d1;
                out.s[4] += d1 * d2;
                out.s[5] += d2 * d2;
            }
        });
    const double spread = std::sqrt(scatterSums.spread / double(packed.Count()));
    if (!(spread > 0.0) || !std::isfinite(spread))
        return false;
    const double invSpread = 1.0 / spread;
    const stQuadricSums quadric =
        SumPackedBlocks<stQuadricSums>(packed, pool, [&](std::size_t begin, std::size_t end, stQuadricSums& out) {
            for (std::size_t i = begin; i < end; ++i)
            {
                const float x = static_cast<float>((px[i] - m[0]) * invSpread);
                const float y = static_cast<float>((py[i] - m[1]) * invSpread);
                const float z = static_cast<float>((pz[i] - m[2]) * invSpread);
                const double row[9] = {x * x, y * y, z * z, -2.0f * x * y, -2.0f * x * z, -2.0f * y * z,
                                       2.0f * x, 2.0f * y, 2.0f * z};
                double* a = out.A;
                for (int p = 0; p < 9; ++p)
                {
                    for (int q = p; q < 9; ++q)
                        *a++ += row[p] * row[q];
                    out.b[p] += row[p];
                }
            }
        });
    cNormalEquations system(9);
    cSquareMatrix scatter(3);
    if (!system.IsAllocated() || !scatter.IsAllocated())
        return false;
    {
        const double* a = quadric.A;
        for (std::uint32_t p = 0; p < 9; ++p)
        {
            for (std::uint32_t q = p; q < 9; ++q)
                system.A(p, q) = system.A(q, p) = *a++;
            system.b[p] = quadric.b[p];
        }
        constexpr int kUpper3[3][3] = {{0, 1, 2}, {1, 3, 4}, {2, 4, 5}};
        for (std::uint32_t i = 0; i < 3; ++i)
            for (std::uint32_t j = 0; j < 3; ++j)
                scatter(i, j) = scatterSums.s[kUpper3[i][j]];
    }
    cDoubleVector q;
    if (!SolveGaussJordan(system, q, 1e-10))
        return false;
    double axis[3];
    double scale = 0.0;
    if (!AxisFromQuadric(q, axis, scale))
        return false;
    const double g[3] = {q[6] / scale, q[7] / scale, q[8] / scale};
    double c[3];
    AxisPointFromQuadric(axis, g, c);
    double r = std::sqrt(std::fabs(Dot3d(c, c) + 1.0 / scale));
    if (!AllFinite(c, 3) || !std::isfinite(r))
        return false;

    // The algebraic distance favours some shapes over others (short arcs come
    // out far too wide, or about a wrong axis): finish on the geometric
    // distance, from the quadric's axis and from each principal direction of
    // the points (a patch's axis is one of them, roughly), and keep the best.
    const bool subsampled = packed.Count() > kStartSubsample;
    const cPackedFitPoints subsample =
        subsampled ? packed.EveryNth((packed.Count() + kStartSubsample - 1) / kStartSubsample) : cPackedFitPoints();
    const cCylinderRefiner fine(packed, m, invSpread, pool);
    const cCylinderRefiner coarse(subsampled ? subsample : packed, m, invSpread, pool);
    std::vector<stCylinderCandidate> candidates;
    auto consider = [&](const double a0[3], const double c0[3], double r0) {
        stCylinderCandidate k{{c0[0], c0[1], c0[2]}, {a0[0], a0[1], a0[2]}, r0, 0.0};
        k.cost = coarse.Refine(k.c, k.a, k.r);
        if (AllFinite(k.c, 3) && AllFinite(k.a, 3) && std::isfinite(k.r) && std::isfinite(k.cost))
            candidates.push_back(k);
    };
    consider(axis, c, r);
    cSquareMatrix vectors;
    cDoubleVector values;
    if (EigenSymmetric(scatter, vectors, values))
    {
        for (std::uint32_t e = 0; e < 3; ++e)
        {
            double a0[3] = {vectors(0, e), vectors(1, e), vectors(2, e)}, c0[3] = {0.0, 0.0, 0.0}, r0 = 0.0;
            NormaliseVector3d(a0);
            if (coarse.StartAcross(a0, c0, r0))
                consider(a0, c0, r0);
        }
    }
    if (candidates.empty())
        return false;
    std::vector<stCylinderCandidate> finished;
    if (!subsampled)
    {
        finished = candidates;
    }
    else
    {
        double lowest = candidates[0].cost;
        for (const stCylinderCandidate& k : candidates)
            lowest = std::min(lowest, k.cost);
        for (std::size_t i = 0; i < candidates.size(); ++i)
        {
            const stCylinderCandidate& k = candidates[i];
            if (k.cost > kStartCostFactor * lowest)
                continue;
            bool repeated = false;
            for (std::size_t j = 0; j < i && !repeated; ++j)
                repeated = candidates[j].cost <= kStartCostFactor * lowest && SameCylinder(candidates[j], k);
            if (repeated)
                continue;
            stCylinderCandidate f = k;
            f.cost = fine.Refine(f.c, f.a, f.r);
            if (AllFinite(f.c, 3) && AllFinite(f.a, 3) && std::isfinite(f.r) && std::isfinite(f.cost))
                finished.push_back(f);
        }
    }
    const stCylinderCandidate* best = nullptr;
    for (const stCylinderCandidate& k : finished)
        if (best == nullptr || k.cost < best->cost)
            best = &k;
    if (best == nullptr)
        return false;
    std::copy(best->c, best->c + 3, c);
    std::copy(best->a, best->a + 3, axis);
    r = best->r;
    // The dominant component of the axis is reported positive.
    int dominant = 0;
    for (int k = 1; k < 3; ++k)
        if (std::fabs(axis[k]) > std::fabs(axis[dominant]))
            dominant = k;
    const double sign = axis[dominant] < 0.0 ? -1.0 : 1.0;
    for (int k = 0; k < 3; ++k)
    {
        point[k] = c[k] * spread + m[k];
        direction[k] = sign * axis[k];
    }
    radius = r * spread;
    return true;
}

} // namespace

double cCylinderFit::SumSquaredRadialErrors(const double point[3], const double direction[3], double radius,
                                            std::uint64_t& count) const
{
    double sum = 0.0;
    count = 0;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        const double d[3] = {static_cast<float>(p.position[0] - point[0]),
                             static_cast<float>(p.position[1] - point[1]),
                             static_cast<float>(p.position[2] - point[2])};
        double c[3];
        Cross3d(d, direction, c);
        const double e = std::sqrt(Dot3d(c, c)) - radius;
        sum += e * e;
        ++count;
    }
    return sum;
}

bool cCylinderFit::Estimate(double point[3], double direction[3], double& radius, cThreadPool* pool) const
{
    if (CountActive() < 9)
        return false;
    try
    {
        const cPackedFitPoints packed(Points());
        double m[3];
        GetMeanPosition(m);
        return EstimatePacked(packed, m, pool, point, direction, radius);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}

bool cCylinderFit::Optimise(double point[3], double direction[3], double& radius, double tolerance,
                            std::int32_t budget, cThreadPool* pool) const
{
    cDoubleVector x(7);
    if (x.GetCount() != 7)
        return false;
    stOptimiseContext ctx{};
    try
    {
        const cPackedFitPoints packed(Points());
        ctx.pass = {&packed, pool};
        AxisPointScales(packed, pool, point, ctx.point);
        for (int k = 0; k < 3; ++k)
        {
            x[k] = ctx.point[k].Pack(point[k]);
            x[3 + k] = ClampedAcos(direction[k]);
        }
        x[6] = radius;
        if (MinimiseSimplex(x, OptimiseObjective, &ctx, tolerance, budget, 0.00025f) == 0)
            return false;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    const double angles[3] = {x[3], x[4], x[5]};
    double d[3];
    DirectionFromAngles(angles, d);
    const double p[3] = {ctx.point[0].Unpack(x[0]), ctx.point[1].Unpack(x[1]), ctx.point[2].Unpack(x[2])};
    const double r = std::fabs(x[6]);
    if (!AllFinite(p, 3) || !AllFinite(d, 3) || !std::isfinite(r))
        return false;
    for (int k = 0; k < 3; ++k)
    {
        point[k] = p[k];
        direction[k] = d[k];
    }
    radius = r;
    return true;
}

double cCylinderFit::GetAxisExtent(double point[3], const double direction[3], double marginFactor) const
{
    if (Points().empty())
        return 0.0;
    double tMin = kNoFitError;
    double tMax = -kNoFitError;
    for (const stFitPoint& p : Points())
    {
        double q[3];
        FitPointPosition(p, q);
        const double t = Dot3d(direction, q);
        tMin = std::min(tMin, t);
        tMax = std::max(tMax, t);
    }
    const double length = std::fabs(tMax - tMin);
    // Measured from the axis point's own projection, so the base lands at the
    // lowest point whatever point of the axis the caller passed.
    const double shift = tMin - Dot3d(direction, point) - 0.5 * marginFactor * length;
    for (int k = 0; k < 3; ++k)
        point[k] += shift * direction[k];
    return length * (1.0 + marginFactor);
}

bool FitConstrainedCylinder(cCylinderFit& fit, double point[3], double direction[3], double& radius,
                            const std::uint8_t open[7])
{
    ConstrainedCylinderContext ctx{};
    bool fixed[3] = {!open[0], !open[1], !open[2]};
    double given[3] = {direction[0], direction[1], direction[2]};
    NormaliseConstrainedDirection(given, fixed);
    std::uint32_t freeCount = 0;
    for (int k = 0; k < 7; ++k)
    {
        ctx.open[k] = open[k] != 0;
        if (k < 3)
            ctx.open[k] = !fixed[k];
        if (ctx.open[k])
            ++freeCount;
    }
    for (int k = 0; k < 3; ++k)
    {
        ctx.direction[k] = given[k];
        ctx.point[k] = point[k];
    }
    ctx.radius = radius;

    double estimatePoint[3], estimateDirection[3], estimateRadius = 0.0;
    bool estimated;
    if (fixed[0] && fixed[1] && fixed[2])
    {
        double m[3];
        fit.GetMeanPosition(m);
        cCircleFit circle(fit.Points());
        for (std::size_t i = 0; i < fit.Points().size(); ++i)
            circle.Points()[i].active = fit.Points()[i].active;
        estimated = FitCircleAcrossAxis(circle, given, -Dot3d(m, given), estimatePoint, estimateRadius);
        std::copy(given, given + 3, estimateDirection);
    }
    else
    {
        estimated = fit.Estimate(estimatePoint, estimateDirection, estimateRadius) &&
                    fit.Optimise(estimatePoint, estimateDirection, estimateRadius, 1e-5, 500);
    }
    if (freeCount == 0)
    {
        std::copy(given, given + 3, direction);
        return true;
    }
    cDoubleVector x(freeCount);
    if (x.GetCount() != freeCount)
        return false;
    try
    {
        const cPackedFitPoints packed(fit.Points());
        ctx.pass = {&packed, nullptr};
        const double startPoint[3] = {estimated ? estimatePoint[0] : point[0], estimated ? estimatePoint[1] : point[1],
                                      estimated ? estimatePoint[2] : point[2]};
        AxisPointScales(packed, nullptr, startPoint, ctx.openPoint);
        std::uint32_t i = 0;
        if (ctx.open[6])
            x[i++] = estimated ? estimateRadius : radius;
        for (int k = 0; k < 3; ++k)
            if (ctx.open[k])
                x[i++] = ClampedAcos(estimated ? estimateDirection[k] : given[k]);
        for (int k = 0; k < 3; ++k)
            if (ctx.open[3 + k])
                x[i++] = ctx.openPoint[k].Pack(startPoint[k]);
        if (MinimiseSimplex(x, ConstrainedObjective, &ctx, 1e-9, 1000, 0.00025f) == 0)
            return false;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    double p[3], d[3], r;
    RebuildConstrainedCylinder(ctx, x, p, d, r);
    if (!AllFinite(p, 3) || !AllFinite(d, 3) || !std::isfinite(r))
        return false;
    std::copy(p, p + 3, point);
    std::copy(d, d + 3, direction);
    radius = r;
    return true;
}
