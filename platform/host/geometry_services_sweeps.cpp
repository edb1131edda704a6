#include "platform/host/geometry_services_sweeps.h"

#include "platform/geometry/arc_curve.h"
#include "platform/geometry/line_curve.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/nurbs_curve.h"
#include "platform/geometry/nurbs_surface.h"
#include "platform/geometry/poly_curve.h"
#include "platform/geometry/polyline_curve.h"
#include "platform/geometry/rev_surface.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace
{

using tHomogeneous = std::array<double, 4>; // w x, w y, w z, w

// One rational Bezier piece of a curve over [t0, t1].
struct stBezierPiece
{
    std::vector<tHomogeneous> cv;
    double t0 = 0.0;
    double t1 = 1.0;
    int Degree() const { return static_cast<int>(cv.size()) - 1; }
};

tHomogeneous Homogeneous(const ON_3dPoint& p, double w = 1.0)
{
    return {w * p.x, w * p.y, w * p.z, w};
}

ON_3dPoint Euclidean(const tHomogeneous& h)
{
    return {h[0] / h[3], h[1] / h[3], h[2] / h[3]};
}

tHomogeneous Blend(const tHomogeneous& a, const tHomogeneous& b, double s)
{
    tHomogeneous r;
    for (int k = 0; k < 4; ++k)
        r[k] = (1.0 - s) * a[k] + s * b[k];
    return r;
}

void AddLinePieces(const ON_3dPoint& a, const ON_3dPoint& b, double t0, double t1, std::vector<stBezierPiece>& out)
{
    out.push_back({{Homogeneous(a), Homogeneous(b)}, t0, t1});
}

// Quadratic rational pieces of at most a quarter turn each; the parameter
// interval is shared out in proportion to the angle.
bool AddArcPieces(const ON_ArcCurve& arc, std::vector<stBezierPiece>& out)
{
    const ON_Arc& a = arc.m_arc;
    const double sweep = a.AngleRadians();
    if (!(sweep > 0.0) || !std::isfinite(sweep) || !(a.radius > 0.0))
        return false;
    const int count = std::max(1, static_cast<int>(std::ceil(sweep / (0.5 * ON_PI) - 1.0e-9)));
    const ON_Interval t = arc.Domain();
    const double step = sweep / count;
    const double w = std::cos(0.5 * step);
    for (int i = 0; i < count; ++i)
    {
        const double a0 = a.m_angle[0] + i * step;
        const double a1 = a0 + step;
        const ON_3dPoint p0 = a.PointAt(a0);
        const ON_3dPoint p2 = a.PointAt(a1);
        const ON_3dPoint mid = a.PointAt(0.5 * (a0 + a1));
        const ON_3dPoint centre = a.plane.origin;
        const ON_3dPoint p1 = centre + (mid - centre) * (1.0 / w);
        out.push_back({{Homogeneous(p0), Homogeneous(p1, w), Homogeneous(p2)},
                       t[0] + t.Length() * i / count,
                       t[0] + t.Length() * (i + 1) / count});
    }
    return true;
}

// Inserts knot u once into a homogeneous B-spline (Boehm).
void InsertKnot(std::vector<double>& knots, std::vector<tHomogeneous>& cv, int degree, double u)
{
    const int n = static_cast<int>(cv.size());
    int span = degree;
    while (span + 1 < n && knots[static_cast<std::size_t>(span + 1)] <= u)
        ++span;
    std::vector<tHomogeneous> next(static_cast<std::size_t>(n + 1));
    for (int i = 0; i <= n; ++i)
    {
        if (i <= span - degree)
            next[static_cast<std::size_t>(i)] = cv[static_cast<std::size_t>(i)];
        else if (i > span)
            next[static_cast<std::size_t>(i)] = cv[static_cast<std::size_t>(i - 1)];
        else
        {
            const double k0 = knots[static_cast<std::size_t>(i)];
            const double k1 = knots[static_cast<std::size_t>(i + degree)];
            const double s = k1 > k0 ? (u - k0) / (k1 - k0) : 0.0;
            next[static_cast<std::size_t>(i)] =
                Blend(cv[static_cast<std::size_t>(i - 1)], cv[static_cast<std::size_t>(i)], s);
        }
    }
    knots.insert(knots.begin() + span + 1, u);
    cv.swap(next);
}

bool AddNurbsPieces(const ON_NurbsCurve& c, std::vector<stBezierPiece>& out)
{
    const int degree = c.Degree();
    const int n = c.CVCount();
    if (degree < 1 || n < degree + 1 || c.KnotCount() != n + degree + 1)
        return false;
    std::vector<double> knots(c.KnotArray(), c.KnotArray() + c.KnotCount());
    for (int i = 1; i <= degree; ++i)
        if (knots[static_cast<std::size_t>(i)] != knots[0] ||
            knots[knots.size() - 1 - static_cast<std::size_t>(i)] != knots.back())
            return false;
    std::vector<tHomogeneous> cv(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
    {
        ON_3dPoint p;
        if (!c.GetCV(i, p))
            return false;
        cv[static_cast<std::size_t>(i)] = Homogeneous(p, c.Weight(i));
    }
    // Raise every interior knot to full multiplicity: the pieces fall out.
    const double lo = knots.front();
    const double hi = knots.back();
    std::vector<double> distinct;
    for (double k : knots)
        if (k > lo && k < hi && (distinct.empty() || distinct.back() != k))
            distinct.push_back(k);
    for (double u : distinct)
    {
        int multiplicity = static_cast<int>(std::count(knots.begin(), knots.end(), u));
        for (; multiplicity < degree; ++multiplicity)
            InsertKnot(knots, cv, degree, u);
    }
    std::vector<double> bounds{lo};
    bounds.insert(bounds.end(), distinct.begin(), distinct.end());
    bounds.push_back(hi);
    for (std::size_t k = 0; k + 1 < bounds.size(); ++k)
    {
        stBezierPiece piece;
        piece.cv.assign(cv.begin() + static_cast<std::ptrdiff_t>(k * degree),
                        cv.begin() + static_cast<std::ptrdiff_t>(k * degree + degree + 1));
        piece.t0 = bounds[k];
        piece.t1 = bounds[k + 1];
        out.push_back(std::move(piece));
    }
    return true;
}

bool AddPieces(const ON_Curve& curve, std::vector<stBezierPiece>& out)
{
    if (!curve.IsValid())
        return false;
    if (const ON_LineCurve* line = ON_LineCurve::Cast(&curve))
    {
        AddLinePieces(line->m_line.from, line->m_line.to, line->m_t[0], line->m_t[1], out);
        return true;
    }
    if (const ON_ArcCurve* arc = ON_ArcCurve::Cast(&curve))
        return AddArcPieces(*arc, out);
    if (const ON_PolylineCurve* polyline = ON_PolylineCurve::Cast(&curve))
    {
        for (int i = 0; i + 1 < polyline->m_pline.Count(); ++i)
            if (polyline->m_t[i + 1] > polyline->m_t[i])
                AddLinePieces(polyline->m_pline[i], polyline->m_pline[i + 1], polyline->m_t[i], polyline->m_t[i + 1],
                              out);
        return true;
    }
    if (const ON_NurbsCurve* nurbs = ON_NurbsCurve::Cast(&curve))
        return AddNurbsPieces(*nurbs, out);
    if (const ON_PolyCurve* chain = ON_PolyCurve::Cast(&curve))
    {
        for (int i = 0; i < chain->Count(); ++i)
        {
            const ON_Curve* segment = chain->SegmentCurve(i);
            const ON_Interval own = segment != nullptr ? segment->Domain() : ON_Interval();
            const ON_Interval placed = chain->SegmentDomain(i);
            const std::size_t first = out.size();
            if (segment == nullptr || !AddPieces(*segment, out))
                return false;
            // Map the segment's parameters onto its place in the chain.
            for (std::size_t k = first; k < out.size(); ++k)
            {
                out[k].t0 = placed[0] + (out[k].t0 - own[0]) * placed.Length() / own.Length();
                out[k].t1 = placed[0] + (out[k].t1 - own[0]) * placed.Length() / own.Length();
            }
        }
        return !out.empty();
    }
    return false;
}

void ElevateOnce(stBezierPiece& piece)
{
    const int p = piece.Degree();
    std::vector<tHomogeneous> next(static_cast<std::size_t>(p + 2));
    next.front() = piece.cv.front();
    next.back() = piece.cv.back();
    for (int i = 1; i <= p; ++i)
        next[static_cast<std::size_t>(i)] = Blend(piece.cv[static_cast<std::size_t>(i)],
                                                  piece.cv[static_cast<std::size_t>(i - 1)],
                                                  static_cast<double>(i) / (p + 1));
    piece.cv.swap(next);
}

// The pieces as one curve of their highest degree, a full knot at each
// joint. A piece whose start misses the previous end by rounding takes the
// previous end.
bool AssemblePieces(std::vector<stBezierPiece> pieces, ON_NurbsCurveData& data)
{
    if (pieces.empty())
        return false;
    int degree = 1;
    bool rational = false;
    for (const stBezierPiece& piece : pieces)
    {
        degree = std::max(degree, piece.Degree());
        for (const tHomogeneous& h : piece.cv)
            rational = rational || h[3] != 1.0;
    }
    for (stBezierPiece& piece : pieces)
        while (piece.Degree() < degree)
            ElevateOnce(piece);
    const int count = static_cast<int>(pieces.size()) * degree + 1;
    data = ON_NurbsCurveData(3, rational, degree + 1, count);
    std::size_t k = 0;
    for (int i = 0; i <= degree; ++i)
        data.knot[k++] = pieces.front().t0;
    for (std::size_t j = 1; j < pieces.size(); ++j)
        for (int i = 0; i < degree; ++i)
            data.knot[k++] = pieces[j].t0;
    for (int i = 0; i <= degree; ++i)
        data.knot[k++] = pieces.back().t1;
    int c = 0;
    for (std::size_t j = 0; j < pieces.size(); ++j)
        for (int i = j == 0 ? 0 : 1; i <= degree; ++i)
        {
            const tHomogeneous& h = pieces[j].cv[static_cast<std::size_t>(i)];
            const ON_3dPoint p = Euclidean(h);
            const double xyz[3] = {p.x, p.y, p.z};
            data.SetCV(c++, xyz, h[3]);
        }
    return data.IsValid();
}

ON_NurbsSurface* RuledSurface(const ON_NurbsCurveData& bottom, const std::vector<ON_3dPoint>& top)
{
    auto* surface = new ON_NurbsSurface(bottom.is_rat, bottom.order, 2, bottom.cv_count, 2);
    const double v[4] = {0.0, 0.0, 1.0, 1.0};
    bool ok = surface->SetKnots(0, bottom.knot.data()) && surface->SetKnots(1, v);
    for (int i = 0; ok && i < bottom.cv_count; ++i)
    {
        const double* h = bottom.CV(i);
        const double w = bottom.Weight(i);
        const ON_3dPoint p(h[0] / w, h[1] / w, h[2] / w);
        ok = surface->SetCV(i, 0, p, w) && surface->SetCV(i, 1, top[static_cast<std::size_t>(i)], w);
    }
    if (!ok || !surface->IsValid())
    {
        delete surface;
        return nullptr;
    }
    return surface;
}

ON_3dPoint CvPoint(const ON_NurbsCurveData& data, int i)
{
    const double* h = data.CV(i);
    const double w = data.Weight(i);
    return {h[0] / w, h[1] / w, h[2] / w};
}

// Flattens chains into their smooth pieces (polylines into lines).
bool CollectSegments(const ON_Curve& curve, std::vector<std::unique_ptr<ON_Curve>>& out)
{
    if (const ON_PolyCurve* chain = ON_PolyCurve::Cast(&curve))
    {
        for (int i = 0; i < chain->Count(); ++i)
            if (chain->SegmentCurve(i) == nullptr || !CollectSegments(*chain->SegmentCurve(i), out))
                return false;
        return true;
    }
    if (const ON_PolylineCurve* polyline = ON_PolylineCurve::Cast(&curve))
    {
        for (int i = 0; i + 1 < polyline->m_pline.Count(); ++i)
            if (polyline->m_pline[i].DistanceTo(polyline->m_pline[i + 1]) > 0.0)
                out.push_back(std::make_unique<ON_LineCurve>(polyline->m_pline[i], polyline->m_pline[i + 1]));
        return true;
    }
    out.emplace_back(curve.Duplicate());
    return true;
}

// The unit in-plane normal T x D at a curve's parameter.
bool OffsetNormal(const ON_Curve& curve, double t, const ON_3dVector& d, ON_3dVector& n)
{
    ON_3dPoint p;
    ON_3dVector tangent;
    if (!curve.EvTangent(t, p, tangent))
        return false;
    n = ON_CrossProduct(tangent, d);
    return n.Unitize();
}

// The corner offset where two offset pieces meet: along the bisector of
// their normals, long enough that both pieces are offset by delta.
ON_3dVector Mitre(const ON_3dVector& n0, const ON_3dVector& n1, double delta)
{
    const double c = 1.0 + ON_DotProduct(n0, n1);
    if (c < 1.0e-6)
        return delta * n0;
    return (delta / c) * (n0 + n1);
}

} // namespace

bool DezazCurveToNurbsData(const ON_Curve& curve, ON_NurbsCurveData& data)
{
    std::vector<stBezierPiece> pieces;
    return AddPieces(curve, pieces) && AssemblePieces(std::move(pieces), data);
}

ON_Surface* DezazExtrudeCurveStraight(const ON_Curve* curve, const ON_3dVector& direction, double length)
{
    if (curve == nullptr || !direction.IsValid() || !std::isfinite(length))
        return nullptr;
    const ON_3dVector shift = length * direction;
    if (!(shift.Length() > ON_ZERO_TOLERANCE))
        return nullptr;
    ON_NurbsCurveData data;
    if (!DezazCurveToNurbsData(*curve, data))
        return nullptr;
    std::vector<ON_3dPoint> top(static_cast<std::size_t>(data.cv_count));
    for (int i = 0; i < data.cv_count; ++i)
        top[static_cast<std::size_t>(i)] = CvPoint(data, i) + shift;
    return RuledSurface(data, top);
}

ON_Surface* DezazRevolve(const ON_Curve* curve, const ON_Line& axis, const ON_Interval& angle, bool transposed, int)
{
    if (curve == nullptr || !axis.from.IsValid() || !axis.to.IsValid() || !(axis.Length() > ON_ZERO_TOLERANCE) ||
        !angle.IsValid() || !(angle.Length() > 0.0))
        return nullptr;
    auto surface = std::make_unique<ON_RevSurface>();
    if (!DezazCurveToNurbsData(*curve, surface->m_curve))
        return nullptr;
    surface->m_axis = axis;
    surface->m_angle = angle;
    surface->m_t = angle;
    surface->m_bTransposed = transposed;
    if (!surface->IsValid())
        return nullptr;
    return surface.release();
}

bool DezazMergeCurves(const ON_SimpleArray<const ON_Curve*>& curves, ON_SimpleArray<ON_Curve*>& merged,
                      double tolerance, int, ON_SimpleArray<int>* indices)
{
    const int n = curves.Count();
    if (n == 0)
        return false;
    for (int i = 0; i < n; ++i)
        if (curves[i] == nullptr || !curves[i]->IsValid())
            return false;
    const double tol = std::isfinite(tolerance) ? std::max(tolerance, 0.0) : 0.0;
    std::vector<bool> used(static_cast<std::size_t>(n), false);
    for (int first = 0; first < n; ++first)
    {
        if (used[static_cast<std::size_t>(first)])
            continue;
        used[static_cast<std::size_t>(first)] = true;
        std::vector<std::unique_ptr<ON_Curve>> chain;
        chain.emplace_back(curves[first]->Duplicate());
        if (indices != nullptr)
            indices->Append(first);
        // Grow at the end, then at the start, always taking the first fit.
        for (bool atEnd : {true, false})
            for (bool grew = true; grew;)
            {
                grew = false;
                const ON_3dPoint end = atEnd ? chain.back()->PointAtEnd() : chain.front()->PointAtStart();
                if (chain.front()->PointAtStart().DistanceTo(chain.back()->PointAtEnd()) <= tol && chain.size() > 1)
                    break; // closed
                for (int j = 0; j < n && !grew; ++j)
                {
                    if (used[static_cast<std::size_t>(j)])
                        continue;
                    const bool startMeets = curves[j]->PointAtStart().DistanceTo(end) <= tol;
                    const bool endMeets = curves[j]->PointAtEnd().DistanceTo(end) <= tol;
                    if (!startMeets && !endMeets)
                        continue;
                    std::unique_ptr<ON_Curve> piece(curves[j]->Duplicate());
                    // At the end the piece must start at the chain's end; at the
                    // start it must end at the chain's start.
                    if ((atEnd && !startMeets) || (!atEnd && !endMeets))
                        piece->Reverse();
                    if (atEnd)
                        chain.push_back(std::move(piece));
                    else
                        chain.insert(chain.begin(), std::move(piece));
                    used[static_cast<std::size_t>(j)] = true;
                    if (indices != nullptr)
                        indices->Append(j);
                    grew = true;
                }
            }
        if (chain.size() == 1)
        {
            merged.Append(chain.front().release());
            continue;
        }
        auto* joined = new ON_PolyCurve();
        bool ok = true;
        for (std::unique_ptr<ON_Curve>& piece : chain)
            ok = ok && joined->Append(piece.release());
        if (!ok)
        {
            delete joined;
            for (int i = 0; i < merged.Count(); ++i)
                delete merged[i];
            merged.Empty();
            return false;
        }
        merged.Append(joined);
    }
    return true;
}

bool DezazCreateTaperedExtrude(const ON_Curve* curve, double height, const ON_3dVector& direction,
                               const ON_3dPoint& base, double draft, int, ON_SimpleArray<ON_Brep*>& breps)
{
    ON_3dVector d = direction;
    if (curve == nullptr || !curve->IsValid() || !std::isfinite(height) || !(height > 0.0) ||
        !std::isfinite(draft) || !(std::fabs(draft) < 0.5 * ON_PI) || !base.IsValid() || !d.Unitize())
        return false;

    std::vector<std::unique_ptr<ON_Curve>> segments;
    if (!CollectSegments(*curve, segments) || segments.empty())
        return false;
    // The curve must lie in the plane through the base across the direction.
    const ON_BoundingBox box = curve->BoundingBox();
    const double scale = std::max(1.0, box.Diagonal().Length() + ON_3dVector(base).Length());
    for (const auto& segment : segments)
    {
        const ON_Interval t = segment->Domain();
        for (int k = 0; k <= 16; ++k)
            if (std::fabs(ON_DotProduct(segment->PointAt(t.ParameterAt(k / 16.0)) - base, d)) > 1.0e-6 * scale)
                return false;
    }

    const double delta = height * std::tan(draft);
    const std::size_t count = segments.size();
    const bool closed = curve->IsClosed();
    // Offset of each segment's start and end, mitred with its neighbours.
    std::vector<ON_3dVector> startShift(count), endShift(count);
    std::vector<ON_3dVector> startNormal(count), endNormal(count);
    for (std::size_t i = 0; i < count; ++i)
    {
        const ON_Interval t = segments[i]->Domain();
        if (!OffsetNormal(*segments[i], t[0], d, startNormal[i]) || !OffsetNormal(*segments[i], t[1], d, endNormal[i]))
            return false;
    }
    for (std::size_t i = 0; i < count; ++i)
    {
        const bool hasPrevious = i > 0 || closed;
        const bool hasNext = i + 1 < count || closed;
        startShift[i] = hasPrevious ? Mitre(endNormal[(i + count - 1) % count], startNormal[i], delta)
                                    : delta * startNormal[i];
        endShift[i] = hasNext ? Mitre(endNormal[i], startNormal[(i + 1) % count], delta) : delta * endNormal[i];
    }

    auto brep = std::unique_ptr<ON_Brep>(ON_Brep::New());
    const ON_3dVector lift = height * d;
    for (std::size_t i = 0; i < count; ++i)
    {
        ON_NurbsCurveData data;
        if (!DezazCurveToNurbsData(*segments[i], data))
            return false;
        const int n = data.cv_count;
        std::vector<ON_3dPoint> top(static_cast<std::size_t>(n));
        if (const ON_ArcCurve* arc = ON_ArcCurve::Cast(segments[i].get()))
        {
            // An arc's offset is the concentric arc: scale about the centre.
            const ON_3dPoint centre = arc->m_arc.plane.origin;
            const double r = arc->m_arc.radius;
            const double side = ON_DotProduct(startNormal[i], arc->PointAtStart() - centre) > 0.0 ? 1.0 : -1.0;
            const double factor = (r + side * delta) / r;
            if (!(factor > 0.0))
                return false;
            for (int k = 0; k < n; ++k)
                top[static_cast<std::size_t>(k)] = centre + (CvPoint(data, k) - centre) * factor + lift;
        }
        else
        {
            // Control points move by the normal at their Greville abscissae
            // (exact for lines); the ends take the mitres.
            const int p = data.order - 1;
            for (int k = 0; k < n; ++k)
            {
                ON_3dVector shift;
                if (k == 0)
                    shift = startShift[i];
                else if (k == n - 1)
                    shift = endShift[i];
                else
                {
                    double g = 0.0;
                    for (int j = 1; j <= p; ++j)
                        g += data.knot[static_cast<std::size_t>(k + j)];
                    ON_3dVector nk;
                    if (!OffsetNormal(*segments[i], segments[i]->Domain().ParameterAt(
                                                        (g / p - data.DomainMin()) / (data.DomainMax() - data.DomainMin())),
                                      d, nk))
                        return false;
                    shift = delta * nk;
                }
                top[static_cast<std::size_t>(k)] = CvPoint(data, k) + shift + lift;
            }
        }
        ON_NurbsSurface* surface = RuledSurface(data, top);
        if (surface == nullptr)
            return false;
        const int index = brep->AddSurface(surface);
        if (index < 0)
        {
            delete surface;
            return false;
        }
        brep->NewFace(index);
    }
    breps.Append(brep.release());
    return true;
}
