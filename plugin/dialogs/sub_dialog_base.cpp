#include "plugin/dialogs/sub_dialog_base.h"

#include "modes/shapes_view.h"
#include "resources/shapes_dialog.h"

CSubDlgBase::CSubDlgBase(UINT templateId, CCreatePrimitiveDialog* owner, cCPView* view)
    : CDezazDialog(templateId, nullptr), m_templateId(templateId), m_owner(owner), m_view(view)
{
}

bool CSubDlgBase::CreatePage(CWnd* parent)
{
    if (!Create(m_templateId, parent))
        return false;
    ShowWindow(SW_HIDE);
    return true;
}

bool CSubDlgBase::CreateToolTip()
{
    if (m_tooltip.GetSafeHwnd())
        m_tooltip.DestroyWindow();
    m_tooltipMade = m_tooltip.Create(this) != FALSE;
    return m_tooltipMade;
}

BOOL CSubDlgBase::PreTranslateMessage(MSG* msg)
{
    if (m_tooltipMade && msg)
        m_tooltip.RelayEvent(msg);
    return CDezazDialog::PreTranslateMessage(msg);
}

void CSubDlgBase::SendToView(UINT command, bool focus)
{
    if (!m_view || !m_view->GetSafeHwnd())
        return;
    ::SendMessageW(m_view->GetSafeHwnd(), WM_COMMAND, command, 0);
    if (focus)
        ::SetFocus(m_view->GetSafeHwnd());
}

CPlainShapesPage::CPlainShapesPage(const wchar_t* title, CCreatePrimitiveDialog* owner, cCPView* view)
    : CSubDlgBase(IDD_SHAPES_PLAIN_PAGE, owner, view), m_title(title)
{
}
