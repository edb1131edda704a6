// One plane of a multi-plane mesh section: the plane's frame, the polylines
// it cut, and where along the sectioning it lies. Kept in a std::vector by the
// interactive sectioning.
#pragma once

#include <cstdint>

#include "core/frame_math.h"
#include "core/polyline_collection.h"

struct stSectionRecord
{
    stSectionRecord() { MakeIdentity3x4(frame); }

    std::uint32_t tag = 0;
    double frame[12];
    tPolylineCollection<tFramePolyline<cVertex>> polylines;
    float parameter = 0.0f;
    void* owner = nullptr;
};
