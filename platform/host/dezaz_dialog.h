// Dialog bases of the host SDK. Plug-in dialogs derive from them instead of
// from CDialog directly, so that the host can give every plug-in window the
// same look and key handling.
//
// CDezazUiDialog: the plain host dialog; also the base of the dock-bar
// client dialogs.
// CDezazDialog: a tool dialog of a plug-in (modeless or modal), with the
// host's colour-button slot that derived dialogs may answer.
#pragma once

#include "platform/mfc/dialog.h"

class CDezazUiDialog : public CDialog
{
    DECLARE_DYNAMIC(CDezazUiDialog)

public:
    CDezazUiDialog() = default;
    explicit CDezazUiDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDezazUiDialog() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
};

class CDezazDialog : public CDezazUiDialog
{
    DECLARE_DYNAMIC(CDezazDialog)

public:
    CDezazDialog() = default;
    explicit CDezazDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDezazDialog() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;

    // The host calls it when one of its colour buttons in the dialog was
    // pressed; a dialog without colour buttons ignores it.
    virtual void OnColorButtonClicked(UINT controlId);
};
