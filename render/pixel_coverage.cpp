#include "render/pixel_coverage.h"

#include "core/mesh.h"
#include "core/scene_object.h"
#include "core/thread_pool.h"
#include "platform/wgl/wgl.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VTL_COVERAGE_X86 1
#endif

namespace
{

// GL rounds each window coordinate to a 256th of a pixel before it finds the
// centres a triangle covers. Before that its float products and sums round
// a corner by a few units in the last place of the terms that make it: this
// share of the terms' sizes allows for four such units of each. The corners
// are kept here as floats, within a 4096th of a pixel of a viewport's
// coordinates.
constexpr double kSnap = 1.0 / 512.0;
constexpr double kFloatShare = 1.0 / (1 << 22);
constexpr double kKept = 1.0 / 4096.0;
constexpr double kKeptReach = 4096.0;
// Vertices per job of the corner pass, words of bits (64 triangles each)
// per job of the triangle pass.
constexpr std::size_t kVerticesPerJob = 16384;
constexpr std::size_t kWordsPerJob = 256;

// Left unset when made: the corner pass writes every one, a block of them
// per thread.
struct stCorner
{
    float x, y; // NaN: a corner near or behind the eye
};
struct stDepthCorner : stCorner
{
    float z; // window depth
};

// The corner in window coordinates, with how far GL's own may lie from it
// into `error` (and its depth's into `depthError`); NaN for a corner near
// or behind the eye, which GL clips in ways not followed here, or far
// outside the viewport.
template <class Corner>
Corner ToWindow(const stWindowMap& map, const float* p, double& error, double& depthError)
{
    const double v[4] = {p[0], p[1], p[2], 1.0};
    double clip[3], rounding[3];
    for (int r = 0; r < 3; ++r)
    {
        clip[r] = map.rows[r][0] * v[0] + map.rows[r][1] * v[1] + map.rows[r][2] * v[2] + map.rows[r][3];
        rounding[r] = (map.termSize[r][0] * std::fabs(v[0]) + map.termSize[r][1] * std::fabs(v[1]) +
                       map.termSize[r][2] * std::fabs(v[2]) + map.termSize[r][3]) *
                      kFloatShare;
    }
    const double w = clip[2];
    Corner out{};
    out.x = out.y = std::numeric_limits<float>::quiet_NaN();
    if (!(w > 4.0 * rounding[2]))
        return out;
    const double halfWidth = map.viewport[2] * 0.5, halfHeight = map.viewport[3] * 0.5;
    const double nx = clip[0] / w, ny = clip[1] / w;
    const double x = map.viewport[0] + (nx + 1.0) * halfWidth, y = map.viewport[1] + (ny + 1.0) * halfHeight;
    // Further out a float keeps the place less finely; such a corner's
    // triangle is left to GL.
    if (!(std::fabs(x) < kKeptReach && std::fabs(y) < kKeptReach))
        return out;
    const double spread = std::max(halfWidth * (rounding[0] + std::fabs(nx) * rounding[2]),
                                   halfHeight * (rounding[1] + std::fabs(ny) * rounding[2])) /
                          (w - rounding[2]);
    error = std::max(error, spread + (std::fabs(x) + std::fabs(y)) * kFloatShare);
    out.x = float(x);
    out.y = float(y);
    if constexpr (std::is_same_v<Corner, stDepthCorner>)
    {
        const double clipZ = map.depthRow[0] * v[0] + map.depthRow[1] * v[1] + map.depthRow[2] * v[2] +
                             map.depthRow[3];
        const double roundingZ = (map.depthTermSize[0] * std::fabs(v[0]) + map.depthTermSize[1] * std::fabs(v[1]) +
                                  map.depthTermSize[2] * std::fabs(v[2]) + map.depthTermSize[3]) *
                                 kFloatShare;
        const double nz = clipZ / w, halfDepth = (map.depthRange[1] - map.depthRange[0]) * 0.5;
        const double z = map.depthRange[0] + (nz + 1.0) * halfDepth;
        out.z = float(z);
        const double zSpread = std::fabs(halfDepth) * (roundingZ + std::fabs(nz) * rounding[2]) / (w - rounding[2]);
        depthError = std::max(depthError, zSpread + (std::fabs(z) + 1.0) * kFloatShare);
        if (!std::isfinite(z))
            out.x = out.y = std::numeric_limits<float>::quiet_NaN();
    }
    return out;
}

#ifdef VTL_COVERAGE_X86

// ToWindow four vertices at a time in the lanes of the processor's vectors.
__attribute__((target("avx2"), optimize("fp-contract=off"))) inline __m256d Abs4(__m256d v)
{
    return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v);
}
// ((row[0] v0 + row[1] v1) + row[2] v2) + row[3], as ToWindow sums a row.
__attribute__((target("avx2"), optimize("fp-contract=off"))) inline __m256d
Row4(const double row[4], __m256d v0, __m256d v1, __m256d v2)
{
    const __m256d sum =
        _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(row[0]), v0), _mm256_mul_pd(_mm256_set1_pd(row[1]), v1));
    return _mm256_add_pd(_mm256_add_pd(sum, _mm256_mul_pd(_mm256_set1_pd(row[2]), v2)),
                         _mm256_set1_pd(row[3]));
}
// std::max(a, b): b where a < b, else a.
__attribute__((target("avx2"), optimize("fp-contract=off"))) inline __m256d Max4(__m256d a, __m256d b)
{
    return _mm256_blendv_pd(a, b, _mm256_cmp_pd(a, b, _CMP_LT_OQ));
}

// The corners of vertices [first, end) four at a time while four are left,
// each four within a chunk of records (chunks hold a multiple of four and
// `first` is a multiple of four); returns where it stopped. Each lane takes
// ToWindow's operations in its order (no fused multiply-adds; divisions and
// conversions to float are correctly rounded either way), so the corners
// and the roundings are the same to the bit. The largest rounding passes
// over NaN as std::max(error, value) does, and the largest of values that
// are not NaN does not depend on the order they come in.
template <class Corner>
__attribute__((target("avx2"), optimize("fp-contract=off"))) std::size_t
CornersByFour(const cMesh& mesh, const stWindowMap& map, std::size_t first, std::size_t end, Corner* corners,
              double& error, double& depthError)
{
    static_assert(kArrayChunkSize % 4 == 0);
    const __m256d share = _mm256_set1_pd(kFloatShare), one = _mm256_set1_pd(1.0),
                  nan = _mm256_set1_pd(std::numeric_limits<double>::quiet_NaN());
    const double halfWidth = map.viewport[2] * 0.5, halfHeight = map.viewport[3] * 0.5;
    const double halfDepth = (map.depthRange[1] - map.depthRange[0]) * 0.5;
    __m256d errors = _mm256_setzero_pd(), depthErrors = _mm256_setzero_pd();
    std::size_t i = first;
    for (; i + 4 <= end; i += 4)
    {
        // The four records lie one after another in their chunk.
        const cVertex* q = mesh.GetVertex(std::uint32_t(i));
        const __m256d v0 = _mm256_cvtps_pd(_mm_setr_ps(q[0].x, q[1].x, q[2].x, q[3].x));
        const __m256d v1 = _mm256_cvtps_pd(_mm_setr_ps(q[0].y, q[1].y, q[2].y, q[3].y));
        const __m256d v2 = _mm256_cvtps_pd(_mm_setr_ps(q[0].z, q[1].z, q[2].z, q[3].z));
        const __m256d a0 = Abs4(v0), a1 = Abs4(v1), a2 = Abs4(v2);
        const __m256d clip0 = Row4(map.rows[0], v0, v1, v2), clip1 = Row4(map.rows[1], v0, v1, v2),
                      w = Row4(map.rows[2], v0, v1, v2);
        const __m256d r0 = _mm256_mul_pd(Row4(map.termSize[0], a0, a1, a2), share),
                      r1 = _mm256_mul_pd(Row4(map.termSize[1], a0, a1, a2), share),
                      r2 = _mm256_mul_pd(Row4(map.termSize[2], a0, a1, a2), share);
        __m256d valid = _mm256_cmp_pd(w, _mm256_mul_pd(_mm256_set1_pd(4.0), r2), _CMP_GT_OQ);
        const __m256d nx = _mm256_div_pd(clip0, w), ny = _mm256_div_pd(clip1, w);
        const __m256d x = _mm256_add_pd(_mm256_set1_pd(map.viewport[0]),
                                        _mm256_mul_pd(_mm256_add_pd(nx, one), _mm256_set1_pd(halfWidth)));
        const __m256d y = _mm256_add_pd(_mm256_set1_pd(map.viewport[1]),
                                        _mm256_mul_pd(_mm256_add_pd(ny, one), _mm256_set1_pd(halfHeight)));
        const __m256d reach = _mm256_set1_pd(kKeptReach);
        valid = _mm256_and_pd(valid, _mm256_and_pd(_mm256_cmp_pd(Abs4(x), reach, _CMP_LT_OQ),
                                                   _mm256_cmp_pd(Abs4(y), reach, _CMP_LT_OQ)));
        const __m256d below = _mm256_sub_pd(w, r2);
        const __m256d spread = _mm256_div_pd(
            Max4(_mm256_mul_pd(_mm256_set1_pd(halfWidth), _mm256_add_pd(r0, _mm256_mul_pd(Abs4(nx), r2))),
                 _mm256_mul_pd(_mm256_set1_pd(halfHeight), _mm256_add_pd(r1, _mm256_mul_pd(Abs4(ny), r2)))),
            below);
        const __m256d value = _mm256_add_pd(spread, _mm256_mul_pd(_mm256_add_pd(Abs4(x), Abs4(y)), share));
        errors = _mm256_blendv_pd(errors, Max4(errors, value), valid);
        __m256d shown = valid;
        alignas(16) float xs[4], ys[4], zs[4] = {};
        if constexpr (std::is_same_v<Corner, stDepthCorner>)
        {
            const __m256d clipZ = Row4(map.depthRow, v0, v1, v2);
            const __m256d roundingZ = _mm256_mul_pd(Row4(map.depthTermSize, a0, a1, a2), share);
            const __m256d nz = _mm256_div_pd(clipZ, w);
            const __m256d z = _mm256_add_pd(_mm256_set1_pd(map.depthRange[0]),
                                            _mm256_mul_pd(_mm256_add_pd(nz, one), _mm256_set1_pd(halfDepth)));
            const __m256d zSpread =
                _mm256_div_pd(_mm256_mul_pd(_mm256_set1_pd(std::fabs(halfDepth)),
                                            _mm256_add_pd(roundingZ, _mm256_mul_pd(Abs4(nz), r2))),
                              below);
            const __m256d zValue = _mm256_add_pd(zSpread, _mm256_mul_pd(_mm256_add_pd(Abs4(z), one), share));
            depthErrors = _mm256_blendv_pd(depthErrors, Max4(depthErrors, zValue), valid);
            shown = _mm256_and_pd(
                shown,
                _mm256_cmp_pd(Abs4(z), _mm256_set1_pd(std::numeric_limits<double>::infinity()), _CMP_LT_OQ));
            _mm_store_ps(zs, _mm256_cvtpd_ps(_mm256_and_pd(z, valid)));
        }
        _mm_store_ps(xs, _mm256_cvtpd_ps(_mm256_blendv_pd(nan, x, shown)));
        _mm_store_ps(ys, _mm256_cvtpd_ps(_mm256_blendv_pd(nan, y, shown)));
        for (int k = 0; k < 4; ++k)
        {
            Corner& c = corners[i + std::size_t(k)];
            c.x = xs[k];
            c.y = ys[k];
            if constexpr (std::is_same_v<Corner, stDepthCorner>)
                c.z = zs[k];
        }
    }
    alignas(32) double lanes[2][4];
    _mm256_store_pd(lanes[0], errors);
    _mm256_store_pd(lanes[1], depthErrors);
    for (int k = 0; k < 4; ++k)
    {
        error = std::max(error, lanes[0][k]);
        depthError = std::max(depthError, lanes[1][k]);
    }
    return i;
}

// Whether the passes take four vertices or triangles at a time.
bool ByFour()
{
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

#endif

// Every vertex of the mesh in window coordinates, a block of them per job
// (the pages first touched there), with the largest rounding of any.
template <class Corner>
std::unique_ptr<Corner[]> CornersOf(const cMesh& mesh, const stWindowMap& map, double& error, double& depthError)
{
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    std::unique_ptr<Corner[]> corners = std::make_unique_for_overwrite<Corner[]>(vertexCount);
    const std::size_t blocks = (vertexCount + kVerticesPerJob - 1) / kVerticesPerJob;
    std::vector<std::array<double, 2>> blockError(blocks, {0.0, 0.0});
    auto block = [&](std::size_t b)
    {
        const std::size_t end = std::min<std::size_t>(vertexCount, (b + 1) * kVerticesPerJob);
        double e = 0.0, z = 0.0;
        std::size_t i = b * kVerticesPerJob;
#ifdef VTL_COVERAGE_X86
        if (ByFour())
            i = CornersByFour(mesh, map, i, end, corners.get(), e, z);
#endif
        for (; i < end; ++i)
            corners[i] = ToWindow<Corner>(map, mesh.GetVertex(std::uint32_t(i))->Position(), e, z);
        blockError[b] = {e, z};
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, block);
    error = depthError = 0.0;
    for (const auto& b : blockError)
    {
        error = std::max(error, b[0]);
        depthError = std::max(depthError, b[1]);
    }
    return corners;
}

// The pixel centres (k + 0.5) of [first, first + count) that lie in
// [low, high]: k from `lowest` to `highest`.
struct stCentres
{
    double lowest, highest;
    stCentres(double low, double high, double first, double count)
        : lowest(std::max(std::ceil(low - 0.5), first)), highest(std::min(std::floor(high - 0.5), first + count - 1.0))
    {
    }
    bool Empty() const { return !(lowest <= highest); }
    double Count() const { return highest - lowest + 1.0; }
};

// Whether GL's triangle, each of whose corners lies within e of these in
// both coordinates, may hold the point (x, y): a point inside a triangle of
// either turn is on the same side of all three edges, and moving the
// corners changes the edge function of a point by at most `moved`.
bool MayHold(const stCorner* const corners[3], double e, double x, double y)
{
    bool inside = true, outside = true; // of a counter-clockwise / clockwise one
    for (int k = 0; k < 3; ++k)
    {
        const stCorner& a = *corners[k];
        const stCorner& b = *corners[(k + 1) % 3];
        const double ex = double(b.x) - a.x, ey = double(b.y) - a.y, dx = x - a.x, dy = y - a.y;
        const double edge = ex * dy - ey * dx;
        const double moved =
            (e * (std::fabs(ex) + std::fabs(ey) + 2.0 * (std::fabs(dx) + std::fabs(dy))) + 4.0 * e * e) * (1.0 + 1e-9);
        inside = inside && edge >= -moved;
        outside = outside && edge <= moved;
        if (!inside && !outside)
            return false;
    }
    return true;
}

// Boxes holding more centres than this are not looked at centre by centre.
constexpr double kMostCentres = 16.0;

// Comparisons with NaN are false: a triangle with an unknown corner covers
// a pixel as far as this test knows. A triangle whose box (widened by e)
// holds a few centres covers none when it surely holds none of them.
bool CoversNoPixel(const stCorner& a, const stCorner& b, const stCorner& c, double e, const stWindowMap& map)
{
    if (std::isnan(a.x) || std::isnan(b.x) || std::isnan(c.x))
        return false;
    // Most triangles of a big scan lie between two columns of centres: the
    // rows are not looked at then.
    const double left = double(std::min({a.x, b.x, c.x})) - e, right = double(std::max({a.x, b.x, c.x})) + e;
    const stCentres columns(left, right, map.viewport[0], map.viewport[2]);
    if (columns.Empty())
        return true;
    const double bottom = double(std::min({a.y, b.y, c.y})) - e, top = double(std::max({a.y, b.y, c.y})) + e;
    const stCentres rows(bottom, top, map.viewport[1], map.viewport[3]);
    if (rows.Empty())
        return true;
    if (columns.Count() * rows.Count() > kMostCentres)
        return false;
    const stCorner* corners[3] = {&a, &b, &c};
    for (double y = rows.lowest; y <= rows.highest; ++y)
        for (double x = columns.lowest; x <= columns.highest; ++x)
            if (MayHold(corners, e, x + 0.5, y + 0.5))
                return false;
    return true;
}

#ifdef VTL_COVERAGE_X86

// Edge a -> b measured at four centres (px, py) with MayHold's operations in
// its order: the edge function, and the bound of its rounding for a
// triangle widened by e (`moved`) and that bound negated (`against`).
struct stEdgeByFour
{
    __m256d edge, moved, against;
};
__attribute__((target("avx2"), optimize("fp-contract=off"))) inline stEdgeByFour
MeasureEdgeByFour(const stCorner& a, const stCorner& b, __m256d px, __m256d py, double e)
{
    const double ex = double(b.x) - a.x, ey = double(b.y) - a.y;
    const __m256d dx = _mm256_sub_pd(px, _mm256_set1_pd(a.x)), dy = _mm256_sub_pd(py, _mm256_set1_pd(a.y));
    stEdgeByFour m;
    m.edge = _mm256_sub_pd(_mm256_mul_pd(_mm256_set1_pd(ex), dy), _mm256_mul_pd(_mm256_set1_pd(ey), dx));
    m.moved = _mm256_mul_pd(
        _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(e),
                                    _mm256_add_pd(_mm256_set1_pd(std::fabs(ex) + std::fabs(ey)),
                                                  _mm256_mul_pd(_mm256_set1_pd(2.0), _mm256_add_pd(Abs4(dx), Abs4(dy))))),
                      _mm256_set1_pd(4.0 * e * e)),
        _mm256_set1_pd(1.0 + 1e-9));
    m.against = _mm256_xor_pd(m.moved, _mm256_set1_pd(-0.0));
    return m;
}

// Whether MayHold holds for any of the centres of columns [left, right] and
// rows [bottom, top] (whole numbers, at most kMostCentres centres), four
// centres at a time, each lane with MayHold's operations in its order.
// Which of them holds does not matter, so they are taken in any order; the
// last one stands in for the missing ones of the last four.
__attribute__((target("avx2"), optimize("fp-contract=off"))) bool
MayHoldAnyByFour(const stCorner* const corners[3], double e, double left, double right, double bottom,
                 double top)
{
    double x[int(kMostCentres)], y[int(kMostCentres)];
    int n = 0;
    for (double row = bottom; row <= top; ++row)
        for (double column = left; column <= right; ++column, ++n)
        {
            x[n] = column + 0.5;
            y[n] = row + 0.5;
        }
    for (int first = 0; first < n; first += 4)
    {
        const int k1 = std::min(first + 1, n - 1), k2 = std::min(first + 2, n - 1),
                  k3 = std::min(first + 3, n - 1);
        const __m256d px = _mm256_setr_pd(x[first], x[k1], x[k2], x[k3]);
        const __m256d py = _mm256_setr_pd(y[first], y[k1], y[k2], y[k3]);
        __m256d inside = _mm256_castsi256_pd(_mm256_set1_epi64x(-1)), outside = inside;
        for (int k = 0; k < 3; ++k)
        {
            const stEdgeByFour m = MeasureEdgeByFour(*corners[k], *corners[(k + 1) % 3], px, py, e);
            inside = _mm256_and_pd(inside, _mm256_cmp_pd(m.edge, m.against, _CMP_GE_OQ));
            outside = _mm256_and_pd(outside, _mm256_cmp_pd(m.edge, m.moved, _CMP_LE_OQ));
        }
        if (_mm256_movemask_pd(_mm256_or_pd(inside, outside)) != 0)
            return true;
    }
    return false;
}

// std::min(a, b): b where b < a, else a.
__attribute__((target("avx2"), optimize("fp-contract=off"))) inline __m256d Min4(__m256d a, __m256d b)
{
    return _mm256_blendv_pd(a, b, _mm256_cmp_pd(b, a, _CMP_LT_OQ));
}

// stCentres over the lanes' sides [low, high] of [first, first + count),
// with its operations in its order (ceil and floor are exact); where it is
// empty.
__attribute__((target("avx2"), optimize("fp-contract=off"))) inline __m256d
Centres4(__m256d low, __m256d high, double first, double count, __m256d& lowest, __m256d& highest)
{
    const __m256d half = _mm256_set1_pd(0.5);
    lowest = Max4(_mm256_round_pd(_mm256_sub_pd(low, half), _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC),
                  _mm256_set1_pd(first));
    highest = Min4(_mm256_round_pd(_mm256_sub_pd(high, half), _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC),
                   _mm256_set1_pd(first + count - 1.0));
    return _mm256_cmp_pd(lowest, highest, _CMP_NLE_UQ);
}

// The bits of CoversNoPixel (with the vertex indices checked) for triangles
// [first, last) four at a time while four are left, each four within a
// chunk of records; returns where it stopped. The lanes decide a triangle
// whose box, widened by e, holds no column or no row of centres, as
// CoversNoPixel's first tests do with the same operations; the centres of a
// box that holds a few are then looked at four at a time.
template <class Corner>
__attribute__((target("avx2"), optimize("fp-contract=off"))) std::uint32_t
NoPixelByFour(const cMesh& mesh, const stWindowMap& map, const Corner* corners, std::uint32_t vertexCount,
              double e, std::uint32_t first, std::uint32_t last, std::uint64_t& value)
{
    static_assert(kArrayChunkSize % 4 == 0);
    const __m256d widen = _mm256_set1_pd(e);
    std::uint32_t i = first;
    for (; i + 4 <= last; i += 4)
    {
        // The four records lie one after another in their chunk.
        const cMeshTriangle* t = mesh.GetTriangle(i);
        const Corner* c[4][3];
        unsigned named = 0;
        for (int k = 0; k < 4; ++k)
        {
            const std::uint32_t* v = t[k].vertexIndex;
            const bool inside = v[0] < vertexCount && v[1] < vertexCount && v[2] < vertexCount;
            named |= unsigned(inside) << k;
            for (int j = 0; j < 3; ++j)
                c[k][j] = &corners[inside ? v[j] : 0];
        }
        const __m128 ax = _mm_setr_ps(c[0][0]->x, c[1][0]->x, c[2][0]->x, c[3][0]->x);
        const __m128 bx = _mm_setr_ps(c[0][1]->x, c[1][1]->x, c[2][1]->x, c[3][1]->x);
        const __m128 cx = _mm_setr_ps(c[0][2]->x, c[1][2]->x, c[2][2]->x, c[3][2]->x);
        const __m128 ay = _mm_setr_ps(c[0][0]->y, c[1][0]->y, c[2][0]->y, c[3][0]->y);
        const __m128 by = _mm_setr_ps(c[0][1]->y, c[1][1]->y, c[2][1]->y, c[3][1]->y);
        const __m128 cy = _mm_setr_ps(c[0][2]->y, c[1][2]->y, c[2][2]->y, c[3][2]->y);
        // A NaN corner (x and y are NaN together) leaves its triangle in.
        const int known = _mm_movemask_ps(_mm_and_ps(_mm_cmpord_ps(ax, bx), _mm_cmpord_ps(cx, cx)));
        // The least and greatest of three floats that are not NaN: the same
        // value whichever of equal ones is taken (the sides add e).
        const __m256d left = _mm256_sub_pd(_mm256_cvtps_pd(_mm_min_ps(_mm_min_ps(ax, bx), cx)), widen);
        const __m256d right = _mm256_add_pd(_mm256_cvtps_pd(_mm_max_ps(_mm_max_ps(ax, bx), cx)), widen);
        const __m256d bottom = _mm256_sub_pd(_mm256_cvtps_pd(_mm_min_ps(_mm_min_ps(ay, by), cy)), widen);
        const __m256d top = _mm256_add_pd(_mm256_cvtps_pd(_mm_max_ps(_mm_max_ps(ay, by), cy)), widen);
        __m256d columns[2], rows[2];
        const int none = _mm256_movemask_pd(
            _mm256_or_pd(Centres4(left, right, map.viewport[0], map.viewport[2], columns[0], columns[1]),
                         Centres4(bottom, top, map.viewport[1], map.viewport[3], rows[0], rows[1])));
        alignas(32) double centres[4][4];
        _mm256_store_pd(centres[0], columns[0]);
        _mm256_store_pd(centres[1], columns[1]);
        _mm256_store_pd(centres[2], rows[0]);
        _mm256_store_pd(centres[3], rows[1]);
        for (int k = 0; k < 4; ++k)
        {
            if (!((named >> k) & 1) || !((known >> k) & 1))
                continue;
            // CoversNoPixel's tests after the box's columns and rows.
            const double fromColumn = centres[0][k], toColumn = centres[1][k];
            const double fromRow = centres[2][k], toRow = centres[3][k];
            const stCorner* held[3] = {c[k][0], c[k][1], c[k][2]};
            if (((none >> k) & 1) ||
                (!((toColumn - fromColumn + 1.0) * (toRow - fromRow + 1.0) > kMostCentres) &&
                 !MayHoldAnyByFour(held, e, fromColumn, toColumn, fromRow, toRow)))
                value |= std::uint64_t(1) << (i + std::uint32_t(k) - first);
        }
    }
    return i;
}

#endif

} // namespace

bool CurrentWindowMap(stWindowMap& map)
{
    GLint sampleBuffers = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    if (sampleBuffers > 0 || glIsEnabled(GL_POLYGON_SMOOTH) == GL_TRUE)
        return false;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] <= 0 || viewport[3] <= 0)
        return false;
    for (int i = 0; i < 4; ++i)
        map.viewport[i] = viewport[i];
    // GL keeps its matrices in float: read back, they are the ones it uses.
    // Both are column-major.
    double modelView[16], projection[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const int clipRow[3] = {0, 1, 3};
    for (int r = 0; r < 3; ++r)
    {
        for (int c = 0; c < 4; ++c)
        {
            double sum = 0.0, size = 0.0;
            for (int k = 0; k < 4; ++k)
            {
                const double term = projection[k * 4 + clipRow[r]] * modelView[c * 4 + k];
                sum += term;
                size += std::fabs(term);
            }
            map.rows[r][c] = sum;
            map.termSize[r][c] = size;
        }
    }
    for (int c = 0; c < 4; ++c)
    {
        double sum = 0.0, size = 0.0;
        for (int k = 0; k < 4; ++k)
        {
            const double term = projection[k * 4 + 2] * modelView[c * 4 + k];
            sum += term;
            size += std::fabs(term);
        }
        map.depthRow[c] = sum;
        map.depthTermSize[c] = size;
    }
    glGetDoublev(GL_DEPTH_RANGE, map.depthRange);
    return true;
}

void CurrentFragmentRules(stFragmentRules& rules)
{
    rules = stFragmentRules{};
    if (glIsEnabled(GL_CULL_FACE) == GL_TRUE)
    {
        GLint face = GL_BACK, front = GL_CCW;
        glGetIntegerv(GL_CULL_FACE_MODE, &face);
        glGetIntegerv(GL_FRONT_FACE, &front);
        rules.cull = std::uint32_t(face);
        rules.frontCounterClockwise = front != GL_CW;
    }
    GLint function = GL_ALWAYS, depthBits = 0, clipPlanes = 0;
    GLboolean depthWrites = GL_FALSE;
    glGetIntegerv(GL_DEPTH_FUNC, &function);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_MAX_CLIP_PLANES, &clipPlanes);
    bool clipped = false;
    for (GLint i = 0; i < std::min(clipPlanes, GLint(64)); ++i)
        clipped = clipped || glIsEnabled(GLenum(GL_CLIP_PLANE0 + i)) == GL_TRUE;
    double range[2] = {0.0, 1.0};
    glGetDoublev(GL_DEPTH_RANGE, range);
    rules.nearestStays = glIsEnabled(GL_DEPTH_TEST) == GL_TRUE && (function == GL_LESS || function == GL_LEQUAL) &&
                         depthWrites == GL_TRUE && depthBits > 0 && glIsEnabled(GL_BLEND) != GL_TRUE &&
                         glIsEnabled(GL_POLYGON_OFFSET_FILL) != GL_TRUE && glIsEnabled(GL_ALPHA_TEST) != GL_TRUE &&
                         glIsEnabled(GL_STENCIL_TEST) != GL_TRUE && glIsEnabled(GL_DEPTH_CLAMP) != GL_TRUE &&
                         !clipped && range[0] < range[1];
    // A depth buffer of more bits than a float keeps is read as a float's.
    rules.depthStep = std::ldexp(1.0, -std::min(depthBits, 24));
}

namespace
{

// The bits of FindTrianglesCoveringNoPixel from the mesh's corners; each
// word found is handed to then(w) in the same job, while its triangles and
// their corners are still in the caches.
template <class Corner, class Then>
void CoverageOf(const cMesh& mesh, const stWindowMap& map, const Corner* corners, double e,
                std::vector<std::uint64_t>& bits, Then&& then)
{
    const std::uint32_t count = mesh.GetTriangleCount(), vertexCount = mesh.GetVertexCount();
    auto word = [&](std::size_t w)
    {
        std::uint64_t value = 0;
        const auto first = std::uint32_t(w * 64);
        const std::uint32_t last = std::min<std::uint32_t>(count, first + 64);
        std::uint32_t i = first;
#ifdef VTL_COVERAGE_X86
        if (ByFour())
            i = NoPixelByFour(mesh, map, corners, vertexCount, e, first, last, value);
#endif
        for (; i < last; ++i)
        {
            const std::uint32_t* v = mesh.GetTriangle(i)->vertexIndex;
            if (v[0] < vertexCount && v[1] < vertexCount && v[2] < vertexCount &&
                CoversNoPixel(corners[v[0]], corners[v[1]], corners[v[2]], e, map))
                value |= std::uint64_t(1) << (i - first);
        }
        bits[w] = value;
        then(w);
    };
    ParallelForEach(SharedThreadPool(), bits.size(), kWordsPerJob, word);
}

} // namespace

void FindTrianglesCoveringNoPixel(const cMesh& mesh, const stWindowMap& map, std::vector<std::uint64_t>& bits)
{
    const std::uint32_t count = mesh.GetTriangleCount(), vertexCount = mesh.GetVertexCount();
    bits.assign((std::size_t(count) + 63) / 64, 0);
    if (count == 0 || vertexCount == 0)
        return;
    double error = 0.0, depthError = 0.0;
    const std::unique_ptr<stCorner[]> corners = CornersOf<stCorner>(mesh, map, error, depthError);
    CoverageOf(mesh, map, corners.get(), kSnap + kKept + error, bits, [](std::size_t) {});
}

namespace
{

// How far a fragment's depth may lie outside the depths of its triangle's
// corners beyond their own rounding: GL meets the triangle's depth plane at
// a pixel centre by sums of terms up to its slope times the centre's
// distance from the window's corner; this share of them allows for some
// hundreds of units in the last place of a float.
constexpr double kPlaneShare = 1.0 / (1 << 16);

struct stTriangleWindow
{
    const stCorner* corners[3];
    double x[3], y[3], z[3];
    double twiceArea = 0.0, areaSpread = 0.0; // counter-clockwise positive
};

// The triangle with these corners in the window; false when one is unknown.
bool WindowOf(const stDepthCorner* const corners[3], double e, stTriangleWindow& t)
{
    for (int k = 0; k < 3; ++k)
    {
        const stDepthCorner& c = *corners[k];
        if (std::isnan(c.x) || std::isnan(c.y))
            return false;
        t.corners[k] = &c;
        t.x[k] = c.x;
        t.y[k] = c.y;
        t.z[k] = c.z;
    }
    const double ux = t.x[1] - t.x[0], uy = t.y[1] - t.y[0], wx = t.x[2] - t.x[0], wy = t.y[2] - t.y[0];
    t.twiceArea = ux * wy - uy * wx;
    // Each coordinate GL takes lies within e of these: each difference
    // moves by up to 2e.
    t.areaSpread = (2.0 * e * (std::fabs(ux) + std::fabs(uy) + std::fabs(wx) + std::fabs(wy)) + 8.0 * e * e) *
                   (1.0 + 1e-9);
    return true;
}

// The same for the triangle's vertices; false also when it names a vertex
// outside the mesh.
bool WindowOf(const stDepthCorner* corners, const std::uint32_t* v, std::uint32_t vertexCount, double e,
              stTriangleWindow& t)
{
    if (v[0] >= vertexCount || v[1] >= vertexCount || v[2] >= vertexCount)
        return false;
    const stDepthCorner* const of[3] = {&corners[v[0]], &corners[v[1]], &corners[v[2]]};
    return WindowOf(of, e, t);
}

// Whether GL surely culls the triangle, and whether it surely does not.
bool SurelyFacing(const stTriangleWindow& t, const stFragmentRules& rules, bool front)
{
    const bool counterClockwise = t.twiceArea > t.areaSpread, clockwise = t.twiceArea < -t.areaSpread;
    return front == rules.frontCounterClockwise ? counterClockwise : clockwise;
}
bool SurelyCulled(const stTriangleWindow& t, const stFragmentRules& rules)
{
    return rules.cull == GL_FRONT_AND_BACK || (rules.cull == GL_BACK && SurelyFacing(t, rules, false)) ||
           (rules.cull == GL_FRONT && SurelyFacing(t, rules, true));
}
bool SurelyKept(const stTriangleWindow& t, const stFragmentRules& rules)
{
    return rules.cull == 0 || (rules.cull == GL_BACK && SurelyFacing(t, rules, true)) ||
           (rules.cull == GL_FRONT && SurelyFacing(t, rules, false));
}

// How far the depth of a fragment of the triangle may lie outside its
// corners' depths; negative when that is not known (a sliver, whose depth
// plane GL may find with any slope).
double DepthSpread(const stTriangleWindow& t, double e, double depthError, double reach,
                   const stFragmentRules& rules)
{
    if (!(std::fabs(t.twiceArea) > 2.0 * t.areaSpread))
        return -1.0;
    const double ux = t.x[1] - t.x[0], uy = t.y[1] - t.y[0], wx = t.x[2] - t.x[0], wy = t.y[2] - t.y[0];
    const double dz1 = t.z[1] - t.z[0], dz2 = t.z[2] - t.z[0];
    // The plane's slopes in x and y times twice the area, and how far
    // moving the corners by e and their depths by depthError moves them.
    const double sx = dz1 * wy - dz2 * uy, sy = dz2 * ux - dz1 * wx;
    const double moved = 2.0 * depthError * (std::fabs(ux) + std::fabs(uy) + std::fabs(wx) + std::fabs(wy)) +
                         4.0 * e * (std::fabs(dz1) + std::fabs(dz2)) + 16.0 * e * depthError;
    const double slope = (std::fabs(sx) + std::fabs(sy) + moved) / (std::fabs(t.twiceArea) - t.areaSpread);
    // The plane may be met at a centre up to e outside the corners taken
    // here.
    return (depthError + 2.0 * rules.depthStep + 2.0 * e * slope + kPlaneShare * (1.0 + slope * reach)) *
           (1.0 + 1e-9);
}

// The float at or above x, as the bits of a non-negative float (whose
// bits order as the values do).
std::uint32_t UpperBits(double x)
{
    float f = float(x);
    if (double(f) < x)
        f = std::nextafter(f, std::numeric_limits<float>::infinity());
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// The columns and rows of viewport centres within the triangle's box
// widened by e.
inline stCentres ColumnsOf(const stTriangleWindow& t, double e, const stWindowMap& map)
{
    return stCentres(std::min({t.x[0], t.x[1], t.x[2]}) - e, std::max({t.x[0], t.x[1], t.x[2]}) + e,
                     map.viewport[0], map.viewport[2]);
}
inline stCentres RowsOf(const stTriangleWindow& t, double e, const stWindowMap& map)
{
    return stCentres(std::min({t.y[0], t.y[1], t.y[2]}) - e, std::max({t.y[0], t.y[1], t.y[2]}) + e,
                     map.viewport[1], map.viewport[3]);
}

// The centres of the viewport a triangle may cover (those of its box,
// widened by e, that it may hold), while `each` returns true; false when
// there may be more of them than kMostCentres.
template <class Each>
bool ForCentres(const stTriangleWindow& t, double e, const stWindowMap& map, Each&& each)
{
    const stCentres columns = ColumnsOf(t, e, map), rows = RowsOf(t, e, map);
    if (columns.Empty() || rows.Empty())
        return true;
    if (columns.Count() * rows.Count() > kMostCentres)
        return false;
    for (double y = rows.lowest; y <= rows.highest; ++y)
        for (double x = columns.lowest; x <= columns.highest; ++x)
            if (MayHold(t.corners, e, x + 0.5, y + 0.5) && !each(x, y))
                return true;
    return true;
}

// Whether the point surely lies on the inner side of the triangle's edge
// from corner k: by more than moving the corners by e can change.
bool SurelyInside(const stTriangleWindow& t, int k, double e, double x, double y)
{
    const double sign = t.twiceArea > 0.0 ? 1.0 : -1.0;
    const double ex = t.x[(k + 1) % 3] - t.x[k], ey = t.y[(k + 1) % 3] - t.y[k];
    const double dx = x - t.x[k], dy = y - t.y[k];
    const double moved =
        (e * (std::fabs(ex) + std::fabs(ey) + 2.0 * (std::fabs(dx) + std::fabs(dy))) + 4.0 * e * e) * (1.0 + 1e-9);
    return sign * (ex * dy - ey * dx) > moved;
}

// -1 when the triangle surely holds the point, the edge when the point is
// surely inside the other two only, else 3.
int EdgeInDoubt(const stTriangleWindow& t, double e, double x, double y)
{
    int doubt = -1;
    for (int k = 0; k < 3; ++k)
        if (!SurelyInside(t, k, e, x, y))
        {
            if (doubt >= 0)
                return 3;
            doubt = k;
        }
    return doubt;
}

#ifdef VTL_COVERAGE_X86

// ForHeldCentres four centres at a time, each lane with MayHold's and
// SurelyInside's operations in their order (the two measure each edge
// alike); the centres come in ForCentres' order.
template <class Each>
__attribute__((target("avx2"), optimize("fp-contract=off"))) bool
ForHeldCentresByFour(const stTriangleWindow& t, double e, const stWindowMap& map, Each&& each)
{
    const stCentres columns = ColumnsOf(t, e, map), rows = RowsOf(t, e, map);
    if (columns.Empty() || rows.Empty())
        return true;
    if (columns.Count() * rows.Count() > kMostCentres)
        return false;
    double x[int(kMostCentres)], y[int(kMostCentres)];
    int n = 0;
    for (double row = rows.lowest; row <= rows.highest; ++row)
        for (double column = columns.lowest; column <= columns.highest; ++column, ++n)
        {
            x[n] = column;
            y[n] = row;
        }
    const bool counterClockwise = t.twiceArea > 0.0;
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    for (int first = 0; first < n; first += 4)
    {
        const int k1 = std::min(first + 1, n - 1), k2 = std::min(first + 2, n - 1),
                  k3 = std::min(first + 3, n - 1);
        const __m256d px = _mm256_add_pd(_mm256_setr_pd(x[first], x[k1], x[k2], x[k3]), half);
        const __m256d py = _mm256_add_pd(_mm256_setr_pd(y[first], y[k1], y[k2], y[k3]), half);
        __m256d inside = all, outside = all;
        int sure[3];
        for (int k = 0; k < 3; ++k)
        {
            const stEdgeByFour m = MeasureEdgeByFour(*t.corners[k], *t.corners[(k + 1) % 3], px, py, e);
            inside = _mm256_and_pd(inside, _mm256_cmp_pd(m.edge, m.against, _CMP_GE_OQ));
            outside = _mm256_and_pd(outside, _mm256_cmp_pd(m.edge, m.moved, _CMP_LE_OQ));
            // sign x edge > moved, the sign the triangle's turn.
            sure[k] = _mm256_movemask_pd(counterClockwise ? _mm256_cmp_pd(m.edge, m.moved, _CMP_GT_OQ)
                                                          : _mm256_cmp_pd(m.edge, m.against, _CMP_LT_OQ));
        }
        const int held = _mm256_movemask_pd(_mm256_or_pd(inside, outside));
        for (int lane = 0; lane < 4 && first + lane < n; ++lane)
        {
            if (!((held >> lane) & 1))
                continue;
            int doubt = -1;
            for (int k = 0; k < 3; ++k)
                if (!((sure[k] >> lane) & 1))
                    doubt = doubt < 0 ? k : 3;
            if (!each(x[first + lane], y[first + lane], doubt))
                return true;
        }
    }
    return true;
}

#endif

// ForCentres handing each centre its EdgeInDoubt too.
template <class Each>
bool ForHeldCentres(const stTriangleWindow& t, double e, const stWindowMap& map, Each&& each)
{
#ifdef VTL_COVERAGE_X86
    if (ByFour())
        return ForHeldCentresByFour(t, e, map, each);
#endif
    return ForCentres(t, e, map,
                      [&](double x, double y) { return each(x, y, EdgeInDoubt(t, e, x + 0.5, y + 0.5)); });
}

// Each centre of the viewport: the least depth that a fragment there of a
// drawn triangle surely holding it surely lies below, as a float's bits;
// taken from the triangles that neither covers no pixel nor is culled.
class cNearestDepths
{
public:
    cNearestDepths(const stWindowMap& map, const stFragmentRules& rules, const stDepthCorner* corners,
                   std::uint32_t vertexCount, double e, double depthError)
        : m_map(map), m_rules(rules), m_corners(corners), m_vertexCount(vertexCount), m_e(e),
          m_depthError(depthError), m_left(map.viewport[0]), m_bottom(map.viewport[1]),
          m_width(std::size_t(map.viewport[2])),
          // The farthest a centre lies from GL's window corner, in x plus y.
          m_reach(std::max(std::fabs(m_left), std::fabs(m_left + map.viewport[2])) +
                  std::max(std::fabs(m_bottom), std::fabs(m_bottom + map.viewport[3])) + 2.0),
          m_used(rules.nearestStays && map.depthRange[0] >= 0.0 && map.depthRange[1] <= 1.0)
    {
        if (m_used)
            m_nearer.assign(m_width * std::size_t(map.viewport[3]),
                            UpperBits(std::numeric_limits<double>::infinity()));
    }
    bool Used() const { return m_used; }
    // With a hidden triangle among them, the drawn ones are not known here.
    bool Known() const { return m_used && !m_hidden.load(); }

    // Takes in a triangle that may cover a centre. A centre near one of its
    // edges is taken with the triangle across that edge, when the two
    // surely hold it between them: GL gives it to one of the two.
    void Cover(const cMeshTriangle& triangle, const stTriangleWindow& t)
    {
        if (triangle.flags & kTriangleFlagHidden)
        {
            m_hidden.store(true, std::memory_order_relaxed);
            return;
        }
        double zHigh = 0.0;
        if (!Drawn(t, zHigh))
            return;
        const std::uint32_t high = UpperBits(zHigh);
        ForHeldCentres(t, m_e, m_map, [&](double x, double y, int doubt) {
            if (doubt < 0)
                Lower(x, y, high);
            else if (doubt < 3 && triangle.neighbour[doubt])
            {
                double pairHigh = 0.0;
                if (AcrossHolds(triangle, t, doubt, x + 0.5, y + 0.5, pairHigh))
                    Lower(x, y, UpperBits(std::max(zHigh, pairHigh)));
            }
            return true;
        });
    }

    // Whether the triangle lies behind at every centre it may cover: the
    // triangle that put its depth there holds the centre and is not left
    // out (it is not behind itself).
    bool Behind(const stTriangleWindow& t)
    {
        const double spread = DepthSpread(t, m_e, m_depthError, m_reach, m_rules);
        if (!(spread >= 0.0))
            return false;
        const double zLow = std::min({t.z[0], t.z[1], t.z[2]}) - spread;
        bool behind = true;
        const bool few = ForHeldCentres(t, m_e, m_map, [&](double x, double y, int) {
            const std::uint32_t high = Cell(x, y).load(std::memory_order_relaxed);
            float z;
            std::memcpy(&z, &high, sizeof z);
            behind = double(z) < zLow;
            return behind;
        });
        return few && behind;
    }

private:
    // Whether GL surely draws whatever of the triangle covers a centre
    // (kept, not clipped), with the highest depth any fragment of it has.
    bool Drawn(const stTriangleWindow& t, double& zHigh) const
    {
        if (!SurelyKept(t, m_rules))
            return false;
        const double spread = DepthSpread(t, m_e, m_depthError, m_reach, m_rules);
        const double zLow = std::min({t.z[0], t.z[1], t.z[2]}) - spread;
        zHigh = std::max({t.z[0], t.z[1], t.z[2]}) + spread;
        // Not clipped: well inside the depth range and the viewport.
        return spread >= 0.0 && zLow > m_map.depthRange[0] && zHigh < m_map.depthRange[1] &&
               std::min({t.x[0], t.x[1], t.x[2]}) > m_left - 1.0 &&
               std::max({t.x[0], t.x[1], t.x[2]}) < m_left + m_map.viewport[2] + 1.0 &&
               std::min({t.y[0], t.y[1], t.y[2]}) > m_bottom - 1.0 &&
               std::max({t.y[0], t.y[1], t.y[2]}) < m_bottom + m_map.viewport[3] + 1.0;
    }

    // Whether the triangle across edge k (from corner k to the next) and
    // this one surely hold the point between them, the point being surely
    // inside this one's other edges: the two share the edge's corners, so
    // GL puts them at the same places, and when their third corners lie on
    // either side of it, the point lies in one of the two or on the edge,
    // which GL gives to one of them. `zHigh` is the other's highest depth.
    bool AcrossHolds(const cMeshTriangle& triangle, const stTriangleWindow& t, int k, double x, double y,
                     double& zHigh) const
    {
        const cMeshTriangle& other = *triangle.neighbour[k];
        const std::uint32_t a = triangle.vertexIndex[k], b = triangle.vertexIndex[(k + 1) % 3];
        const int j = other.CornerOf(b);
        stTriangleWindow o;
        if (j < 0 || other.vertexIndex[(j + 1) % 3] != a || (other.flags & kTriangleFlagHidden) ||
            !WindowOf(m_corners, other.vertexIndex, m_vertexCount, m_e, o) || !Drawn(o, zHigh))
            return false;
        // The third corners on either side of the shared edge, each surely.
        stTriangleWindow across = t;
        const int third = (k + 2) % 3;
        across.x[third] = o.x[(j + 2) % 3];
        across.y[third] = o.y[(j + 2) % 3];
        const auto side = [&](const stTriangleWindow& w)
        {
            const double ex = w.x[(k + 1) % 3] - w.x[k], ey = w.y[(k + 1) % 3] - w.y[k];
            const double dx = w.x[third] - w.x[k], dy = w.y[third] - w.y[k];
            // All three corners move: each difference by up to 2e.
            const double moved =
                (2.0 * m_e * (std::fabs(ex) + std::fabs(ey) + std::fabs(dx) + std::fabs(dy)) + 8.0 * m_e * m_e) *
                (1.0 + 1e-9);
            const double cross = ex * dy - ey * dx;
            return cross > moved ? 1 : cross < -moved ? -1 : 0;
        };
        const int mine = side(t), theirs = side(across);
        return mine != 0 && theirs == -mine && SurelyInside(o, (j + 1) % 3, m_e, x, y) &&
               SurelyInside(o, (j + 2) % 3, m_e, x, y);
    }

    void Lower(double x, double y, std::uint32_t high)
    {
        auto at = Cell(x, y);
        std::uint32_t now = at.load(std::memory_order_relaxed);
        while (high < now && !at.compare_exchange_weak(now, high, std::memory_order_relaxed))
        {
        }
    }

    std::atomic_ref<std::uint32_t> Cell(double x, double y)
    {
        return std::atomic_ref<std::uint32_t>(m_nearer[std::size_t(y - m_bottom) * m_width + std::size_t(x - m_left)]);
    }

    const stWindowMap& m_map;
    const stFragmentRules& m_rules;
    const stDepthCorner* m_corners;
    const std::uint32_t m_vertexCount;
    const double m_e, m_depthError, m_left, m_bottom;
    const std::size_t m_width;
    const double m_reach;
    const bool m_used;
    std::vector<std::uint32_t> m_nearer;
    std::atomic<bool> m_hidden{false};
};

// Calls word(w, triangles), where triangles(each) calls each(i, triangle,
// window) for every triangle of word w that `coversNoPixel` leaves in and
// whose corners are known.
template <class Word>
void KeptTrianglesOfWord(const cMesh& mesh, const stDepthCorner* corners, double e,
                         const std::vector<std::uint64_t>& coversNoPixel, std::size_t w, Word&& word)
{
    const std::uint32_t count = mesh.GetTriangleCount(), vertexCount = mesh.GetVertexCount();
    const std::uint64_t skipped = coversNoPixel[w];
    const auto first = std::uint32_t(w * 64);
    const std::uint32_t last = std::min<std::uint32_t>(count, first + 64);
    word(w, [&](auto&& each) {
        for (std::uint32_t i = first; i < last; ++i)
        {
            if ((skipped >> (i - first)) & 1)
                continue;
            const cMeshTriangle& triangle = *mesh.GetTriangle(i);
            stTriangleWindow t;
            if (WindowOf(corners, triangle.vertexIndex, vertexCount, e, t))
                each(i - first, triangle, t);
        }
    });
}

// The same for every word, a word per call of word(w, triangles) on the pool.
template <class Word>
void ForKeptTriangles(const cMesh& mesh, const stDepthCorner* corners, double e,
                      const std::vector<std::uint64_t>& coversNoPixel, Word&& word)
{
    auto job = [&](std::size_t w) { KeptTrianglesOfWord(mesh, corners, e, coversNoPixel, w, word); };
    ParallelForEach(SharedThreadPool(), coversNoPixel.size(), kWordsPerJob, job);
}

// A triangle that may cover a centre, listed with its corners in the window
// by the pass that finds the coverage, so that a later pass reads neither
// its record nor its corners, which lie anywhere in the corner array.
struct stListed
{
    std::uint32_t triangle;
    stDepthCorner corners[3];
};

// As ForKeptTriangles, for the triangles listed a job of kWordsPerJob words
// per list, in order.
template <class Word>
void ForListedTriangles(const cMesh& mesh, double e, const std::vector<std::vector<stListed>>& lists,
                        std::size_t words, Word&& word)
{
    auto job = [&](std::size_t j)
    {
        const std::vector<stListed>& list = lists[j];
        std::size_t k = 0;
        const std::size_t end = std::min(words, (j + 1) * kWordsPerJob);
        for (std::size_t w = j * kWordsPerJob; w < end; ++w)
        {
            while (k < list.size() && list[k].triangle / 64 < w)
                ++k;
            word(w, [&](auto&& each) {
                for (; k < list.size() && list[k].triangle / 64 == w; ++k)
                {
                    const stListed& listed = list[k];
                    const stDepthCorner* const corners[3] = {&listed.corners[0], &listed.corners[1],
                                                             &listed.corners[2]};
                    stTriangleWindow t;
                    if (WindowOf(corners, e, t))
                        each(listed.triangle % 64, *mesh.GetTriangle(listed.triangle), t);
                }
            });
        }
    };
    ParallelForEach(SharedThreadPool(), lists.size(), 1, job);
}

// The bits of FindTrianglesDrawingNothing once the nearest depths hold every
// drawn triangle (when used), of the triangles walk(word) hands to word as
// ForKeptTriangles does.
template <class Walk>
void LeaveOut(const stFragmentRules& rules, cNearestDepths& nearest, Walk&& walk, std::vector<std::uint64_t>& bits,
              bool& behind)
{
    const bool known = nearest.Known();
    std::atomic<bool> anyBehind{false};
    walk([&](std::size_t w, auto&& triangles) {
        std::uint64_t value = 0, behindHere = 0;
        triangles([&](std::uint32_t bit, const cMeshTriangle&, const stTriangleWindow& t) {
            if (SurelyCulled(t, rules))
                value |= std::uint64_t(1) << bit;
            else if (known && nearest.Behind(t))
                behindHere |= std::uint64_t(1) << bit;
        });
        bits[w] = value | behindHere;
        if (behindHere != 0)
            anyBehind.store(true, std::memory_order_relaxed);
    });
    behind = anyBehind.load();
}

} // namespace

void FindTrianglesDrawingNothing(const cMesh& mesh, const stWindowMap& map, const stFragmentRules& rules,
                                 const std::vector<std::uint64_t>& coversNoPixel, std::vector<std::uint64_t>& bits,
                                 bool& behind)
{
    behind = false;
    const std::uint32_t count = mesh.GetTriangleCount(), vertexCount = mesh.GetVertexCount();
    bits.assign((std::size_t(count) + 63) / 64, 0);
    if (count == 0 || vertexCount == 0 || coversNoPixel.size() != bits.size() ||
        (rules.cull == 0 && !rules.nearestStays))
        return;
    double error = 0.0, depthError = 0.0;
    const std::unique_ptr<stDepthCorner[]> corners = CornersOf<stDepthCorner>(mesh, map, error, depthError);
    const double e = kSnap + kKept + error;
    cNearestDepths nearest(map, rules, corners.get(), vertexCount, e, depthError);
    if (nearest.Used())
        ForKeptTriangles(mesh, corners.get(), e, coversNoPixel, [&](std::size_t, auto&& triangles) {
            triangles([&](std::uint32_t, const cMeshTriangle& triangle, const stTriangleWindow& t) {
                nearest.Cover(triangle, t);
            });
        });
    LeaveOut(
        rules, nearest, [&](auto&& word) { ForKeptTriangles(mesh, corners.get(), e, coversNoPixel, word); }, bits,
        behind);
}

cPixelCoverageCache::cPixelCoverageCache(std::wstring_view name, ISceneObject* owner)
    : IAttachedProperty(name, owner), m_geometryChanged(this, &cPixelCoverageCache::OnOwnerGeometryChanged)
{
    if (owner)
        owner->GetGeometryChangedEvent().Subscribe(&m_geometryChanged);
}

cPixelCoverageCache::~cPixelCoverageCache()
{
    if (GetOwner())
        GetOwner()->GetGeometryChangedEvent().Unsubscribe(&m_geometryChanged);
}

const std::vector<std::uint64_t>& cPixelCoverageCache::Find(const cMesh& mesh, const stWindowMap& map)
{
    if (!Valid(mesh, map))
    {
        FindTrianglesCoveringNoPixel(mesh, map, m_bits);
        Keep(mesh, map);
        m_turnsFound = false;
    }
    return m_bits;
}

bool cPixelCoverageCache::Valid(const cMesh& mesh, const stWindowMap& map) const
{
    return m_valid && m_mesh == &mesh && m_triangles == mesh.GetTriangleCount() &&
           m_vertices == mesh.GetVertexCount() && m_map == map;
}

void cPixelCoverageCache::Keep(const cMesh& mesh, const stWindowMap& map)
{
    m_mesh = &mesh;
    m_triangles = mesh.GetTriangleCount();
    m_vertices = mesh.GetVertexCount();
    m_map = map;
    m_valid = true;
    for (stRuled& ruled : m_ruled)
        ruled.valid = false;
}

const std::vector<std::uint64_t>& cPixelCoverageCache::FindDrawingNothing(const cMesh& mesh, const stWindowMap& map,
                                                                          const stFragmentRules& rules, bool& behind)
{
    const std::uint32_t count = mesh.GetTriangleCount(), vertexCount = mesh.GetVertexCount();
    const std::size_t words = (std::size_t(count) + 63) / 64;
    // The corners are found once for whatever this call needs, and so are
    // the nearest depths, which the pass finding the coverage's turns
    // takes in as it goes.
    std::unique_ptr<stDepthCorner[]> corners;
    double e = 0.0, depthError = 0.0;
    const auto findCorners = [&]
    {
        if (corners)
            return;
        double error = 0.0;
        corners = CornersOf<stDepthCorner>(mesh, map, error, depthError);
        e = kSnap + kKept + error;
    };
    std::optional<cNearestDepths> nearest;
    std::vector<std::vector<stListed>> listed;
    // Coverage found alone (for a frame with a time budget) has no turns.
    if (!Valid(mesh, map) || !m_turnsFound)
    {
        m_bits.assign(words, 0);
        for (auto& facing : m_facing)
            facing.assign(words, 0);
        if (count != 0 && vertexCount != 0)
        {
            findCorners();
            if (rules.nearestStays)
                nearest.emplace(map, rules, corners.get(), vertexCount, e, depthError);
            const bool cover = nearest && nearest->Used();
            // The triangles left out are then found in this call: the
            // triangles that may cover a centre are listed for it.
            if (rules.nearestStays)
                listed.resize((words + kWordsPerJob - 1) / kWordsPerJob);
            // The turns and nearest depths of a word's triangles that may
            // cover a centre are taken as soon as its coverage is found.
            CoverageOf(mesh, map, corners.get(), e, m_bits, [&](std::size_t word) {
                KeptTrianglesOfWord(mesh, corners.get(), e, m_bits, word, [&](std::size_t w, auto&& triangles) {
                    std::uint64_t turns[2] = {0, 0};
                    triangles([&](std::uint32_t bit, const cMeshTriangle& triangle, const stTriangleWindow& t) {
                        if (t.twiceArea > t.areaSpread)
                            turns[0] |= std::uint64_t(1) << bit;
                        else if (t.twiceArea < -t.areaSpread)
                            turns[1] |= std::uint64_t(1) << bit;
                        if (cover)
                            nearest->Cover(triangle, t);
                        if (!listed.empty())
                            listed[w / kWordsPerJob].push_back(
                                {std::uint32_t(w * 64 + bit),
                                 {*static_cast<const stDepthCorner*>(t.corners[0]),
                                  *static_cast<const stDepthCorner*>(t.corners[1]),
                                  *static_cast<const stDepthCorner*>(t.corners[2])}});
                    });
                    m_facing[0][w] = turns[0];
                    m_facing[1][w] = turns[1];
                });
            });
        }
        Keep(mesh, map);
        m_turnsFound = true;
    }
    for (stRuled& ruled : m_ruled)
        if (ruled.valid && ruled.rules == rules)
        {
            behind = ruled.behind;
            return ruled.bits;
        }
    stRuled& next = m_ruled[m_nextRuled];
    m_nextRuled = (m_nextRuled + 1) % 2;
    next.bits.assign(words, 0);
    next.behind = false;
    if (rules.nearestStays && count != 0 && vertexCount != 0)
    {
        findCorners();
        if (!nearest)
        {
            nearest.emplace(map, rules, corners.get(), vertexCount, e, depthError);
            if (nearest->Used())
                ForKeptTriangles(mesh, corners.get(), e, m_bits, [&](std::size_t, auto&& triangles) {
                    triangles([&](std::uint32_t, const cMeshTriangle& triangle, const stTriangleWindow& t) {
                        nearest->Cover(triangle, t);
                    });
                });
        }
        if (!listed.empty())
            LeaveOut(
                rules, *nearest, [&](auto&& word) { ForListedTriangles(mesh, e, listed, words, word); },
                next.bits, next.behind);
        else
            LeaveOut(
                rules, *nearest, [&](auto&& word) { ForKeptTriangles(mesh, corners.get(), e, m_bits, word); },
                next.bits, next.behind);
    }
    else if (rules.cull == GL_FRONT_AND_BACK)
        std::fill(next.bits.begin(), next.bits.end(), ~std::uint64_t(0));
    else if (rules.cull == GL_BACK || rules.cull == GL_FRONT)
        // Culled are the faces of the culled turn: the same the triangle
        // pass finds.
        next.bits = m_facing[(rules.cull == GL_BACK) == rules.frontCounterClockwise ? 1 : 0];
    next.rules = rules;
    next.valid = true;
    behind = next.behind;
    return next.bits;
}
