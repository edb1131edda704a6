#include "shapes/sketch_curve.h"

#include "shapes/dezaz_wire.h"
#include "shapes/section_curve_factory.h"
#include "shapes/section_curve_geometry.h"
#include "shapes/section_curve_records.h"

#include <algorithm>

template <class TWire> ST_TSketch<TWire>::~ST_TSketch()
{
    DeleteCurves();
}

template <class TWire> void ST_TSketch<TWire>::DeleteCurves()
{
    for (ST_ISectionCurve* curve : m_curves)
        delete curve;
    m_curves.clear();
}

template <class TWire> void ST_TSketch<TWire>::Reset()
{
    ST_ISectionCurve::Reset();
    DeleteCurves();
    m_wire.Reset();
}

template <class TWire> void ST_TSketch<TWire>::CopyFrom(const ST_ISectionCurve& source)
{
    m_copied = false;
    if (!IsSameCurveClass(*this, source) || &source == this)
        return;
    const auto& sketch = static_cast<const ST_TSketch&>(source);
    DeleteCurves();
    m_wire.Reset();
    bool all = true;
    for (const ST_ISectionCurve* curve : sketch.m_curves)
    {
        std::unique_ptr<ST_ISectionCurve> copy = curve->Clone();
        if (!copy)
        {
            all = false;
            continue;
        }
        copy->Assign(*curve);
        AddCurve(copy.release());
    }
    m_copied = all;
}

template <class TWire> std::unique_ptr<ST_ISectionCurve> ST_TSketch<TWire>::Clone() const
{
    return std::make_unique<ST_TSketch>();
}

template <class TWire> std::uint32_t ST_TSketch<TWire>::AddCurve(ST_ISectionCurve* curve)
{
    if (curve == nullptr || curve == this || IndexOfCurve(curve) != 0xFFFFFFFFu)
        return 0xFFFFFFFFu;
    m_curves.push_back(curve);
    if (const ST_IWire* wire = curve->GetWire())
        m_wire.AddSegment(*wire);
    return static_cast<std::uint32_t>(m_curves.size() - 1);
}

template <class TWire> void ST_TSketch<TWire>::RemoveCurve(ST_ISectionCurve* curve)
{
    if (curve == nullptr)
        return;
    const auto at = std::find(m_curves.begin(), m_curves.end(), curve);
    if (at == m_curves.end())
        return;
    if (const ST_IWire* wire = curve->GetWire())
        m_wire.RemoveSegment(*wire);
    m_curves.erase(at);
    delete curve;
}

template <class TWire> std::uint32_t ST_TSketch<TWire>::IndexOfCurve(const ST_ISectionCurve* curve) const
{
    const auto at = std::find(m_curves.begin(), m_curves.end(), curve);
    return at == m_curves.end() ? 0xFFFFFFFFu : static_cast<std::uint32_t>(at - m_curves.begin());
}

template <class TWire> ST_ISectionCurve* ST_TSketch<TWire>::GetSegment(std::uint32_t index)
{
    return index < m_curves.size() ? m_curves[index] : nullptr;
}

template <class TWire>
bool ST_TSketch<TWire>::RebuildWire(const double frame_[12],
                                    const tPolylineCollection<tFramePolyline<cVertex>>& sections_, float,
                                    tPolyline<cVertex>*)
{
    double saved[12];
    std::copy(frame_, frame_ + 12, saved);
    sections = tPolylineCollection<tFramePolyline<cVertex>>(sections_);
    std::copy(saved, saved + 12, frame);
    return true;
}

template <class TWire> bool ST_TSketch<TWire>::SetFrame(const double frame_[12])
{
    std::copy(frame_, frame_ + 12, frame);
    bool any = false;
    for (ST_ISectionCurve* curve : m_curves)
        any = curve->SetFrame(frame) || any;
    return any;
}

template <class TWire>
bool ST_TSketch<TWire>::FitToPolyline(const double frame_[12], const tPolyline<cVertex>& polyline, double,
                                      std::uint8_t)
{
    tPolylineCollection<tFramePolyline<cVertex>> single;
    MakeSingleSection(frame_, polyline, single);
    return RebuildWire(frame_, single, 0.0f, nullptr);
}

template <class TWire>
bool ST_TSketch<TWire>::InterpolatePolyline(const double frame_[12], const tPolyline<cVertex>& points,
                                            std::uint8_t option)
{
    return FitToPolyline(frame_, points, 0.0, option);
}

template <class TWire> bool ST_TSketch<TWire>::RefreshSubCurves()
{
    bool any = false;
    for (ST_ISectionCurve* curve : m_curves)
    {
        // A sketch inside refreshes its own curves: handing it its frame
        // would give every curve in it that frame instead of its own.
        if (auto* sketch = dynamic_cast<ST_TSketch*>(curve))
        {
            any = sketch->RefreshSubCurves() || any;
            continue;
        }
        double own[12];
        std::copy(curve->frame, curve->frame + 12, own);
        any = curve->SetFrame(own) || any;
    }
    return any;
}

template <class TWire> void ST_TSketch<TWire>::Transform(const double m[12])
{
    sections.Transform(m);
    for (ST_ISectionCurve* curve : m_curves)
        curve->Transform(m);
    MultiplyTransform3x4(m, frame, frame);
    InvalidateFitRms();
}

template <class TWire> t3DPoint<double> ST_TSketch<TWire>::GetLocalMidPoint() const
{
    t3DPoint<double> best(-FLT_MAX, -FLT_MAX, -FLT_MAX);
    bool found = false;
    for (const ST_ISectionCurve* curve : m_curves)
    {
        const t3DPoint<double> mid = curve->GetLocalMidPoint();
        if (!found || mid.x > best.x)
        {
            best = mid;
            found = true;
        }
    }
    return best;
}

template <class TWire> bool ST_TSketch<TWire>::Write(IBinStream& stream) const
{
    cRecordWriter writer(stream);
    writer.PutGuid(GetClassGuid());
    WriteSectionCurveBase(writer, *this);
    writer.Put(static_cast<std::uint32_t>(m_curves.size()));
    if (!writer.Ok())
        return false;
    for (const ST_ISectionCurve* curve : m_curves)
        if (!curve->Write(stream))
            return false;
    return true;
}

template <class TWire> bool ST_TSketch<TWire>::Read(IBinStream& stream, std::uint32_t major, std::uint32_t minor)
{
    cRecordReader reader(stream);
    return ReadAtDepth(reader, major, minor);
}

template <class TWire>
bool ST_TSketch<TWire>::ReadAtDepth(cRecordReader& reader, std::uint32_t major, std::uint32_t minor)
{
    Reset();
    std::uint32_t count = 0;
    if (reader.Depth() >= kMaxSketchDepth || !ReadSectionCurveBase(reader, *this) || !reader.Get(count))
        return false;
    cRecordReader inner(reader.Stream(), reader.Depth() + 1);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        // A record names its kind only by its class id: after an unknown one
        // nothing tells where the next record starts.
        std::unique_ptr<ST_ISectionCurve> curve = ReadSectionCurveRecord(inner, major, minor);
        if (!curve)
            return false;
        AddCurve(curve.release());
    }
    RefreshSubCurves();
    InvalidateFitRms();
    return true;
}

template class ST_TSketch<Dezaz_Wire>;
