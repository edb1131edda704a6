// The loft works on OpenCASCADE's B-spline curves. Loops are closed
// smoothly, their seams lined up and their directions made to agree; the
// sections are then either rebuilt through the caller's number of samples
// or put on one knot vector within the tolerance
// (loft_compatible_sections.h), and skinned: by OpenCASCADE's section
// lofting where both ends are free, else by our own interpolation across
// them with the caller's end conditions (loft_skinning.h). Our curves go in as exact B-splines and the
// result comes back as our NURBS surface; nothing of OpenCASCADE leaks past
// the service, and its exceptions stop here.
#include "platform/host/geometry_services_loft.h"

#include "platform/geometry/mesh.h"
#include "platform/host/geometry_services_sweeps.h"
#include "platform/host/loft_compatible_sections.h"

#include "platform/host/loft_skinning.h"

#include <BRepAdaptor_Surface.hxx>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepOffsetAPI_ThruSections.hxx>
#include <GeomAPI_Interpolate.hxx>
#include <GeomAPI_ProjectPointOnCurve.hxx>
#include <GeomConvert.hxx>
#include <GeomConvert_CompCurveToBSplineCurve.hxx>
#include <Geom_BSplineCurve.hxx>
#include <Geom_BSplineSurface.hxx>
#include <Standard_Failure.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColStd_HArray1OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <TColgp_HArray1OfPnt.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Wire.hxx>

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <vector>

namespace
{

// More points than this per section would not rebuild it but bury it.
constexpr int kMaxRebuildSamples = 100000;

// Distinct knots with their multiplicities from a full knot vector.
void SplitKnots(const std::vector<double>& flat, std::vector<double>& knots, std::vector<int>& mults)
{
    for (double k : flat)
    {
        if (!knots.empty() && k - knots.back() <= 1e-12 * (1.0 + std::fabs(k)))
            ++mults.back();
        else
        {
            knots.push_back(k);
            mults.push_back(1);
        }
    }
}

Handle(Geom_BSplineCurve) ToOcct(const ON_Curve& curve)
{
    ON_NurbsCurveData data;
    if (!DezazCurveToNurbsData(curve, data) || data.order < 2 || data.cv_count < data.order)
        return nullptr;
    std::vector<double> knots;
    std::vector<int> mults;
    SplitKnots(data.knot, knots, mults);
    TColgp_Array1OfPnt poles(1, data.cv_count);
    TColStd_Array1OfReal weights(1, data.cv_count);
    for (int i = 0; i < data.cv_count; ++i)
    {
        const double* cv = data.CV(i);
        const double w = data.Weight(i);
        if (!(w > 0.0))
            return nullptr;
        const double s = data.is_rat ? 1.0 / w : 1.0;
        poles.SetValue(i + 1, gp_Pnt(cv[0] * s, cv[1] * s, cv[2] * s));
        weights.SetValue(i + 1, w);
    }
    TColStd_Array1OfReal k(1, static_cast<int>(knots.size()));
    TColStd_Array1OfInteger m(1, static_cast<int>(mults.size()));
    for (std::size_t i = 0; i < knots.size(); ++i)
    {
        k.SetValue(static_cast<int>(i) + 1, knots[i]);
        m.SetValue(static_cast<int>(i) + 1, mults[i]);
    }
    if (data.is_rat)
        return new Geom_BSplineCurve(poles, weights, k, m, data.order - 1);
    return new Geom_BSplineCurve(poles, k, m, data.order - 1);
}

// How far apart two loops run: the summed distances of their points at
// the same fractions of their parameters.
double LoopDistance(const Geom_BSplineCurve& a, const Geom_BSplineCurve& b)
{
    constexpr int kSamples = 16;
    const double a0 = a.FirstParameter(), a1 = a.LastParameter();
    const double b0 = b.FirstParameter(), b1 = b.LastParameter();
    double sum = 0.0;
    for (int i = 1; i < kSamples; ++i)
        sum += a.Value(a0 + (a1 - a0) * i / kSamples).Distance(b.Value(b0 + (b1 - b0) * i / kSamples));
    return sum;
}

// The same loop starting at parameter u: the piece after u, then the piece
// before it.
Handle(Geom_BSplineCurve) StartLoopAt(const Handle(Geom_BSplineCurve)& curve, double u)
{
    const double a = curve->FirstParameter(), b = curve->LastParameter();
    // A seam moved by less than this stays: the move would leave a sliver
    // that only adds knots (a loop through points bends off its circle
    // near its start by about that much, and the nearest point moves with
    // it).
    const double margin = 1e-4 * (b - a);
    if (u - a <= margin || b - u <= margin)
        return curve;
    Handle(Geom_BSplineCurve) after = Handle(Geom_BSplineCurve)::DownCast(curve->Copy());
    Handle(Geom_BSplineCurve) before = Handle(Geom_BSplineCurve)::DownCast(curve->Copy());
    after->Segment(u, b);
    before->Segment(a, u);
    // Appended explicitly: both ends of a loop's pieces meet the other
    // piece, and left to itself the join would put `before` first again.
    GeomConvert_CompCurveToBSplineCurve join(after);
    if (!join.Add(before, 1e-7, Standard_True))
        return nullptr;
    return join.BSplineCurve();
}

// The end tangent of the curve at its first (or last) parameter, of unit
// length; zero where the curve stands still.
gp_Vec EndTangent(const Geom_BSplineCurve& curve, bool last)
{
    gp_Vec d = curve.DN(last ? curve.LastParameter() : curve.FirstParameter(), 1);
    return d.Magnitude() > 0.0 ? d.Normalized() : d;
}

// The loop closed from its end back to its start, when the two do not meet
// already: a straight piece for a polyline, otherwise a cubic that leaves
// and enters along the curve's end tangents, bent as the circular arc
// between them (a loop cut from a scan closes as it runs).
Handle(Geom_BSplineCurve) CloseLoop(const Handle(Geom_BSplineCurve)& curve)
{
    const gp_Pnt start = curve->StartPoint(), end = curve->EndPoint();
    const double gap = start.Distance(end);
    if (gap <= 1e-7)
        return curve;
    const gp_Vec leave = EndTangent(*curve, true), enter = EndTangent(*curve, false);
    TColgp_Array1OfPnt poles(1, curve->Degree() == 1 ? 2 : 4);
    poles.SetValue(1, end);
    poles.SetValue(poles.Length(), start);
    if (curve->Degree() > 1)
    {
        const double turn = leave.Magnitude() > 0.0 && enter.Magnitude() > 0.0 ? leave.Angle(enter) : 0.0;
        const double handle = turn > 1e-6 ? gap * (2.0 / 3.0) * std::tan(turn / 4.0) / std::sin(turn / 2.0) : gap / 3.0;
        poles.SetValue(2, end.Translated(leave * handle));
        poles.SetValue(3, start.Translated(enter * -handle));
    }
    TColStd_Array1OfReal knots(1, 2);
    knots.SetValue(1, 0.0);
    knots.SetValue(2, gap);
    TColStd_Array1OfInteger mults(1, 2);
    mults.SetValue(1, poles.Length());
    mults.SetValue(2, poles.Length());
    Handle(Geom_BSplineCurve) bridge = new Geom_BSplineCurve(poles, knots, mults, poles.Length() - 1);
    GeomConvert_CompCurveToBSplineCurve join(curve);
    if (!join.Add(bridge, 1e-7, Standard_True))
        return nullptr;
    return join.BSplineCurve();
}

// `count` points of the curve at even steps of its parameter, from its
// start to its end (a loop: from its start round to just before it). For a
// curve through points at chord-length parameters these are even steps
// along it, and points that were taken evenly along a curve before are
// met again exactly.
std::vector<gp_Pnt> AtEvenParameters(const Geom_BSplineCurve& curve, int count, bool loop)
{
    const double a = curve.FirstParameter(), b = curve.LastParameter();
    std::vector<gp_Pnt> out;
    for (int j = 0; j < count; ++j)
        out.push_back(curve.Value(a + (b - a) * j / (loop ? count : count - 1)));
    return out;
}

// The smooth loop through the points at even parameters: a periodic cubic
// on uniform knots, whose value at knot j, (P[j] + 4 P[j+1] + P[j+2]) / 6,
// must be point j. The cyclic system is solved by sweeps: each one divides
// the error by two or more (the diagonal outweighs the rest twice over).
Handle(Geom_BSplineCurve) PeriodicThrough(const std::vector<gp_Pnt>& points)
{
    const int n = static_cast<int>(points.size());
    std::vector<gp_XYZ> centre(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        centre[static_cast<std::size_t>(i)] = points[static_cast<std::size_t>(i)].XYZ();
    for (int sweep = 0; sweep < 64; ++sweep)
        for (int i = 0; i < n; ++i)
        {
            const gp_XYZ& before = centre[static_cast<std::size_t>((i + n - 1) % n)];
            const gp_XYZ& after = centre[static_cast<std::size_t>((i + 1) % n)];
            centre[static_cast<std::size_t>(i)] = (6.0 * points[static_cast<std::size_t>(i)].XYZ() - before - after) / 4.0;
        }
    TColgp_Array1OfPnt poles(1, n);
    for (int i = 0; i < n; ++i)
        poles.SetValue(i + 1, gp_Pnt(centre[static_cast<std::size_t>((i + n - 1) % n)]));
    TColStd_Array1OfReal knots(1, n + 1);
    TColStd_Array1OfInteger mults(1, n + 1);
    for (int i = 0; i <= n; ++i)
    {
        knots.SetValue(i + 1, static_cast<double>(i) / n);
        mults.SetValue(i + 1, 1);
    }
    Handle(Geom_BSplineCurve) loop = new Geom_BSplineCurve(poles, knots, mults, 3, Standard_True);
    // Clamped at the seam: the skinning takes the loop as a curve that
    // starts and ends there.
    loop->SetNotPeriodic();
    loop->Segment(loop->FirstParameter(), loop->LastParameter());
    return loop;
}

// The section rebuilt as a cubic through `count` points at even steps
// along it, their new parameters even too: every section rebuilt with one
// count gets the same knots. A loop is rebuilt as a smooth loop (no corner
// at its seam).
Handle(Geom_BSplineCurve) Rebuild(const Geom_BSplineCurve& curve, int count, bool loop)
{
    const std::vector<gp_Pnt> points = AtEvenParameters(curve, count, loop);
    if (loop)
        return PeriodicThrough(points);
    Handle(TColgp_HArray1OfPnt) p = new TColgp_HArray1OfPnt(1, count);
    Handle(TColStd_HArray1OfReal) t = new TColStd_HArray1OfReal(1, count);
    for (int j = 0; j < count; ++j)
    {
        p->SetValue(j + 1, points[static_cast<std::size_t>(j)]);
        t->SetValue(j + 1, static_cast<double>(j) / (count - 1));
    }
    GeomAPI_Interpolate interpolate(p, t, Standard_False, 1e-12);
    interpolate.Perform();
    if (!interpolate.IsDone())
        return nullptr;
    return interpolate.Curve();
}


// The loop started at the point nearest `from`.
// The projection finds the extremes of the distance inside the curve's
// domain only: where the nearest point is the loop's own start (the seams
// already agree) it reports none, or only the farthest point, so the start
// competes too.
Handle(Geom_BSplineCurve) StartLoopNear(const Handle(Geom_BSplineCurve)& loop, const gp_Pnt& from)
{
    GeomAPI_ProjectPointOnCurve nearest(from, loop);
    if (nearest.NbPoints() == 0 || from.Distance(loop->StartPoint()) <= nearest.LowerDistance())
        return loop;
    return StartLoopAt(loop, nearest.LowerDistanceParameter());
}

// Lines the closed sections up with the first: each starts at the point
// nearest its predecessor's start and runs the way that keeps it closest
// to its predecessor, so the loft does not twist about its sections.
bool AlignLoops(std::vector<Handle(Geom_BSplineCurve)>& loops)
{
    for (std::size_t i = 1; i < loops.size(); ++i)
    {
        const Handle(Geom_BSplineCurve)& previous = loops[i - 1];
        Handle(Geom_BSplineCurve) forward = StartLoopNear(loops[i], previous->StartPoint());
        Handle(Geom_BSplineCurve) reversed = Handle(Geom_BSplineCurve)::DownCast(loops[i]->Reversed());
        if (!reversed.IsNull())
            reversed = StartLoopNear(reversed, previous->StartPoint());
        if (forward.IsNull() && reversed.IsNull())
            return false;
        if (forward.IsNull() ||
            (!reversed.IsNull() && LoopDistance(*reversed, *previous) < LoopDistance(*forward, *previous)))
            loops[i] = reversed;
        else
            loops[i] = forward;
    }
    return true;
}

ON_NurbsSurface* FromOcct(const Geom_BSplineSurface& s)
{
    const bool rational = s.IsURational() || s.IsVRational();
    const int nu = s.NbUPoles(), nv = s.NbVPoles();
    auto out = std::make_unique<ON_NurbsSurface>();
    if (!out->Create(rational, s.UDegree() + 1, s.VDegree() + 1, nu, nv))
        return nullptr;
    TColStd_Array1OfReal uflat(1, s.NbUPoles() + s.UDegree() + 1);
    TColStd_Array1OfReal vflat(1, s.NbVPoles() + s.VDegree() + 1);
    s.UKnotSequence(uflat);
    s.VKnotSequence(vflat);
    std::vector<double> uk(uflat.begin(), uflat.end()), vk(vflat.begin(), vflat.end());
    if (!out->SetKnots(0, uk.data()) || !out->SetKnots(1, vk.data()))
        return nullptr;
    for (int i = 0; i < nu; ++i)
        for (int j = 0; j < nv; ++j)
        {
            const gp_Pnt p = s.Pole(i + 1, j + 1);
            out->SetCV(i, j, ON_3dPoint(p.X(), p.Y(), p.Z()), s.Weight(i + 1, j + 1));
        }
    if (!out->IsValid())
        return nullptr;
    return out.release();
}

// Whether every control point of the surface lies within the box of the
// sections' control points grown by a quarter of its diagonal on every
// side: a surface through the sections keeps near them, one that swings
// between them does not.
bool StaysNearSections(const Geom_BSplineSurface& surface, const std::vector<Handle(Geom_BSplineCurve)>& curves)
{
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    const auto grow = [&](const gp_Pnt& p)
    {
        const double c[3] = {p.X(), p.Y(), p.Z()};
        for (int k = 0; k < 3; ++k)
            low[k] = std::min(low[k], c[k]), high[k] = std::max(high[k], c[k]);
    };
    for (const Handle(Geom_BSplineCurve)& curve : curves)
        for (int i = 1; i <= curve->NbPoles(); ++i)
            grow(curve->Pole(i));
    const double margin =
        0.25 * std::sqrt((high[0] - low[0]) * (high[0] - low[0]) + (high[1] - low[1]) * (high[1] - low[1]) +
                         (high[2] - low[2]) * (high[2] - low[2]));
    for (int i = 1; i <= surface.NbUPoles(); ++i)
        for (int j = 1; j <= surface.NbVPoles(); ++j)
        {
            const gp_Pnt p = surface.Pole(i, j);
            const double c[3] = {p.X(), p.Y(), p.Z()};
            for (int k = 0; k < 3; ++k)
                if (!(c[k] >= low[k] - margin && c[k] <= high[k] + margin))
                    return false;
        }
    return true;
}

// Free ends: OCCT's skinning, which smooths the surface across the sections
// as it passes through them (it bends less beyond the outer sections than
// a plain interpolation).
Handle(Geom_BSplineSurface) SkinFree(const std::vector<Handle(Geom_BSplineCurve)>& curves)
{
    BRepOffsetAPI_ThruSections loft(Standard_False, Standard_False, 1e-6);
    loft.CheckCompatibility(Standard_False);
    // A cubic across the sections: higher degrees through many sections
    // swing between them.
    loft.SetMaxDegree(3);
    for (const Handle(Geom_BSplineCurve)& curve : curves)
    {
        BRepBuilderAPI_MakeEdge edge(curve);
        if (!edge.IsDone())
            return nullptr;
        BRepBuilderAPI_MakeWire wire(edge.Edge());
        if (!wire.IsDone())
            return nullptr;
        loft.AddWire(wire.Wire());
    }
    loft.Build();
    if (!loft.IsDone())
        return nullptr;
    TopExp_Explorer faces(loft.Shape(), TopAbs_FACE);
    if (!faces.More())
        return nullptr;
    const TopoDS_Face face = TopoDS::Face(faces.Current());
    faces.Next();
    if (faces.More())
        return nullptr; // one surface or none
    // The adaptor reaches the face's surface without the triangulation
    // headers, which Debian's package ships incomplete.
    const BRepAdaptor_Surface adaptor(face, Standard_False);
    Handle(Geom_Surface) surface = adaptor.Surface().Surface();
    if (surface.IsNull())
        return nullptr;
    if (adaptor.Trsf().Form() != gp_Identity)
        surface = Handle(Geom_Surface)::DownCast(surface->Transformed(adaptor.Trsf()));
    return GeomConvert::SurfaceToBSplineSurface(surface);
}

ON_NurbsSurface* Loft(const CArgsDezazLoft& args)
{
    const int count = args.m_loftcurves.Count();
    if (count < 2 || !IsLoftEnd(args.m_start_condition) || !IsLoftEnd(args.m_end_condition))
        return nullptr;
    std::size_t closed = 0;
    std::vector<Handle(Geom_BSplineCurve)> curves;
    for (int i = 0; i < count; ++i)
    {
        const CDezazLoftCurve* section = args.m_loftcurves[i];
        if (section == nullptr || section->m_curve == nullptr || !section->m_curve->IsValid())
            return nullptr;
        Handle(Geom_BSplineCurve) curve = ToOcct(*section->m_curve);
        if (curve.IsNull())
            return nullptr;
        if (section->m_bClosed || section->m_curve->IsClosed())
        {
            curve = CloseLoop(curve);
            if (curve.IsNull())
                return nullptr;
            ++closed;
        }
        curves.push_back(curve);
    }
    const bool loops = closed != 0;
    if (loops && closed != static_cast<std::size_t>(count))
        return nullptr;
    const int samples = args.m_sample_count;
    const bool rebuild = samples >= (loops ? 3 : 2) && samples <= kMaxRebuildSamples;
    const auto rebuildAll = [&] {
        for (Handle(Geom_BSplineCurve)& curve : curves)
        {
            // An open section keeps at least as many points as it has
            // control points: the caller's count is a floor, and points
            // added past the ends (borders) stay where they are.
            const int own = loops ? samples : std::max(samples, std::min(curve->NbPoles(), kMaxRebuildSamples));
            curve = Rebuild(*curve, own, loops);
            if (curve.IsNull())
                return false;
        }
        return true;
    };
    // A loop through points is rebuilt from its own start first: its points
    // are met exactly and it comes out smooth at the seam, so moving the
    // seam to line the loops up (by a hair, when they arrive lined up)
    // samples it nowhere worse than anywhere else.
    if (rebuild && loops && !rebuildAll())
        return nullptr;
    if (loops && !AlignLoops(curves))
        return nullptr;
    if (rebuild && !rebuildAll())
        return nullptr;
    // Sections of one knot vector skin in a fraction of the time that
    // merging their knots costs (rebuilt ones mostly share theirs already).
    // Where no common vector within the tolerance is smaller than the
    // merge, the knots are merged.
    const double tolerance = std::isfinite(args.m_tolerance) && args.m_tolerance > 0.0 ? args.m_tolerance : 1e-7;
    MakeLoftSectionsCompatible(curves, tolerance);
    const auto start = static_cast<LoftEnd>(args.m_start_condition);
    const auto end = static_cast<LoftEnd>(args.m_end_condition);
    Handle(Geom_BSplineSurface) surface;
    if (start == LoftEnd::Free && end == LoftEnd::Free)
    {
        surface = SkinFree(curves);
        // OCCT's skinning can swing far off between many close sections
        // (31 sections across a gently curved patch gave a surface 10 mm
        // off them, reaching twice as far out): then the sections are
        // interpolated as for the other end conditions.
        if (!surface.IsNull() && !StaysNearSections(*surface, curves))
        {
            std::vector<Handle(Geom_BSplineCurve)> merged = curves;
            if (MergeSectionKnots(merged))
                if (Handle(Geom_BSplineSurface) own = SkinSections(merged, start, end); !own.IsNull())
                    surface = own;
        }
    }
    else if (MergeSectionKnots(curves))
        surface = SkinSections(curves, start, end);
    if (surface.IsNull())
        return nullptr;
    return FromOcct(*surface);
}

} // namespace

bool DezazSdkLoftSurface(const CArgsDezazLoft& args, ON_SimpleArray<ON_NurbsSurface*>& surfaces, void*)
{
    ON_NurbsSurface* surface = nullptr;
    try
    {
        surface = Loft(args);
    }
    catch (const Standard_Failure&)
    {
        surface = nullptr;
    }
    catch (const std::exception&)
    {
        surface = nullptr;
    }
    if (surface == nullptr)
        return false;
    surfaces.Append(surface);
    return true;
}
