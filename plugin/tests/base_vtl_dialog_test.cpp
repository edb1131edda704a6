// The tool dialog base: brush size, selection undo, placement, host mesh
// copy and key routing, on a real dialog with its GL view.
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/registry_store.h"
#include "overlay/dialog_anchor_layout.h"
#include "platform/host/dezaz_object.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/input.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "platform/win32/window_snapshot.h"
#include "plugin/base_vtl_dialog.h"
#include "plugin/resource_text.h"
#include "render/popup_view.h"
#include "resources/dialog_base.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace
{

constexpr UINT kTestDialog = 29000;
constexpr int kWritableEdit = 1001, kReadOnlyEdit = 1002, kButton = 1003;
constexpr std::uint32_t kRecordingModeId = 0xCB07E4;

constexpr const char* kTestScript = R"(
29000 DIALOGEX 0, 0, 300, 200
STYLE DS_SETFONT | WS_POPUP | WS_CAPTION | WS_THICKFRAME
CAPTION "Tool"
FONT 8, "MS Shell Dlg", 400, 0, 0x1
BEGIN
    LTEXT           "",3035,4,4,200,150
    EDITTEXT        1001,210,4,80,14,ES_AUTOHSCROLL
    EDITTEXT        1002,210,24,80,14,ES_AUTOHSCROLL | ES_READONLY
    PUSHBUTTON      "Apply",1003,210,44,80,14
END
29001 DIALOGEX 0, 0, 300, 200
STYLE DS_SETFONT | WS_POPUP | WS_CAPTION
CAPTION "No view place"
FONT 8, "MS Shell Dlg", 400, 0, 0x1
BEGIN
    PUSHBUTTON      "Apply",1003,210,44,80,14
END
)";

// Records the commands and Escapes that reach the view's mode.
class RecordingMode : public cUserInteractiveMode<C3DView>
{
public:
    explicit RecordingMode(std::uint32_t id) : cUserInteractiveMode<C3DView>(id, 0) {}
    BOOL OnCommand(UINT id, int, void*, AFX_CMDHANDLERINFO* info, C3DView*) override
    {
        if (!info)
            commands.push_back(id);
        return 0;
    }
    void OnEscape(C3DView*) override { ++escapes; }
    const wchar_t* GetClassName() const override { return L"RecordingMode"; }
    std::vector<UINT> commands;
    int escapes = 0;
};

class RecordingView : public cP3DView
{
public:
    Mode* CreateMode(std::uint32_t id, std::uint32_t temporary, LPARAM extra) override
    {
        if (id == kRecordingModeId)
            return mode = new RecordingMode(id);
        return cP3DView::CreateMode(id, temporary, extra);
    }
    RecordingMode* mode = nullptr;
};

class TestDialog : public CBaseVTLDialog
{
public:
    TestDialog(UINT id, cRegistryStore* store, bool withView) : CBaseVTLDialog(id, nullptr, store)
    {
        if (withView)
        {
            view = new RecordingView;
            SetView(view);
        }
    }
    void SetupControlAnchors() override
    {
        ++anchorSetups;
        GetAnchorLayout()->SetAnchor(kButton, 4 | 1, 2);
    }
    RecordingView* view = nullptr;
    int anchorSetups = 0;
};

// A host mesh of the given vertices and faces (three or four corners).
ON_Mesh HostMesh(const std::vector<ON_3fPoint>& vertices, const std::vector<std::vector<int>>& faces)
{
    ON_Mesh mesh;
    for (const ON_3fPoint& v : vertices)
        mesh.m_V.Append(v);
    for (const auto& f : faces)
    {
        ON_MeshFace face{};
        face.vi[0] = f[0], face.vi[1] = f[1], face.vi[2] = f[2], face.vi[3] = f.size() == 4 ? f[3] : f[2];
        mesh.m_F.Append(face);
    }
    return mesh;
}

class BaseVtlDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::ResetInputState();
        std::string error;
        const auto include = [](const std::string& name) -> std::optional<std::string>
        {
            for (const VtlResourceHeader* header = kVtlResourceHeaders; header->name; ++header)
                if (name == header->name)
                    return std::string(header->text);
            return std::nullopt;
        };
        ASSERT_TRUE(win32::RegisterResourceScript(module, std::string(kVtlResourceScript) + kTestScript, include,
                                                  &error))
            << error;
        state.m_hCurrentInstanceHandle = module;
        state.m_hCurrentResourceHandle = module;
        store.Init(L"Pellmark", L"VTL_4 For Dezaz");
    }
    void TearDown() override
    {
        Close();
        win32::UnregisterResources(module);
        win32::ResetInputState();
    }

    TestDialog* Open(bool withView = true, UINT id = kTestDialog)
    {
        AFX_MANAGE_STATE(&state);
        dialog = std::make_unique<TestDialog>(id, &store, withView);
        dialog->Create(id, nullptr);
        return dialog.get();
    }
    void Close()
    {
        if (dialog && ::IsWindow(dialog->GetSafeHwnd()))
            dialog->DestroyWindow();
        dialog.reset();
    }
    // A 2 x 1 grid of quads: 4 triangles.
    void LoadQuads()
    {
        const ON_Mesh mesh = HostMesh({{100, 0, 5}, {101, 0, 5}, {102, 0, 5}, {100, 1, 5}, {101, 1, 5}, {102, 1, 5}},
                                      {{0, 1, 4, 3}, {1, 2, 5, 4}});
        CDezazMeshObject host(mesh);
        ASSERT_TRUE(dialog->LoadHostMesh(host));
    }
    cMesh& SceneMesh()
    {
        std::unique_ptr<cSceneObjectIterator> it(dialog->GetScene().GetObjectIterator());
        it->First();
        return *dynamic_cast<cMeshObject*>(it->Current().Get())->GetMesh();
    }
    BOOL Key(HWND window, WPARAM key, MSG* out = nullptr)
    {
        MSG msg{};
        msg.hwnd = window;
        msg.message = WM_KEYDOWN;
        msg.wParam = key;
        const BOOL result = dialog->PreTranslateMessage(&msg);
        if (out)
            *out = msg;
        return result;
    }

    HINSTANCE module = reinterpret_cast<HINSTANCE>(0x9400000);
    AFX_MODULE_STATE state;
    TempRegistry registry;
    cRegistryStore store;
    std::unique_ptr<TestDialog> dialog;
};

TEST_F(BaseVtlDialog, TheBrushStepsStayWithinTenToThreeHundredAndPersist)
{
    Open();
    struct Case
    {
        int from, step, to;
        bool changed;
    };
    for (const Case& c : {Case{10, -1, 10, false}, Case{11, -1, 11, false}, Case{12, -1, 10, true},
                          Case{20, -1, 18, true}, Case{20, 1, 21, true}, Case{299, 1, 300, true},
                          Case{300, 1, 300, false}})
    {
        store.WriteInt(kBrushSizeSection, kBrushSizeValue, c.from);
        Close();
        Open();
        ASSERT_EQ(dialog->GetHalfBrushSize(), c.from);
        EXPECT_EQ(dialog->ChangeBrushSize(c.step), c.changed) << c.from << " " << c.step;
        EXPECT_EQ(dialog->GetHalfBrushSize(), c.to);
        int stored = 0;
        ASSERT_TRUE(store.ReadInt(kBrushSizeSection, kBrushSizeValue, &stored));
        EXPECT_EQ(stored, c.to);
    }
}

TEST_F(BaseVtlDialog, ABrushSizeFromTheRegistryIsBroughtIntoRange)
{
    for (const auto& [text, expected] : std::vector<std::pair<const wchar_t*, int>>{
             {L"5000", 300}, {L"-7", 10}, {L"2147483647", 300}, {L"junk", 10}, {L"", 10}, {L"42", 42}})
    {
        const std::wstring value(text);
        // REG_SZ lengths count UTF-16 bytes.
        store.WriteValue(kBrushSizeSection, kBrushSizeValue, REG_SZ, value.c_str(), DWORD((value.size() + 1) * 2));
        Open();
        EXPECT_EQ(dialog->GetHalfBrushSize(), expected) << "from \"" << std::string(value.begin(), value.end()) << "\"";
        Close();
    }
}

TEST_F(BaseVtlDialog, TheViewReplacesThePlaceholderAndAMissingPlaceholderCancels)
{
    Open();
    ASSERT_TRUE(::IsWindow(dialog->GetSafeHwnd()));
    ASSERT_NE(dialog->view, nullptr);
    HWND placeholder = ::GetDlgItem(dialog->GetSafeHwnd(), IDC_VIEW_PLACEHOLDER);
    EXPECT_FALSE(::IsWindowVisible(placeholder));
    RECT p{}, v{};
    ::GetWindowRect(placeholder, &p);
    ::GetWindowRect(dialog->view->GetSafeHwnd(), &v);
    EXPECT_EQ(v.left, p.left + 2);
    EXPECT_EQ(v.bottom, p.bottom - 2);
    EXPECT_EQ(::GetParent(dialog->view->GetSafeHwnd()), dialog->GetSafeHwnd());
    EXPECT_EQ(dialog->anchorSetups, 1);
    const double identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(dialog->m_placement[i], identity[i]) << "the mesh starts where the host has it";
    win32::WriteSnapshotIfRequested(dialog->GetSafeHwnd(), "dialog_base_open");
    Close();

    Open(true, kTestDialog + 1);
    EXPECT_FALSE(::IsWindowVisible(dialog->GetSafeHwnd())) << "ended with IDCANCEL";
    EXPECT_EQ(dialog->view->GetSafeHwnd(), nullptr);
    EXPECT_EQ(dialog->anchorSetups, 0);
    Close();
    Open(false, kTestDialog + 1);
    EXPECT_TRUE(::IsWindow(dialog->GetSafeHwnd())) << "without a view there is no placeholder to need";
}

// The views the user saved (the "U" key's user-defined view, and the mapped
// top view every standard view is turned by) are read into the dialog's view
// when it opens, as in any other 3D view.
TEST_F(BaseVtlDialog, TheViewOpensWithTheSavedUserAndMappedTopViews)
{
    const double c = std::cos(0.7), s = std::sin(0.7);
    const double user[12] = {c, -s, 0, 0, s, c, 0, 0, 0, 0, 1, 0};
    const double mappedTop[12] = {1, 0, 0, 0, 0, c, -s, 0, 0, s, c, 0};
    store.WriteValue(L"Preferences\\Display", L"UserDefinedView", REG_BINARY, user, sizeof user);
    store.WriteValue(L"Preferences\\Display", L"MappedTopView", REG_BINARY, mappedTop, sizeof mappedTop);
    Open();
    LoadQuads();
    C3DView* view = dialog->view;
    view->SendMessage(WM_COMMAND, ID_VIEW_KEY_USER_VIEW);
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(view->GetCamera()->GetViewTransform()[i], user[i], 1e-12) << i;
    // The top view is the mapped top view.
    view->SendMessage(WM_COMMAND, ID_VIEW_KEY_TOP);
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(view->GetCamera()->GetViewTransform()[i], mappedTop[i], 1e-12) << i;
}

TEST_F(BaseVtlDialog, HostQuadsAreSplitAndCollapsedFacesSkipped)
{
    Open();
    // Vertices 1 and 5 lie within the weld tolerance of 0.
    const ON_Mesh mesh = HostMesh({{50, 50, 50}, {50.00005f, 50, 50}, {51, 50, 50}, {51, 51, 50}, {50, 51.00004f, 50},
                                   {50, 50, 50.00002f}, {52, 50, 50}, {52, 51, 50}},
                                  {{0, 2, 5, 3},    // a == c after welding: nothing
                                   {0, 1, 2, 3},    // a == b: only (a, c, d)
                                   {2, 6, 7, 3},    // a plain quad: two triangles
                                   {0, 2, 3}});     // a triangle
    CDezazMeshObject host(mesh);
    ASSERT_TRUE(dialog->LoadHostMesh(host));
    cMesh& m = SceneMesh();
    ASSERT_EQ(m.GetTriangleCount(), 4u);
    EXPECT_EQ(m.GetVertexCount(), 5u) << "two near copies of vertex 0 welded; vertex 4 is in no face";
    auto corners = [&](std::uint32_t i) {
        const cMeshTriangle* t = m.GetTriangle(i);
        return std::vector<float>{m.GetVertex(t->vertexIndex[0])->x, m.GetVertex(t->vertexIndex[1])->x,
                                  m.GetVertex(t->vertexIndex[2])->x};
    };
    EXPECT_EQ(corners(0), (std::vector<float>{50, 51, 51})) << "(a, c, d) of the quad whose a and b weld";
    EXPECT_EQ(corners(1), (std::vector<float>{51, 52, 52}));
    EXPECT_EQ(corners(2), (std::vector<float>{51, 52, 51}));
    EXPECT_EQ(dialog->GetHostObjectId(), host.Attributes().m_uuid);
    dialog->view->Redraw(kFullRedraw);
    win32::WriteSnapshotIfRequested(dialog->GetSafeHwnd(), "dialog_base_mesh");
    std::unique_ptr<cSceneObjectIterator> it(dialog->GetScene().GetObjectIterator());
    it->First();
    EXPECT_EQ(dynamic_cast<cMeshObject*>(it->Current().Get())->GetDecorator().m_mode, 8u);
}

// A copy made ahead on a thread of its own is taken for its own host mesh
// only: given with another mesh, that mesh is copied and the copy is left.
TEST_F(BaseVtlDialog, AHostMeshCopiedAheadIsTakenOnlyForItsOwnMesh)
{
    const ON_Mesh quads = HostMesh({{100, 0, 5}, {101, 0, 5}, {102, 0, 5}, {100, 1, 5}, {101, 1, 5}, {102, 1, 5}},
                                   {{0, 1, 4, 3}, {1, 2, 5, 4}});
    const ON_Mesh triangle = HostMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    CDezazMeshObject quadsHost(quads), triangleHost(triangle);
    Open();
    cHostMeshCopy ofQuads(*quadsHost.Mesh());
    ASSERT_TRUE(dialog->LoadHostMesh(triangleHost, &ofQuads));
    EXPECT_EQ(SceneMesh().GetTriangleCount(), 1u);
    const std::unique_ptr<cMeshObject> left = ofQuads.Take();
    ASSERT_TRUE(left);
    EXPECT_EQ(left->GetMesh()->GetTriangleCount(), 4u);
    Close();
    Open();
    cHostMeshCopy again(*quadsHost.Mesh());
    ASSERT_TRUE(dialog->LoadHostMesh(quadsHost, &again));
    EXPECT_EQ(SceneMesh().GetTriangleCount(), 4u);
    EXPECT_FALSE(again.Take()) << "taken by the dialog";
}

TEST_F(BaseVtlDialog, ACopyNobodyTakesIsFreed)
{
    // The leak check at the end of the run finds a copy that stayed.
    const ON_Mesh quads = HostMesh({{100, 0, 5}, {101, 0, 5}, {102, 0, 5}, {100, 1, 5}, {101, 1, 5}, {102, 1, 5}},
                                   {{0, 1, 4, 3}, {1, 2, 5, 4}});
    CDezazMeshObject quadsHost(quads);
    cHostMeshCopy untaken(*quadsHost.Mesh());
}

TEST_F(BaseVtlDialog, UndoRestoresTheSelectionBeforeTheLastStepEvenWhenItWasEmpty)
{
    Open();
    LoadQuads();
    cMesh& m = SceneMesh();
    ASSERT_EQ(m.GetTriangleCount(), 4u);
    EXPECT_FALSE(dialog->RestoreSelectionFromMask()) << "nothing saved yet";

    // First stroke from an empty selection, then undo: empty again.
    dialog->SaveSelectionToMask();
    for (std::uint32_t i : {1u, 2u})
    {
        m.GetTriangle(i)->flags |= kTriangleFlagSelected;
        for (std::uint32_t v : m.GetTriangle(i)->vertexIndex)
            m.GetVertex(v)->flags |= 2u;
    }
    ASSERT_TRUE(dialog->RestoreSelectionFromMask());
    for (std::uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(m.GetTriangle(i)->flags & kTriangleFlagSelected, 0) << i;
    for (std::uint32_t v = 0; v < m.GetVertexCount(); ++v)
        EXPECT_EQ(m.GetVertex(v)->flags & 2u, 0u);

    // A selection with a hidden selected triangle: saved as unselected.
    m.GetTriangle(0)->flags |= kTriangleFlagSelected;
    m.GetTriangle(3)->flags |= kTriangleFlagSelected | kTriangleFlagHidden;
    dialog->SaveSelectionToMask();
    m.GetTriangle(0)->flags &= ~kTriangleFlagSelected;
    m.GetTriangle(2)->flags |= kTriangleFlagSelected;
    ASSERT_TRUE(dialog->RestoreSelectionFromMask());
    EXPECT_EQ(m.GetTriangle(0)->flags & kTriangleFlagSelected, kTriangleFlagSelected);
    EXPECT_EQ(m.GetTriangle(2)->flags & kTriangleFlagSelected, 0);
    EXPECT_EQ(m.GetTriangle(3)->flags & kTriangleFlagSelected, 0) << "hidden: not part of the selection";
    // Vertex bit 1 marks exactly the corners of selected visible triangles.
    for (std::uint32_t v = 0; v < m.GetVertexCount(); ++v)
    {
        const cMeshTriangle* t = m.GetTriangle(0);
        const bool corner = t->CornerOf(v) >= 0;
        EXPECT_EQ((m.GetVertex(v)->flags & 2u) != 0, corner) << v;
    }
    const std::uint8_t bit = dialog->GetSelectionMaskBit();
    ASSERT_NE(bit, 0);
    EXPECT_EQ(bit & 7, 0) << "a borrowed bit, not one of the fixed ones";
    dialog->ClearSelectionMask();
    EXPECT_FALSE(dialog->RestoreSelectionFromMask());
    for (std::uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(m.GetTriangle(i)->flags & bit, 0);
}

TEST_F(BaseVtlDialog, ThePlacementRoundTripsAndJunkNeverLosesTheWindow)
{
    Open();
    ::SetWindowPos(dialog->GetSafeHwnd(), nullptr, 40, 30, 420, 310, SWP_NOZORDER);
    dialog->SaveWindowPlacement(L"ShapesDialog");
    int value = 0;
    ASSERT_TRUE(store.ReadInt(L"ShapesDialog", L"Width", &value));
    EXPECT_EQ(value, 420);
    ::SetWindowPos(dialog->GetSafeHwnd(), nullptr, 0, 0, 200, 200, SWP_NOZORDER);
    dialog->RestoreWindowPlacement(L"ShapesDialog");
    RECT r{};
    ::GetWindowRect(dialog->GetSafeHwnd(), &r);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right - r.left, 420);
    EXPECT_EQ(r.bottom - r.top, 310);

    // Junk: off the screen and too small; the window stays on the screen
    // with at least the minimum size.
    store.WriteInt(L"ShapesDialog", L"XPos", -50000);
    store.WriteInt(L"ShapesDialog", L"YPos", 90000);
    store.WriteInt(L"ShapesDialog", L"Width", -3);
    store.WriteInt(L"ShapesDialog", L"Height", 2);
    dialog->RestoreWindowPlacement(L"ShapesDialog");
    ::GetWindowRect(dialog->GetSafeHwnd(), &r);
    const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
    EXPECT_GE(r.right - r.left, kMinPlacementWidth);
    EXPECT_GE(r.bottom - r.top, kMinPlacementHeight);
    EXPECT_GE(r.left, 0);
    EXPECT_LE(r.right, sw);
    EXPECT_LE(r.bottom, sh);

    // A placement with a value missing counts as missing: centred.
    const std::wstring junk = L"x";
    store.WriteValue(L"SegmentationDialog", L"XPos", REG_SZ, junk.c_str(), DWORD((junk.size() + 1) * 2));
    store.WriteInt(L"SegmentationDialog", L"Width", 400);
    store.WriteInt(L"SegmentationDialog", L"Height", 300);
    ::SetWindowPos(dialog->GetSafeHwnd(), nullptr, 0, 0, 200, 150, SWP_NOZORDER);
    dialog->RestoreWindowPlacement(L"SegmentationDialog");
    ::GetWindowRect(dialog->GetSafeHwnd(), &r);
    EXPECT_EQ(r.right - r.left, 200) << "not resized to a partial placement";
    EXPECT_NEAR((r.left + r.right) / 2, sw / 2, 2);
}

TEST_F(BaseVtlDialog, KeysInAWritableEditStayCharactersAndOthersReachTheView)
{
    Open();
    dialog->view->SetModeById(kRecordingModeId, 0, 0);
    RecordingMode* mode = dialog->view->mode;
    ASSERT_NE(mode, nullptr);
    HWND edit = ::GetDlgItem(dialog->GetSafeHwnd(), kWritableEdit);
    HWND readOnly = ::GetDlgItem(dialog->GetSafeHwnd(), kReadOnlyEdit);
    HWND viewWindow = dialog->view->GetSafeHwnd();

    MSG msg{};
    EXPECT_FALSE(Key(edit, 'W', &msg)) << "the edit gets its W";
    EXPECT_EQ(msg.wParam, WPARAM('W'));
    EXPECT_TRUE(mode->commands.empty());
    EXPECT_FALSE(Key(edit, VK_RETURN, &msg)) << "Enter too goes to the edit";
    EXPECT_EQ(msg.wParam, WPARAM(VK_RETURN));
    EXPECT_FALSE(Key(edit, VK_ESCAPE));
    EXPECT_EQ(mode->escapes, 0);

    EXPECT_TRUE(Key(viewWindow, 'W'));
    EXPECT_EQ(mode->commands, (std::vector<UINT>{ID_TOOL_KEY_MAGIC_WAND})) << "the tool table comes first";
    mode->commands.clear();
    EXPECT_TRUE(Key(readOnly, 'W')) << "a read-only edit does not keep keys";
    win32::SetKeyDown(VK_CONTROL, true);
    EXPECT_TRUE(Key(viewWindow, 'R'));
    win32::SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(mode->commands.back(), UINT(ID_TOOL_KEY_RESET));
    EXPECT_TRUE(Key(viewWindow, 'T'));
    EXPECT_EQ(mode->commands.back(), UINT(ID_VIEW_KEY_TOP));

    mode->commands.clear();
    Key(viewWindow, VK_DELETE);
    EXPECT_EQ(mode->commands, (std::vector<UINT>{ID_EDIT_DELETE}));
    // Delete in a writable edit clears its text, not the view's selection.
    mode->commands.clear();
    Key(edit, VK_DELETE, &msg);
    EXPECT_EQ(msg.wParam, WPARAM(VK_DELETE));
    EXPECT_TRUE(mode->commands.empty());
    Key(readOnly, VK_DELETE);
    EXPECT_EQ(mode->commands, (std::vector<UINT>{ID_EDIT_DELETE}));

    Key(viewWindow, VK_ESCAPE, &msg);
    EXPECT_EQ(mode->escapes, 1);
    EXPECT_EQ(msg.wParam, 0u) << "Escape never closes the dialog";
    Key(viewWindow, VK_RETURN, &msg);
    EXPECT_EQ(msg.wParam, 0u) << "nor does Enter";
    EXPECT_TRUE(::IsWindow(dialog->GetSafeHwnd()));

    // The Delete command of the dialog goes to the view too.
    mode->commands.clear();
    dialog->SendMessage(WM_COMMAND, kCmdDelete, 0);
    EXPECT_EQ(mode->commands, (std::vector<UINT>{ID_EDIT_DELETE}));
}

TEST_F(BaseVtlDialog, TheSizeStateFollowsEverySize)
{
    Open();
    dialog->SendMessage(WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0));
    EXPECT_EQ(dialog->GetSizeState(), kSizeMinimised);
    dialog->SendMessage(WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(800, 600));
    EXPECT_EQ(dialog->GetSizeState(), kSizeMaximised);
    dialog->SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, 400));
    EXPECT_EQ(dialog->GetSizeState(), kSizeNormal);
}

} // namespace
