#include "fitting/cylinder_fit.h"

#include "core/simplex_minimiser.h"
#include "core/vector_math.h"
#include "fitting/circle_fit.h"
#include "fitting/plane_fit.h"
#include "fitting/square_matrix.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

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

// Solves (a a^T - I) c = g for the axis point relative to the mean.
bool AxisPointFromQuadric(const double a[3], const double g[3], double c[3])
{
    const double ax2 = a[0] * a[0], ay2 = a[1] * a[1], az2 = a[2] * a[2];
    if (std::fabs(1.0 - ax2) < kFltEpsilon)
    {
        const double det = 1.0 - ay2 - az2;
        c[0] = 0.0;
        c[1] = ((az2 - 1.0) * g[1] - g[2] * a[1] * a[2]) / det;
        c[2] = ((ay2 - 1.0) * g[2] - g[1] * a[1] * a[2]) / det;
    }
    else if (std::fabs(1.0 - ay2) < kFltEpsilon)
    {
        const double det = 1.0 - ax2 - az2;
        c[1] = 0.0;
        c[0] = ((az2 - 1.0) * g[0] - g[2] * a[0] * a[2]) / det;
        c[2] = ((ax2 - 1.0) * g[2] - g[0] * a[0] * a[2]) / det;
    }
    else if (std::fabs(1.0 - az2) < kFltEpsilon)
    {
        const double det = 1.0 - ax2 - ay2;
        c[2] = 0.0;
        c[0] = ((ay2 - 1.0) * g[0] - g[1] * a[0] * a[1]) / det;
        c[1] = ((ax2 - 1.0) * g[1] - g[0] * a[0] * a[1]) / det;
    }
    else
    {
        cNormalEquations system(3);
        if (!system.IsAllocated())
            return false;
        for (int r = 0; r < 3; ++r)
        {
            for (int s = 0; s < 3; ++s)
                system.A(r, s) = a[r] * a[s] - (r == s ? 1.0 : 0.0);
            system.b[r] = g[r];
        }
        cDoubleVector x;
        if (SolveGaussJordan(system, x, 1e-10))
        {
            c[0] = x[0];
            c[1] = x[1];
            c[2] = x[2];
        }
        else
        {
            cDoubleVector rhs(3);
            if (rhs.GetCount() != 3)
                return false;
            for (int r = 0; r < 3; ++r)
                rhs[r] = g[r];
            if (!SolveSVD(system.A, rhs, kFltEpsilon))
                return false;
            c[0] = rhs[0];
            c[1] = rhs[1];
            c[2] = rhs[2];
        }
    }
    return AllFinite(c, 3);
}

// Direction from the cosines of three parameters, normalised unless it is
// too small to have one.
void DirectionFromAngles(const double angles[3], double direction[3])
{
    for (int k = 0; k < 3; ++k)
        direction[k] = std::cos(angles[k]);
    NormaliseVector3d(direction);
}

double OptimiseObjective(const cDoubleVector& x, void* context)
{
    const auto* fit = static_cast<const cCylinderFit*>(context);
    const double point[3] = {x[0], x[1], x[2]};
    const double angles[3] = {x[3], x[4], x[5]};
    double direction[3];
    DirectionFromAngles(angles, direction);
    std::uint64_t count = 0;
    return fit->SumSquaredRadialErrors(point, direction, std::fabs(x[6]), count);
}

struct ConstrainedCylinderContext
{
    const cCylinderFit* fit;
    double point[3];
    double direction[3];
    double radius;
    bool open[7];
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
        point[k] = ctx.open[3 + k] ? x[i++] : ctx.point[k];
}

double ConstrainedObjective(const cDoubleVector& x, void* context)
{
    const auto* ctx = static_cast<const ConstrainedCylinderContext*>(context);
    double point[3], direction[3], radius;
    RebuildConstrainedCylinder(*ctx, x, point, direction, radius);
    std::uint64_t count = 0;
    return ctx->fit->SumSquaredRadialErrors(point, direction, radius, count);
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

bool cCylinderFit::Estimate(double point[3], double direction[3], double& radius) const
{
    if (CountActive() < 9)
        return false;
    double m[3];
    GetMeanPosition(m);
    cNormalEquations system(9);
    if (!system.IsAllocated())
        return false;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        const float x = static_cast<float>(p.position[0] - m[0]);
        const float y = static_cast<float>(p.position[1] - m[1]);
        const float z = static_cast<float>(p.position[2] - m[2]);
        const double row[9] = {x * x, y * y, z * z, -2.0f * x * y, -2.0f * x * z, -2.0f * y * z,
                               2.0f * x, 2.0f * y, 2.0f * z};
        system.AddRow(row, 1.0);
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
    if (!AxisPointFromQuadric(axis, g, c))
        return false;
    const double ca = Dot3d(c, axis);
    const double r = std::sqrt(std::fabs(Dot3d(c, c) + 1.0 / scale - ca * ca));
    if (!std::isfinite(r))
        return false;
    for (int k = 0; k < 3; ++k)
    {
        point[k] = c[k] + m[k];
        direction[k] = axis[k];
    }
    radius = r;
    return true;
}

bool cCylinderFit::Optimise(double point[3], double direction[3], double& radius, double tolerance,
                            std::int32_t budget) const
{
    cDoubleVector x(7);
    if (x.GetCount() != 7)
        return false;
    for (int k = 0; k < 3; ++k)
    {
        x[k] = point[k];
        x[3 + k] = ClampedAcos(direction[k]);
    }
    x[6] = radius;
    if (MinimiseSimplex(x, OptimiseObjective, const_cast<cCylinderFit*>(this), tolerance, budget, 0.00025f) == 0)
        return false;
    const double angles[3] = {x[3], x[4], x[5]};
    double d[3];
    DirectionFromAngles(angles, d);
    const double p[3] = {x[0], x[1], x[2]};
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
    ctx.fit = &fit;
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
    std::uint32_t i = 0;
    if (ctx.open[6])
        x[i++] = estimated ? estimateRadius : radius;
    for (int k = 0; k < 3; ++k)
        if (ctx.open[k])
            x[i++] = ClampedAcos(estimated ? estimateDirection[k] : given[k]);
    for (int k = 0; k < 3; ++k)
        if (ctx.open[3 + k])
            x[i++] = estimated ? estimatePoint[k] : point[k];
    if (MinimiseSimplex(x, ConstrainedObjective, &ctx, 1e-9, 1000, 0.00025f) == 0)
        return false;
    double p[3], d[3], r;
    RebuildConstrainedCylinder(ctx, x, p, d, r);
    if (!AllFinite(p, 3) || !AllFinite(d, 3) || !std::isfinite(r))
        return false;
    std::copy(p, p + 3, point);
    std::copy(d, d + 3, direction);
    radius = r;
    return true;
}
