// The pick and the geometry of the "vtlTestTapered" command.
#pragma once

#include "platform/geometry/brep.h"
#include "platform/geometry/curve.h"
#include "platform/geometry/simple_array.h"
#include "platform/host/dezaz_get_object.h"

// Picks curves that lie in a plane within their document's tolerance.
class CDzGetClosedPlanarCurve : public CDezazGetObject
{
public:
    bool CustomGeometryFilter(const CDezazObject* object, const ON_Geometry* geometry) const override;
};

// The normal about which the curve turns anticlockwise (its length is twice
// the area the curve encloses); the zero vector for a straight curve.
ON_3dVector WindingNormal(const ON_Curve& curve);

// The host's tapered extrusion, through a pointer a test may redirect to
// watch the arguments the command passes.
using TaperedExtrudeService = bool (*)(const ON_Curve* curve, double height, const ON_3dVector& direction,
                                       const ON_3dPoint& base, double draft, int corner_type,
                                       ON_SimpleArray<ON_Brep*>& breps);
extern TaperedExtrudeService ExtrudeTapered;
