// A running sum of terms that are not negative, added in their order and
// rounded at every step (sum = sum + term), taken a block of terms at a time
// without the chain of dependent additions where the bits allow it.
//
// While the running sum stays within one binade [2^e, 2^(e+1)), the doubles
// there are the multiples of u = 2^(e - 52) and the sum is one of them, so
// adding a term rounds the term alone to the nearest multiple of u: the
// block adds u times the sum of those whole numbers, which may be counted
// in any order (on the pool, before the sum reaches the block). The
// counting needs the binade the sum will be in (from an earlier sum over
// similar terms); a block counted for another binade, whose sum leaves the
// binade, or whose terms hold a tie (a term that is an odd multiple of
// u / 2, which rounds by the sum's last bit), a term of half the binade's
// start or more, or one that is not finite, is added term by term.
#pragma once

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include <immintrin.h>

// A block's terms counted in units of the binade's spacing.
struct stSumSteps
{
    std::uint64_t units = 0;
    int binade = INT_MIN;
    // False: the block is to be added term by term.
    bool counted = false;
};

// Blocks of at most this many terms are counted (their units fit 64 bits).
inline constexpr std::size_t kMaxSumStepTerms = 4096;

// The binade e of a positive normal double (2^e <= s < 2^(e+1)); INT_MIN
// for anything else (zero, subnormal, infinite, NaN, negative), which no
// block is counted for.
inline int SumBinade(double sum)
{
    if (!(sum >= DBL_MIN) || !(sum <= DBL_MAX))
        return INT_MIN;
    return std::ilogb(sum);
}

// Counts term(i) for i in [0, n) in units of the spacing of binade e;
// a term(i) that is not >= 0 (negative or NaN) is no term, as the ordered
// additions pass it over.
template <class Term> stSumSteps CountSumSteps(std::size_t n, int binade, Term term)
{
    stSumSteps steps;
    steps.binade = binade;
    // Far enough from both ends of the exponents that the scalings are exact.
    if (n > kMaxSumStepTerms || binade < DBL_MIN_EXP + 60 || binade > DBL_MAX_EXP - 60)
        return steps;
    const double perUnit = std::ldexp(1.0, 52 - binade);
    const double limit = std::ldexp(1.0, binade - 1);
    // Added to a value below 2^51, rounds it to a whole number (ties to
    // even) in the low bits of its mantissa.
    constexpr double kRound = 0x1.8p52;
    std::uint64_t units = 0;
    bool tie = false;
    for (std::size_t i = 0; i < n; ++i)
    {
        const double t = term(i);
        if (!(t >= 0.0))
            continue;
        if (!(t < limit))
            return steps;
        // Exact: a power of two times a double, below 2^51.
        const double v = t * perUnit;
        const double whole = (v + kRound) - kRound;
        // The rounding's difference is exact: a tie shows as a half.
        tie |= std::fabs(whole - v) == 0.5;
        units += static_cast<std::uint64_t>(whole);
    }
    steps.units = units;
    steps.counted = !tie;
    return steps;
}

// CountSumSteps of the squares of values[i] that are not below zero (the
// others are no terms), two values at a time in the vector lanes: each lane
// rounds its term as CountSumSteps does and finds the whole number in the
// low bits of (v + 1.5 * 2^52), which for 0 <= v < 2^51 is that double's
// bit pattern less the constant's (a whole 2^51 carries into its exponent
// by the same amount). A term of half the binade's start or more (or an
// infinite one) leaves the block uncounted, as there.
inline stSumSteps CountSumStepsOfSquaresInPairs(const double* values, std::size_t n, int binade)
{
    stSumSteps steps;
    steps.binade = binade;
    if (n > kMaxSumStepTerms || binade < DBL_MIN_EXP + 60 || binade > DBL_MAX_EXP - 60)
        return steps;
    const __m128d perUnit = _mm_set1_pd(std::ldexp(1.0, 52 - binade));
    const __m128d limit = _mm_set1_pd(std::ldexp(1.0, binade - 1));
    const __m128d round = _mm_set1_pd(0x1.8p52), half = _mm_set1_pd(0.5), zero = _mm_setzero_pd();
    const __m128d sign = _mm_set1_pd(-0.0);
    const __m128i roundBits = _mm_castpd_si128(round);
    __m128i units = _mm_setzero_si128();
    __m128d off = zero;
    const auto lanes = [&](__m128d x) {
        // No term (below zero, NaN) counts as zero units.
        const __m128d t = _mm_and_pd(_mm_cmpge_pd(x, zero), _mm_mul_pd(x, x));
        off = _mm_or_pd(off, _mm_cmpnlt_pd(t, limit));
        const __m128d v = _mm_mul_pd(t, perUnit);
        const __m128d r = _mm_add_pd(v, round);
        off = _mm_or_pd(off, _mm_cmpeq_pd(_mm_andnot_pd(sign, _mm_sub_pd(_mm_sub_pd(r, round), v)), half));
        units = _mm_add_epi64(units, _mm_sub_epi64(_mm_castpd_si128(r), roundBits));
    };
    std::size_t i = 0;
    for (; i + 1 < n; i += 2)
        lanes(_mm_loadu_pd(values + i));
    if (i < n)
        lanes(_mm_set_pd(-1.0, values[i]));
    if (_mm_movemask_pd(off) != 0)
        return steps;
    std::uint64_t both[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(both), units);
    steps.units = both[0] + both[1];
    steps.counted = true;
    return steps;
}

// Eight squares' steps of 2^(binade - 52) (`perUnit` their inverse) into
// `units`; `off` gains the lanes whose square is not a whole count of steps
// below `limit` (a tie, a big term). No term (below zero, NaN) counts as
// zero units.
__attribute__((target("avx512f"), optimize("fp-contract=off"))) inline void
CountEightSquareSteps(__m512d x, __m512d perUnit, __m512d limit, __m512i& units, __mmask8& off)
{
    const __m512d round = _mm512_set1_pd(0x1.8p52), half = _mm512_set1_pd(0.5), zero = _mm512_setzero_pd();
    const __m512d t = _mm512_maskz_mul_pd(_mm512_cmp_pd_mask(x, zero, _CMP_GE_OQ), x, x);
    off |= _mm512_cmp_pd_mask(t, limit, _CMP_NLT_UQ);
    const __m512d v = _mm512_mul_pd(t, perUnit);
    const __m512d r = _mm512_add_pd(v, round);
    off |= _mm512_cmp_pd_mask(_mm512_abs_pd(_mm512_sub_pd(_mm512_sub_pd(r, round), v)), half, _CMP_EQ_OQ);
    units = _mm512_add_epi64(units, _mm512_sub_epi64(_mm512_castpd_si512(r), _mm512_castpd_si512(round)));
}

// CountSumStepsOfSquaresInPairs eight values at a time, each lane with the
// same operations (no fused multiply-adds); the last values in a masked
// load, the missing lanes no terms.
__attribute__((target("avx512f"), optimize("fp-contract=off"))) inline stSumSteps
CountSumStepsOfSquaresInEights(const double* values, std::size_t n, int binade)
{
    stSumSteps steps;
    steps.binade = binade;
    if (n > kMaxSumStepTerms || binade < DBL_MIN_EXP + 60 || binade > DBL_MAX_EXP - 60)
        return steps;
    const __m512d perUnit = _mm512_set1_pd(std::ldexp(1.0, 52 - binade));
    const __m512d limit = _mm512_set1_pd(std::ldexp(1.0, binade - 1));
    const __m512d none = _mm512_set1_pd(-1.0);
    __m512i units = _mm512_setzero_si512();
    __mmask8 off = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8)
        CountEightSquareSteps(_mm512_loadu_pd(values + i), perUnit, limit, units, off);
    if (i < n)
        CountEightSquareSteps(_mm512_mask_loadu_pd(none, static_cast<__mmask8>((1u << (n - i)) - 1), values + i),
                              perUnit, limit, units, off);
    if (off != 0)
        return steps;
    std::uint64_t eight[8];
    _mm512_storeu_si512(eight, units);
    steps.units = ((eight[0] + eight[1]) + (eight[2] + eight[3])) + ((eight[4] + eight[5]) + (eight[6] + eight[7]));
    steps.counted = true;
    return steps;
}

// CountSumStepsOfSquaresInPairs by the widest lanes the processor has.
inline stSumSteps CountSumStepsOfSquares(const double* values, std::size_t n, int binade)
{
    static const bool eights = __builtin_cpu_supports("avx512f");
    return eights ? CountSumStepsOfSquaresInEights(values, n, binade)
                  : CountSumStepsOfSquaresInPairs(values, n, binade);
}

// The running sum after a block: from its counted steps when they were
// counted for the sum's binade and the sum stays in it, else `ordered(sum)`,
// the block's terms added one by one.
template <class Ordered> double TakeSumSteps(double sum, const stSumSteps& steps, Ordered&& ordered)
{
    if (steps.counted && SumBinade(sum) == steps.binade)
    {
        // Exact: a multiple of the spacing below 2^(e+1) or, when the units
        // reach past it, at least 2^(e+1).
        const double after = sum + std::ldexp(static_cast<double>(steps.units), steps.binade - 52);
        if (after < std::ldexp(1.0, steps.binade + 1))
            return after;
    }
    return ordered(sum);
}
