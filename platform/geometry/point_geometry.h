// A single point as document geometry (a point object of the host).
#pragma once

#include "platform/geometry/object.h"
#include "platform/geometry/point.h"

class ON_Point : public ON_Geometry
{
public:
    ON_3dPoint point;

    ON_Point() = default;
    explicit ON_Point(const ON_3dPoint& p) : point(p) {}

    static ON_Point* Cast(ON_Object* object) { return dynamic_cast<ON_Point*>(object); }
    static const ON_Point* Cast(const ON_Object* object) { return dynamic_cast<const ON_Point*>(object); }

    bool IsValid(ON_TextLog* text_log = nullptr) const override;
    ON_BoundingBox BoundingBox() const override;
    bool Transform(const ON_Xform& xform) override;
};
