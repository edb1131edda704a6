// Interactive sectioning of the reference mesh: one plane, a stack of
// parallel planes at a fixed spacing, or planes at fixed arc-length steps
// along a guide curve. Above a few planes the cuts run as parallel jobs on
// the thread pool, each job with its own sectioner and record; the results
// are gathered into a preview list and simplified or resampled.
#pragma once

#include <cstdint>
#include <vector>

#include "core/section_record.h"
#include "fitting/polyline_join.h"

class cMesh;
class cSectionTriangleIndex;
class cThreadPool;

// The guide curve along which the sections are placed. Parameters are
// normalised to 0..1 and lengths measured along the curve.
class ISectionGuideCurve
{
public:
    virtual ~ISectionGuideCurve() = default;
    virtual double GetTotalLength() const = 0;
    virtual double GetLengthBetween(double t0, double t1) const = 0;
    // The parameter at arc length s from the start; false when there is none.
    virtual bool GetParameterAtLength(double s, double tolerance, double& t) const = 0;
    // Point and tangent at parameter t; false when the curve cannot say.
    virtual bool Evaluate(double t, double point[3], double tangent[3]) const = 0;
};

// The section panel's settings as the sectioning reads them.
struct stSectionSettings
{
    // Cut only triangles that are selected and not hidden.
    bool throughSelectionOnly = false;
    // Pieces closer than the join tolerance are joined; 1e-4 when off.
    bool useJoinTolerance = false;
    float joinTolerance = 1e-4f;
    // A stack of planes at the spacing, both sides of the base plane.
    bool multipleSections = false;
    float spacing = 0.0f;
    // Every polyline resampled to max(2, pointCount) points.
    bool buildWithPoints = false;
    std::int32_t pointCount = 2;
    // Every polyline simplified when this exceeds FLT_EPSILON (and the points
    // are not rebuilt).
    float simplificationTolerance = 0.0f;
    // The base plane.
    double origin[3] = {0.0, 0.0, 0.0};
    double normal[3] = {0.0, 0.0, 1.0};
    double reference[3] = {1.0, 0.0, 0.0};
    // Planes along this curve (not owned), starting from the parameter.
    const ISectionGuideCurve* guide = nullptr;
    double guideParameter = 0.0;
};

// Everything the sectioning reads from and writes to the section panel: the
// panel fills the settings, the mesh (the first mesh object of its scene, or
// null) and the pool before each run, and shows the preview afterwards.
struct stSectionPanelData
{
    stSectionSettings settings;
    cMesh* mesh = nullptr;
    cThreadPool* pool = nullptr; // null: every job runs on the calling thread
    // An index of the mesh's triangles that the panel keeps between runs
    // (optional); every cut uses it while it matches the mesh.
    const cSectionTriangleIndex* index = nullptr;

    // Filled during a run; empty again at its end.
    std::vector<stSectionRecord> records;
    // The cut polylines, one plane frame each.
    tSectionPolylines preview;
    bool hasSections = false;
    // The polylines the simplification jobs work on during a run.
    std::vector<tFramePolyline<cVertex>*> simplifyList;
};

enum class eSectionResult
{
    done,          // the preview holds whatever the planes cut (possibly nothing)
    noMesh,        // nothing to cut
    invalidPlane,  // the base plane has no usable normal or origin
    invalidPoints, // a point count beyond what a polyline may hold
    tooManyPlanes, // the spacing would make more planes than a run allows
};

// The most planes one run cuts: below the pool's queue limit and far beyond
// what a section preview can show.
inline constexpr std::uint32_t kMaxSectionPlanes = 99999;

// Planes above and below the base plane for a stack over the box (float
// box of the triangles in use) at the spacing: int(diagonal x 1.5 / spacing)
// + 1 for a spacing above FLT_EPSILON, else 0. False when the stack would
// exceed kMaxSectionPlanes planes in all (2N + 1); an empty box gives 0.
bool CountStackedPlanes(const float box[6], float spacing, std::uint32_t& planesPerSide);

// The frames of a stack: the base frame first, then offsets +s, -s, +2s, -2s,
// ..., each moving the origin along the frame's unit z axis.
void MakeStackedPlaneFrames(const double base[12], std::uint32_t planesPerSide, float spacing,
                            std::vector<stSectionRecord>& records);

// Cuts the panel's mesh with the planes its settings describe and fills its
// preview list and has-sections flag. Marks the triangles in use with flag
// value 4 (the mark stays until the next run). Blocks until every job is done,
// showing the wait cursor meanwhile.
eSectionResult ComputeSectionPolylines(stSectionPanelData& panel);

// The parallel job for record k: a sectioner of its own cuts the record's
// plane into the record's collection.
void SectionPlaneJob(void* panel, std::uint32_t k);

// The parallel job that simplifies polyline k of the panel's simplification
// list with the panel's simplification tolerance.
void SimplifySectionJob(void* panel, std::uint32_t k);
