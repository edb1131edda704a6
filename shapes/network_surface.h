// The curve-network surface: the network of section curves that the user
// draws and edits on the mesh, held as the profile (a sketch) of a profiled
// surface. It makes no host surface of its own; a host surface handed to it
// is shown until the network changes.
//
// Its scene object's record is the profile curve's record alone, or the nil
// class id when there is no profile.
#pragma once

#include "core/scene_object.h"
#include "shapes/host_surface.h"
#include "shapes/profiled_scene_object.h"
#include "shapes/profiled_surface_base.h"

// {30E28390-017D-46C6-81DF-6B55CA55A24F}
inline constexpr GUID IID_Dezaz_NetworkSurface = {0x30E28390, 0x017D, 0x46C6, {0x81, 0xDF, 0x6B, 0x55, 0xCA, 0x55, 0xA2, 0x4F}};
// {130A7B4F-18FE-4BD9-A020-3386AAF54A77}
inline constexpr GUID CLSID_Dezaz_NetworkSurfaceObject = {0x130A7B4F, 0x18FE, 0x4BD9, {0xA0, 0x20, 0x33, 0x86, 0xAA, 0xF5, 0x4A, 0x77}};

// Moves a network's curves by m as the network editor holds them: nodes in
// world coordinates under identity frames, each curve refitted through its
// moved nodes. For a network's own profile and for the copies its editor
// keeps to undo to, which must land where the network does.
void MoveNetworkCurves(ST_ISectionCurve& network, const double m[12]);
// One such curve (or a curve being drawn into the network) moved by m.
void MoveNetworkCurve(ST_ISectionCurve& curve, const double m[12]);

template <class TWire> class ST_TNetworkSurface : public ST_TProfiledSurface<TWire>
{
};

class Dezaz_NetworkSurface : public virtual IBaseAggregate,
                             public ST_TNetworkSurface<Dezaz_Wire>,
                             public ON_ISurface,
                             private ST_IProfiledExtent
{
public:
    Dezaz_NetworkSurface();
    ~Dezaz_NetworkSurface() override;

    Dezaz_NetworkSurface(const Dezaz_NetworkSurface&) = delete;
    Dezaz_NetworkSurface& operator=(const Dezaz_NetworkSurface&) = delete;

    // Network, ON_ISurface, ST_IProfiledSurface, ST_IGeometry, IBase.
    void* NonDelegatingQueryInterface(const GUID& iid) override;
    using IBaseAggregate::QueryInterface;

    void Invalidate() override { ClearBreps(); }
    // Both boxes are the extent's: the held host surface's, else the
    // network's own points.
    void GetBoundingBox(float box[6]) const override { ST_TProfiledSurface::GetBoundingBox(box); }
    void GetBoundingBox(float box[6]) override { ST_TProfiledSurface::GetBoundingBox(box); }
    int GetHandleCount() const override { return 0; }
    void GetHandles(float[][3], float[][3]) const override {}
    void MoveHandle(int, double) override {}
    bool SupportsOperation(int) const override { return false; }
    // The identity.
    void GetLocalFrame(double frame[12], int mode, int axis, bool flip) const override;
    // The profile and the held host surface by m, then the host surface is
    // discarded (BuildHostSurface).
    void Transform(const double m[12]) override;
    std::uint8_t GetKindId() const override { return kShapeKindExtruded; }
    void GetInfoText(ON_wString& text) const override { text = ON_wString(); }
    void GetTypeName(ON_wString& name) const override { name = L"NETWORK SURFACE"; }
    bool CanBeCoincidentWith(ST_IGeometry*) override { return false; }
    bool CanBeParallelTo(ST_IGeometry*) override { return false; }
    bool CanBePerpendicularTo(ST_IGeometry*) override { return false; }

    // Empties the brep cache and discards the held host surface: a network
    // builds none itself.
    bool BuildHostSurface() override;
    bool FitFromMesh() { return false; }
    t3DPoint<double> GetAxis() const override { return {}; }

    bool GetNurbForm(ON_NurbsSurface& srf) override;
    bool GetRevSurface(ON_RevSurface&) override { return false; }
    bool GetPlaneSurface(ON_PlaneSurface&) override { return false; }

    // Takes a host surface made elsewhere for the network (null drops it).
    void SetHostSurface(ON_NurbsSurface* surface);
    const ON_NurbsSurface* GetHostSurface() const { return m_hostSurface; }

private:
    // The extent: the held host surface's box, else the box of the
    // network's section points and curve ends in the world.
    void TransformExtent(const double m[12]) override;
    void GetExtentBox(float box[6]) const override;

    ON_NurbsSurface* m_hostSurface = nullptr;
};

// Its record is the profile's record, or 16 zero bytes (the nil class id)
// without a profile.
class Dezaz_NetworkSurfaceObject : public tProfiledSceneObject<Dezaz_NetworkSurface>
{
public:
    GUID GetClassGuid() const override { return CLSID_Dezaz_NetworkSurfaceObject; }
    stHitRecord PickSurfacePoint(float, float, const stScreenProjection&) override { return stHitRecord{}; }

protected:
    std::uint32_t CurrentMinor() const override;
};
