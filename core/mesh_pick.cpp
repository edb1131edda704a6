#include "core/mesh_pick.h"

#include "core/mesh.h"

#include <cfloat>

namespace
{

// Row r of the transform applied to d (rotation row, then translation).
double Row(const double m[12], int r, const double d[3])
{
    return m[4 * r] * d[0] + m[4 * r + 1] * d[1] + m[4 * r + 2] * d[2] + m[4 * r + 3];
}

double RowRotation(const double m[12], int r, const float v[3])
{
    return m[4 * r] * v[0] + m[4 * r + 1] * v[1] + m[4 * r + 2] * v[2];
}

void Offset(const cVertex& v, const t3DPoint<float>& origin, double d[3])
{
    d[0] = static_cast<double>(v.x) - origin.x;
    d[1] = static_cast<double>(v.y) - origin.y;
    d[2] = static_cast<double>(v.z) - origin.z;
}

} // namespace

void PickMeshSurface(stHitRecord& hit, cMesh& mesh, float x, float y, const double transform[12],
                     const t3DPoint<float>& origin, std::uint32_t* triangle)
{
    hit = stHitRecord{};
    hit.normal = {0, 0, 0};
    hit.vertexIndex = 0;
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    const std::uint32_t count = mesh.GetTriangleCount();
    double bestDepth = -DBL_MAX;
    bool found = false;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const cMeshTriangle* t = mesh.GetTriangle(i);
        if ((t->flags & kTriangleFlagHidden) != 0 || RowRotation(transform, 2, t->Normal()) < 0.0)
            continue;
        if (t->vertexIndex[0] >= vertexCount || t->vertexIndex[1] >= vertexCount || t->vertexIndex[2] >= vertexCount)
            continue;
        const cVertex* corner[3];
        double sx[3];
        double sy[3];
        double depth[3];
        for (int k = 0; k < 3; ++k)
        {
            corner[k] = mesh.GetVertex(t->vertexIndex[k]);
            double d[3];
            Offset(*corner[k], origin, d);
            sx[k] = Row(transform, 0, d);
            sy[k] = Row(transform, 1, d);
            depth[k] = Row(transform, 2, d);
        }
        // Barycentric weights of the cursor in the projected triangle; both
        // windings count, edges included.
        const double area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
        if (area == 0.0)
            continue;
        const double w1 = ((x - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (y - sy[0])) / area;
        const double w2 = ((sx[1] - sx[0]) * (y - sy[0]) - (x - sx[0]) * (sy[1] - sy[0])) / area;
        const double w0 = 1.0 - w1 - w2;
        if (w0 < 0.0 || w1 < 0.0 || w2 < 0.0)
            continue;
        const double z = w0 * depth[0] + w1 * depth[1] + w2 * depth[2];
        if (found && z <= bestDepth)
            continue;
        found = true;
        bestDepth = z;
        hit.point = {static_cast<float>(w0 * corner[0]->x + w1 * corner[1]->x + w2 * corner[2]->x),
                     static_cast<float>(w0 * corner[0]->y + w1 * corner[1]->y + w2 * corner[2]->y),
                     static_cast<float>(w0 * corner[0]->z + w1 * corner[1]->z + w2 * corner[2]->z)};
        hit.normal = {t->nx, t->ny, t->nz};
        hit.vertexIndex = corner[0]->index;
        if (triangle)
            *triangle = i;
    }
    if (found)
        hit.flags &= ~kHitNothing;
}

bool PickNearestMeshVertex(cMesh& mesh, float x, float y, const stScreenProjection& view, bool backFacing,
                           float radius, stHitRecord& hit)
{
    const double* m = view.transform;
    const cVertex* best = nullptr;
    double bestDepth = -FLT_MAX;
    double bestDistance = static_cast<double>(radius) * radius;
    const std::uint32_t count = mesh.GetVertexCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const cVertex* v = mesh.GetVertex(i);
        if ((v->flags & kVertexHiddenFromPicks) != 0)
            continue;
        if (!backFacing && RowRotation(m, 2, v->Normal()) < 0.0)
            continue;
        double d[3];
        Offset(*v, view.origin, d);
        const double z = Row(m, 2, d);
        const double sx = Row(m, 0, d) - x;
        const double sy = Row(m, 1, d) - y;
        const double distance = sx * sx + sy * sy;
        if (distance < bestDistance && (z >= bestDepth || 2.0 * distance < bestDistance))
        {
            best = v;
            bestDepth = z;
            bestDistance = distance;
        }
    }
    if (best == nullptr)
        return false;
    hit.point = {best->x, best->y, best->z};
    hit.flags = 0;
    hit.normal = {best->nx, best->ny, best->nz};
    hit.vertexIndex = best->index;
    return true;
}

t3DPoint<float> AverageMeshPointInWindow(cMesh& mesh, const stScreenProjection& view, float halfWidth,
                                         float halfHeight)
{
    const double* m = view.transform;
    double sum[3] = {0, 0, 0};
    std::uint32_t counted = 0;
    const std::uint32_t count = mesh.GetVertexCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const cVertex* v = mesh.GetVertex(i);
        if ((v->flags & (kVertexHiddenFromPicks | kVertexHiddenFromAverage)) != 0)
            continue;
        double d[3];
        Offset(*v, view.origin, d);
        const auto u = static_cast<float>(Row(m, 0, d));
        const auto w = static_cast<float>(Row(m, 1, d));
        if (u < -halfWidth || u > halfWidth || w < -halfHeight || w > halfHeight)
            continue;
        sum[0] += v->x;
        sum[1] += v->y;
        sum[2] += v->z;
        ++counted;
    }
    if (counted == 0)
        return kInvalidPoint;
    return {static_cast<float>(sum[0] / counted), static_cast<float>(sum[1] / counted),
            static_cast<float>(sum[2] / counted)};
}
