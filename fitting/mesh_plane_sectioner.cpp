#include "fitting/mesh_plane_sectioner.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include <immintrin.h>

#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "fitting/section_triangle_index.h"

namespace
{

// Vertices closer to the plane than this lie in it.
constexpr float kOnPlane = 1e-5f;
// Crossing points closer than this are one point.
constexpr float kCrossingMergeTolerance = 1e-5f;
// Segments whose squared length is below this are dropped.
constexpr double kShortSegmentSquared = 1e-10;
// The join tolerance is never below the crossing merge tolerance.
constexpr float kMinJoinTolerance = 1e-5f;

int SideOfPlane(float z)
{
    if (std::fabs(z) < kOnPlane)
        return 0;
    return z > kOnPlane ? 1 : -1;
}

} // namespace

cMeshPlaneSectioner::cMeshPlaneSectioner()
{
    MakeIdentity3x4(m_frame);
    MakeIdentity3x4(m_toPlane);
    SetUnlimitedRectangle();
}

cMeshPlaneSectioner::~cMeshPlaneSectioner()
{
    m_crossingEdges.Clear();
    m_crossingPoints.Clear();
    m_localZ.clear();
    m_localZ.shrink_to_fit();
}

void cMeshPlaneSectioner::SetFrame(const double frame[12])
{
    std::copy(frame, frame + 12, m_frame);
}

void cMeshPlaneSectioner::SetSectionRectangle(float xmin, float xmax, float ymin, float ymax)
{
    m_rectangle[0] = xmin;
    m_rectangle[1] = xmax;
    m_rectangle[2] = ymin;
    m_rectangle[3] = ymax;
}

void cMeshPlaneSectioner::SetUnlimitedRectangle()
{
    SetSectionRectangle(-FLT_MAX, FLT_MAX, -FLT_MAX, FLT_MAX);
}

void cMeshPlaneSectioner::PrepareCrossingPoints()
{
    m_crossingPoints.ClearMergeIndex();
    m_crossingPoints.SetIndexed(true);
}

void cMeshPlaneSectioner::CollectCrossingEdges(std::uint8_t mask)
{
    if (m_mesh == nullptr)
        return;
    std::copy(m_frame, m_frame + 12, m_toPlane);
    InvertRigidTransform3x4(m_toPlane);
    m_welded.Clear();
    if (m_list != nullptr)
        CollectByList(mask);
    else if (m_index != nullptr && m_index->Matches(*m_mesh))
        CollectByIndex(mask);
    else
        CollectByScan(mask);
}

namespace
{

// Vertices and triangles per job of a full scan's passes over the pool.
constexpr std::uint32_t kScanJobRecords = 8 * kArrayChunkSize;

struct stScanPasses
{
    const cMesh* mesh;
    const double* zRow; // the plane's z row of the mesh-to-plane transform
    std::uint8_t mask;
    float* localZ;
    std::uint32_t vertexCount;
    std::uint32_t triangleCount;
    // Per job of triangles: those that may cross, in ascending order.
    std::vector<std::vector<std::uint32_t>>* crossing;
};

void MeasureVertexHeights(void* context, std::uint32_t job)
{
    const auto& passes = *static_cast<const stScanPasses*>(context);
    const tArray<cVertex>& vertices = passes.mesh->GetVertexArray();
    const std::uint32_t end = std::min(passes.vertexCount, (job + 1) * kScanJobRecords);
    for (std::uint32_t first = job * kScanJobRecords; first < end; first += kArrayChunkSize)
    {
        const cVertex* chunk = vertices.GetChunk(first >> kArrayChunkShift);
        const std::uint32_t n = std::min(kArrayChunkSize, end - first);
        float* out = passes.localZ + first;
        for (std::uint32_t j = 0; j < n; ++j)
            out[j] = PlaneCoordinate(passes.zRow, chunk[j]);
    }
}

// Whether a triangle's corner heights put it wholly above or below a plane
// (corners within kOnPlane of it count as on it).
bool WhollyOnOneSide(const float z[3])
{
    return (z[0] > kOnPlane && z[1] > kOnPlane && z[2] > kOnPlane) ||
           (z[0] < -kOnPlane && z[1] < -kOnPlane && z[2] < -kOnPlane);
}

// A listed triangle's corner indices; null for a triangle past the mesh, one
// without the mask's flags (a mask of 0 takes every triangle) or one naming a
// vertex past the mesh.
const std::uint32_t* ListedCorners(const cMesh& mesh, std::uint32_t triangle, std::uint8_t mask)
{
    if (triangle >= mesh.GetTriangleCount())
        return nullptr;
    const cMeshTriangle& t = *mesh.GetTriangle(triangle);
    if (mask != 0 && (t.flags & mask) == 0)
        return nullptr;
    const std::uint32_t* c = t.vertexIndex;
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    if (c[0] >= vertexCount || c[1] >= vertexCount || c[2] >= vertexCount)
        return nullptr;
    return c;
}

void FindCrossingCandidates(void* context, std::uint32_t job)
{
    const auto& passes = *static_cast<const stScanPasses*>(context);
    const tArray<cMeshTriangle>& triangles = passes.mesh->GetTriangleArray();
    const std::uint32_t vertexCount = passes.vertexCount;
    const float* localZ = passes.localZ;
    std::vector<std::uint32_t>& out = (*passes.crossing)[job];
    const std::uint32_t end = std::min(passes.triangleCount, (job + 1) * kScanJobRecords);
    for (std::uint32_t first = job * kScanJobRecords; first < end; first += kArrayChunkSize)
    {
        const cMeshTriangle* chunk = triangles.GetChunk(first >> kArrayChunkShift);
        const std::uint32_t n = std::min(kArrayChunkSize, end - first);
        for (std::uint32_t j = 0; j < n; ++j)
        {
            const cMeshTriangle& t = chunk[j];
            if (passes.mask != 0 && (t.flags & passes.mask) == 0)
                continue;
            const std::uint32_t* c = t.vertexIndex;
            if (c[0] >= vertexCount || c[1] >= vertexCount || c[2] >= vertexCount)
                continue;
            const float z[3] = {localZ[c[0]], localZ[c[1]], localZ[c[2]]};
            // Most triangles lie wholly on one side: reject them before any
            // other work.
            if (WhollyOnOneSide(z))
                continue;
            out.push_back(first + j);
        }
    }
}

struct stListPass
{
    const cMesh* mesh;
    const double* zRow;
    std::uint8_t mask;
    const std::vector<std::uint32_t>* list;
    // Per job of listed triangles: those that may cross, in the list's order.
    std::vector<std::vector<stListedCrossing>>* crossing;
};

void FindListedCrossingCandidates(void* context, std::uint32_t job)
{
    const auto& pass = *static_cast<const stListPass*>(context);
    const std::vector<std::uint32_t>& list = *pass.list;
    const cMesh& mesh = *pass.mesh;
    std::vector<stListedCrossing>& out = (*pass.crossing)[job];
    const std::size_t end = std::min(list.size(), (std::size_t{job} + 1) * kScanJobRecords);
    for (std::size_t k = std::size_t{job} * kScanJobRecords; k < end; ++k)
    {
        const std::uint32_t* c = ListedCorners(mesh, list[k], pass.mask);
        if (c == nullptr)
            continue;
        const stListedCrossing candidate{list[k],
                                         {PlaneCoordinate(pass.zRow, *mesh.GetVertex(c[0])),
                                          PlaneCoordinate(pass.zRow, *mesh.GetVertex(c[1])),
                                          PlaneCoordinate(pass.zRow, *mesh.GetVertex(c[2]))}};
        const float* z = candidate.z;
        if (WhollyOnOneSide(z))
            continue;
        out.push_back(candidate);
    }
}

} // namespace

std::vector<std::uint32_t> TrianglesWithFlag(const cMesh& mesh, std::uint8_t mask)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    std::vector<std::vector<std::uint32_t>> found((count + kScanJobRecords - 1) / kScanJobRecords);
    auto collect = [&](std::size_t job) {
        const std::uint32_t end = std::min<std::uint32_t>(count, std::uint32_t(job + 1) * kScanJobRecords);
        for (std::uint32_t i = std::uint32_t(job) * kScanJobRecords; i < end; ++i)
            if ((mesh.GetTriangle(i)->flags & mask) != 0)
                found[job].push_back(i);
    };
    ParallelForEach(SharedThreadPool(), found.size(), 1, collect);
    std::size_t total = 0;
    for (const std::vector<std::uint32_t>& job : found)
        total += job.size();
    std::vector<std::uint32_t> out;
    out.reserve(total);
    for (const std::vector<std::uint32_t>& job : found)
        out.insert(out.end(), job.begin(), job.end());
    return out;
}

namespace
{

struct stStackPass
{
    const cMesh* mesh;
    std::uint8_t mask;
    const std::vector<std::uint32_t>* list;
    const double* rotation; // the planes' common z row without its offset, or null
    std::vector<double> offsets;
    // Without a common row: every plane's z row, a column per term.
    std::vector<double> rows[4];
    // Per job of listed triangles, per plane: those that may cross it.
    std::vector<std::vector<std::vector<stListedCrossing>>>* crossing;
};

// The corners' heights above four turning planes from `plane` on, in the
// lanes of one register: each lane forms a corner's height with
// PlaneCoordinate's operations in their order (((r0 x + r1 y) + r2 z) + r3,
// rounded to a float), so the same heights to the bit; the planes the
// triangle does not lie wholly on one side of take it, in the planes' order.
__attribute__((target("avx2"), optimize("fp-contract=off"))) void
FourTurningCandidates(const double* const rows[4], std::size_t plane, const cVertex* const v[3], std::uint32_t triangle,
                      std::vector<stListedCrossing>* out)
{
    const __m256d r0 = _mm256_loadu_pd(rows[0] + plane), r1 = _mm256_loadu_pd(rows[1] + plane);
    const __m256d r2 = _mm256_loadu_pd(rows[2] + plane), r3 = _mm256_loadu_pd(rows[3] + plane);
    __m128 z[3];
    for (int j = 0; j < 3; ++j)
    {
        const __m256d x = _mm256_set1_pd(v[j]->x), y = _mm256_set1_pd(v[j]->y), h = _mm256_set1_pd(v[j]->z);
        z[j] = _mm256_cvtpd_ps(_mm256_add_pd(
            _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(r0, x), _mm256_mul_pd(r1, y)), _mm256_mul_pd(r2, h)), r3));
    }
    const __m128 above = _mm_set1_ps(kOnPlane), below = _mm_set1_ps(-kOnPlane);
    const __m128 over = _mm_and_ps(_mm_and_ps(_mm_cmpgt_ps(z[0], above), _mm_cmpgt_ps(z[1], above)),
                                   _mm_cmpgt_ps(z[2], above));
    const __m128 under = _mm_and_ps(_mm_and_ps(_mm_cmplt_ps(z[0], below), _mm_cmplt_ps(z[1], below)),
                                    _mm_cmplt_ps(z[2], below));
    const int aside = _mm_movemask_ps(_mm_or_ps(over, under));
    if (aside == 0xF)
        return;
    float lanes[3][4];
    for (int j = 0; j < 3; ++j)
        _mm_storeu_ps(lanes[j], z[j]);
    for (int k = 0; k < 4; ++k)
        if ((aside & (1 << k)) == 0)
            out[plane + static_cast<std::size_t>(k)].push_back(
                stListedCrossing{triangle, {lanes[0][k], lanes[1][k], lanes[2][k]}});
}

// FourTurningCandidates for eight planes from `plane` on, in the lanes of
// one AVX-512 register: each lane with the same operations. (The
// zero-masked conversion: the plain one trips g++ 12's uninitialised-value
// warning inside its own header.)
__attribute__((target("avx512f"), optimize("fp-contract=off"))) void
EightTurningCandidates(const double* const rows[4], std::size_t plane, const cVertex* const v[3],
                       std::uint32_t triangle, std::vector<stListedCrossing>* out)
{
    const __m512d r0 = _mm512_loadu_pd(rows[0] + plane), r1 = _mm512_loadu_pd(rows[1] + plane);
    const __m512d r2 = _mm512_loadu_pd(rows[2] + plane), r3 = _mm512_loadu_pd(rows[3] + plane);
    __m256 z[3];
    for (int j = 0; j < 3; ++j)
    {
        const __m512d x = _mm512_set1_pd(v[j]->x), y = _mm512_set1_pd(v[j]->y), h = _mm512_set1_pd(v[j]->z);
        z[j] = _mm512_maskz_cvtpd_ps(0xFF, _mm512_add_pd(
            _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(r0, x), _mm512_mul_pd(r1, y)), _mm512_mul_pd(r2, h)), r3));
    }
    const __m256 above = _mm256_set1_ps(kOnPlane), below = _mm256_set1_ps(-kOnPlane);
    const __m256 over = _mm256_and_ps(_mm256_and_ps(_mm256_cmp_ps(z[0], above, _CMP_GT_OQ),
                                                    _mm256_cmp_ps(z[1], above, _CMP_GT_OQ)),
                                      _mm256_cmp_ps(z[2], above, _CMP_GT_OQ));
    const __m256 under = _mm256_and_ps(_mm256_and_ps(_mm256_cmp_ps(z[0], below, _CMP_LT_OQ),
                                                     _mm256_cmp_ps(z[1], below, _CMP_LT_OQ)),
                                       _mm256_cmp_ps(z[2], below, _CMP_LT_OQ));
    const int aside = _mm256_movemask_ps(_mm256_or_ps(over, under));
    if (aside == 0xFF)
        return;
    float lanes[3][8];
    for (int j = 0; j < 3; ++j)
        _mm256_storeu_ps(lanes[j], z[j]);
    for (int k = 0; k < 8; ++k)
        if ((aside & (1 << k)) == 0)
            out[plane + static_cast<std::size_t>(k)].push_back(
                stListedCrossing{triangle, {lanes[0][k], lanes[1][k], lanes[2][k]}});
}

// The corners' heights above every plane. For planes that differ in their
// origin alone, from one sum each: a corner's PlaneCoordinate for plane k is
// float(h + offset k) with h its first three terms, which the planes share. A triangle lies wholly above a plane when
// its lowest corner does, and wholly below when its highest does (the
// heights grow with h), so the lowest and highest h decide; the corners'
// own heights are then taken for the planes it may cross.
void FindStackedCrossingCandidates(void* context, std::uint32_t job)
{
    const auto& pass = *static_cast<const stStackPass*>(context);
    const std::vector<std::uint32_t>& list = *pass.list;
    const cMesh& mesh = *pass.mesh;
    const double* r = pass.rotation;
    std::vector<std::vector<stListedCrossing>>& out = (*pass.crossing)[job];
    out.resize(pass.offsets.size());
    const std::size_t end = std::min(list.size(), (std::size_t{job} + 1) * kScanJobRecords);
    for (std::size_t k = std::size_t{job} * kScanJobRecords; k < end; ++k)
    {
        const std::uint32_t* c = ListedCorners(mesh, list[k], pass.mask);
        if (c == nullptr)
            continue;
        if (r == nullptr)
        {
            // Planes that turn: each corner's height above each plane, as
            // PlaneCoordinate forms it.
            const cVertex* v[3] = {mesh.GetVertex(c[0]), mesh.GetVertex(c[1]), mesh.GetVertex(c[2])};
            const double* r0 = pass.rows[0].data();
            const double* r1 = pass.rows[1].data();
            const double* r2 = pass.rows[2].data();
            const double* r3 = pass.rows[3].data();
            std::size_t plane = 0;
            static const bool lanes = __builtin_cpu_supports("avx2");
            static const bool eights = __builtin_cpu_supports("avx512f");
            const double* const rows[4] = {r0, r1, r2, r3};
            if (eights)
                for (; plane + 8 <= pass.offsets.size(); plane += 8)
                    EightTurningCandidates(rows, plane, v, list[k], out.data());
            if (lanes)
                for (; plane + 4 <= pass.offsets.size(); plane += 4)
                    FourTurningCandidates(rows, plane, v, list[k], out.data());
            for (; plane < pass.offsets.size(); ++plane)
            {
                float z[3];
                for (int j = 0; j < 3; ++j)
                    z[j] = static_cast<float>(r0[plane] * v[j]->x + r1[plane] * v[j]->y + r2[plane] * v[j]->z + r3[plane]);
                if (WhollyOnOneSide(z))
                    continue;
                out[plane].push_back(stListedCrossing{list[k], {z[0], z[1], z[2]}});
            }
            continue;
        }
        double h[3];
        for (int j = 0; j < 3; ++j)
        {
            const cVertex& v = *mesh.GetVertex(c[j]);
            h[j] = r[0] * v.x + r[1] * v.y + r[2] * v.z;
        }
        const bool ordered = !std::isnan(h[0]) && !std::isnan(h[1]) && !std::isnan(h[2]);
        const double low = std::min({h[0], h[1], h[2]}), high = std::max({h[0], h[1], h[2]});
        for (std::size_t plane = 0; plane < pass.offsets.size(); ++plane)
        {
            const double offset = pass.offsets[plane];
            if (ordered && (static_cast<float>(low + offset) > kOnPlane || static_cast<float>(high + offset) < -kOnPlane))
                continue;
            const stListedCrossing candidate{list[k],
                                             {static_cast<float>(h[0] + offset), static_cast<float>(h[1] + offset),
                                              static_cast<float>(h[2] + offset)}};
            const float* z = candidate.z;
            if (WhollyOnOneSide(z))
                continue;
            out[plane].push_back(candidate);
        }
    }
}

} // namespace

bool cMeshPlaneSectioner::StackCuts(const std::vector<std::array<double, 12>>& frames, std::uint8_t mask)
{
    m_stacked.clear();
    m_stackedCut = kNoStackedCut;
    if (m_list == nullptr || m_mesh == nullptr || frames.empty())
        return false;
    std::vector<stStackedPlane> planes(frames.size());
    bool parallel = true;
    for (std::size_t k = 0; k < frames.size(); ++k)
    {
        double toPlane[12];
        std::copy(frames[k].begin(), frames[k].end(), toPlane);
        InvertRigidTransform3x4(toPlane);
        std::copy(toPlane + 8, toPlane + 12, planes[k].zRow);
        parallel = parallel && std::equal(planes[k].zRow, planes[k].zRow + 3, planes[0].zRow);
    }
    std::vector<std::vector<std::vector<stListedCrossing>>> crossing((m_list->size() + kScanJobRecords - 1) /
                                                                     kScanJobRecords);
    stStackPass pass{m_mesh, mask, m_list, parallel ? planes[0].zRow : nullptr, {}, {}, &crossing};
    for (const stStackedPlane& plane : planes)
    {
        pass.offsets.push_back(plane.zRow[3]);
        for (int term = 0; term < 4; ++term)
            pass.rows[term].push_back(plane.zRow[term]);
    }
    ParallelFor(SharedThreadPool(), static_cast<std::uint32_t>(crossing.size()), FindStackedCrossingCandidates, &pass);
    // Each plane gathers its jobs' triangles in the jobs' order, the planes
    // side by side.
    auto gather = [&](std::size_t k) {
        std::size_t total = 0;
        for (const std::vector<std::vector<stListedCrossing>>& job : crossing)
            total += job[k].size();
        planes[k].crossing.reserve(total);
        for (const std::vector<std::vector<stListedCrossing>>& job : crossing)
            planes[k].crossing.insert(planes[k].crossing.end(), job[k].begin(), job[k].end());
    };
    ParallelForEach(SharedThreadPool(), planes.size(), 1, gather);
    m_stacked = std::move(planes);
    m_stackedMesh = m_mesh;
    m_stackedMask = mask;
    return true;
}

bool cMeshPlaneSectioner::CutStackSideBySide(const std::vector<std::array<double, 12>>& frames, float tolerance,
                                             double angle, std::vector<tSectionPolylines>& cuts,
                                             const float* rectangle) const
{
    if (m_mesh == nullptr || m_mesh != m_stackedMesh || frames.size() != m_stacked.size())
        return false;
    std::vector<std::array<double, 12>> toPlanes(frames.size());
    for (std::size_t k = 0; k < frames.size(); ++k)
    {
        std::copy(frames[k].begin(), frames[k].end(), toPlanes[k].begin());
        InvertRigidTransform3x4(toPlanes[k].data());
        if (!std::equal(toPlanes[k].begin() + 8, toPlanes[k].end(), m_stacked[k].zRow))
            return false;
    }
    cuts.assign(frames.size(), tSectionPolylines());
    auto cut = [&](std::size_t k) {
        // The steps of SectionMeshByPlane, the stacked triangles cut as
        // CollectByList cuts them.
        cMeshPlaneSectioner own;
        own.SetFrame(frames[k].data());
        own.SetMesh(m_mesh);
        if (rectangle != nullptr)
            own.SetSectionRectangle(rectangle[0], rectangle[1], rectangle[2], rectangle[3]);
        else
            own.SetUnlimitedRectangle();
        own.PrepareCrossingPoints();
        std::copy(toPlanes[k].begin(), toPlanes[k].end(), own.m_toPlane);
        for (const stListedCrossing& candidate : m_stacked[k].crossing)
            own.CutTriangle(m_mesh->GetTriangle(candidate.triangle)->vertexIndex, candidate.z);
        own.ExtractPolylines(cuts[k], tolerance, angle);
        own.ClearCrossingPoints();
    };
    ParallelForEach(SharedThreadPool(), frames.size(), 1, cut);
    return true;
}

void cMeshPlaneSectioner::CollectByList(std::uint8_t mask)
{
    // A stacked plane's triangles, found with the others in one pass, when
    // this cut is that plane (its z row to the bit).
    const std::size_t stacked = m_stackedCut;
    m_stackedCut = kNoStackedCut;
    if (stacked < m_stacked.size() && m_mesh == m_stackedMesh && mask == m_stackedMask &&
        std::equal(m_toPlane + 8, m_toPlane + 12, m_stacked[stacked].zRow))
    {
        for (const stListedCrossing& candidate : m_stacked[stacked].crossing)
            CutTriangle(m_mesh->GetTriangle(candidate.triangle)->vertexIndex, candidate.z);
        return;
    }
    // Only the listed triangles' corners are measured, on the pool; the
    // crossing ones are cut in the list's (ascending) order, as a full scan
    // would cut them.
    std::vector<std::vector<stListedCrossing>> crossing((m_list->size() + kScanJobRecords - 1) / kScanJobRecords);
    stListPass pass{m_mesh, m_toPlane + 8, mask, m_list, &crossing};
    ParallelFor(SharedThreadPool(), static_cast<std::uint32_t>(crossing.size()), FindListedCrossingCandidates, &pass);
    for (const std::vector<stListedCrossing>& job : crossing)
        for (const stListedCrossing& candidate : job)
            CutTriangle(m_mesh->GetTriangle(candidate.triangle)->vertexIndex, candidate.z);
}

void cMeshPlaneSectioner::CollectByScan(std::uint8_t mask)
{
    // Every vertex's distance from the plane once per cut, and the triangles
    // that may cross, on the pool; the crossing ones are then cut in
    // ascending order, as one pass over the triangles would.
    const std::uint32_t vertexCount = m_mesh->GetVertexCount();
    const std::uint32_t triangleCount = m_mesh->GetTriangleCount();
    m_localZ.resize(vertexCount);
    std::vector<std::vector<std::uint32_t>> crossing((triangleCount + kScanJobRecords - 1) / kScanJobRecords);
    stScanPasses passes{m_mesh, m_toPlane + 8, mask, m_localZ.data(), vertexCount, triangleCount, &crossing};
    ParallelFor(SharedThreadPool(), (vertexCount + kScanJobRecords - 1) / kScanJobRecords, MeasureVertexHeights, &passes);
    ParallelFor(SharedThreadPool(), static_cast<std::uint32_t>(crossing.size()), FindCrossingCandidates, &passes);

    const float* localZ = m_localZ.data();
    for (const std::vector<std::uint32_t>& job : crossing)
        for (const std::uint32_t triangle : job)
        {
            const std::uint32_t* c = m_mesh->GetTriangle(triangle)->vertexIndex;
            const float z[3] = {localZ[c[0]], localZ[c[1]], localZ[c[2]]};
            CutTriangle(c, z);
        }

    m_localZ.clear();
}

void cMeshPlaneSectioner::CollectByIndex(std::uint8_t mask)
{
    const std::uint32_t vertexCount = m_mesh->GetVertexCount();
    const std::uint32_t triangleCount = m_mesh->GetTriangleCount();
    m_candidates.assign((static_cast<std::size_t>(triangleCount) + 63) / 64, 0);
    // Bins farther from the plane than this hold only triangles that the
    // exact test would reject (their corners lie beyond the on-plane band).
    const double margin = 1e-4;
    const double normal[3] = {m_toPlane[8], m_toPlane[9], m_toPlane[10]};
    m_index->MarkCandidates(normal, m_toPlane[11], margin, m_candidates);

    // Candidates in ascending triangle order: the order of a full scan.
    for (std::size_t w = 0; w < m_candidates.size(); ++w)
    {
        std::uint64_t bits = m_candidates[w];
        while (bits != 0)
        {
            const int b = __builtin_ctzll(bits);
            bits &= bits - 1;
            const std::uint32_t index = static_cast<std::uint32_t>(w * 64 + static_cast<std::size_t>(b));
            const cMeshTriangle& t = *m_mesh->GetTriangle(index);
            if (mask != 0 && (t.flags & mask) == 0)
                continue;
            const std::uint32_t* c = t.vertexIndex;
            if (c[0] >= vertexCount || c[1] >= vertexCount || c[2] >= vertexCount)
                continue;
            const float z[3] = {LocalCoordinate(*m_mesh->GetVertex(c[0]), 2),
                                LocalCoordinate(*m_mesh->GetVertex(c[1]), 2),
                                LocalCoordinate(*m_mesh->GetVertex(c[2]), 2)};
            // Most candidates lie wholly on one side, as in the full scan.
            if (WhollyOnOneSide(z))
                continue;
            CutTriangle(c, z);
        }
    }
}

void cMeshPlaneSectioner::CutTriangle(const std::uint32_t corner[3], const float z[3])
{
    const int side[3] = {SideOfPlane(z[0]), SideOfPlane(z[1]), SideOfPlane(z[2])};
    const int sum = side[0] + side[1] + side[2];
    if (sum == 3 || sum == -3)
        return; // wholly on one side
    if (side[0] == 0 && side[1] == 0 && side[2] == 0)
        return; // lies in the plane: its edges come from the neighbours
    // A vertex whose position was not finite cannot cross anything.
    if (!std::isfinite(z[0]) || !std::isfinite(z[1]) || !std::isfinite(z[2]))
        return;
    const cMesh& mesh = *m_mesh;
    t3DPoint<float> local[3];
    for (int k = 0; k < 3; ++k)
    {
        const cVertex& v = *mesh.GetVertex(corner[k]);
        local[k] = t3DPoint<float>(LocalCoordinate(v, 0), LocalCoordinate(v, 1), z[k]);
    }
    const t3DPoint<float>* p[3] = {&local[0], &local[1], &local[2]};
    const float xmin = std::min({p[0]->x, p[1]->x, p[2]->x});
    const float xmax = std::max({p[0]->x, p[1]->x, p[2]->x});
    const float ymin = std::min({p[0]->y, p[1]->y, p[2]->y});
    const float ymax = std::max({p[0]->y, p[1]->y, p[2]->y});
    if (xmax < m_rectangle[0] || xmin > m_rectangle[1] || ymax < m_rectangle[2] || ymin > m_rectangle[3])
        return;

    // c is the first vertex above the plane, or the first below when none is
    // above; a and b follow it in winding order, so the segment's direction
    // follows the winding and neighbours chain head to tail.
    int c = -1;
    for (int k = 0; k < 3 && c < 0; ++k)
        if (side[k] == 1)
            c = k;
    for (int k = 0; k < 3 && c < 0; ++k)
        if (side[k] == -1)
            c = k;
    const int a = (c + 1) % 3;
    const int b = (c + 2) % 3;

    // A crossing met before (from the edge's other triangle) is taken as it
    // was: the same point, already welded.
    const auto world = [&](int k, stSegmentEnd& end) {
        end.key = cSectionCrossingCache::VertexKey(corner[k]);
        if (const cSectionCrossingCache::stCrossing* known = m_welded.Find(end.key))
        {
            std::copy(known->point, known->point + 3, end.point);
            end.index = known->index;
            return true;
        }
        const cVertex* v = mesh.GetVertex(corner[k]);
        end.point[0] = v->x;
        end.point[1] = v->y;
        end.point[2] = v->z;
        end.index = kNoVertexIndex;
        return true;
    };
    const auto cross = [&](int u, int v, stSegmentEnd& end) {
        end.key = cSectionCrossingCache::EdgeKey(corner[u], corner[v]);
        if (const cSectionCrossingCache::stCrossing* known = m_welded.Find(end.key))
        {
            std::copy(known->point, known->point + 3, end.point);
            end.index = known->index;
            return true;
        }
        end.index = kNoVertexIndex;
        return ClipCrossingPoint(*p[u], *p[v], end.point);
    };

    stSegmentEnd first, second;
    bool ok = false;
    if (side[c] == -1)
    {
        if (side[a] != 0 || side[b] != 0)
            return;
        ok = world(b, first) && world(a, second);
    }
    else if (side[a] == 0 && side[b] == 0)
        ok = world(a, first) && world(b, second);
    else if (side[a] == 0 && side[b] == -1)
        ok = world(a, first) && cross(c, b, second);
    else if (side[a] == 1 && side[b] == -1)
        ok = cross(a, b, first) && cross(c, b, second);
    else if (side[a] == -1 && side[b] == 0)
        ok = cross(c, a, first) && world(b, second);
    else if (side[a] == -1 && side[b] == 1)
        ok = cross(c, a, first) && cross(b, a, second);
    else if (side[a] == -1 && side[b] == -1)
        ok = cross(c, a, first) && cross(c, b, second);
    if (ok)
        AddSegment(first, second);
}

bool cMeshPlaneSectioner::ClipCrossingPoint(const t3DPoint<float>& a, const t3DPoint<float>& b, float world[3]) const
{
    float local[3];
    if (std::fabs(a.z) < kOnPlane)
    {
        local[0] = a.x;
        local[1] = a.y;
        local[2] = a.z;
    }
    else if (std::fabs(b.z) < kOnPlane)
    {
        local[0] = b.x;
        local[1] = b.y;
        local[2] = b.z;
    }
    else
    {
        const double s = static_cast<double>(a.z) / (static_cast<double>(a.z) - b.z);
        local[0] = static_cast<float>(a.x + (static_cast<double>(b.x) - a.x) * s);
        local[1] = static_cast<float>(a.y + (static_cast<double>(b.y) - a.y) * s);
        local[2] = 0.0f;
    }
    if (local[0] < m_rectangle[0] || local[0] > m_rectangle[1] || local[1] < m_rectangle[2] ||
        local[1] > m_rectangle[3])
        return false;
    TransformPoint3f(m_frame, world, local);
    return true;
}

std::uint32_t cMeshPlaneSectioner::WeldCrossingPoint(const stSegmentEnd& end)
{
    if (end.index != kNoVertexIndex)
        return end.index;
    const float* p = end.point;
    const std::uint32_t index = m_crossingPoints.AddVertex(p[0], p[1], p[2], true, kCrossingMergeTolerance);
    // Only a point the cloud stored, and could index (finite, not absurdly
    // far out), is sure to weld to the same index again.
    const float kIndexable = 1e12f;
    if (index < m_crossingPoints.GetVertexCount() && std::fabs(p[0]) < kIndexable && std::fabs(p[1]) < kIndexable &&
        std::fabs(p[2]) < kIndexable)
        m_welded.Insert(end.key, p, index);
    return index;
}

void cMeshPlaneSectioner::AddSegment(const stSegmentEnd& first, const stSegmentEnd& second)
{
    const double dx = static_cast<double>(first.point[0]) - second.point[0];
    const double dy = static_cast<double>(first.point[1]) - second.point[1];
    const double dz = static_cast<double>(first.point[2]) - second.point[2];
    if (dx * dx + dy * dy + dz * dz < kShortSegmentSquared)
        return;
    const std::uint32_t i1 = WeldCrossingPoint(first);
    const std::uint32_t i2 = WeldCrossingPoint(second);
    if (i1 != i2)
        m_crossingEdges.AddEdge(i1, i2, 0, kSectionEdgeFlags);
}

void cMeshPlaneSectioner::ExtractPolylines(tSectionPolylines& collection, float tolerance, double angle)
{
    tFramePolyline<cVertex> work;
    tEdgeTree& edges = m_crossingEdges.GetTree();
    const std::uint32_t pointCount = m_crossingPoints.GetVertexCount();
    const auto appendVertex = [&](std::uint32_t index) {
        if (index < pointCount)
            work.AddVertex(*m_crossingPoints.GetVertex(index));
    };
    while (WalkVertexChain(edges, appendVertex))
    {
        if (work.GetVertexCount() >= 2)
        {
            std::copy(m_frame, m_frame + 12, work.frame);
            work.SetFrameMark();
            collection.Add(work);
        }
        work.Clear();
    }
    JoinPolylines(collection, tolerance > kMinJoinTolerance ? tolerance : kMinJoinTolerance, angle);
}

void SectionMeshByPlane(cMeshPlaneSectioner& sectioner, const cMesh* mesh, const double frame[12], std::uint8_t mask,
                        tSectionPolylines& collection, float tolerance, double angle)
{
    sectioner.SetFrame(frame);
    sectioner.SetMesh(mesh);
    sectioner.SetUnlimitedRectangle();
    sectioner.PrepareCrossingPoints();
    sectioner.CollectCrossingEdges(mask);
    sectioner.ExtractPolylines(collection, tolerance, angle);
    sectioner.ClearCrossingPoints();
}
