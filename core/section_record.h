// One plane of a multi-plane mesh section: the plane's frame, the polylines
// it cut, the tolerance that joins its pieces and the mesh it cuts. Kept in a
// std::vector by the interactive sectioning; each parallel section job owns
// exactly one record while the jobs run.
#pragma once

#include <cstdint>

#include "core/frame_math.h"
#include "core/polyline_collection.h"

class cMesh;

struct stSectionRecord
{
    stSectionRecord() { MakeIdentity3x4(frame); }

    std::uint32_t tag = 0;
    // Local z = 0 is the section plane; axes in columns, local to world.
    double frame[12];
    tPolylineCollection<tFramePolyline<cVertex>> polylines;
    float joinTolerance = 0.0f;
    // Not owned; only read while the record is cut.
    cMesh* mesh = nullptr;
};
