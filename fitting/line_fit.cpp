#include "fitting/line_fit.h"

#include "core/simplex_minimiser.h"
#include "core/vector_math.h"
#include "fitting/simplex_scale.h"
#include "fitting/square_matrix.h"

#include <cfloat>
#include <cmath>

namespace
{

double SquaredDistanceToLine(const double q[3], const double origin[3], const double direction[3])
{
    const double d[3] = {q[0] - origin[0], q[1] - origin[1], q[2] - origin[2]};
    double c[3];
    Cross3d(d, direction, c);
    return Dot3d(c, c);
}

// The origin goes to the minimiser measured from the points' centroid in
// units of their spread (simplex_scale.h), so that its first steps are the
// same share of the part wherever the part lies, and a turn of the direction
// pivots the line about the part instead of about the point nearest the
// world origin. The direction's components go shifted by one, so that each
// gets the same first step however the line is turned (a component close to
// 0 would otherwise get next to none).
struct LineObjectiveContext
{
    const cLineFit* fit;
    stSimplexLength origin[3];
    stSimplexLength direction[3];
};

void UnpackLine(const LineObjectiveContext& ctx, const cDoubleVector& x, double origin[3], double direction[3])
{
    for (int k = 0; k < 3; ++k)
    {
        origin[k] = ctx.origin[k].Unpack(x[k]);
        direction[k] = ctx.direction[k].Unpack(x[3 + k]);
    }
    NormaliseLine(origin, direction);
}

double LineObjective(const cDoubleVector& x, void* context)
{
    const auto* ctx = static_cast<const LineObjectiveContext*>(context);
    double origin[3], direction[3];
    UnpackLine(*ctx, x, origin, direction);
    return ctx->fit->MeanDistance(origin, direction);
}

} // namespace

void NormaliseLine(double origin[3], double direction[3])
{
    if (Dot3d(direction, direction) > DBL_EPSILON)
    {
        NormaliseVector3d(direction);
    }
    else
    {
        direction[0] = 1.0;
        direction[1] = 0.0;
        direction[2] = 0.0;
    }
    const double t = Dot3d(origin, direction);
    if (std::fabs(t) > Dot3d(origin, origin) * DBL_EPSILON)
        for (int k = 0; k < 3; ++k)
            origin[k] -= t * direction[k];
}

double cLineFit::SumSquaredDistances(const double origin[3], const double direction[3], std::uint64_t& count) const
{
    double sum = 0.0;
    count = 0;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        double q[3];
        FitPointPosition(p, q);
        sum += SquaredDistanceToLine(q, origin, direction);
        ++count;
    }
    return sum;
}

double cLineFit::MeanDistance(const double origin[3], const double direction[3]) const
{
    double sum = 0.0;
    std::uint64_t count = 0;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        double q[3];
        FitPointPosition(p, q);
        sum += std::sqrt(SquaredDistanceToLine(q, origin, direction));
        ++count;
    }
    return count ? sum / double(count) : kNoFitError;
}

namespace
{

// Points that all lie at one place have no direction: any line through them
// would be an arbitrary choice reported as a fit.
bool AllActiveCoincide(const cFitContainer& fit)
{
    const stFitPoint* first = nullptr;
    for (const stFitPoint& p : fit.Points())
    {
        if (!p.active)
            continue;
        if (!first)
            first = &p;
        else if (p.position[0] != first->position[0] || p.position[1] != first->position[1] ||
                 p.position[2] != first->position[2])
            return false;
    }
    return true;
}

} // namespace

bool cLineFit::EstimateLine(double origin[3], double direction[3]) const
{
    const std::uint64_t active = CountActive();
    if (active < 2 || AllActiveCoincide(*this))
        return false;
    double o[3];
    double d[3];
    if (active == 2)
    {
        double q[2][3];
        int found = 0;
        for (const stFitPoint& p : Points())
            if (p.active && found < 2)
                FitPointPosition(p, q[found++]);
        for (int k = 0; k < 3; ++k)
        {
            o[k] = q[0][k];
            d[k] = q[1][k] - q[0][k];
        }
    }
    else
    {
        // The scatter is summed about the mean: raw sums of products lose
        // the spread across the line to round-off once the points lie far
        // from the origin compared with their spread.
        double s[3] = {0.0, 0.0, 0.0};
        for (const stFitPoint& p : Points())
        {
            if (!p.active)
                continue;
            for (int k = 0; k < 3; ++k)
                s[k] += p.position[k];
        }
        const double n = double(active);
        const double mean[3] = {s[0] / n, s[1] / n, s[2] / n};
        double xx = 0.0, yy = 0.0, zz = 0.0, xy = 0.0, xz = 0.0, yz = 0.0;
        for (const stFitPoint& p : Points())
        {
            if (!p.active)
                continue;
            const float x = static_cast<float>(p.position[0] - mean[0]);
            const float y = static_cast<float>(p.position[1] - mean[1]);
            const float z = static_cast<float>(p.position[2] - mean[2]);
            xx += static_cast<float>(x * x);
            yy += static_cast<float>(y * y);
            zz += static_cast<float>(z * z);
            xy += static_cast<float>(x * y);
            xz += static_cast<float>(x * z);
            yz += static_cast<float>(y * z);
        }
        cSquareMatrix scatter(3);
        if (!scatter.IsAllocated())
            return false;
        scatter(0, 0) = xx;
        scatter(1, 1) = yy;
        scatter(2, 2) = zz;
        scatter(0, 1) = scatter(1, 0) = xy;
        scatter(0, 2) = scatter(2, 0) = xz;
        scatter(1, 2) = scatter(2, 1) = yz;
        cSquareMatrix vectors;
        cDoubleVector values;
        if (!EigenSymmetric(scatter, vectors, values))
            return false;
        for (int k = 0; k < 3; ++k)
        {
            o[k] = s[k] / n;
            d[k] = vectors(k, 0);
        }
    }
    NormaliseLine(o, d);
    if (!AllFinite(o, 3) || !AllFinite(d, 3))
        return false;
    for (int k = 0; k < 3; ++k)
    {
        origin[k] = o[k];
        direction[k] = d[k];
    }
    return true;
}

bool cLineFit::Fit(double origin[3], double direction[3]) const
{
    double o[3];
    double d[3];
    if (!EstimateLine(o, d))
        return false;
    cDoubleVector x(6);
    if (x.GetCount() != 6)
        return false;
    LineObjectiveContext context{this, {}, {}};
    double centroid[3];
    const double spread = ActivePointSpread(*this, centroid);
    // The estimate's line through the centroid: its foot nearest the world
    // origin may lie far from the part.
    const double along = Dot3d(centroid, d) - Dot3d(o, d);
    for (int k = 0; k < 3; ++k)
    {
        context.origin[k] = stSimplexLength{o[k] + along * d[k], spread};
        x[k] = context.origin[k].Pack(context.origin[k].start);
        context.direction[k] = stSimplexLength{d[k], 1.0};
        x[3 + k] = context.direction[k].Pack(d[k]);
    }
    if (MinimiseSimplex(x, LineObjective, &context, 1e-6, 500, 0.00025f) == 0)
        return false;
    UnpackLine(context, x, o, d);
    if (!AllFinite(o, 3) || !AllFinite(d, 3))
        return false;
    for (int k = 0; k < 3; ++k)
    {
        origin[k] = o[k];
        direction[k] = d[k];
    }
    return true;
}

void cLineFit::GetExtent(const double origin[3], const double direction[3], double start[3], double end[3]) const
{
    double tMin = kNoFitError;
    double tMax = -kNoFitError;
    std::size_t minIndex = 0;
    std::size_t maxIndex = 0;
    std::size_t index = 0;
    for (const stFitPoint& p : Points())
    {
        double q[3];
        FitPointPosition(p, q);
        const double t = Dot3d(direction, q);
        if (t < tMin)
        {
            tMin = t;
            minIndex = index;
        }
        if (t > tMax)
        {
            tMax = t;
            maxIndex = index;
        }
        ++index;
    }
    if (Points().empty())
    {
        for (int k = 0; k < 3; ++k)
            start[k] = end[k] = origin[k];
        return;
    }
    const bool minFirst = minIndex <= maxIndex;
    const double tStart = minFirst ? tMin : tMax;
    const double tEnd = minFirst ? tMax : tMin;
    for (int k = 0; k < 3; ++k)
    {
        start[k] = origin[k] + tStart * direction[k];
        end[k] = origin[k] + tEnd * direction[k];
    }
}
