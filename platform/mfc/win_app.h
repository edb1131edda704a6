// The application object, module state and the message pump of the MFC
// layer. A module (the host program, each plug-in) keeps its own state with
// its instance and resource handles and its application object; code that
// runs on a module's behalf switches to that state with AFX_MANAGE_STATE.
#pragma once

#include "platform/mfc/wnd.h"

class CWinApp;

struct AFX_MODULE_STATE
{
    CWinApp* m_pCurrentWinApp = nullptr;
    HINSTANCE m_hCurrentInstanceHandle = nullptr;
    HINSTANCE m_hCurrentResourceHandle = nullptr;
    LPCWSTR m_lpszCurrentAppName = nullptr;
};

// The module state in effect on this thread (the process's own by default).
AFX_MODULE_STATE* AfxGetModuleState();
AFX_MODULE_STATE* AfxGetAppModuleState();
AFX_MODULE_STATE* AfxSetModuleState(AFX_MODULE_STATE* state);

struct AFX_MAINTAIN_STATE
{
    explicit AFX_MAINTAIN_STATE(AFX_MODULE_STATE* state) : previous(AfxSetModuleState(state)) {}
    ~AFX_MAINTAIN_STATE() { AfxSetModuleState(previous); }
    AFX_MAINTAIN_STATE(const AFX_MAINTAIN_STATE&) = delete;
    AFX_MAINTAIN_STATE& operator=(const AFX_MAINTAIN_STATE&) = delete;

private:
    AFX_MODULE_STATE* previous;
};
#define AFX_MANAGE_STATE(p) AFX_MAINTAIN_STATE _afxManagedState(p)

class CWinThread : public CCmdTarget
{
public:
    CWnd* m_pMainWnd = nullptr;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }
    // Sends WM_IDLEUPDATECMDUI to every visible top-level window of the
    // thread and to their descendants; returns whether more idle time is
    // wanted (never, here).
    virtual BOOL OnIdle(LONG count);
    // The pre-translation walk from the message's window up to its top-level window.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Takes one message (waiting for it), pre-translates and dispatches it;
    // false on WM_QUIT.
    virtual BOOL PumpMessage();
    CWnd* GetMainWnd() { return m_pMainWnd; }
};

class CWinApp : public CWinThread
{
public:
    // Registers itself as the application object of the current module.
    explicit CWinApp(LPCWSTR appName = nullptr);
    ~CWinApp() override;
    LPCWSTR m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;
};

CWinApp* AfxGetApp();
CWinThread* AfxGetThread();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE instance);
// The module whose resources hold the named resource of the type: the
// current module's resource handle first, then the application's.
HINSTANCE AfxFindResourceHandle(LPCWSTR name, LPCWSTR type);
BOOL AfxPumpMessage();

namespace mfc
{

// Dispatches what the calling thread has queued through the pre-translation
// walk, then runs the idle update, until nothing is left; returns the number
// of messages. Tests and the host program use it instead of a message loop.
std::size_t PumpUntilIdle(std::size_t maxMessages = 100000);

} // namespace mfc
