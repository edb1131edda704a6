#include "platform/host/object_meshes.h"

#include "platform/geometry/brep.h"
#include "platform/geometry/mesh_parameters.h"
#include "platform/geometry/surface.h"
#include "platform/geometry/surface_mesher.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_object.h"

namespace
{

// Appends the source's vertices, normals and faces; the normals stay only
// while every mesh appended so far had them.
void AppendMesh(ON_Mesh& target, const ON_Mesh& source)
{
    const int base = target.VertexCount();
    const bool normals = source.HasVertexNormals() && target.m_N.Count() == base;
    for (int i = 0; i < source.VertexCount(); ++i)
    {
        target.m_V.Append(source.m_V[i]);
        if (normals)
            target.m_N.Append(source.m_N[i]);
    }
    for (int i = 0; i < source.FaceCount(); ++i)
    {
        ON_MeshFace f = source.m_F[i];
        for (int& v : f.vi)
            v += base;
        target.m_F.Append(f);
    }
}

} // namespace

int CDezazObject::GetMeshes(DezazMeshType, ON_SimpleArray<const ON_Mesh*>& meshes) const
{
    ON_Geometry* geometry = m_geometry.get();
    if (m_deleted || !geometry)
        return 0;
    if (const ON_Mesh* mesh = ON_Mesh::Cast(geometry))
    {
        meshes.Append(mesh);
        return 1;
    }
    auto* brep = dynamic_cast<ON_Brep*>(geometry);
    if (!brep)
        return 0;
    // The faces keep their render meshes, so they are made once per brep and
    // settings; the brep belongs to this object, which is why a const object
    // may fill its cache.
    const ON_MeshParameters& mp = dezaz::RenderMeshSettingsOf(*this);
    int count = 0;
    for (int i = 0; i < brep->FaceCount(); ++i)
    {
        ON_BrepFace* face = brep->Face(i);
        if (!face->RenderMesh())
            face->SetRenderMesh(face->CreateMesh(mp));
        if (const ON_Mesh* mesh = face->RenderMesh())
        {
            meshes.Append(mesh);
            ++count;
        }
    }
    return count;
}

void CDezazObject::DestroyMeshes(DezazMeshType type)
{
    ON_Geometry* geometry = m_geometry.get();
    if (!geometry)
        return;
    if (auto* mesh = ON_Mesh::Cast(geometry))
    {
        // A mesh object is its own render mesh; only the colours an analysis
        // put on it are a cache.
        if (type == DezazMeshType::analysis_mesh)
        {
            mesh->m_C.Destroy();
            mesh->m_Ctag.Default();
        }
        return;
    }
    if (auto* brep = dynamic_cast<ON_Brep*>(geometry))
        brep->DestroyRenderMeshes();
}

namespace dezaz
{

const ON_MeshParameters& RenderMeshSettingsOf(const CDezazObject& object)
{
    if (const CDezazDoc* doc = object.Document())
        return doc->Properties().RenderMeshSettings();
    return ON_MeshParameters::FastRenderMesh;
}

ON_SimpleArray<ON_Mesh*> WritableAnalysisMeshes(const CDezazObject& object)
{
    ON_SimpleArray<const ON_Mesh*> meshes;
    object.GetMeshes(DezazMeshType::analysis_mesh, meshes);
    ON_SimpleArray<ON_Mesh*> writable;
    // The host's own meshes: the object's mesh or its faces' caches.
    for (int i = 0; i < meshes.Count(); ++i)
        writable.Append(const_cast<ON_Mesh*>(meshes[i]));
    return writable;
}

std::shared_ptr<const ON_Mesh> JoinedRenderMesh(const CDezazObject& object)
{
    // A mesh object is its own render mesh: handed out without a copy (scans
    // are large), owned by the object, which the references check for.
    if (const ON_Mesh* own = ON_Mesh::Cast(object.Geometry()))
        return object.IsDeleted() ? nullptr : std::shared_ptr<const ON_Mesh>(std::shared_ptr<const ON_Mesh>(), own);
    ON_SimpleArray<const ON_Mesh*> meshes;
    object.GetMeshes(DezazMeshType::render_mesh, meshes);
    if (meshes.Count() == 0)
    {
        // A surface held bare by a brep object has no face to keep a mesh
        // on: it is meshed afresh (documents add breps, so this is rare).
        const auto* surface = dynamic_cast<const ON_Surface*>(object.Geometry());
        if (!surface || object.IsDeleted())
            return nullptr;
        std::shared_ptr<const ON_Mesh> mesh(ON_MeshSurface(*surface, RenderMeshSettingsOf(object)));
        return mesh && !mesh->IsEmpty() ? mesh : nullptr;
    }
    auto joined = std::make_shared<ON_Mesh>();
    for (int i = 0; i < meshes.Count(); ++i)
        AppendMesh(*joined, *meshes[i]);
    if (joined->IsEmpty())
        return nullptr;
    if (!joined->HasVertexNormals())
    {
        joined->m_N.Destroy();
        joined->ComputeVertexNormals();
    }
    return joined;
}

} // namespace dezaz
