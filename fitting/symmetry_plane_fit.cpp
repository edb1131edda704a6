#include "fitting/symmetry_plane_fit.h"

#include "core/bucket_search_tree_prop.h"
#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/point_cloud.h"
#include "core/pool_team.h"
#include "core/scene_object.h"
#include "core/simplex_minimiser.h"
#include "core/thread_pool.h"
#include "core/topology.h"
#include "core/vector_math.h"
#include "fitting/fit_container.h"
#include "fitting/plane_fit.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <exception>
#include <vector>

namespace
{

// The minimiser's first steps are relative to each parameter. Its offset is
// therefore measured from the samples' centroid, in units of their spread and
// shifted by one, so that its first step is a fixed share of the part's size
// and a turn of the normal pivots the plane about the part, wherever the part
// lies. A fixed offset stays the caller's, measured from the world origin.
struct SymmetryObjectiveContext
{
    cSymmetryPlaneFit* fit;
    stConstrainedPlane plane;
    double reference[3];
    double spread;
};

double OffsetParameter(const SymmetryObjectiveContext& ctx, const double n[3], double d)
{
    return 1.0 + (d + Dot3d(n, ctx.reference)) / ctx.spread;
}

void UnpackWorldPlane(const SymmetryObjectiveContext& ctx, const cDoubleVector& x, double n[3], double& d)
{
    ctx.plane.Unpack(x, n, d);
    if (ctx.plane.offsetOpen)
        d = (d - 1.0) * ctx.spread - Dot3d(n, ctx.reference);
}

// MirrorError at several points: their samples' partners sought side by
// side (cSymmetryPlaneFit::MirrorErrors).
void MirrorObjectives(const cDoubleVector* x, std::uint32_t count, double* values, void* context)
{
    const auto* ctx = static_cast<const SymmetryObjectiveContext*>(context);
    std::vector<double> normals(3 * std::size_t{count}), offsets(count);
    for (std::uint32_t i = 0; i < count; ++i)
        UnpackWorldPlane(*ctx, x[i], &normals[3 * std::size_t{i}], offsets[i]);
    ctx->fit->MirrorErrors(normals.data(), offsets.data(), count, values);
}

cPointCloud* SourceVertices(ISceneObject* source)
{
    return source != nullptr ? static_cast<cPointCloud*>(source->QueryInterface(IID_cPointCloud)) : nullptr;
}

// The centroid and RMS distance from it of the vertices MirrorError samples;
// the origin and 1 when there are none.
// The flag bits that keep a vertex from being a sample. The marked region
// (bit 1) is what the plane was fitted to, and the rest of the object
// measures its symmetry; a region that covers the whole object leaves
// nothing else, so then the region itself is measured rather than leaving
// the plane without an error. Empty vertices (bit 0) never count.
std::uint32_t SampleSkipMask(cPointCloud* cloud, std::uint32_t stride)
{
    if (cloud == nullptr)
        return 3u;
    const std::uint32_t count = cloud->GetVertexCount();
    for (std::uint64_t i = 0; i < count; i += stride)
        if ((cloud->GetVertex(static_cast<std::uint32_t>(i))->flags & 3u) == 0)
            return 3u;
    return 1u;
}

void SampleCentreAndSpread(cPointCloud* cloud, std::uint32_t stride, std::uint32_t skip, double centre[3], double& spread)
{
    centre[0] = centre[1] = centre[2] = 0.0;
    spread = 1.0;
    if (cloud == nullptr)
        return;
    const std::uint32_t count = cloud->GetVertexCount();
    auto forEachSample = [&](auto&& visit)
    {
        for (std::uint64_t i = 0; i < count; i += stride)
        {
            const cVertex* v = cloud->GetVertex(static_cast<std::uint32_t>(i));
            if ((v->flags & skip) == 0)
                visit(v);
        }
    };
    double sum[3] = {0.0, 0.0, 0.0};
    std::uint64_t used = 0;
    forEachSample(
        [&](const cVertex* v)
        {
            sum[0] += v->x;
            sum[1] += v->y;
            sum[2] += v->z;
            ++used;
        });
    if (used == 0)
        return;
    for (int k = 0; k < 3; ++k)
        centre[k] = sum[k] / static_cast<double>(used);
    double squares = 0.0;
    forEachSample(
        [&](const cVertex* v)
        {
            const double p[3] = {v->x - centre[0], v->y - centre[1], v->z - centre[2]};
            squares += Dot3d(p, p);
        });
    const double rms = std::sqrt(squares / static_cast<double>(used));
    if (rms > 0.0 && std::isfinite(rms))
        spread = rms;
}

constexpr double kTolerance = 1e-4;
constexpr int kMaxSimplexRuns = 6;
// Every thread of the pool may help seek the partners.
constexpr std::size_t kTeamHelpers = 64;

} // namespace

cSymmetryPlaneFit::cSymmetryPlaneFit(double maxDistance, std::uint32_t maxPoints, ISceneObject* source)
    : m_source(source), m_maxDistance(maxDistance)
{
    if (maxPoints > 0)
    {
        if (cPointCloud* cloud = SourceVertices(source))
            m_stride = cloud->GetVertexCount() / maxPoints + 1;
    }
    MakeIdentity3x4(m_fitTransform);
    m_fitTransform[10] = -1.0;
}

cSymmetryPlaneFit::~cSymmetryPlaneFit()
{
    m_planes.clear();
}

double cSymmetryPlaneFit::MirrorError(const double normal[3], double offset)
{
    double error = FLT_MAX;
    MirrorErrors(normal, &offset, 1, &error);
    return error;
}

bool cSymmetryPlaneFit::MirrorOf(const double normal[3], double offset, double mirror[12]) const
{
    // The plane as a unit normal and the matching offset.
    const double length = std::sqrt(Dot3d(normal, normal));
    if (!(length > FLT_EPSILON) || !std::isfinite(length) || !std::isfinite(offset))
        return false;
    const double n[3] = {normal[0] / length, normal[1] / length, normal[2] / length};
    const double d = offset / length;

    // F maps world to a frame whose XY plane is the candidate plane; the
    // mirror is M = F^-1 S F.
    double frame[12];
    MakeFrameFromNormal(frame, n);
    const double onPlane[3] = {-d * n[0], -d * n[1], -d * n[2]};
    for (int r = 0; r < 3; ++r)
        frame[4 * r + 3] = -(frame[4 * r] * onPlane[0] + frame[4 * r + 1] * onPlane[1] + frame[4 * r + 2] * onPlane[2]);
    double inverse[12];
    std::copy(frame, frame + 12, inverse);
    InvertRigidTransform3x4(inverse);
    double reflected[12];
    MultiplyTransform3x4(m_fitTransform, reflected, frame);
    MultiplyTransform3x4(inverse, mirror, reflected);
    return true;
}

void cSymmetryPlaneFit::MirrorErrors(const double* normals, const double* offsets, std::uint32_t count,
                                     double* errors)
{
    std::fill(errors, errors + count, FLT_MAX);
    std::vector<std::array<double, 12>> mirrors(count);
    std::vector<std::uint32_t> planes;
    for (std::uint32_t c = 0; c < count; ++c)
        if (MirrorOf(normals + 3 * std::size_t{c}, offsets[c], mirrors[c].data()))
            planes.push_back(c);
    if (planes.empty())
        return;
    cBucketSearchTreeProp* tree = cBucketSearchTreeProp::GetOrAttach(m_source, kBucketSearchTreePropertyName);
    if (tree == nullptr || !tree->EnsureBuilt())
        return;
    cPointCloud* cloud = SourceVertices(m_source);
    if (cloud == nullptr)
        return;

    // The samples, the same for every plane, a chunk at a time (every
    // vertex is a sample when no bound was given). Each plane's mirrored
    // samples and their partners are sought a run of samples of one plane a
    // job on the shared pool (the tree is only read); each plane's errors are
    // then added in the samples' order, one plane after another: the local
    // planes they fill in are the matched vertices' own, whichever plane
    // asks first.
    struct stMatch
    {
        double q[3];
        const cVertex* match;
    };
    constexpr std::size_t kSamplesPerChunk = std::size_t{1} << 16;
    constexpr std::size_t kSamplesPerJob = 64;
    std::vector<const cVertex*> samples;
    std::vector<stMatch> matches;
    std::vector<double> sums(planes.size(), 0.0);
    std::vector<std::uint64_t> matched(planes.size(), 0);
    const std::uint32_t skip = SampleSkipMask(cloud, m_stride);
    const std::uint32_t vertexCount = cloud->GetVertexCount();
    for (std::uint64_t i = 0; i < vertexCount;)
    {
        samples.clear();
        for (; i < vertexCount && samples.size() < kSamplesPerChunk; i += m_stride)
        {
            const cVertex* v = cloud->GetVertex(static_cast<std::uint32_t>(i));
            if ((v->flags & skip) == 0)
                samples.push_back(v);
        }
        const std::size_t n = samples.size();
        const std::size_t runs = (n + kSamplesPerJob - 1) / kSamplesPerJob;
        matches.resize(planes.size() * n);
        auto seek = [&](std::size_t job) {
            const std::size_t plane = job / runs, first = (job % runs) * kSamplesPerJob;
            const double* mirror = mirrors[planes[plane]].data();
            for (std::size_t k = first; k < std::min(n, first + kSamplesPerJob); ++k)
            {
                const cVertex* v = samples[k];
                const double p[3] = {v->x, v->y, v->z};
                stMatch& m = matches[plane * n + k];
                for (int r = 0; r < 3; ++r)
                    m.q[r] = mirror[4 * r] * p[0] + mirror[4 * r + 1] * p[1] + mirror[4 * r + 2] * p[2] + mirror[4 * r + 3];
                double radius = m_maxDistance;
                m.match = tree->FindNearest(m.q, radius);
            }
        };
        if (m_team != nullptr)
            m_team->Run(planes.size() * runs, seek);
        else
            ParallelForEach(SharedThreadPool(), planes.size() * runs, 1, seek);
        for (std::size_t plane = 0; plane < planes.size(); ++plane)
            for (std::size_t k = 0; k < n; ++k)
            {
                const stMatch& m = matches[plane * n + k];
                if (m.match == nullptr)
                    continue;
                sums[plane] += PointError(m.q, m.match);
                ++matched[plane];
            }
    }
    for (std::size_t plane = 0; plane < planes.size(); ++plane)
    {
        const double sum = sums[plane];
        const std::uint64_t used = matched[plane];
        errors[planes[plane]] = used > 0 ? sum / static_cast<double>(used) : FLT_MAX;
    }
}

std::uint32_t cSymmetryPlaneFit::RingOf(ITopology* topology, const cVertex* vertex, tVertexDeque& ring)
{
    auto* mesh = static_cast<cMesh*>(m_source->QueryInterface(IID_cMesh));
    const std::uint32_t index = vertex->index;
    if (mesh == nullptr || index >= mesh->GetVertexCount() || mesh->GetVertex(index) != vertex)
        return topology->GetVertexNeighbours(vertex, 1, ring);
    FindFirstTriangles(mesh);
    return mesh->GetVertexNeighboursFrom(m_firstTriangles[index], index, 1, ring);
}

void cSymmetryPlaneFit::FindFirstTriangles(cMesh* mesh)
{
    if (m_firstTrianglesFound)
        return;
    m_firstTriangles = mesh->FirstTriangleOfEachVertex();
    m_firstTrianglesFound = true;
}

double cSymmetryPlaneFit::PointError(const double mirrored[3], const cVertex* matched)
{
    if (matched == nullptr)
        return FLT_MAX;
    const stLocalPlane* plane = nullptr;
    bool meshVertex = false;
    auto found = m_planes.find(matched);
    if (found != m_planes.end())
    {
        plane = &found->second;
    }
    else if (m_source != nullptr)
    {
        if (auto* topology = static_cast<ITopology*>(m_source->QueryInterface(IID_ITopology)))
        {
            meshVertex = true;
            tVertexDeque ring;
            if (RingOf(topology, matched, ring) > 0)
            {
                tFitPointQueue points;
                const float xAxis[3] = {1.0f, 0.0f, 0.0f};
                for (const cVertex* v : ring)
                {
                    stFitPoint point = MakeFitPoint(v->Position(), xAxis);
                    point.residual = FLT_MAX;
                    points.push_back(point);
                }
                cPlaneFit fit(points);
                double n[3];
                double d;
                if (fit.EstimateNormal(n, d))
                {
                    const stLocalPlane local{{static_cast<float>(n[0]), static_cast<float>(n[1]),
                                              static_cast<float>(n[2])},
                                             static_cast<float>(d)};
                    plane = &m_planes.emplace(matched, local).first->second;
                }
            }
        }
    }
    if (plane != nullptr)
    {
        return std::fabs(static_cast<double>(plane->normal[0]) * mirrored[0] +
                         static_cast<double>(plane->normal[1]) * mirrored[1] +
                         static_cast<double>(plane->normal[2]) * mirrored[2] + static_cast<double>(plane->offset));
    }
    // No local plane: the plane is sought again at the next call. A cloud
    // without topology is measured by squared distances throughout. A mesh
    // vertex whose ring gives no plane (a corner with two neighbours, say)
    // counts its plain distance instead: the mean over the mesh is one of
    // lengths, and a squared length among them would weigh the few such
    // vertices by the part's size and unit, pulling a metre-sized part's
    // plane off where a millimetre-sized one's stays.
    const double dx = mirrored[0] - matched->x, dy = mirrored[1] - matched->y, dz = mirrored[2] - matched->z;
    const double squared = dx * dx + dy * dy + dz * dz;
    return meshVertex ? std::sqrt(squared) : squared;
}

bool cSymmetryPlaneFit::Fit(double normal[3], double& offset, const std::uint8_t open[4])
{
    SymmetryObjectiveContext ctx{};
    ctx.fit = this;
    ctx.plane.Set(normal, offset, open);
    const std::uint32_t openCount = ctx.plane.OpenCount();
    if (openCount == 0)
        return true;
    cDoubleVector x(openCount);
    if (x.GetCount() != openCount)
        return false;
    ctx.spread = 1.0;
    if (ctx.plane.offsetOpen)
        SampleCentreAndSpread(SourceVertices(m_source), m_stride, SampleSkipMask(SourceVertices(m_source), m_stride),
                              ctx.reference, ctx.spread);
    // No estimate of its own: the search starts from the caller's plane.
    const double start = ctx.plane.offsetOpen ? OffsetParameter(ctx, ctx.plane.givenNormal, offset) : offset;
    ctx.plane.Pack(ctx.plane.givenNormal, start, x);
    // The nearest-vertex matches make the mirror error step wherever a match
    // changes, and outliers spoil the local planes around them; on such a
    // surface the simplex can flatten and report convergence degrees away
    // from the minimum. A fresh simplex at the point reached finds the way
    // on, so the search is restarted until a run no longer lowers the error.
    //
    // The steps' hundreds of small batches of partners (a few hundred
    // samples each) are sought by a team of the pool's threads kept for the
    // whole search: handing each batch to the pool anew cost about as much
    // as seeking it. What the pool makes at once for the whole search (the
    // vertex tree, a mesh's first triangles) is made before the team forms,
    // as the team's lead cannot hand work to the pool.
    if (auto* tree = cBucketSearchTreeProp::GetOrAttach(m_source, kBucketSearchTreePropertyName))
        tree->EnsureBuilt();
    if (auto* mesh = m_source != nullptr ? static_cast<cMesh*>(m_source->QueryInterface(IID_cMesh)) : nullptr)
        FindFirstTriangles(mesh);
    bool failed = false;
    // What the search throws (no memory) is thrown here, on the caller's
    // thread, not on the pool's.
    std::exception_ptr thrown;
    auto search = [&](cPoolTeam& team) {
        m_team = &team;
        struct stLeave
        {
            cPoolTeam*& team;
            ~stLeave() { team = nullptr; }
        } leave{m_team};
        try
        {
            double best = FLT_MAX;
            for (int run = 0; run < kMaxSimplexRuns; ++run)
            {
                double reached = FLT_MAX;
                if (MinimiseSimplexBatched(x, MirrorObjectives, &ctx, kTolerance, 1500, 0.005f, &reached) ==
                    kSimplexFailed)
                {
                    failed = true;
                    return;
                }
                const bool improved = reached < best * (1.0 - kTolerance);
                best = std::min(best, reached);
                if (!improved)
                    break;
            }
        }
        catch (...)
        {
            thrown = std::current_exception();
        }
    };
    RunWithPoolTeam(SharedThreadPool(), kTeamHelpers, search);
    if (thrown)
        std::rethrow_exception(thrown);
    if (failed)
        return false;
    double n[3];
    double d;
    UnpackWorldPlane(ctx, x, n, d);
    if (!std::isfinite(n[0]) || !std::isfinite(n[1]) || !std::isfinite(n[2]) || !std::isfinite(d))
        return false;
    std::copy(n, n + 3, normal);
    offset = d;
    return true;
}
