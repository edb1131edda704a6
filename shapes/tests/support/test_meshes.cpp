#include "support/test_meshes.h"

#include <cmath>

namespace
{

void AddQuads(cMesh& mesh, int columns, int rows, bool wrap)
{
    const int stride = wrap ? columns : columns + 1;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i)
        {
            const auto a = static_cast<std::uint32_t>(j * stride + i);
            const auto b = static_cast<std::uint32_t>(j * stride + (wrap ? (i + 1) % columns : i + 1));
            const auto c = static_cast<std::uint32_t>(b + stride);
            const auto d = static_cast<std::uint32_t>(a + stride);
            mesh.AddTriangle(a, b, c);
            mesh.AddTriangle(a, c, d);
        }
    mesh.Update();
}

} // namespace

std::unique_ptr<cMesh> MakeGridMesh(int nx, int ny, double step, double x0, double y0, double z)
{
    auto mesh = std::make_unique<cMesh>();
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i)
        {
            const float p[3] = {static_cast<float>(x0 + i * step), static_cast<float>(y0 + j * step),
                                static_cast<float>(z)};
            mesh->AddVertex(p);
        }
    AddQuads(*mesh, nx, ny, false);
    return mesh;
}

std::unique_ptr<cMesh> MakeCylinderMesh(int around, int along, double r, double step, double z0)
{
    auto mesh = std::make_unique<cMesh>();
    for (int j = 0; j <= along; ++j)
        for (int i = 0; i < around; ++i)
        {
            const double a = 2.0 * M_PI * i / around;
            const float p[3] = {static_cast<float>(r * std::cos(a)), static_cast<float>(r * std::sin(a)),
                                static_cast<float>(z0 + j * step)};
            mesh->AddVertex(p);
        }
    AddQuads(*mesh, around, along, true);
    return mesh;
}

void TagQuads(cMesh& mesh, int nx, const std::function<std::uint32_t(int i, int j)>& tagOf)
{
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
    {
        const int quad = static_cast<int>(t / 2);
        mesh.GetTriangle(t)->SetLabel(tagOf(quad % nx, quad / nx));
    }
}
