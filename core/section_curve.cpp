#include "core/section_curve.h"

#include <algorithm>

#include "core/frame_math.h"

ST_ISectionCurve::ST_ISectionCurve()
{
    MakeIdentity3x4(frame);
}

ST_ISectionCurve& ST_ISectionCurve::Assign(const ST_ISectionCurve& source)
{
    if (&source == this)
        return *this;
    cachedRms = source.cachedRms;
    id = source.id;
    mergeMode = source.mergeMode;
    sections = source.sections;
    std::copy(source.frame, source.frame + 12, frame);
    std::copy(source.cachedStart, source.cachedStart + 3, cachedStart);
    std::copy(source.cachedMid, source.cachedMid + 3, cachedMid);
    std::copy(source.cachedEnd, source.cachedEnd + 3, cachedEnd);
    flag = source.flag;
    CopyFrom(source);
    return *this;
}
