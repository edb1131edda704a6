// CView: the base of the 3D views. Views have no document here; they live
// in dialogs and are deleted with their windows.
#pragma once

#include "platform/mfc/dc.h"
#include "platform/mfc/wnd.h"

class CView : public CWnd
{
    DECLARE_DYNAMIC(CView)

public:
    CView() = default;
    ~CView() override = default;

    virtual void OnInitialUpdate();
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) override;

protected:
    virtual void OnDraw(CDC* dc) = 0;
    virtual void OnUpdate(CView* sender, LPARAM hint, CObject* hintObject);
    virtual void OnActivateView(BOOL activate, CView* activated, CView* deactivated);
    void PostNcDestroy() override; // views delete themselves

    afx_msg int OnCreate(CREATESTRUCTW* cs);
    afx_msg void OnPaint();
    afx_msg int OnMouseActivate(CWnd* desktop, UINT hitTest, UINT message);
    afx_msg LRESULT OnInitialUpdateMessage(WPARAM, LPARAM);

    DECLARE_MESSAGE_MAP()
};
