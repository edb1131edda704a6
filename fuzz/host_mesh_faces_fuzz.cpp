// A host mesh comes from the host document: its faces may name any index,
// its vertices any float. Invariants: the import never crashes or reads
// outside the host's vertices; it reports the triangles it added; every
// triangle of the result has three distinct corners inside the vertex block;
// welding never makes more vertices than corners were used; the object's
// colour bytes match its triangle count.
//
// Input: a vertex count byte, that many x, y, z floats, then faces of four
// 16-bit signed indices (a triangle repeats its third).
#include "core/host_mesh_import.h"
#include "core/mesh_object.h"
#include "core/triangle_colour_property.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    ON_Mesh host;
    const std::size_t vertices = data[0];
    std::size_t at = 1;
    for (std::size_t i = 0; i < vertices && at + 12 <= size; ++i, at += 12)
    {
        float p[3];
        std::memcpy(p, data + at, sizeof p);
        host.m_V.Append(ON_3fPoint(p));
    }
    for (; at + 8 <= size; at += 8)
    {
        ON_MeshFace face;
        for (int k = 0; k < 4; ++k)
        {
            std::int16_t index;
            std::memcpy(&index, data + at + 2 * k, sizeof index);
            face.vi[k] = index;
        }
        host.m_F.Append(face);
    }

    cMeshObject object;
    const std::uint32_t added = AddHostMeshFaces(object, host);
    cMesh& mesh = *object.GetMesh();
    if (added != mesh.GetTriangleCount() || added > 2u * static_cast<std::uint32_t>(host.FaceCount()) ||
        mesh.GetVertexCount() > 4u * static_cast<std::uint32_t>(host.FaceCount()))
        std::abort();
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
    {
        const std::uint32_t* v = mesh.GetTriangle(i)->vertexIndex;
        if (v[0] >= mesh.GetVertexCount() || v[1] >= mesh.GetVertexCount() || v[2] >= mesh.GetVertexCount() ||
            v[0] == v[1] || v[1] == v[2] || v[0] == v[2])
            std::abort();
    }
    if (added != 0)
    {
        CTriangleColourProperties* colours = CTriangleColourProperties::GetOrCreate(&object);
        if (colours == nullptr || colours->GetCount() != added)
            std::abort();
    }
    return 0;
}
