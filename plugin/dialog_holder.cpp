#include "plugin/dialog_holder.h"

#include "plugin/module_state.h"
#include "platform/host/dezaz_app.h"

cDialogHolder::~cDialogHolder()
{
    Close(true);
}

bool cDialogHolder::WindowExists() const
{
    return m_dialog && m_dialog->DialogWindow() && IsWindow(m_dialog->DialogWindow());
}

bool cDialogHolder::IsVisible() const
{
    return WindowExists() && IsWindowVisible(m_dialog->DialogWindow());
}

bool cDialogHolder::Open(CWnd* parent)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    if (WindowExists())
    {
        const HWND window = m_dialog->DialogWindow();
        if (!IsWindowVisible(window))
            ShowWindow(window, SW_SHOW);
        SetFocus(window);
        return true;
    }
    m_dialog.reset(); // its window was closed by the user
    if (!m_factory)
    {
        DezazApp().Print(L"The %ls dialog is not available in this version.\n", m_name.c_str());
        return false;
    }
    std::unique_ptr<IToolDialog> dialog = m_factory();
    if (!dialog || !dialog->CreateModeless(m_resource, parent) || !dialog->DialogWindow() ||
        !IsWindow(dialog->DialogWindow()))
        return false; // the half-made dialog goes with the unique pointer
    m_dialog = std::move(dialog);
    const HWND window = m_dialog->DialogWindow();
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetFocus(window);
    return true;
}

bool cDialogHolder::Close(bool forced)
{
    if (!m_dialog)
        return true;
    if (WindowExists())
    {
        AFX_MANAGE_STATE(AfxGetStaticModuleState());
        m_dialog->CancelDialog(forced);
    }
    if (WindowExists())
    {
        if (!forced)
            return false; // the user kept it open: the holder keeps it too
        // The document or the plug-in is going and takes what the dialog
        // shows with it: a dialog left open would show freed sessions.
        DestroyWindow(m_dialog->DialogWindow());
    }
    m_dialog.reset();
    return true;
}
