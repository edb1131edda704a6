#include "plugin/dialogs/guide_curve_page.h"

#include "modes/curve_draw_mode.h"
#include "modes/shapes_view.h"
#include "plugin/dialogs/shape_page.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "resources/shapes_dialog.h"

BEGIN_MESSAGE_MAP(CSubGuideCurveDlg, CSubDlgBase)
ON_COMMAND(IDC_GUIDE_NEW_SHAPE, &CSubGuideCurveDlg::OnNewShape)
ON_COMMAND(IDC_GUIDE_DRAW, &CSubGuideCurveDlg::OnDraw)
END_MESSAGE_MAP()

CSubGuideCurveDlg::CSubGuideCurveDlg(CCreatePrimitiveDialog* owner, cCPView* view)
    : CSubDlgBase(IDD_GUIDE_CURVE_PAGE, owner, view)
{
    RegisterCurveDrawMode();
}

void CSubGuideCurveDlg::OnNewShape()
{
    CCreatePrimitiveDialog* dialog = Owner();
    if (dialog && dialog->GetCurrentSession() && dialog->GetShapePage())
        dialog->GetShapePage()->StartNewShape();
}

void CSubGuideCurveDlg::OnDraw()
{
    if (cCPView* view = View(); view && view->GetSafeHwnd())
        view->StartToolMode(kModeDrawCurveOnMesh, nullptr);
}

void CSubGuideCurveDlg::MoveDrawnGuide(const double m[12])
{
    if (cCPView* view = View())
        if (auto* drawing = dynamic_cast<CUIM_DrawCurveOnMesh*>(view->FindMode(kModeDrawCurveOnMesh)))
            drawing->MoveWithMesh(m);
}

void CSubGuideCurveDlg::DropDrawnGuide()
{
    if (cCPView* view = View())
        if (auto* drawing = dynamic_cast<CUIM_DrawCurveOnMesh*>(view->FindMode(kModeDrawCurveOnMesh)))
            drawing->OnCommand(kCmdRestartDrawing, 0, nullptr, nullptr, view);
}
