#include "fitting/plane_fit.h"

#include "core/simplex_minimiser.h"
#include "core/thread_pool.h"
#include "core/vector_math.h"
#include "fitting/plane_candidate_sums.h"
#include "fitting/packed_fit_points.h"
#include "fitting/plane_frame_search.h"
#include "fitting/simplex_scale.h"
#include "fitting/square_matrix.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
#endif

namespace
{

// Two doubles in one SSE register. The passes over millions of records do
// two of their sums per instruction; each lane computes exactly what the
// scalar expression would, in the same order, so the results do not change.
typedef double tDoublePair __attribute__((vector_size(16)));
typedef float tFloatPair __attribute__((vector_size(8)));

static_assert(offsetof(stFitPoint, normal) == offsetof(stFitPoint, position) + 3 * sizeof(float),
              "a record's position and normal are six consecutive floats");

// Floats k and k + 1 of the six position and normal floats of a record,
// widened together (one instruction on SSE2).
tDoublePair LoadPair(const stFitPoint& p, std::size_t k)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&p) + offsetof(stFitPoint, position) +
                                 k * sizeof(float);
#if defined(__SSE2__)
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes))));
#else
    tFloatPair v;
    std::memcpy(&v, bytes, sizeof v);
    return __builtin_convertvector(v, tDoublePair);
#endif
}

tDoublePair Broadcast(double v) { return tDoublePair{v, v}; }

// Lane by lane std::min(lo, t) and std::max(hi, t): t where it is beyond the
// bound, else the bound (also for a NaN t).
tDoublePair LowerPair(tDoublePair lo, tDoublePair t)
{
#if defined(__SSE2__)
    return _mm_min_pd(t, lo);
#else
    return tDoublePair{t[0] < lo[0] ? t[0] : lo[0], t[1] < lo[1] ? t[1] : lo[1]};
#endif
}

tDoublePair UpperPair(tDoublePair hi, tDoublePair t)
{
#if defined(__SSE2__)
    return _mm_max_pd(t, hi);
#else
    return tDoublePair{hi[0] < t[0] ? t[0] : hi[0], hi[1] < t[1] ? t[1] : hi[1]};
#endif
}

constexpr double kFltEpsilon = 1.1920928955078125e-07;
constexpr double kDegreesToRadians = 0.017453292519943295;
// The rectangle search turns the frame from -90 to +90 degrees in 3 degree
// steps.
constexpr int kFrameRotations = 61;
// A principal axis within about 0.06 degrees of the normal gives the frame
// no reliable in-plane direction.
constexpr double kStartAxisMinimumSquaredSine = 1e-6;

double SquaredLength(const double v[3]) { return Dot3d(v, v); }

void Scale(double v[3], double s)
{
    v[0] *= s;
    v[1] *= s;
    v[2] *= s;
}

// Scales (n, d) so that n has unit length; false for a degenerate normal.
bool NormalisePlane(double n[3], double& d)
{
    const double lengthSq = SquaredLength(n);
    if (!(lengthSq > DBL_EPSILON) || !std::isfinite(lengthSq) || !std::isfinite(d))
        return false;
    const double inverse = 1.0 / std::sqrt(lengthSq);
    Scale(n, inverse);
    d *= inverse;
    return true;
}

// Signed distances of all records along two axes through origin, in one
// pass.
void AxisRanges(const cFitContainer& fit, const double origin[3], const double first[3], const double second[3],
                double range[4])
{
    const tDoublePair aX = {first[0], second[0]}, aY = {first[1], second[1]}, aZ = {first[2], second[2]};
    const tDoublePair originXY = {origin[0], origin[1]};
    tDoublePair lo = {}, hi = {};
    for (const stFitPoint& p : fit.Points())
    {
        const tDoublePair xy = LoadPair(p, 0) - originXY;
        const double z = double(p.position[2]) - origin[2];
        const tDoublePair t = (Broadcast(xy[0]) * aX + Broadcast(xy[1]) * aY) + Broadcast(z) * aZ;
        lo = LowerPair(lo, t);
        hi = UpperPair(hi, t);
    }
    range[0] = lo[0];
    range[1] = hi[0];
    range[2] = lo[1];
    range[3] = hi[1];
}

void RotateAboutAxis(const double v[3], const double axis[3], double angle, double out[3])
{
    // Rodrigues' formula for a unit axis.
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    double cross[3];
    Cross3d(axis, v, cross);
    const double dot = Dot3d(axis, v);
    for (int k = 0; k < 3; ++k)
        out[k] = v[k] * c + cross[k] * s + axis[k] * dot * (1.0 - c);
}

// The offset goes to the minimiser as the distance of the points' centroid
// from the plane, in units of their spread (simplex_scale.h): handed over
// from the world origin, it would get next to no first step for a part at
// the origin, and every turn of the normal would swing a part far out about
// the origin. The normal's components go shifted by one as well, so that each
// gets the same first step however the plane is turned: as they stand, a
// component close to 0 but not within FLT_EPSILON of it (a plane a hair off a
// coordinate plane) would get next to none.
struct PlaneObjectiveContext
{
    const cPlaneFit* fit;
    double centroid[3];
    stSimplexLength centroidDistance;
    stSimplexLength normal[3];
    // The active points packed once for the many evaluations; null when no
    // memory could be had (the fit's own records are read then).
    const cPackedFitPoints* packed = nullptr;
    cThreadPool* pool = nullptr;
    // While the minimiser runs on a team of the pool's threads: the team.
    cPoolTeam* team = nullptr;
};

// The world offset of the (unnormalised) normal n for the parameter x[3].
double WorldOffset(const PlaneObjectiveContext& ctx, const double n[3], double parameter)
{
    return ctx.centroidDistance.Unpack(parameter) - Dot3d(n, ctx.centroid);
}

// The unit plane n . p + d = 0 of the parameters x; false when the normal is
// too short to be one.
bool UnitPlane(const PlaneObjectiveContext& ctx, const cDoubleVector& x, double n[3], double& d)
{
    for (int k = 0; k < 3; ++k)
        n[k] = ctx.normal[k].Unpack(x[k]);
    d = WorldOffset(ctx, n, x[3]);
    const double lengthSq = SquaredLength(n);
    if (lengthSq <= DBL_EPSILON)
        return false;
    const double inverse = 1.0 / std::sqrt(lengthSq);
    Scale(n, inverse);
    d *= inverse;
    return true;
}

double MeanAbsDistanceObjective(const cDoubleVector& x, void* context)
{
    const auto* ctx = static_cast<const PlaneObjectiveContext*>(context);
    double n[3], d;
    if (!UnitPlane(*ctx, x, n, d))
        return kNoFitError;
    if (ctx->packed == nullptr)
        return ctx->fit->GetMeanAbsDistance(n, d);
    const std::size_t count = ctx->packed->Count();
    return count ? SumAbsPlaneDistances(*ctx->packed, n, d, ctx->pool) / double(count) : kNoFitError;
}

// MeanAbsDistanceObjective at several points, their planes' distances summed
// side by side.
void MeanAbsDistanceObjectives(const cDoubleVector* x, std::uint32_t count, double* values, void* context)
{
    const auto* ctx = static_cast<const PlaneObjectiveContext*>(context);
    if (ctx->packed == nullptr || ctx->packed->Count() == 0)
    {
        for (std::uint32_t i = 0; i < count; ++i)
            values[i] = MeanAbsDistanceObjective(x[i], context);
        return;
    }
    std::vector<double> normals(3 * std::size_t{count});
    std::vector<double> offsets(count), sums(count);
    std::vector<std::uint32_t> of;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        values[i] = kNoFitError;
        if (!UnitPlane(*ctx, x[i], &normals[3 * of.size()], offsets[of.size()]))
            continue;
        of.push_back(i);
    }
    const auto planes = static_cast<std::uint32_t>(of.size());
    SumPlaneDistancesSideBySide(*ctx->packed, normals.data(), offsets.data(),
                                planes, false, ctx->pool, sums.data(), ctx->team);
    for (std::uint32_t c = 0; c < planes; ++c)
        values[of[c]] = sums[c] / double(ctx->packed->Count());
}

// Coincident or collinear points lie on every plane through them; a plane
// "fitted" to them would be an arbitrary choice reported as a fit.
bool SpansTwoDirections(const cSquareMatrix& scatter)
{
    cSquareMatrix vectors;
    cDoubleVector values;
    if (!EigenSymmetric(scatter, vectors, values))
        return true; // let the candidates decide
    return values[0] > 0.0 && values[1] > values[0] * 1e-12;
}

} // namespace

double SumSquaredPlaneDistances(const cPackedFitPoints& points, const double normal[3], double offset,
                                cThreadPool* pool)
{
    const float *x = points.X(), *y = points.Y(), *z = points.Z();
    return SumPackedBlocks<double>(points, pool, [&](std::size_t begin, std::size_t end, double& sum) {
        for (std::size_t i = begin; i < end; ++i)
        {
            const double q[3] = {x[i], y[i], z[i]};
            const double dist = Dot3d(normal, q) + offset;
            sum += dist * dist;
        }
    });
}

double SumAbsPlaneDistances(const cPackedFitPoints& points, const double normal[3], double offset, cThreadPool* pool)
{
    const float *x = points.X(), *y = points.Y(), *z = points.Z();
    return SumPackedBlocks<double>(points, pool, [&](std::size_t begin, std::size_t end, double& sum) {
        for (std::size_t i = begin; i < end; ++i)
        {
            const double q[3] = {x[i], y[i], z[i]};
            sum += std::fabs(Dot3d(normal, q) + offset);
        }
    });
}

namespace
{

// Planes whose distances one pass over the packing sums side by side.
constexpr std::uint32_t kPlanesPerPass = 4;

struct stPlaneSums
{
    double sum[kPlanesPerPass] = {};
    stPlaneSums& operator+=(const stPlaneSums& other)
    {
        for (std::uint32_t c = 0; c < kPlanesPerPass; ++c)
            sum[c] += other.sum[c];
        return *this;
    }
};

// A block's four sums in the lanes of one register: each lane makes the
// scalar loop's operations in its order ((n0 x + n1 y) + n2 z) + d, its
// size or square added to its sum), so the same sums to the bit, with a
// quarter of the arithmetic instructions.
template <bool kSquared>
__attribute__((target("avx2"), optimize("fp-contract=off"))) void
SumFourPlanesInLanes(const float* x, const float* y, const float* z, std::size_t begin, std::size_t end,
                     const double n[kPlanesPerPass][3], const double d[kPlanesPerPass], double sum[kPlanesPerPass])
{
    static_assert(kPlanesPerPass == 4);
    const __m256d nx = _mm256_set_pd(n[3][0], n[2][0], n[1][0], n[0][0]);
    const __m256d ny = _mm256_set_pd(n[3][1], n[2][1], n[1][1], n[0][1]);
    const __m256d nz = _mm256_set_pd(n[3][2], n[2][2], n[1][2], n[0][2]);
    const __m256d offset = _mm256_set_pd(d[3], d[2], d[1], d[0]);
    const __m256d sign = _mm256_set1_pd(-0.0);
    __m256d sums = _mm256_loadu_pd(sum);
    for (std::size_t i = begin; i < end; ++i)
    {
        const __m256d qx = _mm256_set1_pd(static_cast<double>(x[i]));
        const __m256d qy = _mm256_set1_pd(static_cast<double>(y[i]));
        const __m256d qz = _mm256_set1_pd(static_cast<double>(z[i]));
        const __m256d dist = _mm256_add_pd(
            _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(nx, qx), _mm256_mul_pd(ny, qy)), _mm256_mul_pd(nz, qz)), offset);
        if constexpr (kSquared)
            sums = _mm256_add_pd(sums, _mm256_mul_pd(dist, dist));
        else
            sums = _mm256_add_pd(sums, _mm256_andnot_pd(sign, dist));
    }
    _mm256_storeu_pd(sum, sums);
}

template <bool kSquared>
stPlaneSums SumFourPlanes(const cPackedFitPoints& points, const double normals[kPlanesPerPass][3],
                          const double offsets[kPlanesPerPass], cThreadPool* pool, cPoolTeam* team)
{
    const float *x = points.X(), *y = points.Y(), *z = points.Z();
    return SumPackedBlocks<stPlaneSums>(points, pool, [&](std::size_t begin, std::size_t end, stPlaneSums& sums) {
        // The planes and the sums in locals, so that the sums stay in
        // registers instead of going through memory on every point.
        double n[kPlanesPerPass][3], d[kPlanesPerPass], sum[kPlanesPerPass];
        for (std::uint32_t c = 0; c < kPlanesPerPass; ++c)
        {
            std::copy(normals[c], normals[c] + 3, n[c]);
            d[c] = offsets[c];
            sum[c] = sums.sum[c];
        }
        static const bool lanes = __builtin_cpu_supports("avx2");
        if (lanes)
        {
            SumFourPlanesInLanes<kSquared>(x, y, z, begin, end, n, d, sum);
            std::copy(sum, sum + kPlanesPerPass, sums.sum);
            return;
        }
        for (std::size_t i = begin; i < end; ++i)
        {
            const double q[3] = {x[i], y[i], z[i]};
            for (std::uint32_t c = 0; c < kPlanesPerPass; ++c)
            {
                const double dist = Dot3d(n[c], q) + d[c];
                if constexpr (kSquared)
                    sum[c] += dist * dist;
                else
                    sum[c] += std::fabs(dist);
            }
        }
        std::copy(sum, sum + kPlanesPerPass, sums.sum);
    }, team);
}

} // namespace

void SumPlaneDistancesSideBySide(const cPackedFitPoints& points, const double* normals, const double* offsets,
                                 std::uint32_t count, bool squared, cThreadPool* pool, double* sums, cPoolTeam* team)
{
    for (std::uint32_t first = 0; first < count; first += kPlanesPerPass)
    {
        const std::uint32_t planes = std::min(kPlanesPerPass, count - first);
        // Lanes left over measure the first plane again.
        double n[kPlanesPerPass][3], d[kPlanesPerPass];
        for (std::uint32_t c = 0; c < kPlanesPerPass; ++c)
        {
            const std::uint32_t from = first + (c < planes ? c : 0);
            std::copy(normals + 3 * std::size_t{from}, normals + 3 * std::size_t{from} + 3, n[c]);
            d[c] = offsets[from];
        }
        const stPlaneSums got =
            squared ? SumFourPlanes<true>(points, n, d, pool, team) : SumFourPlanes<false>(points, n, d, pool, team);
        std::copy(got.sum, got.sum + planes, sums + first);
    }
}

double cPlaneFit::GetSumSquaredDistances(const double normal[3], double offset, std::uint64_t& count) const
{
    double sum = 0.0;
    count = 0;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        double q[3];
        FitPointPosition(p, q);
        const double dist = Dot3d(normal, q) + offset;
        sum += dist * dist;
        ++count;
    }
    return sum;
}

double cPlaneFit::GetMeanAbsDistance(const double normal[3], double offset) const
{
    double sum = 0.0;
    std::uint64_t count = 0;
    for (const stFitPoint& p : Points())
    {
        if (!p.active)
            continue;
        double q[3];
        FitPointPosition(p, q);
        sum += std::fabs(Dot3d(normal, q) + offset);
        ++count;
    }
    return count ? sum / double(count) : kNoFitError;
}

void cPlaneFit::GetDistanceRange(const double normal[3], double offset, double& minimum, double& maximum) const
{
    // A big fit's records a block at a time on the shared pool, the blocks'
    // ranges then joined in order: std::min and std::max keep the first of
    // equal values and pass over NaN, so the range is the one pass's.
    constexpr std::size_t kBlock = std::size_t{1} << 16;
    const tFitPointQueue& records = Points();
    const std::size_t blocks = (records.size() + kBlock - 1) / kBlock;
    std::vector<std::array<double, 2>> ranges(blocks, std::array<double, 2>{kNoFitError, -kNoFitError});
    auto measure = [&](std::size_t b) {
        double low = kNoFitError, high = -kNoFitError;
        const auto first = records.begin() + static_cast<std::ptrdiff_t>(b * kBlock);
        const auto last = records.begin() + static_cast<std::ptrdiff_t>(std::min(records.size(), (b + 1) * kBlock));
        for (auto p = first; p != last; ++p)
        {
            double q[3];
            FitPointPosition(*p, q);
            const double dist = Dot3d(normal, q) + offset;
            low = std::min(low, dist);
            high = std::max(high, dist);
        }
        ranges[b] = {low, high};
    };
    ParallelForEach(blocks >= 4 ? SharedThreadPool() : nullptr, blocks, 1, measure);
    minimum = kNoFitError;
    maximum = -kNoFitError;
    for (const std::array<double, 2>& range : ranges)
    {
        minimum = std::min(minimum, range[0]);
        maximum = std::max(maximum, range[1]);
    }
}

bool cPlaneFit::OffsetForNormal(const double normal[3], double& offset)
{
    ActivateAllPoints();
    if (Points().empty())
        return false;
    double sum = 0.0;
    for (const stFitPoint& p : Points())
    {
        double q[3];
        FitPointPosition(p, q);
        sum += Dot3d(normal, q);
    }
    offset = -(sum / double(Points().size()));
    return true;
}

namespace
{

// Every active record added to the candidates' sums, in order.
template <bool kSquares> void MeasureCandidates(const tFitPointQueue& points, cCandidateSums& measured)
{
    // Summed in a local, which the compiler keeps in registers.
    cCandidateSums sums = measured;
    for (const stFitPoint& p : points)
    {
        if (p.active)
            sums.Add<kSquares>(p);
    }
    measured = sums;
}

} // namespace

bool cPlaneFit::EstimateNormal(double normal[3], double& offset) const
{
    stPlaneEstimateSums sums;
    return Estimate(normal, offset, sums, false);
}

bool cPlaneFit::EstimateNormal(double normal[3], double& offset, stPlaneEstimateSums& sums) const
{
    return Estimate(normal, offset, sums, true);
}

bool cPlaneFit::Estimate(double normal[3], double& offset, stPlaneEstimateSums& sums, bool withSquares) const
{
    stPlaneCandidates candidates;
    const eFirstRead first = ReadCandidates(normal, offset, sums, candidates);
    if (first != eFirstRead::kCandidates)
        return first == eFirstRead::kFinished;
    // A second read measures both candidates.
    cCandidateSums measured(candidates.planes);
    if (withSquares)
        MeasureCandidates<true>(Points(), measured);
    else
        MeasureCandidates<false>(Points(), measured);
    bool tookA = false;
    return ChooseCandidate(candidates, measured, sums, normal, offset, tookA);
}

cPlaneFit::eFirstRead cPlaneFit::ReadCandidates(double normal[3], double& offset, stPlaneEstimateSums& sums,
                                                stPlaneCandidates& candidates) const
{
    sums = stPlaneEstimateSums{};
    // One pass gathers what both candidates need: the active points' sums
    // and products, taken about the first active point so that parts far
    // from the origin keep their spread, and the sum of all normals. Lanes:
    // (x, y), (z, normal x), (normal y, normal z) and the products (xx, xy),
    // (xz, yy), (yz, zz).
    const tFitPointQueue& points = Points();
    double shift[3] = {0.0, 0.0, 0.0};
    for (const stFitPoint& p : points)
    {
        if (p.active)
        {
            FitPointPosition(p, shift);
            break;
        }
    }
    const tDoublePair shiftXY = {shift[0], shift[1]};
    const tDoublePair shiftZ = {shift[2], 0.0};
    tDoublePair sumXY = {}, sumZNormalX = {}, normalYZ = {};
    tDoublePair productsXXXY = {}, productsXZYY = {}, productsYZZZ = {};
    std::uint64_t inactive = 0;
    for (const stFitPoint& p : points)
    {
        const tDoublePair zNormalX = LoadPair(p, 2);
        normalYZ += LoadPair(p, 4);
        if (!p.active)
        {
            sumZNormalX += tDoublePair{0.0, zNormalX[1]};
            ++inactive;
            continue;
        }
        const tDoublePair xy = LoadPair(p, 0) - shiftXY;
        const tDoublePair zn = zNormalX - shiftZ;
        sumXY += xy;
        sumZNormalX += zn;
        const double x = xy[0], y = xy[1], z = zn[0];
        productsXXXY += tDoublePair{x, x} * xy;
        productsXZYY += tDoublePair{x, y} * tDoublePair{z, y};
        productsYZZZ += tDoublePair{y, z} * tDoublePair{z, z};
    }
    const std::uint64_t active = points.size() - inactive;
    sums.activeCount = active;
    const double sum[3] = {sumXY[0], sumXY[1], sumZNormalX[0]};
    const double products[6] = {productsXXXY[0], productsXXXY[1], productsXZYY[0],
                                productsXZYY[1], productsYZZZ[0], productsYZZZ[1]}; // xx, xy, xz, yy, yz, zz
    double average[3] = {sumZNormalX[1], normalYZ[0], normalYZ[1]};
    NormaliseVector3d(average);
    for (int k = 0; k < 3; ++k)
        sums.averageNormal[k] = average[k];
    if (active < 3)
        return eFirstRead::kFailed;
    const double count = double(active);
    const double mean[3] = {sum[0] / count, sum[1] / count, sum[2] / count};
    for (int k = 0; k < 3; ++k)
        sums.centroid[k] = shift[k] + mean[k];
    double n[3];
    double d;
    if (active == 3)
    {
        double tri[3][3];
        int found = 0;
        for (const stFitPoint& p : points)
        {
            if (!p.active)
                continue;
            FitPointPosition(p, tri[found]);
            if (++found == 3)
                break;
        }
        double e1[3], e2[3];
        for (int k = 0; k < 3; ++k)
        {
            e1[k] = tri[1][k] - tri[0][k];
            e2[k] = tri[2][k] - tri[0][k];
        }
        Cross3d(e1, e2, n);
        if (!(SquaredLength(n) >= kFltEpsilon))
            return eFirstRead::kFailed;
        const double inverse = 1.0 / std::sqrt(SquaredLength(n));
        Scale(n, inverse);
        double triangleMean[3];
        for (int k = 0; k < 3; ++k)
            triangleMean[k] = (tri[0][k] + tri[1][k] + tri[2][k]) / 3.0;
        d = -Dot3d(n, triangleMean);
        if (!AllFinite(n, 3) || !std::isfinite(d))
            return eFirstRead::kFailed;
        for (int k = 0; k < 3; ++k)
        {
            const double distance = Dot3d(n, tri[k]) + d;
            sums.sumSquaredDistances += distance * distance;
        }
        for (int k = 0; k < 3; ++k)
            normal[k] = n[k];
        offset = d;
        return eFirstRead::kFinished;
    }

    const int pair[3][3] = {{0, 1, 2}, {1, 3, 4}, {2, 4, 5}};

    // Candidate A: total least squares about the centroid.
    const double* c = sums.centroid;
    double nA[3] = {0.0, 0.0, 0.0};
    double dA = 0.0;
    bool haveA = false;
    {
        cSquareMatrix scatter(3);
        if (scatter.IsAllocated())
        {
            for (std::uint32_t i = 0; i < 3; ++i)
                for (std::uint32_t j = 0; j < 3; ++j)
                    scatter(i, j) = products[pair[i][j]] - sum[i] * mean[j];
            for (std::uint32_t i = 0; i < 3; ++i)
                for (std::uint32_t j = i; j < 3; ++j)
                    sums.scatter[pair[i][j]] = scatter(i, j);
            cDoubleVector v;
            if (!SpansTwoDirections(scatter))
                return eFirstRead::kFailed;
            if (SmallestEigenvector(scatter, v))
            {
                nA[0] = v[0];
                nA[1] = v[1];
                nA[2] = v[2];
                dA = -Dot3d(nA, c);
                haveA = NormalisePlane(nA, dA);
            }
        }
    }
    // Candidate B: the algebraic plane n . p = -1, from the same sums moved
    // back to the origin.
    double nB[3] = {0.0, 0.0, 0.0};
    double dB = 1.0;
    bool haveB = false;
    {
        cNormalEquations system(3);
        if (system.IsAllocated())
        {
            for (std::uint32_t i = 0; i < 3; ++i)
            {
                for (std::uint32_t j = 0; j < 3; ++j)
                    system.A(i, j) = products[pair[i][j]] + shift[i] * sum[j] + sum[i] * shift[j] +
                                     count * shift[i] * shift[j];
                system.b[i] = -(sum[i] + count * shift[i]);
            }
            cDoubleVector x;
            if (SolveNormalEquations(system, x, 1e-10))
            {
                nB[0] = x[0];
                nB[1] = x[1];
                nB[2] = x[2];
                haveB = NormalisePlane(nB, dB);
            }
        }
    }
    candidates = stPlaneCandidates{};
    for (int k = 0; k < 3; ++k)
    {
        candidates.planes.normalA[k] = nA[k];
        candidates.planes.normalB[k] = nB[k];
    }
    candidates.planes.offsetA = dA;
    candidates.planes.offsetB = dB;
    candidates.haveA = haveA;
    candidates.haveB = haveB;
    candidates.count = count;
    return eFirstRead::kCandidates;
}

bool cPlaneFit::ChooseCandidate(const stPlaneCandidates& candidates, const cCandidateSums& measured,
                                stPlaneEstimateSums& sums, double normal[3], double& offset, bool& tookA)
{
    const double errorA = candidates.haveA ? measured.Absolute(0) / candidates.count : kNoFitError;
    const double errorB = candidates.haveB ? measured.Absolute(1) / candidates.count : kNoFitError;
    if (std::fabs(errorA - kNoFitError) <= kFltEpsilon && std::fabs(errorB - kNoFitError) <= kFltEpsilon)
        return false;
    double n[3], d;
    const bool takeA = errorB > errorA;
    tookA = takeA;
    for (int k = 0; k < 3; ++k)
        n[k] = takeA ? candidates.planes.normalA[k] : candidates.planes.normalB[k];
    d = takeA ? candidates.planes.offsetA : candidates.planes.offsetB;
    sums.sumSquaredDistances = measured.Squares(takeA ? 0 : 1);
    if (Dot3d(sums.averageNormal, n) < 0.0)
    {
        Scale(n, -1.0);
        d = -d;
    }
    for (int k = 0; k < 3; ++k)
        normal[k] = n[k];
    offset = d;
    return true;
}

bool cPlaneFit::Fit(double normal[3], double& offset) const
{
    double centroid[3];
    return Fit(normal, offset, centroid);
}

bool cPlaneFit::Fit(double normal[3], double& offset, double centroid[3]) const
{
    double n[3];
    double d;
    if (!EstimateNormal(n, d))
        return false;
    cDoubleVector x(4);
    if (x.GetCount() != 4)
        return false;
    PlaneObjectiveContext context{this, {0.0, 0.0, 0.0}, {}, {}};
    const std::unique_ptr<cPackedFitPoints> packed = PackActivePoints(Points());
    context.packed = packed.get();
    context.pool = SharedThreadPool();
    context.centroidDistance.unit = ActivePointSpread(*this, context.centroid);
    context.centroidDistance.start = Dot3d(n, context.centroid) + d;
    for (int k = 0; k < 3; ++k)
    {
        context.normal[k] = stSimplexLength{n[k], 1.0};
        x[k] = context.normal[k].Pack(n[k]);
    }
    x[3] = context.centroidDistance.Pack(context.centroidDistance.start);
    std::uint32_t found = 0;
    auto search = [&](cPoolTeam* team) {
        context.team = team;
        found = MinimiseSimplexBatched(x, MeanAbsDistanceObjectives, &context, 1e-6, 500, 0.00025f);
        context.team = nullptr;
    };
    SearchOnPackingTeam(context.pool, context.packed, search);
    if (found == 0)
        return false;
    double result[3] = {context.normal[0].Unpack(x[0]), context.normal[1].Unpack(x[1]),
                        context.normal[2].Unpack(x[2])};
    double resultOffset = WorldOffset(context, result, x[3]);
    if (!NormalisePlane(result, resultOffset))
        return false;
    for (int k = 0; k < 3; ++k)
        normal[k] = result[k], centroid[k] = context.centroid[k];
    offset = resultOffset;
    return true;
}

bool cPlaneFit::BuildFrame(const double normal[3], double offset, double origin[3], double firstAxis[3],
                           double& firstHalf, double secondAxis[3], double& secondHalf, double marginFactor) const
{
    double centroid[3], largest[3], middle[3], smallest[3];
    GetPrincipalFrame(centroid, largest, middle, smallest);
    return BuildFrameOn(normal, offset, centroid, middle, smallest, origin, firstAxis, firstHalf, secondAxis,
                        secondHalf, marginFactor);
}

namespace
{

// The unit eigenvectors of the middle and smallest eigenvalue of a scatter
// (xx, xy, xz, yy, yz, zz), as GetPrincipalFrame finds them; zero when the
// decomposition fails. False only when no matrix could be had.
bool MiddleAndSmallestAxes(const double scatter[6], double middle[3], double smallest[3])
{
    for (int k = 0; k < 3; ++k)
        middle[k] = smallest[k] = 0.0;
    cSquareMatrix matrix(3);
    cSquareMatrix vectors;
    cDoubleVector values;
    if (!matrix.IsAllocated())
        return false;
    const int pair[3][3] = {{0, 1, 2}, {1, 3, 4}, {2, 4, 5}};
    for (std::uint32_t i = 0; i < 3; ++i)
        for (std::uint32_t j = 0; j < 3; ++j)
            matrix(i, j) = scatter[pair[i][j]];
    if (EigenSymmetric(matrix, vectors, values))
    {
        for (std::uint32_t k = 0; k < 3; ++k)
        {
            middle[k] = vectors(k, 1);
            smallest[k] = vectors(k, 2);
        }
        NormaliseVector3d(middle);
        NormaliseVector3d(smallest);
    }
    return true;
}

// The frames the rectangle search measures: the start frame in the plane
// and its turns, about the centroid moved onto the plane.
struct stTurnedFrames
{
    double origin[3];
    double firsts[kFrameRotations + 1][3];
    double seconds[kFrameRotations + 1][3];
};

bool TurnFrames(const double normal[3], double offset, const double centroid[3], const double middle[3],
                const double smallest[3], stTurnedFrames& frames)
{
    if (SquaredLength(smallest) < kFltEpsilon)
        return false;
    double v[3], u[3];
    Cross3d(middle, normal, v);
    // Points with two nearly equal spreads (a tube, a disc) leave their
    // principal axes to rounding, and the fitted normal can come out along
    // the middle one: the frame then starts from the smallest axis instead,
    // as the rectangle search below turns it through every direction anyway.
    if (SquaredLength(v) < kStartAxisMinimumSquaredSine)
        Cross3d(smallest, normal, v);
    NormaliseVector3d(v);
    Cross3d(normal, v, u);
    NormaliseVector3d(u);
    if (SquaredLength(u) < kFltEpsilon || SquaredLength(v) < kFltEpsilon)
        return false;

    const double h = Dot3d(normal, centroid) + offset;
    for (int k = 0; k < 3; ++k)
        frames.origin[k] = centroid[k] - h * normal[k];

    // The unrotated frame first, then every rotation; all measured in one
    // read of the records.
    for (int k = 0; k < 3; ++k)
    {
        frames.firsts[0][k] = u[k];
        frames.seconds[0][k] = v[k];
    }
    for (int r = 0; r < kFrameRotations; ++r)
    {
        const double angle = (-90 + 3 * r) * kDegreesToRadians;
        RotateAboutAxis(u, normal, angle, frames.firsts[r + 1]);
        RotateAboutAxis(v, normal, angle, frames.seconds[r + 1]);
    }
    return true;
}

// The smallest of the measured rectangles (the first of equal ones), centred
// and grown by the margin.
void FinishFrame(const stTurnedFrames& frames, const double (*ranges)[4], double marginFactor, double origin[3],
                 double firstAxis[3], double& firstHalf, double secondAxis[3], double& secondHalf)
{
    int chosen = 0;
    double bestArea = (ranges[0][1] - ranges[0][0]) * (ranges[0][3] - ranges[0][2]);
    for (int r = 1; r <= kFrameRotations; ++r)
    {
        const double area = (ranges[r][1] - ranges[r][0]) * (ranges[r][3] - ranges[r][2]);
        if (area < bestArea)
        {
            bestArea = area;
            chosen = r;
        }
    }
    const double* bestU = frames.firsts[chosen];
    const double* bestV = frames.seconds[chosen];
    const double* best = ranges[chosen];
    double hu = (best[1] - best[0]) / 2.0;
    double hv = (best[3] - best[2]) / 2.0;
    for (int k = 0; k < 3; ++k)
    {
        origin[k] = frames.origin[k] + bestU[k] * (best[1] - hu) + bestV[k] * (best[3] - hv);
        firstAxis[k] = bestU[k];
        secondAxis[k] = bestV[k];
    }
    const double margin = marginFactor * 0.5 * std::max(hu, hv);
    firstHalf = hu + margin;
    secondHalf = hv + margin;
}

} // namespace

bool cPlaneFit::BuildFrame(const double normal[3], double offset, const double mean[3], const double scatter[6],
                           double origin[3], double firstAxis[3], double& firstHalf, double secondAxis[3],
                           double& secondHalf, double marginFactor) const
{
    // The principal axes as GetPrincipalFrame finds them, from the scatter
    // at hand.
    double middle[3] = {0.0, 0.0, 0.0}, smallest[3] = {0.0, 0.0, 0.0};
    if (!Points().empty() && !MiddleAndSmallestAxes(scatter, middle, smallest))
        return false;
    return BuildFrameOn(normal, offset, mean, middle, smallest, origin, firstAxis, firstHalf, secondAxis, secondHalf,
                        marginFactor);
}

bool cPlaneFit::BuildFrameOn(const double normal[3], double offset, const double centroid[3], const double middle[3],
                             const double smallest[3], double origin[3], double firstAxis[3], double& firstHalf,
                             double secondAxis[3], double& secondHalf, double marginFactor) const
{
    stTurnedFrames frames;
    if (!TurnFrames(normal, offset, centroid, middle, smallest, frames))
        return false;
    double ranges[kFrameRotations + 1][4];
    MeasureFramePairs(Points(), frames.origin, normal, kFrameRotations + 1, frames.firsts, frames.seconds, ranges);
    FinishFrame(frames, ranges, marginFactor, origin, firstAxis, firstHalf, secondAxis, secondHalf);
    return true;
}

bool cPlaneFit::BuildFrameWithAxis(const double normal[3], double offset, double origin[3], double firstAxis[3],
                                   double& firstHalf, double reference[3], double& secondHalf) const
{
    double mean[3];
    GetMeanPosition(mean);
    return BuildFrameWithAxis(normal, offset, mean, origin, firstAxis, firstHalf, reference, secondHalf);
}

bool cPlaneFit::BuildFrameWithAxis(const double normal[3], double offset, const double mean[3], double origin[3],
                                   double firstAxis[3], double& firstHalf, double reference[3],
                                   double& secondHalf) const
{
    if (SquaredLength(reference) < kFltEpsilon)
        return false;
    double u[3], v[3];
    Cross3d(reference, normal, u);
    // A reference along the normal has no direction in the plane.
    if (SquaredLength(u) < kFltEpsilon * SquaredLength(reference))
        return false;
    NormaliseVector3d(u);
    Cross3d(normal, u, v);
    NormaliseVector3d(v);

    const double h = Dot3d(normal, mean) + offset;
    double o[3];
    for (int k = 0; k < 3; ++k)
        o[k] = mean[k] - h * normal[k];
    double range[4];
    AxisRanges(*this, o, u, v, range);
    const double hu = (range[1] - range[0]) / 2.0;
    const double hv = (range[3] - range[2]) / 2.0;
    for (int k = 0; k < 3; ++k)
    {
        origin[k] = o[k] + u[k] * (range[1] - hu) + v[k] * (range[3] - hv);
        firstAxis[k] = u[k];
        reference[k] = v[k];
    }
    firstHalf = hu;
    secondHalf = hv;
    return true;
}

namespace
{

// A candidate plane turned to agree with the average normal, as the
// estimate turns the one it takes.
void Oriented(const double average[3], const double normalIn[3], double offsetIn, double normal[3], double& offset)
{
    const bool flip = Dot3d(average, normalIn) < 0.0;
    for (int k = 0; k < 3; ++k)
        normal[k] = flip ? -normalIn[k] : normalIn[k];
    offset = flip ? -offsetIn : offsetIn;
}

double Parting(const double a[3], const double b[3])
{
    const double d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    return std::sqrt(SquaredLength(d));
}

double SizeOf(const double v[3]) { return std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]); }

} // namespace

bool cPlaneFit::EstimateWithFrame(double normal[3], double& offset, stPlaneEstimateSums& sums, stPlaneFrame& frame,
                                  bool& framed, double marginFactor) const
{
    framed = false;
    stPlaneCandidates candidates;
    const eFirstRead first = ReadCandidates(normal, offset, sums, candidates);
    if (first == eFirstRead::kFailed || sums.activeCount != Points().size())
        return false;
    if (first == eFirstRead::kFinished)
    {
        framed = BuildFrame(normal, offset, frame.origin, frame.firstAxis, frame.firstHalf, frame.secondAxis,
                            frame.secondHalf, marginFactor);
        return true;
    }
    cCandidateSums measured(candidates.planes);
    double middle[3], smallest[3];
    const bool haveAxes = MiddleAndSmallestAxes(sums.scatter, middle, smallest);

    // Both candidates' frames, as BuildFrame would turn them for either.
    // The search runs along A's. When B's frames lie close to them, a record
    // is left unmeasured only when it lies inside A's extents by the
    // clearance that B's frames, a hair turned and moved, could take back, so
    // that B's extents, should B be taken, come from the records measured
    // alone; else B, when taken, has its frames measured on every record.
    const stCandidatePlanes& planes = candidates.planes;
    double nA[3], dA, nB[3], dB;
    Oriented(sums.averageNormal, planes.normalA, planes.offsetA, nA, dA);
    Oriented(sums.averageNormal, planes.normalB, planes.offsetB, nB, dB);
    stTurnedFrames framesA, framesB;
    const bool frameA = haveAxes && candidates.haveA && TurnFrames(nA, dA, sums.centroid, middle, smallest, framesA);
    const bool frameB = haveAxes && candidates.haveB && TurnFrames(nB, dB, sums.centroid, middle, smallest, framesB);
    bool searched = false, nearB = false;
    double rangesA[kFrameRotations + 1][4];
    std::vector<const stFitPoint*> rim;
    double clearance = 0.0, sizeCap = std::numeric_limits<double>::infinity();
    if (frameA)
    {
        if (frameB)
        {
            // Nearly every record lies within this of the centroid (a sum of
            // coordinate magnitudes): a few times the root mean square
            // spread.
            const double spread = 6.0 * std::sqrt((sums.scatter[0] + sums.scatter[3] + sums.scatter[5]) /
                                                  candidates.count);
            double parting = 0.0;
            for (int r = 0; r <= kFrameRotations; ++r)
                parting = std::max({parting, Parting(framesA.firsts[r], framesB.firsts[r]),
                                    Parting(framesA.seconds[r], framesB.seconds[r])});
            const double reach = 1.01 * spread + 1e-6 * SizeOf(framesA.origin);
            const double rounding = 1e-12 * (reach + SizeOf(framesA.origin) + SizeOf(framesB.origin));
            const double needed = 3.0 * (reach * parting + Parting(framesA.origin, framesB.origin) + rounding);
            // Candidates far apart would leave too thick a rim to measure.
            nearB = std::isfinite(spread) && needed < 1e-3 * spread;
            if (nearB)
            {
                clearance = needed;
                sizeCap = spread;
            }
        }
        searched = MeasureFramePairsWithSums(Points(), framesA.origin, nA, kFrameRotations + 1, framesA.firsts,
                                             framesA.seconds, rangesA, clearance, sizeCap, measured, rim);
    }
    if (!searched)
    {
        MeasureCandidates<true>(Points(), measured);
        bool tookA = false;
        if (!ChooseCandidate(candidates, measured, sums, normal, offset, tookA))
            return false;
        framed = haveAxes && BuildFrame(normal, offset, sums.centroid, sums.scatter, frame.origin, frame.firstAxis,
                                        frame.firstHalf, frame.secondAxis, frame.secondHalf, marginFactor);
        return true;
    }
    bool tookA = false;
    if (!ChooseCandidate(candidates, measured, sums, normal, offset, tookA))
        return false;
    if (tookA)
    {
        FinishFrame(framesA, rangesA, marginFactor, frame.origin, frame.firstAxis, frame.firstHalf, frame.secondAxis,
                    frame.secondHalf);
    }
    else if (frameB)
    {
        double rangesB[kFrameRotations + 1][4];
        if (nearB)
            MeasureNearFrames(Points(), rim, framesA.origin, kFrameRotations + 1, framesA.firsts, framesA.seconds,
                              rangesA, clearance, sizeCap, framesB.origin, nB, framesB.firsts, framesB.seconds,
                              rangesB);
        else
            MeasureFramePairs(Points(), framesB.origin, nB, kFrameRotations + 1, framesB.firsts, framesB.seconds,
                              rangesB);
        FinishFrame(framesB, rangesB, marginFactor, frame.origin, frame.firstAxis, frame.firstHalf, frame.secondAxis,
                    frame.secondHalf);
    }
    else
    {
        return true; // B's plane has no frame
    }
    framed = true;
    return true;
}
