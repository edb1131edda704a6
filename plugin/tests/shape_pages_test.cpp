// The Shape and Sketch pages of the shapes dialog: the direction buttons
// refit under their constraint, a renamed shape is renamed in the list, a
// deletion is confirmed, and the Sketch page's distance field and snap
// settings.
#include "core/bucket_search_tree_prop.h"
#include "core/registry_store.h"
#include "core/mesh_object.h"
#include "core/p3d_scene.h"
#include "core/thread_pool.h"
#include "overlay/prop_tree.h"
#include "overlay/prop_tree_item.h"
#include "overlay/prop_tree_number.h"
#include "modes/surface_extension_mode.h"
#include "plugin/dialogs/shape_page.h"
#include "plugin/dialogs/shape_transfer.h"
#include "plugin/dialogs/sketch_page.h"
#include "shapes/extracted_primitives.h"
#include "shapes/extracted_record.h"
#include "shapes/primitive_geometry.h"
#include "shapes/shape_interfaces.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"
#include "platform/win32/clock.h"

#include "core/profiled_surface.h"
#include "platform/wgl/pixel_probe.h"
#include "render/tests/support/camera_moves.h"
#include "support/view_input.h"

#include <algorithm>

#include <cfloat>
#include <cmath>

using scans::Vec;

namespace
{

void ChangeRow(CSubSurfaceDlg& page, CPropTreeItem* item)
{
    NMPROPTREE notify{};
    notify.hdr.hwndFrom = page.GetPropertyTree().GetSafeHwnd();
    notify.hdr.idFrom = IDC_SHAPE_PAGE_TREE;
    notify.hdr.code = PTN_ITEMCHANGED;
    notify.pItem = item;
    ::SendMessageW(page.GetSafeHwnd(), WM_NOTIFY, IDC_SHAPE_PAGE_TREE, LPARAM(&notify));
}

// Clicks item `at` of the dialog's list of shapes, as the user does to show
// a shape again.
void ClickShapeInList(HWND dialogWindow, std::size_t at)
{
    const HWND list = ::GetDlgItem(dialogWindow, IDC_SHAPES_LIST);
    ::SendMessageW(list, LB_SETCURSEL, WPARAM(at), 0);
    ::SendMessageW(dialogWindow, WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(list));
}

// The Shape page gets the room of the dialog's largest page: its tree takes
// all of it above the buttons, which keep to the page's bottom, and a
// cylinder's rows all show.
TEST_F(ShapesDialog, TheShapePagesTreeFillsThePageAboveItsButtons)
{
    Open(scans::Cylinder({-40, 80, 900}, {0.1, 0.2, 1.0}, 20.0, 50.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    CSubSurfaceDlg& page = *dialog->GetShapePage();
    CPropTree& tree = page.GetPropertyTree();
    const auto inPage = [&](HWND window) {
        RECT r{};
        ::GetWindowRect(window, &r);
        ::MapWindowPoints(nullptr, page.GetSafeHwnd(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    Snapshot("shape_page_tree");
    RECT client{};
    ::GetClientRect(page.GetSafeHwnd(), &client);
    const RECT t = inPage(tree.GetSafeHwnd());
    const RECT rebuild = inPage(::GetDlgItem(page.GetSafeHwnd(), IDC_SHAPE_PAGE_REBUILD));
    const RECT horizontal = inPage(::GetDlgItem(page.GetSafeHwnd(), IDC_SHAPE_PAGE_HORIZONTAL));
    EXPECT_EQ(t.left, 0);
    EXPECT_EQ(t.top, 0);
    EXPECT_EQ(t.right, client.right);
    EXPECT_GT(rebuild.top, t.bottom);
    EXPECT_LT(rebuild.top - t.bottom, 10);
    EXPECT_GT(client.bottom - rebuild.bottom, 0);
    EXPECT_LT(client.bottom - rebuild.bottom, 10);
    EXPECT_LE(horizontal.right, client.right);
    // Every row of the cylinder in view.
    long long rows = 0;
    for (CPropTreeItem* c = tree.GetRootItem()->GetChild(); c; c = c->GetSibling())
        rows += c->GetTotalHeight();
    RECT list{};
    ::GetClientRect(tree.GetListWindow(), &list);
    EXPECT_GT(rows, 200);
    EXPECT_LE(rows, list.bottom);
}

TEST_F(ShapesDialog, VerticalAndHorizontalRefitAPlaneUnderTheirConstraint)
{
    // A wall leaning by about 9 degrees.
    const Vec normal = scans::Unit({0.8, 0.55, 0.15});
    Open(scans::Plane({-900, 450, 75}, normal, 60.0, 12, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    const HWND page = dialog->GetShapePage()->GetSafeHwnd();
    ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_SHAPE_PAGE_VERTICAL, BN_CLICKED),
                   LPARAM(::GetDlgItem(page, IDC_SHAPE_PAGE_VERTICAL)));
    const cPlane& p = Shape<ST_CPlane>(IID_ST_CPlane)->GetPlane();
    EXPECT_NEAR(p.normal[2], 0.0, 1e-9) << "a vertical plane has a horizontal normal";
    EXPECT_NEAR(std::hypot(p.normal[0], p.normal[1]), 1.0, 1e-9);
    // The horizontal direction closest to the scan's normal.
    const Vec flat = scans::Unit({normal.x, normal.y, 0.0});
    EXPECT_NEAR(std::fabs(p.normal[0] * flat.x + p.normal[1] * flat.y), 1.0, 1e-3);
    // A wall cannot be laid flat: the fit refuses a direction more than 45
    // degrees from the scan's, and the shape stays as it was.
    const double before[3] = {p.normal[0], p.normal[1], p.normal[2]};
    ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_SHAPE_PAGE_HORIZONTAL, BN_CLICKED),
                   LPARAM(::GetDlgItem(page, IDC_SHAPE_PAGE_HORIZONTAL)));
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(Shape<ST_CPlane>(IID_ST_CPlane)->GetPlane().normal[k], before[k]);
}

TEST_F(ShapesDialog, HorizontalLaysACylinderAxisFlatAndVerticalStandsItUp)
{
    Open(scans::Cylinder({300, 100, -40}, {0.5, 0.3, 0.2}, 15.0, 50.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    dialog->GetShapePage()->OnHorizontal();
    const cCylinder& c = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder();
    EXPECT_NEAR(c.axis[2], 0.0, 1e-9);
    dialog->GetShapePage()->OnVertical();
    EXPECT_NEAR(std::fabs(Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().axis[2]), 1.0, 1e-9);
}

// Horizontal on a revolved or an extruded shape lays its axis flat: the
// horizontal direction nearest the fitted one.
TEST_F(ShapesDialog, HorizontalLaysARevolvedAndAnExtrudedAxisFlat)
{
    Open(scans::Cylinder({1000.3, -1000.7, 500.2}, scans::Unit({1.0, 0.1, 0.15}), 15.0, 60.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    for (eShapeKind kind : {eShapeKind::Revolved, eShapeKind::Extruded})
    {
        SCOPED_TRACE(int(kind));
        ChooseKind(kind);
        ASSERT_NE(Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface), nullptr);
        const t3DPoint<double> fitted = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface)->GetAxis();
        ASSERT_GT(std::fabs(fitted.z), 0.1);
        dialog->GetShapePage()->OnHorizontal();
        const t3DPoint<double> a = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface)->GetAxis();
        EXPECT_NEAR(a.z, 0.0, 1e-12);
        EXPECT_NEAR(std::fabs(a.x * fitted.x + a.y * fitted.y), std::hypot(fitted.x, fitted.y), 1e-9);
    }
}

// A row of the page's tree by its label, searched depth first.
CPropTreeItem* RowLabelled(CPropTreeItem* item, const std::wstring& label)
{
    for (; item; item = item->GetSibling())
    {
        if (label == item->GetLabelText())
            return item;
        if (CPropTreeItem* found = RowLabelled(item->GetChild(), label))
            return found;
    }
    return nullptr;
}

// The plane's Offset row set to Custom, and `text` typed into its value row
// and left without Enter; null when the page has no such rows.
CPropTreeItemEdit* TypeIntoTheOffsetRow(CSubSurfaceDlg& page, const wchar_t* text)
{
    CPropTreeItem* offset = RowLabelled(page.GetPropertyTree().GetRootItem(), L"Offset");
    if (!offset || !offset->GetChild())
        return nullptr;
    offset->SetItemValue(kValueCustom);
    ChangeRow(page, offset);
    auto* value = dynamic_cast<CPropTreeItemEdit*>(RowLabelled(page.GetPropertyTree().GetRootItem(), L"Offset")->GetChild());
    if (!value)
        return nullptr;
    value->BeginActivation();
    value->Activate();
    ::SetWindowTextW(value->GetSafeHwnd(), text);
    return value;
}

// The left button pressed on the handle at `at`, then the right button
// turning the view 30 px while the left is held; the cursor's place after.
POINT HoldTheHandleWhileTheRightButtonTurnsTheView(cCPView* view, POINT at)
{
    viewinput::Inject(view, WM_LBUTTONDOWN, at);
    const POINT turnFrom{at.x - 4, at.y - 12}, turnTo{at.x + 26, at.y - 12};
    viewinput::Move(view, turnFrom);
    viewinput::Inject(view, WM_RBUTTONDOWN, turnFrom);
    viewinput::Move(view, turnTo);
    viewinput::Inject(view, WM_RBUTTONUP, turnTo);
    return turnTo;
}

TEST_F(ShapesDialog, ASymmetryPlaneFittedToTheWholeScanShowsItsMirrorError)
{
    // A tube is mirror symmetric about every plane through its axis.
    Open(scans::Cylinder({-40, 80, 900}, {0.1, 0.2, 1.0}, 20.0, 50.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::SymmetryPlane);
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    auto* rms = dynamic_cast<CPropTreeItemEdit*>(
        RowLabelled(dialog->GetShapePage()->GetPropertyTree().GetRootItem(), L"RMS Error:"));
    ASSERT_NE(rms, nullptr);
    ASSERT_FALSE(rms->GetText().empty()) << "the error shows";
    // Mirrored corners land between the 48 facets' corners, up to their
    // sagitta (0.04) off the surface, with the noise on top.
    EXPECT_LT(std::stod(rms->GetText()), 0.1);
}

// A symmetry plane of a tilted part lying flat, mirrored left to right, a
// metre out: its normal, which lies in the sheet, typed as "Custom", then
// Rebuild. The least-squares start of the refit refused a normal so far
// from the sheet's own, so the plane stayed lying in the sheet and nothing
// said why; the mirror search now starts from the given normal through the
// middle of the points.
TEST_F(ShapesDialog, ASymmetryPlaneGivenANormalAcrossThePartFindsItsMirrorPlane)
{
    const Vec centre{1000.3, -700.7, 500.2};
    Vec across{};
    Open(scans::MirroredBumps(centre, scans::Unit({0.3, 0.2, 0.93}), 80.0, 40, across, 0.002));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::SymmetryPlane);
    CSubSurfaceDlg& page = *dialog->GetShapePage();
    CPropTreeItem* normal = RowLabelled(page.GetPropertyTree().GetRootItem(), L"Normal");
    ASSERT_TRUE(normal && normal->GetChild());
    normal->SetItemValue(kDirectionCustom);
    ChangeRow(page, normal);
    CPropTreeItem* row = normal->GetChild();
    for (double typed : {across.x, across.y, across.z})
    {
        ASSERT_NE(row, nullptr);
        row->SetItemValue(reinterpret_cast<LPARAM>(&typed));
        row = row->GetSibling();
    }
    page.OnRebuild();
    const cPlane& p = Shape<ST_CPlane>(IID_ST_CPlane)->GetPlane();
    EXPECT_NEAR(std::fabs(p.normal[0] * across.x + p.normal[1] * across.y + p.normal[2] * across.z), 1.0, 1e-9);
    EXPECT_NEAR(p.normal[0] * centre.x + p.normal[1] * centre.y + p.normal[2] * centre.z + p.d, 0.0, 0.05);
    EXPECT_LT(Shape<ST_IGeometry>(IID_ST_IGeometry)->GetRms(), 0.05);
}

// Whether the scan in the dialog holds a built vertex search tree.
bool ScanHoldsAVertexTree(CCreatePrimitiveDialog& dialog)
{
    std::unique_ptr<cSceneObjectIterator> it(dialog.GetScene().GetObjectIterator());
    for (it->First(); !it->IsDone(); it->Next())
        if (ISceneObject* object = it->Current().Get(); object && object->QueryInterface(IID_cPointCloud))
            if (auto* tree = dynamic_cast<cBucketSearchTreeProp*>(object->FindAttachedProperty(kBucketSearchTreePropertyName)))
                return tree->IsBuilt();
    return false;
}

// The symmetry plane's vertex tree goes with the next fit of another kind,
// and a symmetry plane fitted again builds it again, with the same error.
TEST_F(ShapesDialog, AnotherKindsFitDropsTheSymmetryPlanesVertexTreeAndTheSymmetryPlaneComesBackAlike)
{
    Open(scans::Cylinder({-40, 80, 900}, {0.1, 0.2, 1.0}, 20.0, 50.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    const auto rmsText = [&] {
        auto* rms = dynamic_cast<CPropTreeItemEdit*>(
            RowLabelled(dialog->GetShapePage()->GetPropertyTree().GetRootItem(), L"RMS Error:"));
        return rms ? rms->GetText() : std::wstring(L"none");
    };
    ChooseKind(eShapeKind::SymmetryPlane);
    const std::wstring first = rmsText();
    EXPECT_TRUE(ScanHoldsAVertexTree(*dialog));
    ChooseKind(eShapeKind::Cylinder);
    EXPECT_FALSE(ScanHoldsAVertexTree(*dialog));
    ChooseKind(eShapeKind::SymmetryPlane);
    EXPECT_TRUE(ScanHoldsAVertexTree(*dialog));
    EXPECT_EQ(rmsText(), first);
    EXPECT_NE(first, L"none");
}

TEST_F(ShapesDialog, RenamingInThePageRenamesTheListItemAndDeletingAsksFirst)
{
    Open(scans::Plane({10, 20, 30}, {0, 0, 1}, 40.0, 6, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    CSessionSurface* session = dialog->GetCurrentSession();
    ASSERT_NE(session, nullptr);
    CSubSurfaceDlg& page = *dialog->GetShapePage();
    CPropTreeItem* name = page.GetPropertyTree().FindItem(session->GetRecord()->nameRowId);
    ASSERT_NE(name, nullptr);
    name->SetItemValue(reinterpret_cast<LPARAM>(L"Top face"));
    ChangeRow(page, name);
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(session->GetName())), L"Top face");
    wchar_t text[64] = {};
    ::SendDlgItemMessageW(Window(), IDC_SHAPES_LIST, LB_GETTEXT, 0, LPARAM(text));
    EXPECT_EQ(std::wstring(text), L"Top face");

    QueueAnswer(L"Are you sure you want to delete 'Top face' ?", IDNO);
    Click(IDC_SHAPES_DELETE);
    EXPECT_EQ(dialog->GetCurrentSession(), session);
    QueueAnswer(L"Are you sure you want to delete 'Top face' ?", IDYES);
    Click(IDC_SHAPES_DELETE);
    EXPECT_EQ(dialog->GetCurrentSession(), nullptr);
    EXPECT_EQ(dialog->GetEntry()->SessionCount(), 0u);
    EXPECT_EQ(::SendDlgItemMessageW(Window(), IDC_SHAPES_LIST, LB_GETCOUNT, 0, 0), 0);
    EXPECT_FALSE(Enabled(IDC_SHAPES_DELETE));
}

TEST_F(ShapesDialog, TheSketchPagesMeshPointsCheckShowsTheMeshPointsOfTheProfile)
{
    Open(scans::Cylinder({-40, 80, 900}, {0.1, 0.2, 1.0}, 20.0, 50.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Extruded);
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    auto* surface = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface);
    ASSERT_TRUE(surface && surface->GetProfileCurve() && surface->GetProfileCurve()->sections.GetCount() > 0);
    dialog->SelectTab(1);
    CSubProfileDlg& page = *dialog->GetSketchPage();
    // The points' light grey, drawn over everything.
    const auto shownPoints = [&](const char* name) {
        Snapshot(name);
        const wgl::PixelImage image = wgl::ReadWindowImage(dialog->GetShapesView()->GetSafeHwnd());
        return std::count(image.pixels.begin(), image.pixels.end(), wgl::Rgb(224, 224, 224));
    };
    const auto setCheck = [&](WPARAM check) {
        ::SendDlgItemMessageW(page.GetSafeHwnd(), IDC_SKETCH_MESH_POINTS, BM_SETCHECK, check, 0);
        ::SendMessageW(page.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_SKETCH_MESH_POINTS, BN_CLICKED),
                       LPARAM(::GetDlgItem(page.GetSafeHwnd(), IDC_SKETCH_MESH_POINTS)));
    };
    const auto without = shownPoints("sketch_without_mesh_points");
    setCheck(BST_CHECKED);
    EXPECT_GT(shownPoints("sketch_with_mesh_points"), without + 100);
    setCheck(BST_UNCHECKED);
    EXPECT_EQ(shownPoints("sketch_mesh_points_off_again"), without);
}

TEST_F(ShapesDialog, TheSketchPagesDistanceFieldAndSnapSettings)
{
    store.WriteInt(L"Preferences", kSnapDistanceIndexValue, 99);
    store.WriteInt(L"Preferences", kSnapAngleIndexValue, -3);
    Open(scans::Plane({0, 0, 0}, {0, 0, 1}, 10.0, 2));
    CSubProfileDlg& page = *dialog->GetSketchPage();
    const HWND window = page.GetSafeHwnd();
    // Stored indices beyond the snap table are brought into it.
    EXPECT_EQ(page.GetSnapDistanceIndex(), 4);
    EXPECT_EQ(page.GetSnapAngleIndex(), 0);
    EXPECT_EQ(::SendDlgItemMessageW(window, IDC_SKETCH_SNAP_DISTANCE, CB_GETCURSEL, 0, 0), 4);
    EXPECT_EQ(::SendDlgItemMessageW(window, IDC_SKETCH_SNAP_DISTANCE, CB_GETCOUNT, 0, 0), 5);

    wchar_t text[64] = {};
    page.SetDistanceRadiusField(0.0, true);
    ::GetDlgItemTextW(window, IDC_SKETCH_DISTANCE, text, 64);
    EXPECT_EQ(std::wstring(text), L"0.000");
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(window, IDC_SKETCH_DISTANCE)));
    ::GetDlgItemTextW(window, IDC_SKETCH_DISTANCE_LABEL, text, 64);
    EXPECT_EQ(std::wstring(text), L"Distance");
    page.SetDistanceRadiusField(12.3456, false);
    EXPECT_DOUBLE_EQ(page.GetDistanceRadiusValue(), 12.346);
    ::GetDlgItemTextW(window, IDC_SKETCH_DISTANCE_LABEL, text, 64);
    EXPECT_EQ(std::wstring(text), L"Radius");
    page.SetDistanceRadiusField(-0.5, true);
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(window, IDC_SKETCH_DISTANCE)));
    ::GetDlgItemTextW(window, IDC_SKETCH_DISTANCE, text, 64);
    EXPECT_EQ(std::wstring(text), L"");

    // A new choice is written as its index.
    ::SendDlgItemMessageW(window, IDC_SKETCH_SNAP_ANGLE, CB_SETCURSEL, 2, 0);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SKETCH_SNAP_ANGLE, CBN_SELCHANGE),
                   LPARAM(::GetDlgItem(window, IDC_SKETCH_SNAP_ANGLE)));
    int stored = -1;
    ASSERT_TRUE(store.ReadInt(L"Preferences", kSnapAngleIndexValue, &stored));
    EXPECT_EQ(stored, 2);
    // Snapping off disables its settings.
    ::SendDlgItemMessageW(window, IDC_SKETCH_SNAPPING, BM_SETCHECK, BST_UNCHECKED, 0);
    page.OnSnapping();
    EXPECT_FALSE(page.IsSnapping());
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(window, IDC_SKETCH_SNAP_DISTANCE)));
}

TEST_F(ShapesDialog, TheDeviationTabKeepsTheSelectionToolsOffAndTheShapeTabBringsThemBack)
{
    Open(scans::Sphere({200, -150, 60}, 30.0, 32, 16, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Sphere);
    ASSERT_EQ(dialog->TabTitles(), (std::vector<std::wstring>{L"Shape", L"Deviation"}));
    Snapshot("tab_shape");
    dialog->SelectTab(1);
    EXPECT_EQ(dialog->GetSelectedTab(), 1);
    EXPECT_FALSE(Enabled(IDC_SHAPES_MAGIC_WAND));
    EXPECT_FALSE(Enabled(IDC_SHAPES_ALIGN_BOTTOM));
    EXPECT_FALSE(::IsWindowVisible(dialog->GetShapePage()->GetSafeHwnd()));
    Snapshot("tab_deviation");
    dialog->SelectTab(0);
    EXPECT_TRUE(Enabled(IDC_SHAPES_MAGIC_WAND));
    EXPECT_TRUE(Enabled(IDC_SHAPES_ALIGN_BOTTOM));
    EXPECT_TRUE(::IsWindowVisible(dialog->GetShapePage()->GetSafeHwnd()));
    ASSERT_NE(dialog->GetExtendMode(), nullptr);
    EXPECT_EQ(dialog->GetShapesView()->GetActiveMode(), dialog->GetExtendMode());
}

// From index first on, the queue holds every marked vertex of the mesh in
// vertex order, each written whole (switched on, no residual yet), and
// nothing else.
void ExpectMarkedVerticesFrom(const cMesh& mesh, const std::deque<stFitPoint>& points, std::size_t first)
{
    std::size_t at = first;
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
    {
        const cVertex& v = *mesh.GetVertex(i);
        if (!(v.flags & 2u))
            continue;
        ASSERT_LT(at, points.size());
        const stFitPoint& p = points[at++];
        ASSERT_EQ(std::memcmp(p.position, v.Position(), sizeof p.position), 0) << i;
        ASSERT_EQ(std::memcmp(p.normal, v.Normal(), sizeof p.normal), 0) << i;
        ASSERT_EQ(p.active, 1) << i;
        ASSERT_EQ(p.residual, double(FLT_MAX)) << i;
    }
    EXPECT_EQ(at, points.size());
}

TEST(MarkedPoints, AWholeScansMarksAreCollectedInVertexOrderOnAPool)
{
    // Over several jobs of the pool, far out, every vertex with its own
    // normal, marked in runs with gaps; the queue already holds a point.
    cRegistryStore store;
    store.Init(L"VtlTests", L"MarkedPoints");
    cP3DScene scene(&store);
    auto* object = new cMeshObject();
    cMesh& mesh = *object->GetMesh();
    for (std::uint32_t i = 0; i < 200000; ++i)
    {
        const float p[3] = {-9000.0f + 0.01f * float(i % 500), 4200.0f + 0.01f * float(i / 500), 300.0f};
        cVertex* v = mesh.GetVertex(mesh.AddVertex(p));
        v->nx = float(i % 7), v->ny = 1.0f, v->nz = -float(i % 3);
        v->flags = (i / 13) % 3 != 0 ? 2u : 1u;
    }
    scene.AddObject(object);
    std::deque<stFitPoint> points(1);
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    const std::size_t added = CollectMarkedPoints(scene, points);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    ExpectMarkedVerticesFrom(mesh, points, 1);
    EXPECT_EQ(added, points.size() - 1);
    EXPECT_EQ(points[0].residual, 0.0);
}

TEST(MarkedPoints, MarksCollectedOverAnotherRefitsRecordsReplaceThemAll)
{
    // The room of a larger region's refit, its records switched off and
    // weighted: the marked points alone come out, each written whole.
    cRegistryStore store;
    store.Init(L"VtlTests", L"MarkedPoints");
    cP3DScene scene(&store);
    auto* object = new cMeshObject();
    cMesh& mesh = *object->GetMesh();
    for (std::uint32_t i = 0; i < 150000; ++i)
    {
        const float p[3] = {7000.0f + 0.01f * float(i % 400), -300.0f, 0.01f * float(i / 400)};
        cVertex* v = mesh.GetVertex(mesh.AddVertex(p));
        v->nx = 1.0f, v->ny = float(i % 5), v->nz = 0.5f;
        v->flags = i % 4 != 0 ? 2u : 0u;
    }
    scene.AddObject(object);
    stFitPoint stale;
    stale.active = 0;
    stale.residual = 7.0;
    std::deque<stFitPoint> points(160000, stale);
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    const std::size_t collected = CollectMarkedPoints(scene, points, true);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    ExpectMarkedVerticesFrom(mesh, points, 0);
    EXPECT_EQ(collected, points.size());
}

} // namespace

TEST_F(ShapesDialog, ADirectionTakenFromAnotherShapeAfterAnAlignmentIsThatShapesDirectionWhereItNowIs)
{
    // Two planes of a sheet leaning by about 6 degrees; the second one aligns
    // the scan and then takes the first one's normal.
    Open(scans::Plane({1200, -640, 310}, scans::Unit({0.1, 0.05, 1.0}), 80.0, 20, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    Click(IDC_SHAPES_NEW_SHAPE);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    ASSERT_EQ(dialog->ListedSessions().size(), 2u);
    Click(IDC_SHAPES_ALIGN_BOTTOM);
    auto* record = dynamic_cast<ST_CExtractedPlane*>(dialog->GetCurrentSession()->GetRecord());
    ASSERT_NE(record, nullptr);
    CSubSurfaceDlg& page = *dialog->GetShapePage();
    CPropTreeItem* normal = page.GetPropertyTree().FindItem(record->m_normalId);
    ASSERT_NE(normal, nullptr);
    normal->SetItemValue(kDirectionFirstReference + 1); // "as Plane 1", after "as Current View"
    ChangeRow(page, normal);
    ASSERT_EQ(record->m_normalChoice, kDirectionFirstReference + 1);

    auto* first = static_cast<ST_CPlane*>(dialog->ListedSessions()[0]->GetSceneObject()->QueryInterface(IID_ST_CPlane));
    ASSERT_NE(first, nullptr);
    const cPlane& taken = Shape<ST_CPlane>(IID_ST_CPlane)->GetPlane();
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(taken.normal[k], first->GetPlane().normal[k], 1e-6) << k;
}

// A base point taken from another shape a metre from the origin: the axis
// goes through that shape's point (to the rows' six decimals), not through
// its nearest float, which lay up to 3e-5 off.
TEST_F(ShapesDialog, ABasePointTakenFromAnotherShapeFarOutIsThatShapesPoint)
{
    Open(scans::Cylinder({1000.3, -1000.7, 500.2}, scans::Unit({0.3, 0.2, 0.93}), 15.0, 40.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    const cCylinder first = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder();
    ChooseKind(eShapeKind::Cylinder);
    auto* record = dynamic_cast<ST_CExtractedCylinder*>(dialog->GetCurrentSession()->GetRecord());
    ASSERT_NE(record, nullptr);
    CSubSurfaceDlg& page = *dialog->GetShapePage();
    CPropTreeItem* base = page.GetPropertyTree().FindItem(record->m_basePointId);
    ASSERT_NE(base, nullptr);
    base->SetItemValue(kPointFirstReference); // "of Cylinder"
    ChangeRow(page, base);
    ASSERT_EQ(record->m_basePointChoice, kPointFirstReference);
    const cCylinder& c = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder();
    const Vec off{first.axisPoint[0] - c.axisPoint[0], first.axisPoint[1] - c.axisPoint[1],
                  first.axisPoint[2] - c.axisPoint[2]};
    const Vec across = scans::Cross(off, {c.axis[0], c.axis[1], c.axis[2]});
    EXPECT_LT(std::sqrt(scans::Dot(across, across)), 1e-6);
}

// A revolved shape's direction and base point given ("Custom", as every
// shape shown again has them) with the base point's X row emptied, then
// Rebuild: the axis keeps the shape's own X (the builder takes a whole
// point), where it went through x = 0, a metre from the part.
TEST_F(ShapesDialog, AnEmptiedBasePointRowOfARevolvedShapeKeepsItsCoordinate)
{
    Open(scans::Cylinder({1000.3, -1000.7, 500.2}, scans::Unit({0.3, 0.2, 0.93}), 15.0, 40.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Revolved);
    CSubSurfaceDlg& page = *dialog->GetShapePage();
    CPropTreeItem* direction = RowLabelled(page.GetPropertyTree().GetRootItem(), L"Direction");
    CPropTreeItem* base = RowLabelled(page.GetPropertyTree().GetRootItem(), L"Base Point");
    ASSERT_TRUE(direction && base);
    direction->SetItemValue(kDirectionCustom);
    ChangeRow(page, direction);
    base->SetItemValue(kPointCustom);
    ChangeRow(page, base);
    double none = double(FLT_MAX); // an empty row
    base->GetChild()->SetItemValue(reinterpret_cast<LPARAM>(&none));
    const t3DPoint<double> before = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface)->GetProfileOrigin();
    page.OnRebuild();
    const t3DPoint<double> after = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface)->GetProfileOrigin();
    EXPECT_EQ(after.x, before.x);
    EXPECT_LT(Shape<ST_IGeometry>(IID_ST_IGeometry)->GetRms(), 0.05);
}

// A revolved or an extruded shape made along Z, its direction then given
// ("Custom") with all three rows emptied, and Rebuild: the fit chooses the
// direction again, as emptied rows promise, where the refit failed and left
// the shape along Z.
TEST_F(ShapesDialog, AllDirectionRowsEmptiedLeaveARevolvedOrExtrudedDirectionToTheFit)
{
    const Vec axis = scans::Unit({0.3, 0.2, 0.93});
    Open(scans::Cylinder({1000.3, -1000.7, 500.2}, axis, 15.0, 40.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    for (eShapeKind kind : {eShapeKind::Revolved, eShapeKind::Extruded})
    {
        SCOPED_TRACE(int(kind));
        ChooseKind(kind);
        CSubSurfaceDlg& page = *dialog->GetShapePage();
        CPropTreeItem* direction = RowLabelled(page.GetPropertyTree().GetRootItem(), L"Direction");
        ASSERT_NE(direction, nullptr);
        direction->SetItemValue(kDirectionZAxis);
        ChangeRow(page, direction);
        ASSERT_NEAR(std::fabs(Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface)->GetAxis().z), 1.0, 1e-12);
        direction->SetItemValue(kDirectionCustom);
        ChangeRow(page, direction);
        double none = double(FLT_MAX); // an empty row
        for (CPropTreeItem* row = direction->GetChild(); row; row = row->GetSibling())
            row->SetItemValue(reinterpret_cast<LPARAM>(&none));
        page.OnRebuild();
        const t3DPoint<double> a = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface)->GetAxis();
        EXPECT_NEAR(std::fabs(a.x * axis.x + a.y * axis.y + a.z * axis.z), 1.0, 1e-4);
    }
}

// A plane or symmetry plane shown again keeps its offset ("Custom", its own
// value), a distance along the normal it had. Horizontal then fits the level
// plane to the shape's points, as it does right after the fit, where it kept
// that distance along the vertical: a plane tilted by 6 degrees a metre out
// landed 85 mm above its points.
TEST_F(ShapesDialog, HorizontalOnAPlaneShownAgainFitsItAsRightAfterTheFit)
{
    Open(scans::Plane({1200, -640, 310}, scans::Unit({0.1, 0.05, 1.0}), 80.0, 20, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    for (eShapeKind kind : {eShapeKind::Plane, eShapeKind::SymmetryPlane})
    {
        SCOPED_TRACE(int(kind));
        ChooseKind(kind);
        CSessionSurface* shownAgain = dialog->GetCurrentSession();
        ChooseKind(kind);
        dialog->GetShapePage()->OnHorizontal();
        const cPlane level = Shape<ST_CPlane>(IID_ST_CPlane)->GetPlane();
        ASSERT_EQ(level.normal[2], 1.0);
        ASSERT_NEAR(level.d, -310.0, 0.01);
        const std::vector<CSessionSurface*>& listed = dialog->ListedSessions();
        ClickShapeInList(Window(), std::size_t(std::find(listed.begin(), listed.end(), shownAgain) - listed.begin()));
        ASSERT_EQ(dialog->GetCurrentSession(), shownAgain);
        dialog->GetShapePage()->OnHorizontal();
        const cPlane& p = Shape<ST_CPlane>(IID_ST_CPlane)->GetPlane();
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(p.normal[k], level.normal[k]) << k;
        EXPECT_EQ(p.d, level.d);
    }
}

// The same through the Normal row: "Z Axis" chosen for a plane shown again
// fits its offset, as right after the fit, instead of keeping the distance
// along its tilted normal (85 mm above its points).
TEST_F(ShapesDialog, AnAxisChosenForAPlaneShownAgainFitsItAsRightAfterTheFit)
{
    Open(scans::Plane({1200, -640, 310}, scans::Unit({0.1, 0.05, 1.0}), 80.0, 20, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    CSubSurfaceDlg& page = *dialog->GetShapePage();
    const auto chooseZAxis = [&] {
        CPropTreeItem* normal = RowLabelled(page.GetPropertyTree().GetRootItem(), L"Normal");
        ASSERT_NE(normal, nullptr);
        normal->SetItemValue(kDirectionZAxis);
        ChangeRow(page, normal);
    };
    ChooseKind(eShapeKind::Plane);
    CSessionSurface* shownAgain = dialog->GetCurrentSession();
    ChooseKind(eShapeKind::Plane);
    chooseZAxis();
    const cPlane level = Shape<ST_CPlane>(IID_ST_CPlane)->GetPlane();
    ASSERT_EQ(level.normal[2], 1.0);
    ASSERT_NEAR(level.d, -310.0, 0.01);
    ClickShapeInList(Window(), 0);
    ASSERT_EQ(dialog->GetCurrentSession(), shownAgain);
    chooseZAxis();
    const cPlane& p = Shape<ST_CPlane>(IID_ST_CPlane)->GetPlane();
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(p.normal[k], level.normal[k]) << k;
    EXPECT_EQ(p.d, level.d);
}

// Dragging a cylinder's bottom handle in a turned view moves its base point
// along the axis: the page's Base Point rows show where it now is, where
// they went on showing the fitted point until the shape was shown again.
TEST_F(ShapesDialog, ACylinderHandleDraggedInATurnedViewShowsItsNewBasePointInTheRows)
{
    cCPView* view = nullptr;
    CUIM_ExtendSurface* mode = nullptr;
    POINT at{};
    ASSERT_NO_FATAL_FAILURE(TurnedCylinderWithTheCursorOnItsBottomHandle(view, mode, at));
    const double before = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().axisPoint[2];
    viewinput::Inject(view, WM_LBUTTONDOWN, at);
    for (int i = 1; i <= 5; ++i)
        viewinput::Move(view, POINT{at.x - 4 * i, at.y - 12 * i});
    viewinput::Inject(view, WM_LBUTTONUP, POINT{at.x - 20, at.y - 60});
    const cCylinder& cylinder = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder();
    ASSERT_GT(std::fabs(cylinder.axisPoint[2] - before), 1.0);
    CPropTreeItem* base = RowLabelled(dialog->GetShapePage()->GetPropertyTree().GetRootItem(), L"Base Point");
    ASSERT_NE(base, nullptr);
    int k = 0;
    for (CPropTreeItem* row = base->GetChild(); row; row = row->GetSibling(), ++k)
    {
        auto* edit = dynamic_cast<CPropTreeItemEdit*>(row);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->GetText(), proptree::FormatReal(cylinder.axisPoint[k])) << k;
    }
    EXPECT_EQ(k, 3);
}

// The cursor rests on a cylinder's bottom handle while T turns the view to
// the top: the handle now lies 80 pixels away, yet a click there took it
// and the drag shrank the cylinder from 40.0 to 32.4. The handle taken is
// the one under the cursor when the button goes down.
TEST_F(ShapesDialog, AClickAfterTheViewTurnedUnderARestingCursorTakesNoHandleThatMovedAway)
{
    cCPView* view = nullptr;
    CUIM_ExtendSurface* mode = nullptr;
    POINT at{};
    ASSERT_NO_FATAL_FAILURE(TurnedCylinderWithTheCursorOnItsBottomHandle(view, mode, at));
    ::SetFocus(view->GetSafeHwnd());
    win32::InjectKey('T', true);
    win32::InjectKey('T', false);
    mfc::PumpUntilIdle();
    const double height = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height;
    viewinput::Inject(view, WM_LBUTTONDOWN, at);
    EXPECT_FALSE(mode->IsDraggingHandle());
    for (int i = 1; i <= 5; ++i)
        viewinput::Move(view, POINT{at.x - 4 * i, at.y - 12 * i});
    viewinput::Inject(view, WM_LBUTTONUP, POINT{at.x - 20, at.y - 60});
    EXPECT_EQ(Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height, height);
}

// A cylinder's bottom handle dragged out of the view, over the list of
// shapes, and let go there: the drag ends where the button came up. The
// view never heard of the release, so the handle went on following the
// cursor with the button up: moved back over the view, the cylinder shrank
// from 41.5 to 27.1.
TEST_F(ShapesDialog, ACylinderHandleLetGoOutsideTheViewStopsFollowingTheCursor)
{
    cCPView* view = nullptr;
    CUIM_ExtendSurface* mode = nullptr;
    POINT at{};
    ASSERT_NO_FATAL_FAILURE(TurnedCylinderWithTheCursorOnItsBottomHandle(view, mode, at));
    viewinput::Inject(view, WM_LBUTTONDOWN, at);
    viewinput::Move(view, POINT{at.x - 4, at.y - 12});
    LetGoOverTheShapeList();
    const double released = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height;
    for (int i = 0; i < 5; ++i)
        viewinput::Move(view, POINT{at.x + 10 * i, at.y + 25 * i});
    EXPECT_FALSE(mode->IsDraggingHandle());
    EXPECT_EQ(Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height, released);
}

// The view turned with the right button while a cylinder's handle is held
// with the left, then the handle let go outside the view: the drag ends
// there. The rotation gave up the view's hold on the mouse when it ended,
// so the release went to the list of shapes and the handle went on
// following the cursor with the button up.
TEST_F(ShapesDialog, ACylinderHandleLetGoOutsideTheViewAfterATurnStopsFollowingTheCursor)
{
    cCPView* view = nullptr;
    CUIM_ExtendSurface* mode = nullptr;
    POINT at{};
    ASSERT_NO_FATAL_FAILURE(TurnedCylinderWithTheCursorOnItsBottomHandle(view, mode, at));
    HoldTheHandleWhileTheRightButtonTurnsTheView(view, at);
    LetGoOverTheShapeList();
    const double released = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height;
    for (int i = 0; i < 5; ++i)
        viewinput::Move(view, POINT{at.x + 10 * i, at.y + 25 * i});
    EXPECT_FALSE(mode->IsDraggingHandle());
    EXPECT_EQ(Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height, released);
}

// A cylinder's handle held while the right button turns the view: the
// drag goes on from where the cursor is after the turn. The turn's moves
// never reached the handle, and the first move after it took the whole way
// the cursor went during the turn (30 px) as a drag: one pixel more shrank
// the cylinder from 41.54 to 37.94.
TEST_F(ShapesDialog, ACylinderHandleHeldWhileTheViewTurnsGoesOnFromTheCursorAfterTheTurn)
{
    cCPView* view = nullptr;
    CUIM_ExtendSurface* mode = nullptr;
    POINT at{};
    ASSERT_NO_FATAL_FAILURE(TurnedCylinderWithTheCursorOnItsBottomHandle(view, mode, at));
    const POINT turnTo = HoldTheHandleWhileTheRightButtonTurnsTheView(view, at);
    const double afterTurn = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height;
    viewinput::Move(view, POINT{turnTo.x, turnTo.y - 1});
    EXPECT_NEAR(Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height, afterTurn, 0.3);
    viewinput::Inject(view, WM_LBUTTONUP, POINT{turnTo.x, turnTo.y - 1});
}

// A cylinder's handle held while the dialog is maximised (a key does it):
// the cursor has not moved, so one pixel more moves the handle one pixel's
// worth. The view's pixels moved under the cursor with the window, and the
// shift was taken as a drag: one pixel more shrank it from 41.54 to 16.05.
TEST_F(ShapesDialog, ACylinderHandleHeldWhileTheDialogIsMaximisedMovesOnlyWithTheCursor)
{
    cCPView* view = nullptr;
    CUIM_ExtendSurface* mode = nullptr;
    POINT at{};
    ASSERT_NO_FATAL_FAILURE(TurnedCylinderWithTheCursorOnItsBottomHandle(view, mode, at));
    viewinput::Inject(view, WM_LBUTTONDOWN, at);
    POINT cursor{at.x - 4, at.y - 12};
    viewinput::Move(view, cursor);
    ::ClientToScreen(view->GetSafeHwnd(), &cursor);
    ::ShowWindow(Window(), SW_MAXIMIZE);
    mfc::PumpUntilIdle();
    const double maximised = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height;
    cursor.y -= 1;
    win32::InjectMouseMove(cursor);
    mfc::PumpUntilIdle();
    EXPECT_NEAR(Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height, maximised, 0.3);
    win32::InjectMouseButton(WM_LBUTTONUP, cursor);
    mfc::PumpUntilIdle();
}

// A name typed into the Shape page's row, then a click in the view and T
// for the top view: the click gives the view the keyboard, so the name is
// taken and T reaches the view. The row kept the keyboard: T was typed into
// the name, which later became "tTyped".
TEST_F(ShapesDialog, AClickInTheViewTakesTheRowBeingTypedAndTheViewsKeys)
{
    Open(scans::Cylinder({1000.3, -1000.7, 300.2}, scans::Unit({0.3, 0.2, 0.93}), 15.0, 40.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    CSessionSurface* session = dialog->GetCurrentSession();
    auto* name =
        dynamic_cast<CPropTreeItemEdit*>(dialog->GetShapePage()->GetPropertyTree().FindItem(session->GetRecord()->nameRowId));
    ASSERT_NE(name, nullptr);
    name->BeginActivation();
    name->Activate();
    ::SetWindowTextW(name->GetSafeHwnd(), L"Typed");
    viewinput::Click(dialog->GetShapesView(), POINT{5, 5});
    win32::InjectKey('T', true);
    win32::InjectKey('T', false);
    mfc::PumpUntilIdle();
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(session->GetName())), L"Typed");
}

// A radius row holding text that is no number, then a wand click on the
// scan: the row says so and keeps the keyboard, and the click that only
// ended the typing marks nothing.
TEST_F(ShapesDialog, AClickInTheViewThatARowRefusesMarksNothing)
{
    Open(scans::Plane({1200, -640, 310}, scans::Unit({0.1, 0.05, 1.0}), 80.0, 20, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    Click(IDC_SHAPES_DESELECT_ALL);
    CPropTreeItemEdit* value = TypeIntoTheOffsetRow(*dialog->GetShapePage(), L"abc");
    ASSERT_NE(value, nullptr);
    QueueAnswer(L"Please enter valid real value", IDOK);
    cCPView* view = dialog->GetShapesView();
    const float middle[3] = {1200.0f, -640.0f, 310.0f};
    viewinput::Click(view, PixelOf(view, middle));
    EXPECT_EQ(SelectedTriangles(), 0u);
    EXPECT_EQ(::GetFocus(), value->GetSafeHwnd());
}

// The same refusal for a right click in the view: the release raised the
// view's context menu over the message, and the next right press, quick
// enough to be a double click, was lost, so a turn needed a third press.
TEST_F(ShapesDialog, ARightClickThatARowRefusesRaisesNoMenuAndTheNextPressTurns)
{
    Open(scans::Plane({1200, -640, 310}, scans::Unit({0.1, 0.05, 1.0}), 80.0, 20, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    CPropTreeItemEdit* value = TypeIntoTheOffsetRow(*dialog->GetShapePage(), L"abc");
    ASSERT_NE(value, nullptr);
    QueueAnswer(L"Please enter valid real value", IDOK);
    cCPView* view = dialog->GetShapesView();
    const double facing = view->GetCamera()->GetViewTransform()[0];
    viewinput::Move(view, POINT{50, 50});
    viewinput::Inject(view, WM_RBUTTONDOWN, POINT{50, 50});
    viewinput::Inject(view, WM_RBUTTONUP, POINT{50, 50});
    EXPECT_EQ(::GetFocus(), value->GetSafeHwnd());
    ::SetWindowTextW(value->GetSafeHwnd(), L"2");
    viewinput::Inject(view, WM_RBUTTONDOWN, POINT{50, 50});
    for (int x : {60, 70, 80, 90, 100})
        viewinput::Move(view, POINT{x, 50});
    viewinput::Inject(view, WM_RBUTTONUP, POINT{100, 50});
    EXPECT_EQ(::GetFocus(), view->GetSafeHwnd());
    EXPECT_NE(view->GetCamera()->GetViewTransform()[0], facing);
}

// A cylinder made vertical and seen from the top points its handles at the
// viewer: a drag has no way along them on the screen. Each move was taken
// as growing it, so 20 pixels out and back again lengthened the cylinder
// from 40.02 to 43.84, and no drag in that view could shorten it.
TEST_F(ShapesDialog, ACylinderHandleSeenEndOnStaysWhereItIsWhenDraggedOutAndBack)
{
    Open(scans::Cylinder({1000.3, -1000.7, 300.2}, {0.0, 0.0, 1.0}, 15.0, 40.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    cCPView* view = dialog->GetShapesView();
    ::SetFocus(view->GetSafeHwnd());
    for (BYTE key : {BYTE('V'), BYTE('T')})
    {
        win32::InjectKey(key, true);
        win32::InjectKey(key, false);
    }
    mfc::PumpUntilIdle();
    view->Redraw(kFullRedraw);
    mfc::PumpUntilIdle();
    CUIM_ExtendSurface* mode = dialog->GetExtendMode();
    ASSERT_TRUE(mode && mode->GetHandleCount() == 2);
    const double height = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height;
    const POINT at = PixelOf(view, mode->GetHandlePoints()[1]);
    viewinput::Move(view, POINT{at.x + 1, at.y});
    viewinput::Move(view, at);
    ASSERT_EQ(mode->GetHoveredHandle(), 1);
    viewinput::Inject(view, WM_LBUTTONDOWN, at);
    for (int i : {1, 2, 3, 4, 5, 4, 3, 2, 1, 0})
        viewinput::Move(view, POINT{at.x + 4 * i, at.y});
    viewinput::Inject(view, WM_LBUTTONUP, at);
    EXPECT_EQ(Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height, height);
}

// The same 30 m out with the scan's axis a tenth of a degree off the view
// (as a fitted axis always is): the handle shows no direction, so it stays.
// Taken as drags across it, 20 pixels out and back lengthened the cylinder
// from 40.02 to 43.85.
TEST_F(ShapesDialog, ACylinderHandleSeenAlmostEndOnStaysWhereItIsWhenDraggedOutAndBack)
{
    // Its two presses a second apart: no double click.
    struct ManualClock
    {
        ManualClock() { win32::UseManualClock(10000); }
        ~ManualClock() { win32::UseSystemClock(); }
    } clock;
    Open(scans::Cylinder({30000.3, -1000.7, 300.2}, scans::Unit({0.002, 0.0, 1.0}), 15.0, 40.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    cCPView* view = dialog->GetShapesView();
    ::SetFocus(view->GetSafeHwnd());
    win32::InjectKey('T', true);
    win32::InjectKey('T', false);
    mfc::PumpUntilIdle();
    view->Redraw(kFullRedraw);
    mfc::PumpUntilIdle();
    CUIM_ExtendSurface* mode = dialog->GetExtendMode();
    ASSERT_TRUE(mode && mode->GetHandleCount() == 2);
    const double height = Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height;
    ASSERT_GT(std::fabs(Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().axis[0]), 0.0015);
    const POINT at = PixelOf(view, mode->GetHandlePoints()[1]);
    viewinput::Move(view, POINT{at.x + 1, at.y});
    viewinput::Move(view, at);
    ASSERT_EQ(mode->GetHoveredHandle(), 1);
    viewinput::Inject(view, WM_LBUTTONDOWN, at);
    ASSERT_TRUE(mode->IsDraggingHandle());
    for (int i : {1, 2, 3, 4, 5, 4, 3, 2, 1, 0})
        viewinput::Move(view, POINT{at.x, at.y + 4 * i});
    viewinput::Inject(view, WM_LBUTTONUP, at);
    EXPECT_EQ(Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height, height);

    // Turned 3 degrees, the handle shows its way again and follows a drag.
    testview::TurnView(view, 0.0, 3.0);
    view->Redraw(kFullRedraw);
    mfc::PumpUntilIdle();
    win32::AdvanceClock(1000);
    const POINT turned = PixelOf(view, mode->GetHandlePoints()[1]);
    viewinput::Move(view, POINT{turned.x + 1, turned.y});
    viewinput::Move(view, turned);
    ASSERT_EQ(mode->GetHoveredHandle(), 1);
    viewinput::Inject(view, WM_LBUTTONDOWN, turned);
    ASSERT_TRUE(mode->IsDraggingHandle());
    for (int i = 1; i <= 5; ++i)
        viewinput::Move(view, POINT{turned.x + 4 * i, turned.y});
    viewinput::Inject(view, WM_LBUTTONUP, POINT{turned.x + 20, turned.y});
    EXPECT_GT(std::fabs(Shape<ST_CCylinder>(IID_ST_CCylinder)->GetCylinder().height - height), 1.0);
}

// A plane's edge handle dragged in a turned view onto and past the opposite
// edge stops short of it: the half width went negative, the plane vanished
// from the view, "Create in Dezaz" created nothing without a word and the
// document kept the negative width.
TEST_F(ShapesDialog, APlaneEdgeDraggedPastTheOppositeOneStopsShortOfIt)
{
    InstallShapeTransfer();
    Open(scans::Plane({1200, -640, 310}, scans::Unit({0.1, 0.05, 1.0}), 80.0, 20, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    cCPView* view = dialog->GetShapesView();
    testview::TurnView(view, 25.0, -15.0);
    view->Redraw(kFullRedraw);
    mfc::PumpUntilIdle();
    CUIM_ExtendSurface* mode = dialog->GetExtendMode();
    ASSERT_TRUE(mode && mode->GetHandleCount() == 8);
    const POINT from = PixelOf(view, mode->GetHandlePoints()[0]), opposite = PixelOf(view, mode->GetHandlePoints()[1]);
    viewinput::Move(view, POINT{from.x + 1, from.y});
    viewinput::Move(view, from);
    ASSERT_EQ(mode->GetHoveredHandle(), 0);
    const cPlane before = Shape<ST_CPlane>(IID_ST_CPlane)->GetPlane();
    const POINT past{opposite.x + (opposite.x - from.x) / 4, opposite.y + (opposite.y - from.y) / 4};
    viewinput::Inject(view, WM_LBUTTONDOWN, from);
    for (int i = 1; i <= 10; ++i)
        viewinput::Move(view, POINT{from.x + (past.x - from.x) * i / 10, from.y + (past.y - from.y) * i / 10});
    viewinput::Inject(view, WM_LBUTTONUP, past);
    const cPlane& p = Shape<ST_CPlane>(IID_ST_CPlane)->GetPlane();
    EXPECT_GT(p.halfWidth, 0.0);
    EXPECT_LT(p.halfWidth, before.halfWidth);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(p.origin[k] - p.halfWidth * p.xAxis[k], before.origin[k] - before.halfWidth * before.xAxis[k], 1e-9)
            << "the edge not dragged stays, " << k;
    const std::size_t objects = DezazApp().ActiveDoc().Objects().size();
    Click(IDC_SHAPES_CREATE);
    EXPECT_EQ(DezazApp().ActiveDoc().Objects().size(), objects + 1);
}

// An offset the user typed for a plane shown again is the user's, also once
// a Rebuild has put the plane there: "Z Axis" chosen then keeps it, where it
// was fitted to the points as a kept one is.
TEST_F(ShapesDialog, AnOffsetTypedForAPlaneShownAgainStaysWhenAnAxisIsChosen)
{
    Open(scans::Plane({1200, -640, 310}, scans::Unit({0.1, 0.05, 1.0}), 80.0, 20, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    ChooseKind(eShapeKind::Plane);
    ClickShapeInList(Window(), 0);
    CSubSurfaceDlg& page = *dialog->GetShapePage();
    CPropTreeItem* offset = RowLabelled(page.GetPropertyTree().GetRootItem(), L"Offset");
    ASSERT_TRUE(offset && offset->GetChild());
    double typed = 300.0;
    offset->GetChild()->SetItemValue(reinterpret_cast<LPARAM>(&typed));
    ChangeRow(page, offset->GetChild());
    page.OnRebuild();
    ASSERT_EQ(Shape<ST_CPlane>(IID_ST_CPlane)->GetPlane().d, -300.0);
    CPropTreeItem* normal = RowLabelled(page.GetPropertyTree().GetRootItem(), L"Normal");
    normal->SetItemValue(kDirectionZAxis);
    ChangeRow(page, normal);
    const cPlane& p = Shape<ST_CPlane>(IID_ST_CPlane)->GetPlane();
    EXPECT_EQ(p.normal[2], 1.0);
    EXPECT_EQ(p.d, -300.0);
}

// Vertical on a plane or symmetry plane shown again leaves its kept offset to
// the fit: the row reads "Fit Driven" and, as when that entry is chosen, its
// value cannot be typed over.
TEST_F(ShapesDialog, AnOffsetLeftToTheFitOfAPlaneShownAgainCannotBeTypedOver)
{
    Open(scans::Plane({1200, -640, 310}, scans::Unit({0.1, 0.05, 1.0}), 80.0, 20, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    for (eShapeKind kind : {eShapeKind::Plane, eShapeKind::SymmetryPlane})
    {
        SCOPED_TRACE(int(kind));
        ChooseKind(kind);
        CSessionSurface* shownAgain = dialog->GetCurrentSession();
        ChooseKind(kind);
        const std::vector<CSessionSurface*>& listed = dialog->ListedSessions();
        ClickShapeInList(Window(), std::size_t(std::find(listed.begin(), listed.end(), shownAgain) - listed.begin()));
        ASSERT_EQ(dialog->GetCurrentSession(), shownAgain);
        CSubSurfaceDlg& page = *dialog->GetShapePage();
        CPropTreeItem* offset = RowLabelled(page.GetPropertyTree().GetRootItem(), L"Offset");
        ASSERT_TRUE(offset && offset->GetChild());
        ASSERT_FALSE(offset->GetChild()->IsReadOnly());
        page.OnVertical();
        offset = RowLabelled(page.GetPropertyTree().GetRootItem(), L"Offset");
        ASSERT_TRUE(offset && offset->GetChild());
        EXPECT_EQ(offset->GetItemValue(), kChoiceFitDriven);
        EXPECT_TRUE(offset->GetChild()->IsReadOnly());
    }
}

// The view turned with the right button held while the dialog is maximised
// (a key does it): the cursor has not moved, so one pixel more turns the
// view one pixel's worth. The view's pixels moved under the cursor with the
// window, and the shift was taken as a turn.
TEST_F(ShapesDialog, AViewTurnHeldWhileTheDialogIsMaximisedMovesOnlyWithTheCursor)
{
    Open(scans::Cylinder({1000.3, -1000.7, 500.2}, scans::Unit({0.3, 0.2, 0.93}), 15.0, 40.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    cCPView* view = dialog->GetShapesView();
    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    const POINT c{client.right / 2, client.bottom / 2};
    viewinput::Move(view, c);
    viewinput::Inject(view, WM_RBUTTONDOWN, c);
    POINT cursor{c.x + 12, c.y + 8};
    viewinput::Move(view, cursor);
    ::ClientToScreen(view->GetSafeHwnd(), &cursor);
    ::ShowWindow(Window(), SW_MAXIMIZE);
    mfc::PumpUntilIdle();
    double before[12];
    std::copy_n(view->GetCamera()->GetViewTransform(), 12, before);
    cursor.x += 1;
    win32::InjectMouseMove(cursor);
    mfc::PumpUntilIdle();
    const double* after = view->GetCamera()->GetViewTransform();
    // Half a degree or less turns each axis by at most some 0.01.
    double most = 0.0;
    for (int k : {0, 1, 2, 4, 5, 6, 8, 9, 10})
        most = std::max(most, std::abs(after[k] - before[k]));
    EXPECT_LT(most, 0.02);
    win32::InjectMouseButton(WM_RBUTTONUP, cursor);
    mfc::PumpUntilIdle();
}
