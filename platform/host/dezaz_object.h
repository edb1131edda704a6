// Objects of a host document: geometry with its attributes, a runtime
// serial number and the state the host keeps for it (selection, analysis
// modes). The document owns its objects; a replaced or deleted object stays
// alive (marked deleted) until the document is cleared, so pointers that a
// plug-in still holds never dangle within a document's life.
#pragma once

#include "platform/geometry/brep.h"
#include "platform/geometry/curve.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/object_attributes.h"
#include "platform/geometry/point_geometry.h"

#include "platform/geometry/simple_array.h"

#include <memory>
#include <vector>

class CDezazDoc;

// Object types, also the bits of a getter's geometry filter.
enum class DezazObjectType : unsigned int
{
    unknown = 0,
    point = 1,
    curve = 4,
    surface = 8,
    brep = 16,
    mesh = 32,
    text_dot = 0x2000,
};

// Kinds of meshes the host keeps for an object.
enum class DezazMeshType : int
{
    render_mesh = 1,
    analysis_mesh = 2,
};

// Object states (bits of an iterator's state mask).
enum DezazObjectState : unsigned int
{
    dezaz_normal_objects = 1,
    dezaz_locked_objects = 2,
    dezaz_hidden_objects = 4,
};

// Object categories (bits of an iterator's category mask).
enum DezazObjectCategory : unsigned int
{
    dezaz_active_objects = 1,
    dezaz_reference_objects = 2,
};

class CDezazObject
{
public:
    virtual ~CDezazObject();
    CDezazObject(const CDezazObject&) = delete;
    CDezazObject& operator=(const CDezazObject&) = delete;

    virtual DezazObjectType ObjectType() const = 0;
    // A copy with the same geometry and attributes, not in any document.
    virtual std::unique_ptr<CDezazObject> DuplicateDezazObject() const = 0;

    const ON_Geometry* Geometry() const { return m_geometry.get(); }
    const ON_3dmObjectAttributes& Attributes() const { return m_attributes; }
    // Attributes of an object in a document are changed through the
    // document (CDezazDoc::ModifyObjectAttributes), which keeps the uuid.
    void SetAttributes(const ON_3dmObjectAttributes& attributes) { m_attributes = attributes; }
    ON_UUID ModelObjectId() const { return m_attributes.m_uuid; }

    // Unique within the process; 0 until the object is added to a document.
    unsigned int RuntimeSerialNumber() const { return m_serial; }
    CDezazDoc* Document() const { return m_document; }
    bool IsDeleted() const { return m_deleted; }
    bool IsReference() const { return m_reference; }

    bool IsVisible() const;
    bool IsHidden() const { return m_attributes.Mode() == ON_3dmObjectAttributes::object_mode::hidden_object; }
    bool IsLocked() const { return m_attributes.Mode() == ON_3dmObjectAttributes::object_mode::locked_object; }
    // Normal, locked or hidden (one DezazObjectState bit).
    unsigned int ObjectState() const;

    // Selection: hidden and deleted objects cannot be selected.
    bool IsSelected() const { return m_selected; }
    bool Select(bool on = true);

    ON_BoundingBox BoundingBox() const;

    // Visual analysis modes switched on for this object, by mode id. Switching
    // on fails for a mode that is not registered or does not support the
    // object; switching off drops the colours the mode put on the object.
    bool EnableAnalysisMode(const ON_UUID& mode_id, bool enable);
    bool InAnalysisMode(const ON_UUID& mode_id) const;
    const std::vector<ON_UUID>& AnalysisModes() const { return m_analysis_modes; }

    // The meshes the host keeps for the object: a mesh object's own mesh
    // (also its analysis mesh, which carries the analysis colours), the
    // render meshes of a brep's faces (made on demand with the document's
    // settings). Appends them; returns how many were appended.
    int GetMeshes(DezazMeshType type, ON_SimpleArray<const ON_Mesh*>& meshes) const;
    // Drops the cached meshes of that type: a brep's render meshes, a mesh
    // object's analysis colours (so that the next pass computes them again).
    void DestroyMeshes(DezazMeshType type);

protected:
    CDezazObject() = default;
    CDezazObject(std::unique_ptr<ON_Geometry> geometry, const ON_3dmObjectAttributes& attributes);
    void SetGeometry(std::unique_ptr<ON_Geometry> geometry) { m_geometry = std::move(geometry); }

private:
    friend class CDezazDoc;

    std::unique_ptr<ON_Geometry> m_geometry;
    ON_3dmObjectAttributes m_attributes;
    unsigned int m_serial = 0;
    CDezazDoc* m_document = nullptr;
    bool m_deleted = false;
    bool m_reference = false;
    bool m_selected = false;
    std::vector<ON_UUID> m_analysis_modes;
};

class CDezazMeshObject : public CDezazObject
{
public:
    CDezazMeshObject() : CDezazMeshObject(ON_Mesh()) {}
    explicit CDezazMeshObject(const ON_Mesh& mesh, const ON_3dmObjectAttributes& attributes = {});
    explicit CDezazMeshObject(std::unique_ptr<ON_Mesh> mesh, const ON_3dmObjectAttributes& attributes = {});

    DezazObjectType ObjectType() const override { return DezazObjectType::mesh; }
    std::unique_ptr<CDezazObject> DuplicateDezazObject() const override;

    const ON_Mesh* Mesh() const { return static_cast<const ON_Mesh*>(Geometry()); }
    // Only before the object is added to a document; afterwards replace it.
    void SetMesh(std::unique_ptr<ON_Mesh> mesh);
};

class CDezazPointObject : public CDezazObject
{
public:
    explicit CDezazPointObject(const ON_3dPoint& point, const ON_3dmObjectAttributes& attributes = {});

    DezazObjectType ObjectType() const override { return DezazObjectType::point; }
    std::unique_ptr<CDezazObject> DuplicateDezazObject() const override;

    const ON_Point* Point() const { return static_cast<const ON_Point*>(Geometry()); }
};

class CDezazCurveObject : public CDezazObject
{
public:
    // Null or non-curve geometry makes an object without geometry, which no
    // document takes.
    explicit CDezazCurveObject(std::unique_ptr<ON_Geometry> curve, const ON_3dmObjectAttributes& attributes = {});
    DezazObjectType ObjectType() const override { return DezazObjectType::curve; }
    std::unique_ptr<CDezazObject> DuplicateDezazObject() const override;
    const ON_Curve* Curve() const;
};

class CDezazBrepObject : public CDezazObject
{
public:
    CDezazBrepObject() = default;
    explicit CDezazBrepObject(std::unique_ptr<ON_Geometry> brep, const ON_3dmObjectAttributes& attributes = {});
    DezazObjectType ObjectType() const override { return DezazObjectType::brep; }
    std::unique_ptr<CDezazObject> DuplicateDezazObject() const override;
    // Null when the object holds a bare surface.
    const ON_Brep* Brep() const;
    // Only before the object is added to a document.
    void SetBrep(std::unique_ptr<ON_Brep> brep);
};

// A reference to a document object by runtime serial number, so that it
// never dangles: a deleted or replaced object gives null.
class CDezazObjRef
{
public:
    CDezazObjRef() = default;
    explicit CDezazObjRef(const CDezazObject* object);
    // A reference that also carries a mesh of the object (its render mesh),
    // kept alive by the reference.
    CDezazObjRef(const CDezazObject* object, std::shared_ptr<const ON_Mesh> mesh);
    // A reference to an edge of the object (a brep), kept alive by the reference.
    CDezazObjRef(const CDezazObject* object, std::shared_ptr<const ON_Curve> edge);

    const CDezazObject* Object() const;
    const ON_Mesh* Mesh() const;
    const ON_Geometry* Geometry() const;
    // The picked edge, or the object's own curve; null when neither.
    const ON_Curve* Curve() const;
    unsigned int RuntimeSerialNumber() const { return m_serial; }
    ON_UUID ObjectUuid() const;

    // Where the user picked the object; false when it was not picked by a point.
    bool SelectionPoint(ON_3dPoint& point) const;
    void SetSelectionPoint(const ON_3dPoint& point);

private:
    unsigned int m_serial = 0;
    std::shared_ptr<const ON_Mesh> m_mesh;
    std::shared_ptr<const ON_Curve> m_edge;
    bool m_has_point = false;
    ON_3dPoint m_point;
};
