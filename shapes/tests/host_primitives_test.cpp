// The host-bound primitives: their query answers, what they can be
// constrained to, and the lazy brep cache that must always match the
// current parameters.
#include "shapes/host_primitives.h"
#include "support/test_meshes.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{

// Counts which forms the cache is built from.
template <class Base> class tCounting : public Base
{
public:
    int planeForms = 0, revForms = 0, nurbsForms = 0, builds = 0;
    bool GetPlaneSurface(ON_PlaneSurface& s) override { return ++planeForms, Base::GetPlaneSurface(s); }
    bool GetRevSurface(ON_RevSurface& s) override { return ++revForms, Base::GetRevSurface(s); }
    bool GetNurbForm(ON_NurbsSurface& s) override { return ++nurbsForms, Base::GetNurbForm(s); }
    bool BuildBreps() override { return ++builds, Base::BuildBreps(); }
};

void SetUnitPlane(Dezaz_Plane& p, double w = 2.0, double h = 1.0)
{
    const double n[3] = {0, 0, 1}, o[3] = {0, 0, 0}, x[3] = {1, 0, 0};
    p.SetOriginAndNormal(n, o, x, w, h);
}

void SetSphere(Dezaz_Sphere& s, double x, double y, double z, double r)
{
    const double c[3] = {x, y, z};
    s.SetCentreAndRadius(c, r);
}

void SetCylinder(Dezaz_Cylinder& c, const double b[3], const double a[3], double r, double h)
{
    c.SetAxis(b, a, r, h);
}

ON_BoundingBox FaceBox(const ON_Brep& brep)
{
    return brep.Face(0)->SurfaceOf()->BoundingBox();
}

} // namespace

TEST(HostPrimitives, QueryAnswersThePrimaryOrTheSurfacePart)
{
    Dezaz_Plane plane;
    void* geometry = plane.QueryInterface(IID_ST_IGeometry);
    EXPECT_EQ(geometry, static_cast<void*>(static_cast<ST_IGeometry*>(&plane)));
    EXPECT_EQ(plane.QueryInterface(IID_Dezaz_Plane), geometry);
    EXPECT_EQ(plane.QueryInterface(IID_ST_CPlane), geometry);
    void* surface = plane.QueryInterface(IID_ON_ISurface);
    EXPECT_EQ(surface, static_cast<void*>(static_cast<ON_ISurface*>(&plane)));
    EXPECT_NE(surface, geometry);
    // The inner value reaches the shape's ids and answers its own.
    EXPECT_EQ(plane.GetPlane().QueryInterface(IID_ON_ISurface), surface);
    EXPECT_EQ(plane.QueryInterface(IID_cPlane), static_cast<void*>(&plane.GetPlane()));
    EXPECT_EQ(plane.QueryInterface(IID_Dezaz_Sphere), nullptr);

    Dezaz_Cylinder cylinder;
    EXPECT_EQ(cylinder.QueryInterface(IID_ST_CCylinder), static_cast<void*>(static_cast<ST_IGeometry*>(&cylinder)));
    EXPECT_EQ(cylinder.QueryInterface(IID_IMathSurface), nullptr);
    EXPECT_NE(cylinder.QueryInterface(IID_ON_ISurface), nullptr);
    Dezaz_Sphere sphere;
    EXPECT_EQ(sphere.QueryInterface(IID_Dezaz_Sphere), static_cast<void*>(static_cast<ST_IGeometry*>(&sphere)));
    EXPECT_EQ(sphere.QueryInterface(IID_IMathSurface), static_cast<void*>(static_cast<IMathSurface*>(&sphere.GetSphere())));
}

TEST(HostPrimitives, CopiesAreWiredToThemselves)
{
    auto original = std::make_unique<Dezaz_Plane>();
    Dezaz_Plane copy(*original);
    void* surface = copy.QueryInterface(IID_ON_ISurface);
    original.reset();
    // Asked through the copy's inner value, the answer is the copy's part,
    // never the (destroyed) original's.
    EXPECT_EQ(copy.GetPlane().QueryInterface(IID_ON_ISurface), surface);
}

TEST(HostPrimitives, ConstraintMatrix)
{
    Dezaz_Plane plane;
    Dezaz_Sphere sphere;
    Dezaz_Cylinder cylinder;
    ST_IGeometry* all[3] = {&plane, &sphere, &cylinder};
    // Rows: the asking shape; columns: plane, sphere, cylinder.
    const bool coincident[3][3] = {{true, false, false}, {false, true, false}, {false, false, true}};
    const bool parallel[3][3] = {{true, false, false}, {false, false, false}, {false, false, true}};
    const bool perpendicular[3][3] = {{false, false, true}, {false, false, false}, {true, false, false}};
    for (int i = 0; i < 3; ++i)
    {
        for (int j = 0; j < 3; ++j)
        {
            EXPECT_EQ(all[i]->CanBeCoincidentWith(all[j]), coincident[i][j]) << i << j;
            EXPECT_EQ(all[i]->CanBeParallelTo(all[j]), parallel[i][j]) << i << j;
            EXPECT_EQ(all[i]->CanBePerpendicularTo(all[j]), perpendicular[i][j]) << i << j;
        }
        EXPECT_FALSE(all[i]->CanBeCoincidentWith(nullptr));
        EXPECT_FALSE(all[i]->CanBeParallelTo(nullptr));
        EXPECT_FALSE(all[i]->CanBePerpendicularTo(nullptr));
    }
}

TEST(HostPrimitives, PlaneBrepCoversItsExtentOnce)
{
    tCounting<Dezaz_Plane> plane;
    SetUnitPlane(plane);
    const ON_SimpleArray<ON_Brep*>* breps = plane.GetBreps();
    ASSERT_NE(breps, nullptr);
    ASSERT_EQ(breps->Count(), 1);
    const ON_Brep& brep = *(*breps)[0];
    ASSERT_EQ(brep.FaceCount(), 1);
    EXPECT_EQ(brep.Face(0)->SurfaceOf()->SurfaceType(), ON_Surface::Type::plane);
    const ON_BoundingBox box = FaceBox(brep);
    EXPECT_NEAR(box.m_min.x, -2.0, 1e-12);
    EXPECT_NEAR(box.m_max.x, 2.0, 1e-12);
    EXPECT_NEAR(box.m_min.y, -1.0, 1e-12);
    EXPECT_NEAR(box.m_max.y, 1.0, 1e-12);
    EXPECT_NEAR(box.m_min.z, 0.0, 1e-12);
    EXPECT_NEAR(box.m_max.z, 0.0, 1e-12);
    // Every face carries a fast render mesh.
    ASSERT_NE(brep.Face(0)->RenderMesh(), nullptr);
    EXPECT_GT(brep.Face(0)->RenderMesh()->FaceCount(), 0);

    EXPECT_EQ(plane.GetBreps(), breps);
    EXPECT_EQ(plane.builds, 1);
    // A change empties the cache; the next request rebuilds at the new size.
    const double o[3] = {0, 0, 0};
    plane.SetOriginAndExtent(o, 3.0, 1.0);
    EXPECT_EQ(plane.CachedBrepCount(), 0);
    breps = plane.GetBreps();
    ASSERT_NE(breps, nullptr);
    EXPECT_EQ(plane.builds, 2);
    EXPECT_NEAR(FaceBox(*(*breps)[0]).m_max.x, 3.0, 1e-6);
}

TEST(HostPrimitives, EveryParameterChangeEmptiesTheCache)
{
    auto mesh = MakeGridMesh(4, 4, 1.0);
    const double frame[12] = {0, -1, 0, 1, 1, 0, 0, 2, 0, 0, 1, 3};
    const double o[3] = {1, 2, 3}, x[3] = {1, 0, 0}, y[3] = {0, 1, 0}, n[3] = {0, 0, 1};
    std::vector<std::pair<std::string, std::function<void(Dezaz_Plane&)>>> planeChanges = {
        {"MoveHandle", [](Dezaz_Plane& p) { p.MoveHandle(0, 0.5); }},
        {"Transform", [&](Dezaz_Plane& p) { p.Transform(frame); }},
        {"Inflate", [](Dezaz_Plane& p) { p.Inflate(0.1); }},
        {"Invalidate", [](Dezaz_Plane& p) { p.Invalidate(); }},
        {"SetOriginAndExtent", [&](Dezaz_Plane& p) { p.SetOriginAndExtent(o, 1, 1); }},
        {"SetFrameFromAxes", [&](Dezaz_Plane& p) { p.SetFrameFromAxes(o, x, 1, y, 1); }},
        {"SetOriginAndNormal", [&](Dezaz_Plane& p) { p.SetOriginAndNormal(n, o, x, 1, 1); }},
        {"MergeWith", [&](Dezaz_Plane& p) { Dezaz_Plane other(p); p.MergeWith(*mesh, other); }},
    };
    for (auto& [name, change] : planeChanges)
    {
        Dezaz_Plane p;
        SetUnitPlane(p);
        ASSERT_NE(p.GetBreps(), nullptr) << name;
        change(p);
        EXPECT_EQ(p.CachedBrepCount(), 0) << name;
    }

    const double b[3] = {0, 0, 0}, a[3] = {0, 0, 1};
    std::vector<std::pair<std::string, std::function<void(Dezaz_Cylinder&)>>> cylinderChanges = {
        {"MoveHandle", [](Dezaz_Cylinder& c) { c.MoveHandle(1, 0.5); }},
        {"Transform", [&](Dezaz_Cylinder& c) { c.Transform(frame); }},
        {"Inflate", [](Dezaz_Cylinder& c) { c.Inflate(0.1); }},
        {"Invalidate", [](Dezaz_Cylinder& c) { c.Invalidate(); }},
        {"SetAxisPoint", [&](Dezaz_Cylinder& c) { c.SetAxisPoint(o, 2.0); }},
        {"SetAxis", [&](Dezaz_Cylinder& c) { c.SetAxis(o, a, 1.0, 2.0); }},
        {"MergeWith", [&](Dezaz_Cylinder& c) { Dezaz_Cylinder other(c); c.MergeWith(*mesh, other); }},
    };
    for (auto& [name, change] : cylinderChanges)
    {
        Dezaz_Cylinder c;
        SetCylinder(c, b, a, 1.0, 3.0);
        ASSERT_NE(c.GetBreps(), nullptr) << name;
        change(c);
        EXPECT_EQ(c.CachedBrepCount(), 0) << name;
    }

    std::vector<std::pair<std::string, std::function<void(Dezaz_Sphere&)>>> sphereChanges = {
        {"Transform", [&](Dezaz_Sphere& s) { s.Transform(frame); }},
        {"Invalidate", [](Dezaz_Sphere& s) { s.Invalidate(); }},
        {"SetCentreAndRadius", [&](Dezaz_Sphere& s) { s.SetCentreAndRadius(o, 2.0); }},
        {"MergeWith", [&](Dezaz_Sphere& s) { Dezaz_Sphere other(s); s.MergeWith(*mesh, other); }},
    };
    for (auto& [name, change] : sphereChanges)
    {
        Dezaz_Sphere s;
        SetSphere(s, 0, 0, 0, 1);
        ASSERT_NE(s.GetBreps(), nullptr) << name;
        change(s);
        EXPECT_EQ(s.CachedBrepCount(), 0) << name;
    }
}

TEST(HostPrimitives, SphereAndCylinderBrepsComeFromTheirRevolutionForms)
{
    tCounting<Dezaz_Sphere> sphere;
    SetSphere(sphere, 1, 2, 3, 0.5);
    const ON_SimpleArray<ON_Brep*>* breps = sphere.GetBreps();
    ASSERT_NE(breps, nullptr);
    EXPECT_EQ((*breps)[0]->Face(0)->SurfaceOf()->SurfaceType(), ON_Surface::Type::revolution);
    EXPECT_EQ(sphere.nurbsForms, 0);
    EXPECT_EQ(sphere.revForms, 1);

    tCounting<Dezaz_Cylinder> cylinder;
    const double b[3] = {0, 0, 0}, a[3] = {1, 0, 0};
    SetCylinder(cylinder, b, a, 1.0, 4.0);
    breps = cylinder.GetBreps();
    ASSERT_NE(breps, nullptr);
    EXPECT_EQ((*breps)[0]->Face(0)->SurfaceOf()->SurfaceType(), ON_Surface::Type::revolution);
    EXPECT_EQ(cylinder.nurbsForms, 0);

    // A transform after GetBreps: the cache empties and the next brep sits at
    // the new place.
    const double shift[12] = {1, 0, 0, 10, 0, 1, 0, 0, 0, 0, 1, 0};
    cylinder.Transform(shift);
    EXPECT_EQ(cylinder.CachedBrepCount(), 0);
    breps = cylinder.GetBreps();
    ASSERT_NE(breps, nullptr);
    EXPECT_NEAR(FaceBox(*(*breps)[0]).m_min.x, 10.0, 1e-9);
    EXPECT_NEAR(FaceBox(*(*breps)[0]).m_max.x, 14.0, 1e-9);
}

TEST(HostPrimitives, BoxesOfTheHostFormsMatchTheAnalyticBoxes)
{
    // Millimetre parts a metre from the origin, in tilted and axis-aligned
    // orientations.
    const double axes[4][3] = {{0, 0, 1}, {1, 0, 0}, {0.3, -0.5, 0.8}, {-0.7, 0.7, 0.1}};
    for (const auto& axis : axes)
    {
        const double len = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
        const double a[3] = {axis[0] / len, axis[1] / len, axis[2] / len};
        const double b[3] = {1000.0, -250.0, 40.0};
        Dezaz_Cylinder cylinder;
        SetCylinder(cylinder, b, a, 3.5, 12.0);
        float hostBox[6], exactBox[6];
        static_cast<ON_ISurface&>(cylinder).GetBoundingBox(hostBox);
        GetCylinderBox(cylinder.GetCylinder(), exactBox);
        for (int k = 0; k < 6; ++k)
            EXPECT_NEAR(hostBox[k], exactBox[k], 1e-3) << k;
    }
    Dezaz_Sphere sphere;
    SetSphere(sphere, 1000.0, 2.0, -3.0, 0.25);
    float box[6];
    static_cast<ON_ISurface&>(sphere).GetBoundingBox(box);
    EXPECT_FLOAT_EQ(box[0], 999.75f);
    EXPECT_FLOAT_EQ(box[3], 1000.25f);
    EXPECT_FLOAT_EQ(box[2], -3.25f);
    EXPECT_FLOAT_EQ(box[5], -2.75f);
}

TEST(HostPrimitives, InvalidPrimitivesGiveNoBrepsAndTheEmptyBox)
{
    Dezaz_Cylinder zero; // every value 0
    Dezaz_Sphere flat;
    SetSphere(flat, 0, 0, 0, 0.0);
    Dezaz_Plane thin;
    SetUnitPlane(thin, 0.0, 1.0);
    Dezaz_Plane tilted; // unnormalised normal read from a file
    const double n[3] = {0, 0, 2}, o[3] = {0, 0, 0}, x[3] = {1, 0, 0};
    tilted.SetOriginAndNormal(n, o, x, 1, 1);
    Dezaz_Sphere nan;
    SetSphere(nan, std::nan(""), 0, 0, 1.0);
    ON_ISurface* all[5] = {&zero, &flat, &thin, &tilted, &nan};
    for (ON_ISurface* s : all)
    {
        EXPECT_EQ(s->GetBreps(), nullptr);
        float box[6];
        s->GetBoundingBox(box);
        EXPECT_EQ(box[0], FLT_MAX);
        EXPECT_EQ(box[5], -FLT_MAX);
        ON_SimpleArray<ON_Mesh*> meshes;
        s->GetMeshes(meshes);
        EXPECT_EQ(meshes.Count(), 0);
    }
}

TEST(HostPrimitives, CopiesOwnDuplicateBreps)
{
    auto source = std::make_unique<Dezaz_Plane>();
    SetUnitPlane(*source);
    const ON_Brep* sourceBrep = (*source->GetBreps())[0];
    {
        Dezaz_Plane copy(*source);
        ASSERT_EQ(copy.CachedBrepCount(), 1);
        const ON_Brep* copyBrep = (*copy.GetBreps())[0];
        EXPECT_NE(copyBrep, sourceBrep);
        EXPECT_NE(copyBrep->Face(0)->RenderMesh(), sourceBrep->Face(0)->RenderMesh());
    }
    // The copy is gone; the source's brep is intact (AddressSanitizer
    // would report a double free or a use after free).
    EXPECT_TRUE(sourceBrep->IsValid());
    Dezaz_Plane assigned;
    assigned = *source;
    EXPECT_EQ(assigned.CachedBrepCount(), 1);
    source.reset();
    EXPECT_TRUE((*assigned.GetBreps())[0]->IsValid());
}

TEST(HostPrimitives, MeshesPerFaceAndQualityDenserThanFast)
{
    Dezaz_Sphere sphere;
    SetSphere(sphere, 0, 0, 0, 1.0);
    ON_SimpleArray<ON_Mesh*> meshes;
    sphere.GetMeshes(meshes);
    const ON_SimpleArray<ON_Brep*>* breps = sphere.GetBreps();
    ASSERT_NE(breps, nullptr);
    ASSERT_EQ(meshes.Count(), (*breps)[0]->FaceCount());
    const ON_Mesh* fast = (*breps)[0]->Face(0)->RenderMesh();
    ASSERT_NE(fast, nullptr);
    EXPECT_GT(meshes[0]->FaceCount(), 4 * fast->FaceCount());
    for (const ON_3fPoint& v : meshes[0]->m_V)
        EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 1.0, 1e-6);
    // Appending keeps what the caller had.
    sphere.GetMeshes(meshes);
    EXPECT_EQ(meshes.Count(), 2);
    for (ON_Mesh* m : meshes)
        delete m;
}
