#include "shapes/arc_section_curve.h"

#include "fitting/fit_drivers.h"
#include "shapes/dezaz_wire.h"
#include "shapes/section_curve_factory.h"
#include "shapes/section_curve_geometry.h"
#include "shapes/section_curve_records.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{

// Ends closer than this (squared) close the arc.
constexpr double kClosedGapSquared = 0.0001;

bool AllFinite(const double p[3])
{
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

// The circle of an arc whose ends meet: its start and its mid point lie
// opposite each other.
double CircleOfClosedArc(const double start[3], const double mid[3], double centre[3])
{
    for (int i = 0; i < 3; ++i)
        centre[i] = 0.5 * (start[i] + mid[i]);
    const double r = 0.5 * std::sqrt((start[0] - mid[0]) * (start[0] - mid[0]) +
                                     (start[1] - mid[1]) * (start[1] - mid[1]) +
                                     (start[2] - mid[2]) * (start[2] - mid[2]));
    return r > 0.0 ? r : -FLT_MAX;
}

constexpr double kTwoPi = 6.283185307179586;

double AngleAbout(const double centre[3], const double p[3])
{
    return std::atan2(p[1] - centre[1], p[0] - centre[0]);
}

// The angle from `from` to `to` turning counter-clockwise, in [0, 2 pi).
double CounterClockwiseTurn(double from, double to)
{
    const double turn = std::fmod(to - from, kTwoPi);
    return turn < 0.0 ? turn + kTwoPi : turn;
}

// +1 when the arc from start through mid to end turns counter-clockwise,
// -1 when clockwise; its sweep (in (0, 2 pi)) goes to `sweep`.
double ArcSense(const double centre[3], const double start[3], const double mid[3], const double end[3],
                double& sweep)
{
    const double a0 = AngleAbout(centre, start);
    const double toMid = CounterClockwiseTurn(a0, AngleAbout(centre, mid));
    const double toEnd = CounterClockwiseTurn(a0, AngleAbout(centre, end));
    if (toMid <= toEnd)
    {
        sweep = toEnd;
        return 1.0;
    }
    sweep = kTwoPi - toEnd;
    return -1.0;
}

// Moves `point` along the circle by `turn` radians (counter-clockwise when
// positive).
void TurnAboutCentre(double point[3], const double centre[3], double radius, double turn)
{
    const double a = AngleAbout(centre, point) + turn;
    point[0] = centre[0] + radius * std::cos(a);
    point[1] = centre[1] + radius * std::sin(a);
    point[2] = 0.0;
}

// A section point this many median residuals off the circle is a stray
// scan point (a spike), not the part.
constexpr double kStrayResidualFactor = 6.0;

// Refits the arc's start, middle and end without the section points that
// lie far off the circle (centre, radius) fitted through all of them: a few
// spikes of a scan would otherwise pull a least-squares circle off the part
// by a good fraction of their height. The arc is left as it was when there
// are none, or the refit fails.
void RefitWithoutStrayPoints(const tPolylineCollection<tFramePolyline<cVertex>>& sections, const double centre[3],
                             double radius, double s[3], double m[3], double e[3])
{
    std::vector<double> residuals;
    for (std::uint32_t i = 0; i < sections.GetCount(); ++i)
        for (std::uint32_t k = 0; k < sections[i].GetVertexCount(); ++k)
        {
            const cVertex v = sections[i].GetVertexInFrame(k);
            residuals.push_back(std::fabs(std::hypot(v.x - centre[0], v.y - centre[1]) - radius));
        }
    if (residuals.size() < 6)
        return;
    std::vector<double> sorted = residuals;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    const double limit = kStrayResidualFactor * sorted[sorted.size() / 2];
    std::size_t strays = 0;
    for (double r : residuals)
        strays += r > limit ? 1 : 0;
    if (strays == 0 || strays * 4 > residuals.size())
        return;
    // The driver's marked-only pass uses the vertices with bit 4 set and bit
    // 1 clear.
    tPolylineCollection<tFramePolyline<cVertex>> marked(sections);
    std::size_t index = 0;
    for (std::uint32_t i = 0; i < marked.GetCount(); ++i)
        for (std::uint32_t k = 0; k < marked[i].GetVertexCount(); ++k)
        {
            std::uint32_t& flags = marked[i].vertices[k].flags;
            flags = (flags | 4u) & ~1u;
            if (residuals[index++] > limit)
                flags |= 1u;
        }
    double c2[3] = {centre[0], centre[1], centre[2]}, r2 = radius, s2[3], m2[3], e2[3];
    const double rms = FitArcToPolylines(marked, c2, r2, s2, m2, e2, true);
    if (!(rms < FLT_MAX) || !AllFinite(s2) || !AllFinite(m2) || !AllFinite(e2) || !(r2 > 0.0))
        return;
    std::copy(s2, s2 + 3, s);
    std::copy(m2, m2 + 3, m);
    std::copy(e2, e2 + 3, e);
}

} // namespace

template <class TWire> void ST_TArcCurve<TWire>::Reset()
{
    ST_ISectionCurve::Reset();
    m_wire.Reset();
    std::fill(m_centre, m_centre + 3, 0.0);
    m_radius = 0.0;
}

template <class TWire> bool ST_TArcCurve<TWire>::HasValidWire() const
{
    return m_radius > 0.0 && sections.GetCount() > 0 && m_wire.IsValid();
}

template <class TWire> void ST_TArcCurve<TWire>::CopyFrom(const ST_ISectionCurve& source)
{
    if (IsSameCurveClass(*this, source))
    {
        const auto& arc = static_cast<const ST_TArcCurve&>(source);
        std::copy(arc.m_centre, arc.m_centre + 3, m_centre);
        m_radius = arc.m_radius;
        m_closed = arc.IsClosed() ? 1 : 0;
        m_wire = arc.m_wire;
    }
    if (const tPolyline<cVertex>* points = source.GetDefiningPoints())
        m_defining = *points;
}

template <class TWire> std::unique_ptr<ST_ISectionCurve> ST_TArcCurve<TWire>::Clone() const
{
    return std::make_unique<ST_TArcCurve>(m_closed);
}

template <class TWire> bool ST_TArcCurve<TWire>::UpdateArcWire()
{
    const t3DPoint<double> centre(m_centre[0], m_centre[1], m_centre[2]);
    // A wire that took the points but found no arc through them (collinear
    // points) holds no curve: that is no arc either.
    if (!m_wire.SetArcThrough3Points(FlattenedPoint(cachedStart), FlattenedPoint(cachedMid),
                                     FlattenedPoint(cachedEnd), centre, m_radius) ||
        m_wire.GetMidPoint() == kUnsetWirePoint)
    {
        m_wire.Reset();
        return false;
    }
    InvalidateFitRms();
    return true;
}

template <class TWire>
bool ST_TArcCurve<TWire>::SetArcFromPoints(const double s[3], const double m[3], const double e[3],
                                           const double frame_[12], float endExtension, bool closed)
{
    const double start[3] = {s[0], s[1], 0.0};
    const double mid[3] = {m[0], m[1], 0.0};
    const double end[3] = {e[0], e[1], 0.0};
    if (!AllFinite(start) || !AllFinite(mid) || !AllFinite(end))
        return false;
    const double gap = (start[0] - end[0]) * (start[0] - end[0]) + (start[1] - end[1]) * (start[1] - end[1]);
    const bool closing = closed || gap < kClosedGapSquared;
    double centre[3];
    double radius = CircumradiusOf3Points(start, mid, end, centre);
    // Ends that meet leave two points: the circle is the one on the diameter
    // from the start to the mid point.
    if (!(radius > 0.0) && closing)
        radius = CircleOfClosedArc(end, mid, centre);
    if (!(radius > 0.0) || !std::isfinite(radius))
        return false;

    // The measure describes the old arc until the new wire is built.
    InvalidateFitRms();
    std::copy(frame_, frame_ + 12, frame);
    std::copy(start, start + 3, cachedStart);
    std::copy(mid, mid + 3, cachedMid);
    std::copy(end, end + 3, cachedEnd);
    m_defining.Clear();
    m_defining.AddPoint3d(cachedStart);
    m_defining.AddPoint3d(cachedMid);
    m_defining.AddPoint3d(cachedEnd);
    std::copy(centre, centre + 3, m_centre);
    m_centre[2] = 0.0;
    m_radius = radius;
    if (closing)
    {
        m_closed = 1;
        std::copy(cachedEnd, cachedEnd + 3, cachedStart);
    }
    if (!m_closed && std::fabs(endExtension) > FLT_EPSILON)
    {
        if (!UpdateArcWire())
            return false;
        const float chord = static_cast<float>(std::hypot(cachedStart[0] - cachedEnd[0], cachedStart[1] - cachedEnd[1]));
        const float d = chord * 0.5f * endExtension;
        // The ends are lengthened along the circle: a push along the end
        // tangents would leave it, and the arc through the pushed ends and
        // the old mid point would be of another, larger radius.
        SlideEnds(d, d);
    }
    return UpdateArcWire();
}

template <class TWire> void ST_TArcCurve<TWire>::SlideEnds(double startLength, double endLength)
{
    if (!(m_radius > 0.0) || !std::isfinite(startLength) || !std::isfinite(endLength))
        return;
    double sweep = 0.0;
    const double sense = ArcSense(m_centre, cachedStart, cachedMid, cachedEnd, sweep);
    const double aMid = AngleAbout(m_centre, cachedMid);
    // Outwards each end by at most a quarter of the gap the arc leaves open,
    // so that lengthening both never closes it; inwards short of the mid
    // point, so that the arc through the three points keeps its side.
    const double outLimit = 0.25 * (kTwoPi - sweep);
    if (std::fabs(startLength) >= FLT_EPSILON)
    {
        const double a = AngleAbout(m_centre, cachedStart);
        const double toMid = sense > 0.0 ? CounterClockwiseTurn(a, aMid) : CounterClockwiseTurn(aMid, a);
        const double turn = std::clamp(startLength / m_radius, -0.9 * toMid, outLimit);
        TurnAboutCentre(cachedStart, m_centre, m_radius, -sense * turn);
    }
    if (std::fabs(endLength) >= FLT_EPSILON)
    {
        const double a = AngleAbout(m_centre, cachedEnd);
        const double toMid = sense > 0.0 ? CounterClockwiseTurn(aMid, a) : CounterClockwiseTurn(a, aMid);
        const double turn = std::clamp(endLength / m_radius, -0.9 * toMid, outLimit);
        TurnAboutCentre(cachedEnd, m_centre, m_radius, sense * turn);
    }
}

template <class TWire>
bool ST_TArcCurve<TWire>::RebuildWire(const double frame_[12],
                                      const tPolylineCollection<tFramePolyline<cVertex>>& sections_,
                                      float endExtension, tPolyline<cVertex>* output)
{
    double centre[3] = {0.0, 0.0, 0.0};
    double radius = 0.0;
    double s[3] = {}, m[3] = {}, e[3] = {};
    const double rms = FitArcToPolylines(sections_, centre, radius, s, m, e, false);
    if (!(rms < FLT_MAX) || !AllFinite(s) || !AllFinite(m) || !AllFinite(e))
        return false;
    RefitWithoutStrayPoints(sections_, centre, radius, s, m, e);
    double savedFrame[12];
    std::copy(frame_, frame_ + 12, savedFrame);
    sections = tPolylineCollection<tFramePolyline<cVertex>>(sections_);
    if (output)
    {
        output->AddPoint3d(s);
        output->AddPoint3d(m);
        output->AddPoint3d(e);
        return true;
    }
    return SetArcFromPoints(s, m, e, savedFrame, endExtension, IsClosed());
}

template <class TWire> bool ST_TArcCurve<TWire>::SetFrame(const double frame_[12])
{
    std::copy(frame_, frame_ + 12, frame);
    return UpdateArcWire();
}

template <class TWire>
bool ST_TArcCurve<TWire>::FitToPolyline(const double frame_[12], const tPolyline<cVertex>& polyline, double,
                                        std::uint8_t)
{
    tPolylineCollection<tFramePolyline<cVertex>> single;
    MakeSingleSection(frame_, polyline, single);
    return RebuildWire(frame_, single, 0.0f, nullptr);
}

template <class TWire>
bool ST_TArcCurve<TWire>::InterpolatePolyline(const double frame_[12], const tPolyline<cVertex>& points,
                                              std::uint8_t option)
{
    return FitToPolyline(frame_, points, 0.0, option);
}

template <class TWire> bool ST_TArcCurve<TWire>::ExtendStart(double distance, bool rebuild)
{
    if (!m_wire.IsValid() || m_closed)
        return false;
    SlideEnds(distance, 0.0);
    return rebuild ? UpdateArcWire() : true;
}

template <class TWire> bool ST_TArcCurve<TWire>::ExtendEnd(double distance, bool rebuild)
{
    if (!m_wire.IsValid() || m_closed)
        return false;
    SlideEnds(0.0, distance);
    return rebuild ? UpdateArcWire() : true;
}

template <class TWire> bool ST_TArcCurve<TWire>::SnapToAxis(double point[3])
{
    const double h2 = m_radius * m_radius - m_centre[0] * m_centre[0];
    if (!(m_radius > 0.0) || !(h2 >= 0.0))
        return false;
    const double h = std::sqrt(h2);
    const double low = m_centre[1] - h;
    const double high = m_centre[1] + h;
    const double saved[3] = {point[0], point[1], point[2]};
    point[0] = 0.0;
    point[1] = std::fabs(high - saved[1]) < std::fabs(low - saved[1]) ? high : low;
    if (UpdateArcWire())
        return true;
    std::copy(saved, saved + 3, point);
    UpdateArcWire();
    return false;
}

template <class TWire> bool ST_TArcCurve<TWire>::SnapStartToAxis()
{
    return SnapToAxis(cachedStart);
}

template <class TWire> bool ST_TArcCurve<TWire>::SnapEndToAxis()
{
    return SnapToAxis(cachedEnd);
}

template <class TWire>
bool ST_TArcCurve<TWire>::EvaluateInWorld(double fraction, t3DPoint<double>* point, t3DPoint<double>* tangent,
                                          t3DPoint<double>* third) const
{
    if (third)
        *third = {};
    return EvaluateWireInWorld(*this, fraction, point, tangent);
}

template <class TWire> bool ST_TArcCurve<TWire>::Write(IBinStream& stream) const
{
    if (!(m_radius > 0.0))
        return false;
    cRecordWriter writer(stream);
    writer.PutGuid(GetClassGuid());
    WriteSectionCurveBase(writer, *this);
    writer.PutPoint(m_centre);
    writer.Put(m_radius);
    writer.Put(m_closed);
    return writer.Ok();
}

template <class TWire> bool ST_TArcCurve<TWire>::Read(IBinStream& stream, std::uint32_t, std::uint32_t)
{
    Reset();
    cRecordReader reader(stream);
    if (!ReadSectionCurveBase(reader, *this) || !reader.GetPoint(m_centre) || !reader.Get(m_radius) ||
        !reader.Get(m_closed))
        return false;
    m_defining.Clear();
    m_defining.AddPoint3d(cachedStart);
    m_defining.AddPoint3d(cachedMid);
    m_defining.AddPoint3d(cachedEnd);
    // Every byte is read: an arc that cannot be rebuilt keeps what it read.
    double own[12];
    std::copy(frame, frame + 12, own);
    SetFrame(own);
    return true;
}

template class ST_TArcCurve<Dezaz_Wire>;
