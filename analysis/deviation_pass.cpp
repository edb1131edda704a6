#include "analysis/deviation_pass.h"

#include "analysis/analysed_vertex_tree.h"
#include "core/mesh.h"
#include "core/scene_object.h"
#include "core/thread_pool.h"
#include "platform/geometry/mesh.h"

#include <algorithm>
#include <cfloat>
#include <new>

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
    for (std::size_t e = 0; e < count; ++e)
        if (job.points[e] != nullptr)
            MeasureEntry(*c->tree, job.points[e], job.startDistance, job.distances[e]);
}

// Empties the jobs and deals `count` vertices over them in contiguous
// blocks, so that each job walks one region of the tree.
bool DistributeVertices(std::vector<stDeviationJob>& jobs, const stAnalysisSettings& settings, std::uint32_t count)
{
    try
    {
        jobs.clear();
        const std::uint32_t threads =
            settings.pool != nullptr ? static_cast<std::uint32_t>(settings.pool->GetThreadCount()) : 1u;
        const std::uint32_t jobCount = std::max(1u, std::min(count, threads * kJobsPerThread));
        const double start = settings.colourOutOfRange ? static_cast<double>(FLT_MAX) : settings.maximum;
        jobs.resize(jobCount);
        for (std::uint32_t j = 0; j < jobCount; ++j)
        {
            const auto begin = static_cast<std::uint32_t>(std::uint64_t{count} * j / jobCount);
            const auto end = static_cast<std::uint32_t>(std::uint64_t{count} * (j + 1) / jobCount);
            stDeviationJob& job = jobs[j];
            job.startDistance = start;
            job.points.assign(end - begin, nullptr);
            job.distances.assign(end - begin, FLT_MAX);
            job.indices.resize(end - begin);
            for (std::uint32_t i = begin; i < end; ++i)
                job.indices[i - begin] = i;
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

bool HostPass(stAnalysisSettings& settings, ON_Mesh* mesh, float tolerance, float maximum)
{
    if (mesh == nullptr || !CanRun(settings, tolerance, maximum))
        return false;
    const auto count = static_cast<std::uint32_t>(mesh->VertexCount());
    std::vector<stDeviationJob>& jobs = settings.hostJobs;
    if (!DistributeVertices(jobs, settings, count))
        return false;
    for (stDeviationJob& job : jobs)
        for (std::size_t e = 0; e < job.indices.size(); ++e)
            job.points[e] = &mesh->m_V[static_cast<int>(job.indices[e])].x;
    MeasureDeviationJobs(settings.searchTree, jobs, settings.pool);

    cON_AVTree* tree = cON_AVTree::GetOrCreate(mesh);
    if (tree == nullptr)
    {
        ReleaseJobs(jobs);
        return false;
    }
    tree->Build(mesh);
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
        }
    }
    tree->ComputeStatistics(tolerance);
    ReleaseJobs(jobs);
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
    if (!DistributeVertices(jobs, settings, count))
        return false;
    for (stDeviationJob& job : jobs)
    {
        for (std::size_t e = 0; e < job.indices.size(); ++e)
        {
            const cVertex* v = mesh->GetVertex(job.indices[e]);
            if ((v->flags & kVertexFlagCompare) != 0 && (v->flags & kVertexFlagExcluded) == 0)
                job.points[e] = v->Position();
        }
    }
    MeasureDeviationJobs(settings.searchTree, jobs, settings.pool);

    cVTL_AVTree* tree = cVTL_AVTree::GetOrCreateProperty(object);
    if (tree == nullptr)
    {
        ReleaseJobs(jobs);
        return false;
    }
    tree->Build(mesh);
    for (const stDeviationJob& job : jobs)
    {
        for (std::size_t e = 0; e < job.indices.size(); ++e)
        {
            const auto d = static_cast<float>(job.distances[e]);
            std::uint8_t rgb[3] = {kUnmeasuredGrey, kUnmeasuredGrey, kUnmeasuredGrey};
            if (d != FLT_MAX)
                Ramp(d, maximum, tolerance, -maximum, maximum, settings.colours, rgb[0], rgb[1], rgb[2], 1.0f);
            const std::uint32_t index = job.indices[e];
            cVertex* v = mesh->GetVertex(index);
            for (int c = 0; c < 3; ++c)
                v->extra[c] = static_cast<std::uint8_t>(static_cast<float>(rgb[c]) * kSceneColourScale);
            tree->SetDeviation(index, d);
        }
    }
    tree->ComputeStatistics(tolerance);
    ReleaseJobs(jobs);
    return true;
}
