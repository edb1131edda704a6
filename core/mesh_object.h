// The mesh scene object: the copy of the host mesh that a dialog shows,
// selects triangles on and fits shapes to. It owns one cMesh, answers the
// mesh's interfaces as its own, and saves itself as a key/value header
// ("TYPE", "TITLE", "GROUP_GUID"; the file writer adds "FILE_NAME") plus the
// binary mesh file.
#pragma once

#include "core/mesh.h"
#include "core/scene_object.h"

#include <string>

// {A9158785-E062-49AC-8D9B-587ACCFF0670}
inline constexpr GUID CLSID_cMeshObject = {0xA9158785, 0xE062, 0x49AC, {0x8D, 0x9B, 0x58, 0x7A, 0xCC, 0xFF, 0x06, 0x70}};

class cMeshObject : public tSceneObject<cMesh>
{
public:
    cMeshObject();

    void* QueryInterface(const GUID& iid) override;
    using IBase::QueryInterface;

    cMesh* GetMesh() const { return m_geometry; }

    bool SaveProperties(IKeyValueStore* store) override;
    bool Write(IBinStream* stream, IProcProgress* progress = nullptr) override;
    bool LoadProperties(IKeyValueStore* store, IProcProgress* progress = nullptr) override;
    bool Read(IBinStream* stream, IProcProgress* progress = nullptr) override;
    bool UpdateGeometry() override;
    GUID GetClassGuid() const override { return CLSID_cMeshObject; }
    void SelectAll() override;
    void DeselectAll() override;
    void GetBoundingBox(float box[6]) override;
    t3DPoint<float> AveragePointInWindow(const stScreenProjection& view, float halfWidth, float halfHeight) override;
    stHitRecord PickSurfacePoint(float x, float y, const stScreenProjection& view) override;
    bool PickNearestVertex(float x, float y, const stScreenProjection& view, bool backFacing, float radius,
                           stHitRecord* hit) override;

private:
    void CreateMesh();
};

// GUIDs in the key/value header: "%ld %hd %hd" of Data1..Data3 read as the
// signed 32- and 16-bit numbers they are on the original platform, then the
// eight Data4 bytes as 0..255.
std::string FormatGuidText(const GUID& id);
// Parses that text; fields that do not parse keep their zero.
GUID ParseGuidText(const char* text);
