// What the shapes dialog hands its shapes and its view: a new shape the
// document's tolerance, the shape left behind its record's resting choices,
// the view the host's way of turning, the magic wand the mesh its seed lies
// on, and a selection tool the end of the Curves page's tools.
#include "core/mesh_object.h"
#include "core/scene_object_container.h"
#include "platform/host/app_settings.h"
#include "modes/section_plane_picker.h"
#include "plugin/dialogs/curves_page.h"
#include "resources/curves.h"
#include "shapes/extracted_primitives.h"
#include "shapes/extruded_surface.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

// Two square panels of 10 x 10 cells meeting at a right angle along x = 10:
// the floor z = 0 and the wall x = 10, sharing the edge's vertices.
ON_Mesh Fold(scans::Vec corner)
{
    scans::MeshBuilder b;
    const int n = 10;
    std::vector<int> floor, wall;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            floor.push_back(b.Add(corner + scans::Vec{double(i), double(j), 0.0}));
    for (int k = 0; k <= n; ++k)
        for (int j = 0; j <= n; ++j)
            wall.push_back(k == 0 ? floor[std::size_t(j * (n + 1) + n)] : b.Add(corner + scans::Vec{10.0, double(j), double(k)}));
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            const auto f = [&](int a, int c) { return floor[std::size_t(c * (n + 1) + a)]; };
            b.TriangleFacing(f(i, j), f(i + 1, j), f(i + 1, j + 1), {0, 0, 1});
            b.TriangleFacing(f(i, j), f(i + 1, j + 1), f(i, j + 1), {0, 0, 1});
            const auto w = [&](int c, int k) { return wall[std::size_t(k * (n + 1) + c)]; };
            b.TriangleFacing(w(i, j), w(i + 1, j), w(i + 1, j + 1), {-1, 0, 0});
            b.TriangleFacing(w(i, j), w(i + 1, j + 1), w(i, j + 1), {-1, 0, 0});
        }
    return b.Mesh();
}

std::size_t SelectedIn(cMesh& mesh)
{
    std::size_t n = 0;
    mesh.ForEachTriangle([&](cMeshTriangle& t) { n += (t.flags & kTriangleFlagSelected) ? 1 : 0; });
    return n;
}

} // namespace

TEST_F(ShapesDialog, ANewShapeTakesTheDocumentsAbsoluteTolerance)
{
    CDezazDoc& doc = DezazApp().ActiveDoc();
    const double before = doc.AbsoluteTolerance();
    doc.SetAbsoluteTolerance(0.004);
    Open(scans::Cylinder({320, -150, 80}, scans::Unit({0.1, 0.2, 1.0}), 15.0, 40.0, 48, 8, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Extruded);
    auto* extruded = Shape<Dezaz_Extruded>(IID_ExtrudedSurface);
    ASSERT_NE(extruded, nullptr);
    EXPECT_DOUBLE_EQ(extruded->GetMergeTolerance(), 0.004);
    doc.SetAbsoluteTolerance(before);
}

TEST_F(ShapesDialog, TheShapeLeftBehindRestsItsRecordsChoices)
{
    Open(scans::Plane({-15, 90, 40}, scans::Unit({0.3, 0.1, 1.0}), 30, 6, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    CSessionSurface* first = dialog->GetCurrentSession();
    ASSERT_NE(first, nullptr);
    auto* record = dynamic_cast<ST_CExtractedPlane*>(first->GetRecord());
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->m_normalChoice, kChoiceFitDriven);
    Click(IDC_SHAPES_NEW_SHAPE);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    ASSERT_NE(dialog->GetCurrentSession(), first);
    EXPECT_EQ(record->m_normalChoice, kDirectionCustom);
    EXPECT_EQ(record->m_offsetChoice, kValueCustom);
}

TEST_F(ShapesDialog, TheViewTurnsAsTheHostsViewsDo)
{
    const CDezazAppViewSettings saved = DezazAppSettings().ViewSettings();
    for (int aboutViewAxes : {0, 1})
    {
        CDezazAppViewSettings settings = saved;
        settings.m_rotate_about_view_axes = aboutViewAxes;
        DezazAppSettings().SetViewSettings(settings);
        Open(scans::Plane({0, 0, 0}, {0, 0, 1}, 10, 2));
        EXPECT_EQ(dialog->GetShapesView()->turntableRotation, aboutViewAxes == 0 ? 1 : 0);
        dialog.reset();
        DezazApp().ActiveDoc().Clear();
    }
    DezazAppSettings().SetViewSettings(saved);
}

TEST_F(ShapesDialog, TheWandGrowsOverTheMeshItsSeedLiesOn)
{
    Open(scans::Plane({-200, 40, 30}, {0, 0, 1}, 20, 4));
    // A second mesh in the view: a fold whose floor and wall meet at 90
    // degrees.
    const CDezazObject* fold = DezazApp().ActiveDoc().AddMeshObject(Fold({150, -60, 20}));
    ASSERT_NE(fold, nullptr);
    ASSERT_TRUE(dialog->LoadHostMesh(CDezazObjRef(fold)));
    cMesh* folded = nullptr;
    std::unique_ptr<cSceneObjectIterator> it(dialog->GetScene().GetObjectIterator());
    for (it->First(); !it->IsDone(); it->Next())
        if (auto* object = dynamic_cast<cMeshObject*>(it->Current().Get()); object && object != dialog->FirstMeshObject())
            folded = object->GetMesh();
    ASSERT_NE(folded, nullptr);
    ASSERT_EQ(folded->GetTriangleCount(), 400u);
    // The seed on the floor: the wand takes the floor and stops at the fold.
    dialog->GetShapesView()->SetActiveObject(folded->GetTriangle(0));
    dialog->OnCreaseSlider(50);
    EXPECT_EQ(SelectedIn(*folded), 200u);
    EXPECT_EQ(SelectedTriangles(), 0u) << "the first mesh is not the seed's";
}

TEST_F(ShapesDialog, ASelectionToolEndsTheCurvesPagesTools)
{
    Open(scans::Plane({60, 60, -20}, scans::Unit({0.1, 0.0, 1.0}), 30, 6, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::CurveNetwork);
    ASSERT_EQ(dialog->TabTitles()[std::size_t(dialog->GetSelectedTab())], L"Curves");
    auto* page = dynamic_cast<CSubNetworkDlg*>(SectionPlaneHostOf(dialog->GetShapesView()));
    ASSERT_NE(page, nullptr);
    const HWND curves = page->GetSafeHwnd();
    ::SendMessageW(curves, WM_COMMAND, MAKEWPARAM(IDC_CURVES_ADD, BN_CLICKED), LPARAM(::GetDlgItem(curves, IDC_CURVES_ADD)));
    const auto visiblePanels = [&]
    {
        return (::IsWindowVisible(page->ModifyPanel().GetSafeHwnd()) ? 1 : 0) +
               (::IsWindowVisible(page->AddPanel().GetSafeHwnd()) ? 1 : 0) +
               (::IsWindowVisible(page->SectionPanel().GetSafeHwnd()) ? 1 : 0);
    };
    const auto pressed = [&]
    {
        int n = 0;
        for (int id : {IDC_CURVES_MODIFY, IDC_CURVES_EXTRAPOLATE, IDC_CURVES_ADD, IDC_CURVES_SECTION})
            n += ::SendDlgItemMessageW(curves, id, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        return n;
    };
    ASSERT_EQ(visiblePanels(), 1);
    ASSERT_EQ(pressed(), 1);
    Click(IDC_SHAPES_MAGIC_WAND);
    EXPECT_EQ(pressed(), 0);
    EXPECT_EQ(visiblePanels(), 0);
}
