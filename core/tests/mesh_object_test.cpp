#include "core/bucket_search_tree_prop.h"
#include "core/mesh_file.h"
#include "core/mesh_object.h"
#include "core/mesh_pick.h"
#include "core/triangle_colour_property.h"
#include "mesh_builders.h"
#include "platform/win32/codepage.h"
#include "support/memory_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace
{

// Values kept in maps; reads copy at most maxLength characters.
class MemoryKeyValueStore : public IKeyValueStore
{
public:
    bool WriteWideText(const wchar_t* key, const wchar_t* text) override
    {
        wide[key] = text;
        return true;
    }
    bool WriteAnsiText(const wchar_t* key, const char* text) override
    {
        ansi[key] = text;
        return true;
    }
    bool ReadAnsiText(const wchar_t* key, char* buffer, std::size_t maxLength) override
    {
        auto it = ansi.find(key);
        if (it == ansi.end())
            return false;
        std::size_t n = std::min(maxLength, it->second.size());
        std::memcpy(buffer, it->second.data(), n);
        buffer[n] = '\0';
        return true;
    }
    bool ReadWideText(const wchar_t* key, wchar_t* buffer, std::size_t maxLength) override
    {
        auto it = wide.find(key);
        if (it == wide.end())
            return false;
        std::size_t n = std::min(maxLength, it->second.size());
        std::wmemcpy(buffer, it->second.data(), n);
        buffer[n] = L'\0';
        return true;
    }
    std::map<std::wstring, std::string> ansi;
    std::map<std::wstring, std::wstring> wide;
};

// Two unit squares facing +z, one at z = 0 and one at z = 1, both under the
// screen window [0, 1] x [0, 1] of the identity projection.
void BuildTwoLayers(cMesh& mesh)
{
    BuildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
              {{0, 1, 2}, {0, 2, 3}, {4, 5, 6}, {4, 6, 7}});
}

TEST(MeshObject, NewObjectDrawsSmoothTwoSidedWithItsColoursAndAnswersItsIds)
{
    cMeshObject object;
    EXPECT_TRUE(object.HasStateFlag1());
    EXPECT_TRUE(object.HasGeometry());
    const cDecoratorObject& d = object.GetDecoratorConst();
    EXPECT_EQ(d.m_mode, kDisplaySmooth);
    EXPECT_NE(d.m_flags & kDecoratorTwoSided, 0u);
    EXPECT_EQ(d.m_colours[kDecoratorFront][2], 130 / 255.0f);
    EXPECT_EQ(d.m_colours[kDecoratorBack][1], 128 / 255.0f);
    EXPECT_EQ(d.m_colours[kDecoratorBoundary][0], 20 / 255.0f);
    EXPECT_TRUE(object.GetClassGuid() == CLSID_cMeshObject);

    EXPECT_EQ(object.QueryInterface(CLSID_cMeshObject), &object);
    EXPECT_EQ(object.QueryInterface(IID_ISceneObject), static_cast<ISceneObject*>(&object));
    EXPECT_EQ(object.QueryInterface(IID_cMesh), object.GetMesh());
    // A query made on the mesh is answered by the object that holds it.
    EXPECT_EQ(object.GetMesh()->QueryInterface(IID_ISceneObject), static_cast<ISceneObject*>(&object));
    const GUID unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(object.QueryInterface(unknown), nullptr);
}

TEST(MeshObject, SelectAllMarksEveryRecordAndDeselectAllOnlyWhenSelected)
{
    cMeshObject object;
    BuildTwoLayers(*object.GetMesh());
    tEventCounter<ISceneObject> changed;
    object.GetAttributeChangedEvent().Subscribe(&changed);

    object.GetMesh()->GetTriangle(1)->flags |= kTriangleFlagSelected;
    object.DeselectAll(); // not selected: the marks stay, the event fires
    EXPECT_NE(object.GetMesh()->GetTriangle(1)->flags & kTriangleFlagSelected, 0);
    EXPECT_EQ(changed.count, 1);

    object.SetSelected(true);
    EXPECT_TRUE(object.IsSelected());
    EXPECT_NE(object.GetMesh()->GetVertex(7)->flags & kVertexSelected, 0u);
    EXPECT_NE(object.GetMesh()->GetTriangle(3)->flags & kTriangleFlagSelected, 0);
    object.SetSelected(false);
    EXPECT_FALSE(object.IsSelected());
    EXPECT_EQ(object.GetMesh()->GetVertex(7)->flags & kVertexSelected, 0u);
    EXPECT_EQ(object.GetMesh()->GetTriangle(1)->flags & kTriangleFlagSelected, 0);
    EXPECT_EQ(changed.count, 3);
}

TEST(MeshObject, StreamRoundTripAndNothingWrittenForAnEmptyMesh)
{
    cMeshObject object;
    object.SetName(L"Scan");
    BuildTwoLayers(*object.GetMesh());
    std::unique_ptr<cBINFile> stream(NewStreamOver({}));
    ASSERT_TRUE(object.Write(stream.get()));
    std::vector<std::uint8_t> bytes = StreamBytes(*stream);
    EXPECT_EQ(bytes.size(), 504u + 144 + 8 + 8 * 12 + 8 + 4 * 24);

    cMeshObject copy;
    BuildTetrahedron(*copy.GetMesh());
    std::unique_ptr<cBINFile> in(NewStreamOver(bytes));
    ASSERT_TRUE(copy.Read(in.get()));
    EXPECT_STREQ(copy.GetName(), L"Scan");
    EXPECT_TRUE(copy.GetObjectId() == object.GetObjectId());
    EXPECT_EQ(copy.GetMesh()->GetVertexCount(), 8u);
    EXPECT_EQ(copy.GetMesh()->GetTriangleCount(), 4u);

    // Neither a mesh without vertices nor one without triangles leaves a
    // lone common record in the stream.
    cMeshObject empty;
    cMeshObject pointsOnly;
    BuildMesh(*pointsOnly.GetMesh(), {{0, 0, 0}}, {});
    cMeshObject nonFinite;
    BuildTwoLayers(*nonFinite.GetMesh());
    nonFinite.GetMesh()->GetVertex(5)->z = std::nanf("");
    std::unique_ptr<cBINFile> out(NewStreamOver({}));
    EXPECT_FALSE(empty.Write(out.get()));
    EXPECT_FALSE(pointsOnly.Write(out.get()));
    EXPECT_FALSE(nonFinite.Write(out.get())); // the reader would refuse it
    EXPECT_TRUE(StreamBytes(*out).empty());
}

// A record whose common part is sound but whose mesh is not (foreign,
// damaged, short) leaves the object as it was: its name, id and mesh.
TEST(MeshObject, AFailedRecordReadChangesNothing)
{
    cMeshObject source;
    source.SetName(L"Incoming");
    BuildTwoLayers(*source.GetMesh());
    std::unique_ptr<cBINFile> stream(NewStreamOver({}));
    ASSERT_TRUE(source.Write(stream.get()));
    const std::vector<std::uint8_t> good = StreamBytes(*stream);

    std::vector<std::vector<std::uint8_t>> bad;
    bad.push_back(good);
    bad.back()[504] ^= 1; // a foreign mesh header
    bad.push_back(good);
    bad.back()[504 + 144] = 9; // nine vertices announced, eight present
    bad.push_back(std::vector<std::uint8_t>(good.begin(), good.end() - 1));
    bad.push_back(std::vector<std::uint8_t>(good.begin(), good.begin() + 504 + 100));
    for (std::size_t k = 0; k < bad.size(); ++k)
    {
        cMeshObject object;
        object.SetName(L"Kept");
        BuildTetrahedron(*object.GetMesh());
        const GUID id = object.GetObjectId();
        tEventCounter<ISceneObject> changed;
        object.GetGeometryChangedEvent().Subscribe(&changed);
        std::unique_ptr<cBINFile> in(NewStreamOver(bad[k]));
        EXPECT_FALSE(object.Read(in.get())) << k;
        EXPECT_STREQ(object.GetName(), L"Kept") << k;
        EXPECT_TRUE(object.GetObjectId() == id) << k;
        EXPECT_EQ(object.GetMesh()->GetVertexCount(), 4u) << k;
        EXPECT_EQ(object.GetMesh()->GetTriangleCount(), 4u) << k;
        EXPECT_EQ(changed.count, 0) << k;
        object.GetGeometryChangedEvent().Unsubscribe(&changed);
    }
}

// A search tree over the old vertices must not survive the mesh being read
// anew or rebuilt: its elements would point into freed records.
TEST(MeshObject, ReadingOrRebuildingTheMeshEmptiesItsSearchTree)
{
    cMeshObject object;
    BuildTwoLayers(*object.GetMesh());
    cBucketSearchTreeProp* tree = cBucketSearchTreeProp::GetOrAttach(&object, kBucketSearchTreePropertyName);
    ASSERT_NE(tree, nullptr);
    ASSERT_TRUE(tree->EnsureBuilt());

    std::unique_ptr<cBINFile> stream(NewStreamOver({}));
    ASSERT_TRUE(object.Write(stream.get()));
    std::unique_ptr<cBINFile> in(NewStreamOver(StreamBytes(*stream)));
    ASSERT_TRUE(object.Read(in.get()));
    EXPECT_FALSE(tree->IsBuilt());

    ASSERT_TRUE(tree->EnsureBuilt());
    const double q[3] = {1, 1, 1};
    double radius = 0.5;
    const cVertex* nearest = tree->FindNearest(q, radius);
    ASSERT_NE(nearest, nullptr);
    EXPECT_EQ(nearest, object.GetMesh()->GetVertex(6)) << "the rebuilt tree holds the new records";

    object.UpdateGeometry();
    EXPECT_FALSE(tree->IsBuilt());
}

TEST(MeshObject, GuidTextUsesThe32BitSignedLongOfTheOriginalPlatform)
{
    EXPECT_EQ(FormatGuidText(CLSID_cMeshObject), "-1458206843 -8094 18860 141 155 88 122 204 255 6 112");
    EXPECT_TRUE(ParseGuidText(FormatGuidText(CLSID_cMeshObject).c_str()) == CLSID_cMeshObject);
    GUID partial = ParseGuidText("12 -1 junk 7");
    EXPECT_EQ(partial.Data1, 12u);
    EXPECT_EQ(partial.Data2, 0xFFFFu);
    EXPECT_EQ(partial.Data3, 0u);
    EXPECT_EQ(partial.Data4[0], 0);
    EXPECT_TRUE(ParseGuidText("") == kNullGuid);
    EXPECT_TRUE(ParseGuidText(nullptr) == kNullGuid);
}

TEST(MeshObject, PropertiesHeaderAndLoadingTheFileItNames)
{
    cMeshObject object;
    object.SetName(L"Part \u00E9");
    GUID group;
    CreateNewGuid(&group);
    object.SetGroupGuid(group);
    MemoryKeyValueStore store;
    ASSERT_TRUE(object.SaveProperties(&store));
    EXPECT_EQ(store.ansi.size() + store.wide.size(), 3u);
    EXPECT_EQ(store.ansi.at(L"TYPE"), FormatGuidText(CLSID_cMeshObject));
    EXPECT_EQ(store.wide.at(L"TITLE"), L"Part \u00E9");
    EXPECT_FALSE(object.SaveProperties(nullptr));

    cMeshObject loaded;
    EXPECT_FALSE(loaded.LoadProperties(&store)); // no FILE_NAME
    EXPECT_STREQ(loaded.GetName(), L"Part \u00E9");
    EXPECT_TRUE(loaded.GetGroupGuid() == group);

    // The file writer adds FILE_NAME after writing the mesh file.
    BuildTwoLayers(*object.GetMesh());
    std::filesystem::path path = std::filesystem::temp_directory_path() / "mesh-object-test.bin";
    {
        std::unique_ptr<cBINFile> file(new cBINFile(std::fopen(path.c_str(), "wb")));
        IBinStream* stream = file.get();
        ASSERT_TRUE(WriteMeshHeader(stream));
        ASSERT_TRUE(WriteMeshVertices(*object.GetMesh(), stream, nullptr));
        ASSERT_TRUE(WriteMeshTriangles(*object.GetMesh(), stream, nullptr));
    }
    store.wide[L"FILE_NAME"] = win32::Utf8ToWide(path.string());
    EXPECT_TRUE(loaded.LoadProperties(&store));
    EXPECT_EQ(loaded.GetMesh()->GetTriangleCount(), 4u);
    std::filesystem::remove(path);
}

TEST(MeshObject, SurfacePickTakesTheNearestVisibleFrontFacingTriangle)
{
    cMeshObject object;
    BuildTwoLayers(*object.GetMesh());
    stScreenProjection view; // identity: screen x, y = world x, y; depth = z
    stHitRecord hit = object.PickSurfacePoint(0.25f, 0.5f, view);
    ASSERT_TRUE(hit.IsHit());
    EXPECT_EQ(hit.point, (t3DPoint<float>{0.25f, 0.5f, 1.0f}));
    EXPECT_EQ(hit.normal.z, 1.0f);
    EXPECT_EQ(hit.vertexIndex, 4u);

    std::uint32_t triangle = 99;
    PickMeshSurface(hit, *object.GetMesh(), 0.75f, 0.25f, view.transform, view.origin, &triangle);
    EXPECT_EQ(triangle, 2u);

    // Hidden triangles are skipped: the lower layer is hit.
    object.GetMesh()->GetTriangle(2)->flags |= kTriangleFlagHidden;
    hit = object.PickSurfacePoint(0.75f, 0.25f, view);
    ASSERT_TRUE(hit.IsHit());
    EXPECT_EQ(hit.point.z, 0.0f);

    // Seen from below every triangle faces away.
    stScreenProjection below;
    const double flip[12] = {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0};
    std::copy(flip, flip + 12, below.transform);
    EXPECT_FALSE(object.PickSurfacePoint(0.5f, -0.5f, below).IsHit());

    hit = object.PickSurfacePoint(3.0f, 3.0f, view);
    EXPECT_FALSE(hit.IsHit());
    EXPECT_EQ(hit.flags, kHitNothing);
    EXPECT_FALSE(IsValidPoint(hit.point));
}

TEST(MeshObject, NearestVertexWithinTheRadiusAndItsDepthRule)
{
    cMeshObject object;
    // Vertex 1 is a little nearer (0.9 against 1 pixel) than vertex 0 and
    // nearer the viewer; vertex 2 lies far away on screen.
    BuildMesh(*object.GetMesh(), {{1, 0, 0}, {-0.9f, 0, 2}, {9, 9, 0}}, {{0, 1, 2}});
    stScreenProjection view;
    stHitRecord hit;
    EXPECT_FALSE(object.PickNearestVertex(5, -5, view, true, 1.0f, &hit));
    ASSERT_TRUE(object.PickNearestVertex(0, 0, view, true, 2.0f, &hit));
    EXPECT_EQ(hit.vertexIndex, 1u);
    // Behind the first, a slightly nearer one on screen does not replace it...
    object.GetMesh()->GetVertex(1)->z = -2;
    ASSERT_TRUE(object.PickNearestVertex(0, 0, view, true, 2.0f, &hit));
    EXPECT_EQ(hit.vertexIndex, 0u);
    // ...but one at less than half the squared distance does.
    object.GetMesh()->GetVertex(1)->x = -0.5f;
    ASSERT_TRUE(object.PickNearestVertex(0, 0, view, true, 2.0f, &hit));
    EXPECT_EQ(hit.vertexIndex, 1u);
    object.GetMesh()->GetVertex(1)->flags |= kVertexHiddenFromPicks;
    ASSERT_TRUE(object.PickNearestVertex(0, 0, view, true, 2.0f, &hit));
    EXPECT_EQ(hit.vertexIndex, 0u);
}

TEST(MeshObject, WindowAverageCountsVisibleVerticesInsideTheBoundsIncluded)
{
    cMeshObject object;
    BuildMesh(*object.GetMesh(), {{1, 1, 0}, {-1, -1, 4}, {3, 0, 0}, {0, 0, 9}}, {{0, 1, 2}});
    stScreenProjection view;
    t3DPoint<float> mean = object.AveragePointInWindow(view, 1.0f, 1.0f);
    EXPECT_EQ(mean, (t3DPoint<float>{0, 0, 13.0f / 3.0f}));
    object.GetMesh()->GetVertex(3)->flags |= kVertexHiddenFromAverage;
    EXPECT_EQ(object.AveragePointInWindow(view, 1.0f, 1.0f), (t3DPoint<float>{0, 0, 2.0f}));
    EXPECT_FALSE(IsValidPoint(object.AveragePointInWindow(view, 0.5f, 0.5f)));
}

TEST(TriangleColours, GetOrCreateAttachesOnceAndAccessStaysInBounds)
{
    cMeshObject object;
    CTriangleColourProperties* colours = CTriangleColourProperties::GetOrCreate(&object);
    ASSERT_NE(colours, nullptr);
    EXPECT_EQ(CTriangleColourProperties::GetOrCreate(&object), colours);
    EXPECT_EQ(object.FindAttachedProperty(kTriangleColoursPropertyName), colours);

    ASSERT_TRUE(colours->Resize(3));
    EXPECT_FALSE(colours->HasColours());
    EXPECT_TRUE(colours->Set(2, 5));
    EXPECT_FALSE(colours->Set(3, 5)); // beyond the size it was given
    colours->RecomputeHasColours();
    EXPECT_TRUE(colours->HasColours());
    EXPECT_EQ(colours->Get(2), 5);
    EXPECT_EQ(colours->Get(1000), 0);
    ASSERT_TRUE(colours->Resize(2));
    EXPECT_EQ(colours->GetCount(), 2u);
    EXPECT_FALSE(colours->HasColours());
}

} // namespace
