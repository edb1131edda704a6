#include "modes/network_drawn_curve.h"

#include <algorithm>
#include <cmath>

namespace
{

// The drawn curve refitted in its own frame through the points; false when
// fewer than two are given or the fit fails.
bool Refit(ST_ISectionCurve& drawn, const tPolyline<cVertex>& points)
{
    if (points.GetVertexCount() < 2)
        return false;
    double frame[12];
    std::copy(drawn.frame, drawn.frame + 12, frame);
    return drawn.FitToPolyline(frame, points, 0.0, 0);
}

tPolyline<cVertex> PointsOf(const ST_ISectionCurve& drawn)
{
    const tPolyline<cVertex>* points = drawn.GetDefiningPoints();
    return points != nullptr ? tPolyline<cVertex>(*points) : tPolyline<cVertex>();
}

} // namespace

bool RemoveLastDrawnPoint(std::unique_ptr<ST_ISectionCurve>& drawn)
{
    if (!drawn)
        return false;
    tPolyline<cVertex> points = PointsOf(*drawn);
    if (!points.IsEmpty())
        points.RemoveVertexAt(points.GetVertexCount() - 1);
    if (!Refit(*drawn, points))
    {
        drawn.reset();
        return false;
    }
    return true;
}

ST_ISectionCurve* FinishDrawnCurve(ST_IProfiledSurface& surface, std::unique_ptr<ST_ISectionCurve>& drawn,
                                   const float viewDirection[3], double nearLimit, const stSubSampling& subSampling,
                                   const cMesh* mesh, cMeshSampleProjector& projector, double tangencyAngle)
{
    if (!drawn)
        return nullptr;
    tPolyline<cVertex> points = PointsOf(*drawn);
    if (!points.IsEmpty())
        points.RemoveVertexAt(points.GetVertexCount() - 1);
    const std::uint32_t n = points.GetVertexCount();
    if (nearLimit > 0.0 && n >= 2 &&
        PointDistance(points.GetVertex(n - 1)->Position(), points.GetVertex(n - 2)->Position()) < nearLimit)
        points.RemoveVertexAt(n - 1);
    if (points.GetVertexCount() < 2)
    {
        drawn.reset();
        return nullptr;
    }
    cVertex& last = *points.GetLastVertex();
    std::copy(viewDirection, viewDirection + 3, last.Normal());
    last.flags |= kNetworkNodeFixed;
    if (!Refit(*drawn, points))
    {
        drawn.reset();
        return nullptr;
    }
    return CommitDrawnCurve(surface, drawn, subSampling, mesh, projector, tangencyAngle);
}
