#include "modes/mesh_sample_projection.h"

#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/vector_math.h"
#include "modes/mode_support.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{

bool IsFinite3(const float p[3])
{
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

// The view-plane point of `point` in the view (the "cursor" of the pick).
void ViewPlanePoint(const double view[12], const float point[3], float* x, float* y)
{
    *x = static_cast<float>(view[0] * point[0] + view[1] * point[1] + view[2] * point[2] + view[3]);
    *y = static_cast<float>(view[4] * point[0] + view[5] * point[1] + view[6] * point[2] + view[7]);
}

constexpr float kNoCentre[3] = {0.0f, 0.0f, 0.0f};

// Positions that move when the mesh is transformed: a changed one means the
// index no longer matches the mesh.
void SamplePositions(const cMesh& mesh, float out[6])
{
    const std::uint32_t n = mesh.GetVertexCount();
    for (int k = 0; k < 6; ++k)
        out[k] = 0.0f;
    if (n == 0)
        return;
    const cVertex* first = mesh.GetVertex(0);
    const cVertex* last = mesh.GetVertex(n - 1);
    out[0] = first->x, out[1] = first->y, out[2] = first->z;
    out[3] = last->x, out[4] = last->y, out[5] = last->z;
}

} // namespace

bool MakeViewAlongDirection(const float point[3], const float direction[3], double view[12])
{
    if (!IsFinite3(point) || !IsFinite3(direction))
        return false;
    if (std::fabs(direction[0]) + std::fabs(direction[1]) + std::fabs(direction[2]) < kNormaliseEpsilon)
        return false;
    const float ax = std::fabs(direction[0]), ay = std::fabs(direction[1]), az = std::fabs(direction[2]);
    float reference[3] = {0.0f, 0.0f, 0.0f};
    if (ax <= ay && ax <= az)
        reference[0] = 1.0f;
    else if (ay <= az)
        reference[1] = 1.0f;
    else
        reference[2] = 1.0f;
    BuildFrameFromAxes(view, point, direction, reference);
    InvertRigidTransform3x4(view);
    return true;
}

cVertex PickMeshPointAlong(const cMesh& mesh, const float point[3], const float direction[3],
                           const cMeshTriangle** hitTriangle)
{
    double view[12];
    if (!MakeViewAlongDirection(point, direction, view))
    {
        cVertex none;
        none.x = FLT_MAX;
        none.flags = kPickedNothing;
        return none;
    }
    float x = 0.0f, y = 0.0f;
    ViewPlanePoint(view, point, &x, &y);
    return PickMeshPointUnderCursor(mesh, x, y, view, kNoCentre, hitTriangle);
}

void cMeshSampleProjector::Prepare(const cMesh& mesh)
{
    float positions[6];
    SamplePositions(mesh, positions);
    bool same = m_index.IsBuiltFor(mesh);
    for (int k = 0; k < 6 && same; ++k)
        same = positions[k] == m_box[k];
    if (same)
        return;
    m_index.Build(mesh);
    std::copy(positions, positions + 6, m_box);
}

void cMeshSampleProjector::Clear()
{
    m_index.Clear();
}

cVertex cMeshSampleProjector::PickAlong(const cMesh& mesh, const float point[3], const float direction[3],
                                        const cMeshTriangle** hitTriangle)
{
    double view[12];
    if (!MakeViewAlongDirection(point, direction, view))
    {
        cVertex none;
        none.x = FLT_MAX;
        none.flags = kPickedNothing;
        return none;
    }
    Prepare(mesh);
    float x = 0.0f, y = 0.0f;
    ViewPlanePoint(view, point, &x, &y);
    return m_index.Pick(mesh, x, y, view, kNoCentre, hitTriangle);
}

cVertex cMeshSampleProjector::PickUnderCursor(const cMesh& mesh, float x, float y, const double view[12],
                                              const float centre[3], const cMeshTriangle** hitTriangle)
{
    Prepare(mesh);
    return m_index.Pick(mesh, x, y, view, centre, hitTriangle);
}

std::uint32_t cMeshSampleProjector::ProjectSamplesOnMesh(const cMesh& mesh, tPolyline<cVertex>& samples,
                                                         const double frame[12])
{
    const std::uint32_t n = samples.GetVertexCount();
    if (n == 0 || mesh.GetTriangleCount() == 0)
        return 0;
    // Directions of the free nodes from the fixed nodes on either side.
    std::vector<float> direction(std::size_t(n) * 3, 0.0f);
    const cVertex* lastFixed = nullptr;
    for (std::uint32_t i = 0; i < n; ++i)
    {
        const cVertex& node = *samples.GetVertex(i);
        if (IsFixedNetworkNode(node))
            lastFixed = &node;
        else if (lastFixed != nullptr)
            for (int k = 0; k < 3; ++k)
                direction[3 * i + k] += lastFixed->Normal()[k];
    }
    const cVertex* nextFixed = nullptr;
    for (std::uint32_t i = n; i-- > 0;)
    {
        const cVertex& node = *samples.GetVertex(i);
        if (IsFixedNetworkNode(node))
        {
            nextFixed = &node;
            continue;
        }
        if (nextFixed != nullptr)
            for (int k = 0; k < 3; ++k)
                direction[3 * i + k] += nextFixed->Normal()[k];
        NormaliseVector3f(&direction[3 * i]);
    }

    std::uint32_t moved = 0;
    for (std::uint32_t i = 0; i < n; ++i)
    {
        cVertex& node = *samples.GetVertex(i);
        if (IsFixedNetworkNode(node))
            continue;
        float* d = &direction[3 * i];
        node.nx = d[0];
        node.ny = d[1];
        node.nz = d[2];
        if (std::fabs(d[0]) + std::fabs(d[1]) + std::fabs(d[2]) < kNormaliseEpsilon)
            continue;
        float world[3] = {node.x, node.y, node.z};
        float worldDirection[3] = {d[0], d[1], d[2]};
        if (frame != nullptr)
        {
            TransformPoint3f(frame, world, node.Position());
            for (int r = 0; r < 3; ++r)
                worldDirection[r] =
                    static_cast<float>(frame[4 * r] * d[0] + frame[4 * r + 1] * d[1] + frame[4 * r + 2] * d[2]);
        }
        const cVertex hit = PickAlong(mesh, world, worldDirection);
        if ((hit.flags & kPickedNothing) != 0 || IsFloatUnset(hit.x))
            continue;
        float p[3] = {hit.x, hit.y, hit.z};
        if (frame != nullptr)
            InverseTransformPoint3f(frame, p);
        node.x = p[0];
        node.y = p[1];
        node.z = p[2];
        ++moved;
    }
    samples.boxValid = 0;
    return moved;
}
