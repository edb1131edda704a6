#include "core/mesh_object.h"

#include "core/bin_stream.h"
#include "core/bounding_box.h"
#include "core/mesh_file.h"
#include "core/mesh_pick.h"
#include "core/progress.h"

#include <charconv>
#include <cstring>
#include <utility>

std::string FormatGuidText(const GUID& id)
{
    std::string text = std::to_string(static_cast<std::int32_t>(id.Data1));
    text += ' ' + std::to_string(static_cast<std::int16_t>(id.Data2));
    text += ' ' + std::to_string(static_cast<std::int16_t>(id.Data3));
    for (std::uint8_t b : id.Data4)
        text += ' ' + std::to_string(b);
    return text;
}

GUID ParseGuidText(const char* text)
{
    GUID id = kNullGuid;
    if (text == nullptr)
        return id;
    const char* p = text;
    const char* end = text + std::strlen(text);
    // Each field as the C library's "%ld" / "%hd" would take it: blanks, an
    // optional sign, digits; the value lands in the field's width.
    auto next = [&](long long& value) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r'))
            ++p;
        if (p < end && *p == '+')
            ++p;
        auto [after, ec] = std::from_chars(p, end, value);
        if (ec != std::errc())
            return false;
        p = after;
        return true;
    };
    long long v = 0;
    if (!next(v))
        return id;
    id.Data1 = static_cast<std::uint32_t>(v);
    if (!next(v))
        return id;
    id.Data2 = static_cast<std::uint16_t>(v);
    if (!next(v))
        return id;
    id.Data3 = static_cast<std::uint16_t>(v);
    for (std::uint8_t& b : id.Data4)
    {
        if (!next(v))
            return id;
        b = static_cast<std::uint8_t>(v);
    }
    return id;
}

cMeshObject::cMeshObject()
{
    CreateMesh();
    m_decorator.SetColour(kDecoratorFront, 121 / 255.0f, 122 / 255.0f, 130 / 255.0f, 1.0f);
    m_decorator.SetColour(kDecoratorBack, 255 / 255.0f, 128 / 255.0f, 0.0f, 1.0f);
    m_decorator.SetColour(kDecoratorBoundary, 20 / 255.0f, 20 / 255.0f, 20 / 255.0f, 1.0f);
    m_decorator.m_mode = kDisplaySmooth;
    m_decorator.m_flags |= kDecoratorTwoSided;
}

void cMeshObject::CreateMesh()
{
    m_geometry = new cMesh;
    // Queries made on the mesh are answered by this object.
    m_geometry->SetOuter(static_cast<IBase*>(this));
}

void* cMeshObject::QueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, CLSID_cMeshObject))
        return this;
    if (IsEqualInterfaceId(iid, IID_ISceneObject))
        return static_cast<ISceneObject*>(this);
    if (IsEqualInterfaceId(iid, IID_IBase))
        return static_cast<IBase*>(this);
    return m_geometry != nullptr ? m_geometry->NonDelegatingQueryInterface(iid) : nullptr;
}

bool cMeshObject::SaveProperties(IKeyValueStore* store)
{
    if (store == nullptr)
        return false;
    if (!store->WriteAnsiText(L"TYPE", FormatGuidText(GetClassGuid()).c_str()))
        return false;
    if (!store->WriteWideText(L"TITLE", GetName()))
        return false;
    return store->WriteAnsiText(L"GROUP_GUID", FormatGuidText(GetGroupGuid()).c_str());
}

bool cMeshObject::LoadProperties(IKeyValueStore* store, IProcProgress* progress)
{
    if (store == nullptr)
        return false;
    wchar_t title[kSceneObjectNameLength] = {};
    if (!store->ReadWideText(L"TITLE", title, kSceneObjectNameLength - 1))
        return false;
    SetName(title);
    char group[256] = {};
    if (!store->ReadAnsiText(L"GROUP_GUID", group, 255))
        return false;
    SetGroupGuid(ParseGuidText(group));
    wchar_t path[256] = {};
    if (!store->ReadWideText(L"FILE_NAME", path, 255))
        return false;
    if (m_geometry == nullptr)
        return false;
    const bool loaded = LoadMeshFile(*m_geometry, path, progress);
    // The mesh was replaced: caches built over the old vertices (search
    // trees, draw caches) must let go of them.
    GetGeometryChangedEvent().Fire(this);
    return loaded;
}

bool cMeshObject::Write(IBinStream* stream, IProcProgress* progress)
{
    // Counts and positions are checked before anything is written: a mesh
    // that cannot be written whole must not leave its common record alone in
    // the stream, where the next reader would take the following object for
    // its mesh.
    if (!HasGeometry() || stream == nullptr || m_geometry->GetVertexCount() == 0 ||
        m_geometry->GetTriangleCount() == 0 || !HasOnlyFinitePositions(*m_geometry))
        return false;
    if (!tSceneObject<cMesh>::Write(stream, progress))
        return false;
    if (!WriteMeshHeader(stream))
        return false;
    IProcProgress& report = *ProgressOrNull(progress);
    report.SetRange(0.0f, static_cast<float>(m_geometry->GetVertexCount()) +
                              static_cast<float>(m_geometry->GetTriangleCount()));
    if (!WriteMeshVertices(*m_geometry, stream, &report))
        return false;
    return WriteMeshTriangles(*m_geometry, stream, &report);
}

bool cMeshObject::Read(IBinStream* stream, IProcProgress* progress)
{
    // All or nothing: a record whose mesh turns out foreign, short or
    // damaged must leave the object as it was, not renamed with its mesh gone.
    stSceneObjectRecord record;
    if (!HasGeometry() || !ReadSceneObjectRecord(stream, record))
        return false;
    stMeshFileContent content;
    if (!ReadMeshContent(stream, progress, content))
        return false;
    ApplySceneObjectRecord(record);
    const bool filled = FillMesh(*m_geometry, std::move(content));
    GetGeometryChangedEvent().Fire(this);
    return filled;
}

bool cMeshObject::UpdateGeometry()
{
    if (m_geometry != nullptr)
    {
        m_geometry->Update();
        GetGeometryChangedEvent().Fire(this);
    }
    return true;
}

void cMeshObject::SelectAll()
{
    if (m_geometry != nullptr)
    {
        m_geometry->ForEachVertex([](cVertex& v) { v.flags |= kVertexSelected; });
        m_geometry->ForEachTriangle([](cMeshTriangle& t) { t.flags |= kTriangleFlagSelected; });
    }
    Select();
}

void cMeshObject::DeselectAll()
{
    if (m_geometry != nullptr && IsSelected())
    {
        m_geometry->ForEachVertex([](cVertex& v) { v.flags &= ~kVertexSelected; });
        m_geometry->ForEachTriangle(
            [](cMeshTriangle& t) { t.flags = static_cast<std::uint8_t>(t.flags & ~kTriangleFlagSelected); });
    }
    Deselect();
}

void cMeshObject::GetBoundingBox(float box[6])
{
    if (m_geometry == nullptr)
    {
        MakeEmptyBox3f(box);
        return;
    }
    const float* meshBox = m_geometry->GetBoundingBox();
    std::memcpy(box, meshBox, 6 * sizeof(float));
}

t3DPoint<float> cMeshObject::AveragePointInWindow(const stScreenProjection& view, float halfWidth, float halfHeight)
{
    if (m_geometry == nullptr)
        return kInvalidPoint;
    return AverageMeshPointInWindow(*m_geometry, view, halfWidth, halfHeight);
}

stHitRecord cMeshObject::PickSurfacePoint(float x, float y, const stScreenProjection& view)
{
    stHitRecord hit;
    if (m_geometry != nullptr)
        PickMeshSurface(hit, *m_geometry, x, y, view.transform, view.origin);
    return hit;
}

bool cMeshObject::PickNearestVertex(float x, float y, const stScreenProjection& view, bool backFacing, float radius,
                                    stHitRecord* hit)
{
    if (m_geometry == nullptr || hit == nullptr)
        return false;
    return PickNearestMeshVertex(*m_geometry, x, y, view, backFacing, radius, *hit);
}
