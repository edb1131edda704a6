// The object picker of the primitive panel's direction buttons, and the
// direction a picked object gives: the axis of a surface of revolution, the
// normal of a plane, or the direction of a line.
#pragma once

#include "platform/host/dezaz_get_object.h"

class ON_Geometry;

class CDzGetDirectoinObject : public CDezazGetObject
{
public:
    CDzGetDirectoinObject() = default;
    ~CDzGetDirectoinObject() override = default;

    // A brep of one face over a surface of revolution or a plane, or a line;
    // true also when no geometry is given.
    bool CustomGeometryFilter(const CDezazObject* object, const ON_Geometry* geometry) const override;
};

// The reference direction of a picked geometry: false (direction left
// unset) for anything the picker would refuse. isPlane tells that the
// direction is a plane's normal rather than a line or an axis.
bool ReferenceDirectionOf(const ON_Geometry* geometry, double direction[3], bool& isPlane);
