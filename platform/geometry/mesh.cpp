#include "platform/geometry/mesh.h"

#include "platform/geometry/fresh_pages.h"
#include "platform/geometry/xform.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

bool ON_MeshFace::IsValid(int vertex_count) const
{
    for (int i = 0; i < 4; ++i)
        if (vi[i] < 0 || vi[i] >= vertex_count)
            return false;
    if (vi[0] == vi[1] || vi[1] == vi[2] || vi[0] == vi[2])
        return false;
    return IsTriangle() || (vi[3] != vi[0] && vi[3] != vi[1]);
}

ON_Mesh::ON_Mesh(int initial_face_capacity, int initial_vertex_capacity, bool has_vertex_normals,
                 bool /*has_texture_coordinates*/)
{
    m_F.Reserve(initial_face_capacity);
    m_V.Reserve(initial_vertex_capacity);
    if (has_vertex_normals)
        m_N.Reserve(initial_vertex_capacity);
}

ON_Mesh* ON_Mesh::Cast(ON_Object* object)
{
    return dynamic_cast<ON_Mesh*>(object);
}

const ON_Mesh* ON_Mesh::Cast(const ON_Object* object)
{
    return dynamic_cast<const ON_Mesh*>(object);
}

int ON_Mesh::TriangleCount() const
{
    int n = 0;
    for (const auto& f : m_F)
        n += f.IsTriangle() ? 1 : 0;
    return n;
}

int ON_Mesh::QuadCount() const
{
    return FaceCount() - TriangleCount();
}

namespace
{

template <class T> bool SetOrAppend(ON_SimpleArray<T>& a, int index, const T& value)
{
    if (index == a.Count())
    {
        a.Append(value);
        return true;
    }
    if (index < 0 || index > a.Count())
        return false;
    a[index] = value;
    return true;
}

// Adds a face's normal, as long as twice its area so that bigger faces weigh
// more, to the sums of its corners numbered in [begin, end).
inline void AddToCornersIn(double* sum, const ON_MeshFace& f, int corners, const ON_3dVector& n, int begin, int end)
{
    for (int i = 0; i < corners; ++i)
        if (f.vi[i] >= begin && f.vi[i] < end)
        {
            double* v = &sum[3 * std::size_t(f.vi[i])];
            v[0] += n.x, v[1] += n.y, v[2] += n.z;
        }
}

// The unit normals of the vertices [begin, end) from their sums.
inline void UnitNormalsFromSums(const double* sum, ON_3fVector* normals, int begin, int end)
{
    for (int i = begin; i < end; ++i)
    {
        const double* v = &sum[3 * std::size_t(i)];
        normals[i] = ON_UnitNormalOrZero(ON_3dVector(v[0], v[1], v[2]));
    }
}

bool FaceIndicesInRange(const ON_MeshFace& f, int vertex_count)
{
    for (int i = 0; i < 4; ++i)
        if (f.vi[i] < 0 || f.vi[i] >= vertex_count)
            return false;
    return true;
}

// Below this many items a mesh's normals are not worth a thread.
constexpr int kItemsPerThread = 1 << 16;

// Calls part(begin, end, slot) on `parts` consecutive slices of [0, count),
// each on its own thread (the first on the calling thread); a thread that
// cannot be started runs its slice on the calling thread.
template <class Part> void RunInParts(int count, int parts, Part&& part)
{
    std::vector<std::thread> threads;
    std::vector<int> unstarted;
    const auto begin = [&](int slot) { return int(std::int64_t{count} * slot / parts); };
    for (int slot = 1; slot < parts; ++slot)
    {
        try
        {
            threads.emplace_back([&, slot] { part(begin(slot), begin(slot + 1), slot); });
        }
        catch (const std::system_error&)
        {
            unstarted.push_back(slot);
        }
    }
    part(0, begin(1), 0);
    for (const int slot : unstarted)
        part(begin(slot), begin(slot + 1), slot);
    for (std::thread& t : threads)
        t.join();
}

// Calls part(begin, end, slot) on consecutive chunks of [0, count) from
// `threads` threads (slot 0 the calling thread), each taking the next chunk
// when it is done with one: a thread the machine leaves waiting holds up no
// more than its chunk. Without threads the calling thread takes them all.
template <class Part> void RunInChunks(int count, int threads, Part&& part, std::int64_t kChunk = 1 << 14)
{
    const std::int64_t chunks = (std::int64_t{count} + kChunk - 1) / kChunk;
    std::atomic<std::int64_t> next{0};
    const auto work = [&](int slot) {
        for (std::int64_t c; (c = next.fetch_add(1, std::memory_order_relaxed)) < chunks;)
            part(int(c * kChunk), int(std::min<std::int64_t>(count, (c + 1) * kChunk)), slot);
    };
    std::vector<std::thread> started;
    for (int slot = 1; slot < threads; ++slot)
    {
        try
        {
            started.emplace_back(work, slot);
        }
        catch (const std::system_error&)
        {
        }
    }
    work(0);
    for (std::thread& t : started)
        t.join();
}

int PartsFor(int count)
{
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    return std::clamp(count / kItemsPerThread, 1, std::min(cores, 8));
}

} // namespace

bool ON_Mesh::SetVertex(int vertex_index, const ON_3dPoint& p)
{
    return SetOrAppend(m_V, vertex_index, ON_3fPoint(p));
}

bool ON_Mesh::SetVertex(int vertex_index, const ON_3fPoint& p)
{
    return SetOrAppend(m_V, vertex_index, p);
}

bool ON_Mesh::SetVertexNormal(int vertex_index, const ON_3dVector& n)
{
    return SetOrAppend(m_N, vertex_index, ON_3fVector(n));
}

bool ON_Mesh::SetTriangle(int face_index, int a, int b, int c)
{
    ON_MeshFace f;
    f.vi[0] = a, f.vi[1] = b, f.vi[2] = c, f.vi[3] = c;
    return SetOrAppend(m_F, face_index, f);
}

bool ON_Mesh::SetQuad(int face_index, int a, int b, int c, int d)
{
    ON_MeshFace f;
    f.vi[0] = a, f.vi[1] = b, f.vi[2] = c, f.vi[3] = d;
    return SetOrAppend(m_F, face_index, f);
}

bool ON_Mesh::ComputeFaceNormals()
{
    const int vcount = VertexCount();
    const int fcount = FaceCount();
    m_FN.SetCount(0);
    ON_SetCountOnFreshPages(m_FN, fcount);
    const int parts = PartsFor(fcount);
    std::vector<char> inRange(std::size_t(parts), 1);
    const ON_3fPoint* vertices = m_V.Array();
    const ON_MeshFace* faces = m_F.Array();
    ON_3fVector* normals = m_FN.Array();
    RunInChunks(fcount, parts, [&](int begin, int end, int slot) {
        bool allInRange = true;
        for (int i = begin; i < end; ++i)
        {
            const ON_MeshFace& f = faces[i];
            if (FaceIndicesInRange(f, vcount))
                normals[i] = ON_MeshFaceUnitNormal(vertices, f);
            else
            {
                normals[i] = ON_3fVector();
                allInRange = false;
            }
        }
        if (!allInRange)
            inRange[std::size_t(slot)] = 0;
    });
    return fcount > 0 && std::find(inRange.begin(), inRange.end(), 0) == inRange.end();
}

namespace
{

// Faces' normals added to the vertices' sums a slice of 2^shift vertices at
// a time, each slice taken by the next free thread: a slice clears its
// sums, adds the faces of its range (the first to the last face that uses
// one of its vertices) in face order, as one thread adding every face does,
// and unitises its vertices. The ranges overlap where faces join vertices
// far apart in the table (a subdivided mesh's midpoints come after its
// corners): up to a dozen times the face table, the free threads still
// finish first (a segmentation split of a 10M-triangle scan reads 2 to 9
// times its faces). False, with nothing done, past that or where the
// ranges are more than half the table each on average (no order to speak
// of); the fixed slices of the caller then take the faces.
bool SumInSlicesOfFaceRanges(const ON_Mesh& mesh, int threads, double* sum, ON_3fVector* normals)
{
    constexpr int kMaxSlices = 64;
    const int vcount = mesh.VertexCount();
    const int fcount = mesh.FaceCount();
    const ON_MeshFace* faces = mesh.m_F.Array();
    const ON_3fPoint* vertices = mesh.m_V.Array();
    int shift = 0;
    while (((vcount - 1) >> shift) + 1 > std::min(kMaxSlices, 8 * threads))
        ++shift;
    const int slices = ((vcount - 1) >> shift) + 1;
    std::atomic<int> first[kMaxSlices], last[kMaxSlices];
    for (int s = 0; s < slices; ++s)
        first[s].store(fcount), last[s].store(-1);
    RunInChunks(fcount, threads, [&](int begin, int end, int) {
        int lo[kMaxSlices], hi[kMaxSlices];
        std::fill_n(lo, slices, fcount);
        std::fill_n(hi, slices, -1);
        for (int j = begin; j < end; ++j)
        {
            const ON_MeshFace& f = faces[j];
            if (!FaceIndicesInRange(f, vcount))
                continue;
            for (int k = 0; k < (f.IsTriangle() ? 3 : 4); ++k)
            {
                const int s = f.vi[k] >> shift;
                lo[s] = std::min(lo[s], j);
                hi[s] = j;
            }
        }
        for (int s = 0; s < slices; ++s)
        {
            if (hi[s] < 0)
                continue;
            for (int seen = first[s].load(); lo[s] < seen && !first[s].compare_exchange_weak(seen, lo[s]);)
            {
            }
            for (int seen = last[s].load(); hi[s] > seen && !last[s].compare_exchange_weak(seen, hi[s]);)
            {
            }
        }
    });
    std::int64_t read = 0;
    for (int s = 0; s < slices; ++s)
        read += std::max(0, last[s].load() - first[s].load() + 1);
    if (read > std::min<std::int64_t>(12, slices / 2) * fcount)
        return false;
    RunInChunks(
        slices, threads,
        [&](int firstSlice, int endSlice, int) {
            for (int s = firstSlice; s < endSlice; ++s)
            {
                const int begin = s << shift, end = std::min(vcount, (s + 1) << shift);
                std::fill(sum + 3 * std::size_t(begin), sum + 3 * std::size_t(end), 0.0);
                for (int j = first[s].load(); j <= last[s].load(); ++j)
                {
                    const ON_MeshFace& f = faces[j];
                    const int corners = f.IsTriangle() ? 3 : 4;
                    bool touches = false;
                    for (int i = 0; i < corners; ++i)
                        touches = touches || (f.vi[i] >= begin && f.vi[i] < end);
                    if (!touches || !FaceIndicesInRange(f, vcount))
                        continue;
                    AddToCornersIn(sum, f, corners, ON_MeshFaceCrossProduct(vertices, f), begin, end);
                }
                UnitNormalsFromSums(sum, normals, begin, end);
            }
        },
        1);
    return true;
}

} // namespace

bool ON_Mesh::ComputeVertexNormals()
{
    const int vcount = VertexCount();
    const int fcount = FaceCount();
    if (vcount == 0 || fcount == 0)
        return false;
    // The sums, three doubles a vertex, are cleared by the thread of their
    // slice: a big mesh's fresh pages are then cleared side by side.
    std::unique_ptr<double[]> sum(new double[3 * std::size_t(vcount)]);
    ON_SetCountOnFreshPages(m_N, vcount);
    // Each thread owns a slice of the vertices and adds to them the faces
    // that use them in face order, so every sum is added up in the same
    // order as by one thread alone. Which slices a face adds to is found
    // once, on threads, so that each slice reads a byte per face to find
    // its faces instead of the whole face table.
    const int parts = PartsFor(fcount);
    if (parts > 1 && SumInSlicesOfFaceRanges(*this, parts, sum.get(), m_N.Array()))
        return true;
    // A vertex's slice is the number of later slices' starts at or below
    // it, counted by comparisons rather than divisions.
    int starts[8] = {};
    for (int slot = 1; slot < parts; ++slot)
        starts[slot - 1] = int(std::int64_t{vcount} * slot / parts);
    const auto sliceOf = [&](int v) {
        int slot = 0;
        for (int k = 0; k + 1 < parts; ++k)
            slot += v >= starts[k];
        return slot;
    };
    // A bit per slice: there are at most eight.
    std::unique_ptr<std::uint8_t[]> slices;
    if (parts > 1)
    {
        slices.reset(new std::uint8_t[std::size_t(fcount)]);
        RunInChunks(fcount, parts, [&](int first, int last, int) {
            for (int i = first; i < last; ++i)
            {
                const ON_MeshFace& f = m_F[i];
                std::uint8_t bits = 0;
                if (FaceIndicesInRange(f, vcount))
                    for (int k = 0; k < (f.IsTriangle() ? 3 : 4); ++k)
                        bits |= std::uint8_t(1u << sliceOf(f.vi[k]));
                slices[std::size_t(i)] = bits;
            }
        });
    }
    const ON_3fPoint* vertices = m_V.Array();
    ON_3fVector* normals = m_N.Array();
    RunInParts(vcount, parts, [&](int first, int last, int slot) {
        const std::uint8_t bit = std::uint8_t(1u << slot);
        std::fill(sum.get() + 3 * std::size_t(first), sum.get() + 3 * std::size_t(last), 0.0);
        for (int j = 0; j < fcount; ++j)
        {
            if (slices && (slices[std::size_t(j)] & bit) == 0)
                continue;
            const ON_MeshFace& f = m_F[j];
            if (!slices && !FaceIndicesInRange(f, vcount))
                continue;
            const int corners = f.IsTriangle() ? 3 : 4;
            AddToCornersIn(sum.get(), f, corners, ON_MeshFaceCrossProduct(vertices, f), first, last);
        }
        UnitNormalsFromSums(sum.get(), normals, first, last);
    });
    return true;
}

bool ON_Mesh::IsValid(ON_TextLog*) const
{
    const int vcount = VertexCount();
    if (vcount == 0 || FaceCount() == 0)
        return false;
    // A big mesh's vertices and faces are checked in chunks on threads.
    std::atomic<bool> valid{true};
    RunInChunks(vcount, PartsFor(vcount), [&](int first, int last, int) {
        for (int i = first; i < last; ++i)
        {
            const ON_3fPoint& v = m_V[i];
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
                valid.store(false, std::memory_order_relaxed);
        }
    });
    RunInChunks(FaceCount(), PartsFor(FaceCount()), [&](int first, int last, int) {
        for (int i = first; i < last; ++i)
            if (!m_F[i].IsValid(vcount))
                valid.store(false, std::memory_order_relaxed);
    });
    if (!valid.load())
        return false;
    if (m_N.Count() != 0 && m_N.Count() != vcount)
        return false;
    if (m_FN.Count() != 0 && m_FN.Count() != FaceCount())
        return false;
    if (m_C.Count() != 0 && m_C.Count() != vcount)
        return false;
    return true;
}

ON_BoundingBox ON_Mesh::BoundingBox() const
{
    ON_BoundingBox box;
    for (const auto& v : m_V)
        box.Set(ON_3dPoint(v), true);
    return box;
}

bool ON_Mesh::Transform(const ON_Xform& xform)
{
    for (auto& v : m_V)
        v = ON_3fPoint(xform * ON_3dPoint(v));
    if (m_N.Count() > 0 || m_FN.Count() > 0)
    {
        // Normals follow the inverse transpose of the linear part.
        ON_Xform linear(xform);
        for (int i = 0; i < 3; ++i)
            linear.m_xform[i][3] = linear.m_xform[3][i] = 0.0;
        linear.m_xform[3][3] = 1.0;
        ON_Xform inv = linear.Inverse();
        ON_Xform nx(0.0);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                nx.m_xform[i][j] = inv.m_xform[j][i];
        for (auto* normals : {&m_N, &m_FN})
            for (auto& n : *normals)
            {
                ON_3dVector v = nx * ON_3dVector(n.x, n.y, n.z);
                if (!v.Unitize())
                    v = ON_3dVector();
                n = ON_3fVector(v);
            }
    }
    return true;
}

void ON_Mesh::Destroy()
{
    m_V.Destroy();
    m_F.Destroy();
    m_N.Destroy();
    m_FN.Destroy();
    m_C.Destroy();
    m_Ctag.Default();
    m_closed = -1;
}

bool ON_Mesh::Compact()
{
    m_V.SetCapacity(m_V.Count());
    m_F.SetCapacity(m_F.Count());
    m_N.SetCapacity(m_N.Count());
    m_FN.SetCapacity(m_FN.Count());
    m_C.SetCapacity(m_C.Count());
    return true;
}
