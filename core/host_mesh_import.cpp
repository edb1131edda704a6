#include "core/host_mesh_import.h"

#include "core/mesh_object.h"
#include "core/point_twins.h"
#include "core/triangle_colour_property.h"

#include <algorithm>
#include <new>
#include <vector>

std::uint32_t AddHostMeshFaces(cMesh& mesh, const ON_Mesh& host, cThreadPool* pool)
{
    const std::uint32_t trianglesBefore = mesh.GetTriangleCount();
    const int hostVertexCount = host.VertexCount();
    mesh.ClearMergeIndex();
    mesh.SetIndexed(true);
    // Each host vertex is welded once and its index kept: the weld gives a
    // point the lowest index within the tolerance, and vertices added later
    // have higher indices, so the same point would weld onto the same vertex
    // at every face. Only vertices with a twin within the tolerance go
    // through the merge index; the others are new vertices, and are kept
    // out of the index because no other point can weld onto them. A point
    // the index cannot hold is welded afresh at every corner.
    constexpr std::uint32_t kNotWelded = 0xFFFFFFFF;
    static_assert(sizeof(ON_3fPoint) == 3 * sizeof(float));
    std::vector<std::uint32_t> welded;
    std::vector<std::uint8_t> twins;
    try
    {
        welded.assign(static_cast<std::size_t>(std::max(hostVertexCount, 0)), kNotWelded);
    }
    catch (const std::bad_alloc&)
    {
        welded.clear();
    }
    if (!welded.empty() &&
        !MarkPointTwins(&host.m_V[0].x, welded.size(), 3, kImportMergeTolerance, pool, twins))
        twins.clear();
    const auto weldedIndex = [&](int hostVertex)
    {
        const ON_3fPoint& p = host.m_V[hostVertex];
        if (welded.empty())
            return mesh.AddVertex(p.x, p.y, p.z, true, kImportMergeTolerance);
        std::uint32_t& slot = welded[static_cast<std::size_t>(hostVertex)];
        if (slot != kNotWelded)
            return slot;
        if (!twins.empty() && twins[static_cast<std::size_t>(hostVertex)] == kPointAlone)
        {
            const float xyz[3] = {p.x, p.y, p.z};
            const std::uint32_t index = mesh.AddVertex(xyz);
            if (index < mesh.GetVertexCount())
                slot = index;
            return index;
        }
        bool repeatable = false;
        const std::uint32_t index = mesh.AddVertex(p.x, p.y, p.z, true, kImportMergeTolerance, repeatable);
        if (repeatable)
            slot = index;
        return index;
    };
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
            index[k] = weldedIndex(face.vi[k]);
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

std::uint32_t AddHostMeshFaces(cMeshObject& object, const ON_Mesh& host, cThreadPool* pool)
{
    cMesh* mesh = object.GetMesh();
    if (mesh == nullptr)
        return 0;
    const std::uint32_t added = AddHostMeshFaces(*mesh, host, pool);
    const std::uint32_t triangles = mesh->GetTriangleCount();
    if (triangles != 0)
    {
        // Sessions and the renderer index the bytes by triangle number.
        if (CTriangleColourProperties* colours = CTriangleColourProperties::GetOrCreate(&object))
            colours->Resize(triangles);
    }
    return added;
}
