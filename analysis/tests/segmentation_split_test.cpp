#include "analysis/segmentation.h"
#include "analysis/segmentation_split.h"
#include "core/mesh_object.h"
#include "core/p3d_scene.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"

#include "analysis_test_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace
{

using analysis_test::FillMesh;
using analysis_test::HeightField;

// A machined plate as a height field: a flat top, a cylindrical boss (radius
// 6, 5 high), a hole (radius 6, 5 deep) and, along y = 40, a fillet of
// radius 10 rounding the plate down into a 30-degree slope. Walls of the boss
// and the hole are sharp. The fillet turns its normal by about 6 degrees per
// grid step: below the angle limit, but the largest turn of the whole part,
// so at the normalised scale it is a narrow fillet and joins the sharp band.
double PartHeight(double x, double y)
{
    if (std::hypot(x - 12, y - 12) < 6.0)
        return 5.0;
    if (std::hypot(x - 32, y - 14) < 6.0)
        return -5.0;
    if (y <= 40.0)
        return 0.0;
    constexpr double kRadius = 10.0, kAngle = 0.5235987755982988; // 30 degrees
    const double arcEnd = 40.0 + kRadius * std::sin(kAngle);
    if (y <= arcEnd)
        return -(kRadius - std::sqrt(kRadius * kRadius - (y - 40.0) * (y - 40.0)));
    const double zEnd = -(kRadius - kRadius * std::cos(kAngle));
    return zEnd - (y - arcEnd) * std::tan(kAngle);
}

struct SplitFixture : ::testing::Test
{
    void SetUp() override
    {
        cSegmentationSplitter::ForgetRememberedLayer();
        source = HeightField(50, PartHeight);
        host = doc.AddMeshObject(source);
        ASSERT_NE(host, nullptr);
        hostId = host->ModelObjectId();
        object = new cMeshObject();
        FillMesh(*object->GetMesh(), source);
        scene.AddObject(object);
    }

    // The live mesh objects of the document by colour.
    std::map<unsigned int, std::vector<const ON_Mesh*>> ObjectsByColour() const
    {
        std::map<unsigned int, std::vector<const ON_Mesh*>> out;
        for (const CDezazObject* o : doc.Objects())
            if (auto* m = dynamic_cast<const CDezazMeshObject*>(o))
                out[static_cast<unsigned int>(m->Attributes().m_color)].push_back(m->Mesh());
        return out;
    }

    CDezazDoc doc;
    ON_Mesh source;
    const CDezazMeshObject* host = nullptr;
    ON_UUID hostId = ON_nil_uuid;
    cP3DScene scene{nullptr};
    cMeshObject* object = nullptr; // owned by the scene
};

} // namespace

TEST_F(SplitFixture, MachinedPartSplitsIntoItsFacesWithCountsThatSum)
{
    cMesh& mesh = *object->GetMesh();
    ComputeSegmentationValues(mesh);
    ASSERT_TRUE(MarkSharpTriangles(mesh, 20.0f));
    float box[6];
    scene.GetBoundingBox(box);
    RemoveSmallRegions(mesh, SegmentationAreaLimit(box));
    RefreshSelectedVertices(mesh);

    cSegmentationSplitter splitter(&doc, hostId, L"Vantrell");
    ASSERT_TRUE(splitter.OnSplitIntoSubMeshes(&scene));
    EXPECT_EQ(doc.RedrawCount(), 1);

    // The band replaced the host object (same id) in orange.
    const CDezazObject* band = doc.LookupObject(hostId);
    ASSERT_NE(band, nullptr);
    EXPECT_NE(band, static_cast<const CDezazObject*>(host));
    EXPECT_EQ(static_cast<unsigned int>(band->Attributes().m_color), kSharpBandColour);
    EXPECT_EQ(band->Attributes().ColorSource(), ON_3dmObjectAttributes::color_source::color_from_object);

    // Regions: the plate, the slope beyond the fillet, the boss top and the
    // hole bottom; each a valid mesh in its palette colour. The band holds
    // the walls and the fillet.
    const auto byColour = ObjectsByColour();
    int faces = 0;
    std::vector<ON_BoundingBox> regions;
    for (const auto& [colour, meshes] : byColour)
        for (const ON_Mesh* m : meshes)
        {
            EXPECT_TRUE(m->IsValid());
            EXPECT_TRUE(m->HasVertexNormals());
            faces += m->FaceCount();
            if (colour != kSharpBandColour)
                regions.push_back(m->BoundingBox());
            else
                EXPECT_GE(m->BoundingBox().m_max.y, 45.0); // the fillet is in the band
        }
    EXPECT_EQ(faces, source.FaceCount());
    ASSERT_EQ(regions.size(), 4u);
    for (std::uint32_t label = 0; label < 4; ++label)
        EXPECT_EQ(byColour.count(SegmentRegionColour(label)), 1u) << label;
    auto hasRegion = [&](auto predicate) {
        return std::count_if(regions.begin(), regions.end(), predicate) == 1;
    };
    EXPECT_TRUE(hasRegion([](const ON_BoundingBox& b) { return b.m_min.z == 0 && b.m_max.z == 0 && b.m_max.y < 40; }));
    EXPECT_TRUE(hasRegion([](const ON_BoundingBox& b) { return b.m_max.z < -1.5 && b.m_min.y > 44; }));
    EXPECT_TRUE(hasRegion([](const ON_BoundingBox& b) { return b.m_min.z == 5 && b.m_max.x - b.m_min.x > 5; }));
    EXPECT_TRUE(hasRegion([](const ON_BoundingBox& b) { return b.m_max.z == -5 && b.m_max.x - b.m_min.x > 5; }));
}

TEST_F(SplitFixture, BandCoveringEverythingReplacesAndAddsNoRegion)
{
    object->GetMesh()->ForEachTriangle([](cMeshTriangle& t) { t.flags |= kTriangleFlagSelected; });
    cSegmentationSplitter splitter(&doc, hostId, L"Vantrell");
    ASSERT_TRUE(splitter.OnSplitIntoSubMeshes(&scene));
    EXPECT_EQ(doc.ObjectCount(), 1);
    EXPECT_EQ(doc.LookupObject(hostId)->Attributes().m_color, ON_Color(kSharpBandColour));
    EXPECT_EQ(cSegmentationSplitter::RememberedLayerIndex(), 0);
}

TEST_F(SplitFixture, NothingSelectedKeepsTheHostObjectAndStillAddsRegions)
{
    cSegmentationSplitter splitter(&doc, hostId, L"Vantrell");
    ASSERT_TRUE(splitter.OnSplitIntoSubMeshes(&scene));
    EXPECT_EQ(doc.LookupObject(hostId), host);
    EXPECT_EQ(doc.ObjectCount(), 2); // the host and the one region of the whole mesh
    EXPECT_EQ(cSegmentationSplitter::RememberedLayerIndex(), -1);
}

TEST_F(SplitFixture, TrianglesOfExcludedVerticesAreDropped)
{
    cMesh& mesh = *object->GetMesh();
    // A selected strip across the plate splits it in two regions.
    mesh.ForEachTriangle([&mesh](cMeshTriangle& t) {
        const cVertex* c[3];
        mesh.GetCorners(t, c);
        if (c[0]->y >= 20 && c[0]->y < 21 && c[1]->y >= 20 && c[1]->y <= 21 && c[2]->y >= 20 && c[2]->y <= 21)
            t.flags |= kTriangleFlagSelected;
    });
    mesh.GetVertex(0)->flags |= kVertexFlagExcluded; // a corner used by two triangles
    cSegmentationSplitter splitter(&doc, hostId, L"Vantrell");
    ASSERT_TRUE(splitter.OnSplitIntoSubMeshes(&scene));
    int faces = 0, objects = 0;
    for (const CDezazObject* o : doc.Objects())
    {
        const ON_Mesh* m = dynamic_cast<const CDezazMeshObject*>(o)->Mesh();
        EXPECT_TRUE(m->IsValid());
        faces += m->FaceCount();
        ++objects;
    }
    EXPECT_EQ(objects, 3);
    EXPECT_EQ(faces, source.FaceCount() - 2); // vertex 0 is used by the two triangles of the corner cell
}

TEST_F(SplitFixture, ARegionWithAPointNotFiniteOrATriangleOfRepeatedCornersIsNotAdded)
{
    cMesh& mesh = *object->GetMesh();
    // Two selected strips across the plate split it in three regions: a
    // point of the first is NaN, a triangle of the second has a corner twice.
    mesh.ForEachTriangle([&mesh](cMeshTriangle& t) {
        const cVertex* c[3];
        mesh.GetCorners(t, c);
        for (const float y : {15.0f, 30.0f})
            if (std::all_of(c, c + 3, [y](const cVertex* v) { return v->y >= y && v->y <= y + 1; }))
                t.flags |= kTriangleFlagSelected;
    });
    mesh.GetVertex(0)->x = NAN;
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
    {
        cMeshTriangle* t = mesh.GetTriangle(i);
        if (!IsVisibleSelected(*t) && mesh.GetVertex(t->vertexIndex[0])->y > 22)
        {
            t->vertexIndex[1] = t->vertexIndex[0];
            break;
        }
    }
    cSegmentationSplitter splitter(&doc, hostId, L"Vantrell");
    ASSERT_TRUE(splitter.OnSplitIntoSubMeshes(&scene));
    // The band replaced the host object; of the regions only the third came.
    const auto byColour = ObjectsByColour();
    EXPECT_EQ(doc.ObjectCount(), 2);
    ASSERT_EQ(byColour.count(kSharpBandColour), 1u);
    ASSERT_EQ(byColour.count(SegmentRegionColour(2)), 1u);
    EXPECT_TRUE(byColour.at(SegmentRegionColour(2)).front()->IsValid());
}

TEST(SegmentationSplit, BigMeshRegionsAreLabelledInTheOrderOfTheirFirstTriangles)
{
    // A 200 x 200 plate cut by a selected column into a left and a right
    // part, the right one second in the palette. A hidden selected triangle
    // beside the column in the right part starts a region of its own that
    // never grows (a walk from the right part does not enter it).
    const int n = 200;
    const ON_Mesh plate = HeightField(n, [](double, double) { return 0.0; });
    for (const bool hiddenOne : {false, true})
    {
        CDezazDoc doc;
        const CDezazObject* host = doc.AddMeshObject(plate);
        cP3DScene scene{nullptr};
        auto* object = new cMeshObject();
        FillMesh(*object->GetMesh(), plate);
        scene.AddObject(object);
        cMesh& mesh = *object->GetMesh();
        for (int j = 0; j < n; ++j)
            for (std::uint32_t k = 0; k < 2; ++k)
                mesh.GetTriangle(std::uint32_t(2 * (j * n + 60)) + k)->flags = kTriangleFlagSelected;
        if (hiddenOne)
            mesh.GetTriangle(std::uint32_t(2 * (100 * n + 61)))->flags = kTriangleFlagSelected | kTriangleFlagHidden;
        cSegmentationSplitter splitter(&doc, host->ModelObjectId(), L"Vantrell");
        ASSERT_TRUE(splitter.OnSplitIntoSubMeshes(&scene));
        std::map<unsigned int, int> facesByColour;
        for (const CDezazObject* o : doc.Objects())
        {
            const ON_Mesh& m = *dynamic_cast<const CDezazMeshObject*>(o)->Mesh();
            facesByColour[static_cast<unsigned int>(o->Attributes().m_color)] += m.FaceCount();
            // Every mesh has its normals, the one of a single face too.
            EXPECT_EQ(m.m_FN.Count(), m.FaceCount());
            EXPECT_EQ(m.m_N.Count(), m.VertexCount());
        }
        EXPECT_EQ(doc.ObjectCount(), hiddenOne ? 4 : 3);
        EXPECT_EQ(facesByColour[kSharpBandColour], 2 * n);
        EXPECT_EQ(facesByColour[static_cast<unsigned int>(SegmentRegionColour(0))], 2 * 60 * n);
        EXPECT_EQ(facesByColour[static_cast<unsigned int>(SegmentRegionColour(1))], 2 * 139 * n - (hiddenOne ? 1 : 0));
        EXPECT_EQ(facesByColour[static_cast<unsigned int>(SegmentRegionColour(2))], hiddenOne ? 1 : 0);
        EXPECT_EQ(mesh.GetHighestLabel(), hiddenOne ? 2u : 1u);
    }
}

TEST(SegmentationSplit, FewAndManyRegionsComeOutInLabelOrderWithTheirOwnTriangles)
{
    // A 40 x 40 plate far out cut by selected rows and columns every 16
    // cells into 9 regions, every 8 cells into 25 (more than are listed one
    // by one): each region's mesh holds its own cells, in label order.
    const int n = 40;
    const ON_Mesh plate = HeightField(n, [](double x, double y) { return 3000.0 + 0.001 * x * y; });
    for (const int every : {16, 8})
    {
        CDezazDoc doc;
        const CDezazObject* host = doc.AddMeshObject(plate);
        cP3DScene scene{nullptr};
        auto* object = new cMeshObject();
        FillMesh(*object->GetMesh(), plate);
        scene.AddObject(object);
        cMesh& mesh = *object->GetMesh();
        for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
            if (int(t / 2 % n) % every == 0 || int(t / 2 / n) % every == 0)
                mesh.GetTriangle(t)->flags = kTriangleFlagSelected;
        cSegmentationSplitter splitter(&doc, host->ModelObjectId(), L"Vantrell");
        ASSERT_TRUE(splitter.OnSplitIntoSubMeshes(&scene));
        const int across = (n + every - 1) / every;
        ASSERT_EQ(doc.ObjectCount(), 1 + across * across) << every;
        int label = 0;
        for (const CDezazObject* o : doc.Objects())
        {
            if (static_cast<unsigned int>(o->Attributes().m_color) == kSharpBandColour)
                continue;
            const ON_Mesh& m = *dynamic_cast<const CDezazMeshObject*>(o)->Mesh();
            EXPECT_EQ(o->Attributes().m_color, SegmentRegionColour(std::uint32_t(label))) << every << " " << label;
            // Region (label % across, label / across) of cells: its last
            // one is narrower where the plate ends.
            const int wide = label % across + 1 < across ? every - 1 : n - 1 - (across - 1) * every;
            const int high = label / across + 1 < across ? every - 1 : n - 1 - (across - 1) * every;
            EXPECT_EQ(m.FaceCount(), 2 * wide * high) << every << " " << label;
            const ON_3fPoint first = m.m_V[0];
            EXPECT_EQ(first.x, float(label % across * every + 1)) << every << " " << label;
            EXPECT_EQ(first.y, float(label / across * every + 1)) << every << " " << label;
            ++label;
        }
    }
}

TEST(SegmentationSplit, MarksCuttingMoreRegionsThanThereAreLabelsSaySoAndLeaveTheDocumentAsItWas)
{
    // A 40 x 40 plate cut into 25 regions by selected rows and columns
    // every 8 cells; a limit of 24 regions stands in for the 16,777,215
    // labels a triangle's 24 bits hold (a 50M-triangle scan's marks can cut
    // more): the next label would have wrapped onto region 0's.
    const int n = 40;
    const ON_Mesh plate = HeightField(n, [](double, double) { return 0.0; });
    CDezazDoc doc;
    const CDezazObject* host = doc.AddMeshObject(plate);
    cP3DScene scene{nullptr};
    auto* object = new cMeshObject();
    FillMesh(*object->GetMesh(), plate);
    scene.AddObject(object);
    cMesh& mesh = *object->GetMesh();
    for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
        if (int(t / 2 % n) % 8 == 0 || int(t / 2 / n) % 8 == 0)
            mesh.GetTriangle(t)->flags = kTriangleFlagSelected;
    std::wstring error;
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"MessageBox OK", error)) << error;
    DezazApp().ClearCommandLineText();
    cSegmentationSplitter splitter(&doc, host->ModelObjectId(), L"Vantrell");
    splitter.SetMostRegions(24);
    EXPECT_FALSE(splitter.OnSplitIntoSubMeshes(&scene));
    EXPECT_NE(DezazApp().CommandLineText().find(L"[Vantrell] The marks cut the mesh into more than 24 regions"),
              std::wstring::npos);
    ASSERT_EQ(doc.ObjectCount(), 1);
    EXPECT_EQ(doc.LookupObject(host->ModelObjectId()), host);
    EXPECT_EQ(doc.RedrawCount(), 0);
}

TEST(SegmentationSplit, NormalsOfFacesOnALineAtInfinityOrNotANumberAreTheHostMeshsOwn)
{
    // A plate and, among its faces, one whose corners lie on a line, one
    // with a corner at infinity, one with a corner not a number and a tiny
    // one, an odd count of faces in all: every face and vertex normal is,
    // to the bit, the one the host mesh computes from the same faces.
    ON_Mesh plate = HeightField(6, [](double x, double y) { return 0.3 * x * y - 0.2 * x; });
    const int v = plate.VertexCount(), f = plate.FaceCount();
    for (const ON_3dPoint& p : {ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1), ON_3dPoint(2, 2, 2), ON_3dPoint(INFINITY, 0, 0),
                                ON_3dPoint(NAN, 1, 0), ON_3dPoint(1e-30, 0, 0), ON_3dPoint(0, 1e-30, 0)})
        plate.SetVertex(plate.VertexCount(), p);
    plate.SetTriangle(f, v, v + 1, v + 2);
    plate.SetTriangle(f + 1, v, v + 3, v + 1);
    plate.SetTriangle(f + 2, v, v + 1, v + 4);
    plate.SetTriangle(f + 3, v, v + 5, v + 6);
    cMesh mesh;
    FillMesh(mesh, plate);
    std::vector<std::uint32_t> triangles;
    for (std::uint32_t i = 1; i < mesh.GetTriangleCount(); ++i)
        triangles.push_back(i);
    ASSERT_EQ(triangles.size() % 2, 1u);
    const std::unique_ptr<ON_Mesh> sub = BuildSubMesh(mesh, triangles);
    ASSERT_EQ(sub->FaceCount(), int(triangles.size()));
    ON_Mesh own = *sub;
    own.ComputeFaceNormals();
    own.m_N.Destroy();
    own.ComputeVertexNormals();
    ASSERT_EQ(sub->m_FN.Count(), own.m_FN.Count());
    ASSERT_EQ(sub->m_N.Count(), own.m_N.Count());
    EXPECT_EQ(std::memcmp(sub->m_FN.Array(), own.m_FN.Array(), sizeof(ON_3fVector) * std::size_t(own.m_FN.Count())), 0);
    EXPECT_EQ(std::memcmp(sub->m_N.Array(), own.m_N.Array(), sizeof(ON_3fVector) * std::size_t(own.m_N.Count())), 0);
    // The faces on a line and at infinity have no direction.
    EXPECT_EQ(sub->m_FN[f - 1].x, 0.0f);
    EXPECT_EQ(sub->m_FN[f].x, 0.0f);
}

TEST(SegmentationSplit, RegionPaletteWrapsAfterTwelve)
{
    EXPECT_EQ(SegmentRegionColour(0), ON_Color(101, 207, 101));
    EXPECT_EQ(SegmentRegionColour(9), ON_Color(181, 0, 255));
    EXPECT_EQ(SegmentRegionColour(12), SegmentRegionColour(0));
    EXPECT_EQ(SegmentRegionColour(23), ON_Color(183, 152, 67));
}

TEST(SegmentationSplit, NoDocumentOrNoMeshObjectChangesNothing)
{
    cP3DScene scene(nullptr);
    cSegmentationSplitter none(nullptr, ON_nil_uuid, L"Vantrell");
    EXPECT_FALSE(none.OnSplitIntoSubMeshes(&scene));

    CDezazDoc doc;
    const CDezazObject* point = doc.AddPointObject(ON_3dPoint(1, 2, 3));
    ASSERT_NE(point, nullptr);
    std::wstring error;
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"MessageBox OK", error)) << error;
    DezazApp().ClearCommandLineText();
    cSegmentationSplitter splitter(&doc, point->ModelObjectId(), L"Vantrell");
    EXPECT_FALSE(splitter.OnSplitIntoSubMeshes(&scene));
    EXPECT_NE(DezazApp().CommandLineText().find(L"[Vantrell] There is no active mesh."), std::wstring::npos);
    EXPECT_EQ(doc.ObjectCount(), 1);
    EXPECT_EQ(doc.RedrawCount(), 0);

    // An empty or invalid sub-mesh is reported as not created.
    cSegmentationSplitter adder(&doc, point->ModelObjectId(), L"Vantrell");
    EXPECT_FALSE(adder.CreateSubMeshObjects(std::make_unique<ON_Mesh>(), 0, false));
    auto broken = std::make_unique<ON_Mesh>();
    broken->SetVertex(0, ON_3fPoint(0, 0, 0));
    broken->SetVertex(1, ON_3fPoint(NAN, 0, 0));
    broken->SetVertex(2, ON_3fPoint(0, 1, 0));
    broken->SetTriangle(0, 0, 1, 2);
    EXPECT_FALSE(adder.CreateSubMeshObjects(std::move(broken), 0, false));
    EXPECT_EQ(doc.ObjectCount(), 1);

    // An invalid band does not replace the host mesh object.
    const CDezazObject* host = doc.AddMeshObject(analysis_test::PlaneGrid(2, 1.0f, 0.0f));
    ASSERT_NE(host, nullptr);
    const ON_UUID hostId = host->ModelObjectId();
    auto brokenBand = std::make_unique<ON_Mesh>();
    brokenBand->SetVertex(0, ON_3fPoint(0, 0, 0));
    brokenBand->SetVertex(1, ON_3fPoint(1, 0, 0));
    brokenBand->SetVertex(2, ON_3fPoint(0, 1, 0));
    brokenBand->SetTriangle(0, 0, 1, 7);
    cSegmentationSplitter replacer(&doc, hostId, L"Vantrell");
    EXPECT_FALSE(replacer.CreateSubMeshObjects(std::move(brokenBand), kSharpBandColour, true));
    EXPECT_EQ(doc.ObjectCount(), 2);
    EXPECT_EQ(doc.LookupObject(hostId), host);
}

TEST(SegmentationSplit, RememberedLayerIsUsedOnlyWhereTheDocumentHasIt)
{
    cSegmentationSplitter::ForgetRememberedLayer();
    CDezazDoc first;
    ON_Layer layer;
    layer.SetName(L"Parts");
    const int index = first.LayerTable().AddLayer(layer);
    ASSERT_GT(index, 0);
    ON_3dmObjectAttributes attributes = first.GetDefaultObjectAttributes();
    attributes.m_layer_index = index;
    const ON_Mesh grid = analysis_test::PlaneGrid(2, 1.0f, 0.0f);
    const CDezazObject* host = first.AddMeshObject(grid, &attributes);
    cSegmentationSplitter splitter(&first, host->ModelObjectId(), L"Vantrell");
    ASSERT_TRUE(splitter.CreateSubMeshObjects(std::make_unique<ON_Mesh>(grid), kSharpBandColour, true));
    EXPECT_EQ(cSegmentationSplitter::RememberedLayerIndex(), index);
    ASSERT_TRUE(splitter.CreateSubMeshObjects(std::make_unique<ON_Mesh>(grid), 1234, false));
    EXPECT_EQ(first.Objects().back()->Attributes().m_layer_index, index);

    // A later document without that layer: the region stays where it was added.
    CDezazDoc second;
    const CDezazObject* other = second.AddMeshObject(grid);
    cSegmentationSplitter later(&second, other->ModelObjectId(), L"Vantrell");
    ASSERT_TRUE(later.CreateSubMeshObjects(std::make_unique<ON_Mesh>(grid), 1234, false));
    EXPECT_EQ(second.Objects().back()->Attributes().m_layer_index, 0);
    cSegmentationSplitter::ForgetRememberedLayer();
}
