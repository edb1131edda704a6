// A sketch: an ordered list of section curves of any kind, owned by the
// sketch, with a sketch wire that answers for them. Curve networks keep
// their curves in one.
#pragma once

#include "core/section_curve.h"
#include "core/section_curve_classes.h"
#include "shapes/dezaz_wire.h"
#include "shapes/sketch_wire.h"

#include <vector>

class cRecordReader;

template <class TWire> class ST_TSketch : public ST_ISectionCurve
{
public:
    ST_TSketch() : m_wire(this) {}
    ~ST_TSketch() override;

    ST_IWire* GetWire() override { return &m_wire; }
    GUID GetClassGuid() const override { return CLSID_ST_TSketch; }
    // Tail: the sub-curve count and each sub-curve's whole record. A read
    // stops (false) at the first sub-curve that cannot be read or names no
    // kind; an empty sketch reads back as an empty sketch.
    bool Read(IBinStream& stream, std::uint32_t major, std::uint32_t minor) override;
    bool Write(IBinStream& stream) const override;
    // The sketch read `depth` sketches deep; deeper nesting is refused.
    bool ReadAtDepth(cRecordReader& reader, std::uint32_t major, std::uint32_t minor);
    // Copies of the other sketch's sub-curves replace this sketch's.
    void CopyFrom(const ST_ISectionCurve& source) override;
    void Reset() override;

    // Stores the frame and sections only; the sub-curves keep their own.
    bool RebuildWire(const double frame[12], const tPolylineCollection<tFramePolyline<cVertex>>& sections,
                     float endExtension, tPolyline<cVertex>* output) override;
    // Hands the frame to every sub-curve; true when any of them rebuilt.
    bool SetFrame(const double frame[12]) override;
    bool FitToPolyline(const double frame[12], const tPolyline<cVertex>& polyline, double tolerance,
                       std::uint8_t option) override;
    bool InterpolatePolyline(const double frame[12], const tPolyline<cVertex>& points, std::uint8_t option) override;
    bool ExtendStart(double, bool) override { return false; }
    bool ExtendEnd(double, bool) override { return false; }
    // Every sub-curve re-applies its own frame.
    bool SnapStartToAxis() override { return RefreshSubCurves(); }
    bool SnapEndToAxis() override { return RefreshSubCurves(); }
    std::uint32_t GetSegmentCount() const override { return static_cast<std::uint32_t>(m_curves.size()); }
    ST_ISectionCurve* GetSegment(std::uint32_t index) override;
    using ST_ISectionCurve::GetSegment;
    // Takes ownership and answers the new index; a curve already held, the
    // sketch itself or null is refused with 0xFFFFFFFF (and not taken).
    std::uint32_t AddCurve(ST_ISectionCurve* curve) override;
    void RemoveCurve(ST_ISectionCurve* curve) override;
    std::uint32_t IndexOfCurve(const ST_ISectionCurve* curve) const override;
    const tPolyline<cVertex>* GetDefiningPoints() const override { return nullptr; }
    const tPolyline<cVertex>* GetControlPoints() const override { return nullptr; }
    std::unique_ptr<ST_ISectionCurve> Clone() const override;
    bool EvaluateInWorld(double, t3DPoint<double>*, t3DPoint<double>*, t3DPoint<double>*) const override
    {
        return false;
    }
    bool IsHorizontal() const override { return false; }
    bool IsVertical() const override { return false; }
    void Transform(const double m[12]) override;
    // The sub-curves' mid point farthest along x; -FLT_MAX for no sub-curve.
    t3DPoint<double> GetLocalMidPoint() const override;

    // Whether the last CopyFrom copied (a sketch source, every sub-curve).
    bool LastCopySucceeded() const { return m_copied; }

private:
    bool RefreshSubCurves();
    void DeleteCurves();

    ST_SketchWire m_wire;
    std::vector<ST_ISectionCurve*> m_curves;
    bool m_copied = false;
};

extern template class ST_TSketch<Dezaz_Wire>;
