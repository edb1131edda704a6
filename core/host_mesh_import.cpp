#include "core/host_mesh_import.h"

#include "core/mesh_object.h"
#include "core/triangle_colour_property.h"

std::uint32_t AddHostMeshFaces(cMesh& mesh, const ON_Mesh& host)
{
    const std::uint32_t trianglesBefore = mesh.GetTriangleCount();
    const int hostVertexCount = host.VertexCount();
    mesh.ClearMergeIndex();
    mesh.SetIndexed(true);
    for (int f = 0; f < host.FaceCount(); ++f)
    {
        const ON_MeshFace& face = host.m_F[f];
        const int corners = face.IsQuad() ? 4 : 3;
        bool inside = true;
        for (int k = 0; k < corners; ++k)
            inside = inside && face.vi[k] >= 0 && face.vi[k] < hostVertexCount;
        if (!inside)
            continue;
        std::uint32_t index[4];
        for (int k = 0; k < corners; ++k)
        {
            const ON_3fPoint& p = host.m_V[face.vi[k]];
            index[k] = mesh.AddVertex(p.x, p.y, p.z, true, kImportMergeTolerance);
        }
        // AddTriangle refuses a triangle whose merged corners repeat.
        mesh.AddTriangle(index[0], index[1], index[2]);
        if (corners == 4)
            mesh.AddTriangle(index[0], index[2], index[3]);
    }
    mesh.ClearMergeIndex();
    mesh.SetIndexed(false);
    mesh.Update();
    return mesh.GetTriangleCount() - trianglesBefore;
}

std::uint32_t AddHostMeshFaces(cMeshObject& object, const ON_Mesh& host)
{
    cMesh* mesh = object.GetMesh();
    if (mesh == nullptr)
        return 0;
    const std::uint32_t added = AddHostMeshFaces(*mesh, host);
    const std::uint32_t triangles = mesh->GetTriangleCount();
    if (triangles != 0)
    {
        // Sessions and the renderer index the bytes by triangle number.
        if (CTriangleColourProperties* colours = CTriangleColourProperties::GetOrCreate(&object))
            colours->Resize(triangles);
    }
    return added;
}
