// ON_ISurface: the part of a shape that turns its current parameters into
// host geometry-library surfaces, breps and render meshes. The breps are
// built lazily and cached; every parameter change empties the cache
// (ClearBreps), so what GetBreps returns always matches the parameters.
#pragma once

#include "core/base.h"
#include "platform/geometry/brep.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/nurbs_surface.h"
#include "platform/geometry/plane_surface.h"
#include "platform/geometry/rev_surface.h"
#include "platform/geometry/simple_array.h"

class ON_ISurface : public virtual IBase
{
public:
    ON_ISurface() = default;
    // A copy holds duplicates of the source's cached breps.
    ON_ISurface(const ON_ISurface& other);
    ON_ISurface& operator=(const ON_ISurface& other);
    ~ON_ISurface() override;

    // The box of the first valid form (plane, revolution, NURBS) as min x,
    // y, z, max x, y, z; the empty box (+FLT_MAX, -FLT_MAX) when none is.
    virtual void GetBoundingBox(float box[6]);
    // The cached breps, built on first use; null while there are none.
    virtual const ON_SimpleArray<ON_Brep*>* GetBreps();
    // Appends a quality render mesh of every face of every cached brep; the
    // caller owns the meshes.
    virtual void GetMeshes(ON_SimpleArray<ON_Mesh*>& meshes);
    virtual bool GetNurbForm(ON_NurbsSurface& srf) = 0;
    virtual bool GetRevSurface(ON_RevSurface& srf) = 0;
    virtual bool GetPlaneSurface(ON_PlaneSurface& srf) = 0;
    // Fills the cache from the first valid form, with fast render meshes on
    // every face; false when no form is valid.
    virtual bool BuildBreps();

    // Deletes every cached brep and frees the array.
    void ClearBreps();
    int CachedBrepCount() const { return m_breps.Count(); }

protected:
    ON_SimpleArray<ON_Brep*> m_breps;

private:
    // Makes a one-face brep over the surface (taking it) and caches it.
    void CacheBrepOf(ON_Surface* surface);
    void CopyBrepsOf(const ON_ISurface& other);
};
