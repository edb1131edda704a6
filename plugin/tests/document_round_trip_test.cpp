// Shapes saved with the document and read back: chosen in the list of a
// dialog opened on the reopened document, each is created again exactly as
// it was created before the save.
#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "modes/profile_edit_mode.h"
#include "overlay/prop_tree.h"
#include "overlay/prop_tree_item.h"
#include "platform/geometry/brep.h"
#include "platform/geometry/surface.h"
#include "platform/host/document_io.h"
#include "platform/host/span_archive.h"
#include "plugin/dialogs/shape_transfer.h"
#include "plugin/dialogs/shape_page.h"
#include "plugin/dialogs/sketch_page.h"
#include "plugin/document_hooks.h"
#include "shapes/extracted_loft_surface.h"
#include "shapes/extracted_record.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"
#include "support/view_input.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{

class DocumentRoundTrip : public ShapesDialog
{
protected:
    void SetUp() override
    {
        ShapesDialog::SetUp();
        InstallShapeTransfer();
    }
    // The points of a 9 x 9 grid over every face of the created breps, in
    // the order they were created.
    static std::vector<std::vector<ON_3dPoint>> BrepSamples()
    {
        std::vector<std::vector<ON_3dPoint>> out;
        for (const CDezazObject* object : DezazApp().ActiveDoc().Objects())
            if (const auto* brep = dynamic_cast<const CDezazBrepObject*>(object))
            {
                std::vector<ON_3dPoint> points;
                for (int f = 0; f < brep->Brep()->FaceCount(); ++f)
                {
                    const ON_Surface* s = const_cast<ON_Brep*>(brep->Brep())->Face(f)->SurfaceOf();
                    const ON_Interval u = s->Domain(0), v = s->Domain(1);
                    for (int i = 0; i <= 8; ++i)
                        for (int j = 0; j <= 8; ++j)
                            points.push_back(s->PointAt(u.ParameterAt(i / 8.0), v.ParameterAt(j / 8.0)));
                }
                out.push_back(points);
            }
        return out;
    }
    // Saves the plug-in's chunk, closes the dialog and reads the chunk into
    // an empty history, as a document reopened in a new session would.
    void SaveAndReopen()
    {
        stPlugInDocumentData data;
        data.history = &history;
        ON_MemoryArchive out;
        ASSERT_TRUE(WritePlugInDocument(data, out, CDezazFileWriteOptions{}));
        const std::vector<std::uint8_t> chunk = out.Buffer();
        dialog.reset();
        history.Clear();
        dezaz::SpanArchive in(chunk.data(), chunk.size());
        ASSERT_TRUE(ReadPlugInDocument(data, in, CDezazFileReadOptions{}));
        AFX_MANAGE_STATE(&state);
        dialog = std::make_unique<CCreatePrimitiveDialog>(&store);
        ASSERT_TRUE(dialog->CreateModeless(IDD_CREATE_PRIMITIVE, nullptr));
        dialog->ShowWindow(SW_SHOW);
        ASSERT_TRUE(dialog->LoadHostMesh(CDezazObjRef(host)));
        dialog->SetEntry(history.FindByUuid(host->ModelObjectId()));
        ASSERT_NE(dialog->GetEntry(), nullptr);
    }
    void ChooseListItem(int index)
    {
        const HWND list = ::GetDlgItem(Window(), IDC_SHAPES_LIST);
        ::SendMessageW(list, LB_SETCURSEL, WPARAM(index), 0);
        ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(list));
    }
    // The Shape page's rows as the user reads them: label, then the text or
    // the chosen entry.
    std::vector<std::wstring> ShapeRows()
    {
        std::vector<std::wstring> rows;
        const auto walk = [&](auto& self, CPropTreeItem* item) -> void
        {
            for (; item; item = item->GetSibling())
            {
                std::wstring row = item->GetLabelText();
                if (auto* edit = dynamic_cast<CPropTreeItemEdit*>(item))
                    row += L" [" + edit->GetText() + L"]";
                if (auto* combo = dynamic_cast<CPropTreeItemCombo*>(item))
                    row += L" choice " + std::to_wstring(combo->GetItemValue());
                rows.push_back(row);
                self(self, item->GetChild());
            }
        };
        walk(walk, dialog->GetShapePage()->GetPropertyTree().GetRootItem());
        return rows;
    }
    std::wstring RowText(const std::vector<std::wstring>& rows, const std::wstring& label)
    {
        for (const std::wstring& row : rows)
            if (row.rfind(label, 0) == 0)
                return row.substr(label.size());
        return L"(no row)";
    }
};

} // namespace

TEST_F(DocumentRoundTrip, EachShapeChosenInTheListIsCreatedAsItWasBeforeTheSave)
{
    Open(scans::Cylinder({-380, 720, 260}, scans::Unit({0.3, 0.2, 0.93}), 18.0, 45.0, 48, 10, false, 0.01));
    const eShapeKind kinds[] = {eShapeKind::FreeForm, eShapeKind::Extruded, eShapeKind::Revolved};
    for (eShapeKind kind : kinds)
    {
        Click(IDC_SHAPES_NEW_SHAPE);
        Click(IDC_SHAPES_SELECT_ALL);
        ChooseKind(kind);
        ASSERT_EQ(dialog->GetCurrentKind(), kind);
        Click(IDC_SHAPES_CREATE);
    }
    const std::vector<std::vector<ON_3dPoint>> before = BrepSamples();
    ASSERT_EQ(before.size(), 3u);

    SaveAndReopen();
    const auto worstOf = [](const std::vector<ON_3dPoint>& a, const std::vector<ON_3dPoint>& b)
    {
        double worst = a.size() == b.size() ? 0.0 : 1e300;
        for (std::size_t k = 0; k < a.size() && k < b.size(); ++k)
            worst = std::max(worst, a[k].DistanceTo(b[k]));
        return worst;
    };
    // Create ALL builds what the document held only as profiles and sections.
    Click(IDC_SHAPES_CREATE_ALL);
    std::vector<std::vector<ON_3dPoint>> all = BrepSamples();
    ASSERT_EQ(all.size(), 6u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_LT(worstOf(all[3 + i], before[i]), 1e-9) << "Create ALL, shape " << i;
    for (const CDezazObject* object : DezazApp().ActiveDoc().Objects())
        if (dynamic_cast<const CDezazBrepObject*>(object))
            DezazApp().ActiveDoc().DeleteObject(CDezazObjRef(object));
    SaveAndReopen();
    const HWND list = ::GetDlgItem(Window(), IDC_SHAPES_LIST);
    ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 3);
    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(i);
        ::SendMessageW(list, LB_SETCURSEL, WPARAM(i), 0);
        ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(list));
        ASSERT_EQ(dialog->GetCurrentKind(), kinds[i]);
        Click(IDC_SHAPES_CREATE);
        const std::vector<std::vector<ON_3dPoint>> now = BrepSamples();
        ASSERT_EQ(now.size(), 1u + std::size_t(i));
        EXPECT_LT(worstOf(now.back(), before[std::size_t(i)]), 1e-9);
    }
    Snapshot("reopened_shapes_created");
}


// A revolved shape whose profile is traced as a spline on the Sketch tab:
// its Shape page reads the same before the save and, chosen in the list, in
// the reopened document. The traced sketch holds the axis and base point it
// was drawn in ("Custom"), and has no fit RMS to show.
TEST_F(DocumentRoundTrip, ASketchedRevolvedShapeShowsTheSameRowsAfterTheReopen)
{
    Open(scans::Cylinder({-380, 720, 260}, scans::Unit({0.3, 0.2, 0.93}), 18.0, 45.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Revolved);
    ASSERT_EQ(dialog->GetCurrentKind(), eShapeKind::Revolved);
    ASSERT_FALSE(RowText(ShapeRows(), L"Fit RMS: ").empty());
    dialog->SelectTab(dialog->TabIndexOf(eShapesPage::Sketch));
    cCPView* view = dialog->GetShapesView();
    auto* surface = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface);
    ST_ISectionCurve* sketch = surface->GetProfileCurve();
    ASSERT_TRUE(sketch && sketch->GetClassGuid() == CLSID_ST_TSketch && sketch->sections.GetCount() > 0);
    // The spline through points of the wall's outline, taken onto the
    // sketch's plane.
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, kCmdProfileFreeForm, 0);
    const tFramePolyline<cVertex>& outline = sketch->sections[0];
    for (std::size_t i = 0; i < 5; ++i)
    {
        const cVertex& v = outline.vertices[i * (outline.vertices.size() - 1) / 4];
        const t3DPoint<double> local = sketch->WorldToLocal({v.x, v.y, v.z});
        const float at[3] = {float(local.x), float(local.y), 0.0f};
        POINT p{};
        ASSERT_TRUE(SketchToScreenPoint(view, sketch->frame, at, &p));
        viewinput::Click(view, p);
    }
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, ID_DRAW_FINISH, 0);
    ASSERT_EQ(Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface)->GetProfileCurve()->GetSegmentCount(), 1u);
    dialog->SelectTab(dialog->TabIndexOf(eShapesPage::Shape));
    const std::vector<std::wstring> before = ShapeRows();
    EXPECT_EQ(RowText(before, L"Fit RMS: "), L"[]");
    EXPECT_EQ(RowText(before, L"Direction "), L"choice " + std::to_wstring(kDirectionCustom));
    EXPECT_EQ(RowText(before, L"Base Point "), L"choice " + std::to_wstring(kPointCustom));

    SaveAndReopen();
    ChooseListItem(0);
    ASSERT_EQ(dialog->GetCurrentKind(), eShapeKind::Revolved);
    EXPECT_EQ(ShapeRows(), before);
    Snapshot("reopened_sketched_revolved_rows");
}

// A free form's "Expand By (%)" typed and taken by Rebuild: the row reads as
// typed after the refit, and chosen in the list of the reopened document,
// where it is read back from the stored fraction.
TEST_F(DocumentRoundTrip, AFreeFormsTypedExpandReadsAsTypedAfterTheRebuildAndAfterTheReopen)
{
    Open(scans::Cylinder({-380, 720, 260}, scans::Unit({0.3, 0.2, 0.93}), 18.0, 45.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::FreeForm);
    ASSERT_EQ(dialog->GetCurrentKind(), eShapeKind::FreeForm);
    auto* record = dynamic_cast<ST_CExtractedLoftSurface*>(dialog->GetCurrentSession()->GetRecord());
    ASSERT_NE(record, nullptr);
    auto* expand = dynamic_cast<CPropTreeItemEdit*>(dialog->GetShapePage()->GetPropertyTree().FindItem(record->m_expandId));
    ASSERT_NE(expand, nullptr);
    expand->BeginActivation();
    expand->Activate();
    ::SetWindowTextW(expand->GetSafeHwnd(), L"29");
    expand->Commit();
    const HWND page = dialog->GetShapePage()->GetSafeHwnd();
    ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_SHAPE_PAGE_REBUILD, BN_CLICKED),
                   LPARAM(::GetDlgItem(page, IDC_SHAPE_PAGE_REBUILD)));
    EXPECT_EQ(RowText(ShapeRows(), L"Expand By (%) "), L"[29]");

    SaveAndReopen();
    ChooseListItem(0);
    ASSERT_EQ(dialog->GetCurrentKind(), eShapeKind::FreeForm);
    EXPECT_EQ(RowText(ShapeRows(), L"Expand By (%) "), L"[29]");
}

// A sphere asked for on a nearly flat strip asks whether to keep its very
// large radius. Saved while the question is open (the host's autosave), the
// document held the sphere still being made, radius 0 and no region: the
// reopened document listed a sphere that showed nothing, even when the
// answer was No. A shape is in the document once its first fit is kept.
TEST_F(DocumentRoundTrip, ASphereSavedWhileItsSizeIsQuestionedIsNotInTheDocument)
{
    Open(scans::Plane({1200, -640, 310}, scans::Unit({0.1, 0.05, 1.0}), 80.0, 20, 0.01));
    cMesh& mesh = Mesh();
    mesh.ForEachTriangle(
        [&](cMeshTriangle& t)
        {
            if (mesh.GetVertex(t.vertexIndex[0])->x >= 1190.0f)
                return;
            t.flags |= kTriangleFlagSelected;
            for (std::uint32_t v : t.vertexIndex)
                mesh.GetVertex(v)->flags |= 2u;
        });
    std::vector<std::uint8_t> chunk;
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"too big", IDYES,
                              [&](HWND, const std::wstring&) -> INT_PTR
                              {
                                  stPlugInDocumentData data;
                                  data.history = &history;
                                  ON_MemoryArchive out;
                                  EXPECT_TRUE(WritePlugInDocument(data, out, CDezazFileWriteOptions{}));
                                  chunk = out.Buffer();
                                  return IDYES;
                              }});
    ChooseKind(eShapeKind::Sphere);
    ASSERT_EQ(dialog->GetEntry()->SessionCount(), 1u) << "the sphere is kept";
    CEntitiesHistory reopened;
    stPlugInDocumentData data;
    data.history = &reopened;
    dezaz::SpanArchive in(chunk.data(), chunk.size());
    ASSERT_TRUE(ReadPlugInDocument(data, in, CDezazFileReadOptions{}));
    const CObjectSurfaces* entry = reopened.FindByUuid(host->ModelObjectId());
    EXPECT_EQ(entry ? entry->SessionCount() : 0u, 0u);
}
