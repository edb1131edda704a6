#include "shapes/region_triangles.h"

#include "core/mesh.h"
#include "core/point_twins.h"
#include "core/thread_pool.h"
#include "shapes/session_surface.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <new>

namespace
{

constexpr std::uint32_t kTrianglesPerJob = 1u << 16;

struct stCentroidJob
{
    const cMesh* mesh;
    std::uint32_t count;
    float* centroids;
    std::uint8_t* marks;
    std::uint8_t hasCentroid;
    std::vector<float>* largest; // per job: the largest coordinate size
};

void CentroidsOfJob(void* context, std::uint32_t job)
{
    auto& c = *static_cast<stCentroidJob*>(context);
    const std::uint32_t begin = job * kTrianglesPerJob, end = std::min(c.count, begin + kTrianglesPerJob);
    float largest = 0.0f;
    for (std::uint32_t i = begin; i < end; ++i)
    {
        const cVertex* corners[3];
        float* centroid = c.centroids + 3 * std::size_t{i};
        if (!c.mesh->GetCorners(*c.mesh->GetTriangle(i), corners))
        {
            // Kept out of the twin search (an index cannot hold it).
            centroid[0] = centroid[1] = centroid[2] = std::numeric_limits<float>::quiet_NaN();
            c.marks[i] = 0;
            continue;
        }
        RegionCentroid(corners[0]->Position(), corners[1]->Position(), corners[2]->Position(), centroid);
        c.marks[i] = c.hasCentroid;
        for (int k = 0; k < 3; ++k)
            if (std::isfinite(centroid[k]))
                largest = std::max(largest, std::fabs(centroid[k]));
    }
    (*c.largest)[job] = largest;
}

} // namespace

cRegionTriangles::cRegionTriangles(const cMesh& mesh, cThreadPool* pool) : m_mesh(&mesh), m_count(0)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    const std::uint32_t jobs = (count + kTrianglesPerJob - 1) / kTrianglesPerJob;
    std::vector<float> largest;
    try
    {
        // Left unwritten until the jobs write every centroid and mark, on
        // the pool: cleared first on this thread, a 10M-triangle scan's
        // 130 MB took about 50 ms of the dialog's opening.
        m_centroids.reset(new float[3 * std::size_t{count}]);
        m_marks.reset(new std::uint8_t[count]);
        largest.assign(jobs, 0.0f);
    }
    catch (const std::bad_alloc&)
    {
        return; // IsFor stays false: the callers test each triangle on its own
    }
    stCentroidJob job{&mesh, count, m_centroids.get(), m_marks.get(), kHasCentroid, &largest};
    ParallelFor(pool, jobs, CentroidsOfJob, &job);

    // The radius no centroid's own exceeds, widened a little: a region point
    // within a centroid's radius then passes the twin search's box test in
    // its float arithmetic on every axis.
    float biggest = 0.0f;
    for (const float l : largest)
        biggest = std::max(biggest, l);
    const float corner[3] = {biggest, 0.0f, 0.0f};
    const float reach = std::nextafter(static_cast<float>(RegionMembershipRadius(corner) * 1.001), FLT_MAX);
    std::vector<std::uint8_t> twins;
    const bool searched = MarkPointTwins(m_centroids.get(), count, 3, reach, pool, twins);
    for (std::uint32_t i = 0; i < count; ++i)
        if (!searched || twins[i] != kPointAlone)
            m_marks[i] |= kMayHaveTwin;
    m_count = count;
}

bool cRegionTriangles::IsFor(const cMesh& mesh) const
{
    return &mesh == m_mesh && mesh.GetTriangleCount() == m_count && m_marks != nullptr;
}
