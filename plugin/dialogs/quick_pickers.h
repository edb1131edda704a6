// The quick shape pickers the middle button shows in the shapes view: eight
// image buttons that choose a kind when there is no current shape, "New
// Shape" and "Delete ..." when there is one. Both hide themselves when used,
// when they lose the focus and on Escape.
#pragma once

#include "overlay/button_st.h"
#include "platform/host/dezaz_dialog.h"
#include "platform/mfc/controls.h"
#include "platform/mfc/tooltip_ctrl.h"

#include <array>

class CCreatePrimitiveDialog;

// The index of the first item of the combo whose item data is the kind, -1
// when there is none.
int SelectQuickKind(HWND combo, int kind);

class CQuickSurfaceDialog : public CDezazDialog
{
public:
    explicit CQuickSurfaceDialog(CCreatePrimitiveDialog* shapes);
    ~CQuickSurfaceDialog() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void OnCancel() override;
    // Chooses the kind in the shapes dialog as its combo would, then hides.
    void ChooseKind(int kind);

protected:
    afx_msg void OnPicker(UINT id);
    afx_msg void OnKillFocus(CWnd* next);
    afx_msg void OnActivate(UINT state, CWnd* other, BOOL minimized);
    DECLARE_MESSAGE_MAP()

private:
    CCreatePrimitiveDialog* m_shapes;
    CToolTipCtrl* m_tooltip = nullptr;
    std::array<CImageButton, 8> m_buttons;
};

class CQuickCurrentSurfaceDialog : public CDezazDialog
{
public:
    explicit CQuickCurrentSurfaceDialog(CCreatePrimitiveDialog* shapes);
    ~CQuickCurrentSurfaceDialog() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void OnCancel() override;

protected:
    afx_msg void OnNewShape();
    afx_msg void OnDeleteShape();
    afx_msg void OnKillFocus(CWnd* next);
    afx_msg void OnActivate(UINT state, CWnd* other, BOOL minimized);
    DECLARE_MESSAGE_MAP()

private:
    CCreatePrimitiveDialog* m_shapes;
    CToolTipCtrl* m_tooltip = nullptr;
};

// The shapes dialog's pickers, made hidden on first need (its window must
// exist): the one for a current shape or the kind picker.
HWND QuickPickerOf(CCreatePrimitiveDialog& shapes, bool forCurrentShape);
void HideQuickPickersOf(const CCreatePrimitiveDialog& shapes);
// Destroys them with the shapes dialog's window.
void DestroyQuickPickersOf(const CCreatePrimitiveDialog& shapes);
