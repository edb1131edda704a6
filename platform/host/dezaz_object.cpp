#include "platform/host/dezaz_object.h"

#include "platform/geometry/surface.h"

#include "platform/host/dezaz_doc.h"
#include "platform/host/object_registry.h"
#include "platform/host/visual_analysis_mode.h"

#include <algorithm>

CDezazObject::CDezazObject(std::unique_ptr<ON_Geometry> geometry, const ON_3dmObjectAttributes& attributes)
    : m_geometry(std::move(geometry)), m_attributes(attributes)
{
}

CDezazObject::~CDezazObject()
{
    if (m_serial != 0)
        dezaz::ForgetObject(m_serial);
}

bool CDezazObject::IsVisible() const
{
    if (m_deleted || IsHidden())
        return false;
    if (!m_document)
        return true;
    const CDezazLayerTable& layers = m_document->LayerTable();
    const int layer = m_attributes.m_layer_index;
    return layer < 0 || layer >= layers.LayerCount() || layers[layer].IsVisible();
}

unsigned int CDezazObject::ObjectState() const
{
    if (IsHidden())
        return dezaz_hidden_objects;
    if (IsLocked())
        return dezaz_locked_objects;
    return dezaz_normal_objects;
}

bool CDezazObject::Select(bool on)
{
    if (on && (m_deleted || !IsVisible()))
        return false;
    m_selected = on;
    return true;
}

ON_BoundingBox CDezazObject::BoundingBox() const
{
    return m_geometry ? m_geometry->BoundingBox() : ON_BoundingBox();
}

bool CDezazObject::EnableAnalysisMode(const ON_UUID& mode_id, bool enable)
{
    const auto it = std::find(m_analysis_modes.begin(), m_analysis_modes.end(), mode_id);
    if (!enable)
    {
        if (it != m_analysis_modes.end())
        {
            m_analysis_modes.erase(it);
            // The colours were the mode's; without it they are stale.
            if (const ON_Mesh* mesh = ON_Mesh::Cast(Geometry()); mesh && mesh->m_Ctag.m_mapping_id == mode_id)
                DestroyMeshes(DezazMeshType::analysis_mesh);
        }
        return true;
    }
    if (it != m_analysis_modes.end())
        return true;
    const CDezazVisualAnalysisMode* mode = CDezazVisualAnalysisMode::Mode(mode_id);
    if (m_deleted || !mode || !mode->ObjectSupportsAnalysisMode(this))
        return false;
    m_analysis_modes.push_back(mode_id);
    return true;
}

bool CDezazObject::InAnalysisMode(const ON_UUID& mode_id) const
{
    return std::find(m_analysis_modes.begin(), m_analysis_modes.end(), mode_id) != m_analysis_modes.end();
}

CDezazMeshObject::CDezazMeshObject(const ON_Mesh& mesh, const ON_3dmObjectAttributes& attributes)
    : CDezazObject(std::make_unique<ON_Mesh>(mesh), attributes)
{
}

CDezazMeshObject::CDezazMeshObject(std::unique_ptr<ON_Mesh> mesh, const ON_3dmObjectAttributes& attributes)
    : CDezazObject(mesh ? std::move(mesh) : std::make_unique<ON_Mesh>(), attributes)
{
}

std::unique_ptr<CDezazObject> CDezazMeshObject::DuplicateDezazObject() const
{
    return std::make_unique<CDezazMeshObject>(*Mesh(), Attributes());
}

void CDezazMeshObject::SetMesh(std::unique_ptr<ON_Mesh> mesh)
{
    if (mesh && !Document())
        SetGeometry(std::move(mesh));
}

CDezazPointObject::CDezazPointObject(const ON_3dPoint& point, const ON_3dmObjectAttributes& attributes)
    : CDezazObject(std::make_unique<ON_Point>(point), attributes)
{
}

std::unique_ptr<CDezazObject> CDezazPointObject::DuplicateDezazObject() const
{
    return std::make_unique<CDezazPointObject>(Point()->point, Attributes());
}

namespace
{

// Keeps the geometry only when it is of the wanted kind.
template <class T> std::unique_ptr<ON_Geometry> OnlyOf(std::unique_ptr<ON_Geometry> geometry)
{
    if (!dynamic_cast<T*>(geometry.get()))
        geometry.reset();
    return geometry;
}

} // namespace

CDezazCurveObject::CDezazCurveObject(std::unique_ptr<ON_Geometry> curve, const ON_3dmObjectAttributes& attributes)
    : CDezazObject(OnlyOf<ON_Curve>(std::move(curve)), attributes)
{
}

const ON_Curve* CDezazCurveObject::Curve() const
{
    return static_cast<const ON_Curve*>(Geometry());
}

std::unique_ptr<CDezazObject> CDezazCurveObject::DuplicateDezazObject() const
{
    if (!Curve())
        return nullptr;
    return std::make_unique<CDezazCurveObject>(std::unique_ptr<ON_Geometry>(Curve()->Duplicate()), Attributes());
}

// A bare surface in a document is shown as a brep of one face would be.
CDezazBrepObject::CDezazBrepObject(std::unique_ptr<ON_Geometry> brep, const ON_3dmObjectAttributes& attributes)
    : CDezazObject(dynamic_cast<ON_Surface*>(brep.get()) ? std::move(brep) : OnlyOf<ON_Brep>(std::move(brep)),
                   attributes)
{
}

const ON_Brep* CDezazBrepObject::Brep() const
{
    return dynamic_cast<const ON_Brep*>(Geometry());
}

std::unique_ptr<CDezazObject> CDezazBrepObject::DuplicateDezazObject() const
{
    if (const ON_Brep* brep = Brep())
        return std::make_unique<CDezazBrepObject>(std::make_unique<ON_Brep>(*brep), Attributes());
    if (const auto* surface = dynamic_cast<const ON_Surface*>(Geometry()))
        return std::make_unique<CDezazBrepObject>(std::unique_ptr<ON_Geometry>(surface->DuplicateSurface()),
                                                  Attributes());
    return nullptr;
}

void CDezazBrepObject::SetBrep(std::unique_ptr<ON_Brep> brep)
{
    if (!Document())
        SetGeometry(std::move(brep));
}

CDezazObjRef::CDezazObjRef(const CDezazObject* object) : m_serial(object ? object->RuntimeSerialNumber() : 0) {}

CDezazObjRef::CDezazObjRef(const CDezazObject* object, std::shared_ptr<const ON_Mesh> mesh)
    : m_serial(object ? object->RuntimeSerialNumber() : 0), m_mesh(std::move(mesh))
{
}

CDezazObjRef::CDezazObjRef(const CDezazObject* object, std::shared_ptr<const ON_Curve> edge)
    : m_serial(object ? object->RuntimeSerialNumber() : 0), m_edge(std::move(edge))
{
}

const CDezazObject* CDezazObjRef::Object() const
{
    const CDezazObject* object = dezaz::FindObject(m_serial);
    return object && !object->IsDeleted() ? object : nullptr;
}

const ON_Mesh* CDezazObjRef::Mesh() const
{
    if (m_mesh)
        return Object() ? m_mesh.get() : nullptr;
    return ON_Mesh::Cast(Geometry());
}

const ON_Geometry* CDezazObjRef::Geometry() const
{
    const CDezazObject* object = Object();
    return object ? object->Geometry() : nullptr;
}

const ON_Curve* CDezazObjRef::Curve() const
{
    if (m_edge)
        return Object() ? m_edge.get() : nullptr;
    return dynamic_cast<const ON_Curve*>(Geometry());
}

ON_UUID CDezazObjRef::ObjectUuid() const
{
    const CDezazObject* object = Object();
    return object ? object->ModelObjectId() : ON_nil_uuid;
}

bool CDezazObjRef::SelectionPoint(ON_3dPoint& point) const
{
    if (m_has_point)
        point = m_point;
    return m_has_point;
}

void CDezazObjRef::SetSelectionPoint(const ON_3dPoint& point)
{
    m_point = point;
    m_has_point = true;
}
