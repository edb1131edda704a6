#include "plugin/tools/curve_edit_dialog.h"

#include "resources/primitive_panel.h"

IMPLEMENT_DYNAMIC(CCurveEditDialog, CDezazDialog)

BEGIN_MESSAGE_MAP(CCurveEditDialog, CDezazDialog)
ON_WM_CREATE()
END_MESSAGE_MAP()

CCurveEditDialog::CCurveEditDialog(CWnd* owner) : CDezazDialog(IDD_CURVE_PROFILE, owner), m_owner(owner) {}

CCurveEditDialog::~CCurveEditDialog() = default;

BOOL CCurveEditDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    CenterWindow(m_owner);
    return TRUE;
}

int CCurveEditDialog::OnCreate(CREATESTRUCTW*)
{
    return Default() == -1 ? -1 : 0;
}
