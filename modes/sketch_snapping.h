// Snapping of the profile sketch tools: every cursor point is pulled onto
// existing points of other curves and the origin, onto horizontal and
// vertical alignments with them and with the reference point of the element
// being drawn, onto the tangent extensions of other curves' ends, and onto
// the crossings of such lines; lengths, angles and radii are stepped by the
// steps of the sketch page's combos.
//
// Everything works in the sketch plane's local coordinates (z = 0): the
// curves' own points, control points and wire ends are local.
#pragma once

#include "modes/sketch_snap.h"

#include <cstdint>

class ST_ISectionCurve;

// "No curve excepted" for the snaps' except index.
inline constexpr std::uint32_t kSnapExceptNone = 0xFFFFFFFFu;

// The step tables of the sketch page's two combos. Indices outside 0..4
// (a stored setting from elsewhere) are clamped into the table.
double SketchDistanceStep(int index);
double SketchAngleStepDegrees(int index);
// The decimals labels print for a step of that index.
int SketchStepDecimals(int index);

// The closest points of the lines p + s d and q + t e (outPoint on the first
// line, outOther on the second); false when the lines are (nearly) parallel.
bool IntersectLines3d(const double p[3], const double d[3], const double q[3], const double e[3], double outPoint[3],
                      double outOther[3]);

// The point snap: the nearest point of every curve but the excepted one
// (their control points when asked and present, else their own points), and
// the origin after them, whose squared distance to the point is below
// toleranceSquared; the earlier of equally near points wins.
bool SnapToNearestCurvePoint(stSketchSnap& snap, ST_ISectionCurve* sketch, std::uint32_t exceptIndex,
                             bool useControlPoints, const float point[3], double toleranceSquared);
// Horizontal and vertical alignment with the reference point, the curves'
// points and the origin (in that order; nearer wins, ties keep the earlier).
bool SnapToAlignment(stSketchSnap& snap, ST_ISectionCurve* sketch, const float point[3], bool useControlPoints,
                     double tolerance, std::uint32_t exceptIndex);
// The tangent lines through the curves' ends and the line through the
// reference point along the reference direction; *curve receives the curve
// whose end line won (null for the reference line).
bool SnapToTangentLines(stSketchSnap& snap, ST_ISectionCurve* sketch, const float point[3], double tolerance,
                        std::uint32_t exceptIndex, ST_ISectionCurve** curve);

// Snaps a sketch-plane point; true when the state's kind is not 0 (the
// caller then takes snap.result). With force the setting and Alt are not
// consulted; pointsOnly stops after the point snap.
bool SnapSketchPoint(stSketchSnap& snap, ST_ISectionCurve* sketch, std::uint32_t exceptIndex, bool useControlPoints,
                     const float point[3], double tolerance, bool force, bool pointsOnly);

// Whether a line's length is stepped after the snap: when nothing snapped, or
// a single alignment whose source is the line's start (nearly), or whose
// point lies within 0.01 of the start in x or y.
bool ShouldStepLineLength(const stSketchSnap& snap, const float start[3]);
// The end moved along start -> end to a whole multiple of the step, at least
// one step (the direction kept); false (end unchanged) for a zero-length line
// or a step that is not positive and finite.
bool StepLineLength(const float start[3], float end[3], double step);
// The end turned about the start so that the angle to the x axis, folded
// into [0, 90] degrees, is a whole multiple of the step; the length and the
// quadrant are kept; an angle of 90 degrees gives exactly (0, +-1). The new
// unit direction goes to direction. False for a zero-length line or a bad step.
bool StepLineAngle(const float start[3], float end[3], double stepDegrees, float direction[3]);
// The angle of start -> end to the x axis, folded into [0, pi/2].
double FoldedLineAngle(const float start[3], const float end[3]);

// Labels of the profile editor (at most 31 characters, always terminated).
// decimals < 0 prints the bare value with five decimals; otherwise the value
// plus a tenth of the step with that many decimals.
void FormatRadiusLabel(wchar_t (&out)[32], int decimals, double value, double step);
// An angle (isLength false; value in radians, printed in degrees with a "<")
// or a length with the unit name.
void FormatAngleLabel(wchar_t (&out)[32], int decimals, double value, bool isLength, double step, const wchar_t* unit);
