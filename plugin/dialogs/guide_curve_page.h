// The "Guide curve" page of the shapes dialog: how to draw the guiding
// curve of a free-form shape on the mesh, and the buttons that start the
// drawing or a new shape.
#pragma once

#include "plugin/dialogs/sub_dialog_base.h"

class CSubGuideCurveDlg : public CSubDlgBase
{
public:
    CSubGuideCurveDlg(CCreatePrimitiveDialog* owner, cCPView* view);
    const wchar_t* PageTitle() const override { return L"Guide curve"; }
    // The mesh moved (an alignment, Reset): a guide still being drawn on it
    // moves with it.
    void MoveDrawnGuide(const double m[12]);
    // Another shape became current: a guide still being drawn was meant for
    // the shape before and is given up, as Restart Drawing does.
    void DropDrawnGuide();

protected:
    afx_msg void OnNewShape();
    afx_msg void OnDraw();
    DECLARE_MESSAGE_MAP()
};
