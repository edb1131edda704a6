#include "support/test_sessions.h"

#include "core/mesh.h"
#include "core/triangle_colour_property.h"
#include "shapes/session_surface.h"

std::vector<float> RegionPointsOf(const CSessionSurface& session)
{
    std::vector<float> out;
    const cRegionPoints& region = session.GetRegionPoints();
    for (std::uint32_t v = 0; v < region.GetCount(); ++v)
        out.insert(out.end(), region.GetPoint(v), region.GetPoint(v) + 3);
    return out;
}

void FillSession(CSessionSurface& session, int seed, int points)
{
    const double s = seed;
    if (auto* plane = dynamic_cast<CSessionPlane*>(&session))
    {
        const double n[3] = {0, 0.6, 0.8}, o[3] = {1000.5 + s, -2, 3}, x[3] = {1, 0, 0};
        plane->GetObject().GetGeometry()->SetOriginAndNormal(n, o, x, 2.5 + s, 1.25);
        plane->GetObject().GetGeometry()->SetRms(0.01 * s);
        plane->GetObject().GetGeometry()->GetSeeds() = {static_cast<std::uint32_t>(seed), 17};
    }
    else if (auto* sym = dynamic_cast<CSessionSymmetryPlane*>(&session))
    {
        const double n[3] = {1, 0, 0}, o[3] = {s, 0, 0}, x[3] = {0, 1, 0};
        sym->GetObject().GetGeometry()->SetOriginAndNormal(n, o, x, 3, 4);
    }
    else if (auto* sphere = dynamic_cast<CSessionSphere*>(&session))
    {
        const double c[3] = {s, 2 * s, -s};
        sphere->GetObject().GetGeometry()->SetCentreAndRadius(c, 1.5 + s);
    }
    else if (auto* cylinder = dynamic_cast<CSessionCylinder*>(&session))
    {
        const double b[3] = {s, 0, 0}, a[3] = {0, 0, 1};
        cylinder->GetObject().GetGeometry()->SetAxis(b, a, 4.0 + s, 9.0);
    }
    cRegionPoints& region = session.GetRegionPoints();
    session.ClearRegion();
    for (int i = 0; i < points; ++i)
    {
        const float p[3] = {static_cast<float>(seed) + 0.5f * static_cast<float>(i), -static_cast<float>(i),
                            0.25f * static_cast<float>(seed)};
        region.Append(p);
    }
    session.RebuildSearchTree();
}

std::unique_ptr<cMeshObject> MakeGridMeshObject(int nx, int ny, double step, double x0, double y0, double z)
{
    auto object = std::make_unique<cMeshObject>();
    cMesh& mesh = *object->GetMesh();
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i)
        {
            const float p[3] = {static_cast<float>(x0 + i * step), static_cast<float>(y0 + j * step),
                                static_cast<float>(z)};
            mesh.AddVertex(p);
        }
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
        {
            const auto a = static_cast<std::uint32_t>(j * (nx + 1) + i);
            mesh.AddTriangle(a, a + 1, a + nx + 2);
            mesh.AddTriangle(a, a + nx + 2, a + nx + 1);
        }
    mesh.Update();
    CTriangleColourProperties::GetOrCreate(object.get())->Resize(mesh.GetTriangleCount());
    return object;
}

void AddShiftedTriangleCopy(cMesh& mesh, std::uint32_t triangle, double radii)
{
    const cMeshTriangle original = *mesh.GetTriangle(triangle);
    const cVertex* corners[3];
    mesh.GetCorners(original, corners);
    float centroid[3];
    RegionCentroid(corners[0]->Position(), corners[1]->Position(), corners[2]->Position(), centroid);
    const double shift = radii * RegionMembershipRadius(centroid);
    std::uint32_t index[3];
    for (int k = 0; k < 3; ++k)
        index[k] = mesh.AddVertex(corners[k]->x + static_cast<float>(0.6 * shift),
                                  corners[k]->y + static_cast<float>(0.48 * shift),
                                  corners[k]->z + static_cast<float>(0.64 * shift), false, 0.0f);
    mesh.AddTriangle(index[0], index[1], index[2]);
}
