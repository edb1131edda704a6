#include "fitting/meridian_lean_pass.h"

#include "core/thread_pool.h"

#include <algorithm>
#include <cmath>
#include <vector>

#if defined(__GNUC__) && defined(__x86_64__)
#define VTL_MERIDIAN_X86 1
#include <immintrin.h>
#endif

namespace
{

void ScalarLeans(const double* block, std::size_t count, std::size_t from, const double axis[3],
                 const double point[3], double* out)
{
    for (std::size_t i = from; i < count; ++i)
    {
        const double p[3] = {block[i], block[count + i], block[2 * count + i]};
        const double n[3] = {block[3 * count + i], block[4 * count + i], block[5 * count + i]};
        out[i] = MeridianLean(p, n, axis, point);
    }
}

#ifdef VTL_MERIDIAN_X86

// Two samples at a time.
void Sse2Leans(const double* block, std::size_t count, const double axis[3], const double point[3], double* out)
{
    const __m128d c[3] = {_mm_set1_pd(point[0]), _mm_set1_pd(point[1]), _mm_set1_pd(point[2])};
    const __m128d a[3] = {_mm_set1_pd(axis[0]), _mm_set1_pd(axis[1]), _mm_set1_pd(axis[2])};
    const __m128d sign = _mm_set1_pd(-0.0), none = _mm_set1_pd(-1.0), zero = _mm_setzero_pd();
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2)
    {
        const auto at = [&](std::size_t component) { return _mm_loadu_pd(block + component * count + i); };
        const __m128d r[3] = {_mm_sub_pd(at(0), c[0]), _mm_sub_pd(at(1), c[1]), _mm_sub_pd(at(2), c[2])};
        const __m128d across[3] = {_mm_sub_pd(_mm_mul_pd(a[1], r[2]), _mm_mul_pd(a[2], r[1])),
                                   _mm_sub_pd(_mm_mul_pd(a[2], r[0]), _mm_mul_pd(a[0], r[2])),
                                   _mm_sub_pd(_mm_mul_pd(a[0], r[1]), _mm_mul_pd(a[1], r[0]))};
        const __m128d length = _mm_sqrt_pd(_mm_add_pd(
            _mm_add_pd(_mm_mul_pd(across[0], across[0]), _mm_mul_pd(across[1], across[1])),
            _mm_mul_pd(across[2], across[2])));
        const __m128d dot = _mm_add_pd(_mm_add_pd(_mm_mul_pd(across[0], at(3)), _mm_mul_pd(across[1], at(4))),
                                       _mm_mul_pd(across[2], at(5)));
        const __m128d off = _mm_div_pd(_mm_andnot_pd(sign, dot), length);
        // -1 where the length is not above zero (NaN included).
        const __m128d above = _mm_cmpgt_pd(length, zero);
        _mm_storeu_pd(out + i, _mm_or_pd(_mm_and_pd(above, off), _mm_andnot_pd(above, none)));
    }
    ScalarLeans(block, count, i, axis, point, out);
}

// Eight samples at a time. The zero-masked forms: the plain ones trip g++
// 12's uninitialised-value warning inside its own headers.
constexpr __mmask8 kAll8 = 0xFF;

__attribute__((target("avx512f"), optimize("fp-contract=off"))) void
Avx512Leans(const double* block, std::size_t count, const double axis[3], const double point[3], double* out)
{
    const __m512d c0 = _mm512_set1_pd(point[0]), c1 = _mm512_set1_pd(point[1]), c2 = _mm512_set1_pd(point[2]);
    const __m512d a0 = _mm512_set1_pd(axis[0]), a1 = _mm512_set1_pd(axis[1]), a2 = _mm512_set1_pd(axis[2]);
    const __m512d none = _mm512_set1_pd(-1.0), zero = _mm512_setzero_pd();
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8)
    {
        const auto at = [&](std::size_t component) { return _mm512_loadu_pd(block + component * count + i); };
        const __m512d r0 = _mm512_sub_pd(at(0), c0), r1 = _mm512_sub_pd(at(1), c1), r2 = _mm512_sub_pd(at(2), c2);
        const __m512d x = _mm512_sub_pd(_mm512_mul_pd(a1, r2), _mm512_mul_pd(a2, r1));
        const __m512d y = _mm512_sub_pd(_mm512_mul_pd(a2, r0), _mm512_mul_pd(a0, r2));
        const __m512d z = _mm512_sub_pd(_mm512_mul_pd(a0, r1), _mm512_mul_pd(a1, r0));
        const __m512d length = _mm512_maskz_sqrt_pd(
            kAll8, _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(x, x), _mm512_mul_pd(y, y)), _mm512_mul_pd(z, z)));
        const __m512d dot =
            _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(x, at(3)), _mm512_mul_pd(y, at(4))), _mm512_mul_pd(z, at(5)));
        const __m512d off = _mm512_maskz_div_pd(kAll8, _mm512_abs_pd(dot), length);
        // -1 where the length is not above zero (NaN included).
        const __mmask8 above = _mm512_cmp_pd_mask(length, zero, _CMP_GT_OQ);
        _mm512_storeu_pd(out + i, _mm512_mask_blend_pd(above, none, off));
    }
    ScalarLeans(block, count, i, axis, point, out);
}

#endif

} // namespace

bool IsMeridianLeanKernelAvailable(eMeridianLeanKernel kernel)
{
    switch (kernel)
    {
    case eMeridianLeanKernel::kScalar:
        return true;
#ifdef VTL_MERIDIAN_X86
    case eMeridianLeanKernel::kSse2:
        return true;
    case eMeridianLeanKernel::kAvx512:
        return __builtin_cpu_supports("avx512f");
#endif
    default:
        return false;
    }
}

eMeridianLeanKernel FastestMeridianLeanKernel()
{
    static const eMeridianLeanKernel fastest = [] {
        for (eMeridianLeanKernel k : {eMeridianLeanKernel::kAvx512, eMeridianLeanKernel::kSse2})
            if (IsMeridianLeanKernelAvailable(k))
                return k;
        return eMeridianLeanKernel::kScalar;
    }();
    return fastest;
}

double MeridianLean(const double p[3], const double n[3], const double axis[3], const double point[3])
{
    const double r[3] = {p[0] - point[0], p[1] - point[1], p[2] - point[2]};
    const double across[3] = {axis[1] * r[2] - axis[2] * r[1], axis[2] * r[0] - axis[0] * r[2],
                              axis[0] * r[1] - axis[1] * r[0]};
    const double length = std::sqrt(across[0] * across[0] + across[1] * across[1] + across[2] * across[2]);
    if (!(length > 0.0))
        return -1.0;
    return std::fabs(across[0] * n[0] + across[1] * n[1] + across[2] * n[2]) / length;
}

void MeridianLeansOfBlock(eMeridianLeanKernel kernel, const double* block, std::size_t count,
                          const double axis[3], const double point[3], double* out)
{
    switch (kernel)
    {
#ifdef VTL_MERIDIAN_X86
    case eMeridianLeanKernel::kSse2:
        Sse2Leans(block, count, axis, point, out);
        return;
    case eMeridianLeanKernel::kAvx512:
        Avx512Leans(block, count, axis, point, out);
        return;
#endif
    default:
        ScalarLeans(block, count, 0, axis, point, out);
    }
}

void LaySamplesOutByComponent(double* samples, std::size_t count, std::size_t blockSize)
{
    if (blockSize == 0)
        return;
    const std::size_t blocks = (count + blockSize - 1) / blockSize;
    auto lay = [&](std::size_t b) {
        double* block = samples + 6 * b * blockSize;
        const std::size_t m = std::min(blockSize, count - b * blockSize);
        const std::vector<double> copy(block, block + 6 * m);
        for (std::size_t i = 0; i < m; ++i)
            for (std::size_t c = 0; c < 6; ++c)
                block[c * m + i] = copy[6 * i + c];
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, lay);
}
