// CSubDlgBase: a page of the shapes dialog's tab control. A page is a child
// dialog that knows the shapes dialog and its view, relays every message to
// its tooltips, and is never closed by Enter or Escape.
#pragma once

#include "platform/host/dezaz_dialog.h"
#include "platform/mfc/tooltip_ctrl.h"

class CCreatePrimitiveDialog;
class cCPView;

class CSubDlgBase : public CDezazDialog
{
public:
    CSubDlgBase(UINT templateId, CCreatePrimitiveDialog* owner, cCPView* view);

    // Creates the page as a hidden child of the parent.
    bool CreatePage(CWnd* parent);
    // A new tooltip control for the page (an older one is destroyed); true
    // when it could be made.
    bool CreateToolTip();
    BOOL PreTranslateMessage(MSG* msg) override;
    void OnOK() override {}
    void OnCancel() override {}

    // The tab's text.
    virtual const wchar_t* PageTitle() const = 0;

    CCreatePrimitiveDialog* Owner() const { return m_owner; }
    cCPView* View() const { return m_view; }
    UINT TemplateId() const { return m_templateId; }

protected:
    // Sends a command to the view and gives it the focus.
    void SendToView(UINT command, bool focus = true);

    CToolTipCtrl m_tooltip;
    bool m_tooltipMade = false;

private:
    UINT m_templateId;
    CCreatePrimitiveDialog* m_owner;
    cCPView* m_view;
};

// A page whose controls come with another tool (the Curves and Deviation
// tabs): only its title.
class CPlainShapesPage : public CSubDlgBase
{
public:
    CPlainShapesPage(const wchar_t* title, CCreatePrimitiveDialog* owner, cCPView* view);
    const wchar_t* PageTitle() const override { return m_title; }

private:
    const wchar_t* m_title;
};
