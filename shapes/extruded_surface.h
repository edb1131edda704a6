// The extruded surface: a planar profile curve swept along the normal of
// its plane (the z column of the profile frame) from the frame's origin,
// straight or tapered by a draft angle. A tapered surface is one drafted
// wall through the profile, which sits at half the length: it widens along
// the direction for a positive draft, whichever way the profile runs.
//
// Its scene object's record: length (double), draft flag (u32) and draft
// angle (double, from minor version 7 on), then the profile record, or the
// nil class id when there is no profile.
#pragma once

#include "core/scene_object.h"
#include "fitting/sweep_surface_builders.h"
#include "shapes/host_surface.h"
#include "shapes/profiled_scene_object.h"
#include "shapes/profiled_surface_base.h"

class cMesh;

// {E85DC48B-F696-4D17-AF77-45973E854E26}
inline constexpr GUID CLSID_Dezaz_ExtrudedObject = {0xE85DC48B, 0xF696, 0x4D17, {0xAF, 0x77, 0x45, 0x97, 0x3E, 0x85, 0x4E, 0x26}};

using ExtrusionParameters = stExtrusionParameters;

template <class TWire> class ST_TExtSurface : public ST_TProfiledSurface<TWire>
{
public:
    // Base clear, then length 1, no draft.
    void Clear() override;
    // Copies the block; the angle is brought into [-2pi, 2pi] by whole turns
    // and clamped to [-pi/2, pi/2]. A block with a non-finite value changes
    // nothing. Does not rebuild.
    void SetDirection(const void* parameters) override;
    void* GetDirectionPtr() override { return &m_extrusion; }
    const ExtrusionParameters& GetExtrusion() const { return m_extrusion; }

protected:
    ExtrusionParameters m_extrusion;
};

extern template class ST_TExtSurface<Dezaz_Wire>;

class Dezaz_Extruded : public virtual IBaseAggregate,
                       public ST_TExtSurface<Dezaz_Wire>,
                       public ON_ISurface,
                       private ST_IProfiledExtent
{
public:
    Dezaz_Extruded();
    ~Dezaz_Extruded() override;
    Dezaz_Extruded(const Dezaz_Extruded&) = delete;
    Dezaz_Extruded& operator=(const Dezaz_Extruded&) = delete;

    void* NonDelegatingQueryInterface(const GUID& iid) override;
    using IBaseAggregate::QueryInterface;

    void Clear() override;
    void Invalidate() override { ClearBreps(); }
    // The cached breps' box.
    void GetBoundingBox(float box[6]) const override { ST_TProfiledSurface::GetBoundingBox(box); }
    void GetBoundingBox(float box[6]) override { ST_TProfiledSurface::GetBoundingBox(box); }
    // Handle 0 at the profile's mid point (drags against the direction),
    // handle 1 a length further on.
    int GetHandleCount() const override { return GetProfileCurve() != nullptr ? 2 : 0; }
    void GetHandles(float points[][3], float directions[][3]) const override;
    // Lengthens by t (at least 0.001); handle 0 moves the origin back by t
    // (t/2 when tapered), then rebuilds.
    void MoveHandle(int index, double t) override;
    bool SupportsOperation(int operation) const override { return operation == kGeometryAlignAxis; }
    void GetLocalFrame(double frame[12], int mode, int axis, bool flip) const override;
    // The profile by m, then the host surface is rebuilt so the breps follow.
    void Transform(const double m[12]) override;
    std::uint8_t GetKindId() const override { return kShapeKindExtruded; }
    void GetInfoText(ON_wString& text) const override;
    void GetTypeName(ON_wString& name) const override { name = L"EXTRUDED SURFACE"; }
    bool CanBeCoincidentWith(ST_IGeometry* other) override;
    bool CanBeParallelTo(ST_IGeometry* other) override;
    bool CanBePerpendicularTo(ST_IGeometry* other) override;
    void GetDirection(double out[3]) const override;

    // Straight: each host curve extruded by length along the direction.
    // Tapered: the merged curves, made counter-clockwise about the
    // direction, drafted half the length each way from the profile placed
    // at mid length. True without a profile (empty cache); false for a
    // profile without host curves or a failed merge.
    bool BuildHostSurface() override;
    t3DPoint<double> GetAxis() const override;
    // The refit with the current direction, origin and draft, profile kind 5.
    bool FitFromMesh(cMesh& mesh, std::int32_t sectionCount, bool rebuild);

    bool GetNurbForm(ON_NurbsSurface&) override { return false; }
    bool GetRevSurface(ON_RevSurface&) override { return false; }
    bool GetPlaneSurface(ON_PlaneSurface&) override { return false; }

    void SetMergeTolerance(double tolerance) { m_mergeTolerance = tolerance; }
    double GetMergeTolerance() const { return m_mergeTolerance; }
    bool IsTapered() const;

private:
    void TransformExtent(const double[12]) override {}
    void GetExtentBox(float box[6]) const override;

    double m_mergeTolerance = 1.1920928955078125e-07;
};

class Dezaz_ExtrudedObject : public tProfiledSceneObject<Dezaz_Extruded>
{
public:
    GUID GetClassGuid() const override { return CLSID_Dezaz_ExtrudedObject; }

protected:
    std::uint32_t CurrentMinor() const override;
    // The length, then (from version 7) the draft flag and angle; a
    // non-finite length or angle is refused.
    bool WriteBeforeProfile(IBinStream& stream) override;
    bool ReadBeforeProfile(IBinStream& stream, std::uint32_t minor) override;
    void AfterRead() override;

private:
    ExtrusionParameters m_read;
};
