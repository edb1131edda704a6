// The builders of the surfaces swept from a profile: a surface of revolution
// (axis, angular range and profile) and an extrusion (direction, height,
// profile and draft), both from a marked region of the reference mesh.
//
// Each cuts the region with planes (a fan through the axis, or a stack
// across the direction), gathers the section polylines in one profile
// frame and hands them to the surface, which fits its profile curve of the
// requested kind. The builders keep no state; the only lasting effects are
// the region's flag bit (value 4) on the mesh and what the surface is told.
#pragma once

#include "core/polyline_collection.h"
#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "core/vertex.h"
#include "fitting/fit_container.h"

#include <cfloat>
#include <cstdint>
#include <vector>

class cMesh;

// What the caller asks of a profile fit; the builders only read it.
struct stProfileFitParams
{
    double direction[3] = {0.0, 0.0, 1.0}; // axis or extrusion direction (any length)
    double point[3] = {0.0, 0.0, 0.0};     // point on the axis, or the extrusion's base
    std::uint8_t directionFixed = 0;       // non-zero: take direction as given
    std::uint8_t pointFixed = 0;           // non-zero: take point as given
    std::int32_t sectionCount = 10;
    // 0 line or arc, whichever fits, 1 line, 2 arc, 3 spline, 4 combo,
    // 5 the kind of the surface's current profile.
    std::int32_t profileKind = 0;
    // Extrusions only: 0 no draft, 1 measure it on the mesh, else draftAngle.
    std::uint32_t draftMode = 0;
    double draftAngle = 0.0; // radians
};

// The extrusion's own parameter block (the extruded surface's
// GetDirectionPtr/SetDirection).
struct stExtrusionParameters
{
    double length = 1.0;
    std::uint32_t draftFlag = 0;
    double draftAngle = 0.0; // radians
};

// More sections than this are refused: every section is a cut of the whole
// region.
inline constexpr std::int32_t kMaxSweepSections = 10000;

// The triangle (and vertex) flag bit of a sweep's region.
inline constexpr std::uint8_t kSweepRegionFlag = 4;

// The region: clears the triangle flag bit 4 (and the vertex one when
// withVertices) everywhere, then sets it on every triangle (and its
// corners) whose colour is that of a seed triangle. Seeds outside the mesh
// are passed over. `listed`, when given, receives the region's triangles in
// their order (what TrianglesWithFlag then finds).
void MarkRegionFromSeeds(cMesh& mesh, const std::vector<std::uint32_t>& seeds, bool withVertices,
                         std::vector<std::uint32_t>* listed = nullptr);

// Axis from the points (or the parameters), a fan of N + 1 planes through
// it over the points' angular range, every section turned back into the
// reference half-plane (profile frame: x radius, y along the axis), then the
// profile fit. True with the surface unchanged when no plane crosses the
// region; false when the axis cannot be found, the kind is unknown, more
// than kMaxSweepSections are asked for, or the profile fit fails. N = 0
// cuts the single plane at the start of the range. `markedBits`, when
// given, holds the seeds' region already marked as
// MarkRegionFromSeeds(mesh, seeds, false) leaves it, a bit a triangle (bit
// i % 64 of word i / 64 set for triangle i of the region): it is listed from
// them where it is cut (markRegion is not looked at). A bit a triangle is
// held through the fits where their list (four bytes a triangle) would be.
bool BuildRevolvedFromSections(const cFitContainer& points, cMesh& mesh, ST_IProfiledSurface& surface,
                               const std::vector<std::uint32_t>& seeds, const stProfileFitParams& params,
                               bool markRegion, const std::vector<std::uint64_t>* markedBits = nullptr);

// Direction and base from the points (or the parameters), N parallel
// sections across the region (one at mid height when a draft is asked
// for), placed from the base point along the direction; the surface's
// height and draft and its profile. The draft is applied and the host
// surface rebuilt whatever the profile fit gave. `positionFactor` 1 puts
// the profile at the bottom of the region, 0 at its middle.
bool BuildExtrudedFromSections(const cFitContainer& points, cMesh& mesh, ST_IProfiledSurface& surface,
                               const std::vector<std::uint32_t>& seeds, const stProfileFitParams& params,
                               double positionFactor, bool markRegion);

// Marks the region again, sets the surface's draft (measured for mode 1,
// given otherwise, none for mode 0) and rebuilds its host surface.
bool ApplyDraftAngle(const std::vector<std::uint32_t>& seeds, cMesh& mesh, ST_IProfiledSurface& surface,
                     std::uint32_t draftMode, double draftAngle);

// The mean signed slope of the marked region's walls against the extrusion
// direction, across the profile at 20 samples per piece; positive when the
// region widens along the direction, whichever way the profile runs.
// -FLT_MAX when no sample could be measured.
double MeasureDraftAngle(const cMesh& mesh, ST_IProfiledSurface& surface);

// One sample: the section of the marked region by the plane through origin
// with the given normal, the polyline nearest the origin, its line fit in
// the plane frame (x = xDirection); adds the line's signed angle from x to
// sum and 1 to count, or nothing.
void MeasureDraftSample(const cMesh& mesh, const double origin[3], const double normal[3], const double xDirection[3],
                        double& sum, std::uint32_t& count);
