// The plane fit with some normal components or the offset held at given
// values.
#include "fitting/plane_fit.h"

#include "core/simplex_minimiser.h"
#include "core/thread_pool.h"
#include "core/vector_math.h"
#include "fitting/packed_fit_points.h"
#include "fitting/simplex_scale.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{

// An open offset goes to the minimiser as the distance of the points'
// centroid from the plane, in units of their spread (simplex_scale.h). Taken
// from the world origin instead, every turn of the normal would swing the
// plane about the origin, and for a part far from it the offset and the
// normal would have to move together in a narrow valley the simplex does
// not follow to its end. A fixed offset stays the caller's world value.
struct ConstrainedPlaneContext
{
    const cPlaneFit* fit;
    stConstrainedPlane plane;
    double centroid[3];
    stSimplexLength centroidDistance;
    // The active points packed once for the many evaluations; null when no
    // memory could be had (the fit's own records are read then).
    const cPackedFitPoints* packed = nullptr;
    cThreadPool* pool = nullptr;
    // While the minimiser runs on a team of the pool's threads: the team.
    cPoolTeam* team = nullptr;
};

void UnpackWorldPlane(const ConstrainedPlaneContext& ctx, const cDoubleVector& x, double n[3], double& d)
{
    ctx.plane.Unpack(x, n, d);
    if (ctx.plane.offsetOpen)
        d = ctx.centroidDistance.Unpack(d) - Dot3d(n, ctx.centroid);
}

double ConstrainedPlaneObjective(const cDoubleVector& x, void* context)
{
    const auto* ctx = static_cast<const ConstrainedPlaneContext*>(context);
    double n[3];
    double d;
    UnpackWorldPlane(*ctx, x, n, d);
    if (ctx->packed != nullptr)
        return SumSquaredPlaneDistances(*ctx->packed, n, d, ctx->pool);
    std::uint64_t count = 0;
    return ctx->fit->GetSumSquaredDistances(n, d, count);
}

// ConstrainedPlaneObjective at several points, their planes' squared
// distances summed side by side.
void ConstrainedPlaneObjectives(const cDoubleVector* x, std::uint32_t count, double* values, void* context)
{
    const auto* ctx = static_cast<const ConstrainedPlaneContext*>(context);
    if (ctx->packed == nullptr)
    {
        for (std::uint32_t i = 0; i < count; ++i)
            values[i] = ConstrainedPlaneObjective(x[i], context);
        return;
    }
    std::vector<double> normals(3 * std::size_t{count});
    std::vector<double> offsets(count);
    for (std::uint32_t i = 0; i < count; ++i)
        UnpackWorldPlane(*ctx, x[i], &normals[3 * std::size_t{i}], offsets[i]);
    SumPlaneDistancesSideBySide(*ctx->packed, normals.data(), offsets.data(),
                                count, true, ctx->pool, values, ctx->team);
}

double ClampedAcos(double v) { return std::acos(std::clamp(v, -1.0, 1.0)); }

} // namespace

void NormaliseConstrainedDirection(double v[3], bool fixed[3])
{
    for (int k = 0; k < 3; ++k)
    {
        if (!fixed[k])
            continue;
        v[k] = std::clamp(v[k], -1.0, 1.0);
        if (std::fabs(v[k]) == 1.0)
        {
            for (int j = 0; j < 3; ++j)
            {
                if (j != k)
                {
                    v[j] = 0.0;
                    fixed[j] = true;
                }
            }
            return;
        }
    }
    double fixedSq = 0.0;
    double openSq = 0.0;
    for (int k = 0; k < 3; ++k)
        (fixed[k] ? fixedSq : openSq) += v[k] * v[k];
    if (fixedSq > 0.0 && openSq > 0.0 && fixedSq < 1.0)
    {
        // Keep what the user fixed; the open part takes up the rest.
        const double s = std::sqrt((1.0 - fixedSq) / openSq);
        for (int k = 0; k < 3; ++k)
            if (!fixed[k])
                v[k] *= s;
        return;
    }
    NormaliseVector3d(v);
}

void stConstrainedPlane::Set(const double normal[3], double offset, const std::uint8_t open[4])
{
    for (int k = 0; k < 3; ++k)
    {
        fixed[k] = open[k] == 0;
        givenNormal[k] = normal[k];
    }
    NormaliseConstrainedDirection(givenNormal, fixed);
    givenOffset = offset;
    offsetOpen = open[3] != 0;
}

std::uint32_t stConstrainedPlane::OpenCount() const
{
    std::uint32_t count = offsetOpen ? 1u : 0u;
    for (int k = 0; k < 3; ++k)
        count += fixed[k] ? 0u : 1u;
    return count;
}

void stConstrainedPlane::Pack(const double normal[3], double offset, cDoubleVector& x) const
{
    std::uint32_t i = 0;
    if (offsetOpen)
        x[i++] = offset;
    for (int k = 0; k < 3; ++k)
        if (!fixed[k])
            x[i++] = ClampedAcos(normal[k]);
}

void stConstrainedPlane::Unpack(const cDoubleVector& x, double normal[3], double& offset) const
{
    std::uint32_t i = 0;
    offset = offsetOpen ? x[i++] : givenOffset;
    bool stillFixed[3] = {fixed[0], fixed[1], fixed[2]};
    for (int k = 0; k < 3; ++k)
        normal[k] = fixed[k] ? givenNormal[k] : std::cos(x[i++]);
    NormaliseConstrainedDirection(normal, stillFixed);
}

bool FitConstrainedPlane(const cPlaneFit& fit, double normal[3], double& offset, const std::uint8_t open[4])
{
    ConstrainedPlaneContext ctx{};
    ctx.fit = &fit;
    ctx.plane.Set(normal, offset, open);
    const double* given = ctx.plane.givenNormal;
    const bool* fixed = ctx.plane.fixed;

    double estimate[3] = {0.0, 0.0, 0.0};
    double estimateOffset = 0.0;
    const bool estimated = fit.EstimateNormal(estimate, estimateOffset);
    const bool anyFixed = fixed[0] || fixed[1] || fixed[2];
    // The open components follow the points: only the fixed ones can turn
    // the normal more than 45 degrees away from the points' own.
    double guide[3];
    for (int k = 0; k < 3; ++k)
        guide[k] = fixed[k] ? given[k] : estimate[k];
    const double guideLength = std::sqrt(Dot3d(guide, guide));
    if ((!estimated || anyFixed) && !(std::fabs(Dot3d(estimate, guide)) >= 0.7071 * guideLength && guideLength > 0.0))
        return false;

    const std::uint32_t freeCount = ctx.plane.OpenCount();
    if (freeCount == 0)
    {
        for (int k = 0; k < 3; ++k)
            normal[k] = given[k];
        return true;
    }

    cDoubleVector x(freeCount);
    if (x.GetCount() != freeCount)
        return false;
    const double* startNormal = estimated ? estimate : given;
    const double startOffset = estimated ? estimateOffset : offset;
    ctx.centroidDistance.unit = ActivePointSpread(fit, ctx.centroid);
    ctx.centroidDistance.start = startOffset + Dot3d(startNormal, ctx.centroid);
    ctx.plane.Pack(startNormal, ctx.centroidDistance.Pack(ctx.centroidDistance.start), x);
    const std::unique_ptr<cPackedFitPoints> packed = PackActivePoints(fit.Points());
    ctx.packed = packed.get();
    ctx.pool = SharedThreadPool();
    // A large packing's passes run on a team of the pool's threads kept for
    // the whole search.
    std::uint32_t found = 0;
    SearchOnPackingTeam(ctx.pool, ctx.packed, [&](cPoolTeam* team) {
        ctx.team = team;
        found = MinimiseSimplexBatched(x, ConstrainedPlaneObjectives, &ctx, 1e-7, 1000, 0.00025f);
        ctx.team = nullptr;
    });
    if (found == 0)
        return false;
    double n[3];
    double d;
    UnpackWorldPlane(ctx, x, n, d);
    if (!std::isfinite(n[0]) || !std::isfinite(n[1]) || !std::isfinite(n[2]) || !std::isfinite(d))
        return false;
    for (int k = 0; k < 3; ++k)
        normal[k] = n[k];
    offset = d;
    return true;
}
