#include "fitting/sweep_surface_builders.h"

#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "core/vector_math.h"
#include "fitting/circle_fit.h"
#include "fitting/fit_drivers.h"
#include "fitting/line_fit.h"
#include "fitting/mesh_plane_sectioner.h"
#include "fitting/section_geometry.h"
#include "fitting/section_merge.h"
#include "fitting/sweep_axis_estimates.h"

#include <algorithm>
#include <bit>
#include <array>
#include <atomic>
#include <cmath>
#include <memory>

namespace
{

constexpr std::uint8_t kRegionBit = kSweepRegionFlag;
// Triangles or vertices per job of the shared pool in the region's marking.
constexpr std::uint32_t kMarkBlock = 16384;
constexpr double kSixtyDegrees = 1.0471975511965976;
// A direction or axis read from the normals replaces the one from the point
// positions only when the normals' median disagreement with it is below
// this fraction of theirs with the other.
constexpr double kClearlyBetter = 0.5;

double AbsSum(const double v[3])
{
    return std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]);
}

void NormaliseIfLong(double v[3])
{
    if (AbsSum(v) >= FLT_EPSILON)
    {
        const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        v[0] /= n, v[1] /= n, v[2] /= n;
    }
}

bool Normalise(double v[3])
{
    const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(n > 0.0) || !std::isfinite(n))
        return false;
    v[0] /= n, v[1] /= n, v[2] /= n;
    return true;
}

void Cross(const double a[3], const double b[3], double out[3])
{
    const double r[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    std::copy(r, r + 3, out);
}

double Dot(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Every polyline of one cut, moved into the profile frame: each vertex is
// taken in its section's plane frame and mapped through the profile frame.
void GatherSections(const tSectionPolylines& cut, const double profileFrame[12], tSectionPolylines& sections)
{
    for (const tFramePolyline<cVertex>& polyline : cut.items)
    {
        if (polyline.vertices.empty())
            continue;
        tFramePolyline<cVertex> gathered;
        std::copy(profileFrame, profileFrame + 12, gathered.frame);
        for (std::uint32_t k = 0; k < polyline.GetVertexCount(); ++k)
            AppendVertexInFrame(gathered, polyline.GetVertexInFrame(k));
        sections.Add(gathered);
    }
}

struct stProfileChoice
{
    GUID classId;
    std::uint32_t mergeMode;
    std::uint8_t rebuild;
    float smoothing;
};

// Line or arc for the automatic kind: the better fit, but an arc of less
// than sixty degrees counts as straight.
bool AutomaticPrefersLine(const tSectionPolylines& sections)
{
    double start[3] = {}, end[3] = {}, centre[3] = {}, middle[3] = {};
    double radius = 0.0;
    const double lineRms = FitLineToPolylines(sections, start, end, false);
    const double arcRms = FitArcToPolylines(sections, centre, radius, start, middle, end, false);
    if (lineRms <= arcRms)
        return true;
    const std::int32_t longest = FindLongestPolyline(sections);
    if (longest < 0)
        return true;
    return sections[static_cast<std::uint32_t>(longest)].GetLength() < radius * kSixtyDegrees;
}

// The current profile rebuilt from the sections in the frame, given to the
// surface; false (the old profile kept) when there is none or it fails.
bool RefitCurrentProfile(ST_IProfiledSurface& surface, const double frame[12], std::int32_t curveId,
                         const tSectionPolylines& sections)
{
    ST_ISectionCurve* current = surface.GetProfileCurve();
    if (current == nullptr)
        return false;
    std::unique_ptr<ST_ISectionCurve> clone = current->Clone();
    if (!clone)
        return false;
    clone->Assign(*current);
    clone->SetId(static_cast<std::uint32_t>(curveId));
    double copy[12];
    std::copy(frame, frame + 12, copy);
    if (!clone->RebuildWire(copy, sections, 1.0f, nullptr))
        return false;
    return surface.SetProfile(clone.get(), 0);
}

void CutRegion(cMeshPlaneSectioner& sectioner, const cMesh& mesh, const double frame[12], tSectionPolylines& out)
{
    SectionMeshByPlane(sectioner, &mesh, frame, kRegionBit, out, FLT_EPSILON, 0.0);
}

// +1 when the points wind counter-clockwise about the direction (the
// closing chord included), -1 when clockwise, 0 when they enclose nothing.
double WindingAbout(const std::vector<t3DPoint<double>>& points, const double direction[3])
{
    double area[3] = {0.0, 0.0, 0.0};
    for (std::size_t i = 0; i < points.size(); ++i)
    {
        const t3DPoint<double>& a = points[i];
        const t3DPoint<double>& b = points[(i + 1) % points.size()];
        area[0] += (a.y - b.y) * (a.z + b.z);
        area[1] += (a.z - b.z) * (a.x + b.x);
        area[2] += (a.x - b.x) * (a.y + b.y);
    }
    const double s = Dot(area, direction);
    return s > 0.0 ? 1.0 : (s < 0.0 ? -1.0 : 0.0);
}

// A circle fit over all the records: in place when they are all active (a
// whole 10M-triangle scan's copy was 200 MB), else an activated copy.
std::unique_ptr<cCircleFit> AllRecordsCircleFit(const cFitContainer& points)
{
    if (points.CountActive() == points.Points().size())
        return std::make_unique<cCircleFit>(points, kShareRecords);
    auto fit = std::make_unique<cCircleFit>(points.Points());
    fit->ActivateAllPoints();
    return fit;
}

// The axis of a free revolved fit. The circle through the points (the
// normal of their best plane, the centre of their circle in it) holds for a
// band around the part; a strip along it (a stroke down a knob) is as tall
// as it is wide, and its best plane stands along the axis. The line that
// the point normals meet is then taken instead, when the normals agree
// with it clearly better than with the circle's axis.
bool FitAxisOfRevolution(const cFitContainer& points, cCircleFit& fit, double axis[3], double centre[3],
                         double& radius, double mean[3], bool& haveMean)
{
    const bool circle = FitCircle3D(fit, axis, centre, radius, mean);
    haveMean = circle;
    double lineAxis[3], linePoint[3];
    if (!EstimateRevolutionAxisFromNormals(points, lineAxis, linePoint))
        return circle;
    if (circle)
    {
        double off[2];
        MedianNormalOffMeridians(points, lineAxis, linePoint, axis, centre, off);
        if (!(off[0] < kClearlyBetter * off[1]))
            return true;
    }
    // The circle's sense, when it found one, so that the profile keeps its
    // way up.
    const double sense = circle && Dot(lineAxis, axis) < 0.0 ? -1.0 : 1.0;
    for (int k = 0; k < 3; ++k)
        axis[k] = sense * lineAxis[k], centre[k] = linePoint[k];
    // The arc's ends only give directions about the axis: any radius will
    // do where the circle found none.
    if (!circle || !(radius > 0.0) || !std::isfinite(radius))
        radius = 1.0;
    return true;
}

// The direction of a free extruded fit. The estimate from the point
// positions (the normal of their best plane, or a direction across it when
// the points lie to one side) holds for a flat wall; a strip of a round boss
// bulges to one side of its best plane only a little, and that normal
// points out of the boss, across the extrusion. The direction that the
// normals stand square to then replaces it (true), when they agree with it
// clearly better.
bool PreferDirectionFromNormals(const cFitContainer& points, double direction[3])
{
    double fromNormals[3];
    if (!EstimateExtrusionDirectionFromNormals(points, fromNormals))
        return false;
    // Both medians from one read of the records.
    double medians[2];
    MedianNormalAlongDirections(points, fromNormals, direction, medians);
    if (!(medians[0] < kClearlyBetter * medians[1]))
        return false;
    std::copy(fromNormals, fromNormals + 3, direction);
    return true;
}

// A draft sample's plane: its tangent as z and the extrusion direction as
// x, through its point, as single-precision axes.
void DraftSampleFrame(const double origin[3], const double normal[3], const double xDirection[3], double frame[12]);
// The slope of the region's cut by a draft sample's plane nearest its point.
void MeasureDraftCut(cMeshPlaneSectioner& sectioner, const cMesh& mesh, const double origin[3],
                     const double frame[12], double& sum, std::uint32_t& count);
// ApplyDraftAngle on the region already marked, its triangles listed (read
// only when the draft is measured).
void DraftMarkedRegion(cMesh& mesh, ST_IProfiledSurface& surface, std::uint32_t draftMode, double draftAngle,
                       const std::vector<std::uint32_t>& region);
// MeasureDraftAngle over the marked region's listed triangles.
double MeasureDraftAngleOver(const cMesh& mesh, ST_IProfiledSurface& surface,
                             const std::vector<std::uint32_t>& region);

} // namespace

void MarkRegionFromSeeds(cMesh& mesh, const std::vector<std::uint32_t>& seeds, bool withVertices,
                         std::vector<std::uint32_t>* listed)
{
    // The seeds' labels; then, a block at a time on the shared pool, every
    // vertex's bit cleared and every triangle's bit set exactly when its
    // label is one of them (with its corners' when the vertices are asked
    // for): what clearing all and flagging each label in turn leaves.
    const std::uint32_t count = mesh.GetTriangleCount();
    std::vector<std::uint32_t> labels;
    for (std::uint32_t seed : seeds)
    {
        if (seed >= count)
            continue;
        const std::uint32_t label = mesh.GetTriangle(seed)->GetLabel();
        if (std::find(labels.begin(), labels.end(), label) == labels.end())
            labels.push_back(label);
    }
    if (withVertices)
    {
        const std::uint32_t vertexCount = mesh.GetVertexCount();
        auto clear = [&](std::size_t block) {
            const std::uint32_t end = std::min<std::uint32_t>(vertexCount, std::uint32_t(block + 1) * kMarkBlock);
            for (std::uint32_t i = std::uint32_t(block) * kMarkBlock; i < end; ++i)
                mesh.GetVertex(i)->flags &= ~static_cast<std::uint32_t>(kRegionBit);
        };
        ParallelForEach(SharedThreadPool(), (std::size_t{vertexCount} + kMarkBlock - 1) / kMarkBlock, 1, clear);
    }
    // Each block's region triangles, when they are asked for.
    std::vector<std::vector<std::uint32_t>> found(listed != nullptr ? (std::size_t{count} + kMarkBlock - 1) / kMarkBlock
                                                                    : 0);
    auto mark = [&](std::size_t block) {
        const std::uint32_t end = std::min<std::uint32_t>(count, std::uint32_t(block + 1) * kMarkBlock);
        for (std::uint32_t i = std::uint32_t(block) * kMarkBlock; i < end; ++i)
        {
            cMeshTriangle& t = *mesh.GetTriangle(i);
            if (std::find(labels.begin(), labels.end(), t.GetLabel()) == labels.end())
            {
                t.flags &= static_cast<std::uint8_t>(~kRegionBit);
                continue;
            }
            t.flags |= kRegionBit;
            if (listed != nullptr)
                found[block].push_back(i);
            cVertex* corners[3];
            if (!withVertices || !mesh.GetCorners(t, corners))
                continue;
            // A vertex is shared with triangles of other blocks. Most corners
            // were flagged by an earlier triangle: only a corner still without
            // the bit takes the atomic step, which holds its cache line.
            for (cVertex* v : corners)
            {
                std::atomic_ref<std::uint32_t> flags(v->flags);
                if ((flags.load(std::memory_order_relaxed) & kRegionBit) == 0)
                    flags.fetch_or(kRegionBit, std::memory_order_relaxed);
            }
        }
    };
    ParallelForEach(SharedThreadPool(), (std::size_t{count} + kMarkBlock - 1) / kMarkBlock, 1, mark);
    if (listed == nullptr)
        return;
    std::size_t total = 0;
    for (const std::vector<std::uint32_t>& block : found)
        total += block.size();
    listed->clear();
    listed->reserve(total);
    for (const std::vector<std::uint32_t>& block : found)
        listed->insert(listed->end(), block.begin(), block.end());
}

namespace
{

// The indices of the set bits (bit i % 64 of word i / 64), ascending: each
// block of words counted and then written from where its count starts, on
// the shared pool.
std::vector<std::uint32_t> ListSetBits(const std::vector<std::uint64_t>& bits)
{
    constexpr std::size_t kWords = 1024;
    const std::size_t blocks = (bits.size() + kWords - 1) / kWords;
    std::vector<std::size_t> firstOf(blocks + 1, 0);
    auto count = [&](std::size_t b) {
        std::size_t n = 0;
        for (std::size_t w = b * kWords; w < std::min(bits.size(), (b + 1) * kWords); ++w)
            n += static_cast<std::size_t>(std::popcount(bits[w]));
        firstOf[b + 1] = n;
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, count);
    for (std::size_t b = 0; b < blocks; ++b)
        firstOf[b + 1] += firstOf[b];
    std::vector<std::uint32_t> listed(firstOf[blocks]);
    auto write = [&](std::size_t b) {
        std::uint32_t* to = listed.data() + firstOf[b];
        for (std::size_t w = b * kWords; w < std::min(bits.size(), (b + 1) * kWords); ++w)
            for (std::uint64_t word = bits[w]; word != 0; word &= word - 1)
                *to++ = static_cast<std::uint32_t>(w * 64 + static_cast<std::size_t>(std::countr_zero(word)));
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, write);
    return listed;
}

} // namespace

bool BuildRevolvedFromSections(const cFitContainer& points, cMesh& mesh, ST_IProfiledSurface& surface,
                               const std::vector<std::uint32_t>& seeds, const stProfileFitParams& params,
                               bool markRegion, const std::vector<std::uint64_t>* markedBits)
{
    // The axis: direction d through c, and the arc's start, middle and end.
    double d[3], c[3], start[3] = {}, middle[3] = {}, end[3] = {};
    std::copy(params.direction, params.direction + 3, d);
    std::copy(params.point, params.point + 3, c);
    if (!params.directionFixed && !params.pointFixed)
    {
        const std::unique_ptr<cCircleFit> fit = AllRecordsCircleFit(points);
        double radius = 0.0;
        // The records' mean as the circle fit found it, for the arc's ends:
        // a whole scan's records are not read again for it.
        double mean[3];
        bool haveMean = false;
        if (!FitAxisOfRevolution(points, *fit, d, c, radius, mean, haveMean))
            return false;
        if (!haveMean)
            fit->GetMeanPosition(mean);
        GetArcEndsInFrame(*fit, d, c, radius, mean, middle, start, end);
    }
    else
    {
        // A given direction of any length becomes a unit axis before it
        // takes part in a frame.
        if (!Normalise(d))
            return false;
        if (!params.directionFixed && !FitArcAboutSphereAxis(points, d, c, start, middle, end))
            return false;
        if (!params.pointFixed && !FitArcInAxisPlane(points, d, c, start, middle, end))
            return false;
        if (params.directionFixed && params.pointFixed)
            GetArcEndsInFrame(*AllRecordsCircleFit(points), d, c, 10.0, middle, start, end);
    }
    if (!Normalise(d))
        return false;

    // The profile frame: u towards the arc start, the axis, w = u x d.
    double u[3] = {start[0] - c[0], start[1] - c[1], start[2] - c[2]};
    const double along = Dot(u, d);
    for (int k = 0; k < 3; ++k)
        u[k] -= along * d[k];
    if (!Normalise(u))
        return false;
    double w[3];
    Cross(u, d, w);
    NormaliseIfLong(w);
    double frame[12];
    SetMatrixColumns(frame, u, d, w);
    frame[3] = c[0], frame[7] = c[1], frame[11] = c[2];

    // The angular range from the start through the middle to the end.
    double e[3] = {end[0] - c[0], end[1] - c[1], end[2] - c[2]};
    double m[3] = {middle[0] - c[0], middle[1] - c[1], middle[2] - c[2]};
    double s[3] = {start[0] - c[0], start[1] - c[1], start[2] - c[2]};
    NormaliseIfLong(e), NormaliseIfLong(m), NormaliseIfLong(s);
    double cross[3];
    double a1 = std::acos(std::clamp(Dot(e, m), -1.0, 1.0));
    Cross(e, m, cross);
    if (Dot(cross, d) < 0.0)
        a1 = -a1;
    double a2 = std::acos(std::clamp(Dot(m, s), -1.0, 1.0));
    Cross(m, s, cross);
    if (Dot(cross, d) < 0.0)
        a2 = -a2;
    const double sweep = std::fabs(a1) + std::fabs(a2);
    // Both signed steps are negative for an arc that runs counter-clockwise
    // about d from its start; the fan turns the way the arc runs, so that it
    // covers the region whichever way the arc ends were found.
    const double turn = a1 + a2 <= 0.0 ? 1.0 : -1.0;

    // Every cut visits the region's triangles only, not the whole scan, and
    // they are measured against every plane of the fan in one pass; the
    // marking lists them on its way.
    std::vector<std::uint32_t> region;
    if (markedBits != nullptr)
        region = ListSetBits(*markedBits);
    else if (markRegion)
        MarkRegionFromSeeds(mesh, seeds, false, &region);
    else
        region = TrianglesWithFlag(mesh, kRegionBit);

    const std::int32_t n = params.sectionCount;
    if (n > kMaxSweepSections)
        return false;
    tSectionPolylines sections;
    cMeshPlaneSectioner sectioner;
    sectioner.SetTriangleList(&region);
    std::vector<std::array<double, 12>> planes(static_cast<std::size_t>(std::max(n, 0)) + 1);
    for (std::int32_t i = 0; i <= n; ++i)
    {
        double* plane = planes[static_cast<std::size_t>(i)].data();
        std::copy(frame, frame + 12, plane);
        if (n > 0)
            RotateFrameAboutY(plane, turn * i * sweep / n);
    }
    sectioner.SetMesh(&mesh);
    sectioner.StackCuts(planes, kRegionBit);
    // Only the half-plane on the section's own side of the axis: the other
    // half lies at the opposite angle and would fold a region of more than
    // half a turn onto the far side of the axis. The planes are cut side by
    // side on the pool, and their sections gathered in the planes' order.
    const float halfPlane[4] = {0.0f, FLT_MAX, -FLT_MAX, FLT_MAX};
    std::vector<tSectionPolylines> cuts;
    if (sectioner.CutStackSideBySide(planes, FLT_EPSILON, 0.0, cuts, halfPlane))
        for (const tSectionPolylines& cut : cuts)
            GatherSections(cut, frame, sections);
    else
        for (std::int32_t i = 0; i <= n; ++i)
        {
            const double* plane = planes[static_cast<std::size_t>(i)].data();
            tSectionPolylines cut;
            sectioner.UseStackedCut(static_cast<std::size_t>(i));
            sectioner.SetFrame(plane);
            sectioner.SetMesh(&mesh);
            sectioner.SetSectionRectangle(halfPlane[0], halfPlane[1], halfPlane[2], halfPlane[3]);
            sectioner.PrepareCrossingPoints();
            sectioner.CollectCrossingEdges(kRegionBit);
            sectioner.ExtractPolylines(cut, FLT_EPSILON, 0.0);
            sectioner.ClearCrossingPoints();
            GatherSections(cut, frame, sections);
        }
    if (sections.IsEmpty())
        return true;

    // The automatic choice fits a line and an arc to the sections, and the
    // profile it picks fits the same sections again: that fit is kept.
    const cPolylineFitReuse reuse;
    std::int32_t kind = params.profileKind;
    if (kind == 0)
        kind = AutomaticPrefersLine(sections) ? 1 : 2;
    const std::uint32_t curveId = static_cast<std::uint32_t>(std::max(n, 0));
    switch (kind)
    {
    case 1: return surface.SetProfileFromSections(CLSID_ST_TLineCurve, frame, curveId, sections, 1.0f, 0, 2, 1, 0.0f);
    case 2: return surface.SetProfileFromSections(CLSID_ST_TArcCurve, frame, curveId, sections, 1.0f, 0, 1, 1, 0.0f);
    case 3: return surface.SetProfileFromSections(CLSID_ST_TSplineCurve, frame, curveId, sections, 1.0f, 0, 0, 0, 20.0f);
    case 4: return surface.SetProfileFromSections(CLSID_ST_TComboCurve, frame, curveId, sections, 1.0f, 0, 0, 0, 0.0f);
    case 5: return RefitCurrentProfile(surface, frame, n, sections);
    default: return false;
    }
}

bool BuildExtrudedFromSections(const cFitContainer& points, cMesh& mesh, ST_IProfiledSurface& surface,
                               const std::vector<std::uint32_t>& seeds, const stProfileFitParams& params,
                               double positionFactor, bool markRegion)
{
    if (points.Points().size() < 3 && !(params.directionFixed && params.pointFixed))
        return false;
    const std::int32_t n = params.draftMode == 0 ? params.sectionCount : 1;
    if (n > kMaxSweepSections || !std::isfinite(positionFactor))
        return false;

    double d[3], p[3];
    std::copy(params.direction, params.direction + 3, d);
    std::copy(params.point, params.point + 3, p);
    if (!params.directionFixed && !params.pointFixed)
    {
        if (!EstimateExtrusionDirectionAndBase(points, d, p))
            return false;
        if (PreferDirectionFromNormals(points, d) && !ProjectCentroidOnPlane(points, d, p))
            return false;
    }
    else
    {
        if (!params.directionFixed && !EstimateExtrusionDirection(points, d))
            return false;
        if (!params.directionFixed)
            PreferDirectionFromNormals(points, d);
        if (!params.pointFixed && !ProjectCentroidOnPlane(points, d, p))
            return false;
    }
    if (!Normalise(d))
        return false;

    double reference[3], r[3];
    ReferenceAxisOf(d, reference);
    Cross(d, reference, r);
    NormaliseIfLong(r);
    double frame[12];
    MakeFrame3x4(frame, p, d, r);
    // A refit along the same direction keeps the profile's turn in its plane.
    if (const ST_ISectionCurve* profile = surface.GetProfileCurve())
    {
        const double zOld[3] = {profile->frame[2], profile->frame[6], profile->frame[10]};
        double zx[3];
        Cross(zOld, d, zx);
        if (std::sqrt(Dot(zx, zx)) < 0.0001)
            for (int row = 0; row < 3; ++row)
                for (int col = 0; col < 3; ++col)
                    frame[4 * row + col] = profile->frame[4 * row + col];
    }
    // Extent and sections follow the z column actually in use.
    const double z[3] = {frame[2], frame[6], frame[10]};

    // The marking lists the region's triangles on its way.
    std::vector<std::uint32_t> region;
    if (markRegion)
        MarkRegionFromSeeds(mesh, seeds, true, &region);
    else
        region = TrianglesWithFlag(mesh, kRegionBit);

    // The region's extent along z, a block of vertices at a time on the
    // shared pool (the least and greatest of the same values in any order).
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    const std::size_t extentBlocks = (std::size_t{vertexCount} + kMarkBlock - 1) / kMarkBlock;
    std::vector<std::array<float, 2>> extentOf(extentBlocks, std::array<float, 2>{FLT_MAX, -FLT_MAX});
    auto measure = [&](std::size_t block) {
        const std::uint32_t end = std::min<std::uint32_t>(vertexCount, std::uint32_t(block + 1) * kMarkBlock);
        float low = FLT_MAX, high = -FLT_MAX;
        for (std::uint32_t i = std::uint32_t(block) * kMarkBlock; i < end; ++i)
        {
            const cVertex& v = *mesh.GetVertex(i);
            if ((v.flags & kRegionBit) == 0 || (v.flags & kVertexFlagExcluded) != 0)
                continue;
            const float q = static_cast<float>(z[0] * (v.x - p[0]) + z[1] * (v.y - p[1]) + z[2] * (v.z - p[2]));
            low = std::min(low, q);
            high = std::max(high, q);
        }
        extentOf[block] = {low, high};
    };
    ParallelForEach(SharedThreadPool(), extentBlocks, 1, measure);
    float zmin = FLT_MAX, zmax = -FLT_MAX;
    for (const std::array<float, 2>& e : extentOf)
    {
        zmin = std::min(zmin, e[0]);
        zmax = std::max(zmax, e[1]);
    }
    if (zmin > zmax)
        return false;
    const float h = std::fabs(zmax - zmin);
    const double s0 = (static_cast<double>(zmax) + zmin) * 0.5 - (h * 0.5) * positionFactor;

    double profileFrame[12];
    std::copy(frame, frame + 12, profileFrame);
    for (int k = 0; k < 3; ++k)
        profileFrame[4 * k + 3] = p[k] + s0 * z[k];

    tSectionPolylines sections;
    cMeshPlaneSectioner sectioner;
    sectioner.SetTriangleList(&region);
    // The stack's planes differ in their origin alone: the region's
    // triangles are measured against all of them in one pass.
    std::vector<std::array<double, 12>> planes(static_cast<std::size_t>(std::max(n, 0)));
    // A single section (the tapered one) is cut where the tapered surface
    // puts its profile, half its length from s0: the region's middle,
    // whatever margin the length has around the region.
    const float middle = static_cast<float>((h * 0.5) * positionFactor);
    for (std::int32_t i = 0; i < n; ++i)
    {
        const float si = n == 1 ? middle
                                : static_cast<float>(i) * ((h - 2.0f * h / 50.0f) / static_cast<float>(n)) + h / 50.0f;
        double* plane = planes[static_cast<std::size_t>(i)].data();
        std::copy(frame, frame + 12, plane);
        for (int k = 0; k < 3; ++k)
            plane[4 * k + 3] = p[k] + (s0 + si) * z[k];
    }
    sectioner.SetMesh(&mesh);
    // The planes are cut side by side and gathered in their order.
    std::vector<tSectionPolylines> cuts;
    if (!sectioner.StackCuts(planes, kRegionBit) || !sectioner.CutStackSideBySide(planes, FLT_EPSILON, 0.0, cuts))
    {
        cuts.assign(planes.size(), tSectionPolylines());
        for (std::size_t i = 0; i < planes.size(); ++i)
        {
            sectioner.UseStackedCut(i);
            CutRegion(sectioner, mesh, planes[i].data(), cuts[i]);
        }
    }
    for (const tSectionPolylines& cut : cuts)
        GatherSections(cut, profileFrame, sections);
    if (sections.IsEmpty())
        return false;

    stExtrusionParameters extrusion;
    extrusion.length = static_cast<float>(h * positionFactor);
    extrusion.draftFlag = params.draftMode;
    extrusion.draftAngle = params.draftAngle;
    surface.SetDirection(&extrusion);

    // The automatic choice fits a line and an arc to the sections, and the
    // profile it picks fits the same sections again: that fit is kept.
    const cPolylineFitReuse reuse;
    std::int32_t kind = params.profileKind;
    if (kind == 0)
        kind = AutomaticPrefersLine(sections) ? 1 : 2;
    const std::uint32_t curveId = static_cast<std::uint32_t>(std::max(n, 0));
    bool fitted = false;
    switch (kind)
    {
    case 1:
        fitted = surface.SetProfileFromSections(CLSID_ST_TLineCurve, profileFrame, curveId, sections, 1.0f, 0, 2, 1, 0.0f);
        break;
    case 2:
        fitted = surface.SetProfileFromSections(CLSID_ST_TArcCurve, profileFrame, curveId, sections, 1.0f, 0, 1, 1, 0.0f);
        break;
    case 3:
        fitted =
            surface.SetProfileFromSections(CLSID_ST_TSplineCurve, profileFrame, curveId, sections, 1.0f, 0, 3, 1, 10.0f);
        break;
    case 4:
        fitted =
            surface.SetProfileFromSections(CLSID_ST_TComboCurve, profileFrame, curveId, sections, 1.0f, 0, 0, 1, 0.0f);
        break;
    case 5: fitted = RefitCurrentProfile(surface, profileFrame, params.sectionCount, sections); break;
    default: return false;
    }
    // The region marked above is still marked: nothing since has changed a
    // flag or a label.
    if (markRegion)
        DraftMarkedRegion(mesh, surface, params.draftMode, params.draftAngle, region);
    else
        ApplyDraftAngle(seeds, mesh, surface, params.draftMode, params.draftAngle);
    return fitted;
}

bool ApplyDraftAngle(const std::vector<std::uint32_t>& seeds, cMesh& mesh, ST_IProfiledSurface& surface,
                     std::uint32_t draftMode, double draftAngle)
{
    std::vector<std::uint32_t> region;
    MarkRegionFromSeeds(mesh, seeds, true, draftMode == 1 ? &region : nullptr);
    DraftMarkedRegion(mesh, surface, draftMode, draftAngle, region);
    return true;
}

namespace
{

void DraftMarkedRegion(cMesh& mesh, ST_IProfiledSurface& surface, std::uint32_t draftMode, double draftAngle,
                       const std::vector<std::uint32_t>& region)
{
    stExtrusionParameters extrusion;
    if (const auto* current = static_cast<const stExtrusionParameters*>(surface.GetDirectionPtr()))
        extrusion.length = current->length;
    double angle = draftAngle;
    if (draftMode == 1)
    {
        angle = MeasureDraftAngleOver(mesh, surface, region);
        if (angle == -FLT_MAX)
            angle = 0.0;
    }
    extrusion.draftFlag = draftMode;
    extrusion.draftAngle = draftMode == 0 ? 0.0 : angle;
    surface.SetDirection(&extrusion);
    surface.BuildHostSurface();
}

double MeasureDraftAngleOver(const cMesh& mesh, ST_IProfiledSurface& surface,
                             const std::vector<std::uint32_t>& region)
{
    ST_ISectionCurve* profile = surface.GetProfileCurve();
    if (profile == nullptr || profile->GetWire() == nullptr || !profile->GetWire()->IsValid())
        return -FLT_MAX;
    const double direction[3] = {profile->frame[2], profile->frame[6], profile->frame[10]};

    // Samples per piece: the sub-curves of a sketch, the segments of a
    // chain, else the curve itself.
    struct stSample
    {
        t3DPoint<double> point, tangent;
    };
    std::vector<stSample> samples;
    auto sampleCurve = [&samples](const ST_ISectionCurve& curve, std::uint32_t pieces) {
        for (std::uint32_t j = 0; j < 20 * pieces; ++j)
        {
            stSample s;
            if (curve.EvaluateInWorld(j / (20.0 * pieces), &s.point, &s.tangent, nullptr))
                samples.push_back(s);
        }
    };
    const std::uint32_t segments = profile->GetSegmentCount();
    bool sampled = false;
    for (std::uint32_t i = 0; i < segments; ++i)
        if (ST_ISectionCurve* part = profile->GetSegment(i); part != nullptr && part != profile)
        {
            sampleCurve(*part, 1);
            sampled = true;
        }
    if (!sampled)
        sampleCurve(*profile, std::max<std::uint32_t>(segments, 1));
    if (samples.empty())
        return -FLT_MAX;

    // The slope is taken outwards: the sample frame's y (tangent x
    // direction) points out of a profile that winds counter-clockwise.
    std::vector<t3DPoint<double>> outline;
    for (const stSample& s : samples)
        outline.push_back(s.point);
    const double outwards = WindingAbout(outline, direction) < 0.0 ? -1.0 : 1.0;

    // Every sample's cut visits the region's triangles only, measured
    // against all the samples' planes in one pass.
    std::vector<std::array<double, 12>> frames(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        DraftSampleFrame(samples[i].point.Data(), samples[i].tangent.Data(), direction, frames[i].data());
    cMeshPlaneSectioner sectioner;
    sectioner.SetTriangleList(&region);
    sectioner.SetMesh(&mesh);
    sectioner.StackCuts(frames, kRegionBit);
    double sum = 0.0;
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < samples.size(); ++i)
    {
        sectioner.UseStackedCut(i);
        MeasureDraftCut(sectioner, mesh, samples[i].point.Data(), frames[i].data(), sum, count);
    }
    return count > 0 ? outwards * sum / count : -FLT_MAX;
}

} // namespace

double MeasureDraftAngle(const cMesh& mesh, ST_IProfiledSurface& surface)
{
    return MeasureDraftAngleOver(mesh, surface, TrianglesWithFlag(mesh, kRegionBit));
}

void MeasureDraftSample(const cMesh& mesh, const double origin[3], const double normal[3], const double xDirection[3],
                        double& sum, std::uint32_t& count)
{
    double frame[12];
    DraftSampleFrame(origin, normal, xDirection, frame);
    cMeshPlaneSectioner sectioner;
    MeasureDraftCut(sectioner, mesh, origin, frame, sum, count);
}

namespace
{

void DraftSampleFrame(const double origin[3], const double normal[3], const double xDirection[3], double frame[12])
{
    const double zd[3] = {RoundToFloat(normal[0]), RoundToFloat(normal[1]), RoundToFloat(normal[2])};
    const double xd[3] = {RoundToFloat(xDirection[0]), RoundToFloat(xDirection[1]), RoundToFloat(xDirection[2])};
    std::fill(frame, frame + 12, 0.0);
    SetFrameFromTwoAxes(frame, zd, 2, xd, 0);
    frame[3] = origin[0], frame[7] = origin[1], frame[11] = origin[2];
}

void MeasureDraftCut(cMeshPlaneSectioner& sectioner, const cMesh& mesh, const double origin[3],
                     const double frame[12], double& sum, std::uint32_t& count)
{
    tSectionPolylines cut;
    CutRegion(sectioner, mesh, frame, cut);
    std::int32_t nearest = -1;
    double best = DBL_MAX;
    for (std::uint32_t i = 0; i < cut.GetCount(); ++i)
    {
        const tFramePolyline<cVertex>& polyline = cut[i];
        for (std::uint32_t k = 0; k + 1 < polyline.GetVertexCount(); ++k)
        {
            const double dist = PointSegmentDistance(origin, polyline.vertices[k], polyline.vertices[k + 1]);
            if (dist < best)
                best = dist, nearest = static_cast<std::int32_t>(i);
        }
    }
    if (nearest < 0)
        return;
    const tFramePolyline<cVertex>& chosen = cut[static_cast<std::uint32_t>(nearest)];
    tFitPointQueue local;
    for (std::uint32_t k = 0; k < chosen.GetVertexCount(); ++k)
    {
        const cVertex v = chosen.GetVertexInFrame(k);
        stFitPoint point;
        point.position[0] = v.x, point.position[1] = v.y, point.position[2] = v.z;
        point.normal[0] = 1.0f;
        point.residual = FLT_MAX;
        local.push_back(point);
    }
    cLineFit fit(local);
    fit.ActivateAllPoints();
    double lineOrigin[3], dir[3];
    if (!fit.Fit(lineOrigin, dir))
        return;
    if (dir[0] < 0.0)
        dir[0] = -dir[0], dir[1] = -dir[1], dir[2] = -dir[2];
    double angle = std::acos(std::clamp(dir[0], -1.0, 1.0));
    if (dir[1] < 0.0)
        angle = -angle;
    sum += angle;
    count += 1;
}

} // namespace
