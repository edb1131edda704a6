#include "dezaz/mesh_import.h"

#include "dezaz/counted_noun.h"
#include "dezaz/mesh_file_data.h"
#include "dezaz/mesh_file_input.h"
#include "dezaz/polygon_triangulation.h"
#include "dezaz/stl_reader.h"
#include "platform/geometry/fresh_pages.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <limits>
#include <memory>
#include <sys/mman.h>

namespace dezaz
{

namespace
{

// One position's bits and its vertex index plus one (0: the slot is free,
// so that zeroed memory is an empty table).
struct stWeldSlot
{
    std::uint32_t x, y, z;
    std::uint32_t index_plus_one;
};

// The welding table's slots, all free at first. Lookups land anywhere in
// it, so a large table lives on huge pages where the system grants them:
// with small pages nearly every lookup of a new position would also miss
// the TLB.
class cWeldSlots
{
public:
    explicit cWeldSlots(std::size_t count) : m_count(count)
    {
        constexpr std::size_t kHugePage = std::size_t{1} << 21;
        const std::size_t bytes = count * sizeof(stWeldSlot);
        const bool huge = bytes >= kHugePage;
        void* memory = huge ? std::aligned_alloc(kHugePage, (bytes + kHugePage - 1) / kHugePage * kHugePage)
                            : std::malloc(bytes);
        if (!memory)
            throw std::bad_alloc();
        if (huge)
            ::madvise(memory, bytes, MADV_HUGEPAGE);
        std::memset(memory, 0, bytes);
        m_slots.reset(static_cast<stWeldSlot*>(memory));
    }
    stWeldSlot& operator[](std::size_t i) { return m_slots[i]; }
    const stWeldSlot& operator[](std::size_t i) const { return m_slots[i]; }
    std::size_t size() const { return m_count; }
    void swap(cWeldSlots& other) noexcept
    {
        m_slots.swap(other.m_slots);
        std::swap(m_count, other.m_count);
    }

private:
    struct stFree
    {
        void operator()(stWeldSlot* p) const { std::free(p); }
    };
    std::unique_ptr<stWeldSlot[], stFree> m_slots;
    std::size_t m_count;
};

std::size_t TableSize(std::size_t expected_vertices)
{
    std::size_t size = 1024;
    while (size * 2 < expected_vertices * 3)
        size *= 2;
    return size;
}

// Exact-position vertex welding through an open-addressing hash table whose
// slots hold the position's bits beside the vertex index, so a lookup
// touches one cache line; -0.0 and 0.0 count as one coordinate.
class cPositionWelder
{
public:
    cPositionWelder(ON_Mesh& mesh, std::size_t expected_vertices)
        : m_mesh(mesh), m_slots(TableSize(expected_vertices)), m_mask(m_slots.size() - 1)
    {
        mesh.m_V.Reserve(static_cast<int>(
            std::min<std::size_t>(mesh.m_V.UnsignedCount() + expected_vertices, std::numeric_limits<int>::max())));
        ON_AdviseHugePages(mesh.m_V.begin(), sizeof(ON_3fPoint) * static_cast<std::size_t>(mesh.m_V.Capacity()));
        for (int i = 0; i < mesh.VertexCount(); ++i)
            Find(mesh.m_V[i].x, mesh.m_V[i].y, mesh.m_V[i].z);
    }

    // A position's key bits and hash, computed once for the prefetch and
    // the search that follows it.
    struct stKey
    {
        std::uint32_t x, y, z;
        std::size_t hash;
    };
    static stKey KeyOf(const float* p)
    {
        const std::uint32_t x = Key(p[0]), y = Key(p[1]), z = Key(p[2]);
        return {x, y, z, Hash(x, y, z)};
    }

    // Starts fetching the slot where the key's search begins, so that its
    // Find a few triangles later need not wait for memory.
    void Prefetch(const stKey& key) const
    {
        const auto* slot = reinterpret_cast<const char*>(&m_slots[key.hash & m_mask]);
#if defined(__x86_64__)
        // GCC treats its prefetch builtins as free of effects and drops them
        // here with the hashing that feeds them.
        asm volatile("prefetcht0 %0" : : "m"(*slot));
#else
        __builtin_prefetch(slot);
#endif
    }

    // The vertex index at the position, added when new; -1 when the mesh
    // cannot take more vertices.
    int Find(float x, float y, float z)
    {
        const float p[3] = {x, y, z};
        return Find(KeyOf(p));
    }
    int Find(const stKey& key)
    {
        std::size_t slot = key.hash & m_mask;
        for (;;)
        {
            const Slot& s = m_slots[slot];
            if (s.index_plus_one == 0)
                break;
            if (s.x == key.x && s.y == key.y && s.z == key.z)
                return static_cast<int>(s.index_plus_one - 1);
            slot = (slot + 1) & m_mask;
        }
        if (m_mesh.VertexCount() == std::numeric_limits<int>::max())
            return -1;
        const int index = m_mesh.VertexCount();
        // The key is the coordinate with -0.0 made 0.0.
        m_mesh.m_V.Append(ON_3fPoint(std::bit_cast<float>(key.x), std::bit_cast<float>(key.y),
                                     std::bit_cast<float>(key.z)));
        m_slots[slot] = Slot{key.x, key.y, key.z, static_cast<std::uint32_t>(index) + 1};
        // Up to 70% full: most searches still end in the slot's own cache line.
        if (static_cast<std::size_t>(m_mesh.VertexCount()) * 10 > m_slots.size() * 7)
            Grow();
        return index;
    }

private:
    using Slot = stWeldSlot;

    static std::uint32_t Key(float f) { return std::bit_cast<std::uint32_t>(f + 0.0f); }
    static std::size_t Hash(std::uint32_t a, std::uint32_t b, std::uint32_t c)
    {
        std::uint64_t h = a * 0x9E3779B97F4A7C15ull;
        h ^= (h >> 29) ^ (b * 0xC2B2AE3D27D4EB4Full);
        h ^= (h >> 32) ^ (c * 0x165667B19E3779F9ull);
        return static_cast<std::size_t>(h ^ (h >> 31));
    }
    void Grow()
    {
        cWeldSlots old(m_slots.size() * 2);
        old.swap(m_slots);
        m_mask = m_slots.size() - 1;
        for (std::size_t i = 0; i < old.size(); ++i)
        {
            const Slot& s = old[i];
            if (s.index_plus_one == 0)
                continue;
            std::size_t slot = Hash(s.x, s.y, s.z) & m_mask;
            while (m_slots[slot].index_plus_one != 0)
                slot = (slot + 1) & m_mask;
            m_slots[slot] = s;
        }
    }

    ON_Mesh& m_mesh;
    cWeldSlots m_slots;
    std::size_t m_mask = 0;
};

class cProgressSteps
{
public:
    cProgressSteps(std::size_t total, const ImportProgress& progress)
        : m_total(total), m_progress(total > kProgressTriangleCount ? &progress : nullptr)
    {
        if (m_progress && *m_progress)
            (*m_progress)(0);
    }
    void Done(std::size_t done)
    {
        if (!m_progress || !*m_progress || (done & 0xFFFF) != 0)
            return;
        const int percent = static_cast<int>(done * 10 / m_total) * 10;
        if (percent > m_last)
            (*m_progress)(m_last = percent);
    }
    void Finish()
    {
        if (m_progress && *m_progress && m_last < 100)
            (*m_progress)(100);
    }

private:
    std::size_t m_total;
    const ImportProgress* m_progress;
    int m_last = 0;
};

// A face is dropped before any of its corners is welded when a corner is
// not finite or two corners share a position, so no vertex is left that no
// face uses.
bool KeptCorners(const float* a, const float* b, const float* c)
{
    for (const float* p : {a, b, c})
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            return false;
    const auto same = [](const float* p, const float* q) {
        return p[0] + 0.0f == q[0] + 0.0f && p[1] + 0.0f == q[1] + 0.0f && p[2] + 0.0f == q[2] + 0.0f;
    };
    return !same(a, b) && !same(b, c) && !same(a, c);
}

// The first corner's index, -1 for a dropped face.
int CornerIndex(cPositionWelder& welder, const float* a, const float* b, const float* c)
{
    return KeptCorners(a, b, c) ? welder.Find(a[0], a[1], a[2]) : -1;
}

// Adds a face of already welded corners; false when it collapsed.
bool AddTriangle(ON_Mesh& mesh, int a, int b, int c)
{
    if (a < 0 || b < 0 || c < 0 || a == b || b == c || a == c || mesh.FaceCount() == std::numeric_limits<int>::max())
        return false;
    ON_MeshFace& f = mesh.m_F.AppendNew();
    f.vi[0] = a, f.vi[1] = b, f.vi[2] = c, f.vi[3] = c;
    return true;
}

// Welds what a reader found: a soup corner by corner, faces by their
// corner indices (each source vertex welded once, when a kept triangle
// first uses it; polygons split into triangles first).
void WeldFaces(const stMeshFileData& data, cPositionWelder& welder, ON_Mesh& mesh, MeshImportStats& stats,
               cProgressSteps& steps)
{
    std::vector<int> welded(data.positions.size() / 3, -1);
    std::vector<std::uint32_t> triangles;
    const std::uint32_t* corners = data.corners.data();
    for (const std::uint32_t size : data.face_sizes)
    {
        triangles.clear();
        const bool split = TriangulateFace(data.positions.data(), corners, size, triangles);
        corners += size;
        if (!split)
        {
            ++stats.faces_read;
            ++stats.faces_dropped;
            stats.corners_read += size;
            continue;
        }
        for (std::size_t t = 0; t < triangles.size(); t += 3)
        {
            ++stats.faces_read;
            stats.corners_read += 3;
            steps.Done(stats.faces_read);
            const std::uint32_t* tri = triangles.data() + t;
            const float* p[3] = {&data.positions[3 * std::size_t{tri[0]}], &data.positions[3 * std::size_t{tri[1]}],
                                 &data.positions[3 * std::size_t{tri[2]}]};
            bool added = false;
            if (CornerIndex(welder, p[0], p[1], p[2]) >= 0)
            {
                int index[3];
                for (int k = 0; k < 3; ++k)
                {
                    int& w = welded[tri[k]];
                    if (w < 0)
                        w = welder.Find(p[k][0], p[k][1], p[k][2]);
                    index[k] = w;
                }
                added = AddTriangle(mesh, index[0], index[1], index[2]);
            }
            if (!added)
                ++stats.faces_dropped;
        }
    }
}

void WeldSoup(const float* corners, std::size_t triangle_count, cPositionWelder& welder, ON_Mesh& mesh,
              MeshImportStats& s, cProgressSteps& steps)
{
    // Slots of a large table are mostly not in any cache: those of the
    // triangles a little ahead are fetched while this one is welded, their
    // keys kept for when their turn comes.
    constexpr std::size_t kAhead = 8;
    using stKey = cPositionWelder::stKey;
    stKey ahead[kAhead][3];
    const auto prepare = [&](std::size_t t) {
        for (int k = 0; k < 3; ++k)
        {
            stKey& key = ahead[t % kAhead][k];
            key = cPositionWelder::KeyOf(corners + t * 9 + 3 * k);
            welder.Prefetch(key);
        }
    };
    for (std::size_t t = 0; t < std::min(kAhead, triangle_count); ++t)
        prepare(t);
    for (std::size_t t = 0; t < triangle_count; ++t)
    {
        const float* p = corners + t * 9;
        const stKey key[3] = {ahead[t % kAhead][0], ahead[t % kAhead][1], ahead[t % kAhead][2]};
        if (t + kAhead < triangle_count)
            prepare(t + kAhead);
        ++s.faces_read;
        s.corners_read += 3;
        steps.Done(s.faces_read);
        if (!KeptCorners(p, p + 3, p + 6))
        {
            ++s.faces_dropped;
            continue;
        }
        const int a = welder.Find(key[0]);
        const int b = welder.Find(key[1]);
        if (!AddTriangle(mesh, a, b, welder.Find(key[2])))
            ++s.faces_dropped;
    }
}

enum class eMeshFormat
{
    stl,
    obj,
    ply,
    unknown
};

std::string LowerExtension(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

// A PLY file says so in its first line; otherwise the name tells, and a
// file with another name is taken for an STL file when it looks like one.
eMeshFormat FormatOf(const std::string& path, const std::uint8_t* start, std::size_t start_size,
                     std::uint64_t file_size)
{
    if (start_size >= 4 && std::memcmp(start, "ply", 3) == 0 && (start[3] == '\n' || start[3] == '\r'))
        return eMeshFormat::ply;
    const std::string extension = LowerExtension(path);
    if (extension == ".stl")
        return eMeshFormat::stl;
    if (extension == ".obj")
        return eMeshFormat::obj;
    if (extension == ".ply")
        return eMeshFormat::ply;
    if (IsAsciiStl(start, start_size, file_size) ||
        (start_size >= kStlHeaderBytes &&
         kStlHeaderBytes + kStlRecordBytes * std::uint64_t{start[80] | start[81] << 8u | start[82] << 16u |
                                                           static_cast<std::uint32_t>(start[83]) << 24u} ==
             file_size))
        return eMeshFormat::stl;
    return eMeshFormat::unknown;
}

// Binary STL records are welded a block at a time as they are read, so the
// file is never held whole.
bool ImportBinaryStl(cMeshFileInput& file, const std::uint8_t* header, ON_Mesh& result, MeshImportStats& stats,
                     const ImportProgress& progress, std::wstring& error)
{
    std::uint32_t count = 0;
    if (!BinaryStlTriangleCount(header, file.Size(), count, error))
        return false;
    result.m_F.Reserve(static_cast<int>(std::min<std::size_t>(count, 1u << 30)));
    ON_AdviseHugePages(result.m_F.begin(), sizeof(ON_MeshFace) * static_cast<std::size_t>(result.m_F.Capacity()));
    // A closed triangle mesh has about half as many vertices as triangles.
    cPositionWelder welder(result, count / 2 + 16);
    cProgressSteps steps(count, progress);
    constexpr std::size_t kBlock = 1 << 14;
    std::vector<std::uint8_t> records(std::min<std::size_t>(count, kBlock) * kStlRecordBytes);
    std::vector<float> corners(std::min<std::size_t>(count, kBlock) * 9);
    for (std::size_t done = 0; done < count;)
    {
        const std::size_t n = std::min<std::size_t>(count - done, kBlock);
        if (!file.ReadAt(kStlHeaderBytes + done * kStlRecordBytes, records.data(), n * kStlRecordBytes, error))
            return false;
        DecodeStlRecords(records.data(), n, corners.data());
        WeldSoup(corners.data(), n, welder, result, stats, steps);
        done += n;
    }
    steps.Finish();
    return true;
}

bool ImportTextOrPly(cMeshFileInput& file, eMeshFormat format, ON_Mesh& result, MeshImportStats& stats,
                     const ImportProgress& progress, std::wstring& error)
{
    stMeshFileData data;
    {
        std::vector<char> bytes;
        if (!file.ReadAll(bytes, error))
            return false;
        const bool read = format == eMeshFormat::ply   ? ReadPly(bytes.data(), bytes.size(), data, error)
                          : format == eMeshFormat::obj ? ReadObj(bytes.data(), bytes.size(), data, error)
                                                       : ReadAsciiStl(bytes.data(), bytes.size(), data, error);
        if (!read)
            return false;
    }
    if (!data.soup && data.face_sizes.empty() && data.faces_dropped == 0 && !data.positions.empty())
    {
        error = L"The file holds " + Counted(data.positions.size() / 3, L"point", L"points") +
                L" but no faces: the host imports triangle meshes, not point clouds.";
        return false;
    }
    stats.faces_dropped += data.faces_dropped;
    stats.faces_read += data.faces_dropped;
    stats.corners_read += data.corners_dropped;
    const std::size_t triangles = data.soup ? data.positions.size() / 9 : data.face_sizes.size();
    result.m_F.Reserve(static_cast<int>(std::min<std::size_t>(triangles, 1u << 30)));
    cPositionWelder welder(result, data.soup ? triangles / 2 + 16 : data.positions.size() / 3 + 16);
    cProgressSteps steps(triangles, progress);
    if (data.soup)
        WeldSoup(data.positions.data(), triangles, welder, result, stats, steps);
    else
        WeldFaces(data, welder, result, stats, steps);
    steps.Finish();
    return true;
}

bool ImportInto(const std::string& path, ON_Mesh& result, MeshImportStats& stats, const ImportProgress& progress,
                std::wstring& error)
{
    cMeshFileInput file;
    if (!file.Open(path, error))
        return false;
    std::uint8_t start[512] = {};
    const std::size_t start_size = static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), sizeof start));
    if (!file.ReadAt(0, start, start_size, error))
        return false;
    const eMeshFormat format = FormatOf(path, start, start_size, file.Size());
    if (format == eMeshFormat::unknown)
    {
        error = L"The file is not a mesh file the host reads (STL, OBJ or PLY).";
        return false;
    }
    if (format == eMeshFormat::stl && !IsAsciiStl(start, start_size, file.Size()))
        return ImportBinaryStl(file, start, result, stats, progress, error);
    return ImportTextOrPly(file, format, result, stats, progress, error);
}

} // namespace

void WeldTriangles(const float* corners, std::size_t triangle_count, ON_Mesh& mesh, MeshImportStats* stats,
                   const ImportProgress& progress)
{
    MeshImportStats local;
    MeshImportStats& s = stats ? *stats : local;
    cPositionWelder welder(mesh, triangle_count / 2 + 16);
    cProgressSteps steps(triangle_count, progress);
    mesh.m_F.Reserve(mesh.FaceCount() + static_cast<int>(std::min<std::size_t>(triangle_count, 1u << 30)));
    WeldSoup(corners, triangle_count, welder, mesh, s, steps);
    steps.Finish();
}

bool ImportMeshFile(const std::string& path, ON_Mesh& mesh, std::wstring& error, MeshImportStats* stats,
                    const ImportProgress& progress)
{
    MeshImportStats local;
    MeshImportStats& s = stats ? *stats : local;
    ON_Mesh result;
    try
    {
        if (!ImportInto(path, result, s, progress, error))
            return false;
    }
    catch (const std::bad_alloc&)
    {
        error = L"There is not enough memory to import the file.";
        return false;
    }
    catch (const std::length_error&)
    {
        error = L"There is not enough memory to import the file.";
        return false;
    }
    if (result.FaceCount() == 0)
    {
        error = L"The file holds no triangle.";
        return false;
    }
    // Only the arrays move: a large mesh is never copied.
    mesh.Destroy();
    mesh.m_V = std::move(result.m_V);
    mesh.m_F = std::move(result.m_F);
    return true;
}

} // namespace dezaz
