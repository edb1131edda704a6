// The shapes dialog on a real window over a scan added to the active
// document, for the dialog's and its pages' tests.
#pragma once

#include "core/mesh.h"
#include "core/registry_store.h"
#include "modes/shapes_view.h"
#include "modes/surface_extension_mode.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_object.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/controls.h"
#include "platform/win32/input.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "platform/win32/window_snapshot.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/resource_text.h"
#include "render/tests/support/camera_moves.h"
#include "resources/resource.h"
#include "resources/shapes_dialog.h"
#include "shapes/entities_history.h"
#include "shapes/session_surface.h"
#include "shape_scans.h"
#include "view_input.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

// The client pixel where a world point shows in the shapes view.
inline POINT PixelOf(cCPView* view, const float world[3])
{
    cBase3DRenderer* camera = view->GetCamera();
    const double* t = camera->GetViewTransform();
    const float* c = camera->GetSceneCentre();
    const double d[3] = {double(world[0]) - c[0], double(world[1]) - c[1], double(world[2]) - c[2]};
    POINT at{};
    camera->WorldToScreen(float(t[0] * d[0] + t[1] * d[1] + t[2] * d[2] + t[3]),
                          float(t[4] * d[0] + t[5] * d[1] + t[6] * d[2] + t[7]), &at);
    return at;
}

class ShapesDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::ResetInputState();
        win32::ClearPromptAnswers();
        std::string error;
        const auto include = [](const std::string& name) -> std::optional<std::string>
        {
            for (const VtlResourceHeader* header = kVtlResourceHeaders; header->name; ++header)
                if (name == header->name)
                    return std::string(header->text);
            return std::nullopt;
        };
        ASSERT_TRUE(win32::RegisterResourceScript(module, std::string(kVtlResourceScript), include, &error)) << error;
        state.m_hCurrentInstanceHandle = module;
        state.m_hCurrentResourceHandle = module;
        store.Init(L"Pellmark", L"VTL_4 For Dezaz");
    }
    void TearDown() override
    {
        dialog.reset();
        history.Clear();
        DezazApp().ActiveDoc().Clear();
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u) << "a question the test expected was not asked";
        win32::ClearPromptAnswers();
        win32::UnregisterResources(module);
        win32::ResetInputState();
    }

    void Open(const ON_Mesh& mesh)
    {
        AFX_MANAGE_STATE(&state);
        dialog = std::make_unique<CCreatePrimitiveDialog>(&store);
        ASSERT_TRUE(dialog->CreateModeless(IDD_CREATE_PRIMITIVE, nullptr));
        dialog->ShowWindow(SW_SHOW); // as the plug-in's holder does
        host = DezazApp().ActiveDoc().AddMeshObject(mesh);
        ASSERT_NE(host, nullptr);
        ASSERT_TRUE(dialog->LoadHostMesh(CDezazObjRef(host)));
        dialog->SetEntry(history.GetOrCreate(host->ModelObjectId()));
    }
    HWND Window() const { return dialog->GetSafeHwnd(); }
    // The mouse, with a button held since a press in the view, moved out of
    // the view and let go over the list of shapes.
    void LetGoOverTheShapeList()
    {
        RECT list{};
        ::GetWindowRect(::GetDlgItem(Window(), IDC_SHAPES_LIST), &list);
        const POINT outside{(list.left + list.right) / 2, (list.top + list.bottom) / 2};
        win32::InjectMouseMove(outside);
        mfc::PumpUntilIdle();
        win32::InjectMouseButton(WM_LBUTTONUP, outside);
        mfc::PumpUntilIdle();
    }
    // A cylinder scanned a metre out along a tilted axis, fitted to the whole
    // scan and seen in a turned view, with the cursor resting on its bottom
    // handle (at that pixel).
    void TurnedCylinderWithTheCursorOnItsBottomHandle(cCPView*& view, CUIM_ExtendSurface*& mode, POINT& at)
    {
        Open(scans::Cylinder({1000.3, -1000.7, 500.2}, scans::Unit({0.3, 0.2, 0.93}), 15.0, 40.0, 48, 10, false, 0.01));
        Click(IDC_SHAPES_SELECT_ALL);
        ChooseKind(eShapeKind::Cylinder);
        view = dialog->GetShapesView();
        testview::TurnView(view, 25.0, -15.0);
        view->Redraw(kFullRedraw);
        mfc::PumpUntilIdle();
        mode = dialog->GetExtendMode();
        ASSERT_TRUE(mode && mode->GetHandleCount() == 2);
        at = PixelOf(view, mode->GetHandlePoints()[0]);
        viewinput::Move(view, POINT{at.x + 1, at.y});
        viewinput::Move(view, at);
        ASSERT_EQ(mode->GetHoveredHandle(), 0);
    }
    void Click(int id)
    {
        ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(::GetDlgItem(Window(), id)));
    }
    void ChooseKind(eShapeKind kind)
    {
        const HWND combo = ::GetDlgItem(Window(), IDC_SHAPES_KIND);
        ::SendMessageW(combo, CB_SETCURSEL, WPARAM(kind), 0);
        ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_KIND, CBN_SELCHANGE), LPARAM(combo));
    }
    bool Enabled(int id) const { return ::IsWindowEnabled(::GetDlgItem(Window(), id)) != FALSE; }
    cMesh& Mesh() { return *dialog->FirstMesh(); }
    template <class T> T* Shape(const GUID& iid)
    {
        CSessionSurface* session = dialog->GetCurrentSession();
        if (!session || !session->GetSceneObject())
            return nullptr;
        return static_cast<T*>(session->GetSceneObject()->QueryInterface(iid));
    }
    void Snapshot(const std::string& name)
    {
        if (dialog->GetShapesView())
            dialog->GetShapesView()->Redraw(kFullRedraw);
        win32::WriteSnapshotIfRequested(Window(), "shapes_dialog_" + name);
    }
    std::size_t SelectedTriangles()
    {
        std::size_t n = 0;
        Mesh().ForEachTriangle([&](cMeshTriangle& t) { n += (t.flags & kTriangleFlagSelected) ? 1 : 0; });
        return n;
    }
    // Every vertex mark is a vertex of a selected visible triangle and back.
    void ExpectVertexMarksMatchSelection()
    {
        cMesh& mesh = Mesh();
        std::set<std::uint32_t> expected;
        mesh.ForEachTriangle(
            [&](cMeshTriangle& t)
            {
                if ((t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) == kTriangleFlagSelected)
                    expected.insert(t.vertexIndex, t.vertexIndex + 3);
            });
        for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
            ASSERT_EQ((mesh.GetVertex(i)->flags & 2u) != 0, expected.count(i) == 1) << "vertex " << i;
    }
    static void QueueAnswer(const wchar_t* expect, INT_PTR answer)
    {
        win32::QueuePromptAnswer({win32::kMessageBoxPrompt, expect, answer, nullptr});
    }

    HINSTANCE module = reinterpret_cast<HINSTANCE>(0x9500000);
    AFX_MODULE_STATE state;
    TempRegistry registry;
    cRegistryStore store;
    CEntitiesHistory history;
    const CDezazObject* host = nullptr;
    std::unique_ptr<CCreatePrimitiveDialog> dialog;
};

