// The combo profile: a chain of line and arc pieces cut from one merged
// section polyline at joints. The user inserts, removes and moves joints and
// switches pieces between line and arc; every edit refits the pieces, solves
// the joints so that neighbours meet, and rebuilds the wire as the chain of
// the pieces (a composite wire).
#pragma once

#include "core/section_curve.h"
#include "core/section_curve_classes.h"
#include "shapes/dezaz_wire.h"
#include "shapes/combo_segmentation.h"

template <class TWire> class ST_TComboCurve : public ST_ISectionCurve
{
public:
    explicit ST_TComboCurve(std::uint8_t closed = 0) : m_closed(closed) {}

    ST_IWire* GetWire() override { return &m_wire; }
    GUID GetClassGuid() const override { return CLSID_ST_TComboCurve; }
    // Tail: joint count, joint positions (3 floats each), closed and edited
    // flags (u8), merge mode (u32). Fewer than 2 joints write nothing. The
    // read rebuilds the chain from the sections with the end-extension
    // factor 1; a chain that cannot be rebuilt keeps every value read.
    bool Read(IBinStream& stream, std::uint32_t major, std::uint32_t minor) override;
    bool Write(IBinStream& stream) const override;
    void CopyFrom(const ST_ISectionCurve& source) override;
    void Reset() override;
    bool HasValidWire() const override;
    bool IsClosed() const override { return m_closed != 0; }
    bool IsEdited() const override { return m_edited != 0; }
    void SetClosed(bool closed) override { m_closed = closed ? 1 : 0; }

    // Merges the sections into the section polyline (opened at its widest
    // gap) and, without `output`, fits the pieces: one automatic piece from
    // end to end, or the user's joints re-snapped when the curve was edited.
    bool RebuildWire(const double frame[12], const tPolylineCollection<tFramePolyline<cVertex>>& sections,
                     float endExtension, tPolyline<cVertex>* output) override;
    bool SetFrame(const double frame[12]) override;
    bool FitToPolyline(const double frame[12], const tPolyline<cVertex>& polyline, double tolerance,
                       std::uint8_t option) override;
    bool InterpolatePolyline(const double frame[12], const tPolyline<cVertex>& points, std::uint8_t option) override;
    bool ExtendStart(double distance, bool rebuild) override;
    bool ExtendEnd(double distance, bool rebuild) override;
    bool SnapStartToAxis() override { return RebuildComboWire(false); }
    bool SnapEndToAxis() override { return RebuildComboWire(false); }
    // Interior joints only; the unset point otherwise.
    t3DPoint<float> GetJointPoint(std::uint32_t index) const override;
    // A joint on section vertex k, in front of the first joint beyond k.
    bool InsertJoint(std::uint32_t sectionIndex, const t3DPoint<float>& point) override;
    bool RemoveJoint(std::uint32_t index) override;
    // The joint moves onto the section vertex nearest the point.
    bool MoveJoint(std::uint32_t index, const t3DPoint<float>& point) override;
    std::uint32_t GetSegmentCount() const override { return static_cast<std::uint32_t>(m_segments.size()); }
    // The line or arc class id makes piece i a line or an arc.
    bool SetSegmentKind(std::uint32_t index, const GUID& classId) override;
    const tPolyline<cVertex>* GetDefiningPoints() const override { return &m_joints; }
    const tPolyline<cVertex>* GetControlPoints() const override { return nullptr; }
    const tPolyline<cVertex>* GetSectionPolyline() const override { return &m_section; }
    std::unique_ptr<ST_ISectionCurve> Clone() const override;
    bool EvaluateInWorld(double fraction, t3DPoint<double>* point, t3DPoint<double>* tangent,
                         t3DPoint<double>* third) const override;
    bool IsHorizontal() const override { return false; }
    bool IsVertical() const override { return false; }

    // The wire as the chain of the segment records; with `extend` the joints
    // are solved first and the open ends lengthened. On a piece that cannot
    // be built the cached points fall back to the section polyline's and the
    // answer is false.
    bool RebuildComboWire(bool extend);
    // Piece i refitted as a line or an arc; false when the fit fails (the
    // record stays).
    bool FitComboSegment(std::uint32_t index, bool arc);

    const tComboSegments& Segments() const { return m_segments; }
    const tPolyline<cVertex>& Joints() const { return m_joints; }
    float EndExtension() const { return m_endExtension; }
    const TWire& Wire() const { return m_wire; }

private:
    void FallBackToSectionPoints();
    void RefitWithWireKind(std::uint32_t index);

    tPolyline<cVertex> m_section;
    tPolyline<cVertex> m_joints;
    tComboSegments m_segments;
    std::uint8_t m_closed;
    std::uint8_t m_edited = 0;
    float m_endExtension = 0.0f;
    TWire m_wire;
};

extern template class ST_TComboCurve<Dezaz_Wire>;
