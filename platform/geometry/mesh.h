// Polygon mesh of the geometry library: float vertices, triangle and quad
// faces, optional vertex and face normals.
#pragma once

#include "platform/geometry/color.h"
#include "platform/geometry/mapping_tag.h"
#include "platform/geometry/object.h"
#include "platform/geometry/simple_array.h"
#include "platform/geometry/vector_length.h"

// Four vertex indices; a triangle repeats its third index in vi[3].
struct ON_MeshFace
{
    int vi[4] = {0, 0, 0, 0};

    bool IsTriangle() const { return vi[2] == vi[3]; }
    bool IsQuad() const { return vi[2] != vi[3]; }
    // Indices in [0, vertex_count) and the corners distinct.
    bool IsValid(int vertex_count) const;
};

// (c - a) x (d - b) of a face's corners in doubles (a quad's diagonals; a
// triangle's d is its c): twice its area vector, the term a face adds to
// its corners' normals in ComputeVertexNormals. Its indices must be in range.
inline ON_3dVector ON_MeshFaceCrossProduct(const ON_3fPoint* vertices, const ON_MeshFace& f)
{
    const ON_3fPoint &a = vertices[f.vi[0]], &b = vertices[f.vi[1]];
    const ON_3fPoint &c = vertices[f.vi[2]], &d = vertices[f.vi[3]];
    const double ux = double(c.x) - double(a.x), uy = double(c.y) - double(a.y), uz = double(c.z) - double(a.z);
    const double wx = double(d.x) - double(b.x), wy = double(d.y) - double(b.y), wz = double(d.z) - double(b.z);
    return {uy * wz - uz * wy, uz * wx - ux * wz, ux * wy - uy * wx};
}

// The unit vector along n in floats, the zero vector where n has no
// direction: a mesh's face and vertex normals from their sums.
inline ON_3fVector ON_UnitNormalOrZero(ON_3dVector n)
{
    if (!vector_length::Unitize(n.x, n.y, n.z))
        return ON_3fVector();
    return ON_3fVector(n);
}

// The unit normal ComputeFaceNormals gives a face whose indices are all in
// range: its cross product made unit, the zero vector where it has no
// direction. For one who fills a mesh's faces and can give each its normal
// in the same pass.
inline ON_3fVector ON_MeshFaceUnitNormal(const ON_3fPoint* vertices, const ON_MeshFace& f)
{
    return ON_UnitNormalOrZero(ON_MeshFaceCrossProduct(vertices, f));
}

class ON_Mesh : public ON_Geometry
{
public:
    ON_SimpleArray<ON_3fPoint> m_V;
    ON_SimpleArray<ON_MeshFace> m_F;
    ON_SimpleArray<ON_3fVector> m_N;  // vertex normals: none, or one per vertex
    ON_SimpleArray<ON_3fVector> m_FN; // face normals: none, or one per face
    ON_SimpleArray<ON_Color> m_C;     // vertex colours: none, or one per vertex
    ON_MappingTag m_Ctag;             // what filled m_C (default: nothing)

    ON_Mesh() = default;
    // Reserves the arrays. Texture coordinates are not kept by this mesh;
    // the flag is accepted for callers that pass it.
    ON_Mesh(int initial_face_capacity, int initial_vertex_capacity, bool has_vertex_normals,
            bool has_texture_coordinates);

    static ON_Mesh* Cast(ON_Object* object);
    static const ON_Mesh* Cast(const ON_Object* object);

    int VertexCount() const { return m_V.Count(); }
    int FaceCount() const { return m_F.Count(); }
    int TriangleCount() const;
    int QuadCount() const;
    bool HasVertexNormals() const { return m_V.Count() > 0 && m_N.Count() == m_V.Count(); }
    bool HasFaceNormals() const { return m_F.Count() > 0 && m_FN.Count() == m_F.Count(); }
    bool HasVertexColors() const { return m_V.Count() > 0 && m_C.Count() == m_V.Count(); }
    bool IsEmpty() const { return m_V.Count() == 0 || m_F.Count() == 0; }

    // Index == count appends, index < count replaces; other indices fail.
    bool SetVertex(int vertex_index, const ON_3dPoint& p);
    bool SetVertex(int vertex_index, const ON_3fPoint& p);
    bool SetVertexNormal(int vertex_index, const ON_3dVector& n);
    bool SetTriangle(int face_index, int a, int b, int c);
    bool SetQuad(int face_index, int a, int b, int c, int d);

    // Unit face normals by the corners' cross products (a quad by its
    // diagonals); degenerate faces get the zero vector.
    bool ComputeFaceNormals();
    // Unit vertex normals: the area-weighted sum of the adjacent faces'.
    bool ComputeVertexNormals();

    // Whether the mesh is closed: 1 closed, 0 open, -1 not known (the
    // default; nothing here works it out).
    int IsClosed() const { return m_closed; }
    void SetClosed(int closed) { m_closed = closed < 0 ? -1 : (closed > 0 ? 1 : 0); }

    // Gives back the arrays' unused capacity.
    bool Compact();

    // At least one face; every vertex finite; every face valid; normal and
    // colour arrays empty or of matching length.
    bool IsValid(ON_TextLog* text_log = nullptr) const override;
    ON_BoundingBox BoundingBox() const override;
    // Positions by the full transform; normals by the inverse transpose.
    bool Transform(const ON_Xform& xform) override;
    void Destroy();

private:
    int m_closed = -1;
};
