#include "analysis/segmentation_split.h"

#include "analysis/segmentation.h"
#include "analysis/segmentation_regions.h"
#include "core/scene.h"
#include "core/scene_object_container.h"
#include "core/thread_pool.h"
#include "platform/geometry/fresh_pages.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <emmintrin.h>
#include <memory>
#include <new>
#include <utility>

namespace
{

// Win32's stop icon of a message box.
constexpr unsigned int kMessageBoxStopIcon = 0x10;

// The palette after brightening (each channel x 1.4, capped).
constexpr unsigned char kRegionPalette[12][3] = {
    {101, 207, 101}, {62, 184, 183}, {100, 102, 188}, {208, 54, 210}, {206, 132, 169}, {224, 168, 80},
    {172, 174, 24},  {120, 154, 189}, {99, 163, 223}, {181, 0, 255},  {200, 69, 153},  {183, 152, 67}};

std::atomic<int> g_rememberedLayer{-1};

// Whether the triangle's corners are all in the mesh and none is excluded.
bool IsExportable(const cMesh& mesh, const cMeshTriangle& t)
{
    const cVertex* c[3];
    if (!mesh.GetCorners(t, c))
        return false;
    return !c[0]->IsExcluded() && !c[1]->IsExcluded() && !c[2]->IsExcluded();
}

// Whether a triangle goes into a sub-mesh, as IsExportable tells. Where no
// vertex of the mesh is excluded (a scan's, as a rule) the corners' indices
// tell it alone, without a read of the corners' records, which lie anywhere
// in memory.
class cExportable
{
public:
    explicit cExportable(const cMesh& mesh)
        : m_mesh(mesh), m_vertexCount(mesh.GetVertexCount()), m_anyExcluded(AnyExcluded(mesh))
    {
    }

    bool operator()(const cMeshTriangle& t) const
    {
        if (m_anyExcluded)
            return IsExportable(m_mesh, t);
        return t.vertexIndex[0] < m_vertexCount && t.vertexIndex[1] < m_vertexCount &&
               t.vertexIndex[2] < m_vertexCount;
    }

private:
    static bool AnyExcluded(const cMesh& mesh)
    {
        const std::uint32_t count = mesh.GetVertexCount();
        std::vector<std::uint8_t> excluded((std::size_t{count} + kPoolBlock - 1) / kPoolBlock, 0);
        ForEachBlockOnPool(count, [&](std::uint32_t begin, std::uint32_t end) {
            bool any = false;
            for (std::uint32_t i = begin; i < end; ++i)
                any = any || mesh.GetVertex(i)->IsExcluded();
            excluded[begin / kPoolBlock] = any;
        });
        return std::find(excluded.begin(), excluded.end(), 1) != excluded.end();
    }

    const cMesh& m_mesh;
    std::uint32_t m_vertexCount;
    bool m_anyExcluded;
};

const CDezazMeshObject* AsMeshObject(const CDezazObject* object)
{
    return dynamic_cast<const CDezazMeshObject*>(object);
}

} // namespace

ON_Color SegmentRegionColour(std::uint32_t label)
{
    const unsigned char* c = kRegionPalette[label % 12];
    return ON_Color(c[0], c[1], c[2]);
}

namespace
{

constexpr std::uint32_t kNotTaken = 0xFFFFFFFFu;

// Fills an empty list with n copies of value; a big one has its fresh
// pages made side by side first instead of one after another as the one
// thread fills it.
void AssignOnFreshPages(std::vector<std::uint32_t>& list, std::size_t n, std::uint32_t value)
{
    constexpr std::size_t kBigBytes = std::size_t{4} << 20;
    if (n > list.capacity() && n * sizeof(std::uint32_t) >= kBigBytes)
    {
        list.reserve(n);
        ON_MakePagesSideBySide(list.data(), n * sizeof(std::uint32_t));
    }
    list.assign(n, value);
}
constexpr std::size_t kFillBlock = 1u << 14;
// Up to this many regions each lists its own triangles on the pool; more
// are sorted out in one pass over the mesh.
constexpr std::uint32_t kRegionsListedOnPool = 16;

// value(i) of the indices i in [0, count) that keep(i) takes, in ascending
// order of i, into `out`: each block of indices writes its own on the pool
// into its part of a scratch list, then they are copied together from where
// the blocks before end (keep is asked once per index; without room for the
// scratch list, each block counts first and asks again as it writes).
template <class Keep, class Value>
void KeptInOrder(std::size_t count, Keep&& keep, Value&& value, std::vector<std::uint32_t>& out)
{
    const std::size_t blocks = (count + kFillBlock - 1) / kFillBlock;
    std::vector<std::size_t> starts(blocks + 1, 0);
    std::unique_ptr<std::uint32_t[]> scratch;
    try
    {
        scratch.reset(new std::uint32_t[count]);
    }
    catch (const std::bad_alloc&)
    {
    }
    auto firstPass = [&](std::size_t b) {
        std::size_t n = 0;
        for (std::size_t i = b * kFillBlock; i < std::min(count, (b + 1) * kFillBlock); ++i)
            if (keep(i))
            {
                if (scratch)
                    scratch[b * kFillBlock + n] = value(i);
                ++n;
            }
        starts[b + 1] = n;
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, firstPass);
    for (std::size_t b = 0; b < blocks; ++b)
        starts[b + 1] += starts[b];
    AssignOnFreshPages(out, starts[blocks], 0);
    auto secondPass = [&](std::size_t b) {
        std::size_t k = starts[b];
        if (scratch)
        {
            std::copy_n(&scratch[b * kFillBlock], starts[b + 1] - k, out.begin() + std::ptrdiff_t(k));
            return;
        }
        for (std::size_t i = b * kFillBlock; i < std::min(count, (b + 1) * kFillBlock); ++i)
            if (keep(i))
                out[k++] = value(i);
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, secondPass);
}

// Per vertex, the last sub-mesh of a split that took it, so that each
// sub-mesh finds its vertices in the time of its own triangles.
struct stVertexTakers
{
    std::vector<std::uint32_t> takenBy;
    // Per vertex, its number in the sub-mesh being built (written for the
    // sub-mesh's vertices only, so never cleared).
    std::unique_ptr<std::uint32_t[]> numbered;
    std::uint32_t numberedCount = 0;
    std::uint32_t next = 0;
    // The stamp the faces of the next sub-mesh already gave their vertices
    // as they were listed (kNotTaken: none).
    std::uint32_t stamped = kNotTaken;

    // Ready for stamps: a table for the mesh's vertices, and room for the
    // next two stamps.
    void Prepare(std::uint32_t vertexCount)
    {
        if (takenBy.size() != vertexCount || next >= kNotTaken - 2)
        {
            AssignOnFreshPages(takenBy, vertexCount, kNotTaken);
            next = 0;
            stamped = kNotTaken;
        }
    }
};

// The vertices of the faces in ascending order: the few of a small region
// sorted, the many of a large one marked on the pool and read off the whole
// vertex table in order.
std::vector<std::uint32_t> SubMeshVertices(const cMesh& mesh, const std::vector<std::uint32_t>& faces,
                                           stVertexTakers& takers)
{
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    takers.Prepare(vertexCount);
    std::uint32_t stamp = takers.next++;
    const bool stamped = takers.stamped == stamp;
    takers.stamped = kNotTaken;
    std::vector<std::uint32_t> vertices;
    if (faces.size() < vertexCount / 16)
    {
        // The sort collects the vertices as it stamps them.
        if (stamped)
            stamp = takers.next++;
        for (const std::uint32_t i : faces)
            for (const std::uint32_t v : mesh.GetTriangle(i)->vertexIndex)
                if (takers.takenBy[v] != stamp)
                {
                    takers.takenBy[v] = stamp;
                    vertices.push_back(v);
                }
        std::sort(vertices.begin(), vertices.end());
        return vertices;
    }
    // Faces of different jobs share vertices: each writes the same stamp.
    auto take = [&](std::size_t k) {
        for (const std::uint32_t v : mesh.GetTriangle(faces[k])->vertexIndex)
            std::atomic_ref<std::uint32_t>(takers.takenBy[v]).store(stamp, std::memory_order_relaxed);
    };
    if (!stamped)
        ParallelForEach(SharedThreadPool(), faces.size(), kFillBlock, take);
    KeptInOrder(
        vertexCount, [&](std::size_t v) { return takers.takenBy[v] == stamp; },
        [](std::size_t v) { return static_cast<std::uint32_t>(v); }, vertices);
    return vertices;
}

// ON_UnitNormalOrZero of two vectors at once, one in each lane of SSE2's
// registers of two doubles: the same operations in the same order (the
// largest magnitude, the vector scaled by it, the length, the division by
// it), each rounded as its scalar form is, so the same floats to the bit;
// the divisions and the square root, most of a face's normal, take one
// step for both.
void UnitNormalsOrZero(const ON_3dVector& a, const ON_3dVector& b, ON_3fVector out[2])
{
    const __m128d x = _mm_set_pd(b.x, a.x), y = _mm_set_pd(b.y, a.y), z = _mm_set_pd(b.z, a.z);
    const __m128d sign = _mm_set1_pd(-0.0);
    const __m128d ax = _mm_andnot_pd(sign, x), ay = _mm_andnot_pd(sign, y), az = _mm_andnot_pd(sign, z);
    // maxpd keeps its first operand where it is greater, else the second,
    // as "ax > ay ? ax : ay" does (NaN included).
    const __m128d m = _mm_max_pd(_mm_max_pd(ax, ay), az);
    const __m128d sx = _mm_div_pd(ax, m), sy = _mm_div_pd(ay, m), sz = _mm_div_pd(az, m);
    const __m128d squares = _mm_add_pd(_mm_add_pd(_mm_mul_pd(sx, sx), _mm_mul_pd(sy, sy)), _mm_mul_pd(sz, sz));
    const __m128d length = _mm_mul_pd(m, _mm_sqrt_pd(squares));
    alignas(16) double lengths[2], ux[2], uy[2], uz[2];
    _mm_store_pd(lengths, length);
    _mm_store_pd(ux, _mm_div_pd(x, length));
    _mm_store_pd(uy, _mm_div_pd(y, length));
    _mm_store_pd(uz, _mm_div_pd(z, length));
    // No direction where the length is not above zero or not finite: a
    // largest magnitude of zero or not finite, which the scalar form gives
    // as the length, makes it not a number here.
    for (int lane = 0; lane < 2; ++lane)
        out[lane] = !(lengths[lane] > 0.0) || !std::isfinite(lengths[lane])
                        ? ON_3fVector()
                        : ON_3fVector(ON_3dVector(ux[lane], uy[lane], uz[lane]));
}

// The face and vertex normals of a sub-mesh whose faces are all triangles
// with every index in range, as ComputeFaceNormals and ComputeVertexNormals
// give them: each face's normal is its corners' cross product in doubles
// (made unit for the face), and each vertex's is the sum of the cross
// products of its faces, added in face order, made unit. The faces go a
// chunk of kFillBlock at a time on the pool, each working out its cross
// product once: a vertex belongs to the first chunk that uses it, which adds
// its faces there in order into the vertex's sum; the corners of later
// chunks are kept, by chunk and range of vertices, and added after all the
// chunks, each range's in chunk order. So every sum takes its terms in face
// order, as one thread going through the faces adds them. False, with the
// vertex normals not written, where memory for the kept corners runs out;
// the face normals are written either way.
class cSubMeshNormals
{
public:
    explicit cSubMeshNormals(ON_Mesh& mesh)
        : m_mesh(mesh), m_vertexCount(static_cast<std::uint32_t>(mesh.VertexCount())),
          m_faceCount(static_cast<std::size_t>(mesh.FaceCount())),
          m_chunks((m_faceCount + kFillBlock - 1) / kFillBlock)
    {
        while ((std::size_t{m_vertexCount} >> m_shift) >= kRanges)
            ++m_shift;
    }

    // Room for the sums and owners (std::bad_alloc where there is none).
    void Prepare()
    {
        m_sum.reset(new double[3 * std::size_t{m_vertexCount}]);
        m_owner.reset(new std::uint32_t[m_vertexCount]);
        m_kept.resize(m_chunks * kRanges);
    }

    // Vertex k has no owner and a zero sum yet: called once per vertex
    // before any face is owned.
    void ClearVertex(std::size_t k)
    {
        m_owner[k] = kNoOwner;
        m_sum[3 * k] = m_sum[3 * k + 1] = m_sum[3 * k + 2] = 0.0;
    }

    // Face k's chunk offers to own its corners: the first chunk keeps them.
    void OwnCorners(std::size_t k)
    {
        const ON_MeshFace& f = m_mesh.m_F[static_cast<int>(k)];
        const auto chunk = static_cast<std::uint32_t>(k / kFillBlock);
        for (int c = 0; c < 3; ++c)
        {
            std::atomic_ref<std::uint32_t> owner(m_owner[static_cast<std::size_t>(f.vi[c])]);
            for (std::uint32_t seen = owner.load(std::memory_order_relaxed);
                 chunk < seen && !owner.compare_exchange_weak(seen, chunk, std::memory_order_relaxed);)
            {
            }
        }
    }

    // After every face has offered: the face normals and the sums, then the
    // vertex normals.
    bool Put()
    {
        ON_SetCountOnFreshPages(m_mesh.m_N, static_cast<int>(m_vertexCount));
        std::atomic<bool> roomy{true};
        auto chunk = [&](std::size_t c) {
            const ON_3fPoint* points = m_mesh.m_V.Array();
            const ON_MeshFace* faces = m_mesh.m_F.Array();
            ON_3fVector* normals = m_mesh.m_FN.Array();
            const auto addCorners = [&](const ON_MeshFace& f, const ON_3dVector& n) {
                for (int i = 0; i < 3; ++i)
                {
                    const auto v = static_cast<std::uint32_t>(f.vi[i]);
                    if (m_owner[v] == c)
                    {
                        double* sum = &m_sum[3 * std::size_t{v}];
                        sum[0] += n.x, sum[1] += n.y, sum[2] += n.z;
                        continue;
                    }
                    try
                    {
                        m_kept[c * kRanges + (v >> m_shift)].push_back({v, {n.x, n.y, n.z}});
                    }
                    catch (const std::bad_alloc&)
                    {
                        roomy.store(false, std::memory_order_relaxed);
                    }
                }
            };
            // Two faces at a time, whose normals are made unit together.
            const std::size_t end = std::min(m_faceCount, (c + 1) * kFillBlock);
            for (std::size_t k = c * kFillBlock; k < end; k += 2)
            {
                const bool two = k + 1 < end;
                const ON_3dVector n = ON_MeshFaceCrossProduct(points, faces[k]);
                const ON_3dVector next = two ? ON_MeshFaceCrossProduct(points, faces[k + 1]) : n;
                ON_3fVector units[2];
                UnitNormalsOrZero(n, next, units);
                normals[k] = units[0];
                addCorners(faces[k], n);
                if (!two)
                    break;
                normals[k + 1] = units[1];
                addCorners(faces[k + 1], next);
            }
        };
        ParallelForEach(SharedThreadPool(), m_chunks, 1, chunk);
        if (!roomy.load())
            return false;
        auto range = [&](std::size_t r) {
            for (std::size_t c = 0; c < m_chunks; ++c)
                for (const stKept& kept : m_kept[c * kRanges + r])
                {
                    double* sum = &m_sum[3 * std::size_t{kept.vertex}];
                    sum[0] += kept.n[0], sum[1] += kept.n[1], sum[2] += kept.n[2];
                }
            ON_3fVector* normals = m_mesh.m_N.Array();
            const std::size_t end = std::min<std::size_t>(m_vertexCount, (r + 1) << m_shift);
            const auto sumOf = [&](std::size_t v) {
                return ON_3dVector(m_sum[3 * v], m_sum[3 * v + 1], m_sum[3 * v + 2]);
            };
            for (std::size_t v = r << m_shift; v < end; v += 2)
            {
                const bool two = v + 1 < end;
                ON_3fVector units[2];
                UnitNormalsOrZero(sumOf(v), two ? sumOf(v + 1) : sumOf(v), units);
                normals[v] = units[0];
                if (two)
                    normals[v + 1] = units[1];
            }
        };
        ParallelForEach(SharedThreadPool(), kRanges, 1, range);
        return true;
    }

private:
    static constexpr std::uint32_t kNoOwner = 0xFFFFFFFFu;
    static constexpr std::size_t kRanges = 64;
    struct stKept
    {
        std::uint32_t vertex;
        double n[3];
    };

    ON_Mesh& m_mesh;
    std::uint32_t m_vertexCount;
    std::size_t m_faceCount;
    std::size_t m_chunks;
    int m_shift = 0;
    std::unique_ptr<double[]> m_sum;
    std::unique_ptr<std::uint32_t[]> m_owner;
    // Per chunk and range of vertices, the corners of vertices that an
    // earlier chunk owns, in face order.
    std::vector<std::vector<stKept>> m_kept;
};

// A sub-mesh built, and whether it is valid as ON_Mesh::IsValid tells,
// found as it was written instead of by a pass of its own over it.
struct stSubMesh
{
    std::unique_ptr<ON_Mesh> mesh;
    bool valid = false;
};

// A host mesh of faces that are all exportable triangles of the mesh.
stSubMesh BuildSubMeshOfFaces(cMesh& mesh, const std::vector<std::uint32_t>& faces, stVertexTakers& takers)
{
    const std::vector<std::uint32_t> vertices = SubMeshVertices(mesh, faces, takers);

    auto out = std::make_unique<ON_Mesh>(0, 0, false, false);
    ON_SetCountOnFreshPages(out->m_V, static_cast<int>(vertices.size()));
    ON_SetCountOnFreshPages(out->m_F, static_cast<int>(faces.size()));
    ON_SetCountOnFreshPages(out->m_FN, static_cast<int>(faces.size()));
    // Each vertex's number in the sub-mesh goes into a table of its own,
    // which the faces then read instead of the vertex records, which lie
    // anywhere in memory: the table is a ninth of their size.
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    if (takers.numberedCount != vertexCount)
    {
        takers.numbered.reset(new std::uint32_t[vertexCount]);
        takers.numberedCount = vertexCount;
    }
    std::uint32_t* const numbered = takers.numbered.get();
    // The normals are worked out as the faces are written, without the
    // vertex normals' own passes over the faces (cSubMeshNormals); without
    // room for that, by the mesh after the faces.
    std::unique_ptr<cSubMeshNormals> normals;
    try
    {
        normals = std::make_unique<cSubMeshNormals>(*out);
        normals->Prepare();
    }
    catch (const std::bad_alloc&)
    {
        normals.reset();
    }
    // What ON_Mesh::IsValid looks for as the points and faces are written: a
    // point that is not finite, or a face with a corner twice (the corners'
    // numbers are the sub-mesh's vertices by construction).
    std::atomic<bool> broken{false};
    auto putVertex = [&](std::size_t k) {
        const cVertex* v = mesh.GetVertex(vertices[k]);
        numbered[vertices[k]] = static_cast<std::uint32_t>(k);
        out->m_V[static_cast<int>(k)] = ON_3fPoint(v->x, v->y, v->z);
        if (!std::isfinite(v->x) || !std::isfinite(v->y) || !std::isfinite(v->z))
            broken.store(true, std::memory_order_relaxed);
        if (normals != nullptr)
            normals->ClearVertex(k);
    };
    ParallelForEach(SharedThreadPool(), vertices.size(), kFillBlock, putVertex);
    auto putFace = [&](std::size_t k) {
        const cMeshTriangle* t = mesh.GetTriangle(faces[k]);
        ON_MeshFace& f = out->m_F[static_cast<int>(k)];
        for (int c = 0; c < 3; ++c)
            f.vi[c] = static_cast<int>(numbered[t->vertexIndex[c]]);
        f.vi[3] = f.vi[2];
        if (f.vi[0] == f.vi[1] || f.vi[1] == f.vi[2] || f.vi[0] == f.vi[2])
            broken.store(true, std::memory_order_relaxed);
        if (normals != nullptr)
            normals->OwnCorners(k);
    };
    ParallelForEach(SharedThreadPool(), faces.size(), kFillBlock, putFace);
    out->m_N.Destroy();
    if (normals == nullptr || !normals->Put())
    {
        if (normals == nullptr)
            out->ComputeFaceNormals();
        out->m_N.Destroy();
        if (out->FaceCount() > 0)
            out->ComputeVertexNormals();
    }
    normals.reset();
    out->SetClosed(-1);
    out->Compact();
    const int vertexTotal = out->VertexCount(), faceTotal = out->FaceCount();
    const bool valid = vertexTotal > 0 && faceTotal > 0 && !broken.load() &&
                       (out->m_N.Count() == 0 || out->m_N.Count() == vertexTotal) &&
                       (out->m_FN.Count() == 0 || out->m_FN.Count() == faceTotal) &&
                       (out->m_C.Count() == 0 || out->m_C.Count() == vertexTotal);
    return {std::move(out), valid};
}

stSubMesh BuildSubMesh(cMesh& mesh, const std::vector<std::uint32_t>& triangles, stVertexTakers& takers,
                       const cExportable& exportable)
{
    const std::uint32_t triangleCount = mesh.GetTriangleCount();
    std::vector<std::uint32_t> faces;
    KeptInOrder(
        triangles.size(),
        [&](std::size_t k) {
            const std::uint32_t i = triangles[k];
            return i < triangleCount && exportable(*mesh.GetTriangle(i));
        },
        [&](std::size_t k) { return triangles[k]; }, faces);
    return BuildSubMeshOfFaces(mesh, faces, takers);
}

// The exportable triangles of the mesh that belong(i) takes, in index order;
// given takers, each also stamps its vertices for the next sub-mesh as it
// is listed, which then need not read the triangles again to find them.
template <class Belongs>
std::vector<std::uint32_t> ExportableTriangles(cMesh& mesh, const cExportable& exportable, Belongs&& belongs,
                                               stVertexTakers* takers = nullptr)
{
    std::uint32_t stamp = kNotTaken;
    if (takers != nullptr)
    {
        takers->Prepare(mesh.GetVertexCount());
        stamp = takers->next;
    }
    std::vector<std::uint32_t> faces;
    KeptInOrder(
        mesh.GetTriangleCount(),
        [&](std::size_t i) {
            const cMeshTriangle& t = *mesh.GetTriangle(static_cast<std::uint32_t>(i));
            if (!belongs(t) || !exportable(t))
                return false;
            // Triangles of different jobs share vertices: each writes the
            // same stamp.
            if (takers != nullptr)
                for (const std::uint32_t v : t.vertexIndex)
                    std::atomic_ref<std::uint32_t>(takers->takenBy[v]).store(stamp, std::memory_order_relaxed);
            return true;
        },
        [](std::size_t i) { return static_cast<std::uint32_t>(i); }, faces);
    if (takers != nullptr)
        takers->stamped = stamp;
    return faces;
}

// The band's exportable triangles in index order (into `band`, each giving
// its vertices the next sub-mesh's stamp as ExportableTriangles does) and,
// for the labels, what their first pass readies (stOutsideListed: the
// triangles outside the band in index order, the band's colour words left
// unlabelled, whether a triangle is hidden), in one pass over the
// triangles: each block writes the band's from its start and the others
// from its end back into one scratch list, then both lists are copied
// together. False where memory for the lists runs out.
bool ListBandAndOutside(cMesh& mesh, const cExportable& exportable, stVertexTakers& takers,
                        std::vector<std::uint32_t>& band, stOutsideListed& listed)
{
    const std::size_t count = mesh.GetTriangleCount();
    const std::size_t blocks = (count + kFillBlock - 1) / kFillBlock;
    std::unique_ptr<std::uint32_t[]> scratch;
    try
    {
        scratch.reset(new std::uint32_t[count]);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    takers.Prepare(mesh.GetVertexCount());
    const std::uint32_t stamp = takers.next;
    // Per block: how many of the band it keeps, and of the others.
    std::vector<std::size_t> inBand(blocks + 1, 0), outside(blocks + 1, 0);
    std::atomic<bool> hidden{false};
    auto pass = [&](std::size_t b) {
        const std::size_t begin = b * kFillBlock, end = std::min(count, begin + kFillBlock);
        std::size_t kept = 0, others = 0;
        bool anyHidden = false;
        for (std::size_t i = begin; i < end; ++i)
        {
            cMeshTriangle& t = *mesh.GetTriangle(static_cast<std::uint32_t>(i));
            anyHidden = anyHidden || (t.flags & kTriangleFlagHidden) != 0;
            if (!IsVisibleSelected(t))
            {
                scratch[end - 1 - others++] = static_cast<std::uint32_t>(i);
                continue;
            }
            t.colour = 0xFFFFFFFFu;
            if (!exportable(t))
                continue;
            // Triangles of different jobs share vertices: each writes the
            // same stamp.
            for (const std::uint32_t v : t.vertexIndex)
                std::atomic_ref<std::uint32_t>(takers.takenBy[v]).store(stamp, std::memory_order_relaxed);
            scratch[begin + kept++] = static_cast<std::uint32_t>(i);
        }
        if (anyHidden)
            hidden.store(true, std::memory_order_relaxed);
        inBand[b + 1] = kept;
        outside[b + 1] = others;
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, pass);
    takers.stamped = stamp;
    for (std::size_t b = 0; b < blocks; ++b)
    {
        inBand[b + 1] += inBand[b];
        outside[b + 1] += outside[b];
    }
    try
    {
        AssignOnFreshPages(band, inBand[blocks], 0);
        AssignOnFreshPages(listed.outside, outside[blocks], 0);
    }
    catch (const std::bad_alloc&)
    {
        band = {};
        listed.outside = {};
        return false;
    }
    listed.hidden = hidden.load();
    auto copy = [&](std::size_t b) {
        const std::size_t begin = b * kFillBlock, end = std::min(count, begin + kFillBlock);
        std::copy_n(&scratch[begin], inBand[b + 1] - inBand[b], band.begin() + std::ptrdiff_t(inBand[b]));
        const std::size_t others = outside[b + 1] - outside[b];
        std::reverse_copy(&scratch[end - others], &scratch[end], listed.outside.begin() + std::ptrdiff_t(outside[b]));
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, copy);
    return true;
}

// The exportable triangles of each of the few regions 0 .. labels - 1
// (kRegionsListedOnPool at most), in index order, listed in one pass over
// the mesh, or over `outside` where it is not empty (every triangle outside
// the band, in index order: the others carry no region's label): each
// block keeps its triangles and their labels in its part of a scratch
// list, counting them per region, then copies them into the regions' lists
// from where the blocks before it end. Empty where there is no region or no
// room for the scratch list.
std::vector<std::vector<std::uint32_t>> ExportableRegionTriangles(cMesh& mesh, const cExportable& exportable,
                                                                  std::uint32_t labels,
                                                                  const std::vector<std::uint32_t>& outside)
{
    static_assert(kRegionsListedOnPool <= 256, "a region's label is kept in a byte");
    if (labels == 0)
        return {};
    const bool listed = !outside.empty();
    const std::size_t count = listed ? outside.size() : mesh.GetTriangleCount();
    const std::size_t blocks = (count + kFillBlock - 1) / kFillBlock;
    std::unique_ptr<std::uint32_t[]> kept;
    std::unique_ptr<std::uint8_t[]> keptLabel;
    try
    {
        kept.reset(new std::uint32_t[count]);
        keptLabel.reset(new std::uint8_t[count]);
    }
    catch (const std::bad_alloc&)
    {
        return {};
    }
    // Per block: how many it keeps, and per region first its count, then
    // where its triangles start in the region's list.
    std::vector<std::size_t> keptInBlock(blocks, 0);
    std::vector<std::size_t> starts(blocks * labels, 0);
    auto keep = [&](std::size_t b) {
        std::size_t n = 0;
        // Counted on the job's stack and stored once: the counts of
        // neighbouring blocks share cache lines.
        std::size_t perRegion[kRegionsListedOnPool] = {};
        for (std::size_t k = b * kFillBlock; k < std::min(count, (b + 1) * kFillBlock); ++k)
        {
            const auto i = listed ? outside[k] : static_cast<std::uint32_t>(k);
            const cMeshTriangle& t = *mesh.GetTriangle(i);
            const std::uint32_t label = t.GetLabel();
            if (label >= labels || !exportable(t))
                continue;
            kept[b * kFillBlock + n] = i;
            keptLabel[b * kFillBlock + n] = static_cast<std::uint8_t>(label);
            ++n;
            ++perRegion[label];
        }
        std::copy_n(perRegion, labels, starts.data() + b * labels);
        keptInBlock[b] = n;
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, keep);
    std::vector<std::vector<std::uint32_t>> regions(labels);
    for (std::uint32_t label = 0; label < labels; ++label)
    {
        std::size_t total = 0;
        for (std::size_t b = 0; b < blocks; ++b)
            total += std::exchange(starts[b * labels + label], total);
        AssignOnFreshPages(regions[label], total, 0);
    }
    auto copy = [&](std::size_t b) {
        std::size_t* next = starts.data() + b * labels;
        for (std::size_t k = b * kFillBlock; k < b * kFillBlock + keptInBlock[b]; ++k)
            regions[keptLabel[k]][next[keptLabel[k]]++] = kept[k];
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, copy);
    return regions;
}

} // namespace

std::unique_ptr<ON_Mesh> BuildSubMesh(cMesh& mesh, const std::vector<std::uint32_t>& triangles)
{
    stVertexTakers takers;
    return BuildSubMesh(mesh, triangles, takers, cExportable(mesh)).mesh;
}

cSegmentationSplitter::cSegmentationSplitter(CDezazDoc* doc, const ON_UUID& hostObjectId, std::wstring caption,
                                             unsigned int hostObjectSerial)
    : m_doc(doc), m_hostObjectId(hostObjectId), m_hostObjectSerial(hostObjectSerial), m_caption(std::move(caption))
{
}

int cSegmentationSplitter::RememberedLayerIndex()
{
    return g_rememberedLayer.load();
}

void cSegmentationSplitter::ForgetRememberedLayer()
{
    g_rememberedLayer.store(-1);
}

bool cSegmentationSplitter::CreateSubMeshObjects(std::unique_ptr<ON_Mesh> mesh, unsigned int colour, bool replace)
{
    const bool valid = mesh != nullptr && mesh->IsValid();
    return AddSubMeshObject(std::move(mesh), valid, colour, replace);
}

bool cSegmentationSplitter::AddSubMeshObject(std::unique_ptr<ON_Mesh> mesh, bool valid, unsigned int colour,
                                             bool replace)
{
    if (m_doc == nullptr || mesh == nullptr || mesh->VertexCount() == 0 || !valid)
        return false;

    const CDezazObject* added = nullptr;
    if (replace)
    {
        const CDezazObject* host = m_doc->LookupObject(m_hostObjectId);
        if (AsMeshObject(host) == nullptr ||
            m_doc->ReplaceObject(CDezazObjRef(host), std::make_unique<CDezazMeshObject>(std::move(mesh))) == nullptr)
            return false;
        added = m_doc->LookupObject(m_hostObjectId);
        if (added != nullptr)
            g_rememberedLayer.store(added->Attributes().m_layer_index);
    }
    else
    {
        added = m_doc->AddMeshObject(std::move(mesh));
    }
    if (added == nullptr)
        return false;

    if (colour != 0)
    {
        ON_3dmObjectAttributes attributes = added->Attributes();
        // The remembered layer came from an earlier document perhaps: use it
        // only where this document has such a layer.
        const int layer = g_rememberedLayer.load();
        if (layer != -1 && layer >= 0 && layer < m_doc->LayerTable().LayerCount())
            attributes.m_layer_index = layer;
        attributes.m_color = ON_Color(colour);
        attributes.SetColorSource(ON_3dmObjectAttributes::color_source::color_from_object);
        m_doc->ModifyObjectAttributes(CDezazObjRef(added), attributes);
    }
    return true;
}

bool cSegmentationSplitter::SplitMesh(cMesh& mesh, bool replace)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    // The band's faces are listed as they are tested for export, in one
    // pass over the triangles that also readies the labels' list of the
    // others (without room for both lists, the band's alone).
    stVertexTakers takers;
    const cExportable exportable(mesh);
    std::vector<std::uint32_t> band;
    stOutsideListed listed;
    const bool bothListed = ListBandAndOutside(mesh, exportable, takers, band, listed);
    if (!bothListed)
        band = ExportableTriangles(mesh, exportable, IsVisibleSelected, &takers);
    // The sub-meshes come with their validity found as they were built.
    const auto add = [this](stSubMesh built, unsigned int colour, bool replacing) {
        return AddSubMeshObject(std::move(built.mesh), built.valid, colour, replacing);
    };

    // Regions: every triangle outside the band, connected through triangles
    // that are not selected. They are labelled before the band goes into the
    // document, so that marks that cut the mesh into more regions than there
    // are labels leave the document as it was.
    std::uint32_t labels = 0;
    std::vector<std::uint32_t> outside;
    bool tooMany = false;
    if (count < kRegionsOnPoolFrom || !LabelRegionsOnPool(mesh, labels, &outside, bothListed ? &listed : nullptr))
    {
        ForEachBlockOnPool(count, [&mesh](std::uint32_t begin, std::uint32_t end) {
            for (std::uint32_t i = begin; i < end; ++i)
                mesh.GetTriangle(i)->colour = 0xFFFFFFFFu;
        });
        for (std::uint32_t i = 0; i < count; ++i)
        {
            cMeshTriangle* t = mesh.GetTriangle(i);
            if (IsVisibleSelected(*t) || t->GetLabel() != kTriangleUnlabelled)
                continue;
            // The next label would be the unlabelled value (or wrap onto
            // another region's label).
            tooMany = labels >= m_mostRegions;
            if (tooMany)
                break;
            t->SetLabel(labels++);
            mesh.LabelConnectedTriangles(t, kTriangleFlagSelected);
        }
    }
    if (tooMany || labels > m_mostRegions)
    {
        const std::wstring text = L"The marks cut the mesh into more than " + std::to_wstring(m_mostRegions) +
                                  L" regions, more than a split can make: nothing was split. Mark fewer, larger "
                                  L"regions and split again.";
        DezazMessageBox(nullptr, text.c_str(), m_caption.c_str(), kMessageBoxStopIcon);
        return false;
    }
    add(BuildSubMeshOfFaces(mesh, band, takers), kSharpBandColour, replace);
    band = {};
    if (labels <= kRegionsListedOnPool)
    {
        // A few regions: all listed in one pass on the pool, or, without
        // room for that, each when its turn comes.
        std::vector<std::vector<std::uint32_t>> regions = ExportableRegionTriangles(mesh, exportable, labels, outside);
        outside = {};
        if (regions.size() == labels)
        {
            for (std::uint32_t label = 0; label < labels; ++label)
            {
                add(BuildSubMeshOfFaces(mesh, regions[label], takers), SegmentRegionColour(label), false);
                regions[label] = {};
            }
            return true;
        }
        for (std::uint32_t label = 0; label < labels; ++label)
        {
            const auto inRegion = [label](const cMeshTriangle& t) { return t.GetLabel() == label; };
            add(BuildSubMeshOfFaces(mesh, ExportableTriangles(mesh, exportable, inRegion), takers),
                SegmentRegionColour(label), false);
        }
        return true;
    }
    // Many: one pass sorts the triangles by label, so that each region is
    // built from its own triangles instead of a scan of the whole mesh per
    // label.
    std::vector<std::vector<std::uint32_t>> regions(labels);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const std::uint32_t label = mesh.GetTriangle(i)->GetLabel();
        if (label < labels)
            regions[label].push_back(i);
    }
    for (std::uint32_t label = 0; label < labels; ++label)
    {
        add(BuildSubMesh(mesh, regions[label], takers, exportable), SegmentRegionColour(label), false);
        regions[label] = {};
    }
    return true;
}

bool cSegmentationSplitter::OnSplitIntoSubMeshes(I3DScene* scene)
{
    if (m_doc == nullptr)
        return false;
    // A mesh put in the place of the one the dialog copied (the same id,
    // another object) is not what was marked: the band would overwrite it.
    const CDezazObject* host = m_doc->LookupObject(m_hostObjectId);
    if (AsMeshObject(host) == nullptr || (m_hostObjectSerial != 0 && host->RuntimeSerialNumber() != m_hostObjectSerial))
    {
        DezazMessageBox(nullptr, L"There is no active mesh.", m_caption.c_str(), kMessageBoxStopIcon);
        return false;
    }
    if (scene != nullptr)
    {
        bool replace = true;
        std::unique_ptr<cSceneObjectIterator> it(scene->GetObjectIterator());
        for (it->First(); !it->IsDone(); it->Next())
        {
            ISceneObject* object = it->Current().Get();
            auto* mesh = object != nullptr ? static_cast<cMesh*>(object->QueryInterface(IID_cMesh)) : nullptr;
            if (mesh == nullptr)
                continue;
            try
            {
                // Refused (too many regions): the user was told; the dialog
                // stays open with its marks.
                if (!SplitMesh(*mesh, replace))
                {
                    if (!replace)
                        m_doc->Redraw();
                    return false;
                }
            }
            catch (const std::bad_alloc&)
            {
                // What was added so far stays; the other meshes still split.
            }
            replace = false;
        }
    }
    m_doc->Redraw();
    return true;
}
