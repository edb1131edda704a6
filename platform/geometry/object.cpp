#include "platform/geometry/object.h"

bool ON_Geometry::GetBBox(double* box_min, double* box_max, bool grow_box) const
{
    if (!box_min || !box_max)
        return false;
    ON_BoundingBox box = BoundingBox();
    if (!box.IsValid())
        return false;
    if (grow_box)
        box.Union(ON_BoundingBox(ON_3dPoint(box_min), ON_3dPoint(box_max)));
    for (int i = 0; i < 3; ++i)
    {
        box_min[i] = box.m_min[i];
        box_max[i] = box.m_max[i];
    }
    return true;
}
