#include "fitting/radial_error_pass.h"

#include <algorithm>
#include <cmath>
#include <vector>

#if defined(__GNUC__) && defined(__x86_64__)
#define VTL_RADIAL_X86 1
#include <immintrin.h>
#endif

namespace
{

constexpr std::size_t kLanes = 8;

// One point's squared error; every kernel's lanes compute exactly this.
inline double PointError(float px, float py, float pz, const double o[3], const double a[3], double r)
{
    const double d0 = static_cast<float>(px - o[0]);
    const double d1 = static_cast<float>(py - o[1]);
    const double d2 = static_cast<float>(pz - o[2]);
    const double c0 = d1 * a[2] - d2 * a[1];
    const double c1 = d2 * a[0] - d0 * a[2];
    const double c2 = d0 * a[1] - d1 * a[0];
    const double e = std::sqrt(c0 * c0 + c1 * c1 + c2 * c2) - r;
    return e * e;
}

// The points after the last full group of eight go into their own lanes,
// then the lanes are added in the one fixed order.
double FinishLanes(double lanes[kLanes], const float* x, const float* y, const float* z, std::size_t from,
                   std::size_t count, const double o[3], const double a[3], double r)
{
    for (std::size_t i = from; i < count; ++i)
        lanes[i % kLanes] += PointError(x[i], y[i], z[i], o, a, r);
    return ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) + ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7]));
}

double PortableBlock(const float* x, const float* y, const float* z, std::size_t count, const double o[3],
                     const double a[3], double r)
{
    double lanes[kLanes] = {};
    return FinishLanes(lanes, x, y, z, 0, count, o, a, r);
}

#ifdef VTL_RADIAL_X86

inline __m128d RoundToFloat2(__m128d v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); }

// Two points' squared errors from the low two floats of each coordinate.
inline __m128d Sse2Pair(__m128 xf, __m128 yf, __m128 zf, const __m128d o[3], const __m128d a[3], __m128d r)
{
    const __m128d d0 = RoundToFloat2(_mm_sub_pd(_mm_cvtps_pd(xf), o[0]));
    const __m128d d1 = RoundToFloat2(_mm_sub_pd(_mm_cvtps_pd(yf), o[1]));
    const __m128d d2 = RoundToFloat2(_mm_sub_pd(_mm_cvtps_pd(zf), o[2]));
    const __m128d c0 = _mm_sub_pd(_mm_mul_pd(d1, a[2]), _mm_mul_pd(d2, a[1]));
    const __m128d c1 = _mm_sub_pd(_mm_mul_pd(d2, a[0]), _mm_mul_pd(d0, a[2]));
    const __m128d c2 = _mm_sub_pd(_mm_mul_pd(d0, a[1]), _mm_mul_pd(d1, a[0]));
    const __m128d q = _mm_add_pd(_mm_add_pd(_mm_mul_pd(c0, c0), _mm_mul_pd(c1, c1)), _mm_mul_pd(c2, c2));
    const __m128d e = _mm_sub_pd(_mm_sqrt_pd(q), r);
    return _mm_mul_pd(e, e);
}

double Sse2Block(const float* x, const float* y, const float* z, std::size_t count, const double o[3],
                 const double a[3], double r)
{
    const __m128d ov[3] = {_mm_set1_pd(o[0]), _mm_set1_pd(o[1]), _mm_set1_pd(o[2])};
    const __m128d av[3] = {_mm_set1_pd(a[0]), _mm_set1_pd(a[1]), _mm_set1_pd(a[2])};
    const __m128d rv = _mm_set1_pd(r);
    __m128d acc[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
    std::size_t i = 0;
    for (; i + kLanes <= count; i += kLanes)
    {
        for (std::size_t half = 0; half < 2; ++half)
        {
            const __m128 xf = _mm_loadu_ps(x + i + 4 * half);
            const __m128 yf = _mm_loadu_ps(y + i + 4 * half);
            const __m128 zf = _mm_loadu_ps(z + i + 4 * half);
            acc[2 * half] = _mm_add_pd(acc[2 * half], Sse2Pair(xf, yf, zf, ov, av, rv));
            acc[2 * half + 1] = _mm_add_pd(
                acc[2 * half + 1], Sse2Pair(_mm_movehl_ps(xf, xf), _mm_movehl_ps(yf, yf), _mm_movehl_ps(zf, zf), ov, av, rv));
        }
    }
    double lanes[kLanes];
    for (std::size_t k = 0; k < 4; ++k)
        _mm_storeu_pd(lanes + 2 * k, acc[k]);
    return FinishLanes(lanes, x, y, z, i, count, o, a, r);
}

__attribute__((target("avx2"), optimize("fp-contract=off"))) inline __m256d Avx2Quad(const float* x, const float* y, const float* z,
                                                        const __m256d o[3], const __m256d a[3], __m256d r)
{
    const __m256d d0 = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_sub_pd(_mm256_cvtps_pd(_mm_loadu_ps(x)), o[0])));
    const __m256d d1 = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_sub_pd(_mm256_cvtps_pd(_mm_loadu_ps(y)), o[1])));
    const __m256d d2 = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_sub_pd(_mm256_cvtps_pd(_mm_loadu_ps(z)), o[2])));
    const __m256d c0 = _mm256_sub_pd(_mm256_mul_pd(d1, a[2]), _mm256_mul_pd(d2, a[1]));
    const __m256d c1 = _mm256_sub_pd(_mm256_mul_pd(d2, a[0]), _mm256_mul_pd(d0, a[2]));
    const __m256d c2 = _mm256_sub_pd(_mm256_mul_pd(d0, a[1]), _mm256_mul_pd(d1, a[0]));
    const __m256d q =
        _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(c0, c0), _mm256_mul_pd(c1, c1)), _mm256_mul_pd(c2, c2));
    const __m256d e = _mm256_sub_pd(_mm256_sqrt_pd(q), r);
    return _mm256_mul_pd(e, e);
}

__attribute__((target("avx2"), optimize("fp-contract=off"))) double Avx2Block(const float* x, const float* y, const float* z, std::size_t count,
                                                 const double o[3], const double a[3], double r)
{
    const __m256d ov[3] = {_mm256_set1_pd(o[0]), _mm256_set1_pd(o[1]), _mm256_set1_pd(o[2])};
    const __m256d av[3] = {_mm256_set1_pd(a[0]), _mm256_set1_pd(a[1]), _mm256_set1_pd(a[2])};
    const __m256d rv = _mm256_set1_pd(r);
    __m256d low = _mm256_setzero_pd(), high = _mm256_setzero_pd();
    std::size_t i = 0;
    for (; i + kLanes <= count; i += kLanes)
    {
        low = _mm256_add_pd(low, Avx2Quad(x + i, y + i, z + i, ov, av, rv));
        high = _mm256_add_pd(high, Avx2Quad(x + i + 4, y + i + 4, z + i + 4, ov, av, rv));
    }
    double lanes[kLanes];
    _mm256_storeu_pd(lanes, low);
    _mm256_storeu_pd(lanes + 4, high);
    return FinishLanes(lanes, x, y, z, i, count, o, a, r);
}

// The zero-masked forms: the plain ones trip g++ 12's uninitialised-value
// warning inside its own headers.
constexpr __mmask8 kAll8 = 0xFF;
__attribute__((target("avx512f"))) inline __m512d Widen8(const float* v)
{
    return _mm512_maskz_cvtps_pd(kAll8, _mm256_loadu_ps(v));
}
__attribute__((target("avx512f"))) inline __m512d Round8(__m512d v)
{
    return _mm512_maskz_cvtps_pd(kAll8, _mm512_maskz_cvtpd_ps(kAll8, v));
}

// Fused multiply-adds would round differently from the other kernels.
__attribute__((target("avx512f"), optimize("fp-contract=off"))) double Avx512Block(const float* x, const float* y, const float* z,
                                                      std::size_t count, const double o[3], const double a[3], double r)
{
    const __m512d o0 = _mm512_set1_pd(o[0]), o1 = _mm512_set1_pd(o[1]), o2 = _mm512_set1_pd(o[2]);
    const __m512d a0 = _mm512_set1_pd(a[0]), a1 = _mm512_set1_pd(a[1]), a2 = _mm512_set1_pd(a[2]);
    const __m512d rv = _mm512_set1_pd(r);
    __m512d acc = _mm512_setzero_pd();
    std::size_t i = 0;
    for (; i + kLanes <= count; i += kLanes)
    {
        const __m512d d0 = Round8(_mm512_sub_pd(Widen8(x + i), o0));
        const __m512d d1 = Round8(_mm512_sub_pd(Widen8(y + i), o1));
        const __m512d d2 = Round8(_mm512_sub_pd(Widen8(z + i), o2));
        const __m512d c0 = _mm512_sub_pd(_mm512_mul_pd(d1, a2), _mm512_mul_pd(d2, a1));
        const __m512d c1 = _mm512_sub_pd(_mm512_mul_pd(d2, a0), _mm512_mul_pd(d0, a2));
        const __m512d c2 = _mm512_sub_pd(_mm512_mul_pd(d0, a1), _mm512_mul_pd(d1, a0));
        const __m512d q =
            _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(c0, c0), _mm512_mul_pd(c1, c1)), _mm512_mul_pd(c2, c2));
        const __m512d e = _mm512_sub_pd(_mm512_maskz_sqrt_pd(kAll8, q), rv);
        acc = _mm512_add_pd(acc, _mm512_mul_pd(e, e));
    }
    double lanes[kLanes];
    _mm512_storeu_pd(lanes, acc);
    return FinishLanes(lanes, x, y, z, i, count, o, a, r);
}

#endif

using tBlockKernel = double (*)(const float*, const float*, const float*, std::size_t, const double*,
                                const double*, double);

tBlockKernel KernelOf(eRadialErrorKernel kernel)
{
    switch (kernel)
    {
#ifdef VTL_RADIAL_X86
    case eRadialErrorKernel::kSse2:
        return Sse2Block;
    case eRadialErrorKernel::kAvx2:
        return Avx2Block;
    case eRadialErrorKernel::kAvx512:
        return Avx512Block;
#endif
    default:
        return PortableBlock;
    }
}

} // namespace

bool IsRadialErrorKernelAvailable(eRadialErrorKernel kernel)
{
    switch (kernel)
    {
    case eRadialErrorKernel::kPortable:
        return true;
#ifdef VTL_RADIAL_X86
    case eRadialErrorKernel::kSse2:
        return true;
    case eRadialErrorKernel::kAvx2:
        return __builtin_cpu_supports("avx2");
    case eRadialErrorKernel::kAvx512:
        return __builtin_cpu_supports("avx512f");
#endif
    default:
        return false;
    }
}

eRadialErrorKernel FastestRadialErrorKernel()
{
    static const eRadialErrorKernel fastest = [] {
        for (eRadialErrorKernel k :
             {eRadialErrorKernel::kAvx512, eRadialErrorKernel::kAvx2, eRadialErrorKernel::kSse2})
            if (IsRadialErrorKernelAvailable(k))
                return k;
        return eRadialErrorKernel::kPortable;
    }();
    return fastest;
}

double SumRadialErrorBlock(eRadialErrorKernel kernel, const float* x, const float* y, const float* z,
                           std::size_t count, const double point[3], const double direction[3], double radius)
{
    return KernelOf(kernel)(x, y, z, count, point, direction, radius);
}

double SumSquaredRadialErrors(const cPackedFitPoints& points, const double point[3], const double direction[3],
                              double radius, cThreadPool* pool)
{
    const tBlockKernel kernel = KernelOf(FastestRadialErrorKernel());
    const std::size_t blocks = points.BlockCount();
    if (blocks <= 1)
        return kernel(points.X(), points.Y(), points.Z(), points.Count(), point, direction, radius);
    std::vector<double> partial(blocks);
    auto run = [&](std::size_t block) {
        const std::size_t begin = block * kPackedBlockSize;
        const std::size_t count = std::min(kPackedBlockSize, points.Count() - begin);
        partial[block] =
            kernel(points.X() + begin, points.Y() + begin, points.Z() + begin, count, point, direction, radius);
    };
    ForEachPackedBlock(points, pool, run);
    double sum = 0.0;
    for (double s : partial)
        sum += s;
    return sum;
}
