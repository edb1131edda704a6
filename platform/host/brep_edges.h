// The edges of a brep as the host's pickers see them: the sides of every
// face, each an edge curve of its own (a side two faces share is there
// twice). An untrimmed face has the four sides of its surface's domain, a
// trimmed face the sides of its trimming loops. A side that runs straight
// in space is a line; any other is the polyline through points along it.
#pragma once

#include "platform/geometry/brep.h"
#include "platform/geometry/curve.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/surface.h"

#include <memory>
#include <vector>

namespace dezaz
{

std::vector<std::shared_ptr<const ON_Curve>> BrepEdgeCurves(const ON_Brep& brep);
// The sides of one surface's domain (a bare surface as a one-face brep).
std::vector<std::shared_ptr<const ON_Curve>> SurfaceEdgeCurves(const ON_Surface& surface);

// The edge nearest to the point; null when there is none.
std::shared_ptr<const ON_Curve> NearestEdge(const std::vector<std::shared_ptr<const ON_Curve>>& edges,
                                            const ON_3dPoint& point);

} // namespace dezaz
