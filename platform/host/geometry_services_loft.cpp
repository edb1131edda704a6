// The loft is delegated to OpenCASCADE's section lofting. The sections are
// made compatible first: seams of closed sections lined up, directions
// agreeing, and one degree and knot vector (loft_compatible_sections.h).
// Our curves go in as exact B-splines and the result comes back as our NURBS
// surface; nothing of OpenCASCADE leaks past the service, and its
// exceptions stop here.
#include "platform/host/geometry_services_loft.h"

#include "platform/geometry/mesh.h"
#include "platform/host/geometry_services_sweeps.h"
#include "platform/host/loft_compatible_sections.h"

#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepOffsetAPI_ThruSections.hxx>
#include <BRepAdaptor_Surface.hxx>
#include <GeomAPI_ProjectPointOnCurve.hxx>
#include <GeomConvert.hxx>
#include <GeomConvert_CompCurveToBSplineCurve.hxx>
#include <Geom_BSplineCurve.hxx>
#include <Geom_BSplineSurface.hxx>
#include <Standard_Failure.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Wire.hxx>

#include <cmath>
#include <exception>
#include <memory>
#include <vector>

namespace
{

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
    const double margin = 1e-9 * (b - a);
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

// The loop closed by a straight piece from its end back to its start, when
// the two do not meet already.
Handle(Geom_BSplineCurve) CloseLoop(const Handle(Geom_BSplineCurve)& curve)
{
    const gp_Pnt start = curve->StartPoint(), end = curve->EndPoint();
    const double gap = start.Distance(end);
    if (gap <= 1e-7)
        return curve;
    TColgp_Array1OfPnt poles(1, 2);
    poles.SetValue(1, end);
    poles.SetValue(2, start);
    TColStd_Array1OfReal knots(1, 2);
    knots.SetValue(1, 0.0);
    knots.SetValue(2, gap);
    TColStd_Array1OfInteger mults(1, 2);
    mults.SetValue(1, 2);
    mults.SetValue(2, 2);
    Handle(Geom_BSplineCurve) bridge = new Geom_BSplineCurve(poles, knots, mults, 1);
    GeomConvert_CompCurveToBSplineCurve join(curve);
    if (!join.Add(bridge, 1e-7, Standard_True))
        return nullptr;
    return join.BSplineCurve();
}

// The loop started at the point nearest `from`.
Handle(Geom_BSplineCurve) StartLoopNear(const Handle(Geom_BSplineCurve)& loop, const gp_Pnt& from)
{
    GeomAPI_ProjectPointOnCurve nearest(from, loop);
    if (nearest.NbPoints() == 0)
        return nullptr;
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

ON_NurbsSurface* Loft(const CArgsDezazLoft& args)
{
    const int count = args.m_loftcurves.Count();
    if (count < 2)
        return nullptr;
    BRepOffsetAPI_ThruSections loft(Standard_False, Standard_False, 1e-6);
    loft.CheckCompatibility(Standard_False);
    // A cubic across the sections: higher degrees through many sections
    // swing between them.
    loft.SetMaxDegree(3);
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
    if (closed != 0 && closed != static_cast<std::size_t>(count))
        return nullptr;
    if (closed != 0 && !AlignLoops(curves))
        return nullptr;
    // Sections of one knot vector skin in a fraction of the time that
    // merging their knots costs. Where no common vector within the
    // tolerance is smaller than the merge, the sections go as they are.
    const double tolerance = std::isfinite(args.m_tolerance) && args.m_tolerance > 0.0 ? args.m_tolerance : 1e-7;
    MakeLoftSectionsCompatible(curves, tolerance);
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
    Handle(Geom_BSplineSurface) bspline = GeomConvert::SurfaceToBSplineSurface(surface);
    if (bspline.IsNull())
        return nullptr;
    return FromOcct(*bspline);
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
