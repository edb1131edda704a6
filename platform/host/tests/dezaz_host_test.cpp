#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/host/dezaz_plugin.h"
#include "platform/host/document_io.h"
#include "platform/win32/menu.h"
#include "platform/win32/prompt_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

namespace
{

ON_Mesh Triangle(double z = 0)
{
    ON_Mesh mesh;
    mesh.SetVertex(0, ON_3dPoint(0, 0, z));
    mesh.SetVertex(1, ON_3dPoint(1, 0, z));
    mesh.SetVertex(2, ON_3dPoint(0, 1, z));
    mesh.SetTriangle(0, 0, 1, 2);
    return mesh;
}

TEST(DezazDoc, ReplacingKeepsTheIdentityAndOldReferencesLetGo)
{
    CDezazDoc doc;
    ON_3dmObjectAttributes at;
    at.m_name = L"scan";
    const CDezazMeshObject* mesh = doc.AddMeshObject(Triangle(), &at);
    ASSERT_NE(mesh, nullptr);
    const ON_UUID id = mesh->ModelObjectId();
    const CDezazObjRef old_ref(mesh);
    EXPECT_TRUE(ON_UuidIsNotNil(id));

    const CDezazMeshObject* moved = doc.ReplaceObject(old_ref, Triangle(5));
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->ModelObjectId(), id);
    EXPECT_EQ(moved->Attributes().m_name, ON_wString(L"scan"));
    EXPECT_NE(moved->RuntimeSerialNumber(), mesh->RuntimeSerialNumber());
    EXPECT_TRUE(mesh->IsDeleted()); // still readable by whoever held it
    EXPECT_EQ(old_ref.Object(), nullptr);
    EXPECT_EQ(doc.LookupObject(id), moved);
    EXPECT_EQ(doc.ObjectCount(), 1);
    EXPECT_EQ(doc.ReplaceObject(old_ref, Triangle()), nullptr);

    // A second object asking for a uuid in use gets a fresh one.
    ON_3dmObjectAttributes same = moved->Attributes();
    const CDezazMeshObject* copy = doc.AddMeshObject(Triangle(), &same);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->ModelObjectId(), id);

    EXPECT_TRUE(doc.DeleteObject(CDezazObjRef(copy)));
    EXPECT_FALSE(doc.DeleteObject(CDezazObjRef(copy)));
    EXPECT_EQ(doc.ObjectCount(), 1);
    // Empty or invalid geometry is not taken.
    EXPECT_EQ(doc.AddObject(std::make_unique<CDezazBrepObject>()), nullptr);
    EXPECT_EQ(doc.AddMeshObject(ON_Mesh()), nullptr);
    ON_Mesh broken = Triangle();
    broken.m_V[1].y = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(doc.AddMeshObject(broken), nullptr);
    broken = Triangle();
    broken.m_F[0].vi[2] = 7;
    EXPECT_EQ(doc.ReplaceObject(CDezazObjRef(moved), broken), nullptr);
    EXPECT_EQ(doc.ObjectCount(), 1);
}

TEST(DezazDoc, IteratorsFollowStatesCategoriesAndSelection)
{
    CDezazDoc doc;
    const CDezazObject* normal = doc.AddMeshObject(Triangle());
    const CDezazObject* hidden = doc.AddMeshObject(Triangle());
    const CDezazObject* locked = doc.AddPointObject(ON_3dPoint(1, 2, 3));
    const CDezazObject* reference = doc.AddObject(std::make_unique<CDezazMeshObject>(Triangle()), true);
    doc.HideObject(CDezazObjRef(hidden));
    ON_3dmObjectAttributes at = locked->Attributes();
    at.SetMode(ON_3dmObjectAttributes::object_mode::locked_object);
    doc.ModifyObjectAttributes(CDezazObjRef(locked), at);

    const auto walk = [&](unsigned int states, unsigned int categories, unsigned int types = 0, bool selected = false) {
        CDezazObjectIterator it(doc, states, categories);
        it.SetObjectFilter(types);
        it.EnableSelectedFilter(selected);
        std::vector<const CDezazObject*> seen;
        for (const CDezazObject* o = it.First(); o; o = it.Next())
            seen.push_back(o);
        return seen;
    };
    using V = std::vector<const CDezazObject*>;
    EXPECT_EQ(walk(7, 1), (V{normal, hidden, locked}));
    EXPECT_EQ(walk(3, 1), (V{normal, locked}));
    EXPECT_EQ(walk(4, 3), (V{hidden}));
    EXPECT_EQ(walk(1, 2), (V{reference}));
    EXPECT_EQ(walk(7, 3, static_cast<unsigned>(DezazObjectType::point)), (V{locked}));

    // Hidden objects cannot be selected; selection follows hiding.
    EXPECT_EQ(doc.SelectAll(), 3);
    EXPECT_FALSE(hidden->IsSelected());
    EXPECT_EQ(walk(7, 3, 0, true), (V{normal, locked, reference}));
    doc.HideObject(CDezazObjRef(normal));
    EXPECT_FALSE(normal->IsSelected());
    doc.ShowObject(CDezazObjRef(normal));
    EXPECT_TRUE(normal->IsVisible());

    // A layer that is switched off hides its objects from the getter's eyes.
    ON_Layer off;
    off.SetName(L"Off");
    off.SetVisible(false);
    const int layer = doc.LayerTable().AddLayer(off);
    EXPECT_EQ(doc.LayerTable().AddLayer(off), -1); // names are unique, without case
    at = normal->Attributes();
    at.m_layer_index = layer;
    doc.ModifyObjectAttributes(CDezazObjRef(normal), at);
    EXPECT_FALSE(normal->IsVisible());
    EXPECT_EQ(doc.LayerTable().FindLayerFromUniqueName(L"OFF"), layer);
}

class CMeshOnlyGetter : public CDezazGetObject
{
public:
    bool CustomGeometryFilter(const CDezazObject*, const ON_Geometry* geometry) const override
    {
        const ON_Mesh* mesh = ON_Mesh::Cast(geometry);
        return mesh && mesh->FaceCount() > 0;
    }
};

TEST(DezazGetObject, PreSelectionFirstThenQueuedAnswersWhichTheFiltersMustAccept)
{
    CDezazDoc& doc = DezazApp().ActiveDoc();
    doc.Clear();
    win32::ClearPromptAnswers();
    const CDezazObject* mesh = doc.AddMeshObject(Triangle());
    const CDezazObject* point = doc.AddPointObject(ON_3dPoint(0, 0, 0));

    CMeshOnlyGetter go;
    go.SetGeometryFilter(CDezazGetObject::mesh_object);
    go.EnablePreSelect(true);
    doc.SelectAll(); // the point is pre-selected too, and ignored
    ASSERT_EQ(go.GetObjects(1, 1), CDezazGet::object);
    EXPECT_EQ(go.Object(0).Object(), mesh);

    doc.UnselectAll();
    std::wstring error;
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Object " + std::to_wstring(mesh->RuntimeSerialNumber()), error));
    ASSERT_EQ(go.GetObjects(1, 1), CDezazGet::object);
    EXPECT_EQ(go.Object(0).Mesh(), static_cast<const CDezazMeshObject*>(mesh)->Mesh());

    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Object cancel", error));
    EXPECT_EQ(go.GetObjects(1, 1), CDezazGet::cancel);
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Object nothing", error));
    EXPECT_EQ(go.GetObjects(1, 1), CDezazGet::nothing);

    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Object " + std::to_wstring(point->RuntimeSerialNumber()), error));
    EXPECT_THROW(go.GetObjects(1, 1), win32::UnexpectedPrompt);
    EXPECT_THROW(go.GetObjects(1, 1), win32::UnexpectedPrompt); // nothing queued

    EXPECT_FALSE(dezaz::QueueScriptAnswer(L"Object -3", error));
    EXPECT_FALSE(dezaz::QueueScriptAnswer(L"Object selected", error)); // nothing is
    EXPECT_FALSE(dezaz::QueueScriptAnswer(L"Menu many", error));
    EXPECT_FALSE(dezaz::QueueScriptAnswer(L"Wish granted", error));
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
    doc.Clear();
}

TEST(DezazApp, MessageBoxesTakeTheScriptsAnswerAndMustShowTheExpectedText)
{
    win32::ClearPromptAnswers();
    std::wstring error;
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"MessageBox No For the best results", error));
    EXPECT_EQ(DezazMessageBox(nullptr, L"For the best results it is recommended", L"Vantrell", 4), 7);
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"MessageBox Yes Delete", error));
    EXPECT_THROW(DezazMessageBox(nullptr, L"Something else", L"Vantrell", 4), win32::UnexpectedPrompt);
}

// Two plug-ins with document data: the first reads past its chunk, the
// second must still get exactly its own bytes.
class CChunkPlugIn : public CDezazUtilityPlugIn
{
public:
    CChunkPlugIn(const char* id, int value) : m_id(ON_UuidFromString(id)), m_value(value) {}
    GUID PlugInID() const override { return m_id; }
    const wchar_t* PlugInName() const override { return L"Chunk"; }
    const wchar_t* PlugInVersion() const override { return L"1"; }
    BOOL CallWriteDocument(CDezazDoc&, const CDezazFileWriteOptions&) override { return has_data; }
    BOOL WriteDocument(CDezazDoc&, ON_BinaryArchive& archive, const CDezazFileWriteOptions& options) override
    {
        if (options.Mode(CDezazFileWriteOptions::geometry_only))
            return TRUE;
        if (fail_write || !archive.WriteInt(m_value))
            return FALSE;
        return wordy ? archive.WriteInt(m_value + 1) && archive.WriteInt(m_value + 2) : TRUE;
    }
    BOOL ReadDocument(CDezazDoc&, ON_BinaryArchive& archive, const CDezazFileReadOptions& options) override
    {
        merged = options.Mode(CDezazFileReadOptions::import_merge);
        int value = 0, beyond = 0;
        if (!archive.ReadInt(&value))
            return FALSE;
        read_value = value;
        return greedy ? archive.ReadInt(&beyond) : TRUE;
    }

    bool has_data = true;
    bool fail_write = false;
    bool greedy = false;
    bool wordy = false; // writes more than it reads back
    bool merged = false;
    int read_value = 0;

private:
    ON_UUID m_id;
    int m_value;
};

TEST(DocumentChunks, APlugInThatReadsTooMuchNeverReachesTheNextChunk)
{
    CChunkPlugIn greedy("AAAAAAAA-0000-0000-0000-000000000001", 11);
    CChunkPlugIn tidy("BBBBBBBB-0000-0000-0000-000000000002", 22);
    CChunkPlugIn silent("CCCCCCCC-0000-0000-0000-000000000003", 33);
    silent.has_data = false;
    for (CDezazPlugIn* p : std::initializer_list<CDezazPlugIn*>{&greedy, &tidy, &silent})
        dezaz::SetPlugInLoaded(p, true);
    greedy.greedy = true;

    CDezazDoc doc;
    doc.AddMeshObject(Triangle());
    const auto path = std::filesystem::temp_directory_path() / "vtl_chunks.dzz";
    std::wstring error;
    ASSERT_TRUE(dezaz::SaveDocument(doc, path.wstring(), CDezazFileWriteOptions(), error)) << error;

    DezazApp().ClearCommandLineText();
    CDezazDoc opened;
    ASSERT_TRUE(dezaz::OpenDocument(opened, path.wstring(), false, error)) << error;
    EXPECT_EQ(greedy.read_value, 11);
    EXPECT_EQ(tidy.read_value, 22);
    EXPECT_EQ(silent.read_value, 0);
    EXPECT_NE(DezazApp().CommandLineText().find(L"could not read its data"), std::wstring::npos);
    EXPECT_EQ(opened.ObjectCount(), 1);

    // A plug-in that fails to write is left out and the save goes on.
    tidy.fail_write = true;
    ASSERT_TRUE(dezaz::SaveDocument(doc, path.wstring(), CDezazFileWriteOptions(), error)) << error;
    tidy.read_value = 0;
    ASSERT_TRUE(dezaz::OpenDocument(opened, path.wstring(), true, error)) << error;
    EXPECT_EQ(tidy.read_value, 0);
    EXPECT_TRUE(greedy.merged);
    EXPECT_EQ(opened.ObjectCount(), 2);

    for (CDezazPlugIn* p : std::initializer_list<CDezazPlugIn*>{&greedy, &tidy, &silent})
        dezaz::SetPlugInLoaded(p, false);
    std::filesystem::remove(path);
}

TEST(DocumentChunks, APlugInThatReadsTooLittleLeavesTheNextChunkWhole)
{
    CChunkPlugIn wordy("AAAAAAAA-0000-0000-0000-000000000001", 11);
    CChunkPlugIn tidy("BBBBBBBB-0000-0000-0000-000000000002", 22);
    wordy.wordy = true;
    for (CDezazPlugIn* p : std::initializer_list<CDezazPlugIn*>{&wordy, &tidy})
        dezaz::SetPlugInLoaded(p, true);

    CDezazDoc doc;
    doc.AddMeshObject(Triangle());
    const auto path = std::filesystem::temp_directory_path() / "vtl_chunks_short.dzz";
    std::wstring error;
    ASSERT_TRUE(dezaz::SaveDocument(doc, path.wstring(), CDezazFileWriteOptions(), error)) << error;
    CDezazDoc opened;
    ASSERT_TRUE(dezaz::OpenDocument(opened, path.wstring(), false, error)) << error;
    EXPECT_EQ(wordy.read_value, 11);
    // Not 12, the first of the words the other plug-in left unread.
    EXPECT_EQ(tidy.read_value, 22);
    EXPECT_EQ(opened.ObjectCount(), 1);

    for (CDezazPlugIn* p : std::initializer_list<CDezazPlugIn*>{&wordy, &tidy})
        dezaz::SetPlugInLoaded(p, false);
    std::filesystem::remove(path);
}

TEST(PlugInMenu, TheHostKeepsItsOwnCopyAtThePositionAndRoutesTheIds)
{
    CChunkPlugIn plugin("DDDDDDDD-0000-0000-0000-000000000004", 0);
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_STRING, 1, L"File");
    dezaz::SetHostMenu(bar);
    HMENU menu = CreateMenu();
    HMENU popup = CreatePopupMenu();
    AppendMenuW(popup, MF_STRING, 501, L"First");
    AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup, MF_STRING | MF_GRAYED, 502, L"Second");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"Tools");
    ASSERT_TRUE(plugin.InsertPlugInMenuToDezazMenu(menu, 0));
    DestroyMenu(menu); // the plug-in lets go of its menu; the host's stays

    ASSERT_EQ(GetMenuItemCount(bar), 2);
    HMENU copy = GetSubMenu(bar, 0);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(GetMenuItemCount(copy), 3);
    EXPECT_EQ(GetMenuItemID(copy, 2), 502u);
    EXPECT_NE(GetMenuState(copy, 2, MF_BYPOSITION) & MF_GRAYED, 0u);
    EXPECT_EQ(dezaz::PlugInOfMenuItem(501), &plugin);
    EXPECT_EQ(dezaz::PlugInOfMenuItem(503), nullptr);
    EXPECT_FALSE(plugin.InsertPlugInMenuToDezazMenu(nullptr, 0));
    EXPECT_EQ(GetMenuItemCount(bar), 2);
    dezaz::SetHostMenu(nullptr);
    DestroyMenu(bar);
}

} // namespace
