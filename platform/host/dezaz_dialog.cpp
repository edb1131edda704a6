#include "platform/host/dezaz_dialog.h"

IMPLEMENT_DYNAMIC(CDezazUiDialog, CDialog)

CDezazUiDialog::CDezazUiDialog(UINT templateId, CWnd* parent) : CDialog(templateId, parent)
{
}

CDezazUiDialog::~CDezazUiDialog() = default;

BOOL CDezazUiDialog::OnInitDialog()
{
    return CDialog::OnInitDialog();
}

BOOL CDezazUiDialog::PreTranslateMessage(MSG* msg)
{
    return CDialog::PreTranslateMessage(msg);
}

IMPLEMENT_DYNAMIC(CDezazDialog, CDezazUiDialog)

CDezazDialog::CDezazDialog(UINT templateId, CWnd* parent) : CDezazUiDialog(templateId, parent)
{
}

CDezazDialog::~CDezazDialog() = default;

BOOL CDezazDialog::OnInitDialog()
{
    return CDezazUiDialog::OnInitDialog();
}

BOOL CDezazDialog::PreTranslateMessage(MSG* msg)
{
    return CDezazUiDialog::PreTranslateMessage(msg);
}

void CDezazDialog::OnColorButtonClicked(UINT)
{
}
