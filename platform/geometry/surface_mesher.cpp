#include "platform/geometry/surface_mesher.h"

#include "platform/geometry/mesh.h"
#include "platform/geometry/mesh_parameters.h"
#include "platform/geometry/surface.h"

#include <algorithm>
#include <cmath>
#include <memory>

const ON_MeshParameters ON_MeshParameters::FastRenderMesh{20.0 * ON_PI / 180.0, 1, 128};
const ON_MeshParameters ON_MeshParameters::QualityRenderMesh{5.0 * ON_PI / 180.0, 4, 512};

bool ON_MeshParameters::IsValid() const
{
    return m_max_angle_radians > 0.0 && m_max_angle_radians <= ON_PI && m_grid_min_count >= 1 &&
           m_grid_min_count <= m_grid_max_count;
}

namespace
{

// Iso-lines sampled per direction, and samples along each.
constexpr int kProbeLines = 5;
constexpr int kProbeSteps = 64;

double AngleBetween(const ON_3dVector& a, const ON_3dVector& b)
{
    const double c = ON_DotProduct(a, b);
    const double s = ON_CrossProduct(a, b).Length();
    return std::atan2(s, c);
}

// The largest total turn of the normal along an iso-line of direction dir.
double NormalTurn(const ON_Surface& surface, int dir)
{
    const ON_Interval along = surface.Domain(dir), across = surface.Domain(1 - dir);
    double turn = 0.0;
    for (int line = 0; line < kProbeLines; ++line)
    {
        const double c = across.ParameterAt(static_cast<double>(line) / (kProbeLines - 1));
        double total = 0.0;
        ON_3dVector previous;
        for (int k = 0; k <= kProbeSteps; ++k)
        {
            const double a = along.ParameterAt(static_cast<double>(k) / kProbeSteps);
            const ON_3dVector n = dir == 0 ? surface.NormalAt(a, c) : surface.NormalAt(c, a);
            if (!n.IsZero() && !previous.IsZero())
                total += AngleBetween(previous, n);
            if (!n.IsZero())
                previous = n;
        }
        turn = std::max(turn, total);
    }
    return turn;
}

} // namespace

bool ON_SurfaceMeshGrid(const ON_Surface& surface, const ON_MeshParameters& mp, int* s_count, int* t_count)
{
    if (!mp.IsValid() || !surface.IsValid())
        return false;
    int counts[2];
    for (int dir = 0; dir < 2; ++dir)
    {
        const double needed = std::ceil(NormalTurn(surface, dir) / mp.m_max_angle_radians - 1.0e-9);
        const double bounded = std::clamp(needed, static_cast<double>(mp.m_grid_min_count),
                                          static_cast<double>(mp.m_grid_max_count));
        counts[dir] = static_cast<int>(bounded);
    }
    if (s_count)
        *s_count = counts[0];
    if (t_count)
        *t_count = counts[1];
    return true;
}

ON_Mesh* ON_MeshSurface(const ON_Surface& surface, const ON_MeshParameters& mp, bool reverse)
{
    int ns = 0, nt = 0;
    if (!ON_SurfaceMeshGrid(surface, mp, &ns, &nt))
        return nullptr;
    const ON_Interval ds = surface.Domain(0), dt = surface.Domain(1);
    const int columns = ns + 1, rows = nt + 1;
    auto mesh = std::make_unique<ON_Mesh>(ns * nt, columns * rows, true, false);
    for (int j = 0; j < rows; ++j)
    {
        const double t = dt.ParameterAt(static_cast<double>(j) / nt);
        for (int i = 0; i < columns; ++i)
        {
            const double s = ds.ParameterAt(static_cast<double>(i) / ns);
            ON_3dVector v;
            if (!surface.Evaluate(s, t, 0, &v) || !v.IsValid())
                return nullptr;
            ON_3dVector n = surface.NormalAt(s, t);
            if (reverse)
                n = -n;
            mesh->SetVertex(mesh->VertexCount(), ON_3dPoint(v));
            mesh->SetVertexNormal(mesh->VertexCount() - 1, n);
        }
    }
    auto index = [columns](int i, int j) { return j * columns + i; };
    for (int j = 0; j < nt; ++j)
    {
        for (int i = 0; i < ns; ++i)
        {
            int c[4] = {index(i, j), index(i + 1, j), index(i + 1, j + 1), index(i, j + 1)};
            if (reverse)
                std::swap(c[1], c[3]);
            // Corners that coincide (a pole) turn the cell into a triangle.
            int kept[4];
            int count = 0;
            for (int k = 0; k < 4; ++k)
            {
                const ON_3fPoint& p = mesh->m_V[c[k]];
                const ON_3fPoint& next = mesh->m_V[c[(k + 1) % 4]];
                if (!(p == next))
                    kept[count++] = c[k];
            }
            if (count == 4)
                mesh->SetQuad(mesh->FaceCount(), kept[0], kept[1], kept[2], kept[3]);
            else if (count == 3)
                mesh->SetTriangle(mesh->FaceCount(), kept[0], kept[1], kept[2]);
        }
    }
    if (mesh->FaceCount() == 0)
        return nullptr;
    mesh->ComputeFaceNormals();
    return mesh.release();
}
