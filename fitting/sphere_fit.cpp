#include "fitting/sphere_fit.h"

#include "core/simplex_minimiser.h"
#include "fitting/packed_fit_points.h"
#include "fitting/simplex_scale.h"
#include "fitting/square_matrix.h"

#include <cfloat>
#include <cmath>
#include <new>

#if defined(__GNUC__) && defined(__x86_64__)
#define VTL_SPHERE_X86 1
#include <immintrin.h>
#endif

namespace
{

constexpr double kFltEpsilon = 1.1920928955078125e-07;

// The centre coordinates go to the minimiser measured from their start in
// units of the points' spread (simplex_scale.h): as they stand, a centre
// near the origin got next to no first step and the simplex stayed at the
// algebraic estimate, while one far out got a step of a good part of a small
// sphere. The radius is a length of the sphere itself and goes as it is.
void CentreScales(const cPackedFitPoints& points, cThreadPool* pool, const double start[3], stSimplexLength scales[3])
{
    const double spread = PackedPointSpread(points, pool, start);
    for (int k = 0; k < 3; ++k)
        scales[k] = {start[k], spread};
}

// SumSquaredRadialErrors of points [begin, end), one point after another.
double PortableRadialErrors(const float* px, const float* py, const float* pz, std::size_t begin, std::size_t end,
                            const double centre[3], double radius)
{
    double sum = 0.0;
    for (std::size_t i = begin; i < end; ++i)
    {
        const double dx = px[i] - centre[0];
        const double dy = py[i] - centre[1];
        const double dz = pz[i] - centre[2];
        const double e = std::sqrt(dx * dx + dy * dy + dz * dz) - radius;
        sum += e * e;
    }
    return sum;
}

#ifdef VTL_SPHERE_X86

// Four points at a time (the square roots are most of the cost), the four
// running sums added in a fixed order; the rest one by one.
__attribute__((target("avx2,fma"))) double Avx2RadialErrors(const float* px, const float* py, const float* pz,
                                                            std::size_t begin, std::size_t end,
                                                            const double centre[3], double radius)
{
    const __m256d cx = _mm256_set1_pd(centre[0]), cy = _mm256_set1_pd(centre[1]), cz = _mm256_set1_pd(centre[2]);
    const __m256d r = _mm256_set1_pd(radius);
    __m256d sum = _mm256_setzero_pd();
    std::size_t i = begin;
    for (; i + 4 <= end; i += 4)
    {
        const __m256d dx = _mm256_sub_pd(_mm256_cvtps_pd(_mm_loadu_ps(px + i)), cx);
        const __m256d dy = _mm256_sub_pd(_mm256_cvtps_pd(_mm_loadu_ps(py + i)), cy);
        const __m256d dz = _mm256_sub_pd(_mm256_cvtps_pd(_mm_loadu_ps(pz + i)), cz);
        const __m256d squared = _mm256_fmadd_pd(dz, dz, _mm256_fmadd_pd(dy, dy, _mm256_mul_pd(dx, dx)));
        const __m256d e = _mm256_sub_pd(_mm256_sqrt_pd(squared), r);
        sum = _mm256_fmadd_pd(e, e, sum);
    }
    double lanes[4];
    _mm256_storeu_pd(lanes, sum);
    return (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]) + PortableRadialErrors(px, py, pz, i, end, centre, radius);
}

#endif

using tRadialErrors = double (*)(const float*, const float*, const float*, std::size_t, std::size_t, const double*,
                                 double);

tRadialErrors RadialErrorsKernel()
{
#ifdef VTL_SPHERE_X86
    static const tRadialErrors kernel = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")
                                            ? Avx2RadialErrors
                                            : PortableRadialErrors;
    return kernel;
#else
    return PortableRadialErrors;
#endif
}

// SumSquaredRadialErrors in one tight pass over the active points, packed
// once for the hundreds of evaluations a refinement makes.
double PackedRadialErrors(const cPackedFitPoints& points, cThreadPool* pool, const double centre[3], double radius)
{
    const tRadialErrors kernel = RadialErrorsKernel();
    return SumPackedBlocks<double>(points, pool, [&](std::size_t begin, std::size_t end, double& out) {
        out += kernel(points.X(), points.Y(), points.Z(), begin, end, centre, radius);
    });
}

struct SphereContext
{
    const cPackedFitPoints* points;
    cThreadPool* pool;
    stSimplexLength centre[3];
};

double SphereObjective(const cDoubleVector& x, void* context)
{
    const auto* ctx = static_cast<const SphereContext*>(context);
    const double centre[3] = {ctx->centre[0].Unpack(x[0]), ctx->centre[1].Unpack(x[1]), ctx->centre[2].Unpack(x[2])};
    return PackedRadialErrors(*ctx->points, ctx->pool, centre, std::fabs(x[3]));
}

struct ConstrainedSphereContext
{
    const cPackedFitPoints* points;
    cThreadPool* pool;
    double centre[3];
    double radius;
    bool open[4];
    stSimplexLength openCentre[3];
};

void RebuildConstrainedSphere(const ConstrainedSphereContext& ctx, const cDoubleVector& x, double centre[3],
                              double& radius)
{
    std::uint32_t i = 0;
    radius = ctx.open[3] ? std::fabs(x[i++]) : ctx.radius;
    for (int k = 0; k < 3; ++k)
        centre[k] = ctx.open[k] ? ctx.openCentre[k].Unpack(x[i++]) : ctx.centre[k];
}

double ConstrainedSphereObjective(const cDoubleVector& x, void* context)
{
    const auto* ctx = static_cast<const ConstrainedSphereContext*>(context);
    double centre[3];
    double radius;
    RebuildConstrainedSphere(*ctx, x, centre, radius);
    return PackedRadialErrors(*ctx->points, ctx->pool, centre, radius);
}

} // namespace

double cSphereFit::SumSquaredRadialErrors(const double centre[3], double radius, std::uint64_t& count) const
{
    double sum = 0.0;
    count = 0;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        const double dx = p.position[0] - centre[0];
        const double dy = p.position[1] - centre[1];
        const double dz = p.position[2] - centre[2];
        const double e = std::sqrt(dx * dx + dy * dy + dz * dz) - radius;
        sum += e * e;
        ++count;
    }
    return sum;
}

bool cSphereFit::Fit(double centre[3], double& radius) const
{
    // One pass counts the active points and sums every record for the mean.
    std::uint64_t active = 0;
    double total[3] = {0.0, 0.0, 0.0};
    for (const stFitPoint& p : Points())
    {
        total[0] += p.position[0];
        total[1] += p.position[1];
        total[2] += p.position[2];
        active += p.active ? 1 : 0;
    }
    if (active < 4)
        return false;
    if (active == 4)
    {
        const stFitPoint* q[4];
        int found = 0;
        for (const stFitPoint& p : Points())
            if (p.active && found < 4)
                q[found++] = &p;
        cNormalEquations system(3);
        if (!system.IsAllocated())
            return false;
        const float* p3 = q[3]->position;
        const float p3Sq = p3[0] * p3[0] + p3[1] * p3[1] + p3[2] * p3[2];
        for (int i = 0; i < 3; ++i)
        {
            const float* pi = q[i]->position;
            for (int k = 0; k < 3; ++k)
                system.A(i, k) = static_cast<float>(pi[k] - p3[k]);
            const float piSq = pi[0] * pi[0] + pi[1] * pi[1] + pi[2] * pi[2];
            system.b[i] = 0.5 * static_cast<float>(piSq - p3Sq);
        }
        cDoubleVector c;
        if (!SolveGaussJordan(system, c, kFltEpsilon))
            return false;
        const double dx = c[0] - p3[0];
        const double dy = c[1] - p3[1];
        const double dz = c[2] - p3[2];
        const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (!(r >= kFltEpsilon) || !std::isfinite(r))
            return false;
        centre[0] = c[0];
        centre[1] = c[1];
        centre[2] = c[2];
        radius = r;
        return true;
    }

    const double records = double(Points().size());
    const double m[3] = {total[0] / records, total[1] / records, total[2] / records};
    cNormalEquations system(4);
    if (!system.IsAllocated())
        return false;
    // The normal equations of the rows (x, y, z, 1) with target -(x^2 + y^2 +
    // z^2), summed in locals (the symmetric half and the right-hand side)
    // rather than through the general accumulator: the same sums in the same
    // order, without its indexing.
    double xx = 0.0, xy = 0.0, xz = 0.0, yy = 0.0, yz = 0.0, zz = 0.0;
    double sx = 0.0, sy = 0.0, sz = 0.0, ones = 0.0;
    double bx = 0.0, by = 0.0, bz = 0.0, b1 = 0.0;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        const double x = p.position[0] - m[0], y = p.position[1] - m[1], z = p.position[2] - m[2];
        const double w = -(x * x + y * y + z * z);
        xx += x * x;
        xy += x * y;
        xz += x * z;
        yy += y * y;
        yz += y * z;
        zz += z * z;
        sx += x * 1.0;
        sy += y * 1.0;
        sz += z * 1.0;
        ones += 1.0 * 1.0;
        bx += w * x;
        by += w * y;
        bz += w * z;
        b1 += w * 1.0;
    }
    const double a[4][4] = {{xx, xy, xz, sx}, {xy, yy, yz, sy}, {xz, yz, zz, sz}, {sx, sy, sz, ones}};
    for (std::uint32_t i = 0; i < 4; ++i)
        for (std::uint32_t j = 0; j < 4; ++j)
            system.A(i, j) = a[i][j];
    system.b[0] = bx;
    system.b[1] = by;
    system.b[2] = bz;
    system.b[3] = b1;
    cDoubleVector x;
    if (!SolveNormalEquations(system, x, 1e-10))
        return false;
    const double s = x[0] * x[0] + x[1] * x[1] + x[2] * x[2] - 4.0 * x[3];
    if (s < 0.0)
        return false;
    const double r = 0.5 * std::sqrt(s);
    if (r < DBL_EPSILON || !std::isfinite(r))
        return false;
    centre[0] = m[0] - 0.5 * x[0];
    centre[1] = m[1] - 0.5 * x[1];
    centre[2] = m[2] - 0.5 * x[2];
    radius = r;
    return true;
}

bool cSphereFit::Refine(double centre[3], double& radius) const
{
    cDoubleVector x(4);
    if (x.GetCount() != 4)
        return false;
    SphereContext ctx{};
    try
    {
        const cPackedFitPoints packed(Points());
        ctx.points = &packed;
        ctx.pool = SharedThreadPool();
        CentreScales(packed, ctx.pool, centre, ctx.centre);
        for (int k = 0; k < 3; ++k)
            x[k] = ctx.centre[k].Pack(centre[k]);
        x[3] = radius;
        if (MinimiseSimplex(x, SphereObjective, &ctx, 1e-6, 500, 0.00025f) == 0)
            return false;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    const double result[4] = {ctx.centre[0].Unpack(x[0]), ctx.centre[1].Unpack(x[1]), ctx.centre[2].Unpack(x[2]),
                              std::fabs(x[3])};
    if (!AllFinite(result, 4))
        return false;
    centre[0] = result[0];
    centre[1] = result[1];
    centre[2] = result[2];
    radius = result[3];
    return true;
}

bool cSphereFit::RefineConstrained(double centre[3], double& radius, const std::uint8_t open[4]) const
{
    double estimateCentre[3];
    double estimateRadius;
    if (!Fit(estimateCentre, estimateRadius))
        return false;
    ConstrainedSphereContext ctx{};
    for (int k = 0; k < 3; ++k)
        ctx.centre[k] = centre[k];
    ctx.radius = radius;
    std::uint32_t freeCount = 0;
    for (int k = 0; k < 4; ++k)
    {
        ctx.open[k] = open[k] != 0;
        if (ctx.open[k])
            ++freeCount;
    }
    if (freeCount == 0)
        return true;
    cDoubleVector x(freeCount);
    if (x.GetCount() != freeCount)
        return false;
    try
    {
        const cPackedFitPoints packed(Points());
        ctx.points = &packed;
        ctx.pool = SharedThreadPool();
        CentreScales(packed, ctx.pool, estimateCentre, ctx.openCentre);
        std::uint32_t i = 0;
        if (ctx.open[3])
            x[i++] = estimateRadius;
        for (int k = 0; k < 3; ++k)
            if (ctx.open[k])
                x[i++] = ctx.openCentre[k].Pack(estimateCentre[k]);
        if (MinimiseSimplex(x, ConstrainedSphereObjective, &ctx, 1e-7, 1000, 0.00025f) == 0)
            return false;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    double c[3];
    double r;
    RebuildConstrainedSphere(ctx, x, c, r);
    if (!AllFinite(c, 3) || !std::isfinite(r))
        return false;
    for (int k = 0; k < 3; ++k)
        centre[k] = c[k];
    radius = r;
    return true;
}
