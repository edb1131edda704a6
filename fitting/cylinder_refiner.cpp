#include "fitting/cylinder_refiner.h"

#include "core/vector_math.h"
#include "fitting/square_matrix.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#if defined(__GNUC__) && defined(__x86_64__)
#define VTL_REFINER_X86 1
#include <immintrin.h>
#endif

namespace
{

// Index of (i, j), i <= j, in the upper triangle of a 5 x 5 matrix stored
// row by row.
constexpr int kUpper[5][5] = {
    {0, 1, 2, 3, 4}, {1, 5, 6, 7, 8}, {2, 6, 9, 10, 11}, {3, 7, 10, 12, 13}, {4, 8, 11, 13, 14}};

constexpr double kSettledStep = 1e-10;

void PerpendicularBasis(const double a[3], double u[3], double v[3])
{
    const double other[3] = {std::fabs(a[0]) < 0.6 ? 1.0 : 0.0, std::fabs(a[0]) < 0.6 ? 0.0 : 1.0, 0.0};
    Cross3d(a, other, u);
    NormaliseVector3d(u);
    Cross3d(a, u, v);
}

struct stAcrossSums
{
    double A[6] = {}; // upper triangle of the 3 x 3 system
    double b[3] = {};
    stAcrossSums& operator+=(const stAcrossSums& o)
    {
        for (int k = 0; k < 6; ++k)
            A[k] += o.A[k];
        for (int k = 0; k < 3; ++k)
            b[k] += o.b[k];
        return *this;
    }
};

// One pass's sums: the cost, and the upper triangle (row by row) and
// right-hand side of the 5 x 5 normal equations.
struct stPassSums
{
    double cost = 0.0;
    double A[15] = {};
    double b[5] = {};
    stPassSums& operator+=(const stPassSums& o)
    {
        cost += o.cost;
        for (int k = 0; k < 15; ++k)
            A[k] += o.A[k];
        for (int k = 0; k < 5; ++k)
            b[k] += o.b[k];
        return *this;
    }
};

// The cylinder a pass measures against, with the points' centring.
struct stPassFrame
{
    double m[3];
    double s;
    double c[3];
    double u[3];
    double v[3];
    double a[3];
    double r;
};

// Adds the sums of count points to out. Each point's row of the normal
// equations is (-x, -y, -z x, -z y, -rho) / rho in the frame (u, v, a) about
// the axis point; a point on the axis adds its cost only.
void PortablePassRange(const stPassFrame& f, const float* px, const float* py, const float* pz, std::size_t count,
                       bool withSystem, stPassSums& out)
{
    // Locals rather than the arrays, so that they can stay in registers.
    double cost = 0.0, rows = 0.0;
    double a00 = 0.0, a01 = 0.0, a02 = 0.0, a03 = 0.0, a04 = 0.0, a11 = 0.0, a12 = 0.0, a13 = 0.0, a14 = 0.0;
    double a22 = 0.0, a23 = 0.0, a24 = 0.0, a33 = 0.0, a34 = 0.0;
    double b0 = 0.0, b1 = 0.0, b2 = 0.0, b3 = 0.0, b4 = 0.0;
    for (std::size_t i = 0; i < count; ++i)
    {
        const double w0 = (px[i] - f.m[0]) * f.s - f.c[0];
        const double w1 = (py[i] - f.m[1]) * f.s - f.c[1];
        const double w2 = (pz[i] - f.m[2]) * f.s - f.c[2];
        const double x = w0 * f.u[0] + w1 * f.u[1] + w2 * f.u[2];
        const double y = w0 * f.v[0] + w1 * f.v[1] + w2 * f.v[2];
        const double rho = std::sqrt(x * x + y * y);
        const double e = rho - f.r;
        cost += e * e;
        if (!withSystem || !(rho > 0.0))
            continue;
        const double z = w0 * f.a[0] + w1 * f.a[1] + w2 * f.a[2];
        const double inv = 1.0 / rho;
        const double j0 = -x * inv, j1 = -y * inv, j2 = z * j0, j3 = z * j1;
        rows += 1.0;
        a00 += j0 * j0;
        a01 += j0 * j1;
        a02 += j0 * j2;
        a03 += j0 * j3;
        a04 -= j0;
        a11 += j1 * j1;
        a12 += j1 * j2;
        a13 += j1 * j3;
        a14 -= j1;
        a22 += j2 * j2;
        a23 += j2 * j3;
        a24 -= j2;
        a33 += j3 * j3;
        a34 -= j3;
        b0 -= e * j0;
        b1 -= e * j1;
        b2 -= e * j2;
        b3 -= e * j3;
        b4 += e;
    }
    stPassSums sums;
    sums.cost = cost;
    const double upper[15] = {a00, a01, a02, a03, a04, a11, a12, a13, a14, a22, a23, a24, a33, a34, rows};
    const double rhs[5] = {b0, b1, b2, b3, b4};
    std::copy(upper, upper + 15, sums.A);
    std::copy(rhs, rhs + 5, sums.b);
    out += sums;
}

#ifdef VTL_REFINER_X86

__attribute__((target("avx512f"))) double AddLanes(__m512d v)
{
    double lanes[8];
    _mm512_storeu_pd(lanes, v);
    return ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) + ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7]));
}

// Eight points at a time: the same sums in eight lanes each. The zero-masked
// forms of the intrinsics keep g++ 12's headers free of its uninitialised-
// value warning.
__attribute__((target("avx512f"))) void Avx512PassRange(const stPassFrame& f, const float* px, const float* py,
                                                        const float* pz, std::size_t count, bool withSystem,
                                                        stPassSums& out)
{
    constexpr __mmask8 all = 0xFF;
    const __m512d zero = _mm512_setzero_pd(), one = _mm512_set1_pd(1.0);
    const __m512d s = _mm512_set1_pd(f.s), r = _mm512_set1_pd(f.r);
    const __m512d k0 = _mm512_set1_pd(f.m[0]), k1 = _mm512_set1_pd(f.m[1]), k2 = _mm512_set1_pd(f.m[2]);
    const __m512d c0 = _mm512_set1_pd(f.c[0]), c1 = _mm512_set1_pd(f.c[1]), c2 = _mm512_set1_pd(f.c[2]);
    __m512d cost = zero, rows = zero;
    __m512d a00 = zero, a01 = zero, a02 = zero, a03 = zero, a04 = zero, a11 = zero, a12 = zero, a13 = zero;
    __m512d a14 = zero, a22 = zero, a23 = zero, a24 = zero, a33 = zero, a34 = zero;
    __m512d b0 = zero, b1 = zero, b2 = zero, b3 = zero, b4 = zero;
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8)
    {
        const __m512d w0 = _mm512_sub_pd(
            _mm512_mul_pd(_mm512_sub_pd(_mm512_maskz_cvtps_pd(all, _mm256_loadu_ps(px + i)), k0), s), c0);
        const __m512d w1 = _mm512_sub_pd(
            _mm512_mul_pd(_mm512_sub_pd(_mm512_maskz_cvtps_pd(all, _mm256_loadu_ps(py + i)), k1), s), c1);
        const __m512d w2 = _mm512_sub_pd(
            _mm512_mul_pd(_mm512_sub_pd(_mm512_maskz_cvtps_pd(all, _mm256_loadu_ps(pz + i)), k2), s), c2);
        const __m512d x = _mm512_fmadd_pd(w2, _mm512_set1_pd(f.u[2]),
                                          _mm512_fmadd_pd(w1, _mm512_set1_pd(f.u[1]), _mm512_mul_pd(w0, _mm512_set1_pd(f.u[0]))));
        const __m512d y = _mm512_fmadd_pd(w2, _mm512_set1_pd(f.v[2]),
                                          _mm512_fmadd_pd(w1, _mm512_set1_pd(f.v[1]), _mm512_mul_pd(w0, _mm512_set1_pd(f.v[0]))));
        const __m512d rho = _mm512_maskz_sqrt_pd(all, _mm512_fmadd_pd(y, y, _mm512_mul_pd(x, x)));
        const __m512d e = _mm512_sub_pd(rho, r);
        cost = _mm512_fmadd_pd(e, e, cost);
        if (!withSystem)
            continue;
        const __m512d z = _mm512_fmadd_pd(w2, _mm512_set1_pd(f.a[2]),
                                          _mm512_fmadd_pd(w1, _mm512_set1_pd(f.a[1]), _mm512_mul_pd(w0, _mm512_set1_pd(f.a[0]))));
        // Points on the axis get a zero row and no count.
        const __mmask8 off = _mm512_cmp_pd_mask(rho, zero, _CMP_GT_OQ);
        const __m512d inv = _mm512_maskz_div_pd(off, one, rho);
        const __m512d j0 = _mm512_sub_pd(zero, _mm512_mul_pd(x, inv));
        const __m512d j1 = _mm512_sub_pd(zero, _mm512_mul_pd(y, inv));
        const __m512d j2 = _mm512_mul_pd(z, j0), j3 = _mm512_mul_pd(z, j1);
        rows = _mm512_mask_add_pd(rows, off, rows, one);
        a00 = _mm512_fmadd_pd(j0, j0, a00);
        a01 = _mm512_fmadd_pd(j0, j1, a01);
        a02 = _mm512_fmadd_pd(j0, j2, a02);
        a03 = _mm512_fmadd_pd(j0, j3, a03);
        a04 = _mm512_sub_pd(a04, j0);
        a11 = _mm512_fmadd_pd(j1, j1, a11);
        a12 = _mm512_fmadd_pd(j1, j2, a12);
        a13 = _mm512_fmadd_pd(j1, j3, a13);
        a14 = _mm512_sub_pd(a14, j1);
        a22 = _mm512_fmadd_pd(j2, j2, a22);
        a23 = _mm512_fmadd_pd(j2, j3, a23);
        a24 = _mm512_sub_pd(a24, j2);
        a33 = _mm512_fmadd_pd(j3, j3, a33);
        a34 = _mm512_sub_pd(a34, j3);
        b0 = _mm512_fnmadd_pd(e, j0, b0);
        b1 = _mm512_fnmadd_pd(e, j1, b1);
        b2 = _mm512_fnmadd_pd(e, j2, b2);
        b3 = _mm512_fnmadd_pd(e, j3, b3);
        b4 = _mm512_mask_add_pd(b4, off, b4, e);
    }
    stPassSums sums;
    sums.cost = AddLanes(cost);
    const __m512d upper[15] = {a00, a01, a02, a03, a04, a11, a12, a13, a14, a22, a23, a24, a33, a34, rows};
    const __m512d rhs[5] = {b0, b1, b2, b3, b4};
    if (withSystem)
    {
        for (int k = 0; k < 15; ++k)
            sums.A[k] = AddLanes(upper[k]);
        for (int k = 0; k < 5; ++k)
            sums.b[k] = AddLanes(rhs[k]);
    }
    out += sums;
    PortablePassRange(f, px + i, py + i, pz + i, count - i, withSystem, out);
}

#endif

using tPassRange = void (*)(const stPassFrame&, const float*, const float*, const float*, std::size_t, bool,
                            stPassSums&);

tPassRange PassRangeKernel()
{
#ifdef VTL_REFINER_X86
    static const tPassRange kernel = __builtin_cpu_supports("avx512f") ? Avx512PassRange : PortablePassRange;
    return kernel;
#else
    return PortablePassRange;
#endif
}

// The cost, and with withSystem the normal equations of the next step, over
// all points block by block.
stPassSums RunPass(const cPackedFitPoints& points, cThreadPool* pool, const double mean[3], double invScale,
                   const double c[3], const double a[3], double r, bool withSystem)
{
    stPassFrame frame{{mean[0], mean[1], mean[2]}, invScale, {c[0], c[1], c[2]}, {}, {}, {a[0], a[1], a[2]}, r};
    PerpendicularBasis(a, frame.u, frame.v);
    const float* px = points.X();
    const float* py = points.Y();
    const float* pz = points.Z();
    const tPassRange range = PassRangeKernel();
    return SumPackedBlocks<stPassSums>(points, pool, [&](std::size_t begin, std::size_t end, stPassSums& out) {
        range(frame, px + begin, py + begin, pz + begin, end - begin, withSystem, out);
    });
}

} // namespace

cCylinderRefiner::cCylinderRefiner(const cPackedFitPoints& points, const double mean[3], double invScale,
                                   cThreadPool* pool)
    : m_points(points), m_mean{mean[0], mean[1], mean[2]}, m_invScale(invScale), m_pool(pool)
{
}

double cCylinderRefiner::Cost(const double c[3], const double a[3], double r) const
{
    return RunPass(m_points, m_pool, m_mean, m_invScale, c, a, r, false).cost;
}

double cCylinderRefiner::Refine(double c[3], double a[3], double& r, int maxIterations) const
{
    stPassSums current = RunPass(m_points, m_pool, m_mean, m_invScale, c, a, r, true);
    double lambda = 1e-3;
    for (int iteration = 0; iteration < maxIterations && std::isfinite(current.cost); ++iteration)
    {
        double u[3], v[3];
        PerpendicularBasis(a, u, v);
        bool improved = false;
        for (int attempt = 0; attempt < 10 && !improved; ++attempt)
        {
            cNormalEquations damped(5);
            if (!damped.IsAllocated())
                return std::numeric_limits<double>::infinity();
            for (std::uint32_t i = 0; i < 5; ++i)
            {
                for (std::uint32_t j = 0; j < 5; ++j)
                    damped.A(i, j) = current.A[kUpper[std::min(i, j)][std::max(i, j)]];
                damped.A(i, i) += lambda * current.A[kUpper[i][i]];
                damped.b[i] = current.b[i];
            }
            cDoubleVector step;
            if (SolveNormalEquations(damped, step, 1e-14))
            {
                // A step this small (the coordinates have unit spread) only
                // moves the cylinder by rounding: it has settled.
                double largest = 0.0;
                for (std::uint32_t k = 0; k < 5; ++k)
                    largest = std::max(largest, std::fabs(step[k]));
                if (largest < kSettledStep)
                    return current.cost;
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
                stPassSums trial = RunPass(m_points, m_pool, m_mean, m_invScale, c2, a2, r2, true);
                if (trial.cost <= current.cost)
                {
                    const bool settled = current.cost - trial.cost <= 1e-12 * current.cost;
                    std::copy(c2, c2 + 3, c);
                    std::copy(a2, a2 + 3, a);
                    r = r2;
                    current = trial;
                    lambda = std::max(lambda * 0.1, 1e-12);
                    improved = true;
                    if (settled)
                        return current.cost;
                }
            }
            if (!improved)
                lambda *= 10.0;
        }
        if (!improved)
            break;
    }
    return std::isfinite(current.cost) ? current.cost : std::numeric_limits<double>::infinity();
}

bool cCylinderRefiner::StartAcross(const double a[3], double c[3], double& r) const
{
    double u[3], v[3];
    PerpendicularBasis(a, u, v);
    const float* px = m_points.X();
    const float* py = m_points.Y();
    const float* pz = m_points.Z();
    const double m0 = m_mean[0], m1 = m_mean[1], m2 = m_mean[2], s = m_invScale;
    const stAcrossSums sums =
        SumPackedBlocks<stAcrossSums>(m_points, m_pool, [&](std::size_t begin, std::size_t end, stAcrossSums& out) {
            for (std::size_t i = begin; i < end; ++i)
            {
                const double q0 = (px[i] - m0) * s, q1 = (py[i] - m1) * s, q2 = (pz[i] - m2) * s;
                const double x = q0 * u[0] + q1 * u[1] + q2 * u[2];
                const double y = q0 * v[0] + q1 * v[1] + q2 * v[2];
                const double target = -(x * x + y * y);
                out.A[0] += x * x;
                out.A[1] += x * y;
                out.A[2] += x;
                out.A[3] += y * y;
                out.A[4] += y;
                out.A[5] += 1.0;
                out.b[0] += target * x;
                out.b[1] += target * y;
                out.b[2] += target;
            }
        });
    cNormalEquations system(3);
    if (!system.IsAllocated())
        return false;
    constexpr int kUpper3[3][3] = {{0, 1, 2}, {1, 3, 4}, {2, 4, 5}};
    for (std::uint32_t i = 0; i < 3; ++i)
    {
        for (std::uint32_t j = 0; j < 3; ++j)
            system.A(i, j) = sums.A[kUpper3[i][j]];
        system.b[i] = sums.b[i];
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
