// The common part of every section curve (the profile curves of the shape
// model: line, arc, combo, spline, sketch): the section polylines the curve
// was fitted to, the plane it lies in and a few cached values. What belongs to
// a concrete curve class (its wire, its own polyline) lives in that class,
// which copies it in CopyFrom.
#pragma once

#include <cfloat>
#include <cstdint>
#include <memory>

#include "core/polyline_collection.h"

class ST_ISectionCurve
{
public:
    ST_ISectionCurve();
    virtual ~ST_ISectionCurve() = default;

    ST_ISectionCurve(const ST_ISectionCurve&) = delete;
    ST_ISectionCurve& operator=(const ST_ISectionCurve&) = delete;

    // Copies the common part of the source into this curve, then the part of
    // this curve's class (CopyFrom). Copies are made as Clone + Assign.
    ST_ISectionCurve& Assign(const ST_ISectionCurve& source);

    // Copies the part that belongs to this curve's class from the source;
    // called by Assign after the common part.
    virtual void CopyFrom(const ST_ISectionCurve& source) = 0;

    // A new curve of the same class in its initial state.
    virtual std::unique_ptr<ST_ISectionCurve> Clone() const = 0;

    // Root-mean-square distance of the curve from its section polylines;
    // -FLT_MAX until computed.
    float cachedRms = -FLT_MAX;
    std::int32_t id = 0;
    // How the section polylines are merged before fitting (modes 0 to 3).
    std::uint32_t mergeMode = 3;
    tPolylineCollection<tFramePolyline<cVertex>> sections;
    // The curve's plane: axes in columns, local to world.
    double frame[12];
    // Local start, mid and end points of the curve.
    double cachedStart[3] = {0.0, 0.0, 0.0};
    double cachedMid[3] = {0.0, 0.0, 0.0};
    double cachedEnd[3] = {0.0, 0.0, 0.0};
    std::uint8_t flag = 0;
};
