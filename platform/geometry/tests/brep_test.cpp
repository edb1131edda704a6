// Breps: ownership of their surfaces and render meshes, copies, records in
// the archive, and the render meshes of their faces.
#include "platform/geometry/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace
{

ON_PlaneSurface* NewRectangle(double w, double h)
{
    auto* s = new ON_PlaneSurface(ON_Plane::World_xy);
    s->SetExtents(0, ON_Interval(-w, w), true);
    s->SetExtents(1, ON_Interval(-h, h), true);
    return s;
}

std::vector<std::uint8_t> Bytes(const ON_MemoryArchive& a)
{
    return a.Buffer();
}

// A two-face brep of a sphere's revolution form and a cylinder's NURBS form.
ON_Brep TwoFaceBrep()
{
    ON_Brep brep;
    ON_RevSurface* rev = ON_Sphere(ON_3dPoint(1, 2, 3), 0.5).RevSurfaceForm(true);
    auto* nurbs = new ON_NurbsSurface();
    ON_Cylinder(ON_Circle(ON_Plane::World_xy, 2.0), 3.0).GetNurbForm(*nurbs);
    const int a = brep.AddSurface(rev);
    const int b = brep.AddSurface(nurbs);
    brep.NewFace(a);
    brep.NewFace(b)->m_bRev = true;
    return brep;
}

} // namespace

TEST(Brep, CreateTakesTheSurfaceOnlyOnSuccess)
{
    ON_Brep brep;
    ON_Surface* surface = NewRectangle(2, 1);
    ASSERT_TRUE(brep.Create(surface));
    EXPECT_EQ(surface, nullptr);
    ASSERT_EQ(brep.FaceCount(), 1);
    EXPECT_TRUE(brep.IsValid());
    EXPECT_EQ(brep.Face(0)->Brep(), &brep);

    // An invalid surface stays with the caller, and the brep is emptied.
    auto* bad = new ON_PlaneSurface(ON_Plane(ON_origin, ON_3dVector(), ON_3dVector()));
    ON_Surface* handed = bad;
    EXPECT_FALSE(brep.Create(handed));
    EXPECT_EQ(handed, bad);
    EXPECT_EQ(brep.FaceCount(), 0);
    EXPECT_FALSE(brep.IsValid());
    delete bad;
    ON_Surface* none = nullptr;
    EXPECT_FALSE(brep.Create(none));
    EXPECT_EQ(brep.NewFace(5), nullptr);
    EXPECT_EQ(brep.AddSurface(nullptr), -1);
}

TEST(Brep, CopiesAreDeepAndFacesPointAtTheirOwnBrep)
{
    ON_Brep brep = TwoFaceBrep();
    brep.Face(0)->SetRenderMesh(brep.Face(0)->CreateMesh(ON_MeshParameters::FastRenderMesh));
    std::unique_ptr<ON_Brep> copy(ON_Brep::New(brep));
    ASSERT_EQ(copy->FaceCount(), 2);
    EXPECT_EQ(copy->Face(1)->Brep(), copy.get());
    EXPECT_NE(copy->Face(0)->SurfaceOf(), brep.Face(0)->SurfaceOf());
    ASSERT_NE(copy->Face(0)->RenderMesh(), nullptr);
    EXPECT_NE(copy->Face(0)->RenderMesh(), brep.Face(0)->RenderMesh());
    EXPECT_TRUE(copy->Face(1)->m_bRev);
    // Moving the copy leaves the original where it was.
    const ON_BoundingBox before = brep.BoundingBox();
    ASSERT_TRUE(copy->Transform(ON_Xform::TranslationTransformation(ON_3dVector(10, 0, 0))));
    EXPECT_NEAR(copy->BoundingBox().m_min.x, before.m_min.x + 10.0, 1e-9);
    // The fast mesh lies within a coarse grid of the sphere.
    EXPECT_NEAR(copy->Face(0)->RenderMesh()->BoundingBox().m_min.x, 10.5, 0.05);
    EXPECT_EQ(brep.BoundingBox().m_min.x, before.m_min.x);
    ON_Brep assigned;
    assigned = *copy;
    copy.reset();
    EXPECT_TRUE(assigned.IsValid());
    EXPECT_EQ(assigned.Face(0)->Brep(), &assigned);
}

TEST(Brep, BoxIsTheUnionOfTheFaces)
{
    const ON_Brep brep = TwoFaceBrep();
    const ON_BoundingBox box = brep.BoundingBox();
    EXPECT_NEAR(box.m_min.x, -2.0, 1e-12);
    EXPECT_NEAR(box.m_max.y, 2.5, 1e-12);
    EXPECT_NEAR(box.m_max.z, 3.5, 1e-12);
}

TEST(SurfaceRecords, EveryKindRoundTrips)
{
    const ON_Brep brep = TwoFaceBrep();
    ON_Brep withPlane;
    ON_Surface* rect = NewRectangle(3, 4);
    ASSERT_TRUE(withPlane.Create(rect));
    for (const ON_Brep* source : {&brep, static_cast<const ON_Brep*>(&withPlane)})
    {
        ON_MemoryArchive out;
        ASSERT_TRUE(source->Write(out));
        ON_MemoryArchive in(out.Buffer().data(), out.Buffer().size());
        ON_Brep back;
        ASSERT_TRUE(back.Read(in));
        EXPECT_TRUE(in.AtEnd());
        ASSERT_EQ(back.FaceCount(), source->FaceCount());
        for (int f = 0; f < back.FaceCount(); ++f)
        {
            const ON_Surface* a = source->Face(f)->SurfaceOf();
            const ON_Surface* b = back.Face(f)->SurfaceOf();
            EXPECT_EQ(a->SurfaceType(), b->SurfaceType());
            EXPECT_EQ(back.Face(f)->m_bRev, source->Face(f)->m_bRev);
            for (double s : {0.0, 0.3, 1.0})
                for (double t : {0.0, 0.7, 1.0})
                {
                    const double u = a->Domain(0).ParameterAt(s), v = a->Domain(1).ParameterAt(t);
                    EXPECT_EQ(a->PointAt(u, v), b->PointAt(u, v));
                }
        }
        // Writing the read brep gives the same bytes.
        ON_MemoryArchive again;
        ASSERT_TRUE(back.Write(again));
        EXPECT_EQ(Bytes(again), Bytes(out));
    }
}

TEST(SurfaceRecords, TruncatedOrDamagedRecordsFailAndChangeNothing)
{
    const ON_Brep brep = TwoFaceBrep();
    ON_MemoryArchive out;
    ASSERT_TRUE(brep.Write(out));
    const std::vector<std::uint8_t> bytes = out.Buffer();
    ON_Brep target;
    ON_Surface* rect = NewRectangle(1, 1);
    ASSERT_TRUE(target.Create(rect));
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
    {
        ON_MemoryArchive in(bytes.data(), cut);
        EXPECT_FALSE(target.Read(in)) << cut;
        ASSERT_EQ(target.FaceCount(), 1) << cut;
        EXPECT_EQ(target.Face(0)->SurfaceOf()->SurfaceType(), ON_Surface::Type::plane);
    }
    // Flipping any single byte never crashes, and what reads back is valid.
    for (std::size_t i = 0; i < bytes.size(); ++i)
    {
        std::vector<std::uint8_t> damaged = bytes;
        damaged[i] ^= 0xA5;
        ON_MemoryArchive in(damaged.data(), damaged.size());
        ON_Brep back;
        if (back.Read(in))
        {
            EXPECT_TRUE(back.IsValid()) << i;
        }
    }
    // Counts that the bytes cannot hold are refused before allocating.
    ON_MemoryArchive huge;
    ASSERT_TRUE(huge.Write3dmChunkVersion(1, 0));
    ASSERT_TRUE(huge.WriteInt(1));
    ASSERT_TRUE(huge.WriteInt(static_cast<int>(ON_Surface::Type::nurbs)));
    ASSERT_TRUE(huge.Write3dmChunkVersion(1, 0));
    for (int v : {3, 1, 4, 4, 2000, 2000})
        ASSERT_TRUE(huge.WriteInt(v));
    ON_MemoryArchive in(huge.Buffer().data(), huge.Buffer().size());
    EXPECT_EQ(ON_ReadSurface(in), nullptr);
    // A brep record without faces.
    ON_MemoryArchive faceless;
    ON_Brep surfacesOnly;
    surfacesOnly.AddSurface(NewRectangle(1, 1));
    ASSERT_TRUE(surfacesOnly.Write(faceless));
    ON_MemoryArchive facelessIn(faceless.Buffer().data(), faceless.Buffer().size());
    EXPECT_FALSE(target.Read(facelessIn));
    EXPECT_EQ(target.FaceCount(), 1);
    // An unknown surface type.
    ON_MemoryArchive unknown;
    ASSERT_TRUE(unknown.WriteInt(77));
    ON_MemoryArchive unknownIn(unknown.Buffer().data(), unknown.Buffer().size());
    EXPECT_EQ(ON_ReadSurface(unknownIn), nullptr);
}

TEST(SurfaceRecords, AFailedWriteIsReported)
{
    const ON_Brep brep = TwoFaceBrep();
    ON_MemoryArchive full;
    ASSERT_TRUE(brep.Write(full));
    for (std::int64_t budget : {std::int64_t{0}, std::int64_t{1}, std::int64_t{40}, static_cast<std::int64_t>(full.Buffer().size()) - 1})
    {
        ON_MemoryArchive out;
        out.SetFaultInjection(budget);
        EXPECT_FALSE(brep.Write(out)) << budget;
    }
}

TEST(SurfaceMesher, DensityFollowsTheParametersAndPolesBecomeTriangles)
{
    ON_Surface* rect = NewRectangle(2, 1);
    ON_Brep plane;
    ASSERT_TRUE(plane.Create(rect));
    std::unique_ptr<ON_Mesh> fastPlane(plane.Face(0)->CreateMesh(ON_MeshParameters::FastRenderMesh));
    ASSERT_NE(fastPlane, nullptr);
    EXPECT_EQ(fastPlane->FaceCount(), 1);
    std::unique_ptr<ON_Mesh> qualityPlane(plane.Face(0)->CreateMesh(ON_MeshParameters::QualityRenderMesh));
    EXPECT_GT(qualityPlane->FaceCount(), fastPlane->FaceCount());

    const ON_Sphere sphere(ON_origin, 1.0);
    ON_RevSurface rev;
    ASSERT_NE(sphere.RevSurfaceForm(true, &rev), nullptr);
    int ns = 0, nt = 0;
    ASSERT_TRUE(ON_SurfaceMeshGrid(rev, ON_MeshParameters::QualityRenderMesh, &ns, &nt));
    // A full turn at 5 degrees, and half a turn along the meridian.
    EXPECT_EQ(ns, 72);
    EXPECT_EQ(nt, 36);
    std::unique_ptr<ON_Mesh> mesh(ON_MeshSurface(rev, ON_MeshParameters::QualityRenderMesh));
    ASSERT_NE(mesh, nullptr);
    EXPECT_TRUE(mesh->IsValid());
    // The first and last rows meet at the poles.
    EXPECT_EQ(mesh->TriangleCount(), 2 * ns);
    EXPECT_EQ(mesh->QuadCount(), ns * (nt - 2));
    // Faces and vertex normals point outwards.
    for (int f = 0; f < mesh->FaceCount(); ++f)
    {
        const ON_MeshFace& face = mesh->m_F[f];
        ON_3dVector centre;
        for (int k = 0; k < 3; ++k)
            centre += ON_3dVector(ON_3dPoint(mesh->m_V[face.vi[k]]));
        EXPECT_GT(ON_DotProduct(ON_3dVector(mesh->m_FN[f].x, mesh->m_FN[f].y, mesh->m_FN[f].z), centre), 0.0);
    }
    for (int v = 0; v < mesh->VertexCount(); ++v)
        EXPECT_NEAR(mesh->m_N[v].x, mesh->m_V[v].x, 1e-4);
    // A reversed face turns them inwards.
    std::unique_ptr<ON_Mesh> inward(ON_MeshSurface(rev, ON_MeshParameters::FastRenderMesh, true));
    ASSERT_NE(inward, nullptr);
    EXPECT_LT(inward->m_FN[inward->FaceCount() / 2].z * inward->m_V[inward->m_F[inward->FaceCount() / 2].vi[0]].z +
                  inward->m_FN[inward->FaceCount() / 2].x * inward->m_V[inward->m_F[inward->FaceCount() / 2].vi[0]].x +
                  inward->m_FN[inward->FaceCount() / 2].y * inward->m_V[inward->m_F[inward->FaceCount() / 2].vi[0]].y,
              0.0);

    ON_MeshParameters bad = ON_MeshParameters::FastRenderMesh;
    bad.m_max_angle_radians = 0.0;
    EXPECT_EQ(ON_MeshSurface(rev, bad), nullptr);
    bad = ON_MeshParameters::FastRenderMesh;
    bad.m_grid_min_count = 10;
    bad.m_grid_max_count = 5;
    EXPECT_EQ(ON_MeshSurface(rev, bad), nullptr);
}
