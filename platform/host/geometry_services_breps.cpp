// Gathering, joining and point tests are our own; the split is delegated to
// OpenCASCADE's general splitter. Our faces go in as exact B-spline faces
// (trimming loops as straight parameter-space edges), the pieces come back
// as our surfaces with loops sampled from the kernel's parameter curves;
// nothing of OpenCASCADE leaks past this file, and its exceptions stop here.
#include "platform/host/geometry_services_breps.h"

#include "platform/geometry/mesh.h"
#include "platform/geometry/nurbs_surface.h"
#include "platform/geometry/surface.h"

#include <BRepAdaptor_Curve.hxx>
#include <BRepAdaptor_Curve2d.hxx>
#include <BRepAdaptor_Surface.hxx>
#include <BRepAlgoAPI_Splitter.hxx>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakeVertex.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepBuilderAPI_Sewing.hxx>
#include <BRepExtrema_DistShapeShape.hxx>
#include <BRepLib.hxx>
#include <BRepTools.hxx>
#include <BRepTools_WireExplorer.hxx>
#include <GCE2d_MakeSegment.hxx>
#include <Geom2d_TrimmedCurve.hxx>
#include <Geom_BSplineSurface.hxx>
#include <Standard_Failure.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColStd_Array2OfReal.hxx>
#include <TColgp_Array2OfPnt.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopTools_ListOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Builder.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Vertex.hxx>
#include <TopoDS_Wire.hxx>

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <numeric>
#include <vector>

namespace
{

// Samples per curved parameter-space edge of a piece's loop.
constexpr int kLoopCurveSamples = 32;
// Seeds per direction of the closest-point search on a face.
constexpr int kProjectionSeeds = 16;
// Samples per side of a face's boundary when breps are joined.
constexpr int kBoundarySamples = 16;

// ------------------------------------------------------------ small helpers

class cUnionFind
{
public:
    explicit cUnionFind(std::size_t n) : m_parent(n) { std::iota(m_parent.begin(), m_parent.end(), std::size_t{0}); }
    std::size_t Find(std::size_t i)
    {
        while (m_parent[i] != i)
            i = m_parent[i] = m_parent[m_parent[i]];
        return i;
    }
    void Unite(std::size_t a, std::size_t b)
    {
        a = Find(a), b = Find(b);
        if (a != b)
            m_parent[std::max(a, b)] = std::min(a, b);
    }

private:
    std::vector<std::size_t> m_parent;
};

// Groups of indices, each in increasing order, the groups ordered by their
// first member.
std::vector<std::vector<std::size_t>> Groups(cUnionFind& sets, std::size_t n)
{
    std::vector<std::vector<std::size_t>> groups;
    std::vector<int> slot(n, -1);
    for (std::size_t i = 0; i < n; ++i)
    {
        const std::size_t root = sets.Find(i);
        if (slot[root] < 0)
        {
            slot[root] = static_cast<int>(groups.size());
            groups.emplace_back();
        }
        groups[static_cast<std::size_t>(slot[root])].push_back(i);
    }
    return groups;
}

// Appends a copy of the face (its surface, side and loops) to the brep.
bool CopyFace(const ON_BrepFace& face, const ON_Surface& surface, ON_Brep& into)
{
    std::unique_ptr<ON_Surface> copy(surface.DuplicateSurface());
    const int si = into.AddSurface(copy.get());
    if (si < 0)
        return false;
    copy.release();
    ON_BrepFace* added = into.NewFace(si);
    if (!added)
        return false;
    added->m_bRev = face.m_bRev;
    added->m_loops = face.m_loops;
    return true;
}

// Twice the signed area of a parameter-space loop (positive: anticlockwise).
double SignedArea(const std::vector<ON_3dPoint>& loop)
{
    double area = 0.0;
    for (std::size_t i = 0, j = loop.size() - 1; i < loop.size(); j = i++)
        area += loop[j].x * loop[i].y - loop[i].x * loop[j].y;
    return area;
}

// ------------------------------------------------------------ into the kernel

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

Handle(Geom_BSplineSurface) ToOcct(const ON_NurbsSurface& s)
{
    if (s.m_dim != 3 || s.m_order[0] < 2 || s.m_order[1] < 2)
        return nullptr;
    std::vector<double> knots[2];
    std::vector<int> mults[2];
    for (int dir = 0; dir < 2; ++dir)
        SplitKnots(s.m_knot[dir], knots[dir], mults[dir]);
    TColgp_Array2OfPnt poles(1, s.m_cv_count[0], 1, s.m_cv_count[1]);
    TColStd_Array2OfReal weights(1, s.m_cv_count[0], 1, s.m_cv_count[1]);
    for (int i = 0; i < s.m_cv_count[0]; ++i)
        for (int j = 0; j < s.m_cv_count[1]; ++j)
        {
            ON_3dPoint p;
            double w = 1.0;
            if (!s.GetCV(i, j, p, &w) || !(w > 0.0))
                return nullptr;
            poles.SetValue(i + 1, j + 1, gp_Pnt(p.x, p.y, p.z));
            weights.SetValue(i + 1, j + 1, w);
        }
    TColStd_Array1OfReal k[2] = {TColStd_Array1OfReal(1, static_cast<int>(knots[0].size())),
                                 TColStd_Array1OfReal(1, static_cast<int>(knots[1].size()))};
    TColStd_Array1OfInteger m[2] = {TColStd_Array1OfInteger(1, static_cast<int>(mults[0].size())),
                                    TColStd_Array1OfInteger(1, static_cast<int>(mults[1].size()))};
    for (int dir = 0; dir < 2; ++dir)
        for (std::size_t i = 0; i < knots[dir].size(); ++i)
        {
            k[dir].SetValue(static_cast<int>(i) + 1, knots[dir][i]);
            m[dir].SetValue(static_cast<int>(i) + 1, mults[dir][i]);
        }
    if (s.m_is_rat)
        return new Geom_BSplineSurface(poles, weights, k[0], k[1], m[0], m[1], s.m_order[0] - 1, s.m_order[1] - 1);
    return new Geom_BSplineSurface(poles, k[0], k[1], m[0], m[1], s.m_order[0] - 1, s.m_order[1] - 1);
}

// The loop as a closed wire of straight parameter-space edges on the
// surface, running anticlockwise for the outer loop and clockwise for holes
// as the kernel expects of a face.
TopoDS_Wire LoopWire(const Handle(Geom_Surface)& surface, std::vector<ON_3dPoint> loop, bool outer)
{
    loop.erase(std::unique(loop.begin(), loop.end(),
                           [](const ON_3dPoint& a, const ON_3dPoint& b) { return a.x == b.x && a.y == b.y; }),
               loop.end());
    while (loop.size() > 1 && loop.front().x == loop.back().x && loop.front().y == loop.back().y)
        loop.pop_back();
    if (loop.size() < 3)
        return {};
    if ((SignedArea(loop) > 0.0) != outer)
        std::reverse(loop.begin(), loop.end());
    std::vector<TopoDS_Vertex> corners;
    for (const ON_3dPoint& p : loop)
        corners.push_back(BRepBuilderAPI_MakeVertex(surface->Value(p.x, p.y)).Vertex());
    BRepBuilderAPI_MakeWire wire;
    for (std::size_t i = 0; i < loop.size(); ++i)
    {
        const std::size_t j = (i + 1) % loop.size();
        const Handle(Geom2d_TrimmedCurve) segment =
            GCE2d_MakeSegment(gp_Pnt2d(loop[i].x, loop[i].y), gp_Pnt2d(loop[j].x, loop[j].y)).Value();
        BRepBuilderAPI_MakeEdge edge(segment, surface, corners[i], corners[j], segment->FirstParameter(),
                                     segment->LastParameter());
        if (!edge.IsDone())
            return {};
        wire.Add(edge.Edge());
    }
    return wire.IsDone() ? wire.Wire() : TopoDS_Wire();
}

TopoDS_Face KernelFace(const Handle(Geom_Surface)& surface, const ON_BrepFace& face, double tolerance)
{
    if (!face.IsTrimmed())
    {
        BRepBuilderAPI_MakeFace make(surface, tolerance);
        return make.IsDone() ? make.Face() : TopoDS_Face();
    }
    const TopoDS_Wire outer = LoopWire(surface, face.m_loops[0], true);
    if (outer.IsNull())
        return {};
    BRepBuilderAPI_MakeFace make(surface, outer, Standard_True);
    for (std::size_t i = 1; i < face.m_loops.size() && make.IsDone(); ++i)
    {
        const TopoDS_Wire hole = LoopWire(surface, face.m_loops[i], false);
        if (hole.IsNull())
            return {};
        make.Add(hole);
    }
    if (!make.IsDone())
        return {};
    TopoDS_Face made = make.Face();
    BRepLib::BuildCurves3d(made);
    return made;
}

// ------------------------------------------------------------ out of the kernel

std::vector<ON_3dPoint> WireLoop(const TopoDS_Wire& wire, const TopoDS_Face& face)
{
    std::vector<ON_3dPoint> loop;
    for (BRepTools_WireExplorer it(wire, face); it.More(); it.Next())
    {
        const TopoDS_Edge& edge = it.Current();
        BRepAdaptor_Curve2d curve(edge, face);
        const double first = curve.FirstParameter(), last = curve.LastParameter();
        const int samples = curve.GetType() == GeomAbs_Line ? 1 : kLoopCurveSamples;
        const bool reversed = edge.Orientation() == TopAbs_REVERSED;
        for (int k = 0; k < samples; ++k)
        {
            const double f = static_cast<double>(k) / samples;
            const gp_Pnt2d p = curve.Value(reversed ? last - (last - first) * f : first + (last - first) * f);
            loop.emplace_back(p.X(), p.Y(), 0.0);
        }
    }
    return loop;
}

// The face's loops, the outer one first.
std::vector<std::vector<ON_3dPoint>> FaceLoops(const TopoDS_Face& face)
{
    std::vector<std::vector<ON_3dPoint>> loops;
    const TopoDS_Wire outer = BRepTools::OuterWire(face);
    if (outer.IsNull())
        return loops;
    loops.push_back(WireLoop(outer, face));
    for (TopExp_Explorer it(face, TopAbs_WIRE); it.More(); it.Next())
        if (!it.Current().IsSame(outer))
            loops.push_back(WireLoop(TopoDS::Wire(it.Current()), face));
    loops.erase(std::remove_if(loops.begin(), loops.end(), [](const auto& l) { return l.size() < 3; }), loops.end());
    return loops;
}

// Whether the edge runs along the cutter (a cut made it), judged by its
// middle point.
bool IsOnCutter(const TopoDS_Edge& edge, const TopoDS_Shape& cutter, double tolerance)
{
    BRepAdaptor_Curve curve(edge);
    const gp_Pnt middle = curve.Value(0.5 * (curve.FirstParameter() + curve.LastParameter()));
    BRepExtrema_DistShapeShape distance(BRepBuilderAPI_MakeVertex(middle).Vertex(), cutter);
    return distance.IsDone() && distance.Value() <= 10.0 * tolerance;
}

struct stInputFace
{
    const ON_BrepFace* face = nullptr;
    std::unique_ptr<ON_NurbsSurface> nurbs;
    Handle(Geom_BSplineSurface) kernel;
    TopoDS_Face shape;
};

bool PrepareFaces(const ON_Brep& brep, double tolerance, std::vector<stInputFace>& faces)
{
    for (int i = 0; i < brep.FaceCount(); ++i)
    {
        stInputFace in;
        in.face = brep.Face(i);
        const ON_Surface* surface = in.face->SurfaceOf();
        in.nurbs = std::make_unique<ON_NurbsSurface>();
        if (!surface || surface->GetNurbForm(*in.nurbs) == 0)
            return false;
        in.kernel = ToOcct(*in.nurbs);
        if (in.kernel.IsNull())
            return false;
        in.shape = KernelFace(in.kernel, *in.face, tolerance);
        if (in.shape.IsNull())
            return false;
        faces.push_back(std::move(in));
    }
    return !faces.empty();
}

bool SplitInKernel(const ON_Brep& brep, const ON_Brep& cutter, double tolerance, ON_SimpleArray<ON_Brep*>& pieces)
{
    std::vector<stInputFace> faces, tools;
    if (!PrepareFaces(brep, tolerance, faces) || !PrepareFaces(cutter, tolerance, tools))
        return false;

    // Faces of the brep that meet are sewn, so that they share their edges
    // and the pieces can be told by which edges the cut made.
    TopoDS_Shape argument;
    if (faces.size() == 1)
        argument = faces[0].shape;
    else
    {
        BRepBuilderAPI_Sewing sewing(tolerance);
        for (const stInputFace& f : faces)
            sewing.Add(f.shape);
        sewing.Perform();
        argument = sewing.SewedShape();
    }
    TopoDS_Builder builder;
    TopoDS_Compound tool;
    builder.MakeCompound(tool);
    for (const stInputFace& t : tools)
        builder.Add(tool, t.shape);

    BRepAlgoAPI_Splitter splitter;
    TopTools_ListOfShape arguments, toolList;
    arguments.Append(argument);
    toolList.Append(tool);
    splitter.SetArguments(arguments);
    splitter.SetTools(toolList);
    splitter.SetRunParallel(Standard_False);
    splitter.Build();
    if (!splitter.IsDone() || splitter.HasErrors())
        return false;
    const TopoDS_Shape result = splitter.Shape();

    // Each result face goes back to the input face whose surface it lies on.
    std::vector<TopoDS_Face> resultFaces;
    std::vector<std::size_t> origin;
    std::vector<int> perInput(faces.size(), 0);
    for (TopExp_Explorer it(result, TopAbs_FACE); it.More(); it.Next())
    {
        const TopoDS_Face face = TopoDS::Face(it.Current());
        const Handle(Geom_Surface) surface = BRepAdaptor_Surface(face, Standard_False).Surface().Surface();
        std::size_t from = faces.size();
        for (std::size_t i = 0; i < faces.size() && from == faces.size(); ++i)
            if (surface.get() == faces[i].kernel.get())
                from = i;
        if (from == faces.size())
            return false;
        resultFaces.push_back(face);
        origin.push_back(from);
        ++perInput[from];
    }
    if (resultFaces.empty())
        return false;

    cUnionFind sets(resultFaces.size());
    TopTools_IndexedDataMapOfShapeListOfShape edgeFaces;
    TopExp::MapShapesAndAncestors(result, TopAbs_EDGE, TopAbs_FACE, edgeFaces);
    auto indexOf = [&](const TopoDS_Shape& face) {
        for (std::size_t i = 0; i < resultFaces.size(); ++i)
            if (resultFaces[i].IsSame(face))
                return i;
        return resultFaces.size();
    };
    for (int e = 1; e <= edgeFaces.Extent(); ++e)
    {
        const TopTools_ListOfShape& around = edgeFaces.FindFromIndex(e);
        if (around.Extent() < 2 || IsOnCutter(TopoDS::Edge(edgeFaces.FindKey(e)), tool, tolerance))
            continue;
        const std::size_t first = indexOf(around.First());
        for (const TopoDS_Shape& other : around)
        {
            const std::size_t i = indexOf(other);
            if (first < resultFaces.size() && i < resultFaces.size())
                sets.Unite(first, i);
        }
    }

    std::vector<std::unique_ptr<ON_Brep>> made;
    for (const std::vector<std::size_t>& group : Groups(sets, resultFaces.size()))
    {
        auto piece = std::make_unique<ON_Brep>();
        for (std::size_t i : group)
        {
            const stInputFace& in = faces[origin[i]];
            if (perInput[origin[i]] == 1)
            {
                // Not divided: the face as it was, exact surface and all.
                if (!CopyFace(*in.face, *in.face->SurfaceOf(), *piece))
                    return false;
                continue;
            }
            ON_BrepFace part = *in.face;
            part.m_loops = FaceLoops(resultFaces[i]);
            if (part.m_loops.empty() || !CopyFace(part, *in.nurbs, *piece))
                return false;
        }
        if (!piece->IsValid())
            return false;
        made.push_back(std::move(piece));
    }
    for (auto& piece : made)
        pieces.Append(piece.release());
    return true;
}

// ------------------------------------------------------------ point on a face

bool ClosestOnFace(const ON_BrepFace& face, const ON_3dPoint& point, double& distance)
{
    const ON_Surface* surface = face.SurfaceOf();
    if (!surface)
        return false;
    const ON_Interval ds = surface->Domain(0), dt = surface->Domain(1);
    double bestS = 0.0, bestT = 0.0, best = -1.0;
    for (int i = 0; i <= kProjectionSeeds; ++i)
        for (int j = 0; j <= kProjectionSeeds; ++j)
        {
            const double s = ds.ParameterAt(static_cast<double>(i) / kProjectionSeeds);
            const double t = dt.ParameterAt(static_cast<double>(j) / kProjectionSeeds);
            if (face.IsTrimmed() && !face.IsParameterOnFace(s, t))
                continue;
            const double d = surface->PointAt(s, t).DistanceTo(point);
            if (best < 0.0 || d < best)
                best = d, bestS = s, bestT = t;
        }
    if (best < 0.0)
    {
        // A loop thinner than the seed grid: start from its first corner.
        bestS = face.m_loops[0][0].x, bestT = face.m_loops[0][0].y;
    }
    // Gauss-Newton steps on the squared distance, kept in the domain.
    double s = bestS, t = bestT;
    for (int step = 0; step < 32; ++step)
    {
        ON_3dVector v[3];
        if (!surface->Evaluate(s, t, 1, v))
            return false;
        const ON_3dVector r = ON_3dVector(point) - v[0];
        const double a = ON_DotProduct(v[1], v[1]), b = ON_DotProduct(v[1], v[2]), c = ON_DotProduct(v[2], v[2]);
        const double ru = ON_DotProduct(v[1], r), rv = ON_DotProduct(v[2], r);
        const double det = a * c - b * b;
        if (!(std::fabs(det) > 1e-300))
            break;
        const double du = (c * ru - b * rv) / det, dv = (a * rv - b * ru) / det;
        s = std::clamp(s + du, ds.Min(), ds.Max());
        t = std::clamp(t + dv, dt.Min(), dt.Max());
        if (std::fabs(du) <= 1e-12 * (1.0 + std::fabs(s)) && std::fabs(dv) <= 1e-12 * (1.0 + std::fabs(t)))
            break;
    }
    if (!face.IsParameterOnFace(s, t))
        return false;
    distance = surface->PointAt(s, t).DistanceTo(point);
    return std::isfinite(distance);
}

// ------------------------------------------------------------ boundaries

struct stSegment
{
    ON_3dPoint a, b;
};

double DistanceToSegment(const ON_3dPoint& p, const stSegment& s)
{
    const ON_3dVector ab = s.b - s.a;
    const double len2 = ab.LengthSquared();
    double f = len2 > 0.0 ? ON_DotProduct(p - s.a, ab) / len2 : 0.0;
    f = std::clamp(f, 0.0, 1.0);
    return (s.a + f * ab).DistanceTo(p);
}

// The boundary of every face as short straight pieces in space.
std::vector<stSegment> BoundarySegments(const ON_Brep& brep)
{
    std::vector<stSegment> segments;
    for (int f = 0; f < brep.FaceCount(); ++f)
    {
        const ON_BrepFace& face = *brep.Face(f);
        const ON_Surface* surface = face.SurfaceOf();
        if (!surface)
            continue;
        std::vector<std::vector<ON_3dPoint>> loops = face.m_loops;
        if (loops.empty())
        {
            const ON_Interval ds = surface->Domain(0), dt = surface->Domain(1);
            loops.push_back({ON_3dPoint(ds.Min(), dt.Min(), 0), ON_3dPoint(ds.Max(), dt.Min(), 0),
                             ON_3dPoint(ds.Max(), dt.Max(), 0), ON_3dPoint(ds.Min(), dt.Max(), 0)});
        }
        for (const auto& loop : loops)
            for (std::size_t i = 0; i < loop.size(); ++i)
            {
                const ON_3dPoint& p = loop[i];
                const ON_3dPoint& q = loop[(i + 1) % loop.size()];
                ON_3dPoint previous = surface->PointAt(p.x, p.y);
                for (int k = 1; k <= kBoundarySamples; ++k)
                {
                    const double f = static_cast<double>(k) / kBoundarySamples;
                    const ON_3dPoint next = surface->PointAt(p.x + (q.x - p.x) * f, p.y + (q.y - p.y) * f);
                    segments.push_back({previous, next});
                    previous = next;
                }
            }
    }
    return segments;
}

// Boundaries meet along a stretch: points of one at two places more than
// the tolerance apart lie on the other.
bool BoundariesMeet(const std::vector<stSegment>& a, const std::vector<stSegment>& b, double tolerance)
{
    std::vector<ON_3dPoint> touching;
    for (const stSegment& s : a)
    {
        bool near = false;
        for (const stSegment& t : b)
            if (DistanceToSegment(s.a, t) <= tolerance)
            {
                near = true;
                break;
            }
        if (!near)
            continue;
        for (const ON_3dPoint& p : touching)
            if (p.DistanceTo(s.a) > tolerance)
                return true;
        touching.push_back(s.a);
    }
    return false;
}

bool AllValid(const ON_SimpleArray<const ON_Brep*>& breps)
{
    if (breps.Count() == 0)
        return false;
    for (int i = 0; i < breps.Count(); ++i)
        if (!breps[i] || !breps[i]->IsValid())
            return false;
    return true;
}

} // namespace

ON_Brep* DezazMergeBreps(const ON_SimpleArray<const ON_Brep*>& breps, double)
{
    if (!AllValid(breps))
        return nullptr;
    auto merged = std::make_unique<ON_Brep>();
    for (int i = 0; i < breps.Count(); ++i)
        for (int f = 0; f < breps[i]->FaceCount(); ++f)
        {
            const ON_BrepFace& face = *breps[i]->Face(f);
            if (!CopyFace(face, *face.SurfaceOf(), *merged))
                return nullptr;
        }
    return merged.release();
}

bool DezazBrepSplit(const ON_Brep& brep, const ON_Brep& cutter, double tolerance, ON_SimpleArray<ON_Brep*>& pieces)
{
    if (!(tolerance > 0.0) || !std::isfinite(tolerance) || !brep.IsValid() || !cutter.IsValid())
        return false;
    try
    {
        return SplitInKernel(brep, cutter, tolerance, pieces);
    }
    catch (const Standard_Failure&)
    {
        return false;
    }
    catch (const std::exception&)
    {
        return false;
    }
}

bool DezazJoinBreps(const ON_SimpleArray<const ON_Brep*>& breps, ON_SimpleArray<ON_Brep*>& joined, double tolerance)
{
    if (!AllValid(breps))
        return false;
    const std::size_t n = static_cast<std::size_t>(breps.Count());
    std::vector<std::vector<stSegment>> boundaries;
    for (std::size_t i = 0; i < n; ++i)
        boundaries.push_back(BoundarySegments(*breps[static_cast<int>(i)]));
    cUnionFind sets(n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            if (sets.Find(i) != sets.Find(j) && BoundariesMeet(boundaries[i], boundaries[j], tolerance))
                sets.Unite(i, j);
    std::vector<std::unique_ptr<ON_Brep>> made;
    for (const std::vector<std::size_t>& group : Groups(sets, n))
    {
        ON_SimpleArray<const ON_Brep*> members;
        for (std::size_t i : group)
            members.Append(breps[static_cast<int>(i)]);
        std::unique_ptr<ON_Brep> one(DezazMergeBreps(members, tolerance));
        if (!one)
            return false;
        made.push_back(std::move(one));
    }
    for (auto& brep : made)
        joined.Append(brep.release());
    return true;
}

bool DezazIsPointOnBrep(const ON_Brep& brep, const ON_3dPoint& point, double tolerance)
{
    if (!point.IsValid() || !(tolerance >= 0.0))
        return false;
    for (int f = 0; f < brep.FaceCount(); ++f)
    {
        double distance = 0.0;
        if (ClosestOnFace(*brep.Face(f), point, distance) && distance <= tolerance)
            return true;
    }
    return false;
}
