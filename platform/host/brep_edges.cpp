#include "platform/host/brep_edges.h"

#include "platform/geometry/line_curve.h"
#include "platform/geometry/polyline_curve.h"

#include <cmath>

namespace dezaz
{
namespace
{

// Points along a side of the parameter plane, enough to follow a curved
// surface closely.
constexpr int kSideSamples = 64;

void AddSide(const ON_Surface& surface, double s0, double t0, double s1, double t1,
             std::vector<std::shared_ptr<const ON_Curve>>& edges)
{
    ON_SimpleArray<ON_3dPoint> points;
    for (int i = 0; i <= kSideSamples; ++i)
    {
        const double f = static_cast<double>(i) / kSideSamples;
        const ON_3dPoint p = surface.PointAt(s0 + (s1 - s0) * f, t0 + (t1 - t0) * f);
        if (!p.IsValid())
            return;
        points.Append(p);
    }
    const ON_3dPoint a = points[0], b = points[kSideSamples];
    const ON_3dVector ab = b - a;
    const double length = ab.Length();
    if (!(length > 0.0))
        return; // a side collapsed to a point (a pole) is no edge
    bool straight = true;
    for (int i = 1; i < kSideSamples && straight; ++i)
        straight = ON_CrossProduct(points[i] - a, ab).Length() / length <= 1e-9 * (1.0 + length);
    if (straight)
        edges.push_back(std::make_shared<ON_LineCurve>(a, b));
    else
        edges.push_back(std::make_shared<ON_PolylineCurve>(points));
}

void AddFaceSides(const ON_Surface& surface, const ON_BrepFace* face,
                  std::vector<std::shared_ptr<const ON_Curve>>& edges)
{
    if (face && face->IsTrimmed())
    {
        for (const std::vector<ON_3dPoint>& loop : face->m_loops)
            for (std::size_t i = 0; i < loop.size(); ++i)
            {
                const ON_3dPoint& p = loop[i];
                const ON_3dPoint& q = loop[(i + 1) % loop.size()];
                AddSide(surface, p.x, p.y, q.x, q.y, edges);
            }
        return;
    }
    const ON_Interval s = surface.Domain(0), t = surface.Domain(1);
    AddSide(surface, s[0], t[0], s[1], t[0], edges);
    AddSide(surface, s[1], t[0], s[1], t[1], edges);
    AddSide(surface, s[1], t[1], s[0], t[1], edges);
    AddSide(surface, s[0], t[1], s[0], t[0], edges);
}

} // namespace

std::vector<std::shared_ptr<const ON_Curve>> BrepEdgeCurves(const ON_Brep& brep)
{
    std::vector<std::shared_ptr<const ON_Curve>> edges;
    for (int f = 0; f < brep.FaceCount(); ++f)
    {
        const ON_BrepFace* face = brep.Face(f);
        if (const ON_Surface* surface = face ? face->SurfaceOf() : nullptr)
            AddFaceSides(*surface, face, edges);
    }
    return edges;
}

std::vector<std::shared_ptr<const ON_Curve>> SurfaceEdgeCurves(const ON_Surface& surface)
{
    std::vector<std::shared_ptr<const ON_Curve>> edges;
    AddFaceSides(surface, nullptr, edges);
    return edges;
}

std::shared_ptr<const ON_Curve> NearestEdge(const std::vector<std::shared_ptr<const ON_Curve>>& edges,
                                            const ON_3dPoint& point)
{
    std::shared_ptr<const ON_Curve> nearest;
    double best = 0.0;
    for (const std::shared_ptr<const ON_Curve>& edge : edges)
    {
        double t = 0.0;
        if (!edge->GetClosestPoint(point, &t))
            continue;
        const double d = edge->PointAt(t).DistanceTo(point);
        if (std::isfinite(d) && (!nearest || d < best))
        {
            nearest = edge;
            best = d;
        }
    }
    return nearest;
}

} // namespace dezaz
