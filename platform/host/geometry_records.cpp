#include "platform/host/geometry_records.h"

#include "platform/geometry/curve.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/point_geometry.h"
#include "platform/host/dezaz_text_dot.h"
#include "platform/host/document_file_access.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace dezaz
{

namespace
{

// {5C1E0A52-8D0B-4F43-9C4B-6B7E3D2A1F01}
constexpr ON_UUID kMeshRecordId = {0x5C1E0A52, 0x8D0B, 0x4F43, {0x9C, 0x4B, 0x6B, 0x7E, 0x3D, 0x2A, 0x1F, 0x01}};
// {5C1E0A52-8D0B-4F43-9C4B-6B7E3D2A1F02}
constexpr ON_UUID kPointRecordId = {0x5C1E0A52, 0x8D0B, 0x4F43, {0x9C, 0x4B, 0x6B, 0x7E, 0x3D, 0x2A, 0x1F, 0x02}};

// Mesh record: int vertex count, int face count, int flags (bit 0 vertex
// normals, bit 1 vertex colours), the vertices as 3 floats, the faces as 4
// ints, then the normals as 3 floats and the colours as ints when flagged.
constexpr int kMeshHasNormals = 1;
constexpr int kMeshHasColours = 2;

// Stores the value's four bytes, lowest first, and returns where the next go.
template <class T> std::uint8_t* PutLE(std::uint8_t* out, T value)
{
    std::uint32_t bits = 0;
    static_assert(sizeof(T) == 4);
    std::memcpy(&bits, &value, 4);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    return out + 4;
}

template <class T> T GetLE(const std::uint8_t* in)
{
    const std::uint32_t bits = std::uint32_t{in[0]} | std::uint32_t{in[1]} << 8 | std::uint32_t{in[2]} << 16 |
                               std::uint32_t{in[3]} << 24;
    T value;
    std::memcpy(&value, &bits, 4);
    return value;
}

// Whether the archive holds count records of `width` 4-byte words from
// where it is (nothing is read or allocated).
bool HoldsWords(ON_BinaryArchive& archive, std::size_t count, std::size_t width)
{
    const std::size_t need = count * width * 4;
    if ((width != 0 && need / width / 4 != count) || need > static_cast<std::size_t>(INT64_MAX))
        return false;
    const std::uint64_t at = archive.CurrentPosition();
    const bool holds = archive.SeekFromCurrentPosition(static_cast<std::int64_t>(need));
    return archive.SeekFromStartOfFile(at) && holds;
}

// Reads count records of `width` 4-byte words a slice at a time through a
// small buffer and hands each to take(index, bytes), which may refuse it;
// false when the archive does not hold them all or a record is refused.
// A big scan's mesh goes straight into its arrays, without a copy of the
// whole record's bytes first.
template <class TTake> bool ReadWords(ON_BinaryArchive& archive, std::size_t count, std::size_t width, TTake&& take)
{
    constexpr std::size_t kSliceBytes = std::size_t{1} << 16;
    const std::size_t record = width * 4;
    const std::size_t perSlice = std::max<std::size_t>(1, kSliceBytes / std::max<std::size_t>(record, 1));
    std::vector<std::uint8_t> slice(std::min(count, perSlice) * record);
    for (std::size_t first = 0; first < count; first += perSlice)
    {
        const std::size_t n = std::min(perSlice, count - first);
        if (!archive.ReadByte(n * record, slice.data()))
            return false;
        for (std::size_t i = 0; i < n; ++i)
            if (!take(first + i, slice.data() + i * record))
                return false;
    }
    return true;
}

// Sizes an array for `count` records; a big one's fresh pages are made side
// by side first, before the array is filled on this thread.
template <class T> void SizeArray(ON_SimpleArray<T>& array, int count)
{
    constexpr std::size_t kSideBySideBytes = std::size_t{4} << 20;
    if (static_cast<std::size_t>(count) * sizeof(T) >= kSideBySideBytes)
    {
        array.Reserve(count);
        MakePagesSideBySide(array.Storage(), static_cast<std::size_t>(count) * sizeof(T));
    }
    array.SetCount(count);
}

bool MeshMatches(const ON_Geometry& g)
{
    return dynamic_cast<const ON_Mesh*>(&g) != nullptr;
}

bool WriteMesh(const ON_Geometry& g, ON_BinaryArchive& archive)
{
    const ON_Mesh& mesh = static_cast<const ON_Mesh&>(g);
    const int flags = (mesh.HasVertexNormals() ? kMeshHasNormals : 0) | (mesh.HasVertexColors() ? kMeshHasColours : 0);
    if (!archive.WriteInt(mesh.VertexCount()) || !archive.WriteInt(mesh.FaceCount()) || !archive.WriteInt(flags))
        return false;
    const int normals = (flags & kMeshHasNormals) ? mesh.m_N.Count() : 0;
    const int colours = (flags & kMeshHasColours) ? mesh.m_C.Count() : 0;
    // The archive makes room for the whole record at once, and the arrays
    // go through a small buffer: a big scan's record is hundreds of
    // megabytes, which neither a growing archive nor a copy should double.
    archive.ReserveForWrite(12 * static_cast<std::size_t>(mesh.VertexCount()) +
                            16 * static_cast<std::size_t>(mesh.FaceCount()) +
                            12 * static_cast<std::size_t>(normals) + 4 * static_cast<std::size_t>(colours));
    std::array<std::uint8_t, std::size_t{1} << 16> buffer;
    std::uint8_t* out = buffer.data();
    bool ok = true;
    // Stores a record of `size` bytes through put(out) -> next out.
    const auto put = [&](std::size_t size, auto&& store)
    {
        if (out + size > buffer.data() + buffer.size())
        {
            ok = ok && archive.WriteByte(static_cast<std::size_t>(out - buffer.data()), buffer.data());
            out = buffer.data();
        }
        out = store(out);
    };
    // On a machine that keeps its words lowest byte first, arrays of packed
    // floats and ints are already the record's bytes: they go as they are.
    constexpr bool kAsStored = std::endian::native == std::endian::little && sizeof(ON_3fPoint) == 12 &&
                               sizeof(ON_3fVector) == 12 && sizeof(ON_MeshFace) == 16;
    const auto putArray = [&](const auto* first, int count)
    {
        ok = ok && archive.WriteByte(static_cast<std::size_t>(out - buffer.data()), buffer.data());
        out = buffer.data();
        ok = ok && (count == 0 || archive.WriteByte(sizeof(*first) * static_cast<std::size_t>(count), first));
    };
    if constexpr (kAsStored)
    {
        putArray(mesh.m_V.Array(), mesh.VertexCount());
        putArray(mesh.m_F.Array(), mesh.FaceCount());
        putArray(mesh.m_N.Array(), normals);
    }
    else
    {
        for (const ON_3fPoint& v : mesh.m_V)
            put(12, [&v](std::uint8_t* at) { return PutLE(PutLE(PutLE(at, v.x), v.y), v.z); });
        for (const ON_MeshFace& f : mesh.m_F)
            put(16, [&f](std::uint8_t* at)
                { return PutLE(PutLE(PutLE(PutLE(at, f.vi[0]), f.vi[1]), f.vi[2]), f.vi[3]); });
        for (int i = 0; i < normals; ++i)
        {
            const ON_3fVector& n = mesh.m_N[i];
            put(12, [&n](std::uint8_t* at) { return PutLE(PutLE(PutLE(at, n.x), n.y), n.z); });
        }
    }
    for (int i = 0; i < colours; ++i)
    {
        const auto c = static_cast<std::uint32_t>(mesh.m_C[i]);
        put(4, [c](std::uint8_t* at) { return PutLE(at, c); });
    }
    return ok && archive.WriteByte(static_cast<std::size_t>(out - buffer.data()), buffer.data());
}

std::unique_ptr<ON_Geometry> ReadMesh(ON_BinaryArchive& archive, std::wstring& error)
{
    int vcount = 0, fcount = 0, flags = 0;
    if (!archive.ReadInt(&vcount) || !archive.ReadInt(&fcount) || !archive.ReadInt(&flags))
    {
        error = L"a mesh record is cut short";
        return nullptr;
    }
    if (vcount < 0 || fcount < 0 || (flags & ~(kMeshHasNormals | kMeshHasColours)) != 0)
    {
        error = L"a mesh record has a negative count or unknown flags";
        return nullptr;
    }
    auto mesh = std::make_unique<ON_Mesh>();
    // What a record holds that it may not; empty when the record is cut short.
    std::wstring refused;
    const auto fail = [&] {
        error = refused.empty() ? L"a mesh record is cut short" : refused;
        return nullptr;
    };
    const auto vertices = static_cast<std::size_t>(vcount), faces = static_cast<std::size_t>(fcount);
    // Each array is made once its bytes are known to be there.
    if (!HoldsWords(archive, vertices, 3))
        return fail();
    SizeArray(mesh->m_V, vcount);
    if (!ReadWords(archive, vertices, 3, [&](std::size_t i, const std::uint8_t* p) {
            ON_3fPoint& v = mesh->m_V[static_cast<int>(i)];
            v.x = GetLE<float>(p), v.y = GetLE<float>(p + 4), v.z = GetLE<float>(p + 8);
            if (std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z))
                return true;
            refused = L"a mesh vertex is not a finite point";
            return false;
        }))
        return fail();
    if (!HoldsWords(archive, faces, 4))
        return fail();
    SizeArray(mesh->m_F, fcount);
    if (!ReadWords(archive, faces, 4, [&](std::size_t i, const std::uint8_t* p) {
            ON_MeshFace& f = mesh->m_F[static_cast<int>(i)];
            for (int k = 0; k < 4; ++k)
            {
                f.vi[k] = GetLE<int>(p + 4 * k);
                if (f.vi[k] < 0 || f.vi[k] >= vcount)
                {
                    refused = L"a mesh face refers to a vertex that does not exist";
                    return false;
                }
            }
            return true;
        }))
        return fail();
    if (flags & kMeshHasNormals)
    {
        if (!HoldsWords(archive, vertices, 3))
            return fail();
        SizeArray(mesh->m_N, vcount);
        if (!ReadWords(archive, vertices, 3, [&](std::size_t i, const std::uint8_t* p) {
                mesh->m_N[static_cast<int>(i)] = ON_3fVector(GetLE<float>(p), GetLE<float>(p + 4), GetLE<float>(p + 8));
                return true;
            }))
            return fail();
    }
    if (flags & kMeshHasColours)
    {
        if (!HoldsWords(archive, vertices, 1))
            return fail();
        SizeArray(mesh->m_C, vcount);
        if (!ReadWords(archive, vertices, 1, [&](std::size_t i, const std::uint8_t* p) {
                mesh->m_C[static_cast<int>(i)] = ON_Color(GetLE<std::uint32_t>(p));
                return true;
            }))
            return fail();
    }
    return mesh;
}

bool PointMatches(const ON_Geometry& g)
{
    return dynamic_cast<const ON_Point*>(&g) != nullptr;
}

bool WritePoint(const ON_Geometry& g, ON_BinaryArchive& archive)
{
    const ON_3dPoint& p = static_cast<const ON_Point&>(g).point;
    return archive.WriteDouble(p.x) && archive.WriteDouble(p.y) && archive.WriteDouble(p.z);
}

std::unique_ptr<ON_Geometry> ReadPoint(ON_BinaryArchive& archive, std::wstring& error)
{
    ON_3dPoint p;
    if (!archive.ReadDouble(&p.x) || !archive.ReadDouble(&p.y) || !archive.ReadDouble(&p.z))
    {
        error = L"a point record is cut short";
        return nullptr;
    }
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
    {
        error = L"a point is not finite";
        return nullptr;
    }
    return std::make_unique<ON_Point>(p);
}

// {5C1E0A52-8D0B-4F43-9C4B-6B7E3D2A1F03}
constexpr ON_UUID kCurveRecordId = {0x5C1E0A52, 0x8D0B, 0x4F43, {0x9C, 0x4B, 0x6B, 0x7E, 0x3D, 0x2A, 0x1F, 0x03}};
// Curves are written by the geometry library's own records.
bool CurveMatches(const ON_Geometry& g)
{
    return dynamic_cast<const ON_Curve*>(&g) != nullptr;
}

bool WriteCurve(const ON_Geometry& g, ON_BinaryArchive& archive)
{
    return ON_WriteCurve(archive, static_cast<const ON_Curve*>(&g));
}

std::unique_ptr<ON_Geometry> ReadCurve(ON_BinaryArchive& archive, std::wstring& error)
{
    std::unique_ptr<ON_Geometry> curve(ON_ReadCurve(archive));
    if (!curve)
        error = L"a curve record is damaged";
    return curve;
}

struct RecordTable
{
    std::mutex lock;
    std::vector<GeometryRecord> records{
        {kMeshRecordId, DezazObjectType::mesh, MeshMatches, WriteMesh, ReadMesh},
        {kPointRecordId, DezazObjectType::point, PointMatches, WritePoint, ReadPoint},
        {kCurveRecordId, DezazObjectType::curve, CurveMatches, WriteCurve, ReadCurve},
    };
};

RecordTable& Table()
{
    static RecordTable* table = new RecordTable; // registrations come from other libraries' statics
    return *table;
}

} // namespace

void RegisterGeometryRecord(const GeometryRecord& record)
{
    RecordTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (GeometryRecord& r : t.records)
        if (r.id == record.id)
        {
            r = record;
            return;
        }
    t.records.push_back(record);
}

const GeometryRecord* FindGeometryRecord(const ON_UUID& id)
{
    RecordTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (const GeometryRecord& r : t.records)
        if (r.id == id)
            return &r;
    return nullptr;
}

const GeometryRecord* FindGeometryRecordFor(const ON_Geometry& geometry)
{
    RecordTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (const GeometryRecord& r : t.records)
        if (r.matches(geometry))
            return &r;
    return nullptr;
}

std::unique_ptr<CDezazObject> MakeDocumentObject(DezazObjectType type, std::unique_ptr<ON_Geometry> geometry,
                                                 const ON_3dmObjectAttributes& attributes)
{
    if (!geometry)
        return nullptr;
    switch (type)
    {
    case DezazObjectType::mesh:
        if (auto* mesh = dynamic_cast<ON_Mesh*>(geometry.get()))
        {
            geometry.release();
            return std::make_unique<CDezazMeshObject>(std::unique_ptr<ON_Mesh>(mesh), attributes);
        }
        return nullptr;
    case DezazObjectType::point:
        if (auto* point = dynamic_cast<ON_Point*>(geometry.get()))
            return std::make_unique<CDezazPointObject>(point->point, attributes);
        return nullptr;
    case DezazObjectType::curve:
        return std::make_unique<CDezazCurveObject>(std::move(geometry), attributes);
    case DezazObjectType::brep:
    case DezazObjectType::surface:
        return std::make_unique<CDezazBrepObject>(std::move(geometry), attributes);
    case DezazObjectType::text_dot:
        if (auto* dot = dynamic_cast<ON_TextDot*>(geometry.get()))
            return std::make_unique<CDezazTextDot>(dot->m_point, dot->m_text.Array(), attributes);
        return nullptr;
    default:
        return nullptr;
    }
}

} // namespace dezaz
