#include "shapes/combo_section_curve.h"

#include "fitting/circle_fit.h"
#include "fitting/line_fit.h"
#include "fitting/section_merge.h"
#include "shapes/arc_section_curve.h"
#include "shapes/dezaz_wire.h"
#include "shapes/line_section_curve.h"
#include "shapes/section_curve_factory.h"
#include "shapes/section_curve_geometry.h"
#include "shapes/section_curve_records.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr std::uint32_t kFinestMergeMode = 7;

void StoreFlat(double target[3], const t3DPoint<double>& p)
{
    target[0] = p.x;
    target[1] = p.y;
    target[2] = 0.0;
}

double Distance2d(const double a[3], const t3DPoint<double>& b)
{
    return std::hypot(a[0] - b.x, a[1] - b.y);
}

// The piece's wire: a line for a 2-point record, else the arc from its start
// through its interior point to its end.
bool BuildPieceWire(ST_IWire& wire, const tComboSegment& segment)
{
    if (segment.GetVertexCount() < 2)
        return false;
    if (!IsArcRecord(segment))
        return wire.SetLine(*segment.GetVertex(0), *segment.GetVertex(1));
    const t3DPoint<double> centre = segment.GetVertexCount() > 3 ? *segment.GetVertex(3) : t3DPoint<double>();
    const double radius = segment.GetVertexCount() > 4 ? segment.GetVertex(4)->x : 0.0;
    return wire.SetArcThrough3Points(*segment.GetVertex(0), *segment.GetVertex(2), *segment.GetVertex(1), centre,
                                     radius) &&
           wire.GetMidPoint() != kUnsetWirePoint;
}

t3DPoint<double> UnitXY(t3DPoint<double> v)
{
    v.z = 0.0;
    NormaliseVector3d(v.Data());
    return v;
}

constexpr double kTwoPi = 6.283185307179586;

// The angle from `from` to `to` turning counter-clockwise, in [0, 2 pi).
double CounterClockwiseTurn(double from, double to)
{
    const double turn = std::fmod(to - from, kTwoPi);
    return turn < 0.0 ? turn + kTwoPi : turn;
}

// The circle of an end arc record (its start, end and interior point), or
// false for a line or an arc that has no finite circle.
struct EndArcCircle
{
    double start[3], interior[3], end[3], centre[3], radius;
};

bool EndArcCircleOf(const tComboSegment& segment, EndArcCircle& arc)
{
    if (!IsArcRecord(segment) || segment.GetVertexCount() < 3)
        return false;
    const auto flat = [&](int index, double out[3])
    {
        out[0] = segment.GetVertex(index)->x;
        out[1] = segment.GetVertex(index)->y;
        out[2] = 0.0;
    };
    flat(0, arc.start);
    flat(2, arc.interior);
    flat(1, arc.end);
    arc.radius = CircumradiusOf3Points(arc.start, arc.interior, arc.end, arc.centre);
    return arc.radius > 0.0 && std::isfinite(arc.radius);
}

// Where an end of the chain moves when it is lengthened by `length` the way
// `direction` (the unit tangent, pointing out of the chain) runs; a negative
// length shortens it. A line's end moves along the direction; an arc's end
// moves along the arc's circle, so that the arc keeps its radius (the arc
// rebuilt through an end pushed along its tangent and the old interior point
// would be another, larger one), outwards by at most a quarter of the gap the
// arc leaves open, inwards short of its interior point.
t3DPoint<double> LengthenedEnd(const tComboSegment& segment, const t3DPoint<double>& end,
                               const t3DPoint<double>& direction, double length)
{
    const t3DPoint<double> pushed(end.x + direction.x * length, end.y + direction.y * length, 0.0);
    EndArcCircle arc;
    if (!EndArcCircleOf(segment, arc))
        return pushed;
    const double *a = arc.start, *b = arc.interior, *c = arc.end, *centre = arc.centre;
    const double radius = arc.radius;
    const double a0 = std::atan2(a[1] - centre[1], a[0] - centre[0]);
    const double toMid = CounterClockwiseTurn(a0, std::atan2(b[1] - centre[1], b[0] - centre[0]));
    const double toEnd = CounterClockwiseTurn(a0, std::atan2(c[1] - centre[1], c[0] - centre[0]));
    const double sweep = toMid <= toEnd ? toEnd : kTwoPi - toEnd;
    const double rx = end.x - centre[0], ry = end.y - centre[1];
    // Counter-clockwise when the direction turns left of the radius.
    const double sense = rx * direction.y - ry * direction.x >= 0.0 ? 1.0 : -1.0;
    const double aEnd = std::atan2(ry, rx);
    const double aInterior = std::atan2(b[1] - centre[1], b[0] - centre[0]);
    const double toInterior = sense > 0.0 ? CounterClockwiseTurn(aInterior, aEnd) : CounterClockwiseTurn(aEnd, aInterior);
    const double turn = sense * std::clamp(length / radius, -0.9 * toInterior, 0.25 * (kTwoPi - sweep));
    const double angle = aEnd + turn;
    return {centre[0] + radius * std::cos(angle), centre[1] + radius * std::sin(angle), 0.0};
}

// The length along an end arc whose chord from the section's end is
// `chord`: how far the arc was lengthened there before (it slides along its
// circle, so the straight distance is short of it). A line's is the chord.
double LengthAlongEnd(const tComboSegment& segment, double chord)
{
    EndArcCircle arc;
    if (!EndArcCircleOf(segment, arc) || chord >= 2.0 * arc.radius)
        return chord;
    return 2.0 * arc.radius * std::asin(chord / (2.0 * arc.radius));
}

} // namespace

template <class TWire> void ST_TComboCurve<TWire>::Reset()
{
    ST_ISectionCurve::Reset();
    m_wire.Reset();
    m_segments.clear();
    m_section.Clear();
    m_joints.Clear();
}

template <class TWire> bool ST_TComboCurve<TWire>::HasValidWire() const
{
    return !m_segments.empty() && sections.GetCount() > 0 && m_wire.IsValid();
}

template <class TWire> void ST_TComboCurve<TWire>::CopyFrom(const ST_ISectionCurve& source)
{
    if (!IsSameCurveClass(*this, source))
        return;
    const auto& combo = static_cast<const ST_TComboCurve&>(source);
    m_segments = combo.m_segments;
    m_joints = combo.m_joints;
    m_section = *combo.GetSectionPolyline();
    m_closed = combo.IsClosed() ? 1 : 0;
    m_edited = combo.m_edited;
    m_endExtension = combo.m_endExtension;
    m_wire = combo.m_wire;
}

template <class TWire> std::unique_ptr<ST_ISectionCurve> ST_TComboCurve<TWire>::Clone() const
{
    return std::make_unique<ST_TComboCurve>(m_closed);
}

template <class TWire>
bool ST_TComboCurve<TWire>::RebuildWire(const double frame_[12],
                                        const tPolylineCollection<tFramePolyline<cVertex>>& sections_,
                                        float endExtension, tPolyline<cVertex>* output)
{
    double savedFrame[12];
    std::copy(frame_, frame_ + 12, savedFrame);
    // The user's joints lie in the curve's own frame. A refit cuts the scan
    // in a frame of its own (a revolved axis point found elsewhere on a wider
    // region): the joints go along by the move of the origin within the
    // profile plane, so that each finds its own place on the new sections.
    // Taken as they were, a move of 7 along the axis put every joint of a
    // line-arc chain onto another piece.
    double jointShift[2] = {0.0, 0.0};
    for (int axis = 0; axis < 2; ++axis)
        for (int row = 0; row < 3; ++row)
            jointShift[axis] += savedFrame[4 * row + axis] * (frame[4 * row + 3] - savedFrame[4 * row + 3]);
    // The caller may hand the curve's own sections.
    tPolylineCollection<tFramePolyline<cVertex>> collection(sections_);

    m_section.Clear();
    m_segments.clear();
    m_endExtension = endExtension;
    MergeSectionPolylines(static_cast<std::int32_t>(std::min(mergeMode, kFinestMergeMode)), collection, m_section);
    for (cVertex& v : m_section.vertices)
        v.z = 0.0f;
    m_section.boxValid = 0;
    OpenAtLargestGap(m_section);
    sections = std::move(collection);
    std::copy(savedFrame, savedFrame + 12, frame);

    if (output)
    {
        *output = m_section;
        m_edited = 0;
        return true;
    }
    const std::uint32_t n = m_section.GetVertexCount();
    if (n < 2)
    {
        m_edited = 0;
        return false;
    }
    if (m_joints.GetVertexCount() < 3 || !m_edited)
    {
        m_edited = 0;
        cVertex first = *m_section.GetFirstVertex();
        cVertex last = m_closed ? first : *m_section.GetLastVertex();
        first.index = 0;
        last.index = n - 1;
        m_joints.Clear();
        m_joints.AddVertex(first);
        m_joints.AddVertex(last);
        InsertComboLineRecord(m_segments, 0, first, last);
        FitComboSegmentAuto(m_section, m_joints, m_segments, 0, IsClosed());
        return RebuildComboWire(false);
    }
    if (std::isfinite(jointShift[0]) && std::isfinite(jointShift[1]))
        for (cVertex& joint : m_joints.vertices)
        {
            joint.x = static_cast<float>(joint.x + jointShift[0]);
            joint.y = static_cast<float>(joint.y + jointShift[1]);
        }
    AssignJointIndices(m_joints, m_section);
    cVertex& first = *m_joints.GetFirstVertex();
    first = *m_section.GetFirstVertex();
    first.index = 0;
    cVertex& last = *m_joints.GetLastVertex();
    last = *m_section.GetLastVertex();
    last.index = n - 1;
    for (std::uint32_t i = 0; i + 1 < m_joints.GetVertexCount(); ++i)
        InsertComboLineRecord(m_segments, i, *m_joints.GetVertex(i), *m_joints.GetVertex(i + 1));
    FitAllComboSegments(m_section, m_joints, m_segments, IsClosed());
    return RebuildComboWire(true);
}

template <class TWire> void ST_TComboCurve<TWire>::FallBackToSectionPoints()
{
    const std::uint32_t n = m_section.GetVertexCount();
    if (n == 0)
        return;
    StoreFlat(cachedStart, FlattenedPoint(*m_section.GetFirstVertex()));
    StoreFlat(cachedEnd, FlattenedPoint(*m_section.GetLastVertex()));
    StoreFlat(cachedMid, FlattenedPoint(*m_section.GetVertex(n / 2)));
}

template <class TWire> bool ST_TComboCurve<TWire>::RebuildComboWire(bool extend)
{
    if (m_segments.empty())
    {
        m_wire.Reset();
        return false;
    }
    double ds = 0.0;
    double de = 0.0;
    if (extend)
    {
        SolveComboJoints(m_segments, IsClosed());
        if (!m_closed && !m_joints.IsEmpty())
        {
            const t3DPoint<double> firstJoint = FlattenedPoint(*m_joints.GetFirstVertex());
            const t3DPoint<double> lastJoint = FlattenedPoint(*m_joints.GetLastVertex());
            const tComboSegment& head = m_segments.front();
            const tComboSegment& tail = m_segments.back();
            // The ends keep the lengthening they had: an end arc's is
            // measured along it, as it is applied (by the straight distance
            // every rebuild, a reopen or a refit, took back a little more).
            const double toFirst = Distance2d(cachedStart, firstJoint);
            ds = toFirst * toFirst >= FLT_EPSILON ? LengthAlongEnd(head, toFirst)
                                                  : m_endExtension * Distance2d(cachedStart, *head.GetVertex(1)) * 0.5;
            StoreFlat(cachedStart, *head.GetVertex(0));
            const double toLast = Distance2d(cachedEnd, lastJoint);
            de = toLast * toLast >= FLT_EPSILON ? LengthAlongEnd(tail, toLast)
                                                : m_endExtension * Distance2d(cachedEnd, *tail.GetVertex(0)) * 0.5;
            StoreFlat(cachedEnd, *tail.GetVertex(1));
        }
    }

    m_wire.Reset();
    std::unique_ptr<ST_IWire> piece(m_wire.CreateEmpty());
    if (extend)
    {
        if (de > FLT_EPSILON && BuildPieceWire(*piece, m_segments.back()))
        {
            const t3DPoint<double> t = UnitXY(piece->GetEndTangent());
            const t3DPoint<double> end(cachedEnd[0], cachedEnd[1], 0.0);
            StoreFlat(cachedEnd, LengthenedEnd(m_segments.back(), end, t, de));
            *m_segments.back().GetVertex(1) = {cachedEnd[0], cachedEnd[1], 0.0};
        }
        if (ds > FLT_EPSILON && BuildPieceWire(*piece, m_segments.front()))
        {
            const t3DPoint<double> t = UnitXY(piece->GetStartTangent());
            const t3DPoint<double> start(cachedStart[0], cachedStart[1], 0.0);
            StoreFlat(cachedStart, LengthenedEnd(m_segments.front(), start, {-t.x, -t.y, 0.0}, ds));
            *m_segments.front().GetVertex(0) = {cachedStart[0], cachedStart[1], 0.0};
        }
    }
    for (const tComboSegment& segment : m_segments)
    {
        piece->Reset();
        if (!BuildPieceWire(*piece, segment) || !m_wire.AddSegment(*piece))
        {
            FallBackToSectionPoints();
            return false;
        }
    }
    StoreFlat(cachedStart, m_wire.GetStartPoint());
    StoreFlat(cachedEnd, m_wire.GetEndPoint());
    StoreFlat(cachedMid, m_wire.GetMidPoint());
    InvalidateFitRms();
    return true;
}

template <class TWire> bool ST_TComboCurve<TWire>::SetFrame(const double frame_[12])
{
    std::copy(frame_, frame_ + 12, frame);
    return RebuildComboWire(false);
}

template <class TWire>
bool ST_TComboCurve<TWire>::FitToPolyline(const double frame_[12], const tPolyline<cVertex>& polyline, double,
                                          std::uint8_t)
{
    tPolylineCollection<tFramePolyline<cVertex>> single;
    MakeSingleSection(frame_, polyline, single);
    return RebuildWire(frame_, single, 0.0f, nullptr);
}

template <class TWire>
bool ST_TComboCurve<TWire>::InterpolatePolyline(const double frame_[12], const tPolyline<cVertex>& points,
                                                std::uint8_t option)
{
    return FitToPolyline(frame_, points, 0.0, option);
}

// An end arc (a revolved shape's end handle dragged) moves along its circle,
// as the chain's own lengthening does: pushed along its tangent it was
// rebuilt through the pushed end and the old interior point as an arc of
// another radius, larger with every drag.
template <class TWire> bool ST_TComboCurve<TWire>::ExtendStart(double distance, bool rebuild)
{
    if (m_closed || !m_wire.IsValid())
        return false;
    if (!m_segments.empty() && IsArcRecord(m_segments.front()) && std::fabs(distance) >= FLT_EPSILON &&
        std::isfinite(distance))
    {
        const t3DPoint<double> t = UnitXY(GetLocalStartTangent());
        StoreFlat(cachedStart, LengthenedEnd(m_segments.front(), {cachedStart[0], cachedStart[1], 0.0},
                                             {-t.x, -t.y, 0.0}, distance));
        InvalidateFitRms();
    }
    else
        ExtendStartPoint(distance);
    cachedStart[2] = 0.0;
    if (!m_segments.empty())
        *m_segments.front().GetVertex(0) = {cachedStart[0], cachedStart[1], 0.0};
    return rebuild ? RebuildComboWire(false) : true;
}

template <class TWire> bool ST_TComboCurve<TWire>::ExtendEnd(double distance, bool rebuild)
{
    if (m_closed || !m_wire.IsValid())
        return false;
    if (!m_segments.empty() && IsArcRecord(m_segments.back()) && std::fabs(distance) >= FLT_EPSILON &&
        std::isfinite(distance))
    {
        const t3DPoint<double> t = UnitXY(GetLocalEndTangent());
        StoreFlat(cachedEnd, LengthenedEnd(m_segments.back(), {cachedEnd[0], cachedEnd[1], 0.0}, t, distance));
        InvalidateFitRms();
    }
    else
        ExtendEndPoint(distance);
    cachedEnd[2] = 0.0;
    if (!m_segments.empty())
        *m_segments.back().GetVertex(1) = {cachedEnd[0], cachedEnd[1], 0.0};
    return rebuild ? RebuildComboWire(false) : true;
}

template <class TWire> t3DPoint<float> ST_TComboCurve<TWire>::GetJointPoint(std::uint32_t index) const
{
    if (index == 0 || index + 1 >= m_joints.GetVertexCount())
        return {FLT_MAX, FLT_MAX, FLT_MAX};
    const cVertex& j = *m_joints.GetVertex(index);
    return {j.x, j.y, j.z};
}

template <class TWire>
bool ST_TComboCurve<TWire>::InsertJoint(std::uint32_t sectionIndex, const t3DPoint<float>& point)
{
    std::uint32_t at = 0;
    const std::uint32_t count = m_joints.GetVertexCount();
    while (at < count && m_joints.GetVertex(at)->index <= sectionIndex)
        ++at;
    if (at == count || at == 0)
        return false;
    cVertex joint{};
    joint.x = point.x;
    joint.y = point.y;
    joint.z = point.z;
    joint.index = sectionIndex;
    m_joints.InsertVertexAt(at, joint);
    InsertComboLineRecord(m_segments, at, joint, *m_joints.GetVertex(at + 1));
    FitAllComboSegments(m_section, m_joints, m_segments, IsClosed());
    m_edited = 1;
    return RebuildComboWire(true);
}

template <class TWire> bool ST_TComboCurve<TWire>::RemoveJoint(std::uint32_t index)
{
    if (index == 0 || index + 1 >= m_joints.GetVertexCount())
        return false;
    m_edited = 1;
    m_joints.RemoveVertexAt(index);
    if (index < m_segments.size())
        m_segments.erase(m_segments.begin() + index);
    FitAllComboSegments(m_section, m_joints, m_segments, IsClosed());
    return RebuildComboWire(true);
}

template <class TWire> bool ST_TComboCurve<TWire>::MoveJoint(std::uint32_t index, const t3DPoint<float>& point)
{
    if (index >= m_joints.GetVertexCount())
        return false;
    std::int32_t nearest = -1;
    FindNearestVertex(m_section, &point.x, &nearest);
    if (nearest < 0)
        return false;
    cVertex& joint = *m_joints.GetVertex(index);
    joint = *m_section.GetVertex(static_cast<std::uint32_t>(nearest));
    joint.index = static_cast<std::uint32_t>(nearest);
    FitAllComboSegments(m_section, m_joints, m_segments, IsClosed());
    m_edited = 1;
    return RebuildComboWire(true);
}

template <class TWire> bool ST_TComboCurve<TWire>::FitComboSegment(std::uint32_t index, bool arc)
{
    std::vector<const cVertex*> piece;
    if (!CollectComboPiece(m_section, m_joints, index, IsClosed(), piece))
        return false;
    tFitPointQueue points;
    for (const cVertex* v : piece)
        points.push_back(MakeFitPoint(v->Position(), nullptr));
    if (arc)
    {
        cCircleFit fit(points);
        fit.ActivateAllPoints();
        double centre[3] = {0.0, 0.0, 0.0};
        double radius = FLT_MAX;
        if (!fit.Fit(centre, radius) || !(radius > 0.0) || !std::isfinite(radius))
            return false;
        double start[3], middle[3], end[3];
        fit.GetArcEnds(centre, radius, middle, start, end);
        return SetComboSegmentArcRecord(m_segments, m_joints, index, start, middle, end, centre, radius);
    }
    cLineFit fit(points);
    fit.ActivateAllPoints();
    double origin[3], direction[3];
    if (!fit.EstimateLine(origin, direction))
        return false;
    double start[3], end[3];
    fit.GetExtent(origin, direction, start, end);
    return SetComboSegmentLineRecord(m_segments, m_joints, index, start, end);
}

template <class TWire> void ST_TComboCurve<TWire>::RefitWithWireKind(std::uint32_t index)
{
    ST_IWire* piece = index < m_wire.GetSegmentCount() ? m_wire.GetSegment(index) : nullptr;
    if (piece != nullptr)
        FitComboSegment(index, piece->GetKind() != kWireLine);
}

template <class TWire> bool ST_TComboCurve<TWire>::SetSegmentKind(std::uint32_t index, const GUID& classId)
{
    const bool line = classId == CLSID_ST_TLineCurve;
    if (!line && !(classId == CLSID_ST_TArcCurve))
        return false;
    FitComboSegment(index, !line);
    const std::uint32_t wireSegments = m_wire.GetSegmentCount();
    const std::uint32_t last = m_joints.GetVertexCount() >= 2 ? m_joints.GetVertexCount() - 2 : 0;
    if (index == 0)
    {
        if (wireSegments > 1)
            RefitWithWireKind(1);
    }
    else if (index == last)
    {
        if (wireSegments > 1)
            RefitWithWireKind(index - 1);
    }
    else if (wireSegments >= 3)
    {
        RefitWithWireKind(index - 1);
        RefitWithWireKind(index + 1);
    }
    return RebuildComboWire(true);
}

template <class TWire>
bool ST_TComboCurve<TWire>::EvaluateInWorld(double fraction, t3DPoint<double>* point, t3DPoint<double>* tangent,
                                            t3DPoint<double>* third) const
{
    if (third)
        *third = {};
    return EvaluateWireInWorld(*this, fraction, point, tangent);
}

template <class TWire> bool ST_TComboCurve<TWire>::Write(IBinStream& stream) const
{
    if (m_joints.GetVertexCount() < 2)
        return false;
    cRecordWriter writer(stream);
    writer.PutGuid(GetClassGuid());
    WriteSectionCurveBase(writer, *this);
    writer.Put(m_joints.GetVertexCount());
    writer.PutPositions(m_joints, false);
    writer.Put(m_closed);
    writer.Put(m_edited);
    writer.Put(mergeMode);
    return writer.Ok();
}

template <class TWire> bool ST_TComboCurve<TWire>::Read(IBinStream& stream, std::uint32_t, std::uint32_t)
{
    Reset();
    cRecordReader reader(stream);
    std::uint32_t count = 0;
    if (!ReadSectionCurveBase(reader, *this) || !reader.Get(count) || !reader.GetPositions(count, m_joints, false) ||
        !reader.Get(m_closed) || !reader.Get(m_edited) || !reader.Get(mergeMode))
        return false;
    // Every byte is read: a chain that cannot be rebuilt keeps its joints and
    // sections, so nothing of the stored profile is lost.
    double own[12];
    std::copy(frame, frame + 12, own);
    RebuildWire(own, sections, 1.0f, nullptr);
    InvalidateFitRms();
    return true;
}

template class ST_TComboCurve<Dezaz_Wire>;
