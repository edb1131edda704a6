// The shapes dialog's Deviation tab end to end: a plane fitted to a noisy
// scan of a tilted patch, the tab switches the view to the deviation
// display, and the page reports every selected vertex compared; the view
// shows the mesh in the colours of the scale while the tab is open and in
// its material again once it is left.
#include "analysis/analysed_vertex_tree.h"
#include "analysis/colour_ramp.h"
#include "analysis/deviation_pass.h"
#include "core/frame_math.h"
#include "core/mesh_object.h"
#include "core/p3d_scene.h"
#include "resources/analyzer.h"
#include "modes/deviation_display_mode.h"
#include "modes/surface_extension_mode.h"
#include "plugin/tests/support/shape_scans.h"
#include "plugin/tests/support/shapes_dialog_fixture.h"
#include "plugin/tests/support/view_input.h"
#include "render/tests/support/camera_moves.h"
#include "plugin/dialogs/shape_page.h"
#include "plugin/tools/analyzer_settings.h"
#include "plugin/tools/sub_deviation_dlg.h"
#include "plugin/vtl_plugin.h"
#include "shapes/primitive_geometry.h"
#include "shapes/shape_interfaces.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{

using DeviationTab = ShapesDialog;

struct Rgb
{
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

// A plate of 20 x 20 cells turned 53 degrees away from the eye (lit at
// 1.3 x its colour, without a highlight) with two patches of 6 x 13
// vertices, one sunk 0.03 below its plane and one lifted 0.03 above it; the
// rest lies on the plane all around them, and a plane fitted to it alone is
// the plate's own and spans the patches.
class DeviationColours : public ShapesDialog
{
protected:
    static constexpr int kCells = 20;
    static constexpr double kStep = 0.03;

    void OpenSteppedPlate()
    {
        const scans::Vec normal = scans::Unit({0, 0.8, 0.6});
        ON_Mesh plate = scans::Plane({300, -200, 50}, normal, 100.0, kCells);
        for (int k = 0; k < plate.m_V.Count(); ++k)
        {
            const int column = k % (kCells + 1), row = k / (kCells + 1);
            const bool band = row >= 4 && row <= 16;
            const double offset =
                band && column >= 3 && column <= 8 ? -kStep : band && column >= 12 && column <= 17 ? kStep : 0.0;
            plate.m_V[k].x += float(offset * normal.x);
            plate.m_V[k].y += float(offset * normal.y);
            plate.m_V[k].z += float(offset * normal.z);
        }
        Open(plate);
        // The dialog's mesh may lie elsewhere: the groups are told apart by
        // their height along the normal around the flat middle (the median).
        cMesh& mesh = Mesh();
        std::vector<double> heights;
        for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        {
            const cVertex* v = mesh.GetVertex(i);
            heights.push_back(v->x * normal.x + v->y * normal.y + v->z * normal.z);
        }
        std::vector<double> sorted = heights;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        const double middle = sorted[sorted.size() / 2];
        group.assign(heights.size(), 0);
        for (std::size_t i = 0; i < heights.size(); ++i)
            group[i] = heights[i] > middle + kStep / 2 ? 1 : heights[i] < middle - kStep / 2 ? -1 : 0;
        // Only the flat middle is selected, so the plane is fitted to it.
        mesh.ForEachTriangle([&](cMeshTriangle& t) {
            const bool flat = std::all_of(std::begin(t.vertexIndex), std::end(t.vertexIndex),
                                          [&](std::uint32_t v) { return group[v] == 0; });
            t.flags = flat ? std::uint8_t(t.flags | kTriangleFlagSelected)
                           : std::uint8_t(t.flags & ~kTriangleFlagSelected);
            if (flat)
                for (const std::uint32_t v : t.vertexIndex)
                    mesh.GetVertex(v)->flags |= 2u;
        });
    }
    // The vertex of a group nearest to the group's centroid, well inside
    // its patch (the flat group's lies in the gap between the patches).
    std::uint32_t MiddleOf(int which)
    {
        cMesh& mesh = Mesh();
        double c[3] = {0, 0, 0};
        int n = 0;
        for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
            if (group[i] == which)
            {
                const cVertex* v = mesh.GetVertex(i);
                c[0] += v->x, c[1] += v->y, c[2] += v->z, ++n;
            }
        std::uint32_t best = 0;
        double bestDistance = 1e300;
        for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        {
            if (group[i] != which)
                continue;
            const cVertex* v = mesh.GetVertex(i);
            const double d = std::hypot(v->x - c[0] / n, v->y - c[1] / n, v->z - c[2] / n);
            if (d < bestDistance)
                bestDistance = d, best = i;
        }
        return best;
    }
    win32::ClientImage Picture(const std::string& name)
    {
        dialog->GetShapesView()->Redraw(kFullRedraw);
        win32::WriteSnapshotIfRequested(Window(), "deviation_colours_" + name);
        return win32::ComposeWindowImage(Window());
    }
    // The pixels of the view within two pixels of a vertex.
    std::vector<Rgb> AroundVertex(const win32::ClientImage& image, std::uint32_t index)
    {
        I3DSceneRenderer* renderer = dialog->GetShapesView()->GetRenderer();
        const cVertex* v = Mesh().GetVertex(index);
        float projected[3];
        renderer->ProjectPoint(projected, &v->x, true);
        POINT at{};
        renderer->WorldToScreen(projected[0], projected[1], &at);
        const HWND view = dialog->GetShapesView()->GetSafeHwnd();
        std::vector<Rgb> out;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
            {
                POINT p{at.x + dx, at.y + dy};
                MapWindowPoints(view, Window(), &p, 1);
                EXPECT_TRUE(p.x >= 0 && p.y >= 0 && p.x < image.width && p.y < image.height);
                const std::uint32_t c = image.pixels[std::size_t(p.y) * std::size_t(image.width) + std::size_t(p.x)];
                out.push_back({int((c >> 16) & 255), int((c >> 8) & 255), int(c & 255)});
            }
        return out;
    }
    // The pixel of a vertex of colour bytes rgb, lit as the plate is.
    static Rgb Lit(const std::uint8_t rgb[3])
    {
        const auto lit = [](std::uint8_t c) { return int(std::lround(std::min(255.0, 1.3 * c))); };
        return {lit(rgb[0]), lit(rgb[1]), lit(rgb[2])};
    }
    // The colour bytes the scene pass gives a deviation (the page's
    // tolerance 0.01 and multiplier 5).
    static Rgb PassColour(float d)
    {
        std::uint8_t rgb[3] = {kUnmeasuredGrey, kUnmeasuredGrey, kUnmeasuredGrey};
        if (d != FLT_MAX)
        {
            tColourTable table;
            SetDefaultColourTable(table);
            Ramp(d, 0.05f, 0.01f, -0.05f, 0.05f, table, rgb[0], rgb[1], rgb[2], 1.0f);
        }
        for (std::uint8_t& c : rgb)
            c = std::uint8_t(float(c) * kSceneColourScale);
        return Lit(rgb);
    }
    static void ExpectAll(const std::vector<Rgb>& block, Rgb want, const char* what)
    {
        for (const Rgb& p : block)
        {
            EXPECT_NEAR(p.r, want.r, 4) << what;
            EXPECT_NEAR(p.g, want.g, 4) << what;
            EXPECT_NEAR(p.b, want.b, 4) << what;
        }
    }
    const cVTL_AVTree* Analysis()
    {
        return dynamic_cast<const cVTL_AVTree*>(
            dialog->FirstMeshObject()->FindAttachedProperty(kAnalyzerInfoPropertyName));
    }
    // The stepped plate fitted as a plane, the Deviation tab shown and 0
    // typed as the tolerance, whose warning is answered when it comes.
    CSubDeviationDlg* PlateWithARefusedToleranceTyped()
    {
        OpenSteppedPlate();
        ChooseKind(eShapeKind::Plane);
        auto* page = dynamic_cast<CSubDeviationDlg*>(FindDeviationPage(dialog->GetShapesView()));
        if (page == nullptr)
            return nullptr;
        dialog->SelectTab(1);
        ::SetDlgItemTextW(page->GetSafeHwnd(), IDC_ANALYZER_TOLERANCE, L"0");
        QueueAnswer(kBadToleranceText, IDOK);
        return page;
    }
    void UncheckSelectionOnly(CSubDeviationDlg* page)
    {
        const HWND check = ::GetDlgItem(page->GetSafeHwnd(), IDC_ANALYZER_SELECTION_ONLY);
        ASSERT_NE(check, nullptr);
        ::SendMessageW(check, BM_SETCHECK, BST_UNCHECKED, 0);
        ::SendMessageW(page->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_ANALYZER_SELECTION_ONLY, BN_CLICKED),
                       LPARAM(check));
    }

    std::vector<int> group; // per vertex: -1 sunk, 0 on the plane, 1 lifted
};

} // namespace

TEST_F(DeviationTab, TheTabShowsTheDeviationOfTheScanFromTheFittedPlane)
{
    const scans::Vec centre{1200, 300, -80}, normal = scans::Unit({0.3, -0.4, 0.85});
    Open(scans::Plane(centre, normal, 100.0, 30, 0.02));
    AFX_MANAGE_STATE(&state);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    ASSERT_NE(Shape<ST_CPlane>(IID_ST_CPlane), nullptr);
    ASSERT_EQ(dialog->TabTitles(), (std::vector<std::wstring>{L"Shape", L"Deviation"}));

    cCPView* view = dialog->GetShapesView();
    auto* page = dynamic_cast<CSubDeviationDlg*>(FindDeviationPage(view));
    ASSERT_NE(page, nullptr);
    dialog->SelectTab(1);
    EXPECT_NE(dynamic_cast<CUIM_Deviation*>(view->GetActiveMode()), nullptr);
    EXPECT_EQ(page->ThreadPool(), &ThePlugIn().ThreadPool()) << "the plug-in's threads, analyser run or not";
    // "Reinitialize Primitive" brings the page back over the Shape page.
    const HWND shapePage = dialog->GetShapePage()->GetSafeHwnd();
    ::ShowWindow(shapePage, SW_SHOW);
    ::ShowWindow(page->GetSafeHwnd(), SW_HIDE);
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(kCmdReinitializeDeviation, 0), 0);
    EXPECT_FALSE(::IsWindowVisible(shapePage));
    EXPECT_TRUE(::IsWindowVisible(page->GetSafeHwnd()));

    // Every vertex is selected and lies within the scale's limit (5 x 0.01)
    // of the plane: all are compared, and the counts add up.
    const cVTL_AVTree* tree = dynamic_cast<const cVTL_AVTree*>(
        dialog->FirstMeshObject()->FindAttachedProperty(kAnalyzerInfoPropertyName));
    ASSERT_NE(tree, nullptr);
    const stDeviationStatistics& s = tree->GetStatistics();
    ASSERT_TRUE(s.valid);
    EXPECT_EQ(s.compared, Mesh().GetVertexCount());
    EXPECT_EQ(s.inTolerance + s.aboveTolerance + s.belowTolerance, s.compared);
    // Noise of +-0.02 on each axis: about 0.0115 along the normal.
    EXPECT_NEAR(s.rms, 0.02 / std::sqrt(3.0), 0.002);
    wchar_t head[64];
    std::swprintf(head, 64, L"Points compared: %u\n", s.compared);
    EXPECT_EQ(std::wstring(page->InfoText()).rfind(head, 0), 0u) << page->InfoText().GetString();
    Snapshot("deviation_tab");
}

TEST_F(DeviationColours, TheTabShowsEachVertexInTheScaleColourOfItsDeviationAndLeavingItShowsTheMaterial)
{
    OpenSteppedPlate();
    AFX_MANAGE_STATE(&state);
    ChooseKind(eShapeKind::Plane);
    ASSERT_NE(Shape<ST_CPlane>(IID_ST_CPlane), nullptr);
    const std::uint32_t sunk = MiddleOf(-1), flat = MiddleOf(0), lifted = MiddleOf(1);
    const win32::ClientImage before = Picture("shape_tab");
    const std::vector<Rgb> sunkBefore = AroundVertex(before, sunk), flatBefore = AroundVertex(before, flat),
                           liftedBefore = AroundVertex(before, lifted);

    cCPView* view = dialog->GetShapesView();
    auto* page = dynamic_cast<CSubDeviationDlg*>(FindDeviationPage(view));
    ASSERT_NE(page, nullptr);
    cP3DScene& scene = dialog->GetScene();
    dialog->SelectTab(1);
    ASSERT_NE(dynamic_cast<CUIM_Deviation*>(view->GetActiveMode()), nullptr);
    EXPECT_EQ(scene.m_boxMode, kBoxModeDeviation);
    EXPECT_EQ(scene.m_deviationSelectionOnly, 1) << "Selection only is on by default";

    // Selection only: the flat plate is measured (0, in tolerance), the
    // patches stay unmeasured and show the scale's grey for that.
    const cVTL_AVTree* tree = Analysis();
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->GetCount(), Mesh().GetVertexCount());
    EXPECT_NEAR(tree->GetRecord(flat)->deviation, 0.0f, 1e-3f);
    EXPECT_EQ(tree->GetRecord(lifted)->deviation, FLT_MAX);
    const win32::ClientImage selected = Picture("selection_only");
    ExpectAll(AroundVertex(selected, flat), PassColour(tree->GetRecord(flat)->deviation), "flat, measured");
    ExpectAll(AroundVertex(selected, lifted), PassColour(FLT_MAX), "lifted, unmeasured");
    ExpectAll(AroundVertex(selected, sunk), PassColour(FLT_MAX), "sunk, unmeasured");

    // The whole plate measured: each patch in the colour of its step, the
    // two on either side of the scale.
    UncheckSelectionOnly(page);
    EXPECT_EQ(scene.m_deviationSelectionOnly, 0);
    tree = Analysis();
    ASSERT_NE(tree, nullptr);
    const float up = tree->GetRecord(lifted)->deviation, down = tree->GetRecord(sunk)->deviation;
    EXPECT_NEAR(std::fabs(up), kStep, 2e-3);
    EXPECT_NEAR(std::fabs(down), kStep, 2e-3);
    EXPECT_LT(up * down, 0.0f) << "the patches lie on either side of the plane";
    const win32::ClientImage all = Picture("whole_plate");
    ExpectAll(AroundVertex(all, lifted), PassColour(up), "lifted");
    ExpectAll(AroundVertex(all, sunk), PassColour(down), "sunk");
    ExpectAll(AroundVertex(all, flat), PassColour(tree->GetRecord(flat)->deviation), "flat");
    EXPECT_NE(PassColour(up), PassColour(down));
    EXPECT_NE(PassColour(up), PassColour(0.0f));

    // Back on the Shape tab the view shows the material and the marks as
    // before, though the vertices keep the pass's colours.
    dialog->SelectTab(0);
    EXPECT_EQ(dynamic_cast<CUIM_Deviation*>(view->GetActiveMode()), nullptr);
    EXPECT_EQ(scene.m_boxMode, kBoxModeNormal);
    EXPECT_EQ(scene.m_deviationSelectionOnly, 0);
    const win32::ClientImage after = Picture("shape_tab_again");
    EXPECT_EQ(AroundVertex(after, sunk), sunkBefore);
    EXPECT_EQ(AroundVertex(after, flat), flatBefore);
    EXPECT_EQ(AroundVertex(after, lifted), liftedBefore);
}

TEST_F(DeviationColours, SelectionOnlyTurnedOffWithARefusedToleranceInTheFieldMeasuresTheWholePlate)
{
    AFX_MANAGE_STATE(&state);
    CSubDeviationDlg* page = PlateWithARefusedToleranceTyped();
    ASSERT_NE(page, nullptr);
    UncheckSelectionOnly(page);
    EXPECT_FALSE(page->SelectionOnly());
    EXPECT_EQ(dialog->GetScene().m_deviationSelectionOnly, 0);
    const cVTL_AVTree* tree = Analysis();
    ASSERT_NE(tree, nullptr);
    EXPECT_NEAR(std::fabs(tree->GetRecord(MiddleOf(1))->deviation), kStep, 2e-3) << "the lifted patch is measured";
}

TEST_F(DeviationColours, ShowMinMaxTurnedOnWithARefusedToleranceInTheFieldIsKept)
{
    AFX_MANAGE_STATE(&state);
    CSubDeviationDlg* page = PlateWithARefusedToleranceTyped();
    ASSERT_NE(page, nullptr);
    const HWND check = ::GetDlgItem(page->GetSafeHwnd(), IDC_ANALYZER_SHOW_MIN_MAX);
    ::SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageW(page->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_ANALYZER_SHOW_MIN_MAX, BN_CLICKED), LPARAM(check));
    EXPECT_TRUE(page->ShowMinMax());
    int stored = 0;
    ASSERT_TRUE(store.ReadInt(kAnalyzerSection, L"ShowMinMaxPoints", &stored));
    EXPECT_EQ(stored, 1);
}

TEST_F(DeviationColours, ClosingTheDialogOnTheDeviationTabEndsTheDisplayCleanly)
{
    OpenSteppedPlate();
    AFX_MANAGE_STATE(&state);
    ChooseKind(eShapeKind::Plane);
    dialog->SelectTab(1);
    ASSERT_EQ(dialog->GetScene().m_boxMode, kBoxModeDeviation);
    Picture("before_close");
    dialog.reset(); // the mode ends with the view; the sanitizers watch
}

TEST_F(DeviationTab, ALabelPickedOnTheAlignedScanStaysOnItsVertexAfterReset)
{
    Open(scans::Plane({1200, 300, -80}, scans::Unit({0.3, -0.4, 0.85}), 100.0, 30, 0.02));
    AFX_MANAGE_STATE(&state);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    Click(IDC_SHAPES_ALIGN_BOTTOM);
    double frame[12];
    std::copy(dialog->GetMeshFrame(), dialog->GetMeshFrame() + 12, frame);
    cCPView* view = dialog->GetShapesView();
    auto* page = dynamic_cast<CSubDeviationDlg*>(FindDeviationPage(view));
    ASSERT_NE(page, nullptr);
    dialog->SelectTab(1);
    view->ZoomAll();
    testview::TurnView(view, 25.0, -20.0);
    view->Redraw(kFullRedraw);
    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    viewinput::Click(view, POINT{client.right / 2 + 7, client.bottom / 2 - 5});
    ASSERT_EQ(page->PageLabels().size(), 1u);
    const stDeviationPageLabel picked = page->PageLabels()[0];

    Click(IDC_SHAPES_RESET);
    mfc::PumpUntilIdle();
    ASSERT_EQ(page->PageLabels().size(), 1u);
    const stDeviationPageLabel& after = page->PageLabels()[0];
    float back[3] = {picked.point[0], picked.point[1], picked.point[2]};
    InverseTransformPoint3f(frame, back);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(after.point[k], back[k], 1e-3) << k;
    EXPECT_NEAR(after.deviation, picked.deviation, 1e-5);
}

TEST_F(DeviationTab, ASymmetryPlaneChosenOnTheTabKeepsTheDeviationDisplayAndLeavesTheLineToolForTheShapeTab)
{
    Open(scans::Sphere({1000, 300, -80}, 1.0, 24, 12, 0.001));
    AFX_MANAGE_STATE(&state);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Sphere);
    cCPView* view = dialog->GetShapesView();
    auto* page = dynamic_cast<CSubDeviationDlg*>(FindDeviationPage(view));
    ASSERT_NE(page, nullptr);
    dialog->SelectTab(1);
    ChooseKind(eShapeKind::SymmetryPlane);
    ASSERT_EQ(dialog->TabTitles(), (std::vector<std::wstring>{L"Shape", L"Deviation"}));
    ASSERT_EQ(dialog->GetSelectedTab(), 1);
    // The tab shown is still the Deviation tab: the view shows its display.
    EXPECT_NE(dynamic_cast<CUIM_Deviation*>(view->GetActiveMode()), nullptr);
    EXPECT_EQ(dialog->GetScene().m_boxMode, kBoxModeDeviation);
    EXPECT_TRUE(::IsWindowVisible(page->GetSafeHwnd()));
    // Back on the Shape tab the line tool the kind chose is the one in use.
    dialog->SelectTab(0);
    EXPECT_EQ(::SendDlgItemMessageW(Window(), IDC_SHAPES_LINE, BM_GETSTATE, 0, 0) & BST_PUSHED, BST_PUSHED);
    EXPECT_EQ(dialog->GetCurrentSelectionTool(), std::uint32_t(kCmdPaintLine));
}

TEST_F(DeviationTab, LabelsOfADeletedShapeDoNotComeBackOnTheNextShape)
{
    Open(scans::Plane({1200, 300, -80}, scans::Unit({0.3, -0.4, 0.85}), 100.0, 30, 0.02));
    AFX_MANAGE_STATE(&state);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    cCPView* view = dialog->GetShapesView();
    auto* page = dynamic_cast<CSubDeviationDlg*>(FindDeviationPage(view));
    ASSERT_NE(page, nullptr);
    dialog->SelectTab(1);
    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    viewinput::Click(view, POINT{client.right / 2 + 7, client.bottom / 2 - 5});
    ASSERT_EQ(page->PageLabels().size(), 1u);
    // The shape is deleted and another plane fitted in its place (which the
    // allocator may give the deleted one's address, unless a sanitizer holds
    // freed memory back).
    dialog->SelectTab(0);
    QueueAnswer(L"Are you sure you want to delete", IDYES);
    Click(IDC_SHAPES_DELETE);
    ASSERT_EQ(dialog->GetEntry()->SessionCount(), 0u);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    dialog->SelectTab(1);
    EXPECT_TRUE(page->PageLabels().empty());
}

TEST_F(DeviationTab, AnotherShapeChosenWithARefusedToleranceInTheFieldIsMeasuredWithTheOneInUse)
{
    Open(scans::Cylinder({1000, -600, 400}, scans::Unit({0.2, 0.5, 1.0}), 25.0, 60.0, 64, 12, false, 0.004));
    AFX_MANAGE_STATE(&state);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    Click(IDC_SHAPES_NEW_SHAPE);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    auto* page = dynamic_cast<CSubDeviationDlg*>(FindDeviationPage(dialog->GetShapesView()));
    ASSERT_NE(page, nullptr);
    dialog->SelectTab(1);
    ::SetDlgItemTextW(page->GetSafeHwnd(), IDC_ANALYZER_TOLERANCE, L"0");
    // The cylinder chosen in the list: the value is refused once, and the
    // cylinder is measured with the tolerance in use, every vertex within
    // the scale's limit of its surface.
    QueueAnswer(kBadToleranceText, IDOK);
    const HWND list = ::GetDlgItem(Window(), IDC_SHAPES_LIST);
    ::SendMessageW(list, LB_SETCURSEL, 0, 0);
    ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(list));
    ASSERT_EQ(dialog->GetCurrentKind(), eShapeKind::Cylinder);
    EXPECT_FLOAT_EQ(page->Tolerance(), 0.01f);
    EXPECT_EQ(std::wstring(page->InfoText()).rfind(L"Points compared: 832\n", 0), 0u) << page->InfoText().GetString();
}

TEST_F(DeviationTab, ATabThatRemeasuresAnotherShapeKeepsTheToleranceTheAnalyserStored)
{
    // The floating analyser and the tab share "Tolerance": 0.05 applied in
    // the analyser while the tab shows 0.01 stays the stored one when the
    // tab only measures again (another shape, a moved one).
    Open(scans::Plane({1200, 300, -80}, scans::Unit({0.3, -0.4, 0.85}), 100.0, 30, 0.02));
    AFX_MANAGE_STATE(&state);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    cCPView* view = dialog->GetShapesView();
    auto* page = dynamic_cast<CSubDeviationDlg*>(FindDeviationPage(view));
    ASSERT_NE(page, nullptr);
    dialog->SelectTab(1);
    WriteAnalyzerTolerance(&store, 0.05f);
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(kCmdReinitializeDeviation, 0), 0);
    EXPECT_FLOAT_EQ(page->Tolerance(), 0.01f) << "the tab measures with its own";
    float stored = 0.0f;
    ASSERT_TRUE(store.ReadFloat(kAnalyzerSection, L"Tolerance", &stored));
    EXPECT_FLOAT_EQ(stored, 0.05f);
    // The tab's own, applied by the user, is stored.
    ::SendMessageW(page->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_ANALYZER_APPLY, BN_CLICKED),
                   LPARAM(::GetDlgItem(page->GetSafeHwnd(), IDC_ANALYZER_APPLY)));
    ASSERT_TRUE(store.ReadFloat(kAnalyzerSection, L"Tolerance", &stored));
    EXPECT_FLOAT_EQ(stored, 0.01f);
    // One typed there is taken (and stored) by the next measure, once.
    ::SetDlgItemTextW(page->GetSafeHwnd(), IDC_ANALYZER_TOLERANCE, L"0.02");
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(kCmdReinitializeDeviation, 0), 0);
    ASSERT_TRUE(store.ReadFloat(kAnalyzerSection, L"Tolerance", &stored));
    EXPECT_FLOAT_EQ(stored, 0.02f);
    WriteAnalyzerTolerance(&store, 0.05f);
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(kCmdReinitializeDeviation, 0), 0);
    ASSERT_TRUE(store.ReadFloat(kAnalyzerSection, L"Tolerance", &stored));
    EXPECT_FLOAT_EQ(stored, 0.05f);
}

// The cursor rests on a vertex of the lifted patch while another shape is
// chosen in the list: the label under the cursor read the last shape's
// deviation there (0.0000 on the patch's own plane) beside the new colours
// (the patch 0.03 above the plate's plane) until the cursor went on to
// another vertex.
TEST_F(DeviationColours, TheLabelUnderTheRestingCursorReadsTheShapeChosenMeanwhile)
{
    OpenSteppedPlate();
    AFX_MANAGE_STATE(&state);
    ChooseKind(eShapeKind::Plane);
    Click(IDC_SHAPES_NEW_SHAPE);
    cMesh& mesh = Mesh();
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        mesh.GetVertex(i)->flags &= ~2u;
    mesh.ForEachTriangle([&](cMeshTriangle& t) {
        const bool lifted = std::all_of(std::begin(t.vertexIndex), std::end(t.vertexIndex),
                                        [&](std::uint32_t v) { return group[v] == 1; });
        t.flags = lifted ? std::uint8_t(t.flags | kTriangleFlagSelected)
                         : std::uint8_t(t.flags & ~kTriangleFlagSelected);
        if (lifted)
            for (const std::uint32_t v : t.vertexIndex)
                mesh.GetVertex(v)->flags |= 2u;
    });
    ChooseKind(eShapeKind::Plane); // the patch's own plane
    cCPView* view = dialog->GetShapesView();
    dialog->SelectTab(1);
    view->Redraw(kFullRedraw);
    auto* mode = dynamic_cast<CUIM_Deviation*>(view->GetActiveMode());
    ASSERT_NE(mode, nullptr);
    const auto screenOf = [&](std::uint32_t index) {
        float projected[3];
        view->GetRenderer()->ProjectPoint(projected, &mesh.GetVertex(index)->x, true);
        POINT at{};
        view->GetRenderer()->WorldToScreen(projected[0], projected[1], &at);
        return at;
    };
    const std::uint32_t middle = MiddleOf(1);
    viewinput::Move(view, screenOf(middle + 1));
    viewinput::Move(view, screenOf(middle));
    ASSERT_TRUE(mode->Probe().HasValue());
    EXPECT_NEAR(mode->Probe().Value(), 0.0f, 1e-4f);

    const HWND list = ::GetDlgItem(Window(), IDC_SHAPES_LIST);
    ::SendMessageW(list, LB_SETCURSEL, 0, 0); // the plate's plane
    ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(list));
    mfc::PumpUntilIdle();
    ASSERT_EQ(view->GetActiveMode(), mode);
    const float measured = Analysis()->GetRecord(middle)->deviation;
    EXPECT_NEAR(std::fabs(measured), kStep, 2e-3);
    ASSERT_TRUE(mode->Probe().HasValue());
    EXPECT_FLOAT_EQ(mode->Probe().Value(), measured);
    wchar_t text[32];
    std::swprintf(text, 32, L"%.4f mm", double(measured));
    const std::vector<stDeviationOverlayLabel> labels = mode->OverlayLabels(view);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].text, text);
}
