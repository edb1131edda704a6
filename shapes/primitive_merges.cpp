// Merging two shapes of one kind: this shape absorbs the other. Planes and
// cylinders then measure their new extent over every mesh triangle of their
// regions.
#include "core/mesh.h"
#include "core/vector_math.h"
#include "fitting/cylinder_fit.h"
#include "fitting/plane_fit.h"
#include "shapes/primitive_geometry.h"
#include "shapes/region_tags.h"

#include <cfloat>
#include <cmath>

namespace
{

constexpr std::uint8_t kFlag4 = 4;

// unit(a + b), left unnormalised when the sum is (nearly) zero.
void AverageDirection(const double a[3], const double b[3], double out[3])
{
    for (int i = 0; i < 3; ++i)
        out[i] = a[i] + b[i];
    NormaliseVector3d(out);
}

// The vertices of every triangle of the seeds' regions, as fit points.
//
// The flood marks a seed's region with triangle bit 4; a walk over the
// neighbour links then visits the marked triangles, clearing each mark as it
// pushes the triangle. A vertex enters when its bit 4 is clear (and then
// gets it) or when its bit 1 is set. Triangle bit 4 is cleared beforehand:
// a stale mark would stop the flood and lose part of the region.
tFitPointQueue CollectRegionPoints(cMesh& mesh, const std::vector<std::uint32_t>& seeds)
{
    tFitPointQueue points;
    mesh.ForEachVertex([](cVertex& v) { v.flags &= ~std::uint32_t{kFlag4}; });
    mesh.ClearTriangleFlag4();
    const std::uint32_t triangleCount = mesh.GetTriangleCount();
    tArray<cMeshTriangle*> stack;
    for (std::uint32_t seedIndex : seeds)
    {
        if (seedIndex >= triangleCount)
            continue;
        cMeshTriangle* seed = mesh.GetTriangle(seedIndex);
        const std::uint32_t tag = seed->GetLabel();
        if (tag == kTriangleUnlabelled)
            continue;
        // The merge has no value of its own for the top byte: the seed's spreads.
        FloodRegionTag(seed, static_cast<std::uint8_t>(seed->colour >> 24), kFlag4);
        seed->flags &= static_cast<std::uint8_t>(~kFlag4);
        stack.Clear();
        if (stack.PushBack(seed) == nullptr)
            break;
        while (stack.GetCount() > 0)
        {
            const std::uint32_t top = stack.GetCount() - 1;
            cMeshTriangle* t = stack[top];
            stack.SetCount(top);
            cVertex* corners[3];
            if (mesh.GetCorners(*t, corners))
            {
                for (cVertex* v : corners)
                {
                    if ((v->flags & kFlag4) == 0 || (v->flags & 1) != 0)
                    {
                        stFitPoint p;
                        for (int k = 0; k < 3; ++k)
                            p.position[k] = v->Position()[k];
                        p.normal[0] = 1.0f;
                        p.active = 1;
                        p.residual = FLT_MAX;
                        points.push_back(p);
                    }
                    v->flags |= kFlag4;
                }
            }
            for (cMeshTriangle* n : t->neighbour)
            {
                if (n != nullptr && (n->flags & kFlag4) != 0 && n->GetLabel() == tag)
                {
                    n->flags &= static_cast<std::uint8_t>(~kFlag4);
                    stack.PushBack(n);
                }
            }
        }
    }
    return points;
}

void OfferSeeds(ST_IGeometry& self, const cMesh& mesh, const std::vector<std::uint32_t>& seeds)
{
    for (std::uint32_t seed : seeds)
        AddRegionSeed(self, mesh, seed);
}

} // namespace

void ST_CPlane::MergeWith(cMesh& mesh, const ST_CPlane& other)
{
    const cPlane& p = m_plane;
    double otherNormal[3], otherD = other.m_plane.d;
    for (int i = 0; i < 3; ++i)
        otherNormal[i] = other.m_plane.normal[i];
    if (Dot3d(p.normal, otherNormal) < 0.0)
    {
        for (double& c : otherNormal)
            c = -c;
        otherD = -otherD;
    }
    double normal[3];
    AverageDirection(p.normal, otherNormal, normal);
    const double d = (p.d + otherD) / 2.0;

    // Copy the other's seeds first: it may be this very shape.
    const std::vector<std::uint32_t> otherSeeds = other.GetSeeds();
    OfferSeeds(*this, mesh, otherSeeds);

    const cPlaneFit fit(CollectRegionPoints(mesh, m_seeds));
    double origin[3], xAxis[3], yAxis[3], halfWidth = 0.0, halfHeight = 0.0;
    if (fit.BuildFrame(normal, d, origin, xAxis, halfWidth, yAxis, halfHeight, 1.0))
    {
        SetOriginAndNormal(normal, origin, xAxis, halfWidth, halfHeight);
        return;
    }
    // No region points: the merged plane keeps its patch, moved onto the
    // averaged plane, with its x axis made perpendicular to the new normal.
    const double shift = Dot3d(normal, p.origin) + d;
    for (int i = 0; i < 3; ++i)
        origin[i] = p.origin[i] - shift * normal[i];
    const double along = Dot3d(normal, p.xAxis);
    for (int i = 0; i < 3; ++i)
        xAxis[i] = p.xAxis[i] - along * normal[i];
    NormaliseVector3d(xAxis);
    SetOriginAndNormal(normal, origin, xAxis, p.halfWidth, p.halfHeight);
}

void ST_CSphere::MergeWith(cMesh& mesh, const ST_CSphere& other)
{
    double centre[3];
    for (int i = 0; i < 3; ++i)
        centre[i] = (m_sphere.centre[i] + other.m_sphere.centre[i]) / 2.0;
    const double radius = (m_sphere.radius + other.m_sphere.radius) / 2.0;
    const std::vector<std::uint32_t> otherSeeds = other.GetSeeds();
    OfferSeeds(*this, mesh, otherSeeds);
    SetCentreAndRadius(centre, radius);
}

void ST_CCylinder::MergeWith(cMesh& mesh, const ST_CCylinder& other)
{
    const cCylinder& c = m_cylinder;
    const cCylinder& o = other.m_cylinder;
    double otherAxis[3], otherPoint[3];
    for (int i = 0; i < 3; ++i)
    {
        otherAxis[i] = o.axis[i];
        otherPoint[i] = o.axisPoint[i];
    }
    if (Dot3d(c.axis, otherAxis) < 0.0)
    {
        // Seen from this cylinder, the other one starts at its top.
        for (int i = 0; i < 3; ++i)
        {
            otherPoint[i] = o.axisPoint[i] + o.height * o.axis[i];
            otherAxis[i] = -otherAxis[i];
        }
    }
    double axis[3], axisPoint[3];
    AverageDirection(c.axis, otherAxis, axis);
    for (int i = 0; i < 3; ++i)
        axisPoint[i] = (c.axisPoint[i] + otherPoint[i]) / 2.0;
    const double radius = (c.radius + o.radius) / 2.0;

    const std::vector<std::uint32_t> otherSeeds = other.GetSeeds();
    OfferSeeds(*this, mesh, otherSeeds);

    tFitPointQueue points = CollectRegionPoints(mesh, m_seeds);
    double height = c.height;
    if (!points.empty())
    {
        const cCylinderFit fit(points);
        height = fit.GetAxisExtent(axisPoint, axis, 1.0);
    }
    SetAxis(axisPoint, axis, radius, height);
}
