// The revolved surface: a profile curve turned a full circle about the y
// axis of its frame, through the frame's origin. The profile stays on one
// side of the axis: an end that crosses it is cut back onto it.
//
// Its scene object's record is the profile record alone, or the nil class
// id when there is no profile.
#pragma once

#include "core/scene_object.h"
#include "shapes/extruded_surface.h"
#include "shapes/profiled_scene_object.h"

class cMesh;

// {BA52F16A-F6B7-4CA4-8E2E-9B79AD2437C9}
inline constexpr GUID CLSID_Dezaz_RevolvedObject = {0xBA52F16A, 0xF6B7, 0x4CA4, {0x8E, 0x2E, 0x9B, 0x79, 0xAD, 0x24, 0x37, 0xC9}};

template <class TWire> class ST_TRevSurface : public ST_TProfiledSurface<TWire>
{
};

class Dezaz_Revolved : public virtual IBaseAggregate,
                       public ST_TRevSurface<Dezaz_Wire>,
                       public ON_ISurface,
                       private ST_IProfiledExtent
{
public:
    Dezaz_Revolved();
    ~Dezaz_Revolved() override;
    Dezaz_Revolved(const Dezaz_Revolved&) = delete;
    Dezaz_Revolved& operator=(const Dezaz_Revolved&) = delete;

    void* NonDelegatingQueryInterface(const GUID& iid) override;
    using IBaseAggregate::QueryInterface;

    void Clear() override;
    void Invalidate() override { ClearBreps(); }
    void GetBoundingBox(float box[6]) const override { ST_TProfiledSurface::GetBoundingBox(box); }
    void GetBoundingBox(float box[6]) override { ST_TProfiledSurface::GetBoundingBox(box); }
    // Start, end and mid point; none for a closed or spline profile.
    int GetHandleCount() const override;
    void GetHandles(float points[][3], float directions[][3]) const override;
    // 0 and 1 extend the profile's ends; 2 turns the profile about the axis
    // (at most a quarter turn). Then the ends are kept off the far side of
    // the axis and the surface is rebuilt.
    void MoveHandle(int index, double t) override;
    bool SupportsOperation(int operation) const override { return operation == kGeometryAlignAxis; }
    void GetLocalFrame(double frame[12], int mode, int axis, bool flip) const override;
    void Transform(const double m[12]) override;
    std::uint8_t GetKindId() const override { return kShapeKindRevolved; }
    void GetInfoText(ON_wString& text) const override;
    void GetTypeName(ON_wString& name) const override { name = L"REVOLVED SURFACE"; }
    bool CanBeCoincidentWith(ST_IGeometry* other) override;
    bool CanBeParallelTo(ST_IGeometry* other) override;
    bool CanBePerpendicularTo(ST_IGeometry* other) override;
    void GetDirection(double out[3]) const override;
    void GetOrigin(double out[3]) const override;

    bool SetProfileFromSections(const GUID& classId, const double frame[12], std::uint32_t curveId,
                                const tPolylineCollection<tFramePolyline<cVertex>>& sections, float endExtension,
                                std::uint8_t closed, std::uint32_t mergeMode, std::uint8_t rebuild,
                                float smoothing) override;
    bool SetProfile(const ST_ISectionCurve* curve, std::uint8_t rebuild) override;
    // The profile's host curve (each sketch piece's, reversed) revolved a
    // full turn. True without a profile; false for a profile wire without a
    // host curve.
    bool BuildHostSurface() override;
    // Refit from the mesh region of the seeds with the current axis and the
    // current profile kind; false for fewer than 3 region vertices.
    bool FitFromMesh(cMesh& mesh, std::int32_t sectionCount, bool rebuild);

    bool GetNurbForm(ON_NurbsSurface&) override { return false; }
    bool GetRevSurface(ON_RevSurface&) override { return false; }
    bool GetPlaneSurface(ON_PlaneSurface&) override { return false; }

    void SetParameter(double value) { m_parameter = value; }

private:
    // An end past the axis (start and end on opposite sides) is snapped
    // onto it: the one nearer to it.
    void AlignProfileToAxis();
    void TransformExtent(const double[12]) override {}
    void GetExtentBox(float box[6]) const override;

    double m_parameter = 1.1920928955078125e-07;
};

class Dezaz_RevolvedObject : public tProfiledSceneObject<Dezaz_Revolved>
{
public:
    GUID GetClassGuid() const override { return CLSID_Dezaz_RevolvedObject; }

protected:
    std::uint32_t CurrentMinor() const override;
};
