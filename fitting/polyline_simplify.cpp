#include "fitting/polyline_simplify.h"

#include <cfloat>
#include <cmath>
#include <vector>

namespace
{

// Closing duplicates are recognised within this distance.
constexpr float kClosedTolerance = 1e-5f;
// Chords shorter than this give every point a height of 0.
constexpr double kShortChord = 1e-5;

double Distance(const cVertex& a, const cVertex& b)
{
    const double dx = static_cast<double>(a.x) - b.x;
    const double dy = static_cast<double>(a.y) - b.y;
    const double dz = static_cast<double>(a.z) - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double Distance(const cVertex& a, const double p[3])
{
    const double dx = a.x - p[0];
    const double dy = a.y - p[1];
    const double dz = a.z - p[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

std::vector<cVertex> TakePoints(tPolyline<cVertex>& polyline)
{
    std::vector<cVertex> points(polyline.vertices.begin(), polyline.vertices.end());
    polyline.Clear();
    return points;
}

// Whether every point strictly between a and m lies within the tolerance of
// the chord a-m (height by Heron's formula) while the chord is within the
// maximum length.
bool IsChordAcceptable(const std::vector<cVertex>& p, std::uint32_t a, std::uint32_t m, double tolerance,
                       double maxChord)
{
    const double c = Distance(p[m], p[a]);
    for (std::uint32_t j = a + 1; j < m; ++j)
    {
        if (c > maxChord)
            return false;
        const double u = Distance(p[j], p[a]);
        const double w = Distance(p[m], p[j]);
        const double s = (u + w + c) / 2.0;
        const double area = std::sqrt(std::fabs(s * (s - u) * (s - w) * (s - c)));
        const double height = std::fabs(c) <= kShortChord ? 0.0 : 2.0 * area / c;
        if (std::fabs(height) > tolerance)
            return false;
    }
    return true;
}

} // namespace

bool IsPolylineClosed(const tPolyline<cVertex>& polyline, float tolerance)
{
    if (polyline.IsEmpty())
        return false;
    const double limit = static_cast<double>(tolerance) * tolerance;
    const double d = Distance(*polyline.GetFirstVertex(), *polyline.GetLastVertex());
    return d * d < limit;
}

void SimplifyPolyline(tPolyline<cVertex>& polyline, float tolerance, double maxChord)
{
    const std::uint32_t n = polyline.GetVertexCount();
    if (n == 0)
        return;
    std::uint32_t last = n - 1;
    if (IsPolylineClosed(polyline, kClosedTolerance))
    {
        // The closing duplicate is left alone. A single point, or two
        // coincident ones, would leave no first-to-last span at all.
        if (last == 0)
            return;
        --last;
    }
    if (last < 2)
        return; // no point lies between the first and the last

    std::vector<cVertex> points = TakePoints(polyline);
    std::vector<std::uint8_t> kept(n, 1);
    for (std::uint32_t i = 1; i < last; ++i)
        kept[i] = 0;

    std::uint32_t anchor = 0;
    while (anchor + 1 < last)
    {
        // The chord to `last` itself is never probed, so the point before it
        // is always kept.
        std::uint32_t lo = anchor + 1;
        std::uint32_t hi = last;
        while (hi - lo > 1)
        {
            const std::uint32_t mid = (lo + hi) / 2;
            if (IsChordAcceptable(points, anchor, mid, tolerance, maxChord))
                lo = mid;
            else
                hi = mid;
        }
        kept[lo] = 1;
        anchor = lo;
    }

    for (std::uint32_t i = 0; i < n; ++i)
    {
        if (kept[i] == 0)
            continue;
        cVertex v = points[i];
        v.index = 0;
        polyline.AddVertex(v);
    }
}

void ResamplePolyline(tPolyline<cVertex>& polyline, float step)
{
    const std::uint32_t n = polyline.GetVertexCount();
    if (n < 3)
        return;
    const double length = polyline.GetLength();
    if (step >= FLT_EPSILON && length / step > kMaxResampledPoints)
        return;

    const std::vector<cVertex> points = TakePoints(polyline);
    polyline.AddVertex(points[0]);
    std::uint32_t made = 1;

    double carried = step;
    double direction[3] = {0.0, 0.0, 0.0};
    for (std::uint32_t i = 0; i + 1 < n; ++i)
    {
        double p[3] = {points[i].x, points[i].y, points[i].z};
        const cVertex& next = points[i + 1];
        const double v[3] = {next.x - p[0], next.y - p[1], next.z - p[2]};
        double segment = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        // A zero-length segment keeps the previous direction.
        if (std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]) >= FLT_EPSILON)
        {
            for (int k = 0; k < 3; ++k)
                direction[k] = v[k] / segment;
        }
        // The count bound also ends the walk where rounding stops p from
        // moving (steps far below the resolution of the coordinates).
        while (carried >= FLT_EPSILON && carried <= segment && made <= static_cast<std::uint32_t>(kMaxResampledPoints))
        {
            for (int k = 0; k < 3; ++k)
                p[k] += direction[k] * carried;
            polyline.AddPoint3d(p);
            ++made;
            carried = step;
            segment = Distance(next, p);
        }
        carried -= segment;
        if (carried < 0.0)
            carried = 0.0;
    }

    const cVertex& end = points[n - 1];
    if (Distance(end, *polyline.GetLastVertex()) < step / 2.0)
        *polyline.GetLastVertex() = end;
    else
        polyline.AddVertex(end);
}

void ResamplePolylineToCount(tPolyline<cVertex>& polyline, std::int32_t count)
{
    const std::uint32_t n = polyline.GetVertexCount();
    if (n == 0 || count < 2 || count > kMaxResampledPoints)
        return;
    const double step = polyline.GetLength() / (count - 1);
    const std::vector<cVertex> points = TakePoints(polyline);
    const std::uint32_t interiorEnd = static_cast<std::uint32_t>(count) - 1;

    polyline.AddVertex(points[0]);
    if (step > 0.0)
    {
        double remaining = step; // distance still to go to the next sample
        for (std::uint32_t i = 0; i + 1 < n && polyline.GetVertexCount() < interiorEnd; ++i)
        {
            const cVertex& a = points[i];
            const cVertex& b = points[i + 1];
            const double segment = Distance(b, a);
            if (segment < FLT_EPSILON)
                continue;
            double used = 0.0;
            while (polyline.GetVertexCount() < interiorEnd && used + remaining <= segment)
            {
                used += remaining;
                remaining = step;
                const double t = used / segment;
                cVertex v = a;
                v.x = static_cast<float>(a.x + (static_cast<double>(b.x) - a.x) * t);
                v.y = static_cast<float>(a.y + (static_cast<double>(b.y) - a.y) * t);
                v.z = static_cast<float>(a.z + (static_cast<double>(b.z) - a.z) * t);
                if (IsFloatUnset(v.x))
                    v.flags |= kVertexFlagExcluded;
                else
                    v.flags &= ~kVertexFlagExcluded;
                polyline.AddVertex(v);
            }
            remaining -= segment - used;
        }
    }
    polyline.AddVertex(points[n - 1]);
}
