#include "analysis/deviation_pass.h"

#include "analysis/analysed_vertex_tree.h"
#include "core/bounding_box.h"
#include "core/mesh.h"
#include "core/scene_object.h"
#include "core/thread_pool.h"
#include "platform/geometry/mesh.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>
#include <utility>

namespace
{

// More jobs than threads keep the threads busy to the end when some parts of
// the mesh are slower to measure than others.
constexpr std::uint32_t kJobsPerThread = 4;

struct stJobContext
{
    const cCADSearchTree* tree;
    std::vector<stDeviationJob>* jobs;
};

void MeasureEntry(const cCADSearchTree& tree, const float* p, double start, double& distance)
{
    double radius = start;
    const ON_3fPoint* vertex = tree.NearestVertex(p, radius);
    // Every face at the nearest vertex lies within its distance, so that bound
    // keeps the face search to a small neighbourhood.
    const double bound = vertex != nullptr ? radius + kVertexBoundSlack : start;
    double d = bound;
    double closest[3];
    const cInspectionFace* face = tree.ClosestFace(p, d, closest);
    if (face == nullptr && bound < start)
    {
        // The nearest vertex belongs to no usable face: search the whole
        // distance instead of reporting the vertex as unmeasured.
        d = start;
        face = tree.ClosestFace(p, d, closest);
    }
    if (face != nullptr)
        distance = d;
}

void RunJob(void* context, std::uint32_t index)
{
    auto* c = static_cast<stJobContext*>(context);
    stDeviationJob& job = (*c->jobs)[index];
    const std::size_t count = job.points.size();
    const bool sides = job.sidesBeyond && job.sides.size() == count && job.startDistance < double(FLT_MAX);
    for (std::size_t e = 0; e < count; ++e)
    {
        if (job.points[e] == nullptr)
            continue;
        MeasureEntry(*c->tree, job.points[e], job.startDistance, job.distances[e]);
        if (!sides || job.distances[e] != double(FLT_MAX))
            continue;
        double beyond = FLT_MAX;
        MeasureEntry(*c->tree, job.points[e], FLT_MAX, beyond);
        if (beyond != double(FLT_MAX))
            job.sides[e] = static_cast<std::int8_t>(beyond < 0.0 ? -1 : 1);
    }
}

// Spreads the low 21 bits of v to every third bit.
std::uint64_t SpreadBits(std::uint64_t v)
{
    v &= 0x1FFFFF;
    v = (v | v << 32) & 0x1F00000000FFFFull;
    v = (v | v << 16) & 0x1F0000FF0000FFull;
    v = (v | v << 8) & 0x100F00F00F00F00Full;
    v = (v | v << 4) & 0x10C30C30C30C30C3ull;
    v = (v | v << 2) & 0x1249249249249249ull;
    return v;
}

// The vertices to measure in the order of a space-filling curve through
// their box, the others after them. Neighbouring queries then walk the same
// branches of the search trees, which stay in the cache; each vertex is
// still measured on its own, so the order changes no result.
template <class TPositionOf>
std::vector<std::uint32_t> SpatialOrder(std::uint32_t count, TPositionOf positionOf)
{
    float box[6];
    MakeEmptyBox3f(box);
    for (std::uint32_t i = 0; i < count; ++i)
        if (const float* p = positionOf(i); p != nullptr && std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]))
            GrowBox3f(box, p);
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed(count);
    double scale[3] = {0.0, 0.0, 0.0};
    if (IsValidBoundingBox3f(box))
        for (int k = 0; k < 3; ++k)
        {
            const double extent = static_cast<double>(box[k + 3]) - box[k];
            scale[k] = extent > 0.0 ? 2097151.0 / extent : 0.0;
        }
    for (std::uint32_t i = 0; i < count; ++i)
    {
        std::uint64_t key = ~std::uint64_t{0};
        const float* p = positionOf(i);
        if (p != nullptr && std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]))
        {
            key = 0;
            for (int k = 0; k < 3; ++k)
                key |= SpreadBits(static_cast<std::uint64_t>((p[k] - box[k]) * scale[k])) << k;
        }
        keyed[i] = {key, i};
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::uint32_t> order(count);
    for (std::uint32_t i = 0; i < count; ++i)
        order[i] = keyed[i].second;
    return order;
}

// Empties the jobs and deals the vertices over them in contiguous runs of
// their spatial order, so that each job walks one region of the trees.
// positionOf(i) gives vertex i's position, or null for a vertex that is not
// measured.
template <class TPositionOf>
bool DistributeVertices(std::vector<stDeviationJob>& jobs, const stAnalysisSettings& settings, float maximum,
                        std::uint32_t count, TPositionOf positionOf, bool sidesBeyond = false)
{
    try
    {
        jobs.clear();
        const std::vector<std::uint32_t> order = SpatialOrder(count, positionOf);
        const std::uint32_t threads =
            settings.pool != nullptr ? static_cast<std::uint32_t>(settings.pool->GetThreadCount()) : 1u;
        const std::uint32_t jobCount = std::max(1u, std::min(count, threads * kJobsPerThread));
        // The pass's own maximum, the one its colours use: a vertex beyond it
        // must stay unmeasured, not be found and coloured past the scale.
        const double start = settings.colourOutOfRange ? static_cast<double>(FLT_MAX) : static_cast<double>(maximum);
        jobs.resize(jobCount);
        for (std::uint32_t j = 0; j < jobCount; ++j)
        {
            const auto begin = static_cast<std::uint32_t>(std::uint64_t{count} * j / jobCount);
            const auto end = static_cast<std::uint32_t>(std::uint64_t{count} * (j + 1) / jobCount);
            stDeviationJob& job = jobs[j];
            job.startDistance = start;
            job.points.resize(end - begin);
            job.distances.assign(end - begin, FLT_MAX);
            job.indices.resize(end - begin);
            job.sidesBeyond = sidesBeyond;
            job.sides.assign(sidesBeyond ? end - begin : 0, 0);
            for (std::uint32_t e = begin; e < end; ++e)
            {
                job.indices[e - begin] = order[e];
                job.points[e - begin] = positionOf(order[e]);
            }
        }
        return true;
    }
    catch (const std::bad_alloc&)
    {
        jobs.clear();
        return false;
    }
}

bool CanRun(const stAnalysisSettings& settings, float tolerance, float maximum)
{
    return IsValidRampRange(tolerance, maximum) && settings.searchTree.IsSearchable();
}

void ReleaseJobs(std::vector<stDeviationJob>& jobs)
{
    std::vector<stDeviationJob>().swap(jobs);
}

} // namespace

void MeasureDeviationJobs(const cCADSearchTree& tree, std::vector<stDeviationJob>& jobs, cThreadPool* pool)
{
    stJobContext context{&tree, &jobs};
    ParallelFor(pool, static_cast<std::uint32_t>(jobs.size()), RunJob, &context);
}

namespace
{

// The jobs of a pass and, as task 0 of the same batch, the rebuild of the
// mesh's analysed-vertex tree: it reads only the mesh, which the jobs only
// read too, so it runs beside them instead of before or after them.
struct stPassContext
{
    stJobContext jobs;
    cAVTree* vertexTree;
    const ON_Mesh* hostMesh;
    const cMesh* sceneMesh;
};

void RunPassTask(void* context, std::uint32_t index)
{
    auto* c = static_cast<stPassContext*>(context);
    if (index > 0)
    {
        RunJob(&c->jobs, index - 1);
        return;
    }
    if (c->hostMesh != nullptr)
        c->vertexTree->Build(c->hostMesh);
    else
        c->vertexTree->Build(c->sceneMesh);
}

void MeasureAndRebuild(const stAnalysisSettings& settings, std::vector<stDeviationJob>& jobs, cAVTree* vertexTree,
                       const ON_Mesh* hostMesh, const cMesh* sceneMesh)
{
    stPassContext context{{&settings.searchTree, &jobs}, vertexTree, hostMesh, sceneMesh};
    ParallelFor(settings.pool, static_cast<std::uint32_t>(jobs.size()) + 1, RunPassTask, &context);
}

} // namespace

bool HostPass(stAnalysisSettings& settings, ON_Mesh* mesh, float tolerance, float maximum)
{
    if (mesh == nullptr || !CanRun(settings, tolerance, maximum))
        return false;
    const auto count = static_cast<std::uint32_t>(mesh->VertexCount());
    std::vector<stDeviationJob>& jobs = settings.hostJobs;
    // A new tree is built from the mesh as it is made; one from an earlier
    // pass is rebuilt beside the jobs.
    cON_AVTree* tree = cON_AVTree::Find(mesh);
    const bool rebuild = tree != nullptr;
    if (tree == nullptr)
        tree = cON_AVTree::GetOrCreate(mesh);
    if (tree == nullptr)
        return false;
    if (!DistributeVertices(
            jobs, settings, maximum, count, [mesh](std::uint32_t i) { return &mesh->m_V[static_cast<int>(i)].x; },
            true))
        return false;
    if (rebuild)
        MeasureAndRebuild(settings, jobs, tree, mesh, nullptr);
    else
        MeasureDeviationJobs(settings.searchTree, jobs, settings.pool);

    mesh->m_C.SetCount(0);
    mesh->m_C.Reserve(static_cast<int>(count));
    for (std::uint32_t i = 0; i < count; ++i)
        mesh->m_C.Append(ON_Color(0u));

    for (const stDeviationJob& job : jobs)
    {
        for (std::size_t e = 0; e < job.indices.size(); ++e)
        {
            const auto d = static_cast<float>(job.distances[e]);
            std::uint8_t r = kUnmeasuredGrey, g = kUnmeasuredGrey, b = kUnmeasuredGrey;
            if (d != FLT_MAX)
                Ramp(d, maximum, tolerance, -maximum, maximum, settings.colours, r, g, b, 1.0f);
            const std::uint32_t index = job.indices[e];
            mesh->m_C[static_cast<int>(index)] = ON_Color(r, g, b);
            tree->SetDeviation(index, d);
            if (e < job.sides.size() && job.sides[e] != 0)
                tree->SetBeyondSide(index, job.sides[e]);
        }
    }
    tree->ComputeStatistics(tolerance, maximum);
    ReleaseJobs(jobs);
    return true;
}

namespace
{

void SetSceneColour(cVertex& v, const std::uint8_t rgb[3])
{
    for (int c = 0; c < 3; ++c)
        v.extra[c] = static_cast<std::uint8_t>(static_cast<float>(rgb[c]) * kSceneColourScale);
}

} // namespace

bool ClearScenePass(ISceneObject* object)
{
    auto* mesh = object != nullptr ? static_cast<cMesh*>(object->QueryInterface(IID_cMesh)) : nullptr;
    if (mesh == nullptr)
        return false;
    cVTL_AVTree* tree = cVTL_AVTree::GetOrCreateProperty(object);
    if (tree == nullptr)
        return false;
    tree->Build(mesh);
    const std::uint8_t grey[3] = {kUnmeasuredGrey, kUnmeasuredGrey, kUnmeasuredGrey};
    mesh->ForEachVertex([&grey](cVertex& v) { SetSceneColour(v, grey); });
    return true;
}

bool ScenePass(stAnalysisSettings& settings, ISceneObject* object, bool selectionOnly, float tolerance, float maximum)
{
    if (object == nullptr || !CanRun(settings, tolerance, maximum))
        return false;
    auto* mesh = static_cast<cMesh*>(object->QueryInterface(IID_cMesh));
    if (mesh == nullptr)
        return false;

    if (!selectionOnly)
    {
        mesh->ForEachVertex([](cVertex& v) { v.flags |= kVertexFlagCompare; });
    }
    else
    {
        mesh->ForEachVertex([](cVertex& v) { v.flags &= ~kVertexFlagCompare; });
        mesh->ForEachTriangle([mesh](cMeshTriangle& t) {
            if ((t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) != kTriangleFlagSelected)
                return;
            cVertex* corners[3];
            if (!mesh->GetCorners(t, corners))
                return;
            for (cVertex* v : corners)
                v->flags |= kVertexFlagCompare;
        });
    }

    const std::uint32_t count = mesh->GetVertexCount();
    std::vector<stDeviationJob>& jobs = settings.sceneJobs;
    auto measured = [mesh](std::uint32_t i) -> const float* {
        const cVertex* v = mesh->GetVertex(i);
        const bool compare = (v->flags & kVertexFlagCompare) != 0 && (v->flags & kVertexFlagExcluded) == 0;
        return compare ? v->Position() : nullptr;
    };
    cVTL_AVTree* tree = cVTL_AVTree::GetOrCreateProperty(object);
    if (tree == nullptr)
        return false;
    if (!DistributeVertices(jobs, settings, maximum, count, measured))
        return false;
    MeasureAndRebuild(settings, jobs, tree, nullptr, mesh);

    for (const stDeviationJob& job : jobs)
    {
        for (std::size_t e = 0; e < job.indices.size(); ++e)
        {
            const auto d = static_cast<float>(job.distances[e]);
            std::uint8_t rgb[3] = {kUnmeasuredGrey, kUnmeasuredGrey, kUnmeasuredGrey};
            if (d != FLT_MAX)
                Ramp(d, maximum, tolerance, -maximum, maximum, settings.colours, rgb[0], rgb[1], rgb[2], 1.0f);
            const std::uint32_t index = job.indices[e];
            SetSceneColour(*mesh->GetVertex(index), rgb);
            tree->SetDeviation(index, d);
        }
    }
    tree->ComputeStatistics(tolerance);
    ReleaseJobs(jobs);
    return true;
}
