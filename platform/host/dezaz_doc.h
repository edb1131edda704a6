// The host document: its object table (uuids, runtime serial numbers,
// attributes, states, categories), layer table, tolerance and units, and the
// plug-in chunks it keeps for plug-ins that are not loaded.
#pragma once

#include "platform/geometry/layer.h"
#include "platform/host/doc_properties.h"
#include "platform/host/dezaz_object.h"
#include "platform/host/dezaz_object_iterator.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

enum class DezazUnitSystem : int
{
    millimeters = 2,
    centimeters = 3,
    meters = 4,
    inches = 8,
    feet = 9,
};

class CDezazLayerTable
{
public:
    CDezazLayerTable();

    int LayerCount() const { return static_cast<int>(m_layers.size()); }
    // Layer i; index 0 ("Default") always exists.
    const ON_Layer& operator[](int index) const;
    // The index of the layer with that name (names compare without case), -1 when none.
    int FindLayerFromUniqueName(const wchar_t* name) const;
    int FindLayer(const ON_UUID& layer_id) const;
    // Adds a layer with a fresh id when it has none; -1 when the name is
    // empty or taken.
    int AddLayer(const ON_Layer& layer);
    // Changes name, colour and flags of an existing layer (its id stays);
    // false for a bad index or a name another layer has.
    bool ModifyLayer(const ON_Layer& layer, int index);
    int CurrentLayerIndex() const { return m_current; }
    bool SetCurrentLayerIndex(int index);

    // Back to the single default layer.
    void Reset();
    // Replaces every layer (a document being opened); false when empty.
    bool Assign(std::vector<ON_Layer> layers);
    const std::vector<ON_Layer>& Layers() const { return m_layers; }

private:
    std::vector<ON_Layer> m_layers;
    int m_current = 0;
};

// A chunk of document data that belongs to a plug-in, stored as the bytes
// the plug-in wrote.
struct DezazPlugInChunk
{
    ON_UUID plugin_id = ON_nil_uuid;
    std::vector<std::uint8_t> bytes;
};

class CDezazDoc
{
public:
    CDezazDoc();
    ~CDezazDoc();
    CDezazDoc(const CDezazDoc&) = delete;
    CDezazDoc& operator=(const CDezazDoc&) = delete;

    unsigned int RuntimeSerialNumber() const { return m_serial; }

    // Adds the object (taking it); a nil uuid, or one already in use, gets a
    // fresh uuid. An object layer index out of range goes to the current
    // layer. Null (object dropped) when the object has no geometry or its
    // geometry is not valid (a mesh with a non-finite vertex or a face out of
    // range), so everything a plug-in finds in a document is sound.
    CDezazObject* AddObject(std::unique_ptr<CDezazObject> object, bool reference_object = false);
    CDezazMeshObject* AddMeshObject(const ON_Mesh& mesh, const ON_3dmObjectAttributes* attributes = nullptr);
    // Takes the mesh without copying it (large imports).
    CDezazMeshObject* AddMeshObject(std::unique_ptr<ON_Mesh> mesh, const ON_3dmObjectAttributes* attributes = nullptr);
    CDezazPointObject* AddPointObject(const ON_3dPoint& point, const ON_3dmObjectAttributes* attributes = nullptr);
    // Puts the new object in the place of the referenced one: same uuid and
    // attributes, new runtime serial number; the old object is marked deleted.
    CDezazObject* ReplaceObject(const CDezazObjRef& ref, std::unique_ptr<CDezazObject> object);
    CDezazMeshObject* ReplaceObject(const CDezazObjRef& ref, const ON_Mesh& mesh);
    bool DeleteObject(const CDezazObjRef& ref);
    bool HideObject(const CDezazObjRef& ref);
    bool ShowObject(const CDezazObjRef& ref);
    bool ModifyObjectAttributes(const CDezazObjRef& ref, const ON_3dmObjectAttributes& attributes);
    // Selects every visible object; returns how many are selected.
    int SelectAll();
    void UnselectAll();

    // Live objects only.
    const CDezazObject* LookupObject(const ON_UUID& id) const;
    const CDezazObject* LookupObjectByRuntimeSerialNumber(unsigned int serial) const;
    // Live objects in the order they were added.
    std::vector<const CDezazObject*> Objects() const;
    int ObjectCount() const;

    void Redraw() { ++m_redraw_count; }
    void Regen() { ++m_regen_count; }
    int RedrawCount() const { return m_redraw_count; }
    int RegenCount() const { return m_regen_count; }

    double AbsoluteTolerance() const { return m_absolute_tolerance; }
    void SetAbsoluteTolerance(double tolerance);
    DezazUnitSystem UnitSystem() const { return m_unit_system; }
    void SetUnitSystem(DezazUnitSystem units) { m_unit_system = units; }
    CDezazLayerTable& LayerTable() { return m_layers; }
    // Meshing settings (render and analysis meshes).
    CDezazDocProperties& Properties() { return m_properties; }
    const CDezazDocProperties& Properties() const { return m_properties; }
    const CDezazLayerTable& LayerTable() const { return m_layers; }
    // Attributes a new object gets: the current layer, a nil uuid.
    ON_3dmObjectAttributes GetDefaultObjectAttributes() const;

    const std::wstring& FileName() const { return m_file_name; }
    void SetFileName(std::wstring name) { m_file_name = std::move(name); }
    bool IsModified() const { return m_modified; }
    void SetModified(bool modified) { m_modified = modified; }

    // Chunks read from a file whose plug-ins were not loaded, written back
    // unchanged when the document is saved.
    const std::vector<DezazPlugInChunk>& KeptPlugInChunks() const { return m_kept_chunks; }
    void SetKeptPlugInChunks(std::vector<DezazPlugInChunk> chunks) { m_kept_chunks = std::move(chunks); }

    // Empties the document: objects (deleted ones too), layers back to the
    // default one, settings to their defaults, no file name.
    void Clear();
    // Takes over the contents of another document (a file that was read);
    // with merge, its objects are added to these instead of replacing them.
    void TakeContents(CDezazDoc& other, bool merge, bool reference_objects);

private:
    CDezazObject* FindLive(unsigned int serial) const;
    bool IsUuidInUse(const ON_UUID& id) const;
    void Adopt(CDezazObject& object, bool reference_object);

    unsigned int m_serial;
    std::vector<std::unique_ptr<CDezazObject>> m_objects; // live and deleted, in order of addition
    std::map<unsigned int, CDezazObject*> m_by_serial;     // live only
    CDezazLayerTable m_layers;
    CDezazDocProperties m_properties;
    double m_absolute_tolerance = 0.001;
    DezazUnitSystem m_unit_system = DezazUnitSystem::millimeters;
    std::wstring m_file_name;
    bool m_modified = false;
    int m_redraw_count = 0;
    int m_regen_count = 0;
    std::vector<DezazPlugInChunk> m_kept_chunks;
};

// Fresh random (version 4) uuid.
ON_UUID DezazCreateUuid();
