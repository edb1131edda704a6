#include "shapes/spline_section_curve.h"

#include "fitting/polyline_simplify.h"
#include "fitting/section_merge.h"
#include "shapes/dezaz_wire.h"
#include "shapes/section_curve_factory.h"
#include "shapes/section_curve_geometry.h"
#include "shapes/section_curve_records.h"

#include "platform/geometry/curve.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{

constexpr std::uint32_t kFinestMergeMode = 7;
constexpr double kLeastFitTolerance = 1e-7;

void SetPosition(cVertex& v, const double p[3])
{
    const float f[3] = {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
    AssignFlaggedPoint3f(v, f);
}

void RefreshUnsetBit(cVertex& v)
{
    const float p[3] = {v.x, v.y, v.z};
    AssignFlaggedPoint3f(v, p);
}

void Flatten(double target[3], const cVertex& v)
{
    target[0] = v.x;
    target[1] = v.y;
    target[2] = 0.0;
}

// The smallest tolerance the refinement works to: below it every fit point
// would count as off the spline and be inserted as a duplicate.
float ToleranceFloor(const tPolyline<cVertex>& points)
{
    float extent = 0.0f;
    for (const cVertex& v : points.vertices)
        extent = std::max({extent, std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
    return 1e-6f * (1.0f + extent);
}

// The parameters at which a chord-length interpolation through the points
// passes them; empty when the wire's curve was not made that way from them.
std::vector<double> PassParameters(const Dezaz_Wire& wire, const tPolyline<cVertex>& points)
{
    std::vector<double> t;
    const ON_Curve* curve = wire.GetCurve();
    if (curve == nullptr || points.IsEmpty())
        return t;
    t.reserve(points.GetVertexCount());
    double at = 0.0;
    const cVertex* previous = nullptr;
    for (const cVertex& v : points.vertices)
    {
        if (previous != nullptr)
            at += std::sqrt(static_cast<double>(v.x - previous->x) * (v.x - previous->x) +
                            static_cast<double>(v.y - previous->y) * (v.y - previous->y) +
                            static_cast<double>(v.z - previous->z) * (v.z - previous->z));
        t.push_back(at);
        previous = &v;
    }
    // The interpolation sums its chords in its own order: scaled onto its
    // domain, the parameters agree to rounding.
    const ON_Interval d = curve->Domain();
    if (!(at > 0.0) || !(std::fabs(d[0]) <= 1e-12 * at) || !(std::fabs(d[1] - at) <= 1e-6 * at))
    {
        t.clear();
        return t;
    }
    for (double& value : t)
        value *= d[1] / at;
    t.back() = d[1];
    return t;
}

// Distance of p from the wire's curve, from the curve point that Newton's
// method finds between the parameters lo and hi starting at t: a point of the
// curve, so never nearer than the curve's nearest point, and a point found
// within a tolerance here is within it. Without parameters, or when the
// curve cannot be evaluated, the wire's own (whole-curve) answer.
double DistanceNear(const Dezaz_Wire& wire, const cVertex& v, double t, double lo, double hi)
{
    const ON_Curve* curve = wire.GetCurve();
    const ON_3dPoint p(v.x, v.y, v.z);
    const auto whole = [&] { return wire.GetDistanceToPoint({p.x, p.y, p.z}); };
    if (curve == nullptr || !(lo <= t && t <= hi))
        return whole();
    double best = DBL_MAX;
    for (int step = 0; step < 8; ++step)
    {
        ON_3dVector d[3];
        if (!curve->Evaluate(t, 2, d))
            return whole();
        const ON_3dVector r(d[0].x - p.x, d[0].y - p.y, d[0].z - p.z);
        best = std::min(best, r.Length());
        const double f = ON_DotProduct(r, d[1]);
        const double df = ON_DotProduct(d[1], d[1]) + ON_DotProduct(r, d[2]);
        if (!(df > 0.0))
            break;
        const double next = std::clamp(t - f / df, lo, hi);
        if (std::fabs(next - t) <= 1e-12 * (1.0 + std::fabs(t)))
        {
            t = next;
            break;
        }
        t = next;
    }
    ON_3dPoint q;
    if (curve->EvPoint(t, q))
        best = std::min(best, p.DistanceTo(q));
    return best;
}

} // namespace

template <class TWire> void ST_TSplineCurve<TWire>::Reset()
{
    ST_ISectionCurve::Reset();
    m_wire.Reset();
    m_fit.Clear();
    m_interpolation.Clear();
}

template <class TWire> bool ST_TSplineCurve<TWire>::HasValidWire() const
{
    return !m_fit.IsEmpty() && sections.GetCount() > 0 && m_wire.IsValid();
}

template <class TWire> void ST_TSplineCurve<TWire>::SetClosed(bool closed)
{
    const std::uint8_t flag = closed ? 1 : 0;
    if (flag == m_closed)
        return;
    m_closed = flag;
    RebuildSplineWire();
}

template <class TWire> void ST_TSplineCurve<TWire>::CopyFrom(const ST_ISectionCurve& source)
{
    if (!IsSameCurveClass(*this, source))
        return;
    const auto& spline = static_cast<const ST_TSplineCurve&>(source);
    m_fit = spline.m_fit;
    m_interpolation = spline.m_interpolation;
    m_control = spline.m_control;
    m_closed = spline.m_closed;
    m_option = spline.m_option;
    m_smoothing = spline.m_smoothing;
    m_edited = spline.m_edited;
    m_wire = spline.m_wire;
}

template <class TWire> std::unique_ptr<ST_ISectionCurve> ST_TSplineCurve<TWire>::Clone() const
{
    return std::make_unique<ST_TSplineCurve>(m_closed);
}

template <class TWire> bool ST_TSplineCurve<TWire>::RebuildSplineWire()
{
    if (m_interpolation.GetVertexCount() < 2)
        return false;
    if (!m_wire.InterpolatePoints(m_interpolation, IsClosed(), m_option, 0))
        return false;
    m_wire.GetControlPoints(m_control);
    InvalidateFitRms();
    return true;
}

template <class TWire> bool ST_TSplineCurve<TWire>::SetFrame(const double frame_[12])
{
    std::copy(frame_, frame_ + 12, frame);
    return RebuildSplineWire();
}

template <class TWire>
bool ST_TSplineCurve<TWire>::RebuildWire(const double frame_[12],
                                         const tPolylineCollection<tFramePolyline<cVertex>>& sections_, float,
                                         tPolyline<cVertex>* output)
{
    double savedFrame[12];
    std::copy(frame_, frame_ + 12, savedFrame);
    // The user's points lie in the curve's own frame. A refit cuts the scan
    // in a frame of its own (a revolved axis point found elsewhere on a wider
    // region): the points go along by the move of the origin within the
    // profile plane before they are snapped onto the new fit points. Taken
    // as they were, a move of 7 along the axis moved them up to 6.4 on the
    // profile and its ends by the whole 7.
    if (m_edited)
    {
        double shift[2] = {0.0, 0.0};
        for (int axis = 0; axis < 2; ++axis)
            for (int row = 0; row < 3; ++row)
                shift[axis] += savedFrame[4 * row + axis] * (frame[4 * row + 3] - savedFrame[4 * row + 3]);
        if (std::isfinite(shift[0]) && std::isfinite(shift[1]))
            for (cVertex& point : m_interpolation.vertices)
            {
                point.x = static_cast<float>(point.x + shift[0]);
                point.y = static_cast<float>(point.y + shift[1]);
            }
    }
    tPolylineCollection<tFramePolyline<cVertex>> collection(sections_);
    tPolyline<cVertex> merged;
    MergeSectionPolylines(static_cast<std::int32_t>(std::min(mergeMode, kFinestMergeMode)), collection, merged);
    sections = std::move(collection);
    if (output)
        *output = merged;
    return SetSplineFromPolyline(merged, savedFrame, m_option, IsClosed());
}

template <class TWire>
bool ST_TSplineCurve<TWire>::SetSplineFromPolyline(const tPolyline<cVertex>& points, const double frame_[12],
                                                   std::uint8_t option, bool closed)
{
    double savedFrame[12];
    std::copy(frame_, frame_ + 12, savedFrame);
    tPolyline<cVertex> copy(points);
    InvalidateFitRms();
    std::copy(savedFrame, savedFrame + 12, frame);
    m_fit = std::move(copy);
    m_closed = closed ? 1 : 0;
    m_option = option;
    if (m_edited && m_fit.GetVertexCount() >= m_interpolation.GetVertexCount())
        SnapPointsToFitPoints(true);
    else
    {
        ApplySmoothing(m_smoothing);
        m_edited = 0;
    }
    if (!m_fit.IsEmpty())
    {
        Flatten(cachedStart, *m_fit.GetFirstVertex());
        Flatten(cachedEnd, *m_fit.GetLastVertex());
        Flatten(cachedMid, *m_fit.GetVertex(m_fit.GetVertexCount() / 2));
    }
    return RebuildSplineWire();
}

template <class TWire> void ST_TSplineCurve<TWire>::SnapPointsToFitPoints(bool includeEnds)
{
    const std::uint32_t count = m_interpolation.GetVertexCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        cVertex& point = *m_interpolation.GetVertex(i);
        if (!includeEnds && (i == 0 || i + 1 == count))
        {
            point.index = kNoFitPoint;
            continue;
        }
        std::int32_t nearest = -1;
        FindNearestVertex(m_fit, point.Position(), &nearest);
        if (nearest < 0)
            continue;
        point = *m_fit.GetVertex(static_cast<std::uint32_t>(nearest));
        point.index = static_cast<std::uint32_t>(nearest);
    }
    m_interpolation.boxValid = 0;
}

template <class TWire> bool ST_TSplineCurve<TWire>::ApplySmoothing(float smoothing)
{
    m_smoothing = smoothing;
    m_interpolation = m_fit;
    if (!(smoothing > FLT_EPSILON) || !std::isfinite(smoothing))
        return true;
    // More steps than fit points add nothing the fit points do not hold,
    // and a stored value may ask for any number of them.
    const double steps = std::min<double>(smoothing, 4.0 * std::max<std::uint32_t>(m_fit.GetVertexCount(), 1));
    // A step of no length (coincident fit points) or below the resampler's
    // reach leaves every fit point in place.
    const double step = m_fit.GetLength() / steps;
    if (step > 0.0 && std::isfinite(step))
        ResamplePolyline(m_interpolation, static_cast<float>(step));
    double own[12];
    std::copy(frame, frame + 12, own);
    return SetFrame(own);
}

template <class TWire>
bool ST_TSplineCurve<TWire>::FitToPolyline(const double frame_[12], const tPolyline<cVertex>& polyline,
                                           double tolerance, std::uint8_t option)
{
    if (!(tolerance >= kLeastFitTolerance))
        return SetSplineFromPolyline(polyline, frame_, option, IsClosed());
    double savedFrame[12];
    std::copy(frame_, frame_ + 12, savedFrame);
    const tPolyline<cVertex> source(polyline);
    tPolyline<cVertex> kept(source);
    SimplifyPolyline(kept, static_cast<float>(tolerance), FLT_MAX);

    // Which source points the thinned polyline kept (it keeps them in order).
    const std::uint32_t n = source.GetVertexCount();
    std::vector<std::uint8_t> inSpline(n, 0);
    for (std::uint32_t i = 0, j = 0; i < n && j < kept.GetVertexCount(); ++i)
        if (SquaredDistance3f(source.GetVertex(i)->Position(), kept.GetVertex(j)->Position()) < FLT_EPSILON)
        {
            inSpline[i] = 1;
            ++j;
        }
    if (!SetSplineFromPolyline(kept, savedFrame, option, IsClosed()))
        return false;

    // Each pass adds, between every two neighbouring kept points, the source
    // point farthest off the spline, so a section needs a few passes rather
    // than one per point.
    std::vector<std::uint32_t> worst;
    std::vector<double> worstDistance;
    for (;;)
    {
        worst.assign(kept.GetVertexCount() + 1, kNoFitPoint);
        worstDistance.assign(kept.GetVertexCount() + 1, 0.0);
        // A point between two kept points is searched for on the spline
        // between them, from where its place in the section puts it.
        const std::vector<double> pass = m_interpolation.GetVertexCount() == kept.GetVertexCount()
                                             ? PassParameters(m_wire, m_interpolation)
                                             : std::vector<double>();
        std::vector<std::uint32_t> nextKept(n + 1, n);
        for (std::uint32_t i = n; i-- > 0;)
            nextKept[i] = inSpline[i] ? i : nextKept[i + 1];
        std::uint32_t gap = 0;
        std::uint32_t previousKept = 0;
        bool any = false;
        for (std::uint32_t i = 0; i < n; ++i)
        {
            if (inSpline[i])
            {
                ++gap;
                previousKept = i;
                continue;
            }
            const cVertex& v = *source.GetVertex(i);
            double d;
            if (!pass.empty() && gap >= 1 && gap < pass.size() && nextKept[i] < n)
            {
                const double share = static_cast<double>(i - previousKept) / (nextKept[i] - previousKept);
                const double t = pass[gap - 1] + share * (pass[gap] - pass[gap - 1]);
                d = DistanceNear(m_wire, v, t, pass[gap >= 2 ? gap - 2 : 0], pass[std::min<std::size_t>(gap + 1, pass.size() - 1)]);
            }
            else
                d = m_wire.GetDistanceToPoint({v.x, v.y, v.z});
            if (d == FLT_MAX || !(std::fabs(d) > tolerance) || std::fabs(d) <= worstDistance[gap])
                continue;
            worst[gap] = i;
            worstDistance[gap] = std::fabs(d);
            any = true;
        }
        if (!any)
            return true;
        tPolyline<cVertex> grown;
        for (std::uint32_t i = 0, g = 0; i < n; ++i)
        {
            if (inSpline[i])
            {
                grown.AddVertex(*source.GetVertex(i));
                ++g;
            }
            else if (worst[g] == i)
            {
                grown.AddVertex(*source.GetVertex(i));
                inSpline[i] = 1;
            }
        }
        kept = std::move(grown);
        if (!SetSplineFromPolyline(kept, savedFrame, option, IsClosed()))
            return false;
    }
}

template <class TWire>
bool ST_TSplineCurve<TWire>::InterpolatePolyline(const double[12], const tPolyline<cVertex>& points,
                                                 std::uint8_t option)
{
    if (!m_wire.InterpolatePoints(points, IsClosed(), option, 0))
        return false;
    m_wire.GetControlPoints(m_control);
    const std::uint32_t count = m_interpolation.GetVertexCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        cVertex& v = *m_interpolation.GetVertex(i);
        if ((i == 0 || i + 1 == count) && !m_control.IsEmpty())
        {
            const cVertex& c = i == 0 ? *m_control.GetFirstVertex() : *m_control.GetLastVertex();
            v.x = c.x;
            v.y = c.y;
            v.z = c.z;
        }
        else
        {
            const double t = m_wire.GetFractionAtPoint({v.x, v.y, v.z});
            t3DPoint<double> p;
            if (t != -FLT_MAX && m_wire.EvaluateAtFraction(t, &p, nullptr))
                SetPosition(v, p.Data());
        }
        RefreshUnsetBit(v);
    }
    m_interpolation.boxValid = 0;
    InvalidateFitRms();
    return true;
}

template <class TWire> bool ST_TSplineCurve<TWire>::RefineToTolerance(float tolerance)
{
    const std::uint32_t n = m_fit.GetVertexCount();
    double deviationMax = -FLT_MAX;
    if (tolerance <= 0.0f && n >= 3)
        for (std::uint32_t i = 1; i + 1 < n; ++i)
        {
            cVertex& v = *m_fit.GetVertex(i);
            const double d =
                PointSegmentDistance3f(v.Position(), m_fit.GetVertex(i - 1)->Position(), m_fit.GetVertex(i + 1)->Position());
            v.SetScalar(static_cast<float>(d));
            deviationMax = std::max(deviationMax, d);
        }
    float working = static_cast<float>(std::max<double>(tolerance, deviationMax));
    if (tolerance < deviationMax)
    {
        SnapPointsToFitPoints(IsClosed());
        for (cVertex& point : m_interpolation.vertices)
        {
            const std::uint32_t k = point.index;
            if (k == 0 || k == kNoFitPoint || k + 1 >= n)
                continue;
            const cVertex& a = *m_fit.GetVertex(k - 1);
            const cVertex& b = *m_fit.GetVertex(k);
            const cVertex& c = *m_fit.GetVertex(k + 1);
            const double p[3] = {b.x + 0.25 * (a.x - 2.0 * b.x + c.x), b.y + 0.25 * (a.y - 2.0 * b.y + c.y),
                                 b.z + 0.25 * (a.z - 2.0 * b.z + c.z)};
            SetPosition(point, p);
        }
        double own[12];
        std::copy(frame, frame + 12, own);
        SetFrame(own);
    }
    // A tolerance of nothing would accept every fit point again and again.
    working = std::max(working, ToleranceFloor(m_fit));
    if (!std::isfinite(working))
        return false;
    for (cVertex& v : m_fit.vertices)
        v.flags |= kFitPointCandidateBit;

    // Distances change only when a point goes in; a refused point just drops
    // out of the candidates.
    bool measured = false;
    while (m_interpolation.GetVertexCount() <= kMaxRefinedSplinePoints)
    {
        if (!measured)
        {
            for (cVertex& v : m_fit.vertices)
                if ((v.flags & kFitPointCandidateBit) && !(v.flags & kVertexUnsetBit))
                    v.SetScalar(static_cast<float>(m_wire.GetDistanceToPoint({v.x, v.y, v.z})));
            measured = true;
        }
        cVertex* best = nullptr;
        for (cVertex& v : m_fit.vertices)
        {
            if (!(v.flags & kFitPointCandidateBit) || (v.flags & kVertexUnsetBit))
                continue;
            const float d = v.GetScalar();
            if (d >= working && d < FLT_MAX && (best == nullptr || d > best->GetScalar()))
                best = &v;
        }
        if (best == nullptr)
            break;
        if (InsertSplinePoint(best->Position(), 2.0 * working))
            measured = false;
        else
            best->flags &= ~kFitPointCandidateBit;
    }
    return true;
}

template <class TWire> bool ST_TSplineCurve<TWire>::InsertSplinePoint(const float p[3], double spacing)
{
    cVertex point{};
    point.x = p[0];
    point.y = p[1];
    point.z = p[2];
    RefreshUnsetBit(point);
    const std::uint32_t count = m_interpolation.GetVertexCount();
    if (count < 2)
        m_interpolation.AddVertex(point);
    else
    {
        double d = 0.0;
        double t = PointSegmentParameter(p, m_interpolation.GetVertex(0)->Position(),
                                         m_interpolation.GetVertex(1)->Position(), &d);
        double best = t < 1.0 ? d : FLT_MAX;
        std::uint32_t position = t > 0.0 ? 1 : 0;
        double tBest = t;
        for (std::uint32_t i = 2; i < count; ++i)
        {
            const float* a = m_interpolation.GetVertex(i - 1)->Position();
            const float* b = m_interpolation.GetVertex(i)->Position();
            if (std::sqrt(SquaredDistance3f(p, a)) < spacing || std::sqrt(SquaredDistance3f(p, b)) < spacing)
                return false;
            t = PointSegmentParameter(p, a, b, &d);
            if (t >= 0.0 && t < 1.0 && d < best)
            {
                best = d;
                tBest = t;
                position = i;
            }
        }
        if (t >= 1.0 && d < best)
            tBest = t;
        if (tBest < 0.0)
            m_interpolation.InsertVertexAt(0, point);
        else if (tBest >= 1.0)
            m_interpolation.AddVertex(point);
        else
            m_interpolation.InsertVertexAt(position, point);
    }
    m_edited = 1;
    if (m_interpolation.GetVertexCount() > 1 && m_wire.InterpolatePoints(m_interpolation, IsClosed(), m_option, 0))
    {
        m_wire.GetControlPoints(m_control);
        InvalidateFitRms();
    }
    return true;
}

template <class TWire> t3DPoint<float> ST_TSplineCurve<TWire>::GetJointPoint(std::uint32_t index) const
{
    if (index >= m_interpolation.GetVertexCount())
        return {FLT_MAX, FLT_MAX, FLT_MAX};
    const cVertex& v = *m_interpolation.GetVertex(index);
    return {v.x, v.y, v.z};
}

template <class TWire> bool ST_TSplineCurve<TWire>::InsertJoint(std::uint32_t, const t3DPoint<float>& point)
{
    return InsertSplinePoint(&point.x, 0.0);
}

template <class TWire> bool ST_TSplineCurve<TWire>::RemoveJoint(std::uint32_t index)
{
    if (index >= m_interpolation.GetVertexCount())
        return false;
    m_interpolation.RemoveVertexAt(index);
    m_edited = 1;
    return RebuildSplineWire();
}

template <class TWire> bool ST_TSplineCurve<TWire>::MoveJoint(std::uint32_t index, const t3DPoint<float>& point)
{
    if (index >= m_interpolation.GetVertexCount())
        return false;
    AssignFlaggedPoint3f(*m_interpolation.GetVertex(index), &point.x);
    m_interpolation.boxValid = 0;
    m_edited = 1;
    return RebuildSplineWire();
}

template <class TWire> bool ST_TSplineCurve<TWire>::ExtendSplineEnd(bool atStart, double distance, bool rebuild)
{
    if (!m_wire.IsValid() || m_closed || m_interpolation.IsEmpty())
        return false;
    // The interpolation points are in the curve's plane already, as is the
    // tangent the end moves along.
    cVertex& end = atStart ? *m_interpolation.GetFirstVertex() : *m_interpolation.GetLastVertex();
    double* cached = atStart ? cachedStart : cachedEnd;
    cached[0] = end.x;
    cached[1] = end.y;
    cached[2] = end.z;
    if (atStart)
        ExtendStartPoint(distance);
    else
        ExtendEndPoint(distance);
    SetPosition(end, cached);
    m_interpolation.boxValid = 0;
    return rebuild ? RebuildSplineWire() : true;
}

template <class TWire> bool ST_TSplineCurve<TWire>::ExtendStart(double distance, bool rebuild)
{
    return ExtendSplineEnd(true, distance, rebuild);
}

template <class TWire> bool ST_TSplineCurve<TWire>::ExtendEnd(double distance, bool rebuild)
{
    return ExtendSplineEnd(false, distance, rebuild);
}

template <class TWire>
bool ST_TSplineCurve<TWire>::EvaluateInWorld(double fraction, t3DPoint<double>* point, t3DPoint<double>* tangent,
                                             t3DPoint<double>* third) const
{
    double direction[3] = {0.0, 0.0, 0.0};
    const cVertex* low = nullptr;
    const cVertex* high = nullptr;
    for (const cVertex& v : m_interpolation.vertices)
    {
        const double t = m_wire.GetFractionAtPoint({v.x, v.y, v.z});
        if (t == -FLT_MAX)
            continue;
        if (t <= fraction)
            low = &v;
        if (t >= fraction && high == nullptr)
            high = &v;
    }
    for (const cVertex* v : {low, high})
        if (v != nullptr)
        {
            direction[0] += v->nx;
            direction[1] += v->ny;
            direction[2] += v->nz;
        }
    if (Dot3d(direction, direction) > FLT_EPSILON)
    {
        const double length = std::sqrt(Dot3d(direction, direction));
        for (double& c : direction)
            c /= length;
    }
    if (!EvaluateWireInWorld(*this, fraction, point, tangent))
        return false;
    if (third)
        *third = LocalToWorldDirection({direction[0], direction[1], direction[2]});
    return true;
}

template <class TWire> bool ST_TSplineCurve<TWire>::Write(IBinStream& stream) const
{
    if (m_fit.GetVertexCount() < 2)
        return false;
    cRecordWriter writer(stream);
    writer.PutGuid(GetClassGuid());
    WriteSectionCurveBase(writer, *this);
    writer.Put(m_fit.GetVertexCount());
    writer.PutPositions(m_fit, false);
    writer.Put(m_closed);
    writer.Put(m_edited);
    writer.Put(mergeMode);
    writer.Put(m_smoothing);
    writer.Put(m_interpolation.GetVertexCount());
    writer.PutPositions(m_interpolation, true);
    return writer.Ok();
}

template <class TWire> bool ST_TSplineCurve<TWire>::Read(IBinStream& stream, std::uint32_t major, std::uint32_t minor)
{
    Reset();
    cRecordReader reader(stream);
    std::uint32_t fitCount = 0;
    if (!ReadSectionCurveBase(reader, *this) || !reader.Get(fitCount) || !reader.GetPositions(fitCount, m_fit, false) ||
        !reader.Get(m_closed) || !reader.Get(m_edited) || !reader.Get(mergeMode))
        return false;
    if (major == 0 && minor < 5)
    {
        m_interpolation = m_fit;
        m_smoothing = 0.0f;
    }
    else
    {
        std::uint32_t count = 0;
        const bool withDirections = !(major == 0 && minor == 5);
        if (!reader.Get(m_smoothing) || !reader.Get(count) ||
            !reader.GetPositions(count, m_interpolation, withDirections))
            return false;
        for (cVertex& v : m_interpolation.vertices)
            RefreshUnsetBit(v);
        if (count == 0)
            ApplySmoothing(m_smoothing);
    }
    // Every byte is read: a spline that cannot be interpolated keeps its points.
    double own[12];
    std::copy(frame, frame + 12, own);
    SetFrame(own);
    InvalidateFitRms();
    return true;
}

template class ST_TSplineCurve<Dezaz_Wire>;
