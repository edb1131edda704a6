#include "dezaz/mesh_import.h"

#include "platform/win32/codepage.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace dezaz
{

namespace
{

// Exact-position vertex welding through an open-addressing hash table whose
// slots hold the position's bits beside the vertex index, so a lookup
// touches one cache line; -0.0 and 0.0 count as one coordinate.
class cPositionWelder
{
public:
    cPositionWelder(ON_Mesh& mesh, std::size_t expected_vertices) : m_mesh(mesh)
    {
        std::size_t size = 1024;
        while (size < expected_vertices * 2)
            size *= 2;
        m_slots.assign(size, Slot{});
        m_mask = size - 1;
        for (int i = 0; i < mesh.VertexCount(); ++i)
            Find(mesh.m_V[i].x, mesh.m_V[i].y, mesh.m_V[i].z);
    }

    // The vertex index at the position, added when new; -1 when the mesh
    // cannot take more vertices.
    int Find(float x, float y, float z)
    {
        const std::uint32_t kx = Key(x), ky = Key(y), kz = Key(z);
        std::size_t slot = Hash(kx, ky, kz) & m_mask;
        for (;;)
        {
            const Slot& s = m_slots[slot];
            if (s.index < 0)
                break;
            if (s.x == kx && s.y == ky && s.z == kz)
                return s.index;
            slot = (slot + 1) & m_mask;
        }
        if (m_mesh.VertexCount() == std::numeric_limits<int>::max())
            return -1;
        const int index = m_mesh.VertexCount();
        m_mesh.m_V.Append(ON_3fPoint(x + 0.0f, y + 0.0f, z + 0.0f));
        m_slots[slot] = Slot{kx, ky, kz, index};
        if (static_cast<std::size_t>(m_mesh.VertexCount()) * 2 > m_slots.size())
            Grow();
        return index;
    }

private:
    struct Slot
    {
        std::uint32_t x = 0, y = 0, z = 0;
        int index = -1;
    };

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
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        m_mask = m_slots.size() - 1;
        for (const Slot& s : old)
        {
            if (s.index < 0)
                continue;
            std::size_t slot = Hash(s.x, s.y, s.z) & m_mask;
            while (m_slots[slot].index >= 0)
                slot = (slot + 1) & m_mask;
            m_slots[slot] = s;
        }
    }

    ON_Mesh& m_mesh;
    std::vector<Slot> m_slots;
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
// face uses. Returns the first corner's index, -1 for a dropped face.
int CornerIndex(cPositionWelder& welder, const float* a, const float* b, const float* c)
{
    for (const float* p : {a, b, c})
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            return -1;
    const auto same = [](const float* p, const float* q) {
        return p[0] + 0.0f == q[0] + 0.0f && p[1] + 0.0f == q[1] + 0.0f && p[2] + 0.0f == q[2] + 0.0f;
    };
    if (same(a, b) || same(b, c) || same(a, c))
        return -1;
    return welder.Find(a[0], a[1], a[2]);
}

// Adds a face of already welded corners; false when it collapsed.
bool AddTriangle(ON_Mesh& mesh, int a, int b, int c)
{
    if (a < 0 || b < 0 || c < 0 || a == b || b == c || a == c)
        return false;
    ON_MeshFace& f = mesh.m_F.AppendNew();
    f.vi[0] = a, f.vi[1] = b, f.vi[2] = c, f.vi[3] = c;
    return true;
}

struct stSceneCounts
{
    std::size_t faces = 0;
    std::size_t vertices = 0;
};

void CountNode(const aiScene& scene, const aiNode& node, stSceneCounts& counts)
{
    for (unsigned int i = 0; i < node.mNumMeshes; ++i)
        if (node.mMeshes[i] < scene.mNumMeshes)
        {
            counts.faces += scene.mMeshes[node.mMeshes[i]]->mNumFaces;
            counts.vertices += scene.mMeshes[node.mMeshes[i]]->mNumVertices;
        }
    for (unsigned int i = 0; i < node.mNumChildren; ++i)
        CountNode(scene, *node.mChildren[i], counts);
}

void AddNode(const aiScene& scene, const aiNode& node, const aiMatrix4x4& parent, cPositionWelder& welder,
             ON_Mesh& mesh, MeshImportStats& stats, cProgressSteps& steps)
{
    const aiMatrix4x4 transform = parent * node.mTransformation;
    const bool identity = transform.IsIdentity();
    std::vector<int> welded;
    for (unsigned int m = 0; m < node.mNumMeshes; ++m)
    {
        if (node.mMeshes[m] >= scene.mNumMeshes)
            continue;
        const aiMesh& source = *scene.mMeshes[node.mMeshes[m]];
        // Each vertex of the reader's mesh is welded once, when a kept face first uses it.
        welded.assign(source.mNumVertices, -1);
        // Files without node transforms (STL, most OBJ and PLY) are read in place.
        std::vector<aiVector3D> moved;
        if (!identity)
        {
            moved.resize(source.mNumVertices);
            for (unsigned int v = 0; v < source.mNumVertices; ++v)
                moved[v] = transform * source.mVertices[v];
        }
        const aiVector3D* placed = identity ? source.mVertices : moved.data();
        for (unsigned int f = 0; f < source.mNumFaces; ++f)
        {
            const aiFace& face = source.mFaces[f];
            ++stats.faces_read;
            steps.Done(stats.faces_read);
            stats.corners_read += face.mNumIndices;
            bool added = false;
            if (face.mNumIndices == 3 && face.mIndices[0] < source.mNumVertices &&
                face.mIndices[1] < source.mNumVertices && face.mIndices[2] < source.mNumVertices)
            {
                const aiVector3D &a = placed[face.mIndices[0]], &b = placed[face.mIndices[1]],
                                 &c = placed[face.mIndices[2]];
                if (CornerIndex(welder, &a.x, &b.x, &c.x) >= 0)
                {
                    int index[3];
                    for (int k = 0; k < 3; ++k)
                    {
                        int& w = welded[face.mIndices[k]];
                        if (w < 0)
                        {
                            const aiVector3D& p = placed[face.mIndices[k]];
                            w = welder.Find(p.x, p.y, p.z);
                        }
                        index[k] = w;
                    }
                    added = AddTriangle(mesh, index[0], index[1], index[2]);
                }
            }
            if (!added)
                ++stats.faces_dropped;
        }
    }
    for (unsigned int i = 0; i < node.mNumChildren; ++i)
        AddNode(scene, *node.mChildren[i], transform, welder, mesh, stats, steps);
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
    for (std::size_t t = 0; t < triangle_count; ++t)
    {
        const float* p = corners + t * 9;
        ++s.faces_read;
        s.corners_read += 3;
        steps.Done(s.faces_read);
        const int a = CornerIndex(welder, p, p + 3, p + 6);
        if (a < 0)
        {
            ++s.faces_dropped;
            continue;
        }
        AddTriangle(mesh, a, welder.Find(p[3], p[4], p[5]), welder.Find(p[6], p[7], p[8]));
    }
    steps.Finish();
}

bool ImportMeshFile(const std::string& path, ON_Mesh& mesh, std::wstring& error, MeshImportStats* stats,
                    const ImportProgress& progress)
{
    Assimp::Importer importer;
    // Points and lines carry no surface: the reader sorts them out.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    const aiScene* scene = importer.ReadFile(
        path, aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_ValidateDataStructure);
    if (!scene || !scene->mRootNode)
    {
        error = win32::Utf8ToWide(importer.GetErrorString());
        if (error.empty())
            error = L"The file could not be read.";
        return false;
    }
    stSceneCounts counts;
    CountNode(*scene, *scene->mRootNode, counts);
    MeshImportStats local;
    MeshImportStats& s = stats ? *stats : local;
    ON_Mesh result;
    result.m_F.Reserve(static_cast<int>(std::min<std::size_t>(counts.faces, 1u << 30)));
    // A closed triangle mesh has about half as many vertices as triangles.
    cPositionWelder welder(result, counts.faces / 2 + 16);
    cProgressSteps steps(counts.faces, progress);
    AddNode(*scene, *scene->mRootNode, aiMatrix4x4(), welder, result, s, steps);
    steps.Finish();
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
