#include "platform/geometry/point_geometry.h"

#include "platform/geometry/xform.h"

#include <cmath>

bool ON_Point::IsValid(ON_TextLog*) const
{
    return std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.z);
}

ON_BoundingBox ON_Point::BoundingBox() const
{
    ON_BoundingBox box;
    box.Set(point, false);
    return box;
}

bool ON_Point::Transform(const ON_Xform& xform)
{
    point = xform * point;
    return IsValid();
}
