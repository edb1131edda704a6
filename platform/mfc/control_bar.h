// Control bars: windows docked along a frame's edges that hold other
// windows (tool bars, the host's dock bars). Only what the dock bars need:
// a child window that keeps its one client window filling it.
#pragma once

#include "platform/mfc/wnd.h"

class CControlBar : public CWnd
{
    DECLARE_DYNAMIC(CControlBar)

public:
    CControlBar();
    ~CControlBar() override;

    // The window that fills the bar's client area (null: none).
    CWnd* ClientWindow() const { return m_client; }
    void SetClientWindow(CWnd* client);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Height of the strip on top that shows the bar's window text (0: none);
    // the client window fills the rest.
    virtual int CaptionHeight() const { return 0; }

private:
    void FitClient();

    CWnd* m_client = nullptr;
};
