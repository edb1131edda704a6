// The shapes dialog's Deviation tab end to end: a plane fitted to a noisy
// scan of a tilted patch, the tab switches the view to the deviation
// display, and the page reports every selected vertex compared.
#include "analysis/analysed_vertex_tree.h"
#include "core/mesh_object.h"
#include "modes/deviation_display_mode.h"
#include "plugin/tests/support/shape_scans.h"
#include "plugin/tests/support/shapes_dialog_fixture.h"
#include "plugin/tools/sub_deviation_dlg.h"
#include "shapes/primitive_geometry.h"
#include "shapes/shape_interfaces.h"

#include <cmath>

namespace
{

using DeviationTab = ShapesDialog;

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
