#include "fitting/section_geometry.h"

#include <cmath>
#include <utility>

#include "core/frame_math.h"
#include "core/intersections.h"

cVertex* AppendVertexInFrame(tFramePolyline<cVertex>& polyline, const cVertex& vertex)
{
    cVertex mapped{};
    TransformPoint3f(polyline.frame, mapped.Position(), vertex.Position());
    return polyline.AddVertex(mapped);
}

double PointSegmentDistance(const double point[3], const cVertex& a, const cVertex& b)
{
    const double s[3] = {static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y,
                         static_cast<double>(b.z) - a.z};
    const double pa[3] = {point[0] - a.x, point[1] - a.y, point[2] - a.z};
    const double lengthSquared = Dot3d(s, s);
    // The threshold is the single-precision constant widened to double.
    if (!(lengthSquared > static_cast<double>(1e-6f)))
        return std::sqrt(Dot3d(pa, pa));
    const double t = Dot3d(pa, s) / lengthSquared;
    if (t <= 0.0)
        return std::sqrt(Dot3d(pa, pa));
    if (t > 1.0)
    {
        const double pb[3] = {point[0] - b.x, point[1] - b.y, point[2] - b.z};
        return std::sqrt(Dot3d(pb, pb));
    }
    const double e[3] = {pa[0] - t * s[0], pa[1] - t * s[1], pa[2] - t * s[2]};
    return std::sqrt(Dot3d(e, e));
}

int IntersectLineCircle2D(const double p0[2], const double p1[2], const float centre[3], double radius,
                          double first[3], double second[3])
{
    const double a[3] = {p0[0], p0[1], 0.0};
    const double b[3] = {p1[0], p1[1], 0.0};
    const double c[3] = {centre[0], centre[1], centre[2]};
    return IntersectLineCircle2d(a, b, c, radius, first, second);
}

void SwapPolylineVertices(tPolyline<cVertex>& polyline, std::uint32_t i, std::uint32_t j)
{
    std::swap(polyline.vertices[i], polyline.vertices[j]);
}
