// The common part of every section curve (the profile curves of the shape
// model: line, arc, combo, spline, sketch). A section curve lies in a
// section plane: its cached points and its wire are in the plane's local
// coordinates (local z = 0) and `frame` maps them to the world. The section
// polylines it was fitted to keep their world coordinates, each with the
// frame it was cut in.
//
// The base implements what follows from that shared state alone; each
// concrete curve supplies its wire, records, rebuilds and edits.
#pragma once

#include <cfloat>
#include <cstdint>
#include <memory>

#include "core/polyline_collection.h"
#include "core/wire.h"

class IBinStream;

class ST_ISectionCurve
{
public:
    ST_ISectionCurve();
    virtual ~ST_ISectionCurve() = default;

    ST_ISectionCurve(const ST_ISectionCurve&) = delete;
    ST_ISectionCurve& operator=(const ST_ISectionCurve&) = delete;

    // The curve's wire (owned by the curve), or null.
    virtual ST_IWire* GetWire() = 0;
    const ST_IWire* GetWire() const { return const_cast<ST_ISectionCurve*>(this)->GetWire(); }
    virtual GUID GetClassGuid() const = 0;
    virtual bool Read(IBinStream& stream, std::uint32_t major, std::uint32_t minor) = 0;
    virtual bool Write(IBinStream& stream) const = 0;
    // Copies the part that belongs to this curve's class from the source;
    // called by Assign after the common part.
    virtual void CopyFrom(const ST_ISectionCurve& source) = 0;

    // Empties the section polylines, frame back to identity, cached points
    // to the origin; id and merge mode stay.
    virtual void Reset();
    // At least one section polyline and a valid wire.
    virtual bool HasValidWire() const;
    virtual bool IsClosed() const { return false; }
    virtual bool IsEdited() const { return false; }
    virtual void SetMergeMode(std::uint32_t mode) { mergeMode = mode; }
    virtual std::uint32_t GetMergeMode() const { return mergeMode; }
    virtual void SetClosed(bool) {}
    virtual void SetSmoothing(float) {}
    virtual float GetSmoothing() const { return 0.0f; }
    // Rebuilds the wire from the section polylines seen in the frame; an
    // end-extension factor lengthens both ends; the merged section points
    // go to `output` when given.
    virtual bool RebuildWire(const double frame[12], const tPolylineCollection<tFramePolyline<cVertex>>& sections,
                             float endExtension, tPolyline<cVertex>* output) = 0;
    // Stores the frame and rebuilds the wire in it.
    virtual bool SetFrame(const double frame[12]) = 0;
    virtual bool FitToPolyline(const double frame[12], const tPolyline<cVertex>& polyline, double tolerance,
                               std::uint8_t option) = 0;
    virtual bool InterpolatePolyline(const double frame[12], const tPolyline<cVertex>& points,
                                     std::uint8_t option) = 0;
    virtual bool ExtendStart(double distance, bool rebuild) = 0;
    virtual bool ExtendEnd(double distance, bool rebuild) = 0;
    virtual bool SnapStartToAxis() { return false; }
    virtual bool SnapEndToAxis() { return false; }
    // The unset float point unless the class has joints.
    virtual t3DPoint<float> GetJointPoint(std::uint32_t index) const;
    virtual bool InsertJoint(std::uint32_t sectionIndex, const t3DPoint<float>& point);
    virtual bool RemoveJoint(std::uint32_t index);
    virtual bool MoveJoint(std::uint32_t index, const t3DPoint<float>& point);
    virtual std::uint32_t GetSegmentCount() const { return 0; }
    virtual bool SetSegmentKind(std::uint32_t index, const GUID& classId);
    virtual ST_ISectionCurve* GetSegment(std::uint32_t) { return nullptr; }
    virtual ST_ISectionCurve* GetSegment(std::uint32_t, std::uint32_t) { return nullptr; }
    // Sketches take ownership and return the new index; other curves take
    // nothing (the curve stays the caller's) and answer 0.
    virtual std::uint32_t AddCurve(ST_ISectionCurve* curve);
    virtual void RemoveCurve(ST_ISectionCurve*) {}
    // Position in a sketch, or 0xFFFFFFFF.
    virtual std::uint32_t IndexOfCurve(const ST_ISectionCurve*) const { return 0xFFFFFFFFu; }
    virtual const tPolyline<cVertex>* GetDefiningPoints() const = 0;
    virtual const tPolyline<cVertex>* GetControlPoints() const = 0;
    virtual bool ApplySmoothing(float) { return false; }
    virtual bool RefineToTolerance(float) { return false; }
    virtual const tPolyline<cVertex>* GetSectionPolyline() const { return nullptr; }
    // A new curve of the same class in its initial state. Copies are made as
    // Clone + Assign.
    virtual std::unique_ptr<ST_ISectionCurve> Clone() const = 0;
    // Point, tangent and a third direction in world coordinates at a
    // fraction of the curve.
    virtual bool EvaluateInWorld(double fraction, t3DPoint<double>* point, t3DPoint<double>* tangent,
                                 t3DPoint<double>* third) const = 0;
    // Fraction of the curve nearest the world point; -FLT_MAX without a wire.
    virtual double GetParameterAtPoint(const t3DPoint<float>& worldPoint) const;
    virtual double GetParameterAtLocalPoint(const t3DPoint<float>& localPoint) const;
    virtual bool IsHorizontal() const = 0;
    virtual bool IsVertical() const = 0;
    virtual void SetId(std::uint32_t curveId) { id = curveId; }
    // Section polylines and frame by T (the frame becomes T x frame), then
    // SetFrame so the class rebuilds in the new frame.
    virtual void Transform(const double m[12]);
    virtual t3DPoint<double> GetStartPoint() const { return LocalToWorld(GetLocalStartPoint()); }
    virtual t3DPoint<double> GetLocalStartPoint() const { return Point(cachedStart); }
    virtual t3DPoint<double> GetEndPoint() const { return LocalToWorld(GetLocalEndPoint()); }
    virtual t3DPoint<double> GetLocalEndPoint() const { return Point(cachedEnd); }
    virtual t3DPoint<double> GetMidPoint() const { return LocalToWorld(GetLocalMidPoint()); }
    virtual t3DPoint<double> GetLocalMidPoint() const { return Point(cachedMid); }
    virtual t3DPoint<double> GetStartTangent() const { return LocalToWorldDirection(GetLocalStartTangent()); }
    // The wire's tangents while it is valid, else (0, 0, 0).
    virtual t3DPoint<double> GetLocalStartTangent() const;
    virtual t3DPoint<double> GetEndTangent() const { return LocalToWorldDirection(GetLocalEndTangent()); }
    virtual t3DPoint<double> GetLocalEndTangent() const;
    virtual t3DPoint<double> GetMidTangent() const { return LocalToWorldDirection(GetLocalMidTangent()); }
    virtual t3DPoint<double> GetLocalMidTangent() const;

    // Copies the common part of the source into this curve, then the part of
    // this curve's class (CopyFrom).
    ST_ISectionCurve& Assign(const ST_ISectionCurve& source);
    // The cached fit measure, computed first when stale: the RMS distance of
    // the section points, taken into the curve's plane, from the wire.
    // -FLT_MAX without a wire.
    float GetCachedFitRms();
    // Marks the cached fit measure stale; every change of the wire calls it.
    void InvalidateFitRms() { cachedRms = -FLT_MAX; }
    // Move the cached start (end) point back (forward) along the unit start
    // (end) tangent by d; nothing for |d| < FLT_EPSILON or an invalid wire.
    void ExtendStartPoint(double d);
    void ExtendEndPoint(double d);

    t3DPoint<double> LocalToWorld(const t3DPoint<double>& p) const;
    t3DPoint<double> LocalToWorldDirection(const t3DPoint<double>& v) const;
    t3DPoint<double> WorldToLocal(const t3DPoint<double>& w) const;

    // Root-mean-square distance of the curve from its section polylines;
    // -FLT_MAX while stale.
    float cachedRms = -FLT_MAX;
    std::uint32_t id = 0;
    // How the section polylines are merged before fitting (modes 0 to 3).
    std::uint32_t mergeMode = 3;
    tPolylineCollection<tFramePolyline<cVertex>> sections;
    // The curve's plane: axes in columns, local to world.
    double frame[12];
    // Local start, mid and end points of the curve.
    double cachedStart[3] = {0.0, 0.0, 0.0};
    double cachedMid[3] = {0.0, 0.0, 0.0};
    double cachedEnd[3] = {0.0, 0.0, 0.0};
    // Not used by the base; copied by Assign.
    std::uint64_t userValue = 0;
    // The editors' selection mark of the whole curve (1: selected). Screen
    // state only: neither stored nor copied by Assign.
    std::uint8_t selected = 0;

private:
    static t3DPoint<double> Point(const double p[3]) { return {p[0], p[1], p[2]}; }
};
