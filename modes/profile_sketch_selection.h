// The edits of a profile sketch that the select tool of the profile editor
// makes: pick ids of the sketch's points and curves, open-end marks,
// rebuilding a curve through moved points, deleting selected points, the
// distance or radius typed for the selected element, spline point insertion
// and the element fitted to stroked section points.
//
// Sketch points carry their state in the flag word: bit 0 undefined, bit 1
// open end, bit 2 selected. Points are the curves' own points (control
// points of splines when the caller asks), in the sketch plane's local
// coordinates; every curve of a sketch carries the sketch's frame.
#pragma once

#include "core/polyline_collection.h"
#include "core/vertex.h"

#include <cstdint>

class ST_ISectionCurve;

inline constexpr std::uint32_t kSketchPointUndefined = 1;
inline constexpr std::uint32_t kSketchPointOpenEnd = 2;
inline constexpr std::uint32_t kSketchPointSelected = 4;

// Pick ids: point n of the sketch (counted over all curves in order) is drawn
// with id n + 1 and curve i with id 10000 + i; a hover index is the id minus
// one. Points numbered 9999 or more would read as curves: they get no id.
inline constexpr std::uint32_t kSketchCurvePickBase = 9999;
std::uint32_t SketchPointPickId(std::uint32_t pointNumber);
std::uint32_t SketchCurvePickId(std::uint32_t curveIndex);

struct stSketchPick
{
    enum Kind
    {
        kNothing,
        kPoint,
        kCurve,
    } kind = kNothing;
    ST_ISectionCurve* curve = nullptr;
    std::uint32_t curveIndex = 0;
    std::uint32_t pointIndex = 0; // within the curve (kPoint)
};
// What a hover index names in the sketch; nothing for an index outside it.
stSketchPick DecodeSketchPick(ST_ISectionCurve* sketch, std::int32_t hoverIndex, bool useControlPoints);

// The points a curve is edited through: its control points when asked and
// present, else its own points; null when it has none. The flag words of
// these points are the editor's marks, so they are handed out writable.
tPolyline<cVertex>* SketchPointsOf(ST_ISectionCurve& curve, bool useControlPoints);

// Clears the selected bit of every point and the selected flag of every curve;
// true when anything was selected.
bool ClearSketchSelection(ST_ISectionCurve* sketch);

// The first point of another curve within tolerance of p (x and y), or a point
// whose x is FLT_MAX.
cVertex FindCoincidentSketchPoint(ST_ISectionCurve* sketch, const ST_ISectionCurve* except, const float p[3],
                                  double tolerance);
// Sets the open-end bit on every end point that touches no other curve
// (1e-5) and clears it elsewhere.
void MarkOpenSketchEnds(ST_ISectionCurve* sketch);

// Rebuilds a line (2 points), an arc (3 points) or a spline (2 or more)
// through the given points; the flag words of points kept by index stay.
// False, the curve unchanged, for any other curve or count.
bool RebuildSketchCurve(ST_ISectionCurve& curve, const tPolyline<cVertex>& points);
// The point of the curve at old (x, y) moves to new and the curve is rebuilt.
bool MoveCurveEndToPoint(ST_ISectionCurve& curve, const float oldPoint[3], const float newPoint[3]);

// Removes the selected curves and the selected, defined points of the
// others (a spline's control points when asked, each standing for the point
// of the same index the spline runs through): a curve that lost any point
// is deleted when it is an arc or keeps fewer than 3 points (or cannot be
// rebuilt), else rebuilt through the rest. True when anything changed; the
// open ends are then marked again.
bool DeleteSketchSelection(ST_ISectionCurve* sketch, bool useControlPoints);
// Whether the sketch holds a selected curve or a selected, defined point.
bool HasSketchSelection(ST_ISectionCurve* sketch, bool useControlPoints);

// Puts a spline's control point at the target by moving the point of the
// same index that the spline runs through (the curve keeps running through
// the others): the points stay what the spline is stored and rebuilt by.
// The target is met within a millionth of the spline's extent where the
// spline can reach it, else as near as it comes. False, the spline as it
// was, for another curve, a bad index or a curve that cannot be built.
bool MoveSplineControlPoint(ST_ISectionCurve& spline, std::uint32_t index, const float target[3]);

// The middle point of the arc through p0, p1, p2 with radius r that keeps the
// chord p0-p2 and its centre's side; false when the points have no circle or
// the radius is shorter than half the chord.
bool ArcMidPointForRadius(const double p0[3], const double p1[3], const double p2[3], double r, double out[3]);

// The element a typed value applies to: the first curve with a selected,
// defined point (control point when asked), else the first selected curve;
// null for none.
ST_ISectionCurve* FindSketchValueTarget(ST_ISectionCurve* sketch, bool useControlPoints);
enum class SketchValueResult
{
    kNothing,  // no target, or a value that is not a positive finite number
    kApplied,  // the line's length or the arc's radius is the value
    kRefused,  // an arc cannot take that radius (currentValue shows its radius)
};
// A line of two points gets the length along its direction from its start; an
// arc of three points the radius with the same ends. The target's point flags
// stay and the open ends are marked again.
SketchValueResult ApplySketchValue(ST_ISectionCurve* sketch, double value, double* currentValue,
                                   bool useControlPoints);
// The line's length or the arc's radius shown for a curve; isDistance says
// which; -1 for other curves.
double SketchCurveValue(ST_ISectionCurve& curve, bool* isDistance);

// The segment of the points nearest p (PointSegmentDistance3f); -1 for fewer
// than 2 points.
std::int32_t NearestSketchSegment(const tPolyline<cVertex>& points, const float p[3]);
// Inserts p after point `segment` of a spline's own points and rebuilds it;
// answers the new point's index, or -1 (unchanged) when it cannot.
std::int32_t InsertSketchSplinePoint(ST_ISectionCurve& spline, std::int32_t segment, const float p[3]);

// The line or arc fitted to the selected (bit 2), defined section points, in
// the sketch's local coordinates. None when no point is selected, the
// selection's largest extent is below minExtent or it has 2 points or fewer.
// The arc wins when the line fits worse and the extent is at least a third of
// a half circle (radius x pi/3).
struct stFittedSketchElement
{
    bool isArc = false;
    std::uint32_t selectedCount = 0;
    double points[3][3] = {};
};
bool FitSketchElementToSelection(const tPolylineCollection<tFramePolyline<cVertex>>& sections, const double frame[12],
                                 double minExtent, stFittedSketchElement& out);
