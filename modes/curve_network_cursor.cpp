#include "modes/curve_network_cursor.h"

#include "modes/mesh_sample_projection.h"
#include "modes/mode_geometry.h"
#include "modes/mode_support.h"

#include <algorithm>
#include <cmath>

namespace
{

// The screen image (depth 0) of a point of the curve's own coordinates.
void ToScreen(const ST_ISectionCurve& curve, const cVertex& local, const double m[12], const float c[3],
              float out[3])
{
    const t3DPoint<double> w = curve.LocalToWorld({local.x, local.y, local.z});
    const double d[3] = {w.x - c[0], w.y - c[1], w.z - c[2]};
    out[0] = static_cast<float>(m[0] * d[0] + m[1] * d[1] + m[2] * d[2] + m[3]);
    out[1] = static_cast<float>(m[4] * d[0] + m[5] * d[1] + m[6] * d[2] + m[7]);
    out[2] = 0.0f;
}

cVertex Nothing()
{
    cVertex none;
    none.x = FLT_MAX;
    none.flags = kPickedNothing;
    return none;
}

} // namespace

std::int32_t FindSegmentAtCursor(const ST_ISectionCurve& curve, float cursorX, float cursorY, const double view[12],
                                 const float centre[3])
{
    const tPolyline<cVertex>* nodes = curve.GetDefiningPoints();
    if (nodes == nullptr || nodes->GetVertexCount() < 2)
        return -1;
    const float cursor[3] = {cursorX, cursorY, 0.0f};
    std::int32_t best = -1;
    double bestDistance = 0.0;
    float a[3], b[3];
    ToScreen(curve, *nodes->GetVertex(0), view, centre, a);
    for (std::uint32_t i = 0; i + 1 < nodes->GetVertexCount(); ++i)
    {
        ToScreen(curve, *nodes->GetVertex(i + 1), view, centre, b);
        const double d = PointSegmentDistance3f(cursor, a, b);
        if (best < 0 || d < bestDistance)
        {
            best = static_cast<std::int32_t>(i);
            bestDistance = d;
        }
        std::copy(b, b + 3, a);
    }
    return best;
}

cVertex PointOnCurveAtCursor(const ST_ISectionCurve& curve, float cursorX, float cursorY, const double view[12],
                             const float centre[3], double tolerance)
{
    const ST_IWire* wire = curve.GetWire();
    if (wire == nullptr || !wire->IsValid() || !(tolerance > 0.0) || !std::isfinite(tolerance))
        return Nothing();
    tPolyline<cVertex> samples;
    wire->ToPolyline(samples, tolerance);
    const float cursor[3] = {cursorX, cursorY, 0.0f};
    double bestDistance = 0.0;
    double bestFraction = 0.0;
    std::int64_t best = -1;
    float a[3], b[3];
    for (std::uint32_t i = 0; i + 1 < samples.GetVertexCount(); ++i)
    {
        ToScreen(curve, *samples.GetVertex(i), view, centre, a);
        ToScreen(curve, *samples.GetVertex(i + 1), view, centre, b);
        if (a[0] == b[0] && a[1] == b[1])
            continue;
        float foot[3];
        double d = 0.0;
        const double t = ClosestPointOnSegment(cursor, a, b, foot, &d);
        if (best < 0 || d < bestDistance)
        {
            best = i;
            bestDistance = d;
            bestFraction = std::clamp(t, 0.0, 1.0);
        }
    }
    if (best < 0)
        return Nothing();
    const cVertex& p = *samples.GetVertex(static_cast<std::uint32_t>(best));
    const cVertex& q = *samples.GetVertex(static_cast<std::uint32_t>(best) + 1);
    const t3DPoint<double> wp = curve.LocalToWorld({p.x, p.y, p.z});
    const t3DPoint<double> wq = curve.LocalToWorld({q.x, q.y, q.z});
    cVertex point;
    point.x = static_cast<float>(wp.x + bestFraction * (wq.x - wp.x));
    point.y = static_cast<float>(wp.y + bestFraction * (wq.y - wp.y));
    point.z = static_cast<float>(wp.z + bestFraction * (wq.z - wp.z));
    return point;
}

cVertex MeshPointAtCursor(cMeshSampleProjector& projector, const cMesh* mesh, float cursorX, float cursorY,
                          const double view[12], const float centre[3])
{
    if (mesh == nullptr)
        return Nothing();
    return projector.PickUnderCursor(*mesh, cursorX, cursorY, view, centre);
}
