#include "fitting/plane_frame_search.h"

#include "core/vector_math.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace
{

// Direction sectors of the star table.
constexpr int kSectors = 128;
// Below this many records every one is measured along every axis.
constexpr std::size_t kMeasureAllBelow = 8192;
// Records measured first, evenly spread, to seed the table.
constexpr std::size_t kSeedCount = 512;
// Rim points measured before the table is built again from the grown extents.
constexpr int kRebuildAfter = 512;

struct stAxisSet
{
    int pairCount;
    const double (*first)[3];
    const double (*second)[3];
};

// One record along every axis: the same expression, operand for operand, as
// every other measurement of a frame's extent, so the extents do not depend
// on which records were measured first.
inline void MeasureRecord(const stFitPoint& p, const double o[3], const stAxisSet& axes, double (*ranges)[4])
{
    const double x = double(p.position[0]) - o[0];
    const double y = double(p.position[1]) - o[1];
    const double z = double(p.position[2]) - o[2];
    for (int k = 0; k < axes.pairCount; ++k)
    {
        const double* a = axes.first[k];
        const double* b = axes.second[k];
        const double tA = (x * a[0] + y * a[1]) + z * a[2];
        const double tB = (x * b[0] + y * b[1]) + z * b[2];
        double* r = ranges[k];
        r[0] = tA < r[0] ? tA : r[0];
        r[1] = r[1] < tA ? tA : r[1];
        r[2] = tB < r[2] ? tB : r[2];
        r[3] = r[3] < tB ? tB : r[3];
    }
}

// The unit direction whose diamond angle is d.
void DiamondDirection(double d, double out[2])
{
    const int quadrant = std::min(3, int(d));
    const double f = d - quadrant;
    switch (quadrant)
    {
    case 0:
        out[0] = 1.0 - f, out[1] = f;
        break;
    case 1:
        out[0] = -f, out[1] = 1.0 - f;
        break;
    case 2:
        out[0] = f - 1.0, out[1] = -f;
        break;
    default:
        out[0] = f, out[1] = f - 1.0;
        break;
    }
    const double length = std::sqrt(out[0] * out[0] + out[1] * out[1]);
    out[0] /= length;
    out[1] /= length;
}

// The sector of (s, t) by its diamond angle, a monotone stand-in for the
// angle in [0, 4): |t| / (|s| + |t|) turned into each quadrant. Without
// branches on the signs, which random points would mispredict half the time.
inline int SectorOf(double s, double t)
{
    static constexpr double kBase[4] = {0.0, 2.0, 4.0, 2.0};
    static constexpr double kTurn[4] = {1.0, -1.0, -1.0, 1.0};
    const double as = std::fabs(s), at = std::fabs(t);
    const double f = at / (as + at);
    const int quadrant = int(s < 0.0) | (int(t < 0.0) << 1);
    const double d = kBase[quadrant] + kTurn[quadrant] * f;
    // The origin (0 / 0) and non-finite points fall into sector 0; they are
    // measured anyway or lie inside every sector's triangle.
    const double scaled = d == d ? d * (kSectors / 4.0) : 0.0;
    return std::min(kSectors - 1, std::max(0, int(scaled)));
}

// The polygon {q : d_j . q <= M_j for every half-plane j} of the extents
// found so far, and a star inside it: in each sector, the triangle of the
// origin and the polygon's rim where the sector's two edges cross it (the
// polygon is convex and holds the origin, so the triangle lies inside it).
// A point of the sector on the origin's side of that chord lies inside
// every half-plane by at least the margin the table was built with.
class cRimStar
{
public:
    // In-plane directions (along u and v) of both ends of every axis.
    cRimStar(const stAxisSet& axes, const double u[3], const double v[3])
    {
        for (int k = 0; k < axes.pairCount; ++k)
        {
            for (const double* a : {axes.first[k], axes.second[k]})
            {
                const double d[2] = {Dot3d(a, u), Dot3d(a, v)};
                m_directions.push_back({d[0], d[1]});
                m_directions.push_back({-d[0], -d[1]});
            }
        }
        for (int b = 0; b < kSectors; ++b)
            DiamondDirection(4.0 * b / kSectors, m_edges[b]);
        for (stChord& c : m_chords)
            c = stChord{};
    }

    // From the current extents, shrunk by margin: the half-plane of an axis
    // end is d . q <= its extent.
    void Build(const stAxisSet& axes, const double (*ranges)[4], double margin)
    {
        std::vector<double> bounds;
        bounds.reserve(m_directions.size());
        for (int k = 0; k < axes.pairCount; ++k)
        {
            bounds.push_back(ranges[k][1] - margin);
            bounds.push_back(-ranges[k][0] - margin);
            bounds.push_back(ranges[k][3] - margin);
            bounds.push_back(-ranges[k][2] - margin);
        }
        for (double b : bounds)
        {
            if (!(b > 0.0)) // the origin itself is on a rim (or a NaN): measure everything
            {
                for (stChord& c : m_chords)
                    c = stChord{};
                return;
            }
        }
        // Where each sector edge leaves the polygon.
        double reach[kSectors];
        for (int b = 0; b < kSectors; ++b)
        {
            const double* e = m_edges[b];
            double r = std::numeric_limits<double>::infinity();
            for (std::size_t j = 0; j < m_directions.size(); ++j)
            {
                const double* d = m_directions[j].data();
                const double along = d[0] * e[0] + d[1] * e[1];
                if (along > 0.0)
                    r = std::min(r, bounds[j] / along);
            }
            reach[b] = std::isfinite(r) ? r : 0.0;
        }
        for (int b = 0; b < kSectors; ++b)
        {
            const double* e0 = m_edges[b];
            const double* e1 = m_edges[(b + 1) % kSectors];
            const double p0[2] = {reach[b] * e0[0], reach[b] * e0[1]};
            const double p1[2] = {reach[(b + 1) % kSectors] * e1[0], reach[(b + 1) % kSectors] * e1[1]};
            // Outward normal of the chord p0 p1 (the sector turns
            // counter-clockwise from e0 to e1).
            stChord c{p1[1] - p0[1], p0[0] - p1[0], 0.0};
            c.limit = c.nx * p0[0] + c.ny * p0[1];
            // Rounding of the chord itself: keep a hair inside it.
            c.limit = c.limit > 0.0 ? c.limit * (1.0 - 1e-12) : 0.0;
            m_chords[b] = c;
        }
    }

    // Whether the in-plane point (s, t) of the given sector is inside the star.
    bool Holds(int sector, double s, double t) const
    {
        const stChord& c = m_chords[sector];
        return c.nx * s + c.ny * t < c.limit;
    }

private:
    struct stChord
    {
        double nx = 0.0, ny = 0.0, limit = 0.0;
    };
    std::vector<std::array<double, 2>> m_directions;
    double m_edges[kSectors][2];
    stChord m_chords[kSectors];
};

} // namespace

void MeasureFramePairsOnEveryPoint(const tFitPointQueue& points, const double origin[3], int pairCount,
                                   const double (*first)[3], const double (*second)[3], double (*ranges)[4])
{
    const stAxisSet axes{pairCount, first, second};
    for (int k = 0; k < pairCount; ++k)
        std::fill(ranges[k], ranges[k] + 4, 0.0);
    for (const stFitPoint& p : points)
        MeasureRecord(p, origin, axes, ranges);
}

void MeasureFramePairs(const tFitPointQueue& points, const double origin[3], const double normal[3], int pairCount,
                       const double (*first)[3], const double (*second)[3], double (*ranges)[4])
{
    if (points.size() < kMeasureAllBelow || pairCount == 0)
    {
        MeasureFramePairsOnEveryPoint(points, origin, pairCount, first, second, ranges);
        return;
    }
    const stAxisSet axes{pairCount, first, second};
    for (int k = 0; k < pairCount; ++k)
        std::fill(ranges[k], ranges[k] + 4, 0.0);
    // In-plane coordinates along the first frame.
    const double* u = first[0];
    const double* v = second[0];
    // How far an axis leans out of the plane: a point's height above it
    // moves its distances along the axes by at most that much times the
    // height.
    double lean = 0.0;
    for (int k = 0; k < pairCount; ++k)
        lean = std::max({lean, std::fabs(Dot3d(first[k], normal)), std::fabs(Dot3d(second[k], normal))});

    const std::size_t stride = points.size() / kSeedCount;
    for (std::size_t i = 0; i < points.size(); i += stride)
        MeasureRecord(points[i], origin, axes, ranges);

    cRimStar star(axes, u, v);
    double margin = 0.0;
    double reachable = 0.0;
    auto rebuild = [&] {
        double extent = 0.0;
        for (int k = 0; k < pairCount; ++k)
            extent = std::max({extent, ranges[k][1] - ranges[k][0], ranges[k][3] - ranges[k][2]});
        // Far above rounding, far below anything a frame shows.
        margin = 1e-9 * extent;
        reachable = margin / (lean + 1e-14);
        star.Build(axes, ranges, margin);
    };
    rebuild();
    int sinceBuild = 0;
    for (const stFitPoint& p : points)
    {
        const double x = double(p.position[0]) - origin[0];
        const double y = double(p.position[1]) - origin[1];
        const double z = double(p.position[2]) - origin[2];
        const double s = (x * u[0] + y * u[1]) + z * u[2];
        const double t = (x * v[0] + y * v[1]) + z * v[2];
        // The in-plane coordinates give a point's distance along any axis
        // up to the lean of the axis times the point's height above the
        // plane, and their rounding: both below (lean + 1e-14) |p - origin|,
        // which must stay within the margin.
        const double size = std::fabs(x) + std::fabs(y) + std::fabs(z);
        // One branch, taken for nearly every point.
        if ((size <= reachable) & star.Holds(SectorOf(s, t), s, t))
            continue;
        MeasureRecord(p, origin, axes, ranges);
        if (++sinceBuild >= kRebuildAfter)
        {
            rebuild();
            sinceBuild = 0;
        }
    }
}
