// The plug-in's document hooks: what decide-to-write keeps, the chunk around
// the history, chunks of other versions, merges, damaged chunks, and the
// sessions of a document saved by this process and opened by the host
// program in another.
#include "plugin/dialogs/shape_kinds.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/dialogs/sketch_page.h"
#include "plugin/dialogs/curves_page.h"
#include "resources/curves.h"
#include "modes/section_plane_picker.h"
#include "render/renderer.h"
#include "plugin/document_hooks.h"
#include "plugin/vtl_plugin.h"
#include "support/shape_scans.h"
#include "support/view_input.h"

#include "platform/win32/controls.h"
#include "platform/win32/prompt_script.h"
#include "resources/shapes_dialog.h"
#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "modes/profile_edit_mode.h"
#include "modes/profile_sketch_selection.h"
#include "modes/shapes_view.h"
#include "render/tests/support/camera_moves.h"
#include "shapes/primitive_geometry.h"
#include "shapes/session_surface.h"
#include "shapes/shape_interfaces.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_event_watcher.h"
#include "platform/host/document_format.h"
#include "platform/host/document_io.h"
#include "platform/host/span_archive.h"
#include "shapes/entities_history.h"
#include "shapes/session_kinds.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace
{

namespace fs = std::filesystem;

// Sessions of every built kind on a host object, with shapes and regions
// that depend on the seed.
void AddSessions(CEntitiesHistory& history, const ON_UUID& host, int seed)
{
    CObjectSurfaces* entry = history.GetOrCreate(host);
    const GUID kinds[5] = {CLSID_CSessionPlane, CLSID_CSessionSymmetryPlane, CLSID_CSessionSphere,
                           CLSID_CSessionCylinder, CLSID_CSessionCurveNetwork};
    for (const GUID& kind : kinds)
    {
        CSessionSurface* session = entry->CreateSession(kind, false);
        ++seed;
        if (auto* sphere = dynamic_cast<CSessionSphere*>(session))
        {
            const double c[3] = {1.0 * seed, 2.0, 3.0};
            sphere->GetObject().GetGeometry()->SetCentreAndRadius(c, 0.5 + seed);
        }
        else if (auto* cylinder = dynamic_cast<CSessionCylinder*>(session))
        {
            const double b[3] = {0, 1.0 * seed, 0}, a[3] = {0, 1, 0};
            cylinder->GetObject().GetGeometry()->SetAxis(b, a, 2.0, 1.0 * seed);
        }
        // A network keeps no region.
        for (int i = 0; i < seed && session->GetKindCode() != kSessionKindCurves; ++i)
        {
            const float p[3] = {static_cast<float>(seed), static_cast<float>(i), 0.5f};
            session->GetRegionPoints().Append(p);
        }
        session->RebuildSearchTree();
    }
}

std::vector<std::uint8_t> HistoryBytes(const CEntitiesHistory& history)
{
    ON_MemoryArchive archive;
    EXPECT_TRUE(history.Write(archive));
    return archive.Buffer();
}

class DocumentHooks : public ::testing::Test
{
protected:
    void SetUp() override { data.history = &history; }

    std::vector<std::uint8_t> Write(const CDezazFileWriteOptions& options = {})
    {
        ON_MemoryArchive archive;
        EXPECT_TRUE(WritePlugInDocument(data, archive, options));
        return archive.Buffer();
    }
    bool Read(const std::vector<std::uint8_t>& bytes, bool merge = false, std::size_t size = SIZE_MAX)
    {
        dezaz::SpanArchive archive(bytes.data(), std::min(size, bytes.size()));
        CDezazFileReadOptions options;
        options.SetMode(CDezazFileReadOptions::import_merge, merge);
        return ReadPlugInDocument(data, archive, options);
    }

    CEntitiesHistory history;
    stPlugInDocumentData data;
    CDezazDoc doc;
};

} // namespace

TEST_F(DocumentHooks, DecideToWriteKeepsSessionsOfEveryObjectStillThereReferenceObjectsIncluded)
{
    const CDezazObject* active = doc.AddPointObject(ON_3dPoint(1, 2, 3));
    const CDezazObject* hidden = doc.AddPointObject(ON_3dPoint(4, 5, 6));
    doc.HideObject(CDezazObjRef(hidden));
    const CDezazObject* reference = doc.AddObject(active->DuplicateDezazObject(), true);
    const CDezazObject* gone = doc.AddPointObject(ON_3dPoint(7, 8, 9));
    for (const CDezazObject* object : {active, hidden, reference, gone})
        AddSessions(history, object->ModelObjectId(), 1);
    const ON_UUID goneId = gone->ModelObjectId();
    doc.DeleteObject(CDezazObjRef(gone));

    EXPECT_TRUE(DecideToWriteDocument(data, doc));
    EXPECT_EQ(history.Count(), 3u);
    EXPECT_EQ(history.FindByUuid(goneId), nullptr);
    EXPECT_NE(history.FindByUuid(reference->ModelObjectId()), nullptr);

    CDezazDoc empty;
    EXPECT_FALSE(DecideToWriteDocument(data, empty));
    EXPECT_TRUE(history.IsEmpty());
}

TEST_F(DocumentHooks, ChunkIsVersionOneZeroAroundTheHistoryAndNothingForAGeometryOnlySave)
{
    AddSessions(history, ON_UuidFromString("0E8A1C2B-3D4F-4A5B-8C6D-7E8F9A0B1C2D"), 2);
    const std::vector<std::uint8_t> chunk = Write();
    ASSERT_GT(chunk.size(), 2u);
    EXPECT_EQ(chunk[0], 0x10);
    EXPECT_EQ(std::vector<std::uint8_t>(chunk.begin() + 1, chunk.end()), HistoryBytes(history));
    // The archive was told the chunk's size first: its buffer did not grow
    // step by step (a big scan's chunk would be held twice as it moved).
    {
        ON_MemoryArchive archive;
        ASSERT_TRUE(WritePlugInDocument(data, archive, {}));
        EXPECT_EQ(archive.Buffer().capacity(), archive.Buffer().size());
    }

    CDezazFileWriteOptions geometryOnly;
    geometryOnly.SetMode(CDezazFileWriteOptions::geometry_only, true);
    EXPECT_TRUE(Write(geometryOnly).empty());
    // Opening such a file reads the empty chunk as no data, not as damage.
    const std::vector<std::uint8_t> before = HistoryBytes(history);
    EXPECT_TRUE(Read({}));
    EXPECT_EQ(HistoryBytes(history), before);

    // Read back into an emptied history, written again: the same bytes.
    history.Clear();
    ASSERT_TRUE(Read(chunk));
    EXPECT_EQ(HistoryBytes(history), before);
    EXPECT_EQ(Write(), chunk);
}

TEST_F(DocumentHooks, ANewerChunkLeavesTheHistoryAloneAndIsWrittenBackUnchanged)
{
    const ON_UUID host = ON_UuidFromString("0E8A1C2B-3D4F-4A5B-8C6D-7E8F9A0B1C2D");
    AddSessions(history, host, 1);
    std::vector<std::uint8_t> newer = Write();
    newer[0] = 0x20; // 2.0, with bytes this version does not understand
    newer.insert(newer.end(), 70000, 0xA5);
    const std::vector<std::uint8_t> older = {0x01, 0xFF};

    ASSERT_TRUE(Read(older));
    EXPECT_EQ(history.Count(), 1u);
    EXPECT_TRUE(data.newerChunk.empty());

    ASSERT_TRUE(Read(newer));
    EXPECT_EQ(history.Count(), 1u); // not even cleared
    EXPECT_EQ(data.newerChunk, newer);
    // A merged file's newer data stays in that file.
    std::vector<std::uint8_t> other = newer;
    other[5] ^= 1;
    ASSERT_TRUE(Read(other, true));
    EXPECT_EQ(data.newerChunk, newer);

    // Nothing of the document's own is pruned away with it, and the save
    // writes the newer bytes as they came.
    history.Clear();
    EXPECT_TRUE(DecideToWriteDocument(data, doc));
    EXPECT_EQ(Write(), newer);

    // Shapes made since the open cannot join data this version does not
    // understand: the newer data is saved as it was, and the user is told.
    AddSessions(history, host, 2);
    std::wstring printed;
    DezazApp().SetPrintSink([&printed](const std::wstring& text) { printed += text; });
    EXPECT_EQ(Write(), newer);
    DezazApp().SetPrintSink(nullptr);
    EXPECT_NE(printed.find(L"newer version"), std::wstring::npos);
    history.Clear();

    // Opening a 1.0 chunk forgets it.
    AddSessions(history, host, 1);
    data.newerChunk.clear();
    const std::vector<std::uint8_t> current = Write();
    data.newerChunk = newer;
    ASSERT_TRUE(Read(current));
    EXPECT_TRUE(data.newerChunk.empty());
}

TEST(PlugInDocumentData, ANewDocumentOrAnOpenForgetsTheSessionsAndTheNewerChunkAMergeKeepsThem)
{
    Cvtl_for_Dezaz4PlugIn plugin;
    ASSERT_TRUE(plugin.OnLoadPlugIn());
    CDezazDoc doc;
    const std::vector<std::uint8_t> newer = {0x20, 1, 2, 3};
    const auto openNewer = [&] {
        dezaz::SpanArchive archive(newer.data(), newer.size());
        ASSERT_TRUE(plugin.ReadDocument(doc, archive, CDezazFileReadOptions()));
        AddSessions(plugin.EntitiesHistory(), ON_UuidFromString("0E8A1C2B-3D4F-4A5B-8C6D-7E8F9A0B1C2D"), 1);
    };
    openNewer();
    EXPECT_EQ(plugin.NewerDocumentChunk(), newer);
    dezaz::FireBeginOpenDocument(doc, L"other.dzz", true, false);
    EXPECT_EQ(plugin.NewerDocumentChunk(), newer);
    EXPECT_EQ(plugin.EntitiesHistory().Count(), 1u);
    dezaz::FireBeginOpenDocument(doc, L"other.dzz", false, false);
    EXPECT_TRUE(plugin.NewerDocumentChunk().empty());
    EXPECT_TRUE(plugin.EntitiesHistory().IsEmpty());
    openNewer();
    dezaz::FireNewDocument(doc);
    EXPECT_TRUE(plugin.NewerDocumentChunk().empty());
    EXPECT_TRUE(plugin.EntitiesHistory().IsEmpty());
    plugin.OnUnloadPlugIn();
}

TEST_F(DocumentHooks, AMergeAddsEntriesWithoutDuplicatingHostsAndAnOpenReplacesThem)
{
    const ON_UUID a = ON_UuidFromString("0E8A1C2B-3D4F-4A5B-8C6D-7E8F9A0B1C2D");
    const ON_UUID b = ON_UuidFromString("F1E2D3C4-B5A6-4978-8695-A4B3C2D1E0F9");
    AddSessions(history, a, 1);
    AddSessions(history, b, 5);
    const std::vector<std::uint8_t> chunk = Write();

    history.Clear();
    AddSessions(history, a, 9);
    CObjectSurfaces* mine = history.FindByUuid(a);
    ASSERT_TRUE(Read(chunk, true));
    ASSERT_EQ(history.Count(), 2u);
    EXPECT_EQ(history.FindByUuid(a), mine);
    EXPECT_EQ(mine->Session(0)->GetRegionPoints().GetCount(), 10u);

    ASSERT_TRUE(Read(chunk, false));
    ASSERT_EQ(history.Count(), 2u);
    EXPECT_EQ(history.FindByUuid(a)->Session(0)->GetRegionPoints().GetCount(), 2u);
}

TEST_F(DocumentHooks, ADamagedOrTruncatedChunkFailsAndAMergeKeepsWhatWasThere)
{
    AddSessions(history, ON_UuidFromString("0E8A1C2B-3D4F-4A5B-8C6D-7E8F9A0B1C2D"), 3);
    const std::vector<std::uint8_t> chunk = Write();
    history.Clear();
    AddSessions(history, ON_UuidFromString("F1E2D3C4-B5A6-4978-8695-A4B3C2D1E0F9"), 1);
    const std::vector<std::uint8_t> mine = HistoryBytes(history);
    // From one byte on: an empty chunk is what a geometry-only save leaves.
    for (std::size_t size = 1; size < chunk.size(); ++size)
    {
        ASSERT_FALSE(Read(chunk, true, size)) << size;
        ASSERT_EQ(HistoryBytes(history), mine) << size;
    }
    // An open of a damaged chunk leaves an empty history, never a part.
    EXPECT_FALSE(Read(chunk, false, chunk.size() - 1));
    EXPECT_TRUE(history.IsEmpty());

    // Failed writes are reported at every place.
    AddSessions(history, ON_UuidFromString("F1E2D3C4-B5A6-4978-8695-A4B3C2D1E0F9"), 2);
    const std::size_t size = Write().size();
    for (std::size_t budget = 0; budget < size; ++budget)
    {
        ON_MemoryArchive archive;
        archive.SetFaultInjection(static_cast<std::int64_t>(budget));
        ASSERT_FALSE(WritePlugInDocument(data, archive, {})) << budget;
    }
}

namespace
{

std::string Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int RunDezaz(const std::string& arguments, std::string& output)
{
    const std::string command = std::string("timeout 120 ") + VTL_DEZAZ_PATH + " --plugin " + VTL_PLUGIN_PATH +
                                " --headless " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(DocumentSessions, SavedHereOpenedAndSavedByTheHostProgramInAnotherProcessKeepEverySession)
{
    const fs::path dir = fs::temp_directory_path() / "vtl_document_sessions";
    fs::create_directories(dir);
    const fs::path first = dir / "sessions.dzz", second = dir / "sessions_again.dzz";

    Cvtl_for_Dezaz4PlugIn plugin;
    dezaz::SetPlugInLoaded(&plugin, true);
    CDezazDoc doc;
    const CDezazObject* a = doc.AddPointObject(ON_3dPoint(1, 2, 3));
    const CDezazObject* b = doc.AddPointObject(ON_3dPoint(-4, 5, 6e3));
    CEntitiesHistory& history = plugin.EntitiesHistory();
    AddSessions(history, a->ModelObjectId(), 1);
    AddSessions(history, b->ModelObjectId(), 20);
    history.FindByUuid(b->ModelObjectId())->Session(2)->SetName(L"Ball \u00e9 %s");
    // A name that clashes with another's only in case: the plug-in in the
    // other process makes it unique when it reads it, which shows that it
    // read and wrote the sessions rather than passing the chunk through.
    history.FindByUuid(a->ModelObjectId())->Session(1)->SetName(L"plane");
    std::wstring error;
    ASSERT_TRUE(dezaz::SaveDocument(doc, first.wstring(), {}, error)) << error;

    std::string output;
    ASSERT_EQ(RunDezaz("--open " + first.string() + " --save " + second.string(), output), 0) << output;
    EXPECT_NE(Bytes(first), Bytes(second));

    history.FindByUuid(a->ModelObjectId())->Session(1)->SetName(L"plane(1)");
    const std::vector<std::uint8_t> expected = HistoryBytes(history);
    ASSERT_TRUE(dezaz::OpenDocument(doc, second.wstring(), false, error)) << error;
    EXPECT_EQ(HistoryBytes(plugin.EntitiesHistory()), expected);
    ASSERT_EQ(plugin.EntitiesHistory().Count(), 2u);
    EXPECT_EQ(plugin.EntitiesHistory().Entry(1)->Session(2)->GetName(), ON_wString(L"Ball \u00e9 %s"));
    EXPECT_EQ(plugin.EntitiesHistory().Entry(1)->SessionCount(), 5u);

    // Opened and saved once more in another process: nothing changes now.
    output.clear();
    ASSERT_EQ(RunDezaz("--open " + second.string() + " --save " + first.string(), output), 0) << output;
    EXPECT_EQ(Bytes(first), Bytes(second));
    dezaz::SetPlugInLoaded(&plugin, false);
}

namespace
{

// The plug-in loaded, its shapes dialog opened by its command on the scan,
// added to the active document on a layer of its own, and the whole scan
// fitted with the kind; null when a step fails.
CCreatePrimitiveDialog* ShapesDialogFittedTo(const ON_Mesh& mesh, eShapeKind kind, ON_UUID& host)
{
    Cvtl_for_Dezaz4PlugIn& plugin = ThePlugIn();
    dezaz::SetPlugInLoaded(&plugin, true);
    CDezazDoc& doc = DezazApp().ActiveDoc();
    doc.Clear();
    win32::ClearPromptAnswers();
    ON_3dmObjectAttributes own;
    ON_Layer layer;
    layer.SetName(L"Scan");
    own.m_layer_index = doc.LayerTable().AddLayer(layer);
    const CDezazObject* scan = doc.AddMeshObject(mesh, &own);
    host = scan->ModelObjectId();
    std::wstring error;
    if (!plugin.OnLoadPlugIn() ||
        !dezaz::QueueScriptAnswer(L"Object " + std::to_wstring(scan->RuntimeSerialNumber()), error) ||
        !DezazApp().RunScript(L"_vtlShapes", 0))
        return nullptr;
    auto* dialog = dynamic_cast<CCreatePrimitiveDialog*>(plugin.ShapesDialog().Dialog());
    if (!dialog)
        return nullptr;
    const HWND window = dialog->GetSafeHwnd();
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SHAPES_SELECT_ALL, BN_CLICKED),
                   LPARAM(::GetDlgItem(window, IDC_SHAPES_SELECT_ALL)));
    const HWND kinds = ::GetDlgItem(window, IDC_SHAPES_KIND);
    ::SendMessageW(kinds, CB_SETCURSEL, WPARAM(kind), 0);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SHAPES_KIND, CBN_SELCHANGE), LPARAM(kinds));
    return dialog->GetCurrentSession() ? dialog : nullptr;
}

void UnloadThePlugIn()
{
    Cvtl_for_Dezaz4PlugIn& plugin = ThePlugIn();
    win32::ClearPromptAnswers();
    plugin.ShapesDialog().Close(true);
    plugin.OnUnloadPlugIn();
    dezaz::SetPlugInLoaded(&plugin, false);
    DezazApp().ActiveDoc().Clear();
}

// Opens the saved document at path (and removes the file): the host's one
// shape writes exactly the expected record.
void ExpectReopenedShapeWrites(CDezazDoc& doc, const fs::path& path, const ON_UUID& host,
                               const ON_MemoryArchive& expected, const char* what)
{
    std::wstring error;
    ASSERT_TRUE(dezaz::OpenDocument(doc, path.wstring(), false, error)) << error;
    fs::remove(path);
    CObjectSurfaces* entry = ThePlugIn().EntitiesHistory().FindByUuid(host);
    ASSERT_TRUE(entry && entry->SessionCount() == 1u);
    ON_MemoryArchive reopened;
    ASSERT_TRUE(entry->Session(0)->Write(reopened));
    EXPECT_TRUE(reopened.Buffer() == expected.Buffer()) << what;
}

} // namespace

TEST(DocumentSessions, SavedWhileTheShapesDialogShowsTheMeshAlignedTheyLieWhereTheHostMeshIs)
{
    Cvtl_for_Dezaz4PlugIn& plugin = ThePlugIn();
    dezaz::SetPlugInLoaded(&plugin, true);
    ASSERT_TRUE(plugin.OnLoadPlugIn());
    CDezazDoc& doc = DezazApp().ActiveDoc();
    doc.Clear();
    win32::ClearPromptAnswers();
    // A cylinder scanned far from the origin, leaning, on a layer of its own.
    ON_3dmObjectAttributes own;
    ON_Layer layer;
    layer.SetName(L"Scan");
    own.m_layer_index = doc.LayerTable().AddLayer(layer);
    const CDezazObject* scan =
        doc.AddMeshObject(scans::Cylinder({1800, -900, 450}, {0.2, 0.1, 1.0}, 12.0, 30.0, 40, 8, false, 0.01), &own);
    const ON_UUID host = scan->ModelObjectId();
    std::wstring error;
    ASSERT_TRUE(dezaz::QueueScriptAnswer(L"Object " + std::to_wstring(scan->RuntimeSerialNumber()), error));
    ASSERT_TRUE(DezazApp().RunScript(L"_vtlShapes", 0));
    auto* dialog = dynamic_cast<CCreatePrimitiveDialog*>(plugin.ShapesDialog().Dialog());
    ASSERT_NE(dialog, nullptr);
    const HWND window = dialog->GetSafeHwnd();
    const auto click = [&](int id)
    { ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(::GetDlgItem(window, id))); };
    click(IDC_SHAPES_SELECT_ALL);
    const HWND kinds = ::GetDlgItem(window, IDC_SHAPES_KIND);
    ::SendMessageW(kinds, CB_SETCURSEL, WPARAM(eShapeKind::Cylinder), 0);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SHAPES_KIND, CBN_SELCHANGE), LPARAM(kinds));
    CSessionSurface* session = dialog->GetCurrentSession();
    ASSERT_NE(session, nullptr);
    const auto cylinderOf = [](CSessionSurface* s)
    { return static_cast<ST_CCylinder*>(s->GetSceneObject()->QueryInterface(IID_ST_CCylinder))->GetCylinder(); };
    const cCylinder fitted = cylinderOf(session);
    click(IDC_SHAPES_ALIGN_BOTTOM);
    ASSERT_GT(std::fabs(cylinderOf(session).axisPoint[0] - fitted.axisPoint[0]), 100.0) << "the dialog moved it";
    ON_MemoryArchive shown;
    ASSERT_TRUE(session->Write(shown));

    const fs::path path = fs::temp_directory_path() / "vtl_saved_aligned.dzz";
    ASSERT_TRUE(dezaz::SaveDocument(doc, path.wstring(), {}, error)) << error;
    ON_MemoryArchive after;
    ASSERT_TRUE(session->Write(after));
    EXPECT_EQ(after.Buffer(), shown.Buffer()) << "the dialog's shape stays as the user aligned it";

    // Opened again (the dialog closes; the user keeps the host mesh where it is).
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"position", IDNO, nullptr});
    ASSERT_TRUE(dezaz::OpenDocument(doc, path.wstring(), false, error)) << error;
    CObjectSurfaces* entry = plugin.EntitiesHistory().FindByUuid(host);
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(entry->SessionCount(), 1u);
    // Back through the rigid inverse of an alignment frame built from float
    // directions: as Reset or closing the dialog would put it.
    const cCylinder reopened = cylinderOf(entry->Session(0));
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_NEAR(reopened.axisPoint[k], fitted.axisPoint[k], 1e-3) << k;
        EXPECT_NEAR(reopened.axis[k], fitted.axis[k], 1e-6) << k;
    }
    EXPECT_NEAR(reopened.radius, fitted.radius, 1e-9);

    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
    win32::ClearPromptAnswers();
    fs::remove(path);
    plugin.ShapesDialog().Close(true);
    plugin.OnUnloadPlugIn();
    dezaz::SetPlugInLoaded(&plugin, false);
    doc.Clear();
}

// The Sketch tab stands an empty sketch in for a revolved shape's fitted
// profile until something is drawn on it. Saved then, the document keeps the
// fitted profile: the shape reopens as it was before the visit, and the tab
// goes on with its sketch.
TEST(DocumentSessions, SavedWhileTheSketchTabShowsNothingDrawnTheShapeKeepsItsFittedProfile)
{
    ON_UUID host;
    CCreatePrimitiveDialog* dialog = ShapesDialogFittedTo(
        scans::Cylinder({-380, 720, 260}, scans::Unit({0.3, 0.2, 0.93}), 18.0, 45.0, 48, 10, false, 0.01),
        eShapeKind::Revolved, host);
    ASSERT_NE(dialog, nullptr);
    CSessionSurface* session = dialog->GetCurrentSession();
    ON_MemoryArchive fitted;
    ASSERT_TRUE(session->Write(fitted));
    const auto profileOf = [](CSessionSurface* s)
    {
        return static_cast<ST_IProfiledSurface*>(s->GetSceneObject()->QueryInterface(IID_ST_IProfiledSurface))
            ->GetProfileCurve();
    };
    dialog->SelectTab(dialog->TabIndexOf(eShapesPage::Sketch));
    ASSERT_TRUE(profileOf(session)->GetClassGuid() == CLSID_ST_TSketch);

    CDezazDoc& doc = DezazApp().ActiveDoc();
    const fs::path path = fs::temp_directory_path() / "vtl_saved_sketch_tab.dzz";
    std::wstring error;
    ASSERT_TRUE(dezaz::SaveDocument(doc, path.wstring(), {}, error)) << error;
    EXPECT_TRUE(profileOf(session)->GetClassGuid() == CLSID_ST_TSketch) << "the tab goes on with its sketch";
    EXPECT_EQ(profileOf(session)->GetSegmentCount(), 0u);
    dialog->SelectTab(dialog->TabIndexOf(eShapesPage::Shape));
    EXPECT_FALSE(profileOf(session)->GetClassGuid() == CLSID_ST_TSketch) << "left untouched, the fitted profile is back";

    ExpectReopenedShapeWrites(doc, path, host, fitted, "the shape as it was fitted");
    UnloadThePlugIn();
}

// A tangent arc being drawn between two lines trims them as the cursor
// moves. Saved then, in a turned view, the document keeps the lines as they
// were drawn (the arc is not made yet), and the drawing goes on.
TEST(DocumentSessions, SavedWhileATangentArcIsDrawnTheSketchKeepsItsLinesWhole)
{
    ON_UUID host;
    CCreatePrimitiveDialog* dialog = ShapesDialogFittedTo(
        scans::Cylinder({560, -610, 400}, {0.25, -0.3, 0.92}, 20.0, 50.0, 48, 10, false, 0.01), eShapeKind::Revolved,
        host);
    ASSERT_NE(dialog, nullptr);
    CSessionSurface* session = dialog->GetCurrentSession();
    dialog->SelectTab(dialog->TabIndexOf(eShapesPage::Sketch));
    CSubProfileDlg& page = *dialog->GetSketchPage();
    ::SendDlgItemMessageW(page.GetSafeHwnd(), IDC_SKETCH_SNAPPING, BM_SETCHECK, BST_UNCHECKED, 0);
    page.OnSnapping();
    cCPView* view = dialog->GetShapesView();
    testview::TurnView(view, 25.0, 15.0);
    view->Redraw(kFullRedraw);
    ST_ISectionCurve* sketch =
        static_cast<ST_IProfiledSurface*>(session->GetSceneObject()->QueryInterface(IID_ST_IProfiledSurface))
            ->GetProfileCurve();
    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    float c[3];
    ASSERT_TRUE(ScreenToSketchPoint(view, POINT{client.right / 2, client.bottom / 2}, sketch->frame, c));
    const auto at = [&](double x, double y)
    {
        const float local[3] = {float(x), float(y), 0.0f};
        POINT p{};
        EXPECT_TRUE(SketchToScreenPoint(view, sketch->frame, local, &p));
        return p;
    };
    const auto command = [&](UINT id) { ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, id, 0); };
    command(kCmdProfileLine);
    viewinput::Click(view, at(c[0] - 12, c[1] - 8));
    viewinput::Click(view, at(c[0] - 2, c[1] - 8));
    command(kCmdProfileLine);
    viewinput::Click(view, at(c[0] + 6, c[1]));
    viewinput::Click(view, at(c[0] + 6, c[1] + 10));
    ASSERT_EQ(sketch->GetSegmentCount(), 2u);
    ON_MemoryArchive drawn;
    ASSERT_TRUE(session->Write(drawn));
    command(kCmdProfileTangentArc);
    viewinput::Click(view, at(c[0] - 2, c[1] - 8));
    viewinput::Click(view, at(c[0] + 6, c[1]));
    viewinput::Move(view, at(c[0] + 3, c[1] - 5));
    const float trimmed = SketchPointsOf(*sketch->GetSegment(0), false)->GetVertex(1)->x;
    ASSERT_GT(std::fabs(trimmed - (c[0] - 2)), 0.1f) << "the arc trimmed the first line";

    CDezazDoc& doc = DezazApp().ActiveDoc();
    const fs::path path = fs::temp_directory_path() / "vtl_saved_tangent_arc.dzz";
    std::wstring error;
    ASSERT_TRUE(dezaz::SaveDocument(doc, path.wstring(), {}, error)) << error;
    EXPECT_EQ(SketchPointsOf(*sketch->GetSegment(0), false)->GetVertex(1)->x, trimmed) << "the drawing goes on";
    ExpectReopenedShapeWrites(doc, path, host, drawn, "the lines as they were drawn");
    UnloadThePlugIn();
}

namespace
{

CCreatePrimitiveDialog* ThePlugInsShapesDialog()
{
    return dynamic_cast<CCreatePrimitiveDialog*>(ThePlugIn().ShapesDialog().Dialog());
}

// A client point of the view, as an offset from its middle.
POINT ViewPoint(cCPView* view, int dx, int dy)
{
    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    return POINT{client.right / 2 + dx, client.bottom / 2 + dy};
}

POINT ScreenPointOf(cCPView* view, const float (&world)[3])
{
    float projected[3];
    view->GetRenderer()->ProjectPoint(projected, world, true);
    POINT at{};
    view->GetRenderer()->WorldToScreen(projected[0], projected[1], &at);
    return at;
}

// A click on the view drawn afresh, long enough after the last one to make
// no double click with it.
void ClickAfterAWhile(cCPView* view, POINT at)
{
    win32::AdvanceClock(2000);
    view->Redraw(kFullRedraw);
    viewinput::Click(view, at);
}

// The Curves tab of a network fitted to a leaning sheet far out, in a turned
// view, with one curve drawn across it in three clicks and a double click;
// null when a step fails.
CSubNetworkDlg* CurvesTabWithACurveDrawn(ON_UUID& host)
{
    CCreatePrimitiveDialog* dialog = ShapesDialogFittedTo(
        scans::Plane({1200, -640, 310}, {0.1, 0.05, 1.0}, 80.0, 20, 0.01), eShapeKind::CurveNetwork, host);
    if (!dialog)
        return nullptr;
    dialog->SelectTab(dialog->TabIndexOf(eShapesPage::Curves));
    mfc::PumpUntilIdle();
    cCPView* view = dialog->GetShapesView();
    testview::TurnView(view, 20.0, 10.0);
    auto* page = dynamic_cast<CSubNetworkDlg*>(SectionPlaneHostOf(view));
    if (!page)
        return nullptr;
    ::SendMessageW(page->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_CURVES_ADD, BN_CLICKED),
                   LPARAM(::GetDlgItem(page->GetSafeHwnd(), IDC_CURVES_ADD)));
    for (const POINT p : {ViewPoint(view, -90, 0), ViewPoint(view, 0, 10), ViewPoint(view, 90, 0)})
        ClickAfterAWhile(view, p);
    viewinput::Inject(view, WM_LBUTTONDOWN, ViewPoint(view, 90, 0));
    viewinput::Inject(view, WM_LBUTTONUP, ViewPoint(view, 90, 0));
    ST_ISectionCurve* network = page->ActiveProfile();
    return network && network->GetSegmentCount() == 1u ? page : nullptr;
}

} // namespace

// A curve being drawn on the Curves tab makes a node of a curve it is
// clicked onto. Saved then, the document keeps that curve as it was before
// the drawing began, and the drawing goes on.
TEST(DocumentSessions, SavedWhileACurveIsDrawnFromAnotherTheOtherIsSavedAsItWas)
{
    win32::UseManualClock(10000);
    ON_UUID host;
    CSubNetworkDlg* page = CurvesTabWithACurveDrawn(host);
    ASSERT_NE(page, nullptr);
    CSessionSurface* session = ThePlugInsShapesDialog()->GetCurrentSession();
    cCPView* view = ThePlugInsShapesDialog()->GetShapesView();
    ST_ISectionCurve* network = page->ActiveProfile();
    ON_MemoryArchive drawn;
    ASSERT_TRUE(session->Write(drawn));
    // The second click of a new curve lands on the first one.
    ClickAfterAWhile(view, ViewPoint(view, 15, 70));
    t3DPoint<double> on{};
    ASSERT_TRUE(network->GetSegment(0)->EvaluateInWorld(0.3, &on, nullptr, nullptr));
    const POINT onCurve = ScreenPointOf(view, {float(on.x), float(on.y), float(on.z)});
    viewinput::Move(view, onCurve);
    ClickAfterAWhile(view, onCurve);
    const std::uint32_t nodes = page->ActiveProfile()->GetSegment(0)->GetDefiningPoints()->GetVertexCount();
    ASSERT_EQ(nodes, 4u) << "the click made a node of the first curve";

    CDezazDoc& doc = DezazApp().ActiveDoc();
    const fs::path path = fs::temp_directory_path() / "vtl_saved_curve_drawn.dzz";
    std::wstring error;
    ASSERT_TRUE(dezaz::SaveDocument(doc, path.wstring(), {}, error)) << error;
    EXPECT_EQ(page->ActiveProfile()->GetSegment(0)->GetDefiningPoints()->GetVertexCount(), nodes) << "the drawing goes on";
    ExpectReopenedShapeWrites(doc, path, host, drawn, "the first curve as it was");
    UnloadThePlugIn();
    win32::UseSystemClock();
}

// A node dragged on the Curves tab takes its curves out of the network until
// it is dropped. Saved then, the document keeps the curve as it was before
// the drag began, and the drag goes on to its drop.
TEST(DocumentSessions, SavedDuringANodeDragTheDraggedCurveIsSavedAsItWas)
{
    win32::UseManualClock(10000);
    ON_UUID host;
    CSubNetworkDlg* page = CurvesTabWithACurveDrawn(host);
    ASSERT_NE(page, nullptr);
    CSessionSurface* session = ThePlugInsShapesDialog()->GetCurrentSession();
    cCPView* view = ThePlugInsShapesDialog()->GetShapesView();
    ON_MemoryArchive drawn;
    ASSERT_TRUE(session->Write(drawn));
    ::SendMessageW(page->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_CURVES_MODIFY, BN_CLICKED),
                   LPARAM(::GetDlgItem(page->GetSafeHwnd(), IDC_CURVES_MODIFY)));
    view->Redraw(kFullRedraw);
    const cVertex middle = *page->ActiveProfile()->GetSegment(0)->GetDefiningPoints()->GetVertex(1);
    const POINT node = ScreenPointOf(view, {middle.x, middle.y, middle.z});
    const POINT dropped{node.x + 10, node.y + 20};
    win32::AdvanceClock(2000);
    viewinput::Move(view, node);
    viewinput::Inject(view, WM_LBUTTONDOWN, node);
    viewinput::Move(view, dropped);
    ASSERT_EQ(page->ActiveProfile()->GetSegmentCount(), 0u) << "the dragged curve is out of the network";

    CDezazDoc& doc = DezazApp().ActiveDoc();
    const fs::path path = fs::temp_directory_path() / "vtl_saved_node_dragged.dzz";
    std::wstring error;
    ASSERT_TRUE(dezaz::SaveDocument(doc, path.wstring(), {}, error)) << error;
    viewinput::Inject(view, WM_LBUTTONUP, dropped);
    ASSERT_EQ(page->ActiveProfile()->GetSegmentCount(), 1u);
    const cVertex moved = *page->ActiveProfile()->GetSegment(0)->GetDefiningPoints()->GetVertex(1);
    EXPECT_GT(PointDistance(moved.Position(), middle.Position()), 1.0) << "the drag went on to its drop";
    ExpectReopenedShapeWrites(doc, path, host, drawn, "the dragged curve as it was");
    UnloadThePlugIn();
    win32::UseSystemClock();
}

// The scan deleted from the document while the shapes dialog is open on it
// (the host's undo may bring it back), then a save: the dialog's shapes stay
// with it, and the dialog goes on with them.
TEST(DocumentSessions, SavedAfterTheScanOfTheOpenShapesDialogIsDeletedTheDialogKeepsItsShapes)
{
    ON_UUID host;
    CCreatePrimitiveDialog* dialog = ShapesDialogFittedTo(
        scans::Cylinder({1000.3, -1000.7, 500.2}, scans::Unit({0.3, 0.2, 0.93}), 15.0, 40.0, 48, 10, false, 0.01),
        eShapeKind::Cylinder, host);
    ASSERT_NE(dialog, nullptr);
    CDezazDoc& doc = DezazApp().ActiveDoc();
    ASSERT_TRUE(doc.DeleteObject(CDezazObjRef(doc.LookupObject(host))));
    EXPECT_TRUE(ThePlugIn().CallWriteDocument(doc, {}));
    ASSERT_EQ(ThePlugIn().EntitiesHistory().FindByUuid(host), dialog->GetEntry());
    const HWND list = ::GetDlgItem(dialog->GetSafeHwnd(), IDC_SHAPES_LIST);
    ::SendMessageW(list, LB_SETCURSEL, 0, 0);
    ::SendMessageW(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(list));
    ::SendMessageW(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_CREATE, BN_CLICKED),
                   LPARAM(::GetDlgItem(dialog->GetSafeHwnd(), IDC_SHAPES_CREATE)));
    EXPECT_EQ(doc.Objects().size(), 1u) << "the cylinder is created";
    UnloadThePlugIn();
}

// A document whose shapes this version could not read keeps them when the
// shapes dialog is only opened on its scan and closed again: nothing made,
// nothing replaced.
TEST(DocumentSessions, DataThatCouldNotBeReadIsSavedBackAfterTheShapesDialogWasOpenedAndNothingMade)
{
    Cvtl_for_Dezaz4PlugIn& plugin = ThePlugIn();
    dezaz::SetPlugInLoaded(&plugin, true);
    ASSERT_TRUE(plugin.OnLoadPlugIn());
    CDezazDoc& doc = DezazApp().ActiveDoc();
    doc.Clear();
    win32::ClearPromptAnswers();
    ON_3dmObjectAttributes own;
    ON_Layer layer;
    layer.SetName(L"Scan");
    own.m_layer_index = doc.LayerTable().AddLayer(layer);
    const ON_UUID host = doc.AddMeshObject(scans::Plane({1000, 0, 0}, {0, 0.2, 1}, 40, 10), &own)->ModelObjectId();
    // Version 1.0 around a history whose entry breaks off.
    const std::vector<std::uint8_t> damaged = {0x10, 0x11, 0x01, 0, 0, 0, 0, 0, 0, 0, 0xAB};
    std::vector<std::uint8_t> file;
    std::wstring error;
    ASSERT_TRUE(dezaz::EncodeDocument(doc, {{plugin.PlugInID(), damaged}}, file, error)) << error;
    const fs::path path = fs::temp_directory_path() / "vtl_unread_shapes.dzz";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    ASSERT_TRUE(dezaz::OpenDocument(doc, path.wstring(), false, error)) << error;
    ASSERT_EQ(doc.KeptPlugInChunks().size(), 1u);

    ASSERT_TRUE(dezaz::QueueScriptAnswer(
        L"Object " + std::to_wstring(doc.LookupObject(host)->RuntimeSerialNumber()), error));
    ASSERT_TRUE(DezazApp().RunScript(L"_vtlShapes", 0));
    plugin.ShapesDialog().Close(true);
    ASSERT_TRUE(dezaz::SaveDocument(doc, path.wstring(), {}, error)) << error;
    ASSERT_TRUE(dezaz::OpenDocument(doc, path.wstring(), false, error)) << error;
    fs::remove(path);
    ASSERT_EQ(doc.KeptPlugInChunks().size(), 1u);
    EXPECT_EQ(doc.KeptPlugInChunks()[0].bytes, damaged);
    UnloadThePlugIn();
}
