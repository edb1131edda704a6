#include "platform/host/dezaz_doc.h"

#include "platform/host/object_registry.h"
#include "platform/win32/guid.h"

#include <cmath>

ON_UUID DezazCreateUuid()
{
    ON_UUID id = ON_nil_uuid;
    CoCreateGuid(&id);
    return id;
}

// ---------------------------------------------------------------- layers

namespace
{

ON_Layer DefaultLayer()
{
    ON_Layer layer;
    layer.SetName(L"Default");
    layer.m_layer_id = DezazCreateUuid();
    return layer;
}

} // namespace

CDezazLayerTable::CDezazLayerTable()
{
    Reset();
}

const ON_Layer& CDezazLayerTable::operator[](int index) const
{
    return index >= 0 && index < LayerCount() ? m_layers[static_cast<std::size_t>(index)] : m_layers.front();
}

int CDezazLayerTable::FindLayerFromUniqueName(const wchar_t* name) const
{
    if (!name)
        return -1;
    for (int i = 0; i < LayerCount(); ++i)
        if (m_layers[static_cast<std::size_t>(i)].Name().EqualNoCase(name))
            return i;
    return -1;
}

int CDezazLayerTable::FindLayer(const ON_UUID& layer_id) const
{
    for (int i = 0; i < LayerCount(); ++i)
        if (m_layers[static_cast<std::size_t>(i)].m_layer_id == layer_id)
            return i;
    return -1;
}

int CDezazLayerTable::AddLayer(const ON_Layer& layer)
{
    if (layer.Name().IsEmpty() || FindLayerFromUniqueName(layer.Name()) >= 0)
        return -1;
    ON_Layer added = layer;
    if (ON_UuidIsNil(added.m_layer_id) || FindLayer(added.m_layer_id) >= 0)
        added.m_layer_id = DezazCreateUuid();
    m_layers.push_back(added);
    return LayerCount() - 1;
}

bool CDezazLayerTable::ModifyLayer(const ON_Layer& layer, int index)
{
    if (index < 0 || index >= LayerCount() || layer.Name().IsEmpty())
        return false;
    const int named = FindLayerFromUniqueName(layer.Name());
    if (named >= 0 && named != index)
        return false;
    ON_Layer& target = m_layers[static_cast<std::size_t>(index)];
    const ON_UUID id = target.m_layer_id;
    target = layer;
    target.m_layer_id = id;
    return true;
}

bool CDezazLayerTable::SetCurrentLayerIndex(int index)
{
    if (index < 0 || index >= LayerCount())
        return false;
    m_current = index;
    return true;
}

void CDezazLayerTable::Reset()
{
    m_layers.assign(1, DefaultLayer());
    m_current = 0;
}

bool CDezazLayerTable::Assign(std::vector<ON_Layer> layers)
{
    if (layers.empty())
        return false;
    m_layers = std::move(layers);
    m_current = 0;
    return true;
}

// ---------------------------------------------------------------- document

CDezazDoc::CDezazDoc() : m_serial(dezaz::NextRuntimeSerialNumber()) {}

CDezazDoc::~CDezazDoc() = default;

CDezazObject* CDezazDoc::FindLive(unsigned int serial) const
{
    const auto it = m_by_serial.find(serial);
    return it == m_by_serial.end() ? nullptr : it->second;
}

bool CDezazDoc::IsUuidInUse(const ON_UUID& id) const
{
    return LookupObject(id) != nullptr;
}

void CDezazDoc::Adopt(CDezazObject& object, bool reference_object)
{
    if (ON_UuidIsNil(object.m_attributes.m_uuid) || IsUuidInUse(object.m_attributes.m_uuid))
        object.m_attributes.m_uuid = DezazCreateUuid();
    if (object.m_attributes.m_layer_index < 0 || object.m_attributes.m_layer_index >= m_layers.LayerCount())
        object.m_attributes.m_layer_index = m_layers.CurrentLayerIndex();
    object.m_serial = dezaz::NextRuntimeSerialNumber();
    object.m_document = this;
    object.m_reference = reference_object;
    object.m_deleted = false;
    object.m_selected = false;
    dezaz::RememberObject(object.m_serial, &object);
    m_by_serial[object.m_serial] = &object;
    m_modified = true;
}

CDezazObject* CDezazDoc::AddObject(std::unique_ptr<CDezazObject> object, bool reference_object)
{
    if (!object || !object->Geometry() || !object->Geometry()->IsValid() || object->Document())
        return nullptr;
    CDezazObject* added = object.get();
    Adopt(*added, reference_object);
    m_objects.push_back(std::move(object));
    return added;
}

CDezazMeshObject* CDezazDoc::AddMeshObject(const ON_Mesh& mesh, const ON_3dmObjectAttributes* attributes)
{
    auto object = std::make_unique<CDezazMeshObject>(mesh, attributes ? *attributes : GetDefaultObjectAttributes());
    return static_cast<CDezazMeshObject*>(AddObject(std::move(object)));
}

CDezazMeshObject* CDezazDoc::AddMeshObject(std::unique_ptr<ON_Mesh> mesh, const ON_3dmObjectAttributes* attributes)
{
    if (!mesh)
        return nullptr;
    auto object =
        std::make_unique<CDezazMeshObject>(std::move(mesh), attributes ? *attributes : GetDefaultObjectAttributes());
    return static_cast<CDezazMeshObject*>(AddObject(std::move(object)));
}

CDezazPointObject* CDezazDoc::AddPointObject(const ON_3dPoint& point, const ON_3dmObjectAttributes* attributes)
{
    auto object =
        std::make_unique<CDezazPointObject>(point, attributes ? *attributes : GetDefaultObjectAttributes());
    return static_cast<CDezazPointObject*>(AddObject(std::move(object)));
}

CDezazObject* CDezazDoc::ReplaceObject(const CDezazObjRef& ref, std::unique_ptr<CDezazObject> object)
{
    CDezazObject* old = FindLive(ref.RuntimeSerialNumber());
    if (!old || !object || !object->Geometry() || !object->Geometry()->IsValid() || object->Document())
        return nullptr;
    // The new object takes the old one's identity; its uuid is freed first.
    const ON_3dmObjectAttributes attributes = old->m_attributes;
    const bool reference = old->m_reference;
    old->m_deleted = true;
    old->m_selected = false;
    m_by_serial.erase(old->m_serial);
    object->m_attributes = attributes;
    CDezazObject* added = object.get();
    Adopt(*added, reference);
    m_objects.push_back(std::move(object));
    return added;
}

CDezazMeshObject* CDezazDoc::ReplaceObject(const CDezazObjRef& ref, const ON_Mesh& mesh)
{
    return static_cast<CDezazMeshObject*>(ReplaceObject(ref, std::make_unique<CDezazMeshObject>(mesh)));
}

bool CDezazDoc::DeleteObject(const CDezazObjRef& ref)
{
    CDezazObject* object = FindLive(ref.RuntimeSerialNumber());
    if (!object)
        return false;
    object->m_deleted = true;
    object->m_selected = false;
    m_by_serial.erase(object->m_serial);
    m_modified = true;
    return true;
}

bool CDezazDoc::HideObject(const CDezazObjRef& ref)
{
    CDezazObject* object = FindLive(ref.RuntimeSerialNumber());
    if (!object)
        return false;
    object->m_attributes.SetMode(ON_3dmObjectAttributes::object_mode::hidden_object);
    object->m_selected = false;
    m_modified = true;
    return true;
}

bool CDezazDoc::ShowObject(const CDezazObjRef& ref)
{
    CDezazObject* object = FindLive(ref.RuntimeSerialNumber());
    if (!object)
        return false;
    if (object->IsHidden())
        object->m_attributes.SetMode(ON_3dmObjectAttributes::object_mode::normal_object);
    m_modified = true;
    return true;
}

bool CDezazDoc::ModifyObjectAttributes(const CDezazObjRef& ref, const ON_3dmObjectAttributes& attributes)
{
    CDezazObject* object = FindLive(ref.RuntimeSerialNumber());
    if (!object)
        return false;
    const ON_UUID id = object->m_attributes.m_uuid;
    object->m_attributes = attributes;
    object->m_attributes.m_uuid = id;
    if (attributes.m_layer_index < 0 || attributes.m_layer_index >= m_layers.LayerCount())
        object->m_attributes.m_layer_index = m_layers.CurrentLayerIndex();
    if (!object->IsVisible())
        object->m_selected = false;
    m_modified = true;
    return true;
}

int CDezazDoc::SelectAll()
{
    int count = 0;
    for (auto& [serial, object] : m_by_serial)
        if (object->Select(true))
            ++count;
    return count;
}

void CDezazDoc::UnselectAll()
{
    for (auto& [serial, object] : m_by_serial)
        object->m_selected = false;
}

const CDezazObject* CDezazDoc::LookupObject(const ON_UUID& id) const
{
    if (ON_UuidIsNil(id))
        return nullptr;
    for (const auto& [serial, object] : m_by_serial)
        if (object->m_attributes.m_uuid == id)
            return object;
    return nullptr;
}

const CDezazObject* CDezazDoc::LookupObjectByRuntimeSerialNumber(unsigned int serial) const
{
    return FindLive(serial);
}

std::vector<const CDezazObject*> CDezazDoc::Objects() const
{
    std::vector<const CDezazObject*> live;
    live.reserve(m_by_serial.size());
    for (const auto& object : m_objects)
        if (!object->m_deleted)
            live.push_back(object.get());
    return live;
}

int CDezazDoc::ObjectCount() const
{
    return static_cast<int>(m_by_serial.size());
}

void CDezazDoc::SetAbsoluteTolerance(double tolerance)
{
    if (std::isfinite(tolerance) && tolerance > 0.0)
        m_absolute_tolerance = tolerance;
}

ON_3dmObjectAttributes CDezazDoc::GetDefaultObjectAttributes() const
{
    ON_3dmObjectAttributes attributes;
    attributes.m_layer_index = m_layers.CurrentLayerIndex();
    return attributes;
}

void CDezazDoc::Clear()
{
    m_by_serial.clear();
    m_objects.clear();
    m_layers.Reset();
    m_properties = CDezazDocProperties();
    m_absolute_tolerance = 0.001;
    m_unit_system = DezazUnitSystem::millimeters;
    m_file_name.clear();
    m_kept_chunks.clear();
    m_modified = false;
}

void CDezazDoc::TakeContents(CDezazDoc& other, bool merge, bool reference_objects)
{
    if (!merge)
    {
        Clear();
        m_layers = other.m_layers;
        m_absolute_tolerance = other.m_absolute_tolerance;
        m_unit_system = other.m_unit_system;
        m_file_name = other.m_file_name;
        m_kept_chunks = std::move(other.m_kept_chunks);
    }
    // Merged objects keep their layer by name; layers this document lacks are added.
    for (auto& object : other.m_objects)
    {
        if (object->m_deleted)
            continue;
        other.m_by_serial.erase(object->m_serial);
        dezaz::ForgetObject(object->m_serial);
        object->m_serial = 0;
        object->m_document = nullptr;
        if (merge)
        {
            const ON_Layer& layer = other.m_layers[object->m_attributes.m_layer_index];
            int index = m_layers.FindLayerFromUniqueName(layer.Name());
            if (index < 0)
                index = m_layers.AddLayer(layer);
            object->m_attributes.m_layer_index = index >= 0 ? index : m_layers.CurrentLayerIndex();
        }
        CDezazObject* adopted = object.get();
        Adopt(*adopted, reference_objects);
        m_objects.push_back(std::move(object));
    }
    other.Clear();
    m_modified = merge;
}

