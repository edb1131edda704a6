#include "shapes/sketch_wire.h"

#include "core/bounding_box.h"

ST_IWire* ST_SketchWire::GetSegment(std::uint32_t index)
{
    if (m_sketch == nullptr || index >= m_sketch->GetSegmentCount())
        return nullptr;
    ST_ISectionCurve* curve = m_sketch->GetSegment(index);
    return curve != nullptr ? curve->GetWire() : nullptr;
}

void ST_SketchWire::GetBoundingBox(float box[6]) const
{
    MakeEmptyBox3f(box);
}
