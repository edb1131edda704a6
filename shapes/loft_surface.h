// The loft (free-form) surface: a profiled surface whose profile is the
// guide line along which its sections are placed, plus the section list and
// its fit settings. The host side lofts the sections (resampled onto a
// regular grid when they allow it) with the host's loft service and keeps
// the one NURBS surface that results.
//
// Its scene object's record: expand, threshold, type, the sections (each
// with its frame, closed flag and defining points), then the profile's
// record.
#pragma once

#include "core/scene_object.h"
#include "fitting/loft_sections.h"
#include "shapes/host_surface.h"
#include "shapes/profiled_scene_object.h"
#include "shapes/profiled_surface_base.h"

// {5682A70A-2191-4D4F-8088-1FE37DFB95A3}
inline constexpr GUID IID_Dezaz_LoftSurface = {0x5682A70A, 0x2191, 0x4D4F, {0x80, 0x88, 0x1F, 0xE3, 0x7D, 0xFB, 0x95, 0xA3}};
// {9A631B5E-72BC-4714-B6D8-A796E1BC0F79}
inline constexpr GUID CLSID_Dezaz_LoftSurfaceObject = {0x9A631B5E, 0x72BC, 0x4714, {0xB6, 0xD8, 0xA7, 0x96, 0xE1, 0xBC, 0x0F, 0x79}};

// The loft's parameter block (GetDirectionPtr / SetDirection).
using LoftParameters = stLoftSections;

// More sections than this are never made by a reset: each is a cut of the
// whole region.
inline constexpr std::int32_t kMaxLoftSections = 10000;

template <class TWire> class ST_TLoftSurface : public ST_TProfiledSurface<TWire>
{
public:
    // Deletes the sections and resets the settings (the threshold stays),
    // then the base clear.
    void Clear() override;
    // Copies the settings but the threshold, and a copy of every section.
    void SetDirection(const void* parameters) override;
    void* GetDirectionPtr() override { return &m_parameters; }
    LoftParameters& GetParameters() { return m_parameters; }
    const LoftParameters& GetParameters() const { return m_parameters; }

protected:
    LoftParameters m_parameters;
};

extern template class ST_TLoftSurface<Dezaz_Wire>;

class Dezaz_LoftSurface : public virtual IBaseAggregate,
                          public ST_TLoftSurface<Dezaz_Wire>,
                          public ON_ISurface,
                          private ST_IProfiledExtent
{
public:
    Dezaz_LoftSurface();
    ~Dezaz_LoftSurface() override;

    Dezaz_LoftSurface(const Dezaz_LoftSurface&) = delete;
    Dezaz_LoftSurface& operator=(const Dezaz_LoftSurface&) = delete;

    void* NonDelegatingQueryInterface(const GUID& iid) override;
    using IBaseAggregate::QueryInterface;

    void Invalidate() override { ClearBreps(); }
    void GetBoundingBox(float box[6]) const override { ST_TProfiledSurface::GetBoundingBox(box); }
    void GetBoundingBox(float box[6]) override { ST_TProfiledSurface::GetBoundingBox(box); }
    int GetHandleCount() const override { return 0; }
    void GetHandles(float[][3], float[][3]) const override {}
    void MoveHandle(int, double) override { BuildHostSurface(); }
    bool SupportsOperation(int) const override { return false; }
    // Rotation rows that lay the guide's plane normal on axis k; the
    // translation only for an arc guide (its centre goes to the origin).
    void GetLocalFrame(double frame[12], int mode, int axis, bool flip) const override;
    // Every section, the guide and the host surface by m, then a rebuild.
    void Transform(const double m[12]) override;
    std::uint8_t GetKindId() const override { return kShapeKindExtruded; }
    void GetInfoText(ON_wString& text) const override;
    void GetTypeName(ON_wString& name) const override { name = L"LOFT SURFACE"; }
    bool CanBeCoincidentWith(ST_IGeometry*) override { return false; }
    bool CanBeParallelTo(ST_IGeometry*) override { return false; }
    bool CanBePerpendicularTo(ST_IGeometry*) override { return false; }
    void GetDirection(double out[3]) const override;
    void GetOrigin(double out[3]) const override;

    // Lofts the sections (the resampled ones when the resampling succeeds)
    // through the host; false, with no host surface, without a guide, without
    // a section curve, or when the loft gives other than one surface.
    bool BuildHostSurface() override;
    bool FitFromMesh() { return false; }
    // The z column of the guide's frame.
    t3DPoint<double> GetAxis() const override;

    bool GetNurbForm(ON_NurbsSurface& srf) override;
    bool GetRevSurface(ON_RevSurface&) override { return false; }
    bool GetPlaneSurface(ON_PlaneSurface&) override { return false; }

    const ON_NurbsSurface* GetHostSurface() const { return m_hostSurface; }

private:
    void TransformExtent(const double m[12]) override;
    void GetExtentBox(float box[6]) const override;
    void DropHostSurface();

    ON_NurbsSurface* m_hostSurface = nullptr;
};

// Empties the sections and restores the defaults (expand as given), then
// places n + 1 sections without curves evenly along the guide, at 0, 1/n,
// ..., 1. n below 1 counts as 1 and above kMaxLoftSections as that. False,
// after the emptying, without a guide with a valid wire.
bool ResetLoftSections(ST_TLoftSurface<Dezaz_Wire>& loft, std::int32_t n, double expand);

// The loft record without the profile. Writing stops at the first refused
// write; false for that.
bool WriteLoftRecord(IBinStream& stream, const ST_TLoftSurface<Dezaz_Wire>& loft);
// Replaces the sections with those of the record (each read back as a
// spline); false for a short or damaged record, the sections read so far
// kept.
bool ReadLoftRecord(IBinStream& stream, ST_TLoftSurface<Dezaz_Wire>& loft);

// Its record is the loft record, then the guide's record, or the nil class
// id without a guide.
class Dezaz_LoftSurfaceObject : public tProfiledSceneObject<Dezaz_LoftSurface>
{
public:
    GUID GetClassGuid() const override { return CLSID_Dezaz_LoftSurfaceObject; }
    stHitRecord PickSurfacePoint(float, float, const stScreenProjection&) override { return stHitRecord{}; }

protected:
    std::uint32_t CurrentMinor() const override;
    bool WriteBeforeProfile(IBinStream& stream) override;
    bool ReadBeforeProfile(IBinStream& stream, std::uint32_t minor) override;
};
