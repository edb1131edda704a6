// CDialog: a window built from a dialog template of the module's resource
// script, modeless (Create) or modal (DoModal). WM_INITDIALOG reaches
// OnInitDialog inside Create, which fills the controls from the members;
// OK reads them back and ends the dialog only when every value was taken.
// A modal dialog's loop asks the prompt script for its answer instead of
// waiting for a person (win32::RunModalDialogLoop), so nothing hangs.
#pragma once

#include "platform/mfc/data_exchange.h"
#include "platform/mfc/wnd.h"
#include "platform/win32/dialog.h"

class CDialog : public CWnd
{
    DECLARE_DYNAMIC(CDialog)

public:
    CDialog() = default;
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    explicit CDialog(LPCWSTR templateName, CWnd* parent = nullptr);

    // Modeless: the template named here, or the one given at construction.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    BOOL Create(LPCWSTR templateName, CWnd* parent = nullptr);
    BOOL CreateIndirect(const win32::DialogTemplate& dialogTemplate, CWnd* parent = nullptr);
    // Modal: returns the EndDialog result, -1 when the dialog could not be
    // made. An unanswered prompt throws win32::UnexpectedPrompt after the
    // dialog was destroyed and its owner enabled again.
    virtual INT_PTR DoModal();

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int result);

    void NextDlgCtrl() const;
    void PrevDlgCtrl() const;
    void GotoDlgCtrl(CWnd* control);
    void SetDefID(UINT id);
    DWORD GetDefID() const;

    // Keys for the dialog's controls go through the dialog's navigation.
    BOOL PreTranslateMessage(MSG* msg) override;

    LPCWSTR m_lpszTemplateName = nullptr;
    UINT m_nIDHelp = 0;
    CWnd* m_pParentWnd = nullptr;

protected:
    afx_msg LRESULT HandleInitDialog(WPARAM, LPARAM);

private:
    BOOL CreateFrom(HINSTANCE module, const win32::DialogTemplate& dialogTemplate, HWND parent);
    HWND OwnerForModal() const;

    INT_PTR m_nModalResult = -1;
    std::wstring m_templateName; // keeps a named template's text alive

    DECLARE_MESSAGE_MAP()
};
