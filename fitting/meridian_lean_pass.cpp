#include "fitting/meridian_lean_pass.h"

#include "core/thread_pool.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
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

void ScalarTurn(const double* const p[3], const double* const n[3], std::size_t first, std::size_t count,
                const stHalfPlaneFrame& f, stHalfPlaneChunk& out)
{
    for (std::size_t j = 0; j < count; ++j)
    {
        const std::size_t i = first + j;
        const double d[3] = {p[0][i] - f.at[0], p[1][i] - f.at[1], p[2][i] - f.at[2]};
        const double h = d[0] * f.dir[0] + d[1] * f.dir[1] + d[2] * f.dir[2];
        const double a = d[0] * f.u[0] + d[1] * f.u[1] + d[2] * f.u[2];
        const double b = d[0] * f.v[0] + d[1] * f.v[1] + d[2] * f.v[2];
        const double r = std::hypot(a, b);
        const double radial[3] = {(a * f.u[0] + b * f.v[0]) / r, (a * f.u[1] + b * f.v[1]) / r,
                                  (a * f.u[2] + b * f.v[2]) / r};
        out.h[j] = h, out.a[j] = a, out.b[j] = b, out.r[j] = r;
        out.mr[j] = n[0][i] * radial[0] + n[1][i] * radial[1] + n[2][i] * radial[2];
        out.mh[j] = n[0][i] * f.dir[0] + n[1][i] * f.dir[1] + n[2][i] * f.dir[2];
        out.angle[j] = AngleEstimate(b, a);
    }
}

#ifdef VTL_MERIDIAN_X86

// Two samples at a time.
void Sse2Leans(const double* block, std::size_t count, const double axis[3], const double point[3],
               double* out)
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
        const __m128d length = _mm_sqrt_pd(
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(across[0], across[0]), _mm_mul_pd(across[1], across[1])),
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

// Component `component` of samples i .. i + 7 of a block laid out by component.
__attribute__((target("avx512f"))) inline __m512d Load8(const double* block, std::size_t count, std::size_t i,
                                                        std::size_t component)
{
    return _mm512_loadu_pd(block + component * count + i);
}

__attribute__((target("avx512f"), optimize("fp-contract=off"))) void
Avx512Leans(const double* block, std::size_t count, const double axis[3], const double point[3], double* out)
{
    const __m512d c0 = _mm512_set1_pd(point[0]), c1 = _mm512_set1_pd(point[1]), c2 = _mm512_set1_pd(point[2]);
    const __m512d a0 = _mm512_set1_pd(axis[0]), a1 = _mm512_set1_pd(axis[1]), a2 = _mm512_set1_pd(axis[2]);
    const __m512d none = _mm512_set1_pd(-1.0), zero = _mm512_setzero_pd();
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8)
    {
        const __m512d r0 = _mm512_sub_pd(Load8(block, count, i, 0), c0),
                      r1 = _mm512_sub_pd(Load8(block, count, i, 1), c1),
                      r2 = _mm512_sub_pd(Load8(block, count, i, 2), c2);
        const __m512d x = _mm512_sub_pd(_mm512_mul_pd(a1, r2), _mm512_mul_pd(a2, r1));
        const __m512d y = _mm512_sub_pd(_mm512_mul_pd(a2, r0), _mm512_mul_pd(a0, r2));
        const __m512d z = _mm512_sub_pd(_mm512_mul_pd(a0, r1), _mm512_mul_pd(a1, r0));
        const __m512d length =
            _mm512_maskz_sqrt_pd(kAll8, _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(x, x), _mm512_mul_pd(y, y)),
                                                      _mm512_mul_pd(z, z)));
        const __m512d dot = _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(x, Load8(block, count, i, 3)),
                                                        _mm512_mul_pd(y, Load8(block, count, i, 4))),
                                          _mm512_mul_pd(z, Load8(block, count, i, 5)));
        const __m512d off = _mm512_maskz_div_pd(kAll8, _mm512_abs_pd(dot), length);
        // -1 where the length is not above zero (NaN included).
        const __mmask8 above = _mm512_cmp_pd_mask(length, zero, _CMP_GT_OQ);
        _mm512_storeu_pd(out + i, _mm512_mask_blend_pd(above, none, off));
    }
    ScalarLeans(block, count, i, axis, point, out);
}

// Eight samples at a time but for the radius, which the library's
// std::hypot gives lane by lane. The zero-masked loads of the last lanes
// leave them zero; their values are not handed out.
__attribute__((target("avx512f"), optimize("fp-contract=off"))) inline __m512d
Dot8(__m512d x, __m512d y, __m512d z, __m512d w0, __m512d w1, __m512d w2)
{
    return _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(x, w0), _mm512_mul_pd(y, w1)), _mm512_mul_pd(z, w2));
}

// c + t2 * inner
__attribute__((target("avx512f"), optimize("fp-contract=off"))) inline __m512d Horner8(__m512d inner,
                                                                                       __m512d t2, double c)
{
    return _mm512_add_pd(_mm512_set1_pd(c), _mm512_mul_pd(t2, inner));
}

__attribute__((target("avx512f"), optimize("fp-contract=off"))) void
Avx512Turn(const double* const p[3], const double* const n[3], std::size_t first, std::size_t count,
           const stHalfPlaneFrame& f, stHalfPlaneChunk& out)
{
    const __m512d dir0 = _mm512_set1_pd(f.dir[0]), dir1 = _mm512_set1_pd(f.dir[1]),
                  dir2 = _mm512_set1_pd(f.dir[2]);
    const __m512d at0 = _mm512_set1_pd(f.at[0]), at1 = _mm512_set1_pd(f.at[1]), at2 = _mm512_set1_pd(f.at[2]);
    const __m512d u0 = _mm512_set1_pd(f.u[0]), u1 = _mm512_set1_pd(f.u[1]), u2 = _mm512_set1_pd(f.u[2]);
    const __m512d v0 = _mm512_set1_pd(f.v[0]), v1 = _mm512_set1_pd(f.v[1]), v2 = _mm512_set1_pd(f.v[2]);
    const __m512i sign = _mm512_set1_epi64(std::int64_t{1} << 63);
    const __m512d zero = _mm512_setzero_pd();
    const __m512d quarter = _mm512_set1_pd(0.5 * std::numbers::pi), half = _mm512_set1_pd(std::numbers::pi);
    double scratch[8] = {};
    for (std::size_t j = 0; j < count; j += 8)
    {
        const __mmask8 lanes = static_cast<__mmask8>(count - j >= 8 ? 0xFF : (1u << (count - j)) - 1);
        const std::size_t i = first + j;
        const __m512d d0 = _mm512_sub_pd(_mm512_maskz_loadu_pd(lanes, p[0] + i), at0);
        const __m512d d1 = _mm512_sub_pd(_mm512_maskz_loadu_pd(lanes, p[1] + i), at1);
        const __m512d d2 = _mm512_sub_pd(_mm512_maskz_loadu_pd(lanes, p[2] + i), at2);
        const __m512d h = Dot8(d0, d1, d2, dir0, dir1, dir2);
        const __m512d a = Dot8(d0, d1, d2, u0, u1, u2), b = Dot8(d0, d1, d2, v0, v1, v2);
        _mm512_storeu_pd(out.h + j, h), _mm512_storeu_pd(out.a + j, a), _mm512_storeu_pd(out.b + j, b);
        for (std::size_t k = 0; k < 8 && j + k < count; ++k)
            scratch[k] = std::hypot(out.a[j + k], out.b[j + k]);
        const __m512d r = _mm512_loadu_pd(scratch);
        _mm512_storeu_pd(out.r + j, r);
        const __m512d rad0 =
            _mm512_maskz_div_pd(0xFF, _mm512_add_pd(_mm512_mul_pd(a, u0), _mm512_mul_pd(b, v0)), r);
        const __m512d rad1 =
            _mm512_maskz_div_pd(0xFF, _mm512_add_pd(_mm512_mul_pd(a, u1), _mm512_mul_pd(b, v1)), r);
        const __m512d rad2 =
            _mm512_maskz_div_pd(0xFF, _mm512_add_pd(_mm512_mul_pd(a, u2), _mm512_mul_pd(b, v2)), r);
        const __m512d n0 = _mm512_maskz_loadu_pd(lanes, n[0] + i),
                      n1 = _mm512_maskz_loadu_pd(lanes, n[1] + i),
                      n2 = _mm512_maskz_loadu_pd(lanes, n[2] + i);
        _mm512_storeu_pd(out.mr + j, Dot8(n0, n1, n2, rad0, rad1, rad2));
        _mm512_storeu_pd(out.mh + j, Dot8(n0, n1, n2, dir0, dir1, dir2));
        // AngleEstimate: std::min(ax, ay) is ay < ax ? ay : ax, as the
        // instruction's min(ay, ax); std::max(ax, ay) likewise.
        const __m512d ax = _mm512_abs_pd(a), ay = _mm512_abs_pd(b);
        const __m512d t =
            _mm512_maskz_div_pd(0xFF, _mm512_maskz_min_pd(0xFF, ay, ax), _mm512_maskz_max_pd(0xFF, ay, ax));
        const __m512d t2 = _mm512_mul_pd(t, t);
        const __m512d inner =
            _mm512_add_pd(_mm512_set1_pd(-0.0851330), _mm512_mul_pd(t2, _mm512_set1_pd(0.0208351)));
        __m512d angle =
            _mm512_mul_pd(t, Horner8(Horner8(Horner8(inner, t2, 0.1801410), t2, -0.3302995), t2, 0.9998660));
        angle = _mm512_mask_sub_pd(angle, _mm512_cmp_pd_mask(ay, ax, _CMP_GT_OQ), quarter, angle);
        angle = _mm512_mask_sub_pd(angle, _mm512_cmp_pd_mask(a, zero, _CMP_LT_OQ), half, angle);
        // std::copysign(angle, b).
        const __m512i signed_ =
            _mm512_or_si512(_mm512_maskz_andnot_epi64(0xFF, sign, _mm512_castpd_si512(angle)),
                            _mm512_and_si512(sign, _mm512_castpd_si512(b)));
        _mm512_storeu_pd(out.angle + j, _mm512_castsi512_pd(signed_));
    }
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
    static const eMeridianLeanKernel fastest = []
    {
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
    auto lay = [&](std::size_t b)
    {
        double* block = samples + 6 * b * blockSize;
        const std::size_t m = std::min(blockSize, count - b * blockSize);
        const std::vector<double> copy(block, block + 6 * m);
        for (std::size_t i = 0; i < m; ++i)
            for (std::size_t c = 0; c < 6; ++c)
                block[c * m + i] = copy[6 * i + c];
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, lay);
}

double AngleEstimate(double y, double x)
{
    const double ax = std::fabs(x), ay = std::fabs(y);
    const double t = std::min(ax, ay) / std::max(ax, ay), t2 = t * t;
    double angle =
        t * (0.9998660 + t2 * (-0.3302995 + t2 * (0.1801410 + t2 * (-0.0851330 + t2 * 0.0208351))));
    if (ay > ax)
        angle = 0.5 * std::numbers::pi - angle;
    if (x < 0.0)
        angle = std::numbers::pi - angle;
    return std::copysign(angle, y);
}

void TurnIntoHalfPlane(eMeridianLeanKernel kernel, const double* const p[3], const double* const n[3],
                       std::size_t first, std::size_t count, const stHalfPlaneFrame& frame,
                       stHalfPlaneChunk& out)
{
    count = std::min(count, kHalfPlaneChunk);
#ifdef VTL_MERIDIAN_X86
    if (kernel == eMeridianLeanKernel::kAvx512)
    {
        Avx512Turn(p, n, first, count, frame, out);
        return;
    }
#endif
    (void)kernel;
    ScalarTurn(p, n, first, count, frame, out);
}
