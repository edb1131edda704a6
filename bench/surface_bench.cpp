// Quality render meshes of a sphere and a cylinder, and NURBS surface
// evaluation on a grid of 1M parameters, beside OpenCASCADE's incremental
// mesher and B-spline surface on the same surfaces. OpenCASCADE meshes with
// the chord and angle limits our quality grid meets (5 degrees between
// neighbouring normals), so both produce meshes of the same accuracy; our
// counter gives the triangles we produced.
#include "platform/geometry/geometry.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#if VTL_BENCH_WITH_OCCT
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepTools.hxx>
#include <Geom_BSplineSurface.hxx>
#include <Geom_CylindricalSurface.hxx>
#include <Geom_SphericalSurface.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColStd_Array2OfReal.hxx>
#include <TColgp_Array2OfPnt.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Face.hxx>
#include <gp_Ax3.hxx>
#endif

namespace
{

constexpr double kRadius = 25.0;
constexpr double kHeight = 80.0;
constexpr int kGrid = 1000; // 1M parameters

ON_RevSurface SphereSurface()
{
    ON_RevSurface rev;
    ON_Sphere(ON_3dPoint(1000.0, 0.0, 0.0), kRadius).RevSurfaceForm(true, &rev);
    return rev;
}

ON_RevSurface CylinderSurface()
{
    ON_RevSurface rev;
    ON_Cylinder(ON_Circle(ON_Plane(ON_3dPoint(1000.0, 0.0, 0.0), ON_zaxis), kRadius), kHeight).RevSurfaceForm(&rev);
    return rev;
}

int TriangleCount(const ON_Mesh& mesh)
{
    return mesh.TriangleCount() + 2 * mesh.QuadCount();
}

void MeshOurs(benchmark::State& state, const ON_Surface& surface)
{
    int triangles = 0;
    for (auto _ : state)
    {
        std::unique_ptr<ON_Mesh> mesh(ON_MeshSurface(surface, ON_MeshParameters::QualityRenderMesh));
        triangles = TriangleCount(*mesh);
        benchmark::DoNotOptimize(mesh.get());
    }
    state.counters["triangles"] = triangles;
}

void BM_SphereQualityMesh(benchmark::State& state)
{
    MeshOurs(state, SphereSurface());
}

void BM_CylinderQualityMesh(benchmark::State& state)
{
    MeshOurs(state, CylinderSurface());
}

// The sphere's NURBS form evaluated over a 1000 x 1000 grid.
void BM_NurbsGridD0(benchmark::State& state)
{
    ON_NurbsSurface nurbs;
    ON_Sphere(ON_3dPoint(1000.0, 0.0, 0.0), kRadius).GetNurbForm(nurbs);
    const ON_Interval ds = nurbs.Domain(0), dt = nurbs.Domain(1);
    for (auto _ : state)
    {
        double sum = 0.0;
        ON_3dVector v;
        for (int i = 0; i < kGrid; ++i)
        {
            const double s = ds.ParameterAt((i + 0.5) / kGrid);
            for (int j = 0; j < kGrid; ++j)
            {
                nurbs.Evaluate(s, dt.ParameterAt((j + 0.5) / kGrid), 0, &v);
                sum += v.x;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kGrid * kGrid);
}

BENCHMARK(BM_SphereQualityMesh)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CylinderQualityMesh)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NurbsGridD0)->Unit(benchmark::kMillisecond);

#if VTL_BENCH_WITH_OCCT

// Chord error of our quality grid on a circle of the radius: 5 degree steps.
double QualityDeflection()
{
    return kRadius * (1.0 - std::cos(0.5 * 5.0 * M_PI / 180.0));
}

// (Debian's package lacks a header that its triangulation header needs, so
// the triangles of the result are not counted here.)
void MeshOcct(benchmark::State& state, const TopoDS_Face& face)
{
    for (auto _ : state)
    {
        BRepTools::Clean(face);
        BRepMesh_IncrementalMesh mesher(face, QualityDeflection(), false, 5.0 * M_PI / 180.0, false);
        benchmark::DoNotOptimize(mesher.IsDone());
    }
}

void BM_SphereQualityMesh_OCCT(benchmark::State& state)
{
    Handle(Geom_SphericalSurface) sphere = new Geom_SphericalSurface(gp_Ax3(gp_Pnt(1000, 0, 0), gp::DZ()), kRadius);
    MeshOcct(state, BRepBuilderAPI_MakeFace(sphere, 1e-7).Face());
}

void BM_CylinderQualityMesh_OCCT(benchmark::State& state)
{
    Handle(Geom_CylindricalSurface) cylinder =
        new Geom_CylindricalSurface(gp_Ax3(gp_Pnt(1000, 0, 0), gp::DZ()), kRadius);
    MeshOcct(state, BRepBuilderAPI_MakeFace(cylinder, 0.0, 2.0 * M_PI, 0.0, kHeight, 1e-7).Face());
}

// The same NURBS data handed to OpenCASCADE.
Handle(Geom_BSplineSurface) ToOcct(const ON_NurbsSurface& s)
{
    TColgp_Array2OfPnt poles(1, s.m_cv_count[0], 1, s.m_cv_count[1]);
    TColStd_Array2OfReal weights(1, s.m_cv_count[0], 1, s.m_cv_count[1]);
    for (int i = 0; i < s.m_cv_count[0]; ++i)
        for (int j = 0; j < s.m_cv_count[1]; ++j)
        {
            ON_3dPoint p;
            double w = 1.0;
            s.GetCV(i, j, p, &w);
            poles.SetValue(i + 1, j + 1, gp_Pnt(p.x, p.y, p.z));
            weights.SetValue(i + 1, j + 1, w);
        }
    std::unique_ptr<TColStd_Array1OfReal> knots[2];
    std::unique_ptr<TColStd_Array1OfInteger> mults[2];
    for (int d = 0; d < 2; ++d)
    {
        std::vector<double> v;
        std::vector<int> m;
        for (double k : s.m_knot[d])
        {
            if (!v.empty() && v.back() == k)
                ++m.back();
            else
                v.push_back(k), m.push_back(1);
        }
        knots[d] = std::make_unique<TColStd_Array1OfReal>(1, static_cast<int>(v.size()));
        mults[d] = std::make_unique<TColStd_Array1OfInteger>(1, static_cast<int>(v.size()));
        for (std::size_t i = 0; i < v.size(); ++i)
        {
            knots[d]->SetValue(static_cast<int>(i) + 1, v[i]);
            mults[d]->SetValue(static_cast<int>(i) + 1, m[i]);
        }
    }
    return new Geom_BSplineSurface(poles, weights, *knots[0], *knots[1], *mults[0], *mults[1], s.m_order[0] - 1,
                                   s.m_order[1] - 1);
}

void BM_NurbsGridD0_OCCT(benchmark::State& state)
{
    ON_NurbsSurface nurbs;
    ON_Sphere(ON_3dPoint(1000.0, 0.0, 0.0), kRadius).GetNurbForm(nurbs);
    Handle(Geom_BSplineSurface) surface = ToOcct(nurbs);
    const ON_Interval ds = nurbs.Domain(0), dt = nurbs.Domain(1);
    for (auto _ : state)
    {
        double sum = 0.0;
        gp_Pnt p;
        for (int i = 0; i < kGrid; ++i)
        {
            const double s = ds.ParameterAt((i + 0.5) / kGrid);
            for (int j = 0; j < kGrid; ++j)
            {
                surface->D0(s, dt.ParameterAt((j + 0.5) / kGrid), p);
                sum += p.X();
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kGrid * kGrid);
}

BENCHMARK(BM_SphereQualityMesh_OCCT)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CylinderQualityMesh_OCCT)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NurbsGridD0_OCCT)->Unit(benchmark::kMillisecond);

#endif

} // namespace
