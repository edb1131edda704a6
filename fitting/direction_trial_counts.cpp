#include "fitting/direction_trial_counts.h"

#include <cmath>
#include <cstdint>
#include <initializer_list>

#if defined(__GNUC__) && defined(__x86_64__)
#define VTL_TRIAL_COUNT_X86 1
#include <immintrin.h>
#endif

namespace
{

void ScalarCounts(const double* normals, std::size_t count, const double (*trials)[3], std::size_t trialCount,
                  double limit, std::size_t below[kTrialsPerCount])
{
    for (std::size_t i = 0; i < count; ++i)
    {
        const double* n = normals + 3 * i;
        for (std::size_t t = 0; t < trialCount; ++t)
            below[t] += std::fabs(n[0] * trials[t][0] + n[1] * trials[t][1] + n[2] * trials[t][2]) < limit;
    }
}

#ifdef VTL_TRIAL_COUNT_X86

// The trials in lanes, the ones past trialCount repeating the first (their
// counts are not handed back).
void TrialLanes(const double (*trials)[3], std::size_t trialCount, double lanes[3][kTrialsPerCount])
{
    for (std::size_t t = 0; t < kTrialsPerCount; ++t)
        for (int k = 0; k < 3; ++k)
            lanes[k][t] = trials[t < trialCount ? t : 0][k];
}

// Two trials a register, four registers.
void Sse2Counts(const double* normals, std::size_t count, const double (*trials)[3], std::size_t trialCount,
                double limit, std::size_t below[kTrialsPerCount])
{
    double lanes[3][kTrialsPerCount];
    TrialLanes(trials, trialCount, lanes);
    constexpr std::size_t kPairs = kTrialsPerCount / 2;
    __m128d c[3][kPairs];
    __m128i counts[kPairs];
    for (std::size_t p = 0; p < kPairs; ++p)
    {
        for (int k = 0; k < 3; ++k)
            c[k][p] = _mm_loadu_pd(lanes[k] + 2 * p);
        counts[p] = _mm_setzero_si128();
    }
    const __m128d sign = _mm_set1_pd(-0.0), bound = _mm_set1_pd(limit);
    for (std::size_t i = 0; i < count; ++i)
    {
        const double* n = normals + 3 * i;
        const __m128d n0 = _mm_set1_pd(n[0]), n1 = _mm_set1_pd(n[1]), n2 = _mm_set1_pd(n[2]);
        for (std::size_t p = 0; p < kPairs; ++p)
        {
            const __m128d dot =
                _mm_add_pd(_mm_add_pd(_mm_mul_pd(n0, c[0][p]), _mm_mul_pd(n1, c[1][p])), _mm_mul_pd(n2, c[2][p]));
            // All ones (-1) where the normal counts.
            const __m128d counted = _mm_cmplt_pd(_mm_andnot_pd(sign, dot), bound);
            counts[p] = _mm_sub_epi64(counts[p], _mm_castpd_si128(counted));
        }
    }
    std::int64_t got[kTrialsPerCount];
    for (std::size_t p = 0; p < kPairs; ++p)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(got + 2 * p), counts[p]);
    for (std::size_t t = 0; t < trialCount; ++t)
        below[t] += static_cast<std::size_t>(got[t]);
}

// All eight trials in one register.
__attribute__((target("avx512f"), optimize("fp-contract=off"))) void
Avx512Counts(const double* normals, std::size_t count, const double (*trials)[3], std::size_t trialCount,
             double limit, std::size_t below[kTrialsPerCount])
{
    double lanes[3][kTrialsPerCount];
    TrialLanes(trials, trialCount, lanes);
    const __m512d c0 = _mm512_loadu_pd(lanes[0]), c1 = _mm512_loadu_pd(lanes[1]), c2 = _mm512_loadu_pd(lanes[2]);
    const __m512d bound = _mm512_set1_pd(limit);
    const __m512i one = _mm512_set1_epi64(1);
    __m512i counts = _mm512_setzero_si512();
    for (std::size_t i = 0; i < count; ++i)
    {
        const double* n = normals + 3 * i;
        const __m512d dot = _mm512_add_pd(
            _mm512_add_pd(_mm512_mul_pd(_mm512_set1_pd(n[0]), c0), _mm512_mul_pd(_mm512_set1_pd(n[1]), c1)),
            _mm512_mul_pd(_mm512_set1_pd(n[2]), c2));
        const __mmask8 counted = _mm512_cmp_pd_mask(_mm512_abs_pd(dot), bound, _CMP_LT_OQ);
        counts = _mm512_mask_add_epi64(counts, counted, counts, one);
    }
    std::int64_t got[kTrialsPerCount];
    _mm512_storeu_si512(got, counts);
    for (std::size_t t = 0; t < trialCount; ++t)
        below[t] += static_cast<std::size_t>(got[t]);
}

#endif

} // namespace

bool IsTrialCountKernelAvailable(eTrialCountKernel kernel)
{
    switch (kernel)
    {
    case eTrialCountKernel::kScalar:
        return true;
#ifdef VTL_TRIAL_COUNT_X86
    case eTrialCountKernel::kSse2:
        return true;
    case eTrialCountKernel::kAvx512:
        return __builtin_cpu_supports("avx512f");
#endif
    default:
        return false;
    }
}

eTrialCountKernel FastestTrialCountKernel()
{
    static const eTrialCountKernel fastest = [] {
        for (eTrialCountKernel k : {eTrialCountKernel::kAvx512, eTrialCountKernel::kSse2})
            if (IsTrialCountKernelAvailable(k))
                return k;
        return eTrialCountKernel::kScalar;
    }();
    return fastest;
}

void CountNearlySquare(eTrialCountKernel kernel, const double* normals, std::size_t count,
                       const double (*trials)[3], std::size_t trialCount, double limit,
                       std::size_t below[kTrialsPerCount])
{
    if (trialCount == 0)
        return;
    switch (kernel)
    {
#ifdef VTL_TRIAL_COUNT_X86
    case eTrialCountKernel::kSse2:
        Sse2Counts(normals, count, trials, trialCount, limit, below);
        return;
    case eTrialCountKernel::kAvx512:
        Avx512Counts(normals, count, trials, trialCount, limit, below);
        return;
#endif
    default:
        ScalarCounts(normals, count, trials, trialCount, limit, below);
    }
}
