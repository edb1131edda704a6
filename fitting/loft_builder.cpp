#include "fitting/loft_builder.h"

#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/vector_math.h"
#include "fitting/mesh_plane_sectioner.h"
#include "fitting/polyline_simplify.h"
#include "fitting/section_geometry.h"
#include "fitting/sweep_surface_builders.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <vector>

namespace
{

// {82AE1B5E-F8B5-4965-AA3E-493BC09685EB}
constexpr GUID kLoftSplineClass = {0x82AE1B5E, 0xF8B5, 0x4965, {0xAA, 0x3E, 0x49, 0x3B, 0xC0, 0x96, 0x85, 0xEB}};
// {94DE93BB-F241-437D-8A1D-534626450648}
constexpr GUID kLoftArcClass = {0x94DE93BB, 0xF241, 0x437D, {0x8A, 0x1D, 0x53, 0x46, 0x26, 0x45, 0x06, 0x48}};
// {0DE6345F-FE18-4858-986A-CE6F2C0FA157}
constexpr GUID kLoftLineClass = {0x0DE6345F, 0xFE18, 0x4858, {0x98, 0x6A, 0xCE, 0x6F, 0x2C, 0x0F, 0xA1, 0x57}};

// Ends closer than this make a section polyline a loop.
constexpr float kClosedSectionTolerance = 1e-5f;
constexpr std::uint32_t kRegionFlag = 4;
// A section end is lengthened only by more than this share of the step
// between the section's points.
constexpr double kLeastEndStep = 1e-3;

using Vec = t3DPoint<double>;

double Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Cross(const Vec& a, const Vec& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec AsFloats(const Vec& v)
{
    return {RoundToFloat(v.x), RoundToFloat(v.y), RoundToFloat(v.z)};
}
// Unit vector in float precision widened back, as the planes store them.
Vec UnitAsFloats(const Vec& v)
{
    const float x = static_cast<float>(v.x), y = static_cast<float>(v.y), z = static_cast<float>(v.z);
    const float length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0f))
        return {0.0, 0.0, 0.0};
    return {static_cast<double>(x / length), static_cast<double>(y / length), static_cast<double>(z / length)};
}
// Normalised when its 1-norm is not negligible, else as it is.
Vec NormaliseTangent(const Vec& v)
{
    if (std::fabs(v.x) + std::fabs(v.y) + std::fabs(v.z) < FLT_EPSILON)
        return v;
    const double length = std::sqrt(Dot(v, v));
    return {v.x / length, v.y / length, v.z / length};
}

GUID ClassOfKind(std::uint8_t kind)
{
    switch (kind)
    {
    case kLoftCurveArc:
        return kLoftArcClass;
    case kLoftCurveLine:
        return kLoftLineClass;
    default:
        return kLoftSplineClass;
    }
}

// The x axis a section plane turned to normal n takes: (n x e) x n with e
// the world axis of n's smallest component.
Vec DefaultPlaneXAxis(const Vec& n)
{
    const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    Vec e{0, 1, 0};
    if (ax <= std::min(ay, az))
        e = {1, 0, 0};
    else if (az < ay)
        e = {0, 0, 1};
    return Cross(Cross(n, e), n);
}

bool IsOpenSplineWithSection(const ST_ISectionCurve* curve)
{
    if (curve == nullptr || curve->GetWire() == nullptr || !curve->GetWire()->IsValid() || curve->IsClosed())
        return false;
    const tPolyline<cVertex>* polyline = curve->GetSectionPolyline();
    return polyline != nullptr && polyline->GetVertexCount() > 1;
}

cVertex ExtensionVertex(const cVertex& from, const Vec& direction, double distance)
{
    cVertex v;
    v.x = static_cast<float>(from.x + distance * direction.x);
    v.y = static_cast<float>(from.y + distance * direction.y);
    v.z = static_cast<float>(from.z + distance * direction.z);
    v.flags = kRegionFlag;
    return v;
}

} // namespace

t3DPoint<double> LoftPlaneNormal(const t3DPoint<double>& tangent, std::uint8_t mode)
{
    switch (mode)
    {
    case 1:
        return {0.0, 0.0, tangent.z > 0.0 ? 1.0 : -1.0};
    case 2:
        return {tangent.x > 0.0 ? 1.0 : -1.0, 0.0, 0.0};
    case 3:
        return {0.0, tangent.y > 0.0 ? 1.0 : -1.0, 0.0};
    default:
        return tangent;
    }
}

void GetPolylineXRange(const tPolyline<cVertex>& polyline, double& xmin, double& xmax)
{
    xmin = FLT_MAX;
    xmax = -FLT_MAX;
    for (const cVertex& v : polyline.vertices)
    {
        xmin = std::min(xmin, static_cast<double>(v.x));
        xmax = std::max(xmax, static_cast<double>(v.x));
    }
}

namespace
{

// The frame of the section plane (origin, normal, x axis), its axes in
// single precision; false when an axis has no length.
bool SectionPlaneFrame(const Vec& origin, const Vec& normal, const Vec& xAxis, double frame[12])
{
    const Vec z = UnitAsFloats(normal);
    const Vec x = UnitAsFloats(xAxis);
    if (Dot(z, z) == 0.0 || Dot(x, x) == 0.0)
        return false;
    MakeIdentity3x4(frame);
    const double zc[3] = {z.x, z.y, z.z}, xc[3] = {x.x, x.y, x.z};
    SetFrameFromTwoAxes(frame, zc, 2, xc, 0);
    frame[3] = origin.x;
    frame[7] = origin.y;
    frame[11] = origin.z;
    return true;
}

// Cuts the marked region in the plane of the frame (through origin) with
// the sectioner, keeps the polyline nearest the origin and gives it,
// simplified, to the curve: a spline takes it in plane coordinates, arcs and
// lines in the world. False when nothing of the region lies in the plane or
// the curve refuses the points.
bool FitSectionCurveToCut(const cMesh& mesh, cMeshPlaneSectioner& sectioner, const double frame[12],
                          const Vec& origin, std::uint8_t joinAll, double tolerance, ST_ISectionCurve& curve)
{
    tSectionPolylines cut;
    SectionMeshByPlane(sectioner, &mesh, frame, kSectionTriangleMask, cut, joinAll != 0 ? FLT_MAX : FLT_EPSILON,
                       0.0);
    if (cut.IsEmpty())
        return false;

    const double o[3] = {origin.x, origin.y, origin.z};
    const tFramePolyline<cVertex>* nearest = nullptr;
    double best = FLT_MAX;
    for (const tFramePolyline<cVertex>& polyline : cut.items)
        for (std::uint32_t i = 1; i < polyline.GetVertexCount(); ++i)
        {
            const double d = PointSegmentDistance(o, *polyline.GetVertex(i - 1), *polyline.GetVertex(i));
            if (d < best)
            {
                best = d;
                nearest = &polyline;
            }
        }
    if (nearest == nullptr)
        return false;

    const GUID kind = curve.GetClassGuid();
    const bool isSpline = kind == kLoftSplineClass;
    const bool isArc = kind == kLoftArcClass;
    tPolyline<cVertex> local;
    tPolyline<cVertex> world;
    for (std::uint32_t i = 0; i < nearest->GetVertexCount(); ++i)
    {
        local.AddVertex(isSpline ? nearest->GetVertexInFrame(i) : *nearest->GetVertex(i));
        world.AddVertex(*nearest->GetVertex(i));
    }
    const bool closed = IsPolylineClosed(world, kClosedSectionTolerance);
    if (closed)
    {
        local.RemoveVertexAt(local.GetVertexCount() - 1);
        world.RemoveVertexAt(world.GetVertexCount() - 1);
    }
    curve.SetClosed(closed || isArc);
    curve.SetMergeMode(isArc ? 1u : kind == kLoftLineClass ? 2u : 0u);
    curve.SetSmoothing(-1.0f);
    curve.SetId(1);
    SimplifyPolyline(local, static_cast<float>(tolerance), local.GetLength() / 10.0);
    return curve.FitToPolyline(frame, local, 0.0, 0);
}

} // namespace

void ResampleCurveEnds(const ST_ISectionCurve& curve, std::int32_t n, t3DPoint<double>& startTangent,
                       t3DPoint<double>& endTangent)
{
    startTangent = {0.0, 0.0, 0.0};
    endTangent = {0.0, 0.0, 0.0};
    const ST_IWire* wire = curve.GetWire();
    if (n < 2 || wire == nullptr)
        return;
    tPolyline<cVertex> samples;
    for (std::int32_t i = 0; i < n; ++i)
    {
        Vec p, t;
        if (!wire->EvaluateAtFraction(static_cast<double>(i) / static_cast<double>(n - 1), &p, &t))
            continue;
        const double q[3] = {p.x, p.y, p.z};
        samples.AddPoint3d(q);
    }
    std::unique_ptr<ST_ISectionCurve> clone = curve.Clone();
    if (!clone)
        return;
    double identity[12];
    MakeIdentity3x4(identity);
    if (!clone->FitToPolyline(identity, samples, 0.0, 0))
        return;
    startTangent = clone->GetStartTangent();
    endTangent = clone->GetEndTangent();
}

void AlignSplineSectionEnds(stLoftSections& loft, double margin)
{
    if (loft.sections.size() < 2)
        return;
    std::vector<ST_ISectionCurve*> open;
    for (LoftSection& section : loft.sections)
        if (IsOpenSplineWithSection(section.curve.get()))
            open.push_back(section.curve.get());

    std::vector<double> lows(open.size()), highs(open.size());
    double low = FLT_MAX, high = -FLT_MAX;
    for (std::size_t i = 0; i < open.size(); ++i)
    {
        GetPolylineXRange(*open[i]->GetSectionPolyline(), lows[i], highs[i]);
        low = std::min(low, lows[i]);
        high = std::max(high, highs[i]);
    }
    const double g = (high - low) * margin;

    for (std::size_t i = 0; i < open.size(); ++i)
    {
        ST_ISectionCurve& curve = *open[i];
        Vec ts, te;
        ResampleCurveEnds(curve, loft.sampling, ts, te);
        ts = NormaliseTangent(ts);
        te = NormaliseTangent(te);
        tPolyline<cVertex> section(*curve.GetSectionPolyline());
        // A cut runs either way along its plane's x axis: a section whose
        // points run towards smaller x starts at the high end of the range.
        const bool forward = section.GetLastVertex()->x >= section.GetFirstVertex()->x;
        const double along = forward ? 1.0 : -1.0;
        const double startGap = forward ? lows[i] - low : high - highs[i];
        const double endGap = forward ? high - highs[i] : lows[i] - low;
        // A section ends where the marked region does: an end moves at most
        // one step of its own points, which evens the ragged border of a
        // brushed region without reaching over scan the user left unmarked
        // (a band that bends or slants would otherwise fill the rectangle
        // around it).
        const double step = section.GetLength() / static_cast<double>(section.GetVertexCount() - 1);
        // A tangent with no x along the section's run would put the added
        // point at infinity or behind the section: that end stays.
        const double startReach = along * ts.x > FLT_EPSILON ? std::min(step, (startGap + g) / (along * ts.x)) : 0.0;
        const double endReach = along * te.x > FLT_EPSILON ? std::min(step, (endGap + g) / (along * te.x)) : 0.0;
        // Ends that differ by the rounding of their float coordinates are
        // level already: a point that close would pin the spline's end
        // tangent to the rounding.
        const double least = std::max(double(FLT_EPSILON), step * kLeastEndStep);
        if (startReach <= least)
            section.GetFirstVertex()->flags &= ~kRegionFlag;
        else
            section.InsertVertexAt(0, ExtensionVertex(*section.GetFirstVertex(), ts, -startReach));
        if (endReach <= least)
            section.GetLastVertex()->flags &= ~kRegionFlag;
        else
            section.AddVertex(ExtensionVertex(*section.GetLastVertex(), te, endReach));
        const double frame[12] = {curve.frame[0], curve.frame[1], curve.frame[2],  curve.frame[3],
                                  curve.frame[4], curve.frame[5], curve.frame[6],  curve.frame[7],
                                  curve.frame[8], curve.frame[9], curve.frame[10], curve.frame[11]};
        curve.FitToPolyline(frame, section, 0.0, 1);
    }
    for (ST_ISectionCurve* curve : open)
    {
        const tPolyline<cVertex> own(*curve->GetSectionPolyline());
        double frame[12];
        std::copy(curve->frame, curve->frame + 12, frame);
        curve->FitToPolyline(frame, own, 0.0, 0);
    }
}

void BuildLoftFromSections(cMesh& mesh, ST_IProfiledSurface& loft, const std::vector<std::uint32_t>& seeds,
                           double tolerance, double extensionRatio)
{
    MarkRegionFromSeeds(mesh, seeds, true);
    auto* block = static_cast<stLoftSections*>(loft.GetDirectionPtr());
    if (block == nullptr)
        return;
    block->expand = extensionRatio;
    block->threshold = tolerance;
    const GUID classId = ClassOfKind(block->curveKind);

    ST_ISectionCurve* guide = loft.GetProfileCurve();
    if (guide == nullptr)
        return;
    // Each entry's plane first: the region's triangles are then measured
    // against all of them in one pass, and each cut takes its plane's.
    struct stPlannedCut
    {
        LoftSection* entry;
        std::unique_ptr<ST_ISectionCurve> curve;
        Vec origin;
    };
    std::vector<stPlannedCut> cuts;
    std::vector<std::array<double, 12>> frames;
    if (!block->sections.empty() && guide->GetWire() != nullptr && guide->GetWire()->IsValid())
        for (LoftSection& entry : block->sections)
        {
            Vec p, t, b;
            if (!guide->EvaluateInWorld(entry.position, &p, &t, &b))
                continue;
            std::unique_ptr<ST_ISectionCurve> curve = loft.CreateCurveByClassGuid(classId);
            if (!curve)
                continue;
            const Vec origin = AsFloats(p);
            Vec n = AsFloats(LoftPlaneNormal(t, block->planeNormalMode));
            Vec x{1.0, 0.0, 0.0};
            if (Dot(n, n) > 0.0)
                x = AsFloats(DefaultPlaneXAxis(n));
            else
                n = {0.0, 0.0, 1.0}; // the plane keeps its initial facing
            if (Dot(b, b) > FLT_EPSILON)
            {
                // B parallel to the normal gives no axis: keep the default.
                const Vec bx = AsFloats(Cross(b, n));
                if (Dot(bx, bx) > FLT_EPSILON)
                    x = bx;
            }
            std::array<double, 12> frame;
            if (!SectionPlaneFrame(origin, n, x, frame.data()))
                continue;
            cuts.push_back(stPlannedCut{&entry, std::move(curve), origin});
            frames.push_back(frame);
        }
    if (!cuts.empty())
    {
        const std::vector<std::uint32_t> region = TrianglesWithFlag(mesh, kSectionTriangleMask);
        cMeshPlaneSectioner sectioner;
        sectioner.SetTriangleList(&region);
        sectioner.SetMesh(&mesh);
        sectioner.StackCuts(frames, kSectionTriangleMask);
        for (std::size_t k = 0; k < cuts.size(); ++k)
        {
            stPlannedCut& cut = cuts[k];
            sectioner.UseStackedCut(k);
            if (!FitSectionCurveToCut(mesh, sectioner, frames[k].data(), cut.origin, block->joinAll, tolerance,
                                      *cut.curve))
                continue;
            cut.entry->curve = std::move(cut.curve);
            cut.entry->flag = 0;
        }
    }
    if (block->curveKind == kLoftCurveSpline)
        AlignSplineSectionEnds(*block, 0.0);
    loft.BuildHostSurface();
}
