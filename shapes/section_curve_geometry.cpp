#include "shapes/section_curve_geometry.h"

#include "core/intersections.h"
#include "core/section_curve.h"

#include <algorithm>

#include <cfloat>
#include <cmath>

double CircumradiusOf3Points(const double a[3], const double b[3], const double c[3], double centre[3])
{
    if (!TriangleCircumcentre(a, b, c, centre))
        return -FLT_MAX;
    const double d[3] = {c[0] - centre[0], c[1] - centre[1], c[2] - centre[2]};
    return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

double PointSegmentParameter(const float p[3], const float a[3], const float b[3], double* distance)
{
    const double d[3] = {static_cast<double>(b[0]) - a[0], static_cast<double>(b[1]) - a[1],
                         static_cast<double>(b[2]) - a[2]};
    const double ap[3] = {static_cast<double>(p[0]) - a[0], static_cast<double>(p[1]) - a[1],
                          static_cast<double>(p[2]) - a[2]};
    const double length2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    const auto norm = [](const double v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); };
    double t = 0.0;
    double dist;
    if (length2 <= static_cast<double>(1.0e-6f))
        dist = norm(ap);
    else
    {
        t = (d[0] * ap[0] + d[1] * ap[1] + d[2] * ap[2]) / length2;
        if (t <= 0.0)
            dist = norm(ap);
        else if (t > 1.0)
            dist = std::sqrt(SquaredDistance3f(p, b));
        else
        {
            const double off[3] = {ap[0] - t * d[0], ap[1] - t * d[1], ap[2] - t * d[2]};
            dist = norm(off);
        }
    }
    if (distance)
        *distance = dist;
    return t;
}

double PointSegmentDistance3f(const float p[3], const float a[3], const float b[3])
{
    double distance = 0.0;
    PointSegmentParameter(p, a, b, &distance);
    return distance;
}

double SquaredDistance3f(const float a[3], const float b[3])
{
    const float dx = a[0] - b[0];
    const float dy = a[1] - b[1];
    const float dz = a[2] - b[2];
    return static_cast<double>(dx) * dx + static_cast<double>(dy) * dy + static_cast<double>(dz) * dz;
}

void AssignFlaggedPoint3f(cVertex& vertex, const float p[3])
{
    vertex.x = p[0];
    vertex.y = p[1];
    vertex.z = p[2];
    if (std::fabs(p[0] - FLT_MAX) < FLT_EPSILON)
        vertex.flags |= kVertexUnsetBit;
    else
        vertex.flags &= ~kVertexUnsetBit;
}

double FindNearestVertex(const tPolyline<cVertex>& polyline, const float p[3], std::int32_t* index)
{
    double best = DBL_MAX;
    std::int32_t found = -1;
    std::int32_t i = 0;
    for (const cVertex& v : polyline.vertices)
    {
        const double dx = static_cast<double>(v.x) - p[0];
        const double dy = static_cast<double>(v.y) - p[1];
        const double dz = static_cast<double>(v.z) - p[2];
        const double d2 = dx * dx + dy * dy + dz * dz;
        if (d2 < best)
        {
            best = d2;
            found = i;
        }
        ++i;
    }
    if (index)
        *index = found;
    return found < 0 ? FLT_MAX : std::sqrt(best);
}

t3DPoint<double> FlattenedPoint(const double p[3])
{
    return {p[0], p[1], 0.0};
}

t3DPoint<double> FlattenedPoint(const cVertex& v)
{
    return {v.x, v.y, 0.0};
}

bool EvaluateWireInWorld(const ST_ISectionCurve& curve, double fraction, t3DPoint<double>* point,
                         t3DPoint<double>* tangent)
{
    const ST_IWire* wire = curve.GetWire();
    t3DPoint<double> p, t;
    if (wire == nullptr || !wire->EvaluateAtFraction(fraction, &p, &t))
    {
        if (point)
            *point = p;
        if (tangent)
            *tangent = t;
        return false;
    }
    if (point)
        *point = curve.LocalToWorld(p);
    if (tangent)
        *tangent = curve.LocalToWorldDirection(t);
    return true;
}

void MakeSingleSection(const double frame[12], const tPolyline<cVertex>& polyline,
                       tPolylineCollection<tFramePolyline<cVertex>>& out)
{
    out.Clear();
    tFramePolyline<cVertex>& section = *out.Add(tFramePolyline<cVertex>());
    section.CopyFromPolyline(polyline);
    std::copy(frame, frame + 12, section.frame);
    section.userData = 1;
}
