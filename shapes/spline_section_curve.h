// The free-form profile: a cubic interpolation through a short list of
// interpolation points derived from the many fit points of a section, by
// resampling (smoothing) or by adding points until the curve keeps within a
// tolerance, and edited by the user point by point.
#pragma once

#include "core/section_curve.h"
#include "core/section_curve_classes.h"
#include "shapes/dezaz_wire.h"

// Refinement stops once the spline has more interpolation points than this.
inline constexpr std::uint32_t kMaxRefinedSplinePoints = 100;
// Index field of an interpolation point that sits on no fit point.
inline constexpr std::uint32_t kNoFitPoint = 0xFFFFFFFFu;
// Candidate mark of a fit point during the refinement.
inline constexpr std::uint32_t kFitPointCandidateBit = 4u;

template <class TWire> class ST_TSplineCurve : public ST_ISectionCurve
{
public:
    explicit ST_TSplineCurve(std::uint8_t closed = 0) : m_closed(closed) {}

    ST_IWire* GetWire() override { return &m_wire; }
    GUID GetClassGuid() const override { return CLSID_ST_TSplineCurve; }
    // Tail: fit points, closed and edited flags, merge mode, smoothing and
    // the interpolation points with their directions; older versions (0.0 to
    // 0.4 and 0.5) store less. Fewer than 2 fit points write nothing.
    bool Read(IBinStream& stream, std::uint32_t major, std::uint32_t minor) override;
    bool Write(IBinStream& stream) const override;
    void CopyFrom(const ST_ISectionCurve& source) override;
    // The control points stay.
    void Reset() override;
    bool HasValidWire() const override;
    bool IsClosed() const override { return m_closed != 0; }
    bool IsEdited() const override { return m_edited != 0; }
    void SetClosed(bool closed) override;
    void SetSmoothing(float smoothing) override { m_smoothing = smoothing; }
    float GetSmoothing() const override { return m_smoothing; }

    bool RebuildWire(const double frame[12], const tPolylineCollection<tFramePolyline<cVertex>>& sections,
                     float endExtension, tPolyline<cVertex>* output) override;
    bool SetFrame(const double frame[12]) override;
    // Starts from the polyline thinned to the tolerance and adds back the
    // polyline's points that lie farthest from the spline (the worst one
    // between each pair of neighbouring interpolation points per pass) until
    // every point is within the tolerance.
    bool FitToPolyline(const double frame[12], const tPolyline<cVertex>& polyline, double tolerance,
                       std::uint8_t option) override;
    bool InterpolatePolyline(const double frame[12], const tPolyline<cVertex>& points, std::uint8_t option) override;
    // Moves an end along its tangent, in the curve's own (local) plane.
    bool ExtendStart(double distance, bool rebuild) override;
    bool ExtendEnd(double distance, bool rebuild) override;
    bool SnapStartToAxis() override { return RebuildSplineWire(); }
    bool SnapEndToAxis() override { return RebuildSplineWire(); }
    t3DPoint<float> GetJointPoint(std::uint32_t index) const override;
    bool InsertJoint(std::uint32_t sectionIndex, const t3DPoint<float>& point) override;
    bool RemoveJoint(std::uint32_t index) override;
    bool MoveJoint(std::uint32_t index, const t3DPoint<float>& point) override;
    std::uint32_t GetSegmentCount() const override { return 1; }
    ST_ISectionCurve* GetSegment(std::uint32_t) override { return this; }
    using ST_ISectionCurve::GetSegment;
    const tPolyline<cVertex>* GetDefiningPoints() const override { return &m_interpolation; }
    const tPolyline<cVertex>* GetControlPoints() const override { return &m_control; }
    // Every fit point an interpolation point (s = 0), or the fit points
    // resampled into about s equal steps.
    bool ApplySmoothing(float smoothing) override;
    // Inserts the fit points that lie farthest from the spline until all are
    // within the tolerance (or the largest chord deviation of the fit points
    // when that is larger), at most kMaxRefinedSplinePoints points.
    bool RefineToTolerance(float tolerance) override;
    const tPolyline<cVertex>* GetSectionPolyline() const override { return &m_fit; }
    std::unique_ptr<ST_ISectionCurve> Clone() const override;
    // The third vector is the direction stored with the interpolation points
    // around the fraction.
    bool EvaluateInWorld(double fraction, t3DPoint<double>* point, t3DPoint<double>* tangent,
                         t3DPoint<double>* third) const override;
    bool IsHorizontal() const override { return false; }
    bool IsVertical() const override { return false; }

    bool RebuildSplineWire();
    bool SetSplineFromPolyline(const tPolyline<cVertex>& points, const double frame[12], std::uint8_t option,
                               bool closed);
    // Each interpolation point moves onto its nearest fit point (the ends
    // only with includeEnds).
    void SnapPointsToFitPoints(bool includeEnds);
    // Inserts p among the interpolation points where it projects best onto
    // their chords; refused when it lies closer than `spacing` to one of them.
    bool InsertSplinePoint(const float p[3], double spacing);

    std::uint8_t GetInterpolationOption() const { return m_option; }
    const tPolyline<cVertex>& InterpolationPoints() const { return m_interpolation; }
    const tPolyline<cVertex>& FitPoints() const { return m_fit; }
    const TWire& Wire() const { return m_wire; }

private:
    bool ExtendSplineEnd(bool atStart, double distance, bool rebuild);

    tPolyline<cVertex> m_fit;
    tPolyline<cVertex> m_interpolation;
    tPolyline<cVertex> m_control;
    std::uint8_t m_closed;
    std::uint8_t m_option = 0;
    float m_smoothing = 0.0f;
    std::uint8_t m_edited = 0;
    TWire m_wire;
};

extern template class ST_TSplineCurve<Dezaz_Wire>;
