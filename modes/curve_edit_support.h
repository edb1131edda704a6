// What the curve modes (network editing, profile editing, the guiding-curve
// picker) share when they edit the curves of the active shape's profile:
// finding points and curves by pick id, the pick record, snapping onto the
// nearest curve point, dragging grabbed curve points, keeping tangency where
// curves meet, inserting a point into a curve and starting a new curve.
//
// The profile is a sketch (ST_TSketch) whose segments are the curves. Point
// positions are the curves' own points in the sketch plane's coordinates.
#pragma once

#include "core/section_curve.h"
#include "core/vertex.h"
#include "platform/win32/message.h"

#include <cstdint>
#include <memory>
#include <vector>

class ST_IProfiledSurface;

// Curve i of the profile has pick id 9999 + i; points are numbered from 0
// over all curves in order. A point numbered 9999 or more would read as a
// curve, so it gets no pick id at all.
inline constexpr std::int32_t kCurvePickBase = 9999;
// Flag bits of a curve point.
inline constexpr std::uint32_t kCurvePointGuideMark = 2;
inline constexpr std::uint32_t kCurvePointMarked = 4;
// A drag that would extend a curve end by more steps than this stops there.
inline constexpr std::uint32_t kMaxEndExtensionSteps = 1000;

// The pick id of point number n, or -1 when it has none.
std::int32_t CurvePointPickId(std::uint32_t pointNumber);

// The points a curve is numbered by: its control points when asked and
// present, else its section (defining) points; null for none. Handed out
// writable because their flag words carry the editors' marks.
tPolyline<cVertex>* CurvePointsOf(ST_ISectionCurve& curve, bool useControlPoints);

// The curve holding the numbered point, with the point marked (bit 2) and its
// index within the curve's list in *localIndex; null when no point has that
// id.
ST_ISectionCurve* MarkPointByPickId(std::int32_t pickId, ST_ISectionCurve* profile, std::uint32_t* localIndex,
                                    bool useControlPoints);
// Clears the marks of every point; an id at or above 9999 selects and answers
// its curve, the others are deselected when asked.
ST_ISectionCurve* SelectCurveByPickId(std::int32_t pickId, ST_ISectionCurve* profile, bool deselectOthers);
// The curve with that id; the marks of the curves up to it are cleared.
ST_ISectionCurve* FindCurveByPickId(std::int32_t pickId, ST_ISectionCurve* profile);
// The numbered point's position and curve; (FLT_MAX, 0, 0) and null for none.
t3DPoint<float> GetPointByPickId(std::int32_t pickId, ST_ISectionCurve* profile, bool useControlPoints,
                                 ST_ISectionCurve** curve);

// The curve under the cursor and what the mode keeps with it.
struct stCurvePick
{
    std::int32_t pickId = -1;
    ST_ISectionCurve* curve = nullptr;          // not owned
    std::unique_ptr<ST_ISectionCurve> copy;     // working copy of curve
    std::unique_ptr<ST_ISectionCurve> owned;    // supplied by the caller
    std::int32_t value1 = -1;
    std::int32_t value2 = -1;
    std::uint8_t hit = 0;
};
void ResetCurvePick(stCurvePick& pick);
void SetCurvePick(stCurvePick& pick, ST_ISectionCurve* curve, std::unique_ptr<ST_ISectionCurve> owned,
                  std::int32_t value1, std::int32_t value2);

// A point snapped onto the nearest curve point (or the origin).
struct stCurveSnap
{
    std::uint8_t enabled = 1;
    std::int32_t kind = 0; // 0 none, 4 a curve point
    cVertex snapped;       // normal: the direction there, x FLT_MAX for none
    cVertex second;
    ST_ISectionCurve* curve = nullptr;
    void* reserved = nullptr;
    cVertex copy;
};
inline constexpr std::int32_t kCurveSnapPoint = 4;

// Clears the record, then snaps when the enable byte and the Alt key differ
// (enabled: snaps unless Alt is held; disabled: only while Alt is held).
bool BeginCurveSnap(stCurveSnap& snap, ST_ISectionCurve* profile, bool useControlPoints, const float point[3],
                    double radius, bool altDown);
bool BeginCurveSnap(stCurveSnap& snap, ST_ISectionCurve* profile, bool useControlPoints, const float point[3],
                    double radius);
// The nearest curve point (or the origin) within the squared radius; false
// and the record untouched when there is none.
bool SnapToNearestCurvePoint(stCurveSnap& snap, ST_ISectionCurve* profile, const float point[3],
                             bool useControlPoints, double squaredRadius, std::int32_t excludedCurve);

// Curves whose points are being dragged: the copies taken at the grab and
// the working copies that follow the drag.
class cMoveCurvesHelper
{
public:
    cMoveCurvesHelper() = default;
    virtual ~cMoveCurvesHelper() { Reset(); }
    cMoveCurvesHelper(const cMoveCurvesHelper&) = delete;
    cMoveCurvesHelper& operator=(const cMoveCurvesHelper&) = delete;

    void AddCurve(const ST_ISectionCurve& curve, const float grabPoint[3]);
    // A single curve grabbed at an end with a positive step is extended from
    // its grab-time shape until it reaches the target (at most
    // kMaxEndExtensionSteps steps); otherwise every working curve is refitted
    // through its grabbed point moved to the target.
    void MoveTo(const float target[3], double step);
    t3DPoint<float> GetGrabbedPoint() const;
    void Reset();

    std::size_t GetCurveCount() const { return m_working.size(); }
    ST_ISectionCurve* GetWorkingCurve(std::size_t i) { return m_working[i].get(); }
    const ST_ISectionCurve* GetGrabTimeCurve(std::size_t i) const { return m_grabbed[i].get(); }
    std::uint32_t GetGrabbedIndex(std::size_t i) const { return m_indices[i]; }
    // Extension steps the last MoveTo took.
    std::uint32_t GetLastExtensionCount() const { return m_lastExtensions; }

private:
    std::vector<std::unique_ptr<ST_ISectionCurve>> m_grabbed;
    std::vector<std::unique_ptr<ST_ISectionCurve>> m_working;
    std::vector<std::uint32_t> m_indices;
    float m_grabPoint[3] = {FLT_MAX, 0.0f, 0.0f};
    std::uint32_t m_lastExtensions = 0;
};

// Of the curves (end flag 0: their start, 1: their end), the one whose inward
// end direction is nearest the direction, strictly within the maximum angle
// (radians), has its second control point from that end moved so the curve
// leaves along the direction. Curves need two control points for it.
bool AlignEndTangentToDirection(const float direction[3], const std::vector<ST_ISectionCurve*>& curves,
                                const std::vector<std::uint8_t>& endFlags, double maximumAngle);
// Makes the curves that meet curve C at its ends leave along C's end
// tangents; where exactly three curves meet, whatever their angle.
bool PreserveG1AtJoints(ST_ISectionCurve* profile, ST_ISectionCurve* curve, double maximumAngle);

// Replaces C by a new curve of its class through C's points with p inserted
// after point `after`; nothing when p is one of C's points or after is -1.
// C is deleted: every pointer in `references` that named it is cleared.
// Answers the new curve, or null when nothing changed.
ST_ISectionCurve* InsertPointIntoCurve(ST_IProfiledSurface& surface, ST_ISectionCurve* profile, ST_ISectionCurve* curve,
                                       const float point[3], std::int32_t after, double tangencyAngle,
                                       const std::vector<ST_ISectionCurve**>& references = {});

// Replaces the pending new curve by an empty curve of the class in the
// profile's frame and deselects every curve (the view is invalidated when any
// was selected). False when the class is unknown.
bool BeginNewCurve(std::unique_ptr<ST_ISectionCurve>& pending, ST_IProfiledSurface& surface,
                   ST_ISectionCurve* profile, const GUID& classId, HWND view);
