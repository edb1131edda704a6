// Boundary representation: surfaces owned by the brep and faces that use
// them, each face with an optional render mesh. A face covers its surface's
// whole domain unless it has trimming loops: closed polygons in the
// surface's parameter plane, the first bounding the face and any further
// ones cutting holes out of it (faces split by other breps are trimmed so).
// Edges join the structure when breps are stitched from several faces
// (extrusions with caps, lofts), which is why surfaces and faces are kept in
// separate lists from the start.
#pragma once

#include "platform/geometry/object.h"

#include <memory>
#include <vector>

#include "platform/geometry/point.h"

class ON_BinaryArchive;
class ON_Brep;
class ON_Mesh;
class ON_MeshParameters;
class ON_Surface;

class ON_BrepFace
{
public:
    ON_BrepFace() = default;
    ON_BrepFace(const ON_BrepFace& other);
    ON_BrepFace& operator=(const ON_BrepFace& other);
    ON_BrepFace(ON_BrepFace&&) noexcept = default;
    ON_BrepFace& operator=(ON_BrepFace&&) noexcept = default;
    ~ON_BrepFace();

    int m_face_index = -1;
    int m_si = -1;        // index of the face's surface in its brep
    bool m_bRev = false;  // the face's normal opposes the surface's

    // Trimming loops: each point is (s, t, 0) in the surface's parameters;
    // a loop is closed implicitly (last point back to the first). Empty: the
    // whole domain.
    std::vector<std::vector<ON_3dPoint>> m_loops;

    ON_Brep* Brep() const { return m_brep; }
    const ON_Surface* SurfaceOf() const;
    bool IsTrimmed() const { return !m_loops.empty(); }
    // Whether the parameters lie on the face: inside its surface's domain
    // and, when trimmed, inside the first loop and outside the others.
    bool IsParameterOnFace(double s, double t) const;

    // A new mesh of the face (owned by the caller); null when the face has
    // no surface or it cannot be meshed.
    ON_Mesh* CreateMesh(const ON_MeshParameters& mp) const;
    const ON_Mesh* RenderMesh() const { return m_render_mesh.get(); }
    // Takes ownership of the mesh (null clears); the old one is deleted.
    void SetRenderMesh(ON_Mesh* mesh);
    void DestroyRenderMesh() { m_render_mesh.reset(); }

private:
    friend class ON_Brep;
    ON_Brep* m_brep = nullptr;
    std::unique_ptr<ON_Mesh> m_render_mesh;
};

class ON_Brep : public ON_Geometry
{
public:
    ON_Brep() = default;
    // Deep copy: surfaces, faces and their render meshes.
    ON_Brep(const ON_Brep& other);
    ON_Brep& operator=(const ON_Brep& other);
    ~ON_Brep() override;

    // A new empty brep, or a deep copy of src (owned by the caller).
    static ON_Brep* New();
    static ON_Brep* New(const ON_Brep& src);

    // Makes the brep one face over the whole surface and takes ownership
    // of it: on success the caller's pointer is set to null. On failure (a
    // null or invalid surface) the brep is left empty and the surface stays
    // the caller's to delete.
    bool Create(ON_Surface*& surface);

    // Building blocks of multi-face breps: a surface taken over (its index,
    // or -1 when null or invalid, the caller keeping it), and a face on one
    // of the brep's surfaces (null for a bad index).
    int AddSurface(ON_Surface* surface);
    ON_BrepFace* NewFace(int surface_index);

    int SurfaceCount() const { return static_cast<int>(m_S.size()); }
    int FaceCount() const { return static_cast<int>(m_F.size()); }
    const ON_Surface* Surface(int index) const;
    ON_BrepFace* Face(int index);
    const ON_BrepFace* Face(int index) const;

    void DestroyRenderMeshes();
    void Destroy();

    // At least one face; every face on a valid surface of this brep.
    bool IsValid(ON_TextLog* text_log = nullptr) const override;
    // The union of the faces' surface boxes.
    ON_BoundingBox BoundingBox() const override;
    // Transforms the surfaces and the render meshes.
    bool Transform(const ON_Xform& xform) override;

    // Record: version 1.0; int surface count, each surface record; int face
    // count, each as int surface index and int reversed flag. Render meshes
    // are caches and are not stored. A brep with trimmed faces is written as
    // version 1.1, which adds for each face: int loop count, and per loop an
    // int point count and its points as double s, t.
    bool Write(ON_BinaryArchive& archive) const;
    // Only a valid brep is taken; on failure the brep is unchanged.
    bool Read(ON_BinaryArchive& archive);

private:
    void RewireFaces();
    static bool ReadLoops(ON_BinaryArchive& archive, ON_BrepFace& face);

    std::vector<std::unique_ptr<ON_Surface>> m_S;
    std::vector<ON_BrepFace> m_F;
};
