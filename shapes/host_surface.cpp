#include "shapes/host_surface.h"

#include "platform/geometry/mesh_parameters.h"

#include <cfloat>
#include <memory>

ON_ISurface::ON_ISurface(const ON_ISurface& other) : IBase()
{
    CopyBrepsOf(other);
}

ON_ISurface& ON_ISurface::operator=(const ON_ISurface& other)
{
    if (this != &other)
        CopyBrepsOf(other);
    return *this;
}

ON_ISurface::~ON_ISurface()
{
    ClearBreps();
}

void ON_ISurface::CopyBrepsOf(const ON_ISurface& other)
{
    ClearBreps();
    for (const ON_Brep* brep : other.m_breps)
        if (brep != nullptr)
            m_breps.Append(ON_Brep::New(*brep));
}

void ON_ISurface::ClearBreps()
{
    for (ON_Brep*& brep : m_breps)
    {
        delete brep;
        brep = nullptr;
    }
    m_breps.Destroy();
}

void ON_ISurface::GetBoundingBox(float box[6])
{
    ON_BoundingBox bbox;
    {
        ON_PlaneSurface plane;
        ON_RevSurface rev;
        ON_NurbsSurface nurbs;
        if (GetPlaneSurface(plane) && plane.IsValid())
            bbox = plane.BoundingBox();
        else if (GetRevSurface(rev) && rev.IsValid())
            bbox = rev.BoundingBox();
        else if (GetNurbForm(nurbs) && nurbs.IsValid())
            bbox = nurbs.BoundingBox();
    }
    if (!bbox.IsValid())
    {
        box[0] = box[1] = box[2] = FLT_MAX;
        box[3] = box[4] = box[5] = -FLT_MAX;
        return;
    }
    for (int i = 0; i < 3; ++i)
    {
        box[i] = static_cast<float>(bbox.m_min[i]);
        box[3 + i] = static_cast<float>(bbox.m_max[i]);
    }
}

const ON_SimpleArray<ON_Brep*>* ON_ISurface::GetBreps()
{
    if (m_breps.Count() == 0)
        BuildBreps();
    return m_breps.Count() > 0 ? &m_breps : nullptr;
}

void ON_ISurface::GetMeshes(ON_SimpleArray<ON_Mesh*>& meshes)
{
    if (m_breps.Count() == 0)
        BuildBreps();
    for (const ON_Brep* brep : m_breps)
    {
        for (int f = 0; brep != nullptr && f < brep->FaceCount(); ++f)
        {
            ON_Mesh* mesh = brep->Face(f)->CreateMesh(ON_MeshParameters::QualityRenderMesh);
            if (mesh != nullptr)
                meshes.Append(mesh);
        }
    }
}

void ON_ISurface::CacheBrepOf(ON_Surface* surface)
{
    std::unique_ptr<ON_Surface> owned(surface);
    std::unique_ptr<ON_Brep> brep(ON_Brep::New());
    ON_Surface* handed = owned.get();
    if (!brep->Create(handed))
        return; // the brep and the surface are freed here
    owned.release(); // the brep owns it now
    m_breps.Append(brep.release());
}

bool ON_ISurface::BuildBreps()
{
    bool found = false;
    {
        ON_PlaneSurface plane;
        ON_RevSurface rev;
        ON_NurbsSurface nurbs;
        if (GetPlaneSurface(plane) && plane.IsValid())
            found = true, CacheBrepOf(new ON_PlaneSurface(plane));
        else if (GetRevSurface(rev) && rev.IsValid())
            found = true, CacheBrepOf(new ON_RevSurface(rev));
        else if (GetNurbForm(nurbs) && nurbs.IsValid())
            found = true, CacheBrepOf(new ON_NurbsSurface(nurbs));
    }
    for (ON_Brep* brep : m_breps)
    {
        for (int f = 0; f < brep->FaceCount(); ++f)
        {
            ON_BrepFace* face = brep->Face(f);
            ON_Mesh* mesh = face->CreateMesh(ON_MeshParameters::FastRenderMesh);
            face->DestroyRenderMesh();
            face->SetRenderMesh(mesh);
        }
    }
    return found;
}
