#include "analysis/segmentation.h"

#include "core/bounding_box.h"
#include "core/vector_math.h"
#include "core/walk_stack.h"

#include <algorithm>
#include <cfloat>
#include <new>
#include <vector>

namespace
{

constexpr std::uint32_t kAngleProgressStep = 500;
constexpr std::uint32_t kSmoothProgressStep = 1000;

float ValueOf(const cVertex& v)
{
    return v.GetScalar();
}

// The triangles of one connected region of the seed's class that carry the
// scratch bit, which the walk consumes; optionally their area.
std::uint32_t WalkRegion(cMesh& mesh, cMeshTriangle* seed, double* area, std::vector<cMeshTriangle*>* members)
{
    if (area != nullptr)
        *area = 0.0;
    if (seed == nullptr)
        return 0;
    const bool seedClass = IsVisibleSelected(*seed);
    std::uint32_t count = 0;
    tWalkStack<cMeshTriangle> stack;
    stack.Push(seed);
    while (!stack.IsEmpty())
    {
        cMeshTriangle* t = stack.Pop();
        if ((t->flags & kTriangleFlagScratch) == 0)
            continue;
        ++count;
        if (area != nullptr)
        {
            const cVertex* corners[3];
            if (mesh.GetCorners(*t, corners))
                *area += TriangleArea(corners[0]->Position(), corners[1]->Position(), corners[2]->Position());
        }
        if (members != nullptr)
            members->push_back(t);
        t->flags &= static_cast<std::uint8_t>(~kTriangleFlagScratch);
        for (cMeshTriangle* n : t->neighbour)
            if (n != nullptr && (n->flags & kTriangleFlagScratch) != 0 && IsVisibleSelected(*n) == seedClass)
                stack.Push(n);
    }
    return count;
}

} // namespace

void ComputeSegmentationValues(cMesh& mesh)
{
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    for (std::uint32_t i = 0; i < vertexCount; ++i)
    {
        cVertex* v = mesh.GetVertex(i);
        v->index = i;
        v->SetScalar(-FLT_MAX);
    }

    IProcProgress* progress = cProcProgressNull::Shared();
    progress->SetPassCount(2);
    const std::uint32_t triangleCount = mesh.GetTriangleCount();
    progress->SetRange(0.0f, static_cast<float>(triangleCount));
    for (std::uint32_t i = 0; i < triangleCount; ++i)
    {
        if (i % kAngleProgressStep == 0)
            progress->SetPosition(static_cast<float>(i));
        cVertex* c[3];
        if (!mesh.GetCorners(*mesh.GetTriangle(i), c))
            continue;
        const auto ab = static_cast<float>(AngleBetweenVectors(c[0]->Normal(), c[1]->Normal()));
        const auto bc = static_cast<float>(AngleBetweenVectors(c[1]->Normal(), c[2]->Normal()));
        const auto ca = static_cast<float>(AngleBetweenVectors(c[2]->Normal(), c[0]->Normal()));
        c[0]->SetScalar(std::max({ValueOf(*c[0]), ab, ca}));
        c[1]->SetScalar(std::max({ValueOf(*c[1]), ab, bc}));
        c[2]->SetScalar(std::max({ValueOf(*c[2]), bc, ca}));
    }
    mesh.ForEachVertex([](cVertex& v) {
        if (ValueOf(v) > kSharpAngleLimit)
            v.SetScalar(FLT_MAX);
    });
    NormalizeVertexValues(mesh, kSegmentationValueScale);
    progress->SetPosition(progress->GetRangeEnd());
    SmoothVertexValues(mesh, progress);
}

void NormalizeVertexValues(cMesh& mesh, double scale)
{
    double maximum = -FLT_MAX;
    double minimum = FLT_MAX;
    mesh.ForEachVertex([&](cVertex& v) {
        const float value = ValueOf(v);
        if (value == FLT_MAX || value == -FLT_MAX)
            return;
        maximum = std::max(maximum, static_cast<double>(value));
        minimum = std::min(minimum, static_cast<double>(value));
    });
    const bool counted = maximum >= minimum;
    const double low = std::max(0.0, minimum);
    const double range = maximum - low;
    if (counted && !(range > 0.0))
    {
        // Every counted value is the same: no scale to spread them over.
        // What the angle pass found sharp stays at the top.
        mesh.ForEachVertex([scale](cVertex& v) {
            v.SetScalar(ValueOf(v) == FLT_MAX ? static_cast<float>(scale) : 0.0f);
        });
        return;
    }
    mesh.ForEachVertex([&](cVertex& v) {
        double value = ValueOf(v);
        if (value > maximum)
            value = maximum;
        if (value < low)
            value = low;
        v.SetScalar(static_cast<float>((value - low) * scale / range));
    });
}

void SmoothVertexValues(cMesh& mesh, IProcProgress* progress)
{
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    if (vertexCount == 0)
        return;
    progress = ProgressOrNull(progress);
    std::vector<float> smoothed;
    std::vector<std::uint8_t> done;
    try
    {
        smoothed.resize(vertexCount);
        done.assign(vertexCount, 0);
    }
    catch (const std::bad_alloc&)
    {
        return;
    }
    for (std::uint32_t i = 0; i < vertexCount; ++i)
        smoothed[i] = ValueOf(*mesh.GetVertex(i));

    // Each vertex takes the ring seen from the last triangle (in index order)
    // that uses it: the triangles are walked backwards and a vertex is done at
    // its first visit, so every ring is collected once instead of once per
    // incident triangle.
    const std::uint32_t triangleCount = mesh.GetTriangleCount();
    progress->SetRange(0.0f, static_cast<float>(triangleCount));
    tVertexDeque ring;
    for (std::uint32_t walked = 0; walked < triangleCount; ++walked)
    {
        if (walked % kSmoothProgressStep == 0)
            progress->SetPosition(static_cast<float>(walked));
        cMeshTriangle* t = mesh.GetTriangle(triangleCount - 1 - walked);
        const cVertex* corners[3];
        if (!mesh.GetCorners(*t, corners))
            continue;
        for (std::uint8_t k = 0; k < 3; ++k)
        {
            const std::uint32_t vertex = t->vertexIndex[k];
            if (done[vertex] != 0)
                continue;
            done[vertex] = 1;
            bool isBorder = false;
            mesh.CollectVertexRing(k, t, isBorder, ring);
            double sum = 0.0;
            std::uint32_t n = 0;
            for (const cVertex* neighbour : ring)
            {
                const float value = ValueOf(*neighbour);
                if (value == -FLT_MAX)
                    continue;
                sum += value;
                ++n;
            }
            smoothed[vertex] = n > 0 ? static_cast<float>(sum / n) : -FLT_MAX;
        }
    }
    for (std::uint32_t i = 0; i < vertexCount; ++i)
        mesh.GetVertex(i)->SetScalar(smoothed[i]);
}

bool MarkSharpTriangles(cMesh& mesh, float threshold)
{
    bool any = false;
    mesh.ForEachTriangle([&](cMeshTriangle& t) {
        const cVertex* c[3];
        const bool sharp = mesh.GetCorners(t, c) && ValueOf(*c[0]) > threshold && ValueOf(*c[1]) > threshold &&
                           ValueOf(*c[2]) > threshold;
        if (sharp)
            t.flags |= kTriangleFlagSelected;
        else
            t.flags &= static_cast<std::uint8_t>(~kTriangleFlagSelected);
        any = any || sharp;
    });
    return any;
}

std::uint32_t MeasureTriangleRegion(cMesh& mesh, cMeshTriangle* seed, double* area)
{
    return WalkRegion(mesh, seed, area, nullptr);
}

void RemoveSmallRegions(cMesh& mesh, double limit)
{
    if (limit == 0.0 || limit == FLT_MAX)
        return;
    std::vector<cMeshTriangle*> region;
    // Small selected islands first, then small unselected ones; each region
    // is walked once (the walk clears its scratch bits).
    for (const bool selectedPass : {true, false})
    {
        mesh.SetTriangleFlag4();
        const std::uint32_t count = mesh.GetTriangleCount();
        for (std::uint32_t i = 0; i < count; ++i)
        {
            cMeshTriangle* t = mesh.GetTriangle(i);
            if ((t->flags & kTriangleFlagScratch) == 0 || IsVisibleSelected(*t) != selectedPass)
                continue;
            region.clear();
            double area = 0.0;
            try
            {
                WalkRegion(mesh, t, &area, &region);
            }
            catch (const std::bad_alloc&)
            {
                continue; // the region is left as it is
            }
            if (!(limit >= area))
                continue;
            for (cMeshTriangle* member : region)
            {
                if (selectedPass)
                    member->flags &= static_cast<std::uint8_t>(~kTriangleFlagSelected);
                else
                    member->flags |= kTriangleFlagSelected;
            }
        }
    }
    mesh.ClearTriangleFlag4();
}

double SegmentationAreaLimit(const float box[6])
{
    if (!IsValidBoundingBox3f(box))
        return 0.0;
    // A length compared with areas would clean up every region of a part
    // modelled in metres and nothing of one in micrometres, and in
    // millimetres it is too small to take the facet strips and noise scraps
    // that a finer mesh of the same faces frees from the band.
    const double side = BoxMaxExtent(box) / kCleanUpDivisor;
    return side * side;
}

void RefreshSelectedVertices(cMesh& mesh)
{
    mesh.ForEachVertex([](cVertex& v) { v.flags &= ~kVertexFlagInSelection; });
    mesh.ForEachTriangle([&mesh](cMeshTriangle& t) {
        if (!IsVisibleSelected(t))
            return;
        cVertex* c[3];
        if (mesh.GetCorners(t, c))
            for (cVertex* v : c)
                v->flags |= kVertexFlagInSelection;
    });
}
