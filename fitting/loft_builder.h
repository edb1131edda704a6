// The loft builder: fits the section curves of a free-form (loft) surface
// to a marked region of the reference mesh. Each section entry places a
// plane on the loft's guide curve; the region is cut there, the cut nearest
// the guide becomes the entry's section curve, and spline sections are then
// stretched along their end tangents to one common span so the loft through
// them has straight borders where the region's are ragged.
#pragma once

#include "core/polyline.h"
#include "core/profiled_surface.h"
#include "core/vector_math.h"
#include "fitting/loft_sections.h"

#include <cstdint>
#include <vector>

class cMesh;
class ST_IProfiledSurface;

// Marks the region of the seed triangles' colours (flag value 4), stores the
// tolerance and the extension ratio in the loft's sections block, fits a
// section curve at every entry, aligns spline sections and rebuilds the
// loft's host surface. Without a guide curve only the marking and the two
// settings change; an entry whose plane misses the region keeps its curve.
void BuildLoftFromSections(cMesh& mesh, ST_IProfiledSurface& loft, const std::vector<std::uint32_t>& seeds,
                           double tolerance, double extensionRatio);

// The section plane's normal for a guide tangent: the tangent itself (mode
// 0 and unknown modes), or the z (1), x (2) or y (3) axis pointing the way
// the tangent does along it.
t3DPoint<double> LoftPlaneNormal(const t3DPoint<double>& tangent, std::uint8_t mode);

// Smallest and largest x of the polyline's points; FLT_MAX and -FLT_MAX for
// no points.
void GetPolylineXRange(const tPolyline<cVertex>& polyline, double& xmin, double& xmax);

// The start and end tangents of the curve rebuilt through n samples of its
// wire (fewer than 2 samples give zero tangents).
void ResampleCurveEnds(const ST_ISectionCurve& curve, std::int32_t n, t3DPoint<double>& startTangent,
                       t3DPoint<double>& endTangent);

// Lengthens every open spline section along its end tangents towards the
// common x range of the sections (in their own frames), widened on both
// sides by margin x the range's width, whichever way along x the section
// runs. An end moves at most the mean step between the section's own
// points. The added end points carry flag value 4. An end whose tangent
// does not lead outwards along x is left where it is.
void AlignSplineSectionEnds(stLoftSections& loft, double margin);
