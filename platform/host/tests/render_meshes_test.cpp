#include "platform/geometry/circle.h"
#include "platform/geometry/cylinder.h"
#include "platform/geometry/line_curve.h"
#include "platform/geometry/plane_surface.h"
#include "platform/geometry/rev_surface.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_text_dot.h"
#include "platform/host/document_format.h"
#include "platform/host/render_meshes.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

// A brep of two faces away from the origin: a 40 x 20 plane at z = 500 and
// a cylinder of radius 10 and height 30 standing on it.
std::unique_ptr<ON_Brep> TwoFaceBrep()
{
    auto brep = std::make_unique<ON_Brep>();
    auto* plane = new ON_PlaneSurface(ON_Plane(ON_3dPoint(200, -100, 500), ON_3dVector(0, 0, 1)));
    plane->SetExtents(0, ON_Interval(-20, 20), true);
    plane->SetExtents(1, ON_Interval(-10, 10), true);
    brep->NewFace(brep->AddSurface(plane));
    const ON_Cylinder cylinder(ON_Circle(ON_Plane(ON_3dPoint(200, -100, 500), ON_3dVector(0, 0, 1)), 10.0), 30.0);
    brep->NewFace(brep->AddSurface(cylinder.RevSurfaceForm()));
    return brep;
}

void ExpectSameVertices(const ON_Mesh& joined, int offset, const ON_Mesh& face)
{
    for (int i = 0; i < face.VertexCount(); ++i)
    {
        ASSERT_LT(offset + i, joined.VertexCount());
        EXPECT_EQ(joined.m_V[offset + i], face.m_V[i]);
    }
}

TEST(RenderMeshes, ABrepsRenderMeshIsItsFacesMeshesJoinedWithTheDocumentsSettings)
{
    CDezazDoc doc;
    ASSERT_TRUE(doc.Properties().SetRenderMeshSettings(ON_MeshParameters::QualityRenderMesh));
    const CDezazObject* object = doc.AddObject(std::make_unique<CDezazBrepObject>(TwoFaceBrep()));
    ASSERT_NE(object, nullptr);
    std::vector<CDezazObjRef> refs;
    EXPECT_EQ(DezazGetRenderMeshes({object}, refs, true, false, false), 1);
    ASSERT_EQ(refs.size(), 1u);
    const ON_Mesh* joined = refs[0].Mesh();
    ASSERT_NE(joined, nullptr);
    EXPECT_EQ(refs[0].Object(), object);

    const ON_Brep* brep = static_cast<const CDezazBrepObject*>(object)->Brep();
    int vertices = 0, faces = 0;
    for (int i = 0; i < brep->FaceCount(); ++i)
    {
        std::unique_ptr<ON_Mesh> expected(brep->Face(i)->CreateMesh(ON_MeshParameters::QualityRenderMesh));
        ASSERT_NE(expected, nullptr);
        ExpectSameVertices(*joined, vertices, *expected);
        // The faces keep the meshes made for them.
        ASSERT_NE(brep->Face(i)->RenderMesh(), nullptr);
        EXPECT_EQ(brep->Face(i)->RenderMesh()->VertexCount(), expected->VertexCount());
        for (int f = 0; f < expected->FaceCount(); ++f)
            for (int k = 0; k < 4; ++k)
                EXPECT_EQ(joined->m_F[faces + f].vi[k], expected->m_F[f].vi[k] + vertices);
        vertices += expected->VertexCount();
        faces += expected->FaceCount();
    }
    EXPECT_EQ(joined->VertexCount(), vertices);
    EXPECT_EQ(joined->FaceCount(), faces);
    EXPECT_TRUE(joined->HasVertexNormals());
    EXPECT_TRUE(joined->IsValid());
    // The quality preset is finer than the fast one on the cylinder.
    std::unique_ptr<ON_Mesh> fast(brep->Face(1)->CreateMesh(ON_MeshParameters::FastRenderMesh));
    EXPECT_GT(brep->Face(1)->RenderMesh()->VertexCount(), fast->VertexCount());
}

TEST(RenderMeshes, OnlyCachedMeshesCountUnlessCreatingIsAllowed)
{
    CDezazDoc doc;
    const CDezazObject* object = doc.AddObject(std::make_unique<CDezazBrepObject>(TwoFaceBrep()));
    std::vector<CDezazObjRef> refs;
    EXPECT_EQ(DezazGetRenderMeshes({object}, refs, false, false, false), 0);
    EXPECT_TRUE(refs.empty());
    EXPECT_EQ(DezazGetRenderMeshes({object}, refs, true, false, false), 1);
    EXPECT_EQ(DezazGetRenderMeshes({object}, refs, false, false, false), 1);
    EXPECT_EQ(refs.size(), 2u);
    const_cast<CDezazObject*>(object)->DestroyMeshes(DezazMeshType::render_mesh);
    EXPECT_EQ(DezazGetRenderMeshes({object}, refs, false, false, false), 0);
}

TEST(RenderMeshes, ObjectsWithoutMeshesHiddenAndDeletedOnesFollowTheFlags)
{
    CDezazDoc doc;
    ON_Mesh triangle;
    triangle.SetVertex(0, ON_3dPoint(0, 0, 0));
    triangle.SetVertex(1, ON_3dPoint(1, 0, 0));
    triangle.SetVertex(2, ON_3dPoint(0, 1, 0));
    triangle.SetTriangle(0, 0, 1, 2);
    const CDezazObject* mesh = doc.AddMeshObject(triangle);
    const CDezazObject* curve = doc.AddObject(
        std::make_unique<CDezazCurveObject>(std::make_unique<ON_LineCurve>(ON_3dPoint(0, 0, 0), ON_3dPoint(5, 0, 0))));
    const CDezazObject* brep = doc.AddObject(std::make_unique<CDezazBrepObject>(TwoFaceBrep()));
    ASSERT_TRUE(mesh && curve && brep);
    ASSERT_TRUE(doc.HideObject(CDezazObjRef(brep)));

    std::vector<CDezazObjRef> refs;
    EXPECT_EQ(DezazGetRenderMeshes({mesh, curve, nullptr, brep}, refs, true, false, false), 2);
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_EQ(refs[0].Mesh(), mesh->Geometry());
    EXPECT_EQ(refs[1].Object(), brep); // hidden objects count unless skipped

    refs.clear();
    EXPECT_EQ(DezazGetRenderMeshes({mesh, curve, brep}, refs, true, true, true), 1);
    ASSERT_EQ(refs.size(), 2u); // the curve's reference lines up, the hidden brep is skipped
    EXPECT_EQ(refs[1].Object(), curve);
    EXPECT_EQ(refs[1].Mesh(), nullptr);

    // A reference whose object goes away gives no mesh, though it keeps it.
    refs.clear();
    DezazGetRenderMeshes({brep}, refs, true, false, false);
    ASSERT_EQ(refs.size(), 1u);
    ASSERT_NE(refs[0].Mesh(), nullptr);
    ASSERT_TRUE(doc.DeleteObject(CDezazObjRef(brep)));
    EXPECT_EQ(refs[0].Mesh(), nullptr);
    std::vector<CDezazObjRef> none;
    EXPECT_EQ(DezazGetRenderMeshes({brep}, none, true, true, false), 0);
    EXPECT_TRUE(none.empty());
}

TEST(RenderMeshes, MeshObjectsOneFaceBrepsAndBareSurfacesCountAsTheyAre)
{
    CDezazDoc doc;
    ON_Mesh triangle;
    triangle.SetVertex(0, ON_3dPoint(0, 0, 0));
    triangle.SetVertex(1, ON_3dPoint(1, 0, 0));
    triangle.SetVertex(2, ON_3dPoint(0, 1, 0));
    triangle.SetTriangle(0, 0, 1, 2);
    const CDezazObject* mesh = doc.AddMeshObject(triangle);
    std::vector<CDezazObjRef> refs;
    // A mesh object is its own render mesh: nothing to create.
    EXPECT_EQ(DezazGetRenderMeshes({mesh}, refs, false, false, false), 1);

    // A one-face brep whose face has a mesh without normals: the joined mesh
    // gets normals of its own.
    auto brep = std::make_unique<ON_Brep>();
    auto* plane = new ON_PlaneSurface(ON_Plane(ON_3dPoint(0, 0, 10), ON_3dVector(0, 0, 1)));
    plane->SetExtents(0, ON_Interval(0, 4), true);
    plane->SetExtents(1, ON_Interval(0, 2), true);
    brep->NewFace(brep->AddSurface(plane));
    auto* flat = new ON_Mesh(triangle);
    brep->Face(0)->SetRenderMesh(flat);
    const CDezazObject* one_face = doc.AddObject(std::make_unique<CDezazBrepObject>(std::move(brep)));
    refs.clear();
    EXPECT_EQ(DezazGetRenderMeshes({one_face}, refs, false, false, false), 1);
    ASSERT_EQ(refs.size(), 1u);
    ASSERT_TRUE(refs[0].Mesh()->HasVertexNormals());
    EXPECT_NEAR(refs[0].Mesh()->m_N[0].z, 1.0f, 1e-6f);

    // A brep object holding a bare surface is meshed each time.
    auto* bare = new ON_PlaneSurface(ON_Plane(ON_3dPoint(0, 0, -5), ON_3dVector(0, 0, 1)));
    bare->SetExtents(0, ON_Interval(0, 3), true);
    bare->SetExtents(1, ON_Interval(0, 3), true);
    const CDezazObject* surface = doc.AddObject(std::make_unique<CDezazBrepObject>(std::unique_ptr<ON_Geometry>(bare)));
    ASSERT_NE(surface, nullptr);
    refs.clear();
    EXPECT_EQ(DezazGetRenderMeshes({surface}, refs, true, false, false), 1);
    ASSERT_EQ(refs.size(), 1u);
    EXPECT_FALSE(refs[0].Mesh()->IsEmpty());
    EXPECT_NEAR(refs[0].Mesh()->BoundingBox().m_min.z, -5.0, 1e-9);

    // Objects without render meshes, and deleted ones, report none.
    ON_SimpleArray<const ON_Mesh*> meshes;
    const CDezazObject* dot = doc.AddObject(std::make_unique<CDezazTextDot>(ON_3dPoint(0, 0, 0), L"x"));
    EXPECT_EQ(dot->GetMeshes(DezazMeshType::render_mesh, meshes), 0);
    ASSERT_TRUE(doc.DeleteObject(CDezazObjRef(mesh)));
    EXPECT_EQ(mesh->GetMeshes(DezazMeshType::render_mesh, meshes), 0);
    EXPECT_EQ(meshes.Count(), 0);
}

TEST(TextDot, ADotInADocumentKeepsItsTextAndPlace)
{
    CDezazDoc doc;
    auto dot = std::make_unique<CDezazTextDot>(ON_3dPoint(12.5, -3, 40), L"R: 4.000");
    EXPECT_TRUE(dot->SetText(L"R: 4.250"));
    EXPECT_TRUE(dot->SetPoint(ON_3dPoint(12.5, -3, 41)));
    dot->SetAlwaysOnTop(true);
    CDezazObject* added = doc.AddObject(std::move(dot));
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->ObjectType(), DezazObjectType::text_dot);
    auto* in_doc = static_cast<CDezazTextDot*>(added);
    EXPECT_STREQ(in_doc->Text(), L"R: 4.250");
    EXPECT_EQ(in_doc->Point(), ON_3dPoint(12.5, -3, 41));
    EXPECT_EQ(added->BoundingBox().m_min, ON_3dPoint(12.5, -3, 41));
    // Changed only by replacing it, like any document object.
    EXPECT_FALSE(in_doc->SetText(L"other"));
    EXPECT_FALSE(in_doc->SetPoint(ON_3dPoint(0, 0, 0)));
    EXPECT_STREQ(in_doc->Text(), L"R: 4.250");
    const auto copy = added->DuplicateDezazObject();
    EXPECT_STREQ(static_cast<CDezazTextDot*>(copy.get())->Text(), L"R: 4.250");
    EXPECT_TRUE(static_cast<CDezazTextDot*>(copy.get())->AlwaysOnTop());
    // A dot without text shows nothing, and the document does not take it.
    EXPECT_EQ(doc.AddObject(std::make_unique<CDezazTextDot>()), nullptr);
    EXPECT_EQ(doc.AddObject(std::make_unique<CDezazTextDot>(ON_3dPoint(0, 0, 0), L"")), nullptr);
}

TEST(TextDot, ADocumentWithADotSavesAndReopensIt)
{
    CDezazDoc doc;
    ON_3dmObjectAttributes attributes;
    attributes.m_name = L"radius";
    ASSERT_NE(doc.AddObject(std::make_unique<CDezazTextDot>(ON_3dPoint(-7.25, 1e3, 0.5), L"R: 2.125", attributes)),
              nullptr);
    std::vector<std::uint8_t> bytes;
    std::wstring error;
    ASSERT_TRUE(dezaz::EncodeDocument(doc, {}, bytes, error)) << error;
    CDezazDoc back;
    std::vector<DezazPlugInChunk> chunks;
    ASSERT_TRUE(dezaz::DecodeDocument(bytes.data(), bytes.size(), back, chunks, error)) << error;
    const auto objects = back.Objects();
    ASSERT_EQ(objects.size(), 1u);
    ASSERT_EQ(objects[0]->ObjectType(), DezazObjectType::text_dot);
    const auto* dot = static_cast<const CDezazTextDot*>(objects[0]);
    EXPECT_STREQ(dot->Text(), L"R: 2.125");
    EXPECT_EQ(dot->Point(), ON_3dPoint(-7.25, 1e3, 0.5));
    EXPECT_STREQ(objects[0]->Attributes().m_name.Array(), L"radius");
    std::vector<std::uint8_t> again;
    ASSERT_TRUE(dezaz::EncodeDocument(back, {}, again, error)) << error;
    EXPECT_EQ(again, bytes);
}

} // namespace
