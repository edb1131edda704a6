// The snap record of the profile sketch tools: the snapping setting of the
// tool that asks, what the last snap found (its kind, the points it took its
// coordinates from and the snapped point), and the reference point and
// direction of the element being drawn.
#pragma once

#include "core/vertex.h"

#include <cfloat>
#include <cstdint>

class ST_ISectionCurve;

// What a sketch snap found.
enum SketchSnapKind : std::int32_t
{
    kSketchSnapNone = 0,
    kSketchSnapPoint = 4,        // onto an existing point (or the origin)
    kSketchSnapCorner = 5,       // x of one point, y of another
    kSketchSnapLine = 6,         // on one alignment or on a tangent line
    kSketchSnapIntersection = 7, // an alignment or tangent line crossing another curve's tangent line
};

// A point record that is undefined while its x is FLT_MAX.
inline cVertex UndefinedSketchPoint()
{
    cVertex v;
    v.x = FLT_MAX;
    v.nx = FLT_MAX;
    v.flags = 1;
    return v;
}

struct stSketchSnap
{
    // The user's snapping setting (non-zero: on); Alt inverts it.
    std::uint8_t enabled = 0;
    std::int32_t kind = kSketchSnapNone;
    // The point whose x was taken (the single source of kinds 4, 6 and 7).
    cVertex xSource = UndefinedSketchPoint();
    // The point whose y was taken (kind 5), or the other line's point (kind 7).
    cVertex ySource = UndefinedSketchPoint();
    // The curves the sources lie on; null for the origin and the reference point.
    ST_ISectionCurve* xSourceCurve = nullptr;
    ST_ISectionCurve* ySourceCurve = nullptr;
    // The snapped point (z = 0); for kind 4 nx, ny, nz hold the unit tangent
    // of the source curve there.
    cVertex result;
    // The arc-radius snap's moved middle point; flag bit 0 set means "no point".
    cVertex point;
    // The last fixed point of the element being drawn (undefined: x FLT_MAX).
    float referencePoint[3] = {FLT_MAX, 0.0f, 0.0f};
    std::uint32_t referenceFlags = 1;
    // The direction of the last angle-stepped line (undefined: x FLT_MAX).
    float referenceDirection[3] = {FLT_MAX, 0.0f, 0.0f};

    bool HasReferencePoint() const { return referencePoint[0] != FLT_MAX; }
    bool HasReferenceDirection() const { return referenceDirection[0] != FLT_MAX; }
    void SetReferencePoint(const float p[3])
    {
        referencePoint[0] = p[0];
        referencePoint[1] = p[1];
        referencePoint[2] = p[2];
        referenceFlags = p[0] == FLT_MAX ? 1u : 0u;
    }
    void SetReferenceDirection(const float d[3])
    {
        referenceDirection[0] = d[0];
        referenceDirection[1] = d[1];
        referenceDirection[2] = d[2];
    }
    void ClearReference()
    {
        referencePoint[0] = FLT_MAX;
        referenceFlags = 1;
        referenceDirection[0] = FLT_MAX;
    }
    // Forgets what the last snap found; the setting and the reference stay.
    void Reset()
    {
        kind = kSketchSnapNone;
        result = cVertex{};
        xSource = UndefinedSketchPoint();
        ySource = UndefinedSketchPoint();
        xSourceCurve = nullptr;
        ySourceCurve = nullptr;
    }
};
