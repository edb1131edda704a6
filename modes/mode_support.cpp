#include "modes/mode_support.h"

#include "core/intersections.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/scene.h"
#include "core/thread_pool.h"
#include "platform/mfc/menu.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/device_context.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/gdi_paint.h"
#include "platform/win32/icons.h"
#include "platform/win32/input.h"
#include "render/menu_item_bitmaps.h"
#include "render/pixel_coverage.h"
#include "render/renderer.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cwchar>
#include <memory>
#include <vector>

bool PointInTriangle2D(double px, double py, double ax, double ay, double bx, double by, double cx, double cy,
                       double* u, double* v, double e)
{
    const double d = (cy - ay) * (bx - ax) - (by - ay) * (cx - ax);
    if (std::fabs(d) <= e)
        return false;
    const double uu = ((cy - ay) * (px - ax) - (py - ay) * (cx - ax)) / d;
    const double vv = ((py - ay) * (bx - ax) - (by - ay) * (px - ax)) / d;
    *u = uu;
    *v = vv;
    const double w = uu + vv;
    return uu > -e && uu < 1.0 + e && vv > -e && vv < 1.0 + e && w > -e && w < 1.0 + e;
}

namespace
{

// Whether a pick measures the triangle at all: it is visible, faces the
// viewer and names vertices of the mesh.
bool PickMeasures(const cMeshTriangle& t, const double m[12], std::uint32_t vertexCount)
{
    if (t.flags & kTriangleFlagHidden)
        return false;
    if (double(t.nx) * m[8] + double(t.ny) * m[9] + double(t.nz) * m[10] < 0.0)
        return false;
    return t.vertexIndex[0] < vertexCount && t.vertexIndex[1] < vertexCount && t.vertexIndex[2] < vertexCount;
}

} // namespace

bool PickTrianglePoint(const cMesh& mesh, const cMeshTriangle& t, float x, float y, const double m[12],
                       const float centre[3], float point[3], double* depth)
{
    if (!PickMeasures(t, m, mesh.GetVertexCount()))
        return false;
    const cVertex* corner[3];
    double sx[3], sy[3];
    for (int k = 0; k < 3; ++k)
    {
        corner[k] = mesh.GetVertex(t.vertexIndex[k]);
        const double d[3] = {double(corner[k]->x) - centre[0], double(corner[k]->y) - centre[1],
                             double(corner[k]->z) - centre[2]};
        sx[k] = m[0] * d[0] + m[1] * d[1] + m[2] * d[2] + m[3];
        sy[k] = m[4] * d[0] + m[5] * d[1] + m[6] * d[2] + m[7];
    }
    double u = 0.0, v = 0.0;
    if (!PointInTriangle2D(x, y, sx[0], sy[0], sx[1], sy[1], sx[2], sy[2], &u, &v, kPickEpsilon))
        return false;
    const float fu = float(u), fv = float(v);
    const cVertex& a = *corner[0];
    const cVertex& b = *corner[1];
    const cVertex& c = *corner[2];
    point[0] = a.x + fu * (b.x - a.x) + fv * (c.x - a.x);
    point[1] = a.y + fu * (b.y - a.y) + fv * (c.y - a.y);
    point[2] = a.z + fu * (b.z - a.z) + fv * (c.z - a.z);
    *depth = m[8] * (double(point[0]) - centre[0]) + m[9] * (double(point[1]) - centre[1]) +
             m[10] * (double(point[2]) - centre[2]) + m[11];
    return true;
}

void SetPickedPoint(cVertex& result, const cMesh& mesh, const cMeshTriangle& t, const float point[3])
{
    result.x = point[0];
    result.y = point[1];
    result.z = point[2];
    result.flags = std::fabs(double(point[0]) - FLT_MAX) <= FLT_EPSILON ? kPickedNothing : 0u;
    result.nx = t.nx;
    result.ny = t.ny;
    result.nz = t.nz;
    result.index = mesh.GetVertex(t.vertexIndex[0])->index;
}

namespace
{

#if defined(__x86_64__) && defined(__GNUC__)

// Row r of the view transform applied to four centred points, lane by lane:
// ((m[r] d0 + m[r+1] d1) + m[r+2] d2) + m[r+3]. A function of its own, with
// its own mark, as clang compiles a lambda without its function's target.
__attribute__((target("avx2"), optimize("fp-contract=off"))) inline __m256d
TransformRow4(const double m[12], int r, __m256d d0, __m256d d1, __m256d d2)
{
    __m256d sum = _mm256_mul_pd(_mm256_set1_pd(m[r]), d0);
    sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_set1_pd(m[r + 1]), d1));
    sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_set1_pd(m[r + 2]), d2));
    return _mm256_add_pd(sum, _mm256_set1_pd(m[r + 3]));
}

// How far beyond the pick's bounds the lanes below still keep a triangle,
// in the units of u and v.
constexpr double kPickFilterSlack = 1e-9;

// Which of four measured triangles may lie under the cursor (bit k for
// t[k]), in the lanes of the processor's vectors: each lane takes the
// corners to the view plane and finds the numerators of u and v and their
// denominator with PickTrianglePoint's operations in its order (no fused
// multiply-adds), the same values, and tests them against bounds a little
// wider than PickTrianglePoint's, so a lane left out is one that
// PickTrianglePoint leaves out; the others are measured by it.
__attribute__((target("avx2"), optimize("fp-contract=off"))) unsigned
MayLieUnderCursor4(const cMesh& mesh, const cMeshTriangle* const t[4], double px, double py, const double m[12],
                   const float centre[3])
{
    __m256d sx[3], sy[3];
    for (int k = 0; k < 3; ++k)
    {
        const cVertex* v[4];
        for (int l = 0; l < 4; ++l)
            v[l] = mesh.GetVertex(t[l]->vertexIndex[k]);
        const __m256d x = _mm256_cvtps_pd(_mm_setr_ps(v[0]->x, v[1]->x, v[2]->x, v[3]->x));
        const __m256d y = _mm256_cvtps_pd(_mm_setr_ps(v[0]->y, v[1]->y, v[2]->y, v[3]->y));
        const __m256d z = _mm256_cvtps_pd(_mm_setr_ps(v[0]->z, v[1]->z, v[2]->z, v[3]->z));
        const __m256d d0 = _mm256_sub_pd(x, _mm256_set1_pd(double(centre[0])));
        const __m256d d1 = _mm256_sub_pd(y, _mm256_set1_pd(double(centre[1])));
        const __m256d d2 = _mm256_sub_pd(z, _mm256_set1_pd(double(centre[2])));
        sx[k] = TransformRow4(m, 0, d0, d1, d2);
        sy[k] = TransformRow4(m, 4, d0, d1, d2);
    }
    // PointInTriangle2D with a = 0, b = 1, c = 2.
    const __m256d x = _mm256_set1_pd(px), y = _mm256_set1_pd(py);
    const __m256d bax = _mm256_sub_pd(sx[1], sx[0]), bay = _mm256_sub_pd(sy[1], sy[0]);
    const __m256d cax = _mm256_sub_pd(sx[2], sx[0]), cay = _mm256_sub_pd(sy[2], sy[0]);
    const __m256d pax = _mm256_sub_pd(x, sx[0]), pay = _mm256_sub_pd(y, sy[0]);
    const __m256d d = _mm256_sub_pd(_mm256_mul_pd(cay, bax), _mm256_mul_pd(bay, cax));
    // The numerators of u and v, as PickTrianglePoint has them.
    const __m256d nu = _mm256_sub_pd(_mm256_mul_pd(cay, pax), _mm256_mul_pd(pay, cax));
    const __m256d nv = _mm256_sub_pd(_mm256_mul_pd(pay, bax), _mm256_mul_pd(bay, pax));
    // Without its divisions: u = nu / d lies in (-e, 1 + e) only where nu
    // times d's sign lies within |d| times bounds widened by 1e-9, far more
    // than the roundings of the quotients and of their sum (a few parts in
    // 1e16 of values near 1) can make up; NaN fails every comparison.
    const __m256d signBit = _mm256_set1_pd(-0.0);
    const __m256d absD = _mm256_andnot_pd(signBit, d), sign = _mm256_and_pd(signBit, d);
    const __m256d low = _mm256_mul_pd(_mm256_set1_pd(-(kPickEpsilon + kPickFilterSlack)), absD);
    const __m256d high = _mm256_mul_pd(_mm256_set1_pd(1.0 + kPickEpsilon + kPickFilterSlack), absD);
    const __m256d u = _mm256_xor_pd(nu, sign), v = _mm256_xor_pd(nv, sign);
    const __m256d w = _mm256_xor_pd(_mm256_add_pd(nu, nv), sign);
    __m256d inside = _mm256_cmp_pd(absD, _mm256_set1_pd(kPickEpsilon), _CMP_GT_OQ);
    inside = _mm256_and_pd(inside, _mm256_cmp_pd(u, low, _CMP_GT_OQ));
    inside = _mm256_and_pd(inside, _mm256_cmp_pd(u, high, _CMP_LT_OQ));
    inside = _mm256_and_pd(inside, _mm256_cmp_pd(v, low, _CMP_GT_OQ));
    inside = _mm256_and_pd(inside, _mm256_cmp_pd(v, high, _CMP_LT_OQ));
    inside = _mm256_and_pd(inside, _mm256_cmp_pd(w, low, _CMP_GT_OQ));
    inside = _mm256_and_pd(inside, _mm256_cmp_pd(w, high, _CMP_LT_OQ));
    return unsigned(_mm256_movemask_pd(inside));
}

bool PickByFour()
{
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

#else

unsigned MayLieUnderCursor4(const cMesh&, const cMeshTriangle* const[4], double, double, const double[12],
                            const float[3])
{
    return 15u;
}

bool PickByFour()
{
    return false;
}

#endif

} // namespace

cVertex PickMeshPointUnderCursor(const cMesh& mesh, float x, float y, const double m[12], const float centre[3],
                                 const cMeshTriangle** hitTriangle, stTriangleFlagBlocks* seen)
{
    // Each block of triangles keeps its deepest hit, the first of equal
    // depths; the blocks are then compared in order as the triangles were,
    // so the answer is the one a single scan gives.
    struct stHit
    {
        double depth = -FLT_MAX;
        const cMeshTriangle* triangle = nullptr;
        float point[3] = {0.0f, 0.0f, 0.0f};
    };
    const std::uint32_t count = mesh.GetTriangleCount();
    const std::size_t blocks = (std::size_t{count} + kTriangleFlagBlock - 1) / kTriangleFlagBlock;
    std::vector<stHit> hits(blocks);
    if (seen)
    {
        seen->triangles = count;
        seen->any.assign(blocks, 0);
        seen->all.assign(blocks, 0xFF);
    }
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    const bool byFour = PickByFour();
    auto scan = [&](std::size_t block) {
        stHit& best = hits[block];
        const auto measure = [&](const cMeshTriangle* t)
        {
            float p[3];
            double depth = 0.0;
            if (!PickTrianglePoint(mesh, *t, x, y, m, centre, p, &depth) || !(depth > best.depth))
                return;
            best.depth = depth;
            best.triangle = t;
            std::copy_n(p, 3, best.point);
        };
        // The triangles the pick measures go four at a time through the
        // lanes, which leave out most; the rest are measured one by one in
        // their order, so equal depths still keep the earlier triangle.
        const cMeshTriangle* four[4];
        unsigned held = 0;
        std::uint8_t any = 0, all = 0xFF;
        const std::uint32_t end = std::min(count, std::uint32_t(block + 1) * kTriangleFlagBlock);
        for (std::uint32_t i = std::uint32_t(block) * kTriangleFlagBlock; i < end; ++i)
        {
            const cMeshTriangle* t = mesh.GetTriangle(i);
            any |= t->flags;
            all &= t->flags;
            if (!byFour)
            {
                measure(t);
                continue;
            }
            if (!PickMeasures(*t, m, vertexCount))
                continue;
            four[held++] = t;
            if (held < 4)
                continue;
            held = 0;
            for (unsigned lanes = MayLieUnderCursor4(mesh, four, x, y, m, centre); lanes; lanes &= lanes - 1)
                measure(four[__builtin_ctz(lanes)]);
        }
        for (unsigned k = 0; k < held; ++k)
            measure(four[k]);
        if (seen)
        {
            seen->any[block] = any;
            seen->all[block] = all;
        }
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, scan);
    cVertex result;
    result.x = FLT_MAX;
    result.flags = kPickedNothing;
    const stHit* best = nullptr;
    for (const stHit& hit : hits)
        if (hit.triangle && (!best || hit.depth > best->depth))
            best = &hit;
    if (best)
    {
        SetPickedPoint(result, mesh, *best->triangle, best->point);
        if (hitTriangle)
            *hitTriangle = best->triangle;
    }
    return result;
}

bool IsSnapActive(std::uint8_t setting, int force)
{
    if (force)
        return true;
    const bool alt = GetAsyncKeyState(VK_MENU) < 0;
    return setting == 0 ? alt : !alt;
}

bool SnapArcRadius(stSketchSnap& state, const double f[12], const float a[3], const float b[3], const float c[3],
                   double step)
{
    if (!IsSnapActive(state.enabled, 0))
        return false;
    // A step that is not positive (or not a number) has no multiples.
    if (!(step > 0.0) || !std::isfinite(step))
        return false;
    auto toLocal = [&](const float p[3], double out[3])
    {
        const double d[3] = {double(p[0]) - f[3], double(p[1]) - f[7], double(p[2]) - f[11]};
        for (int i = 0; i < 3; ++i)
            out[i] = f[i] * d[0] + f[4 + i] * d[1] + f[8 + i] * d[2];
    };
    double la[3], lb[3], lc[3], centre[3];
    toLocal(a, la);
    toLocal(b, lb);
    toLocal(c, lc);
    if (!TriangleCircumcentre(la, lb, lc, centre))
        return false;
    double ra[3], rc[3], m[3];
    for (int i = 0; i < 3; ++i)
    {
        ra[i] = la[i] - centre[i];
        rc[i] = lc[i] - centre[i];
        m[i] = (ra[i] + rc[i]) * 0.5;
    }
    const double radius = std::sqrt(rc[0] * rc[0] + rc[1] * rc[1] + rc[2] * rc[2]);
    if (!(radius > 0.0))
        return false;
    const double h2 = (ra[0] - m[0]) * (ra[0] - m[0]) + (ra[1] - m[1]) * (ra[1] - m[1]) + (ra[2] - m[2]) * (ra[2] - m[2]);
    const double dist = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    double u[3] = {m[0], m[1], m[2]};
    if (dist > FLT_EPSILON)
        for (double& x : u)
            x /= dist;
    double snapped = std::trunc(radius / step) * step;
    if (h2 > snapped * snapped)
        snapped += step;
    if (h2 > snapped * snapped)
        return false;
    const double shift = dist - std::sqrt(snapped * snapped - h2);
    double nc[3], dir[3];
    for (int i = 0; i < 3; ++i)
    {
        nc[i] = centre[i] + u[i] * shift;
        dir[i] = lb[i] - nc[i];
    }
    const double len = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
    if (len > 0.0)
        for (double& x : dir)
            x /= len;
    double local[3];
    for (int i = 0; i < 3; ++i)
        local[i] = nc[i] + dir[i] * snapped;
    float world[3];
    for (int r = 0; r < 3; ++r)
        world[r] = float(f[4 * r] * local[0] + f[4 * r + 1] * local[1] + f[4 * r + 2] * local[2] + f[4 * r + 3]);
    state.point.x = world[0];
    state.point.y = world[1];
    state.point.z = world[2];
    if (std::fabs(double(world[0]) - FLT_MAX) <= FLT_EPSILON)
        state.point.flags |= 1u;
    else
        state.point.flags &= ~1u;
    return true;
}

namespace
{

constexpr GLenum kPackNames[5] = {GL_PACK_SWAP_BYTES, GL_PACK_ALIGNMENT, GL_PACK_SKIP_PIXELS, GL_PACK_SKIP_ROWS,
                                  GL_PACK_ROW_LENGTH};

} // namespace

void SetPixelStoreState(const stPixelStoreState& state, stPixelStoreState* previous)
{
    for (int i = 0; i < 5; ++i)
    {
        if (previous)
            glGetIntegerv(kPackNames[i], &previous->values[i]);
        glPixelStorei(kPackNames[i], state.values[i]);
    }
}

std::uint32_t ReadPixelUnderCursor(POINT cursor, int viewportHeight)
{
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    // Client rows count from the top: the cursor's pixel is GL row
    // height - 1 - y. Pixels outside the viewport hold nothing of this frame.
    const long x = cursor.x;
    const long row = long(viewportHeight) - 1 - cursor.y;
    if (x < viewport[0] || x >= long(viewport[0]) + viewport[2] || row < viewport[1] ||
        row >= long(viewport[1]) + viewport[3])
        return kNoPickId;
    GLubyte rgb[3] = {0, 0, 0};
    glReadPixels(GLint(x), GLint(row), 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return std::uint32_t(rgb[0]) | std::uint32_t(rgb[1]) << 8 | std::uint32_t(rgb[2]) << 16;
}

std::uint32_t ReadPickIdUnderCursor(I3DSceneRenderer& renderer, POINT cursor)
{
    const bool wasCurrent = renderer.MakeCurrent();
    if (!renderer.IsCurrent())
        return kNoPickId;
    RECT viewport{};
    renderer.GetViewport(&viewport);
    stPixelStoreState saved;
    SetPixelStoreState(kReadBackPixelStore, &saved);
    GLint readBuffer = GL_BACK;
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glReadBuffer(GL_BACK);
    const std::uint32_t id = ReadPixelUnderCursor(cursor, int(viewport.bottom - viewport.top));
    glReadBuffer(GLenum(readBuffer));
    SetPixelStoreState(saved, nullptr);
    if (!wasCurrent)
        renderer.RestoreCurrent();
    return id;
}

bool PickImageReadable(I3DSceneRenderer* renderer, const std::uint8_t& drawn, const std::uint64_t& stamp,
                      const std::function<void()>& drawAgain)
{
    if (!drawn || !renderer)
        return false;
    if (renderer->GetBackBufferStamp() != stamp)
    {
        const bool wasCurrent = renderer->MakeCurrent();
        drawAgain();
        if (!wasCurrent)
            renderer->RestoreCurrent();
    }
    return drawn && renderer->GetBackBufferStamp() == stamp;
}

namespace
{

// Saves every state the id pass changes and puts it back.
class FaceIdState
{
public:
    FaceIdState()
    {
        GLint depth = 0, most = 0;
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
        glGetIntegerv(GL_MAX_ATTRIB_STACK_DEPTH, &most);
        if (depth >= most)
            return;
        glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT |
                     GL_CURRENT_BIT | GL_FOG_BIT | GL_MULTISAMPLE_BIT | GL_TEXTURE_BIT);
        m_ok = true;
    }
    ~FaceIdState()
    {
        if (m_ok)
            glPopAttrib();
    }
    FaceIdState(const FaceIdState&) = delete;
    FaceIdState& operator=(const FaceIdState&) = delete;
    bool Ok() const { return m_ok; }

private:
    bool m_ok = false;
};

} // namespace

bool DrawFaceIdBuffer(const cMesh& mesh, bool cullBackFaces)
{
    return FaceIdPassSupports(mesh.GetTriangleCount()) &&
           DrawFaceIdBuffer(mesh, cullBackFaces, 0, kMaxColourIdTriangles);
}

bool DrawFaceIdBuffer(const cMesh& mesh, bool cullBackFaces, std::uint32_t first, std::uint32_t span)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    span = std::min(span, kMaxColourIdTriangles);
    if (span == 0)
        return false;
    FaceIdState state;
    if (!state.Ok())
        return false;
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    for (GLenum off : {GLenum(GL_LIGHTING), GLenum(GL_BLEND), GLenum(GL_DITHER), GLenum(GL_POLYGON_SMOOTH),
                       GLenum(GL_LINE_SMOOTH), GLenum(GL_POINT_SMOOTH), GLenum(GL_POLYGON_STIPPLE),
                       GLenum(GL_TEXTURE_1D), GLenum(GL_TEXTURE_2D), GLenum(GL_FOG), GLenum(GL_MULTISAMPLE),
                       GLenum(GL_ALPHA_TEST), GLenum(GL_STENCIL_TEST), GLenum(GL_COLOR_LOGIC_OP),
                       GLenum(GL_POLYGON_OFFSET_FILL)})
        glDisable(off);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_FLAT);
    if (cullBackFaces)
    {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(GL_CCW);
    }
    else
        glDisable(GL_CULL_FACE);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glColorMaterial(GL_BACK, GL_AMBIENT_AND_DIFFUSE);

    // Batches of client arrays instead of one call per vertex: the same
    // triangles in the same order, each with its id in all three corners.
    constexpr std::uint32_t kBatch = 16384;
    std::vector<float> positions(std::size_t(kBatch) * 9);
    std::vector<GLubyte> colours(std::size_t(kBatch) * 9);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_INDEX_ARRAY);
    glDisableClientState(GL_EDGE_FLAG_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions.data());
    glColorPointer(3, GL_UNSIGNED_BYTE, 0, colours.data());
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    // A triangle that covers no pixel centre writes no id and no depth: most
    // of a big scan's, which GL would set up one by one for nothing.
    std::vector<std::uint64_t> coversNoPixel;
    stWindowMap map;
    if (CurrentWindowMap(map))
        FindTrianglesCoveringNoPixel(mesh, map, coversNoPixel);
    std::uint32_t filled = 0;
    auto flush = [&]
    {
        if (filled)
            glDrawArrays(GL_TRIANGLES, 0, GLsizei(filled * 3));
        filled = 0;
    };
    for (std::uint32_t i = 0; i < count; ++i)
    {
        if (!coversNoPixel.empty() && ((coversNoPixel[i / 64] >> (i % 64)) & 1))
            continue;
        const cMeshTriangle* t = mesh.GetTriangle(i);
        if ((t->flags & kTriangleFlagHidden) || t->vertexIndex[0] >= vertexCount ||
            t->vertexIndex[1] >= vertexCount || t->vertexIndex[2] >= vertexCount)
            continue;
        // Outside the window: the background's id 0.
        const std::uint32_t id = i >= first && i - first < span ? i - first + 1 : 0;
        const GLubyte rgb[3] = {GLubyte(id & 0xFF), GLubyte((id >> 8) & 0xFF), GLubyte((id >> 16) & 0xFF)};
        float* p = &positions[std::size_t(filled) * 9];
        GLubyte* c = &colours[std::size_t(filled) * 9];
        for (int k = 0; k < 3; ++k)
        {
            const cVertex* v = mesh.GetVertex(t->vertexIndex[k]);
            p[3 * k] = v->x, p[3 * k + 1] = v->y, p[3 * k + 2] = v->z;
            c[3 * k] = rgb[0], c[3 * k + 1] = rgb[1], c[3 * k + 2] = rgb[2];
        }
        if (++filled == kBatch)
            flush();
    }
    flush();
    glPopClientAttrib();
    return true;
}

bool RenderFaceIdPass(I3DSceneRenderer& renderer, const cMesh& mesh, bool cullBackFaces)
{
    return FaceIdPassSupports(mesh.GetTriangleCount()) &&
           RenderFaceIdPass(renderer, mesh, cullBackFaces, 0, kMaxColourIdTriangles);
}

bool RenderFaceIdPass(I3DSceneRenderer& renderer, const cMesh& mesh, bool cullBackFaces, std::uint32_t first,
                      std::uint32_t span)
{
    if (std::min(span, kMaxColourIdTriangles) == 0)
        return false;
    renderer.MakeCurrent();
    if (!renderer.IsCurrent())
        return false;
    GLint drawBuffer = GL_BACK;
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
    glDrawBuffer(GL_BACK);
    renderer.StampBackBuffer();
    renderer.PushViewTransform();
    const bool drawn = DrawFaceIdBuffer(mesh, cullBackFaces, first, span);
    renderer.PopViewTransform();
    glDrawBuffer(GLenum(drawBuffer));
    glFlush();
    glFinish();
    glReadBuffer(GL_BACK);
    // The context stays current: the caller reads the image back next.
    return drawn;
}

int FormatLabelText(wchar_t (&buffer)[32], const wchar_t* format, ...)
{
    buffer[0] = L'\0';
    if (!format)
        return 0;
    // Formatted in a large buffer first, then cut to what the label holds:
    // a value or unit too long for the label is shortened, never a fault.
    wchar_t wide[512];
    va_list args;
    va_start(args, format);
    const int written = std::vswprintf(wide, sizeof wide / sizeof wide[0], format, args);
    va_end(args);
    if (written < 0)
        wide[sizeof wide / sizeof wide[0] - 1] = L'\0';
    const std::size_t length = std::wcslen(wide);
    const std::size_t kept = length < 31 ? length : 31;
    std::wmemcpy(buffer, wide, kept);
    buffer[kept] = L'\0';
    return int(kept);
}

HBITMAP MakeMenuBitmapFromIcon(HICON icon, HWND window)
{
    if (!icon)
        return nullptr;
    HDC windowDc = ::GetDC(window);
    HDC dc = ::CreateCompatibleDC(windowDc);
    HBITMAP bitmap = dc ? ::CreateCompatibleBitmap(windowDc, 18, 18) : nullptr;
    if (bitmap)
    {
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        const RECT all{0, 0, 18, 18};
        ::FillRect(dc, &all, ::GetSysColorBrush(COLOR_MENU));
        ::DrawIconEx(dc, 0, 0, icon, 18, 18, 0, nullptr, DI_NORMAL);
        ::SelectObject(dc, old);
    }
    if (dc)
        ::DeleteDC(dc);
    ::ReleaseDC(window, windowDc);
    return bitmap;
}

BOOL SetMenuItemIcons(const std::uint32_t* table, std::uint32_t wordCount, CMenu* menu, HWND window)
{
    if (!table || !menu)
        return 0;
    const UINT items = menu->GetMenuItemCount();
    if (items == 0 || items == UINT(-1))
        return 0;
    BOOL result = 0;
    const std::uint32_t pairs = wordCount / 2;
    for (UINT position = 0; position < items; ++position)
    {
        const UINT command = menu->GetMenuItemID(int(position));
        for (std::uint32_t p = 0; p < pairs; ++p)
        {
            if (table[2 * p] != command)
                continue;
            const LPCWSTR name = MAKEINTRESOURCEW(table[2 * p + 1]);
            HINSTANCE module = AfxFindResourceHandle(name, RT_GROUP_ICON);
            auto icon = static_cast<HICON>(::LoadImageW(module, name, IMAGE_ICON, 0, 0, 0));
            // The bitmap is a picture of the icon; the menu's shower deletes
            // it with the menu.
            HBITMAP bitmap = MakeMenuBitmapFromIcon(icon, window);
            if (icon)
                ::DestroyIcon(icon);
            result = ::SetMenuItemBitmaps(menu->GetSafeHmenu(), command, MF_BYCOMMAND, bitmap, nullptr);
            break;
        }
    }
    return result;
}

IScreenObjectManager<C3DView>* GetScreenObjectManager(C3DView* view)
{
    return view ? view->GetScreenObjectManager() : nullptr;
}

cMeshObject* FirstMeshObject(C3DView* view)
{
    if (!view)
        return nullptr;
    cSceneObjectIterator* raw = nullptr;
    view->GetObjectIterator(&raw);
    std::unique_ptr<cSceneObjectIterator> it(raw);
    if (!it)
        return nullptr;
    for (it->First(); !it->IsDone(); it->Next())
        if (ISceneObject* object = it->Current().Get(); object && object->QueryInterface(CLSID_cMeshObject))
            if (auto* meshObject = dynamic_cast<cMeshObject*>(object); meshObject && meshObject->GetMesh())
                return meshObject;
    return nullptr;
}

bool SeedClickSelects(const cMeshTriangle& triangle)
{
    return (triangle.flags & (kTriangleFlagHidden | kTriangleFlagSelected)) != kTriangleFlagSelected;
}

cMeshTriangle* AimSeedTriangle(cMeshTriangle* triangle, bool selects)
{
    if (!triangle)
        return nullptr;
    if (selects)
        triangle->flags |= kTriangleFlagSelected;
    else
        triangle->flags &= std::uint8_t(~kTriangleFlagSelected);
    return triangle;
}

void TrackModeMenu(C3DView* view, POINT point, UINT menuId, const std::function<void(CMenu*)>& prepare)
{
    if (!view || !view->GetSafeHwnd())
        return;
    CMenu menu;
    if (!menu.LoadMenu(menuId))
        return;
    if (CMenu* popup = menu.GetSubMenu(0))
    {
        if (prepare)
            prepare(popup);
        POINT screen = point;
        ::ClientToScreen(view->GetSafeHwnd(), &screen);
        ::TrackPopupMenuEx(popup->GetSafeHmenu(), TPM_RIGHTBUTTON, screen.x, screen.y, view->GetSafeHwnd(), nullptr);
    }
    DeleteMenuItemBitmaps(menu.GetSafeHmenu());
    menu.DestroyMenu();
}
