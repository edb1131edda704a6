#include "core/host_mesh_import.h"

#include "core/mesh_object.h"
#include "core/point_twins.h"
#include "core/pool_fill.h"
#include "core/thread_pool.h"
#include "core/triangle_colour_property.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace
{

constexpr std::uint32_t kNotWelded = 0xFFFFFFFF;
// Host faces per job of the pool.
constexpr std::size_t kFacesPerJob = std::size_t{1} << 16;

// Adds the triangles (a, b, c) and, for a quad, (a, c, d) unless their
// corners repeat, telling add the face's corner after a (1 or 2); returns
// how many.
template <class Add> int AddFaceTriangles(const std::uint32_t index[4], int corners, Add&& add)
{
    int added = 0;
    const auto one = [&](int second)
    {
        const std::uint32_t a = index[0], b = index[second], c = index[second + 1];
        if (a == b || b == c || a == c)
            return;
        add(a, b, c, second);
        ++added;
    };
    one(1);
    if (corners == 4)
        one(2);
    return added;
}

// The welding of the host's faces shared out on the pool, a block of faces
// per job, with the vertices and triangles that welding one corner after
// another gives. A vertex without a twin is appended at its first corner:
// it belongs to the first block that names it, which numbers its own
// vertices in the order it names them, and the blocks' vertices and
// triangles follow each other in block order. The blocks that name a vertex
// with a twin are walked one after another in order, those vertices welded
// through a merge index of their own points (it holds them in the order the
// mesh does, so it finds the same lowest one). `rank` holds kNotWelded for
// every one of the host's vertices. With `inPass` (for a mesh without
// vertices and triangles before), each triangle is measured for Update as
// it is written. False, with the mesh untouched, when memory runs out.
bool WeldFacesOnPool(cMesh& mesh, const ON_Mesh& host, const std::vector<std::uint8_t>& twins,
                     std::uint32_t* rank, cThreadPool* pool, std::unique_ptr<cMesh::cUpdateInPass>* inPass)
{
    const int hostVertexCount = host.VertexCount();
    const std::size_t faces = std::size_t(std::max(host.FaceCount(), 0));
    const std::size_t blocks = (faces + kFacesPerJob - 1) / kFacesPerJob;
    const auto hostVertices = std::size_t(std::max(hostVertexCount, 0));
    const std::unique_ptr<std::uint32_t[]> owner = MakeFilledOnPool(pool, hostVertices, kNotWelded);
    std::vector<std::size_t> vertexBase(blocks + 1, 0), triangles(blocks, 0), ownVertices(blocks, 0);
    std::vector<std::uint8_t> withTwins(blocks, 0);
    const auto forFaces = [&](std::size_t block, auto&& each)
    {
        const std::size_t end = std::min(faces, (block + 1) * kFacesPerJob);
        for (std::size_t f = block * kFacesPerJob; f < end; ++f)
        {
            const ON_MeshFace& face = host.m_F[int(f)];
            const int corners = face.IsQuad() ? 4 : 3;
            bool inside = true;
            for (int k = 0; k < corners; ++k)
                inside = inside && face.vi[k] >= 0 && face.vi[k] < hostVertexCount;
            if (inside)
                each(face, corners);
        }
    };
    const auto alone = [&](int v) { return twins[std::size_t(v)] == kPointAlone; };
    auto claim = [&](std::size_t block)
    {
        const auto b = std::uint32_t(block);
        forFaces(block,
                 [&](const ON_MeshFace& face, int corners)
                 {
                     for (int k = 0; k < corners; ++k)
                     {
                         std::atomic_ref<std::uint32_t> first(owner[std::size_t(face.vi[k])]);
                         std::uint32_t now = first.load(std::memory_order_relaxed);
                         while (b < now && !first.compare_exchange_weak(now, b, std::memory_order_relaxed))
                         {
                         }
                     }
                 });
    };
    ParallelForEach(pool, blocks, 1, claim);
    auto number = [&](std::size_t block)
    {
        std::size_t vertices = 0, added = 0;
        bool withTwin = false;
        forFaces(block,
                 [&](const ON_MeshFace& face, int corners)
                 {
                     std::uint32_t index[4];
                     for (int k = 0; k < corners; ++k)
                     {
                         const auto v = std::size_t(face.vi[k]);
                         index[k] = std::uint32_t(v);
                         withTwin = withTwin || !alone(face.vi[k]);
                         if (owner[v] == block && rank[v] == kNotWelded && alone(face.vi[k]))
                             rank[v] = std::uint32_t(vertices++);
                     }
                     // Vertices without a twin share no index: a triangle of them
                     // collapses only when the face names a vertex twice.
                     added +=
                         AddFaceTriangles(index, corners, [](std::uint32_t, std::uint32_t, std::uint32_t, int) {});
                 });
        ownVertices[block] = vertices;
        triangles[block] = added;
        withTwins[block] = withTwin ? 1 : 0;
    };
    ParallelForEach(pool, blocks, 1, number);

    // The blocks in order: where each one's vertices start, and the blocks
    // with twins welded.
    const std::uint32_t firstVertex = mesh.GetVertexCount();
    std::vector<std::uint8_t> renumbered;
    // The corners at vertices with a twin, block by block: the vertex's
    // index and the host vertex it was made from.
    std::vector<std::vector<std::pair<std::uint32_t, int>>> twinCorners(blocks);
    std::vector<std::pair<std::uint32_t, int>> twinVertices; // index, host vertex
    std::unordered_map<int, std::pair<std::uint32_t, int>> twinSlot;
    cPointCloud merged;
    merged.SetIndexed(true);
    // The mesh's index of each point of `merged` and the host vertex it was made from.
    std::vector<std::pair<std::uint32_t, int>> mergedIndex;
    std::size_t next = firstVertex;
    try
    {
        for (std::size_t b = 0; b < blocks; ++b)
        {
            vertexBase[b] = next;
            if (!withTwins[b])
            {
                next += ownVertices[b];
                continue;
            }
            if (renumbered.empty())
                renumbered.assign(hostVertices, 0);
            std::size_t vertices = 0, added = 0;
            bool failed = false;
            forFaces(b,
                     [&](const ON_MeshFace& face, int corners)
                     {
                         std::uint32_t index[4];
                         for (int k = 0; k < corners; ++k)
                         {
                             const int v = face.vi[k];
                             const auto at = std::size_t(v);
                             if (alone(v))
                             {
                                 if (owner[at] == b && !renumbered[at])
                                 {
                                     rank[at] = std::uint32_t(vertices++);
                                     renumbered[at] = 1;
                                 }
                                 index[k] = std::uint32_t(vertexBase[owner[at]] + rank[at]);
                                 continue;
                             }
                             std::pair<std::uint32_t, int> corner;
                             if (const auto slot = twinSlot.find(v); slot != twinSlot.end())
                                 corner = slot->second;
                             else
                             {
                                 const ON_3fPoint& p = host.m_V[v];
                                 bool repeatable = false;
                                 const std::uint32_t point =
                                     merged.AddVertex(p.x, p.y, p.z, true, kImportMergeTolerance, repeatable);
                                 if (point == mergedIndex.size())
                                 {
                                     failed = failed || merged.GetVertexCount() != point + 1;
                                     corner = {std::uint32_t(vertexBase[b] + vertices), v};
                                     ++vertices;
                                     mergedIndex.push_back(corner);
                                     twinVertices.push_back(corner);
                                 }
                                 else
                                     corner = mergedIndex[point];
                                 if (repeatable)
                                     twinSlot.emplace(v, corner);
                             }
                             index[k] = corner.first;
                             twinCorners[b].push_back(corner);
                         }
                         added += AddFaceTriangles(index, corners,
                                                   [](std::uint32_t, std::uint32_t, std::uint32_t, int) {});
                     });
            if (failed)
                return false;
            triangles[b] = added;
            next += vertices;
        }
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    vertexBase[blocks] = next;

    const std::uint32_t firstTriangle = mesh.GetTriangleCount();
    std::vector<std::size_t> triangleBase(blocks + 1, firstTriangle);
    for (std::size_t b = 0; b < blocks; ++b)
        triangleBase[b + 1] = triangleBase[b] + triangles[b];
    if (vertexBase[blocks] > kArrayMaxRecords || triangleBase[blocks] > kArrayMaxRecords)
        return false;
    const auto vertexCount = std::uint32_t(vertexBase[blocks]),
               triangleCount = std::uint32_t(triangleBase[blocks]);
    if (inPass != nullptr)
    {
        try
        {
            *inPass = std::make_unique<cMesh::cUpdateInPass>(vertexCount, blocks, pool);
        }
        catch (const std::bad_alloc&)
        {
            return false;
        }
    }
    // Room for them at once. The chunks are allocated here, one after
    // another; their records are first written (and their pages first
    // touched) by the fill on the pool, which writes every record below the
    // counts. Making a big scan's 740 MB of records here, page by page on
    // one thread, took longer than the rest of the weld. The new records
    // past the counts are written here, as growing writes them.
    tArray<cVertex>& vertexArray = mesh.GetVertexArray();
    tArray<cMeshTriangle>& triangleArray = mesh.GetTriangleArray();
    const auto chunksFor = [](std::uint32_t n) { return n == 0 ? 0u : ((n - 1) >> kArrayChunkShift) + 1; };
    const std::uint32_t vertexRoom = vertexArray.GetCapacity(), triangleRoom = triangleArray.GetCapacity();
    if (!vertexArray.GrowUnwritten(chunksFor(vertexCount)) || !triangleArray.GrowUnwritten(chunksFor(triangleCount)))
        return false;
    for (std::uint32_t i = std::max(vertexCount, vertexRoom); i < vertexArray.GetCapacity(); ++i)
        vertexArray[i] = cVertex{};
    for (std::uint32_t i = std::max(triangleCount, triangleRoom); i < triangleArray.GetCapacity(); ++i)
        triangleArray[i] = cMeshTriangle{};
    vertexArray.SetCount(vertexCount);
    triangleArray.SetCount(triangleCount);
    cMesh::cUpdateInPass* const measures = inPass != nullptr ? inPass->get() : nullptr;

    const auto setVertex = [&](std::uint32_t index, int hostVertex)
    {
        const ON_3fPoint& p = host.m_V[hostVertex];
        cVertex& v = vertexArray[index];
        v = cVertex{};
        v.x = p.x;
        v.y = p.y;
        v.z = p.z;
        v.index = index;
    };
    auto fill = [&](std::size_t block)
    {
        std::size_t at = triangleBase[block];
        std::size_t twinCorner = 0;
        // The block writes each of its own vertices at the first face that
        // names it, which its rank follows: a rank below the next one to be
        // written is a vertex written before, whose sums have begun.
        std::uint32_t written = 0;
        forFaces(block,
                 [&](const ON_MeshFace& face, int corners)
                 {
                     std::uint32_t index[4];
                     // Each corner's point: that of the vertex this block has
                     // just written (the vertices of nearby triangles lie
                     // near each other there, where the host's may lie
                     // anywhere), else the same point of the host vertex the
                     // vertex is made from.
                     const float* point[4];
                     // The block's own vertices, which no earlier block's
                     // triangle meets: their sums are added here.
                     cVertex* own[4] = {nullptr, nullptr, nullptr, nullptr};
                     for (int k = 0; k < corners; ++k)
                     {
                         int v = face.vi[k];
                         if (!alone(v))
                         {
                             std::tie(index[k], v) = twinCorners[block][twinCorner++];
                             point[k] = &host.m_V[v].x;
                             continue;
                         }
                         const auto hv = std::size_t(v);
                         index[k] = std::uint32_t(vertexBase[owner[hv]] + rank[hv]);
                         if (owner[hv] == block)
                         {
                             if (rank[hv] >= written)
                             {
                                 setVertex(index[k], v);
                                 written = rank[hv] + 1;
                             }
                             own[k] = &vertexArray[index[k]];
                             point[k] = own[k]->Position();
                         }
                         else
                             point[k] = &host.m_V[v].x;
                     }
                     AddFaceTriangles(index, corners,
                                      [&](std::uint32_t a, std::uint32_t b, std::uint32_t c, int second)
                                      {
                                          const auto i = std::uint32_t(at++);
                                          cMeshTriangle& t = triangleArray[i];
                                          t = cMeshTriangle{};
                                          t.vertexIndex[0] = a;
                                          t.vertexIndex[1] = b;
                                          t.vertexIndex[2] = c;
                                          if (measures == nullptr)
                                              return;
                                          const float* const corner[3] = {point[0], point[second],
                                                                          point[second + 1]};
                                          cVertex* const owned[3] = {own[0], own[second], own[second + 1]};
                                          measures->Measure(t, i, block, corner, owned);
                                      });
                 });
    };
    ParallelForEach(pool, blocks, 1, fill);
    for (const auto& [index, hostVertex] : twinVertices)
        setVertex(index, hostVertex);
    return true;
}

} // namespace

std::uint32_t AddHostMeshFaces(cMesh& mesh, const ON_Mesh& host, cThreadPool* pool)
{
    const std::uint32_t trianglesBefore = mesh.GetTriangleCount();
    const int hostVertexCount = host.VertexCount();
    mesh.ClearMergeIndex();
    mesh.SetIndexed(true);
    // Each host vertex is welded once and its index kept: the weld gives a
    // point the lowest index within the tolerance, and vertices added later
    // have higher indices, so the same point would weld onto the same vertex
    // at every face. Only vertices with a twin within the tolerance go
    // through the merge index; the others are new vertices, and are kept
    // out of the index because no other point can weld onto them. A point
    // the index cannot hold is welded afresh at every corner.
    static_assert(sizeof(ON_3fPoint) == 3 * sizeof(float));
    const auto hostVertices = std::size_t(std::max(hostVertexCount, 0));
    std::unique_ptr<std::uint32_t[]> welded; // null when there is no memory for it
    std::vector<std::uint8_t> twins;
    try
    {
        if (hostVertices != 0)
            welded = MakeFilledOnPool(pool, hostVertices, kNotWelded);
    }
    catch (const std::bad_alloc&)
    {
    }
    if (welded && !MarkPointTwins(&host.m_V[0].x, hostVertices, 3, kImportMergeTolerance, pool, twins))
        twins.clear();
    // With the twins known, the faces are welded on the pool; without them
    // (no memory), or when many points have a twin (a mesh of unwelded
    // faces: the pool's merge index would copy them all), corner after
    // corner here.
    bool onPool = false;
    // A new mesh has its triangles measured for Update as they are written.
    std::unique_ptr<cMesh::cUpdateInPass> inPass;
    const bool measureInPass =
        mesh.GetVertexCount() == 0 && mesh.GetTriangleCount() == 0 && mesh.GetProgress() == nullptr;
    if (!twins.empty() &&
        std::size_t(std::count(twins.begin(), twins.end(), kPointAlone)) >= twins.size() - twins.size() / 8)
    {
        try
        {
            onPool = WeldFacesOnPool(mesh, host, twins, welded.get(), pool, measureInPass ? &inPass : nullptr);
        }
        catch (const std::bad_alloc&)
        {
        }
        if (!onPool)
        {
            inPass.reset();
            FillOnPool(pool, welded.get(), hostVertices, kNotWelded);
        }
    }
    const auto weldedIndex = [&](int hostVertex)
    {
        const ON_3fPoint& p = host.m_V[hostVertex];
        if (!welded)
            return mesh.AddVertex(p.x, p.y, p.z, true, kImportMergeTolerance);
        std::uint32_t& slot = welded[static_cast<std::size_t>(hostVertex)];
        if (slot != kNotWelded)
            return slot;
        if (!twins.empty() && twins[static_cast<std::size_t>(hostVertex)] == kPointAlone)
        {
            const float xyz[3] = {p.x, p.y, p.z};
            const std::uint32_t index = mesh.AddVertex(xyz);
            if (index < mesh.GetVertexCount())
                slot = index;
            return index;
        }
        bool repeatable = false;
        const std::uint32_t index = mesh.AddVertex(p.x, p.y, p.z, true, kImportMergeTolerance, repeatable);
        if (repeatable)
            slot = index;
        return index;
    };
    for (int f = 0; f < host.FaceCount() && !onPool; ++f)
    {
        const ON_MeshFace& face = host.m_F[f];
        const int corners = face.IsQuad() ? 4 : 3;
        bool inside = true;
        for (int k = 0; k < corners; ++k)
            inside = inside && face.vi[k] >= 0 && face.vi[k] < hostVertexCount;
        if (!inside)
            continue;
        std::uint32_t index[4];
        for (int k = 0; k < corners; ++k)
            index[k] = weldedIndex(face.vi[k]);
        // AddTriangle refuses a triangle whose merged corners repeat.
        mesh.AddTriangle(index[0], index[1], index[2]);
        if (corners == 4)
            mesh.AddTriangle(index[0], index[2], index[3]);
    }
    mesh.ClearMergeIndex();
    mesh.SetIndexed(false);
    if (inPass != nullptr && !inPass->Failed())
        mesh.Update(*inPass);
    else
        mesh.Update();
    return mesh.GetTriangleCount() - trianglesBefore;
}

std::uint32_t AddHostMeshFaces(cMeshObject& object, const ON_Mesh& host, cThreadPool* pool)
{
    cMesh* mesh = object.GetMesh();
    if (mesh == nullptr)
        return 0;
    const std::uint32_t added = AddHostMeshFaces(*mesh, host, pool);
    const std::uint32_t triangles = mesh->GetTriangleCount();
    if (triangles != 0)
    {
        // Sessions and the renderer index the bytes by triangle number.
        if (CTriangleColourProperties* colours = CTriangleColourProperties::GetOrCreate(&object))
            colours->Resize(triangles);
    }
    return added;
}
