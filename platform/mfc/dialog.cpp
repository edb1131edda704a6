#include "platform/mfc/dialog.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/prompt_script.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_MESSAGE(WM_INITDIALOG, &CDialog::HandleInitDialog)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

namespace
{

LPCWSTR KeepName(LPCWSTR name, std::wstring& storage)
{
    if (!name || IS_INTRESOURCE(name))
        return name;
    storage = name;
    return storage.c_str();
}

} // namespace

CDialog::CDialog(UINT templateId, CWnd* parent)
    : m_lpszTemplateName(MAKEINTRESOURCEW(templateId)), m_nIDHelp(templateId), m_pParentWnd(parent)
{
}

CDialog::CDialog(LPCWSTR templateName, CWnd* parent) : m_pParentWnd(parent)
{
    m_lpszTemplateName = KeepName(templateName, m_templateName);
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    return Create(MAKEINTRESOURCEW(templateId), parent);
}

BOOL CDialog::Create(LPCWSTR templateName, CWnd* parent)
{
    if (templateName)
        m_lpszTemplateName = KeepName(templateName, m_templateName);
    if (parent)
        m_pParentWnd = parent;
    HINSTANCE module = AfxFindResourceHandle(m_lpszTemplateName, RT_DIALOG);
    auto t = win32::FindDialogTemplate(module, m_lpszTemplateName);
    if (!t)
        return FALSE;
    return CreateFrom(module, *t, m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr);
}

BOOL CDialog::CreateIndirect(const win32::DialogTemplate& dialogTemplate, CWnd* parent)
{
    if (parent)
        m_pParentWnd = parent;
    return CreateFrom(AfxGetResourceHandle(), dialogTemplate, m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr);
}

BOOL CDialog::CreateFrom(HINSTANCE module, const win32::DialogTemplate& dialogTemplate, HWND parent)
{
    if (m_hWnd)
        return FALSE;
    HWND hwnd = CreateAttached([&]
                               { return ::CreateDialogIndirectParamW(module, &dialogTemplate, parent, nullptr, 0); });
    return hwnd && m_hWnd == hwnd ? TRUE : FALSE;
}

HWND CDialog::OwnerForModal() const
{
    HWND owner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    if (!owner)
        if (CWnd* main = AfxGetMainWnd())
            owner = main->GetSafeHwnd();
    // A child window cannot own a popup: its top-level window does.
    return owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
}

INT_PTR CDialog::DoModal()
{
    HINSTANCE module = AfxFindResourceHandle(m_lpszTemplateName, RT_DIALOG);
    auto t = win32::FindDialogTemplate(module, m_lpszTemplateName);
    if (!t || m_hWnd)
        return -1;
    t->style &= ~static_cast<DWORD>(WS_CHILD);
    t->style |= WS_POPUP;

    struct Run
    {
        CDialog& dialog;
        HWND owner;
        bool ownerDisabled = false;
        ~Run()
        {
            if (ownerDisabled && ::IsWindow(owner))
                ::EnableWindow(owner, TRUE);
            if (dialog.m_hWnd)
                dialog.DestroyWindow();
            if (::IsWindow(owner))
                ::SetActiveWindow(owner);
        }
    } run{*this, OwnerForModal()};
    if (run.owner && ::IsWindowEnabled(run.owner))
    {
        ::EnableWindow(run.owner, FALSE);
        run.ownerDisabled = true;
    }
    m_nModalResult = -1;
    if (!CreateFrom(module, *t, run.owner))
        return -1;
    ShowWindow(SW_SHOWNORMAL);
    UpdateWindow();
    const INT_PTR result = win32::RunModalDialogLoop(m_hWnd, [] { mfc::PumpUntilIdle(); });
    return result == -1 ? m_nModalResult : result;
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM)
{
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE; // the first control takes the focus
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return; // the refused control has the focus back; the dialog stays
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int result)
{
    m_nModalResult = result;
    ::EndDialog(m_hWnd, result);
}

void CDialog::NextDlgCtrl() const
{
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, 0);
}

void CDialog::PrevDlgCtrl() const
{
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 1, 0);
}

void CDialog::GotoDlgCtrl(CWnd* control)
{
    if (control)
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control->GetSafeHwnd()), TRUE);
}

void CDialog::SetDefID(UINT id)
{
    ::SendMessageW(m_hWnd, DM_SETDEFID, id, 0);
}

DWORD CDialog::GetDefID() const
{
    return static_cast<DWORD>(::SendMessageW(m_hWnd, DM_GETDEFID, 0, 0));
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    if (!msg || !m_hWnd || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST)
        return FALSE;
    return ::IsDialogMessageW(m_hWnd, msg);
}
