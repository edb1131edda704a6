// Measuring the radius of a rounded edge of a scan: the mesh is cut by planes
// across an edge curve at stations along it, a circle is fitted to each cut
// near the edge, and the radii of the stations are averaged.
//
// The circle of a station is fitted only to the stretch of the cut around
// the edge point, never to the whole cut: a cut across a part is usually one
// closed outline of the whole part, and a circle through all of it measures
// the part, not its fillet. How far the stretch reaches is worked out from
// the circle itself (see FitFilletArc).
#pragma once

#include "core/mesh.h"
#include "core/polyline.h"

#include <cfloat>
#include <cstdint>
#include <vector>

class ON_Curve;
class ON_3dPoint;
class cSectionTriangleIndex;

// The point at t (0 = start, 1 = end) of the curve's domain; false without a
// curve or when the curve cannot be evaluated there.
bool EvaluateCurveAtNormalizedParameter(const ON_Curve* curve, double t, ON_3dPoint& point);

// The indices of the run of polyline vertices that holds `nearest` and whose
// points lie within `reach` of `centre` (plane coordinates: the distance is
// taken in the x, y plane of `local`). The run follows the polyline in both
// directions from `nearest` and, on a closed polyline (last point on the
// first), goes on across its seam; every vertex is taken once.
std::vector<std::uint32_t> CollectRunWithinReach(const std::vector<t3DPoint<float>>& local, bool closed,
                                                 std::uint32_t nearest, double reach);

// The fewest points on the arc that give a radius: three always lie on some
// circle, a fourth tells whether they lie on one arc.
inline constexpr std::size_t kLeastArcPoints = 4;

// The radius of the circle fitted to the part of a section polyline near the
// plane's origin (the edge point), or FLT_MAX ("Unknown") when the cut holds
// too few points on the arc to fix it: fewer than kLeastArcPoints, points
// farther apart than 0.4 of the radius (the chords of a coarsely tessellated
// round), or points that do not bend clearly (a straight cut). `tolerance`
// is the fits' target (FLT_MAX: no trimming).
//
// The stretch starts with the vertices within a few point spacings of the
// edge point and grows by half until the circle fits it clearly better than
// a line (its bend stands out of the noise). Then, as long as it changes,
// it is set to reach as far as the fitted circle says the arc goes: the
// faces beside a fillet are the tangents from the edge (where they meet) to
// the circle, so the arc is what lies within the tangent length
// sqrt(|p - c|^2 - r^2) of the edge point p; an edge point on the fillet
// itself has no tangent and takes half the radius around it. The stretch
// never shrinks below what first bent clearly.
//
// On a CAD tessellation, whose faces hold few points far apart and whose arc
// lies exactly on its chords, that stretch can hold a face's points as well
// as the arc's, and a circle through both is wrong by far more than a fit
// of a scan's noise. So the stretch then keeps to the side of the edge point
// whose circle is the tighter (an edge along the fillet's side has a face on
// the other), and drops end points that the circle of the others does not
// pass through. A side kept so is grown to a whole radius while its circle
// still changes with it: half a radius of a noisy arc may bend by chance.
double FitFilletArc(const tFramePolyline<cVertex>& polyline, double tolerance);

// The radius of the fillet in one cut of the mesh: the plane through `point`
// across `direction`, the section polyline with the vertex nearest to the
// point, and the fitted arc near the point. FLT_MAX when the plane misses
// the mesh or the fit fails. With a triangle index of the mesh, the cut
// visits only the triangles near the plane.
double MeasureSectionRadius(const cMesh& mesh, const float point[3], const float direction[3], double tolerance,
                            const cSectionTriangleIndex* index = nullptr);

struct stFilletMeasurement
{
    // Mean of the stations that gave a radius; FLT_MAX when none did.
    double radius = FLT_MAX;
    // Stations along the curve (sections + 1), and those that gave a radius.
    int stations = 0;
    int measured = 0;
};

// sections + 1 stations from `start` to `end` (fractions of the curve's
// domain, both ends included); each station cut across the curve's tangent
// there. A station the curve cannot be evaluated at, or whose cut gives no
// radius, is left out of the mean.
stFilletMeasurement MeasureFilletAlongCurve(const cMesh& mesh, const ON_Curve& curve, double start, double end,
                                            int sections, const cSectionTriangleIndex* index = nullptr);
