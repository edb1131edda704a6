// CCurveEditDialog: the "Curve Profile" dialog that the primitive panel's
// "Profile Curve ..." opens modally, centred over the panel. It offers no
// profile types yet; "Accept" and "Cancel" both leave everything as it was.
#pragma once

#include "platform/host/dezaz_dialog.h"

class CCurveEditDialog : public CDezazDialog
{
    DECLARE_DYNAMIC(CCurveEditDialog)

public:
    explicit CCurveEditDialog(CWnd* owner);
    ~CCurveEditDialog() override;

    BOOL OnInitDialog() override;
    afx_msg int OnCreate(CREATESTRUCTW* cs);

protected:
    DECLARE_MESSAGE_MAP()

private:
    CWnd* m_owner;
};
