// A scene object that owns a point cloud, mesh or scan grid and answers the
// interfaces of its geometry, as the mesh object does.
#pragma once

#include "core/bounding_box.h"
#include "core/point_cloud.h"
#include "core/scene_object.h"

class GeometrySceneObject : public tSceneObject<cPointCloud>
{
public:
    explicit GeometrySceneObject(cPointCloud* geometry) { m_geometry = geometry; }
    void* QueryInterface(const GUID& iid) override
    {
        return m_geometry != nullptr ? m_geometry->QueryInterface(iid) : nullptr;
    }
    using IBase::QueryInterface;
    bool SaveProperties(IKeyValueStore*) override { return false; }
    bool LoadProperties(IKeyValueStore*, IProcProgress*) override { return false; }
    bool UpdateGeometry() override
    {
        GetGeometryChangedEvent().Fire(this);
        return true;
    }
    GUID GetClassGuid() const override { return kNullGuid; }
    void GetBoundingBox(float box[6]) override { MakeEmptyBox3f(box); }
};
