#include "fitting/plane_frame_search.h"

#include "core/vector_math.h"
#include "fitting/plane_candidate_sums.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace
{

// Direction sectors of the star table.
constexpr int kSectors = 64;
// Below this many records every one is measured along every axis.
constexpr std::size_t kMeasureAllBelow = 8192;
// Records measured first, evenly spread, to seed the table.
constexpr std::size_t kSeedCount = 512;
// Rim points measured before the table is built again from the grown extents.
constexpr int kRebuildAfter = 512;
// Or after this many records reached the table since it was built, when at
// least kRebuildAfterSome of them were measured: a rectangle grown from a
// few rim points spares the table thousands of look-ups.
constexpr int kRebuildAfterLookUps = 2048;
constexpr int kRebuildAfterSome = 16;
// The inner rectangle is tried along the tightest frame and turned by up to
// this many steps of a tenth of a degree either way: every kBoxFineSteps-th
// turn first, then every turn near the best of those.
constexpr int kBoxTurns = 15;
constexpr int kBoxFineSteps = 5;
constexpr double kBoxTurnStep = 0.1 * 0.017453292519943295;

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

// The extents of every axis pair as MeasureRecord keeps them, the first and
// second axis of a pair in the two lanes of one instruction: each lane
// computes MeasureRecord's expression, so the extents are the same bits.
class cPairedExtents
{
public:
    explicit cPairedExtents(const stAxisSet& axes)
        : m_count(axes.pairCount), m_x(m_count), m_y(m_count), m_z(m_count), m_low(m_count), m_high(m_count)
    {
        for (int k = 0; k < m_count; ++k)
        {
            m_x[k] = tPair{axes.first[k][0], axes.second[k][0]};
            m_y[k] = tPair{axes.first[k][1], axes.second[k][1]};
            m_z[k] = tPair{axes.first[k][2], axes.second[k][2]};
        }
    }

    void Measure(const stFitPoint& p, const double o[3])
    {
        const double x = double(p.position[0]) - o[0];
        const double y = double(p.position[1]) - o[1];
        const double z = double(p.position[2]) - o[2];
        const tPair xx = {x, x}, yy = {y, y}, zz = {z, z};
        for (int k = 0; k < m_count; ++k)
        {
            const tPair t = (xx * m_x[k] + yy * m_y[k]) + zz * m_z[k];
            // Lane by lane t where it is beyond the bound, else the bound
            // (also for a NaN t).
            m_low[k] = t < m_low[k] ? t : m_low[k];
            m_high[k] = m_high[k] < t ? t : m_high[k];
        }
    }

    // {lowest, highest along first, lowest, highest along second} per pair.
    void CopyTo(double (*ranges)[4]) const
    {
        for (int k = 0; k < m_count; ++k)
        {
            ranges[k][0] = m_low[k][0];
            ranges[k][1] = m_high[k][0];
            ranges[k][2] = m_low[k][1];
            ranges[k][3] = m_high[k][1];
        }
    }

private:
    typedef double tPair __attribute__((vector_size(16)));

    int m_count;
    std::vector<tPair> m_x, m_y, m_z, m_low, m_high; // the extents start at 0
};

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
        std::vector<double>& bounds = m_bounds;
        bounds.clear();
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
                for (auto& corner : m_corners)
                    corner = {0.0, 0.0};
                bounds.clear();
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
            m_corners[b] = {p0[0], p0[1]};
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

    // The star's corners (along u and v), on the rim of the polygon.
    const std::array<double, 2>* Corners() const { return m_corners; }

    // The largest scale up to 1 at which the polygon itself (shrunk by the
    // margin) holds the point scale (s, t); 0 when it holds nothing.
    double PolygonScale(double s, double t) const
    {
        if (m_bounds.empty())
            return 0.0;
        double scale = 1.0;
        for (std::size_t j = 0; j < m_directions.size(); ++j)
        {
            const double along = m_directions[j][0] * s + m_directions[j][1] * t;
            if (along > 0.0)
                scale = std::min(scale, m_bounds[j] / along);
        }
        return scale;
    }

private:
    struct stChord
    {
        double nx = 0.0, ny = 0.0, limit = 0.0;
    };
    std::vector<std::array<double, 2>> m_directions;
    std::vector<double> m_bounds; // of the directions; empty when the polygon holds nothing
    double m_edges[kSectors][2];
    stChord m_chords[kSectors];
    std::array<double, 2> m_corners[kSectors] = {};
};

// A rectangle inside the polygon (shrunk by the margin), along the turned
// frame whose extents are the tightest or turned a little from it, so that
// most points are settled by four comparisons instead of a sector look-up.
// The polygon is convex and holds the origin: a rectangle whose four corners
// it holds lies inside it, and so does that rectangle shrunk towards the
// origin.
class cInnerBox
{
public:
    // Empty (holding nothing) when no corner of any shrunk rectangle is held.
    void Fit(const stAxisSet& axes, const double (*ranges)[4], const double u[3], const double v[3],
             const cRimStar& star)
    {
        m_low[0] = m_low[1] = m_high[0] = m_high[1] = 0.0;
        int best = -1;
        double bestArea = std::numeric_limits<double>::infinity();
        for (int k = 0; k < axes.pairCount; ++k)
        {
            const double area = (ranges[k][1] - ranges[k][0]) * (ranges[k][3] - ranges[k][2]);
            if (area < bestArea)
            {
                bestArea = area;
                best = k;
            }
        }
        if (best < 0)
            return;
        // The region's own sides lie up to half a step of the turned frames
        // off the tightest frame, and a rectangle along that frame must
        // shrink until its corners clear them: rectangles turned a little
        // either way are tried too, and the largest one held is kept.
        const double* a = axes.first[best];
        const double* b = axes.second[best];
        double largest = 0.0;
        double bestAngle = 0.0;
        auto tryTurn = [&](double angle) {
            const double c = std::cos(angle), s = std::sin(angle);
            double first[3], second[3];
            for (int k = 0; k < 3; ++k)
            {
                first[k] = c * a[k] + s * b[k];
                second[k] = c * b[k] - s * a[k];
            }
            double low[2] = {0.0, 0.0}, high[2] = {0.0, 0.0};
            const double area = Held(first, second, u, v, star, low, high);
            if (area > largest)
            {
                largest = area;
                bestAngle = angle;
                for (int k = 0; k < 3; ++k)
                {
                    m_first[k] = first[k];
                    m_second[k] = second[k];
                }
                m_low[0] = low[0], m_high[0] = high[0];
                m_low[1] = low[1], m_high[1] = high[1];
            }
        };
        // Coarse turns first, then fine ones about the best of them.
        for (int turn = -kBoxTurns; turn <= kBoxTurns; turn += kBoxFineSteps)
            tryTurn(turn * kBoxTurnStep);
        const double coarse = bestAngle;
        for (int turn = 1 - kBoxFineSteps; turn < kBoxFineSteps; ++turn)
        {
            if (turn != 0)
                tryTurn(coarse + turn * kBoxTurnStep);
        }
    }

    double m_first[3] = {0.0, 0.0, 0.0};
    double m_second[3] = {0.0, 0.0, 0.0};
    double m_low[2] = {0.0, 0.0};
    double m_high[2] = {0.0, 0.0};

private:
    // The rectangle along a and b (in the plane) around the star's corners,
    // shrunk towards the origin until the polygon holds its corners; its
    // area, 0 when nothing is held.
    static double Held(const double a[3], const double b[3], const double u[3], const double v[3], const cRimStar& star,
                       double low[2], double high[2])
    {
        // The star's coordinates (along u and v) of the point at (p, q) along a and b.
        const double au = Dot3d(a, u), av = Dot3d(a, v), bu = Dot3d(b, u), bv = Dot3d(b, v);
        double r[4] = {0.0, 0.0, 0.0, 0.0};
        const std::array<double, 2>* corners = star.Corners();
        for (int i = 0; i < kSectors; ++i)
        {
            // a and b are orthonormal in the plane: the star's coordinates
            // turn back into distances along them.
            const double p = corners[i][0] * au + corners[i][1] * av;
            const double q = corners[i][0] * bu + corners[i][1] * bv;
            r[0] = std::min(r[0], p), r[1] = std::max(r[1], p);
            r[2] = std::min(r[2], q), r[3] = std::max(r[3], q);
        }
        // The polygon is convex: it holds the rectangle when it holds its
        // corners, and it holds the origin, towards which the rectangle
        // shrinks.
        double held = 1.0;
        for (double p : {r[0], r[1]})
        {
            for (double q : {r[2], r[3]})
                held = std::min(held, star.PolygonScale(p * au + q * bu, p * av + q * bv));
        }
        // A hair further in, for the rounding of a point's own coordinates.
        held *= 1.0 - 1e-9;
        if (!(held > 0.0))
            return 0.0;
        low[0] = r[0] * held, high[0] = r[1] * held;
        low[1] = r[2] * held, high[1] = r[3] * held;
        return (high[0] - low[0]) * (high[1] - low[1]);
    }
};

// The rectangle's test of four records at once, in float: four lanes per
// instruction where double gives two. Float rounding moves a record's
// distances by far more than double's, so the rectangle is shrunk by a bound
// on that error; a record the float test holds is one the test in double
// would hold, and a record near the rectangle's rim goes to the exact test.
class cQuadBox
{
public:
    // From the rectangle of the moment about origin; records whose distance
    // from the origin (the sum of the coordinates' magnitudes) may exceed
    // reachable are never held.
    void Load(const cInnerBox& box, const double origin[3], double reachable)
    {
        Load(box, origin, reachable, std::numeric_limits<double>::infinity());
    }
    // The same, holding no record beyond sizeCap either.
    void Load(const cInnerBox& box, const double origin[3], double reachable, double sizeCap)
    {
        // Records held lie in the rectangle and, unless they stand far off
        // the plane, within this size; the bound on the float error grows
        // with it.
        const double across = std::max(std::fabs(box.m_low[0]), std::fabs(box.m_high[0])) +
                              std::max(std::fabs(box.m_low[1]), std::fabs(box.m_high[1]));
        const double size = std::min({3.0 * across, 0.5 * reachable, sizeCap});
        const double originSize = std::fabs(origin[0]) + std::fabs(origin[1]) + std::fabs(origin[2]);
        // The float origin, the float difference, the float axes and the
        // three float products and two sums each add at most 2^-24 of what
        // they round; eight times that of the record's and the origin's
        // sizes covers all of them with room to spare.
        const double error = 0x1p-21 * (size + originSize);
        for (int k = 0; k < 3; ++k)
        {
            m_origin[k] = Quad(float(origin[k]));
            m_first[k] = Quad(float(box.m_first[k]));
            m_second[k] = Quad(float(box.m_second[k]));
        }
        m_low[0] = Quad(FloatAbove(box.m_low[0] + error));
        m_high[0] = Quad(FloatBelow(box.m_high[0] - error));
        m_low[1] = Quad(FloatAbove(box.m_low[1] + error));
        m_high[1] = Quad(FloatBelow(box.m_high[1] - error));
        m_size = Quad(FloatBelow(size));
    }

    // Bit j set when the rectangle holds the j-th of the four records.
    int Held(const stFitPoint& a, const stFitPoint& b, const stFitPoint& c, const stFitPoint& d) const
    {
        tQuad x, y, z;
        Transpose(a, b, c, d, x, y, z);
        x -= m_origin[0];
        y -= m_origin[1];
        z -= m_origin[2];
        const tQuad p = (x * m_first[0] + y * m_first[1]) + z * m_first[2];
        const tQuad q = (x * m_second[0] + y * m_second[1]) + z * m_second[2];
        const tQuad size = (Abs(x) + Abs(y)) + Abs(z);
        const tQuadMask held = (size <= m_size) & (p > m_low[0]) & (p < m_high[0]) & (q > m_low[1]) & (q < m_high[1]);
#if defined(__SSE__)
        return _mm_movemask_ps(reinterpret_cast<__m128>(held));
#else
        return int(held[0] & 1) | int(held[1] & 2) | int(held[2] & 4) | int(held[3] & 8);
#endif
    }

private:
    typedef float tQuad __attribute__((vector_size(16)));
    typedef std::int32_t tQuadMask __attribute__((vector_size(16)));

    static tQuad Quad(float value) { return tQuad{value, value, value, value}; }
    static tQuad Abs(tQuad value)
    {
        return reinterpret_cast<tQuad>(reinterpret_cast<tQuadMask>(value) & (tQuadMask{} + INT32_MAX));
    }
    // The nearest float on the inner side of a bound (a NaN stays one, and
    // holds nothing).
    static float FloatAbove(double value)
    {
        float f = float(value);
        if (double(f) < value)
            f = std::nextafter(f, std::numeric_limits<float>::infinity());
        return f;
    }
    static float FloatBelow(double value)
    {
        float f = float(value);
        if (double(f) > value)
            f = std::nextafter(f, -std::numeric_limits<float>::infinity());
        return f;
    }
    // The positions of four records as x, y and z across them.
    static void Transpose(const stFitPoint& a, const stFitPoint& b, const stFitPoint& c, const stFitPoint& d, tQuad& x,
                          tQuad& y, tQuad& z)
    {
#if defined(__SSE__)
        // A record's first four floats are its position and the first
        // normal component.
        static_assert(offsetof(stFitPoint, normal) == offsetof(stFitPoint, position) + 3 * sizeof(float));
        __m128 ra = _mm_loadu_ps(a.position), rb = _mm_loadu_ps(b.position);
        __m128 rc = _mm_loadu_ps(c.position), rd = _mm_loadu_ps(d.position);
        _MM_TRANSPOSE4_PS(ra, rb, rc, rd);
        x = reinterpret_cast<tQuad>(ra);
        y = reinterpret_cast<tQuad>(rb);
        z = reinterpret_cast<tQuad>(rc);
#else
        x = tQuad{a.position[0], b.position[0], c.position[0], d.position[0]};
        y = tQuad{a.position[1], b.position[1], c.position[1], d.position[1]};
        z = tQuad{a.position[2], b.position[2], c.position[2], d.position[2]};
#endif
    }

    tQuad m_origin[3], m_first[3], m_second[3], m_low[2], m_high[2], m_size;
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

namespace
{

// The search over at least kMeasureAllBelow records, handing every record to
// visit in order on the same read. A record is kept back only when it lies
// clearance inside every extent found so far and within sizeCap of the
// origin; every record measured along the axes is added to rim when given.
template <class Visit>
void SearchRim(const tFitPointQueue& points, const double origin[3], const double normal[3], const stAxisSet& axes,
               double (*ranges)[4], double clearance, double sizeCap, std::vector<const stFitPoint*>* rim,
               Visit&& visit)
{
    const int pairCount = axes.pairCount;
    const double(*first)[3] = axes.first;
    const double(*second)[3] = axes.second;
    // In-plane coordinates along the first frame.
    const double* u = first[0];
    const double* v = second[0];
    // How far an axis leans out of the plane: a point's height above it
    // moves its distances along the axes by at most that much times the
    // height.
    double lean = 0.0;
    for (int k = 0; k < pairCount; ++k)
        lean = std::max({lean, std::fabs(Dot3d(first[k], normal)), std::fabs(Dot3d(second[k], normal))});

    cPairedExtents extents(axes);
    const std::size_t stride = points.size() / kSeedCount;
    for (std::size_t i = 0; i < points.size(); i += stride)
    {
        extents.Measure(points[i], origin);
        if (rim)
            rim->push_back(&points[i]);
    }

    cRimStar star(axes, u, v);
    cInnerBox box;
    cQuadBox quadBox;
    double margin = 0.0;
    double reachable = 0.0;
    auto rebuild = [&] {
        extents.CopyTo(ranges);
        double extent = 0.0;
        for (int k = 0; k < pairCount; ++k)
            extent = std::max({extent, ranges[k][1] - ranges[k][0], ranges[k][3] - ranges[k][2]});
        // Far above rounding, far below anything a frame shows.
        margin = 1e-9 * extent;
        reachable = margin / (lean + 1e-14);
        star.Build(axes, ranges, margin + clearance);
        box.Fit(axes, ranges, u, v, star);
        quadBox.Load(box, origin, reachable, sizeCap);
    };
    rebuild();
    int sinceBuild = 0;
    int lookUps = 0;
    // A point outside the rectangle: the star's test, or measured along
    // every axis.
    auto settle = [&](const stFitPoint& p) {
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
        ++lookUps;
        if ((size <= reachable) & (size <= sizeCap) & star.Holds(SectorOf(s, t), s, t))
            return;
        extents.Measure(p, origin);
        if (rim)
            rim->push_back(&p);
        if (++sinceBuild >= kRebuildAfter || (lookUps >= kRebuildAfterLookUps && sinceBuild >= kRebuildAfterSome))
        {
            rebuild();
            sinceBuild = 0;
            lookUps = 0;
        }
    };
    // Four records at a time through the rectangle, in float (as the star's
    // test, with the size bound); any one outside it is settled on its own,
    // in turn. A record held by the rectangle of the moment cannot raise an
    // extent, and the extents only grow: a rebuild for one of the four leaves
    // the others' tests sound.
    auto it = points.begin();
    const auto end = points.end();
    const std::size_t quads = points.size() / 4;
    for (std::size_t i = 0; i < quads; ++i)
    {
        const stFitPoint& a = *it++;
        const stFitPoint& b = *it++;
        const stFitPoint& c = *it++;
        const stFitPoint& d = *it++;
        visit(a);
        visit(b);
        visit(c);
        visit(d);
        const int held = quadBox.Held(a, b, c, d);
        // One branch, taken for nearly every four.
        if (held == 0xF)
            continue;
        if ((held & 1) == 0)
            settle(a);
        if ((held & 2) == 0)
            settle(b);
        if ((held & 4) == 0)
            settle(c);
        if ((held & 8) == 0)
            settle(d);
    }
    for (; it != end; ++it)
    {
        visit(*it);
        settle(*it);
    }
    extents.CopyTo(ranges);
}

} // namespace

void MeasureFramePairs(const tFitPointQueue& points, const double origin[3], const double normal[3], int pairCount,
                       const double (*first)[3], const double (*second)[3], double (*ranges)[4])
{
    if (points.size() < kMeasureAllBelow || pairCount == 0)
    {
        MeasureFramePairsOnEveryPoint(points, origin, pairCount, first, second, ranges);
        return;
    }
    const stAxisSet axes{pairCount, first, second};
    SearchRim(points, origin, normal, axes, ranges, 0.0, std::numeric_limits<double>::infinity(), nullptr,
              [](const stFitPoint&) {});
}

bool MeasureFramePairsWithSums(const tFitPointQueue& points, const double origin[3], const double normal[3],
                               int pairCount, const double (*first)[3], const double (*second)[3], double (*ranges)[4],
                               double clearance, double sizeCap, cCandidateSums& sums,
                               std::vector<const stFitPoint*>& rim)
{
    if (points.size() < kMeasureAllBelow || pairCount == 0)
        return false;
    rim.clear();
    const stAxisSet axes{pairCount, first, second};
    // Summed in a local, which the compiler keeps in registers.
    cCandidateSums local = sums;
    SearchRim(points, origin, normal, axes, ranges, clearance, sizeCap, &rim,
              [&local](const stFitPoint& p) { local.Add<true>(p); });
    sums = local;
    return true;
}

bool MeasureNearFrames(const tFitPointQueue& points, const std::vector<const stFitPoint*>& rim,
                       const double origin[3], int pairCount, const double (*first)[3], const double (*second)[3],
                       const double (*ranges)[4], double clearance, double sizeCap, const double otherOrigin[3],
                       const double otherNormal[3], const double (*otherFirst)[3], const double (*otherSecond)[3],
                       double (*otherRanges)[4])
{
    const stAxisSet other{pairCount, otherFirst, otherSecond};
    cPairedExtents extents(other);
    for (const stFitPoint* p : rim)
        extents.Measure(*p, otherOrigin);
    extents.CopyTo(otherRanges);
    // A record kept back lies clearance inside every extent of the search's
    // frames and within the size cap of its origin (as a sum of magnitudes,
    // which the float test may exceed by a hair). Along a nearby axis about
    // another origin its distance moves by at most its distance from the
    // origin times how far the axes part, plus how far the origins part, plus
    // the rounding of either distance: where every extent along the other
    // axes reaches past that, no record kept back can have set it.
    const double originSize = std::fabs(origin[0]) + std::fabs(origin[1]) + std::fabs(origin[2]);
    const double otherSize = std::fabs(otherOrigin[0]) + std::fabs(otherOrigin[1]) + std::fabs(otherOrigin[2]);
    const double reach = 1.01 * sizeCap + 1e-6 * originSize;
    const double shift[3] = {otherOrigin[0] - origin[0], otherOrigin[1] - origin[1], otherOrigin[2] - origin[2]};
    const double rounding = 1e-12 * (reach + originSize + otherSize);
    const double moved = std::sqrt(Dot3d(shift, shift)) + rounding;
    auto parting = [](const double a[3], const double b[3]) {
        const double d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        return std::sqrt(Dot3d(d, d));
    };
    for (int k = 0; k < pairCount; ++k)
    {
        const double slackFirst = reach * parting(first[k], otherFirst[k]) + moved - clearance;
        const double slackSecond = reach * parting(second[k], otherSecond[k]) + moved - clearance;
        const bool reached =
            otherRanges[k][1] >= ranges[k][1] + slackFirst && otherRanges[k][0] <= ranges[k][0] - slackFirst &&
            otherRanges[k][3] >= ranges[k][3] + slackSecond && otherRanges[k][2] <= ranges[k][2] - slackSecond;
        if (!reached)
        {
            MeasureFramePairs(points, otherOrigin, otherNormal, pairCount, otherFirst, otherSecond, otherRanges);
            return false;
        }
    }
    return true;
}
