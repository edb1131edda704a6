#include "fitting/cylinder_fit.h"

#include "core/simplex_minimiser.h"
#include "core/vector_math.h"
#include "fitting/circle_fit.h"
#include "fitting/plane_fit.h"
#include "fitting/square_matrix.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

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

// Gauss-Newton with a Levenberg damping on the geometric distance to the
// cylinder, in coordinates centred on the mean and scaled to unit spread.
// Each step works in the frame of the current axis (u, v, a), where the
// derivatives of the distance are closed forms: moving the axis point by
// (x0, y0), tilting the axis by (alpha, beta) and growing the radius.
class cCylinderRefiner
{
public:
    cCylinderRefiner(const cCylinderFit& fit, const double mean[3], double invScale)
        : m_fit(fit), m_mean{mean[0], mean[1], mean[2]}, m_invScale(invScale)
    {
    }

    void Refine(double c[3], double a[3], double& r) const
    {
        double cost = Cost(c, a, r);
        double lambda = 1e-3;
        for (int iteration = 0; iteration < 100 && std::isfinite(cost); ++iteration)
        {
            double u[3], v[3];
            PerpendicularBasis(a, u, v);
            cNormalEquations system(5);
            if (!system.IsAllocated())
                return;
            Accumulate(c, a, r, u, v, system);
            double diagonal[5];
            for (std::uint32_t k = 0; k < 5; ++k)
                diagonal[k] = system.A(k, k);
            bool improved = false;
            for (int attempt = 0; attempt < 10 && !improved; ++attempt)
            {
                cNormalEquations damped(5);
                if (!damped.IsAllocated())
                    return;
                for (std::uint32_t i = 0; i < 5; ++i)
                {
                    for (std::uint32_t j = 0; j < 5; ++j)
                        damped.A(i, j) = system.A(i, j);
                    damped.A(i, i) += lambda * diagonal[i];
                    damped.b[i] = system.b[i];
                }
                cDoubleVector step;
                if (SolveNormalEquations(damped, step, 1e-14))
                {
                    double c2[3], a2[3];
                    for (int k = 0; k < 3; ++k)
                    {
                        c2[k] = c[k] + step[0] * u[k] + step[1] * v[k];
                        a2[k] = a[k] + step[2] * u[k] + step[3] * v[k];
                    }
                    NormaliseVector3d(a2);
                    const double ca = Dot3d(c2, a2);
                    for (int k = 0; k < 3; ++k)
                        c2[k] -= ca * a2[k];
                    const double r2 = std::fabs(r + step[4]);
                    const double cost2 = Cost(c2, a2, r2);
                    if (cost2 <= cost)
                    {
                        const bool settled = cost - cost2 <= 1e-12 * cost;
                        std::copy(c2, c2 + 3, c);
                        std::copy(a2, a2 + 3, a);
                        r = r2;
                        cost = cost2;
                        lambda = std::max(lambda * 0.1, 1e-12);
                        improved = true;
                        if (settled)
                            return;
                    }
                }
                if (!improved)
                    lambda *= 10.0;
            }
            if (!improved)
                return;
        }
    }

    // A start about a given axis: the algebraic circle of the points
    // projected across it, centred nearest the origin.
    bool StartAcross(const double a[3], double c[3], double& r) const
    {
        double u[3], v[3];
        PerpendicularBasis(a, u, v);
        cNormalEquations system(3);
        if (!system.IsAllocated())
            return false;
        for (const stFitPoint& p : m_fit.Points())
        {
            if (!p.active)
                continue;
            double q[3];
            Local(p, q);
            const double x = Dot3d(q, u), y = Dot3d(q, v);
            const double row[3] = {x, y, 1.0};
            system.AddRow(row, -(x * x + y * y));
        }
        cDoubleVector x;
        if (!SolveNormalEquations(system, x, 1e-10))
            return false;
        const double cu = -0.5 * x[0], cv = -0.5 * x[1];
        const double r2 = cu * cu + cv * cv - x[2];
        if (!(r2 > 0.0) || !std::isfinite(r2))
            return false;
        r = std::sqrt(r2);
        for (int k = 0; k < 3; ++k)
            c[k] = cu * u[k] + cv * v[k];
        return true;
    }

    double Cost(const double c[3], const double a[3], double r) const
    {
        double sum = 0.0;
        for (const stFitPoint& p : m_fit.Points())
        {
            if (!p.active)
                continue;
            double q[3];
            Local(p, q);
            const double w[3] = {q[0] - c[0], q[1] - c[1], q[2] - c[2]};
            double cross[3];
            Cross3d(w, a, cross);
            const double e = std::sqrt(Dot3d(cross, cross)) - r;
            sum += e * e;
        }
        return sum;
    }

private:
    void Local(const stFitPoint& p, double q[3]) const
    {
        FitPointPosition(p, q);
        for (int k = 0; k < 3; ++k)
            q[k] = (q[k] - m_mean[k]) * m_invScale;
    }

    void Accumulate(const double c[3], const double a[3], double r, const double u[3], const double v[3],
                    cNormalEquations& system) const
    {
        for (const stFitPoint& p : m_fit.Points())
        {
            if (!p.active)
                continue;
            double q[3];
            Local(p, q);
            const double w[3] = {q[0] - c[0], q[1] - c[1], q[2] - c[2]};
            const double x = Dot3d(w, u), y = Dot3d(w, v), z = Dot3d(w, a);
            const double rho = std::sqrt(x * x + y * y);
            if (!(rho > 0.0))
                continue; // on the axis: no direction to move it
            const double row[5] = {-x / rho, -y / rho, -z * x / rho, -z * y / rho, -1.0};
            system.AddRow(row, -(rho - r));
        }
    }

    static void PerpendicularBasis(const double a[3], double u[3], double v[3])
    {
        const double other[3] = {std::fabs(a[0]) < 0.6 ? 1.0 : 0.0, std::fabs(a[0]) < 0.6 ? 0.0 : 1.0, 0.0};
        Cross3d(a, other, u);
        NormaliseVector3d(u);
        Cross3d(a, u, v);
    }

    const cCylinderFit& m_fit;
    double m_mean[3];
    double m_invScale;
};

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
    // The quadric is fitted about the mean and at unit spread, so neither
    // where the part lies nor its units change the estimate.
    double m[3];
    GetMeanPosition(m);
    double spread = 0.0;
    std::uint64_t count = 0;
    cSquareMatrix scatter(3);
    if (!scatter.IsAllocated())
        return false;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        double q[3];
        FitPointPosition(p, q);
        const double d[3] = {q[0] - m[0], q[1] - m[1], q[2] - m[2]};
        spread += Dot3d(d, d);
        for (std::uint32_t i = 0; i < 3; ++i)
            for (std::uint32_t j = 0; j < 3; ++j)
                scatter(i, j) += d[i] * d[j];
        ++count;
    }
    spread = std::sqrt(spread / double(count));
    if (!(spread > 0.0) || !std::isfinite(spread))
        return false;
    const double invSpread = 1.0 / spread;
    cNormalEquations system(9);
    if (!system.IsAllocated())
        return false;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        const float x = static_cast<float>((p.position[0] - m[0]) * invSpread);
        const float y = static_cast<float>((p.position[1] - m[1]) * invSpread);
        const float z = static_cast<float>((p.position[2] - m[2]) * invSpread);
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
    AxisPointFromQuadric(axis, g, c);
    double r = std::sqrt(std::fabs(Dot3d(c, c) + 1.0 / scale));
    if (!AllFinite(c, 3) || !std::isfinite(r))
        return false;
    // The algebraic distance favours some shapes over others (short arcs come
    // out far too wide, or about a wrong axis): finish on the geometric
    // distance, from the quadric's axis and from each principal direction of
    // the points (a patch's axis is one of them, roughly), and keep the best.
    const cCylinderRefiner refiner(*this, m, invSpread);
    double bestCost = std::numeric_limits<double>::infinity();
    double best[7] = {};
    auto consider = [&](const double a0[3], const double c0[3], double r0) {
        double a1[3] = {a0[0], a0[1], a0[2]}, c1[3] = {c0[0], c0[1], c0[2]}, r1 = r0;
        refiner.Refine(c1, a1, r1);
        if (!AllFinite(c1, 3) || !AllFinite(a1, 3) || !std::isfinite(r1))
            return;
        const double cost = refiner.Cost(c1, a1, r1);
        if (cost < bestCost)
        {
            bestCost = cost;
            std::copy(c1, c1 + 3, best);
            std::copy(a1, a1 + 3, best + 3);
            best[6] = r1;
        }
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
            if (refiner.StartAcross(a0, c0, r0))
                consider(a0, c0, r0);
        }
    }
    if (!std::isfinite(bestCost))
        return false;
    std::copy(best, best + 3, c);
    std::copy(best + 3, best + 6, axis);
    r = best[6];
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
