#include "render/pixel_coverage.h"

#include "core/mesh.h"
#include "core/scene_object.h"
#include "core/thread_pool.h"
#include "platform/wgl/wgl.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

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

struct stCorner
{
    float x = 0, y = 0; // NaN: a corner near or behind the eye
};

// The corner in window coordinates, with how far GL's own may lie from it
// into `error`; NaN for a corner near or behind the eye, which GL clips in
// ways not followed here, or far outside the viewport.
stCorner ToWindow(const stWindowMap& map, const float* p, double& error)
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
    stCorner out;
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
    return out;
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
bool MayHold(const stCorner* corners[3], double e, double x, double y)
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
    }
    return inside || outside;
}

// Boxes holding more centres than this are not looked at centre by centre.
constexpr double kMostCentres = 16.0;

// Comparisons with NaN are false: a triangle with an unknown corner covers
// a pixel as far as this test knows. A triangle whose box (widened by e)
// holds a few centres covers none when it surely holds none of them.
bool CoversNoPixel(const stCorner& a, const stCorner& b, const stCorner& c, double e, const stWindowMap& map)
{
    const double left = double(std::min({a.x, b.x, c.x})) - e, right = double(std::max({a.x, b.x, c.x})) + e;
    const double bottom = double(std::min({a.y, b.y, c.y})) - e, top = double(std::max({a.y, b.y, c.y})) + e;
    if (std::isnan(a.x) || std::isnan(b.x) || std::isnan(c.x))
        return false;
    const stCentres columns(left, right, map.viewport[0], map.viewport[2]);
    const stCentres rows(bottom, top, map.viewport[1], map.viewport[3]);
    if (columns.Empty() || rows.Empty())
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
    return true;
}

void FindTrianglesCoveringNoPixel(const cMesh& mesh, const stWindowMap& map, std::vector<std::uint64_t>& bits)
{
    const std::uint32_t count = mesh.GetTriangleCount(), vertexCount = mesh.GetVertexCount();
    bits.assign((std::size_t(count) + 63) / 64, 0);
    if (count == 0 || vertexCount == 0)
        return;
    // Every vertex once, a block of them per job, each block with the
    // largest rounding of its corners; the pages are first touched there.
    std::unique_ptr<stCorner[]> corners(new stCorner[vertexCount]);
    std::vector<double> blockError((vertexCount + kVerticesPerJob - 1) / kVerticesPerJob, 0.0);
    auto block = [&](std::size_t b)
    {
        const std::size_t end = std::min<std::size_t>(vertexCount, (b + 1) * kVerticesPerJob);
        double error = 0.0;
        for (std::size_t i = b * kVerticesPerJob; i < end; ++i)
            corners[i] = ToWindow(map, mesh.GetVertex(std::uint32_t(i))->Position(), error);
        blockError[b] = error;
    };
    ParallelForEach(SharedThreadPool(), blockError.size(), 1, block);
    const double e = kSnap + kKept + *std::max_element(blockError.begin(), blockError.end());
    auto word = [&](std::size_t w)
    {
        std::uint64_t value = 0;
        const auto first = std::uint32_t(w * 64);
        const std::uint32_t last = std::min<std::uint32_t>(count, first + 64);
        for (std::uint32_t i = first; i < last; ++i)
        {
            const std::uint32_t* v = mesh.GetTriangle(i)->vertexIndex;
            if (v[0] < vertexCount && v[1] < vertexCount && v[2] < vertexCount &&
                CoversNoPixel(corners[v[0]], corners[v[1]], corners[v[2]], e, map))
                value |= std::uint64_t(1) << (i - first);
        }
        bits[w] = value;
    };
    ParallelForEach(SharedThreadPool(), bits.size(), kWordsPerJob, word);
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
    if (!m_valid || m_mesh != &mesh || m_triangles != mesh.GetTriangleCount() ||
        m_vertices != mesh.GetVertexCount() || !(m_map == map))
    {
        FindTrianglesCoveringNoPixel(mesh, map, m_bits);
        m_mesh = &mesh;
        m_triangles = mesh.GetTriangleCount();
        m_vertices = mesh.GetVertexCount();
        m_map = map;
        m_valid = true;
    }
    return m_bits;
}
