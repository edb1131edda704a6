// The Sketch tab of a revolved shape runs the profile editor with the Sketch
// page as its panel: the page's tool buttons choose its tools, a drawn line
// shows its length in the page, a typed length applies, and Undo takes the
// page's undo steps back.
#include "modes/profile_edit_mode.h"
#include "plugin/dialogs/sketch_page.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"
#include "support/view_input.h"

#include "core/profiled_surface.h"

TEST_F(ShapesDialog, TheSketchTabEditsTheRevolvedProfileThroughTheSketchPage)
{
    Open(scans::Cylinder({-40, 80, 900}, {0.0, 0.0, 1.0}, 20.0, 50.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Revolved);
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    ASSERT_EQ(dialog->TabTitles()[1], L"Sketch");
    dialog->SelectTab(1);
    cCPView* view = dialog->GetShapesView();
    auto* mode = dynamic_cast<CUIM_EditProfile*>(view->GetActiveMode());
    ASSERT_NE(mode, nullptr) << "the Sketch tab runs the profile editor";
    auto* profiled = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface);
    ASSERT_NE(profiled, nullptr);
    ST_ISectionCurve* sketch = profiled->GetProfileCurve();
    ASSERT_NE(sketch, nullptr);
    const std::uint32_t before = sketch->GetSegmentCount();

    CSubProfileDlg& page = *dialog->GetSketchPage();
    const HWND pageWindow = page.GetSafeHwnd();
    // The page's Line button chooses the line tool.
    ::SendMessageW(pageWindow, WM_COMMAND, MAKEWPARAM(IDC_SKETCH_LINE, BN_CLICKED),
                   LPARAM(::GetDlgItem(pageWindow, IDC_SKETCH_LINE)));
    EXPECT_EQ(mode->GetCurrentTool(), kProfileToolLine);
    ::SendDlgItemMessageW(pageWindow, IDC_SKETCH_SNAPPING, BM_SETCHECK, BST_UNCHECKED, 0);
    page.OnSnapping();
    EXPECT_FALSE(mode->IsSnappingOn());

    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    const LONG cx = (client.right - client.left) / 2, cy = (client.bottom - client.top) / 2;
    viewinput::Click(view, POINT{cx - 60, cy});
    viewinput::Click(view, POINT{cx + 40, cy - 30});
    sketch = profiled->GetProfileCurve();
    ASSERT_EQ(sketch->GetSegmentCount(), before + 1);
    ST_ISectionCurve* line = sketch->GetSegment(before);
    const tPolyline<cVertex>& ends = *SketchPointsOf(*line, false);
    const double drawn = PointDistance(ends.GetVertex(0)->Position(), ends.GetVertex(1)->Position());
    wchar_t text[64] = {};
    ::GetDlgItemTextW(pageWindow, IDC_SKETCH_DISTANCE_LABEL, text, 64);
    EXPECT_EQ(std::wstring(text), L"Distance");
    EXPECT_NEAR(page.GetDistanceRadiusValue(), drawn, 1e-3);

    // A typed length applies to the selected line when the field loses focus.
    ::SetDlgItemTextW(pageWindow, IDC_SKETCH_DISTANCE, L"25");
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, kCmdProfileApplyDistance, 0);
    sketch = profiled->GetProfileCurve();
    const tPolyline<cVertex>& applied = *SketchPointsOf(*sketch->GetSegment(before), false);
    EXPECT_NEAR(PointDistance(applied.GetVertex(0)->Position(), applied.GetVertex(1)->Position()), 25.0, 1e-3);
    // A value that is no number changes nothing and keeps no undo step.
    const std::size_t steps = page.UndoStateCount();
    ::SetDlgItemTextW(pageWindow, IDC_SKETCH_DISTANCE, L"nan");
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, kCmdProfileApplyDistance, 0);
    EXPECT_EQ(page.UndoStateCount(), steps);

    // Undo twice: the length, then the line.
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, 40009, 0);
    sketch = profiled->GetProfileCurve();
    ASSERT_EQ(sketch->GetSegmentCount(), before + 1);
    const tPolyline<cVertex>& restored = *SketchPointsOf(*sketch->GetSegment(before), false);
    EXPECT_NEAR(PointDistance(restored.GetVertex(0)->Position(), restored.GetVertex(1)->Position()), drawn, 1e-4);
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, 40009, 0);
    EXPECT_EQ(profiled->GetProfileCurve()->GetSegmentCount(), before);
    Snapshot("sketch_tab_profile_editor");
}
