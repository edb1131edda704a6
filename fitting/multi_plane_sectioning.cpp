#include "fitting/multi_plane_sectioning.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "core/bounding_box.h"
#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "core/vector_math.h"
#include "fitting/mesh_plane_sectioner.h"
#include "fitting/polyline_simplify.h"
#include "fitting/section_triangle_index.h"
#include "platform/win32/win32.h"

namespace
{

// The wait cursor for the whole run, the previous cursor back afterwards
// (whichever way the run ends).
class cWaitCursorScope
{
public:
    cWaitCursorScope() : m_previous(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~cWaitCursorScope() { SetCursor(m_previous); }
    cWaitCursorScope(const cWaitCursorScope&) = delete;
    cWaitCursorScope& operator=(const cWaitCursorScope&) = delete;

private:
    HCURSOR m_previous;
};

// The join tolerance when the panel's own is switched off.
constexpr float kDefaultJoinTolerance = 1e-4f;
// Planes per side of the base plane that still cut on the calling thread.
constexpr std::uint32_t kMaxSequentialPlanesPerSide = 2;
// From this many planes on, indexing the triangles once costs less than
// scanning all of them for every plane.
constexpr std::size_t kIndexedPlanes = 8;

bool IsFinite3(const double v[3])
{
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

// A unit copy of the direction; false for a direction that is not finite or
// too short to have one.
bool UnitDirection(const double in[3], double out[3])
{
    if (!IsFinite3(in) || std::fabs(in[0]) + std::fabs(in[1]) + std::fabs(in[2]) < FLT_EPSILON)
        return false;
    std::copy(in, in + 3, out);
    NormaliseVector3d(out);
    return IsFinite3(out);
}

// Sets the section mark on the triangles in use and clears it on the others;
// the box grows by the corners of the triangles in use.
void MarkTrianglesInUse(cMesh& mesh, bool selectedOnly, float box[6])
{
    MakeEmptyBox3f(box);
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    mesh.ForEachTriangle([&](cMeshTriangle& t) {
        const bool inUse = !selectedOnly || ((t.flags & kTriangleFlagSelected) != 0 &&
                                             (t.flags & kTriangleFlagHidden) == 0);
        if (!inUse)
        {
            t.flags &= static_cast<std::uint8_t>(~kSectionTriangleMask);
            return;
        }
        t.flags |= kSectionTriangleMask;
        for (std::uint32_t index : t.vertexIndex)
        {
            if (index >= vertexCount)
                continue;
            const cVertex* v = mesh.GetVertex(index);
            if (!v->IsExcluded() && std::isfinite(v->x) && std::isfinite(v->y) && std::isfinite(v->z))
                GrowBox3f(box, v->Position());
        }
    });
}

// A fresh preview polyline in the plane's frame holding the cut's points.
void CopyIntoPreview(tSectionPolylines& preview, const tFramePolyline<cVertex>& cut)
{
    tFramePolyline<cVertex>* copy = preview.Add(tFramePolyline<cVertex>());
    std::copy(cut.frame, cut.frame + 12, copy->frame);
    copy->SetFrameMark();
    for (std::uint32_t i = 0; i < cut.GetVertexCount(); ++i)
    {
        const cVertex local = cut.GetVertexInFrame(i);
        float world[3];
        TransformPoint3f(cut.frame, world, local.Position());
        copy->AddFloatPoint(world);
    }
}

void AddRecord(std::vector<stSectionRecord>& records, const double frame[12])
{
    records.emplace_back();
    std::copy(frame, frame + 12, records.back().frame);
}

// The base plane, then planes across the guide at every spacing step of arc
// length from the panel's parameter, forwards and then backwards, while they
// stay on the curve. False when the curve is too long for the spacing.
bool AddGuideRecords(const stSectionSettings& settings, const double base[12], std::vector<stSectionRecord>& records)
{
    AddRecord(records, base);
    const double spacing = settings.spacing;
    if (!(settings.spacing > FLT_EPSILON))
        return true; // no step to walk by
    const ISectionGuideCurve& guide = *settings.guide;
    const double total = guide.GetTotalLength();
    if (!std::isfinite(total) || total <= 0.0)
        return true;
    if (total / spacing >= kMaxSectionPlanes - 1)
        return false;
    double t0 = settings.guideParameter;
    t0 = std::isfinite(t0) ? std::clamp(t0, 0.0, 1.0) : 0.0;
    const double start = guide.GetLengthBetween(0.0, t0);
    if (!std::isfinite(start))
        return true;
    for (const double direction : {1.0, -1.0})
    {
        for (double s = start + direction * spacing; s < total && s >= 0.0; s += direction * spacing)
        {
            double t = 0.0;
            if (!guide.GetParameterAtLength(s, FLT_EPSILON, t))
                break;
            double point[3], tangent[3], normal[3];
            if (!guide.Evaluate(t, point, tangent) || !IsFinite3(point) || !UnitDirection(tangent, normal))
                continue;
            double frame[12];
            MakeFrame3x4(frame, point, normal, settings.reference);
            AddRecord(records, frame);
        }
    }
    return true;
}

} // namespace

bool CountStackedPlanes(const float box[6], float spacing, std::uint32_t& planesPerSide)
{
    planesPerSide = 0;
    if (!(spacing > FLT_EPSILON) || !IsValidBoundingBox3f(box))
        return true;
    const double dx = static_cast<double>(box[3]) - box[0];
    const double dy = static_cast<double>(box[4]) - box[1];
    const double dz = static_cast<double>(box[5]) - box[2];
    const double ratio = std::sqrt(dx * dx + dy * dy + dz * dz) * 1.5 / spacing;
    // 2N + 1 planes with N = int(ratio) + 1 must stay within the limit.
    if (!std::isfinite(ratio) || ratio >= (kMaxSectionPlanes - 1) / 2)
        return false;
    planesPerSide = static_cast<std::uint32_t>(ratio) + 1;
    return true;
}

void MakeStackedPlaneFrames(const double base[12], std::uint32_t planesPerSide, float spacing,
                            std::vector<stSectionRecord>& records)
{
    AddRecord(records, base);
    for (std::uint32_t u = 1; u <= planesPerSide; ++u)
    {
        const float offset = static_cast<float>(u) * spacing;
        for (const double sign : {1.0, -1.0})
        {
            double frame[12];
            std::copy(base, base + 12, frame);
            for (int r = 0; r < 3; ++r)
                frame[4 * r + 3] += sign * offset * base[4 * r + 2];
            AddRecord(records, frame);
        }
    }
}

eSectionResult ComputeSectionPolylines(stSectionPanelData& panel)
{
    const cWaitCursorScope waitCursor;
    panel.hasSections = false;
    panel.preview.Clear();
    panel.records.clear();
    panel.simplifyList.clear();
    const stSectionSettings& settings = panel.settings;

    cMesh* mesh = panel.mesh;
    if (mesh == nullptr)
        return eSectionResult::noMesh;
    double normal[3];
    if (!UnitDirection(settings.normal, normal) || !IsFinite3(settings.origin) || !IsFinite3(settings.reference))
        return eSectionResult::invalidPlane;
    if (settings.buildWithPoints && settings.pointCount > kMaxResampledPoints)
        return eSectionResult::invalidPoints;

    float box[6];
    MarkTrianglesInUse(*mesh, settings.throughSelectionOnly, box);
    if (!IsValidBoundingBox3f(box))
        return eSectionResult::done; // no triangle in use: no plane can cut anything

    const float joinTolerance = settings.useJoinTolerance ? settings.joinTolerance : kDefaultJoinTolerance;
    double base[12];
    MakeFrame3x4(base, settings.origin, normal, settings.reference);

    const bool alongGuide = settings.guide != nullptr && settings.multipleSections;
    std::uint32_t planesPerSide = 0;
    if (!alongGuide && settings.multipleSections && !CountStackedPlanes(box, settings.spacing, planesPerSide))
        return eSectionResult::tooManyPlanes;

    if (planesPerSide <= kMaxSequentialPlanesPerSide && !alongGuide)
    {
        // A few planes: no thread hand-over, one sectioner for all of them.
        std::vector<stSectionRecord> planes;
        MakeStackedPlaneFrames(base, planesPerSide, settings.spacing, planes);
        cMeshPlaneSectioner sectioner;
        sectioner.SetTriangleIndex(panel.index);
        tSectionPolylines work;
        for (const stSectionRecord& plane : planes)
        {
            SectionMeshByPlane(sectioner, mesh, plane.frame, kSectionTriangleMask, work, joinTolerance, 0.0);
            for (const tFramePolyline<cVertex>& polyline : work.items)
                CopyIntoPreview(panel.preview, polyline);
            work.Clear();
        }
    }
    else
    {
        if (!alongGuide)
            MakeStackedPlaneFrames(base, planesPerSide, settings.spacing, panel.records);
        else if (!AddGuideRecords(settings, base, panel.records))
        {
            panel.records.clear();
            return eSectionResult::tooManyPlanes;
        }
        for (stSectionRecord& record : panel.records)
        {
            record.joinTolerance = joinTolerance;
            record.mesh = mesh;
        }
        // The jobs share one index of the mesh (read only); a panel that
        // keeps none gets one for this run when the planes are many.
        const cSectionTriangleIndex* const kept = panel.index;
        cSectionTriangleIndex runIndex;
        if ((kept == nullptr || !kept->Matches(*mesh)) && panel.records.size() >= kIndexedPlanes &&
            runIndex.Build(*mesh))
            panel.index = &runIndex;
        ParallelFor(panel.pool, static_cast<std::uint32_t>(panel.records.size()), SectionPlaneJob, &panel);
        panel.index = kept;
        for (const stSectionRecord& record : panel.records)
            for (const tFramePolyline<cVertex>& polyline : record.polylines.items)
                CopyIntoPreview(panel.preview, polyline);
        panel.records.clear();
    }

    if (!settings.buildWithPoints && settings.simplificationTolerance > FLT_EPSILON)
    {
        if (panel.preview.GetCount() < 2)
        {
            for (tFramePolyline<cVertex>& polyline : panel.preview.items)
                SimplifyPolyline(polyline, settings.simplificationTolerance, FLT_MAX);
        }
        else
        {
            for (tFramePolyline<cVertex>& polyline : panel.preview.items)
                panel.simplifyList.push_back(&polyline);
            ParallelFor(panel.pool, static_cast<std::uint32_t>(panel.simplifyList.size()), SimplifySectionJob,
                        &panel);
            panel.simplifyList.clear();
        }
    }
    else if (settings.buildWithPoints)
    {
        for (tFramePolyline<cVertex>& polyline : panel.preview.items)
            ResamplePolylineToCount(polyline, std::max<std::int32_t>(2, settings.pointCount));
    }

    panel.hasSections = !panel.preview.IsEmpty();
    return eSectionResult::done;
}

void SectionPlaneJob(void* panel, std::uint32_t k)
{
    const stSectionPanelData& data = *static_cast<const stSectionPanelData*>(panel);
    stSectionRecord& record = static_cast<stSectionPanelData*>(panel)->records[k];
    cMeshPlaneSectioner sectioner;
    sectioner.SetTriangleIndex(data.index);
    SectionMeshByPlane(sectioner, record.mesh, record.frame, kSectionTriangleMask, record.polylines,
                       record.joinTolerance, 0.0);
}

void SimplifySectionJob(void* panel, std::uint32_t k)
{
    stSectionPanelData& data = *static_cast<stSectionPanelData*>(panel);
    SimplifyPolyline(*data.simplifyList[k], data.settings.simplificationTolerance, FLT_MAX);
}
